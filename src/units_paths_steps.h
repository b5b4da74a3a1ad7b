// Units: the steps a path search may take from a sub-tile, by the engine hook or a whole grid's step tables.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "map.h"
#include "units.h"
#include "units_helpers.h"

namespace pathsearch {

// How a cell was reached: by the step of that index in DIRECTIONS, by none (where a search starts), or by a longer
// step of the engine hook, whose origin is kept aside.
constexpr uint32_t NO_STEP = 8;
constexpr uint32_t FAR_STEP = 9;
constexpr int STEP_BITS = 4;

// The neighbours of one expansion, in a fixed array so that a search allocates nothing per node.
struct Neighbours {
    V2i at[8];
    int count = 0;
    const V2i* begin() const { return at; }
    const V2i* end() const { return at + count; }
};

inline bool usesBuiltInNeighbours() { return Neighbors == nullptr || Neighbors == neighbors8; }

// The engine hook's neighbours; the built-in rule (neighbors8) is applied here without its vector.
Neighbours neighboursOf(const Grid& grid, V2i sub, Tile movementClass);

// True only when the full search would find no path: its goal lies in another region of the grid.
bool refusedAtOnce(const Grid& grid, V2i start, V2i goal, Tile movementClass);

// A step into another tile needs equal height levels or a ramp on either side; any height difference
// may be crossed on a ramp.
inline bool heightBorderAllows(const Grid& grid, V2i from, V2i to) {
    V2i a = tileOfSubTile(from);
    V2i b = tileOfSubTile(to);
    if (a == b) return true;
    const TileInstance& ta = grid.at(a.x, a.y);
    const TileInstance& tb = grid.at(b.x, b.y);
    return ta.heightLevel == tb.heightLevel || ta.ramp != 0 || tb.ramp != 0;
}

// Which steps leave one tile under the rules of one search: bit k for the neighbour tile in direction k, set when
// that tile is on the map, may be entered and (with the height rule) is no height border; bit 8 when the tile
// itself may be entered. Worked out once per tile and search, stamped with the search it belongs to.
struct TileSteps {
    uint32_t stamp = 0;
    uint16_t mask = 0;
};

// The steps worked out, by tile, kept from one search to the next; an entry holds for the search of its stamp.
struct KeptTileSteps {
    std::vector<TileSteps> byTile;
    uint32_t stamp = 0;
};

constexpr int OWN_TILE_BIT = 8;

// The steps a sub-tile may take, by its place in its tile (row-major, 4 by 4) and the mask of its tile: a step
// that stays in the tile needs the tile itself, one that leaves it the neighbour tile it lands on.
using SubTileSteps = std::array<std::array<uint8_t, 1 << (OWN_TILE_BIT + 1)>, 16>;

const SubTileSteps& subTileSteps();

// The step rules of one search: the neighbours (from the engine hook, or the built-in 8 for the multi-goal
// search), the sub-grid bounds and, when heightRule holds, the height borders. On a whole grid with the built-in
// neighbours they are read from the tile array, a tile's steps once per search.
struct StepRules {
    const Grid& grid;
    Tile movementClass;
    bool heightRule;
    bool viaHook;
    const TileInstance* tiles = nullptr;  // set when the direct reading applies
    TileSteps* known = nullptr;           // the steps worked out, by tile
    const SubTileSteps* bySubTile = nullptr;
    std::vector<uint32_t>* worked = nullptr;  // when set, the tiles whose steps this search works out, in order
    uint32_t stamp = 0;
    int mapWidth = 0;
    int subWidth = 0;
    int offsets[8] = {};  // from a sub-tile's index to its neighbours', in direction order

    StepRules(KeptTileSteps& kept, const Grid& g, Tile cls, bool heights, bool hook)
        : grid(g), movementClass(cls), heightRule(heights), viaHook(hook) {
        const bool whole = MAP_W > 0 && MAP_H > 0 && SUB_MAP_W == MAP_W * 4 && SUB_MAP_H == MAP_H * 4 &&
                           g.tiles.size() >= static_cast<size_t>(MAP_W) * static_cast<size_t>(MAP_H);
        if (!whole || (hook && !usesBuiltInNeighbours())) return;
        tiles = g.tiles.data();
        const size_t count = static_cast<size_t>(MAP_W) * static_cast<size_t>(MAP_H);
        if (kept.byTile.size() != count) kept.byTile.assign(count, TileSteps{});
        if (++kept.stamp == 0) {
            for (TileSteps& t : kept.byTile) t.stamp = 0;
            kept.stamp = 1;
        }
        stamp = kept.stamp;
        known = kept.byTile.data();
        bySubTile = &subTileSteps();
        mapWidth = MAP_W;
        subWidth = SUB_MAP_W;
        for (int k = 0; k < 8; ++k) offsets[k] = DIRECTIONS[k].y * subWidth + DIRECTIONS[k].x;
    }

    template <typename Visit>
    void forEachStep(V2i cur, Visit visit) const {
        if (!tiles) return forEachStepSlowly(cur, visit);
        const uint8_t steps = stepsFrom(cur);
        const int c = cur.y * subWidth + cur.x;
        for (int k = 0; k < 8; ++k)
            if (steps >> k & 1)
                visit(V2i{cur.x + DIRECTIONS[k].x, cur.y + DIRECTIONS[k].y}, c + offsets[k], static_cast<uint32_t>(k));
    }

    // Bit k set when a walk may step from the sub-tile (on the grid) in direction k; the direct reading only.
    uint8_t stepsFrom(V2i sub) const {
        return (*bySubTile)[static_cast<size_t>((sub.y & 3) << 2 | (sub.x & 3))][stepsOf(sub.x >> 2, sub.y >> 2)];
    }

    // The steps leaving tile i, as read from the tiles now; all that a search learns of the ground.
    uint16_t stepsLeaving(size_t i, int tx, int ty) const {
        const TileInstance& from = tiles[i];
        uint16_t mask = canEnter(from, movementClass) ? uint16_t{1} << OWN_TILE_BIT : 0;
        for (int k = 0; k < 8; ++k) {
            const int nx = tx + DIRECTIONS[k].x;
            const int ny = ty + DIRECTIONS[k].y;
            if (!isOnMap(nx, ny)) continue;
            const TileInstance& to = tiles[static_cast<size_t>(ny) * mapWidth + nx];
            if (!canEnter(to, movementClass)) continue;
            if (heightRule && from.heightLevel != to.heightLevel && from.ramp == 0 && to.ramp == 0) continue;
            mask = static_cast<uint16_t>(mask | 1 << k);
        }
        return mask;
    }

private:
    uint16_t stepsOf(int tx, int ty) const {
        const size_t i = static_cast<size_t>(ty) * mapWidth + tx;
        return known[i].stamp == stamp ? known[i].mask : workOutSteps(i, tx, ty);
    }

    // Out of line, so that the look-up above stays small where every expansion inlines it.
    __attribute__((noinline)) uint16_t workOutSteps(size_t i, int tx, int ty) const {
        const uint16_t mask = stepsLeaving(i, tx, ty);
        known[i] = {stamp, mask};
        if (worked) worked->push_back(static_cast<uint32_t>(i));
        return mask;
    }

    // The index in DIRECTIONS of the step from one sub-tile to the other, or FAR_STEP.
    static uint32_t stepBetween(V2i from, V2i to) {
        for (uint32_t k = 0; k < 8; ++k)
            if (V2i{from.x + DIRECTIONS[k].x, from.y + DIRECTIONS[k].y} == to) return k;
        return FAR_STEP;
    }

    template <typename Visit>
    void forEachStepSlowly(V2i cur, Visit visit) const {
        Neighbours out;
        if (viaHook) {
            out = neighboursOf(grid, cur, movementClass);
        } else {
            for (const V2i& d : DIRECTIONS) {
                const V2i n{cur.x + d.x, cur.y + d.y};
                if (isValidSubTile(n) && grid.walkable(n.x / 4, n.y / 4, movementClass)) out.at[out.count++] = n;
            }
        }
        for (V2i n : out) {
            if (!isValidSubTile(n)) continue;
            if (heightRule && !heightBorderAllows(grid, cur, n)) continue;
            visit(n, n.y * SUB_MAP_W + n.x, stepBetween(cur, n));
        }
    }
};

}  // namespace pathsearch
