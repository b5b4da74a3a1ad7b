// The configuration globals read from "src/config.txt" and the values derived from them.
#pragma once

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
