// The game session: the simulation tick and the step that runs one turn of it, the random generators the
// simulation draws from, the world checksum and the session tear-down.
#pragma once

#include <cstdint>
#include <random>

#include "map.h"

// The shared Mersenne Twister of spell effects, Extraction generation and player ids.
extern std::mt19937 rng;

// Every session starts both generators (rng and the C library's rand) from these, on every peer, in every
// mode, so the simulation's draws agree everywhere and on every replay.
constexpr uint32_t SESSION_RNG_SEED = 5489u;
constexpr unsigned SESSION_RAND_SEED = 1u;

void seedSessionGenerators();

// The menus' own generator, seeded from the clock once per run: draws made outside the simulation (the computer
// player's strategy) come from here, so the session's generators stay as every peer and replay has them.
std::minstd_rand& menuRandom();

// Advances the whole world by one lockstep tick, every subsystem in its fixed order.
void simulateTick(Grid& grid);

// One turn after its commands: the drawing start points, the tick, the next turn number, then the local player's
// sight when that turn is due to take it.
void advanceOneTurn(Grid& grid);

// A hash over the state the tick changes: equal commands from an equal start give equal checksums, tick by tick.
uint64_t worldChecksum();

// The grids laid over the map (sub-tile reservations, spatial sectors, effects), sized for MAP_W by MAP_H, empty.
void sizeWorldGrids();

// Session end: empties the world a match builds and plays, restarts ids, the lockstep and the replay, and lists no
// player; the catalogues and the configuration stay.
void reset_game_state();
