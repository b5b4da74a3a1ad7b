// What the sound catalogue, the effects player and the music share inside the sounds component.
#pragma once

#include <random>

#include "sounds.h"

std::minstd_rand& audioRandom();
// The key a chunk was loaded for, or null.
const SoundKey* soundKeyOfChunk(const Mix_Chunk* chunk);
void releaseSoundSets();
void releaseMusic();
// The music step of updateSounds.
void keepMusicGoing();
