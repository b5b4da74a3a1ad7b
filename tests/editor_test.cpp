// The map editor on the fight map, driven by SDL events: painting, placing and deleting with every index kept
// consistent, the save prompt, the editor HUD and the page that opens the editor.
#include <algorithm>
#include <functional>
#include <random>
#include <tuple>
#include <utility>

#include "decorations.h"
#include "draw_fixture.h"
#include "events_iso.h"
#include "fog.h"
#include "hud_cursor.h"
#include "hud.h"
#include "input_state.h"
#include "map_objects.h"
#include "sdl_draw.h"
#include "sdl_events.h"
#include "page_refusal.h"
#include "session_fixture.h"
#include "ui/map_editor_page.h"
#include "ui/text_input.h"

namespace {

SDL_Point mouseAt{0, 0};
PointerView fixedPointer() { return {float(mouseAt.x), float(mouseAt.y), 1280.0f, 720.0f}; }

// One event through the editor's handler, the pointer standing where it happened.
void send(Uint32 type, SDL_Point at = mouseAt, Uint8 button = SDL_BUTTON_LEFT, SDL_Keycode key = 0,
          const std::string& text = "") {
    SDL_Event e{};
    e.type = type;
    if (type == SDL_MOUSEMOTION) e.motion.x = at.x, e.motion.y = at.y;
    else if (type == SDL_TEXTINPUT) SDL_strlcpy(e.text.text, text.c_str(), sizeof e.text.text);
    else e.button.button = button, e.button.x = at.x, e.button.y = at.y;
    if (type == SDL_KEYDOWN) e.key.keysym.sym = key;
    mouseAt = at;
    SDL_PushEvent(&e);
    eventHandler.handleEditorEvents(grid);
}
void click(SDL_Point at) { send(SDL_MOUSEBUTTONDOWN, at), send(SDL_MOUSEBUTTONUP, at); }
void drag(SDL_Point from, SDL_Point to) {
    send(SDL_MOUSEBUTTONDOWN, from), send(SDL_MOUSEMOTION, to), send(SDL_MOUSEBUTTONUP, to);
}
void key(SDL_Keycode k) { send(SDL_KEYDOWN, mouseAt, 0, k); }
void type(const std::string& text) { send(SDL_TEXTINPUT, mouseAt, 0, 0, text); }
SDL_Point centreOf(V2i t) {
    const SDL_FPoint s = worldToScreen({(t.x + 0.5f) * TILE_SIZE, (t.y + 0.5f) * TILE_SIZE});
    return {int(std::lround(s.x)), int(std::lround(s.y))};
}
SDL_Point middleOf(const SDL_FRect& r) { return {int(r.x + r.w / 2), int(r.y + r.h / 2)}; }
template <class Record>
void pick(const std::vector<Record>& palette, const std::string& name) {
    const auto it = std::find_if(palette.begin(), palette.end(), [&](const Record& r) { return r.name == name; });
    ASSERT_NE(it, palette.end()) << name;
    click(middleOf(it->rect));
}
std::vector<V2i> changedTiles(const Grid& before) {
    std::vector<V2i> changed;
    for (int y = 0; y < MAP_H; ++y)
        for (int x = 0; x < MAP_W; ++x) {
            const TileInstance &a = before.at(x, y), &b = grid.at(x, y);
            if (a.type != b.type || a.heightLevel != b.heightLevel || a.ramp != b.ramp) changed.push_back({x, y});
        }
    return changed;
}
int listed(const std::vector<int>& ids, int id) { return int(std::count(ids.begin(), ids.end(), id)); }

// Every id in every index names a live object, listed exactly where its footprint and top-left tile are.
void expectConsistentIndexes() {
    ASSERT_EQ(mapObjectIdToIndex.size(), mapObjects.size());
    std::size_t entries = 0;
    for (std::size_t i = 0; i < mapObjects.size(); ++i) {
        const MapObject& o = mapObjects[i];
        ASSERT_EQ(mapObjectIdToIndex.at(o.id), i);
        for (int x = o.tileX; x < o.tileX + o.wTiles; ++x)
            for (int y = o.tileY; y < o.tileY + o.hTiles; ++y) {
                ASSERT_EQ(listed(objectGrid[{x, y}], o.id), 1);
                ASSERT_EQ(listed(tileToMapObjects[packTile(x, y)], o.id), 1);
            }
        ASSERT_EQ(listed(spatialGrid[o.tileX / SECTOR_SIZE][o.tileY / SECTOR_SIZE].objectIds, o.id), 1);
        entries += 2u * o.wTiles * o.hTiles + 1;
    }
    for (const auto& [tile, ids] : objectGrid) entries -= ids.size();
    for (const auto& [tile, ids] : tileToMapObjects) entries -= ids.size();
    for (const auto& column : spatialGrid)
        for (const Sector& sector : column) entries -= sector.objectIds.size();
    EXPECT_EQ(entries, 0u) << "no id listed beyond the live objects";
}

struct Editor : DrawnSessionTest {
    void SetUp() override {
        DrawnSessionTest::SetUp();
        readPointerView = fixedPointer;
        ASSERT_TRUE(start_map_editor("fight"));
        const SDL_FPoint c = gridToWorld(20.0f, 20.0f);
        camera = {c.x - 640, c.y - 360, 1280, 720, c.x, c.y, 1.0f};
        editorHUD();
        mapObjects.clear(), objectGrid.clear(), tileToMapObjects.clear(), mapObjectIdToIndex.clear();
        initSpatialGrid();
        decorations.clear();
    }
    void TearDown() override {
        targetFps = 120.0f;
        readPointerView = readSdlPointerView;
        mouseX = mouseY = 0.0f;  // the frames drew the cursor at the injected pointer
        DrawnSessionTest::TearDown();
    }
};

TEST_F(Editor, ClickAndDragPaintExactlyTheTilesUnderThemAndEscapeDisarms) {
    const Grid before = grid;
    pick(hudTileButtons, "Mud");
    click(centreOf({20, 20}));
    EXPECT_EQ(changedTiles(before), (std::vector<V2i>{{20, 20}}));
    EXPECT_EQ(grid.at(20, 20).type, Tile::Mud);
    key(SDLK_ESCAPE);
    click(centreOf({19, 21}));
    EXPECT_EQ(changedTiles(before).size(), 1u) << "Escape disarmed the tile";
    click(middleOf(heightLevel1.rect)), click(middleOf(paintingRampButton.rect)), click(centreOf({22, 19}));
    EXPECT_EQ(changedTiles(before), (std::vector<V2i>{{22, 19}, {20, 20}}));
    EXPECT_EQ(grid.at(22, 19).heightLevel, 1);
    EXPECT_EQ(grid.at(22, 19).ramp, 1);
    send(SDL_MOUSEBUTTONDOWN, mouseAt, SDL_BUTTON_RIGHT);
    pick(hudTileButtons, "Water");
    // The box between the centres of (16, 20) and (18, 20) holds the centres of five tiles.
    drag(centreOf({16, 20}), centreOf({18, 20}));
    EXPECT_EQ(changedTiles(before),
              (std::vector<V2i>{{17, 19}, {22, 19}, {16, 20}, {17, 20}, {18, 20}, {20, 20}, {17, 21}}));
    EXPECT_EQ(grid.at(17, 21).type, Tile::Water);
}

// What a click paints with each set of height tools armed, on a tile that stood at level 2: a ramp is level 1.
TEST_F(Editor, AClickPaintsTheArmedHeightAndARampStandsAtLevelOne) {
    const struct {
        bool h0, h1, ramp;
        int level;
        bool isRamp;
    } cases[] = {
        {true, false, false, 0, false},
        {false, true, false, 1, false},
        {false, false, true, 1, true},
        {true, false, true, 1, true},
        {false, true, true, 1, true},
    };
    int column = 16;
    for (const auto& c : cases) {
        SCOPED_TRACE(column);
        const V2i t{column++, 20};
        grid.at(t.x, t.y).heightLevel = 2;
        if (c.h0) click(middleOf(heightLevel0.rect));
        if (c.h1) click(middleOf(heightLevel1.rect));
        if (c.ramp) click(middleOf(paintingRampButton.rect));
        click(centreOf(t));
        EXPECT_EQ(grid.at(t.x, t.y).heightLevel, c.level);
        EXPECT_EQ(grid.at(t.x, t.y).ramp != 0, c.isRamp);
        key(SDLK_ESCAPE);
    }
}

// A dragged brush replaces what it finds on each tile of the box instead of piling onto it, however often it passes:
// a decoration a tile, and for objects whose footprints overlap, one removed for each one placed.
TEST_F(Editor, ADraggedDecorationOrObjectBrushReplacesWhatItFindsOnEachTileOfTheBoxInsteadOfPilingUp) {
    // The box between the centres of (16, 20) and (18, 20) holds the centres of five tiles.
    const std::vector<V2i> box{{17, 19}, {16, 20}, {17, 20}, {18, 20}, {17, 21}};
    const auto decorationsOn = [](V2i t) {
        return std::count_if(decorations.begin(), decorations.end(),
                             [t](const Decoration& d) { return d.tileX == t.x && d.tileY == t.y; });
    };
    pick(hudDecorationButtons, "Bush");
    for (int pass = 1; pass <= 2; ++pass) {
        drag(centreOf({16, 20}), centreOf({18, 20}));
        EXPECT_EQ(decorations.size(), box.size()) << "pass " << pass;
        for (V2i t : box) EXPECT_EQ(decorationsOn(t), 1) << t.x << "," << t.y << " pass " << pass;
    }
    key(SDLK_ESCAPE);
    pick(hudMapObjectButtons, "Crystal");
    std::size_t firstPass = 0;
    for (std::size_t pass = 1; pass <= 3; ++pass) {
        drag(centreOf({16, 20}), centreOf({18, 20}));
        expectConsistentIndexes();
        for (V2i t : box) EXPECT_FALSE(objectGrid[t].empty()) << t.x << "," << t.y << " pass " << pass;
        if (pass == 1) firstPass = mapObjects.size();
        // The press that starts a drag places one as a click does; the painting itself replaces.
        EXPECT_EQ(mapObjects.size(), firstPass + pass - 1) << "pass " << pass;
    }
}

TEST_F(Editor, ChoosingATerrainDecorationOrObjectBrushDisarmsTheOtherTwoKinds) {
    enum Kind { Terrain, Decoration, Object };
    const auto choose = [](Kind k) {
        if (k == Terrain) pick(hudTileButtons, "Water");
        if (k == Decoration) pick(hudDecorationButtons, "Bush");
        if (k == Object) pick(hudMapObjectButtons, "Crystal");
    };
    const Kind kinds[] = {Terrain, Decoration, Object};
    int step = -2;
    for (Kind first : kinds)
        for (Kind second : kinds) {
            if (first == second) continue;
            const Grid before = grid;
            const std::size_t decorationsBefore = decorations.size(), objectsBefore = mapObjects.size();
            choose(first), choose(second);
            click(centreOf({20 + step, 20 - step}));
            const std::string pair = std::to_string(first) + " then " + std::to_string(second);
            EXPECT_EQ(!changedTiles(before).empty(), second == Terrain) << pair;
            EXPECT_EQ(decorations.size() - decorationsBefore, second == Decoration ? 1u : 0u) << pair;
            EXPECT_EQ(mapObjects.size() - objectsBefore, second == Object ? 1u : 0u) << pair;
            key(SDLK_ESCAPE);
            ++step;
        }
    click(middleOf(heightLevel1.rect));
    pick(hudTileButtons, "Mud");
    drag(centreOf({16, 26}), centreOf({18, 26}));
    EXPECT_EQ(grid.at(17, 26).type, Tile::Mud);
    EXPECT_EQ(grid.at(17, 26).heightLevel, 1) << "height combines with terrain";
}

TEST_F(Editor, ThePressThatOpensTheMenuPaintsAndPlacesNothingBeneathTheButton) {
    const SDL_Point onMenu = middleOf(menuButton.rect);
    ASSERT_TRUE(isOnMap(screenToTile({float(onMenu.x), float(onMenu.y)}))) << "the map lies under the button";
    const std::function<void()> brushes[] = {
        [] { pick(hudTileButtons, "Water"); },
        [] { pick(hudDecorationButtons, "Bush"); },
        [] { pick(hudMapObjectButtons, "Crystal"); },
    };
    for (const auto& arm : brushes) {
        const Grid before = grid;
        const std::size_t decorationsBefore = decorations.size(), objectsBefore = mapObjects.size();
        arm();
        click(onMenu);
        EXPECT_TRUE(changedTiles(before).empty());
        EXPECT_EQ(decorations.size(), decorationsBefore);
        EXPECT_EQ(mapObjects.size(), objectsBefore);
        EXPECT_TRUE(gameMenu.isVisible());
        gameMenu.hide();
        key(SDLK_ESCAPE);
    }
}

TEST_F(Editor, TheMenusObjectivesAskForAGoodMap) {
    click(middleOf(menuButton.rect));
    ASSERT_TRUE(gameMenu.isVisible());
    click({int(gameMenu.rect.x + 125.0f), int(gameMenu.rect.y + 160.0f + 15.0f)});  // Scenario Objectives
    map_editor_loop();
    EXPECT_TRUE(gameMenu.isVisible());
    // The title wraps to the menu's width, a word a line.
    EXPECT_EQ(menuText(), " SCENARIO OBJECTIVES Make a good map. Back");
}

// The editor has no saved game to go to: a Load request raised there would open its dialog, unasked, in the first
// frame of the next match.
TEST_F(Editor, TheMenusLoadGameIsOffAndLeavesNoDialogForTheNextMatch) {
    click(middleOf(menuButton.rect));
    ASSERT_TRUE(gameMenu.isVisible());
    click({int(gameMenu.rect.x + 125.0f), int(gameMenu.rect.y + 80.0f + 15.0f)});  // Load Game
    map_editor_loop();
    EXPECT_FALSE(pendingLoadGame);
    pendingShutdown = true;
    map_editor_loop();
    ASSERT_EQ(gameState, GameState::Menus);
    seatPlayers();
    mode = GameMode::Skirmish;
    ASSERT_TRUE(startGame(true, true, "fight", false));
    game_loop();
    EXPECT_FALSE(gameMenu.isVisible()) << "nothing was asked for in this match";
}

TEST_F(Editor, OneTypePlacedTwiceListsBothIdsOnEveryFootprintTileButNothingPastTheEdge) {
    pick(hudMapObjectButtons, "Crystal");
    click(centreOf({20, 20})), click(centreOf({20, 20}));
    ASSERT_EQ(mapObjects.size(), 2u);
    EXPECT_NE(mapObjects[0].id, mapObjects[1].id);
    for (V2i t : {V2i{19, 19}, V2i{20, 19}, V2i{19, 20}, V2i{20, 20}})
        EXPECT_EQ(objectGrid[t], (std::vector<int>{mapObjects[0].id, mapObjects[1].id}));
    expectConsistentIndexes();
    const SDL_FPoint corner = gridToWorld(0.0f, 0.0f);
    camera = {corner.x - 640, corner.y - 360, 1280, 720, corner.x, corner.y, 1.0f};
    click(centreOf({0, 0}));
    EXPECT_EQ(mapObjects.size(), 2u) << "a footprint past the edge is refused";
}

// A map object whose art is missing: a click says so in one line and places nothing; a dragged box, which needs only
// the footprint, still places it.
TEST_F(Editor, AClickRefusesAnObjectWithoutArtWithOneLine) {
    pick(hudMapObjectButtons, "Crystal");
    SDL_Texture*& art = mapObjectsSprites.at("Crystal").sprite.texture;
    SDL_Texture* const kept = std::exchange(art, nullptr);
    ::testing::internal::CaptureStderr();
    click(centreOf({20, 20}));
    const std::string said = ::testing::internal::GetCapturedStderr();
    const std::size_t clicked = mapObjects.size();
    ::testing::internal::CaptureStderr();
    drag(centreOf({16, 20}), centreOf({18, 20}));
    ::testing::internal::GetCapturedStderr();
    art = kept;
    EXPECT_EQ(said, "1 ERROR: no texture for map object type Crystal\n");
    EXPECT_EQ(clicked, 0u);
    EXPECT_FALSE(mapObjects.empty());
    expectConsistentIndexes();
}

TEST_F(Editor, BackspaceEditsATypedNameAndOnlyWithoutOneDeletesTheBoxSelection) {
    pick(hudDecorationButtons, "Bush");
    click(centreOf({20, 20}));
    key(SDLK_ESCAPE);
    pick(hudMapObjectButtons, "Tree");
    click(centreOf({21, 21}));
    key(SDLK_ESCAPE);
    drag(centreOf({19, 19}), centreOf({22, 22}));
    click(middleOf(saveButton.rect));
    type("a"), key(SDLK_BACKSPACE);
    EXPECT_EQ(decorations.size(), 1u);
    EXPECT_EQ(mapObjects.size(), 1u);
    key(SDLK_BACKSPACE);
    EXPECT_TRUE(decorations.empty());
    EXPECT_TRUE(mapObjects.empty());
    EXPECT_TRUE(objectGrid.empty());
}

TEST_F(Editor, ThousandRandomPlacementsAndDeletionsLeaveNoStaleIdInAnyIndex) {
    std::mt19937 draw(24);
    const std::vector<std::string> kinds{"Crystal", "Tree", "StartingBase", "Boulder"};
    std::size_t deleted = 0;
    for (int op = 0; op < 1000; ++op) {
        const V2i t{16 + int(draw() % 6), 16 + int(draw() % 6)};
        if (draw() % 3) {
            pick(hudMapObjectButtons, kinds[draw() % kinds.size()]);
            click(centreOf(t));
            key(SDLK_ESCAPE);
        } else {
            const std::size_t before = mapObjects.size();
            drag(centreOf(t), centreOf({t.x + 1, t.y + 1}));
            key(SDLK_BACKSPACE);
            EXPECT_TRUE(selectMapObjects.empty());
            deleted += before - mapObjects.size();
        }
        if (op % 50 == 0) expectConsistentIndexes();
    }
    EXPECT_GT(mapObjects.size(), 5u);
    EXPECT_GT(deleted, 200u);
    expectConsistentIndexes();
}

TEST_F(Editor, TypedNameAndReturnWriteTheMapAndPreviewWhichThenPlaysAsAMatch) {
    pick(hudTileButtons, "Water");
    click(centreOf({18, 18}));
    pick(hudMapObjectButtons, "Crystal");
    click(centreOf({20, 20}));
    key(SDLK_ESCAPE);
    pick(hudDecorationButtons, "Bush");
    click(centreOf({21, 17}));
    click(middleOf(saveButton.rect));
    type("my_"), type("mapp"), key(SDLK_BACKSPACE), key(SDLK_RETURN);
    EXPECT_FALSE(typingFilename);
    EXPECT_TRUE(std::filesystem::exists(root.path / "maps/my_map.bmp"));
    const MapData saved = readMapFile((root.path / "maps/my_map.map").string());
    EXPECT_EQ(saved.terrainRows[18][18], 'W');
    ASSERT_EQ(saved.pendingDecorations.size(), 1u);
    EXPECT_EQ(saved.pendingDecorations[0].name, "Bush");
    endSession();
    seatPlayers();
    mode = GameMode::Skirmish;
    ASSERT_TRUE(startGame(true, true, "my_map", false));
    EXPECT_EQ(grid.at(18, 18).type, Tile::Water);
    ASSERT_EQ(mapObjects.size(), 1u);
    EXPECT_EQ(mapObjects[0].type, "Crystal");
    EXPECT_EQ(mapObjects[0].tileX, 19);
}

// A field elsewhere (a lobby name, the match's save name) lets the keyboard's text go when Return submits it; the
// map name prompt takes it back, or nothing typed would reach it.
TEST_F(Editor, TheNamePromptTakesTypedTextAfterAFieldElsewhereLetItGo) {
    TextInput lobbyName(SDL_FRect{0.0f, 0.0f, 100.0f, 30.0f});
    lobbyName.focused = true;
    lobbyName.handleEvent(keyEvent(SDLK_RETURN));
    ASSERT_FALSE(SDL_IsTextInputActive());
    click(middleOf(saveButton.rect));
    EXPECT_TRUE(typingFilename);
    EXPECT_TRUE(SDL_IsTextInputActive());
}

// Escape gives the typed name up: nothing is written, and the next Backspace deletes again.
TEST_F(Editor, EscapeInTheNamePromptSavesNothingAndForgetsTheName) {
    pick(hudDecorationButtons, "Bush");
    click(centreOf({20, 20}));
    key(SDLK_ESCAPE);
    drag(centreOf({19, 19}), centreOf({21, 21}));
    click(middleOf(saveButton.rect));
    type("half");
    key(SDLK_ESCAPE);
    EXPECT_FALSE(typingFilename);
    EXPECT_EQ(filenameInput, "");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root.path / "maps"), {}), 1) << "only fight.map";
    key(SDLK_BACKSPACE);
    EXPECT_TRUE(decorations.empty());
}

// A shipped map opened, saved under a new name and opened again is the same map: its terrain (the grass variants
// written alike), heights, objects and decorations; and saving the reopened map changes no byte.
TEST_F(Editor, AMapSavedAndReopenedIsTheSameMap) {
    const auto saveAs = [](const std::string& name) {
        click(middleOf(saveButton.rect));
        type(name), key(SDLK_RETURN);
        ASSERT_FALSE(typingFilename) << filenameRefusal;
    };
    endSession();
    ASSERT_TRUE(start_map_editor("fight"));
    ASSERT_NO_FATAL_FAILURE(saveAs("copy"));
    endSession();
    ASSERT_TRUE(start_map_editor("copy"));
    ASSERT_NO_FATAL_FAILURE(saveAs("copy2"));
    const MapData shipped = readMapFile((root.path / "maps/fight.map").string());
    const MapData copy = readMapFile((root.path / "maps/copy.map").string());
    ASSERT_EQ(copy.terrainRows.size(), shipped.terrainRows.size());
    for (std::size_t y = 0; y < shipped.terrainRows.size(); ++y) {
        std::string row = shipped.terrainRows[y];
        std::replace(row.begin(), row.end(), '.', 'G');
        EXPECT_EQ(copy.terrainRows[y], row) << "row " << y;
    }
    // A height row may be short or missing: such a cell, or one of another character, stands at level 0.
    const auto shippedHeight = [&shipped](std::size_t x, std::size_t y) {
        const char c = y < shipped.heightRows.size() && x < shipped.heightRows[y].size() ? shipped.heightRows[y][x] : '0';
        return (c >= '0' && c <= '9') || c == 'R' ? c : '0';
    };
    ASSERT_EQ(copy.heightRows.size(), shipped.terrainRows.size());
    for (std::size_t y = 0; y < copy.heightRows.size(); ++y)
        for (std::size_t x = 0; x < copy.heightRows[y].size(); ++x)
            EXPECT_EQ(copy.heightRows[y][x], shippedHeight(x, y)) << x << "," << y;
    const auto objects = [](const MapData& m) {
        std::vector<std::tuple<std::string, int, int>> list;
        for (const PendingObj& o : m.pendingObjects) list.emplace_back(o.type, o.x, o.y);
        return list;
    };
    EXPECT_EQ(objects(copy), objects(shipped));
    ASSERT_EQ(copy.pendingDecorations.size(), shipped.pendingDecorations.size());
    for (std::size_t i = 0; i < shipped.pendingDecorations.size(); ++i) {
        const PendingDeco &a = copy.pendingDecorations[i], &b = shipped.pendingDecorations[i];
        EXPECT_EQ(std::tie(a.name, a.tileX, a.tileY, a.width, a.height),
                  std::tie(b.name, b.tileX, b.tileY, b.width, b.height)) << i;
    }
    EXPECT_EQ(readWholeFile(root.path / "maps/copy2.map"), readWholeFile(root.path / "maps/copy.map"));
}

// A map made in the editor from an emptied one, with two starting bases placed by click, counts two seats and
// starts a match where each player stands on one base, which then plays on.
TEST_F(Editor, TwoBasesPlacedByClickSeatTwoPlayersInTheMatchOnTheSavedMap) {
    pick(hudMapObjectButtons, "StartingBase");
    click(centreOf({14, 14})), click(centreOf({26, 26}));
    key(SDLK_ESCAPE);
    pick(hudMapObjectButtons, "Crystal");
    click(centreOf({20, 14}));
    click(middleOf(saveButton.rect));
    type("duel"), key(SDLK_RETURN);
    ASSERT_FALSE(typingFilename) << filenameRefusal;
    EXPECT_EQ(getBasesCountFromMap((root.path / "maps/duel.map").string()), 2);
    endSession();
    seatPlayers();
    mode = GameMode::Skirmish;
    ASSERT_TRUE(startGame(true, true, "duel", false));
    for (const auto& p : players) EXPECT_EQ(p->buildingIds.size(), 1u) << p->id;
    runFrames(200, 20.0, [] { return lockstep.currentTurn >= 100; }, giveEconomyOrders);
    EXPECT_EQ(gameState, GameState::Match);
    EXPECT_GE(lockstep.currentTurn, 100);
}

TEST_F(Editor, NamesLeavingTheFolderAreRefusedAndAFailedWriteKeepsThePreviousFile) {
    root.write("maps/keep.map", "old\n");
    root.makeDir("maps/keep.map.tmp");
    ::testing::internal::CaptureStderr();
    for (const std::string name : {"../escape", "sub/inner", "..", "keep"}) {
        click(middleOf(saveButton.rect));
        type(name), key(SDLK_RETURN);
    }
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("Invalid map file name: ../escape.map"), std::string::npos) << errors;
    EXPECT_FALSE(std::filesystem::exists(root.path / "escape.map"));
    EXPECT_EQ(readWholeFile(root.path / "maps/keep.map"), "old\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root.path / "maps"), {}), 3);
}

// ".map" alone would be a hidden file that no map list shows: the prompt stays open and says a name is needed.
TEST_F(Editor, ANameOfOnlyTheExtensionIsRefusedInThePrompt) {
    click(middleOf(saveButton.rect));
    type(".map"), key(SDLK_RETURN);
    EXPECT_TRUE(typingFilename);
    EXPECT_EQ(filenameRefusal, "Not saved: a name before .map is needed");
    EXPECT_FALSE(std::filesystem::exists(root.path / "maps/.map"));
    type("x"), key(SDLK_RETURN);
    EXPECT_FALSE(typingFilename);
    EXPECT_TRUE(std::filesystem::exists(root.path / "maps/.mapx.map"));
}

TEST_F(Editor, HudListsPalettesInKeyOrderWithTheToolsAfterThemAndNamesTheSelection) {
    pick(hudMapObjectButtons, "Crystal");
    click(centreOf({20, 20}));
    key(SDLK_ESCAPE);
    drag(centreOf({18, 18}), centreOf({21, 21}));
    pick(hudMapObjectButtons, "Tree");
    send(SDL_MOUSEMOTION, centreOf({23, 18}));
    savedDrawing(grid, 0.016f);
    editorHUD();
    DrawFixture::saveScreenshot("map_editor");
    std::vector<std::string> names;
    for (const auto& b : hudTileButtons) names.push_back(b.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Drygrass", "Grass", "Mud", "Rock", "Water"}));
    EXPECT_GT(hudMapObjectButtons.front().rect.x, hudTileButtons.back().rect.x);
    EXPECT_GT(hudDecorationButtons.front().rect.x, hudMapObjectButtons.back().rect.x);
    const SDL_FRect last = hudDecorationButtons.back().rect;
    EXPECT_GE(heightLevel0.rect.x, last.x + last.w) << "no tool covers the palette";
    EXPECT_LE(saveButton.rect.x + saveButton.rect.w, 1280.0f - TextWidth("Crystal", 18) - 20);
    // Only the name is bright in the panel's dimmed right end.
    int bright = 0;
    for (int x = 1280 - 20 - TextWidth("Crystal", 18); x < 1260; ++x)
        for (int y = 680 - TextHeight("Crystal", 18); y < 680; ++y) bright += DrawFixture::pixel(x, y).b > 200;
    EXPECT_GT(bright, 20) << "the selected type's name";
}

// The read-out at the top right tells the editor's own frame rate, not the one a match left behind, and a session
// that ends leaves none for the next.
TEST_F(Editor, TheFrameRateReadOutCountsTheEditorsOwnFrames) {
    fps = 999.0f;
    fake_clock::frameWorkMs = 0.0;
    for (const float cap : {60.0f, 30.0f}) {
        targetFps = cap;
        for (int i = 0; i < static_cast<int>(cap); ++i) map_editor_loop();
        EXPECT_NEAR(fps, cap, cap * 0.1f) << cap << " fps";
    }
    pendingShutdown = true;
    map_editor_loop();
    ASSERT_EQ(gameState, GameState::Menus);
    EXPECT_EQ(fps, 0.0f) << "the next session's read-out starts from its own frames";
}

TEST_F(Editor, AnIdleEditorFrameLastsExactlyOneFrameOfTheCap) {
    fake_clock::frameWorkMs = 0.0;
    for (const float cap : {120.0f, 60.0f, 30.0f}) {
        targetFps = cap;
        map_editor_loop();
        const uint64_t start = fake_clock::now;
        map_editor_loop();
        EXPECT_NEAR(static_cast<double>(fake_clock::now - start) / 1e6, 1000.0 / cap, 1e-3) << cap << " fps";
    }
}

TEST_F(Editor, TheEditorDrawsItsOwnHudAndNoFogWhateverTheSetting) {
    endSession();
    FOG = true;
    ASSERT_TRUE(start_map_editor("fight"));
    EXPECT_EQ(DrawFog, noopFog);
    EXPECT_EQ(DrawHUD, editorHUD);
}

TEST_F(Editor, PageRefusesOpeningWithoutAChoiceAndTheFogSettingComesBackAfterTheEditor) {
    endSession();
    FOG = true;
    MapEditorPage page(&mainMenu);
    page.init();
    EXPECT_EQ(page.mapNames, std::vector<std::string>{"fight"});
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(page.openChosenMap());
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(page.refusalLine, "Choose a map first.") << "the page says why nothing opened";
    page.mapList.onSelect(0, "fight");
    EXPECT_EQ(page.refusalLine, "");
    ASSERT_TRUE(page.openChosenMap());
    EXPECT_EQ(gameState, GameState::MapEditor);
    EXPECT_EQ(mode, GameMode::MapEditor);
    EXPECT_FALSE(FOG);
    // The editor frame's input is the editor's handler: a press on "Save" opens the name prompt.
    SDL_Event press{};
    press.type = SDL_MOUSEBUTTONDOWN, press.button.button = SDL_BUTTON_LEFT, mouseAt = middleOf(saveButton.rect);
    SDL_PushEvent(&press);
    map_editor_loop();
    EXPECT_TRUE(typingFilename);
    pendingShutdown = true;
    map_editor_loop();
    EXPECT_EQ(gameState, GameState::Menus);
    EXPECT_TRUE(FOG);
    EXPECT_FALSE(typingFilename) << "the prompt went with the editor";
}

// A map that does not read is refused on the page, which says so under the list; the menus and the fog setting stay
// as they were, and another map still opens.
TEST_F(Editor, PageSaysAMapThatDoesNotReadCannotBeOpened) {
    endSession();
    FOG = true;
    root.write("maps/broken.map", "GGG\nGG\n");
    MapEditorPage page(&mainMenu);
    page.init();
    ASSERT_EQ(page.mapNames, (std::vector<std::string>{"broken", "fight"}));
    page.mapList.onSelect(0, "broken");
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(page.openChosenMap());
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("Cannot start on map \"broken\": Inconsistent line width at line 2"), std::string::npos) << said;
    EXPECT_EQ(page.refusalLine, "This map cannot be opened.");
    EXPECT_EQ(gameState, GameState::Menus);
    EXPECT_TRUE(FOG);
    EXPECT_GT(refusalLinePixels(page, "map_editor_page_refusal"), 50) << "the line under the list";
    page.mapList.onSelect(1, "fight");
    EXPECT_EQ(page.refusalLine, "");
    EXPECT_TRUE(page.openChosenMap());
    EXPECT_EQ(gameState, GameState::MapEditor);
}

}  // namespace
