// Missions: the JSON mission file, its objectives checked every tick, the objectives panel and the starting units.
#include "missions.h"

#include <climits>
#include <cmath>
#include <fstream>
#include <iostream>
#include <map>
#include <stdexcept>

#include "buildings.h"
#include "game_state.h"
#include "map.h"
#include "mod_manager.h"
#include "player.h"
#include "sdl.h"
#include "sdl_text.h"
#include "units.h"

Mission currentMission;
bool missionActive = false;

namespace {

using nlohmann::json;

[[noreturn]] void refuse(const std::string& where, const std::string& key, const char* fault) {
    throw std::runtime_error(where + "key \"" + key + "\" " + fault);
}

const json& required(const json& object, const std::string& where, const std::string& key) {
    if (!object.is_object()) throw std::runtime_error(where + "is not an object");
    const auto found = object.find(key);
    if (found == object.end()) refuse(where, key, "is missing");
    return *found;
}

std::string requiredString(const json& object, const std::string& where, const std::string& key) {
    const json& value = required(object, where, key);
    if (!value.is_string()) refuse(where, key, "must be a string");
    return value.get<std::string>();
}

// A boolean reads as 0 or 1 and a fraction is truncated; a number beyond an int is refused.
int asInt(const json& value, const std::string& where, const std::string& key) {
    if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
    if (!value.is_number()) refuse(where, key, "must be a number");
    const double number = value.get<double>();
    if (!std::isfinite(number) || number < INT_MIN || number > INT_MAX) refuse(where, key, "is out of range");
    if (value.is_number_float()) return static_cast<int>(number);
    if (value.is_number_unsigned()) return static_cast<int>(value.get<uint64_t>());
    return static_cast<int>(value.get<int64_t>());
}

int requiredInt(const json& object, const std::string& where, const std::string& key) {
    return asInt(required(object, where, key), where, key);
}

int optionalInt(const json& object, const std::string& where, const std::string& key) {
    if (!object.is_object()) throw std::runtime_error(where + "is not an object");
    const auto found = object.find(key);
    return found == object.end() ? 0 : asInt(*found, where, key);
}

std::string optionalString(const json& object, const std::string& key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// The elements of an array key; a missing key or null gives none.
const json* listOf(const json& doc, const std::string& key, size_t limit) {
    const auto found = doc.find(key);
    if (found == doc.end() || found->is_null()) return nullptr;
    if (!found->is_array()) refuse("", key, "must be an array");
    if (found->size() > limit) refuse("", key, "lists too many entries");
    return &*found;
}

std::string elementPlace(const std::string& key, size_t index) { return key + "[" + std::to_string(index) + "]: "; }

Objective readObjective(const json& element, const std::string& where) {
    Objective o;
    o.id = requiredString(element, where, "id");
    o.type = requiredString(element, where, "type");
    o.target = requiredString(element, where, "target");
    o.count = optionalInt(element, where, "count");
    o.description = requiredString(element, where, "description");
    return o;
}

EntitySpawn readSpawn(const json& element, const std::string& where) {
    EntitySpawn s;
    s.type = requiredString(element, where, "type");
    s.x = optionalInt(element, where, "x");
    s.y = optionalInt(element, where, "y");
    s.owner = requiredString(element, where, "owner");
    return s;
}

bool localPlayerHasBuilt(Objective& o) { return getBuildingCount(o.target, Player::myStaticId) > 0; }

bool localPlayerHasTrained(Objective& o) {
    o.current = getUnitCount(o.target, Player::myStaticId);
    return o.current >= o.count;
}

// Without a computer player there is nothing to destroy, so the objective cannot be met.
bool computerPlayerHasLost(Objective& o) {
    return getPlayerById(Player::aiId) && getBuildingCount(o.target, Player::aiId) == 0;
}

using ObjectiveTest = bool (*)(Objective&);

const std::map<std::string, ObjectiveTest> objectiveTests = {
    {"build", localPlayerHasBuilt},
    {"train", localPlayerHasTrained},
    {"destroy", computerPlayerHasLost},
};

}  // namespace

Mission parseMission(const json& doc) {
    Mission m;
    m.name = requiredString(doc, "", "name");
    m.map = requiredString(doc, "", "map");
    m.mapWidth = requiredInt(doc, "", "mapWidth");
    m.mapHeight = requiredInt(doc, "", "mapHeight");
    m.description = requiredString(doc, "", "description");
    m.aiType = requiredString(doc, "", "aiType");
    if (const json* list = listOf(doc, "objectives", MAX_MISSION_OBJECTIVES))
        for (size_t i = 0; i < list->size(); ++i)
            m.objectives.push_back(readObjective((*list)[i], elementPlace("objectives", i)));
    if (mode != GameMode::Extraction)
        if (const json* list = listOf(doc, "startingUnits", MAX_MISSION_STARTING_UNITS))
            for (size_t i = 0; i < list->size(); ++i)
                m.startingUnits.push_back(readSpawn((*list)[i], elementPlace("startingUnits", i)));
    m.luaScript = optionalString(doc, "luaScript");
    return m;
}

std::optional<Mission> loadMission(const std::string& path) {
    std::ifstream in(path);
    if (!in.is_open()) {
        std::cerr << "[JSON ERROR] Failed to open file: " << path << "\n";
        return std::nullopt;
    }
    try {
        return parseMission(json::parse(in));
    } catch (const std::exception& e) {
        std::cerr << "Mission " << path << " refused: " << e.what() << "\n";
        return std::nullopt;
    }
}

bool isObjectiveDone(Objective& objective) {
    const auto test = objectiveTests.find(objective.type);
    return test != objectiveTests.end() && test->second(objective);
}

void restartObjectives(Mission& mission) {
    for (Objective& objective : mission.objectives) {
        objective.done = false;
        objective.current = 0;
    }
}

void checkObjectives(Mission& mission) {
    for (Objective& objective : mission.objectives) {
        if (objective.done || !isObjectiveDone(objective)) continue;
        objective.done = true;
        modManager.callLua("onObjectiveComplete", objective.id);
    }
}

void renderMissionUI() {
    if (!renderer) return;
    static constexpr SDL_Color GOLD{255, 215, 0, 255};
    static constexpr SDL_Color GREEN{0, 255, 0, 255};
    static constexpr SDL_Color WHITE{255, 255, 255, 255};
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 160);
    const SDL_Rect panel{10, 70, 200, 140};
    SDL_RenderFillRect(renderer, &panel);
    DrawText("MISSION OBJECTIVES", 20, 80, GOLD, 16, false);
    int y = 110;
    for (const Objective& o : currentMission.objectives) {
        std::string line = "- " + o.description;
        if (o.count >= 1) line += " (" + std::to_string(o.current) + "/" + std::to_string(o.count) + ")";
        DrawText(line, 20, y, o.done ? GREEN : WHITE, 12, false);
        y += 24;
    }
}

void initMissionUnits() {
    if (mode == GameMode::Extraction) return;
    for (const EntitySpawn& spawn : currentMission.startingUnits) {
        // A place off the map or a type the catalogue lacks would put a unit nowhere: skipped with one line.
        if (!isValidTile({spawn.x, spawn.y}) || !unitInfo.count(spawn.type)) {
            std::cerr << "Mission unit skipped: " << spawn.type << " at " << spawn.x << " " << spawn.y << "\n";
            continue;
        }
        const int owner = spawn.owner == "enemy" ? Player::aiId : Player::myStaticId;
        const int id = spawnUnitAt(spawn.type, owner, {static_cast<float>(spawn.x), static_cast<float>(spawn.y)});
        if (Unit* unit = getUnitById(id); unit && unit->type == "LatchedMine") unit->untargetable = true;
    }
}
