// Matches across processes on 127.0.0.1: copies of the headless runner as host, clients or through the relay
// stand-in print the world checksum every 100 ticks, and every copy must print the same lines.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

namespace {

// A started program whose standard output is read line by line.
class Process {
public:
    explicit Process(std::vector<std::string> args) {
        int fds[2];
        if (pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
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
        if (pid > 0) waitpid(pid, nullptr, 0);
    }
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
};

std::string basePort() { return std::to_string(40000 + (getpid() % 2000) * 10); }

// The port a host or relay says it listens on.
std::string listeningPort(Process& p) {
    std::string text;
    return p.line(text) && text.rfind("port ", 0) == 0 ? text.substr(5) : "";
}

std::vector<std::string> checksums(const std::vector<std::string>& lines) {
    std::vector<std::string> sums;
    for (const std::string& l : lines)
        if (l.rfind("tick ", 0) == 0) sums.push_back(l);
    return sums;
}

// Small armies keep the sanitised build quick; the orders and the exchange are the same.
std::vector<std::string> peer(const std::vector<std::string>& args) {
    std::vector<std::string> all = {CORVALE_RUNNER, "net"};
    all.insert(all.end(), args.begin(), args.end());
    all.push_back("6");
    return all;
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
    const std::string port = listeningPort(relay);
    ASSERT_FALSE(port.empty());
    Process first(peer({"join", port, "1", "2", "1000"}));
    Process second(peer({"join", port, "2", "2", "1000"}));
    const std::vector<std::string> sums = checksums(first.rest());
    ASSERT_EQ(sums.size(), 10u);
    EXPECT_EQ(checksums(second.rest()), sums);
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
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "activity: P2 left the game"), 1);
    const std::vector<std::string> sums = checksums(lines);
    ASSERT_FALSE(sums.empty());
    EXPECT_EQ(sums.back().rfind("tick 3000 ", 0), 0u);
}

}  // namespace
