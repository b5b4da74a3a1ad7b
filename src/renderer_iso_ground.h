// The ground and static layers of the world pass, drawn at once under every queued sprite.
#pragma once

#include <SDL2/SDL.h>

#include "map.h"
#include "sprites.h"

// Upward shift on screen of a tile of the height level.
float tileLift(int heightLevel);
// One of the four plain-grass images, a fixed function of the tile.
Sprite* grassVariant(int x, int y);

void drawGround(const Grid& grid, SDL_FPoint view);
void drawRampsAndCliffs(const Grid& grid);
void drawTileDecals(const Grid& grid);
void drawDebugTiles(const Grid& grid);
void drawGroundItems(const Grid& grid);
void drawCorpseMarkers();
void drawDecorations(SDL_FPoint view);
void drawActiveSpells();
