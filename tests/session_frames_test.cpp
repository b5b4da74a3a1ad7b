// Frame pacing and the match clock with an injected clock, pausing, and sessions that must not start.
#include <algorithm>
#include <map>
#include <memory>

#include "missions.h"
#include "session_fixture.h"
#include "ui/main_menu.h"

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

// ---- Menu frames ----

// A page that counts its entries and draws, and asks for a switch from its update when told to.
struct CountingPage : MenuPageContainer {
    MainMenu* menu = nullptr;
    int entries = 0;
    int draws = 0;
    bool askOnUpdate = false;
    MenuPage next = MenuPage::MainPage;

    void init() override { ++entries; }
    void draw() override { ++draws; }
    void update() override {
        if (askOnUpdate) menu->switch_to_page(next);
        askOnUpdate = false;
    }
};

// The menus with two counting pages only and no lobby step, put back as they were after the test.
struct MenuFrames : SessionTest {
    std::map<MenuPage, std::unique_ptr<MenuPageContainer>> savedPages;
    MenuPage savedCurrent = mainMenu.current;
    void (*savedLobbyStep)() = UpdateLobbyNetworking;
    CountingPage* main = nullptr;
    CountingPage* lan = nullptr;

    void SetUp() override {
        SessionTest::SetUp();
        savedPages.swap(mainMenu.pages);
        for (MenuPage key : {MenuPage::MainPage, MenuPage::LANPage}) {
            auto page = std::make_unique<CountingPage>();
            page->menu = &mainMenu;
            (key == MenuPage::MainPage ? main : lan) = page.get();
            mainMenu.pages[key] = std::move(page);
        }
        mainMenu.current = MenuPage::MainPage;
        mainMenu.switchPending = false;
        UpdateLobbyNetworking = nullptr;
        fake_clock::frameWorkMs = 0.0;
    }
    void TearDown() override {
        mainMenu.pages.swap(savedPages);
        mainMenu.current = savedCurrent;
        mainMenu.switchPending = false;
        UpdateLobbyNetworking = savedLobbyStep;
        targetFps = 120.0f;
        SessionTest::TearDown();
    }

    // Milliseconds of one menu frame after a first that settles the cap.
    static double menuFrameLength() {
        main_loop();
        const uint64_t start = fake_clock::now;
        main_loop();
        return static_cast<double>(fake_clock::now - start) / 1e6;
    }
};

TEST_F(MenuFrames, AnIdleMenuFrameLastsExactlyOneFrameOfTheCap) {
    for (const float cap : {120.0f, 60.0f, 30.0f}) {
        targetFps = cap;
        EXPECT_NEAR(menuFrameLength(), 1000.0 / cap, 1e-3) << cap << " fps";
    }
}

TEST_F(MenuFrames, ASwitchAskedWithoutAnyEventIsCarriedOutInTheSameFrame) {
    // Asked by the page's own update: entered at the end of that frame, drawn by the next.
    main->askOnUpdate = true;
    main->next = MenuPage::LANPage;
    main_loop();
    EXPECT_EQ(mainMenu.current, MenuPage::LANPage);
    EXPECT_EQ(lan->entries, 1);
    EXPECT_EQ(lan->draws, 0);
    main_loop();
    EXPECT_EQ(lan->draws, 1);
    // Asked while a session ran: the first menu frame enters the page before it draws.
    mainMenu.switch_to_page(MenuPage::MainPage);
    const int drawnBefore = main->draws;
    main_loop();
    EXPECT_EQ(mainMenu.current, MenuPage::MainPage);
    EXPECT_EQ(main->draws, drawnBefore + 1);
    EXPECT_EQ(lan->draws, 1) << "the page left is not drawn again";
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
    // The log ends with the record naming the last turn played; before it stand the records of the last tick
    // with orders.
    const std::size_t reachedLine = saved.rfind('\n', saved.size() - 2) + 1;
    ASSERT_EQ(nlohmann::json::parse(saved.substr(reachedLine))["type"].get<int>(), 16);
    const std::size_t lastLine = saved.rfind('\n', reachedLine - 2) + 1;
    const int tick = nlohmann::json::parse(saved.substr(lastLine, reachedLine - lastLine))["tick"].get<int>();
    const std::string lastTick = "\"tick\":" + std::to_string(tick);
    const std::size_t lastTurn = saved.rfind('\n', saved.find(lastTick) - 1) + 1;
    ASSERT_GT(lastTurn, saved.find('\n') + 1) << "the match logs two turns";
    // A save cut while its next record was written, and one cut inside its last record, whose tick is unknown, so
    // the turn before it may have gone on: the copy keeps the whole turns before the cut, so what the resumed play
    // appends after it stays readable.
    const std::pair<std::string, std::string> cases[] = {
        {saved + "{\"data\":{\"unitId\":3,\"tar", saved.substr(0, reachedLine)},
        {saved.substr(0, reachedLine + 10), saved.substr(0, lastTurn)},
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

TEST_F(SessionStart, TheMissionsStartingUnitsStandOnTheNewWorld) {
    seatPlayers();
    currentMission.startingUnits = {{"Marine", 20, 20, "player"}, {"Marine", 22, 20, "player"}};
    const bool started = startGame(true, true, "fight", false);
    currentMission = Mission{};
    ASSERT_TRUE(started);
    std::vector<V2i> placed;
    for (const Unit& u : units)
        if (u.type == "Marine" && u.playerId == LOCAL_ID) placed.push_back(worldToSubTile(u.x, u.y));
    EXPECT_EQ(placed, (std::vector<V2i>{{80, 80}, {88, 80}}));
}

}  // namespace
