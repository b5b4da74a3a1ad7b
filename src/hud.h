// The match HUD's shared state: the per-frame button records the input handler hit-tests, and the tooltip.
#pragma once

#include <chrono>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include <SDL2/SDL.h>

#include "ui/button.h"
#include "ui/modal.h"

class Label;

struct Tooltip {
    bool visible = false;
    float x = 0, y = 0;
    std::string text;
    SDL_FRect box{0, 0, 0, 0};
};

struct UnitHudIcon {
    SDL_FRect rect;
    int unitId;
};
struct HudSpellButton {
    std::string spell;
    SDL_Texture* icon;
    SDL_FRect rect;
};
struct HudCarrierButton {
    SDL_Texture* icon;
    SDL_FRect rect;
};
struct HudSpawnUnitsButton {
    std::string unitType;
    SDL_Texture* icon;
    SDL_FRect rect;
    int playerId;
};
struct HudBuildingButton {
    std::string buildingType;
    SDL_Texture* icon;
    SDL_FRect rect;
};
struct HudBuildingUnitsButton {
    std::string unitType;
    SDL_Texture* icon;
    SDL_FRect rect;
};
struct HudUpgradeButtons {
    std::string upgradeId;
    SDL_Texture* icon;
    SDL_FRect rect;
};
struct HudProgressBarButton {
    int index; // 0 = the entry in progress, 1-6 = the waiting slots
    SDL_FRect rect;
};
struct HudTileButton {
    std::string name;
    SDL_Texture* texture;
    SDL_FRect rect;
};
struct HudMapObjectButton {
    std::string name;
    SDL_Texture* texture;
    SDL_FRect rect;
};
struct HudDecorationsButton {
    std::string name;
    SDL_Texture* texture;
    SDL_FRect rect;
};

extern Tooltip tooltip;
extern std::unordered_map<std::string, std::string> unitTooltips, buildingToolTips, upgradeTooltips;

// Hit lists: each panel clears its list when it starts drawing and appends one record per button it draws, so
// between two frames they hold exactly what is on screen.
extern std::vector<UnitHudIcon> unitHUDHitboxes;
extern std::vector<HudCarrierButton> hudCarrierButtons;
extern std::vector<HudSpawnUnitsButton> hudSpawnUnitsButtons;
extern std::vector<HudSpellButton> hudSpellButtons;
extern std::vector<HudBuildingButton> hudBuildingButtons;
extern std::vector<HudBuildingUnitsButton> hudBuildingUnitsButtons;
extern std::vector<HudProgressBarButton> hudProgressBarButtons;
extern std::vector<HudUpgradeButtons> hudUpgradeButtons;
extern std::vector<HudTileButton> hudTileButtons;
extern std::vector<HudMapObjectButton> hudMapObjectButtons;
extern std::vector<HudDecorationsButton> hudDecorationButtons;

extern Button menuButton;
extern Modal gameMenu;
extern Modal game_over_modal;
extern Modal extract_modal;
extern Label* extract_modal_units_label;
extern Button saveButton, heightLevel0, heightLevel1, paintingRampButton;
extern bool paintingRamp;
// The Extraction dialog, built at a mission's start: the Extract button and the count of own units in the zone.
void init_extract_modal();
// The per-frame rules' report: shown with the count of own units in the zone and of all own units, or hidden.
void showExtractPanel(bool visible, int unitsInZone, int unitsListed);

// Both edges count: x <= px <= x + w, y <= py <= y + h.
inline bool hudButtonHit(const SDL_FRect& r, float px, float py) {
    return px >= r.x && px <= r.x + r.w && py >= r.y && py <= r.y + r.h;
}

void createTooltip(float x, float y, std::string text);
void hideTooltip();

// One entry per counted input action, oldest first; its size is the APM shown.
extern std::deque<std::chrono::steady_clock::time_point> actionTimes;
// Key-downs (repeats included) and mouse presses count as actions.
void captureAPM(const SDL_Event& event);
// Drops actions more than a minute old; one exactly a minute old stays. The clock is a parameter for tests.
void calculateAPM(std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());
void reset_APM();

// The map editor's bottom panel: the tile, map-object and decoration palettes and the tool buttons, rebuilt and
// drawn every frame.
void editorHUD();
