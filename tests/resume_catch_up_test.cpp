// A resumed save while it catches up: presses on its hidden menu, result dialog and map, and order keys, do nothing,
// so it goes live where the saved match stood; closing the window or the quit key still end the program.
#include <functional>
#include <string>
#include <vector>

#include "hud.h"
#include "lockstep.h"
#include "session_fixture.h"
#include "units.h"

namespace {

constexpr int TURNS = 200;

void push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }

void pushClick(float x, float y, Uint8 button = SDL_BUTTON_LEFT) {
    push(press(x, y, button));
    SDL_Event release = press(x, y, button);
    release.type = SDL_MOUSEBUTTONUP;
    push(release);
}

void pushKey(SDL_Keycode key) {
    push(keyEvent(key));
    push(keyEvent(key, SDL_KEYUP));
}

void selectOwnUnits() {
    for (const Unit& u : units)
        if (u.playerId == LOCAL_ID) addToSelection(u.id);
}

struct ResumeCatchUp : DrawnSessionTest {
    ChecksumsByTurn live;
    std::string saved;

    void SetUp() override {
        DrawnSessionTest::SetUp();
        live = playLiveMatch(TURNS);
        saved = readWholeFile(onlyFileIn(root.path / "replays"));
    }

    void TearDown() override {
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        victoryPlayerId = -1;
        game_over_modal.hide();
        running = true;
        DrawnSessionTest::TearDown();
    }

    // The save started again, its world still at turn 0 and showing only its progress.
    void resume() {
        std::filesystem::remove_all(root.path / "replays");
        root.write("saves/resume.bin", saved);
        load_game_filename = "resume.bin";
        mode = GameMode::ResumedSave;
        ASSERT_TRUE(startGame(true, true, "fight", false));
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
};

TEST_F(ResumeCatchUp, PressesAndOrderKeysDoNothingUntilTheSaveHasCaughtUp) {
    struct Case {
        const char* what;
        std::function<void()> input;
    };
    const Case cases[] = {
        {"the menu button, then End Scenario where the menu would be",
         [] {
             pushClick(60.0f, 15.0f);
             pushClick(gameMenu.rect.x + 125.0f, gameMenu.rect.y + 215.0f);
         }},
        {"Quit on the result of a match decided while catching up",
         [] {
             victoryPlayerId = LOCAL_ID;
             init_game_over();
             const SDL_FRect r = game_over_modal.rect;
             pushClick(r.x + 150.0f, r.y + 135.0f);
         }},
        {"a right press on the map with the own units chosen",
         [] {
             selectOwnUnits();
             pushClick(400.0f, 300.0f, SDL_BUTTON_RIGHT);
         }},
        {"the hold, stop and pause keys with the own units chosen",
         [] {
             selectOwnUnits();
             for (SDL_Keycode key : {SDLK_h, SDLK_s, SDLK_p}) pushKey(key);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(resume());
        c.input();
        ASSERT_FALSE(HasFatalFailure());
        game_loop();
        EXPECT_TRUE(lockstep.pendingCommands.empty());
        EXPECT_FALSE(pendingShutdown);
        EXPECT_FALSE(gameMenu.isVisible());
        runFrames(TURNS, 20.0, [] { return mode != GameMode::ResumedSave; });
        EXPECT_EQ(gameState, GameState::Match);
        EXPECT_EQ(mode, GameMode::Skirmish);
        EXPECT_TRUE(running);
        EXPECT_FALSE(paused);
        EXPECT_TRUE(lockstep.pendingCommands.empty());
        ASSERT_TRUE(live.count(lockstep.currentTurn));
        EXPECT_EQ(worldChecksum(), live.at(lockstep.currentTurn)) << "at turn " << lockstep.currentTurn;
        victoryPlayerId = -1;
        gameMenu.hide();
        if (gameState == GameState::Match) endSession();
    }
}

TEST_F(ResumeCatchUp, ClosingTheWindowOrTheQuitKeyStillEndsTheProgram) {
    SDL_Event close{};
    close.type = SDL_QUIT;
    for (const SDL_Event& quit : {close, keyEvent(SDLK_ESCAPE)}) {
        SCOPED_TRACE(quit.type);
        ASSERT_NO_FATAL_FAILURE(resume());
        push(quit);
        game_loop();
        EXPECT_FALSE(running);
        running = true;
        endSession();
    }
}

}  // namespace
