// The simulation tick, the step that runs one turn of it, and the world checksum.
#pragma once

#include <cstdint>

#include "map.h"

// Advances the whole world by one lockstep tick, every subsystem in its fixed order.
void simulateTick(Grid& grid);

// One turn after its commands: the drawing start points, the tick, then the next turn number.
void advanceOneTurn(Grid& grid);

// A hash over the state the tick changes: equal commands from an equal start give equal checksums, tick by tick.
uint64_t worldChecksum();
