// The back story: four scenes of centred text on black that fade in, wait for the player and fade out.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "game_loop.h"
#include "ui/centred_lines.h"
#include "ui/menu_layout.h"

class StoryPage : public MenuPageContainer {
public:
    enum State : int { FadingIn = 0, Shown = 1, Changing = 2 };

    struct StoryLine {
        std::string text;
        int fontSize;
        float gap;
        int scene;
    };

    explicit StoryPage(MainMenu* menu) : menu(menu) {}

    void init() override {
        lastTicks = frameClockMs();
        scene = 0;
        fade = 0.0f;
        storyLines.assign(std::begin(STORY), std::end(STORY));
        load_scene(scene);
    }

    // The fade level is left as it is: 0 after a forward step, just above 0 after a backward one.
    void load_scene(int index) {
        labels.clear();
        const SDL_FPoint size = windowSize();
        float y = 0.3f * size.y;
        float bottom = y;
        for (const StoryLine& line : storyLines) {
            if (line.scene != index) continue;
            bottom = centred_lines::add(labels, line.text, line.fontSize, size.x, y);
            y = bottom + line.gap;
        }
        keepAboveHint(bottom, size.y);
        state = FadingIn;
    }

    // Steps only while a scene is fully shown; Escape skips at any time.
    void handleEvent(const SDL_Event& e) override {
        const bool key = e.type == SDL_KEYDOWN;
        // Only a key event carries a scancode; another event's bytes there are no key at all.
        const SDL_Scancode code = key ? e.key.keysym.scancode : SDL_SCANCODE_UNKNOWN;
        if (key && code == SDL_SCANCODE_ESCAPE) {
            menu->switch_to_page(MenuPage::MainPage);
            return;
        }
        if (state != Shown) return;
        const bool press = e.type == SDL_MOUSEBUTTONDOWN;
        const bool forward = (key && (code == SDL_SCANCODE_RETURN || code == SDL_SCANCODE_SPACE)) ||
                             (press && e.button.button == SDL_BUTTON_LEFT);
        const bool back = (key && code == SDL_SCANCODE_BACKSPACE) || (press && e.button.button == SDL_BUTTON_RIGHT);
        if (forward) {
            state = Changing;
        } else if (back && scene >= 1) {
            state = Changing;
            fade = -1.0f;
        }
    }

    void draw() override {
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        const SDL_FPoint size = windowSize();
        const uint32_t now = frameClockMs();
        const float step = std::min(static_cast<float>(now - lastTicks) / 1000.0f, MAX_STEP_SECONDS) * fadeSpeed;
        lastTicks = now;
        int alpha = 0;
        if (!advanceFade(step, alpha)) return;
        for (const Label& label : labels)
            DrawText(label.text, static_cast<int>(label.x), static_cast<int>(std::floor(label.y)),
                     SDL_Color{255, 255, 255, static_cast<Uint8>(alpha)}, label.fontSize, false);
        int tw = 0;
        int th = 0;
        getTextSize(HINT, 12, tw, th);
        DrawText(HINT, static_cast<int>(size.x * 0.5f - static_cast<float>(tw) * 0.5f),
                 static_cast<int>(size.y - HINT_FROM_BOTTOM), whiteColor, 12, false);
    }

    std::vector<StoryLine> storyLines;
    std::vector<Label> labels;
    int scene = 0;
    int sceneCount = 4;
    float fade = 0.0f;
    float fadeSpeed = 1.0f;
    int state = FadingIn;
    uint32_t lastTicks = 0;

    static constexpr float MAX_STEP_SECONDS = 0.1f;
    static constexpr const char* HINT = "[SPACE/ENTER] Next  |  [BACKSPACE] Back  |  [ESC] Skip";
    static constexpr float HINT_FROM_BOTTOM = 40.0f;
    // Kept free between a scene's last line and the hint.
    static constexpr float HINT_CLEARANCE = 10.0f;

private:
    // A scene too tall for a small window rises until it clears the key hint, never past the window's top.
    void keepAboveHint(float bottom, float windowHeight) {
        const float over = bottom - (windowHeight - HINT_FROM_BOTTOM - HINT_CLEARANCE);
        if (over <= 0.0f || labels.empty()) return;
        const float rise = std::min(over, labels.front().y);
        for (Label& label : labels) label.y -= rise;
    }

    // The labels' opacity for this frame; false once the last scene has faded out and the page has left.
    bool advanceFade(float step, int& alpha) {
        if (state == FadingIn) {
            fade += step;
            if (fade >= 1.0f) {
                fade = 1.0f;
                state = Shown;
            }
        } else if (state == Changing && fade < 0.0f) {
            fade += step;
            if (fade >= 0.0f) load_scene(--scene);
        } else if (state == Changing) {
            if (fade - step <= 0.0f) {
                fade = 0.0f;
                if (++scene >= sceneCount) {
                    menu->switch_to_page(MenuPage::MainPage);
                    return false;
                }
                load_scene(scene);
            } else {
                fade -= step;
            }
        }
        alpha = static_cast<int>(std::fabs(fade) * 255.0f);
        return true;
    }

    static inline const StoryLine STORY[] = {
        {"THE SIGNAL", 32, 40, 0},
        {"For forty years the listening posts of the Brass Reach heard nothing but static.", 16, 15, 0},
        {"Then, one winter night, a pulse came back from the dark beyond Corvale.", 18, 15, 0},
        {"It repeated every ninety seconds, patient and precise, like a heartbeat.", 16, 35, 0},
        {"Someone, or something, was calling.", 16, 0, 0},
        {"THE DATA", 32, 40, 1},
        {"The engineers unfolded the pulse into maps of a world no probe had reached.", 16, 15, 1},
        {"Rivers of amber oil. Ridges of crystal that sang under starlight.", 16, 15, 1},
        {"And ruins: the walls of a colony older than any record of ours.", 16, 15, 1},
        {"Whoever built them had left in a hurry, or had never left at all.", 16, 15, 1},
        {"The council voted within the hour.", 16, 0, 1},
        {"THE VOYAGE", 32, 40, 2},
        {"The mothership Brassline crossed the gulf in eleven years of silence.", 16, 15, 2},
        {"Its crew slept in cryopods while the hull froze and thawed around them.", 16, 15, 2},
        {"They woke to a sky of two suns and an answer on every frequency:", 16, 15, 2},
        {"we were not the first to come.", 18, 0, 2},
        {"THE ARRIVAL", 32, 40, 3},
        {"Rival landing parties already dig at the crystal fields.", 16, 20, 3},
        {"The colony that sent the signal waits somewhere under the ash.", 16, 45, 3},
        {"COMMANDER, CLAIM CORVALE BEFORE THEY DO.", 22, 15, 3},
    };
    static_assert(sizeof(STORY) / sizeof(STORY[0]) == 20, "the story holds 20 lines");

    MainMenu* menu;
};
