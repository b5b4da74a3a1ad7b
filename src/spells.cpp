// Spells: the spell catalogue, the effect table it binds to, the pending cast, and spell damage.
#include "spells.h"

#include <stdexcept>

#include "buildings.h"
#include "config.h"
#include "races.h"
#include "textures.h"
#include "units.h"

using nlohmann::json;

static void effectNone(const SpellContext&) {}

// Every key is bound to the do-nothing effect until the spell effects themselves are built.
std::unordered_map<std::string, EffectFunction> effectFunctions = {
    {"bloodlust", effectNone},       {"death_and_decay", effectNone}, {"unholy_armor", effectNone},
    {"haste", effectNone},           {"death_coil", effectNone},      {"touch_of_darkness", effectNone},
    {"slow", effectNone},            {"invisibility", effectNone},    {"polymorph", effectNone},
    {"blizzard", effectNone},        {"whirlwind", effectNone},       {"flame_shield", effectNone},
    {"healing", effectNone},         {"fire_ball", effectNone},       {"holy_vision", effectNone},
    {"eye_of_vorthane", effectNone}, {"demolition", effectNone},      {"seeing_red", effectNone},
    {"freezing_bullets", effectNone}, {"bombing", effectNone},        {"artillery_fire", effectNone},
    {"latched_mine", effectNone},    {"abyssal_teleport", effectNone},
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
