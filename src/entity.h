// Everything that can be hit: the shared base of units and buildings and their one id space.
#pragma once

#include <vector>

#include <SDL2/SDL.h>

#include "utils.h"

struct Attackable {
    std::vector<V2i> nearbyTiles;  // sub-tiles, refilled by computeNearbyTiles; unclipped, consumers check bounds
    float hp = 0.0f;
    int id = -1;
    bool deathHandled = false;  // the consequences of a death run once

    Attackable() = default;
    Attackable(const Attackable&) = default;
    Attackable(Attackable&&) = default;
    Attackable& operator=(const Attackable&) = default;
    Attackable& operator=(Attackable&&) = default;
    virtual ~Attackable() = default;

    // A negative amount heals, but never beyond the maximum hit points.
    virtual void takeDamage(int amount) = 0;
    virtual void computeNearbyTiles() = 0;
    virtual void computeNearbyTiles(float range) = 0;
    bool isDead() const { return hp <= 0.0f; }
    virtual bool isUnit() const { return false; }
    virtual bool isBuilding() const { return false; }
    virtual SDL_FPoint getWorldPos() const = 0;
    virtual V2i getTile() const = 0;
};

// Ids 0 and 1 are never handed out: a reservation query answers 0 for a free sub-tile and 1 for one
// off the grid, so no entity may carry either value.
constexpr int FIRST_ATTACKABLE_ID = 2;

// The next id of any unit or building; a creator takes the value and advances it.
extern int nextAttackableId;

// Ids restart at the first id whenever a session resets, ends or rewinds.
void resetAttackableIds();

// Units first, then buildings; null when gone. Valid only until either vector changes: keep the id.
Attackable* getAttackableById(int id);

// hp after taking amount, healing capped at maxHp (or at hp when it already exceeds maxHp).
float hpAfterDamage(float hp, float maxHp, int amount);

// tiles * perTile sub-tiles, bounded so absurd catalogue sizes stay finite.
int footprintSubTiles(int tiles, int perTile);

// Reach in sub-tiles for a range in tiles: at least 1, bounded by the sub-grid.
int reachInSubTiles(float range);
