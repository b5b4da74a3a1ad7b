// Spells: the spell catalogue, the effect table it binds to, and the pending cast.
#include "spells.h"

#include <stdexcept>

#include "races.h"
#include "textures.h"

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
