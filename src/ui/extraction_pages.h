// The Extraction menu pages: the campaign hub, the new campaign, the mission map, the roster picker and the tech tree.
#pragma once

#include <string>
#include <unordered_map>

#include "tech_tree.h"
#include "ui/checkbox.h"
#include "ui/list.h"
#include "ui/menu_layout.h"
#include "ui/modal.h"
#include "ui/text_input.h"

class ExtractionPage : public MenuPageContainer {
public:
    explicit ExtractionPage(MainMenu* menu) : campaignList(100.0f, 250.0f, 300.0f, 300.0f, 16), menu(menu) {}
    void init() override;
    void handleEvent(const SDL_Event& e) override;
    void draw() override;

    // Fills, centres and shows the how-to-play guide; pressing again rebuilds the same guide.
    void init_how_to_play_extraction_modal();

    List campaignList;
    Button newButton, continueButton, howToPlayButton, backButton;
    Modal howToPlay{0.0f, 0.0f, 850.0f, 670.0f};
    // Said under the list while the selected campaign cannot be read or has no living unit to deploy; empty
    // otherwise.
    std::string noUnitsLine;

private:
    void continueCampaign();
    void selectCampaign(int row);
    MainMenu* menu;
};

class ExtractionNewCampaignPage : public MenuPageContainer {
public:
    explicit ExtractionNewCampaignPage(MainMenu* menu) : nameInput(SDL_FRect{}), menu(menu) {}
    void init() override;
    void handleEvent(const SDL_Event& e) override;
    void draw() override;

    std::string campaignName;
    // Why the last Start made no campaign; empty after an edit of the name.
    std::string refusalLine;
    TextInput nameInput;
    Checkbox hardcoreBox{SDL_FRect{}, false};
    Button startButton, backButton;

private:
    void start();
    MainMenu* menu;
};

class ExtractionMapPickerPage : public MenuPageContainer {
public:
    explicit ExtractionMapPickerPage(MainMenu* menu) : menu(menu) {}
    ~ExtractionMapPickerPage() override;
    ExtractionMapPickerPage(const ExtractionMapPickerPage&) = delete;
    ExtractionMapPickerPage& operator=(const ExtractionMapPickerPage&) = delete;
    void init() override;
    void handleEvent(const SDL_Event& e) override;
    void draw() override;

    Button selectButton, techButton, backButton;
    // Map previews by map name, kept between visits; the page owns the textures.
    std::unordered_map<std::string, SDL_Texture*> previews;

private:
    void cachePreview(const std::string& map);
    void drawNode(size_t i, float x);
    MainMenu* menu;
};

class ExtractionRosterPickerPage : public MenuPageContainer {
public:
    explicit ExtractionRosterPickerPage(MainMenu* menu) : menu(menu) {}
    void init() override;
    void handleEvent(const SDL_Event& e) override;
    void draw() override;

    std::string levelLine, manPowerLine, cryopodLine;
    // Why the last Deploy was refused; empty after an entry.
    std::string refusalLine;
    Button deployButton, backButton;

private:
    void deploy();
    // An event the unit dialog left to the page's own widgets.
    void handlePageEvent(const SDL_Event& e);
    MainMenu* menu;
};

class ExtractionTechTreePage : public MenuPageContainer {
public:
    explicit ExtractionTechTreePage(MainMenu* menu) : menu(menu) {}
    void init() override;
    void handleEvent(const SDL_Event& e) override;
    void draw() override;

    static constexpr float NODE_SIZE = 120.0f;
    Button backButton;
    // Said under the points while the last purchase could not be saved; empty otherwise.
    std::string failureLine;

private:
    MainMenu* menu;
};

// Whether the campaign shows the tech: a hardcore campaign hides "DNA cloning".
bool techShown(const Tech& tech);
enum class TechPurchase { NoNode, Bought, NotSaved };
// Buys the first shown, locked, affordable tech under the point and saves the campaign at once; a purchase the
// campaign file cannot keep is undone.
TechPurchase buyTechAt(float x, float y);
// Deploys the chosen mission: its map, the computer player, Extraction mode; false while no mission is chosen.
bool deployChosenMission();
