// What the match and editor input hold between events: the chat line, the drag box, the typed file name and the
// placement under way. Input sets it, the local player's new site ends a building placement; drawing only reads it.
#pragma once

#include <string>

#include <SDL2/SDL.h>

#include "sprites.h"
#include "utils.h"

extern bool chatActive;
extern std::string chatInput;
extern bool dragging;
extern SDL_Point dragStartRawScreen;
extern bool typingFilename;
extern std::string filenameInput;
// Why the last Return in the save prompt saved nothing; the prompt stays open with it until the next key.
extern std::string filenameRefusal;

// The placement state: which kind of thing follows the cursor, its translucent sprite and the tile under it.
extern bool placingBuilding;
extern bool placingObject;
extern bool placingTile;
extern bool placingDecoration;
extern std::string ghostBuildingType;
extern std::string ghostObjectType;
extern Sprite ghostSprite;
extern V2i ghostTile;
