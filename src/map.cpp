// The tile grid, coordinates and camera, map files, the static world, sub-tile reservations and neighbourhoods.
#include "map.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "buildings.h"
#include "config.h"
#include "decorations.h"
#include "game_state.h"
#include "map_objects.h"
#include "map_preview.h"
#include "player.h"
#include "sdl.h"
#include "utils.h"
#include "entity.h"
#include "units.h"

const TileInstance invalidTile{};
Grid grid;

TileInstance& Grid::at(int x, int y) {
    // Writers never get the sentinel: an off-map write lands in a scratch cell that is reset each time.
    static TileInstance scratch;
    if (!isOnMap(x, y) || tiles.size() < static_cast<size_t>(MAP_W) * MAP_H) {
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
    return isOnMap(x, y) && canEnter(at(x, y), movementClass);
}

Tile typeFromString(const std::string& name) {
    static const char* const names[] = {"None", "Grass", "Drygrass", "Mud", "Water", "Wall", "Rock", "Shore", "Any"};
    for (int i = 1; i <= 8; ++i)
        if (name == names[i]) return static_cast<Tile>(i);
    return Tile::None;
}

// Coordinates and the camera.

Camera camera;
std::vector<Click> clicks;
PointerView (*readPointerView)() = readSdlPointerView;

PointerView readSdlPointerView() {
    SDL_Window* window = SDL_GetMouseFocus();
    if (!window) window = SDL_GetKeyboardFocus();
    if (!window) {
        const float ww = camera.w * camera.zoom;
        const float wh = camera.h * camera.zoom;
        return PointerView{ww / 2, wh / 2, ww, wh};
    }
    int mx = 0;
    int my = 0;
    int ww = 0;
    int wh = 0;
    SDL_GetMouseState(&mx, &my);
    SDL_GetWindowSize(window, &ww, &wh);
    return PointerView{static_cast<float>(mx), static_cast<float>(my), static_cast<float>(ww),
                       static_cast<float>(wh)};
}

SDL_FPoint gridToIso(float gx, float gy) {
    const float t = static_cast<float>(TILE_SIZE);
    return SDL_FPoint{(gx - gy) * t / 2, (gx + gy) * t / 4};
}

SDL_FPoint screenToWorld(const SDL_FPoint& screen) {
    return SDL_FPoint{screen.x / camera.zoom + camera.x, screen.y / camera.zoom + camera.y};
}

V2i screenToTile(const SDL_FPoint& screen) {
    const SDL_FPoint iso = screenToWorld(screen);
    const float t = static_cast<float>(TILE_SIZE);
    const float u = iso.x / (t / 2);
    const float v = iso.y / (t / 4);
    return V2i{static_cast<int>(std::floor((u + v) / 2)), static_cast<int>(std::floor((v - u) / 2))};
}

namespace {

// One axis of the view: a view larger than the map stays on the map's middle and ignores the scroll.
float clampedCentre(float centre, float delta, float minCentre, float maxCentre, float middle) {
    if (minCentre > maxCentre) return middle;
    return std::min(maxCentre, std::max(minCentre, centre + delta));
}

}  // namespace

void moveCameraIso(float dt) {
    const PointerView view = readPointerView();
    const float t = static_cast<float>(TILE_SIZE);
    const float speed = 600.0f / camera.zoom;
    float dx = 0.0f;
    float dy = 0.0f;
    if (view.mouseX <= 5) dx -= speed * dt;
    if (view.mouseX >= view.windowW - 5) dx += speed * dt;
    if (view.mouseY <= 5) dy -= speed * dt;
    if (view.mouseY >= view.windowH - 5) dy += speed * dt;
    const float vw = view.windowW / camera.zoom;
    const float vh = view.windowH / camera.zoom;
    const float mapW = static_cast<float>(MAP_W);
    const float mapH = static_cast<float>(MAP_H);
    camera.centerX = clampedCentre(camera.centerX, dx, vw / 2 - mapH * t / 2, mapW * t / 2 - vw / 2,
                                   (mapW * t / 2 - mapH * t / 2) / 2);
    camera.centerY = clampedCentre(camera.centerY, dy, vh / 2, (mapW + mapH) * t / 4 - vh / 2, (mapW + mapH) * t / 8);
    camera.x = camera.centerX - vw / 2;
    camera.y = camera.centerY - vh / 2;
    camera.w = vw;
    camera.h = vh;
}

void handleZoomIso(const SDL_Event& event) {
    if (event.type != SDL_MOUSEWHEEL) return;
    camera.zoom *= event.wheel.y > 0 ? 1.1f : 0.9f;
    const float lower = GOD_MODE ? 0.1f : 0.5f;
    camera.zoom = std::min(2.0f, std::max(lower, camera.zoom));
}

void moveCameraToTheBaseIso() {
    const Player* local = getPlayerById(Player::myStaticId);
    if (!local) return;
    for (int id : local->buildingIds) {
        const Building* b = getBuildingById(id);
        if (!b) continue;
        const SDL_FPoint centre = gridToIso(static_cast<float>(b->x) + static_cast<float>(b->wTiles) / 2,
                                            static_cast<float>(b->y) + static_cast<float>(b->hTiles) / 2);
        camera.centerX = centre.x;
        camera.centerY = centre.y;
        return;
    }
}

void updateClicks() {
    for (Click& c : clicks) c.life -= 0.02f;
    clicks.erase(std::remove_if(clicks.begin(), clicks.end(), [](const Click& c) { return c.life <= 0.0f; }),
                 clicks.end());
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

std::string tooLargeMessage(const std::string& where) {
    const std::string side = std::to_string(MAX_MAP_SIDE);
    return "Map is larger than " + side + " by " + side + " tiles: " + where;
}

char heightToChar(const TileInstance& cell) {
    if (cell.ramp) return 'R';
    return static_cast<char>('0' + std::min<int>(cell.heightLevel, 9));
}

}  // namespace

MapData readMapFile(const std::string& path) {
    std::ifstream in(path);
    if (!in.is_open()) throw std::runtime_error("Failed to open map file: " + path);
    std::error_code error;
    const std::uintmax_t bytes = std::filesystem::file_size(path, error);
    if (!error && bytes > MAX_MAP_FILE_BYTES)
        throw std::runtime_error("Map file is larger than " + std::to_string(MAX_MAP_FILE_BYTES) + " bytes: " + path);
    MapData map;
    MapSection section = MapSection::Terrain;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (headerSection(line, section)) continue;
        sectionReaders[static_cast<int>(section)](map, line);
        if (map.terrainRows.size() > MAX_MAP_SIDE || (section == MapSection::Terrain && line.size() > MAX_MAP_SIDE))
            throw std::runtime_error(tooLargeMessage(path));
    }
    if (map.terrainRows.empty()) throw std::runtime_error("Map file has no terrain section: " + path);
    return map;
}

void checkTerrain(const std::vector<std::string>& rows) {
    if (rows.empty()) throw std::runtime_error("Map has no terrain rows");
    if (rows.size() > MAX_MAP_SIDE || rows[0].size() > MAX_MAP_SIDE) throw std::runtime_error(tooLargeMessage("terrain"));
    for (size_t i = 1; i < rows.size(); ++i)
        if (rows[i].size() != rows[0].size())
            throw std::runtime_error("Inconsistent line width at line " + std::to_string(i + 1));
}

void validateTerrain(const std::vector<std::string>& rows) {
    checkTerrain(rows);
    MAP_W = static_cast<int>(rows[0].size());
    MAP_H = static_cast<int>(rows.size());
}

MapData loadMapFromFile(const std::string& path) {
    MapData map = readMapFile(path);
    validateTerrain(map.terrainRows);
    return map;
}

int getBasesCountFromMap(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) throw std::runtime_error("Failed to open map file: " + path);
    static const std::string BASE = "StartingBase";
    // A line is judged by its first bytes alone, so the file goes through a block at a time and only a line's
    // start is kept: a file without line breaks costs no more than a short one.
    std::string lineStart;
    int count = 0;
    char block[4096];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        for (std::streamsize i = 0; i < in.gcount(); ++i) {
            if (block[i] == '\n') {
                lineStart.clear();
            } else if (lineStart.size() < BASE.size()) {
                lineStart += block[i];
                if (lineStart == BASE) ++count;
            }
        }
    }
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
             const std::vector<PendingDeco>& decorations, std::string* why) {
    std::string reason;
    if (!why) why = &reason;
    if (!Utils::isPlainFileName(name)) {
        std::cerr << "Invalid map file name: " << name << "\n";
        *why = "a name without / or .. is needed";
        return false;
    }
    std::error_code ignored;
    // A folder that cannot be made shows up as the failed open below.
    std::filesystem::create_directories(basePath + "maps", ignored);
    const std::string path = basePath + "maps/" + name;
    std::ostringstream text;
    writeMap(text, grid, objects, decorations);
    if (!Utils::writeFileAtomically(path, text.str(), "map file", "Failed to open file for writing: " + path)) {
        *why = "the file could not be written";
        return false;
    }
    saveMapPreviewHardware(renderer, grid, name);
    return true;
}

bool saveMap(const Grid& grid, const std::string& name, std::string* why) {
    std::vector<MapObjectLine> objects;
    for (const MapObject& o : mapObjects) objects.push_back({o.type, o.tileX, o.tileY, o.wTiles, o.hTiles});
    std::vector<PendingDeco> lines;
    for (const Decoration& d : decorations) lines.push_back({d.name, d.tileX, d.tileY, d.width, d.height});
    return saveMap(grid, name, objects, lines, why);
}

// The static world: the grid of a loaded map.

namespace {

struct TerrainCell {
    char letter;
    Tile type;
    uint8_t variant;
    uint8_t walkable;
};

// Any other letter makes plain grass; water is the only terrain a map file makes unwalkable.
const TerrainCell terrainCells[] = {
    {'G', Tile::Grass, 1, 1}, {'.', Tile::Grass, 0, 1}, {'D', Tile::Drygrass, 0, 1},
    {'M', Tile::Mud, 0, 1},   {'R', Tile::Rock, 0, 1},  {'W', Tile::Water, 0, 0},
};
const TerrainCell plainGrass{'.', Tile::Grass, 0, 1};

const TerrainCell& terrainFromChar(char c) {
    for (const TerrainCell& cell : terrainCells)
        if (cell.letter == c) return cell;
    return plainGrass;
}

// '\0' where the row or the column is missing.
char charAt(const std::vector<std::string>& rows, int x, int y) {
    if (static_cast<size_t>(y) >= rows.size() || static_cast<size_t>(x) >= rows[y].size()) return '\0';
    return rows[y][x];
}

void applyHeight(TileInstance& cell, char c) {
    cell.ramp = c == 'R';
    if (cell.ramp)
        cell.heightLevel = 1;
    else if (c >= '0' && c <= '9')
        cell.heightLevel = static_cast<uint8_t>(c - '0');
    else
        cell.heightLevel = 0;
}

}  // namespace

Grid buildGrid(const std::vector<std::string>& terrainRows, const std::vector<std::string>& heightRows) {
    Grid built;
    built.tiles.resize(static_cast<size_t>(MAP_W) * MAP_H);
    SUB_MAP_W = MAP_W * SUBDIVISIONS;
    SUB_MAP_H = MAP_H * SUBDIVISIONS;
    for (int y = 0; y < MAP_H; ++y)
        for (int x = 0; x < MAP_W; ++x) {
            TileInstance& cell = built.tiles[static_cast<size_t>(y) * MAP_W + x];
            const TerrainCell& terrain = terrainFromChar(charAt(terrainRows, x, y));
            cell.type = terrain.type;
            cell.variant = terrain.variant;
            cell.walkable = terrain.walkable;
            applyHeight(cell, charAt(heightRows, x, y));
        }
    return built;
}

Grid buildGrid() { return buildGrid(mapData.terrainRows, mapData.heightRows); }

// ---- Sub-tile reservations, tile blocking, map-object sectors and neighbourhoods ----

int SUB_MAP_W = 0;
int SUB_MAP_H = 0;

std::vector<int32_t> reservedTiles;
FootprintRegistry unitOccupancyRegistry;

int gridSectorsX = 0;
int gridSectorsY = 0;
std::vector<std::vector<Sector>> spatialGrid;

const V2i DIRECTIONS[8] = {{0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}};

NeighborsFn Neighbors = nullptr;

// A square footprint wider than this many sub-tiles each side of its centre is cut to it,
// so an absurd catalogue size cannot make a reservation visit billions of cells.
static constexpr int MAX_FOOTPRINT_HALF = 64;

bool isValidTile(const V2i& tile) { return tile.x >= 0 && tile.x < MAP_W && tile.y >= 0 && tile.y < MAP_H; }

// Null for a sub-tile off the grid, or when the reservation grid is not sized for the map.
static int32_t* reservationCell(const V2i& sub) {
    if (!isValidSubTile(sub)) return nullptr;
    size_t index = static_cast<size_t>(sub.y) * SUB_MAP_W + sub.x;
    return index < reservedTiles.size() ? &reservedTiles[index] : nullptr;
}

// Calls f with each sub-tile of the square, row by row.
template <class F>
static void forEachSquareCell(const FootprintPlace& place, F&& f) {
    for (int dy = -place.half; dy <= place.half; ++dy)
        for (int dx = -place.half; dx <= place.half; ++dx) f(V2i{place.centre.x + dx, place.centre.y + dy});
}

std::vector<V2i> FootprintRegistry::at(int unitId) const {
    std::vector<V2i> cells;
    forEachSquareCell(places.at(unitId), [&](V2i cell) { cells.push_back(cell); });
    return cells;
}

static_assert(FIRST_ATTACKABLE_ID > OFF_GRID_SUB_TILE && FIRST_ATTACKABLE_ID > FREE_SUB_TILE);

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
    const FootprintPlace place{sub, std::clamp(info.subtiles / 2, -MAX_FOOTPRINT_HALF, MAX_FOOTPRINT_HALF)};
    forEachSquareCell(place, [unitId](V2i cell) { reserveTile(cell, unitId); });
    unitOccupancyRegistry.set(unitId, place);
}

bool holdsFootprintAt(int unitId, const std::string& unitType, V2i sub) {
    // A reservation visits the whole square about its centre, so the same centre and reach mean the same cells.
    // A walking unit asks about the sub-tile it enters: the centre tells it apart before the type is looked up.
    const FootprintPlace* last = unitOccupancyRegistry.find(unitId);
    if (!last || !(last->centre == sub)) return false;
    const auto info = unitInfo.find(unitType);
    if (info == unitInfo.end()) return false;
    const int half = std::clamp(info->second.subtiles / 2, -MAX_FOOTPRINT_HALF, MAX_FOOTPRINT_HALF);
    if (last->half != half) return false;
    for (int dy = -half; dy <= half; ++dy)
        for (int dx = -half; dx <= half; ++dx) {
            const int32_t* at = reservationCell({sub.x + dx, sub.y + dy});
            if (!at || *at != unitId) return false;
        }
    return true;
}

void unregisterUnitTiles(int unitId) {
    const FootprintPlace* place = unitOccupancyRegistry.find(unitId);
    if (!place) return;
    forEachSquareCell(*place, [unitId](V2i cell) { freeTile(cell, unitId); });
    unitOccupancyRegistry.erase(unitId);
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

static void setAreaWalkable(Grid& grid, V2i origin, int w, int h, uint8_t walkable) {
    if (w < 1 || h < 1) return;
    // Only the part of the rectangle on the map is visited, computed without overflow.
    int x0 = std::max(origin.x, 0);
    int y0 = std::max(origin.y, 0);
    int x1 = static_cast<int>(std::min<int64_t>(int64_t{origin.x} + w, MAP_W));
    int y1 = static_cast<int>(std::min<int64_t>(int64_t{origin.y} + h, MAP_H));
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            TileInstance& cell = grid.at(x, y);
            // Freeing a footprint never makes water walkable.
            cell.walkable = walkable && cell.type != Tile::Water ? 1 : 0;
        }
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

// A file too large to be a map is refused before it is read, so no name can make this read a huge file.
std::string mapFingerprint(const std::string& mapName) {
    const std::string path = basePath + "maps/" + mapName + ".map";
    std::string bytes;
    const Utils::FileRead read = Utils::readBoundedFile(path, MAX_MAP_FILE_BYTES, bytes);
    if (read == Utils::FileRead::TooLarge)
        std::cerr << "Map file is larger than " << MAX_MAP_FILE_BYTES << " bytes: " << path << "\n";
    if (read != Utils::FileRead::Read) return "";
    return Utils::hexFingerprint(Utils::fnv1a(Utils::FNV_START, bytes.data(), bytes.size()));
}
