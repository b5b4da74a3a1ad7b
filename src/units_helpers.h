// Small helpers shared by the unit source files.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "units.h"

// The tile holding a sub-tile, by signed division.
inline V2i tileOfSubTile(V2i sub) { return {sub.x / 4, sub.y / 4}; }

inline bool isHoldingPosition(const Unit& unit) { return unit.state == UnitState::HoldPosition; }

// An attack-moving army would otherwise stand idle in the crowd of its own units, short of the enemy: a unit
// whose walk round the crowd failed walks again toward the goal of its running attack-move. False when it has no
// such order or no path there.
bool resumeAttackMove(Unit& unit, Grid& grid);
