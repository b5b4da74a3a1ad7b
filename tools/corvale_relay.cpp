// A stand-in for the online relay server: waits for the given number of peers, then passes every frame one
// peer sends to all the others, in order, until every peer has gone.
#include <cstdlib>
#include <iostream>

#include "relay_stand_in.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: corvale_relay BASE_PORT PEERS\n";
        return 2;
    }
    NetworkManager link;
    if (loopback::listenFrom(link, std::atoi(argv[1])) < 0 || !relay::admitPeers(link, std::atoi(argv[2]))) return 1;
    while (!link.connections.empty()) {
        relay::passFrames(link);
        link.waitForTraffic(100);
    }
    return 0;
}
