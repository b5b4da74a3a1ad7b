// A host and a joining peer in one process over loopback, each with its own lobby state and player list.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "lobby_side.h"

struct LoopbackLobby : ::testing::Test {
    void SetUp() override {
        savedTcp = netTcpPort;
        savedAddress = netBroadcastAddress;
        hostDenOnLoopback(host, guest.link);
    }
    void TearDown() override {
        netTcpPort = savedTcp;
        netUdpPorts[0] = 54000;
        netUdpPorts[1] = 54001;
        netBroadcastAddress = savedAddress;
    }

    // Both peers step until the condition holds; false when it does not within a bounded number of steps.
    bool stepUntil(const std::function<bool()>& done) { return stepUntil(host, guest, done); }
    static bool stepUntil(LobbySide& host, LobbySide& guest, const std::function<bool()>& done) {
        for (int i = 0; i < 200 && !done(); ++i) {
            updateLobbyNetworking(host.peer);
            updateLobbyNetworking(guest.peer);
            if (done()) break;
            host.link.waitForTraffic(10);
            guest.link.waitForTraffic(10);
        }
        return done();
    }

    void sendJoin(NetworkManager& link, const std::vector<std::string>& fields) {
        NetPacket p(PacketType::JoinLobby);
        for (const std::string& f : fields) p.writeString(f);
        link.sendPacket(p);
    }

    // The host takes a connection in one step and reads it in a later one.
    bool acceptedThenDropped() {
        return stepUntil([&] { return !host.link.connections.empty(); }) &&
               stepUntil([&] { return host.link.connections.empty(); });
    }

    static NetPacket raceOf(int id, const std::string& race) {
        NetPacket p(PacketType::ChangeRace);
        p.writeInt(id);
        p.writeString(race);
        return p;
    }

    LobbySide host{1};
    LobbySide guest{2};
    uint16_t savedTcp = 0;
    std::string savedAddress;
};

inline Lobby hostAt(const Lobby& found) {
    Lobby lobby = found;
    lobby.hostIp = "127.0.0.1";
    return lobby;
}
