// A scrolling single-selection list of text rows with a scroll bar and a box showing rows too long to fit.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/ui_element.h"

// Milliseconds for telling a double click; tests install their own.
extern Uint32 (*listTicks)();

class List : public UIElement {
public:
    static constexpr Uint32 DOUBLE_CLICK_MS = 300;

    std::function<void(int, const std::string&)> onSelect;
    // A double click or Return.
    std::function<void(int, const std::string&)> onActivate;
    SDL_FRect rect{0, 0, 0, 0};
    int fontSize = 14;
    int itemHeight = 24;
    std::vector<std::string> items;
    int selected = 0;
    int scrollOffset = 0;
    Uint32 lastClickTicks = 0;
    int hoveredIndex = -1;
    float mouseX = 0.0f;
    float mouseY = 0.0f;
    float scrollbarWidth = 8.0f;
    bool draggingThumb = false;
    float dragOffset = 0.0f;

    List(float x, float y, float w, float h, int fontSize);

    // Selects the first row; the scroll position stays where the new rows still fill it.
    void setItems(std::vector<std::string> newItems);
    // Selects the row holding item, scrolled into view; no row when item is not listed.
    void light(const std::string& item);
    // The selected row's text, empty without rows.
    const std::string& selectedText() const;
    // False when every row fits; otherwise the bar column and its thumb.
    bool computeScrollbar(SDL_FRect& track, SDL_FRect& thumb, int& visibleRows) const;

    void draw() override;
    void handleEvent(const SDL_Event& e) override;
    void moveBy(float dx, float dy) override { shiftRect(rect, dx, dy); }

private:
    int visibleRows() const;
    int rowAt(float x, float y) const;
    void press(float x, float y);
    void key(SDL_Keycode sym);
    void scrollTo(int offset);
    void scrollToSelected();
    void motion(float x, float y);
    void drawHoverBox();
};

// Whether the text is wider than maxWidth at that size.
bool isTruncated(const std::string& text, int maxWidth, int fontSize);
