// Units: the unit catalogue, the unit record and registry, and the per-tick unit behaviour.
#pragma once

#include <cstdint>

enum class UnitCategory : int32_t { Ground = 0, Air = 1, Naval = 2 };

enum class AttackType : int32_t { None = 0, Melee = 1, Ranged = 2, Instant = 3, Siege = 4 };

enum class UnitState : int32_t {
    Idle = 1,
    HoldPosition = 3,
    ReturningCargo = 4,
    Moving = 5,
    Attacking = 6,
    OrderedMove = 7,
    AttackMoving = 8,
    Teleporting = 10,
};

// A delivered AmberOil load adds to wood, a Crystal load to gold.
enum class ResourceType : int32_t { None = 0, AmberOil = 1, Crystal = 2 };

// ---- Stand-in until the world model lands: the unit catalogue fields and the unit record fields the content
// catalogue uses. Replaced whole on merge by the units component's own definitions.
#include <string>
#include <unordered_map>

#include "map.h"

struct UnitInfo {
    std::string race = "Unknown";
    UnitCategory category = UnitCategory::Ground;
    AttackType attackType = AttackType::None;
    Tile walkable = Tile::Grass;
    int hp = 10;
    int damage = 1;
    int piercing = 0;
    float range = 1.0f;
    int sight = 5;
    int wTiles = 1;
    int hTiles = 1;
    int subtiles = 1;
    int foodCost = 0;
    float movementSpeed = 1.0f;
    float attackSpeed = 1.0f;
    bool canAttack = true;
    bool worker = false;
    bool civilian = false;
    bool carrier = false;
    int attackTargets = 0;
};

extern std::unordered_map<std::string, UnitInfo> unitInfo;

void loadUnitInfo(const std::string& path, const std::string& race);
UnitCategory stringToUnitCategory(const std::string& text);

struct Unit {
    int id = -1;
    int playerId = -1;
    float x = 0.0f;
    float y = 0.0f;
    std::string type;
};
// ---- End of stand-in.
