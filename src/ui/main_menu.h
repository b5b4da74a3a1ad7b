// The front end: the page keys, the abstract page and the main menu that owns the pages and shows one at a time.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include <SDL2/SDL.h>

enum class MenuPage : int {
    MainPage = 0,
    ExtractionPage = 2,
    ExtractionNewCampaignPage = 4,
    ExtractionMapPickerPage = 5,
    ExtractionRosterPickerPage = 6,
    ExtractionTechTreePage = 7,
    LANPage = 10,
    HostPage = 11,
    JoinPage = 12,
    LobbyViewPage = 13,
    ReplaysPage = 14,
    CreditsPage = 15,
    StoryPage = 16,
    OptionsPage = 17,
    LoadingPage = 18,
    MapEditorPage = 19,
};

class MenuPageContainer {
public:
    virtual ~MenuPageContainer() = default;
    // Builds the page's widgets anew from the window size and resets its per-visit state.
    virtual void init() = 0;
    virtual void handleEvent(const SDL_Event&) {}
    virtual void draw() = 0;
    virtual void update() {}
};

class MainMenu {
public:
    // Creates every page and initialises each but the credits page, which is first initialised on entry.
    void init();
    // Takes effect after the event being handled, or at the end of the menu frame; the last request wins.
    void switch_to_page(MenuPage page);
    // The current page sees the event, then a waiting switch is carried out and the new page built.
    void handleEvent(const SDL_Event& event);
    // Enters the requested page now, if a switch waits.
    void carryOutPendingSwitch();
    void draw();
    void update();
    // Deletes the pages, so their SDL objects go before SDL shuts down.
    void clear();

    MenuPageContainer* page(MenuPage key) const;

    std::map<MenuPage, std::unique_ptr<MenuPageContainer>> pages;
    MenuPage current = MenuPage::MainPage;
    MenuPage pending = MenuPage::MainPage;
    bool switchPending = false;
};

extern MainMenu mainMenu;
