// The front end: the main menu that owns the pages, shows one at a time and switches after the event.
#include "ui/main_menu.h"

#include <functional>
#include <utility>

MainMenu mainMenu;

namespace {

using PageFactory = std::function<std::unique_ptr<MenuPageContainer>(MainMenu*)>;

struct PageEntry {
    MenuPage key;
    PageFactory make;
};

// Every page in the order the menu creates and initialises them.
std::vector<PageEntry> pageTable() { return {}; }

}  // namespace

void MainMenu::init() {
    const std::vector<PageEntry> table = pageTable();
    for (const PageEntry& entry : table) pages[entry.key] = entry.make(this);
    for (const PageEntry& entry : table)
        if (entry.key != MenuPage::CreditsPage) pages[entry.key]->init();
}

void MainMenu::switch_to_page(MenuPage page) {
    pending = page;
    switchPending = true;
}

MenuPageContainer* MainMenu::page(MenuPage key) const {
    const auto found = pages.find(key);
    return found == pages.end() ? nullptr : found->second.get();
}

void MainMenu::handleEvent(const SDL_Event& event) {
    if (MenuPageContainer* shown = page(current)) shown->handleEvent(event);
    if (!switchPending) return;
    switchPending = false;
    current = pending;
    if (MenuPageContainer* next = page(current)) next->init();
}

void MainMenu::draw() {
    if (MenuPageContainer* shown = page(current)) shown->draw();
}

void MainMenu::update() {
    if (MenuPageContainer* shown = page(current)) shown->update();
}

void MainMenu::clear() { pages.clear(); }
