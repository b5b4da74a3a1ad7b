// Match frames on the fight map with the real renderer and an injected pointer: the placement ghost follows the
// pointer and a click builds where it stands; the building bars show progress between ticks and clamped hit points.
#include <algorithm>

#include "draw_fixture.h"
#include "events_iso.h"
#include "hud_cursor.h"
#include "input_state.h"
#include "renderer_iso_overlay.h"
#include "sdl_draw.h"
#include "session_fixture.h"

namespace {

PointerView injected{640.0f, 360.0f, 1280.0f, 720.0f};
PointerView injectedPointer() { return injected; }

constexpr const char* CAMP = "HumanCamp";

struct MatchFrames : DrawnSessionTest {
    void SetUp() override {
        DrawnSessionTest::SetUp();
        injected = {640.0f, 360.0f, 1280.0f, 720.0f};
        readPointerView = injectedPointer;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        placingBuilding = false;
        fake_clock::frameWorkMs = 20.0;
        seatPlayers();
        ASSERT_TRUE(startGame(true, true, "fight", false));
    }
    void TearDown() override {
        placingBuilding = false;
        ghostSprite = Sprite{};
        ghostBuildingType.clear();
        clearUnitSelection();
        readPointerView = readSdlPointerView;
        mouseX = mouseY = 0.0f;  // the frames drew the cursor at the injected pointer
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        DrawnSessionTest::TearDown();
    }

    // The pointer moves there and the next frame's input sees it.
    static void pointAt(SDL_FPoint p) {
        injected.mouseX = p.x;
        injected.mouseY = p.y;
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.x = static_cast<Sint32>(p.x);
        e.motion.y = static_cast<Sint32>(p.y);
        SDL_PushEvent(&e);
    }
    static void pressLeft(Uint32 type) {
        SDL_Event e{};
        e.type = type;
        e.button.button = SDL_BUTTON_LEFT;
        e.button.x = static_cast<Sint32>(injected.mouseX);
        e.button.y = static_cast<Sint32>(injected.mouseY);
        SDL_PushEvent(&e);
    }

    // The screen point whose ghost stands with its top-left on the tile.
    static SDL_FPoint pointerFor(V2i tile) {
        const BuildingInfo& info = buildingInfo.at(CAMP);
        const float t = static_cast<float>(TILE_SIZE);
        return worldToScreen({(tile.x + 0.5f) * t + info.wTiles * t / 2, (tile.y + 0.5f) * t + info.hTiles * t / 2});
    }
    static bool onScreenAwayFromEdgesAndHud(SDL_FPoint p) {
        return p.x > 150.0f && p.x < 1130.0f && p.y > 150.0f && p.y < 720.0f - HUD_SIZE - 100.0f;
    }
    static bool footprintFree(V2i tile) {
        const BuildingInfo& info = buildingInfo.at(CAMP);
        for (int x = tile.x; x < tile.x + info.wTiles; ++x)
            for (int y = tile.y; y < tile.y + info.hTiles; ++y)
                if (x < 0 || y < 0 || x >= MAP_W || y >= MAP_H || !grid.walkable(x, y, Tile::Grass) ||
                    getBuildingAt({x, y}))
                    return false;
        const float t = static_cast<float>(TILE_SIZE);
        return std::none_of(units.begin(), units.end(), [&](const Unit& u) {
            return u.x >= (tile.x - 1) * t && u.x < (tile.x + info.wTiles + 1) * t && u.y >= (tile.y - 1) * t &&
                   u.y < (tile.y + info.hTiles + 1) * t;
        });
    }
    // Free building ground in view near the local base, first in scan order.
    static V2i freeTileInView() {
        const V2i base = getPlayerById(LOCAL_ID)->baseTile;
        for (int dy = -8; dy <= 8; ++dy)
            for (int dx = -8; dx <= 8; ++dx) {
                const V2i t{base.x + dx, base.y + dy};
                if (footprintFree(t) && onScreenAwayFromEdgesAndHud(pointerFor(t))) return t;
            }
        return {-1, -1};
    }
    static int ownWorker() {
        for (int id : getPlayerById(LOCAL_ID)->unitIds)
            if (const Unit* u = getUnitById(id); u && u->worker) return id;
        return -1;
    }
    static const Building* campOfLocalPlayer() {
        for (const Building& b : buildings)
            if (b.type == CAMP && b.playerId == LOCAL_ID) return &b;
        return nullptr;
    }
};

TEST_F(MatchFrames, GhostFollowsThePointerAndAClickBuildsOnTheTileUnderIt) {
    const int worker = ownWorker();
    ASSERT_NE(worker, -1);
    getPlayerById(LOCAL_ID)->resources[RESOURCE_GOLD] = 1000;
    addToSelection(worker);
    startPlacingBuilding(ghostBuildingType, ghostSprite, placingBuilding, CAMP);
    ASSERT_TRUE(placingBuilding);
    const V2i home = freeTileInView();
    ASSERT_NE(home.x, -1) << "no free ground in view";

    SDL_FRect previous{};
    for (const V2i offset : {V2i{0, 0}, V2i{1, 0}, V2i{0, 1}, V2i{0, 0}}) {
        const V2i tile{home.x + offset.x, home.y + offset.y};
        pointAt(pointerFor(tile));
        game_loop();
        ASSERT_EQ(ghostTile, tile);
        const float t = static_cast<float>(TILE_SIZE);
        const SDL_FPoint anchor = worldToScreen({(tile.x + 0.5f) * t, (tile.y + 0.5f) * t});
        const SDL_FRect& r = ghostSprite.dst;
        EXPECT_NEAR(r.y + r.h / 2, anchor.y, 1e-3) << "the ghost stands on the tile's projected centre";
        EXPECT_GT(r.w, 0.0f);
        if (offset.x == 1) {
            EXPECT_GT(r.x, previous.x) << "one tile along x moves it right";
        }
        if (offset.y == 1) {
            EXPECT_LT(r.x, previous.x) << "one tile along y moves it left";
        }
        previous = r;
    }

    pressLeft(SDL_MOUSEBUTTONDOWN);
    pressLeft(SDL_MOUSEBUTTONUP);
    runFrames(20, 20.0, [] { return campOfLocalPlayer() != nullptr; });
    const Building* camp = campOfLocalPlayer();
    ASSERT_NE(camp, nullptr);
    EXPECT_EQ((V2i{camp->x, camp->y}), home);
    EXPECT_FALSE(placingBuilding) << "the placement ends with its site";
}

TEST_F(MatchFrames, BarsShowProgressBetweenTicksAndHitPointsInsideTheirRange) {
    ASSERT_FALSE(buildings.empty());
    struct Case {
        float hp;
        float previousProgress;
        float progress;
        float turnShare;  // of the tick length gone since the last tick
        float shownHp;
        float shownProgress;
    };
    const Case cases[] = {
        {50.0f, 2.0f, 4.0f, 0.5f, 50.0f, 3.0f},
        {100.0f, 2.0f, 4.0f, 0.0f, 100.0f, 2.0f},
        {100.0f, 2.0f, 4.0f, 1.0f, 100.0f, 4.0f},
        {100.0f, 2.0f, 4.0f, 1.5f, 100.0f, 4.0f},     // a share past the tick counts as the whole tick
        {100.0f, 4.0f, 4.0f, 0.5f, 100.0f, 4.0f},     // unchanged since the last tick: exactly the progress
        {100.01f, 1.0f, 1.0f, 0.0f, 100.0f, 1.0f},    // just above the maximum: the maximum
        {-5.0f, 1.0f, 1.0f, 0.0f, 0.0f, 1.0f},        // below zero: zero
        {0.0f, 1.0f, 1.0f, 0.0f, 0.0f, 1.0f},
    };
    for (const Case& c : cases) {
        Building& b = buildings.front();
        b.maxHp = 100.0f;
        b.hp = c.hp;
        b.previousProgress = c.previousProgress;
        b.progress = c.progress;
        lockstep.accumulator = c.turnShare * lockstep.tickSeconds;
        dt = 0.0f;
        run_core_game_logic();
        EXPECT_FLOAT_EQ(buildings.front().displayHp, c.shownHp) << c.hp;
        EXPECT_FLOAT_EQ(buildings.front().displayProgress, c.shownProgress) << c.previousProgress << " to " << c.progress;
    }
}

}  // namespace
