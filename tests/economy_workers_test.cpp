// Workers placing buildings and joining sites, civilians and critters, and the building tick with fire.
#include <gtest/gtest.h>

#include "economy_world.h"

namespace {

// A 20x20 grass world: a farm, a water-placed shipyard and an orc watch tower, a worker and a civilian type.
struct Workers : EconomyWorld {
    void SetUp() override {
        EconomyWorld::SetUp();
        addBuildingType("Farm", 2, 2, 150, 40, 2.0f).supply = true;
        addBuildingType("Shipyard", 2, 2, 0, 0, 2.0f).walkable = Tile::Water;
        addBuildingType("OrcWatchTower", 1, 1, 0, 0, 2.0f);
        for (const char* type : {"Farm", "Shipyard", "OrcWatchTower"}) buildingRequirements[type] = {{}, 0};
        addUnitType("Worker", "human", 50, 0, 1, 1.0f).worker = true;
        addUnitType("Soldier", "human", 50, 0, 1, 1.0f);
        addUnitType("Civilian", "human", 0, 0, 0, 1.0f).civilian = true;
        initializeCivilianLookup();
        owner = &addPlayer(1);
        Player::myStaticId = 1;
        setResources(*owner, 1000, 1000);
    }

    bool place(int worker, V2i tile, const std::string& type = "Farm") {
        return placeABuildingDown(getUnitById(worker), tile, type, owner, &grid, false);
    }

    Player* owner = nullptr;
};

TEST_F(Workers, APlacedSiteIsChargedBlocksItsFootprintAndSendsItsWorkerAndATowerGetsItsRecord) {
    const int worker = addUnitAt("Worker", {10, 10});
    const int id = nextAttackableId;
    ASSERT_TRUE(place(worker, {8, 8}));
    const Building* site = getBuildingById(id);
    ASSERT_NE(site, nullptr);
    EXPECT_FALSE(site->completed);
    EXPECT_FLOAT_EQ(site->hp, 0.0f);
    EXPECT_TRUE(site->providesSupply);
    EXPECT_EQ(gold(*owner), 850);
    EXPECT_EQ(wood(*owner), 960);
    EXPECT_TRUE(owner->buildingIds.empty()) << "a site is not listed among the completed buildings";
    EXPECT_EQ(owner->underConstruction["Farm"], 1);
    for (int x = 8; x < 10; ++x)
        for (int y = 8; y < 10; ++y) EXPECT_FALSE(grid.walkable(x, y, Tile::Grass));
    EXPECT_EQ(constructionManager.builderOf(id), worker);
    const Unit& w = *getUnitById(worker);
    EXPECT_TRUE(w.constructing);
    EXPECT_EQ(w.state, UnitState::Moving);
    ASSERT_FALSE(w.waypoints.empty());
    EXPECT_EQ(worldToSubTile(w.waypoints.back().x, w.waypoints.back().y), (V2i{31, 31}))
        << "the ring corner nearest the worker";
    EXPECT_EQ(sounds, std::vector<std::string>{"Construct"});

    const int builder = addUnitAt("Worker", {60, 60});
    const int tower = nextAttackableId;
    ASSERT_TRUE(place(builder, {14, 14}, "OrcWatchTower"));
    ASSERT_NE(getTowerByBuildingId(tower), nullptr);
}

TEST_F(Workers, PlacementRefusalsChargeNothingAndReportFootprintFaults) {
    const int worker = addUnitAt("Worker", {10, 10});
    setResources(*owner, 149, 1000);
    EXPECT_FALSE(place(worker, {8, 8})) << "gold";
    setResources(*owner, 1000, 39);
    EXPECT_FALSE(place(worker, {8, 8})) << "wood";
    setResources(*owner, 1000, 1000);
    addPlayer(2);
    const int theirs = addUnitAt("Worker", {12, 12}, 2);
    EXPECT_FALSE(place(theirs, {8, 8})) << "a player builds with its own workers only";
    addUnitAt("Soldier", {49, 49});
    EXPECT_FALSE(place(worker, {12, 12})) << "a sub-tile held by another unit";
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(place(worker, {20, 3}));
    EXPECT_FALSE(place(worker, {19, 3}));
    blockArea(grid, {5, 6}, 1, 1);
    EXPECT_FALSE(place(worker, {5, 5}));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "placeABuildingDown: invalid ghostTile 20,3\n"
              "placeABuildingDown: footprint out of bounds at 20,3\n"
              "placeABuildingDown: blocked tile at 5,6\n");
    EXPECT_TRUE(buildings.empty());
    EXPECT_EQ(gold(*owner), 1000);
    EXPECT_TRUE(grid.walkable(8, 8, Tile::Grass));

    getUnitById(worker)->onMap = false;
    EXPECT_FALSE(place(worker, {14, 2})) << "a worker off the map";
    EXPECT_TRUE(placeABuildingDown(getUnitById(worker), {14, 2}, "Farm", owner, &grid, true))
        << "a replay brings it back";
    const int here = addUnitAt("Worker", {33, 33});
    EXPECT_TRUE(place(here, {8, 8})) << "a sub-tile held by the worker itself is no obstacle";
}

TEST_F(Workers, AShipyardNeedsTwoOrThreeWaterTilesAndOtherwiseGrass) {
    const int worker = addUnitAt("Worker", {10, 10});
    auto setTile = [](int x, int y, Tile t) { grid.at(x, y) = TileInstance{t, 0, 0, t == Tile::Water ? uint8_t{0} : uint8_t{1}, 0, {}}; };
    setTile(4, 4, Tile::Water);
    EXPECT_FALSE(place(worker, {4, 4}, "Shipyard")) << "one water tile";
    setTile(5, 4, Tile::Water);
    EXPECT_TRUE(place(worker, {4, 4}, "Shipyard")) << "two water tiles";
    for (int x = 12; x < 14; ++x)
        for (int y = 12; y < 14; ++y) setTile(x, y, Tile::Water);
    const int second = addUnitAt("Worker", {40, 40});
    EXPECT_FALSE(place(second, {12, 12}, "Shipyard")) << "four water tiles";
    setTile(13, 13, Tile::Mud);
    EXPECT_FALSE(place(second, {12, 12}, "Shipyard")) << "a mud tile";
}

TEST_F(Workers, AMiningWorkerTakenToBuildGivesUpItsSpotAndItsCount) {
    const int worker = addUnitAt("Worker", {10, 10});
    resetMiningOccupancy();
    Unit& w = *getUnitById(worker);
    w.mining = true;
    w.harvestKind = ResourceType::Crystal;
    w.miningSubTile = {11, 11};
    owner->crystalWorkers = 1;
    ASSERT_TRUE(tryClaimMiningTile({11, 11}, worker, grid));
    ASSERT_TRUE(place(worker, {8, 8}));
    EXPECT_EQ(owner->crystalWorkers, 0);
    EXPECT_FALSE(getUnitById(worker)->mining);
    EXPECT_EQ(getUnitById(worker)->miningSubTile, (V2i{-1, -1}));
    EXPECT_TRUE(tryClaimMiningTile({11, 11}, 999, grid)) << "the spot is free again";
}

TEST_F(Workers, AnyWorkerOfTheOwnerJoinsASiteWhoseBuilderIsGone) {
    const int first = addUnitAt("Worker", {10, 10});
    const int id = nextAttackableId;
    ASSERT_TRUE(place(first, {8, 8}));
    Building& site = *getBuildingById(id);
    const int second = addUnitAt("Worker", {50, 50});
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(constructBuilding(getUnitById(second), &site, grid));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "building with ID: " + std::to_string(id) +
                                                             " already has a builder with ID: " +
                                                             std::to_string(first) + "\n");
    removeUnit(first);
    const int soldier = addUnitAt("Soldier", {52, 52});
    EXPECT_FALSE(constructBuilding(getUnitById(soldier), &site, grid)) << "only workers build";
    addPlayer(2);
    const int theirs = addUnitAt("Worker", {54, 54}, 2);
    EXPECT_FALSE(constructBuilding(getUnitById(theirs), &site, grid));
    ASSERT_TRUE(constructBuilding(getUnitById(second), &site, grid)) << "any worker type, not one name";
    EXPECT_EQ(constructionManager.builderOf(id), second);
    const Unit& w = *getUnitById(second);
    ASSERT_FALSE(w.waypoints.empty());
    EXPECT_EQ(worldToSubTile(w.waypoints.back().x, w.waypoints.back().y), (V2i{32, 31}))
        << "the first walkable neighbour of the site's corner sub-tile";
    site.completed = true;
    EXPECT_FALSE(constructBuilding(getUnitById(second), &site, grid));
}

TEST_F(Workers, TheNearestFreeCivilianIsChosenTiesKeepTheEarlierOne) {
    const int a = addUnitAt("Civilian", {20, 20});
    const int b = addUnitAt("Civilian", {40, 20});
    const int c = addUnitAt("Civilian", {10, 20});
    const SDL_FPoint mid = subTileWaypoint({30, 20});
    EXPECT_EQ(findClosestAvailableCivilian(owner, mid, {})->id, a);
    EXPECT_EQ(findClosestAvailableCivilian(owner, mid, {a})->id, b);
    getUnitById(a)->assigned = true;
    getUnitById(b)->onMap = false;
    EXPECT_EQ(findClosestAvailableCivilian(owner, mid, {})->id, c);
    addUnitAt("Worker", {30, 20});
    EXPECT_EQ(findClosestAvailableCivilian(owner, mid, {c}), nullptr) << "only civilians count";
    Player& orc = addPlayer(2, "orc");
    EXPECT_EQ(findClosestAvailableCivilian(&orc, mid, {}), nullptr) << "a race without civilians";
}

TEST_F(Workers, CrittersBelongToTheEnvironmentAndUnknownTypesAreNotMade) {
    Player::environmentId = 77;
    addUnitType("Bird", "neutral", 0, 0, 0, 1.0f).walkable = Tile::Any;
    const int id = nextAttackableId;
    const Unit bird = spawnCritter("Bird");
    EXPECT_EQ(bird.id, id);
    EXPECT_EQ(nextAttackableId, id + 1);
    EXPECT_EQ(bird.playerId, 77);
    ::testing::internal::CaptureStderr();
    const Unit none = spawnCritter("Dodo");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[UnitInfo] Unknown unit type: Dodo\n");
    EXPECT_EQ(none.id, -1);
    EXPECT_EQ(nextAttackableId, id + 1);
}

using BuildingTick = Workers;

TEST_F(BuildingTick, ACompletedBuildingBelowOneHitPointIsQueuedForRemovalButASiteIsNot) {
    const int farm = placeBuilding("Farm", 1, 2, 2, 2, 2);
    const int worker = addUnitAt("Worker", {10, 10});
    const int site = nextAttackableId;
    ASSERT_TRUE(place(worker, {12, 12}));
    getBuildingById(farm)->hp = 0.5f;
    getBuildingById(site)->hp = 0.5f;
    updateBuildings(TURN_LENGTH, grid);
    EXPECT_EQ(buildingsToRemove, std::vector<int>{farm});
    getBuildingById(farm)->hp = 1.0f;
    buildingsToRemove.clear();
    updateBuildings(TURN_LENGTH, grid);
    EXPECT_TRUE(buildingsToRemove.empty());
}

TEST_F(BuildingTick, FireSpotsBurnByTheHitPointRatioAndAnimateInFourFrames) {
    Building b;
    b.maxHp = 100.0f;
    b.fireSpots.resize(4);
    const struct {
        float hp;
        int burning;
    } cases[] = {{30.0f, 2}, {10.0f, 3}, {24.9f, 3}, {39.0f, 2}, {59.0f, 1}, {60.0f, 0}};
    for (const auto& c : cases) {
        b.hp = c.hp;
        updateFireActivation(b);
        for (size_t i = 0; i < b.fireSpots.size(); ++i)
            EXPECT_EQ(b.fireSpots[i].active, static_cast<int>(i) < c.burning) << c.hp << " spot " << i;
    }
    b.fireSpots.resize(1);
    b.hp = 10.0f;
    updateFireActivation(b);
    EXPECT_TRUE(b.fireSpots[0].active) << "fewer spots all burn";

    b.fireSpots[0].timer = 0.05f;
    b.fireSpots[0].frame = 3;
    updateFireAnimation(b, 0.06f);
    EXPECT_NEAR(b.fireSpots[0].timer, 0.01f, 1e-6f);
    EXPECT_EQ(b.fireSpots[0].frame, 0);
    b.fireSpots[0].active = false;
    updateFireAnimation(b, 0.5f);
    EXPECT_EQ(b.fireSpots[0].frame, 0);
}

// A 1x1 tower of player 1 at (10, 10) with a 6-tile range, and an enemy player 2.
struct Towers : Workers {
    void SetUp() override {
        Workers::SetUp();
        addPlayer(2);
        tower = placeBuilding("OrcWatchTower", 1, 10, 10, 1, 1);
        addTower(Tower{tower, 1.0f, 4, 0.0f, 6.0f, -1});
    }

    int enemyAt(float x, float y, int playerId = 2) {
        Unit u;
        u.id = nextAttackableId++;
        u.playerId = playerId;
        u.x = x;
        u.y = y;
        u.hp = 10.0f;
        addUnit(u);
        return u.id;
    }

    float reach() const { return 6.0f * 140.0f; }
    int tower = -1;
};

TEST_F(Towers, TheNearestLivingEnemyInRangeIsChosenAndABuildingWinsATie) {
    const float cx = 10.5f * 140.0f;
    const float cy = 10.5f * 140.0f;
    Building* t = getBuildingById(tower);
    EXPECT_EQ(findNewTargetForTower(t, reach()), -1);
    enemyAt(cx, cy, 1);
    EXPECT_EQ(findNewTargetForTower(t, reach()), -1) << "its own side is no target";
    const int far = enemyAt(cx + 700.0f, cy);
    const int near = enemyAt(cx + 420.0f, cy);
    getUnitById(enemyAt(cx + 100.0f, cy))->hp = 0.0f;
    EXPECT_EQ(findNewTargetForTower(t, reach()), near);
    Player::environmentId = 3;
    const int sheep = enemyAt(cx, cy + 280.0f, 3);
    EXPECT_EQ(findNewTargetForTower(t, reach()), sheep) << "the environment's animals count as enemies";
    const int shed = placeBuilding("Farm", 2, 10, 12, 1, 1);
    getBuildingById(shed)->wTiles = 1;
    getBuildingById(shed)->hTiles = 1;
    const int twin = enemyAt(cx, cy + 280.0f);
    EXPECT_NE(twin, shed);
    EXPECT_EQ(findNewTargetForTower(getBuildingById(tower), reach()), shed) << "a building at the same distance";
    (void)far;
}

TEST_F(Towers, AWaitingTowerShootsTheTickAnEnemyComesThenOncePerSecondButASiteOrARuinNever) {
    projectiles.clear();
    getBuildingById(tower)->completed = false;
    updateTowers(1.0f, grid);
    getBuildingById(tower)->completed = true;
    getBuildingById(tower)->hp = 0.0f;
    updateTowers(1.0f, grid);
    EXPECT_FLOAT_EQ(towers[0].cooldownTimer, 0.0f) << "neither counts down";
    getBuildingById(tower)->hp = 100.0f;
    for (int i = 0; i < 625; ++i) updateTowers(TURN_LENGTH, grid);
    EXPECT_TRUE(projectiles.empty());
    EXPECT_GT(towers[0].cooldownTimer, 9.9f) << "the cooldown keeps growing without a target";
    const int enemy = enemyAt(10.5f * 140.0f + 300.0f, 10.5f * 140.0f);
    updateTowers(TURN_LENGTH, grid);
    ASSERT_EQ(projectiles.size(), 1u);
    EXPECT_EQ(sounds, std::vector<std::string>{"BowFire"});
    EXPECT_EQ(projectiles[0].attackerId, tower);
    EXPECT_EQ(projectiles[0].targetId, enemy);
    EXPECT_FLOAT_EQ(projectiles[0].x, 10.5f * 140.0f);
    int ticks = 0;
    while (projectiles.size() == 1 && ticks < 200) {
        updateTowers(TURN_LENGTH, grid);
        ++ticks;
    }
    EXPECT_EQ(ticks, 63) << "the next shot once the cooldown has grown to 1.0 s again";
    projectiles.clear();
}

TEST_F(Towers, ATargetLeavingRangeIsReplacedInTheSameTick) {
    projectiles.clear();
    const int first = enemyAt(10.5f * 140.0f + 300.0f, 10.5f * 140.0f);
    const int second = enemyAt(10.5f * 140.0f, 10.5f * 140.0f + 500.0f);
    towers[0].cooldownTimer = 1.0f;
    updateTowers(TURN_LENGTH, grid);
    ASSERT_EQ(towers[0].targetId, first);
    getUnitById(first)->x += 5000.0f;
    towers[0].cooldownTimer = 1.0f;
    updateTowers(TURN_LENGTH, grid);
    EXPECT_EQ(towers[0].targetId, second);
    ASSERT_EQ(projectiles.size(), 2u);
    EXPECT_EQ(projectiles[1].targetId, second);
    projectiles.clear();
}

}  // namespace
