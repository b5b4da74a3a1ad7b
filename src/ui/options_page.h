// Fullscreen, menu music and sound effects switched, and the two volumes set, at once and for this run only.
#pragma once

#include <array>

#include <SDL2/SDL_mixer.h>

#include "config.h"
#include "sdl.h"
#include "sounds.h"
#include "ui/checkbox.h"
#include "ui/menu_layout.h"
#include "ui/slider.h"

class OptionsPage : public MenuPageContainer {
public:
    explicit OptionsPage(MainMenu* menu) : menu(menu) {}

    // Every entry reads the live settings again, so the controls show what is in force.
    void init() override {
        using namespace menu_layout;
        const float cx = windowSize().x * 0.5f;
        const float left = cx - BUTTON_W / 2;
        const float th = static_cast<float>(TextHeight("OPTIONS", 22));
        const float row1 = 220.0f + th;
        const float row2 = 290.0f + th;
        const float row3 = 395.0f + th;
        titleLabel = Label("OPTIONS", cx - static_cast<float>(TextWidth("OPTIONS", 22) / 2), 220.0f, 22);
        fullscreenLabel = Label("Fullscreen", left, row1 + 15, 12);
        fullscreenCheckbox = Checkbox(box(left, row1), isFullscreen, [](bool) { toggleDisplayMode(window); });
        musicLabel = Label("Game Music", left, row2 + 15, 12);
        // The box shows the music switch itself: a track left loaded after the music was switched off would show
        // a silent game as one with music, and the next click would switch it on while clearing the box.
        musicCheckbox = Checkbox(box(left, row2), musicActive, [](bool) { toggleMainMenuMusic(); });
        musicVolumeSlider = Slider(renderer, track(left, row2), 0, 100, toPercent(Mix_VolumeMusic(-1)),
                                   [](int v) { Mix_VolumeMusic(toMixer(v)); });
        effectsLabel = Label("Sound Effects", left, row3 + 15, 12);
        effectsCheckbox = Checkbox(box(left, row3), soundEffects, [](bool) { toggleSoundEffects(); });
        const int effectsVolume = mixerOpen() ? toPercent(Mix_Volume(-1, -1)) : 0;
        effectsVolumeSlider = Slider(renderer, track(left, row3), 0, 100, effectsVolume, [](int v) {
            if (mixerOpen()) Mix_Volume(-1, toMixer(v));
        });
        backButton = columnButton("Back", 535.0f + th, BACK_COLOUR, BACK_HOVER, goTo(menu, MenuPage::MainPage));
    }

    void handleEvent(const SDL_Event& event) override {
        const std::array<UIElement*, 6> inOrder{&fullscreenCheckbox, &musicCheckbox, &musicVolumeSlider,
                                                &effectsCheckbox,    &effectsVolumeSlider, &backButton};
        for (UIElement* w : inOrder) w->handleEvent(event);
    }

    void draw() override {
        const std::array<UIElement*, 10> inOrder{&fullscreenLabel, &fullscreenCheckbox, &titleLabel,
                                                 &musicLabel,      &musicCheckbox,      &musicVolumeSlider,
                                                 &effectsLabel,    &effectsCheckbox,    &effectsVolumeSlider,
                                                 &backButton};
        for (UIElement* w : inOrder) w->draw();
    }

    // The mixer's volumes run from 0 to 128; the sliders from 0 to 100, converted with truncation.
    static int toPercent(int mixerVolume) { return mixerVolume * 100 / MIX_MAX_VOLUME; }
    static int toMixer(int percent) { return percent * MIX_MAX_VOLUME / 100; }
    // The channel volumes exist only while the mixer is open; without a device the effects slider shows 0.
    static bool mixerOpen() { return Mix_QuerySpec(nullptr, nullptr, nullptr) != 0; }

    Button backButton;
    Label titleLabel{"", 0.0f, 0.0f, 22};
    Label musicLabel{"", 0.0f, 0.0f, 12};
    Label effectsLabel{"", 0.0f, 0.0f, 12};
    Label fullscreenLabel{"", 0.0f, 0.0f, 12};
    Checkbox effectsCheckbox{{}, false};
    Checkbox musicCheckbox{{}, false};
    Checkbox fullscreenCheckbox{{}, false};
    Slider musicVolumeSlider{nullptr, {}, 0, 100, 0};
    Slider effectsVolumeSlider{nullptr, {}, 0, 100, 0};

private:
    static SDL_FRect box(float left, float row) { return SDL_FRect{left, row + 40, 22, 22}; }
    static SDL_FRect track(float left, float row) { return SDL_FRect{left, row + 80, menu_layout::BUTTON_W, 16}; }

    MainMenu* menu;
};
