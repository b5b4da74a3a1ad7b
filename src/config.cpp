// The configuration globals read from "src/config.txt" and the values derived from them.
#include "config.h"

bool DEBUG_MODE = false;
bool GOD_MODE = false;
bool AI = false;
bool MODS = false;
int MAP_W = 0;
int MAP_H = 0;
int TILE_SIZE = 0;
int SUBDIVISIONS = 0;
std::string MAP_FILE;
float GAME_SPEED = 0.0f;
float UNIT_SPEED = 0.0f;
float CRYSTAL_MINING_TIME = 0.0f;
float AMBER_OIL_MINING_TIME = 0.0f;
float WAYPOINT_EPS = 0.0f;
float CANCEL_BUILDING_PERCENTAGE_LOSS = 0.0f;
bool FULLSCREEN = false;
bool FOG = false;
bool MUSIC = false;
bool SOUNDS = false;
float HUD_SIZE = 0.0f;
int MINIMAP_SIZE = 0;
float UNDER_ATTACK_COOLDOWN = 0.0f;
int ANTI_ALIASING = 0;
bool LOGS = false;
bool DRAW_DEBUG_TILES = false;
std::string VERSION;

int SUB_TILE_SIZE = 0;
int CRYSTAL_MINING_TICKS = 0;
int AMBER_OIL_MINING_TICKS = 0;
