// The race loading chain, the Race record, and the value readers every catalogue loader shares.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include <nlohmann/json.hpp>

struct Race {
    std::string name;
    std::string displayName;
    std::vector<std::string> unitTypes;
    std::vector<std::string> buildingTypes;
    std::string uiTheme = "default";
    std::string musicSet = "default";
    std::string cursor = "default";
};

extern std::unordered_map<std::string, Race> races;
// Race names in load order; never cleared, so a second load appends them again.
extern std::vector<std::string> raceOrder;

// A catalogue file that stops start-up; its text names the file and the fault on one line.
struct CatalogueError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Fills every catalogue from the race folders (a mod's copy of each file first) and then the shared folder
// "global". Race folders are visited in ascending name order so every peer builds the same race order.
// A malformed file raises CatalogueError.
void loadAllRaces(const std::string& modsFolder, const std::string& modName, const std::string& baseFolder);

// A hash, in hex, of the catalogue files the last loadAllRaces read whose catalogues the tick reads, each with its
// race folder and name, in chain order; before any load, the hash of no file. Peers with equal ones play alike.
extern std::string contentFingerprint;

// Start-up's call: a CatalogueError or file-system error is one line on the error stream and false, and start-up
// then ends the program with exit code 1.
bool loadAllRacesOrReport(const std::string& modsFolder, const std::string& modName, const std::string& baseFolder);

void loadRace(const std::string& path);

// The race's worker type, the lowest type name first when there are several; empty when none.
std::string workerTypeOfRace(const std::string& race);

// Largest magnitude of a number read by key; beyond it the file is refused naming the key.
constexpr double CATALOGUE_NUMBER_MAX = 1000000.0;

// Reading catalogue values. Numbers read as integers are cut toward zero; true and false count as 1 and 0;
// a number outside the 32-bit range or a value of another JSON type raises an error that ends start-up.
// A key read from a value that is not an object raises the library's type error.
int32_t jsonToInt(const nlohmann::json& value);
float jsonToFloat(const nlohmann::json& value);
int32_t jsonInt(const nlohmann::json& object, const char* key, int32_t fallback);
float jsonFloat(const nlohmann::json& object, const char* key, float fallback);
bool jsonBool(const nlohmann::json& object, const char* key, bool fallback);
std::string jsonString(const nlohmann::json& object, const char* key, const std::string& fallback);
// An absent or null key gives the empty list.
std::vector<std::string> jsonStrings(const nlohmann::json& object, const char* key);
// A missing key raises the library's "type must be ..., but is null" error.
int32_t requiredInt(const nlohmann::json& object, const char* key);
std::string requiredString(const nlohmann::json& object, const char* key);
std::vector<std::string> requiredStrings(const nlohmann::json& object, const char* key);
void requireObject(const nlohmann::json& value);

// Parses a catalogue file as one strict JSON document; false when the file cannot be opened.
bool readCatalogueFile(const std::string& path, nlohmann::json& document);
