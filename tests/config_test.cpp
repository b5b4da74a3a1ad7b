// The configuration file reader, the values derived from it and the display-mode switch.
#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>
#include <string>

#include <SDL2/SDL.h>

#include "config.h"
#include "test_files.h"

namespace {

struct ConfigFile : ::testing::Test {
    TempDir dir;

    void SetUp() override {
        DEBUG_MODE = GOD_MODE = AI = MODS = FULLSCREEN = FOG = MUSIC = SOUNDS = LOGS = DRAW_DEBUG_TILES = false;
        MAP_W = MAP_H = TILE_SIZE = SUBDIVISIONS = MINIMAP_SIZE = ANTI_ALIASING = 0;
        GAME_SPEED = UNIT_SPEED = CRYSTAL_MINING_TIME = AMBER_OIL_MINING_TIME = WAYPOINT_EPS = 0.0f;
        CANCEL_BUILDING_PERCENTAGE_LOSS = HUD_SIZE = UNDER_ATTACK_COOLDOWN = 0.0f;
        MAP_FILE.clear();
        VERSION.clear();
    }

    void load(const std::string& text) { loadConfig(dir.write("src/config.txt", text)); }
};

TEST_F(ConfigFile, SpeedAndTimeKeysKeepOnlyTheWholeNumber) {
    load("GAME_SPEED=1.5\nUNIT_SPEED=2.9\nCRYSTAL_MINING_TIME=2.5\nAMBER_OIL_MINING_TIME=-3.7\n"
         "WAYPOINT_EPS=0.5\nHUD_SIZE=180.9\nCANCEL_BUILDING_PERCENTAGE_LOSS=0.25\nUNDER_ATTACK_COOLDOWN=1.5e1\n");
    EXPECT_EQ(GAME_SPEED, 1.0f);
    EXPECT_EQ(UNIT_SPEED, 2.0f);
    EXPECT_EQ(CRYSTAL_MINING_TIME, 2.0f);
    EXPECT_EQ(AMBER_OIL_MINING_TIME, -3.0f);
    EXPECT_EQ(WAYPOINT_EPS, 0.0f);
    EXPECT_EQ(HUD_SIZE, 180.0f);
    EXPECT_EQ(CANCEL_BUILDING_PERCENTAGE_LOSS, 0.25f);
    EXPECT_EQ(UNDER_ATTACK_COOLDOWN, 15.0f);
}

TEST_F(ConfigFile, IntegersStopAtTheFirstNonDigit) {
    load("MAP_W=64tiles\nMAP_H= +32\nTILE_SIZE=140\nMINIMAP_SIZE=-7x\n");
    EXPECT_EQ(MAP_W, 64);
    EXPECT_EQ(MAP_H, 32);
    EXPECT_EQ(TILE_SIZE, 140);
    EXPECT_EQ(MINIMAP_SIZE, -7);
}

TEST_F(ConfigFile, OnlyTheExactTextTrueSetsABool) {
    load("FOG=True\nMUSIC=1\nSOUNDS=true \nAI=TRUE\nMODS=yes\nLOGS=true\nGOD_MODE= true\n");
    EXPECT_FALSE(FOG);
    EXPECT_FALSE(MUSIC);
    EXPECT_FALSE(SOUNDS);
    EXPECT_FALSE(AI);
    EXPECT_FALSE(MODS);
    EXPECT_FALSE(GOD_MODE);
    EXPECT_TRUE(LOGS);
}

TEST_F(ConfigFile, CarriageReturnsStayInTheValue) {
    load("FOG=true\r\nTILE_SIZE=140\r\nMAP_FILE=fight\r\nVERSION=0.1\r\n");
    EXPECT_FALSE(FOG);
    EXPECT_EQ(TILE_SIZE, 140);
    EXPECT_EQ(MAP_FILE, "fight\r");
    EXPECT_EQ(VERSION, "0.1\r");
}

TEST_F(ConfigFile, TheLaterOfTwoEqualKeysWins) {
    load("TILE_SIZE=64\nMAP_FILE=first\nTILE_SIZE=140\nMAP_FILE=second\n");
    EXPECT_EQ(TILE_SIZE, 140);
    EXPECT_EQ(MAP_FILE, "second");
}

TEST_F(ConfigFile, KeysAndValuesAreNeitherTrimmedNorFolded) {
    FOG = true;
    TILE_SIZE = 99;
    load("TILE_SIZE =140\nmap_w=64\nVERSION=1.0=beta\nFOG=\n#MAP_H=10\n #MAP_H=20\nno equals sign\n=5\n");
    EXPECT_EQ(TILE_SIZE, 99);
    EXPECT_EQ(MAP_W, 0);
    EXPECT_EQ(MAP_H, 0);
    EXPECT_EQ(VERSION, "1.0=beta");
    EXPECT_TRUE(FOG);
}

TEST_F(ConfigFile, MissingFileChangesNothingAndSaysSo) {
    TILE_SIZE = 77;
    testing::internal::CaptureStderr();
    loadConfig((dir.path / "src/config.txt").string());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Config file not found, using defaults\n");
    EXPECT_EQ(TILE_SIZE, 77);
}

TEST_F(ConfigFile, MalformedNumbersRaiseTheConversionErrors) {
    try {
        load("MAP_W=abc\n");
        FAIL() << "no exception";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "stoi");
    }
    try {
        load("CANCEL_BUILDING_PERCENTAGE_LOSS=half\n");
        FAIL() << "no exception";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "stof");
    }
    EXPECT_THROW(load("GAME_SPEED=fast\n"), std::invalid_argument);
    EXPECT_THROW(load("TILE_SIZE=99999999999\n"), std::out_of_range);
}

TEST_F(ConfigFile, KeysBeforeAMalformedOneInTheFixedOrderAreApplied) {
    // File order is irrelevant: the keys are applied in their fixed order, DEBUG_MODE first and VERSION last.
    EXPECT_THROW(load("VERSION=9\nMAP_H=bad\nDEBUG_MODE=true\nMAP_W=12\n"), std::invalid_argument);
    EXPECT_TRUE(DEBUG_MODE);
    EXPECT_EQ(MAP_W, 12);
    EXPECT_EQ(VERSION, "");
}

struct DerivedValues : ::testing::Test {
    void derive(int tileSize, float crystalSeconds, float amberSeconds, float speed) {
        TILE_SIZE = tileSize;
        CRYSTAL_MINING_TIME = crystalSeconds;
        AMBER_OIL_MINING_TIME = amberSeconds;
        GAME_SPEED = speed;
        deriveConfigValues();
    }
};

TEST_F(DerivedValues, MiningTicksUseSinglePrecisionAndRoundHalfAway) {
    derive(140, 2.0f, 1.0f, 1.0f);
    EXPECT_EQ(CRYSTAL_MINING_TICKS, 125);
    EXPECT_EQ(AMBER_OIL_MINING_TICKS, 62);  // the float quotient lies just below 62.5
    derive(140, 5.0f, 2.0f, 2.0f);
    EXPECT_EQ(CRYSTAL_MINING_TICKS, 156);
    EXPECT_EQ(AMBER_OIL_MINING_TICKS, 62);
    derive(140, 5.0f, 1.0f, 1.0f);
    EXPECT_EQ(CRYSTAL_MINING_TICKS, 313);
    derive(140, 1.0f, 0.0f, 2.0f);
    EXPECT_EQ(CRYSTAL_MINING_TICKS, 31);
    EXPECT_EQ(AMBER_OIL_MINING_TICKS, 0);
}

TEST_F(DerivedValues, SubTileSizeIsAQuarterTruncated) {
    derive(140, 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(SUB_TILE_SIZE, 35);
    derive(70, 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(SUB_TILE_SIZE, 17);
    derive(130, 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(SUB_TILE_SIZE, 32);
}

TEST_F(DerivedValues, ZeroGameSpeedSaturatesInsteadOfOverflowing) {
    derive(140, 2.0f, 0.0f, 0.0f);
    EXPECT_EQ(CRYSTAL_MINING_TICKS, INT_MAX);
    EXPECT_EQ(AMBER_OIL_MINING_TICKS, 0);
    derive(140, -2.0f, 0.0f, 0.0f);
    EXPECT_EQ(CRYSTAL_MINING_TICKS, INT_MIN);
}

TEST(DisplayMode, TogglingTwiceReturnsToAWindow) {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_Window* window = SDL_CreateWindow("Corvale", 0, 0, 1280, 720, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    isFullscreen = false;
    toggleDisplayMode(window);
    EXPECT_TRUE(isFullscreen);
    EXPECT_NE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    toggleDisplayMode(window);
    EXPECT_FALSE(isFullscreen);
    EXPECT_EQ(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN, 0u);
    SDL_DestroyWindow(window);
    SDL_Quit();
}

}  // namespace
