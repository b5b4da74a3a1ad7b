// How a match of three sides ends, frame by frame through the real session: the last side standing wins once, the
// result dialog keeps its presses from the map, Quit leads back to the menus, and the replay of the match, played
// from the replays page, ends with the same result seen from the same seat.
#include <filesystem>
#include <string>
#include <vector>

#include "buildings.h"
#include "hud.h"
#include "input_state.h"
#include "missions.h"
#include "session_fixture.h"
#include "ui/replays_page.h"

namespace {

constexpr int COMPUTER_ID = 303;

// What the session announced: how often, and the title and winner of the last announcement.
struct Announced {
    int times = 0;
    std::string title;
    int winner = -1;
    int turn = -1;
};
Announced announced;

void recordResult(const std::string& gameSound) {
    announceMatchResult(gameSound);
    ++announced.times;
    announced.winner = victoryPlayerId;
    announced.turn = lockstep.currentTurn;
    for (const auto& child : game_over_modal.children)
        if (const auto* label = dynamic_cast<const Label*>(child.get())) announced.title = label->text;
}

// A side's fall: every building it has is destroyed on the first frame at or after the turn, outside the orders,
// so the replay must be given the same falls.
struct Fall {
    int side;
    int turn;
};

std::function<void()> fallsOnTheirTurns(const std::vector<Fall>& falls) {
    return [falls, done = std::size_t{0}]() mutable {
        for (; done < falls.size() && lockstep.currentTurn >= falls[done].turn; ++done)
            for (Building& b : buildings)
                if (b.playerId == falls[done].side) b.hp = 0.0f;
    };
}

void push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }

void pushClick(float x, float y) {
    push(press(x, y));
    SDL_Event release = press(x, y);
    release.type = SDL_MOUSEBUTTONUP;
    push(release);
}

struct MatchEnd : DrawnSessionTest {
    int savedAi = Player::aiId;
    void SetUp() override {
        DrawnSessionTest::SetUp();
        std::filesystem::copy_file(std::string(CORVALE_SOURCE_DIR) + "/maps/highlands.map",
                                   root.path / "maps/highlands.map");
        Player::aiId = COMPUTER_ID;
        announced = Announced{};
        mainMenu.init();
    }
    void TearDown() override {
        closeMenus();
        victoryPlayerId = -1;
        DrawnSessionTest::TearDown();
        Player::aiId = savedAi;
        currentMission = Mission{};
        missionActive = false;
    }

    // The local player, the rival human and the computer player, in the lobby's order.
    static void seat(const std::vector<int>& order) {
        players.clear();
        for (int id : order) {
            if (id == LOCAL_ID) spawnPlayer();
            if (id == OTHER_ID) headless::addPlayer(OTHER_ID, "Rival", "vohmathal", true);
            if (id == COMPUTER_ID) players.push_back(std::make_unique<Player>(COMPUTER_ID, "Computer", "human", true));
        }
    }

    static void startRecorded(GameMode m, const std::function<bool()>& start) {
        mode = m;
        ASSERT_TRUE(start());
        AnnounceMatchResult = recordResult;
    }

    // The replay of the one log in the folder, chosen on the replays page.
    static void playTheReplay(const std::filesystem::path& folder) {
        mainMenu.switch_to_page(MenuPage::ReplaysPage);
        mainMenu.carryOutPendingSwitch();
        ReplaysPage& page = shown<ReplaysPage>();
        page.chosenReplay = onlyFileIn(folder).filename().string();
        startRecorded(GameMode::Replay, [&] { return page.play(); });
    }
};

TEST_F(MatchEnd, AmongThreeSidesTheLastStandingWinsOnceAndTheReplayEndsAlike) {
    struct Case {
        const char* what;
        std::vector<int> seats;
        std::vector<Fall> falls;
        const char* title;
        int winner;
    };
    const Case cases[] = {
        {"hosting: the computer, then the rival", {LOCAL_ID, OTHER_ID, COMPUTER_ID},
         {{COMPUTER_ID, 20}, {OTHER_ID, 60}}, "VICTORY", LOCAL_ID},
        {"hosting: the rival, then the computer", {LOCAL_ID, OTHER_ID, COMPUTER_ID},
         {{OTHER_ID, 20}, {COMPUTER_ID, 60}}, "VICTORY", LOCAL_ID},
        {"hosting: the two others on one turn", {LOCAL_ID, OTHER_ID, COMPUTER_ID},
         {{OTHER_ID, 20}, {COMPUTER_ID, 20}}, "VICTORY", LOCAL_ID},
        {"hosting: the local player", {LOCAL_ID, OTHER_ID, COMPUTER_ID}, {{LOCAL_ID, 20}}, "DEFEAT", OTHER_ID},
        {"joined: the computer, then the rival", {OTHER_ID, LOCAL_ID, COMPUTER_ID},
         {{COMPUTER_ID, 20}, {OTHER_ID, 60}}, "VICTORY", LOCAL_ID},
        {"joined: the local player", {OTHER_ID, LOCAL_ID, COMPUTER_ID}, {{LOCAL_ID, 20}}, "DEFEAT", OTHER_ID},
    };
    const std::filesystem::path logs = root.path / "replays";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        announced = Announced{};
        seat(c.seats);
        ASSERT_NO_FATAL_FAILURE(startRecorded(GameMode::Skirmish, [] { return startGame(true, true, "highlands", false); }));
        const int lastFall = c.falls.back().turn;
        runFrames(400, 20.0, [&] { return lockstep.currentTurn >= lastFall; }, fallsOnTheirTurns(c.falls));
        EXPECT_EQ(victoryPlayerId, -1) << "a side still stands against the local player until the last fall";
        runFrames(40, 20.0, [] { return lockstep.currentTurn >= 120; }, fallsOnTheirTurns(c.falls));
        ASSERT_EQ(announced.times, 1);
        EXPECT_EQ(announced.title, c.title);
        EXPECT_EQ(announced.winner, c.winner);
        const Announced live = announced;

        // A press on the dialog away from Quit is the dialog's: the selection under it stays.
        const std::vector<int> own = headless::unitsOf(LOCAL_ID);
        ASSERT_FALSE(own.empty());
        selectedUnits = {own.front()};
        const SDL_FRect r = game_over_modal.rect;
        pushClick(r.x + 12.0f, r.y + 12.0f);
        game_loop();
        EXPECT_EQ(selectedUnits, std::vector<int>{own.front()});
        DrawMatchFrame = savedDrawing;
        game_loop();
        DrawFixture::saveScreenshot(std::string("match_end_") + c.title + "_" + (c.seats.front() == LOCAL_ID ? "host" : "joined"));
        DrawMatchFrame = fake_clock::drawFrame;
        pushClick(r.x + 150.0f, r.y + 135.0f);  // Quit
        game_loop();
        game_loop();
        ASSERT_EQ(gameState, GameState::Menus);
        EXPECT_EQ(victoryPlayerId, -1);

        announced = Announced{};
        ASSERT_NO_FATAL_FAILURE(playTheReplay(logs));
        runFrames(2000, 20.0, [] { return false; }, fallsOnTheirTurns(c.falls));
        EXPECT_EQ(gameState, GameState::Menus) << "the replay ends by itself";
        EXPECT_EQ(announced.times, 1);
        EXPECT_EQ(announced.title, live.title) << "the replay is seen from the recording seat";
        EXPECT_EQ(announced.winner, live.winner);
        std::filesystem::remove_all(logs);
    }
}

// The viewer of a replay that has shown its result seeks back on the bar to a turn before the fall: no result is
// shown there, and playing on to the fall shows the same result again.
TEST_F(MatchEnd, AReplaySoughtBackBeforeItsResultShowsNoneUntilItComesAgain) {
    seat({LOCAL_ID, COMPUTER_ID});
    const std::vector<Fall> falls{{COMPUTER_ID, 40}};
    ASSERT_NO_FATAL_FAILURE(startRecorded(GameMode::Skirmish, [] { return startGame(true, true, "fight", false); }));
    runFrames(100, 20.0, [] { return lockstep.currentTurn >= 80; }, fallsOnTheirTurns(falls));
    ASSERT_EQ(announced.title, "VICTORY");
    pendingShutdown = true;
    game_loop();

    announced = Announced{};
    ASSERT_NO_FATAL_FAILURE(playTheReplay(root.path / "replays"));
    runFrames(200, 20.0, [] { return announced.times > 0; }, fallsOnTheirTurns(falls));
    ASSERT_EQ(announced.title, "VICTORY");
    push(press(static_cast<float>(replay_bar.x) + static_cast<float>(replay_bar.w) * 0.1f,
               static_cast<float>(replay_bar.y + replay_bar.h / 2)));
    runFrames(3, 20.0, [] { return false; });
    ASSERT_LT(lockstep.currentTurn, falls.front().turn);
    EXPECT_EQ(victoryPlayerId, -1) << "the sought turn comes before the fall";
    replayPaused = false;
    runFrames(200, 20.0, [] { return announced.times > 1; }, fallsOnTheirTurns(falls));
    EXPECT_EQ(announced.times, 2);
    EXPECT_EQ(announced.title, "VICTORY");
}

// The player ends the match from the in-game menu, through MENU and "End Scenario" as pressed on screen: playing,
// paused, after the result, and in the replay of that match playing or after its result. Every way leads back to
// the menus with nothing of the match left on show, and the next match starts clean.
TEST_F(MatchEnd, EndScenarioFromTheMenuLeavesEveryKindOfMatchForTheMenus) {
    struct Case {
        const char* what;
        bool replay;
        bool paused;
        bool decided;
    };
    const Case cases[] = {
        {"playing", false, false, false},
        {"paused", false, true, false},
        {"after the result", false, false, true},
        {"replay playing", true, false, false},
        {"replay after its result", true, false, true},
    };
    const std::vector<Fall> falls{{COMPUTER_ID, 20}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        seat({LOCAL_ID, COMPUTER_ID});
        ASSERT_NO_FATAL_FAILURE(startRecorded(GameMode::Skirmish, [] { return startGame(true, true, "fight", false); }));
        if (c.replay) {
            runFrames(100, 20.0, [] { return lockstep.currentTurn >= 90; }, fallsOnTheirTurns(falls));
            pendingShutdown = true;
            game_loop();
            ASSERT_NO_FATAL_FAILURE(playTheReplay(root.path / "replays"));
        }
        const std::function<void()> fallsIfDecided = c.decided ? fallsOnTheirTurns(falls) : [] {};
        runFrames(60, 20.0, [] { return lockstep.currentTurn >= 40; }, fallsIfDecided);
        if (c.paused) {
            lockstep.collectCommand(Command{CommandType::PauseGame, LOCAL_ID, PauseGameCommand{lockstep.currentTurn}});
            runFrames(10, 20.0, [] { return paused; });
            ASSERT_TRUE(paused);
        }
        EXPECT_EQ(victoryPlayerId != -1, c.decided);
        pushClick(menuButton.rect.x + 5.0f, menuButton.rect.y + 5.0f);
        game_loop();
        ASSERT_TRUE(gameMenu.isVisible());
        pushClick(gameMenu.rect.x + 125.0f, gameMenu.rect.y + 215.0f);  // End Scenario
        game_loop();
        game_loop();
        ASSERT_EQ(gameState, GameState::Menus);
        EXPECT_EQ(victoryPlayerId, -1);
        EXPECT_FALSE(paused);
        EXPECT_FALSE(gameMenu.isVisible());
        EXPECT_FALSE(game_over_modal.isVisible());
        EXPECT_FALSE(commandLog.is_open());
        main_loop();
        EXPECT_EQ(mainMenu.current, c.replay ? MenuPage::ReplaysPage : MenuPage::MainPage);
        std::filesystem::remove_all(root.path / "replays");
        closeMenus();
        mainMenu.init();
    }
    seat({LOCAL_ID, COMPUTER_ID});
    ASSERT_TRUE(startGame(true, true, "fight", false));
    EXPECT_EQ(lockstep.currentTurn, 0);
    EXPECT_EQ(victoryPlayerId, -1);
    EXPECT_FALSE(gameMenu.isVisible());
}

// A player who joined a lobby sits second in its list; the game it saved resumes at its own seat, not the host's.
TEST_F(MatchEnd, AGameSavedFromAJoinedSeatResumesAtThatSeat) {
    seat({OTHER_ID, LOCAL_ID, COMPUTER_ID});
    ASSERT_NO_FATAL_FAILURE(startRecorded(GameMode::Skirmish, [] { return startGame(true, true, "highlands", false); }));
    runFrames(40, 20.0, [] { return lockstep.currentTurn >= 30; });
    ASSERT_TRUE(saveGameAs("joined"));
    pendingShutdown = true;
    game_loop();
    ASSERT_EQ(gameState, GameState::Menus);
    load_game_filename = "joined.bin";
    ASSERT_NO_FATAL_FAILURE(startRecorded(GameMode::ResumedSave, [] { return startGame(true, true, "", false); }));
    EXPECT_EQ(Player::myStaticId, LOCAL_ID);
    runFrames(100, 20.0, [] { return mode != GameMode::ResumedSave; });
    EXPECT_EQ(mode, GameMode::Skirmish);
    EXPECT_EQ(Player::myStaticId, LOCAL_ID) << "the resumed match is played from the seat it was saved at";
}

// A mission's objectives belong to the world they were met in: the next session starts with none met, and meets
// them again on its own ticks.
TEST_F(MatchEnd, ObjectivesMetInOneSessionAreUnmetWhenTheNextStarts) {
    seat({LOCAL_ID, OTHER_ID});
    mode = GameMode::Skirmish;
    ASSERT_TRUE(startGame(true, true, "fight", false));
    const Building* base = getBuildingById(getPlayerById(LOCAL_ID)->buildingIds.front());
    ASSERT_NE(base, nullptr);
    currentMission.objectives = {{"base", "Hold a base", "build", base->type},
                                 {"army", "Train an army", "train", "Marine", 99}};
    missionActive = true;
    runFrames(10, 20.0, [] { return lockstep.currentTurn >= 3; });
    ASSERT_TRUE(currentMission.objectives[0].done);
    EXPECT_FALSE(currentMission.objectives[1].done);
    pendingShutdown = true;
    game_loop();
    ASSERT_EQ(gameState, GameState::Menus);

    seat({LOCAL_ID, OTHER_ID});
    ASSERT_TRUE(startGame(true, true, "fight", false));
    for (const Objective& o : currentMission.objectives) {
        EXPECT_FALSE(o.done) << o.id << " at the first turn of the next session";
        EXPECT_EQ(o.current, 0) << o.id;
    }
    runFrames(10, 20.0, [] { return lockstep.currentTurn >= 3; });
    EXPECT_TRUE(currentMission.objectives[0].done);
}

}  // namespace
