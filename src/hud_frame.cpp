// The match HUD's frame: the bottom panel, which selection panel shows, the map-object panel, the tooltip box and
// the small shapes the panels draw with.
#include "hud.h"

#include <SDL2/SDL2_gfxPrimitives.h>

#include <algorithm>
#include <iostream>
#include <optional>

#include "buildings.h"
#include "colors.h"
#include "config.h"
#include "fog.h"
#include "hud_cursor.h"
#include "map_objects.h"
#include "sdl.h"
#include "sdl_draw.h"
#include "sdl_text.h"
#include "sprites.h"
#include "units.h"

namespace {

constexpr SDL_Color TROUGH{50, 50, 50, 255};

void fill(const SDL_FRect& r, SDL_Color c) {
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(renderer, c.r, c.g, c.b, c.a);
    SDL_RenderFillRectF(renderer, &r);
}

// Every frame starts from empty lists, so a panel not drawn this frame has nothing to click.
void clearMatchHitLists() {
    unitHUDHitboxes.clear();
    hudCarrierButtons.clear();
    hudSpawnUnitsButtons.clear();
    hudSpellButtons.clear();
    hudBuildingButtons.clear();
    hudBuildingUnitsButtons.clear();
    hudProgressBarButtons.clear();
    hudUpgradeButtons.clear();
}

// The multi-unit icon rows; false when a selected unit or its portrait is missing, which ends the HUD's frame.
bool drawSelectionIcons(float top) {
    unitHUDHitboxes.clear();
    int col = 0;
    int row = 0;
    for (int id : selectedUnits) {
        const Unit* u = getUnitById(id);
        if (!u) {
            std::cerr << "[ERROR] unitHUD: null Unit pointer\n";
            return false;
        }
        const auto meta = unitSprites.find(u->type);
        if (meta == unitSprites.end()) {
            std::cerr << "[ERROR] unitHUD: missing portrait for unit type " << u->type << "\n";
            return false;
        }
        if (col % 15 == 0) {
            col = 0;
            ++row;
        }
        const SDL_FRect icon{300.0f + 40.0f * static_cast<float>(col), top - 20.0f + 35.0f * static_cast<float>(row),
                             30.0f, 30.0f};
        drawHudIcon(meta->second.portrait, icon);
        unitHUDHitboxes.push_back({icon, id});
        ++col;
    }
    return true;
}

// False when the HUD's frame must end here.
bool drawUnitSelection(float top) {
    if (selectedUnits.size() >= 2 && !drawSelectionIcons(top)) return false;
    Unit* first = getFirstSelectedUnit();
    if (!first) {
        hudSpellButtons.clear();
        return true;
    }
    const UnitInfo* info = nullptr;
    if (const auto it = unitInfo.find(first->type); it != unitInfo.end()) info = &it->second;
    if (info && info->worker) buildingsHUD(*first);
    spellsHUD(*first);
    if (first->carrier) carrierHUD();
    if (selectedUnits.size() == 1) unitHUD(first);
    return true;
}

// Fog hides what the object holds now: an explored tile out of sight shows the object as last seen.
void drawMapObjectPanel(const MapObject& o, float top) {
    const auto meta = mapObjectsSprites.find(o.type);
    const bool hasMeta = meta != mapObjectsSprites.end();
    const int fw = hasMeta ? meta->second.frameWidth : 32;
    const int fh = hasMeta ? meta->second.frameHeight : 32;
    const bool remembered = FOG && !isTileVisible(o.tileX, o.tileY) && isTileExplored(o.tileX, o.tileY);
    SDL_Rect src{0, hasMeta ? o.variant * fh : 0, fw, fh};
    int amount = o.amount;
    if (remembered) {
        const auto ghost = ghostObjects.find({o.tileX, o.tileY});
        const bool seen = ghost != ghostObjects.end();
        src = seen ? ghost->second.sprite.src : SDL_Rect{0, 0, fw, fh};
        // What was mined out of sight since is not shown.
        if (seen) amount = ghost->second.amount;
    }
    const SDL_FRect portrait{300.0f, top + 10.0f, 80.0f, 80.0f};
    if (hasMeta && meta->second.sprite.texture)
        SDL_RenderCopyF(renderer, meta->second.sprite.texture, &src, &portrait);
    const int x = 410;
    DrawText(o.type, x, static_cast<int>(top + 10.0f), whiteColor, 18, false);
    DrawText(std::to_string(o.id), x, static_cast<int>(top + 40.0f), whiteColor, 18, false);
    DrawText(std::to_string(amount) + "/" + std::to_string(o.maxAmount), 340, static_cast<int>(top + 100.0f),
             remembered ? rememberedColor : whiteColor, 16, true);
}

void drawTooltip() {
    int outW = 0;
    int outH = 0;
    SDL_GetRendererOutputSize(renderer, &outW, &outH);
    tooltip.box = tooltipBox(outW, outH);
    fill(tooltip.box, tooltipColor);
    SDL_SetRenderDrawColor(renderer, highlightColor.r, highlightColor.g, highlightColor.b, highlightColor.a);
    SDL_RenderDrawRectF(renderer, &tooltip.box);
    DrawMultilineText(tooltip.text, tooltip.box.x + 6.0f, tooltip.box.y + 6.0f, whiteColor, 16);
}

// The text of this frame's train, research or build button under the pointer; none off those buttons.
std::optional<std::string> hoveredButtonText() {
    if (const auto* b = hudButtonAt(hudBuildingUnitsButtons, mouseX, mouseY))
        return tooltipText(unitTooltips, b->unitType);
    if (const auto* b = hudButtonAt(hudUpgradeButtons, mouseX, mouseY))
        return tooltipText(upgradeTooltips, b->upgradeId);
    if (const auto* b = hudButtonAt(hudBuildingButtons, mouseX, mouseY))
        return tooltipText(buildingToolTips, b->buildingType);
    return std::nullopt;
}

}  // namespace

void drawHUD() {
    clearMatchHitLists();
    const SDL_FPoint view = windowSize();
    const float top = view.y - HUD_SIZE;
    topHUD();
    fill({0.0f, top, view.x, HUD_SIZE}, panelColor);
    if (GOD_MODE) spawnUnitsHUD();
    if (!selectedUnits.empty()) {
        if (!drawUnitSelection(top)) return;
    } else if (!selectedBuildings.empty()) {
        drawBuildingHUD();
    } else if (!selectMapObjects.empty()) {
        if (const MapObject* o = getFirstSelectedMapObject()) drawMapObjectPanel(*o, top);
    }
    // A tooltip outlives neither its button nor the pointer's stay on it, nor goes over another button that a key
    // brought under the resting pointer.
    if (hoveredButtonText() != tooltip.text) hideTooltip();
    if (tooltip.visible) drawTooltip();
}

void drawHudIcon(SDL_Texture* icon, const SDL_FRect& rect) {
    if (icon) SDL_RenderCopyF(renderer, icon, nullptr, &rect);
}

SDL_FRect tooltipBox(int outputW, int outputH) {
    int w = 0;
    int h = 0;
    // Without the font (a broken font file) the box still stands, sized by its padding alone.
    const auto font = fontCache.find(16);
    measureTooltipText(font == fontCache.end() ? nullptr : font->second.font, tooltip.text, w, h, 2);
    SDL_FRect box{tooltip.x, tooltip.y, static_cast<float>(w + 12), static_cast<float>(h + 12)};
    if (box.x + box.w > static_cast<float>(outputW)) box.x = static_cast<float>(outputW) - box.w;
    if (box.y + box.h > static_cast<float>(outputH)) box.y = static_cast<float>(outputH) - box.h;
    return box;
}

void drawRoundedBox(float x1, float y1, float x2, float y2, float radius, SDL_Color c) {
    roundedBoxRGBA(renderer, static_cast<Sint16>(x1), static_cast<Sint16>(y1), static_cast<Sint16>(x2),
                   static_cast<Sint16>(y2), static_cast<Sint16>(radius), c.r, c.g, c.b, c.a);
}

void drawProgressBar(float x, float y, float w, float h, float border, float padding, float value, float max) {
    drawRoundedBox(x, y, x + w, y + h, 5.0f, highlightColor);
    const float x1 = x + border;
    const float y1 = y + border;
    const float iw = w - 2.0f * border;
    const float ih = h - 2.0f * border;
    drawRoundedBox(x1, y1, x1 + iw, y1 + ih, 5.0f, TROUGH);
    if (max == 0.0f || value / max <= 0.0f) return;
    const float fw = std::min(iw - 2.0f * padding, value / max * (iw - 2.0f * padding - 11.0f) + 11.0f);
    drawRoundedBox(x1 + padding, y1 + padding, x1 + padding + fw, y1 + padding + ih - 2.0f * padding,
               std::min(fw * 0.5f, 5.0f), highlightColor);
}
