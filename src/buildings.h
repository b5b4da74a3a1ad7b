// Buildings: the building catalogue and its requirement tables, the building record and the building behaviour.
#pragma once

// ---- Building catalogue: types, requirements, trainable units and placement start.
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "map.h"
#include "sprites.h"

struct FireSpot {
    int32_t x = 0;
    int32_t y = 0;
    int32_t frame = 0;
    float timer = 0.0f;
    bool active = false;
};

struct BuildingInfo {
    std::string type;
    std::string race;
    std::string displayName;
    int32_t wTiles = 1;
    int32_t hTiles = 1;
    int32_t sight = 7;
    Tile walkable = Tile::Grass;
    float buildTime = 1.0f;
    float hp = 100.0f;
    int32_t goldCost = 0;
    int32_t woodCost = 0;
    bool hasProduction = false;
    std::vector<FireSpot> fireSpots;
    bool supply = false;
    int32_t tier = 0;
    std::optional<std::string> requiresEffect;
    std::optional<std::string> providesEffect;
    int32_t effectRadius = 0;
    bool base = false;
    bool oilDeposit = false;
};

struct BuildingRequirement {
    std::vector<std::string> requiredBuildings;
    int32_t requiredTier = 1;
};

struct UnitRequirement {
    std::vector<std::string> requiredBuildings;
    int32_t requiredTier = 0;
};

extern std::unordered_map<std::string, BuildingInfo> buildingInfo;
extern std::unordered_map<std::string, BuildingRequirement> buildingRequirements;
extern std::unordered_map<std::string, UnitRequirement> unitRequirements;
// Building type to the unit types it trains, in load order; lists of several folders are joined.
extern std::unordered_map<std::string, std::vector<std::string>> buildingUnits;

void loadBuildings(const std::string& path, const std::string& race);
void loadBuildingRequirements(const std::string& path);
void loadUnitRequirements(const std::string& path);
void loadBuildingUnits(const std::string& path);

// Enters placement of the type: raises the flag, names the ghost's type and gives it the type's translucent
// sprite sized to the footprint. A type missing from the catalogues is refused with one error line.
void startPlacingBuilding(std::string& ghostBuildingType, Sprite& ghostSprite, bool& placingBuilding,
                          std::string buildingType);
// ---- End of building catalogue.

// ---- Stand-in until the world model lands: the building record fields the content catalogue uses.
// Replaced whole on merge by the world model's Building.
struct Building {
    int id = -1;
    int playerId = -1;
    std::string type;
};
// ---- End of stand-in.
