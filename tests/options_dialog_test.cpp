// The in-game Options dialog on a running match: its boxes show the settings as they stand and switch them.
#include <vector>

#include "hud.h"
#include "sdl_draw.h"
#include "sdl_events.h"
#include "session_fixture.h"
#include "sounds.h"
#include "ui/checkbox.h"

namespace {

using OptionsDialog = DrawnSessionTest;

// The dialog's boxes in order: fullscreen, music, sound effects.
std::vector<Checkbox*> boxes() {
    std::vector<Checkbox*> found;
    for (const auto& child : gameMenu.children)
        if (auto* b = dynamic_cast<Checkbox*>(child.get())) found.push_back(b);
    return found;
}

// The music box says whether music is on, whatever track is or is not loaded (none after a silent start, and the
// last one stays loaded while music is off), so a press on it does what it shows.
TEST_F(OptionsDialog, TheMusicBoxShowsWhetherMusicIsOnAndAPressSwitchesIt) {
    seatPlayers();
    mode = GameMode::Skirmish;
    ASSERT_TRUE(startGame(true, true, "fight", false));
    const bool kept = musicActive;
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on ? "music on" : "music off");
        musicActive = on;
        ingame_menu::showOptions();
        ASSERT_EQ(boxes().size(), 3u);
        EXPECT_EQ(boxes()[1]->checked, on);
        gameMenu.handleEvent(pressOn(boxes()[1]->box));
        EXPECT_EQ(musicActive, !on);
        ingame_menu::showOptions();
        EXPECT_EQ(boxes()[1]->checked, !on) << "shown again as it now is";
    }
    musicActive = kept;
}

// The fullscreen box takes the window to fullscreen and back to its own size, and the menu stays inside the window
// at each step.
TEST_F(OptionsDialog, TheFullscreenBoxSwitchesTheWindowAndBack) {
    seatPlayers();
    mode = GameMode::Skirmish;
    ASSERT_TRUE(startGame(true, true, "fight", false));
    const bool kept = isFullscreen;
    isFullscreen = false;
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    for (const bool fullscreen : {true, false}) {
        SCOPED_TRACE(fullscreen ? "to fullscreen" : "back");
        ingame_menu::showOptions();
        EXPECT_EQ(boxes()[0]->checked, !fullscreen);
        gameMenu.handleEvent(pressOn(boxes()[0]->box));
        EXPECT_EQ(isFullscreen, fullscreen);
        EXPECT_EQ((SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP,
                  fullscreen);
        game_loop();
        const SDL_FPoint size = windowSize();
        EXPECT_GE(gameMenu.rect.x, 0.0f);
        EXPECT_LE(gameMenu.rect.x + gameMenu.rect.w, size.x);
    }
    int afterW = 0, afterH = 0;
    SDL_GetWindowSize(window, &afterW, &afterH);
    EXPECT_EQ(afterW, w);
    EXPECT_EQ(afterH, h);
    isFullscreen = kept;
}

}  // namespace
