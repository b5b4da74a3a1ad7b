// The frame renderer classes and the depth-sorted draw queue with its x-ray silhouettes.
#pragma once

#include <cstdint>
#include <vector>

#include <SDL2/SDL.h>

#include "fog.h"
#include "map.h"

// One queued sprite; an entry without a texture draws nothing but still covers units in the x-ray test.
struct RenderEntry {
    SDL_Texture* texture = nullptr;
    SDL_Rect src{0, 0, 0, 0};
    SDL_FRect dst{0.0f, 0.0f, 0.0f, 0.0f};
    float depth = 0.0f;
    int layer = 0;
    int flip = 0;
    bool xray = false;
    uint8_t r = 255;
    uint8_t g = 255;
    uint8_t b = 255;
    uint8_t a = 255;
    bool buildingFlag = false;
    int paletteIndex = 0;
};

// Emptied, refilled, sorted and drawn every frame; its storage survives frames.
extern std::vector<RenderEntry> renderQueue;

// The tile under a window point for culling, each coordinate truncated toward zero.
V2i tileAtScreen(float sx, float sy, SDL_FPoint view);

// The smallest and largest tile coordinates under the four window corners.
struct TileBounds {
    V2i lo;
    V2i hi;
};
TileBounds tilesUnderView(SDL_FPoint view);

// Depths closer than this are one band, ordered left to right on screen.
constexpr float DEPTH_BAND = 0.01f;

// Layer first, then depth rounded to bands of DEPTH_BAND, then screen x. Depths are cut into fixed bands so the
// order stays a strict weak ordering (a plain "closer than 0.01" test is not transitive).
bool renderEntryBefore(const RenderEntry& e1, const RenderEntry& e2);

void sortRenderQueue(std::vector<RenderEntry>& queue);

// Draws the sorted queue and answers the indexes of the x-ray entries wholly covered by a later non-x-ray entry.
std::vector<std::size_t> drawRenderQueue(SDL_Renderer* target, const std::vector<RenderEntry>& queue);
// Redraws the listed entries as half-transparent black silhouettes.
void drawXraySilhouettes(SDL_Renderer* target, const std::vector<RenderEntry>& queue,
                         const std::vector<std::size_t>& listed);

// The world of one frame from the ground up, with the sorted queue and its x-ray pass; the overlays come after it.
void drawWorld(Grid& grid, float dt, SDL_FPoint view);

class Renderer {
public:
    virtual void drawSavePrompt() {}
    virtual void render(Grid& grid, float dt, FogGrid fog) {
        (void)grid;
        (void)dt;
        (void)fog;
    }
    virtual ~Renderer() = default;
};

class IsoRenderer : public Renderer {
public:
    void drawSavePrompt() override;
    void render(Grid& grid, float dt, FogGrid fog) override;
};
