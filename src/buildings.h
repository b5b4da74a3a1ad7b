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
    // What the bars show: set per frame, never read by the tick.
    float displayProgress = 0.0f;
    float displayHp = 0.0f;
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

// ---- Building registry: indexes by id and by tile, selection, queries, removal and starting bases ----

#include <cstddef>
#include <unordered_map>

enum class BuildingType : int32_t {
    None = 0,
    OrcTownHall = 1,
    OrcFarm = 2,
    OrcBarracks = 3,
    OrcBlacksmith = 4,
    OrcWatchTower = 5,
    OrcLumberMill = 6,
    OrcFoundry = 7,
    OrcGoblinAlchemist = 8,
    OrcShipyard = 9,
    OrcOgreMound = 10,
    OrcDragonRoost = 11,
    OrcTempleOfTheDamned = 12,
    OrcStronghold = 13,
    OrcFortress = 14,
    OrcAltarOfStorms = 15,
    HumanTownHall = 16,
    HumanFarm = 17,
    HumanBarracks = 18,
    HumanBlacksmith = 19,
    HumanScoutTower = 20,
    HumanLumberMill = 21,
    HumanFoundry = 22,
    HumanChurch = 23,
    HumanShipyard = 24,
    HumanStables = 25,
    HumanMageTower = 26,
    HumanGryphonAviary = 27,
    HumanKeep = 28,
    HumanCastle = 29,
    HumanGnomishInventor = 30,
};

// The catalogue key of a built-in type; "None" for any value outside the table.
std::string toString(BuildingType type);

extern const std::vector<BuildingType> humanBuildingDrawOrder;
extern const std::vector<BuildingType> orcBuildingDrawOrder;
// The orc table only for exactly "Orc".
const std::vector<BuildingType>& getBuildingDrawOrder(const std::string& race);

struct Tower {
    int buildingId = -1;
    float attackRate = 1.0f;  // shots per second
    int damage = 4;
    float cooldownTimer = 0.0f;  // seconds since the last shot
    float range = 6.0f;          // tiles
    int targetId = -1;
};

extern std::vector<Tower> towers;

// Defined with the building tick and towers; the damage code calls them.
// The first tower of the building, or null.
Tower* getTowerByBuildingId(int id);
// Lights the first fire spots by the hit-point ratio: 3 below 0.25, 2 below 0.4, 1 below 0.6, else none.
void updateFireActivation(Building& b);

// Supply cap a completed supply building adds, and takes back when it is removed.
constexpr int SUPPLY_PER_BUILDING = 5;

extern std::unordered_map<int, std::size_t> buildingIdToIndex;
// packTile(x, y) -> ids of the buildings whose footprint covers the tile, in the order they were added.
extern std::unordered_map<uint64_t, std::vector<int>> tileToBuildings;
extern std::vector<int> selectedBuildings;
extern std::unordered_set<int> selectedBuildingsSet;
// Queued during a tick, removed at its end, each id once.
extern std::vector<int> buildingsToRemove;

// x in the high half, y (as unsigned 32 bits) in the low half.
uint64_t packTile(int x, int y);
// Drops one occurrence of id from the tile's list by moving the last id into its place; an emptied list goes.
void removeFromTileIndex(std::unordered_map<uint64_t, std::vector<int>>& index, const V2i& tile, int id);
// The world rectangle of w x h tiles at tile (x, y), both ends inclusive.
bool tileRectContains(int x, int y, int w, int h, const SDL_FPoint& p);

// The stored copy; valid only until buildings next grows or shrinks.
Building* addBuilding(const Building& b);
Building* getBuildingById(int id);
// First in insertion order whose footprint holds the tile.
Building* getBuildingAt(const V2i& tile);
// Both ends inclusive; w and h are the size in tiles to test.
bool buildingContains(const Building& b, const SDL_FPoint& p, int w, int h);
SDL_FPoint buildingCenter(const Building* b);

// Each building once, at its first sighting.
std::vector<Building*> getBuildingsInTiles(const std::vector<V2i>& tiles, int);
// One entry per footprint tile within r of the centre tile, so a building may be listed several times.
std::vector<Building*> getBuildingsInRange(const V2i& centre, int r);

// 0 for a type never counted or an unknown player; the counts are not changed.
int getBuildingCount(const std::string& type, int playerId);
int getUnderConstructionCount(const std::string& type, int playerId);
// A missing type is entered with count 0.
bool hasBuilding(const std::string& type, int playerId);
bool buildingHasUpgrades(const std::string& type);

void addBuildingToSelection(int id);
void removeBuildingFromSelection(int id);
void clearBuildingSelection();
bool isBuildingSelected(int id);
Building* getFirstSelectedBuilding();

// Whether every tile of the type's footprint from its top-left tile carries the effect the type needs to stand on;
// true for a type that needs none.
bool footprintHasRequiredEffect(const BuildingInfo& info, V2i tile);

// A sub-tile on the map; false for one off it and for a missing building.
bool setRallyPoint(const Grid& grid, Building* b, V2i p);

void removeBuildingFromTiles(int id);
// Once per tick, after the unit removals; the session reset queues every building and calls it too.
void processBuildingRemovals(Grid& grid);

// The race's base building, completed, with its top-left tile at (x, y), and outside Extraction three workers.
void spawnBase(Grid& grid, int x, int y, int playerId);

// ---- Building tick, fire and towers ----

// Per tick, in vector order: queues a completed building that has fallen below one hit point for removal (its
// recruits let go), and starts the training of each recruit that has reached its building and can be paid for.
void updateBuildings(float dt, Grid& grid);
void updateBuilding(Building& b, float dt, Grid& grid);

// Per frame: the burning spots step through their four frames every 0.1 s.
void updateFireAnimation(Building& b, float dt);
// An unknown id changes nothing; lights no fire and removes nothing.
void decreaseBuildingHp(int id, int amount);

void addTower(const Tower& t);
// The nearest living unit or building of another owner within range (world units) of the tower's centre; among
// equals the one met last, units before buildings. -1 when none.
int findNewTargetForTower(Building* tower, float range);
// Per tick: each completed, standing tower keeps or re-picks its target and shoots an arrow when its cooldown
// has run.
void updateTowers(float dt, Grid& grid);
