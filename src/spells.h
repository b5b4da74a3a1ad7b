// Spells: the catalogue and its effect table, the pending cast, spell damage, the effects and spells in progress.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "entity.h"
#include "map.h"
#include "utils.h"

struct SpellContext {
    int32_t casterId = -1;
    int32_t targetId = -1;
    V2f targetPos;
};

using EffectFunction = std::function<bool(const SpellContext&)>;

enum class TargetType : int32_t { None = 0, Unit = 1, Point = 2, Area = 3, Self = 4 };

struct SpellInfo {
    std::string id;
    std::string name;
    int32_t manaCost = 0;
    float castTime = 0.0f;
    float cooldown = 0.0f;
    TargetType targetType = TargetType::None;
    std::string caster = "None";
    bool requiresUpgrade = false;
    int32_t damage = 0;
    int32_t range = 0;
    EffectFunction effect;
};

// Effect key to effect function, filled before any catalogue loads.
extern std::unordered_map<std::string, EffectFunction> effectFunctions;
extern std::unordered_map<std::string, SpellInfo> spellInfo;
// The cast waiting for its target, and the key of the spell chosen for it (empty when none).
extern SpellContext spellCtx;
extern std::string selectedSpell;

struct Unit;

// Whether the unit may cast the spell: its type is the spell's caster, its owner has any upgrade the spell needs,
// and in Extraction the spell's tech is unlocked. The panels offer exactly these, and a cast order needs it.
bool offersSpell(const Unit& unit, const std::string& key);

// Exact, case-sensitive; any other text gives None.
TargetType stringToTargetType(const std::string& text);

// An unopenable or malformed file raises an error that ends start-up. An effect name missing from
// effectFunctions binds an effect that does nothing.
void loadSpells(const std::string& path);

// ---- Spell damage ----

// One hit of a running spell on a unit or building, whoever owns it: the spell's damage less a unit's armour
// (never below 0), the damage text, the local player's alarm, and a death's consequences once. Nothing for a
// null target, a unit that is off the map or shielded, or a key missing from spellInfo.
void applySpellAttackDamage(std::string spellKey, Attackable* target, Grid& grid);

// ---- Effects and spells in progress ----

// One Blizzard shard or one Death and Decay patch.
struct BlizzardShard {
    V2f position;
    float dropOffset = 0.0f;  // height above position; a shard falls from -300 to 0
    float fallSpeed = 0.0f;   // per second
    float timer = 0.0f;       // seconds since the last frame change
    int frame = 0;
    bool landed = false;
};

// One spell in progress. Its type selects the per-tick, pulse and end behaviour, names its sound and names the
// catalogue record of its damage.
struct ActiveSpell {
    std::string type;
    V2f position;             // area centre, followed unit or teleport destination, in world units
    float duration = 0.0f;    // seconds left
    float pulseTimer = 0.0f;  // seconds to the next once-a-second action
    int radius = 0;           // tiles
    float spawnTimer = 0.0f;  // seconds to Blizzard's next volley
    float frameTimer = 0.0f;  // seconds since the last frame change; the teleport's time since the cast
    float frameDuration = 0.0f;
    int frame = 0;
    int frameCount = 0;
    float heading = 0.0f;  // Whirlwind: radians
    float speed = 0.0f;    // Whirlwind: world units per second
    float auxA = 0.0f;
    float auxB = 0.0f;
    int targetId = -1;  // the unit followed, buffed or removed at the end
    int casterId = -1;  // the unit freed at the end
    std::vector<BlizzardShard> shards;
    std::vector<V2f> offsets;  // FlameShield's flames around the shielded unit
};

// In cast order; the renderer reads it.
extern std::vector<ActiveSpell> activeSpells;

// A uniform draw in [min, max) from the session generator rng: a 32-bit draw times 2^-32, redrawn while 1.0 or more.
float RandomFloat(float min, float max);

// The effect functions bound in effectFunctions; each returns whether the cast was carried out. A refused cast (a
// caster or target that is not there, too little mana, a self spell aimed elsewhere, a summon whose type the
// catalogue lacks) changes nothing and returns false. A charging effect needs more than 49 mana and takes exactly 50.
bool effectNone(const SpellContext& ctx);
bool effectSlow(const SpellContext& ctx);
bool effectHaste(const SpellContext& ctx);
bool effectBloodlust(const SpellContext& ctx);
bool effectPolymorph(const SpellContext& ctx);
bool effectInvisibility(const SpellContext& ctx);
bool effectUnholyArmor(const SpellContext& ctx);
bool effectHealing(const SpellContext& ctx);
bool effectFlameShield(const SpellContext& ctx);
bool effectFreezingBullets(const SpellContext& ctx);
bool effectSeeingRed(const SpellContext& ctx);
bool effectFireBall(const SpellContext& ctx);
bool effectBlizzard(const SpellContext& ctx);
bool effectDeathAndDecay(const SpellContext& ctx);
bool effectWhirlwind(const SpellContext& ctx);
bool effectBombing(const SpellContext& ctx);
bool effectDemolition(const SpellContext& ctx);
bool effectArtilleryFire(const SpellContext& ctx);
bool effectLatchedMine(const SpellContext& ctx);
bool effectAbyssalTeleport(const SpellContext& ctx);
bool effectHolyVision(const SpellContext& ctx);
bool effectEyeOfVorthane(const SpellContext& ctx);

// Once per tick, after the towers: each spell's sound, timers, per-tick work, once-a-second pulse and, when its
// time is up, its end. A spell whose unit is gone ends at once, without its end action.
void updateSpells(float dt, Grid& grid);

// A removed unit takes the spells that follow it along, without their end actions.
void dropSpellsOnUnit(int unitId);
// Session end: no spell in progress survives into the next match.
void clearActiveSpells();
