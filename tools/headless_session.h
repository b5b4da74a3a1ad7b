// A match without a window, for the match runner, the tick benchmark and the whole-game tests: content, a map's
// world, replayed turns, a clean slate between runs, and two built-in games (a battle and an economy).
#pragma once

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "activity.h"
#include "buildings.h"
#include "config.h"
#include "construction-manager.h"
#include "effect_grid.h"
#include "entity.h"
#include "extraction.h"
#include "game.h"
#include "game_commands.h"
#include "game_loop.h"
#include "game_session.h"
#include "game_state.h"
#include "lockstep.h"
#include "map.h"
#include "map_objects.h"
#include "mod_manager.h"
#include "player.h"
#include "projectiles.h"
#include "special_effects.h"
#include "spells.h"
#include "races.h"
#include "units.h"
#include "upgrades.h"

namespace headless {

// Every race of the content folder; false, with the fault on the error stream, for content that cannot load.
inline bool loadContent(const std::string& contentFolder) {
    try {
        loadAllRaces("", "", contentFolder);
        initializeCivilianLookup();
        return true;
    } catch (const std::exception& e) {
        std::cerr << "Content error: " << e.what() << "\n";
        return false;
    }
}

// The generators reseeded and the headless hooks installed, the mod script started through them when asked (as a
// session starts it, before the world exists), then the grid, map objects (giving the starting bases to the
// players) and decorations of a map file. False, with one line on the error stream, for a map that cannot be read.
inline bool buildMapWorld(const std::string& mapPath, bool startsMods = false) {
    seedSessionGenerators();
    installHooks(HookStage::Headless);
    if (startsMods) InitMod(grid);
    try {
        mapData = loadMapFromFile(mapPath);
        buildStaticWorld();
        return true;
    } catch (const std::exception& e) {
        std::cerr << mapPath << ": " << e.what() << "\n";
        return false;
    }
}

// One replay tick: the recorded turn of this tick, if any, then the tick.
inline void runReplayTick(Grid& world) { ::runReplayTick(world, 0); }

// The orders a built-in game gives on a turn.
using Script = std::function<std::vector<Command>(int turn)>;

inline std::string mapPath(const std::string& name) { return basePath + "maps/" + name + ".map"; }

inline void addPlayer(int id, const std::string& name, const std::string& race, bool spawnsBase) {
    players.push_back(std::make_unique<Player>(id, name, race, false));
    players.back()->spawnsBase = spawnsBase;
}

inline std::vector<int> unitsOf(int playerId) {
    std::vector<int> ids;
    for (const Unit& u : units)
        if (u.playerId == playerId) ids.push_back(u.id);
    return ids;
}

// Enters every unit in its owner's list where it is not listed yet, as registering a spawned unit does.
inline void listUnitsWithOwners() {
    for (const Unit& u : units) {
        Player* owner = getPlayerById(u.playerId);
        if (!owner) continue;
        if (std::find(owner->unitIds.begin(), owner->unitIds.end(), u.id) == owner->unitIds.end())
            owner->unitIds.push_back(u.id);
    }
}

// ---- Battle: two armies on the 128 by 128 tile map, ordered to attack-move into each other ----

// Walkable tiles round a centre, ring by ring, each ring row by row, so every run places alike.
inline std::vector<V2i> tilesAround(V2i centre, std::size_t wanted) {
    std::vector<V2i> found;
    for (int r = 0; found.size() < wanted && r < std::max(MAP_W, MAP_H); ++r)
        for (int y = centre.y - r; y <= centre.y + r; ++y)
            for (int x = centre.x - r; x <= centre.x + r; ++x) {
                const bool onRing = std::max(std::abs(x - centre.x), std::abs(y - centre.y)) == r;
                if (onRing && found.size() < wanted && grid.walkable(x, y, Tile::Grass)) found.push_back({x, y});
            }
    return found;
}

// A new unit standing on the sub-tile and holding its footprint, as a spawner leaves it; its id.
inline int placeUnit(int playerId, const UnitInfo& info, V2i sub) {
    Unit u = newUnitFromInfo(info, nextAttackableId++, playerId);
    const SDL_FPoint at = subTileWaypoint(sub);
    u.x = at.x;
    u.y = at.y;
    u.occupiedSubTile = sub;
    addUnit(u);
    reserveTilesForUnit(u.id, info.type, sub);
    return u.id;
}

// One unit per walkable tile round the centre, standing and holding its footprint as a spawner leaves it.
inline std::vector<int> placeArmy(int playerId, const std::string& type, V2i centre, int count) {
    const UnitInfo* info = getUnitInfo(type);
    std::vector<int> ids;
    if (!info) return ids;
    for (const V2i& tile : tilesAround(centre, static_cast<std::size_t>(count))) {
        const V2i sub{tile.x * SUBDIVISIONS + 1, tile.y * SUBDIVISIONS + 1};
        if (!isAreaFree(nextAttackableId, sub, type)) continue;
        ids.push_back(placeUnit(playerId, *info, sub));
    }
    return ids;
}

// The free walkable tiles of one side of the map round a centre, ring by ring, each ring row by row: the
// first army's rings never reach into the second's, so each side fields every unit it is given.
inline std::vector<int> placeArmyOnSide(int playerId, const std::string& type, V2i centre, int count, int xBegin,
                                        int xEnd) {
    const UnitInfo* info = getUnitInfo(type);
    std::vector<int> ids;
    if (!info) return ids;
    const auto freeOnSide = [&](int x, int y) {
        return x >= xBegin && x < xEnd && grid.walkable(x, y, Tile::Grass) &&
               isAreaFree(nextAttackableId, {x * SUBDIVISIONS + 1, y * SUBDIVISIONS + 1}, type);
    };
    for (int r = 0; static_cast<int>(ids.size()) < count && r < std::max(MAP_W, MAP_H); ++r)
        for (int y = centre.y - r; y <= centre.y + r; ++y)
            for (int x = centre.x - r; x <= centre.x + r; ++x) {
                const bool onRing = std::max(std::abs(x - centre.x), std::abs(y - centre.y)) == r;
                if (!onRing || static_cast<int>(ids.size()) >= count || !freeOnSide(x, y)) continue;
                ids.push_back(placeUnit(playerId, *info, {x * SUBDIVISIONS + 1, y * SUBDIVISIONS + 1}));
            }
    return ids;
}

// Builds the battle on "highlands" and answers its orders: Blue in the west half, Red in the east, up to 2,000
// units each. False when the map cannot be built.
inline bool startBattle(int perSide, Script& script) {
    MAP_FILE = "highlands";
    addPlayer(1, "Blue", "human", false);
    addPlayer(2, "Red", "vohmathal", false);
    if (!buildMapWorld(mapPath(MAP_FILE))) return false;
    // On the open ground north of the plateau in the middle of the map.
    const V2i blue{MAP_W * 3 / 8, MAP_H * 3 / 8};
    const V2i red{MAP_W * 5 / 8, MAP_H * 3 / 8};
    const std::vector<int> blueArmy = placeArmyOnSide(1, "Marine", blue, perSide, 0, MAP_W / 2);
    const std::vector<int> redArmy = placeArmyOnSide(2, "Grunt", red, perSide, MAP_W / 2, MAP_W);
    script = [=](int turn) {
        std::vector<Command> cmds;
        if (turn != 0) return cmds;
        for (int id : blueArmy)
            cmds.push_back(
                {CommandType::AttackMove, 1, AttackMove{id, red.x * SUBDIVISIONS, red.y * SUBDIVISIONS, false}});
        for (int id : redArmy)
            cmds.push_back(
                {CommandType::AttackMove, 2, AttackMove{id, blue.x * SUBDIVISIONS, blue.y * SUBDIVISIONS, false}});
        return cmds;
    };
    return true;
}

// ---- Economy: two full bases mining, training workers and building supply ----

inline std::string supplyBuildingOf(const std::string& race) {
    std::string chosen;
    for (const auto& [type, info] : buildingInfo)
        if (info.race == race && info.supply && (chosen.empty() || type < chosen)) chosen = type;
    return chosen;
}

inline std::vector<Command> economyOrders(int turn, int playerId) {
    std::vector<Command> cmds;
    const Player* player = getPlayerById(playerId);
    if (!player || player->buildingIds.empty()) return cmds;
    const int base = player->buildingIds.front();
    const std::vector<int> workers = unitsOf(playerId);
    if (turn % 250 == 0) {
        const ResourceFind crystal = findClosestResource(player->baseTile, "Crystal", grid);
        if (crystal.object)
            for (int id : workers)
                cmds.push_back(
                    {CommandType::Mine, playerId, MineCommand{id, crystal.tile.x, crystal.tile.y, crystal.object->id}});
    }
    if (turn % 300 == 150)
        cmds.push_back({CommandType::TrainUnit, playerId, TrainUnitCommand{base, workerTypeOfRace(player->race)}});
    if (turn % 900 == 600 && !workers.empty()) {
        const std::string supply = supplyBuildingOf(player->race);
        const V2i site = supply.empty() ? V2i{-1, -1} : findClosestFreeTile(player->baseTile, supply, grid, 4);
        if (site.x != -1)
            cmds.push_back({CommandType::PlaceBuildingDown, playerId,
                            PlaceBuildingDownCommand{supply, site.x, site.y, workers.back()}});
    }
    return cmds;
}

// Builds two bases on "fight", each with 1000 gold and wood to start, and answers their orders. False when the
// map cannot be built.
inline bool startEconomy(Script& script) {
    MAP_FILE = "fight";
    addPlayer(1, "Blue", "human", true);
    addPlayer(2, "Red", "vohmathal", true);
    if (!buildMapWorld(mapPath(MAP_FILE))) return false;
    listUnitsWithOwners();
    for (const auto& p : players) p->resources[RESOURCE_GOLD] = p->resources[RESOURCE_WOOD] = 1000;
    script = [](int turn) {
        std::vector<Command> cmds = economyOrders(turn, 1);
        for (Command& c : economyOrders(turn, 2)) cmds.push_back(std::move(c));
        return cmds;
    };
    return true;
}

}  // namespace headless
