// The interface colours shared by the HUD, the dialogs and the widgets.
#pragma once

#include <SDL2/SDL.h>

constexpr SDL_Color panelColor{50, 50, 50, 200};
constexpr SDL_Color tooltipColor{30, 30, 30, 220};
constexpr SDL_Color tooltipBorderColor{180, 229, 13, 255};
// Highlights and progress fills.
constexpr SDL_Color highlightColor{180, 229, 13, 255};
// FPS, APM and latency read-outs.
constexpr SDL_Color readoutColor{0, 255, 0, 255};
// Figures remembered under the fog.
constexpr SDL_Color rememberedColor{160, 165, 180, 255};
constexpr SDL_Color modalColor{40, 40, 40, 220};
constexpr SDL_Color modalBorderColor{180, 229, 13, 255};
constexpr SDL_Color whiteColor{255, 255, 255, 255};
