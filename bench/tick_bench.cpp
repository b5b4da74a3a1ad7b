// Speed of the simulation tick in the built-in battle (2 by 200 units) and economy games, of a 200-unit group
// move, and of the world checksum.
#include <benchmark/benchmark.h>

#include <string>

#include "shipped_content.h"

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
BENCHMARK(BM_BattleTick)->Arg(200)->Iterations(5)->Unit(benchmark::kMillisecond);

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
