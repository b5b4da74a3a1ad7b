// Terrain transitions: the pieces a dry-grass, mud or water tile lays over its neighbours, and cliff and ramp faces.
#pragma once

#include <vector>

#include <SDL2/SDL.h>

#include "map.h"
#include "sprites.h"

// The pieces of a transition tile in drawing order, a pure function of the grid; empty for other tile types.
std::vector<Sprite*> transitionPieces(const Grid& grid, int x, int y);

// The one cliff or slope image of a tile, or null; tall images reach half a tile below the diamond.
struct RampPiece {
    Sprite* sprite = nullptr;
    bool tall = false;
};
RampPiece rampPiece(const Grid& grid, int x, int y);

// The tile's transition pieces or its cliff or slope face, from the given grid.
void drawTransitionTile(const Grid& grid, SDL_FPoint pos, int x, int y, float zoom);
void drawRampTile(const Grid& grid, SDL_FPoint pos, int x, int y, float zoom);

// pos is the screen point of the tile's top corner; a zoom of 0 or less takes the camera zoom.
void renderDryGrass(SDL_FPoint pos, int x, int y, float zoom);
void renderMud(SDL_FPoint pos, int x, int y, float zoom);
void renderWater(SDL_FPoint pos, int x, int y, float zoom);
void renderRamps(SDL_FPoint pos, int x, int y, float zoom);
