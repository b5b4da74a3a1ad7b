// Building the static world from a map: the grid, map objects, starting bases and decorations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue_support.h"
#include "races.h"
#include "static_world_fixture.h"

namespace {

using BuildGrid = StaticWorld;

TEST_F(BuildGrid, LettersAndHeightsMakeTheCellsUnknownOnesGrassMissingHeightsZero) {
    MAP_W = 3;
    MAP_H = 2;
    const Grid g = buildGrid({"W?.", "MRG"}, {"R9"});
    ASSERT_EQ(g.tiles.size(), 6u);
    EXPECT_EQ(g.tiles[0].type, Tile::Water);
    EXPECT_EQ(g.tiles[0].walkable, 0);
    EXPECT_EQ(g.tiles[0].heightLevel, 1);
    EXPECT_EQ(g.tiles[0].ramp, 1);
    EXPECT_EQ(g.tiles[1].type, Tile::Grass);
    EXPECT_EQ(g.tiles[1].heightLevel, 9);
    EXPECT_EQ(g.tiles[2].heightLevel, 0);
    EXPECT_EQ(g.tiles[2].ramp, 0);
    EXPECT_EQ(g.tiles[4].type, Tile::Rock);
    EXPECT_EQ(g.tiles[4].walkable, 1);
    EXPECT_EQ(g.tiles[5].variant, 1);
    EXPECT_EQ(SUB_MAP_W, 12);
}

}  // namespace

namespace {

// A race "human" with a 4x4 base, a farm that gives supply, a tower and a worker, and a second race "orc".
struct Bases : StaticWorld {
    void SetUp() override {
        StaticWorld::SetUp();
        buildingInfo.clear();
        unitInfo.clear();
        addBuildingType("HumanHall", "human", 4, 4, true);
        addBuildingType("AHumanShed", "human", 1, 1, false);
        addBuildingType("OrcHall", "orc", 3, 3, true);
        addWorker("Peasant", "human");
        addWorker("APeon", "orc");
        addWorker("Peon", "orc");
    }
    void TearDown() override {
        buildingInfo.clear();
        unitInfo.clear();
        StaticWorld::TearDown();
    }

    static void addBuildingType(const std::string& type, const std::string& race, int w, int h, bool base) {
        BuildingInfo info;
        info.type = type;
        info.race = race;
        info.wTiles = w;
        info.hTiles = h;
        info.hp = 1200.0f;
        info.sight = 9;
        info.base = base;
        info.supply = base;
        info.fireSpots = {FireSpot{3, 4, 0, 0.0f, false}};
        buildingInfo[type] = info;
    }

    static void addWorker(const std::string& type, const std::string& race) {
        UnitInfo info;
        info.type = type;
        info.race = race;
        info.worker = true;
        info.hp = 30;
        unitInfo[type] = info;
    }

    static V2i subTileOf(const Unit& u) {
        return {static_cast<int>(u.x) / 35, static_cast<int>(u.y) / 35};
    }
};

TEST_F(Bases, HumanBaseStandsCompletedWithThreeWorkersBelowIt) {
    Player& p = addPlayer(4);
    const int n = nextAttackableId;
    spawnBase(grid, 10, 12, 4);

    ASSERT_EQ(buildings.size(), 1u);
    const Building& hall = buildings[0];
    EXPECT_EQ(hall.id, n);
    EXPECT_EQ(hall.type, "HumanHall");
    EXPECT_TRUE(hall.completed);
    EXPECT_EQ(grid.at(13, 15).walkable, 0);
    EXPECT_EQ(grid.at(14, 15).walkable, 1);

    EXPECT_EQ(p.buildingIds, std::vector<int>{n});
    EXPECT_EQ(p.completedBuildings.at("HumanHall"), 1);
    EXPECT_EQ(p.supplyUsed, 3);
    EXPECT_EQ(p.supplyCap, 3);

    ASSERT_EQ(units.size(), 3u);
    const V2i wanted[] = {{44, 65}, {48, 65}, {52, 65}};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(units[k].type, "Peasant");
        EXPECT_FLOAT_EQ(units[k].x, wanted[k].x * 35.0f + 17.5f);
        EXPECT_FLOAT_EQ(units[k].y, wanted[k].y * 35.0f + 17.5f);
    }
    for (int k = 0; k < 3; ++k) EXPECT_EQ(reservedTiles[static_cast<size_t>(wanted[k].y) * SUB_MAP_W + wanted[k].x], units[k].id);
}

TEST_F(Bases, WorkersStepAsideFromBlockedOrReservedSubTiles) {
    addPlayer(4);
    reservedTiles[static_cast<size_t>(65) * SUB_MAP_W + 44] = 99;
    blockArea(grid, {12, 16}, 1, 1);
    spawnBase(grid, 10, 12, 4);
    ASSERT_EQ(units.size(), 3u);
    // (44, 65) is held: the first clear sub-tile of the 3x3 square, row by row, is (43, 64).
    EXPECT_EQ(subTileOf(units[0]), (V2i{43, 64}));
    // Tile (12, 16) is blocked: the first clear sub-tile of the 3x3 square around (48, 65) is (47, 64).
    EXPECT_EQ(subTileOf(units[1]), (V2i{47, 64}));
}

TEST_F(Bases, WorkersOfABaseOnTheBottomEdgeAreWantedOnTheLastSubTileRow) {
    addBuildingType("DwarfHut", "dwarf", 1, 1, true);
    addWorker("Miner", "dwarf");
    addPlayer(5, "dwarf");
    spawnBase(grid, 8, 19, 5);
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(subTileOf(units[0]), (V2i{30, SUB_MAP_H - 1}));
    EXPECT_EQ(subTileOf(units[2]), (V2i{38, SUB_MAP_H - 1}));
}

TEST_F(Bases, RaceWithoutWorkerKeepsItsBaseAndReports) {
    unitInfo.erase("Peasant");
    Player& p = addPlayer(4);
    ::testing::internal::CaptureStderr();
    spawnBase(grid, 2, 2, 4);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[UnitInfo] Unknown unit type: \n");
    EXPECT_EQ(buildings.size(), 1u);
    EXPECT_TRUE(units.empty());
    EXPECT_EQ(p.supplyUsed, 0);
}

TEST_F(Bases, ChoicesAmongSeveralCandidatesFollowTheKeyOrder) {
    addBuildingType("AOrcHall", "orc", 2, 2, true);
    addPlayer(4, "orc");
    spawnBase(grid, 2, 2, 4);
    EXPECT_EQ(buildings[0].type, "AOrcHall");
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(units[0].type, "APeon");
}

TEST_F(Bases, PlayersThatMayNotReceiveABaseOrHaveNoBaseTypeGetNothingAndExtractionGivesNoWorker) {
    Player& barred = addPlayer(4);
    barred.spawnsBase = false;
    addPlayer(5, "elf");
    spawnBase(grid, 2, 2, 4);
    spawnBase(grid, 2, 2, 5);
    spawnBase(grid, 2, 2, 77);
    EXPECT_TRUE(buildings.empty());

    mode = GameMode::Extraction;
    barred.spawnsBase = true;
    spawnBase(grid, 2, 2, 4);
    EXPECT_EQ(buildings.size(), 1u);
    EXPECT_TRUE(units.empty());
    EXPECT_EQ(barred.supplyUsed, 0);
}

TEST_F(Bases, SecondBaseForThePlayerMovesItsBaseTile) {
    Player& p = addPlayer(4);
    spawnBase(grid, 2, 2, 4);
    spawnBase(grid, 12, 2, 4);
    EXPECT_EQ(buildings.size(), 2u);
    EXPECT_EQ(p.buildingIds.size(), 2u);
    EXPECT_EQ(p.baseTile, (V2i{12, 2}));
    EXPECT_EQ(p.supplyUsed, 6);
}

TEST_F(Bases, MarkersGoToTheLowestIdsWithoutABaseAndLeavePlayersSorted) {
    mapObjectInfo["StartingBase"] = MapObjectInfo{"StartingBase", "Start", 4, 4, 0, false};
    mapObjectsSprites["StartingBase"] = MapObjectSpriteMeta{};
    addPlayer(7);
    addPlayer(3);
    addPlayer(5);
    createObjects({{"StartingBase", 1, 1}, {"StartingBase", 12, 1}}, grid);
    ASSERT_EQ(players.size(), 3u);
    EXPECT_EQ(players[0]->id, 3);
    EXPECT_EQ(players[2]->id, 7);
    EXPECT_EQ(players[0]->baseTile, (V2i{1, 1}));
    EXPECT_EQ(players[1]->baseTile, (V2i{12, 1}));
    EXPECT_TRUE(players[2]->buildingIds.empty());
    // In a match a marker is no map object, though it used up its id.
    EXPECT_TRUE(mapObjects.empty());
    EXPECT_EQ(nextMapObjectId, 2);
}

using Removal = Bases;

TEST_F(Removal, BuildingQueuedThriceIsRemovedOnceAndFreesFootprintTagsAndCounts) {
    buildingInfo["HumanHall"].providesEffect = "holy";
    buildingInfo["HumanHall"].effectRadius = 2;
    Player& p = addPlayer(4);
    const int id = placeBuilding("HumanHall", 4, 3, 3, 4, 4);
    effectGrid.addEffectArea("holy", {3, 3}, 2);
    addBuildingToSelection(id);
    towers.push_back(Tower{id});
    buildings[0].productionQueue.push_back(TrainingTask{});

    buildingsToRemove = {id, id, 12345, id};
    processBuildingRemovals(grid);

    EXPECT_TRUE(buildings.empty());
    EXPECT_TRUE(buildingsToRemove.empty());
    EXPECT_TRUE(tileToBuildings.empty());
    EXPECT_TRUE(towers.empty());
    EXPECT_TRUE(selectedBuildings.empty());
    EXPECT_TRUE(p.buildingIds.empty());
    EXPECT_EQ(p.completedBuildings.at("HumanHall"), 0);
    EXPECT_FALSE(effectGrid.hasTag({5, 3}, "holy"));
    EXPECT_EQ(grid.at(6, 6).walkable, 1);
}

TEST_F(Removal, CancelledSiteLeavesTheEffectOfACompletedNeighbour) {
    buildingInfo["AHumanShed"].providesEffect = "holy";
    buildingInfo["AHumanShed"].effectRadius = 2;
    addPlayer(4);
    placeBuilding("AHumanShed", 4, 3, 3, 1, 1);
    effectGrid.addEffectArea("holy", {3, 3}, 2);
    const int site = placeBuilding("AHumanShed", 4, 4, 3, 1, 1);
    buildings.back().completed = false;
    buildingsToRemove = {site};
    processBuildingRemovals(grid);
    EXPECT_TRUE(effectGrid.hasTag({4, 3}, "holy"));
}

TEST_F(Removal, SupplyTakenBackMatchesWhatTheBuildingGave) {
    Player& p = addPlayer(4);
    // A farm completed by construction raised the cap by the supply it provides.
    const int farm = placeBuilding("HumanFarm", 4, 1, 1, 2, 2);
    buildings.back().providesSupply = true;
    p.supplyCap += SUPPLY_PER_BUILDING;
    // A site of the same type under construction gave nothing yet.
    Building site = buildings.back();
    site.id = nextAttackableId++;
    site.x = 8;
    site.completed = false;
    addBuilding(site);
    p.underConstruction["HumanFarm"] = 1;
    // A starting base whose type has the supply flag gave no supply either.
    spawnBase(grid, 12, 12, 4);
    ASSERT_TRUE(buildings.back().completed);
    const int cap = p.supplyCap;

    buildingsToRemove = {site.id};
    processBuildingRemovals(grid);
    EXPECT_EQ(p.supplyCap, cap);
    EXPECT_EQ(p.underConstruction.at("HumanFarm"), 0);
    EXPECT_EQ(p.completedBuildings.at("HumanFarm"), 1);

    buildingsToRemove = {farm, buildings.back().id};
    processBuildingRemovals(grid);
    EXPECT_EQ(p.supplyCap, 3);
    EXPECT_EQ(p.completedBuildings.at("HumanFarm"), 0);
    EXPECT_EQ(p.completedBuildings.at("HumanHall"), 0);
}

TEST_F(Removal, SeveralBuildingsInOnePassEachReleaseTheirOwnFootprintAndOwner) {
    addPlayer(4);
    Player& q = addPlayer(5);
    std::vector<int> ids;
    for (int i = 0; i < 5; ++i) ids.push_back(placeBuilding("AHumanShed", i < 3 ? 4 : 5, i * 2, 0, 1, 1));
    buildingsToRemove = {ids[1], ids[3]};
    processBuildingRemovals(grid);
    ASSERT_EQ(buildings.size(), 3u);
    EXPECT_EQ(buildings[1].id, ids[2]);
    EXPECT_EQ(buildingIdToIndex.at(ids[2]), 1u);
    EXPECT_EQ(buildingIdToIndex.at(ids[4]), 2u);
    EXPECT_EQ(grid.at(6, 0).walkable, 1);
    EXPECT_EQ(grid.at(8, 0).walkable, 0);
    EXPECT_EQ(q.buildingIds, std::vector<int>{ids[4]});
    EXPECT_EQ(q.completedBuildings.at("AHumanShed"), 1);
}

TEST_F(Removal, BuildingSharingATileLeavesTheOtherListed) {
    const int a = placeBuilding("AHumanShed", 4, 2, 2, 2, 1);
    const int b = placeBuilding("AHumanShed", 4, 3, 2, 1, 1);
    buildingsToRemove = {a};
    processBuildingRemovals(grid);
    EXPECT_EQ(tileToBuildings.at(packTile(3, 2)), std::vector<int>{b});
    EXPECT_EQ(tileToBuildings.count(packTile(2, 2)), 0u);
    EXPECT_EQ(getBuildingAt({3, 2})->id, b);
}

TEST_F(Removal, RemovedFootprintOnWaterStaysUnwalkableAndAnEmptyQueueChangesNothing) {
    grid.at(5, 5).type = Tile::Water;
    grid.at(5, 5).walkable = 0;
    const int yard = placeBuilding("AHumanShed", 4, 4, 4, 2, 2);
    buildingsToRemove = {yard};
    processBuildingRemovals(grid);
    EXPECT_EQ(grid.at(4, 4).walkable, 1);
    EXPECT_EQ(grid.at(5, 5).walkable, 0);

    // An empty queue leaves the index alone.
    buildingIdToIndex[777] = 5;
    processBuildingRemovals(grid);
    EXPECT_EQ(buildingIdToIndex.at(777), 5u);
}

}  // namespace

namespace {

// The shipped "maps/fight.map" built with the shipped catalogue, as a session start builds it.
struct FightMap : StaticWorld {
    void SetUp() override {
        StaticWorld::SetUp();
        catalogue_test::resetCatalogues();
        loadShippedMap("fight");
    }
    void TearDown() override {
        catalogue_test::resetCatalogues();
        mapData = MapData{};
        StaticWorld::TearDown();
    }
};

TEST_F(FightMap, WaterAndObjectFootprintsAreNotWalkableAndACrystalIsIndexedUnderItsTiles) {
    createObjects(mapData.pendingObjects, grid);
    createDecorations(mapData.pendingDecorations, grid);
    ASSERT_EQ(mapData.terrainRows.size(), static_cast<size_t>(MAP_H));
    int water = 0;
    for (int y = 0; y < MAP_H; ++y)
        for (int x = 0; x < MAP_W; ++x)
            if (mapData.terrainRows[y][x] == 'W') {
                ++water;
                EXPECT_FALSE(grid.walkable(x, y, Tile::Grass)) << x << "," << y;
            }
    EXPECT_GT(water, 0);
    ASSERT_FALSE(mapObjects.empty());
    for (const MapObject& o : mapObjects)
        for (const V2i& t : o.tiles) EXPECT_FALSE(grid.walkable(t.x, t.y, Tile::Grass)) << o.type << " " << t.x;

    const MapObject* crystal = getMapObjectAtTile({3, 3}, grid);
    ASSERT_NE(crystal, nullptr);
    EXPECT_EQ(crystal->type, "Crystal");
    EXPECT_EQ(tileToMapObjects.at(packTile(2, 2)), std::vector<int>{crystal->id});
    EXPECT_EQ(decorations.size(), mapData.pendingDecorations.size());
}

TEST_F(FightMap, TwoStartingBasesGoToTheTwoLowestIdsWithoutABase) {
    addPlayer(9, "human");
    addPlayer(4, "vohmathal");
    Player& six = addPlayer(6, "human");
    const int n = nextAttackableId;
    createObjects(mapData.pendingObjects, grid);

    EXPECT_EQ(players[0]->id, 4);
    EXPECT_EQ(players[2]->id, 9);
    EXPECT_TRUE(players[2]->buildingIds.empty());
    ASSERT_EQ(buildings.size(), 2u);

    const Building& orc = buildings[0];
    EXPECT_EQ(orc.type, "OrcCommand");
    EXPECT_EQ(orc.playerId, 4);
    EXPECT_EQ((V2i{orc.x, orc.y}), (V2i{6, 6}));
    EXPECT_FALSE(grid.walkable(8, 8, Tile::Grass));

    const Building& human = buildings[1];
    EXPECT_EQ(human.type, "HumanCommand");
    EXPECT_EQ((V2i{human.x, human.y}), (V2i{55, 55}));
    EXPECT_EQ(six.buildingIds, std::vector<int>{human.id});

    // Workers one tile apart, centred one sub-tile below the 3x3 hall at (6, 6): sub-tiles (26|30|34, 37).
    ASSERT_EQ(units.size(), 6u);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(units[k].id, n + 1 + k);
        EXPECT_EQ(units[k].playerId, 4);
        EXPECT_FLOAT_EQ(units[k].x, (26 + 4 * k) * 35.0f + 17.5f);
        EXPECT_FLOAT_EQ(units[k].y, 37 * 35.0f + 17.5f);
    }
    EXPECT_EQ(units[3].playerId, 6);
    // No map object stands for a marker in a match.
    for (const MapObject& o : mapObjects) EXPECT_NE(o.type, "StartingBase");
}

}  // namespace
