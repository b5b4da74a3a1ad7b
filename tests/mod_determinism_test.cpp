// What a mod script reads is the same in every session, on every peer and in every replay: draws, clocks, the
// order of pairs and next, and table.sort.
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "mod_sandbox.h"
#include "mod_world.h"

namespace {

using ModDeterminism = ModWorld;

// The machine's time zone for one test, so a calendar read in local time shows.
struct TimeZone {
    std::string before;
    bool had = false;
    explicit TimeZone(const char* zone) {
        if (const char* tz = std::getenv("TZ")) {
            before = tz;
            had = true;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone() {
        if (had)
            setenv("TZ", before.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
};

std::string keysInByteOrder(int count) {
    std::vector<std::string> keys;
    for (int i = 1; i <= count; ++i) keys.push_back("k" + std::to_string(i));
    std::sort(keys.begin(), keys.end());
    std::string joined;
    for (const std::string& key : keys) joined += key + ",";
    return joined;
}

TEST_F(ModDeterminism, ScriptReadsTheSameInEverySession) {
    const TimeZone tokyo("JST-9");
    const std::string walkWith = "local s = '' for k in pairs(t) do s = s .. tostring(k) .. ',' end return s";
    const struct Case {
        std::string expression;
        std::string expected;  // empty: only the same in both sessions
    } cases[] = {
        {"(function() math.randomseed() return math.random(1 << 40) end)()", ""},
        {"(function() math.randomseed() local a = math.random(1 << 40) math.randomseed(" +
             std::to_string(SESSION_RANDOM_SEED) + ") return a == math.random(1 << 40) end)()",
         "true"},
        {"(function() local t = {} for i = 1, 300 do t['k' .. i] = i end " + walkWith + " end)()",
         keysInByteOrder(300)},
        {"(function() local t = {b = 1, a = 2, [3] = 0, [1.5] = 0, [true] = 0, [false] = 0, [-7] = 0, ab = 0} " +
             walkWith + " end)()",
         "-7,1.5,3,a,ab,b,false,true,"},
        {"(function() local t = {z = 1, y = 2, x = 3, [10] = 4} local s = '' local k = next(t) "
         "while k ~= nil do s = s .. tostring(k) .. ',' k = next(t, k) end return s end)()",
         "10,x,y,z,"},
        // Keys removed while walking are skipped, the rest still come in order.
        {"(function() local t = {a = 1, b = 2, c = 3, d = 4} local s = '' "
         "for k in pairs(t) do s = s .. k t.c = nil end return s end)()",
         "abd"},
        {"(function() local t = {} for i = 1, 300 do t[i] = {k = i % 3, seq = i} end "
         "table.sort(t, function(a, b) return a.k < b.k end) "
         "for i = 2, 300 do if t[i - 1].k == t[i].k and t[i - 1].seq > t[i].seq then return false end end "
         "return t[1].k == 0 and t[300].k == 2 end)()",
         "true"},
        {"os.time()", "1"},
        {"string.format('%.3f', os.clock())", "1.008"},
        {"os.date('%Y-%m-%d %H:%M:%S')", "1970-01-01 00:00:01"},
        {"os.date('*t', 0).hour", "0"},
        {"os.date()", "Thu Jan  1 00:00:01 1970"},
        {"os.time({year = 2000, month = 1, day = 1, hour = 0})", "946684800"},
        {"(function() local d = {year = 2000, month = 14, day = 1} os.time(d) return d.year * 100 + d.month end)()",
         "200102"},
    };
    std::vector<std::string> first;
    for (int session = 0; session < 2; ++session) {
        start("");
        tick(63);  // 1.008 s of play
        for (size_t i = 0; i < std::size(cases); ++i) {
            const std::string answer = evaluate(cases[i].expression);
            if (session == 0) first.push_back(answer);
            if (!cases[i].expected.empty()) {
                EXPECT_EQ(answer, cases[i].expected) << cases[i].expression;
            }
            if (session == 1) {
                EXPECT_EQ(answer, first[i]) << cases[i].expression;
            }
        }
        headless::endTowerDefense();
    }
}

// pairs of a value that is not a table raises, when walked, what standard Lua raises; the iterator it hands out,
// taken away and walked over a table, still walks in the sandbox's order, never in the interpreter's own.
TEST_F(ModDeterminism, PairsOfANonTableRaisesAsStandardLuaAndHandsOutNoWalkInHashOrder) {
    const char* kinds[][2] = {
        {"0", "number"}, {"''", "string"}, {"true", "boolean"}, {"nil", "nil"}, {"function() end", "function"},
    };
    start("");
    lua_State* standard = luaL_newstate();
    luaL_openlibs(standard);
    for (const auto& [value, type] : kinds) {
        const std::string v = value;
        const std::string walked = "select(2, pcall(function() for _ in pairs(" + v + ") do end end))";
        const std::string raised = evaluate(walked);
        EXPECT_EQ(raised, evaluateIn(standard, walked));
        EXPECT_NE(raised.find("bad argument #1 to 'for iterator' (table expected, got " + std::string(type) + ")"),
                  std::string::npos)
            << raised;
        EXPECT_EQ(evaluate("(function() local walk = pairs(" + v + ") local t = {} for i = 1, 300 do t['k' .. i] = i "
                           "end local s = '' for k in walk, t do s = s .. k .. ',' end return s end)()"),
                  keysInByteOrder(300))
            << v;
    }
    lua_close(standard);
}

// Each value that would show its address is named by the order the script first asked about it.
TEST_F(ModDeterminism, TablesAndFunctionsAreNamedNotPlaced) {
    start("");
    const char* cases[][2] = {
        {"(function() a, b = {}, print return tostring(a) .. ' ' .. tostring(b) .. ' ' .. tostring(a) end)()",
         "table: 0x00000001 function: 0x00000002 table: 0x00000001"},
        {"string.format('%s %5.1f %s %%s %s', b, 2, {}, 'x')", "function: 0x00000002   2.0 table: 0x00000003 %s x"},
        {"('%-20s|'):format(a)", "table: 0x00000001   |"},
        {"tostring(setmetatable({}, {__name = 'Squad'}))", "Squad: 0x00000004"},
        {"tostring(setmetatable({}, {__tostring = function() return 'mine' end}))", "mine"},
        {"tostring(12) .. tostring(nil) .. tostring(true)", "12niltrue"},
        {"select(2, pcall(string.format, '%p', a)):find('address') ~= nil", "true"},
    };
    for (const auto& [expression, answer] : cases) EXPECT_EQ(evaluate(expression), answer) << expression;
}

// Values of a kind a script cannot make itself, made in the state one after the other: a global list of count.
void addValues(lua_State* L, const char* name, int count, void (*make)(lua_State*)) {
    lua_createtable(L, count, 0);
    for (int i = 1; i <= count; ++i) {
        make(L);
        lua_rawseti(L, -2, i);
    }
    lua_setglobal(L, name);
}

// Two peers' states lie at different places and hash strings with different seeds; the script's walks over keys
// of every kind still come in one order.
TEST_F(ModDeterminism, StatesAtDifferentPlacesWalkKeysOfEveryKindAlike) {
    const std::string byPairs = "local s = '' for k, v in pairs(t) do s = s .. v .. ',' end return s";
    const std::string byNext =
        "local s = '' local k, v = next(t) while k ~= nil do s = s .. v .. ',' k, v = next(t, k) end return s";
    const std::string removingOthers =
        "local s = '' for k, v in pairs(t) do s = s .. v .. ',' t[keys[v * 7 % 60 + 1]] = nil end return s";
    const std::string tables = "local keys = {} for i = 1, 60 do keys[i] = {} t[keys[i]] = i end ";
    const struct Case {
        const char* what;
        std::string fill;
        std::string walk;
    } cases[] = {
        {"tables", tables, byPairs},
        {"tables by next", tables, byNext},
        {"tables removed while walked", tables, removingOthers},
        {"script functions", "for i = 1, 60 do t[function() return i end] = i end", byPairs},
        {"library closures", "for i = 1, 60 do t[string.gmatch('a', 'a')] = i end", byPairs},
        {"coroutines", "for i, c in ipairs(threads) do t[c] = i end", byPairs},
        {"userdata", "for i, b in ipairs(boxes) do t[b] = i end", byNext},
        {"host functions",
         "t[print] = 1 t[math.floor] = 2 t[ipairs({})] = 3 t[spawnUnit] = 4 t[utf8.codes('')] = 5 t[select] = 6 "
         "t[utf8.codes('', true)] = 7 t[string.rep] = 8",
         byPairs},
        {"mixed with strings and numbers",
         "for i = 1, 30 do t[{}] = 't' .. i t['s' .. i] = 's' .. i t[i * 1.5] = 'n' .. i "
         "t[threads[i]] = 'c' .. i t[function() end] = 'f' .. i end t[print] = 'p' t[true] = 'b'",
         byPairs},
        {"after string keys churned",
         "local c = {} for i = 1, 3000 do c['k' .. i] = i c['k' .. (i - 5)] = nil end "
         "for i = 1, 60 do t[{}] = i end",
         byPairs},
    };
    for (const Case& c : cases) {
        start("");
        const std::string folder = scripts.path.string() + "/";
        ModManager first;
        first.start(grid, folder);
        // A state in between, busy with tables of its own, and memory taken elsewhere.
        ModManager between;
        between.start(grid, folder);
        evaluateIn(between.L, "(function() for i = 1, 500 do _G['x' .. i] = {{}, function() end} end end)()");
        const std::vector<char> elsewhere(1 << 20, 1);
        ModManager second;
        second.start(grid, folder);
        std::string walks[2];
        for (int peer = 0; peer < 2; ++peer) {
            lua_State* L = peer == 0 ? first.L : second.L;
            addValues(L, "threads", 60, [](lua_State* state) { lua_newthread(state); });
            addValues(L, "boxes", 60, [](lua_State* state) { lua_newuserdatauv(state, 8, 0); });
            walks[peer] = evaluateIn(L, "(function() local t = {} " + c.fill + " " + c.walk + " end)()");
        }
        EXPECT_EQ(walks[0], walks[1]) << c.what;
        EXPECT_GT(walks[0].size(), 10u) << c.what;
        for (ModManager* host : {&first, &between, &second}) host->shutdown();
        headless::endTowerDefense();
    }
}

// The kinds come in a fixed order: numbers, strings, booleans, the state's own values, then host functions.
TEST_F(ModDeterminism, KeysOfEachKindFollowTheKindsBefore) {
    start("");
    EXPECT_EQ(evaluate("(function() local t = {[select] = 'p', [{}] = 't', [true] = 'b', s = 's', [2] = 'n', "
                       "[function() end] = 'f'} local s = '' for k, v in pairs(t) do s = s .. v end return s end)()")
                  .substr(0, 3),
              "nsb");
    EXPECT_EQ(evaluate("(function() local t = {[spawnUnit] = 'p', [{}] = 't', [function() end] = 'f'} local s = '' "
                       "for k, v in pairs(t) do s = s .. v end return s:sub(3) end)()"),
              "p");
}

// A script that spawns in the order of pairs over names, places by math.random and waits by os.clock: the same
// match twice ends in the same world.
TEST_F(ModDeterminism, MatchDrivenByPairsDrawsAndClocksEndsAlike) {
    const std::string script = R"(
        local squads = {}
        for i = 1, 40 do squads['squad' .. i] = i end
        local last = -1
        function onUpdate(dt)
            if os.clock() - last < 0.5 then return end
            last = os.clock()
            for name, n in pairs(squads) do
                local id = spawnUnit(n % 2 == 0 and "Grunt" or "Berserker", computerPlayerId,
                                     40 + math.random(0, 15), 40 + (os.time() + n) % 4)
                if id then unitMoveTo(id, 20 + #name, 12) end
            end
            math.randomseed()
        end)";
    uint64_t checksums[2] = {};
    for (uint64_t& checksum : checksums) {
        start(script);
        EXPECT_EQ(tick(200).find("Lua error"), std::string::npos);
        checksum = worldChecksum();
        headless::endTowerDefense();
    }
    EXPECT_EQ(checksums[0], checksums[1]);
}

}  // namespace
