// Training: recruiting civilians, the building tick that starts their training, the training queue, pruning and
// cancelling a slot.
#include <gtest/gtest.h>

#include "economy_world.h"
#include "extraction.h"

namespace {

// A 20x20 grass world with a completed barracks at (8, 8) that trains marines from the owner's civilians.
struct Training : EconomyWorld {
    void SetUp() override {
        EconomyWorld::SetUp();
        addBuildingType("Barracks", 2, 2, 0, 0, 10.0f);
        addUnitType("Marine", "human", 100, 10, 1, 1.0f);
        addUnitType("Civilian", "human", 0, 0, 0, 1.0f).civilian = true;
        unitRequirements["Marine"] = UnitRequirement{};
        buildingUnits["Barracks"] = {"Marine"};
        initializeCivilianLookup();
        owner = &addPlayer(1);
        Player::myStaticId = 1;
        setResources(*owner, 1000, 1000);
        owner->supplyCap = 10;
        owner->recruits = 5;
        barracks = placeBuilding("Barracks", 1, 8, 8, 2, 2);
        getBuildingById(barracks)->computeNearbyTiles();
    }

    Building& b() { return *getBuildingById(barracks); }

    // Orders a marine, walks the recruit in and lets the building start it; the recruit's id.
    int startOneTraining(V2i from) {
        const int civilian = addUnitAt("Civilian", from);
        EXPECT_TRUE(trainUnit("Marine", &b()));
        arrive(civilian);
        updateBuilding(b(), TURN_LENGTH, grid);
        return civilian;
    }

    Player* owner = nullptr;
    int barracks = -1;
};

TEST_F(Training, ATrainedUnitCompletesOnThe63rdTickAtTheSpawnTileAndWalksToTheRallyPoint) {
    const int civilian = addUnitAt("Civilian", {20, 34});
    ASSERT_TRUE(trainUnit("Marine", &b()));
    EXPECT_TRUE(getUnitById(civilian)->assigned);
    EXPECT_FALSE(getUnitById(civilian)->waypoints.empty());
    ASSERT_EQ(b().queuedUnits.size(), 1u);
    EXPECT_TRUE(b().queuedUnits[0].waitingForRecruit);

    updateBuilding(b(), TURN_LENGTH, grid);
    EXPECT_TRUE(b().productionQueue.empty()) << "still walking";
    arrive(civilian);
    const int reservedId = nextAttackableId;
    updateBuilding(b(), TURN_LENGTH, grid);
    ASSERT_EQ(b().productionQueue.size(), 1u);
    EXPECT_EQ(b().productionQueue[0].unitId, reservedId);
    EXPECT_FALSE(getUnitById(civilian)->onMap) << "it went inside";
    EXPECT_EQ(gold(*owner), 900);
    EXPECT_EQ(wood(*owner), 990);
    EXPECT_EQ(owner->supplyUsed, 1);
    EXPECT_EQ(owner->recruits, 4);

    setRallyPoint(grid, &b(), {60, 60});
    for (int tick = 1; tick <= 62; ++tick) updateTraining(b(), TURN_LENGTH, grid);
    EXPECT_EQ(getUnitById(reservedId), nullptr) << "1.0 s is not yet past after 62 ticks";
    updateTraining(b(), TURN_LENGTH, grid);
    const Unit* marine = getUnitById(reservedId);
    ASSERT_NE(marine, nullptr);
    EXPECT_EQ(marine->type, "Marine");
    EXPECT_EQ(marine->playerId, 1);
    Unit probe = *marine;
    const SDL_FPoint spawn = subTileWaypoint(findSpawnTile(b(), grid, probe));
    EXPECT_EQ(marine->x, spawn.x);
    EXPECT_EQ(marine->y, spawn.y);
    EXPECT_EQ(marine->goal, (V2i{60, 60}));
    ASSERT_FALSE(marine->waypoints.empty());
    EXPECT_EQ(worldToSubTile(marine->waypoints.back().x, marine->waypoints.back().y), (V2i{60, 60}));
    EXPECT_EQ(unitsToRemove, std::vector<int>{civilian}) << "the civilian is consumed";
    EXPECT_TRUE(b().queuedUnits.empty());
    EXPECT_TRUE(b().productionQueue.empty());
    ASSERT_EQ(activityQueue.size(), 1u);
    EXPECT_EQ(activityQueue.front().text, "Training complete");
    EXPECT_EQ(sounds, std::vector<std::string>{"Marine.ready"});
}

TEST_F(Training, SevenQueuedTasksRefuseAnEighth) {
    addUnitAt("Civilian", {20, 34});
    TrainingTask task;
    task.duration = 100.0f;
    b().productionQueue.assign(6, task);
    EXPECT_TRUE(trainUnit("Marine", &b()));
    addUnitAt("Civilian", {20, 36});
    b().productionQueue.push_back(task);
    EXPECT_FALSE(trainUnit("Marine", &b()));
    EXPECT_EQ(b().queuedUnits.size(), 1u);
}

TEST_F(Training, RecruitsStillWalkingHoldTheirSlotSoTheQueueNeverPassesSeven) {
    struct Case {
        size_t tasks;
        size_t startedRecruits;
        size_t walkingRecruits;
        bool accepted;
    };
    const Case cases[] = {
        {0, 0, 6, true}, {0, 0, 7, false}, {3, 0, 3, true}, {3, 0, 4, false},
        {4, 4, 2, true}, {4, 4, 3, false}, {6, 6, 0, true}, {7, 7, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.tasks << " tasks, " << c.walkingRecruits << " walking");
        TrainingTask task;
        task.duration = 100.0f;
        b().productionQueue.assign(c.tasks, task);
        b().queuedUnits.assign(c.startedRecruits, QueuedUnit{"Marine", -1, false, true});
        b().queuedUnits.insert(b().queuedUnits.end(), c.walkingRecruits, QueuedUnit{"Marine", -1, true, false});
        const size_t before = b().queuedUnits.size();
        const int civilian = addUnitAt("Civilian", {20, 34});
        EXPECT_EQ(trainUnit("Marine", &b()), c.accepted);
        EXPECT_EQ(b().queuedUnits.size(), before + (c.accepted ? 1 : 0));
        EXPECT_EQ(getUnitById(civilian)->assigned, c.accepted);
        removeUnit(civilian);
    }
}

TEST_F(Training, TenTrainPressesWithCiviliansToSpareQueueSeven) {
    owner->recruits = 10;
    for (int i = 0; i < 10; ++i) addUnitAt("Civilian", {20 + i, 34});
    int accepted = 0;
    for (int press = 0; press < 10; ++press) accepted += trainUnit("Marine", &b()) ? 1 : 0;
    EXPECT_EQ(accepted, 7);
    for (const QueuedUnit& entry : b().queuedUnits) arrive(entry.unitId);
    updateBuilding(b(), TURN_LENGTH, grid);
    EXPECT_EQ(b().productionQueue.size(), 7u);
}

TEST_F(Training, AnOrderIsRefusedWithoutAFreeReachableCivilianOrAnOfferOrRecruits) {
    EXPECT_FALSE(trainUnit("Marine", &b())) << "no civilian";
    const int civilian = addUnitAt("Civilian", {20, 34});
    ASSERT_TRUE(trainUnit("Marine", &b()));
    EXPECT_FALSE(trainUnit("Marine", &b())) << "the only civilian is already assigned";
    EXPECT_EQ(b().queuedUnits.size(), 1u);

    getUnitById(civilian)->assigned = false;
    addUnitType("Medic", "human", 0, 0, 0, 1.0f);
    unitRequirements["Medic"] = UnitRequirement{};
    EXPECT_FALSE(trainUnit("Medic", &b())) << "the barracks does not train medics";
    owner->recruits = 0;
    EXPECT_FALSE(trainUnit("Marine", &b()));
    owner->recruits = 5;
    b().completed = false;
    EXPECT_FALSE(trainUnit("Marine", &b()));
    EXPECT_EQ(b().queuedUnits.size(), 1u);
}

TEST_F(Training, CiviliansThatCannotReachTheBuildingAreNotRecruitedAndTheSearchIsBounded) {
    // A ring of water around the corner of the map walls in the first civilians.
    for (int x = 0; x <= 3; ++x) grid.at(x, 3) = TileInstance{Tile::Water, 0, 0, 0, 0, {}};
    for (int y = 0; y <= 3; ++y) grid.at(3, y) = TileInstance{Tile::Water, 0, 0, 0, 0, {}};
    std::vector<int> walledIn;
    for (int i = 0; i < 4; ++i) walledIn.push_back(addUnitAt("Civilian", {1 + i * 2, 4}));
    for (int i = 0; i < 4; ++i) getUnitById(walledIn[i])->y = subTileWaypoint({0, 1 + i * 2}).y;
    for (int id : walledIn) getUnitById(id)->x = subTileWaypoint({2, 0}).x;
    const int free = addUnitAt("Civilian", {79, 79});
    EXPECT_FALSE(trainUnit("Marine", &b())) << "four unreachable civilians end the order";
    EXPECT_TRUE(b().queuedUnits.empty());
    for (int id : walledIn) EXPECT_FALSE(getUnitById(id)->assigned);

    getUnitById(walledIn[0])->x = subTileWaypoint({70, 70}).x;
    getUnitById(walledIn[0])->y = subTileWaypoint({70, 70}).y;
    EXPECT_TRUE(trainUnit("Marine", &b())) << "a reachable civilian is found once fewer are walled in";
    EXPECT_FALSE(getUnitById(free)->assigned);
}

TEST_F(Training, AWaitingRecruitIsDroppedAndFreedWhenItMayNoLongerBeTrainedButAStartedOneStays) {
    const int first = startOneTraining({20, 34});
    const int second = addUnitAt("Civilian", {20, 36});
    ASSERT_TRUE(trainUnit("Marine", &b()));
    owner->recruits = 0;
    updateTraining(b(), TURN_LENGTH, grid);
    ASSERT_EQ(b().queuedUnits.size(), 1u);
    EXPECT_EQ(b().queuedUnits[0].unitId, first);
    EXPECT_FALSE(getUnitById(second)->assigned);
    EXPECT_FALSE(getUnitById(second)->walkingToTraining);
}

TEST_F(Training, CompletionConsumesTheRecruitThatWentInNotOneStillWalking) {
    const int walking = addUnitAt("Civilian", {20, 36});
    ASSERT_TRUE(trainUnit("Marine", &b()));
    const int inside = startOneTraining({20, 34});
    ASSERT_EQ(b().queuedUnits.size(), 2u);
    for (int tick = 0; tick < 63; ++tick) updateTraining(b(), TURN_LENGTH, grid);
    EXPECT_EQ(unitsToRemove, std::vector<int>{inside});
    ASSERT_EQ(b().queuedUnits.size(), 1u);
    EXPECT_EQ(b().queuedUnits[0].unitId, walking);
}

TEST_F(Training, CancellingASlotRefundsWhatWasPaidToTheOwnerAndLetsTheRecruitGo) {
    addPlayer(2);
    Player::myStaticId = 2;
    const int civilian = startOneTraining({20, 34});
    ASSERT_TRUE(cancelProductionSlot(b(), 0));
    EXPECT_EQ(gold(*owner), 1000);
    EXPECT_EQ(wood(*owner), 1000);
    EXPECT_EQ(owner->supplyUsed, 0);
    EXPECT_EQ(owner->recruits, 5) << "given back to the owner, not to the local player";
    EXPECT_EQ(getPlayerById(2)->recruits, 0);
    const Unit& out = *getUnitById(civilian);
    EXPECT_TRUE(out.onMap);
    EXPECT_FALSE(out.assigned);
    EXPECT_TRUE(b().productionQueue.empty());
    EXPECT_TRUE(b().queuedUnits.empty());
    EXPECT_FALSE(cancelProductionSlot(b(), 0));

    const int walking = addUnitAt("Civilian", {20, 36});
    ASSERT_TRUE(trainUnit("Marine", &b()));
    ASSERT_TRUE(cancelProductionSlot(b(), 0)) << "slots past the queue name the recruits still walking";
    EXPECT_EQ(gold(*owner), 1000) << "nothing was paid for it";
    EXPECT_FALSE(getUnitById(walking)->assigned);
    EXPECT_TRUE(b().queuedUnits.empty());
    EXPECT_FALSE(cancelProductionSlot(b(), -1));
}

// In a mission the civilian inside is the campaign's man power: given back on foot, it is not counted again.
TEST_F(Training, CancellingInAMissionGivesManPowerBackOnlyForARecruitThatDoesNotWalkOut) {
    struct Case {
        bool recruitGone;
        int manPowerAfter;
        V2i from;
    };
    for (const Case c : {Case{false, 3, {20, 34}}, Case{true, 4, {24, 36}}}) {
        SCOPED_TRACE(c.recruitGone ? "recruit gone" : "recruit walks out");
        mode = GameMode::Extraction;
        global_man_power = 3;
        const int civilian = startOneTraining(c.from);
        if (c.recruitGone) {
            ASSERT_TRUE(removeUnit(civilian));
        }
        ASSERT_TRUE(cancelProductionSlot(b(), 0));
        EXPECT_EQ(global_man_power, c.manPowerAfter);
        EXPECT_EQ(getUnitById(civilian) != nullptr, !c.recruitGone);
        removeUnit(civilian);  // the next case recruits its own
    }
}

}  // namespace

namespace {

TEST_F(Training, AFallingBuildingLetsItsRecruitsGoInsteadOfKeepingThemInside) {
    const int inside = startOneTraining({20, 34});
    const int walking = addUnitAt("Civilian", {20, 36});
    ASSERT_TRUE(trainUnit("Marine", &b()));
    b().hp = 0.5f;
    updateBuildings(TURN_LENGTH, grid);
    EXPECT_EQ(buildingsToRemove, std::vector<int>{barracks});
    for (int id : {inside, walking}) {
        EXPECT_TRUE(getUnitById(id)->onMap);
        EXPECT_FALSE(getUnitById(id)->assigned);
    }
    EXPECT_TRUE(b().productionQueue.empty());
}

}  // namespace
