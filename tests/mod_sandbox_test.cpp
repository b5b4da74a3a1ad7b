// The mod sandbox: no way out to files or programs, no binary chunks, a budget no script can catch or outrun,
// and a callback that keeps failing switched off.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "mod_sandbox.h"
#include "mod_world.h"

namespace {

using ModSandbox = ModWorld;

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A function dumped by an unrestricted interpreter, one byte changed, as a Lua string literal.
std::string corruptedBinaryChunk() {
    lua_State* full = luaL_newstate();
    luaL_openlibs(full);
    EXPECT_EQ(luaL_dostring(full, "local f = function(a) return a + 1 end return string.dump(f)"), LUA_OK);
    size_t length = 0;
    const char* dumped = lua_tolstring(full, -1, &length);
    std::string bytes(dumped, length);
    lua_close(full);
    bytes[bytes.size() / 2] ^= 0x5a;
    std::string literal = "\"";
    for (unsigned char c : bytes) literal += "\\" + std::to_string(c);
    return literal + "\"";
}

TEST_F(ModSandbox, EachEscapeIsRefusedWithOneLineAndPlayGoesOn) {
    const std::string marker = (scripts.path / "touched").string();
    const struct Case {
        std::string body;
        const char* line;
    } cases[] = {
        {"assert(load(" + corruptedBinaryChunk() + "))(1)", "binary chunk"},
        {"local f = assert(load(function() return nil end)) f() string.dump(f)", "field 'dump'"},
        {"io.open('" + marker + "', 'w')", "global 'io'"},
        {"os.execute('touch " + marker + "')", "field 'execute'"},
        {"require('os')", "global 'require'"},
        {"dofile('" + marker + "')", "global 'dofile'"},
        {"loadfile('" + marker + "')", "global 'loadfile'"},
        {"os.remove('" + marker + "')", "field 'remove'"},
        {"os.rename('" + marker + "', 'x')", "field 'rename'"},
        {"os.getenv('HOME')", "field 'getenv'"},
        {"os.exit(3)", "field 'exit'"},
        {"debug.sethook()", "global 'debug'"},
        {"package.loadlib('libc.so.6', 'system')", "global 'package'"},
        {"while true do pcall(function() while true do end end) end", SCRIPT_TOO_LONG},
        {"while true do xpcall(function() while true do end end, function() while true do end end) end",
         SCRIPT_TOO_LONG},
        {"while true do pcall(string.rep, 'x', 1 << 24) end", SCRIPT_TOO_LONG},
        {"string.find(string.rep('a', 5000), '.-.-.-.-.-b')", SCRIPT_TOO_LONG},
        {"string.gsub(string.rep('(', 3000), '%b()', '')", SCRIPT_TOO_LONG},
        {"table.move({}, 1, math.maxinteger - 1, 2)", SCRIPT_TOO_LONG},
        {"local s = string.rep('x', 1 << 20) for i = 1, 1e9 do local t = s .. i end", SCRIPT_TOO_LONG},
        {"table.insert(setmetatable({}, {__len = function() return 1 << 60 end}), 1, 0)", "__len"},
    };
    for (const Case& c : cases) {
        std::string said = start("function onInit() " + c.body + " end");
        said += tick(2);
        const std::vector<std::string> lines = linesOf(said);
        ASSERT_EQ(lines.size(), 1u) << c.body << "\n" << said;
        EXPECT_EQ(lines[0].rfind("Lua error in onInit: ", 0), 0u) << lines[0];
        EXPECT_NE(lines[0].find(c.line), std::string::npos) << c.body << "\n" << lines[0];
        EXPECT_FALSE(std::filesystem::exists(marker)) << c.body;
        EXPECT_GE(lockstep.currentTurn, 2) << c.body;
        headless::endTowerDefense();
    }
}

// A protected call returned straight to the host runs no instruction after it that could raise the spent budget:
// pcall and xpcall themselves raise it again.
TEST_F(ModSandbox, ProtectedCallsHandNoSpentBudgetBackToTheScript) {
    for (const char* call : {"pcall(spin)", "xpcall(spin, function(e) return e end)"}) {
        std::string said =
            start(std::string("local function spin() while true do end end function onInit() return ") + call + " end");
        said += tick(1);
        EXPECT_EQ(said, std::string("Lua error in onInit: ") + SCRIPT_TOO_LONG + "\n") << call;
        headless::endTowerDefense();
    }
}

TEST_F(ModSandbox, SafeLibrariesStillAnswer) {
    start("");
    const char* cases[][2] = {
        {"string.find('hello world', 'o w')", "5"},
        {"('  trim me  '):match('^%s*(.-)%s*$')", "trim me"},
        {"select(2, string.gsub('a,b,,c', ',', ';'))", "3"},
        {"table.concat({1, 2, 3}, '-')", "1-2-3"},
        {"(function() local t = {3, 1, 2} table.sort(t) return t[1] end)()", "1"},
        {"utf8.len('\\xC3\\xA9t\\xC3\\xA9')", "3"},
        {"math.max(3, 7)", "7"},
        {"load('return 1 + 1')()", "2"},
        {"select(2, pcall(error, 'caught'))", "caught"},
        {"'10' + 5", "15"},
        {"type(os.time()) .. type(os.clock()) .. type(os.date('%Y'))", "numbernumberstring"},
        {"os.getenv", "nil"},
        {"string.dump", "nil"},
    };
    for (const auto& [expression, answer] : cases) EXPECT_EQ(evaluate(expression), answer) << expression;
}

// Failures of onUpdate tick by tick ('x' fails, '.' succeeds): how often it was called over nine ticks.
TEST_F(ModSandbox, CallbackIsSwitchedOffAtItsThirdFailureInARow) {
    const struct Case {
        const char* pattern;
        int calls;
        bool switchedOff;
    } cases[] = {
        {"xx.xx.xx.", 9, false},
        {"xxx......", 3, true},
        {".xx.xxx..", 7, true},
    };
    for (const Case& c : cases) {
        std::string said = start(std::string("calls = 0 pattern = '") + c.pattern +
                                 "' function onUpdate() calls = calls + 1 "
                                 "if pattern:sub(calls, calls) == 'x' then error('planned') end end");
        said += tick(9);
        EXPECT_EQ(evaluate("calls"), std::to_string(c.calls)) << c.pattern;
        EXPECT_EQ(modManager.switchedOff("onUpdate"), c.switchedOff) << c.pattern;
        const size_t offLines = said.find("Mod callback onUpdate switched off") != std::string::npos;
        EXPECT_EQ(offLines, c.switchedOff ? 1u : 0u) << said;
        headless::endTowerDefense();
    }
}

TEST_F(ModSandbox, RunawayCallbacksAndTimersAreSwitchedOffAndTheNextSessionStartsClean) {
    const char* cases[][2] = {
        {"calls = 0 function onUpdate() calls = calls + 1 while true do end end", "onUpdate"},
        {"calls = 0 function onUnitArrive() calls = calls + 1 while true do pcall(error) end end", "onUnitArrive"},
        {"calls = 0 local function again() calls = calls + 1 after(0, again) string.rep('x', 1 << 26) end "
         "function onInit() after(0, again) end",
         "after()"},
    };
    for (const auto& [script, callback] : cases) {
        std::string said = start(script);
        said += tick(12);
        EXPECT_EQ(evaluate("calls"), "3") << script;
        const std::vector<std::string> lines = linesOf(said);
        ASSERT_EQ(lines.size(), 4u) << said;
        EXPECT_NE(lines[3].find(std::string("Mod callback ") + callback + " switched off"), std::string::npos);
        headless::endTowerDefense();
        start("");
        EXPECT_FALSE(modManager.switchedOff(callback));
        headless::endTowerDefense();
    }
}

// Each timer takes most of a call's budget; together they would take many, so the tick stops them at its own.
TEST_F(ModSandbox, ManyCallbacksOfOneTickShareOneBudget) {
    start("done = 0 function onInit() for i = 1, 8 do after(0, function() "
          "local x = 0 for j = 1, 6e6 do x = x + 1 end done = done + 1 end) end end");
    const std::string said = tick(1);
    const int done = std::stoi(evaluate("done"));
    EXPECT_GE(done, 2);
    EXPECT_LE(done, 4);
    EXPECT_NE(said.find(std::string("Lua error in after(): ") + SCRIPT_TOO_LONG), std::string::npos) << said;
    EXPECT_NE(said.find("Mod callback after() switched off"), std::string::npos) << said;
}

// Each walk goes over a long string inside one instruction or library call, in a loop that would otherwise run for
// hours; strings of 8 MiB are built from a shorter one so that building them leaves most of the budget.
TEST_F(ModSandbox, WalksOverLongStringsAreStoppedByTheBudget) {
    const std::string twoEqual = "local a = ('x'):rep(4096):rep(2048) local b = ('x'):rep(4096):rep(2048) ";
    const struct Case {
        std::string prelude;
        const char* walk;
    } cases[] = {
        {twoEqual, "a < b"},
        {twoEqual, "a <= b"},
        {twoEqual, "a > b"},
        {twoEqual, "a >= b"},
        {twoEqual, "a == b"},
        {twoEqual, "a ~= b"},
        {twoEqual, "rawequal(a, b)"},
        {twoEqual + "local t = {[a] = 1} ", "t[b]"},
        {twoEqual + "local list = {} for i = 1, 1000 do list[i] = i % 2 == 0 and a or b end ", "table.sort(list)"},
        {"local s = ('\x80'):rep(4096):rep(2048) local codes = utf8.codes('') ", "codes(s, 0)"},
        {"local s = (' '):rep(4096):rep(2048) ", "string.packsize(s)"},
        {"local s = (' '):rep(4096):rep(2048) ", "string.pack(s)"},
        {"local s = (' '):rep(4096):rep(2048) ", "string.unpack(s, '')"},
        {"", "string.rep('', math.maxinteger)"},
        {"local s = ('a'):rep(3000) local r = ('%0'):rep(1 << 19) ", "string.gsub(s, '', r)"},
    };
    for (const Case& c : cases) {
        const std::string said = start("function onInit() " + c.prelude + "for i = 1, 1e9 do local r = " + c.walk +
                                        " end end") +
                                 tick(1);
        EXPECT_EQ(said, std::string("Lua error in onInit: ") + SCRIPT_TOO_LONG + "\n") << c.walk;
        headless::endTowerDefense();
    }
}

// A loop of one instruction a round next to a live string of the given length: up to the free length every
// instruction stays one step, each further STRING_BYTES_PER_STEP bytes add one; a string collected costs nothing.
TEST_F(ModSandbox, LongestLiveStringPricesEveryInstruction) {
    const struct Case {
        size_t length;
        bool dropped;
        int rounds;
        bool finishes;
    } cases[] = {
        {0, false, 19'500'000, true},
        {0, false, 20'500'000, false},
        {FREE_STRING_LENGTH + STRING_BYTES_PER_STEP - 1, false, 19'500'000, true},
        {FREE_STRING_LENGTH + STRING_BYTES_PER_STEP, false, 9'500'000, true},
        {FREE_STRING_LENGTH + STRING_BYTES_PER_STEP, false, 10'500'000, false},
        {FREE_STRING_LENGTH + 2 * STRING_BYTES_PER_STEP, false, 6'500'000, true},
        {FREE_STRING_LENGTH + 2 * STRING_BYTES_PER_STEP, false, 6'800'000, false},
        {100'000, false, 19'000'000, false},
        {100'000, true, 19'000'000, true},
    };
    for (const Case& c : cases) {
        const std::string said =
            start("function onInit() local s = string.rep('x', " + std::to_string(c.length) + ") " +
                  (c.dropped ? "s = nil collectgarbage() " : "") + "for i = 1, " + std::to_string(c.rounds) +
                  " do end end") +
            tick(1);
        EXPECT_EQ(said.empty(), c.finishes) << c.length << " " << c.rounds << "\n" << said;
        headless::endTowerDefense();
    }
}

// Each script moves many values in one call, or walks many slots in one library call, round after round; n counts
// the rounds. The budget must stop it after at most the rounds its charges allow, long before the last round.
TEST_F(ModSandbox, CallsMovingManyValuesAndWalksOverClearedSlotsAreStoppedByTheBudget) {
    constexpr long long VALUES = 200'000;
    constexpr long long SLOTS = 1 << 20;
    const std::string values = std::to_string(VALUES);
    const std::string spread = "local big = {} for i = 1, " + values + " do big[i] = i end ";
    const std::string emptied = "local t = {} for i = 1, " + std::to_string(SLOTS) + " do t[i] = true end for i = 1, " +
                                std::to_string(SLOTS) + " do t[i] = nil end ";
    const long long byValues = MAX_SCRIPT_INSTRUCTIONS * VALUES_PER_STEP / VALUES;
    // The array part of the emptied table is its largest vector block.
    const long long bySlots = MAX_SCRIPT_INSTRUCTIONS * static_cast<long long>(WALK_BYTES_PER_STEP) / (SLOTS * 16);
    // Each level of the growing recursion moves one value more than the last.
    const auto byGrowth = static_cast<long long>(std::sqrt(2.0 * MAX_SCRIPT_INSTRUCTIONS * VALUES_PER_STEP));
    const struct Case {
        std::string script;  // the body of onInit
        long long mostRounds;
    } cases[] = {
        {spread + "local function f(...) for i = 1, 1e5 do local c = select('#', ...) n = n + 1 end end "
                  "f(table.unpack(big))",
         byValues},
        {spread + "local function g(a) return a end "
                  "local function f(...) for i = 1, 1e5 do g(...) n = n + 1 end end f(table.unpack(big))",
         byValues},
        {spread + "local function f(...) for i = 1, 1e5 do local t = {...} n = n + 1 end end f(table.unpack(big))",
         byValues},
        {spread + "local function h(...) n = n + 1 end for i = 1, 1e5 do h(table.unpack(big)) end", byValues},
        {"local function grow(k, ...) n = n + 1 if k == 0 then return end return grow(k - 1, k, ...) end "
         "grow(60000)",
         byGrowth},
        {emptied + "for i = 1, 1e5 do next(t) n = n + 1 end", bySlots},
        {emptied + "for i = 1, 1e5 do for k in pairs(t) do end n = n + 1 end", bySlots},
    };
    for (const Case& c : cases) {
        const std::string said = start("n = 0 function onInit() " + c.script + " end") + tick(1);
        EXPECT_EQ(said, std::string("Lua error in onInit: ") + SCRIPT_TOO_LONG + "\n") << c.script;
        EXPECT_LE(std::stoll(evaluate("n")), c.mostRounds) << c.script;
        headless::endTowerDefense();
    }
}

// Calls with few values and walks of small tables cost no more than their instructions.
TEST_F(ModSandbox, OrdinaryCallsAndWalksFitTheBudget) {
    const char* scripts[] = {
        "local function add(a, b) return a + b end for i = 1, 2e6 do add(i, 1) end",
        "local function count(...) return select('#', ...) end for i = 1, 1e6 do count(1, 2, 3) end",
        "local t = {a = 1, b = 2, c = 3} for i = 1, 1e5 do for k in pairs(t) do end end",
    };
    for (const char* script : scripts) {
        const std::string said = start(std::string("function onInit() ") + script + " end") + tick(1);
        EXPECT_EQ(said, "") << script;
        headless::endTowerDefense();
    }
}

TEST(PatternCost, CountsTheWaysItemsCanShareTheSubject) {
    const struct Case {
        const char* pattern;
        bool repeats;
        long long steps;  // on a subject of 9 bytes
    } cases[] = {
        {"a", false, 2 * 10},             // one try per start
        {"^a", false, 3},                 // anchored: one start
        {"^a", true, 3 * 10},             // gmatch does not anchor
        {"^a*", false, 4 * 2 * 10},       // a quantifier may take 0..9 bytes
        {"^a-b-", false, 6 * 3 * 55},     // two share the subject: C(11, 2) ways
        {"^a?", false, 4 * 2},            // an optional item doubles
        {"^%b()", false, 6 * 2 * 10},     // a balance walks the rest
        {"^(a)%1", false, 7 * 2 * 10},    // so does a back-reference
        {"^[%]*]", false, 7},             // quantifier signs inside a set count for nothing
        {"^[]*]+", false, 7 * 2 * 10},    // a ']' first in a set is a member
        {"^%f[%w]%w+$", false, 12 * 2 * 10},
    };
    for (const Case& c : cases)
        EXPECT_EQ(patternCost(c.pattern, std::strlen(c.pattern), 9, c.repeats), c.steps) << c.pattern;
}

}  // namespace
