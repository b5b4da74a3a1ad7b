// The race loading chain, the Race record, and the value readers every catalogue loader shares.
#include "races.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <set>

#include "buildings.h"
#include "decorations.h"
#include "extraction.h"
#include "hotkeys.h"
#include "map_objects.h"
#include "projectiles.h"
#include "sounds.h"
#include "special_effects.h"
#include "spells.h"
#include "sprites.h"
#include "tech_tree.h"
#include "textures.h"
#include "units.h"
#include "upgrades.h"
#include "utils.h"

using nlohmann::json;
namespace fs = std::filesystem;

std::unordered_map<std::string, Race> races;
std::vector<std::string> raceOrder;
std::string contentFingerprint = Utils::hexFingerprint(Utils::FNV_START);

void requireObject(const json& value) {
    if (!value.is_object())
        throw json::type_error::create(306, std::string("cannot use value() with ") + value.type_name(), &value);
}

int32_t jsonToInt(const json& value) {
    if (value.is_number_float()) {
        const double number = value.get<double>();
        // The cut toward zero must land inside the 32-bit range; NaN fails both tests.
        if (!(number > -2147483649.0 && number < 2147483648.0))
            throw std::out_of_range("number out of range: " + value.dump());
        return static_cast<int32_t>(number);
    }
    if (value.is_number_unsigned()) {
        if (value.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
            throw std::out_of_range("number out of range: " + value.dump());
        return static_cast<int32_t>(value.get<uint64_t>());
    }
    if (value.is_number_integer()) {
        const int64_t number = value.get<int64_t>();
        if (number < std::numeric_limits<int32_t>::min() || number > std::numeric_limits<int32_t>::max())
            throw std::out_of_range("number out of range: " + value.dump());
        return static_cast<int32_t>(number);
    }
    return value.get<int32_t>();
}

float jsonToFloat(const json& value) {
    if (value.is_number()) {
        const double number = value.get<double>();
        if (std::fabs(number) > static_cast<double>(std::numeric_limits<float>::max()))
            throw std::out_of_range("number out of range: " + value.dump());
        return static_cast<float>(number);
    }
    return value.get<float>();
}

// Larger catalogue numbers only overflow the simulation's arithmetic (a sight squared, a cost times a count).
static const json& boundedNumber(const char* key, const json& value) {
    if (value.is_number() && !(std::fabs(value.get<double>()) <= CATALOGUE_NUMBER_MAX))
        throw CatalogueError(std::string("\"") + key + "\" " + value.dump() + " is beyond the largest catalogue number " +
                             std::to_string(static_cast<long>(CATALOGUE_NUMBER_MAX)));
    return value;
}

int32_t jsonInt(const json& object, const char* key, int32_t fallback) {
    requireObject(object);
    const auto it = object.find(key);
    return it == object.end() ? fallback : jsonToInt(boundedNumber(key, *it));
}

float jsonFloat(const json& object, const char* key, float fallback) {
    requireObject(object);
    const auto it = object.find(key);
    return it == object.end() ? fallback : jsonToFloat(boundedNumber(key, *it));
}

bool jsonBool(const json& object, const char* key, bool fallback) {
    requireObject(object);
    const auto it = object.find(key);
    return it == object.end() ? fallback : it->get<bool>();
}

std::string jsonString(const json& object, const char* key, const std::string& fallback) {
    requireObject(object);
    const auto it = object.find(key);
    return it == object.end() ? fallback : it->get<std::string>();
}

std::vector<std::string> jsonStrings(const json& object, const char* key) {
    requireObject(object);
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) return {};
    return it->get<std::vector<std::string>>();
}

static const json& requiredValue(const json& object, const char* key) {
    static const json absent;
    requireObject(object);
    const auto it = object.find(key);
    return it == object.end() ? absent : *it;
}

int32_t requiredInt(const json& object, const char* key) {
    return jsonToInt(boundedNumber(key, requiredValue(object, key)));
}

std::string requiredString(const json& object, const char* key) {
    return requiredValue(object, key).get<std::string>();
}

std::vector<std::string> requiredStrings(const json& object, const char* key) {
    return requiredValue(object, key).get<std::vector<std::string>>();
}

bool readCatalogueFile(const std::string& path, json& document) {
    std::ifstream in(path);
    if (!in.is_open()) return false;
    document = json::parse(in);
    return true;
}

void loadRace(const std::string& path) {
    const json doc = Utils::loadJsonFile(path);
    if (doc.empty()) {
        std::cerr << "Race data is empty. Check file: " << path << "\n";
        return;
    }
    Race race;
    race.name = requiredString(doc, "name");
    race.displayName = jsonString(doc, "displayName", race.name);
    race.unitTypes = doc.value("unitTypes", std::vector<std::string>{});
    race.buildingTypes = doc.value("buildingTypes", std::vector<std::string>{});
    race.uiTheme = jsonString(doc, "uiTheme", "default");
    race.musicSet = jsonString(doc, "musicSet", "default");
    race.cursor = jsonString(doc, "cursor", "default");
    races[race.name] = race;
    raceOrder.push_back(race.name);
}

// The shared settings of the front end: main-menu music and background.
static void loadGlobal(const std::string& path) {
    json doc;
    if (!readCatalogueFile(path, doc)) throw std::runtime_error("cannot open file");
    for (const auto& [key, value] : doc.items()) {
        if (key == "MainMenuMusic") {
            if (value.is_string()) mainMenuTracks.push_back(value.get<std::string>());
            else if (!value.is_null())
                for (const json& track : value) mainMenuTracks.push_back(track.get<std::string>());
        } else if (key == "MainMenuBackground") {
            mainMenuBackgroundTexture = LoadTexture(value.get<std::string>());
        }
    }
}

namespace {

struct RaceFileLoader {
    const char* file;
    void (*load)(const std::string& path, const std::string& race);
    // The tick reads what it loads: peers whose files differ would play apart. Pictures, sounds, cursors and keys
    // are only drawn, played or pressed.
    bool tickReads;
};

// The per-race chain, in its fixed order.
const RaceFileLoader raceChain[] = {
    {"race.json", [](const std::string& p, const std::string&) { loadRace(p); }, true},
    {"cursors.json", [](const std::string& p, const std::string&) { loadCursorSprites(p); }, false},
    {"units.json", [](const std::string& p, const std::string& race) { loadUnitInfo(p, race); }, true},
    // The hit frame of a swing and the phases of a teleport come from the unit pictures' records.
    {"sprites.json", [](const std::string& p, const std::string&) { loadUnitSprites(p); }, true},
    {"buildings.json", [](const std::string& p, const std::string& race) { loadBuildings(p, race); }, true},
    {"buildings_sprites.json", [](const std::string& p, const std::string&) { loadBuildingSprites(p); }, false},
    {"building_units.json", [](const std::string& p, const std::string&) { loadBuildingUnits(p); }, true},
    {"unit_requirements.json", [](const std::string& p, const std::string&) { loadUnitRequirements(p); }, true},
    {"upgrades.json", [](const std::string& p, const std::string&) { loadUpgradesFromJson(p); }, true},
    {"hotkeys.json", [](const std::string& p, const std::string&) { loadHotkeys(p); }, false},
    {"sounds.json", [](const std::string& p, const std::string&) { initAudio(p); }, false},
    {"spells.json", [](const std::string& p, const std::string&) { loadSpells(p); }, true},
    {"projectiles.json", [](const std::string& p, const std::string&) { loadProjectiles(p); }, true},
    {"building_requirements.json", [](const std::string& p, const std::string&) { loadBuildingRequirements(p); }, true},
    {"tech.json", [](const std::string& p, const std::string&) { loadTechFromJson(p); }, true},
};

struct SharedFileLoader {
    const char* file;
    void (*load)(const std::string& path);
    bool tickReads;  // as for the race chain; the effects' pictures only time what is drawn
};

// The shared folder's chain, run after the last race.
const SharedFileLoader sharedChain[] = {
    {"global.json", loadGlobal, false},
    {"tiles_sprites.json", loadTilesSprites, false},
    {"map_objects.json", loadMapObjects, true},
    {"map_objects_sprites.json", loadMapObjectsSprites, false},
    {"decorations_sprites.json", loadDecorationsSprites, false},
    {"effects_sprites.json", loadSpecialEffectsSprites, false},
    {"items.json", loadItemsFromJson, true},
};

struct RaceFolders {
    std::string mod;
    std::string base;  // empty when no base content folder was given

    // A mod's copy wins, file by file; empty when neither folder holds the file.
    std::string resolve(const std::string& race, const std::string& file) const {
        const std::string modPath = mod + "/" + race + "/" + file;
        if (fs::exists(modPath)) return modPath;
        if (base.empty()) return "";
        const std::string basePath = base + "/" + race + "/" + file;
        return fs::exists(basePath) ? basePath : "";
    }
};

void addSubfolderNames(const std::string& folder, std::set<std::string>& names) {
    if (!fs::exists(folder)) return;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        if (entry.is_directory()) names.insert(entry.path().filename().string());
}

// The content print goes on with a file the tick reads: where it lies in the chain, then its bytes.
uint64_t addToPrint(uint64_t print, const std::string& folder, const char* file, const std::string& path) {
    std::string bytes;
    Utils::readBoundedFile(path, std::numeric_limits<std::uintmax_t>::max(), bytes);
    const std::string place = folder + "/" + file + "\n";
    print = Utils::fnv1a(print, place.data(), place.size());
    return Utils::fnv1a(print, bytes.data(), bytes.size());
}

// Gives a loader's error the file it came from, so start-up can name it.
template <typename Load>
void runLoader(const std::string& path, Load load) {
    if (path.empty()) return;
    try {
        load();
    } catch (const std::exception& e) {
        throw CatalogueError(path + ": " + e.what());
    }
}

}  // namespace

void loadAllRaces(const std::string& modsFolder, const std::string& modName, const std::string& baseFolder) {
    RaceFolders folders;
    folders.mod = modsFolder + "/" + modName + "/data/races";
    folders.base = baseFolder.empty() ? "" : baseFolder + "/data/races";

    // Sorted, not hashed: the visiting order reaches raceOrder and so the lobby and every peer.
    std::set<std::string> raceNames;
    addSubfolderNames(folders.mod, raceNames);
    if (!folders.base.empty()) addSubfolderNames(folders.base, raceNames);

    races.clear();
    unitInfo.clear();
    unitSprites.clear();
    buildingInfo.clear();
    buildingSprites.clear();
    unitRequirements.clear();
    upgrades.clear();

    std::vector<std::string> sharedPaths;
    for (const SharedFileLoader& loader : sharedChain) sharedPaths.push_back(folders.resolve("global", loader.file));

    uint64_t print = Utils::FNV_START;
    for (const std::string& race : raceNames) {
        std::vector<std::string> paths;
        for (const RaceFileLoader& loader : raceChain) paths.push_back(folders.resolve(race, loader.file));
        for (size_t i = 0; i < paths.size(); ++i) {
            runLoader(paths[i], [&] { raceChain[i].load(paths[i], race); });
            if (raceChain[i].tickReads && !paths[i].empty())
                print = addToPrint(print, race, raceChain[i].file, paths[i]);
        }
    }
    for (size_t i = 0; i < sharedPaths.size(); ++i) {
        runLoader(sharedPaths[i], [&] { sharedChain[i].load(sharedPaths[i]); });
        if (sharedChain[i].tickReads && !sharedPaths[i].empty())
            print = addToPrint(print, "global", sharedChain[i].file, sharedPaths[i]);
    }
    contentFingerprint = Utils::hexFingerprint(print);
}

bool loadAllRacesOrReport(const std::string& modsFolder, const std::string& modName, const std::string& baseFolder) {
    try {
        loadAllRaces(modsFolder, modName, baseFolder);
        return true;
    } catch (const std::exception& e) {
        std::string line = e.what();
        for (char& c : line)
            if (c == '\n' || c == '\r') c = ' ';
        std::cerr << "Content error: " << line << std::endl;
        return false;
    }
}

// Scans the whole catalogue and keeps the lowest matching name, so hash order never decides.
std::string workerTypeOfRace(const std::string& race) {
    const std::string* chosen = nullptr;
    for (const auto& [type, info] : unitInfo)
        if (info.race == race && info.worker && (!chosen || type < *chosen)) chosen = &type;
    return chosen ? *chosen : std::string();
}
