// Upgrades: the upgrade catalogue, its icons, the research lists of buildings and the research prerequisites.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "units.h"

enum class UpgradeType : int32_t { None = 0, Piercing = 1, Defense = 2, Speed = 3, Sight = 4, Range = 5, Tier = 6 };

class Upgrade {
public:
    virtual ~Upgrade() = default;

    std::string id;
    std::string name;
    std::vector<std::string> unitNames;
    std::string transformTo;
    int32_t goldCost = 0;
    int32_t woodCost = 0;
    int32_t time = 0;
    UnitCategory category = UnitCategory::Ground;
};

class UnitUpgrade : public Upgrade {
public:
    UpgradeType type = UpgradeType::None;
    int32_t bonus = 0;
};

struct UpgradeRequirement {
    std::vector<std::string> requires;
    int32_t tier = 1;
};

// The first definition of an id wins.
extern std::unordered_map<std::string, UnitUpgrade> upgrades;
// Building type to the ids of the upgrades researched there, once per listing. Ids, not pointers: the race
// chain empties `upgrades` on every load while these lists live on.
extern std::unordered_map<std::string, std::vector<std::string>> buildingResearchTree;
extern std::unordered_map<std::string, UpgradeRequirement> upgradeRequirements;

UpgradeType stringToUpgradeType(const std::string& text);

void loadUpgradesFromJson(const std::string& path);
