// The map editor page: the list of maps, "Open map" and "Back".
#include "ui/map_editor_page.h"

#include <array>
#include <iostream>

#include "game_session.h"
#include "ui/menu_layout.h"
#include "utils.h"

void MapEditorPage::init() {
    using namespace menu_layout;
    const float cx = windowSize().x * 0.5f;
    titleLabel = Label("Map Editor", cx - static_cast<float>(TextWidth("Map Editor", 22) / 2), 170.0f, 22);
    mapNames = Utils::scanMapDirectory();
    mapList = List(cx - 150.0f, 220.0f, 300.0f, 250.0f, 18);
    mapList.setItems(mapNames);
    // Only a click chooses: no row is lit before one, and the choice of an earlier visit stays lit.
    mapList.light(chosenMap);
    mapList.onSelect = [this](int index, const std::string&) {
        chosenMap = mapNames[static_cast<size_t>(index)];
        refusalLine.clear();
    };
    refusalLine.clear();
    openButton = columnButton("Open map", 520.0f, PRIMARY_COLOUR, PRIMARY_HOVER, [this] { openChosenMap(); });
    backButton = columnButton("Back", 580.0f, BACK_COLOUR, {60, 60, 60, 255}, goTo(menu, MenuPage::MainPage));
}

void MapEditorPage::handleEvent(const SDL_Event& event) {
    const std::array<UIElement*, 3> inOrder{&openButton, &backButton, &mapList};
    for (UIElement* w : inOrder) w->handleEvent(event);
}

void MapEditorPage::draw() {
    const std::array<UIElement*, 4> inOrder{&titleLabel, &openButton, &backButton, &mapList};
    for (UIElement* w : inOrder) w->draw();
    menu_layout::drawRefusalLine(refusalLine);
}

bool MapEditorPage::openChosenMap() {
    if (chosenMap.empty()) {
        std::cerr << "Choose a map to open in the editor\n";
        refusalLine = "Choose a map first.";
        return false;
    }
    if (!start_map_editor(chosenMap)) {
        refusalLine = "This map cannot be opened.";
        return false;
    }
    reenterAfterSession = true;
    return true;
}

// The editor may have saved a new map: back from it, the page is entered afresh so the list shows what is there now.
void MapEditorPage::update() {
    if (!reenterAfterSession) return;
    reenterAfterSession = false;
    menu->switch_to_page(MenuPage::MapEditorPage);
}
