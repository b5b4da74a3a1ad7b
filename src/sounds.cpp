// Sounds: the sound sets read through PhysFS, the sounds catalogue and the music track lists.
#include "sounds.h"

#include <iostream>
#include <stdexcept>

#include "races.h"
#include "sounds_internal.h"
#include "textures.h"

using nlohmann::json;

std::unordered_map<SoundKey, SoundSet, SoundKeyHash> soundSets;
std::vector<std::string> musicTracks;
std::vector<std::string> mainMenuTracks;

// Lets a playing channel be traced back to the key its chunk was loaded for.
static std::unordered_map<const Mix_Chunk*, SoundKey> bufferToUnitType;

const SoundKey* soundKeyOfChunk(const Mix_Chunk* chunk) {
    const auto it = bufferToUnitType.find(chunk);
    return it == bufferToUnitType.end() ? nullptr : &it->second;
}

void releaseSoundSets() {
    for (auto& [key, set] : soundSets)
        for (Mix_Chunk* chunk : set.chunks) Mix_FreeChunk(chunk);
    soundSets.clear();
    bufferToUnitType.clear();
}

static Mix_Chunk* loadChunk(const std::string& path) {
    // Without an audio device the game is silent; openAudio has said so once.
    if (!audioOpen()) return nullptr;
    std::vector<uint8_t> bytes;
    if (!readAssetFile(path, bytes) || bytes.empty()) {
        std::cerr << "[WARNING] PhysFS failed to load: " << path << "\n";
        return nullptr;
    }
    SDL_RWops* stream = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    // Closed here: the mixer leaves open a stream too short to decode.
    Mix_Chunk* chunk = stream ? Mix_LoadWAV_RW(stream, 0) : nullptr;
    if (stream) SDL_RWclose(stream);
    if (!chunk) std::cerr << "[ERROR] Failed to load sound: " << path << " | SDL_mixer: " << Mix_GetError() << "\n";
    return chunk;
}

void loadSoundSet(SoundCategory category, const std::string& key, const std::vector<std::string>& paths) {
    const SoundKey soundKey{category, key};
    SoundSet& set = soundSets[soundKey];
    // The replaced variants are unreachable from now on; SDL_mixer halts any channel still playing them.
    for (Mix_Chunk* old : set.chunks) {
        bufferToUnitType.erase(old);
        Mix_FreeChunk(old);
    }
    set.chunks.clear();
    set.chunks.reserve(paths.size());
    for (const std::string& path : paths) {
        Mix_Chunk* chunk = loadChunk(path);
        if (!chunk) continue;
        set.chunks.push_back(chunk);
        bufferToUnitType[chunk] = soundKey;
    }
}

static SoundCategory soundCategoryFromName(const std::string& name) {
    static const char* const names[] = {"Unit", "Building", "MapObject", "UnitAction", "BuildingAction", "Spells", "Game"};
    for (int i = 0; i < 7; ++i)
        if (name == names[i]) return static_cast<SoundCategory>(i);
    throw std::invalid_argument("Unknown SoundCategory: " + name);
}

// An entry is a list of variant files, or an object of named sounds each given as one file or a list.
static void loadSoundEntry(SoundCategory category, const std::string& name, const json& value) {
    if (value.is_array()) {
        loadSoundSet(category, name, value.get<std::vector<std::string>>());
        return;
    }
    if (!value.is_object()) {
        std::cerr << "Invalid sound format for " << name << "\n";
        return;
    }
    for (const auto& [member, files] : value.items()) {
        const std::string key = name + "." + member;
        if (files.is_string()) loadSoundSet(category, key, {files.get<std::string>()});
        else if (files.is_array()) loadSoundSet(category, key, files.get<std::vector<std::string>>());
        else std::cerr << "Invalid sound format for " << key << "\n";
    }
}

void initAudio(const std::string& path) {
    json doc;
    if (!readCatalogueFile(path, doc)) throw std::runtime_error("cannot open file");
    for (const auto& [key, value] : doc.items()) {
        if (key == "Music") {
            for (const std::string& track : value.get<std::vector<std::string>>()) musicTracks.push_back(track);
            continue;
        }
        const SoundCategory category = soundCategoryFromName(key);
        for (const auto& [name, entry] : value.items()) loadSoundEntry(category, name, entry);
    }
}

// ---- Sound requests ----

SoundPlayer soundPlayer;

void playSound(SoundCategory category, const std::string& key, bool positional, float x, float y, int limit) {
    if (soundPlayer) soundPlayer(category, key, positional, x, y, limit);
}

// ---- Key names ----

namespace {

template <size_t N>
std::string nameFrom(const char* const (&names)[N], int32_t value, const char* unknown) {
    return value >= 0 && static_cast<size_t>(value) < N ? names[value] : unknown;
}

}  // namespace

std::string soundKeyName(UnitAction action) {
    static const char* const names[] = {"Construct", "Sword", "CatapultFire", "CatapultHit", "Axe", "BowFire",
                                        "BowHit", "ChoppingTree", "ShipAttack", "TouchOfDarkness", "UnderAttack",
                                        "Shoot", "Laser", "Saber", "TankFire", "Drill"};
    return nameFrom(names, static_cast<int32_t>(action), "UnknownUnitAction");
}

std::string soundKeyName(BuildingAction action) {
    static const char* const names[] = {"Explosion", "Burning", "UnderAttack"};
    return nameFrom(names, static_cast<int32_t>(action), "UnknownBuildingAction");
}

std::string soundKeyName(Game game) {
    static const char* const names[] = {"Victory", "Defeat", "Error"};
    return nameFrom(names, static_cast<int32_t>(game), "UnknownGame");
}
