// The hold key in a real match: its order acts on the next tick and the match's log replays to the same checksums.
#include <gtest/gtest.h>

#include <fstream>

#include "events_iso.h"
#include "input_state.h"
#include "session_fixture.h"

namespace {

struct HeldBattle : ShippedGame {
    static void SetUpTestSuite() { ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError(); }
    static void TearDownTestSuite() { SDL_QuitSubSystem(SDL_INIT_EVENTS); }

    void SetUp() override {
        ShippedGame::SetUp();
        basePath = dir.path.string() + "/";
        eventHandler = IsoEventHandler{};
        chatActive = false;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }

    // Two small armies on "highlands" attack-moving into each other; the local player is the first.
    void startBattle() {
        MAP_FILE = "highlands";
        headless::addPlayer(1, "Blue", "human", false);
        headless::addPlayer(2, "Red", "vohmathal", false);
        Player::myStaticId = 1;
        ASSERT_TRUE(headless::buildMapWorld(std::string(CORVALE_SOURCE_DIR) + "/maps/highlands.map"));
        blue = headless::placeArmy(1, "Marine", {MAP_W * 3 / 8, MAP_H * 3 / 8}, 6);
        red = headless::placeArmy(2, "Grunt", {MAP_W * 4 / 8, MAP_H * 3 / 8}, 6);
        headless::listUnitsWithOwners();
        for (int id : blue) lockstep.collectCommand({CommandType::AttackMove, 1, AttackMove{id, 250, 190, false}});
        for (int id : red) lockstep.collectCommand({CommandType::AttackMove, 2, AttackMove{id, 190, 190, false}});
    }

    static void pressHold() {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.keysym.sym = SDLK_h;
        SDL_PushEvent(&e);
        eventHandler.handleGameEvents(grid);
    }

    // One live turn: the orders collected so far applied as the turn's, then one tick.
    static void liveTurn() {
        std::vector<Command> turn;
        turn.swap(lockstep.pendingCommands);
        applyLiveTurn(turn, grid, 0);
        advanceOneTurn(grid);
    }

    TempDir dir;
    std::vector<int> blue, red;
};

TEST_F(HeldBattle, HoldActsOnTheNextTickAndTheLogReplaysToTheSameChecksums) {
    ASSERT_TRUE(contentLoaded);
    ASSERT_NO_FATAL_FAILURE(startBattle());
    setup_command_log_for_writing(MAP_FILE);
    const std::string logPath = basePath + "replays/" + replay_file_name;

    std::vector<uint64_t> live;
    ::testing::internal::CaptureStderr();
    for (int turn = 0; turn < 200; ++turn) {
        if (turn == 60) {
            for (int id : blue) addToSelection(id);
            addToSelection(red.front());
            pressHold();
            // The key only queued the order.
            EXPECT_NE(getUnitById(blue.front())->state, UnitState::HoldPosition);
        }
        liveTurn();
        if (turn == 60) {
            for (int id : blue) {
                const Unit* u = getUnitById(id);
                ASSERT_NE(u, nullptr);
                EXPECT_EQ(u->state, UnitState::HoldPosition) << id;
            }
            EXPECT_NE(getUnitById(red.front())->state, UnitState::HoldPosition);
        }
        live.push_back(worldChecksum());
    }
    ::testing::internal::GetCapturedStderr();
    closeCommandLog();
    clearUnitSelection();

    reset_game_state();
    mode = GameMode::Replay;
    std::ifstream in(logPath, std::ios::binary);
    ASSERT_TRUE(loadReplay(in));
    // The armies were placed by hand, not from bases, in the live match too.
    for (const auto& p : players) p->spawnsBase = false;
    ASSERT_TRUE(headless::buildMapWorld(std::string(CORVALE_SOURCE_DIR) + "/maps/highlands.map"));
    blue = headless::placeArmy(1, "Marine", {MAP_W * 3 / 8, MAP_H * 3 / 8}, 6);
    red = headless::placeArmy(2, "Grunt", {MAP_W * 4 / 8, MAP_H * 3 / 8}, 6);
    headless::listUnitsWithOwners();
    ::testing::internal::CaptureStderr();
    for (size_t tick = 0; tick < live.size(); ++tick) {
        headless::runReplayTick(grid);
        if (worldChecksum() != live[tick]) {
            ::testing::internal::GetCapturedStderr();
            FAIL() << "the replay leaves the live game at tick " << tick;
        }
    }
    ::testing::internal::GetCapturedStderr();
}

}  // namespace
