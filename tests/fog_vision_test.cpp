// Fog of war: what the local player's units see, the ridge rule, the pacing and the remembered buildings.
#include <gtest/gtest.h>

#include "config.h"
#include "fog.h"
#include "static_world_fixture.h"

namespace {

uint32_t fakeNow = 1000;
uint32_t fakeTicks() { return fakeNow; }

struct FogWorld : StaticWorld {
    void SetUp() override {
        StaticWorld::SetUp();
        addOwners(1, 2, 3);
        FOG = true;
        fogTicks = fakeTicks;
        fakeNow += 1000;
        initVisionGrid(MAP_W, MAP_H);
        ghostBuildings.clear();
        ghostObjects.clear();
    }
    void TearDown() override {
        FOG = false;
        fogTicks = SDL_GetTicks;
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
    drawFog();
    EXPECT_EQ(seenCount(), 13);
    EXPECT_TRUE(isTileVisible(12, 10));
    EXPECT_FALSE(isTileVisible(3, 3));
    EXPECT_FALSE(isTileVisible(-1, 0));
}

TEST_F(FogWorld, RidgeIsSeenFromBelowOnlyRightBesideIt) {
    for (int y = 0; y < MAP_H; ++y)
        for (int x = 11; x < MAP_W; ++x) grid.at(x, y).heightLevel = 1;
    Unit& below = scout(1, {10, 10}, 4);
    drawFog();
    EXPECT_TRUE(isTileVisible(11, 10));
    EXPECT_FALSE(isTileVisible(12, 10));
    EXPECT_TRUE(isTileVisible(6, 10));
    below.x = 14.5f * TILE_SIZE;  // now on the ridge
    fakeNow += 30;
    drawFog();
    EXPECT_TRUE(isTileVisible(10, 10));
    EXPECT_TRUE(isTileExplored(6, 10));
    EXPECT_FALSE(isTileVisible(6, 10));
}

TEST_F(FogWorld, RecomputesAtMostEveryThirtyMilliseconds) {
    Unit& u = scout(1, {5, 5}, 2);
    drawFog();
    u.x = 15.5f * TILE_SIZE;
    fakeNow += 20;
    drawFog();
    EXPECT_TRUE(isTileVisible(5, 5));
    fakeNow += 10;
    drawFog();
    EXPECT_FALSE(isTileVisible(5, 5));
}

TEST_F(FogWorld, DestroyedBuildingKeepsItsGhostUntilSeenAgain) {
    const int id = placeBuilding("Farm", 2, 12, 12, 2, 2);
    Unit& u = scout(1, {11, 11}, 3);
    drawFog();
    ASSERT_EQ(ghostBuildings.count({12, 12}), 1u);
    u.x = 2.5f * TILE_SIZE;
    u.y = 2.5f * TILE_SIZE;
    fakeNow += 30;
    drawFog();
    buildingsToRemove.push_back(id);
    processBuildingRemovals(grid);
    fakeNow += 30;
    drawFog();
    EXPECT_EQ(ghostBuildings.count({12, 12}), 1u);
    u.x = u.y = 11.5f * TILE_SIZE;
    fakeNow += 30;
    drawFog();
    EXPECT_EQ(ghostBuildings.count({12, 12}), 0u);
}

TEST_F(FogWorld, FogOffLeavesTheGridsAlone) {
    scout(1, {5, 5}, 2);
    drawFog();
    FOG = false;
    resetFogOfWar(MAP_W, MAP_H);
    fakeNow += 30;
    drawFog();
    EXPECT_TRUE(isTileVisible(5, 5));
}

}  // namespace
