// A seeded random player drives the real program frame by frame through the menus, lobby, matches, dialogs,
// replays, the map editor and the campaign; a fault, an escaped exception or a broken invariant names the seed and
// the frame so the run can be played again.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "buildings.h"
#include "events_iso.h"
#include "extraction.h"
#include "game.h"
#include "game_loop.h"
#include "game_session.h"
#include "game_state.h"
#include "hud.h"
#include "minimap.h"
#include "program_in_folders.h"
#include "sdl_events.h"
#include "session_fixture.h"
#include "ui/extraction_pages.h"
#include "ui/checkbox.h"
#include "ui/extraction_roster_lists.h"
#include "ui/host_page.h"
#include "ui/join_page.h"
#include "ui/lan_page.h"
#include "ui/lobby_view_page.h"
#include "ui/main_menu.h"
#include "ui/main_page.h"
#include "ui/map_editor_page.h"
#include "ui/options_page.h"
#include "ui/replays_page.h"
#include "ui/slider.h"
#include "ui/text_input.h"
#include "units.h"

namespace {

using Rects = std::vector<SDL_FRect>;
using PageWidgets = std::function<Rects(MenuPageContainer&)>;

// Where a widget takes a press, if it takes any.
std::optional<SDL_FRect> pressArea(const UIElement& widget) {
    if (const auto* b = dynamic_cast<const Button*>(&widget)) return b->rect;
    if (const auto* l = dynamic_cast<const List*>(&widget)) return l->rect;
    if (const auto* t = dynamic_cast<const TextInput*>(&widget)) return t->rect;
    if (const auto* c = dynamic_cast<const Checkbox*>(&widget)) return c->box;
    if (const auto* s = dynamic_cast<const Slider*>(&widget)) return s->track;
    return std::nullopt;
}

// A dialog on show and its widgets.
void addDialog(Rects& r, const Modal& m) {
    if (!m.isVisible()) return;
    r.push_back(m.rect);
    for (const auto& child : m.children)
        if (const auto area = pressArea(*child)) r.push_back(*area);
}

template <class Page>
PageWidgets widgetsOf(Rects (*read)(const Page&)) {
    return [read](MenuPageContainer& page) { return read(static_cast<const Page&>(page)); };
}

// Where a press on each menu page most likely does something.
const std::map<MenuPage, PageWidgets>& pageWidgets() {
    static const std::map<MenuPage, PageWidgets> table{
        {MenuPage::MainPage, widgetsOf<MainPage>([](const MainPage& p) -> Rects {
             return {p.extractionButton.rect, p.lanButton.rect,    p.replaysButton.rect,
                     p.mapEditorButton.rect,  p.creditsButton.rect, p.exitButton.rect,
                     p.storyButton.rect,      p.optionsButton.rect};
         })},
        {MenuPage::LANPage, widgetsOf<LANPage>([](const LANPage& p) -> Rects {
             return {p.hostGameButton.rect, p.joinGameButton.rect, p.backButton.rect};
         })},
        {MenuPage::HostPage, widgetsOf<HostPage>([](const HostPage& p) -> Rects {
             return {p.startLobbyButton.rect, p.backButton.rect, p.lobbyNameInput.rect, p.passwordInput.rect};
         })},
        {MenuPage::JoinPage, widgetsOf<JoinPage>([](const JoinPage& p) -> Rects {
             return {p.joinButton.rect, p.refreshButton.rect, p.backButton.rect};
         })},
        {MenuPage::LobbyViewPage, widgetsOf<LobbyViewPage>([](const LobbyViewPage& p) -> Rects {
             Rects r{p.leaveButton.rect, p.readyButton.rect, p.addAIButton.rect, p.startButton.rect, p.mapList.rect};
             for (const auto& zone : p.raceZones) r.push_back(zone.rect);
             return r;
         })},
        {MenuPage::ReplaysPage, widgetsOf<ReplaysPage>([](const ReplaysPage& p) -> Rects {
             return {p.playButton.rect, p.backButton.rect, p.replayList.rect};
         })},
        {MenuPage::MapEditorPage, widgetsOf<MapEditorPage>([](const MapEditorPage& p) -> Rects {
             return {p.openButton.rect, p.backButton.rect, p.mapList.rect};
         })},
        {MenuPage::OptionsPage, widgetsOf<OptionsPage>([](const OptionsPage& p) -> Rects {
             return {p.backButton.rect, p.effectsCheckbox.box, p.musicCheckbox.box, p.musicVolumeSlider.track,
                     p.effectsVolumeSlider.track};
         })},
        {MenuPage::ExtractionPage, widgetsOf<ExtractionPage>([](const ExtractionPage& p) -> Rects {
             Rects guide;
             addDialog(guide, p.howToPlay);
             if (!guide.empty()) return guide;
             return {p.campaignList.rect, p.newButton.rect, p.continueButton.rect, p.howToPlayButton.rect,
                     p.backButton.rect};
         })},
        {MenuPage::ExtractionNewCampaignPage,
         widgetsOf<ExtractionNewCampaignPage>([](const ExtractionNewCampaignPage& p) -> Rects {
             return {p.nameInput.rect, p.hardcoreBox.box, p.startButton.rect, p.backButton.rect};
         })},
        {MenuPage::ExtractionMapPickerPage,
         widgetsOf<ExtractionMapPickerPage>([](const ExtractionMapPickerPage& p) -> Rects {
             Rects r{p.selectButton.rect, p.techButton.rect, p.backButton.rect};
             for (const ExtractionNode& node : extraction_options) r.push_back(node.card);
             return r;
         })},
        {MenuPage::ExtractionRosterPickerPage,
         widgetsOf<ExtractionRosterPickerPage>([](const ExtractionRosterPickerPage& p) -> Rects {
             Rects r{p.deployButton.rect, p.backButton.rect};
             for (const List* list : {shipRosterList, deploymentRosterList})
                 if (list) r.push_back(list->rect);
             for (const Button* button : {shipRosterListButton, deploymentRosterListButton})
                 if (button) r.push_back(button->rect);
             return r;
         })},
        {MenuPage::ExtractionTechTreePage, widgetsOf<ExtractionTechTreePage>([](const ExtractionTechTreePage& p) -> Rects {
             return {p.backButton.rect};
         })},
    };
    return table;
}

// The buttons of the dialogs on show; while one is up, presses mostly go to it.
Rects dialogWidgets() {
    Rects r;
    for (const Modal* m : {&gameMenu, &game_over_modal, &extract_modal, &unit_detail_modal}) addDialog(r, *m);
    return r;
}

template <class Hitboxes>
void addRects(Rects& r, const Hitboxes& hitboxes) {
    for (const auto& h : hitboxes) r.push_back(h.rect);
}

// What the match and editor HUD drew as clickable this frame.
Rects hudWidgets() {
    Rects r{menuButton.rect, saveButton.rect, heightLevel0.rect, heightLevel1.rect, paintingRampButton.rect,
            SDL_FRect{static_cast<float>(minimapRect.x), static_cast<float>(minimapRect.y),
                      static_cast<float>(minimapRect.w), static_cast<float>(minimapRect.h)}};
    addRects(r, unitHUDHitboxes);
    addRects(r, hudCarrierButtons);
    addRects(r, hudSpawnUnitsButtons);
    addRects(r, hudSpellButtons);
    addRects(r, hudBuildingButtons);
    addRects(r, hudBuildingUnitsButtons);
    addRects(r, hudProgressBarButtons);
    addRects(r, hudUpgradeButtons);
    addRects(r, hudTileButtons);
    addRects(r, hudMapObjectButtons);
    addRects(r, hudDecorationButtons);
    return r;
}

Rects widgetsOnShow() {
    if (gameState != GameState::Menus) return hudWidgets();
    const auto found = pageWidgets().find(mainMenu.current);
    MenuPageContainer* page = mainMenu.page(mainMenu.current);
    return found == pageWidgets().end() || !page ? Rects{} : found->second(*page);
}

// The keys the game reads: hotkey letters, control-group digits, the modifiers, chat, dialogs and the camera.
const std::vector<SDL_Keycode>& playedKeys() {
    static const std::vector<SDL_Keycode> keys = [] {
        std::vector<SDL_Keycode> k{SDLK_ESCAPE, SDLK_RETURN, SDLK_BACKSPACE, SDLK_UP,     SDLK_DOWN,  SDLK_LEFT,
                                   SDLK_RIGHT,  SDLK_MINUS,  SDLK_EQUALS,    SDLK_SPACE,  SDLK_TAB,   SDLK_DELETE,
                                   SDLK_F1,     SDLK_F2,     SDLK_F10,       SDLK_HOME,   SDLK_END};
        for (SDL_Keycode c = SDLK_a; c <= SDLK_z; ++c) k.push_back(c);
        for (SDL_Keycode c = SDLK_0; c <= SDLK_9; ++c) k.push_back(c);
        return k;
    }();
    return keys;
}

const std::array<SDL_Point, 8> windowSizes{{{1280, 720}, {1024, 768}, {1920, 1080}, {800, 600}, {1600, 900},
                                            {640, 480}, {320, 200}, {160, 120}}};

SDL_Event mouseAt(Uint32 type, SDL_Point at, Uint8 button = SDL_BUTTON_LEFT) {
    SDL_Event e = press(static_cast<float>(at.x), static_cast<float>(at.y), button);
    e.type = type;
    return e;
}

// Motion with the buttons held given by state (none, or the left button in a drag).
SDL_Event motion(SDL_Point at, Uint32 state = 0) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.state = state;
    e.motion.x = at.x;
    e.motion.y = at.y;
    return e;
}

SDL_Event wheel(int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = y;
    return e;
}

// The random player: each gesture queues its events, a few of which reach each frame.
struct RandomPlayer {
    explicit RandomPlayer(unsigned seed) : rng(seed) {}

    std::mt19937 rng;
    std::deque<SDL_Event> queued;
    SDL_Point mouse{640, 360};
    SDL_Point size{1280, 720};
    std::deque<std::string> lastGestures;

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

    SDL_Point anywhere() { return {below(size.x), below(size.y)}; }

    // Mostly on a widget on show (a dialog first), else anywhere in the window.
    SDL_Point somewhere() {
        const Rects dialogs = dialogWidgets();
        const Rects widgets = !dialogs.empty() && below(5) > 0 ? dialogs : widgetsOnShow();
        if (widgets.empty() || below(4) == 0) return anywhere();
        const SDL_FRect r = widgets[static_cast<std::size_t>(below(static_cast<int>(widgets.size())))];
        return {static_cast<int>(r.x + r.w * static_cast<float>(below(100)) / 100.0f),
                static_cast<int>(r.y + r.h * static_cast<float>(below(100)) / 100.0f)};
    }

    void queue(const SDL_Event& e) {
        queued.push_back(e);
        if (e.type == SDL_MOUSEMOTION) mouse = {e.motion.x, e.motion.y};
        if (e.type == SDL_MOUSEBUTTONDOWN) mouse = {e.button.x, e.button.y};
    }

    void click(SDL_Point at, Uint8 button) {
        queue(motion(at));
        queue(mouseAt(SDL_MOUSEBUTTONDOWN, at, button));
        queue(mouseAt(SDL_MOUSEBUTTONUP, at, button));
    }

    void tap(SDL_Keycode key) {
        queue(keyEvent(key));
        queue(keyEvent(key, SDL_KEYUP));
    }

    // Held around another key: ctrl with a digit sets a control group, shift adds to the selection.
    void withModifier(SDL_Keycode modifier, SDL_Keycode key) {
        queue(keyEvent(modifier));
        tap(key);
        queue(keyEvent(modifier, SDL_KEYUP));
    }

    void drag(SDL_Point from, SDL_Point to) {
        queue(motion(from));
        queue(mouseAt(SDL_MOUSEBUTTONDOWN, from));
        for (int step = 1; step <= 4; ++step)
            queue(motion({from.x + (to.x - from.x) * step / 4, from.y + (to.y - from.y) * step / 4}, SDL_BUTTON_LMASK));
        queue(mouseAt(SDL_MOUSEBUTTONUP, to));
    }

    // Letters, signs and characters of several bytes, as a keyboard or an input method sends them.
    std::string typedText() {
        static const std::vector<std::string> pieces = [] {
            std::vector<std::string> p{" ", "_", "-", ".", "\xc3\xa9", "\xc3\x9f", "\xe6\x97\xa5\xe6\x9c\xac",
                                       "\xf0\x9f\x99\x82"};
            for (char c = 'a'; c <= 'z'; ++c) p.emplace_back(1, c);
            for (char c = '0'; c <= '9'; ++c) p.emplace_back(1, c);
            return p;
        }();
        std::string text;
        for (int i = 1 + below(6); i > 0; --i) {
            const std::string& piece = pieces[static_cast<std::size_t>(below(static_cast<int>(pieces.size())))];
            if (text.size() + piece.size() >= sizeof(SDL_TextInputEvent::text)) break;
            text += piece;
        }
        return text;
    }

    void resize() {
        size = windowSizes[static_cast<std::size_t>(below(static_cast<int>(windowSizes.size())))];
        SDL_SetWindowSize(window, size.x, size.y);
    }

    void quit() {
        SDL_Event e{};
        e.type = SDL_QUIT;
        queue(e);
    }

    // One gesture, weighted toward what a player does most; returns its name for the failure report.
    std::string gesture() {
        static const std::vector<double> weights{20, 30, 10, 6, 4, 12, 4, 5, 6, 4, 3, 1, 0.05};
        const int kind = std::discrete_distribution<int>(weights.begin(), weights.end())(rng);
        const SDL_Point at = somewhere();
        const std::string where = " at " + std::to_string(at.x) + "," + std::to_string(at.y);
        switch (kind) {
            case 0: queue(motion(at)); return "move" + where;
            case 1: click(at, SDL_BUTTON_LEFT); return "left click" + where;
            case 2: click(at, SDL_BUTTON_RIGHT); return "right click" + where;
            case 3: {
                const SDL_Point to = anywhere();
                drag(at, to);
                return "drag" + where + " to " + std::to_string(to.x) + "," + std::to_string(to.y);
            }
            case 4: click(at, SDL_BUTTON_LEFT); click(at, SDL_BUTTON_LEFT); return "double click" + where;
            case 5: {
                const SDL_Keycode key = playedKeys()[static_cast<std::size_t>(below(static_cast<int>(playedKeys().size())))];
                tap(key);
                return std::string("key ") + SDL_GetKeyName(key);
            }
            case 6: {
                const SDL_Keycode digit = SDLK_0 + below(10);
                withModifier(below(2) ? SDLK_LCTRL : SDLK_LSHIFT, digit);
                return std::string("modifier and ") + SDL_GetKeyName(digit);
            }
            case 7: {
                const std::string text = typedText();
                queue(typed(text.c_str()));
                return "typed \"" + text + "\"";
            }
            case 8: queue(wheel(below(2) ? 1 : -1)); return "wheel";
            case 9: tap(SDLK_ESCAPE); return "Escape";
            case 10: tap(SDLK_RETURN); return "Return";
            case 11: resize(); return "window " + std::to_string(size.x) + "x" + std::to_string(size.y);
            default: quit(); return "quit";
        }
    }

    void addGesture() {
        lastGestures.push_back(gesture());
        if (lastGestures.size() > 12) lastGestures.pop_front();
    }

    // Up to three queued events go to SDL for this frame, a new gesture when the queue runs short; now and then a
    // stalled frame delivers a burst of gestures at once.
    void feedFrame() {
        const bool burst = below(100) == 0;
        for (int n = burst ? 8 : 1; n > 0; --n)
            if (burst || (queued.size() < 2 && below(3) > 0)) addGesture();
        for (int n = burst ? 1000 : 1 + below(3); n > 0 && !queued.empty(); --n) {
            SDL_Event e = queued.front();
            queued.pop_front();
            // The Join page's address field is never typed into: the player only reaches lobbies on this machine.
            if (gameState == GameState::Menus && mainMenu.current == MenuPage::JoinPage &&
                (e.type == SDL_TEXTINPUT || e.type == SDL_KEYDOWN))
                continue;
            SDL_PushEvent(&e);
        }
    }

    std::string recentGestures() const {
        std::string said;
        for (const std::string& g : lastGestures) said += "\n  " + g;
        return said;
    }
};

RandomPlayer* playing = nullptr;
unsigned playedSeed = 0;
int playedFrame = 0;

// The sanitizers' last words name the run, so a crash can be played again.
extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));
void nameTheRunOnDeath() {
    std::fprintf(stderr, "monkey: seed %u, frame %d, after:%s\n", playedSeed, playedFrame,
                 playing ? playing->recentGestures().c_str() : "");
}

// The pointer and window the camera reads: where the player's last motion or press put the mouse.
PointerView pointer() {
    return PointerView{static_cast<float>(playing->mouse.x), static_cast<float>(playing->mouse.y),
                       static_cast<float>(playing->size.x), static_cast<float>(playing->size.y)};
}
uint32_t fakeTicks() { return static_cast<uint32_t>(fake_clock::now / 1000000u); }

// What must hold after every frame, whatever the player did; empty when all holds.
std::string brokenInvariant() {
    if (gameState == GameState::Menus) {
        if (!mainMenu.page(mainMenu.current)) return "the menu shows a page it does not have";
        return "";
    }
    if (gameState != GameState::Match && gameState != GameState::MapEditor) return "an unknown game state";
    const float view[] = {camera.x, camera.y, camera.w, camera.h, camera.centerX, camera.centerY, camera.zoom};
    if (!std::all_of(std::begin(view), std::end(view), [](float v) { return std::isfinite(v); }) || camera.zoom <= 0.0f)
        return "the camera is off every number";
    for (int id : selectedUnits)
        if (!getUnitById(id)) return "selected unit " + std::to_string(id) + " does not exist";
    for (int id : selectedBuildings)
        if (!getBuildingById(id)) return "selected building " + std::to_string(id) + " does not exist";
    return "";
}

// Where the player stands: the menu page, or the session's state and mode.
std::string place() {
    if (gameState == GameState::Menus) return "page " + std::to_string(static_cast<int>(mainMenu.current));
    return "state " + std::to_string(static_cast<int>(gameState)) + " mode " + std::to_string(static_cast<int>(mode));
}

// A quit or the Exit button ends the program's loop: the player starts again at the main page.
void startAgainAtTheMainPage() {
    if (gameState != GameState::Menus) endSession();
    mainMenu.switch_to_page(MenuPage::MainPage);
    mainMenu.carryOutPendingSwitch();
    running = true;
}

// Every menu page has a way back that random presses find long before this many frames.
constexpr int STUCK_MENU_FRAMES = 2500;

struct MonkeyRun : ProgramInFolders {
    PointerView (*savedPointer)() = readPointerView;
    uint32_t (*savedTicks)() = inputTicks;
    bool started = false;

    void TearDown() override {
        if (started) shutDown();
        leaveMenusAndLobby();
        players.clear();
        readPointerView = savedPointer;
        inputTicks = savedTicks;
        playing = nullptr;
        ProgramInFolders::TearDown();
    }

    // The program started afresh, its clocks and generators fixed, and the player's seed.
    void startProgram(unsigned seed) {
        ASSERT_NO_FATAL_FAILURE(start());
        ::testing::internal::GetCapturedStderr();  // sanitizer reports must reach the real error stream
        started = true;
        frameClock = FrameClock{fake_clock::counter, fake_clock::frequency, fake_clock::sleep};
        readPointerView = pointer;
        inputTicks = fakeTicks;
        std::srand(seed);
        menuRandom().seed(seed);
        startAgainAtTheMainPage();  // an earlier run in this process left the menus elsewhere
    }

    // A match played and left, so its log waits on the replays page, which the main page does not offer yet.
    static void openTheReplaysOfAPlayedMatch() {
        ASSERT_NO_FATAL_FAILURE(hostAMatchAgainstTheComputer());
        for (int frame = 0; frame < 150; ++frame) game_loop();
        pendingShutdown = true;
        game_loop();
        mainMenu.switch_to_page(MenuPage::ReplaysPage);
        mainMenu.carryOutPendingSwitch();
    }

    // Where a seed's play begins: the main page, a match against the computer, or the replays of one.
    static void enterTheStartOf(unsigned seed) {
        if (seed % 3 == 1) hostAMatchAgainstTheComputer();
        if (seed % 3 == 2) openTheReplaysOfAPlayedMatch();
    }

    // Frames of the seeded player; the first fault stops the run with the seed, the frame and the last gestures.
    void play(unsigned seed, int frames) {
        ASSERT_NO_FATAL_FAILURE(startProgram(seed));
        RandomPlayer player(seed);
        playing = &player;
        playedSeed = seed;
        if (__sanitizer_set_death_callback) __sanitizer_set_death_callback(nameTheRunOnDeath);
        ASSERT_NO_FATAL_FAILURE(enterTheStartOf(seed));
        std::map<std::string, int> framesIn;
        std::string at = place();
        int stay = 0;
        for (int frame = 0; frame < frames; ++frame) {
            playedFrame = frame;
            // A sanitizer that ends the process without the callback leaves this mark as the nearest frame.
            if (frame % 1000 == 0) std::fprintf(stderr, "monkey: seed %u, frame %d\n", seed, frame);
            ++framesIn[place()];
            stay = place() == at ? stay + 1 : 0;
            at = place();
            ASSERT_FALSE(gameState == GameState::Menus && stay > STUCK_MENU_FRAMES)
                << "seed " << seed << ", frame " << frame << ": cannot leave " << at;
            player.feedFrame();
            std::string broken;
            try {
                runTopLevelFrame();
                broken = brokenInvariant();
            } catch (const std::exception& e) {
                broken = std::string("an exception escaped: ") + e.what();
            }
            ASSERT_EQ(broken, "") << "seed " << seed << ", frame " << frame << ", after:" << player.recentGestures();
            if (!running) startAgainAtTheMainPage();
        }
        for (const auto& [where, count] : framesIn) std::fprintf(stderr, "%s: %d frames\n", where.c_str(), count);
    }
};

// A few seeds for a few seconds in all.
struct Monkey : MonkeyRun, ::testing::WithParamInterface<unsigned> {};

TEST_P(Monkey, PlaysEveryStateWithoutAFault) { play(GetParam(), 200); }

INSTANTIATE_TEST_SUITE_P(Seeds, Monkey, ::testing::Values(1u, 2u, 3u));

// tools/monkey.sh plays the seed it names for the frames it names; without them there is nothing to play.
using LongMonkey = MonkeyRun;

TEST_F(LongMonkey, PlaysTheSeedTheEnvironmentNames) {
    const char* seed = std::getenv("CORVALE_MONKEY_SEED");
    const char* frames = std::getenv("CORVALE_MONKEY_FRAMES");
    if (!seed || !frames) GTEST_SKIP() << "CORVALE_MONKEY_SEED and CORVALE_MONKEY_FRAMES name the run";
    play(static_cast<unsigned>(std::strtoul(seed, nullptr, 10)), std::atoi(frames));
}

}  // namespace
