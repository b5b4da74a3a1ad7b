// Tech rules, upgrade research and its effect on units, the activity feed and the control groups.
#include <gtest/gtest.h>

#include "economy_world.h"

namespace {

struct TechRules : EconomyWorld {
    void SetUp() override {
        EconomyWorld::SetUp();
        addUnitType("Marine", "human", 100, 20, 2, 15.0f);
        unitRequirements["Marine"] = UnitRequirement{{"Barracks"}, 1};
        addBuildingType("Barracks", 2, 2, 0, 0, 10.0f).tier = 1;
        addBuildingType("Keep", 2, 2, 0, 0, 10.0f).tier = 2;
        addBuildingType("Tower", 1, 1, 0, 0, 10.0f);
        buildingRequirements["Tower"] = BuildingRequirement{{"Barracks"}, 2};
    }
};

TEST_F(TechRules, TrainingNeedsARowSupplyGoldWoodAndACompletedRequiredBuilding) {
    Player& p = addPlayer(1);
    setResources(p, 100, 20);
    p.supplyCap = 10;
    p.supplyUsed = 8;
    EXPECT_FALSE(canTrainUnit(p, "Marine")) << "no barracks yet";
    const int barracks = placeBuilding("Barracks", 1, 2, 2, 2, 2);
    EXPECT_TRUE(canTrainUnit(p, "Marine")) << "supply exactly reaching the cap is allowed";

    p.supplyUsed = 9;
    EXPECT_FALSE(canTrainUnit(p, "Marine"));
    p.supplyUsed = 8;
    setResources(p, 99, 20);
    EXPECT_FALSE(canTrainUnit(p, "Marine"));
    setResources(p, 100, 19);
    EXPECT_FALSE(canTrainUnit(p, "Marine"));
    setResources(p, 100, 20);
    getBuildingById(barracks)->completed = false;
    EXPECT_FALSE(canTrainUnit(p, "Marine")) << "a site is not a building";
    getBuildingById(barracks)->completed = true;
    buildingsToRemove.push_back(barracks);
    processBuildingRemovals(grid);
    EXPECT_FALSE(canTrainUnit(p, "Marine")) << "a removed building no longer counts";

    unitRequirements["Ghost"] = UnitRequirement{};
    EXPECT_FALSE(canTrainUnit(p, "Ghost")) << "a row without a catalogue record";
    addUnitType("Medic", "human", 0, 0, 0, 1.0f);
    EXPECT_FALSE(canTrainUnit(p, "Medic")) << "a catalogue record without a row";
}

TEST_F(TechRules, BuildingNeedsItsRequiredBuildingsAndABuildingOfTheRequiredTier) {
    Player& p = addPlayer(1);
    EXPECT_FALSE(canConstructBuilding(p, "Unlisted"));
    placeBuilding("Barracks", 1, 2, 2, 2, 2);
    EXPECT_FALSE(canConstructBuilding(p, "Tower")) << "tier 2 missing";
    placeBuilding("Keep", 1, 6, 2, 2, 2);
    EXPECT_TRUE(canConstructBuilding(p, "Tower"));

    buildingRequirements["Tower"].requiredTier = 0;
    p.completedBuildings["Barracks"] = 0;
    EXPECT_FALSE(canConstructBuilding(p, "Tower")) << "the required barracks is counted";
    p.completedBuildings["Barracks"] = 1;
    EXPECT_TRUE(canConstructBuilding(p, "Tower"));
}

TEST_F(TechRules, DebugModeHoldsEveryUpgradeAndSoResearchesNone) {
    Player& p = addPlayer(1);
    upgradeRequirements["Armor1"] = UpgradeRequirement{};
    upgradeRequirements["Armor2"] = UpgradeRequirement{{"Armor1"}, 2};
    EXPECT_FALSE(hasUpgrade(1, "Armor1"));
    EXPECT_TRUE(canResearch(p, "Armor1"));
    EXPECT_FALSE(canResearch(p, "Armor2"));
    EXPECT_FALSE(canResearch(p, "NoRow"));
    playerUpgrades[1].insert("Armor1");
    EXPECT_FALSE(canResearch(p, "Armor1")) << "held once, never again";
    EXPECT_TRUE(canResearch(p, "Armor2"));

    DEBUG_MODE = true;
    EXPECT_TRUE(hasUpgrade(1, "Anything"));
    EXPECT_FALSE(canResearch(p, "Armor2"));
}

// A blacksmith with an armour upgrade and a barracks that grows into a keep.
struct Research : EconomyWorld {
    void SetUp() override {
        EconomyWorld::SetUp();
        addBuildingType("Smith", 2, 2, 0, 0, 10.0f);
        addBuildingType("Barracks", 3, 3, 0, 0, 10.0f).hp = 800.0f;
        addBuildingType("Keep", 3, 3, 0, 0, 10.0f).hp = 1000.0f;
        addUpgrade("Armor1", UpgradeType::Defense, 2, 200, 100, "Smith");
        addUpgrade("ToKeep", UpgradeType::Tier, 0, 300, 100, "Barracks").transformTo = "Keep";
        owner = &addPlayer(1);
        addPlayer(2);
        Player::myStaticId = 1;
        setResources(*owner, 1000, 1000);
        smith = placeBuilding("Smith", 1, 2, 2, 2, 2);
    }

    int unitOf(int playerId, UnitCategory category, const std::string& type = "Marine") {
        Unit u;
        u.id = nextAttackableId++;
        u.playerId = playerId;
        u.category = category;
        u.type = type;
        addUnit(u);
        return u.id;
    }

    void runQueue(Building& b) {
        while (!b.productionQueue.empty()) updateTraining(b, 1.0f, grid);
    }

    Player* owner = nullptr;
    int smith = -1;
};

TEST_F(Research, ADefenseUpgradeRaisesTheArmourOfExistingAndNewUnitsOfItsCategory) {
    const int mine = unitOf(1, UnitCategory::Ground);
    const int flyer = unitOf(1, UnitCategory::Air);
    const int theirs = unitOf(2, UnitCategory::Ground);
    ASSERT_TRUE(researchUpgrade(getBuildingById(smith), "Armor1"));
    EXPECT_EQ(gold(*owner), 800);
    EXPECT_EQ(wood(*owner), 900);
    EXPECT_EQ(getUnitById(mine)->armor, 0) << "not before the research completes";

    runQueue(*getBuildingById(smith));
    EXPECT_EQ(getUnitById(mine)->armor, 2);
    EXPECT_EQ(getUnitById(flyer)->armor, 0);
    EXPECT_EQ(getUnitById(theirs)->armor, 0);
    ASSERT_FALSE(activityQueue.empty());
    EXPECT_EQ(activityQueue.back().text, "Upgrade complete");

    Unit fresh;
    fresh.playerId = 1;
    fresh.type = "Marine";
    applyHeldUpgrades(fresh);
    EXPECT_EQ(fresh.armor, 2) << "a new unit receives the held upgrade";
    fresh.playerId = 2;
    fresh.armor = 0;
    applyHeldUpgrades(fresh);
    EXPECT_EQ(fresh.armor, 0);
}

TEST_F(Research, ANewMatchStartsWithoutTheLastMatchsResearch) {
    ASSERT_TRUE(researchUpgrade(getBuildingById(smith), "Armor1"));
    runQueue(*getBuildingById(smith));
    ASSERT_TRUE(hasUpgrade(1, "Armor1"));
    resetResearch();
    Unit fresh;
    fresh.playerId = 1;
    applyHeldUpgrades(fresh);
    EXPECT_EQ(fresh.armor, 0);
    EXPECT_TRUE(canResearch(*owner, "Armor1"));
}

TEST_F(Research, ATierUpgradeTransformsTheBuildingWithAFullRepairAndMovesTheCounts) {
    const int barracks = placeBuilding("Barracks", 1, 8, 8, 3, 3);
    Building& b = *getBuildingById(barracks);
    b.hp = 100.0f;
    const int marine = unitOf(1, UnitCategory::Ground);
    ASSERT_TRUE(researchUpgrade(&b, "ToKeep"));
    runQueue(*getBuildingById(barracks));

    const Building& keep = *getBuildingById(barracks);
    EXPECT_EQ(keep.type, "Keep");
    EXPECT_EQ((V2i{keep.x, keep.y}), (V2i{8, 8}));
    EXPECT_EQ(keep.wTiles, 3);
    EXPECT_FLOAT_EQ(keep.hp, 800.0f) << "the old type's hit points";
    EXPECT_FLOAT_EQ(keep.maxHp, 800.0f);
    EXPECT_EQ(owner->completedBuildings["Barracks"], 0);
    EXPECT_EQ(owner->completedBuildings["Keep"], 1);
    EXPECT_EQ(getUnitById(marine)->damage, Unit{}.damage) << "units are not touched";
    EXPECT_TRUE(hasUpgrade(1, "ToKeep"));
}

TEST_F(Research, RefusalsAndADuplicateRequestChargeNothing) {
    Building& s = *getBuildingById(smith);
    setResources(*owner, 199, 1000);
    EXPECT_FALSE(researchUpgrade(&s, "Armor1"));
    setResources(*owner, 1000, 99);
    EXPECT_FALSE(researchUpgrade(&s, "Armor1"));
    setResources(*owner, 1000, 1000);
    EXPECT_FALSE(researchUpgrade(&s, "ToKeep")) << "the smith does not offer it";
    EXPECT_FALSE(researchUpgrade(&s, "NoSuchUpgrade"));
    s.completed = false;
    EXPECT_FALSE(researchUpgrade(&s, "Armor1"));
    EXPECT_EQ(gold(*owner), 1000);
    EXPECT_EQ(wood(*owner), 1000);
    EXPECT_TRUE(s.productionQueue.empty());

    s.completed = true;
    ASSERT_TRUE(researchUpgrade(&s, "Armor1"));
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(researchUpgrade(&s, "Armor1"));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "upgrade already in queue: Armor1");
    EXPECT_EQ(gold(*owner), 800);
    EXPECT_EQ(s.productionQueue.size(), 1u);
}

TEST_F(Research, AnUpgradeRunsAtOneBuildingOfAPlayerAtATimeAndIsPaidAndAppliedOnce) {
    enum class Other { Researching, Cancelled, OfAnotherPlayer };
    struct Case {
        Other other;
        bool secondAccepted;
    };
    const Case cases[] = {{Other::Researching, false}, {Other::Cancelled, true}, {Other::OfAnotherPlayer, true}};
    int column = 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.other));
        resetResearch();
        setResources(*owner, 1000, 1000);
        setResources(*getPlayerById(2), 1000, 1000);
        const int marine = unitOf(1, UnitCategory::Ground);
        const int first = placeBuilding("Smith", c.other == Other::OfAnotherPlayer ? 2 : 1, column, 6, 2, 2);
        const int second = placeBuilding("Smith", 1, column, 10, 2, 2);
        column += 4;
        ASSERT_TRUE(researchUpgrade(getBuildingById(first), "Armor1"));
        if (c.other == Other::Cancelled) {
            ASSERT_TRUE(cancelProductionSlot(*getBuildingById(first), 0));
        }

        EXPECT_EQ(researchUpgrade(getBuildingById(second), "Armor1"), c.secondAccepted);
        EXPECT_EQ(gold(*owner), 800) << "paid once";
        runQueue(*getBuildingById(first));
        runQueue(*getBuildingById(second));
        EXPECT_EQ(getUnitById(marine)->armor, 2) << "applied once";
        EXPECT_TRUE(hasUpgrade(1, "Armor1"));
    }
}

TEST_F(Research, ACancelledResearchIsRefundedAndNeverCompletes) {
    Building& s = *getBuildingById(smith);
    const int marine = unitOf(1, UnitCategory::Ground);
    ASSERT_TRUE(researchUpgrade(&s, "Armor1"));
    updateTraining(s, 5.0f, grid);
    ASSERT_TRUE(cancelProductionSlot(s, 0));
    EXPECT_EQ(gold(*owner), 1000);
    EXPECT_EQ(wood(*owner), 1000);
    EXPECT_TRUE(s.productionQueue.empty());
    EXPECT_TRUE(s.researched.empty());
    for (int i = 0; i < 20; ++i) updateTraining(s, 1.0f, grid);
    EXPECT_FALSE(hasUpgrade(1, "Armor1"));
    EXPECT_EQ(getUnitById(marine)->armor, 0);
    EXPECT_TRUE(researchUpgrade(&s, "Armor1")) << "it can be queued again";
    EXPECT_FALSE(cancelProductionSlot(s, 3));
}

TEST(ActivityFeed, NoticesLeaveFromTheFrontOnlyOnceTheirTimeIsStrictlyPast) {
    activityQueue.clear();
    postActivity("first", nullptr);
    activityQueue.push_back(Activity{"short", nullptr, 2.0f, 0.0f});
    updateActivities(2.5f);
    EXPECT_EQ(activityQueue.size(), 2u) << "an expired notice waits behind a live one";
    updateActivities(2.5f);
    EXPECT_EQ(activityQueue.size(), 2u) << "elapsed equal to the duration is still shown";
    updateActivities(0.001f);
    EXPECT_TRUE(activityQueue.empty()) << "both leave in the same tick";
}

TEST(ControlGroups, TenGroupsStoreInOrderAndIndexesOutsideAreHarmless) {
    ControlGroupManager groups;
    const std::vector<ObjectID> stored{{7, ObjectKind::Unit}, {3, ObjectKind::Building}};
    groups.store(9, stored);
    groups.store(10, stored);
    groups.store(-1, stored);
    EXPECT_EQ(groups.group(9), stored);
    EXPECT_TRUE(groups.group(0).empty());
    EXPECT_TRUE(groups.group(10).empty());
    EXPECT_TRUE(groups.group(-1).empty());
    groups.clearAll();
    EXPECT_TRUE(groups.group(9).empty());
}

}  // namespace
