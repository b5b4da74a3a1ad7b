// The frame driver: the top-level loop, one frame of the menus, of a match and of the map editor, the frame clock
// with its pacing, and the ways a match advances (live turns, replay playback, a resumed save's re-simulation).
#pragma once

#include <cstdint>

#include <SDL2/SDL.h>

#include "game_replay.h"
#include "game_state.h"
#include "map.h"

// ---- The clock ----

// Where frames read the time and how they wait; tests install a clock of their own, so frames are exact.
struct FrameClock {
    uint64_t (*counter)();    // high-resolution counter
    uint64_t (*frequency)();  // counts per second
    void (*sleepNs)(uint64_t nanoseconds);
};

extern FrameClock frameClock;
FrameClock sdlFrameClock();

// Milliseconds of the frame clock.
uint32_t frameClockMs();

// The last two counter readings, the last frame in milliseconds, the milliseconds since the session started and
// the last frame in seconds, never more than MAX_FRAME_SECONDS.
extern uint64_t NOW;
extern uint64_t LAST;
extern double deltaTime;
extern double totalTime;
extern float dt;
// Milliseconds: the start of the frame and how long it took up to the end of drawing.
extern uint32_t frameStart;
extern uint32_t frameTime;
// The match clock on screen: the current turn times the turn length.
extern float gameTimeSeconds;
// The frame-rate cap of match frames.
extern float targetFps;
// Seconds of the Extraction opening zoom.
extern float introZoomTimer;

constexpr float MAX_FRAME_SECONDS = 0.05f;

void update_delta_time();
// The session clock starts from now: both readings taken, nothing elapsed.
void resetFrameClock();
// Sleeps out the rest of a millisecond when the frame took none.
void holdMinimumFrame();
// Sleeps out the rest of 1 / targetFps since the previous call.
void capFps();

// ---- Frames ----

// A session that plays on from live orders: a skirmish, a network match or an Extraction mission.
bool isLive(GameMode m);

void main_loop();
void game_loop();
void map_editor_loop();
// One frame of the kind gameState chooses, the pointer sampled first.
void runTopLevelFrame();
// Runs frames while running holds.
void runTopLevelLoop();

// The per-frame (not per-tick) updates of a running session.
void run_core_game_logic();
// The world step of a live, resumed or editor frame: the frame measured, the per-frame updates, then the world
// advanced by mode. Every live frame is measured, a paused one and a resumed save's included.
void run_regular_mode(float frameDt);
// The world advanced by mode: live turns, replay playback, a resumed save's re-simulation; nothing in the editor.
void advance_session(float frameDt);
// The live turn step until the network exchange takes its place: a turn falls due every tick length of frame time,
// applies the local pending orders and runs one tick; at most one turn per frame, and while paused only pause and
// resume orders apply and no tick runs.
void runLocalTurnStep();
// A resumed save's re-simulation: saved turns, each as a replay runs it, until one frame's time at the frame cap
// (1 / targetFps) has passed, at least one; when the saved turns are used up the session goes live.
void process_loaded_game();

// ---- Seams for the neighbours that draw and talk ----

// Draws a whole match or editor frame and presents it; until the renderer installs itself the frame is cleared.
extern void (*DrawMatchFrame)(Grid& grid, float dt);
// Draws and presents the frame of a resumed save still catching up: its progress only.
extern void (*DrawLoadProgress)();
// The menu frame's lobby networking step; filled with the menus' hooks, nothing until then.
extern void (*UpdateLobbyNetworking)();
// The in-game dialogs that the pending flags ask for, built by the in-game menu; nothing until installed.
extern void (*showScenarioObjectives)();
extern void (*showSaveGame)();
extern void (*showLoadGame)();
extern void (*showOptions)();
