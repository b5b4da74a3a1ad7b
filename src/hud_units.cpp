// The unit panels of the bottom HUD: one unit's portrait and figures, a caster's spell buttons, a carrier's unload
// button and the spawn palettes of god mode.
#include <cmath>
#include <iostream>

#include "colors.h"
#include "config.h"
#include "extraction.h"
#include "extraction_items.h"
#include "game_state.h"
#include "hud.h"
#include "player.h"
#include "sdl.h"
#include "sdl_draw.h"
#include "sdl_text.h"
#include "spells.h"
#include "sprites.h"
#include "tech_tree.h"
#include "textures.h"
#include "units.h"

namespace {

constexpr SDL_Color YELLOW{255, 255, 0, 255};

float hudTop() { return windowSize().y - HUD_SIZE; }

// Extraction mode's extra figures and the unit's items, three to a row.
void drawExtractionColumn(const Unit& unit, float y0) {
    DrawText("Nickname: " + unit.nickname, 410, static_cast<int>(y0 + 90.0f), whiteColor, 10, false);
    DrawText("Level: " + std::to_string(unit.level), 410, static_cast<int>(y0 + 105.0f), whiteColor, 10, false);
    DrawText("Experience: " + std::to_string(unit.experience), 410, static_cast<int>(y0 + 120.0f), whiteColor, 10, false);
    // Read only: drawing adds no entry to the carried lists.
    const auto carried = unit_items.find(unit.id);
    if (carried == unit_items.end()) return;
    const std::vector<int>& items = carried->second;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const SDL_FRect slot{530.0f + 45.0f * static_cast<float>(i % 3), y0 + 45.0f * static_cast<float>(i / 3), 40.0f,
                             40.0f};
        SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
        SDL_SetRenderDrawColor(renderer, 30, 30, 30, 150);
        SDL_RenderFillRectF(renderer, &slot);
        const auto item = items_map.find(items[i]);
        const auto sprite = item == items_map.end() ? item_sprites.end() : item_sprites.find(item->second.type);
        if (sprite != item_sprites.end() && sprite->second.texture) {
            const SDL_Rect src{0, 0, sprite->second.frameWidth, sprite->second.frameHeight};
            SDL_RenderCopyF(renderer, sprite->second.texture, &src, &slot);
        }
        SDL_SetRenderDrawColor(renderer, 100, 100, 100, 255);
        SDL_RenderDrawRectF(renderer, &slot);
    }
}

// The seconds left, rounded up, over a darkened button.
void drawCooldown(const std::string& key, const SDL_FRect& rect) {
    const Unit* first = getFirstSelectedUnit();
    if (!first) return;
    const auto left = first->cooldowns.find(key);
    if (left == first->cooldowns.end() || left->second <= 0.0f) return;
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 100);
    SDL_RenderFillRectF(renderer, &rect);
    const std::string text = std::to_string(static_cast<int>(std::ceil(left->second)));
    int w = 0;
    int h = 0;
    getTextSize(text, 20, w, h);
    DrawText(text, static_cast<int>(rect.x + 25.0f - static_cast<float>(w) * 0.5f),
             static_cast<int>(rect.y + 25.0f - static_cast<float>(h) * 0.5f), whiteColor, 20, false);
}

void spawnPalette(float left, int playerId) {
    int i = 0;
    for (const std::string& type : sortedKeys(unitSprites)) {
        const UnitSpriteMeta& meta = unitSprites.at(type);
        const SDL_FRect rect{left + 40.0f * static_cast<float>(i / 10), 100.0f + 40.0f * static_cast<float>(i % 10),
                             30.0f, 30.0f};
        hudSpawnUnitsButtons.push_back({type, meta.portrait, rect, playerId});
        drawHudIcon(meta.portrait, rect);
        ++i;
    }
}

}  // namespace

ProductionGrid::ProductionGrid() : x(windowSize().x - 270.0f), y(windowSize().y - HUD_SIZE - 50.0f) {}

SDL_FRect ProductionGrid::next() {
    if (placed % 4 == 0) {
        y += 60.0f;
        x = windowSize().x - 270.0f;
    } else {
        x += 60.0f;
    }
    ++placed;
    return {x, y, 50.0f, 50.0f};
}

void unitHUD(Unit* unit) {
    if (!unit) {
        std::cerr << "[ERROR] unitHUD: null Unit pointer\n";
        return;
    }
    const auto meta = unitSprites.find(unit->type);
    if (meta == unitSprites.end()) {
        std::cerr << "[ERROR] unitHUD: missing portrait for unit type " << unit->type << "\n";
        return;
    }
    const float y0 = hudTop() + 10.0f;
    drawHudIcon(meta->second.portrait, {300.0f, y0, 80.0f, 80.0f});
    DrawText(std::to_string(static_cast<int>(unit->hp)) + "/" + std::to_string(static_cast<int>(unit->maxHp)), 310,
             static_cast<int>(y0 + 90.0f), whiteColor, 12, false);
    DrawText(std::to_string(unit->mana) + "/" + std::to_string(unit->maxMana), 310, static_cast<int>(y0 + 110.0f),
             whiteColor, 12, false);
    const auto info = unitInfo.find(unit->type);
    if (info == unitInfo.end()) {
        std::cerr << "[UnitInfo] Unknown unit type: " << unit->type << "\n";
        return;
    }
    DrawText(info->second.type, 410, static_cast<int>(y0), YELLOW, 12, false);
    const std::pair<const char*, int> figures[] = {{"Damage: ", unit->damage},
                                                   {"Range: ", static_cast<int>(unit->range)},
                                                   {"Owner: ", unit->playerId},
                                                   {"ID: ", unit->id},
                                                   {"Kills: ", unit->kills}};
    float y = y0;
    for (const auto& [label, value] : figures) {
        y += 15.0f;
        DrawText(label + std::to_string(value), 410, static_cast<int>(y), whiteColor, 10, false);
    }
    if (mode == GameMode::Extraction) drawExtractionColumn(*unit, y0);
}

void spellsHUD(Unit& unit) {
    hudSpellButtons.clear();
    ProductionGrid pen;
    for (const std::string& key : sortedKeys(spellPortraitTextures)) {
        if (!offersSpell(unit, key)) continue;
        SDL_Texture* portrait = spellPortraitTextures.at(key);
        const SDL_FRect rect = pen.next();
        drawHudIcon(portrait, rect);
        hudSpellButtons.push_back({key, portrait, rect});
        drawCooldown(key, rect);
    }
}

void carrierHUD() {
    hudCarrierButtons.clear();
    const SDL_FRect rect{windowSize().x - 270.0f, hudTop() + 10.0f, 50.0f, 50.0f};
    hudCarrierButtons.push_back({texEject, rect});
    drawHudIcon(texEject, rect);
}

void spawnUnitsHUD() {
    if (!GOD_MODE) return;
    hudSpawnUnitsButtons.clear();
    spawnPalette(20.0f, Player::myStaticId);
    spawnPalette(windowSize().x - 140.0f, Player::aiId);
}
