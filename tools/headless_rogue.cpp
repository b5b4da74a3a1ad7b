// The hostile client of the networked runner: plain sockets that send what no well-behaved peer sends.
#include "headless_rogue.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "game_commands_wire.h"
#include "network_manager.h"
#include "network_manager_lobby.h"

namespace rogue {

namespace {

constexpr int FLOOD = 2000;
constexpr int WAIT_MS = 10000;
constexpr int FIRST_ATTACK_TURN = 150;
constexpr int TURNS_BETWEEN_ATTACKS = 250;
constexpr int MATCH_FLOOD_TURN = 1000;
constexpr int HOST = 1;

using Bytes = std::vector<uint8_t>;

int connectTo(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) return fd;
    if (fd >= 0) close(fd);
    return -1;
}

void sendAll(int fd, const Bytes& bytes) {
    for (size_t sent = 0; sent < bytes.size();) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

// Reads what has come; false once the host closed the connection.
bool drain(int fd, Bytes& into, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return true;
    uint8_t chunk[65536];
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    into.insert(into.end(), chunk, chunk + n);
    return true;
}

void waitForClose(int fd) {
    Bytes ignored;
    const auto start = std::chrono::steady_clock::now();
    while (drain(fd, ignored, 100)) {
        ignored.clear();
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(WAIT_MS)) break;
    }
    close(fd);
}

Bytes frameOf(const NetPacket& p) { return framePacket(p); }

NetPacket idPacket(PacketType type, int id) {
    NetPacket p(type);
    p.writeInt(id);
    return p;
}

NetPacket joinPacket(int id, const std::string& name) {
    return joinRequestPacket({"net", "127.0.0.1", id, name, "human", 0, ""});
}

NetPacket turnPacket(int tick, int player, std::vector<Command> cmds) {
    return writeTurnPacket(Turn{tick, player, std::move(cmds)});
}

NetPacket rawPacket(PacketType type, const std::vector<int32_t>& ints) {
    NetPacket p(type);
    for (int32_t v : ints) p.writeInt(v);
    return p;
}

Bytes lengthOnly(uint32_t length, size_t followingBytes) {
    Bytes b = {static_cast<uint8_t>(length >> 24), static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 8),
               static_cast<uint8_t>(length)};
    b.resize(b.size() + followingBytes, 2);
    return b;
}

// What a connection that never joined sends, one kind per connection in turn; each earns it one refusal.
Bytes unjoinedMessage(int i) {
    const Command forged{CommandType::Move, HOST, MoveCommand{{1}, 10, 10, false}};
    switch (i % 10) {
        case 0: return lengthOnly(MAX_FRAME_LENGTH, 1000);
        case 1: return frameOf(turnPacket(0, HOST, {forged}));
        case 2: return frameOf(idPacket(PacketType::PlayerLeft, HOST));
        case 3: return frameOf(joinPacket(90, std::string(1 << 20, 'n')));
        case 4: return frameOf(joinPacket(91, std::string(MAX_NAME_BYTES + 1, 'n')));
        case 5: return frameOf(rawPacket(PacketType::JoinLobby, {0}));
        case 6: return frameOf(joinPacket(HOST, "host"));
        case 7: return frameOf(rawPacket(static_cast<PacketType>(77), {1}));
        case 8: return frameOf(rawPacket(PacketType::TurnCommands, {5, 3}));
        default: return lengthOnly(0, 0);
    }
}

// First as many connections as the host keeps, opened at once before any says a word; then one after another. Each
// is refused for what it says.
int floodLobby(int port, int places) {
    std::vector<int> held;
    // Paced so the host's short queue of connections waiting for it never overflows.
    for (int i = 0; i < places; ++i) {
        if (const int fd = connectTo(port); fd >= 0) held.push_back(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    int i = 0;
    for (int fd : held) {
        sendAll(fd, unjoinedMessage(i++));
        waitForClose(fd);
    }
    for (; i < FLOOD; ++i) {
        const int fd = connectTo(port);
        if (fd < 0) return i;
        sendAll(fd, unjoinedMessage(i));
        waitForClose(fd);
    }
    return FLOOD;
}

// A guest of the match: its own turns, empty, up to the host's, until the turn it breaks its rule.
struct Guest {
    int id = 0;
    int fd = -1;
    int sent = 0;
    Bytes buffer;
    bool attacked = false;
};

// Each guest breaks one rule: orders and turns of others, leaves, a turn far ahead, malformed messages, a turn
// sent again, and a 4 MiB frame never finished before the guest goes.
void attack(Guest& g, int kind) {
    const Command forged{CommandType::Move, HOST, MoveCommand{{1}, 10, 10, false}};
    switch (kind) {
        case 0: sendAll(g.fd, frameOf(turnPacket(g.sent, g.id, {forged}))); break;
        case 1: sendAll(g.fd, frameOf(turnPacket(g.sent, 2, {}))); break;
        case 2: sendAll(g.fd, frameOf(idPacket(PacketType::PlayerLeft, HOST))); break;
        case 3: sendAll(g.fd, frameOf(idPacket(PacketType::PlayerLeft, g.id))); break;
        case 4: sendAll(g.fd, frameOf(turnPacket(g.sent + 100000, g.id, {}))); break;
        case 5: sendAll(g.fd, frameOf(rawPacket(PacketType::TurnCommands, {g.sent, g.id}))); break;
        case 6: sendAll(g.fd, frameOf(rawPacket(PacketType::TurnCommands, {g.sent, g.id, -1}))); break;
        case 7: sendAll(g.fd, frameOf(NetPacket(PacketType::PlayerLeft))); break;
        case 8: sendAll(g.fd, frameOf(rawPacket(static_cast<PacketType>(99), {g.id}))); break;
        case 9: sendAll(g.fd, frameOf(turnPacket(g.sent - 1, g.id, {}))); break;
        default:
            sendAll(g.fd, lengthOnly(MAX_FRAME_LENGTH, MAX_FRAME_LENGTH - 4096));
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            close(g.fd);
            g.fd = -1;
            break;
    }
    g.attacked = true;
}

// The highest turn the host has sent, read from what the guest heard.
void readHostTurns(Guest& g, int& hostTurn) {
    if (!drain(g.fd, g.buffer, 0)) {
        close(g.fd);
        g.fd = -1;
        return;
    }
    std::vector<NetPacket> packets;
    uint32_t bad = 0;
    cutFrames(g.buffer, packets, bad);
    for (NetPacket& p : packets) {
        Turn turn;
        if (p.type == static_cast<uint8_t>(PacketType::TurnCommands) && readTurnPacket(p, turn) && turn.player == HOST)
            hostTurn = std::max(hostTurn, turn.tick);
    }
}

// Once the match runs the host takes no connection at all: every one is refused before it is made.
int floodMatch(int port) {
    int refused = 0;
    for (int i = 0; i < FLOOD; ++i) {
        const int fd = connectTo(port);
        if (fd < 0)
            ++refused;
        else
            close(fd);
    }
    return refused;
}

bool anyAlive(const std::vector<Guest>& guests) {
    for (const Guest& g : guests)
        if (g.fd >= 0) return true;
    return false;
}

void playGuests(std::vector<Guest>& guests, int port) {
    int hostTurn = -1;
    bool matchFlooded = false;
    const auto start = std::chrono::steady_clock::now();
    while (anyAlive(guests) && std::chrono::steady_clock::now() - start < std::chrono::seconds(120)) {
        std::vector<pollfd> fds;
        for (const Guest& g : guests)
            if (g.fd >= 0) fds.push_back({g.fd, POLLIN, 0});
        poll(fds.data(), fds.size(), 50);
        for (size_t k = 0; k < guests.size(); ++k) {
            Guest& g = guests[k];
            if (g.fd < 0) continue;
            readHostTurns(g, hostTurn);
            if (g.fd < 0 || g.attacked) continue;
            if (hostTurn >= FIRST_ATTACK_TURN + static_cast<int>(k) * TURNS_BETWEEN_ATTACKS) {
                attack(g, static_cast<int>(k));
                continue;
            }
            for (; g.sent <= hostTurn; ++g.sent) sendAll(g.fd, frameOf(turnPacket(g.sent, g.id, {})));
        }
        if (!matchFlooded && hostTurn >= MATCH_FLOOD_TURN) {
            matchFlooded = true;
            std::printf("match connections refused: %d\n", floodMatch(port));
            std::fflush(stdout);
        }
    }
}

}  // namespace

int play(int port, int firstId, int guestCount) {
    // The host keeps a place for each player and a few for connections yet to join.
    const int flooded = floodLobby(port, firstId - 1 + guestCount + static_cast<int>(AWAITING_JOIN));
    std::printf("lobby connections refused: %d\n", flooded);
    std::vector<Guest> guests;
    for (int k = 0; k < guestCount; ++k) {
        Guest g;
        g.id = firstId + k;
        g.fd = connectTo(port);
        if (g.fd < 0) return 1;
        sendAll(g.fd, frameOf(joinPacket(g.id, "G" + std::to_string(g.id))));
        guests.push_back(std::move(g));
    }
    // Every connection of the flood and every guest but the last, who leaves mid-frame, earns one line.
    std::printf("joined\nrefusals expected: %d\n", flooded + std::max(0, guestCount - 1));
    std::fflush(stdout);
    playGuests(guests, port);
    return 0;
}

}  // namespace rogue
