// The match HUD's shared state and the tooltip's setters.
#include "hud.h"

#include <utility>

Tooltip tooltip;
std::unordered_map<std::string, std::string> unitTooltips, buildingToolTips, upgradeTooltips;

std::vector<UnitHudIcon> unitHUDHitboxes;
std::vector<HudCarrierButton> hudCarrierButtons;
std::vector<HudSpawnUnitsButton> hudSpawnUnitsButtons;
std::vector<HudSpellButton> hudSpellButtons;
std::vector<HudBuildingButton> hudBuildingButtons;
std::vector<HudBuildingUnitsButton> hudBuildingUnitsButtons;
std::vector<HudProgressBarButton> hudProgressBarButtons;
std::vector<HudUpgradeButtons> hudUpgradeButtons;
std::vector<HudTileButton> hudTileButtons;
std::vector<HudMapObjectButton> hudMapObjectButtons;
std::vector<HudDecorationsButton> hudDecorationButtons;

Button menuButton;
Modal gameMenu(0, 0, 250, 350, {10, 10, 10, 240}, {160, 110, 40, 255});
Modal game_over_modal(0, 0, 300, 180, {10, 10, 10, 240}, {160, 110, 40, 255});
Modal extract_modal(0, 0, 0, 0);
Label* extract_modal_units_label = nullptr;
Button saveButton, heightLevel0, heightLevel1, paintingRampButton;
bool paintingRamp = false;

void createTooltip(float x, float y, std::string text) {
    tooltip.visible = true;
    tooltip.x = x;
    tooltip.y = y;
    tooltip.text = std::move(text);
}

void hideTooltip() { tooltip.visible = false; }

std::deque<std::chrono::steady_clock::time_point> actionTimes;

void captureAPM(const SDL_Event& event) {
    if (event.type == SDL_KEYDOWN || event.type == SDL_MOUSEBUTTONDOWN) actionTimes.push_back(std::chrono::steady_clock::now());
}

void calculateAPM(std::chrono::steady_clock::time_point now) {
    while (!actionTimes.empty() && now - actionTimes.front() > std::chrono::seconds(60)) actionTimes.pop_front();
}

void reset_APM() { actionTimes.clear(); }
