// Speed of the computer player: one think of each strategy with 100 units of its own on the highlands map, and the
// ticks per second of a whole computer match on the fight map.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "../tools/computer_match.h"
#include "bench_content.h"

namespace {

// The local human and the computer on two highlands bases; the computer adds 50 workers and 50 soldiers, the
// resources for every order. Its orders are counted, never applied, so every think meets the same
// world.
bool startHighlands(benchmark::State& state, std::unique_ptr<BaseAI> strategy, std::vector<Command>& orders) {
    reset_game_state();
    mode = GameMode::Skirmish;
    AI = true;
    Player::myStaticId = 1;
    Player::aiId = 2;
    Player::environmentId = 3;
    MAP_FILE = "highlands";
    headless::addPlayer(1, "Local", "human", true);
    players.push_back(std::make_unique<Player>(2, "AI", "vohmathal", true));
    if (!loadShippedContent() || !headless::buildMapWorld(headless::mapPath(MAP_FILE))) {
        state.SkipWithError("the highlands could not be set up");
        return false;
    }
    Player& computer = *getPlayerById(2);
    // Tiles a placement finds taken are skipped, so each kind is topped up from centres further out.
    const auto fill = [&computer](const std::string& type, V2i centre, std::size_t upTo) {
        for (; computer.unitIds.size() < upTo && centre.x < MAP_W; centre.x += 4)
            headless::placeArmy(2, type, centre, static_cast<int>(upTo - computer.unitIds.size()));
    };
    fill("Peon", {computer.baseTile.x + 6, computer.baseTile.y + 6}, 50);
    fill("Berserker", {computer.baseTile.x + 6, computer.baseTile.y + 14}, 100);
    computer.resources[RESOURCE_GOLD] = computer.resources[RESOURCE_WOOD] = 100000;
    computer.recruits = 0;
    computer.ai = std::move(strategy);
    orders.clear();
    computerCommandSink = [&orders](const Command& cmd) { orders.push_back(cmd); };
    state.counters["units"] = static_cast<double>(computer.unitIds.size());
    return true;
}

template <class Strategy>
void BM_ComputerThink(benchmark::State& state) {
    std::vector<Command> orders;
    if (!startHighlands(state, std::make_unique<Strategy>(), orders)) return;
    lockstep.currentTurn = COMPUTER_THINK_TURNS;
    for (auto _ : state) {
        orders.clear();
        // A wave strategy is due to attack on every think.
        waveThinkTimer = WAVE_THINK_SECONDS;
        runComputerPlayers(grid);
    }
    state.counters["orders"] = static_cast<double>(orders.size());
}
BENCHMARK_TEMPLATE(BM_ComputerThink, RushAI)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_ComputerThink, TurtleAI)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_ComputerThink, WaveAI)->Unit(benchmark::kMicrosecond);

// Fifteen minutes of a Rush against an idle local player, as the runner plays it.
void BM_ComputerMatch(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        reset_game_state();
        headless::ComputerMatch match;
        const bool ready = loadShippedContent() && match.start("fight", std::make_unique<RushAI>());
        state.ResumeTiming();
        if (!ready) {
            state.SkipWithError("the match could not be set up");
            return;
        }
        match.play(headless::COMPUTER_MATCH_TICKS, false);
    }
    state.counters["ticks/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * headless::COMPUTER_MATCH_TICKS, benchmark::Counter::kIsRate);
    computerCommandSink = queueForNextTurn;
}
BENCHMARK(BM_ComputerMatch)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
