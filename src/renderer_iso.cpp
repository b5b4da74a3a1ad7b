// IsoRenderer::render: the world pass from the ground up, the sorted queue with its x-ray pass, then the overlays.
#include "renderer.h"

#include "config.h"
#include "renderer_iso_entities.h"
#include "renderer_iso_ground.h"
#include "renderer_iso_overlay.h"
#include "sdl.h"
#include "sdl_draw.h"

void drawWorld(Grid& grid, float dt, SDL_FPoint view) {
    SDL_SetRenderDrawColor(renderer, 20, 20, 24, 255);
    SDL_RenderClear(renderer);
    drawGround(grid, view);
    drawRampsAndCliffs(grid);
    drawTileDecals(grid);
    if (DRAW_DEBUG_TILES) drawDebugTiles(grid);
    drawGroundItems(grid);
    renderQueue.clear();
    drawCorpseMarkers();
    queueMapObjects(dt, view);
    queueRememberedObjects(view);
    drawDecorations(view);
    queueBuildings(dt);
    queueRememberedBuildings();
    drawActiveSpells();
    queueUnits(dt);
    drawMapObjectRings();
    drawBuildingRings();
    sortRenderQueue(renderQueue);
    drawXraySilhouettes(renderer, renderQueue, drawRenderQueue(renderer, renderQueue));
}

void IsoRenderer::drawSavePrompt() { drawSavePromptBox(); }

void IsoRenderer::render(Grid& grid, float dt, FogGrid) {
    const SDL_FPoint view = windowSize();
    drawWorld(grid, dt, view);
    SDL_Point mouse{0, 0};
    SDL_GetMouseState(&mouse.x, &mouse.y);
    drawOverlay(*this, dt, mouse);
    SDL_RenderPresent(renderer);
}
