// Units: the open lists of the A* searches, which order and move entries alike on every build.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "map.h"

namespace pathsearch {

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

// A queue of keys ordered by an estimate f, then by a rest that is distinct among the keys of one f: one bucket
// per f, each kept sorted from its head on. A search adds to a bucket nearly always behind what it holds, and its
// lowest f moves by small steps, so adding and taking are short; the order is the total one whatever the layout.
class EstimateBuckets {
public:
    bool empty() const { return count == 0; }

    // Empties the queue for keys of f no lower than floor, as a rule.
    void start(int64_t floor) {
        if (count > 0)
            for (size_t i = lowest; i <= highest; ++i) buckets[i].clear();
        count = 0;
        base = floor;
    }

    void push(int64_t f, uint64_t rest) {
        if (static_cast<uint64_t>(f - base) >= buckets.size()) makeRoom(f);
        const size_t i = static_cast<size_t>(f - base);
        buckets[i].insert(rest);
        lowest = count == 0 ? i : std::min(lowest, i);
        highest = count == 0 ? i : std::max(highest, i);
        ++count;
    }

    // The smallest key as (f, rest); the queue must not be empty.
    std::pair<int64_t, uint64_t> pop() {
        while (buckets[lowest].drained()) ++lowest;
        --count;
        return {base + static_cast<int64_t>(lowest), buckets[lowest].take()};
    }

private:
    static constexpr int64_t SLACK = 64;  // room made below a key under the floor, for the next ones

    struct Bucket {
        std::vector<uint64_t> keys;
        size_t head = 0;
        bool drained() const { return head == keys.size(); }
        void clear() {
            keys.clear();
            head = 0;
        }
        void insert(uint64_t key) {
            keys.push_back(key);
            size_t at = keys.size() - 1;
            while (at > head && keys[at - 1] > key) {
                keys[at] = keys[at - 1];
                --at;
            }
            keys[at] = key;
        }
        uint64_t take() {
            const uint64_t key = keys[head++];
            if (drained()) clear();
            return key;
        }
    };

    // A bucket for f: more of them above, or all moved up first where f lies below the lowest one.
    __attribute__((noinline)) void makeRoom(int64_t f) {
        if (f < base) {
            const int64_t newBase = std::max<int64_t>(f - SLACK, 0);
            const size_t shift = static_cast<size_t>(base - newBase);
            const size_t size = buckets.size();
            buckets.insert(buckets.begin(), shift, Bucket{});
            if (count > 0) {
                lowest += shift;
                highest += shift;
            }
            // Only clear buckets lie above the keys: as many as before will do.
            buckets.resize(std::max(size, count > 0 ? highest + 1 : 0));
            base = newBase;
        }
        const size_t i = static_cast<size_t>(f - base);
        if (i >= buckets.size()) buckets.resize(std::max(i + 1, buckets.size() * 2));
    }

    std::vector<Bucket> buckets;
    size_t count = 0;
    int64_t base = 0;
    // While the queue holds keys, every bucket outside lowest..highest is clear; when empty, all are.
    size_t lowest = 0;
    size_t highest = 0;
};

struct OpenEntry {
    int64_t f = 0;  // wide, so a goal far off the map cannot overflow the estimate
    int32_t g = 0;
    int32_t x = 0;
    int32_t y = 0;
};

inline bool laterByEstimate(const OpenEntry& a, const OpenEntry& b) { return a.f > b.f; }

inline bool laterByEstimateThenPlace(const OpenEntry& a, const OpenEntry& b) {
    if (a.f != b.f) return a.f > b.f;
    if (a.g != b.g) return a.g > b.g;
    if (a.x != b.x) return a.x > b.x;
    return a.y > b.y;
}

// An entry packed into one integer, f, g, x and y from the high bits down (22, 20, 11 and 11 bits), so that
// entries compare as one number and move cheaply.
constexpr int PACKED_X_SHIFT = 11;
constexpr int PACKED_G_SHIFT = 22;
constexpr int PACKED_F_SHIFT = 42;
constexpr int64_t PACKED_SIDE = int64_t{1} << PACKED_X_SHIFT;
constexpr int64_t PACKED_FIELD = PACKED_SIDE - 1;

inline bool laterPackedByEstimate(const uint64_t& a, const uint64_t& b) {
    return (a >> PACKED_F_SHIFT) > (b >> PACKED_F_SHIFT);
}

// The open list of one search. On a sub-grid of at most 2048 by 2048 and 2^20 cells with the aim on it, every
// field fits its packed width (g stays below the cell count, f below 2^20 + 2^12); otherwise entries stay wide.
// Both forms order and move entries alike; ordered by place too, the packed keys are all distinct and total.
template <bool byPlace, bool (*laterWide)(const OpenEntry&, const OpenEntry&)>
class Frontier {
public:
    void start(V2i aim, int64_t floor) {
        const int64_t cells = int64_t{SUB_MAP_W} * SUB_MAP_H;
        packed = SUB_MAP_W <= PACKED_SIDE && SUB_MAP_H <= PACKED_SIDE && cells <= (int64_t{1} << 20) &&
                 aim.x >= 0 && aim.y >= 0 && aim.x < PACKED_SIDE && aim.y < PACKED_SIDE;
        if constexpr (byPlace) narrow.start(floor);
        else narrow.clear();
        wide.clear();
    }
    bool empty() const { return packed ? narrow.empty() : wide.empty(); }
    void push(const OpenEntry& e) {
        if (!packed) return wide.push(e);
        const uint64_t rest = static_cast<uint64_t>(e.g) << PACKED_G_SHIFT |
                              static_cast<uint64_t>(e.x) << PACKED_X_SHIFT | static_cast<uint64_t>(e.y);
        if constexpr (byPlace) narrow.push(e.f, rest);
        else narrow.push(static_cast<uint64_t>(e.f) << PACKED_F_SHIFT | rest);
    }
    OpenEntry pop() {
        if (!packed) return wide.pop();
        int64_t f = 0;
        uint64_t k = 0;
        if constexpr (byPlace) {
            std::tie(f, k) = narrow.pop();
        } else {
            k = narrow.pop();
            f = static_cast<int64_t>(k >> PACKED_F_SHIFT);
        }
        return {f, static_cast<int32_t>((k >> PACKED_G_SHIFT) & ((uint64_t{1} << 20) - 1)),
                static_cast<int32_t>((k >> PACKED_X_SHIFT) & PACKED_FIELD), static_cast<int32_t>(k & PACKED_FIELD)};
    }

private:
    bool packed = false;
    std::conditional_t<byPlace, EstimateBuckets, OpenList<uint64_t, laterPackedByEstimate>> narrow;
    OpenList<OpenEntry, laterWide> wide;
};

}  // namespace pathsearch
