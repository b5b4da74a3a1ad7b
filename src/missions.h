// Missions: the JSON mission file, its objectives checked every tick, the objectives panel and the starting units.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

struct Objective {
    std::string id;
    std::string description;
    std::string type;    // "build", "train" or "destroy"; any other kind is never met
    std::string target;  // a building type, or the unit type of "train"
    int count = 0;
    int current = 0;  // the last count a "train" check found
    bool done = false;
};

struct EntitySpawn {
    std::string type;
    int x = 0;  // tile; the unit stands in the tile's top-left sub-tile
    int y = 0;
    std::string owner;  // "enemy" for the computer player, anything else for the local player
};

struct Mission {
    std::string name;
    std::string map;
    int mapWidth = 0;
    int mapHeight = 0;
    std::string description;
    std::vector<EntitySpawn> startingUnits;
    std::vector<Objective> objectives;
    std::string luaScript;
    std::string aiType;
};

// Lists longer than these are refused as malformed.
constexpr size_t MAX_MISSION_OBJECTIVES = 64;
constexpr size_t MAX_MISSION_STARTING_UNITS = 1024;

extern Mission currentMission;
extern bool missionActive;

// The mission of a parsed document; a missing key or a value of the wrong type throws std::runtime_error naming
// the key. Starting units are read except in an Extraction session.
Mission parseMission(const nlohmann::json& doc);
// Nothing, with one line naming the file and the fault, for a file that cannot be read or is malformed.
std::optional<Mission> loadMission(const std::string& path);

bool isObjectiveDone(Objective& objective);
// Every objective unmet again, as a new world of the mission is built: a replay sought backward or a session
// started anew meets them again, on the same ticks as the first time.
void restartObjectives(Mission& mission);
// Marks the objectives met since the last check, in list order, and tells the script of each.
void checkObjectives(Mission& mission);
// The panel of the current mission's objectives, drawn over the HUD; nothing without a renderer.
void renderMissionUI();
// The current mission's starting units; none in an Extraction session.
void initMissionUnits();
