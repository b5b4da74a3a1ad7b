// Shared fixtures of the catalogue tests: temporary content trees, small image and sound files, SDL set-up.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>
#include <SDL2/SDL_mixer.h>
#include <physfs.h>

#include "buildings.h"
#include "decorations.h"
#include "extraction.h"
#include "hotkeys.h"
#include "lockstep.h"
#include "map_objects.h"
#include "projectiles.h"
#include "races.h"
#include "sdl.h"
#include "sounds.h"
#include "special_effects.h"
#include "spells.h"
#include "sprites.h"
#include "tech_tree.h"
#include "test_files.h"
#include "textures.h"
#include "units.h"
#include "upgrades.h"

namespace catalogue_test {

namespace fs = std::filesystem;

inline void writeFile(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

inline void writePng(const std::string& path, int w, int h) {
    fs::create_directories(fs::path(path).parent_path());
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGBA32);
    SDL_FillRect(surface, nullptr, SDL_MapRGBA(surface->format, 200, 40, 40, 255));
    IMG_SavePNG(surface, path.c_str());
    SDL_FreeSurface(surface);
}

inline void put16(std::string& out, uint16_t v) {
    out += static_cast<char>(v & 0xff);
    out += static_cast<char>(v >> 8);
}

inline void put32(std::string& out, uint32_t v) {
    put16(out, static_cast<uint16_t>(v & 0xffff));
    put16(out, static_cast<uint16_t>(v >> 16));
}

// A short 16-bit stereo PCM tone at 44100 Hz.
inline void writeWav(const std::string& path) {
    const uint32_t frames = 441;
    const uint32_t dataBytes = frames * 4;
    std::string wav = "RIFF";
    put32(wav, 36 + dataBytes);
    wav += "WAVEfmt ";
    put32(wav, 16);
    put16(wav, 1);
    put16(wav, 2);
    put32(wav, 44100);
    put32(wav, 44100 * 4);
    put16(wav, 4);
    put16(wav, 16);
    wav += "data";
    put32(wav, dataBytes);
    for (uint32_t i = 0; i < frames * 2; ++i) put16(wav, static_cast<uint16_t>((i % 40) * 800));
    writeFile(path, wav);
}

inline uint32_t crc32(const std::string& data) {
    uint32_t crc = 0xffffffffu;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A ZIP archive of stored (uncompressed) files, the form PhysFS mounts.
inline void writeZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& files) {
    std::string body;
    std::string directory;
    for (const auto& [name, data] : files) {
        const uint32_t offset = static_cast<uint32_t>(body.size());
        std::string header;
        put16(header, 20);
        put16(header, 0);
        put16(header, 0);
        put16(header, 0);
        put16(header, 0);
        put32(header, crc32(data));
        put32(header, static_cast<uint32_t>(data.size()));
        put32(header, static_cast<uint32_t>(data.size()));
        put16(header, static_cast<uint16_t>(name.size()));
        put16(header, 0);
        body += "PK\x03\x04" + header + name + data;
        directory += "PK\x01\x02";
        put16(directory, 20);
        directory += header;
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, 0);
        put32(directory, offset);
        directory += name;
    }
    std::string end = "PK\x05\x06";
    put16(end, 0);
    put16(end, 0);
    put16(end, static_cast<uint16_t>(files.size()));
    put16(end, static_cast<uint16_t>(files.size()));
    put32(end, static_cast<uint32_t>(directory.size()));
    put32(end, static_cast<uint32_t>(body.size()));
    put16(end, 0);
    writeFile(path, body + directory + end);
}

inline void freeSoundSets() {
    for (auto& [key, set] : soundSets)
        for (Mix_Chunk* chunk : set.chunks) Mix_FreeChunk(chunk);
    soundSets.clear();
}

// Every table the catalogue fills, back to its start-up state.
inline void resetCatalogues() {
    races.clear();
    raceOrder.clear();
    unitInfo.clear();
    unitSprites.clear();
    buildingSprites.clear();
    cursors.clear();
    tilesSprites.clear();
    buildingInfo.clear();
    buildingRequirements.clear();
    unitRequirements.clear();
    buildingUnits.clear();
    upgrades.clear();
    upgradeTextures.clear();
    buildingResearchTree.clear();
    upgradeRequirements.clear();
    buildingHotkeys.clear();
    unitHotkeys.clear();
    freeSoundSets();
    musicTracks.clear();
    mainMenuTracks.clear();
    spellInfo.clear();
    spellTextures.clear();
    spellPortraitTextures.clear();
    projectileInfo.clear();
    techTree.clear();
    mapObjectInfo.clear();
    mapObjectsSprites.clear();
    decorationsSprites.clear();
    specialEffectsSprites.clear();
    items_info.clear();
    item_sprites.clear();
    mainMenuBackgroundTexture = nullptr;
    lockstep.pendingCommands.clear();
    selectedSpell.clear();
    spellCtx = SpellContext{};
}

// A software renderer on the dummy video driver, installed as the global renderer.
class SoftwareRenderer {
public:
    SoftwareRenderer() {
        SDL_InitSubSystem(SDL_INIT_VIDEO);
        window_ = SDL_CreateWindow("test", 0, 0, 64, 64, SDL_WINDOW_HIDDEN);
        renderer = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    }
    ~SoftwareRenderer() {
        releaseTextures();
        SDL_DestroyRenderer(renderer);
        renderer = nullptr;
        SDL_DestroyWindow(window_);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    SoftwareRenderer(const SoftwareRenderer&) = delete;
    SoftwareRenderer& operator=(const SoftwareRenderer&) = delete;

private:
    SDL_Window* window_ = nullptr;
};

// The mixer opened on the dummy audio driver; loaded sound sets are freed with it.
class OpenAudio {
public:
    OpenAudio() {
        SDL_InitSubSystem(SDL_INIT_AUDIO);
        opened_ = Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 2048) == 0;
    }
    ~OpenAudio() {
        freeSoundSets();
        if (opened_) Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    OpenAudio(const OpenAudio&) = delete;
    OpenAudio& operator=(const OpenAudio&) = delete;
    bool opened() const { return opened_; }

private:
    bool opened_ = false;
};

inline int textureWidth(SDL_Texture* texture) {
    int w = 0;
    SDL_QueryTexture(texture, nullptr, nullptr, &w, nullptr);
    return w;
}

inline int textureHeight(SDL_Texture* texture) {
    int h = 0;
    SDL_QueryTexture(texture, nullptr, nullptr, nullptr, &h);
    return h;
}

}  // namespace catalogue_test
