// Spells: the catalogue and its effect table, the pending cast, spell damage, the effects and spells in progress.
#include "spells.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <stdexcept>

#include "buildings.h"
#include "config.h"
#include "game.h"
#include "game_state.h"
#include "map.h"
#include "map_objects.h"
#include "projectiles.h"
#include "races.h"
#include "sounds.h"
#include "sprites.h"
#include "tech_tree.h"
#include "textures.h"
#include "units.h"

using nlohmann::json;

bool offersSpell(const Unit& unit, const std::string& key) {
    const auto spell = spellInfo.find(key);
    if (spell == spellInfo.end() || spell->second.caster != unit.type) return false;
    if (spell->second.requiresUpgrade && !hasUpgrade(unit.playerId, key)) return false;
    return mode != GameMode::Extraction || techUnlocked(key);
}

// A spell with no effect can still be cast.
bool effectNone(const SpellContext&) { return true; }

std::unordered_map<std::string, EffectFunction> effectFunctions = {
    {"bloodlust", effectBloodlust},
    {"death_and_decay", effectDeathAndDecay},
    {"unholy_armor", effectUnholyArmor},
    {"haste", effectHaste},
    {"death_coil", effectNone},
    {"touch_of_darkness", effectNone},
    {"slow", effectSlow},
    {"invisibility", effectInvisibility},
    {"polymorph", effectPolymorph},
    {"blizzard", effectBlizzard},
    {"whirlwind", effectWhirlwind},
    {"flame_shield", effectFlameShield},
    {"healing", effectHealing},
    {"fire_ball", effectFireBall},
    {"holy_vision", effectHolyVision},
    {"eye_of_vorthane", effectEyeOfVorthane},
    {"demolition", effectDemolition},
    {"seeing_red", effectSeeingRed},
    {"freezing_bullets", effectFreezingBullets},
    {"bombing", effectBombing},
    {"artillery_fire", effectArtilleryFire},
    {"latched_mine", effectLatchedMine},
    {"abyssal_teleport", effectAbyssalTeleport},
};

std::unordered_map<std::string, SpellInfo> spellInfo;
SpellContext spellCtx;
std::string selectedSpell;

TargetType stringToTargetType(const std::string& text) {
    static const char* const names[] = {"None", "Unit", "Point", "Area", "Self"};
    for (int i = 1; i <= 4; ++i)
        if (text == names[i]) return static_cast<TargetType>(i);
    return TargetType::None;
}

static SpellInfo readSpell(const json& entry) {
    SpellInfo info;
    info.id = requiredString(entry, "id");
    info.name = requiredString(entry, "name");
    info.manaCost = jsonInt(entry, "manaCost", 0);
    info.cooldown = static_cast<float>(jsonInt(entry, "cooldown", 0));
    info.damage = jsonInt(entry, "damage", 0);
    info.range = jsonInt(entry, "range", 0);
    info.castTime = jsonFloat(entry, "castTime", 0.0f);
    info.targetType = stringToTargetType(jsonString(entry, "targetType", "None"));
    info.caster = jsonString(entry, "caster", "None");
    info.requiresUpgrade = jsonBool(entry, "requiresUpgrade", false);
    const auto effect = effectFunctions.find(jsonString(entry, "effect", ""));
    info.effect = effect != effectFunctions.end() ? effect->second : EffectFunction(effectNone);
    return info;
}

void loadSpells(const std::string& path) {
    json doc;
    if (!readCatalogueFile(path, doc)) throw std::runtime_error("Failed to open spells file: " + path);
    for (const auto& [key, entry] : doc.items()) {
        SpellInfo info = readSpell(entry);
        if (entry.contains("portrait")) spellPortraitTextures[key] = LoadTexture(entry.at("portrait").get<std::string>());
        if (entry.contains("texture")) spellTextures[key] = LoadTexture(entry.at("texture").get<std::string>());
        spellInfo[key] = std::move(info);
    }
}

// ---- Spell damage ----

static constexpr SDL_Color SPELL_DAMAGE_COLOR{255, 0, 0, 255};

// False when the unit is out of reach (aboard a carrier or inside a building site).
static bool spellStrikeUnit(Unit& unit, float& damage) {
    if (!unit.onMap) return false;
    damage = damageAfterArmor(damage, unit.armor);
    const int shown = truncToInt(damage);
    spawnFloatingText(unit.x + static_cast<float>(unit.wTiles * TILE_SIZE / 2), unit.y - 10.0f, std::to_string(shown),
                      SPELL_DAMAGE_COLOR, false, shown, unit.id);
    soundUnderAttackAlarm(unit.playerId, false);
    return true;
}

static void spellStrikeBuilding(Building& building, float damage) {
    updateFireActivation(building);
    const int shown = truncToInt(damage);
    spawnFloatingText(static_cast<float>((building.x + building.wTiles) * TILE_SIZE),
                      static_cast<float>(building.y * TILE_SIZE - 10), std::to_string(shown), SPELL_DAMAGE_COLOR,
                      false, shown, building.id);
    building.prevHp = building.hp;
    soundUnderAttackAlarm(building.playerId, true);
}

void applySpellAttackDamage(std::string spellKey, Attackable* target, Grid& grid) {
    if (!target) return;
    if (target->isUnit() && isShieldedFromDamage(static_cast<const Unit&>(*target))) return;
    const auto spell = spellInfo.find(spellKey);
    if (spell == spellInfo.end()) return;
    float damage = static_cast<float>(spell->second.damage);
    if (target->isUnit()) {
        if (!spellStrikeUnit(static_cast<Unit&>(*target), damage)) return;
    } else {
        spellStrikeBuilding(static_cast<Building&>(*target), damage);
    }
    target->hp -= damage;
    if (!target->isDead() || target->deathHandled) return;
    target->deathHandled = true;
    if (target->isUnit()) {
        const Unit& unit = static_cast<const Unit&>(*target);
        unitsToRemove.push_back(unit.id);
        announceUnitDeath(unit);
    } else {
        collapseBuilding(static_cast<Building&>(*target), grid);
    }
}

// ---- Effects and spells in progress ----

std::vector<ActiveSpell> activeSpells;

static constexpr int SPELL_PRICE = 50;
static constexpr float TWO_PI = 6.2831855f;
static constexpr double EIGHTH_TURN = 0.78539816339744830962;  // pi / 4, added in double precision

float RandomFloat(float min, float max) {
    float u = 1.0f;
    // A draw near 2^32 rounds up to 1.0 as a float and is drawn again.
    while (u >= 1.0f) u = static_cast<float>(rng()) * 0x1p-32f;
    return min + (max - min) * u;
}

static float canonicalDraw() { return RandomFloat(0.0f, 1.0f); }

static bool affords(const Unit& caster) { return caster.mana > SPELL_PRICE - 1; }

static bool pay(Unit& caster) {
    if (!affords(caster)) return false;
    caster.mana -= SPELL_PRICE;
    return true;
}

// The clamped tile of a point, and that tile's centre.
static V2f tileCentreOf(V2f p) {
    const V2i tile = worldToTile(p.x, p.y);
    return {(static_cast<float>(tile.x) + 0.5f) * tileSize(), (static_cast<float>(tile.y) + 0.5f) * tileSize()};
}

static V2i tileOfPoint(V2f p) { return worldToTile(p.x, p.y); }

// The record of a spell with an area and an animation; its first pulse is a second away.
static ActiveSpell spellRecord(const char* type, V2f position, float duration, int radius, float frameDuration,
                               int frameCount) {
    ActiveSpell spell;
    spell.type = type;
    spell.position = position;
    spell.duration = duration;
    spell.pulseTimer = 1.0f;
    spell.radius = radius;
    spell.frameDuration = frameDuration;
    spell.frameCount = frameCount;
    return spell;
}

// ---- Unit-targeted effects ----

// A paid change on the target that lasts for the unit's life; its record only keeps the sound going for a second.
static bool castBuff(const SpellContext& ctx, const char* type, void (*change)(Unit&)) {
    Unit* caster = getUnitById(ctx.casterId);
    Unit* target = getUnitById(ctx.targetId);
    if (!caster || !target || !pay(*caster)) return false;
    change(*target);
    ActiveSpell spell;
    spell.type = type;
    spell.duration = 1.0f;
    activeSpells.push_back(spell);
    return true;
}

bool effectSlow(const SpellContext& ctx) {
    return castBuff(ctx, "Slow", [](Unit& u) {
        scaleMovementSpeed(u, 0.5f);
        u.slowed = true;
    });
}

bool effectHaste(const SpellContext& ctx) {
    return castBuff(ctx, "Haste", [](Unit& u) { scaleMovementSpeed(u, 1.5f); });
}

bool effectBloodlust(const SpellContext& ctx) {
    return castBuff(ctx, "Bloodlust", [](Unit& u) {
        u.bloodlust = true;
        u.damage *= 2;
    });
}

bool effectPolymorph(const SpellContext& ctx) {
    return castBuff(ctx, "Polymorph", [](Unit& u) { u.type = "Sheep"; });
}

bool effectInvisibility(const SpellContext& ctx) {
    return castBuff(ctx, "Invisibility", [](Unit& u) { u.invisible = true; });
}

bool effectUnholyArmor(const SpellContext& ctx) {
    return castBuff(ctx, "UnholyArmor", [](Unit& u) { u.unholyArmor = true; });
}

bool effectHealing(const SpellContext& ctx) {
    Unit* caster = getUnitById(ctx.casterId);
    Unit* target = getUnitById(ctx.targetId);
    if (!caster || !target || !pay(*caster)) return false;
    target->hp = std::min(target->maxHp, std::max(target->hp + 50.0f, 0.0f));
    ActiveSpell spell = spellRecord("Healing", ctx.targetPos, 0.6f, 2, 0.1f, 6);
    spell.targetId = target->id;
    activeSpells.push_back(spell);
    return true;
}

bool effectFlameShield(const SpellContext& ctx) {
    Unit* caster = getUnitById(ctx.casterId);
    Unit* target = getUnitById(ctx.targetId);
    if (!caster || !target || !pay(*caster)) return false;
    ActiveSpell spell = spellRecord("FlameShield", ctx.targetPos, 10.0f, 2, 0.3f, 6);
    spell.targetId = target->id;
    spell.offsets = {{0.0f, -40.0f}, {40.0f, 0.0f}, {0.0f, 40.0f}, {-40.0f, 0.0f}};
    activeSpells.push_back(spell);
    return true;
}

// The caster of a self spell, when the cast is aimed at it.
static Unit* selfCaster(const SpellContext& ctx) {
    Unit* caster = getUnitById(ctx.casterId);
    return caster && ctx.targetId == ctx.casterId ? caster : nullptr;
}

static void appendFollowingRecord(const char* type, float duration, int targetId) {
    ActiveSpell spell;
    spell.type = type;
    spell.duration = duration;
    spell.targetId = targetId;
    activeSpells.push_back(spell);
}

bool effectFreezingBullets(const SpellContext& ctx) {
    Unit* caster = selfCaster(ctx);
    if (!caster) return false;
    caster->freezingBullets = true;
    appendFollowingRecord("FreezingBullets", 5.0f, caster->id);
    return true;
}

// In the campaign Seeing Red must first be bought on the tech tree; a catalogue without it offers nothing to buy.
static bool seeingRedAvailable() {
    if (mode != GameMode::Extraction) return true;
    const auto spell = spellInfo.find("SeeingRed");
    if (spell == spellInfo.end()) return false;
    const std::string& key = spell->second.id;
    const auto tech = std::find_if(techTree.begin(), techTree.end(), [&](const Tech& t) { return t.name == key; });
    return tech != techTree.end() && tech->unlocked;
}

bool effectSeeingRed(const SpellContext& ctx) {
    if (!seeingRedAvailable()) return false;
    Unit* caster = selfCaster(ctx);
    if (!caster) return false;
    caster->speedPerTick = truncToInt(static_cast<float>(caster->speedPerTick) * 1.5f);
    caster->attackInterval /= 2;
    appendFollowingRecord("SeeingRed", 3.0f, caster->id);
    return true;
}

bool effectFireBall(const SpellContext& ctx) {
    Unit* caster = getUnitById(ctx.casterId);
    Unit* target = getUnitById(ctx.targetId);
    if (!caster || !target || !pay(*caster)) return false;
    const float dx = ctx.targetPos.x - caster->x;
    const float dy = ctx.targetPos.y - caster->y;
    const float length = std::sqrt(dx * dx + dy * dy);
    const SDL_FPoint dir = length < 0.0001f ? SDL_FPoint{0.0f, 0.0f} : SDL_FPoint{dx / length, dy / length};
    const SDL_FPoint start{caster->x - GAME_SPEED * dir.x, caster->y - GAME_SPEED * dir.y};
    launchProjectile("DragonFire", start, dir, static_cast<float>(2 * TILE_SIZE) * GAME_SPEED, caster->id, target->id);
    return true;
}

// ---- Area, summoning and special effects ----

static V2f pointAround(V2f centre, float angle, float distance) {
    return {centre.x + distance * std::cos(angle), centre.y + distance * std::sin(angle)};
}

// Two draws: the angle, then the distance.
static BlizzardShard fallingShard(V2f centre, int radius) {
    const float angle = canonicalDraw() * TWO_PI;
    const float distance = canonicalDraw() * static_cast<float>(radius * TILE_SIZE);
    BlizzardShard shard;
    shard.position = pointAround(centre, angle, distance);
    shard.dropOffset = -300.0f;
    shard.fallSpeed = 300.0f;
    return shard;
}

// Two draws: the angle, then a distance spread evenly over the disc, within 95 % of its radius.
static BlizzardShard decayPatch(V2f centre, int radius) {
    const float angle = canonicalDraw() * TWO_PI;
    const float distance = static_cast<float>(radius * TILE_SIZE) * std::sqrt(canonicalDraw()) * 0.95f;
    BlizzardShard patch;
    patch.position = pointAround(centre, angle, distance);
    return patch;
}

static constexpr int INITIAL_SHARDS = 5;
static constexpr int VOLLEY_SHARDS = 3;

bool effectBlizzard(const SpellContext& ctx) {
    Unit* caster = getUnitById(ctx.casterId);
    if (!caster || !pay(*caster)) return false;
    ActiveSpell spell = spellRecord("Blizzard", ctx.targetPos, 10.0f, 2, 0.3f, 4);
    for (int i = 0; i < INITIAL_SHARDS; ++i) spell.shards.push_back(fallingShard(spell.position, spell.radius));
    activeSpells.push_back(spell);
    return true;
}

bool effectDeathAndDecay(const SpellContext& ctx) {
    Unit* caster = getUnitById(ctx.casterId);
    if (!caster || !pay(*caster)) return false;
    ActiveSpell spell = spellRecord("DeathAndDecay", tileCentreOf(ctx.targetPos), 10.0f, 2, 0.1f, 9);
    for (int i = 0; i < INITIAL_SHARDS; ++i) spell.shards.push_back(decayPatch(spell.position, spell.radius));
    activeSpells.push_back(spell);
    return true;
}

bool effectWhirlwind(const SpellContext& ctx) {
    Unit* caster = getUnitById(ctx.casterId);
    if (!caster || !pay(*caster)) return false;
    ActiveSpell spell = spellRecord("Whirlwind", tileCentreOf(ctx.targetPos), 10.0f, 1, 0.1f, 4);
    spell.heading = canonicalDraw() * TWO_PI;
    spell.speed = 120.0f;
    spell.auxA = 1.5f;
    spell.auxB = 0.4f;
    activeSpells.push_back(spell);
    return true;
}

// Bombing and Demolition never read their caster, but a cast needs one: -1 is none, and 0 is never an id.
static bool namesACaster(const SpellContext& ctx) { return ctx.casterId != -1 && ctx.casterId != 0; }

bool effectBombing(const SpellContext& ctx) {
    if (!namesACaster(ctx)) return false;
    activeSpells.push_back(spellRecord("Bombing", ctx.targetPos, 3.0f, 1, 0.3f, 4));
    return true;
}

bool effectDemolition(const SpellContext& ctx) {
    if (!namesACaster(ctx)) return false;
    activeSpells.push_back(spellRecord("OrcDemolish", tileCentreOf(ctx.targetPos), 0.1f, 2, 0.1f, 16));
    return true;
}

bool effectArtilleryFire(const SpellContext& ctx) {
    Unit* caster = getUnitById(ctx.casterId);
    if (!caster) return false;
    caster->state = UnitState::Attacking;
    caster->isChanneling = true;
    caster->goal = tileOfPoint(ctx.targetPos);
    ActiveSpell spell = spellRecord("ArtilleryFire", ctx.targetPos, 3.0f, 1, 0.3f, 4);
    spell.casterId = ctx.casterId;
    activeSpells.push_back(spell);
    return true;
}

// The caster is not touched after the summon: storing a unit may move every unit.
bool effectLatchedMine(const SpellContext& ctx) {
    Unit* caster = getUnitById(ctx.casterId);
    if (!caster) return false;
    const UnitInfo* info = getUnitInfo("LatchedMine");
    if (!info) return false;
    caster->isChanneling = true;
    caster->goal = tileOfPoint(ctx.targetPos);
    ActiveSpell spell = spellRecord("LatchedMine", ctx.targetPos, 3.0f, 3, 0.3f, 4);
    spell.casterId = ctx.casterId;
    activeSpells.push_back(spell);

    Unit* mine = spawnUnit("LatchedMine", caster->playerId);
    mine->x = ctx.targetPos.x;
    mine->y = ctx.targetPos.y - 30.0f;
    mine->untargetable = true;
    mine->onMap = true;
    mine->range = info->range;
    mine->speedPerTick = speedPerTickFor(mine->movementSpeed);
    return true;
}

bool effectAbyssalTeleport(const SpellContext& ctx) {
    Unit* caster = getUnitById(ctx.casterId);
    if (!caster) return false;
    caster->state = UnitState::Teleporting;
    caster->isAttacking = false;
    caster->waypoints.clear();
    caster->isChanneling = true;
    ActiveSpell spell;
    spell.type = "AbyssalTeleport";
    spell.position = ctx.targetPos;
    spell.duration = 1.8f;
    spell.casterId = ctx.casterId;
    activeSpells.push_back(spell);
    return true;
}

// The paying caster of a summon; the type is looked up before any mana is taken.
static Unit* summoner(const SpellContext& ctx, const char* type) {
    Unit* caster = getUnitById(ctx.casterId);
    if (!caster || !affords(*caster) || !getUnitInfo(type)) return nullptr;
    pay(*caster);
    return caster;
}

bool effectHolyVision(const SpellContext& ctx) {
    const Unit* caster = summoner(ctx, "Peon");
    if (!caster) return false;
    Unit* eye = spawnDummy("Peon", caster->playerId);
    eye->onMap = false;
    eye->x = ctx.targetPos.x;
    eye->y = ctx.targetPos.y;
    eye->sight = 8;
    appendFollowingRecord("HolyVision", 5.0f, eye->id);
    activeSpells.back().position = ctx.targetPos;
    return true;
}

bool effectEyeOfVorthane(const SpellContext& ctx) {
    const Unit* caster = summoner(ctx, "EyeOfVorthane");
    if (!caster) return false;
    Unit* eye = spawnUnit("EyeOfVorthane", caster->playerId);
    eye->x = ctx.targetPos.x;
    eye->y = ctx.targetPos.y + 30.0f;
    appendFollowingRecord("EyeOfVorthane", 8.0f, eye->id);
    activeSpells.back().position = ctx.targetPos;
    return true;
}

// ---- Spells in progress ----

static void animate(ActiveSpell& spell, float dt) {
    const float t = spell.frameTimer + dt;
    if (t < spell.frameDuration) {
        spell.frameTimer = t;
        return;
    }
    spell.frameTimer = 0.0f;
    spell.frame = spell.frameCount > 0 ? (spell.frame + 1) % spell.frameCount : 0;
}

static V2i tileOfUnit(const Unit& u) { return {truncToInt(u.x / tileSize()), truncToInt(u.y / tileSize())}; }

static V2i subTileOfUnit(const Unit& u) {
    const float size = static_cast<float>(SUB_TILE_SIZE);
    return {truncToInt(u.x / size), truncToInt(u.y / size)};
}

static bool withinTiles(V2i tile, V2i centre, int radius) {
    const int64_t dx = int64_t{tile.x} - centre.x;
    const int64_t dy = int64_t{tile.y} - centre.y;
    return dx * dx + dy * dy <= int64_t{radius} * radius;
}

// Damages, in the order of units, every unit the test accepts. By index: a death's script may store new units.
template <typename Accept>
static void damageUnits(const std::string& spell, Grid& grid, Accept accept) {
    const size_t count = units.size();
    for (size_t i = 0; i < count && i < units.size(); ++i)
        if (units[i].onMap && !units[i].unholyArmor && accept(units[i]))
            applySpellAttackDamage(spell, &units[i], grid);
}

// Each building once, however many of its tiles are listed.
static void damageBuildingsOnce(const std::vector<Building*>& listed, const std::string& spell, Grid& grid) {
    std::vector<int> ids;
    for (const Building* b : listed)
        if (std::find(ids.begin(), ids.end(), b->id) == ids.end()) ids.push_back(b->id);
    for (int id : ids) applySpellAttackDamage(spell, getBuildingById(id), grid);
}

static void areaPulse(ActiveSpell& spell, Grid& grid) {
    const V2i centre = tileOfPoint(spell.position);
    const int radius = spell.radius;
    damageUnits(spell.type, grid, [&](const Unit& u) {
        return u.category != UnitCategory::Air && withinTiles(tileOfUnit(u), centre, radius);
    });
    damageBuildingsOnce(getBuildingsInRange(centre, radius), spell.type, grid);
}

// The shield burns whoever stands in the ring around its unit, friend or foe, but never its unit.
static void shieldPulse(ActiveSpell& spell, Grid& grid) {
    Unit* shielded = getUnitById(spell.targetId);
    if (!shielded) return;
    spell.position = {shielded->x, shielded->y};
    shielded->computeNearbyTiles();
    const std::vector<V2i> ring = shielded->nearbyTiles;
    const int shieldedId = shielded->id;
    damageUnits(spell.type, grid, [&](const Unit& u) {
        return u.id != shieldedId && std::find(ring.begin(), ring.end(), subTileOfUnit(u)) != ring.end();
    });
}

// False when the shard has played its last frame.
static bool advanceShard(BlizzardShard& shard, float dt, float frameDuration) {
    shard.timer += dt;
    if (shard.landed) {
        if (shard.timer < frameDuration) return true;
        shard.timer = 0.0f;
        return ++shard.frame <= 3;
    }
    shard.dropOffset += dt * shard.fallSpeed;
    if (shard.dropOffset >= 0.0f) {
        shard.dropOffset = 0.0f;
        shard.timer = 0.0f;
        shard.frame = 2;
        shard.landed = true;
    } else if (shard.timer >= frameDuration) {
        shard.timer = 0.0f;
        shard.frame = 1;
    }
    return true;
}

// Per-tick work of a type: false ends the spell at once, without its pulse and its end.
static bool tickBlizzard(ActiveSpell& spell, float dt, Grid&) {
    std::vector<BlizzardShard>& shards = spell.shards;
    for (size_t i = 0; i < shards.size();) {
        if (advanceShard(shards[i], dt, spell.frameDuration)) ++i;
        else shards.erase(shards.begin() + static_cast<std::ptrdiff_t>(i));
    }
    if (spell.spawnTimer > 0.0f) return true;
    spell.spawnTimer = 0.4f;
    for (int i = 0; i < VOLLEY_SHARDS; ++i) shards.push_back(fallingShard(spell.position, spell.radius));
    return true;
}

static bool tickDeathAndDecay(ActiveSpell& spell, float dt, Grid&) {
    for (BlizzardShard& patch : spell.shards) {
        patch.timer += dt;
        if (patch.timer < spell.frameDuration) continue;
        patch.timer = 0.0f;
        patch.frame = spell.frameCount > 0 ? (patch.frame + 1) % spell.frameCount : 0;
    }
    return true;
}

// The whirlwind drifts, now and then veering, and turns away from the map's edges.
static bool tickWhirlwind(ActiveSpell& spell, float dt, Grid&) {
    if (canonicalDraw() < 0.03f) spell.heading += canonicalDraw() * 2.2f - 1.1f;
    const float width = static_cast<float>(MAP_W) * tileSize();
    const float height = static_cast<float>(MAP_H) * tileSize();
    V2f next = spell.position;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const V2f candidate{spell.position.x + std::cos(spell.heading) * spell.speed * dt,
                            spell.position.y + std::sin(spell.heading) * spell.speed * dt};
        if (candidate.x >= 0.0f && candidate.x < width && candidate.y >= 0.0f && candidate.y < height) {
            next = candidate;
            break;
        }
        spell.heading = static_cast<float>(static_cast<double>(spell.heading) + EIGHTH_TURN);
    }
    spell.position = {std::min(std::max(next.x, 0.0f), width - 1.0f), std::min(std::max(next.y, 0.0f), height - 1.0f)};
    animate(spell, dt);
    return true;
}

static bool tickFlameShield(ActiveSpell& spell, float dt, Grid&) {
    const Unit* shielded = getUnitById(spell.targetId);
    if (!shielded) return false;
    spell.position = {shielded->x, shielded->y};
    animate(spell, dt);
    return true;
}

static bool tickHealing(ActiveSpell& spell, float dt, Grid&) {
    const Unit* healed = getUnitById(spell.targetId);
    if (!healed) return false;
    spell.position = {healed->x, healed->y - 0.4f * tileSize()};
    animate(spell, dt);
    return true;
}

static bool tickHolyVision(ActiveSpell& spell, float dt, Grid&) {
    if (!getUnitById(spell.targetId)) return false;
    animate(spell, dt);
    return true;
}

// The blast strikes the 3x3 tiles around its centre every tick it lasts; each map object there is queued once.
static bool tickDemolish(ActiveSpell& spell, float dt, Grid& grid) {
    const std::vector<V2i> tiles =
        computeNearbyTiles(truncToInt(spell.position.x / tileSize()), truncToInt(spell.position.y / tileSize()));
    damageUnits(spell.type, grid, [&](const Unit& u) {
        return std::find(tiles.begin(), tiles.end(), tileOfUnit(u)) != tiles.end();
    });
    damageBuildingsOnce(getBuildingsInTiles(tiles, 0), spell.type, grid);
    for (const MapObject* object : getObjectsInTiles(tiles, 0)) mapObjectsToRemove.push_back(object->id);
    animate(spell, dt);
    return true;
}

// A missing animation, or missing sprite metadata, plays as one frame for half a second.
static AnimationSeq teleportPhase(const UnitSpriteMeta* meta, const char* name) {
    static constexpr AnimationSeq FALLBACK{0, 1, 0.5f};
    if (!meta) return FALLBACK;
    const auto found = meta->animations.find(name);
    return found != meta->animations.end() ? found->second : FALLBACK;
}

static int phaseFrame(const AnimationSeq& phase, float fraction) {
    return phase.start + std::min(truncToInt(static_cast<float>(phase.count) * fraction), phase.count - 1);
}

// The unit fades out, jumps to the destination and fades in; the record's time then runs out.
static bool tickTeleport(ActiveSpell& spell, float dt, Grid&) {
    Unit* unit = getUnitById(spell.casterId);
    if (!unit) return false;
    const auto sprite = unitSprites.find(unit->type);
    const UnitSpriteMeta* meta = sprite != unitSprites.end() ? &sprite->second : nullptr;
    spell.frameTimer += dt;
    const float elapsed = spell.frameTimer;
    unit->state = UnitState::Teleporting;
    unit->overrideFrameActive = true;
    const AnimationSeq out = teleportPhase(meta, "teleport_out");
    const AnimationSeq in = teleportPhase(meta, "teleport_in");
    if (elapsed < out.duration) {
        unit->overrideFrame = phaseFrame(out, elapsed / out.duration);
    } else if (elapsed < out.duration + in.duration) {
        unit->x = spell.position.x;
        unit->y = spell.position.y;
        unit->overrideFrame = phaseFrame(in, (elapsed - out.duration) / in.duration);
    }
    return true;
}

// End actions.
static void removeSummon(const ActiveSpell& spell) {
    if (spell.targetId != -1) unitsToRemove.push_back(spell.targetId);
}

static void endSeeingRed(const ActiveSpell& spell) {
    Unit* unit = getUnitById(spell.targetId);
    if (!unit) return;
    if (!unitInfo.count(unit->type)) std::cerr << "[UnitInfo] Unknown unit type: " << unit->type << "\n";
    unit->attackInterval = attackIntervalFor(unit->attackSpeed);
    unit->speedPerTick = speedPerTickFor(unit->movementSpeed);
}

static void endArtilleryFire(const ActiveSpell& spell) {
    Unit* caster = getUnitById(spell.casterId);
    if (!caster) return;
    caster->state = UnitState::Idle;
    caster->isChanneling = false;
    caster->goal = {-1, -1};
}

// The thrower is free again once its mine is down.
static void endMineThrow(const ActiveSpell& spell) {
    Unit* caster = getUnitById(spell.casterId);
    if (!caster) return;
    caster->isChanneling = false;
    caster->goal = {-1, -1};
}

static void endTeleport(const ActiveSpell& spell) {
    Unit* caster = getUnitById(spell.casterId);
    if (!caster) return;
    caster->overrideFrameActive = false;
    caster->state = UnitState::Idle;
    caster->isChanneling = false;
}

struct SpellBehaviour {
    bool (*tick)(ActiveSpell&, float dt, Grid&);
    void (*pulse)(ActiveSpell&, Grid&);
    void (*end)(const ActiveSpell&);
};

// Types not listed only count their time down.
static const std::unordered_map<std::string, SpellBehaviour> SPELL_BEHAVIOURS = {
    {"Blizzard", {tickBlizzard, areaPulse, nullptr}},
    {"DeathAndDecay", {tickDeathAndDecay, areaPulse, nullptr}},
    {"Whirlwind", {tickWhirlwind, areaPulse, nullptr}},
    {"Bombing", {nullptr, areaPulse, nullptr}},
    {"ArtilleryFire", {nullptr, areaPulse, endArtilleryFire}},
    {"FlameShield", {tickFlameShield, shieldPulse, nullptr}},
    {"Healing", {tickHealing, nullptr, nullptr}},
    {"OrcDemolish", {tickDemolish, nullptr, nullptr}},
    {"HolyVision", {tickHolyVision, nullptr, removeSummon}},
    {"EyeOfVorthane", {nullptr, nullptr, removeSummon}},
    {"AbyssalTeleport", {tickTeleport, nullptr, endTeleport}},
    {"SeeingRed", {nullptr, nullptr, endSeeingRed}},
    {"LatchedMine", {nullptr, nullptr, endMineThrow}},
};

// False when the spell is over.
static bool runSpell(ActiveSpell& spell, float dt, Grid& grid) {
    if (!spell.type.empty()) playSound(SoundCategory::Spells, spell.type, false, 0.0f, 0.0f, 1);
    spell.duration -= dt;
    spell.pulseTimer -= dt;
    spell.spawnTimer -= dt;
    const auto found = SPELL_BEHAVIOURS.find(spell.type);
    const SpellBehaviour* behaviour = found != SPELL_BEHAVIOURS.end() ? &found->second : nullptr;
    if (behaviour && behaviour->tick && !behaviour->tick(spell, dt, grid)) return false;
    if (spell.pulseTimer <= 0.0f) {
        spell.pulseTimer += 1.0f;
        if (behaviour && behaviour->pulse) behaviour->pulse(spell, grid);
    }
    if (spell.duration > 0.0f) return true;
    if (behaviour && behaviour->end) behaviour->end(spell);
    return false;
}

void updateSpells(float dt, Grid& grid) {
    for (size_t i = 0; i < activeSpells.size();) {
        if (runSpell(activeSpells[i], dt, grid)) ++i;
        else activeSpells.erase(activeSpells.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

void dropSpellsOnUnit(int unitId) {
    activeSpells.erase(std::remove_if(activeSpells.begin(), activeSpells.end(),
                                      [unitId](const ActiveSpell& s) { return s.targetId == unitId; }),
                       activeSpells.end());
}

void clearActiveSpells() { activeSpells.clear(); }
