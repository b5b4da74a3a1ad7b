// The game session: the random generators the simulation draws from.
#pragma once

#include <cstdint>
#include <random>

// The shared Mersenne Twister of spell effects, Extraction generation and player ids.
extern std::mt19937 rng;

// Every session starts both generators (rng and the C library's rand) from these, on every peer, in every
// mode, so the simulation's draws agree everywhere and on every replay.
constexpr uint32_t SESSION_RNG_SEED = 5489u;
constexpr unsigned SESSION_RAND_SEED = 1u;

void seedSessionGenerators();
