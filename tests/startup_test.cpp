// The program at start-up: a fault before the loop is one line and exit 1; otherwise the loop opens on the main
// page, from the folders when the archive is hidden, and a quit ends it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "game_loop.h"
#include "game_startup.h"
#include "game_state.h"
#include "test_files.h"
#include "textures.h"
#include "ui/main_menu.h"

namespace {

struct ProgramRun {
    int exitCode = -1;
    std::string errors;
};

// The working directory is <tmp>/up/work; the asset root is put into it or into <tmp>/up.
struct Startup : ::testing::Test {
    TempDir dir;

    ProgramRun run() {
        const std::string work = dir.makeDir("up/work");
        const std::string errorFile = (dir.path / "stderr.txt").string();
        const std::string command = "cd '" + work + "' && '" CORVALE_PROGRAM "' 2>'" + errorFile + "'";
        const int status = std::system(command.c_str());
        ProgramRun result;
        if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
        result.errors = readWholeFile(errorFile);
        return result;
    }
};

int lineCount(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

TEST_F(Startup, NoAssetRootEndsWithOneLine) {
    const ProgramRun r = run();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(lineCount(r.errors), 1) << r.errors;
    EXPECT_NE(r.errors.find("Assets not found"), std::string::npos) << r.errors;
}

TEST_F(Startup, MalformedNumberEndsWithOneLineNamingTheFile) {
    dir.makeDir("up/core");
    dir.write("up/src/config.txt", "TILE_SIZE=140\nGAME_SPEED=fast\n");
    const ProgramRun r = run();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(lineCount(r.errors), 1) << r.errors;
    EXPECT_NE(r.errors.find("../src/config.txt"), std::string::npos) << r.errors;
    EXPECT_NE(r.errors.find("stoi"), std::string::npos) << r.errors;
}

// The shipped content tree without the archive: only the folders are there to read.
TEST_F(Startup, OpensOnTheMainPageFromTheFoldersAndAQuitEndsTheLoop) {
    std::filesystem::copy(std::string(CORVALE_SOURCE_DIR) + "/core", dir.path / "core",
                          std::filesystem::copy_options::recursive);
    dir.write("src/config.txt", readWholeFile(std::string(CORVALE_SOURCE_DIR) + "/src/config.txt"));
    const WorkingDirectory inRoot(dir.path);
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(startUp("corvale"));
    EXPECT_EQ(gameState, GameState::Menus);
    EXPECT_EQ(mainMenu.current, MenuPage::MainPage);
    EXPECT_NE(mainMenuBackgroundTexture, nullptr) << "read through the mounted folder";
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    runTopLevelLoop();
    EXPECT_FALSE(running);
    shutDown();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

}  // namespace
