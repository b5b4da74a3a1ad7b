// Units: nearest places: resources, building sites, rings and enemies.
#include "units.h"
#include "units_helpers.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>

#include "buildings.h"
#include "config.h"
#include "construction-manager.h"
#include "extraction.h"
#include "game_state.h"
#include "map_objects.h"
#include "player.h"
#include "projectiles.h"
#include "races.h"
#include "sounds.h"
#include "special_effects.h"
#include "spells.h"
#include "sprites.h"
#include "tech_tree.h"
#include "textures.h"
#include "upgrades.h"

std::vector<uint32_t> miningOccupancy;

// ---- Nearest places: resources, building sites, rings and enemies ----

// Ahead of any real key or distance, so the first candidate always wins over the starting value.
static constexpr int64_t NO_KEY = std::numeric_limits<int64_t>::max();
static constexpr V2i NOT_FOUND{-1, -1};

static int64_t tileKey(int64_t x, int64_t y) { return x * 100000 + y; }

// A world coordinate in 1/256 units, truncated; bounded so that squared differences stay within 64 bits.
static int64_t fixedPoint(float world) {
    constexpr double bound = 1 << 29;
    double v = std::trunc(static_cast<double>(world) * 256.0);
    if (std::isnan(v)) return 0;
    return static_cast<int64_t>(std::clamp(v, -bound, bound));
}

static int64_t squared(int64_t v) { return v * v; }

static int64_t fixedDistanceToTileCentre(const Unit& unit, V2i tile) {
    const int64_t half = TILE_SIZE / 2;
    const int64_t cx = (int64_t{tile.x} * TILE_SIZE + half) * 256;
    const int64_t cy = (int64_t{tile.y} * TILE_SIZE + half) * 256;
    return squared(cx - fixedPoint(unit.x)) + squared(cy - fixedPoint(unit.y));
}

static bool walkableTile(const Grid& grid, int64_t x, int64_t y) {
    return x >= 0 && y >= 0 && x < MAP_W && y < MAP_H && grid.at(static_cast<int>(x), static_cast<int>(y)).walkable;
}

// The part of [from, to] that lies in [0, size - 1]; a scan over it visits the same cells in the same order.
static std::pair<int64_t, int64_t> onGrid(int64_t from, int64_t to, int64_t size) {
    return {std::max<int64_t>(from, 0), std::min<int64_t>(to, size - 1)};
}

ResourceFind findClosestResource(V2i tile, const std::string& resourceType, Grid& grid) {
    ResourceFind found;
    int64_t bestDistance = 99999;
    int64_t bestKey = NO_KEY;
    for (MapObject& object : mapObjects) {
        if (object.type != resourceType) continue;
        if (std::find(mapObjectsToRemove.begin(), mapObjectsToRemove.end(), object.id) != mapObjectsToRemove.end())
            continue;
        for (int64_t x = object.tileX; x < int64_t{object.tileX} + object.wTiles; ++x) {
            for (int64_t y = object.tileY; y < int64_t{object.tileY} + object.hTiles; ++y) {
                int64_t d = std::abs(x - tile.x) + std::abs(y - tile.y);
                int64_t key = int64_t{object.id} * 100000000 + x * 1000 + y;
                if (d > bestDistance || (d == bestDistance && key >= bestKey)) continue;
                bestDistance = d;
                bestKey = key;
                found = {{static_cast<int>(x), static_cast<int>(y)}, &object};
            }
        }
    }
    return found;
}

V2i findClosestFreeTile(V2i origin, const std::string& buildingType, Grid& grid, int minDist) {
    const BuildingInfo& info = buildingInfo.at(buildingType);
    std::unordered_set<V2i, V2iHash> unitTiles;
    for (const Unit& u : units) unitTiles.insert(worldToTile(u.x, u.y));
    auto footprintFree = [&](int64_t x, int64_t y) {
        if (info.wTiles <= 0 || info.hTiles <= 0) return true;
        for (int64_t fx = x; fx < x + info.wTiles; ++fx)
            for (int64_t fy = y; fy < y + info.hTiles; ++fy)
                if (!walkableTile(grid, fx, fy) || unitTiles.count({static_cast<int>(fx), static_cast<int>(fy)}))
                    return false;
        return true;
    };
    V2i result = NOT_FOUND;
    int best = 999999;
    for (int dx = -10; dx <= 10; ++dx) {
        for (int dy = -10; dy <= 10; ++dy) {
            int d = std::abs(dx) + std::abs(dy);
            if (d < minDist || d >= best) continue;
            int64_t x = int64_t{origin.x} + dx;
            int64_t y = int64_t{origin.y} + dy;
            if (!footprintFree(x, y)) continue;
            result = {static_cast<int>(x), static_cast<int>(y)};
            best = d;
        }
    }
    return result;
}

V2i findClosestTileWithinRange(const Unit* unit, const V2i& target, Grid& grid, float range) {
    if (!unit) return NOT_FOUND;
    const int64_t half = int64_t{truncToInt(std::ceil(range))} + 1;
    if (half < 0) return NOT_FOUND;
    const float reach = range * range;
    V2i result = NOT_FOUND;
    int64_t best = NO_KEY;
    int64_t bestKey = NO_KEY;
    auto [x0, x1] = onGrid(target.x - half, target.x + half, MAP_W);
    auto [y0, y1] = onGrid(target.y - half, target.y + half, MAP_H);
    for (int64_t x = x0; x <= x1; ++x) {
        for (int64_t y = y0; y <= y1; ++y) {
            if (!walkableTile(grid, x, y)) continue;
            // Written so that a range that is not a number reaches nothing.
            if (!(static_cast<float>(squared(x - target.x) + squared(y - target.y)) <= reach)) continue;
            V2i tile{static_cast<int>(x), static_cast<int>(y)};
            int64_t d = fixedDistanceToTileCentre(*unit, tile);
            int64_t key = tileKey(x, y);
            if (d > best || (d == best && key >= bestKey)) continue;
            best = d;
            bestKey = key;
            result = tile;
        }
    }
    return result;
}

V2i findClosestTileAdjacentToBuilding(const Building& building, Grid& grid) {
    const BuildingInfo& info = buildingInfo.at(building.type);
    const int64_t w = info.wTiles;
    const int64_t h = info.hTiles;
    if (w < -1 || h < -1) return NOT_FOUND;
    V2i result = NOT_FOUND;
    int64_t best = 999999;
    int64_t bestKey = NO_KEY;
    auto [x0, x1] = onGrid(int64_t{building.x} - 1, building.x + w, MAP_W);
    auto [y0, y1] = onGrid(int64_t{building.y} - 1, building.y + h, MAP_H);
    for (int64_t x = x0; x <= x1; ++x) {
        for (int64_t y = y0; y <= y1; ++y) {
            bool inside = x >= building.x && x < building.x + w && y >= building.y && y < building.y + h;
            if (inside || !walkableTile(grid, x, y)) continue;
            int64_t d = std::abs(building.x - x) + std::abs(building.y - y);
            int64_t key = tileKey(x, y);
            if (d > best || (d == best && key >= bestKey)) continue;
            best = d;
            bestKey = key;
            result = {static_cast<int>(x), static_cast<int>(y)};
        }
    }
    return result;
}

V2i findClosestTileAdjacentToUnit(Unit& target, const Unit& from, Grid& grid) {
    target.computeNearbyTiles();
    const V2i origin = worldToSubTile(from.x, from.y);
    V2i result = NOT_FOUND;
    int64_t best = NO_KEY;
    for (const V2i& s : target.nearbyTiles) {
        V2i tile = tileOfSubTile(s);
        if (!isValidSubTile(s) || !grid.walkable(tile.x, tile.y, from.walkable)) continue;
        int64_t d = manhattan(s, origin);
        if (d >= best) continue;
        best = d;
        result = s;
    }
    return result;
}

V2i findClosestMapObjectWithResourceType(V2i from, ResourceType kind, const std::vector<MapObject>& objects) {
    static const char* const names[] = {"None", "AmberOil", "Crystal"};
    const int k = static_cast<int>(kind);
    if (k < 0 || k > 2) return NOT_FOUND;
    V2i result = NOT_FOUND;
    int64_t best = std::numeric_limits<int32_t>::max();
    for (const MapObject& object : objects) {
        if (object.type != names[k]) continue;
        int64_t d = std::abs(from.x - int64_t{object.tileX} * 4) + std::abs(from.y - int64_t{object.tileY} * 4);
        if (d >= best) continue;
        best = d;
        result = {object.tileX, object.tileY};
    }
    return result;
}

static bool claimedByAMiner(V2i sub) {
    size_t index = static_cast<size_t>(sub.y) * static_cast<size_t>(MAP_W * 4) + static_cast<size_t>(sub.x);
    return index < miningOccupancy.size() && miningOccupancy[index] != FREE_MINING_SPOT;
}

// The ring of sub-tiles just outside the footprint the catalogue gives the object's type.
static V2i nearestRingSubTile(const MapObject& object, V2i from) {
    const MapObjectInfo& info = mapObjectInfo.at(object.type);
    const int64_t x0 = int64_t{object.tileX} * 4;
    const int64_t y0 = int64_t{object.tileY} * 4;
    const int64_t w = int64_t{info.wTiles} * 4;
    const int64_t h = int64_t{info.hTiles} * 4;
    if (w < -1 || h < -1) return NOT_FOUND;
    V2i result = NOT_FOUND;
    int64_t best = 999999;
    int64_t bestKey = NO_KEY;
    auto [xa, xb] = onGrid(x0 - 1, x0 + w, int64_t{MAP_W} * 4);
    auto [ya, yb] = onGrid(y0 - 1, y0 + h, int64_t{MAP_H} * 4);
    for (int64_t x = xa; x <= xb; ++x) {
        for (int64_t y = ya; y <= yb; ++y) {
            if (x >= x0 && x < x0 + w && y >= y0 && y < y0 + h) continue;
            V2i sub{static_cast<int>(x), static_cast<int>(y)};
            if (!walkableTile(grid, x / 4, y / 4) || isSubTileReserved(sub) != FREE_SUB_TILE) continue;
            if (claimedByAMiner(sub)) continue;
            int64_t d = manhattan(from, sub);
            int64_t key = tileKey(x, y);
            if (d > best || (d == best && key >= bestKey)) continue;
            best = d;
            bestKey = key;
            result = sub;
        }
    }
    return result;
}

V2i findClosestAdjacentToMapObjectNotOccupied(V2i objectTile, Grid& grid, V2i from) {
    const MapObject* object = getMapObjectAtTile(objectTile, grid);
    return object ? nearestRingSubTile(*object, from) : NOT_FOUND;
}

V2i findClosestTileAdjacentToBuildingFromUnit(const Building& building, const Unit& unit, Grid& grid) {
    const V2i corner{building.x * 4, building.y * 4};
    if (building.nearbyTiles.empty()) return corner;
    const V2i origin = worldToSubTile(unit.x, unit.y);
    const V2i* chosen = nullptr;
    int64_t best = NO_KEY;
    for (const V2i& s : building.nearbyTiles) {
        // A ring sub-tile off the sub-grid is no destination, even where its tile rounds onto the map.
        V2i tile = tileOfSubTile(s);
        if (!isValidSubTile(s) || !grid.walkable(tile.x, tile.y, unit.walkable)) continue;
        int64_t d = squared(int64_t{s.x} - origin.x) + squared(int64_t{s.y} - origin.y);
        if (d >= best) continue;
        best = d;
        chosen = &s;
    }
    return chosen ? *chosen : corner;
}

// A player's ids of one kind, ascending.
static std::vector<int> playerIds(int playerId, std::vector<int> Player::*list) {
    const Player* player = getPlayerById(playerId);
    if (!player) return {};
    std::vector<int> ids = player->*list;
    std::sort(ids.begin(), ids.end());
    return ids;
}

static std::vector<int> localPlayerIds(std::vector<int> Player::*list) {
    return playerIds(Player::myStaticId, list);
}

Building* findClosestEnemyBuilding(const Unit& unit, Grid& grid) {
    return findClosestBuildingOf(Player::myStaticId, unit, grid);
}

Building* findClosestBuildingOf(int playerId, const Unit& unit, Grid& grid) {
    Building* result = nullptr;
    int64_t best = NO_KEY;
    for (int id : playerIds(playerId, &Player::buildingIds)) {
        Building* building = getBuildingById(id);
        if (!building) continue;
        V2i beside = findClosestTileAdjacentToBuilding(*building, grid);
        if (beside == NOT_FOUND) continue;
        int64_t d = fixedDistanceToTileCentre(unit, beside);
        // Ids ascend, so an equal distance keeps the smaller id.
        if (d >= best) continue;
        best = d;
        result = building;
    }
    return result;
}

Unit* findClosestEnemyUnit(const Unit& unit) {
    Unit* result = nullptr;
    int64_t best = NO_KEY;
    const int64_t ux = fixedPoint(unit.x);
    const int64_t uy = fixedPoint(unit.y);
    for (int id : localPlayerIds(&Player::unitIds)) {
        Unit* enemy = getUnitById(id);
        if (!enemy || !enemy->onMap) continue;
        int64_t d = squared(fixedPoint(enemy->x) - ux) + squared(fixedPoint(enemy->y) - uy);
        if (d >= best) continue;
        best = d;
        result = enemy;
    }
    return result;
}
