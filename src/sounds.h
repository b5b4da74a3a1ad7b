// Sounds: the sound sets read through PhysFS, the sounds catalogue and the music track lists.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
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

// Keys named by their enumerator; a value outside the table names "UnknownUnitAction" and the like.
enum class UnitAction : int32_t {
    Construct, Sword, CatapultFire, CatapultHit, Axe, BowFire, BowHit, ChoppingTree,
    ShipAttack, TouchOfDarkness, UnderAttack, Shoot, Laser, Saber, TankFire, Drill,
};
enum class BuildingAction : int32_t { Explosion, Burning, UnderAttack };
enum class Game : int32_t { Victory, Defeat, Error };

std::string soundKeyName(UnitAction action);
std::string soundKeyName(BuildingAction action);
std::string soundKeyName(Game game);

template <class Key, class = std::enable_if_t<std::is_enum_v<Key>>>
void playSound(SoundCategory category, Key key, bool positional, float x, float y, int limit) {
    playSound(category, soundKeyName(key), positional, x, y, limit);
}

// ---- Playback ----

// The master switch of sound effects; start-up sets it from SOUNDS.
extern bool soundEffects;
// Keys counted as sounding: set when played, rebuilt from the mixer's channels by updateSounds.
extern std::unordered_map<SoundKey, bool, SoundKeyHash> soundKeyPlaying;

// Opens the mixer (44100 Hz, 16-bit stereo, 2048 samples) and installs the mixer as the sound player. Without an
// audio device it writes one line and the game stays silent.
bool openAudio();
// Frees every chunk and track and closes the mixer; called before SDL shuts down.
void closeAudio();
// The mixer has an output device.
bool audioOpen();

// What the mixer plays: playSound's body once a player is installed.
void playSoundEffect(SoundCategory category, const std::string& key, bool positional, float x, float y, int limit);
void playSoundBuffer(const Mix_Chunk* chunk, bool positional, float x, float y);
void toggleSoundEffects();

// Panning and attenuation of a sound at world (x, y), measured against the view centre in the isometric plane:
// the pan follows the horizontal offset, the distance byte reaches 255 at 800 units.
struct SoundPlacement {
    uint8_t left = 255;
    uint8_t right = 255;
    uint8_t distance = 0;
};
SoundPlacement soundPlacement(float x, float y);

// Once per match frame: which keys still sound, then a new track when the music of the context has ended.
void updateSounds();

// ---- Music ----

enum MusicContext : int { MusicNone = 0, MusicMainMenu = 1, MusicInGame = 2 };

extern bool musicActive;
extern int currentMusicContext;
extern Mix_Music* backgroundMusic;
extern Mix_Music* mainMenuMusic;

// Frees what the slot held, loads the file into the buffer and the slot, and plays it once when music is on.
// False when the file cannot be read or decoded.
bool playMusicFromBuffer(const std::string& path, Mix_Music*& music, std::vector<unsigned char>& buffer);
// A random track of the list; a track that fails to load is dropped from its list for the run.
void playRandomBackgroundMusic();
void playRandomMainMenuMusic();
// Off halts the music; on starts a random track of the list and takes its context.
void toggleBackgroundMusic();
void toggleMainMenuMusic();
