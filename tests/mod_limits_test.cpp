// What one script may make the game hold or do: each bound at its edge, refused with one line, play going on.
#include <algorithm>

#include "mod_resident.h"
#include "mod_world.h"

namespace {

using ModLimits = ModWorld;

int countLines(const std::string& text, const std::string& line) {
    int count = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++count;
    return count;
}

// Each call answers whether the last one allowed and the first one past the limit were taken: "truefalse".
TEST_F(ModLimits, EachCountTakesItsLastAndRefusesItsFirst) {
    const auto n = [](size_t v) { return std::to_string(v); };
    const auto lastThenFirst = [](const std::string& fill, const std::string& call) {
        return "(function() " + fill + " return tostring(" + call + ") .. tostring(" + call + ") end)()";
    };
    const struct Case {
        std::string expression;  // UNIT stands for a marine's id
    } cases[] = {
        {lastThenFirst("for i = 2, " + n(MAX_SCRIPT_TIMERS) + " do after(1, print) end", "after(1, print)")},
        {lastThenFirst("for i = 2, " + n(MAX_SCRIPT_SPAWNS_PER_TICK) + " do spawnUnit('Marine', 2, 30, 30) end",
                       "spawnUnit('Marine', 2, 30, 30) ~= nil")},
        {lastThenFirst("for i = 2, " + n(MAX_USER_DATA_KEYS) + " do unitSetUserData(UNIT, 'k' .. i, i) end "
                       "local k = 0 local function fresh() k = k + 1 return 'new' .. k end",
                       "unitSetUserData(UNIT, fresh(), 1)")},
        {"tostring(unitSetUserData(UNIT, ('k'):rep(" + n(MAX_USER_DATA_KEY_LENGTH) +
         "), 1)) .. tostring(unitSetUserData(UNIT, ('k'):rep(" + n(MAX_USER_DATA_KEY_LENGTH + 1) + "), 1))"},
    };
    for (const Case& c : cases) {
        start("");
        std::string expression = c.expression;
        const std::string marine = std::to_string(getPlayerById(headless::DEFENDER_ID)->unitIds.front());
        for (size_t at = expression.find("UNIT"); at != std::string::npos; at = expression.find("UNIT", at))
            expression.replace(at, 4, marine);
        EXPECT_EQ(evaluate(expression), "truefalse") << c.expression;
        headless::endTowerDefense();
    }
}

TEST_F(ModLimits, WorldFullOfUnitsRefusesTheNextSpawnWithOneLine) {
    start("");
    while (units.size() < MAX_UNITS_FOR_SCRIPT_SPAWN - 1) spawnUnitAt("Marine", 2, {30.5f, 30.5f});
    ::testing::internal::CaptureStderr();
    EXPECT_NE(evaluate(R"(spawnUnit("Marine", 2, 30, 30))"), "nil");
    EXPECT_EQ(units.size(), MAX_UNITS_FOR_SCRIPT_SPAWN);
    EXPECT_EQ(evaluate(R"(spawnUnit("Marine", 2, 30, 30))"), "nil");
    EXPECT_EQ(evaluate(R"(spawnUnit("Marine", 2, 30, 30))"), "nil");
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(units.size(), MAX_UNITS_FOR_SCRIPT_SPAWN);
    EXPECT_EQ(countLines(said, "Mod script refused: the world holds too many units"), 1) << said;
}

// Numbers outlive their units, so a script that spawns, numbers and removes units would grow them without end.
TEST_F(ModLimits, UnitNumbersStopAtTheirTotalWithOneLine) {
    start(R"(ids = {}
        function onUpdate() for i = 1, 256 do ids[#ids + 1] = spawnUnit("Marine", 2, 30, 30) end end)");
    const int needed = static_cast<int>(MAX_USER_DATA_VALUES / MAX_USER_DATA_KEYS);
    while (std::stoi(evaluate("#ids")) <= needed) tick(1);
    ::testing::internal::CaptureStderr();
    const std::string fill = "(function() for u = 1, " + std::to_string(needed) + " do for k = 1, " +
                             std::to_string(MAX_USER_DATA_KEYS) +
                             " do if not unitSetUserData(ids[u], 'k' .. k, k) then return false end end end "
                             "return true end)()";
    EXPECT_EQ(evaluate(fill), "true");
    EXPECT_EQ(modManager.userDataValues(), MAX_USER_DATA_VALUES);
    const std::string fresh = "unitSetUserData(ids[" + std::to_string(needed + 1) + "], 'k1', 1)";
    EXPECT_EQ(evaluate(fresh), "false");
    EXPECT_EQ(evaluate(fresh), "false");
    EXPECT_EQ(unitUserData.size(), static_cast<size_t>(needed));
    EXPECT_EQ(evaluate("unitSetUserData(ids[1], 'k1', 99)"), "true");
    EXPECT_EQ(evaluate("unitGetUserData(ids[1], 'k1')"), "99.0");
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(countLines(said, "Mod script refused: too many unit numbers kept"), 1) << said;
    headless::endTowerDefense();
    start("");
    EXPECT_EQ(modManager.userDataValues(), 0u);
}

// Fills the state up to the memory limit and past it by the byte count argument 1 gives: a block of the room left,
// kept in the script's global "kept", which must exist so that keeping it takes no memory.
int fillToTheLimit(lua_State* L) {
    const auto header = static_cast<size_t>(lua_tointeger(L, lua_upvalueindex(1)));
    const auto past = static_cast<size_t>(lua_tointeger(L, 1));
    lua_newuserdatauv(L, MAX_SCRIPT_MEMORY - modManager.memoryUsed() - header + past, 0);
    lua_setglobal(L, "kept");
    return 0;
}

// Starts the script with the global "fill", which fills the state to the limit and past it by its argument.
void startWithFill(ModWorld& world, const std::string& script) {
    world.start("kept = false " + script);
    lua_State* L = modManager.L;
    const size_t before = modManager.memoryUsed();
    lua_newuserdatauv(L, 0, 0);
    const size_t header = modManager.memoryUsed() - before;
    lua_pop(L, 1);
    lua_pushinteger(L, static_cast<lua_Integer>(header));
    lua_pushcclosure(L, fillToTheLimit, 1);
    lua_setglobal(L, "fill");
    lua_gc(L, LUA_GCCOLLECT);
    lua_gc(L, LUA_GCSTOP);
}

// A script may hold exactly the limit, not one byte more; the refusal is the interpreter's own memory error.
TEST_F(ModLimits, MemoryHoldsAtItsLimitToTheByte) {
    const struct Case {
        const char* past;
        bool refused;
    } cases[] = {{"0", false}, {"1", true}};
    for (const Case& c : cases) {
        startWithFill(*this, "");
        ::testing::internal::CaptureStderr();
        modManager.callLua("fill", c.past);
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.find("Lua error in fill: not enough memory") != std::string::npos, c.refused) << said;
        EXPECT_LE(modManager.memoryUsed(), MAX_SCRIPT_MEMORY) << c.past;
        headless::endTowerDefense();
    }
}

// The interpreter answers every refused allocation with a full collection: near the limit, a loop of refusals
// caught by pcall pays for each, so the budget stops it after a few rounds instead of collecting round after round.
// The room left is enough for the call's stack, too little for the string asked for.
TEST_F(ModLimits, RefusalsAtTheLimitPayForTheirCollection) {
    startWithFill(*this, "n = 0 function refuse() for i = 1, 1000 do pcall(string.rep, 'x', 8192) n = n + 1 end end");
    modManager.callLua("fill", "-4096");
    ::testing::internal::CaptureStderr();
    modManager.callLua("refuse", "");
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, std::string("Lua error in refuse: ") + SCRIPT_TOO_LONG + "\n");
    const long long collection = static_cast<long long>(MAX_SCRIPT_MEMORY / 1024) * COLLECTION_STEPS_PER_KIB;
    EXPECT_LE(std::stoll(evaluate("n")), MAX_SCRIPT_INSTRUCTIONS / collection);
}

// Bytes of the state's region the machine holds in memory.
size_t residentBytesOfState(lua_State* L) {
    constexpr size_t PAGE = 4096;
    lua_newtable(L);
    const auto* table = static_cast<const char*>(lua_topointer(L, -1));
    const size_t offset = ModManager::placeInState(L, table).value_or(0);
    lua_pop(L, 1);
    return PAGE * residentPages(table - offset, SCRIPT_REGION_BYTES / PAGE);
}

// Memory a script filled with blocks of one size and let go of goes back to the machine, so filling it again with
// blocks of other sizes does not add up.
TEST_F(ModLimits, MemoryLetGoInEverySizeLeavesTheProcess) {
    start(R"(round = 0
        local sizes = {100, 300, 1000, 3000, 10000, 30000}
        function onUpdate()
            round = round + 1
            local size = sizes[round]
            if not size then return end
            local t = {}
            for i = 1, (8 << 20) // size do t[i] = string.rep('x', size - 1) .. round end
            t = nil
            collectgarbage()
        end)");
    const std::string said = tick(7);
    EXPECT_EQ(said.find("Lua error"), std::string::npos) << said;
    EXPECT_EQ(evaluate("round"), "7");
    EXPECT_LT(residentBytesOfState(modManager.L), MAX_SCRIPT_MEMORY / 16);
}

TEST_F(ModLimits, UnitIsQueuedForRemovalOnce) {
    start("");
    const int marine = getPlayerById(headless::DEFENDER_ID)->unitIds.front();
    const std::string remove = "addUnitForRemoval(" + std::to_string(marine) + ")";
    EXPECT_EQ(evaluate(remove), "true");
    EXPECT_EQ(evaluate(remove), "false");
    EXPECT_EQ(evaluate("(function() for i = 1, 1e5 do addUnitForRemoval(" + std::to_string(marine) + ") end end)()"),
              "nil");
    EXPECT_EQ(std::count(unitsToRemove.begin(), unitsToRemove.end(), marine), 1);
}

// A search towards water walks the whole island: a few such calls take a call's budget, not hours of one tick.
TEST_F(ModLimits, PathSearchesAreChargedToTheBudget) {
    for (const char* pattern : {"unitMoveTo(%s, 17, 1)", "sendToClosestEnemy(%s)"}) {
        start("");
        const std::string grunt = evaluate(R"(spawnUnit("Grunt", 2, 40, 40))");
        char call[64];
        char scripted[64];
        std::snprintf(call, sizeof call, pattern, grunt.c_str());
        std::snprintf(scripted, sizeof scripted, pattern, "grunt");
        const long long before = pathNodesExpanded;
        evaluate(call);
        const long long nodes = pathNodesExpanded - before;
        ASSERT_GT(nodes, 0) << call;
        const long long affordable = MAX_SCRIPT_INSTRUCTIONS / (nodes * PATH_NODE_STEPS);
        headless::endTowerDefense();
        // The same grunt, spawned as the first thing of the same world.
        std::string said = start("calls = 0 function onUpdate() if calls > 0 then return end "
                                 "local grunt = spawnUnit('Grunt', 2, 40, 40) for i = 1, " +
                                 std::to_string(affordable + 50) + " do calls = calls + 1 " + scripted + " end end");
        said += tick(1);
        EXPECT_NE(said.find(SCRIPT_TOO_LONG), std::string::npos) << call << "\n" << said;
        const long long calls = std::stoll(evaluate("calls"));
        EXPECT_LE(calls, affordable + 1) << call;
        EXPECT_GE(calls, affordable / 2) << call;
        headless::endTowerDefense();
    }
}

// Off the map (aboard a carrier or inside a building) a unit is not moved, and keeps its state and its path.
TEST_F(ModLimits, UnitOffTheMapIsNotMoved) {
    start("");
    const int marine = getPlayerById(headless::DEFENDER_ID)->unitIds.front();
    Unit* unit = getUnitById(marine);
    unit->onMap = false;
    const UnitState state = unit->state;
    const size_t waypoints = unit->waypoints.size();
    for (const char* call : {"unitMoveTo(%d, 20, 12)", "sendToClosestEnemy(%d)"}) {
        char text[64];
        std::snprintf(text, sizeof text, call, marine);
        EXPECT_EQ(evaluate(text), "false") << text;
        EXPECT_EQ(getUnitById(marine)->state, state) << text;
        EXPECT_EQ(getUnitById(marine)->waypoints.size(), waypoints) << text;
    }
}

}  // namespace
