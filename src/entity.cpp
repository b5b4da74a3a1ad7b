// Everything that can be hit: the shared id space and the helpers units and buildings share.
#include "entity.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "buildings.h"
#include "config.h"
#include "map.h"
#include "units.h"

int nextAttackableId = FIRST_ATTACKABLE_ID;

void resetAttackableIds() { nextAttackableId = FIRST_ATTACKABLE_ID; }

Attackable* getAttackableById(int id) {
    if (Unit* u = getUnitById(id)) return u;
    for (Building& b : buildings)
        if (b.id == id) return &b;
    return nullptr;
}

float hpAfterDamage(float hp, float maxHp, int amount) {
    float after = hp - static_cast<float>(amount);
    if (amount < 0) after = std::min(after, std::max(hp, maxHp));
    return after;
}

// Far beyond any map, small enough that a ring or band of this size stays cheap.
static constexpr int64_t MAX_FOOTPRINT_SUBTILES = 1 << 16;

int footprintSubTiles(int tiles, int perTile) {
    return static_cast<int>(
        std::clamp<int64_t>(int64_t{tiles} * perTile, -MAX_FOOTPRINT_SUBTILES, MAX_FOOTPRINT_SUBTILES));
}

int reachInSubTiles(float range) {
    int r = truncToInt(static_cast<float>(SUBDIVISIONS) * range);
    if (r <= 0) r = 1;
    // A reach past the whole sub-grid only adds off-map entries.
    return std::min(r, std::max({SUB_MAP_W, SUB_MAP_H, 1}));
}
