// The software cursor: one image chosen by the local player's race, drawn 32x32 last in every frame.
#pragma once

#include <SDL2/SDL.h>

extern SDL_Texture* cursorTexture;
// In the image's own pixels.
extern SDL_Point cursorHotspot;
// The pointer in window pixels, sampled once per frame.
extern float mouseX;
extern float mouseY;

// Takes the race's cursor and hides the system pointer; without a cursor image the system pointer stays.
void init_cursor();
void update_cursor();
void draw_cursor();
