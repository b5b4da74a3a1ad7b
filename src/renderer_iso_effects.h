// Projectiles in flight, their hit animations and the special effects, drawn over the fog.
#pragma once

#include <SDL2/SDL.h>

// A frame's place in a strip that holds stripSize / frameSize frames: past either end it counts on from the other
// end, so a sheet shorter than its catalogue says still shows a frame; -1 when the strip holds no whole frame.
int frameInStrip(int frame, int frameSize, int stripSize);

void drawProjectiles();
void drawProjectileHits();
void drawSpecialEffects(SDL_Renderer* target);
