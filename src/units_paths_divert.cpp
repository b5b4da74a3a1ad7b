// Units: the divert search: the breadth-first walk round a blocked way and the closest free sub-tile it ends on.
#include "units.h"
#include "units_helpers.h"
#include "units_paths_search.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace pathsearch;

namespace {

// ---- The bounded breadth-first path, found from the goal's side ----
// Among the shortest paths, breadth-first order returns the one whose steps, read as indices into DIRECTIONS,
// are least in dictionary order. So the steps to the goal of the sub-tiles near the shortest paths are enough to
// walk it from the start, and a search from the goal aimed at the start finds them without flooding the whole
// depth. Only for the built-in neighbours on a whole grid (rules.tiles), where a step's rule is known both ways.

int32_t chebyshev(V2i a, V2i b) { return std::max(std::abs(a.x - b.x), std::abs(a.y - b.y)); }

// Whether a walk may take step k from a sub-tile with the ground's steps `out` onto `to`, the step's own rule of
// the breadth-first search.
bool mayStepOnto(const SearchMarks& marks, const Reservations& reservations, uint8_t out, int k, V2i to, V2i goal,
                 int unitId) {
    return (out >> k & 1) && (to == goal || reservations.freeFor(marks.index(to), unitId));
}

// The direction opposite to direction k.
int opposite(int k) { return (k + 4) & 7; }

}  // namespace

// Steps to the goal, exact for every sub-tile whose steps plus distance to the start is at most the answer,
// searched from the goal with the distance to the start as the estimate (consistent: a step changes it by at
// most one); a sub-tile is settled when its expansion mark is set. The start is an end, never a way through.
// Answers the start's steps, or -1 past the limit.
int32_t PathSearch::stepsFromStart(const StepRules& rules, V2i start, V2i goal, int unitId, int32_t limit) {
    const Reservations reservations;
    marks.begin();
    goalSideBuckets.resize(static_cast<size_t>(limit) + 1);
    for (std::vector<int32_t>& b : goalSideBuckets) b.clear();
    marks.reach(marks.index(goal), -1, NO_STEP, 0);
    goalSideBuckets[static_cast<size_t>(chebyshev(goal, start))].push_back(marks.index(goal));
    int32_t found = -1;
    for (int32_t f = 0; f <= limit && (found == -1 || f <= found); ++f) {
        std::vector<int32_t>& bucket = goalSideBuckets[static_cast<size_t>(f)];
        for (size_t k = 0; k < bucket.size(); ++k) {
            const int32_t i = bucket[k];
            if (!marks.expandsAnew(i)) continue;
            const V2i at = marks.subTile(i);
            if (at == start) {
                found = marks.gScore(i);
                continue;
            }
            const int32_t steps = marks.gScore(i) + 1;
            // Steps are the same both ways between sub-tiles a walk may enter: the way in from a neighbour is
            // the way out to it.
            const uint8_t out = rules.stepsFrom(at);
            for (int k = 0; k < 8; ++k) {
                const V2i from{at.x - DIRECTIONS[k].x, at.y - DIRECTIONS[k].y};
                if (from == goal || !isValidSubTile(from)) continue;
                const bool allowed = from == start ? !rules.heightRule || heightBorderAllows(rules.grid, from, at)
                                                   : mayStepOnto(marks, reservations, out, opposite(k), from, goal,
                                                                 unitId);
                if (!allowed) continue;
                const int32_t n = marks.index(from);
                if (marks.seen(n) && marks.gScore(n) <= steps) continue;
                const int32_t estimate = steps + chebyshev(from, start);
                if (estimate > limit) continue;
                marks.reach(n, -1, NO_STEP, steps);
                goalSideBuckets[static_cast<size_t>(estimate)].push_back(n);
            }
        }
    }
    return found;
}

// The path a breadth-first search capped at maxDepth (above 0) finds from start to goal, both on the grid and
// apart, once the cheap refusals have passed.
std::optional<SubTilePath> PathSearch::boundedPathFromGoalSide(const StepRules& rules, V2i start, V2i goal,
                                                               int unitId, int maxDepth) {
    if (!isValidSubTile(goal) || !canEnter(rules.grid.at(goal.x >> 2, goal.y >> 2), rules.movementClass))
        return std::nullopt;
    const int32_t limit = maxDepth - 1;
    // A unit hemmed in by the crowd: the search from the goal would flood the goal's side instead.
    if (pocketRunsOut(rules, start, goal, unitId, limit)) return std::nullopt;
    const int32_t length = stepsFromStart(rules, start, goal, unitId, limit);
    if (length < 0) return std::nullopt;
    const Reservations reservations;
    SubTilePath path{start};
    V2i at = start;
    for (int32_t left = length - 1; left >= 0; --left) {
        const uint8_t out = rules.stepsFrom(at);
        for (int k = 0; k < 8; ++k) {
            const V2i next{at.x + DIRECTIONS[k].x, at.y + DIRECTIONS[k].y};
            if (next == start || !mayStepOnto(marks, reservations, out, k, next, goal, unitId)) continue;
            const int32_t n = marks.index(next);
            if (!marks.seen(n) || !marks.expanded(n) || marks.gScore(n) != left) continue;
            at = next;
            break;
        }
        path.push_back(at);
    }
    return path;
}

std::optional<SubTilePath> PathSearch::simpleBFS(const Grid& grid, V2i start, V2i goal, Tile movementClass,
                                                 int unitId, int maxDepth) {
    // Each step moves at most one sub-tile along each axis, so a goal that many steps away is out of reach.
    const int64_t steps = std::max(std::abs(int64_t{goal.x} - start.x), std::abs(int64_t{goal.y} - start.y));
    if (maxDepth > 0 && steps >= maxDepth) return std::nullopt;
    if (refusedAtOnce(grid, start, goal, movementClass)) return std::nullopt;
    const StepRules rules(tileSteps, grid, movementClass, movementClass != Tile::Any, true);
    if (sealedOff(grid, rules, start, goal, unitId)) return std::nullopt;
    if (!beginSearch(start)) return std::nullopt;
    if (start == goal) return SubTilePath{start};
    if (maxDepth > 0 && rules.tiles) return boundedPathFromGoalSide(rules, start, goal, unitId, maxDepth);
    // The goal's way back is fixed when it is first reached: the answer is known then, and no sub-tile as deep
    // as the cap is ever expanded.
    const int goalIndex = indexOnGrid(goal);
    const int depthCap = maxDepth > 0 ? maxDepth : INT_MAX;
    const Reservations reservations;
    fifo.clear();
    fifo.push_back({start, 0});
    bool metGoal = false;
    int goalDepth = 0;
    for (size_t head = 0; head < fifo.size() && !metGoal; ++head) {
        const auto [cur, depth] = fifo[head];
        const int c = marks.index(cur);
        rules.forEachStep(cur, [&, c = c, depth = depth](V2i n, int ni, uint32_t step) {
            if (metGoal || marks.seen(ni)) return;
            if (ni != goalIndex && !reservations.freeFor(ni, unitId)) return;
            marks.reach(ni, c, step, depth + 1);
            if (ni == goalIndex) {
                metGoal = true;
                goalDepth = depth + 1;
            } else if (depth + 1 < depthCap) {
                fifo.push_back({n, depth + 1});
            }
        });
    }
    if (!metGoal || goalDepth >= depthCap) return std::nullopt;
    return marks.pathTo(goalIndex);
}

// N, E, S, W first, then NE, SE, SW, NW.
static const V2i FREE_TILE_ORDER[8] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0}, {1, -1}, {1, 1}, {-1, 1}, {-1, -1}};

// A class other than Any searches only tiles of its own terrain type.
static bool onOwnTerrain(const Grid& grid, V2i sub, Tile movementClass) {
    if (movementClass == Tile::Any) return true;
    V2i tile = tileOfSubTile(sub);
    return grid.at(tile.x, tile.y).type == movementClass;
}

// Free for the unit and on a tile it may enter, so a walk can end there.
static bool mayStandOn(const Grid& grid, V2i sub, Tile movementClass, int unitId) {
    V2i tile = tileOfSubTile(sub);
    return grid.walkable(tile.x, tile.y, movementClass) && isFreeFor(sub, unitId);
}

V2i PathSearch::findClosestFreeTile(Grid& grid, const V2i& target, const V2i& origin, Tile movementClass,
                                    int unitId) {
    if (!isValidSubTile(target)) return origin;
    marks.begin();
    fifo.clear();
    marks.reach(marks.index(target));
    fifo.push_back({target, 0});
    for (size_t head = 0; head < fifo.size(); ++head) {
        V2i cur = fifo[head].first;
        for (const V2i& d : FREE_TILE_ORDER) {
            V2i n{cur.x + d.x, cur.y + d.y};
            if (!isValidSubTile(n) || !onOwnTerrain(grid, n, movementClass)) continue;
            int ni = marks.index(n);
            if (marks.seen(ni)) continue;
            marks.reach(ni);
            if (n == origin) continue;
            // The search spreads under buildings and objects but never ends there: no walk could.
            if (mayStandOn(grid, n, movementClass, unitId)) return n;
            fifo.push_back({n, 0});
        }
    }
    for (const V2i& d : FREE_TILE_ORDER) {
        V2i n{origin.x + d.x, origin.y + d.y};
        if (isValidSubTile(n) && mayStandOn(grid, n, movementClass, unitId)) return n;
    }
    return origin;
}
