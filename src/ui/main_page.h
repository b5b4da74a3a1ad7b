// The page the program opens on: a centred column of nine buttons, two of them disabled, and the version text.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <iostream>
#include <string>

#include "config.h"
#include "game_state.h"
#include "network_manager.h"
#include "network_manager_lobby.h"
#include "ui/menu_layout.h"

class MainPage : public MenuPageContainer {
public:
    explicit MainPage(MainMenu* menu) : menu(menu) {}

    void init() override {
        using namespace menu_layout;
        const SDL_Color grey{35, 35, 35, 255};
        const SDL_Color greyHover{50, 50, 50, 255};
        // The online mode and the replays page are shown but not reached from here.
        const Entry entries[] = {
            {&MainPage::extractionButton, "Extraction", menu_layout::PRIMARY_COLOUR, menu_layout::PRIMARY_HOVER,
             goTo(menu, MenuPage::ExtractionPage), true},
            {&MainPage::onlineButton, "Online", grey, greyHover, [this] { goOnline(); }, false},
            {&MainPage::lanButton, "LAN", menu_layout::SECONDARY_COLOUR, menu_layout::SECONDARY_HOVER, goTo(menu, MenuPage::LANPage), true},
            {&MainPage::replaysButton, "Replays", grey, greyHover, goTo(menu, MenuPage::ReplaysPage), false},
            {&MainPage::mapEditorButton, "Map Editor", grey, greyHover, goTo(menu, MenuPage::MapEditorPage), true},
            {&MainPage::storyButton, "Story", grey, greyHover, goTo(menu, MenuPage::StoryPage), true},
            {&MainPage::creditsButton, "Credits", grey, greyHover, goTo(menu, MenuPage::CreditsPage), true},
            {&MainPage::optionsButton, "Options", grey, greyHover, goTo(menu, MenuPage::OptionsPage), true},
            {&MainPage::exitButton, "Exit", grey, {90, 25, 25, 255}, [] { running = false; }, true},
        };
        float y = FIRST_Y;
        for (const Entry& e : entries) {
            this->*e.member = columnButton(e.label, y, e.background, e.hovered, e.click);
            (this->*e.member).enabled = e.enabled;
            y += SPACING;
        }
        versionLabel = Label(VERSION, 15.0f, windowSize().y - 25.0f, 12);
    }

    void handleEvent(const SDL_Event& event) override {
        for (Button* b : inEventOrder()) b->handleEvent(event);
    }

    void draw() override {
        for (Button* b : inEventOrder()) b->draw();
        versionLabel.draw();
    }

    // Online play: every lobby message goes over one connection to the relay server, opened before the LAN page.
    // A connection that fails leaves the LAN road as it was.
    void goOnline() {
        lobbyState.useRelayer = true;
        net.isHost = false;
        if (net.connect(relayHost, static_cast<uint16_t>(relayPort))) {
            menu->switch_to_page(MenuPage::LANPage);
            return;
        }
        std::cerr << "Failed to connect to relayer!\n";
        lobbyState.useRelayer = false;
    }

    std::string relayHost = relayerIp;
    int relayPort = relayerPort;

    Button extractionButton;
    Button onlineButton;
    Button lanButton;
    Button replaysButton;
    Button mapEditorButton;
    Button creditsButton;
    Button exitButton;
    Button storyButton;
    Button optionsButton;
    Label versionLabel{"", 0.0f, 0.0f, 12};

    static constexpr float FIRST_Y = 170.0f;
    static constexpr float SPACING = 60.0f;

private:
    struct Entry {
        Button MainPage::*member;
        const char* label;
        SDL_Color background;
        SDL_Color hovered;
        std::function<void()> click;
        bool enabled;
    };

    std::array<Button*, 9> inEventOrder() {
        return {&extractionButton, &onlineButton,   &lanButton,     &replaysButton, &mapEditorButton,
                &creditsButton,    &storyButton,    &optionsButton, &exitButton};
    }

    MainMenu* menu;
};
