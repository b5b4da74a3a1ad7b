// Fog of war: what the local player sees now and has seen, the remembered buildings and objects, and the fog layers.
// All of it is presentation, taken after turns and drawn per frame: the simulation never reads it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <SDL2/SDL.h>

#include "sprites.h"

enum class FogState : uint8_t { Hidden = 0 };
// Sized at map load and handed to the renderer by value each frame.
using FogGrid = std::vector<FogState>;
extern FogGrid fog;

// Indexed [x][y].
extern std::vector<std::vector<bool>> visionGrid;
extern std::vector<std::vector<bool>> memoryGrid;

// Layer 0 shows what is seen and explored, layer 1 darkens high ground not seen from above; both multiply, coarse
// textures stretched with linear filtering over the window.
extern std::array<SDL_Texture*, 2> fogLayers;
extern SDL_Texture* visionCircle;
// The two layers multiplied and stretched over the window at each recomputation; the frame multiplies it over the
// world.
extern SDL_Texture* fogView;

constexpr int FOG_CHUNK_SPAN = 2048;  // fog-space units per chunk side, drawn coarse like the layers
struct FogChunk {
    SDL_Texture* texture = nullptr;
};
using TileKey = std::pair<int, int>;
extern std::map<TileKey, FogChunk> fogChunks;

// What a building or map object looked like when last seen; drawing state copied unchanged.
struct BuildingSnapshot {
    int id = -1;
    int x = 0;
    int y = 0;
    int width = 1;
    int height = 1;
    int owner = -1;
    std::string type;
    int hp = 0;
    bool completed = false;
    float lift = 0.0f;
    Sprite sprite;
};
struct MapObjectSnapshot {
    int id = -1;
    std::string type;
    int x = 0;
    int y = 0;
    int width = 1;
    int height = 1;
    float worldX = 0.0f;
    float worldY = 0.0f;
    Sprite sprite;
    int amount = 0;
};
extern std::map<TileKey, BuildingSnapshot> ghostBuildings;
extern std::map<TileKey, MapObjectSnapshot> ghostObjects;

extern uint32_t lastFogUpdate;
// The wall clock the fog is paced by; tests install their own.
extern uint32_t (*fogTicks)();
// drawFog when the configuration turns fog on, else noopFog: the layers, at most every 30 ms of the wall clock.
extern void (*DrawFog)();

void initVisionGrid(int w, int h);
void initFogTextures();
void resetFogOfWar(int w, int h);
// Frees the layers, the brushes and the chunks, before the renderer goes.
void releaseFogTextures();
void drawFog();
void noopFog();
// The sight hook where no sight is taken: the editor, a world without a window, a match without fog.
void noopSight();
void renderFogTexture(SDL_Texture* layer);
// fogView multiplied over the window, leaving out the parts it leaves clear and filling the black ones.
void drawFogView();
bool isTileVisible(int x, int y);
bool isTileExplored(int x, int y);

// What the local player knows follows the turns, not the frames, so a catch-up or a seek that draws nothing
// leaves it as playing those turns in the window would: the grids from the player's units and buildings, the
// ghosts erased and taken where the tiles are seen now, and the brushes of the explored picture, which the next
// drawn fog paints. Nothing when the fog is off.
void takeSight();
// takeSight in a match with the fog on, else noopSight; taken after every SIGHT_TURNS-th turn, about the pacing of
// the drawn fog.
extern void (*TakeSight)();
constexpr int SIGHT_TURNS = 2;
// The brushes of the explored picture taken and not painted yet; the next drawn fog paints them all.
std::size_t queuedExploredBrushes();
// Marks the cells a source of the given sight sees from its tile; higher ground only right beside it.
void revealCells(int tx, int ty, int sight);
