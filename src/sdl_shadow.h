// The soft disc units stand on, drawn flattened and tinted black under each unit.
#pragma once

#include <SDL2/SDL.h>

// Built once, by the first start of play; freed before the renderer goes.
extern SDL_Texture* shadowTex;

// A white size x size disc whose alpha falls from 255 at the centre to 0 at the rim (smoothstep), blended.
SDL_Texture* createShadowTexture(SDL_Renderer* r, int size);
// Creates shadowTex on the global renderer unless it exists.
void ensureShadowTexture();
void releaseShadowTexture();
// Under a sprite box whose horizontal centre is x and top y: 0.7 w scale wide, 0.4 as high, centred on the box bottom.
void textureShadow(float x, float y, float w, float h, float scale);
