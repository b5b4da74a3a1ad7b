// The mod script's sandbox: only the safe libraries, text chunks only, costly library calls charged to the budget.
#pragma once

#include <cstddef>

struct lua_State;

// Steps one link of a metatable chain costs: a call through the host, about as long as that many instructions.
constexpr long long METATABLE_LINK_STEPS = 10;

// The seed of math.random at session start and whenever a script asks for a fresh one.
constexpr long long SESSION_RANDOM_SEED = 0;

// Opens base, string, table, math, utf8 and a clock-only os, with every way out of the sandbox taken away: no file,
// no program, no binary chunk, no error handler that could swallow a spent budget, no finalizer, no metatable chain
// walked inside one instruction (objects carry copies of their metatables, taken at each setmetatable, whose __index
// and __newindex read the script's own through a charged call). Nothing a script reads differs between peers or
// replays: the clocks read the session's simulated time in UTC, a fresh random seed is the session's, pairs and next
// walk keys in an order of their own (tables and functions by where they lie in the state's region), table.sort
// reads no clock, and tostring and string.format name tables and functions instead of showing their addresses.
void openSandboxLibraries(lua_State* L);

// The functions of the libraries and the host lie in the program, at places that differ between peers, so pairs
// and next order them as table keys by their names instead. Call once every global is set, before the script runs.
void orderHostFunctions(lua_State* L);

// Worst-case matcher steps of a pattern call on a subject of n bytes: each quantifier or balance may try every
// position of what is left, an optional item doubles the tries. Saturates instead of overflowing.
long long patternCost(const char* pattern, size_t m, size_t n, bool repeatsOverSubject);
