// Units: grid path searches, breadth-first searches and free sub-tiles.
#include "units.h"
#include "units_helpers.h"
#include "units_regions.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <tuple>
#include <type_traits>

#include "buildings.h"
#include "config.h"
#include "construction-manager.h"
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
#include "tech_tree.h"
#include "textures.h"
#include "upgrades.h"

namespace {

// How a cell was reached: by the step of that index in DIRECTIONS, by none (where a search starts), or by a longer
// step of the engine hook, whose origin is kept aside.
constexpr uint32_t NO_STEP = 8;
constexpr uint32_t FAR_STEP = 9;
constexpr int STEP_BITS = 4;

// Per-sub-tile state of the running search, kept from one search to the next so that a search allocates
// nothing the size of the map: a cell belongs to the running search only when its mark holds the generation.
// Eight bytes, so that the cells around a search share few cache lines.
struct SearchCell {
    uint32_t mark = 0;     // the generation, plus 1 once expanded with the step count it holds now
    uint32_t reached = 0;  // the step count (below 2^28, more than any sub-grid's cells) << STEP_BITS | the step
};

struct SearchMarks {
    std::vector<SearchCell> cells;
    std::vector<int32_t> farFrom;  // the origin of each cell reached by a FAR_STEP
    uint32_t generation = 0;       // even
    int width = 0;
    int offsets[8] = {};  // from a cell's index to its neighbours', in DIRECTIONS order

    void begin() {
        size_t count = static_cast<size_t>(std::max(SUB_MAP_W, 0)) * static_cast<size_t>(std::max(SUB_MAP_H, 0));
        width = SUB_MAP_W;
        for (int k = 0; k < 8; ++k) offsets[k] = DIRECTIONS[k].y * width + DIRECTIONS[k].x;
        if (cells.size() != count) {
            cells.assign(count, SearchCell{});
            generation = 0;
        }
        generation += 2;
        if (generation == 0) {
            for (SearchCell& c : cells) c.mark = 0;
            generation = 2;
        }
    }
    int index(V2i sub) const { return sub.y * width + sub.x; }
    V2i subTile(int index) const { return {index % width, index / width}; }
    bool seen(int index) const { return (cells[index].mark & ~1u) == generation; }
    int gScore(int index) const { return static_cast<int>(cells[index].reached >> STEP_BITS); }
    // A step count lowered clears the expansion: the cell is worth expanding again.
    void reach(int index, int from, uint32_t step, int g) {
        cells[index] = {generation, static_cast<uint32_t>(g) << STEP_BITS | step};
        if (step != FAR_STEP) return;
        if (farFrom.size() != cells.size()) farFrom.resize(cells.size());
        farFrom[static_cast<size_t>(index)] = from;
    }
    // Where a search starts, or a cell that only needs to be seen.
    void reach(int index) { cells[index] = {generation, NO_STEP}; }
    // The A* searches keep no closed set, so a cell comes out once per entry; expanding it again with the step
    // count it was expanded with before improves nothing, since the rules of a search do not change during it.
    bool expandsAnew(int index) {
        SearchCell& c = cells[index];
        if (c.mark & 1) return false;
        c.mark |= 1;
        return true;
    }
    bool expanded(int index) const { return (cells[index].mark & 1) != 0; }
    uint32_t stepInto(int index) const { return cells[index].reached & ((1u << STEP_BITS) - 1); }
    // The path from where the search started to the cell.
    SubTilePath pathTo(int end) {
        backwards.clear();
        V2i at = subTile(end);
        for (int i = end;;) {
            backwards.push_back(at);
            const uint32_t step = stepInto(i);
            if (step == NO_STEP) break;
            if (step == FAR_STEP) {
                i = farFrom[static_cast<size_t>(i)];
                at = subTile(i);
            } else {
                i -= offsets[step];
                at = {at.x - DIRECTIONS[step].x, at.y - DIRECTIONS[step].y};
            }
        }
        return SubTilePath(backwards.rbegin(), backwards.rend());
    }

private:
    SubTilePath backwards;  // reused
};

SearchMarks marks;
std::vector<std::pair<V2i, int>> fifo;  // breadth-first queue of (sub-tile, depth), reused

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

bool laterByEstimate(const OpenEntry& a, const OpenEntry& b) { return a.f > b.f; }

bool laterByEstimateThenPlace(const OpenEntry& a, const OpenEntry& b) {
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

bool laterPackedByEstimate(const uint64_t& a, const uint64_t& b) {
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

Frontier<true, laterByEstimateThenPlace> unitOpenList;
Frontier<false, laterByEstimate> plainOpenList;

// The neighbours of one expansion, in a fixed array so that a search allocates nothing per node.
struct Neighbours {
    V2i at[8];
    int count = 0;
    const V2i* begin() const { return at; }
    const V2i* end() const { return at + count; }
};

bool usesBuiltInNeighbours() { return Neighbors == nullptr || Neighbors == neighbors8; }

// The engine hook's neighbours; the built-in rule (neighbors8) is applied here without its vector.
Neighbours neighboursOf(const Grid& grid, V2i sub, Tile movementClass) {
    Neighbours out;
    if (!usesBuiltInNeighbours()) {
        for (V2i n : Neighbors(grid, sub, movementClass))
            if (out.count < 8) out.at[out.count++] = n;
        return out;
    }
    for (const V2i& d : DIRECTIONS) {
        const V2i n{sub.x + d.x, sub.y + d.y};
        if (n.x < 0 || n.y < 0 || n.x >= MAP_W * 4 || n.y >= MAP_H * 4) continue;
        if (canEnter(grid.at(n.x >> 2, n.y >> 2), movementClass)) out.at[out.count++] = n;
    }
    return out;
}

// True only when the full search would find no path: its goal lies in another region of the grid.
bool refusedAtOnce(const Grid& grid, V2i start, V2i goal, Tile movementClass) {
    return usesBuiltInNeighbours() && cannotReach(grid, start, goal, movementClass, movementClass != Tile::Any, false);
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

// Which steps leave one tile under the rules of one search: bit k for the neighbour tile in direction k, set when
// that tile is on the map, may be entered and (with the height rule) is no height border; bit 8 when the tile
// itself may be entered. Worked out once per tile and search, stamped with the search it belongs to.
struct TileSteps {
    uint32_t stamp = 0;
    uint16_t mask = 0;
};

std::vector<TileSteps> tileSteps;
uint32_t tileStepsStamp = 0;
constexpr int OWN_TILE_BIT = 8;

// The steps a sub-tile may take, by its place in its tile (row-major, 4 by 4) and the mask of its tile: a step
// that stays in the tile needs the tile itself, one that leaves it the neighbour tile it lands on.
using SubTileSteps = std::array<std::array<uint8_t, 1 << (OWN_TILE_BIT + 1)>, 16>;

const SubTileSteps& subTileSteps() {
    static const SubTileSteps table = [] {
        SubTileSteps t{};
        for (int place = 0; place < 16; ++place) {
            for (int mask = 0; mask < (1 << (OWN_TILE_BIT + 1)); ++mask) {
                uint8_t steps = 0;
                for (int k = 0; k < 8; ++k) {
                    const int ex = (place & 3) + DIRECTIONS[k].x;
                    const int ey = (place >> 2) + DIRECTIONS[k].y;
                    const V2i over{ex < 0 ? -1 : ex > 3 ? 1 : 0, ey < 0 ? -1 : ey > 3 ? 1 : 0};
                    int bit = OWN_TILE_BIT;
                    for (int j = 0; j < 8 && !(over == V2i{0, 0}); ++j)
                        if (DIRECTIONS[j] == over) bit = j;
                    if (mask >> bit & 1) steps = static_cast<uint8_t>(steps | 1 << k);
                }
                t[static_cast<size_t>(place)][static_cast<size_t>(mask)] = steps;
            }
        }
        return t;
    }();
    return table;
}

// The step rules of one search: the neighbours (from the engine hook, or the built-in 8 for the multi-goal
// search), the sub-grid bounds and, when heightRule holds, the height borders. On a whole grid with the built-in
// neighbours they are read from the tile array, a tile's steps once per search.
struct StepRules {
    const Grid& grid;
    Tile movementClass;
    bool heightRule;
    bool viaHook;
    const TileInstance* tiles = nullptr;  // set when the direct reading applies
    TileSteps* known = nullptr;           // the steps worked out, by tile
    const SubTileSteps* bySubTile = nullptr;
    std::vector<uint32_t>* worked = nullptr;  // when set, the tiles whose steps this search works out, in order
    uint32_t stamp = 0;
    int mapWidth = 0;
    int subWidth = 0;
    int offsets[8] = {};  // from a sub-tile's index to its neighbours', in direction order

    StepRules(const Grid& g, Tile cls, bool heights, bool hook)
        : grid(g), movementClass(cls), heightRule(heights), viaHook(hook) {
        const bool whole = MAP_W > 0 && MAP_H > 0 && SUB_MAP_W == MAP_W * 4 && SUB_MAP_H == MAP_H * 4 &&
                           g.tiles.size() >= static_cast<size_t>(MAP_W) * static_cast<size_t>(MAP_H);
        if (!whole || (hook && !usesBuiltInNeighbours())) return;
        tiles = g.tiles.data();
        const size_t count = static_cast<size_t>(MAP_W) * static_cast<size_t>(MAP_H);
        if (tileSteps.size() != count) tileSteps.assign(count, TileSteps{});
        if (++tileStepsStamp == 0) {
            for (TileSteps& t : tileSteps) t.stamp = 0;
            tileStepsStamp = 1;
        }
        stamp = tileStepsStamp;
        known = tileSteps.data();
        bySubTile = &subTileSteps();
        mapWidth = MAP_W;
        subWidth = SUB_MAP_W;
        for (int k = 0; k < 8; ++k) offsets[k] = DIRECTIONS[k].y * subWidth + DIRECTIONS[k].x;
    }

    template <typename Visit>
    void forEachStep(V2i cur, Visit visit) const {
        if (!tiles) return forEachStepSlowly(cur, visit);
        const uint8_t steps = stepsFrom(cur);
        const int c = cur.y * subWidth + cur.x;
        for (int k = 0; k < 8; ++k)
            if (steps >> k & 1)
                visit(V2i{cur.x + DIRECTIONS[k].x, cur.y + DIRECTIONS[k].y}, c + offsets[k], static_cast<uint32_t>(k));
    }

    // Bit k set when a walk may step from the sub-tile (on the grid) in direction k; the direct reading only.
    uint8_t stepsFrom(V2i sub) const {
        return (*bySubTile)[static_cast<size_t>((sub.y & 3) << 2 | (sub.x & 3))][stepsOf(sub.x >> 2, sub.y >> 2)];
    }

    // The steps leaving tile i, as read from the tiles now; all that a search learns of the ground.
    uint16_t stepsLeaving(size_t i, int tx, int ty) const {
        const TileInstance& from = tiles[i];
        uint16_t mask = canEnter(from, movementClass) ? uint16_t{1} << OWN_TILE_BIT : 0;
        for (int k = 0; k < 8; ++k) {
            const int nx = tx + DIRECTIONS[k].x;
            const int ny = ty + DIRECTIONS[k].y;
            if (!isOnMap(nx, ny)) continue;
            const TileInstance& to = tiles[static_cast<size_t>(ny) * mapWidth + nx];
            if (!canEnter(to, movementClass)) continue;
            if (heightRule && from.heightLevel != to.heightLevel && from.ramp == 0 && to.ramp == 0) continue;
            mask = static_cast<uint16_t>(mask | 1 << k);
        }
        return mask;
    }

private:
    uint16_t stepsOf(int tx, int ty) const {
        const size_t i = static_cast<size_t>(ty) * mapWidth + tx;
        return known[i].stamp == stamp ? known[i].mask : workOutSteps(i, tx, ty);
    }

    // Out of line, so that the look-up above stays small where every expansion inlines it.
    __attribute__((noinline)) uint16_t workOutSteps(size_t i, int tx, int ty) const {
        const uint16_t mask = stepsLeaving(i, tx, ty);
        known[i] = {stamp, mask};
        if (worked) worked->push_back(static_cast<uint32_t>(i));
        return mask;
    }

    // The index in DIRECTIONS of the step from one sub-tile to the other, or FAR_STEP.
    static uint32_t stepBetween(V2i from, V2i to) {
        for (uint32_t k = 0; k < 8; ++k)
            if (V2i{from.x + DIRECTIONS[k].x, from.y + DIRECTIONS[k].y} == to) return k;
        return FAR_STEP;
    }

    template <typename Visit>
    void forEachStepSlowly(V2i cur, Visit visit) const {
        Neighbours out;
        if (viaHook) {
            out = neighboursOf(grid, cur, movementClass);
        } else {
            for (const V2i& d : DIRECTIONS) {
                const V2i n{cur.x + d.x, cur.y + d.y};
                if (isValidSubTile(n) && grid.walkable(n.x / 4, n.y / 4, movementClass)) out.at[out.count++] = n;
            }
        }
        for (V2i n : out) {
            if (!isValidSubTile(n)) continue;
            if (heightRule && !heightBorderAllows(grid, cur, n)) continue;
            visit(n, n.y * SUB_MAP_W + n.x, stepBetween(cur, n));
        }
    }
};

bool isFreeFor(V2i sub, int unitId) {
    int holder = isSubTileReserved(sub);
    return holder == FREE_SUB_TILE || holder == unitId;
}

// isFreeFor by a sub-tile's index, read through a copy of the array's bounds that the searches' own stores
// cannot change, so that it is not read again after each of them.
struct Reservations {
    const int32_t* holders = reservedTiles.data();
    size_t count = reservedTiles.size();
    bool freeFor(int index, int unitId) const {
        const int holder = static_cast<size_t>(index) < count ? holders[index] : OFF_GRID_SUB_TILE;
        return holder == FREE_SUB_TILE || holder == unitId;
    }
};

// A sub-tile's index, or -1 off the sub-grid, where no step lands.
int indexOnGrid(V2i sub) { return isValidSubTile(sub) ? sub.y * SUB_MAP_W + sub.x : -1; }

// Starts a search at start; false when the start is off the sub-grid.
bool beginSearch(V2i start) {
    if (!isValidSubTile(start)) return false;
    marks.begin();
    marks.reach(marks.index(start));
    return true;
}

// A relaxation of the A* family: false when n already has a step count no greater than g.
bool improves(int n, int g) { return !marks.seen(n) || marks.gScore(n) > g; }

// The goals' bounding box: a sub-tile outside it is no goal, without a look through the list.
struct GoalBox {
    V2i low;
    V2i high;
};

GoalBox boxAround(const std::vector<V2i>& goals) {
    GoalBox box{goals.front(), goals.front()};
    for (const V2i& g : goals) {
        box.low = {std::min(box.low.x, g.x), std::min(box.low.y, g.y)};
        box.high = {std::max(box.high.x, g.x), std::max(box.high.y, g.y)};
    }
    return box;
}

bool inBox(const GoalBox& box, V2i p) {
    return p.x >= box.low.x && p.x <= box.high.x && p.y >= box.low.y && p.y <= box.high.y;
}

// The A* loop the searches share: estimates aim at one sub-tile, a popped sub-tile that isGoal accepts ends the
// search, mayEnter filters the steps, and with maxDepth set a node that deep answers with its partial path.
template <typename OpenList, typename IsGoal, typename MayEnter>
std::optional<SubTilePath> searchTowards(OpenList& open, const StepRules& rules, V2i start, V2i aim, IsGoal isGoal,
                                         MayEnter mayEnter, int maxDepth) {
    if (!beginSearch(start)) return std::nullopt;
    // A step moves at most one sub-tile along each axis, so with the built-in steps no f falls below this.
    open.start(aim, std::max(std::abs(int64_t{aim.x} - start.x), std::abs(int64_t{aim.y} - start.y)));
    open.push({manhattan(start, aim), 0, start.x, start.y});
    while (!open.empty()) {
        OpenEntry entry = open.pop();
        V2i cur{entry.x, entry.y};
        int c = marks.index(cur);
        if (isGoal(cur)) return marks.pathTo(c);
        if (maxDepth != 0 && entry.g >= maxDepth) return marks.pathTo(c);
        if (!marks.expandsAnew(c)) continue;
        ++pathNodesExpanded;
        int g = marks.gScore(c) + 1;
        // Inlined by force: a call per step costs more than the step.
        rules.forEachStep(cur, [&](V2i n, int ni, uint32_t step) __attribute__((always_inline)) {
            if (!improves(ni, g)) return;
            if (!mayEnter(n, ni)) return;
            marks.reach(ni, c, step, g);
            open.push({g + manhattan(n, aim), g, n.x, n.y});
        });
    }
    return std::nullopt;
}

bool anyStep(V2i, int) { return true; }

// Cells a pocket search looks at before it gives up and leaves the answer to the full search.
constexpr size_t POCKET_CELLS = 64;

// True when the walks from `from` onto free ground, at most `limit` steps long, run out within POCKET_CELLS
// sub-tiles without meeting `to`; false once they meet it or the pocket grows past that size.
bool pocketRunsOut(const StepRules& rules, V2i from, V2i to, int unitId, int limit) {
    marks.begin();
    fifo.clear();
    marks.reach(marks.index(from));
    fifo.push_back({from, 0});
    const Reservations reservations;
    bool met = false;
    for (size_t head = 0; head < fifo.size() && !met; ++head) {
        if (fifo.size() > POCKET_CELLS) return false;
        const auto [at, depth] = fifo[head];
        if (depth >= limit) continue;
        rules.forEachStep(at, [&, depth = depth](V2i n, int ni, uint32_t) {
            if (met || marks.seen(ni)) return;
            if (n == to) met = true;
            if (!reservations.freeFor(ni, unitId)) return;
            marks.reach(ni);
            fifo.push_back({n, depth + 1});
        });
    }
    return !met;
}

// True when goal lies in a small pocket that start cannot enter: the sub-tiles from which a unit could step on
// towards goal, followed back from it, run out without meeting start. Steps between sub-tiles the unit may
// enter are the same both ways, so a walk from start would have met this pocket's edge from outside; without
// the built-in neighbours, or from ground the unit may not enter, nothing is claimed.
bool sealedOff(const Grid& grid, const StepRules& rules, V2i start, V2i goal, int unitId) {
    if (!rules.tiles || start == goal || !isValidSubTile(start) || !isValidSubTile(goal)) return false;
    if (!canEnter(grid.at(start.x >> 2, start.y >> 2), rules.movementClass)) return false;
    if (!canEnter(grid.at(goal.x >> 2, goal.y >> 2), rules.movementClass)) return false;
    return pocketRunsOut(rules, goal, start, unitId, INT_MAX);
}

// ---- The bounded breadth-first path, found from the goal's side ----
// Among the shortest paths, breadth-first order returns the one whose steps, read as indices into DIRECTIONS,
// are least in dictionary order. So the steps to the goal of the sub-tiles near the shortest paths are enough to
// walk it from the start, and a search from the goal aimed at the start finds them without flooding the whole
// depth. Only for the built-in neighbours on a whole grid (rules.tiles), where a step's rule is known both ways.

std::vector<std::vector<int32_t>> goalSideBuckets;  // open sub-tiles by estimate, steps + distance to the start

int32_t chebyshev(V2i a, V2i b) { return std::max(std::abs(a.x - b.x), std::abs(a.y - b.y)); }

// Whether a walk may take step k from a sub-tile with the ground's steps `out` onto `to`, the step's own rule of
// the breadth-first search.
bool mayStepOnto(const Reservations& reservations, uint8_t out, int k, V2i to, V2i goal, int unitId) {
    return (out >> k & 1) && (to == goal || reservations.freeFor(marks.index(to), unitId));
}

// The direction opposite to direction k.
int opposite(int k) { return (k + 4) & 7; }

// Steps to the goal, exact for every sub-tile whose steps plus distance to the start is at most the answer,
// searched from the goal with the distance to the start as the estimate (consistent: a step changes it by at
// most one); a sub-tile is settled when its expansion mark is set. The start is an end, never a way through.
// Answers the start's steps, or -1 past the limit.
int32_t stepsFromStart(const StepRules& rules, V2i start, V2i goal, int unitId, int32_t limit) {
    const Reservations reservations;
    marks.begin();
    goalSideBuckets.resize(static_cast<size_t>(limit) + 1);
    for (std::vector<int32_t>& b : goalSideBuckets) b.clear();
    marks.reach(marks.index(goal), -1, NO_STEP, 0);
    goalSideBuckets[static_cast<size_t>(chebyshev(goal, start))].push_back(marks.index(goal));
    int32_t found = -1;
    for (int32_t f = 0; f <= limit && (found == -1 || f <= found); ++f) {
        std::vector<int32_t>& bucket = goalSideBuckets[static_cast<size_t>(f)];
        for (size_t k = 0; k < bucket.size(); ++k) {
            const int32_t i = bucket[k];
            if (!marks.expandsAnew(i)) continue;
            const V2i at = marks.subTile(i);
            if (at == start) {
                found = marks.gScore(i);
                continue;
            }
            const int32_t steps = marks.gScore(i) + 1;
            // Steps are the same both ways between sub-tiles a walk may enter: the way in from a neighbour is
            // the way out to it.
            const uint8_t out = rules.stepsFrom(at);
            for (int k = 0; k < 8; ++k) {
                const V2i from{at.x - DIRECTIONS[k].x, at.y - DIRECTIONS[k].y};
                if (from == goal || !isValidSubTile(from)) continue;
                const bool allowed = from == start ? !rules.heightRule || heightBorderAllows(rules.grid, from, at)
                                                   : mayStepOnto(reservations, out, opposite(k), from, goal, unitId);
                if (!allowed) continue;
                const int32_t n = marks.index(from);
                if (marks.seen(n) && marks.gScore(n) <= steps) continue;
                const int32_t estimate = steps + chebyshev(from, start);
                if (estimate > limit) continue;
                marks.reach(n, -1, NO_STEP, steps);
                goalSideBuckets[static_cast<size_t>(estimate)].push_back(n);
            }
        }
    }
    return found;
}

// The path a breadth-first search capped at maxDepth (above 0) finds from start to goal, both on the grid and
// apart, once the cheap refusals have passed.
std::optional<SubTilePath> boundedPathFromGoalSide(const StepRules& rules, V2i start, V2i goal, int unitId,
                                                   int maxDepth) {
    if (!isValidSubTile(goal) || !canEnter(rules.grid.at(goal.x >> 2, goal.y >> 2), rules.movementClass))
        return std::nullopt;
    const int32_t limit = maxDepth - 1;
    // A unit hemmed in by the crowd: the search from the goal would flood the goal's side instead.
    if (pocketRunsOut(rules, start, goal, unitId, limit)) return std::nullopt;
    const int32_t length = stepsFromStart(rules, start, goal, unitId, limit);
    if (length < 0) return std::nullopt;
    const Reservations reservations;
    SubTilePath path{start};
    V2i at = start;
    for (int32_t left = length - 1; left >= 0; --left) {
        const uint8_t out = rules.stepsFrom(at);
        for (int k = 0; k < 8; ++k) {
            const V2i next{at.x + DIRECTIONS[k].x, at.y + DIRECTIONS[k].y};
            if (next == start || !mayStepOnto(reservations, out, k, next, goal, unitId)) continue;
            const int32_t n = marks.index(next);
            if (!marks.seen(n) || !marks.expanded(n) || marks.gScore(n) != left) continue;
            at = next;
            break;
        }
        path.push_back(at);
    }
    return path;
}

// ---- Repeated reach-square searches ----
// A unit held up near its path's end gives up and asks again, a few ticks later, for the same square from the same
// sub-tile. Such a search is terrain-only, and it reads the ground only through the step masks of the tiles it
// expands from (StepRules::stepsLeaving): while each of those tiles still has the mask it had, every expansion
// offers the same steps in the same order, so the search pushes and pops the same entries, works out the same
// tiles and ends on the same path. A found path also means the region check cannot refuse: it refuses only on
// labels brought up to date, and the path joins the start's tile to a goal's under the same steps. So an answer
// is reused only after every mask it was found with is worked out again from the tiles and found equal.

struct ReachQuery {
    V2i start;
    V2i centre;
    int reach = 0;
    Tile movementClass = Tile::None;
    int mapW = 0;
    int mapH = 0;
    int subMapW = 0;
    int subMapH = 0;
    const Grid* grid = nullptr;  // which grid, though its masks are checked all the same

    bool operator==(const ReachQuery& o) const {
        return start == o.start && centre == o.centre && reach == o.reach && movementClass == o.movementClass &&
               mapW == o.mapW && mapH == o.mapH && subMapW == o.subMapW && subMapH == o.subMapH && grid == o.grid;
    }

    uint64_t hash() const {
        uint64_t h = 0;
        const int64_t fields[] = {start.x, start.y, centre.x, centre.y, reach, static_cast<int64_t>(movementClass),
                                  mapW, mapH};
        for (int64_t f : fields) h = (h ^ static_cast<uint64_t>(f)) * 0x9E3779B97F4A7C15ull;
        // The products' low bits depend on the fields' low bits only: the high ones are folded down.
        h ^= h >> 32;
        h *= 0xD6E8FEB86659FD93ull;
        return h ^ h >> 32;
    }
};

// A tile whose steps a search worked out, and the mask it found.
struct WorkedTile {
    uint32_t index = 0;
    uint16_t steps = 0;
};

// One answer and the masks it was found with.
struct KeptReach {
    uint32_t generation = 0;  // kept by that generation of the cache; older ones are empty
    ReachQuery query;
    SubTilePath path;
    std::vector<WorkedTile> worked;
};

// Direct-mapped, one answer per slot: a new answer takes the slot of its query's hash from the one held. Long
// answers, and those found over more tiles than a battle's repeated ones, are not kept: the size stays bounded.
constexpr size_t MAX_KEPT_TILES = 128;
static_assert((REACH_SQUARE_SLOTS & (REACH_SQUARE_SLOTS - 1)) == 0, "slots are picked by the hash's low bits");

class ReachAnswers {
public:
    KeptReach& slotOf(const ReachQuery& query) {
        if (slots.empty()) slots.resize(REACH_SQUARE_SLOTS);
        return slots[query.hash() & (REACH_SQUARE_SLOTS - 1)];
    }
    bool holds(const KeptReach& slot, const ReachQuery& query) const {
        return slot.generation == generation && slot.query == query;
    }
    void keep(KeptReach& slot, const ReachQuery& query, const SubTilePath& path, const std::vector<uint32_t>& tiles,
              const TileSteps* known) {
        if (path.size() > REACH_SQUARE_KEPT_STEPS || tiles.size() > MAX_KEPT_TILES) return;
        slot.generation = generation;
        slot.query = query;
        slot.path = path;
        slot.worked.resize(tiles.size());
        for (size_t i = 0; i < tiles.size(); ++i) slot.worked[i] = {tiles[i], known[tiles[i]].mask};
    }
    void forgetAll() {
        if (++generation != 0) return;
        for (KeptReach& slot : slots) slot.generation = 0;
        generation = 1;
    }
    size_t kept() const {
        return static_cast<size_t>(std::count_if(slots.begin(), slots.end(),
                                                 [&](const KeptReach& s) { return s.generation == generation; }));
    }

private:
    std::vector<KeptReach> slots;
    uint32_t generation = 1;
};

ReachAnswers reachAnswers;
std::vector<uint32_t> workedTiles;  // reused

// True when every tile the answer was found over still offers the steps it offered then.
bool groundAsKept(const StepRules& rules, const KeptReach& slot) {
    const size_t width = static_cast<size_t>(rules.mapWidth);
    for (const WorkedTile& t : slot.worked) {
        const int tx = static_cast<int>(t.index % width);
        const int ty = static_cast<int>(t.index / width);
        if (rules.stepsLeaving(t.index, tx, ty) != t.steps) return false;
    }
    return true;
}

}  // namespace

long long pathNodesExpanded = 0;

size_t keptReachSquarePaths() { return reachAnswers.kept(); }

void forgetReachSquarePaths() { reachAnswers.forgetAll(); }

std::optional<SubTilePath> astar(const Grid& grid, V2i start, V2i goal, Tile movementClass, int unitId,
                                 int maxDepth) {
    // A depth-limited search answers with its partial path even when the goal is out of reach.
    if (maxDepth == 0 && refusedAtOnce(grid, start, goal, movementClass)) return std::nullopt;
    const StepRules rules(grid, movementClass, movementClass != Tile::Any, true);
    if (maxDepth == 0 && sealedOff(grid, rules, start, goal, unitId)) return std::nullopt;
    const auto mayEnter = [goalIndex = indexOnGrid(goal), reservations = Reservations(), unitId](V2i, int ni) {
        return ni == goalIndex || reservations.freeFor(ni, unitId);
    };
    return searchTowards(unitOpenList, rules, start, goal, [&](V2i p) { return p == goal; }, mayEnter, maxDepth);
}

std::optional<SubTilePath> astarPure(const Grid& grid, V2i start, V2i goal, Tile movementClass) {
    const StepRules rules(grid, movementClass, false, true);
    return searchTowards(plainOpenList, rules, start, goal, [&](V2i p) { return p == goal; }, anyStep, 0);
}

std::optional<SubTilePath> astarMultiGoal(const Grid& grid, V2i start, const std::vector<V2i>& goals,
                                          Tile movementClass) {
    if (goals.empty() || cannotReachAny(grid, start, goals, movementClass, true, false)) return std::nullopt;
    const GoalBox box = boxAround(goals);
    // Bounded by the map's own sub-grid, whatever its size; height borders hold for every class.
    const StepRules rules(grid, movementClass, true, false);
    const auto isGoal = [&](V2i p) {
        return inBox(box, p) && std::find(goals.begin(), goals.end(), p) != goals.end();
    };
    return searchTowards(plainOpenList, rules, start, goals.front(), isGoal, anyStep, 0);
}

std::optional<SubTilePath> astarToReachSquare(const Grid& grid, V2i start, const ReachSquare& goals,
                                              Tile movementClass) {
    if (goals.reach < 1) return std::nullopt;
    // A unit already in reach pops its own sub-tile first: no search, nothing worth keeping.
    if (goals.contains(start)) return isValidSubTile(start) ? std::optional<SubTilePath>{{start}} : std::nullopt;
    StepRules rules(grid, movementClass, true, false);
    // Only the direct reading of a whole grid works out masks; the slow one reads the tiles otherwise.
    const ReachQuery query{start, goals.centre, goals.reach, movementClass, MAP_W, MAP_H, SUB_MAP_W, SUB_MAP_H, &grid};
    KeptReach* slot = rules.tiles ? &reachAnswers.slotOf(query) : nullptr;
    if (slot && reachAnswers.holds(*slot, query) && groundAsKept(rules, *slot)) return slot->path;
    if (cannotReachSquare(grid, start, goals, movementClass, true, false)) return std::nullopt;
    const V2i first{goals.centre.x - goals.reach, goals.centre.y - goals.reach};
    workedTiles.clear();
    rules.worked = slot ? &workedTiles : nullptr;
    auto path = searchTowards(
        plainOpenList, rules, start, first, [&](V2i p) { return goals.contains(p); }, anyStep, 0);
    if (slot && path) reachAnswers.keep(*slot, query, *path, workedTiles, rules.known);
    return path;
}

std::optional<SubTilePath> simpleBFS(const Grid& grid, V2i start, V2i goal, Tile movementClass, int unitId,
                                     int maxDepth) {
    // Each step moves at most one sub-tile along each axis, so a goal that many steps away is out of reach.
    const int64_t steps = std::max(std::abs(int64_t{goal.x} - start.x), std::abs(int64_t{goal.y} - start.y));
    if (maxDepth > 0 && steps >= maxDepth) return std::nullopt;
    if (refusedAtOnce(grid, start, goal, movementClass)) return std::nullopt;
    const StepRules rules(grid, movementClass, movementClass != Tile::Any, true);
    if (sealedOff(grid, rules, start, goal, unitId)) return std::nullopt;
    if (!beginSearch(start)) return std::nullopt;
    if (start == goal) return SubTilePath{start};
    if (maxDepth > 0 && rules.tiles) return boundedPathFromGoalSide(rules, start, goal, unitId, maxDepth);
    // The goal's way back is fixed when it is first reached: the answer is known then, and no sub-tile as deep
    // as the cap is ever expanded.
    const int goalIndex = indexOnGrid(goal);
    const int depthCap = maxDepth > 0 ? maxDepth : INT_MAX;
    const Reservations reservations;
    fifo.clear();
    fifo.push_back({start, 0});
    bool metGoal = false;
    int goalDepth = 0;
    for (size_t head = 0; head < fifo.size() && !metGoal; ++head) {
        const auto [cur, depth] = fifo[head];
        const int c = marks.index(cur);
        rules.forEachStep(cur, [&, c = c, depth = depth](V2i n, int ni, uint32_t step) {
            if (metGoal || marks.seen(ni)) return;
            if (ni != goalIndex && !reservations.freeFor(ni, unitId)) return;
            marks.reach(ni, c, step, depth + 1);
            if (ni == goalIndex) {
                metGoal = true;
                goalDepth = depth + 1;
            } else if (depth + 1 < depthCap) {
                fifo.push_back({n, depth + 1});
            }
        });
    }
    if (!metGoal || goalDepth >= depthCap) return std::nullopt;
    return marks.pathTo(goalIndex);
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
    marks.reach(marks.index(target));
    fifo.push_back({target, 0});
    for (size_t head = 0; head < fifo.size(); ++head) {
        V2i cur = fifo[head].first;
        for (const V2i& d : FREE_TILE_ORDER) {
            V2i n{cur.x + d.x, cur.y + d.y};
            if (!isValidSubTile(n) || !onOwnTerrain(grid, n, movementClass)) continue;
            int ni = marks.index(n);
            if (marks.seen(ni)) continue;
            marks.reach(ni);
            if (n == origin) continue;
            // The search spreads under buildings and objects but never ends there: no walk could.
            if (mayStandOn(grid, n, movementClass, unitId)) return n;
            fifo.push_back({n, 0});
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
