// Upgrades: the upgrade catalogue, its icons, the research lists of buildings and the research prerequisites.
#include "upgrades.h"

#include <iostream>

#include "races.h"
#include "textures.h"

using nlohmann::json;

std::unordered_map<std::string, UnitUpgrade> upgrades;
std::unordered_map<std::string, std::vector<std::string>> buildingResearchTree;
std::unordered_map<std::string, UpgradeRequirement> upgradeRequirements;

UpgradeType stringToUpgradeType(const std::string& text) {
    static const char* const names[] = {"None", "Piercing", "Defense", "Speed", "Sight", "Range", "Tier"};
    for (int i = 1; i <= 6; ++i)
        if (text == names[i]) return static_cast<UpgradeType>(i);
    return UpgradeType::None;
}

static UnitUpgrade readUpgrade(const json& record) {
    UnitUpgrade upgrade;
    upgrade.id = requiredString(record, "id");
    if (record.contains("unitNames")) upgrade.unitNames = record.at("unitNames").get<std::vector<std::string>>();
    upgrade.bonus = requiredInt(record, "bonus");
    upgrade.type = stringToUpgradeType(requiredString(record, "type"));
    upgrade.category = stringToUnitCategory(requiredString(record, "category"));
    upgrade.time = requiredInt(record, "time");
    upgrade.woodCost = requiredInt(record, "woodCost");
    upgrade.goldCost = requiredInt(record, "goldCost");
    upgrade.name = requiredString(record, "name");
    upgrade.transformTo = jsonString(record, "transformTo", "");
    return upgrade;
}

static void loadUpgradeRecord(const json& record) {
    UnitUpgrade upgrade = readUpgrade(record);
    const std::string id = upgrade.id;
    upgrades.emplace(id, std::move(upgrade));
    upgradeTextures[id] = LoadTexture(jsonString(record, "texture", ""));
    for (const std::string& building : requiredStrings(record, "buildings")) buildingResearchTree[building].push_back(id);
}

void loadUpgradesFromJson(const std::string& path) {
    json doc;
    if (!readCatalogueFile(path, doc)) {
        std::cerr << "Could not open upgrades file: " << path << "\n";
        return;
    }
    requireObject(doc);
    const auto records = doc.find("upgrades");
    if (records != doc.end() && !records->is_null())
        for (const json& record : records->get_ref<const json::array_t&>()) loadUpgradeRecord(record);

    const auto requirements = doc.find("upgradeRequirements");
    if (requirements == doc.end()) {
        std::cerr << "No 'upgradeRequirements' section found in " << path << "\n";
        return;
    }
    for (const json& record : requirements->get_ref<const json::array_t&>()) {
        const std::string id = requiredString(record, "id");
        UpgradeRequirement requirement;
        requirement.tier = jsonInt(record, "tier", 1);
        requirement.requires = jsonStrings(record, "requires");
        upgradeRequirements[id] = requirement;
    }
}
