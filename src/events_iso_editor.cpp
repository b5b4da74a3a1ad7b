// The map editor's input handler: palettes, painting, placing and deleting, and the save prompt.
#include "events_iso.h"

#include <algorithm>
#include <iostream>

#include "buildings.h"
#include "config.h"
#include "decorations.h"
#include "events_iso_shared.h"
#include "game_session.h"
#include "game_state.h"
#include "hud.h"
#include "input_state.h"
#include "map.h"
#include "map_objects.h"
#include "minimap.h"
#include "renderer_iso_overlay.h"
#include "sdl_draw.h"
#include "sounds.h"
#include "units.h"

int selectedHeight = -1;
std::string ghostTileType;
std::string ghostDecorationType;

namespace {

// A press that moves further than this (squared, in pixels) becomes a box drag.
constexpr float DRAG_THRESHOLD_SQUARED = 5.0f;

// The pointer as one event sees it: window pixels, the grid-space point under them (world units) and its tile.
struct Pointer {
    SDL_Point screen{0, 0};
    SDL_FPoint world{0.0f, 0.0f};
    V2i tile;  // truncated toward zero, so up to one tile left of or above the map still reads row or column 0
    bool overHud = false;
};

SDL_FPoint gridPointAt(SDL_Point s) {
    const SDL_FPoint view = windowSize();
    const SDL_FPoint g = worldToGrid((static_cast<float>(s.x) - view.x / 2) / camera.zoom + camera.centerX,
                                     (static_cast<float>(s.y) - view.y / 2) / camera.zoom + camera.centerY);
    return {g.x * tileSize(), g.y * tileSize()};
}

Pointer readPointer() {
    const PointerView v = readPointerView();
    const SDL_FPoint view = windowSize();
    Pointer p;
    p.screen = {static_cast<int>(v.mouseX), static_cast<int>(v.mouseY)};
    p.world = gridPointAt(p.screen);
    p.tile = {static_cast<int>(p.world.x / tileSize()), static_cast<int>(p.world.y / tileSize())};
    p.overHud = hudButtonHit({0.0f, view.y - HUD_SIZE, view.x, HUD_SIZE}, v.mouseX, v.mouseY);
    return p;
}


bool isButton(const SDL_Event& e, Uint32 type, Uint8 button) {
    return e.type == type && e.button.button == button;
}

void disarmTools() {
    placingTile = placingObject = placingDecoration = paintingRamp = false;
    selectedHeight = -1;
}

// The footprint of the type centred on the tile, as its top-left tile and size; false for a type without one.
bool centredFootprint(const std::string& type, V2i centre, V2i& topLeft, V2i& size) {
    const auto info = mapObjectInfo.find(type);
    if (info == mapObjectInfo.end()) return false;
    size = {info->second.wTiles, info->second.hTiles};
    topLeft = {centre.x - size.x / 2, centre.y - size.y / 2};
    return true;
}

void followWithGhost(const Pointer& p) {
    if (placingTile || placingDecoration) ghostTile = worldToTile(p.world.x, p.world.y);
    V2i size;
    if (placingObject) centredFootprint(ghostObjectType, worldToTile(p.world.x, p.world.y), ghostTile, size);
}

// ---- The tools on one tile ----

void paintHeight(Grid& grid, V2i t, int level, bool ramp) {
    TileInstance& cell = grid.at(t.x, t.y);
    cell.heightLevel = static_cast<uint8_t>(level);
    cell.ramp = ramp ? 1 : 0;
}

// Half a tile wide at the sprite's proportions: the size the ghost shows at zoom 1.
void addDecoration(V2i t) {
    const auto sprite = decorationsSprites.find(ghostDecorationType);
    if (sprite == decorationsSprites.end()) return;
    const SDL_Rect& frame = sprite->second.sprite.src;
    const float w = tileSize() / 2;
    const float h = w * static_cast<float>(frame.h) / static_cast<float>(std::max(frame.w, 1));
    decorations.push_back({nextDecorationId++, ghostDecorationType, t.x, t.y, static_cast<int>(w), static_cast<int>(h)});
}

void removeDecorationsOn(V2i t) {
    const auto standsThere = [t](const Decoration& d) { return d.tileX == t.x && d.tileY == t.y; };
    for (const Decoration& d : decorations)
        if (standsThere(d)) removeDecorationFromSelection(d.id);
    decorations.erase(std::remove_if(decorations.begin(), decorations.end(), standsThere), decorations.end());
}

// Only a footprint wholly on the map is placed. Registering through createObjects fills every index at once.
void placeMapObject(Grid& grid, V2i centre, bool needsTexture) {
    V2i topLeft, size;
    const auto sprite = mapObjectsSprites.find(ghostObjectType);
    if (!centredFootprint(ghostObjectType, centre, topLeft, size) || sprite == mapObjectsSprites.end()) return;
    if (needsTexture && !sprite->second.sprite.texture) {
        std::cerr << "1 ERROR: no texture for map object type " << ghostObjectType << "\n";
        return;
    }
    if (!isOnMap(topLeft) || !isOnMap({topLeft.x + size.x - 1, topLeft.y + size.y - 1})) return;
    createObjects({{ghostObjectType, topLeft.x, topLeft.y}}, grid);
}

// The removal a tick makes, so the tile lists, the sectors, the id index and the walkable flags all forget them.
void removeMapObjects(Grid& grid, const std::vector<int>& ids) {
    mapObjectsToRemove.insert(mapObjectsToRemove.end(), ids.begin(), ids.end());
    processMapObjectsRemovals(grid);
}

bool placingAnObject() { return placingObject && ghostObjectType != "None"; }

// Click placement on the tile under the pointer, clamped to the map.
void placeAt(Grid& grid, const Pointer& p) {
    const V2i t = worldToTile(p.world.x, p.world.y);
    if (placingTile) grid.set(t.x, t.y, typeFromString(ghostTileType), 0, 0);
    if (placingDecoration) addDecoration(t);
    if (placingAnObject()) placeMapObject(grid, t, true);
}

// Area painting: every armed tool, in this order, on one tile of the dragged box.
void paintAreaTile(Grid& grid, V2i t) {
    if (placingTile) grid.set(t.x, t.y, typeFromString(ghostTileType), 0, 0);
    if (selectedHeight != -1) paintHeight(grid, t, selectedHeight, paintingRamp);
    if (placingDecoration) {
        removeDecorationsOn(t);
        addDecoration(t);
    }
    if (placingAnObject()) {
        const auto listed = objectGrid.find(t);
        if (listed != objectGrid.end() && !listed->second.empty()) removeMapObjects(grid, {listed->second.front()});
        placeMapObject(grid, t, false);
    }
}

// ---- Picking and selecting ----

void playObjectSound(const MapObject& o) { playSound(SoundCategory::MapObject, o.type, false, 0.0f, 0.0f, 1); }

// A click never picks a starting-base marker; a box does.
void pickMapObject(const Pointer& p) {
    for (const MapObject& o : mapObjects) {
        if (o.type == "StartingBase") continue;
        if (p.tile.x < o.tileX || p.tile.x >= o.tileX + o.wTiles || p.tile.y < o.tileY || p.tile.y >= o.tileY + o.hTiles)
            continue;
        if (!shift) clearMapObjectSelection();
        addMapObjectToSelection(o.id);
        playObjectSound(o);
        return;
    }
}

// Picked where it is drawn: left of its tile's corner by its width, below it by its height.
void pickDecoration(const Pointer& p) {
    const float z = camera.zoom;
    for (const Decoration& d : decorations) {
        const SDL_FPoint corner = worldToScreen({d.tileX * tileSize(), d.tileY * tileSize()});
        const SDL_FRect drawn{corner.x - d.width * z, corner.y, d.width * z, d.height * z};
        if (!hudButtonHit(drawn, static_cast<float>(p.screen.x), static_cast<float>(p.screen.y))) continue;
        if (!shift) {
            clearDecorationSelection();
            clearMapObjectSelection();
            clearBuildingSelection();
            clearUnitSelection();
        }
        addDecorationToSelection(d.id);
        return;
    }
}

bool overlaps(const SDL_FRect& a, const SDL_FRect& b) {
    return a.x <= b.x + b.w && b.x <= a.x + a.w && a.y <= b.y + b.h && b.y <= a.y + a.h;
}

SDL_FRect boxBetween(SDL_FPoint a, SDL_FPoint b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::abs(a.x - b.x), std::abs(a.y - b.y)};
}

// Adds to the selections; what was selected before stays.
void selectInGridBox(const SDL_FRect& box) {
    const float t = tileSize();
    for (const MapObject& o : mapObjects) {
        if (!overlaps(box, {o.tileX * t, o.tileY * t, o.wTiles * t, o.hTiles * t})) continue;
        addMapObjectToSelection(o.id);
        playObjectSound(o);
    }
    for (const Decoration& d : decorations)
        if (overlaps(box, {d.tileX * t, d.tileY * t, static_cast<float>(d.width), static_cast<float>(d.height)}))
            addDecorationToSelection(d.id);
}

void deleteSelection(Grid& grid) {
    removeMapObjects(grid, selectMapObjects);
    clearMapObjectSelection();
    deleteDecorations();
    clearDecorationSelection();
}

// ---- The palette ----

// The ghost takes the palette entry's picture at the given size in world units, translucent.
void armGhost(SDL_Texture* texture, SDL_Rect frame, SDL_FPoint size) {
    ghostSprite.texture = texture;
    ghostSprite.src = frame;
    ghostSprite.color = COLORS_THEME[4];
    ghostSprite.scaleX = size.x / static_cast<float>(std::max(frame.w, 1));
    ghostSprite.scaleY = size.y / static_cast<float>(std::max(frame.h, 1));
    ghostSprite.dst = {0.0f, 0.0f, size.x, size.y};
}

SDL_Rect wholeTexture(SDL_Texture* texture) {
    SDL_Rect r{0, 0, 0, 0};
    if (texture) SDL_QueryTexture(texture, nullptr, nullptr, &r.w, &r.h);
    return r;
}

template <class Record>
const Record* hitEntry(const std::vector<Record>& palette, SDL_Point s) {
    for (const Record& r : palette)
        if (hudButtonHit(r.rect, static_cast<float>(s.x), static_cast<float>(s.y))) return &r;
    return nullptr;
}

// One brush kind at a time: a tree or crystal never paints the terrain brush chosen before it. Height and ramp
// stay, since they combine with terrain.
void armBrushKind(bool& kind) {
    placingTile = placingDecoration = placingObject = false;
    kind = true;
}

// True when a tile, decoration or map-object entry took the press.
bool armFromPalette(SDL_Point s) {
    const float t = tileSize();
    bool hit = false;
    if (const HudTileButton* b = hitEntry(hudTileButtons, s)) {
        ghostTileType = b->name;
        armGhost(b->texture, wholeTexture(b->texture), {t, t});
        armBrushKind(placingTile);
        hit = true;
    }
    if (const HudDecorationsButton* b = hitEntry(hudDecorationButtons, s)) {
        const auto sprite = decorationsSprites.find(b->name);
        const SDL_Rect frame = sprite != decorationsSprites.end() ? sprite->second.sprite.src : wholeTexture(b->texture);
        ghostDecorationType = b->name;
        armGhost(b->texture, frame, {t, t * frame.h / static_cast<float>(std::max(frame.w, 1))});
        armBrushKind(placingDecoration);
        hit = true;
    }
    if (const HudMapObjectButton* b = hitEntry(hudMapObjectButtons, s)) {
        const auto sprite = mapObjectsSprites.find(b->name);
        // A type without a footprint cannot be placed, so it arms nothing.
        if (sprite != mapObjectsSprites.end() && mapObjectInfo.count(b->name)) {
            const MapObjectSpriteMeta& m = sprite->second;
            ghostObjectType = b->name;
            armGhost(m.sprite.texture, {0, 0, m.frameWidth, m.frameHeight}, {t, t});
            armBrushKind(placingObject);
        }
        hit = true;
    }
    return hit;
}

void pressToolButtons(SDL_Point s) {
    const auto hit = [s](const Button& b) { return hudButtonHit(b.rect, static_cast<float>(s.x), static_cast<float>(s.y)); };
    if (hit(heightLevel0)) selectedHeight = 0;
    if (hit(heightLevel1)) selectedHeight = 1;
    if (hit(paintingRampButton)) paintingRamp = true;
    if (hit(saveButton)) {
        // A text field elsewhere may have switched the keyboard's text off when it was submitted.
        SDL_StartTextInput();
        typingFilename = true;
        filenameInput.clear();
        filenameRefusal.clear();
    }
}

// ---- Mouse ----

void onLeftPress(Grid& grid, const Pointer& p, SDL_Point at) {
    // Tools and picks act on the map only: a press on the panel never touches what is hidden under it.
    if (!p.overHud) {
        if (isOnMap(p.tile) && selectedHeight != -1)
            paintHeight(grid, p.tile, paintingRamp ? 1 : selectedHeight, paintingRamp);
        else if (isOnMap(p.tile) && paintingRamp)
            paintHeight(grid, p.tile, 1, true);
        pickMapObject(p);
        placeAt(grid, p);
        pickDecoration(p);
    }
    const bool paletteHit = armFromPalette(p.screen);
    pressToolButtons(p.screen);
    // Map objects stay selected only through a box.
    if (!p.overHud) clearMapObjectSelection();
    if (paletteHit) return;
    isPotentiallyDragging = true;
    dragStartRawScreen = at;
    dragStart = p.world;
}

void onMotion(SDL_Point at) {
    if (!isPotentiallyDragging || dragging) return;
    const float dx = static_cast<float>(at.x - dragStartRawScreen.x);
    const float dy = static_cast<float>(at.y - dragStartRawScreen.y);
    if (dx * dx + dy * dy > DRAG_THRESHOLD_SQUARED) dragging = true;
}

void onLeftRelease(Grid& grid, SDL_Point at) {
    isPotentiallyDragging = false;
    if (!dragging) return;
    dragging = false;
    const SDL_FRect box = boxBetween({static_cast<float>(dragStartRawScreen.x), static_cast<float>(dragStartRawScreen.y)},
                                     {static_cast<float>(at.x), static_cast<float>(at.y)});
    const float t = tileSize();
    for (int y = 0; y < MAP_H; ++y)
        for (int x = 0; x < MAP_W; ++x) {
            const SDL_FPoint s = worldToScreen({(x + 0.5f) * t, (y + 0.5f) * t});
            if (hudButtonHit(box, s.x, s.y)) paintAreaTile(grid, {x, y});
        }
    selectInGridBox(boxBetween(dragStart, gridPointAt(at)));
}

// ---- The save prompt ----

// Saves under the typed name, ".map" added unless it ends so; saveMap refuses names that would leave the maps folder.
// The saved map is the one the editor names from then on; a refusal is kept to be shown in the prompt.
bool saveTypedMap(const Grid& grid) {
    const std::string extension = ".map";
    const bool hasExtension = filenameInput.size() >= extension.size() &&
                              filenameInput.compare(filenameInput.size() - extension.size(), extension.size(), extension) == 0;
    const std::string file = hasExtension ? filenameInput : filenameInput + extension;
    // A file of only the extension is hidden: no list would ever show it.
    if (file.size() == extension.size()) {
        filenameRefusal = "Not saved: a name before .map is needed";
        return false;
    }
    std::string why;
    if (!saveMap(grid, file, &why)) {
        filenameRefusal = "Not saved: " + why;
        return false;
    }
    currentMap = file.substr(0, file.size() - extension.size());
    return true;
}

// False when the event is a Backspace the prompt leaves to the deletion.
bool typeIntoPrompt(const Grid& grid, const SDL_Event& e) {
    if (e.type == SDL_TEXTINPUT || e.type == SDL_KEYDOWN) filenameRefusal.clear();
    if (e.type == SDL_TEXTINPUT) filenameInput += e.text.text;
    if (isKeyDown(e, SDLK_BACKSPACE)) {
        if (filenameInput.empty()) return false;
        filenameInput.pop_back();
    }
    // A refused name stays in the open prompt, so it can be mended rather than typed again.
    if (isKeyDown(e, SDLK_RETURN)) typingFilename = !filenameInput.empty() && !saveTypedMap(grid);
    if (isKeyDown(e, SDLK_ESCAPE)) {
        typingFilename = false;
        filenameInput.clear();
    }
    return true;
}

void handleEditorEvent(Grid& grid, const SDL_Event& e) {
    if (e.type == SDL_QUIT) running = false;
    if (HandleZoom) HandleZoom(e);
    if (menuButtonTakes(e)) return;
    if (gameMenu.isVisible() && gameMenu.handleEvent(e)) return;
    const Pointer p = readPointer();
    if (isButton(e, SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT) || isKeyDown(e, SDLK_ESCAPE))
        disarmTools();
    else
        followWithGhost(p);
    const bool minimapEvent = handleMinimapClick(grid, e);
    if (!minimapEvent && isButton(e, SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT)) onLeftPress(grid, p, {e.button.x, e.button.y});
    if (e.type == SDL_MOUSEMOTION) onMotion({e.motion.x, e.motion.y});
    if (!minimapEvent && isButton(e, SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT)) onLeftRelease(grid, {e.button.x, e.button.y});
    const bool promptTookIt = typingFilename && typeIntoPrompt(grid, e);
    if (!promptTookIt && isKeyDown(e, SDLK_BACKSPACE)) deleteSelection(grid);
}

}  // namespace

void IsoEventHandler::handleEditorEvents(Grid& grid) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) handleEditorEvent(grid, event);
}

void resetEditorInput() {
    disarmTools();
    isPotentiallyDragging = dragging = typingFilename = false;
    filenameInput.clear();
    filenameRefusal.clear();
    clearMapObjectSelection();
    clearDecorationSelection();
    hudTileButtons.clear();
    hudMapObjectButtons.clear();
    hudDecorationButtons.clear();
}
