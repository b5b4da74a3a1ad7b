// The mod host across sessions: a start refused after the script began leaves nothing of it behind.
#include "mod_manager.h"
#include "session_fixture.h"

namespace {

using ModSession = SessionTest;

TEST_F(ModSession, StartRefusedAfterTheScriptBeganShutsItDown) {
    MODS = true;
    // The local player is not seated, so the map gives it no base and the mission start is refused.
    players.clear();
    headless::addPlayer(OTHER_ID, "Rival", "vohmathal", true);
    ::testing::internal::CaptureStderr();
    const bool started = start_extraction(true, true, "fight", false);
    const std::string said = ::testing::internal::GetCapturedStderr();
    MODS = false;
    selectModHooks(false);
    EXPECT_FALSE(started);
    EXPECT_NE(said.find("no base"), std::string::npos) << said;
    EXPECT_EQ(modManager.L, nullptr);
    EXPECT_TRUE(modManager.timers.empty());
    EXPECT_FALSE(combatHooks.unitDeathScript);
    EXPECT_FALSE(unitHooks.unitArriveScript);
    EXPECT_EQ(gameState, GameState::Menus);
}

}  // namespace
