// The tower defence match without a window, for the match runner, the mods benchmark and the tests: the fight map,
// the local player's base with a squad of defenders, and the shipped mod script when mods are on.
#pragma once

#include <string>

#include "headless_session.h"
#include "mod_manager.h"

namespace headless {

constexpr int DEFENDER_ID = 1;
constexpr int ATTACKER_ID = 2;
// Five minutes of play.
constexpr int TOWER_DEFENSE_TICKS = static_cast<int>(300.0f / TURN_LENGTH + 0.5f);

// Built as a session builds it: the mod hooks chosen, the script started before the world exists, then the map.
// The attacker has no base: its units are the script's waves. False when the map cannot be built.
inline bool startTowerDefense(bool mods, const std::string& modFolder) {
    MAP_FILE = "fight";
    addPlayer(DEFENDER_ID, "Blue", "human", true);
    addPlayer(ATTACKER_ID, "Red", "vohmathal", false);
    Player::myStaticId = DEFENDER_ID;
    Player::aiId = ATTACKER_ID;
    MODS = mods;
    selectModHooks(mods);
    if (mods) modManager.start(grid, modFolder);
    if (!buildMapWorld(mapPath(MAP_FILE))) return false;
    listUnitsWithOwners();
    placeArmy(DEFENDER_ID, "Marine", {10, 12}, 8);
    return true;
}

// The end of the match: the script closed before the world is emptied.
inline void endTowerDefense() {
    modManager.shutdown();
    selectModHooks(false);
    reset_game_state();
}

}  // namespace headless
