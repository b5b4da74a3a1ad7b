// The SDL objects that live for the whole run.
#pragma once

#include <SDL2/SDL.h>

// Null until start-up creates it; texture loading does nothing before then.
extern SDL_Renderer* renderer;
// Null until start-up creates it; projections then take the window size from it.
extern SDL_Window* window;
