// Matches across processes on 127.0.0.1: copies of the headless runner as host, clients or through the relay
// stand-in print the world checksum every 100 ticks, and every copy must print the same lines.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

// A started program whose standard output is read line by line.
class Process {
public:
    // The error stream goes to errorFile when one is named.
    explicit Process(std::vector<std::string> args, const std::string& errorFile = "") {
        int fds[2];
        if (pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        if (!errorFile.empty())
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                             0644);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        out = fdopen(fds[0], "r");
    }
    ~Process() {
        if (out) fclose(out);
        if (pid > 0 && stopAtEnd) ::kill(pid, SIGKILL);
        if (pid > 0) waitpid(pid, nullptr, 0);
    }
    // A server waits for peers that may never come (a peer that failed to start): it is stopped, not awaited.
    void stopWhenDone() { stopAtEnd = true; }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // The next line without its line end; false at the end of the output.
    bool line(std::string& text) {
        char* buffer = nullptr;
        size_t size = 0;
        const ssize_t got = out ? getline(&buffer, &size, out) : -1;
        if (got > 0) text.assign(buffer, static_cast<size_t>(got) - (buffer[got - 1] == '\n' ? 1 : 0));
        free(buffer);
        return got > 0;
    }
    std::vector<std::string> rest() {
        std::vector<std::string> lines;
        for (std::string text; line(text);) lines.push_back(text);
        return lines;
    }
    void kill() { ::kill(pid, SIGKILL); }

private:
    pid_t pid = -1;
    FILE* out = nullptr;
    bool stopAtEnd = false;
};

std::string basePort() { return std::to_string(40000 + (getpid() % 2000) * 10); }

// The port a host or relay says it listens on.
std::string listeningPort(Process& p) {
    std::string text;
    return p.line(text) && text.rfind("port ", 0) == 0 ? text.substr(5) : "";
}

std::vector<std::string> linesStarting(const std::vector<std::string>& lines, const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& l : lines)
        if (l.rfind(prefix, 0) == 0) found.push_back(l);
    return found;
}

std::vector<std::string> checksums(const std::vector<std::string>& lines) { return linesStarting(lines, "tick "); }

// The activity feed: who left the game.
std::vector<std::string> feedOf(const std::vector<std::string>& lines) { return linesStarting(lines, "activity: "); }

// Small armies keep the sanitised build quick; the orders and the exchange are the same.
std::vector<std::string> peer(const std::vector<std::string>& args, const std::vector<std::string>& options = {}) {
    std::vector<std::string> all = {CORVALE_RUNNER, "net"};
    all.insert(all.end(), args.begin(), args.end());
    all.push_back("6");
    all.insert(all.end(), options.begin(), options.end());
    return all;
}

// The text after the first line that starts with the prefix, or "" when none does.
std::string after(const std::vector<std::string>& lines, const std::string& prefix) {
    for (const std::string& l : lines)
        if (l.rfind(prefix, 0) == 0) return l.substr(prefix.size());
    return "";
}

// What a runner's end says of a match: its checksums, the orders applied per player and its peak memory.
struct MatchEnd {
    std::vector<std::string> sums;
    std::string orders;
    long peakKiB = 0;
    int worstPingMs = -1;
    explicit MatchEnd(const std::vector<std::string>& lines)
        : sums(checksums(lines)), orders(after(lines, "orders applied:")),
          peakKiB(std::atol(after(lines, "peak memory: ").c_str())),
          worstPingMs(std::atoi(after(lines, "worst ping: ").c_str())) {}
};

std::vector<std::string> linesOf(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

// A host and a joiner play; with a rogue, it floods the lobby, then joins as eleven guests who each break one rule.
struct RogueRun {
    MatchEnd host, joiner;
    std::vector<std::string> hostErrors, rogueLines;
};

RogueRun playWithHostileGuests(bool rogue, const std::string& ticks) {
    const std::string errors = (std::filesystem::temp_directory_path() /
                                ("corvale_rogue_" + std::to_string(getpid()) + (rogue ? "_r" : "_b")))
                                   .string();
    const std::vector<std::string> guests = rogue ? std::vector<std::string>{"--guests", "11"}
                                                  : std::vector<std::string>{};
    Process host(peer({"host", basePort(), "2", ticks}, guests), errors);
    const std::string port = listeningPort(host);
    std::vector<std::string> rogueLines;
    std::unique_ptr<Process> hostile;
    if (rogue && !port.empty()) {
        hostile = std::make_unique<Process>(std::vector<std::string>{CORVALE_RUNNER, "net", "rogue", port, "3", "11"});
        for (std::string text; hostile->line(text) && text != "joined";) rogueLines.push_back(text);
    }
    Process joiner(peer({"join", port, "2", "2", ticks}, guests));
    RogueRun run{MatchEnd(host.rest()), MatchEnd(joiner.rest()), {}, {}};
    if (hostile) {
        for (const std::string& l : hostile->rest()) rogueLines.push_back(l);
    }
    run.rogueLines = rogueLines;
    run.hostErrors = linesOf(errors);
    std::filesystem::remove(errors);
    return run;
}

bool isRefusal(const std::string& line) {
    for (const char* prefix : {"Dropping connection", "Refused a connection", "[Host] JoinLobby"})
        if (line.rfind(prefix, 0) == 0) return true;
    return false;
}

// The rogue's guests are awaited like players but have no army, so the world is the two players' alone.
TEST(NetMatch, RoguePeerChangesNothingAndEveryRefusalWritesOneLine) {
    const std::string ticks = "3000";
    const RogueRun clean = playWithHostileGuests(false, ticks);
    const RogueRun attacked = playWithHostileGuests(true, ticks);
    ASSERT_EQ(clean.host.sums.size(), 30u);
    EXPECT_EQ(clean.joiner.sums, clean.host.sums);
    EXPECT_EQ(attacked.host.sums, clean.host.sums);
    EXPECT_EQ(attacked.joiner.sums, clean.host.sums);
    EXPECT_EQ(attacked.host.orders, clean.host.orders) << "no foreign order is applied";
    EXPECT_EQ(attacked.joiner.orders, clean.host.orders);
    EXPECT_EQ(clean.host.orders, " P1 75 P2 75");
    const long allowanceKiB = 64 * 1024;
    EXPECT_LT(attacked.host.peakKiB, clean.host.peakKiB + allowanceKiB);
    EXPECT_LT(attacked.joiner.peakKiB, clean.joiner.peakKiB + allowanceKiB);
    EXPECT_GT(clean.host.peakKiB, 0);

    EXPECT_EQ(after(attacked.rogueLines, "lobby connections refused: "), "2000");
    EXPECT_EQ(after(attacked.rogueLines, "match connections refused: "), "2000") << "the running match takes no one";
    const long refusals = std::count_if(attacked.hostErrors.begin(), attacked.hostErrors.end(), isRefusal);
    EXPECT_EQ(std::to_string(refusals), after(attacked.rogueLines, "refusals expected: "));
    EXPECT_EQ(std::count_if(clean.hostErrors.begin(), clean.hostErrors.end(), isRefusal), 0);
}

// One peer draws 20 frames a second, so at most 20 turns a second: the match slows to it, the ping stays the
// network's, and both agree. The network clock runs six times fast, so the host gives up a silent peer after five
// seconds; one this slow is never given up.
// A turn number per 16 ms against an apply per 50 ms frame would pile up seconds of turns in this run; the bound
// leaves room for a loaded machine running the sanitised build, not for a backlog.
TEST(NetMatch, PeerHeldToTwentyFramesASecondAddsNoBacklogToThePing) {
    const std::string ticks = "200";
    Process host(peer({"host", basePort(), "2", ticks}, {"--clock-scale", "6"}));
    const std::string port = listeningPort(host);
    ASSERT_FALSE(port.empty());
    Process slow(peer({"join", port, "2", "2", ticks}, {"--fps", "20", "--clock-scale", "6"}));
    const std::vector<std::string> hostLines = host.rest();
    const std::vector<std::string> slowLines = slow.rest();
    const MatchEnd hosted(hostLines);
    const MatchEnd held(slowLines);
    ASSERT_EQ(hosted.sums.size(), 2u);
    EXPECT_EQ(held.sums, hosted.sums);
    // The host reaches the last tick first and waits there, so the slow peer does not count it gone.
    EXPECT_EQ(feedOf(hostLines), std::vector<std::string>{});
    EXPECT_EQ(feedOf(slowLines), std::vector<std::string>{});
    EXPECT_GE(hosted.worstPingMs, 0);
    EXPECT_LT(hosted.worstPingMs, 400);
    EXPECT_LT(held.worstPingMs, 400);
}

// A peer that stands still a second before its last tick finds the host still there once it goes on: a host that
// closed at its own last tick would be counted gone by it.
TEST(NetMatch, PeerHeldBackBeforeItsLastTickFindsTheHostWaitingForIt) {
    const std::string ticks = "100";
    Process host(peer({"host", basePort(), "2", ticks}));
    const std::string port = listeningPort(host);
    ASSERT_FALSE(port.empty());
    Process late(peer({"join", port, "2", "2", ticks}, {"--hold-before-end", "1000"}));
    const std::vector<std::string> lateLines = late.rest();
    const std::vector<std::string> hostLines = host.rest();
    ASSERT_EQ(checksums(hostLines).size(), 1u);
    EXPECT_EQ(checksums(lateLines), checksums(hostLines));
    EXPECT_EQ(feedOf(lateLines), std::vector<std::string>{});
    EXPECT_EQ(feedOf(hostLines), std::vector<std::string>{});
}

TEST(NetMatch, HostAndTwoClientsAgreeWithOneProcess) {
    const std::string ticks = "3000";
    Process solo(peer({"solo", "3", ticks}));
    Process host(peer({"host", basePort(), "3", ticks}));
    const std::string port = listeningPort(host);
    ASSERT_FALSE(port.empty());
    Process second(peer({"join", port, "2", "3", ticks}));
    Process third(peer({"join", port, "3", "3", ticks}));
    const std::vector<std::string> sums = checksums(host.rest());
    ASSERT_EQ(sums.size(), 30u);
    EXPECT_EQ(checksums(second.rest()), sums);
    EXPECT_EQ(checksums(third.rest()), sums);
    EXPECT_EQ(checksums(solo.rest()), sums);
}

TEST(NetMatch, PeersAgreeThroughTheRelay) {
    Process relay({CORVALE_RELAY, basePort(), "2"});
    relay.stopWhenDone();
    const std::string port = listeningPort(relay);
    ASSERT_FALSE(port.empty());
    Process first(peer({"join", port, "1", "2", "1000"}));
    Process second(peer({"join", port, "2", "2", "1000"}));
    const std::vector<std::string> sums = checksums(first.rest());
    ASSERT_EQ(sums.size(), 10u) << "the runner finds its content from the source folder, where ctest runs it";
    EXPECT_EQ(checksums(second.rest()), sums);
}

// A player who joined and went before the start is announced gone by the host once the match starts; the others
// play it through together instead of waiting for him.
TEST(NetMatch, JoinerGoneBeforeTheStartLeavesAndTheOthersPlayOn) {
    const std::string ticks = "300";
    Process host(peer({"host", basePort(), "3", ticks}));
    const std::string port = listeningPort(host);
    ASSERT_FALSE(port.empty());
    Process gone(peer({"join", port, "2", "3", ticks}));
    std::string text;
    while (host.line(text) && text != "joined: P2") {
    }
    ASSERT_EQ(text, "joined: P2");
    gone.kill();
    Process third(peer({"join", port, "3", "3", ticks}));
    const std::vector<std::string> lines = host.rest();
    EXPECT_EQ(feedOf(lines), std::vector<std::string>{"activity: P2 left the game"});
    const std::vector<std::string> sums = checksums(lines);
    ASSERT_EQ(sums.size(), 3u);
    EXPECT_EQ(checksums(third.rest()), sums);
}

TEST(NetMatch, KilledClientLeavesTheHostGoing) {
    Process host(peer({"host", basePort(), "2", "3000"}));
    const std::string port = listeningPort(host);
    ASSERT_FALSE(port.empty());
    Process client(peer({"join", port, "2", "2", "3000"}));
    for (std::string text; client.line(text) && text.rfind("tick 1000 ", 0) != 0;) {
    }
    client.kill();
    const std::vector<std::string> lines = host.rest();
    EXPECT_EQ(feedOf(lines), std::vector<std::string>{"activity: P2 left the game"});
    const std::vector<std::string> sums = checksums(lines);
    ASSERT_FALSE(sums.empty());
    EXPECT_EQ(sums.back().rfind("tick 3000 ", 0), 0u);
}

// A peer falls silent with its socket open: the others give it up as if it had been killed. The network clock runs
// six times fast, so the host gives a member up after five seconds and a member its host after ten.
TEST(NetMatch, PeerFallenSilentLeavesAndTheOthersPlayOn) {
    const struct {
        const char* name;
        int silent;                               // index: 0 the host, 1 and 2 the members
        std::vector<std::string> leaves[3];       // the feed of each peer that stays
        size_t silentLines[3];                    // lines naming a silent peer on each one's error stream
    } cases[] = {
        {"member", 2, {{"P3"}, {"P3"}, {}}, {1, 0, 0}},
        {"host", 0, {{}, {"P1", "P3"}, {"P1", "P2"}}, {0, 1, 1}},
    };
    const std::string ticks = "600";
    const std::vector<std::string> fast = {"--clock-scale", "6"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> errors;
        for (int k = 0; k < 3; ++k)
            errors.push_back((std::filesystem::temp_directory_path() /
                              ("corvale_silent_" + std::to_string(getpid()) + "_" + std::to_string(k)))
                                 .string());
        std::vector<std::string> options[3] = {fast, fast, fast};
        for (const char* option : {"--silent-after", "200"}) options[c.silent].push_back(option);
        Process host(peer({"host", basePort(), "3", ticks}, options[0]), errors[0]);
        const std::string port = listeningPort(host);
        ASSERT_FALSE(port.empty());
        Process second(peer({"join", port, "2", "3", ticks}, options[1]), errors[1]);
        Process third(peer({"join", port, "3", "3", ticks}, options[2]), errors[2]);
        const std::vector<std::string> lines[3] = {host.rest(), second.rest(), third.rest()};
        EXPECT_EQ(after(lines[c.silent], "silent at tick "), "200");
        EXPECT_NE(std::find(lines[c.silent].begin(), lines[c.silent].end(), "closed by every peer"),
                  lines[c.silent].end());
        const std::vector<std::string> untilSilent(checksums(lines[c.silent]));
        ASSERT_EQ(untilSilent.size(), 2u);
        for (int k = 0; k < 3; ++k) {
            const std::vector<std::string> errorLines = linesOf(errors[k]);
            std::filesystem::remove(errors[k]);
            if (k == c.silent) continue;
            std::vector<std::string> expected;
            for (const std::string& who : c.leaves[k]) expected.push_back("activity: " + who + " left the game");
            EXPECT_EQ(feedOf(lines[k]), expected) << "peer " << k;
            const std::vector<std::string> sums = checksums(lines[k]);
            ASSERT_EQ(sums.size(), 6u) << "peer " << k << " stood still";
            EXPECT_TRUE(std::equal(untilSilent.begin(), untilSilent.end(), sums.begin())) << "peer " << k;
            EXPECT_EQ(static_cast<size_t>(std::count_if(errorLines.begin(), errorLines.end(),
                                                        [](const std::string& l) {
                                                            return l.find("sent no whole turn for") != std::string::npos;
                                                        })),
                      c.silentLines[k])
                << "peer " << k;
        }
        if (c.silent != 0) {
            EXPECT_EQ(checksums(lines[1]), checksums(lines[0])) << "the host and the member that stays agree";
        }
    }
}

}  // namespace
