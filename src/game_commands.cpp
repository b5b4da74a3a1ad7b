// Applying player orders to the world: one handler per order record, the pause filter, logging and group moves.
#include "game_commands.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>
#include <optional>
#include <unordered_set>

#include <SDL2/SDL.h>

#include "activity.h"
#include "buildings.h"
#include "config.h"
#include "construction-manager.h"
#include "extraction.h"
#include "extraction_items.h"
#include "lockstep.h"
#include "map.h"
#include "map_objects.h"
#include "player.h"
#include "sounds.h"
#include "spells.h"
#include "textures.h"
#include "trainings.h"
#include "units.h"
#include "upgrades.h"

bool paused = false;
int latencyMs = 0;

// ---- Group moves ----

namespace {

V2i subTileOf(const Unit& u) { return worldToSubTile(u.x, u.y); }

// The listed unit whose sub-tile lies nearest the goal; the first of equals.
Unit* groupLeader(const std::vector<int>& unitIds, const V2i& goal) {
    Unit* leader = nullptr;
    int best = std::numeric_limits<int>::max();
    for (int id : unitIds) {
        Unit* u = getUnitById(id);
        if (!u) continue;
        const int d = manhattan(subTileOf(*u), goal);
        if (d < best) {
            best = d;
            leader = u;
        }
    }
    return leader;
}

std::size_t nearestNode(const SubTilePath& path, const V2i& from) {
    std::size_t nearest = 0;
    int best = std::numeric_limits<int>::max();
    for (std::size_t i = 0; i < path.size(); ++i) {
        const int d = manhattan(path[i], from);
        if (d < best) {
            best = d;
            nearest = i;
        }
    }
    return nearest;
}

// Nodes ahead on the master path where a follower joins it, and how far a follower searches to get there.
constexpr std::size_t JOIN_LOOKAHEAD = 10;
constexpr int FOLLOWER_SEARCH_DEPTH = 30;

void joinMasterPath(Unit& unit, const SubTilePath& master, const V2i& goal, Grid& grid) {
    const V2i from = subTileOf(unit);
    const std::size_t last = master.size() - 1;
    const std::size_t i = nearestNode(master, from);
    const std::size_t join = std::min(i + JOIN_LOOKAHEAD, last);
    std::optional<SubTilePath> own = astar(grid, from, master[join], unit.walkable, unit.id, FOLLOWER_SEARCH_DEPTH);
    if (!own || own->empty()) own = SubTilePath{master[std::min(i + 1, last)]};
    setUnitPath(unit, *own);
    unit.state = UnitState::OrderedMove;
    unit.routeDestination = goal;
    unit.route = master;
    unit.routeChunked = true;
}

}  // namespace

void processGroupMove2(const MoveCommand& cmd, Grid& grid) {
    const V2i goal{cmd.x, cmd.y};
    Unit* leader = groupLeader(cmd.unitIds, goal);
    if (!leader) return;
    // Land units cannot reach water; ships can, so the test follows the leader's class.
    const TileInstance& goalTile = grid.at(goal.x / SUBDIVISIONS, goal.y / SUBDIVISIONS);
    if (goalTile.type == Tile::Water && !canEnter(goalTile, leader->walkable)) return;
    const std::optional<SubTilePath> master = astar(grid, subTileOf(*leader), goal, leader->walkable, leader->id, 0);
    if (!master || master->empty()) return;
    for (int id : cmd.unitIds)
        if (Unit* u = getUnitById(id)) joinMasterPath(*u, *master, goal, grid);
}

// ---- Order handlers ----

namespace {

struct OrderContext {
    const Command& cmd;
    Grid& grid;
    bool isReplay;
};

void reportMissing(const char* order, const char* what, int id) {
    std::cerr << "[applyCommand] " << order << ": " << what << " " << id << " not found\n";
}

// A unit standing still where it is ordered from: its reservation moves to its own sub-tile and it drops
// whatever attack it was making.
void releaseForMove(Unit& u) {
    freeTileForUnit(u.id, u.type, u.occupiedSubTile);
    const V2i here = subTileOf(u);
    reserveTilesForUnit(u.id, u.type, here);
    u.occupiedSubTile = here;
    u.targetId = -1;
    u.attackAnimating = false;
    u.attackAnimTicks = 0;
    u.isAttacking = false;
    u.scanCounter = 0;
}

bool handleNone(const std::monostate&, OrderContext&) { return false; }

// An order names only the issuing player's own units and buildings; any other is refused as if it were gone. A
// unit off the map (aboard, inside a building, building a site) cannot be selected, so it takes no order either.
Unit* ownUnit(int id, const OrderContext& ctx) {
    Unit* u = getUnitById(id);
    return u && u->playerId == ctx.cmd.player && u->onMap ? u : nullptr;
}

Building* ownBuilding(int id, const OrderContext& ctx) {
    Building* b = getBuildingById(id);
    return b && b->playerId == ctx.cmd.player ? b : nullptr;
}

// An order whose goal lies off the map is refused before it touches a unit: no walk could end there.
// A selection names each unit once, so a repeated id is skipped rather than planned again.
bool handleMove(const MoveCommand& c, OrderContext& ctx) {
    if (!isValidSubTile({c.x, c.y})) return false;
    MoveCommand own = c;
    own.unitIds.clear();
    std::unordered_set<int> listed;
    for (int id : c.unitIds) {
        Unit* u = ownUnit(id, ctx);
        if (!u || !listed.insert(id).second) continue;
        own.unitIds.push_back(id);
        u->state = UnitState::OrderedMove;
        if (isAreaFree(u->id, {c.x, c.y}, u->type)) releaseForMove(*u);
    }
    // A list of another player's units is refused; an empty list stays an order that moves nobody.
    if (own.unitIds.empty() && !c.unitIds.empty()) return false;
    processGroupMove2(own, ctx.grid);
    return true;
}

// Only the god mode's palette spawns units; without it no player gets units for nothing.
bool handleSpawn(const SpawnCommand& c, OrderContext& ctx) {
    if (!GOD_MODE) return false;
    // A type from a packet or a log may be unknown; the catalogue lookup reports it.
    if (!getUnitInfo(c.unitType)) return false;
    spawnUnit(c.unitType, ctx.cmd.player);
    playSound(SoundCategory::Unit, c.unitType + ".ready", false, 0.0f, 0.0f, 1);
    return true;
}

bool handleMine(const MineCommand& c, OrderContext& ctx) {
    Unit* unit = getUnitById(c.unitId);
    if (!unit) return reportMissing("Mine", "unit", c.unitId), false;
    MapObject* object = getMapObjectById(c.mapObjectId);
    if (!object) return reportMissing("Mine", "map object", c.mapObjectId), false;
    Player* owner = getPlayerById(ctx.cmd.player);
    if (!owner) return reportMissing("Mine", "player", ctx.cmd.player), false;
    if (!ownUnit(c.unitId, ctx)) return reportMissing("Mine", "own unit", c.unitId), false;
    // Only what the map's catalogue marks harvestable yields anything; a tree or a rock is no mine.
    const auto kind = mapObjectInfo.find(object->type);
    if (kind == mapObjectInfo.end() || !kind->second.harvestable) return false;
    unit->mineTarget = {object->tileX, object->tileY};
    // A unit that cannot mine keeps the target all the same: the order changed the world, so it counts as carried
    // out and is logged, or a replay would differ.
    startMining(*unit, *object, *owner, ctx.grid);
    return true;
}

// What the build menu lets a player place: a worker, a type its menu lists, on ground with any effect the type needs.
bool canPlaceFromBuildMenu(const Unit& worker, const std::string& type, V2i tile) {
    const UnitInfo* workerType = getUnitInfo(worker.type);
    const auto building = buildingInfo.find(type);
    if (!worker.worker || !workerType || building == buildingInfo.end()) return false;
    const std::vector<std::string>& menu = workerType->buildMenu;
    if (std::find(menu.begin(), menu.end(), type) == menu.end()) return false;
    return isValidTile(tile) && footprintHasRequiredEffect(building->second, tile);
}

bool handlePlaceBuilding(const PlaceBuildingDownCommand& c, OrderContext& ctx) {
    Unit* worker = getUnitById(c.unitId);
    if (!worker) return reportMissing("PlaceBuilding", "unit", c.unitId), false;
    Player* owner = getPlayerById(ctx.cmd.player);
    if (!owner) return reportMissing("PlaceBuilding", "player", ctx.cmd.player), false;
    // The placement tests that the worker stands on the map itself, as a replay puts it back there first.
    if (worker->playerId != ctx.cmd.player) return reportMissing("PlaceBuilding", "own unit", c.unitId), false;
    if (!canPlaceFromBuildMenu(*worker, c.buildingType, {c.targetX, c.targetY})) return false;
    const size_t counted = owner->completedBuildings.size();
    const bool placed =
        placeABuildingDown(worker, {c.targetX, c.targetY}, c.buildingType, owner, &ctx.grid, ctx.isReplay);
    // The requirement test enters a required type it reads among the counts: a refusal that did so changed the
    // world, so it counts as carried out and is logged, or a replay would differ.
    return placed || owner->completedBuildings.size() != counted;
}

bool handleTrainUnit(const TrainUnitCommand& c, OrderContext& ctx) {
    Building* building = ownBuilding(c.buildingId, ctx);
    if (!building) return reportMissing("Train", "building", c.buildingId), false;
    return trainUnit(c.unitType, building);
}

bool handleAttack(const AttackCommand& c, OrderContext& ctx) {
    Unit* unit = ownUnit(c.unitId, ctx);
    if (!unit) return reportMissing("Attack", "unit", c.unitId), false;
    // A unit off the map cannot be clicked, so it is no target.
    if (const Unit* victim = getUnitById(c.targetId); victim && !victim->onMap) return false;
    // Without a path the unit still takes the target and turns to attack: the order changed the world, so it
    // counts as carried out and is logged, or a replay would differ.
    return attackEnemy(unit, ctx.grid, c.targetId) || getAttackableById(c.targetId) != nullptr;
}

bool handleRallyPoint(const SetRallyPointCommand& c, OrderContext& ctx) {
    Building* building = ownBuilding(c.buildingId, ctx);
    return building && setRallyPoint(ctx.grid, building, {c.targetX, c.targetY});
}

// A unit boards only a carrier, never itself: anything else would hide it off the map for good.
bool handleCarrierPickUp(const CarrierPickUpCommand& c, OrderContext& ctx) {
    Unit* unit = ownUnit(c.unitId, ctx);
    const Unit* carrier = ownUnit(c.carrierId, ctx);
    if (!unit || !carrier || unit == carrier || !carrier->carrier) return false;
    // The walk takes a sub-tile, so the unit is sent to the carrier's own sub-tile; it boards on arrival.
    walkToTile(*unit, subTileOf(*carrier), ctx.grid);
    unit->boardCarrierId = c.carrierId;
    return true;
}

bool isAboard(int unitId, int carrierId) {
    const auto cargo = zeppelinCargo.find(carrierId);
    return cargo != zeppelinCargo.end() &&
           std::find(cargo->second.begin(), cargo->second.end(), unitId) != cargo->second.end();
}

// The ground under the carrier, where its cargo would be let off.
bool canUnloadAt(const Unit& carrier, const Grid& grid) {
    const V2i tile = carrier.getTile();
    return grid.walkable(tile.x, tile.y, Tile::Grass);
}

// Only a unit riding in the carrier gets off; any other would be moved onto the carrier's position. The cargo
// button unloads only over ground a land unit may stand on, so no order lets cargo off elsewhere.
bool handleCarrierDropOff(const CarrierDropOffCommand& c, OrderContext& ctx) {
    Unit* carrier = ownUnit(c.carrierId, ctx);
    if (!carrier || !isAboard(c.unitId, c.carrierId) || !canUnloadAt(*carrier, ctx.grid)) return false;
    return removeUnitFromZeppelin(*carrier, c.unitId) != nullptr;
}

// A Self spell takes effect at once; its cooldown starts only when the effect carried the cast out.
bool castSelfSpell(const CastSpellCommand& c, const SpellInfo& spell) {
    Unit* caster = getUnitById(c.unitId);
    if (caster->cooldowns[c.spell] > 0.0f) return false;
    const SpellContext cast{c.unitId, c.targetId, {static_cast<float>(c.targetX), static_cast<float>(c.targetY)}};
    if (!spell.effect || !spell.effect(cast)) return false;
    // The effect may have added units, so the caster is looked up again.
    if (Unit* after = getUnitById(c.unitId)) after->cooldowns[c.spell] = spell.cooldown;
    return true;
}

// Any other spell is queued behind the caster's orders, preceded by a walk to within range when it is out of
// range. Both ends are measured in tiles, as the queue measures them when it starts the cast.
void queueSpell(const CastSpellCommand& c, const SpellInfo& spell, Grid& grid) {
    Unit* caster = getUnitById(c.unitId);
    const V2i target{c.targetX / TILE_SIZE, c.targetY / TILE_SIZE};
    const V2i from = worldToTile(caster->x, caster->y);
    const float dx = static_cast<float>(target.x - from.x);
    const float dy = static_cast<float>(target.y - from.y);
    const float range = static_cast<float>(spell.range);
    if (std::sqrt(dx * dx + dy * dy) > range) {
        const V2i stand = findClosestTileWithinRange(caster, target, grid, range);
        if (stand.x != -1)
            caster->orders.push_back({CommandType::Move, MoveCommand{{c.unitId}, stand.x, stand.y, true}});
    }
    caster->orders.push_back({CommandType::CastSpell, c});
}

// A unit casts only the spells its panel offers it, and waits behind a bounded queue of orders.
bool handleCastSpell(const CastSpellCommand& c, OrderContext& ctx) {
    const auto found = spellInfo.find(c.spell);
    const Unit* caster = ownUnit(c.unitId, ctx);
    if (found == spellInfo.end() || !caster || !offersSpell(*caster, c.spell)) return false;
    const SpellInfo spell = found->second;
    if (spell.targetType == TargetType::Self) return castSelfSpell(c, spell);
    if (TILE_SIZE <= 0 || !isValidTile({c.targetX / TILE_SIZE, c.targetY / TILE_SIZE}) || c.targetX < 0 ||
        c.targetY < 0)
        return false;
    if (caster->orders.size() + 2 > MAX_QUEUED_ORDERS) return false;
    queueSpell(c, spell, ctx.grid);
    return true;
}

bool handleStopProduction(const StopProductionCommand& c, OrderContext& ctx) {
    Building* building = ownBuilding(c.buildingId, ctx);
    return building && cancelProductionSlot(*building, c.index);
}

bool handleStopConstruction(const StopConstructionCommand& c, OrderContext& ctx) {
    Building* building = ownBuilding(c.buildingId, ctx);
    return building && cancelConstruction(*building, ctx.grid);
}

bool handleResearch(const ResearchUpgradeCommand& c, OrderContext& ctx) {
    Building* building = ownBuilding(c.buildingId, ctx);
    return building && researchUpgrade(building, c.upgradeType);
}

bool handleChat(const ChatMessageCommand& c, OrderContext& ctx) {
    const Player* player = getPlayerById(ctx.cmd.player);
    if (!player) return false;
    postActivity("[" + player->name + "]: " + c.message, texFood);
    return true;
}

bool handlePing(const PingCommand&, OrderContext&) {
    lockstep.collectCommand(Command{CommandType::Pong, localPlayerId, PongCommand{}});
    return false;
}

// The pong record carries no send time, so there is no round trip to measure from it.
bool handlePong(const PongCommand&, OrderContext&) { return false; }

bool handleAttackMove(const AttackMove& c, OrderContext& ctx) {
    SDL_Log("APPLYING ATTACK MOVE");
    Unit* unit = ownUnit(c.unitId, ctx);
    if (!unit) return reportMissing("Attack Move", "unit", c.unitId), false;
    if (!isValidSubTile({c.x, c.y})) return false;
    if (!c.shiftHeld) {
        unit->orders.clear();
        unit->orderRunning = false;
    }
    if (unit->orders.size() >= MAX_QUEUED_ORDERS) return false;
    unit->orders.push_back({CommandType::AttackMove, c});
    return true;
}

// The ground shows a player only the corpses of its own dead to carry off.
bool isCorpseOfAnother(const Item& item, int player) {
    if (item.type != "Corpse") return false;
    const int dead = item.graveyardIndex;
    return dead < 0 || static_cast<size_t>(dead) >= graveyard.size() ||
           graveyard[static_cast<size_t>(dead)].playerId != player;
}

bool handlePickUp(const PickUpCommand& c, OrderContext& ctx) {
    SDL_Log("APPLYING PICKUP MOVE");
    Unit* unit = ownUnit(c.unitId, ctx);
    if (!unit) return reportMissing("PickUp", "unit", c.unitId), false;
    const auto item = items_map.find(c.itemId);
    if (item == items_map.end()) return reportMissing("PickUp", "item", c.itemId), false;
    if (isCorpseOfAnother(item->second, ctx.cmd.player)) return false;
    unit->pickUpPending = true;
    unit->pickUpItemId = c.itemId;
    const V2i at = worldToSubTile(item->second.x, item->second.y);
    processGroupMove2(MoveCommand{{c.unitId}, at.x, at.y, false}, ctx.grid);
    return true;
}

bool handlePause(const PauseGameCommand&, OrderContext&) {
    paused = true;
    return false;
}

bool handleResume(const ResumeGameCommand&, OrderContext&) {
    paused = false;
    return false;
}

// Stops the issuing player's own listed units in place; another player's unit is left alone. Whether any was
// stopped, or the list was empty: as with a move, a list of only another player's units is refused.
bool haltOwnUnits(const std::vector<int>& unitIds, const OrderContext& ctx, bool hold) {
    bool halted = unitIds.empty();
    for (int id : unitIds) {
        Unit* u = ownUnit(id, ctx);
        if (!u) continue;
        halted = true;
        if (hold) u->state = UnitState::HoldPosition;
        u->waypoints.clear();
        u->targetId = -1;
        u->isAttacking = false;
        u->attackAnimating = false;
        u->scanCounter = u->scanInterval;
        u->route.clear();
        u->routeDestination = {-1, -1};
    }
    return halted;
}

bool handleHold(const HoldCommand& c, OrderContext& ctx) { return haltOwnUnits(c.unitIds, ctx, true); }

bool handleStop(const StopCommand& c, OrderContext& ctx) { return haltOwnUnits(c.unitIds, ctx, false); }

bool handleConstruct(const ConstructCommand& c, OrderContext& ctx) {
    Unit* worker = ownUnit(c.unitId, ctx);
    Building* building = ownBuilding(c.buildingId, ctx);
    return worker && building && constructBuilding(worker, building, ctx.grid);
}

// What a live session did beside the orders is taken where the log is read back; as an order it does nothing.
bool handleTakeover(const ComputerTakeoverCommand&, OrderContext&) { return false; }

using OrderHandler = bool (*)(const CommandPayload&, OrderContext&);

template <class Order, bool (*Handle)(const Order&, OrderContext&)>
bool dispatch(const CommandPayload& payload, OrderContext& ctx) {
    return Handle(std::get<Order>(payload), ctx);
}

// Indexed by the alternative the command holds; each returns whether the order was carried out.
constexpr OrderHandler orderHandlers[] = {
    dispatch<std::monostate, handleNone>,
    dispatch<MoveCommand, handleMove>,
    dispatch<SpawnCommand, handleSpawn>,
    dispatch<MineCommand, handleMine>,
    dispatch<PlaceBuildingDownCommand, handlePlaceBuilding>,
    dispatch<TrainUnitCommand, handleTrainUnit>,
    dispatch<AttackCommand, handleAttack>,
    dispatch<SetRallyPointCommand, handleRallyPoint>,
    dispatch<CarrierPickUpCommand, handleCarrierPickUp>,
    dispatch<CarrierDropOffCommand, handleCarrierDropOff>,
    dispatch<CastSpellCommand, handleCastSpell>,
    dispatch<StopProductionCommand, handleStopProduction>,
    dispatch<StopConstructionCommand, handleStopConstruction>,
    dispatch<ResearchUpgradeCommand, handleResearch>,
    dispatch<ChatMessageCommand, handleChat>,
    dispatch<PingCommand, handlePing>,
    dispatch<PongCommand, handlePong>,
    dispatch<AttackMove, handleAttackMove>,
    dispatch<PickUpCommand, handlePickUp>,
    dispatch<PauseGameCommand, handlePause>,
    dispatch<ResumeGameCommand, handleResume>,
    dispatch<HoldCommand, handleHold>,
    dispatch<StopCommand, handleStop>,
    dispatch<ConstructCommand, handleConstruct>,
    dispatch<ComputerTakeoverCommand, handleTakeover>,
};
static_assert(std::size(orderHandlers) == std::variant_size_v<CommandPayload>, "one handler per order record");

bool isLoggedType(CommandType type) { return type != CommandType::Ping && type != CommandType::Pong; }

}  // namespace

void applyCommand(const Command& cmd, Grid& grid, int, bool isReplay) {
    OrderContext ctx{cmd, grid, isReplay};
    const bool accepted = orderHandlers[cmd.payload.index()](cmd.payload, ctx);
    if (accepted && !isReplay && isLoggedType(cmd.type)) logAtCurrentTurn(cmd);
}

bool isPauseCommand(const Command& cmd) {
    return cmd.type == CommandType::PauseGame || cmd.type == CommandType::ResumeGame;
}

void applyLiveTurn(const std::vector<Command>& cmds, Grid& grid, int nowMs) {
    for (const Command& cmd : cmds)
        if (!paused || isPauseCommand(cmd)) applyCommand(cmd, grid, nowMs, false);
}
