// Projectiles: the projectile catalogue and the built-in table of hit animations.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>

#include <SDL2/SDL.h>

struct ProjectileInfo {
    std::string name;
    SDL_Texture* texture = nullptr;
    SDL_Texture* hitTexture = nullptr;
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
    int32_t totalFrames = 0;
    int32_t hitFrameWidth = 0;
    int32_t hitFrameHeight = 0;
    int32_t hitTotalFrames = 0;
    float hitFrameDuration = 0.0f;
    float scale = 1.0f;
};

// Ordered by type name.
extern std::map<std::string, ProjectileInfo> projectileInfo;

// An unopenable or malformed file raises an error that ends start-up.
void loadProjectiles(const std::string& path);

struct ProjectileHitInfo {
    int32_t count = 0;
    float time = 0.0f;  // seconds
};

extern const std::unordered_map<std::string, ProjectileHitInfo> projectileHitInfo;
