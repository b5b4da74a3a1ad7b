// The relay stand-in's work: its peers taken in and then no one, and every frame one peer sends passed on to the
// others, in order.
#pragma once

#include "loopback_host.h"

namespace relay {

// The first connections to come are the peers; a later one finds no listener, so a stranger cannot reach them.
// The peers join no lobby here and pass frames of any size, for as long as their match lasts.
inline bool admitPeers(NetworkManager& link, int peers) {
    if (!loopback::awaitPeers(link, peers)) return false;
    for (const NetworkManager::Connection& c : link.connections) link.admitConnection(c.id);
    link.stopAccepting();
    return true;
}

inline void passFrames(NetworkManager& link) {
    for (const NetPacket& packet : link.receivePackets()) link.relayPacket(packet);
}

}  // namespace relay
