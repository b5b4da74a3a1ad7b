// The in-game Load on a running match: a choice that cannot be resumed keeps the match and the dialog, with one
// line naming the save and the fault (its map among them); a usable save ends the match for the resume.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "hud.h"
#include "lockstep.h"
#include "sdl_events.h"
#include "session_fixture.h"
#include "ui/list.h"

namespace {

struct LoadDialog : SessionTest {
    const std::string keptBasePath = basePath;

    void TearDown() override {
        SessionTest::TearDown();
        basePath = keptBasePath;
        gameTime = 0.0f;
    }

    // A live skirmish a few turns in, with the Load dialog open.
    void openLoadDialog() {
        seatPlayers();
        mode = GameMode::Skirmish;
        ASSERT_TRUE(startGame(true, true, "fight", false));
        runFrames(20, 20.0, [] { return lockstep.currentTurn >= 5; });
        ingame_menu::showLoadGame();
    }

    // Presses Load with a list holding only that row, chosen, or no rows when the name is empty; what the error
    // stream said.
    static std::string pressLoadWith(const std::string& name) {
        List* list = nullptr;
        for (const auto& child : gameMenu.children)
            if (auto* l = dynamic_cast<List*>(child.get())) list = l;
        EXPECT_NE(list, nullptr);
        if (!list) return "";
        list->setItems(name.empty() ? std::vector<std::string>{} : std::vector<std::string>{name});
        ::testing::internal::CaptureStderr();
        gameMenu.handleEvent(press(gameMenu.rect.x + 125.0f, gameMenu.rect.y + 255.0f));
        return ::testing::internal::GetCapturedStderr();
    }
};

TEST_F(LoadDialog, AChoiceThatCannotResumeKeepsTheMatchAndTheDialog) {
    openLoadDialog();
    ASSERT_FALSE(HasFatalFailure());
    const std::string header = compactJson(commandLogHeader("fight"));
    root.write("saves/empty.bin", "");
    root.write("saves/text.txt", "not a save\n");
    root.write("saves/badmap.bin", R"({"MAP_FILE": "../fight"})" "\n");
    root.write("saves/twice.bin", R"({"players": [{"id": 3}, {"id": 3}]})" "\n");
    root.write("saves/nomap.bin", R"({"MAP_FILE": "nowhere"})" "\n");
    root.write("saves/numberprint.bin", R"({"MAP_FILE": "fight", "MAP_FINGERPRINT": 7})" "\n");
    root.write("saves/ruinedmap.bin", R"({"MAP_FILE": "ruined"})" "\n");
    root.write("maps/ruined.map", "# a map file with no terrain\n");
    // Saved on one map, which was then edited under the same name.
    const std::filesystem::path maps = std::filesystem::path(CORVALE_SOURCE_DIR) / "maps";
    std::filesystem::copy_file(maps / "fight.map", root.path / "maps/edited.map");
    root.write("saves/editedmap.bin", compactJson(commandLogHeader("edited")) + "\n");
    std::filesystem::copy_file(maps / "highlands.map", root.path / "maps/edited.map",
                               std::filesystem::copy_options::overwrite_existing);
    const struct {
        std::string name;
        const char* named;
    } cases[] = {
        {"", "no saved game is chosen"},
        {"gone.bin", "the file cannot be read"},
        {"../escape.bin", "the name leaves the saves folder"},
        {"empty.bin", "its header is unusable"},
        {"text.txt", "its header is unusable"},
        {"badmap.bin", "is not a plain file name"},
        {"twice.bin", "player id 3 is listed twice"},
        {"numberprint.bin", "\"MAP_FINGERPRINT\""},
        {"nomap.bin", "its map \"nowhere\" cannot be used: Failed to open map file"},
        {"ruinedmap.bin", "its map \"ruined\" cannot be used: Map file has no terrain section"},
        {"editedmap.bin", "its map \"edited\" has changed since the game was saved"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string said = pressLoadWith(c.name);
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_NE(said.find("Cannot load the saved game \"" + c.name + "\": "), std::string::npos) << said;
        EXPECT_NE(said.find(c.named), std::string::npos) << said;
        EXPECT_FALSE(pendingShutdown);
        EXPECT_TRUE(gameMenu.isVisible());
        game_loop();
        EXPECT_EQ(gameState, GameState::Match);
        EXPECT_EQ(mode, GameMode::Skirmish);
    }

    // The first usable save: a header alone is enough to resume from.
    root.write("saves/header.bin", header + "\n");
    EXPECT_EQ(pressLoadWith("header.bin").find("Cannot load"), std::string::npos);
    EXPECT_TRUE(pendingShutdown);
    EXPECT_FALSE(gameMenu.isVisible());
    game_loop();  // the match ends and the save starts in its place
    EXPECT_EQ(gameState, GameState::Match);
    EXPECT_EQ(mode, GameMode::ResumedSave);
}

}  // namespace
