// A square toggle.
#pragma once

#include <functional>

#include "ui/ui_element.h"

class Checkbox : public UIElement {
public:
    std::function<void(bool)> onToggle;
    SDL_FRect box{0, 0, 0, 0};
    bool checked = false;

    Checkbox(SDL_FRect box, bool checked, std::function<void(bool)> onToggle = {})
        : onToggle(std::move(onToggle)), box(box), checked(checked) {}

    void draw() override {
        fillRect(box, SDL_Color{40, 40, 40, 220});
        outlineRect(box, whiteColor);
        if (checked) fillRect(SDL_FRect{box.x + 4, box.y + 4, box.w - 8, box.h - 8}, SDL_Color{190, 10, 10, 255});
    }
    void moveBy(float dx, float dy) override { shiftRect(box, dx, dy); }
    void handleEvent(const SDL_Event& e) override {
        if (!isLeftPress(e) || !pointInRect(box, static_cast<float>(e.button.x), static_cast<float>(e.button.y))) return;
        checked = !checked;
        if (onToggle) onToggle(checked);
    }
};
