// Players: construction defaults, lookup by id, the gold grant and the per-frame victory test.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "config.h"
#include "game_state.h"
#include "lockstep.h"
#include "player.h"

namespace {

using Announcements = std::vector<std::pair<std::string, int>>;

// Each announcement: the sound named and the winner recorded when it was made.
Announcements announcements;
void recordAnnouncement(const std::string& gameSound) { announcements.emplace_back(gameSound, victoryPlayerId); }

struct Match : ::testing::Test {
    void SetUp() override {
        DEBUG_MODE = false;
        mode = GameMode::Skirmish;
        players.clear();
        victoryPlayerId = -1;
        Player::myStaticId = 11;
        Player::aiId = 22;
        Player::environmentId = 33;
        announcements.clear();
        AnnounceMatchResult = recordAnnouncement;
    }
    void TearDown() override {
        players.clear();
        AnnounceMatchResult = nullptr;
        victoryPlayerId = -1;
        mode = GameMode::Skirmish;
    }

    static Player& add(int id, bool isAI, std::vector<int> buildingIds) {
        players.push_back(std::make_unique<Player>(id, "p", "human", isAI));
        players.back()->buildingIds = std::move(buildingIds);
        return *players.back();
    }
};

TEST_F(Match, NewPlayerStartsWithDefaultsOrDebugFunds) {
    Player plain(1, "Joes", "human", false);
    EXPECT_EQ(plain.resources[RESOURCE_WOOD], 0);
    EXPECT_EQ(plain.resources[RESOURCE_GOLD], 0);
    EXPECT_EQ(plain.supplyCap, 3);
    EXPECT_EQ(plain.recruits, 0);
    EXPECT_TRUE(plain.spawnsBase);
    EXPECT_EQ(plain.baseTile, (V2i{-1, -1}));
    EXPECT_EQ(plain.ai, nullptr);

    DEBUG_MODE = true;
    Player rich(2, "Rich", "orc", true);
    EXPECT_EQ(rich.resources[RESOURCE_WOOD], 1000000);
    EXPECT_EQ(rich.resources[RESOURCE_GOLD], 1000000);
    EXPECT_EQ(rich.resources[0], 0);
}

TEST_F(Match, LookupTakesTheFirstPlayerOfAnIdAndGoldGrantsIgnoreUnknownIds) {
    Player& first = add(5, false, {});
    add(5, false, {});
    EXPECT_EQ(getPlayerById(5), &first);
    EXPECT_EQ(getPlayerById(6), nullptr);

    addPlayerGold(5, 250);
    addPlayerGold(6, 999);
    EXPECT_EQ(first.resources[RESOURCE_GOLD], 250);
    EXPECT_EQ(players[1]->resources[RESOURCE_GOLD], 0);
}

TEST_F(Match, ComputerLosingItsLastBuildingIsDecidedOnce) {
    add(11, false, {1});
    Player& computer = add(22, true, {2});
    checkVictoryPlayer();
    EXPECT_EQ(victoryPlayerId, -1);

    computer.buildingIds.clear();
    checkVictoryPlayer();
    EXPECT_EQ(victoryPlayerId, 11);
    checkVictoryPlayer();
    EXPECT_EQ(announcements, (Announcements{{"Victory", 11}}));
}

TEST_F(Match, BothSidesLosingTogetherEndsWithTheLocalPlayerAsWinner) {
    add(11, false, {});
    add(22, true, {});
    checkVictoryPlayer();
    EXPECT_EQ(announcements, (Announcements{{"Defeat", 22}, {"Victory", 11}}));
    EXPECT_EQ(victoryPlayerId, 11);
}

TEST_F(Match, ExtractionAndEditorNeverDecide) {
    add(11, false, {});
    add(22, true, {});
    for (GameMode m : {GameMode::Extraction, GameMode::MapEditor}) {
        mode = m;
        checkVictoryPlayer();
        EXPECT_EQ(victoryPlayerId, -1);
    }
    EXPECT_TRUE(announcements.empty());
}

TEST_F(Match, WithoutAComputerPlayerTheLastSideStandingWinsAndALeftPeerCountsAsDefeated) {
    struct Seat {
        int id;
        std::vector<int> buildings;
        bool left;
    };
    struct Case {
        const char* what;
        std::vector<Seat> seats;
        Announcements expected;
    };
    const Case cases[] = {
        {"the other human still holds a building", {{11, {1}, false}, {44, {2}, false}}, {}},
        {"the other human lost its last building", {{11, {1}, false}, {44, {}, false}}, {{"Victory", 11}}},
        {"the other human left", {{11, {1}, false}, {44, {2}, true}}, {{"Victory", 11}}},
        {"one of two others still stands", {{11, {1}, false}, {44, {}, false}, {55, {3}, false}}, {}},
        {"both others are out", {{11, {1}, false}, {44, {}, false}, {55, {3}, true}}, {{"Victory", 11}}},
        {"the local player lost its last building", {{11, {}, false}, {44, {2}, false}}, {{"Defeat", 44}}},
        {"everybody lost at once", {{11, {}, false}, {44, {}, false}}, {{"Defeat", 33}}},
        {"nobody to play against", {{11, {1}, false}, {33, {}, false}}, {}},
    };
    for (const Case& c : cases) {
        players.clear();
        lockstep.leftPlayers.clear();
        victoryPlayerId = -1;
        announcements.clear();
        for (const Seat& seat : c.seats) {
            add(seat.id, false, seat.buildings);
            if (seat.left) lockstep.leftPlayers.insert(seat.id);
        }
        checkVictoryPlayer();
        checkVictoryPlayer();
        EXPECT_EQ(announcements, c.expected) << c.what;
    }
    lockstep.leftPlayers.clear();
}

// Every side fights every other: the computer's fall ends the match only for the last human standing.
TEST_F(Match, BesideAnotherHumanTheComputersFallDecidesNothingUntilTheLastSideStands) {
    struct Case {
        const char* what;
        std::vector<int> localBuildings, humanBuildings, computerBuildings;
        bool humanLeft;
        Announcements expected;
    };
    const Case cases[] = {
        {"all three stand", {1}, {2}, {3}, false, {}},
        {"only the computer fell", {1}, {2}, {}, false, {}},
        {"only the other human fell", {1}, {}, {3}, false, {}},
        {"the computer fell and the other human left", {1}, {2}, {}, true, {{"Victory", 11}}},
        {"both others fell on the same frame", {1}, {}, {}, false, {{"Victory", 11}}},
        {"the local player fell first", {}, {2}, {3}, false, {{"Defeat", 44}}},
        {"the local player fell with the computer", {}, {2}, {}, false, {{"Defeat", 44}}},
        {"the local player fell beside the standing computer", {}, {}, {3}, false, {{"Defeat", 22}}},
    };
    for (const Case& c : cases) {
        players.clear();
        lockstep.leftPlayers.clear();
        victoryPlayerId = -1;
        announcements.clear();
        add(11, false, c.localBuildings);
        add(44, false, c.humanBuildings);
        add(22, true, c.computerBuildings);
        if (c.humanLeft) lockstep.leftPlayers.insert(44);
        checkVictoryPlayer();
        checkVictoryPlayer();
        EXPECT_EQ(announcements, c.expected) << c.what;
    }
    lockstep.leftPlayers.clear();
}

TEST_F(Match, WithoutALocalPlayerTheComputerDefeatStillEndsTheMatch) {
    add(44, false, {3});
    add(22, true, {});
    checkVictoryPlayer();
    EXPECT_EQ(victoryPlayerId, Player::myStaticId);
}

}  // namespace
