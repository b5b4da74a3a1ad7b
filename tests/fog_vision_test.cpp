// Fog of war: what the local player's units see, the ridge rule, the turns that take the sight and the remembered
// buildings.
#include <gtest/gtest.h>

#include <functional>

#include "config.h"
#include "fog.h"
#include "game.h"
#include "lockstep.h"
#include "static_world_fixture.h"

namespace {

struct FogWorld : StaticWorld {
    void SetUp() override {
        StaticWorld::SetUp();
        addOwners(1, 2, 3);
        FOG = true;
        initVisionGrid(MAP_W, MAP_H);
        ghostBuildings.clear();
        ghostObjects.clear();
    }
    void TearDown() override {
        FOG = false;
        TakeSight = noopSight;
        lockstep = LockstepManager{};
        StaticWorld::TearDown();
    }
    static Unit& scout(int owner, V2i tile, int sight) {
        Unit u;
        u.id = nextAttackableId++;
        u.playerId = owner;
        u.x = (tile.x + 0.5f) * TILE_SIZE;
        u.y = (tile.y + 0.5f) * TILE_SIZE;
        u.sight = sight;
        return addUnit(u);
    }
    static int seenCount() {
        int n = 0;
        for (int x = 0; x < MAP_W; ++x)
            for (int y = 0; y < MAP_H; ++y) n += isTileVisible(x, y);
        return n;
    }
};

TEST_F(FogWorld, SightZeroStillSeesTheThirteenCellsAround) {
    scout(1, {10, 10}, 0);
    scout(2, {3, 3}, 5);  // the enemy's sight reveals nothing to us
    takeSight();
    EXPECT_EQ(seenCount(), 13);
    EXPECT_TRUE(isTileVisible(12, 10));
    EXPECT_FALSE(isTileVisible(3, 3));
    EXPECT_FALSE(isTileVisible(-1, 0));
}

TEST_F(FogWorld, RidgeIsSeenFromBelowOnlyRightBesideIt) {
    for (int y = 0; y < MAP_H; ++y)
        for (int x = 11; x < MAP_W; ++x) grid.at(x, y).heightLevel = 1;
    Unit& below = scout(1, {10, 10}, 4);
    takeSight();
    EXPECT_TRUE(isTileVisible(11, 10));
    EXPECT_FALSE(isTileVisible(12, 10));
    EXPECT_TRUE(isTileVisible(6, 10));
    below.x = 14.5f * TILE_SIZE;  // now on the ridge
    takeSight();
    EXPECT_TRUE(isTileVisible(10, 10));
    EXPECT_TRUE(isTileExplored(6, 10));
    EXPECT_FALSE(isTileVisible(6, 10));
}

// The sight follows the turns, drawn or not: a unit that moved is seen where it went once the next even turn is done.
TEST_F(FogWorld, SightIsTakenAfterEverySecondTurn) {
    TakeSight = takeSight;
    lockstep.currentTurn = 0;
    Unit& u = scout(1, {5, 5}, 2);
    takeSight();
    u.x = 15.5f * TILE_SIZE;
    advanceOneTurn(grid);
    EXPECT_TRUE(isTileVisible(5, 5)) << "turn " << lockstep.currentTurn;
    advanceOneTurn(grid);
    EXPECT_FALSE(isTileVisible(5, 5)) << "turn " << lockstep.currentTurn;
    EXPECT_TRUE(isTileVisible(15, 5));
    EXPECT_TRUE(isTileExplored(5, 5));
}

// A building destroyed or an object used up while its tile is under the fog keeps its ghost until the tile is seen
// again.
TEST_F(FogWorld, WhatWentUnderTheFogIsRememberedUntilSeenAgain) {
    const int farm = placeBuilding("Farm", 2, 12, 12, 2, 2);
    MapObject tree;
    tree.id = 77;
    tree.type = "Tree";
    tree.tileX = 14;
    tree.tileY = 11;
    mapObjects.push_back(tree);
    const struct {
        const char* what;
        std::function<std::size_t()> remembered;
    } rows[] = {
        {"the farm", [] { return ghostBuildings.count({12, 12}); }},
        {"the tree", [] { return ghostObjects.count({14, 11}); }},
    };
    Unit& u = scout(1, {11, 11}, 3);
    takeSight();
    for (const auto& row : rows) ASSERT_EQ(row.remembered(), 1u) << row.what;
    u.x = u.y = 2.5f * TILE_SIZE;
    takeSight();
    buildingsToRemove.push_back(farm);
    processBuildingRemovals(grid);
    mapObjects.clear();
    takeSight();
    for (const auto& row : rows) EXPECT_EQ(row.remembered(), 1u) << row.what << " under the fog";
    u.x = u.y = 11.5f * TILE_SIZE;
    takeSight();
    for (const auto& row : rows) EXPECT_EQ(row.remembered(), 0u) << row.what << " seen gone";
}

// An object seen in the middle of its idle animation, which only drawn frames play, is remembered at rest, as a
// catch-up that draws nothing remembers it.
TEST_F(FogWorld, AnObjectIsRememberedAtItsFirstFrameWhateverFrameItShowed) {
    MapObject tree;
    tree.id = 78;
    tree.type = "Tree";
    tree.tileX = tree.tileY = 12;
    tree.sprite.src = {0, 2 * 64, 64, 64};
    mapObjects.push_back(tree);
    scout(1, {11, 11}, 3);
    takeSight();
    ASSERT_EQ(ghostObjects.count({12, 12}), 1u);
    const SDL_Rect src = ghostObjects.at({12, 12}).sprite.src;
    EXPECT_EQ(src.y, 0);
    EXPECT_EQ(src.h, 64);
}

TEST_F(FogWorld, FogOffLeavesTheGridsAlone) {
    scout(1, {5, 5}, 2);
    takeSight();
    FOG = false;
    resetFogOfWar(MAP_W, MAP_H);
    takeSight();
    EXPECT_TRUE(isTileVisible(5, 5));
}

}  // namespace
