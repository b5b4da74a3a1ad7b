// Projectiles: the projectile catalogue and the built-in table of hit animations.
#include "projectiles.h"

#include <stdexcept>

#include "races.h"
#include "textures.h"

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
