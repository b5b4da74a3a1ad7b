// Projectiles: the projectile catalogue, the built-in table of hit animations, homing projectiles and their hits.
#include "projectiles.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "config.h"
#include "entity.h"
#include "races.h"
#include "textures.h"
#include "units.h"

using nlohmann::json;

std::map<std::string, ProjectileInfo> projectileInfo;

static ProjectileInfo readProjectile(const std::string& name, const json& entry) {
    ProjectileInfo info;
    info.name = name;
    requireObject(entry);
    if (entry.contains("texture")) info.texture = LoadTexture(entry.at("texture").get<std::string>());
    info.frameWidth = jsonInt(entry, "frameWidth", 0);
    info.frameHeight = jsonInt(entry, "frameHeight", 0);
    info.totalFrames = jsonInt(entry, "totalFrames", 0);
    info.scale = jsonFloat(entry, "scale", 1.0f);
    const auto hit = entry.find("hit");
    if (hit != entry.end() && hit->is_object()) {
        info.hitFrameWidth = jsonInt(*hit, "frameWidth", 0);
        info.hitFrameHeight = jsonInt(*hit, "frameHeight", 0);
        info.hitTotalFrames = jsonInt(*hit, "totalFrames", 0);
        info.hitFrameDuration = jsonFloat(*hit, "frameDuration", 0.0f);
        if (hit->contains("texture")) info.hitTexture = LoadTexture(hit->at("texture").get<std::string>());
    }
    return info;
}

void loadProjectiles(const std::string& path) {
    json doc;
    if (!readCatalogueFile(path, doc)) throw std::runtime_error("Failed to open projectiles file: " + path);
    for (const auto& [name, entry] : doc.items()) projectileInfo[name] = readProjectile(name, entry);
}

const std::unordered_map<std::string, ProjectileHitInfo> projectileHitInfo = {
    {"Axe", {5, 0.1f}},      {"Arrow", {5, 0.1f}},      {"Catapult", {5, 0.1f}},
    {"TouchOfDarkness", {5, 0.1f}}, {"DragonFire", {16, 0.1f}},
};

// ---- Projectiles in flight and hit animations ----

std::vector<Projectile> projectiles;
std::vector<ProjectileHit> projectileHits;
int nextProjectileId = 0;
int nextProjectileHitId = 0;

std::pair<int, bool> getProjectileDirection(const SDL_FPoint& dir) {
    // Sector upper bounds in degrees (world y grows downward, so 90 points down) and what each shows.
    static const struct {
        float below;
        int column;
        bool flip;
    } sectors[] = {{22.5f, 2, false},  {67.5f, 3, false},  {112.5f, 4, false}, {157.5f, 3, true}, {202.5f, 2, true},
                   {247.5f, 1, true},  {292.5f, 0, false}, {337.5f, 1, false}};
    float angle = std::atan2(dir.y, dir.x) * 180.0f / 3.1415927f;
    if (angle < 0.0f) angle += 360.0f;
    for (const auto& sector : sectors)
        if (angle < sector.below) return {sector.column, sector.flip};
    return {2, false};
}

void launchProjectile(const std::string& type, SDL_FPoint start, SDL_FPoint direction, float speed, int attackerId,
                      int targetId) {
    Projectile p;
    p.id = nextProjectileId++;
    p.x = start.x;
    p.y = start.y;
    p.dirX = direction.x;
    p.dirY = direction.y;
    p.speed = speed;
    p.attackerId = attackerId;
    p.targetId = targetId;
    p.type = type;
    const auto [column, flip] = getProjectileDirection(direction);
    p.direction = column;
    p.flip = flip;
    projectiles.push_back(p);
}

static constexpr float ANIMATION_STEP = 0.08f;  // seconds per flight frame

// A creator may store the whole displacement as the direction; its length then scales the flight's speed
// throughout, rather than only the first step before the homing turns the direction into a unit vector.
static void foldDirectionLengthIntoSpeed(Projectile& p) {
    const float length = std::sqrt(p.dirX * p.dirX + p.dirY * p.dirY);
    if (!std::isfinite(length)) {
        // No usable direction: stand still this step and let the homing aim.
        p.dirX = p.dirY = 0.0f;
        return;
    }
    if (length <= 0.0f || std::fabs(length - 1.0f) < 1e-4f) return;
    p.speed *= length;
    p.dirX /= length;
    p.dirY /= length;
}

static void animateProjectile(Projectile& p, const ProjectileInfo* info, float dt) {
    p.animTimer += dt;
    if (p.animTimer < ANIMATION_STEP) return;
    p.animTimer = 0.0f;
    // Without frames the flight shows its first frame.
    p.frame = info && info->totalFrames > 0 ? (p.frame + 1) % info->totalFrames : 0;
}

// The projectile is not touched once the damage has run: a death's consequences may grow the list.
static void landProjectile(Projectile& p, Attackable* target, SDL_FPoint at, const ProjectileInfo* info, Grid& grid) {
    p.active = false;
    ProjectileHit hit;
    hit.x = at.x;
    hit.y = at.y;
    hit.type = p.type;
    const int attackerId = p.attackerId;
    applyAttackDamage(getAttackableById(attackerId), target, grid);
    if (!info) return;
    hit.id = nextProjectileHitId++;
    hit.totalFrames = info->hitTotalFrames;
    hit.frameDuration = info->hitFrameDuration;
    projectileHits.push_back(hit);
}

static void flyProjectile(Projectile& p, float dt, Grid& grid) {
    const auto found = projectileInfo.find(p.type);
    const ProjectileInfo* info = found != projectileInfo.end() ? &found->second : nullptr;
    animateProjectile(p, info, dt);

    foldDirectionLengthIntoSpeed(p);
    const float step = p.speed * dt;
    p.x += p.speed * p.dirX * dt;
    p.y += p.speed * p.dirY * dt;

    Attackable* target = getAttackableById(p.targetId);
    if (!target) {
        p.active = false;
        return;
    }
    const SDL_FPoint aim = target->getWorldPos();
    const float dx = aim.x - p.x;
    const float dy = aim.y - p.y;
    const float s = dx * dx + dy * dy;
    if (s > 0.0001f) {
        const float length = std::sqrt(s);
        p.dirX = dx / length;
        p.dirY = dy / length;
    }
    if (s < static_cast<float>(TILE_SIZE) || s <= step * step) landProjectile(p, target, aim, info, grid);
}

void updateProjectiles(float dt, Grid& grid) {
    // By index: a landing's consequences may append to the list.
    for (size_t i = 0; i < projectiles.size(); ++i)
        if (projectiles[i].active) flyProjectile(projectiles[i], dt, grid);
    projectiles.erase(std::remove_if(projectiles.begin(), projectiles.end(),
                                     [](const Projectile& p) { return !p.active; }),
                      projectiles.end());
}

void updateProjectileHits(float dt, Grid& grid) {
    for (ProjectileHit& hit : projectileHits) {
        if (!hit.active) continue;
        const float t = hit.timer + dt;
        if (t >= hit.frameDuration) {
            ++hit.frame;
            hit.timer = 0.0f;
        } else {
            hit.timer = t;
        }
        if (hit.frame >= hit.totalFrames) hit.active = false;
    }
    projectileHits.erase(std::remove_if(projectileHits.begin(), projectileHits.end(),
                                        [](const ProjectileHit& h) { return !h.active; }),
                         projectileHits.end());
}
