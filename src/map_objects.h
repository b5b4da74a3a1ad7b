// Map objects: the map object catalogue, its sprite catalogue, and the objects on the map with their indexes.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "sprites.h"

struct MapObjectInfo {
    std::string name;
    std::string displayName;
    int32_t wTiles = 1;
    int32_t hTiles = 1;
    int32_t maxCapacity = 0;
    bool harvestable = false;
};

struct MapObjectSpriteMeta : AnimatedSprite {};

extern std::unordered_map<std::string, MapObjectInfo> mapObjectInfo;
extern std::unordered_map<std::string, MapObjectSpriteMeta> mapObjectsSprites;

void loadMapObjects(const std::string& path);
void loadMapObjectsSprites(const std::string& path);

// ---- Map objects on the map: records, registry, tile indexes, deferred removal and selection.
#include <cstddef>
#include <unordered_set>
#include <vector>

#include "map.h"
#include "utils.h"

struct MapObject {
    int32_t id = -1;
    std::string type;
    int32_t tileX = 0;
    int32_t tileY = 0;
    float worldX = 0.0f;
    float worldY = 0.0f;
    int32_t wTiles = 0;
    int32_t hTiles = 0;
    Sprite sprite;
    // The catalogue record, which lives for the run and never moves.
    const MapObjectSpriteMeta* spriteMeta = nullptr;
    int32_t amount = 0;
    int32_t maxAmount = 0;
    bool animating = false;
    int32_t variant = 0;
    std::vector<V2i> tiles;  // the footprint, column by column: its entries in tileToMapObjects
    int32_t currentFrame = 0;
    float frameTimer = 0.0f;
};

extern std::vector<MapObject> mapObjects;
extern std::unordered_map<int, std::size_t> mapObjectIdToIndex;
extern int nextMapObjectId;
// Tile -> ids whose footprint covers it, filled row by row.
extern std::unordered_map<V2i, std::vector<int>, V2iHash> objectGrid;
// packTile(x, y) -> ids whose footprint covers it, filled column by column.
extern std::unordered_map<uint64_t, std::vector<int>> tileToMapObjects;
// Queued during a tick, removed at its end, each id once.
extern std::vector<int> mapObjectsToRemove;
extern std::vector<int> selectMapObjects;
extern std::unordered_set<int> selectedMapObjectSet;

// Makes the map's objects and, outside the editor, gives each "StartingBase" to the next player without a base.
// Throws std::runtime_error naming the first type either catalogue lacks, before anything is made.
void createObjects(const std::vector<PendingObj>& objects, Grid& grid);

MapObject* getMapObjectById(int id);
// Only the first id listed for the tile is tried.
MapObject* getMapObjectAtTile(V2i tile, Grid&);
// Each object once, in first-seen order; objects already queued for removal are left out.
std::vector<MapObject*> getObjectsInTiles(std::vector<V2i> tiles, int);
// Both ends inclusive.
bool mapObjectContains(const MapObject& o, const SDL_FPoint& p, int w, int h);

void removeMapObjectFromTiles(int id);
bool removeMapObject(int id);
// Once per tick, after the unit and building removals.
void processMapObjectsRemovals(Grid& grid);
// The editor's delete: leaves the tile indexes and the walkable flags as they are.
bool deleteMapObjects();

void addMapObjectToSelection(int id);
void clearMapObjectSelection();
bool isMapObjectSelected(int id);
MapObject* getFirstSelectedMapObject();
// ---- End of map objects on the map.
