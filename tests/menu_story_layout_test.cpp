// The story and the credits in windows of every size: each line stands whole inside the window, in order, and a
// scene's text stays clear of the key hint.
#include "draw_fixture.h"
#include "session_fixture.h"
#include "ui/credits_page.h"
#include "ui/main_page.h"
#include "ui/story_page.h"

namespace {

struct StoryLayout : DrawFixture {
    void SetUp() override {
        DrawFixture::SetUp();
        frameClock = FrameClock{fake_clock::counter, fake_clock::frequency, fake_clock::sleep};
    }
    void TearDown() override {
        closeMenus();
        SDL_SetWindowSize(window, W, H);
        frameClock = sdlFrameClock();
        DrawFixture::TearDown();
    }
    static StoryPage& story() { return *static_cast<StoryPage*>(mainMenu.page(MenuPage::StoryPage)); }
    static CreditsPage& credits() { return *static_cast<CreditsPage*>(mainMenu.page(MenuPage::CreditsPage)); }

    // Every label inside the window's width, and each below the one before.
    static void expectWholeAndInOrder(const std::vector<Label>& labels, float width, const std::string& where) {
        float lastY = -1e9f;
        for (const Label& l : labels) {
            EXPECT_GE(l.x, 0.0f) << where << ": " << l.text;
            EXPECT_LE(l.x + static_cast<float>(TextWidth(l.text, l.fontSize)), width) << where << ": " << l.text;
            EXPECT_GT(l.y, lastY) << where << ": " << l.text;
            lastY = l.y;
        }
    }
};

TEST_F(StoryLayout, EveryLineFitsTheWindowWidthInEveryScene) {
    const SDL_Point sizes[] = {{1280, 720}, {800, 600}, {640, 480}};
    for (const SDL_Point size : sizes) {
        const std::string where = std::to_string(size.x) + "x" + std::to_string(size.y);
        SDL_SetWindowSize(window, size.x, size.y);
        mainMenu.init();
        clickOn(static_cast<MainPage*>(mainMenu.page(MenuPage::MainPage))->storyButton.rect);
        ASSERT_EQ(mainMenu.current, MenuPage::StoryPage);
        std::size_t words = 0;
        for (int scene = 0; scene < story().sceneCount; ++scene) {
            story().load_scene(scene);
            expectWholeAndInOrder(story().labels, static_cast<float>(size.x), where + " scene " + std::to_string(scene));
            const Label& last = story().labels.back();
            int tw = 0;
            int th = 0;
            getTextSize(last.text, last.fontSize, tw, th);
            EXPECT_LE(last.y + static_cast<float>(th), static_cast<float>(size.y) - StoryPage::HINT_FROM_BOTTOM)
                << where << " scene " << scene << ": the last line stays above the key hint";
            EXPECT_GE(story().labels.front().y, 0.0f) << where << " scene " << scene;
            for (const Label& l : story().labels) words += std::count(l.text.begin(), l.text.end(), ' ') + 1;
        }
        EXPECT_EQ(words, 180u) << where << ": no word is lost to the wrapping";
        story().load_scene(0);
        story().fade = 1.0f;
        story().state = StoryPage::Shown;
        mainMenu.draw();
        if (size.x == 640) saveScreenshot("story_first_scene_640x480");
        credits().init();
        expectWholeAndInOrder(credits().lines, static_cast<float>(size.x), where + " credits");
        closeMenus();
    }
}

}  // namespace
