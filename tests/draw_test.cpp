// Projections between world, grid and window, and the drawing primitives read back from a render target.
#include <gtest/gtest.h>

#include <cmath>

#include "config.h"
#include "draw_fixture.h"
#include "map.h"
#include "sdl_draw.h"
#include "sdl_shadow.h"
#include "sprites.h"

namespace {

struct Projection : ::testing::Test {
    void SetUp() override {
        TILE_SIZE = 64;
        camera = Camera{};
    }
};

TEST_F(Projection, GridAndIsometricPlaneRoundTrip) {
    EXPECT_FLOAT_EQ(gridToWorld(1, 0).x, 32.0f);
    EXPECT_FLOAT_EQ(gridToWorld(1, 0).y, 16.0f);
    EXPECT_FLOAT_EQ(gridToWorld(0, 1).x, -32.0f);
    const SDL_FPoint grids[] = {{1, 0}, {0, 1}, {3.5f, 7.25f}, {-2, 5}};
    for (const SDL_FPoint g : grids) {
        const SDL_FPoint iso = gridToWorld(g.x, g.y);
        const SDL_FPoint back = worldToGrid(iso.x, iso.y);
        EXPECT_NEAR(back.x, g.x, 1e-4) << g.x << "," << g.y;
        EXPECT_NEAR(back.y, g.y, 1e-4) << g.x << "," << g.y;
    }
}

TEST_F(Projection, ViewCentreLandsOnWindowCentreAtAnyZoom) {
    const SDL_FPoint world{640.0f, 128.0f};
    const SDL_FPoint iso = worldToIso(world);
    camera.centerX = iso.x;
    camera.centerY = iso.y;
    const SDL_FPoint other{700.0f, 90.0f};
    camera.zoom = 1.0f;
    const SDL_FPoint near1 = worldToScreen(other);
    for (float zoom : {0.5f, 1.0f, 2.0f}) {
        camera.zoom = zoom;
        const SDL_FPoint s = worldToScreen(world);
        EXPECT_FLOAT_EQ(s.x, 640.0f);
        EXPECT_FLOAT_EQ(s.y, 360.0f);
    }
    const SDL_FPoint far2 = worldToScreen(other);
    EXPECT_NEAR(far2.x - 640.0f, 2 * (near1.x - 640.0f), 1e-3);
    EXPECT_NEAR(far2.y - 360.0f, 2 * (near1.y - 360.0f), 1e-3);
}

TEST(SmoothEllipse, ThirtyTwoSegmentsGiveTheRingsVertexAndIndexCounts) {
    std::vector<SDL_Vertex> vertices;
    std::vector<int> indices;
    smoothEllipseGeometry(100, 50, 20, 10, 32, SDL_Color{255, 0, 0, 255}, vertices, indices);
    EXPECT_EQ(vertices.size(), 66u);
    EXPECT_EQ(indices.size(), 192u);
    EXPECT_FLOAT_EQ(vertices[0].position.x, 121.2f);
    EXPECT_FLOAT_EQ(vertices[1].position.x, 118.8f);
    EXPECT_EQ(indices[191], 64);
}

using Primitives = DrawFixture;

TEST_F(Primitives, RectangleCircleAndDiamondLandWhereDrawn) {
    const SDL_Color red{255, 0, 0, 255};
    const SDL_Color black{0, 0, 0, 255};
    DrawRect(renderer, SDL_Rect{10, 10, 20, 20}, red, true);
    EXPECT_TRUE(same(pixel(15, 15), red));
    EXPECT_TRUE(same(pixel(35, 15), black));
    DrawRect(renderer, SDL_Rect{50, 10, 20, 20}, red, false);
    EXPECT_TRUE(same(pixel(50, 20), red));
    EXPECT_TRUE(same(pixel(60, 20), black));

    SDL_SetRenderDrawColor(renderer, 0, 255, 0, 255);
    DrawFilledCircle(renderer, 100, 100, 10);
    EXPECT_TRUE(same(pixel(100, 100), SDL_Color{0, 255, 0, 255}));
    EXPECT_TRUE(same(pixel(100, 112), black));
    EXPECT_TRUE(same(pixel(108, 108), black));

    SDL_SetRenderDrawColor(renderer, 0, 0, 255, 255);
    drawCircleOutline(renderer, 200, 100, 0.2f);
    EXPECT_TRUE(same(pixel(200, 100), SDL_Color{0, 0, 255, 255}));
    EXPECT_TRUE(same(pixel(201, 100), black));
    drawCircleOutline(renderer, 300, 100, -1.0f);
    EXPECT_TRUE(same(pixel(299, 100), black));

    drawDiamond(renderer, 400, 100, 10, red);
    EXPECT_TRUE(same(pixel(400, 100), red));
    EXPECT_TRUE(same(pixel(408, 108), black));
}

TEST_F(Primitives, SpriteIsDimmedByBrightnessAndLeavesItsTextureUntinted) {
    SDL_Texture* white = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA32, SDL_TEXTUREACCESS_STATIC, 4, 4);
    const std::vector<uint32_t> pixels(16, 0xFFFFFFFFu);
    SDL_UpdateTexture(white, nullptr, pixels.data(), 16);
    Sprite sprite;
    sprite.texture = white;
    sprite.dst = SDL_FRect{200, 200, 16, 16};
    drawSprite(renderer, sprite, 128);
    EXPECT_TRUE(same(pixel(208, 208), SDL_Color{128, 128, 128, 255}));
    EXPECT_TRUE(same(pixel(217, 208), SDL_Color{0, 0, 0, 255}));
    Uint8 r = 0, g = 0, b = 0, a = 0;
    SDL_GetTextureColorMod(white, &r, &g, &b);
    SDL_GetTextureAlphaMod(white, &a);
    EXPECT_EQ(r + g + b + a, 4 * 255);

    Sprite none;
    none.dst = SDL_FRect{300, 300, 16, 16};
    drawSprite(renderer, none);
    EXPECT_TRUE(same(pixel(308, 308), SDL_Color{0, 0, 0, 255}));
    SDL_DestroyTexture(white);
}

}  // namespace

namespace {

using Shadow = DrawFixture;

TEST_F(Shadow, DiscFadesFromOpaqueCentreToClearRim) {
    SDL_Texture* disc = createShadowTexture(renderer, 128);
    ASSERT_NE(disc, nullptr);
    const SDL_Rect at{0, 0, 128, 128};
    SDL_RenderCopy(renderer, disc, nullptr, &at);
    EXPECT_EQ(pixel(64, 64).r, 255);
    for (const SDL_Point p : {SDL_Point{0, 0}, SDL_Point{127, 127}, SDL_Point{64, 0}, SDL_Point{0, 64}})
        EXPECT_EQ(pixel(p.x, p.y).r, 0) << p.x << "," << p.y;
    EXPECT_GT(pixel(64, 32).r, 0);
    EXPECT_LT(pixel(64, 32).r, 255);
    SDL_DestroyTexture(disc);
}

TEST_F(Shadow, LiesFlatUnderTheBottomEdgeOfTheSpriteBox) {
    SDL_SetRenderDrawColor(renderer, 255, 255, 255, 255);
    SDL_RenderClear(renderer);
    shadowTex = nullptr;  // one an earlier suite made went with that suite's renderer
    ensureShadowTexture();
    textureShadow(300, 100, 100, 80, 1.0f);
    EXPECT_LT(pixel(300, 180).r, 128);
    for (const SDL_Point p : {SDL_Point{300, 166}, SDL_Point{300, 194}, SDL_Point{265, 180}, SDL_Point{335, 180}})
        EXPECT_EQ(pixel(p.x, p.y).r, 255) << p.x << "," << p.y;
    releaseShadowTexture();
    EXPECT_EQ(shadowTex, nullptr);
}

}  // namespace
