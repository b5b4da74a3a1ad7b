// A one-line text field: typed text appends, Backspace drops the last byte, Return submits and ends focus.
#pragma once

#include <algorithm>
#include <functional>
#include <string>

#include "ui/ui_element.h"

class TextInput : public UIElement {
public:
    static constexpr int PADDING = 10;

    std::function<void(const std::string&)> onSubmit;
    std::function<void(std::string)> onChange;
    SDL_FRect rect{0, 0, 0, 0};
    std::string text;
    bool focused = false;
    bool showCaret = false;

    explicit TextInput(SDL_FRect rect, std::string text = {}) : rect(rect), text(std::move(text)) {}

    bool hasFocus() const override { return focused; }
    void moveBy(float dx, float dy) override { shiftRect(rect, dx, dy); }
    // A text wider than the field stays inside it and shows its end, where typing goes on.
    void draw() override {
        SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
        fillRect(rect, SDL_Color{50, 50, 50, 220});
        outlineRect(rect, whiteColor);
        const std::string shown = showCaret ? text + "_" : text;
        const float pad = static_cast<float>(PADDING);
        const SDL_FRect inside{rect.x + pad, rect.y, rect.w - 2 * pad, rect.h};
        const int overflow = std::max(0, TextWidth(shown, 12) - static_cast<int>(inside.w));
        ClipScope clip(inside);
        DrawText(shown, static_cast<int>(rect.x) + PADDING - overflow, static_cast<int>(rect.y + 5),
                 SDL_Color{0, 255, 0, 255}, 12, false);
    }
    void handleEvent(const SDL_Event& e) override {
        if (e.type == SDL_TEXTINPUT) {
            text += e.text.text;
            changed();
        } else if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_BACKSPACE && !text.empty()) {
            text.pop_back();
            changed();
        } else if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_RETURN) {
            if (onSubmit) onSubmit(text);
            focused = false;
            SDL_StopTextInput();
        }
    }

private:
    void changed() {
        if (onChange) onChange(text);
    }
};
