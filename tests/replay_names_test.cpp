// Names of the files the game writes for replays and saves: created exclusively, with the next free suffix when
// the name is taken, so two writers never share one file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_files.h"
#include "utils.h"

namespace {

TEST(UniqueFile, TakenNamesGetTheNextFreeSuffixBeforeTheExtension) {
    struct Case {
        std::vector<std::string> taken;
        std::string wanted;
        std::string created;
    };
    const Case cases[] = {
        {{}, "replay_2026-12-07_04-10-18.bin", "replay_2026-12-07_04-10-18.bin"},
        {{"replay_2026-12-07_04-10-18.bin"}, "replay_2026-12-07_04-10-18.bin", "replay_2026-12-07_04-10-18_2.bin"},
        {{"a.bin", "a_2.bin"}, "a.bin", "a_3.bin"},
        {{"a.bin", "a_3.bin"}, "a.bin", "a_2.bin"},
        {{"save"}, "save", "save_2"},
        {{"b.bin"}, "a.bin", "a.bin"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        for (const std::string& name : c.taken) dir.write(name, "earlier");
        EXPECT_EQ(Utils::createUniqueFile(dir.path.string(), c.wanted), c.created) << c.wanted;
        EXPECT_EQ(readWholeFile(dir.path / c.created), "") << "created empty";
        for (const std::string& name : c.taken) EXPECT_EQ(readWholeFile(dir.path / name), "earlier") << name;
    }
}

TEST(UniqueFile, TheLastSuffixIsStillTakenAndPastItNothingIsCreated) {
    TempDir dir;
    dir.write("r.bin", "");
    for (int suffix = 2; suffix < Utils::MAX_UNIQUE_SUFFIX; ++suffix) dir.write("r_" + std::to_string(suffix) + ".bin", "");
    const std::string last = "r_" + std::to_string(Utils::MAX_UNIQUE_SUFFIX) + ".bin";
    EXPECT_EQ(Utils::createUniqueFile(dir.path.string(), "r.bin"), last);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Utils::createUniqueFile(dir.path.string(), "r.bin"), "");
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("r.bin"), std::string::npos) << "one line says so";
}

TEST(UniqueFile, AMissingFolderCreatesNothingAndSaysSo) {
    TempDir dir;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Utils::createUniqueFile((dir.path / "missing").string(), "a.bin"), "");
    EXPECT_FALSE(::testing::internal::GetCapturedStderr().empty());
}

}  // namespace
