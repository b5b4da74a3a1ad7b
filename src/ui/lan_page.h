// The crossroads of LAN play: host a lobby, join one, or go back to the main page.
#pragma once

#include <array>

#include "ui/menu_layout.h"

class LANPage : public MenuPageContainer {
public:
    explicit LANPage(MainMenu* menu) : menu(menu) {}

    void init() override {
        using namespace menu_layout;
        titleLabel = Label("LAN", windowSize().x * 0.5f - static_cast<float>(TextWidth("LAN", 22) / 2), 170.0f, 22);
        hostGameButton = columnButton("Host Game", 220.0f, menu_layout::PRIMARY_COLOUR, menu_layout::PRIMARY_HOVER,
                                      goTo(menu, MenuPage::HostPage));
        joinGameButton = columnButton("Join Game", 280.0f, menu_layout::SECONDARY_COLOUR, menu_layout::SECONDARY_HOVER,
                                      goTo(menu, MenuPage::JoinPage));
        backButton = columnButton("Back", 340.0f, BACK_COLOUR, {60, 60, 60, 255}, goTo(menu, MenuPage::MainPage));
    }

    void handleEvent(const SDL_Event& event) override {
        for (Button* b : buttons()) b->handleEvent(event);
    }

    void draw() override {
        titleLabel.draw();
        for (Button* b : buttons()) b->draw();
    }

    Label titleLabel{"LAN", 0.0f, 0.0f, 22};
    Button hostGameButton;
    Button joinGameButton;
    Button backButton;

private:
    std::array<Button*, 3> buttons() { return {&hostGameButton, &joinGameButton, &backButton}; }

    MainMenu* menu;
};
