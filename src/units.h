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
