// Regions of the sub-tile grid per movement class, so a search that cannot reach its goal is refused at once.
#pragma once

#include <vector>

#include "map.h"
#include "units.h"

// True only when no search from start can reach the goal (or any of the goals): off the grid, on ground the
// class may not enter, or in another region under 8-neighbour steps (heightRule: height borders apply too).
// Not exact, a change of the map that splits a region may go unseen for up to a thousand calls (never the other way).
bool cannotReach(const Grid& grid, V2i start, V2i goal, Tile movementClass, bool heightRule, bool exact = true);
bool cannotReachAny(const Grid& grid, V2i start, const std::vector<V2i>& goals, Tile movementClass,
                    bool heightRule, bool exact = true);
// The same for the sub-tiles of a reach square, read tile by tile.
bool cannotReachSquare(const Grid& grid, V2i start, const ReachSquare& goals, Tile movementClass, bool heightRule,
                       bool exact = true);
