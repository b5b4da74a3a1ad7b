// Whole frames of the fight map read back: terrain, base and worker where the projection puts them, the fog, the
// map preview; and the screenshots a reviewer looks at.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <functional>

#include "../tools/render_scene.h"
#include "game_loop.h"
#include "map_preview.h"
#include "screenshot_folder.h"

namespace {

SDL_Color pixelAt(SDL_FPoint p) {
    SDL_Surface* s = scene::canvas().surface;
    const auto* row = static_cast<const uint8_t*>(s->pixels) + static_cast<int>(p.y) * s->pitch;
    SDL_Color c;
    SDL_GetRGBA(reinterpret_cast<const uint32_t*>(row)[static_cast<int>(p.x)], s->format, &c.r, &c.g, &c.b, &c.a);
    return c;
}

struct ReleaseScenes : ::testing::Environment {
    void TearDown() override { scene::release(); }
};
const auto* const releaseScenes = ::testing::AddGlobalTestEnvironment(new ReleaseScenes);

bool same(SDL_Color a, SDL_Color b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

struct MatchFrame : ::testing::Test {
    SDL_Renderer* previous = renderer;
    void SetUp() override {
        if (!scene::loadContent(CORVALE_SOURCE_DIR)) GTEST_SKIP() << "content or art missing";
    }
    void TearDown() override {
        clearMinimap();
        reset_game_state();
        FOG = false;
        DrawFog = noopFog;
        renderer = previous;
    }
    // The pixel with and without the thing: drawing it must change what the point shows.
    static bool drawnAt(SDL_FPoint p, const std::function<void()>& hide) {
        scene::drawFrame();
        const SDL_Color with = pixelAt(p);
        hide();
        scene::drawFrame();
        return !same(with, pixelAt(p));
    }
    static Building& baseOf(int player) { return *getBuildingById(getPlayerById(player)->buildingIds.front()); }
    static void lookAt(SDL_FPoint c) {
        camera.x += c.x - camera.centerX;
        camera.y += c.y - camera.centerY;
        camera.centerX = c.x;
        camera.centerY = c.y;
    }
};

TEST_F(MatchFrame, FightMapShowsTerrainBaseAndWorkerWhereTheProjectionPutsThem) {
    ASSERT_TRUE(scene::startFight(true));
    scene::drawFrame();
    ASSERT_TRUE(scene::savePng(screenshotFolder(), "fight_start.png"));
    // A plain grass tile beside the base shows the grass picture, not the clear colour or the fog.
    const Building& base = baseOf(1);
    const V2i tile{base.x - 2, base.y + base.hTiles + 1};
    const SDL_FPoint ground = worldToScreen({(tile.x + 0.5f) * TILE_SIZE, (tile.y + 0.5f) * TILE_SIZE});
    const SDL_Color g = pixelAt(ground);
    EXPECT_GT(g.g, g.b);
    EXPECT_FALSE(same(g, {20, 20, 24, 255}));
    const SDL_FPoint basePoint = worldToScreen(buildingCenter(&base));
    EXPECT_TRUE(drawnAt(basePoint, [] { buildings.clear(); }));
}

// A building drawn once keeps its look only while it stays the type it was: a hall upgraded in place shows its new
// type, and a new session forgets every look, so an id the next match gives to another building starts afresh.
TEST_F(MatchFrame, ABuildingLooksLikeItsTypeAfterAnUpgradeAndInTheNextSession) {
    ASSERT_TRUE(scene::startFight(false));
    Building& base = baseOf(1);
    for (const char* type : {"HumanCommand", "HumanKeep", "HumanCastle"}) {
        SCOPED_TRACE(type);
        ASSERT_TRUE(buildingSprites.count(type));
        base.type = type;
        scene::drawFrame();
        EXPECT_EQ(buildingLook(base).texture, buildingSprites.at(type).sprite.texture);
    }
    ASSERT_FALSE(unitAnimations.empty());
    prepareSessionView();
    EXPECT_TRUE(buildingLooks.empty());
    EXPECT_TRUE(unitAnimations.empty());
}

TEST_F(MatchFrame, WorkerIsDrawnAtItsProjectedPosition) {
    ASSERT_TRUE(scene::startFight(true));
    const Unit& worker = *getUnitById(getPlayerById(1)->unitIds.front());
    SDL_FPoint p = worldToScreen({worker.x, worker.y});
    p.y -= TILE_SIZE * 0.25f;  // the middle of the sprite box standing on the point
    EXPECT_TRUE(drawnAt(p, [] { units.clear(); }));
}

TEST_F(MatchFrame, FogIsBlackBeyondSightAndOffShowsTheEnemyBase) {
    ASSERT_TRUE(scene::startFight(true));
    const Building& enemy = baseOf(2);
    const float t = static_cast<float>(TILE_SIZE);
    lookAt(gridToWorld(enemy.x + enemy.wTiles / 2.0f, enemy.y + enemy.hTiles / 2.0f));
    const SDL_FPoint at = worldToScreen({(enemy.x + enemy.wTiles / 2.0f) * t, (enemy.y + enemy.hTiles / 2.0f) * t});
    scene::drawFrame();
    EXPECT_TRUE(same(pixelAt(at), {0, 0, 0, 255}));
    EXPECT_FALSE(isTileVisible(enemy.x, enemy.y));
    FOG = false;
    DrawFog = noopFog;
    scene::drawFrame();
    ASSERT_TRUE(scene::savePng(screenshotFolder(), "fight_enemy_base_no_fog.png"));
    EXPECT_TRUE(drawnAt(at, [] { buildings.clear(); }));
}

// A worker far from the camera sees the enemy base and walks home before any frame is drawn: the base, never drawn
// while in sight, is drawn from memory once the camera goes there.
TEST_F(MatchFrame, ABuildingSeenOnlyAwayFromTheCameraIsDrawnUnderTheFogLater) {
    ASSERT_TRUE(scene::startFight(true));
    const Building& enemy = baseOf(2);
    Unit& worker = *getUnitById(getPlayerById(1)->unitIds.front());
    const SDL_FPoint home{worker.x, worker.y};
    worker.x = (enemy.x - 0.5f) * TILE_SIZE;
    worker.y = (enemy.y + 0.5f) * TILE_SIZE;
    takeSight();
    ASSERT_TRUE(isTileVisible(enemy.x, enemy.y));
    worker.x = home.x;
    worker.y = home.y;
    lookAt(gridToWorld(enemy.x + enemy.wTiles / 2.0f, enemy.y + enemy.hTiles / 2.0f));
    const SDL_FPoint at = worldToScreen(buildingCenter(&enemy));
    EXPECT_TRUE(drawnAt(at, [] { ghostBuildings.clear(); }));
    EXPECT_FALSE(isTileVisible(enemy.x, enemy.y));
    EXPECT_TRUE(isTileExplored(enemy.x, enemy.y));
}

TEST_F(MatchFrame, FogResetHidesTheWholeViewUntilTheNextRecomputation) {
    ASSERT_TRUE(scene::startFight(true));
    const SDL_FPoint at = worldToScreen(buildingCenter(&baseOf(1)));
    scene::drawFrame();
    EXPECT_FALSE(same(pixelAt(at), {0, 0, 0, 255}));
    resetFogOfWar(MAP_W, MAP_H);
    DrawFog = noopFog;  // the frame composes the layers as the reset left them
    scene::drawFrame();
    EXPECT_TRUE(same(pixelAt(at), {0, 0, 0, 255}));
}

TEST_F(MatchFrame, HighlandsBattleAndMinimapScreenshots) {
    ASSERT_TRUE(scene::startBattle(60, 700, true));
    scene::drawFrame();
    EXPECT_TRUE(scene::savePng(screenshotFolder(), "highlands_battle.png"));
    // Without fog the minimap shows the whole map, as a reviewer wants to see it.
    FOG = false;
    DrawFog = noopFog;
    scene::drawFrame();
    // The minimap's lower-left corner shows terrain, not the clear colour.
    const SDL_Color m = pixelAt({minimapRect.x + minimapRect.w / 2.0f, minimapRect.y + minimapRect.h / 2.0f});
    EXPECT_FALSE(same(m, {20, 20, 24, 255}));
    SDL_Surface* crop = SDL_CreateRGBSurfaceWithFormat(0, minimapRect.w + 40, minimapRect.h + 40, 32,
                                                       SDL_PIXELFORMAT_RGBA8888);
    SDL_Rect from{minimapRect.x - 20, minimapRect.y - 30, minimapRect.w + 40, minimapRect.h + 40};
    SDL_BlitSurface(scene::canvas().surface, &from, crop, nullptr);
    EXPECT_EQ(IMG_SavePNG(crop, (screenshotFolder() + "/minimap.png").c_str()), 0);
    SDL_FreeSurface(crop);
}

// A new session's minimap, a loaded game's included, shows its fog from the session's first frame, however far the
// last session's frames had gone toward the next half-second redraw.
TEST_F(MatchFrame, ANewSessionsMinimapShowsItsFogFromItsFirstFrame) {
    ASSERT_TRUE(scene::startFight(true));
    DrawMatchFrame(grid, 0.016f);
    DrawMatchFrame(grid, 0.016f);
    ASSERT_TRUE(scene::startFight(true));
    DrawMatchFrame(grid, 0.016f);
    const Building& enemy = baseOf(2);
    ASSERT_FALSE(isTileExplored(enemy.x, enemy.y));
    const SDL_FPoint cell = minimapGeometry(MAP_W, MAP_H).cellAt(enemy.x + 0.5f, enemy.y + 0.5f);
    const SDL_FPoint at{minimapRect.x + cell.x / MAP_W * minimapRect.w, minimapRect.y + cell.y / MAP_H * minimapRect.h};
    EXPECT_TRUE(same(pixelAt(at), {0, 0, 0, 255})) << "the unexplored enemy base is black on the minimap";
}

TEST_F(MatchFrame, SavedMapGetsAPreviewWithTheBackgroundInItsCorner) {
    ASSERT_TRUE(scene::startFight(false));
    const std::string folder = testing::TempDir() + "corvale_preview/";
    std::filesystem::create_directories(folder + "maps");
    const std::string keep = basePath;
    basePath = folder;
    EXPECT_TRUE(saveMap(grid, "test.v1.map"));
    basePath = keep;
    SDL_Surface* bmp = SDL_LoadBMP((folder + "maps/test.v1.bmp").c_str());
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(bmp->w, MAP_PREVIEW_SIZE);
    EXPECT_EQ(bmp->h, MAP_PREVIEW_SIZE);
    SDL_Color corner;
    SDL_GetRGB(static_cast<uint32_t*>(bmp->pixels)[0], bmp->format, &corner.r, &corner.g, &corner.b);
    EXPECT_TRUE(same(corner, {20, 20, 24, 255}));
    SDL_FreeSurface(bmp);
    EXPECT_EQ(previewFileName("plain"), "plain.bmp");
    const PreviewFit one = previewFit(1, 1, 140.0f);
    EXPECT_GT(one.scale, 0.0f);
    EXPECT_FLOAT_EQ(one.offsetX, 512.0f);
}

}  // namespace
