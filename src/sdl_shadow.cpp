// The soft disc units stand on, drawn flattened and tinted black under each unit.
#include "sdl_shadow.h"

#include <algorithm>
#include <cmath>

#include "sdl.h"

SDL_Texture* shadowTex = nullptr;

SDL_Texture* createShadowTexture(SDL_Renderer* r, int size) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, size, size, 32, SDL_PIXELFORMAT_RGBA32);
    if (!surface) return nullptr;
    const float radius = static_cast<float>(size) * 0.5f;
    for (int j = 0; j < size; ++j) {
        Uint32* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface->pixels) + j * surface->pitch);
        for (int i = 0; i < size; ++i) {
            const float d = std::hypot(static_cast<float>(i) - radius, static_cast<float>(j) - radius) / radius;
            const float t = std::max(1.0f - d, 0.0f);
            const auto alpha = static_cast<Uint8>((3.0f - 2.0f * t) * t * t * 255.0f);
            row[i] = SDL_MapRGBA(surface->format, 255, 255, 255, alpha);
        }
    }
    SDL_Texture* texture = SDL_CreateTextureFromSurface(r, surface);
    SDL_FreeSurface(surface);
    if (texture) SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    return texture;
}

void ensureShadowTexture() {
    if (!shadowTex && renderer) shadowTex = createShadowTexture(renderer, 128);
}

void releaseShadowTexture() {
    if (shadowTex) SDL_DestroyTexture(shadowTex);
    shadowTex = nullptr;
}

void textureShadow(float x, float y, float w, float h, float scale) {
    if (!shadowTex) return;
    SDL_SetTextureColorMod(shadowTex, 0, 0, 0);
    SDL_SetTextureAlphaMod(shadowTex, 160);
    const float sw = w * 0.7f * scale;
    const float sh = 0.4f * sw;
    const SDL_FRect dst{x - sw / 2, y + h - sh / 2, sw, sh};
    SDL_RenderCopyF(renderer, shadowTex, nullptr, &dst);
}
