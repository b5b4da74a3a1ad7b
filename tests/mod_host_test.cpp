// The mod host: timers, the nine script functions, callbacks, refusals of bad arguments, hostile scripts, sessions.
#include <algorithm>
#include <functional>
#include <map>
#include <sstream>
#include <tuple>

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

// What a script function may change: every unit, building, player's gold, pending removal and user number.
struct WorldState {
    using UnitRecord = std::tuple<std::string, int, float, V2i, UnitState, V2i>;  // type, owner, hp, at, state, goal
    std::map<int, UnitRecord> units;
    std::map<int, float> buildingHp;
    std::map<int, int> gold;
    std::vector<int> removals;
    std::map<int, std::map<std::string, double>> numbers;

    static WorldState now() {
        WorldState s;
        for (const Unit& u : ::units) {
            const SDL_FPoint goal = u.waypoints.empty() ? SDL_FPoint{u.x, u.y} : u.waypoints.back();
            s.units[u.id] = {u.type, u.playerId, u.hp, worldToSubTile(u.x, u.y), u.state, worldToSubTile(goal.x, goal.y)};
        }
        for (const Building& b : buildings) s.buildingHp[b.id] = b.hp;
        for (const auto& p : players) s.gold[p->id] = p->resources[RESOURCE_GOLD];
        s.removals = unitsToRemove;
        for (const auto& [id, values] : unitUserData) s.numbers[id] = {values.begin(), values.end()};
        return s;
    }
    bool operator==(const WorldState& o) const {
        return std::tie(units, buildingHp, gold, removals, numbers) ==
               std::tie(o.units, o.buildingHp, o.gold, o.removals, o.numbers);
    }
};

TEST_F(ModHost, EachScriptFunctionChangesExactlyItsEntityByExactlyItsAmount) {
    start("");
    const int marine = getPlayerById(headless::DEFENDER_ID)->unitIds.front();
    const int otherMarine = getPlayerById(headless::DEFENDER_ID)->unitIds.back();
    const int grunt = static_cast<int>(std::stod(evaluate(R"(spawnUnit("Grunt", 2, 40, 40))")));
    const int hallId = buildings.front().id;
    // An amount that names no building, so the arguments swapped touch nothing and the hall keeps its hit points.
    int amount = 13;
    while (getBuildingById(amount)) ++amount;
    const auto str = [](int v) { return std::to_string(v); };
    const struct Case {
        std::string call;
        std::string answer;
        std::function<void(WorldState&, const std::string& answer)> expect;
    } cases[] = {
        {"addPlayerGold(1, 37)", "true", [](WorldState& w, auto&) { w.gold[1] += 37; }},
        {"addPlayerGold(2, -5)", "true", [](WorldState& w, auto&) { w.gold[2] -= 5; }},
        {"decreaseBuildingHp(" + str(hallId) + ", " + str(amount) + ")", "true",
         [&](WorldState& w, auto&) { w.buildingHp[hallId] -= static_cast<float>(amount); }},
        {"addUnitForRemoval(" + str(otherMarine) + ")", "true",
         [&](WorldState& w, auto&) { w.removals.push_back(otherMarine); }},
        {"unitSetUserData(" + str(marine) + ", 'rank', 2.5)", "true",
         [&](WorldState& w, auto&) { w.numbers[marine]["rank"] = 2.5; }},
        {"unitGetUserData(" + str(marine) + ", 'rank')", "2.5", [](WorldState&, auto&) {}},
        {"unitGetUserData(" + str(otherMarine) + ", 'rank')", "nil", [](WorldState&, auto&) {}},
        {R"(spawnUnit("Marine", 2, 5, 6))", "",
         [](WorldState& w, const std::string& id) {
             const V2i centre{5 * SUBDIVISIONS + SUBDIVISIONS / 2, 6 * SUBDIVISIONS + SUBDIVISIONS / 2};
             const Unit& u = *getUnitById(std::stoi(id));
             w.units[u.id] = {"Marine", 2, u.hp, centre, UnitState::Idle, centre};
         }},
        {"unitMoveTo(" + str(marine) + ", 20, 12)", "true",
         [&](WorldState& w, auto&) {
             std::get<4>(w.units[marine]) = UnitState::Moving;
             std::get<5>(w.units[marine]) = {20 * SUBDIVISIONS + SUBDIVISIONS / 2, 12 * SUBDIVISIONS + SUBDIVISIONS / 2};
         }},
        {"sendToClosestEnemy(" + str(grunt) + ")", "true",
         [&](WorldState& w, auto&) {
             const Unit& u = *getUnitById(grunt);
             const V2i beside = findClosestTileAdjacentToBuilding(*findClosestEnemyBuilding(u, grid), grid);
             std::get<4>(w.units[grunt]) = UnitState::Attacking;
             std::get<5>(w.units[grunt]) = worldToSubTile(u.waypoints.back().x, u.waypoints.back().y);
             EXPECT_LE(std::abs(std::get<5>(w.units[grunt]).x - beside.x * SUBDIVISIONS) +
                           std::abs(std::get<5>(w.units[grunt]).y - beside.y * SUBDIVISIONS),
                       2);
         }},
    };
    for (const Case& c : cases) {
        WorldState expected = WorldState::now();
        const std::string answer = evaluate(c.call);
        if (!c.answer.empty()) {
            EXPECT_EQ(answer, c.answer) << c.call;
        }
        c.expect(expected, answer);
        EXPECT_TRUE(WorldState::now() == expected) << c.call;
    }
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
        {"function onUpdate() local t = {} for i = 1, 1e9 do t[i] = {i} end end", "not enough memory"},
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
