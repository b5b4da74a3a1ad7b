// Players of a session: resources, supply, counts, the registry and the per-frame victory test.
#include "player.h"

#include <algorithm>
#include <utility>

#include "ai.h"
#include "config.h"
#include "game_state.h"
#include "lockstep.h"

int Player::myStaticId = 0;
int Player::aiId = 0;
int Player::environmentId = 0;

std::vector<std::unique_ptr<Player>> players;
std::unordered_map<int, int> playerToTeamPalette;
int teamIds = 0;
int localPlayerId = 0;
int victoryPlayerId = -1;
void (*AnnounceMatchResult)(const std::string& gameSound) = nullptr;

Player::Player(int id, std::string name, std::string race, bool isAI)
    : id(id), name(std::move(name)), race(std::move(race)), isAI(isAI) {
    if (DEBUG_MODE) resources[RESOURCE_WOOD] = resources[RESOURCE_GOLD] = 1000000;
}

Player::~Player() = default;

Player* getPlayerById(int id) {
    for (const auto& p : players)
        if (p->id == id) return p.get();
    return nullptr;
}

void addPlayerGold(int playerId, int amount) {
    if (Player* p = getPlayerById(playerId)) p->resources[RESOURCE_GOLD] += amount;
}

namespace {

void declareWinner(int winnerId, const char* gameSound) {
    victoryPlayerId = winnerId;
    if (AnnounceMatchResult) AnnounceMatchResult(gameSound);
}

// A side still in the match: it holds a building and has not left.
bool stillStanding(const Player& p) { return !p.buildingIds.empty() && !lockstep.leftPlayers.count(p.id); }

bool isOpponent(const Player& p) { return p.id != Player::myStaticId && p.id != Player::environmentId; }

// Every side fights every other, so the computer decides the match alone only when nobody else plays.
bool onlyOpponent(const Player& computer) {
    return std::none_of(players.begin(), players.end(),
                        [&](const std::unique_ptr<Player>& p) { return p.get() != &computer && isOpponent(*p); });
}

// The local player against the computer player.
void checkAgainstComputer(const Player* local, const Player& computer) {
    // The winner's id comes from the drawn ids, so a side that is absent from the match is never read.
    if (local && local->buildingIds.empty()) declareWinner(Player::aiId, "Defeat");
    if (computer.buildingIds.empty()) declareWinner(Player::myStaticId, "Victory");
}

// The last side standing wins; a match with nobody to play against has no result.
void checkLastStanding(const Player* local) {
    const Player* opponent = nullptr;
    bool anyOpponent = false;
    for (const auto& p : players) {
        if (!isOpponent(*p)) continue;
        anyOpponent = true;
        if (!opponent && stillStanding(*p)) opponent = p.get();
    }
    if (!anyOpponent) return;
    if (local && local->buildingIds.empty())
        declareWinner(opponent ? opponent->id : Player::environmentId, "Defeat");
    else if (!opponent)
        declareWinner(Player::myStaticId, "Victory");
}

}  // namespace

void checkVictoryPlayer() {
    if (mode == GameMode::Extraction || mode == GameMode::MapEditor) return;
    if (victoryPlayerId != -1 || players.empty()) return;
    const Player* local = getPlayerById(Player::myStaticId);
    const Player* computer = getPlayerById(Player::aiId);
    if (computer && (!local || onlyOpponent(*computer)))
        checkAgainstComputer(local, *computer);
    else
        checkLastStanding(local);
}
