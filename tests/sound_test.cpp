// Sound effects and music through the mixer on the dummy audio driver: sets, repeat limits, placement, play lists.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>
#include <physfs.h>

#include <algorithm>
#include <string>

#include "config.h"
#include "map.h"
#include "sdl_draw.h"
#include "sounds.h"
#include "test_files.h"
#include "textures.h"

namespace {

// Two seconds of quiet 16-bit stereo at 44100 Hz, long enough to still sound when the test looks.
std::string quietWav() {
    const uint32_t dataBytes = 44100 * 4 * 2;
    std::string wav = "RIFF";
    const auto put = [&wav](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) wav.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    put(36 + dataBytes, 4);
    wav += "WAVEfmt ";
    put(16, 4);
    put(1, 2);
    put(2, 2);
    put(44100, 4);
    put(44100 * 4, 4);
    put(4, 2);
    put(16, 2);
    wav += "data";
    put(dataBytes, 4);
    wav.append(dataBytes, '\1');
    return wav;
}

struct Audio : ::testing::Test {
    TempDir dir;

    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
        dir.write("a.wav", quietWav());
        dir.write("b.wav", quietWav());
        dir.write("bad.wav", "RIFF but nothing a mixer can decode");
        ASSERT_TRUE(mountAssets(dir.path.string()));
        ASSERT_TRUE(openAudio());
        soundEffects = true;
        musicActive = true;
        currentMusicContext = MusicNone;
        TILE_SIZE = 64;
        camera = Camera{};
    }
    void TearDown() override {
        closeAudio();
        soundKeyPlaying.clear();
        musicTracks.clear();
        mainMenuTracks.clear();
        PHYSFS_deinit();
        SDL_Quit();
    }
};

TEST_F(Audio, SetKeepsTheFilesThatLoadAndNamesEachOneThatDoesNot) {
    ::testing::internal::CaptureStderr();
    loadSoundSet(SoundCategory::Unit, "knight.ready", {"a.wav", "missing.wav", "bad.wav", "b.wav"});
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(soundSets[(SoundKey{SoundCategory::Unit, "knight.ready"})].chunks.size(), 2u);
    EXPECT_EQ(err.find("[WARNING] PhysFS failed to load: missing.wav\n"), 0u) << err;
    EXPECT_NE(err.find("[ERROR] Failed to load sound: bad.wav | SDL_mixer: "), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;
}

TEST_F(Audio, RepeatLimitCountsWhatIsSoundingThisFrame) {
    loadSoundSet(SoundCategory::UnitAction, "Sword", {"a.wav", "b.wav"});
    struct Case {
        int limit;
        int playing;
    } cases[] = {{0, 0}, {1, 1}, {2, 2}};
    for (const Case& c : cases) {
        Mix_HaltChannel(-1);
        updateSounds();
        playSound(SoundCategory::UnitAction, UnitAction::Sword, false, 0.0f, 0.0f, c.limit);
        playSound(SoundCategory::UnitAction, "Sword", false, 0.0f, 0.0f, c.limit);
        EXPECT_EQ(Mix_Playing(-1), c.playing) << "limit " << c.limit;
    }
    updateSounds();
    EXPECT_TRUE(soundKeyPlaying[(SoundKey{SoundCategory::UnitAction, "Sword"})]);

    Mix_HaltChannel(-1);
    updateSounds();
    toggleSoundEffects();
    playSound(SoundCategory::UnitAction, UnitAction::Sword, false, 0.0f, 0.0f, 2);
    EXPECT_EQ(Mix_Playing(-1), 0);
    EXPECT_TRUE(soundKeyPlaying.empty());
    EXPECT_EQ(soundKeyName(static_cast<UnitAction>(16)), "UnknownUnitAction");
    EXPECT_EQ(soundKeyName(Game::Defeat), "Defeat");
}

TEST_F(Audio, PanFollowsTheHorizontalOffsetFromTheViewCentre) {
    const SDL_FPoint centre = worldToIso(SDL_FPoint{640, 640});
    camera.centerX = centre.x;
    camera.centerY = centre.y;
    struct Case {
        float x, y;
        int left, right, distance;
    } cases[] = {
        {640, 640, 127, 127, 0},      // at the centre
        {840, 440, 0, 255, 63},       // straight right on screen
        {440, 840, 255, 0, 63},       // straight left
        {840, 840, 127, 127, 31},     // straight below: centred
        {2240, 2240, 127, 127, 255},  // far away
    };
    for (const Case& c : cases) {
        const SoundPlacement p = soundPlacement(c.x, c.y);
        EXPECT_EQ(p.left, c.left) << c.x << "," << c.y;
        EXPECT_EQ(p.right, c.right) << c.x << "," << c.y;
        EXPECT_EQ(p.distance, c.distance) << c.x << "," << c.y;
    }
}

TEST_F(Audio, TogglingMusicMovesItsContext) {
    musicTracks = {"a.wav"};
    mainMenuTracks = {"b.wav"};
    playRandomMainMenuMusic();
    EXPECT_EQ(currentMusicContext, MusicMainMenu);
    EXPECT_TRUE(Mix_PlayingMusic());
    toggleBackgroundMusic();
    EXPECT_EQ(currentMusicContext, MusicNone);
    EXPECT_FALSE(Mix_PlayingMusic());
    playRandomBackgroundMusic();
    EXPECT_EQ(currentMusicContext, MusicNone);
    toggleBackgroundMusic();
    EXPECT_EQ(currentMusicContext, MusicInGame);
    EXPECT_TRUE(Mix_PlayingMusic());
    toggleMainMenuMusic();
    toggleMainMenuMusic();
    EXPECT_EQ(currentMusicContext, MusicMainMenu);

    toggleBackgroundMusic();
    musicTracks.clear();
    toggleBackgroundMusic();
    EXPECT_EQ(currentMusicContext, MusicNone);
}

TEST_F(Audio, TrackThatFailsIsDroppedNotRetriedEveryFrame) {
    musicTracks = {"missing.ogg", "bad.wav"};
    ::testing::internal::CaptureStderr();
    playRandomBackgroundMusic();
    for (int frame = 0; frame < 5; ++frame) updateSounds();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(musicTracks.empty());
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;
    EXPECT_NE(err.find("missing.ogg"), std::string::npos);
    EXPECT_EQ(currentMusicContext, MusicInGame);
    EXPECT_FALSE(Mix_PlayingMusic());
}

TEST(NoAudioDevice, GameStaysSilentAndGoesOn) {
    ASSERT_EQ(SDL_Init(0), 0);
    soundPlayer = playSoundEffect;
    loadSoundSet(SoundCategory::Game, "Victory", {"a.wav"});
    playSound(SoundCategory::Game, Game::Victory, true, 0.0f, 0.0f, 1);
    mainMenuTracks = {"a.wav"};
    playRandomMainMenuMusic();
    updateSounds();
    EXPECT_EQ(mainMenuTracks.size(), 1u);
    closeAudio();
    mainMenuTracks.clear();
    SDL_Quit();
}

}  // namespace
