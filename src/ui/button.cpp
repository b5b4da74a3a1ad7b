// A push button that fires on the left press and greys out when disabled.
#include "ui/button.h"

void Button::draw() {
    SDL_Color background = hovered ? hover : normal;
    SDL_Color labelColour = hovered ? hoverText : text;
    if (!enabled) {
        background = SDL_Color{20, 20, 20, 255};
        labelColour = SDL_Color{100, 100, 100, 255};
    }
    fillRect(rect, background);
    int w = 0;
    int h = 0;
    getTextSize(label, fontSize, w, h);
    DrawText(label, static_cast<int>(rect.x + (rect.w - static_cast<float>(w)) * 0.5f),
             static_cast<int>(rect.y + (rect.h - static_cast<float>(lineSkip(fontSize))) * 0.5f), labelColour, fontSize,
             false);
}

void Button::handleEvent(const SDL_Event& e) {
    if (!enabled) return;
    if (e.type == SDL_MOUSEMOTION) {
        hovered = pointInRect(rect, static_cast<float>(e.motion.x), static_cast<float>(e.motion.y));
    } else if (isLeftPress(e) && pointInRect(rect, static_cast<float>(e.button.x), static_cast<float>(e.button.y)) &&
               onClick) {
        onClick();
    }
}
