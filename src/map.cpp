// The tile grid, map files, sub-tile reservations and neighbourhoods of the current map.
#include "map.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <ostream>
#include <stdexcept>
#include <system_error>

#include "config.h"
#include "game_state.h"
#include "utils.h"
#include "entity.h"
#include "units.h"

const TileInstance invalidTile{};
Grid grid;

static bool onMap(int x, int y) { return x >= 0 && y >= 0 && x < MAP_W && y < MAP_H; }

const TileInstance& Grid::at(int x, int y) const {
    if (!onMap(x, y) || tiles.size() < static_cast<size_t>(MAP_W) * MAP_H) return invalidTile;
    return tiles[static_cast<size_t>(y) * MAP_W + x];
}

TileInstance& Grid::at(int x, int y) {
    // Writers never get the sentinel: an off-map write lands in a scratch cell that is reset each time.
    static TileInstance scratch;
    if (!onMap(x, y) || tiles.size() < static_cast<size_t>(MAP_W) * MAP_H) {
        scratch = invalidTile;
        return scratch;
    }
    return tiles[static_cast<size_t>(y) * MAP_W + x];
}

void Grid::set(int x, int y, Tile type, uint8_t variant, uint8_t height) {
    TileInstance& cell = tiles[static_cast<size_t>(y) * MAP_W + x];
    cell.type = type;
    cell.variant = variant;
    cell.heightLevel = height;
    cell.walkable = 1;
    cell.ramp = 0;
    cell.decals.clear();
}

bool Grid::walkable(int x, int y, Tile movementClass) const {
    return onMap(x, y) && canEnter(at(x, y), movementClass);
}

bool canEnter(const TileInstance& cell, Tile movementClass) {
    if (movementClass == Tile::Any) return true;
    if (movementClass == Tile::Water) return cell.type == Tile::Water;
    return cell.walkable != 0;
}

Tile typeFromString(const std::string& name) {
    static const char* const names[] = {"None", "Grass", "Drygrass", "Mud", "Water", "Wall", "Rock", "Shore", "Any"};
    for (int i = 1; i <= 8; ++i)
        if (name == names[i]) return static_cast<Tile>(i);
    return Tile::None;
}

// Map files: reading, validating, writing and counting starting bases.

MapData mapData;

namespace {

enum class MapSection { Terrain, Height, Objects, Decorations };

const std::pair<const char*, MapSection> sectionHeaders[] = {
    {"[Height]", MapSection::Height},
    {"[Objects]", MapSection::Objects},
    {"[Decorations]", MapSection::Decorations},
};

// An empty field between two commas counts; a final comma adds none.
std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (start < line.size()) {
        const size_t comma = line.find(',', start);
        if (comma == std::string::npos) {
            fields.push_back(line.substr(start));
            break;
        }
        fields.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
    return fields;
}

void readTerrainLine(MapData& map, const std::string& line) { map.terrainRows.push_back(line); }

void readHeightLine(MapData& map, const std::string& line) { map.heightRows.push_back(line); }

void readObjectLine(MapData& map, const std::string& line) {
    const auto fields = splitFields(line);
    if (fields.size() < 3) {
        std::cerr << "Invalid object line: " << line << "\n";
        return;
    }
    map.pendingObjects.push_back(PendingObj{fields[0], std::stoi(fields[1]), std::stoi(fields[2])});
}

void readDecorationLine(MapData& map, const std::string& line) {
    const auto fields = splitFields(line);
    if (fields.size() < 5) {
        std::cerr << "Invalid decoration line: " << line << "\n";
        return;
    }
    map.pendingDecorations.push_back(PendingDeco{fields[0], std::stoi(fields[1]), std::stoi(fields[2]),
                                                 std::stoi(fields[3]), std::stoi(fields[4])});
}

using SectionReader = void (*)(MapData&, const std::string&);

// Indexed by MapSection.
const SectionReader sectionReaders[] = {readTerrainLine, readHeightLine, readObjectLine, readDecorationLine};

bool headerSection(const std::string& line, MapSection& section) {
    for (const auto& [header, target] : sectionHeaders) {
        if (line == header) {
            section = target;
            return true;
        }
    }
    return false;
}

char heightToChar(const TileInstance& cell) {
    if (cell.ramp) return 'R';
    return static_cast<char>('0' + std::min<int>(cell.heightLevel, 9));
}

}  // namespace

MapData readMapFile(const std::string& path) {
    std::ifstream in(path);
    if (!in.is_open()) throw std::runtime_error("Failed to open map file: " + path);
    MapData map;
    MapSection section = MapSection::Terrain;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (headerSection(line, section)) continue;
        sectionReaders[static_cast<int>(section)](map, line);
    }
    if (map.terrainRows.empty()) throw std::runtime_error("Map file has no terrain section: " + path);
    return map;
}

void validateTerrain(const std::vector<std::string>& rows) {
    if (rows.empty()) throw std::runtime_error("Map has no terrain rows");
    for (size_t i = 1; i < rows.size(); ++i)
        if (rows[i].size() != rows[0].size())
            throw std::runtime_error("Inconsistent line width at line " + std::to_string(i + 1));
    MAP_W = static_cast<int>(rows[0].size());
    MAP_H = static_cast<int>(rows.size());
}

MapData loadMapFromFile(const std::string& path) {
    MapData map = readMapFile(path);
    validateTerrain(map.terrainRows);
    return map;
}

int getBasesCountFromMap(const std::string& path) {
    std::ifstream in(path);
    if (!in.is_open()) throw std::runtime_error("Failed to open map file: " + path);
    int count = 0;
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("StartingBase", 0) == 0) ++count;
    return count;
}

char tileToChar(Tile type, int) {
    static const char letters[] = "GDMW.R";
    const int index = static_cast<int>(type) - 1;
    if (index < 0 || index >= 6) return '?';
    return letters[index];
}

void writeMap(std::ostream& out, const Grid& grid, const std::vector<MapObjectLine>& objects,
              const std::vector<PendingDeco>& decorations) {
    for (int y = 0; y < MAP_H; ++y) {
        for (int x = 0; x < MAP_W; ++x) out << tileToChar(grid.at(x, y).type, 0);
        out << '\n';
    }
    out << "\n[Height]\n";
    for (int y = 0; y < MAP_H; ++y) {
        for (int x = 0; x < MAP_W; ++x) out << heightToChar(grid.at(x, y));
        out << '\n';
    }
    out << "\n[Objects]\n";
    for (const MapObjectLine& o : objects)
        out << o.type << ',' << o.x << ',' << o.y << ',' << o.width << ',' << o.height << '\n';
    out << "\n[Decorations]\n";
    for (const PendingDeco& d : decorations)
        out << d.name << ',' << d.tileX << ',' << d.tileY << ',' << d.width << ',' << d.height << '\n';
}

bool saveMap(const Grid& grid, const std::string& name, const std::vector<MapObjectLine>& objects,
             const std::vector<PendingDeco>& decorations) {
    if (!Utils::isPlainFileName(name)) {
        std::cerr << "Invalid map file name: " << name << "\n";
        return false;
    }
    std::error_code ignored;
    // A folder that cannot be made shows up as the failed open below.
    std::filesystem::create_directories(basePath + "maps", ignored);
    const std::string path = basePath + "maps/" + name;
    const std::string temporary = path + ".tmp";
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) {
        std::cerr << "Failed to open file for writing: " << path << "\n";
        return false;
    }
    writeMap(out, grid, objects, decorations);
    out.close();
    if (!out) {
        std::cerr << "Failed to write map file: " << path << "\n";
        std::filesystem::remove(temporary, ignored);
        return false;
    }
    std::error_code renameError;
    std::filesystem::rename(temporary, path, renameError);
    if (renameError) {
        std::cerr << "Failed to replace map file: " << path << ": " << renameError.message() << "\n";
        std::filesystem::remove(temporary, ignored);
        return false;
    }
    return true;
}

// ---- Sub-tile reservations, tile blocking, map-object sectors and neighbourhoods ----

int SUB_MAP_W = 0;
int SUB_MAP_H = 0;

std::vector<int32_t> reservedTiles;
std::unordered_map<int, std::vector<V2i>> unitOccupancyRegistry;

int gridSectorsX = 0;
int gridSectorsY = 0;
std::vector<std::vector<Sector>> spatialGrid;

const V2i DIRECTIONS[8] = {{0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}};

NeighborsFn Neighbors = nullptr;

// A square footprint wider than this many sub-tiles each side of its centre is cut to it,
// so an absurd catalogue size cannot make a reservation visit billions of cells.
static constexpr int MAX_FOOTPRINT_HALF = 64;

bool isValidTile(const V2i& tile) { return tile.x >= 0 && tile.x < MAP_W && tile.y >= 0 && tile.y < MAP_H; }

bool isValidSubTile(const V2i& sub) {
    return sub.x >= 0 && sub.x < SUB_MAP_W && sub.y >= 0 && sub.y < SUB_MAP_H;
}

// Null for a sub-tile off the grid, or when the reservation grid is not sized for the map.
static int32_t* reservationCell(const V2i& sub) {
    if (!isValidSubTile(sub)) return nullptr;
    size_t index = static_cast<size_t>(sub.y) * SUB_MAP_W + sub.x;
    return index < reservedTiles.size() ? &reservedTiles[index] : nullptr;
}

static_assert(FIRST_ATTACKABLE_ID > OFF_GRID_SUB_TILE && FIRST_ATTACKABLE_ID > FREE_SUB_TILE);

int isSubTileReserved(const V2i& sub) {
    const int32_t* cell = reservationCell(sub);
    return cell ? *cell : OFF_GRID_SUB_TILE;
}

int isTileReserved(const V2i& sub) {
    const int32_t* cell = reservationCell(sub);
    return cell ? *cell : FREE_SUB_TILE;
}

void reserveTile(const V2i& sub, int unitId) {
    int32_t* cell = reservationCell(sub);
    if (!cell) {
        std::cerr << "Tried to reserve invalid tile: " << sub.x << " " << sub.y << "\n";
        return;
    }
    if (*cell == FREE_SUB_TILE || *cell == unitId) *cell = unitId;
}

void freeTile(const V2i& sub, int unitId) {
    int32_t* cell = reservationCell(sub);
    if (cell && *cell == unitId) *cell = FREE_SUB_TILE;
}

void reserveTilesForUnit(int unitId, const std::string& unitType, V2i sub) {
    unregisterUnitTiles(unitId);
    const UnitInfo& info = unitInfo.at(unitType);
    int half = std::clamp(info.subtiles / 2, -MAX_FOOTPRINT_HALF, MAX_FOOTPRINT_HALF);
    std::vector<V2i> visited;
    for (int dy = -half; dy <= half; ++dy) {
        for (int dx = -half; dx <= half; ++dx) {
            V2i cell{sub.x + dx, sub.y + dy};
            reserveTile(cell, unitId);
            visited.push_back(cell);
        }
    }
    unitOccupancyRegistry[unitId] = std::move(visited);
}

void unregisterUnitTiles(int unitId) {
    auto entry = unitOccupancyRegistry.find(unitId);
    if (entry == unitOccupancyRegistry.end()) return;
    for (const V2i& sub : entry->second) freeTile(sub, unitId);
    unitOccupancyRegistry.erase(entry);
}

void freeTileForUnit(int unitId, const std::string& unitType, V2i sub) { unregisterUnitTiles(unitId); }

// Truncates value / size toward zero and clamps it to [0, count - 1].
static int clampedCell(float value, float size, int count) {
    return std::max(0, std::min(truncToInt(value / size), count - 1));
}

V2i worldToTile(float x, float y) {
    float size = static_cast<float>(TILE_SIZE);
    return {clampedCell(x, size, MAP_W), clampedCell(y, size, MAP_H)};
}

V2i worldToSubTile(float x, float y) {
    float size = static_cast<float>(SUB_TILE_SIZE);
    return {clampedCell(x, size, SUB_MAP_W), clampedCell(y, size, SUB_MAP_H)};
}

static void setAreaWalkable(Grid& grid, V2i origin, int w, int h, uint8_t walkable) {
    if (w < 1 || h < 1) return;
    // Only the part of the rectangle on the map is visited, computed without overflow.
    int x0 = std::max(origin.x, 0);
    int y0 = std::max(origin.y, 0);
    int x1 = static_cast<int>(std::min<int64_t>(int64_t{origin.x} + w, MAP_W));
    int y1 = static_cast<int>(std::min<int64_t>(int64_t{origin.y} + h, MAP_H));
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) grid.at(x, y).walkable = walkable;
}

void blockArea(Grid& grid, V2i origin, int w, int h) { setAreaWalkable(grid, origin, w, h, 0); }

void unblockArea(Grid& grid, V2i origin, int w, int h) { setAreaWalkable(grid, origin, w, h, 1); }

std::vector<V2i> computeNearbyTiles(int x, int y) {
    return {{x - 1, y - 1}, {x, y - 1}, {x + 1, y - 1}, {x - 1, y + 1}, {x, y + 1},
            {x + 1, y + 1}, {x - 1, y},     {x + 1, y},     {x, y}};
}

void initSpatialGrid() {
    gridSectorsX = std::max(MAP_W, 0) / SECTOR_SIZE + 1;
    gridSectorsY = std::max(MAP_H, 0) / SECTOR_SIZE + 1;
    spatialGrid.assign(gridSectorsX, std::vector<Sector>(gridSectorsY));
}

std::vector<V2i> neighbors8(const Grid& grid, const V2i& sub, Tile movementClass) {
    std::vector<V2i> result;
    result.reserve(8);
    for (const V2i& d : DIRECTIONS) {
        V2i n{sub.x + d.x, sub.y + d.y};
        if (n.x < 0 || n.y < 0 || n.x >= MAP_W * 4 || n.y >= MAP_H * 4) continue;
        if (canEnter(grid.at(n.x >> 2, n.y >> 2), movementClass)) result.push_back(n);
    }
    return result;
}
