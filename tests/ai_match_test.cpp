// A whole Rush on the shipped fight map against an idle local player: every milestone in time, the same twice, and
// its command log replayed without the computer to the same world.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "ai_shipped_match.h"

namespace {

struct RushOnFightMap : ShippedComputerMatch {
    // Plays until the first local building falls or fifteen minutes pass; the ticks played.
    static int play(headless::ComputerMatch& match, const std::string& log) {
        reset_game_state();
        ::testing::internal::CaptureStderr();
        ::testing::internal::CaptureStdout();
        EXPECT_TRUE(match.start("fight", std::make_unique<RushAI>()));
        EXPECT_TRUE(log.empty() || headless::openCommandLog(log));
        const int ticks = match.play(headless::COMPUTER_MATCH_TICKS, true);
        ::testing::internal::GetCapturedStdout();
        ::testing::internal::GetCapturedStderr();
        closeCommandLog();
        return ticks;
    }

    TempDir dir;
};

TEST_F(RushOnFightMap, ReachesEveryMilestoneInOrderWithinFifteenMinutesTwiceAlikeAndItsLogReplaysAlike) {
    ASSERT_TRUE(contentLoaded);
    const std::string log = dir / "rush.log";
    headless::ComputerMatch first;
    const int ticks = play(first, log);
    EXPECT_EQ(first.strategy, "Rush");
    EXPECT_NE(first.reached.front(), -1) << "the first milestone was missed";
    EXPECT_TRUE(std::is_sorted(first.reached.begin(), first.reached.end())) << "a milestone came out of order";
    constexpr int TEN_GAME_MINUTES = 37500;
    EXPECT_NE(first.reached[headless::FirstAttackOrder], -1);
    EXPECT_LE(first.reached[headless::FirstAttackOrder], TEN_GAME_MINUTES) << "the Rush attacks the base in time";
    const uint64_t checksum = worldChecksum();

    headless::ComputerMatch second;
    EXPECT_EQ(play(second, ""), ticks);
    EXPECT_EQ(second.reached, first.reached);
    EXPECT_EQ(worldChecksum(), checksum);

    reset_game_state();
    mode = GameMode::Replay;
    std::ifstream in(log, std::ios::binary);
    ASSERT_TRUE(loadReplay(in));
    ASSERT_TRUE(headless::buildMapWorld(headless::mapPath(MAP_FILE)));
    ASSERT_EQ(getPlayerById(headless::ComputerMatch::COMPUTER)->ai, nullptr) << "the computer is switched off";
    ::testing::internal::CaptureStderr();
    for (int tick = 0; tick < ticks; ++tick) headless::runReplayTick(grid);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(worldChecksum(), checksum);
}

}  // namespace
