// The fixed order of a turn: whatever order the players' packets arrive in, their orders apply by ascending id.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game_commands_wire.h"
#include "network_manager.h"
#include "races.h"
#include "session_fixture.h"

namespace {

// Applies each order of a turn to the world as it comes; the tick is left out, so the world shows the orders alone.
class WorldApplier : public TurnRunner {
public:
    bool isPaused() const override { return false; }
    void apply(const Command& cmd) override { applyCommand(cmd, grid, 0, true); }
    void tick() override {}
    void playerLeft(int) override {}
};

// The two bases of "fight"; each player spawns a unit (the god mode's palette) and sends a worker to build on one
// and the same site, so whichever player goes first gets the lower id and the site.
struct TurnOrder : ShippedGame {
    void SetUp() override {
        ShippedGame::SetUp();
        ASSERT_TRUE(contentLoaded);
        GOD_MODE = true;
        basePath = std::string(CORVALE_SOURCE_DIR) + "/";
        buildWorld();
        const Player& first = *getPlayerById(1);
        const std::string farm = headless::supplyBuildingOf(first.race);
        site = findClosestFreeTile(first.baseTile, farm, grid, 4);
        ASSERT_NE(site.x, -1);
        for (int player : {1, 2}) orders.push_back(ordersOf(player));
    }

    void TearDown() override {
        GOD_MODE = false;
        ShippedGame::TearDown();
    }

    void buildWorld() {
        reset_game_state();
        headless::Script unused;
        ASSERT_TRUE(headless::startEconomy(unused));
    }

    std::vector<Command> ordersOf(int player) const {
        const std::string race = getPlayerById(player)->race;
        return {{CommandType::Spawn, player, SpawnCommand{workerTypeOfRace(race)}},
                {CommandType::PlaceBuildingDown, player,
                 PlaceBuildingDownCommand{headless::supplyBuildingOf(race), site.x, site.y,
                                          headless::unitsOf(player).back()}}};
    }

    // The world after the players' orders applied by hand, in the given order of players.
    uint64_t appliedByHand(std::initializer_list<int> playerOrder) {
        buildWorld();
        ::testing::internal::CaptureStderr();
        for (int player : playerOrder)
            for (const Command& cmd : orders[player - 1]) applyCommand(cmd, grid, 0, true);
        ::testing::internal::GetCapturedStderr();
        return worldChecksum();
    }

    static int ownerOfBuildingAt(V2i tile) {
        for (const Building& b : buildings)
            if (b.x == tile.x && b.y == tile.y) return b.playerId;
        return -1;
    }

    V2i site{-1, -1};
    std::vector<std::vector<Command>> orders;  // player 1's, then player 2's
};

TEST_F(TurnOrder, PacketsArrivingByDescendingIdApplyByAscendingId) {
    const uint64_t descending = appliedByHand({2, 1});
    ASSERT_EQ(ownerOfBuildingAt(site), 2) << "either player can take the site";
    const uint64_t ascending = appliedByHand({1, 2});
    ASSERT_EQ(ownerOfBuildingAt(site), 1) << "the first to order takes the site";
    ASSERT_NE(descending, ascending);

    buildWorld();
    const int firstNewId = nextAttackableId;
    NetworkManager observer, sender;
    auto [a, b] = makeMemoryLinkPair();
    observer.addConnection(std::move(a));
    sender.addConnection(std::move(b));
    sender.sendPacket(writeTurnPacket(Turn{0, 2, orders[1]}));
    sender.sendPacket(writeTurnPacket(Turn{0, 1, orders[0]}));
    LockstepManager manager;
    WorldApplier runner;
    ::testing::internal::CaptureStderr();
    manager.step(TURN_LENGTH, 0, 3, {1, 2}, observer, runner);
    ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(manager.receiveTurn, 1) << "the turn was applied";

    EXPECT_EQ(getUnitById(firstNewId)->playerId, 1) << "player 1's unit is spawned first";
    EXPECT_EQ(ownerOfBuildingAt(site), 1);
    EXPECT_EQ(worldChecksum(), ascending);
}

}  // namespace
