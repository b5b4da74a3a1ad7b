// The transport over real sockets on loopback: a connect nothing answers, the look-up of a name, a frame at the
// limit, a flood of small frames, and the relay stand-in passing a long match between its peers and nothing from a
// stranger.
#include <gtest/gtest.h>

#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "../tools/relay_stand_in.h"
#include "game_commands_wire.h"
#include "lockstep_peers.h"

namespace {

// A listener on a loopback port of this process's own; the port.
uint16_t listenOnOwnPort(NetworkManager& link) {
    auto port = static_cast<uint16_t>(20000 + (getpid() % 2000) * 5);
    testing::internal::CaptureStderr();
    while (!link.listen(port)) ++port;
    testing::internal::GetCapturedStderr();
    return port;
}

// A listener whose queue holds one connection never taken: the system answers no further connect to it, as an
// address where nothing listens on the network does not. Such a connect gives up at its time-out with its line,
// not after the system's minutes of retries nor a multiple of its own limit.
TEST(Connect, ToAnAddressThatNeverAnswersGivesUpAtItsTimeOut) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
    const uint16_t port = ntohs(address.sin_port);
    NetworkManager queued, unanswered;
    ASSERT_TRUE(queued.connect("127.0.0.1", port));
    testing::internal::CaptureStderr();
    const auto start = std::chrono::steady_clock::now();
    const bool connected = unanswered.connect("127.0.0.1", port);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Connect failed: Connection timed out\n");
    EXPECT_FALSE(connected);
    EXPECT_TRUE(unanswered.connections.empty());
    EXPECT_GE(waited, std::chrono::milliseconds(CONNECT_TIMEOUT_MS));
    EXPECT_LT(waited, std::chrono::milliseconds(CONNECT_TIMEOUT_MS + 1500));
    ::close(listener);
}

// A dotted address is taken as it is. A name is looked up apart from the caller, who waits no longer than the
// connect limit however long the resolver takes (the slow one here answers once the test ends, or after ten
// seconds), and a failure says why.
TEST(Connect, LooksUpOnlyANameAndThatWithinItsLimitSayingWhyItFailed) {
    NetworkManager host;
    const uint16_t port = listenOnOwnPort(host);
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    const auto knowsNone = [](const std::string&) { return NameLookUp{EAI_NONAME, 0}; };
    const struct {
        const char* name;
        std::function<NameLookUp(const std::string&)> resolver;  // empty: the system's
        const char* line;                                        // empty: connected
    } cases[] = {
        {"127.0.0.1", knowsNone, ""},
        {"localhost", {}, ""},
        {"nowhere.test", knowsNone, "Connect failed: looking up nowhere.test: Name or service not known\n"},
        {"slow.test",
         [released](const std::string&) {
             released.wait_for(std::chrono::seconds(10));
             return NameLookUp{EAI_AGAIN, 0};
         },
         "Connect failed: looking up slow.test took longer than 300 ms\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NetworkManager client;
        client.connectTimeoutMs = 300;
        if (c.resolver) client.lookUpName = c.resolver;
        testing::internal::CaptureStderr();
        const auto start = std::chrono::steady_clock::now();
        const bool connected = client.connect(c.name, port);
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.line);
        EXPECT_EQ(connected, *c.line == '\0');
        EXPECT_LT(waited, std::chrono::milliseconds(client.connectTimeoutMs + 1500));
    }
    release.set_value();
}

// Each round the client pushes what its socket takes and the host reads once, as a peer does once a frame: a frame
// at the limit arrives whole within the few reads its bytes need to get through the system's buffers, not a
// thousand.
TEST(FrameAtTheLimit, ArrivesWholeInAFewReads) {
    NetworkManager host, client;
    ASSERT_TRUE(client.connect("127.0.0.1", listenOnOwnPort(host)));
    ASSERT_TRUE(loopback::awaitPeers(host, 1));
    host.bindConnection(host.connections.front().id, 2);
    NetPacket turn(PacketType::TurnCommands);
    turn.data.resize(MAX_FRAME_LENGTH - 1);
    for (size_t i = 0; i < turn.data.size(); ++i) turn.data[i] = static_cast<uint8_t>(i * 7 + i / 251);
    client.sendPacket(turn);
    std::vector<NetPacket> got;
    int reads = 0;
    for (; reads < 4000 && got.empty(); ++reads) {
        client.receivePackets();
        got = host.receivePackets();
    }
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got.front().type, turn.type);
    EXPECT_TRUE(got.front().data == turn.data);
    EXPECT_LE(reads, 8);
    EXPECT_EQ(host.connections.size(), 1u);
}

// With a flood of small frames waiting, one read takes a chunk and the frame it cuts, not all the socket holds, so a
// flooding peer costs a frame little; the rest comes in the reads after.
TEST(FloodOfSmallFrames, IsReadAChunkAtATimeToTheEndOfAFrame) {
    NetworkManager host, client;
    ASSERT_TRUE(client.connect("127.0.0.1", listenOnOwnPort(host)));
    ASSERT_TRUE(loopback::awaitPeers(host, 1));
    const std::vector<uint8_t> small = framePacket(NetPacket(PacketType::LobbyQuery));
    const size_t frameBytes = small.size();
    const size_t frames = 4 * RECEIVE_CHUNK / frameBytes;
    std::vector<uint8_t> flood;
    for (size_t i = 0; i < frames; ++i) flood.insert(flood.end(), small.begin(), small.end());
    ASSERT_TRUE(client.connections.front().link->send(flood));
    const int fd = host.connections.front().link->descriptor();
    int queued = 0;
    for (int round = 0; round < 1000 && static_cast<size_t>(queued) < frames * frameBytes; ++round) {
        host.waitForTraffic(10);
        ASSERT_EQ(::ioctl(fd, FIONREAD, &queued), 0);
    }
    ASSERT_EQ(static_cast<size_t>(queued), frames * frameBytes);
    const size_t perRead = (RECEIVE_CHUNK + frameBytes - 1) / frameBytes;
    EXPECT_EQ(host.receivePackets().size(), perRead);
    EXPECT_EQ(host.receivePackets().size(), perRead);
    EXPECT_EQ(host.connections.size(), 1u);
}

// The relay stand-in on a clock the test drives, with its peers connected and admitted.
struct RelayStandIn : ::testing::Test {
    uint32_t now = 0;
    NetworkManager relayLink;
    std::vector<std::unique_ptr<NetworkManager>> peers;
    uint16_t port = 0;

    void admit(int count) {
        relayLink.clockMs = [this] { return now; };
        port = listenOnOwnPort(relayLink);
        for (int i = 0; i < count; ++i) {
            peers.push_back(std::make_unique<NetworkManager>());
            ASSERT_TRUE(peers.back()->connect("127.0.0.1", port));
        }
        ASSERT_TRUE(relay::admitPeers(relayLink, count));
    }
};

// Twice the wait a host gives a connection to join passes on the relay's clock: its peers joined nothing there and
// play on together, none left.
TEST_F(RelayStandIn, PassesAMatchLongerThanTheWaitForAJoin) {
    ASSERT_NO_FATAL_FAILURE(admit(3));
    const std::vector<int> gated{1, 2, 3};
    LockstepManager turns[3];
    RecordingRunner runners[3];
    constexpr uint32_t ROUND_MS = 100;
    const int rounds = static_cast<int>(2 * JOIN_TIMEOUT_MS / ROUND_MS);
    for (int round = 0; round < rounds; ++round) {
        now += ROUND_MS;
        for (int k = 0; k < 3; ++k) turns[k].step(TURN_LENGTH, 0, k + 1, gated, *peers[k], runners[k]);
        relayLink.waitForTraffic(5);
        relay::passFrames(relayLink);
    }
    EXPECT_EQ(relayLink.connections.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(runners[k].left.empty()) << "peer " << k + 1;
        EXPECT_GE(turns[k].receiveTurn, rounds / 2) << "peer " << k + 1;
    }
}

// Once its peers are in, the stand-in listens no more: a stranger cannot connect, and the peers hear only each other.
TEST_F(RelayStandIn, TakesNoStrangerAfterItsPeers) {
    ASSERT_NO_FATAL_FAILURE(admit(2));
    NetworkManager stranger;
    testing::internal::CaptureStderr();
    const bool connected = stranger.connect("127.0.0.1", port);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Connect failed: Connection refused\n");
    EXPECT_FALSE(connected);
    if (connected) stranger.sendPacket(writeTurnPacket(Turn{7, 1, {}}));
    peers[0]->sendPacket(writeTurnPacket(Turn{0, 1, {}}));
    std::vector<NetPacket> heard;
    for (int round = 0; round < 100 && heard.size() < 2; ++round) {
        relayLink.waitForTraffic(2);
        relay::passFrames(relayLink);
        peers[1]->waitForTraffic(2);
        for (NetPacket& p : peers[1]->receivePackets()) heard.push_back(std::move(p));
    }
    ASSERT_EQ(heard.size(), 1u);
    Turn turn;
    ASSERT_TRUE(readTurnPacket(heard.front(), turn));
    EXPECT_EQ(turn.tick, 0);
}

}  // namespace
