// Two peers' lockstep managers joined by an in-memory link: the same commands in the same order on both, the
// same world tick by tick, and a dropped peer that leaves the match.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "activity.h"
#include "game_commands_wire.h"
#include "game_loop.h"
#include "lockstep.h"
#include "lockstep_peers.h"
#include "network_manager.h"
#include "session_fixture.h"

namespace {

struct Peer {
    int id;
    LockstepManager manager;
    NetworkManager link;
    RecordingRunner runner;
};

struct TwoPeerMatch : ShippedGame {
    void SetUp() override {
        ShippedGame::SetUp();
        ASSERT_TRUE(contentLoaded);
        basePath = std::string(CORVALE_SOURCE_DIR) + "/";
        joinInMemory(peers[0].link, peers[1].link);
    }
    void buildWorld() {
        reset_game_state();
        headless::Script unused;
        ASSERT_TRUE(headless::startEconomy(unused));
    }

    // What a peer may order: its own workers, a spot by its base and the crystal nearest it.
    struct Orderable {
        std::vector<int> own;
        V2i base;
        MineCommand mine;
    };
    Orderable orderableOf(int player) {
        const Player* p = getPlayerById(player);
        const ResourceFind crystal = findClosestResource(p->baseTile, "Crystal", grid);
        return {headless::unitsOf(player), {p->baseTile.x * SUBDIVISIONS, p->baseTile.y * SUBDIVISIONS},
                MineCommand{0, crystal.tile.x, crystal.tile.y, crystal.object ? crystal.object->id : -1}};
    }

    // Shift moves, mining, pauses and resumes.
    static std::vector<Command> randomOrders(int player, const Orderable& can, std::mt19937& draw) {
        const int kind = static_cast<int>(draw() % 12);
        const int unit = can.own[draw() % can.own.size()];
        const V2i at{can.base.x + static_cast<int>(draw() % 16), can.base.y + static_cast<int>(draw() % 16)};
        MineCommand mine = can.mine;
        mine.unitId = unit;
        if (kind < 4) return {{CommandType::Move, player, MoveCommand{{unit}, at.x, at.y, kind % 2 == 0}}};
        if (kind < 6) return {{CommandType::Mine, player, mine}};
        if (kind == 6) return {{CommandType::PauseGame, player, PauseGameCommand{1}}};
        if (kind < 9) return {{CommandType::ResumeGame, player, ResumeGameCommand{2}}};
        return {};
    }

    // The world's checksum after every tick of what one peer applied.
    std::vector<uint64_t> replayChecksums(const std::vector<AppliedTurn>& applied) {
        buildWorld();
        std::vector<uint64_t> sums;
        for (const AppliedTurn& turn : applied) {
            for (const Command& cmd : turn.commands) applyCommand(cmd, grid, 0, true);
            if (!turn.ticked) continue;
            advanceOneTurn(grid);
            sums.push_back(worldChecksum());
        }
        return sums;
    }

    // One frame of a peer: now and then random orders when it has anything to order, then its step of the length
    // drawn after them.
    static void stepWithOrders(Peer& peer, const std::function<float()>& seconds, const std::vector<int>& gated,
                               const Orderable* can, std::mt19937& draw) {
        if (draw() % 8 == 0 && can)
            for (const Command& cmd : randomOrders(peer.id, *can, draw)) peer.manager.collectCommand(cmd);
        const int before = peer.manager.receiveTurn;
        peer.manager.step(seconds(), 0, peer.id, gated, peer.link, peer.runner);
        if (peer.manager.receiveTurn != before) peer.runner.endTurn();
    }

    // Both peers applied the same orders in every turn both completed, and the world's checksum after each tick is
    // the same; at least the given turns, orders and ticks are compared.
    void expectSameTurnsAndWorld(const std::vector<AppliedTurn>& a, const std::vector<AppliedTurn>& b, size_t turns,
                                 size_t orders, size_t ticks) {
        const size_t common = std::min(a.size(), b.size()) - 1;
        ASSERT_GT(common, turns);
        size_t commands = 0;
        for (size_t t = 0; t < common; ++t) {
            ASSERT_EQ(a[t].commands.size(), b[t].commands.size()) << "turn " << t;
            ASSERT_EQ(a[t].ticked, b[t].ticked);
            for (size_t i = 0; i < a[t].commands.size(); ++i)
                ASSERT_EQ(compactJson(commandToJson(0, a[t].commands[i])),
                          compactJson(commandToJson(0, b[t].commands[i])));
            commands += a[t].commands.size();
        }
        EXPECT_GT(commands, orders);
        const std::vector<AppliedTurn> sharedA(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(common));
        const std::vector<AppliedTurn> sharedB(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(common));
        const std::vector<uint64_t> sumsA = replayChecksums(sharedA);
        EXPECT_EQ(sumsA, replayChecksums(sharedB));
        EXPECT_GT(sumsA.size(), ticks);
    }

    Peer peers[2]{{1, {}, {}, {}}, {2, {}, {}, {}}};
};

TEST_F(TwoPeerMatch, RandomFramesApplyTheSameCommandsAndReachTheSameWorld) {
    buildWorld();
    std::mt19937 draw(19);
    std::uniform_real_distribution<float> frameTime(0.0f, 0.05f);
    const std::vector<int> gated = {1, 2};
    const Orderable orderable[] = {orderableOf(1), orderableOf(2)};
    for (int frame = 0; frame < 500; ++frame)
        for (Peer& peer : peers)
            stepWithOrders(peer, [&] { return frameTime(draw); }, gated, &orderable[peer.id - 1], draw);
    expectSameTurnsAndWorld(peers[0].runner.turns, peers[1].runner.turns, 200, 50, 100);
}

TEST_F(TwoPeerMatch, DroppedPeerLeavesAndTheOtherGoesOn) {
    const std::vector<int> gated = {1, 2};
    for (int frame = 0; frame < 5; ++frame)
        for (Peer& peer : peers) peer.manager.step(TURN_LENGTH, 0, peer.id, gated, peer.link, peer.runner);
    peers[1].link.closeTcp();
    for (int frame = 0; frame < 20; ++frame)
        peers[0].manager.step(TURN_LENGTH, 0, 1, gated, peers[0].link, peers[0].runner);
    EXPECT_EQ(peers[0].runner.left, std::vector<int>{2});
    EXPECT_GE(peers[0].manager.receiveTurn, 20);
}

// A host (player 1) and two members (2 and 3) over memory links, on one clock driven a tenth of a second a frame.
struct Trio {
    Trio() {
        for (Peer& p : peer) p.link.clockMs = [this] { return now; };
        peer[0].link.isHost = true;
        for (int k : {1, 2}) peer[0].link.bindConnection(joinInMemory(peer[0].link, peer[k].link), peer[k].id);
    }
    uint32_t now = 1000;
    Peer peer[3]{{1, {}, {}, {}}, {2, {}, {}, {}}, {3, {}, {}, {}}};
};

struct HostAndTwoMembers : TwoPeerMatch {
    // Frames of every peer but the one gone (-1: none); only players 1 and 2 have units to order.
    void play(Trio& trio, int frames, int gone, const Orderable orderable[], std::mt19937& draw) {
        for (int frame = 0; frame < frames; ++frame, trio.now += 100)
            for (int k = 0; k < 3; ++k)
                if (k != gone)
                    stepWithOrders(trio.peer[k], [] { return TURN_LENGTH; }, {1, 2, 3},
                                   k < 2 ? &orderable[k] : nullptr, draw);
    }
};

// A peer that falls silent leaves as one whose connection closes: a member through the host's announcement, after
// which the host and the other member play on and agree turn by turn; the host by each member giving it up and
// playing on alone.
TEST_F(HostAndTwoMembers, APeerFallenSilentLeavesAsIfItsConnectionClosed) {
    const struct {
        const char* name;
        int gone;  // index in trio
        bool closes;
        std::vector<int> left[3];  // who each peer that stays sees leave
        size_t silentLines;
    } cases[] = {
        {"member 3 falls silent", 2, false, {{3}, {3}, {}}, 1},
        {"member 3 closes", 2, true, {{3}, {3}, {}}, 0},
        {"member 2 falls silent", 1, false, {{2}, {}, {2}}, 1},
        {"host falls silent", 0, false, {{}, {1, 3}, {1, 2}}, 2},
        {"host closes", 0, true, {{}, {1, 3}, {1, 2}}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        buildWorld();
        std::mt19937 draw(23);
        const Orderable orderable[] = {orderableOf(1), orderableOf(2)};
        Trio trio;
        testing::internal::CaptureStderr();
        play(trio, 50, -1, orderable, draw);
        if (c.closes) trio.peer[c.gone].link.closeTcp();
        int goneAt[3];
        for (int k = 0; k < 3; ++k) goneAt[k] = trio.peer[k].manager.receiveTurn;
        play(trio, 900, c.gone, orderable, draw);
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(countOf(errors, "sent no whole turn for"), c.silentLines) << errors;
        std::vector<int> stayed;
        for (int k = 0; k < 3; ++k) {
            if (k == c.gone) continue;
            stayed.push_back(k);
            EXPECT_EQ(trio.peer[k].runner.left, c.left[k]) << "player " << trio.peer[k].id;
            EXPECT_GE(trio.peer[k].manager.receiveTurn, goneAt[k] + 100) << "player " << trio.peer[k].id;
        }
        if (c.gone != 0) {
            expectSameTurnsAndWorld(trio.peer[stayed[0]].runner.turns, trio.peer[stayed[1]].runner.turns, 100, 5, 50);
        }
    }
}

// The turn a peer had sent when the last other peer left still applies once it plays alone, before any later order.
TEST_F(TwoPeerMatch, OrdersSentBeforeTheLastPeerLeftApplyAloneInTheOrderGiven) {
    buildWorld();
    const Orderable can = orderableOf(1);
    ASSERT_GE(can.own.size(), 3u);
    const auto moveOf = [&](int unit) {
        return Command{CommandType::Move, 1, MoveCommand{{unit}, can.base.x + 12, can.base.y + 12, false}};
    };
    lockstep = LockstepManager{};
    ASSERT_TRUE(net.connections.empty());
    lockstep.receiveTurn = 40;  // the exchange runs ahead of the tick
    lockstep.turns[1][40] = Turn{40, 1, {moveOf(can.own[0]), Command{CommandType::Ping, 1, PingCommand{}}}};
    lockstep.turns[1][41] = Turn{41, 1, {moveOf(can.own[1])}};
    lockstep.collectCommand(moveOf(can.own[2]));
    const auto ordered = [](int id) { return !getUnitById(id)->waypoints.empty(); };
    const bool after[3][3] = {{true, false, false}, {true, true, false}, {true, true, true}};
    for (const auto& expected : after) {
        dt = TURN_LENGTH;
        runLocalTurnStep();
        for (size_t i = 0; i < 3; ++i) EXPECT_EQ(ordered(can.own[i]), expected[i]) << "unit " << i;
    }
    EXPECT_TRUE(lockstep.pendingCommands.empty());
    lockstep = LockstepManager{};
}

TEST(LockstepTurns, PacketsOfOneTurnMergeInArrivalOrder) {
    LockstepManager manager;
    NetworkManager host, client;
    joinInMemory(host, client);
    RecordingRunner runner;
    const Command first{CommandType::Attack, 2, AttackCommand{1, 2}};
    const Command second{CommandType::StopConstruction, 2, StopConstructionCommand{3}};
    client.sendPacket(writeTurnPacket(Turn{0, 2, {first}}));
    client.sendPacket(writeTurnPacket(Turn{0, 2, {}}));
    client.sendPacket(writeTurnPacket(Turn{0, 2, {second}}));
    manager.step(TURN_LENGTH, 0, 1, {1, 2}, host, runner);
    ASSERT_EQ(runner.turns[0].commands.size(), 2u) << "an empty packet never erases the orders before it";
    EXPECT_EQ(runner.turns[0].commands[0].type, CommandType::Attack);
    EXPECT_EQ(runner.turns[0].commands[1].type, CommandType::StopConstruction);
}

}  // namespace

namespace {

// Each side sends one turn per frame of 16 ms; the answerer steps after the asker in every frame.
TEST(LockstepTurns, PingIsAnsweredAsItArrivesAndLatencyIsTheRoundTrip) {
    LockstepManager asker, answerer;
    asker.pingInterval = 0.032f;
    answerer.pingInterval = 1000.0f;
    NetworkManager askerLink, answererLink;
    joinInMemory(askerLink, answererLink);
    RecordingRunner askerRunner, answererRunner;
    latencyMs = -1;
    for (int frame = 0; frame < 6; ++frame) {
        asker.step(TURN_LENGTH, frame * 16, 1, {1, 2}, askerLink, askerRunner);
        answerer.step(TURN_LENGTH, frame * 16, 2, {1, 2}, answererLink, answererRunner);
    }
    EXPECT_EQ(latencyMs, 16) << "sent in frame 1, answered in that frame, heard in frame 2";
    for (const RecordingRunner* runner : {&askerRunner, &answererRunner})
        for (const AppliedTurn& turn : runner->turns)
            for (const Command& cmd : turn.commands) EXPECT_NE(cmd.type, CommandType::Ping) << "a ping is not an order";
}

}  // namespace

namespace {

const Command ownOrder{CommandType::StopConstruction, 2, StopConstructionCommand{3}};
const Command hostsOrder{CommandType::StopConstruction, 1, StopConstructionCommand{3}};
constexpr uint8_t TURN = static_cast<uint8_t>(PacketType::TurnCommands);
constexpr uint8_t LEFT = static_cast<uint8_t>(PacketType::PlayerLeft);

// Every packet here breaks a rule: one line, the client dropped, its leave announced, nothing of it applied.
TEST(HostExchange, ClientSpeakingForOthersOrMalformedIsDroppedWithOneLine) {
    const struct {
        NetPacket packet;
        const char* line;
    } cases[] = {
        {writeTurnPacket(Turn{0, 3, {}}), "player 2 sent a turn of player 3"},
        {writeTurnPacket(Turn{0, 2, {ownOrder, hostsOrder}}), "player 2 sent an order of player 1"},
        {intsPacket(LEFT, {1}), "only the host announces a leave"},
        {intsPacket(LEFT, {2}), "only the host announces a leave"},
        {intsPacket(LEFT, {}), "only the host announces a leave"},
        {writeTurnPacket(Turn{TURN_WINDOW, 2, {}}), "turn 312 lies more than 312 turns ahead of turn 0"},
        {intsPacket(TURN, {0, 2}), "a turn packet cut short"},
        {intsPacket(TURN, {0, 2, -1}), "a turn packet cut short"},
        {intsPacket(99, {2}), "unknown message type 99"},
        {intsPacket(10, {2}), "unknown message type 10"},
    };
    for (const auto& c : cases) {
        HostWithClient match;
        match.client.sendPacket(c.packet);
        match.client.sendPacket(writeTurnPacket(Turn{0, 2, {ownOrder}}));
        match.client.sendPacket(intsPacket(static_cast<uint8_t>(PacketType::ChangeRace), {2}));
        const std::string errors = match.hostStep();
        EXPECT_NE(errors.find(c.line), std::string::npos) << c.line << ": " << errors;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_TRUE(match.host.connections.empty()) << c.line;
        EXPECT_EQ(match.runner.left, std::vector<int>{2}) << c.line;
        match.manager.step(TURN_LENGTH, 0, 1, {1, 2}, match.host, match.runner);
        for (const AppliedTurn& turn : match.runner.turns) EXPECT_TRUE(turn.commands.empty()) << c.line;
    }
}

// A lobby message still on its way when the match started means nothing to the match.
TEST(HostExchange, OwnTurnsUpToTheWindowAndLateLobbyMessagesAreKeptQuietly) {
    HostWithClient match;
    match.client.sendPacket(intsPacket(static_cast<uint8_t>(PacketType::ChangeRace), {2}));
    match.client.sendPacket(writeTurnPacket(Turn{TURN_WINDOW - 1, 2, {ownOrder}}));
    match.client.sendPacket(writeTurnPacket(Turn{0, 2, {ownOrder}}));
    EXPECT_EQ(match.hostStep(), "");
    EXPECT_EQ(match.host.connections.size(), 1u);
    match.manager.step(TURN_LENGTH, 0, 1, {1, 2}, match.host, match.runner);
    ASSERT_FALSE(match.runner.turns.empty());
    EXPECT_EQ(match.runner.turns[0].commands.size(), 1u);
}

// A peer that is not the host keeps its memory: a turn far ahead is dropped with a line, the link kept.
TEST(HostExchange, MemberDropsTurnsBeyondTwiceTheWindow) {
    const struct {
        int tick;
        bool kept;
    } cases[] = {{2 * TURN_WINDOW - 1, true}, {2 * TURN_WINDOW, false}};
    for (const auto& c : cases) {
        LockstepManager member;
        NetworkManager link, hostSide;
        joinInMemory(link, hostSide);
        RecordingRunner runner;
        hostSide.sendPacket(writeTurnPacket(Turn{c.tick, 1, {hostsOrder}}));
        testing::internal::CaptureStderr();
        member.step(0.0f, 0, 2, {1, 2}, link, runner);
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(errors.empty(), c.kept) << c.tick << ": " << errors;
        EXPECT_EQ(member.turns[1].count(c.tick), c.kept ? 1u : 0u);
        EXPECT_EQ(link.connections.size(), 1u);
    }
}

// However long the frames, a peer sends the next turn number only in the frame that applied the one before.
TEST(LockstepTurns, NewTurnGoesOutOnlyOnceThePreviousWasApplied) {
    LockstepManager manager;
    NetworkManager link, other;
    joinInMemory(link, other);
    RecordingRunner runner;
    for (int frame = 0; frame < 10; ++frame) manager.step(0.05f, 0, 1, {1, 2}, link, runner);
    EXPECT_EQ(manager.sendTurn, 1);
    EXPECT_LE(manager.accumulator, 2.0f * manager.tickSeconds) << "waiting time does not pile up into a burst";
    other.sendPacket(writeTurnPacket(Turn{0, 2, {}}));
    manager.step(0.0f, 0, 1, {1, 2}, link, runner);
    EXPECT_EQ(manager.receiveTurn, 1);
    EXPECT_EQ(manager.sendTurn, 2) << "the next turn leaves in the frame that applied the last";
    manager.step(0.05f, 0, 1, {1, 2}, link, runner);
    EXPECT_EQ(manager.sendTurn, 2);
}

}  // namespace

namespace {

// A client sends each turn number's orders once: orders sent again, or sent after the host applied the turn, drop
// the client with one line, and the other clients hear only the first packet. A repeat without orders only tells
// that the client waits: the host takes it and passes it on to nobody.
TEST(HostExchange, ClientRepeatingATurnNumberIsDroppedAndNotPassedOn) {
    const struct {
        std::vector<int> ticks;  // the client's turn numbers, with the host applying turn 0 after the first
        bool lastWaits;          // the last packet carries no orders
        const char* line;        // empty: every packet is taken
    } cases[] = {
        {{0, 1}, false, ""},
        {{0, 0}, false, "player 2 sent turn 0 after it was applied"},
        {{1, 1}, false, "player 2 sent turn 1 twice"},
        {{2, 1, 2}, false, "player 2 sent turn 2 twice"},
        {{0, 0}, true, ""},
        {{1, 1}, true, ""},
    };
    for (const auto& c : cases) {
        HostWithClient match;
        NetworkManager third;
        match.host.bindConnection(joinInMemory(match.host, third), 3);
        for (size_t i = 0; i < c.ticks.size(); ++i) {
            const bool waits = c.lastWaits && i + 1 == c.ticks.size();
            const std::vector<Command> orders = waits ? std::vector<Command>{} : std::vector<Command>{ownOrder};
            match.client.sendPacket(writeTurnPacket(Turn{c.ticks[i], 2, orders}));
            testing::internal::CaptureStderr();
            match.manager.step(i == 0 ? TURN_LENGTH : 0.0f, 0, 1, {1, 2}, match.host, match.runner);
            const std::string errors = testing::internal::GetCapturedStderr();
            const bool last = i + 1 == c.ticks.size();
            EXPECT_EQ(errors.empty(), !last || !*c.line) << errors;
            if (last && *c.line) {
                EXPECT_NE(errors.find(c.line), std::string::npos) << errors;
            }
        }
        EXPECT_EQ(match.host.connections.size(), *c.line ? 1u : 2u) << c.line;
        size_t passedOn = 0;
        for (NetPacket& p : third.receivePackets()) {
            Turn turn;
            passedOn += p.type == TURN && readTurnPacket(p, turn) && turn.player == 2;
        }
        EXPECT_EQ(passedOn, c.ticks.size() - (*c.line || c.lastWaits ? 1 : 0)) << c.line << c.lastWaits;
    }
}

// A client whose player no peer awaits (the computer's id, the world's own) would have its turns applied wherever
// they came in time: its first turn drops it.
TEST(HostExchange, TurnOfAPlayerNobodyAwaitsDropsItsClient) {
    const struct {
        std::vector<int> gated;
        bool kept;
    } cases[] = {{{1, 2}, true}, {{1}, false}, {{1, 3}, false}};
    for (const auto& c : cases) {
        HostWithClient match;
        match.client.sendPacket(writeTurnPacket(Turn{0, 2, {ownOrder}}));
        testing::internal::CaptureStderr();
        match.manager.step(0.0f, 0, 1, c.gated, match.host, match.runner);
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(errors.find("player 2, who is not awaited in the match, sent a turn") != std::string::npos, !c.kept)
            << errors;
        EXPECT_EQ(match.host.connections.size(), c.kept ? 1u : 0u);
        EXPECT_EQ(match.manager.storedTurn(2, 0) != nullptr, c.kept);
    }
}

// However many packets carry one turn, it holds at most what one packet may: the packet past that is dropped.
TEST(LockstepTurns, TurnHoldsAtMostOnePacketsOrders) {
    const struct {
        size_t first, second;
        bool kept;
    } cases[] = {{MAX_TURN_COMMANDS - 1, 1, true}, {MAX_TURN_COMMANDS, 1, false}, {1, MAX_TURN_COMMANDS, false}};
    for (const auto& c : cases) {
        LockstepManager member;
        NetworkManager link, hostSide;
        joinInMemory(link, hostSide);
        RecordingRunner runner;
        hostSide.sendPacket(writeTurnPacket(Turn{0, 1, std::vector<Command>(c.first, hostsOrder)}));
        hostSide.sendPacket(writeTurnPacket(Turn{0, 1, std::vector<Command>(c.second, hostsOrder)}));
        testing::internal::CaptureStderr();
        member.step(0.0f, 0, 2, {1, 2}, link, runner);
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(errors.find("turn 0 of player 1 would hold more than 4096 orders") != std::string::npos, !c.kept)
            << errors;
        EXPECT_EQ(member.turns[1][0].commands.size(), c.kept ? c.first + c.second : c.first);
    }
}

}  // namespace

namespace {

// What a hostile peer's own orders may name: its worker, its base, the other player's worker and the crystal.
struct Targets {
    int worker, base, theirs, crystal;
};

using HostileOrder = CommandPayload (*)(const Targets&);
constexpr int P = 2;
constexpr int HUGE_VALUE = 2147483647;
constexpr int LOW = -2147483647 - 1;

const struct {
    const char* name;
    CommandType type;
    HostileOrder order;
} hostileOrders[] = {
    {"move far off", CommandType::Move,
     [](const Targets& t) -> CommandPayload { return MoveCommand{{t.worker}, LOW, HUGE_VALUE, false}; }},
    {"move just off", CommandType::Move,
     [](const Targets& t) -> CommandPayload { return MoveCommand{{t.worker}, -1, 0, false}; }},
    {"move one unit many times", CommandType::Move,
     [](const Targets& t) -> CommandPayload { return MoveCommand{std::vector<int>(10000, t.worker), 40, 40, false}; }},
    {"mine off the map", CommandType::Mine,
     [](const Targets& t) -> CommandPayload { return MineCommand{t.worker, LOW, HUGE_VALUE, t.crystal}; }},
    {"mine a unit", CommandType::Mine,
     [](const Targets& t) -> CommandPayload { return MineCommand{t.worker, 0, 0, t.theirs}; }},
    {"place off the map", CommandType::PlaceBuildingDown,
     [](const Targets& t) -> CommandPayload { return PlaceBuildingDownCommand{"Farm", HUGE_VALUE, LOW, t.worker}; }},
    {"place just off", CommandType::PlaceBuildingDown,
     [](const Targets& t) -> CommandPayload { return PlaceBuildingDownCommand{"Farm", -1, -1, t.worker}; }},
    {"place unknown", CommandType::PlaceBuildingDown,
     [](const Targets& t) -> CommandPayload { return PlaceBuildingDownCommand{"", 5, 5, t.worker}; }},
    {"train unknown", CommandType::TrainUnit,
     [](const Targets& t) -> CommandPayload { return TrainUnitCommand{t.base, "Nothing"}; }},
    {"train other race", CommandType::TrainUnit,
     [](const Targets& t) -> CommandPayload { return TrainUnitCommand{t.base, "Marine"}; }},
    {"attack itself", CommandType::Attack,
     [](const Targets& t) -> CommandPayload { return AttackCommand{t.worker, t.worker}; }},
    {"attack own base", CommandType::Attack,
     [](const Targets& t) -> CommandPayload { return AttackCommand{t.worker, t.base}; }},
    {"attack nothing", CommandType::Attack,
     [](const Targets& t) -> CommandPayload { return AttackCommand{t.worker, LOW}; }},
    {"rally off the map", CommandType::SetRallyPoint,
     [](const Targets& t) -> CommandPayload { return SetRallyPointCommand{t.base, LOW, HUGE_VALUE}; }},
    {"board itself", CommandType::CarrierPickUp,
     [](const Targets& t) -> CommandPayload { return CarrierPickUpCommand{t.worker, t.worker}; }},
    {"drop off itself", CommandType::CarrierDropOff,
     [](const Targets& t) -> CommandPayload { return CarrierDropOffCommand{t.worker, t.worker}; }},
    {"cast unknown", CommandType::CastSpell,
     [](const Targets& t) -> CommandPayload { return CastSpellCommand{t.worker, t.theirs, 10, 10, "Nothing", false}; }},
    {"cast off the map", CommandType::CastSpell,
     [](const Targets& t) -> CommandPayload {
         return CastSpellCommand{t.worker, LOW, HUGE_VALUE, HUGE_VALUE, "Slow", false};
     }},
    {"cancel slot below", CommandType::StopProduction,
     [](const Targets& t) -> CommandPayload { return StopProductionCommand{t.base, -1}; }},
    {"cancel slot above", CommandType::StopProduction,
     [](const Targets& t) -> CommandPayload { return StopProductionCommand{t.base, HUGE_VALUE}; }},
    {"research unknown", CommandType::ResearchUpgrade,
     [](const Targets& t) -> CommandPayload { return ResearchUpgradeCommand{t.base, ""}; }},
    {"attack-move off", CommandType::AttackMove,
     [](const Targets& t) -> CommandPayload { return AttackMove{t.worker, LOW, -1, true}; }},
    {"pick up nothing", CommandType::PickUp,
     [](const Targets& t) -> CommandPayload { return PickUpCommand{t.worker, LOW}; }},
    {"hold twice", CommandType::Hold,
     [](const Targets& t) -> CommandPayload { return HoldCommand{{t.worker, t.worker, LOW}}; }},
    {"construct the base", CommandType::Construct,
     [](const Targets& t) -> CommandPayload { return ConstructCommand{t.worker, t.base}; }},
    {"spawn unknown", CommandType::Spawn,
     [](const Targets&) -> CommandPayload { return SpawnCommand{"Nothing"}; }},
};

size_t unitsOnMap(int player) {
    return static_cast<size_t>(
        std::count_if(units.begin(), units.end(), [&](const Unit& u) { return u.playerId == player && u.onMap; }));
}

// Orders of a peer's own units and buildings with values no input makes, run through the wire and 300 ticks.
TEST_F(TwoPeerMatch, OwnOrdersWithHostileValuesKeepEveryUnitOnTheMap) {
    for (const auto& row : hostileOrders) {
        buildWorld();
        const Player* me = getPlayerById(P);
        int base = -1;
        for (const Building& b : buildings)
            if (b.playerId == P) base = b.id;
        const ResourceFind crystal = findClosestResource(me->baseTile, "Crystal", grid);
        const std::vector<int> mine = headless::unitsOf(P), theirs = headless::unitsOf(1);
        const Targets t{mine.front(), base, theirs.front(), crystal.object ? crystal.object->id : -1};
        NetPacket packet = writeTurnPacket(Turn{0, P, {Command{row.type, P, row.order(t)}}});
        Turn decoded;
        ASSERT_TRUE(readTurnPacket(packet, decoded));
        testing::internal::CaptureStderr();
        for (const Command& cmd : decoded.commands) applyCommand(cmd, grid, 0, false);
        for (int tick = 0; tick < 300; ++tick) advanceOneTurn(grid);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(unitsOnMap(P), mine.size()) << row.name;
    }
}

}  // namespace

namespace {

std::vector<Command> chatFlood(size_t lines) {
    std::vector<Command> chats;
    for (size_t i = 0; i < lines; ++i)
        chats.push_back({CommandType::ChatMessage, P, ChatMessageCommand{"line " + std::to_string(i)}});
    return chats;
}

// A turn full of chat keeps the feed, and so every frame that draws it, to a bound: the newest lines stay.
TEST_F(TwoPeerMatch, ChatFloodKeepsTheNewestLinesOfTheFeed) {
    const struct {
        size_t lines;
        const char* oldest;
    } cases[] = {{MAX_ACTIVITIES, "[Red]: line 0"},
                 {MAX_ACTIVITIES + 1, "[Red]: line 1"},
                 {MAX_TURN_COMMANDS, "[Red]: line 4064"}};
    for (const auto& c : cases) {
        buildWorld();
        activityQueue.clear();
        NetPacket packet = writeTurnPacket(Turn{0, P, chatFlood(c.lines)});
        Turn decoded;
        ASSERT_TRUE(readTurnPacket(packet, decoded));
        for (const Command& cmd : decoded.commands) applyCommand(cmd, grid, 0, false);
        ASSERT_EQ(activityQueue.size(), MAX_ACTIVITIES) << c.lines;
        EXPECT_EQ(activityQueue.front().text, c.oldest);
        EXPECT_EQ(activityQueue.back().text, "[Red]: line " + std::to_string(c.lines - 1));
    }
}

// A client that refused the start leaves with its own id and why: the host closes it quietly and its feed names the
// player and the reason. A leave without a known reason, or naming another player, is refused as any client's
// leave, and the connection closing is then the leave.
TEST_F(TwoPeerMatch, AClientsOwnLeaveWithItsReasonIsTakenQuietlyAndTheHostsFeedSaysWhy) {
    const std::string refused = "only the host announces a leave";
    const struct {
        std::vector<int32_t> ids;  // the leave's player id
        std::vector<uint8_t> reason;
        std::string line;  // part of the host's error line; none when quiet
        std::string feed;
    } cases[] = {
        {{2}, {1}, "", "Red left the game: their copy of the map is not the host's"},
        {{2}, {2}, "", "Red left the game: their settings are not the host's"},
        {{2}, {3}, "", "Red left the game: their mod script is not the host's"},
        {{2}, {4}, "", "Red left the game: their game content is not the host's"},
        {{2}, {}, refused, "Red left the game"},
        {{2}, {5}, refused, "Red left the game"},
        {{1}, {2}, refused, "Red left the game"},
    };
    const int savedId = Player::myStaticId;
    Player::myStaticId = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.feed + " " + c.line);
        buildWorld();
        lockstep = LockstepManager{};
        activityQueue.clear();
        NetworkManager guest;
        net.isHost = true;
        net.bindConnection(joinInMemory(net, guest), 2);
        NetPacket leave = intsPacket(static_cast<uint8_t>(PacketType::PlayerLeft), c.ids);
        for (uint8_t byte : c.reason) leave.writeByte(byte);
        guest.sendPacket(leave);
        testing::internal::CaptureStderr();
        handle_networking(0.0f, 0);
        const std::string errors = testing::internal::GetCapturedStderr();
        if (c.line.empty()) {
            EXPECT_EQ(errors, "");
        } else {
            EXPECT_EQ(countOf(errors, "\n") + countOf(errors, c.line), 2u) << errors;
        }
        EXPECT_TRUE(net.connections.empty());
        ASSERT_FALSE(activityQueue.empty());
        EXPECT_EQ(activityQueue.back().text, c.feed);
        net.closeTcp();
        net.isHost = false;
    }
    lockstep = LockstepManager{};
    Player::myStaticId = savedId;
}

}  // namespace

namespace {

std::vector<Command> attacks(size_t count) {
    return std::vector<Command>(count, {CommandType::Attack, 2, AttackCommand{5, 6}});
}

Command moveOf(size_t units) { return {CommandType::Move, 2, MoveCommand{std::vector<int>(units, 5), 3, 3, false}}; }

Command holdOf(size_t units) { return {CommandType::Hold, 2, HoldCommand{std::vector<int>(units, 5)}}; }

std::vector<Command> operator+(std::vector<Command> a, const std::vector<Command>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A turn holds what one turn may set going: orders that may each start a search, and units listed by moves, holds
// and stops. The first order always fits, so any order that can be sent gets through.
TEST(TurnWork, OrdersFitUpToTheWorkOfOneTurn) {
    const struct {
        const char* name;
        std::vector<Command> cmds;
        size_t kept;
    } cases[] = {
        {"last unit order", attacks(MAX_TURN_UNIT_ORDERS), MAX_TURN_UNIT_ORDERS},
        {"first unit order past", attacks(MAX_TURN_UNIT_ORDERS + 1), MAX_TURN_UNIT_ORDERS},
        {"a move counts once", attacks(MAX_TURN_UNIT_ORDERS - 1) + std::vector<Command>{moveOf(3)},
         MAX_TURN_UNIT_ORDERS},
        {"last listed unit", std::vector<Command>{moveOf(MAX_TURN_LISTED_UNITS - 1), holdOf(1)}, 2},
        {"first listed unit past", std::vector<Command>{moveOf(MAX_TURN_LISTED_UNITS), holdOf(1)}, 1},
        {"a first order past the bound", std::vector<Command>{moveOf(MAX_WIRE_UNIT_IDS), moveOf(1)}, 1},
        {"holds start no search",
         std::vector<Command>(MAX_TURN_UNIT_ORDERS + 1, holdOf(1)), MAX_TURN_UNIT_ORDERS + 1},
        {"talk sets nothing going",
         std::vector<Command>(MAX_TURN_COMMANDS, {CommandType::ChatMessage, 2, ChatMessageCommand{"hi"}}),
         MAX_TURN_COMMANDS},
        {"nothing", {}, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ordersWithinTurnWork(c.cmds), c.kept) << c.name;
}

// A peer that received more than one turn's work applies the part that fits, alike on every peer, with one line.
TEST(TurnWork, ReceivedTurnBeyondTheWorkIsCutWithOneLine) {
    const struct {
        size_t sent;
        size_t applied;
    } cases[] = {{MAX_TURN_UNIT_ORDERS, MAX_TURN_UNIT_ORDERS}, {MAX_TURN_UNIT_ORDERS + 7, MAX_TURN_UNIT_ORDERS}};
    for (const auto& c : cases) {
        LockstepManager member;
        NetworkManager link, other;
        joinInMemory(link, other);
        RecordingRunner runner;
        other.sendPacket(writeTurnPacket(Turn{0, 2, attacks(c.sent)}));
        testing::internal::CaptureStderr();
        member.step(TURN_LENGTH, 0, 1, {1, 2}, link, runner);
        const std::string errors = testing::internal::GetCapturedStderr();
        const bool cut = c.sent != c.applied;
        EXPECT_EQ(errors.find("turn 0 of player 2 sets more units going than one turn may: 7 orders dropped") !=
                      std::string::npos,
                  cut)
            << errors;
        EXPECT_EQ(runner.turns[0].commands.size(), c.applied);
    }
}

// A peer's own orders beyond one turn's work wait for its next turns, in order; none is lost.
TEST(TurnWork, SenderSpreadsItsOrdersOverTurnsWithoutLosingOne) {
    LockstepManager manager;
    NetworkManager link, other;
    joinInMemory(link, other);
    RecordingRunner runner;
    for (int i = 0; i < MAX_TURN_UNIT_ORDERS + 88; ++i)
        manager.collectCommand({CommandType::Attack, 1, AttackCommand{i, 6}});
    std::vector<size_t> sent;
    std::vector<int> order;
    for (int turn = 0; turn < 3; ++turn) {
        manager.step(TURN_LENGTH, 0, 1, {1, 2}, link, runner);
        for (NetPacket& p : other.receivePackets()) {
            Turn t;
            if (p.type != TURN || !readTurnPacket(p, t)) continue;
            sent.push_back(t.commands.size());
            for (const Command& cmd : t.commands) order.push_back(std::get<AttackCommand>(cmd.payload).unitId);
        }
        other.sendPacket(writeTurnPacket(Turn{turn, 2, {}}));
    }
    EXPECT_EQ(sent, (std::vector<size_t>{MAX_TURN_UNIT_ORDERS, 88, 0}));
    ASSERT_EQ(order.size(), static_cast<size_t>(MAX_TURN_UNIT_ORDERS + 88));
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
}

}  // namespace
