// The shipped tower defence script over five minutes of play on the fight map.
#include "mod_world.h"

namespace {

struct ShippedTowerDefense : ModWorld {
    uint64_t checksum = 0;
    int goldEarned = 0;
    int marchersMoved = 0;

    void play() {
        ::testing::internal::CaptureStderr();
        EXPECT_TRUE(headless::startTowerDefense(true, basePath + MOD_FOLDER));
        const int startGold = getPlayerById(headless::DEFENDER_ID)->resources[RESOURCE_GOLD];
        for (int i = 0; i < headless::TOWER_DEFENSE_TICKS; ++i) advanceOneTurn(grid);
        EXPECT_EQ(::testing::internal::GetCapturedStderr().find("Lua error"), std::string::npos);
        checksum = worldChecksum();
        goldEarned = getPlayerById(headless::DEFENDER_ID)->resources[RESOURCE_GOLD] - startGold;
        // The waves appear on row 43.
        marchersMoved = static_cast<int>(std::count_if(units.begin(), units.end(), [](const Unit& u) {
            return u.playerId == headless::ATTACKER_ID && worldToTile(u.x, u.y).y != 43;
        }));
    }
};

TEST_F(ShippedTowerDefense, WavesMarchKillsPayGoldAndTheSameStartEndsAlike) {
    play();
    EXPECT_EQ(evaluate("wave"), "10");
    EXPECT_GT(std::stoi(evaluate("kills")), 0);
    EXPECT_GT(goldEarned, 0);
    EXPECT_GT(marchersMoved, 0);
    const uint64_t first = checksum;
    const int firstGold = goldEarned;
    headless::endTowerDefense();
    play();
    EXPECT_EQ(checksum, first);
    EXPECT_EQ(goldEarned, firstGold);
}

}  // namespace
