// Units: catalogue, record and registry, selection, removal, corpses and floating texts.
#include "units.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <functional>
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
#include "units_target_index.h"
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
IdTable<size_t> unitIdToIndex;
std::vector<int> selectedUnits;
std::unordered_set<int> selectedUnitsSet;
std::vector<int> unitsToRemove;
std::vector<DeadUnit> deadUnits;
FloatingTexts floatingTexts;

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
    unitIdToIndex.set(unit.id, units.size() - 1);
    if (!isCritterType(units.back().type)) enlistWithOwner(units.back());
    return units.back();
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
    const size_t* index = unitIdToIndex.find(id);
    return index && *index < units.size() ? &units[*index] : nullptr;
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

// The supply a leaving unit used, given back to its owner. An unknown type is reported whether or not the owner
// is still there. Its place in the owner's list goes with the whole batch (dropFromOwnerLists).
static Player* dischargeSupply(const Unit& unit) {
    Player* owner = getPlayerById(unit.playerId);
    const UnitInfo* info = getUnitInfo(unit.type);
    if (!owner || !info || owner->id == Player::environmentId || owner->supplyUsed < 1 || info->civilian)
        return owner;
    owner->supplyUsed -= info->foodCost;
    return owner;
}

// Removes every id of the set (sorted) from the list, keeping the order of the rest: one pass, however many leave.
static void removeIds(std::vector<int>& list, const std::vector<int>& sortedIds) {
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](int id) { return std::binary_search(sortedIds.begin(), sortedIds.end(), id); }),
               list.end());
}

// Each owner's list is filtered once for all its units that leave in one batch.
static void dropFromOwnerLists(std::vector<std::pair<Player*, int>> leaving) {
    std::sort(leaving.begin(), leaving.end(), [](const auto& a, const auto& b) {
        return std::less<const Player*>()(a.first, b.first) || (a.first == b.first && a.second < b.second);
    });
    std::vector<int> ids;
    for (size_t first = 0; first < leaving.size();) {
        Player* owner = leaving[first].first;
        ids.clear();
        size_t last = first;
        for (; last < leaving.size() && leaving[last].first == owner; ++last) ids.push_back(leaving[last].second);
        removeIds(owner->unitIds, ids);
        first = last;
    }
}

// Takes the units at the registry places out: their sub-tiles, the spells on them and their selection go first;
// then one pass closes the gaps, keeping the order of those that stay, and re-indexes only the units it moved.
// A death costs one pass per batch instead of one per unit.
static void eraseUnitsAt(std::vector<size_t> places, TargetIndexRemovals& targetIndex) {
    if (places.empty()) return;
    std::sort(places.begin(), places.end());
    std::vector<int> ids;
    ids.reserve(places.size());
    for (size_t place : places) {
        const Unit& unit = units[place];
        freeTileForUnit(unit.id, unit.type, worldToSubTile(unit.x, unit.y));
        dropSpellsOnUnit(unit.id);
        ids.push_back(unit.id);
        unitIdToIndex.erase(unit.id);
    }
    std::vector<int> sortedIds = ids;
    std::sort(sortedIds.begin(), sortedIds.end());
    removeIds(selectedUnits, sortedIds);
    for (int id : ids) selectedUnitsSet.erase(id);
    closeGaps(units, places);
    for (size_t place = places.front(); place < units.size(); ++place) unitIdToIndex.set(units[place].id, place);
    targetIndex.follow(places);
}

static size_t placeOf(const Unit& unit) { return static_cast<size_t>(&unit - units.data()); }

void processUnitRemovals(Grid& grid) {
    TargetIndexRemovals targetIndex;
    std::vector<size_t> places;
    std::vector<std::pair<Player*, int>> listed;
    for (int id : drainUnitRemovalQueue()) {
        const Unit* unit = getUnitById(id);
        if (!unit) continue;
        if (Player* owner = dischargeSupply(*unit)) listed.push_back({owner, id});
        if (unit->mining && isValidSubTile(unit->miningSubTile)) releaseMiningTile(unit->miningSubTile, id, grid);
        // A tower's shot, a spell or a script takes a carrier too; what it carried must not go with it.
        if (combatHooks.dropCarriedItems) combatHooks.dropCarriedItems(*unit);
        places.push_back(placeOf(*unit));
    }
    dropFromOwnerLists(std::move(listed));
    eraseUnitsAt(std::move(places), targetIndex);
}

bool removeUnit(int id) {
    // The index must agree with the vector, or the wrong unit would go.
    const Unit* unit = getUnitById(id);
    if (!unit) return false;
    TargetIndexRemovals targetIndex;
    eraseUnitsAt({placeOf(*unit)}, targetIndex);
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

void FloatingTexts::clear() {
    texts.clear();
    placeOfKey.clear();
    indexed = true;
}

void FloatingTexts::reindex() {
    placeOfKey.clear();
    for (size_t place = 0; place < texts.size(); ++place)
        if (texts[place].key != 0) placeOfKey[texts[place].key] = place;
    indexed = true;
}

FloatingText* FloatingTexts::freshWithKey(int key) {
    if (!indexed) reindex();
    const auto found = placeOfKey.find(key);
    if (found == placeOfKey.end()) return nullptr;
    FloatingText& t = texts[found->second];
    return t.lifetime > 0.3f ? &t : nullptr;
}

void FloatingTexts::add(const FloatingText& text) {
    texts.push_back(text);
    if (indexed && text.key != 0) placeOfKey[text.key] = texts.size() - 1;
}

void FloatingTexts::age(float dt) {
    for (FloatingText& t : texts) {
        t.rise -= t.velocityY * dt;
        t.alpha -= 0.25f * dt;
        t.lifetime -= dt;
    }
    const auto spent = std::remove_if(texts.begin(), texts.end(),
                                      [](const FloatingText& t) { return t.lifetime <= 0.0f || t.alpha <= 0.0f; });
    if (spent != texts.end()) indexed = false;
    texts.erase(spent, texts.end());
}

void spawnFloatingText(float x, float y, const std::string& text, SDL_Color color, bool flag, int amount, int key) {
    if (key != 0) {
        if (FloatingText* fresh = floatingTexts.freshWithKey(key)) {
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
    floatingTexts.add(t);
}

void updateFloatingTexts(float dt) { floatingTexts.age(dt); }
