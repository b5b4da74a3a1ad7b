// The in-game Save dialog's name field on a running match: the keys typed into it stay with it.
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

}  // namespace
