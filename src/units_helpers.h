// Small helpers shared by the unit source files.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "units.h"

// The tile holding a sub-tile, by signed division.
inline V2i tileOfSubTile(V2i sub) { return {sub.x / 4, sub.y / 4}; }

inline bool isHoldingPosition(const Unit& unit) { return unit.state == UnitState::HoldPosition; }
