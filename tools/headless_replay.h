// A replay session without a window: a command log loaded and its map's world built, ready to play or to seek.
#pragma once

#include <istream>

#include "game_replay.h"
#include "game_session.h"
#include "headless_session.h"

namespace headless {

// Loads the log and builds the world of its map as a replay session starts; the headless hooks that builds it
// with are those a backward seek rebuilds the world through. False, with one line on the error stream, for a log
// or map that cannot be used.
inline bool startReplay(std::istream& log) {
    mode = GameMode::Replay;
    if (!loadReplay(log)) return false;
    if (!buildMapWorld(mapPath(MAP_FILE), true)) return false;
    lockstep = LockstepManager{};
    replayTurnIndex = 0;
    gameState = GameState::Match;
    return true;
}

}  // namespace headless
