// A push button that fires on the left press and greys out when disabled.
#pragma once

#include <functional>
#include <string>

#include "ui/ui_element.h"

class Button : public UIElement {
public:
    SDL_FRect rect{0, 0, 0, 0};
    std::string label;
    int fontSize = 18;
    SDL_Color normal{100, 100, 200, 255};
    SDL_Color hover{60, 60, 60, 255};
    SDL_Color text{255, 255, 255, 255};
    SDL_Color hoverText{200, 200, 100, 255};
    bool hovered = false;
    bool enabled = true;
    std::function<void()> onClick;

    Button() = default;
    Button(SDL_FRect rect, std::string label, std::function<void()> onClick = {}, int fontSize = 18)
        : rect(rect), label(std::move(label)), fontSize(fontSize), onClick(std::move(onClick)) {}

    void draw() override;
    void handleEvent(const SDL_Event& e) override;
    void moveBy(float dx, float dy) override { shiftRect(rect, dx, dy); }
};
