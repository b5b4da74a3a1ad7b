// Units: what the path search files share: search marks, reservations, and the searches with their working state.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "map.h"
#include "units.h"
#include "units_paths_open.h"
#include "units_paths_reach.h"
#include "units_paths_steps.h"

namespace pathsearch {

// Per-sub-tile state of the running search, kept from one search to the next so that a search allocates
// nothing the size of the map: a cell belongs to the running search only when its mark holds the generation.
// Eight bytes, so that the cells around a search share few cache lines.
struct SearchCell {
    uint32_t mark = 0;     // the generation, plus 1 once expanded with the step count it holds now
    uint32_t reached = 0;  // the step count (below 2^28, more than any sub-grid's cells) << STEP_BITS | the step
};

struct SearchMarks {
    std::vector<SearchCell> cells;
    std::vector<int32_t> farFrom;  // the origin of each cell reached by a FAR_STEP
    uint32_t generation = 0;       // even
    int width = 0;
    int offsets[8] = {};  // from a cell's index to its neighbours', in DIRECTIONS order

    void begin() {
        size_t count = static_cast<size_t>(std::max(SUB_MAP_W, 0)) * static_cast<size_t>(std::max(SUB_MAP_H, 0));
        width = SUB_MAP_W;
        for (int k = 0; k < 8; ++k) offsets[k] = DIRECTIONS[k].y * width + DIRECTIONS[k].x;
        if (cells.size() != count) {
            cells.assign(count, SearchCell{});
            generation = 0;
        }
        generation += 2;
        if (generation == 0) {
            for (SearchCell& c : cells) c.mark = 0;
            generation = 2;
        }
    }
    int index(V2i sub) const { return sub.y * width + sub.x; }
    V2i subTile(int index) const { return {index % width, index / width}; }
    bool seen(int index) const { return (cells[index].mark & ~1u) == generation; }
    int gScore(int index) const { return static_cast<int>(cells[index].reached >> STEP_BITS); }
    // A step count lowered clears the expansion: the cell is worth expanding again.
    void reach(int index, int from, uint32_t step, int g) {
        cells[index] = {generation, static_cast<uint32_t>(g) << STEP_BITS | step};
        if (step != FAR_STEP) return;
        if (farFrom.size() != cells.size()) farFrom.resize(cells.size());
        farFrom[static_cast<size_t>(index)] = from;
    }
    // Where a search starts, or a cell that only needs to be seen.
    void reach(int index) { cells[index] = {generation, NO_STEP}; }
    // The A* searches keep no closed set, so a cell comes out once per entry; expanding it again with the step
    // count it was expanded with before improves nothing, since the rules of a search do not change during it.
    bool expandsAnew(int index) {
        SearchCell& c = cells[index];
        if (c.mark & 1) return false;
        c.mark |= 1;
        return true;
    }
    bool expanded(int index) const { return (cells[index].mark & 1) != 0; }
    uint32_t stepInto(int index) const { return cells[index].reached & ((1u << STEP_BITS) - 1); }
    // The path from where the search started to the cell.
    SubTilePath pathTo(int end) {
        backwards.clear();
        V2i at = subTile(end);
        for (int i = end;;) {
            backwards.push_back(at);
            const uint32_t step = stepInto(i);
            if (step == NO_STEP) break;
            if (step == FAR_STEP) {
                i = farFrom[static_cast<size_t>(i)];
                at = subTile(i);
            } else {
                i -= offsets[step];
                at = {at.x - DIRECTIONS[step].x, at.y - DIRECTIONS[step].y};
            }
        }
        return SubTilePath(backwards.rbegin(), backwards.rend());
    }

private:
    SubTilePath backwards;  // reused
};

inline bool isFreeFor(V2i sub, int unitId) {
    int holder = isSubTileReserved(sub);
    return holder == FREE_SUB_TILE || holder == unitId;
}

// isFreeFor by a sub-tile's index, read through a copy of the array's bounds that the searches' own stores
// cannot change, so that it is not read again after each of them.
struct Reservations {
    const int32_t* holders = reservedTiles.data();
    size_t count = reservedTiles.size();
    bool freeFor(int index, int unitId) const {
        const int holder = static_cast<size_t>(index) < count ? holders[index] : OFF_GRID_SUB_TILE;
        return holder == FREE_SUB_TILE || holder == unitId;
    }
};

// A sub-tile's index, or -1 off the sub-grid, where no step lands.
inline int indexOnGrid(V2i sub) { return isValidSubTile(sub) ? sub.y * SUB_MAP_W + sub.x : -1; }

// The path searches, each defined in the file of its job, and the working state and answers they keep from one
// search to the next, which only they reach. The searches named in units.h ask the world's one, kept beside the
// A* searches.
class PathSearch {
public:
    std::optional<SubTilePath> astar(const Grid& grid, V2i start, V2i goal, Tile movementClass, int unitId,
                                     int maxDepth);
    std::optional<SubTilePath> astarPure(const Grid& grid, V2i start, V2i goal, Tile movementClass);
    std::optional<SubTilePath> astarMultiGoal(const Grid& grid, V2i start, const std::vector<V2i>& goals,
                                              Tile movementClass);
    std::optional<SubTilePath> astarToReachSquare(const Grid& grid, V2i start, const ReachSquare& goals,
                                                  Tile movementClass);
    std::optional<SubTilePath> simpleBFS(const Grid& grid, V2i start, V2i goal, Tile movementClass, int unitId,
                                         int maxDepth);
    V2i findClosestFreeTile(Grid& grid, const V2i& target, const V2i& origin, Tile movementClass, int unitId);
    size_t keptReachSquarePaths() const;
    void forgetReachSquarePaths();

private:
    // Starts a search at start; false when the start is off the sub-grid.
    bool beginSearch(V2i start) {
        if (!isValidSubTile(start)) return false;
        marks.begin();
        marks.reach(marks.index(start));
        return true;
    }

    // A relaxation of the A* family: false when n already has a step count no greater than g.
    bool improves(int n, int g) const { return !marks.seen(n) || marks.gScore(n) > g; }

    // The A* loop the searches share: estimates aim at one sub-tile, a popped sub-tile that isGoal accepts ends
    // the search, mayEnter filters the steps, and with maxDepth set a node that deep answers with its partial path.
    // Inlined by force: left apart, as the compiler leaves it for some searches, it costs them about 2%.
    template <typename OpenList, typename IsGoal, typename MayEnter>
    inline __attribute__((always_inline)) std::optional<SubTilePath> searchTowards(
        OpenList& open, const StepRules& rules, V2i start, V2i aim, IsGoal isGoal, MayEnter mayEnter, int maxDepth);

    // True when the walks from `from` onto free ground, at most `limit` steps long, run out within POCKET_CELLS
    // sub-tiles without meeting `to`; false once they meet it or the pocket grows past that size.
    bool pocketRunsOut(const StepRules& rules, V2i from, V2i to, int unitId, int limit);

    // True when goal lies in a small pocket that start cannot enter: the sub-tiles from which a unit could step
    // on towards goal, followed back from it, run out without meeting start. Steps between sub-tiles the unit may
    // enter are the same both ways, so a walk from start would have met this pocket's edge from outside; without
    // the built-in neighbours, or from ground the unit may not enter, nothing is claimed.
    bool sealedOff(const Grid& grid, const StepRules& rules, V2i start, V2i goal, int unitId);

    int32_t stepsFromStart(const StepRules& rules, V2i start, V2i goal, int unitId, int32_t limit);
    std::optional<SubTilePath> boundedPathFromGoalSide(const StepRules& rules, V2i start, V2i goal, int unitId,
                                                       int maxDepth);

    SearchMarks marks;
    std::vector<std::pair<V2i, int>> fifo;  // breadth-first queue of (sub-tile, depth)
    Frontier<true, laterByEstimateThenPlace> unitOpenList;
    Frontier<false, laterByEstimate> plainOpenList;
    KeptTileSteps tileSteps;
    std::vector<std::vector<int32_t>> goalSideBuckets;  // the divert's open sub-tiles by steps + distance to the start
    std::vector<uint32_t> workedTiles;                  // the tiles whose steps a reach-square search works out
    ReachAnswers reachAnswers;                          // the reach-square searches' answers, for units asking again
};

template <typename OpenList, typename IsGoal, typename MayEnter>
std::optional<SubTilePath> PathSearch::searchTowards(OpenList& open, const StepRules& rules, V2i start, V2i aim,
                                                     IsGoal isGoal, MayEnter mayEnter, int maxDepth) {
    if (!beginSearch(start)) return std::nullopt;
    // A step moves at most one sub-tile along each axis, so with the built-in steps no f falls below this.
    open.start(aim, std::max(std::abs(int64_t{aim.x} - start.x), std::abs(int64_t{aim.y} - start.y)));
    open.push({manhattan(start, aim), 0, start.x, start.y});
    while (!open.empty()) {
        OpenEntry entry = open.pop();
        V2i cur{entry.x, entry.y};
        int c = marks.index(cur);
        if (isGoal(cur)) return marks.pathTo(c);
        if (maxDepth != 0 && entry.g >= maxDepth) return marks.pathTo(c);
        if (!marks.expandsAnew(c)) continue;
        ++pathNodesExpanded;
        int g = marks.gScore(c) + 1;
        // Inlined by force: a call per step costs more than the step.
        rules.forEachStep(cur, [&](V2i n, int ni, uint32_t step) __attribute__((always_inline)) {
            if (!improves(ni, g)) return;
            if (!mayEnter(n, ni)) return;
            marks.reach(ni, c, step, g);
            open.push({g + manhattan(n, aim), g, n.x, n.y});
        });
    }
    return std::nullopt;
}

inline bool anyStep(V2i, int) { return true; }

}  // namespace pathsearch
