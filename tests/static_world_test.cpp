// Building the static world from a map: the grid, map objects, starting bases and decorations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "static_world_fixture.h"

namespace {

using BuildGrid = StaticWorld;

TEST_F(BuildGrid, TerrainLettersAndHeightCharactersMakeTheCells) {
    MAP_W = 2;
    MAP_H = 1;
    const Grid g = buildGrid({"W."}, {"R9"});
    ASSERT_EQ(g.tiles.size(), 2u);
    EXPECT_EQ(g.tiles[0].type, Tile::Water);
    EXPECT_EQ(g.tiles[0].walkable, 0);
    EXPECT_EQ(g.tiles[0].heightLevel, 1);
    EXPECT_EQ(g.tiles[0].ramp, 1);
    EXPECT_EQ(g.tiles[1].type, Tile::Grass);
    EXPECT_EQ(g.tiles[1].variant, 0);
    EXPECT_EQ(g.tiles[1].heightLevel, 9);
    EXPECT_EQ(g.tiles[1].walkable, 1);
    EXPECT_EQ(SUB_MAP_W, 8);
    EXPECT_EQ(SUB_MAP_H, 4);
}

TEST_F(BuildGrid, EveryLetterHasItsTerrainAndUnknownLettersArePlainGrass) {
    MAP_W = 7;
    MAP_H = 1;
    const Grid g = buildGrid({"GDMRWx?"}, {});
    const Tile types[] = {Tile::Grass, Tile::Drygrass, Tile::Mud, Tile::Rock, Tile::Water, Tile::Grass, Tile::Grass};
    for (int x = 0; x < 7; ++x) {
        EXPECT_EQ(g.tiles[x].type, types[x]) << x;
        EXPECT_EQ(g.tiles[x].walkable, x == 4 ? 0 : 1) << x;
        EXPECT_EQ(g.tiles[x].variant, x == 0 ? 1 : 0) << x;
        EXPECT_EQ(g.tiles[x].heightLevel, 0) << x;
    }
}

TEST_F(BuildGrid, MissingHeightCharactersLeaveLevelZeroWithoutRamp) {
    MAP_W = 3;
    MAP_H = 2;
    const Grid g = buildGrid({"...", "..."}, {"5"});
    EXPECT_EQ(g.tiles[0].heightLevel, 5);
    EXPECT_EQ(g.tiles[1].heightLevel, 0);
    EXPECT_EQ(g.tiles[1].ramp, 0);
    EXPECT_EQ(g.tiles[4].heightLevel, 0);
    EXPECT_EQ(g.tiles[5].ramp, 0);
}

}  // namespace
