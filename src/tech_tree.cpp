// Tech tree: the Extraction campaign's tech nodes, and the rules of what a player may train, build and research.
#include "tech_tree.h"

#include <algorithm>
#include <iostream>

#include "buildings.h"
#include "config.h"
#include "player.h"
#include "races.h"
#include "textures.h"
#include "units.h"
#include "upgrades.h"

using nlohmann::json;

std::vector<Tech> techTree;

static Tech readTech(const json& record) {
    Tech tech;
    tech.id = requiredString(record, "id");
    tech.name = requiredString(record, "name");
    tech.description = requiredString(record, "description");
    tech.cost = requiredInt(record, "cost");
    tech.x = static_cast<float>(requiredInt(record, "x"));
    tech.y = static_cast<float>(requiredInt(record, "y"));
    tech.texture = LoadTexture(jsonString(record, "texture", ""));
    return tech;
}

void loadTechFromJson(const std::string& path) {
    json doc;
    if (!readCatalogueFile(path, doc)) {
        std::cerr << "Could not open tech file: " << path << "\n";
        return;
    }
    requireObject(doc);
    const auto records = doc.find("tech");
    if (records == doc.end() || records->is_null()) return;
    for (const json& record : records->get_ref<const json::array_t&>()) techTree.push_back(readTech(record));
}

bool techUnlocked(const std::string& name) {
    for (const Tech& tech : techTree)
        if (tech.name == name) return tech.unlocked;
    return false;
}

// ---- Tech rules: what a player may train, build and research ----

static bool hasCompletedBuildingOfType(const Player& player, const std::string& type) {
    return std::any_of(player.buildingIds.begin(), player.buildingIds.end(), [&](int id) {
        const Building* b = getBuildingById(id);
        return b && b->completed && b->type == type;
    });
}

bool canTrainUnit(const Player& player, const std::string& type) {
    const auto requirement = unitRequirements.find(type);
    if (requirement == unitRequirements.end()) return false;
    // The type arrives in orders from the wire, so a row without a catalogue record is refused, not fatal.
    const auto info = unitInfo.find(type);
    if (info == unitInfo.end()) return false;
    if (info->second.foodCost + player.supplyUsed > player.supplyCap) return false;
    if (player.resources[RESOURCE_GOLD] < info->second.goldCost) return false;
    if (player.resources[RESOURCE_WOOD] < info->second.woodCost) return false;
    for (const std::string& required : requirement->second.requiredBuildings)
        if (!hasCompletedBuildingOfType(player, required)) return false;
    return true;
}

bool canConstructBuilding(Player& player, const std::string& type) {
    const auto requirement = buildingRequirements.find(type);
    if (requirement == buildingRequirements.end()) return false;
    for (const std::string& required : requirement->second.requiredBuildings)
        if (player.completedBuildings[required] <= 0) return false;
    if (requirement->second.requiredTier <= 0) return true;
    for (const auto& [built, count] : player.completedBuildings) {
        if (count <= 0) continue;
        const auto info = buildingInfo.find(built);
        if (info != buildingInfo.end() && info->second.tier >= requirement->second.requiredTier) return true;
    }
    return false;
}

bool hasUpgrade(int playerId, const std::string& upgrade) {
    return playerUpgrades[playerId].count(upgrade) != 0 || DEBUG_MODE;
}

bool canResearch(const Player& player, const std::string& upgrade) {
    if (hasUpgrade(player.id, upgrade)) return false;
    const auto requirement = upgradeRequirements.find(upgrade);
    if (requirement == upgradeRequirements.end()) return false;
    const std::set<std::string>& held = playerUpgrades[player.id];
    return std::all_of(requirement->second.requires.begin(), requirement->second.requires.end(),
                       [&](const std::string& name) { return held.count(name) != 0; });
}
