// The fog's coarse layers against a window that changed size after they were made.
#include <gtest/gtest.h>

#include "config.h"
#include "draw_fixture.h"
#include "fog.h"

namespace {

uint32_t laterTicks() {
    static uint32_t now = 0;
    return now += 1000;
}

struct FogView : DrawFixture {
    void TearDown() override {
        SDL_SetWindowSize(window, W, H);
        FOG = false;
        fogTicks = SDL_GetTicks;
        DrawFixture::TearDown();
    }
};

// Fullscreen or a resized window: the layers keep their size until the next session, and reading them back must
// stay inside them (AddressSanitizer watches the read).
TEST_F(FogView, AShrunkWindowIsReadAtTheLayersOwnSize) {
    FOG = true;
    fogTicks = laterTicks;
    MAP_W = MAP_H = 4;
    initVisionGrid(MAP_W, MAP_H);
    resetFogOfWar(MAP_W, MAP_H);
    initFogTextures();
    SDL_SetWindowSize(window, W / 2, H / 2);
    drawFog();
    SDL_SetRenderTarget(renderer, target);
    drawFogView();
    EXPECT_EQ(pixel(W / 4, H / 4).r, 0) << "an unexplored map stays black";
}

}  // namespace
