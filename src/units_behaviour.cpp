// Units: the behaviour hook, idle wandering and latched mines.
#include "units.h"

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

static float ticksPerGameSecond() { return 1.0f / TURN_LENGTH / GAME_SPEED; }

int attackIntervalFor(float attackSpeed) { return truncToInt(std::round(ticksPerGameSecond() / attackSpeed)); }

int speedPerTickFor(float movementSpeed) { return truncToInt(movementSpeed * UNIT_SPEED / ticksPerGameSecond()); }

bool ordersFromThisPeer(int playerId) {
    if (mode == GameMode::Replay || mode == GameMode::ResumedSave) return false;
    if (playerId == Player::myStaticId) return true;
    const Player* owner = getPlayerById(playerId);
    return owner && owner->ai;
}

static constexpr int WANDER_ATTEMPTS = 5;

// One attempt's point, two to four tiles away on each axis; its four draws are made whatever comes of it.
static V2i wanderPoint(const Unit& unit) {
    const int r1 = std::rand();
    const int r2 = std::rand();
    const int r3 = std::rand();
    const int r4 = std::rand();
    const int dx = ((r1 % 2) * 2 - 1) * (r3 % 3 + 2) * TILE_SIZE;
    const int dy = ((r2 % 2) * 2 - 1) * (r4 % 3 + 2) * TILE_SIZE;
    return {truncToInt(unit.x) + dx, truncToInt(unit.y) + dy};
}

// On the map, on an open tile (any tile for the class Any) and where the unit's footprint is free. A point just
// left of or above the map is refused too: its division would truncate onto the first column or row.
static bool isWanderGoal(const Unit& unit, V2i point, const Grid& grid) {
    if (point.x < 0 || point.y < 0 || TILE_SIZE <= 0 || SUB_TILE_SIZE <= 0) return false;
    const V2i tile{point.x / TILE_SIZE, point.y / TILE_SIZE};
    if (!isValidTile(tile)) return false;
    if (!grid.at(tile.x, tile.y).walkable && unit.walkable != Tile::Any) return false;
    if (!unitInfo.count(unit.type)) return false;
    return isAreaFree(unit.id, worldToSubTile(static_cast<float>(point.x), static_cast<float>(point.y)), unit.type);
}

// Every 4 to 8 seconds, with a chance of 31 in 100, a walk to the first of five drawn points that will do.
static void wanderAround(Unit& unit, float dt, Grid& grid) {
    unit.wanderTimer += dt;
    if (unit.wanderDelay <= 0.0f) unit.wanderDelay = static_cast<float>((std::rand() % 400) / 100.0 + 4.0);
    if (unit.wanderTimer < unit.wanderDelay) return;
    unit.wanderTimer = 0.0f;
    unit.wanderDelay = 0.0f;
    if (std::rand() % 100 >= 31) return;
    for (int attempt = 0; attempt < WANDER_ATTEMPTS; ++attempt) {
        const V2i point = wanderPoint(unit);
        if (!isWanderGoal(unit, point, grid)) continue;
        walkToTile(unit, {point.x / SUB_TILE_SIZE, point.y / SUB_TILE_SIZE}, grid);
        return;
    }
}

// In an elimination mission the other side's soldiers roam while they have nothing to fight; civilians stay put.
static bool roamsInElimination(const Unit& unit) {
    if (mode != GameMode::Extraction || !eliminationMissionChosen()) return false;
    if (unit.playerId == Player::myStaticId || unit.targetId != -1) return false;
    const auto info = unitInfo.find(unit.type);
    return info != unitInfo.end() && !info->second.civilian;
}

static const std::string TELEPORT_SPELL = "AbyssalTeleport";

// The cast goes out with this peer's next turn and is tested for range and cooldown when applied.
static void askToTeleport(Unit& unit) {
    if (unit.state == UnitState::Teleporting || unit.teleportLocked) return;
    if (unit.cooldowns[TELEPORT_SPELL] > 0.0f) return;
    const Unit* target = getUnitById(unit.targetId);
    if (!target || !target->onMap) return;
    const float dx = target->x - unit.x;
    const float dy = target->y - unit.y;
    const float distance = std::sqrt(dx * dx + dy * dy);
    if (!(distance > 64.0f && distance <= 5.0f * static_cast<float>(TILE_SIZE))) return;
    if (!ordersFromThisPeer(unit.playerId)) return;
    CastSpellCommand cast{unit.id, target->id, truncToInt(target->x), truncToInt(target->y), TELEPORT_SPELL, false};
    lockstep.collectCommand(Command{CommandType::CastSpell, unit.playerId, cast});
}

void updateUnitAI(Unit& unit, float dt, Grid& grid) {
    if (isOfType(unit, "Bird")) {
        wanderAround(unit, dt, grid);
        return;
    }
    if (roamsInElimination(unit)) wanderAround(unit, dt, grid);
    if (isOfType(unit, "Abyssal")) askToTeleport(unit);
}

static constexpr float LATCHED_MOVEMENT_SPEED = 1.5f;
static constexpr float LATCHED_ATTACK_SPEED = 0.1f;

static V2i mineCentre(const Unit& mine) { return {truncToInt(mine.x), truncToInt(mine.y)}; }

static int mineReach(const Unit& mine) { return truncToInt(static_cast<float>(TILE_SIZE) * mine.range); }

// Fast and on a long fuse, the mine goes after its victim; the fuse runs on from where it stands.
static void latchOnto(Unit& mine, const Unit& victim) {
    mine.targetId = victim.id;
    mine.goal = {truncToInt(victim.x) / SUB_TILE_SIZE, truncToInt(victim.y) / SUB_TILE_SIZE};
    mine.movementSpeed = LATCHED_MOVEMENT_SPEED;
    mine.attackSpeed = LATCHED_ATTACK_SPEED;
    mine.attackInterval = attackIntervalFor(LATCHED_ATTACK_SPEED);
    mine.speedPerTick = speedPerTickFor(LATCHED_MOVEMENT_SPEED);
    latchToUnit(mine, {victim.x, victim.y});
}

void updateLatchedMine(Unit& mine, Grid& grid) {
    if (!mine.onMap) return;
    if (mine.goal.x != -1 && mine.attackCounter >= mine.attackInterval) {
        explodeLatchedMine(mine, grid);
        return;
    }
    if (mine.state == UnitState::HoldPosition || mine.targetId != -1 || mine.scanCounter < mine.scanInterval) return;
    if (SUB_TILE_SIZE <= 0) return;
    // A unit aboard a carrier or a vision dummy is not there to be chased.
    for (const Unit* unit : getUnitsInRange(mineCentre(mine), mineReach(mine))) {
        if (unit->playerId == Player::environmentId || unit->playerId == mine.playerId || !unit->onMap) continue;
        latchOnto(mine, *unit);
        return;
    }
}

// By id: a death's script may store new units and move every unit, the mine included.
void explodeLatchedMine(Unit& mine, Grid& grid) {
    if (!mine.onMap) return;
    mine.onMap = false;
    const int mineId = mine.id;
    const V2i centre = mineCentre(mine);
    std::vector<int> struck;
    for (const Unit* unit : getUnitsInRange(centre, mineReach(mine)))
        if (unit->id != mineId && unit->onMap && unit->category != UnitCategory::Air) struck.push_back(unit->id);
    for (int id : struck) {
        Attackable* target = getAttackableById(id);
        if (target) applyAttackDamage(getUnitById(mineId), target, grid);
    }
    ActiveSpecialEffect explosion;
    explosion.spriteKey = "Explosion";
    explosion.x = centre.x;
    explosion.y = centre.y;
    active_special_effects.push_back(explosion);
    unitsToRemove.push_back(mineId);
}

// ==== Units in motion: spawning, the unit tick, walking and blocking, range and sight, targeting, order queue ====

UnitHooks unitHooks;
