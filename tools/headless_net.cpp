// Peers of one battle exchange their scripted orders in lockstep over TCP and print the world checksum every 100
// ticks; "solo" plays every peer's orders in one process, so the lines can be compared.
#include "headless_net.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "headless_session.h"
#include "lockstep_exchange.h"
#include "loopback_host.h"
#include "network_manager.h"

namespace {

constexpr int CHECKSUM_EVERY = 100;
// Turns a peer may send ahead of the turn it applies, so it neither floods the others nor waits on each round trip.
constexpr int SEND_LEAD = 4;
constexpr double TIME_LIMIT_SECONDS = 300.0;

struct Side {
    std::vector<int> army;
    V2i camp;
};

std::vector<Side> sides;

// Each player's army round its own camp on "fight".
bool buildBattle(int peers, int perSide) {
    MAP_FILE = "fight";
    for (int id = 1; id <= peers; ++id) headless::addPlayer(id, "P" + std::to_string(id), "human", false);
    if (!headless::buildMapWorld(headless::mapPath(MAP_FILE))) return false;
    for (int id = 1; id <= peers; ++id) {
        const V2i camp{MAP_W * (2 + id) / 8, MAP_H * 3 / 8};
        sides.push_back({headless::placeArmy(id, id % 2 ? "Marine" : "Grunt", camp, perSide), camp});
    }
    headless::listUnitsWithOwners();
    return true;
}

uint32_t mix(uint32_t a, uint32_t b) {
    uint32_t h = a * 2654435761u ^ (b + 0x9e3779b9u + (a << 6) + (a >> 2));
    h ^= h >> 15;
    return h * 2246822519u;
}

// A player's orders for a turn, from the turn and the player alone, so every process agrees without a world.
std::vector<Command> scriptedOrders(int turn, int player) {
    std::vector<Command> cmds;
    const Side& side = sides[static_cast<size_t>(player - 1)];
    if (side.army.empty() || turn % 40 != player * 7) return cmds;
    const uint32_t r = mix(static_cast<uint32_t>(turn), static_cast<uint32_t>(player));
    const int unit = side.army[r % side.army.size()];
    const Side& foe = sides[static_cast<size_t>(player % static_cast<int>(sides.size()))];
    const V2i near{side.camp.x * SUBDIVISIONS + static_cast<int>(r % 24) - 12,
                   side.camp.y * SUBDIVISIONS + static_cast<int>((r >> 8) % 24) - 12};
    switch ((r >> 16) % 5) {
        case 0: cmds.push_back({CommandType::Move, player, MoveCommand{{unit}, near.x, near.y, (r & 1) != 0}}); break;
        case 1: cmds.push_back({CommandType::Move, player, MoveCommand{side.army, near.x, near.y, false}}); break;
        case 2:
            cmds.push_back({CommandType::AttackMove, player,
                            AttackMove{unit, foe.camp.x * SUBDIVISIONS, foe.camp.y * SUBDIVISIONS, false}});
            break;
        case 3: cmds.push_back({CommandType::Hold, player, HoldCommand{{unit}}}); break;
        default: cmds.push_back({CommandType::Stop, player, StopCommand{{unit}}}); break;
    }
    return cmds;
}

void printChecksum() {
    std::printf("tick %d checksum %016" PRIx64 "\n", lockstep.currentTurn, worldChecksum());
    std::fflush(stdout);
}

class BattleRunner : public TurnRunner {
public:
    bool isPaused() const override { return paused; }
    void apply(const Command& cmd) override { applyCommand(cmd, grid, 0, false); }
    void tick() override {
        advanceOneTurn(grid);
        if (lockstep.currentTurn % CHECKSUM_EVERY == 0) printChecksum();
    }
    void playerLeft(int playerId) override {
        const Player* player = getPlayerById(playerId);
        postActivity((player ? player->name : std::to_string(playerId)) + " left the game", nullptr);
        std::printf("activity: %s\n", activityQueue.back().text.c_str());
        std::fflush(stdout);
    }
};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int playLockstep(int me, int peers, int ticks) {
    Player::myStaticId = localPlayerId = me;
    std::vector<int> gated;
    for (int id = 1; id <= peers; ++id) gated.push_back(id);
    BattleRunner runner;
    const auto start = std::chrono::steady_clock::now();
    while (lockstep.currentTurn < ticks) {
        if (secondsSince(start) > TIME_LIMIT_SECONDS) {
            std::cerr << "corvale_run: the match stalled at tick " << lockstep.currentTurn << "\n";
            return 1;
        }
        float frame = 0.0f;
        if (lockstep.sendTurn - lockstep.receiveTurn < SEND_LEAD) {
            for (const Command& cmd : scriptedOrders(lockstep.sendTurn, me)) lockstep.collectCommand(cmd);
            frame = lockstep.tickSeconds;
        }
        const int applied = lockstep.receiveTurn;
        const int nowMs = static_cast<int>(secondsSince(start) * 1000.0);
        lockstep.step(frame, nowMs, me, gated, net, runner);
        if (lockstep.receiveTurn == applied && frame == 0.0f) net.waitForTraffic(50);
    }
    return 0;
}

int hostMatch(int basePort, int peers, int ticks) {
    if (!loopback::hostPeers(net, basePort, peers - 1)) return 1;
    return playLockstep(1, peers, ticks);
}

int soloMatch(int peers, int ticks) {
    while (lockstep.currentTurn < ticks) {
        std::vector<Command> cmds;
        for (int id = 1; id <= peers; ++id)
            for (Command& cmd : scriptedOrders(lockstep.currentTurn, id)) cmds.push_back(std::move(cmd));
        applyLiveTurn(cmds, grid, 0);
        advanceOneTurn(grid);
        if (lockstep.currentTurn % CHECKSUM_EVERY == 0) printChecksum();
    }
    return 0;
}

int netUsage() {
    std::cerr << "usage: corvale_run net host BASE_PORT PEERS TICKS [UNITS]\n"
                 "       corvale_run net join PORT ID PEERS TICKS [UNITS]   (to a host or a relay on 127.0.0.1)\n"
                 "       corvale_run net solo PEERS TICKS [UNITS]\n";
    return 2;
}

}  // namespace

int runNetMatch(int argc, char** argv) {
    if (argc < 3) return netUsage();
    const std::string role = argv[2];
    std::vector<int> n;
    for (int i = 3; i < argc; ++i) n.push_back(std::atoi(argv[i]));
    const size_t wanted = role == "host" ? 3 : role == "join" ? 4 : role == "solo" ? 2 : 0;
    if (wanted == 0 || n.size() < wanted) return netUsage();
    const int peers = n[wanted - 2];
    const int units = n.size() > wanted ? n[wanted] : 20;
    if (peers < 1 || !buildBattle(peers, units)) return 1;
    if (role == "solo") return soloMatch(peers, n[1]);
    if (role == "host") return hostMatch(n[0], peers, n[2]);
    if (!net.connect("127.0.0.1", static_cast<uint16_t>(n[0]))) return 1;
    return playLockstep(n[1], peers, n[3]);
}
