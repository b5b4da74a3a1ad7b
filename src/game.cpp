// The game session: the random generators the simulation draws from.
#include "game.h"

#include <cstdlib>

std::mt19937 rng;

void seedSessionGenerators() {
    rng.seed(SESSION_RNG_SEED);
    std::srand(SESSION_RAND_SEED);
}
