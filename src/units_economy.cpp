// Units: mining claims, the harvesting cycle, civilians and critters, workers recruiting and placing.
#include "units.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>

#include "buildings.h"
#include "config.h"
#include "construction-manager.h"
#include "extraction.h"
#include "game_state.h"
#include "input_state.h"
#include "map_objects.h"
#include "player.h"
#include "projectiles.h"
#include "races.h"
#include "sounds.h"
#include "special_effects.h"
#include "spells.h"
#include "sprites.h"
#include "tech_tree.h"
#include "textures.h"
#include "trainings.h"
#include "upgrades.h"

std::unordered_map<std::string, std::string> raceToCivilianUnit;

static V2i tileOfSub(const V2i& sub) { return {sub.x / SUBDIVISIONS, sub.y / SUBDIVISIONS}; }

static constexpr V2i NOWHERE{-1, -1};

// The claim cell of a sub-tile, or null off the sub-grid or outside a table not sized for this map.
static uint32_t* miningCell(const V2i& sub) {
    if (sub.x < 0 || sub.y < 0 || sub.x >= MAP_W * SUBDIVISIONS || sub.y >= MAP_H * SUBDIVISIONS) return nullptr;
    const size_t index = static_cast<size_t>(sub.y) * static_cast<size_t>(MAP_W * SUBDIVISIONS) + sub.x;
    return index < miningOccupancy.size() ? &miningOccupancy[index] : nullptr;
}

void resetMiningOccupancy() {
    miningOccupancy.assign(static_cast<size_t>(SUB_MAP_W) * static_cast<size_t>(SUB_MAP_H), FREE_MINING_SPOT);
}

bool tryClaimMiningTile(const V2i& sub, int unitId, Grid&) {
    uint32_t* cell = miningCell(sub);
    const auto holder = static_cast<uint32_t>(unitId);
    if (!cell) return false;
    if (*cell == holder) return true;
    if (*cell != FREE_MINING_SPOT) return false;
    *cell = holder;
    return true;
}

void releaseMiningTile(const V2i& sub, int unitId, Grid&) {
    uint32_t* cell = miningCell(sub);
    if (cell && *cell == static_cast<uint32_t>(unitId)) *cell = FREE_MINING_SPOT;
}

static ResourceType resourceKindOf(const std::string& objectType) {
    return objectType == "Crystal" ? ResourceType::Crystal : ResourceType::AmberOil;
}

bool startMining(Unit& u, MapObject& object, Player& player, Grid& grid) {
    if (!u.worker || !u.onMap) return false;
    const V2i start = worldToSubTile(u.x, u.y);
    const V2i goal = findClosestAdjacentToMapObjectNotOccupied(u.mineTarget, grid, start);
    const auto path = goal == NOWHERE ? std::nullopt : astar(grid, start, goal, u.walkable, u.id, 0);
    if (path) {
        // A worker sent from one spot to another gives the first one up.
        if (u.miningSubTile != goal) releaseMiningTile(u.miningSubTile, u.id, grid);
        setUnitPath(u, *path);
        u.mining = true;
        u.state = UnitState::Moving;
        u.miningSubTile = goal;
        u.hasGoal = true;
        u.mapObjectId = object.id;
        u.goal = goal;
        u.harvestKind = resourceKindOf(object.type);
    }
    if (u.playerId == Player::myStaticId) {
        if (object.type == "AmberOil") {
            player.oilWorkers += 1;
        } else {
            player.crystalWorkers += 1;
        }
    }
    u.miningRetryTicks = 0;
    return true;
}

static void stopMining(Unit& u, Grid& grid) {
    u.mining = false;
    u.state = UnitState::Idle;
    u.mapObjectId = -1;
    releaseMiningTile(u.miningSubTile, u.id, grid);
}

bool retargetMiningUnit(Unit& u, Grid& grid, const std::vector<MapObject>& objects) {
    const V2i start = worldToSubTile(u.x, u.y);
    const V2i tile = findClosestMapObjectWithResourceType(start, u.harvestKind, objects);
    if (tile == NOWHERE) {
        stopMining(u, grid);
        return false;
    }
    const V2i goal = findClosestAdjacentToMapObjectNotOccupied(tile, grid, start);
    const auto path = goal == NOWHERE ? std::nullopt : astar(grid, start, goal, u.walkable, u.id, 0);
    if (!path) {
        stopMining(u, grid);
        return false;
    }
    u.mineTarget = tile;
    u.miningSubTile = goal;
    setUnitPath(u, *path);
    if (const MapObject* object = getMapObjectAtTile(tile, grid)) u.mapObjectId = object->id;
    u.mining = true;
    u.state = UnitState::Moving;
    u.harvestTicks = 0;
    return true;
}

// ---- Harvesting cycle ----

static int harvestTicksFor(ResourceType kind) {
    return kind == ResourceType::Crystal ? CRYSTAL_MINING_TICKS : AMBER_OIL_MINING_TICKS;
}

static bool acceptsCargo(const Building& b, ResourceType cargo) {
    if (!b.completed) return false;
    const auto info = buildingInfo.find(b.type);
    if (info == buildingInfo.end()) return false;
    return info->second.base || (cargo == ResourceType::AmberOil && info->second.oilDeposit);
}

// The owner's completed buildings that take the cargo, in the order of its list.
static std::vector<const Building*> dropOffsFor(const Unit& u) {
    std::vector<const Building*> found;
    const Player* owner = getPlayerById(u.playerId);
    if (!owner) return found;
    for (int id : owner->buildingIds) {
        const Building* b = getBuildingById(id);
        if (b && acceptsCargo(*b, u.cargoKind)) found.push_back(b);
    }
    return found;
}

// Paths the worker to the free ring sub-tile of an accepting building nearest to it, when there is one.
static void headForDropOff(Unit& u, Grid& grid, const V2i& s) {
    V2i best = NOWHERE;
    int bestDistance = 99999;
    for (const Building* b : dropOffsFor(u))
        for (const V2i& ring : b->nearbyTiles) {
            const V2i tile = tileOfSub(ring);
            if (!isValidSubTile(ring) || !grid.walkable(tile.x, tile.y, u.walkable)) continue;
            if (isSubTileReserved(ring) != FREE_SUB_TILE) continue;
            const int d = manhattan(s, ring);
            if (d < bestDistance) {
                best = ring;
                bestDistance = d;
            }
        }
    if (best == NOWHERE) return;
    if (const auto path = astar(grid, s, best, u.walkable, u.id, 0)) setUnitPath(u, *path);
}

static bool standsAtDropOff(const Unit& u, const V2i& s) {
    for (const Building* b : dropOffsFor(u))
        if (std::find(b->nearbyTiles.begin(), b->nearbyTiles.end(), s) != b->nearbyTiles.end()) return true;
    return false;
}

// The worker moves on to the nearest resource of the same type; the next spot is sought beside it.
static void moveOnFromDepleted(Unit& u, MapObject& resource, Grid& grid, const V2i& s) {
    mapObjectsToRemove.push_back(resource.id);
    unblockArea(grid, {resource.tileX, resource.tileY}, resource.wTiles, resource.hTiles);
    const ResourceFind next = findClosestResource(tileOfSub(s), resource.type, grid);
    u.miningSubTile = NOWHERE;
    if (!next.object) {
        u.mapObjectId = -1;
        return;
    }
    u.mapObjectId = next.object->id;
    // The next spot is sought beside mineTarget; left on the field just removed, that search would find nothing
    // and the worker would stand until its retry, so the target moves on with the field.
    u.mineTarget = {next.object->tileX, next.object->tileY};
}

static void loadCargo(Unit& u, MapObject& resource, Grid& grid, const V2i& s) {
    u.harvestTicks = 0;
    u.cargoKind = u.harvestKind;
    // Never more than the resource still holds.
    u.cargoAmount = std::min(u.carryCapacity, std::max(resource.amount, 0));
    u.harvestKind = ResourceType::None;
    u.state = UnitState::ReturningCargo;
    releaseMiningTile(u.miningSubTile, u.id, grid);
    resource.amount -= u.cargoAmount;
    if (resource.amount <= 0) moveOnFromDepleted(u, resource, grid, s);
}

static StepResult harvestAtSpot(Unit& u, Grid& grid, const V2i& s) {
    MapObject* resource = getMapObjectById(u.mapObjectId);
    if (s == u.miningSubTile && resource) {
        u.harvestTicks += 1;
        if (u.harvestTicks < harvestTicksFor(u.harvestKind)) return StepResult::Continue;
        loadCargo(u, *resource, grid, s);
        headForDropOff(u, grid, s);
        return StepResult::Continue;
    }
    if (s == u.miningSubTile) {
        if (u.miningRetryTicks < 1) u.miningRetryTicks = u.id % 60 + 1;
        u.miningRetryTicks -= 1;
        if (u.miningRetryTicks == 0 && !retargetMiningUnit(u, grid, mapObjects)) {
            u.mining = false;
            u.state = UnitState::Idle;
        }
        return StepResult::EndTick;
    }
    if (u.miningRetryTicks < 1) {
        u.miningRetryTicks = retargetMiningUnit(u, grid, mapObjects) ? 10 : u.miningPatienceTicks;
    } else {
        u.miningRetryTicks -= 1;
    }
    return StepResult::EndTick;
}

static void goBackToMine(Unit& u, Grid& grid, const V2i& s) {
    const V2i spot = findClosestAdjacentToMapObjectNotOccupied(u.mineTarget, grid, s);
    if (spot == NOWHERE) {
        u.mining = true;
        u.state = UnitState::Idle;
        u.miningRetryTicks = u.id % 30 + 20;
        u.waypoints.clear();
        return;
    }
    u.miningSubTile = spot;
    if (const auto path = astar(grid, s, spot, u.walkable, u.id, 0)) {
        setUnitPath(u, *path);
        u.state = UnitState::Moving;
        u.mining = true;
        return;
    }
    u.mining = false;
    u.miningRetryTicks = u.id % 20 + 10;
    u.state = UnitState::Idle;
}

static StepResult deliverCargo(Unit& u, Grid& grid, const V2i& s) {
    // A load counts only where an accepting building takes it; until then the worker keeps looking for one.
    if (!standsAtDropOff(u, s)) {
        if (u.miningRetryTicks < 1) {
            headForDropOff(u, grid, s);
            u.miningRetryTicks = u.miningPatienceTicks;
        } else {
            u.miningRetryTicks -= 1;
        }
        return StepResult::EndTick;
    }
    if (Player* owner = getPlayerById(u.playerId)) owner->resources[static_cast<size_t>(u.cargoKind)] += u.cargoAmount;
    u.harvestKind = u.cargoKind;
    u.cargoKind = ResourceType::None;
    u.cargoAmount = 0;
    goBackToMine(u, grid, s);
    return StepResult::EndTick;
}

StepResult harvestStep(Unit& u, Grid& grid) {
    const V2i s = worldToSubTile(u.x, u.y);
    if (u.harvestKind != ResourceType::None) return harvestAtSpot(u, grid, s);
    if (u.cargoKind == ResourceType::None) return StepResult::Continue;
    return deliverCargo(u, grid, s);
}

StepResult miningSpotStep(Unit& u, Grid& grid) {
    if (!u.mining || u.state == UnitState::ReturningCargo) return StepResult::Continue;
    const V2i s = worldToSubTile(u.x, u.y);
    if (s != u.miningSubTile) return StepResult::Continue;
    if (!getMapObjectById(u.mapObjectId)) {
        u.waypoints.clear();
        return StepResult::EndTick;
    }
    if (u.miningRetryTicks >= 1) {
        u.miningRetryTicks -= 1;
        return StepResult::EndTick;
    }
    if (tryClaimMiningTile(u.miningSubTile, u.id, grid)) {
        u.miningClaimFailures = 0;
        return StepResult::Continue;
    }
    u.miningClaimFailures += 1;
    u.miningRetryTicks = u.id % 15 + 10;
    if (u.miningClaimFailures >= 3) {
        u.miningClaimFailures = 0;
        u.miningRetryTicks = u.miningPatienceTicks;
        return StepResult::EndTick;
    }
    const V2i spot = findClosestAdjacentToMapObjectNotOccupied(u.mineTarget, grid, s);
    if (spot == NOWHERE) return StepResult::EndTick;
    u.miningSubTile = spot;
    if (const auto path = astar(grid, s, spot, u.walkable, u.id, 0)) setUnitPath(u, *path);
    return StepResult::EndTick;
}

// ---- Civilians and critters ----

void initializeCivilianLookup() {
    raceToCivilianUnit.clear();
    for (const auto& [type, info] : unitInfo) {
        if (!info.civilian) continue;
        const auto known = raceToCivilianUnit.find(info.race);
        if (known == raceToCivilianUnit.end() || type < known->second) raceToCivilianUnit[info.race] = type;
    }
}

Unit* findClosestAvailableCivilian(Player* player, SDL_FPoint at, const std::vector<int>& exclude) {
    if (!player) return nullptr;
    const auto civilianType = raceToCivilianUnit.find(player->race);
    if (civilianType == raceToCivilianUnit.end()) return nullptr;
    Unit* best = nullptr;
    float bestDistance = FLT_MAX;
    for (int id : player->unitIds) {
        Unit* u = getUnitById(id);
        if (!u || !u->onMap || u->assigned || u->type != civilianType->second) continue;
        if (std::find(exclude.begin(), exclude.end(), id) != exclude.end()) continue;
        const float dx = at.x - u->x;
        const float dy = at.y - u->y;
        const float d = dx * dx + dy * dy;
        if (d < bestDistance) {
            best = u;
            bestDistance = d;
        }
    }
    return best;
}


Unit spawnCritter(const std::string& type) {
    const UnitInfo* info = getUnitInfo(type);
    if (!info) {
        Unit none;
        none.type = type;
        return none;
    }
    Unit critter = newUnitFromInfo(*info, nextAttackableId++, Player::environmentId);
    critter.attackInterval = 0;
    critter.miningRetryTicks = 60;
    critter.miningPatienceTicks = 60;
    return critter;
}

int getUnitCount(const std::string& type, int playerId) {
    Player* player = getPlayerById(playerId);
    return player ? player->unitCounts[type] : 0;
}

void transformuUnit(Unit& u, const std::string& type) { u.type = type; }

// ---- Workers: recruiting and placing buildings ----

// A Train order tries this many civilians, and this many spots beside the building for each, so one order's
// path searches stay bounded within its tick.
constexpr int RECRUITS_TRIED = 4;
constexpr int SPOTS_TRIED_PER_RECRUIT = 3;
constexpr size_t PRODUCTION_QUEUE_LIMIT = 7;

static bool techAllowsInExtraction(const std::string& unitType, bool allowed) {
    if (mode != GameMode::Extraction || unitType != "Tank") return allowed;
    const auto tank = std::find_if(techTree.begin(), techTree.end(), [](const Tech& t) { return t.name == "Tank"; });
    return tank != techTree.end() && tank->unlocked;
}

// A recruit still walking becomes a task when it arrives, so it holds its slot from the order on.
static size_t productionSlotsTaken(const Building& b) {
    const auto walking = std::count_if(b.queuedUnits.begin(), b.queuedUnits.end(),
                                       [](const QueuedUnit& q) { return !q.started; });
    return b.productionQueue.size() + static_cast<size_t>(walking);
}

static bool buildingTrains(const Building& b, const std::string& unitType) {
    const auto trained = buildingUnits.find(b.type);
    return trained != buildingUnits.end() &&
           std::find(trained->second.begin(), trained->second.end(), unitType) != trained->second.end();
}

// The ring sub-tiles of the building the civilian may stand on, nearest first (equal distances in ring order).
static std::vector<V2i> recruitSpots(const Building& b, const Unit& civilian) {
    const V2i from = worldToSubTile(civilian.x, civilian.y);
    std::vector<std::pair<int64_t, V2i>> spots;
    for (const V2i& s : b.nearbyTiles) {
        const V2i tile = tileOfSub(s);
        if (!isValidSubTile(s) || !grid.walkable(tile.x, tile.y, civilian.walkable)) continue;
        const int64_t dx = s.x - from.x;
        const int64_t dy = s.y - from.y;
        spots.push_back({dx * dx + dy * dy, s});
    }
    std::stable_sort(spots.begin(), spots.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<V2i> ordered;
    for (const auto& spot : spots) ordered.push_back(spot.second);
    return ordered;
}

static std::optional<SubTilePath> pathToSpots(const Unit& civilian, const std::vector<V2i>& spots) {
    const V2i from = worldToSubTile(civilian.x, civilian.y);
    int tried = 0;
    for (const V2i& spot : spots) {
        if (tried++ == SPOTS_TRIED_PER_RECRUIT) break;
        if (auto path = astar(grid, from, spot, civilian.walkable, civilian.id, 0)) return path;
    }
    return std::nullopt;
}

static std::optional<SubTilePath> pathToBuilding(const Building& b, const Unit& civilian) {
    return pathToSpots(civilian, recruitSpots(b, civilian));
}

bool resumeWalkToTraining(const Building& b, Unit& recruit) {
    // Another unit standing on a spot is what stops a recruit short of it, so only spots free now are tried.
    std::vector<V2i> spots = recruitSpots(b, recruit);
    spots.erase(std::remove_if(spots.begin(), spots.end(),
                               [&recruit](const V2i& s) {
                                   const int holder = isSubTileReserved(s);
                                   return holder != FREE_SUB_TILE && holder != recruit.id;
                               }),
                spots.end());
    const auto path = pathToSpots(recruit, spots);
    if (!path) return false;
    setUnitPath(recruit, *path);
    recruit.walkingToTraining = true;
    return true;
}

bool trainUnit(const std::string& unitType, Building* building) {
    if (!building) return false;
    Player* owner = getPlayerById(building->playerId);
    if (!owner) return false;
    if (unitInfo.find(unitType) == unitInfo.end()) std::cerr << "[UnitInfo] Unknown unit type: " << unitType << "\n";
    if (!techAllowsInExtraction(unitType, canTrainUnit(*owner, unitType))) return false;
    if (productionSlotsTaken(*building) >= PRODUCTION_QUEUE_LIMIT || !building->completed || owner->recruits <= 0)
        return false;
    if (!buildingTrains(*building, unitType)) return false;
    const SDL_FPoint corner{static_cast<float>(building->x * TILE_SIZE), static_cast<float>(building->y * TILE_SIZE)};
    std::vector<int> excluded;
    for (int attempt = 0; attempt < RECRUITS_TRIED; ++attempt) {
        Unit* civilian = findClosestAvailableCivilian(owner, corner, excluded);
        if (!civilian) return false;
        const auto path = pathToBuilding(*building, *civilian);
        if (!path) {
            excluded.push_back(civilian->id);
            continue;
        }
        if (!path->empty()) setUnitPath(*civilian, *path);
        civilian->assigned = true;
        civilian->walkingToTraining = true;
        building->queuedUnits.push_back(QueuedUnit{unitType, civilian->id, true, false});
        return true;
    }
    return false;
}

static bool shipyardFootprintAllowed(const Grid& grid, V2i tile, const BuildingInfo& info) {
    int water = 0;
    int other = 0;
    for (int x = tile.x; x < tile.x + info.wTiles; ++x)
        for (int y = tile.y; y < tile.y + info.hTiles; ++y) {
            const Tile type = isValidTile({x, y}) ? grid.at(x, y).type : Tile::None;
            if (type == Tile::Water) ++water;
            if (type != Tile::Water && type != Tile::Grass) ++other;
        }
    return (water == 2 || water == 3) && other == 0;
}

static bool subTilesFreeFor(V2i tile, int workerId) {
    for (int sx = tile.x * 4; sx < tile.x * 4 + 4; ++sx)
        for (int sy = tile.y * 4; sy < tile.y * 4 + 4; ++sy) {
            const int holder = isSubTileReserved({sx, sy});
            if (holder != FREE_SUB_TILE && holder != workerId) return false;
        }
    return true;
}

static bool landFootprintAllowed(const Grid& grid, V2i tile, const BuildingInfo& info, int workerId) {
    for (int x = tile.x; x < tile.x + info.wTiles; ++x)
        for (int y = tile.y; y < tile.y + info.hTiles; ++y) {
            if (!isValidTile({x, y})) {
                std::cerr << "placeABuildingDown: footprint out of bounds at " << x << "," << y << "\n";
                return false;
            }
            if (!grid.walkable(x, y, Tile::Grass)) {
                std::cerr << "placeABuildingDown: blocked tile at " << x << "," << y << "\n";
                return false;
            }
            if (!subTilesFreeFor({x, y}, workerId)) return false;
        }
    return true;
}

static void countMiningWorkerOff(const Unit& worker, Player& player) {
    if (worker.harvestKind == ResourceType::Crystal || worker.cargoKind == ResourceType::Crystal)
        player.crystalWorkers -= 1;
    if (worker.harvestKind == ResourceType::AmberOil || worker.cargoKind == ResourceType::AmberOil)
        player.oilWorkers -= 1;
}

// The valid ring sub-tile just outside the footprint nearest to the worker that it may stand on.
static V2i nearestSiteEntrance(const Grid& grid, const Unit& worker, V2i tile, const BuildingInfo& info) {
    const V2i from = worldToSubTile(worker.x, worker.y);
    const int x0 = tile.x * 4;
    const int y0 = tile.y * 4;
    const int x1 = x0 + info.wTiles * 4;
    const int y1 = y0 + info.hTiles * 4;
    V2i best = NOWHERE;
    int bestDistance = 999999;
    for (int x = x0 - 1; x <= x1; ++x)
        for (int y = y0 - 1; y <= y1; ++y) {
            if (x >= x0 && x < x1 && y >= y0 && y < y1) continue;
            const V2i s{x, y};
            const V2i t = tileOfSub(s);
            if (!isValidSubTile(s) || !grid.walkable(t.x, t.y, worker.walkable)) continue;
            const int d = manhattan(s, from);
            if (d < bestDistance) {
                best = s;
                bestDistance = d;
            }
        }
    return best;
}

static Building newSite(const BuildingInfo& info, const std::string& type, V2i tile, int ownerId) {
    Building site;
    site.id = nextAttackableId++;
    site.type = type;
    site.playerId = ownerId;
    site.x = tile.x;
    site.y = tile.y;
    site.wTiles = info.wTiles;
    site.hTiles = info.hTiles;
    site.buildTime = info.buildTime;
    site.walkable = info.walkable;
    site.fireSpots = info.fireSpots;
    site.sight = info.sight;
    site.hasProduction = info.hasProduction;
    site.providesSupply = info.supply;
    site.maxHp = info.hp;
    site.hp = 0.0f;
    site.completed = false;
    return site;
}

// Building types that shoot at enemies once completed.
static bool isTowerType(const std::string& type) { return type == "OrcWatchTower"; }

// The worker leaves mining (giving up its spot) and walks off to build.
static void becomeBuilder(Unit& worker, Grid& grid) {
    releaseMiningTile(worker.miningSubTile, worker.id, grid);
    worker.miningSubTile = NOWHERE;
    worker.mining = false;
    worker.constructing = true;
    worker.state = UnitState::Moving;
}

bool placeABuildingDown(Unit* worker, V2i tile, const std::string& buildingType, Player* player, Grid* grid,
                        bool replaying) {
    if (!worker || !player || !grid) return false;
    if (replaying) worker->onMap = true;
    // A player builds with its own workers only.
    if (!worker->onMap || worker->playerId != player->id) return false;
    if (!isValidTile(tile)) {
        std::cerr << "placeABuildingDown: invalid ghostTile " << tile.x << "," << tile.y << "\n";
        return false;
    }
    const auto found = buildingInfo.find(buildingType);
    if (found == buildingInfo.end()) return false;
    const BuildingInfo& info = found->second;
    if (player->resources[RESOURCE_GOLD] < info.goldCost || player->resources[RESOURCE_WOOD] < info.woodCost)
        return false;
    if (!canConstructBuilding(*player, buildingType)) return false;
    const bool allowed = info.walkable == Tile::Water ? shipyardFootprintAllowed(*grid, tile, info)
                                                      : landFootprintAllowed(*grid, tile, info, worker->id);
    if (!allowed) return false;

    if (worker->mining) countMiningWorkerOff(*worker, *player);
    const V2i entrance = nearestSiteEntrance(*grid, *worker, tile, info);
    if (entrance != NOWHERE)
        if (const auto path = astar(*grid, worldToSubTile(worker->x, worker->y), entrance, worker->walkable, worker->id, 0))
            setUnitPath(*worker, *path);

    Building* site = addBuilding(newSite(info, buildingType, tile, worker->playerId));
    site->computeNearbyTiles();
    const int siteId = site->id;
    if (site->playerId == Player::myStaticId) {
        playSound(SoundCategory::UnitAction, "Construct", false, 0.0f, 0.0f, 1);
        placingBuilding = false;  // the local placement ends with its site
    }
    if (isTowerType(buildingType)) addTower(Tower{siteId, 1.0f, 4, 0.0f, 6.0f, -1});
    player->resources[RESOURCE_GOLD] -= info.goldCost;
    player->resources[RESOURCE_WOOD] -= info.woodCost;
    constructionManager.assign(worker->id, siteId);
    becomeBuilder(*worker, *grid);
    player->underConstruction[buildingType] += 1;
    blockArea(*grid, tile, info.wTiles, info.hTiles);
    return true;
}

bool constructBuilding(Unit* worker, Building* building, Grid& grid) {
    if (!worker || !building || !worker->worker || building->completed) return false;
    if (worker->playerId != building->playerId) return false;
    if (!constructionManager.assign(worker->id, building->id)) return false;
    worker->waypoints.clear();
    worker->route.clear();
    worker->routeChunked = false;
    worker->routeDestination = NOWHERE;
    becomeBuilder(*worker, grid);
    const V2i start = worldToSubTile(worker->x, worker->y);
    const std::vector<V2i> around = neighbors8(grid, {building->x * 4, building->y * 4}, worker->walkable);
    if (around.empty()) return true;
    if (const auto path = astar(grid, start, around.front(), worker->walkable, worker->id, 0)) setUnitPath(*worker, *path);
    return true;
}
