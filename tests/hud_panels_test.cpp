// The bottom HUD drawn with fixture catalogues and read back: icon rows, spell grid, production queue, hit lists,
// tooltips and the read-outs.
#include <gtest/gtest.h>

#include <chrono>

#include "../tools/render_scene.h"
#include "config.h"
#include "game.h"
#include "hud.h"
#include "player.h"

namespace {

constexpr SDL_Color RED{200, 30, 30, 255};
constexpr SDL_Color BLUE{30, 30, 200, 255};
constexpr SDL_Color HIGHLIGHT{180, 229, 13, 255};
constexpr int LOCAL = 7;

constexpr int W = 1280;
constexpr int H = 720;

SDL_Color pixel(int x, int y) {
    SDL_Surface* s = scene::canvas().surface;
    const auto* row = static_cast<const uint8_t*>(s->pixels) + y * s->pitch;
    SDL_Color c;
    SDL_GetRGBA(reinterpret_cast<const uint32_t*>(row)[x], s->format, &c.r, &c.g, &c.b, &c.a);
    return c;
}

bool same(SDL_Color a, SDL_Color b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// The shipped catalogues stay loaded for the other scenes; the panels' own types are added beside them.
struct HudPanels : ::testing::Test {
    SDL_Renderer* previous = renderer;
    float top = 0.0f;
    std::vector<SDL_Texture*> made;

    void SetUp() override {
        if (!scene::loadContent(CORVALE_SOURCE_DIR)) GTEST_SKIP() << "content or art missing";
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        reset_game_state();
        GOD_MODE = false;
        FOG = false;
        top = static_cast<float>(H) - HUD_SIZE;
        Player::myStaticId = LOCAL;
        players.push_back(std::make_unique<Player>(LOCAL, "Joes", "human", false));
        tooltip = Tooltip{};
        unitSprites["HudGrunt"].portrait = solid(RED);
        unitInfo["HudGrunt"].type = "HudGrunt";
    }
    void TearDown() override {
        reset_game_state();
        unitSprites.erase("HudGrunt");
        unitInfo.erase("HudGrunt");
        buildingSprites.erase("HudBarracks");
        buildingInfo.erase("HudBarracks");
        buildingUnits.erase("HudBarracks");
        for (const char* key : {"a", "b", "c", "d", "e", "foreign"}) {
            spellInfo.erase(key);
            spellPortraitTextures.erase(key);
        }
        for (SDL_Texture* t : made) SDL_DestroyTexture(t);
        renderer = previous;
    }

    SDL_Texture* solid(SDL_Color c) {
        SDL_Texture* t = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA32, SDL_TEXTUREACCESS_STATIC, 1, 1);
        const uint8_t px[4] = {c.r, c.g, c.b, c.a};
        SDL_UpdateTexture(t, nullptr, px, 4);
        made.push_back(t);
        return t;
    }
    static int addGrunt(int owner = LOCAL) {
        Unit u;
        u.id = static_cast<int>(units.size()) + 100;
        u.type = "HudGrunt";
        u.playerId = owner;
        return addUnit(u).id;
    }
    static void expectRect(const SDL_FRect& r, float x, float y, float w) {
        EXPECT_FLOAT_EQ(r.x, x);
        EXPECT_FLOAT_EQ(r.y, y);
        EXPECT_FLOAT_EQ(r.w, w);
    }
    // The centre of a recorded button shows the colour.
    static void expectShown(const SDL_FRect& r, SDL_Color c) {
        EXPECT_TRUE(same(pixel(static_cast<int>(r.x + r.w / 2), static_cast<int>(r.y + r.h / 2)), c))
            << r.x << "," << r.y;
    }
    Building& addBarracks(int owner, int queued) {
        buildingSprites["HudBarracks"].sprite.texture = solid(BLUE);
        buildingInfo["HudBarracks"].type = "HudBarracks";
        buildingUnits["HudBarracks"] = {"HudGrunt"};
        Building b;
        b.id = 50;
        b.type = "HudBarracks";
        b.playerId = owner;
        b.completed = true;
        b.hp = b.maxHp = 100.0f;
        for (int i = 0; i < queued; ++i) b.productionQueue.push_back({TrainingKind::Unit, "HudGrunt", -1, "", 10.0f, i == 0 ? 4.0f : 0.0f, 50});
        Building* added = addBuilding(b);
        addBuildingToSelection(added->id);
        return *added;
    }
};

TEST_F(HudPanels, SixteenSelectedUnitsFillFifteenIconsThenWrapToTheNextRow) {
    for (int i = 0; i < 16; ++i) addToSelection(addGrunt());
    drawHUD();
    ASSERT_EQ(unitHUDHitboxes.size(), 16u);
    expectRect(unitHUDHitboxes[0].rect, 300.0f, top + 15.0f, 30.0f);
    expectRect(unitHUDHitboxes[1].rect, 340.0f, top + 15.0f, 30.0f);
    expectRect(unitHUDHitboxes[14].rect, 860.0f, top + 15.0f, 30.0f);
    expectRect(unitHUDHitboxes[15].rect, 300.0f, top + 50.0f, 30.0f);
    EXPECT_EQ(unitHUDHitboxes[15].unitId, selectedUnits[15]);
    for (const UnitHudIcon& icon : unitHUDHitboxes) expectShown(icon.rect, RED);
    // Between two icons the panel shows.
    EXPECT_FALSE(same(pixel(335, static_cast<int>(top + 30)), RED));
}

TEST_F(HudPanels, OneSelectedUnitShowsItsPanelAndNoIconRow) {
    addToSelection(addGrunt());
    drawHUD();
    EXPECT_TRUE(unitHUDHitboxes.empty());
    EXPECT_TRUE(same(pixel(340, static_cast<int>(top + 50)), RED));  // the 80 px portrait
}

TEST_F(HudPanels, CasterWithFiveSpellsRecordsFourOnTheFirstRowAndTheFifthBelow) {
    for (const char* key : {"a", "b", "c", "d", "e", "foreign"}) {
        spellInfo[key].caster = std::string(key) == "foreign" ? "Ogre" : "HudGrunt";
        spellPortraitTextures[key] = solid(BLUE);
    }
    Unit& caster = *getUnitById(addGrunt());
    caster.cooldowns["b"] = 2.2f;
    addToSelection(caster.id);
    drawHUD();
    ASSERT_EQ(hudSpellButtons.size(), 5u);
    const float w = static_cast<float>(W);
    const float xs[] = {w - 270.0f, w - 210.0f, w - 150.0f, w - 90.0f, w - 270.0f};
    for (std::size_t i = 0; i < 5; ++i) {
        expectRect(hudSpellButtons[i].rect, xs[i], i < 4 ? top + 10.0f : top + 70.0f, 50.0f);
        EXPECT_EQ(hudSpellButtons[i].spell, std::string(1, static_cast<char>('a' + i)));
    }
    expectShown(hudSpellButtons[0].rect, BLUE);
    // A spell cooling down is darkened.
    const SDL_Color dim = pixel(static_cast<int>(hudSpellButtons[1].rect.x + 3), static_cast<int>(hudSpellButtons[1].rect.y + 3));
    EXPECT_LT(dim.b, BLUE.b);
}

TEST_F(HudPanels, QueueOfThreeShowsTheEntryInProgressAndSixSlotsNumberedWhereEmpty) {
    addBarracks(LOCAL, 3);
    drawHUD();
    ASSERT_EQ(hudProgressBarButtons.size(), 7u);
    EXPECT_EQ(hudProgressBarButtons[0].index, 0);
    expectRect(hudProgressBarButtons[0].rect, 410.0f, H - 80.0f, 30.0f);
    expectShown(hudProgressBarButtons[0].rect, RED);
    for (int i = 1; i <= 6; ++i) {
        EXPECT_EQ(hudProgressBarButtons[i].index, i);
        expectRect(hudProgressBarButtons[i].rect, 410.0f + 40.0f * (i - 1), H - 45.0f, 30.0f);
    }
    // Entries 2 and 3 wait in slots 1 and 2; slots 3 to 6 are empty troughs with their numbers.
    expectShown(hudProgressBarButtons[1].rect, RED);
    expectShown(hudProgressBarButtons[2].rect, RED);
    const SDL_FRect empty = hudProgressBarButtons[3].rect;
    EXPECT_TRUE(same(pixel(static_cast<int>(empty.x + 4), static_cast<int>(empty.y + 26)), {50, 50, 50, 255}));
    EXPECT_TRUE(same(pixel(static_cast<int>(empty.x + 15), static_cast<int>(empty.y + 1)), HIGHLIGHT));
    // The trainable unit is on the production grid.
    ASSERT_EQ(hudBuildingUnitsButtons.size(), 1u);
    expectRect(hudBuildingUnitsButtons[0].rect, W - 270.0f, top + 10.0f, 50.0f);
}

TEST_F(HudPanels, PanelsNotDrawnThisFrameHaveNoClickableButtons) {
    struct Case {
        const char* what;
        int owner;
        int queued;
        bool unitSelectedAfter;
    };
    for (const Case c : {Case{"enemy building", LOCAL + 1, 2, false}, Case{"queue not started", LOCAL, 0, false},
                         Case{"units selected instead", LOCAL, 2, true}}) {
        reset_game_state();
        players.push_back(std::make_unique<Player>(LOCAL, "Joes", "human", false));
        addBarracks(LOCAL, 2);
        drawHUD();
        ASSERT_FALSE(hudProgressBarButtons.empty());
        ASSERT_FALSE(hudBuildingUnitsButtons.empty());
        clearBuildingSelection();
        getBuildingById(50)->playerId = c.owner;
        if (c.queued == 0) getBuildingById(50)->productionQueue.clear();
        if (c.unitSelectedAfter)
            addToSelection(addGrunt());
        else
            addBuildingToSelection(50);
        drawHUD();
        EXPECT_TRUE(hudProgressBarButtons.empty()) << c.what;
        EXPECT_EQ(hudBuildingUnitsButtons.empty(), c.owner != LOCAL || c.unitSelectedAfter) << c.what;
    }
}

TEST_F(HudPanels, TooltipTextsComeFromTheCataloguesAndSkipTheUpgradedHalls) {
    unitInfo["HudGrunt"].goldCost = 50;
    buildingInfo["HudBarracks"].type = "HudBarracks";
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
    createTooltip(100.0f, 100.0f, "Train Grunt\nCrystals cost: 50");
    drawHUD();
    EXPECT_FLOAT_EQ(tooltip.box.x, 100.0f);
    EXPECT_FLOAT_EQ(tooltip.box.y, 100.0f);
    createTooltip(1270.0f, 715.0f, "Train Grunt\nCrystals cost: 50");
    drawHUD();
    EXPECT_FLOAT_EQ(tooltip.box.x + tooltip.box.w, static_cast<float>(W));
    EXPECT_FLOAT_EQ(tooltip.box.y + tooltip.box.h, static_cast<float>(H));
    EXPECT_TRUE(same(pixel(W - 1, static_cast<int>(tooltip.box.y + tooltip.box.h / 2)), HIGHLIGHT));
    // The dark fill, over the bottom panel.
    const SDL_Color fill = pixel(static_cast<int>(tooltip.box.x + 2), static_cast<int>(tooltip.box.y + 2));
    EXPECT_TRUE(fill.r == fill.g && fill.g == fill.b && fill.r > 20 && fill.r < 39) << int(fill.r);
}

TEST_F(HudPanels, ApmDropsAnActionOlderThanAMinuteAndKeepsOneExactlyAMinuteOld) {
    const auto now = std::chrono::steady_clock::now();
    reset_APM();
    actionTimes = {now - std::chrono::milliseconds(60500), now - std::chrono::seconds(60), now};
    calculateAPM(now);
    EXPECT_EQ(actionTimes.size(), 2u);
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    SDL_Event release{};
    release.type = SDL_MOUSEBUTTONUP;
    captureAPM(key);
    captureAPM(release);
    EXPECT_EQ(actionTimes.size(), 3u);
    reset_APM();
    EXPECT_TRUE(actionTimes.empty());
}

// The green pixels of the status line at y, right-aligned 20 px from the edge.
int greenPixelsRightOf(int fromX, int y) {
    int n = 0;
    for (int x = fromX; x < W; ++x)
        for (int dy = 0; dy < 14; ++dy) {
            const SDL_Color c = pixel(x, y + dy);
            n += c.g > 100 && c.r < 60;
        }
    return n;
}

TEST_F(HudPanels, FpsShowsZeroUntilHalfASecondHasPassed) {
    fps = 0.0f;
    fpsCounter = FpsCounter{};
    for (int i = 0; i < 4; ++i) calculateFps(0.1f);
    EXPECT_EQ(fps, 0.0f);
    drawFPS(fps);
    const int width = TextWidth("FPS: 0", 10);
    EXPECT_GT(greenPixelsRightOf(W - 20 - width, 40), 0);
    EXPECT_EQ(greenPixelsRightOf(W - 19, 40), 0);
    calculateFps(0.1f);
    EXPECT_FLOAT_EQ(fps, 10.0f);
}

TEST_F(HudPanels, TopBarShowsTheLocalResourcesRightAlignedAndTheMenuButton) {
    initMenuButton();
    getPlayerById(LOCAL)->resources[RESOURCE_GOLD] = 450;
    topHUD();
    EXPECT_TRUE(same(pixel(25, 8), {139, 0, 0, 255}));
    // The supply group ends 20 px from the right edge: text pixels left of that, none right of it.
    int lit = 0;
    for (int x = W - 60; x < W - 20; ++x)
        for (int y = 5; y < 25; ++y) lit += pixel(x, y).r > 200;
    EXPECT_GT(lit, 0);
    for (int y = 0; y < 30; ++y) EXPECT_LT(pixel(W - 10, y).r, 200);
}

}  // namespace
