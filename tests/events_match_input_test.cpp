// Match input: mouse orders, selection, placement, keys, control groups and the refusal of others' orders.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "economy_world.h"
#include "events_iso.h"
#include "game.h"
#include "game_replay.h"
#include "hotkeys.h"
#include "hud.h"
#include "input_state.h"
#include "lockstep.h"
#include "map_objects.h"
#include "sdl_draw.h"
#include "spells.h"

namespace {

PointerView injectedPointer{640, 360, 1280, 720};
uint32_t injectedMs = 10000;

struct MatchInput : EconomyWorld {
    static void SetUpTestSuite() { ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError(); }
    static void TearDownTestSuite() { SDL_QuitSubSystem(SDL_INIT_EVENTS); }

    void SetUp() override {
        EconomyWorld::SetUp();
        addOwners(1, 2, 3);
        for (const char* type : {"Soldier", "Worker", "Civilian"}) {
            addUnitType(type, "human", 0, 0, 0, 1.0f);
            // A 28-pixel hit box centred on the unit's point.
            unitSprites[type].scaleMultiplier = 0.2f;
        }
        unitInfo["Worker"].worker = true;
        unitInfo["Civilian"].civilian = true;
        camera = Camera{};
        centreOn({10 * 140.0f, 10 * 140.0f});
        savedPointer = readPointerView;
        savedTicks = inputTicks;
        readPointerView = [] { return injectedPointer; };
        inputTicks = [] { return injectedMs; };
        injectedMs = 10000;
        eventHandler = IsoEventHandler{};
        lockstep = LockstepManager{};
        chatActive = placingBuilding = dragging = isPotentiallyDragging = paused = false;
        chatInput.clear();
        shift = ctrl = false;
        FOG = false;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override {
        readPointerView = savedPointer;
        inputTicks = savedTicks;
        clearUnitSelection();
        clearBuildingSelection();
        unitSprites.clear();
        mode = GameMode::Skirmish;
        EconomyWorld::TearDown();
    }

    static void centreOn(SDL_FPoint world) {
        const SDL_FPoint iso = worldToIso(world);
        camera.centerX = iso.x;
        camera.centerY = iso.y;
    }

    static SDL_FPoint screenOf(SDL_FPoint world) { return worldToScreen(world); }
    static SDL_FPoint screenOfUnit(int id) { return screenOf(getUnitById(id)->getWorldPos()); }

    static void pointAt(SDL_FPoint p) {
        injectedPointer.mouseX = p.x;
        injectedPointer.mouseY = p.y;
    }

    static void push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }

    static void mouse(Uint32 type, Uint8 button, SDL_FPoint at) {
        pointAt(at);
        SDL_Event e{};
        e.type = type;
        e.button.button = button;
        e.button.x = static_cast<Sint32>(at.x);
        e.button.y = static_cast<Sint32>(at.y);
        push(e);
        eventHandler.handleGameEvents(grid);
    }
    static void click(Uint8 button, SDL_FPoint at) {
        mouse(SDL_MOUSEBUTTONDOWN, button, at);
        mouse(SDL_MOUSEBUTTONUP, button, at);
    }
    static void drag(SDL_FPoint from, SDL_FPoint to) {
        mouse(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, from);
        mouse(SDL_MOUSEMOTION, 0, to);
        mouse(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, to);
    }

    static void key(SDL_Keycode sym, Uint32 type = SDL_KEYDOWN) {
        SDL_Event e{};
        e.type = type;
        e.key.keysym.sym = sym;
        push(e);
        eventHandler.handleGameEvents(grid);
    }
    static void tap(SDL_Keycode sym) {
        key(sym);
        key(sym, SDL_KEYUP);
    }
    static void type(const char* text) {
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        SDL_strlcpy(e.text.text, text, sizeof(e.text.text));
        push(e);
        eventHandler.handleGameEvents(grid);
    }

    static int unitAt(const std::string& type, V2i sub, int owner = 1) { return addUnitAt(type, sub, owner); }
    static void select(std::initializer_list<int> ids) {
        clearUnitSelection();
        for (int id : ids) addToSelection(id);
    }

    static std::vector<Command>& queued() { return lockstep.pendingCommands; }

    PointerView (*savedPointer)() = nullptr;
    uint32_t (*savedTicks)() = nullptr;
};

TEST_F(MatchInput, ScreenToWorldInvertsTheDrawingProjection) {
    camera.zoom = 1.5f;
    for (SDL_FPoint w : {SDL_FPoint{0, 0}, SDL_FPoint{1400, 700}, SDL_FPoint{333.5f, 2801}}) {
        const SDL_FPoint back = eventHandler.screenToWorld(worldToScreen(w));
        EXPECT_NEAR(back.x, w.x, 0.01f);
        EXPECT_NEAR(back.y, w.y, 0.01f);
    }
}

TEST_F(MatchInput, RightPressOnOpenGroundMovesTheOwnSelectionToTheSubTileRaisedGroundShifted) {
    const int a = unitAt("Soldier", {38, 38});
    const int b = unitAt("Soldier", {39, 38});
    const int enemy = unitAt("Soldier", {40, 38}, 2);
    const struct {
        uint8_t height;
        int shift;
    } cases[] = {{0, 0}, {1, 4}};
    for (const auto& c : cases) {
        queued().clear();
        select({a, enemy, b});
        grid.at(12, 12).heightLevel = c.height;
        // The pointer on tile (12, 12): raised ground is drawn half a tile higher.
        const SDL_FPoint on = screenOf({12.5f * 140, 12.5f * 140});
        const SDL_FPoint at{on.x, on.y - (c.height ? 70.0f : 0.0f)};
        mouse(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, at);
        const SDL_FPoint w = eventHandler.screenToWorld(at);
        ASSERT_EQ(queued().size(), 1u) << "height " << int(c.height);
        const Command& cmd = queued()[0];
        EXPECT_EQ(cmd.type, CommandType::Move);
        EXPECT_EQ(cmd.player, 1);
        const auto& move = std::get<MoveCommand>(cmd.payload);
        EXPECT_EQ(move.unitIds, (std::vector<int>{a, b}));
        EXPECT_EQ(move.x, static_cast<int>(w.x / 35 + c.shift));
        EXPECT_EQ(move.y, static_cast<int>(w.y / 35 + c.shift));
    }
}

TEST_F(MatchInput, RightPressOnACrystalFieldMinesWithEachOwnWorkerAndOnAnEnemyAttacks) {
    mapObjectInfo["Crystal"].harvestable = true;
    MapObject crystal;
    crystal.id = 500;
    crystal.type = "Crystal";
    crystal.tileX = crystal.tileY = 13;
    crystal.wTiles = crystal.hTiles = 1;
    mapObjects.push_back(crystal);
    mapObjectIdToIndex[500] = 0;
    objectGrid[{13, 13}] = {500};
    const int w1 = unitAt("Worker", {38, 38});
    const int w2 = unitAt("Worker", {39, 38});
    const int enemyWorker = unitAt("Worker", {40, 38}, 2);
    select({w2, enemyWorker, w1});
    mouse(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, screenOf({13.5f * 140, 13.5f * 140}));
    ASSERT_EQ(queued().size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(queued()[i].type, CommandType::Mine);
        const auto& mine = std::get<MineCommand>(queued()[i].payload);
        EXPECT_EQ(mine.unitId, i == 0 ? w1 : w2);
        EXPECT_EQ(mine.mapObjectId, 500);
        EXPECT_EQ(mine.targetX, 13);
    }

    queued().clear();
    const int foe = unitAt("Soldier", {44, 44}, 2);
    mouse(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, screenOfUnit(foe));
    ASSERT_EQ(queued().size(), 2u);
    for (const Command& cmd : queued()) {
        EXPECT_EQ(cmd.type, CommandType::Attack);
        EXPECT_EQ(std::get<AttackCommand>(cmd.payload).targetId, foe);
    }
}

TEST_F(MatchInput, ABoxTakesSoldiersBeforeWorkersBeforeCivilians) {
    const struct {
        std::vector<std::string> present;
        std::string taken;
    } cases[] = {
        {{"Civilian", "Worker", "Soldier"}, "Soldier"},
        {{"Civilian", "Worker"}, "Worker"},
        {{"Civilian"}, "Civilian"},
    };
    int row = 30;
    for (const auto& c : cases) {
        std::vector<int> ids;
        int column = 36;
        row += 8;
        for (const std::string& type : c.present) ids.push_back(unitAt(type, {column += 2, row}));
        const SDL_FPoint first = screenOfUnit(ids.front());
        const SDL_FPoint last = screenOfUnit(ids.back());
        drag({std::min(first.x, last.x) - 20, std::min(first.y, last.y) - 20},
             {std::max(first.x, last.x) + 20, std::max(first.y, last.y) + 20});
        ASSERT_EQ(selectedUnits.size(), 1u) << c.taken;
        EXPECT_EQ(getUnitById(selectedUnits[0])->type, c.taken);
        EXPECT_FALSE(dragging);
    }
}

TEST_F(MatchInput, ASecondClickWithin300MsSelectsEveryUnitOfItsTypeInView) {
    const int worker = unitAt("Worker", {38, 38});
    const int s1 = unitAt("Soldier", {42, 42});
    const int s2 = unitAt("Soldier", {36, 44});
    for (uint32_t gap : {301u, 299u}) {
        injectedMs += 5000;
        click(SDL_BUTTON_LEFT, screenOfUnit(worker));
        injectedMs += gap;
        click(SDL_BUTTON_LEFT, screenOfUnit(s1));
        std::vector<int> expected{s1};
        if (gap < 300) expected.push_back(s2);
        std::vector<int> got = selectedUnits;
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, expected) << gap << " ms";
    }
}

TEST_F(MatchInput, PlacementIsRefusedOnAnUnwalkableAnchorAndWithoutTheRequiredEffect) {
    addBuildingType("Farm", 2, 2, 0, 0, 1.0f);
    const int worker = unitAt("Worker", {20, 20});
    select({worker});
    placingBuilding = true;
    ghostBuildingType = "Farm";
    // The ghost's anchor follows the pointer: the footprint's centre lies under it.
    const SDL_FPoint over = screenOf({15 * 140.0f, 15 * 140.0f});
    grid.at(14, 14).walkable = 0;
    mouse(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, over);
    EXPECT_EQ(ghostTile, (V2i{14, 14}));
    EXPECT_TRUE(queued().empty());
    EXPECT_EQ(sounds, (std::vector<std::string>{"Error"}));

    grid.at(14, 14).walkable = 1;
    buildingInfo["Farm"].requiresEffect = "Blight";
    SDL_Event later{};
    later.type = SDL_KEYUP;
    pointAt(over);
    SDL_Event press{};
    press.type = SDL_MOUSEBUTTONDOWN;
    press.button.button = SDL_BUTTON_LEFT;
    push(press);
    push(later);
    ::testing::internal::CaptureStderr();
    eventHandler.handleGameEvents(grid);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Cannot build Farm \xE2\x80\x94 missing effect Blight\n");
    EXPECT_TRUE(queued().empty());
    // The refusal ends the frame's input: the next event waits for the next frame.
    EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT), 1);

    buildingInfo["Farm"].requiresEffect.reset();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    mouse(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, over);
    ASSERT_EQ(queued().size(), 1u);
    EXPECT_EQ(std::get<PlaceBuildingDownCommand>(queued()[0].payload).unitId, worker);
}

// The MENU press opens the menu; a dialog button that hides the menu takes its press. Neither release is a
// click on the map: the selection stays and the unit beneath is not taken.
TEST_F(MatchInput, APressTakenByTheMenuButtonOrADialogLeavesTheSelectionAsItWas) {
    const int chosen = unitAt("Soldier", {38, 38});
    const int beneath = unitAt("Soldier", {46, 46});
    const SDL_FPoint under = screenOfUnit(beneath);
    const SDL_FRect menuRect = gameMenu.rect;
    const auto openMenuButton = [] {
        initMenuButton();
        gameMenu.clear();
        gameMenu.rect = SDL_FRect{515, 185, 250, 350};
    };
    const auto openClosingDialog = [under] {
        gameMenu.clear();
        gameMenu.rect = SDL_FRect{under.x - 100, under.y - 100, 200, 200};
        gameMenu.add<Button>(SDL_FRect{under.x - 50, under.y - 15, 100, 30}, "Save", [] { gameMenu.hide(); });
        gameMenu.show();
    };
    const struct {
        const char* what;
        std::function<void()> open;
        SDL_FPoint at;
        bool menuShown;
    } cases[] = {
        {"MENU", openMenuButton, {60, 15}, true},
        {"a dialog button over a unit", openClosingDialog, under, false},
    };
    for (const auto& c : cases) {
        select({chosen});
        c.open();
        click(SDL_BUTTON_LEFT, c.at);
        EXPECT_EQ(selectedUnits, (std::vector<int>{chosen})) << c.what;
        EXPECT_EQ(gameMenu.isVisible(), c.menuShown) << c.what;
    }
    gameMenu.clear();
    gameMenu.rect = menuRect;
    menuButton = Button{};
}

TEST_F(MatchInput, HoldAndStopAreOrdersForTheOwnSelectionAndChatTypingIsNoOrder) {
    const int own = unitAt("Soldier", {38, 38});
    const int enemy = unitAt("Soldier", {40, 38}, 2);
    select({enemy, own});
    tap(SDLK_h);
    tap(SDLK_s);
    ASSERT_EQ(queued().size(), 2u);
    EXPECT_EQ(queued()[0].type, CommandType::Hold);
    EXPECT_EQ(std::get<HoldCommand>(queued()[0].payload).unitIds, std::vector<int>{own});
    EXPECT_EQ(queued()[1].type, CommandType::Stop);
    EXPECT_EQ(std::get<StopCommand>(queued()[1].payload).unitIds, std::vector<int>{own});
    // Nothing changed yet: the orders act when their turn is applied.
    EXPECT_NE(getUnitById(own)->state, UnitState::HoldPosition);

    queued().clear();
    tap(SDLK_RETURN);
    key(SDLK_h);
    type("h");
    key(SDLK_h, SDL_KEYUP);
    EXPECT_TRUE(queued().empty());
    EXPECT_EQ(chatInput, "h");
    tap(SDLK_RETURN);
    ASSERT_EQ(queued().size(), 1u);
    EXPECT_EQ(std::get<ChatMessageCommand>(queued()[0].payload).message, "h");
    EXPECT_FALSE(chatActive);
}

TEST_F(MatchInput, ShiftDigitStoresDigitRecallsAndASecondPressWithinHalfASecondCentresTheCamera) {
    const int a = unitAt("Soldier", {60, 20});
    const int b = unitAt("Soldier", {62, 20});
    select({a, b});
    key(SDLK_LSHIFT);
    tap(SDLK_3);
    key(SDLK_LSHIFT, SDL_KEYUP);
    clearUnitSelection();
    const Camera before = camera;
    tap(SDLK_3);
    EXPECT_EQ(selectedUnits, (std::vector<int>{a, b}));
    EXPECT_EQ(camera.centerX, before.centerX);
    injectedMs += 499;
    tap(SDLK_3);
    const SDL_FPoint unitIso = worldToIso(getUnitById(a)->getWorldPos());
    EXPECT_NEAR(camera.centerX, unitIso.x, 0.01f);
    EXPECT_NEAR(camera.centerY, unitIso.y, 0.01f);
}

TEST_F(MatchInput, ReplaySpeedDoublesToSixteenAndPauseKeyQueuesPauseThenResume) {
    mode = GameMode::Replay;
    replaySpeed = 1;
    std::vector<int> speeds;
    for (int i = 0; i < 5; ++i) {
        tap(SDLK_EQUALS);
        speeds.push_back(replaySpeed);
    }
    EXPECT_EQ(speeds, (std::vector<int>{2, 4, 8, 16, 16}));
    replaySpeed = 1;
    tap(SDLK_MINUS);
    EXPECT_EQ(replaySpeed, 1);
    // Just beyond the bar's right edge is outside it.
    replay_bar = SDL_Rect{100, 100, 200, 10};
    replayPaused = false;
    click(SDL_BUTTON_LEFT, {300, 105});
    EXPECT_FALSE(replayPaused);

    mode = GameMode::Skirmish;
    initHotkeys();
    tap(SDLK_p);
    ASSERT_EQ(queued().size(), 1u);
    EXPECT_EQ(queued()[0].type, CommandType::PauseGame);
    applyLiveTurn(queued(), grid, 0);
    queued().clear();
    tap(SDLK_p);
    ASSERT_EQ(queued().size(), 1u);
    EXPECT_EQ(queued()[0].type, CommandType::ResumeGame);
}

TEST_F(MatchInput, NoOrderIsSentForAnotherPlayersUnitsAndApplyRefusesOne) {
    const int enemy = unitAt("Soldier", {40, 38}, 2);
    const int target = unitAt("Soldier", {44, 44}, 1);
    select({enemy});
    mouse(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, screenOf({12.5f * 140, 12.5f * 140}));
    mouse(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, screenOfUnit(target));
    tap(SDLK_h);
    EXPECT_TRUE(queued().empty());

    const int site = placeBuilding("Farm", 2, 2, 2, 2, 2);
    const Command foreign[] = {
        {CommandType::Move, 1, MoveCommand{{enemy}, 10, 10, false}},
        {CommandType::Attack, 1, AttackCommand{enemy, target}},
        {CommandType::AttackMove, 1, AttackMove{enemy, 10, 10, false}},
        {CommandType::Hold, 1, HoldCommand{{enemy}}},
        {CommandType::SetRallyPoint, 1, SetRallyPointCommand{site, 3, 3}},
        {CommandType::Construct, 1, ConstructCommand{enemy, site}},
    };
    for (const Command& cmd : foreign) {
        const uint64_t before = worldChecksum();
        applyCommand(cmd, grid, 0, false);
        EXPECT_EQ(worldChecksum(), before) << static_cast<int>(cmd.type);
    }
    Command own = foreign[0];
    own.player = 2;
    const uint64_t before = worldChecksum();
    applyCommand(own, grid, 0, false);
    EXPECT_NE(worldChecksum(), before);
}

}  // namespace
