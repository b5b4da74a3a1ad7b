// Synthetic SDL events for driving widgets, pages and handlers in tests.
#pragma once

#include <SDL2/SDL.h>

#include <cstdio>

inline SDL_Event press(float x, float y, Uint8 button = SDL_BUTTON_LEFT) {
    SDL_Event e{};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.button = button;
    e.button.x = static_cast<Sint32>(x);
    e.button.y = static_cast<Sint32>(y);
    return e;
}

// A left press in the middle of the rectangle.
inline SDL_Event pressOn(const SDL_FRect& r) { return press(r.x + r.w / 2, r.y + r.h / 2); }

inline SDL_Event keyEvent(SDL_Keycode sym, Uint32 type = SDL_KEYDOWN) {
    SDL_Event e{};
    e.type = type;
    e.key.keysym.sym = sym;
    e.key.keysym.scancode = SDL_GetScancodeFromKey(sym);
    return e;
}

inline SDL_Event typed(const char* text) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    std::snprintf(e.text.text, sizeof e.text.text, "%s", text);
    return e;
}
