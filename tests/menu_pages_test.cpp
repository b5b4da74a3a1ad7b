// The menu: page switches after the event, the main page's buttons, the options page and the loading sequence.
#include <SDL2/SDL_mixer.h>

#include <vector>

#include "draw_fixture.h"
#include "game_loop.h"
#include "game_state.h"
#include "session_fixture.h"
#include "sounds.h"
#include "ui/loading_page.h"
#include "ui/main_page.h"
#include "ui/main_menu.h"
#include "ui/map_editor_page.h"
#include "ui/options_page.h"

namespace {

// A left press or release; a motion event keeps its point at the same offsets.
SDL_Event mouse(Uint32 type, int x, int y) {
    SDL_Event e{};
    e.type = type;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.x = x;
    e.button.y = y;
    return e;
}

void click(int x, int y) { mainMenu.handleEvent(mouse(SDL_MOUSEBUTTONDOWN, x, y)); }

struct Menu : DrawFixture {
    void SetUp() override {
        DrawFixture::SetUp();
        mainMenu.init();
    }
    void TearDown() override {
        closeMenus();
        DrawFixture::TearDown();
    }
    static MainPage& mainPage() { return *static_cast<MainPage*>(mainMenu.page(MenuPage::MainPage)); }
};

TEST_F(Menu, ClickOnOptionsSwitchesOnlyAfterTheEvent) {
    // The options page's Back button lies under this point too: it must not see the click that opened the page.
    const int y = 600;
    const SDL_FRect& options = mainPage().optionsButton.rect;
    ASSERT_TRUE(pointInRect(options, 640, y));
    click(640, y);
    EXPECT_EQ(mainMenu.current, MenuPage::OptionsPage);
    const SDL_FRect back = static_cast<OptionsPage*>(mainMenu.page(MenuPage::OptionsPage))->backButton.rect;
    ASSERT_TRUE(pointInRect(back, 640, y));
    click(640, y);
    EXPECT_EQ(mainMenu.current, MenuPage::MainPage);
}

TEST_F(Menu, DisabledButtonsNeitherHighlightNorSwitch) {
    for (Button* b : {&mainPage().onlineButton, &mainPage().replaysButton}) {
        const int x = static_cast<int>(b->rect.x);
        const int y = static_cast<int>(b->rect.y + b->rect.h);
        mainMenu.handleEvent(mouse(SDL_MOUSEMOTION, x, y));
        EXPECT_FALSE(b->hovered);
        click(x, y);
        EXPECT_EQ(mainMenu.current, MenuPage::MainPage);
    }
    mainMenu.handleEvent(mouse(SDL_MOUSEMOTION, 515, 290));
    EXPECT_TRUE(mainPage().lanButton.hovered);
}

// A list's panel is translucent over the menu background on a fresh start as after a match, whatever blending the
// last frame drawn left set.
TEST_F(Menu, AListPanelBlendsOverTheBackgroundWhateverTheLastFrameLeftSet) {
    mainMenu.switch_to_page(MenuPage::MapEditorPage);
    std::vector<SDL_Color> shown;
    for (const SDL_BlendMode left : {SDL_BLENDMODE_NONE, SDL_BLENDMODE_BLEND}) {
        SDL_SetRenderDrawBlendMode(renderer, left);
        main_loop();
        ASSERT_EQ(mainMenu.current, MenuPage::MapEditorPage);
        const SDL_FRect list = static_cast<MapEditorPage*>(mainMenu.page(MenuPage::MapEditorPage))->mapList.rect;
        shown.push_back(pixel(static_cast<int>(list.x + 5), static_cast<int>(list.y + list.h - 5)));
    }
    EXPECT_TRUE(same(shown[0], shown[1]));
    EXPECT_FALSE(same(shown[0], {35, 35, 35, 255})) << "the panel's own colour, not blended";
}

TEST_F(Menu, ExitAndTheQuitEventEndTheLoopAfterTheFrame) {
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    for (SDL_Event e : {mouse(SDL_MOUSEBUTTONDOWN, 765, 695), quit}) {
        running = true;
        SDL_PushEvent(&e);
        main_loop();
        EXPECT_FALSE(running);
    }
}

TEST_F(Menu, OptionsApplyAtOnceAndShowTheLiveValuesOnEntry) {
    ASSERT_TRUE(openAudio());
    mainMenu.switch_to_page(MenuPage::OptionsPage);
    mainMenu.handleEvent(mouse(SDL_MOUSEMOTION, 0, 0));
    auto* page = static_cast<OptionsPage*>(mainMenu.page(MenuPage::OptionsPage));
    const bool effects = soundEffects;
    click(static_cast<int>(page->effectsCheckbox.box.x), static_cast<int>(page->effectsCheckbox.box.y));
    EXPECT_NE(soundEffects, effects);
    struct Case {
        Slider OptionsPage::*slider;
        int percent;
        int mixer;
        int shownAgain;
    };
    const Case cases[] = {{&OptionsPage::musicVolumeSlider, 100, 128, 100},
                          {&OptionsPage::musicVolumeSlider, 50, 64, 50},
                          {&OptionsPage::musicVolumeSlider, 99, 126, 98},
                          {&OptionsPage::effectsVolumeSlider, 1, 1, 0},
                          // Mixer volume 1 shows as 0, so choosing 0 changes nothing and calls nothing.
                          {&OptionsPage::effectsVolumeSlider, 0, 1, 0}};
    for (const Case& c : cases) {
        Slider& s = page->*c.slider;
        const float lo = s.track.x + Slider::MARGIN;
        const float span = s.track.w - 2 * Slider::MARGIN;
        mainMenu.handleEvent(mouse(SDL_MOUSEBUTTONDOWN, static_cast<int>(lo), static_cast<int>(s.track.y)));
        mainMenu.handleEvent(mouse(SDL_MOUSEMOTION, static_cast<int>(lo + span * (c.percent + 0.5f) / 100), 0));
        mainMenu.handleEvent(mouse(SDL_MOUSEBUTTONUP, 0, 0));
        const int mixer = c.slider == &OptionsPage::musicVolumeSlider ? Mix_VolumeMusic(-1) : Mix_Volume(-1, -1);
        EXPECT_EQ(mixer, c.mixer) << c.percent;
        page->init();
        EXPECT_EQ((page->*c.slider).value, c.shownAgain) << c.percent;
    }
    closeAudio();
}

using LoadingSequence = SessionTest;

TEST_F(LoadingSequence, StepsFireAfterTheirWaitsThenTheSessionStarts) {
    MainMenu menu;
    LoadingPage page(&menu);
    unitSprites.clear();
    currentMap = "fight";
    page.init();
    // Without unit sprites "SYSTEMS READY" follows in the same frame and one wait of 800 ms is left out.
    const std::pair<double, const char*> steps[] = {{1000, "TRAJECTORY CALCULATED"},
                                                    {500, "SYSTEMS READY"},
                                                    {800, "DEPLOYING..."}};
    for (const auto& [wait, line] : steps) {
        fake_clock::advanceMs(wait);
        page.update();
        EXPECT_NE(page.logs.back(), std::string("[SYSTEM] ") + line) << "not before " << wait << " ms";
        fake_clock::advanceMs(1);
        page.update();
        EXPECT_EQ(page.logs.back(), std::string("[SYSTEM] ") + line);
    }
    EXPECT_EQ(page.logs.size(), 5u);
    fake_clock::advanceMs(501);
    seatPlayers();
    page.update();
    EXPECT_EQ(gameState, GameState::Match);
    EXPECT_FALSE(page.active);
    EXPECT_TRUE(menu.switchPending);
    EXPECT_EQ(menu.pending, MenuPage::MainPage);
}

}  // namespace
