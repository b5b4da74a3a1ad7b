// Two game processes on 127.0.0.1, each played through its real pages by synthetic input: one hosts a lobby, the
// other finds it after Refresh and joins with the password; race and map reach the other side, the match the
// host starts runs alike on both, and a host that leaves it at any point leaves the guest the winner.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "lobby_peer_process.h"

namespace {

// The checksum the replay runner reaches on each log in the folder's replays, in file name order.
std::vector<std::string> replayedChecksums(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> logs{std::filesystem::directory_iterator(folder / "replays"), {}};
    std::sort(logs.begin(), logs.end());
    std::vector<std::string> sums;
    for (const std::filesystem::path& log : logs) {
        // The runner reads the map the log names from the game folder.
        const std::string command = "cd '" + folder.string() + "' && '" + std::string(CORVALE_RUNNER) + "' replay '" +
                                    log.string() + "' 2>&1";
        FILE* out = popen(command.c_str(), "r");
        std::string found;
        char buffer[512];
        while (out && std::fgets(buffer, sizeof buffer, out))
            if (std::string(buffer).rfind("checksum: ", 0) == 0) found = std::string(buffer + 10, 16);
        if (out) pclose(out);
        sums.push_back(found);
    }
    return sums;
}

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

namespace {

// What one match showed a peer, from the computer it plays against to the checksum it reached.
std::vector<std::string> matchLines(const std::vector<std::string>& lines, size_t round) {
    const size_t first = round * 11 + 5;
    if (lines.size() < first + 5) return {};
    return {lines.begin() + static_cast<std::ptrdiff_t>(first), lines.begin() + static_cast<std::ptrdiff_t>(first + 5)};
}

// The computer player the host adds is the rival of every peer, the guest's too, whose own drawn computer id
// differs; the host's pause and the guest's chat line reach both on the same tick; a second lobby and match in the
// same processes plays as the first, and each peer's two logs replay to the checksum it reached.
TEST(LobbyProcesses, TwoMatchesWithTheHostsComputerPauseAndChatPlayAlikeAndEveryLogReplays) {
    TempDir dir;
    Peer host(gameFolder(dir, "host"), "host", std::to_string(41006 + (getpid() % 2000) * 12), 600, "again",
              "computer");
    const std::string ports = host.line();
    ASSERT_EQ(ports.rfind("ports ", 0), 0u) << ports;
    Peer guest(gameFolder(dir, "guest"), "join", ports.substr(6), 600, "again");
    const std::vector<std::string> seen = guest.rest();
    const std::vector<std::string> hosted = host.rest();
    ASSERT_EQ(seen.size(), 22u);
    ASSERT_EQ(hosted.size(), 22u);
    const std::vector<std::string> first = matchLines(hosted, 0);
    const std::string rival = first[0];
    EXPECT_EQ(rival.rfind("computer ", 0), 0u) << rival;
    EXPECT_EQ(rival.substr(rival.size() - 13), " is the rival");
    // The host presses its key at tick 200, and a key goes out with the next turn.
    EXPECT_EQ(first[1], "paused at tick 201");
    EXPECT_EQ(first[2], "resumed at tick 202");
    EXPECT_EQ(first[3].substr(first[3].size() - 11), "]: well met") << first[3];
    ASSERT_EQ(first[4].rfind("tick 600 checksum ", 0), 0u) << first[4];
    for (size_t round : {0u, 1u}) {
        EXPECT_EQ(matchLines(seen, round), first) << "the guest's match " << round;
        EXPECT_EQ(matchLines(hosted, round), first) << "the host's match " << round;
    }
    const std::vector<std::string> twice(2, first[4].substr(first[4].size() - 16));
    EXPECT_EQ(replayedChecksums(dir.path / "host"), twice);
    EXPECT_EQ(replayedChecksums(dir.path / "guest"), twice);
}

}  // namespace

namespace {

// A host that leaves as its match starts, before any turn of it, or after some turns leaves its guest the winner:
// the guest's match goes on without it and shows the result dialog, and the host's lobby is gone.
TEST(LobbyProcesses, AGuestWhoseHostLeavesAtTheStartOrLaterGetsTheVictoryDialog) {
    const int hostTicks[] = {0, 200};
    for (size_t i = 0; i < std::size(hostTicks); ++i) {
        TempDir dir;
        Peer host(gameFolder(dir, "host"), "host", std::to_string(41003 + 6 * i + (getpid() % 2000) * 12),
                  hostTicks[i], "leave");
        const std::string ports = host.line();
        ASSERT_EQ(ports.rfind("ports ", 0), 0u) << ports;
        Peer guest(gameFolder(dir, "guest"), "join", ports.substr(6), hostTicks[i], "result");
        const std::vector<std::string> seen = guest.rest();
        const std::vector<std::string> hosted = host.rest();
        ASSERT_FALSE(hosted.empty()) << hostTicks[i];
        EXPECT_EQ(hosted.back(), "ended hosting 0 connections 0") << hostTicks[i];
        EXPECT_NE(std::find(seen.begin(), seen.end(), "result VICTORY"), seen.end()) << hostTicks[i];
    }
}

}  // namespace

namespace {

// A guest whose game folder holds only the lobby's first map, so the host's later choice is missing there: the
// guest's lobby view says so, its start fails and leaves the lobby with the reason shown and Leave as the way on,
// and the host's match goes on without it to the end, nothing left open on either side.
TEST(LobbyProcesses, AGuestLackingTheHostsMapLeavesTheLobbyAndTheHostsMatchGoesOn) {
    TempDir dir;
    Peer host(gameFolder(dir, "host"), "host", std::to_string(41009 + (getpid() % 2000) * 12), 300);
    const std::string ports = host.line();
    ASSERT_EQ(ports.rfind("ports ", 0), 0u) << ports;
    const std::filesystem::path guestFolder = gameFolder(dir, "guest");
    std::filesystem::remove(guestFolder / "maps");
    std::filesystem::create_directory(guestFolder / "maps");
    std::filesystem::create_symlink(std::filesystem::path(CORVALE_SOURCE_DIR) / "maps/fight.map",
                                    guestFolder / "maps/fight.map");
    Peer guest(guestFolder.string(), "join", ports.substr(6), 300, "nomatch");
    const std::vector<std::string> seen = guest.rest();
    const std::vector<std::string> hosted = host.rest();
    ASSERT_EQ(seen.size(), 7u);
    ASSERT_EQ(hosted.size(), 7u);
    const std::string map = hosted[2].substr(4);
    EXPECT_NE(map, "fight");
    EXPECT_EQ(seen[2], "map " + map);
    EXPECT_EQ(seen[4], "notice This map is missing on this computer: the match cannot start here.");
    EXPECT_EQ(seen[5],
              "not started: The match could not start: the map \"" + map + "\" is missing on this computer.");
    EXPECT_EQ(seen[6], "left for the LAN page with 1 player and 0 connections");
    EXPECT_EQ(hosted[4], "started " + map);
    EXPECT_EQ(hosted[5].rfind("tick 300 checksum ", 0), 0u) << hosted[5];
    EXPECT_EQ(hosted[6], "ended hosting 0 connections 0");
}

}  // namespace
