// Spawning and registration: placement, derived tick values, ids, owners, call signs, dummies and critters.
#include <gtest/gtest.h>

#include <cstdlib>

#include "motion_world.h"

namespace {

using Spawning = MotionWorld;

TEST_F(Spawning, AUnitSpawnedAtAPointInTilesStandsOnItsSubTileCentreAndHoldsIt) {
    unitInfo["Footman"].attackSpeed = 0.7f;
    const int id = spawnUnitAt("Footman", LOCAL, {3.3f, 2.0f});
    const Unit& u = unit(id);
    EXPECT_FLOAT_EQ(u.x, 472.5f);
    EXPECT_FLOAT_EQ(u.y, 297.5f);
    EXPECT_EQ(u.scanInterval, 62);
    EXPECT_EQ(u.attackInterval, 89) << "62.499996 / 0.7, rounded";
    EXPECT_EQ(u.speedPerTick, 3);
    EXPECT_EQ(reservedTiles[8 * SUB_MAP_W + 13], id);
    EXPECT_EQ(u.occupiedSubTile, (V2i{13, 8}));
}

TEST_F(Spawning, SpawnedUnitsTakeIdsInOrderFromTheCounterBuildingsShare) {
    unitInfo["Ogre"] = unitInfo["Footman"];
    unitInfo["Ogre"].type = "Ogre";
    unitInfo["Ogre"].subtiles = 3;
    const int first = spawnUnitAt("Ogre", LOCAL, {5.0f, 5.0f});
    const int hall = placeBuilding("Hall", LOCAL, 10, 10, 2, 2);
    const int second = spawnUnitAt("Footman", ENEMY, {6.0f, 5.0f});
    EXPECT_EQ(hall, first + 1);
    EXPECT_EQ(second, first + 2);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            EXPECT_EQ(reservedTiles[static_cast<size_t>(20 + dy) * SUB_MAP_W + 20 + dx], first) << "its footprint";

    Unit* third = spawnUnit("Footman", LOCAL);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->id, second + 1);
}

TEST_F(Spawning, SpawnUnitPlacesEachSideAtItsFixedPointWithoutReserving) {
    const int local = spawnUnit("Footman", LOCAL)->id;
    const int other = spawnUnit("Footman", ENEMY)->id;
    EXPECT_FLOAT_EQ(unit(local).x, 4.5f * 140.0f);
    EXPECT_FLOAT_EQ(unit(local).y, 4.5f * 140.0f);
    EXPECT_FLOAT_EQ(unit(other).x, 15.5f * 140.0f);
    EXPECT_FLOAT_EQ(unit(other).y, 4.5f * 140.0f);
    for (int32_t holder : reservedTiles) EXPECT_EQ(holder, 0);
}

TEST_F(Spawning, AnUnknownTypeMakesNoUnitAndUsesNoId) {
    const int next = nextAttackableId;
    EXPECT_EQ(spawnUnit("Nobody", LOCAL), nullptr);
    EXPECT_EQ(spawnDummy("Nobody", LOCAL), nullptr);
    EXPECT_EQ(spawnUnitAt("Nobody", LOCAL, {1.0f, 1.0f}), -1);
    EXPECT_EQ(nextAttackableId, next);
    EXPECT_TRUE(units.empty());
}

TEST_F(Spawning, ANewUnitIsListedForItsOwnerButACritterForNobody) {
    mode = GameMode::Extraction;
    unitHooks.randomNickname = [] { return std::string("Vesper"); };
    unitInfo["Sheep"] = unitInfo["Footman"];
    unitInfo["Sheep"].type = "Sheep";
    const int footman = spawnUnitAt("Footman", LOCAL, {2.0f, 2.0f});
    const int sheep = spawnUnitAt("Sheep", LOCAL, {3.0f, 2.0f});
    const Player* owner = getPlayerById(LOCAL);
    EXPECT_EQ(owner->unitIds, std::vector<int>{footman});
    EXPECT_EQ(owner->unitCounts.at("Footman"), 1);
    EXPECT_EQ(owner->unitCounts.count("Sheep"), 0u);
    EXPECT_EQ(unit(footman).nickname, "Vesper");
    EXPECT_EQ(unit(sheep).nickname, "") << "a critter gets no call sign";

    mode = GameMode::Skirmish;
    const int skirmisher = spawnUnitAt("Footman", LOCAL, {4.0f, 2.0f});
    EXPECT_EQ(unit(skirmisher).nickname, "");
    EXPECT_GT(spawnUnitAt("Footman", 99, {5.0f, 2.0f}), 0) << "an unknown owner is skipped silently";
}

TEST_F(Spawning, ANewUnitReceivesTheUpgradesItsOwnerHolds) {
    UnitUpgrade armour;
    armour.id = "Plates";
    armour.type = UpgradeType::Defense;
    armour.bonus = 2;
    UnitUpgrade sights = armour;
    sights.id = "Scopes";
    sights.type = UpgradeType::Sight;
    sights.unitNames = {"Archer"};
    upgrades = {{"Plates", armour}, {"Scopes", sights}};
    playerUpgrades = {{LOCAL, {"Plates", "Scopes"}}};
    const int mine = spawnUnitAt("Footman", LOCAL, {2.0f, 2.0f});
    const int theirs = spawnUnitAt("Footman", ENEMY, {3.0f, 2.0f});
    EXPECT_EQ(unit(mine).armor, 2);
    EXPECT_EQ(unit(mine).sight, 5) << "an upgrade for other types only";
    EXPECT_EQ(unit(theirs).armor, 0);
}

TEST_F(Spawning, ARemovedUnitLeavesItsOwnersListAndGivesBackItsSupply) {
    unitInfo["Footman"].foodCost = 2;
    Player* owner = getPlayerById(LOCAL);
    const int kept = spawnUnitAt("Footman", LOCAL, {2.0f, 2.0f});
    const int lost = spawnUnitAt("Footman", LOCAL, {3.0f, 2.0f});
    owner->supplyUsed = 4;
    unit(lost).hp = 0.0f;
    tick();
    EXPECT_EQ(getUnitById(lost), nullptr);
    EXPECT_EQ(owner->unitIds, std::vector<int>{kept});
    EXPECT_EQ(owner->supplyUsed, 2);
}

TEST_F(Spawning, CrittersLandOnlyOnWalkableGroundAndBelongToNobody) {
    unitInfo["Bird"] = unitInfo["Footman"];
    unitInfo["Bird"].type = "Bird";
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            if (x != 7) grid.at(x, y).walkable = 0;  // one column of ground
    std::srand(1);
    spawnCritters(grid);
    ASSERT_EQ(units.size(), 8u);
    for (const Unit& bird : units) {
        EXPECT_EQ(bird.type, "Bird");
        EXPECT_EQ(bird.playerId, NATURE);
        EXPECT_EQ(worldToTile(bird.x, bird.y).x, 7);
    }
    for (const auto& p : players) EXPECT_TRUE(p->unitIds.empty());

    // The same seed lands them in the same places.
    const std::vector<Unit> first = units;
    units.clear();
    unitIdToIndex.clear();
    std::srand(1);
    spawnCritters(grid);
    for (size_t i = 0; i < units.size(); ++i) EXPECT_EQ(units[i].x, first[i].x);
}

TEST_F(Spawning, CrittersStayAwayFromAMapWithNoGroundForThem) {
    unitInfo["Bird"] = unitInfo["Footman"];
    unitInfo["Bird"].type = "Bird";
    for (TileInstance& t : grid.tiles) t.walkable = 0;
    spawnCritters(grid);
    EXPECT_TRUE(units.empty());
}

}  // namespace
