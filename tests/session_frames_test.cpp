// Frame pacing and the match clock with an injected clock, pausing, and sessions that must not start.
#include <algorithm>

#include "session_fixture.h"

namespace {

int lineCount(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

struct FramePacing : SessionTest {
    void SetUp() override {
        SessionTest::SetUp();
        seatPlayers();
        ASSERT_TRUE(startGame(true, true, "fight", false));
    }
    void TearDown() override {
        targetFps = 120.0f;
        SessionTest::TearDown();
    }

    // Milliseconds one frame lasts on average over ten, after a first frame that settles the cap.
    static double frameLength(double workMs) {
        fake_clock::frameWorkMs = workMs;
        game_loop();
        const uint64_t start = fake_clock::now;
        for (int i = 0; i < 10; ++i) game_loop();
        return static_cast<double>(fake_clock::now - start) / 10.0 / 1e6;
    }
};

TEST_F(FramePacing, FrameLastsAtLeastOneMillisecondAndHoldsTheCap) {
    struct Case {
        float cap;
        double workMs;
        double frameMs;
    };
    const Case cases[] = {
        {120.0f, 0.0, 1000.0 / 120.0},  // held to the cap
        {120.0f, 3.0, 1000.0 / 120.0},
        {5000.0f, 0.0, 1.0},             // the minimum outlasts the cap
        {120.0f, 20.0, 20.0},            // a slow frame is not shortened
    };
    for (const Case& c : cases) {
        targetFps = c.cap;
        EXPECT_NEAR(frameLength(c.workMs), c.frameMs, 1e-3) << c.cap << " fps, " << c.workMs << " ms of work";
    }
}

TEST_F(FramePacing, SlowFrameAdvancesTheWorldByFiftyMillisecondsOnly) {
    frameLength(200.0);
    const double totalBefore = totalTime;
    const float gameTimeBefore = gameTime;
    game_loop();
    EXPECT_NEAR(deltaTime, 200.0, 1e-6);
    EXPECT_EQ(dt, MAX_FRAME_SECONDS);
    EXPECT_NEAR(totalTime - totalBefore, 200.0, 1e-6);
    EXPECT_FLOAT_EQ(gameTime - gameTimeBefore, MAX_FRAME_SECONDS);
}

TEST_F(FramePacing, PausedMatchStandsStillUntilAResumeArrives) {
    frameLength(20.0);
    lockstep.pendingCommands.push_back({CommandType::PauseGame, LOCAL_ID, PauseGameCommand{}});
    frameLength(20.0);
    ASSERT_TRUE(paused);
    const int turn = lockstep.currentTurn;
    const float clock = gameTime;
    frameLength(20.0);
    EXPECT_EQ(lockstep.currentTurn, turn);
    EXPECT_EQ(gameTime, clock);
    lockstep.pendingCommands.push_back({CommandType::ResumeGame, LOCAL_ID, ResumeGameCommand{}});
    frameLength(20.0);
    EXPECT_FALSE(paused);
    EXPECT_GT(lockstep.currentTurn, turn);
}

// ---- Sessions that must not start ----

using SessionStart = SessionTest;

void expectBackInTheMenus(const std::string& errors, const std::filesystem::path& root) {
    EXPECT_EQ(lineCount(errors), 1) << errors;
    EXPECT_EQ(gameState, GameState::Menus);
    ASSERT_EQ(players.size(), 1u);
    EXPECT_EQ(players.front()->id, LOCAL_ID);
    EXPECT_TRUE(units.empty());
    EXPECT_FALSE(commandLog.is_open());
    const std::filesystem::path logs = root / "replays";
    EXPECT_TRUE(!std::filesystem::exists(logs) || std::filesystem::is_empty(logs));
}

TEST_F(SessionStart, MapThatCannotBeUsedGivesOneLineAndTheMenus) {
    root.write("maps/ragged.map", "GGGG\nGG\n");
    for (const std::string map : {"no_such_map", "../maps/fight", "ragged"}) {
        seatPlayers();
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(startGame(true, true, map, false)) << map;
        const std::string errors = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(errors.find(map), std::string::npos) << errors;
        expectBackInTheMenus(errors, root.path);
    }
}

TEST_F(SessionStart, UnusableSaveGivesOneLineAndTheMenus) {
    const std::pair<std::string, std::string> saves[] = {
        {"garbage.bin", "\x7f\x45\x4c\x46 not a log\n{\"tick\":0}\n"},
        {"empty.bin", ""},
        {"wrong_types.bin", "{\"MAP_W\":\"wide\"}\n"},
        {"elsewhere.bin", "{\"MAP_FILE\":\"../../etc/passwd\"}\n"},
        {"no_map.bin", "{\"MAP_FILE\":\"gone\"}\n"},
    };
    for (const auto& [name, bytes] : saves) root.write("saves/" + name, bytes);
    for (const std::string name : {"garbage.bin", "empty.bin", "wrong_types.bin", "elsewhere.bin", "no_map.bin",
                                   "missing.bin", "../saves/garbage.bin"}) {
        load_game_filename = name;
        mode = GameMode::ResumedSave;
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(startGame(true, true, "fight", false)) << name;
        expectBackInTheMenus(::testing::internal::GetCapturedStderr(), root.path);
        EXPECT_EQ(MAP_FILE, "fight") << "the configuration a save replaced is put back";
    }
}

TEST_F(SessionStart, SaveCutShortResumesUpToItsLastWholeTurn) {
    playLiveMatch(300);
    const std::string saved = readWholeFile(onlyFileIn(root.path / "replays"));
    std::filesystem::remove_all(root.path / "replays");
    // The records of the last tick, which a cut at the end takes with it.
    const std::size_t lastLine = saved.rfind('\n', saved.size() - 2) + 1;
    const int tick = nlohmann::json::parse(saved.substr(lastLine))["tick"].get<int>();
    const std::string lastTick = "\"tick\":" + std::to_string(tick);
    const std::size_t lastTurn = saved.rfind('\n', saved.find(lastTick) - 1) + 1;
    ASSERT_GT(lastTurn, saved.find('\n') + 1) << "the match logs two turns";
    // A save cut while its next record was written, and one cut inside its last record: the copy keeps the whole
    // turns before the cut, so what the resumed play appends after it stays readable.
    const std::pair<std::string, std::string> cases[] = {
        {saved + "{\"data\":{\"unitId\":3,\"tar", saved.substr(0, lastTurn)},
        {saved.substr(0, lastLine + 10), saved.substr(0, lastTurn)},
    };
    for (const auto& [cut, kept] : cases) {
        root.write("saves/cut.bin", cut);
        load_game_filename = "cut.bin";
        mode = GameMode::ResumedSave;
        ::testing::internal::CaptureStderr();
        ASSERT_TRUE(startGame(true, true, "fight", false));
        EXPECT_EQ(lineCount(::testing::internal::GetCapturedStderr()), 1);
        EXPECT_EQ(mode, GameMode::ResumedSave);
        const std::filesystem::path copy = onlyFileIn(root.path / "replays");
        EXPECT_EQ(readWholeFile(copy), kept);
        pendingShutdown = true;
        game_loop();
        std::filesystem::remove(copy);
    }
}

}  // namespace
