// Two game processes on 127.0.0.1, each played through its real pages by synthetic input: one hosts a lobby, the
// other finds it after Refresh and joins with the password; race and map reach the other side, and the match the
// host starts runs alike on both.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "test_files.h"

namespace {

// A game folder on the source tree's content, so what the game writes (its replays) stays out of the tree.
std::string gameFolder(const TempDir& dir, const std::string& name) {
    const std::filesystem::path folder = dir.makeDir(name);
    for (const char* entry : {"assets.cvl", "core", "src", "maps"})
        std::filesystem::create_symlink(std::filesystem::path(CORVALE_SOURCE_DIR) / entry, folder / entry);
    return folder.string();
}

// A lobby peer whose standard output is read line by line.
class Peer {
public:
    Peer(const std::string& folder, const std::string& role, const std::string& port) {
        const std::string command =
            "'" + std::string(CORVALE_LOBBY_PEER) + "' '" + folder + "' " + role + " " + port + " secret 1000";
        out = popen(command.c_str(), "r");
    }
    ~Peer() {
        if (out) pclose(out);
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    std::string line() {
        char buffer[512];
        if (!out || !std::fgets(buffer, sizeof buffer, out)) return "";
        std::string text = buffer;
        if (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }
    std::vector<std::string> rest() {
        std::vector<std::string> lines;
        for (std::string text = line(); !text.empty(); text = line()) lines.push_back(text);
        return lines;
    }

private:
    FILE* out = nullptr;
};

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
