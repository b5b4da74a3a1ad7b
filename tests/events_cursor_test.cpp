// The software cursor: scaled to 32x32 with its hotspot scaled alike, and nothing before a cursor is chosen.
#include <gtest/gtest.h>

#include "draw_fixture.h"
#include "hud_cursor.h"

namespace {

struct CursorDrawing : DrawFixture {
    void TearDown() override {
        if (cursorTexture) SDL_DestroyTexture(cursorTexture);
        cursorTexture = nullptr;
        DrawFixture::TearDown();
    }

    // A plain white square image of the given side.
    static SDL_Texture* squareImage(int side) {
        SDL_Texture* t = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA32, SDL_TEXTUREACCESS_TARGET, side, side);
        SDL_SetRenderTarget(renderer, t);
        SDL_SetRenderDrawColor(renderer, 255, 255, 255, 255);
        SDL_RenderClear(renderer);
        return t;
    }
};

TEST_F(CursorDrawing, ImageIsDrawn32PixelsSquareWithItsHotspotScaled) {
    const SDL_Color white{255, 255, 255, 255};
    const struct {
        int side;
        SDL_Point hotspot;
        SDL_Point topLeft;
    } cases[] = {{64, {10, 20}, {95, 90}}, {16, {4, 2}, {92, 96}}};
    for (const auto& c : cases) {
        cursorTexture = squareImage(c.side);
        SDL_SetRenderTarget(renderer, target);
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        cursorHotspot = c.hotspot;
        mouseX = mouseY = 100.0f;
        draw_cursor();
        EXPECT_TRUE(same(pixel(c.topLeft.x, c.topLeft.y), white)) << c.side;
        EXPECT_TRUE(same(pixel(c.topLeft.x + 31, c.topLeft.y + 31), white)) << c.side;
        EXPECT_FALSE(same(pixel(c.topLeft.x - 1, c.topLeft.y), white)) << c.side;
        EXPECT_FALSE(same(pixel(c.topLeft.x + 32, c.topLeft.y + 32), white)) << c.side;
        SDL_DestroyTexture(cursorTexture);
    }
    cursorTexture = nullptr;
    SDL_SetRenderTarget(renderer, target);
    SDL_RenderClear(renderer);
    draw_cursor();
    EXPECT_FALSE(same(pixel(100, 100), white));
}

}  // namespace
