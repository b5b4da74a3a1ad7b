// Units: walk orders, carriers and latching.
#include "units.h"
#include "units_helpers.h"

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
#include "upgrades.h"

// Goals at most this many sub-tiles away (Manhattan) are planned breadth-first.
static constexpr int64_t SHORT_WALK = 19;

SDL_FPoint subTileWaypoint(V2i sub) {
    return {static_cast<float>(sub.x) * 35.0f + 17.5f, static_cast<float>(sub.y) * 35.0f + 17.5f};
}

void setUnitPath(Unit& unit, const SubTilePath& path) {
    unit.waypoints.clear();
    for (const V2i& sub : path) unit.waypoints.push_back(subTileWaypoint(sub));
}

static std::optional<SubTilePath> planWalk(const Grid& grid, V2i start, V2i goal, const Unit& unit) {
    if (manhattan(start, goal) <= SHORT_WALK) return simpleBFS(grid, start, goal, unit.walkable, unit.id, -1);
    return astar(grid, start, goal, unit.walkable, unit.id, 0);
}

// Land units are never sent onto water; ships and units of class Any may be.
static bool mayBeSentOnto(const Grid& grid, V2i goal, Tile movementClass) {
    if (movementClass == Tile::Any || movementClass == Tile::Water) return true;
    V2i tile = tileOfSubTile(goal);
    return grid.at(tile.x, tile.y).type != Tile::Water;
}

bool walkToTile(Unit& unit, V2i goal, Grid& grid) {
    if (!mayBeSentOnto(grid, goal, unit.walkable)) return false;
    const V2i start = worldToSubTile(unit.x, unit.y);
    std::optional<SubTilePath> path = planWalk(grid, start, goal, unit);
    if (!path) path = planWalk(grid, start, findClosestFreeTile(grid, goal, start, unit.walkable, unit.id), unit);
    if (!path) return false;
    if (unit.waypoints.empty()) {
        setUnitPath(unit, *path);
    } else {
        // A moving unit finishes the step it is on before following the new path.
        unit.waypoints.keepFront();
        for (size_t i = 1; i < path->size(); ++i) unit.waypoints.push_back(subTileWaypoint((*path)[i]));
    }
    unit.goal = goal;
    unit.hasGoal = true;
    unit.mining = false;
    if (unit.state != UnitState::OrderedMove && unit.state != UnitState::AttackMoving) unit.state = UnitState::Moving;
    return true;
}

bool walkToTilePure(Unit& unit, V2i goal, Grid& grid) {
    std::optional<SubTilePath> path = astarPure(grid, worldToSubTile(unit.x, unit.y), goal, unit.walkable);
    if (!path) return false;
    setUnitPath(unit, *path);
    unit.hasGoal = true;
    unit.goal = goal;
    unit.mining = false;
    if (unit.state != UnitState::OrderedMove) unit.state = UnitState::Moving;
    return true;
}

bool moveUnitUnclump(int unitId, V2i target, Grid& grid) {
    Unit* unit = getUnitById(unitId);
    if (!unit) return false;
    // A latching mine goes for its victim's own sub-tile.
    if (unit->type == "LatchedMine" || isTileReserved(target) == FREE_SUB_TILE)
        return walkToTile(*unit, target, grid);
    V2i free = findClosestFreeTile(grid, target, worldToSubTile(unit->x, unit->y), unit->walkable, unit->id);
    return walkToTile(*unit, free, grid);
}

bool sameDestination(const Unit& unit, V2i tile) {
    if (unit.waypoints.empty()) return false;
    const SDL_FPoint& last = unit.waypoints.back();
    return worldToTile(last.x, last.y) == tile;
}

// ---- Carriers and latching ----

std::unordered_map<int, std::vector<int>> zeppelinCargo;

void addUnitToZeppelin(Unit& unit) {
    zeppelinCargo[unit.boardCarrierId].push_back(unit.id);
    unit.onMap = false;
    // Every cell the unit holds is released, not only the one under it: a wide footprint or a reservation
    // made ahead of the unit would otherwise block that ground for as long as it rides.
    freeTileForUnit(unit.id, unit.type, worldToSubTile(unit.x, unit.y));
    removeFromSelection(unit.id);
}

Unit* removeUnitFromZeppelin(Unit& carrier, int unitId) {
    auto cargo = zeppelinCargo.find(carrier.id);
    if (cargo != zeppelinCargo.end()) {
        std::vector<int>& aboard = cargo->second;
        aboard.erase(std::remove(aboard.begin(), aboard.end(), unitId), aboard.end());
        if (aboard.empty()) zeppelinCargo.erase(cargo);
    }
    Unit* unit = getUnitById(unitId);
    if (!unit) return nullptr;
    unit->onMap = true;
    unit->x = carrier.x;
    unit->y = carrier.y;
    return unit;
}

void latchToUnit(Unit& unit, SDL_FPoint target) {
    // The chase crosses the wire once. No keyboard state reaches it.
    if (!ordersFromThisPeer(unit.playerId)) return;
    if (SUB_TILE_SIZE <= 0) return;
    MoveCommand move;
    move.unitIds = {unit.id};
    move.x = truncToInt(target.x) / SUB_TILE_SIZE;
    move.y = truncToInt(target.y) / SUB_TILE_SIZE;
    move.shiftHeld = false;
    lockstep.collectCommand(Command{CommandType::Move, unit.playerId, move});
}
