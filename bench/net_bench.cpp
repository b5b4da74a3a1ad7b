// Turns per second of four players with fifty orders each per turn: through the codec alone, and through four
// lockstep managers joined in a star of in-memory links with the host relaying; and the time a turn at the frame
// limit takes to pass between two peers over loopback.
#include <benchmark/benchmark.h>
#include <unistd.h>

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

// A host and the client it accepted as player 2, over TCP on 127.0.0.1.
struct LoopbackPair {
    NetworkManager host, client;
    bool ready = false;
    LoopbackPair() {
        int port = 47000 + static_cast<int>(getpid() % 1000) * 2;
        while (!host.listen(static_cast<uint16_t>(port))) ++port;
        if (!client.connect("127.0.0.1", static_cast<uint16_t>(port))) return;
        for (int tries = 0; tries < 100 && host.connections.empty(); ++tries)
            if (!host.acceptClient()) host.waitForTraffic(10);
        if (host.connections.empty()) return;
        host.bindConnection(host.connections.front().id, 2);
        ready = true;
    }
};

// One turn whose frame is as long as a frame may be. Each round the client pushes what its socket takes and the
// host reads once, as a peer does once a frame; the reads counter is the frames a peer needs to take the turn in.
void BM_TurnAtTheFrameLimitOverLoopback(benchmark::State& state) {
    LoopbackPair pair;
    if (!pair.ready) {
        state.SkipWithError("no loopback connection");
        return;
    }
    NetPacket turn(PacketType::TurnCommands);
    turn.data.resize(MAX_FRAME_LENGTH - 1);
    for (size_t i = 0; i < turn.data.size(); ++i) turn.data[i] = static_cast<uint8_t>(i * 7);
    size_t reads = 0;
    for (auto _ : state) {
        pair.client.sendPacket(turn);
        std::vector<NetPacket> got;
        while (got.empty()) {
            pair.client.receivePackets();
            got = pair.host.receivePackets();
            ++reads;
        }
        if (got.front().data.size() != turn.data.size()) state.SkipWithError("the turn arrived cut");
    }
    state.counters["reads"] =
        benchmark::Counter(static_cast<double>(reads), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_TurnAtTheFrameLimitOverLoopback)->Unit(benchmark::kMillisecond);

}  // namespace
