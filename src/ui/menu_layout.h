// What the menu pages share: the centred column, the button look of a page, and page-switch callbacks.
#pragma once

#include <string>

#include "sdl_draw.h"
#include "sdl_text.h"
#include "ui/button.h"
#include "ui/main_menu.h"

namespace menu_layout {

constexpr float BUTTON_W = 250.0f;
constexpr float BUTTON_H = 45.0f;
constexpr int BUTTON_FONT = 20;
// The first button of a page, the other page buttons, and Back.
constexpr SDL_Color PRIMARY_COLOUR{139, 0, 0, 255};
constexpr SDL_Color PRIMARY_HOVER{160, 0, 0, 255};
constexpr SDL_Color SECONDARY_COLOUR{70, 35, 35, 255};
constexpr SDL_Color SECONDARY_HOVER{100, 50, 50, 255};
constexpr SDL_Color BACK_COLOUR{35, 35, 35, 255};
constexpr SDL_Color BACK_HOVER{50, 50, 50, 255};

// The left edge of the column centred on half the window width.
inline float columnLeft() { return windowSize().x * 0.5f - BUTTON_W / 2; }

// A column button at height y with its two backgrounds, white text that turns (200, 200, 100) under the mouse.
inline Button columnButton(const std::string& label, float y, SDL_Color background, SDL_Color hovered,
                           std::function<void()> onClick) {
    Button b(SDL_FRect{columnLeft(), y, BUTTON_W, BUTTON_H}, label, std::move(onClick), BUTTON_FONT);
    b.normal = background;
    b.hover = hovered;
    return b;
}

// What the pages say of a refusal or a failure.
constexpr SDL_Color REFUSAL_COLOUR{255, 90, 90, 255};

// Why the page's last press was refused, centred on the window with its top at y (by default under a page's list).
inline void drawRefusalLine(const std::string& line, float y = 485.0f) {
    if (line.empty()) return;
    const float x = windowSize().x * 0.5f - static_cast<float>(TextWidth(line, 16)) * 0.5f;
    DrawText(line, static_cast<int>(x), static_cast<int>(y), REFUSAL_COLOUR, 16, false);
}

// Asks the menu for a page; the switch happens after the event being handled.
inline std::function<void()> goTo(MainMenu* menu, MenuPage page) {
    return [menu, page] { menu->switch_to_page(page); };
}

}  // namespace menu_layout
