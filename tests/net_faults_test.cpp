// Peers that go away or misbehave at the seams of a network game: over real sockets on loopback a side gone at
// each stage from the start message on, a host that cannot listen, connections that never join, and frames cut at
// any byte or run together; over memory links a client that sends turns ahead without end and a host that breaks
// the rules.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "game_commands_wire.h"
#include "lockstep_peers.h"
#include "loopback_lobby.h"

namespace {

// The guest joins Den with its password; both see the two players.
void joinDen(LoopbackLobby& lobby) {
    ASSERT_TRUE(joinLobby(lobby.guest.peer, hostAt(Lobby{"Den", 1, "fight", "", 1, 2}), "secret"));
    ASSERT_TRUE(lobby.stepUntil([&] { return lobby.guest.state.joined && lobby.host.roster.size() == 2; }));
}

struct Departure {
    const char* stage;
    bool hostLeaves;
    // The side leaves before the guest's lobby step has read the start message.
    bool beforeStartIsRead;
    int turnsPlayed;
};

std::ostream& operator<<(std::ostream& out, const Departure& d) { return out << d.stage; }

// Each side's match: its exchange, what it applied and who it saw leave.
struct MatchSide {
    LobbySide& side;
    int id;
    LockstepManager turns;
    RecordingRunner runner;
    void step(const std::vector<int>& gated) { turns.step(TURN_LENGTH, 0, id, gated, side.link, runner); }
};

struct SideGoneFromTheStart : LoopbackLobby, ::testing::WithParamInterface<Departure> {
    void SetUp() override {
        LoopbackLobby::SetUp();
        savedStart = StartLobbyMatch;
        StartLobbyMatch = nullptr;
    }
    void TearDown() override {
        StartLobbyMatch = savedStart;
        LoopbackLobby::TearDown();
    }
    decltype(StartLobbyMatch) savedStart;
};

// A side may be gone as the match starts (its own start failed, it quit while loading) or after some turns. The
// one that stays never waits for turns that cannot come: it plays on alone and the feed tells of one leave.
TEST_P(SideGoneFromTheStart, TheOtherPlaysOnAloneWithOneLeave) {
    const Departure& d = GetParam();
    joinDen(*this);
    MatchSide sides[] = {{host, 1, {}, {}}, {guest, 2, {}, {}}};
    MatchSide& leaving = sides[d.hostLeaves ? 0 : 1];
    MatchSide& staying = sides[d.hostLeaves ? 1 : 0];
    const std::vector<int> gated{1, 2};
    startLobbyMatch(host.peer);
    if (d.beforeStartIsRead) leaving.side.link.closeTcp();
    ASSERT_TRUE(stepUntil([&] { return staying.side.state.started; }));
    for (int frame = 0; frame < 400 && sides[1].turns.receiveTurn < d.turnsPlayed; ++frame) {
        for (MatchSide& s : sides) s.step(gated);
        host.link.waitForTraffic(2);
    }
    ASSERT_GE(sides[1].turns.receiveTurn, d.turnsPlayed);
    leaving.side.link.closeTcp();
    const int from = staying.turns.receiveTurn;
    for (int frame = 0; frame < 400 && staying.turns.receiveTurn < from + 20; ++frame) {
        staying.step(gated);
        staying.side.link.waitForTraffic(2);
    }
    EXPECT_EQ(staying.runner.left, std::vector<int>{leaving.id});
    EXPECT_GE(staying.turns.receiveTurn, from + 20) << "the match stood still";
    EXPECT_TRUE(staying.side.link.connections.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Stages, SideGoneFromTheStart,
    ::testing::Values(Departure{"host gone before the start is read", true, true, 0},
                      Departure{"host gone before its first turn", true, false, 0},
                      Departure{"host gone after five turns", true, false, 5},
                      Departure{"guest gone before the start is read", false, true, 0},
                      Departure{"guest gone before its first turn", false, false, 0},
                      Departure{"guest gone after five turns", false, false, 5}),
    [](const ::testing::TestParamInfo<Departure>& info) {
        std::string name = info.param.stage;
        name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
        return name;
    });

using HostFaults = LoopbackLobby;

// A second lobby on a machine whose port the first holds cannot listen: the host may still play alone, but a
// search must not list a lobby nobody can join, as a join would reach the first lobby instead.
TEST_F(HostFaults, AHostWhosePortIsTakenAnnouncesNoLobby) {
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(hostLobby(guest.peer, "Second", "fight", "", 2));
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_TRUE(guest.state.isHostLobby) << "the host plays on alone";

    // The searcher takes the first discovery port, which Den gives up; the failed host keeps the second.
    host.link.closeUdp();
    LobbySide searcher{3};
    ASSERT_TRUE(searcher.link.openUdp(netUdpPorts[0]));
    searchLobbies(searcher.peer);
    for (int step = 0; step < 20; ++step) {
        updateLobbyNetworking(guest.peer);
        updateLobbyNetworking(searcher.peer);
        searcher.link.waitForTraffic(5);
    }
    EXPECT_TRUE(searcher.state.lobbies.empty()) << searcher.state.lobbies.front().name;
}

// A member speaks only for itself and within the bounds of a name: a message past them drops it from the lobby
// with one line; a race of exactly the longest name is taken.
TEST_F(HostFaults, AMemberBreakingTheLobbysRulesIsDroppedWithOneLine) {
    NetPacket bareLeave(PacketType::PlayerLeft);
    const struct {
        NetPacket packet;
        const char* line;  // empty: the member stays
    } cases[] = {
        {bareLeave, "a leave without a player id"},
        {joinRequestPacket({"Den", "127.0.0.1", 2, "P2", "human", 0, "secret"}), "player 2 asked to join again"},
        {raceOf(2, std::string(MAX_NAME_BYTES + 1, 'r')), "a race of 33 bytes"},
        {raceOf(2, std::string(MAX_NAME_BYTES, 'r')), ""},
    };
    for (const auto& c : cases) {
        if (guest.link.connections.empty()) joinDen(*this);
        ASSERT_EQ(host.roster.size(), 2u) << c.line;
        ::testing::internal::CaptureStderr();
        guest.link.sendPacket(c.packet);
        const bool dropped = stepUntil([&] { return host.roster.size() == 1; });
        const std::string errors = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(dropped, *c.line != 0) << c.line;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), *c.line ? 1 : 0) << errors;
        EXPECT_NE(errors.find(c.line), std::string::npos) << errors;
        if (!*c.line) {
            EXPECT_EQ(host.roster[1]->race, std::string(MAX_NAME_BYTES, 'r'));
        }
        if (dropped) leaveLobby(guest.peer);
    }
}

// Every name a peer sends keeps to the length of a name: an announcement or a player list with a longer one is
// dropped with one line, names of exactly that length are taken. An address is no longer than a name either.
TEST_F(HostFaults, AnnouncementsAndPlayerListsWithANamePastItsLengthAreDropped) {
    joinDen(*this);
    const std::string longest(MAX_NAME_BYTES, 'n');
    const std::string past(MAX_NAME_BYTES + 1, 'n');
    const struct {
        std::string lobby, address, player, race;
        bool announced, updated;
    } cases[] = {
        {longest, "127.0.0.1", longest, longest, true, true}, {past, "127.0.0.1", "P1", "human", false, false},
        {"Den", past, "P1", "human", false, true},           {"Den", "127.0.0.1", past, "human", true, false},
        {"Den", "127.0.0.1", "P1", past, true, false},
    };
    for (const auto& c : cases) {
        guest.state.lobbies.clear();
        NetPacket info(PacketType::LobbyInfo);
        for (const std::string& text : {c.lobby, std::string("fight")}) info.writeString(text);
        info.writeByte(0);
        info.writeString(c.address);
        for (int32_t count : {1, 2}) info.writeInt(count);
        host.link.broadcastPacket(info, netUdpPorts[1]);
        NetPacket update(PacketType::LobbyUpdate);
        update.writeString(c.lobby);
        update.writeInt(2);
        for (const auto& [id, name, race] : {std::tuple<int, std::string, std::string>{1, c.player, c.race},
                                             std::tuple<int, std::string, std::string>{2, "P2", "human"}}) {
            update.writeInt(id);
            update.writeString(name);
            update.writeString(race);
            update.writeByte(0);
        }
        host.link.sendPacket(update);
        ::testing::internal::CaptureStderr();
        for (int step = 0; step < 20; ++step) {
            updateLobbyNetworking(guest.peer);
            guest.link.waitForTraffic(5);
        }
        const std::string errors = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(!guest.state.lobbies.empty(), c.announced) << errors;
        EXPECT_EQ(guest.roster[0]->name == c.player && guest.roster[0]->race == c.race, c.updated) << errors;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), (c.announced ? 0 : 1) + (c.updated ? 0 : 1))
            << errors;
    }
}

// What a stranger's connection sends, as frames run together.
std::vector<uint8_t> framesOf(const std::vector<NetPacket>& packets) {
    std::vector<uint8_t> bytes;
    for (const NetPacket& p : packets) {
        const std::vector<uint8_t> frame = framePacket(p);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

// The bytes go out in pieces of the given size, the host's lobby stepping after each.
void sendInPieces(LoopbackLobby& lobby, NetworkManager& from, const std::vector<uint8_t>& bytes, size_t piece) {
    for (size_t at = 0; at < bytes.size(); at += piece) {
        const size_t end = std::min(bytes.size(), at + piece);
        ASSERT_TRUE(from.connections.front().link->send({bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                                         bytes.begin() + static_cast<std::ptrdiff_t>(end)}));
        lobby.host.link.waitForTraffic(20);
        updateLobbyNetworking(lobby.host.peer);
    }
}

// A join and a race change arrive as one stream cut anywhere, a header included, or all in one piece; so do a
// leave and the bytes sent after it, which count no more.
TEST_F(HostFaults, FramesCutAtAnyByteOrRunTogetherReadAlike) {
    JoinRequest join{"Den", "127.0.0.1", 5, "Cutter", "human", 0, "secret"};
    NetPacket race(PacketType::ChangeRace);
    race.writeInt(5);
    race.writeString("vohmathal");
    NetPacket left(PacketType::PlayerLeft);
    left.writeInt(5);
    const std::vector<uint8_t> joined = framesOf({joinRequestPacket(join), race});
    const std::vector<uint8_t> leaving = framesOf({left, race, joinRequestPacket(join)});
    for (size_t piece : {size_t{1}, size_t{3}, size_t{4}, size_t{5}, joined.size()}) {
        NetworkManager stranger;
        ASSERT_TRUE(stranger.connect("127.0.0.1", netTcpPort));
        ASSERT_TRUE(stepUntil([&] { return host.link.connections.size() == 1; })) << piece;
        sendInPieces(*this, stranger, joined, piece);
        ASSERT_TRUE(stepUntil([&] { return host.roster.size() == 2; })) << piece;
        EXPECT_EQ(host.roster[1]->race, "vohmathal") << piece;
        sendInPieces(*this, stranger, leaving, piece);
        ASSERT_TRUE(stepUntil([&] { return host.link.connections.empty(); })) << piece;
        EXPECT_EQ(host.roster.size(), 1u) << "bytes after the leave counted, in pieces of " << piece;
    }
}

// Connections that never send a join, held open by a machine on the network, must not keep the waiting places for
// ever: the host's clock decides when each one's wait is over.
struct JoinWait : LoopbackLobby {
    void SetUp() override {
        LoopbackLobby::SetUp();
        host.link.clockMs = [this] { return now; };
    }
    // Silent connections accepted at the current time; the host then holds them all.
    void openSilent(std::vector<std::unique_ptr<NetworkManager>>& silent, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            silent.push_back(std::make_unique<NetworkManager>());
            ASSERT_TRUE(silent.back()->connect("127.0.0.1", netTcpPort));
        }
        ASSERT_TRUE(stepUntil([&] { return host.link.connections.size() == count; }));
    }
    // Lines the host writes in one lobby step.
    std::string hostStepAt(uint32_t time) {
        now = time;
        testing::internal::CaptureStderr();
        updateLobbyNetworking(host.peer);
        return testing::internal::GetCapturedStderr();
    }
    uint32_t now = 0;
};

size_t linesIn(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

TEST_F(JoinWait, ASilentConnectionIsClosedExactlyAtTheLimit) {
    const struct {
        uint32_t acceptedAt;
        uint32_t waited;
        bool kept;
    } cases[] = {
        {1000, JOIN_TIMEOUT_MS - 1, true},
        {1000, JOIN_TIMEOUT_MS, false},
        {UINT32_MAX - 5000, JOIN_TIMEOUT_MS - 1, true},
        {UINT32_MAX - 5000, JOIN_TIMEOUT_MS, false},
    };
    for (const auto& c : cases) {
        now = c.acceptedAt;
        std::vector<std::unique_ptr<NetworkManager>> silent;
        openSilent(silent, 1);
        const std::string errors = hostStepAt(c.acceptedAt + c.waited);
        EXPECT_EQ(host.link.connections.size(), c.kept ? 1u : 0u) << c.acceptedAt << " + " << c.waited;
        EXPECT_EQ(linesIn(errors), c.kept ? 0u : 1u) << errors;
        silent.clear();
        ASSERT_TRUE(stepUntil([&] { return host.link.connections.empty(); }));
    }
}

TEST_F(JoinWait, AJoinedMemberIsNeverTimedOut) {
    std::vector<std::unique_ptr<NetworkManager>> silent;
    openSilent(silent, 1);
    joinDen(*this);
    const std::string errors = hostStepAt(100 * JOIN_TIMEOUT_MS);
    EXPECT_EQ(linesIn(errors), 1u) << errors;
    EXPECT_EQ(host.link.connections.size(), 1u) << "only the silent connection goes";
    EXPECT_EQ(host.roster.size(), 2u);
}

// Squatters that never join hold every place while more keep coming: each newcomer takes the place of the one that
// has waited longest, so a player still gets in. However many are let go at one time, one line tells of them, and
// one more when the wait of those left ends.
TEST_F(JoinWait, SquattersMakeRoomForAPlayerWithOneLineAtATime) {
    std::vector<std::unique_ptr<NetworkManager>> squatters;
    openSilent(squatters, host.link.maxConnections);
    testing::internal::CaptureStderr();
    bool tookAll = true;
    // In waves the system's queue for the listener holds.
    for (size_t wave = 0; wave < 3 && tookAll; ++wave) {
        for (size_t i = 0; i < MAX_ACCEPTS_PER_CALL && tookAll; ++i) {
            squatters.push_back(std::make_unique<NetworkManager>());
            tookAll = squatters.back()->connect("127.0.0.1", netTcpPort);
        }
        const int newest = static_cast<int>(squatters.size());
        tookAll = tookAll && stepUntil([&] { return host.link.connections.back().id == newest; });
    }
    const bool joined = joinLobby(guest.peer, hostAt(Lobby{"Den", 1, "fight", "", 1, 2}), "secret") &&
                        stepUntil([&] { return guest.state.joined && host.roster.size() == 2; });
    const std::string lines = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(tookAll);
    EXPECT_TRUE(joined);
    EXPECT_EQ(linesIn(lines), 1u) << lines;
    EXPECT_NE(lines.find("waited longest of the connections its address keeps waiting"), std::string::npos) << lines;
    const std::string late = hostStepAt(JOIN_TIMEOUT_MS);
    EXPECT_EQ(linesIn(late), 1u) << late;
    EXPECT_EQ(host.link.connections.size(), 1u) << "the player alone stays";
}

// A connection to the host from another loopback address that never says a word; -1 when none could be made.
int squatFrom(const char* address) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, address, &from.sin_addr);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(netTcpPort);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool closedByHost(int fd) {
    char byte = 0;
    return ::recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
}

// Squatters from 127.0.0.2 hold every place, each one the host lets go replaced at once. A player from 127.0.0.1
// whose join comes late, as when a lost segment is sent again, joins all the same: the join is sent once its delay
// has passed and the squatters have come back more often than the host has places.
TEST_F(JoinWait, APlayerWhoseJoinComesLateKeepsItsPlaceAgainstSquattersFromAnotherAddress) {
    for (const int joinAfterMs : {50, 500}) {
        std::vector<int> squatters;
        for (size_t i = 0; i < host.link.maxConnections; ++i) squatters.push_back(squatFrom("127.0.0.2"));
        ASSERT_EQ(std::count(squatters.begin(), squatters.end(), -1), 0);
        ASSERT_TRUE(stepUntil([&] { return host.link.connections.size() == host.link.maxConnections; }));
        testing::internal::CaptureStderr();
        NetworkManager player;
        ASSERT_TRUE(player.connect("127.0.0.1", netTcpPort));
        const auto connectedAt = std::chrono::steady_clock::now();
        size_t comeBack = 0;
        const bool churned = stepUntil([&] {
            for (int& fd : squatters)
                if (fd >= 0 && closedByHost(fd)) {
                    ::close(fd);
                    fd = squatFrom("127.0.0.2");
                    ++comeBack;
                }
            return comeBack > 2 * host.link.maxConnections &&
                   std::chrono::steady_clock::now() - connectedAt >= std::chrono::milliseconds(joinAfterMs);
        });
        player.sendPacket(joinRequestPacket({"Den", "127.0.0.1", 2, "P2", "human", 0, "secret"}));
        const bool joined = stepUntil([&] { return host.roster.size() == 2; });
        player.receivePackets();
        const std::string lines = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(churned) << joinAfterMs << " ms: " << comeBack << " squatters came back";
        EXPECT_TRUE(joined) << joinAfterMs << " ms\n" << lines;
        EXPECT_EQ(player.connections.size(), 1u) << joinAfterMs << " ms";
        for (int fd : squatters)
            if (fd >= 0) ::close(fd);
        player.closeTcp();
        ASSERT_TRUE(stepUntil([&] { return host.link.connections.empty() && host.roster.size() == 1; }));
    }
}

// Both addresses keep as many connections waiting: the newcomer, counted with its own address, tips it, so that
// address's oldest makes room, not the older connection of the other.
TEST_F(JoinWait, ANewcomerTipsTheCountOfItsOwnAddressWhenBothKeepAsManyWaiting) {
    host.link.maxConnections = 4;
    std::vector<int> squatters;
    for (const char* address : {"127.0.0.2", "127.0.0.2", "127.0.0.1", "127.0.0.1", "127.0.0.1"}) {
        squatters.push_back(squatFrom(address));
        ASSERT_NE(squatters.back(), -1) << address;
        if (squatters.size() < 5) {
            ASSERT_TRUE(stepUntil([&] { return host.link.connections.size() == squatters.size(); }));
        }
    }
    testing::internal::CaptureStderr();
    const auto closed = [&] {
        std::vector<bool> each;
        for (int fd : squatters) each.push_back(closedByHost(fd));
        return each;
    };
    stepUntil([&] {
        const std::vector<bool> seen = closed();
        return std::count(seen.begin(), seen.end(), true) > 0;
    });
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(closed(), (std::vector<bool>{false, false, true, false, false}));
    for (int fd : squatters) ::close(fd);
}

// With every place joined, a newcomer is closed at once; the line for it is written at most once a second, and the
// next one counts those held back.
TEST_F(JoinWait, NewcomersFindingEveryPlaceJoinedAreTurnedAwayWithOneLineASecond) {
    joinDen(*this);
    host.link.maxConnections = 1;
    const struct {
        uint32_t at;
        const char* line;  // empty: held back
    } cases[] = {
        {5000, "Refused a connection: the host's 1 places are held by players and joins being read\n"},
        {5000, ""},
        {5000 + QUIET_LINE_MS - 1, ""},
        {5000 + QUIET_LINE_MS,
         "Refused a connection: the host's 1 places are held by players and joins being read (and 2 more since the "
         "last such line)\n"},
    };
    for (const auto& c : cases) {
        NetworkManager newcomer;
        ASSERT_TRUE(newcomer.connect("127.0.0.1", netTcpPort));
        now = c.at;
        testing::internal::CaptureStderr();
        const bool turnedAway = stepUntil([&] {
            newcomer.receivePackets();
            return newcomer.connections.empty();
        });
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.line);
        EXPECT_TRUE(turnedAway) << c.at;
    }
    EXPECT_EQ(host.roster.size(), 2u);
}

// A client may send turns ahead, but what they hold is bounded: turns of the most orders of the longest chat
// lines fill the bound within a few turns, and the turn past it drops the client with one line.
TEST(TurnMemory, AClientsTurnsAheadStopAtTheBoundOfMemory) {
    HostWithClient match;
    const Command chat{CommandType::ChatMessage, 2, ChatMessageCommand{std::string(MAX_CHAT_BYTES, 'x')}};
    const Turn full{0, 2, std::vector<Command>(MAX_TURN_COMMANDS, chat)};
    std::string errors;
    int sent = 0;
    for (; sent < 16 && !match.host.connections.empty(); ++sent) {
        Turn ahead = full;
        ahead.tick = sent;
        match.client.sendPacket(writeTurnPacket(ahead));
        errors += match.hostStep();
    }
    EXPECT_TRUE(match.host.connections.empty()) << "sixteen full turns were kept";
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_NE(errors.find("ahead exceed"), std::string::npos) << errors;
    EXPECT_GE(sent, 3) << "the bound took fewer turns than a client may lawfully send ahead";
    EXPECT_EQ(match.manager.turns[2].size(), static_cast<size_t>(sent - 1));
    EXPECT_EQ(match.runner.left, std::vector<int>{2});
}

// Player 2 of a match of two, whose one connection leads to its host, player 1.
struct MemberOfAHost {
    LockstepManager turns;
    NetworkManager link, host;
    RecordingRunner runner;
    MemberOfAHost() { joinInMemory(link, host); }
    // What the member's frames wrote on the error stream after the host sent the packet.
    std::string hear(const NetPacket& packet, int frames, float frameSeconds) {
        host.sendPacket(packet);
        testing::internal::CaptureStderr();
        for (int frame = 0; frame < frames; ++frame) turns.step(frameSeconds, 0, 2, {1, 2}, link, runner);
        return testing::internal::GetCapturedStderr();
    }
};

// A host that breaks the rules is dropped by its member with one line, and the member plays on alone rather than
// waiting for turns that will not come.
TEST(TurnMemory, AMemberDropsAHostThatBreaksTheRulesAndPlaysOnAlone) {
    const struct {
        NetPacket packet;
        const char* line;
    } cases[] = {
        {intsPacket(static_cast<uint8_t>(PacketType::PlayerLeft), {}), "a leave without a player id"},
        {intsPacket(static_cast<uint8_t>(PacketType::TurnCommands), {0, 1}), "a turn packet cut short"},
        {intsPacket(99, {1}), "unknown message type 99"},
    };
    for (const auto& c : cases) {
        MemberOfAHost member;
        const std::string errors = member.hear(c.packet, 10, TURN_LENGTH);
        EXPECT_NE(errors.find(c.line), std::string::npos) << c.line << ": " << errors;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_TRUE(member.link.connections.empty()) << c.line;
        EXPECT_EQ(member.runner.left, std::vector<int>{1}) << c.line;
        EXPECT_GE(member.turns.receiveTurn, 9) << c.line;
    }
}

// A member takes turns and leaves only of the players the match awaits: any other id would take memory of its
// own and put a line in the feed for nobody. A leave of its own player is a lie that drops the link it came on.
TEST(TurnMemory, AMemberKeepsNoTurnOrLeaveOfAPlayerTheMatchDoesNotAwait) {
    const uint8_t leave = static_cast<uint8_t>(PacketType::PlayerLeft);
    const struct {
        NetPacket packet;
        std::vector<int> left;
        size_t playersStored;
        long lines;
        size_t links;
    } cases[] = {
        {writeTurnPacket(Turn{0, 9, {}}), {}, 0, 1, 1}, {writeTurnPacket(Turn{0, 1, {}}), {}, 1, 0, 1},
        {intsPacket(leave, {9}), {}, 0, 0, 1},          {intsPacket(leave, {2}), {1}, 0, 1, 0},
        {intsPacket(leave, {1}), {1}, 0, 0, 1},
    };
    for (const auto& c : cases) {
        MemberOfAHost member;
        const std::string errors = member.hear(c.packet, 1, 0.0f);
        EXPECT_EQ(member.runner.left, c.left) << errors;
        EXPECT_EQ(member.turns.turns.size(), c.playersStored) << errors;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), c.lines) << errors;
        EXPECT_EQ(member.link.connections.size(), c.links) << errors;
    }
}

}  // namespace

namespace {

constexpr uint32_t SILENT_LIMIT = SILENT_PEER_TIMEOUT_MS;

// Two peers of a match on one driven clock: the one that waits steps, the other sends only what a case says.
struct SilentPair {
    uint32_t now = 0;
    NetworkManager waiting, other;
    LockstepManager turns;
    RecordingRunner runner;
    int me, them;
    std::vector<int> gated = {1, 2};
    SilentPair(bool waiterHosts, uint32_t start) : now(start), me(waiterHosts ? 1 : 2), them(waiterHosts ? 2 : 1) {
        waiting.clockMs = other.clockMs = [this] { return now; };
        waiting.isHost = waiterHosts;
        const int link = joinInMemory(waiting, other);
        if (waiterHosts) waiting.bindConnection(link, them);
    }
    // One frame of the waiting peer at the given time; what it wrote on the error stream.
    std::string stepAt(uint32_t time) {
        now = time;
        testing::internal::CaptureStderr();
        turns.step(TURN_LENGTH, 0, me, gated, waiting, runner);
        return testing::internal::GetCapturedStderr();
    }
};

// The host waits the limit on a client's turn from when the match began waiting on it (the lobby's silence before
// does not count), whatever bytes or other messages the client sends meanwhile; a member waits twice that.
TEST(SilentPeer, IsClosedExactlyAtTheLimitOfTheWaitForItsTurn) {
    constexpr uint32_t NONE = 0;
    const std::vector<uint8_t> aByte = {0};
    const std::vector<uint8_t> aLobbyMessage = framePacket(intsPacket(static_cast<uint8_t>(PacketType::ChangeRace), {2}));
    const struct {
        const char* name;
        bool host;
        uint32_t start, lobbyQuiet, sentAt;
        const std::vector<uint8_t>* sent;
        uint32_t waited;
        const char* line;  // empty: still waited for
    } cases[] = {
        {"host, one ms short", true, 1000, 0, NONE, nullptr, SILENT_LIMIT - 1, ""},
        {"host, at the limit", true, 1000, 0, NONE, nullptr, SILENT_LIMIT,
         "Dropping connection 1: player 2 sent no whole turn for 30000 ms while the match waited"},
        {"host, clock wrapping, one ms short", true, UINT32_MAX - 5000, 0, NONE, nullptr, SILENT_LIMIT - 1, ""},
        {"host, clock wrapping, at the limit", true, UINT32_MAX - 5000, 0, NONE, nullptr, SILENT_LIMIT,
         "player 2 sent no whole turn for 30000 ms"},
        {"host, silent in the lobby before", true, 1000, 10 * SILENT_LIMIT, NONE, nullptr, SILENT_LIMIT - 1, ""},
        {"host, silent in the lobby, at the limit", true, 1000, 10 * SILENT_LIMIT, NONE, nullptr, SILENT_LIMIT,
         "player 2 sent no whole turn for 30000 ms"},
        {"host, a byte half way, at the limit", true, 1000, 0, SILENT_LIMIT / 2, &aByte, SILENT_LIMIT,
         "player 2 sent no whole turn for 30000 ms"},
        {"host, a lobby message half way, at the limit", true, 1000, 0, SILENT_LIMIT / 2, &aLobbyMessage,
         SILENT_LIMIT, "player 2 sent no whole turn for 30000 ms"},
        {"member, one ms short", false, 1000, 0, NONE, nullptr, 2 * SILENT_LIMIT - 1, ""},
        {"member, at the limit", false, 1000, 0, NONE, nullptr, 2 * SILENT_LIMIT,
         "Dropping connection 1: player 1 sent no whole turn for 60000 ms while the match waited"},
    };
    for (const auto& c : cases) {
        SilentPair pair(c.host, c.start);
        const uint32_t matchStart = c.start + c.lobbyQuiet;
        std::string errors = pair.stepAt(matchStart);
        if (c.sent) {
            ASSERT_TRUE(pair.other.connections.front().link->send(*c.sent));
            errors += pair.stepAt(matchStart + c.sentAt);
        }
        errors += pair.stepAt(matchStart + c.waited);
        const bool closed = *c.line != 0;
        EXPECT_EQ(pair.waiting.connections.size(), closed ? 0u : 1u) << c.name;
        EXPECT_EQ(linesIn(errors), closed ? 1u : 0u) << c.name << ": " << errors;
        EXPECT_NE(errors.find(c.line), std::string::npos) << c.name << ": " << errors;
        EXPECT_EQ(pair.runner.left, closed ? std::vector<int>{pair.them} : std::vector<int>{}) << c.name;
    }
}

// A member whose host's turn came but another player's did not waits twice the limit on the turn. A host that still
// tells it waits is there, and the member gives that player up as a player and keeps its link; a host from which
// nothing came for that long is gone, and with it everyone behind it; a host quiet for less is given the time to show
// which it is.
TEST(SilentPeer, AMemberGivesUpThePlayerOrTheLinkByWhatStillComesOnIt) {
    const struct {
        const char* name;
        uint32_t toldUntil;  // the host tells it waits once a second until then
        uint32_t waited;
        std::vector<int> left;
        const char* line;  // empty: still waited for
    } cases[] = {
        {"told, one ms short", 2 * SILENT_LIMIT, 2 * SILENT_LIMIT - 1, {}, ""},
        {"told, at the limit", 2 * SILENT_LIMIT, 2 * SILENT_LIMIT, {3},
         "Dropping player 3: sent no whole turn for 60000 ms while the match waited\n"},
        {"never told, at the limit", 0, 2 * SILENT_LIMIT, {1, 3},
         "Dropping connection 1: player 3 sent no whole turn for 60000 ms while the match waited\n"},
        {"told half way, at the limit", SILENT_LIMIT, 2 * SILENT_LIMIT, {}, ""},
        {"told half way, at the limit of the quiet", SILENT_LIMIT, 3 * SILENT_LIMIT, {1, 3},
         "Dropping connection 1: player 3 sent no whole turn for 90000 ms while the match waited\n"},
    };
    const NetPacket hostsTurn = writeTurnPacket(Turn{0, 1, {}});
    for (const auto& c : cases) {
        SilentPair pair(false, 1000);
        pair.gated = {1, 2, 3};
        pair.other.sendPacket(hostsTurn);
        std::string errors;
        for (uint32_t at = 0; at < c.waited; at += WAITING_NOTICE_MS) {
            if (at > 0 && at <= c.toldUntil) pair.other.sendPacket(hostsTurn);
            errors += pair.stepAt(1000 + at);
        }
        errors += pair.stepAt(1000 + c.waited);
        EXPECT_EQ(errors, c.line) << c.name;
        EXPECT_EQ(pair.runner.left, c.left) << c.name;
        const bool linkGone = c.left.size() == 2;
        EXPECT_EQ(pair.waiting.connections.size(), linkGone ? 0u : 1u) << c.name;
    }
}

// A client that takes almost the whole limit over every turn is slow, not gone: the match goes on at its pace.
TEST(SilentPeer, APeerSendingEachTurnJustWithinTheLimitIsNeverClosed) {
    SilentPair pair(true, 1000);
    std::string errors = pair.stepAt(pair.now);
    for (int turn = 0; turn < 5; ++turn) {
        pair.other.sendPacket(writeTurnPacket(Turn{turn, 2, {}}));
        errors += pair.stepAt(pair.now + SILENT_LIMIT - 1);
    }
    EXPECT_EQ(errors, "");
    EXPECT_EQ(pair.waiting.connections.size(), 1u);
    EXPECT_EQ(pair.turns.receiveTurn, 5);
    EXPECT_TRUE(pair.runner.left.empty());
}

}  // namespace
