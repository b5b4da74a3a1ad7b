// What the program is doing (menus, match, editor), which kind of session runs, and the requests that the
// buttons and dialogs raise for the frame loop to serve.
#pragma once

#include <string>

enum class GameState : int { Menus = 0, Match = 5, MapEditor = 6 };

enum class GameMode : int { Skirmish = 0, Extraction = 1, Replay = 2, ResumedSave = 3, MapEditor = 4 };

extern GameState gameState;
extern GameMode mode;
// The top-level loop runs while set; start-up sets it, the quit paths clear it.
extern bool running;
// Seconds of play, advanced per frame; never read by code that changes the world.
extern float gameTime;
// "./" or "../": where the game's files lie, fixed once at start-up.
extern std::string basePath;

// The session's own host and replay flags, set by every session start.
extern bool isHost;
extern bool isReplay;

// The local player is placing a building: the input starts it, the local player's new site ends it.
extern bool placingBuilding;

// The map of the next or current session, and the save that the load dialog chose (a name under "saves/").
extern std::string currentMap;
extern std::string load_game_filename;

// Raised by buttons and dialogs and served by the next match or editor frame, so a session never ends or opens a
// dialog in the middle of a frame.
extern bool pendingShutdown;
extern bool pendingSaveGame;
extern bool pendingLoadGame;
extern bool pendingShowObjectives;
extern bool pendingShowOptions;
