// The configuration globals read from "src/config.txt", the values derived from them, the display mode and the theme.
#pragma once

#include <array>
#include <stdexcept>
#include <string>

#include <SDL2/SDL.h>

extern bool DEBUG_MODE;
extern bool GOD_MODE;
extern bool AI;
extern bool MODS;
extern int MAP_W;
extern int MAP_H;
extern int TILE_SIZE;
extern int SUBDIVISIONS;
extern std::string MAP_FILE;
extern float GAME_SPEED;
extern float UNIT_SPEED;
extern float CRYSTAL_MINING_TIME;
extern float AMBER_OIL_MINING_TIME;
extern float WAYPOINT_EPS;
extern float CANCEL_BUILDING_PERCENTAGE_LOSS;
extern bool FULLSCREEN;
extern bool FOG;
extern bool MUSIC;
extern bool SOUNDS;
extern float HUD_SIZE;
extern int MINIMAP_SIZE;
extern float UNDER_ATTACK_COOLDOWN;
extern int ANTI_ALIASING;
extern bool LOGS;
extern bool DRAW_DEBUG_TILES;
extern std::string VERSION;

// Derived once at start-up, right after the file is read.
extern int SUB_TILE_SIZE;
extern int CRYSTAL_MINING_TICKS;
extern int AMBER_OIL_MINING_TICKS;

// The current display mode; starts windowed whatever FULLSCREEN says.
extern bool isFullscreen;

// A file start-up cannot use; the text says where (line, key) and why on one line.
struct ConfigError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Bounds of a numeric key, inclusive; NaN lies outside every one.
struct ConfigRange {
    double min;
    double max;
};

// Sets the globals of the keys the file gives. Throws ConfigError for a missing file, one that is not text, a
// number that does not read, or a number outside its key's bounds, whether read now or left from before.
void loadConfig(const std::string& filename);

// Whether a value lies within the bounds of the configuration global at that address (a replay header sets
// the same globals); globals without bounds take any value.
bool configValueInRange(const void* global, double value);

// Needs the lockstep turn length, which is a compile-time constant, so no initialisation order matters.
void deriveConfigValues();

void toggleDisplayMode(SDL_Window* window);

constexpr std::array<SDL_Color, 16> createDefaultTheme() {
    return {{
        {90, 90, 90, 255},
        {0, 0, 0, 255},
        {255, 255, 255, 255},
        {0, 0, 0, 0},
        {255, 255, 255, 150},
        {80, 120, 60, 255},
        {60, 90, 140, 255},
        {90, 75, 60, 255},
        {220, 220, 220, 255},
        {90, 50, 120, 255},
        {120, 120, 120, 255},
        {255, 215, 0, 255},
        {0, 100, 0, 255},
        {100, 100, 100, 255},
        {20, 20, 20, 255},
        {255, 255, 255, 200},
    }};
}

// Constant-initialised, so static initialisers of other files already see it filled.
inline constexpr std::array<SDL_Color, 16> COLORS_THEME = createDefaultTheme();
