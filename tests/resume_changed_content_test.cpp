// A saved game or replay met by content changed since it was recorded: without a race it was played with it is
// refused with one line and the player stays where they were; changed or removed types play on under today's rules.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "buildings.h"
#include "hud.h"
#include "lockstep.h"
#include "races.h"
#include "session_fixture.h"
#include "ui/list.h"
#include "ui/replays_page.h"
#include "units.h"

namespace {

constexpr int TURNS = 700;

// The race and everything of it gone from the catalogues, as when its folder is missing.
void dropRace(const std::string& race) {
    races.erase(race);
    for (auto it = unitInfo.begin(); it != unitInfo.end();) it = it->second.race == race ? unitInfo.erase(it) : ++it;
    for (auto it = buildingInfo.begin(); it != buildingInfo.end();)
        it = it->second.race == race ? buildingInfo.erase(it) : ++it;
}

// Whether every listed player still holds its base.
bool everySideHoldsABase() {
    for (const auto& p : players)
        if (p->buildingIds.empty()) return false;
    return !players.empty();
}

struct ChangedContent : DrawnSessionTest {
    std::filesystem::path log;

    void SetUp() override {
        DrawnSessionTest::SetUp();
        playLiveMatch(TURNS);
        log = onlyFileIn(root.path / "replays");
        root.write("saves/before.bin", readWholeFile(log));
    }

    void TearDown() override {
        victoryPlayerId = -1;
        closeMenus();
        DrawnSessionTest::TearDown();
    }

    // Presses Load in the in-game Load dialog with the save as the list's chosen row; what the error stream said.
    static std::string pressLoad(const std::string& save) {
        ingame_menu::showLoadGame();
        for (const auto& child : gameMenu.children)
            if (auto* list = dynamic_cast<List*>(child.get())) list->setItems({save});
        ::testing::internal::CaptureStderr();
        gameMenu.handleEvent(press(gameMenu.rect.x + 125.0f, gameMenu.rect.y + 255.0f));
        return ::testing::internal::GetCapturedStderr();
    }
};

TEST_F(ChangedContent, WithoutARaceItWasPlayedWithTheSaveAndTheReplayAreRefusedWithOneLine) {
    dropRace("vohmathal");
    const std::string because = "its race \"vohmathal\" is not among the races loaded";

    seatPlayers();
    players.pop_back();  // the rival's race is gone: the run's own player alone, against nobody
    mode = GameMode::Skirmish;
    ASSERT_TRUE(startGame(true, true, "fight", false));
    runFrames(10, 20.0, [] { return lockstep.currentTurn >= 5; });
    const std::string said = pressLoad("before.bin");
    EXPECT_EQ(said, "Cannot load the saved game \"before.bin\": " + because + "\n");
    EXPECT_NE(menuText().find("Not loaded: a race it was played with is missing"), std::string::npos) << menuText();
    EXPECT_FALSE(pendingShutdown);
    game_loop();
    EXPECT_EQ(gameState, GameState::Match);
    EXPECT_EQ(mode, GameMode::Skirmish);
    EXPECT_EQ(lockstep.currentTurn, 6);
    endSession();

    ReplaysPage page(&mainMenu);
    page.init();
    page.chosenReplay = log.filename().string();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(page.play());
    const std::string refused = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(refused.find("Cannot play the replay \"" + page.chosenReplay + "\": " + because + "\n"),
              std::string::npos)
        << refused;
    EXPECT_EQ(page.refusalLine, "This replay cannot be played.");
    EXPECT_EQ(gameState, GameState::Menus);
    EXPECT_EQ(Player::myStaticId, LOCAL_ID);
}

// A type's cost or hit points changed, or a type the match trained or built removed: the save resumes, its
// orders for what is gone are refused, and the match goes on with both sides.
TEST_F(ChangedContent, ChangedOrRemovedTypesResumeAndPlayOnUnderTodaysRules) {
    const std::string worker = workerTypeOfRace("human");
    const std::string supply = headless::supplyBuildingOf("human");
    const struct {
        const char* what;
        std::function<void()> change;
    } cases[] = {
        {"a dearer worker", [&] { unitInfo[worker].goldCost = 100000; }},
        {"a frailer worker", [&] { unitInfo[worker].hp = 1; }},
        {"no such worker", [&] { unitInfo.erase(worker); }},
        {"no such supply building", [&] { buildingInfo.erase(supply); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ::testing::internal::CaptureStderr();
        headless::loadContent(std::string(CORVALE_SOURCE_DIR) + "/core");
        ::testing::internal::GetCapturedStderr();
        c.change();
        seatPlayers();
        mode = GameMode::Skirmish;
        ASSERT_TRUE(startGame(true, true, "fight", false));
        pressLoad("before.bin");
        ASSERT_TRUE(pendingShutdown);
        game_loop();
        ASSERT_EQ(mode, GameMode::ResumedSave);
        ::testing::internal::CaptureStderr();
        runFrames(TURNS, 20.0, [] { return mode != GameMode::ResumedSave; });
        runFrames(50, 20.0, [] { return false; });
        ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(gameState, GameState::Match);
        EXPECT_EQ(mode, GameMode::Skirmish);
        EXPECT_GT(lockstep.currentTurn, TURNS);
        EXPECT_TRUE(everySideHoldsABase());
        EXPECT_EQ(victoryPlayerId, -1);
        endSession();
        std::filesystem::remove_all(root.path / "replays");
    }
}

}  // namespace
