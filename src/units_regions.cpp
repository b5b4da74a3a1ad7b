// Units: regions of the sub-tile grid per movement class, so a search that cannot reach its goal is refused at once.
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "config.h"
#include "map.h"
#include "units.h"
#include "units_helpers.h"
#include "units_regions.h"

namespace {

// What enterability and height borders read of a tile; regions stay right while none of it changes.
struct TerrainKey {
    Tile type;
    uint8_t height;
    uint8_t walkable;
    uint8_t ramp;
    bool operator==(const TerrainKey& o) const {
        return type == o.type && height == o.height && walkable == o.walkable && ramp == o.ramp;
    }
};

TerrainKey keyOf(const TileInstance& t) { return {t.type, t.heightLevel, t.walkable, t.ramp}; }

// Sub-tiles of one tile are all connected to each other, and a step between tiles needs only the two tiles,
// so components of tiles under 8-neighbour steps are exactly the components of sub-tiles.
struct Regions {
    std::vector<TerrainKey> terrain;  // the map the labels below were made for
    int width = 0;
    std::array<std::vector<int32_t>, 2 * (static_cast<int>(Tile::Any) + 1)> labels;  // per class and height rule

    // False until labels exist for a map of this size: a new map is followed at once, not on the 64th call.
    bool madeFor() const {
        return width == MAP_W && terrain.size() == static_cast<size_t>(MAP_W) * static_cast<size_t>(MAP_H);
    }

    // Compares the whole map with the one the labels were made for; any change drops every label.
    void follow(const Grid& grid) {
        const size_t cells = static_cast<size_t>(MAP_W) * static_cast<size_t>(MAP_H);
        bool same = width == MAP_W && terrain.size() == cells;
        for (size_t i = 0; same && i < cells; ++i) same = terrain[i] == keyOf(grid.tiles[i]);
        if (!same) remake(grid, cells);
    }

    // Compares the next few tiles of a sweep round the map, and follows the whole map once they differ: each
    // change is seen within FULL_SWEEP_CALLS calls, at a small share of the cost of a whole comparison.
    void followSlice(const Grid& grid) {
        const size_t cells = terrain.size();
        const size_t slice = (cells + FULL_SWEEP_CALLS - 1) / FULL_SWEEP_CALLS;
        if (cursor >= cells) cursor = 0;
        const size_t end = std::min(cursor + slice, cells);
        bool same = true;
        for (size_t i = cursor; same && i < end; ++i) same = terrain[i] == keyOf(grid.tiles[i]);
        cursor = end;
        if (!same) follow(grid);
    }

    const std::vector<int32_t>& of(const Grid& grid, Tile movementClass, bool heightRule) {
        std::vector<int32_t>& label = labels[static_cast<size_t>(movementClass) * 2 + (heightRule ? 1 : 0)];
        if (label.empty() && !terrain.empty()) build(grid, movementClass, heightRule, label);
        return label;
    }

private:
    static constexpr size_t FULL_SWEEP_CALLS = 1024;
    size_t cursor = 0;  // where the sweep of followSlice goes on

    void remake(const Grid& grid, size_t cells) {
        width = MAP_W;
        terrain.resize(cells);
        for (size_t i = 0; i < cells; ++i) terrain[i] = keyOf(grid.tiles[i]);
        for (auto& l : labels) l.clear();
    }

    void build(const Grid& grid, Tile movementClass, bool heightRule, std::vector<int32_t>& label) const {
        const int w = MAP_W;
        const int h = MAP_H;
        label.assign(terrain.size(), -1);
        std::vector<int32_t> stack;
        int32_t next = 0;
        for (int32_t seed = 0; seed < static_cast<int32_t>(label.size()); ++seed) {
            if (label[seed] != -1 || !canEnter(grid.tiles[seed], movementClass)) continue;
            label[seed] = next;
            stack.push_back(seed);
            while (!stack.empty()) {
                const int32_t c = stack.back();
                stack.pop_back();
                const int cx = c % w;
                const int cy = c / w;
                for (const V2i& d : DIRECTIONS) {
                    const int nx = cx + d.x;
                    const int ny = cy + d.y;
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                    const int32_t n = ny * w + nx;
                    if (label[n] != -1 || !canEnter(grid.tiles[n], movementClass)) continue;
                    const TerrainKey& a = terrain[c];
                    const TerrainKey& b = terrain[n];
                    if (heightRule && a.height != b.height && a.ramp == 0 && b.ramp == 0) continue;
                    label[n] = next;
                    stack.push_back(n);
                }
            }
            ++next;
        }
    }
};

Regions regions;

bool gridIsWhole(const Grid& grid) {
    return MAP_W > 0 && MAP_H > 0 && SUB_MAP_W == MAP_W * 4 && SUB_MAP_H == MAP_H * 4 &&
           grid.tiles.size() >= static_cast<size_t>(MAP_W) * MAP_H;
}

size_t cellOf(V2i sub) { return static_cast<size_t>(sub.y / 4) * MAP_W + sub.x / 4; }

// anyGoal(test) answers whether test holds for one of the goals the class may enter.
template <typename AnyGoal>
bool shareARegion(const Grid& grid, V2i start, const AnyGoal& anyGoal, Tile movementClass, bool heightRule) {
    const std::vector<int32_t>& label = regions.of(grid, movementClass, heightRule);
    if (label.size() != static_cast<size_t>(MAP_W) * MAP_H) return true;
    const int32_t from = label[cellOf(start)];
    return anyGoal([&](V2i g) { return label[cellOf(g)] == from; });
}

// Labels that lag behind the map may only cost a full search, never refuse a reachable goal: they are brought up
// to date before every refusal, for a map of a new size, and otherwise, unless the answer must be exact, by a
// sweep that compares a slice of the map per call.
template <typename AnyGoal>
bool inOtherRegions(const Grid& grid, V2i start, const AnyGoal& anyGoal, Tile movementClass, bool heightRule,
                    bool exact) {
    if (exact || !regions.madeFor()) regions.follow(grid);
    else regions.followSlice(grid);
    if (shareARegion(grid, start, anyGoal, movementClass, heightRule)) return false;
    if (!exact) regions.follow(grid);
    return !shareARegion(grid, start, anyGoal, movementClass, heightRule);
}

// The goals a search may end on: on the grid and on a tile the class may enter; the start is one when listed.
std::vector<V2i> enterable(const Grid& grid, const std::vector<V2i>& goals, Tile movementClass) {
    std::vector<V2i> kept;
    for (V2i g : goals)
        if (isValidSubTile(g) && canEnter(grid.tiles[cellOf(g)], movementClass)) kept.push_back(g);
    return kept;
}

// Whether test holds for one sub-tile of the square per tile the class may enter, asked until it does; regions
// are per tile, so these stand for all the square's goals. Every tile the square touches holds one of its
// sub-tiles other than the centre.
template <typename Test>
bool anyEnterableTile(const Grid& grid, const ReachSquare& goals, Tile movementClass, const Test& test) {
    if (goals.reach < 1) return false;
    const int x0 = std::max(goals.centre.x - goals.reach, 0);
    const int y0 = std::max(goals.centre.y - goals.reach, 0);
    const int x1 = std::min(goals.centre.x + goals.reach, SUB_MAP_W - 1);
    const int y1 = std::min(goals.centre.y + goals.reach, SUB_MAP_H - 1);
    for (int ty = y0 / 4; y0 <= y1 && ty <= y1 / 4; ++ty)
        for (int tx = x0 / 4; x0 <= x1 && tx <= x1 / 4; ++tx) {
            const V2i sub{std::max(tx * 4, x0), std::max(ty * 4, y0)};
            if (canEnter(grid.tiles[cellOf(sub)], movementClass) && test(sub)) return true;
        }
    return false;
}

// The refusal once the goals the class may enter can be asked after.
template <typename AnyGoal>
bool refusedWith(const Grid& grid, V2i start, const AnyGoal& anyGoal, Tile movementClass, bool heightRule,
                 bool exact) {
    if (!anyGoal([](V2i) { return true; })) return true;
    // From a tile it may not enter a unit can still step off; its region is not one of the labels.
    if (!canEnter(grid.tiles[cellOf(start)], movementClass)) return false;
    return inOtherRegions(grid, start, anyGoal, movementClass, heightRule, exact);
}

}  // namespace

bool cannotReachAny(const Grid& grid, V2i start, const std::vector<V2i>& goals, Tile movementClass,
                    bool heightRule, bool exact) {
    if (!isValidSubTile(start) || !gridIsWhole(grid)) return false;
    if (std::find(goals.begin(), goals.end(), start) != goals.end()) return false;
    const std::vector<V2i> kept = enterable(grid, goals, movementClass);
    const auto anyGoal = [&](const auto& test) { return std::any_of(kept.begin(), kept.end(), test); };
    return refusedWith(grid, start, anyGoal, movementClass, heightRule, exact);
}

bool cannotReachSquare(const Grid& grid, V2i start, const ReachSquare& goals, Tile movementClass, bool heightRule,
                       bool exact) {
    if (!isValidSubTile(start) || !gridIsWhole(grid)) return false;
    if (goals.contains(start)) return false;
    // The square's tiles are asked in place: the first in the start's region usually ends the look.
    const auto anyGoal = [&](const auto& test) { return anyEnterableTile(grid, goals, movementClass, test); };
    return refusedWith(grid, start, anyGoal, movementClass, heightRule, exact);
}

bool cannotReach(const Grid& grid, V2i start, V2i goal, Tile movementClass, bool heightRule, bool exact) {
    return cannotReachAny(grid, start, {goal}, movementClass, heightRule, exact);
}
