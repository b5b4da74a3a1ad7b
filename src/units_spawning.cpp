// Units: spawning.
#include "units.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>

#include "buildings.h"
#include "config.h"
#include "construction-manager.h"
#include "extraction.h"
#include "game_state.h"
#include "map_objects.h"
#include "player.h"
#include "projectiles.h"
#include "races.h"
#include "sounds.h"
#include "special_effects.h"
#include "spells.h"
#include "sprites.h"
#include "tech_tree.h"
#include "textures.h"
#include "upgrades.h"

void scaleMovementSpeed(Unit& unit, float factor) {
    unit.movementSpeed *= factor;
    const int step = speedPerTickFor(unit.movementSpeed);
    // However often it is slowed, a unit that can move at all still creeps toward its goal.
    unit.speedPerTick = unit.movementSpeed > 0.0f ? std::max(step, 1) : step;
}

// The record of a new unit with the next id; null for a type the catalogue lacks.
static std::optional<Unit> newSpawnedUnit(const std::string& type, int playerId) {
    const UnitInfo* info = getUnitInfo(type);
    if (!info) return std::nullopt;
    return newUnitFromInfo(*info, nextAttackableId++, playerId);
}

Unit* spawnUnit(const std::string& type, int playerId) {
    std::optional<Unit> unit = newSpawnedUnit(type, playerId);
    if (!unit) return nullptr;
    const float tile = static_cast<float>(TILE_SIZE);
    unit->x = (playerId == Player::myStaticId ? 4.5f : 15.5f) * tile;
    unit->y = 4.5f * tile;
    return &addUnit(*unit);
}

Unit* spawnDummy(const std::string& type, int playerId) {
    std::optional<Unit> unit = newSpawnedUnit(type, playerId);
    if (!unit) return nullptr;
    const Unit blank;
    unit->hp = unit->maxHp = 10000.0f;
    unit->damage = 0;
    unit->canAttack = false;
    unit->scanInterval = blank.scanInterval;
    unit->miningRetryTicks = blank.miningRetryTicks;
    unit->miningPatienceTicks = blank.miningPatienceTicks;
    const float tile = static_cast<float>(TILE_SIZE);
    unit->x = (playerId == 1 ? 4.5f : 8.5f) * tile;
    unit->y = 4.5f * tile;
    return &addUnit(*unit);
}

// The centre of the sub-tile under a point given in tiles, with the fixed sub-tile size 35.
static float spawnCoordinate(float tiles) {
    return static_cast<float>(truncToInt(tiles * static_cast<float>(SUBDIVISIONS))) * 35.0f + 17.5f;
}

int spawnUnitAt(const std::string& type, int playerId, SDL_FPoint point) {
    std::optional<Unit> unit = newSpawnedUnit(type, playerId);
    if (!unit) return -1;
    unit->x = spawnCoordinate(point.x);
    unit->y = spawnCoordinate(point.y);
    const V2i sub = worldToSubTile(unit->x, unit->y);
    unit->occupiedSubTile = sub;
    const int id = unit->id;
    addUnit(*unit);
    reserveTilesForUnit(id, type, sub);
    return id;
}

static bool birdMayLand(const Grid& grid, V2i tile, Tile movementClass) {
    return movementClass == Tile::Any || grid.at(tile.x, tile.y).walkable != 0;
}

// Whether the random search for a landing place can end at all.
static bool mapOffersPlace(const Grid& grid, Tile movementClass) {
    if (MAP_W <= 0 || MAP_H <= 0 || TILE_SIZE <= 0) return false;
    for (int y = 0; y < MAP_H; ++y)
        for (int x = 0; x < MAP_W; ++x)
            if (birdMayLand(grid, {x, y}, movementClass)) return true;
    return false;
}

void spawnCritters(const Grid& grid) {
    for (int i = 0; i < 8; ++i) {
        Unit bird = spawnCritter("Bird");
        if (bird.id == -1) return;
        const Tile movementClass = unitInfo.at("Bird").walkable;
        if (!mapOffersPlace(grid, movementClass)) return;
        for (;;) {
            const float x = static_cast<float>(std::rand() % (MAP_W * TILE_SIZE));
            const float y = static_cast<float>(std::rand() % (MAP_H * TILE_SIZE));
            if (!birdMayLand(grid, worldToTile(x, y), movementClass)) continue;
            bird.x = x;
            bird.y = y;
            break;
        }
        addUnit(bird);
    }
}
