// The unit tick on the 128 by 128 tile map "highlands": many units walking, two armies fighting, the path
// of a unit diverting round a crowd, the target scans of two crowds, units facing every way and a batch of deaths
// in a big registry.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "buildings.h"
#include "config.h"
#include "game.h"
#include "game_commands.h"
#include "lockstep.h"
#include "map.h"
#include "player.h"
#include "projectiles.h"
#include "units.h"
#include "units_target_index.h"

namespace {

constexpr int TICKS = 1875;  // thirty seconds of play per measured run
constexpr int WALKERS = 1;
constexpr int ATTACKERS = 2;

void loadHighlands() {
    TILE_SIZE = 140;
    SUBDIVISIONS = 4;
    SUB_TILE_SIZE = 35;
    GAME_SPEED = 1.0f;
    UNIT_SPEED = 200.0f;
    WAYPOINT_EPS = 6.0f;
    mapData = loadMapFromFile(CORVALE_SOURCE_DIR "/maps/highlands.map");
    grid = buildGrid();
    Neighbors = neighbors8;
}

UnitInfo soldierType() {
    UnitInfo info;
    info.type = "Soldier";
    info.attackType = AttackType::Melee;
    info.hp = 60;
    info.damage = 6;
    info.sight = 6;
    info.attackTargets = ATTACK_TARGET_GROUND;
    return info;
}

// An empty world on the loaded map: no units, nothing reserved, two players.
void resetWorld() {
    reset_game_state();
    sizeWorldGrids();
    for (int id : {WALKERS, ATTACKERS}) players.push_back(std::make_unique<Player>(id, "p", "human", false));
    Player::myStaticId = WALKERS;
    unitInfo.clear();
    unitInfo["Soldier"] = soldierType();
}

bool walkable(V2i sub) { return grid.walkable(sub.x / 4, sub.y / 4, Tile::Grass); }

// A free, walkable sub-tile drawn from the rectangle of tiles.
V2i drawSubTile(std::mt19937& rng, int x0, int x1, int y0, int y1) {
    std::uniform_int_distribution<int> x(x0 * 4, x1 * 4 - 1);
    std::uniform_int_distribution<int> y(y0 * 4, y1 * 4 - 1);
    for (;;) {
        const V2i sub{x(rng), y(rng)};
        if (walkable(sub) && isSubTileReserved(sub) == FREE_SUB_TILE) return sub;
    }
}

int placeUnit(const std::string& type, int owner, V2i sub) {
    return spawnUnitAt(type, owner, {static_cast<float>(sub.x) / 4.0f, static_cast<float>(sub.y) / 4.0f});
}

int placeSoldier(int owner, V2i sub) { return placeUnit("Soldier", owner, sub); }

void runTicks(benchmark::State& state) {
    for (int t = 0; t < TICKS; ++t) {
        updateUnits(TURN_LENGTH, grid);
        processUnitRemovals(grid);
    }
    // What the run came to: the units still standing and the hit points they have lost.
    float lost = 0.0f;
    for (const Unit& u : units) lost += u.maxHp - u.hp;
    state.counters["units_left"] = static_cast<double>(units.size());
    state.counters["hp_lost"] = lost;
}

// Units of one side cross the map from west to east: walking, reserving and blocking, with nothing to fight.
void BM_UnitsWalking(benchmark::State& state) {
    loadHighlands();
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        resetWorld();
        std::mt19937 rng(7);
        std::vector<int> ids;
        for (int i = 0; i < count; ++i) ids.push_back(placeSoldier(WALKERS, drawSubTile(rng, 2, 30, 2, 126)));
        for (int id : ids) walkToTile(*getUnitById(id), drawSubTile(rng, 98, 126, 2, 126), grid);
        state.ResumeTiming();
        runTicks(state);
    }
    state.SetItemsProcessed(state.iterations() * TICKS);
}

// Two armies attack-move into each other across the middle of the map: scans, pursuit, swings and deaths.
void BM_UnitsFighting(benchmark::State& state) {
    loadHighlands();
    const int perSide = static_cast<int>(state.range(0)) / 2;
    for (auto _ : state) {
        state.PauseTiming();
        resetWorld();
        std::mt19937 rng(11);
        std::vector<Command> orders;
        for (int i = 0; i < perSide; ++i) {
            for (int side : {WALKERS, ATTACKERS}) {
                const int x0 = side == WALKERS ? 48 : 68;
                const int id = placeSoldier(side, drawSubTile(rng, x0, x0 + 12, 40, 88));
                const V2i goal = drawSubTile(rng, 116 - x0, 128 - x0, 40, 88);
                orders.push_back({CommandType::AttackMove, side, AttackMove{id, goal.x, goal.y, false}});
            }
        }
        applyLiveTurn(orders, grid, 0);
        state.ResumeTiming();
        runTicks(state);
    }
    state.SetItemsProcessed(state.iterations() * TICKS);
}

// A blocked unit diverts to a free sub-tile up to 30 away through ground that others hold at the given percent:
// the plain breadth-first flood, taken through a neighbourhood hook with the built-in rule (0), against the search
// from the goal that the built-in neighbours allow (1). Same answers.
void BM_DivertThroughCrowd(benchmark::State& state) {
    loadHighlands();
    resetWorld();
    std::mt19937 rng(35);
    std::uniform_int_distribution<int> percent(0, 99);
    const int held = static_cast<int>(state.range(1));
    for (int32_t& cell : reservedTiles) cell = percent(rng) < held ? ATTACKERS + 1 : FREE_SUB_TILE;
    std::uniform_int_distribution<int> offset(-30, 30);
    std::vector<std::pair<V2i, V2i>> walks;
    while (walks.size() < 256) {
        const V2i from = drawSubTile(rng, 40, 88, 40, 88);
        const V2i to{from.x + offset(rng), from.y + offset(rng)};
        if (walkable(to) && isSubTileReserved(to) == FREE_SUB_TILE) walks.push_back({from, to});
    }
    if (state.range(0) == 0)
        Neighbors = [](const Grid& g, const V2i& sub, Tile cls) { return neighbors8(g, sub, cls); };
    size_t found = 0;
    for (auto _ : state)
        for (const auto& [from, to] : walks) found += simpleBFS(grid, from, to, Tile::Grass, WALKERS, 50).has_value();
    Neighbors = neighbors8;
    state.counters["found_per_run"] = static_cast<double>(found) / static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(walks.size()));
}

// Every unit of two crowds that overlap at a front scans once, holding its position so that no path is laid:
// the scans of one tick through the target areas. Arguments: units in all, workers in a hundred of them.
void BM_TargetScan(benchmark::State& state) {
    loadHighlands();
    resetWorld();
    UnitInfo worker = soldierType();
    worker.type = "Worker";
    worker.worker = true;
    unitInfo["Worker"] = worker;
    const int count = static_cast<int>(state.range(0));
    std::mt19937 rng(35);
    std::uniform_int_distribution<int> percent(0, 99);
    for (int i = 0; i < count; ++i) {
        const int side = i % 2 == 0 ? WALKERS : ATTACKERS;
        const int x0 = side == WALKERS ? 36 : 60;
        const char* type = percent(rng) < state.range(1) ? "Worker" : "Soldier";
        placeUnit(type, side, drawSubTile(rng, x0, x0 + 32, 40, 88));
    }
    for (Unit& u : units) u.state = UnitState::HoldPosition;
    size_t chosen = 0;
    for (auto _ : state) {
        const TargetIndexPass tick;
        for (Unit& u : units) {
            u.targetId = -1;
            u.scanCounter = u.scanInterval;
            autoAttack(u, grid);
            chosen += u.targetId != -1;
        }
    }
    state.counters["chosen_per_run"] = static_cast<double>(chosen) / static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * count);
}

// Units facing every way, as in a melee: the sector of each screen vector in turn, in no order a branch could learn.
void BM_FacingEveryWay(benchmark::State& state) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> side(-400.0f, 400.0f);
    std::vector<SDL_FPoint> vectors(4096);
    for (SDL_FPoint& v : vectors) v = {side(rng), side(rng)};
    int rows = 0;
    for (auto _ : state) {
        for (const SDL_FPoint& v : vectors) {
            bool flip = false;
            rows += computeDirection(v, flip) + flip;
        }
    }
    benchmark::DoNotOptimize(rows);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(vectors.size()));
}

}  // namespace

// A batch of deaths in a big registry, spread through it as in a battle: every later unit moves down by the gaps
// before it, and the index by id and the target areas follow.
void BM_RemovalBatch(benchmark::State& state) {
    loadHighlands();
    const int count = static_cast<int>(state.range(0));
    const size_t deaths = static_cast<size_t>(state.range(1));
    for (auto _ : state) {
        state.PauseTiming();
        resetWorld();
        std::mt19937 rng(5);
        for (int i = 0; i < count; ++i) placeSoldier(i % 2 ? WALKERS : ATTACKERS, drawSubTile(rng, 2, 126, 2, 126));
        // Every unit scans in the tick, so both players' target areas exist when the deaths come.
        for (Unit& u : units) u.scanCounter = u.scanInterval;
        updateUnits(TURN_LENGTH, grid);
        for (size_t d = 0; d < deaths; ++d) addUnitForRemoval(units[d * units.size() / deaths].id);
        state.ResumeTiming();
        processUnitRemovals(grid);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(deaths));
}

BENCHMARK(BM_TargetScan)->ArgsProduct({{400, 3200}, {0, 10}});
BENCHMARK(BM_DivertThroughCrowd)->ArgsProduct({{0, 1}, {20, 40, 55}});
BENCHMARK(BM_UnitsWalking)->Arg(100)->Arg(400)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnitsFighting)->Arg(100)->Arg(400)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FacingEveryWay);
BENCHMARK(BM_RemovalBatch)->ArgsProduct({{3200}, {1, 16}})->Unit(benchmark::kMicrosecond);
