// Speed of the tick in the five-minute tower defence match, with the shipped mod script and without it.
#include <benchmark/benchmark.h>

#include "../tools/tower_defense_match.h"
#include "bench_content.h"

namespace {

// Argument 1 runs the script, 0 the same match with mods off; each iteration plays the whole match afresh.
void BM_TowerDefenseMatch(benchmark::State& state) {
    const bool mods = state.range(0) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        const bool ready = loadShippedContent() && headless::startTowerDefense(mods, basePath + MOD_FOLDER);
        state.ResumeTiming();
        if (!ready) {
            state.SkipWithError("the tower defence match could not be set up");
            return;
        }
        for (int tick = 0; tick < headless::TOWER_DEFENSE_TICKS; ++tick) advanceOneTurn(grid);
        state.PauseTiming();
        state.counters["units"] = static_cast<double>(units.size());
        headless::endTowerDefense();
        state.ResumeTiming();
    }
    const double ticks = static_cast<double>(state.iterations()) * headless::TOWER_DEFENSE_TICKS;
    state.counters["ticks/s"] = benchmark::Counter(ticks, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TowerDefenseMatch)->Arg(1)->Arg(0)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
