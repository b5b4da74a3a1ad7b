// The HUD in whole match frames of the fight map: a group selected with the in-game menu open, and a won match
// that shows "VICTORY" and quits to the menus.
#include "game_loop.h"
#include "activity.h"
#include "game_session.h"
#include "hud_cursor.h"
#include "hud_scene.h"

namespace {

using namespace hud_scene;

struct HudMatch : SceneTest {
    void SetUp() override {
        SceneTest::SetUp();
        if (IsSkipped()) return;
        ASSERT_TRUE(scene::startFight(false));
        mode = GameMode::Skirmish;
        DrawHUD = drawHUD;
        AnnounceMatchResult = announceMatchResult;
        initTooltips();
        initMenuButton();
        initGameMenu();
        currentMap = "fight";
    }
    void TearDown() override {
        victoryPlayerId = -1;
        Player::aiId = 0;
        AnnounceMatchResult = nullptr;
        DrawHUD = nullptr;
        mouseX = mouseY = 0.0f;
        SceneTest::TearDown();
    }
};

TEST_F(HudMatch, GroupSelectedWithTheMenuOpen) {
    const Player& local = *getPlayerById(1);
    for (int id : local.unitIds) addToSelection(id);
    ASSERT_GE(selectedUnits.size(), 2u);
    postActivity("HumanFarm completed", texFood);
    menuButton.onClick();
    scene::drawFrame();
    // The pointer rests on the first build button, so its tooltip shows.
    ASSERT_FALSE(hudBuildingButtons.empty());
    const SDL_FRect build = hudBuildingButtons.front().rect;
    mouseX = build.x + build.w / 2;
    mouseY = build.y + build.h / 2;
    createTooltip(static_cast<float>(windowSize().x) - 260.0f, windowSize().y - HUD_SIZE - 50.0f,
                  buildingToolTips[unitInfo.at(getUnitById(selectedUnits[0])->type).buildMenu.at(0)]);
    scene::drawFrame();
    EXPECT_TRUE(tooltip.visible);
    ASSERT_TRUE(scene::savePng(screenshotFolder(), "hud_group_menu.png"));
    EXPECT_EQ(unitHUDHitboxes.size(), selectedUnits.size());
    EXPECT_FALSE(hudBuildingButtons.empty());
    // The menu panel sits centred: its border colour at its left edge, a menu button inside.
    const SDL_FRect m = gameMenu.rect;
    EXPECT_FLOAT_EQ(m.x, 515.0f);
    EXPECT_FLOAT_EQ(m.y, 185.0f);
    const SDL_Color edge = pixel(static_cast<int>(m.x), static_cast<int>(m.y + m.h / 2));
    EXPECT_EQ(edge.r, 160);
    EXPECT_EQ(edge.g, 110);
    const SDL_Color button = pixel(static_cast<int>(m.x + 30), static_cast<int>(m.y + 162));
    EXPECT_EQ(button.r, 35);
    // The feed's newest row is centred on y 435 of the 720-pixel window, its text from x 50.
    int lit = 0;
    for (int x = 50; x < 120; ++x) lit += pixel(x, 435).r > 200 && pixel(x, 435).b > 200;
    EXPECT_GT(lit, 0);
}

TEST_F(HudMatch, DestroyingTheLastEnemyBuildingShowsVictoryCentredAndQuitEndsTheSession) {
    // The computer player is the other side.
    Player::aiId = 2;
    Player& enemy = *getPlayerById(2);
    ASSERT_FALSE(enemy.buildingIds.empty());
    for (int id : enemy.buildingIds) getBuildingById(id)->hp = 1.0f;
    const std::vector<int> army = headless::placeArmy(1, "Marine", {enemy.baseTile.x - 3, enemy.baseTile.y - 3}, 6);
    ASSERT_FALSE(army.empty());
    // The army is sent at the enemy's next building until none is left.
    for (int tick = 0; tick < 20000 && victoryPlayerId == -1; ++tick) {
        std::vector<Command> orders;
        if (tick % 200 == 0 && !enemy.buildingIds.empty())
            for (int unit : army) orders.push_back({CommandType::Attack, 1, AttackCommand{unit, enemy.buildingIds.front()}});
        applyLiveTurn(orders, grid, 0);
        advanceOneTurn(grid);
        checkVictoryPlayer();
    }
    ASSERT_EQ(victoryPlayerId, 1);
    ASSERT_TRUE(game_over_modal.isVisible());
    scene::drawFrame();
    ASSERT_TRUE(scene::savePng(screenshotFolder(), "hud_victory.png"));
    // The title's white pixels are centred in the dialog.
    const SDL_FRect r = game_over_modal.rect;
    int left = 100000;
    int right = -1;
    for (int y = static_cast<int>(r.y + 30); y < static_cast<int>(r.y + 100); ++y)
        for (int x = static_cast<int>(r.x + 1); x < static_cast<int>(r.x + r.w - 1); ++x)
            if (pixel(x, y).r > 200 && pixel(x, y).b > 200) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_GT(right, left);
    EXPECT_NEAR((left + right) / 2.0f, r.x + r.w / 2.0f, 3.0f);
    EXPECT_NEAR(r.x + r.w / 2.0f, 640.0f, 0.5f);
    const Label* title = dynamic_cast<const Label*>(game_over_modal.children.front().get());
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text, "VICTORY");
    // Quit, then the next match frame tears the session down and the menus show.
    SDL_Event click{};
    click.type = SDL_MOUSEBUTTONDOWN;
    click.button.button = SDL_BUTTON_LEFT;
    click.button.x = static_cast<int>(r.x + 150);
    click.button.y = static_cast<int>(r.y + 135);
    EXPECT_TRUE(game_over_modal.handleEvent(click));
    gameState = GameState::Match;
    game_loop();
    EXPECT_EQ(gameState, GameState::Menus);
    EXPECT_TRUE(units.empty());
    EXPECT_TRUE(buildings.empty());
    EXPECT_EQ(victoryPlayerId, -1);
    EXPECT_FALSE(game_over_modal.isVisible());
    EXPECT_FALSE(pendingShutdown);
}

}  // namespace
