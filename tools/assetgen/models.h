// Solid models of units, buildings and map objects, posed per animation frame.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "scene.h"

struct Palette {
    Rgb primary, secondary, trim, skin, metal, glow, blood, dark;
    bool alien = false;
};
Palette racePalette(const std::string& race);

enum class BodyPlan { Soldier, Brute, Worker, Civilian, Tank, Artillery, Aircraft, Airship, Dragon, Bird, Boat, Sheep, Boar, Beast, Insect, Wraith, Mine };
enum class Weapon { None, Rifle, Sword, Axe, Blades, Pick, Spitter, Staff, Cannon };

struct UnitLook {
    BodyPlan plan = BodyPlan::Soldier;
    Weapon weapon = Weapon::None;
    Palette pal;
    float size = 1.0f;      // relative to a standard soldier
    bool carrying = false;  // a worker bringing a load home
    bool flying = false;
    uint32_t seed = 0;
    Rgb accent;             // per-type accent so types of one plan differ
};

// `info` is the unit's units.json record (may be null); `name` the sprite key.
UnitLook chooseUnitLook(const std::string& name, const std::string& race, const nlohmann::json& info, bool carrying);

struct Pose {
    bool moving = false;
    float walk = 0.0f;  // 0..1 through the walk cycle
    bool attacking = false;
    float attack = 0.0f;  // 0..1 through the swing or shot
    bool corpse = false;
    float dissolve = 0.0f;  // 0 solid .. 1 gone (teleport)
    int frame = 0;
};

// Builds the unit in model space (about one unit tall, feet at the origin, facing +x).
void buildUnit(Scene& s, const UnitLook& look, const Pose& pose);

struct BuildingLook {
    enum Kind { Hall, Supply, Barracks, Tower, Refinery, Dock, Workshop, Temple, Aviary, Wall } kind = Workshop;
    Palette pal;
    int tier = 0;
    uint32_t seed = 0;
};
BuildingLook chooseBuildingLook(const std::string& name, const std::string& race, const nlohmann::json& info);
// Builds on a footprint of w x h tiles in tile units (the caller's transform maps them to the screen),
// grid x along the world's down-right diagonal, origin at the footprint's top corner. `room` is the
// height in tile units that still fits the frame. Returns the materials that blink.
std::vector<int> buildBuilding(Scene& s, const BuildingLook& look, int w, int h, float room);
// Scaffolding (or a growing cocoon) around a half-built building.
void buildScaffold(Scene& s, const BuildingLook& look, int w, int h, float height);

// Map objects and decorations: centred on the origin, about one unit across.
void buildMapObject(Scene& s, const std::string& kind, uint32_t seed, int frame, int frames);
