// Units: the A* path searches (to a sub-tile, over bare terrain, to the nearest of goals) and the world's searches.
#include "units.h"
#include "units_paths_search.h"
#include "units_regions.h"

#include <algorithm>
#include <vector>

using namespace pathsearch;

namespace {

// The world's searches: every search the units ask for runs here, on what the last one left.
PathSearch search;

// The goals' bounding box: a sub-tile outside it is no goal, without a look through the list.
struct GoalBox {
    V2i low;
    V2i high;
};

GoalBox boxAround(const std::vector<V2i>& goals) {
    GoalBox box{goals.front(), goals.front()};
    for (const V2i& g : goals) {
        box.low = {std::min(box.low.x, g.x), std::min(box.low.y, g.y)};
        box.high = {std::max(box.high.x, g.x), std::max(box.high.y, g.y)};
    }
    return box;
}

bool inBox(const GoalBox& box, V2i p) {
    return p.x >= box.low.x && p.x <= box.high.x && p.y >= box.low.y && p.y <= box.high.y;
}

}  // namespace

long long pathNodesExpanded = 0;

std::optional<SubTilePath> astar(const Grid& grid, V2i start, V2i goal, Tile movementClass, int unitId,
                                 int maxDepth) {
    return search.astar(grid, start, goal, movementClass, unitId, maxDepth);
}

std::optional<SubTilePath> astarPure(const Grid& grid, V2i start, V2i goal, Tile movementClass) {
    return search.astarPure(grid, start, goal, movementClass);
}

std::optional<SubTilePath> astarMultiGoal(const Grid& grid, V2i start, const std::vector<V2i>& goals,
                                          Tile movementClass) {
    return search.astarMultiGoal(grid, start, goals, movementClass);
}

std::optional<SubTilePath> astarToReachSquare(const Grid& grid, V2i start, const ReachSquare& goals,
                                              Tile movementClass) {
    return search.astarToReachSquare(grid, start, goals, movementClass);
}

size_t keptReachSquarePaths() { return search.keptReachSquarePaths(); }

void forgetReachSquarePaths() { search.forgetReachSquarePaths(); }

std::optional<SubTilePath> simpleBFS(const Grid& grid, V2i start, V2i goal, Tile movementClass, int unitId,
                                     int maxDepth) {
    return search.simpleBFS(grid, start, goal, movementClass, unitId, maxDepth);
}

V2i findClosestFreeTile(Grid& grid, const V2i& target, const V2i& origin, Tile movementClass, int unitId) {
    return search.findClosestFreeTile(grid, target, origin, movementClass, unitId);
}

std::optional<SubTilePath> PathSearch::astar(const Grid& grid, V2i start, V2i goal, Tile movementClass, int unitId,
                                             int maxDepth) {
    // A depth-limited search answers with its partial path even when the goal is out of reach.
    if (maxDepth == 0 && refusedAtOnce(grid, start, goal, movementClass)) return std::nullopt;
    const StepRules rules(tileSteps, grid, movementClass, movementClass != Tile::Any, true);
    if (maxDepth == 0 && sealedOff(grid, rules, start, goal, unitId)) return std::nullopt;
    const auto mayEnter = [goalIndex = indexOnGrid(goal), reservations = Reservations(), unitId](V2i, int ni) {
        return ni == goalIndex || reservations.freeFor(ni, unitId);
    };
    return searchTowards(unitOpenList, rules, start, goal, [&](V2i p) { return p == goal; }, mayEnter, maxDepth);
}

std::optional<SubTilePath> PathSearch::astarPure(const Grid& grid, V2i start, V2i goal, Tile movementClass) {
    const StepRules rules(tileSteps, grid, movementClass, false, true);
    return searchTowards(plainOpenList, rules, start, goal, [&](V2i p) { return p == goal; }, anyStep, 0);
}

std::optional<SubTilePath> PathSearch::astarMultiGoal(const Grid& grid, V2i start, const std::vector<V2i>& goals,
                                                      Tile movementClass) {
    if (goals.empty() || cannotReachAny(grid, start, goals, movementClass, true, false)) return std::nullopt;
    const GoalBox box = boxAround(goals);
    // Bounded by the map's own sub-grid, whatever its size; height borders hold for every class.
    const StepRules rules(tileSteps, grid, movementClass, true, false);
    const auto isGoal = [&](V2i p) {
        return inBox(box, p) && std::find(goals.begin(), goals.end(), p) != goals.end();
    };
    return searchTowards(plainOpenList, rules, start, goals.front(), isGoal, anyStep, 0);
}
