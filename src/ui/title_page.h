// A page still to be built: its title, and a way back to the main page.
#pragma once

#include <string>

#include "ui/menu_layout.h"

class TitlePage : public MenuPageContainer {
public:
    TitlePage(MainMenu* menu, std::string title) : menu(menu), title(std::move(title)) {}

    void init() override {
        using namespace menu_layout;
        backButton = columnButton("Back", 535.0f, BACK_COLOUR, BACK_HOVER, goTo(menu, MenuPage::MainPage));
    }
    void handleEvent(const SDL_Event& event) override { backButton.handleEvent(event); }
    void draw() override {
        DrawText(title, static_cast<int>(windowSize().x * 0.5f), 220, whiteColor, 22, true);
        backButton.draw();
    }

    Button backButton;

private:
    MainMenu* menu;
    std::string title;
};
