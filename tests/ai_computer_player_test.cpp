// The computer player's thinks on the shipped fight map: what it orders and when it thinks at all.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "ai.h"
#include "game.h"
#include "lockstep.h"
#include "economy_world.h"

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
        createObjects(mapData.pendingObjects, grid);
        AI = true;
        computerCommandSink = [this](const Command& cmd) { orders[cmd.type].push_back(cmd.payload); };
    }
    void TearDown() override {
        computerCommandSink = queueForNextTurn;
        AI = false;
        FightMapEconomy::TearDown();
    }

    // The computer, given the strategy unless it has one, thinks on turn 31 as the turn loop lets it.
    template <class Strategy>
    void thinkAs() {
        if (!computer->ai) computer->ai = std::make_unique<Strategy>();
        lockstep.currentTurn = COMPUTER_THINK_TURNS;
        runComputerPlayers(grid);
    }

    // A new unit of the computer standing on the tile, listed with its owner as spawning lists it.
    static int addComputerUnit(const std::string& type, V2i tile) {
        Unit u = newUnitFromInfo(unitInfo.at(type), nextAttackableId++, 2);
        const SDL_FPoint at = subTileWaypoint({tile.x * SUBDIVISIONS, tile.y * SUBDIVISIONS});
        u.x = at.x;
        u.y = at.y;
        return addUnit(u).id;
    }

    // A turn of a log that records the player's computer taken over with the strategy named.
    static Turn takeoverTurn(int playerId, const std::string& strategy) {
        return Turn{40, playerId, {{CommandType::ComputerTakeover, playerId, ComputerTakeoverCommand{strategy}}}};
    }

    // The caught placement order of the building type; null when none was given.
    const PlaceBuildingDownCommand* placementOf(const std::string& type) {
        for (const CommandPayload& payload : orders[CommandType::PlaceBuildingDown])
            if (const auto& placement = std::get<PlaceBuildingDownCommand>(payload); placement.buildingType == type)
                return &placement;
        return nullptr;
    }

    // Applies the computer's order as its turn would; whether the world changed.
    bool changesTheWorld(CommandType type, const CommandPayload& order) const {
        const uint64_t before = worldChecksum();
        applyCommand(Command{type, computer->id, order}, grid, 0, false);
        return worldChecksum() != before;
    }

    Player* computer = nullptr;
    std::map<CommandType, std::vector<CommandPayload>> orders;
};

TEST_F(ComputerOnFightMap, TwoIdleWorkersAreSentOneToCrystalOneToAmberOilOnlyOnThe31stTurnAndOnlyWithAI) {
    getUnitById(computer->unitIds.back())->mining = true;
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
    std::vector<std::string> kinds;
    for (const CommandPayload& order : orders[CommandType::Mine])
        kinds.push_back(getMapObjectById(std::get<MineCommand>(order).mapObjectId)->type);
    EXPECT_EQ(kinds, (std::vector<std::string>{"Crystal", "AmberOil"}));
}

TEST_F(ComputerOnFightMap, AWorkerOffTheMapIsNeitherSentToMineNorCountedAsAMiner) {
    Unit* inside = getUnitById(computer->unitIds.front());
    inside->onMap = false;
    thinkAs<TurtleAI>();
    std::vector<std::string> kinds;
    for (const CommandPayload& order : orders[CommandType::Mine]) {
        const auto& mine = std::get<MineCommand>(order);
        EXPECT_NE(mine.unitId, inside->id);
        kinds.push_back(getMapObjectById(mine.mapObjectId)->type);
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"Crystal", "AmberOil"}));
}

TEST_F(ComputerOnFightMap, FiveWorkersOrderOneBarracksSixTilesOrMoreFromTheFirstWorkerWhoIsThenHeldBack) {
    addComputerUnit("Peon", {52, 60});
    addComputerUnit("Peon", {53, 60});
    computer->supplyCap = 20;
    computer->recruits = 5;
    computer->resources = {0, 1000, 1000};
    thinkAs<RushAI>();
    ASSERT_EQ(orders[CommandType::PlaceBuildingDown].size(), 1u);
    const auto& order = std::get<PlaceBuildingDownCommand>(orders[CommandType::PlaceBuildingDown][0]);
    EXPECT_EQ(order.buildingType, "OrcBarracks");
    EXPECT_EQ(order.unitId, computer->unitIds.front());
    const V2i from = getUnitById(order.unitId)->getTile();
    EXPECT_GE(std::abs(order.targetX - from.x) + std::abs(order.targetY - from.y), 6);

    getUnitById(order.unitId)->waypoints.push_back({0.0f, 0.0f});
    orders.clear();
    thinkAs<RushAI>();
    EXPECT_TRUE(orders[CommandType::PlaceBuildingDown].empty()) << "its first worker is still on its way";
}

TEST_F(ComputerOnFightMap, ARushSoldierAttacksTheNearestLocalBuildingWhileATurtleNeverAttacks) {
    const int soldier = addComputerUnit("Berserker", {40, 40});
    const int nearCamp = placeBuilding("HumanCamp", 1, 36, 36, 2, 2);
    thinkAs<TurtleAI>();
    EXPECT_TRUE(orders[CommandType::Attack].empty());

    computer->ai.reset();
    thinkAs<RushAI>();
    ASSERT_EQ(orders[CommandType::Attack].size(), 1u) << "workers never join the rush";
    const auto& attack = std::get<AttackCommand>(orders[CommandType::Attack][0]);
    EXPECT_EQ(attack.unitId, soldier);
    EXPECT_EQ(attack.targetId, nearCamp);

    getUnitById(soldier)->targetId = nearCamp;
    orders.clear();
    thinkAs<RushAI>();
    EXPECT_TRUE(orders[CommandType::Attack].empty()) << "a live target is kept";
}

TEST_F(ComputerOnFightMap, AWaveSendsEveryCombatUnitOnItsThirtySecondThink) {
    addComputerUnit("Berserker", {40, 40});
    waveThinkTimer = 0.0f;
    computer->ai = std::make_unique<WaveAI>();
    for (int think = 1; think < 32; ++think) thinkAs<WaveAI>();
    EXPECT_TRUE(orders[CommandType::Attack].empty());
    thinkAs<WaveAI>();
    EXPECT_EQ(orders[CommandType::Attack].size(), 4u) << "the soldier and the three workers";
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

TEST_F(ComputerOnFightMap, AnOddDrawIsATurtleAnEvenOneARushEachAnnouncedOnTheStandardOutput) {
    struct Case {
        unsigned draw;
        bool rush;
        const char* line;
    };
    const Case cases[] = {{0u, true, "AI Archetype Initialized: RUSH MODE\n"},
                          {1u, false, "AI Archetype Initialized: TURTLE MODE\n"},
                          {0xFFFFFFFEu, true, "AI Archetype Initialized: RUSH MODE\n"},
                          {0xFFFFFFFFu, false, "AI Archetype Initialized: TURTLE MODE\n"}};
    for (const Case& c : cases) {
        ::testing::internal::CaptureStdout();
        const std::unique_ptr<BaseAI> strategy = computerStrategyOf(c.draw);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.line) << c.draw;
        EXPECT_EQ(dynamic_cast<RushAI*>(strategy.get()) != nullptr, c.rush) << c.draw;
    }
}

TEST_F(ComputerOnFightMap, SessionStartKeepsTheAddedStrategyDrawsOnlyForOneWithoutAndNeverFromTheSimulation) {
    enum Added { Rush, Turtle, None };
    struct Case {
        Added added;
        GameMode mode;
        bool takenOverLater;  // the log being caught up records the computer taken over at some turn
        bool strategyAfter;
    };
    const Case cases[] = {{Rush, GameMode::Skirmish, false, true},
                          {Turtle, GameMode::Skirmish, false, true},
                          {None, GameMode::ResumedSave, false, true},
                          {None, GameMode::ResumedSave, true, false},
                          {None, GameMode::Replay, false, false}};
    for (const Case& c : cases) {
        replayTurns.clear();
        if (c.takenOverLater) replayTurns = {takeoverTurn(2, "rush")};
        computer->ai.reset();
        if (c.added == Rush) computer->ai = std::make_unique<RushAI>();
        if (c.added == Turtle) computer->ai = std::make_unique<TurtleAI>();
        const BaseAI* added = computer->ai.get();
        mode = c.mode;
        waveThinkTimer = 0.3f;
        std::srand(SESSION_RAND_SEED);
        const int sessionFirst = std::rand();
        std::srand(SESSION_RAND_SEED);
        ::testing::internal::CaptureStdout();
        setUpComputerPlayer();
        ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(computer->ai != nullptr, c.strategyAfter) << c.added;
        if (added) {
            EXPECT_EQ(computer->ai.get(), added) << "the added strategy was replaced";
        }
        EXPECT_EQ(std::rand(), sessionFirst) << "the simulation's generator was drawn from";
        EXPECT_EQ(waveThinkTimer, 0.0f);
    }
    replayTurns.clear();
    mode = GameMode::Skirmish;
}

TEST_F(ComputerOnFightMap, ARecordedTakeoverGivesItsStrategyOnlyToAResumedSavesComputerWithoutOne) {
    struct Case {
        const char* what;
        GameMode mode;
        int recordedFor;
        const char* recorded;
        bool rushBefore;
        const char* after;
    };
    // Each draws from a generator whose next draw is odd: a turtle.
    const Case cases[] = {{"a resumed save's computer", GameMode::ResumedSave, 2, "rush", false, "rush"},
                          {"a replay runs no computer", GameMode::Replay, 2, "rush", false, ""},
                          {"another player's", GameMode::ResumedSave, 1, "rush", false, ""},
                          {"a computer that has one keeps it", GameMode::ResumedSave, 2, "turtle", true, "rush"},
                          {"a name nobody knows draws one", GameMode::ResumedSave, 2, "bold", false, "turtle"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        computer->ai.reset();
        if (c.rushBefore) computer->ai = std::make_unique<RushAI>();
        mode = c.mode;
        menuRandom().seed(1);
        ::testing::internal::CaptureStdout();
        takeRecordedTakeover(takeoverTurn(c.recordedFor, c.recorded).commands.front());
        ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(strategyNameOf(computer->ai.get()), c.after);
    }
    mode = GameMode::Skirmish;
}

TEST_F(ComputerOnFightMap, TrainsWhateverItsRecruitsAndTheTrainingRefusesWithoutAFreeOneChangingNothing) {
    struct Case {
        const char* what;
        int recruits;
        bool larva;
        bool larvaAssigned;
        bool trained;
    };
    // The one that trains goes last: it fills the hall's queue.
    const Case cases[] = {{"no recruit left", 0, true, false, false},
                          {"a recruit but no civilian", 1, false, false, false},
                          {"the only civilian already walking to training", 1, true, true, false},
                          {"one recruit and a free civilian", 1, true, false, true}};
    initializeCivilianLookup();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const Unit& u : units)
            if (u.type == "Larva") addUnitForRemoval(u.id);
        processUnitRemovals(grid);
        if (c.larva) getUnitById(addComputerUnit("Larva", {52, 58}))->assigned = c.larvaAssigned;
        computer->resources = {0, 1000, 1000};
        computer->supplyCap = 20;
        computer->recruits = c.recruits;
        orders.clear();
        computer->ai.reset();
        thinkAs<TurtleAI>();
        ASSERT_EQ(orders[CommandType::TrainUnit].size(), 1u);
        EXPECT_EQ(changesTheWorld(CommandType::TrainUnit, orders[CommandType::TrainUnit][0]), c.trained);
    }
}

TEST_F(ComputerOnFightMap, OrdersItsCampAndBarracksWhateverItsGoldOrGroundAndThePlacementRefusesWhatItCannotTake) {
    addComputerUnit("Peon", {52, 60});
    addComputerUnit("Peon", {53, 60});
    struct Case {
        const char* what;
        const char* building;
        int goldShort;
        bool walledIn;
        bool placed;
    };
    // The one placed goes last: one camp stands at a time.
    const Case cases[] = {{"a camp one gold short", "OrcCamp", 1, false, false},
                          {"a barracks one gold short", "OrcBarracks", 1, false, false},
                          {"a camp without a free footprint", "OrcCamp", 0, true, false},
                          {"a barracks without a free footprint", "OrcBarracks", 0, true, false},
                          {"a camp at its exact price", "OrcCamp", 0, false, true}};
    const Grid open = grid;
    const V2i from = getUnitById(computer->unitIds.front())->getTile();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        grid = open;
        if (c.walledIn)
            for (int x = from.x - 12; x <= from.x + 12; ++x)
                for (int y = from.y - 12; y <= from.y + 12; ++y)
                    if (isValidTile({x, y})) grid.at(x, y).walkable = 0;
        computer->resources = {0, 0, buildingInfo.at(c.building).goldCost - c.goldShort};
        computer->recruits = 0;
        orders.clear();
        computer->ai.reset();
        thinkAs<TurtleAI>();
        const PlaceBuildingDownCommand* order = placementOf(c.building);
        ASSERT_NE(order, nullptr);
        EXPECT_EQ(order->targetX == -1 && order->targetY == -1, c.walledIn);
        EXPECT_EQ(changesTheWorld(CommandType::PlaceBuildingDown, *order), c.placed);
    }
}

TEST_F(ComputerOnFightMap, ACampSiteWhoseBuilderFellIsTakenOverByTheFirstWorkerWhileOneWithItsBuilderIsLeftAlone) {
    enum Builder { Living, Fallen, NeverNamed };
    struct Case {
        Builder builder;
        size_t constructOrders;
    };
    const Case cases[] = {{Living, 0}, {Fallen, 1}, {NeverNamed, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.builder);
        constructionManager.reset();
        const int site = placeBuilding("OrcCamp", 2, 50, 50, 2, 2);
        getBuildingById(site)->completed = false;
        const int builder = addComputerUnit("Peon", {52, 46});
        if (c.builder != NeverNamed) constructionManager.assign(builder, site);
        if (c.builder == Fallen) {
            addUnitForRemoval(builder);
            processUnitRemovals(grid);
        }
        computer->recruits = 0;
        orders.clear();
        thinkAs<TurtleAI>();
        EXPECT_EQ(placementOf("OrcCamp"), nullptr) << "one camp at a time";
        ASSERT_EQ(orders[CommandType::Construct].size(), c.constructOrders);
        if (c.constructOrders == 1) {
            const auto& order = std::get<ConstructCommand>(orders[CommandType::Construct][0]);
            EXPECT_EQ(order.buildingId, site);
            EXPECT_EQ(order.unitId, computer->unitIds.front());
        }
        getBuildingById(site)->completed = true;
    }
}

}  // namespace
