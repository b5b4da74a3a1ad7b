// The in-game Save dialog on a running match: the keys typed into its name field stay with it, and a match whose
// log is gone saves nothing.
#include <filesystem>
#include <string>

#include "hud.h"
#include "lockstep.h"
#include "sdl_events.h"
#include "session_fixture.h"

namespace {

using SaveDialog = DrawnSessionTest;

// Escape ends the program from the match, but not while it is a key for the save name being typed: the match the
// player is about to save would be lost with it.
TEST_F(SaveDialog, EscapeWhileTypingTheNameKeepsTheMatchRunning) {
    const struct {
        bool dialogOpen;
        bool keepsRunning;
    } cases[] = {{true, true}, {false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dialogOpen ? "typing a name" : "no dialog");
        seatPlayers();
        mode = GameMode::Skirmish;
        ASSERT_TRUE(startGame(true, true, "fight", false));
        runFrames(20, 20.0, [] { return lockstep.currentTurn >= 5; });
        if (c.dialogOpen) ingame_menu::showSaveGame();
        SDL_Event name = typed("fort");
        SDL_Event escape = keyEvent(SDLK_ESCAPE);
        ASSERT_EQ(SDL_PushEvent(&name), 1);
        ASSERT_EQ(SDL_PushEvent(&escape), 1);
        game_loop();
        EXPECT_EQ(running, c.keepsRunning);
        EXPECT_EQ(gameMenu.isVisible(), c.dialogOpen);
        running = true;
        endSession();
    }
}

// The live log gone from the replays folder under the match: the dialog says there is nothing to save and writes no
// file; an older save of that name stays.
TEST_F(SaveDialog, ALiveLogRemovedUnderTheMatchIsReportedAndSavesNothing) {
    seatPlayers();
    mode = GameMode::Skirmish;
    ASSERT_TRUE(startGame(true, true, "fight", false));
    runFrames(20, 20.0, [] { return lockstep.currentTurn >= 5; });
    root.write("saves/fort.bin", "older\n");
    std::filesystem::remove(onlyFileIn(root.path / "replays"));
    std::string why;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(saveGameAs("fort", &why));
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(why, "this match has no log to copy");
    EXPECT_NE(said.find("Error opening source file"), std::string::npos) << said;
    EXPECT_EQ(readWholeFile(root.path / "saves/fort.bin"), "older\n");
}

}  // namespace
