// The programs at start-up: find the asset root, read the configuration and a replay, and turn a fault into one
// line and exit 1.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "test_files.h"

namespace {

struct ProgramRun {
    int exitCode = -1;
    std::string errors;
};

int lineCount(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

// The working directory is <tmp>/up/work; the asset root is put into it or into <tmp>/up.
struct Startup : ::testing::Test {
    TempDir dir;
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
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(lineCount(r.errors), 1) << r.errors;
        EXPECT_NE(r.errors.find(named), std::string::npos) << r.errors;
    }
};

TEST_F(Startup, ExitsZeroWithAssetRootAndTheShippedConfiguration) {
    dir.makeDir("up/work/core");
    dir.write("up/work/src/config.txt", shippedConfig);
    const ProgramRun r = run();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.errors, "");
}

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
    dir.makeDir("up/core");
    for (const auto& c : cases) {
        if (!c.text.empty()) dir.write("up/src/config.txt", c.text);
        SCOPED_TRACE(c.named);
        const ProgramRun game = run();
        expectOneLineAndExitOne(game, c.named);
        EXPECT_EQ(game.errors.rfind("corvale: ../src/config.txt: ", 0), 0u) << game.errors;
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

}  // namespace
