// The program at start-up: a fault before the loop is one line and exit 1; otherwise the loop opens on the main
// page, from the folders when the archive is hidden, and a quit ends it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "draw_fixture.h"
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
    // The last line; the font that this bare asset root lacks was reported before.
    const std::string last = r.errors.substr(r.errors.rfind('\n', r.errors.size() - 2) + 1);
    EXPECT_NE(last.find("../src/config.txt"), std::string::npos) << r.errors;
    EXPECT_NE(last.find("stoi"), std::string::npos) << r.errors;
}

// The shipped content tree without the archive: only the folders are there to read.
TEST_F(Startup, OpensOnTheMainPageFromTheFoldersAndExitEndsTheLoop) {
    std::filesystem::copy(std::string(CORVALE_SOURCE_DIR) + "/core", dir.path / "core",
                          std::filesystem::copy_options::recursive);
    dir.write("src/config.txt", readWholeFile(std::string(CORVALE_SOURCE_DIR) + "/src/config.txt"));
    const WorkingDirectory inRoot(dir.path);
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(startUp("corvale"));
    EXPECT_EQ(mainMenu.current, MenuPage::MainPage);
    EXPECT_EQ(mainMenu.pages.size(), 16u);
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

}  // namespace
