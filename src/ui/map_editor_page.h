// The way into the map editor: the maps of the maps folder, and the chosen one opened in an editor session.
#pragma once

#include <string>
#include <vector>

#include "ui/button.h"
#include "ui/list.h"
#include "ui/main_menu.h"
#include "ui/ui_element.h"

class MapEditorPage : public MenuPageContainer {
public:
    explicit MapEditorPage(MainMenu* menu) : menu(menu) {}

    // The folder is read again on every entry; the chosen map stays from earlier visits.
    void init() override;
    // The buttons see the event before the list.
    void handleEvent(const SDL_Event& event) override;
    void draw() override;
    void update() override;

    // Refused, with one line, while no map is chosen; false too when the map cannot be opened.
    bool openChosenMap();

    Label titleLabel{"Map Editor", 0.0f, 0.0f, 22};
    Button openButton;
    Button backButton;
    List mapList{0.0f, 0.0f, 0.0f, 0.0f, 18};
    std::vector<std::string> mapNames;
    std::string chosenMap;
    // Why the last "Open map" was refused, shown under the list until a map is chosen or the page entered again.
    std::string refusalLine;

private:
    MainMenu* menu;
    bool reenterAfterSession = false;
};
