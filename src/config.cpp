// The configuration globals read from "src/config.txt", the values derived from them, the display mode and the theme.
#include "config.h"

#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unordered_map>
#include <variant>

#include "lockstep.h"
#include "map.h"

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

// Numbers outside these bounds overflow or divide by zero somewhere in the simulation; flags and texts have none.
struct ConfigKey {
    const char* name;
    ConfigTarget target;
    ConfigRange range;
};

constexpr ConfigRange anyValue{0.0, -1.0};

// Applied in this order, so a malformed value stops the keys after it.
const ConfigKey configKeys[] = {
    {"DEBUG_MODE", &DEBUG_MODE, anyValue},
    {"GOD_MODE", &GOD_MODE, anyValue},
    {"AI", &AI, anyValue},
    {"MODS", &MODS, anyValue},
    {"MAP_W", &MAP_W, {1, MAX_MAP_SIDE}},
    {"MAP_H", &MAP_H, {1, MAX_MAP_SIDE}},
    {"TILE_SIZE", &TILE_SIZE, {4, 512}},
    // The sub-tile grid is four by four everywhere.
    {"SUBDIVISIONS", &SUBDIVISIONS, {4, 4}},
    {"MAP_FILE", &MAP_FILE, anyValue},
    {"GAME_SPEED", WholeFloat{&GAME_SPEED}, {1, 16}},
    {"UNIT_SPEED", WholeFloat{&UNIT_SPEED}, {1, 1000}},
    {"CRYSTAL_MINING_TIME", WholeFloat{&CRYSTAL_MINING_TIME}, {0, 600}},
    {"AMBER_OIL_MINING_TIME", WholeFloat{&AMBER_OIL_MINING_TIME}, {0, 600}},
    {"WAYPOINT_EPS", WholeFloat{&WAYPOINT_EPS}, {0, 1000}},
    {"CANCEL_BUILDING_PERCENTAGE_LOSS", &CANCEL_BUILDING_PERCENTAGE_LOSS, {0, 1}},
    {"FULLSCREEN", &FULLSCREEN, anyValue},
    {"FOG", &FOG, anyValue},
    {"MUSIC", &MUSIC, anyValue},
    {"SOUNDS", &SOUNDS, anyValue},
    {"HUD_SIZE", WholeFloat{&HUD_SIZE}, {0, 4096}},
    {"MINIMAP_SIZE", &MINIMAP_SIZE, {0, 4096}},
    {"UNDER_ATTACK_COOLDOWN", &UNDER_ATTACK_COOLDOWN, {0, 3600}},
    {"ANTI_ALIASING", &ANTI_ALIASING, {0, 16}},
    {"LOGS", &LOGS, anyValue},
    {"DRAW_DEBUG_TILES", &DRAW_DEBUG_TILES, anyValue},
    {"VERSION", &VERSION, anyValue},
};

bool bounded(const ConfigRange& range) { return range.min <= range.max; }

void store(bool* target, const std::string& value) { *target = value == "true"; }
void store(int* target, const std::string& value) { *target = std::stoi(value); }
void store(WholeFloat target, const std::string& value) { *target.target = static_cast<float>(std::stoi(value)); }
void store(float* target, const std::string& value) { *target = std::stof(value); }
void store(std::string* target, const std::string& value) { *target = value; }

double numberIn(bool*) { return 0.0; }
double numberIn(int* target) { return *target; }
double numberIn(WholeFloat target) { return *target.target; }
double numberIn(float* target) { return *target; }
double numberIn(std::string*) { return 0.0; }

template <class T>
const void* address(T* target) {
    return target;
}
const void* address(WholeFloat target) { return target.target; }

struct ConfigValue {
    std::string text;
    int line = 0;
};

// Control bytes other than tabs and line ends mean the file is not a settings file at all.
bool isTextLine(const std::string& line) {
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && c != '\t' && c != '\r') return false;
        if (byte == 0x7f) return false;
    }
    return true;
}

std::unordered_map<std::string, ConfigValue> readKeyValues(std::istream& in) {
    std::unordered_map<std::string, ConfigValue> values;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!isTextLine(line)) throw ConfigError("line " + std::to_string(number) + " is not text");
        if (line.empty() || line[0] == '#') continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos || eq + 1 == line.size()) continue;
        values[line.substr(0, eq)] = {line.substr(eq + 1), number};
    }
    if (in.bad() || !in.eof()) throw ConfigError("cannot be read");
    return values;
}

void applyKey(const ConfigKey& key, const ConfigValue& value) {
    try {
        std::visit([&](auto target) { store(target, value.text); }, key.target);
    } catch (const std::logic_error&) {
        throw ConfigError("line " + std::to_string(value.line) + ": " + key.name + " is not a number: " + value.text);
    }
}

// A value absent from the file keeps the global's, which must then already lie in range.
void checkRange(const ConfigKey& key, const ConfigValue* given) {
    if (!bounded(key.range)) return;
    const double number = std::visit([](auto target) { return numberIn(target); }, key.target);
    if (number >= key.range.min && number <= key.range.max) return;
    const std::string where = given ? "line " + std::to_string(given->line) + ": " : "";
    const std::string what = given ? given->text : "missing";
    std::ostringstream bounds;
    bounds << key.range.min << " to " << key.range.max;
    throw ConfigError(where + key.name + " must be " + bounds.str() + ", not " + what);
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

bool configValueInRange(const void* global, double value) {
    for (const ConfigKey& known : configKeys)
        if (std::visit([](auto target) { return address(target); }, known.target) == global)
            return !bounded(known.range) || (value >= known.range.min && value <= known.range.max);
    return true;
}

void loadConfig(const std::string& filename) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(filename, error)) throw ConfigError("not found (or not a file)");
    std::ifstream in(filename, std::ios::binary);
    if (!in.is_open()) throw ConfigError("cannot be opened");
    const auto values = readKeyValues(in);
    for (const ConfigKey& key : configKeys) {
        const auto found = values.find(key.name);
        const ConfigValue* given = found == values.end() ? nullptr : &found->second;
        if (given) applyKey(key, *given);
        checkRange(key, given);
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
