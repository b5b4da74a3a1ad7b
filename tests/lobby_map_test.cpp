// The map a lobby match starts on: a guest whose copy of the host's map is another map, garbage or missing says so
// in one line and plays nothing, and the host's match counts it gone; an equal copy starts.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "game_state.h"
#include "lockstep_peers.h"
#include "loopback_lobby.h"
#include "test_files.h"

namespace {

struct GuestCopy {
    const char* name;
    std::function<void(const TempDir&)> change;
    std::string line;  // empty: the copy is the host's and the guest starts
};

// Both peers of the process read the maps of one folder: the host fingerprints its copy as it starts, and the
// guest's copy is changed before the guest reads the start message.
struct LobbyMap : LoopbackLobby, ::testing::WithParamInterface<GuestCopy> {
    void SetUp() override {
        LoopbackLobby::SetUp();
        for (const std::string map : {"fight", "highlands"})
            folder.write("maps/" + map + ".map",
                         readWholeFile(std::string(CORVALE_SOURCE_DIR) + "/maps/" + map + ".map"));
        basePath = folder.str() + "/";
    }
    void TearDown() override {
        basePath = savedBase;
        StartLobbyMatch = savedStart;
        LoopbackLobby::TearDown();
    }
    TempDir folder;
    std::string savedBase = basePath;
    decltype(StartLobbyMatch) savedStart = StartLobbyMatch;
};

TEST_P(LobbyMap, AGuestStartsOnlyOnTheHostsCopyElseSaysSoInOneLineAndTheHostSeesItLeave) {
    std::vector<std::string> guestStarts;
    StartLobbyMatch = [&](bool isHost, const std::string& map) {
        if (!isHost) guestStarts.push_back(map);
    };
    ASSERT_TRUE(joinLobby(guest.peer, Lobby{"Den", 1, "fight", "127.0.0.1", 1, 2}, "secret"));
    ASSERT_TRUE(stepUntil([&] { return guest.state.joined; }));
    startLobbyMatch(host.peer);
    GetParam().change(folder);
    ::testing::internal::CaptureStderr();
    const bool answered = stepUntil([&] { return guest.state.started || !guest.state.joined; });
    const std::string errors = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(answered);
    const std::string& line = GetParam().line;
    if (line.empty()) {
        EXPECT_EQ(errors, "");
        EXPECT_EQ(guestStarts, std::vector<std::string>{"fight"});
        EXPECT_EQ(guest.link.connections.size(), 1u);
        return;
    }
    EXPECT_EQ(errors, line + "\n");
    EXPECT_EQ(guest.state.startRefused, line);
    EXPECT_TRUE(guestStarts.empty());
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

const std::string notTheHosts = "The match could not start: the map \"fight\" on this computer is not the host's.";

INSTANTIATE_TEST_SUITE_P(
    Copies, LobbyMap,
    ::testing::Values(
        GuestCopy{"Equal", [](const TempDir&) {}, ""},
        GuestCopy{"AnotherMap",
                  [](const TempDir& d) { d.write("maps/fight.map", readWholeFile(d / "maps/highlands.map")); },
                  notTheHosts},
        GuestCopy{"Garbage", [](const TempDir& d) { d.write("maps/fight.map", "garbage"); }, notTheHosts},
        GuestCopy{"Missing", [](const TempDir& d) { std::filesystem::remove(d / "maps/fight.map"); },
                  "The match could not start: the map \"fight\" is missing on this computer."}),
    [](const ::testing::TestParamInfo<GuestCopy>& info) { return std::string(info.param.name); });

}  // namespace
