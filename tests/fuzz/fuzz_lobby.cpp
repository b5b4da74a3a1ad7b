// Arbitrary bytes arriving on a lobby connection, framed or not: a host's or a joined member's lobby step must
// read every message safely, whatever its fields hold.
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <sstream>

#include "network_manager_lobby.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::ostringstream sink;
    std::cerr.rdbuf(sink.rdbuf());
    sink.str("");
    LobbyState state;
    state.isHostLobby = true;
    state.baseCount = 4;
    std::vector<std::unique_ptr<Player>> roster;
    roster.push_back(std::make_unique<Player>(1, "host", "human", false));
    int teams = 1;
    std::unordered_map<int, int> palette;
    NetworkManager link;
    link.isHost = true;
    auto [theirs, ours] = makeMemoryLinkPair();
    const int connection = link.addConnection(std::move(ours));
    LobbyPeer peer{state, roster, teams, palette, link, 1};
    // The first byte chooses whether the rest is one message or raw stream bytes, whether the sender joined, and
    // whether this peer is a member hearing its host.
    if (size > 0 && data[0] & 4) {
        state.isHostLobby = link.isHost = false;
        state.joined = true;
    } else if (size > 0 && data[0] & 2) {
        roster.push_back(std::make_unique<Player>(2, "guest", "human", false));
        link.bindConnection(connection, 2);
    }
    if (size > 0 && data[0] % 2 == 0) {
        NetPacket p;
        p.type = size > 1 ? data[1] : 0;
        if (size > 2) p.data.assign(data + 2, data + size);
        theirs->send(framePacket(p));
    } else {
        theirs->send(std::vector<uint8_t>(data, data + size));
    }
    updateLobbyNetworking(peer);
    return 0;
}
