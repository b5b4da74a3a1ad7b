// The Lua mod host: one script per session, the nine functions it acts through and the callbacks it receives.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "map.h"

struct lua_State;
struct lua_Debug;
class ModArena;

// A call the script scheduled with "after".
struct TimedEvent {
    float delay = 0.0f;  // seconds left, counted down by the tick length
    std::function<void()> callback;
};

// What a script may hold at once; beyond these its calls are refused.
constexpr size_t MAX_SCRIPT_TIMERS = 4096;
constexpr int MAX_SCRIPT_SPAWNS_PER_TICK = 256;
constexpr size_t MAX_USER_DATA_KEYS = 64;
constexpr size_t MAX_USER_DATA_KEY_LENGTH = 128;
// Numbers kept for all units together: entries outlive their units, so the keys per unit alone bound nothing.
constexpr size_t MAX_USER_DATA_VALUES = 1u << 16;
// Units the world may hold for a script's spawn to be accepted: the per-tick limit alone lets it grow every tick.
constexpr size_t MAX_UNITS_FOR_SCRIPT_SPAWN = 4096;
// Steps one sub-tile expanded by a path search a script asked for costs: about the instructions it takes as long.
constexpr long long PATH_NODE_STEPS = 32;
constexpr size_t MAX_SCRIPT_MEMORY = 64u << 20;
// A full collection walks the whole heap: steps it costs per KiB the state holds.
constexpr long long COLLECTION_STEPS_PER_KIB = 64;
// The address space of one state: room for what the limit lets a script hold, however its blocks round up.
constexpr size_t SCRIPT_REGION_BYTES = 4 * MAX_SCRIPT_MEMORY;
// Steps one protected call may take before it is stopped as runaway: virtual machine instructions at their price,
// plus the worst case of costly library calls and one step per 16 bytes allocated.
constexpr long long MAX_SCRIPT_INSTRUCTIONS = 20'000'000;
// One comparison of two strings walks them whole in one instruction, so every instruction costs one step plus
// one per STRING_BYTES_PER_STEP bytes by which the longest live string exceeds FREE_STRING_LENGTH.
constexpr size_t FREE_STRING_LENGTH = 256;
constexpr size_t STRING_BYTES_PER_STEP = 64;
// Steps all calls of one tick may take together, so many callbacks cannot each spend a whole budget.
constexpr long long MAX_SCRIPT_TICK_STEPS = 2 * MAX_SCRIPT_INSTRUCTIONS;
// Values one call moves (its arguments, or a script function's registers when more) cost a step per this many:
// a call can move hundreds of thousands of them, which the instruction count alone sees as one instruction.
constexpr long long VALUES_PER_STEP = 4;
// A walk of a table goes over every slot, cleared ones too, and no count of them is public: vector blocks larger
// than this are kept track of, and a walk costs one step per WALK_BYTES_PER_STEP bytes of the largest alive.
constexpr size_t TRACKED_VECTOR_BYTES = 4096;
constexpr size_t WALK_BYTES_PER_STEP = 32;
inline constexpr const char* SCRIPT_TOO_LONG = "script ran too long";
// Failures in a row after which a callback is not called again in the session.
constexpr int MAX_CALLBACK_FAILURES = 3;

// The folder of the one script, relative to the working directory, and the script's name in it.
inline const std::string MOD_FOLDER = "src/mods/";
inline constexpr const char* MOD_SCRIPT = "tower_defense.lua";

// A hash of the script's bytes in the folder, in hex; empty when it cannot be read. Peers with equal ones run alike.
std::string modScriptFingerprint(const std::string& folder = MOD_FOLDER);

// Blocks of the interpreter's memory, each with a size, and the largest alive.
class SizedBlocks {
public:
    void note(void* block, size_t size);
    void forget(void* block);
    size_t largest() const { return counts_.empty() ? 0 : counts_.rbegin()->first; }
    void clear();

private:
    std::unordered_map<void*, size_t> sizes_;
    std::map<size_t, int> counts_;  // how many blocks of each size
};

class ModManager {
public:
    ModManager();
    ~ModManager();

    lua_State* L = nullptr;
    std::vector<TimedEvent> timers;  // in the order scheduled
    Grid* grid = nullptr;

    // Session start with mods on: a fresh state with the nine globals, the script run, then its onInit. Whatever
    // an earlier session left is shut down first.
    void start(Grid& world, const std::string& folder = MOD_FOLDER);
    // Session end: the state closed, every timer and the per-unit numbers dropped, the unit hooks emptied.
    void shutdown();

    void loadAllMods(const std::string& folder);
    // The end of every tick: due timers in the order scheduled, then onUpdate.
    void update(float dt);
    // The script's global function name with arg as its one string argument, none when arg is empty.
    void callLua(const std::string& name, const std::string& arg);

    static int l_after(lua_State* L);
    static int l_spawnUnit(lua_State* L);
    static int l_sendToClosestEnemy(lua_State* L);
    static int l_unitMoveTo(lua_State* L);
    static int l_unitSetUserData(lua_State* L);
    static int l_unitGetUserData(lua_State* L);
    static int l_addPlayerGold(lua_State* L);
    static int l_decreaseBuildingHp(lua_State* L);
    static int l_addUnitForRemoval(lua_State* L);

    // Adds steps to the running call's budget; raises the script error once it is spent.
    static void charge(lua_State* L, long long steps);
    // Steps one instruction costs now, as long as the longest live string stays.
    static long long instructionPrice(lua_State* L);
    // Steps a walk over the slots of any table may take: none has more than the largest vector block alive.
    static long long tableWalkPrice(lua_State* L);
    // Raises the script error when the running call's budget is spent; it stays spent until the host's protected
    // call returns, so whatever caught the error cannot run on.
    static void raiseIfSpent(lua_State* L);
    // Seconds of the session's simulated time: the ticks the host has ended, each of its length.
    static double sessionSeconds(lua_State* L);
    // Where a value of the state lies from its region's start, the same on every peer; nothing for a place
    // outside the region, as a function of the program has.
    static std::optional<size_t> placeInState(lua_State* L, const void* place);
    bool switchedOff(const std::string& callback) const;
    // Numbers the script keeps in unitUserData.
    size_t userDataValues() const { return userDataValues_; }
    // Bytes the state holds, as the memory limit counts them.
    size_t memoryUsed() const { return memoryUsed_; }

private:
    // onUnitDeath and onUnitArrive run while the tick holds references to units.
    void callWithUnit(const char* name, int unitId);
    // Pops the function and its nargs arguments under the memory and instruction limits; false leaves the error.
    bool guardedCall(int nargs);
    // The same, writing a failure as "Lua error in <label>: " and the message on one line; the third failure in
    // a row switches the callback off.
    void protectedCall(int nargs, const char* label);
    // Pushes the script's callback and answers true, unless it is missing or switched off.
    bool pushCallback(const char* name);
    // The interpreter's message of the failed call on one line.
    std::string failureText();
    void keepSpawnHeadroom();
    // Writes one line the first time in the session that the named limit refuses a call.
    void reportLimit(const char* limit);

    // Lua strings longer than the free length, alive in the state, by their text length. The longest prices every
    // instruction, because one comparison walks it whole.
    SizedBlocks longStrings_;
    // Vector blocks (table slots, stacks, code) larger than TRACKED_VECTOR_BYTES, by their bytes.
    SizedBlocks vectors_;
    size_t lastStringBlock_ = 0;  // bytes of the string allocated last
    size_t stringHeader_ = 0;     // bytes of a string block that are not its text
    long long stepsPerInstruction_ = 1;
    int hookInterval_ = 1;  // instructions between two looks at the budget

    std::unique_ptr<ModArena> arena_;  // made before the state and dropped after it
    bool guarded_ = false;
    size_t memoryUsed_ = 0;
    long long instructions_ = 0;
    long long limit_ = MAX_SCRIPT_INSTRUCTIONS;  // of the running call
    long long tickSteps_ = 0;                     // taken by the calls of this tick so far
    std::unordered_map<std::string, int> failures_;  // callback -> failures in a row
    int scriptPlayer_ = 0;  // the seat the script knows as the local player, the same on every peer
    int unitCallbackDepth_ = 0;
    int spawnsThisTick_ = 0;
    double elapsed_ = 0.0;
    size_t userDataValues_ = 0;
    std::vector<std::string> limitsReported_;

    static void* allocate(void* ud, void* block, size_t oldSize, size_t newSize);
    void measureStringHeader();
    void noteString(void* block, size_t size);
    long long instructionCost() const;
    void retuneHook();
    static void hook(lua_State* L, lua_Debug* ar);
    static void stopSpentCall(lua_State* L);
    static void countInstructions(lua_State* L);
    static void chargeCall(lua_State* L, lua_Debug* ar);
    static ModManager& of(lua_State* L);
    static bool maySpawnNow(lua_State* L);
    // Charges the path search work done since the count was taken.
    static void chargePathSearch(lua_State* L, long long nodesBefore);
};

extern ModManager modManager;

// Unit id -> key -> number, written and read only by the script.
extern std::unordered_map<int, std::unordered_map<std::string, double>> unitUserData;

// The engine's mod hooks: the host's start and update with mods on, empty functions otherwise.
extern void (*InitMod)(Grid& world);
extern void (*UpdateMod)(float dt);
void selectModHooks(bool mods);
