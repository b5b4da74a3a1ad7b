// Special effects: the effect sprite catalogue, the short animated effects of combat and the blood decals.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "map.h"
#include "sprites.h"
#include "utils.h"

struct SpecialEffectSpriteMeta : AnimatedSprite {
    int32_t loopTimes = 1;
    float scale = 0.0f;
};

extern std::unordered_map<std::string, SpecialEffectSpriteMeta> specialEffectsSprites;

// An entry without "animation" gets scale 0.0; an "animation" without "scale" gives 1.0.
void loadSpecialEffectsSprites(const std::string& path);

// ---- Effects in play and blood decals ----

// One playing effect; a creator sets position, velocity, rotation and sprite key and leaves the counters at 0.
struct ActiveSpecialEffect {
    int x = 0;  // world position, whole units
    int y = 0;
    float vx = 0.0f;  // world units per second
    float vy = 0.0f;
    float rotation = 0.0f;  // degrees, clockwise
    std::string spriteKey;
    int frame = 0;
    float frameTimer = 0.0f;
    int loops = 0;
};

// Only updateSpecialEffects removes entries; sessions do not clear it, leftovers run out on their own.
extern std::vector<ActiveSpecialEffect> active_special_effects;

// Once per tick: moves, damps and animates every effect and removes each after its loop count. An effect
// whose sprite is missing or has no frames has nothing to play and is removed.
void updateSpecialEffects(float dt, Grid& grid);

// A tile keeps at most this many decals; a new one then replaces the oldest.
constexpr std::size_t MAX_DECALS_PER_TILE = 16;

// One red (or blue) splat on the tile under a world point; nothing off the map or without the sprite.
// Draws the simple generator: the variant always, then rotation and scale when the decal is made.
void add_blood_to_tile(Grid& grid, V2f pos);
void add_blue_blood_to_tile(Grid& grid, V2f pos);
