// The widget toolkit: a modal with its children drawn and fed events, buttons, sliders, lists and the drop-down.
#include <gtest/gtest.h>

#include "draw_fixture.h"
#include "sdl_events.h"
#include "ui/button.h"
#include "ui/checkbox.h"
#include "ui/list.h"
#include "ui/modal.h"
#include "ui/select.h"
#include "ui/slider.h"
#include "ui/text_input.h"

namespace {

SDL_Event wheel(int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = y;
    return e;
}

SDL_Event mouseAt(Uint32 type, float x, float y) {
    SDL_Event e = press(x, y);
    e.type = type;
    if (type == SDL_MOUSEMOTION) {
        e.motion.x = static_cast<Sint32>(x);
        e.motion.y = static_cast<Sint32>(y);
    }
    return e;
}

SDL_Event keyDown(SDL_Keycode sym) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = sym;
    return e;
}

struct Dialog : DrawFixture {
    Modal modal{0, 0, 500, 400};
    int clicks = 0;
    Button* button = nullptr;
    TextInput* field = nullptr;
    List* list = nullptr;

    void SetUp() override {
        DrawFixture::SetUp();
        modal.centerOnScreen(0, 0);
        const float x = modal.rect.x;
        const float y = modal.rect.y;
        modal.add<Label>("Options", x + 20, y + 15, 24);
        button = modal.add<Button>(SDL_FRect{x + 20, y + 60, 160, 40}, "Apply", [this] { ++clicks; });
        modal.add<Label>("Sound effects", x + 60, y + 118, 16);
        modal.add<Checkbox>(SDL_FRect{x + 20, y + 115, 24, 24}, true);
        modal.add<Slider>(renderer, SDL_FRect{x + 20, y + 170, 200, 10}, 0, 100, 70);
        field = modal.add<TextInput>(SDL_FRect{x + 20, y + 200, 220, 28}, "save_01");
        field->showCaret = true;
        list = modal.add<List>(x + 260, y + 60, 220, 150, 14);
        for (int i = 0; i < 20; ++i) list->items.push_back("replay_2026-12-0" + std::to_string(i % 10) + "_long_name");
        modal.show();
    }
};

TEST_F(Dialog, DrawsItsPanelAndWidgetsAndRestoresTheClip) {
    const SDL_Rect outer{5, 6, 1000, 700};
    SDL_RenderSetClipRect(renderer, &outer);
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
    modal.draw();
    SDL_Rect after{};
    SDL_RenderGetClipRect(renderer, &after);
    EXPECT_TRUE(SDL_RenderIsClipEnabled(renderer));
    EXPECT_EQ(std::memcmp(&after, &outer, sizeof after), 0);
    const int x = static_cast<int>(modal.rect.x);
    const int y = static_cast<int>(modal.rect.y);
    EXPECT_EQ(x, 390);
    EXPECT_TRUE(same(pixel(x, y + 200), modalBorderColor));
    EXPECT_NEAR(pixel(x + 250, y + 300).r, 40 * 220 / 255, 1);
    EXPECT_TRUE(same(pixel(x + 22, y + 62), SDL_Color{100, 100, 200, 255}));
    saveScreenshot("modal_dialog");

    SDL_RenderSetClipRect(renderer, nullptr);
    modal.draw();
    EXPECT_FALSE(SDL_RenderIsClipEnabled(renderer));
}

TEST_F(Dialog, ButtonFiresOncePerPressOnItsEdgeAndNotWhenDisabled) {
    const SDL_FRect r = button->rect;
    EXPECT_TRUE(modal.handleEvent(press(r.x + r.w, r.y + r.h)));
    EXPECT_EQ(clicks, 1);
    modal.handleEvent(press(r.x + 5, r.y + 5, SDL_BUTTON_RIGHT));
    EXPECT_EQ(clicks, 1);
    button->enabled = false;
    modal.handleEvent(press(r.x + 5, r.y + 5));
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(modal.handleEvent(press(modal.rect.x + 480, modal.rect.y + 380)));
    EXPECT_FALSE(modal.handleEvent(press(5, 5)));
    modal.hide();
    EXPECT_FALSE(modal.handleEvent(press(r.x + 5, r.y + 5)));
}

// A pointer that leaves the panel ends what it began inside: the button it hovered lets go of its highlight and a
// slider dragged out and released there stops following it. The game still gets those events, and a press outside
// reaches no widget.
TEST_F(Dialog, APointerLeavingThePanelEndsItsHoverAndItsDrag) {
    Slider* slider = nullptr;
    for (const auto& child : modal.children)
        if (auto* s = dynamic_cast<Slider*>(child.get())) slider = s;
    ASSERT_NE(slider, nullptr);
    const SDL_FRect b = button->rect;
    const SDL_FRect t = slider->track;
    const float outsideX = modal.rect.x - 40.0f;
    const struct {
        const char* what;
        SDL_Event event;
        bool taken;
    } steps[] = {
        {"hover the button", mouseAt(SDL_MOUSEMOTION, b.x + 5, b.y + 5), true},
        {"leave the panel", mouseAt(SDL_MOUSEMOTION, outsideX, b.y + 5), false},
        {"press the track's middle", press(t.x + t.w / 2, t.y + t.h / 2), true},
        {"drag out to the left", mouseAt(SDL_MOUSEMOTION, outsideX, t.y), false},
        {"release outside", mouseAt(SDL_MOUSEBUTTONUP, outsideX, t.y), false},
        {"come back over the track's right end", mouseAt(SDL_MOUSEMOTION, t.x + t.w, t.y + t.h / 2), true},
        {"press outside", press(outsideX, b.y + 5), false},
    };
    for (const auto& step : steps) EXPECT_EQ(modal.handleEvent(step.event), step.taken) << step.what;
    EXPECT_FALSE(button->hovered);
    EXPECT_FALSE(slider->dragging);
    EXPECT_EQ(slider->value, 0) << "dragged out to the left end, and not moved after the release";
    EXPECT_EQ(clicks, 0);
}

TEST_F(Dialog, KeysAndTextReachOnlyAFocusedField) {
    EXPECT_FALSE(modal.handleEvent(typed("x")));
    EXPECT_EQ(field->text, "save_01");
    field->focused = true;
    std::string submitted = "none";
    field->onSubmit = [&](const std::string& text) { submitted = text; };
    EXPECT_TRUE(modal.handleEvent(typed("b")));
    EXPECT_TRUE(modal.handleEvent(keyDown(SDLK_BACKSPACE)));
    EXPECT_TRUE(modal.handleEvent(typed("é")));
    EXPECT_TRUE(modal.handleEvent(keyDown(SDLK_BACKSPACE)));
    EXPECT_EQ(field->text, "save_01\xC3");
    EXPECT_TRUE(modal.handleEvent(keyDown(SDLK_RETURN)));
    EXPECT_EQ(submitted, "save_01\xC3");
    EXPECT_FALSE(field->focused);
    EXPECT_FALSE(modal.handleEvent(keyDown(SDLK_a)));
}

TEST_F(Dialog, CallbackThatRebuildsItsModalEndsTheDispatch) {
    int rebuiltClicks = 0;
    const std::string title = "Rebuilt";
    button->onClick = [&, title] {
        const SDL_FRect r = button->rect;
        modal.clear();
        modal.add<Label>(title, r.x, r.y - 30, 18);
        modal.add<Button>(r, title, [&] { ++rebuiltClicks; });
        modal.show();
        EXPECT_EQ(title, "Rebuilt");
    };
    const SDL_FRect r = button->rect;
    EXPECT_TRUE(modal.handleEvent(press(r.x + 5, r.y + 5)));
    EXPECT_EQ(rebuiltClicks, 0);
    EXPECT_EQ(modal.children.size(), 2u);
    EXPECT_TRUE(modal.isVisible());
    modal.handleEvent(press(r.x + 5, r.y + 5));
    EXPECT_EQ(rebuiltClicks, 1);
    modal.clear();
    EXPECT_FALSE(modal.isVisible());
    EXPECT_TRUE(modal.children.empty());
}

TEST_F(Dialog, WidgetAddedDuringAClickWaitsForTheNextClick) {
    int addedClicks = 0;
    const SDL_FRect r = button->rect;
    button->onClick = [&] { modal.add<Button>(r, "Added", [&] { ++addedClicks; }); };
    modal.handleEvent(press(r.x + 5, r.y + 5));
    EXPECT_EQ(addedClicks, 0);
    modal.handleEvent(press(r.x + 5, r.y + 5));
    EXPECT_EQ(addedClicks, 1);
}

TEST_F(Dialog, FieldFocusedDuringAKeyWaitsForTheNextKey) {
    field->focused = true;
    TextInput* added = nullptr;
    field->onSubmit = [&](const std::string&) {
        added = modal.add<TextInput>(SDL_FRect{modal.rect.x + 20, modal.rect.y + 240, 220, 28}, "");
        added->focused = true;
    };
    modal.handleEvent(keyDown(SDLK_RETURN));
    ASSERT_NE(added, nullptr);
    modal.handleEvent(typed("q"));
    EXPECT_EQ(added->text, "q");
}

TEST(SliderTrack, MapsPressesAlongATwoHundredPixelTrack) {
    struct Case {
        float x;
        int value;
    } cases[] = {{100, 0}, {103, 0}, {106, 0}, {200, 50}, {294, 100}, {300, 100}};
    for (const Case& c : cases) {
        int reported = -1;
        Slider slider(nullptr, SDL_FRect{100, 10, 200, 10}, 0, 100, 30, [&](int v) { reported = v; });
        slider.handleEvent(press(c.x, 15));
        EXPECT_EQ(slider.value, c.value) << c.x;
        EXPECT_EQ(reported, c.value) << c.x;
    }
    Slider slider(nullptr, SDL_FRect{100, 10, 200, 10}, 0, 100, 50);
    int calls = 0;
    slider.onChange = [&](int) { ++calls; };
    slider.handleEvent(press(200, 15));
    EXPECT_EQ(calls, 0);
    SDL_Event move{};
    move.type = SDL_MOUSEMOTION;
    move.motion.x = 900;
    slider.handleEvent(move);
    EXPECT_EQ(slider.value, 100);
    SDL_Event up{};
    up.type = SDL_MOUSEBUTTONUP;
    up.button.button = SDL_BUTTON_LEFT;
    slider.handleEvent(up);
    move.motion.x = 0;
    slider.handleEvent(move);
    EXPECT_EQ(slider.value, 100);
}

Uint32 fakeNow = 0;
Uint32 fakeTicks() { return fakeNow; }

struct TwentyRows : ::testing::Test {
    List list{0, 0, 200, 150, 14};
    Uint32 (*saved)() = listTicks;
    void SetUp() override {
        listTicks = fakeTicks;
        for (int i = 0; i < 20; ++i) list.items.push_back("row " + std::to_string(i));
    }
    void TearDown() override { listTicks = saved; }
};

TEST_F(TwentyRows, ScrollsThreeRowsPerStepAndStopsAtTheLastPage) {
    SDL_FRect track, thumb;
    int rows = 0;
    ASSERT_TRUE(list.computeScrollbar(track, thumb, rows));
    EXPECT_EQ(rows, 6);
    EXPECT_FLOAT_EQ(thumb.h, 45.0f);
    list.handleEvent(wheel(-1));
    EXPECT_EQ(list.scrollOffset, 3);
    for (int i = 0; i < 10; ++i) list.handleEvent(wheel(-1));
    EXPECT_EQ(list.scrollOffset, 14);
    list.handleEvent(wheel(10));
    EXPECT_EQ(list.scrollOffset, 0);
    list.handleEvent(keyDown(SDLK_UP));
    EXPECT_EQ(list.selected, 0);
    for (int i = 0; i < 25; ++i) list.handleEvent(keyDown(SDLK_DOWN));
    EXPECT_EQ(list.selected, 19);
    EXPECT_EQ(list.scrollOffset, 14);
}

// Six rows show: the last row of the first page lights without a scroll, the next one scrolls by one.
TEST_F(TwentyRows, LightingARowScrollsItIntoViewAndAnUnlistedItemLightsNone) {
    const struct {
        std::string item;
        int selected;
        int scrollOffset;
    } steps[] = {{"row 5", 5, 0}, {"row 6", 6, 1}, {"row 19", 19, 14}, {"row 2", 2, 2}, {"gone", -1, 2}};
    for (const auto& s : steps) {
        list.light(s.item);
        EXPECT_EQ(list.selected, s.selected) << s.item;
        EXPECT_EQ(list.scrollOffset, s.scrollOffset) << s.item;
    }
    EXPECT_EQ(list.selectedText(), "");
    list.handleEvent(keyDown(SDLK_DOWN));
    EXPECT_EQ(list.selected, 0) << "the keys start from the top";
}

TEST_F(TwentyRows, TwoClicksWithinThreeHundredMillisecondsActivateTheSecondRow) {
    std::vector<int> activated;
    list.onActivate = [&](int row, const std::string&) { activated.push_back(row); };
    struct Step {
        Uint32 at;
        float y;
    } steps[] = {{1000, 5}, {1200, 30}, {1600, 55}, {1900, 80}};
    for (const Step& s : steps) {
        fakeNow = s.at;
        list.handleEvent(press(20, s.y));
    }
    EXPECT_EQ(activated, (std::vector<int>{1}));
    EXPECT_EQ(list.selected, 3);
    EXPECT_EQ(list.selectedText(), "row 3");
    List empty(0, 0, 200, 150, 14);
    empty.handleEvent(press(20, 5));
    EXPECT_EQ(empty.selectedText(), "");
}

// Six whole rows fit in 150 px; the strip of 6 px below them shows no row, so a press or a hover there takes none,
// on the first page and further down.
TEST_F(TwentyRows, TheStripBelowTheLastWholeRowTakesNoRow) {
    std::vector<int> chosen;
    list.onSelect = [&](int row, const std::string&) { chosen.push_back(row); };
    const struct {
        int scrollOffset;
        float y;
        int row;  // -1: none
    } cases[] = {{0, 143, 5}, {0, 144, -1}, {0, 150, -1}, {14, 143, 19}, {14, 149, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.y);
        chosen.clear();
        list.selected = 0;
        list.scrollOffset = c.scrollOffset;
        list.handleEvent(mouseAt(SDL_MOUSEMOTION, 20, c.y));
        EXPECT_EQ(list.hoveredIndex, c.row);
        fakeNow += 1000;
        list.handleEvent(press(20, c.y));
        EXPECT_EQ(list.selected, c.row == -1 ? 0 : c.row);
        EXPECT_EQ(chosen, c.row == -1 ? std::vector<int>{} : std::vector<int>{c.row});
    }
}

// The hover follows the row under a resting pointer when the rows move beneath it: by the wheel, by the keys, by new
// rows; a pointer off the list hovers nothing whatever scrolls.
TEST_F(TwentyRows, TheHoverFollowsTheRowUnderARestingPointerWhenTheListScrolls) {
    const struct {
        const char* what;
        SDL_Event event;
        int hovered;
    } steps[] = {
        {"rest on the third row", mouseAt(SDL_MOUSEMOTION, 20, 55), 2},
        {"wheel down", wheel(-1), 5},
        {"wheel up", wheel(1), 2},
        {"down to the eleventh row", keyDown(SDLK_DOWN), 2},
        {"leave the list", mouseAt(SDL_MOUSEMOTION, 400, 55), -1},
        {"wheel down off the list", wheel(-1), -1},
    };
    for (const auto& step : steps) {
        list.handleEvent(step.event);
        EXPECT_EQ(list.hoveredIndex, step.hovered) << step.what;
    }
    list.handleEvent(mouseAt(SDL_MOUSEMOTION, 20, 55));
    list.selected = 10;
    list.handleEvent(keyDown(SDLK_DOWN));
    ASSERT_EQ(list.scrollOffset, 6);
    EXPECT_EQ(list.hoveredIndex, 8) << "the keys scrolled the eleventh row into view";
    list.setItems({"only", "two"});
    EXPECT_EQ(list.hoveredIndex, -1) << "no row is under the pointer any more";
}

// A list with room for six rows, holding none, one, a page and a page and one: the wheel and the keys stop at its
// ends, and only the list that overflows has a scroll bar.
TEST(ListEnds, WheelAndKeysStopAtTheEndsOfListsOfZeroOneAPageAndAPageAndOneRows) {
    const struct {
        int rows;
        bool scrollBar;
        int lastOffset;
        int lastSelected;
    } cases[] = {{0, false, 0, 0}, {1, false, 0, 0}, {6, false, 0, 5}, {7, true, 1, 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        List list(0, 0, 200, 150, 14);
        std::vector<std::string> items;
        for (int i = 0; i < c.rows; ++i) items.push_back("row " + std::to_string(i));
        list.setItems(items);
        SDL_FRect track, thumb;
        int visible = 0;
        EXPECT_EQ(list.computeScrollbar(track, thumb, visible), c.scrollBar);
        EXPECT_EQ(visible, 6);
        for (int i = 0; i < 4; ++i) list.handleEvent(wheel(-1));
        EXPECT_EQ(list.scrollOffset, c.lastOffset);
        list.handleEvent(wheel(1));
        EXPECT_EQ(list.scrollOffset, 0);
        for (int i = 0; i < 9; ++i) list.handleEvent(keyDown(SDLK_DOWN));
        EXPECT_EQ(list.selected, c.lastSelected);
        EXPECT_EQ(list.scrollOffset, c.lastOffset) << "the last row is in view";
        for (int i = 0; i < 9; ++i) list.handleEvent(keyDown(SDLK_UP));
        EXPECT_EQ(list.selected, 0);
        EXPECT_EQ(list.scrollOffset, 0);
        std::vector<std::string> activated;
        list.onActivate = [&](int, const std::string& text) { activated.push_back(text); };
        list.handleEvent(keyDown(SDLK_RETURN));
        EXPECT_EQ(activated, c.rows ? std::vector<std::string>{"row 0"} : std::vector<std::string>{});
    }
}

// The thumb follows the pointer that pressed it to the nearest row offset, past the ends to the ends, and lets go on
// the release.
TEST_F(TwentyRows, DraggingTheThumbScrollsToTheNearestRowAndStopsAtTheEnds) {
    SDL_FRect track, thumb;
    int rows = 0;
    ASSERT_TRUE(list.computeScrollbar(track, thumb, rows));
    list.handleEvent(press(track.x + 2, thumb.y + 10));
    ASSERT_TRUE(list.draggingThumb);
    const struct {
        float y;
        int offset;
    // The thumb travels 105 px over 14 offsets, 7.5 px each: its top at 48 px is offset 6.4, at 49 px 6.53.
    } steps[] = {{600, 14}, {-300, 0}, {10 + 49, 7}, {10 + 48, 6}};
    for (const auto& s : steps) {
        list.handleEvent(mouseAt(SDL_MOUSEMOTION, track.x + 2, s.y));
        EXPECT_EQ(list.scrollOffset, s.offset) << s.y;
    }
    list.handleEvent(mouseAt(SDL_MOUSEBUTTONUP, track.x + 2, 50));
    list.handleEvent(mouseAt(SDL_MOUSEMOTION, track.x + 2, 600));
    EXPECT_EQ(list.scrollOffset, 6) << "released";
}

using ListDrawing = DrawFixture;

// Long rows show their whole text in a box beside the pointer, flipped left and up where the window ends; a row that
// fits shows none, and the box goes when the pointer leaves the list.
TEST_F(ListDrawing, TheHoverBoxShowsALongRowAndTurnsBackAtTheWindowsEdges) {
    constexpr SDL_Color BOX{20, 20, 20, 255};
    const std::string longRow = "replay_2026-12-07_21-30-00_from_the_longest_match.bin";
    const struct {
        const char* what;
        SDL_FRect rect;
        SDL_FPoint pointer;
        std::string text;
        bool box;
        SDL_FPoint probe;  // inside the box where one is drawn
    } cases[] = {
        {"in the open", {100, 100, 170, 150}, {150, 110}, longRow, true, {166, 126}},
        {"at the bottom-right corner", {W - 180.0f, H - 160.0f, 170, 150}, {W - 60.0f, H - 20.0f}, longRow, true,
         {W - 76.0f, H - 45.0f}},
        {"a row that fits", {100, 100, 170, 150}, {150, 110}, "row", false, {166, 126}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        List list(c.rect.x, c.rect.y, c.rect.w, c.rect.h, 14);
        list.setItems(std::vector<std::string>(7, c.text));
        list.handleEvent(mouseAt(SDL_MOUSEMOTION, c.pointer.x, c.pointer.y));
        list.draw();
        const SDL_Color at = pixel(static_cast<int>(c.probe.x), static_cast<int>(c.probe.y));
        EXPECT_EQ(same(at, BOX), c.box);
        EXPECT_FALSE(same(pixel(W - 2, H - 2), BOX)) << "nothing of the box past the window";
        if (c.rect.x > W / 2) saveScreenshot("list_hover_box_corner");
        list.handleEvent(mouseAt(SDL_MOUSEMOTION, 5, 5));
        SDL_RenderClear(renderer);
        list.draw();
        EXPECT_FALSE(same(pixel(static_cast<int>(c.probe.x), static_cast<int>(c.probe.y)), BOX)) << "pointer gone";
    }
}

TEST(DropDown, OpensChoosesAndClosesOnAMissWithoutReporting) {
    Select select;
    select.set_items({"Easy", "Normal", "Hard"});
    select.box = SDL_FRect{10, 10, 100, 20};
    std::vector<int> changes;
    select.onChange = [&](int i) { changes.push_back(i); };
    select.handle_event(press(50, 20));
    EXPECT_TRUE(select.open);
    select.handle_event(press(50, 75));
    EXPECT_EQ(select.get_selected(), "Hard");
    select.handle_event(press(50, 20));
    select.handle_event(press(50, 200));
    EXPECT_FALSE(select.open);
    EXPECT_EQ(changes, (std::vector<int>{2}));
}

// Where glyphs cover more than half of a pixel inside the rectangle's border, over the known fill.
std::vector<std::pair<int, int>> textCoverage(const SDL_Rect& r, Uint8 fill) {
    std::vector<std::pair<int, int>> covered;
    for (int y = r.y + 1; y < r.y + r.h - 1; ++y)
        for (int x = r.x + 1; x < r.x + r.w - 1; ++x)
            if ((DrawFixture::pixel(x, y).r - fill) * 2 > 255 - fill) covered.emplace_back(x - r.x, y - r.y);
    return covered;
}

using DropDownDrawing = DrawFixture;

// Closed, the box shows the chosen option in the same letters its row showed in the open list; a click outside an
// open list closes it and chooses nothing.
TEST_F(DropDownDrawing, TheClosedBoxShowsTheRowChosenInTheOpenList) {
    const auto clear = [] {
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
    };
    Select select;
    select.set_items({"Easy", "Normal", "Hard"});
    std::vector<int> changes;
    select.onChange = [&](int i) { changes.push_back(i); };
    select.draw(100, 100, 120, 20);
    EXPECT_TRUE(same(pixel(215, 110), SDL_Color{50, 50, 50, 255}));
    EXPECT_TRUE(same(pixel(215, 130), SDL_Color{0, 0, 0, 255})) << "no rows while closed";

    select.handle_event(pressOn(select.box));
    ASSERT_TRUE(select.open);
    select.draw();
    saveScreenshot("drop_down_open");
    const Uint8 rowFill[] = {70, 30, 30};
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(same(pixel(215, 130 + 20 * i), SDL_Color{rowFill[i], rowFill[i], rowFill[i], 255})) << i;
    const auto hardRow = textCoverage(SDL_Rect{100, 160, 120, 20}, 30);
    ASSERT_FALSE(hardRow.empty());

    // Rows share their edges: the edge between two rows belongs to the upper one.
    select.handle_event(press(150, 160));
    EXPECT_EQ(select.get_selected(), "Normal");
    select.handle_event(pressOn(select.box));
    select.handle_event(press(150, 161));
    EXPECT_EQ(changes, (std::vector<int>{1, 2}));
    EXPECT_FALSE(select.open);
    clear();
    select.draw();
    EXPECT_EQ(textCoverage(SDL_Rect{100, 100, 120, 20}, 50), hardRow);
    EXPECT_TRUE(same(pixel(215, 130), SDL_Color{0, 0, 0, 255})) << "the rows are gone";

    select.handle_event(pressOn(select.box));
    select.handle_event(press(400, 400));
    EXPECT_FALSE(select.open);
    EXPECT_EQ(changes.size(), 2u);

    select.set_items({});
    clear();
    select.draw();
    EXPECT_TRUE(textCoverage(SDL_Rect{100, 100, 120, 20}, 50).empty()) << "no options: the box alone";
}

}  // namespace
