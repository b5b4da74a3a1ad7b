// The landing screen between a deployment and its mission: timed status lines in green on black, then the session.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game_loop.h"
#include "game_session.h"
#include "game_state.h"
#include "sdl.h"
#include "sprites.h"
#include "ui/menu_layout.h"

class LoadingPage : public MenuPageContainer {
public:
    explicit LoadingPage(MainMenu* menu) : menu(menu) {}

    void init() override {
        unitSpritesReady = !unitSprites.empty();
        logs.clear();
        active = true;
        step = 0;
        add_log("LEAVING THE MOTHERSHIP");
        stepStartTicks = frameClockMs();
    }

    // A step fires in the first frame after its wait is exceeded; the frame's own time adds to every wait.
    void update() override {
        if (!active) return;
        const uint32_t now = frameClockMs();
        if (now - stepStartTicks <= STEPS[step].waitMs) return;
        stepStartTicks = now;
        if (step == LAST_STEP) {
            startSession();
            return;
        }
        add_log(STEPS[step].line);
        ++step;
        // Without unit sprites there are no units to prepare.
        if (step == 2 && !unitSpritesReady) {
            add_log("SYSTEMS READY");
            step = 3;
        }
    }

    // The newest line 60 pixels above the bottom edge, older ones stacked upwards 25 pixels apart.
    void draw() override {
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        const float bottom = windowSize().y - 60.0f;
        const std::size_t n = logs.size();
        for (std::size_t i = 0; i < n; ++i)
            DrawText(logs[i], 20, static_cast<int>(bottom - 25.0f * static_cast<float>(n - 1 - i)), textColour, 14,
                     false);
    }

    void add_log(const std::string& text) {
        logs.push_back("[SYSTEM] " + text);
        if (logs.size() > maxLines) logs.erase(logs.begin());
    }

    int step = 0;
    std::vector<std::string> logs;
    std::size_t maxLines = 15;
    bool active = false;
    uint32_t stepStartTicks = 0;
    bool unitSpritesReady = false;
    SDL_Color textColour{0, 255, 0, 255};

private:
    struct Step {
        uint32_t waitMs;
        const char* line;
    };
    static constexpr int LAST_STEP = 4;
    static constexpr Step STEPS[] = {
        {1000, "TRAJECTORY CALCULATED"}, {500, "PREPARING UNITS"}, {800, "LANDING SITE SECURED"},
        {800, "DEPLOYING..."},           {500, ""},
    };

    // The menus reopen on the main page at the first event after the session.
    void startSession() {
        menu->switch_to_page(MenuPage::MainPage);
        active = false;
        if (mode == GameMode::Extraction)
            start_extraction(true, true, currentMap, false);
        else
            startGame(true, true, currentMap, false);
    }

    MainMenu* menu;
};
