// Units: the bounded breadth-first path of a blocked unit's divert, found by a search aimed at the start.
#pragma once

#include <optional>

#include "map.h"
#include "units.h"

// Exactly simpleBFS(grid, start, goal, movementClass, unitId, maxDepth) for a positive maxDepth. Among the
// shortest paths breadth-first order returns the one whose steps, read as indices into DIRECTIONS, are least in
// dictionary order; so the distances to the goal of the sub-tiles near the shortest paths are enough to walk it
// from the start, and a search from the goal aimed at the start finds them without flooding the whole depth.
std::optional<SubTilePath> boundedBreadthFirstPath(const Grid& grid, V2i start, V2i goal, Tile movementClass,
                                                   int unitId, int maxDepth);
