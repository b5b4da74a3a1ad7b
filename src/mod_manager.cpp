// The Lua mod host: one script per session, the nine functions it acts through and the callbacks it receives.
#include "mod_manager.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <iostream>
#include <optional>

#include <lua.hpp>

#include "buildings.h"
#include "config.h"
#include "mod_arena.h"
#include "mod_sandbox.h"
#include "player.h"
#include "units.h"
#include "utils.h"

ModManager modManager;
std::unordered_map<int, std::unordered_map<std::string, double>> unitUserData;

namespace {

void noModStart(Grid&) {}
void noModUpdate(float) {}
void hostStart(Grid& world) { modManager.start(world); }
void hostUpdate(float dt) { modManager.update(dt); }

// Instructions between two looks at a call's budget.
constexpr long long INSTRUCTION_STEP = 1000;
// Bytes a script may allocate for one step of its budget: copying them costs about one instruction.
constexpr size_t BYTES_PER_STEP = 16;
// Longest a script may push a timer away, in seconds.
constexpr double MAX_TIMER_DELAY = 1e7;

// Every scheduled call counts as one callback, so a chain of failing timers is switched off like onUpdate.
constexpr const char* TIMER_CALLBACK = "after()";

// Script arguments are untrusted: each reader answers nothing for a value of the wrong type or range.
std::optional<int> intArg(lua_State* L, int index) {
    if (lua_type(L, index) != LUA_TNUMBER) return std::nullopt;
    int isInteger = 0;
    const lua_Integer value = lua_tointegerx(L, index, &isInteger);
    if (!isInteger || value < INT_MIN || value > INT_MAX) return std::nullopt;
    return static_cast<int>(value);
}

std::optional<double> numberArg(lua_State* L, int index) {
    if (lua_type(L, index) != LUA_TNUMBER) return std::nullopt;
    return lua_tonumber(L, index);
}

std::optional<std::string> stringArg(lua_State* L, int index) {
    if (lua_type(L, index) != LUA_TSTRING) return std::nullopt;
    size_t length = 0;
    const char* text = lua_tolstring(L, index, &length);
    return std::string(text, length);
}

int answer(lua_State* L, bool done) {
    lua_pushboolean(L, done);
    return 1;
}

int answerNil(lua_State* L) {
    lua_pushnil(L);
    return 1;
}

Unit* unitArg(lua_State* L, int index) {
    const std::optional<int> id = intArg(L, index);
    return id ? getUnitById(*id) : nullptr;
}

// A unit aboard a carrier or inside a building is not on the map to be moved.
Unit* unitOnMapArg(lua_State* L, int index) {
    Unit* unit = unitArg(L, index);
    return unit && unit->onMap ? unit : nullptr;
}

// The interpreter's message on one line; an error value without text gives an empty one.
std::string errorLine(lua_State* L) {
    const char* text = lua_type(L, -1) == LUA_TSTRING || lua_type(L, -1) == LUA_TNUMBER ? lua_tostring(L, -1) : "";
    std::string line = text ? text : "";
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    return line;
}

// A global looked up without metamethods, so a script cannot raise an error outside a protected call. Pushes
// the function and answers true, or leaves the stack as it was.
bool pushGlobalFunction(lua_State* L, const char* name) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
    lua_pushstring(L, name);
    const bool isFunction = lua_rawget(L, -2) == LUA_TFUNCTION;
    lua_remove(L, -2);
    if (!isFunction) lua_pop(L, 1);
    return isFunction;
}

bool hasVararg(lua_State* L, lua_Debug* ar, int n) {
    if (!lua_getlocal(L, ar, -n)) return false;
    lua_pop(L, 1);
    return true;
}

// The extra arguments of the function a call hook reports, found by doubling and halving the probe: none for a C
// function or a script function without '...'.
long long varargCount(lua_State* L, lua_Debug* ar) {
    if (!hasVararg(L, ar, 1)) return 0;
    int present = 1;
    int absent = 2;
    while (hasVararg(L, ar, absent)) {
        present = absent;
        absent *= 2;
    }
    while (absent - present > 1) {
        const int middle = present + (absent - present) / 2;
        (hasVararg(L, ar, middle) ? present : absent) = middle;
    }
    return present;
}

// The player a script serves: the first seat of the session that no computer plays. Seats are listed in the same
// order on every peer (the host's first) and in replays; alone it is the local player.
int firstHumanSeat() {
    const auto human = std::find_if(players.begin(), players.end(), [](const auto& p) { return !p->isAI; });
    return human != players.end() ? (*human)->id : Player::myStaticId;
}

// The pool of a new block: the interpreter names the type of a new object, a new vector has none.
ModArena::Pool poolOfNew(size_t type) {
    const bool keyable = type >= LUA_TTABLE && type <= LUA_TTHREAD;
    return keyable ? ModArena::Pool::Keyable : ModArena::Pool::Data;
}

// The registry's key of the error a spent budget raises.
const char SPENT_ERROR = 0;

// Every peer and every replay must draw the same numbers.
constexpr const char* SEED_STATE = "math.randomseed()\n";

}  // namespace

void (*InitMod)(Grid& world) = noModStart;
void (*UpdateMod)(float dt) = noModUpdate;

void selectModHooks(bool mods) {
    InitMod = mods ? hostStart : noModStart;
    UpdateMod = mods ? hostUpdate : noModUpdate;
}

ModManager::ModManager() = default;
ModManager::~ModManager() = default;

ModManager& ModManager::of(lua_State* L) { return **static_cast<ModManager**>(lua_getextraspace(L)); }

void* ModManager::allocate(void* ud, void* block, size_t oldSize, size_t newSize) {
    auto& host = *static_cast<ModManager*>(ud);
    const size_t old = block ? oldSize : 0;
    if (newSize == 0) {
        if (old > host.stringHeader_ + FREE_STRING_LENGTH) host.longStrings_.forget(block);
        if (old > TRACKED_VECTOR_BYTES) host.vectors_.forget(block);
        if (block) host.arena_->release(block, oldSize);
        host.memoryUsed_ -= old;
        return nullptr;
    }
    // Only script code is held to the limits; the host's own few pushes must never fail outside a protected call.
    if (host.guarded_ && newSize > old) {
        host.instructions_ += static_cast<long long>(newSize / BYTES_PER_STEP);
        if (host.instructions_ > host.limit_) return nullptr;
        // The interpreter answers a refusal with a full collection and one more try, so a script at its cap pays
        // for each as for collectgarbage(), not a few steps for a walk over its whole heap.
        if (host.memoryUsed_ - old + newSize > MAX_SCRIPT_MEMORY) {
            host.instructions_ += static_cast<long long>(host.memoryUsed_ / 1024) * COLLECTION_STEPS_PER_KIB + 1;
            return nullptr;
        }
    }
    // A new block of no object type is a vector, and only vectors are resized: objects keep their size.
    const bool vector = block || oldSize == 0;
    if (old > TRACKED_VECTOR_BYTES) host.vectors_.forget(block);
    void* moved = block ? host.arena_->resize(block, oldSize, newSize, host.guarded_)
                        : host.arena_->allocate(newSize, poolOfNew(oldSize), host.guarded_);
    if (moved) host.memoryUsed_ = host.memoryUsed_ - old + newSize;
    // Lua tags a new object's block with its type; strings are never resized, only made and freed.
    if (moved && !block && oldSize == LUA_TSTRING) host.noteString(moved, newSize);
    // A refused resize leaves the old block untracked: the interpreter then fails the call anyway.
    if (moved && vector && newSize > TRACKED_VECTOR_BYTES) host.vectors_.note(moved, newSize);
    return moved;
}

// The interpreter's string header is not public: a string of known length shows it.
void ModManager::measureStringHeader() {
    constexpr size_t PROBE = 64;  // too long to be interned, so it gets a block of its own
    const std::string probe(PROBE, ' ');
    lua_pushlstring(L, probe.data(), PROBE);
    lua_pop(L, 1);
    stringHeader_ = lastStringBlock_ - PROBE;
}

void ModManager::noteString(void* block, size_t size) {
    lastStringBlock_ = size;
    if (size <= stringHeader_ + FREE_STRING_LENGTH) return;
    const size_t length = size - stringHeader_;
    longStrings_.note(block, length);
    if (instructionCost() <= stepsPerInstruction_) return;
    // The instructions since the last look are not known: the whole interval is charged at the old price.
    if (guarded_) instructions_ += hookInterval_ * stepsPerInstruction_;
    if (L) retuneHook();
}

void SizedBlocks::note(void* block, size_t size) {
    sizes_.emplace(block, size);
    ++counts_[size];
}

void SizedBlocks::forget(void* block) {
    const auto live = sizes_.find(block);
    if (live == sizes_.end()) return;
    const auto count = counts_.find(live->second);
    if (--count->second == 0) counts_.erase(count);
    sizes_.erase(live);
}

void SizedBlocks::clear() {
    sizes_.clear();
    counts_.clear();
}

long long ModManager::instructionCost() const {
    const size_t longest = longStrings_.largest();
    if (longest == 0) return 1;
    return 1 + static_cast<long long>((longest - FREE_STRING_LENGTH) / STRING_BYTES_PER_STEP);
}

// The budget is looked at after INSTRUCTION_STEP steps' worth of instructions at the present price, at least after
// every instruction, so no more than about INSTRUCTION_STEP * STRING_BYTES_PER_STEP bytes are compared between looks.
void ModManager::retuneHook() {
    stepsPerInstruction_ = instructionCost();
    hookInterval_ = static_cast<int>(std::max(1LL, INSTRUCTION_STEP / stepsPerInstruction_));
    lua_sethook(L, hook, LUA_MASKCOUNT | LUA_MASKCALL, hookInterval_);
}

void ModManager::hook(lua_State* L, lua_Debug* ar) {
    raiseIfSpent(L);
    if (ar->event == LUA_HOOKCOUNT)
        countInstructions(L);
    else
        chargeCall(L, ar);
}

// Once the budget is spent every look raises again, so a script that caught the error cannot run on. A price that
// fell because the longest string was collected takes effect from here.
void ModManager::countInstructions(lua_State* L) {
    ModManager& host = of(L);
    const long long steps = host.hookInterval_ * host.stepsPerInstruction_;
    if (host.instructionCost() != host.stepsPerInstruction_) host.retuneHook();
    charge(L, steps);
}

// The values a call moved: its arguments, or a script function's registers when they are more, and the extra
// arguments of a vararg function, which lie below its frame.
void ModManager::chargeCall(lua_State* L, lua_Debug* ar) {
    const long long values = lua_gettop(L) + varargCount(L, ar);
    if (values >= VALUES_PER_STEP) charge(L, values / VALUES_PER_STEP);
}

void ModManager::charge(lua_State* L, long long steps) {
    ModManager& host = of(L);
    host.instructions_ = steps > host.limit_ ? host.limit_ + 1 : host.instructions_ + steps;
    raiseIfSpent(L);
}

void ModManager::raiseIfSpent(lua_State* L) {
    if (of(L).instructions_ > of(L).limit_) stopSpentCall(L);
}

// Close methods of to-be-closed variables and message handlers still run while a stopped call unwinds: from here
// every instruction and every call raises at once, so none of them runs on, renews itself or allocates. The error
// value was made at start, so raising it allocates nothing either: a refused allocation would cost a full
// collection each time.
void ModManager::stopSpentCall(lua_State* L) {
    lua_sethook(L, hook, LUA_MASKCOUNT | LUA_MASKCALL, 1);
    lua_rawgetp(L, LUA_REGISTRYINDEX, &SPENT_ERROR);
    lua_error(L);
}

long long ModManager::instructionPrice(lua_State* L) { return of(L).instructionCost(); }

long long ModManager::tableWalkPrice(lua_State* L) {
    return static_cast<long long>(of(L).vectors_.largest() / WALK_BYTES_PER_STEP);
}

double ModManager::sessionSeconds(lua_State* L) { return of(L).elapsed_; }

std::optional<size_t> ModManager::placeInState(lua_State* L, const void* place) {
    return of(L).arena_->offsetOf(place);
}

bool ModManager::guardedCall(int nargs) {
    const bool wasGuarded = guarded_;
    if (!wasGuarded) {
        instructions_ = 0;
        limit_ = std::min(MAX_SCRIPT_INSTRUCTIONS, MAX_SCRIPT_TICK_STEPS - tickSteps_);
    }
    guarded_ = true;
    const bool ok = lua_pcall(L, nargs, 0, 0) == LUA_OK;
    guarded_ = wasGuarded;
    // A stopped call left the hook looking at every instruction.
    if (!wasGuarded) retuneHook();
    if (!wasGuarded) tickSteps_ += std::min(instructions_, limit_);
    return ok;
}

// A spent budget may surface as a refused allocation; the line names the real cause.
std::string ModManager::failureText() {
    return instructions_ > limit_ ? SCRIPT_TOO_LONG : errorLine(L);
}

void ModManager::protectedCall(int nargs, const char* label) {
    const bool ok = guardedCall(nargs);
    int& failures = failures_[label];
    if (ok) {
        failures = 0;
    } else {
        std::cerr << "Lua error in " << label << ": " << failureText() << "\n";
        lua_pop(L, 1);
        if (++failures == MAX_CALLBACK_FAILURES)
            std::cerr << "Mod callback " << label << " switched off after " << MAX_CALLBACK_FAILURES
                      << " failures in a row\n";
    }
    if (!guarded_) instructions_ = 0;
}

bool ModManager::switchedOff(const std::string& callback) const {
    const auto failures = failures_.find(callback);
    return failures != failures_.end() && failures->second >= MAX_CALLBACK_FAILURES;
}

bool ModManager::pushCallback(const char* name) { return !switchedOff(name) && pushGlobalFunction(L, name); }

void ModManager::start(Grid& world, const std::string& folder) {
    shutdown();
    grid = &world;
    arena_ = std::make_unique<ModArena>(SCRIPT_REGION_BYTES);
    L = lua_newstate(allocate, this);
    if (!L) {
        std::cerr << "Error loading mod: no interpreter state\n";
        return;
    }
    *static_cast<ModManager**>(lua_getextraspace(L)) = this;
    measureStringHeader();
    lua_pushstring(L, SCRIPT_TOO_LONG);
    lua_rawsetp(L, LUA_REGISTRYINDEX, &SPENT_ERROR);
    retuneHook();
    openSandboxLibraries(L);
    if (luaL_dostring(L, SEED_STATE) != LUA_OK) lua_pop(L, 1);
    static constexpr luaL_Reg functions[] = {
        {"after", l_after},
        {"spawnUnit", l_spawnUnit},
        {"sendToClosestEnemy", l_sendToClosestEnemy},
        {"unitMoveTo", l_unitMoveTo},
        {"unitSetUserData", l_unitSetUserData},
        {"unitGetUserData", l_unitGetUserData},
        {"addPlayerGold", l_addPlayerGold},
        {"decreaseBuildingHp", l_decreaseBuildingHp},
        {"addUnitForRemoval", l_addUnitForRemoval},
    };
    for (const luaL_Reg& f : functions) lua_register(L, f.name, f.func);
    // The ids are drawn at program start, so a script could not know whom it plays for or against. Every peer
    // runs the script, so "local" must name the same seat on each of them.
    scriptPlayer_ = firstHumanSeat();
    lua_pushinteger(L, scriptPlayer_);
    lua_setglobal(L, "localPlayerId");
    lua_pushinteger(L, Player::aiId);
    lua_setglobal(L, "computerPlayerId");
    orderHostFunctions(L);
    combatHooks.unitDeathScript = [this](int unitId) { callWithUnit("onUnitDeath", unitId); };
    unitHooks.unitArriveScript = [this](int unitId) { callWithUnit("onUnitArrive", unitId); };
    keepSpawnHeadroom();
    loadAllMods(folder);
}

void ModManager::shutdown() {
    combatHooks.unitDeathScript = nullptr;
    unitHooks.unitArriveScript = nullptr;
    // The timers hold registry references of the state, so they go first.
    timers.clear();
    unitUserData.clear();
    if (L) lua_close(L);
    L = nullptr;
    arena_.reset();
    grid = nullptr;
    longStrings_.clear();
    vectors_.clear();
    stepsPerInstruction_ = 1;
    hookInterval_ = 1;
    memoryUsed_ = 0;
    instructions_ = 0;
    limit_ = MAX_SCRIPT_INSTRUCTIONS;
    tickSteps_ = 0;
    failures_.clear();
    spawnsThisTick_ = 0;
    elapsed_ = 0.0;
    scriptPlayer_ = 0;
    userDataValues_ = 0;
    limitsReported_.clear();
}

// A script larger than the interpreter's memory could never load, so it is not read either.
std::string modScriptFingerprint(const std::string& folder) {
    std::string bytes;
    if (Utils::readBoundedFile(folder + MOD_SCRIPT, MAX_SCRIPT_MEMORY, bytes) != Utils::FileRead::Read) return "";
    return Utils::hexFingerprint(Utils::fnv1a(Utils::FNV_START, bytes.data(), bytes.size()));
}

void ModManager::loadAllMods(const std::string& folder) {
    if (!L) return;
    const std::string path = folder + MOD_SCRIPT;
    // Text only: precompiled chunks are not checked by the interpreter and could corrupt it.
    guarded_ = true;
    const bool loaded = luaL_loadfilex(L, path.c_str(), "t") == LUA_OK;
    guarded_ = false;
    if (!loaded || !guardedCall(0)) {
        std::cerr << "Error loading mod: " << failureText() << "\n";
        lua_pop(L, 1);
        instructions_ = tickSteps_ = 0;
        return;
    }
    // The chunk and onInit each get a whole budget, and the first tick starts afresh.
    instructions_ = tickSteps_ = 0;
    if (pushCallback("onInit")) protectedCall(0, "onInit");
    tickSteps_ = 0;
}

void ModManager::update(float dt) {
    if (!L) return;
    std::vector<std::function<void()>> due;
    std::vector<TimedEvent> waiting;
    waiting.reserve(timers.size());
    for (TimedEvent& t : timers) {
        t.delay -= dt;
        if (t.delay <= 0.0f)
            due.push_back(std::move(t.callback));
        else
            waiting.push_back(std::move(t));
    }
    timers = std::move(waiting);
    for (const std::function<void()>& call : due) call();
    if (pushCallback("onUpdate")) {
        lua_pushnumber(L, dt);
        protectedCall(1, "onUpdate");
    }
    spawnsThisTick_ = 0;
    tickSteps_ = 0;
    elapsed_ += dt;
    keepSpawnHeadroom();
}

void ModManager::callLua(const std::string& name, const std::string& arg) {
    if (!L || !pushCallback(name.c_str())) return;
    if (!arg.empty()) lua_pushlstring(L, arg.data(), arg.size());
    protectedCall(arg.empty() ? 0 : 1, name.c_str());
}

void ModManager::callWithUnit(const char* name, int unitId) {
    if (!L || !pushCallback(name)) return;
    lua_pushinteger(L, unitId);
    ++unitCallbackDepth_;
    protectedCall(1, name);
    --unitCallbackDepth_;
}

// Called only where nothing holds a unit: a spawn from the death or arrival callback then never moves the units.
void ModManager::keepSpawnHeadroom() {
    const size_t wanted = static_cast<size_t>(MAX_SCRIPT_SPAWNS_PER_TICK);
    if (units.capacity() - units.size() < wanted) units.reserve(units.size() + 2 * wanted);
}

void ModManager::reportLimit(const char* limit) {
    if (std::find(limitsReported_.begin(), limitsReported_.end(), limit) != limitsReported_.end()) return;
    limitsReported_.emplace_back(limit);
    std::cerr << "Mod script refused: " << limit << "\n";
}

bool ModManager::maySpawnNow(lua_State* L) {
    ModManager& host = of(L);
    if (host.spawnsThisTick_ >= MAX_SCRIPT_SPAWNS_PER_TICK) return false;
    if (units.size() >= MAX_UNITS_FOR_SCRIPT_SPAWN) {
        host.reportLimit("the world holds too many units to spawn more");
        return false;
    }
    return host.unitCallbackDepth_ == 0 || units.size() < units.capacity();
}

void ModManager::chargePathSearch(lua_State* L, long long nodesBefore) {
    charge(L, (pathNodesExpanded - nodesBefore) * PATH_NODE_STEPS);
}

// ---- The nine script functions: a refused call answers nil or false and changes nothing ----

int ModManager::l_after(lua_State* L) {
    ModManager& host = of(L);
    const std::optional<double> delay = numberArg(L, 1);
    if (!delay || !std::isfinite(*delay) || std::fabs(*delay) > MAX_TIMER_DELAY || lua_type(L, 2) != LUA_TFUNCTION ||
        host.timers.size() >= MAX_SCRIPT_TIMERS)
        return answer(L, false);
    lua_pushvalue(L, 2);
    const int ref = luaL_ref(L, LUA_REGISTRYINDEX);
    auto fire = [&host, ref] {
        lua_rawgeti(host.L, LUA_REGISTRYINDEX, ref);
        luaL_unref(host.L, LUA_REGISTRYINDEX, ref);
        if (host.switchedOff(TIMER_CALLBACK))
            lua_pop(host.L, 1);
        else
            host.protectedCall(0, TIMER_CALLBACK);
    };
    host.timers.push_back({static_cast<float>(*delay), fire});
    return answer(L, true);
}

int ModManager::l_spawnUnit(lua_State* L) {
    const std::optional<std::string> type = stringArg(L, 1);
    const std::optional<int> playerId = intArg(L, 2);
    const std::optional<int> x = intArg(L, 3);
    const std::optional<int> y = intArg(L, 4);
    if (!type || !playerId || !x || !y || !unitInfo.count(*type) || !getPlayerById(*playerId) ||
        !isValidTile({*x, *y}) || !maySpawnNow(L))
        return answerNil(L);
    const int id = spawnUnitAt(*type, *playerId, {static_cast<float>(*x) + 0.5f, static_cast<float>(*y) + 0.5f});
    if (id < 0) return answerNil(L);
    ++of(L).spawnsThisTick_;
    lua_pushinteger(L, id);
    return 1;
}

int ModManager::l_sendToClosestEnemy(lua_State* L) {
    Grid* world = of(L).grid;
    Unit* unit = unitOnMapArg(L, 1);
    if (!unit || !world) return answer(L, false);
    const long long nodesBefore = pathNodesExpanded;
    const Building* target = findClosestBuildingOf(of(L).scriptPlayer_, *unit, *world);
    if (!target) {
        chargePathSearch(L, nodesBefore);
        return answer(L, false);
    }
    const V2i beside = findClosestTileAdjacentToBuilding(*target, *world);
    const int id = unit->id;
    moveUnitUnclump(id, {beside.x * SUBDIVISIONS, beside.y * SUBDIVISIONS}, *world);
    if (Unit* moved = getUnitById(id)) moved->state = UnitState::Attacking;
    chargePathSearch(L, nodesBefore);
    return answer(L, true);
}

int ModManager::l_unitMoveTo(lua_State* L) {
    Grid* world = of(L).grid;
    Unit* unit = unitOnMapArg(L, 1);
    const std::optional<int> x = intArg(L, 2);
    const std::optional<int> y = intArg(L, 3);
    if (!unit || !world || !x || !y || !isValidTile({*x, *y})) return answer(L, false);
    const int centre = SUBDIVISIONS / 2;
    const long long nodesBefore = pathNodesExpanded;
    const bool found = walkToTilePure(*unit, {*x * SUBDIVISIONS + centre, *y * SUBDIVISIONS + centre}, *world);
    unit->state = UnitState::Moving;
    chargePathSearch(L, nodesBefore);
    return answer(L, found);
}

int ModManager::l_unitSetUserData(lua_State* L) {
    const Unit* unit = unitArg(L, 1);
    const std::optional<std::string> key = stringArg(L, 2);
    const std::optional<double> value = numberArg(L, 3);
    if (!unit || !key || !value || key->size() > MAX_USER_DATA_KEY_LENGTH) return answer(L, false);
    ModManager& host = of(L);
    // Looked up without creating: a refused call leaves no empty entry behind.
    const auto values = unitUserData.find(unit->id);
    const size_t kept = values == unitUserData.end() ? 0 : values->second.size();
    if (kept == 0 || !values->second.count(*key)) {
        if (kept >= MAX_USER_DATA_KEYS) return answer(L, false);
        if (host.userDataValues_ >= MAX_USER_DATA_VALUES) {
            host.reportLimit("too many unit numbers kept");
            return answer(L, false);
        }
        ++host.userDataValues_;
    }
    unitUserData[unit->id][*key] = *value;
    return answer(L, true);
}

int ModManager::l_unitGetUserData(lua_State* L) {
    const std::optional<int> id = intArg(L, 1);
    const std::optional<std::string> key = stringArg(L, 2);
    if (!id || !key) return answerNil(L);
    const auto values = unitUserData.find(*id);
    if (values == unitUserData.end()) return answerNil(L);
    const auto value = values->second.find(*key);
    if (value == values->second.end()) return answerNil(L);
    lua_pushnumber(L, value->second);
    return 1;
}

int ModManager::l_addPlayerGold(lua_State* L) {
    const std::optional<int> playerId = intArg(L, 1);
    const std::optional<int> amount = intArg(L, 2);
    const Player* player = playerId ? getPlayerById(*playerId) : nullptr;
    if (!player || !amount) return answer(L, false);
    const long long total = static_cast<long long>(player->resources[RESOURCE_GOLD]) + *amount;
    if (total < INT_MIN || total > INT_MAX) return answer(L, false);
    addPlayerGold(*playerId, *amount);
    return answer(L, true);
}

int ModManager::l_decreaseBuildingHp(lua_State* L) {
    const std::optional<int> id = intArg(L, 1);
    const std::optional<int> amount = intArg(L, 2);
    if (!id || !amount || !getBuildingById(*id)) return answer(L, false);
    decreaseBuildingHp(*id, *amount);
    return answer(L, true);
}

int ModManager::l_addUnitForRemoval(lua_State* L) {
    const Unit* unit = unitArg(L, 1);
    if (!unit) return answer(L, false);
    // One entry per unit: the queue is walked and sorted at the end of the tick, however long it grew.
    charge(L, static_cast<long long>(unitsToRemove.size()));
    if (std::find(unitsToRemove.begin(), unitsToRemove.end(), unit->id) != unitsToRemove.end())
        return answer(L, false);
    addUnitForRemoval(unit->id);
    return answer(L, true);
}
