// What the HUD's drawing tests share: the scene canvas read back pixel by pixel, and the screenshot folder.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include "../tools/render_scene.h"
#include "hud.h"
#include "screenshot_folder.h"

namespace hud_scene {

inline SDL_Color pixel(int x, int y) {
    SDL_Surface* s = scene::canvas().surface;
    const auto* row = static_cast<const uint8_t*>(s->pixels) + y * s->pitch;
    SDL_Color c;
    SDL_GetRGBA(reinterpret_cast<const uint32_t*>(row)[x], s->format, &c.r, &c.g, &c.b, &c.a);
    return c;
}

inline bool same(SDL_Color a, SDL_Color b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

using ::screenshotFolder;

// The scene's content stays loaded for every other scene; the canvas is cleared for each test.
struct SceneTest : ::testing::Test {
    SDL_Renderer* previous = renderer;
    std::vector<SDL_Texture*> made;  // by solid, destroyed after the test
    void SetUp() override {
        if (!scene::loadContent(CORVALE_SOURCE_DIR)) GTEST_SKIP() << "content or art missing";
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        tooltip = Tooltip{};
    }
    void TearDown() override {
        for (SDL_Texture* t : made) SDL_DestroyTexture(t);
        made.clear();
        resetHUDSession();
        clearMinimap();
        reset_game_state();
        renderer = previous;
    }
    // A one-pixel texture of the colour, for pictures whose every pixel reads alike.
    SDL_Texture* solid(SDL_Color c) {
        SDL_Texture* t = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA32, SDL_TEXTUREACCESS_STATIC, 1, 1);
        const uint8_t px[4] = {c.r, c.g, c.b, c.a};
        SDL_UpdateTexture(t, nullptr, px, 4);
        made.push_back(t);
        return t;
    }
};

}  // namespace hud_scene
