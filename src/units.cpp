// Units: catalogue, record and registry, removal, path searches, walk orders, combat, and the unit tick.
#include "units.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>

#include "buildings.h"
#include "config.h"
#include "extraction.h"
#include "game_state.h"
#include "map_objects.h"
#include "player.h"
#include "projectiles.h"
#include "races.h"
#include "sounds.h"
#include "special_effects.h"
#include "spells.h"
#include "sprites.h"
#include "textures.h"
#include "upgrades.h"

const std::unordered_map<UnitType, std::string> unitTypeToString = {
    {UnitType::None, "None"},
    {UnitType::Peon, "Peon"},
    {UnitType::Grunt, "Grunt"},
    {UnitType::TrollAxeThrower, "TrollAxeThrower"},
    {UnitType::TrollDestroyer, "TrollDestroyer"},
    {UnitType::Catapult, "Catapult"},
    {UnitType::DeathKnight, "DeathKnight"},
    {UnitType::Dragon, "Dragon"},
    {UnitType::Ogre, "Ogre"},
    {UnitType::GoblinZeppelin, "GoblinZeppelin"},
    {UnitType::Sheep, "Sheep"},
    {UnitType::Boar, "Boar"},
    {UnitType::Bird, "Bird"},
    {UnitType::Custom, "Custom"},
    {UnitType::Peasant, "Peasant"},
};

std::unordered_map<std::string, UnitInfo> unitInfo;

std::vector<Unit> units;
std::unordered_map<int, size_t> unitIdToIndex;
std::vector<int> selectedUnits;
std::unordered_set<int> selectedUnitsSet;
std::vector<int> unitsToRemove;
std::vector<DeadUnit> deadUnits;
std::vector<FloatingText> floatingTexts;

// ---- Units catalogue ----

UnitCategory stringToUnitCategory(const std::string& text) {
    if (text == "Air") return UnitCategory::Air;
    if (text == "Naval") return UnitCategory::Naval;
    return UnitCategory::Ground;
}

static AttackType stringToAttackType(const std::string& text) {
    static const std::pair<const char*, AttackType> names[] = {
        {"Melee", AttackType::Melee}, {"Ranged", AttackType::Ranged},
        {"Instant", AttackType::Instant}, {"Siege", AttackType::Siege}};
    for (const auto& [name, value] : names)
        if (text == name) return value;
    return AttackType::None;
}

static Tile stringToMovementClass(const std::string& text) {
    if (text == "Water") return Tile::Water;
    if (text == "Any") return Tile::Any;
    return Tile::Grass;
}

static int attackTargetBit(const std::string& text) {
    if (text == "Ground") return ATTACK_TARGET_GROUND;
    if (text == "Air") return ATTACK_TARGET_AIR;
    if (text == "Space") return ATTACK_TARGET_NAVAL;
    std::cerr << "Unknown unit category: " << text << "\n";
    return ATTACK_TARGET_GROUND;
}

static UnitInfo readUnitInfo(const std::string& type, const nlohmann::json& e) {
    UnitInfo info;
    info.type = type;
    info.race = e.value("race", info.race);
    info.category = stringToUnitCategory(e.value("category", std::string("None")));
    info.attackType = stringToAttackType(e.value("attackType", std::string("None")));
    info.walkable = stringToMovementClass(e.value("walkable", std::string("Grass")));
    info.isBiological = e.value("isBiological", info.isBiological);
    info.buildTime = jsonFloat(e, "buildTime", info.buildTime);
    info.hp = jsonInt(e, "hp", info.hp);
    info.damage = jsonInt(e, "damage", info.damage);
    info.piercing = jsonInt(e, "piercing", info.piercing);
    info.armor = jsonInt(e, "armor", info.armor);
    info.range = jsonFloat(e, "range", info.range);
    info.splashRadius = jsonInt(e, "splashRadius", info.splashRadius);
    info.sight = jsonInt(e, "sight", info.sight);
    info.wTiles = jsonInt(e, "wTiles", info.wTiles);
    info.hTiles = jsonInt(e, "hTiles", info.hTiles);
    info.subtiles = jsonInt(e, "subtiles", info.subtiles);
    info.goldCost = jsonInt(e, "goldCost", info.goldCost);
    info.woodCost = jsonInt(e, "woodCost", info.woodCost);
    info.foodCost = jsonInt(e, "foodCost", info.foodCost);
    info.movementSpeed = jsonFloat(e, "movementSpeed", info.movementSpeed);
    info.attackSpeed = jsonFloat(e, "attackSpeed", info.attackSpeed);
    info.canAttack = e.value("canAttack", info.canAttack);
    info.expGain = jsonInt(e, "expGain", info.expGain);
    for (const std::string& target : e.value("attackTargets", std::vector<std::string>{}))
        info.attackTargets |= attackTargetBit(target);
    info.projectile = e.value("projectile", info.projectile);
    info.buildMenu = e.value("buildMenu", info.buildMenu);
    info.worker = e.value("worker", info.worker);
    info.civilian = e.value("civilian", info.civilian);
    info.carrier = e.value("carrier", info.carrier);
    return info;
}

void loadUnitInfo(const std::string& path, const std::string& race) {
    nlohmann::json doc = Utils::loadJsonFile(path);
    if (doc.is_null() || ((doc.is_object() || doc.is_array()) && doc.empty())) {
        std::cerr << "Unit data is empty. Check file: " << path << "\n";
        return;
    }
    for (const auto& entry : doc.items()) {
        UnitInfo info = readUnitInfo(entry.key(), entry.value());
        unitInfo[entry.key()] = std::move(info);
    }
}

UnitInfo* getUnitInfo(const std::string& type) {
    auto it = unitInfo.find(type);
    if (it == unitInfo.end()) {
        std::cerr << "[UnitInfo] Unknown unit type: " << type << "\n";
        return nullptr;
    }
    return &it->second;
}

// ---- Unit record ----

void Unit::takeDamage(int amount) { hp = hpAfterDamage(hp, maxHp, amount); }

void Unit::computeNearbyTiles() {
    nearbyTiles.clear();
    float s = static_cast<float>(TILE_SIZE / 4);
    int sx = truncToInt(x / s);
    int sy = truncToInt(y / s);
    int w = footprintSubTiles(wTiles, 4);
    int h = footprintSubTiles(hTiles, 4);
    for (int i = sx - 1; i <= sx + w; ++i) nearbyTiles.push_back({i, sy - 1});
    for (int i = sx - 1; i <= sx + w; ++i) nearbyTiles.push_back({i, sy + h});
    for (int j = sy; j < sy + h; ++j) nearbyTiles.push_back({sx - 1, j});
    for (int j = sy; j < sy + h; ++j) nearbyTiles.push_back({sx + w, j});
    nearbyTiles.push_back({sx, sy});
}

void Unit::computeNearbyTiles(float reach) {
    nearbyTiles.clear();
    int r = reachInSubTiles(reach);
    V2i s = worldToSubTile(x, y);
    for (int dx = -r; dx <= r; ++dx)
        for (int dy = -r; dy <= r; ++dy)
            if (dx != 0 || dy != 0) nearbyTiles.push_back({s.x + dx, s.y + dy});
}

V2i Unit::getTile() const { return worldToTile(x, y); }

Unit newUnitFromInfo(const UnitInfo& info, int id, int playerId) {
    Unit u;
    u.id = id;
    u.type = info.type;
    u.playerId = playerId;
    u.maxHp = static_cast<float>(info.hp);
    u.hp = u.maxHp;
    u.category = info.category;
    u.attackType = info.attackType;
    u.walkable = info.walkable;
    u.sight = info.sight;
    u.wTiles = info.wTiles;
    u.hTiles = info.hTiles;
    u.damage = info.damage;
    u.piercing = info.piercing;
    u.range = info.range;
    u.movementSpeed = info.movementSpeed;
    u.attackSpeed = info.attackSpeed;
    u.canAttack = info.canAttack;
    u.worker = info.worker;
    u.carrier = info.carrier;
    u.armor = 0;
    u.scanInterval = truncToInt(std::round(1.0f / TURN_LENGTH));
    // A zero attack or game speed saturates to the largest interval rather than overflowing.
    u.attackInterval = attackIntervalFor(info.attackSpeed);
    u.speedPerTick = speedPerTickFor(info.movementSpeed);
    u.miningRetryTicks = 0;
    u.miningPatienceTicks = id % 50 + 50;
    u.state = UnitState::Idle;
    return u;
}

// ---- Registry and selection ----

static bool isCritterType(const std::string& type) { return type == "Sheep" || type == "Boar" || type == "Bird"; }

// A new unit of a player: its call sign in Extraction, the upgrades its owner holds, its place in the owner's lists.
static void enlistWithOwner(Unit& unit) {
    if (mode == GameMode::Extraction && unit.nickname.empty() && unitHooks.randomNickname)
        unit.nickname = unitHooks.randomNickname();
    applyHeldUpgrades(unit);
    if (Player* owner = getPlayerById(unit.playerId)) {
        owner->unitIds.push_back(unit.id);
        owner->unitCounts[unit.type] += 1;
    }
}

Unit& addUnit(const Unit& unit) {
    units.push_back(unit);
    unitIdToIndex[unit.id] = units.size() - 1;
    if (!isCritterType(units.back().type)) enlistWithOwner(units.back());
    return units.back();
}

Unit* getUnitById(int id) {
    // addUnit and removeUnit keep the index, so it answers without a scan.
    const auto indexed = unitIdToIndex.find(id);
    if (indexed == unitIdToIndex.end() || indexed->second >= units.size()) return nullptr;
    Unit& unit = units[indexed->second];
    return unit.id == id ? &unit : nullptr;
}

void addToSelection(int id) {
    if (selectedUnitsSet.insert(id).second) selectedUnits.push_back(id);
}

void removeFromSelection(int id) {
    if (selectedUnitsSet.erase(id) == 0) return;
    auto it = std::find(selectedUnits.begin(), selectedUnits.end(), id);
    if (it != selectedUnits.end()) selectedUnits.erase(it);
}

void clearUnitSelection() {
    selectedUnits.clear();
    selectedUnitsSet.clear();
}

bool isSelected(int id) { return selectedUnitsSet.count(id) != 0; }

static Unit* unitByIndexOf(int id) {
    auto it = unitIdToIndex.find(id);
    if (it == unitIdToIndex.end() || it->second >= units.size()) return nullptr;
    return &units[it->second];
}

Unit* getFirstSelectedUnit() {
    if (selectedUnits.empty()) return nullptr;
    return unitByIndexOf(selectedUnits.front());
}

Unit* getSelectedUnitById(int id) { return isSelected(id) ? unitByIndexOf(id) : nullptr; }

void updateCooldowns(Unit& unit, float dt) {
    for (auto& entry : unit.cooldowns)
        if (entry.second > 0.0f) entry.second -= dt;
}

// ---- Deferred removal ----

void addUnitForRemoval(int id) { unitsToRemove.push_back(id); }

std::vector<int> drainUnitRemovalQueue() {
    std::vector<int> ids;
    ids.swap(unitsToRemove);
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

// What the owner counts of a unit that leaves: its place in the owner's list and the supply it used.
static void discharge(const Unit& unit) {
    Player* owner = getPlayerById(unit.playerId);
    if (!owner) return;
    owner->unitIds.erase(std::remove(owner->unitIds.begin(), owner->unitIds.end(), unit.id), owner->unitIds.end());
    const UnitInfo* info = getUnitInfo(unit.type);
    if (!info || owner->id == Player::environmentId || owner->supplyUsed < 1 || info->civilian) return;
    owner->supplyUsed -= info->foodCost;
}

void processUnitRemovals(Grid& grid) {
    for (int id : drainUnitRemovalQueue()) {
        const Unit* unit = getUnitById(id);
        if (!unit) continue;
        discharge(*unit);
        if (unit->mining && isValidSubTile(unit->miningSubTile)) releaseMiningTile(unit->miningSubTile, id, grid);
        removeUnit(id);
    }
}

bool removeUnit(int id) {
    auto found = unitIdToIndex.find(id);
    if (found == unitIdToIndex.end()) return false;
    size_t index = found->second;
    // A stale index would erase the wrong unit; the index map must agree with the vector.
    if (index >= units.size() || units[index].id != id) return false;
    const Unit& unit = units[index];
    freeTileForUnit(id, unit.type, worldToSubTile(unit.x, unit.y));
    selectedUnits.erase(std::remove(selectedUnits.begin(), selectedUnits.end(), id), selectedUnits.end());
    selectedUnitsSet.erase(id);
    dropSpellsOnUnit(id);
    units.erase(units.begin() + static_cast<std::ptrdiff_t>(index));
    unitIdToIndex.erase(found);
    for (size_t i = index; i < units.size(); ++i) unitIdToIndex[units[i].id] = i;
    return true;
}

// ---- Corpses and floating texts ----

void spawnCorpse(SDL_FPoint p) { deadUnits.push_back({truncToInt(p.x), truncToInt(p.y), 0.0f, 10.0f}); }

void updateDeadUnits(float dt) {
    for (DeadUnit& corpse : deadUnits) corpse.timer += dt;
    deadUnits.erase(std::remove_if(deadUnits.begin(), deadUnits.end(),
                                   [](const DeadUnit& c) { return c.timer >= c.lifetime; }),
                    deadUnits.end());
}

void spawnFloatingText(float x, float y, const std::string& text, SDL_Color color, bool flag, int amount, int key) {
    if (key != 0) {
        auto fresh = std::find_if(floatingTexts.begin(), floatingTexts.end(),
                                  [key](const FloatingText& t) { return t.key == key && t.lifetime > 0.3f; });
        if (fresh != floatingTexts.end()) {
            fresh->amount += amount;
            fresh->text = std::to_string(fresh->amount);
            fresh->alpha = 1.0f;
            fresh->lifetime = 1.5f;
            fresh->rise = 0.0f;
            fresh->x = x;
            fresh->y = y;
            return;
        }
    }
    FloatingText t;
    t.x = x;
    t.y = y;
    t.text = text;
    t.color = color;
    t.flag = flag;
    t.amount = amount;
    t.key = key;
    floatingTexts.push_back(t);
}

void updateFloatingTexts(float dt) {
    for (FloatingText& t : floatingTexts) {
        t.rise -= t.velocityY * dt;
        t.alpha -= 0.25f * dt;
        t.lifetime -= dt;
    }
    floatingTexts.erase(std::remove_if(floatingTexts.begin(), floatingTexts.end(),
                                       [](const FloatingText& t) { return t.lifetime <= 0.0f || t.alpha <= 0.0f; }),
                        floatingTexts.end());
}

// ---- Path search and free sub-tiles ----

namespace {

// Per-sub-tile state of the running search, kept from one search to the next so that a search allocates
// nothing the size of the map: a cell belongs to the running search only when its mark is the generation.
struct SearchMarks {
    std::vector<uint32_t> mark;
    std::vector<int32_t> gScore;
    std::vector<int32_t> cameFrom;  // index of the predecessor; -1 for the start
    uint32_t generation = 0;
    int width = 0;

    void begin() {
        size_t cells = static_cast<size_t>(std::max(SUB_MAP_W, 0)) * static_cast<size_t>(std::max(SUB_MAP_H, 0));
        width = SUB_MAP_W;
        if (mark.size() != cells) {
            mark.assign(cells, 0);
            gScore.resize(cells);
            cameFrom.resize(cells);
            generation = 0;
        }
        if (++generation == 0) {
            std::fill(mark.begin(), mark.end(), 0);
            generation = 1;
        }
    }
    int index(V2i sub) const { return sub.y * width + sub.x; }
    V2i subTile(int index) const { return {index % width, index / width}; }
    bool seen(int index) const { return mark[index] == generation; }
    void reach(int index, int from, int g) {
        mark[index] = generation;
        cameFrom[index] = from;
        gScore[index] = g;
    }
};

SearchMarks marks;
std::vector<std::pair<int, int>> fifo;  // breadth-first queue of (cell index, depth), reused

// A binary heap that moves its entries exactly as the GNU C++ library's push_heap and pop_heap do, so
// entries that the order leaves equal still come out in one fixed order on every build.
// later(a, b) is true when a comes out after b.
template <typename Entry, bool (*later)(const Entry&, const Entry&)>
class OpenList {
public:
    void clear() { heap.clear(); }
    bool empty() const { return heap.empty(); }

    void push(const Entry& entry) {
        heap.push_back(entry);
        siftUp(static_cast<ptrdiff_t>(heap.size()) - 1, entry);
    }

    Entry pop() {
        Entry top = heap.front();
        ptrdiff_t len = static_cast<ptrdiff_t>(heap.size()) - 1;
        Entry last = heap.back();
        heap.pop_back();
        if (len == 0) return top;
        ptrdiff_t hole = 0;
        ptrdiff_t child = 0;
        while (child < (len - 1) / 2) {
            child = 2 * (child + 1);
            if (later(heap[child], heap[child - 1])) --child;
            heap[hole] = heap[child];
            hole = child;
        }
        if ((len & 1) == 0 && child == (len - 2) / 2) {
            child = 2 * (child + 1);
            heap[hole] = heap[child - 1];
            hole = child - 1;
        }
        siftUp(hole, last);
        return top;
    }

private:
    void siftUp(ptrdiff_t hole, const Entry& entry) {
        ptrdiff_t parent = (hole - 1) / 2;
        while (hole > 0 && later(heap[parent], entry)) {
            heap[hole] = heap[parent];
            hole = parent;
            parent = (hole - 1) / 2;
        }
        heap[hole] = entry;
    }

    std::vector<Entry> heap;
};

struct OpenEntry {
    int64_t f = 0;  // wide, so a goal far off the map cannot overflow the estimate
    int32_t g = 0;
    int32_t x = 0;
    int32_t y = 0;
};

bool laterByEstimate(const OpenEntry& a, const OpenEntry& b) { return a.f > b.f; }

bool laterByEstimateThenPlace(const OpenEntry& a, const OpenEntry& b) {
    if (a.f != b.f) return a.f > b.f;
    if (a.g != b.g) return a.g > b.g;
    if (a.x != b.x) return a.x > b.x;
    return a.y > b.y;
}

OpenList<OpenEntry, laterByEstimateThenPlace> unitOpenList;
OpenList<OpenEntry, laterByEstimate> plainOpenList;

int64_t manhattan(V2i a, V2i b) {
    return std::abs(int64_t{a.x} - b.x) + std::abs(int64_t{a.y} - b.y);
}

// The tile holding a sub-tile, by signed division.
V2i tileOfSubTile(V2i sub) { return {sub.x / 4, sub.y / 4}; }

std::vector<V2i> neighboursOf(const Grid& grid, V2i sub, Tile movementClass) {
    return (Neighbors ? Neighbors : neighbors8)(grid, sub, movementClass);
}

// A step into another tile needs equal height levels or a ramp on either side; any height difference
// may be crossed on a ramp.
bool heightBorderAllows(const Grid& grid, V2i from, V2i to) {
    V2i a = tileOfSubTile(from);
    V2i b = tileOfSubTile(to);
    if (a == b) return true;
    const TileInstance& ta = grid.at(a.x, a.y);
    const TileInstance& tb = grid.at(b.x, b.y);
    return ta.heightLevel == tb.heightLevel || ta.ramp != 0 || tb.ramp != 0;
}

bool isFreeFor(V2i sub, int unitId) {
    int holder = isSubTileReserved(sub);
    return holder == FREE_SUB_TILE || holder == unitId;
}

// The passability rules shared by astar and simpleBFS for a step from cur to n.
bool unitMayStep(const Grid& grid, V2i cur, V2i n, V2i goal, Tile movementClass, int unitId) {
    if (!isValidSubTile(n)) return false;
    if (movementClass != Tile::Any && !heightBorderAllows(grid, cur, n)) return false;
    return n == goal || isFreeFor(n, unitId);
}

SubTilePath reconstruct(int end) {
    SubTilePath path;
    for (int i = end; i != -1; i = marks.cameFrom[i]) path.push_back(marks.subTile(i));
    std::reverse(path.begin(), path.end());
    return path;
}

// Starts a search at start; false when the start is off the sub-grid.
bool beginSearch(V2i start) {
    if (!isValidSubTile(start)) return false;
    marks.begin();
    marks.reach(marks.index(start), -1, 0);
    return true;
}

// A relaxation of the A* family: false when n already has a step count no greater than g.
bool improves(int n, int g) { return !marks.seen(n) || marks.gScore[n] > g; }

}  // namespace

std::optional<SubTilePath> astar(const Grid& grid, V2i start, V2i goal, Tile movementClass, int unitId,
                                 int maxDepth) {
    if (!beginSearch(start)) return std::nullopt;
    unitOpenList.clear();
    unitOpenList.push({manhattan(start, goal), 0, start.x, start.y});
    while (!unitOpenList.empty()) {
        OpenEntry entry = unitOpenList.pop();
        V2i cur{entry.x, entry.y};
        int c = marks.index(cur);
        if (cur == goal) return reconstruct(c);
        if (maxDepth != 0 && entry.g >= maxDepth) return reconstruct(c);
        int g = marks.gScore[c] + 1;
        for (V2i n : neighboursOf(grid, cur, movementClass)) {
            if (!unitMayStep(grid, cur, n, goal, movementClass, unitId)) continue;
            int ni = marks.index(n);
            if (!improves(ni, g)) continue;
            marks.reach(ni, c, g);
            unitOpenList.push({g + manhattan(n, goal), g, n.x, n.y});
        }
    }
    return std::nullopt;
}

std::optional<SubTilePath> astarPure(const Grid& grid, V2i start, V2i goal, Tile movementClass) {
    if (!beginSearch(start)) return std::nullopt;
    plainOpenList.clear();
    plainOpenList.push({manhattan(start, goal), 0, start.x, start.y});
    while (!plainOpenList.empty()) {
        OpenEntry entry = plainOpenList.pop();
        V2i cur{entry.x, entry.y};
        int c = marks.index(cur);
        if (cur == goal) return reconstruct(c);
        int g = marks.gScore[c] + 1;
        for (V2i n : neighboursOf(grid, cur, movementClass)) {
            if (!isValidSubTile(n)) continue;
            int ni = marks.index(n);
            if (!improves(ni, g)) continue;
            marks.reach(ni, c, g);
            plainOpenList.push({g + manhattan(n, goal), g, n.x, n.y});
        }
    }
    return std::nullopt;
}

std::optional<SubTilePath> astarMultiGoal(const Grid& grid, V2i start, const std::vector<V2i>& goals,
                                          Tile movementClass) {
    if (goals.empty() || !beginSearch(start)) return std::nullopt;
    const V2i aim = goals.front();
    plainOpenList.clear();
    plainOpenList.push({manhattan(start, aim), 0, start.x, start.y});
    while (!plainOpenList.empty()) {
        OpenEntry entry = plainOpenList.pop();
        V2i cur{entry.x, entry.y};
        int c = marks.index(cur);
        if (std::find(goals.begin(), goals.end(), cur) != goals.end()) return reconstruct(c);
        int g = marks.gScore[c] + 1;
        for (const V2i& d : DIRECTIONS) {
            V2i n{cur.x + d.x, cur.y + d.y};
            // Bounded by the map's own sub-grid, whatever its size.
            if (!isValidSubTile(n)) continue;
            V2i tile = tileOfSubTile(n);
            if (!grid.walkable(tile.x, tile.y, movementClass)) continue;
            if (!heightBorderAllows(grid, cur, n)) continue;
            int ni = marks.index(n);
            if (!improves(ni, g)) continue;
            marks.reach(ni, c, g);
            plainOpenList.push({g + manhattan(n, aim), g, n.x, n.y});
        }
    }
    return std::nullopt;
}

std::optional<SubTilePath> simpleBFS(const Grid& grid, V2i start, V2i goal, Tile movementClass, int unitId,
                                     int maxDepth) {
    if (!beginSearch(start)) return std::nullopt;
    fifo.clear();
    fifo.push_back({marks.index(start), 0});
    for (size_t head = 0; head < fifo.size(); ++head) {
        auto [c, depth] = fifo[head];
        if (maxDepth > 0 && depth >= maxDepth) continue;
        V2i cur = marks.subTile(c);
        if (cur == goal) return reconstruct(c);
        for (V2i n : neighboursOf(grid, cur, movementClass)) {
            if (!unitMayStep(grid, cur, n, goal, movementClass, unitId)) continue;
            int ni = marks.index(n);
            if (marks.seen(ni)) continue;
            marks.reach(ni, c, depth + 1);
            fifo.push_back({ni, depth + 1});
        }
    }
    return std::nullopt;
}

// N, E, S, W first, then NE, SE, SW, NW.
static const V2i FREE_TILE_ORDER[8] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0}, {1, -1}, {1, 1}, {-1, 1}, {-1, -1}};

// A class other than Any searches only tiles of its own terrain type.
static bool onOwnTerrain(const Grid& grid, V2i sub, Tile movementClass) {
    if (movementClass == Tile::Any) return true;
    V2i tile = tileOfSubTile(sub);
    return grid.at(tile.x, tile.y).type == movementClass;
}

// Free for the unit and on a tile it may enter, so a walk can end there.
static bool mayStandOn(const Grid& grid, V2i sub, Tile movementClass, int unitId) {
    V2i tile = tileOfSubTile(sub);
    return grid.walkable(tile.x, tile.y, movementClass) && isFreeFor(sub, unitId);
}

V2i findClosestFreeTile(Grid& grid, const V2i& target, const V2i& origin, Tile movementClass, int unitId) {
    if (!isValidSubTile(target)) return origin;
    marks.begin();
    fifo.clear();
    marks.reach(marks.index(target), -1, 0);
    fifo.push_back({marks.index(target), 0});
    for (size_t head = 0; head < fifo.size(); ++head) {
        V2i cur = marks.subTile(fifo[head].first);
        for (const V2i& d : FREE_TILE_ORDER) {
            V2i n{cur.x + d.x, cur.y + d.y};
            if (!isValidSubTile(n) || !onOwnTerrain(grid, n, movementClass)) continue;
            int ni = marks.index(n);
            if (marks.seen(ni)) continue;
            marks.reach(ni, -1, 0);
            if (n == origin) continue;
            // The search spreads under buildings and objects but never ends there: no walk could.
            if (mayStandOn(grid, n, movementClass, unitId)) return n;
            fifo.push_back({ni, 0});
        }
    }
    for (const V2i& d : FREE_TILE_ORDER) {
        V2i n{origin.x + d.x, origin.y + d.y};
        if (isValidSubTile(n) && mayStandOn(grid, n, movementClass, unitId)) return n;
    }
    return origin;
}

bool isAreaFree(int unitId, const V2i& centre, const std::string& unitType) {
    const int64_t half = unitInfo.at(unitType).subtiles / 2;
    for (int64_t dy = -half; dy <= half; ++dy) {
        for (int64_t dx = -half; dx <= half; ++dx) {
            int64_t x = centre.x + dx;
            int64_t y = centre.y + dy;
            if (x < 0 || y < 0 || x >= SUB_MAP_W || y >= SUB_MAP_H) return false;
            if (!isFreeFor({static_cast<int>(x), static_cast<int>(y)}, unitId)) return false;
        }
    }
    return true;
}

V2i findSpawnTile(Building& building, Grid& grid, const Unit& unit) {
    const int S = 4;
    if (building.nearbyTiles.empty())
        return {building.x * S + footprintSubTiles(building.wTiles, S) / 2,
                building.y * S + footprintSubTiles(building.hTiles, S) / 2};
    const V2i* best = nullptr;
    int64_t bestDistance = 0;
    for (const V2i& s : building.nearbyTiles) {
        // A ring sub-tile off the sub-grid is no place to appear, even where its tile rounds onto the map.
        V2i tile = tileOfSubTile(s);
        if (!isValidSubTile(s) || !grid.walkable(tile.x, tile.y, unit.walkable)) continue;
        if (!building.hasRallyPoint) return s;
        int64_t d = manhattan(s, building.rallyPoint);
        if (!best || d < bestDistance) {
            best = &s;
            bestDistance = d;
        }
    }
    return best ? *best : V2i{building.x * S, building.y * S};
}

// ---- Walk orders ----

// Goals at most this many sub-tiles away (Manhattan) are planned breadth-first.
static constexpr int64_t SHORT_WALK = 19;

SDL_FPoint subTileWaypoint(V2i sub) {
    return {static_cast<float>(sub.x) * 35.0f + 17.5f, static_cast<float>(sub.y) * 35.0f + 17.5f};
}

void setUnitPath(Unit& unit, const SubTilePath& path) {
    unit.waypoints.clear();
    for (const V2i& sub : path) unit.waypoints.push_back(subTileWaypoint(sub));
}

static std::optional<SubTilePath> planWalk(const Grid& grid, V2i start, V2i goal, const Unit& unit) {
    if (manhattan(start, goal) <= SHORT_WALK) return simpleBFS(grid, start, goal, unit.walkable, unit.id, -1);
    return astar(grid, start, goal, unit.walkable, unit.id, 0);
}

// Land units are never sent onto water; ships and units of class Any may be.
static bool mayBeSentOnto(const Grid& grid, V2i goal, Tile movementClass) {
    if (movementClass == Tile::Any || movementClass == Tile::Water) return true;
    V2i tile = tileOfSubTile(goal);
    return grid.at(tile.x, tile.y).type != Tile::Water;
}

bool walkToTile(Unit& unit, V2i goal, Grid& grid) {
    if (!mayBeSentOnto(grid, goal, unit.walkable)) return false;
    const V2i start = worldToSubTile(unit.x, unit.y);
    std::optional<SubTilePath> path = planWalk(grid, start, goal, unit);
    if (!path) path = planWalk(grid, start, findClosestFreeTile(grid, goal, start, unit.walkable, unit.id), unit);
    if (!path) return false;
    if (unit.waypoints.empty()) {
        setUnitPath(unit, *path);
    } else {
        // A moving unit finishes the step it is on before following the new path.
        unit.waypoints.resize(1);
        for (size_t i = 1; i < path->size(); ++i) unit.waypoints.push_back(subTileWaypoint((*path)[i]));
    }
    unit.goal = goal;
    unit.hasGoal = true;
    unit.mining = false;
    if (unit.state != UnitState::OrderedMove && unit.state != UnitState::AttackMoving) unit.state = UnitState::Moving;
    return true;
}

bool walkToTilePure(Unit& unit, V2i goal, Grid& grid) {
    std::optional<SubTilePath> path = astarPure(grid, worldToSubTile(unit.x, unit.y), goal, unit.walkable);
    if (!path) return false;
    setUnitPath(unit, *path);
    unit.hasGoal = true;
    unit.goal = goal;
    unit.mining = false;
    if (unit.state != UnitState::OrderedMove) unit.state = UnitState::Moving;
    return true;
}

bool moveUnitUnclump(int unitId, V2i target, Grid& grid) {
    Unit* unit = getUnitById(unitId);
    if (!unit) return false;
    // A latching mine goes for its victim's own sub-tile.
    if (unit->type == "LatchedMine" || isTileReserved(target) == FREE_SUB_TILE)
        return walkToTile(*unit, target, grid);
    V2i free = findClosestFreeTile(grid, target, worldToSubTile(unit->x, unit->y), unit->walkable, unit->id);
    return walkToTile(*unit, free, grid);
}

bool sameDestination(const Unit& unit, V2i tile) {
    if (unit.waypoints.empty()) return false;
    const SDL_FPoint& last = unit.waypoints.back();
    return worldToTile(last.x, last.y) == tile;
}

// ---- Carriers and latching ----

std::unordered_map<int, std::vector<int>> zeppelinCargo;

void addUnitToZeppelin(Unit& unit) {
    zeppelinCargo[unit.boardCarrierId].push_back(unit.id);
    unit.onMap = false;
    // Every cell the unit holds is released, not only the one under it: a wide footprint or a reservation
    // made ahead of the unit would otherwise block that ground for as long as it rides.
    freeTileForUnit(unit.id, unit.type, worldToSubTile(unit.x, unit.y));
    removeFromSelection(unit.id);
}

Unit* removeUnitFromZeppelin(Unit& carrier, int unitId) {
    auto cargo = zeppelinCargo.find(carrier.id);
    if (cargo != zeppelinCargo.end()) {
        std::vector<int>& aboard = cargo->second;
        aboard.erase(std::remove(aboard.begin(), aboard.end(), unitId), aboard.end());
        if (aboard.empty()) zeppelinCargo.erase(cargo);
    }
    Unit* unit = getUnitById(unitId);
    if (!unit) return nullptr;
    unit->onMap = true;
    unit->x = carrier.x;
    unit->y = carrier.y;
    return unit;
}

void latchToUnit(Unit& unit, SDL_FPoint target) {
    // The chase crosses the wire once. No keyboard state reaches it.
    if (!ordersFromThisPeer(unit.playerId)) return;
    if (SUB_TILE_SIZE <= 0) return;
    MoveCommand move;
    move.unitIds = {unit.id};
    move.x = truncToInt(target.x) / SUB_TILE_SIZE;
    move.y = truncToInt(target.y) / SUB_TILE_SIZE;
    move.shiftHeld = false;
    lockstep.pendingCommands.push_back(Command{CommandType::Move, unit.playerId, move});
}

// ---- Mining claims ----

std::vector<uint32_t> miningOccupancy;

// ---- Nearest places: resources, building sites, rings and enemies ----

// Ahead of any real key or distance, so the first candidate always wins over the starting value.
static constexpr int64_t NO_KEY = std::numeric_limits<int64_t>::max();
static constexpr V2i NOT_FOUND{-1, -1};

static int64_t tileKey(int64_t x, int64_t y) { return x * 100000 + y; }

// A world coordinate in 1/256 units, truncated; bounded so that squared differences stay within 64 bits.
static int64_t fixedPoint(float world) {
    constexpr double bound = 1 << 29;
    double v = std::trunc(static_cast<double>(world) * 256.0);
    if (std::isnan(v)) return 0;
    return static_cast<int64_t>(std::clamp(v, -bound, bound));
}

static int64_t squared(int64_t v) { return v * v; }

static int64_t fixedDistanceToTileCentre(const Unit& unit, V2i tile) {
    const int64_t half = TILE_SIZE / 2;
    const int64_t cx = (int64_t{tile.x} * TILE_SIZE + half) * 256;
    const int64_t cy = (int64_t{tile.y} * TILE_SIZE + half) * 256;
    return squared(cx - fixedPoint(unit.x)) + squared(cy - fixedPoint(unit.y));
}

static bool walkableTile(const Grid& grid, int64_t x, int64_t y) {
    return x >= 0 && y >= 0 && x < MAP_W && y < MAP_H && grid.at(static_cast<int>(x), static_cast<int>(y)).walkable;
}

// The part of [from, to] that lies in [0, size - 1]; a scan over it visits the same cells in the same order.
static std::pair<int64_t, int64_t> onGrid(int64_t from, int64_t to, int64_t size) {
    return {std::max<int64_t>(from, 0), std::min<int64_t>(to, size - 1)};
}

ResourceFind findClosestResource(V2i tile, const std::string& resourceType, Grid& grid) {
    ResourceFind found;
    int64_t bestDistance = 99999;
    int64_t bestKey = NO_KEY;
    for (MapObject& object : mapObjects) {
        if (object.type != resourceType) continue;
        if (std::find(mapObjectsToRemove.begin(), mapObjectsToRemove.end(), object.id) != mapObjectsToRemove.end())
            continue;
        for (int64_t x = object.tileX; x < int64_t{object.tileX} + object.wTiles; ++x) {
            for (int64_t y = object.tileY; y < int64_t{object.tileY} + object.hTiles; ++y) {
                int64_t d = std::abs(x - tile.x) + std::abs(y - tile.y);
                int64_t key = int64_t{object.id} * 100000000 + x * 1000 + y;
                if (d > bestDistance || (d == bestDistance && key >= bestKey)) continue;
                bestDistance = d;
                bestKey = key;
                found = {{static_cast<int>(x), static_cast<int>(y)}, &object};
            }
        }
    }
    return found;
}

V2i findClosestFreeTile(V2i origin, const std::string& buildingType, Grid& grid, int minDist) {
    const BuildingInfo& info = buildingInfo.at(buildingType);
    std::unordered_set<V2i, V2iHash> unitTiles;
    for (const Unit& u : units) unitTiles.insert(worldToTile(u.x, u.y));
    auto footprintFree = [&](int64_t x, int64_t y) {
        if (info.wTiles <= 0 || info.hTiles <= 0) return true;
        for (int64_t fx = x; fx < x + info.wTiles; ++fx)
            for (int64_t fy = y; fy < y + info.hTiles; ++fy)
                if (!walkableTile(grid, fx, fy) || unitTiles.count({static_cast<int>(fx), static_cast<int>(fy)}))
                    return false;
        return true;
    };
    V2i result = NOT_FOUND;
    int best = 999999;
    for (int dx = -10; dx <= 10; ++dx) {
        for (int dy = -10; dy <= 10; ++dy) {
            int d = std::abs(dx) + std::abs(dy);
            if (d < minDist || d >= best) continue;
            int64_t x = int64_t{origin.x} + dx;
            int64_t y = int64_t{origin.y} + dy;
            if (!footprintFree(x, y)) continue;
            result = {static_cast<int>(x), static_cast<int>(y)};
            best = d;
        }
    }
    return result;
}

V2i findClosestTileWithinRange(const Unit* unit, const V2i& target, Grid& grid, float range) {
    if (!unit) return NOT_FOUND;
    const int64_t half = int64_t{truncToInt(std::ceil(range))} + 1;
    if (half < 0) return NOT_FOUND;
    const float reach = range * range;
    V2i result = NOT_FOUND;
    int64_t best = NO_KEY;
    int64_t bestKey = NO_KEY;
    auto [x0, x1] = onGrid(target.x - half, target.x + half, MAP_W);
    auto [y0, y1] = onGrid(target.y - half, target.y + half, MAP_H);
    for (int64_t x = x0; x <= x1; ++x) {
        for (int64_t y = y0; y <= y1; ++y) {
            if (!walkableTile(grid, x, y)) continue;
            // Written so that a range that is not a number reaches nothing.
            if (!(static_cast<float>(squared(x - target.x) + squared(y - target.y)) <= reach)) continue;
            V2i tile{static_cast<int>(x), static_cast<int>(y)};
            int64_t d = fixedDistanceToTileCentre(*unit, tile);
            int64_t key = tileKey(x, y);
            if (d > best || (d == best && key >= bestKey)) continue;
            best = d;
            bestKey = key;
            result = tile;
        }
    }
    return result;
}

V2i findClosestTileAdjacentToBuilding(const Building& building, Grid& grid) {
    const BuildingInfo& info = buildingInfo.at(building.type);
    const int64_t w = info.wTiles;
    const int64_t h = info.hTiles;
    if (w < -1 || h < -1) return NOT_FOUND;
    V2i result = NOT_FOUND;
    int64_t best = 999999;
    int64_t bestKey = NO_KEY;
    auto [x0, x1] = onGrid(int64_t{building.x} - 1, building.x + w, MAP_W);
    auto [y0, y1] = onGrid(int64_t{building.y} - 1, building.y + h, MAP_H);
    for (int64_t x = x0; x <= x1; ++x) {
        for (int64_t y = y0; y <= y1; ++y) {
            bool inside = x >= building.x && x < building.x + w && y >= building.y && y < building.y + h;
            if (inside || !walkableTile(grid, x, y)) continue;
            int64_t d = std::abs(building.x - x) + std::abs(building.y - y);
            int64_t key = tileKey(x, y);
            if (d > best || (d == best && key >= bestKey)) continue;
            best = d;
            bestKey = key;
            result = {static_cast<int>(x), static_cast<int>(y)};
        }
    }
    return result;
}

V2i findClosestTileAdjacentToUnit(Unit& target, const Unit& from, Grid& grid) {
    target.computeNearbyTiles();
    const V2i origin = worldToSubTile(from.x, from.y);
    V2i result = NOT_FOUND;
    int64_t best = NO_KEY;
    for (const V2i& s : target.nearbyTiles) {
        V2i tile = tileOfSubTile(s);
        if (!isValidSubTile(s) || !grid.walkable(tile.x, tile.y, from.walkable)) continue;
        int64_t d = manhattan(s, origin);
        if (d >= best) continue;
        best = d;
        result = s;
    }
    return result;
}

V2i findClosestMapObjectWithResourceType(V2i from, ResourceType kind, const std::vector<MapObject>& objects) {
    static const char* const names[] = {"None", "AmberOil", "Crystal"};
    const int k = static_cast<int>(kind);
    if (k < 0 || k > 2) return NOT_FOUND;
    V2i result = NOT_FOUND;
    int64_t best = std::numeric_limits<int32_t>::max();
    for (const MapObject& object : objects) {
        if (object.type != names[k]) continue;
        int64_t d = std::abs(from.x - int64_t{object.tileX} * 4) + std::abs(from.y - int64_t{object.tileY} * 4);
        if (d >= best) continue;
        best = d;
        result = {object.tileX, object.tileY};
    }
    return result;
}

static bool claimedByAMiner(V2i sub) {
    size_t index = static_cast<size_t>(sub.y) * static_cast<size_t>(MAP_W * 4) + static_cast<size_t>(sub.x);
    return index < miningOccupancy.size() && miningOccupancy[index] != FREE_MINING_SPOT;
}

// The ring of sub-tiles just outside the footprint the catalogue gives the object's type.
static V2i nearestRingSubTile(const MapObject& object, V2i from, bool skipClaimed) {
    const MapObjectInfo& info = mapObjectInfo.at(object.type);
    const int64_t x0 = int64_t{object.tileX} * 4;
    const int64_t y0 = int64_t{object.tileY} * 4;
    const int64_t w = int64_t{info.wTiles} * 4;
    const int64_t h = int64_t{info.hTiles} * 4;
    if (w < -1 || h < -1) return NOT_FOUND;
    V2i result = NOT_FOUND;
    int64_t best = 999999;
    int64_t bestKey = NO_KEY;
    auto [xa, xb] = onGrid(x0 - 1, x0 + w, int64_t{MAP_W} * 4);
    auto [ya, yb] = onGrid(y0 - 1, y0 + h, int64_t{MAP_H} * 4);
    for (int64_t x = xa; x <= xb; ++x) {
        for (int64_t y = ya; y <= yb; ++y) {
            if (x >= x0 && x < x0 + w && y >= y0 && y < y0 + h) continue;
            V2i sub{static_cast<int>(x), static_cast<int>(y)};
            if (!walkableTile(grid, x / 4, y / 4) || isSubTileReserved(sub) != FREE_SUB_TILE) continue;
            if (skipClaimed && claimedByAMiner(sub)) continue;
            int64_t d = manhattan(from, sub);
            int64_t key = tileKey(x, y);
            if (d > best || (d == best && key >= bestKey)) continue;
            best = d;
            bestKey = key;
            result = sub;
        }
    }
    return result;
}

V2i findClosestAdjacentToMapObjectNotOccupied(V2i objectTile, Grid& grid, V2i from) {
    const MapObject* object = getMapObjectAtTile(objectTile, grid);
    return object ? nearestRingSubTile(*object, from, true) : NOT_FOUND;
}

V2i findClosestAdjacentToMapObject(const MapObject& object, Grid& grid, V2i from) {
    return nearestRingSubTile(object, from, false);
}

V2i findClosestTileAdjacentToBuildingFromUnit(const Building& building, const Unit& unit, Grid& grid) {
    const V2i corner{building.x * 4, building.y * 4};
    if (building.nearbyTiles.empty()) return corner;
    const V2i origin = worldToSubTile(unit.x, unit.y);
    const V2i* chosen = nullptr;
    int64_t best = NO_KEY;
    for (const V2i& s : building.nearbyTiles) {
        // A ring sub-tile off the sub-grid is no destination, even where its tile rounds onto the map.
        V2i tile = tileOfSubTile(s);
        if (!isValidSubTile(s) || !grid.walkable(tile.x, tile.y, unit.walkable)) continue;
        int64_t d = squared(int64_t{s.x} - origin.x) + squared(int64_t{s.y} - origin.y);
        if (d >= best) continue;
        best = d;
        chosen = &s;
    }
    return chosen ? *chosen : corner;
}

// The local player's ids of one kind, ascending.
static std::vector<int> localPlayerIds(std::vector<int> Player::*list) {
    const Player* local = getPlayerById(Player::myStaticId);
    if (!local) return {};
    std::vector<int> ids = local->*list;
    std::sort(ids.begin(), ids.end());
    return ids;
}

Building* findClosestEnemyBuilding(const Unit& unit, Grid& grid) {
    Building* result = nullptr;
    int64_t best = NO_KEY;
    for (int id : localPlayerIds(&Player::buildingIds)) {
        Building* building = getBuildingById(id);
        if (!building) continue;
        V2i beside = findClosestTileAdjacentToBuilding(*building, grid);
        if (beside == NOT_FOUND) continue;
        int64_t d = fixedDistanceToTileCentre(unit, beside);
        // Ids ascend, so an equal distance keeps the smaller id.
        if (d >= best) continue;
        best = d;
        result = building;
    }
    return result;
}

Unit* findClosestEnemyUnit(const Unit& unit) {
    Unit* result = nullptr;
    int64_t best = NO_KEY;
    const int64_t ux = fixedPoint(unit.x);
    const int64_t uy = fixedPoint(unit.y);
    for (int id : localPlayerIds(&Player::unitIds)) {
        Unit* enemy = getUnitById(id);
        if (!enemy || !enemy->onMap) continue;
        int64_t d = squared(fixedPoint(enemy->x) - ux) + squared(fixedPoint(enemy->y) - uy);
        if (d >= best) continue;
        best = d;
        result = enemy;
    }
    return result;
}

// ---- Economy: mining claims and the harvesting cycle, civilians and critters, workers recruiting and placing ----

#include "buildings.h"
#include "construction-manager.h"
#include "game_state.h"
#include "map_objects.h"
#include "player.h"
#include "tech_tree.h"

std::unordered_map<std::string, std::string> raceToCivilianUnit;

static V2i tileOfSub(const V2i& sub) { return {sub.x / SUBDIVISIONS, sub.y / SUBDIVISIONS}; }

static int manhattanDistance(const V2i& a, const V2i& b) { return std::abs(a.x - b.x) + std::abs(a.y - b.y); }

static constexpr V2i NOWHERE{-1, -1};

// The claim cell of a sub-tile, or null off the sub-grid or outside a table not sized for this map.
static uint32_t* miningCell(const V2i& sub) {
    if (sub.x < 0 || sub.y < 0 || sub.x >= MAP_W * SUBDIVISIONS || sub.y >= MAP_H * SUBDIVISIONS) return nullptr;
    const size_t index = static_cast<size_t>(sub.y) * static_cast<size_t>(MAP_W * SUBDIVISIONS) + sub.x;
    return index < miningOccupancy.size() ? &miningOccupancy[index] : nullptr;
}

void resetMiningOccupancy() {
    miningOccupancy.assign(static_cast<size_t>(SUB_MAP_W) * static_cast<size_t>(SUB_MAP_H), FREE_MINING_SPOT);
}

bool tryClaimMiningTile(const V2i& sub, int unitId, Grid&) {
    uint32_t* cell = miningCell(sub);
    const auto holder = static_cast<uint32_t>(unitId);
    if (!cell) return false;
    if (*cell == holder) return true;
    if (*cell != FREE_MINING_SPOT) return false;
    *cell = holder;
    return true;
}

void releaseMiningTile(const V2i& sub, int unitId, Grid&) {
    uint32_t* cell = miningCell(sub);
    if (cell && *cell == static_cast<uint32_t>(unitId)) *cell = FREE_MINING_SPOT;
}

static ResourceType resourceKindOf(const std::string& objectType) {
    return objectType == "Crystal" ? ResourceType::Crystal : ResourceType::AmberOil;
}

bool startMining(Unit& u, MapObject& object, Player& player, Grid& grid) {
    if (!u.worker || !u.onMap) return false;
    const V2i start = worldToSubTile(u.x, u.y);
    const V2i goal = findClosestAdjacentToMapObjectNotOccupied(u.mineTarget, grid, start);
    const auto path = goal == NOWHERE ? std::nullopt : astar(grid, start, goal, u.walkable, u.id, 0);
    if (path) {
        // A worker sent from one spot to another gives the first one up.
        if (u.miningSubTile != goal) releaseMiningTile(u.miningSubTile, u.id, grid);
        setUnitPath(u, *path);
        u.mining = true;
        u.state = UnitState::Moving;
        u.miningSubTile = goal;
        u.hasGoal = true;
        u.mapObjectId = object.id;
        u.goal = goal;
        u.harvestKind = resourceKindOf(object.type);
    }
    if (u.playerId == Player::myStaticId) {
        if (object.type == "AmberOil") {
            player.oilWorkers += 1;
        } else {
            player.crystalWorkers += 1;
        }
    }
    u.miningRetryTicks = 0;
    return true;
}

static void stopMining(Unit& u, Grid& grid) {
    u.mining = false;
    u.state = UnitState::Idle;
    u.mapObjectId = -1;
    releaseMiningTile(u.miningSubTile, u.id, grid);
}

bool retargetMiningUnit(Unit& u, Grid& grid, const std::vector<MapObject>& objects) {
    const V2i start = worldToSubTile(u.x, u.y);
    const V2i tile = findClosestMapObjectWithResourceType(start, u.harvestKind, objects);
    if (tile == NOWHERE) {
        stopMining(u, grid);
        return false;
    }
    const V2i goal = findClosestAdjacentToMapObjectNotOccupied(tile, grid, start);
    const auto path = goal == NOWHERE ? std::nullopt : astar(grid, start, goal, u.walkable, u.id, 0);
    if (!path) {
        stopMining(u, grid);
        return false;
    }
    u.mineTarget = tile;
    u.miningSubTile = goal;
    setUnitPath(u, *path);
    if (const MapObject* object = getMapObjectAtTile(tile, grid)) u.mapObjectId = object->id;
    u.mining = true;
    u.state = UnitState::Moving;
    u.harvestTicks = 0;
    return true;
}

// ---- Harvesting cycle ----

static int harvestTicksFor(ResourceType kind) {
    return kind == ResourceType::Crystal ? CRYSTAL_MINING_TICKS : AMBER_OIL_MINING_TICKS;
}

static bool acceptsCargo(const Building& b, ResourceType cargo) {
    if (!b.completed) return false;
    const auto info = buildingInfo.find(b.type);
    if (info == buildingInfo.end()) return false;
    return info->second.base || (cargo == ResourceType::AmberOil && info->second.oilDeposit);
}

// The owner's completed buildings that take the cargo, in the order of its list.
static std::vector<const Building*> dropOffsFor(const Unit& u) {
    std::vector<const Building*> found;
    const Player* owner = getPlayerById(u.playerId);
    if (!owner) return found;
    for (int id : owner->buildingIds) {
        const Building* b = getBuildingById(id);
        if (b && acceptsCargo(*b, u.cargoKind)) found.push_back(b);
    }
    return found;
}

// Paths the worker to the free ring sub-tile of an accepting building nearest to it, when there is one.
static void headForDropOff(Unit& u, Grid& grid, const V2i& s) {
    V2i best = NOWHERE;
    int bestDistance = 99999;
    for (const Building* b : dropOffsFor(u))
        for (const V2i& ring : b->nearbyTiles) {
            const V2i tile = tileOfSub(ring);
            if (!isValidSubTile(ring) || !grid.walkable(tile.x, tile.y, u.walkable)) continue;
            if (isSubTileReserved(ring) != FREE_SUB_TILE) continue;
            const int d = manhattanDistance(s, ring);
            if (d < bestDistance) {
                best = ring;
                bestDistance = d;
            }
        }
    if (best == NOWHERE) return;
    if (const auto path = astar(grid, s, best, u.walkable, u.id, 0)) setUnitPath(u, *path);
}

static bool standsAtDropOff(const Unit& u, const V2i& s) {
    for (const Building* b : dropOffsFor(u))
        if (std::find(b->nearbyTiles.begin(), b->nearbyTiles.end(), s) != b->nearbyTiles.end()) return true;
    return false;
}

// The worker moves on to the nearest resource of the same type; the next spot is sought beside it.
static void moveOnFromDepleted(Unit& u, MapObject& resource, Grid& grid, const V2i& s) {
    mapObjectsToRemove.push_back(resource.id);
    unblockArea(grid, {resource.tileX, resource.tileY}, resource.wTiles, resource.hTiles);
    const ResourceFind next = findClosestResource(tileOfSub(s), resource.type, grid);
    u.miningSubTile = NOWHERE;
    if (!next.object) {
        u.mapObjectId = -1;
        return;
    }
    u.mapObjectId = next.object->id;
    u.mineTarget = {next.object->tileX, next.object->tileY};
}

static void loadCargo(Unit& u, MapObject& resource, Grid& grid, const V2i& s) {
    u.harvestTicks = 0;
    u.cargoKind = u.harvestKind;
    // Never more than the resource still holds.
    u.cargoAmount = std::min(u.carryCapacity, std::max(resource.amount, 0));
    u.harvestKind = ResourceType::None;
    u.state = UnitState::ReturningCargo;
    releaseMiningTile(u.miningSubTile, u.id, grid);
    resource.amount -= u.cargoAmount;
    if (resource.amount <= 0) moveOnFromDepleted(u, resource, grid, s);
}

static StepResult harvestAtSpot(Unit& u, Grid& grid, const V2i& s) {
    MapObject* resource = getMapObjectById(u.mapObjectId);
    if (s == u.miningSubTile && resource) {
        u.harvestTicks += 1;
        if (u.harvestTicks < harvestTicksFor(u.harvestKind)) return StepResult::Continue;
        loadCargo(u, *resource, grid, s);
        headForDropOff(u, grid, s);
        return StepResult::Continue;
    }
    if (s == u.miningSubTile) {
        if (u.miningRetryTicks < 1) u.miningRetryTicks = u.id % 60 + 1;
        u.miningRetryTicks -= 1;
        if (u.miningRetryTicks == 0 && !retargetMiningUnit(u, grid, mapObjects)) {
            u.mining = false;
            u.state = UnitState::Idle;
        }
        return StepResult::EndTick;
    }
    if (u.miningRetryTicks < 1) {
        u.miningRetryTicks = retargetMiningUnit(u, grid, mapObjects) ? 10 : u.miningPatienceTicks;
    } else {
        u.miningRetryTicks -= 1;
    }
    return StepResult::EndTick;
}

static void goBackToMine(Unit& u, Grid& grid, const V2i& s) {
    const V2i spot = findClosestAdjacentToMapObjectNotOccupied(u.mineTarget, grid, s);
    if (spot == NOWHERE) {
        u.mining = true;
        u.state = UnitState::Idle;
        u.miningRetryTicks = u.id % 30 + 20;
        u.waypoints.clear();
        return;
    }
    u.miningSubTile = spot;
    if (const auto path = astar(grid, s, spot, u.walkable, u.id, 0)) {
        setUnitPath(u, *path);
        u.state = UnitState::Moving;
        u.mining = true;
        return;
    }
    u.mining = false;
    u.miningRetryTicks = u.id % 20 + 10;
    u.state = UnitState::Idle;
}

static StepResult deliverCargo(Unit& u, Grid& grid, const V2i& s) {
    // A load counts only where an accepting building takes it; until then the worker keeps looking for one.
    if (!standsAtDropOff(u, s)) {
        if (u.miningRetryTicks < 1) {
            headForDropOff(u, grid, s);
            u.miningRetryTicks = u.miningPatienceTicks;
        } else {
            u.miningRetryTicks -= 1;
        }
        return StepResult::EndTick;
    }
    if (Player* owner = getPlayerById(u.playerId)) owner->resources[static_cast<size_t>(u.cargoKind)] += u.cargoAmount;
    u.harvestKind = u.cargoKind;
    u.cargoKind = ResourceType::None;
    u.cargoAmount = 0;
    goBackToMine(u, grid, s);
    return StepResult::EndTick;
}

StepResult harvestStep(Unit& u, Grid& grid) {
    const V2i s = worldToSubTile(u.x, u.y);
    if (u.harvestKind != ResourceType::None) return harvestAtSpot(u, grid, s);
    if (u.cargoKind == ResourceType::None) return StepResult::Continue;
    return deliverCargo(u, grid, s);
}

StepResult miningSpotStep(Unit& u, Grid& grid) {
    const V2i s = worldToSubTile(u.x, u.y);
    if (s != u.miningSubTile || !u.mining || u.state == UnitState::ReturningCargo) return StepResult::Continue;
    if (!getMapObjectById(u.mapObjectId)) {
        u.waypoints.clear();
        return StepResult::EndTick;
    }
    if (u.miningRetryTicks >= 1) {
        u.miningRetryTicks -= 1;
        return StepResult::EndTick;
    }
    if (tryClaimMiningTile(u.miningSubTile, u.id, grid)) {
        u.miningClaimFailures = 0;
        return StepResult::Continue;
    }
    u.miningClaimFailures += 1;
    u.miningRetryTicks = u.id % 15 + 10;
    if (u.miningClaimFailures >= 3) {
        u.miningClaimFailures = 0;
        u.miningRetryTicks = u.miningPatienceTicks;
        return StepResult::EndTick;
    }
    const V2i spot = findClosestAdjacentToMapObjectNotOccupied(u.mineTarget, grid, s);
    if (spot == NOWHERE) return StepResult::EndTick;
    u.miningSubTile = spot;
    if (const auto path = astar(grid, s, spot, u.walkable, u.id, 0)) setUnitPath(u, *path);
    return StepResult::EndTick;
}

// ---- Civilians and critters ----

void initializeCivilianLookup() {
    raceToCivilianUnit.clear();
    for (const auto& [type, info] : unitInfo) {
        if (!info.civilian) continue;
        const auto known = raceToCivilianUnit.find(info.race);
        if (known == raceToCivilianUnit.end() || type < known->second) raceToCivilianUnit[info.race] = type;
    }
}

static Unit* closestFreeCivilian(Player* player, SDL_FPoint at, const std::vector<int>* exclude) {
    if (!player) return nullptr;
    const auto civilianType = raceToCivilianUnit.find(player->race);
    if (civilianType == raceToCivilianUnit.end()) return nullptr;
    Unit* best = nullptr;
    float bestDistance = FLT_MAX;
    for (int id : player->unitIds) {
        Unit* u = getUnitById(id);
        if (!u || !u->onMap || u->assigned || u->type != civilianType->second) continue;
        if (exclude && std::find(exclude->begin(), exclude->end(), id) != exclude->end()) continue;
        const float dx = at.x - u->x;
        const float dy = at.y - u->y;
        const float d = dx * dx + dy * dy;
        if (d < bestDistance) {
            best = u;
            bestDistance = d;
        }
    }
    return best;
}

Unit* findClosestAvailableCivilian(Player* player, SDL_FPoint at, const std::vector<int>& exclude) {
    return closestFreeCivilian(player, at, &exclude);
}

Unit* findClosestCivilian(Player* player, SDL_FPoint at) { return closestFreeCivilian(player, at, nullptr); }

Unit spawnCritter(const std::string& type) {
    const UnitInfo* info = getUnitInfo(type);
    if (!info) {
        Unit none;
        none.type = type;
        return none;
    }
    Unit critter = newUnitFromInfo(*info, nextAttackableId++, Player::environmentId);
    critter.attackInterval = 0;
    critter.miningRetryTicks = 60;
    critter.miningPatienceTicks = 60;
    return critter;
}

int getUnitCount(const std::string& type, int playerId) {
    Player* player = getPlayerById(playerId);
    return player ? player->unitCounts[type] : 0;
}

void transformuUnit(Unit& u, const std::string& type) { u.type = type; }

// ---- Workers: recruiting and placing buildings ----

// A Train order tries this many civilians, and this many spots beside the building for each, so one order's
// path searches stay bounded within its tick.
constexpr int RECRUITS_TRIED = 4;
constexpr int SPOTS_TRIED_PER_RECRUIT = 3;
constexpr size_t PRODUCTION_QUEUE_LIMIT = 7;

static bool techAllowsInExtraction(const std::string& unitType, bool allowed) {
    if (mode != GameMode::Extraction || unitType != "Tank") return allowed;
    const auto tank = std::find_if(techTree.begin(), techTree.end(), [](const Tech& t) { return t.name == "Tank"; });
    return tank != techTree.end() && tank->unlocked;
}

static bool buildingTrains(const Building& b, const std::string& unitType) {
    const auto trained = buildingUnits.find(b.type);
    return trained != buildingUnits.end() &&
           std::find(trained->second.begin(), trained->second.end(), unitType) != trained->second.end();
}

// The ring sub-tiles of the building the civilian may stand on, nearest first (equal distances in ring order).
static std::vector<V2i> recruitSpots(const Building& b, const Unit& civilian) {
    const V2i from = worldToSubTile(civilian.x, civilian.y);
    std::vector<std::pair<int64_t, V2i>> spots;
    for (const V2i& s : b.nearbyTiles) {
        const V2i tile = tileOfSub(s);
        if (!isValidSubTile(s) || !grid.walkable(tile.x, tile.y, civilian.walkable)) continue;
        const int64_t dx = s.x - from.x;
        const int64_t dy = s.y - from.y;
        spots.push_back({dx * dx + dy * dy, s});
    }
    std::stable_sort(spots.begin(), spots.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<V2i> ordered;
    for (const auto& spot : spots) ordered.push_back(spot.second);
    return ordered;
}

static std::optional<SubTilePath> pathToBuilding(const Building& b, const Unit& civilian) {
    const V2i from = worldToSubTile(civilian.x, civilian.y);
    int tried = 0;
    for (const V2i& spot : recruitSpots(b, civilian)) {
        if (tried++ == SPOTS_TRIED_PER_RECRUIT) break;
        if (auto path = astar(grid, from, spot, civilian.walkable, civilian.id, 0)) return path;
    }
    return std::nullopt;
}

bool trainUnit(const std::string& unitType, Building* building) {
    if (!building) return false;
    Player* owner = getPlayerById(building->playerId);
    if (!owner) return false;
    if (unitInfo.find(unitType) == unitInfo.end()) std::cerr << "[UnitInfo] Unknown unit type: " << unitType << "\n";
    if (!techAllowsInExtraction(unitType, canTrainUnit(*owner, unitType))) return false;
    if (building->productionQueue.size() >= PRODUCTION_QUEUE_LIMIT || !building->completed || owner->recruits <= 0)
        return false;
    if (!buildingTrains(*building, unitType)) return false;
    const SDL_FPoint corner{static_cast<float>(building->x * TILE_SIZE), static_cast<float>(building->y * TILE_SIZE)};
    std::vector<int> excluded;
    for (int attempt = 0; attempt < RECRUITS_TRIED; ++attempt) {
        Unit* civilian = findClosestAvailableCivilian(owner, corner, excluded);
        if (!civilian) return false;
        const auto path = pathToBuilding(*building, *civilian);
        if (!path) {
            excluded.push_back(civilian->id);
            continue;
        }
        if (!path->empty()) setUnitPath(*civilian, *path);
        civilian->assigned = true;
        civilian->walkingToTraining = true;
        building->queuedUnits.push_back(QueuedUnit{unitType, civilian->id, true, false});
        return true;
    }
    return false;
}

static bool shipyardFootprintAllowed(const Grid& grid, V2i tile, const BuildingInfo& info) {
    int water = 0;
    int other = 0;
    for (int x = tile.x; x < tile.x + info.wTiles; ++x)
        for (int y = tile.y; y < tile.y + info.hTiles; ++y) {
            const Tile type = isValidTile({x, y}) ? grid.at(x, y).type : Tile::None;
            if (type == Tile::Water) ++water;
            if (type != Tile::Water && type != Tile::Grass) ++other;
        }
    return (water == 2 || water == 3) && other == 0;
}

static bool subTilesFreeFor(V2i tile, int workerId) {
    for (int sx = tile.x * 4; sx < tile.x * 4 + 4; ++sx)
        for (int sy = tile.y * 4; sy < tile.y * 4 + 4; ++sy) {
            const int holder = isSubTileReserved({sx, sy});
            if (holder != FREE_SUB_TILE && holder != workerId) return false;
        }
    return true;
}

static bool landFootprintAllowed(const Grid& grid, V2i tile, const BuildingInfo& info, int workerId) {
    for (int x = tile.x; x < tile.x + info.wTiles; ++x)
        for (int y = tile.y; y < tile.y + info.hTiles; ++y) {
            if (!isValidTile({x, y})) {
                std::cerr << "placeABuildingDown: footprint out of bounds at " << x << "," << y << "\n";
                return false;
            }
            if (!grid.walkable(x, y, Tile::Grass)) {
                std::cerr << "placeABuildingDown: blocked tile at " << x << "," << y << "\n";
                return false;
            }
            if (!subTilesFreeFor({x, y}, workerId)) return false;
        }
    return true;
}

static void countMiningWorkerOff(const Unit& worker, Player& player) {
    if (worker.harvestKind == ResourceType::Crystal || worker.cargoKind == ResourceType::Crystal)
        player.crystalWorkers -= 1;
    if (worker.harvestKind == ResourceType::AmberOil || worker.cargoKind == ResourceType::AmberOil)
        player.oilWorkers -= 1;
}

// The valid ring sub-tile just outside the footprint nearest to the worker that it may stand on.
static V2i nearestSiteEntrance(const Grid& grid, const Unit& worker, V2i tile, const BuildingInfo& info) {
    const V2i from = worldToSubTile(worker.x, worker.y);
    const int x0 = tile.x * 4;
    const int y0 = tile.y * 4;
    const int x1 = x0 + info.wTiles * 4;
    const int y1 = y0 + info.hTiles * 4;
    V2i best = NOWHERE;
    int bestDistance = 999999;
    for (int x = x0 - 1; x <= x1; ++x)
        for (int y = y0 - 1; y <= y1; ++y) {
            if (x >= x0 && x < x1 && y >= y0 && y < y1) continue;
            const V2i s{x, y};
            const V2i t = tileOfSub(s);
            if (!isValidSubTile(s) || !grid.walkable(t.x, t.y, worker.walkable)) continue;
            const int d = manhattanDistance(s, from);
            if (d < bestDistance) {
                best = s;
                bestDistance = d;
            }
        }
    return best;
}

static Building newSite(const BuildingInfo& info, const std::string& type, V2i tile, int ownerId) {
    Building site;
    site.id = nextAttackableId++;
    site.type = type;
    site.playerId = ownerId;
    site.x = tile.x;
    site.y = tile.y;
    site.wTiles = info.wTiles;
    site.hTiles = info.hTiles;
    site.buildTime = info.buildTime;
    site.walkable = info.walkable;
    site.fireSpots = info.fireSpots;
    site.sight = info.sight;
    site.hasProduction = info.hasProduction;
    site.providesSupply = info.supply;
    site.maxHp = info.hp;
    site.hp = 0.0f;
    site.completed = false;
    return site;
}

// Building types that shoot at enemies once completed.
static bool isTowerType(const std::string& type) { return type == "OrcWatchTower"; }

// The worker leaves mining (giving up its spot) and walks off to build.
static void becomeBuilder(Unit& worker, Grid& grid) {
    releaseMiningTile(worker.miningSubTile, worker.id, grid);
    worker.miningSubTile = NOWHERE;
    worker.mining = false;
    worker.constructing = true;
    worker.state = UnitState::Moving;
}

bool placeABuildingDown(Unit* worker, V2i tile, const std::string& buildingType, Player* player, Grid* grid,
                        bool replaying) {
    if (!worker || !player || !grid) return false;
    if (replaying) worker->onMap = true;
    // A player builds with its own workers only.
    if (!worker->onMap || worker->playerId != player->id) return false;
    if (!isValidTile(tile)) {
        std::cerr << "placeABuildingDown: invalid ghostTile " << tile.x << "," << tile.y << "\n";
        return false;
    }
    const auto found = buildingInfo.find(buildingType);
    if (found == buildingInfo.end()) return false;
    const BuildingInfo& info = found->second;
    if (player->resources[RESOURCE_GOLD] < info.goldCost || player->resources[RESOURCE_WOOD] < info.woodCost)
        return false;
    if (!canConstructBuilding(*player, buildingType)) return false;
    const bool allowed = info.walkable == Tile::Water ? shipyardFootprintAllowed(*grid, tile, info)
                                                      : landFootprintAllowed(*grid, tile, info, worker->id);
    if (!allowed) return false;

    if (worker->mining) countMiningWorkerOff(*worker, *player);
    const V2i entrance = nearestSiteEntrance(*grid, *worker, tile, info);
    if (entrance != NOWHERE)
        if (const auto path = astar(*grid, worldToSubTile(worker->x, worker->y), entrance, worker->walkable, worker->id, 0))
            setUnitPath(*worker, *path);

    Building* site = addBuilding(newSite(info, buildingType, tile, worker->playerId));
    site->computeNearbyTiles();
    const int siteId = site->id;
    if (site->playerId == Player::myStaticId) playSound(SoundCategory::UnitAction, "Construct", false, 0.0f, 0.0f, 1);
    if (isTowerType(buildingType)) addTower(Tower{siteId, 1.0f, 4, 0.0f, 6.0f, -1});
    player->resources[RESOURCE_GOLD] -= info.goldCost;
    player->resources[RESOURCE_WOOD] -= info.woodCost;
    constructionManager.assign(worker->id, siteId);
    becomeBuilder(*worker, *grid);
    player->underConstruction[buildingType] += 1;
    blockArea(*grid, tile, info.wTiles, info.hTiles);
    return true;
}

bool constructBuilding(Unit* worker, Building* building, Grid& grid) {
    if (!worker || !building || !worker->worker || building->completed) return false;
    if (worker->playerId != building->playerId) return false;
    if (!constructionManager.assign(worker->id, building->id)) return false;
    worker->waypoints.clear();
    worker->route.clear();
    worker->routeChunked = false;
    worker->routeDestination = NOWHERE;
    becomeBuilder(*worker, grid);
    const V2i start = worldToSubTile(worker->x, worker->y);
    const std::vector<V2i> around = neighbors8(grid, {building->x * 4, building->y * 4}, worker->walkable);
    if (around.empty()) return true;
    if (const auto path = astar(grid, start, around.front(), worker->walkable, worker->id, 0)) setUnitPath(*worker, *path);
    return true;
}

// ---- Attack damage and kills ----

float lastUnitUnderAttackTime = UNDER_ATTACK_ALARM_NEVER;
float lastBuildingUnderAttackTime = UNDER_ATTACK_ALARM_NEVER;
CombatHooks combatHooks;

static constexpr SDL_Color DAMAGE_COLOR{255, 0, 0, 255};
static constexpr SDL_Color FLIGHT_COLOR{255, 255, 0, 255};
static constexpr SDL_Color EXPERIENCE_COLOR{50, 150, 255, 255};

void resetUnderAttackAlarms() {
    lastUnitUnderAttackTime = UNDER_ATTACK_ALARM_NEVER;
    lastBuildingUnderAttackTime = UNDER_ATTACK_ALARM_NEVER;
}

bool isShieldedFromDamage(const Unit& unit) { return unit.invulnerable || unit.unholyArmor; }

float damageAfterArmor(float raw, int armor) { return std::max(0.0f, raw - static_cast<float>(armor)); }

void soundUnderAttackAlarm(int ownerId, bool building) {
    if (ownerId != Player::myStaticId) return;
    float& last = building ? lastBuildingUnderAttackTime : lastUnitUnderAttackTime;
    if (gameTime - last < UNDER_ATTACK_COOLDOWN) return;
    const Player* local = getPlayerById(Player::myStaticId);
    if (!local) return;
    last = gameTime;
    playSound(building ? SoundCategory::BuildingAction : SoundCategory::UnitAction, local->race + ".UnderAttack",
              false, 0.0f, 0.0f, 1);
}

void announceUnitDeath(const Unit& unit) {
    spawnCorpse({unit.x, unit.y});
    if (combatHooks.unitDeathScript) combatHooks.unitDeathScript(unit.id);
    playSound(SoundCategory::Unit, unit.type + ".death", true, unit.x, unit.y, 1);
}

void collapseBuilding(Building& building, Grid& grid) {
    unblockArea(grid, {building.x, building.y}, building.wTiles, building.hTiles);
    buildingsToRemove.push_back(building.id);
    const SDL_FPoint centre = building.getWorldPos();
    playSound(SoundCategory::BuildingAction, "Explosion", true, centre.x, centre.y, 1);
}

// A draw of the simple generator in [-half, span - half), or 0 (the draw still made) for an empty span.
static int scatter(float extent) {
    const int span = truncToInt(extent * 0.7f);
    const int draw = std::rand();
    return span > 0 ? draw % span - truncToInt(extent * 0.35f) : 0;
}

static bool effectNearby(const std::string& key, int x, int y) {
    return std::any_of(active_special_effects.begin(), active_special_effects.end(),
                       [&](const ActiveSpecialEffect& e) {
                           const float dx = static_cast<float>(e.x - x);
                           const float dy = static_cast<float>(e.y - y);
                           return e.spriteKey == key && dx * dx + dy * dy < 100.0f;
                       });
}

static void addEffectUnlessNearby(const ActiveSpecialEffect& effect) {
    if (!effectNearby(effect.spriteKey, effect.x, effect.y)) active_special_effects.push_back(effect);
}

// Gun hits and blood sprays scattered over the struck unit's sprite.
static void addHitEffect(const Unit& attacker, const Unit& target) {
    const bool marine = attacker.type == "Marine";
    if (!marine && attacker.type != "Berserker") return;
    const auto sprite = unitSprites.find(target.type);
    if (sprite == unitSprites.end()) return;
    const UnitSpriteMeta& meta = sprite->second;
    const float s = static_cast<float>(TILE_SIZE) * 0.5f * meta.scaleMultiplier;
    const float w = (s / static_cast<float>(meta.frameWidth)) * static_cast<float>(meta.frameWidth);
    const float h = (s / static_cast<float>(meta.frameHeight)) * static_cast<float>(meta.frameHeight);
    ActiveSpecialEffect effect;
    effect.x = truncToInt(target.x) + scatter(w);
    effect.y = truncToInt(target.y) + scatter(h);
    const int variant = std::rand() % 3 + 1;
    if (marine) {
        effect.spriteKey = "GunHit_" + std::to_string(variant);
    } else {
        effect.spriteKey = "BloodSpray_" + std::to_string(variant);
        const float dx = target.x - attacker.x;
        const float dy = target.y - attacker.y;
        effect.rotation = std::atan2(dy, dx) * 57.29578f;
        const float length = std::sqrt(dx * dx + dy * dy);
        if (length > 0.0f) {
            const float speed = static_cast<float>(std::rand() % 80 + 120);
            effect.vx = dx / length * speed;
            effect.vy = dy / length * speed;
        }
    }
    addEffectUnlessNearby(effect);
}

static void addBlood(Grid& grid, const Unit& target) {
    const auto info = unitInfo.find(target.type);
    if (info == unitInfo.end() || !info->second.isBiological) return;
    if (info->second.race == "human") add_blood_to_tile(grid, {target.x, target.y});
    else if (info->second.race == "vohmathal") add_blue_blood_to_tile(grid, {target.x, target.y});
}

static void showFlightText(const Unit& unit, const char* text, SDL_Color color) {
    spawnFloatingText(unit.x, unit.y, text, color, false, 0, 0);
}

// Radians tried in turn, straight away from the attacker first.
static constexpr float FLIGHT_ANGLES[] = {0.0f, 0.785f, -0.785f, 1.57f, -1.57f, 2.356f, -2.356f, 3.1415f};

// A struck unit without a target runs 5 tiles away from the attacker, else to any clear sub-tile nearby.
static void fleeFrom(Unit& unit, SDL_FPoint from, Grid& grid) {
    float dx = unit.x - from.x;
    float dy = unit.y - from.y;
    const float length = std::sqrt(dx * dx + dy * dy);
    if (!(length > 0.0f)) return;
    dx /= length;
    dy /= length;
    const V2i own = worldToSubTile(unit.x, unit.y);
    const float reach = 5.0f * static_cast<float>(TILE_SIZE);
    const float maxX = static_cast<float>(MAP_W * TILE_SIZE - 1);
    const float maxY = static_cast<float>(MAP_H * TILE_SIZE - 1);
    for (float angle : FLIGHT_ANGLES) {
        const float c = std::cos(angle);
        const float s = std::sin(angle);
        const float px = std::clamp(unit.x + (dx * c - dy * s) * reach, 0.0f, std::max(maxX, 0.0f));
        const float py = std::clamp(unit.y + (dx * s + dy * c) * reach, 0.0f, std::max(maxY, 0.0f));
        const V2i sub = worldToSubTile(px, py);
        if (!grid.walkable(sub.x / SUBDIVISIONS, sub.y / SUBDIVISIONS, unit.walkable)) continue;
        const V2i clear = find_nearby_clear_tile(sub, 3);
        if (clear == own) continue;
        unit.state = UnitState::OrderedMove;
        moveUnitUnclump(unit.id, clear, grid);
        showFlightText(unit, "RETREATING!", FLIGHT_COLOR);
        return;
    }
    const V2i clear = find_nearby_clear_tile(own, 5);
    if (clear == own) {
        showFlightText(unit, "TRAPPED!", DAMAGE_COLOR);
        return;
    }
    moveUnitUnclump(unit.id, clear, grid);
    showFlightText(unit, "SCRAMBLE", FLIGHT_COLOR);
}

// What a hit on a unit does before its hit points fall; false when the unit is out of reach (aboard or inside).
static bool strikeUnit(Attackable* attacker, Unit& target, float& damage, Grid& grid) {
    if (!target.onMap) return false;
    Unit* attackerUnit = attacker->isUnit() ? static_cast<Unit*>(attacker) : nullptr;
    if (attackerUnit) attackerUnit->lastTargetPos = {target.x, target.y};

    autoAttack(target, grid);
    if (target.targetId == -1 && target.state == UnitState::Idle) fleeFrom(target, attacker->getWorldPos(), grid);

    damage = damageAfterArmor(damage, target.armor);
    const int shown = truncToInt(damage);
    spawnFloatingText(target.x + static_cast<float>(target.wTiles * TILE_SIZE / 2), target.y + 30.0f,
                      std::to_string(shown), DAMAGE_COLOR, false, shown, target.id);
    soundUnderAttackAlarm(target.playerId, false);
    if (attackerUnit && attackerUnit->type == "Catapult")
        playSound(SoundCategory::UnitAction, "CatapultHit", true, attackerUnit->x, attackerUnit->y, 1);
    addBlood(grid, target);
    if (attackerUnit) addHitEffect(*attackerUnit, target);
    return true;
}

// What a hit on a building does before its hit points fall.
static void strikeBuilding(Attackable* attacker, Building& target, float damage) {
    Unit* attackerUnit = attacker->isUnit() ? static_cast<Unit*>(attacker) : nullptr;
    const float tile = static_cast<float>(TILE_SIZE);
    if (attackerUnit)
        attackerUnit->lastTargetPos = {static_cast<float>(target.x) * tile, static_cast<float>(target.y) * tile};
    updateFireActivation(target);
    const int shown = truncToInt(damage);
    spawnFloatingText(static_cast<float>((target.x + target.wTiles) * TILE_SIZE),
                      static_cast<float>(target.y * TILE_SIZE - 10), std::to_string(shown), DAMAGE_COLOR, false,
                      shown, target.id);
    target.prevHp = target.hp;
    soundUnderAttackAlarm(target.playerId, true);
    if (attackerUnit && attackerUnit->type == "Tank") {
        const int step = TILE_SIZE / SUBDIVISIONS;
        const int r1 = std::rand();
        const int r2 = std::rand();
        ActiveSpecialEffect explosion;
        explosion.spriteKey = "Explosion";
        explosion.x = target.x * TILE_SIZE + r1 % std::max(1, target.wTiles * SUBDIVISIONS) * step;
        explosion.y = target.y * TILE_SIZE + r2 % std::max(1, target.hTiles * SUBDIVISIONS) * step;
        active_special_effects.push_back(explosion);
    }
}

// In Extraction the player hears how many enemies remain; the dying unit is still counted.
static void reportEnemiesRemaining() {
    const Player* enemy = getPlayerById(Player::aiId);
    if (!enemy || !combatHooks.postActivity) return;
    const size_t count = enemy->unitIds.size();
    if (count == 1)
        combatHooks.postActivity("[System]: All enemies have been neutralized, you can extract safely", texFood, 5.0f);
    else if (count == 5 || count == 10 || count == 20)
        combatHooks.postActivity("[System]: Enemy units remaining " + std::to_string(count), texFood, 5.0f);
}

static void processUnitDeath(Unit& unit, Grid& grid) {
    unitsToRemove.push_back(unit.id);
    freeTileForUnit(unit.id, unit.type, worldToSubTile(unit.x, unit.y));
    announceUnitDeath(unit);
    if (unit.type == "LatchedMine") explodeLatchedMine(unit, grid);
    if (mode == GameMode::Extraction) reportEnemiesRemaining();
}

static void creditUnitKill(Unit& attacker, Unit& dead) {
    ++attacker.kills;
    if (mode == GameMode::Extraction && dead.playerId != attacker.playerId) {
        const bool granted = combatHooks.grantUnitExp && combatHooks.grantUnitExp(attacker, dead.expGain);
        const int gained = granted ? dead.expGain : 0;
        spawnFloatingText(attacker.x + static_cast<float>(attacker.wTiles * TILE_SIZE / 2), attacker.y,
                          std::to_string(gained) + " exp", EXPERIENCE_COLOR, true, gained, attacker.id);
        if (combatHooks.dropItem) combatHooks.dropItem(dead);
    }
    if (dead.playerId == Player::environmentId) return;
    if (combatHooks.spawnCorpseItemOnUnitLoss) combatHooks.spawnCorpseItemOnUnitLoss(dead);
    if (combatHooks.dropCarriedItems) combatHooks.dropCarriedItems(dead);
}

static void creditKill(Attackable* attacker, Attackable* dead) {
    if (attacker->isBuilding()) {
        if (Tower* tower = getTowerByBuildingId(attacker->id)) tower->targetId = -1;
        return;
    }
    Unit& unit = static_cast<Unit&>(*attacker);
    unit.isAttacking = false;
    unit.targetId = -1;
    unit.scanCounter = unit.scanInterval;
    if (dead->isUnit()) creditUnitKill(unit, static_cast<Unit&>(*dead));
}

static float rawAttackDamage(Attackable* attacker) {
    if (attacker->isUnit()) {
        const Unit& unit = static_cast<const Unit&>(*attacker);
        return static_cast<float>(unit.damage + unit.piercing);
    }
    const Tower* tower = getTowerByBuildingId(attacker->id);
    return tower ? static_cast<float>(tower->damage) : 0.0f;
}

void applyAttackDamage(Attackable* attacker, Attackable* target, Grid& grid) {
    if (!attacker || !target) return;
    if (target->isUnit() && isShieldedFromDamage(static_cast<const Unit&>(*target))) return;
    float damage = rawAttackDamage(attacker);
    if (target->isUnit()) {
        if (!strikeUnit(attacker, static_cast<Unit&>(*target), damage, grid)) return;
    } else {
        strikeBuilding(attacker, static_cast<Building&>(*target), damage);
    }
    target->hp -= damage;
    if (target->hp > 0.0f || target->deathHandled) return;
    target->deathHandled = true;
    if (target->isUnit()) processUnitDeath(static_cast<Unit&>(*target), grid);
    else collapseBuilding(static_cast<Building&>(*target), grid);
    creditKill(attacker, target);
}

void applyDirectHit(Unit& attacker, Attackable* target, Grid& grid) {
    if (!target) return;
    const auto info = unitInfo.find(attacker.type);
    const int splashRadius = info != unitInfo.end() ? info->second.splashRadius : 0;
    if (splashRadius == 0 || !target->isUnit()) {
        applyAttackDamage(&attacker, target, grid);
        return;
    }
    const SDL_FPoint at = target->getWorldPos();
    const V2i centre{truncToInt(at.x), truncToInt(at.y)};
    for (Unit* unit : getUnitsInRange(centre, splashRadius * TILE_SIZE))
        if (unit == target || unit->category != UnitCategory::Air) applyAttackDamage(&attacker, unit, grid);
    if (attacker.type == "Tank") {
        ActiveSpecialEffect explosion;
        explosion.spriteKey = "Explosion";
        explosion.x = centre.x;
        explosion.y = centre.y;
        active_special_effects.push_back(explosion);
    }
}

// ---- Behaviour hook, idle wandering and latched mines ----

static float ticksPerGameSecond() { return 1.0f / TURN_LENGTH / GAME_SPEED; }

int attackIntervalFor(float attackSpeed) { return truncToInt(std::round(ticksPerGameSecond() / attackSpeed)); }

int speedPerTickFor(float movementSpeed) { return truncToInt(movementSpeed * UNIT_SPEED / ticksPerGameSecond()); }

bool ordersFromThisPeer(int playerId) {
    if (mode == GameMode::Replay || mode == GameMode::ResumedSave) return false;
    if (playerId == Player::myStaticId) return true;
    const Player* owner = getPlayerById(playerId);
    return owner && owner->ai;
}

static constexpr int WANDER_ATTEMPTS = 5;

// One attempt's point, two to four tiles away on each axis; its four draws are made whatever comes of it.
static V2i wanderPoint(const Unit& unit) {
    const int r1 = std::rand();
    const int r2 = std::rand();
    const int r3 = std::rand();
    const int r4 = std::rand();
    const int dx = ((r1 % 2) * 2 - 1) * (r3 % 3 + 2) * TILE_SIZE;
    const int dy = ((r2 % 2) * 2 - 1) * (r4 % 3 + 2) * TILE_SIZE;
    return {truncToInt(unit.x) + dx, truncToInt(unit.y) + dy};
}

// On the map, on an open tile (any tile for the class Any) and where the unit's footprint is free. A point just
// left of or above the map is refused too: its division would truncate onto the first column or row.
static bool isWanderGoal(const Unit& unit, V2i point, const Grid& grid) {
    if (point.x < 0 || point.y < 0 || TILE_SIZE <= 0 || SUB_TILE_SIZE <= 0) return false;
    const V2i tile{point.x / TILE_SIZE, point.y / TILE_SIZE};
    if (!isValidTile(tile)) return false;
    if (!grid.at(tile.x, tile.y).walkable && unit.walkable != Tile::Any) return false;
    if (!unitInfo.count(unit.type)) return false;
    return isAreaFree(unit.id, worldToSubTile(static_cast<float>(point.x), static_cast<float>(point.y)), unit.type);
}

// Every 4 to 8 seconds, with a chance of 31 in 100, a walk to the first of five drawn points that will do.
static void wanderAround(Unit& unit, float dt, Grid& grid) {
    unit.wanderTimer += dt;
    if (unit.wanderDelay <= 0.0f) unit.wanderDelay = static_cast<float>((std::rand() % 400) / 100.0 + 4.0);
    if (unit.wanderTimer < unit.wanderDelay) return;
    unit.wanderTimer = 0.0f;
    unit.wanderDelay = 0.0f;
    if (std::rand() % 100 >= 31) return;
    for (int attempt = 0; attempt < WANDER_ATTEMPTS; ++attempt) {
        const V2i point = wanderPoint(unit);
        if (!isWanderGoal(unit, point, grid)) continue;
        walkToTile(unit, {point.x / SUB_TILE_SIZE, point.y / SUB_TILE_SIZE}, grid);
        return;
    }
}

// In an elimination mission the other side's soldiers roam while they have nothing to fight; civilians stay put.
static bool roamsInElimination(const Unit& unit) {
    if (mode != GameMode::Extraction || !eliminationMissionChosen()) return false;
    if (unit.playerId == Player::myStaticId || unit.targetId != -1) return false;
    const auto info = unitInfo.find(unit.type);
    return info != unitInfo.end() && !info->second.civilian;
}

static const std::string TELEPORT_SPELL = "AbyssalTeleport";

// The cast goes out with this peer's next turn and is tested for range and cooldown when applied.
static void askToTeleport(Unit& unit) {
    if (unit.state == UnitState::Teleporting || unit.teleportLocked) return;
    if (unit.cooldowns[TELEPORT_SPELL] > 0.0f) return;
    const Unit* target = getUnitById(unit.targetId);
    if (!target || !target->onMap) return;
    const float dx = target->x - unit.x;
    const float dy = target->y - unit.y;
    const float distance = std::sqrt(dx * dx + dy * dy);
    if (!(distance > 64.0f && distance <= 5.0f * static_cast<float>(TILE_SIZE))) return;
    if (!ordersFromThisPeer(unit.playerId)) return;
    CastSpellCommand cast{unit.id, target->id, truncToInt(target->x), truncToInt(target->y), TELEPORT_SPELL, false};
    lockstep.pendingCommands.push_back(Command{CommandType::CastSpell, unit.playerId, cast});
}

void updateUnitAI(Unit& unit, float dt, Grid& grid) {
    if (unit.type == "Bird") {
        wanderAround(unit, dt, grid);
        return;
    }
    if (roamsInElimination(unit)) wanderAround(unit, dt, grid);
    if (unit.type == "Abyssal") askToTeleport(unit);
}

static constexpr float LATCHED_MOVEMENT_SPEED = 1.5f;
static constexpr float LATCHED_ATTACK_SPEED = 0.1f;

static V2i mineCentre(const Unit& mine) { return {truncToInt(mine.x), truncToInt(mine.y)}; }

static int mineReach(const Unit& mine) { return truncToInt(static_cast<float>(TILE_SIZE) * mine.range); }

// Fast and on a long fuse, the mine goes after its victim; the fuse runs on from where it stands.
static void latchOnto(Unit& mine, const Unit& victim) {
    mine.targetId = victim.id;
    mine.goal = {truncToInt(victim.x) / SUB_TILE_SIZE, truncToInt(victim.y) / SUB_TILE_SIZE};
    mine.movementSpeed = LATCHED_MOVEMENT_SPEED;
    mine.attackSpeed = LATCHED_ATTACK_SPEED;
    mine.attackInterval = attackIntervalFor(LATCHED_ATTACK_SPEED);
    mine.speedPerTick = speedPerTickFor(LATCHED_MOVEMENT_SPEED);
    latchToUnit(mine, {victim.x, victim.y});
}

void updateLatchedMine(Unit& mine, Grid& grid) {
    if (!mine.onMap) return;
    if (mine.goal.x != -1 && mine.attackCounter >= mine.attackInterval) {
        explodeLatchedMine(mine, grid);
        return;
    }
    if (mine.state == UnitState::HoldPosition || mine.targetId != -1 || mine.scanCounter < mine.scanInterval) return;
    if (SUB_TILE_SIZE <= 0) return;
    // A unit aboard a carrier or a vision dummy is not there to be chased.
    for (const Unit* unit : getUnitsInRange(mineCentre(mine), mineReach(mine))) {
        if (unit->playerId == Player::environmentId || unit->playerId == mine.playerId || !unit->onMap) continue;
        latchOnto(mine, *unit);
        return;
    }
}

// By id: a death's script may store new units and move every unit, the mine included.
void explodeLatchedMine(Unit& mine, Grid& grid) {
    if (!mine.onMap) return;
    mine.onMap = false;
    const int mineId = mine.id;
    const V2i centre = mineCentre(mine);
    std::vector<int> struck;
    for (const Unit* unit : getUnitsInRange(centre, mineReach(mine)))
        if (unit->id != mineId && unit->onMap && unit->category != UnitCategory::Air) struck.push_back(unit->id);
    for (int id : struck) {
        Attackable* target = getAttackableById(id);
        if (target) applyAttackDamage(getUnitById(mineId), target, grid);
    }
    ActiveSpecialEffect explosion;
    explosion.spriteKey = "Explosion";
    explosion.x = centre.x;
    explosion.y = centre.y;
    active_special_effects.push_back(explosion);
    unitsToRemove.push_back(mineId);
}

// ==== Units in motion: spawning, the unit tick, walking and blocking, range and sight, targeting, order queue ====

UnitHooks unitHooks;

// ---- Spawning ----

void scaleMovementSpeed(Unit& unit, float factor) {
    unit.movementSpeed *= factor;
    const int step = speedPerTickFor(unit.movementSpeed);
    // However often it is slowed, a unit that can move at all still creeps toward its goal.
    unit.speedPerTick = unit.movementSpeed > 0.0f ? std::max(step, 1) : step;
}

// The record of a new unit with the next id; null for a type the catalogue lacks.
static std::optional<Unit> newSpawnedUnit(const std::string& type, int playerId) {
    const UnitInfo* info = getUnitInfo(type);
    if (!info) return std::nullopt;
    return newUnitFromInfo(*info, nextAttackableId++, playerId);
}

Unit* spawnUnit(const std::string& type, int playerId) {
    std::optional<Unit> unit = newSpawnedUnit(type, playerId);
    if (!unit) return nullptr;
    const float tile = static_cast<float>(TILE_SIZE);
    unit->x = (playerId == Player::myStaticId ? 4.5f : 15.5f) * tile;
    unit->y = 4.5f * tile;
    return &addUnit(*unit);
}

Unit* spawnDummy(const std::string& type, int playerId) {
    std::optional<Unit> unit = newSpawnedUnit(type, playerId);
    if (!unit) return nullptr;
    const Unit blank;
    unit->hp = unit->maxHp = 10000.0f;
    unit->damage = 0;
    unit->canAttack = false;
    unit->scanInterval = blank.scanInterval;
    unit->miningRetryTicks = blank.miningRetryTicks;
    unit->miningPatienceTicks = blank.miningPatienceTicks;
    const float tile = static_cast<float>(TILE_SIZE);
    unit->x = (playerId == 1 ? 4.5f : 8.5f) * tile;
    unit->y = 4.5f * tile;
    return &addUnit(*unit);
}

// The centre of the sub-tile under a point given in tiles, with the fixed sub-tile size 35.
static float spawnCoordinate(float tiles) {
    return static_cast<float>(truncToInt(tiles * static_cast<float>(SUBDIVISIONS))) * 35.0f + 17.5f;
}

int spawnUnitAt(const std::string& type, int playerId, SDL_FPoint point) {
    std::optional<Unit> unit = newSpawnedUnit(type, playerId);
    if (!unit) return -1;
    unit->x = spawnCoordinate(point.x);
    unit->y = spawnCoordinate(point.y);
    const V2i sub = worldToSubTile(unit->x, unit->y);
    unit->occupiedSubTile = sub;
    const int id = unit->id;
    addUnit(*unit);
    reserveTilesForUnit(id, type, sub);
    return id;
}

static bool birdMayLand(const Grid& grid, V2i tile, Tile movementClass) {
    return movementClass == Tile::Any || grid.at(tile.x, tile.y).walkable != 0;
}

// Whether the random search for a landing place can end at all.
static bool mapOffersPlace(const Grid& grid, Tile movementClass) {
    if (MAP_W <= 0 || MAP_H <= 0 || TILE_SIZE <= 0) return false;
    for (int y = 0; y < MAP_H; ++y)
        for (int x = 0; x < MAP_W; ++x)
            if (birdMayLand(grid, {x, y}, movementClass)) return true;
    return false;
}

void spawnCritters(const Grid& grid) {
    for (int i = 0; i < 8; ++i) {
        Unit bird = spawnCritter("Bird");
        if (bird.id == -1) return;
        const Tile movementClass = unitInfo.at("Bird").walkable;
        if (!mapOffersPlace(grid, movementClass)) return;
        for (;;) {
            const float x = static_cast<float>(std::rand() % (MAP_W * TILE_SIZE));
            const float y = static_cast<float>(std::rand() % (MAP_H * TILE_SIZE));
            if (!birdMayLand(grid, worldToTile(x, y), movementClass)) continue;
            bird.x = x;
            bird.y = y;
            break;
        }
        addUnit(bird);
    }
}

// ---- Distances, range, line of sight, facing and height ----

float distance(const V2i& a, const V2i& b) {
    const int64_t dx = int64_t{a.x} - b.x;
    const int64_t dy = int64_t{a.y} - b.y;
    return static_cast<float>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
}

std::vector<Unit*> getUnitsInRange(const V2i& centre, int radius) {
    std::vector<Unit*> found;
    const float reach = static_cast<float>(radius);
    for (Unit& u : units) {
        const int64_t dx = int64_t{truncToInt(u.x)} - centre.x;
        const int64_t dy = int64_t{truncToInt(u.y)} - centre.y;
        if (reach >= static_cast<float>(std::sqrt(static_cast<double>(dx * dx + dy * dy)))) found.push_back(&u);
    }
    return found;
}

std::vector<Unit*> getUnitsInTiles(const std::vector<V2i>& tiles, int) {
    std::vector<Unit*> found;
    const float size = static_cast<float>(TILE_SIZE);
    for (Unit& u : units) {
        const V2i tile{truncToInt(u.x / size), truncToInt(u.y / size)};
        for (const V2i& t : tiles)
            if (t == tile) found.push_back(&u);
    }
    return found;
}

bool isAttackableInRange(const SDL_FPoint& p, const Attackable* target, float radius) {
    if (!target) return false;
    SDL_FPoint q = target->getWorldPos();
    if (target->isBuilding()) {
        const Building& b = static_cast<const Building&>(*target);
        const int64_t t = TILE_SIZE;
        const float left = static_cast<float>(b.x * t);
        const float top = static_cast<float>(b.y * t);
        const float right = static_cast<float>(b.x * t + b.wTiles * t);
        const float bottom = static_cast<float>(b.y * t + b.hTiles * t);
        q = {std::max(left, std::min(right, p.x)), std::max(top, std::min(bottom, p.y))};
    }
    const float reach = radius * 1.4142135f;
    const float dx = q.x - p.x;
    const float dy = q.y - p.y;
    return reach * reach >= dx * dx + dy * dy;
}

bool isAttackableInRangeTile(const Unit& unit, const Attackable* target) {
    if (!target) return false;
    const V2i s = worldToSubTile(unit.x, unit.y);
    V2i t;
    if (target->isBuilding()) {
        const Building& b = static_cast<const Building&>(*target);
        const V2i tile = b.getTile();
        const int left = tile.x * SUBDIVISIONS;
        const int top = tile.y * SUBDIVISIONS;
        const int right = left + footprintSubTiles(b.wTiles, SUBDIVISIONS) - 1;
        const int bottom = top + footprintSubTiles(b.hTiles, SUBDIVISIONS) - 1;
        t = {std::min(right, std::max(left, s.x)), std::min(bottom, std::max(top, s.y))};
    } else {
        const SDL_FPoint p = target->getWorldPos();
        t = worldToSubTile(p.x, p.y);
    }
    const int64_t d = std::max(std::abs(int64_t{t.x} - s.x), std::abs(int64_t{t.y} - s.y));
    return static_cast<float>(SUBDIVISIONS) * unit.range >= static_cast<float>(d);
}

bool hasLineOfSight(const SDL_FPoint& a, const SDL_FPoint& b, const Grid& grid) {
    const float size = static_cast<float>(TILE_SIZE);
    int64_t x = truncToInt(a.x / size);
    int64_t y = truncToInt(a.y / size);
    const int64_t x1 = truncToInt(b.x / size);
    const int64_t y1 = truncToInt(b.y / size);
    if (x == x1 && y == y1) return true;
    const int64_t sx = x < x1 ? 1 : -1;
    const int64_t sy = y < y1 ? 1 : -1;
    const int64_t dx = std::abs(x1 - x);
    const int64_t dy = std::abs(y1 - y);
    int64_t err = dx - dy;
    for (;;) {
        // Off the map the walk reads the sentinel cell, which never blocks.
        if (grid.at(static_cast<int>(x), static_cast<int>(y)).type == Tile::Wall) return false;
        const int64_t e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            x += sx;
        }
        if (e2 < dx) {
            err += dx;
            y += sy;
        }
        if (x == x1 && y == y1) return true;
    }
}

int computeDirection(const SDL_FPoint& v, bool& flip) {
    struct Sector {
        float below;
        int row;
        bool flip;
    };
    // Counter-clockwise from screen right; 90 degrees is up the screen.
    static constexpr Sector sectors[] = {{22.5f, 2, false},  {67.5f, 1, false},  {112.5f, 0, false},
                                         {157.5f, 1, true},  {202.5f, 2, true},  {247.5f, 3, true},
                                         {292.5f, 4, false}, {337.5f, 3, false}};
    float angle = static_cast<float>(static_cast<double>(std::atan2(-v.y, v.x) * 180.0f) / 3.14159265358979323846);
    if (std::isnan(angle)) {
        flip = false;
        return 4;
    }
    if (angle < 0.0f) angle += 360.0f;
    for (const Sector& s : sectors) {
        if (angle < s.below) {
            flip = s.flip;
            return s.row;
        }
    }
    flip = false;
    return 2;
}

float getUnitVisualHeight(const Unit& unit) {
    const float size = static_cast<float>(TILE_SIZE);
    const int tx = truncToInt(unit.x / size);
    const int ty = truncToInt(unit.y / size);
    if (tx < 0 || ty < 0 || tx >= MAP_W || ty >= MAP_H) return 0.0f;
    const TileInstance& cell = grid.at(tx, ty);
    const float h = static_cast<float>(cell.heightLevel);
    float fx = std::fmod(unit.x, size) / size;
    float fy = std::fmod(unit.y, size) / size;
    if (fx < 0.0f) fx += 1.0f;
    if (fy < 0.0f) fy += 1.0f;
    if (cell.ramp) {
        const bool risesDown = tx > 0 && grid.at(tx - 1, ty).heightLevel < cell.heightLevel;
        const float t = risesDown ? 1.0f - fy : 1.0f - fx;
        return (h - 0.5f) + t * 0.5f;
    }
    // Up, down, right, left: the flat half next to a higher ramp climbs to meet the ramp's low edge.
    const struct {
        int dx;
        int dy;
        float s;
    } sides[] = {{0, -1, fy}, {0, 1, 1.0f - fy}, {1, 0, 1.0f - fx}, {-1, 0, fx}};
    for (const auto& side : sides) {
        const int nx = tx + side.dx;
        const int ny = ty + side.dy;
        if (nx < 0 || ny < 0 || nx >= MAP_W || ny >= MAP_H) continue;
        const TileInstance& n = grid.at(nx, ny);
        if (n.ramp && n.heightLevel > cell.heightLevel && side.s < 0.5f) return h + (0.5f - side.s);
    }
    return h;
}

// ---- Target acquisition and attack orders ----

static bool isHoldingPosition(const Unit& unit) { return unit.state == UnitState::HoldPosition; }

// Whether the unit's type can hit a unit of the category (its catalogue's target mask).
static bool canHitCategory(const Unit& unit, UnitCategory category) {
    const UnitInfo* info = getUnitInfo(unit.type);
    return info && ((info->attackTargets >> static_cast<int>(category)) & 1) != 0;
}

// The scan's verdict on the current target: false when the unit may not go on scanning this time.
static bool reviewCurrentTarget(Unit& unit) {
    // A unit without a target has nothing to review; only a target that has gone returns it to Idle.
    if (unit.targetId == -1) return true;
    Attackable* target = getAttackableById(unit.targetId);
    if (!target) {
        unit.isAttacking = false;
        unit.targetId = -1;
        if (!isHoldingPosition(unit)) unit.state = UnitState::Idle;
        return true;
    }
    if (!target->isUnit() || canHitCategory(unit, static_cast<const Unit&>(*target).category)) return true;
    unit.isAttacking = false;
    unit.targetId = -1;
    unit.state = UnitState::Idle;
    return false;
}

namespace {

// The best candidate of one scan: squared sub-tile distance, ties to the lower id; nothing beyond sight.
struct TargetScan {
    V2i from;
    int64_t best;
    int bestId = -1;
    V2i bestSub{0, 0};

    bool qualifies(int64_t d, int id) const { return d < best || (d == best && id < bestId); }
    void take(int64_t d, int id, V2i sub) {
        best = d;
        bestId = id;
        bestSub = sub;
    }
    int64_t distanceTo(V2i sub) const {
        const int64_t dx = int64_t{sub.x} - from.x;
        const int64_t dy = int64_t{sub.y} - from.y;
        return dx * dx + dy * dy;
    }
};

enum class UnitPass { WorkersOnly, AnyUnit };

}  // namespace

static void scanUnits(const Unit& unit, const std::vector<int>& ids, UnitPass pass, TargetScan& scan,
                      const Grid& grid) {
    for (int id : ids) {
        const Unit* candidate = id == -1 ? nullptr : getUnitById(id);
        if (!candidate || !candidate->onMap || candidate->untargetable) continue;
        const V2i sub = worldToSubTile(candidate->x, candidate->y);
        const int64_t d = scan.distanceTo(sub);
        if (!scan.qualifies(d, id)) continue;
        if (unit.attackType == AttackType::Melee &&
            !hasLineOfSight({unit.x, unit.y}, {candidate->x, candidate->y}, grid))
            continue;
        if (pass == UnitPass::WorkersOnly && !candidate->worker) continue;
        scan.take(d, id, sub);
    }
}

static void scanBuildings(const Unit& unit, const Player& enemy, TargetScan& scan, Grid& grid) {
    std::vector<int> ids = enemy.buildingIds;
    std::sort(ids.begin(), ids.end());
    for (int id : ids) {
        const Building* building = getBuildingById(id);
        if (!building) continue;
        const V2i beside = findClosestTileAdjacentToBuildingFromUnit(*building, unit, grid);
        const int64_t d = scan.distanceTo(beside);
        if (scan.qualifies(d, id)) scan.take(d, id, beside);
    }
}

// Workers first, then any unit, then buildings; a later pass runs only while nothing has been chosen.
static void scanPlayer(const Unit& unit, const Player& enemy, TargetScan& scan, Grid& grid) {
    if (enemy.unitIds.empty()) {
        if (scan.bestId == -1) scanBuildings(unit, enemy, scan, grid);
        return;
    }
    std::vector<int> ids = enemy.unitIds;
    std::sort(ids.begin(), ids.end());
    scanUnits(unit, ids, UnitPass::WorkersOnly, scan, grid);
    if (scan.bestId != -1) return;
    scanUnits(unit, ids, UnitPass::AnyUnit, scan, grid);
    if (scan.bestId != -1) return;
    scanBuildings(unit, enemy, scan, grid);
}

void autoAttack(Unit& unit, Grid& grid) {
    if (unit.state == UnitState::OrderedMove || !unit.canAttack || unit.isChanneling) return;
    if (unit.scanCounter < unit.scanInterval) return;
    unit.scanCounter = 0;
    if (!reviewCurrentTarget(unit)) return;

    const int64_t reach = int64_t{unit.sight} * SUBDIVISIONS;
    TargetScan scan{worldToSubTile(unit.x, unit.y), reach * reach};
    std::vector<const Player*> enemies;
    for (const auto& p : players)
        if (p && p->id != unit.playerId) enemies.push_back(p.get());
    std::sort(enemies.begin(), enemies.end(), [](const Player* a, const Player* b) { return a->id < b->id; });
    for (const Player* enemy : enemies) scanPlayer(unit, *enemy, scan, grid);
    if (scan.bestId == -1) return;

    unit.targetId = scan.bestId;
    unit.isAttacking = true;
    unit.goal = scan.bestSub;
    if (isHoldingPosition(unit)) return;
    unit.state = UnitState::Attacking;
    attackEnemy(&unit, grid, scan.bestId);
}

bool attackEnemy(Unit* unit, Grid& grid, int targetId) {
    Attackable* target = unit ? getAttackableById(targetId) : nullptr;
    if (!target) return false;
    unit->targetId = targetId;
    unit->state = UnitState::Attacking;
    const V2i start = worldToSubTile(unit->x, unit->y);
    target->computeNearbyTiles(unit->range);
    if (target->nearbyTiles.empty()) return false;
    const std::optional<SubTilePath> path = astarMultiGoal(grid, start, target->nearbyTiles, unit->walkable);
    if (!path) return false;
    setUnitPath(*unit, *path);
    return true;
}

// ---- The unit order queue ----

static void startOrder(int unitId, const MoveCommand& move, Grid& grid) {
    Unit* unit = getUnitById(unitId);
    if (!unit || MAP_W <= 0 || MAP_H <= 0) return;
    // The caster walks to the middle of the tile from which its queued spell reaches, heedless of enemies.
    const V2i tile{std::clamp(move.x, 0, MAP_W - 1), std::clamp(move.y, 0, MAP_H - 1)};
    const V2i goal{tile.x * SUBDIVISIONS + SUBDIVISIONS / 2, tile.y * SUBDIVISIONS + SUBDIVISIONS / 2};
    if (walkToTile(*unit, goal, grid)) unit->state = UnitState::OrderedMove;
}

static void startOrder(int unitId, const MineCommand& mine, Grid& grid) {
    Unit* unit = getUnitById(unitId);
    if (!unit) return;
    unit->mineTarget = {mine.targetX, mine.targetY};
    MapObject* object = getMapObjectById(mine.mapObjectId);
    Player* owner = getPlayerById(unit->playerId);
    if (object && owner) startMining(*unit, *object, *owner, grid);
}

static void startOrder(int, const AttackCommand&, Grid&) {}

static void startOrder(int unitId, const AttackMove& move, Grid& grid) {
    Unit* unit = getUnitById(unitId);
    if (!unit) return;
    unit->state = UnitState::AttackMoving;
    freeTileForUnit(unitId, unit->type, worldToSubTile(unit->x, unit->y));
    moveUnitUnclump(unitId, {move.x, move.y}, grid);
    unit->isAttacking = false;
    unit->targetId = -1;
    unit->scanCounter = 0;
}

static void startOrder(int unitId, const CastSpellCommand& cast, Grid&) {
    Unit* unit = getUnitById(unitId);
    const auto found = spellInfo.find(cast.spell);
    if (!unit || found == spellInfo.end() || TILE_SIZE <= 0) return;
    const SpellInfo& info = found->second;
    const V2i targetTile{cast.targetX / TILE_SIZE, cast.targetY / TILE_SIZE};
    const float d = distance(targetTile, worldToTile(unit->x, unit->y));
    if (d > static_cast<float>(info.range) && info.targetType != TargetType::Self) return;
    if (unit->cooldowns[cast.spell] > 0.0f) return;
    const float cooldown = info.cooldown;
    const EffectFunction effect = info.effect;
    if (effect)
        effect(SpellContext{cast.unitId, cast.targetId,
                            V2f{static_cast<float>(cast.targetX), static_cast<float>(cast.targetY)}});
    // A summoning effect adds units, which moves every unit: find the caster again.
    if (Unit* caster = getUnitById(unitId)) caster->cooldowns[cast.spell] = cooldown;
}

void updateUnitQueueAction(Unit& unitAtStart, Grid& grid) {
    const int id = unitAtStart.id;
    if (!unitAtStart.orderRunning && !unitAtStart.orders.empty()) {
        const UnitOrder order = unitAtStart.orders.front().command;
        std::visit([id, &grid](const auto& o) { startOrder(id, o, grid); }, order);
        if (Unit* unit = getUnitById(id)) unit->orderRunning = true;
    }
    Unit* unit = getUnitById(id);
    if (!unit || !unit->orderRunning || unit->state != UnitState::Idle) return;
    if (!unit->orders.empty()) unit->orders.pop_front();
    unit->orderRunning = false;
}

// ---- The unit step: pick-up, target handling, the swing and its hit ----

static bool hasStepAway(const Unit& unit) { return !unit.waypoints.empty(); }

// Moves the unit's footprint reservation to the sub-tile.
static void holdSubTile(Unit& unit, V2i sub) {
    freeTileForUnit(unit.id, unit.type, unit.occupiedSubTile);
    reserveTilesForUnit(unit.id, unit.type, sub);
    unit.occupiedSubTile = sub;
}

static void forgetRoute(Unit& unit) {
    unit.routeChunked = false;
    unit.route.clear();
    unit.routeDestination = {-1, -1};
}

static StepResult pickUpStep(Unit& unit) {
    if (!unit.pickUpPending || unit.pickUpItemId == -1) return StepResult::Continue;
    const std::optional<SDL_FPoint> at =
        unitHooks.itemOnMap ? unitHooks.itemOnMap(unit.pickUpItemId) : std::optional<SDL_FPoint>();
    if (!at) {
        unit.pickUpPending = false;
        unit.pickUpItemId = -1;
        return StepResult::EndTick;
    }
    const float reach = static_cast<float>(TILE_SIZE) * 0.7f;
    const float dx = at->x - unit.x;
    const float dy = at->y - unit.y;
    if (dx * dx + dy * dy >= reach * reach) return StepResult::Continue;
    const std::string type = unitHooks.takeItem ? unitHooks.takeItem(unit.id, unit.pickUpItemId) : std::string();
    unit.pickUpPending = false;
    unit.pickUpItemId = -1;
    if (type == "Corpse") unit.speedPerTick /= 2;
    SDL_Log("Unit %d picked up item!", unit.id);
    return StepResult::Continue;
}

static void countTicks(Unit& unit, Grid& grid) {
    unit.scanCounter += 1;
    if (unit.state == UnitState::AttackMoving || (unit.state != UnitState::OrderedMove && !unit.mining))
        autoAttack(unit, grid);
    if (unit.attackCounter < unit.attackInterval) unit.attackCounter += 1;
    if (unit.attackAnimating) unit.attackAnimTicks += 1;
}

// A unit within reach stops walking and holds the sub-tile it stands on.
static void haltToStrike(Unit& unit) {
    unit.waypoints.clear();
    forgetRoute(unit);
    holdSubTile(unit, worldToSubTile(unit.x, unit.y));
}

// Sprite metadata of the type; a type without art swings on the defaults.
static const UnitSpriteMeta& spriteMetaOf(const std::string& type) {
    static const UnitSpriteMeta defaults;
    const auto found = unitSprites.find(type);
    return found == unitSprites.end() ? defaults : found->second;
}

static void shoot(const Unit& unit, SDL_FPoint targetPos, int targetId) {
    const float dx = targetPos.x - unit.x;
    const float dy = targetPos.y - unit.y;
    const float length = std::sqrt(dx * dx + dy * dy);
    const SDL_FPoint dir = length < 0.0001f ? SDL_FPoint{0.0f, 0.0f} : SDL_FPoint{dx / length, dy / length};
    const UnitInfo* info = getUnitInfo(unit.type);
    launchProjectile(info ? info->projectile : std::string(),
                     {unit.x - GAME_SPEED * dir.x, unit.y - GAME_SPEED * dir.y}, dir,
                     static_cast<float>(TILE_SIZE) * GAME_SPEED, unit.id, targetId);
}

struct AttackSound {
    const char* type;
    const char* action;
    bool positional;
    int limit;
};

// The sound of each hit by attacker type; other types strike silently.
static constexpr AttackSound ATTACK_SOUNDS[] = {
    {"Catapult", "CatapultFire", true, 1}, {"TrollDestroyer", "ShipAttack", true, 1},
    {"DeathKnight", "TouchOfDarkness", true, 1}, {"Peon", "Sword", true, 1},
    {"Grunt", "Sword", true, 1}, {"TrollAxeThrower", "Axe", true, 1},
    {"Marine", "Shoot", false, 2}, {"FighterJet", "Laser", true, 2},
    {"Berserker", "Saber", true, 2}, {"Tank", "TankFire", false, 2},
};

static void playAttackSound(const Unit& unit) {
    for (const AttackSound& s : ATTACK_SOUNDS) {
        if (unit.type != s.type) continue;
        playSound(SoundCategory::UnitAction, s.action, s.positional, unit.x, unit.y, s.limit);
        return;
    }
}

// The hit of a swing: a projectile from a ranged unit, else the blow itself with its splash and freezing slow.
static void strike(Unit& unit, Attackable& target, SDL_FPoint targetPos, Grid& grid) {
    if (unit.attackType == AttackType::Ranged && unit.range > 1.0f) {
        shoot(unit, targetPos, target.id);
    } else {
        applyDirectHit(unit, &target, grid);
        if (target.isUnit() && unit.freezingBullets) scaleMovementSpeed(static_cast<Unit&>(target), 0.5f);
    }
    playAttackSound(unit);
}

// Pursues or strikes the target; ends the tick unless the unit still has to walk.
static StepResult targetStep(Unit& unit, Grid& grid) {
    if (!unit.canAttack || unit.isChanneling) return StepResult::EndTick;
    Attackable* target = getAttackableById(unit.targetId);
    if (!target) {
        unit.isAttacking = false;
        unit.targetId = -1;
        if (!isHoldingPosition(unit) && unit.state != UnitState::OrderedMove) unit.state = UnitState::Idle;
        return StepResult::EndTick;
    }
    if (!isAttackableInRangeTile(unit, target)) {
        if (!hasStepAway(unit) && !isHoldingPosition(unit)) attackEnemy(&unit, grid, unit.targetId);
        return StepResult::Continue;
    }
    haltToStrike(unit);
    const SDL_FPoint targetPos = target->getWorldPos();
    if (unit.attackCounter >= unit.attackInterval) {
        unit.attackCounter = 0;
        unit.isAttacking = true;
        unit.attackAnimating = true;
    }
    const int hitTick = spriteMetaOf(unit.type).projectileSpawnTick;
    if (hitTick > 0 && hitTick == unit.attackCounter) strike(unit, *target, targetPos, grid);
    return StepResult::EndTick;
}

// ---- The unit step: boarding, route chunks, walking, blocking and arrival ----

// The unit stands on the ring the carrier's surrounding sub-tiles draw, or inside it.
static bool besideCarrier(const Unit& unit, const Unit& carrier) {
    if (carrier.nearbyTiles.empty()) return false;
    const V2i s = worldToSubTile(unit.x, unit.y);
    V2i low = carrier.nearbyTiles.front();
    V2i high = low;
    for (const V2i& t : carrier.nearbyTiles) {
        low = {std::min(low.x, t.x), std::min(low.y, t.y)};
        high = {std::max(high.x, t.x), std::max(high.y, t.y)};
    }
    return s.x >= low.x && s.x <= high.x && s.y >= low.y && s.y <= high.y;
}

static StepResult boardingStep(Unit& unit, Grid& grid) {
    if (unit.waitTicks + 1 < BOARD_WAIT_TICKS) {
        unit.waitTicks += 1;
        return StepResult::Continue;
    }
    unit.waitTicks = 0;
    Unit* carrier = getUnitById(unit.boardCarrierId);
    if (!carrier) {
        unit.boardCarrierId = -1;
        return StepResult::EndTick;
    }
    carrier->computeNearbyTiles();
    if (besideCarrier(unit, *carrier)) {
        addUnitToZeppelin(unit);
        unit.boardCarrierId = -1;
        // Aboard, the unit walks nowhere and holds no ground.
        unit.waypoints.clear();
        return StepResult::EndTick;
    }
    walkToTile(unit, worldToSubTile(carrier->x, carrier->y), grid);
    return StepResult::Continue;
}

static bool replaceWaypoints(Unit& unit, const std::optional<SubTilePath>& path) {
    if (!path || path->empty()) return false;
    setUnitPath(unit, *path);
    return true;
}

// The next stretch of a long walk, planned when its current chunk is nearly walked.
static void planNextChunk(Unit& unit, Grid& grid) {
    const V2i s = worldToSubTile(unit.x, unit.y);
    if (manhattan(s, unit.routeDestination) <= 20) {
        unit.routeChunked = false;
        const V2i t = findClosestFreeTile(grid, unit.routeDestination, s, unit.walkable, unit.id);
        replaceWaypoints(unit, astar(grid, s, t, unit.walkable, unit.id, 30));
        return;
    }
    const size_t n = unit.route.size();
    size_t nearest = 0;
    int64_t best = 1000000000;
    for (size_t i = 0; i < n; ++i) {
        const int64_t d = manhattan(unit.route[i], s);
        if (d < best) {
            best = d;
            nearest = i;
        }
    }
    const V2i goal = n == 0 || nearest + 5 >= n ? unit.routeDestination : unit.route[std::min(nearest + 10, n - 1)];
    if (replaceWaypoints(unit, astar(grid, s, goal, unit.walkable, unit.id, 30))) {
        unit.routeChunked = true;
    } else {
        unit.routeChunked = false;
        unit.state = UnitState::Idle;
    }
}

static void arrive(Unit& unit) {
    if (!isHoldingPosition(unit)) unit.state = UnitState::Idle;
    if (unitHooks.unitArriveScript) unitHooks.unitArriveScript(unit.id);
}

// The free sub-tile within two of s, on the map and on ground the unit may enter, nearest (Manhattan) to e.
static std::optional<V2i> sideStepFor(const Unit& unit, const Grid& grid, V2i s, V2i e) {
    std::optional<V2i> chosen;
    float best = 99999.0f;
    for (int dx = -2; dx <= 2; ++dx) {
        for (int dy = -2; dy <= 2; ++dy) {
            if (dx == 0 && dy == 0) continue;
            const V2i c{s.x + dx, s.y + dy};
            const V2i tile = tileOfSubTile(c);
            if (!isValidSubTile(c) || isTileReserved(c) != FREE_SUB_TILE) continue;
            if (!grid.walkable(tile.x, tile.y, unit.walkable)) continue;
            const float score = static_cast<float>(manhattan(c, e));
            if (score < best) {
                best = score;
                chosen = c;
            }
        }
    }
    return chosen;
}

// The third side-step in a row gives way to a breadth-first walk round the obstacle, or ends the walk.
static void divert(Unit& unit, Grid& grid, V2i s, V2i e) {
    unit.nudgeCount = 0;
    const V2i t = findClosestFreeTile(grid, e, s, unit.walkable, unit.id);
    if (replaceWaypoints(unit, simpleBFS(grid, s, t, unit.walkable, unit.id, 50))) {
        unit.goal = t;
        return;
    }
    unit.waypoints.clear();
    unit.state = UnitState::Idle;
    forgetRoute(unit);
}

static StepResult waitForBlockedWay(Unit& unit, Grid& grid, V2i s) {
    const V2i e = worldToSubTile(unit.waypoints.back().x, unit.waypoints.back().y);
    // A builder that stopped short would leave its paid site stalled for good, so it works its way round instead.
    if (manhattan(s, e) <= 5 && !unit.constructing) {
        unit.waypoints.clear();
        unit.state = UnitState::Idle;
        return StepResult::EndTick;
    }
    unit.waitTicks += 1;
    if (unit.waitTicks < BLOCK_WAIT_TICKS) return StepResult::EndTick;
    unit.nudgeCount += 1;
    unit.waitTicks = 0;
    if (unit.nudgeCount > 2) {
        divert(unit, grid, s, e);
        return StepResult::EndTick;
    }
    if (const std::optional<V2i> step = sideStepFor(unit, grid, s, e))
        unit.waypoints.insert(unit.waypoints.begin(), subTileWaypoint(*step));
    return StepResult::EndTick;
}

// The unit takes the sub-tile of its next waypoint, or waits while another unit holds it.
static StepResult enterNextSubTile(Unit& unit, Grid& grid, bool checkBlocking) {
    const V2i s = worldToSubTile(unit.x, unit.y);
    const V2i n = worldToSubTile(unit.waypoints.front().x, unit.waypoints.front().y);
    if (n == unit.occupiedSubTile) return StepResult::Continue;
    const int holder = isTileReserved(n);
    const bool blocked = holder != unit.id && holder > 0 && checkBlocking && !unit.mining && n != s;
    if (blocked) return waitForBlockedWay(unit, grid, s);
    holdSubTile(unit, n);
    unit.waitTicks = 0;
    return StepResult::Continue;
}

// Ground that became impassable ends the walk where the unit stands, instead of a retry every tick.
static void abandonWalk(Unit& unit) {
    unit.state = UnitState::Idle;
    unit.waypoints.clear();
    forgetRoute(unit);
    holdSubTile(unit, worldToSubTile(unit.x, unit.y));
}

static void moveTowardWaypoint(Unit& unit, const Grid& grid) {
    const float maxX = static_cast<float>(int64_t{MAP_W} * TILE_SIZE) - 0.01f;
    const float maxY = static_cast<float>(int64_t{MAP_H} * TILE_SIZE) - 0.01f;
    const SDL_FPoint p{std::clamp(unit.waypoints.front().x, 0.0f, std::max(maxX, 0.0f)),
                       std::clamp(unit.waypoints.front().y, 0.0f, std::max(maxY, 0.0f))};
    const V2i tile = worldToTile(p.x, p.y);
    if (!grid.walkable(tile.x, tile.y, unit.walkable)) {
        abandonWalk(unit);
        return;
    }
    const float dx = p.x - unit.x;
    const float dy = p.y - unit.y;
    const float length = std::sqrt(dx * dx + dy * dy);
    const float step = static_cast<float>(unit.speedPerTick);
    if (length < WAYPOINT_EPS || length <= step) {
        unit.x = p.x;
        unit.y = p.y;
        unit.waypoints.erase(unit.waypoints.begin());
        return;
    }
    const float nx = unit.x + dx / length * step;
    const float ny = unit.y + dy / length * step;
    if (nx < 0.0f || ny < 0.0f || nx > maxX || ny > maxY) {
        unit.state = UnitState::Idle;
        unit.x = std::clamp(nx, 0.0f, std::max(maxX, 0.0f));
        unit.y = std::clamp(ny, 0.0f, std::max(maxY, 0.0f));
        unit.waypoints.clear();
        return;
    }
    unit.x = nx;
    unit.y = ny;
}

static void walkStep(Unit& unit, Grid& grid, bool checkBlocking) {
    if (unit.boardCarrierId != -1 && boardingStep(unit, grid) == StepResult::EndTick) return;
    if (miningSpotStep(unit, grid) == StepResult::EndTick) return;
    if (unit.routeChunked && unit.waypoints.size() <= 4) planNextChunk(unit, grid);
    if (unit.waypoints.empty()) {
        if (!unit.isAttacking) arrive(unit);
        return;
    }
    if (enterNextSubTile(unit, grid, checkBlocking) == StepResult::EndTick) return;
    moveTowardWaypoint(unit, grid);
}

void updateUnit(Unit& unit, float, Grid& grid, bool checkBlocking) {
    if (!unit.onMap) return;
    if (unit.hp < 1.0f) {
        unitsToRemove.push_back(unit.id);
        return;
    }
    if (unit.walkingToTraining && unit.waypoints.empty()) unit.walkingToTraining = false;
    if (pickUpStep(unit) == StepResult::EndTick) return;
    if (unit.mining && unit.waypoints.empty() && harvestStep(unit, grid) == StepResult::EndTick) return;
    countTicks(unit, grid);
    if (unit.targetId != -1 && targetStep(unit, grid) == StepResult::EndTick) return;
    walkStep(unit, grid, checkBlocking);
}

// ---- The tick over all units ----

// Where the unit looks: its next waypoint, the tile it channels at, or the target it swings at.
static std::optional<SDL_FPoint> facingPoint(Unit& unit) {
    if (!unit.waypoints.empty()) return unit.waypoints.front();
    const float size = static_cast<float>(TILE_SIZE);
    if (!unit.isAttacking && unit.isChanneling && !unit.attackAnimating)
        return SDL_FPoint{static_cast<float>(unit.goal.x) * size, static_cast<float>(unit.goal.y) * size};
    if (!unit.isAttacking && !unit.attackAnimating) return std::nullopt;
    if (const Attackable* target = getAttackableById(unit.targetId)) {
        unit.lastTargetPos = target->getWorldPos();
        return unit.lastTargetPos;
    }
    if (unit.attackAnimating) return unit.lastTargetPos;
    return std::nullopt;
}

static void turnTowardGoal(Unit& unit) {
    const std::optional<SDL_FPoint> p = facingPoint(unit);
    if (!p) return;
    const float dx = p->x - unit.x;
    const float dy = p->y - unit.y;
    if (dx == 0.0f && dy == 0.0f) return;
    unit.direction = computeDirection({dx - dy, (dx + dy) * 0.5f}, unit.flip);
}

// One unit's turn of the tick. Its queued order or behaviour may add units, which moves every unit in memory,
// so the unit is found again by id after each call.
static void updateUnitTurn(int id, float dt, Grid& grid) {
    if (Unit* unit = getUnitById(id)) updateUnitQueueAction(*unit, grid);
    if (Unit* unit = getUnitById(id)) updateUnitAI(*unit, dt, grid);
    if (Unit* unit = getUnitById(id)) updateUnit(*unit, dt, grid, true);
    if (Unit* unit = getUnitById(id); unit && unit->type == "LatchedMine") updateLatchedMine(*unit, grid);
    Unit* unit = getUnitById(id);
    if (!unit) return;
    updateCooldowns(*unit, dt);
    turnTowardGoal(*unit);
}

void updateUnits(float dt, Grid& grid) {
    std::vector<int> ids;
    ids.reserve(units.size());
    for (const Unit& u : units) ids.push_back(u.id);
    std::sort(ids.begin(), ids.end());
    for (int id : ids) updateUnitTurn(id, dt, grid);
}
