// The game session: the simulation tick and the step that runs one turn of it, the random generators the
// simulation draws from, the world checksum and the session tear-down.
#include "game.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "activity.h"
#include "buildings.h"
#include "config.h"
#include "construction-manager.h"
#include "decorations.h"
#include "effect_grid.h"
#include "extraction.h"
#include "extraction_campaign.h"
#include "fog.h"
#include "game_commands.h"
#include "lockstep.h"
#include "map_objects.h"
#include "missions.h"
#include "mod_manager.h"
#include "player.h"
#include "projectiles.h"
#include "special_effects.h"
#include "spells.h"
#include "trainings.h"
#include "units.h"
#include "units_target_index.h"
#include "upgrades.h"

std::mt19937 rng;

void seedSessionGenerators() {
    rng.seed(SESSION_RNG_SEED);
    std::srand(SESSION_RAND_SEED);
}

std::minstd_rand& menuRandom() {
    static std::minstd_rand generator{
        static_cast<std::minstd_rand::result_type>(std::chrono::system_clock::now().time_since_epoch().count())};
    return generator;
}

void simulateTick(Grid& grid) {
    const float dt = lockstep.tickSeconds;
    updateUnits(dt, grid);
    updateBuildings(dt, grid);
    updateConstructionBuildings(dt, grid);
    updateProjectiles(dt, grid);
    updateSpecialEffects(dt, grid);
    updateProjectileHits(dt, grid);
    updateActivities(dt);
    updateDeadUnits(dt);
    updateTowers(dt, grid);
    updateSpells(dt, grid);
    // The training update writes nothing to the grid, so it is handed the live one rather than a copy.
    updateTrainings(dt, grid);
    if (missionActive) checkObjectives(currentMission);
    processUnitRemovals(grid);
    processBuildingRemovals(grid);
    processMapObjectsRemovals(grid);
    UpdateMod(dt);
}

void advanceOneTurn(Grid& grid) {
    simulateTick(grid);
    ++lockstep.currentTurn;
    if (lockstep.currentTurn % SIGHT_TURNS == 0) TakeSight();
}

// ---- World checksum ----

namespace {

// 64-bit FNV-1a over the values fed to it; floats by their bits, so any difference in arithmetic shows.
class WorldHash {
public:
    uint64_t value() const { return hash_; }

    void add(int32_t v) { bytes(&v, sizeof v); }
    void add(bool v) { add(static_cast<int32_t>(v)); }
    void add(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        bytes(&bits, sizeof bits);
    }
    void add(const std::string& s) {
        add(static_cast<int32_t>(s.size()));
        bytes(s.data(), s.size());
    }
    void add(const V2i& v) {
        add(v.x);
        add(v.y);
    }
    template <class Enum, class = std::enable_if_t<std::is_enum_v<Enum>>>
    void add(Enum e) {
        add(static_cast<int32_t>(e));
    }
    template <class T>
    void add(const std::vector<T>& list) {
        add(static_cast<int32_t>(list.size()));
        for (const T& item : list) add(item);
    }
    // Hash containers in key order, so the checksum never depends on their layout.
    template <class Key, class Value>
    void add(const std::unordered_map<Key, Value>& map) {
        add(static_cast<int32_t>(map.size()));
        for (const auto& [key, value] : std::map<Key, Value>(map.begin(), map.end())) {
            add(key);
            add(value);
        }
    }
    // Already in key order.
    void add(const SpellCooldowns& cooldowns) {
        add(static_cast<int32_t>(cooldowns.size()));
        for (const auto& [key, value] : cooldowns) {
            add(key);
            add(value);
        }
    }
    void add(const std::unordered_set<std::string>& set) {
        add(static_cast<int32_t>(set.size()));
        for (const std::string& item : std::set<std::string>(set.begin(), set.end())) add(item);
    }

private:
    void bytes(const void* data, std::size_t n) { hash_ = Utils::fnv1a(hash_, data, n); }

    uint64_t hash_ = Utils::FNV_START;
};

void hashUnit(WorldHash& h, const Unit& u) {
    h.add(u.id);
    h.add(u.playerId);
    h.add(u.type);
    h.add(u.x);
    h.add(u.y);
    h.add(u.hp);
    h.add(u.maxHp);
    h.add(u.state);
    h.add(static_cast<int32_t>(u.waypoints.size()));
    for (const SDL_FPoint& p : u.waypoints) {
        h.add(p.x);
        h.add(p.y);
    }
    h.add(u.goal);
    h.add(u.occupiedSubTile);
    h.add(u.route);
    h.add(u.routeChunked);
    h.add(u.routeDestination);
    h.add(u.targetId);
    h.add(u.isAttacking);
    h.add(u.attackCounter);
    h.add(u.scanCounter);
    h.add(u.waitTicks);
    h.add(u.mining);
    h.add(u.mapObjectId);
    h.add(u.miningSubTile);
    h.add(u.mineTarget);
    h.add(u.harvestTicks);
    h.add(u.cargoKind);
    h.add(u.cargoAmount);
    h.add(u.onMap);
    h.add(u.boardCarrierId);
    h.add(u.mana);
    h.add(u.damage);
    h.add(u.armor);
    h.add(u.movementSpeed);
    h.add(u.speedPerTick);
    h.add(u.attackInterval);
    h.add(u.slowed);
    h.add(u.bloodlust);
    h.add(u.unholyArmor);
    h.add(u.invisible);
    h.add(u.freezingBullets);
    h.add(u.kills);
    h.add(static_cast<int32_t>(u.orders.size()));
    for (const UnitCommandAction& order : u.orders) h.add(order.type);
    h.add(u.orderRunning);
    h.add(u.cooldowns);
    h.add(u.pickUpPending);
    h.add(u.pickUpItemId);
}

void hashUnits(WorldHash& h) {
    h.add(static_cast<int32_t>(units.size()));
    for (const Unit& u : units) hashUnit(h, u);
}

void hashBuilding(WorldHash& h, const Building& b) {
    h.add(b.id);
    h.add(b.type);
    h.add(b.playerId);
    h.add(V2i{b.x, b.y});
    h.add(b.hp);
    h.add(b.completed);
    h.add(b.progress);
    h.add(b.rallyPoint);
    h.add(b.hasRallyPoint);
    h.add(static_cast<int32_t>(b.queuedUnits.size()));
    for (const QueuedUnit& q : b.queuedUnits) {
        h.add(q.unitType);
        h.add(q.unitId);
        h.add(q.waitingForRecruit);
        h.add(q.started);
    }
    h.add(static_cast<int32_t>(b.productionQueue.size()));
    for (const TrainingTask& t : b.productionQueue) {
        h.add(t.kind);
        h.add(t.unitType);
        h.add(t.unitId);
        h.add(t.upgradeName);
        h.add(t.duration);
        h.add(t.elapsed);
    }
    h.add(b.researched);
}

void hashBuildings(WorldHash& h) {
    h.add(static_cast<int32_t>(buildings.size()));
    for (const Building& b : buildings) hashBuilding(h, b);
}

void hashMapObjects(WorldHash& h) {
    h.add(static_cast<int32_t>(mapObjects.size()));
    for (const MapObject& o : mapObjects) {
        h.add(o.id);
        h.add(o.type);
        h.add(V2i{o.tileX, o.tileY});
        h.add(o.amount);
    }
}

void hashPlayer(WorldHash& h, const Player& p) {
    h.add(p.id);
    for (int amount : p.resources) h.add(amount);
    h.add(p.unitIds);
    h.add(p.buildingIds);
    h.add(p.supplyCap);
    h.add(p.supplyUsed);
    h.add(p.recruits);
    // Not the worker counts: each peer counts only its own mining orders, so peers of one match differ in them.
    h.add(p.unitCounts);
    h.add(p.completedBuildings);
    h.add(p.underConstruction);
}

void hashPlayers(WorldHash& h) {
    h.add(static_cast<int32_t>(players.size()));
    for (const auto& p : players) hashPlayer(h, *p);
}

void hashProjectiles(WorldHash& h) {
    h.add(static_cast<int32_t>(projectiles.size()));
    // Projectile ids count on across sessions and name nothing the world refers to, so they stay out.
    for (const Projectile& p : projectiles) {
        h.add(p.type);
        h.add(p.x);
        h.add(p.y);
        h.add(p.dirX);
        h.add(p.dirY);
        h.add(p.speed);
        h.add(p.attackerId);
        h.add(p.targetId);
        h.add(p.active);
    }
}

void hashSpells(WorldHash& h) {
    h.add(static_cast<int32_t>(activeSpells.size()));
    for (const ActiveSpell& s : activeSpells) {
        h.add(s.type);
        h.add(s.position.x);
        h.add(s.position.y);
        h.add(s.duration);
        h.add(s.pulseTimer);
        h.add(s.spawnTimer);
        h.add(s.radius);
        h.add(s.heading);
        h.add(s.speed);
        h.add(s.targetId);
        h.add(s.casterId);
        h.add(static_cast<int32_t>(s.shards.size()));
    }
}

using ChecksumSection = void (*)(WorldHash&);

// Every kind of world state the checksum covers; new state gets its section here.
constexpr ChecksumSection checksumSections[] = {hashUnits,   hashBuildings,   hashMapObjects,
                                                hashPlayers, hashProjectiles, hashSpells};

}  // namespace

uint64_t worldChecksum() {
    WorldHash h;
    for (ChecksumSection section : checksumSections) section(h);
    return h.value();
}

void sizeWorldGrids() {
    reservedTiles.assign(static_cast<size_t>(SUB_MAP_W) * SUB_MAP_H, 0);
    initSpatialGrid();
    effectGrid = EffectGrid(MAP_W, MAP_H);
}

void reset_game_state() {
    forgetTargetIndex();
    forgetReachSquarePaths();
    units.clear();
    unitIdToIndex.clear();
    clearUnitSelection();
    unitsToRemove.clear();
    deadUnits.clear();
    floatingTexts.clear();
    buildings.clear();
    buildingIdToIndex.clear();
    tileToBuildings.clear();
    clearBuildingSelection();
    buildingsToRemove.clear();
    towers.clear();
    mapObjects.clear();
    mapObjectIdToIndex.clear();
    objectGrid.clear();
    tileToMapObjects.clear();
    mapObjectsToRemove.clear();
    clearMapObjectSelection();
    nextMapObjectId = 0;
    decorations.clear();
    projectiles.clear();
    projectileHits.clear();
    active_special_effects.clear();
    clearActiveSpells();
    zeppelinCargo.clear();
    miningOccupancy.clear();
    resetUnderAttackAlarms();
    activityQueue.clear();
    resetConstructionManager();
    resetResearch();
    // The open campaign, its man power included, outlives the session.
    reset_extraction();
    neutralCivilianIds.clear();
    reservedTiles.clear();
    unitOccupancyRegistry.clear();
    players.clear();
    playerToTeamPalette.clear();
    // A world built again, as a replay sought backward builds it, has decided nothing yet.
    victoryPlayerId = -1;
    resetAttackableIds();
    lockstep = LockstepManager{};
    paused = false;
    replayTurns.clear();
    replayTurnIndex = 0;
}
