// Special effects: the effect sprite catalogue, the short animated effects of combat and the blood decals.
#include "special_effects.h"

#include <cmath>
#include <cstdlib>
#include <utility>

#include "config.h"
#include "entity.h"
#include "races.h"
#include "utils.h"

std::unordered_map<std::string, SpecialEffectSpriteMeta> specialEffectsSprites;

void loadSpecialEffectsSprites(const std::string& path) {
    const nlohmann::json doc = Utils::loadJsonFile(path);
    for (const auto& [name, entry] : doc.items()) {
        SpecialEffectSpriteMeta meta{readAnimatedSprite(entry)};
        const auto animation = entry.find("animation");
        if (animation != entry.end()) {
            meta.loopTimes = jsonInt(*animation, "loopTimes", 1);
            meta.scale = jsonFloat(*animation, "scale", 1.0f);
        }
        specialEffectsSprites[name] = meta;
    }
}

// ---- Effects in play and blood decals ----

std::vector<ActiveSpecialEffect> active_special_effects;

// Moves and animates one effect; false when it has played out.
static bool advanceEffect(ActiveSpecialEffect& e, float dt) {
    e.x = truncToInt(static_cast<float>(e.x) + e.vx * dt);
    e.y = truncToInt(static_cast<float>(e.y) + e.vy * dt);
    e.vx *= 0.92f;
    e.vy *= 0.92f;

    const auto meta = specialEffectsSprites.find(e.spriteKey);
    if (meta == specialEffectsSprites.end() || meta->second.frameCount < 1) return false;
    const SpecialEffectSpriteMeta& sprite = meta->second;
    const float t = e.frameTimer + dt;
    if (t >= sprite.frameDuration) {
        e.frameTimer = 0.0f;
        e.frame = (e.frame + 1) % sprite.frameCount;
        if (e.frame == 0) ++e.loops;
    } else {
        e.frameTimer = t;
    }
    return e.loops < sprite.loopTimes;
}

void updateSpecialEffects(float dt, Grid& grid) {
    // One pass closes the gaps of the effects that ended, in order, rather than one shift per ended effect.
    size_t kept = 0;
    for (size_t i = 0; i < active_special_effects.size(); ++i) {
        if (!advanceEffect(active_special_effects[i], dt)) continue;
        if (kept != i) active_special_effects[kept] = std::move(active_special_effects[i]);
        ++kept;
    }
    active_special_effects.erase(active_special_effects.begin() + static_cast<std::ptrdiff_t>(kept),
                                 active_special_effects.end());
}

static void addBloodDecal(Grid& grid, V2f pos, const char* prefix) {
    const float tileSize = static_cast<float>(TILE_SIZE);
    const int tx = truncToInt(pos.x / tileSize);
    const int ty = truncToInt(pos.y / tileSize);
    if (tx < 0 || tx >= MAP_W || ty < 0 || ty >= MAP_H) return;
    const size_t cell = static_cast<size_t>(ty) * static_cast<size_t>(MAP_W) + static_cast<size_t>(tx);
    if (cell >= grid.tiles.size()) return;

    const std::string key = prefix + std::to_string(std::rand() % 3 + 1);
    const auto meta = specialEffectsSprites.find(key);
    if (meta == specialEffectsSprites.end()) return;

    TileDecal decal;
    decal.spriteKey = key;
    decal.offsetX = std::fmod(pos.x, tileSize);
    decal.offsetY = std::fmod(pos.y, tileSize);
    decal.rotation = static_cast<float>(std::rand() % 360);
    decal.scale = (static_cast<float>(std::rand() % 40) / 100.0f + 0.8f) * meta->second.scale;

    std::vector<TileDecal>& decals = grid.tiles[cell].decals;
    if (decals.size() >= MAX_DECALS_PER_TILE) decals.erase(decals.begin());
    decals.push_back(decal);
}

void add_blood_to_tile(Grid& grid, V2f pos) { addBloodDecal(grid, pos, "BloodDropplet_"); }

void add_blue_blood_to_tile(Grid& grid, V2f pos) { addBloodDecal(grid, pos, "BloodDroppletBlue_"); }
