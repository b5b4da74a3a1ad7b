// An integer picked along a horizontal track by pressing or dragging its knob.
#pragma once

#include <algorithm>
#include <functional>

#include "ui/ui_element.h"

class Slider : public UIElement {
public:
    // The knob's half width keeps it inside the track at both ends.
    static constexpr float MARGIN = 6.0f;

    std::function<void(int)> onChange;
    SDL_Renderer* renderer = nullptr;
    SDL_FRect track{0, 0, 0, 0};
    int min = 0;
    int max = 100;
    int value = 0;
    bool dragging = false;

    Slider(SDL_Renderer* r, SDL_FRect track, int min, int max, int value, std::function<void(int)> onChange = {})
        : onChange(std::move(onChange)), renderer(r), track(track), min(min), max(max), value(value) {}

    void draw() override {
        SDL_SetRenderDrawColor(renderer, 80, 80, 80, 255);
        SDL_RenderFillRectF(renderer, &track);
        const float span = max > min ? static_cast<float>(max - min) : 1.0f;
        const float cx = track.x + MARGIN + static_cast<float>(value - min) / span * (track.w - 2 * MARGIN);
        const SDL_FRect knob{cx - MARGIN, track.y - 4, 2 * MARGIN, track.h + 8};
        SDL_SetRenderDrawColor(renderer, 190, 10, 10, 255);
        SDL_RenderFillRectF(renderer, &knob);
    }
    void moveBy(float dx, float dy) override { shiftRect(track, dx, dy); }
    void updateValue(float mouseX) {
        const float left = track.x + MARGIN;
        const float right = track.x + track.w - MARGIN;
        const float t = right > left ? (std::clamp(mouseX, left, right) - left) / (right - left) : 0.0f;
        const int v = std::clamp(static_cast<int>(t * static_cast<float>(max - min)) + min, min, max);
        if (v == value) return;
        value = v;
        if (onChange) onChange(v);
    }
    void handleEvent(const SDL_Event& e) override {
        if (isLeftPress(e) && pointInRect(track, static_cast<float>(e.button.x), static_cast<float>(e.button.y))) {
            dragging = true;
            updateValue(static_cast<float>(e.button.x));
        } else if (e.type == SDL_MOUSEBUTTONUP && e.button.button == SDL_BUTTON_LEFT) {
            dragging = false;
        } else if (e.type == SDL_MOUSEMOTION && dragging) {
            updateValue(static_cast<float>(e.motion.x));
        }
    }
};
