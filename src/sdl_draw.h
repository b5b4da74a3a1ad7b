// Drawing primitives on an SDL renderer and the projections between world, grid, isometric plane and window.
#pragma once

#include <cstdint>
#include <vector>

#include <SDL2/SDL.h>

#include "map.h"

struct Sprite;

// World (cartesian) to the isometric plane the camera lives in.
SDL_FPoint worldToIso(SDL_FPoint world);
// World to window pixels: the camera centre lands on the window centre, scaled by the zoom.
SDL_FPoint worldToScreen(SDL_FPoint world);
// Grid to the isometric plane; no map offset.
inline SDL_FPoint gridToWorld(float gx, float gy) { return gridToIso(gx, gy); }
// The exact inverse of gridToWorld, fractional; callers floor it to get a tile.
SDL_FPoint worldToGrid(float x, float y);
// The window size in pixels, asked of SDL each time so a resized window is followed; 1280 x 720 without a window.
SDL_FPoint windowSize();

// The texture's width and height in pixels; (0, 0) for a null or broken texture.
SDL_Point textureSize(SDL_Texture* t);
// Fills or outlines with blending; the draw colour stays set.
void DrawRect(SDL_Renderer* r, const SDL_Rect& rect, SDL_Color colour, bool filled);
// The whole texture to sprite.dst, its colour dimmed by brightness; the texture's modulation is reset afterwards.
void drawSprite(SDL_Renderer* r, Sprite& sprite, uint8_t brightness = 255);
// Midpoint circle of integer points in the current draw colour; the radius is rounded, a negative one draws nothing.
void drawCircleOutline(SDL_Renderer* r, float cx, float cy, float radius);
// Horizontal lines in the current draw colour.
void DrawFilledCircle(SDL_Renderer* r, float cx, float cy, float radius);
// A ring 2.4 px thick horizontally and 1.2 px vertically, drawn with one geometry call.
void DrawSmoothEllipse(SDL_Renderer* r, float cx, float cy, float rx, float ry, int segments, SDL_Color colour);
// A square standing on a corner, half-diagonal s.
void drawDiamond(SDL_Renderer* r, float cx, float cy, float s, SDL_Color colour);

// The ring's 2n + 2 vertices and 6n indices, as DrawSmoothEllipse submits them.
void smoothEllipseGeometry(float cx, float cy, float rx, float ry, int segments, SDL_Color colour,
                           std::vector<SDL_Vertex>& vertices, std::vector<int>& indices);
