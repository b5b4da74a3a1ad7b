// A recorded or saved match replays or resumes with the mods setting it was played with, whatever the viewer's own.
#include <filesystem>
#include <fstream>
#include <map>

#include "../tools/headless_replay.h"
#include "game_replay.h"
#include "hud.h"
#include "mod_manager.h"
#include "session_fixture.h"

namespace {

using ModRecordedMatch = SessionTest;

// Past the shipped script's first wave, so the script has changed the world.
constexpr int TURNS = 700;

TEST_F(ModRecordedMatch, ReplayPlaysWithTheRecordedSettingAndGivesTheViewersBack) {
    std::map<bool, uint64_t> ends;
    // The script's waves are the rival's.
    Player::aiId = OTHER_ID;
    for (const bool recorded : {true, false}) {
        MODS = recorded;
        ::testing::internal::CaptureStderr();
        const ChecksumsByTurn live = playLiveMatch(TURNS);
        MODS = !recorded;
        std::ifstream log(onlyFileIn(root.path / "replays"), std::ios::binary);
        ASSERT_TRUE(loadReplay(log));
        mode = GameMode::Replay;
        ASSERT_TRUE(startGame(true, false, MAP_FILE, true));
        EXPECT_EQ(modManager.L != nullptr, recorded);
        jump_to_turn(TURNS);
        ::testing::internal::GetCapturedStderr();
        ASSERT_TRUE(live.count(TURNS));
        EXPECT_EQ(worldChecksum(), live.at(TURNS)) << "recorded with mods " << recorded;
        ends[recorded] = live.at(TURNS);
        endSession();
        EXPECT_EQ(MODS, !recorded);
        std::filesystem::remove_all(root.path / "replays");
    }
    EXPECT_NE(ends[true], ends[false]) << "the script's waves changed the world";
}

// The runner replays a log recorded with mods as the window does: the script runs from the start, and a seek back
// starts it again with the rebuilt world.
TEST_F(ModRecordedMatch, RunnerReplaysALogRecordedWithModsAsItWasPlayedBeforeAndAfterASeekBack) {
    Player::aiId = OTHER_ID;
    MODS = true;
    ::testing::internal::CaptureStderr();
    const ChecksumsByTurn live = playLiveMatch(TURNS);
    MODS = false;
    std::ifstream log(onlyFileIn(root.path / "replays"), std::ios::binary);
    reset_game_state();
    ASSERT_TRUE(headless::startReplay(log));
    fast_forward_to_turn(TURNS);
    const uint64_t played = worldChecksum();
    jump_to_turn(TURNS / 2);
    jump_to_turn(TURNS);
    ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(live.count(TURNS));
    EXPECT_EQ(played, live.at(TURNS));
    EXPECT_EQ(worldChecksum(), live.at(TURNS)) << "after a seek back";
}

// The save is made on the last turn; the resumed match catches up to it with the saved setting.
TEST_F(ModRecordedMatch, SaveResumesWithTheSavedSettingAndGivesTheLoadersBack) {
    Player::aiId = OTHER_ID;
    for (const bool saved : {true, false}) {
        MODS = saved;
        ::testing::internal::CaptureStderr();
        seatPlayers();
        mode = GameMode::Skirmish;
        ASSERT_TRUE(startGame(true, true, "fight", false));
        runFrames(TURNS * 2, 20.0, [] { return lockstep.currentTurn >= TURNS; });
        const int savedTurn = lockstep.currentTurn;
        const uint64_t savedWorld = worldChecksum();
        ASSERT_TRUE(saveGameAs("match"));
        endSession();
        MODS = !saved;
        load_game_filename = "match.bin";
        mode = GameMode::ResumedSave;
        ASSERT_TRUE(startGame(true, true, "", false));
        EXPECT_EQ(modManager.L != nullptr, saved);
        runFrames(100000, 20.0, [] { return mode != GameMode::ResumedSave; });
        ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(lockstep.currentTurn, savedTurn);
        EXPECT_EQ(worldChecksum(), savedWorld) << "saved with mods " << saved;
        endSession();
        EXPECT_EQ(MODS, !saved);
        std::filesystem::remove_all(root.path / "saves");
        std::filesystem::remove_all(root.path / "replays");
    }
}

}  // namespace
