// Replay playback: seeking either way lands on the world of playing straight there, and the bar shows the way.
#include <fstream>

#include "draw_fixture.h"
#include "events_iso.h"
#include "session_fixture.h"

namespace {

constexpr int TURNS = 200;

struct ReplaySeek : SessionTest {
    ChecksumsByTurn live;

    void SetUp() override {
        SessionTest::SetUp();
        live = playLiveMatch(TURNS, remineEvery(40));
        std::ifstream log(onlyFileIn(root.path / "replays"), std::ios::binary);
        ASSERT_TRUE(loadReplay(log));
        mode = GameMode::Replay;
        ASSERT_TRUE(startGame(true, false, MAP_FILE, true));
        replayPaused = false;
    }

    void expectWorldOfTurn(int turn) const {
        EXPECT_EQ(lockstep.currentTurn, turn);
        ASSERT_TRUE(live.count(turn)) << "turn " << turn;
        EXPECT_EQ(worldChecksum(), live.at(turn)) << "turn " << turn;
    }
};

TEST_F(ReplaySeek, ForwardThenBackwardLandsOnTheWorldOfPlayingStraightThere) {
    for (int turn : {150, 60, 60, 0, 155, 1}) {
        jump_to_turn(turn);
        expectWorldOfTurn(turn);
        EXPECT_TRUE(replayPaused);
        EXPECT_FLOAT_EQ(gameTimeSeconds, static_cast<float>(turn) * lockstep.tickSeconds);
    }
    // The rebuilt world has its starting bases once, as the recorded one had.
    EXPECT_EQ(players.size(), 2u);
    EXPECT_EQ(gameState, GameState::Match);
}

TEST_F(ReplaySeek, SeekPastTheEndStopsAfterTheLastTurnAndPlayingOnReturnsToTheMenus) {
    const int lastTick = lastReplayTick();
    jump_to_turn(lastTick + 500);
    EXPECT_EQ(lockstep.currentTurn, lastTick + 1);
    replayPaused = false;
    const ChecksumsByTurn played = runFrames(10, 20.0, [] { return false; });
    EXPECT_EQ(played.rbegin()->first, lastTick + 1);
    EXPECT_EQ(gameState, GameState::Menus);
    EXPECT_TRUE(units.empty());
}

TEST_F(ReplaySeek, SpeedScalesTheTicksOfAFrameAndTheRestCarriesOver) {
    replaySpeed = 4;
    process_replay(0.05f);
    replaySpeed = 1;
    EXPECT_EQ(lockstep.currentTurn, 12);
    EXPECT_NEAR(lockstep.accumulator, 0.008f, 1e-5f);
    expectWorldOfTurn(12);
}

// A press on the bar, through the match's input, pauses and lands on the world of the turn at its share of the
// last tick: the left edge is turn 0.
TEST_F(ReplaySeek, APressOnTheBarSeeksToTheTurnAtItsShare) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
    static PointerView pointer{0, 0, 1280, 720};
    PointerView (*saved)() = readPointerView;
    readPointerView = [] { return pointer; };
    replay_bar = SDL_Rect{200, 300, 400, 8};
    const int last = lastReplayTick();
    const struct {
        int x;
        int turn;
    } cases[] = {{400, last / 2}, {200, 0}, {300, last / 4}};
    for (const auto& c : cases) {
        replayPaused = false;
        pointer.mouseX = static_cast<float>(c.x);
        pointer.mouseY = 304;
        SDL_Event e = press(pointer.mouseX, pointer.mouseY);
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
        eventHandler.handleGameEvents(grid);
        EXPECT_TRUE(replayPaused) << c.x;
        expectWorldOfTurn(c.turn);
    }
    readPointerView = saved;
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

struct ReplayBar : DrawFixture {
    void SetUp() override {
        DrawFixture::SetUp();
        mode = GameMode::Replay;
        replayTurns = {Turn{0, 1, {}}, Turn{400, 1, {}}};
        replay_bar = SDL_Rect{20, 500, 200, 10};
    }
    void TearDown() override {
        replayTurns.clear();
        lockstep = LockstepManager{};
        mode = GameMode::Skirmish;
        DrawFixture::TearDown();
    }
};

TEST_F(ReplayBar, FillsToTheShareOfTheLastTickWithTheThumbOnItsEdge) {
    const SDL_Color none{0, 0, 0, 255};
    const SDL_Color track{60, 60, 60, 255};
    const SDL_Color progress{120, 200, 255, 255};
    const SDL_Color thumb{255, 255, 255, 255};
    struct Case {
        int turn;
        int edge;  // first x past the progress
        SDL_Color before;
        SDL_Color after;
    };
    for (const Case& c : {Case{0, 20, none, track}, Case{100, 70, progress, track}, Case{400, 220, progress, none}}) {
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        lockstep.currentTurn = c.turn;
        draw_replay_bar();
        EXPECT_TRUE(same(pixel(c.edge - 6, 501), c.before)) << c.turn;
        EXPECT_TRUE(same(pixel(c.edge + 6, 508), c.after)) << c.turn;
        EXPECT_TRUE(same(pixel(c.edge, 495), thumb)) << c.turn;
        EXPECT_TRUE(same(pixel(c.edge - 5, 514), thumb)) << c.turn;
        EXPECT_TRUE(same(pixel(c.edge + 5, 514), none)) << c.turn;
    }
    saveScreenshot("replay_bar_full");
}

TEST_F(ReplayBar, LoadProgressFillsTheShareOfTheLastTickAndSaysItInPercent) {
    const SDL_Color track{60, 60, 60, 255};
    const SDL_Color progress{120, 200, 255, 255};
    struct Case {
        int turn;
        int edge;  // first x past the progress: the bar spans 320 to 960 of the 1280-wide window
    };
    for (const Case& c : {Case{100, 480}, Case{200, 640}, Case{399, 958}}) {
        mode = GameMode::ResumedSave;
        lockstep.currentTurn = c.turn;
        draw_load_progress();
        EXPECT_TRUE(same(pixel(c.edge - 2, 368), progress)) << c.turn;
        EXPECT_TRUE(same(pixel(c.edge + 1, 368), track)) << c.turn;
    }
    lockstep.currentTurn = 150;
    draw_load_progress();
    saveScreenshot("load_progress");
}

}  // namespace
