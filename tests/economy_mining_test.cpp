// Mining: spot claims, starting and retargeting a harvest, and the harvesting cycle.
#include <gtest/gtest.h>

#include "economy_world.h"

namespace {

// A 20x20 grass world with its claim table sized.
struct MiningClaims : EconomyWorld {
    void SetUp() override {
        EconomyWorld::SetUp();
        resetMiningOccupancy();
    }
};

TEST_F(MiningClaims, ASpotIsHeldByOneWorkerUntilItIsReleased) {
    EXPECT_TRUE(tryClaimMiningTile({5, 5}, 10, grid));
    EXPECT_TRUE(tryClaimMiningTile({5, 5}, 10, grid)) << "claiming one's own spot again";
    EXPECT_FALSE(tryClaimMiningTile({5, 5}, 11, grid));
    releaseMiningTile({5, 5}, 11, grid);
    EXPECT_FALSE(tryClaimMiningTile({5, 5}, 11, grid)) << "another worker cannot release it";
    releaseMiningTile({5, 5}, 10, grid);
    EXPECT_TRUE(tryClaimMiningTile({5, 5}, 11, grid));
    resetMiningOccupancy();
    EXPECT_TRUE(tryClaimMiningTile({5, 5}, 12, grid)) << "a new map starts with every spot free";
}

TEST_F(MiningClaims, SpotsOffTheSubGridAreNeverClaimedNorReleased) {
    for (const V2i& off : {V2i{-1, 0}, V2i{0, -1}, V2i{80, 0}, V2i{0, 80}}) {
        EXPECT_FALSE(tryClaimMiningTile(off, 10, grid)) << off.x << "," << off.y;
        releaseMiningTile(off, 10, grid);
    }
    miningOccupancy.clear();
    EXPECT_FALSE(tryClaimMiningTile({5, 5}, 10, grid)) << "a table not sized for the map";
}


// A 20x20 grass world: a crystal field at (4, 4) holding 250, the owner's completed hall at (12, 4) that takes
// every load, and a worker type.
struct Harvest : EconomyWorld {
    void SetUp() override {
        EconomyWorld::SetUp();
        resetMiningOccupancy();
        CRYSTAL_MINING_TICKS = 5;
        AMBER_OIL_MINING_TICKS = 7;
        mapObjectInfo["Crystal"] = MapObjectInfo{"Crystal", "Crystal", 2, 2, 250, true};
        mapObjectInfo["AmberOil"] = MapObjectInfo{"AmberOil", "Amber Oil", 2, 2, 300, true};
        mapObjectsSprites["Crystal"] = MapObjectSpriteMeta{};
        mapObjectsSprites["AmberOil"] = MapObjectSpriteMeta{};
        addBuildingType("Hall", 2, 2, 0, 0, 1.0f).base = true;
        addBuildingType("Mill", 2, 2, 0, 0, 1.0f).oilDeposit = true;
        addUnitType("Worker", "human", 50, 0, 1, 1.0f).worker = true;
        addUnitType("Soldier", "human", 50, 0, 1, 1.0f);
        owner = &addPlayer(1);
        Player::myStaticId = 1;
        createObjects({{"Crystal", 4, 4}}, grid);
        crystal = mapObjects.front().id;
        hall = addDropOff("Hall", 12, 4);
    }

    int addDropOff(const std::string& type, int x, int y) {
        const int id = placeBuilding(type, 1, x, y, 2, 2);
        getBuildingById(id)->computeNearbyTiles();
        return id;
    }

    bool mine(int unitId, int objectId) {
        Unit& u = *getUnitById(unitId);
        MapObject& o = *getMapObjectById(objectId);
        u.mineTarget = {o.tileX, o.tileY};
        return startMining(u, o, *owner, grid);
    }

    // One unit step of a miner as the unit tick takes it: the harvesting step, the spot test, then a walk
    // that reaches the end of its path at once.
    void minerStep(int unitId) {
        Unit& u = *getUnitById(unitId);
        if (u.mining && u.waypoints.empty() && harvestStep(u, grid) == StepResult::EndTick) return;
        if (miningSpotStep(u, grid) == StepResult::EndTick) return;
        if (u.waypoints.empty()) return;
        u.x = u.waypoints.back().x;
        u.y = u.waypoints.back().y;
        u.waypoints.clear();
    }

    void run(int unitId, int ticks) {
        for (int i = 0; i < ticks; ++i) minerStep(unitId);
    }

    // Ticks until the owner's gold changes, at most the limit; the number of ticks taken.
    int runUntilPaid(int unitId, int limit) {
        const int before = gold(*owner);
        for (int i = 1; i <= limit; ++i) {
            minerStep(unitId);
            if (gold(*owner) != before) return i;
        }
        return -1;
    }

    static V2i subOf(const Unit& u) { return worldToSubTile(u.x, u.y); }

    Player* owner = nullptr;
    int crystal = -1;
    int hall = -1;
};

TEST_F(Harvest, ARoundTripCarriesExactlyOneLoadOfCrystalToTheHall) {
    const int w = addUnitAt("Worker", {40, 20});
    ASSERT_TRUE(mine(w, crystal));
    const Unit& u = *getUnitById(w);
    EXPECT_TRUE(u.mining);
    EXPECT_EQ(u.harvestKind, ResourceType::Crystal);
    EXPECT_EQ(u.mapObjectId, crystal);
    EXPECT_EQ(owner->crystalWorkers, 1);
    const V2i spot = u.miningSubTile;
    minerStep(w);
    minerStep(w);
    EXPECT_FALSE(tryClaimMiningTile(spot, 999, grid)) << "the spot is held once the worker is on it";
    for (int i = 0; i < 20 && getUnitById(w)->cargoAmount == 0; ++i) minerStep(w);
    EXPECT_EQ(getUnitById(w)->cargoAmount, 100);
    EXPECT_TRUE(tryClaimMiningTile(spot, 999, grid)) << "and given up when the load is full";
    releaseMiningTile(spot, 999, grid);
    EXPECT_GE(runUntilPaid(w, 40), 1);
    EXPECT_EQ(gold(*owner), 100);
    EXPECT_EQ(getMapObjectById(crystal)->amount, 150);
    const Building& h = *getBuildingById(hall);
    EXPECT_NE(std::find(h.nearbyTiles.begin(), h.nearbyTiles.end(), subOf(*getUnitById(w))), h.nearbyTiles.end())
        << "the load was delivered beside the hall";
    EXPECT_EQ(getUnitById(w)->cargoKind, ResourceType::None);
    EXPECT_FALSE(getUnitById(w)->waypoints.empty()) << "and the worker heads back";
}

TEST_F(Harvest, TwoWorkersNeverHoldTheSameSpot) {
    getMapObjectById(crystal)->amount = 10000;
    const int a = addUnitAt("Worker", {40, 20});
    const int b = addUnitAt("Worker", {40, 20});
    ASSERT_TRUE(mine(a, crystal));
    ASSERT_TRUE(mine(b, crystal));
    ASSERT_EQ(getUnitById(a)->miningSubTile, getUnitById(b)->miningSubTile) << "both head for the same spot";
    auto holds = [](int id) { return std::count(miningOccupancy.begin(), miningOccupancy.end(), uint32_t(id)); };
    bool bothHeldApart = false;
    for (int tick = 0; tick < 60; ++tick) {
        minerStep(a);
        minerStep(b);
        ASSERT_LE(holds(a), 1);
        ASSERT_LE(holds(b), 1);
        bothHeldApart = bothHeldApart || (holds(a) == 1 && holds(b) == 1);
    }
    EXPECT_TRUE(bothHeldApart) << "the later worker found a spot of its own";
    EXPECT_GE(gold(*owner), 200) << "both delivered loads";
    EXPECT_EQ(gold(*owner) % 100, 0);
}

TEST_F(Harvest, ALoadIsNeverMoreThanTheResourceHoldsAndADepletedFieldIsRemoved) {
    getMapObjectById(crystal)->amount = 150;
    const int w = addUnitAt("Worker", {40, 20});
    ASSERT_TRUE(mine(w, crystal));
    ASSERT_GE(runUntilPaid(w, 40), 1);
    ASSERT_GE(runUntilPaid(w, 40), 1);
    EXPECT_EQ(gold(*owner), 150) << "the second load held the last 50";
    EXPECT_EQ(std::count(mapObjectsToRemove.begin(), mapObjectsToRemove.end(), crystal), 1);
    for (int x = 4; x < 6; ++x)
        for (int y = 4; y < 6; ++y) EXPECT_TRUE(grid.walkable(x, y, Tile::Grass));
}

TEST_F(Harvest, AfterDepletionTheWorkerMovesOnToTheNextFieldOfItsKindAndThenGoesIdle) {
    createObjects({{"Crystal", 4, 12}, {"AmberOil", 8, 8}}, grid);
    const int next = mapObjects[1].id;
    getMapObjectById(crystal)->amount = 100;
    getMapObjectById(next)->amount = 100;
    const int w = addUnitAt("Worker", {40, 20});
    ASSERT_TRUE(mine(w, crystal));
    ASSERT_GE(runUntilPaid(w, 40), 1);
    processMapObjectsRemovals(grid);
    EXPECT_EQ(getMapObjectById(crystal), nullptr);
    const Unit& u = *getUnitById(w);
    EXPECT_EQ(u.mapObjectId, next);
    EXPECT_EQ(u.mineTarget, (V2i{4, 12}));
    EXPECT_TRUE(u.mining);
    ASSERT_GE(runUntilPaid(w, 40), 1);
    EXPECT_EQ(gold(*owner), 200);
    processMapObjectsRemovals(grid);
    EXPECT_EQ(getMapObjectById(next), nullptr);

    run(w, 200);  // only amber oil is left
    EXPECT_FALSE(u.mining);
    EXPECT_EQ(u.state, UnitState::Idle);
    EXPECT_EQ(u.mapObjectId, -1);
    EXPECT_EQ(std::count(miningOccupancy.begin(), miningOccupancy.end(), w), 0);
}

TEST_F(Harvest, WithoutAnAcceptingBuildingTheLoadIsKeptUntilOneStands) {
    buildingsToRemove.push_back(hall);
    processBuildingRemovals(grid);
    const int w = addUnitAt("Worker", {40, 20});
    ASSERT_TRUE(mine(w, crystal));
    run(w, 300);
    EXPECT_EQ(gold(*owner), 0);
    EXPECT_EQ(getUnitById(w)->cargoAmount, 100) << "still carried";
    const int mill = addDropOff("Mill", 12, 4);
    run(w, 300);
    EXPECT_EQ(gold(*owner), 0) << "a mill takes amber oil only";
    getBuildingById(mill)->type = "Hall";
    getBuildingById(mill)->completed = false;
    run(w, 300);
    EXPECT_EQ(gold(*owner), 0) << "an unfinished hall takes nothing";
    getBuildingById(mill)->completed = true;
    EXPECT_GE(runUntilPaid(w, 300), 1);
    EXPECT_EQ(gold(*owner), 100);
}

TEST_F(Harvest, AmberOilGoesToWoodAndAMillTakesIt) {
    createObjects({{"AmberOil", 4, 12}}, grid);
    buildingsToRemove.push_back(hall);
    processBuildingRemovals(grid);
    addDropOff("Mill", 12, 12);
    const int w = addUnitAt("Worker", {40, 50});
    ASSERT_TRUE(mine(w, mapObjects[1].id));
    EXPECT_EQ(owner->oilWorkers, 1);
    for (int i = 0; i < 60 && wood(*owner) == 0; ++i) minerStep(w);
    EXPECT_EQ(wood(*owner), 100);
    EXPECT_EQ(gold(*owner), 0);
}

TEST_F(Harvest, OnlyAWorkerOnTheMapStartsMiningAndAnUnreachableFieldStillCountsTheOrder) {
    const int soldier = addUnitAt("Soldier", {40, 20});
    EXPECT_FALSE(mine(soldier, crystal));
    const int w = addUnitAt("Worker", {40, 24});
    getUnitById(w)->onMap = false;
    EXPECT_FALSE(mine(w, crystal));
    EXPECT_EQ(owner->crystalWorkers, 0);
    EXPECT_FALSE(getUnitById(w)->mining);

    getUnitById(w)->onMap = true;
    for (int x = 2; x < 8; ++x)
        for (int y = 2; y < 8; ++y)
            if (x < 4 || x > 5 || y < 4 || y > 5) blockArea(grid, {x, y}, 1, 1);
    EXPECT_TRUE(mine(w, crystal));
    EXPECT_EQ(owner->crystalWorkers, 1);
    EXPECT_FALSE(getUnitById(w)->mining) << "no path: the worker keeps what it was doing";
}

TEST_F(Harvest, RetargetingLooksOnlyForTheWorkersOwnKindAndFailsToIdle) {
    createObjects({{"AmberOil", 4, 12}}, grid);
    const int w = addUnitAt("Worker", {40, 20});
    Unit& u = *getUnitById(w);
    u.harvestKind = ResourceType::Crystal;
    u.miningSubTile = {30, 30};
    ASSERT_TRUE(tryClaimMiningTile({30, 30}, w, grid));
    ASSERT_TRUE(retargetMiningUnit(u, grid, mapObjects));
    EXPECT_EQ(u.mineTarget, (V2i{4, 4}));
    EXPECT_EQ(u.mapObjectId, crystal);

    std::vector<MapObject> onlyOil{*getMapObjectById(mapObjects[1].id)};
    u.miningSubTile = {30, 30};
    EXPECT_FALSE(retargetMiningUnit(u, grid, onlyOil));
    EXPECT_FALSE(u.mining);
    EXPECT_EQ(u.state, UnitState::Idle);
    EXPECT_EQ(u.mapObjectId, -1);
    EXPECT_TRUE(tryClaimMiningTile({30, 30}, 999, grid)) << "its spot was given up";
}

}  // namespace
