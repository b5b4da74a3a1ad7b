// A headless match of the computer player against an idle local player: its orders travel as the lockstep turn
// loop carries them (issued after a turn, applied on the next), and the ticks of its milestones are recorded.
#pragma once

#include <array>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ai.h"
#include "headless_session.h"

namespace headless {

// The session's command log written to path: the header line, then every applied order.
inline bool openCommandLog(const std::string& path) {
    closeCommandLog();
    commandLog.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!commandLog.is_open()) {
        std::cerr << path << ": cannot be written\n";
        return false;
    }
    commandLog << compactJson(commandLogHeader(MAP_FILE)) << '\n';
    return true;
}

// Fifteen minutes of game time.
constexpr int COMPUTER_MATCH_TICKS = 56250;

// What a match showed of the computer player turn by turn: values that never go below zero, the orders the rules
// refused by kind, and when it last gave an order the rules carried out.
struct ComputerWatch {
    // The first tick any player's gold, wood, supply or recruits stood below zero, and which; -1 while none did.
    int firstNegativeTick = -1;
    std::string negative;
    int ordersGiven = 0;
    int ordersRefused = 0;
    std::map<CommandType, int> refused;
    int lastAcceptedTick = -1;

    // One think's orders as the next turn applied them.
    void thinkApplied(const std::vector<Command>& orders, const std::vector<bool>& accepted, int tick) {
        for (std::size_t i = 0; i < orders.size(); ++i) {
            ++ordersGiven;
            if (accepted[i]) {
                lastAcceptedTick = tick;
                continue;
            }
            ++ordersRefused;
            ++refused[orders[i].type];
        }
    }

    void ticked(int tick) {
        if (firstNegativeTick != -1) return;
        for (const auto& p : players) {
            const std::pair<const char*, int> values[] = {{"gold", p->resources[RESOURCE_GOLD]},
                                                          {"wood", p->resources[RESOURCE_WOOD]},
                                                          {"supply used", p->supplyUsed},
                                                          {"supply cap", p->supplyCap},
                                                          {"recruits", p->recruits}};
            for (const auto& [what, value] : values)
                if (value < 0 && firstNegativeTick == -1) {
                    firstNegativeTick = tick;
                    negative = p->name + " " + what + " " + std::to_string(value);
                }
        }
    }

    void print() const {
        std::printf("orders: %d given, %d refused, last carried out on tick %d\n", ordersGiven, ordersRefused,
                    lastAcceptedTick);
        if (firstNegativeTick != -1) std::printf("below zero on tick %d: %s\n", firstNegativeTick, negative.c_str());
    }
};

enum Milestone { FirstMineOrder, CampPlaced, BarracksPlaced, FirstSoldierTrained, FirstAttackOrder, BuildingDestroyed };

constexpr const char* milestoneNames[] = {"first mine order",      "camp placed",        "barracks placed",
                                          "first soldier trained", "first attack order", "first enemy building destroyed"};

struct ComputerMatch {
    static constexpr int LOCAL = 1;
    static constexpr int COMPUTER = 2;

    // The tick each milestone was first reached on, -1 while it is not.
    std::array<int, std::size(milestoneNames)> reached{-1, -1, -1, -1, -1, -1};
    std::string strategy;
    std::vector<int> localBuildings;
    int turnsPlayed = 0;

    bool done() const { return reached.back() != -1; }

    // Builds the match on the map: the local human and the computer of the race with the strategy each on a
    // starting base, the AI flag on. False when the map cannot be built.
    bool start(const std::string& map, std::unique_ptr<BaseAI> chosen, const std::string& race = "vohmathal") {
        MAP_FILE = map;
        mode = GameMode::Skirmish;
        AI = true;
        Player::myStaticId = LOCAL;
        Player::aiId = COMPUTER;
        Player::environmentId = 3;
        addPlayer(LOCAL, "Local", "human", true);
        players.push_back(std::make_unique<Player>(COMPUTER, "AI", race, true));
        players.back()->ai = std::move(chosen);
        if (!buildMapWorld(mapPath(map))) return false;
        setUpComputerPlayer();
        const Player* computer = getPlayerById(COMPUTER);
        strategy = dynamic_cast<RushAI*>(computer->ai.get()) ? "Rush" : "Turtle";
        localBuildings = getPlayerById(LOCAL)->buildingIds;
        computerCommandSink = [this](const Command& cmd) {
            if (cmd.type == CommandType::Mine) reach(FirstMineOrder);
            if (cmd.type == CommandType::Attack) reach(FirstAttackOrder);
            queueForNextTurn(cmd);
        };
        return true;
    }

    // The turn loop's part before each turn: the computer thinks after the previous tick, then its orders are the
    // turn's commands.
    Script script() {
        return [this](int turn) {
            if (turn > 0) {
                runComputerPlayers(grid);
                observeWorld();
            }
            std::vector<Command> cmds = std::move(lockstep.pendingCommands);
            lockstep.pendingCommands.clear();
            return cmds;
        };
    }

    // Turn after turn as the runner plays them, going on from the turns played before, until the ticks have run or, with untilDone, the first local
    // building has fallen; the ticks played. Nothing here pauses, so every turn runs its tick. A watch, which
    // needs the command log open to tell carried-out orders from refused ones, sees every turn.
    int play(int ticks, bool untilDone, ComputerWatch* watch = nullptr) {
        const Script turnOrders = script();
        int played = 0;
        for (; played < ticks && !(untilDone && done()); ++played, ++turnsPlayed) {
            const std::vector<Command> orders = turnOrders(turnsPlayed);
            if (watch && !orders.empty())
                watch->thinkApplied(orders, applyOneByOne(orders), turnsPlayed);
            else
                applyLiveTurn(orders, grid, 0);
            advanceOneTurn(grid);
            if (watch) watch->ticked(turnsPlayed);
        }
        return played;
    }

    void print() const {
        std::printf("computer: %s\n", strategy.c_str());
        for (std::size_t i = 0; i < reached.size(); ++i) {
            if (reached[i] == -1)
                std::printf("%s: never\n", milestoneNames[i]);
            else
                std::printf("%s: tick %d (%.1f s)\n", milestoneNames[i], reached[i], reached[i] * TURN_LENGTH);
        }
    }

private:
    // Whether each order was carried out: only those reach the command log.
    static std::vector<bool> applyOneByOne(const std::vector<Command>& orders) {
        std::vector<bool> accepted;
        for (const Command& cmd : orders) {
            const auto before = commandLog.tellp();
            applyLiveTurn({cmd}, grid, 0);
            accepted.push_back(commandLog.tellp() != before);
        }
        return accepted;
    }

    void reach(Milestone m) {
        if (reached[m] == -1) reached[m] = lockstep.currentTurn;
    }

    void observeWorld() {
        const Player* computer = getPlayerById(COMPUTER);
        if (!computer) return;
        const std::string camp = raceBuildingName(computer->race, "Camp");
        const std::string barracks = raceBuildingName(computer->race, "Barracks");
        for (const Building& b : buildings) {
            if (b.playerId != COMPUTER) continue;
            if (b.type == camp) reach(CampPlaced);
            if (b.type == barracks) reach(BarracksPlaced);
        }
        const auto soldiers = computer->unitCounts.find(armyTypeOf(computer->race));
        if (soldiers != computer->unitCounts.end() && soldiers->second > 0) reach(FirstSoldierTrained);
        for (int id : localBuildings)
            if (!getBuildingById(id)) reach(BuildingDestroyed);
    }
};

}  // namespace headless
