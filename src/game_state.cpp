// Global session state shared by the loop, the menus and the loaders.
#include "game_state.h"

GameState gameState = GameState::Menus;
GameMode mode = GameMode::Skirmish;
bool running = true;
float gameTime = 0.0f;
std::string basePath;
