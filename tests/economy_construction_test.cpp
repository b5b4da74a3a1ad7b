// The construction manager: builders, construction progress, completion, and cancelling a site.
#include <gtest/gtest.h>

#include "economy_world.h"

namespace {

// A 20x20 grass world with a human farm type that gives supply and warmth, a worker type and a civilian type.
struct Construction : EconomyWorld {
    void SetUp() override {
        EconomyWorld::SetUp();
        BuildingInfo& farm = addBuildingType("Farm", 2, 2, 150, 40, 2.0f);
        farm.supply = true;
        farm.providesEffect = std::string("Warmth");
        farm.effectRadius = 2;
        addUnitType("Worker", "human", 50, 0, 1, 1.0f).worker = true;
        addUnitType("Civilian", "human", 0, 0, 0, 1.0f).civilian = true;
        initializeCivilianLookup();
        owner = &addPlayer(1);
        Player::myStaticId = 1;
    }

    // An unfinished farm at (8, 8) registered as a site of the owner, as placement leaves it.
    int addSite(int playerId = 1) {
        Building b;
        b.id = nextAttackableId++;
        b.type = "Farm";
        b.playerId = playerId;
        b.x = b.y = 8;
        b.wTiles = b.hTiles = 2;
        b.maxHp = 100.0f;
        b.buildTime = 2.0f;
        b.providesSupply = true;
        addBuilding(b)->computeNearbyTiles();
        blockArea(grid, {8, 8}, 2, 2);
        if (Player* p = getPlayerById(playerId)) p->underConstruction["Farm"] += 1;
        return b.id;
    }

    Player* owner = nullptr;
};

TEST_F(Construction, ASiteTakesOneLivingBuilderAndABuilderOneSite) {
    const int a = addSite();
    const int b = addSite();
    const int first = addUnitAt("Worker", {50, 50});
    const int second = addUnitAt("Worker", {52, 52});
    ASSERT_TRUE(constructionManager.assign(first, a));
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(constructionManager.assign(second, a));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "building with ID: " + std::to_string(a) +
                                                             " already has a builder with ID: " +
                                                             std::to_string(first) + "\n");
    EXPECT_TRUE(constructionManager.assign(first, b));
    EXPECT_EQ(constructionManager.builderOf(a), NO_BUILDER) << "the old site stalls";
    EXPECT_TRUE(constructionManager.assign(second, a)) << "a stalled site takes a new builder";
    removeUnit(second);
    EXPECT_TRUE(constructionManager.assign(addUnitAt("Worker", {54, 54}), a)) << "so does one whose builder died";
}

TEST_F(Construction, TheBuilderGoesInOnArrivalAndTheSiteCompletesOnTheFirstTickPastItsBuildTime) {
    const int site = addSite();
    const int worker = addUnitAt("Worker", {31, 44});
    constructionManager.assign(worker, site);
    updateConstructionBuildings(TURN_LENGTH, grid);
    EXPECT_TRUE(getUnitById(worker)->onMap) << "not on the ring yet";
    EXPECT_FLOAT_EQ(getBuildingById(site)->progress, 0.0f);

    getUnitById(worker)->y = subTileWaypoint({31, 36}).y;
    addToSelection(worker);
    updateConstructionBuildings(TURN_LENGTH, grid);
    EXPECT_FALSE(getUnitById(worker)->onMap);
    EXPECT_FALSE(isSelected(worker));
    EXPECT_EQ(isSubTileReserved({31, 44}), FREE_SUB_TILE);
    EXPECT_FLOAT_EQ(getBuildingById(site)->progress, TURN_LENGTH) << "it advances in the arrival tick";

    for (int i = 2; i < ticksToPass(2.0f); ++i) {
        updateConstructionBuildings(TURN_LENGTH, grid);
        const Building& b = *getBuildingById(site);
        ASSERT_FALSE(b.completed) << "tick " << i;
        ASSERT_LE(b.hp, b.progress / 2.0f * 100.0f + 1e-3f) << "hit points follow the progress";
    }
    updateConstructionBuildings(TURN_LENGTH, grid);
    const Building& b = *getBuildingById(site);
    EXPECT_TRUE(b.completed);
    EXPECT_LE(b.hp, b.maxHp);
    EXPECT_EQ(owner->buildingIds, std::vector<int>{site});
    EXPECT_EQ(owner->completedBuildings["Farm"], 1);
    EXPECT_EQ(owner->underConstruction["Farm"], 0);
    EXPECT_TRUE(effectGrid.hasTag({8, 8}, "Warmth"));
    EXPECT_EQ(constructionManager.entries().count(site), 0u);
    const Unit& w = *getUnitById(worker);
    EXPECT_TRUE(w.onMap);
    EXPECT_FALSE(w.constructing);
    EXPECT_TRUE(grid.walkable(truncToInt(w.x / 140.0f), truncToInt(w.y / 140.0f), Tile::Grass));
    ASSERT_EQ(activityQueue.size(), 1u);
    EXPECT_EQ(activityQueue.front().text, "Building complete");
    EXPECT_EQ(sounds, std::vector<std::string>{"human.WorkComplete"});
}

TEST_F(Construction, ACompletedSupplyBuildingAddsSupplyRecruitsAndFiveCivilians) {
    const int site = addSite();
    constructionManager.assign(addUnitAt("Worker", {33, 33}), site);
    const size_t before = units.size();
    for (int i = 0; i < ticksToPass(2.0f); ++i) updateConstructionBuildings(TURN_LENGTH, grid);
    EXPECT_EQ(owner->supplyCap, 3 + 5);
    EXPECT_EQ(owner->recruits, 5);
    ASSERT_EQ(units.size(), before + 5);
    EXPECT_EQ(neutralCivilianIds.size(), 5u);
    for (size_t i = before; i < units.size(); ++i) {
        EXPECT_EQ(units[i].type, "Civilian");
        EXPECT_EQ(units[i].playerId, 1);
        EXPECT_EQ(isSubTileReserved(worldToSubTile(units[i].x, units[i].y)), units[i].id) << "it holds its spot";
    }
}

TEST_F(Construction, InExtractionTheCiviliansComeFromTheManPowerAndOthersCompletionsStayOutOfTheFeed) {
    mode = GameMode::Extraction;
    global_man_power = 3;
    addPlayer(2);
    const int site = addSite(2);
    constructionManager.assign(addUnitAt("Worker", {33, 33}, 2), site);
    for (int i = 0; i < ticksToPass(2.0f); ++i) updateConstructionBuildings(TURN_LENGTH, grid);
    const Player& other = *getPlayerById(2);
    EXPECT_EQ(other.supplyCap, 8);
    EXPECT_EQ(other.recruits, 3);
    EXPECT_EQ(neutralCivilianIds.size(), 3u);
    EXPECT_EQ(global_man_power, 0);
    EXPECT_TRUE(activityQueue.empty());
    EXPECT_EQ(sounds.size(), 1u) << "the completion sound plays for every player";
}

TEST_F(Construction, ASiteWhoseBuilderDiedStandsStill) {
    const int site = addSite();
    const int worker = addUnitAt("Worker", {33, 33});
    constructionManager.assign(worker, site);
    updateConstructionBuildings(TURN_LENGTH, grid);
    const float hp = getBuildingById(site)->hp;
    removeUnit(worker);
    for (int i = 0; i < 10; ++i) updateConstructionBuildings(TURN_LENGTH, grid);
    EXPECT_FLOAT_EQ(getBuildingById(site)->hp, hp);
    EXPECT_FLOAT_EQ(getBuildingById(site)->progress, TURN_LENGTH);
}

TEST_F(Construction, ABuilderInsideADestroyedSiteComesOutAgain) {
    const int site = addSite();
    const int worker = addUnitAt("Worker", {33, 33});
    constructionManager.assign(worker, site);
    updateConstructionBuildings(TURN_LENGTH, grid);
    ASSERT_FALSE(getUnitById(worker)->onMap);
    buildingsToRemove.push_back(site);
    processBuildingRemovals(grid);
    ::testing::internal::CaptureStderr();
    updateConstructionBuildings(TURN_LENGTH, grid);
    updateConstructionBuildings(TURN_LENGTH, grid);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "updateConstructionBuildings: building " + std::to_string(site) + " not found\n");
    EXPECT_TRUE(getUnitById(worker)->onMap);
    EXPECT_FALSE(getUnitById(worker)->constructing);
    EXPECT_TRUE(constructionManager.entries().empty());
}

TEST_F(Construction, CancellingRefundsTheOwnerOnceLetsTheBuilderOutAndNeverAppliesToAFinishedBuilding) {
    addPlayer(2);
    Player::myStaticId = 2;
    const int site = addSite();
    const int worker = addUnitAt("Worker", {33, 33});
    constructionManager.assign(worker, site);
    updateConstructionBuildings(TURN_LENGTH, grid);
    setResources(*owner, 10, 10);
    ASSERT_TRUE(cancelConstruction(*getBuildingById(site), grid));
    EXPECT_EQ(gold(*owner), 10 + 112) << "150 x 0.75 truncated, to the owner, not the local player";
    EXPECT_EQ(wood(*owner), 10 + 30);
    EXPECT_EQ(gold(*getPlayerById(2)), 0);
    EXPECT_TRUE(getUnitById(worker)->onMap);
    EXPECT_TRUE(grid.walkable(8, 8, Tile::Grass));
    EXPECT_FALSE(cancelConstruction(*getBuildingById(site), grid)) << "cancelled once per site";
    EXPECT_EQ(gold(*owner), 122);
    processBuildingRemovals(grid);
    EXPECT_EQ(getBuildingById(site), nullptr);

    const int bare = addSite();
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(cancelConstruction(*getBuildingById(bare), grid));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "cancelConstruction hidden unit not found: -1\n");
    EXPECT_EQ(gold(*owner), 122 + 112);

    const int farm = placeBuilding("Farm", 1, 2, 2, 2, 2);
    EXPECT_FALSE(cancelConstruction(*getBuildingById(farm), grid));
    EXPECT_EQ(gold(*owner), 122 + 112);
}

}  // namespace
