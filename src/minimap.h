// The minimap: a diamond picture of the whole grid with fog, units, buildings and objects, the view outline,
// the match clock above it, and camera moves and move orders from clicks on it.
#pragma once

#include <string>

#include <SDL2/SDL.h>

#include "map.h"

extern SDL_Texture* minimapTerrainTexture;
extern SDL_Texture* minimapTexture;
extern bool minimapInitialized;
extern float minimapScale;
extern float minimapScaleX;
extern float minimapScaleY;
extern SDL_Rect minimapRect;
extern SDL_Texture* timerTextTexture;
extern int timerTextW;
extern int timerTextH;
extern int lastDisplayedSecond;
extern int lastDisplayedMilli;
extern bool minimapDragging;

// The cell layout of a MAP_W by MAP_H grid in a texture of MAP_W by MAP_H pixels.
struct MinimapGeometry {
    float cw = 0.0f;  // cell width
    float hw = 0.0f;  // cell height, half the width
    float qw = 0.0f;
    float oy = 0.0f;  // vertical offset that centres the diamond
    int mapW = 0;
    int mapH = 0;

    // The texture point of a tile's cell (fractional tiles allowed).
    SDL_FPoint cellAt(float x, float y) const;
    // The inverse: the fractional tile under a texture point.
    SDL_FPoint tileAt(float tx, float ty) const;
};
MinimapGeometry minimapGeometry(int mapW, int mapH);

void initMinimap(Grid& grid);
void buildMinimapTerrain(Grid& grid);
void updateMinimap(Grid& grid);
// Seconds between two redraws of the dynamic layer.
constexpr float MINIMAP_REFRESH_SECONDS = 0.5f;
// A frame's share: the dynamic layer redrawn every MINIMAP_REFRESH_SECONDS, and at the first frame of a minimap just
// made, whose layer holds nothing yet and would show the whole map unexplored.
void refreshMinimap(Grid& grid, float frameDt);
void drawMinimap();
void drawMinimapView();
void update_timer_text();
void clearMinimap();
// True when the minimap took the event; the mouse position is read through readPointerView.
bool handleMinimapClick(Grid& grid, SDL_Event event);
// The same with the mouse position given.
bool handleMinimapClickAt(Grid& grid, const SDL_Event& event, SDL_Point mouse);
// "mm:ss.mmm" of the match time shown above the minimap.
std::string minimapClockText(float seconds);
