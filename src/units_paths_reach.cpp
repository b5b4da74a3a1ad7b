// Units: the search into a unit's reach square, and the answers kept for a unit that asks again.
#include "units.h"
#include "units_paths_search.h"
#include "units_regions.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

using namespace pathsearch;

namespace pathsearch {

// ---- Repeated reach-square searches ----
// A unit held up near its path's end gives up and asks again, a few ticks later, for the same square from the same
// sub-tile. Such a search is terrain-only, and it reads the ground only through the step masks of the tiles it
// expands from (StepRules::stepsLeaving): while each of those tiles still has the mask it had, every expansion
// offers the same steps in the same order, so the search pushes and pops the same entries, works out the same
// tiles and ends on the same path. A found path also means the region check cannot refuse: it refuses only on
// labels brought up to date, and the path joins the start's tile to a goal's under the same steps. So an answer
// is reused only after every mask it was found with is worked out again from the tiles and found equal.

bool ReachQuery::operator==(const ReachQuery& o) const {
    return start == o.start && centre == o.centre && reach == o.reach && movementClass == o.movementClass &&
           mapW == o.mapW && mapH == o.mapH && subMapW == o.subMapW && subMapH == o.subMapH && grid == o.grid;
}

uint64_t ReachQuery::hash() const {
    uint64_t h = 0;
    const int64_t fields[] = {start.x, start.y, centre.x, centre.y, reach, static_cast<int64_t>(movementClass),
                              mapW, mapH};
    for (int64_t f : fields) h = (h ^ static_cast<uint64_t>(f)) * 0x9E3779B97F4A7C15ull;
    // The products' low bits depend on the fields' low bits only: the high ones are folded down.
    h ^= h >> 32;
    h *= 0xD6E8FEB86659FD93ull;
    return h ^ h >> 32;
}

constexpr size_t MAX_KEPT_TILES = 128;
static_assert((REACH_SQUARE_SLOTS & (REACH_SQUARE_SLOTS - 1)) == 0, "slots are picked by the hash's low bits");

KeptReach& ReachAnswers::slotOf(const ReachQuery& query) {
    if (slots.empty()) slots.resize(REACH_SQUARE_SLOTS);
    return slots[query.hash() & (REACH_SQUARE_SLOTS - 1)];
}

bool ReachAnswers::holds(const KeptReach& slot, const ReachQuery& query) const {
    return slot.generation == generation && slot.query == query;
}

void ReachAnswers::keep(KeptReach& slot, const ReachQuery& query, const SubTilePath& path,
                        const std::vector<uint32_t>& tiles, const TileSteps* known) {
    if (path.size() > REACH_SQUARE_KEPT_STEPS || tiles.size() > MAX_KEPT_TILES) return;
    slot.generation = generation;
    slot.query = query;
    slot.path = path;
    slot.worked.resize(tiles.size());
    for (size_t i = 0; i < tiles.size(); ++i) slot.worked[i] = {tiles[i], known[tiles[i]].mask};
}

void ReachAnswers::forgetAll() {
    if (++generation != 0) return;
    for (KeptReach& slot : slots) slot.generation = 0;
    generation = 1;
}

size_t ReachAnswers::kept() const {
    return static_cast<size_t>(
        std::count_if(slots.begin(), slots.end(), [&](const KeptReach& s) { return s.generation == generation; }));
}

}  // namespace pathsearch

namespace {

// True when every tile the answer was found over still offers the steps it offered then.
bool groundAsKept(const StepRules& rules, const KeptReach& slot) {
    const size_t width = static_cast<size_t>(rules.mapWidth);
    for (const WorkedTile& t : slot.worked) {
        const int tx = static_cast<int>(t.index % width);
        const int ty = static_cast<int>(t.index / width);
        if (rules.stepsLeaving(t.index, tx, ty) != t.steps) return false;
    }
    return true;
}

}  // namespace

size_t PathSearch::keptReachSquarePaths() const { return reachAnswers.kept(); }

void PathSearch::forgetReachSquarePaths() { reachAnswers.forgetAll(); }

std::optional<SubTilePath> PathSearch::astarToReachSquare(const Grid& grid, V2i start, const ReachSquare& goals,
                                                          Tile movementClass) {
    if (goals.reach < 1) return std::nullopt;
    // A unit already in reach pops its own sub-tile first: no search, nothing worth keeping.
    if (goals.contains(start)) return isValidSubTile(start) ? std::optional<SubTilePath>{{start}} : std::nullopt;
    StepRules rules(tileSteps, grid, movementClass, true, false);
    // Only the direct reading of a whole grid works out masks; the slow one reads the tiles otherwise.
    const ReachQuery query{start, goals.centre, goals.reach, movementClass, MAP_W, MAP_H, SUB_MAP_W, SUB_MAP_H, &grid};
    KeptReach* slot = rules.tiles ? &reachAnswers.slotOf(query) : nullptr;
    if (slot && reachAnswers.holds(*slot, query) && groundAsKept(rules, *slot)) return slot->path;
    if (cannotReachSquare(grid, start, goals, movementClass, true, false)) return std::nullopt;
    const V2i first{goals.centre.x - goals.reach, goals.centre.y - goals.reach};
    workedTiles.clear();
    rules.worked = slot ? &workedTiles : nullptr;
    auto path = searchTowards(
        plainOpenList, rules, start, first, [&](V2i p) { return goals.contains(p); }, anyStep, 0);
    if (slot && path) reachAnswers.keep(*slot, query, *path, workedTiles, rules.known);
    return path;
}
