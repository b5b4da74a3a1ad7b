// The result of a match between two humans, played frame by frame: the side whose rival has no building left
// gets the VICTORY dialog, and deciding it changes nothing in the world.
#include "buildings.h"
#include "draw_fixture.h"
#include "hud.h"
#include "hud_overlay.h"
#include "session_fixture.h"

namespace {

struct HumanMatch : DrawnSessionTest {
    static bool titled(const std::string& title) {
        for (const auto& child : game_over_modal.children)
            if (const auto* label = dynamic_cast<const Label*>(child.get()); label && label->text == title) return true;
        return false;
    }
};

TEST_F(HumanMatch, TheRivalLosingItsLastBuildingGivesTheVictoryDialogAndChangesNoWorldState) {
    seatPlayers();
    Player::aiId = 999;  // nobody: a match of two humans
    mode = GameMode::Skirmish;
    ASSERT_TRUE(startGame(true, true, "fight", false));
    runFrames(20, 20.0, [] { return false; });
    ASSERT_EQ(victoryPlayerId, -1) << "both still hold their bases";
    std::vector<int> rivalBuildings = getPlayerById(OTHER_ID)->buildingIds;
    ASSERT_FALSE(rivalBuildings.empty());
    // All but the last fall: the rival still stands.
    for (Building& b : buildings)
        if (b.playerId == OTHER_ID && b.id != rivalBuildings.back()) b.hp = 0.0f;
    runFrames(5, 20.0, [] { return false; });
    EXPECT_EQ(victoryPlayerId, -1) << "one building left";
    getBuildingById(rivalBuildings.back())->hp = 0.0f;
    runFrames(5, 20.0, [] { return getPlayerById(OTHER_ID)->buildingIds.empty(); });
    ASSERT_TRUE(getPlayerById(OTHER_ID)->buildingIds.empty());
    victoryPlayerId = -1;
    const uint64_t before = worldChecksum();
    checkVictoryPlayer();
    EXPECT_EQ(worldChecksum(), before);
    EXPECT_EQ(victoryPlayerId, LOCAL_ID);
    ASSERT_TRUE(game_over_modal.isVisible());
    EXPECT_TRUE(titled("VICTORY"));
    SDL_SetRenderDrawColor(renderer, 20, 40, 20, 255);
    SDL_RenderClear(renderer);
    drawDialogs();
    DrawFixture::saveScreenshot("victory_rival_lost_every_building");
    Player::aiId = 0;
}

}  // namespace
