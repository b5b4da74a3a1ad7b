// Units: target acquisition and attack orders.
#include "units.h"
#include "units_helpers.h"
#include "units_target_index.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>

#include "buildings.h"
#include "config.h"
#include "construction-manager.h"
#include "extraction.h"
#include "game_state.h"
#include "map_objects.h"
#include "player.h"
#include "projectiles.h"
#include "races.h"
#include "sounds.h"
#include "special_effects.h"
#include "spells.h"
#include "sprites.h"
#include "tech_tree.h"
#include "textures.h"
#include "upgrades.h"

// Whether the unit's type can hit a unit of the category (its catalogue's target mask).
static bool canHitCategory(const Unit& unit, UnitCategory category) {
    const UnitInfo* info = getUnitInfo(unit.type);
    return info && ((info->attackTargets >> static_cast<int>(category)) & 1) != 0;
}

// The scan's verdict on the current target: false when the unit may not go on scanning this time.
static bool reviewCurrentTarget(Unit& unit) {
    // A unit without a target has nothing to review; only a target that has gone returns it to Idle.
    if (unit.targetId == -1) return true;
    Attackable* target = getAttackableById(unit.targetId);
    if (!target) {
        unit.isAttacking = false;
        unit.targetId = -1;
        if (!isHoldingPosition(unit)) unit.state = UnitState::Idle;
        return true;
    }
    if (!target->isUnit() || canHitCategory(unit, static_cast<const Unit&>(*target).category)) return true;
    unit.isAttacking = false;
    unit.targetId = -1;
    unit.state = UnitState::Idle;
    return false;
}

namespace {

// The best candidate of one scan: squared sub-tile distance, ties to the lower id; nothing beyond sight.
struct TargetScan {
    V2i from;
    int64_t best;
    int bestId = -1;
    V2i bestSub{0, 0};

    bool qualifies(int64_t d, int id) const { return d < best || (d == best && id < bestId); }
    void take(int64_t d, int id, V2i sub) {
        best = d;
        bestId = id;
        bestSub = sub;
    }
    int64_t distanceTo(V2i sub) const {
        const int64_t dx = int64_t{sub.x} - from.x;
        const int64_t dy = int64_t{sub.y} - from.y;
        return dx * dx + dy * dy;
    }
};

// The player's unit ids in ascending order, sorted again only when its list has changed since.
SortedUnitIds& sortedUnitIds(const Player& player) {
    SortedUnitIds& ids = player.scanOrder;
    if (ids.source != player.unitIds) {
        ids.source = player.unitIds;
        ids.sorted = player.unitIds;
        std::sort(ids.sorted.begin(), ids.sorted.end());
        ids.places.assign(ids.sorted.size(), SIZE_MAX);
    }
    return ids;
}

}  // namespace

// The unit with the id, looked for first at the place it had in the registry last time.
static const Unit* unitAt(int id, size_t& place) {
    if (place < units.size() && units[place].id == id) return &units[place];
    const Unit* found = id == -1 ? nullptr : getUnitById(id);
    if (found) place = static_cast<size_t>(found - units.data());
    return found;
}

namespace {

// The workers pass and the any-unit pass in one sweep: the second counts only when the first chose nothing,
// and both start from the same scan, so each keeps its own. Each pass keeps the nearest candidate, ties to the
// lower id, so the order in which candidates come does not change what is chosen.
struct UnitPasses {
    TargetScan workers;
    TargetScan any;

    // The farthest a candidate may lie and still change the choice: a worker, or a unit that is not one. Once a
    // worker is chosen, by this scan or by an earlier player's, the any-unit pass no longer counts.
    int64_t reachOfWorkers() const { return workers.best; }
    int64_t reachOfOthers() const { return workers.bestId == -1 ? any.best : -1; }

    // The distance is tested first: most candidates fail it, and it reads only the candidate's position.
    void consider(const Unit& unit, const Unit& candidate, const Grid& grid) {
        const V2i sub = worldToSubTile(candidate.x, candidate.y);
        const int64_t d = any.distanceTo(sub);
        const int id = candidate.id;
        if (!workers.qualifies(d, id) && !any.qualifies(d, id)) return;
        if (!candidate.onMap || candidate.untargetable) return;
        const bool forWorkers = candidate.worker && workers.qualifies(d, id);
        const bool forAny = any.qualifies(d, id);
        if (!forWorkers && !forAny) return;
        if (unit.attackType == AttackType::Melee &&
            !hasLineOfSight({unit.x, unit.y}, {candidate.x, candidate.y}, grid))
            return;
        if (forWorkers) workers.take(d, id, sub);
        if (forAny) any.take(d, id, sub);
    }
    TargetScan result() const { return workers.bestId != -1 ? workers : any; }
};

// The largest r with r * r <= n.
int64_t squareRootDown(int64_t n) {
    int64_t r = static_cast<int64_t>(std::sqrt(static_cast<double>(n)));
    while (r > 0 && r * r > n) --r;
    while ((r + 1) * (r + 1) <= n) ++r;
    return r;
}

// The gap from a sub-tile coordinate to the span of areas [lo, lo + span) along the same axis.
int64_t gapToSpan(int64_t p, int64_t lo) {
    const int64_t hi = lo + TARGET_AREA_SPAN - 1;
    return p < lo ? lo - p : (p > hi ? p - hi : 0);
}

// The squared distance from a sub-tile to the nearest sub-tile of an area.
int64_t distanceToArea(V2i from, int ax, int ay) {
    const int64_t dx = gapToSpan(from.x, int64_t{ax} * TARGET_AREA_SPAN);
    const int64_t dy = gapToSpan(from.y, int64_t{ay} * TARGET_AREA_SPAN);
    return dx * dx + dy * dy;
}

// Calls f with every area from first to last (flat indices) that holds an entry.
template <class F>
void forEachHeld(const TargetAreas& areas, size_t first, size_t last, F&& f) {
    for (size_t w = first / 64; w <= last / 64; ++w) {
        uint64_t bits = areas.occupied[w];
        if (w == first / 64) bits &= ~uint64_t{0} << (first % 64);
        if (w == last / 64) bits &= ~uint64_t{0} >> (63 - last % 64);
        for (; bits != 0; bits &= bits - 1) f(w * 64 + static_cast<size_t>(__builtin_ctzll(bits)));
    }
}

// Both passes keep the nearest candidate, so the order of the areas does not change the choice. Rows of areas
// are visited outward from the scanner's, so the passes soon narrow; in a row only the occupied areas within
// reach are looked at, an area holding no worker only while the any-unit pass still counts. The rows end when
// none further out can matter. (Rings of areas read fewer candidates but cost more than they save.)
void sweepAreas(const Unit& unit, const TargetAreas& areas, UnitPasses& passes, const Grid& grid) {
    const V2i from = passes.any.from;
    const int hy = std::clamp(from.y / TARGET_AREA_SPAN, 0, areas.rows - 1);
    // Workers in the areas not yet looked at; an area too far for either pass is not looked at, so this may
    // overstate them, which costs only rows that are not needed.
    int workersAhead = areas.workers;
    const auto visit = [&](int ax, int ay) {
        const int64_t d = distanceToArea(from, ax, ay);
        if (d > passes.reachOfWorkers()) return;
        const size_t at = areas.indexOf(ax, ay);
        if (workersAhead > 0) {
            const int32_t workers = areas.workersIn[at];
            workersAhead -= workers;
            if (workers == 0 && d > passes.reachOfOthers()) return;
        } else if (d > passes.reachOfOthers()) {
            return;
        }
        for (const IndexedUnit& entry : areas.areas[at]) {
            size_t place = entry.place;
            if (const Unit* candidate = unitAt(entry.id, place)) passes.consider(unit, *candidate, grid);
        }
    };
    // The occupied areas of a row within reach.
    const auto sweepRow = [&](int ay) {
        const int64_t dy = gapToSpan(from.y, int64_t{ay} * TARGET_AREA_SPAN);
        const int64_t reach = passes.reachOfWorkers();
        if (dy * dy > reach) return;
        const int64_t r = squareRootDown(reach - dy * dy);
        const int64_t x0 = std::max<int64_t>(from.x - r, 0) / TARGET_AREA_SPAN;
        const int64_t x1 = std::min<int64_t>((from.x + r) / TARGET_AREA_SPAN, areas.columns - 1);
        if (x0 > x1) return;
        const size_t row = areas.indexOf(0, ay);
        forEachHeld(areas, row + static_cast<size_t>(x0), row + static_cast<size_t>(x1),
                    [&](size_t at) { visit(static_cast<int>(at - row), ay); });
    };
    const int steps = std::max(hy, areas.rows - 1 - hy);
    for (int k = 0; k <= steps; ++k) {
        // A row k rows away lies at least (k - 1) spans and one sub-tile away.
        const int64_t gap = k == 0 ? 0 : int64_t{k - 1} * TARGET_AREA_SPAN + 1;
        const int64_t nearest = gap * gap;
        if (nearest > passes.reachOfOthers() && (workersAhead == 0 || nearest > passes.reachOfWorkers())) return;
        if (hy - k >= 0) sweepRow(hy - k);
        if (k > 0 && hy + k < areas.rows) sweepRow(hy + k);
    }
}

void sweepList(const Unit& unit, SortedUnitIds& ids, UnitPasses& passes, const Grid& grid) {
    for (size_t i = 0; i < ids.sorted.size(); ++i)
        if (const Unit* candidate = unitAt(ids.sorted[i], ids.places[i])) passes.consider(unit, *candidate, grid);
}

}  // namespace

// During the units' tick only the areas within reach are visited; elsewhere the whole list is swept.
static void scanUnits(const Unit& unit, const Player& enemy, TargetScan& scan, const Grid& grid) {
    UnitPasses passes{scan, scan};
    if (const TargetAreas* areas = targetAreasOf(enemy))
        sweepAreas(unit, *areas, passes, grid);
    else
        sweepList(unit, sortedUnitIds(enemy), passes, grid);
    scan = passes.result();
}

static void scanBuildings(const Unit& unit, const Player& enemy, TargetScan& scan, Grid& grid) {
    std::vector<int> ids = enemy.buildingIds;
    std::sort(ids.begin(), ids.end());
    for (int id : ids) {
        const Building* building = getBuildingById(id);
        if (!building) continue;
        const V2i beside = findClosestTileAdjacentToBuildingFromUnit(*building, unit, grid);
        const int64_t d = scan.distanceTo(beside);
        if (scan.qualifies(d, id)) scan.take(d, id, beside);
    }
}

// Workers first, then any unit, then buildings; a later pass runs only while nothing has been chosen.
static void scanPlayer(const Unit& unit, const Player& enemy, TargetScan& scan, Grid& grid) {
    if (enemy.unitIds.empty()) {
        if (scan.bestId == -1) scanBuildings(unit, enemy, scan, grid);
        return;
    }
    scanUnits(unit, enemy, scan, grid);
    if (scan.bestId != -1) return;
    scanBuildings(unit, enemy, scan, grid);
}

// Out of line: every unit asks every tick, and most are told at once that no scan is due.
__attribute__((noinline)) static void scanForTarget(Unit& unit, Grid& grid) {
    unit.scanCounter = 0;
    if (!reviewCurrentTarget(unit)) return;

    const int64_t reach = int64_t{unit.sight} * SUBDIVISIONS;
    TargetScan scan{worldToSubTile(unit.x, unit.y), reach * reach};
    std::vector<const Player*> enemies;
    for (const auto& p : players)
        if (p && p->id != unit.playerId) enemies.push_back(p.get());
    std::sort(enemies.begin(), enemies.end(), [](const Player* a, const Player* b) { return a->id < b->id; });
    for (const Player* enemy : enemies) scanPlayer(unit, *enemy, scan, grid);
    if (scan.bestId == -1) return;

    unit.targetId = scan.bestId;
    unit.isAttacking = true;
    unit.goal = scan.bestSub;
    if (isHoldingPosition(unit)) return;
    unit.state = UnitState::Attacking;
    attackEnemy(&unit, grid, scan.bestId);
}

void autoAttack(Unit& unit, Grid& grid) {
    if (unit.state == UnitState::OrderedMove || !unit.canAttack || unit.isChanneling) return;
    if (unit.scanCounter < unit.scanInterval) return;
    scanForTarget(unit, grid);
}

bool attackEnemy(Unit* unit, Grid& grid, int targetId) {
    Attackable* target = unit ? getAttackableById(targetId) : nullptr;
    if (!target) return false;
    unit->targetId = targetId;
    unit->state = UnitState::Attacking;
    const V2i start = worldToSubTile(unit->x, unit->y);
    std::optional<SubTilePath> path;
    if (target->isUnit()) {
        // The square round a unit is tested by geometry; no list of its sub-tiles is built.
        const Unit& victim = static_cast<const Unit&>(*target);
        const ReachSquare square{worldToSubTile(victim.x, victim.y), reachInSubTiles(unit->range)};
        path = astarToReachSquare(grid, start, square, unit->walkable);
    } else {
        target->computeNearbyTiles(unit->range);
        if (target->nearbyTiles.empty()) return false;
        path = astarMultiGoal(grid, start, target->nearbyTiles, unit->walkable);
    }
    if (!path) return false;
    setUnitPath(*unit, *path);
    return true;
}
