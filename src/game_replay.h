// Replay playback: the recorded turns fed at the replay speed, seeking forward and backward, and the progress bar.
#pragma once

#include <SDL2/SDL.h>

#include "map.h"

// Speed factor 1 to 16 and the pause of playback; both outlive a replay, so the next one starts alike.
extern int replaySpeed;
extern bool replayPaused;
// The progress bar in window pixels, above the minimap.
extern SDL_Rect replay_bar;

constexpr int MAX_REPLAY_SPEED = 16;

// Feeds the recorded turns at the tick length scaled by replaySpeed; the first tick due after the last turn ends the
// session at the start of the next frame.
void process_replay(float frameDt);
// One replayed tick: the recorded turn of this tick, if any, applied as replayed, a recorded leave taken as it was
// live, then the tick; a resumed save's computer player thinks after it as it did in the recorded match.
void runReplayTick(Grid& world, int nowMs);
// Simulates at once until the current turn reaches target, or until no recorded turn remains.
void fast_forward_to_turn(int target);
// Seeks to target and leaves playback paused: forward by simulating ahead, backward by rebuilding the world from
// the map and simulating again from turn 0.
void jump_to_turn(int target);
// Empties the world and the session state the recorded turns act on; the players keep their seats and the turns
// stay loaded.
void reset_replay_to_start();
// The bar's rectangle for the window and map of a replay session; nothing in other modes.
void init_replay_bar();
// The bar with its progress and thumb, in a replay session only.
void draw_replay_bar();
// The tick of the last recorded turn; 0 with no turns.
int lastReplayTick();
// How far the recorded turns have been played, 0 to 1; 0 with no turns.
float replayProgress();
// The whole frame of a resumed save catching up: its progress in words and as a bar, presented.
void draw_load_progress();
