// Turns per second of four players with fifty orders each per turn: through the codec alone, and through four
// lockstep managers joined in a star of in-memory links with the host relaying.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "game_commands_wire.h"
#include "lockstep_exchange.h"
#include "network_manager.h"

namespace {

constexpr int PLAYERS = 4;
constexpr int ORDERS_PER_TURN = 50;

std::vector<Command> ordersOf(int player) {
    std::vector<Command> cmds;
    for (int i = 0; i < ORDERS_PER_TURN; ++i) {
        switch (i % 5) {
            case 0:
                cmds.push_back({CommandType::Move, player, MoveCommand{{i, i + 1, i + 2, i + 3}, i, -i, true}});
                break;
            case 1:
                cmds.push_back({CommandType::AttackMove, player, AttackMove{i, 40, 50, false}});
                break;
            case 2:
                cmds.push_back({CommandType::Mine, player, MineCommand{i, 3, 4, 77}});
                break;
            case 3:
                cmds.push_back({CommandType::CastSpell, player, CastSpellCommand{i, 9, 10, 11, "Fireball", false}});
                break;
            default:
                cmds.push_back({CommandType::TrainUnit, player, TrainUnitCommand{i, "Marine"}});
                break;
        }
    }
    return cmds;
}

void BM_TurnCodec(benchmark::State& state) {
    std::vector<Turn> turns;
    for (int p = 1; p <= PLAYERS; ++p) turns.push_back({0, p, ordersOf(p)});
    size_t decoded = 0;
    for (auto _ : state) {
        for (const Turn& turn : turns) {
            NetPacket packet = writeTurnPacket(turn);
            Turn back;
            readTurnPacket(packet, back);
            decoded += back.commands.size();
        }
    }
    benchmark::DoNotOptimize(decoded);
    state.counters["turns/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TurnCodec);

class CountingRunner : public TurnRunner {
public:
    size_t applied = 0;
    bool isPaused() const override { return false; }
    void apply(const Command&) override { ++applied; }
    void tick() override {}
    void playerLeft(int) override {}
};

struct StarPeer {
    LockstepManager manager;
    NetworkManager link;
    CountingRunner runner;
};

void BM_TurnExchangeInMemory(benchmark::State& state) {
    std::vector<std::unique_ptr<StarPeer>> peers;
    for (int p = 0; p < PLAYERS; ++p) peers.push_back(std::make_unique<StarPeer>());
    peers[0]->link.isHost = true;
    for (int p = 1; p < PLAYERS; ++p) {
        auto [hostEnd, clientEnd] = makeMemoryLinkPair();
        peers[0]->link.bindConnection(peers[0]->link.addConnection(std::move(hostEnd)), p + 1);
        peers[static_cast<size_t>(p)]->link.addConnection(std::move(clientEnd));
    }
    std::vector<int> gated;
    for (int p = 1; p <= PLAYERS; ++p) gated.push_back(p);
    std::vector<std::vector<Command>> orders;
    for (int p = 1; p <= PLAYERS; ++p) orders.push_back(ordersOf(p));
    for (auto _ : state) {
        for (int p = 0; p < PLAYERS; ++p) {
            StarPeer& peer = *peers[static_cast<size_t>(p)];
            peer.manager.pendingCommands = orders[static_cast<size_t>(p)];
            peer.manager.step(TURN_LENGTH, 0, p + 1, gated, peer.link, peer.runner);
        }
    }
    const StarPeer& last = *peers[PLAYERS - 1];
    state.counters["turns/s"] =
        benchmark::Counter(static_cast<double>(last.manager.receiveTurn), benchmark::Counter::kIsRate);
    state.counters["orders/s"] =
        benchmark::Counter(static_cast<double>(last.runner.applied), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TurnExchangeInMemory);

}  // namespace
