// The configuration file reader, the values derived from it and the display-mode switch.
#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>
#include <string>

#include <SDL2/SDL.h>

#include "config.h"
#include "configuration_snapshot.h"
#include "test_files.h"

namespace {

// Starts from in-range values, so a test file need give only the keys it is about.
struct ConfigFile : ::testing::Test {
    TempDir dir;
    const EveryConfigurationValue saved = everyConfigurationValue();

    void TearDown() override { everyConfigurationValue() = saved; }

    void SetUp() override {
        DEBUG_MODE = GOD_MODE = AI = MODS = FULLSCREEN = FOG = MUSIC = SOUNDS = LOGS = DRAW_DEBUG_TILES = false;
        MAP_W = MAP_H = 64;
        TILE_SIZE = 140;
        SUBDIVISIONS = 4;
        MINIMAP_SIZE = 150;
        ANTI_ALIASING = 0;
        GAME_SPEED = UNIT_SPEED = 1.0f;
        CRYSTAL_MINING_TIME = AMBER_OIL_MINING_TIME = WAYPOINT_EPS = 2.0f;
        CANCEL_BUILDING_PERCENTAGE_LOSS = HUD_SIZE = UNDER_ATTACK_COOLDOWN = 0.0f;
        MAP_FILE.clear();
        VERSION.clear();
    }

    void load(const std::string& text) { loadConfig(dir.write("src/config.txt", text)); }

    std::string refusal(const std::string& text) {
        try {
            load(text);
        } catch (const ConfigError& e) {
            return e.what();
        }
        return "(accepted)";
    }
};

TEST_F(ConfigFile, SpeedAndTimeKeysKeepOnlyTheWholeNumber) {
    load("GAME_SPEED=1.5\nUNIT_SPEED=2.9\nCRYSTAL_MINING_TIME=2.5\nAMBER_OIL_MINING_TIME=3.7\n"
         "WAYPOINT_EPS=0.5\nHUD_SIZE=180.9\nCANCEL_BUILDING_PERCENTAGE_LOSS=0.25\nUNDER_ATTACK_COOLDOWN=1.5e1\n");
    EXPECT_EQ(GAME_SPEED, 1.0f);
    EXPECT_EQ(UNIT_SPEED, 2.0f);
    EXPECT_EQ(CRYSTAL_MINING_TIME, 2.0f);
    EXPECT_EQ(AMBER_OIL_MINING_TIME, 3.0f);
    EXPECT_EQ(WAYPOINT_EPS, 0.0f);
    EXPECT_EQ(HUD_SIZE, 180.0f);
    EXPECT_EQ(CANCEL_BUILDING_PERCENTAGE_LOSS, 0.25f);
    EXPECT_EQ(UNDER_ATTACK_COOLDOWN, 15.0f);
}

TEST_F(ConfigFile, IntegersStopAtTheFirstNonDigit) {
    load("MAP_W=64tiles\nMAP_H= +32\nTILE_SIZE=140\nMINIMAP_SIZE=7x\n");
    EXPECT_EQ(MAP_W, 64);
    EXPECT_EQ(MAP_H, 32);
    EXPECT_EQ(TILE_SIZE, 140);
    EXPECT_EQ(MINIMAP_SIZE, 7);
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

TEST_F(ConfigFile, KeysAreNeitherTrimmedNorFoldedAndTheLaterOfTwoWins) {
    FOG = true;
    TILE_SIZE = 99;
    load("TILE_SIZE =140\nmap_w=12\nVERSION=1.0=beta\nFOG=\n#MAP_H=10\n #MAP_H=20\nno equals sign\n=5\n"
         "MAP_FILE=first\nMAP_FILE=second\n");
    EXPECT_EQ(TILE_SIZE, 99);
    EXPECT_EQ(MAP_W, 64);
    EXPECT_EQ(MAP_H, 64);
    EXPECT_EQ(VERSION, "1.0=beta");
    EXPECT_EQ(MAP_FILE, "second");
    EXPECT_TRUE(FOG);
}

// Every refusal is one line that says where and why; the keys in the fixed order before the fault are applied.
TEST_F(ConfigFile, UnusableFilesAndValuesAreRefusedNamingLineAndKey) {
    const struct {
        const char* text;
        const char* refusal;
    } cases[] = {
        {"MAP_W=abc\n", "line 1: MAP_W is not a number: abc"},
        {"#\nCANCEL_BUILDING_PERCENTAGE_LOSS=half\n", "line 2: CANCEL_BUILDING_PERCENTAGE_LOSS is not a number: half"},
        {"TILE_SIZE=99999999999\n", "line 1: TILE_SIZE is not a number: 99999999999"},
        {"TILE_SIZE=2000000000\n", "line 1: TILE_SIZE must be 4 to 512, not 2000000000"},
        {"TILE_SIZE=0\n", "line 1: TILE_SIZE must be 4 to 512, not 0"},
        {"TILE_SIZE=-1\n", "line 1: TILE_SIZE must be 4 to 512, not -1"},
        {"SUBDIVISIONS=8\n", "line 1: SUBDIVISIONS must be 4 to 4, not 8"},
        {"GAME_SPEED=0\n", "line 1: GAME_SPEED must be 1 to 16, not 0"},
        {"UNIT_SPEED=0\n", "line 1: UNIT_SPEED must be 1 to 1000, not 0"},
        {"CANCEL_BUILDING_PERCENTAGE_LOSS=nan\n", "line 1: CANCEL_BUILDING_PERCENTAGE_LOSS must be 0 to 1, not nan"},
        {"UNDER_ATTACK_COOLDOWN=inf\n", "line 1: UNDER_ATTACK_COOLDOWN must be 0 to 3600, not inf"},
        {"MAP_W=2000\n", "line 1: MAP_W must be 1 to 1024, not 2000"},
        {"FOG=true\n\x01\x9b\xff\n", "line 2 is not text"},
    };
    for (const auto& c : cases) {
        SetUp();
        EXPECT_EQ(refusal(c.text), c.refusal) << c.text;
    }

    SetUp();
    TILE_SIZE = 0;
    EXPECT_EQ(refusal("VERSION=9\nDEBUG_MODE=true\n"), "TILE_SIZE must be 4 to 512, not missing");
    EXPECT_TRUE(DEBUG_MODE);
    EXPECT_EQ(VERSION, "");
    EXPECT_EQ(refusal("VERSION=9\nTILE_SIZE=64\n"), "(accepted)");
    EXPECT_EQ(VERSION, "9");

    EXPECT_EQ(refusal(""), "(accepted)") << "every global already in range";
    EXPECT_THROW(loadConfig((dir.path / "absent.txt").string()), ConfigError);
    EXPECT_THROW(loadConfig(dir.path.string()), ConfigError) << "a folder in the file's place";
}

// Each row: tile size, crystal and amber oil seconds, game speed; then the crystal and amber oil ticks and the
// sub-tile size they give. The ticks round in single precision, half away from zero, and saturate at speed 0.
TEST(DerivedValues, MiningTicksAndSubTileSizeFollowTheConfiguration) {
    const Configuration saved = valuesOf(configurationTuple());
    const struct {
        int tileSize;
        float crystal, amber, speed;
        int crystalTicks, amberTicks, subTile;
    } cases[] = {
        {140, 2.0f, 1.0f, 1.0f, 125, 62, 35},  // the float quotient lies just below 62.5
        {140, 5.0f, 2.0f, 2.0f, 156, 62, 35},       {140, 5.0f, 1.0f, 1.0f, 313, 62, 35},
        {140, 1.0f, 0.0f, 2.0f, 31, 0, 35},         {70, 0.0f, 0.0f, 1.0f, 0, 0, 17},
        {130, 0.0f, 0.0f, 1.0f, 0, 0, 32},          {140, 2.0f, 0.0f, 0.0f, INT_MAX, 0, 35},
        {140, -2.0f, 0.0f, 0.0f, INT_MIN, 0, 35},
    };
    for (const auto& c : cases) {
        TILE_SIZE = c.tileSize;
        CRYSTAL_MINING_TIME = c.crystal;
        AMBER_OIL_MINING_TIME = c.amber;
        GAME_SPEED = c.speed;
        deriveConfigValues();
        EXPECT_EQ(CRYSTAL_MINING_TICKS, c.crystalTicks) << c.crystal << " s at speed " << c.speed;
        EXPECT_EQ(AMBER_OIL_MINING_TICKS, c.amberTicks) << c.amber << " s at speed " << c.speed;
        EXPECT_EQ(SUB_TILE_SIZE, c.subTile) << c.tileSize;
    }
    configurationTuple() = saved;
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
