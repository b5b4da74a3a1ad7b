// The front end: the main menu that owns the pages, shows one at a time and switches after the event.
#include "ui/main_menu.h"

#include <functional>
#include <utility>

#include "ui/credits_page.h"
#include "ui/extraction_pages.h"
#include "ui/host_page.h"
#include "ui/join_page.h"
#include "ui/lan_page.h"
#include "ui/loading_page.h"
#include "ui/lobby_view_page.h"
#include "ui/main_page.h"
#include "ui/map_editor_page.h"
#include "ui/options_page.h"
#include "ui/replays_page.h"
#include "ui/story_page.h"

MainMenu mainMenu;

namespace {

using PageFactory = std::function<std::unique_ptr<MenuPageContainer>(MainMenu*)>;

struct PageEntry {
    MenuPage key;
    PageFactory make;
};

template <class Page>
PageFactory page() {
    return [](MainMenu* menu) { return std::make_unique<Page>(menu); };
}

// Every page in the order the menu creates and initialises them.
std::vector<PageEntry> pageTable() {
    return {
        {MenuPage::MainPage, page<MainPage>()},
        {MenuPage::ExtractionPage, page<ExtractionPage>()},
        {MenuPage::ExtractionNewCampaignPage, page<ExtractionNewCampaignPage>()},
        {MenuPage::ExtractionMapPickerPage, page<ExtractionMapPickerPage>()},
        {MenuPage::ExtractionRosterPickerPage, page<ExtractionRosterPickerPage>()},
        {MenuPage::ExtractionTechTreePage, page<ExtractionTechTreePage>()},
        {MenuPage::LANPage, page<LANPage>()},
        {MenuPage::ReplaysPage, page<ReplaysPage>()},
        {MenuPage::HostPage, page<HostPage>()},
        {MenuPage::JoinPage, page<JoinPage>()},
        {MenuPage::LobbyViewPage, page<LobbyViewPage>()},
        {MenuPage::CreditsPage, page<CreditsPage>()},
        {MenuPage::StoryPage, page<StoryPage>()},
        {MenuPage::LoadingPage, page<LoadingPage>()},
        {MenuPage::MapEditorPage, page<MapEditorPage>()},
        {MenuPage::OptionsPage, page<OptionsPage>()},
    };
}

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
    carryOutPendingSwitch();
}

void MainMenu::carryOutPendingSwitch() {
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
