// Path search speed on a 128 by 128 tile map: our astar against the Boost Graph Library's A* on the same queries,
// and the searches of an army packed in a crowd.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <random>
#include <vector>

#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/astar_search.hpp>

#include "config.h"
#include "map.h"
#include "units.h"
#include "units_regions.h"

namespace {

constexpr int TILES = 128;
constexpr int SUBS = TILES * 4;
constexpr int MOVER = 2;

using Graph = boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS, boost::no_property,
                                    boost::property<boost::edge_weight_t, int>>;
using Vertex = boost::graph_traits<Graph>::vertex_descriptor;

struct Query {
    V2i start;
    V2i goal;
};

struct World {
    Graph graph{SUBS * SUBS};
    std::vector<Query> reachable;
    Query unreachable;
};

int vertexOf(V2i sub) { return sub.y * SUBS + sub.x; }

bool heightAllows(V2i from, V2i to) {
    const TileInstance& a = grid.at(from.x / 4, from.y / 4);
    const TileInstance& b = grid.at(to.x / 4, to.y / 4);
    return (from.x / 4 == to.x / 4 && from.y / 4 == to.y / 4) || a.heightLevel == b.heightLevel || a.ramp ||
           b.ramp;
}

// Walls of blocked tiles, raised plateaus with a few ramps, and a walled pocket no one can enter.
void buildMap(std::mt19937& rng) {
    MAP_W = MAP_H = TILES;
    SUB_MAP_W = SUB_MAP_H = SUBS;
    TILE_SIZE = 140;
    SUBDIVISIONS = 4;
    SUB_TILE_SIZE = 35;
    grid.tiles.assign(TILES * TILES, TileInstance{Tile::Grass, 0, 0, 1, 0, {}});
    reservedTiles.assign(SUBS * SUBS, 0);
    std::uniform_int_distribution<int> at(0, TILES - 1);
    std::uniform_int_distribution<int> length(4, 30);
    for (int wall = 0; wall < 160; ++wall) {
        int x = at(rng), y = at(rng), n = length(rng);
        bool across = wall % 2 == 0;
        for (int i = 0; i < n; ++i) grid.at(across ? x + i : x, across ? y : y + i).walkable = 0;
    }
    for (int hill = 0; hill < 25; ++hill) {
        int x = at(rng), y = at(rng), w = length(rng) / 2, h = length(rng) / 2;
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) grid.at(x + i, y + j).heightLevel = 1;
        grid.at(x, y + h / 2).ramp = 1;
        grid.at(x + w - 1, y + h / 2).ramp = 1;
    }
    for (int j = 60; j <= 64; ++j)
        for (int i = 60; i <= 64; ++i) {
            grid.at(i, j).walkable = (i == 60 || i == 64 || j == 60 || j == 64) ? 0 : 1;
            grid.at(i, j).heightLevel = 0;
        }
}

// The same moves astar may make on an empty reservation grid, as a weighted graph.
void addMoves(Graph& g) {
    for (int y = 0; y < SUBS; ++y)
        for (int x = 0; x < SUBS; ++x)
            for (V2i n : neighbors8(grid, {x, y}, Tile::Grass))
                if (heightAllows({x, y}, n)) boost::add_edge(vertexOf({x, y}), vertexOf(n), 1, g);
}

V2i randomWalkable(std::mt19937& rng) {
    std::uniform_int_distribution<int> at(0, SUBS - 1);
    for (;;) {
        V2i s{at(rng), at(rng)};
        if (grid.at(s.x / 4, s.y / 4).walkable) return s;
    }
}

World& world() {
    static World* built = [] {
        auto* w = new World;
        std::mt19937 rng(7);
        buildMap(rng);
        Neighbors = neighbors8;
        addMoves(w->graph);
        while (w->reachable.size() < 24) {
            Query q{randomWalkable(rng), randomWalkable(rng)};
            if (std::abs(q.start.x - q.goal.x) + std::abs(q.start.y - q.goal.y) < 300) continue;
            if (astar(grid, q.start, q.goal, Tile::Grass, MOVER, 0)) w->reachable.push_back(q);
        }
        w->unreachable = {w->reachable.front().start, {62 * 4 + 1, 62 * 4 + 1}};
        return w;
    }();
    return *built;
}

struct FoundGoal {};

class StopAtGoal : public boost::default_astar_visitor {
public:
    explicit StopAtGoal(Vertex goal) : goal(goal) {}
    void examine_vertex(Vertex v, const Graph&) const {
        if (v == goal) throw FoundGoal{};
    }

private:
    Vertex goal;
};

class ManhattanToGoal : public boost::astar_heuristic<Graph, int> {
public:
    explicit ManhattanToGoal(V2i goal) : goal(goal) {}
    int operator()(Vertex v) const {
        int x = static_cast<int>(v) % SUBS, y = static_cast<int>(v) / SUBS;
        return std::abs(x - goal.x) + std::abs(y - goal.y);
    }

private:
    V2i goal;
};

// Sub-tiles on the library's path, start and goal included; 0 when it finds none.
size_t boostPathLength(World& w, const Query& q, std::vector<Vertex>& previous, std::vector<int>& distance) {
    Vertex start = vertexOf(q.start);
    Vertex goal = vertexOf(q.goal);
    try {
        boost::astar_search(w.graph, start, ManhattanToGoal(q.goal),
                            boost::predecessor_map(previous.data()).distance_map(distance.data()).visitor(
                                StopAtGoal(goal)));
    } catch (const FoundGoal&) {
        size_t length = 1;
        for (Vertex v = goal; v != start; v = previous[v]) ++length;
        return length;
    }
    return 0;
}

size_t oursPathLength(const Query& q) {
    std::optional<SubTilePath> path = astar(grid, q.start, q.goal, Tile::Grass, MOVER, 0);
    return path ? path->size() : 0;
}

void BM_AstarOurs(benchmark::State& state) {
    World& w = world();
    for (auto _ : state)
        for (const Query& q : w.reachable) benchmark::DoNotOptimize(oursPathLength(q));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(w.reachable.size()));
}

void BM_AstarBoost(benchmark::State& state) {
    World& w = world();
    std::vector<Vertex> previous(SUBS * SUBS);
    std::vector<int> distance(SUBS * SUBS);
    for (auto _ : state)
        for (const Query& q : w.reachable) benchmark::DoNotOptimize(boostPathLength(w, q, previous, distance));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(w.reachable.size()));
}

void BM_AstarUnreachableOurs(benchmark::State& state) {
    World& w = world();
    for (auto _ : state) benchmark::DoNotOptimize(oursPathLength(w.unreachable));
}

void BM_AstarUnreachableBoost(benchmark::State& state) {
    World& w = world();
    std::vector<Vertex> previous(SUBS * SUBS);
    std::vector<int> distance(SUBS * SUBS);
    for (auto _ : state) benchmark::DoNotOptimize(boostPathLength(w, w.unreachable, previous, distance));
}

// Both searches on every query in each iteration: the time ratio (ours / library) and how many path
// lengths agree, in one run.
void BM_AstarRatioToBoost(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    World& w = world();
    std::vector<Query> queries = w.reachable;
    queries.push_back(w.unreachable);
    std::vector<Vertex> previous(SUBS * SUBS);
    std::vector<int> distance(SUBS * SUBS);
    double ours = 0, library = 0;
    int same = 0, compared = 0;
    for (auto _ : state) {
        for (const Query& q : queries) {
            auto t0 = Clock::now();
            size_t a = oursPathLength(q);
            auto t1 = Clock::now();
            size_t b = boostPathLength(w, q, previous, distance);
            auto t2 = Clock::now();
            ours += std::chrono::duration<double>(t1 - t0).count();
            library += std::chrono::duration<double>(t2 - t1).count();
            same += a == b;
            ++compared;
        }
    }
    state.counters["ours_ms_per_query"] = 1000.0 * ours / compared;
    state.counters["boost_ms_per_query"] = 1000.0 * library / compared;
    state.counters["ratio"] = ours / library;
    state.counters["same_length"] = static_cast<double>(same) / compared;
}

// An army on the map: every other sub-tile of a square held by a unit of its own, and where it is sent.
struct Crowd {
    std::vector<V2i> members;
    V2i target;
};

constexpr int FIRST_MEMBER_ID = 10;
constexpr int CROWD_SIDE = 48;
constexpr size_t TARGET_STEPS = 60;

// Round the start of a query that has a path, sent to the first sub-tile it reaches some way off.
Crowd& crowd() {
    static Crowd* built = [] {
        const Query& q = world().reachable.front();
        auto* c = new Crowd;
        const V2i corner{std::clamp(q.start.x - CROWD_SIDE / 2, 0, SUBS - CROWD_SIDE),
                         std::clamp(q.start.y - CROWD_SIDE / 2, 0, SUBS - CROWD_SIDE)};
        for (int y = corner.y; y < corner.y + CROWD_SIDE; ++y)
            for (int x = corner.x + y % 2; x < corner.x + CROWD_SIDE; x += 2)
                if (grid.at(x / 4, y / 4).walkable) c->members.push_back({x, y});
        c->target = astar(grid, q.start, q.goal, Tile::Grass, MOVER, 0)->at(TARGET_STEPS);
        return c;
    }();
    return *built;
}

int memberId(size_t i) { return FIRST_MEMBER_ID + static_cast<int>(i); }

// Holds the crowd's sub-tiles for the benchmark's run.
struct CrowdOnTheMap {
    const Crowd& c = crowd();
    CrowdOnTheMap() { hold(true); }
    ~CrowdOnTheMap() { hold(false); }
    void hold(bool on) const {
        for (size_t i = 0; i < c.members.size(); ++i) {
            const V2i at = c.members[i];
            reservedTiles[static_cast<size_t>(at.y * SUBS + at.x)] = on ? memberId(i) : 0;
        }
    }
};

// Every member sent across the map, as by one attack-move order to the whole army.
void BM_AstarFromCrowd(benchmark::State& state) {
    const CrowdOnTheMap on;
    int64_t found = 0;
    for (auto _ : state)
        for (size_t i = 0; i < on.c.members.size(); ++i)
            found += astar(grid, on.c.members[i], on.c.target, Tile::Grass, memberId(i), 0).has_value();
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(on.c.members.size()));
    state.counters["found"] = static_cast<double>(found) / static_cast<double>(state.items_processed());
}

// Every member's way to a sub-tile a few steps off through its neighbours, breadth-first under the cap of a
// blocked unit's detour.
void BM_BreadthFirstThroughCrowd(benchmark::State& state) {
    const CrowdOnTheMap on;
    for (auto _ : state)
        for (size_t i = 0; i < on.c.members.size(); ++i) {
            const V2i from = on.c.members[i];
            benchmark::DoNotOptimize(simpleBFS(grid, from, {from.x + 17, from.y + 6}, Tile::Grass, memberId(i), 50));
        }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(on.c.members.size()));
}

// Every member's way to a square it may strike a unit from, a little further off.
ReachSquare squareAhead(V2i from) { return {{from.x + 23, from.y - 9}, 2}; }

void searchReachSquares(const std::vector<V2i>& starts) {
    for (const V2i& from : starts)
        benchmark::DoNotOptimize(astarToReachSquare(grid, from, squareAhead(from), Tile::Grass));
}

// Each a new query: nothing kept from the round before.
void BM_ReachSquareThroughCrowd(benchmark::State& state) {
    const CrowdOnTheMap on;
    for (auto _ : state) {
        forgetReachSquarePaths();
        searchReachSquares(on.c.members);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(on.c.members.size()));
}

// Every eighth member whose square has a path: answers that may be kept, too few to crowd the slots.
std::vector<V2i> membersWithAPath(const Crowd& c) {
    std::vector<V2i> found;
    for (const V2i& from : c.members)
        if (astarToReachSquare(grid, from, squareAhead(from), Tile::Grass)) found.push_back(from);
    std::vector<V2i> some;
    for (size_t i = 0; i < found.size(); i += 8) some.push_back(found[i]);
    return some;
}

// Those members' queries, first each a new one, then asked again on unchanged ground as by units that gave up a
// blocked path: the answers kept are checked against the ground and reused, save those that lost their slot to
// another query.
void BM_ReachSquareFoundThroughCrowd(benchmark::State& state) {
    const CrowdOnTheMap on;
    const std::vector<V2i> found = membersWithAPath(on.c);
    for (auto _ : state) {
        forgetReachSquarePaths();
        searchReachSquares(found);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(found.size()));
}

void BM_ReachSquareRepeatedThroughCrowd(benchmark::State& state) {
    const CrowdOnTheMap on;
    const std::vector<V2i> found = membersWithAPath(on.c);
    forgetReachSquarePaths();
    searchReachSquares(found);
    for (auto _ : state) searchReachSquares(found);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(found.size()));
    state.counters["kept"] = static_cast<double>(keptReachSquarePaths()) / static_cast<double>(found.size());
}

// Every member asks for the square round a unit beside it, as a unit within reach of its target does on each scan.
void BM_ReachSquareFromWithinReach(benchmark::State& state) {
    const CrowdOnTheMap on;
    for (auto _ : state)
        for (const V2i& from : on.c.members)
            benchmark::DoNotOptimize(astarToReachSquare(grid, from, {{from.x + 1, from.y}, 2}, Tile::Grass));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(on.c.members.size()));
}

// The refusal at once that every new reach-square search asks first, with labels that may lag behind the map.
void BM_ReachSquareRegionCheck(benchmark::State& state) {
    const CrowdOnTheMap on;
    int64_t refused = 0;
    for (auto _ : state)
        for (const V2i& from : on.c.members)
            refused += cannotReachSquare(grid, from, squareAhead(from), Tile::Grass, true, false);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(on.c.members.size()));
    state.counters["refused"] = static_cast<double>(refused) / static_cast<double>(state.items_processed());
}

BENCHMARK(BM_AstarOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AstarFromCrowd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BreadthFirstThroughCrowd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReachSquareThroughCrowd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReachSquareFoundThroughCrowd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReachSquareRepeatedThroughCrowd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReachSquareFromWithinReach)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReachSquareRegionCheck)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AstarBoost)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AstarUnreachableOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AstarUnreachableBoost)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AstarRatioToBoost)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
