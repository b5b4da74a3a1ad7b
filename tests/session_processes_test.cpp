// Whole game processes on 127.0.0.1 played through their real pages: two started together write two readable
// replays, and a LAN match whose other peer leaves ends with the result dialog for the one that stays.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "lobby_peer_process.h"
#include "lockstep.h"
#include "player.h"
#include "screenshot_folder.h"

namespace {

std::string portsBase(int slot) { return std::to_string(43000 + slot * 6000 + (getpid() % 400) * 12); }

// The host's lines up to its announcement, then the guest started against its ports.
std::string hostPorts(Peer& host) {
    const std::string ports = host.line();
    EXPECT_EQ(ports.rfind("ports ", 0), 0u) << ports;
    EXPECT_EQ(host.line(), "hosting Unnamed Lobby (fight)");
    return ports.size() > 6 ? ports.substr(6) : "";
}

TEST(SessionProcesses, TwoGamesStartingTheirMatchTogetherInOneFolderWriteTwoReadableReplays) {
    TempDir dir;
    const std::string folder = gameFolder(dir, "shared");
    Peer host(folder, "host", portsBase(0), 300);
    const std::string ports = hostPorts(host);
    Peer guest(folder, "join", ports, 300);
    const std::vector<std::string> seen = guest.rest();
    const std::vector<std::string> hosted = host.rest();
    ASSERT_EQ(hosted.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(seen.begin() + 1, seen.end()), hosted) << "the same match on both";

    std::vector<std::filesystem::path> logs{std::filesystem::directory_iterator(dir.path / "shared/replays"), {}};
    ASSERT_EQ(logs.size(), 2u) << "one replay each";
    std::sort(logs.begin(), logs.end());
    const std::regex pattern(R"(replay_\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d(_2)?\.bin)");
    for (const std::filesystem::path& log : logs) {
        EXPECT_TRUE(std::regex_match(log.filename().string(), pattern)) << log;
        std::ifstream in(log, std::ios::binary);
        EXPECT_TRUE(loadReplay(in)) << log;
        EXPECT_FALSE(replayTurns.empty()) << log;
        EXPECT_LE(replayTurns.back().tick, 300) << log;
    }
    replayTurns.clear();
    players.clear();
    restoreConfigurationAfterReplay();
}

TEST(SessionProcesses, WhenTheOtherPeerLeavesTheOneThatStaysGetsTheVictoryDialog) {
    TempDir dir;
    Peer host(gameFolder(dir, "host"), "host", portsBase(1), 300, "result");
    const std::string ports = hostPorts(host);
    Peer guest(gameFolder(dir, "guest"), "join", ports, 300, "leave");
    const std::vector<std::string> seen = guest.rest();
    const std::vector<std::string> hosted = host.rest();
    ASSERT_EQ(seen.size(), 7u);
    EXPECT_EQ(seen.back(), "ended hosting 0 connections 0") << "the guest left";
    ASSERT_EQ(hosted.size(), 7u);
    EXPECT_EQ(hosted[4], seen[5]) << "both played the same match up to the leave";
    EXPECT_EQ(hosted[5], "result VICTORY");
    const std::filesystem::path shot = dir.path / "host/result.png";
    ASSERT_TRUE(std::filesystem::exists(shot));
    std::filesystem::create_directories(screenshotFolder());
    std::filesystem::copy_file(shot, std::filesystem::path(screenshotFolder()) / "lan_peer_left_victory.png",
                               std::filesystem::copy_options::overwrite_existing);
}

}  // namespace
