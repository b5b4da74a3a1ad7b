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
