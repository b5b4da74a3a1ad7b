// Special effects: the effect sprite catalogue.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "sprites.h"

struct SpecialEffectSpriteMeta : AnimatedSprite {
    int32_t loopTimes = 1;
    float scale = 0.0f;
};

extern std::unordered_map<std::string, SpecialEffectSpriteMeta> specialEffectsSprites;

// An entry without "animation" gets scale 0.0; an "animation" without "scale" gives 1.0.
void loadSpecialEffectsSprites(const std::string& path);
