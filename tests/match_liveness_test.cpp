// Matches over real sockets on loopback, on one driven network clock: a peer that trickles or falls silent is given
// up by its progress while the others go on together, through a host or through the relay stand-in; a turn naming
// the receiver's own player, or holding an order of unknown code, is refused whole with one line.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "game_commands_wire.h"
#include "lockstep.h"
#include "lockstep_peers.h"
#include "network_manager.h"

namespace {

// Marks the orders a test slips in, so no peer can be said to have applied one without it showing.
constexpr int FORGED_BUILDING = 4242;

struct LoopbackPeer {
    int id = 0;
    NetworkManager link;
    LockstepManager turns;
    RecordingRunner runner;

    // One frame: an order of its own every fifth turn, so the turns compared hold something.
    void step(const std::vector<int>& gated) {
        if (turns.sendTurn % 5 == 0 && turns.pendingCommands.empty())
            turns.collectCommand({CommandType::StopConstruction, id, StopConstructionCommand{turns.sendTurn}});
        const int before = turns.receiveTurn;
        turns.step(TURN_LENGTH, 0, id, gated, link, runner);
        if (turns.receiveTurn != before) runner.endTurn();
    }
    bool applied(int building) const {
        for (const AppliedTurn& turn : runner.turns)
            for (const Command& cmd : turn.commands)
                if (const auto* stop = std::get_if<StopConstructionCommand>(&cmd.payload); stop && stop->buildingId == building)
                    return true;
        return false;
    }
};

// The first port from one picked by the process id that takes a listener.
uint16_t listenOnLoopback(NetworkManager& link) {
    uint16_t port = static_cast<uint16_t>(20000 + (getpid() % 4000) * 2);
    while (!link.listen(port)) ++port;
    return port;
}

// Players 1 to n: on a LAN player 1 hosts and binds the others; through the relay every peer is one of its
// connections and none hosts. Every peer, and the relay, reads the same clock.
struct LoopbackMatch {
    LoopbackMatch(bool throughRelay, int players) : relayed(throughRelay) {
        for (int id = 1; id <= players; ++id) {
            peers.push_back(std::make_unique<LoopbackPeer>());
            peers.back()->id = id;
            peers.back()->link.clockMs = [this] { return now; };
            gated.push_back(id);
        }
        relay.clockMs = [this] { return now; };
        NetworkManager& hub = throughRelay ? relay : peers[0]->link;
        port = listenOnLoopback(hub);
        for (auto& p : peers) {
            if (&p->link == &hub || !p->link.connect("127.0.0.1", port)) continue;
            const size_t before = hub.connections.size();
            for (int tries = 0; tries < 1000 && hub.connections.size() == before; ++tries) {
                hub.waitForTraffic(5);
                hub.acceptClients();
            }
            NetworkManager::Connection& accepted = hub.connections.back();
            if (throughRelay) {
                // The relay's peers are not joiners of a lobby.
                accepted.awaitingJoin = false;
                accepted.frameLimit = MAX_FRAME_LENGTH;
            } else {
                hub.bindConnection(accepted.id, p->id);
            }
        }
    }

    // A frame of every peer still playing, the clock then advanced; the relay passes on what came.
    void frame(uint32_t advanceMs) {
        for (auto& p : peers)
            if (std::find(stopped.begin(), stopped.end(), p->id) == stopped.end()) p->step(gated);
        if (relayed)
            for (const NetPacket& packet : relay.receivePackets()) relay.relayPacket(packet);
        (relayed ? relay : peers[0]->link).waitForTraffic(1);
        now += advanceMs;
    }

    LoopbackPeer& peer(int id) { return *peers[static_cast<size_t>(id - 1)]; }

    uint32_t now = 5000;
    bool relayed;
    uint16_t port = 0;
    NetworkManager relay;
    std::vector<std::unique_ptr<LoopbackPeer>> peers;
    std::vector<int> gated;
    std::vector<int> stopped;
};

// Whether two peers applied the same orders in every turn both have completed, with at least the turns given.
void expectInStep(const LoopbackPeer& a, const LoopbackPeer& b, size_t turns) {
    const size_t common = std::min(a.runner.turns.size(), b.runner.turns.size()) - 1;
    ASSERT_GE(common, turns) << "players " << a.id << " and " << b.id << " did not go on";
    for (size_t t = 0; t < common; ++t) {
        const AppliedTurn& x = a.runner.turns[t];
        const AppliedTurn& y = b.runner.turns[t];
        ASSERT_EQ(x.commands.size(), y.commands.size()) << "turn " << t;
        for (size_t i = 0; i < x.commands.size(); ++i)
            ASSERT_EQ(compactJson(commandToJson(0, x.commands[i])), compactJson(commandToJson(0, y.commands[i])))
                << "turn " << t;
    }
}

// Player 3 stops playing after some turns: it falls silent with its socket open, or sends its next turn one byte
// every 25 s. Whoever waits on it gives it up by the turn that does not come, whatever bytes come; players 1 and 2
// go on together, each still on its link. On a LAN the host gives up the member and tells the other; through the
// relay each peer gives up the player and keeps the relay.
TEST(MatchLiveness, APlayerWhoseTurnDoesNotComeWholeIsGivenUpAndTheOthersGoOnTogether) {
    const struct {
        const char* name;
        bool relayed;
        bool trickles;
        size_t lines;  // giving player 3 up, by players 1 and 2 together
    } cases[] = {
        {"a member trickles its turn to the host", false, true, 1},
        {"a member falls silent", false, false, 1},
        {"a peer behind the relay trickles its turn", true, true, 2},
        {"a peer behind the relay falls silent", true, false, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackMatch match(c.relayed, 3);
        for (int f = 0; f < 400 && match.peer(2).turns.receiveTurn < 30; ++f) match.frame(16);
        ASSERT_GE(match.peer(2).turns.receiveTurn, 30);
        LoopbackPeer& quiet = match.peer(3);
        match.stopped = {3};
        const std::vector<uint8_t> nextTurn = framePacket(writeTurnPacket(Turn{quiet.turns.sendTurn, 3, {}}));
        const int goneAt = match.peer(1).turns.receiveTurn;
        testing::internal::CaptureStderr();
        size_t trickled = 0;
        for (uint32_t waited = 0; waited <= 3 * SILENT_PEER_TIMEOUT_MS; waited += 250) {
            if (c.trickles && waited % 25000 == 0 && trickled < nextTurn.size()) {
                ASSERT_TRUE(quiet.link.connections.front().link->send({nextTurn[trickled++]}));
            }
            match.frame(250);
        }
        for (int f = 0; f < 2000 && match.peer(2).turns.receiveTurn < goneAt + 100; ++f) match.frame(16);
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(countOf(errors, "player 3 sent no whole turn") + countOf(errors, "Dropping player 3:"), c.lines)
            << errors;
        EXPECT_EQ(static_cast<size_t>(std::count(errors.begin(), errors.end(), '\n')), c.lines) << errors;
        for (int id : {1, 2}) {
            EXPECT_EQ(match.peer(id).runner.left, std::vector<int>{3}) << "player " << id;
            EXPECT_FALSE(match.peer(id).link.connections.empty()) << "player " << id << " lost its link";
        }
        expectInStep(match.peer(1), match.peer(2), static_cast<size_t>(goneAt + 90));
    }
}

// Only the player itself speaks for it: a turn that names it, as the turn's player or inside an order, or a leave
// that names it, coming from the network, drops that link with one line and none of it is applied. A turn holding
// an order the wire does not know is malformed as a whole: its sender's connection is dropped with one line and no
// peer applies any order of it, those before the unknown one included.
TEST(MatchLiveness, ATurnNamingTheReceiversPlayerOrOfUnknownCodeIsRefusedWhole) {
    const Command forged{CommandType::StopConstruction, 1, StopConstructionCommand{FORGED_BUILDING}};
    const Command ownMarked{CommandType::StopConstruction, 2, StopConstructionCommand{FORGED_BUILDING}};
    const auto turnOf = [](int player, std::vector<Command> cmds) {
        return [player, cmds](int tick) { return writeTurnPacket(Turn{tick, player, cmds}); };
    };
    NetPacket leaveOf1(PacketType::PlayerLeft);
    leaveOf1.writeInt(1);
    const struct {
        const char* name;
        bool relayed;
        // Who sends: 0 a stranger's connection to the relay, else that player's own link.
        int sender;
        std::function<NetPacket(int)> packet;  // for the turn number the sender is at
        std::vector<int> refusing;             // the players that refuse it, one line each
        const char* line;
        bool nobodyApplies;                    // else only those refusing apply none of it
        std::vector<int> leftForFirst;         // who the first of those refusing then sees leave
    } cases[] = {
        {"a stranger's turn of player 1 through the relay", true, 0, turnOf(1, {forged}), {1},
         "a turn of player 1 naming player 1, this peer's own, came from the network", false, {2, 3}},
        {"a stranger's turn of player 3 ordering for player 1", true, 0, turnOf(3, {forged}), {1, 3},
         "naming player ", false, {2, 3}},
        {"a stranger's leave of player 1 through the relay", true, 0, [leaveOf1](int) { return leaveOf1; }, {1},
         "a leave of player 1, this peer's own, came from the network", false, {2, 3}},
        {"a host's turn naming its member's player", false, 1, turnOf(2, {ownMarked}), {2},
         "a turn of player 2 naming player 2, this peer's own, came from the network", false, {1, 3}},
        {"a member's turn with a leave record in it", false, 2,
         turnOf(2, {ownMarked, {CommandType::PlayerLeft, 2, std::monostate{}}}), {1},
         "a turn with an order of unknown code 23", true, {2}},
        {"a member's turn with a takeover record in it", false, 2,
         turnOf(2, {ownMarked, {CommandType::ComputerTakeover, 2, ComputerTakeoverCommand{"rush"}}}), {1},
         "a turn with an order of unknown code 24", true, {2}},
        {"a member's turn with an order of code 999", false, 2,
         turnOf(2, {ownMarked, {static_cast<CommandType>(999), 2, {}}, ownMarked}), {1},
         "a turn with an order of unknown code 999", true, {2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackMatch match(c.relayed, 3);
        for (int f = 0; f < 400 && match.peer(2).turns.receiveTurn < 10; ++f) match.frame(16);
        ASSERT_GE(match.peer(2).turns.receiveTurn, 10);
        NetworkManager stranger;
        if (c.sender == 0) {
            ASSERT_TRUE(stranger.connect("127.0.0.1", match.port));
            match.frame(16);
        }
        testing::internal::CaptureStderr();
        NetworkManager& from = c.sender ? match.peer(c.sender).link : stranger;
        const int tick = match.peer(c.sender ? c.sender : 1).turns.sendTurn + 1;
        ASSERT_TRUE(from.connections.front().link->send(framePacket(c.packet(tick))));
        for (int f = 0; f < 100; ++f) match.frame(16);
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(countOf(errors, c.line), c.refusing.size()) << errors;
        EXPECT_EQ(static_cast<size_t>(std::count(errors.begin(), errors.end(), '\n')), c.refusing.size()) << errors;
        for (int id : {1, 2, 3}) {
            const bool refused = std::count(c.refusing.begin(), c.refusing.end(), id) != 0;
            EXPECT_FALSE((c.nobodyApplies || refused) && match.peer(id).applied(FORGED_BUILDING)) << "player " << id;
        }
        EXPECT_EQ(match.peer(c.refusing.front()).runner.left, c.leftForFirst);
    }
}

}  // namespace
