// What the program is doing (menus, match, editor) and which kind of session runs.
#pragma once

#include <string>

enum class GameState : int { Menus = 0, Match = 5, MapEditor = 6 };

enum class GameMode : int { Skirmish = 0, Extraction = 1, Replay = 2, ResumedSave = 3, MapEditor = 4 };

extern GameState gameState;
extern GameMode mode;
extern bool running;
// Seconds of play, advanced per frame; never read by code that changes the world.
extern float gameTime;
// "./" or "../": where the game's files lie, fixed once at start-up.
extern std::string basePath;
