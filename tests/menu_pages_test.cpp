// The menu: page switches after the event, the main page's buttons, the options page and the loading sequence.
#include <SDL2/SDL_mixer.h>
#include <unistd.h>

#include <vector>

#include "../tools/relay_stand_in.h"
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
#include "ui/slider.h"

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

// The Online button stays disabled; its callback, called as the button would call it, goes to the LAN page with a
// connection through the relay, or, when nothing listens, says why in two lines and leaves the LAN road as it was.
TEST_F(Menu, TheOnlineCallbackReachesTheLanPageThroughTheRelay) {
    MainPage& page = mainPage();
    EXPECT_FALSE(page.onlineButton.enabled);
    EXPECT_EQ(page.relayHost, "127.0.0.1");
    NetworkManager relayLink, otherPeer;
    page.relayPort = 25000 + getpid() % 2000 * 5;
    testing::internal::CaptureStderr();
    while (!relayLink.listen(static_cast<uint16_t>(page.relayPort))) ++page.relayPort;
    testing::internal::GetCapturedStderr();
    page.onlineButton.onClick();
    ASSERT_TRUE(otherPeer.connect("127.0.0.1", static_cast<uint16_t>(page.relayPort)));
    ASSERT_TRUE(relay::admitPeers(relayLink, 2));
    mainMenu.handleEvent(mouse(SDL_MOUSEMOTION, 0, 0));
    EXPECT_EQ(mainMenu.current, MenuPage::LANPage);
    EXPECT_TRUE(lobbyState.useRelayer);
    EXPECT_FALSE(net.isHost);
    LobbyPeer self = globalLobbyPeer();
    searchLobbies(self);
    std::vector<NetPacket> heard;
    for (int round = 0; round < 100 && heard.size() < 2; ++round) {
        relayLink.waitForTraffic(2);
        relay::passFrames(relayLink);
        for (NetPacket& p : otherPeer.receivePackets()) heard.push_back(std::move(p));
    }
    ASSERT_EQ(heard.size(), 2u) << "a search through the relay is sent twice";
    EXPECT_EQ(heard.front().type, static_cast<uint8_t>(PacketType::LobbyQuery));

    net.closeTcp();
    lobbyState.useRelayer = false;
    mainMenu.switch_to_page(MenuPage::MainPage);
    mainMenu.handleEvent(mouse(SDL_MOUSEMOTION, 0, 0));
    testing::internal::CaptureStderr();
    mainPage().onlineButton.onClick();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Connect failed: Connection refused\nFailed to connect to relayer!\n");
    mainMenu.handleEvent(mouse(SDL_MOUSEMOTION, 0, 0));
    EXPECT_EQ(mainMenu.current, MenuPage::MainPage);
    EXPECT_TRUE(net.connections.empty());
    EXPECT_FALSE(lobbyState.useRelayer);
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

// The music box shows whether music is on, on every entry: switched off, left and entered again, it stays clear
// while the menu track stays loaded, and the next click brings the music back with the box.
TEST_F(Menu, TheMusicBoxShowsTheMusicSwitchOnEveryEntry) {
    ASSERT_TRUE(openAudio());
    const bool savedMusic = musicActive;
    musicActive = true;
    mainMenuTracks = {"core/assets/music/main_menu_1.ogg"};
    playRandomMainMenuMusic();
    ASSERT_NE(mainMenuMusic, nullptr);
    mainMenu.switch_to_page(MenuPage::OptionsPage);
    mainMenu.handleEvent(mouse(SDL_MOUSEMOTION, 0, 0));
    auto* page = static_cast<OptionsPage*>(mainMenu.page(MenuPage::OptionsPage));
    const struct {
        const char* step;
        bool click;
        bool music;
    } steps[] = {{"on entry", false, true}, {"switched off", true, false},      {"entered again", false, false},
                 {"switched on", true, true}, {"entered once more", false, true}};
    for (const auto& s : steps) {
        if (s.click) {
            click(static_cast<int>(page->musicCheckbox.box.x), static_cast<int>(page->musicCheckbox.box.y));
        } else {
            page->init();
        }
        EXPECT_EQ(musicActive, s.music) << s.step;
        EXPECT_EQ(Mix_PlayingMusic() != 0, s.music) << s.step;
        EXPECT_EQ(page->musicCheckbox.checked, s.music) << s.step;
    }
    closeAudio();
    mainMenuTracks.clear();
    currentMusicContext = MusicNone;
    musicActive = savedMusic;
}

// The arrow keys light rows of the map list as clicks do, and the map Open map would open is the row lit.
TEST_F(Menu, TheMapTheEditorWouldOpenIsTheRowTheKeysLight) {
    mainMenu.switch_to_page(MenuPage::MapEditorPage);
    mainMenu.handleEvent(mouse(SDL_MOUSEMOTION, 0, 0));
    const auto* page = static_cast<MapEditorPage*>(mainMenu.page(MenuPage::MapEditorPage));
    ASSERT_GE(page->mapNames.size(), 2u);
    ASSERT_EQ(page->mapList.selected, -1) << "no map is lit before one is chosen";
    const struct {
        SDL_Keycode key;
        int row;
    } steps[] = {{SDLK_DOWN, 0}, {SDLK_DOWN, 1}, {SDLK_UP, 0}, {SDLK_UP, 0}};
    for (const auto& s : steps) {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.keysym.sym = s.key;
        mainMenu.handleEvent(e);
        EXPECT_EQ(page->mapList.selected, s.row);
        EXPECT_EQ(page->chosenMap, page->mapNames[static_cast<std::size_t>(s.row)]);
    }
}

// The knob stands where the value does: a drag far past either end stops it at that end of the track, and a press
// on the track's very edge starts a drag.
TEST_F(Menu, AVolumeKnobDraggedPastEitherEndStopsAtThatEndOfItsTrack) {
    mainMenu.switch_to_page(MenuPage::OptionsPage);
    mainMenu.handleEvent(mouse(SDL_MOUSEMOTION, 0, 0));
    const Slider& s = static_cast<OptionsPage*>(mainMenu.page(MenuPage::OptionsPage))->effectsVolumeSlider;
    const int left = static_cast<int>(s.track.x);
    const int right = static_cast<int>(s.track.x + s.track.w);
    const int top = static_cast<int>(s.track.y);
    const int middle = (left + right) / 2;
    const struct {
        const char* what;
        int pressX, pressY, dragTo;
        int value;
        int knobLeft;  // the knob is 12 pixels wide
    } cases[] = {
        {"far past the right end", middle, top + 8, right + 300, 100, right - 12},
        {"far past the left end", middle, top + 8, left - 300, 0, left},
        {"the middle", middle, top + 8, middle, 50, middle - 6},
        {"a press on the bottom right corner", right, top + 16, right, 100, right - 12},
    };
    for (const auto& c : cases) {
        mainMenu.handleEvent(mouse(SDL_MOUSEBUTTONDOWN, c.pressX, c.pressY));
        mainMenu.handleEvent(mouse(SDL_MOUSEMOTION, c.dragTo, top - 200));
        mainMenu.handleEvent(mouse(SDL_MOUSEBUTTONUP, c.dragTo, top - 200));
        EXPECT_EQ(s.value, c.value) << c.what;
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        mainMenu.draw();
        // Above the track only the knob is drawn.
        EXPECT_TRUE(same(pixel(c.knobLeft, top - 2), {190, 10, 10, 255})) << c.what;
        EXPECT_TRUE(same(pixel(c.knobLeft + 11, top - 2), {190, 10, 10, 255})) << c.what;
        EXPECT_FALSE(same(pixel(c.knobLeft - 1, top - 2), {190, 10, 10, 255})) << c.what;
        EXPECT_FALSE(same(pixel(c.knobLeft + 12, top - 2), {190, 10, 10, 255})) << c.what;
    }
    saveScreenshot("options_page");
}

using LoadingScreen = DrawnSessionTest;

bool greenIn(int top, int bottom) {
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < 400; ++x)
            if (DrawFixture::same(DrawFixture::pixel(x, y), {0, 255, 0, 255})) return true;
    return false;
}

// On black over whatever was drawn before, the newest line 60 pixels above the bottom edge and the older ones 25
// pixels apart above it; clicks and keys while it runs change nothing.
TEST_F(LoadingScreen, DrawsItsLinesUpwardsFromNearTheBottomAndIgnoresInput) {
    MainMenu menu;
    LoadingPage page(&menu);
    unitSprites.clear();
    page.init();
    for (const double wait : {1001.0, 501.0}) {
        fake_clock::advanceMs(wait);
        page.update();
    }
    ASSERT_EQ(page.logs.size(), 4u);
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.sym = SDLK_RETURN;
    for (const SDL_Event& e : {press(20, 660), key}) page.handleEvent(e);
    fake_clock::advanceMs(700);
    page.update();
    EXPECT_EQ(page.logs.size(), 4u);
    EXPECT_EQ(page.step, 3);

    SDL_SetRenderDrawColor(renderer, 200, 200, 200, 255);
    SDL_RenderClear(renderer);
    page.draw();
    DrawFixture::saveScreenshot("loading_page");
    EXPECT_TRUE(DrawFixture::same(DrawFixture::pixel(1000, 100), {0, 0, 0, 255}));
    for (const int top : {585, 610, 635, 660}) EXPECT_TRUE(greenIn(top, top + 20)) << "a line at " << top;
    EXPECT_FALSE(greenIn(540, 584)) << "nothing above the oldest line";
    EXPECT_FALSE(greenIn(682, 720)) << "nothing below the newest line";
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
