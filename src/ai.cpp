// Computer opponents: economy, supply, barracks, training and attack steps, the strategies and their schedule.
#include "ai.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <utility>
#include <variant>

#include "buildings.h"
#include "config.h"
#include "construction-manager.h"
#include "extraction.h"
#include "game_state.h"
#include "lockstep.h"
#include "map.h"
#include "map_objects.h"
#include "player.h"
#include "races.h"
#include "tech_tree.h"
#include "units.h"

void queueForNextTurn(const Command& cmd) { lockstep.collectCommand(cmd); }

std::function<void(const Command&)> computerCommandSink = queueForNextTurn;

float waveThinkTimer = 0.0f;

namespace {

void issue(CommandType type, int playerId, CommandPayload payload) {
    if (computerCommandSink) computerCommandSink(Command{type, playerId, std::move(payload)});
}

V2i tileOf(const Unit& u) { return worldToTile(u.x, u.y); }

// Read without entering the type: the count map is world state and the computer player only looks.
int countOf(const Player& player, const std::string& type) {
    const auto found = player.unitCounts.find(type);
    return found == player.unitCounts.end() ? 0 : found->second;
}

// The first listed unit that exists, is a worker and stands on the map.
Unit* firstWorkerOnMap(const Player& player) {
    for (int id : player.unitIds) {
        Unit* u = getUnitById(id);
        if (u && u->worker && u->onMap) return u;
    }
    return nullptr;
}

bool isBuildingType(const std::string& type) { return !type.empty() && buildingInfo.count(type) > 0; }

// A placement order from the worker on the nearest free footprint six or more tiles away, or on (-1, -1) when none
// is: the placement refuses what the player cannot pay for, may not have or has no ground for, changing nothing.
void orderPlacement(const Unit& worker, const std::string& buildingType, Grid& grid) {
    const V2i site = findClosestFreeTile(tileOf(worker), buildingType, grid, 6);
    issue(CommandType::PlaceBuildingDown, worker.playerId,
          PlaceBuildingDownCommand{buildingType, site.x, site.y, worker.id});
}

// The player's unfinished camp whose builder has fallen; null when every site has its builder.
const Building* abandonedCamp(const Player& player) {
    const std::string camp = raceBuildingName(player.race, "Camp");
    for (const Building& b : buildings)
        if (b.playerId == player.id && b.type == camp && !b.completed &&
            !getUnitById(constructionManager.builderOf(b.id)))
            return &b;
    return nullptr;
}

// One camp stands at a time, so a site left by its fallen builder would hold back every later camp for ever: the
// first worker goes on with it.
void resumeAbandonedCamp(const Player& player) {
    const Building* site = abandonedCamp(player);
    const Unit* worker = firstWorkerOnMap(player);
    if (site && worker) issue(CommandType::Construct, worker->playerId, ConstructCommand{worker->id, site->id});
}

bool hasLiveTarget(const Unit& u) { return u.targetId != -1 && getAttackableById(u.targetId) != nullptr; }

// The local player's nearest building with a free tile beside it, else its nearest unit on the map.
Attackable* attackTargetFor(const Unit& u, Grid& grid) {
    if (Building* b = findClosestEnemyBuilding(u, grid)) return b;
    return findClosestEnemyUnit(u);
}

// One Attack order for each combat unit of the player that joins and has no live target.
template <class Joins>
void sendAttackers(const Player& player, Grid& grid, Joins joins) {
    for (int id : player.unitIds) {
        const Unit* u = getUnitById(id);
        if (!u || !u->canAttack || !joins(*u) || hasLiveTarget(*u)) continue;
        if (const Attackable* target = attackTargetFor(*u, grid))
            issue(CommandType::Attack, u->playerId, AttackCommand{u->id, target->id});
    }
}

bool survivalMissionChosen() {
    if (deploymentSelectedMapId < 0 || static_cast<size_t>(deploymentSelectedMapId) >= extraction_options.size())
        return false;
    return extraction_options[static_cast<size_t>(deploymentSelectedMapId)].type ==
           static_cast<int32_t>(ExtractionType::SURVIVAL);
}

}  // namespace

std::string armyTypeOf(const std::string& race) {
    const auto found = races.find(race);
    if (found == races.end()) return "";
    return found->second.name == "human" ? "Marine" : "Berserker";
}

std::string raceBuildingName(const std::string& race, const std::string& suffix) {
    const auto found = races.find(race);
    return found == races.end() ? "" : found->second.displayName + suffix;
}

bool isHumanCampBeingConstructed(const Player& player, const std::vector<Building>& list) {
    const std::string camp = raceBuildingName(player.race, "Camp");
    for (const Building& b : list)
        if (b.playerId == player.id && b.type == camp && !b.completed) return true;
    return false;
}

// ---- Economy and supply ----

void BaseAI::handleEconomy(Player& player, Grid& grid) {
    for (int id : player.unitIds) {
        const Unit* u = getUnitById(id);
        // A worker aboard or inside a building takes no order, so it is neither sent nor counted as a miner.
        if (!u || !u->onMap || u->state != UnitState::Idle || !u->worker || u->mining || u->constructing) continue;
        std::string resource = "Crystal";
        if (crystalMiners > 0 && amberOilMiners < 1) {
            resource = "AmberOil";
            ++amberOilMiners;
        } else {
            ++crystalMiners;
        }
        const ResourceFind found = findClosestResource(tileOf(*u), resource, grid);
        if (found.tile.x == -1 || !found.object) continue;
        issue(CommandType::Mine, u->playerId, MineCommand{u->id, found.tile.x, found.tile.y, found.object->id});
    }
}

void BaseAI::handleSupply(Player& player, Grid& grid) {
    if (player.supplyUsed + 2 < player.supplyCap && player.recruits >= 2) return;
    if (isHumanCampBeingConstructed(player, buildings)) return resumeAbandonedCamp(player);
    const Unit* worker = firstWorkerOnMap(player);
    if (!worker) {
        std::cerr << "[AI] No available worker to build farm.\n";
        return;
    }
    const std::string camp = raceBuildingName(player.race, "Camp");
    if (isBuildingType(camp)) orderPlacement(*worker, camp, grid);
}

// ---- Building and training ----

void BaseAI::buildBarracksIfNeeded(Player& player, Grid& grid) {
    if (countOf(player, workerTypeOfRace(player.race)) <= 4) return;
    const std::string barracks = raceBuildingName(player.race, "Barracks");
    if (!isBuildingType(barracks)) return;
    if (getUnderConstructionCount(barracks, player.id) + getBuildingCount(barracks, player.id) > 1) return;
    const Unit* worker = firstWorkerOnMap(player);
    if (!worker || reservedWorkers.count(worker->id)) return;
    reservedWorkers.insert(worker->id);
    orderPlacement(*worker, barracks, grid);
}

void BaseAI::trainWorkersAndArmy(Player& player) {
    const std::string workerType = workerTypeOfRace(player.race);
    const std::string armyType = armyTypeOf(player.race);
    const std::string command = raceBuildingName(player.race, "Command");
    const std::string barracks = raceBuildingName(player.race, "Barracks");
    if (countOf(player, workerType) <= 4) {
        for (int id : player.buildingIds) {
            const Building* b = getBuildingById(id);
            if (!b || b->type != command || !b->productionQueue.empty()) continue;
            if (canTrainUnit(player, workerType))
                issue(CommandType::TrainUnit, b->playerId, TrainUnitCommand{b->id, workerType});
            break;
        }
    }
    for (int id : player.buildingIds) {
        const Building* b = getBuildingById(id);
        if (b && b->type == barracks && b->productionQueue.empty() && canTrainUnit(player, armyType))
            issue(CommandType::TrainUnit, b->playerId, TrainUnitCommand{b->id, armyType});
    }
}

void BaseAI::releaseArrivedWorkers() {
    for (auto it = reservedWorkers.begin(); it != reservedWorkers.end();) {
        const Unit* u = getUnitById(*it);
        it = (!u || u->waypoints.empty()) ? reservedWorkers.erase(it) : std::next(it);
    }
}

// ---- Strategies ----

void RushAI::update(Player& player, Grid& grid, float) {
    handleEconomy(player, grid);
    handleSupply(player, grid);
    trainWorkersAndArmy(player);
    buildBarracksIfNeeded(player, grid);
    if (attacking || countOf(player, armyTypeOf(player.race)) > 0) handleAttack(player, grid);
}

void RushAI::handleAttack(Player& player, Grid& grid) {
    const std::string army = armyTypeOf(player.race);
    sendAttackers(player, grid, [&](const Unit& u) { return u.type == army; });
    attacking = true;
}

void TurtleAI::update(Player& player, Grid& grid, float) {
    handleEconomy(player, grid);
    handleSupply(player, grid);
    trainWorkersAndArmy(player);
    buildBarracksIfNeeded(player, grid);
}

void WaveAI::update(Player& player, Grid& grid, float dt) {
    waveThinkTimer += dt;
    if (waveThinkTimer < WAVE_THINK_SECONDS) return;
    handleAttack(player, grid);
    waveThinkTimer = 0.0f;
}

void WaveAI::handleAttack(Player& player, Grid& grid) {
    sendAttackers(player, grid, [](const Unit&) { return true; });
}

// ---- Creation and schedule ----

std::unique_ptr<BaseAI> computerStrategyOf(unsigned draw) {
    if (draw & 1u) {
        std::cout << "AI Archetype Initialized: TURTLE MODE" << std::endl;
        return std::make_unique<TurtleAI>();
    }
    std::cout << "AI Archetype Initialized: RUSH MODE" << std::endl;
    return std::make_unique<RushAI>();
}

std::unique_ptr<BaseAI> drawComputerStrategy() { return computerStrategyOf(static_cast<unsigned>(menuRandom()())); }

std::string strategyNameOf(const BaseAI* strategy) {
    if (dynamic_cast<const RushAI*>(strategy)) return "rush";
    if (dynamic_cast<const TurtleAI*>(strategy)) return "turtle";
    if (dynamic_cast<const WaveAI*>(strategy)) return "wave";
    return "";
}

std::unique_ptr<BaseAI> strategyNamed(const std::string& name) {
    if (name == "rush") return std::make_unique<RushAI>();
    if (name == "turtle") return std::make_unique<TurtleAI>();
    if (name == "wave") return std::make_unique<WaveAI>();
    return nullptr;
}

namespace {

bool isTakeoverOfTheComputer(const Command& cmd) {
    return cmd.type == CommandType::ComputerTakeover && cmd.player == Player::aiId;
}

// Whether the turns a resumed save catches up through take the computer player over at some turn.
bool takeoverRecorded() {
    for (const Turn& turn : replayTurns)
        if (std::any_of(turn.commands.begin(), turn.commands.end(), isTakeoverOfTheComputer)) return true;
    return false;
}

// The computer player that may be given a strategy: there, a computer, and holding none yet.
Player* computerWithoutStrategy() {
    Player* computer = getPlayerById(Player::aiId);
    return computer && computer->isAI && !computer->ai ? computer : nullptr;
}

}  // namespace

void setUpComputerPlayer() {
    waveThinkTimer = 0.0f;
    Player* computer = computerWithoutStrategy();
    if (!computer || mode == GameMode::Replay) return;
    if (mode == GameMode::ResumedSave && takeoverRecorded()) return;
    computer->ai = drawComputerStrategy();
}

void takeOverComputerPlayer() {
    Player* computer = computerWithoutStrategy();
    setUpComputerPlayer();
    if (computer && computer->ai)
        logAtCurrentTurn(Command{CommandType::ComputerTakeover, computer->id,
                                 ComputerTakeoverCommand{strategyNameOf(computer->ai.get())}});
}

void takeRecordedTakeover(const Command& record) {
    Player* computer = computerWithoutStrategy();
    const auto* taken = std::get_if<ComputerTakeoverCommand>(&record.payload);
    if (mode != GameMode::ResumedSave || !computer || !taken || !isTakeoverOfTheComputer(record)) return;
    computer->ai = strategyNamed(taken->strategy);
    if (!computer->ai) computer->ai = drawComputerStrategy();
}

bool computerPlayerMayThink() {
    if (paused || mode == GameMode::Replay || mode == GameMode::ResumedSave) return false;
    return mode == GameMode::Extraction ? survivalMissionChosen() : AI;
}

namespace {

void thinkOnSchedule(Grid& grid) {
    Player* computer = getPlayerById(Player::aiId);
    if (!computer || !computer->ai) return;
    computer->ai->releaseArrivedWorkers();
    if (lockstep.currentTurn % COMPUTER_THINK_TURNS == 0)
        computer->ai->update(*computer, grid, lockstep.tickSeconds);
}

}  // namespace

void runComputerPlayers(Grid& grid) {
    if (computerPlayerMayThink()) thinkOnSchedule(grid);
}

void rehearseComputerPlayer(Grid& grid, bool ordersGoOut) {
    // A save is made of a live skirmish, where the configuration's flag alone lets the computer think.
    if (paused || mode != GameMode::ResumedSave || !AI) return;
    if (ordersGoOut) return thinkOnSchedule(grid);
    const std::function<void(const Command&)> sink = std::exchange(computerCommandSink, [](const Command&) {});
    thinkOnSchedule(grid);
    computerCommandSink = sink;
}
