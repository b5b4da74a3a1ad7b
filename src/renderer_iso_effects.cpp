// Projectiles, hits and special effects: one frame of each sheet centred on its projected world point.
#include "renderer_iso_effects.h"

#include <algorithm>

#include "map.h"
#include "projectiles.h"
#include "sdl.h"
#include "sdl_draw.h"
#include "special_effects.h"

namespace {

SDL_FRect centredBox(SDL_FPoint p, float w, float h) { return {p.x - w / 2.0f, p.y - h / 2.0f, w, h}; }

}  // namespace

int frameInStrip(int frame, int frameSize, int stripSize) {
    const int frames = frameSize > 0 ? stripSize / frameSize : 0;
    if (frames <= 0) return -1;
    const int f = frame % frames;
    return f < 0 ? f + frames : f;
}

// Sheets hold one column per direction (0 up to 4 down) and the frames stacked downward.
void drawProjectiles() {
    for (const Projectile& p : projectiles) {
        const auto it = projectileInfo.find(p.type);
        if (!p.active || it == projectileInfo.end() || !it->second.texture) continue;
        const ProjectileInfo& info = it->second;
        const int frame = frameInStrip(p.frame, info.frameHeight, textureSize(info.texture).y);
        if (frame < 0 || info.frameWidth <= 0) continue;
        const SDL_Rect src{p.direction * info.frameWidth, frame * info.frameHeight, info.frameWidth, info.frameHeight};
        const float s = info.scale * camera.zoom;
        const SDL_FRect dst = centredBox(worldToScreen({p.x, p.y}), info.frameWidth * s, info.frameHeight * s);
        SDL_RenderCopyExF(renderer, info.texture, &src, &dst, 0.0, nullptr,
                          p.flip ? SDL_FLIP_HORIZONTAL : SDL_FLIP_NONE);
    }
}

// Hit sheets are one row of frames.
void drawProjectileHits() {
    for (const ProjectileHit& h : projectileHits) {
        const auto it = projectileInfo.find(h.type);
        if (!h.active || it == projectileInfo.end() || !it->second.hitTexture) continue;
        const ProjectileInfo& info = it->second;
        const int frame = frameInStrip(h.frame, info.hitFrameWidth, textureSize(info.hitTexture).x);
        if (frame < 0) continue;
        const SDL_Rect src{frame * info.hitFrameWidth, 0, info.hitFrameWidth, info.hitFrameHeight};
        const float s = info.scale * camera.zoom;
        const SDL_FRect dst = centredBox(worldToScreen({h.x, h.y}), info.hitFrameWidth * s, info.hitFrameHeight * s);
        SDL_RenderCopyF(renderer, info.hitTexture, &src, &dst);
    }
}

// Effect sheets are one row of frames; a scale of 0 draws at one.
void drawSpecialEffects(SDL_Renderer* target) {
    for (const ActiveSpecialEffect& e : active_special_effects) {
        const auto it = specialEffectsSprites.find(e.spriteKey);
        if (it == specialEffectsSprites.end() || !it->second.sprite.texture) continue;
        const SpecialEffectSpriteMeta& meta = it->second;
        const int frame = frameInStrip(e.frame, meta.frameWidth, textureSize(meta.sprite.texture).x);
        if (frame < 0) continue;
        const SDL_Rect src{frame * meta.frameWidth, 0, meta.frameWidth, meta.frameHeight};
        const float s = (meta.scale > 0.0f ? meta.scale : 1.0f) * camera.zoom;
        const SDL_FPoint p = worldToScreen({static_cast<float>(e.x), static_cast<float>(e.y)});
        const SDL_FRect dst = centredBox(p, meta.frameWidth * s, meta.frameHeight * s);
        SDL_RenderCopyExF(target, meta.sprite.texture, &src, &dst, e.rotation, nullptr, SDL_FLIP_NONE);
    }
}
