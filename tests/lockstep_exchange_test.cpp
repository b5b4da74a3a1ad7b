// Two peers' lockstep managers joined by an in-memory link: the same commands in the same order on both, the
// same world tick by tick, and a dropped peer that leaves the match.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "../tools/headless_session.h"
#include "catalogue_support.h"
#include "configuration_snapshot.h"
#include "game_commands_wire.h"
#include "network_manager.h"

namespace {

// What one peer applied in each exchange turn and whether the world ticked after it.
struct AppliedTurn {
    std::vector<Command> commands;
    bool ticked = false;
};

// Applies nothing to the world: the orders are kept to be played against a world afterwards, one peer at a time.
class RecordingRunner : public TurnRunner {
public:
    std::vector<AppliedTurn> turns{1};
    std::vector<int> left;
    bool paused = false;
    bool isPaused() const override { return paused; }
    void apply(const Command& cmd) override {
        if (cmd.type == CommandType::PauseGame) paused = true;
        if (cmd.type == CommandType::ResumeGame) paused = false;
        turns.back().commands.push_back(cmd);
    }
    void tick() override { turns.back().ticked = true; }
    void playerLeft(int playerId) override { left.push_back(playerId); }
    void endTurn() { turns.emplace_back(); }
};

struct Peer {
    int id;
    LockstepManager manager;
    NetworkManager link;
    RecordingRunner runner;
};

struct TwoPeerMatch : ::testing::Test {
    void SetUp() override {
        saved = everyConfigurationValue();
        reset_game_state();
        basePath = std::string(CORVALE_SOURCE_DIR) + "/";
        ::testing::internal::CaptureStderr();
        loadConfig(std::string(CORVALE_SOURCE_DIR) + "/src/config.txt");
        deriveConfigValues();
        ASSERT_TRUE(headless::loadContent(std::string(CORVALE_SOURCE_DIR) + "/core"));
        ::testing::internal::GetCapturedStderr();
        auto [a, b] = makeMemoryLinkPair();
        peers[0].link.addConnection(std::move(a));
        peers[1].link.addConnection(std::move(b));
    }
    void TearDown() override {
        reset_game_state();
        mapData = MapData{};
        grid.tiles.clear();
        catalogue_test::resetCatalogues();
        everyConfigurationValue() = saved;
    }

    void buildWorld() {
        reset_game_state();
        headless::Script unused;
        ASSERT_TRUE(headless::startEconomy(unused));
    }

    // Shift moves, mining, pauses and resumes, naming only the peer's own workers.
    std::vector<Command> randomOrders(int player, std::mt19937& draw) {
        std::vector<Command> cmds;
        const std::vector<int> own = headless::unitsOf(player);
        const Player* p = getPlayerById(player);
        const ResourceFind crystal = findClosestResource(p->baseTile, "Crystal", grid);
        const int kind = static_cast<int>(draw() % 12);
        const int unit = own[draw() % own.size()];
        const V2i at{p->baseTile.x * SUBDIVISIONS + static_cast<int>(draw() % 16),
                     p->baseTile.y * SUBDIVISIONS + static_cast<int>(draw() % 16)};
        if (kind < 4) cmds.push_back({CommandType::Move, player, MoveCommand{{unit}, at.x, at.y, kind % 2 == 0}});
        else if (kind < 6 && crystal.object)
            cmds.push_back({CommandType::Mine, player,
                            MineCommand{unit, crystal.tile.x, crystal.tile.y, crystal.object->id}});
        else if (kind == 6) cmds.push_back({CommandType::PauseGame, player, PauseGameCommand{1}});
        else if (kind < 9) cmds.push_back({CommandType::ResumeGame, player, ResumeGameCommand{2}});
        return cmds;
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

    Peer peers[2]{{1, {}, {}, {}}, {2, {}, {}, {}}};
    EveryConfigurationValue saved;
};

TEST_F(TwoPeerMatch, RandomFramesApplyTheSameCommandsAndReachTheSameWorld) {
    buildWorld();
    std::mt19937 draw(19);
    std::uniform_real_distribution<float> frameTime(0.0f, 0.05f);
    const std::vector<int> gated = {1, 2};
    for (int frame = 0; frame < 500; ++frame)
        for (Peer& peer : peers) {
            if (draw() % 8 == 0)
                for (const Command& cmd : randomOrders(peer.id, draw)) peer.manager.collectCommand(cmd);
            const int before = peer.manager.receiveTurn;
            peer.manager.step(frameTime(draw), 0, peer.id, gated, peer.link, peer.runner);
            if (peer.manager.receiveTurn != before) peer.runner.endTurn();
        }
    const auto& a = peers[0].runner.turns;
    const auto& b = peers[1].runner.turns;
    const size_t common = std::min(a.size(), b.size()) - 1;
    ASSERT_GT(common, 200u);
    size_t commands = 0;
    for (size_t t = 0; t < common; ++t) {
        ASSERT_EQ(a[t].commands.size(), b[t].commands.size()) << "turn " << t;
        ASSERT_EQ(a[t].ticked, b[t].ticked);
        for (size_t i = 0; i < a[t].commands.size(); ++i)
            ASSERT_EQ(compactJson(commandToJson(0, a[t].commands[i])), compactJson(commandToJson(0, b[t].commands[i])));
        commands += a[t].commands.size();
    }
    EXPECT_GT(commands, 50u);
    const std::vector<AppliedTurn> sharedA(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(common));
    const std::vector<AppliedTurn> sharedB(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(common));
    const std::vector<uint64_t> sumsA = replayChecksums(sharedA);
    EXPECT_EQ(sumsA, replayChecksums(sharedB));
    EXPECT_GT(sumsA.size(), 100u);
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

TEST(LockstepTurns, PacketsOfOneTurnMergeInArrivalOrder) {
    LockstepManager manager;
    NetworkManager host, client;
    auto [a, b] = makeMemoryLinkPair();
    host.addConnection(std::move(a));
    client.addConnection(std::move(b));
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
