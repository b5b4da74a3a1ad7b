// Player orders: the command records and their type codes.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

// The order code of the command log, the wire and unit order queues.
enum class CommandType : int32_t {
    Move = 0,
    Spawn = 1,
    Mine = 2,
    PlaceBuildingDown = 3,
    TrainUnit = 4,
    Attack = 5,
    SetRallyPoint = 6,
    CarrierPickUp = 7,
    CarrierDropOff = 8,
    CastSpell = 9,
    StopProduction = 10,
    StopConstruction = 11,
    ResearchUpgrade = 12,
    ChatMessage = 13,
    PauseGame = 14,
    ResumeGame = 15,
    Ping = 16,
    Pong = 17,
    AttackMove = 18,
    PickUp = 19,
};

// ---- Stand-in until the command model lands: only the order records the hotkeys queue. Replaced whole by the
// full variant of twenty records.
struct TrainUnitCommand {
    int32_t buildingId = -1;
    std::string unitType;
};

struct ResearchUpgradeCommand {
    int32_t buildingId = -1;
    std::string upgradeType;
};

struct CastSpellCommand {
    int32_t unitId = -1;
    int32_t targetId = -1;
    int32_t targetX = 0;
    int32_t targetY = 0;
    std::string spell;
    bool shiftHeld = false;
};

struct Command {
    CommandType type = CommandType::Move;
    int32_t player = -1;
    int32_t reserved = 0;  // carries nothing
    std::variant<std::monostate, TrainUnitCommand, ResearchUpgradeCommand, CastSpellCommand> data;
};
// ---- End of stand-in.
