// The SDL objects that live for the whole run, and the window size as the interface reads it.
#include "sdl.h"

SDL_Renderer* renderer = nullptr;
SDL_Window* window = nullptr;

SDL_Point (*windowSize)() = sdlWindowSize;

SDL_Point sdlWindowSize() {
    SDL_Point size{WINDOW_WIDTH, WINDOW_HEIGHT};
    if (window) SDL_GetWindowSize(window, &size.x, &size.y);
    return size;
}
