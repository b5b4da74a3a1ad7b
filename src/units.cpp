// Units: the unit catalogue, the unit record and registry, and the per-tick unit behaviour.
#include "units.h"

// ---- Stand-in until the world model lands: the units catalogue loader for the fields the content catalogue
// uses. Replaced whole on merge by the units component's own loader.
#include <iostream>

#include "races.h"
#include "utils.h"

std::unordered_map<std::string, UnitInfo> unitInfo;

UnitCategory stringToUnitCategory(const std::string& text) {
    if (text == "Air") return UnitCategory::Air;
    if (text == "Naval") return UnitCategory::Naval;
    return UnitCategory::Ground;
}

static AttackType stringToAttackType(const std::string& text) {
    static const char* const names[] = {"None", "Melee", "Ranged", "Instant", "Siege"};
    for (int i = 1; i <= 4; ++i)
        if (text == names[i]) return static_cast<AttackType>(i);
    return AttackType::None;
}

static int attackTargetMask(const std::vector<std::string>& targets) {
    int mask = 0;
    for (const std::string& target : targets) {
        if (target == "Air") mask |= 2;
        else if (target == "Space") mask |= 4;
        else {
            if (target != "Ground") std::cerr << "Unknown unit category: " << target << "\n";
            mask |= 1;
        }
    }
    return mask;
}

void loadUnitInfo(const std::string& path, const std::string&) {
    const nlohmann::json doc = Utils::loadJsonFile(path);
    if (doc.empty()) {
        std::cerr << "Unit data is empty. Check file: " << path << "\n";
        return;
    }
    for (const auto& [type, entry] : doc.items()) {
        UnitInfo info;
        info.race = jsonString(entry, "race", "Unknown");
        info.category = stringToUnitCategory(jsonString(entry, "category", "None"));
        info.attackType = stringToAttackType(jsonString(entry, "attackType", "None"));
        const std::string walkable = jsonString(entry, "walkable", "Grass");
        info.walkable = walkable == "Water" ? Tile::Water : walkable == "Any" ? Tile::Any : Tile::Grass;
        info.hp = jsonInt(entry, "hp", 10);
        info.damage = jsonInt(entry, "damage", 1);
        info.piercing = jsonInt(entry, "piercing", 0);
        info.range = jsonFloat(entry, "range", 1.0f);
        info.sight = jsonInt(entry, "sight", 5);
        info.wTiles = jsonInt(entry, "wTiles", 1);
        info.hTiles = jsonInt(entry, "hTiles", 1);
        info.subtiles = jsonInt(entry, "subtiles", 1);
        info.foodCost = jsonInt(entry, "foodCost", 0);
        info.movementSpeed = jsonFloat(entry, "movementSpeed", 1.0f);
        info.attackSpeed = jsonFloat(entry, "attackSpeed", 1.0f);
        info.canAttack = jsonBool(entry, "canAttack", true);
        info.attackTargets = attackTargetMask(jsonStrings(entry, "attackTargets"));
        info.worker = jsonBool(entry, "worker", false);
        info.civilian = jsonBool(entry, "civilian", false);
        info.carrier = jsonBool(entry, "carrier", false);
        unitInfo[type] = info;
    }
}
// ---- End of stand-in.
