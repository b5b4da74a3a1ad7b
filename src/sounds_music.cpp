// Music: one track at a time from the main-menu or the in-game list, restarted while match frames run.
#include <iostream>

#include "sounds.h"
#include "sounds_internal.h"
#include "textures.h"

bool musicActive = true;
int currentMusicContext = MusicNone;
Mix_Music* backgroundMusic = nullptr;
Mix_Music* mainMenuMusic = nullptr;

namespace {

// The mixer streams from these while their track plays; each is refilled only after its track is freed.
std::vector<unsigned char> backgroundBuffer;
std::vector<unsigned char> mainMenuBuffer;

struct PlayList {
    std::vector<std::string>& tracks;
    Mix_Music*& music;
    std::vector<unsigned char>& buffer;
    int context;
};

PlayList inGame{musicTracks, backgroundMusic, backgroundBuffer, MusicInGame};
PlayList mainMenu{mainMenuTracks, mainMenuMusic, mainMenuBuffer, MusicMainMenu};

void freeMusic(Mix_Music*& music) {
    if (music) Mix_FreeMusic(music);
    music = nullptr;
}

void playRandom(PlayList& list) {
    if (!musicActive || list.tracks.empty()) return;
    currentMusicContext = list.context;
    if (!audioOpen()) return;
    while (!list.tracks.empty()) {
        const size_t pick = audioRandom()() % list.tracks.size();
        if (playMusicFromBuffer(list.tracks[pick], list.music, list.buffer)) return;
        std::cerr << "Failed to load music: " << list.tracks[pick] << "\n";
        list.tracks.erase(list.tracks.begin() + static_cast<std::ptrdiff_t>(pick));
    }
}

void toggle(PlayList& list) {
    musicActive = !musicActive;
    if (musicActive) {
        playRandom(list);
        return;
    }
    Mix_HaltMusic();
    currentMusicContext = MusicNone;
}

}  // namespace

bool playMusicFromBuffer(const std::string& path, Mix_Music*& music, std::vector<unsigned char>& buffer) {
    // Freed before the buffer under it is refilled.
    freeMusic(music);
    if (!readAssetFile(path, buffer) || buffer.empty()) return false;
    SDL_RWops* stream = SDL_RWFromConstMem(buffer.data(), static_cast<int>(buffer.size()));
    music = stream ? Mix_LoadMUS_RW(stream, 1) : nullptr;
    if (!music) return false;
    if (musicActive) Mix_PlayMusic(music, 1);
    return true;
}

void playRandomBackgroundMusic() { playRandom(inGame); }
void playRandomMainMenuMusic() { playRandom(mainMenu); }
void toggleBackgroundMusic() { toggle(inGame); }
void toggleMainMenuMusic() { toggle(mainMenu); }

void keepMusicGoing() {
    if (!musicActive || currentMusicContext == MusicNone || Mix_PlayingMusic()) return;
    playRandom(currentMusicContext == MusicInGame ? inGame : mainMenu);
}

void releaseMusic() {
    Mix_HaltMusic();
    freeMusic(backgroundMusic);
    freeMusic(mainMenuMusic);
}
