// Speed of a backward seek through a twenty-minute replay: the world rebuilt from its map and every tick again.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../tools/computer_match.h"
#include "../tools/headless_replay.h"
#include "bench_content.h"

namespace {

constexpr int REPLAY_TICKS = 75000;
constexpr int ARMY = 100;
constexpr int REGROUP_TICKS = 3000;
constexpr int BLUE = 1;
constexpr int RED = 2;

// Each side's survivors attack-move to the other side's base.
void sendSurvivors(int playerId, int enemyId, std::vector<Command>& cmds) {
    const Player* enemy = getPlayerById(enemyId);
    if (!enemy) return;
    const V2i goal{enemy->baseTile.x * SUBDIVISIONS, enemy->baseTile.y * SUBDIVISIONS};
    for (int id : headless::unitsOf(playerId))
        cmds.push_back({CommandType::AttackMove, playerId, AttackMove{id, goal.x, goal.y, false}});
}

// Turn 0 brings both armies, every REGROUP_TICKS their survivors march on the other base, and a chat line on the
// last tick makes the log span the whole twenty minutes.
std::vector<Command> skirmishOrders(int turn) {
    std::vector<Command> cmds;
    if (turn == 0)
        for (int i = 0; i < ARMY; ++i) {
            cmds.push_back({CommandType::Spawn, BLUE, SpawnCommand{"Marine"}});
            cmds.push_back({CommandType::Spawn, RED, SpawnCommand{"Grunt"}});
        }
    if (turn % REGROUP_TICKS == 1) {
        sendSurvivors(BLUE, RED, cmds);
        sendSurvivors(RED, BLUE, cmds);
    }
    if (turn == REPLAY_TICKS - 1) cmds.push_back({CommandType::ChatMessage, BLUE, ChatMessageCommand{"gg"}});
    return cmds;
}

// Plays the skirmish on "fight" with its command log written to path.
bool recordSkirmish(const std::string& path) {
    reset_game_state();
    MAP_FILE = "fight";
    Player::myStaticId = BLUE;
    headless::addPlayer(BLUE, "Blue", "human", true);
    headless::addPlayer(RED, "Red", "vohmathal", true);
    if (!headless::buildMapWorld(headless::mapPath(MAP_FILE)) || !headless::openCommandLog(path)) return false;
    for (int turn = 0; turn < REPLAY_TICKS; ++turn) {
        applyLiveTurn(skirmishOrders(turn), grid, 0);
        advanceOneTurn(grid);
    }
    closeCommandLog();
    return true;
}

bool startRecordedReplay(const std::string& path) {
    reset_game_state();
    std::ifstream log(path, std::ios::binary);
    return headless::startReplay(log);
}

// From past the end back to the last recorded turn, as a click on the bar's right end does after the replay has
// played through; the world it lands on must be the one playing straight there reaches.
void BM_BackwardSeekToTheLastTurn(benchmark::State& state) {
    const std::string path = (std::filesystem::temp_directory_path() / "corvale_seek_bench.bin").string();
    if (!loadShippedContent() || !recordSkirmish(path) || !startRecordedReplay(path)) {
        state.SkipWithError("the replay could not be recorded or loaded");
        return;
    }
    const int last = lastReplayTick();
    fast_forward_to_turn(last);
    const uint64_t straight = worldChecksum();
    for (auto _ : state) {
        state.PauseTiming();
        fast_forward_to_turn(last + 1);
        state.ResumeTiming();
        jump_to_turn(last);
    }
    std::filesystem::remove(path);
    if (lockstep.currentTurn != last || worldChecksum() != straight)
        state.SkipWithError("the seek landed on another world than playing straight there");
    state.counters["ticks"] = last;
    state.counters["units"] = static_cast<double>(units.size());
}
BENCHMARK(BM_BackwardSeekToTheLastTurn)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
