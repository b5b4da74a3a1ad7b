// The mod script's sandbox: only the safe libraries, text chunks only, costly library calls charged to the budget.
#include "mod_sandbox.h"

#include <climits>
#include <cmath>
#include <iterator>

#include <lua.hpp>

#include "mod_manager.h"

namespace {

constexpr long long SATURATED = LLONG_MAX / 4;
// The longest text a number turns into.
constexpr size_t NUMBER_TEXT = 64;

long long saturate(long double steps) {
    return steps >= static_cast<long double>(SATURATED) ? SATURATED : static_cast<long long>(steps);
}

// The bytes a library function reads from an argument: numbers are turned into short strings.
size_t lengthAt(lua_State* L, int index) {
    if (lua_type(L, index) == LUA_TSTRING) return lua_rawlen(L, index);
    return lua_type(L, index) == LUA_TNUMBER ? NUMBER_TEXT : 0;
}

// The length the table functions will walk; a length metamethod could answer differently on its second call.
long long tableLength(lua_State* L, int index) {
    if (!lua_istable(L, index)) return 0;
    if (luaL_getmetafield(L, index, "__len") != LUA_TNIL) luaL_error(L, "table functions take no table with __len");
    return static_cast<long long>(lua_rawlen(L, index));
}

long long integerAt(lua_State* L, int index, long long fallback) {
    int isInteger = 0;
    const lua_Integer value = lua_tointegerx(L, index, &isInteger);
    return isInteger ? value : fallback;
}

// Elements from first to last, for the functions that walk a range they are given.
long long rangeCost(long long first, long long last) {
    return last < first ? 1 : saturate(static_cast<long double>(last) - first + 1);
}

// The pattern is argument 2, the subject argument 1.
long long patternCallCost(lua_State* L, bool repeatsOverSubject) {
    size_t m = 0;
    const char* pattern = lua_type(L, 2) == LUA_TSTRING ? lua_tolstring(L, 2, &m) : "";
    return patternCost(pattern, m, lengthAt(L, 1), repeatsOverSubject);
}

long long findCost(lua_State* L) {
    if (!lua_toboolean(L, 4)) return patternCallCost(L, false);
    const long double n = static_cast<long double>(lengthAt(L, 1));
    return saturate((n + 1) * (static_cast<long double>(lengthAt(L, 2)) + 1));
}

long long matchCost(lua_State* L) { return patternCallCost(L, false); }

// The replacement text is read once per match, and an empty pattern matches at every position.
long long gsubCost(lua_State* L) {
    const size_t replacement = lua_type(L, 3) == LUA_TSTRING ? lua_rawlen(L, 3) : 0;
    const long double reads = (static_cast<long double>(lengthAt(L, 1)) + 1) * static_cast<long double>(replacement);
    return saturate(static_cast<long double>(matchCost(L)) + reads);
}

// Copies are made one by one even when they are empty and cost no memory.
long long repCost(lua_State* L) { return rangeCost(0, integerAt(L, 2, 0)); }

// The iterator goes on from where the last match ended, so the whole walk costs what one unanchored search does.
long long gmatchCost(lua_State* L) { return patternCallCost(L, true); }

long long subjectCost(lua_State* L) { return static_cast<long long>(lengthAt(L, 1)) + 1; }

long long operandsCost(lua_State* L) { return static_cast<long long>(lengthAt(L, 1) + lengthAt(L, 2)) + 1; }

long long printCost(lua_State* L) {
    long long bytes = 1;
    for (int i = 1; i <= lua_gettop(L); ++i) bytes += static_cast<long long>(lengthAt(L, i));
    return bytes;
}

// A full collection walks the whole heap.
long long collectCost(lua_State* L) { return static_cast<long long>(lua_gc(L, LUA_GCCOUNT, 0)) * 64 + 1; }

// Each comparison may walk two long strings, as an instruction may.
long long sortCost(lua_State* L) {
    const long double n = static_cast<long double>(tableLength(L, 1));
    return saturate(n * (std::log2(n + 1) + 1) * static_cast<long double>(ModManager::instructionPrice(L)));
}

long long shiftCost(lua_State* L) { return tableLength(L, 1) + 1; }

long long unpackCost(lua_State* L) {
    const long long length = tableLength(L, 1);
    return rangeCost(integerAt(L, 2, 1), integerAt(L, 3, length));
}

long long concatCost(lua_State* L) {
    const long long length = tableLength(L, 1);
    return rangeCost(integerAt(L, 3, 1), integerAt(L, 4, length));
}

long long moveCost(lua_State* L) { return rangeCost(integerAt(L, 2, 0), integerAt(L, 3, -1)); }

using CostOf = long long (*)(lua_State* L);

// Library calls whose work inside C grows with their input: each is charged its worst case before it runs.
struct ChargedFunction {
    const char* library;  // a global table, or "" for the strings' metatable
    const char* name;
    CostOf cost;
};

constexpr ChargedFunction CHARGED[] = {
    {"string", "find", findCost},          {"string", "match", matchCost},    {"string", "gsub", gsubCost},
    {"string", "gmatch", gmatchCost},      {"string", "byte", subjectCost},   {"utf8", "len", subjectCost},
    {"utf8", "codepoint", subjectCost},    {"utf8", "offset", subjectCost},   {"utf8", "codes", subjectCost},
    {"table", "sort", sortCost},           {"table", "insert", shiftCost},    {"table", "remove", shiftCost},
    {"table", "unpack", unpackCost},       {"table", "concat", concatCost},   {"table", "move", moveCost},
    {"string", "rep", repCost},            {"string", "pack", subjectCost},   {"string", "packsize", subjectCost},
    {"string", "unpack", operandsCost},
    {"_G", "tonumber", subjectCost},       {"_G", "print", printCost},        {"_G", "collectgarbage", collectCost},
    {"", "__add", operandsCost},           {"", "__sub", operandsCost},       {"", "__mul", operandsCost},
    {"", "__div", operandsCost},           {"", "__mod", operandsCost},       {"", "__pow", operandsCost},
    {"", "__idiv", operandsCost},          {"", "__unm", operandsCost},
};

// The original function is upvalue 1; the caller's arguments stay where they are.
int callOriginal(lua_State* L) {
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    return lua_gettop(L);
}

int chargedCall(lua_State* L) {
    const ChargedFunction& f = CHARGED[lua_tointeger(L, lua_upvalueindex(2))];
    ModManager::charge(L, f.cost(L));
    return callOriginal(L);
}

// pcall and xpcall: what they caught is raised again once the budget is spent, up to the host's own call.
int rethrowSpentBudget(lua_State* L) {
    const int results = callOriginal(L);
    if (ModManager::budgetSpent(L)) return luaL_error(L, "%s", SCRIPT_TOO_LONG);
    return results;
}

// load reads text only: a precompiled chunk is not checked by the interpreter and can corrupt it.
int loadText(lua_State* L) {
    ModManager::charge(L, subjectCost(L));
    if (lua_gettop(L) < 3) lua_settop(L, 3);
    lua_pushliteral(L, "t");
    lua_replace(L, 3);
    return callOriginal(L);
}

// Pushes the table that holds a library's functions.
void pushLibrary(lua_State* L, const char* library) {
    if (*library) {
        lua_getglobal(L, library);
    } else {
        lua_pushliteral(L, "");
        lua_getmetatable(L, -1);
        lua_remove(L, -2);
    }
}

// Replaces library.name by a closure over the original and the extra upvalues already pushed.
void wrap(lua_State* L, const char* library, const char* name, lua_CFunction wrapper, int extra) {
    pushLibrary(L, library);
    lua_getfield(L, -1, name);
    lua_insert(L, -2 - extra);
    lua_insert(L, -2 - extra);
    lua_pushcclosure(L, wrapper, 1 + extra);
    lua_setfield(L, -2, name);
    lua_pop(L, 1);
}

void removeField(lua_State* L, const char* library, const char* name) {
    pushLibrary(L, library);
    lua_pushnil(L);
    lua_setfield(L, -2, name);
    lua_pop(L, 1);
}

// Only the clock and the calendar of os.
void keepClockOnlyOs(lua_State* L) {
    lua_getglobal(L, "os");
    lua_createtable(L, 0, 3);
    for (const char* kept : {"time", "clock", "date"}) {
        lua_getfield(L, -2, kept);
        lua_setfield(L, -2, kept);
    }
    lua_setglobal(L, "os");
    lua_pop(L, 1);
}

}  // namespace

long long patternCost(const char* pattern, size_t m, size_t n, bool repeatsOverSubject) {
    size_t i = 0;
    const bool anchored = !repeatsOverSubject && m > 0 && pattern[0] == '^';
    if (anchored) ++i;
    int branching = 0;  // quantifiers, balances and back-references: each may walk what is left of the subject
    int optional = 0;
    while (i < m) {
        const char c = pattern[i++];
        bool single = true;
        if (c == '(' || c == ')' || (c == '$' && i == m)) {
            single = false;
        } else if (c == '%' && i < m) {
            const char e = pattern[i++];
            if (e == 'b') {
                i += 2;
                ++branching;
                single = false;
            } else if (e >= '0' && e <= '9') {
                ++branching;
                single = false;
            } else if (e == 'f') {
                single = false;
            }
        } else if (c == '[') {
            if (i < m && pattern[i] == '^') ++i;
            // The first member is taken whatever it is, so a ']' right after the opening is a member.
            do {
                if (i < m && pattern[i++] == '%') ++i;
            } while (i < m && pattern[i] != ']');
            ++i;
        }
        if (!single || i >= m) continue;
        if (pattern[i] == '*' || pattern[i] == '+' || pattern[i] == '-') {
            ++branching;
            ++i;
        } else if (pattern[i] == '?') {
            ++optional;
            ++i;
        }
    }
    // Paths of one search: the ways the branching items can share the subject, times the choices of optional ones.
    long double steps = (static_cast<long double>(m) + 1) * (branching + 1) * std::pow(2.0L, optional);
    for (int k = 1; k <= branching; ++k) steps = steps * (static_cast<long double>(n) + k) / k;
    if (!anchored) steps *= static_cast<long double>(n) + 1;
    return saturate(steps);
}

void openSandboxLibraries(lua_State* L) {
    static constexpr luaL_Reg libraries[] = {
        {LUA_GNAME, luaopen_base},       {LUA_STRLIBNAME, luaopen_string}, {LUA_TABLIBNAME, luaopen_table},
        {LUA_MATHLIBNAME, luaopen_math}, {LUA_UTF8LIBNAME, luaopen_utf8},  {LUA_OSLIBNAME, luaopen_os},
    };
    for (const luaL_Reg& library : libraries) {
        luaL_requiref(L, library.name, library.func, 1);
        lua_pop(L, 1);
    }
    keepClockOnlyOs(L);
    for (const char* name : {"loadfile", "dofile"}) removeField(L, "_G", name);
    removeField(L, "string", "dump");
    wrap(L, "_G", "load", loadText, 0);
    for (const char* name : {"pcall", "xpcall"}) wrap(L, "_G", name, rethrowSpentBudget, 0);
    for (size_t i = 0; i < std::size(CHARGED); ++i) {
        lua_pushinteger(L, static_cast<lua_Integer>(i));
        wrap(L, CHARGED[i].library, CHARGED[i].name, chargedCall, 1);
    }
}
