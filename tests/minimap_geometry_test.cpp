// The minimap: cell geometry of a 64 by 64 map, and right clicks that queue one Move per own selected unit.
#include <gtest/gtest.h>

#include "lockstep.h"
#include "minimap.h"
#include "render_support.h"
#include "sdl_draw.h"
#include "static_world_fixture.h"

namespace {

TEST(MinimapGeometry, SquareMapFillsTheTextureAsACentredDiamond) {
    const MinimapGeometry g = minimapGeometry(64, 64);
    EXPECT_FLOAT_EQ(g.cw, 1.0f);
    EXPECT_FLOAT_EQ(g.oy, 16.0f);
    const struct {
        V2i tile;
        SDL_FPoint at;
    } corners[] = {{{0, 0}, {32, 16}}, {{63, 0}, {63.5f, 31.75f}}, {{0, 63}, {0.5f, 31.75f}}, {{63, 63}, {32, 47.5f}}};
    for (const auto& c : corners) {
        const SDL_FPoint p = g.cellAt(static_cast<float>(c.tile.x), static_cast<float>(c.tile.y));
        EXPECT_FLOAT_EQ(p.x, c.at.x);
        EXPECT_FLOAT_EQ(p.y, c.at.y);
        const SDL_FPoint back = g.tileAt(p.x, p.y);
        EXPECT_NEAR(back.x, c.tile.x, 1e-4);
        EXPECT_NEAR(back.y, c.tile.y, 1e-4);
    }
}

struct MinimapWorld : StaticWorld {
    SurfaceRenderer sr;
    void SetUp() override {
        StaticWorld::SetUp();
        setMapSize(64, 64);
        addOwners(1, 2, 3);
        MINIMAP_SIZE = 150;
        initMinimap(grid);
        drawMinimap();
        lockstep.pendingCommands.clear();
    }
    void TearDown() override {
        clearMinimap();
        MINIMAP_SIZE = 0;
        lockstep.pendingCommands.clear();
        StaticWorld::TearDown();
    }
    static void own(int owner) {
        Unit u;
        u.id = nextAttackableId++;
        u.playerId = owner;
        addUnit(u);
        addToSelection(u.id);
    }
    static SDL_Event rightPress() {
        SDL_Event e{};
        e.type = SDL_MOUSEBUTTONDOWN;
        e.button.button = SDL_BUTTON_RIGHT;
        return e;
    }
};

TEST_F(MinimapWorld, RightClickQueuesOneMovePerOwnSelectedUnit) {
    for (int owner : {1, 1, 1, 2}) own(owner);
    // The texture centre is tile (32, 32) of the diamond.
    const SDL_Point centre{minimapRect.x + minimapRect.w / 2, minimapRect.y + minimapRect.h / 2};
    EXPECT_TRUE(handleMinimapClickAt(grid, rightPress(), centre));
    ASSERT_EQ(lockstep.pendingCommands.size(), 3u);
    for (const Command& c : lockstep.pendingCommands) {
        const auto& move = std::get<MoveCommand>(c.payload);
        EXPECT_EQ(move.unitIds.size(), 1u);
        EXPECT_EQ(move.x, 128);
        EXPECT_EQ(move.y, 128);
    }
    lockstep.pendingCommands.clear();
    EXPECT_TRUE(handleMinimapClickAt(grid, rightPress(), {minimapRect.x + 1, minimapRect.y + 1}));
    EXPECT_TRUE(lockstep.pendingCommands.empty());
}

TEST_F(MinimapWorld, LeftDragMovesTheCameraClampedToTheMapUntilReleased) {
    SDL_Event press{};
    press.type = SDL_MOUSEBUTTONDOWN;
    press.button.button = SDL_BUTTON_LEFT;
    EXPECT_TRUE(handleMinimapClickAt(grid, press, {minimapRect.x + minimapRect.w / 2, minimapRect.y + 2}));
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    EXPECT_TRUE(handleMinimapClickAt(grid, motion, {minimapRect.x + minimapRect.w * 4, minimapRect.y}));
    const SDL_FPoint corner = gridToWorld(63.0f, 0.0f);
    EXPECT_FLOAT_EQ(camera.centerX, corner.x);
    EXPECT_FLOAT_EQ(camera.centerY, corner.y);
    SDL_Event release{};
    release.type = SDL_MOUSEBUTTONUP;
    release.button.button = SDL_BUTTON_LEFT;
    EXPECT_FALSE(handleMinimapClickAt(grid, release, {0, 0}));
    EXPECT_FALSE(handleMinimapClickAt(grid, motion, {minimapRect.x, minimapRect.y}));
    EXPECT_EQ(minimapClockText(65.25f), "01:05.250");
}

}  // namespace
