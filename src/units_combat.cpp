// Units: attack damage, kills and their effects.
#include "units.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>

#include "activity.h"
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

float lastUnitUnderAttackTime = UNDER_ATTACK_ALARM_NEVER;
float lastBuildingUnderAttackTime = UNDER_ATTACK_ALARM_NEVER;
CombatHooks combatHooks;

static constexpr SDL_Color DAMAGE_COLOR{255, 0, 0, 255};
static constexpr SDL_Color FLIGHT_COLOR{255, 255, 0, 255};
static constexpr SDL_Color EXPERIENCE_COLOR{50, 150, 255, 255};

void resetUnderAttackAlarms() {
    lastUnitUnderAttackTime = UNDER_ATTACK_ALARM_NEVER;
    lastBuildingUnderAttackTime = UNDER_ATTACK_ALARM_NEVER;
}

bool isShieldedFromDamage(const Unit& unit) { return unit.invulnerable || unit.unholyArmor; }

float damageAfterArmor(float raw, int armor) { return std::max(0.0f, raw - static_cast<float>(armor)); }

void soundUnderAttackAlarm(int ownerId, bool building) {
    if (ownerId != Player::myStaticId) return;
    float& last = building ? lastBuildingUnderAttackTime : lastUnitUnderAttackTime;
    if (gameTime - last < UNDER_ATTACK_COOLDOWN) return;
    const Player* local = getPlayerById(Player::myStaticId);
    if (!local) return;
    last = gameTime;
    playSound(building ? SoundCategory::BuildingAction : SoundCategory::UnitAction, local->race + ".UnderAttack",
              false, 0.0f, 0.0f, 1);
}

void announceUnitDeath(const Unit& unit) {
    spawnCorpse({unit.x, unit.y});
    if (combatHooks.unitDeathScript) combatHooks.unitDeathScript(unit.id);
    playSound(SoundCategory::Unit, unit.type + ".death", true, unit.x, unit.y, 1);
}

void collapseBuilding(Building& building, Grid& grid) {
    unblockArea(grid, {building.x, building.y}, building.wTiles, building.hTiles);
    buildingsToRemove.push_back(building.id);
    const SDL_FPoint centre = building.getWorldPos();
    playSound(SoundCategory::BuildingAction, "Explosion", true, centre.x, centre.y, 1);
}

// A draw of the simple generator in [-half, span - half), or 0 (the draw still made) for an empty span.
static int scatter(float extent) {
    const int span = truncToInt(extent * 0.7f);
    const int draw = std::rand();
    return span > 0 ? draw % span - truncToInt(extent * 0.35f) : 0;
}

// Every hit of a big battle asks this of every live effect: the distance rules out nearly all of them before a key
// is compared.
static bool effectNearby(const std::string& key, int x, int y) {
    return std::any_of(active_special_effects.begin(), active_special_effects.end(),
                       [&](const ActiveSpecialEffect& e) {
                           const float dx = static_cast<float>(e.x - x);
                           const float dy = static_cast<float>(e.y - y);
                           return dx * dx + dy * dy < 100.0f && e.spriteKey == key;
                       });
}

static void addEffectUnlessNearby(const ActiveSpecialEffect& effect) {
    if (!effectNearby(effect.spriteKey, effect.x, effect.y)) active_special_effects.push_back(effect);
}

// Gun hits and blood sprays scattered over the struck unit's sprite.
static void addHitEffect(const Unit& attacker, const Unit& target) {
    const bool marine = isOfType(attacker, "Marine");
    if (!marine && !isOfType(attacker, "Berserker")) return;
    const auto sprite = unitSprites.find(target.type);
    if (sprite == unitSprites.end()) return;
    const UnitSpriteMeta& meta = sprite->second;
    const float s = static_cast<float>(TILE_SIZE) * 0.5f * meta.scaleMultiplier;
    const float w = (s / static_cast<float>(meta.frameWidth)) * static_cast<float>(meta.frameWidth);
    const float h = (s / static_cast<float>(meta.frameHeight)) * static_cast<float>(meta.frameHeight);
    ActiveSpecialEffect effect;
    effect.x = truncToInt(target.x) + scatter(w);
    effect.y = truncToInt(target.y) + scatter(h);
    const int variant = std::rand() % 3 + 1;
    if (marine) {
        effect.spriteKey = "GunHit_" + std::to_string(variant);
    } else {
        effect.spriteKey = "BloodSpray_" + std::to_string(variant);
        const float dx = target.x - attacker.x;
        const float dy = target.y - attacker.y;
        effect.rotation = std::atan2(dy, dx) * 57.29578f;
        const float length = std::sqrt(dx * dx + dy * dy);
        if (length > 0.0f) {
            const float speed = static_cast<float>(std::rand() % 80 + 120);
            effect.vx = dx / length * speed;
            effect.vy = dy / length * speed;
        }
    }
    addEffectUnlessNearby(effect);
}

static void addBlood(Grid& grid, const Unit& target) {
    const auto info = unitInfo.find(target.type);
    if (info == unitInfo.end() || !info->second.isBiological) return;
    const std::string_view race = info->second.race;
    if (race == "human") add_blood_to_tile(grid, {target.x, target.y});
    else if (race == "vohmathal") add_blue_blood_to_tile(grid, {target.x, target.y});
}

static void showFlightText(const Unit& unit, const char* text, SDL_Color color) {
    spawnFloatingText(unit.x, unit.y, text, color, false, 0, 0);
}

// Radians tried in turn, straight away from the attacker first.
static constexpr float FLIGHT_ANGLES[] = {0.0f, 0.785f, -0.785f, 1.57f, -1.57f, 2.356f, -2.356f, 3.1415f};

// A struck unit without a target runs 5 tiles away from the attacker, else to any clear sub-tile nearby.
static void fleeFrom(Unit& unit, SDL_FPoint from, Grid& grid) {
    float dx = unit.x - from.x;
    float dy = unit.y - from.y;
    const float length = std::sqrt(dx * dx + dy * dy);
    if (!(length > 0.0f)) return;
    dx /= length;
    dy /= length;
    const V2i own = worldToSubTile(unit.x, unit.y);
    const float reach = 5.0f * static_cast<float>(TILE_SIZE);
    const float maxX = static_cast<float>(MAP_W * TILE_SIZE - 1);
    const float maxY = static_cast<float>(MAP_H * TILE_SIZE - 1);
    for (float angle : FLIGHT_ANGLES) {
        const float c = std::cos(angle);
        const float s = std::sin(angle);
        const float px = std::clamp(unit.x + (dx * c - dy * s) * reach, 0.0f, std::max(maxX, 0.0f));
        const float py = std::clamp(unit.y + (dx * s + dy * c) * reach, 0.0f, std::max(maxY, 0.0f));
        const V2i sub = worldToSubTile(px, py);
        if (!grid.walkable(sub.x / SUBDIVISIONS, sub.y / SUBDIVISIONS, unit.walkable)) continue;
        const V2i clear = find_nearby_clear_tile(sub, 3);
        if (clear == own) continue;
        unit.state = UnitState::OrderedMove;
        moveUnitUnclump(unit.id, clear, grid);
        showFlightText(unit, "RETREATING!", FLIGHT_COLOR);
        return;
    }
    const V2i clear = find_nearby_clear_tile(own, 5);
    if (clear == own) {
        showFlightText(unit, "TRAPPED!", DAMAGE_COLOR);
        return;
    }
    moveUnitUnclump(unit.id, clear, grid);
    showFlightText(unit, "SCRAMBLE", FLIGHT_COLOR);
}

// What a hit on a unit does before its hit points fall; false when the unit is out of reach (aboard or inside).
static bool strikeUnit(Attackable* attacker, Unit& target, float& damage, Grid& grid) {
    if (!target.onMap) return false;
    Unit* attackerUnit = attacker->isUnit() ? static_cast<Unit*>(attacker) : nullptr;
    if (attackerUnit) attackerUnit->lastTargetPos = {target.x, target.y};

    autoAttack(target, grid);
    if (target.targetId == -1 && target.state == UnitState::Idle) fleeFrom(target, attacker->getWorldPos(), grid);

    damage = damageAfterArmor(damage, target.armor);
    const int shown = truncToInt(damage);
    spawnFloatingText(target.x + static_cast<float>(target.wTiles * TILE_SIZE / 2), target.y + 30.0f,
                      std::to_string(shown), DAMAGE_COLOR, false, shown, target.id);
    soundUnderAttackAlarm(target.playerId, false);
    if (attackerUnit && isOfType(*attackerUnit, "Catapult"))
        playSound(SoundCategory::UnitAction, "CatapultHit", true, attackerUnit->x, attackerUnit->y, 1);
    addBlood(grid, target);
    if (attackerUnit) addHitEffect(*attackerUnit, target);
    return true;
}

// What a hit on a building does before its hit points fall.
static void strikeBuilding(Attackable* attacker, Building& target, float damage) {
    Unit* attackerUnit = attacker->isUnit() ? static_cast<Unit*>(attacker) : nullptr;
    const float tile = static_cast<float>(TILE_SIZE);
    if (attackerUnit)
        attackerUnit->lastTargetPos = {static_cast<float>(target.x) * tile, static_cast<float>(target.y) * tile};
    updateFireActivation(target);
    const int shown = truncToInt(damage);
    spawnFloatingText(static_cast<float>((target.x + target.wTiles) * TILE_SIZE),
                      static_cast<float>(target.y * TILE_SIZE - 10), std::to_string(shown), DAMAGE_COLOR, false,
                      shown, target.id);
    target.prevHp = target.hp;
    soundUnderAttackAlarm(target.playerId, true);
    if (attackerUnit && isOfType(*attackerUnit, "Tank")) {
        const int step = TILE_SIZE / SUBDIVISIONS;
        const int r1 = std::rand();
        const int r2 = std::rand();
        ActiveSpecialEffect explosion;
        explosion.spriteKey = "Explosion";
        explosion.x = target.x * TILE_SIZE + r1 % std::max(1, target.wTiles * SUBDIVISIONS) * step;
        explosion.y = target.y * TILE_SIZE + r2 % std::max(1, target.hTiles * SUBDIVISIONS) * step;
        active_special_effects.push_back(explosion);
    }
}

// In Extraction the player hears how many enemies remain; the dying unit is still counted.
static void reportEnemiesRemaining() {
    const Player* enemy = getPlayerById(Player::aiId);
    if (!enemy) return;
    const size_t count = enemy->unitIds.size();
    if (count == 1)
        postActivity("[System]: All enemies have been neutralized, you can extract safely", texFood, 5.0f);
    else if (count == 5 || count == 10 || count == 20)
        postActivity("[System]: Enemy units remaining " + std::to_string(count), texFood, 5.0f);
}

static void processUnitDeath(Unit& unit, Grid& grid) {
    unitsToRemove.push_back(unit.id);
    freeTileForUnit(unit.id, unit.type, worldToSubTile(unit.x, unit.y));
    announceUnitDeath(unit);
    if (isOfType(unit, "LatchedMine")) explodeLatchedMine(unit, grid);
    if (mode == GameMode::Extraction) reportEnemiesRemaining();
}

static void creditUnitKill(Unit& attacker, Unit& dead) {
    ++attacker.kills;
    if (mode == GameMode::Extraction && dead.playerId != attacker.playerId) {
        const bool granted = combatHooks.grantUnitExp && combatHooks.grantUnitExp(attacker, dead.expGain);
        const int gained = granted ? dead.expGain : 0;
        spawnFloatingText(attacker.x + static_cast<float>(attacker.wTiles * TILE_SIZE / 2), attacker.y,
                          std::to_string(gained) + " exp", EXPERIENCE_COLOR, true, gained, attacker.id);
        if (combatHooks.dropItem) combatHooks.dropItem(dead);
    }
    if (dead.playerId == Player::environmentId) return;
    if (combatHooks.spawnCorpseItemOnUnitLoss) combatHooks.spawnCorpseItemOnUnitLoss(dead);
    if (combatHooks.dropCarriedItems) combatHooks.dropCarriedItems(dead);
}

static void creditKill(Attackable* attacker, Attackable* dead) {
    if (attacker->isBuilding()) {
        if (Tower* tower = getTowerByBuildingId(attacker->id)) tower->targetId = -1;
        return;
    }
    Unit& unit = static_cast<Unit&>(*attacker);
    unit.isAttacking = false;
    unit.targetId = -1;
    unit.scanCounter = unit.scanInterval;
    if (dead->isUnit()) creditUnitKill(unit, static_cast<Unit&>(*dead));
}

static float rawAttackDamage(Attackable* attacker) {
    if (attacker->isUnit()) {
        const Unit& unit = static_cast<const Unit&>(*attacker);
        return static_cast<float>(unit.damage + unit.piercing);
    }
    const Tower* tower = getTowerByBuildingId(attacker->id);
    return tower ? static_cast<float>(tower->damage) : 0.0f;
}

void applyAttackDamage(Attackable* attacker, Attackable* target, Grid& grid) {
    if (!attacker || !target) return;
    if (target->isUnit() && isShieldedFromDamage(static_cast<const Unit&>(*target))) return;
    float damage = rawAttackDamage(attacker);
    if (target->isUnit()) {
        if (!strikeUnit(attacker, static_cast<Unit&>(*target), damage, grid)) return;
    } else {
        strikeBuilding(attacker, static_cast<Building&>(*target), damage);
    }
    target->hp -= damage;
    if (target->hp > 0.0f || target->deathHandled) return;
    target->deathHandled = true;
    if (target->isUnit()) processUnitDeath(static_cast<Unit&>(*target), grid);
    else collapseBuilding(static_cast<Building&>(*target), grid);
    creditKill(attacker, target);
}

void applyDirectHit(Unit& attacker, Attackable* target, Grid& grid) {
    if (!target) return;
    const auto info = unitInfo.find(attacker.type);
    const int splashRadius = info != unitInfo.end() ? info->second.splashRadius : 0;
    if (splashRadius == 0 || !target->isUnit()) {
        applyAttackDamage(&attacker, target, grid);
        return;
    }
    const SDL_FPoint at = target->getWorldPos();
    const V2i centre{truncToInt(at.x), truncToInt(at.y)};
    for (Unit* unit : getUnitsInRange(centre, splashRadius * TILE_SIZE))
        if (unit == target || unit->category != UnitCategory::Air) applyAttackDamage(&attacker, unit, grid);
    if (isOfType(attacker, "Tank")) {
        ActiveSpecialEffect explosion;
        explosion.spriteKey = "Explosion";
        explosion.x = centre.x;
        explosion.y = centre.y;
        active_special_effects.push_back(explosion);
    }
}
