// Buildings: the building catalogue and its requirement tables, the building record and the live buildings.
#include "buildings.h"

#include <iostream>

#include "config.h"
#include "races.h"
#include "utils.h"

using nlohmann::json;

std::unordered_map<std::string, BuildingInfo> buildingInfo;
std::unordered_map<std::string, BuildingRequirement> buildingRequirements;
std::unordered_map<std::string, UnitRequirement> unitRequirements;
std::unordered_map<std::string, std::vector<std::string>> buildingUnits;

static std::vector<FireSpot> readFireSpots(const json& entry) {
    std::vector<FireSpot> spots;
    const auto it = entry.find("fireSpots");
    if (it == entry.end() || it->is_null()) return spots;
    for (const json& pair : it->get_ref<const json::array_t&>()) {
        FireSpot spot;
        spot.x = jsonToInt(pair.at(0));
        spot.y = jsonToInt(pair.at(1));
        spots.push_back(spot);
    }
    return spots;
}

static BuildingInfo readBuildingInfo(const std::string& type, const std::string& race, const json& entry) {
    BuildingInfo info;
    info.type = type;
    info.race = race;
    info.displayName = jsonString(entry, "displayName", type);
    info.wTiles = jsonInt(entry, "wTiles", 1);
    info.hTiles = jsonInt(entry, "hTiles", 1);
    info.sight = jsonInt(entry, "sight", 7);
    info.walkable = jsonString(entry, "walkable", "Grass") == "Water" ? Tile::Water : Tile::Grass;
    info.buildTime = DEBUG_MODE ? 10.0f : jsonFloat(entry, "buildTime", 1.0f);
    info.hp = static_cast<float>(jsonInt(entry, "hp", 100));
    info.goldCost = jsonInt(entry, "goldCost", 0);
    info.woodCost = jsonInt(entry, "woodCost", 0);
    info.hasProduction = jsonBool(entry, "hasProduction", false);
    info.supply = jsonBool(entry, "supply", false);
    info.tier = jsonInt(entry, "tier", 0);
    info.base = jsonBool(entry, "base", false);
    info.oilDeposit = jsonBool(entry, "oilDeposit", false);
    info.fireSpots = readFireSpots(entry);
    if (entry.contains("requiresEffect")) info.requiresEffect = entry.at("requiresEffect").get<std::string>();
    if (entry.contains("providesEffect")) {
        const json& provides = entry.at("providesEffect");
        info.providesEffect = jsonString(provides, "tag", "");
        info.effectRadius = jsonInt(provides, "radius", 0);
    }
    return info;
}

void loadBuildings(const std::string& path, const std::string& race) {
    const json doc = Utils::loadJsonFile(path);
    if (doc.empty()) {
        std::cerr << "Building data is empty. Check file: " << path << "\n";
        return;
    }
    for (const auto& [type, entry] : doc.items()) buildingInfo[type] = readBuildingInfo(type, race, entry);
}

void loadBuildingRequirements(const std::string& path) {
    json doc;
    if (!readCatalogueFile(path, doc)) {
        std::cerr << "Failed to open building requirements JSON: " << path << "\n";
        return;
    }
    for (const auto& [type, entry] : doc.items()) {
        BuildingRequirement requirement;
        requirement.requiredTier = jsonInt(entry, "requiredTier", 1);
        requirement.requiredBuildings = jsonStrings(entry, "requiredBuildings");
        buildingRequirements[type] = requirement;
    }
}

void loadUnitRequirements(const std::string& path) {
    json doc;
    if (!readCatalogueFile(path, doc)) {
        std::cerr << "Could not open unit requirements file: " << path << "\n";
        return;
    }
    for (const auto& [type, entry] : doc.items()) {
        UnitRequirement requirement;
        requirement.requiredBuildings = jsonStrings(entry, "requiredBuildings");
        requirement.requiredTier = requiredInt(entry, "requiredTier");
        unitRequirements[type] = requirement;
    }
}

void loadBuildingUnits(const std::string& path) {
    json doc;
    if (!readCatalogueFile(path, doc)) {
        std::cerr << "Could not open building units file: " << path << "\n";
        return;
    }
    for (const auto& [type, list] : doc.items())
        for (const std::string& unitType : list.get<std::vector<std::string>>()) buildingUnits[type].push_back(unitType);
}

void startPlacingBuilding(std::string& ghostBuildingType, Sprite& ghostSprite, bool& placingBuilding,
                          std::string buildingType) {
    const auto sprite = buildingSprites.find(buildingType);
    const auto info = buildingInfo.find(buildingType);
    if (sprite == buildingSprites.end() || info == buildingInfo.end()) {
        std::cerr << "[startPlacingBuilding] Unknown building type: " << buildingType << "\n";
        return;
    }
    placingBuilding = true;
    ghostBuildingType = buildingType;

    const SpriteAnimation& animation = sprite->second.animation;
    ghostSprite.texture = sprite->second.sprite.texture;
    ghostSprite.src = SDL_Rect{0, 0, animation.frameWidth, animation.frameHeight};
    ghostSprite.color = SDL_Color{255, 255, 255, 150};
    if (!ghostSprite.texture) return;
    SDL_SetTextureColorMod(ghostSprite.texture, 255, 255, 255);
    SDL_SetTextureAlphaMod(ghostSprite.texture, 150);
    const SDL_FPoint size = ghostSprite.getSize();
    if (size.x <= 0.0f || size.y <= 0.0f) return;
    const float tile = static_cast<float>(TILE_SIZE);
    ghostSprite.setScale(static_cast<float>(info->second.wTiles) * tile / size.x,
                         static_cast<float>(info->second.hTiles) * tile / size.y);
}

std::vector<Building> buildings;

void Building::takeDamage(int amount) { hp = hpAfterDamage(hp, maxHp, amount); }

SDL_FPoint Building::getWorldPos() const {
    return {static_cast<float>(x * TILE_SIZE) + static_cast<float>(wTiles * TILE_SIZE) * 0.5f,
            static_cast<float>(y * TILE_SIZE) + static_cast<float>(hTiles * TILE_SIZE) * 0.5f};
}

void Building::computeNearbyTiles() {
    nearbyTiles.clear();
    int bx = x * 4;
    int by = y * 4;
    int w = footprintSubTiles(wTiles, 4);
    int h = footprintSubTiles(hTiles, 4);
    for (int i = bx - 1; i <= bx + w; ++i) nearbyTiles.push_back({i, by - 1});
    for (int i = bx - 1; i <= bx + w; ++i) nearbyTiles.push_back({i, by + h});
    for (int j = by; j < by + h; ++j) nearbyTiles.push_back({bx - 1, j});
    for (int j = by; j < by + h; ++j) nearbyTiles.push_back({bx + w, j});
}

void Building::computeNearbyTiles(float range) {
    nearbyTiles.clear();
    V2i tile = getTile();
    int r = reachInSubTiles(range);
    int x0 = tile.x * SUBDIVISIONS;
    int y0 = tile.y * SUBDIVISIONS;
    int x1 = x0 + footprintSubTiles(wTiles, SUBDIVISIONS) - 1;
    int y1 = y0 + footprintSubTiles(hTiles, SUBDIVISIONS) - 1;
    for (int sx = x0 - r; sx <= x1 + r; ++sx)
        for (int sy = y0 - r; sy <= y1 + r; ++sy)
            if (sx < x0 || sx > x1 || sy < y0 || sy > y1) nearbyTiles.push_back({sx, sy});
}

// ---- Building registry: indexes by id and by tile, selection, queries, removal and starting bases ----

#include <algorithm>
#include <cmath>
#include <iostream>
#include <iterator>
#include <unordered_set>

#include "effect_grid.h"
#include "extraction.h"
#include "game_state.h"
#include "player.h"
#include "units.h"
#include "upgrades.h"

std::vector<Tower> towers;
std::unordered_map<int, std::size_t> buildingIdToIndex;
std::unordered_map<uint64_t, std::vector<int>> tileToBuildings;
std::vector<int> selectedBuildings;
std::unordered_set<int> selectedBuildingsSet;
std::vector<int> buildingsToRemove;

const std::vector<BuildingType> humanBuildingDrawOrder = {
    BuildingType::HumanFarm,          BuildingType::HumanBarracks,     BuildingType::HumanBlacksmith,
    BuildingType::HumanScoutTower,    BuildingType::HumanLumberMill,   BuildingType::HumanFoundry,
    BuildingType::HumanChurch,        BuildingType::HumanShipyard,     BuildingType::HumanStables,
    BuildingType::HumanTownHall,      BuildingType::HumanMageTower,    BuildingType::HumanGryphonAviary,
    BuildingType::HumanKeep,          BuildingType::HumanCastle,
};

const std::vector<BuildingType> orcBuildingDrawOrder = {
    BuildingType::OrcFarm,          BuildingType::OrcBarracks,        BuildingType::OrcBlacksmith,
    BuildingType::OrcWatchTower,    BuildingType::OrcLumberMill,      BuildingType::OrcFoundry,
    BuildingType::OrcGoblinAlchemist, BuildingType::OrcShipyard,      BuildingType::OrcOgreMound,
    BuildingType::OrcTownHall,      BuildingType::OrcDragonRoost,     BuildingType::OrcTempleOfTheDamned,
    BuildingType::OrcStronghold,    BuildingType::OrcFortress,        BuildingType::OrcAltarOfStorms,
};

std::string toString(BuildingType type) {
    static const char* const names[] = {
        "None",          "OrcTownHall",       "OrcFarm",          "OrcBarracks",
        "OrcBlacksmith", "OrcWatchTower",     "OrcLumberMill",    "OrcFoundry",
        "OrcGoblinAlchemist", "OrcShipyard",  "OrcOgreMound",     "OrcDragonRoost",
        "OrcTempleOfTheDamned", "OrcStronghold", "OrcFortress",   "OrcAltarOfStorms",
        "HumanTownHall", "HumanFarm",         "HumanBarracks",    "HumanBlacksmith",
        "HumanScoutTower", "HumanLumberMill", "HumanFoundry",     "HumanChurch",
        "HumanShipyard", "HumanStables",      "HumanMageTower",   "HumanGryphonAviary",
        "HumanKeep",     "HumanCastle",       "HumanGnomishInventor",
    };
    const int index = static_cast<int>(type);
    if (index < 0 || index >= static_cast<int>(std::size(names))) return "None";
    return names[index];
}

const std::vector<BuildingType>& getBuildingDrawOrder(const std::string& race) {
    return race == "Orc" ? orcBuildingDrawOrder : humanBuildingDrawOrder;
}

uint64_t packTile(int x, int y) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(x)) << 32) | static_cast<uint32_t>(y);
}

void removeFromTileIndex(std::unordered_map<uint64_t, std::vector<int>>& index, const V2i& tile, int id) {
    const auto listed = index.find(packTile(tile.x, tile.y));
    if (listed == index.end()) return;
    std::vector<int>& ids = listed->second;
    const auto it = std::find(ids.begin(), ids.end(), id);
    if (it == ids.end()) return;
    *it = ids.back();
    ids.pop_back();
    if (ids.empty()) index.erase(listed);
}

bool tileRectContains(int x, int y, int w, int h, const SDL_FPoint& p) {
    const int left = x * TILE_SIZE;
    const int top = y * TILE_SIZE;
    return static_cast<float>(left) <= p.x && p.x <= static_cast<float>(left + w * TILE_SIZE) &&
           static_cast<float>(top) <= p.y && p.y <= static_cast<float>(top + h * TILE_SIZE);
}

Building* addBuilding(const Building& b) {
    buildings.push_back(b);
    Building& stored = buildings.back();
    buildingIdToIndex[stored.id] = buildings.size() - 1;
    // Shown as it is until the next frame's display update.
    stored.displayHp = stored.hp;
    stored.displayProgress = stored.progress;
    stored.footprintTiles.clear();
    for (int i = 0; i < stored.wTiles; ++i)
        for (int j = 0; j < stored.hTiles; ++j) stored.footprintTiles.push_back({stored.x + i, stored.y + j});
    for (const V2i& t : stored.footprintTiles) tileToBuildings[packTile(t.x, t.y)].push_back(stored.id);
    return &stored;
}

Building* getBuildingById(int id) {
    const auto it = buildingIdToIndex.find(id);
    if (it == buildingIdToIndex.end() || it->second >= buildings.size()) return nullptr;
    return &buildings[it->second];
}

static bool footprintHolds(const Building& b, const V2i& tile) {
    return tile.x >= b.x && tile.y >= b.y && int64_t{tile.x} < int64_t{b.x} + b.wTiles &&
           int64_t{tile.y} < int64_t{b.y} + b.hTiles;
}

Building* getBuildingAt(const V2i& tile) {
    for (Building& b : buildings)
        if (footprintHolds(b, tile)) return &b;
    return nullptr;
}

bool buildingContains(const Building& b, const SDL_FPoint& p, int w, int h) {
    return tileRectContains(b.x, b.y, w, h, p);
}

SDL_FPoint buildingCenter(const Building* b) {
    const float t = static_cast<float>(TILE_SIZE);
    return SDL_FPoint{(static_cast<float>(b->x) + static_cast<float>(b->wTiles) * 0.5f) * t,
                      (static_cast<float>(b->y) + static_cast<float>(b->hTiles) * 0.5f) * t};
}

std::vector<Building*> getBuildingsInTiles(const std::vector<V2i>& tiles, int) {
    std::vector<Building*> found;
    found.reserve(32);
    std::unordered_set<int> seen;
    for (const V2i& tile : tiles) {
        const auto listed = tileToBuildings.find(packTile(tile.x, tile.y));
        if (listed == tileToBuildings.end()) continue;
        for (int id : listed->second) {
            if (!seen.insert(id).second) continue;
            if (Building* b = getBuildingById(id)) found.push_back(b);
        }
    }
    return found;
}

std::vector<Building*> getBuildingsInRange(const V2i& centre, int r) {
    std::vector<Building*> found;
    for (Building& b : buildings)
        for (int i = 0; i < b.wTiles; ++i)
            for (int j = 0; j < b.hTiles; ++j) {
                const float dx = static_cast<float>(b.x + i - centre.x);
                const float dy = static_cast<float>(b.y + j - centre.y);
                if (static_cast<float>(r) >= std::sqrt(dx * dx + dy * dy)) found.push_back(&b);
            }
    return found;
}

static int countOf(const std::unordered_map<std::string, int>& counts, const std::string& type) {
    const auto it = counts.find(type);
    return it == counts.end() ? 0 : it->second;
}

bool buildingHasUpgrades(const std::string& type) {
    const auto it = buildingResearchTree.find(type);
    return it != buildingResearchTree.end() && !it->second.empty();
}

int getBuildingCount(const std::string& type, int playerId) {
    const Player* p = getPlayerById(playerId);
    return p ? countOf(p->completedBuildings, type) : 0;
}

int getUnderConstructionCount(const std::string& type, int playerId) {
    const Player* p = getPlayerById(playerId);
    return p ? countOf(p->underConstruction, type) : 0;
}

// A lookup only: an entry it made would change the world checksum, which hashes these counts.
bool hasBuilding(const std::string& type, int playerId) { return getBuildingCount(type, playerId) > 0; }

void addBuildingToSelection(int id) {
    if (selectedBuildingsSet.insert(id).second) selectedBuildings.push_back(id);
}

void removeBuildingFromSelection(int id) {
    if (selectedBuildingsSet.erase(id) == 0) return;
    const auto it = std::find(selectedBuildings.begin(), selectedBuildings.end(), id);
    if (it != selectedBuildings.end()) selectedBuildings.erase(it);
}

void clearBuildingSelection() {
    selectedBuildings.clear();
    selectedBuildingsSet.clear();
}

bool isBuildingSelected(int id) { return selectedBuildingsSet.count(id) != 0; }

Building* getFirstSelectedBuilding() {
    return selectedBuildings.empty() ? nullptr : getBuildingById(selectedBuildings.front());
}


bool footprintHasRequiredEffect(const BuildingInfo& info, V2i tile) {
    if (!info.requiresEffect) return true;
    for (int dy = 0; dy < info.hTiles; ++dy)
        for (int dx = 0; dx < info.wTiles; ++dx)
            if (!effectGrid.hasTag({tile.x + dx, tile.y + dy}, *info.requiresEffect)) return false;
    return true;
}

bool setRallyPoint(const Grid&, Building* b, V2i p) {
    if (!b || !isValidSubTile(p)) return false;
    b->rallyPoint = p;
    b->hasRallyPoint = true;
    return true;
}

namespace {

void rebuildBuildingIndex() {
    buildingIdToIndex.clear();
    for (std::size_t i = 0; i < buildings.size(); ++i) buildingIdToIndex[buildings[i].id] = i;
}

void eraseBuilding(int id) {
    buildings.erase(std::remove_if(buildings.begin(), buildings.end(), [id](const Building& b) { return b.id == id; }),
                    buildings.end());
    // Kept right after every erase, so the next id of the same pass finds its own building.
    rebuildBuildingIndex();
}

void releaseFromOwner(const Building& b) {
    Player* owner = getPlayerById(b.playerId);
    if (!owner) return;
    auto& ids = owner->buildingIds;
    ids.erase(std::remove(ids.begin(), ids.end(), b.id), ids.end());
    if (!b.completed) {
        owner->underConstruction[b.type] -= 1;
        return;
    }
    owner->completedBuildings[b.type] -= 1;
    if (b.providesSupply) owner->supplyCap -= SUPPLY_PER_BUILDING;
}

void releaseBuilding(Building& b, Grid& grid) {
    releaseFromOwner(b);
    // Only a completed building spread its effect; a site taking it away would strip a neighbour's tag.
    const auto info = buildingInfo.find(b.type);
    if (b.completed && info != buildingInfo.end() && info->second.providesEffect)
        effectGrid.removeEffectArea(*info->second.providesEffect, {b.x, b.y}, info->second.effectRadius);
    b.productionQueue.clear();
    unblockArea(grid, {b.x, b.y}, b.wTiles, b.hTiles);
    towers.erase(std::remove_if(towers.begin(), towers.end(), [&b](const Tower& t) { return t.buildingId == b.id; }),
                 towers.end());
}

}  // namespace

void removeBuildingFromTiles(int id) {
    const Building* b = getBuildingById(id);
    if (!b) return;
    for (const V2i& t : b->footprintTiles) removeFromTileIndex(tileToBuildings, t, id);
}

void processBuildingRemovals(Grid& grid) {
    if (buildingsToRemove.empty()) return;
    std::sort(buildingsToRemove.begin(), buildingsToRemove.end());
    buildingsToRemove.erase(std::unique(buildingsToRemove.begin(), buildingsToRemove.end()), buildingsToRemove.end());
    for (int id : buildingsToRemove) {
        removeBuildingFromTiles(id);
        removeBuildingFromSelection(id);
        if (Building* b = getBuildingById(id)) releaseBuilding(*b, grid);
        eraseBuilding(id);
    }
    buildingsToRemove.clear();
}

namespace {

// The first matching record in key order, so every peer picks the same one.
template <typename Info, typename Match>
const Info* firstByKey(const std::unordered_map<std::string, Info>& catalogue, Match match) {
    const Info* found = nullptr;
    const std::string* foundKey = nullptr;
    for (const auto& [key, info] : catalogue)
        if (match(info) && (!foundKey || key < *foundKey)) {
            found = &info;
            foundKey = &key;
        }
    return found;
}

Building makeBaseBuilding(const BuildingInfo& info, int x, int y, int playerId) {
    Building b;
    b.id = nextAttackableId++;
    b.type = info.type;
    b.playerId = playerId;
    b.x = x;
    b.y = y;
    b.wTiles = info.wTiles;
    b.hTiles = info.hTiles;
    b.hp = b.maxHp = info.hp;
    b.sight = info.sight;
    // A starting base gave its owner no supply, so its removal takes none back.
    b.providesSupply = false;
    b.fireSpots = info.fireSpots;
    b.hasProduction = info.hasProduction;
    b.completed = true;
    b.computeNearbyTiles();
    return b;
}

void placeStartingWorkers(const Building& base, Player& owner) {
    const UnitInfo* worker =
        firstByKey(unitInfo, [&owner](const UnitInfo& u) { return u.worker && u.race == owner.race; });
    if (!worker) {
        std::cerr << "[UnitInfo] Unknown unit type: \n";
        return;
    }
    const int s = SUBDIVISIONS;
    for (int k = -1; k <= 1; ++k) {
        const V2i wanted{std::max(0, std::min(base.x * s + (base.wTiles * s) / 2 + k * s, SUB_MAP_W - 1)),
                         std::max(0, std::min((base.y + base.hTiles) * s + 1, SUB_MAP_H - 1))};
        const V2i at = find_nearby_clear_tile(wanted, 10);
        Unit u = newUnitFromInfo(*worker, nextAttackableId++, owner.id);
        const SDL_FPoint point = subTileWaypoint(at);
        u.x = point.x;
        u.y = point.y;
        u.hp = u.maxHp = 50.0f;
        u.occupiedSubTile = at;
        addUnit(u);
        // Reserved like any spawned unit, so no other unit walks onto a worker standing still.
        reserveTilesForUnit(u.id, u.type, at);
        owner.supplyUsed += 1;
    }
}

}  // namespace

void spawnBase(Grid& grid, int x, int y, int playerId) {
    Player* owner = getPlayerById(playerId);
    if (!owner || !owner->spawnsBase) return;
    const BuildingInfo* info =
        firstByKey(buildingInfo, [owner](const BuildingInfo& b) { return b.base && b.race == owner->race; });
    if (!info) return;
    const Building base = makeBaseBuilding(*info, x, y, playerId);
    blockArea(grid, {x, y}, base.wTiles, base.hTiles);
    addBuilding(base);
    owner->buildingIds.push_back(base.id);
    owner->completedBuildings[base.type] += 1;
    owner->baseTile = {x, y};
    if (mode == GameMode::Extraction) return;
    placeStartingWorkers(base, *owner);
}

// ---- Building tick, fire and towers ----

#include "config.h"
#include "projectiles.h"
#include "sounds.h"
#include "tech_tree.h"
#include "trainings.h"

static bool onNearbyRing(const Building& b, const Unit& u) {
    const V2i sub = worldToSubTile(u.x, u.y);
    return std::find(b.nearbyTiles.begin(), b.nearbyTiles.end(), sub) != b.nearbyTiles.end();
}

// The recruit enters and is paid for: its training task takes the id the trained unit will bear.
static void startTraining(Building& b, QueuedUnit& entry, Unit& recruit, Player& owner, const UnitInfo& info) {
    owner.recruits -= 1;
    entry.started = true;
    TrainingTask task;
    task.kind = TrainingKind::Unit;
    task.unitType = entry.unitType;
    task.unitId = nextAttackableId++;
    task.duration = DEBUG_MODE ? 10.0f : info.buildTime / GAME_SPEED;
    task.buildingId = b.id;
    b.productionQueue.push_back(task);
    owner.resources[RESOURCE_GOLD] -= info.goldCost;
    owner.resources[RESOURCE_WOOD] -= info.woodCost;
    owner.supplyUsed += info.foodCost;
    entry.waitingForRecruit = false;
    recruit.onMap = false;
    freeTileForUnit(recruit.id, recruit.type, worldToSubTile(recruit.x, recruit.y));
}

// A recruit stopped short of the building (its way blocked, or the walk given up) would hold its production
// slot for good: it is sent on again, or let go, freeing the slot, when it can no longer get there.
static bool keepsWalking(const Building& b, Unit& recruit) {
    if (!recruit.waypoints.empty() || resumeWalkToTraining(b, recruit)) return true;
    releaseRecruit(recruit);
    return false;
}

// What becomes of one waiting recruit this tick; false when its entry is to be dropped.
static bool admitRecruit(Building& b, QueuedUnit& entry) {
    Unit* recruit = getUnitById(entry.unitId);
    if (!recruit) return false;
    if (!recruit->onMap) {
        releaseRecruit(*recruit);
        return false;
    }
    if (!onNearbyRing(b, *recruit)) return keepsWalking(b, *recruit);
    const UnitInfo* info = getUnitInfo(entry.unitType);
    Player* owner = getPlayerById(b.playerId);
    if (!info || !owner) {
        releaseRecruit(*recruit);
        return false;
    }
    // It waits at the door until the owner can pay, has the supply and still has recruits.
    if (canTrainUnit(*owner, entry.unitType) && owner->recruits > 0) startTraining(b, entry, *recruit, *owner, *info);
    return true;
}

void updateBuilding(Building& b, float, Grid&) {
    if (b.completed && b.hp < 1.0f) {
        // Recruits inside are not lost with the building.
        letOccupantsOut(b);
        buildingsToRemove.push_back(b.id);
        return;
    }
    auto& queued = b.queuedUnits;
    for (size_t i = 0; i < queued.size();) {
        if (!queued[i].waitingForRecruit || admitRecruit(b, queued[i])) {
            ++i;
            continue;
        }
        queued.erase(queued.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

void updateBuildings(float dt, Grid& grid) {
    for (Building& b : buildings) updateBuilding(b, dt, grid);
}

void updateFireActivation(Building& b) {
    const float ratio = b.hp / b.maxHp;
    const size_t burning = ratio < 0.25f ? 3 : ratio < 0.4f ? 2 : ratio < 0.6f ? 1 : 0;
    for (size_t i = 0; i < b.fireSpots.size(); ++i) b.fireSpots[i].active = i < burning;
}

void updateFireAnimation(Building& b, float dt) {
    for (FireSpot& spot : b.fireSpots) {
        if (!spot.active) continue;
        spot.timer += dt;
        if (spot.timer >= 0.1f) {
            spot.timer -= 0.1f;
            spot.frame = (spot.frame + 1) % 4;
        }
    }
}

void decreaseBuildingHp(int id, int amount) {
    if (Building* b = getBuildingById(id)) b->hp -= static_cast<float>(amount);
}

void addTower(const Tower& t) { towers.push_back(t); }

Tower* getTowerByBuildingId(int id) {
    const auto found = std::find_if(towers.begin(), towers.end(), [id](const Tower& t) { return t.buildingId == id; });
    return found == towers.end() ? nullptr : &*found;
}

static float squaredDistance(SDL_FPoint a, SDL_FPoint b) {
    const float dx = a.x - b.x;
    const float dy = a.y - b.y;
    return dx * dx + dy * dy;
}

int findNewTargetForTower(Building* tower, float range) {
    if (!tower) return -1;
    const SDL_FPoint centre = buildingCenter(tower);
    int best = -1;
    float bestDistance = range * range;
    for (const Unit& u : units) {
        if (u.hp <= 0.0f || u.playerId == tower->playerId || !isAttackableInRange(centre, &u, range)) continue;
        const float d = squaredDistance(centre, SDL_FPoint{u.x, u.y});
        if (d <= bestDistance) {
            best = u.id;
            bestDistance = d;
        }
    }
    for (const Building& b : buildings) {
        if (b.hp <= 0.0f || b.id == tower->id || b.playerId == tower->playerId) continue;
        if (!isAttackableInRange(centre, &b, range)) continue;
        const float d = squaredDistance(centre, buildingCenter(&b));
        if (d <= bestDistance) {
            best = b.id;
            bestDistance = d;
        }
    }
    return best;
}

static bool keepsTarget(SDL_FPoint centre, const Attackable* target, float reach) {
    return target && target->hp > 0.0f && isAttackableInRange(centre, target, reach);
}

void updateTowers(float dt, Grid&) {
    for (Tower& t : towers) {
        const Building* b = getBuildingById(t.buildingId);
        if (!b || b->hp <= 0.0f || !b->completed) continue;
        t.cooldownTimer += dt;
        const SDL_FPoint centre = buildingCenter(b);
        const float reach = t.range * static_cast<float>(TILE_SIZE);
        const Attackable* target = getAttackableById(t.targetId);
        if (!keepsTarget(centre, target, reach)) {
            t.targetId = findNewTargetForTower(getBuildingById(t.buildingId), reach);
            target = getAttackableById(t.targetId);
        }
        if (!target || t.cooldownTimer < 1.0f / t.attackRate) continue;
        // The arrow's direction is the whole way to the target, not a unit vector.
        const SDL_FPoint aim = target->getWorldPos();
        launchProjectile("Arrow", centre, SDL_FPoint{aim.x - centre.x, aim.y - centre.y}, 5.0f * GAME_SPEED, b->id,
                         target->id);
        playSound(SoundCategory::UnitAction, "BowFire", true, centre.x, centre.y, 1);
        t.cooldownTimer = 0.0f;
    }
}
