// Units: the order queue, the unit step and the tick over all units.
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

static void startOrder(int unitId, const MoveCommand& move, Grid& grid) {
    Unit* unit = getUnitById(unitId);
    if (!unit || MAP_W <= 0 || MAP_H <= 0) return;
    // The caster walks to the middle of the tile from which its queued spell reaches, heedless of enemies.
    const V2i tile{std::clamp(move.x, 0, MAP_W - 1), std::clamp(move.y, 0, MAP_H - 1)};
    const V2i goal{tile.x * SUBDIVISIONS + SUBDIVISIONS / 2, tile.y * SUBDIVISIONS + SUBDIVISIONS / 2};
    if (walkToTile(*unit, goal, grid)) unit->state = UnitState::OrderedMove;
}

static void startOrder(int unitId, const MineCommand& mine, Grid& grid) {
    Unit* unit = getUnitById(unitId);
    if (!unit) return;
    unit->mineTarget = {mine.targetX, mine.targetY};
    MapObject* object = getMapObjectById(mine.mapObjectId);
    Player* owner = getPlayerById(unit->playerId);
    if (object && owner) startMining(*unit, *object, *owner, grid);
}

static void startOrder(int, const AttackCommand&, Grid&) {}

static void startOrder(int unitId, const AttackMove& move, Grid& grid) {
    Unit* unit = getUnitById(unitId);
    if (!unit) return;
    unit->state = UnitState::AttackMoving;
    freeTileForUnit(unitId, unit->type, worldToSubTile(unit->x, unit->y));
    moveUnitUnclump(unitId, {move.x, move.y}, grid);
    unit->isAttacking = false;
    unit->targetId = -1;
    unit->scanCounter = 0;
}

static void startOrder(int unitId, const CastSpellCommand& cast, Grid&) {
    Unit* unit = getUnitById(unitId);
    const auto found = spellInfo.find(cast.spell);
    if (!unit || found == spellInfo.end() || TILE_SIZE <= 0) return;
    const SpellInfo& info = found->second;
    const V2i targetTile{cast.targetX / TILE_SIZE, cast.targetY / TILE_SIZE};
    const float d = distance(targetTile, worldToTile(unit->x, unit->y));
    if (d > static_cast<float>(info.range) && info.targetType != TargetType::Self) return;
    if (unit->cooldowns[cast.spell] > 0.0f) return;
    const float cooldown = info.cooldown;
    const EffectFunction effect = info.effect;
    // A refused cast (no mana, target gone) costs nothing, its cool-down included, as an at-once cast does.
    if (!effect || !effect(SpellContext{cast.unitId, cast.targetId,
                                        V2f{static_cast<float>(cast.targetX), static_cast<float>(cast.targetY)}}))
        return;
    // A summoning effect adds units, which moves every unit: find the caster again.
    if (Unit* caster = getUnitById(unitId)) caster->cooldowns[cast.spell] = cooldown;
}

void updateUnitQueueAction(Unit& unitAtStart, Grid& grid) {
    const int id = unitAtStart.id;
    Unit* unit = &unitAtStart;
    // Only a started order may add units, and so move the unit: it is looked up again only then.
    if (!unitAtStart.orderRunning && !unitAtStart.orders.empty()) {
        const UnitOrder order = unitAtStart.orders.front().command;
        std::visit([id, &grid](const auto& o) { startOrder(id, o, grid); }, order);
        unit = getUnitById(id);
        if (unit) unit->orderRunning = true;
    }
    if (!unit || !unit->orderRunning || unit->state != UnitState::Idle) return;
    if (!unit->orders.empty()) unit->orders.pop_front();
    unit->orderRunning = false;
}

// ---- The unit step: pick-up, target handling, the swing and its hit ----

static bool hasStepAway(const Unit& unit) { return !unit.waypoints.empty(); }

// Moves the unit's footprint reservation to the sub-tile.
static void holdSubTile(Unit& unit, V2i sub) {
    // A unit striking from where it stands holds that ground already, tick after tick.
    if (holdsFootprintAt(unit.id, unit.type, sub)) {
        unit.occupiedSubTile = sub;
        return;
    }
    // The reservation releases the cells held before, reusing their list.
    reserveTilesForUnit(unit.id, unit.type, sub);
    unit.occupiedSubTile = sub;
}

static void forgetRoute(Unit& unit) {
    unit.routeChunked = false;
    unit.route.clear();
    unit.routeDestination = {-1, -1};
}

static StepResult pickUpStep(Unit& unit) {
    if (!unit.pickUpPending || unit.pickUpItemId == -1) return StepResult::Continue;
    const std::optional<SDL_FPoint> at =
        unitHooks.itemOnMap ? unitHooks.itemOnMap(unit.pickUpItemId) : std::optional<SDL_FPoint>();
    if (!at) {
        unit.pickUpPending = false;
        unit.pickUpItemId = -1;
        return StepResult::EndTick;
    }
    const float reach = static_cast<float>(TILE_SIZE) * 0.7f;
    const float dx = at->x - unit.x;
    const float dy = at->y - unit.y;
    if (dx * dx + dy * dy >= reach * reach) return StepResult::Continue;
    const std::string type = unitHooks.takeItem ? unitHooks.takeItem(unit.id, unit.pickUpItemId) : std::string();
    unit.pickUpPending = false;
    unit.pickUpItemId = -1;
    // A corpse slows its bearer, but never to a standstill: it must still carry the dead home.
    if (type == "Corpse" && unit.speedPerTick > 1) unit.speedPerTick /= 2;
    SDL_Log("Unit %d picked up item!", unit.id);
    return StepResult::Continue;
}

static void countTicks(Unit& unit, Grid& grid) {
    unit.scanCounter += 1;
    if (unit.state == UnitState::AttackMoving || (unit.state != UnitState::OrderedMove && !unit.mining))
        autoAttack(unit, grid);
    if (unit.attackCounter < unit.attackInterval) unit.attackCounter += 1;
    if (unit.attackAnimating) unit.attackAnimTicks += 1;
}

// A unit within reach stops walking and holds the sub-tile it stands on.
static void haltToStrike(Unit& unit) {
    unit.waypoints.clear();
    forgetRoute(unit);
    holdSubTile(unit, worldToSubTile(unit.x, unit.y));
}

// Sprite metadata of the type; a type without art swings on the defaults.
static const UnitSpriteMeta& spriteMetaOf(const std::string& type) {
    static const UnitSpriteMeta defaults;
    const auto found = unitSprites.find(type);
    return found == unitSprites.end() ? defaults : found->second;
}

static void shoot(const Unit& unit, SDL_FPoint targetPos, int targetId) {
    const float dx = targetPos.x - unit.x;
    const float dy = targetPos.y - unit.y;
    const float length = std::sqrt(dx * dx + dy * dy);
    const SDL_FPoint dir = length < 0.0001f ? SDL_FPoint{0.0f, 0.0f} : SDL_FPoint{dx / length, dy / length};
    const UnitInfo* info = getUnitInfo(unit.type);
    launchProjectile(info ? info->projectile : std::string(),
                     {unit.x - GAME_SPEED * dir.x, unit.y - GAME_SPEED * dir.y}, dir,
                     static_cast<float>(TILE_SIZE) * GAME_SPEED, unit.id, targetId);
}

struct AttackSound {
    std::string_view type;
    const char* action;
    bool positional;
    int limit;
};

// The sound of each hit by attacker type; other types strike silently.
static constexpr AttackSound ATTACK_SOUNDS[] = {
    {"Catapult", "CatapultFire", true, 1}, {"TrollDestroyer", "ShipAttack", true, 1},
    {"DeathKnight", "TouchOfDarkness", true, 1}, {"Peon", "Sword", true, 1},
    {"Grunt", "Sword", true, 1}, {"TrollAxeThrower", "Axe", true, 1},
    {"Marine", "Shoot", false, 2}, {"FighterJet", "Laser", true, 2},
    {"Berserker", "Saber", true, 2}, {"Tank", "TankFire", false, 2},
};

static void playAttackSound(const Unit& unit) {
    for (const AttackSound& s : ATTACK_SOUNDS) {
        if (!isOfType(unit, s.type)) continue;
        playSound(SoundCategory::UnitAction, s.action, s.positional, unit.x, unit.y, s.limit);
        return;
    }
}

// The hit of a swing: a projectile from a ranged unit, else the blow itself with its splash and freezing slow.
static void strike(Unit& unit, Attackable& target, SDL_FPoint targetPos, Grid& grid) {
    if (unit.attackType == AttackType::Ranged && unit.range > 1.0f) {
        shoot(unit, targetPos, target.id);
    } else {
        applyDirectHit(unit, &target, grid);
        if (target.isUnit() && unit.freezingBullets) scaleMovementSpeed(static_cast<Unit&>(target), 0.5f);
    }
    playAttackSound(unit);
}

// Pursues or strikes the target; ends the tick unless the unit still has to walk.
static StepResult targetStep(Unit& unit, Grid& grid) {
    if (!unit.canAttack || unit.isChanneling) return StepResult::EndTick;
    Attackable* target = getAttackableById(unit.targetId);
    if (!target) {
        unit.isAttacking = false;
        unit.targetId = -1;
        if (!isHoldingPosition(unit) && unit.state != UnitState::OrderedMove) unit.state = UnitState::Idle;
        return StepResult::EndTick;
    }
    if (!isAttackableInRangeTile(unit, target)) {
        if (!hasStepAway(unit) && !isHoldingPosition(unit)) attackEnemy(&unit, grid, unit.targetId);
        return StepResult::Continue;
    }
    haltToStrike(unit);
    const SDL_FPoint targetPos = target->getWorldPos();
    if (unit.attackCounter >= unit.attackInterval) {
        unit.attackCounter = 0;
        unit.isAttacking = true;
        unit.attackAnimating = true;
    }
    const int hitTick = spriteMetaOf(unit.type).projectileSpawnTick;
    if (hitTick > 0 && hitTick == unit.attackCounter) strike(unit, *target, targetPos, grid);
    return StepResult::EndTick;
}

// ---- The unit step: boarding, route chunks, walking, blocking and arrival ----

// The unit stands on the ring the carrier's surrounding sub-tiles draw, or inside it.
static bool besideCarrier(const Unit& unit, const Unit& carrier) {
    if (carrier.nearbyTiles.empty()) return false;
    const V2i s = worldToSubTile(unit.x, unit.y);
    V2i low = carrier.nearbyTiles.front();
    V2i high = low;
    for (const V2i& t : carrier.nearbyTiles) {
        low = {std::min(low.x, t.x), std::min(low.y, t.y)};
        high = {std::max(high.x, t.x), std::max(high.y, t.y)};
    }
    return s.x >= low.x && s.x <= high.x && s.y >= low.y && s.y <= high.y;
}

static StepResult boardingStep(Unit& unit, Grid& grid) {
    if (unit.waitTicks + 1 < BOARD_WAIT_TICKS) {
        unit.waitTicks += 1;
        return StepResult::Continue;
    }
    unit.waitTicks = 0;
    Unit* carrier = getUnitById(unit.boardCarrierId);
    if (!carrier) {
        unit.boardCarrierId = -1;
        return StepResult::EndTick;
    }
    carrier->computeNearbyTiles();
    if (besideCarrier(unit, *carrier)) {
        addUnitToZeppelin(unit);
        unit.boardCarrierId = -1;
        // Aboard, the unit walks nowhere and holds no ground.
        unit.waypoints.clear();
        return StepResult::EndTick;
    }
    walkToTile(unit, worldToSubTile(carrier->x, carrier->y), grid);
    return StepResult::Continue;
}

static bool replaceWaypoints(Unit& unit, const std::optional<SubTilePath>& path) {
    if (!path || path->empty()) return false;
    setUnitPath(unit, *path);
    return true;
}

// The next stretch of a long walk, planned when its current chunk is nearly walked.
static void planNextChunk(Unit& unit, Grid& grid) {
    const V2i s = worldToSubTile(unit.x, unit.y);
    if (manhattan(s, unit.routeDestination) <= 20) {
        unit.routeChunked = false;
        const V2i t = findClosestFreeTile(grid, unit.routeDestination, s, unit.walkable, unit.id);
        replaceWaypoints(unit, astar(grid, s, t, unit.walkable, unit.id, 30));
        return;
    }
    const size_t n = unit.route.size();
    size_t nearest = 0;
    int64_t best = 1000000000;
    for (size_t i = 0; i < n; ++i) {
        const int64_t d = manhattan(unit.route[i], s);
        if (d < best) {
            best = d;
            nearest = i;
        }
    }
    const V2i goal = n == 0 || nearest + 5 >= n ? unit.routeDestination : unit.route[std::min(nearest + 10, n - 1)];
    if (replaceWaypoints(unit, astar(grid, s, goal, unit.walkable, unit.id, 30))) {
        unit.routeChunked = true;
    } else {
        unit.routeChunked = false;
        unit.state = UnitState::Idle;
    }
}

static void arrive(Unit& unit) {
    if (!isHoldingPosition(unit)) unit.state = UnitState::Idle;
    if (unitHooks.unitArriveScript) unitHooks.unitArriveScript(unit.id);
}

// The free sub-tile within two of s, on the map and on ground the unit may enter, nearest (Manhattan) to e.
static std::optional<V2i> sideStepFor(const Unit& unit, const Grid& grid, V2i s, V2i e) {
    std::optional<V2i> chosen;
    float best = 99999.0f;
    for (int dx = -2; dx <= 2; ++dx) {
        for (int dy = -2; dy <= 2; ++dy) {
            if (dx == 0 && dy == 0) continue;
            const V2i c{s.x + dx, s.y + dy};
            const V2i tile = tileOfSubTile(c);
            if (!isValidSubTile(c) || isTileReserved(c) != FREE_SUB_TILE) continue;
            if (!grid.walkable(tile.x, tile.y, unit.walkable)) continue;
            const float score = static_cast<float>(manhattan(c, e));
            if (score < best) {
                best = score;
                chosen = c;
            }
        }
    }
    return chosen;
}

// The third side-step in a row gives way to a breadth-first walk round the obstacle, or ends the walk.
static void divert(Unit& unit, Grid& grid, V2i s, V2i e) {
    unit.nudgeCount = 0;
    const V2i t = findClosestFreeTile(grid, e, s, unit.walkable, unit.id);
    if (replaceWaypoints(unit, simpleBFS(grid, s, t, unit.walkable, unit.id, 50))) {
        unit.goal = t;
        return;
    }
    unit.waypoints.clear();
    unit.state = UnitState::Idle;
    forgetRoute(unit);
}

static StepResult waitForBlockedWay(Unit& unit, Grid& grid, V2i s) {
    const V2i e = worldToSubTile(unit.waypoints.back().x, unit.waypoints.back().y);
    // A builder that stopped short would leave its paid site stalled for good, so it works its way round instead.
    if (manhattan(s, e) <= 5 && !unit.constructing) {
        unit.waypoints.clear();
        unit.state = UnitState::Idle;
        return StepResult::EndTick;
    }
    unit.waitTicks += 1;
    if (unit.waitTicks < BLOCK_WAIT_TICKS) return StepResult::EndTick;
    unit.nudgeCount += 1;
    unit.waitTicks = 0;
    if (unit.nudgeCount > 2) {
        divert(unit, grid, s, e);
        return StepResult::EndTick;
    }
    if (const std::optional<V2i> step = sideStepFor(unit, grid, s, e))
        unit.waypoints.push_front(subTileWaypoint(*step));
    return StepResult::EndTick;
}

// The unit takes the sub-tile of its next waypoint, or waits while another unit holds it.
static StepResult enterNextSubTile(Unit& unit, Grid& grid, bool checkBlocking) {
    const V2i s = worldToSubTile(unit.x, unit.y);
    const V2i n = worldToSubTile(unit.waypoints.front().x, unit.waypoints.front().y);
    if (n == unit.occupiedSubTile) return StepResult::Continue;
    const int holder = isTileReserved(n);
    const bool blocked = holder != unit.id && holder > 0 && checkBlocking && !unit.mining && n != s;
    if (blocked) return waitForBlockedWay(unit, grid, s);
    holdSubTile(unit, n);
    unit.waitTicks = 0;
    return StepResult::Continue;
}

// Ground that became impassable ends the walk where the unit stands, instead of a retry every tick.
static void abandonWalk(Unit& unit) {
    unit.state = UnitState::Idle;
    unit.waypoints.clear();
    forgetRoute(unit);
    holdSubTile(unit, worldToSubTile(unit.x, unit.y));
}

static void moveTowardWaypoint(Unit& unit, const Grid& grid) {
    const float maxX = static_cast<float>(int64_t{MAP_W} * TILE_SIZE) - 0.01f;
    const float maxY = static_cast<float>(int64_t{MAP_H} * TILE_SIZE) - 0.01f;
    const SDL_FPoint p{std::clamp(unit.waypoints.front().x, 0.0f, std::max(maxX, 0.0f)),
                       std::clamp(unit.waypoints.front().y, 0.0f, std::max(maxY, 0.0f))};
    const V2i tile = worldToTile(p.x, p.y);
    // A side-step can carry a unit across the corner of ground it may not enter; a path out starts on the
    // sub-tile it stands on, and refusing that would strand it there for good.
    const bool standsThere = worldToSubTile(p.x, p.y) == worldToSubTile(unit.x, unit.y);
    if (!grid.walkable(tile.x, tile.y, unit.walkable) && !standsThere) {
        abandonWalk(unit);
        return;
    }
    const float dx = p.x - unit.x;
    const float dy = p.y - unit.y;
    const float length = std::sqrt(dx * dx + dy * dy);
    const float step = static_cast<float>(unit.speedPerTick);
    if (length < WAYPOINT_EPS || length <= step) {
        unit.x = p.x;
        unit.y = p.y;
        unit.waypoints.pop_front();
        return;
    }
    const float nx = unit.x + dx / length * step;
    const float ny = unit.y + dy / length * step;
    if (nx < 0.0f || ny < 0.0f || nx > maxX || ny > maxY) {
        unit.state = UnitState::Idle;
        unit.x = std::clamp(nx, 0.0f, std::max(maxX, 0.0f));
        unit.y = std::clamp(ny, 0.0f, std::max(maxY, 0.0f));
        unit.waypoints.clear();
        return;
    }
    unit.x = nx;
    unit.y = ny;
}

static void walkStep(Unit& unit, Grid& grid, bool checkBlocking) {
    if (unit.boardCarrierId != -1 && boardingStep(unit, grid) == StepResult::EndTick) return;
    if (miningSpotStep(unit, grid) == StepResult::EndTick) return;
    if (unit.routeChunked && unit.waypoints.size() <= 4) planNextChunk(unit, grid);
    if (unit.waypoints.empty()) {
        if (!unit.isAttacking) arrive(unit);
        return;
    }
    if (enterNextSubTile(unit, grid, checkBlocking) == StepResult::EndTick) return;
    moveTowardWaypoint(unit, grid);
}

void updateUnit(Unit& unit, float, Grid& grid, bool checkBlocking) {
    if (!unit.onMap) return;
    if (unit.hp < 1.0f) {
        unitsToRemove.push_back(unit.id);
        return;
    }
    if (unit.walkingToTraining && unit.waypoints.empty()) unit.walkingToTraining = false;
    if (pickUpStep(unit) == StepResult::EndTick) return;
    if (unit.mining && unit.waypoints.empty() && harvestStep(unit, grid) == StepResult::EndTick) return;
    countTicks(unit, grid);
    if (unit.targetId != -1 && targetStep(unit, grid) == StepResult::EndTick) return;
    walkStep(unit, grid, checkBlocking);
}

// ---- The tick over all units ----

// Where the unit looks: its next waypoint, the tile it channels at, or the target it swings at.
static std::optional<SDL_FPoint> facingPoint(Unit& unit) {
    if (!unit.waypoints.empty()) return unit.waypoints.front();
    const float size = static_cast<float>(TILE_SIZE);
    if (!unit.isAttacking && unit.isChanneling && !unit.attackAnimating)
        return SDL_FPoint{static_cast<float>(unit.goal.x) * size, static_cast<float>(unit.goal.y) * size};
    if (!unit.isAttacking && !unit.attackAnimating) return std::nullopt;
    if (const Attackable* target = getAttackableById(unit.targetId)) {
        unit.lastTargetPos = target->getWorldPos();
        return unit.lastTargetPos;
    }
    if (unit.attackAnimating) return unit.lastTargetPos;
    return std::nullopt;
}

static void turnTowardGoal(Unit& unit) {
    const std::optional<SDL_FPoint> p = facingPoint(unit);
    if (!p) return;
    const float dx = p->x - unit.x;
    const float dy = p->y - unit.y;
    if (dx == 0.0f && dy == 0.0f) return;
    unit.direction = computeDirection({dx - dy, (dx + dy) * 0.5f}, unit.flip);
}

// A unit of the registry held across calls that may add units: adding moves every unit in memory only when the
// registry grows its storage, so the unit is looked up by id again only then.
class HeldUnit {
public:
    // place: where the unit stood in the registry when the tick began, tried before the look-up by id.
    HeldUnit(int id, size_t place) : id(id) {
        hold(place < units.size() && units[place].id == id ? &units[place] : getUnitById(id));
    }
    Unit* get() {
        if (units.data() != storage || units.size() < count || (unit && unit->id != id)) hold(getUnitById(id));
        return unit;
    }

private:
    void hold(Unit* found) {
        unit = found;
        storage = units.data();
        count = units.size();
    }
    int id;
    Unit* unit = nullptr;
    const Unit* storage = nullptr;
    size_t count = 0;
};

// One unit's turn of the tick. Its queued order or behaviour may add units, so the unit is held by id.
static void updateUnitTurn(int id, size_t place, float dt, Grid& grid) {
    HeldUnit held(id, place);
    if (Unit* unit = held.get()) updateUnitQueueAction(*unit, grid);
    if (Unit* unit = held.get()) updateUnitAI(*unit, dt, grid);
    if (Unit* unit = held.get()) updateUnit(*unit, dt, grid, true);
    if (Unit* unit = held.get(); unit && isOfType(*unit, "LatchedMine")) updateLatchedMine(*unit, grid);
    Unit* unit = held.get();
    if (!unit) return;
    updateCooldowns(*unit, dt);
    turnTowardGoal(*unit);
    followUnitMove(*unit);
}

void updateUnits(float dt, Grid& grid) {
    std::vector<int> ids;
    ids.reserve(units.size());
    const TargetIndexPass targetIndex([&ids](Unit& unit) {
        unit.prevX = unit.x;
        unit.prevY = unit.y;
        ids.push_back(unit.id);
    });
    // Units are added with rising ids, so the registry is nearly always in order already: each id's place is then
    // its index, and no pairs need building.
    if (std::is_sorted(ids.begin(), ids.end())) {
        for (size_t place = 0; place < ids.size(); ++place) updateUnitTurn(ids[place], place, dt, grid);
        return;
    }
    std::vector<std::pair<int, size_t>> turns;  // id, place in the registry
    turns.reserve(ids.size());
    for (size_t place = 0; place < ids.size(); ++place) turns.push_back({ids[place], place});
    std::sort(turns.begin(), turns.end());
    for (const auto& [id, place] : turns) updateUnitTurn(id, place, dt, grid);
}
