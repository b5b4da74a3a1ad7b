// The economy on the shipped fight map with the shipped catalogue: building a camp and training from its civilians.
#include <gtest/gtest.h>

#include "economy_world.h"

namespace {

// The fight-map town stepped through the economy half of the tick.
struct FightMapTownTicks : FightMapTown {
    // The economy steps of one simulation tick, in the tick's order.
    void tick() {
        updateBuildings(TURN_LENGTH, grid);
        updateConstructionBuildings(TURN_LENGTH, grid);
        updateActivities(TURN_LENGTH);
        updateTrainings(TURN_LENGTH, grid);
        processUnitRemovals(grid);
        processBuildingRemovals(grid);
    }

    // Places a camp at (12, 6) and builds it to completion; the camp's id.
    int buildCamp() {
        const int camp = nextAttackableId;
        EXPECT_TRUE(placeABuildingDown(getUnitById(worker), {12, 6}, "HumanCamp", human, &grid, false));
        arrive(worker);
        for (int i = 0; i < ticksToPass(25.0f); ++i) tick();
        return camp;
    }
};

TEST_F(FightMapTownTicks, APlacedCampIsChargedTakesItsBuilderInCompletesOnTimeAndReleasesItsCivilians) {
    const int camp = nextAttackableId;
    ASSERT_TRUE(placeABuildingDown(getUnitById(worker), {12, 6}, "HumanCamp", human, &grid, false));
    EXPECT_EQ(gold(*human), 850);
    EXPECT_EQ(wood(*human), 1000);
    for (int x = 12; x < 14; ++x)
        for (int y = 6; y < 8; ++y) EXPECT_FALSE(grid.walkable(x, y, Tile::Grass)) << x << "," << y;

    tick();
    EXPECT_TRUE(getUnitById(worker)->onMap) << "still walking to the site";
    arrive(worker);
    tick();
    EXPECT_FALSE(getUnitById(worker)->onMap) << "the builder is inside";

    const int ticks = ticksToPass(25.0f);
    for (int i = 2; i < ticks; ++i) tick();
    EXPECT_FALSE(getBuildingById(camp)->completed) << "not before its progress passes 25 s";
    const size_t before = units.size();
    tick();
    const Building& done = *getBuildingById(camp);
    EXPECT_TRUE(done.completed);
    EXPECT_FLOAT_EQ(done.hp, done.maxHp);
    EXPECT_EQ(human->supplyCap, 3 + 5);
    EXPECT_EQ(human->recruits, 5);
    ASSERT_EQ(units.size(), before + 5);
    for (size_t i = before; i < units.size(); ++i) EXPECT_EQ(units[i].type, "Civilian");
    EXPECT_TRUE(getUnitById(worker)->onMap);
    EXPECT_EQ(human->buildingIds, (std::vector<int>{base, camp}));
    EXPECT_EQ(activityQueue.back().text, "Building complete");
}

TEST_F(FightMapTownTicks, AScavengerOfOneSecondIsTrainedFromACivilianAndWalksToTheRallyPoint) {
    buildCamp();
    for (const Unit& u : units)
        if (u.type == "Civilian") human->unitIds.push_back(u.id);
    unitInfo.at("Scavenger").buildTime = 1.0f;
    Building& hall = *getBuildingById(base);
    ASSERT_TRUE(setRallyPoint(grid, &hall, {60, 40}));
    ASSERT_TRUE(trainUnit("Scavenger", &hall));
    const int recruit = hall.queuedUnits.front().unitId;
    arrive(recruit);
    const int trained = nextAttackableId;
    tick();
    ASSERT_EQ(getBuildingById(base)->productionQueue.size(), 1u) << "it started the tick it arrived";
    for (int i = 1; i < 62; ++i) tick();
    EXPECT_EQ(getUnitById(trained), nullptr) << "the task advances from the tick it starts: 62 ticks are not enough";
    tick();
    const Unit* scavenger = getUnitById(trained);
    ASSERT_NE(scavenger, nullptr);
    EXPECT_EQ(scavenger->type, "Scavenger");
    EXPECT_EQ(getUnitById(recruit), nullptr) << "the civilian was consumed at the end of the tick";
    const V2i spawn = findSpawnTile(*getBuildingById(base), grid, *scavenger);
    EXPECT_EQ(worldToSubTile(scavenger->x, scavenger->y), spawn);
    ASSERT_FALSE(scavenger->waypoints.empty());
    EXPECT_EQ(scavenger->goal, (V2i{60, 40}));
    EXPECT_EQ(human->supplyUsed, 3 + 1);
    EXPECT_EQ(human->recruits, 4);
}

}  // namespace

namespace {

TEST_F(FightMapTownTicks, AWorkersRoundTripFromACrystalToTheBaseAddsExactlyOneLoadOfGold) {
    MapObject* crystal = getMapObjectAtTile({5, 1}, grid);
    ASSERT_NE(crystal, nullptr);
    ASSERT_EQ(crystal->type, "Crystal");
    const int held = crystal->amount;
    Unit& w = *getUnitById(worker);
    w.mineTarget = {crystal->tileX, crystal->tileY};
    ASSERT_TRUE(startMining(w, *crystal, *human, grid));
    EXPECT_EQ(human->crystalWorkers, 1);
    const int goldBefore = gold(*human);
    int ticks = 0;
    for (; ticks < 2000 && gold(*human) == goldBefore; ++ticks) {
        Unit& u = *getUnitById(worker);
        if (u.mining && u.waypoints.empty() && harvestStep(u, grid) == StepResult::EndTick) continue;
        if (miningSpotStep(u, grid) == StepResult::EndTick) continue;
        if (!u.waypoints.empty()) arrive(worker);
    }
    EXPECT_EQ(gold(*human) - goldBefore, 100) << "one load of the worker's carrying capacity";
    EXPECT_EQ(getMapObjectAtTile({5, 1}, grid)->amount, held - 100);
    EXPECT_GE(ticks, CRYSTAL_MINING_TICKS) << "a load takes the crystal mining time";
    const Building& hall = *getBuildingById(base);
    const V2i at = worldToSubTile(getUnitById(worker)->x, getUnitById(worker)->y);
    EXPECT_NE(std::find(hall.nearbyTiles.begin(), hall.nearbyTiles.end(), at), hall.nearbyTiles.end());
}

}  // namespace
