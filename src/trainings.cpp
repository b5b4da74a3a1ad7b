// Training queues: the per-tick advance of every building's production queue, completion of trained units and
// research, the pruning of recruits who may no longer be trained, and the cancelling of a production slot.
#include "trainings.h"

#include <algorithm>

#include "activity.h"
#include "extraction.h"
#include "game_state.h"
#include "player.h"
#include "sounds.h"
#include "sprites.h"
#include "tech_tree.h"
#include "units.h"
#include "upgrades.h"

void releaseRecruit(Unit& recruit) {
    recruit.walkingToTraining = false;
    recruit.assigned = false;
}

static void pruneQueuedUnits(Building& building) {
    Player* owner = getPlayerById(building.playerId);
    auto& queued = building.queuedUnits;
    for (size_t i = 0; i < queued.size();) {
        const QueuedUnit& entry = queued[i];
        if (entry.started || (owner && canTrainUnit(*owner, entry.unitType) && owner->recruits > 0)) {
            ++i;
            continue;
        }
        if (Unit* recruit = getUnitById(entry.unitId)) releaseRecruit(*recruit);
        queued.erase(queued.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

// The recruit of the k-th unit task of the queue is the k-th started entry: tasks are created in the order
// recruits start, and leave the queue in that order or by cancelling, which takes both together.
static std::vector<QueuedUnit>::iterator startedEntry(Building& building, size_t k) {
    auto& queued = building.queuedUnits;
    for (auto it = queued.begin(); it != queued.end(); ++it)
        if (it->started && k-- == 0) return it;
    return queued.end();
}

static size_t unitTasksBefore(const Building& building, size_t slot) {
    return static_cast<size_t>(std::count_if(
        building.productionQueue.begin(), building.productionQueue.begin() + static_cast<std::ptrdiff_t>(slot),
        [](const TrainingTask& t) { return t.kind == TrainingKind::Unit; }));
}

static void completeUnitTraining(Building& building, const TrainingTask& task, Grid& grid) {
    // The civilian who went in is consumed; a walking recruit ahead of it in the list is not.
    const auto recruit = startedEntry(building, 0);
    if (recruit != building.queuedUnits.end()) {
        addUnitForRemoval(recruit->unitId);
        building.queuedUnits.erase(recruit);
    }
    if (building.playerId == Player::myStaticId) {
        const auto sprite = unitSprites.find(task.unitType);
        postActivity("Training complete", sprite == unitSprites.end() ? nullptr : sprite->second.portrait);
    }
    const UnitInfo* info = getUnitInfo(task.unitType);
    if (!info) return;
    Unit unit = newUnitFromInfo(*info, task.unitId, building.playerId);
    const V2i spawn = findSpawnTile(building, grid, unit);
    const SDL_FPoint at = subTileWaypoint(spawn);
    unit.x = at.x;
    unit.y = at.y;
    Unit& stored = addUnit(unit);
    if (building.hasRallyPoint) walkToTile(stored, building.rallyPoint, grid);
    playSound(SoundCategory::Unit, task.unitType + ".ready", false, 0.0f, 0.0f, 1);
}

static void completeFrontTask(Building& building, Grid& grid) {
    const TrainingTask task = building.productionQueue.front();
    if (task.kind == TrainingKind::Unit) completeUnitTraining(building, task, grid);
    if (task.kind == TrainingKind::Research) completeResearch(building, task.upgradeName);
    building.researched.erase(task.upgradeName);
    building.productionQueue.erase(building.productionQueue.begin());
}

void updateTraining(Building& building, float dt, Grid& grid) {
    if (!building.queuedUnits.empty()) pruneQueuedUnits(building);
    if (building.productionQueue.empty()) return;
    TrainingTask& front = building.productionQueue.front();
    front.elapsed += dt;
    if (front.elapsed < front.duration) return;
    completeFrontTask(building, grid);
}

void updateTrainings(float dt, Grid& grid) {
    // Completion adds units, never buildings, so indexes into buildings stay valid.
    for (size_t i = 0; i < buildings.size(); ++i) updateTraining(buildings[i], dt, grid);
}

// recruitBack: the civilian walks out again, and is itself the campaign's man power given back.
static void refundStartedTraining(const Building& building, const std::string& unitType, bool recruitBack) {
    Player* owner = getPlayerById(building.playerId);
    const UnitInfo* info = getUnitInfo(unitType);
    if (!owner || !info) return;
    owner->resources[RESOURCE_GOLD] += info->goldCost;
    owner->resources[RESOURCE_WOOD] += info->woodCost;
    owner->supplyUsed -= info->foodCost;
    owner->recruits += 1;
    if (mode == GameMode::Extraction && !recruitBack) global_man_power += 1;
}

static bool letRecruitOut(int unitId) {
    Unit* recruit = getUnitById(unitId);
    if (!recruit) return false;
    recruit->onMap = true;
    releaseRecruit(*recruit);
    return true;
}

void letOccupantsOut(Building& building) {
    for (const QueuedUnit& entry : building.queuedUnits) letRecruitOut(entry.unitId);
    building.queuedUnits.clear();
    building.productionQueue.clear();
    building.researched.clear();
}

static void cancelUnitTask(Building& building, size_t slot) {
    const auto recruit = startedEntry(building, unitTasksBefore(building, slot));
    bool recruitBack = false;
    if (recruit != building.queuedUnits.end()) {
        recruitBack = letRecruitOut(recruit->unitId);
        building.queuedUnits.erase(recruit);
    }
    refundStartedTraining(building, building.productionQueue[slot].unitType, recruitBack);
}

static void cancelResearchTask(Building& building, size_t slot) {
    const std::string& name = building.productionQueue[slot].upgradeName;
    const auto upgrade = upgrades.find(name);
    Player* owner = getPlayerById(building.playerId);
    if (owner && upgrade != upgrades.end()) {
        owner->resources[RESOURCE_GOLD] += upgrade->second.goldCost;
        owner->resources[RESOURCE_WOOD] += upgrade->second.woodCost;
    }
    building.researched.erase(name);
}

static bool cancelWaitingRecruit(Building& building, size_t n) {
    auto& queued = building.queuedUnits;
    for (auto it = queued.begin(); it != queued.end(); ++it)
        if (!it->started && n-- == 0) {
            letRecruitOut(it->unitId);
            queued.erase(it);
            return true;
        }
    return false;
}

bool cancelProductionSlot(Building& building, int slot) {
    if (slot < 0) return false;
    const auto index = static_cast<size_t>(slot);
    auto& queue = building.productionQueue;
    if (index >= queue.size()) return cancelWaitingRecruit(building, index - queue.size());
    if (queue[index].kind == TrainingKind::Unit) cancelUnitTask(building, index);
    if (queue[index].kind == TrainingKind::Research) cancelResearchTask(building, index);
    queue.erase(queue.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}
