// Synthesised sound effects and music, written as 16-bit WAV or Ogg Vorbis.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Wave {
    int rate = 22050;
    std::vector<float> samples;  // mono, -1..1
};

// category: the sounds catalogue's category ("Unit", "UnitAction", ...); key: "Marine.death", "Sword", ...
Wave synthEffect(const std::string& category, const std::string& key, const std::string& race, int variant);
// list: "Music" (a race's in-game tracks) or "MainMenuMusic".
Wave synthMusic(const std::string& race, const std::string& list, int index);

std::vector<uint8_t> encodeWav(const Wave& w);
std::vector<uint8_t> encodeOgg(const Wave& w, float quality, uint32_t serial);
