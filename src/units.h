// Units: the unit catalogue, the unit record and registry, and the per-tick unit behaviour.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <variant>
#include <vector>

#include <SDL2/SDL.h>

#include "entity.h"
#include "game_commands.h"
#include "lockstep.h"
#include "map.h"
#include "utils.h"

struct Building;
struct MapObject;

enum class UnitCategory : int32_t { Ground = 0, Air = 1, Naval = 2 };

enum class AttackType : int32_t { None = 0, Melee = 1, Ranged = 2, Instant = 3, Siege = 4 };

enum class UnitState : int32_t {
    Idle = 1,
    HoldPosition = 3,
    ReturningCargo = 4,
    Moving = 5,
    Attacking = 6,
    OrderedMove = 7,
    AttackMoving = 8,
    Teleporting = 10,
};

// A delivered AmberOil load adds to wood, a Crystal load to gold.
enum class ResourceType : int32_t { None = 0, AmberOil = 1, Crystal = 2 };

// The built-in unit vocabulary; units are otherwise typed by their catalogue name.
enum class UnitType : int32_t {
    None = 0,
    Peon = 1,
    Grunt = 2,
    TrollAxeThrower = 3,
    TrollDestroyer = 4,
    Catapult = 5,
    DeathKnight = 6,
    Dragon = 7,
    Ogre = 8,
    GoblinZeppelin = 9,
    Sheep = 10,
    Boar = 11,
    Bird = 12,
    Custom = 13,
    Peasant = 14,
};

extern const std::unordered_map<UnitType, std::string> unitTypeToString;

// ---- Units catalogue ----

// Bits of UnitInfo::attackTargets: a unit is hittable when bit (1 << its category) is set.
constexpr int ATTACK_TARGET_GROUND = 1;
constexpr int ATTACK_TARGET_AIR = 2;
constexpr int ATTACK_TARGET_NAVAL = 4;

struct UnitInfo {
    UnitCategory category = UnitCategory::Ground;
    AttackType attackType = AttackType::None;
    std::string race = "Unknown";
    Tile walkable = Tile::Grass;
    bool isBiological = false;
    std::string type;
    float buildTime = 1.0f;
    int hp = 10;
    int damage = 1;
    int piercing = 0;
    int armor = 0;  // kept for reference: a unit's own armour starts at 0
    float range = 1.0f;
    int splashRadius = 0;
    int sight = 5;
    int wTiles = 1;
    int hTiles = 1;
    int subtiles = 1;  // footprint edge in sub-tiles for reservations
    int goldCost = 0;
    int woodCost = 0;
    int foodCost = 0;
    float movementSpeed = 1.0f;
    float attackSpeed = 1.0f;
    bool canAttack = true;
    std::string projectile;
    std::vector<std::string> buildMenu;
    bool worker = false;
    bool civilian = false;
    bool carrier = false;
    int attackTargets = 0;
    int expGain = 0;
};

// Type name -> record; cleared once per full content load, then filled race by race.
extern std::unordered_map<std::string, UnitInfo> unitInfo;

// "Air" 1, "Naval" 2, anything else Ground.
UnitCategory stringToUnitCategory(const std::string& text);

// Adds or replaces one record per entry of a "units.json"; the race folder name is not used.
// A malformed entry throws the JSON library's type error, keeping the records stored before it.
void loadUnitInfo(const std::string& path, const std::string& race);

// Null, with one error line, for a type the catalogue lacks.
UnitInfo* getUnitInfo(const std::string& type);

// ---- Unit record ----

using UnitOrder = std::variant<MoveCommand, MineCommand, AttackCommand, AttackMove, CastSpellCommand>;

// A list taken from its front: taking the front moves a start mark on instead of shifting every later entry down,
// so a take costs the same however long the list, and the taken entries are dropped once they are half of it. An
// empty list holds no memory, so moving one costs no allocation, as std::deque's would (the unit registry moves
// every later unit when one leaves).
template <class T>
class FrontTakenList {
public:
    FrontTakenList() = default;
    FrontTakenList(std::vector<T> list) : entries(std::move(list)) {}

    bool empty() const { return head == entries.size(); }
    size_t size() const { return entries.size() - head; }
    T& front() { return entries[head]; }
    const T& front() const { return entries[head]; }
    const T& back() const { return entries.back(); }
    T& operator[](size_t i) { return entries[head + i]; }
    const T& operator[](size_t i) const { return entries[head + i]; }
    typename std::vector<T>::const_iterator begin() const {
        return entries.begin() + static_cast<std::ptrdiff_t>(head);
    }
    typename std::vector<T>::const_iterator end() const { return entries.end(); }

    void push_back(const T& value) { entries.push_back(value); }
    void push_back(T&& value) { entries.push_back(std::move(value)); }
    void push_front(const T& value) {
        if (head > 0)
            entries[--head] = value;
        else
            entries.insert(entries.begin(), value);
    }
    void pop_front() {
        if (++head == entries.size()) {
            clear();
        } else if (2 * head >= entries.size()) {
            entries.erase(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(head));
            head = 0;
        }
    }
    // Drops every entry after the front one.
    void keepFront() {
        if (head > 0) entries[0] = std::move(entries[head]);
        entries.resize(1);
        head = 0;
    }
    void clear() {
        entries.clear();
        head = 0;
    }

private:
    std::vector<T> entries;
    size_t head = 0;
};

// The world points a unit still walks to, next first. The front point is kept beside the list too, as every walking
// unit reads it every tick and the list lies elsewhere in memory.
class Waypoints {
public:
    Waypoints() = default;
    Waypoints(std::initializer_list<SDL_FPoint> list) : points(std::vector<SDL_FPoint>(list)) { lead(); }
    Waypoints(std::vector<SDL_FPoint> list) : points(std::move(list)) { lead(); }

    bool empty() const { return points.empty(); }
    size_t size() const { return points.size(); }
    const SDL_FPoint& front() const { return next; }
    const SDL_FPoint& back() const { return points.back(); }
    const SDL_FPoint& operator[](size_t i) const { return points[i]; }
    std::vector<SDL_FPoint>::const_iterator begin() const { return points.begin(); }
    std::vector<SDL_FPoint>::const_iterator end() const { return points.end(); }

    void clear() { points.clear(); }
    void push_back(SDL_FPoint p) {
        if (empty()) next = p;
        points.push_back(p);
    }
    void push_front(SDL_FPoint p) {
        next = p;
        points.push_front(p);
    }
    // The front point is walked: the next one leads.
    void pop_front() {
        points.pop_front();
        lead();
    }
    // Drops every point after the front one.
    void keepFront() { points.keepFront(); }

private:
    void lead() {
        if (!empty()) next = points.front();
    }
    FrontTakenList<SDL_FPoint> points;
    SDL_FPoint next{0.0f, 0.0f};
};

// One entry of a unit's order queue.
struct UnitCommandAction {
    CommandType type = CommandType::Move;
    UnitOrder command;
};

// A unit's queued orders, first to run first.
using QueuedOrders = FrontTakenList<UnitCommandAction>;

// A unit's spell cooldowns, seconds left per spell key, kept in key order: a unit knows few spells, so a short list
// read in one piece answers without chasing hash nodes, and the checksum reads it in that order as it is.
class SpellCooldowns {
public:
    using Entry = std::pair<std::string, float>;
    using iterator = std::vector<Entry>::iterator;
    using const_iterator = std::vector<Entry>::const_iterator;

    // The key's entry, made at 0 when missing.
    float& operator[](const std::string& key) {
        const iterator at = lowerBound(key);
        if (at != entries.end() && at->first == key) return at->second;
        return entries.insert(at, Entry{key, 0.0f})->second;
    }
    iterator find(const std::string& key) {
        const iterator at = lowerBound(key);
        return at != entries.end() && at->first == key ? at : entries.end();
    }
    const_iterator find(const std::string& key) const { return const_cast<SpellCooldowns*>(this)->find(key); }
    // Throws std::out_of_range for a missing key.
    float at(const std::string& key) const {
        const const_iterator found = find(key);
        if (found == entries.end()) throw std::out_of_range("no cooldown for " + key);
        return found->second;
    }
    size_t count(const std::string& key) const { return find(key) == entries.end() ? 0 : 1; }
    size_t size() const { return entries.size(); }
    iterator begin() { return entries.begin(); }
    iterator end() { return entries.end(); }
    const_iterator begin() const { return entries.begin(); }
    const_iterator end() const { return entries.end(); }

private:
    iterator lowerBound(const std::string& key) {
        return std::lower_bound(entries.begin(), entries.end(), key,
                                [](const Entry& entry, const std::string& k) { return entry.first < k; });
    }
    std::vector<Entry> entries;
};

struct Unit : Attackable {
    // The fields every tick reads or writes for every unit come first, packed into the first cache lines of the
    // record: a big battle's units outgrow the core's cache, and each line a unit's turn touches is then a miss.
    bool onMap = true;  // false aboard a carrier or inside a building: not updated, not drawn
    bool mining = false;
    bool isAttacking = false;
    bool attackAnimating = false;
    bool canAttack = true;
    bool isChanneling = false;  // bound to a spell in progress: neither acquires nor pursues a target
    bool orderRunning = false;
    float x = 0.0f;
    float y = 0.0f;
    float prevX = 0.0f;  // position before the last tick, the start of drawing interpolation
    float prevY = 0.0f;

    int playerId = -1;
    UnitState state = UnitState::Idle;
    int targetId = -1;
    int scanCounter = 0;
    int scanInterval = 0;
    int attackCounter = 0;
    int attackInterval = 0;
    int attackAnimTicks = 0;
    int speedPerTick = 0;  // world units per tick
    int direction = 0;     // sprite direction index
    int boardCarrierId = -1;
    int pickUpItemId = -1;
    Tile walkable = Tile::Grass;
    int waitTicks = 0;  // shared by the boarding and the blocked waits
    int nudgeCount = 0;
    bool flip = false;
    bool routeChunked = false;
    bool pickUpPending = false;
    bool walkingToTraining = false;

    // Every unit's turn reads these four: they share cache lines next to the fields above.
    QueuedOrders orders;
    SpellCooldowns cooldowns;
    Waypoints waypoints;
    std::string type;

    V2i occupiedSubTile{-1, -1};  // where the footprint reservation is registered
    V2i goal{-1, -1};
    SDL_FPoint lastTargetPos{0.0f, 0.0f};
    float range = 1.0f;  // tiles
    UnitCategory category = UnitCategory::Ground;
    AttackType attackType = AttackType::None;
    int sight = 0;
    bool hasGoal = false;
    bool constructing = false;
    bool worker = false;
    bool carrier = false;
    bool hasted = false;
    bool slowed = false;
    bool invisible = false;
    bool untargetable = false;

    // Identity and experience.
    std::string nickname;
    int level = 1;
    int kills = 0;
    int experience = 0;
    int expGain = 0;

    // Mining and cargo.
    V2i miningSubTile{-1, -1};
    V2i mineTarget{-1, -1};
    int mapObjectId = -1;
    int harvestTicks = 0;
    int miningRetryTicks = 60;
    int miningPatienceTicks = 60;
    int miningClaimFailures = 0;
    ResourceType harvestKind = ResourceType::None;
    ResourceType cargoKind = ResourceType::None;
    int cargoAmount = 0;
    int carryCapacity = 100;

    // Stats, spells and the rest of the walk.
    float movementSpeed = 1.0f;
    float attackSpeed = 1.0f;
    bool bloodlust = false;
    bool freezingBullets = false;
    bool invulnerable = false;
    bool unholyArmor = false;
    int mana = 200;
    int maxMana = 200;
    float wanderTimer = 0.0f;
    float wanderDelay = 0.0f;
    bool teleportLocked = false;
    bool overrideFrameActive = false;
    bool assigned = false;
    int overrideFrame = 0;
    V2i routeDestination{0, 0};
    std::vector<V2i> route;  // the whole sub-tile route of a walk taken in chunks
    float maxHp = 50.0f;
    int wTiles = 1;
    int hTiles = 1;
    int damage = 5;
    int piercing = 5;
    int armor = 0;

    Unit() { hp = maxHp; }

    void takeDamage(int amount) override;
    void computeNearbyTiles() override;
    void computeNearbyTiles(float range) override;
    bool isUnit() const override { return true; }
    SDL_FPoint getWorldPos() const override { return {x, y}; }
    V2i getTile() const override;
};

// Whether the unit is of the named type. The lengths are compared first, inline, so the many units of other types
// are told apart without a call into the string library.
inline bool isOfType(const Unit& unit, std::string_view type) { return std::string_view(unit.type) == type; }

// The record a new unit of the type starts from, stats and per-tick values derived from the catalogue;
// the creator then places it and stores it with addUnit.
Unit newUnitFromInfo(const UnitInfo& info, int id, int playerId);

// ---- Registry and selection ----

// Ticks a unit waits beside a carrier before boarding, and in front of a blocked sub-tile before replanning.
constexpr int BOARD_WAIT_TICKS = static_cast<int>(1.0f / TURN_LENGTH + 0.5f);
constexpr int BLOCK_WAIT_TICKS = static_cast<int>(0.3f / TURN_LENGTH + 0.5f);

// Every live unit by value, in order of creation; unitIdToIndex keeps each id's index.
extern std::vector<Unit> units;
extern IdTable<size_t> unitIdToIndex;

// Ids selected on this machine, in selection order, and the same ids as a set.
extern std::vector<int> selectedUnits;
extern std::unordered_set<int> selectedUnitsSet;

// Stores a copy and indexes it; the reference lasts until units next changes.
Unit& addUnit(const Unit& unit);
// addUnit and removeUnit keep the index, so it answers without a scan; inline, as the tick asks it for every unit.
inline Unit* getUnitById(int id) {
    const size_t* index = unitIdToIndex.find(id);
    if (!index || *index >= units.size()) return nullptr;
    Unit& unit = units[*index];
    return unit.id == id ? &unit : nullptr;
}

void addToSelection(int id);
void removeFromSelection(int id);
void clearUnitSelection();
bool isSelected(int id);
Unit* getFirstSelectedUnit();
Unit* getSelectedUnitById(int id);

// Counts each running spell cooldown down by dt; a value may end below 0 and then stays.
void updateCooldowns(Unit& unit, float dt);

// ---- Deferred removal, corpses and floating texts ----

// Unit ids queued during a tick; duplicates allowed.
extern std::vector<int> unitsToRemove;

void addUnitForRemoval(int id);
// The queued ids in ascending order, each once; the queue is left empty.
std::vector<int> drainUnitRemovalQueue();
// Removes the queued units once each, in ascending id order, then empties the queue.
void processUnitRemovals(Grid& grid);
// Removes one unit at once; false when the id has no unit.
bool removeUnit(int id);

struct DeadUnit {
    int x = 0;
    int y = 0;
    float timer = 0.0f;
    float lifetime = 10.0f;
};

extern std::vector<DeadUnit> deadUnits;

void spawnCorpse(SDL_FPoint p);
// Per tick: ages the corpses and drops those whose time is up.
void updateDeadUnits(float dt);

struct FloatingText {
    float x = 0.0f;
    float y = 0.0f;
    float rise = 0.0f;  // upward drawing offset
    std::string text;
    float alpha = 1.0f;
    float velocityY = -50.0f;
    float lifetime = 1.5f;
    SDL_Color color{255, 255, 255, 255};
    bool flag = false;
    int amount = 0;
    int key = 0;  // texts with the same non-zero key merge while fresh
};

// The floating texts in order of creation, and where the text last made with each key stands: only that text can
// be fresh, since a text is made only while none of its key is fresh and a merge touches the fresh text alone. The
// index lives with the list, so emptying one empties the other; the spawner and the per-frame update alone change
// the texts.
class FloatingTexts {
public:
    std::vector<FloatingText>::const_iterator begin() const { return texts.begin(); }
    std::vector<FloatingText>::const_iterator end() const { return texts.end(); }
    size_t size() const { return texts.size(); }
    bool empty() const { return texts.empty(); }
    const FloatingText& operator[](size_t place) const { return texts[place]; }
    void clear();

    // The text of the key with more than 0.3 s to live, null when there is none.
    FloatingText* freshWithKey(int key);
    void add(const FloatingText& text);
    // Rises, fades and ages every text by dt seconds, then drops the spent ones.
    void age(float dt);

private:
    void reindex();

    std::vector<FloatingText> texts;
    std::unordered_map<int, size_t> placeOfKey;
    // Spent texts dropped move the later ones down; the places are taken afresh at the next look-up.
    bool indexed = true;
};

extern FloatingTexts floatingTexts;

void spawnFloatingText(float x, float y, const std::string& text, SDL_Color color, bool flag, int amount, int key);
// Per frame, not per tick.
void updateFloatingTexts(float dt);

// ---- Path search and free sub-tiles ----

// A walk on the sub-tile grid: the start first, then one 8-neighbour after another up to the goal
// (or to where a depth-limited search stopped).
using SubTilePath = std::vector<V2i>;

// Sub-tiles expanded by every A* search of the run, so a caller can price the searches it asks for.
extern long long pathNodesExpanded;

// The unit search: keeps to height borders (unless the class is Any) and steps on no sub-tile reserved by
// another unit except the goal itself. Every step costs 1 and the estimate is the Manhattan distance; equal
// estimates pop by smaller g, then x, then y. maxDepth 0 is unlimited; otherwise the search answers the path
// to the first node popped maxDepth or more steps from the start. A start off the sub-grid has no path.
std::optional<SubTilePath> astar(const Grid& grid, V2i start, V2i goal, Tile movementClass, int unitId,
                                 int maxDepth);
// The bare search: no height borders, no reservations, no depth limit; equal estimates pop in the fixed
// order of the open list's heap.
std::optional<SubTilePath> astarPure(const Grid& grid, V2i start, V2i goal, Tile movementClass);
// The path to whichever goal it pops first, estimated toward the first goal only; height borders hold
// for every class, reservations are ignored. No goals, no path.
std::optional<SubTilePath> astarMultiGoal(const Grid& grid, V2i start, const std::vector<V2i>& goals,
                                          Tile movementClass);
// The sub-tiles within reach of a centre along both axes, the centre left out: where a unit strikes a unit at
// the centre from. Unclipped; listed column by column, from (centre - reach) on.
struct ReachSquare {
    V2i centre;
    int reach = 0;
    bool contains(V2i p) const {
        return std::abs(int64_t{p.x} - centre.x) <= reach && std::abs(int64_t{p.y} - centre.y) <= reach &&
               !(p == centre);
    }
};
// astarMultiGoal over the square's sub-tiles in their listed order, without the list.
std::optional<SubTilePath> astarToReachSquare(const Grid& grid, V2i start, const ReachSquare& goals,
                                              Tile movementClass);
// astarToReachSquare keeps up to REACH_SQUARE_SLOTS answers for repeated queries, each checked against the ground
// it was found on before it is reused; a path longer than REACH_SQUARE_KEPT_STEPS is not kept. How many are kept,
// and forgetting them all, change no answer.
constexpr size_t REACH_SQUARE_SLOTS = 4096;
constexpr size_t REACH_SQUARE_KEPT_STEPS = 256;
size_t keptReachSquarePaths();
void forgetReachSquarePaths();
// Breadth-first under the passability rules of astar. A positive maxDepth finds only goals fewer than
// maxDepth steps away; zero or less is unlimited.
std::optional<SubTilePath> simpleBFS(const Grid& grid, V2i start, V2i goal, Tile movementClass, int unitId,
                                     int maxDepth);

// The first sub-tile met breadth-first around target (orthogonal neighbours before diagonal ones, across
// tiles of the class's own terrain type only) that is free for the unit and on a tile it may enter, never
// origin itself; then the first such neighbour of origin; else origin. A target off the sub-grid answers origin.
V2i findClosestFreeTile(Grid& grid, const V2i& target, const V2i& origin, Tile movementClass, int unitId);
// Whether the type's square footprint centred on centre lies on the sub-grid and is free for the unit.
// Throws std::out_of_range for a type missing from the units catalogue.
bool isAreaFree(int unitId, const V2i& centre, const std::string& unitType);
// Where a unit trained at the building appears: the ring sub-tile nearest the rally point (the first of
// equals in ring order), or the first ring sub-tile the unit may stand on.
V2i findSpawnTile(Building& building, Grid& grid, const Unit& unit);

// ---- Walk orders ----

// The world point a unit walks to for a sub-tile: its centre with the fixed sub-tile size 35.
SDL_FPoint subTileWaypoint(V2i sub);

// Replaces the waypoints by those of every sub-tile of the path, the first one included.
void setUnitPath(Unit& unit, const SubTilePath& path);
// Plans from the unit's sub-tile (breadth-first up to 19 sub-tiles away, else astar), falling back to the
// nearest free sub-tile; a moving unit finishes its current step first. False, with nothing changed, when
// no path is found or a land unit is sent onto water.
bool walkToTile(Unit& unit, V2i goal, Grid& grid);
// Plans with astarPure and replaces the whole path; false, with nothing changed, when there is no path.
bool walkToTilePure(Unit& unit, V2i goal, Grid& grid);
// Walks to target, or to the nearest free sub-tile when another unit (or the unit itself) holds it.
// False when no unit has the id or no path was found.
bool moveUnitUnclump(int unitId, V2i target, Grid& grid);
// Whether the unit's last waypoint lies in the tile.
bool sameDestination(const Unit& unit, V2i tile);

// ---- Carriers and latching ----

// Carrier id -> the ids aboard, in boarding order; a carrier without passengers has no entry.
extern std::unordered_map<int, std::vector<int>> zeppelinCargo;

// Boards the unit into the carrier named by its boardCarrierId: off the map, unselected, its sub-tiles released.
void addUnitToZeppelin(Unit& unit);
// Takes the unit out of the carrier's list and puts it on the map at the carrier's position; null when
// no unit has the id.
Unit* removeUnitFromZeppelin(Unit& carrier, int unitId);
// A latched mine's chase: a Move order toward the target's sub-tile, sent with the next turn by the one
// peer that speaks for the mine's owner, so that every peer applies it once.
void latchToUnit(Unit& unit, SDL_FPoint target);

// ---- Mining claims ----

// One cell per sub-tile, row-major with row length SUB_MAP_W: the id of the worker harvesting there.
extern std::vector<uint32_t> miningOccupancy;
constexpr uint32_t FREE_MINING_SPOT = 0xFFFFFFFFu;

// ---- Nearest places: resources, building sites, rings and enemies ----
// Distances between a unit and a tile are squared, in 1/256 world units; ties go to the smaller key
// x * 100000 + y, which is also the first found in the x-outer, y-inner scans. Not found is (-1, -1) or null.

struct ResourceFind {
    V2i tile{-1, -1};
    MapObject* object = nullptr;  // valid until mapObjects next changes
};

// The footprint tile nearest (Manhattan) to tile among the objects of the type not queued for removal;
// ties to the smaller id, then x, then y.
ResourceFind findClosestResource(V2i tile, const std::string& resourceType, Grid& grid);
// The top-left tile nearest origin, within 10 tiles each way and at least minDist away (Manhattan), where the
// building type's footprint lies on walkable tiles without a unit. Throws std::out_of_range for an unknown type.
V2i findClosestFreeTile(V2i origin, const std::string& buildingType, Grid& grid, int minDist);
// The walkable tile within range (tiles) of target nearest the unit.
V2i findClosestTileWithinRange(const Unit* unit, const V2i& target, Grid& grid, float range);
// The walkable tile of the ring around the building nearest (Manhattan) its top-left tile.
V2i findClosestTileAdjacentToBuilding(const Building& building, Grid& grid);
// Refreshes the target's ring; answers the ring sub-tile the from unit may stand on nearest (Manhattan) to it.
V2i findClosestTileAdjacentToUnit(Unit& target, const Unit& from, Grid& grid);
// The top-left tile of the first object of the kind nearest (Manhattan, in sub-tiles) to from.
V2i findClosestMapObjectWithResourceType(V2i from, ResourceType kind, const std::vector<MapObject>& objects);
// The sub-tile of the ring around the object at objectTile nearest from that is walkable, unreserved and
// claimed by no miner.
V2i findClosestAdjacentToMapObjectNotOccupied(V2i objectTile, Grid& grid, V2i from);
// The ring sub-tile the unit may stand on nearest (squared sub-tile distance) to it, first of equals;
// the building's top-left sub-tile when there is none.
V2i findClosestTileAdjacentToBuildingFromUnit(const Building& building, const Unit& unit, Grid& grid);
// The local player's building with a free ring tile nearest the unit; ties to the smaller id.
Building* findClosestEnemyBuilding(const Unit& unit, Grid& grid);
// The same search among the buildings of the given player.
Building* findClosestBuildingOf(int playerId, const Unit& unit, Grid& grid);
// The local player's unit on the map nearest the unit; ties to the smaller id.
Unit* findClosestEnemyUnit(const Unit& unit);

// ---- Economy: mining claims and the harvesting cycle, civilians and critters, workers recruiting and placing ----

struct MapObject;
class Player;

// Sizes the claim table to the current sub-grid with every spot free, so no claim outlives its match.
void resetMiningOccupancy();
// False off the sub-grid or when another worker holds the spot; claiming one's own spot again succeeds.
bool tryClaimMiningTile(const V2i& sub, int unitId, Grid& grid);
// Frees the spot only when the unit holds it.
void releaseMiningTile(const V2i& sub, int unitId, Grid& grid);

// The Mine order: sends a worker on the map to the free spot beside the object at its mineTarget nearest to it.
// True also when no path was found (the worker then keeps what it was doing); false for a non-worker or a worker
// off the map, with nothing changed. The local player's mining order is counted either way.
bool startMining(Unit& u, MapObject& object, Player& player, Grid& grid);
// Sends a harvester to the nearest object of its resource kind; on failure it stops mining, turns Idle and
// gives up its spot.
bool retargetMiningUnit(Unit& u, Grid& grid, const std::vector<MapObject>& objects);

// What the unit step does after one of the harvesting hooks.
enum class StepResult { Continue, EndTick };

// The harvesting step of the unit tick, for a unit that is mining and has no waypoints left: harvest at the spot,
// carry the load to the nearest accepting building of the owner, deposit it there, and walk back.
StepResult harvestStep(Unit& u, Grid& grid);
// The spot test of the movement step: a harvester standing on its spot claims it, or looks for another.
StepResult miningSpotStep(Unit& u, Grid& grid);

// Race name -> the unit type of that race's civilian.
extern std::unordered_map<std::string, std::string> raceToCivilianUnit;

// Rebuilds the table from the catalogue's civilian types; of several for one race the first by type name wins.
void initializeCivilianLookup();
// The player's civilian nearest the world point that is on the map, not assigned to a job and not excluded;
// ties keep the earlier unit of the player's list. Null when none, or when the race has no civilian type.
Unit* findClosestAvailableCivilian(Player* player, SDL_FPoint at, const std::vector<int>& exclude);
// A wildlife record owned by the environment player, at (0, 0), not yet stored. A type the catalogue lacks gives
// a record with id -1 that must not be stored.
Unit spawnCritter(const std::string& type);
// The player's live units of the type; 0 for a type never counted or an unknown player.
int getUnitCount(const std::string& type, int playerId);
// Changes the unit's type name only; every copied statistic stays.
void transformuUnit(Unit& u, const std::string& type);

// The Train order: recruits the owner's nearest free civilian that can reach the completed building and sends
// it there; the building's tick starts the training when it arrives. The building must offer the type.
bool trainUnit(const std::string& unitType, Building* building);
// The Place Building order: checks the worker, the footprint, the price and the requirements, then creates the
// site, charges the owner, blocks the footprint and sends the worker to build it.
bool placeABuildingDown(Unit* worker, V2i tile, const std::string& buildingType, Player* player, Grid* grid,
                        bool replaying);
// Sends a worker of the site's owner to an unfinished site that has no builder.
bool constructBuilding(Unit* worker, Building* building, Grid& grid);

// ---- Attack damage and kills ----

struct Building;

// The gameTime of the last under-attack alarm for a unit and for a building of the local player.
constexpr float UNDER_ATTACK_ALARM_NEVER = -100.0f;
extern float lastUnitUnderAttackTime;
extern float lastBuildingUnderAttackTime;
// Session start: an alarm of the previous match no longer holds back the first alarm of the next.
void resetUnderAttackAlarms();

// Consequences of a hit or a death that the mod host and the Extraction campaign own: each fills its hooks when
// it is installed, and an empty hook does nothing.
struct CombatHooks {
    // The mod host: the script's "onUnitDeath" with the dead unit's id, reporting script errors itself.
    std::function<void(int unitId)> unitDeathScript;
    // Extraction: experience for a kill, true when it was added.
    std::function<bool(Unit& unit, int xp)> grantUnitExp;
    // Extraction: may drop an item where an enemy died; honours the campaign's hardcore setting.
    std::function<void(Unit& deadUnit)> dropItem;
    // Extraction: the corpse item of a lost unit.
    std::function<void(Unit& deadUnit)> spawnCorpseItemOnUnitLoss;
    // Extraction: the items a unit carried come to lie where it died or left the map, whatever took it.
    std::function<void(const Unit& unit)> dropCarriedItems;
};

extern CombatHooks combatHooks;

// The one path by which swings, projectiles and mine explosions hurt: armour, the damage text, the alarm,
// flight or retaliation of a struck unit, hit effects and blood, and a death's consequences and kill credit,
// processed once per death. A building attacker must have a tower. Armour never turns a hit into healing.
void applyAttackDamage(Attackable* attacker, Attackable* target, Grid& grid);

// A swing that lands without a projectile: the target, and with the attacker type's splash radius every
// ground and naval unit around it (in the order of units); a Tank's splash shows an explosion. The target
// itself is always struck, an Air unit included.
void applyDirectHit(Unit& attacker, Attackable* target, Grid& grid);

// Shared with the spell damage path.
// Attack and spell damage pass over a unit protected by invulnerability or Unholy Armor.
bool isShieldedFromDamage(const Unit& unit);
// Damage after armour, never below 0.
float damageAfterArmor(float raw, int armor);
// The local player's alarm for its unit or building, at most once per UNDER_ATTACK_COOLDOWN of each kind.
void soundUnderAttackAlarm(int ownerId, bool building);
// Corpse, the script's death callback and the death sound of a unit whose death is being processed.
void announceUnitDeath(const Unit& unit);
// A building's death: its footprint walkable again, its removal queued, its explosion heard at its centre.
void collapseBuilding(Building& building, Grid& grid);

// ---- Behaviour hook, idle wandering and latched mines ----

// Per-tick values as spawning derives them from the tick length, GAME_SPEED and UNIT_SPEED.
int attackIntervalFor(float attackSpeed);
int speedPerTickFor(float movementSpeed);

// Whether an order the tick makes for the player is sent from this peer: the local human's, or a computer player's
// whose strategy runs here. Never while a replay or a resumed save is re-simulated: its log already holds them.
bool ordersFromThisPeer(int playerId);

// Once per unit per tick, between its queued order and its unit step: birds wander, strangers without a target
// wander in an elimination mission, and an Abyssal asks to teleport to its target when that is a short way off.
void updateUnitAI(Unit& unit, float dt, Grid& grid);

// Once per tick per "LatchedMine", after its unit step: a latched mine whose fuse has run explodes; an unlatched one
// latches onto the first unit in range of another owner (the neutral owner excepted) and chases it.
void updateLatchedMine(Unit& mine, Grid& grid);
// Once per mine: every ground and naval unit in range is struck, whoever owns it; then an explosion shows, and
// the mine leaves the map and is queued for removal.
void explodeLatchedMine(Unit& mine, Grid& grid);

// ---- Units in motion: spawning, the unit tick, walking and blocking, range and sight, targeting, order queue ----

// What the unit tick needs of the Extraction campaign and the mod host: each fills its hooks when it is installed;
// an empty hook does nothing (no call sign, no item lies on the map, no script runs).
struct UnitHooks {
    // Extraction: a call sign for a new unit.
    std::function<std::string()> randomNickname;
    // Extraction items: where the item lies while it lies on the map; nothing for one carried or unknown.
    std::function<std::optional<SDL_FPoint>(int itemId)> itemOnMap;
    // Extraction items: the unit takes the item off the map into its pack; answers the item's type.
    std::function<std::string(int unitId, int itemId)> takeItem;
    // The mod host: the script's "onUnitArrive" with the unit's id, reporting script errors itself.
    std::function<void(int unitId)> unitArriveScript;
};

extern UnitHooks unitHooks;

// Slow, Haste and freezing hits: multiplies the movement speed and re-derives the step walking reads; a unit
// that can move at all keeps a step of at least 1.
void scaleMovementSpeed(Unit& unit, float factor);

// A unit at the fixed spawn point of its owner's side: (4.5, 4.5) tiles for the local player, else (15.5, 4.5).
// No sub-tile is reserved. Null, with one error line, for a type the catalogue lacks.
Unit* spawnUnit(const std::string& type, int playerId);
// A vision dummy: 10000 hit points, harmless, never scanning; (4.5, 4.5) tiles for player 1, else (8.5, 4.5).
Unit* spawnDummy(const std::string& type, int playerId);
// A unit at the centre of the sub-tile under point (in tiles, fractions allowed), holding its footprint there.
// -1, with one error line, for a type the catalogue lacks.
int spawnUnitAt(const std::string& type, int playerId, SDL_FPoint point);
// Eight birds at random places, drawn from the simple generator; none when the map offers a bird no place.
void spawnCritters(const Grid& grid);

// Once per tick, before every other update: each unit, in ascending id order, runs its queued order, its
// behaviour hook, its unit step (and a mine its mine step), counts its cooldowns down and turns toward where it
// is going. Units added meanwhile are first updated on the next tick.
void updateUnits(float dt, Grid& grid);
// One unit's step: death check, pick-up, harvesting, target scan, the swing and its hit, then boarding, route
// chunks, walking with sub-tile reservation and blocking, and arrival. checkBlocking false walks into sub-tiles
// other units hold.
void updateUnit(Unit& unit, float dt, Grid& grid, bool checkBlocking);
// Starts the front order when none runs; drops it once the unit is Idle again.
void updateUnitQueueAction(Unit& unit, Grid& grid);

// The periodic scan of a unit that is not under a plain move order: the nearest enemy in sight, enemy workers
// before other units and units before buildings, ties to the lower id. A held unit records its target only.
void autoAttack(Unit& unit, Grid& grid);
// Stores the target, sets Attacking and plans a path to a sub-tile within reach of it; false when the target is
// missing (nothing changed) or unreachable (the target and state stay set).
bool attackEnemy(Unit* unit, Grid& grid, int targetId);

// Euclidean distance between two grid points.
float distance(const V2i& a, const V2i& b);
// The units, in the order of units, whose truncated world position lies within radius (world units) of centre.
// The pointers last until units next changes.
std::vector<Unit*> getUnitsInRange(const V2i& centre, int radius);
// The units standing on the tiles, in the order of units; a unit is listed once per matching entry.
std::vector<Unit*> getUnitsInTiles(const std::vector<V2i>& tiles, int);
// Within radius x sqrt(2) world units of p: a unit's position, or the nearest point of a building's footprint.
bool isAttackableInRange(const SDL_FPoint& p, const Attackable* target, float radius);
// Within the unit's attack range, measured in sub-tiles (Chebyshev); range 1.0 reaches 4 sub-tiles.
bool isAttackableInRangeTile(const Unit& unit, const Attackable* target);
// No Wall tile on the grid line from the tile of a up to (not including) the tile of b.
bool hasLineOfSight(const SDL_FPoint& a, const SDL_FPoint& b, const Grid& grid);
// The sprite facing row 0 (up) to 4 (down) for a screen-space direction; the left-hand rows are mirrored.
int computeDirection(const SDL_FPoint& screenVector, bool& flip);
// The terrain height under the unit in height levels, sloped across ramps and the flat halves beside them.
float getUnitVisualHeight(const Unit& unit);
