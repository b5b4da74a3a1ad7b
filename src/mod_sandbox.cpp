// The mod script's sandbox: only the safe libraries, text chunks only, costly library calls charged to the budget.
#include "mod_sandbox.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>
#include <string>
#include <vector>

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

long long collectCost(lua_State* L) {
    return static_cast<long long>(lua_gc(L, LUA_GCCOUNT, 0)) * COLLECTION_STEPS_PER_KIB + 1;
}

// Sorting n entries: each comparison may walk two long strings, as an instruction may.
long long sortingCost(lua_State* L, long long entries) {
    const long double n = static_cast<long double>(entries);
    return saturate(n * (std::log2(n + 1) + 1) * static_cast<long double>(ModManager::instructionPrice(L)));
}

long long sortCost(lua_State* L) { return sortingCost(L, tableLength(L, 1)); }

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
    {"os", "date", subjectCost},           {"string", "format", subjectCost},
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
    ModManager::raiseIfSpent(L);
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

void pushWeakKeyedTable(lua_State* L) {
    lua_newtable(L);
    lua_createtable(L, 0, 1);
    lua_pushliteral(L, "k");
    lua_setfield(L, -2, "__mode");
    lua_setmetatable(L, -2);
}

// ---- Metatables: no finalizer, and no chain the interpreter walks inside one instruction ----

// The fields the interpreter and the libraries read from a metatable, but for __gc, which is refused, and __index
// and __newindex, which are read through the host.
constexpr const char* COPIED_EVENTS[] = {
    "__mode", "__len", "__eq",  "__add", "__sub", "__mul",  "__mod",  "__pow",   "__div",      "__idiv",
    "__band", "__bor", "__bxor", "__shl", "__shr", "__unm", "__bnot", "__lt",    "__le",       "__concat",
    "__call", "__close", "__tostring", "__name", "__metatable", "__pairs",
};

// Taking one field into a copy costs about as long as this many instructions.
constexpr long long STEPS_PER_COPIED_FIELD = 6;

// The registry's table from each metatable a script set to the copy its objects carry, with weak keys, and its
// array of the copied fields' names.
const char METATABLE_COPIES = 0;
const char COPIED_NAMES = 0;

// Pushes the field of the table at index, read without metamethods, and answers its type.
int rawField(lua_State* L, int index, const char* name) {
    index = lua_absindex(L, index);
    lua_pushstring(L, name);
    return lua_rawget(L, index);
}

// The __index of every copy: the script's metatable (upvalue 1) is read as it is now. A table there is a link of a
// chain that the interpreter would walk, up to 2000 links, inside one instruction; through here each link is a
// call of its own, charged, and the interpreter's bound on nested calls ends a chain or a loop.
int indexThroughScriptMetatable(lua_State* L) {
    lua_settop(L, 2);
    switch (rawField(L, lua_upvalueindex(1), "__index")) {
    case LUA_TNIL:
        return 1;
    case LUA_TFUNCTION:
        lua_insert(L, 1);
        lua_call(L, 2, 1);
        return 1;
    default:
        ModManager::charge(L, METATABLE_LINK_STEPS);
        lua_pushvalue(L, 2);
        lua_gettable(L, -2);
        return 1;
    }
}

// The __newindex of every copy, in the same way; without one the value is set in the table itself.
int newindexThroughScriptMetatable(lua_State* L) {
    lua_settop(L, 3);
    switch (rawField(L, lua_upvalueindex(1), "__newindex")) {
    case LUA_TNIL:
        lua_pop(L, 1);
        lua_rawset(L, 1);
        return 0;
    case LUA_TFUNCTION:
        lua_insert(L, 1);
        lua_call(L, 3, 0);
        return 0;
    default:
        ModManager::charge(L, METATABLE_LINK_STEPS);
        lua_insert(L, 2);
        lua_settable(L, 2);
        return 0;
    }
}

// A new copy of the script's metatable at index, its fields still to be taken.
void pushNewCopy(lua_State* L, int metatable) {
    lua_createtable(L, 0, 2);
    lua_pushvalue(L, metatable);
    lua_pushcclosure(L, indexThroughScriptMetatable, 1);
    lua_setfield(L, -2, "__index");
    lua_pushvalue(L, metatable);
    lua_pushcclosure(L, newindexThroughScriptMetatable, 1);
    lua_setfield(L, -2, "__newindex");
}

// The copy of the script's metatable at index that its objects really carry, its fields taken again as they are
// now. The interpreter reads a metatable's fields directly, so only a copy the script cannot reach keeps what it
// reads as the host checked it; all objects of one metatable share its copy and see the fields of its latest
// setmetatable.
void pushCopyOf(lua_State* L, int metatable) {
    lua_rawgetp(L, LUA_REGISTRYINDEX, &METATABLE_COPIES);
    const int copies = lua_gettop(L);
    lua_pushvalue(L, metatable);
    if (lua_rawget(L, copies) != LUA_TTABLE) {
        lua_pop(L, 1);
        pushNewCopy(L, metatable);
        lua_pushvalue(L, metatable);
        lua_pushvalue(L, -2);
        lua_rawset(L, copies);
    }
    lua_remove(L, copies);
    const int copy = lua_gettop(L);
    lua_rawgetp(L, LUA_REGISTRYINDEX, &COPIED_NAMES);
    for (lua_Integer i = 1; i <= static_cast<lua_Integer>(std::size(COPIED_EVENTS)); ++i) {
        lua_rawgeti(L, -1, i);
        lua_pushvalue(L, -1);
        lua_rawget(L, metatable);
        lua_rawset(L, copy);
    }
    lua_pop(L, 1);
}

void prepareMetatableCopies(lua_State* L) {
    pushWeakKeyedTable(L);
    lua_rawsetp(L, LUA_REGISTRYINDEX, &METATABLE_COPIES);
    lua_createtable(L, static_cast<int>(std::size(COPIED_EVENTS)), 0);
    for (size_t i = 0; i < std::size(COPIED_EVENTS); ++i) {
        lua_pushstring(L, COPIED_EVENTS[i]);
        lua_rawseti(L, -2, static_cast<lua_Integer>(i + 1));
    }
    lua_rawsetp(L, LUA_REGISTRYINDEX, &COPIED_NAMES);
}

// setmetatable refuses a finalizer, which the collector would run with the instruction limit off, and a __call that
// is not a function, which the interpreter would follow from callable to callable inside one call.
int setScriptMetatable(lua_State* L) {
    luaL_checktype(L, 1, LUA_TTABLE);
    const int type = lua_type(L, 2);
    luaL_argexpected(L, type == LUA_TNIL || type == LUA_TTABLE, 2, "nil or table");
    if (luaL_getmetafield(L, 1, "__metatable") != LUA_TNIL) return luaL_error(L, "cannot change a protected metatable");
    lua_settop(L, 2);
    if (type == LUA_TTABLE) {
        if (rawField(L, 2, "__gc") != LUA_TNIL) return luaL_error(L, "a metatable with __gc is refused");
        const int call = rawField(L, 2, "__call");
        if (call != LUA_TNIL && call != LUA_TFUNCTION) return luaL_error(L, "a metatable's __call must be a function");
        lua_settop(L, 2);
        ModManager::charge(L, STEPS_PER_COPIED_FIELD * static_cast<long long>(std::size(COPIED_EVENTS)));
        pushCopyOf(L, 2);
    }
    lua_setmetatable(L, 1);
    lua_settop(L, 1);
    return 1;
}

// getmetatable answers the script's own metatable, not the copy.
int getScriptMetatable(lua_State* L) {
    luaL_checkany(L, 1);
    if (!lua_getmetatable(L, 1)) {
        lua_pushnil(L);
        return 1;
    }
    if (luaL_getmetafield(L, 1, "__metatable") != LUA_TNIL) return 1;
    if (rawField(L, -1, "__index") == LUA_TFUNCTION && lua_tocfunction(L, -1) == indexThroughScriptMetatable)
        lua_getupvalue(L, -1, 1);
    else
        lua_pop(L, 1);
    return 1;
}

// Strings share the string library's metatable, the one the host does not copy: a script that changed its __index
// could link strings into a loop the interpreter walks inside one instruction, so scripts do not get to see it.
void hideStringMetatable(lua_State* L) {
    pushLibrary(L, "");
    lua_pushboolean(L, 0);
    lua_setfield(L, -2, "__metatable");
    lua_pop(L, 1);
}

// ---- What a script reads is the same on every peer and in every replay ----

// tostring and string.format would show where a table or function lies in memory, which differs between peers and
// runs: such a value is named by the order in which the script first asked about it instead. A table of names with
// weak keys holds the number of each, and under the key false the last number given.
bool showsAddress(lua_State* L, int index) {
    switch (lua_type(L, index)) {
    case LUA_TTABLE:
    case LUA_TFUNCTION:
    case LUA_TUSERDATA:
    case LUA_TTHREAD:
    case LUA_TLIGHTUSERDATA:
        break;
    default:
        return false;
    }
    if (luaL_getmetafield(L, index, "__tostring") == LUA_TNIL) return true;
    lua_pop(L, 1);
    return false;
}

lua_Integer numberOf(lua_State* L, int index, int names) {
    lua_pushvalue(L, index);
    if (lua_rawget(L, names) == LUA_TNUMBER) {
        const lua_Integer known = lua_tointeger(L, -1);
        lua_pop(L, 1);
        return known;
    }
    lua_pop(L, 1);
    lua_pushboolean(L, 0);
    lua_rawget(L, names);
    const lua_Integer number = lua_tointeger(L, -1) + 1;
    lua_pop(L, 1);
    lua_pushboolean(L, 0);
    lua_pushinteger(L, number);
    lua_rawset(L, names);
    lua_pushvalue(L, index);
    lua_pushinteger(L, number);
    lua_rawset(L, names);
    return number;
}

// Replaces the value at index by its name: its type (or its metatable's __name) and its number.
void nameInPlace(lua_State* L, int index, int names) {
    index = lua_absindex(L, index);
    char number[32];
    std::snprintf(number, sizeof number, "0x%08llx", static_cast<unsigned long long>(numberOf(L, index, names)));
    const int nameType = luaL_getmetafield(L, index, "__name");
    const char* kind = nameType == LUA_TSTRING ? lua_tostring(L, -1) : luaL_typename(L, index);
    lua_pushfstring(L, "%s: %s", kind, number);
    if (nameType != LUA_TNIL) lua_remove(L, -2);
    lua_replace(L, index);
}

// Upvalue 2 is the table of names.
int tostringByName(lua_State* L) {
    luaL_checkany(L, 1);
    if (!showsAddress(L, 1)) return callOriginal(L);
    lua_settop(L, 1);
    nameInPlace(L, 1, lua_upvalueindex(2));
    return 1;
}

// A value shown by %s is named as tostring names it; %p shows nothing but an address and is refused.
int formatByName(lua_State* L) {
    size_t length = 0;
    const char* format = luaL_checklstring(L, 1, &length);
    int argument = 1;
    for (size_t i = 0; i < length; ++i) {
        if (format[i] != '%') continue;
        if (++i < length && format[i] == '%') continue;
        while (i < length && format[i] != '\0' && std::strchr("-+ #0123456789.", format[i])) ++i;
        if (i >= length) break;
        ++argument;
        if (format[i] == 'p') return luaL_error(L, "'%%p' shows an address, which differs between peers");
        if (format[i] == 's' && argument <= lua_gettop(L) && showsAddress(L, argument))
            nameInPlace(L, argument, lua_upvalueindex(2));
    }
    return callOriginal(L);
}

// A script that asks for a fresh seed gets the session's own again, not one from the clock and an address.
int seedWithSessionSeed(lua_State* L) {
    if (lua_gettop(L) == 0) lua_pushinteger(L, SESSION_RANDOM_SEED);
    return callOriginal(L);
}

lua_Integer sessionTime(lua_State* L) { return static_cast<lua_Integer>(std::floor(ModManager::sessionSeconds(L))); }

int sessionClock(lua_State* L) {
    lua_pushnumber(L, ModManager::sessionSeconds(L));
    return 1;
}

// A field of the date table, as the interpreter reads it: delta is taken off, a missing field without a fallback
// (fallback < 0) is an error.
int dateField(lua_State* L, const char* key, int fallback, int delta) {
    int isInteger = 0;
    const int type = lua_getfield(L, 1, key);
    const lua_Integer value = lua_tointegerx(L, -1, &isInteger);
    lua_pop(L, 1);
    if (!isInteger) {
        if (type != LUA_TNIL) return luaL_error(L, "field '%s' is not an integer", key);
        if (fallback < 0) return luaL_error(L, "field '%s' missing in date table", key);
        return fallback;
    }
    if (value >= 0 ? value - delta > INT_MAX : value < INT_MIN + delta)
        return luaL_error(L, "field '%s' is out-of-bound", key);
    return static_cast<int>(value - delta);
}

void setDateField(lua_State* L, const char* key, int value, int delta) {
    lua_pushinteger(L, static_cast<lua_Integer>(value) + delta);
    lua_setfield(L, 1, key);
}

// Seconds of the session's simulated time, or a date table read as UTC (and normalised as the interpreter does),
// so neither the machine's clock nor its time zone reaches the script.
int sessionTimeOf(lua_State* L) {
    if (lua_isnoneornil(L, 1)) {
        lua_pushinteger(L, sessionTime(L));
        return 1;
    }
    luaL_checktype(L, 1, LUA_TTABLE);
    lua_settop(L, 1);
    std::tm date{};
    date.tm_year = dateField(L, "year", -1, 1900);
    date.tm_mon = dateField(L, "month", -1, 1);
    date.tm_mday = dateField(L, "day", -1, 0);
    date.tm_hour = dateField(L, "hour", 12, 0);
    date.tm_min = dateField(L, "min", 0, 0);
    date.tm_sec = dateField(L, "sec", 0, 0);
    const time_t seconds = timegm(&date);
    if (seconds == static_cast<time_t>(-1))
        return luaL_error(L, "time result cannot be represented in this installation");
    setDateField(L, "year", date.tm_year, 1900);
    setDateField(L, "month", date.tm_mon, 1);
    setDateField(L, "day", date.tm_mday, 0);
    setDateField(L, "hour", date.tm_hour, 0);
    setDateField(L, "min", date.tm_min, 0);
    setDateField(L, "sec", date.tm_sec, 0);
    setDateField(L, "yday", date.tm_yday, 1);
    setDateField(L, "wday", date.tm_wday, 1);
    lua_pushboolean(L, 0);
    lua_setfield(L, 1, "isdst");
    lua_pushinteger(L, static_cast<lua_Integer>(seconds));
    return 1;
}

// The interpreter's date, always in UTC ('!') and of the session's time when no time is given.
int sessionDate(lua_State* L) {
    lua_settop(L, 2);
    if (lua_isnil(L, 1)) {
        lua_pushliteral(L, "%c");
        lua_replace(L, 1);
    }
    size_t length = 0;
    const char* format = luaL_checklstring(L, 1, &length);
    if (length == 0 || format[0] != '!') {
        lua_pushliteral(L, "!");
        lua_pushvalue(L, 1);
        lua_concat(L, 2);
        lua_replace(L, 1);
    }
    if (lua_isnil(L, 2)) {
        lua_pushinteger(L, sessionTime(L));
        lua_replace(L, 2);
    }
    return callOriginal(L);
}

// Only the clock and the calendar of os, both reading the session's simulated time.
void keepSessionClockOs(lua_State* L) {
    lua_getglobal(L, "os");
    lua_createtable(L, 0, 3);
    lua_pushcfunction(L, sessionTimeOf);
    lua_setfield(L, -2, "time");
    lua_pushcfunction(L, sessionClock);
    lua_setfield(L, -2, "clock");
    lua_getfield(L, -2, "date");
    lua_pushcclosure(L, sessionDate, 1);
    lua_setfield(L, -2, "date");
    lua_setglobal(L, "os");
    lua_pop(L, 1);
}

// The interpreter's quicksort draws its pivot from the clock once a partition comes out lopsided, so equal
// elements, or an order function that is not one, would end in a different order on another peer. A merge sort
// keeps equal elements in their order and reads no clock.
bool sortsBefore(lua_State* L, int a, int b) {
    a = lua_absindex(L, a);
    b = lua_absindex(L, b);
    if (lua_isnil(L, 2)) return lua_compare(L, a, b, LUA_OPLT) != 0;
    lua_pushvalue(L, 2);
    lua_pushvalue(L, a);
    lua_pushvalue(L, b);
    lua_call(L, 2, 1);
    const bool before = lua_toboolean(L, -1);
    lua_pop(L, 1);
    return before;
}

// Merges the runs [first, middle) and [middle, end) of from into to, both tables of the stack.
void mergeRuns(lua_State* L, int from, int to, lua_Integer first, lua_Integer middle, lua_Integer end) {
    lua_Integer left = first;
    lua_Integer right = middle;
    for (lua_Integer out = first; out < end; ++out) {
        bool takeRight = left >= middle;
        if (!takeRight && right < end) {
            lua_rawgeti(L, from, right);
            lua_rawgeti(L, from, left);
            takeRight = sortsBefore(L, -2, -1);
            lua_pop(L, 2);
        }
        lua_rawgeti(L, from, takeRight ? right++ : left++);
        lua_rawseti(L, to, out);
    }
}

int sortStably(lua_State* L) {
    luaL_checktype(L, 1, LUA_TTABLE);
    const lua_Integer n = tableLength(L, 1);
    if (n < 2) return 0;
    luaL_argcheck(L, n < INT_MAX, 1, "array too big");
    if (!lua_isnoneornil(L, 2)) luaL_checktype(L, 2, LUA_TFUNCTION);
    lua_settop(L, 2);
    lua_createtable(L, static_cast<int>(n), 0);
    lua_createtable(L, static_cast<int>(n), 0);
    int from = 3;
    int to = 4;
    for (lua_Integer i = 1; i <= n; ++i) {
        lua_geti(L, 1, i);
        lua_rawseti(L, from, i);
    }
    for (lua_Integer width = 1; width < n; width *= 2) {
        for (lua_Integer first = 1; first <= n; first += 2 * width) {
            const lua_Integer middle = std::min(first + width, n + 1);
            mergeRuns(L, from, to, first, middle, std::min(first + 2 * width, n + 1));
        }
        std::swap(from, to);
    }
    for (lua_Integer i = 1; i <= n; ++i) {
        lua_rawgeti(L, from, i);
        lua_seti(L, 1, i);
    }
    return 0;
}

// The interpreter walks a table in the order of its slots, which follows string hashes seeded per state and the
// addresses of tables and functions. pairs and next walk the keys in an order of their own instead: numbers by
// value, then strings byte by byte, then false and true, then the tables, functions, coroutines and userdata of the
// state by their place in its region, then the functions of the libraries and the host by name.
enum KeyRank { NUMBER_KEY, STRING_KEY, BOOLEAN_KEY, PLACED_KEY, NAMED_KEY, UNORDERED_KEY };

struct KeyPlace {
    KeyRank rank;
    bool isInteger;
    lua_Integer integer;  // also the place of a placed key and the name's number of a named one
    lua_Number number;
    const char* text;  // or the boolean as 0/1 in length
    size_t length;
    lua_Integer slot;  // in the interpreter's order, the last tie-break
};

// The registry's table from each host function to the number of its name.
const char HOST_FUNCTION_ORDER = 0;

KeyPlace placeOfKey(lua_State* L, int index, lua_Integer slot, int names) {
    KeyPlace place{UNORDERED_KEY, false, 0, 0, nullptr, 0, slot};
    switch (lua_type(L, index)) {
    case LUA_TNUMBER:
        place.rank = NUMBER_KEY;
        place.integer = lua_tointegerx(L, index, nullptr);
        place.isInteger = lua_isinteger(L, index);
        place.number = lua_tonumber(L, index);
        break;
    case LUA_TSTRING:
        place.rank = STRING_KEY;
        place.text = lua_tolstring(L, index, &place.length);
        break;
    case LUA_TBOOLEAN:
        place.rank = BOOLEAN_KEY;
        place.length = static_cast<size_t>(lua_toboolean(L, index));
        break;
    default:
        if (const std::optional<size_t> offset = ModManager::placeInState(L, lua_topointer(L, index))) {
            place.rank = PLACED_KEY;
            place.integer = static_cast<lua_Integer>(*offset);
            break;
        }
        lua_pushvalue(L, index);
        if (lua_rawget(L, names) == LUA_TNUMBER) {
            place.rank = NAMED_KEY;
            place.integer = lua_tointeger(L, -1);
        }
        lua_pop(L, 1);
        break;
    }
    return place;
}

// Integers and floats compared exactly: a long double holds every 64-bit integer.
int compareNumbers(const KeyPlace& a, const KeyPlace& b) {
    if (a.isInteger && b.isInteger) return (a.integer > b.integer) - (a.integer < b.integer);
    const long double x = a.isInteger ? static_cast<long double>(a.integer) : a.number;
    const long double y = b.isInteger ? static_cast<long double>(b.integer) : b.number;
    return (x > y) - (x < y);
}

int compareWithinRank(const KeyPlace& a, const KeyPlace& b) {
    switch (a.rank) {
    case NUMBER_KEY:
        return compareNumbers(a, b);
    case STRING_KEY: {
        const int common = std::char_traits<char>::compare(a.text, b.text, std::min(a.length, b.length));
        return common != 0 ? common : (a.length > b.length) - (a.length < b.length);
    }
    case BOOLEAN_KEY:
        return (a.length > b.length) - (a.length < b.length);
    case PLACED_KEY:
    case NAMED_KEY:
        return (a.integer > b.integer) - (a.integer < b.integer);
    case UNORDERED_KEY:
        break;
    }
    return 0;
}

bool keyBefore(const KeyPlace& a, const KeyPlace& b) {
    if (a.rank != b.rank) return a.rank < b.rank;
    const int order = compareWithinRank(a, b);
    return order != 0 ? order < 0 : a.slot < b.slot;
}

// A state whose host functions were never ordered gets an empty table.
void pushHostFunctionOrder(lua_State* L) {
    if (lua_rawgetp(L, LUA_REGISTRYINDEX, &HOST_FUNCTION_ORDER) == LUA_TTABLE) return;
    lua_pop(L, 1);
    lua_newtable(L);
}

lua_Integer countKeys(lua_State* L, int table) {
    lua_Integer n = 0;
    lua_pushnil(L);
    while (lua_next(L, table)) {
        lua_pop(L, 1);
        ++n;
    }
    return n;
}

// Walks the keys in the order of upvalue 1, with upvalue 2 giving each key's place; keys removed since are skipped,
// each one charged.
int nextInOrder(lua_State* L) {
    luaL_checktype(L, 1, LUA_TTABLE);
    lua_settop(L, 2);
    lua_Integer place = 0;
    if (!lua_isnil(L, 2)) {
        lua_pushvalue(L, 2);
        if (lua_rawget(L, lua_upvalueindex(2)) != LUA_TNUMBER) return luaL_error(L, "invalid key to 'next'");
        place = lua_tointeger(L, -1);
        lua_pop(L, 1);
    }
    const auto n = static_cast<lua_Integer>(lua_rawlen(L, lua_upvalueindex(1)));
    for (lua_Integer i = place + 1; i <= n; ++i) {
        lua_rawgeti(L, lua_upvalueindex(1), i);
        lua_pushvalue(L, -1);
        if (lua_rawget(L, 1) != LUA_TNIL) {
            ModManager::charge(L, i - place);
            return 2;
        }
        lua_pop(L, 2);
    }
    ModManager::charge(L, n - place + 1);
    lua_pushnil(L);
    return 1;
}

// A closure that walks the keys the table at index has now, in their order: its upvalues are the keys in order
// and a table from each key to its place. Finding the keys goes over every slot, cleared ones too; the sort is
// charged like table.sort's.
void pushOrderedWalk(lua_State* L, int table) {
    table = lua_absindex(L, table);
    ModManager::charge(L, ModManager::tableWalkPrice(L));
    const lua_Integer n = countKeys(L, table);
    ModManager::charge(L, sortingCost(L, n));
    lua_createtable(L, static_cast<int>(n), 0);
    const int found = lua_gettop(L);
    lua_Integer slot = 0;
    lua_pushnil(L);
    while (lua_next(L, table)) {
        lua_pop(L, 1);
        lua_pushvalue(L, -1);
        lua_rawseti(L, found, ++slot);
    }
    auto* places = static_cast<KeyPlace*>(lua_newuserdatauv(L, static_cast<size_t>(n) * sizeof(KeyPlace), 0));
    pushHostFunctionOrder(L);
    const int names = lua_gettop(L);
    for (lua_Integer i = 1; i <= n; ++i) {
        lua_rawgeti(L, found, i);
        places[i - 1] = placeOfKey(L, -1, i, names);  // the found table keeps a string's text alive
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
    std::sort(places, places + n, keyBefore);
    lua_createtable(L, static_cast<int>(n), 0);
    lua_createtable(L, 0, static_cast<int>(n));
    for (lua_Integer i = 1; i <= n; ++i) {
        lua_rawgeti(L, found, places[i - 1].slot);
        lua_pushvalue(L, -1);
        lua_rawseti(L, -4, i);
        lua_pushinteger(L, i);
        lua_rawset(L, -3);
    }
    lua_pushcclosure(L, nextInOrder, 2);
    lua_replace(L, found);
    lua_settop(L, found);
}

// A value without __pairs that is not a table gets the sandbox's next (upvalue 2) where the interpreter's pairs
// hands out its own, unordered one: walking it raises what standard Lua raises for such a value.
int pairsInOrder(lua_State* L) {
    luaL_checkany(L, 1);
    if (luaL_getmetafield(L, 1, "__pairs") != LUA_TNIL) {
        lua_pop(L, 1);
        return callOriginal(L);
    }
    lua_settop(L, 1);
    if (lua_istable(L, 1))
        pushOrderedWalk(L, 1);
    else
        lua_pushvalue(L, lua_upvalueindex(2));
    lua_pushvalue(L, 1);
    lua_pushnil(L);
    return 3;
}

// Whether the walk on top of the stack knows the key at index.
bool walkKnows(lua_State* L, int key) {
    lua_getupvalue(L, -1, 2);
    lua_pushvalue(L, key);
    const bool known = lua_rawget(L, -2) != LUA_TNIL;
    lua_pop(L, 2);
    return known;
}

// next keeps the walk it made of each table in upvalue 2, a table with weak keys. A walk from the start, or from
// a key the kept walk does not know, takes the table as it is now.
int nextInKeyOrder(lua_State* L) {
    luaL_checktype(L, 1, LUA_TTABLE);
    lua_settop(L, 2);
    lua_pushvalue(L, 1);
    const bool kept = !lua_isnil(L, 2) && lua_rawget(L, lua_upvalueindex(2)) == LUA_TFUNCTION && walkKnows(L, 2);
    if (!kept) {
        lua_settop(L, 2);
        pushOrderedWalk(L, 1);
        lua_pushvalue(L, 1);
        lua_pushvalue(L, -2);
        lua_rawset(L, lua_upvalueindex(2));
    }
    lua_insert(L, 1);
    lua_call(L, 2, LUA_MULTRET);
    return lua_gettop(L);
}

bool isHostFunction(lua_State* L, int index) {
    return lua_type(L, index) == LUA_TFUNCTION && !ModManager::placeInState(L, lua_topointer(L, index));
}

// Puts each host function among the fields of the table into byName, under prefix and its field's name.
void collectHostFunctions(lua_State* L, int table, const std::string& prefix, int byName) {
    lua_pushnil(L);
    while (lua_next(L, table)) {
        if (lua_type(L, -2) == LUA_TSTRING && isHostFunction(L, -1)) {
            size_t length = 0;
            const char* field = lua_tolstring(L, -2, &length);
            const std::string name = prefix + std::string(field, length);
            lua_pushvalue(L, -1);
            lua_setfield(L, byName, name.c_str());
        }
        lua_pop(L, 1);
    }
}

// The iterators ipairs and utf8.codes hand out are host functions no table holds.
void collectIterators(lua_State* L, int byName) {
    lua_getglobal(L, "ipairs");
    lua_newtable(L);
    lua_call(L, 1, 1);
    lua_setfield(L, byName, "ipairs()");
    for (const bool lax : {false, true}) {
        lua_getglobal(L, LUA_UTF8LIBNAME);
        lua_getfield(L, -1, "codes");
        lua_remove(L, -2);
        lua_pushliteral(L, "");
        lua_pushboolean(L, lax);
        lua_call(L, 2, 1);
        lua_setfield(L, byName, lax ? "utf8.codes(lax)" : "utf8.codes()");
    }
}

// Numbers the functions of byName by their names' order; a function under several names takes the first.
void numberByName(lua_State* L, int byName) {
    std::vector<std::string> names;
    lua_pushnil(L);
    while (lua_next(L, byName)) {
        lua_pop(L, 1);
        size_t length = 0;
        const char* name = lua_tolstring(L, -1, &length);
        names.emplace_back(name, length);
    }
    std::sort(names.begin(), names.end());
    lua_newtable(L);
    const int order = lua_gettop(L);
    lua_Integer number = 0;
    for (const std::string& name : names) {
        lua_getfield(L, byName, name.c_str());
        lua_pushvalue(L, -1);
        if (lua_rawget(L, order) != LUA_TNIL) {
            lua_pop(L, 2);
            continue;
        }
        lua_pop(L, 1);
        lua_pushinteger(L, ++number);
        lua_rawset(L, order);
    }
    lua_rawsetp(L, LUA_REGISTRYINDEX, &HOST_FUNCTION_ORDER);
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

void orderHostFunctions(lua_State* L) {
    lua_newtable(L);
    const int byName = lua_gettop(L);
    lua_pushglobaltable(L);
    const int globals = lua_gettop(L);
    collectHostFunctions(L, globals, "", byName);
    lua_pushnil(L);
    while (lua_next(L, globals)) {
        if (lua_type(L, -2) == LUA_TSTRING && lua_istable(L, -1))
            collectHostFunctions(L, lua_gettop(L), std::string(lua_tostring(L, -2)) + ".", byName);
        lua_pop(L, 1);
    }
    collectIterators(L, byName);
    numberByName(L, byName);
    lua_pop(L, 2);
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
    keepSessionClockOs(L);
    for (const char* name : {"loadfile", "dofile"}) removeField(L, "_G", name);
    removeField(L, "string", "dump");
    wrap(L, "_G", "load", loadText, 0);
    prepareMetatableCopies(L);
    lua_register(L, "setmetatable", setScriptMetatable);
    lua_register(L, "getmetatable", getScriptMetatable);
    hideStringMetatable(L);
    wrap(L, "math", "randomseed", seedWithSessionSeed, 0);
    pushWeakKeyedTable(L);
    wrap(L, "_G", "next", nextInKeyOrder, 1);
    lua_getglobal(L, "next");
    wrap(L, "_G", "pairs", pairsInOrder, 1);
    pushWeakKeyedTable(L);
    lua_pushvalue(L, -1);
    wrap(L, "_G", "tostring", tostringByName, 1);
    wrap(L, "string", "format", formatByName, 1);
    lua_getglobal(L, "table");
    lua_pushcfunction(L, sortStably);
    lua_setfield(L, -2, "sort");
    lua_pop(L, 1);
    for (const char* name : {"pcall", "xpcall"}) wrap(L, "_G", name, rethrowSpentBudget, 0);
    for (size_t i = 0; i < std::size(CHARGED); ++i) {
        lua_pushinteger(L, static_cast<lua_Integer>(i));
        wrap(L, CHARGED[i].library, CHARGED[i].name, chargedCall, 1);
    }
}
