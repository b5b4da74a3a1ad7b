// Units and buildings as things that can be hit: ids, lookups, damage and nearby sub-tiles.
#include <gtest/gtest.h>

#include <climits>
#include <iterator>
#include <stdexcept>

#include "world_fixture.h"

namespace {

using Entities = SmallWorld;

Building makeBuilding(int id, V2i tile, int w, int h) {
    Building b;
    b.id = id;
    b.x = tile.x;
    b.y = tile.y;
    b.wTiles = w;
    b.hTiles = h;
    b.maxHp = 100.0f;
    return b;
}

TEST_F(Entities, UnitsAndBuildingsShareOneIdSpaceThatRestartsPerSession) {
    int first = place("Footman", {1, 1});
    buildings.push_back(makeBuilding(nextAttackableId++, {2, 2}, 1, 1));
    int third = place("Footman", {3, 3});
    EXPECT_EQ(first, FIRST_ATTACKABLE_ID);
    EXPECT_EQ(third, first + 2);

    ASSERT_NE(getAttackableById(first), nullptr);
    EXPECT_TRUE(getAttackableById(first)->isUnit());
    ASSERT_NE(getAttackableById(first + 1), nullptr);
    EXPECT_TRUE(getAttackableById(first + 1)->isBuilding());
    EXPECT_EQ(getAttackableById(third + 1), nullptr);

    addUnitForRemoval(first);
    processUnitRemovals(grid);
    EXPECT_EQ(getAttackableById(first), nullptr);

    resetAttackableIds();
    EXPECT_EQ(nextAttackableId, FIRST_ATTACKABLE_ID);
}

TEST_F(Entities, TheFirstEntityCanHoldASubTileAndNoIdLooksLikeAnOffGridAnswer) {
    int id = place("Footman", {0, 0});
    EXPECT_EQ(isSubTileReserved({0, 0}), id);
    EXPECT_NE(id, FREE_SUB_TILE);
    EXPECT_NE(id, isSubTileReserved({-1, 0})) << "an off-grid sub-tile must never read as the unit's own";
}

TEST(IdTable, EveryIdKeepsItsValueWhetherTabledOrHashed) {
    const int edge = IdTable<int>::TABLE_IDS;
    const int ids[] = {INT_MIN, -1, 0, FIRST_ATTACKABLE_ID, edge - 1, edge, INT_MAX};
    IdTable<int> table;
    for (int id : ids) table.set(id, id / 2 + 1);
    table.set(0, 7);  // a second value for an id replaces the first
    EXPECT_EQ(table.size(), std::size(ids));
    for (int id : ids) {
        ASSERT_NE(table.find(id), nullptr) << id;
        EXPECT_EQ(table.at(id), id == 0 ? 7 : id / 2 + 1) << id;
    }
    for (size_t i = 0; i < std::size(ids); i += 2) table.erase(ids[i]);
    table.erase(12345);  // an id without a value
    for (size_t i = 0; i < std::size(ids); ++i) {
        EXPECT_EQ(table.count(ids[i]), i % 2) << ids[i];
        if (i % 2 == 0) {
            EXPECT_THROW(table.at(ids[i]), std::out_of_range) << ids[i];
        }
    }
    EXPECT_EQ(table.size(), std::size(ids) / 2);
    EXPECT_EQ(table.find(edge + 1), nullptr);
    table.clear();
    EXPECT_EQ(table.size(), 0u);
    EXPECT_EQ(table.find(edge - 1), nullptr);
}

TEST_F(Entities, HealingNeverRaisesHitPointsPastTheMaximum) {
    Unit u;
    u.maxHp = 50.0f;
    u.hp = 40.0f;
    u.takeDamage(7);
    EXPECT_FLOAT_EQ(u.hp, 33.0f);
    u.takeDamage(-30);
    EXPECT_FLOAT_EQ(u.hp, 50.0f);
    u.hp = 60.0f;
    u.takeDamage(-5);
    EXPECT_FLOAT_EQ(u.hp, 60.0f);
    u.hp = 0.0f;
    EXPECT_TRUE(u.isDead());

    Building b = makeBuilding(5, {0, 0}, 1, 1);
    b.hp = 95.0f;
    b.takeDamage(-20);
    EXPECT_FLOAT_EQ(b.hp, 100.0f);
}

TEST_F(Entities, UnitRingSurroundsItsFootprintAndEndsWithItsOwnSubTile) {
    Unit u;
    u.x = centreOf(8);
    u.y = centreOf(8);
    u.computeNearbyTiles();
    ASSERT_EQ(u.nearbyTiles.size(), 21u);
    EXPECT_EQ(u.nearbyTiles.front(), (V2i{7, 7}));
    EXPECT_EQ(u.nearbyTiles[5], (V2i{12, 7}));
    EXPECT_EQ(u.nearbyTiles[6], (V2i{7, 12}));
    EXPECT_EQ(u.nearbyTiles[12], (V2i{7, 8}));
    EXPECT_EQ(u.nearbyTiles[16], (V2i{12, 8}));
    EXPECT_EQ(u.nearbyTiles.back(), (V2i{8, 8}));

    u.x = u.y = 1.0f;
    u.computeNearbyTiles();
    EXPECT_EQ(u.nearbyTiles.front(), (V2i{-1, -1})) << "entries off the map stay in the list";
}

TEST_F(Entities, UnitReachListsTheSquareColumnByColumn) {
    Unit u;
    u.x = centreOf(8);
    u.y = centreOf(5);
    u.computeNearbyTiles(0.1f);
    EXPECT_EQ(u.nearbyTiles, (std::vector<V2i>{{7, 4}, {7, 5}, {7, 6}, {8, 4}, {8, 6}, {9, 4}, {9, 5}, {9, 6}}));

    u.computeNearbyTiles(1.0e9f);
    EXPECT_EQ(u.nearbyTiles.size(), 33u * 33u - 1u) << "a reach past the map is cut to the sub-grid";
}

TEST_F(Entities, UnitTileIsClampedWhileABuildingsIsItsTopLeft) {
    Unit u;
    u.x = 141.0f;
    u.y = -50.0f;
    EXPECT_EQ(u.getTile(), (V2i{1, 0}));
    u.x = 9999.0f;
    EXPECT_EQ(u.getTile(), (V2i{3, 0}));

    Building b = makeBuilding(5, {-2, 7}, 2, 3);
    EXPECT_EQ(b.getTile(), (V2i{-2, 7}));
    SDL_FPoint centre = b.getWorldPos();
    EXPECT_FLOAT_EQ(centre.x, -280.0f + 140.0f);
    EXPECT_FLOAT_EQ(centre.y, 980.0f + 210.0f);
}

TEST_F(Entities, BuildingRingAndBandLeaveTheFootprintOut) {
    Building b = makeBuilding(5, {2, 2}, 1, 1);
    b.computeNearbyTiles();
    ASSERT_EQ(b.nearbyTiles.size(), 20u);
    EXPECT_EQ(b.nearbyTiles.front(), (V2i{7, 7}));
    EXPECT_EQ(b.nearbyTiles.back(), (V2i{12, 11}));

    b.computeNearbyTiles(0.25f);
    ASSERT_EQ(b.nearbyTiles.size(), 20u);
    EXPECT_EQ(b.nearbyTiles[0], (V2i{7, 7}));
    EXPECT_EQ(b.nearbyTiles[1], (V2i{7, 8}));
    EXPECT_EQ(b.nearbyTiles[6], (V2i{8, 7}));
    EXPECT_EQ(b.nearbyTiles[7], (V2i{8, 12}));
    for (const V2i& s : b.nearbyTiles) EXPECT_FALSE(s.x >= 8 && s.x <= 11 && s.y >= 8 && s.y <= 11);
}

TEST_F(Entities, BuildingsKeepTheirOwnQueuesWhenCopiedOrShifted) {
    for (int id : {10, 11, 12}) {
        Building b = makeBuilding(id, {0, 0}, 1, 1);
        b.productionQueue.push_back({TrainingKind::Unit, "Footman", 40 + id, "", 5.0f, 0.0f, id});
        b.researched.insert("Armor" + std::to_string(id));
        buildings.push_back(b);
    }
    Building copy = buildings[1];
    copy.productionQueue[0].elapsed = 3.0f;
    copy.researched.clear();
    EXPECT_FLOAT_EQ(buildings[1].productionQueue[0].elapsed, 0.0f);
    EXPECT_EQ(buildings[1].researched.count("Armor11"), 1u);

    buildings.erase(buildings.begin());
    ASSERT_EQ(buildings.size(), 2u);
    EXPECT_EQ(buildings[0].id, 11);
    EXPECT_EQ(buildings[1].productionQueue[0].unitId, 52);
    EXPECT_EQ(buildings[1].productionQueue[0].buildingId, 12);
    EXPECT_EQ(buildings[1].researched.count("Armor12"), 1u);
}

}  // namespace
