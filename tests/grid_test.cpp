// The tile grid: bounds, the sentinel cell and walkability by movement class.
#include <gtest/gtest.h>

#include "config.h"
#include "map.h"

namespace {

struct GridFixture : ::testing::Test {
    Grid g;
    void SetUp() override {
        MAP_W = 4;
        MAP_H = 3;
        g.tiles.assign(12, TileInstance{Tile::Grass, 0, 0, 1, 0, {}});
        g.at(1, 1).type = Tile::Water;
        g.at(1, 1).walkable = 0;
    }
};

TEST_F(GridFixture, OffMapCellsAreRejectedEvenForAnyClass) {
    EXPECT_FALSE(g.walkable(-1, 0, Tile::Any));
    EXPECT_FALSE(g.walkable(MAP_W, 0, Tile::Any));
    EXPECT_TRUE(g.walkable(1, 1, Tile::Any));
}

TEST_F(GridFixture, ShipsSailOnWaterCellsOnlyWhateverTheFlag) {
    EXPECT_TRUE(g.walkable(1, 1, Tile::Water));
    EXPECT_FALSE(g.walkable(0, 0, Tile::Water));
    EXPECT_FALSE(g.walkable(1, 1, Tile::Grass));
    EXPECT_TRUE(g.walkable(0, 0, Tile::Grass));
}

TEST_F(GridFixture, OffMapLookupYieldsWalkableSentinel) {
    const Grid& cg = g;
    const TileInstance& t = cg.at(MAP_W, 0);
    EXPECT_EQ(t.type, Tile::None);
    EXPECT_EQ(t.walkable, 1);
    EXPECT_EQ(t.heightLevel, 0);
    EXPECT_EQ(t.ramp, 0);
}

TEST_F(GridFixture, SetDropsDecalsAndMakesCellWalkable) {
    g.at(1, 1).decals.push_back(TileDecal{"BloodDropplet_1", 0, 0, 0, 1});
    g.at(1, 1).ramp = 1;
    g.set(1, 1, Tile::Mud, 0, 3);
    EXPECT_TRUE(g.at(1, 1).decals.empty());
    EXPECT_EQ(g.at(1, 1).walkable, 1);
    EXPECT_EQ(g.at(1, 1).ramp, 0);
    EXPECT_EQ(g.at(1, 1).heightLevel, 3);
}

TEST(TileNames, OnlyExactNamesAreRecognised) {
    EXPECT_EQ(typeFromString("grass"), Tile::None);
    EXPECT_EQ(typeFromString("Grass "), Tile::None);
    EXPECT_EQ(typeFromString(""), Tile::None);
    EXPECT_EQ(typeFromString("Any"), Tile::Any);
    EXPECT_EQ(typeFromString("Rock"), Tile::Rock);
}

}  // namespace
