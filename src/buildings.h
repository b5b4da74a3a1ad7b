// Buildings: the building catalogue and its requirement tables, the building record and the live buildings.
#pragma once

#include <SDL2/SDL.h>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "entity.h"
#include "map.h"
#include "sprites.h"
#include "utils.h"

// A flame drawn on a damaged building; x and y come from the catalogue.
struct FireSpot {
    int x = 0;
    int y = 0;
    int frame = 0;
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

// A recruit ordered at a building that has not started training yet.
struct QueuedUnit {
    std::string unitType;
    int unitId = -1;  // the recruit walking to the building
    bool waitingForRecruit = true;
    bool started = false;
};

enum class TrainingKind : int32_t { Unit = 1, Research = 2 };

// One entry of a production queue; the front entry is the one in progress.
struct TrainingTask {
    TrainingKind kind = TrainingKind::Unit;
    std::string unitType;
    int unitId = -1;  // id the trained unit will bear
    std::string upgradeName;
    float duration = 0.0f;  // seconds
    float elapsed = 0.0f;
    int buildingId = -1;  // the building that runs the task, by id so it survives reallocation
};

struct Building : Attackable {
    std::string type;
    int playerId = -1;
    int x = 0;  // top-left tile of the footprint
    int y = 0;
    int wTiles = 1;
    int hTiles = 1;
    bool completed = false;
    float buildTime = 0.0f;  // seconds of construction at game speed 1
    float progress = 0.0f;   // seconds of construction done
    float previousProgress = 0.0f;
    Tile walkable = Tile::Grass;
    std::vector<FireSpot> fireSpots;
    int sight = 0;
    bool hasProduction = false;
    bool providesSupply = false;
    float maxHp = 0.0f;
    float prevHp = 0.0f;  // hit points before the last change
    V2i rallyPoint{0, 0};
    bool hasRallyPoint = false;
    std::vector<V2i> footprintTiles;
    std::vector<QueuedUnit> queuedUnits;
    std::vector<TrainingTask> productionQueue;
    std::unordered_set<std::string> researched;  // upgrade names started or finished here

    void takeDamage(int amount) override;
    void computeNearbyTiles() override;
    void computeNearbyTiles(float range) override;
    bool isBuilding() const override { return true; }
    SDL_FPoint getWorldPos() const override;
    V2i getTile() const override { return {x, y}; }
};

// Every building of the session by value, construction sites included, in insertion order.
extern std::vector<Building> buildings;
