// The asset-root probe, JSON file loading and the names and listings of files the game writes and reads.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
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

TEST(PeerText, IsCutAtItsLimitOnACharacterBoundaryWithControlsReplaced) {
    const struct {
        std::string received;
        size_t limit;
        std::string shown;
    } rows[] = {
        {"ashen_outpost", 13, "ashen_outpost"},
        {"ashen_outpost", 12, "ashen_outpos"},
        {std::string("a\nb\0c\x7f", 6), 32, "a?b?c?"},
        {"\xc3\xa9\xc3\xa9", 3, "\xc3\xa9"},  // the cut would fall inside the second character
        {"\xc3\xa9\xc3\xa9", 4, "\xc3\xa9\xc3\xa9"},
        {std::string(4 << 20, 'x'), 32, std::string(32, 'x')},
    };
    for (const auto& row : rows) EXPECT_EQ(Utils::shownText(row.received, row.limit), row.shown) << row.limit;
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

namespace {

// Every failure of a write through the temporary file, up to the file reaching the disk before the rename: the
// previous file stays, one line says what failed and why, and no temporary file of this write is left.
TEST(AtomicWrite, AFailedWriteKeepsThePreviousFileAndSaysWhy) {
    const struct {
        const char* name;
        std::function<void(const TempDir&)> prepare;
        std::string openFailure;
        std::string said;  // the line's start, after the folder
    } cases[] = {
        // A full disk: the temporary file is the device that is always full.
        {"full", [](const TempDir& d) { std::filesystem::create_symlink("/dev/full", d / "full.tmp"); }, "",
         "Failed to write saved game: " + std::string("F/full: No space left on device\n")},
        // A file that never reaches the disk: the device that takes every byte and cannot be synced.
        {"unsynced", [](const TempDir& d) { std::filesystem::create_symlink("/dev/null", d / "unsynced.tmp"); }, "",
         "Failed to write saved game: F/unsynced: Invalid argument\n"},
        {"ownline", [](const TempDir& d) { d.makeDir("ownline.tmp"); }, "Error opening destination file !",
         "Error opening destination file !\n"},
        {"general", [](const TempDir& d) { d.makeDir("general.tmp"); }, "",
         "Failed to write saved game: F/general: Is a directory\n"},
        {"taken", [](const TempDir& d) { d.write("taken/inside", "kept"); }, "",
         "Failed to replace saved game: F/taken: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        c.prepare(dir);
        if (std::string(c.name) != "taken") dir.write(c.name, "previous");
        const std::string path = dir / c.name;
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(Utils::writeFileAtomically(path, "new bytes", "saved game", c.openFailure));
        std::string said = ::testing::internal::GetCapturedStderr();
        const std::size_t folder = said.find(dir.str());
        if (folder != std::string::npos) said.replace(folder, dir.str().size(), "F");
        EXPECT_EQ(said.substr(0, c.said.size()), c.said);
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        if (std::string(c.name) == "taken")
            EXPECT_EQ(readWholeFile(dir.path / "taken/inside"), "kept");
        else
            EXPECT_EQ(readWholeFile(path), "previous");
        const bool madeByTheTest = std::string(c.name) == "ownline" || std::string(c.name) == "general";
        EXPECT_EQ(std::filesystem::exists(std::filesystem::symlink_status(path + ".tmp")), madeByTheTest)
            << "only a temporary file the write made itself is removed";
    }
}

TEST(AtomicWrite, ASuccessfulWriteReplacesTheFileAndLeavesNoTemporary) {
    TempDir dir;
    const std::string path = dir.write("save.bin", "previous");
    for (const std::string& bytes : {std::string(), std::string("one\nline\n"), std::string(100000, 'x')}) {
        EXPECT_TRUE(Utils::writeFileAtomically(path, bytes, "saved game"));
        EXPECT_EQ(readWholeFile(path), bytes);
        EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    }
}

// Once the new file holds the name the write has succeeded: a folder that cannot be synced after it is one line,
// never a failure that would make the caller undo what the file now holds.
TEST(AtomicWrite, AFolderThatCannotBeSyncedAfterTheRenameIsOneLineAndTheWriteStands) {
    TempDir dir;
    const std::string path = dir.write("save.bin", "previous");
    int (*const realSync)(int) = Utils::syncFolder;
    Utils::syncFolder = [](int) {
        errno = EIO;
        return -1;
    };
    ::testing::internal::CaptureStderr();
    const bool written = Utils::writeFileAtomically(path, "new bytes", "saved game");
    const std::string said = ::testing::internal::GetCapturedStderr();
    Utils::syncFolder = realSync;
    EXPECT_TRUE(written);
    EXPECT_EQ(readWholeFile(path), "new bytes");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    EXPECT_EQ(said, "Could not sync the folder of saved game: " + path + ": " + std::strerror(EIO) + "\n");
}

// Only temporary files, and only those no live writer can still own: last written LEFTOVER_AGE ago or earlier.
TEST(AtomicWrite, LeftoverTemporariesOfAKilledWriterAreRemoved) {
    TempDir dir;
    const auto now = std::filesystem::file_time_type::clock::now();
    const auto age = std::chrono::duration_cast<std::filesystem::file_time_type::duration>(Utils::LEFTOVER_AGE);
    const struct {
        const char* name;
        std::filesystem::file_time_type written;
        bool kept;
    } cases[] = {
        {"old.bin.tmp", now - age, false},
        {"older.map.tmp", now - age - std::chrono::hours(24), false},
        {"live.bin.tmp", now - age + std::chrono::nanoseconds(1000), true},
        {"old.bin", now - age, true},
        {"tmp", now - age, true},
        {".tmp", now - age, true},
        {"old.tmp.bin", now - age, true},
    };
    for (const auto& c : cases) {
        dir.write(c.name, "x");
        std::filesystem::last_write_time(dir.path / c.name, c.written);
    }
    dir.makeDir("folder.tmp");
    std::filesystem::last_write_time(dir.path / "folder.tmp", now - age);
    Utils::removeLeftoverTemporaries(dir.str() + "/", now);
    for (const auto& c : cases) EXPECT_EQ(std::filesystem::exists(dir.path / c.name), c.kept) << c.name;
    EXPECT_TRUE(std::filesystem::is_directory(dir.path / "folder.tmp"));
    Utils::removeLeftoverTemporaries(dir.str() + "/missing/", now);
}

}  // namespace
