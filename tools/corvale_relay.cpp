// A stand-in for the online relay server: waits for the given number of peers, then passes every frame one
// peer sends to all the others, in order, until every peer has gone.
#include <cstdlib>
#include <iostream>

#include "loopback_host.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: corvale_relay BASE_PORT PEERS\n";
        return 2;
    }
    const int basePort = std::atoi(argv[1]);
    const int peers = std::atoi(argv[2]);
    NetworkManager relay;
    if (!loopback::hostPeers(relay, basePort, peers)) return 1;
    // The peers never join the relay itself, yet pass on frames of any size.
    for (NetworkManager::Connection& c : relay.connections) c.frameLimit = MAX_FRAME_LENGTH;
    while (!relay.connections.empty()) {
        for (const NetPacket& packet : relay.receivePackets()) relay.relayPacket(packet);
        relay.waitForTraffic(100);
    }
    return 0;
}
