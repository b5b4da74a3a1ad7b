// Projectiles: the projectile catalogue, the built-in table of hit animations, homing projectiles and their hits.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <SDL2/SDL.h>

#include "map.h"

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

// ---- Projectiles in flight and hit animations ----

// A homing shot in world coordinates. Attacker and target are entity ids, never pointers.
struct Projectile {
    int id = 0;
    float x = 0.0f;
    float y = 0.0f;
    float dirX = 0.0f;  // toward the target; a unit vector once the projectile has flown
    float dirY = 0.0f;
    float speed = 0.0f;  // world units per second
    int attackerId = -1;
    int targetId = -1;
    bool active = true;
    int frame = 0;
    float animTimer = 0.0f;
    bool flip = false;
    std::string type;  // key of projectileInfo
    int direction = 0;  // sprite column 0-4
};

struct ProjectileHit {
    int id = 0;
    float x = 0.0f;
    float y = 0.0f;
    bool active = true;
    int frame = 0;
    float timer = 0.0f;
    int totalFrames = 0;
    float frameDuration = 0.0f;
    std::string type;
};

// Emptied when a session ends or a replay seeks back to its start.
extern std::vector<Projectile> projectiles;
// Left alone by those resets: hit animations run out on their own.
extern std::vector<ProjectileHit> projectileHits;
// Never reset.
extern int nextProjectileId;
extern int nextProjectileHitId;

// The sprite column (0 up, 2 sideways, 4 down) and mirror flag for a flight direction in world coordinates.
std::pair<int, bool> getProjectileDirection(const SDL_FPoint& dir);

// Appends a projectile as its creators do: the next id, and sprite column and flip from the direction.
// The direction's length multiplies the speed for the whole flight (a unit vector leaves it as given).
void launchProjectile(const std::string& type, SDL_FPoint start, SDL_FPoint direction, float speed, int attackerId,
                      int targetId);

// Once per tick: animates, moves and steers every projectile toward its target's current position; on
// arrival applies the shooter's damage and starts the hit animation. A projectile arrives within the
// arrival distance or once its next step would carry it past the target, so no speed makes it circle.
// A type missing from the catalogue still flies and hits, without animation.
void updateProjectiles(float dt, Grid& grid);
// Once per tick: advances the hit animations, at most one frame a tick, and drops those played through.
void updateProjectileHits(float dt, Grid& grid);
