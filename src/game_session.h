// Session life: the engine hooks, building a session's world from its map, the session starters of every mode,
// the resumed-save road and the tear-down that returns to the menus.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <SDL2/SDL.h>

#include "map.h"

// ---- Engine hooks ----

// When hooks are filled; each stage fills its whole set here and nothing patches a hook after it. Menus: the
// lobby's step and match start, filled by the lobby page when it is made, so they exist before any session and
// wherever the menus are built. StartUp: the Extraction campaign's consequences of a death and its unit hooks,
// filled once for the program (a lost unit leaves its corpse in every mode). Match: the drawing, camera, world,
// dialog, mod and input hooks of every match mode, replays and resumed saves included (a replay's seek rebuilds
// the world through them). Editor: the same for the map editor, which shows no fog, its own HUD and reads its own
// input. Headless: the world hooks through which a world without a window is built, rebuilt by a seek and drawn,
// and the mod hooks.
enum class HookStage { Menus, StartUp, Match, Editor, Headless };
// The one place that fills the hooks of a stage.
void installHooks(HookStage stage);

extern void (*DrawHUD)();
extern void (*CreateObjects)(const std::vector<PendingObj>& objects, Grid& grid);
extern void (*MoveCamera)(float dt);
extern void (*HandleZoom)(const SDL_Event& event);
extern void (*MoveCameraToTheBase)();
// All pending input of one match or editor frame.
extern std::function<void(Grid&)> HandleEvents;

// Why this peer's lobby match could not start, in words for the player; its lobby is gone then. The lobby view
// shows it until the player leaves.
extern std::string lobbyStartFailure;

// ---- Session set-up ----

// The hooks of the mode's stage, the map file (the name, or MAP_FILE when empty) and the per-session interface state.
// Throws std::runtime_error for a map name that is not a plain file name and the map loader's errors.
void initialize_engine(const std::string& mapName);
// The grid and every static layer of the loaded map: sub-tile grids, map objects with the starting bases,
// decorations, the effect grid and the camera on the local base.
void load_map_and_static_world();
// The world half of it, which the headless tools share: grid, sub-tile grids, free mining cells, map objects with
// the starting bases (through CreateObjects) and decorations.
void buildStaticWorld();
void prepareSessionView();

// The local player ("Joes", human) when any race is loaded; the palette always gets an entry for the local id.
void spawnPlayer();

// Match starters; mode is chosen before the call. A map or saved game that cannot be used leaves one line on the
// error stream, nothing of the session behind, and the menus showing; false then. The second flag is not read.
bool startGame(bool isHost, bool second, const std::string& mapName, bool isReplay);
bool start_extraction(bool isHost, bool second, const std::string& mapName, bool isReplay);
bool start_map_editor(const std::string& mapName);

// The Extraction set-up after the world is built (enemies, civilians, the extract dialog, the roster placed three
// tiles right and down of the given base tile, critters); installed by the campaign, nothing until then.
extern void (*PlaceExtractionMission)(Grid& grid, V2i baseTile);

// The resumed-save road's preparation: the save basePath + "saves/" + load_game_filename becomes the start of a
// fresh log under "replays/" and its turns become replayTurns; currentMap names the save's map. A save whose
// records break off resumes up to the last whole turn, and its copy ends there. False, with one line, for a save
// that cannot be read or whose header is unusable.
bool load_replay_into_commands();
// Whether the save basePath + "saves/" + name could be resumed: chosen, inside the folder, readable, with a usable
// header, its map readable and the one it was played on, and the races of its players loaded. Reads only; one line
// on the error stream when not, so a running match need not end for a bad choice. The reason of a refusal, in words
// for the player, goes to why when given.
bool saveCanResume(const std::string& name, std::string* why = nullptr);
// Why this run cannot build again the world a recorded header names: its map does not read as a map or has changed
// since the match was recorded, or a listed player's race is not loaded. Empty when the map is the one played on
// (or the log never recorded which map that was) and every race is here, or when the header itself does not read
// (its loader reports that).
std::string recordedWorldRefusal(const std::string& headerLine);

// ---- Recorded sessions ----

// A replay or a saved game seats the players of its header under the ids of the run that recorded it. The run's
// own local and computer ids are kept before a header is loaded and come back when the session ends.
void keepRunSeats();
// The computer player a loaded header lists, if any, is this session's computer player.
void adoptRecordedComputer();
// Whatever a start that failed has built goes again, a header it loaded included: the run's configuration, ids and
// lone local player come back; the menus stay.
void abandonStart();

// A command log names only the turns that carried orders, and never a pause. This record, read back as no order,
// names the last turn a live session has simulated, so its replay or saved copy runs as far as the match did, paused
// or not; empty when the session is not live, has simulated nothing, or has logged a turn it has not simulated.
std::string playReachedRecord();

// The end of a session, at the start of a frame: the world torn down, the local player made again, the
// configuration a replay replaced put back, the command log closed, the menus showing.
void endSession();
