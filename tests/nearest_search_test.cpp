// Nearest-place searches: resources, building sites, rings around buildings, objects and units, and enemies;
// and the latching mine's chase order.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ai.h"
#include "lockstep.h"
#include "static_world_fixture.h"

namespace {

struct NearestSearch : StaticWorld {
    void SetUp() override {
        StaticWorld::SetUp();
        setMapSize(32, 32);
        Neighbors = neighbors8;
        UnitInfo footman;
        footman.type = "Footman";
        unitInfo["Footman"] = footman;
        buildingInfo["Farm"].wTiles = 2;
        buildingInfo["Farm"].hTiles = 2;
        mapObjectInfo["Crystal"].wTiles = 2;
        mapObjectInfo["Crystal"].hTiles = 2;
        mapObjectInfo["AmberOil"].wTiles = 1;
        mapObjectInfo["AmberOil"].hTiles = 1;
        miningOccupancy.assign(static_cast<size_t>(SUB_MAP_W) * SUB_MAP_H, FREE_MINING_SPOT);
        lockstep.pendingCommands.clear();
    }

    void TearDown() override {
        Neighbors = nullptr;
        unitInfo.clear();
        buildingInfo.clear();
        miningOccupancy.clear();
        lockstep.pendingCommands.clear();
        Player::myStaticId = Player::aiId = 0;
        StaticWorld::TearDown();
    }

    // A map object registered under its footprint tiles, as the world build leaves it.
    static int addObject(const std::string& type, int x, int y, int w, int h) {
        MapObject o;
        o.id = nextMapObjectId++;
        o.type = type;
        o.tileX = x;
        o.tileY = y;
        o.wTiles = w;
        o.hTiles = h;
        mapObjects.push_back(o);
        mapObjectIdToIndex[o.id] = mapObjects.size() - 1;
        for (int j = y; j < y + h; ++j)
            for (int i = x; i < x + w; ++i) objectGrid[{i, j}].push_back(o.id);
        return o.id;
    }

    // A unit standing at the centre of a sub-tile; storing it lists it for its owner.
    static Unit& addUnitAt(int playerId, V2i sub) {
        Unit u = newUnitFromInfo(unitInfo.at("Footman"), nextAttackableId++, playerId);
        u.x = static_cast<float>(sub.x) * 35.0f + 17.5f;
        u.y = static_cast<float>(sub.y) * 35.0f + 17.5f;
        return addUnit(u);
    }
};

// ---- Resources ----

TEST_F(NearestSearch, ResourceSearchTiesToTheLowerIdAndSkipsObjectsQueuedForRemovalAndOtherTypes) {
    int first = addObject("Crystal", 10, 4, 2, 2);
    int second = addObject("Crystal", 4, 10, 2, 2);
    ResourceFind found = findClosestResource({7, 7}, "Crystal", grid);
    EXPECT_EQ(found.tile, (V2i{10, 5}));
    ASSERT_NE(found.object, nullptr);
    EXPECT_EQ(found.object->id, first);

    int near = addObject("Crystal", 8, 8, 2, 2);
    addObject("AmberOil", 7, 7, 1, 1);
    mapObjectsToRemove = {near};
    EXPECT_EQ(findClosestResource({7, 7}, "Crystal", grid).object->id, first);
    mapObjectsToRemove.push_back(first);
    mapObjectsToRemove.push_back(second);
    EXPECT_EQ(findClosestResource({7, 7}, "Crystal", grid).tile, (V2i{-1, -1}));
    EXPECT_EQ(findClosestResource({7, 7}, "Crystal", grid).object, nullptr);
}

TEST_F(NearestSearch, ResourceKindSearchMeasuresToTheTopLeftCornerInSubTiles) {
    addObject("AmberOil", 5, 5, 1, 1);
    addObject("Crystal", 3, 3, 2, 2);
    addObject("Crystal", 6, 2, 2, 2);  // the same 12 sub-tiles away as (3, 3): the earlier wins
    EXPECT_EQ(findClosestMapObjectWithResourceType({20, 16}, ResourceType::Crystal, mapObjects), (V2i{3, 3}));
    EXPECT_EQ(findClosestMapObjectWithResourceType({20, 16}, ResourceType::AmberOil, mapObjects), (V2i{5, 5}));
    EXPECT_EQ(findClosestMapObjectWithResourceType({20, 16}, ResourceType::None, mapObjects), (V2i{-1, -1}));
}

// ---- Building sites and rings ----

TEST_F(NearestSearch, BuildingSiteKeepsItsDistanceAndAvoidsUnitsAndBlockedTiles) {
    V2i site = findClosestFreeTile(V2i{10, 10}, "Farm", grid, 6);
    EXPECT_EQ(site, (V2i{4, 10})) << "first of the candidates 6 away, x outer";
    addUnitAt(1, {4 * 4 + 1, 11 * 4});  // enemy or friend alike, on the footprint's lower row
    EXPECT_EQ(findClosestFreeTile(V2i{10, 10}, "Farm", grid, 6), (V2i{5, 9}));
    blockArea(grid, {0, 0}, 32, 32);
    EXPECT_EQ(findClosestFreeTile(V2i{10, 10}, "Farm", grid, 6), (V2i{-1, -1}));
    EXPECT_THROW(findClosestFreeTile(V2i{10, 10}, "Castle", grid, 0), std::out_of_range);
}

TEST_F(NearestSearch, TileWithinRangeIsTheWalkableOneNearestTheUnit) {
    Unit& caster = addUnitAt(1, {4, 40});  // tile (1, 10)
    EXPECT_EQ(findClosestTileWithinRange(&caster, {10, 10}, grid, 3.0f), (V2i{7, 10}));
    grid.at(7, 10).walkable = 0;
    EXPECT_EQ(findClosestTileWithinRange(&caster, {10, 10}, grid, 3.0f), (V2i{8, 10}));
    EXPECT_EQ(findClosestTileWithinRange(&caster, {10, 10}, grid, 0.0f), (V2i{10, 10}));
    grid.at(10, 10).walkable = 0;
    EXPECT_EQ(findClosestTileWithinRange(&caster, {10, 10}, grid, 0.0f), (V2i{-1, -1}));
    EXPECT_EQ(findClosestTileWithinRange(nullptr, {10, 10}, grid, 3.0f), (V2i{-1, -1}));
}

TEST_F(NearestSearch, RingTileOfATwoByTwoBuildingIsTheOneLeftOfItsCorner) {
    addPlayer(1);
    int farm = placeBuilding("Farm", 1, 10, 10, 2, 2);
    EXPECT_EQ(findClosestTileAdjacentToBuilding(*getBuildingById(farm), grid), (V2i{9, 10}));
    grid.at(9, 10).walkable = 0;
    EXPECT_EQ(findClosestTileAdjacentToBuilding(*getBuildingById(farm), grid), (V2i{10, 9}));
}

TEST_F(NearestSearch, MiningRingSkipsClaimedAndReservedSubTiles) {
    addObject("AmberOil", 5, 5, 1, 1);  // sub-tiles 20..23, ring 19..24
    EXPECT_EQ(findClosestAdjacentToMapObjectNotOccupied({5, 5}, grid, {30, 21}), (V2i{24, 21}));
    miningOccupancy[21 * SUB_MAP_W + 24] = 42;
    EXPECT_EQ(findClosestAdjacentToMapObjectNotOccupied({5, 5}, grid, {30, 21}), (V2i{24, 20}));
    reserveTile({24, 20}, 9);
    EXPECT_EQ(findClosestAdjacentToMapObjectNotOccupied({5, 5}, grid, {30, 21}), (V2i{24, 22}));
    for (int x = 19; x <= 24; ++x)
        for (int y = 19; y <= 24; ++y) miningOccupancy[y * SUB_MAP_W + x] = 42;
    EXPECT_EQ(findClosestAdjacentToMapObjectNotOccupied({5, 5}, grid, {30, 21}), (V2i{-1, -1}));
    EXPECT_EQ(findClosestAdjacentToMapObjectNotOccupied({9, 9}, grid, {30, 21}), (V2i{-1, -1})) << "no object";
}

TEST_F(NearestSearch, RingAroundABuildingFromAUnitIsTheNearestItMayStandOn) {
    Building hall;
    hall.x = 0;
    hall.y = 0;
    hall.wTiles = 2;
    hall.hTiles = 2;
    EXPECT_EQ(findClosestTileAdjacentToBuildingFromUnit(hall, Unit{}, grid), (V2i{0, 0}));
    hall.computeNearbyTiles();
    Unit& worker = addUnitAt(1, {2, 20});
    EXPECT_EQ(findClosestTileAdjacentToBuildingFromUnit(hall, worker, grid), (V2i{2, 8}));
    for (int x = 0; x < 3; ++x) grid.at(x, 2).walkable = 0;
    EXPECT_EQ(findClosestTileAdjacentToBuildingFromUnit(hall, worker, grid), (V2i{8, 7}));
    for (int y = 0; y < 2; ++y) grid.at(2, y).walkable = 0;
    EXPECT_EQ(findClosestTileAdjacentToBuildingFromUnit(hall, worker, grid), (V2i{0, 0}))
        << "the ring's off-map sub-tiles are no destination";
}

TEST_F(NearestSearch, RingAroundAUnitIsRefreshedAndAnswersTheNearestEntry) {
    int target = addUnitAt(1, {10, 10}).id;
    int from = addUnitAt(2, {20, 10}).id;
    EXPECT_EQ(findClosestTileAdjacentToUnit(*getUnitById(target), *getUnitById(from), grid), (V2i{14, 10}));
    EXPECT_FALSE(getUnitById(target)->nearbyTiles.empty());
}

// ---- Enemies ----

TEST_F(NearestSearch, EnemyBuildingSearchSkipsBuildingsWithoutAFreeRingAndBreaksTiesToTheLowerId) {
    Player::myStaticId = 1;
    addPlayer(1);
    int boxed = placeBuilding("Farm", 1, 14, 14, 2, 2);
    blockArea(grid, {13, 13}, 4, 4);
    int right = placeBuilding("Farm", 1, 20, 14, 2, 2);
    int left = placeBuilding("Farm", 1, 8, 14, 2, 2);
    Unit& attacker = addUnitAt(2, {0, 0});
    // At the centre of tile (13, 14): the ring tiles nearest each farm's corner, (19, 14) and (7, 14),
    // lie 6 tiles either side of it.
    attacker.x = static_cast<float>(13 * 140 + 70);
    attacker.y = static_cast<float>(14 * 140 + 70);
    Building* found = findClosestEnemyBuilding(attacker, grid);
    ASSERT_NE(found, nullptr);
    EXPECT_NE(found->id, boxed);
    EXPECT_EQ(found->id, std::min(right, left));
    Player::myStaticId = 5;
    EXPECT_EQ(findClosestEnemyBuilding(attacker, grid), nullptr);
}

TEST_F(NearestSearch, EnemyUnitSearchTakesUnitsOnTheMapAndTiesToTheLowerId) {
    Player::myStaticId = 1;
    addPlayer(1);
    int hunter = addUnitAt(2, {20, 20}).id;
    int east = addUnitAt(1, {24, 20}).id;
    int west = addUnitAt(1, {16, 20}).id;
    int closest = addUnitAt(1, {21, 21}).id;
    getUnitById(closest)->onMap = false;
    Unit* found = findClosestEnemyUnit(*getUnitById(hunter));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->id, std::min(east, west));
    getUnitById(closest)->onMap = true;
    EXPECT_EQ(findClosestEnemyUnit(*getUnitById(hunter))->id, closest);
}

// ---- The latching mine's chase ----

TEST_F(NearestSearch, LatchedMineQueuesOneMoveFromWhereItsOwnerThinksWithoutKeyboardState) {
    Player::myStaticId = 1;
    addPlayer(1);
    addPlayer(2);
    Player& computer = addPlayer(3);
    int mine = addUnitAt(1, {3, 3}).id;
    latchToUnit(*getUnitById(mine), {100.9f, 70.2f});
    ASSERT_EQ(lockstep.pendingCommands.size(), 1u);
    const Command& order = lockstep.pendingCommands.front();
    EXPECT_EQ(order.type, CommandType::Move);
    EXPECT_EQ(order.player, 1);
    const MoveCommand& move = std::get<MoveCommand>(order.payload);
    EXPECT_EQ(move.unitIds, (std::vector<int>{mine}));
    EXPECT_EQ(move.x, 2);
    EXPECT_EQ(move.y, 2);
    EXPECT_FALSE(move.shiftHeld);

    latchToUnit(addUnitAt(2, {6, 6}), {100.9f, 70.2f});
    Unit& computersMine = addUnitAt(3, {3, 6});
    latchToUnit(computersMine, {10.0f, 10.0f});
    EXPECT_EQ(lockstep.pendingCommands.size(), 1u) << "another human's mine is ordered from that human's peer";
    computer.ai = std::make_unique<TurtleAI>();
    latchToUnit(computersMine, {10.0f, 10.0f});
    ASSERT_EQ(lockstep.pendingCommands.size(), 2u);
    EXPECT_EQ(lockstep.pendingCommands.back().player, 3) << "a computer's mine is ordered where that player thinks";
}

}  // namespace
