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

// The two players on the fight map and the script started before the world exists, as a session starts them; the
// headless stage that builds the world installs the mod hooks by the setting.
inline void seatTowerDefense(bool mods, const std::string& modFolder) {
    MAP_FILE = "fight";
    addPlayer(DEFENDER_ID, "Blue", "human", true);
    addPlayer(ATTACKER_ID, "Red", "vohmathal", false);
    Player::myStaticId = DEFENDER_ID;
    Player::aiId = ATTACKER_ID;
    MODS = mods;
    if (mods) modManager.start(grid, modFolder);
}

// Once the map's world stands: the local player's squad of defenders. The attacker has no base: its units are the
// script's waves.
inline void placeDefenders() {
    listUnitsWithOwners();
    placeArmy(DEFENDER_ID, "Marine", {10, 12}, 8);
}

// The whole start. False when the map cannot be built.
inline bool startTowerDefense(bool mods, const std::string& modFolder) {
    seatTowerDefense(mods, modFolder);
    if (!buildMapWorld(mapPath(MAP_FILE))) return false;
    placeDefenders();
    return true;
}

// The end of the match: the script closed before the world is emptied.
inline void endTowerDefense() {
    modManager.shutdown();
    reset_game_state();
}

}  // namespace headless
