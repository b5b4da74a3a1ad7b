// Sounds: the sound sets read through PhysFS, the sounds catalogue and the music track lists.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include <SDL2/SDL_mixer.h>

enum class SoundCategory : int32_t {
    Unit = 0,
    Building = 1,
    MapObject = 2,
    UnitAction = 3,
    BuildingAction = 4,
    Spells = 5,
    Game = 6,
};

struct SoundKey {
    SoundCategory category = SoundCategory::Unit;
    std::string key;
    bool operator==(const SoundKey& o) const { return category == o.category && key == o.key; }
};

struct SoundKeyHash {
    size_t operator()(const SoundKey& k) const {
        return (std::hash<std::string>()(k.key) << 1) ^ static_cast<size_t>(k.category);
    }
};

struct SoundSet {
    std::vector<Mix_Chunk*> chunks;
};

extern std::unordered_map<SoundKey, SoundSet, SoundKeyHash> soundSets;
// Music file paths: in-game tracks of every race, and the main-menu tracks; appended to, never cleared.
extern std::vector<std::string> musicTracks;
extern std::vector<std::string> mainMenuTracks;

// Makes the set of (category, key) hold exactly the chunks of the files that load, in order. A file PhysFS
// cannot read, or an empty one, gives a warning line; one SDL_mixer cannot decode gives an error line.
void loadSoundSet(SoundCategory category, const std::string& key, const std::vector<std::string>& paths);

// Reads a race's "sounds.json". A top-level key other than "Music" and the seven categories raises
// std::invalid_argument; a malformed file raises the JSON library's error; both end start-up.
void initAudio(const std::string& path);

// ---- Sound requests ----

// Plays a sound request; installed by the audio player, and until then (or while it is absent) requests are
// dropped. Tests install their own to observe requests.
using SoundPlayer =
    std::function<void(SoundCategory category, const std::string& key, bool positional, float x, float y, int limit)>;
extern SoundPlayer soundPlayer;

// A random variant of the set (category, key), placed at world (x, y) when positional; with limit 1 it does
// not start while the same key already sounds.
void playSound(SoundCategory category, const std::string& key, bool positional, float x, float y, int limit);
