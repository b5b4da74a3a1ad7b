// The computer player's thinks on the shipped fight map: mining, barracks, attack, and when it thinks at all.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ai.h"
#include "economy_world.h"
#include "lockstep.h"

namespace {

// The local human on the base at (6, 6) and the computer "vohmathal" on the base at (55, 55), each with its
// three workers; the computer's orders are caught instead of sent.
struct ComputerOnFightMap : FightMapEconomy {
    void SetUp() override {
        FightMapEconomy::SetUp();
        addPlayer(1, "human");
        players.push_back(std::make_unique<Player>(2, "AI", "vohmathal", true));
        computer = players.back().get();
        Player::myStaticId = 1;
        Player::aiId = 2;
        Player::environmentId = 3;
        createObjects(mapData.pendingObjects, grid);
        initializeCivilianLookup();
        resetMiningOccupancy();
        AI = true;
        computerCommandSink = [this](const Command& cmd) { orders.push_back(cmd); };
    }
    void TearDown() override {
        computerCommandSink = queueForNextTurn;
        AI = false;
        FightMapEconomy::TearDown();
    }

    // The computer with the strategy thinks on turn 31, as the turn loop lets it.
    template <class Strategy>
    void thinkAs() {
        if (!computer->ai) computer->ai = std::make_unique<Strategy>();
        lockstep.currentTurn = COMPUTER_THINK_TURNS;
        runComputerPlayers(grid);
    }

    std::vector<Command> ordersOf(CommandType type) const {
        std::vector<Command> found;
        for (const Command& c : orders)
            if (c.type == type) found.push_back(c);
        return found;
    }

    std::vector<int> computerWorkers() const { return computer->unitIds; }

    // A new unit of the computer standing on the tile, listed once with its owner as spawning lists it.
    static int addComputerUnit(const std::string& type, V2i tile) {
        Unit u = newUnitFromInfo(unitInfo.at(type), nextAttackableId++, 2);
        const SDL_FPoint at = subTileWaypoint({tile.x * SUBDIVISIONS, tile.y * SUBDIVISIONS});
        u.x = at.x;
        u.y = at.y;
        return addUnit(u).id;
    }

    Player* computer = nullptr;
    std::vector<Command> orders;
};

TEST_F(ComputerOnFightMap, TwoIdleWorkersAreSentOneToCrystalOneToAmberOilOnlyOnThe31stTurnAndOnlyWithAI) {
    getUnitById(computerWorkers().back())->mining = true;
    computer->ai = std::make_unique<TurtleAI>();
    for (int turn : {30, 32}) {
        lockstep.currentTurn = turn;
        runComputerPlayers(grid);
    }
    AI = false;
    thinkAs<TurtleAI>();
    EXPECT_TRUE(orders.empty());

    AI = true;
    thinkAs<TurtleAI>();
    const std::vector<Command> mines = ordersOf(CommandType::Mine);
    ASSERT_EQ(mines.size(), 2u);
    std::vector<std::string> kinds;
    for (const Command& c : mines) {
        const auto& mine = std::get<MineCommand>(c.payload);
        EXPECT_EQ(c.player, 2);
        kinds.push_back(getMapObjectById(mine.mapObjectId)->type);
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"Crystal", "AmberOil"}));
}

TEST_F(ComputerOnFightMap, FiveWorkersOrderOneBarracksSixTilesOrMoreFromTheFirstWorkerWhoIsThenHeldBack) {
    addComputerUnit("Peon", {52, 60});
    addComputerUnit("Peon", {53, 60});
    computer->supplyCap = 20;
    computer->recruits = 5;
    thinkAs<RushAI>();
    std::vector<Command> placed = ordersOf(CommandType::PlaceBuildingDown);
    ASSERT_EQ(placed.size(), 1u);
    const auto& order = std::get<PlaceBuildingDownCommand>(placed[0].payload);
    EXPECT_EQ(order.buildingType, "OrcBarracks");
    EXPECT_EQ(order.unitId, computerWorkers().front());
    const V2i from = getUnitById(order.unitId)->getTile();
    EXPECT_GE(std::abs(order.targetX - from.x) + std::abs(order.targetY - from.y), 6);

    getUnitById(order.unitId)->waypoints.push_back({0.0f, 0.0f});
    orders.clear();
    thinkAs<RushAI>();
    EXPECT_TRUE(ordersOf(CommandType::PlaceBuildingDown).empty()) << "its first worker is still on its way";
}

TEST_F(ComputerOnFightMap, ARushSoldierAttacksTheNearestLocalBuildingAndATurtleNeverAttacks) {
    const int soldier = addComputerUnit("Berserker", {40, 40});
    const int nearCamp = placeBuilding("HumanCamp", 1, 36, 36, 2, 2);
    thinkAs<TurtleAI>();
    EXPECT_TRUE(ordersOf(CommandType::Attack).empty());

    computer->ai.reset();
    thinkAs<RushAI>();
    const std::vector<Command> attacks = ordersOf(CommandType::Attack);
    ASSERT_EQ(attacks.size(), 1u) << "workers never join the rush";
    EXPECT_EQ(std::get<AttackCommand>(attacks[0].payload).unitId, soldier);
    EXPECT_EQ(std::get<AttackCommand>(attacks[0].payload).targetId, nearCamp);
    EXPECT_TRUE(static_cast<RushAI&>(*computer->ai).attacking);

    getUnitById(soldier)->targetId = nearCamp;
    orders.clear();
    thinkAs<RushAI>();
    EXPECT_TRUE(ordersOf(CommandType::Attack).empty()) << "a live target is kept";
}

TEST_F(ComputerOnFightMap, NoThinkInAReplayAResumedSaveOrAnEliminationMissionButInASurvivalOneWithoutTheFlag) {
    for (GameMode m : {GameMode::Replay, GameMode::ResumedSave}) {
        mode = m;
        thinkAs<TurtleAI>();
    }
    mode = GameMode::Extraction;
    AI = false;
    deploymentSelectedMapId = 0;
    for (ExtractionType type : {ExtractionType::ELIMINATION, ExtractionType::SURVIVAL}) {
        EXPECT_TRUE(orders.empty());
        extraction_options = {ExtractionNode{static_cast<int32_t>(type)}};
        thinkAs<TurtleAI>();
    }
    EXPECT_FALSE(orders.empty());
    extraction_options.clear();
    deploymentSelectedMapId = -1;
}

TEST_F(ComputerOnFightMap, TheStrategyComesFromTheSeedAndLeavesRandAsTheSessionSeededIt) {
    std::srand(SESSION_RAND_SEED);
    const int sessionFirst = std::rand();
    setUpComputerPlayer(2);
    EXPECT_NE(dynamic_cast<RushAI*>(computer->ai.get()), nullptr);
    EXPECT_EQ(std::rand(), sessionFirst);
    setUpComputerPlayer(1);
    EXPECT_NE(dynamic_cast<TurtleAI*>(computer->ai.get()), nullptr);
}

}  // namespace
