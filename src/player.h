// Players of a session: resources, supply, counts, the registry and the per-frame victory test.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "utils.h"

class BaseAI;

// Indexes of Player::resources: the resource kind a worker's cargo carries.
constexpr int RESOURCE_WOOD = 1;
constexpr int RESOURCE_GOLD = 2;

class Player {
public:
    Player(int id, std::string name, std::string race, bool isAI);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    int id;
    int teamPalette = 0;
    std::string name;
    std::string race;
    std::vector<int> unitIds;
    // Completed buildings only; a construction site is not listed.
    std::vector<int> buildingIds;
    std::array<int, 3> resources{};
    bool isAI;
    std::unique_ptr<BaseAI> ai;
    bool spawnsBase = true;
    V2i baseTile{-1, -1};
    int crystalWorkers = 0;
    int oilWorkers = 0;
    int extraWorkers = 0;
    std::unordered_map<std::string, int> unitCounts;
    std::unordered_map<std::string, int> completedBuildings;
    std::unordered_map<std::string, int> underConstruction;
    int supplyCap = 3;
    int supplyUsed = 0;
    int recruits = 0;

    static int myStaticId;
    static int aiId;
    static int environmentId;
};

extern std::vector<std::unique_ptr<Player>> players;
extern std::unordered_map<int, int> playerToTeamPalette;
extern int teamIds;
extern int localPlayerId;
extern int victoryPlayerId;

// Installed by the session: plays the Game sound named ("Defeat" or "Victory", not positional, limit 1) and
// opens the HUD's game-over dialog, which compares victoryPlayerId with the local id. Empty until then.
extern void (*AnnounceMatchResult)(const std::string& gameSound);

Player* getPlayerById(int id);
void addPlayerGold(int playerId, int amount);
// Per frame, never from the tick.
void checkVictoryPlayer();
