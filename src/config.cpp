// The configuration globals read from "src/config.txt", the values derived from them, the display mode and the theme.
#include "config.h"

#include <climits>
#include <cmath>
#include <fstream>
#include <iostream>
#include <unordered_map>
#include <variant>

#include "lockstep.h"

bool DEBUG_MODE = false;
bool GOD_MODE = false;
bool AI = false;
bool MODS = false;
int MAP_W = 0;
int MAP_H = 0;
int TILE_SIZE = 0;
int SUBDIVISIONS = 0;
std::string MAP_FILE;
float GAME_SPEED = 0.0f;
float UNIT_SPEED = 0.0f;
float CRYSTAL_MINING_TIME = 0.0f;
float AMBER_OIL_MINING_TIME = 0.0f;
float WAYPOINT_EPS = 0.0f;
float CANCEL_BUILDING_PERCENTAGE_LOSS = 0.0f;
bool FULLSCREEN = false;
bool FOG = false;
bool MUSIC = false;
bool SOUNDS = false;
float HUD_SIZE = 0.0f;
int MINIMAP_SIZE = 0;
float UNDER_ATTACK_COOLDOWN = 0.0f;
int ANTI_ALIASING = 0;
bool LOGS = false;
bool DRAW_DEBUG_TILES = false;
std::string VERSION;

int SUB_TILE_SIZE = 0;
int CRYSTAL_MINING_TICKS = 0;
int AMBER_OIL_MINING_TICKS = 0;

bool isFullscreen = false;

namespace {

// A float key whose text is read as an integer first, so "1.5" gives 1.
struct WholeFloat {
    float* target;
};

using ConfigTarget = std::variant<bool*, int*, WholeFloat, float*, std::string*>;

struct ConfigKey {
    const char* name;
    ConfigTarget target;
};

// Applied in this order, so a malformed value stops the keys after it.
const ConfigKey configKeys[] = {
    {"DEBUG_MODE", &DEBUG_MODE},
    {"GOD_MODE", &GOD_MODE},
    {"AI", &AI},
    {"MODS", &MODS},
    {"MAP_W", &MAP_W},
    {"MAP_H", &MAP_H},
    {"TILE_SIZE", &TILE_SIZE},
    {"SUBDIVISIONS", &SUBDIVISIONS},
    {"MAP_FILE", &MAP_FILE},
    {"GAME_SPEED", WholeFloat{&GAME_SPEED}},
    {"UNIT_SPEED", WholeFloat{&UNIT_SPEED}},
    {"CRYSTAL_MINING_TIME", WholeFloat{&CRYSTAL_MINING_TIME}},
    {"AMBER_OIL_MINING_TIME", WholeFloat{&AMBER_OIL_MINING_TIME}},
    {"WAYPOINT_EPS", WholeFloat{&WAYPOINT_EPS}},
    {"CANCEL_BUILDING_PERCENTAGE_LOSS", &CANCEL_BUILDING_PERCENTAGE_LOSS},
    {"FULLSCREEN", &FULLSCREEN},
    {"FOG", &FOG},
    {"MUSIC", &MUSIC},
    {"SOUNDS", &SOUNDS},
    {"HUD_SIZE", WholeFloat{&HUD_SIZE}},
    {"MINIMAP_SIZE", &MINIMAP_SIZE},
    {"UNDER_ATTACK_COOLDOWN", &UNDER_ATTACK_COOLDOWN},
    {"ANTI_ALIASING", &ANTI_ALIASING},
    {"LOGS", &LOGS},
    {"DRAW_DEBUG_TILES", &DRAW_DEBUG_TILES},
    {"VERSION", &VERSION},
};

void store(bool* target, const std::string& value) { *target = value == "true"; }
void store(int* target, const std::string& value) { *target = std::stoi(value); }
void store(WholeFloat target, const std::string& value) { *target.target = static_cast<float>(std::stoi(value)); }
void store(float* target, const std::string& value) { *target = std::stof(value); }
void store(std::string* target, const std::string& value) { *target = value; }

std::unordered_map<std::string, std::string> readKeyValues(std::istream& in) {
    std::unordered_map<std::string, std::string> values;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos || eq + 1 == line.size()) continue;
        values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

// An infinite or huge quotient (GAME_SPEED 0) saturates instead of an undefined float-to-int conversion.
int roundToTicks(float seconds) {
    const float ticks = roundf(seconds / TURN_LENGTH / GAME_SPEED);
    if (std::isnan(ticks)) return 0;
    if (ticks >= 2147483648.0f) return INT_MAX;
    if (ticks < -2147483648.0f) return INT_MIN;
    return static_cast<int>(ticks);
}

}  // namespace

void loadConfig(const std::string& filename) {
    std::ifstream in(filename);
    if (!in.is_open()) {
        std::cerr << "Config file not found, using defaults\n";
        return;
    }
    const auto values = readKeyValues(in);
    for (const ConfigKey& key : configKeys) {
        const auto found = values.find(key.name);
        if (found == values.end()) continue;
        std::visit([&](auto target) { store(target, found->second); }, key.target);
    }
}

void deriveConfigValues() {
    SUB_TILE_SIZE = TILE_SIZE / 4;
    CRYSTAL_MINING_TICKS = roundToTicks(CRYSTAL_MINING_TIME);
    AMBER_OIL_MINING_TICKS = roundToTicks(AMBER_OIL_MINING_TIME);
}

void toggleDisplayMode(SDL_Window* window) {
    isFullscreen = !isFullscreen;
    if (isFullscreen) {
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        return;
    }
    SDL_SetWindowFullscreen(window, 0);
    SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
}
