// The tile grid, coordinates and camera, map files, the static world, sub-tile reservations and neighbourhoods.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <unordered_map>
#include <vector>

#include <SDL2/SDL.h>

#include "config.h"
#include "entity.h"
#include "utils.h"

enum class Tile : int32_t {
    None = 0,
    Grass = 1,
    Drygrass = 2,
    Mud = 3,
    Water = 4,
    Wall = 5,
    Rock = 6,
    Shore = 7,
    Any = 8,
};

struct TileDecal {
    std::string spriteKey;
    float offsetX = 0.0f;
    float offsetY = 0.0f;
    float rotation = 0.0f;
    float scale = 1.0f;
};

struct TileInstance {
    Tile type = Tile::None;
    uint8_t variant = 0;
    uint8_t heightLevel = 0;
    uint8_t walkable = 1;
    uint8_t ramp = 0;
    std::vector<TileDecal> decals;
};

// Off-map lookups answer this cell; note its walkable flag is 1, so bounds are tested separately.
extern const TileInstance invalidTile;

inline bool isOnMap(int x, int y) { return x >= 0 && y >= 0 && x < MAP_W && y < MAP_H; }
inline bool isOnMap(V2i tile) { return isOnMap(tile.x, tile.y); }
// A tile's edge in world units, as the float the drawing and spell geometry work in.
inline float tileSize() { return static_cast<float>(TILE_SIZE); }

// The small queries below are inline: path searches call them for every step they try.
struct Grid {
    std::vector<TileInstance> tiles;

    const TileInstance& at(int x, int y) const {
        if (!isOnMap(x, y) || tiles.size() < static_cast<size_t>(MAP_W) * MAP_H) return invalidTile;
        return tiles[static_cast<size_t>(y) * MAP_W + x];
    }
    TileInstance& at(int x, int y);
    // No bounds test: the caller passes a cell on the map.
    void set(int x, int y, Tile type, uint8_t variant, uint8_t height);
    bool walkable(int x, int y, Tile movementClass) const;
};

// Whether a unit of the movement class may stand on the cell: Any everywhere, Water on water only
// (water cells are never flagged walkable, so the flag cannot decide for ships), every other class
// where the walkable flag is set.
inline bool canEnter(const TileInstance& cell, Tile movementClass) {
    if (movementClass == Tile::Any) return true;
    if (movementClass == Tile::Water) return cell.type == Tile::Water;
    return cell.walkable != 0;
}

extern Grid grid;

Tile typeFromString(const std::string& name);

// Coordinates and the camera: per-frame view state that the simulation tick never reads.

struct Camera {
    float x = 0.0f;
    float y = 0.0f;
    float w = 0.0f;
    float h = 0.0f;
    float centerX = 0.0f;
    float centerY = 0.0f;
    float zoom = 1.0f;
};

extern Camera camera;

// A marker drawn where an order was given; life falls from 1.0 each frame.
struct Click {
    float x = 0.0f;
    float y = 0.0f;
    float life = 1.0f;
    SDL_Color color{255, 255, 255, 255};
};

extern std::vector<Click> clicks;

// What edge scrolling reads each frame: the mouse in window pixels and the window size.
struct PointerView {
    float mouseX = 0.0f;
    float mouseY = 0.0f;
    float windowW = 0.0f;
    float windowH = 0.0f;
};

// The seam through which the camera reads the pointer; tests install fixed values.
extern PointerView (*readPointerView)();
// The mouse and the size of the window that has it (or the keyboard); with no window the view stays as it is.
PointerView readSdlPointerView();

SDL_FPoint gridToIso(float gx, float gy);
SDL_FPoint screenToWorld(const SDL_FPoint& screen);
// Floors, so points left of or above the map give negative tiles.
V2i screenToTile(const SDL_FPoint& screen);
void moveCameraIso(float dt);
void handleZoomIso(const SDL_Event& event);
void moveCameraToTheBaseIso();
void updateClicks();

// Map files: reading, validating, writing and counting starting bases.

struct PendingObj {
    std::string type;
    int x = 0;
    int y = 0;
};

struct PendingDeco {
    std::string name;
    int tileX = 0;
    int tileY = 0;
    int width = 0;
    int height = 0;
};

struct MapData {
    std::vector<std::string> terrainRows;
    std::vector<std::string> heightRows;
    std::vector<PendingObj> pendingObjects;
    std::vector<PendingDeco> pendingDecorations;
};

extern MapData mapData;

// One "[Objects]" line as the writer puts it: type, top-left tile, footprint in tiles.
struct MapObjectLine {
    std::string type;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Largest map side in tiles, and the largest map file: bigger ones are refused before anything is built.
constexpr int MAX_MAP_SIDE = 1024;
constexpr std::uintmax_t MAX_MAP_FILE_BYTES = 16u << 20;

// Throws std::runtime_error for an unopenable or oversized file, one without terrain or with more than
// MAX_MAP_SIDE rows or columns, and the std::stoi errors for a numeric field without digits or beyond 32 bits.
MapData readMapFile(const std::string& path);
// Throws std::runtime_error naming the 1-based terrain row whose width differs, or for an oversized terrain.
void checkTerrain(const std::vector<std::string>& rows);
// checkTerrain, then sets MAP_W and MAP_H.
void validateTerrain(const std::vector<std::string>& rows);
MapData loadMapFromFile(const std::string& path);
// Counts every line that begins with "StartingBase", wherever it stands; a line costs no more memory however long.
int getBasesCountFromMap(const std::string& path);
char tileToChar(Tile type, int);

void writeMap(std::ostream& out, const Grid& grid, const std::vector<MapObjectLine>& objects,
              const std::vector<PendingDeco>& decorations);
// Writes basePath + "maps/" + name through a temporary file, so a failure keeps the previous map; false on refusal
// (a name that would leave the folder) or failure, each reported on the error stream and, for the player, in why.
bool saveMap(const Grid& grid, const std::string& name, const std::vector<MapObjectLine>& objects,
             const std::vector<PendingDeco>& decorations, std::string* why = nullptr);
// A hash of the bytes of the map file basePath + "maps/" + mapName + ".map", in hex; empty when it cannot be read,
// and with one line when it is larger than MAX_MAP_FILE_BYTES.
std::string mapFingerprint(const std::string& mapName);
// The editor's save: the live map objects and decorations become the object and decoration lines.
bool saveMap(const Grid& grid, const std::string& name, std::string* why = nullptr);

// The static world: the grid of a loaded map. MAP_W and MAP_H must be the terrain's size (validateTerrain);
// sets SUB_MAP_W and SUB_MAP_H.
Grid buildGrid(const std::vector<std::string>& terrainRows, const std::vector<std::string>& heightRows);
Grid buildGrid();

// ---- Sub-tile reservations, tile blocking, map-object sectors and neighbourhoods ----

// Sub-grid size, MAP_W and MAP_H times SUBDIVISIONS; set when a map's grid is built.
extern int SUB_MAP_W;
extern int SUB_MAP_H;

// One cell per sub-tile, row-major: the id of the unit that reserved it, 0 when free.
extern std::vector<int32_t> reservedTiles;
// Where a unit's last reservation was centred and how far it reached each way.
struct FootprintPlace {
    V2i centre;
    int half = 0;
};

// Unit id -> its last reservation. The sub-tiles it visited (off-grid and lost cells included) are the square of
// the place, so only the place is kept: no list per unit to allocate, fill and chase on every step.
class FootprintRegistry {
public:
    const FootprintPlace* find(int unitId) const { return places.find(unitId); }
    size_t count(int unitId) const { return places.count(unitId); }
    // The visited sub-tiles row by row; throws std::out_of_range for a unit without a reservation.
    std::vector<V2i> at(int unitId) const;
    void set(int unitId, FootprintPlace place) { places.set(unitId, place); }
    void erase(int unitId) { places.erase(unitId); }
    void clear() { places.clear(); }

private:
    IdTable<FootprintPlace> places;
};
extern FootprintRegistry unitOccupancyRegistry;

bool isValidTile(const V2i& tile);
inline bool isValidSubTile(const V2i& sub) {
    return sub.x >= 0 && sub.x < SUB_MAP_W && sub.y >= 0 && sub.y < SUB_MAP_H;
}

// Answers of the reservation queries that are no entity's id.
constexpr int FREE_SUB_TILE = 0;
constexpr int OFF_GRID_SUB_TILE = 1;

// The holder's id, 0 when free; off the grid counts as taken (1).
inline int isSubTileReserved(const V2i& sub) {
    if (!isValidSubTile(sub)) return OFF_GRID_SUB_TILE;
    const size_t index = static_cast<size_t>(sub.y) * SUB_MAP_W + sub.x;
    return index < reservedTiles.size() ? reservedTiles[index] : OFF_GRID_SUB_TILE;
}
// The holder's id, 0 when free; off the grid counts as free (0). Takes a sub-tile despite its name.
int isTileReserved(const V2i& sub);

// Takes a free cell or one the unit holds already; another unit's cell is left alone.
void reserveTile(const V2i& sub, int unitId);
// Frees the cell only when the unit holds it.
void freeTile(const V2i& sub, int unitId);

// Releases the unit's previous cells, then reserves the type's square footprint centred on sub.
// Throws std::out_of_range for a type missing from the units catalogue, after the release.
void reserveTilesForUnit(int unitId, const std::string& unitType, V2i sub);
// Frees every registered cell the unit still holds and forgets its entry.
void unregisterUnitTiles(int unitId);
// True when the unit's last reservation is its footprint about sub and it still holds every cell of it, so that
// freeing it and reserving there again would change nothing.
bool holdsFootprintAt(int unitId, const std::string& unitType, V2i sub);
// Same effect as unregisterUnitTiles; the type and sub-tile are not used.
void freeTileForUnit(int unitId, const std::string& unitType, V2i sub);

// The tile under a world point, clamped to the map.
V2i worldToTile(float x, float y);
// The sub-tile under a world point, clamped to the sub-grid.
inline V2i worldToSubTile(float x, float y) {
    const float size = static_cast<float>(SUB_TILE_SIZE);
    return {std::max(0, std::min(truncToInt(x / size), SUB_MAP_W - 1)),
            std::max(0, std::min(truncToInt(y / size), SUB_MAP_H - 1))};
}

// Clear or set the walkable flag of the tiles of a rectangle that lie on the grid; water tiles stay unwalkable.
void blockArea(Grid& grid, V2i origin, int w, int h);
void unblockArea(Grid& grid, V2i origin, int w, int h);

// The 3x3 tiles around (x, y): the row above, the row below, then left, right and centre. Unclipped.
std::vector<V2i> computeNearbyTiles(int x, int y);

constexpr int SECTOR_SIZE = 64;

// The map objects whose top-left tile lies in one 64x64 block, by id.
struct Sector {
    std::vector<int> objectIds;
};

extern int gridSectorsX;
extern int gridSectorsY;
// Indexed [sector x][sector y]; one spare sector row and column.
extern std::vector<std::vector<Sector>> spatialGrid;

void initSpatialGrid();

// The eight neighbour offsets, north first, then clockwise (y grows downward).
extern const V2i DIRECTIONS[8];

// The on-map neighbours of a sub-tile on tiles the class may enter (canEnter), in DIRECTIONS order.
// Heights, ramps, reservations and corner cutting are left to the searches.
std::vector<V2i> neighbors8(const Grid& grid, const V2i& sub, Tile movementClass);

using NeighborsFn = std::vector<V2i> (*)(const Grid&, const V2i&, Tile);
// Engine hook the searches expand nodes through; null until the engine is initialised.
extern NeighborsFn Neighbors;
