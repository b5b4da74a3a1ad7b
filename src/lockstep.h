// Lockstep turn exchange; for now the fixed turn length every tick-based constant derives from.
#pragma once

#include <vector>

#include "game_commands.h"

// One turn runs exactly one simulation tick.
constexpr float TURN_LENGTH = 0.016f;

// The queue every producer of local orders appends to; the turn exchange grows around it.
struct LockstepManager {
    float turnLength = TURN_LENGTH;
    std::vector<Command> pendingCommands;
};

extern LockstepManager lockstep;
