// The isometric projection, screen-to-tile picking, edge scrolling with clamping, wheel zoom and click markers.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include "config.h"
#include "map.h"
#include "static_world_fixture.h"

namespace {

PointerView injectedView;
PointerView injected() { return injectedView; }

struct CameraFixture : ::testing::Test {
    PointerView (*savedReader)() = readPointerView;

    void SetUp() override {
        TILE_SIZE = 64;
        MAP_W = 40;
        MAP_H = 40;
        GOD_MODE = false;
        camera = Camera{};
        readPointerView = injected;
        pointAt(640, 360, 1280, 720);
    }
    void TearDown() override { readPointerView = savedReader; }

    static void pointAt(float mx, float my, float ww, float wh) { injectedView = PointerView{mx, my, ww, wh}; }

    static SDL_Event wheel(int y) {
        SDL_Event e{};
        e.type = SDL_MOUSEWHEEL;
        e.wheel.y = y;
        return e;
    }
};

TEST_F(CameraFixture, ScreenToTileFloorsAndInvertsTheProjection) {
    const SDL_FPoint corner = gridToIso(3, 1);
    EXPECT_FLOAT_EQ(corner.x, 64.0f);
    EXPECT_FLOAT_EQ(corner.y, 64.0f);
    camera.zoom = 2.0f;
    camera.x = 100;
    camera.y = 50;
    // The middle of tile (5, 2), seen at zoom 2 from (100, 50).
    const SDL_FPoint iso = gridToIso(5.5f, 2.5f);
    EXPECT_EQ(screenToTile(SDL_FPoint{(iso.x - 100) * 2, (iso.y - 50) * 2}), (V2i{5, 2}));

    camera = Camera{};
    EXPECT_EQ(screenToTile(SDL_FPoint{0, -1}), (V2i{-1, -1}));
    EXPECT_EQ(screenToTile(SDL_FPoint{0, 1}), (V2i{0, 0}));
}

TEST_F(CameraFixture, MouseOnTheInclusiveEdgeMarginScrolls) {
    camera.centerX = 0;
    camera.centerY = 500;
    pointAt(5, 360, 1280, 720);
    moveCameraIso(0.1f);
    EXPECT_FLOAT_EQ(camera.centerX, -60.0f);

    pointAt(6, 360, 1280, 720);
    moveCameraIso(0.1f);
    EXPECT_FLOAT_EQ(camera.centerX, -60.0f);

    pointAt(640, 715, 1280, 720);
    camera.zoom = 2.0f;
    moveCameraIso(0.1f);
    EXPECT_FLOAT_EQ(camera.centerY, 530.0f);
}

TEST_F(CameraFixture, ViewIsClampedToTheMapBoundingBoxAndDerivedFromTheCentre) {
    // Map 40 x 40 at 64: iso x from -1280 to 1280, y from 0 to 1280.
    camera.centerX = -5000;
    camera.centerY = -5000;
    moveCameraIso(0.0f);
    EXPECT_FLOAT_EQ(camera.centerX, 640 - 1280.0f);
    EXPECT_FLOAT_EQ(camera.centerY, 360.0f);
    EXPECT_FLOAT_EQ(camera.x, -1280.0f);
    EXPECT_FLOAT_EQ(camera.y, 0.0f);
    EXPECT_FLOAT_EQ(camera.w, 1280.0f);
    EXPECT_FLOAT_EQ(camera.h, 720.0f);

    camera.centerX = 5000;
    camera.centerY = 5000;
    camera.zoom = 2.0f;
    moveCameraIso(0.0f);
    EXPECT_FLOAT_EQ(camera.centerX, 1280 - 320.0f);
    EXPECT_FLOAT_EQ(camera.centerY, 1280 - 180.0f);
    EXPECT_FLOAT_EQ(camera.w, 640.0f);
}

TEST_F(CameraFixture, AxisSmallerThanTheViewStaysCentredAndIgnoresScrolling) {
    // 20 x 4 tiles: iso x spans -128 .. 640 (narrower than 1280), y spans 0 .. 384 (shorter than 720).
    MAP_W = 20;
    MAP_H = 4;
    pointAt(0, 0, 1280, 720);
    moveCameraIso(1.0f);
    EXPECT_FLOAT_EQ(camera.centerX, (640 - 128) / 2.0f);
    EXPECT_FLOAT_EQ(camera.centerY, 24 * 64 / 8.0f);

    // Wide map, short view along x only: x scrolls and clamps, y stays centred.
    MAP_W = 42;
    MAP_H = 2;
    camera.centerX = 1000;
    moveCameraIso(1.0f);
    EXPECT_FLOAT_EQ(camera.centerX, 640 - 64.0f);
    EXPECT_FLOAT_EQ(camera.centerY, 44 * 64 / 8.0f);
}

TEST_F(CameraFixture, WheelZoomStepsAndClamps) {
    camera.zoom = 1.9f;
    handleZoomIso(wheel(1));
    EXPECT_FLOAT_EQ(camera.zoom, 2.0f);

    camera.zoom = 0.52f;
    handleZoomIso(wheel(-1));
    EXPECT_FLOAT_EQ(camera.zoom, 0.5f);

    GOD_MODE = true;
    camera.zoom = 0.52f;
    handleZoomIso(wheel(-1));
    EXPECT_FLOAT_EQ(camera.zoom, 0.52f * 0.9f);

    camera.zoom = 1.0f;
    handleZoomIso(wheel(0));
    EXPECT_FLOAT_EQ(camera.zoom, 0.9f);
    handleZoomIso(wheel(3));
    EXPECT_FLOAT_EQ(camera.zoom, 0.9f * 1.1f);

    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    handleZoomIso(motion);
    EXPECT_FLOAT_EQ(camera.zoom, 0.9f * 1.1f);
}

TEST_F(CameraFixture, ClickMarkersFadeOverFiftyOneFrames) {
    clicks.clear();
    clicks.push_back(Click{10, 10, 1.0f, {255, 0, 0, 255}});
    clicks.push_back(Click{20, 20, 0.03f, {0, 255, 0, 255}});
    updateClicks();
    ASSERT_EQ(clicks.size(), 2u);
    updateClicks();
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].x, 10.0f);
    for (int i = 2; i < 50; ++i) updateClicks();
    EXPECT_EQ(clicks.size(), 1u);
    updateClicks();
    EXPECT_TRUE(clicks.empty());
}

using CameraJump = StaticWorld;

TEST_F(CameraJump, CentresOnTheFirstLiveBuildingOfTheLocalPlayer) {
    Player::myStaticId = 7;
    camera = Camera{};
    camera.centerX = 123;
    camera.centerY = 456;
    Player& local = addPlayer(7);
    moveCameraToTheBaseIso();
    EXPECT_FLOAT_EQ(camera.centerX, 123.0f);

    const int gone = placeBuilding("HumanFarm", 7, 1, 1, 2, 2);
    placeBuilding("HumanCommand", 7, 4, 2, 3, 3);
    buildings.erase(buildings.begin());
    buildingIdToIndex.clear();
    buildingIdToIndex[buildings[0].id] = 0;
    ASSERT_EQ(local.buildingIds.front(), gone);
    moveCameraToTheBaseIso();
    // Footprint centre (5.5, 3.5) in tiles.
    const SDL_FPoint expected = gridToIso(5.5f, 3.5f);
    EXPECT_FLOAT_EQ(camera.centerX, expected.x);
    EXPECT_FLOAT_EQ(camera.centerY, expected.y);
    EXPECT_FLOAT_EQ(camera.zoom, 1.0f);

    players.clear();
    camera.centerX = 1;
    moveCameraToTheBaseIso();
    EXPECT_FLOAT_EQ(camera.centerX, 1.0f);
}

}  // namespace
