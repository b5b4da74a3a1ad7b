// Sub-tile reservations, tile blocking, map-object sectors and neighbourhoods.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <sstream>
#include <stdexcept>

#include "world_fixture.h"

namespace {

using Occupancy = SmallWorld;

std::vector<V2i> square(int x0, int y0, int x1, int y1) {
    std::vector<V2i> cells;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) cells.push_back({x, y});
    return cells;
}

int lineCount(const std::string& text) {
    std::istringstream in(text);
    int n = 0;
    for (std::string line; std::getline(in, line);) ++n;
    return n;
}

TEST_F(Occupancy, CornerSquareTakesOnlyOnMapCellsAndReportsTheOthers) {
    testing::internal::CaptureStderr();
    reserveTilesForUnit(7, "Ogre", {0, 0});
    std::string err = testing::internal::GetCapturedStderr();

    EXPECT_EQ(lineCount(err), 5);
    EXPECT_NE(err.find("Tried to reserve invalid tile: -1 -1\n"), std::string::npos);
    EXPECT_NE(err.find("Tried to reserve invalid tile: -1 1\n"), std::string::npos);
    for (const V2i& c : square(0, 0, 1, 1)) EXPECT_EQ(cell(c.x, c.y), 7);
    EXPECT_EQ(cell(2, 0), 0);
    EXPECT_EQ(cell(0, 2), 0);
    EXPECT_EQ(unitOccupancyRegistry.at(7), square(-1, -1, 1, 1));
}

TEST_F(Occupancy, ReservationNeverOverwritesAnotherUnitsCell) {
    reserveTilesForUnit(3, "Footman", {5, 5});
    reserveTilesForUnit(4, "Ogre", {5, 5});
    EXPECT_EQ(cell(5, 5), 3);
    EXPECT_EQ(cell(4, 4), 4);
    EXPECT_EQ(cell(6, 6), 4);
    EXPECT_EQ(unitOccupancyRegistry.at(4).size(), 9u);

    reserveTile({5, 5}, 4);
    EXPECT_EQ(cell(5, 5), 3);
}

TEST_F(Occupancy, FreeingOneOfTwoOverlappingUnitsKeepsTheOthersCells) {
    reserveTilesForUnit(1, "Ogre", {5, 5});
    reserveTilesForUnit(2, "Ogre", {6, 5});  // obtains only the column x = 7
    for (int y = 4; y <= 6; ++y) {
        EXPECT_EQ(cell(6, y), 1);
        EXPECT_EQ(cell(7, y), 2);
    }

    freeTileForUnit(2, "Ogre", {6, 5});
    for (const V2i& c : square(4, 4, 6, 6)) EXPECT_EQ(cell(c.x, c.y), 1);
    EXPECT_EQ(cell(7, 5), 0);

    reserveTilesForUnit(2, "Ogre", {6, 5});
    unregisterUnitTiles(1);
    EXPECT_EQ(cell(4, 5), 0);
    EXPECT_EQ(cell(6, 5), 0) << "cells the second unit lists but never obtained are freed with the first";
    EXPECT_EQ(cell(7, 5), 2);

    reserveTilesForUnit(2, "Ogre", {6, 5});
    EXPECT_EQ(cell(6, 5), 2) << "the second unit obtains them on its next reservation";
}

TEST_F(Occupancy, ReservingAgainInPlaceKeepsEveryCell) {
    reserveTilesForUnit(5, "Ogre", {8, 8});
    reserveTilesForUnit(5, "Ogre", {8, 8});
    for (const V2i& c : square(7, 7, 9, 9)) EXPECT_EQ(cell(c.x, c.y), 5);

    reserveTilesForUnit(5, "Ogre", {9, 8});
    EXPECT_EQ(cell(7, 8), 0);
    EXPECT_EQ(cell(10, 8), 5);
}

TEST_F(Occupancy, UnknownTypeThrowsAfterReleasingTheOldCells) {
    reserveTilesForUnit(5, "Footman", {3, 3});
    EXPECT_THROW(reserveTilesForUnit(5, "Dragon", {3, 3}), std::out_of_range);
    EXPECT_EQ(cell(3, 3), 0);
    EXPECT_EQ(unitOccupancyRegistry.count(5), 0u);
}

TEST_F(Occupancy, AbsurdFootprintStaysBounded) {
    addType("Colossus", INT_MAX);
    testing::internal::CaptureStderr();
    reserveTilesForUnit(9, "Colossus", {8, 8});
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(unitOccupancyRegistry.at(9).size(), 129u * 129u);
    EXPECT_EQ(cell(0, 0), 9);
    EXPECT_EQ(cell(15, 15), 9);
}

// The registry keeps only the centre and reach of each reservation; the cells it answers and frees are that square's.
TEST_F(Occupancy, TheRegistryAnswersAndFreesTheSquareOfEachReservation) {
    struct Case {
        const char* what;
        int subtiles;
        V2i centre;
        std::vector<V2i> cells;
    };
    const Case cases[] = {
        {"one sub-tile", 1, {4, 6}, {{4, 6}}},
        {"two sub-tiles reach one each way", 2, {4, 6}, square(3, 5, 5, 7)},
        {"three sub-tiles reach as far as two", 3, {4, 6}, square(3, 5, 5, 7)},
        {"five sub-tiles reach two each way", 5, {4, 6}, square(2, 4, 6, 8)},
        {"a negative size reserves nothing", -3, {4, 6}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::fill(reservedTiles.begin(), reservedTiles.end(), 0);
        unitOccupancyRegistry.clear();
        addType("Sized", c.subtiles);
        reserveTilesForUnit(6, "Sized", c.centre);
        EXPECT_EQ(unitOccupancyRegistry.at(6), c.cells);
        EXPECT_EQ(std::count(reservedTiles.begin(), reservedTiles.end(), 6), static_cast<long>(c.cells.size()));
        for (const V2i& held : c.cells) EXPECT_EQ(cell(held.x, held.y), 6);

        unregisterUnitTiles(6);
        EXPECT_EQ(std::count(reservedTiles.begin(), reservedTiles.end(), 6), 0);
        EXPECT_EQ(unitOccupancyRegistry.count(6), 0u);
        EXPECT_THROW(unitOccupancyRegistry.at(6), std::out_of_range);
    }
    reserveTilesForUnit(6, "Ogre", {8, 8});
    unitOccupancyRegistry.clear();
    EXPECT_EQ(cell(9, 9), 6) << "forgetting the registry leaves the cells taken";
    EXPECT_FALSE(holdsFootprintAt(6, "Ogre", {8, 8})) << "a forgotten reservation is not held";
}

TEST_F(Occupancy, OffGridCellsCountAsTakenOrFreeAsEachQueryStates) {
    EXPECT_EQ(isSubTileReserved({-1, 0}), 1);
    EXPECT_EQ(isTileReserved({-1, 0}), 0);
    EXPECT_EQ(isSubTileReserved({0, 16}), 1);
    freeTile({16, 0}, 0);
    reserveTilesForUnit(2, "Footman", {15, 15});
    EXPECT_EQ(isSubTileReserved({15, 15}), 2);
    EXPECT_EQ(isTileReserved({15, 15}), 2);
    freeTile({15, 15}, 3);
    EXPECT_EQ(isTileReserved({15, 15}), 2);
    freeTile({15, 15}, 2);
    EXPECT_EQ(isTileReserved({15, 15}), 0);
}

TEST_F(Occupancy, WorldPointsMapToClampedSubTilesAndTiles) {
    EXPECT_EQ(worldToSubTile(472.5f, 297.5f), (V2i{13, 8}));
    EXPECT_EQ(worldToSubTile(-20.0f, 1.0e9f), (V2i{0, 15}));
    EXPECT_EQ(worldToTile(139.9f, 140.0f), (V2i{0, 1}));
    EXPECT_EQ(worldToTile(1.0e30f, -1.0e30f), (V2i{3, 0}));
}

TEST_F(Occupancy, BlockingTouchesOnlyTilesOnTheGrid) {
    blockArea(grid, {-1, -1}, 3, 3);
    EXPECT_EQ(grid.at(0, 0).walkable, 0);
    EXPECT_EQ(grid.at(1, 1).walkable, 0);
    EXPECT_EQ(grid.at(2, 2).walkable, 1);
    EXPECT_EQ(grid.at(2, 0).walkable, 1);

    unblockArea(grid, {0, 0}, 0, 5);
    EXPECT_EQ(grid.at(0, 0).walkable, 0);
    unblockArea(grid, {1, 1}, INT_MAX, INT_MAX);
    EXPECT_EQ(grid.at(1, 1).walkable, 1);
    EXPECT_EQ(grid.at(0, 0).walkable, 0);
}

TEST(TileNeighbourhood, ListsTheNineTilesInTheirFixedOrderUnclipped) {
    std::vector<V2i> expected{{-1, -1}, {0, -1}, {1, -1}, {-1, 1}, {0, 1}, {1, 1}, {-1, 0}, {1, 0}, {0, 0}};
    EXPECT_EQ(computeNearbyTiles(0, 0), expected);
}

TEST_F(Occupancy, SectorGridHasASpareRowAndColumn) {
    MAP_W = 64;
    MAP_H = 130;
    initSpatialGrid();
    EXPECT_EQ(gridSectorsX, 2);
    EXPECT_EQ(gridSectorsY, 3);
    ASSERT_EQ(spatialGrid.size(), 2u);
    EXPECT_EQ(spatialGrid[1].size(), 3u);
    EXPECT_TRUE(spatialGrid[1][2].objectIds.empty());
}

TEST_F(Occupancy, NeighboursAtTheCornerComeInDirectionOrder) {
    EXPECT_EQ(neighbors8(grid, {0, 0}, Tile::Grass), (std::vector<V2i>{{1, 0}, {1, 1}, {0, 1}}));
    EXPECT_EQ(neighbors8(grid, {15, 15}, Tile::Grass), (std::vector<V2i>{{15, 14}, {14, 15}, {14, 14}}));
}

TEST_F(Occupancy, NeighboursFollowTheTilesWalkableFlagUnlessClassIsAnyOrWater) {
    grid.at(1, 0).type = Tile::Water;
    grid.at(1, 0).walkable = 0;
    V2i sub{3, 1};  // tile (0, 0), beside tile (1, 0)
    EXPECT_EQ(neighbors8(grid, sub, Tile::Grass),
              (std::vector<V2i>{{3, 0}, {3, 2}, {2, 2}, {2, 1}, {2, 0}}));
    EXPECT_EQ(neighbors8(grid, sub, Tile::Water), (std::vector<V2i>{{4, 0}, {4, 1}, {4, 2}}));
    EXPECT_EQ(neighbors8(grid, sub, Tile::Any).size(), 8u);
}

// Holding a footprint already means freeing and reserving it again would change nothing; anything else is no hold.
TEST_F(Occupancy, FootprintIsHeldOnlyWhereEveryCellOfTheLastReservationIsStillTheUnits) {
    struct Case {
        const char* what;
        const char* type;
        V2i reservedAt;
        V2i askedAt;
        V2i takenByOther;  // (-1, -1): nobody else
        bool held;
    };
    const Case cases[] = {
        {"one sub-tile, where it stands", "Footman", {5, 5}, {5, 5}, {-1, -1}, true},
        {"one sub-tile, a step away", "Footman", {5, 5}, {6, 5}, {-1, -1}, false},
        {"three by three, where it stands", "Ogre", {5, 5}, {5, 5}, {-1, -1}, true},
        {"three by three, one cell held by another", "Ogre", {5, 5}, {5, 5}, {6, 6}, false},
        {"three by three at the last column", "Ogre", {14, 5}, {14, 5}, {-1, -1}, true},
        {"three by three over the edge", "Ogre", {15, 5}, {15, 5}, {-1, -1}, false},
        {"a type the catalogue lacks", "Nothing", {5, 5}, {5, 5}, {-1, -1}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::fill(reservedTiles.begin(), reservedTiles.end(), 0);
        unitOccupancyRegistry.clear();
        if (c.takenByOther.x != -1) reserveTile(c.takenByOther, 3);
        testing::internal::CaptureStderr();
        const std::string type = unitInfo.count(c.type) ? c.type : "Footman";
        reserveTilesForUnit(9, type, c.reservedAt);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(holdsFootprintAt(9, c.type, c.askedAt), c.held);
    }
    EXPECT_FALSE(holdsFootprintAt(8, "Footman", {5, 5})) << "a unit without a reservation holds nothing";
}

}  // namespace
