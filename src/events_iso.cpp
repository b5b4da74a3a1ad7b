// The match input handler: every event offered to the dialogs, then keys and mouse turned into commands.
#include "events_iso.h"

#include "buildings.h"
#include "config.h"
#include "events_iso_shared.h"

#include "fog.h"
#include "game_session.h"
#include "game_state.h"
#include "hud.h"
#include "input_state.h"
#include "map.h"
#include "map_objects.h"
#include "player.h"
#include "sdl_draw.h"
#include "sounds.h"
#include "spells.h"
#include "units.h"

IsoEventHandler eventHandler;

bool ctrl = false;
bool shift = false;
std::vector<std::string> chatHistory;
int historyIndex = -1;

uint32_t (*inputTicks)() = SDL_GetTicks;

bool isPotentiallyDragging = false;
SDL_FPoint dragStart{0, 0};
SDL_FPoint dragStartScreen{0, 0};
SDL_FPoint dragEndScreen{0, 0};
SDL_Point dragEndRawScreen{0, 0};
V2i hoveredTile{-1, -1};

void resetMatchInput() {
    eventHandler = IsoEventHandler{};
    ctrl = shift = false;
    chatActive = false;
    chatInput.clear();
    historyIndex = -1;
    isPotentiallyDragging = dragging = false;
    placingBuilding = false;
    ghostBuildingType.clear();
    ghostSprite = Sprite{};
    selectedSpell.clear();
    hoveredTile = {-1, -1};
}

void IsoEventHandler::handleGameEvents(Grid& grid) {
    pointerOverHud = false;
    SDL_Event event;
    while (SDL_PollEvent(&event))
        if (!handleGameEvent(grid, event)) return;
}

SDL_FPoint IsoEventHandler::screenToWorld(const SDL_FPoint& p) const {
    const SDL_FPoint size = windowSize();
    const float t = static_cast<float>(TILE_SIZE);
    const float a = ((p.x - size.x / 2) / camera.zoom + camera.centerX) / (t / 2);
    const float b = ((p.y - size.y / 2) / camera.zoom + camera.centerY) / (t / 4);
    return SDL_FPoint{(a + b) / 2 * t, (b - a) / 2 * t};
}

namespace {


// Ends the program, except while chatting: then the key belongs to the chat line.
void quitOnEscape(const SDL_Event& event) {
    if (isKeyDown(event, SDLK_ESCAPE) && !chatActive) running = false;
}

// A press on a dialog is the dialog's and never reaches the map behind it; motion and releases go on to the map,
// which may be ending a drag there.
bool pressTaken(Modal& dialog, const SDL_Event& event) {
    return dialog.handleEvent(event) && event.type == SDL_MOUSEBUTTONDOWN;
}

// What every event is shown before the handler sees it; true when an open in-game menu took it.
bool offerToDialogs(const SDL_Event& event) {
    captureAPM(event);
    if (HandleZoom) HandleZoom(event);
    if (menuButtonTakes(event)) return true;
    // The menu is drawn over the other dialogs, so it answers first.
    if (gameMenu.isVisible() && gameMenu.handleEvent(event)) return true;
    if (victoryPlayerId != -1 && pressTaken(game_over_modal, event)) return true;
    return mode == GameMode::Extraction && pressTaken(extract_modal, event);
}

SDL_FPoint buttonPoint(const SDL_Event& e) {
    return SDL_FPoint{static_cast<float>(e.button.x), static_cast<float>(e.button.y)};
}

}  // namespace

void IsoEventHandler::handleCatchUpEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) running = false;
        quitOnEscape(event);
        // A key held through the catch-up is still held, or released, when play begins.
        trackModifiers(event);
        if (event.type == SDL_KEYUP) keysHeld[event.key.keysym.sym] = false;
    }
}

bool IsoEventHandler::handleGameEvent(Grid& grid, const SDL_Event& event) {
    if (event.type == SDL_QUIT) running = false;
    // A key a dialog's field takes is typing, not the quit key.
    if (offerToDialogs(event)) return true;
    quitOnEscape(event);
    trackModifiers(event);
    // A key typed into the open chat line is text, not a command; wasChatting keeps it so after the line closes.
    const bool wasChatting = chatActive;
    if (event.type == SDL_KEYDOWN) handleKeyDown(event.key.keysym.sym);
    if (chatActive) editChatLine(event);
    // A right press that ends a placement is only that: the worker does not also walk to where it was pressed.
    const bool wasPlacing = placingBuilding;
    const bool minimapUsed = trackPointer(grid, event);
    switch (event.type) {
        case SDL_MOUSEBUTTONDOWN:
            if (minimapUsed) break;
            if (event.button.button == SDL_BUTTON_LEFT && !handleLeftPress(grid, buttonPoint(event))) return false;
            if (event.button.button == SDL_BUTTON_RIGHT && !wasPlacing && !handleRightPress(grid, buttonPoint(event)))
                return false;
            break;
        case SDL_KEYDOWN:
            if (wasChatting || chatActive) break;
            dispatchHotkeys(event.key.keysym.sym);
            if (event.key.keysym.sym == SDLK_ESCAPE) stopSelectedConstruction();
            handleControlGroupKey(event.key.keysym.sym);
            break;
        case SDL_MOUSEMOTION:
            armDragAfterMotion(event);
            break;
        case SDL_MOUSEBUTTONUP:
            // Only a press on the map makes a click: a dialog button that closed under the press keeps its release.
            if (event.button.button == SDL_BUTTON_LEFT && !minimapUsed && !pointerOverHud && isPotentiallyDragging)
                handleLeftRelease(buttonPoint(event));
            break;
        case SDL_KEYUP:
            keysHeld[event.key.keysym.sym] = false;
            break;
        default:
            break;
    }
    return true;
}

std::vector<int> ownSelectedUnits() {
    std::vector<int> own;
    for (int id : selectedUnits)
        if (const Unit* u = getUnitById(id); u && isOwnUnit(*u)) own.push_back(id);
    return own;
}

bool isOwnUnit(const Unit& u) { return u.playerId == Player::myStaticId; }

bool fogHides(int tileX, int tileY) { return FOG && !isTileVisible(tileX, tileY); }

bool unitHiddenByFog(const Unit& u) {
    if (!FOG) return false;
    return u.x < 0 || u.y < 0 || fogHides(static_cast<int>(u.x / tileSize()), static_cast<int>(u.y / tileSize()));
}

void playUnitResponse(const Unit& u) { playSound(SoundCategory::Unit, u.type + ".responses", false, 0, 0, 1); }

void playBuildingSelected(const Building& b) {
    if (!b.completed) return playSound(SoundCategory::UnitAction, UnitAction::Construct, false, 0, 0, 1);
    if (b.playerId == Player::myStaticId) playSound(SoundCategory::Building, b.type, false, 0, 0, 1);
    if (b.maxHp > 0 && b.hp / b.maxHp < 0.6f)
        playSound(SoundCategory::BuildingAction, BuildingAction::Burning, false, 0, 0, 1);
}

void clearAllSelections() {
    clearUnitSelection();
    clearBuildingSelection();
    clearMapObjectSelection();
}

void markOrder(SDL_FPoint world, SDL_Color colour) { clicks.push_back(Click{world.x, world.y, 1.0f, colour}); }
