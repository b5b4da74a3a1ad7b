// Spells: the spell catalogue, the effect table it binds to, the pending cast, and spell damage.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "entity.h"
#include "map.h"
#include "utils.h"

struct SpellContext {
    int32_t casterId = -1;
    int32_t targetId = -1;
    V2f targetPos;
};

using EffectFunction = std::function<void(const SpellContext&)>;

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
