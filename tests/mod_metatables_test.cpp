// Metatables of a mod script: no finalizer, no chain walked for free inside one instruction, and the metatables of
// a script that behaves working as before.
#include <algorithm>

#include "mod_sandbox.h"
#include "mod_world.h"

namespace {

using ModMetatables = ModWorld;

int defenderGold() { return getPlayerById(headless::DEFENDER_ID)->resources[RESOURCE_GOLD]; }

// A finalizer would run with the instruction limit off, so this one would take its 30 million rounds to the end
// and then pay the defender.
constexpr const char* FINALIZER = "function() for i = 1, 3e7 do end addPlayerGold(localPlayerId, 1) end";

// Each script offers the collector a finalizer on another road: collected while the script loads, in a tick, or
// kept until the state is closed at the session's end; or a callable chain. None may run, each is refused with one
// line.
TEST_F(ModMetatables, FinalizersAndCallableChainsAreRefusedWithOneLine) {
    const std::string gc = FINALIZER;
    const struct Case {
        std::string script;
        const char* line;
        const char* refused;
    } cases[] = {
        {"setmetatable({}, {__gc = " + gc + "}) collectgarbage()", "Error loading mod: ", "__gc"},
        {"function onUpdate() setmetatable({}, {__gc = " + gc + "}) collectgarbage() end", "Lua error in onUpdate: ",
         "__gc"},
        {"kept = setmetatable({}, {__gc = " + gc + "})", "Error loading mod: ", "__gc"},
        // The collector marks an object for finalizing when its metatable has __gc at all, and calls what is there
        // when it finalizes.
        {"local mt = {__gc = true} kept = setmetatable({}, mt) mt.__gc = " + gc, "Error loading mod: ", "__gc"},
        // A callable that is not a function is followed from callable to callable inside one call, for ever.
        {"local a = {} setmetatable(a, {__call = a})", "Error loading mod: ", "__call"},
    };
    start("");
    const int gold = defenderGold();
    headless::endTowerDefense();
    for (const Case& c : cases) {
        std::string said = start(c.script);
        said += tick(1);
        ::testing::internal::CaptureStderr();
        modManager.shutdown();
        said += ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(defenderGold(), gold) << c.script;
        EXPECT_EQ(said.rfind(c.line, 0), 0u) << c.script << "\n" << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_NE(said.find(c.refused), std::string::npos) << said;
        headless::endTowerDefense();
    }
}

// Each round walks a chain of LINKS tables, or a table linked to itself until the depth of nested calls ends the
// walk: every link costs METATABLE_LINK_STEPS, so the budget stops the loop after its share of rounds, long before
// the last.
TEST_F(ModMetatables, MetatableChainsAreChargedLinkByLink) {
    constexpr long long LINKS = 100;
    const long long mostRounds = MAX_SCRIPT_INSTRUCTIONS / (LINKS * METATABLE_LINK_STEPS);
    const std::string chain = "local first = {} local t = first for i = 1, " + std::to_string(LINKS) +
                              " do local nxt = {} setmetatable(t, {%s = nxt}) t = nxt end ";
    const auto linked = [&chain](const char* event) {
        std::string text = chain;
        text.replace(text.find("%s"), 2, event);
        return text;
    };
    const struct Case {
        std::string setup;
        const char* access;
    } cases[] = {
        {linked("__index"), "local v = first.missing"},
        {linked("__newindex"), "first.missing = i"},
        {"local mt = {} local looped = setmetatable({}, mt) mt.__index = looped ",
         "pcall(function() return looped.missing end)"},
    };
    for (const Case& c : cases) {
        std::string said = start("n = 0 function onInit() " + c.setup + "for i = 1, " +
                                 std::to_string(4 * mostRounds) + " do " + c.access + " n = n + 1 end end");
        said += tick(1);
        EXPECT_EQ(said, std::string("Lua error in onInit: ") + SCRIPT_TOO_LONG + "\n") << c.access;
        EXPECT_LE(std::stoll(evaluate("n")), mostRounds) << c.access;
        headless::endTowerDefense();
    }
}

// A close method that declares a to-be-closed variable of its own would, each time it is stopped, leave one more
// close to run while the call unwinds, for as long as the stack a deep recursion grew has room.
TEST_F(ModMetatables, CloseMethodsDoNotRunOnceTheBudgetIsSpent) {
    std::string said = start(R"(runs = 0
        local mt = {}
        local closable
        function mt.__close() runs = runs + 1 local again <close> = closable while true do end end
        closable = setmetatable({}, mt)
        local function deep(n) if n == 0 then return 0 end return 1 + deep(n - 1) end
        function onInit() deep(20000) local first <close> = closable while true do end end)");
    said += tick(1);
    EXPECT_EQ(said, std::string("Lua error in onInit: ") + SCRIPT_TOO_LONG + "\n");
    EXPECT_EQ(evaluate("runs"), "0");
}

TEST_F(ModMetatables, BehavingMetatablesKeepWorking) {
    start(R"(Base = {} Base.__index = Base
        function Base:name() return 'base' end
        Derived = setmetatable({}, {__index = Base}) Derived.__index = Derived)");
    const char* cases[][2] = {
        {"setmetatable({}, Derived):name()", "base"},
        {"getmetatable(setmetatable({}, Derived)) == Derived", "true"},
        {"(function() local mt = {} local o = setmetatable({}, mt) mt.__index = {x = 7} return o.x end)()", "7"},
        {"(function() local store = {} local o = setmetatable({}, {__newindex = store}) o.x = 5 "
         "return rawget(o, 'x') == nil and store.x end)()",
         "5"},
        {"setmetatable({}, {__index = function(t, k) return k .. '!' end}).hi", "hi!"},
        // Fields other than __index and __newindex count from the metatable's latest setmetatable, for all its objects.
        {"(function() local mt = {} local o = setmetatable({}, mt) mt.__add = function() return 3 end "
         "setmetatable({}, mt) return o + 1 end)()",
         "3"},
        {"getmetatable(setmetatable({}, {__metatable = 'locked'}))", "locked"},
        {"pcall(setmetatable, setmetatable({}, {__metatable = 1}), {})", "false"},
        {"(function() local closed = false do local x <close> = setmetatable({}, {__close = function() "
         "closed = true end}) end return closed end)()",
         "true"},
        {"setmetatable({}, {__call = function(self, a) return a * 2 end})(21)", "42"},
        {"getmetatable('')", "false"},
    };
    for (const auto& [expression, answer] : cases) EXPECT_EQ(evaluate(expression), answer) << expression;
}

}  // namespace
