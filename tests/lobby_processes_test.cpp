// Two game processes on 127.0.0.1, each played through its real pages by synthetic input: one hosts a lobby, the
// other finds it after Refresh and joins with the password; race and map reach the other side, and the match the
// host starts runs alike on both.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "lobby_peer_process.h"

namespace {

TEST(LobbyProcesses, GuestFindsJoinsAndPlaysTheHostsMatchInStep) {
    TempDir dir;
    Peer host(gameFolder(dir, "host"), "host", std::to_string(41000 + (getpid() % 2000) * 12));
    const std::string ports = host.line();
    ASSERT_EQ(ports.rfind("ports ", 0), 0u) << ports;
    ASSERT_EQ(host.line(), "hosting Unnamed Lobby (fight)");
    Peer guest(gameFolder(dir, "guest"), "join", ports.substr(6));
    const std::vector<std::string> seen = guest.rest();
    const std::vector<std::string> hosted = host.rest();
    ASSERT_EQ(seen.size(), 7u);
    EXPECT_EQ(seen[0], "listed Unnamed Lobby [1/2] (fight) 127.0.0.1");
    // Both views show the same two players, the guest's race as it clicked it, the host's map, the same match.
    EXPECT_EQ(std::vector<std::string>(seen.begin() + 1, seen.end()), hosted);
    ASSERT_EQ(hosted.size(), 6u);
    EXPECT_EQ(hosted[0], "players 2");
    EXPECT_NE(hosted[1], "map fight");
    EXPECT_EQ(hosted[2].substr(hosted[2].rfind(' ')), " vohmathal");
    EXPECT_EQ(hosted[3], "started " + hosted[1].substr(4));
    EXPECT_EQ(hosted[4].rfind("tick 1000 checksum ", 0), 0u);
    EXPECT_EQ(hosted[5], "ended hosting 0 connections 0");
}

}  // namespace
