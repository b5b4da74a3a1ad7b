// Projectiles: the built-in table of hit animations per projectile.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

struct ProjectileHitInfo {
    int32_t count = 0;
    float time = 0.0f;  // seconds
};

extern const std::unordered_map<std::string, ProjectileHitInfo> projectileHitInfo;
