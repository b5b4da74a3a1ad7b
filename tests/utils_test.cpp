// The asset-root probe, JSON file loading and the names and listings of files the game writes and reads.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "game_state.h"
#include "test_files.h"
#include "utils.h"

namespace {

// The working directory is <tmp>/up/work, so the probes of ".." look only into <tmp>/up.
TEST(AssetRoot, FirstProbeThatHitsDecidesAndNoHitThrows) {
    const struct {
        std::vector<const char*> files;
        const char* root;
    } cases[] = {
        {{"up/work/core/"}, "./"},
        {{"up/core/tiles/"}, "../"},
        {{"up/work/assets.cvl", "up/core/tiles/dash.png"}, "./"},
        {{}, "Engine Error: Assets not found! Checked local dev folders and bundle Resources."},
    };
    for (const auto& c : cases) {
        TempDir dir;
        for (const char* file : c.files)
            std::string(file).back() == '/' ? (void)dir.makeDir(file) : (void)dir.write(file, "x");
        WorkingDirectory cwd(dir.makeDir("up/work"));
        try {
            EXPECT_EQ(findAssetPath(), c.root);
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), c.root);
        }
    }
}

struct JsonFile : ::testing::Test {
    TempDir dir;
    std::string errors;
    nlohmann::json load(const std::string& text) {
        const std::string path = dir.write("f.json", text);
        testing::internal::CaptureStderr();
        nlohmann::json doc = Utils::loadJsonFile(path);
        errors = testing::internal::GetCapturedStderr();
        return doc;
    }
};

TEST_F(JsonFile, TrailingTextAfterTheFirstValueIsNotExamined) {
    const nlohmann::json doc = load("{\"a\": 1} garbage");
    EXPECT_EQ(doc.value("a", 0), 1);
    EXPECT_EQ(errors, "");
}

TEST_F(JsonFile, EmptyFilesGiveOneLineAndNullButOtherTextThrows) {
    EXPECT_TRUE(load(" \n").is_null());
    EXPECT_EQ(errors.rfind("[JSON ERROR] Failed to parse ", 0), 0u);
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1);
    for (const char* text : {"// note\n{}", "\x93\x07", "{\"a\": "})
        EXPECT_THROW(Utils::loadJsonFile(dir.write("bad.json", text)), std::runtime_error) << text;
    EXPECT_THROW(Utils::loadJsonFile(dir.path.string()), std::runtime_error) << "a folder in the file's place";
}

TEST_F(JsonFile, MissingFileGivesTheOpenLine) {
    testing::internal::CaptureStderr();
    EXPECT_TRUE(Utils::loadJsonFile("/nonexistent/x.json").is_null());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[JSON ERROR] Failed to open file: /nonexistent/x.json\n");
}

TEST(FileNames, SanitisingKeepsLowerCaseLettersDigitsAndUnderscore) {
    EXPECT_EQ(Utils::sanitizeFilename("My Camp-1!"), "mycamp1.bin");
    EXPECT_EQ(Utils::sanitizeFilename("Save_02"), "save_02.bin");
    EXPECT_EQ(Utils::sanitizeFilename("../../etc/passwd"), "etcpasswd.bin");
    EXPECT_EQ(Utils::sanitizeFilename("\xC3\x89lan"), "lan.bin");
    EXPECT_EQ(Utils::sanitizeFilename("\xFF\x80z"), "z.bin");
}

TEST(FileNames, SanitisingToNothingGivesUntitledWithoutExtension) {
    EXPECT_EQ(Utils::sanitizeFilename("!!!"), "untitled_campaign");
    EXPECT_EQ(Utils::sanitizeFilename("  . ,;"), "untitled_campaign");
    EXPECT_EQ(Utils::sanitizeFilename(""), "untitled_campaign");
}

TEST(FileNames, PlainNamesStayInsideTheirFolder) {
    EXPECT_TRUE(Utils::isPlainFileName("fight.map"));
    EXPECT_TRUE(Utils::isPlainFileName("my map v2"));
    for (const std::string name : {"", ".", "..", "../x", "a/b", "/abs", "a\\b", "x..map"})
        EXPECT_FALSE(Utils::isPlainFileName(name)) << name;
    EXPECT_FALSE(Utils::isPlainFileName(std::string("a\0b", 3)));
}

TEST(FileNames, ReplayNameFollowsTheLocalClock) {
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(Utils::make_replay_filename(1772546709), "replay_2026-03-03_14-05-09.bin");
    setenv("TZ", "UTC-2", 1);  // POSIX sign: two hours east of UTC
    tzset();
    EXPECT_EQ(Utils::make_replay_filename(1772546709), "replay_2026-03-03_16-05-09.bin");
    unsetenv("TZ");
    tzset();
    EXPECT_TRUE(std::regex_match(Utils::make_replay_filename(),
                                 std::regex(R"(replay_\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\.bin)")));
}

struct FileListings : ::testing::Test {
    TempDir dir;
    void SetUp() override { basePath = dir.path.string() + "/"; }
};

TEST_F(FileListings, ReplayListHoldsEveryRegularFileAndNoFolder) {
    dir.write("replays/replay_2026-03-03_14-05-09.bin", "{}\n");
    dir.write("replays/notes.txt", "x");
    dir.makeDir("replays/old");
    std::vector<std::string> files = Utils::get_replay_files((dir.path / "replays").string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"notes.txt", "replay_2026-03-03_14-05-09.bin"}));
}

TEST_F(FileListings, MissingOrFileReplayFolderIsReportedAsEmptyNotThrown) {
    const std::string folder = (dir.path / "replays").string();
    testing::internal::CaptureStderr();
    EXPECT_TRUE(Utils::get_replay_files(folder).empty());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Replay folder not found: " + folder + "\n");
    dir.write("replays", "x");
    testing::internal::CaptureStderr();
    EXPECT_TRUE(Utils::get_replay_files(folder).empty());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Error scanning replay folder: "), std::string::npos);
}

TEST_F(FileListings, MapListIsSortedByteWiseWithExactExtension) {
    for (const char* name : {"b.map", "A.map", "d.MAP", "c.map.bak", "e.mapx"})
        dir.write(std::string("maps/") + name, "G\n");
    dir.makeDir("maps/sub");
    dir.write("maps/sub/deep.map", "G\n");
    EXPECT_EQ(Utils::scanMapDirectory(), (std::vector<std::string>{"A", "b"}));
}

TEST_F(FileListings, NoMapsGiveTheTwoBuiltInNames) {
    const std::vector<std::string> builtIn{"fight", "murky_river"};
    EXPECT_EQ(Utils::scanMapDirectory(), builtIn);
    dir.makeDir("maps");
    EXPECT_EQ(Utils::scanMapDirectory(), builtIn);
    dir.write("maps/readme.txt", "x");
    EXPECT_EQ(Utils::scanMapDirectory(), builtIn);
}

}  // namespace
