// The program at start-up: finds the asset root, reads the configuration, and turns a fault into one line and exit 1.
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

TEST_F(Startup, ExitsZeroWithAssetRootAndConfiguration) {
    dir.makeDir("up/work/core");
    dir.write("up/work/src/config.txt", "TILE_SIZE=140\nSUBDIVISIONS=4\nMAP_FILE=fight\nGAME_SPEED=1\nFOG=true\n");
    const ProgramRun r = run();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.errors, "");
}

TEST_F(Startup, MissingConfigurationIsReportedAndStartupGoesOn) {
    dir.makeDir("up/core");
    const ProgramRun r = run();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.errors, "Config file not found, using defaults\n");
}

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

}  // namespace
