// The in-game menu on a live session: saving under a typed name, the save list, loading a save back to the same
// checksums, and the dialogs the menu buttons ask for.
#include "hud.h"
#include "lockstep.h"
#include "sdl_events.h"
#include "session_fixture.h"
#include "sounds.h"
#include "ui/list.h"
#include "ui/slider.h"

namespace {

// Presses the menu's column button at that offset below the menu's top.
void pressMenuButton(float offset) {
    gameMenu.handleEvent(press(gameMenu.rect.x + 125.0f, gameMenu.rect.y + offset + 15.0f));
}

struct InGameMenu : DrawnSessionTest {
    static constexpr int SAVED_AT = 120;
    // Put back for the tests that draw scenes from the shipped tree.
    const std::string keptBasePath = basePath;

    void TearDown() override {
        DrawnSessionTest::TearDown();
        basePath = keptBasePath;
        gameTime = 0.0f;
    }

    // A live skirmish played up to the turn, left running.
    ChecksumsByTurn playUntil(int turn) {
        seatPlayers();
        mode = GameMode::Skirmish;
        EXPECT_TRUE(startGame(true, true, "fight", false));
        menuButton.onClick();
        return runFrames(turn * 2, 20.0, [turn] { return lockstep.currentTurn >= turn; }, giveEconomyOrders);
    }
    std::string liveLog() const { return readWholeFile(onlyFileIn(root.path / "replays")); }
    // A save goes on past the live log's last order: a record without order names the last turn played.
    static std::string reachedRecord() {
        return "{\"data\":null,\"player\":" + std::to_string(LOCAL_ID) +
               ",\"tick\":" + std::to_string(lockstep.currentTurn - 1) + ",\"type\":16}\n";
    }
};

TEST_F(InGameMenu, SaveDialogWritesTheTypedNameAsTheLiveLogUpToTheTurnPlayed) {
    playUntil(SAVED_AT);
    pressMenuButton(40.0f);  // Save Game
    EXPECT_TRUE(pendingSaveGame);
    game_loop();
    ASSERT_TRUE(gameMenu.isVisible());
    for (const char* piece : {"my", " fort"}) gameMenu.handleEvent(typed(piece));
    pressMenuButton(240.0f);  // Save
    EXPECT_FALSE(gameMenu.isVisible());
    EXPECT_EQ(readWholeFile(root.path / "saves/my fort.bin"), liveLog() + reachedRecord());
    // An empty name saves as the default; a second save under a name replaces the first.
    ASSERT_TRUE(saveGameAs(""));
    runFrames(10, 20.0, [] { return false; });
    ASSERT_TRUE(saveGameAs(""));
    EXPECT_EQ(readWholeFile(root.path / "saves/default_replay.bin"), liveLog() + reachedRecord());
    EXPECT_FALSE(std::filesystem::exists(root.path / "saves/default_replay_2.bin"));
}

TEST_F(InGameMenu, RefusedOrFailedSavesKeepThePreviousFile) {
    playUntil(10);
    root.write("saves/keep.bin", "previous");
    // The temporary file beside the target cannot be made: the write fails and the old save stays.
    std::filesystem::create_directories(root.path / "saves/keep.bin.tmp");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(saveGameAs("keep"));
    for (const char* name : {"../outside", "a/b", ".."}) EXPECT_FALSE(saveGameAs(name)) << name;
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(readWholeFile(root.path / "saves/keep.bin"), "previous");
    EXPECT_FALSE(std::filesystem::exists(root.path / "outside.bin"));
}

TEST_F(InGameMenu, SaveListIsByteSortedAndSkipsFolders) {
    EXPECT_TRUE(listSaveFiles((root.path / "saves/").string()).empty());
    for (const char* name : {"saves/b.bin", "saves/B.bin", "saves/a.txt", "saves/extraction/camp.bin"})
        root.write(name, "x");
    std::filesystem::create_symlink(root.path / "saves/b.bin", root.path / "saves/link.bin");
    const std::vector<std::string> expected{"B.bin", "a.txt", "b.bin", "link.bin"};
    EXPECT_EQ(listSaveFiles((root.path / "saves/").string()), expected);
}

TEST_F(InGameMenu, LoadingASaveResumesTheMatchToTheSameChecksums) {
    const ChecksumsByTurn live = playUntil(SAVED_AT);
    ASSERT_TRUE(saveGameAs("mid"));
    root.write("saves/a_first.txt", "not a save");
    runFrames(40, 20.0, [] { return false; });
    pressMenuButton(80.0f);  // Load Game
    game_loop();
    List* list = nullptr;
    for (const auto& child : gameMenu.children)
        if (auto* l = dynamic_cast<List*>(child.get())) list = l;
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->items, (std::vector<std::string>{"a_first.txt", "mid.bin"}));
    list->selected = 1;
    pressMenuButton(240.0f);  // Load
    EXPECT_TRUE(pendingShutdown);
    game_loop();  // the match ends and the save starts in its place
    ASSERT_EQ(gameState, GameState::Match);
    EXPECT_EQ(mode, GameMode::ResumedSave);
    const ChecksumsByTurn resumed =
        runFrames(SAVED_AT * 3, 20.0, [] { return mode != GameMode::ResumedSave && lockstep.currentTurn >= SAVED_AT; });
    EXPECT_EQ(mode, GameMode::Skirmish);
    ASSERT_TRUE(resumed.count(SAVED_AT));
    for (const auto& [turn, sum] : resumed) {
        if (turn > SAVED_AT) continue;
        EXPECT_EQ(sum, live.at(turn)) << "turn " << turn;
    }
}

// A save or a load that is refused says why in its dialog, which stays open, and the match goes on. Afterwards the
// dialog's column is built anew for the next case.
TEST_F(InGameMenu, ARefusedSaveOrLoadSaysWhyInItsOpenDialog) {
    playUntil(2);
    struct Case {
        const char* what;
        float dialog;  // the menu button that opens it
        const char* typed;
        const char* said;
    };
    const Case cases[] = {
        {"a name leaving the saves folder", 40.0f, "../outside", "Not saved: "},
        {"a load with no saved game to choose", 80.0f, "", "Not loaded: "},
    };
    for (const Case& c : cases) {
        initGameMenu();
        gameMenu.show();
        pressMenuButton(c.dialog);
        game_loop();
        if (*c.typed) gameMenu.handleEvent(typed(c.typed));
        testing::internal::CaptureStderr();
        pressMenuButton(240.0f);  // Save or Load
        testing::internal::GetCapturedStderr();
        EXPECT_TRUE(gameMenu.isVisible()) << c.what;
        EXPECT_FALSE(pendingShutdown) << c.what;
        std::string shown;
        for (const auto& child : gameMenu.children)
            if (auto* l = dynamic_cast<Label*>(child.get())) shown += l->text + "|";
        EXPECT_NE(shown.find(c.said), std::string::npos) << c.what << ": " << shown;
        game_loop();
        EXPECT_EQ(gameState, GameState::Match) << c.what;
    }
    EXPECT_FALSE(std::filesystem::exists(root.path / "outside.bin"));
}

TEST_F(InGameMenu, OptionsSlidersSetTheMixerInWholePercents) {
    ASSERT_TRUE(openAudio());
    playUntil(2);
    pressMenuButton(240.0f);  // Options
    game_loop();
    std::vector<Slider*> sliders;  // music, then effects
    for (const auto& child : gameMenu.children)
        if (auto* s = dynamic_cast<Slider*>(child.get())) sliders.push_back(s);
    ASSERT_EQ(sliders.size(), 2u);
    struct Case {
        size_t slider;
        int percent;
        int mixer;
    };
    for (const Case c : {Case{0, 100, 128}, Case{0, 1, 1}, Case{0, 0, 0}, Case{1, 50, 64}, Case{1, 0, 0}}) {
        const Slider& s = *sliders[c.slider];
        const float lo = s.track.x + Slider::MARGIN;
        const float span = s.track.w - 2 * Slider::MARGIN;
        const float at = lo + span * std::min(c.percent + 0.5f, 100.0f) / 100.0f;
        gameMenu.handleEvent(press(at, s.track.y + 1.0f));
        EXPECT_EQ(c.slider == 0 ? Mix_VolumeMusic(-1) : Mix_Volume(-1, -1), c.mixer) << c.percent;
    }
    Mix_VolumeMusic(MIX_MAX_VOLUME);
    Mix_Volume(-1, MIX_MAX_VOLUME);
    closeAudio();
}

TEST_F(InGameMenu, DialogRequestsBuildTheirDialogsAndBackReturnsToTheMenu) {
    playUntil(2);
    struct Case {
        float offset;
        const char* shows;  // the title and what follows it
    };
    for (const Case c : {Case{40.0f, "SAVE GAME"}, Case{240.0f, "OPTIONS Fullscreen Game Music"},
                         Case{80.0f, "LOAD GAME"},
                         // The title wraps to the menu's width, a word a line.
                         Case{160.0f, "SCENARIO OBJECTIVES Destroy all enemy units and buildings. Back"}}) {
        pressMenuButton(c.offset);
        game_loop();
        ASSERT_TRUE(gameMenu.isVisible()) << c.shows;
        EXPECT_NE(menuText().find(c.shows), std::string::npos) << menuText();
        // Back is the last button of every dialog.
        Button* back = nullptr;
        for (const auto& child : gameMenu.children)
            if (auto* b = dynamic_cast<Button*>(child.get())) back = b;
        ASSERT_NE(back, nullptr);
        gameMenu.handleEvent(press(back->rect.x + 5.0f, back->rect.y + 5.0f));
        ASSERT_TRUE(gameMenu.isVisible());
        EXPECT_EQ(dynamic_cast<Button*>(gameMenu.children.front().get())->label, "Save Game");
    }
    pressMenuButton(200.0f);  // End Scenario
    game_loop();
    EXPECT_EQ(gameState, GameState::Menus);
    EXPECT_FALSE(gameMenu.isVisible());
}

}  // namespace
