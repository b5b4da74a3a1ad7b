// The lobby over loopback: a host and a joining peer in one process, each with its own state and player list.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "loopback_lobby.h"

namespace {

TEST_F(LoopbackLobby, DiscoveryJoinRaceMapAndStart) {
    searchLobbies(guest.peer);
    ASSERT_TRUE(stepUntil([&] { return !guest.state.lobbies.empty(); }));
    const Lobby found = guest.state.lobbies.front();
    EXPECT_EQ(found.name, "Den");
    EXPECT_EQ(found.map, "fight");
    EXPECT_EQ(found.passwordFlag, 1);
    EXPECT_EQ(found.maxPlayers, 2u);

    ASSERT_TRUE(joinLobby(guest.peer, hostAt(found), "secret"));
    ASSERT_TRUE(stepUntil([&] { return guest.state.joined && guest.roster.size() == 2; }));
    EXPECT_EQ(host.roster.size(), 2u);
    EXPECT_EQ(guest.roster[1]->id, 2);

    changeRace(host.peer, 2, "vohmathal");
    chooseLobbyMap(host.peer, "highlands", 2);
    ASSERT_TRUE(
        stepUntil([&] { return guest.state.currentMap == "highlands" && guest.roster[1]->race == "vohmathal"; }));

    std::vector<std::string> started;
    StartLobbyMatch = [&](bool, const std::string& map) { started.push_back(map); };
    startLobbyMatch(host.peer);
    ASSERT_TRUE(stepUntil([&] { return guest.state.started; }));
    StartLobbyMatch = nullptr;
    EXPECT_EQ(started, (std::vector<std::string>{"highlands", "highlands"}));
}

// A start message cut short before any of its fingerprints, as a host that sends none or not all: the guest
// drops the connection with one line and starts nothing.
TEST_F(LoopbackLobby, AStartWithoutTheMapsFingerprintDropsTheHostAndStartsNothing) {
    NetPacket whole(PacketType::StartGame);
    whole.writeString("Den");
    whole.writeString("fight");
    whole.writeByte(0);
    std::vector<size_t> cuts;  // before the map's, the settings', the mod script's and the content's
    for (const char* print : {"map", "settings", "", "content"}) {
        cuts.push_back(whole.data.size());
        whole.writeString(print);
    }
    for (const size_t cut : cuts) {
        SCOPED_TRACE(cut);
        LobbySide den{1};
        LobbySide member{2};
        hostDenOnLoopback(den, member.link);
        ASSERT_TRUE(joinLobby(member.peer, Lobby{"Den", 1, "fight", "127.0.0.1", 1, 2}, "secret"));
        ASSERT_TRUE(stepUntil(den, member, [&] { return member.state.joined; }));
        NetPacket start = whole;
        start.data.resize(cut);
        den.link.sendPacket(start);
        testing::internal::CaptureStderr();
        const bool dropped = stepUntil(den, member, [&] { return !member.state.joined; });
        const std::string errors = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(dropped);
        EXPECT_EQ(errors, "Dropping connection 1: a start message cut short\n");
        EXPECT_FALSE(member.state.started);
        EXPECT_TRUE(member.link.connections.empty());
    }
}

// A refused join leaves its connection unjoined: the host handles the frame's next message as from a stranger.
TEST_F(LoopbackLobby, RefusedJoinsKeepTheFramesOtherMessages) {
    ASSERT_TRUE(guest.link.connect("127.0.0.1", netTcpPort));
    sendJoin(guest.link, {"Den", "127.0.0.1"});  // cut short after the address
    guest.link.sendPacket(raceOf(1, "vohmathal"));
    testing::internal::CaptureStderr();
    ASSERT_TRUE(acceptedThenDropped());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[Host] JoinLobby: failed to read playerId\n");
    EXPECT_EQ(host.roster.size(), 1u);
    EXPECT_EQ(host.roster[0]->race, "human") << "what follows a malformed join is not read";

    const struct {
        const char* password;
        int bases;
        const char* why;
    } refusals[] = {{"wrong", 2, "a wrong password"}, {"secret", 1, "a full lobby"}};
    for (const auto& r : refusals) {
        LobbySide third(3);
        host.state.baseCount = r.bases;
        ASSERT_TRUE(joinLobby(third.peer, Lobby{"Den", 1, "fight", "127.0.0.1", 1, 2}, r.password));
        third.link.sendPacket(raceOf(3, "vohmathal"));
        testing::internal::CaptureStderr();
        ASSERT_TRUE(acceptedThenDropped()) << r.why;
        EXPECT_NE(testing::internal::GetCapturedStderr().find("from a connection that never joined"),
                  std::string::npos)
            << r.why;
        EXPECT_EQ(host.roster.size(), 1u) << r.why;
    }
}

// Leave tells the other side either way, keeps discovery open, and the peers meet again in a later lobby.
TEST_F(LoopbackLobby, LeaveOnEitherSideUpdatesTheOtherAndALaterLobbyWorks) {
    const auto findAndJoin = [&] {
        searchLobbies(guest.peer);
        return stepUntil([&] { return !guest.state.lobbies.empty(); }) &&
               joinLobby(guest.peer, hostAt(guest.state.lobbies.front()), "secret") &&
               stepUntil([&] { return guest.state.joined && guest.roster.size() == 2; });
    };
    ASSERT_TRUE(findAndJoin());
    leaveLobby(guest.peer);
    ASSERT_TRUE(stepUntil([&] { return host.roster.size() == 1; }));
    EXPECT_EQ(guest.roster.size(), 1u);
    EXPECT_TRUE(guest.link.discovering());

    ASSERT_TRUE(findAndJoin()) << "the guest finds and joins the same lobby again";
    leaveLobby(host.peer);
    ASSERT_TRUE(stepUntil([&] { return !guest.state.joined; })) << "the host's leaving reaches its member";
    EXPECT_EQ(guest.roster.size(), 1u);
    EXPECT_FALSE(host.state.isHostLobby);
    EXPECT_TRUE(host.link.discovering());

    ASSERT_TRUE(hostLobby(host.peer, "Den", "fight", "secret", 2));
    ASSERT_TRUE(findAndJoin()) << "a lobby hosted after leaving one";
}

// A host's view of its lobby, to show that a message changed nothing.
std::string lobbyView(const LobbySide& side) {
    std::string view = side.state.lobbyName + "|" + side.state.currentMap + "|" + std::to_string(side.state.started);
    for (const auto& p : side.roster) view += "|" + std::to_string(p->id) + " " + p->name + " " + p->race;
    return view;
}

TEST_F(LoopbackLobby, ConnectionThatNeverJoinedChangesNothing) {
    NetPacket update(PacketType::LobbyUpdate);
    update.writeString("Taken");
    update.writeInt(1);
    update.writeInt(9);
    update.writeString("Nine");
    update.writeString("human");
    update.writeByte(0);
    update.writeString("highlands");
    NetPacket start(PacketType::StartGame);
    start.writeString("Taken");
    start.writeString("highlands");
    NetPacket accepted(PacketType::JoinAccepted);
    accepted.writeString("Taken");
    accepted.writeInt(9);
    NetPacket left(PacketType::PlayerLeft);
    left.writeInt(1);
    const NetPacket messages[] = {update, start, accepted, left, raceOf(1, "vohmathal")};
    const std::string before = lobbyView(host);
    for (const NetPacket& message : messages) {
        NetworkManager stranger;
        ASSERT_TRUE(stranger.connect("127.0.0.1", netTcpPort));
        stranger.sendPacket(message);
        testing::internal::CaptureStderr();
        ASSERT_TRUE(acceptedThenDropped()) << int{message.type};
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_NE(errors.find("from a connection that never joined"), std::string::npos) << errors;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_EQ(lobbyView(host), before) << int{message.type};
    }
}

TEST_F(LoopbackLobby, JoinerKeepsToItsOwnIdAndCannotRenameTheLobby) {
    ASSERT_TRUE(joinLobby(guest.peer, Lobby{"Renamed", 1, "fight", "127.0.0.1", 1, 2}, "secret"));
    ASSERT_TRUE(stepUntil([&] { return guest.state.joined && guest.roster.size() == 2; }));
    EXPECT_EQ(host.state.lobbyName, "Den");
    EXPECT_EQ(guest.state.lobbyName, "Den") << "the host's name reaches its member";

    host.state.baseCount = 4;
    const int savedEnvironment = Player::environmentId;
    Player::environmentId = 7;
    for (int takenId : {1, 2, Player::environmentId}) {
        LobbySide impostor(takenId);
        testing::internal::CaptureStderr();
        ASSERT_TRUE(joinLobby(impostor.peer, Lobby{"Den", 1, "fight", "127.0.0.1", 2, 4}, "secret"));
        ASSERT_TRUE(stepUntil([&] { return host.link.connections.size() == 2; }) &&
                    stepUntil([&] { return host.link.connections.size() == 1; }));
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(errors.find("Dropping connection"), 0u) << errors;
        EXPECT_NE(errors.find("a join as player " + std::to_string(takenId) + ", who is taken"), std::string::npos);
        EXPECT_EQ(host.roster.size(), 2u);
    }
    Player::environmentId = savedEnvironment;

    const std::string before = lobbyView(host);
    guest.link.sendPacket(raceOf(1, "vohmathal"));
    testing::internal::CaptureStderr();
    ASSERT_TRUE(stepUntil([&] { return host.link.connections.empty(); }));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("player 2 sent the race of player 1"), std::string::npos);
    EXPECT_EQ(host.roster[0]->race, "human");
    ASSERT_TRUE(stepUntil([&] { return host.roster.size() == 1; })) << "the member dropped is gone from the lobby";
}

TEST_F(LoopbackLobby, NamesOfThirtyTwoBytesJoinAndLongerOnesAreRefused) {
    const struct {
        size_t bytes;
        bool joins;
    } cases[] = {{MAX_NAME_BYTES, true}, {MAX_NAME_BYTES + 1, false}};
    host.state.baseCount = 4;
    for (const auto& c : cases) {
        LobbySide joiner(static_cast<int>(10 + c.bytes));
        joiner.roster[0]->name = std::string(c.bytes, 'n');
        testing::internal::CaptureStderr();
        ASSERT_TRUE(joinLobby(joiner.peer, Lobby{"Den", 1, "fight", "127.0.0.1", 1, 4}, "secret"));
        const bool settled = c.joins ? stepUntil([&] { return host.roster.size() == 2; })
                                     : stepUntil([&] { return host.link.connections.size() == 1; }) &&
                                           stepUntil([&] { return host.link.connections.empty(); });
        ASSERT_TRUE(settled) << c.bytes;
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(errors.empty(), c.joins) << errors;
        EXPECT_EQ(host.roster.back()->name.size() == c.bytes, c.joins);
        joiner.link.closeTcp();
        ASSERT_TRUE(stepUntil([&] { return host.link.connections.empty() && host.roster.size() == 1; }));
    }
}

// The lobby keeps its player limit plus a few awaiting their join; one more takes the place of the one that has
// waited longest.
TEST_F(LoopbackLobby, AConnectionBeyondTheLimitTakesThePlaceOfTheOldestStillToJoin) {
    const size_t limit = 2 + AWAITING_JOIN;
    std::vector<std::unique_ptr<NetworkManager>> waiting;
    for (size_t i = 0; i < limit; ++i) {
        waiting.push_back(std::make_unique<NetworkManager>());
        ASSERT_TRUE(waiting.back()->connect("127.0.0.1", netTcpPort));
        ASSERT_TRUE(stepUntil([&] { return host.link.connections.size() == i + 1; }));
    }
    NetworkManager oneMore;
    ASSERT_TRUE(oneMore.connect("127.0.0.1", netTcpPort));
    testing::internal::CaptureStderr();
    const auto closed = [&] {
        waiting.front()->receivePackets();
        return waiting.front()->connections.empty();
    };
    ASSERT_TRUE(stepUntil(closed));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Dropping connection 1: it waited longest of the connections its address keeps waiting for a join, and a "
              "newcomer takes its place\n");
    EXPECT_EQ(host.link.connections.size(), limit);
    EXPECT_EQ(host.link.connections.back().id, static_cast<int>(limit) + 1);
    oneMore.receivePackets();
    EXPECT_EQ(oneMore.connections.size(), 1u);
}

// A search lists a bounded number of lobbies however many answer; the first one past the bound says so.
TEST_F(LoopbackLobby, SearchListsAtMostItsBoundOfLobbies) {
    NetPacket info(PacketType::LobbyInfo);
    for (const char* field : {"Den", "fight"}) info.writeString(field);
    info.writeByte(0);
    info.writeString("127.0.0.1");
    info.writeInt(1);
    info.writeInt(2);
    // The host's own announcement is listed too.
    for (size_t i = 0; i + 1 < MAX_LISTED_LOBBIES; ++i) host.link.broadcastPacket(info, netUdpPorts[1]);
    ASSERT_TRUE(stepUntil([&] { return guest.state.lobbies.size() == MAX_LISTED_LOBBIES; }));
    host.link.broadcastPacket(info, netUdpPorts[1]);
    guest.link.waitForTraffic(1000);
    testing::internal::CaptureStderr();
    updateLobbyNetworking(guest.peer);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Dropped a lobby announcement: 64 lobbies are listed already\n");
    EXPECT_EQ(guest.state.lobbies.size(), MAX_LISTED_LOBBIES);
}

}  // namespace

namespace {

// A member that reads nothing is let go once a large frame's worth waits for it, instead of holding the host's
// frame until it reads; the host's lobby goes on without it.
TEST_F(LoopbackLobby, MemberThatReadsNothingIsDroppedWithoutStoppingTheHost) {
    ASSERT_TRUE(joinLobby(guest.peer, hostAt(Lobby{"Den", 1, "fight", "", 1, 2}), "secret"));
    ASSERT_TRUE(stepUntil([&] { return guest.state.joined && host.roster.size() == 2; }));
    NetPacket bulk;
    bulk.type = 99;
    bulk.data.assign(1u << 20, 7);
    testing::internal::CaptureStderr();
    int sent = 0;
    for (; sent < 64 && !host.link.connections.empty(); ++sent) host.link.sendPacket(bulk);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(host.link.connections.empty()) << "after " << sent << " frames of a mebibyte";
    EXPECT_EQ(errors, "Dropping connection 1: it left more than 4194308 bytes sent to it unread\n");
    updateLobbyNetworking(host.peer);
    EXPECT_EQ(host.roster.size(), 1u) << "the member let go has left the lobby";
}

// However many queries come in one step, the host answers once; the rest of a flood waits for later steps.
// What waits on a discovery socket before a test sends its own: the host's announcement.
void drainDatagrams(NetworkManager& link) {
    link.waitForTraffic(100);
    while (!link.receiveDatagrams().empty()) {
    }
}

TEST_F(LoopbackLobby, FloodOfQueriesGetsOneAnswerAStep) {
    drainDatagrams(host.link);
    drainDatagrams(guest.link);
    const NetPacket query(PacketType::LobbyQuery);
    for (size_t i = 0; i < MAX_DATAGRAMS_PER_CALL + 36; ++i) guest.link.broadcastPacket(query, netUdpPorts[0]);
    host.link.waitForTraffic(1000);
    updateLobbyNetworking(host.peer);
    guest.link.waitForTraffic(1000);
    std::vector<NetPacket> answers = guest.link.receiveDatagrams();
    EXPECT_EQ(answers.size(), 1u);
    updateLobbyNetworking(host.peer);
    guest.link.waitForTraffic(1000);
    answers = guest.link.receiveDatagrams();
    EXPECT_EQ(answers.size(), 1u) << "the queries left over are answered in the next step";
    updateLobbyNetworking(host.peer);
    guest.link.waitForTraffic(0);
    EXPECT_TRUE(guest.link.receiveDatagrams().empty()) << "no query is left to answer";
}

// One call reads a bounded number of datagrams, however many wait.
TEST_F(LoopbackLobby, DatagramsAreReadAtMostABoundAtATime) {
    drainDatagrams(host.link);
    const NetPacket query(PacketType::LobbyQuery);
    const size_t flood = MAX_DATAGRAMS_PER_CALL + 1;
    for (size_t i = 0; i < flood; ++i) guest.link.broadcastPacket(query, netUdpPorts[0]);
    host.link.waitForTraffic(1000);
    EXPECT_EQ(host.link.receiveDatagrams().size(), MAX_DATAGRAMS_PER_CALL);
    EXPECT_EQ(host.link.receiveDatagrams().size(), 1u);
}

}  // namespace

namespace {

NetPacket updateOf(int players) {
    NetPacket p(PacketType::LobbyUpdate);
    p.writeString("Den");
    p.writeInt(players);
    for (int i = 0; i < players; ++i) {
        p.writeInt(100 + i);
        p.writeString("P");
        p.writeString("human");
        p.writeByte(0);
    }
    p.writeString("fight");
    return p;
}

// A LobbyInfo whose payload takes the given number of bytes, all but the fixed fields in its map's name, which
// only the datagram bounds: the lobby's name keeps to the length of a name.
NetPacket infoOf(size_t payloadBytes) {
    NetPacket p(PacketType::LobbyInfo);
    p.writeString("Den");
    p.writeString(std::string(payloadBytes - 4 * 5 - 1 - 3 - 9, 'm'));
    p.writeByte(0);
    p.writeString("127.0.0.1");
    p.writeInt(1);
    p.writeInt(2);
    return p;
}

// A member keeps a list of players and lobbies no message can blow up: the last size kept and the first dropped.
TEST_F(LoopbackLobby, OversizedPlayerListsAndAnnouncementsAreDroppedWithOneLine) {
    ASSERT_TRUE(joinLobby(guest.peer, hostAt(Lobby{"Den", 1, "fight", "", 1, 2}), "secret"));
    ASSERT_TRUE(stepUntil([&] { return guest.state.joined && guest.roster.size() == 2; }));
    guest.state.lobbies.clear();
    const struct {
        NetPacket packet;
        const char* line;  // empty when kept
        size_t players, lobbies;
    } cases[] = {
        {updateOf(MAX_LOBBY_PLAYERS), "", MAX_LOBBY_PLAYERS, 0},
        {updateOf(MAX_LOBBY_PLAYERS + 1), "Dropped a lobby update of 65 players: a lobby holds at most 64\n",
         MAX_LOBBY_PLAYERS, 0},
        {infoOf(MAX_DATAGRAM - 1), "", MAX_LOBBY_PLAYERS, 1},
        {infoOf(MAX_DATAGRAM), "Dropped a lobby announcement of 4097 bytes: more than a datagram\n", MAX_LOBBY_PLAYERS,
         1},
    };
    for (const auto& c : cases) {
        host.link.sendPacket(c.packet);
        testing::internal::CaptureStderr();
        // A frame larger than one read takes two steps.
        for (int step = 0; step < 3; ++step) {
            guest.link.waitForTraffic(100);
            updateLobbyNetworking(guest.peer);
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.line);
        EXPECT_EQ(guest.roster.size(), c.players);
        EXPECT_EQ(guest.state.lobbies.size(), c.lobbies);
    }
}

}  // namespace

namespace {

// A member's leave closes its connection on the host, quietly: a peer that left and stayed connected would be
// carried into the match as a player nobody waits for.
TEST_F(LoopbackLobby, MemberThatLeavesButStaysConnectedIsLetGo) {
    ASSERT_TRUE(joinLobby(guest.peer, hostAt(Lobby{"Den", 1, "fight", "", 1, 2}), "secret"));
    ASSERT_TRUE(stepUntil([&] { return guest.state.joined && host.roster.size() == 2; }));
    NetPacket left(PacketType::PlayerLeft);
    left.writeInt(2);
    guest.link.sendPacket(left);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(stepUntil([&] { return host.roster.size() == 1; }));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(host.link.connections.empty());
    ASSERT_TRUE(stepUntil([&] { return guest.link.connections.empty(); })) << "the member hears its host is gone";
}

}  // namespace

namespace {

// However many connections wait, one step takes a bounded number in; the rest come in the next.
TEST_F(LoopbackLobby, StepTakesABoundedNumberOfWaitingConnections) {
    std::vector<std::unique_ptr<NetworkManager>> waiting;
    for (size_t i = 0; i < MAX_ACCEPTS_PER_CALL + 1; ++i) {
        waiting.push_back(std::make_unique<NetworkManager>());
        ASSERT_TRUE(waiting.back()->connect("127.0.0.1", netTcpPort));
    }
    host.link.receivePackets();
    EXPECT_EQ(host.link.connections.size(), MAX_ACCEPTS_PER_CALL);
    host.link.receivePackets();
    EXPECT_EQ(host.link.connections.size(), MAX_ACCEPTS_PER_CALL + 1);
}

}  // namespace

namespace {

// A remote peer joins as a human: a join that claims a computer player's seat drops its connection with one line.
TEST_F(LoopbackLobby, JoinAsAComputerPlayerIsRefused) {
    const struct {
        uint8_t computer;
        bool joins;
    } cases[] = {{0, true}, {1, false}};
    host.state.baseCount = 4;
    for (const auto& c : cases) {
        NetworkManager joiner;
        ASSERT_TRUE(joiner.connect("127.0.0.1", netTcpPort));
        joiner.sendPacket(joinRequestPacket({"Den", "127.0.0.1", 5, "Five", "human", c.computer, "secret"}));
        testing::internal::CaptureStderr();
        ASSERT_TRUE(stepUntil([&] { return host.roster.size() == 2 || host.link.wasRefused(1 + c.computer); }));
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(host.roster.size() == 2, c.joins);
        EXPECT_EQ(errors.find("a join of player 5 as a computer player") != std::string::npos, !c.joins) << errors;
        joiner.closeTcp();
        ASSERT_TRUE(stepUntil([&] { return host.link.connections.empty() && host.roster.size() == 1; }));
    }
}

}  // namespace
