// The train, build and upgrade tooltip texts, built once per session from the catalogues.
#include <string>

#include "buildings.h"
#include "hud.h"
#include "units.h"
#include "upgrades.h"

namespace {

std::string costLines(const char* goldLabel, int gold, const char* woodLabel, int wood) {
    return std::string("\n") + goldLabel + std::to_string(gold) + "\n" + woodLabel + std::to_string(wood);
}

// Town halls upgraded in place are never built from a menu, so they have no build text.
bool builtFromMenu(const std::string& type) { return type != "OrcStronghold" && type != "OrcFortress"; }

}  // namespace

void initTooltips() {
    for (const auto& [key, info] : unitInfo)
        unitTooltips[key] = "Train " + info.type + costLines("Crystals cost: ", info.goldCost, "Oil Cost: ", info.woodCost);
    for (const auto& [key, info] : buildingInfo)
        if (builtFromMenu(key))
            buildingToolTips[key] =
                "Build " + info.type + costLines("Crystals cost: ", info.goldCost, "Oil Cost: ", info.woodCost);
    for (const auto& [key, upgrade] : upgrades)
        upgradeTooltips[key] =
            "Upgrade " + upgrade.name + costLines("Gold cost: ", upgrade.goldCost, "Wood Cost: ", upgrade.woodCost);
}
