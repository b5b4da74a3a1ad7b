// Input in the isometric view: the match handler (keys, selection, orders) and the map editor's handler.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include <SDL2/SDL.h>

#include "events.h"
#include "utils.h"

class IsoEventHandler : public EventHandler {
public:
    int lastGroupKey = 0;
    uint32_t lastGroupPressTicks = 0;
    std::unordered_map<int, bool> keysHeld;
    bool attackMoveArmed = false;
    uint32_t lastUnitClickTicks = 0;
    std::string lastClickedUnitType;
    uint32_t lastBuildingClickTicks = 0;
    std::string lastClickedBuildingType;

    void handleGameEvents(Grid& grid) override;
    // A resumed save catching up is not the player's yet: its dialogs are hidden and its map not shown, so only
    // quitting and the keys' own state are taken from the pending input; everything else is dropped.
    void handleCatchUpEvents();
    void handleEditorEvents(Grid& grid) override;

    // The window point's world point: the exact inverse of worldToScreen.
    SDL_FPoint screenToWorld(const SDL_FPoint& p) const;
    // Both replace the whole selection with what lies inside the window box, filtered by the pending
    // double-click type when one is set.
    void dragSelectUnits(SDL_FRect box);
    void dragSelectBuildings(SDL_FRect box);

    // Set by a HUD click or hover; lasts for the rest of one handleGameEvents call.
    bool pointerOverHud = false;

private:
    // False when the call must end and leave the remaining events for the next frame.
    bool handleGameEvent(Grid& grid, const SDL_Event& event);
    // Pointer, hovered tile, placement ghost, hover tooltips and the minimap; true when the minimap took the event.
    bool trackPointer(Grid& grid, const SDL_Event& event);
    void armDragAfterMotion(const SDL_Event& event);
    void handleKeyDown(SDL_Keycode key);
    void stopSelectedConstruction();
    void editChatLine(const SDL_Event& event);
    void dispatchHotkeys(SDL_Keycode key);
    void handleControlGroupKey(SDL_Keycode key);
    bool handleLeftPress(Grid& grid, SDL_FPoint press);
    void handleLeftRelease(SDL_FPoint release);
    bool handleRightPress(Grid& grid, SDL_FPoint press);
    bool clickSelectUnit(SDL_FPoint release, SDL_FPoint world, uint32_t now);
    bool clickSelectBuilding(SDL_FPoint world, uint32_t now);
    bool clickSelectRemembered(SDL_FPoint world);
    void boxSelect(SDL_FPoint release);
    void dragSelectRemembered(SDL_FRect box);
    void dragSelectMapObjects(SDL_FRect box);
};

extern IsoEventHandler eventHandler;

extern bool ctrl;
extern bool shift;
extern std::vector<std::string> chatHistory;
extern int historyIndex;

// ---- Map editor input: the tools armed from the editor palette and the drag in progress. The placement flags,
// the ghost and `dragging` live with the overlay that draws them.
extern int selectedHeight;  // -1 none, else the level painted
extern std::string ghostTileType;
extern std::string ghostDecorationType;
// Every tool disarmed, no drag, the save prompt closed, both editor selections and the palettes empty.
void resetEditorInput();

// ---- Match input state beside the overlay's ----

// The millisecond clock of double clicks and group double presses; tests install their own.
extern uint32_t (*inputTicks)();

// A left press off the HUD (or the editor's panel) may become a box once the pointer has moved far enough;
// dragStart is the press's world point.
extern bool isPotentiallyDragging;
extern SDL_FPoint dragStart;
extern SDL_FPoint dragStartScreen;
extern SDL_FPoint dragEndScreen;
extern SDL_Point dragEndRawScreen;

// The tile under the pointer that orders aim at: raised ground first, then the ground level; (-1, -1) for none.
extern V2i hoveredTile;

// Shift and Ctrl follow their keys' presses and releases, either side.
void trackModifiers(const SDL_Event& event);

// The match input of a session that ended: no key held, no order, spell or building armed, no chat line, drag or
// click under way. The releases the menus took never reach the handler, so the next session would inherit them.
// The chat history stays for the run.
void resetMatchInput();

struct Unit;
// The window point lies inside the unit's on-screen hit box, both edges included.
bool unitContains(const Unit& u, const SDL_FPoint& screen);
