// Sound effects through the mixer: opening audio, the per-key repeat limit, placement against the view, the channel scan.
#include <algorithm>
#include <cmath>
#include <iostream>
#include <random>

#include "map.h"
#include "sdl_draw.h"
#include "sounds.h"
#include "sounds_internal.h"

bool soundEffects = true;
std::unordered_map<SoundKey, bool, SoundKeyHash> soundKeyPlaying;

std::minstd_rand& audioRandom() {
    // Audio runs per frame and must not draw from the simulation's generators.
    static std::minstd_rand generator{std::random_device{}()};
    return generator;
}

bool audioOpen() { return Mix_QuerySpec(nullptr, nullptr, nullptr) != 0; }

bool openAudio() {
    if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 2048) != 0) {
        std::cerr << "Mix_OpenAudio failed: " << Mix_GetError() << "\n";
        return false;
    }
    soundPlayer = playSoundEffect;
    return true;
}

void closeAudio() {
    soundPlayer = nullptr;
    releaseMusic();
    releaseSoundSets();
    if (audioOpen()) Mix_CloseAudio();
}

void toggleSoundEffects() { soundEffects = !soundEffects; }

void playSoundEffect(SoundCategory category, const std::string& key, bool positional, float x, float y, int limit) {
    if (!soundEffects) return;
    const SoundKey soundKey{category, key};
    const auto playing = soundKeyPlaying.find(soundKey);
    const int sounding = playing != soundKeyPlaying.end() && playing->second ? 1 : 0;
    if (limit <= sounding) return;
    const auto set = soundSets.find(soundKey);
    if (set == soundSets.end() || set->second.chunks.empty()) return;
    const std::vector<Mix_Chunk*>& chunks = set->second.chunks;
    playSoundBuffer(chunks[audioRandom()() % chunks.size()], positional, x, y);
    soundKeyPlaying[soundKey] = true;
}

SoundPlacement soundPlacement(float x, float y) {
    const SDL_FPoint source = worldToIso(SDL_FPoint{x, y});
    const float dx = source.x - camera.centerX;
    const float dy = source.y - camera.centerY;
    const float d = std::sqrt(dx * dx + dy * dy);
    const float s = d > 0.0f ? dx / d : 0.0f;
    SoundPlacement placement;
    placement.distance = static_cast<uint8_t>(std::min(d / 800.0f, 1.0f) * 255.0f);
    placement.left = static_cast<uint8_t>((1.0f - s) * 255.0f * 0.5f);
    placement.right = static_cast<uint8_t>((1.0f + s) * 255.0f * 0.5f);
    return placement;
}

void playSoundBuffer(const Mix_Chunk* chunk, bool positional, float x, float y) {
    if (!soundEffects || !chunk) return;
    Mix_Chunk* playable = const_cast<Mix_Chunk*>(chunk);
    int channel = Mix_PlayChannel(-1, playable, 0);
    // Every channel busy: the newest sound cuts off channel 0.
    if (channel < 0) channel = Mix_PlayChannel(0, playable, 0);
    if (channel < 0) return;
    const SoundPlacement placement = positional ? soundPlacement(x, y) : SoundPlacement{};
    Mix_SetPanning(channel, placement.left, placement.right);
    Mix_SetDistance(channel, placement.distance);
}

void updateSounds() {
    soundKeyPlaying.clear();
    // A closed mixer keeps its channel count but not its channels.
    if (!audioOpen()) return;
    const int channels = Mix_AllocateChannels(-1);
    for (int channel = 0; channel < channels; ++channel) {
        if (!Mix_Playing(channel)) continue;
        const SoundKey* key = soundKeyOfChunk(Mix_GetChunk(channel));
        if (key) soundKeyPlaying[*key] = true;
    }
    keepMusicGoing();
}
