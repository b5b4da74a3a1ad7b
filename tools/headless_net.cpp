// Peers of one battle exchange their scripted orders in lockstep over TCP and print the world checksum every 100
// ticks; "solo" plays every peer's orders in one process, so the lines can be compared.
#include "headless_net.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "game_commands_wire.h"
#include "headless_rogue.h"
#include "headless_session.h"
#include "lockstep_exchange.h"
#include "loopback_host.h"
#include "network_manager.h"
#include "network_manager_lobby.h"

namespace {

constexpr int CHECKSUM_EVERY = 100;
constexpr double TIME_LIMIT_SECONDS = 300.0;

// What the options after the numbers ask: frames a second to hold a peer to (0: as fast as the turns come); on the
// host the joined players without an army who are awaited like the others; the tick from which the peer falls
// silent (-1: never); how many times faster than the wall the network clock runs, so the others' wait for a
// silent peer is short; and the milliseconds the peer stands still before its last tick, as one whose last frames
// come late.
struct Options {
    int fps = 0;
    int guests = 0;
    int silentAfter = -1;
    int clockScale = 1;
    int holdBeforeEndMs = 0;
};

const struct {
    const char* name;
    int Options::*field;
} optionFields[] = {
    {"--fps", &Options::fps},
    {"--guests", &Options::guests},
    {"--silent-after", &Options::silentAfter},
    {"--clock-scale", &Options::clockScale},
    {"--hold-before-end", &Options::holdBeforeEndMs},
};

// The field an option names, or null.
int Options::*optionField(const std::string& name) {
    for (const auto& option : optionFields)
        if (name == option.name) return option.field;
    return nullptr;
}

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
    // Orders applied per issuing player, to show that no one ordered for another.
    std::map<int, int> applied;
    bool isPaused() const override { return paused; }
    void apply(const Command& cmd) override {
        if (cmd.type != CommandType::Ping && cmd.type != CommandType::Pong) ++applied[cmd.player];
        applyCommand(cmd, grid, 0, false);
    }
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

// The turn after the last tick: a peer sends it once it has reached that tick, so holding every other's part of it
// tells that all of them have reached it too. Nothing of it is applied, and a peer that closes meanwhile has ended or
// gone, which a match already over does not report.
class EndRunner : public TurnRunner {
public:
    bool othersEnded = false;
    bool isPaused() const override { return false; }
    void apply(const Command&) override {}
    void tick() override { othersEnded = true; }
    void playerLeft(int) override {}
};

// A peer at its last tick stays until every other that still plays has reached it: closing at once, it would be
// counted gone by a peer a few turns behind. The network clock runs on from the match's start; the wait has a limit
// of its own.
bool awaitTheOthersEnd(int me, const std::vector<int>& gated, float frame, std::chrono::steady_clock::time_point start) {
    EndRunner end;
    const auto waitStart = std::chrono::steady_clock::now();
    while (!end.othersEnded) {
        if (secondsSince(waitStart) > TIME_LIMIT_SECONDS) {
            std::cerr << "corvale_run: the others did not reach tick " << lockstep.currentTurn << "\n";
            return false;
        }
        lockstep.step(frame, static_cast<int>(secondsSince(start) * 1000.0), me, gated, net, end);
        if (!end.othersEnded) net.waitForTraffic(50);
    }
    return true;
}

// Sends nothing more, as a hung peer whose socket stays open, but reads on until every peer has closed its
// connection to this one.
int fallSilent() {
    std::printf("silent at tick %d\n", lockstep.currentTurn);
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    while (!net.connections.empty()) {
        if (secondsSince(start) > TIME_LIMIT_SECONDS) return 1;
        net.waitForTraffic(50);
        net.receivePackets();
    }
    std::printf("closed by every peer\n");
    std::fflush(stdout);
    return 0;
}

void printEnd(const BattleRunner& runner, int worstPingMs) {
    std::string orders = "orders applied:";
    for (const auto& [player, count] : runner.applied)
        orders += " P" + std::to_string(player) + " " + std::to_string(count);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%s\nworst ping: %d ms\npeak memory: %ld KiB\n", orders.c_str(), worstPingMs, usage.ru_maxrss);
    std::fflush(stdout);
}

// Frames of 1/fps seconds held to the wall clock, or, without a rate, one turn length a frame as fast as the
// turns come in. The scripted orders of a turn are given once, when it becomes the next to send.
int playLockstep(int me, const std::vector<int>& gated, int ticks, const Options& options) {
    Player::myStaticId = localPlayerId = me;
    BattleRunner runner;
    const auto start = std::chrono::steady_clock::now();
    const float frame = options.fps > 0 ? std::min(0.05f, 1.0f / static_cast<float>(options.fps)) : lockstep.tickSeconds;
    int ordered = -1;
    int worstPingMs = 0;
    int holdMs = options.holdBeforeEndMs;
    // The first pings measure the start-up of the other processes.
    const int pingFromTick = 60;
    for (int frames = 1; lockstep.currentTurn < ticks; ++frames) {
        if (secondsSince(start) > TIME_LIMIT_SECONDS) {
            std::cerr << "corvale_run: the match stalled at tick " << lockstep.currentTurn << "\n";
            return 1;
        }
        if (options.silentAfter >= 0 && lockstep.currentTurn >= options.silentAfter) return fallSilent();
        if (holdMs > 0 && lockstep.currentTurn == ticks - 1)
            std::this_thread::sleep_for(std::chrono::milliseconds(std::exchange(holdMs, 0)));
        if (lockstep.sendTurn != ordered) {
            ordered = lockstep.sendTurn;
            for (const Command& cmd : scriptedOrders(ordered, me)) lockstep.collectCommand(cmd);
        }
        const int applied = lockstep.receiveTurn;
        latencyMs = 0;
        lockstep.step(frame, static_cast<int>(secondsSince(start) * 1000.0), me, gated, net, runner);
        if (lockstep.currentTurn >= pingFromTick) worstPingMs = std::max(worstPingMs, latencyMs);
        if (options.fps > 0)
            std::this_thread::sleep_until(start + std::chrono::duration<double>(frames / static_cast<double>(options.fps)));
        else if (lockstep.receiveTurn == applied)
            net.waitForTraffic(50);
    }
    printEnd(runner, worstPingMs);
    return awaitTheOthersEnd(me, gated, frame, start) ? 0 : 1;
}

// Binds each connection to the player its join names, while any of the expected ones is missing; whatever a
// connection sends before it joined, or a join for an id not expected or taken, is refused. The first turns of
// those who joined wait for the match, and so do the closed connections: a player who joined and left before the
// start is announced gone by the match's first step, rather than awaited to its end. A join read from a connection
// already closed takes no place.
bool bindJoiners(std::set<int> expected) {
    const auto start = std::chrono::steady_clock::now();
    while (!expected.empty()) {
        if (secondsSince(start) > loopback::WAIT_LIMIT_SECONDS) return false;
        std::vector<NetPacket> early;
        for (NetPacket& p : net.receivePackets()) {
            if (net.wasRefused(p.source)) continue;
            if (net.playerOf(p.source) != NetworkManager::NO_PLAYER) {
                early.push_back(std::move(p));
                continue;
            }
            JoinRequest join;
            if (p.type != static_cast<uint8_t>(PacketType::JoinLobby))
                net.refuse(p.source, "message " + std::to_string(p.type) + " from a connection that never joined");
            else if (!readJoinRequest(p, join))
                net.refuse(p.source, "");
            else if (!expected.count(join.playerId))
                net.refuse(p.source, "a join as player " + std::to_string(join.playerId) + ", who is taken");
            else
                net.bindConnection(p.source, join.playerId);
            if (net.playerOf(p.source) != join.playerId) continue;
            expected.erase(join.playerId);
            std::printf("joined: P%d\n", join.playerId);
            std::fflush(stdout);
        }
        net.holdBack(std::move(early));
        if (!expected.empty()) net.waitForTraffic(50);
    }
    net.stopAccepting();
    return true;
}

std::vector<int> playerRange(int first, int last) {
    std::vector<int> ids;
    for (int id = first; id <= last; ++id) ids.push_back(id);
    return ids;
}

int hostMatch(int basePort, int peers, int ticks, const Options& options) {
    net.maxConnections = static_cast<size_t>(peers + options.guests) + AWAITING_JOIN;
    if (loopback::listenFrom(net, basePort) < 0) return 1;
    const std::vector<int> gated = playerRange(1, peers + options.guests);
    if (!bindJoiners({gated.begin() + 1, gated.end()})) return 1;
    return playLockstep(1, gated, ticks, options);
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
    std::cerr << "usage: corvale_run net host BASE_PORT PEERS TICKS [UNITS] [OPTIONS]\n"
                 "       corvale_run net join PORT ID PEERS TICKS [UNITS] [OPTIONS]\n"
                 "                                             (to a host or a relay on 127.0.0.1)\n"
                 "       corvale_run net solo PEERS TICKS [UNITS]\n"
                 "       corvale_run net rogue PORT FIRST_ID GUESTS   (a hostile client, as the guests)\n"
                 "options: --fps N  --guests N  --silent-after TICK  --clock-scale N  --hold-before-end MS\n";
    return 2;
}

}  // namespace

int runNetMatch(int argc, char** argv) {
    if (argc < 3) return netUsage();
    const std::string role = argv[2];
    std::vector<int> n;
    Options options;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if (int Options::*field = optionField(arg); field && i + 1 < argc)
            options.*field = std::max(0, std::atoi(argv[++i]));
        else
            n.push_back(std::atoi(argv[i]));
    }
    if (options.clockScale > 1)
        net.clockMs = [scale = static_cast<uint32_t>(options.clockScale)] { return SDL_GetTicks() * scale; };
    if (role == "rogue") return n.size() < 3 ? netUsage() : rogue::play(n[0], n[1], n[2]);
    const size_t wanted = role == "host" ? 3 : role == "join" ? 4 : role == "solo" ? 2 : 0;
    if (wanted == 0 || n.size() < wanted) return netUsage();
    const int peers = n[wanted - 2];
    const int units = n.size() > wanted ? n[wanted] : 20;
    if (peers < 1 || !buildBattle(peers, units)) return 1;
    if (role == "solo") return soloMatch(peers, n[1]);
    if (role == "host") return hostMatch(n[0], peers, n[2], options);
    if (!net.connect("127.0.0.1", static_cast<uint16_t>(n[0]))) return 1;
    // The join of the lobby comes first, so the host knows whom the connection speaks for.
    net.sendPacket(joinRequestPacket({"net", "127.0.0.1", n[1], "P" + std::to_string(n[1]), "human", 0, ""}));
    return playLockstep(n[1], playerRange(1, peers + options.guests), n[3], options);
}
