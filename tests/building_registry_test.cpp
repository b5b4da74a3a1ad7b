// The building registry: indexes by id and tile, area queries, counts, selection, rally points and type names.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "game.h"
#include "static_world_fixture.h"

namespace {

using BuildingRegistry = StaticWorld;

TEST_F(BuildingRegistry, FootprintIsIndexedColumnByColumnAndFoundByTile) {
    const int id = placeBuilding("HumanFarm", 1, 5, 7, 2, 2);
    const Building* b = getBuildingById(id);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->footprintTiles, (std::vector<V2i>{{5, 7}, {5, 8}, {6, 7}, {6, 8}}));
    for (const V2i& t : b->footprintTiles) EXPECT_EQ(tileToBuildings.at(packTile(t.x, t.y)), std::vector<int>{id});
    EXPECT_EQ(getBuildingAt({6, 8}), b);
    EXPECT_EQ(getBuildingAt({7, 8}), nullptr);
}

TEST_F(BuildingRegistry, AreaQueriesListOncePerBuildingOrOncePerTileInRange) {
    const int a = placeBuilding("HumanFarm", 1, 0, 0, 2, 2);
    const int b = placeBuilding("HumanFarm", 1, 4, 4, 1, 1);

    const auto inTiles = getBuildingsInTiles({{0, 0}, {1, 1}, {4, 4}, {9, 9}}, 0);
    ASSERT_EQ(inTiles.size(), 2u);
    EXPECT_EQ(inTiles[0]->id, a);
    EXPECT_EQ(inTiles[1]->id, b);

    // Tiles (0,0), (0,1) and (1,0) lie within 1 of the corner; (1,1) lies at 1.414.
    const auto inRange = getBuildingsInRange({0, 0}, 1);
    ASSERT_EQ(inRange.size(), 3u);
    for (const Building* found : inRange) EXPECT_EQ(found->id, a);
}

TEST_F(BuildingRegistry, ContainmentIncludesBothEdgesAndTheCentreIsTheFootprintMiddle) {
    const int id = placeBuilding("HumanFarm", 1, 2, 3, 2, 1);
    const Building& b = *getBuildingById(id);
    EXPECT_TRUE(buildingContains(b, SDL_FPoint{560, 560}, 2, 1));
    EXPECT_FALSE(buildingContains(b, SDL_FPoint{560.5f, 560}, 2, 1));
    const SDL_FPoint c = buildingCenter(&b);
    EXPECT_FLOAT_EQ(c.x, 420.0f);
    EXPECT_FLOAT_EQ(c.y, 490.0f);
}

// Reading a count never changes the world: an entry of 0 would change the world checksum.
TEST_F(BuildingRegistry, CountsAndTheBuildingTestReadWithoutInserting) {
    Player& p = addPlayer(1);
    placeBuilding("HumanFarm", 1, 0, 0, 1, 1);
    p.underConstruction["HumanBarracks"] = 2;

    EXPECT_EQ(getBuildingCount("HumanFarm", 1), 1);
    EXPECT_EQ(getBuildingCount("HumanTower", 1), 0);
    EXPECT_EQ(p.completedBuildings.count("HumanTower"), 0u);
    EXPECT_EQ(getUnderConstructionCount("HumanBarracks", 1), 2);

    const uint64_t before = worldChecksum();
    EXPECT_FALSE(hasBuilding("HumanTower", 1));
    EXPECT_TRUE(hasBuilding("HumanFarm", 1));
    EXPECT_EQ(p.completedBuildings.count("HumanTower"), 0u);
    EXPECT_EQ(worldChecksum(), before);

    EXPECT_EQ(getBuildingCount("HumanFarm", 99), 0);
    EXPECT_FALSE(hasBuilding("HumanFarm", 99));
}

TEST_F(BuildingRegistry, SelectionKeepsOrderAndIgnoresRepeatsAndStrangers) {
    const int a = placeBuilding("HumanFarm", 1, 0, 0, 1, 1);
    const int b = placeBuilding("HumanFarm", 1, 2, 0, 1, 1);
    const int c = placeBuilding("HumanFarm", 1, 4, 0, 1, 1);
    addBuildingToSelection(b);
    addBuildingToSelection(a);
    addBuildingToSelection(c);
    addBuildingToSelection(b);
    removeBuildingFromSelection(999);
    EXPECT_EQ(selectedBuildings, (std::vector<int>{b, a, c}));
    removeBuildingFromSelection(a);
    EXPECT_EQ(selectedBuildings, (std::vector<int>{b, c}));
    EXPECT_FALSE(isBuildingSelected(a));
    clearBuildingSelection();
    EXPECT_EQ(getFirstSelectedBuilding(), nullptr);
}

TEST_F(BuildingRegistry, RallyPointMustLieOnTheSubTileMapAndNeedsABuilding) {
    Building& b = *getBuildingById(placeBuilding("HumanBarracks", 1, 0, 0, 3, 3));
    EXPECT_FALSE(setRallyPoint(grid, &b, {-1, 5}));
    EXPECT_FALSE(b.hasRallyPoint);
    // 80 sub-tiles across: (80, 0) is off the map although it is below MAP_W * SUB_TILE_SIZE.
    EXPECT_FALSE(setRallyPoint(grid, &b, {SUB_MAP_W, 0}));
    EXPECT_TRUE(setRallyPoint(grid, &b, {7, 3}));
    EXPECT_EQ(b.rallyPoint, (V2i{7, 3}));
    EXPECT_TRUE(b.hasRallyPoint);
    EXPECT_FALSE(setRallyPoint(grid, nullptr, {7, 3}));
}

TEST(BuildingTypes, ValuesOutsideTheTableAreNoneAndOnlyExactlyOrcGetsTheOrcOrder) {
    EXPECT_EQ(toString(static_cast<BuildingType>(31)), "None");
    EXPECT_EQ(toString(static_cast<BuildingType>(-1)), "None");
    EXPECT_EQ(&getBuildingDrawOrder("Orc"), &orcBuildingDrawOrder);
    EXPECT_EQ(&getBuildingDrawOrder("orc"), &humanBuildingDrawOrder);
}

}  // namespace
