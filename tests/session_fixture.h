// Sessions driven frame by frame: the shipped content, a temporary asset root holding the maps, two players, and a
// clock that moves only when a test or a frame's wait moves it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "../tools/headless_session.h"
#include "catalogue_support.h"
#include "configuration_snapshot.h"
#include "draw_fixture.h"
#include "game_loop.h"
#include "game_replay.h"
#include "game_session.h"
#include "hud.h"
#include "network_manager_lobby.h"
#include "sdl_events.h"
#include "sprites.h"
#include "test_files.h"
#include "textures.h"
#include "ui/main_menu.h"

namespace fake_clock {

// Nanoseconds; never 0, which the frame cap reads as "no frame yet", and never turned back within a run.
inline uint64_t now = 1;
inline uint64_t counter() { return now; }
inline uint64_t frequency() { return 1000000000u; }
inline void sleep(uint64_t ns) { now += ns; }
inline void advanceMs(double ms) { now += static_cast<uint64_t>(ms * 1e6); }

// Drawing stands in for a frame's work: it takes this long.
inline double frameWorkMs = 0.0;
inline void drawFrame(Grid&, float) { advanceMs(frameWorkMs); }

}  // namespace fake_clock

constexpr int LOCAL_ID = 101;
constexpr int OTHER_ID = 202;

// World checksum after each frame, by the turn the frame ended on.
using ChecksumsByTurn = std::map<int, uint64_t>;

// The shipped configuration and content, loaded as a session start loads them; every global is put back after.
struct ShippedGame : ::testing::Test {
    EveryConfigurationValue savedConfiguration = everyConfigurationValue();
    bool contentLoaded = false;

    void SetUp() override {
        reset_game_state();
        ::testing::internal::CaptureStderr();
        loadConfig(std::string(CORVALE_SOURCE_DIR) + "/src/config.txt");
        deriveConfigValues();
        contentLoaded = headless::loadContent(std::string(CORVALE_SOURCE_DIR) + "/core");
        ::testing::internal::GetCapturedStderr();
    }

    void TearDown() override {
        closeCommandLog();
        restoreConfigurationAfterReplay();
        reset_game_state();
        mapData = MapData{};
        grid.tiles.clear();
        catalogue_test::resetCatalogues();
        everyConfigurationValue() = savedConfiguration;
        mode = GameMode::Skirmish;
        Player::myStaticId = Player::aiId = Player::environmentId = 0;
    }
};

struct SessionTest : ShippedGame {
    TempDir root;
    void (*savedDrawing)(Grid&, float) = DrawMatchFrame;

    void SetUp() override {
        ShippedGame::SetUp();
        basePath = root.path.string() + "/";
        std::filesystem::create_directories(root.path / "maps");
        std::filesystem::copy_file(std::string(CORVALE_SOURCE_DIR) + "/maps/fight.map", root.path / "maps/fight.map");
        frameClock = FrameClock{fake_clock::counter, fake_clock::frequency, fake_clock::sleep};
        gameTime = 0.0f;  // the frame clock of a fresh program: it runs on across sessions
        replayPaused = false;  // the viewer's pause and speed carry over from one replay to the next
        replaySpeed = 1;
        DrawMatchFrame = fake_clock::drawFrame;
        Player::myStaticId = LOCAL_ID;
        gameState = GameState::Menus;
        mode = GameMode::Skirmish;
        running = true;
    }

    void TearDown() override {
        if (gameState != GameState::Menus) endSession();
        frameClock = sdlFrameClock();
        DrawMatchFrame = savedDrawing;
        ShippedGame::TearDown();
    }

    // The local player and a second human, as a lobby leaves them.
    static void seatPlayers() {
        players.clear();
        spawnPlayer();
        headless::addPlayer(OTHER_ID, "Rival", "vohmathal", true);
    }

    static std::filesystem::path onlyFileIn(const std::filesystem::path& folder) {
        const std::vector<std::filesystem::path> files{std::filesystem::directory_iterator(folder), {}};
        EXPECT_EQ(files.size(), 1u) << folder;
        return files.empty() ? folder : files.front();
    }

    // Match frames of frameMs of work each, until done or the frame limit; the checksum at the start and after
    // every frame.
    static ChecksumsByTurn runFrames(int limit, double frameMs, const std::function<bool()>& done,
                                     const std::function<void()>& beforeFrame = [] {}) {
        ChecksumsByTurn sums{{lockstep.currentTurn, worldChecksum()}};
        fake_clock::frameWorkMs = frameMs;
        for (int i = 0; i < limit && gameState == GameState::Match && !done(); ++i) {
            beforeFrame();
            game_loop();
            if (gameState == GameState::Match) sums[lockstep.currentTurn] = worldChecksum();
        }
        return sums;
    }

    // Both players mine from the first turn and train a worker at turn 150, through the pending orders.
    static void giveEconomyOrders() {
        static int lastTurn = -1;
        if (lockstep.currentTurn == lastTurn) return;
        lastTurn = lockstep.currentTurn;
        for (int id : {LOCAL_ID, OTHER_ID})
            for (Command& c : headless::economyOrders(lockstep.currentTurn, id))
                lockstep.pendingCommands.push_back(std::move(c));
    }

    // Both players send their workers mining again on every turn that is a multiple of every, so the log holds
    // turns to near its end.
    static std::function<void()> remineEvery(int every) {
        return [every, ordered = -1]() mutable {
            if (lockstep.currentTurn % every != 0 || lockstep.currentTurn == ordered) return;
            ordered = lockstep.currentTurn;
            for (int id : {LOCAL_ID, OTHER_ID})
                for (Command& c : headless::economyOrders(0, id)) lockstep.pendingCommands.push_back(std::move(c));
        };
    }

    // A skirmish on "fight" played for the given turns with the given orders before each frame, ended through
    // pendingShutdown.
    static ChecksumsByTurn playLiveMatch(int turns, const std::function<void()>& orders = giveEconomyOrders) {
        seatPlayers();
        mode = GameMode::Skirmish;
        EXPECT_TRUE(startGame(true, true, "fight", false));
        const ChecksumsByTurn sums =
            runFrames(turns * 2, 20.0, [&] { return lockstep.currentTurn >= turns; }, orders);
        pendingShutdown = true;
        game_loop();
        return sums;
    }
};

// The records of a command log after its header line, in file order.
inline std::vector<nlohmann::json> logRecords(const std::filesystem::path& log) {
    std::vector<nlohmann::json> records;
    std::istringstream lines(readWholeFile(log));
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line))
        if (!line.empty()) records.push_back(nlohmann::json::parse(line));
    return records;
}

// A session whose frames draw into a window-sized target, with the suite's window, renderer and fonts.
struct DrawnSessionTest : SessionTest {
    SDL_Texture* target = nullptr;
    static void SetUpTestSuite() { DrawFixture::SetUpTestSuite(); }
    static void TearDownTestSuite() { DrawFixture::TearDownTestSuite(); }
    void SetUp() override {
        SessionTest::SetUp();
        target = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA32, SDL_TEXTUREACCESS_TARGET, DrawFixture::W,
                                   DrawFixture::H);
        SDL_SetRenderTarget(renderer, target);
    }
    void TearDown() override {
        SDL_SetRenderTarget(renderer, nullptr);
        SDL_DestroyTexture(target);
        SessionTest::TearDown();
    }
};

// The menu page on show, as the page type the test expects there.
template <class Page>
Page& shown() {
    return *static_cast<Page*>(mainMenu.page(mainMenu.current));
}

// A left press in the middle of a menu widget.
inline void clickOn(const SDL_FRect& r) { mainMenu.handleEvent(pressOn(r)); }

// The menus back on the main page with no switch waiting, as the next test expects them.
inline void closeMenus() {
    mainMenu.clear();
    mainMenu.current = mainMenu.pending = MenuPage::MainPage;
    mainMenu.switchPending = false;
}

// The local player alone at the main page, to host on any free port.
inline void seatAloneAtTheMenus() {
    netTcpPort = 0;
    players.clear();
    spawnPlayer();
    mainMenu.init();
}

// The menus closed and the lobby forgotten, its connections with it.
inline void leaveMenusAndLobby() {
    closeMenus();
    net.closeTcp();
    lobbyState = LobbyState{};
}

// The repository's content and art again, for later scenes of the run that a session's tear-down left without.
inline void reloadRepositoryContent() {
    basePath = std::string(CORVALE_SOURCE_DIR) + "/";
    ::testing::internal::CaptureStderr();
    headless::loadContent(basePath + "core");
    loadTextures();
    loadSprites();
    ::testing::internal::GetCapturedStderr();
}

// What the in-game menu reads, its labels and buttons in order, each after a space; empty labels read nothing.
inline std::string menuText() {
    std::string text;
    for (const auto& child : gameMenu.children) {
        const auto* label = dynamic_cast<const Label*>(child.get());
        if (label && !label->text.empty()) text += " " + label->text;
        if (const auto* button = dynamic_cast<const Button*>(child.get())) text += " " + button->label;
    }
    return text;
}
