// The credits: centred lines scrolling up over black from below the window, back to the main page at the end.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "game_loop.h"
#include "ui/centred_lines.h"
#include "ui/menu_layout.h"

class CreditsPage : public MenuPageContainer {
public:
    explicit CreditsPage(MainMenu* menu) : menu(menu) {}

    void init() override {
        scroll = 0.0f;
        finished = false;
        lastTicks = frameClockMs();
        lines.clear();
        const SDL_FPoint size = windowSize();
        float y = size.y + 100.0f;
        for (const Entry& e : ENTRIES) y = centred_lines::add(lines, e.text, e.fontSize, size.x, y) + e.gap;
    }

    void handleEvent(const SDL_Event& e) override {
        if (e.type != SDL_KEYDOWN) return;
        const SDL_Scancode key = e.key.keysym.scancode;
        if (key == SDL_SCANCODE_ESCAPE || key == SDL_SCANCODE_SPACE) menu->switch_to_page(MenuPage::MainPage);
    }

    // The band reaches 150 pixels beyond both edges; the page ends once, when nothing is left in it.
    void draw() override {
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        const float h = windowSize().y;
        const uint32_t now = frameClockMs();
        const float elapsed = static_cast<float>(now - lastTicks) / 1000.0f;
        lastTicks = now;
        // A stall moves the text by at most one tenth of a second's worth.
        if (!finished) scroll += std::min(elapsed, MAX_STEP_SECONDS) * speed;
        bool inBand = false;
        for (const Label& line : lines) {
            const float s = line.y - scroll;
            if (s <= -BAND_MARGIN || s >= h + BAND_MARGIN) continue;
            DrawText(line.text, static_cast<int>(line.x), static_cast<int>(std::floor(s)), line.colour, line.fontSize,
                     false);
            inBand = true;
        }
        if (!inBand && !lines.empty() && !finished) {
            finished = true;
            menu->switch_to_page(MenuPage::MainPage);
        }
    }

    std::vector<Label> lines;
    float scroll = 0.0f;
    float speed = 50.0f;
    uint32_t lastTicks = 0;
    bool finished = false;

    static constexpr float MAX_STEP_SECONDS = 0.1f;
    static constexpr float BAND_MARGIN = 150.0f;

private:
    struct Entry {
        const char* text;
        int fontSize;
        float gap;
    };
    static constexpr Entry ENTRIES[] = {
        {"CORVALE", 72, 10},
        {"PRESENTED BY", 12, 6},
        {"BRASSLINE", 18, 20},
        {"DEMO VERSION", 14, 120},
        {"DEVELOPMENT & ARCHITECTURE", 26, 30},
        {"Lead Engine Programmer", 14, 8},
        {"Ilse Varga", 18, 35},
        {"Simulation & Lockstep Networking", 14, 8},
        {"Tomas Reyl", 18, 35},
        {"Interface & Tools", 14, 8},
        {"Mara Okonkwo", 18, 120},
        {"PRODUCTION & DESIGN", 26, 30},
        {"Game Director", 14, 8},
        {"Anselm Brook", 18, 35},
        {"Mission & Campaign Design", 14, 8},
        {"Petra Lindqvist", 18, 120},
        {"VISUAL ARTS", 26, 30},
        {"Terrain, Units & Interface Art", 14, 8},
        {"Yuna Castell", 18, 120},
        {"AUDIO & SOUNDTRACK", 26, 30},
        {"Composer", 14, 8},
        {"Darius Fenn", 18, 35},
        {"Additional Sound Effects", 14, 8},
        {"The Open Sound Commons community", 16, 120},
        {"TECHNOLOGIES USED", 26, 30},
        {"Window, Input & Rendering", 14, 8},
        {"SDL2", 16, 25},
        {"Modding", 14, 8},
        {"Lua", 16, 25},
        {"Data Files", 14, 8},
        {"nlohmann/json", 16, 120},
        {"SPECIAL THANKS", 26, 30},
        {"To the makers who showed us what a strategy game can be:", 14, 15},
        {"the designers of the great base builders", 16, 15},
        {"the modders who keep old games alive", 16, 15},
        {"the open-source engine builders", 16, 15},
        {"and everyone who played an early build of Corvale", 16, 800},
        {"A BRASSLINE GAME", 32, 20},
        {"Corvale is a work of fiction. Thank you for playing.", 12, 0},
    };
    static_assert(sizeof(ENTRIES) / sizeof(ENTRIES[0]) == 39, "the credits hold 39 lines");

    MainMenu* menu;
};
