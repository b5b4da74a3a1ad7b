// Projectiles in flight, their hit animations and the special effects, drawn over the fog.
#pragma once

#include <SDL2/SDL.h>

void drawProjectiles();
void drawProjectileHits();
void drawSpecialEffects(SDL_Renderer* target);
