// The Extraction roster widgets the roster picker shows: the ship and deployment lists with their buttons, and the
// unit detail dialog with its revival.
#include "ui/extraction_roster_lists.h"

#include <iostream>

#include "extraction_campaign.h"
#include "extraction_roster.h"
#include "sdl_draw.h"
#include "sprites.h"
#include "ui/menu_layout.h"

List* shipRosterList = nullptr;
List* deploymentRosterList = nullptr;
Button* shipRosterListButton = nullptr;
Button* deploymentRosterListButton = nullptr;
Modal unit_detail_modal(0.0f, 0.0f, 500.0f, 450.0f);
int extractionSelectedUnit = -1;

constexpr SDL_Color WHITE{255, 255, 255, 255};
constexpr SDL_Color HOVER_TEXT{200, 200, 100, 255};

static Button* buttonUnder(const List& list, const std::string& label, SDL_Color normal, SDL_Color hover,
                           std::function<void()> onClick) {
    const SDL_FRect r = list.rect;
    auto* button = new Button({r.x + 150.0f - r.w / 2.0f, r.y + r.h + 10.0f, r.w, 40.0f}, label, std::move(onClick), 18);
    button->normal = normal;
    button->hover = hover;
    button->text = WHITE;
    button->hoverText = HOVER_TEXT;
    return button;
}

void buildRosterWidgets() {
    const float w = windowSize().x;
    if (!shipRosterList) {
        shipRosterList = new List(100.0f, 250.0f, 300.0f, 300.0f, 16);
        shipRosterList->onActivate = openUnitDetails;
    }
    if (!shipRosterListButton)
        shipRosterListButton = buttonUnder(*shipRosterList, "Add unit", {139, 0, 0, 255}, {160, 0, 0, 255},
                                           addSelectedUnitToDeployment);
    if (!deploymentRosterList) deploymentRosterList = new List(w - 400.0f, 250.0f, 300.0f, 300.0f, 16);
    if (!deploymentRosterListButton)
        deploymentRosterListButton = buttonUnder(*deploymentRosterList, "Dismiss unit", {70, 35, 35, 255},
                                                 {100, 50, 50, 255}, dismissSelectedUnit);
}

void destroyRosterWidgets() {
    delete shipRosterList;
    delete deploymentRosterList;
    delete shipRosterListButton;
    delete deploymentRosterListButton;
    shipRosterList = deploymentRosterList = nullptr;
    shipRosterListButton = deploymentRosterListButton = nullptr;
}

void refreshRosterList() {
    if (shipRosterList) shipRosterList->setItems(rosterRows(shipRoster));
    if (deploymentRosterList) deploymentRosterList->setItems(rosterRows(activeDeploymentRoster));
}

void openCampaignInRosterLists(const std::string& file) {
    buildRosterWidgets();
    initExtractionData(file);
    refreshRosterList();
}

// A move shifts the rows under the dialog, so it closes rather than showing another unit.
static void moveSelected(List* fromList, std::vector<UnitSaveData>& from, std::vector<UnitSaveData>& to, bool allowDead) {
    if (!fromList) return;
    const int row = fromList->selected;
    const size_t before = from.size();
    const int selection = moveRosterUnit(from, to, row, allowDead);
    if (from.size() == before) return;
    closeUnitDetails();
    refreshRosterList();
    fromList->selected = selection;
}

void addSelectedUnitToDeployment() {
    moveSelected(shipRosterList, shipRoster, activeDeploymentRoster, false);
    std::cout << "Unit added to deployment roster!\n";
}

void dismissSelectedUnit() {
    moveSelected(deploymentRosterList, activeDeploymentRoster, shipRoster, true);
    std::cout << "Unit Dismissed!\n";
}

void openUnitDetails(int row, const std::string& text) {
    if (row >= 0 && static_cast<size_t>(row) < shipRoster.size()) {
        extractionSelectedUnit = row;
        init_unit_detail_modal();
        unit_detail_modal.show();
    }
    std::cout << "Opening details for: " << text << "\n";
}

void closeUnitDetails() {
    extractionSelectedUnit = -1;
    unit_detail_modal.hide();
}

static void reviveShownUnit() {
    SDL_Log("REVIVE clicked");
    if (extractionSelectedUnit < 0) return;
    const Revival revival = reviveRosterUnit(static_cast<size_t>(extractionSelectedUnit));
    if (revival == Revival::NotSaved) {
        // The unit stays dead and the dialog open, saying why.
        init_unit_detail_modal();
        const SDL_FRect r = unit_detail_modal.rect;
        unit_detail_modal.add<Label>("The campaign could not be saved.", r.x + 25.0f, r.y + 340.0f, 16,
                                     menu_layout::REFUSAL_COLOUR);
        unit_detail_modal.show();
    }
    if (revival != Revival::Revived) return;
    refreshRosterList();
    unit_detail_modal.hide();
    init_unit_detail_modal();
}

static Button* dialogButton(const std::string& label, float x, float y, SDL_Color normal, SDL_Color hover,
                            std::function<void()> onClick) {
    Button* button = unit_detail_modal.add<Button>(SDL_FRect{x, y, 200.0f, 30.0f}, label, std::move(onClick), 16);
    button->normal = normal;
    button->hover = hover;
    button->text = WHITE;
    button->hoverText = HOVER_TEXT;
    return button;
}

static void addUnitFacts(const UnitSaveData& unit, float x, float y) {
    const std::string lines[] = {"Nickname: " + unit.nickname, "Name: " + unit.type,
                                 "Level: " + std::to_string(unit.level), "Kills: " + std::to_string(unit.kills),
                                 unit.alive ? "ALIVE" : "DEAD"};
    for (int i = 0; i < 5; ++i) unit_detail_modal.add<Label>(lines[i], x + 25.0f, y + 180.0f + 30.0f * i, 16, WHITE);
}

void init_unit_detail_modal() {
    unit_detail_modal.clear();
    unit_detail_modal.centerOnScreen(0.0f, 0.0f);
    const SDL_FRect r = unit_detail_modal.rect;
    SDL_Log("UNIT DETAIL %f", static_cast<double>(r.x));
    const auto close = [] {
        std::cout << "hide this modal " << std::endl;
        unit_detail_modal.hide();
    };
    const bool shown = extractionSelectedUnit >= 0 && static_cast<size_t>(extractionSelectedUnit) < shipRoster.size();
    if (shown) {
        const UnitSaveData& unit = shipRoster[static_cast<size_t>(extractionSelectedUnit)];
        unit_detail_modal.add<Label>("Unit Detail", r.x + 25.0f, r.y + 30.0f, 20, WHITE);
        const auto sprite = unitSprites.find(unit.type);
        if (sprite == unitSprites.end()) {
            std::cerr << "[ERROR] unitHUD: missing portrait for unit type " << unit.type << "\n";
        } else if (sprite->second.portrait) {
            unit_detail_modal.add<Image>(sprite->second.portrait, SDL_FRect{r.x + 25.0f, r.y + 80.0f, 80.0f, 80.0f});
        }
        addUnitFacts(unit, r.x, r.y);
        if (!unit.alive)
            dialogButton("REVIVE", r.x + 25.0f, r.y + r.h - 60.0f, {139, 0, 0, 255}, {160, 0, 0, 255}, reviveShownUnit);
    }
    dialogButton("Close", r.x + r.w - 225.0f, r.y + r.h - 60.0f, {35, 35, 35, 255}, {60, 60, 60, 255}, close);
}
