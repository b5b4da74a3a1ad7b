// Input in the isometric view: the match handler (keys, selection, orders) and the map editor's handler.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include <SDL2/SDL.h>

#include "events.h"

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
    void handleEditorEvents(Grid& grid) override;
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
extern bool isPotentiallyDragging;
extern SDL_FPoint dragStart;  // grid-space point of the press, in world units
// Every tool disarmed, no drag, the save prompt closed, both editor selections and the palettes empty.
void resetEditorInput();
