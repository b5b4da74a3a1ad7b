// The SDL objects that live for the whole run, and the window size as the interface reads it.
#pragma once

#include <SDL2/SDL.h>

// Null until start-up creates it; texture loading does nothing before then.
extern SDL_Renderer* renderer;
extern SDL_Window* window;

constexpr int WINDOW_WIDTH = 1280;
constexpr int WINDOW_HEIGHT = 720;

// The window's size in pixels, or 1280 by 720 without a window. Tests install a size of their own.
extern SDL_Point (*windowSize)();
SDL_Point sdlWindowSize();
