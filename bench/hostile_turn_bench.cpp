// The time one turn of a modified peer's orders takes to apply, as every peer applies it: each order as received,
// and what is left of the turn once the work of one turn is held to its bound.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench_content.h"
#include "game_commands_wire.h"

namespace {

constexpr int HOSTILE = 1;

// Where the other army stands, across the map: every search for it runs the map's width.
V2i farSide() {
    const Unit* enemy = getUnitById(headless::unitsOf(2).back());
    return worldToSubTile(enemy->x, enemy->y);
}

using TurnOf = std::vector<Command> (*)(const std::vector<int>& army, int orders);

std::vector<Command> oneUnitMoves(const std::vector<int>& army, int orders) {
    const V2i goal = farSide();
    std::vector<Command> turn;
    for (int i = 0; i < orders; ++i)
        turn.push_back({CommandType::Move, HOSTILE,
                        MoveCommand{{army[static_cast<size_t>(i) % army.size()]}, goal.x, goal.y, false}});
    return turn;
}

std::vector<Command> armyMoves(const std::vector<int>& army, int orders) {
    const V2i goal = farSide();
    return std::vector<Command>(static_cast<size_t>(orders),
                                {CommandType::Move, HOSTILE, MoveCommand{army, goal.x, goal.y, false}});
}

// One unit listed a thousand times: what a 4 MiB frame holds if one order carries ids that all repeat.
std::vector<Command> repeatedIdMoves(const std::vector<int>& army, int orders) {
    const V2i goal = farSide();
    return std::vector<Command>(
        static_cast<size_t>(orders),
        {CommandType::Move, HOSTILE, MoveCommand{std::vector<int>(1000, army.front()), goal.x, goal.y, false}});
}

std::vector<Command> attacksOnTheFarSide(const std::vector<int>& army, int orders) {
    const std::vector<int> enemies = headless::unitsOf(2);
    std::vector<Command> turn;
    for (int i = 0; i < orders; ++i)
        turn.push_back({CommandType::Attack, HOSTILE,
                        AttackCommand{army[static_cast<size_t>(i) % army.size()], enemies.back()}});
    return turn;
}

void applyHostileTurn(benchmark::State& state, TurnOf turnOf, bool bounded) {
    for (auto _ : state) {
        state.PauseTiming();
        headless::Script script;
        reset_game_state();
        const bool ready = loadShippedContent() && headless::startBattle(200, script);
        std::vector<Command> turn = turnOf(headless::unitsOf(HOSTILE), static_cast<int>(state.range(0)));
        state.ResumeTiming();
        if (!ready) {
            state.SkipWithError("the battle could not be set up");
            return;
        }
        if (bounded) turn.resize(ordersWithinTurnWork(turn));
        state.counters["applied"] = static_cast<double>(turn.size());
        applyLiveTurn(turn, grid, 0);
    }
}

void BM_HostileOneUnitMoves(benchmark::State& state) { applyHostileTurn(state, oneUnitMoves, false); }
void BM_HostileOneUnitMovesBounded(benchmark::State& state) { applyHostileTurn(state, oneUnitMoves, true); }
void BM_HostileArmyMoves(benchmark::State& state) { applyHostileTurn(state, armyMoves, false); }
void BM_HostileArmyMovesBounded(benchmark::State& state) { applyHostileTurn(state, armyMoves, true); }
void BM_HostileRepeatedIdMoves(benchmark::State& state) { applyHostileTurn(state, repeatedIdMoves, false); }
void BM_HostileRepeatedIdMovesBounded(benchmark::State& state) { applyHostileTurn(state, repeatedIdMoves, true); }
void BM_HostileAttacks(benchmark::State& state) { applyHostileTurn(state, attacksOnTheFarSide, false); }
void BM_HostileAttacksBounded(benchmark::State& state) { applyHostileTurn(state, attacksOnTheFarSide, true); }

// As received, a few orders of each kind: the time grows with the count, up to the 4,096 a packet may carry.
BENCHMARK(BM_HostileOneUnitMoves)->Arg(16)->Arg(64)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HostileArmyMoves)->Arg(16)->Arg(64)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HostileRepeatedIdMoves)->Arg(16)->Arg(64)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HostileAttacks)->Arg(16)->Arg(64)->Iterations(1)->Unit(benchmark::kMillisecond);
// Held to the work of one turn, a full packet of each kind.
BENCHMARK(BM_HostileOneUnitMovesBounded)->Arg(4096)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HostileArmyMovesBounded)->Arg(4096)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HostileRepeatedIdMovesBounded)->Arg(4096)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HostileAttacksBounded)->Arg(4096)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
