// Global session state shared by the loop, the menus and the loaders.
#include "game_state.h"

GameState gameState = GameState::Menus;
GameMode mode = GameMode::Skirmish;
bool running = false;
float gameTime = 0.0f;
std::string basePath;

bool isHost = false;
bool isReplay = false;
bool placingBuilding = false;

std::string currentMap;
std::string load_game_filename;

bool pendingShutdown = false;
bool pendingSaveGame = false;
bool pendingLoadGame = false;
bool pendingShowObjectives = false;
bool pendingShowOptions = false;
