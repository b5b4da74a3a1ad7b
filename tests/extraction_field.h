// Extraction tests: steps on the field of a running mission.
#pragma once

#include <vector>

#include "config.h"
#include "extraction.h"
#include "game_loop.h"
#include "map_objects.h"
#include "units.h"

// The units moved at once to a tile inside the extraction zone, and a frame for the panel to count them.
inline void standInTheZone(const std::vector<int>& ids) {
    const MapObject point = *getMapObjectById(extractionsMapObjectId);
    for (const int id : ids) {
        Unit& unit = *getUnitById(id);
        unit.x = unit.prevX = static_cast<float>((point.tileX - 1) * TILE_SIZE);
        unit.y = unit.prevY = static_cast<float>((point.tileY + 1) * TILE_SIZE);
    }
    game_loop();
}
