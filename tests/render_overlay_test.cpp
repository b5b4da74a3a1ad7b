// Overlay pieces read back: the placement ghost's rectangle, the spell range circle, the pause veil and drag box.
#include <gtest/gtest.h>

#include "game_commands.h"
#include "input_state.h"
#include "render_support.h"
#include "renderer.h"
#include "renderer_iso_overlay.h"
#include "sdl_draw.h"
#include "spells.h"
#include "static_world_fixture.h"

namespace {

struct Overlay : StaticWorld {
    SurfaceRenderer sr;
    void SetUp() override {
        StaticWorld::SetUp();
        addOwners(1, 2, 3);
        TILE_SIZE = 64;
        FOG = false;  // the overlay alone, without the fog a match draws over it
        camera = {0, 0, 1280, 720, 0, 0, 1.0f};
    }
    void TearDown() override {
        placingBuilding = paused = dragging = false;
        selectedSpell.clear();
        spellInfo.erase("Reach");
        buildingSprites.erase("Tower");
        buildingInfo.erase("Tower");
        StaticWorld::TearDown();
    }
};

TEST_F(Overlay, GhostCoversTheFootprintCentredOnTheTileUnderTheCursor) {
    buildingInfo["Tower"].wTiles = 2;
    buildingSprites["Tower"].animation = {1, 0.1f, 128, 192, 0, 0};
    placingBuilding = true;
    ghostBuildingType = "Tower";
    ghostTile = {3, 1};
    for (float zoom : {1.0f, 2.0f}) {
        camera.zoom = zoom;
        updateGhostBuildingDstRect();
        const SDL_FPoint c = worldToScreen({3.5f * 64, 1.5f * 64});
        EXPECT_FLOAT_EQ(ghostSprite.dst.w, 128 * zoom);
        EXPECT_FLOAT_EQ(ghostSprite.dst.h, 192 * zoom);
        EXPECT_FLOAT_EQ(ghostSprite.dst.x + ghostSprite.dst.w / 2, c.x);
        EXPECT_FLOAT_EQ(ghostSprite.dst.y + ghostSprite.dst.h / 2, c.y);
    }
    placingBuilding = false;
    ghostSprite.dst = {1, 2, 3, 4};
    updateGhostBuildingDstRect();
    EXPECT_FLOAT_EQ(ghostSprite.dst.w, 3.0f);
}

TEST_F(Overlay, SpellRangeCirclesTheFirstSelectedUnitAndGrowsWithTheZoom) {
    spellInfo["Reach"].range = 2;
    Unit u;
    u.id = nextAttackableId++;
    u.playerId = 1;
    addUnit(u);
    addToSelection(u.id);
    selectedSpell = "Reach";
    for (float zoom : {1.0f, 2.0f}) {
        camera.zoom = zoom;
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        drawSpellRange();
        const SDL_FPoint c = worldToScreen({0, 0});
        const int r = static_cast<int>(2 * 64 * zoom);
        EXPECT_GT(sr.pixel(static_cast<int>(c.x) + r, static_cast<int>(c.y)).g, 0) << zoom;
        EXPECT_EQ(sr.pixel(static_cast<int>(c.x) + r + 3, static_cast<int>(c.y)).g, 0) << zoom;
    }
}

TEST_F(Overlay, PauseVeilDimsTheFrameAndTheDragBoxLiesOnTop) {
    SDL_SetRenderDrawColor(renderer, 255, 255, 255, 255);
    SDL_RenderClear(renderer);
    paused = true;
    dragging = true;
    dragStartRawScreen = {10, 10};
    IsoRenderer iso;
    drawOverlay(iso, 0.0f, {50, 60});
    EXPECT_NEAR(sr.pixel(300, 300).r, 135, 2);
    const SDL_Color box = sr.pixel(30, 30);
    EXPECT_GT(box.b, box.r);
    EXPECT_NEAR(sr.pixel(70, 30).r, 135, 2);
}

}  // namespace
