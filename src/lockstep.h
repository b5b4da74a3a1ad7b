// Lockstep turn exchange: the fixed turn length and the local orders waiting for the next turn.
#pragma once

#include <vector>

#include "game_commands.h"

// One turn runs exactly one simulation tick.
constexpr float TURN_LENGTH = 0.016f;

struct LockstepManager {
    // Local orders for the next turn packet, in the order they were appended.
    std::vector<Command> pendingCommands;
};

extern LockstepManager lockstep;
