// Extraction items as the player meets them in a mission: picked up once, dropped where a carrier falls whatever
// took it, clicked only where they lie, and banked with the campaign when their carrier is extracted.
#include <gtest/gtest.h>

#include <optional>

#include "extraction_campaign.h"
#include "extraction_items.h"
#include "extraction_rules.h"
#include "events_iso.h"
#include "game_commands.h"
#include "game_session.h"
#include "map_objects.h"
#include "motion_world.h"
#include "sdl_draw.h"
#include "sdl_events.h"
#include "test_files.h"

namespace {

struct MissionItems : MotionWorld {
    void SetUp() override {
        MotionWorld::SetUp();
        mode = GameMode::Extraction;
        installHooks(HookStage::StartUp);
        clearMatchItems();
        items_info["Corpse"] = {"Corpse", "Corpse", ""};
        items_info["CryoPod"] = {"CryoPod", "Cryo Pod", ""};
        spellInfo["Bolt"].damage = 1000;
        unitSprites["Footman"].frameWidth = unitSprites["Footman"].frameHeight = 40;
        unitSprites["Footman"].scaleMultiplier = 1.0f;
    }
    void TearDown() override {
        ShowExtractPanel = nullptr;
        items_info.clear();
        item_sprites.clear();
        towers.clear();
        clearMatchItems();
        mode = GameMode::Skirmish;
        MotionWorld::TearDown();
    }

    static bool order(int player, int unitId, int itemId) {
        const bool wasPending = unit(unitId).pickUpPending;
        applyCommand(Command{CommandType::PickUp, player, PickUpCommand{unitId, itemId}}, grid, 0, false);
        return unit(unitId).pickUpPending && !wasPending;
    }
    // The corpse of an own unit fallen at the sub-tile; the item's id.
    static int fallen(V2i sub, int owner = LOCAL) {
        const int dead = place("Footman", owner, sub);
        spawn_corpse_item_on_unit_loss(unit(dead));
        addUnitForRemoval(dead);
        tick();
        return itemID - 1;
    }
    // A cryopod lying at the sub-tile's centre; the item's id.
    static int pod(V2i sub) {
        const int id = itemID++;
        items_map[id] = Item{id, "CryoPod", middleOf(sub.x), middleOf(sub.y), true, -1};
        items.push_back(id);
        return id;
    }
    static const std::vector<int>& carried(int unitId) {
        static const std::vector<int> none;
        const auto found = unit_items.find(unitId);
        return found == unit_items.end() ? none : found->second;
    }
    // Ticks until no unit has a pick-up open, at most limit.
    static void runUntilPickedUp(int limit) {
        for (int i = 0; i < limit; ++i) {
            bool open = false;
            for (const Unit& u : units) open = open || u.pickUpPending;
            if (!open) return;
            tick();
        }
    }
};

TEST_F(MissionItems, AnItemIsTakenOnceByTheFirstToReachItAndSlowsACorpseBearerOnce) {
    const int corpse = fallen({40, 40});
    const int far = place("Footman", LOCAL, {20, 40});
    const int near = place("Footman", LOCAL, {46, 40});
    const int pace = unit(near).speedPerTick;
    ASSERT_EQ(itemOnGround(corpse)->x, middleOf(40));

    EXPECT_TRUE(order(LOCAL, far, corpse));
    EXPECT_TRUE(order(LOCAL, near, corpse));
    runUntilPickedUp(600);
    EXPECT_EQ(carried(near), std::vector<int>{corpse});
    EXPECT_TRUE(carried(far).empty()) << "the one who came late finds nothing to take";
    EXPECT_FALSE(unit(far).pickUpPending);
    EXPECT_EQ(unit(far).pickUpItemId, -1);
    EXPECT_EQ(unit(near).speedPerTick, pace / 2);
    EXPECT_FALSE(itemOnGround(corpse).has_value());

    // Ordered again to what is now carried: the walk ends without taking it from its bearer.
    EXPECT_TRUE(order(LOCAL, far, corpse));
    runUntilPickedUp(600);
    EXPECT_EQ(carried(near), std::vector<int>{corpse});
    EXPECT_TRUE(carried(far).empty());
    EXPECT_EQ(unit(near).speedPerTick, pace / 2);
}

// Each corpse taken halves the bearer's pace, but a bearer that could walk always can: it still gets home.
TEST_F(MissionItems, CorpsesSlowTheirBearerButNeverStopIt) {
    const struct {
        int pace;
        int corpses;
        int slowed;
    } cases[] = {{3, 1, 1}, {3, 2, 1}, {8, 2, 2}, {1, 1, 1}, {2, 3, 1}};
    for (const auto& c : cases) {
        const int bearer = place("Footman", LOCAL, {30, 30});
        unit(bearer).speedPerTick = c.pace;
        for (int i = 0; i < c.corpses; ++i) {
            const int corpse = fallen({30 + 2 * i, 32});
            ASSERT_TRUE(order(LOCAL, bearer, corpse));
            runUntilPickedUp(900);
        }
        ASSERT_EQ(carried(bearer).size(), static_cast<size_t>(c.corpses)) << c.pace;
        EXPECT_EQ(unit(bearer).speedPerTick, c.slowed) << c.pace << " with " << c.corpses;
        walkTo(bearer, {30, 50});
        EXPECT_LE(runUntilStill(2000), 2000) << c.pace << " with " << c.corpses << ": the bearer never got home";
        EXPECT_EQ(subTileOf(bearer), (V2i{30, 50}));
        addUnitForRemoval(bearer);
        tick();
    }
}

PointerView pointer{0.0f, 0.0f, 1280.0f, 720.0f};

// The player's road to an item: a right press on it with units selected.
struct ClickedItems : MissionItems {
    PointerView (*savedPointer)() = nullptr;

    static void SetUpTestSuite() { ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError(); }
    static void TearDownTestSuite() { SDL_QuitSubSystem(SDL_INIT_EVENTS); }
    void SetUp() override {
        MissionItems::SetUp();
        savedPointer = readPointerView;
        readPointerView = [] { return pointer; };
        eventHandler = IsoEventHandler{};
        lockstep = LockstepManager{};
        camera = Camera{};
        FOG = false;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override {
        readPointerView = savedPointer;
        clearUnitSelection();
        MissionItems::TearDown();
    }
    // A right press on the world point, with the view centred on it.
    static void rightPressOn(SDL_FPoint world) {
        const SDL_FPoint iso = worldToIso(world);
        camera.centerX = iso.x;
        camera.centerY = iso.y;
        const SDL_FPoint at = worldToScreen(world);
        pointer.mouseX = at.x;
        pointer.mouseY = at.y;
        SDL_Event e = press(at.x, at.y, SDL_BUTTON_RIGHT);
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
        eventHandler.handleGameEvents(grid);
    }
    static std::vector<PickUpCommand> pickUps() {
        std::vector<PickUpCommand> found;
        for (const Command& c : lockstep.pendingCommands)
            if (const auto* p = std::get_if<PickUpCommand>(&c.payload)) found.push_back(*p);
        return found;
    }
    // The turn's orders applied, as every peer applies them.
    static void applyTurn() {
        for (const Command& c : lockstep.pendingCommands) applyCommand(c, grid, 0, false);
        lockstep.pendingCommands.clear();
    }
};

TEST_F(ClickedItems, ARightPressOnAnOwnCorpseSendsEachOwnSelectedUnitAndTheFirstThereTakesIt) {
    const int corpse = fallen({40, 40});
    const int near = place("Footman", LOCAL, {52, 40});
    const int far = place("Footman", LOCAL, {20, 20});
    const int stranger = place("Footman", ENEMY, {60, 60});
    for (const int id : {far, stranger, near}) addToSelection(id);

    rightPressOn({items_map.at(corpse).x, items_map.at(corpse).y});
    const std::vector<PickUpCommand> sent = pickUps();
    ASSERT_EQ(sent.size(), 2u) << "one order for each own selected unit";
    EXPECT_EQ(sent[0].unitId, far);
    EXPECT_EQ(sent[1].unitId, near);
    EXPECT_EQ(sent[0].itemId, corpse);
    EXPECT_TRUE(itemOnGround(corpse).has_value()) << "nothing is taken before the turn";

    applyTurn();
    runUntilPickedUp(900);
    EXPECT_EQ(carried(near), std::vector<int>{corpse});
    EXPECT_TRUE(carried(far).empty());
}

TEST_F(ClickedItems, AnotherPlayersCorpseOrACorpseWithoutItsDeadIsGroundToWalkTo) {
    const struct {
        const char* name;
        int owner;
        bool keepDead;
    } cases[] = {{"an enemy's corpse", ENEMY, true}, {"a corpse whose dead is missing", LOCAL, false}};
    for (const auto& c : cases) {
        const int corpse = fallen({40, 40}, c.owner);
        if (!c.keepDead) items_map.at(corpse).graveyardIndex = static_cast<int>(graveyard.size()) + 3;
        const int walker = place("Footman", LOCAL, {20, 20});
        clearUnitSelection();
        addToSelection(walker);
        rightPressOn({items_map.at(corpse).x, items_map.at(corpse).y});
        EXPECT_TRUE(pickUps().empty()) << c.name;
        ASSERT_EQ(lockstep.pendingCommands.size(), 1u) << c.name;
        EXPECT_EQ(lockstep.pendingCommands[0].type, CommandType::Move) << c.name;
        lockstep.pendingCommands.clear();
        addUnitForRemoval(walker);
        tick();
    }
}

// Whatever takes a carrier, what it carried comes to lie where it fell, once, for another to pick up.
TEST_F(MissionItems, ACarriersItemsLieWhereItFellWhateverTookIt) {
    const int tower = nextAttackableId++;
    Building b;
    b.id = tower;
    b.type = "Tower";
    b.playerId = ENEMY;
    b.x = b.y = 1;
    b.wTiles = b.hTiles = 1;
    b.completed = true;
    b.hp = b.maxHp = 100.0f;
    addBuilding(b);
    towers.push_back(Tower{tower, 1.0f, 1000, 0.0f, 60.0f, -1});
    const int striker = place("Footman", ENEMY, {60, 60});
    unit(striker).damage = 1000;

    const struct {
        const char* name;
        std::function<void(Unit&)> take;
        size_t corpses;  // of the carrier itself
    } cases[] = {
        {"an enemy's swing", [&](Unit& u) { applyAttackDamage(&unit(striker), &u, grid); }, 1},
        {"a tower's shot", [&](Unit& u) { applyAttackDamage(getAttackableById(tower), &u, grid); }, 0},
        {"a spell", [](Unit& u) { applySpellAttackDamage("Bolt", &u, grid); }, 0},
        {"a script", [](Unit& u) { addUnitForRemoval(u.id); }, 0},
    };
    for (const auto& c : cases) {
        const int bearer = place("Footman", LOCAL, {30, 30});
        const int first = pod({30, 30});
        const int second = pod({31, 30});
        ASSERT_EQ(takeItem(bearer, first), "CryoPod");
        ASSERT_EQ(takeItem(bearer, second), "CryoPod");
        unit_items[bearer].push_back(4242);  // an id whose item is gone
        standOn(bearer, {34, 33});
        const size_t before = items_map.size();

        c.take(unit(bearer));
        tick();
        ASSERT_EQ(getUnitById(bearer), nullptr) << c.name;
        EXPECT_EQ(unit_items.count(bearer), 0u) << c.name;
        EXPECT_EQ(items_map.size(), before + c.corpses) << c.name << ": nothing doubled, nothing made up";
        for (const int id : {first, second}) {
            const std::optional<SDL_FPoint> at = itemOnGround(id);
            ASSERT_TRUE(at.has_value()) << c.name << ": item " << id << " was lost with its carrier";
            EXPECT_FLOAT_EQ(at->x, middleOf(34)) << c.name;
            EXPECT_FLOAT_EQ(at->y, middleOf(33)) << c.name;
        }
        const int finder = place("Footman", LOCAL, {36, 33});
        EXPECT_TRUE(order(LOCAL, finder, first)) << c.name;
        runUntilPickedUp(300);
        EXPECT_EQ(carried(finder), std::vector<int>{first}) << c.name;
        addUnitForRemoval(finder);
        tick();
    }
}

TEST_F(MissionItems, APickUpOfAnItemGoneOrNotTheOrderersIsRefusedOrEndsEmptyHanded) {
    const int runner = place("Footman", LOCAL, {10, 10});
    const int theirs = fallen({20, 10}, ENEMY);
    const int vanishing = pod({30, 10});

    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(order(LOCAL, runner, 9999)) << "an id that never existed";
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("9999"), std::string::npos) << errors;
    EXPECT_FALSE(order(LOCAL, runner, theirs)) << "the corpse of another player's unit";
    EXPECT_FALSE(order(ENEMY, runner, vanishing)) << "another player's unit";
    EXPECT_TRUE(unit(runner).waypoints.empty());

    EXPECT_TRUE(order(LOCAL, runner, vanishing));
    run(5);
    items_map.erase(vanishing);  // the item no longer exists while the unit walks to it
    tick();
    EXPECT_FALSE(unit(runner).pickUpPending);
    EXPECT_EQ(unit(runner).pickUpItemId, -1);
    runUntilStill(600);
    EXPECT_TRUE(carried(runner).empty());
}

// A click finds an item only where it lies and only when its picture is known.
TEST_F(MissionItems, AnItemIsHitOnlyWhileOnTheGroundWithAKnownPicture) {
    item_sprites["CryoPod"].frameWidth = item_sprites["CryoPod"].frameHeight = 20;
    const int corpse = fallen({20, 20});
    const Item lying = items_map.at(corpse);
    const SDL_FPoint on{lying.x, lying.y};
    const struct {
        const char* name;
        std::function<void(Item&)> change;
        bool hit;
    } cases[] = {
        {"a corpse of a known unit", [](Item&) {}, true},
        {"a corpse carried", [](Item& i) { i.onGround = false; }, false},
        {"a corpse without its dead", [](Item& i) { i.graveyardIndex = -1; }, false},
        {"a corpse past the graveyard", [](Item& i) { i.graveyardIndex = static_cast<int>(graveyard.size()); }, false},
        {"a corpse of a unit without a picture",
         [](Item&) { graveyard.back().type = "Nameless"; }, false},
        {"a cryopod", [](Item& i) { i.type = "CryoPod"; }, true},
        {"an unknown item type", [](Item& i) { i.type = "Relic"; }, false},
    };
    for (const auto& c : cases) {
        Item item = lying;
        graveyard.back().type = "Footman";
        c.change(item);
        EXPECT_EQ(itemContains(item, on), c.hit) << c.name;
    }
}

TEST_F(MissionItems, ADeathWithoutACorpseInTheCatalogueLeavesNoItemAndSaysWhy) {
    items_info.erase("Corpse");
    const int victim = place("Footman", LOCAL, {20, 20});
    ::testing::internal::CaptureStderr();
    spawn_corpse_item_on_unit_loss(unit(victim));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[Items] Unknown item type: Corpse\n");
    EXPECT_TRUE(items_map.empty());
    EXPECT_TRUE(graveyard.empty());
    EXPECT_EQ(itemID, 0);
}

// Two fallen and a cryopod carried home by the one who picked them up after their first bearer fell: each dead is
// listed once and the cryopod is kept.
TEST_F(MissionItems, CorpsesPassedFromAFallenBearerAreBankedOnceWithTheOneWhoExtracts) {
    TempDir dir;
    extractionSaveFolder = dir.path.string() + "/";
    extraction_filename = "items.bin";
    extraction_options.assign(1, ExtractionNode{});
    deploymentSelectedMapId = 0;
    shipRoster.clear();
    MapObject point;
    point.id = 7;
    point.type = "ExtractionPoint";
    point.tileX = point.tileY = 14;
    mapObjects.push_back(point);
    extractionsMapObjectId = 7;

    global_cryppod_count = 0;
    const int scout = fallen({20, 20});
    graveyard.back().nickname = "Scout";
    const int cryopod = pod({22, 22});
    const int bearer = place("Footman", LOCAL, {24, 20});
    unit(bearer).nickname = "Bearer";
    for (const int id : {scout, cryopod}) {
        ASSERT_TRUE(order(LOCAL, bearer, id));
        runUntilPickedUp(300);
    }
    ASSERT_EQ(carried(bearer), (std::vector<int>{scout, cryopod}));
    const int striker = place("Footman", ENEMY, {26, 20});
    unit(striker).damage = 1000;
    applyAttackDamage(&unit(striker), &unit(bearer), grid);
    addUnitForRemoval(striker);
    tick();
    const int bearerCorpse = itemID - 1;

    const int last = place("Footman", LOCAL, {28, 24});
    unit(last).nickname = "Last";
    for (const int id : {scout, cryopod, bearerCorpse}) {
        ASSERT_TRUE(order(LOCAL, last, id));
        runUntilPickedUp(600);
    }
    ASSERT_EQ(carried(last), (std::vector<int>{scout, cryopod, bearerCorpse}));
    standOn(last, {14 * 4 + 2, 14 * 4 + 2});

    ASSERT_TRUE(extract());
    EXPECT_EQ(shipRoster, (std::vector<UnitSaveData>{{"Footman", "Scout", 1, 0, 0, false},
                                                     {"Footman", "Bearer", 1, 0, 0, false},
                                                     {"Footman", "Last", 1, 0, 0, true}}));
    EXPECT_EQ(global_cryppod_count, 1) << "the cryopod is kept with the reloaded campaign";
    extraction_options.clear();
    deploymentSelectedMapId = -1;
    extractionSaveFolder = "./saves/extraction/";
    extraction_filename.clear();
    global_cryppod_count = 0;
    resetExtractionData();
    load_roster("");
}

}  // namespace
