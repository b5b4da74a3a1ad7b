// The map a lobby match starts on: a guest whose copy of the host's map is missing, garbage or another map says so
// and plays nothing, and the host's match counts it gone; equal copies start.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "game_state.h"
#include "lobby_side.h"
#include "lockstep_peers.h"
#include "test_files.h"

namespace {

struct LobbyMap : ::testing::Test {
    // Both peers of the process read the maps of one folder: the host fingerprints its copy at the start, and the
    // guest's copy is changed before the guest reads the start message.
    void SetUp() override {
        for (const char* map : {"fight", "highlands"})
            folder.write(std::string("maps/") + map + ".map",
                         readWholeFile(std::string(CORVALE_SOURCE_DIR) + "/maps/" + map + ".map"));
        basePath = folder.str() + "/";
        StartLobbyMatch = [this](bool isHost, const std::string& map) {
            if (!isHost) guestStarts.push_back(map);
        };
    }
    void TearDown() override {
        basePath = savedBase;
        StartLobbyMatch = savedStart;
        netTcpPort = savedTcp;
        netUdpPorts[0] = 54000;
        netUdpPorts[1] = 54001;
        netBroadcastAddress = savedAddress;
    }

    static bool stepUntil(LobbySide& host, LobbySide& guest, const std::function<bool()>& done) {
        for (int i = 0; i < 200 && !done(); ++i) {
            updateLobbyNetworking(host.peer);
            updateLobbyNetworking(guest.peer);
            host.link.waitForTraffic(10);
            guest.link.waitForTraffic(10);
        }
        return done();
    }

    TempDir folder;
    std::vector<std::string> guestStarts;
    std::string savedBase = basePath;
    decltype(StartLobbyMatch) savedStart = StartLobbyMatch;
    uint16_t savedTcp = netTcpPort;
    std::string savedAddress = netBroadcastAddress;
};

TEST_F(LobbyMap, AGuestOnAnotherCopyOfTheMapSaysSoInOneLinePlaysNothingAndTheHostSeesItLeave) {
    const std::string fight = folder / "maps/fight.map";
    const std::string notTheHosts = "The match could not start: the map \"fight\" on this computer is not the host's.";
    const struct {
        const char* copy;
        std::function<void()> change;
        std::string line;  // none: the copies are equal and the guest starts
    } cases[] = {
        {"equal", [] {}, ""},
        {"another map", [&] { std::filesystem::copy_file(folder / "maps/highlands.map", fight,
                                                          std::filesystem::copy_options::overwrite_existing); },
         notTheHosts},
        {"garbage", [&] { folder.write("maps/fight.map", "garbage"); }, notTheHosts},
        {"missing", [&] { std::filesystem::remove(fight); },
         "The match could not start: the map \"fight\" is missing on this computer."},
    };
    const std::string hostsCopy = readWholeFile(fight);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.copy);
        folder.write("maps/fight.map", hostsCopy);
        guestStarts.clear();
        LobbySide host{1};
        LobbySide guest{2};
        hostDenOnLoopback(host, guest.link);
        ASSERT_TRUE(joinLobby(guest.peer, Lobby{"Den", 1, "fight", "127.0.0.1", 1, 2}, "secret"));
        ASSERT_TRUE(stepUntil(host, guest, [&] { return guest.state.joined; }));
        startLobbyMatch(host.peer);
        c.change();
        ::testing::internal::CaptureStderr();
        const bool answered = stepUntil(host, guest, [&] { return guest.state.started || !guest.state.joined; });
        const std::string errors = ::testing::internal::GetCapturedStderr();
        ASSERT_TRUE(answered);
        if (c.line.empty()) {
            EXPECT_EQ(errors, "");
            EXPECT_EQ(guestStarts, std::vector<std::string>{"fight"});
            EXPECT_EQ(guest.link.connections.size(), 1u);
            continue;
        }
        EXPECT_EQ(errors, c.line + "\n");
        EXPECT_EQ(guest.state.startRefused, c.line);
        EXPECT_TRUE(guestStarts.empty());
        EXPECT_FALSE(guest.state.started);
        EXPECT_TRUE(guest.link.connections.empty());
        EXPECT_EQ(guest.roster.size(), 1u);
        // The host is in its match already, where a peer whose connection closed has left.
        LockstepManager match;
        RecordingRunner runner;
        for (int i = 0; i < 200 && runner.left.empty(); ++i) {
            match.step(0.0f, 0, 1, {1, 2}, host.link, runner);
            host.link.waitForTraffic(10);
        }
        EXPECT_EQ(runner.left, std::vector<int>{2});
    }
}

// A start message from a host that sends no fingerprint is cut short: the guest drops the connection with one line
// and starts nothing.
TEST_F(LobbyMap, AStartMessageWithoutTheFingerprintDropsTheHostsConnection) {
    LobbySide host{1};
    LobbySide guest{2};
    hostDenOnLoopback(host, guest.link);
    ASSERT_TRUE(joinLobby(guest.peer, Lobby{"Den", 1, "fight", "127.0.0.1", 1, 2}, "secret"));
    ASSERT_TRUE(stepUntil(host, guest, [&] { return guest.state.joined; }));
    NetPacket start(PacketType::StartGame);
    start.writeString("Den");
    start.writeString("fight");
    start.writeByte(0);
    host.link.sendPacket(start);
    ::testing::internal::CaptureStderr();
    const bool dropped = stepUntil(host, guest, [&] { return !guest.state.joined; });
    const std::string errors = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(dropped);
    EXPECT_NE(errors.find("a start message cut short"), std::string::npos) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_TRUE(guestStarts.empty());
    EXPECT_TRUE(guest.link.connections.empty());
}

}  // namespace
