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
Button saveButton, heightLevel0, heightLevel1, paintingRampButton;
bool paintingRamp = false;

void createTooltip(float x, float y, std::string text) {
    tooltip.visible = true;
    tooltip.x = x;
    tooltip.y = y;
    tooltip.text = std::move(text);
}

void hideTooltip() { tooltip.visible = false; }
