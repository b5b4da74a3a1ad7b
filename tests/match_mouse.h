// The player's mouse on the fight map: the fixture that presses what the HUD drew and follows the orders through
// the local turn step.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "construction-manager.h"
#include "events_iso.h"
#include "fog.h"
#include "game_loop.h"
#include "game_session.h"
#include "hud_scene.h"
#include "input_state.h"
#include "lockstep.h"
#include "sounds.h"
#include "spells.h"

namespace match_mouse {


using namespace hud_scene;

inline PointerView pointerView{0, 0, 1280, 720};
inline uint32_t clockMs = 100000;

constexpr int LOCAL = 1;
constexpr int ENEMY = 2;

struct MouseOrders : SceneTest {
    PointerView (*savedPointer)() = nullptr;
    uint32_t (*savedTicks)() = nullptr;
    float savedDt = dt;
    bool savedAI = AI;
    Player* local = nullptr;
    // Open ground beside the base, in the middle of the view.
    V2i near{0, 0};

    static void SetUpTestSuite() { ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError(); }
    static void TearDownTestSuite() { SDL_QuitSubSystem(SDL_INIT_EVENTS); }

    void SetUp() override {
        SceneTest::SetUp();
        if (IsSkipped()) return;
        ASSERT_TRUE(scene::startFight(false));
        mode = GameMode::Skirmish;
        AI = false;
        savedPointer = readPointerView;
        savedTicks = inputTicks;
        readPointerView = [] { return pointerView; };
        inputTicks = [] { return clockMs; };
        clockMs += 10000;
        eventHandler = IsoEventHandler{};
        lockstep = LockstepManager{};
        placingBuilding = dragging = isPotentiallyDragging = paused = chatActive = GOD_MODE = false;
        shift = ctrl = false;
        selectedSpell.clear();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        local = getPlayerById(LOCAL);
        local->resources[RESOURCE_GOLD] = local->resources[RESOURCE_WOOD] = 1000;
        near = {local->baseTile.x + 4, local->baseTile.y};
        lookAt(near);
    }
    void TearDown() override {
        soundPlayer = nullptr;
        readPointerView = savedPointer;
        inputTicks = savedTicks;
        dt = savedDt;
        AI = savedAI;
        GOD_MODE = placingBuilding = false;
        selectedSpell.clear();
        FOG = false;
        DrawFog = noopFog;
        SceneTest::TearDown();
    }

    // A whole frame as the match draws it: the HUD's buttons and the minimap are where the next presses find them.
    static void drawPanels() {
        DrawHUD = drawHUD;
        scene::drawFrame();
        DrawHUD = nullptr;
    }

    static void send(Uint32 type, Uint8 button, SDL_FPoint at) {
        pointerView.mouseX = at.x;
        pointerView.mouseY = at.y;
        SDL_Event e{};
        e.type = type;
        e.button.button = button;
        e.button.x = static_cast<Sint32>(at.x);
        e.button.y = static_cast<Sint32>(at.y);
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
        eventHandler.handleGameEvents(grid);
    }
    static void click(SDL_FPoint at, Uint8 button = SDL_BUTTON_LEFT) {
        send(SDL_MOUSEBUTTONDOWN, button, at);
        send(SDL_MOUSEBUTTONUP, button, at);
    }
    static void clickOn(const SDL_FRect& r) { click({r.x + r.w / 2, r.y + r.h / 2}); }
    static void tapKey(SDL_Keycode key) {
        for (Uint32 type : {Uint32{SDL_KEYDOWN}, Uint32{SDL_KEYUP}}) {
            SDL_Event e{};
            e.type = type;
            e.key.keysym.sym = key;
            ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
            eventHandler.handleGameEvents(grid);
        }
    }

    // Turns of the local match step: the pending orders go out with the first and are applied.
    static void playTurns(int count) {
        for (int i = 0; i < count; ++i) {
            dt = TURN_LENGTH;
            runLocalTurnStep();
        }
    }
    static bool playUntil(const std::function<bool()>& done, int limit = 3000) {
        for (int i = 0; i < limit && !done(); ++i) playTurns(1);
        return done();
    }

    static std::vector<Command>& queued() { return lockstep.pendingCommands; }

    // Every sound asked for from now on, as "category:key".
    static std::vector<std::string>& soundsAsked() {
        static std::vector<std::string> asked;
        return asked;
    }
    static void recordSounds() {
        soundsAsked().clear();
        soundPlayer = [](SoundCategory category, const std::string& key, bool, float, float, int) {
            soundsAsked().push_back(std::to_string(static_cast<int>(category)) + ":" + key);
        };
    }
    static std::string sound(SoundCategory category, const std::string& key) {
        return std::to_string(static_cast<int>(category)) + ":" + key;
    }
    static std::vector<CommandType> queuedTypes() {
        std::vector<CommandType> types;
        for (const Command& c : queued())
            if (c.type != CommandType::Ping) types.push_back(c.type);
        return types;
    }

    // A window point inside the unit's hit box and no other unit's.
    static SDL_FPoint pointOn(int id) {
        const Unit& u = *getUnitById(id);
        const SDL_FPoint s = worldToScreen(u.getWorldPos());
        for (float dy = 0; dy <= 120; dy += 2)
            for (float dx : {0.0f, -6.0f, 6.0f}) {
                const SDL_FPoint p{s.x + dx, s.y - dy};
                if (!unitContains(u, p)) continue;
                bool alone = true;
                for (const Unit& other : units) alone = alone && (other.id == id || !unitContains(other, p));
                if (alone) return p;
            }
        ADD_FAILURE() << "no point of unit " << id << " is clear of the others";
        return s;
    }
    static SDL_FPoint pointOnTile(V2i tile) {
        const float t = static_cast<float>(TILE_SIZE);
        const SDL_FPoint centre{(static_cast<float>(tile.x) + 0.5f) * t, (static_cast<float>(tile.y) + 0.5f) * t};
        return inView(worldToScreen(centre));
    }
    // The point shows the map: inside the window and above the bottom panel.
    static SDL_FPoint inView(SDL_FPoint p) {
        const SDL_FPoint window = windowSize();
        EXPECT_TRUE(p.x >= 0 && p.x < window.x && p.y >= 0 && p.y < window.y - HUD_SIZE) << p.x << "," << p.y;
        return p;
    }
    // A window point on the building's footprint that no unit's sprite covers.
    static SDL_FPoint pointOnBuilding(int id) {
        const Building& b = *getBuildingById(id);
        for (int y = b.y; y < b.y + b.hTiles; ++y)
            for (int x = b.x; x < b.x + b.wTiles; ++x) {
                const SDL_FPoint p = pointOnTile({x, y});
                if (std::none_of(units.begin(), units.end(), [&](const Unit& u) { return unitContains(u, p); }))
                    return p;
            }
        ADD_FAILURE() << "every tile of building " << id << " lies under a unit";
        return pointOnTile({b.x, b.y});
    }
    static void lookAt(V2i tile) {
        const SDL_FPoint iso = worldToIso({(static_cast<float>(tile.x) + 0.5f) * static_cast<float>(TILE_SIZE),
                                           (static_cast<float>(tile.y) + 0.5f) * static_cast<float>(TILE_SIZE)});
        camera.centerX = iso.x;
        camera.centerY = iso.y;
    }

    // A unit standing on the free open tile nearest the one wanted.
    static int place(int owner, const std::string& type, V2i wanted) {
        for (const V2i& tile : headless::tilesAround(wanted, 80)) {
            const V2i sub{tile.x * SUBDIVISIONS + 1, tile.y * SUBDIVISIONS + 1};
            if (isAreaFree(nextAttackableId, sub, type)) return headless::placeUnit(owner, *getUnitInfo(type), sub);
        }
        ADD_FAILURE() << "no room for a " << type;
        return -1;
    }
    // The fog on, the view on the building beyond sight; remembered as finished when the player has seen its ground.
    static void fogOver(const Building& b, bool seen) {
        scene::prepareView(true, {b.x + 1, b.y + 1});
        takeSight();
        ghostBuildings.clear();
        if (seen) remember(b.id, {b.x, b.y}, {b.wTiles, b.hTiles}, b.playerId, b.type);
    }
    // The player saw a finished building of the type on the tile, which now lies under the fog.
    static void remember(int id, V2i tile, V2i size, int owner, const std::string& type) {
        memoryGrid[static_cast<size_t>(tile.x)][static_cast<size_t>(tile.y)] = true;
        BuildingSnapshot ghost;
        ghost.id = id;
        ghost.x = tile.x;
        ghost.y = tile.y;
        ghost.width = size.x;
        ghost.height = size.y;
        ghost.owner = owner;
        ghost.type = type;
        ghost.completed = true;
        ghostBuildings[{tile.x, tile.y}] = ghost;
    }
    // A screen point above the unit's feet that its sprite covers and no other unit's does, and that wanted accepts;
    // (-1, -1) when there is none.
    static SDL_FPoint pointOnlyOn(int unitId, const std::function<bool(SDL_FPoint)>& wanted) {
        const Unit& u = *getUnitById(unitId);
        const SDL_FPoint feet = worldToScreen(u.getWorldPos());
        for (float dy = 0; dy <= 120; dy += 1)
            for (float dx = -8; dx <= 8; dx += 1) {
                const SDL_FPoint p{feet.x + dx, feet.y - dy};
                const bool alone = std::none_of(units.begin(), units.end(),
                                                [&](const Unit& o) { return o.id != unitId && unitContains(o, p); });
                if (alone && unitContains(u, p) && wanted(p)) return p;
            }
        return {-1, -1};
    }
    // A building of the type standing on the tile, finished or a site just begun.
    static int build(int owner, const std::string& type, V2i tile, bool completed) {
        const BuildingInfo& info = buildingInfo.at(type);
        Building b;
        b.id = nextAttackableId++;
        b.type = type;
        b.playerId = owner;
        b.x = tile.x;
        b.y = tile.y;
        b.wTiles = info.wTiles;
        b.hTiles = info.hTiles;
        b.completed = completed;
        b.maxHp = info.hp;
        b.hp = completed ? info.hp : 1.0f;
        b.buildTime = info.buildTime;
        b.hasProduction = info.hasProduction;
        b.sight = info.sight;
        Building* added = addBuilding(b);
        added->computeNearbyTiles();
        blockArea(grid, tile, info.wTiles, info.hTiles);
        if (completed) {
            getPlayerById(owner)->buildingIds.push_back(b.id);
            getPlayerById(owner)->completedBuildings[type] += 1;
        }
        return b.id;
    }
    V2i freeTileNear(const std::string& type) const { return findClosestFreeTile(near, type, grid, 2); }
    static void select(std::initializer_list<int> ids) {
        clearUnitSelection();
        clearBuildingSelection();
        for (int id : ids) addToSelection(id);
    }
    static void selectBuilding(int id) {
        clearUnitSelection();
        clearBuildingSelection();
        addBuildingToSelection(id);
    }
    int base() const { return local->buildingIds.front(); }
    // The first own worker, selected, with its build button for the type pressed; the worker's id.
    int startPlacing(const std::string& type) const {
        const int worker = ownWorkers().front();
        select({worker});
        drawPanels();
        for (const auto& b : hudBuildingButtons)
            if (b.buildingType == type) clickOn(b.rect);
        EXPECT_TRUE(placingBuilding) << type;
        return worker;
    }
    std::vector<int> ownWorkers() const {
        std::vector<int> ids;
        for (int id : local->unitIds)
            if (const Unit* u = getUnitById(id); u && u->worker) ids.push_back(id);
        return ids;
    }
};

}  // namespace match_mouse
