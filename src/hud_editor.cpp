// The map editor's bottom panel: the palettes of tiles, map objects and decorations, the tool buttons, and the name
// of the selected map object.
#include <algorithm>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "decorations.h"
#include "events_iso.h"
#include "hud.h"
#include "map_objects.h"
#include "sdl.h"
#include "sdl_draw.h"
#include "sdl_text.h"
#include "sprites.h"

namespace {

constexpr float PANEL_H = 80.0f;
constexpr float ENTRY = 50.0f;
constexpr float STEP = 60.0f;
constexpr float FIRST_X = 200.0f;
constexpr float BUTTON_W = 80.0f;
// The four tool buttons, 80 wide on a 60 step, reach 260 pixels past the palette's end; the selected type's name
// needs about 170 more.
constexpr float TOOLS_REACH = 260.0f;
constexpr float NAME_ROOM = 170.0f;

// One row of squares from FIRST_X: 50 pixels on a 60 step while the window holds them, smaller when the catalogues
// hold more than fit, so the tool buttons and the name stay on screen.
struct PaletteRow {
    float step = STEP;
    float size = ENTRY;
    float y = 0.0f;
};

PaletteRow paletteRow(SDL_FPoint view, std::size_t entries) {
    PaletteRow row;
    const float room = view.x - FIRST_X - TOOLS_REACH - NAME_ROOM;
    if (entries > 0 && room < STEP * static_cast<float>(entries))
        row.step = std::max(room / static_cast<float>(entries), 12.0f);
    row.size = row.step * ENTRY / STEP;
    row.y = view.y - 70.0f + (ENTRY - row.size) / 2;
    return row;
}

// Catalogue order by key, so the palette stays put whatever the hash maps do.
template <class Meta>
std::vector<std::string> keysInOrder(const std::unordered_map<std::string, Meta>& catalogue) {
    std::vector<std::string> keys;
    keys.reserve(catalogue.size());
    for (const auto& entry : catalogue) keys.push_back(entry.first);
    std::sort(keys.begin(), keys.end());
    return keys;
}

void drawInto(SDL_Texture* texture, const SDL_Rect* frame, const SDL_FRect& square) {
    if (texture) SDL_RenderCopyF(renderer, texture, frame, &square);
}

// One square per entry from x on; x is left after the last one. The first frame of animated sprites is shown.
template <class Record, class Meta>
void layOutPalette(const std::unordered_map<std::string, Meta>& catalogue, std::vector<Record>& records, float& x,
                   const PaletteRow& row) {
    for (const std::string& name : keysInOrder(catalogue)) {
        const Meta& meta = catalogue.at(name);
        const SDL_FRect square{x, row.y, row.size, row.size};
        records.push_back({name, meta.sprite.texture, square});
        const SDL_Rect frame{0, 0, meta.frameWidth, meta.frameHeight};
        drawInto(meta.sprite.texture, &frame, square);
        x += row.step;
    }
}

void layOutTiles(float& x, const PaletteRow& row) {
    for (const std::string& name : keysInOrder(tilesSprites)) {
        SDL_Texture* texture = tilesSprites.at(name).sprite.texture;
        const SDL_FRect square{x, row.y, row.size, row.size};
        hudTileButtons.push_back({name, texture, square});
        drawInto(texture, nullptr, square);
        x += row.step;
    }
}

void placeToolButton(Button& button, const char* label, float x, float y, std::function<void()> onClick) {
    button = Button(SDL_FRect{x, y, BUTTON_W, ENTRY}, label, std::move(onClick), 14);
    button.draw();
}

void drawSelectedObjectName(SDL_FPoint view) {
    if (selectMapObjects.empty()) return;
    const MapObject* o = getFirstSelectedMapObject();
    if (!o) return;
    const int x = static_cast<int>(view.x) - TextWidth(o->type, 18) - 20;
    const int y = static_cast<int>(view.y - PANEL_H / 2) - TextHeight(o->type, 18);
    DrawText(o->type, x, y, {255, 255, 255, 255}, 18, false);
}

}  // namespace

void editorHUD() {
    topHUD();
    const SDL_FPoint view = windowSize();
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(renderer, 50, 50, 50, 200);
    const SDL_FRect panel{0.0f, view.y - PANEL_H, view.x, PANEL_H};
    SDL_RenderFillRectF(renderer, &panel);
    hudTileButtons.clear();
    hudMapObjectButtons.clear();
    hudDecorationButtons.clear();
    const PaletteRow row =
        paletteRow(view, tilesSprites.size() + mapObjectsSprites.size() + decorationsSprites.size());
    float x = FIRST_X;
    layOutTiles(x, row);
    layOutPalette(mapObjectsSprites, hudMapObjectButtons, x, row);
    layOutPalette(decorationsSprites, hudDecorationButtons, x, row);
    // 80 wide on a 60 step, so neighbours overlap; the first starts where the palette ends and covers none of it.
    const float y = view.y - 70.0f;
    placeToolButton(heightLevel0, "H 0", x, y, [] { selectedHeight = 0; });
    placeToolButton(heightLevel1, "H 1", x + 60.0f, y, [] { selectedHeight = 1; });
    placeToolButton(paintingRampButton, "Ramp", x + 120.0f, y, [] { paintingRamp = true; });
    placeToolButton(saveButton, "Save", x + 180.0f, y, [] {});
    drawSelectedObjectName(view);
}
