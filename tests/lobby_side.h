// One peer's own lobby for tests: its state, player list, team colours and transport, beside the game's own.
#pragma once

#include <unistd.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "network_manager_lobby.h"

struct LobbySide {
    LobbyState state;
    std::vector<std::unique_ptr<Player>> roster;
    int teams = 0;
    std::unordered_map<int, int> palette;
    NetworkManager link;
    LobbyPeer peer;
    explicit LobbySide(int id) : peer{state, roster, teams, palette, link, id} {
        roster.push_back(std::make_unique<Player>(id, "P" + std::to_string(id), "human", false));
    }
};

// Discovery on loopback ports picked from the process id, so lobby tests running side by side do not meet: the
// host takes the first port and the other side the second, then the host opens "Den" (password "secret", two
// bases) on the TCP port after them.
inline void hostDenOnLoopback(LobbySide& host, NetworkManager& other) {
    netBroadcastAddress = "127.0.0.1";
    uint16_t base = static_cast<uint16_t>(30000 + (getpid() % 3000) * 8);
    while (!host.link.openUdp(base) || !other.openUdp(base + 1)) base += 8;
    netUdpPorts[0] = base;
    netUdpPorts[1] = base + 1;
    netTcpPort = base + 2;
    while (!hostLobby(host.peer, "Den", "fight", "secret", 2)) ++netTcpPort;
}
