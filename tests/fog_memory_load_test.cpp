// What the player knows of the map after a Load: the explored tiles and the remembered buildings and objects come
// back from the catch-up as playing the same turns in the window left them, on the minimap too.
#include <SDL2/SDL_image.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "fog.h"
#include "minimap.h"
#include "renderer.h"
#include "screenshot_folder.h"
#include "sdl_draw.h"
#include "session_fixture.h"

namespace {

// Everything the fog remembers that the simulation does not: explored tiles, ghosts by tile with what they showed.
struct Knowledge {
    std::vector<std::vector<bool>> explored;
    std::map<TileKey, std::tuple<int, int, std::string, int, bool>> buildings;
    std::map<TileKey, std::tuple<int, std::string, int>> objects;

    static Knowledge now() {
        Knowledge k{memoryGrid, {}, {}};
        for (const auto& [tile, b] : ghostBuildings) k.buildings[tile] = {b.id, b.owner, b.type, b.hp, b.completed};
        for (const auto& [tile, o] : ghostObjects) k.objects[tile] = {o.id, o.type, o.amount};
        return k;
    }
};

// The explored picture's chunk that holds the middle of the tile.
TileKey chunkOf(V2i tile) {
    const float t = static_cast<float>(TILE_SIZE);
    const float wx = (tile.x + 0.5f) * t, wy = (tile.y + 0.5f) * t;
    const float fx = (wx - wy) * 0.5f + MAP_W * t, fy = (wx + wy) * 0.25f;
    return {static_cast<int>(fx / FOG_CHUNK_SPAN), static_cast<int>(fy / FOG_CHUNK_SPAN)};
}

uint32_t fakeClockMs() { return static_cast<uint32_t>(fake_clock::now / 1000000u); }

// The frames of the window as far as the fog goes: the fog recomputed at its pacing, the minimap every half second,
// the world every so often (what it draws of a building lasts, and the walk is long), and the frame's work on the
// fake clock.
void drawFogFrame(Grid& world, float frameDt) {
    static int frames = 0;
    DrawFog();
    refreshMinimap(world, frameDt);
    if (++frames % 50 == 0) drawWorld(world, frameDt, windowSize());
    fake_clock::advanceMs(fake_clock::frameWorkMs);
}

struct FogAfterLoad : DrawnSessionTest {
    // A small window: the fog's layers and view are as wide as it is.
    static constexpr int VIEW_W = 320;
    static constexpr int VIEW_H = 240;

    void SetUp() override {
        DrawnSessionTest::SetUp();
        SDL_SetWindowSize(window, VIEW_W, VIEW_H);
        fogTicks = fakeClockMs;
        DrawMatchFrame = drawFogFrame;
    }
    void TearDown() override {
        fogTicks = SDL_GetTicks;
        SDL_SetWindowSize(window, DrawFixture::W, DrawFixture::H);
        DrawnSessionTest::TearDown();
    }

    static Unit* scout() {
        const std::vector<int> own = headless::unitsOf(LOCAL_ID);
        return own.empty() ? nullptr : getUnitById(own.front());
    }
    static void order(int unitId, V2i tile) {
        const V2i sub{tile.x * SUBDIVISIONS + 1, tile.y * SUBDIVISIONS + 1};
        lockstep.pendingCommands.push_back({CommandType::Move, LOCAL_ID, MoveCommand{{unitId}, sub.x, sub.y, false}});
    }
    static float tilesBetween(const Unit& u, V2i tile) {
        const float t = static_cast<float>(TILE_SIZE);
        return std::hypot(u.x / t - (tile.x + 0.5f), u.y / t - (tile.y + 0.5f));
    }

    // The minimap as the match shows it, written under screenshots/ beside the test binary.
    void saveMinimap(const std::string& name) {
        updateMinimap(grid);
        SDL_SetRenderTarget(renderer, target);
        SDL_SetRenderDrawColor(renderer, 20, 20, 24, 255);
        SDL_RenderClear(renderer);
        drawMinimap();
        drawMinimapView();
        const std::filesystem::path dir = screenshotFolder();
        std::filesystem::create_directories(dir);
        const SDL_Rect crop{minimapRect.x - 10, minimapRect.y - 10, minimapRect.w + 20, minimapRect.h + 20};
        SDL_Surface* shot = SDL_CreateRGBSurfaceWithFormat(0, crop.w, crop.h, 32, SDL_PIXELFORMAT_RGBA32);
        SDL_RenderReadPixels(renderer, &crop, SDL_PIXELFORMAT_RGBA32, shot->pixels, shot->pitch);
        EXPECT_EQ(IMG_SavePNG(shot, (dir / (name + ".png")).c_str()), 0) << IMG_GetError();
        SDL_FreeSurface(shot);
    }

    // The world looking at the tile under the fog, recomputed, as a frame draws it before its overlays; written
    // under screenshots/, and its pixels.
    std::vector<uint32_t> viewOf(V2i tile, const std::string& name) {
        const SDL_FPoint c = gridToWorld(tile.x + 0.5f, tile.y + 0.5f);
        constexpr float zoom = 0.5f;  // the farthest zoom: the base whole in the small window
        camera = {c.x - VIEW_W / zoom / 2.0f, c.y - VIEW_H / zoom / 2.0f, VIEW_W / zoom, VIEW_H / zoom, c.x, c.y, zoom};
        lastFogUpdate = fogTicks() - 30;
        DrawFog();
        SDL_SetRenderTarget(renderer, target);
        drawWorld(grid, 0.0f, windowSize());
        drawFogView();
        SDL_Surface* shot = SDL_CreateRGBSurfaceWithFormat(0, VIEW_W, VIEW_H, 32, SDL_PIXELFORMAT_RGBA32);
        const SDL_Rect view{0, 0, VIEW_W, VIEW_H};
        SDL_RenderReadPixels(renderer, &view, SDL_PIXELFORMAT_RGBA32, shot->pixels, shot->pitch);
        const std::filesystem::path dir = screenshotFolder();
        std::filesystem::create_directories(dir);
        EXPECT_EQ(IMG_SavePNG(shot, (dir / (name + ".png")).c_str()), 0) << IMG_GetError();
        const auto* first = static_cast<const uint32_t*>(shot->pixels);
        std::vector<uint32_t> pixels(first, first + VIEW_W * VIEW_H);
        SDL_FreeSurface(shot);
        return pixels;
    }

    // What the played match left: its log, what the window knew after each of its turns, the tiles and sights its
    // player's units and buildings saw from, and the view of the enemy base at its end.
    struct Played {
        std::string log;
        std::map<int, Knowledge> knownAfterTurn;
        std::set<std::tuple<int, int, int>> sightsTaken;
        int lastTurn = 0;  // one after the last order: where a catch-up of the log ends
        V2i home{-1, -1};
        V2i enemyBase{-1, -1};
        std::vector<uint32_t> enemyBaseView;
    };

    // Each source of the local player by the tile of its point and its sight.
    static void addSightsTaken(std::set<std::tuple<int, int, int>>& taken) {
        for (const Unit& u : units)
            if (u.playerId == LOCAL_ID)
                taken.emplace(static_cast<int>(u.x) / TILE_SIZE, static_cast<int>(u.y) / TILE_SIZE, u.sight);
        for (const Building& b : buildings)
            if (b.playerId == LOCAL_ID)
                taken.emplace(b.x + b.wTiles / 2, b.y + b.hTiles / 2, b.sight);
    }

    // A worker walks to the enemy base and back under the window's frames, then the match ends; played once for the
    // suite. The minimap at its end is written as the one before the save.
    const Played& played() {
        static Played match;
        if (!match.log.empty()) return match;
        seatPlayers();
        EXPECT_TRUE(startGame(true, true, "fight", false));
        EXPECT_TRUE(FOG);
        const Unit* walker = scout();
        if (!walker) {
            ADD_FAILURE() << "no worker to walk";
            return match;
        }
        const int walkerId = walker->id;
        match.home = getPlayerById(LOCAL_ID)->baseTile;
        match.enemyBase = getPlayerById(OTHER_ID)->baseTile;
        // Half a tick of work a frame: every turn ends some frame, so the window's knowledge is kept for every turn.
        const auto keep = [&] {
            match.knownAfterTurn.emplace(lockstep.currentTurn, Knowledge::now());
            addSightsTaken(match.sightsTaken);
        };
        const auto walkTo = [&](V2i tile) {
            order(walkerId, tile);
            runFrames(40000, 8.0, [&] {
                keep();
                const Unit* u = getUnitById(walkerId);
                return !u || tilesBetween(*u, tile) < 3.0f;
            });
        };
        walkTo(headless::tilesAround(match.enemyBase, 1).front());
        walkTo(headless::tilesAround(match.home, 1).front());
        EXPECT_NE(getUnitById(walkerId), nullptr);
        // A last order, so the log reaches the walk's end.
        order(walkerId, match.home);
        const int lastOrder = lockstep.currentTurn;
        runFrames(8, 8.0, [&] {
            keep();
            return lockstep.currentTurn > lastOrder + 1;
        });
        saveMinimap("fog_minimap_before_save");
        match.enemyBaseView = viewOf(match.enemyBase, "fog_enemy_base_before_save");
        const std::filesystem::path log = onlyFileIn(root.path / "replays");
        pendingShutdown = true;
        game_loop();
        const std::vector<nlohmann::json> records = logRecords(log);
        EXPECT_FALSE(records.empty());
        match.lastTurn = records.empty() ? 0 : records.back().at("tick").get<int>() + 1;
        match.log = readWholeFile(log);
        std::filesystem::remove_all(root.path / "replays");
        return match;
    }

    // The window's knowledge after the turn, with what must be in it: the enemy base explored, an enemy building and
    // some objects remembered.
    static const Knowledge& knownAfter(const Played& match, int turn) {
        static const Knowledge none;
        const auto found = match.knownAfterTurn.find(turn);
        if (found == match.knownAfterTurn.end()) {
            ADD_FAILURE() << "the window never ended a frame on turn " << turn;
            return none;
        }
        return found->second;
    }
    // The played match saved and loaded, its catch-up run to the turn it was saved on.
    void loadPlayed(const Played& match) {
        root.write("saves/explored.bin", match.log);
        load_game_filename = "explored.bin";
        mode = GameMode::ResumedSave;
        ASSERT_TRUE(startGame(true, true, "", false));
        runFrames(40000, 8.0, [] { return mode != GameMode::ResumedSave; });
        ASSERT_EQ(mode, GameMode::Skirmish);
        ASSERT_EQ(lockstep.currentTurn, match.lastTurn);
    }
    // Whether the local player has units or buildings and each stands on a tile seen now.
    static bool ownSourcesSeen() {
        const float t = static_cast<float>(TILE_SIZE);
        bool any = false, all = true;
        for (const Unit& u : units)
            if (u.playerId == Player::myStaticId) {
                any = true;
                all = all && isTileVisible(static_cast<int>(u.x / t), static_cast<int>(u.y / t));
            }
        for (const Building& b : buildings)
            if (b.playerId == Player::myStaticId) {
                any = true;
                all = all && isTileVisible(b.x, b.y);
            }
        return any && all;
    }
    static void expectKnownAlike(const Knowledge& now, const Knowledge& played) {
        EXPECT_TRUE(now.explored == played.explored);
        EXPECT_EQ(now.buildings, played.buildings);
        EXPECT_EQ(now.objects, played.objects);
    }
};

// The game saved after the walk and loaded: after the catch-up the player knows what it knew when it saved, the way
// explored, the enemy buildings and the objects seen, and the view paints the explored ground there.
TEST_F(FogAfterLoad, ALoadRemembersTheWayToTheEnemyBaseAsPlayingItDid) {
    const Played& match = played();
    ASSERT_FALSE(match.log.empty());
    const Knowledge& atSave = knownAfter(match, match.lastTurn);
    ASSERT_TRUE(atSave.explored[static_cast<size_t>(match.enemyBase.x)][static_cast<size_t>(match.enemyBase.y)]);
    ASSERT_TRUE(std::any_of(atSave.buildings.begin(), atSave.buildings.end(),
                            [](const auto& b) { return std::get<1>(b.second) == OTHER_ID; }))
        << "an enemy building was seen on the way";
    ASSERT_FALSE(atSave.objects.empty());

    ASSERT_NO_FATAL_FAILURE(loadPlayed(match));
    expectKnownAlike(Knowledge::now(), atSave);
    ASSERT_NE(chunkOf(match.enemyBase), chunkOf(match.home));
    lastFogUpdate = fogTicks() - 30;
    DrawFog();
    EXPECT_EQ(fogChunks.count(chunkOf(match.enemyBase)), 1u);
    saveMinimap("fog_minimap_after_load");
    // The enemy base under the fog looks as it did before the save: the remembered buildings drawn, not only known.
    const std::vector<uint32_t> view = viewOf(match.enemyBase, "fog_enemy_base_after_load");
    ASSERT_EQ(view.size(), match.enemyBaseView.size());
    std::size_t differ = 0;
    for (std::size_t i = 0; i < view.size(); ++i) differ += view[i] != match.enemyBaseView[i];
    EXPECT_EQ(differ, 0u) << "of " << view.size() << " pixels";
}

// A Load queues one brush of the explored picture per tile and sight its player's units and buildings saw from,
// however many turns they stood there: painting one again would only whiten the rim.
TEST_F(FogAfterLoad, ALoadQueuesNoMoreBrushesThanTheTilesAndSightsItsUnitsSawFrom) {
    const Played& match = played();
    ASSERT_FALSE(match.log.empty());
    DrawMatchFrame = fake_clock::drawFrame;  // no fog drawn: every brush the catch-up took stays queued
    ASSERT_NO_FATAL_FAILURE(loadPlayed(match));
    EXPECT_GT(queuedExploredBrushes(), 0u);
    EXPECT_LE(queuedExploredBrushes(), match.sightsTaken.size());
}

// The first frame of a match and of a seek back to its start come before any turn, and show what the player's units
// and buildings see.
TEST_F(FogAfterLoad, TheFirstFrameOfAMatchAndOfASeekToTheStartShowWhatItsUnitsSee) {
    const Played& match = played();
    ASSERT_FALSE(match.log.empty());
    std::istringstream log(match.log);
    const struct {
        const char* what;
        std::function<bool()> start;
    } rows[] = {
        {"a new match",
         [] {
             seatPlayers();
             mode = GameMode::Skirmish;
             return startGame(true, true, "fight", false);
         }},
        {"a seek back to turn 0",
         [&] {
             if (!loadReplay(log)) return false;
             mode = GameMode::Replay;
             if (!startGame(true, false, MAP_FILE, true)) return false;
             jump_to_turn(match.lastTurn / 2);
             jump_to_turn(0);
             return true;
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(row.start());
        ASSERT_EQ(lockstep.currentTurn, 0);
        EXPECT_TRUE(ownSourcesSeen());
        endSession();
    }
}

// Seeks in the replay of the match, forward from the start and back from near its end: each lands knowing what the
// window knew after that turn.
TEST_F(FogAfterLoad, ASeekRemembersWhatPlayingToItsTurnDid) {
    const Played& match = played();
    ASSERT_FALSE(match.log.empty());
    const int late = match.lastTurn - 1, middle = match.lastTurn / 2;
    const struct {
        const char* what;
        std::vector<int> seeks;
    } rows[] = {{"forward", {middle}}, {"backward", {late, middle}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::istringstream log(match.log);
        ASSERT_TRUE(loadReplay(log));
        mode = GameMode::Replay;
        ASSERT_TRUE(startGame(true, false, MAP_FILE, true));
        for (int turn : row.seeks) jump_to_turn(turn);
        ASSERT_EQ(lockstep.currentTurn, middle);
        expectKnownAlike(Knowledge::now(), knownAfter(match, middle));
        endSession();
    }
}

}  // namespace
