// Speed of the simulation tick in the built-in battle (2 by 200 units) and economy games, of a 200-unit group
// move, and of the world checksum.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_content.h"

namespace {

bool startBattle(benchmark::State& state, int perSide) {
    headless::Script script;
    reset_game_state();
    if (!loadShippedContent() || !headless::startBattle(perSide, script)) {
        state.SkipWithError("the battle could not be set up");
        return false;
    }
    applyLiveTurn(script(0), grid, 0);
    return true;
}

// Ticks of one measured stretch of a game; each stretch starts from a freshly built world.
constexpr int STRETCH_TICKS = 1000;

// The armies' approach and first clash: the first ticks after the orders, the dearest of the battle.
void BM_BattleTick(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        const bool ready = startBattle(state, static_cast<int>(state.range(0)));
        state.ResumeTiming();
        if (!ready) return;
        for (int tick = 0; tick < STRETCH_TICKS; ++tick) advanceOneTurn(grid);
    }
    state.counters["ticks/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * STRETCH_TICKS,
                                                   benchmark::Counter::kIsRate);
}
// Units per side: 400, 800, 1,600 and 3,200 units fighting, for the cost of each doubling.
BENCHMARK(BM_BattleTick)->Arg(200)->Arg(400)->Arg(800)->Arg(1600)->Iterations(1)->Unit(benchmark::kMillisecond);

// The turn that applies one attack-move per unit of both armies, and the tick that starts them: 400 to 3,200 units.
void BM_OrderTurn(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        headless::Script script;
        reset_game_state();
        const bool ready = loadShippedContent() && headless::startBattle(static_cast<int>(state.range(0)), script);
        state.ResumeTiming();
        if (!ready) {
            state.SkipWithError("the battle could not be set up");
            return;
        }
        applyLiveTurn(script(0), grid, 0);
        advanceOneTurn(grid);
    }
}
BENCHMARK(BM_OrderTurn)->Arg(200)->Arg(400)->Arg(800)->Arg(1600)->Iterations(5)->Unit(benchmark::kMillisecond);

// A clearing of highlands closed in by trees: 1 walk order onto it, and 200 attack-moves onto it in one turn.
constexpr V2i ENCLOSED_CLEARING{1 * 4 + 2, 29 * 4 + 2};

void BM_WalkOntoEnclosedClearing(benchmark::State& state) {
    if (!startBattle(state, 200)) return;
    Unit* unit = getUnitById(headless::unitsOf(1).front());
    for (auto _ : state) benchmark::DoNotOptimize(walkToTile(*unit, ENCLOSED_CLEARING, grid));
}
BENCHMARK(BM_WalkOntoEnclosedClearing)->Unit(benchmark::kMicrosecond);

void BM_AttackMovesOntoEnclosedClearing(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        headless::Script script;
        reset_game_state();
        const bool ready = loadShippedContent() && headless::startBattle(100, script);
        std::vector<Command> orders;
        for (int side : {1, 2})
            for (int id : headless::unitsOf(side))
                orders.push_back({CommandType::AttackMove, side,
                                  AttackMove{id, ENCLOSED_CLEARING.x, ENCLOSED_CLEARING.y, false}});
        state.ResumeTiming();
        if (!ready) {
            state.SkipWithError("the battle could not be set up");
            return;
        }
        applyLiveTurn(orders, grid, 0);
        advanceOneTurn(grid);
    }
}
BENCHMARK(BM_AttackMovesOntoEnclosedClearing)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_EconomyTick(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        headless::Script script;
        reset_game_state();
        const bool ready = loadShippedContent() && headless::startEconomy(script);
        state.ResumeTiming();
        if (!ready) {
            state.SkipWithError("the economy could not be set up");
            return;
        }
        for (int turn = 0; turn < STRETCH_TICKS; ++turn) {
            applyLiveTurn(script(turn), grid, 0);
            advanceOneTurn(grid);
        }
    }
    state.counters["ticks/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * STRETCH_TICKS,
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EconomyTick)->Unit(benchmark::kMillisecond);

// One army ordered across the map: one unlimited search for the leader, one short search per unit.
void BM_GroupMove(benchmark::State& state) {
    if (!startBattle(state, static_cast<int>(state.range(0)))) return;
    const Command move{CommandType::Move, 1, MoveCommand{headless::unitsOf(1), 40, 60, false}};
    for (auto _ : state) applyCommand(move, grid, 0, true);
    state.counters["units"] = static_cast<double>(std::get<MoveCommand>(move.payload).unitIds.size());
}
BENCHMARK(BM_GroupMove)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_WorldChecksum(benchmark::State& state) {
    if (!startBattle(state, 200)) return;
    for (auto _ : state) benchmark::DoNotOptimize(worldChecksum());
}
BENCHMARK(BM_WorldChecksum)->Unit(benchmark::kMicrosecond);

}  // namespace
