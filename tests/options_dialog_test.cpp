// The in-game Options dialog on a running match: its boxes show the settings as they stand.
#include <vector>

#include "hud.h"
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

}  // namespace
