// Player orders as plain records: the code of each order and the record it carries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

// The order code of the command log, the wire and the unit order queues.
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
    // Appended after the original codes, so logs written before stay readable.
    Hold = 20,
    Stop = 21,
    Construct = 22,
    // Not an order: the command log's record that a peer left, at the turn this peer took it. It has no order
    // record, so the wire refuses it and a reader that does not know it reads it as no order.
    PlayerLeft = 23,
    // Not an order either: the log's record of the strategy a peer drew when it took the computer player over,
    // so a resumed save gives the computer the same one at the same turn. A reader that does not know the code
    // reads it as no order, and the wire refuses it.
    ComputerTakeover = 24,
};

struct MoveCommand {
    std::vector<int> unitIds;
    int x = 0;
    int y = 0;
    bool shiftHeld = false;
};

struct SpawnCommand {
    std::string unitType;
};

struct MineCommand {
    int unitId = 0;
    int targetX = 0;
    int targetY = 0;
    int mapObjectId = 0;
};

struct PlaceBuildingDownCommand {
    std::string buildingType;
    int targetX = 0;
    int targetY = 0;
    int unitId = 0;
};

struct TrainUnitCommand {
    int buildingId = 0;
    std::string unitType;
};

struct AttackCommand {
    int unitId = 0;
    int targetId = 0;
};

struct SetRallyPointCommand {
    int buildingId = 0;
    int targetX = 0;
    int targetY = 0;
};

struct CarrierPickUpCommand {
    int unitId = 0;
    int carrierId = 0;
};

struct CarrierDropOffCommand {
    int unitId = 0;
    int carrierId = 0;
};

struct CastSpellCommand {
    int unitId = 0;
    int targetId = 0;
    int targetX = 0;
    int targetY = 0;
    std::string spell;
    bool shiftHeld = false;
};

struct StopProductionCommand {
    int buildingId = 0;
    int index = 0;  // slot in the production queue
};

struct StopConstructionCommand {
    int buildingId = 0;
};

struct ResearchUpgradeCommand {
    int buildingId = 0;
    std::string upgradeType;
};

struct ChatMessageCommand {
    std::string message;
};

struct PingCommand {};

struct PongCommand {};

struct AttackMove {
    int unitId = 0;
    int x = 0;
    int y = 0;
    bool shiftHeld = false;
};

struct PickUpCommand {
    int unitId = 0;
    int itemId = 0;
};

struct PauseGameCommand {
    int timestamp = 0;
};

struct ResumeGameCommand {
    int timestamp = 0;
};

// The hold and stop keys: the listed units of the issuing player stop where they stand; hold also keeps them there.
struct HoldCommand {
    std::vector<int> unitIds;
};

struct StopCommand {
    std::vector<int> unitIds;
};

// A worker sent to build or repair a building of its own player.
struct ConstructCommand {
    int unitId = 0;
    int buildingId = 0;
};

// The computer player's strategy from the turn it was taken over, by the name the log header uses ("rush"...).
struct ComputerTakeoverCommand {
    std::string strategy;
};

// The alternative index selects the handler, so the order of alternatives is fixed; index 0 is "no order".
using CommandPayload =
    std::variant<std::monostate, MoveCommand, SpawnCommand, MineCommand, PlaceBuildingDownCommand, TrainUnitCommand,
                 AttackCommand, SetRallyPointCommand, CarrierPickUpCommand, CarrierDropOffCommand, CastSpellCommand,
                 StopProductionCommand, StopConstructionCommand, ResearchUpgradeCommand, ChatMessageCommand,
                 PingCommand, PongCommand, AttackMove, PickUpCommand, PauseGameCommand, ResumeGameCommand,
                 HoldCommand, StopCommand, ConstructCommand, ComputerTakeoverCommand>;

// A list of order record types.
template <class... Records>
struct CommandRecordList {};

// The order record of each type code, in code order; the wire codec reads commands by it.
using RecordsByCommandType =
    CommandRecordList<MoveCommand, SpawnCommand, MineCommand, PlaceBuildingDownCommand, TrainUnitCommand, AttackCommand,
                      SetRallyPointCommand, CarrierPickUpCommand, CarrierDropOffCommand, CastSpellCommand,
                      StopProductionCommand, StopConstructionCommand, ResearchUpgradeCommand, ChatMessageCommand,
                      PauseGameCommand, ResumeGameCommand, PingCommand, PongCommand, AttackMove, PickUpCommand,
                      HoldCommand, StopCommand, ConstructCommand>;

// A list with more records after its own.
template <class List, class... More>
struct WithRecords;
template <class... Records, class... More>
struct WithRecords<CommandRecordList<Records...>, More...> {
    using type = CommandRecordList<Records..., More...>;
};

// The record of each type code a command log holds: the orders', then the leave's (none) and the takeover's.
using RecordsByLoggedType = WithRecords<RecordsByCommandType, std::monostate, ComputerTakeoverCommand>::type;

struct Command {
    // Codes outside the table can arrive from a file or the wire and are kept as read.
    CommandType type = CommandType::Move;
    int player = 0;
    CommandPayload payload;
};

// ---- Applying commands ----

struct Grid;

// Most orders a unit keeps queued (attack-moves and casts waiting their turn); an order past it is refused, so no
// stream of orders grows a queue without bound.
constexpr size_t MAX_QUEUED_ORDERS = 64;

// Set by the pause order, cleared by the resume order; while set, live turns apply only those two.
extern bool paused;
// The last measured network round trip in milliseconds.
extern int latencyMs;

// Carries out one order against the world; an accepted order is appended to the open command log unless it
// comes from a replay or a resumed save (isReplay). nowMs is the session clock, meant for the pong order's round
// trip; no order reads it, since the pong record carries no send time to measure from.
void applyCommand(const Command& cmd, Grid& grid, int nowMs, bool isReplay);

// Whether the order may be applied while the game is paused.
bool isPauseCommand(const Command& cmd);

// A live turn's orders in their order; while paused only pause and resume orders are applied, the others are
// dropped. Whether paused is read again before each order.
void applyLiveTurn(const std::vector<Command>& cmds, Grid& grid, int nowMs);

// Plans a group's paths along one leader path: the unit nearest the goal searches the whole way, every unit
// then searches a short way to a point ahead on that path and keeps the path to follow afterwards.
void processGroupMove2(const MoveCommand& cmd, Grid& grid);
