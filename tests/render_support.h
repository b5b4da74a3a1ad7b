// A software renderer on a 1280 by 720 surface for drawing tests, installed as the global renderer.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include <SDL2/SDL.h>

#include "sdl.h"

struct SurfaceRenderer {
    SDL_Surface* surface = nullptr;
    SDL_Renderer* previous = nullptr;

    explicit SurfaceRenderer(int w = 1280, int h = 720) {
        surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGBA8888);
        previous = renderer;
        renderer = SDL_CreateSoftwareRenderer(surface);
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
    }
    ~SurfaceRenderer() {
        SDL_DestroyRenderer(renderer);
        SDL_FreeSurface(surface);
        renderer = previous;
    }

    SDL_Color pixel(int x, int y) const {
        const auto* row = static_cast<const uint8_t*>(surface->pixels) + y * surface->pitch;
        const uint32_t v = reinterpret_cast<const uint32_t*>(row)[x];
        SDL_Color c;
        SDL_GetRGBA(v, surface->format, &c.r, &c.g, &c.b, &c.a);
        return c;
    }

    // A plain texture of one colour.
    SDL_Texture* solid(int w, int h, SDL_Color c) const {
        SDL_Texture* t = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA8888, SDL_TEXTUREACCESS_TARGET, w, h);
        SDL_SetRenderTarget(renderer, t);
        SDL_SetRenderDrawColor(renderer, c.r, c.g, c.b, c.a);
        SDL_RenderClear(renderer);
        SDL_SetRenderTarget(renderer, nullptr);
        SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
        return t;
    }
};
