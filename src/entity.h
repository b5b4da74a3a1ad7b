// Everything that can be hit: the shared base of units and buildings and their one id space.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <SDL2/SDL.h>

#include "utils.h"

struct Attackable {
    std::vector<V2i> nearbyTiles;  // sub-tiles, refilled by computeNearbyTiles; unclipped, consumers check bounds
    float hp = 0.0f;
    int id = -1;
    bool deathHandled = false;  // the consequences of a death run once

    Attackable() = default;
    Attackable(const Attackable&) = default;
    Attackable(Attackable&&) = default;
    Attackable& operator=(const Attackable&) = default;
    Attackable& operator=(Attackable&&) = default;
    virtual ~Attackable() = default;

    // A negative amount heals, but never beyond the maximum hit points.
    virtual void takeDamage(int amount) = 0;
    virtual void computeNearbyTiles() = 0;
    virtual void computeNearbyTiles(float range) = 0;
    bool isDead() const { return hp <= 0.0f; }
    virtual bool isUnit() const { return false; }
    virtual bool isBuilding() const { return false; }
    virtual SDL_FPoint getWorldPos() const = 0;
    virtual V2i getTile() const = 0;
};

// Ids 0 and 1 are never handed out: a reservation query answers 0 for a free sub-tile and 1 for one
// off the grid, so no entity may carry either value.
constexpr int FIRST_ATTACKABLE_ID = 2;

// Values by entity id. Ids are handed out one after another, so a table by id answers without hashing; an id outside
// the table's range (negative, or beyond any match's count) is kept in a hash map instead.
template <class T>
class IdTable {
public:
    // Ids from 0 up to this one, not included, are kept in the table.
    static constexpr int TABLE_IDS = 1 << 20;

    // Null when the id has no value.
    const T* find(int id) const {
        if (!inTable(id)) {
            const auto other = others.find(id);
            return other == others.end() ? nullptr : &other->second;
        }
        const size_t slot = static_cast<size_t>(id);
        return slot < present.size() && present[slot] ? &table[slot] : nullptr;
    }
    T* find(int id) { return const_cast<T*>(static_cast<const IdTable&>(*this).find(id)); }
    // Throws std::out_of_range when the id has no value.
    const T& at(int id) const {
        if (const T* value = find(id)) return *value;
        throw std::out_of_range("no value for id " + std::to_string(id));
    }
    size_t count(int id) const { return find(id) ? 1 : 0; }
    size_t size() const { return entries; }

    T& set(int id, T value) {
        if (T* held = find(id)) return *held = std::move(value);
        ++entries;
        if (!inTable(id)) return others[id] = std::move(value);
        const size_t slot = static_cast<size_t>(id);
        if (slot >= present.size()) {
            const size_t grown = std::max(slot + 1, present.size() * 2);
            table.resize(grown);
            present.resize(grown, 0);
        }
        present[slot] = 1;
        return table[slot] = std::move(value);
    }
    void erase(int id) {
        if (!find(id)) return;
        --entries;
        if (!inTable(id)) {
            others.erase(id);
            return;
        }
        table[static_cast<size_t>(id)] = T{};
        present[static_cast<size_t>(id)] = 0;
    }
    void clear() {
        table.clear();
        present.clear();
        others.clear();
        entries = 0;
    }

private:
    static bool inTable(int id) { return id >= 0 && id < TABLE_IDS; }
    std::vector<T> table;
    std::vector<uint8_t> present;
    std::unordered_map<int, T> others;
    size_t entries = 0;
};

// The next id of any unit or building; a creator takes the value and advances it.
extern int nextAttackableId;

// Ids restart at the first id whenever a session resets, ends or rewinds.
void resetAttackableIds();

// Units first, then buildings; null when gone. Valid only until either vector changes: keep the id.
Attackable* getAttackableById(int id);

// hp after taking amount, healing capped at maxHp (or at hp when it already exceeds maxHp).
float hpAfterDamage(float hp, float maxHp, int amount);

// tiles * perTile sub-tiles, bounded so absurd catalogue sizes stay finite.
int footprintSubTiles(int tiles, int perTile);

// Reach in sub-tiles for a range in tiles: at least 1, bounded by the sub-grid.
int reachInSubTiles(float range);
