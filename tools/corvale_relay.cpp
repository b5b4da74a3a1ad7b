// A stand-in for the online relay server: waits on 127.0.0.1 for the given number of peers, then passes every
// frame one peer sends to all the others, in order, until every peer has gone.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "network_manager.h"

namespace {

constexpr int PORT_TRIES = 200;
constexpr double WAIT_LIMIT_SECONDS = 120.0;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: corvale_relay BASE_PORT PEERS\n";
        return 2;
    }
    const int basePort = std::atoi(argv[1]);
    const int peers = std::atoi(argv[2]);
    NetworkManager relay;
    int port = basePort;
    while (!relay.listen(static_cast<uint16_t>(port)))
        if (++port >= basePort + PORT_TRIES) return 1;
    std::printf("port %d\n", port);
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    while (static_cast<int>(relay.connections.size()) < peers) {
        if (std::chrono::steady_clock::now() - start > std::chrono::duration<double>(WAIT_LIMIT_SECONDS)) return 1;
        if (!relay.acceptClient()) relay.waitForTraffic(100);
    }
    while (!relay.connections.empty()) {
        for (const NetPacket& packet : relay.receivePackets()) relay.relayPacket(packet);
        relay.waitForTraffic(100);
    }
    return 0;
}
