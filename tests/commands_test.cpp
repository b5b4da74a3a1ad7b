// Applying orders: each handler's checks and refusals, the pause filter, which orders reach the log, group moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "economy_world.h"
#include "extraction.h"
#include "extraction_items.h"
#include "game.h"
#include "game_commands.h"
#include "game_commands_wire.h"
#include "lockstep.h"
#include "path_world.h"
#include "player.h"
#include "spells.h"
#include "upgrades.h"
#include "test_files.h"

namespace {

struct Orders : PathWorld {
    void SetUp() override {
        PathWorld::SetUp();
        sizeMap(16, 16);
        addType("Ship", 1);
        unitInfo["Ship"].walkable = Tile::Water;
        players.push_back(std::make_unique<Player>(1, "Ann", "human", false));
        paused = false;
        lockstep.currentTurn = 0;
        log.emplace();
        commandLog.open(log->path / "log.bin", std::ios::binary);
    }

    void TearDown() override {
        closeCommandLog();
        log.reset();
        paused = false;
        lockstep = LockstepManager{};
        players.clear();
        spellInfo.clear();
        items_map.clear();
        localPlayerId = 0;
        PathWorld::TearDown();
    }

    static void apply(CommandType type, CommandPayload payload, bool isReplay = false) {
        applyCommand(Command{type, 1, std::move(payload)}, grid, 0, isReplay);
    }

    // The records written so far, one per line.
    std::vector<nlohmann::json> logged() const {
        std::vector<nlohmann::json> records;
        std::istringstream in(readWholeFile(log->path / "log.bin"));
        for (std::string line; std::getline(in, line);) records.push_back(nlohmann::json::parse(line));
        return records;
    }

    static Unit& unit(int id) { return *getUnitById(id); }

    static void addSpell(const std::string& key, TargetType target, int range, float cooldown, EffectFunction effect) {
        SpellInfo info;
        info.id = key;
        info.targetType = target;
        info.range = range;
        info.cooldown = cooldown;
        info.caster = "Footman";
        info.effect = std::move(effect);
        spellInfo[key] = info;
    }

    static void wallAround(int tx, int ty) {
        for (int y = ty - 1; y <= ty + 1; ++y)
            for (int x = tx - 1; x <= tx + 1; ++x)
                if (x != tx || y != ty) grid.at(x, y).walkable = 0;
    }

    std::optional<TempDir> log;
};

// ---- Move and group moves ----

TEST_F(Orders, MoveOrdersTheUnitsThatExistPlansThemAlongOneLeaderPathAndIsLogged) {
    const int a = place("Footman", {4, 4});
    const int b = place("Footman", {6, 4});
    lockstep.currentTurn = 12;
    apply(CommandType::Move, MoveCommand{{a, 999, b}, 40, 4, false});

    for (int id : {a, b}) {
        EXPECT_EQ(unit(id).state, UnitState::OrderedMove);
        ASSERT_FALSE(unit(id).route.empty());
        EXPECT_EQ(unit(id).route.back(), (V2i{40, 4}));
    }
    // The unit nearer the goal leads: the master path starts at its sub-tile.
    EXPECT_EQ(unit(a).route.front(), (V2i{6, 4}));
    EXPECT_EQ(unit(a).route, unit(b).route);

    const auto records = logged();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].at("tick"), 12);
    EXPECT_EQ(records[0].at("data").at("unitIds"), (std::vector<int>{a, 999, b}));

    apply(CommandType::Move, MoveCommand{{}, 3, 3, false});  // without units still carried out and logged
    EXPECT_EQ(logged().size(), 2u);
}

TEST_F(Orders, MovedUnitTakesItsReservationAlongAndDropsItsAttack) {
    const int id = place("Footman", {4, 4});
    Unit& u = unit(id);
    u.x = 5 * 35.0f + 17.5f;  // stepped into the next sub-tile since its reservation was made
    u.occupiedSubTile = {4, 4};
    u.targetId = 77;
    u.isAttacking = true;
    apply(CommandType::Move, MoveCommand{{id}, 20, 20, false});
    EXPECT_EQ(u.occupiedSubTile, (V2i{5, 4}));
    EXPECT_EQ(cell(5, 4), id);
    EXPECT_EQ(cell(4, 4), 0);
    EXPECT_EQ(u.targetId, -1);
    EXPECT_FALSE(u.isAttacking);

    // A goal held by another unit leaves the reservation where it is but still plans.
    const int other = place("Footman", {30, 30});  // may move the unit list: look the unit up again
    unit(id).targetId = 5;
    apply(CommandType::Move, MoveCommand{{id}, 30, 30, false});
    EXPECT_EQ(unit(id).targetId, 5);
    EXPECT_EQ(unit(id).routeDestination, (V2i{30, 30}));
    EXPECT_EQ(cell(30, 30), other);
}

TEST_F(Orders, GroupOfEqualDistancesIsLedByTheFirstListed) {
    const int a = place("Footman", {10, 2});
    const int b = place("Footman", {10, 18});
    processGroupMove2(MoveCommand{{b, a}, 10, 10, false}, grid);
    EXPECT_EQ(unit(a).route.front(), (V2i{10, 18}));
}

TEST_F(Orders, LandUnitsOrderedOntoWaterPlanNothingButShipsGo) {
    makeWater(8, 8);
    makeWater(9, 8);
    const int soldier = place("Footman", {4, 4});
    const int ship = place("Ship", {36, 32});
    unit(ship).walkable = Tile::Water;
    apply(CommandType::Move, MoveCommand{{soldier}, 33, 33, false});
    EXPECT_EQ(unit(soldier).state, UnitState::OrderedMove);
    EXPECT_TRUE(unit(soldier).waypoints.empty());
    EXPECT_TRUE(unit(soldier).route.empty());

    processGroupMove2(MoveCommand{{ship}, 33, 33, false}, grid);
    ASSERT_FALSE(unit(ship).route.empty());
    EXPECT_EQ(unit(ship).route.back(), (V2i{33, 33}));
}

TEST_F(Orders, GoalTheLeaderCannotReachPlansNothingForAnyone) {
    wallAround(12, 12);
    const int a = place("Footman", {4, 4});
    const int b = place("Footman", {8, 4});
    processGroupMove2(MoveCommand{{a, b}, 50, 50, false}, grid);
    EXPECT_TRUE(unit(a).waypoints.empty());
    EXPECT_TRUE(unit(b).waypoints.empty());
}

TEST_F(Orders, UnitNearTheEndJoinsAtTheLastNodeAndAnEnclosedOneStepsOntoThePath) {
    wallAround(2, 12);
    const int farAway = place("Footman", {30, 12});
    const int nearEnd = place("Footman", {44, 14});
    const int enclosed = place("Footman", {9, 49});  // inside tile (2, 12), walled in
    processGroupMove2(MoveCommand{{farAway, nearEnd, enclosed}, 44, 12, false}, grid);
    const SubTilePath& master = unit(farAway).route;
    ASSERT_FALSE(master.empty());
    EXPECT_EQ(unit(nearEnd).route, master);
    EXPECT_FLOAT_EQ(unit(nearEnd).waypoints.back().x, subTileWaypoint(master.back()).x);
    // No way out within 30 steps: its path is the single master node after its nearest one.
    ASSERT_EQ(unit(enclosed).waypoints.size(), 1u);
}

// ---- Spells ----

TEST_F(Orders, SelfSpellCastsOnceThenWaitsForItsCooldown) {
    const int id = place("Footman", {4, 4});
    int casts = 0;
    addSpell("Rage", TargetType::Self, 0, 20.0f, [&casts](const SpellContext&) {
        ++casts;
        return true;
    });
    const CastSpellCommand cast{id, id, 100, 100, "Rage", false};
    apply(CommandType::CastSpell, cast);
    apply(CommandType::CastSpell, cast);
    EXPECT_EQ(casts, 1);
    EXPECT_FLOAT_EQ(unit(id).cooldowns.at("Rage"), 20.0f);
    EXPECT_EQ(logged().size(), 1u);
    EXPECT_TRUE(unit(id).orders.empty());
}

TEST_F(Orders, SelfSpellRefusedByItsEffectStartsNoCooldownAndIsNotLogged) {
    const int id = place("Footman", {4, 4});
    const int other = place("Footman", {6, 4});
    addSpell("Frost", TargetType::Self, 0, 20.0f, effectFreezingBullets);
    apply(CommandType::CastSpell, CastSpellCommand{id, other, 0, 0, "Frost", false});
    EXPECT_FALSE(unit(id).freezingBullets);
    EXPECT_FLOAT_EQ(unit(id).cooldowns["Frost"], 0.0f);
    EXPECT_TRUE(logged().empty());

    apply(CommandType::CastSpell, CastSpellCommand{id, id, 0, 0, "Frost", false});
    EXPECT_TRUE(unit(id).freezingBullets);
    EXPECT_FLOAT_EQ(unit(id).cooldowns["Frost"], 20.0f);
}

TEST_F(Orders, SpellInRangeIsQueuedBehindTheOrdersWhateverShiftSays) {
    const int id = place("Footman", {4, 4});  // tile (1, 1)
    addSpell("Slow", TargetType::Unit, 3, 1.0f, [](const SpellContext&) { return true; });
    apply(CommandType::AttackMove, AttackMove{id, 1, 1, false});
    apply(CommandType::CastSpell, CastSpellCommand{id, 0, 4 * 140 + 10, 1 * 140 + 10, "Slow", false});
    ASSERT_EQ(unit(id).orders.size(), 2u);
    EXPECT_EQ(unit(id).orders[1].type, CommandType::CastSpell);
    EXPECT_EQ(logged().size(), 2u);

    // Out of range: a walk to a tile within range comes first.
    unit(id).orders.clear();
    apply(CommandType::CastSpell, CastSpellCommand{id, 0, 12 * 140 + 70, 1 * 140 + 70, "Slow", false});
    ASSERT_EQ(unit(id).orders.size(), 2u);
    ASSERT_EQ(unit(id).orders[0].type, CommandType::Move);
    const auto& walk = std::get<MoveCommand>(unit(id).orders[0].command);
    EXPECT_EQ((V2i{walk.x, walk.y}), (V2i{9, 1}));
    EXPECT_EQ(unit(id).orders[1].type, CommandType::CastSpell);

    // Nowhere to stand within range: only the cast is queued.
    unit(id).orders.clear();
    spellInfo["Slow"].range = 1;
    wallAround(12, 12);
    grid.at(12, 12).walkable = 0;
    apply(CommandType::CastSpell, CastSpellCommand{id, 0, 12 * 140 + 70, 12 * 140 + 70, "Slow", false});
    ASSERT_EQ(unit(id).orders.size(), 1u);
    EXPECT_EQ(unit(id).orders[0].type, CommandType::CastSpell);
}

TEST_F(Orders, UnknownSpellOrMissingCasterIsIgnored) {
    const int id = place("Footman", {4, 4});
    addSpell("Slow", TargetType::Unit, 3, 1.0f, [](const SpellContext&) { return true; });
    apply(CommandType::CastSpell, CastSpellCommand{id, 0, 0, 0, "Nope", false});
    apply(CommandType::CastSpell, CastSpellCommand{999, 0, 0, 0, "Slow", false});
    EXPECT_TRUE(unit(id).orders.empty());
    EXPECT_TRUE(logged().empty());
}

// ---- Attack-moves, pick-ups and carriers ----

TEST_F(Orders, AttackMoveWithShiftQueuesAndWithoutReplacesTheOrders) {
    const int id = place("Footman", {4, 4});
    ::testing::internal::CaptureStderr();
    apply(CommandType::AttackMove, AttackMove{id, 10, 10, true});
    apply(CommandType::AttackMove, AttackMove{id, 11, 11, true});
    EXPECT_EQ(unit(id).orders.size(), 2u);
    unit(id).orderRunning = true;
    apply(CommandType::AttackMove, AttackMove{id, 12, 12, false});
    apply(CommandType::AttackMove, AttackMove{999, 12, 12, false});
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("[applyCommand] Attack Move: unit 999 not found"),
              std::string::npos);
    ASSERT_EQ(unit(id).orders.size(), 1u);
    EXPECT_FALSE(unit(id).orderRunning);
    EXPECT_EQ(unit(id).orders[0].type, CommandType::AttackMove);
    EXPECT_EQ(std::get<AttackMove>(unit(id).orders[0].command).x, 12);
    EXPECT_EQ(logged().size(), 3u);
}

TEST_F(Orders, PickUpOfAnUnknownItemIsRefusedRatherThanWalkingToTheCorner) {
    const int id = place("Footman", {20, 20});
    ::testing::internal::CaptureStderr();
    apply(CommandType::PickUp, PickUpCommand{id, 4});
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("item 4 not found"), std::string::npos);
    EXPECT_FALSE(unit(id).pickUpPending);
    EXPECT_TRUE(unit(id).waypoints.empty());
    EXPECT_TRUE(items_map.empty());
    EXPECT_TRUE(logged().empty());

    items_map[4] = Item{4, "CryoPod", 30 * 35.0f + 5.0f, 6 * 35.0f + 5.0f, true, -1};
    apply(CommandType::PickUp, PickUpCommand{id, 4});
    EXPECT_TRUE(unit(id).pickUpPending);
    EXPECT_EQ(unit(id).routeDestination, (V2i{30, 6}));
    EXPECT_EQ(logged().size(), 1u);
}

TEST_F(Orders, CarrierOrdersAreCarriedOutAndLoggedSoReplaysKeepThem) {
    const int rider = place("Footman", {4, 4});
    const int carrier = place("Footman", {20, 8});
    unit(carrier).carrier = true;
    apply(CommandType::CarrierPickUp, CarrierPickUpCommand{rider, carrier});
    EXPECT_EQ(unit(rider).boardCarrierId, carrier);
    EXPECT_EQ(unit(rider).goal, (V2i{20, 8}));

    const int walker = place("Footman", {4, 8});
    apply(CommandType::CarrierDropOff, CarrierDropOffCommand{walker, carrier});
    EXPECT_FLOAT_EQ(unit(walker).x, 4 * 35.0f + 17.5f);

    addUnitToZeppelin(unit(rider));
    ASSERT_FALSE(unit(rider).onMap);
    apply(CommandType::CarrierDropOff, CarrierDropOffCommand{rider, carrier});
    EXPECT_TRUE(unit(rider).onMap);
    apply(CommandType::CarrierDropOff, CarrierDropOffCommand{rider, 999});
    EXPECT_EQ(logged().size(), 2u);
}

// ---- Buildings, chat, pause and the log ----

TEST_F(Orders, RallyPointOnTheMapIsSetAndLoggedOffTheMapRefused) {
    Building b;
    b.id = nextAttackableId++;
    b.playerId = 1;
    addBuilding(b);
    apply(CommandType::SetRallyPoint, SetRallyPointCommand{b.id, 7, 9});
    apply(CommandType::SetRallyPoint, SetRallyPointCommand{b.id, 700, 9});
    apply(CommandType::SetRallyPoint, SetRallyPointCommand{999, 7, 9});
    EXPECT_EQ(getBuildingById(b.id)->rallyPoint, (V2i{7, 9}));
    EXPECT_EQ(logged().size(), 1u);
}

TEST_F(Orders, GoalsOffTheMapAreRefusedBeforeAnyUnitIsTouched) {
    const int id = place("Footman", {4, 4});
    addSpell("Slow", TargetType::Point, 40, 0.0f, nullptr);
    for (const CommandPayload& order : std::vector<CommandPayload>{
             MoveCommand{{id}, 64, 3, false}, MoveCommand{{id}, 3, -1, false}, AttackMove{id, -5, 5, false},
             AttackMove{id, 5, 1 << 30, false}, CastSpellCommand{id, 0, 16 * 140, 70, "Slow", false},
             CastSpellCommand{id, 0, -1, 70, "Slow", false}})
        applyCommand(Command{CommandType::Move, 1, order}, grid, 0, false);
    EXPECT_EQ(unit(id).state, UnitState::Idle);
    EXPECT_TRUE(unit(id).orders.empty());
    EXPECT_TRUE(unit(id).waypoints.empty());
    EXPECT_TRUE(logged().empty());
}

TEST_F(Orders, OrdersNamingMissingEntitiesReportThemAndAreNotLogged) {
    ::testing::internal::CaptureStderr();
    apply(CommandType::Mine, MineCommand{999, 0, 0, 1});
    apply(CommandType::Attack, AttackCommand{998, 1});
    apply(CommandType::PlaceBuildingDown, PlaceBuildingDownCommand{"Farm", 1, 1, 997});
    apply(CommandType::TrainUnit, TrainUnitCommand{996, "Footman"});
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("[applyCommand] Mine: unit 999 not found\n"), std::string::npos);
    EXPECT_NE(errors.find("[applyCommand] Attack: unit 998 not found\n"), std::string::npos);
    EXPECT_NE(errors.find("[applyCommand] PlaceBuilding: unit 997 not found\n"), std::string::npos);
    EXPECT_NE(errors.find("[applyCommand] Train: building 996 not found\n"), std::string::npos);
    EXPECT_TRUE(logged().empty());
}

TEST_F(Orders, PauseLetsOnlyPauseAndResumeThroughAndNeitherIsLogged) {
    const int id = place("Footman", {4, 4});
    const Command pause{CommandType::PauseGame, 1, PauseGameCommand{5}};
    const Command resume{CommandType::ResumeGame, 1, ResumeGameCommand{6}};
    const Command move{CommandType::Move, 1, MoveCommand{{id}, 10, 4, false}};

    applyLiveTurn({pause, move}, grid, 0);
    EXPECT_TRUE(paused);
    EXPECT_EQ(unit(id).state, UnitState::Idle);

    applyLiveTurn({move, resume, move}, grid, 0);
    EXPECT_FALSE(paused);
    EXPECT_EQ(unit(id).state, UnitState::OrderedMove);
    EXPECT_EQ(logged().size(), 1u);
}

TEST_F(Orders, PingQueuesAPongAndNeitherIsLogged) {
    localPlayerId = 3;
    apply(CommandType::Ping, PingCommand{});
    apply(CommandType::Pong, PongCommand{});
    apply(CommandType::Ping, std::monostate{});
    ASSERT_EQ(lockstep.pendingCommands.size(), 1u);
    EXPECT_EQ(lockstep.pendingCommands[0].type, CommandType::Pong);
    EXPECT_EQ(lockstep.pendingCommands[0].player, 3);
    EXPECT_TRUE(logged().empty());
}

// A target out of reach still becomes the unit's target: the order changed the world, so a replay must see it.
TEST_F(Orders, AttackWithoutAPathTakesTheTargetAndIsLogged) {
    for (int x = 4; x < 16; ++x)
        for (int y = 4; y < 16; ++y) makeWater(x, y);
    const int soldier = place("Footman", {2, 2});
    const int ship = place("Ship", {48, 48});
    apply(CommandType::Attack, AttackCommand{soldier, ship});
    EXPECT_EQ(unit(soldier).targetId, ship);
    EXPECT_EQ(unit(soldier).state, UnitState::Attacking);
    EXPECT_EQ(logged().size(), 1u);
}

TEST_F(Orders, ReplayedOrdersOrAClosedLogApplyButNeverWrite) {
    const int id = place("Footman", {4, 4});
    apply(CommandType::AttackMove, AttackMove{id, 10, 10, true}, true);
    closeCommandLog();
    apply(CommandType::AttackMove, AttackMove{id, 10, 10, true});
    EXPECT_EQ(unit(id).orders.size(), 2u);
    EXPECT_TRUE(logged().empty());
}

// ---- Economy orders on the shipped fight map ----

// The fight-map town with an open log.
struct EconomyOrders : FightMapTown {
    void SetUp() override {
        FightMapTown::SetUp();
        lockstep.currentTurn = 0;
        commandLog.open(dir.path / "log.bin", std::ios::binary);
    }
    void TearDown() override {
        closeCommandLog();
        lockstep = LockstepManager{};
        FightMapTown::TearDown();
    }

    static void apply(int player, CommandType type, CommandPayload payload) {
        applyCommand(Command{type, player, std::move(payload)}, grid, 0, false);
    }
    size_t loggedCount() const {
        const std::string text = readWholeFile(dir.path / "log.bin");
        return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    }

    TempDir dir;
};

TEST_F(EconomyOrders, MiningSendsTheWorkerToTheObjectAndMissingObjectsOrPlayersAreReported) {
    const MapObject* crystal = getMapObjectAtTile({5, 1}, grid);
    ASSERT_NE(crystal, nullptr);
    apply(1, CommandType::Mine, MineCommand{worker, 0, 0, crystal->id});
    EXPECT_EQ(getUnitById(worker)->mineTarget, (V2i{5, 1}));
    EXPECT_EQ(human->crystalWorkers, 1);
    EXPECT_EQ(loggedCount(), 1u);

    ::testing::internal::CaptureStderr();
    apply(1, CommandType::Mine, MineCommand{worker, 0, 0, 9999});
    apply(77, CommandType::Mine, MineCommand{worker, 0, 0, crystal->id});
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("[applyCommand] Mine: map object 9999 not found"), std::string::npos);
    EXPECT_NE(errors.find("[applyCommand] Mine: player 77 not found"), std::string::npos);
    EXPECT_EQ(loggedCount(), 1u);
}

TEST_F(EconomyOrders, PlacementAndCancellationAreLoggedOnlyWhenTheyTakeEffect) {
    const int site = nextAttackableId;
    apply(1, CommandType::PlaceBuildingDown, PlaceBuildingDownCommand{"HumanCamp", 12, 6, worker});
    ASSERT_NE(getBuildingById(site), nullptr);
    EXPECT_EQ(gold(*human), 850);
    EXPECT_EQ(loggedCount(), 1u);

    setResources(*human, 0, 0);
    ::testing::internal::CaptureStderr();
    apply(1, CommandType::PlaceBuildingDown, PlaceBuildingDownCommand{"HumanCamp", 20, 6, human->unitIds[1]});
    apply(1, CommandType::PlaceBuildingDown, PlaceBuildingDownCommand{"HumanCamp", 20, 6, 9999});
    apply(77, CommandType::PlaceBuildingDown, PlaceBuildingDownCommand{"HumanCamp", 20, 6, worker});
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("[applyCommand] PlaceBuilding: player 77 not found"),
              std::string::npos);
    EXPECT_EQ(loggedCount(), 1u);

    // Cancelling the site refunds it and is logged; a finished building is no site.
    apply(1, CommandType::StopConstruction, StopConstructionCommand{site});
    EXPECT_EQ(gold(*human), static_cast<int>(150 * 0.75f));
    EXPECT_NE(std::find(buildingsToRemove.begin(), buildingsToRemove.end(), site), buildingsToRemove.end());
    apply(1, CommandType::StopConstruction, StopConstructionCommand{base});
    apply(1, CommandType::StopConstruction, StopConstructionCommand{9999});
    EXPECT_EQ(std::count(buildingsToRemove.begin(), buildingsToRemove.end(), base), 0);
    EXPECT_EQ(loggedCount(), 2u);
}

TEST_F(EconomyOrders, ProductionOrdersThatNameNothingAreNotLogged) {
    ::testing::internal::CaptureStderr();
    apply(1, CommandType::TrainUnit, TrainUnitCommand{9999, "Scavenger"});
    apply(1, CommandType::TrainUnit, TrainUnitCommand{base, "NoSuchUnit"});
    apply(1, CommandType::StopProduction, StopProductionCommand{base, 0});
    apply(1, CommandType::StopProduction, StopProductionCommand{9999, 0});
    apply(1, CommandType::ResearchUpgrade, ResearchUpgradeCommand{base, "NoSuchUpgrade"});
    apply(1, CommandType::ResearchUpgrade, ResearchUpgradeCommand{9999, "NoSuchUpgrade"});
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("[applyCommand] Train: building 9999 not found"),
              std::string::npos);
    EXPECT_TRUE(getBuildingById(base)->productionQueue.empty());
    EXPECT_EQ(loggedCount(), 0u);
}

TEST_F(EconomyOrders, ChatIsPostedWithTheSendersNameAndLogged) {
    apply(1, CommandType::ChatMessage, ChatMessageCommand{"gl hf"});
    apply(77, CommandType::ChatMessage, ChatMessageCommand{"lost"});
    ASSERT_EQ(activityQueue.size(), 1u);
    EXPECT_EQ(activityQueue.back().text, "[p1]: gl hf");
    EXPECT_EQ(loggedCount(), 1u);
}

// ---- Orders a modified client may send ----

// The town of player 1 with a soldier, and player 2's worker and carrier beside it, everything on the map.
struct HostileOrders : EconomyOrders {
    void SetUp() override {
        EconomyOrders::SetUp();
        GOD_MODE = false;
        marine = addUnitAt("Marine", {60, 50}, 1);
        peon = addUnitAt("Peon", {64, 50}, 2);
        zeppelin = addUnitAt("GoblinZeppelin", {68, 50}, 2);
        setResources(*getPlayerById(2), 1000, 1000);
    }
    void TearDown() override {
        GOD_MODE = false;
        graveyard.clear();
        items_map.clear();
        EconomyOrders::TearDown();
    }

    // The order as a peer decodes it, applied; whether it was carried out (logged).
    bool applyDecoded(const Command& cmd) {
        NetPacket packet = writeTurnPacket(Turn{0, cmd.player, {cmd}});
        Turn decoded;
        EXPECT_TRUE(readTurnPacket(packet, decoded));
        EXPECT_EQ(decoded.commands.size(), 1u);
        const size_t before = loggedCount();
        for (const Command& c : decoded.commands) applyCommand(c, grid, 0, false);
        return loggedCount() > before;
    }

    const MapObject* objectWhere(bool harvestable) const {
        for (const MapObject& o : mapObjects) {
            const auto info = mapObjectInfo.find(o.type);
            if (info != mapObjectInfo.end() && info->second.harvestable == harvestable) return &o;
        }
        return nullptr;
    }

    // The unit rides in player 2's carrier.
    void board(int unitId) {
        zeppelinCargo[zeppelin].push_back(unitId);
        getUnitById(unitId)->onMap = false;
    }

    int marine = -1, peon = -1, zeppelin = -1;
};

// The temple stands only on ground its altar's effect covers; its other requirements are lifted here.
constexpr V2i TEMPLE_TILE{12, 6};

Command templeOrder(int peon) {
    buildingRequirements["OrcTempleOfTheDamned"] = BuildingRequirement{{}, 0};
    return {CommandType::PlaceBuildingDown, 2,
            PlaceBuildingDownCommand{"OrcTempleOfTheDamned", TEMPLE_TILE.x, TEMPLE_TILE.y, peon}};
}

Unit& fillOrders(int unitId, size_t count) {
    Unit& u = *getUnitById(unitId);
    const UnitCommandAction order{CommandType::AttackMove, AttackMove{unitId, 10, 10, true}};
    u.orders.clear();
    for (size_t i = 0; i < count; ++i) u.orders.push_back(order);
    u.orderRunning = true;
    return u;
}

// A medic whose queue holds the orders, told to heal the marine; the cast may need a walk before it.
Command healingOrder(HostileOrders& t, size_t queued) {
    const int medic = HostileOrders::addUnitAt("Medic", {60, 54}, 1);
    fillOrders(medic, queued);
    const Unit& target = *getUnitById(t.marine);
    return {CommandType::CastSpell, 1,
            CastSpellCommand{medic, t.marine, truncToInt(target.x), truncToInt(target.y), "Healing", true}};
}

// A corpse on the ground beside the worker, of a unit the player lost.
Command corpseOrder(HostileOrders& t, int lostBy) {
    Unit dead;
    dead.playerId = lostBy;
    graveyard.push_back(dead);
    const Unit& worker = *getUnitById(t.worker);
    items_map[7] = Item{7, "Corpse", worker.x + 40.0f, worker.y, true, static_cast<int>(graveyard.size()) - 1};
    return {CommandType::PickUp, 1, PickUpCommand{t.worker, 7}};
}

// Each row: the world a modified client finds, the order it sends, whether the order is carried out, and what
// must hold afterwards. Rows in pairs show the last order carried out beside the first one refused.
const struct {
    const char* name;
    std::function<Command(HostileOrders&)> order;
    bool carriedOut;
    std::function<void(HostileOrders&)> check;
} hostileOrders[] = {
    {"spawn without the god mode",
     [](HostileOrders&) { return Command{CommandType::Spawn, 1, SpawnCommand{"Marine"}}; },
     false,
     [](HostileOrders&) {
         EXPECT_EQ(std::count_if(units.begin(), units.end(), [](const Unit& u) { return u.type == "Marine"; }), 1);
     }},
    {"spawn in the god mode",
     [](HostileOrders&) {
         GOD_MODE = true;
         return Command{CommandType::Spawn, 1, SpawnCommand{"Marine"}};
     },
     true, nullptr},
    {"mine a tree",
     [](HostileOrders& t) {
         const MapObject* tree = t.objectWhere(false);
         EXPECT_NE(tree, nullptr);
         return Command{CommandType::Mine, 1, MineCommand{t.worker, 0, 0, tree ? tree->id : -1}};
     },
     false, [](HostileOrders& t) { EXPECT_FALSE(getUnitById(t.worker)->mining); }},
    {"mine a crystal",
     [](HostileOrders& t) {
         return Command{CommandType::Mine, 1, MineCommand{t.worker, 0, 0, t.objectWhere(true)->id}};
     },
     true, nullptr},
    {"place another race's building",
     [](HostileOrders& t) {
         return Command{CommandType::PlaceBuildingDown, 1, PlaceBuildingDownCommand{"OrcCamp", 12, 6, t.worker}};
     },
     false, [](HostileOrders& t) { EXPECT_EQ(HostileOrders::gold(*t.human), 1000); }},
    {"place with a soldier",
     [](HostileOrders& t) {
         return Command{CommandType::PlaceBuildingDown, 1, PlaceBuildingDownCommand{"HumanCamp", 12, 6, t.marine}};
     },
     false, [](HostileOrders& t) { EXPECT_EQ(HostileOrders::gold(*t.human), 1000); }},
    {"place a temple off its effect", [](HostileOrders& t) { return templeOrder(t.peon); }, false,
     [](HostileOrders&) { EXPECT_EQ(HostileOrders::gold(*getPlayerById(2)), 1000); }},
    {"place a temple on its effect",
     [](HostileOrders& t) {
         effectGrid.addEffectArea("ley", TEMPLE_TILE, 6);
         return templeOrder(t.peon);
     },
     true, nullptr},
    {"cast another type's spell",
     [](HostileOrders& t) {
         return Command{CommandType::CastSpell, 1, CastSpellCommand{t.worker, -1, 500, 500, "Bombing", false}};
     },
     false, [](HostileOrders& t) { EXPECT_TRUE(getUnitById(t.worker)->orders.empty()); }},
    {"cast before the upgrade it needs",
     [](HostileOrders& t) {
         return Command{CommandType::CastSpell, 1, CastSpellCommand{t.marine, t.marine, 0, 0, "SeeingRed", true}};
     },
     false, [](HostileOrders&) { EXPECT_TRUE(activeSpells.empty()); }},
    {"cast after the upgrade it needs",
     [](HostileOrders& t) {
         playerUpgrades[1].insert("SeeingRed");
         return Command{CommandType::CastSpell, 1, CastSpellCommand{t.marine, t.marine, 0, 0, "SeeingRed", true}};
     },
     true, nullptr},
    {"board a unit that is no carrier",
     [](HostileOrders& t) { return Command{CommandType::CarrierPickUp, 1, CarrierPickUpCommand{t.worker, t.marine}}; },
     false, [](HostileOrders& t) { EXPECT_EQ(getUnitById(t.worker)->boardCarrierId, -1); }},
    {"board a carrier",
     [](HostileOrders& t) { return Command{CommandType::CarrierPickUp, 2, CarrierPickUpCommand{t.peon, t.zeppelin}}; },
     true, nullptr},
    {"unload over water",
     [](HostileOrders& t) {
         t.board(t.peon);
         const Unit& z = *getUnitById(t.zeppelin);
         TileInstance& under = grid.at(truncToInt(z.x / TILE_SIZE), truncToInt(z.y / TILE_SIZE));
         under.type = Tile::Water;
         under.walkable = 0;
         return Command{CommandType::CarrierDropOff, 2, CarrierDropOffCommand{t.peon, t.zeppelin}};
     },
     false, [](HostileOrders& t) { EXPECT_FALSE(getUnitById(t.peon)->onMap); }},
    {"unload over grass",
     [](HostileOrders& t) {
         t.board(t.peon);
         return Command{CommandType::CarrierDropOff, 2, CarrierDropOffCommand{t.peon, t.zeppelin}};
     },
     true, [](HostileOrders& t) { EXPECT_TRUE(getUnitById(t.peon)->onMap); }},
    {"send a rider to build",
     [](HostileOrders& t) {
         effectGrid.addEffectArea("ley", TEMPLE_TILE, 6);
         EXPECT_TRUE(t.applyDecoded(templeOrder(HostileOrders::addUnitAt("Peon", {64, 54}, 2))));
         const int site = nextAttackableId - 1;
         constructionManager.forget(site);  // its builder lost, the site waits for another
         t.board(t.peon);
         return Command{CommandType::Construct, 2, ConstructCommand{t.peon, site}};
     },
     false, [](HostileOrders& t) { EXPECT_FALSE(getUnitById(t.peon)->constructing); }},
    {"attack a rider",
     [](HostileOrders& t) {
         t.board(t.peon);
         return Command{CommandType::Attack, 1, AttackCommand{t.marine, t.peon}};
     },
     false, [](HostileOrders& t) { EXPECT_EQ(getUnitById(t.marine)->targetId, -1); }},
    {"move a rider",
     [](HostileOrders& t) {
         t.board(t.peon);
         return Command{CommandType::Move, 2, MoveCommand{{t.peon}, 20, 20, false}};
     },
     false, [](HostileOrders& t) { EXPECT_TRUE(getUnitById(t.peon)->waypoints.empty()); }},
    {"hold a rider",
     [](HostileOrders& t) {
         t.board(t.peon);
         return Command{CommandType::Hold, 2, HoldCommand{{t.peon}}};
     },
     false, [](HostileOrders& t) { EXPECT_NE(getUnitById(t.peon)->state, UnitState::HoldPosition); }},
    {"queue an attack-move onto the last free place",
     [](HostileOrders& t) {
         fillOrders(t.marine, MAX_QUEUED_ORDERS - 1);
         return Command{CommandType::AttackMove, 1, AttackMove{t.marine, 20, 20, true}};
     },
     true, [](HostileOrders& t) { EXPECT_EQ(getUnitById(t.marine)->orders.size(), MAX_QUEUED_ORDERS); }},
    {"queue an attack-move past a full queue",
     [](HostileOrders& t) {
         fillOrders(t.marine, MAX_QUEUED_ORDERS);
         return Command{CommandType::AttackMove, 1, AttackMove{t.marine, 20, 20, true}};
     },
     false, [](HostileOrders& t) { EXPECT_EQ(getUnitById(t.marine)->orders.size(), MAX_QUEUED_ORDERS); }},
    {"queue a cast and the walk before it onto the last free places",
     [](HostileOrders& t) { return healingOrder(t, MAX_QUEUED_ORDERS - 2); }, true, nullptr},
    {"queue a cast past a full queue", [](HostileOrders& t) { return healingOrder(t, MAX_QUEUED_ORDERS - 1); }, false,
     nullptr},
    {"carry off another player's corpse", [](HostileOrders& t) { return corpseOrder(t, 2); }, false,
     [](HostileOrders& t) { EXPECT_FALSE(getUnitById(t.worker)->pickUpPending); }},
    {"carry off an own corpse", [](HostileOrders& t) { return corpseOrder(t, 1); }, true, nullptr},
    {"move one unit listed ten thousand times",
     [](HostileOrders& t) {
         const std::vector<int> repeated(MAX_WIRE_UNIT_IDS, t.marine);
         return Command{CommandType::Move, 1, MoveCommand{repeated, 20, 20, false}};
     },
     true, [](HostileOrders& t) { EXPECT_FALSE(getUnitById(t.marine)->waypoints.empty()); }},
};

// Whatever values a modified client puts in its own orders, each ends in what the panels let a player order, or
// in a refusal that changes nothing and is not logged.
TEST_F(HostileOrders, EachEndsInTheRuleOrARefusal) {
    for (const auto& row : hostileOrders) {
        SCOPED_TRACE(row.name);
        TearDown();
        SetUp();
        testing::internal::CaptureStderr();
        const Command cmd = row.order(*this);
        const bool carriedOut = applyDecoded(cmd);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(carriedOut, row.carriedOut);
        if (row.check) row.check(*this);
    }
}

}  // namespace
