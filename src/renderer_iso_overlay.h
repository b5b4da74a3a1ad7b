// The overlay pass: bars, texts, rally lines, the placement ghost, fog, clicks, effects, prompts, the minimap, the
// pause veil and the drag box, drawn over the sorted world; and the input state they show.
#pragma once

#include <string>

#include <SDL2/SDL.h>

#include "game_state.h"
#include "sprites.h"
#include "utils.h"

// Set by the match and editor input; the overlay only reads them.
extern bool chatActive;
extern std::string chatInput;
extern bool dragging;
extern SDL_Point dragStartRawScreen;
extern bool typingFilename;
extern std::string filenameInput;

// The placement state: which kind of thing follows the cursor (placingBuilding lives with the game state), its
// translucent sprite and the tile under it.
extern bool placingObject;
extern bool placingTile;
extern bool placingDecoration;
extern std::string ghostBuildingType;
extern std::string ghostObjectType;
extern Sprite ghostSprite;
extern V2i ghostTile;

// Once per frame: the ghost's screen rectangle for the placement under way; nothing without one.
void updateGhostBuildingDstRect();
// The reach of the selected spell around the first selected unit.
void drawSpellRange();

// Every step after the queue, up to and excluding the present; mouse is the pointer in window pixels.
class Renderer;
void drawOverlay(Renderer& self, float dt, SDL_Point mouse);
void drawSavePromptBox();
