// The credits and story pages on the injected clock, and the replays page listing, checking and playing logs.
#include <algorithm>

#include "draw_fixture.h"
#include "sdl_events.h"
#include "session_fixture.h"
#include "ui/credits_page.h"
#include "ui/main_page.h"
#include "ui/replays_page.h"
#include "ui/story_page.h"

namespace {

SDL_Event key(SDL_Scancode code) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.scancode = code;
    return e;
}

SDL_Event motion() {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    return e;
}

// Frames of the given length until the condition holds; how many it took, or -1 past the limit.
int framesUntil(const std::function<bool()>& done, double frameMs = 100.0, int limit = 2000) {
    for (int n = 0; n < limit; ++n) {
        if (done()) return n;
        fake_clock::advanceMs(frameMs);
        mainMenu.draw();
    }
    return -1;
}

struct TimedMenu : DrawFixture {
    void SetUp() override {
        DrawFixture::SetUp();
        frameClock = FrameClock{fake_clock::counter, fake_clock::frequency, fake_clock::sleep};
        mainMenu.init();
    }
    void TearDown() override {
        closeMenus();
        frameClock = sdlFrameClock();
        DrawFixture::TearDown();
    }
    static MainPage& mainPage() { return *static_cast<MainPage*>(mainMenu.page(MenuPage::MainPage)); }
    static CreditsPage& credits() { return *static_cast<CreditsPage*>(mainMenu.page(MenuPage::CreditsPage)); }
    static StoryPage& story() { return *static_cast<StoryPage*>(mainMenu.page(MenuPage::StoryPage)); }
    static bool lit(int y0, int y1) {
        for (int y = y0; y < y1; y += 2)
            for (int x = 0; x < W; x += 2)
                if (pixel(x, y).r > 0) return true;
        return false;
    }
};

TEST_F(TimedMenu, CreditsScrollUpWithCappedStepsAndReturnToTheMainPageAtTheNextEvent) {
    clickOn(mainPage().creditsButton.rect);
    ASSERT_EQ(mainMenu.current, MenuPage::CreditsPage);
    fake_clock::advanceMs(5000);
    mainMenu.draw();
    EXPECT_FLOAT_EQ(credits().scroll, 5.0f);
    EXPECT_FALSE(lit(0, H)) << "the title starts 100 pixels below the window";
    ASSERT_GE(framesUntil([] { return credits().scroll >= 400.0f; }), 0);
    EXPECT_TRUE(lit(0, H));
    saveScreenshot("credits");
    ASSERT_GE(framesUntil([] { return credits().finished; }), 0);
    const float last = credits().lines.back().y;
    EXPECT_GE(credits().scroll, last + CreditsPage::BAND_MARGIN);
    EXPECT_LE(credits().scroll, last + CreditsPage::BAND_MARGIN + 5.0f);
    const float stopped = credits().scroll;
    mainMenu.draw();
    EXPECT_EQ(credits().scroll, stopped);
    EXPECT_FALSE(lit(0, H));
    EXPECT_EQ(mainMenu.current, MenuPage::CreditsPage);
    mainMenu.handleEvent(motion());
    EXPECT_EQ(mainMenu.current, MenuPage::MainPage);
    clickOn(mainPage().creditsButton.rect);
    EXPECT_EQ(credits().scroll, 0.0f);
    EXPECT_FALSE(credits().finished);
}

TEST_F(TimedMenu, CreditsAndStoryLeaveOnlyOnTheirKeys) {
    struct Case {
        Button MainPage::*entry;
        SDL_Scancode code;
        bool leaves;
    };
    const Case cases[] = {{&MainPage::creditsButton, SDL_SCANCODE_ESCAPE, true},
                          {&MainPage::creditsButton, SDL_SCANCODE_SPACE, true},
                          {&MainPage::creditsButton, SDL_SCANCODE_RETURN, false},
                          {&MainPage::storyButton, SDL_SCANCODE_ESCAPE, true},
                          {&MainPage::storyButton, SDL_SCANCODE_SPACE, false}};
    for (const Case& c : cases) {
        mainMenu.switch_to_page(MenuPage::MainPage);
        mainMenu.handleEvent(motion());
        clickOn((mainPage().*c.entry).rect);
        const MenuPage entered = mainMenu.current;
        ASSERT_NE(entered, MenuPage::MainPage);
        fake_clock::advanceMs(300);
        mainMenu.draw();
        mainMenu.handleEvent(key(c.code));
        EXPECT_EQ(mainMenu.current == MenuPage::MainPage, c.leaves) << static_cast<int>(entered) << " " << c.code;
    }
}

// Typed text and wheel turns share their bytes with a key's scancode: the story reads them as no key.
TEST_F(TimedMenu, StoryTakesTypedTextAndWheelTurnsForNoKey) {
    SDL_Event turn{};
    turn.type = SDL_MOUSEWHEEL;
    turn.wheel.x = 0x646566;
    for (const SDL_Event& e : {typed("abcdefgh"), turn}) {
        clickOn(mainPage().storyButton.rect);
        ASSERT_EQ(mainMenu.current, MenuPage::StoryPage);
        ASSERT_GE(framesUntil([] { return story().state == StoryPage::Shown; }), 0);
        mainMenu.handleEvent(e);
        EXPECT_EQ(story().state, StoryPage::Shown) << e.type;
        EXPECT_EQ(mainMenu.current, MenuPage::StoryPage) << e.type;
        mainMenu.switch_to_page(MenuPage::MainPage);
        mainMenu.carryOutPendingSwitch();
    }
}

TEST_F(TimedMenu, StoryStepsOnlyWhenASceneIsFullyShown) {
    clickOn(mainPage().storyButton.rect);
    ASSERT_EQ(mainMenu.current, MenuPage::StoryPage);
    EXPECT_EQ(story().labels.front().text, "THE SIGNAL");
    mainMenu.handleEvent(key(SDL_SCANCODE_RETURN));
    EXPECT_EQ(story().state, StoryPage::FadingIn);
    // A stall advances a fade by a tenth at most; a fade takes about ten frames of 100 ms.
    fake_clock::advanceMs(4000);
    mainMenu.draw();
    EXPECT_NEAR(story().fade, 0.1f, 1e-4f);
    EXPECT_LE(framesUntil([] { return story().state == StoryPage::Shown; }), 10);
    for (SDL_Event back : {key(SDL_SCANCODE_BACKSPACE), press(10, 10, SDL_BUTTON_RIGHT)}) {
        mainMenu.handleEvent(back);
        EXPECT_EQ(story().state, StoryPage::Shown) << "no scene before the first";
    }
    mainMenu.handleEvent(press(10, 10));
    EXPECT_EQ(story().state, StoryPage::Changing);
    EXPECT_LE(framesUntil([] { return story().scene == 1; }), 11);
    EXPECT_EQ(story().labels.front().text, "THE DATA");
    EXPECT_GE(framesUntil([] { return story().state == StoryPage::Shown; }), 0);
    mainMenu.handleEvent(key(SDL_SCANCODE_BACKSPACE));
    EXPECT_EQ(story().fade, -1.0f);
    EXPECT_GE(framesUntil([] { return story().scene == 0; }), 0);
    EXPECT_EQ(story().labels.front().text, "THE SIGNAL");
    for (int scene = 0; scene < 4; ++scene) {
        ASSERT_GE(framesUntil([] { return story().state == StoryPage::Shown; }), 0) << scene;
        mainMenu.handleEvent(key(SDL_SCANCODE_SPACE));
    }
    EXPECT_GE(framesUntil([] { return mainMenu.switchPending; }), 0);
    EXPECT_EQ(story().scene, 4);
    EXPECT_FALSE(lit(0, H)) << "no fifth scene and no key hint";
    mainMenu.handleEvent(motion());
    EXPECT_EQ(mainMenu.current, MenuPage::MainPage);
}

// The menus over a session folder whose replays/ holds one real log and a file that is none.
struct ReplaysMenu : DrawnSessionTest {
    void SetUp() override {
        DrawnSessionTest::SetUp();
        mainMenu.init();
    }
    void TearDown() override {
        closeMenus();
        DrawnSessionTest::TearDown();
    }
    static ReplaysPage& page() { return *static_cast<ReplaysPage*>(mainMenu.page(MenuPage::ReplaysPage)); }
    static void choose(const std::string& name) {
        const auto& files = page().replayFiles;
        const auto row = std::find(files.begin(), files.end(), name) - files.begin();
        ASSERT_LT(row, static_cast<long>(files.size())) << name;
        const List& list = page().replayList;
        mainMenu.handleEvent(press(static_cast<int>(list.rect.x + 20),
                                   static_cast<int>(list.rect.y + list.itemHeight * (row + 0.5f))));
        mainMenu.handleEvent(SDL_Event{SDL_MOUSEBUTTONUP});
        ASSERT_EQ(page().chosenReplay, name);
    }
    // The replay played to its end; its checksums by turn.
    static ChecksumsByTurn playToTheEnd() {
        clickOn(page().playButton.rect);
        EXPECT_EQ(gameState, GameState::Match);
        EXPECT_EQ(mode, GameMode::Replay);
        const ChecksumsByTurn sums = runFrames(5000, 20.0, [] { return false; });
        EXPECT_EQ(gameState, GameState::Menus);
        return sums;
    }
};

TEST_F(ReplaysMenu, ListsTheFolderRefusesWhatIsNoLogAndPlaysTheChosenLogTwice) {
    // The orders of turns 0 and 150 are two turns of the log.
    const ChecksumsByTurn live = playLiveMatch(260);
    const std::string log = onlyFileIn(root.path / "replays").filename().string();
    root.write("replays/notes.txt", "not a log\n");
    EXPECT_TRUE(page().replayFiles.empty()) << "no folder before the first match";
    mainMenu.switch_to_page(MenuPage::ReplaysPage);
    mainMenu.handleEvent(motion());
    ASSERT_EQ(page().replayFiles.size(), 2u);
    std::vector<std::string> listed = page().replayList.items;
    EXPECT_EQ(listed, page().replayFiles);
    for (const std::string& refused : {std::string(), std::string("notes.txt")}) {
        if (!refused.empty()) choose(refused);
        ::testing::internal::CaptureStderr();
        clickOn(page().playButton.rect);
        ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(gameState, GameState::Menus) << refused;
        EXPECT_EQ(mainMenu.current, MenuPage::ReplaysPage);
    }
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    mainMenu.draw();
    DrawFixture::saveScreenshot("replays_page");
    const SDL_FRect play = page().playButton.rect;
    EXPECT_TRUE(DrawFixture::same(DrawFixture::pixel(static_cast<int>(play.x + 3), static_cast<int>(play.y + 3)),
                                  SDL_Color{139, 0, 0, 255}));
    choose(log);
    currentMap = "ashen";  // what was played last: the replay's own map is played
    const ChecksumsByTurn first = playToTheEnd();
    ASSERT_GT(first.size(), 150u);
    for (const auto& [turn, sum] : first) EXPECT_EQ(sum, live.at(turn)) << turn;
    EXPECT_EQ(mainMenu.current, MenuPage::ReplaysPage);
    EXPECT_EQ(playToTheEnd(), first);
    // A log cut off by a crash still plays its whole turns: here the last one is lost.
    std::ifstream whole(root.path / "replays" / log);
    root.write("replays/cut.bin", std::string(std::istreambuf_iterator<char>(whole), {}) + "12 garbage\n");
    mainMenu.switch_to_page(MenuPage::ReplaysPage);
    mainMenu.handleEvent(motion());
    choose("cut.bin");
    const ChecksumsByTurn cut = playToTheEnd();
    EXPECT_LT(cut.size(), first.size());
    EXPECT_EQ(cut.rbegin()->second, first.at(cut.rbegin()->first));
}

}  // namespace
