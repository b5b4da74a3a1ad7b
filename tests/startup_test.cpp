// The programs at start-up: a fault before the loop (asset root, configuration, a hostile replay for the runner) is
// one line and exit 1; otherwise the loop opens on the main page, from the folders when the archive is hidden.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <physfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "draw_fixture.h"
#include "game_loop.h"
#include "game_startup.h"
#include "game_state.h"
#include "network_manager.h"
#include "program_in_folders.h"
#include "sdl_text.h"
#include "session_fixture.h"
#include "test_files.h"
#include "sounds.h"
#include "textures.h"
#include "top_level_guard.h"
#include "ui/host_page.h"
#include "ui/lan_page.h"
#include "ui/lobby_view_page.h"
#include "ui/main_menu.h"
#include "ui/main_page.h"

namespace {

struct ProgramRun {
    int exitCode = -1;
    std::string errors;
};

int lineCount(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

// The working directory is <tmp>/up/work; the asset root is put into it or into <tmp>/up.
struct Startup : ::testing::Test {
    TempDir dir;
    // A program starts with no file system mounted, whatever the tests before left.
    void SetUp() override {
        if (PHYSFS_isInit()) PHYSFS_deinit();
    }
    const std::string shippedConfig = readWholeFile(std::string(CORVALE_SOURCE_DIR) + "/src/config.txt");

    ProgramRun run(const std::string& program = CORVALE_PROGRAM, const std::string& arguments = "",
                   std::string work = "") {
        if (work.empty()) work = dir.makeDir("up/work");
        const std::string errorFile = (dir.path / "stderr.txt").string();
        const std::string command =
            "cd '" + work + "' && '" + program + "' " + arguments + " >/dev/null 2>'" + errorFile + "'";
        const int status = std::system(command.c_str());
        ProgramRun result;
        if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
        result.errors = readWholeFile(errorFile);
        return result;
    }

    void expectOneLineAndExitOne(const ProgramRun& r, const std::string& named) {
        EXPECT_EQ(lineCount(r.errors), 1) << r.errors;
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.errors.find(named), std::string::npos) << r.errors;
    }
};

TEST_F(Startup, NoAssetRootEndsWithOneLine) { expectOneLineAndExitOne(run(), "Assets not found"); }

// Each configuration fault, in the game and in the match runner: one line naming the file and the key or line.
TEST_F(Startup, UnusableConfigurationEndsWithOneLineNamingFileAndKey) {
    const struct {
        std::string text;
        const char* named;
    } cases[] = {
        {"", "not found"},
        {shippedConfig + "GAME_SPEED=fast\n", "GAME_SPEED is not a number: fast"},
        {shippedConfig + "TILE_SIZE=2000000000\n", "TILE_SIZE must be 4 to 512, not 2000000000"},
        {shippedConfig + "SUBDIVISIONS=0\n", "SUBDIVISIONS must be 4 to 4"},
        {"\x7f\x45LF\x02\x01\x01", "line 1 is not text"},
        {"MAP_FILE=fight\n", "MAP_W must be 1 to 1024, not missing"},
    };
    // The game reads its font before the configuration; a root without it would end there.
    dir.write(std::string("up/") + FONT_PATH, readWholeFile(std::string(CORVALE_SOURCE_DIR) + "/" + FONT_PATH));
    for (const auto& c : cases) {
        if (!c.text.empty()) dir.write("up/src/config.txt", c.text);
        SCOPED_TRACE(c.named);
        const ProgramRun game = run();
        expectOneLineAndExitOne(game, c.named);
        EXPECT_NE(game.errors.find("corvale: ../src/config.txt: "), std::string::npos) << game.errors;
        expectOneLineAndExitOne(run(CORVALE_RUNNER, "battle 1 1"), c.named);
    }
}

// Hostile replays, run by the match runner against the shipped content: refused at once with one line.
TEST_F(Startup, RunnerRefusesHostileReplaysWithOneLine) {
    const std::string header = R"({"MAP_FILE": "fight", "players": [{"id": 1}, {"id": 2}]})";
    const std::string move = R"({"data": {"unitIds": [], "x": 1, "y": 1}, "player": 1, "type": 0, "tick": )";
    const struct {
        std::string log;
        const char* named;
    } cases[] = {
        {R"({"TILE_SIZE": 0})", "\"TILE_SIZE\" is out of range"},
        {R"({"TILE_SIZE": -1, "GAME_SPEED": 0})", "\"TILE_SIZE\" is out of range"},
        {R"({"players": [{"id": 3}, {"id": 3}]})", "player id 3 is listed twice"},
        {header + "\n" + move + "2147483647}", "tick 2147483647 lies beyond"},
        {header + "\n" + move + "2147483646}", "tick 2147483646 lies beyond"},
    };
    for (const auto& c : cases) {
        const std::string log = dir.write("hostile.log", c.log + "\n");
        SCOPED_TRACE(c.named);
        expectOneLineAndExitOne(run(CORVALE_RUNNER, "replay '" + log + "'", CORVALE_SOURCE_DIR), c.named);
    }
}

// The runner resumes only what the Load dialog would: a save of a map changed since is refused with its line.
TEST_F(Startup, RunnerRefusesToResumeASaveOfAMapChangedSince) {
    const std::string save = dir.write(
        "moved on.bin", R"({"MAP_FILE": "fight", "MAP_FINGERPRINT": "0", "players": [{"id": 1}, {"id": 2}]})" "\n");
    expectOneLineAndExitOne(run(CORVALE_RUNNER, "resume '" + save + "'", CORVALE_SOURCE_DIR),
                            "Cannot load the saved game \"moved on.bin\": its map \"fight\" has changed since the "
                            "game was saved");
}

TEST_F(ProgramInFolders, OpensOnTheMainPageAndExitEndsTheLoop) {
    // A saved game's temporary file that a killed writer left two minutes ago, beside a save that stays.
    dir.write("saves/kept.bin", "x");
    dir.write("saves/kept.bin.tmp", "half");
    std::filesystem::last_write_time(dir.path / "saves/kept.bin.tmp",
                                     std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2));
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_EQ(mainMenu.current, MenuPage::MainPage);
    EXPECT_FALSE(std::filesystem::exists(dir.path / "saves/kept.bin.tmp"));
    EXPECT_TRUE(std::filesystem::exists(dir.path / "saves/kept.bin"));
    EXPECT_EQ(mainMenu.pages.size(), 16u);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE) << "the race's cursor is drawn in its place";
    main_loop();
    DrawFixture::saveScreenshot("main_menu");
    // The column of buttons, 250 by 45 from x 515, 60 pixels apart from y 170; Online and Replays disabled.
    const SDL_Color fills[] = {{139, 0, 0, 255},  {20, 20, 20, 255}, {70, 35, 35, 255},
                               {20, 20, 20, 255}, {35, 35, 35, 255}, {35, 35, 35, 255},
                               {35, 35, 35, 255}, {35, 35, 35, 255}, {35, 35, 35, 255}};
    for (int i = 0; i < 9; ++i)
        for (const SDL_Point corner : {SDL_Point{516, 171 + 60 * i}, SDL_Point{764, 214 + 60 * i}})
            EXPECT_TRUE(DrawFixture::same(DrawFixture::pixel(corner.x, corner.y), fills[i])) << "button " << i;
    EXPECT_FALSE(DrawFixture::same(DrawFixture::pixel(513, 171), fills[0]));
    SDL_Event exit{};
    exit.type = SDL_MOUSEBUTTONDOWN;
    exit.button.button = SDL_BUTTON_LEFT;
    exit.button.x = 640;
    exit.button.y = 670;
    SDL_PushEvent(&exit);
    runTopLevelLoop();
    EXPECT_FALSE(running);
    shutDown();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

// An archive that will not mount beside the content folders: one line naming it, and the menus read everything,
// their font and background included, from the folders.
TEST_F(ProgramInFolders, ADamagedArchiveIsNamedAndTheContentFoldersServeInstead) {
    dir.write("assets.cvl", "PK\x03\x04 cut short");
    ASSERT_NO_FATAL_FAILURE(start());
    main_loop();
    EXPECT_GT(TextWidth("Corvale", 12), 0);
    EXPECT_NE(mainMenuBackgroundTexture, nullptr);
    shutDown();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(lineCount(said), 1) << said;
    EXPECT_EQ(said.rfind("PhysFS mount failed: ", 0), 0u) << said;
    EXPECT_NE(said.find(": ./assets.cvl (reading the content folders instead)\n"), std::string::npos) << said;
}

// Both races name the one cursor image; without it the player keeps the system's pointer instead of none.
TEST_F(ProgramInFolders, ACursorImageMissingKeepsTheSystemPointer) {
    ASSERT_NO_FATAL_FAILURE(start([&] { std::filesystem::remove(dir.path / "core/assets/cursors/default.png"); }));
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
    main_loop();
    shutDown();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "PhysFS failed to open: core/assets/cursors/default.png\n"
              "PhysFS failed to open: core/assets/cursors/default.png\n");
}

// A match against the computer started from the menus, and the window closed in its middle: the program ends the
// session as Quit would, so the log's last record names the last turn played, not the last order.
TEST_F(ProgramInFolders, AWindowClosedInAMatchLeavesALogThatRunsToTheLastTurnPlayed) {
    ASSERT_NO_FATAL_FAILURE(start());
    frameClock = FrameClock{fake_clock::counter, fake_clock::frequency, fake_clock::sleep};
    ASSERT_NO_FATAL_FAILURE(hostAMatchAgainstTheComputer());
    for (int frame = 0; frame < 1000 && lockstep.currentTurn < 150; ++frame) game_loop();
    SDL_Event close{};
    close.type = SDL_QUIT;
    SDL_PushEvent(&close);
    game_loop();
    ASSERT_FALSE(running);
    const int turnsPlayed = lockstep.currentTurn;
    ASSERT_GE(turnsPlayed, 150);
    shutDown();
    ::testing::internal::GetCapturedStderr();
    const std::vector<std::filesystem::path> logs{std::filesystem::directory_iterator(dir.path / "replays"), {}};
    ASSERT_EQ(logs.size(), 1u);
    const std::string log = readWholeFile(logs.front().string());
    const std::string last = log.substr(log.rfind('\n', log.size() - 2) + 1);
    const nlohmann::json record = nlohmann::json::parse(last);
    EXPECT_EQ(record["type"], static_cast<int>(CommandType::Ping)) << last;
    EXPECT_EQ(record["tick"], turnsPlayed - 1) << last;
}

// What escapes the loop (a catalogue look-up on a drawing path, say) ends the program with one line and code 1.
TEST(TopLevelGuard, AnEscapedFaultIsOneLineAndExitCodeOne) {
    const struct {
        std::function<int()> body;
        int exitCode;
        const char* said;
    } cases[] = {
        {[] { return 0; }, 0, ""},
        {[] { return 1; }, 1, ""},
        {[]() -> int { throw std::out_of_range("map::at"); }, 1, "corvale: map::at\n"},
        {[]() -> int { throw std::runtime_error("no such building"); }, 1, "corvale: no such building\n"},
        {[]() -> int { throw 7; }, 1, "corvale: an unknown fault ended the program\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(runGuarded("corvale", c.body), c.exitCode);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.said);
    }
}

}  // namespace
