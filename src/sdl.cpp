// The SDL objects that live for the whole run.
#include "sdl.h"

SDL_Renderer* renderer = nullptr;
SDL_Window* window = nullptr;
