// The mod host: timers, the nine script functions, callbacks, refusals of bad arguments, hostile scripts, sessions.
#include <algorithm>
#include <sstream>

#include "mod_world.h"

namespace {

using ModHost = ModWorld;

TEST_F(ModHost, TimersFireOnTheTickTheirDelayRunsOutInTheOrderScheduled) {
    start(R"(ticks = 0; order = ""
        function onUpdate() ticks = ticks + 1; if ticks == 1 then after(0, function() zeroAt = ticks + 1 end) end end
        function onInit()
            after(0.05, function() firedAt = ticks + 1; order = order .. "a" end)
            after(0.049, function() order = order .. "b" end)
        end)");
    tick(3);
    EXPECT_EQ(evaluate("firedAt"), "nil");
    tick(1);
    EXPECT_EQ(evaluate("firedAt"), "4");
    EXPECT_EQ(evaluate("order"), "ab");
    EXPECT_EQ(evaluate("zeroAt"), "2");
    EXPECT_TRUE(modManager.timers.empty());
}

TEST_F(ModHost, SpawnedUnitStandsInTheTileCentreAndKeepsItsNumbersAfterDeath) {
    start("");
    const int id = static_cast<int>(std::stod(evaluate(R"(spawnUnit("Marine", 1, 3, 4))")));
    const Unit* unit = getUnitById(id);
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(worldToSubTile(unit->x, unit->y), (V2i{14, 18}));
    const std::string get = "unitGetUserData(" + std::to_string(id) + ", 'level')";
    EXPECT_EQ(evaluate(get), "nil");
    EXPECT_EQ(evaluate("unitSetUserData(" + std::to_string(id) + ", 'level', 7)"), "true");
    addUnitForRemoval(id);
    tick(1);
    EXPECT_EQ(evaluate(get), "7.0");
}

TEST_F(ModHost, MovesSendUnitsAndMarkTheirState) {
    start("");
    const int id = static_cast<int>(std::stod(evaluate(R"(spawnUnit("Grunt", 2, 40, 40))")));
    EXPECT_EQ(evaluate("sendToClosestEnemy(" + std::to_string(id) + ")"), "true");
    Unit* grunt = getUnitById(id);
    const Building* target = findClosestEnemyBuilding(*grunt, grid);
    ASSERT_NE(target, nullptr);
    const V2i beside = findClosestTileAdjacentToBuilding(*target, grid);
    ASSERT_FALSE(grunt->waypoints.empty());
    const V2i end = worldToSubTile(grunt->waypoints.back().x, grunt->waypoints.back().y);
    EXPECT_LE(std::abs(end.x - beside.x * SUBDIVISIONS) + std::abs(end.y - beside.y * SUBDIVISIONS), 2);
    EXPECT_EQ(grunt->state, UnitState::Attacking);
    // Tile (17, 1) is water: no path, yet the unit is marked as moving.
    EXPECT_EQ(evaluate("unitMoveTo(" + std::to_string(id) + ", 17, 1)"), "false");
    EXPECT_EQ(getUnitById(id)->state, UnitState::Moving);
}

TEST_F(ModHost, RefusesBadIdsTypesAndCountsWithoutChangingTheWorld) {
    start("");
    addPlayerGold(headless::DEFENDER_ID, 10);
    const uint64_t before = worldChecksum();
    const char* refused[][2] = {
        {R"(spawnUnit("NoSuchUnit", 1, 3, 4))", "nil"},  {R"(spawnUnit("Marine", 99, 3, 4))", "nil"},
        {R"(spawnUnit("Marine", 1, -1, 4))", "nil"},     {R"(spawnUnit("Marine", 1, 3.5, 4))", "nil"},
        {R"(spawnUnit("Marine", 1, 2^40, 4))", "nil"},   {"spawnUnit(5, 1, 3, 4)", "nil"},
        {"spawnUnit()", "nil"},                          {"addPlayerGold(99, 10)", "false"},
        {"addPlayerGold(1, 2147483647)", "false"},       {"addPlayerGold(1, '5')", "false"},
        {"decreaseBuildingHp(123456, 5)", "false"},      {"sendToClosestEnemy(123456)", "false"},
        {"unitMoveTo(123456, 1, 1)", "false"},           {"unitSetUserData(123456, 'k', 1)", "false"},
        {"unitGetUserData('x', 'k')", "nil"},            {"unitGetUserData(1)", "nil"},
        {"after('soon', print)", "false"},               {"after(0/0, print)", "false"},
        {"after(1, 5)", "false"},                        {"addUnitForRemoval(-1)", "false"},
    };
    for (const auto& [call, answer] : refused) EXPECT_EQ(evaluate(call), answer) << call;
    EXPECT_EQ(worldChecksum(), before);
    EXPECT_TRUE(modManager.timers.empty());
    EXPECT_TRUE(unitsToRemove.empty());
}

TEST_F(ModHost, HostileScriptsCostOneLineEachAndPlayGoesOn) {
    const char* cases[][2] = {
        {"function onUpdate(", "Error loading mod: "},
        {"error('boom')", "Error loading mod: "},
        {"function onUpdate() error('two\\nlines') end", "Lua error in onUpdate: "},
        {"function onUpdate() while true do end end", "script ran too long"},
        {"function onUpdate() local t = {} for i = 1, 1e9 do t[i] = ('x'):rep(2^20) .. i end end", "not enough memory"},
        {"function onInit() os.exit(3) end", "Lua error in onInit: "},
        {"function onUpdate() after(0, function() error({}) end) end", "Lua error in after(): "},
        {"setmetatable(_G, {__index = function() error('trap') end})", ""},
    };
    for (const auto& [script, expected] : cases) {
        std::string said = start(script);
        said += tick(2);
        const int turn = lockstep.currentTurn;
        EXPECT_NE(said.find(expected), std::string::npos) << script << "\n" << said;
        std::istringstream lines(said);
        for (std::string line; std::getline(lines, line);)
            EXPECT_TRUE(line.rfind("Error loading mod: ", 0) == 0 || line.rfind("Lua error in ", 0) == 0) << line;
        EXPECT_GE(turn, 2);
        headless::endTowerDefense();
    }
}

TEST_F(ModHost, UnitsSpawnedFromDeathAndArrivalCallbacksNeverMoveTheUnitsTheTickHolds) {
    start(R"(function onUnitDeath(id) for i = 1, 1000 do spawnUnit("Marine", 2, 30, 30) end end
             function onUnitArrive(id) spawnUnit("Marine", 2, 40, 40) end)");
    for (int round = 0; round < 3; ++round) {
        tick(1);
        const size_t before = units.size();
        Unit& victim = units.front();
        victim.hp = 1.0f;
        applyAttackDamage(&units.back(), &victim, grid);
        EXPECT_GT(units.size(), before);
        EXPECT_LE(units.size() - before, static_cast<size_t>(MAX_SCRIPT_SPAWNS_PER_TICK));
    }
}

TEST_F(ModHost, ASecondSessionInheritsNoTimerCallbackOrUserData) {
    start(R"(function onInit() after(0.5, function() addPlayerGold(1, 500) end) end
             function onUnitArrive(id) unitSetUserData(id, "seen", 1) end)");
    tick(1);
    EXPECT_FALSE(unitUserData.empty());
    headless::endTowerDefense();
    start("");
    const int gold = getPlayerById(headless::DEFENDER_ID)->resources[RESOURCE_GOLD];
    EXPECT_TRUE(modManager.timers.empty());
    EXPECT_TRUE(unitUserData.empty());
    tick(60);
    EXPECT_EQ(getPlayerById(headless::DEFENDER_ID)->resources[RESOURCE_GOLD], gold);
    EXPECT_TRUE(unitUserData.empty());
}

}  // namespace
