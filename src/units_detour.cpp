// Units: the bounded breadth-first path of a blocked unit's divert, found by a search aimed at the start.
#include "units_detour.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "units_helpers.h"
#include "units_regions.h"

namespace {

// Per sub-tile: the steps to the goal once known, stamped with the search that knows them.
struct GoalDistance {
    uint32_t stamp = 0;
    int32_t steps = 0;
    bool settled = false;
};

struct SearchState {
    std::vector<GoalDistance> cells;
    std::vector<uint32_t> pocket;                   // stamped where the flood from the start has been
    std::vector<std::pair<int32_t, int32_t>> fifo;  // that flood's queue: sub-tile, steps
    std::vector<std::vector<int32_t>> buckets;      // open sub-tiles by estimate, steps + distance to the start
    uint32_t stamp = 0;

    void begin(size_t count, int maxEstimate) {
        if (cells.size() != count) {
            cells.assign(count, GoalDistance{});
            pocket.assign(count, 0);
            stamp = 0;
        }
        if (++stamp == 0) {
            for (GoalDistance& c : cells) c.stamp = 0;
            std::fill(pocket.begin(), pocket.end(), 0);
            stamp = 1;
        }
        buckets.resize(static_cast<size_t>(maxEstimate) + 1);
        for (std::vector<int32_t>& b : buckets) b.clear();
    }
    bool settledAt(int32_t i, int32_t steps) const {
        const GoalDistance& c = cells[static_cast<size_t>(i)];
        return c.stamp == stamp && c.settled && c.steps == steps;
    }
};

SearchState state;

// The step rules of simpleBFS on a whole grid with the built-in neighbours.
struct StepRules {
    const Grid& grid;
    Tile movementClass;
    bool heightRule;
    int unitId;
    V2i goal;

    // A whole grid has 4 by 4 sub-tiles per tile.
    const TileInstance& tileOf(V2i sub) const {
        return grid.tiles[static_cast<size_t>(sub.y >> 2) * MAP_W + static_cast<size_t>(sub.x >> 2)];
    }
    bool onGrid(V2i sub) const { return sub.x >= 0 && sub.y >= 0 && sub.x < SUB_MAP_W && sub.y < SUB_MAP_H; }
    bool enterable(V2i sub) const { return canEnter(tileOf(sub), movementClass); }
    bool free(V2i sub) const {
        const int holder = reservedTiles[static_cast<size_t>(sub.y) * SUB_MAP_W + sub.x];
        return holder == FREE_SUB_TILE || holder == unitId;
    }
    bool heightsAllow(V2i a, V2i b) const {
        if (!heightRule) return true;
        const TileInstance& ta = tileOf(a);
        const TileInstance& tb = tileOf(b);
        return &ta == &tb || ta.heightLevel == tb.heightLevel || ta.ramp != 0 || tb.ramp != 0;
    }
    // The step from a to b that a breadth-first walk may take.
    bool mayStep(V2i a, V2i b) const {
        return onGrid(b) && enterable(b) && heightsAllow(a, b) && (b == goal || free(b));
    }
};

bool builtInNeighbours() { return Neighbors == nullptr || Neighbors == neighbors8; }

bool wholeGrid(const Grid& grid) {
    return MAP_W > 0 && MAP_H > 0 && SUB_MAP_W == MAP_W * 4 && SUB_MAP_H == MAP_H * 4 &&
           grid.tiles.size() >= static_cast<size_t>(MAP_W) * MAP_H &&
           reservedTiles.size() >= static_cast<size_t>(SUB_MAP_W) * SUB_MAP_H;
}

int32_t chebyshev(V2i a, V2i b) { return std::max(std::abs(a.x - b.x), std::abs(a.y - b.y)); }

// Sub-tiles a flood from the start looks at before it leaves the answer to the search from the goal.
constexpr size_t START_POCKET_CELLS = 64;

// True when the walks from the start run out, within the limit, without meeting the goal: a unit hemmed in by
// the crowd. The search from the goal would flood the goal's side instead, however small the start's pocket.
bool hemmedIn(const StepRules& rules, V2i start, int32_t limit) {
    const int32_t width = SUB_MAP_W;
    state.fifo.clear();
    state.fifo.push_back({start.y * width + start.x, 0});
    state.pocket[static_cast<size_t>(state.fifo.front().first)] = state.stamp;
    for (size_t head = 0; head < state.fifo.size(); ++head) {
        if (state.fifo.size() > START_POCKET_CELLS) return false;
        const auto [i, steps] = state.fifo[head];
        if (steps + 1 > limit) continue;
        const V2i at{i % width, i / width};
        for (const V2i& d : DIRECTIONS) {
            const V2i next{at.x + d.x, at.y + d.y};
            if (!rules.mayStep(at, next)) continue;
            if (next == rules.goal) return false;
            const int32_t n = next.y * width + next.x;
            if (state.pocket[static_cast<size_t>(n)] == state.stamp) continue;
            state.pocket[static_cast<size_t>(n)] = state.stamp;
            state.fifo.push_back({n, steps + 1});
        }
    }
    return true;
}

// Steps to the goal, exact for every sub-tile whose steps plus distance to the start is at most the answer,
// searched from the goal with the distance to the start as the estimate (consistent: a step changes it by at
// most one). The start is an end, never a way through. Answers the start's steps, or -1 past the limit.
int32_t stepsFromStart(const StepRules& rules, V2i start, int32_t limit) {
    const int32_t width = SUB_MAP_W;
    const auto place = [width](V2i s) { return s.y * width + s.x; };
    const int32_t goalIndex = place(rules.goal);
    state.cells[static_cast<size_t>(goalIndex)] = {state.stamp, 0, false};
    state.buckets[static_cast<size_t>(chebyshev(rules.goal, start))].push_back(goalIndex);
    int32_t found = -1;
    for (int32_t f = 0; f <= limit && (found == -1 || f <= found); ++f) {
        std::vector<int32_t>& bucket = state.buckets[static_cast<size_t>(f)];
        for (size_t k = 0; k < bucket.size(); ++k) {
            const int32_t i = bucket[k];
            GoalDistance& cell = state.cells[static_cast<size_t>(i)];
            if (cell.settled) continue;
            cell.settled = true;
            const V2i at{i % width, i / width};
            if (at == start) {
                found = cell.steps;
                continue;
            }
            const int32_t steps = cell.steps + 1;
            for (const V2i& d : DIRECTIONS) {
                const V2i from{at.x - d.x, at.y - d.y};
                if (!rules.onGrid(from) || from == rules.goal) continue;
                if (!(from == start || (rules.enterable(from) && rules.free(from)))) continue;
                if (!rules.heightsAllow(from, at)) continue;
                const int32_t n = place(from);
                GoalDistance& next = state.cells[static_cast<size_t>(n)];
                if (next.stamp == state.stamp && next.steps <= steps) continue;
                const int32_t estimate = steps + chebyshev(from, start);
                if (estimate > limit) continue;
                next = {state.stamp, steps, false};
                state.buckets[static_cast<size_t>(estimate)].push_back(n);
            }
        }
    }
    return found;
}

}  // namespace

std::optional<SubTilePath> boundedBreadthFirstPath(const Grid& grid, V2i start, V2i goal, Tile movementClass,
                                                   int unitId, int maxDepth) {
    if (maxDepth <= 0 || !wholeGrid(grid) || !builtInNeighbours())
        return simpleBFS(grid, start, goal, movementClass, unitId, maxDepth);
    if (!isValidSubTile(start)) return std::nullopt;
    if (start == goal) return SubTilePath{start};
    if (!isValidSubTile(goal) || chebyshev(start, goal) >= maxDepth) return std::nullopt;
    const StepRules rules{grid, movementClass, movementClass != Tile::Any, unitId, goal};
    if (!rules.enterable(goal)) return std::nullopt;
    if (cannotReach(grid, start, goal, movementClass, rules.heightRule, false)) return std::nullopt;
    const int32_t limit = maxDepth - 1;
    state.begin(static_cast<size_t>(SUB_MAP_W) * SUB_MAP_H, limit);
    if (hemmedIn(rules, start, limit)) return std::nullopt;
    const int32_t length = stepsFromStart(rules, start, limit);
    if (length < 0) return std::nullopt;
    SubTilePath path{start};
    V2i at = start;
    for (int32_t left = length - 1; left >= 0; --left) {
        for (const V2i& d : DIRECTIONS) {
            const V2i next{at.x + d.x, at.y + d.y};
            if (next == start || !rules.mayStep(at, next)) continue;
            if (!state.settledAt(next.y * SUB_MAP_W + next.x, left)) continue;
            at = next;
            break;
        }
        path.push_back(at);
    }
    return path;
}
