// The construction manager: which worker builds which site, builders walking in, construction advancing with
// the builder inside, completion, and the cancelling of a site.
#include "construction-manager.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "activity.h"
#include "config.h"
#include "effect_grid.h"
#include "extraction.h"
#include "game_state.h"
#include "player.h"
#include "sounds.h"
#include "sprites.h"
#include "units.h"

ConstructionManager constructionManager;

// Civilians a completed supply building brings.
constexpr int CIVILIANS_PER_SUPPLY_BUILDING = 5;

bool ConstructionManager::assign(int builderUnitId, int buildingId) {
    const auto site = builders_.find(buildingId);
    // A builder that has died leaves its site free for the next one.
    if (site != builders_.end() && site->second != NO_BUILDER && getUnitById(site->second)) {
        std::cerr << "building with ID: " << buildingId << " already has a builder with ID: " << site->second << "\n";
        return false;
    }
    const auto former = std::find_if(builders_.begin(), builders_.end(),
                                     [builderUnitId](const auto& e) { return e.second == builderUnitId; });
    if (former != builders_.end()) former->second = NO_BUILDER;
    builders_[buildingId] = builderUnitId;
    return true;
}

int ConstructionManager::builderOf(int buildingId) const {
    const auto site = builders_.find(buildingId);
    return site == builders_.end() ? NO_BUILDER : site->second;
}

void ConstructionManager::forget(int buildingId) { builders_.erase(buildingId); }

void ConstructionManager::reset() { builders_.clear(); }

void resetConstructionManager() { constructionManager.reset(); }

static bool tileIsWalkableFor(const Grid& grid, V2i tile, Tile movementClass) {
    if (!isValidTile(tile)) return false;
    return movementClass == Tile::Any || grid.at(tile.x, tile.y).walkable != 0;
}

void ConstructionManager::finishConstruction(int buildingId, Grid& grid) {
    Unit* builder = getUnitById(builderOf(buildingId));
    const Building* building = getBuildingById(buildingId);
    if (!builder || !building) return;
    const V2i entry{truncToInt(builder->x / static_cast<float>(TILE_SIZE)),
                    truncToInt(builder->y / static_cast<float>(TILE_SIZE))};
    // It walks out where it went in, unless the building now stands there.
    if (grid.at(entry.x, entry.y).walkable == 0) {
        for (const V2i& s : building->nearbyTiles) {
            if (!tileIsWalkableFor(grid, {s.x / SUBDIVISIONS, s.y / SUBDIVISIONS}, builder->walkable)) continue;
            const float half = static_cast<float>(SUB_TILE_SIZE) * 0.5f;
            builder->x = static_cast<float>(s.x * SUB_TILE_SIZE) + half;
            builder->y = static_cast<float>(s.y * SUB_TILE_SIZE) + half;
            break;
        }
    }
    builder->onMap = true;
    forget(buildingId);
}

// A builder whose site has gone comes out where it went in.
static void letBuilderOut(int builderId) {
    if (Unit* builder = getUnitById(builderId)) {
        builder->onMap = true;
        builder->constructing = false;
    }
}

static bool builderHasArrived(const Unit& builder, const Building& b) {
    if (buildingContains(b, SDL_FPoint{builder.x, builder.y}, b.wTiles, b.hTiles)) return true;
    const V2i sub = worldToSubTile(builder.x, builder.y);
    return std::find(b.nearbyTiles.begin(), b.nearbyTiles.end(), sub) != b.nearbyTiles.end();
}

static void takeBuilderInside(Unit& builder) {
    builder.waypoints.clear();
    builder.onMap = false;
    freeTileForUnit(builder.id, builder.type, worldToSubTile(builder.x, builder.y));
    removeFromSelection(builder.id);
}

static float totalBuildSeconds(const Building& b) {
    const auto info = buildingInfo.find(b.type);
    const float buildTime = info == buildingInfo.end() ? b.buildTime : info->second.buildTime;
    return buildTime / GAME_SPEED;
}

// Advances the site by dt and raises its hit points with the progress; true when it has passed its build time.
static bool advanceConstruction(Building& b, float dt) {
    b.previousProgress = b.progress;
    b.progress += dt;
    const float total = totalBuildSeconds(b);
    const float expected = b.progress / total * b.maxHp;
    b.prevHp = b.hp;
    if (expected > b.hp) b.hp = std::min(b.hp + dt / total * b.maxHp, expected);
    if (b.hp > b.maxHp) b.hp = b.prevHp = b.maxHp;
    return b.progress > total;
}

// Stands a new civilian of the owner on a sub-tile and reserves its footprint, as the unit spawner does.
static int placeCivilian(const UnitInfo& info, int ownerId, V2i sub) {
    Unit civilian = newUnitFromInfo(info, nextAttackableId++, ownerId);
    const SDL_FPoint at = subTileWaypoint(sub);
    civilian.x = at.x;
    civilian.y = at.y;
    addUnit(civilian);
    reserveTilesForUnit(civilian.id, civilian.type, worldToSubTile(civilian.x, civilian.y));
    return civilian.id;
}

static void releaseCivilians(const Building& b, Player& owner) {
    int count = CIVILIANS_PER_SUPPLY_BUILDING;
    if (mode == GameMode::Extraction) {
        count = std::max(0, std::min(global_man_power, CIVILIANS_PER_SUPPLY_BUILDING));
        global_man_power -= count;
    }
    owner.recruits += count;
    const auto civilianType = raceToCivilianUnit.find(owner.race);
    const UnitInfo* info = civilianType == raceToCivilianUnit.end() ? nullptr : getUnitInfo(civilianType->second);
    if (!info) {
        std::cerr << "No civilian type for race: " << owner.race << "\n";
        return;
    }
    for (int i = 0; i < count; ++i) {
        const int r1 = std::rand();
        const int r2 = std::rand();
        const V2i start{std::clamp(b.x * SUBDIVISIONS + r1 % 13 - 6, 0, SUB_MAP_W - 1),
                        std::clamp(b.y * SUBDIVISIONS + r2 % 13 - 6, 0, SUB_MAP_H - 1)};
        neutralCivilianIds.push_back(placeCivilian(*info, owner.id, find_nearby_clear_tile(start, 10)));
    }
}

static void completeConstruction(Building& b, int builderId, Grid& grid) {
    if (b.playerId == Player::myStaticId) {
        const auto sprite = buildingSprites.find(b.type);
        postActivity("Building complete", sprite == buildingSprites.end() ? nullptr : sprite->second.sprite.texture,
                     ACTIVITY_DURATION, buildingIconFrame(b.type));
    }
    b.completed = true;
    constructionManager.finishConstruction(b.id, grid);
    // Civilians are added to units, never to buildings, so b stays valid below.
    if (Player* owner = getPlayerById(b.playerId)) {
        owner->buildingIds.push_back(b.id);
        owner->completedBuildings[b.type] += 1;
        owner->underConstruction[b.type] -= 1;
        if (b.providesSupply) {
            owner->supplyCap += SUPPLY_PER_BUILDING;
            releaseCivilians(b, *owner);
        }
    }
    if (Unit* builder = getUnitById(builderId)) builder->constructing = false;
    const auto info = buildingInfo.find(b.type);
    if (info != buildingInfo.end() && info->second.providesEffect)
        effectGrid.addEffectArea(*info->second.providesEffect, {b.x, b.y}, info->second.effectRadius);
    if (const Player* owner = getPlayerById(b.playerId))
        playSound(SoundCategory::UnitAction, owner->race + ".WorkComplete", false, 0.0f, 0.0f, 1);
}

static void updateSite(int buildingId, int builderId, float dt, Grid& grid) {
    Building* b = getBuildingById(buildingId);
    if (!b) {
        std::cerr << "updateConstructionBuildings: building " << buildingId << " not found\n";
        letBuilderOut(builderId);
        constructionManager.forget(buildingId);
        return;
    }
    Unit* builder = getUnitById(builderId);
    if (!builder) return;
    if (builder->onMap) {
        if (!builder->worker || !builderHasArrived(*builder, *b)) return;
        takeBuilderInside(*builder);
    }
    if (advanceConstruction(*b, dt)) completeConstruction(*b, builderId, grid);
}

void updateConstructionBuildings(float dt, Grid& grid) {
    // Completion erases entries, so the walk is over a copy.
    const std::vector<std::pair<int, int>> sites(constructionManager.entries().begin(),
                                                 constructionManager.entries().end());
    for (const auto& [buildingId, builderId] : sites) updateSite(buildingId, builderId, dt, grid);
}

static int refunded(int amount, int cost) {
    return truncToInt(static_cast<float>(amount) + static_cast<float>(cost) * CANCEL_BUILDING_PERCENTAGE_LOSS);
}

bool cancelConstruction(Building& building, Grid& grid) {
    // A finished building is no site, and a site already cancelled this tick is not refunded twice.
    if (building.completed) return false;
    if (std::find(buildingsToRemove.begin(), buildingsToRemove.end(), building.id) != buildingsToRemove.end())
        return false;
    const int builderId = constructionManager.builderOf(building.id);
    if (getUnitById(builderId)) {
        letBuilderOut(builderId);
    } else {
        std::cerr << "cancelConstruction hidden unit not found: " << builderId << "\n";
    }
    constructionManager.forget(building.id);
    buildingsToRemove.push_back(building.id);
    unblockArea(grid, {building.x, building.y}, building.wTiles, building.hTiles);
    Player* owner = getPlayerById(building.playerId);
    const auto info = buildingInfo.find(building.type);
    if (owner && info != buildingInfo.end()) {
        owner->resources[RESOURCE_WOOD] = refunded(owner->resources[RESOURCE_WOOD], info->second.woodCost);
        owner->resources[RESOURCE_GOLD] = refunded(owner->resources[RESOURCE_GOLD], info->second.goldCost);
    }
    return true;
}
