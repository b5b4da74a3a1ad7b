// Units: the pocket look: a start or goal shut in a small pocket is seen without a full search.
#include "units_paths_search.h"

#include <climits>
#include <cstddef>

namespace pathsearch {

// Cells a pocket search looks at before it gives up and leaves the answer to the full search.
constexpr size_t POCKET_CELLS = 64;

bool PathSearch::pocketRunsOut(const StepRules& rules, V2i from, V2i to, int unitId, int limit) {
    marks.begin();
    fifo.clear();
    marks.reach(marks.index(from));
    fifo.push_back({from, 0});
    const Reservations reservations;
    bool met = false;
    for (size_t head = 0; head < fifo.size() && !met; ++head) {
        if (fifo.size() > POCKET_CELLS) return false;
        const auto [at, depth] = fifo[head];
        if (depth >= limit) continue;
        rules.forEachStep(at, [&, depth = depth](V2i n, int ni, uint32_t) {
            if (met || marks.seen(ni)) return;
            if (n == to) met = true;
            if (!reservations.freeFor(ni, unitId)) return;
            marks.reach(ni);
            fifo.push_back({n, depth + 1});
        });
    }
    return !met;
}

bool PathSearch::sealedOff(const Grid& grid, const StepRules& rules, V2i start, V2i goal, int unitId) {
    if (!rules.tiles || start == goal || !isValidSubTile(start) || !isValidSubTile(goal)) return false;
    if (!canEnter(grid.at(start.x >> 2, start.y >> 2), rules.movementClass)) return false;
    if (!canEnter(grid.at(goal.x >> 2, goal.y >> 2), rules.movementClass)) return false;
    return pocketRunsOut(rules, goal, start, unitId, INT_MAX);
}

}  // namespace pathsearch
