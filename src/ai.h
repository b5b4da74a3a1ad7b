// Computer opponents: the strategies a computer player owns, their steps, and when the computer player thinks.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "game.h"
#include "game_commands.h"

struct Building;
struct Grid;
class Player;

// The computer player's default road: collected by the lockstep manager, sent with the next turn like a human's
// orders.
void queueForNextTurn(const Command& cmd);
// Where every order of the computer player goes; queueForNextTurn unless a test or tool listens in.
extern std::function<void(const Command&)> computerCommandSink;

// A computer player thinks on every turn number that is a multiple of this.
constexpr int COMPUTER_THINK_TURNS = 31;

class BaseAI {
public:
    virtual ~BaseAI() = default;
    // One think of the strategy for its player; dt is one turn's length.
    virtual void update(Player& player, Grid& grid, float dt) = 0;

    // Idle workers to mining: the first to Crystal, the second to AmberOil, every later one to Crystal.
    void handleEconomy(Player& player, Grid& grid);
    // One camp at a time when supply or recruits run short.
    void handleSupply(Player& player, Grid& grid);

    // Once per turn after the tick: a reserved worker with no waypoints left is free again.
    void releaseArrivedWorkers();

protected:
    // Workers ever sent to each resource; they only grow.
    int crystalMiners = 0;
    int amberOilMiners = 0;
    // Workers sent to put up a barracks, held back from the next barracks until they have arrived.
    std::set<int> reservedWorkers;

    // Train workers up to five from the first idle command building, and the army from every idle barracks.
    void trainWorkersAndArmy(Player& player);
    // At most two barracks, ordered from the first worker once five workers exist.
    void buildBarracksIfNeeded(Player& player, Grid& grid);
};

// Builds an economy and an army and attacks from the first army unit on.
class RushAI : public BaseAI {
public:
    void update(Player& player, Grid& grid, float dt) override;
    // Army units without a live target go against the local player's nearest building, else its nearest unit.
    void handleAttack(Player& player, Grid& grid);

    bool attacking = false;
};

// Builds the same economy and army and never attacks.
class TurtleAI : public BaseAI {
public:
    void update(Player& player, Grid& grid, float dt) override;
};

// Only sends its combat units against the local player, once per half second of think time.
class WaveAI : public BaseAI {
public:
    void update(Player& player, Grid& grid, float dt) override;
    // Every combat unit without a live target goes against the local player's nearest building, else unit.
    void handleAttack(Player& player, Grid& grid);
};

// Think time a wave strategy gathers before each attack order.
constexpr float WAVE_THINK_SECONDS = 0.5f;
// Think time gathered since the last wave order; one value for all wave strategies of a session.
extern float waveThinkTimer;

// The army unit of a race: "Marine" for the race named "human", else "Berserker".
std::string armyTypeOf(const std::string& race);
// Display name of the race followed by the suffix; empty when the race is not loaded.
std::string raceBuildingName(const std::string& race, const std::string& suffix);

// True while the player has an unfinished camp of its own race.
bool isHumanCampBeingConstructed(const Player& player, const std::vector<Building>& buildings);

// The strategy of a draw: a TurtleAI for an odd one, a RushAI for an even one, each announced on the standard output.
std::unique_ptr<BaseAI> computerStrategyOf(unsigned draw);
// A strategy drawn from the menus' generator, never the simulation's: the lobby's Add AI.
std::unique_ptr<BaseAI> drawComputerStrategy();
// The name a command log records a strategy under ("rush", "turtle", "wave"); empty for none.
std::string strategyNameOf(const BaseAI* strategy);
// A fresh strategy of a recorded name; nothing for an unknown one.
std::unique_ptr<BaseAI> strategyNamed(const std::string& name);

// Session start, right after the generators are seeded: the wave timer restarts. The computer player keeps the
// strategy drawn when it was added; one without (a resumed save's, whose log does not name it) draws from the
// menus' generator, outside a replay, which runs none, and outside a resumed save whose log records it taken over,
// which gets its strategy at that turn. The simulation's generators are never drawn from.
void setUpComputerPlayer();

// A peer left alone by its last peer takes the computer player over: one without a strategy draws its own, and the
// command log records the draw at this turn.
void takeOverComputerPlayer();
// A takeover met again in a resumed save's catch-up: the computer player gets the recorded strategy at the turn it
// was drawn, so it rehearses and plays on as it did live (a name nobody knows draws afresh). A replay takes nothing.
void takeRecordedTakeover(const Command& record);

// Whether the computer player may think in this session: in Extraction only in a survival mission, elsewhere
// while the configuration's AI flag is set; never in a replay or a resumed save catching up, never while paused.
bool computerPlayerMayThink();

// Called by the turn loop after each simulated turn: frees arrived reserved workers and, on every 31st turn, lets
// the computer player's strategy think. Its orders reach computerCommandSink and are applied on the next turn.
// Only a peer whose computer player holds a strategy thinks, so one peer alone should speak for it.
void runComputerPlayers(Grid& grid);

// A resumed save's turn caught up: the computer player thinks as it did on that turn of the recorded match, so its
// strategy stands where it stood when the save was made. The orders it gives are in the log already and are
// dropped, unless ordersGoOut: those of the last turn caught up were given after the save and are still due.
void rehearseComputerPlayer(Grid& grid, bool ordersGoOut);
