// A received turn packet of arbitrary bytes: decoding it must stay within the bytes, and what it decodes must
// survive being written and read again unchanged; a host's exchange fed them by a client must keep to its rules,
// and apply no more of a turn than the work of one turn; its orders, applied to a small match, must run without a
// fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <vector>

#include <SDL2/SDL.h>

#include "buildings.h"
#include "config.h"
#include "game.h"
#include "game_commands_wire.h"
#include "lockstep_exchange.h"
#include "map_objects.h"
#include "player.h"
#include "spells.h"
#include "tech_tree.h"
#include "units.h"

namespace {

void decodeAndEncode(const uint8_t* data, size_t size) {
    NetPacket packet;
    packet.type = static_cast<uint8_t>(PacketType::TurnCommands);
    packet.data.assign(data, data + size);
    Turn turn;
    if (!readTurnPacket(packet, turn)) return;
    if (packet.readPos > packet.data.size()) abort();
    NetPacket again = writeTurnPacket(turn);
    Turn back;
    if (!readTurnPacket(again, back) || back.commands.size() != turn.commands.size()) abort();
    if (writeTurnPacket(back).data != again.data) abort();
}

// Keeps the client's applied orders of each turn.
class Keep : public TurnRunner {
public:
    std::vector<std::vector<Command>> turns{1};
    bool isPaused() const override { return false; }
    void apply(const Command& cmd) override {
        if (cmd.player == 2) turns.back().push_back(cmd);
    }
    void tick() override { turns.emplace_back(); }
    void playerLeft(int) override {}
};

// The host stores turns only of its own player and of the client's, and no turn holds more than one packet may.
void feedHost(const std::vector<uint8_t>& stream) {
    LockstepManager manager;
    NetworkManager host, client;
    host.isHost = true;
    auto [ours, theirs] = makeMemoryLinkPair();
    client.addConnection(std::move(theirs));
    host.bindConnection(host.addConnection(std::move(ours)), 2);
    client.connections.front().link->send(stream);
    Keep runner;
    for (int frame = 0; frame < 3; ++frame) manager.step(TURN_LENGTH, 0, 1, {1, 2}, host, runner);
    for (const std::vector<Command>& applied : runner.turns)
        if (ordersWithinTurnWork(applied) != applied.size()) abort();
    for (const auto& [player, byTurn] : manager.turns) {
        if (player != 1 && player != 2) abort();
        for (const auto& [tick, turn] : byTurn)
            if (turn.commands.size() > static_cast<size_t>(MAX_TURN_COMMANDS)) abort();
    }
}

// A worker that builds farms, a soldier that casts, a carrier, a barracks that trains soldiers, and crystal.
void defineCatalogue() {
    UnitInfo& worker = unitInfo["Worker"];
    worker.type = "Worker";
    worker.worker = true;
    worker.buildMenu = {"Farm"};
    unitInfo["Marine"].type = "Marine";
    UnitInfo& transport = unitInfo["Transport"];
    transport.type = "Transport";
    transport.carrier = true;
    transport.walkable = Tile::Any;
    unitRequirements["Marine"] = UnitRequirement{};
    for (const char* type : {"Farm", "Barracks"}) {
        BuildingInfo& b = buildingInfo[type];
        b.type = type;
        b.wTiles = b.hTiles = 2;
        b.goldCost = 100;
        b.buildTime = 0.05f;
        b.hp = 100.0f;
        buildingRequirements[type] = BuildingRequirement{{}, 0};
    }
    buildingUnits["Barracks"] = {"Marine"};
    SpellInfo slow;
    slow.id = "Slow";
    slow.caster = "Marine";
    slow.targetType = TargetType::Unit;
    slow.range = 5;
    slow.effect = effectSlow;
    spellInfo["Slow"] = slow;
    mapObjectInfo["Crystal"] = MapObjectInfo{"Crystal", "Crystal", 2, 2, 250, true};
    mapObjectsSprites["Crystal"] = MapObjectSpriteMeta{};
}

// Two players, each with one unit of every type, a barracks, and crystal between them on 20 by 20 tiles of grass.
void freshMatch() {
    static const bool defined = [] {
        SDL_LogSetPriority(SDL_LOG_CATEGORY_APPLICATION, SDL_LOG_PRIORITY_WARN);
        defineCatalogue();
        return true;
    }();
    (void)defined;
    reset_game_state();
    paused = false;
    TILE_SIZE = 140;
    SUBDIVISIONS = 4;
    SUB_TILE_SIZE = 35;
    GAME_SPEED = UNIT_SPEED = 1.0f;
    MAP_W = MAP_H = 20;
    SUB_MAP_W = SUB_MAP_H = 80;
    grid.tiles.assign(400, TileInstance{Tile::Grass, 0, 0, 1, 0, {}});
    sizeWorldGrids();
    resetMiningOccupancy();
    createObjects({{"Crystal", 9, 9}}, grid);
    for (int player : {1, 2}) {
        players.push_back(std::make_unique<Player>(player, "p", "human", false));
        players.back()->resources[RESOURCE_GOLD] = players.back()->resources[RESOURCE_WOOD] = 1000;
        players.back()->supplyCap = players.back()->recruits = 10;
        int row = player * 30;
        for (const char* type : {"Worker", "Marine", "Transport"}) {
            Unit u = newUnitFromInfo(unitInfo.at(type), nextAttackableId++, player);
            const V2i at{row, row};
            u.x = static_cast<float>(at.x) * 35.0f + 17.5f;
            u.y = static_cast<float>(at.y) * 35.0f + 17.5f;
            addUnit(u);
            reserveTilesForUnit(u.id, u.type, at);
            row += 4;
        }
        Building barracks;
        barracks.id = nextAttackableId++;
        barracks.type = "Barracks";
        barracks.playerId = player;
        barracks.x = barracks.y = player * 4 + 8;
        barracks.wTiles = barracks.hTiles = 2;
        barracks.completed = barracks.hasProduction = true;
        barracks.hp = barracks.maxHp = 100.0f;
        addBuilding(barracks)->computeNearbyTiles();
        blockArea(grid, {barracks.x, barracks.y}, 2, 2);
        players.back()->completedBuildings["Barracks"] = 1;
    }
    initializeCivilianLookup();
}

// The decoded orders as the two players' own, held to one turn's work, applied, and a few ticks run.
void applyToAMatch(const uint8_t* data, size_t size) {
    NetPacket packet(PacketType::TurnCommands);
    packet.data.assign(data, data + size);
    Turn turn;
    if (!readTurnPacket(packet, turn)) return;
    freshMatch();
    for (Command& cmd : turn.commands) cmd.player = 1 + (cmd.player & 1);
    turn.commands.resize(ordersWithinTurnWork(turn.commands));
    applyLiveTurn(turn.commands, grid, 0);
    for (int tick = 0; tick < 3; ++tick) advanceOneTurn(grid);
}

}  // namespace

// The first byte chooses: decoding alone, the host fed one framed turn packet, the host fed raw stream bytes, or
// the decoded orders applied to a match.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::ostringstream sink;
    std::cerr.rdbuf(sink.rdbuf());
    sink.str("");
    if (size == 0 || data[0] % 4 == 0) {
        decodeAndEncode(data, size);
        return 0;
    }
    if (data[0] % 4 == 3) {
        applyToAMatch(data + 1, size - 1);
        return 0;
    }
    NetPacket packet(PacketType::TurnCommands);
    packet.data.assign(data + 1, data + size);
    feedHost(data[0] % 4 == 1 ? framePacket(packet) : packet.data);
    return 0;
}
