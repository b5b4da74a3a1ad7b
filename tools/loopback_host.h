// Hosting for the runner's network matches and the relay stand-in: the first free port from a base, announced on
// the standard output, then the wait for every expected peer.
#pragma once

#include <chrono>
#include <cstdio>

#include "network_manager.h"

namespace loopback {

constexpr int PORT_TRIES = 200;
constexpr double WAIT_LIMIT_SECONDS = 300.0;

// The port listened on, announced as "port N"; -1 when none from the base on is free.
inline int listenFrom(NetworkManager& link, int basePort) {
    int port = basePort;
    while (!link.listen(static_cast<uint16_t>(port)))
        if (++port >= basePort + PORT_TRIES) return -1;
    std::printf("port %d\n", port);
    std::fflush(stdout);
    return port;
}

// False when the peers do not all come in time.
inline bool awaitPeers(NetworkManager& link, int peers) {
    const auto start = std::chrono::steady_clock::now();
    while (static_cast<int>(link.connections.size()) < peers) {
        if (std::chrono::steady_clock::now() - start > std::chrono::duration<double>(WAIT_LIMIT_SECONDS)) return false;
        if (!link.acceptClient()) link.waitForTraffic(100);
    }
    return true;
}

}  // namespace loopback
