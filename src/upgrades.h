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

// ---- Research: the upgrades players hold, research orders, and the one rule by which upgrades change units ----

#include <set>

struct Building;

// Player id -> the upgrades it has researched; ordered so every walk over a set is the same on every peer.
extern std::unordered_map<int, std::set<std::string>> playerUpgrades;

// Forgets every researched upgrade; a new match starts without the last one's research, since player ids
// outlive matches.
void resetResearch();

// Same movement category, and the unit's type listed when the upgrade names types.
bool upgradeAppliesTo(const UnitUpgrade& upgrade, const Unit& unit);
// Adds the bonus to the statistic the upgrade's type names; a Tier upgrade changes no unit. Derived per-tick
// values are left as they are.
void applyUpgradeBonus(const UnitUpgrade& upgrade, Unit& unit);
// Gives a unit entering the world every upgrade its owner holds that applies to it.
void applyHeldUpgrades(Unit& unit);

// The research order: checks the price, the prerequisites, that the completed building offers the upgrade and does
// not have it queued already, then queues it and charges the owner. False, with nothing changed, on any refusal.
bool researchUpgrade(Building* building, const std::string& id);
// Appends a research task unless the upgrade is already queued at the building ("upgrade already in queue: ").
bool addResearch(Building& building, const std::string& id);
// A research task has run its time: the owner holds the upgrade, and it changes the owner's units or, for Tier,
// turns the building into its next type.
void completeResearch(Building& building, const std::string& id);
