// Units: where a trained recruit appears beside its building, and whether a unit's footprint is free.
#include "units.h"
#include "units_helpers.h"
#include "units_paths_search.h"

#include <cstdint>
#include <string>

#include "buildings.h"

using namespace pathsearch;

bool isAreaFree(int unitId, const V2i& centre, const std::string& unitType) {
    const int64_t half = unitInfo.at(unitType).subtiles / 2;
    for (int64_t dy = -half; dy <= half; ++dy) {
        for (int64_t dx = -half; dx <= half; ++dx) {
            int64_t x = centre.x + dx;
            int64_t y = centre.y + dy;
            if (x < 0 || y < 0 || x >= SUB_MAP_W || y >= SUB_MAP_H) return false;
            if (!isFreeFor({static_cast<int>(x), static_cast<int>(y)}, unitId)) return false;
        }
    }
    return true;
}

V2i findSpawnTile(Building& building, Grid& grid, const Unit& unit) {
    const int S = 4;
    if (building.nearbyTiles.empty())
        return {building.x * S + footprintSubTiles(building.wTiles, S) / 2,
                building.y * S + footprintSubTiles(building.hTiles, S) / 2};
    const V2i* best = nullptr;
    int64_t bestDistance = 0;
    for (const V2i& s : building.nearbyTiles) {
        // A ring sub-tile off the sub-grid is no place to appear, even where its tile rounds onto the map.
        V2i tile = tileOfSubTile(s);
        if (!isValidSubTile(s) || !grid.walkable(tile.x, tile.y, unit.walkable)) continue;
        if (!building.hasRallyPoint) return s;
        int64_t d = manhattan(s, building.rallyPoint);
        if (!best || d < bestDistance) {
            best = &s;
            bestDistance = d;
        }
    }
    return best ? *best : V2i{building.x * S, building.y * S};
}
