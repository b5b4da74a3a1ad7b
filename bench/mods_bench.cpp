// Speed of the tick in the five-minute tower defence match, with the shipped mod script and without it.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

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

// Scripts whose onUpdate spends its whole budget every tick; once switched off the match should run as fast as
// the same match without mods.
constexpr const char* RUNAWAY_SCRIPTS[] = {
    "function onUpdate() while true do end end",
    "function onUpdate() while true do pcall(function() while true do end end) end end",
    "function onUpdate() string.find(string.rep('a', 5000), '.-.-.-.-.-b') end",
};

// A folder of its own holding the script under the host's fixed name.
std::string runawayFolder(int index) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("corvale-bench-mods-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "tower_defense.lua") << RUNAWAY_SCRIPTS[index];
    return folder.string() + "/";
}

void BM_TowerDefenseRunawayScript(benchmark::State& state) {
    const std::string folder = runawayFolder(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        std::ostringstream held;
        std::streambuf* errors = std::cerr.rdbuf(held.rdbuf());
        const bool ready = loadShippedContent() && headless::startTowerDefense(true, folder);
        if (!ready) {
            std::cerr.rdbuf(errors);
            state.SkipWithError("the tower defence match could not be set up");
            return;
        }
        // The ticks that spend the budget until the callback is switched off are not timed.
        for (int tick = 0; tick < MAX_CALLBACK_FAILURES; ++tick) advanceOneTurn(grid);
        state.ResumeTiming();
        for (int tick = MAX_CALLBACK_FAILURES; tick < headless::TOWER_DEFENSE_TICKS; ++tick) advanceOneTurn(grid);
        state.PauseTiming();
        std::cerr.rdbuf(errors);
        state.counters["switched off"] = modManager.switchedOff("onUpdate") ? 1 : 0;
        headless::endTowerDefense();
        state.ResumeTiming();
    }
    std::filesystem::remove_all(folder);
    const double ticks =
        static_cast<double>(state.iterations()) * (headless::TOWER_DEFENSE_TICKS - MAX_CALLBACK_FAILURES);
    state.counters["ticks/s"] = benchmark::Counter(ticks, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TowerDefenseRunawayScript)->DenseRange(0, 2)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
