// The bottom HUD drawn with fixture types beside the shipped catalogues and read back: icon rows, the spell grid,
// the production queue, per-frame hit lists, tooltips and the read-outs.
#include <chrono>
#include <functional>

#include "activity.h"
#include "config.h"
#include "fog.h"
#include "game.h"
#include "hud_cursor.h"
#include "hud_overlay.h"
#include "hud_scene.h"
#include "map_objects.h"
#include "player.h"
#include "sdl_text.h"
#include "textures.h"
#include "upgrades.h"

namespace {

using namespace hud_scene;

constexpr SDL_Color RED{200, 30, 30, 255};
constexpr SDL_Color BLUE{30, 30, 200, 255};
constexpr int W = 1280;
constexpr int H = 720;
constexpr int LOCAL = 7;
const char* const SPELLS[] = {"a", "b", "c", "d", "e", "foreign"};

struct HudPanels : SceneTest {
    float top = 0.0f;

    void SetUp() override {
        SceneTest::SetUp();
        if (IsSkipped()) return;
        reset_game_state();
        GOD_MODE = FOG = false;
        top = static_cast<float>(H) - HUD_SIZE;
        Player::myStaticId = LOCAL;
        players.push_back(std::make_unique<Player>(LOCAL, "Joes", "human", false));
        unitSprites["HudGrunt"].portrait = solid(RED);
        unitInfo["HudGrunt"].type = "HudGrunt";
        buildingSprites["HudBarracks"].sprite.texture = solid(BLUE);
        buildingInfo["HudBarracks"].type = "HudBarracks";
        buildingUnits["HudBarracks"] = {"HudGrunt"};
    }
    void TearDown() override {
        unitSprites.erase("HudGrunt");
        unitInfo.erase("HudGrunt");
        unitTooltips.erase("HudGrunt");
        buildingSprites.erase("HudBarracks");
        buildingInfo.erase("HudBarracks");
        buildingUnits.erase("HudBarracks");
        for (const char* key : SPELLS) spellInfo.erase(key), spellPortraitTextures.erase(key);
        mouseX = mouseY = 0.0f;
        SceneTest::TearDown();
    }

    static int addGrunt() {
        Unit u;
        u.id = static_cast<int>(units.size()) + 100;
        u.type = "HudGrunt";
        u.playerId = LOCAL;
        return addUnit(u).id;
    }
    // A completed barracks of the owner, selected, whose first queued entry has started.
    static void addBarracks(int owner, int queued) {
        Building b;
        b.id = 50;
        b.type = "HudBarracks";
        b.playerId = owner;
        b.completed = true;
        for (int i = 0; i < queued; ++i)
            b.productionQueue.push_back({TrainingKind::Unit, "HudGrunt", -1, "", 10.0f, i == 0 ? 4.0f : 0.0f, 50});
        addBuildingToSelection(addBuilding(b)->id);
    }
    // The pointer at the given share across and down the rectangle.
    static void pointAt(const SDL_FRect& r, float share) {
        mouseX = r.x + r.w * share;
        mouseY = r.y + r.h * share;
    }
    // The button lies at (x, y) and its centre shows the colour.
    static void expectButton(const SDL_FRect& r, float x, float y, SDL_Color shown) {
        EXPECT_FLOAT_EQ(r.x, x);
        EXPECT_FLOAT_EQ(r.y, y);
        EXPECT_TRUE(same(pixel(static_cast<int>(r.x + r.w / 2), static_cast<int>(r.y + r.h / 2)), shown)) << x << "," << y;
    }
};

TEST_F(HudPanels, SixteenSelectedUnitsFillFifteenIconsThenWrapToTheNextRow) {
    for (int i = 0; i < 16; ++i) addToSelection(addGrunt());
    drawHUD();
    ASSERT_EQ(unitHUDHitboxes.size(), 16u);
    for (int i = 0; i < 15; ++i) expectButton(unitHUDHitboxes[i].rect, 300.0f + 40.0f * i, top + 15.0f, RED);
    expectButton(unitHUDHitboxes[15].rect, 300.0f, top + 50.0f, RED);
    EXPECT_EQ(unitHUDHitboxes[15].unitId, selectedUnits[15]);
    EXPECT_FALSE(same(pixel(335, static_cast<int>(top + 30)), RED));
}

TEST_F(HudPanels, CasterWithFiveSpellsRecordsFourOnTheFirstRowAndTheFifthBelow) {
    for (const char* key : SPELLS) {
        spellInfo[key].caster = std::string(key) == "foreign" ? "Ogre" : "HudGrunt";
        spellPortraitTextures[key] = solid(BLUE);
    }
    Unit& caster = *getUnitById(addGrunt());
    caster.cooldowns["e"] = 2.2f;
    addToSelection(caster.id);
    drawHUD();
    ASSERT_EQ(hudSpellButtons.size(), 5u);
    for (int i = 0; i < 4; ++i) expectButton(hudSpellButtons[i].rect, W - 270.0f + 60.0f * i, top + 10.0f, BLUE);
    EXPECT_EQ(hudSpellButtons[4].spell, "e");
    // The fifth is cooling down: darkened.
    const SDL_FRect fifth = hudSpellButtons[4].rect;
    EXPECT_FLOAT_EQ(fifth.x, W - 270.0f);
    EXPECT_FLOAT_EQ(fifth.y, top + 70.0f);
    EXPECT_LT(pixel(static_cast<int>(fifth.x + 3), static_cast<int>(fifth.y + 3)).b, BLUE.b);
    // One unit selected: its portrait and no icon row.
    EXPECT_TRUE(unitHUDHitboxes.empty());
    EXPECT_TRUE(same(pixel(340, static_cast<int>(top + 50)), RED));
}

TEST_F(HudPanels, QueueOfThreeShowsTheEntryInProgressAndSixSlotsNumberedWhereEmpty) {
    addBarracks(LOCAL, 3);
    drawHUD();
    ASSERT_EQ(hudProgressBarButtons.size(), 7u);
    expectButton(hudProgressBarButtons[0].rect, 410.0f, H - 80.0f, RED);
    // Entries 2 and 3 wait in slots 1 and 2; slots 3 to 6 are empty troughs framed in the highlight.
    for (int i = 1; i <= 6; ++i) {
        const SDL_FRect r = hudProgressBarButtons[i].rect;
        EXPECT_EQ(hudProgressBarButtons[i].index, i);
        EXPECT_FLOAT_EQ(r.x, 410.0f + 40.0f * (i - 1));
        EXPECT_FLOAT_EQ(r.y, H - 45.0f);
        // Left of where an empty slot's number starts: the waiting entry's icon or the trough.
        const SDL_Color shown = i <= 2 ? RED : SDL_Color{50, 50, 50, 255};
        EXPECT_TRUE(same(pixel(static_cast<int>(r.x + 4), static_cast<int>(r.y + 6)), shown)) << i;
        EXPECT_TRUE(same(pixel(static_cast<int>(r.x + 15), static_cast<int>(r.y + 1)), highlightColor)) << i;
    }
    ASSERT_EQ(hudBuildingUnitsButtons.size(), 1u);
    expectButton(hudBuildingUnitsButtons[0].rect, W - 270.0f, top + 10.0f, RED);
}

TEST_F(HudPanels, PanelsNotDrawnThisFrameHaveNoClickableButtons) {
    addBarracks(LOCAL + 1, 2);
    drawHUD();
    EXPECT_TRUE(hudProgressBarButtons.empty());  // an enemy building's queue is not shown
    getBuildingById(50)->playerId = LOCAL;
    drawHUD();
    ASSERT_EQ(hudProgressBarButtons.size(), 7u);
    ASSERT_EQ(hudBuildingUnitsButtons.size(), 1u);
    addToSelection(addGrunt());
    drawHUD();
    EXPECT_TRUE(hudProgressBarButtons.empty());
    EXPECT_TRUE(hudBuildingUnitsButtons.empty());
}

// A building's sheet of two frames side by side, red then blue: every building icon, the activity feed's among them,
// shows the first frame alone, stretched over the whole icon, never the strip.
TEST_F(HudPanels, BuildingIconsShowTheFirstFrameOfTheirSheet) {
    SDL_Texture* sheet = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA32, SDL_TEXTUREACCESS_STATIC, 2, 1);
    const uint8_t px[8] = {RED.r, RED.g, RED.b, RED.a, BLUE.r, BLUE.g, BLUE.b, BLUE.a};
    SDL_UpdateTexture(sheet, nullptr, px, 8);
    made.push_back(sheet);
    BuildingSpriteMeta& meta = buildingSprites["HudBarracks"];
    meta.sprite.texture = sheet;
    meta.animation.frameCount = 2;
    meta.animation.frameWidth = meta.animation.frameHeight = 1;
    unitInfo["HudGrunt"].worker = true;
    unitInfo["HudGrunt"].buildMenu = {"HudBarracks"};
    struct Panel {
        const char* name;
        std::function<void()> select;
        std::function<SDL_FRect()> icon;
    };
    const Panel panels[] = {
        {"one building", [] { addBarracks(LOCAL, 0); }, [this] { return SDL_FRect{300.0f, top + 10.0f, 80.0f, 80.0f}; }},
        {"two buildings",
         [] {
             addBarracks(LOCAL, 0);
             Building second = *getBuildingById(50);
             second.id = 51;
             addBuildingToSelection(addBuilding(second)->id);
         },
         [this] { return SDL_FRect{360.0f, top + 10.0f, 50.0f, 50.0f}; }},
        {"a worker's build menu", [] { addToSelection(addGrunt()); },
         [] { return hudBuildingButtons.empty() ? SDL_FRect{} : hudBuildingButtons.front().rect; }},
        {"the feed's completion notice",
         [sheet] {
             activityQueue.clear();
             postActivity("Building complete", sheet, ACTIVITY_DURATION, buildingIconFrame("HudBarracks"));
             drawActivities();
         },
         [] { return SDL_FRect{20.0f, windowSize().y - 295.0f, 20.0f, 20.0f}; }},
    };
    for (const Panel& panel : panels) {
        reset_game_state();
        players.push_back(std::make_unique<Player>(LOCAL, "Joes", "human", false));
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        panel.select();
        drawHUD();
        const SDL_FRect r = panel.icon();
        ASSERT_GT(r.w, 0.0f) << panel.name;
        for (const float share : {0.1f, 0.9f})
            EXPECT_TRUE(same(pixel(static_cast<int>(r.x + r.w * share), static_cast<int>(r.y + r.h / 2)), RED))
                << panel.name << " at " << share;
    }
}

// The research buttons go on after the trainable units; an upgrade without an icon gets no button and is not
// counted, though the pen has moved past its place, so the row takes a fifth button at its end.
TEST_F(HudPanels, AnUpgradeWithoutAnIconLeavesItsPlaceEmpty) {
    const char* const research[] = {"hud_a", "hud_b", "hud_c", "hud_d", "hud_e"};
    buildingResearchTree["HudBarracks"].assign(std::begin(research), std::end(research));
    for (const char* id : research) {
        upgradeRequirements[id] = {};
        if (std::string(id) != "hud_b") upgradeTextures[id] = solid(RED);
    }
    addBarracks(LOCAL, 0);
    drawHUD();
    for (const char* id : research) upgradeRequirements.erase(id), upgradeTextures.erase(id);
    buildingResearchTree.erase("HudBarracks");
    ASSERT_EQ(hudBuildingUnitsButtons.size(), 1u);
    const struct {
        const char* id;
        float x;
        float y;
    } expected[] = {{"hud_a", W - 210.0f, top + 10.0f},
                    {"hud_c", W - 90.0f, top + 10.0f},
                    {"hud_d", W - 30.0f, top + 10.0f},
                    {"hud_e", W - 270.0f, top + 70.0f}};
    ASSERT_EQ(hudUpgradeButtons.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(hudUpgradeButtons[i].upgradeId, expected[i].id);
        expectButton(hudUpgradeButtons[i].rect, expected[i].x, expected[i].y, RED);
    }
    EXPECT_FALSE(same(pixel(static_cast<int>(W - 150.0f + 25), static_cast<int>(top + 35)), RED))
        << "no icon where the upgrade without one would stand";
}

TEST_F(HudPanels, TooltipTextsComeFromTheCataloguesAndSkipTheUpgradedHalls) {
    unitInfo["HudGrunt"].goldCost = 50;
    buildingInfo["HudBarracks"].woodCost = -3;
    for (const char* type : {"OrcStronghold", "OrcFortress"}) buildingInfo[type].type = type;
    upgrades["hud_sharp"].name = "Sharper Axes";
    upgrades["hud_sharp"].goldCost = 100;
    unitTooltips.clear();
    buildingToolTips.clear();
    initTooltips();
    initTooltips();
    for (const char* type : {"OrcStronghold", "OrcFortress"}) buildingInfo.erase(type);
    upgrades.erase("hud_sharp");
    EXPECT_EQ(unitTooltips["HudGrunt"], "Train HudGrunt\nCrystals cost: 50\nOil Cost: 0");
    EXPECT_EQ(buildingToolTips["HudBarracks"], "Build HudBarracks\nCrystals cost: 0\nOil Cost: -3");
    EXPECT_EQ(upgradeTooltips["hud_sharp"], "Upgrade Sharper Axes\nGold cost: 100\nWood Cost: 0");
    EXPECT_EQ(buildingToolTips.count("OrcStronghold") + buildingToolTips.count("OrcFortress"), 0u);
    EXPECT_EQ(unitTooltips.size(), unitInfo.size());
}

TEST_F(HudPanels, TooltipBoxIsKeptInsideTheWindow) {
    addBarracks(LOCAL, 0);
    drawHUD();
    ASSERT_EQ(hudBuildingUnitsButtons.size(), 1u);
    pointAt(hudBuildingUnitsButtons.front().rect, 0.5f);
    unitTooltips["HudGrunt"] = "Train Grunt\nCrystals cost: 50";
    createTooltip(100.0f, 100.0f, unitTooltips["HudGrunt"]);
    drawHUD();
    EXPECT_FLOAT_EQ(tooltip.box.x, 100.0f);
    EXPECT_FLOAT_EQ(tooltip.box.y, 100.0f);
    createTooltip(1270.0f, 715.0f, tooltip.text);
    drawHUD();
    EXPECT_FLOAT_EQ(tooltip.box.x + tooltip.box.w, static_cast<float>(W));
    EXPECT_FLOAT_EQ(tooltip.box.y + tooltip.box.h, static_cast<float>(H));
    EXPECT_TRUE(same(pixel(W - 1, static_cast<int>(tooltip.box.y + tooltip.box.h / 2)), highlightColor));
}

TEST_F(HudPanels, TooltipShowsOnlyWhileItsButtonIsHoveredInThisFrame) {
    addBarracks(LOCAL, 0);
    drawHUD();
    ASSERT_EQ(hudBuildingUnitsButtons.size(), 1u);
    const SDL_FRect r = hudBuildingUnitsButtons.front().rect;
    unitTooltips["HudGrunt"] = "Train HudGrunt";
    struct Case {
        float x;
        float y;
        bool panelShown;
        bool visible;
    };
    const Case cases[] = {
        {r.x + r.w / 2, r.y + r.h / 2, true, true},
        {r.x + r.w, r.y + r.h, true, true},           // the last point of the button
        {r.x + r.w + 1.0f, r.y + r.h, true, false},   // the first point past it
        {r.x - 1.0f, r.y, true, false},
        {r.x + r.w / 2, r.y + r.h / 2, false, false},  // its panel is not drawn: no button to hover
    };
    for (const Case& c : cases) {
        clearBuildingSelection();
        if (c.panelShown) addBuildingToSelection(50);
        mouseX = c.x;
        mouseY = c.y;
        createTooltip(r.x, r.y - 100.0f, unitTooltips["HudGrunt"]);
        drawHUD();
        EXPECT_EQ(tooltip.visible, c.visible) << c.x << "," << c.y << (c.panelShown ? "" : " without the panel");
    }
}

TEST_F(HudPanels, ApmDropsAnActionOlderThanAMinuteAndCountsOnlyPresses) {
    const auto now = std::chrono::steady_clock::now();
    actionTimes = {now - std::chrono::milliseconds(60500), now - std::chrono::seconds(60), now};
    calculateAPM(now);
    EXPECT_EQ(actionTimes.size(), 2u);
    for (Uint32 type : {SDL_KEYDOWN, SDL_MOUSEBUTTONUP, SDL_MOUSEMOTION, SDL_MOUSEBUTTONDOWN}) {
        SDL_Event e{};
        e.type = type;
        captureAPM(e);
    }
    EXPECT_EQ(actionTimes.size(), 4u);
}

TEST_F(HudPanels, FpsShowsZeroUntilHalfASecondHasPassedRightAlignedInGreen) {
    fps = 0.0f;
    fpsCounter = FpsCounter{};
    for (int i = 0; i < 4; ++i) calculateFps(0.1f);
    EXPECT_EQ(fps, 0.0f);
    drawFPS(fps);
    const int left = W - 20 - TextWidth("FPS: 0", 10);
    int green[2] = {0, 0};  // on the line, and right of its end
    for (int x = left; x < W; ++x)
        for (int y = 40; y < 54; ++y) green[x >= W - 19] += pixel(x, y).g > 100 && pixel(x, y).r < 60;
    EXPECT_GT(green[0], 0);
    EXPECT_EQ(green[1], 0);
    calculateFps(0.1f);
    EXPECT_FLOAT_EQ(fps, 10.0f);
}

// The top bar's three groups end 20 px from the right edge whatever the width of their figures, the largest purse
// included; without a local player the bar holds only the MENU button.
TEST_F(HudPanels, TheResourceGroupsEndTwentyPixelsFromTheRightEdgeAtAnyFigure) {
    const struct {
        const char* what;
        bool localPlayer;
        int gold;
        int supply;
    } cases[] = {{"an empty purse", true, 0, 0},
                 {"the largest purse and a full supply", true, 2147483647, 200},
                 {"no local player", false, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        Player::myStaticId = c.localPlayer ? LOCAL : LOCAL + 1;
        Player& p = *getPlayerById(LOCAL);
        p.resources[RESOURCE_GOLD] = p.resources[RESOURCE_WOOD] = c.gold;
        p.supplyUsed = p.supplyCap = p.recruits = c.supply;
        topHUD();
        // The white of the figures, right of the MENU button.
        int rightmost = -1;
        int leftmost = W;
        for (int y = 2; y < 28; ++y)
            for (int x = 120; x < W; ++x)
                if (pixel(x, y).r > 200 && pixel(x, y).g > 200 && pixel(x, y).b > 200) {
                    rightmost = std::max(rightmost, x);
                    leftmost = std::min(leftmost, x);
                }
        if (!c.localPlayer) {
            EXPECT_EQ(rightmost, -1);
            continue;
        }
        EXPECT_LE(rightmost, W - 20);
        EXPECT_GE(rightmost, W - 24);
        EXPECT_GT(leftmost, 120) << "clear of the MENU button";
    }
    Player::myStaticId = LOCAL;
}

constexpr SDL_Color GREEN{30, 200, 30, 255};
constexpr SDL_Color NONE{0, 0, 0, 0};  // no picture drawn

// How many pixels of the read-out row under the portrait show exactly the colour.
int readOutPixels(float top, SDL_Color c) {
    int n = 0;
    for (int y = static_cast<int>(top) + 95; y < static_cast<int>(top) + 125; ++y)
        for (int x = 290; x < 400; ++x) n += same(pixel(x, y), c) ? 1 : 0;
    return n;
}

// The fog's grids for a small map, the fixture's tile (2, 2) seen now or once.
void fogOverTile(bool visible, bool explored) {
    FOG = true;
    initVisionGrid(8, 8);
    visionGrid[2][2] = visible;
    memoryGrid[2][2] = explored;
}

// A selected building is shown live when in sight, or as remembered when the fog hides it or it is gone: the
// remembered picture and hit points in the remembered colour; gone and never remembered, it leaves the selection.
TEST_F(HudPanels, OneBuildingShowsItselfInSightAndWhatWasRememberedUnderTheFog) {
    const struct {
        const char* what;
        bool live;
        bool fogged;
        bool remembered;
        SDL_Color portrait;
        bool keptSelected;
        SDL_Color readOut;
    } cases[] = {
        {"in sight", true, false, true, BLUE, true, whiteColor},
        {"under the fog", true, true, true, GREEN, true, rememberedColor},
        {"destroyed since it was seen", false, true, true, GREEN, true, rememberedColor},
        {"destroyed and never remembered", false, true, false, NONE, false, whiteColor},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        reset_game_state();
        ghostBuildings.clear();
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        if (c.live) {
            Building b;
            b.id = 50;
            b.type = "HudBarracks";
            b.playerId = LOCAL + 1;
            b.x = b.y = 2;
            b.completed = true;
            b.hp = b.displayHp = b.maxHp = 400.0f;
            addBuilding(b);
        }
        fogOverTile(!c.fogged, true);
        if (c.remembered) {
            BuildingSnapshot ghost;
            ghost.id = 50;
            ghost.x = ghost.y = 2;
            ghost.owner = LOCAL + 1;
            ghost.type = "HudBarracks";
            ghost.hp = 80;
            ghost.completed = true;
            ghost.sprite.texture = solid(GREEN);
            ghostBuildings[{2, 2}] = ghost;
        }
        addBuildingToSelection(50);
        drawHUD();
        const SDL_Color shown = pixel(340, static_cast<int>(top + 50));
        if (c.portrait.a == 0)
            EXPECT_FALSE(same(shown, BLUE) || same(shown, GREEN));
        else
            EXPECT_TRUE(same(shown, c.portrait));
        EXPECT_EQ(selectedBuildings, c.keptSelected ? std::vector<int>{50} : std::vector<int>{});
        if (c.keptSelected) {
            EXPECT_GT(readOutPixels(top, c.readOut), 0);
            const SDL_Color other = same(c.readOut, whiteColor) ? rememberedColor : whiteColor;
            EXPECT_EQ(readOutPixels(top, other), 0);
        }
        FOG = false;
        ghostBuildings.clear();
    }
}

// The read-out row under the portrait shows exactly the text, as the panel's font draws it on the bare panel.
bool readOutShows(float top, const std::string& text, SDL_Color c) {
    const SDL_Rect row{290, static_cast<int>(top) + 95, 110, 30};
    const auto copy = [&] {
        std::vector<uint32_t> px;
        for (int y = row.y; y < row.y + row.h; ++y)
            for (int x = row.x; x < row.x + row.w; ++x) {
                const SDL_Color p = pixel(x, y);
                px.push_back(uint32_t{p.r} << 16 | uint32_t{p.g} << 8 | p.b);
            }
        return px;
    };
    const std::vector<uint32_t> drawn = copy();
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(renderer, panelColor.r, panelColor.g, panelColor.b, panelColor.a);
    const SDL_FRect panel{0.0f, top, static_cast<float>(W), HUD_SIZE};
    SDL_RenderFillRectF(renderer, &panel);
    DrawText(text, 340, static_cast<int>(top + 100.0f), c, 16, true);
    return copy() == drawn;
}

// A sheet of one-pixel frames, one row per variant: red then blue.
SDL_Texture* variantSheet(std::vector<SDL_Texture*>& made) {
    SDL_Texture* sheet = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA32, SDL_TEXTUREACCESS_STATIC, 1, 2);
    const uint8_t px[8] = {RED.r, RED.g, RED.b, RED.a, BLUE.r, BLUE.g, BLUE.b, BLUE.a};
    SDL_UpdateTexture(sheet, nullptr, px, 4);
    made.push_back(sheet);
    return sheet;
}

// The map-object panel shows the row of the object's variant; under the fog, the picture last seen and the
// read-out in the remembered colour; an object the player never saw is shown as it is.
TEST_F(HudPanels, MapObjectPanelShowsTheRowOfItsVariantOrWhatWasLastSeen) {
    MapObjectSpriteMeta& meta = mapObjectsSprites["HudCrystal"];
    meta.sprite.texture = variantSheet(made);
    meta.frameWidth = meta.frameHeight = 1;
    const struct {
        const char* what;
        bool fog;
        bool visible;
        bool explored;
        int ghostRow;  // -1: no snapshot
        int variant;
        int amount;  // now; a snapshot remembers 250
        SDL_Color portrait;
        SDL_Color readOut;
        const char* shown;
    } cases[] = {
        {"no fog, first variant", false, false, false, -1, 0, 300, RED, whiteColor, "300/300"},
        {"no fog, second variant", false, false, false, -1, 1, 300, BLUE, whiteColor, "300/300"},
        {"exhausted", false, false, false, -1, 1, 0, BLUE, whiteColor, "0/300"},
        {"in sight", true, true, true, -1, 1, 120, BLUE, whiteColor, "120/300"},
        {"under the fog, last seen as the first variant", true, false, true, 0, 1, 120, RED, rememberedColor,
         "250/300"},
        {"under the fog, last seen as the second variant", true, false, true, 1, 0, 0, BLUE, rememberedColor,
         "250/300"},
        {"under the fog without a snapshot", true, false, true, -1, 1, 120, RED, rememberedColor, "120/300"},
        {"never seen", true, false, false, -1, 1, 120, BLUE, whiteColor, "120/300"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        reset_game_state();
        ghostObjects.clear();
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        MapObject o;
        o.id = 9;
        o.type = "HudCrystal";
        o.tileX = o.tileY = 2;
        o.wTiles = o.hTiles = 1;
        o.variant = c.variant;
        o.amount = c.amount;
        o.maxAmount = 300;
        mapObjectIdToIndex[o.id] = mapObjects.size();
        mapObjects.push_back(o);
        if (c.fog) fogOverTile(c.visible, c.explored);
        if (c.ghostRow >= 0) {
            MapObjectSnapshot ghost;
            ghost.id = 9;
            ghost.type = "HudCrystal";
            ghost.x = ghost.y = 2;
            ghost.sprite.src = {0, c.ghostRow, 1, 1};
            ghost.amount = 250;
            ghostObjects[{2, 2}] = ghost;
        }
        addMapObjectToSelection(9);
        drawHUD();
        EXPECT_TRUE(same(pixel(340, static_cast<int>(top + 50)), c.portrait));
        EXPECT_GT(readOutPixels(top, c.readOut), 0);
        const SDL_Color other = same(c.readOut, whiteColor) ? rememberedColor : whiteColor;
        EXPECT_EQ(readOutPixels(top, other), 0);
        EXPECT_TRUE(readOutShows(top, c.shown, c.readOut));
        FOG = false;
        ghostObjects.clear();
    }
    mapObjectsSprites.erase("HudCrystal");
}

}  // namespace
