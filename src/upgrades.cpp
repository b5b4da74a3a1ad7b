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

// ---- Research: the upgrades players hold, research orders, and the one rule by which upgrades change units ----

#include <algorithm>

#include "activity.h"
#include "buildings.h"
#include "config.h"
#include "player.h"
#include "tech_tree.h"

std::unordered_map<int, std::set<std::string>> playerUpgrades;

void resetResearch() { playerUpgrades.clear(); }

bool upgradeAppliesTo(const UnitUpgrade& upgrade, const Unit& unit) {
    if (upgrade.category != unit.category) return false;
    return upgrade.unitNames.empty() ||
           std::find(upgrade.unitNames.begin(), upgrade.unitNames.end(), unit.type) != upgrade.unitNames.end();
}

using BonusRule = void (*)(Unit&, int);

// Indexed by UpgradeType.
static const BonusRule bonusRules[] = {
    [](Unit& u, int bonus) { u.damage += bonus; },
    [](Unit& u, int bonus) { u.piercing += bonus; },
    [](Unit& u, int bonus) { u.armor += bonus; },
    [](Unit& u, int bonus) { u.movementSpeed += static_cast<float>(bonus); },
    [](Unit& u, int bonus) { u.sight += bonus; },
    [](Unit& u, int bonus) { u.range += static_cast<float>(bonus); },
    [](Unit&, int) {},
};

void applyUpgradeBonus(const UnitUpgrade& upgrade, Unit& unit) {
    const auto index = static_cast<size_t>(upgrade.type);
    if (index < std::size(bonusRules)) bonusRules[index](unit, upgrade.bonus);
}

void applyHeldUpgrades(Unit& unit) {
    const auto held = playerUpgrades.find(unit.playerId);
    if (held == playerUpgrades.end()) return;
    for (const std::string& name : held->second) {
        const auto upgrade = upgrades.find(name);
        if (upgrade != upgrades.end() && upgradeAppliesTo(upgrade->second, unit))
            applyUpgradeBonus(upgrade->second, unit);
    }
}

static bool buildingOffers(const std::string& buildingType, const std::string& id) {
    const auto offered = buildingResearchTree.find(buildingType);
    return offered != buildingResearchTree.end() &&
           std::find(offered->second.begin(), offered->second.end(), id) != offered->second.end();
}

// Two buildings finishing the same upgrade would charge it twice and apply its bonus twice.
static bool researchRunsElsewhere(const Building& building, const std::string& id) {
    return std::any_of(buildings.begin(), buildings.end(), [&](const Building& other) {
        return other.id != building.id && other.playerId == building.playerId && other.researched.count(id) != 0;
    });
}

bool researchUpgrade(Building* building, const std::string& id) {
    if (!building) return false;
    Player* owner = getPlayerById(building->playerId);
    const auto upgrade = upgrades.find(id);
    if (!owner || upgrade == upgrades.end()) return false;
    if (owner->resources[RESOURCE_GOLD] < upgrade->second.goldCost) return false;
    if (owner->resources[RESOURCE_WOOD] < upgrade->second.woodCost) return false;
    if (!canResearch(*owner, id) || !building->completed || !buildingOffers(building->type, id)) return false;
    if (researchRunsElsewhere(*building, id)) return false;
    // A refused queuing is neither charged nor reported as success.
    if (!addResearch(*building, id)) return false;
    owner->resources[RESOURCE_GOLD] -= upgrade->second.goldCost;
    owner->resources[RESOURCE_WOOD] -= upgrade->second.woodCost;
    return true;
}

bool addResearch(Building& building, const std::string& id) {
    if (building.researched.count(id) != 0) {
        std::cerr << "upgrade already in queue: " << id;
        return false;
    }
    const auto upgrade = upgrades.find(id);
    const float time = upgrade == upgrades.end() ? 0.0f : static_cast<float>(upgrade->second.time);
    TrainingTask task;
    task.kind = TrainingKind::Research;
    task.upgradeName = id;
    task.duration = DEBUG_MODE ? 10.0f : time / GAME_SPEED;
    task.buildingId = building.id;
    building.productionQueue.push_back(task);
    building.researched.insert(id);
    return true;
}

static void transformBuilding(Building& building, Player* owner, const UnitUpgrade& upgrade, float oldTypeHp) {
    // A target type the catalogue lacks would leave a building no later lookup can serve.
    if (buildingInfo.find(upgrade.transformTo) == buildingInfo.end()) {
        std::cerr << "[completeResearch] Unknown building type: " << upgrade.transformTo << "\n";
        return;
    }
    const std::string oldType = building.type;
    building.type = upgrade.transformTo;
    building.hp = oldTypeHp;
    building.maxHp = oldTypeHp;
    if (owner) {
        owner->completedBuildings[oldType] -= 1;
        owner->completedBuildings[building.type] += 1;
    }
}

void completeResearch(Building& building, const std::string& id) {
    const auto found = upgrades.find(id);
    if (found == upgrades.end()) return;
    const UnitUpgrade& upgrade = found->second;
    if (building.playerId == Player::myStaticId) {
        const auto icon = upgradeTextures.find(id);
        postActivity("Upgrade complete", icon == upgradeTextures.end() ? nullptr : icon->second);
    }
    playerUpgrades[building.playerId].insert(id);
    if (upgrade.type == UpgradeType::Tier) {
        const auto oldInfo = buildingInfo.find(building.type);
        const float oldTypeHp = oldInfo == buildingInfo.end() ? building.maxHp : oldInfo->second.hp;
        transformBuilding(building, getPlayerById(building.playerId), upgrade, oldTypeHp);
        return;
    }
    for (Unit& unit : units)
        if (unit.playerId == building.playerId && upgradeAppliesTo(upgrade, unit)) applyUpgradeBonus(upgrade, unit);
}
