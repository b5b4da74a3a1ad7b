// Map objects: the map object catalogue, its sprite catalogue, and the objects on the map with their indexes.
#include "map_objects.h"

#include <iostream>

#include "races.h"
#include "utils.h"

std::unordered_map<std::string, MapObjectInfo> mapObjectInfo;
std::unordered_map<std::string, MapObjectSpriteMeta> mapObjectsSprites;

void loadMapObjects(const std::string& path) {
    const nlohmann::json doc = Utils::loadJsonFile(path);
    if (doc.empty()) {
        std::cerr << "Map object data is empty. Check file: " << path << "\n";
        return;
    }
    for (const auto& [name, entry] : doc.items()) {
        MapObjectInfo info;
        info.name = name;
        info.displayName = jsonString(entry, "displayName", name);
        info.wTiles = jsonInt(entry, "wTiles", 1);
        info.hTiles = jsonInt(entry, "hTiles", 1);
        info.maxCapacity = jsonInt(entry, "maxCapacity", 0);
        info.harvestable = jsonBool(entry, "harvestable", false);
        mapObjectInfo[name] = info;
    }
}

void loadMapObjectsSprites(const std::string& path) {
    const nlohmann::json doc = Utils::loadJsonFile(path);
    for (const auto& [name, entry] : doc.items()) mapObjectsSprites[name] = MapObjectSpriteMeta{readAnimatedSprite(entry)};
}

// ---- Map objects on the map: records, registry, tile indexes, deferred removal and selection.

#include <algorithm>
#include <stdexcept>

#include "buildings.h"
#include "config.h"
#include "extraction.h"
#include "game_state.h"
#include "player.h"

std::vector<MapObject> mapObjects;
std::unordered_map<int, std::size_t> mapObjectIdToIndex;
int nextMapObjectId = 0;
std::unordered_map<V2i, std::vector<int>, V2iHash> objectGrid;
std::unordered_map<uint64_t, std::vector<int>> tileToMapObjects;
std::vector<int> mapObjectsToRemove;
std::vector<int> selectMapObjects;
std::unordered_set<int> selectedMapObjectSet;

namespace {

// Far beyond any map, yet small enough that tile, sub-tile and world arithmetic stays inside int.
constexpr int64_t MAX_OBJECT_COORDINATE = 1 << 20;

bool withinCoordinateRange(int64_t v) { return v >= -MAX_OBJECT_COORDINATE && v <= MAX_OBJECT_COORDINATE; }

bool footprintFits(const PendingObj& o, const MapObjectInfo& info) {
    return withinCoordinateRange(o.x) && withinCoordinateRange(o.y) &&
           withinCoordinateRange(int64_t{o.x} + info.wTiles) && withinCoordinateRange(int64_t{o.y} + info.hTiles);
}

// A map naming a kind the catalogues lack, or placing one beyond the coordinate range, is refused whole.
void requireKnownObjects(const std::vector<PendingObj>& objects) {
    for (const PendingObj& o : objects) {
        const auto info = mapObjectInfo.find(o.type);
        if (info == mapObjectInfo.end() || !mapObjectsSprites.count(o.type))
            throw std::runtime_error("Unknown map object type: " + o.type);
        if (!footprintFits(o, info->second))
            throw std::runtime_error("Map object out of range: " + o.type + " at " + std::to_string(o.x) + "," +
                                     std::to_string(o.y));
    }
}

// The sprite is stretched over the footprint; without a texture the catalogue's scale and size stay.
void fitSpriteToFootprint(MapObject& o) {
    const SDL_FPoint size = o.sprite.getSize();
    if (size.x <= 0 || size.y <= 0) return;
    o.sprite.setScale(static_cast<float>(o.wTiles * TILE_SIZE) / size.x,
                      static_cast<float>(o.hTiles * TILE_SIZE) / size.y);
}

MapObject makeMapObject(const PendingObj& pending) {
    const MapObjectSpriteMeta& meta = mapObjectsSprites.at(pending.type);
    const MapObjectInfo& info = mapObjectInfo.at(pending.type);
    MapObject o;
    o.id = nextMapObjectId++;
    o.type = pending.type;
    o.tileX = pending.x;
    o.tileY = pending.y;
    o.worldX = static_cast<float>(pending.x) * static_cast<float>(TILE_SIZE);
    o.worldY = static_cast<float>(pending.y) * static_cast<float>(TILE_SIZE);
    o.wTiles = info.wTiles;
    o.hTiles = info.hTiles;
    o.amount = info.maxCapacity;
    o.maxAmount = info.maxCapacity;
    o.sprite = meta.sprite;
    o.sprite.src = SDL_Rect{0, 0, meta.frameWidth, meta.frameHeight};
    o.sprite.dst.x = o.worldX;
    o.sprite.dst.y = o.worldY;
    o.spriteMeta = &meta;
    fitSpriteToFootprint(o);
    for (int i = 0; i < o.wTiles; ++i)
        for (int j = 0; j < o.hTiles; ++j) o.tiles.push_back({o.tileX + i, o.tileY + j});
    return o;
}

// Players are kept in id order from here on, so the markers go to the lowest ids first.
Player* nextPlayerWithoutBase() {
    std::stable_sort(players.begin(), players.end(), [](const auto& a, const auto& b) { return a->id < b->id; });
    for (const auto& p : players)
        if (p->buildingIds.empty() && p->spawnsBase) return p.get();
    return nullptr;
}

void giveStartingBase(const MapObject& marker, Grid& grid) {
    if (Player* p = nextPlayerWithoutBase()) spawnBase(grid, marker.tileX, marker.tileY, p->id);
}

std::vector<int>* sectorOf(const MapObject& o) {
    const int sx = o.tileX / SECTOR_SIZE;
    const int sy = o.tileY / SECTOR_SIZE;
    if (sx < 0 || sy < 0 || sx >= gridSectorsX || sy >= gridSectorsY) return nullptr;
    return &spatialGrid[sx][sy].objectIds;
}

void registerMapObject(MapObject o) {
    for (const V2i& t : o.tiles) tileToMapObjects[packTile(t.x, t.y)].push_back(o.id);
    if (std::vector<int>* sector = sectorOf(o)) sector->push_back(o.id);
    for (int j = 0; j < o.hTiles; ++j)
        for (int i = 0; i < o.wTiles; ++i) objectGrid[V2i{o.tileX + i, o.tileY + j}].push_back(o.id);
    mapObjectIdToIndex[o.id] = mapObjects.size();
    mapObjects.push_back(std::move(o));
}

void rebuildMapObjectIndex() {
    mapObjectIdToIndex.clear();
    for (std::size_t i = 0; i < mapObjects.size(); ++i) mapObjectIdToIndex[mapObjects[i].id] = i;
}

void eraseId(std::vector<int>& ids, int id) { ids.erase(std::remove(ids.begin(), ids.end(), id), ids.end()); }

}  // namespace

void createObjects(const std::vector<PendingObj>& objects, Grid& grid) {
    requireKnownObjects(objects);
    const bool editor = mode == GameMode::MapEditor;
    for (const PendingObj& pending : objects) {
        MapObject o = makeMapObject(pending);
        if (o.type == "StartingBase" && !editor) giveStartingBase(o, grid);
        if (o.type == "ExtractionPoint")
            extractionsMapObjectId = o.id;
        else
            blockArea(grid, {o.tileX, o.tileY}, o.wTiles, o.hTiles);
        // In a match a marker only places a base; its id stays used up.
        if (o.type == "StartingBase" && !editor) continue;
        registerMapObject(std::move(o));
    }
}

MapObject* getMapObjectById(int id) {
    for (MapObject& o : mapObjects)
        if (o.id == id) return &o;
    return nullptr;
}

MapObject* getMapObjectAtTile(V2i tile, Grid&) {
    const auto listed = objectGrid.find(tile);
    if (listed == objectGrid.end() || listed->second.empty()) return nullptr;
    return getMapObjectById(listed->second.front());
}

std::vector<MapObject*> getObjectsInTiles(std::vector<V2i> tiles, int) {
    std::vector<MapObject*> found;
    std::unordered_set<int> seen(mapObjectsToRemove.begin(), mapObjectsToRemove.end());
    for (const V2i& tile : tiles) {
        const auto listed = tileToMapObjects.find(packTile(tile.x, tile.y));
        if (listed == tileToMapObjects.end()) continue;
        for (int id : listed->second) {
            if (!seen.insert(id).second) continue;
            if (MapObject* o = getMapObjectById(id)) found.push_back(o);
        }
    }
    return found;
}

bool mapObjectContains(const MapObject& o, const SDL_FPoint& p, int w, int h) {
    return tileRectContains(o.tileX, o.tileY, w, h, p);
}

void removeMapObjectFromTiles(int id) {
    const MapObject* o = getMapObjectById(id);
    if (!o) return;
    for (const V2i& t : o->tiles) removeFromTileIndex(tileToMapObjects, t, id);
}

bool removeMapObject(int id) {
    const auto it = std::find_if(mapObjects.begin(), mapObjects.end(), [id](const MapObject& o) { return o.id == id; });
    if (it == mapObjects.end()) return false;
    for (int j = 0; j < it->hTiles; ++j)
        for (int i = 0; i < it->wTiles; ++i) {
            const auto listed = objectGrid.find(V2i{it->tileX + i, it->tileY + j});
            if (listed == objectGrid.end()) continue;
            eraseId(listed->second, id);
            if (listed->second.empty()) objectGrid.erase(listed);
        }
    mapObjects.erase(it);
    return true;
}

void processMapObjectsRemovals(Grid& grid) {
    if (mapObjectsToRemove.empty()) return;
    std::sort(mapObjectsToRemove.begin(), mapObjectsToRemove.end());
    mapObjectsToRemove.erase(std::unique(mapObjectsToRemove.begin(), mapObjectsToRemove.end()),
                             mapObjectsToRemove.end());
    for (int id : mapObjectsToRemove) {
        const MapObject* o = getMapObjectById(id);
        if (!o) continue;
        removeMapObjectFromTiles(id);
        unblockArea(grid, {o->tileX, o->tileY}, o->wTiles, o->hTiles);
        if (std::vector<int>* sector = sectorOf(*o)) eraseId(*sector, id);
        removeMapObject(id);
    }
    mapObjectsToRemove.clear();
    rebuildMapObjectIndex();
}

bool deleteMapObjects() {
    if (selectMapObjects.empty()) return false;
    for (auto& column : spatialGrid)
        for (Sector& sector : column) {
            std::vector<int>& ids = sector.objectIds;
            ids.erase(std::remove_if(ids.begin(), ids.end(), isMapObjectSelected), ids.end());
        }
    const std::size_t before = mapObjects.size();
    mapObjects.erase(std::remove_if(mapObjects.begin(), mapObjects.end(),
                                    [](const MapObject& o) { return isMapObjectSelected(o.id); }),
                     mapObjects.end());
    rebuildMapObjectIndex();
    selectMapObjects.clear();
    return mapObjects.size() < before;
}

void addMapObjectToSelection(int id) {
    if (selectedMapObjectSet.insert(id).second) selectMapObjects.push_back(id);
}

void clearMapObjectSelection() {
    selectMapObjects.clear();
    selectedMapObjectSet.clear();
}

bool isMapObjectSelected(int id) { return selectedMapObjectSet.count(id) != 0; }

MapObject* getFirstSelectedMapObject() {
    if (selectMapObjects.empty()) return nullptr;
    const auto it = mapObjectIdToIndex.find(selectMapObjects.front());
    if (it == mapObjectIdToIndex.end() || it->second >= mapObjects.size()) return nullptr;
    return &mapObjects[it->second];
}
// ---- End of map objects on the map.
