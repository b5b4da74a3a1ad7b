// Lockstep turn exchange; for now the fixed turn length every tick-based constant derives from.
#pragma once

// One turn runs exactly one simulation tick.
constexpr float TURN_LENGTH = 0.016f;
