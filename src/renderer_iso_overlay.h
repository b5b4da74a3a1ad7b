// The overlay pass: bars, texts, rally lines, the placement ghost, fog, clicks, effects, prompts, the minimap, the
// pause veil and the drag box, drawn over the sorted world.
#pragma once

#include <SDL2/SDL.h>

// Once per frame: the ghost's screen rectangle for the placement under way; nothing without one.
void updateGhostBuildingDstRect();
// The reach of the selected spell around the first selected unit.
void drawSpellRange();

// Every step after the queue, up to and excluding the present; mouse is the pointer in window pixels.
class Renderer;
void drawOverlay(Renderer& self, float dt, SDL_Point mouse);
void drawSavePromptBox();
