// Orders that name another player's unit or building: refused whole, with nothing changed and nothing logged.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "economy_world.h"
#include "extraction.h"
#include "game.h"
#include "game_commands.h"
#include "lockstep.h"
#include "spells.h"
#include "test_files.h"

namespace {

constexpr int OWNER = 1;
constexpr int INTRUDER = 2;

// What a row's order may name: the owner's entities, and a unit of the intruder's own.
struct Town {
    int worker = -1;
    int carrier = -1;
    int rider = -1;
    int barracks = -1;
    int site = -1;
    int crystal = -1;
    int item = 7;
    int theirWorker = -1;
    int theirSoldier = -1;
};

using Order = CommandPayload;
using OrderOf = Order (*)(const Town&);

// One order type: the order as the intruder sends it, and the same order as the owner gives it (null: the same).
struct ForeignOrder {
    const char* name;
    CommandType type;
    OrderOf intruders;
    OrderOf owners;
};

void PrintTo(const ForeignOrder& order, std::ostream* out) { *out << order.name; }

// A 20x20 grass world where player 1 owns a worker, a carrier with a rider aboard, a barracks researching one
// upgrade, an unfinished farm and a civilian; player 2 owns a worker and a soldier. The log is open.
struct OrdersOfAnotherPlayer : EconomyWorld, ::testing::WithParamInterface<ForeignOrder> {
    void SetUp() override {
        EconomyWorld::SetUp();
        addTypes();
        Player& owner = addPlayer(OWNER);
        Player& intruder = addPlayer(INTRUDER, "vohmathal");
        Player::myStaticId = OWNER;
        for (Player* p : {&owner, &intruder}) {
            setResources(*p, 1000, 1000);
            p->supplyCap = 10;
            p->recruits = 5;
        }
        resetMiningOccupancy();
        createObjects({{"Crystal", 4, 4}}, grid);
        town.crystal = mapObjects.front().id;
        town.worker = addUnitAt("Worker", {10, 60});
        addUnitAt("Civilian", {20, 60});
        town.carrier = addUnitAt("Transport", {40, 60});
        town.rider = addUnitAt("Marine", {44, 60});
        getUnitById(town.rider)->boardCarrierId = town.carrier;
        addUnitToZeppelin(*getUnitById(town.rider));
        town.theirWorker = addUnitAt("Worker", {60, 70}, INTRUDER);
        town.theirSoldier = addUnitAt("Marine", {60, 60}, INTRUDER);
        town.barracks = placeBuilding("Barracks", OWNER, 8, 8, 2, 2);
        getBuildingById(town.barracks)->computeNearbyTiles();
        ASSERT_TRUE(researchUpgrade(getBuildingById(town.barracks), "Armor1"));
        town.site = addSite(14, 2);
        items_map[town.item] = Item{town.item, "Medkit", 50 * 35.0f, 20 * 35.0f, true, -1};
        SpellInfo slow;
        slow.id = "Slow";
        slow.targetType = TargetType::Point;
        slow.range = 40;
        slow.caster = "Worker";
        spellInfo["Slow"] = slow;
        lockstep.currentTurn = 0;
        commandLog.open(dir.path / "log.bin", std::ios::binary);
    }

    void TearDown() override {
        closeCommandLog();
        lockstep = LockstepManager{};
        items_map.clear();
        EconomyWorld::TearDown();
    }

    static void addTypes() {
        mapObjectInfo["Crystal"] = MapObjectInfo{"Crystal", "Crystal", 2, 2, 250, true};
        mapObjectsSprites["Crystal"] = MapObjectSpriteMeta{};
        addBuildingType("Barracks", 2, 2, 0, 0, 10.0f);
        addBuildingType("Farm", 2, 2, 150, 40, 2.0f);
        buildingRequirements["Farm"] = BuildingRequirement{{}, 0};
        UnitInfo& worker = addUnitType("Worker", "human", 50, 0, 1, 1.0f);
        worker.worker = true;
        worker.buildMenu = {"Farm"};
        addUnitType("Transport", "human", 0, 0, 0, 1.0f).carrier = true;
        addUnitType("Civilian", "human", 0, 0, 0, 1.0f).civilian = true;
        addUnitType("Marine", "human", 100, 10, 1, 1.0f);
        unitRequirements["Marine"] = UnitRequirement{};
        buildingUnits["Barracks"] = {"Marine"};
        addUpgrade("Armor1", UpgradeType::Defense, 2, 200, 100, "Barracks");
        addUpgrade("Armor2", UpgradeType::Defense, 2, 200, 100, "Barracks");
        initializeCivilianLookup();
    }

    // An unfinished farm of the owner, as placement leaves it.
    static int addSite(int x, int y) {
        Building b;
        b.id = nextAttackableId++;
        b.type = "Farm";
        b.playerId = OWNER;
        b.x = x;
        b.y = y;
        b.wTiles = b.hTiles = 2;
        b.maxHp = 100.0f;
        b.buildTime = 2.0f;
        addBuilding(b)->computeNearbyTiles();
        blockArea(grid, {x, y}, 2, 2);
        getPlayerById(OWNER)->underConstruction["Farm"] += 1;
        return b.id;
    }

    size_t loggedCount() const {
        const std::string text = readWholeFile(dir.path / "log.bin");
        return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    }

    void order(int player, CommandType type, OrderOf make) {
        ::testing::internal::CaptureStderr();
        applyCommand(Command{type, player, make(town)}, grid, 0, false);
        ::testing::internal::GetCapturedStderr();
        commandLog.flush();
    }

    Town town;
    TempDir dir;
};

TEST_P(OrdersOfAnotherPlayer, AreRefusedLeavingTheWorldAndTheLogAsTheyWere) {
    const ForeignOrder& row = GetParam();
    const uint64_t before = worldChecksum();
    const size_t feed = activityQueue.size();
    const int ownersBuilder = constructionManager.builderOf(town.site);

    order(INTRUDER, row.type, row.intruders);
    EXPECT_EQ(worldChecksum(), before) << "no order, no cost, no unit moved";
    EXPECT_EQ(loggedCount(), 0u) << "a refused order is not recorded as carried out";
    EXPECT_EQ(activityQueue.size(), feed);
    EXPECT_EQ(constructionManager.builderOf(town.site), ownersBuilder);

    // The same order from the owner is carried out, so the refusal above came from the ownership alone.
    order(OWNER, row.type, row.owners ? row.owners : row.intruders);
    EXPECT_EQ(loggedCount(), 1u) << "the owner's own order is carried out";
}

const ForeignOrder foreignOrders[] = {
    {"Move", CommandType::Move, [](const Town& t) -> Order { return MoveCommand{{t.worker}, 40, 40, false}; }, nullptr},
    {"Mine", CommandType::Mine, [](const Town& t) -> Order { return MineCommand{t.worker, 0, 0, t.crystal}; }, nullptr},
    {"PlaceBuilding", CommandType::PlaceBuildingDown,
     [](const Town& t) -> Order { return PlaceBuildingDownCommand{"Farm", 4, 12, t.worker}; }, nullptr},
    {"Train", CommandType::TrainUnit,
     [](const Town& t) -> Order { return TrainUnitCommand{t.barracks, "Marine"}; }, nullptr},
    {"Attack", CommandType::Attack,
     [](const Town& t) -> Order { return AttackCommand{t.worker, t.theirSoldier}; }, nullptr},
    {"RallyPoint", CommandType::SetRallyPoint,
     [](const Town& t) -> Order { return SetRallyPointCommand{t.barracks, 30, 30}; }, nullptr},
    {"BoardWithTheirUnit", CommandType::CarrierPickUp,
     [](const Town& t) -> Order { return CarrierPickUpCommand{t.worker, t.carrier}; }, nullptr},
    {"BoardTheirCarrier", CommandType::CarrierPickUp,
     [](const Town& t) -> Order { return CarrierPickUpCommand{t.theirWorker, t.carrier}; },
     [](const Town& t) -> Order { return CarrierPickUpCommand{t.worker, t.carrier}; }},
    {"DropOff", CommandType::CarrierDropOff,
     [](const Town& t) -> Order { return CarrierDropOffCommand{t.rider, t.carrier}; }, nullptr},
    {"CastSpell", CommandType::CastSpell,
     [](const Town& t) -> Order { return CastSpellCommand{t.worker, 0, 10 * 140, 10 * 140, "Slow", false}; }, nullptr},
    {"StopProduction", CommandType::StopProduction,
     [](const Town& t) -> Order { return StopProductionCommand{t.barracks, 0}; }, nullptr},
    {"StopConstruction", CommandType::StopConstruction,
     [](const Town& t) -> Order { return StopConstructionCommand{t.site}; }, nullptr},
    {"Research", CommandType::ResearchUpgrade,
     [](const Town& t) -> Order { return ResearchUpgradeCommand{t.barracks, "Armor2"}; }, nullptr},
    {"AttackMove", CommandType::AttackMove,
     [](const Town& t) -> Order { return AttackMove{t.worker, 40, 40, false}; }, nullptr},
    {"PickUp", CommandType::PickUp, [](const Town& t) -> Order { return PickUpCommand{t.worker, t.item}; }, nullptr},
    {"Hold", CommandType::Hold, [](const Town& t) -> Order { return HoldCommand{{t.worker}}; }, nullptr},
    {"Stop", CommandType::Stop, [](const Town& t) -> Order { return StopCommand{{t.worker}}; }, nullptr},
    {"ConstructWithTheirWorker", CommandType::Construct,
     [](const Town& t) -> Order { return ConstructCommand{t.worker, t.site}; }, nullptr},
    {"ConstructTheirSite", CommandType::Construct,
     [](const Town& t) -> Order { return ConstructCommand{t.theirWorker, t.site}; },
     [](const Town& t) -> Order { return ConstructCommand{t.worker, t.site}; }},
};

INSTANTIATE_TEST_SUITE_P(EveryOrderType, OrdersOfAnotherPlayer, ::testing::ValuesIn(foreignOrders),
                         [](const ::testing::TestParamInfo<ForeignOrder>& info) { return info.param.name; });

}  // namespace
