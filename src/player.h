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

// A player's unit ids in ascending order for the target scan, and where each of those units stood in the registry
// when last found; sorted again only when the player's list has changed since.
struct SortedUnitIds {
    std::vector<int> source;
    std::vector<int> sorted;
    std::vector<size_t> places;
};

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
    // Kept with the list it sorts, so it goes with the player and no other player's scan can read it.
    mutable SortedUnitIds scanOrder;

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
