// The shipped tower defence script over five minutes of play on the fight map.
#include "mod_world.h"

namespace {

struct TowerDefenseRun {
    uint64_t checksum = 0;
    int gold = 0;
    double kills = 0;
    double waves = 0;
    int attackersAlive = 0;
    int attackersMoved = 0;
};

struct ShippedTowerDefense : ModWorld {
    TowerDefenseRun play() {
        ::testing::internal::CaptureStderr();
        EXPECT_TRUE(headless::startTowerDefense(true, basePath + MOD_FOLDER));
        const int startGold = getPlayerById(headless::DEFENDER_ID)->resources[RESOURCE_GOLD];
        for (int i = 0; i < headless::TOWER_DEFENSE_TICKS; ++i) advanceOneTurn(grid);
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.find("Lua error"), std::string::npos) << said;
        TowerDefenseRun run{worldChecksum(), getPlayerById(headless::DEFENDER_ID)->resources[RESOURCE_GOLD] - startGold,
                            number("kills"), number("wave")};
        for (const Unit& u : units) {
            if (u.playerId != headless::ATTACKER_ID) continue;
            ++run.attackersAlive;
            // The waves appear on row 43; a marcher that left it has walked.
            if (worldToTile(u.x, u.y).y != 43) ++run.attackersMoved;
        }
        headless::endTowerDefense();
        return run;
    }
};

TEST_F(ShippedTowerDefense, WavesMarchKillsPayGoldAndTheSameStartEndsAlike) {
    const TowerDefenseRun first = play();
    EXPECT_GE(first.waves, 9);
    EXPECT_GT(first.kills, 0);
    EXPECT_GT(first.gold, 0);
    EXPECT_GT(first.attackersMoved, 0);
    const TowerDefenseRun second = play();
    EXPECT_EQ(second.checksum, first.checksum);
    EXPECT_EQ(second.gold, first.gold);
}

}  // namespace
