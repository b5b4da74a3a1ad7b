// The lockstep turn exchange: local orders go out once per turn length, every peer's turns come in, and a turn
// is applied, in one fixed order on every peer, once every human player's part of it is there.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "game_commands.h"

class NetworkManager;
struct NetPacket;

// One turn runs exactly one simulation tick.
constexpr float TURN_LENGTH = 0.016f;
// A peer sends a new turn only once the turn before it has been applied, so the delay between an order and its
// tick, and the ping, stay one turn and the network, however slowly a peer draws its frames.
constexpr int SEND_LEAD = 1;
// Turns are kept at most this far ahead of the turn being applied: five seconds. A client of the host that sends
// further ahead is dropped; the window of every other peer is twice as wide, as the host's turns run ahead of them.
constexpr int TURN_WINDOW = 312;
// Memory the stored turns of one player may take, with the same doubling.
constexpr size_t MAX_STORED_TURN_BYTES = 8u << 20;
// How often a peer whose gate waits tells the others it is still there, by sending its own last turn again without
// orders: far inside the wait after which the others would give it up.
constexpr uint32_t WAITING_NOTICE_MS = 1000;

// A lockstep turn holds one player's commands; a replay turn every command recorded for one tick, in file order,
// with the player of the last of them.
struct Turn {
    int tick = 0;
    int player = 0;
    std::vector<Command> commands;
};

// What an applied turn does: the live game changes the world, tests record.
class TurnRunner {
public:
    virtual ~TurnRunner() = default;
    virtual bool isPaused() const = 0;
    virtual void apply(const Command& cmd) = 0;
    virtual void tick() = 0;
    virtual void playerLeft(int playerId) = 0;
};

struct LockstepManager {
    float tickSeconds = TURN_LENGTH;
    // Frame time not yet turned into sent turns.
    float accumulator = 0.0f;
    // The simulation tick reached; also the tick written into each command log record.
    int currentTurn = 0;
    // The tick of the last record this session wrote into the command log; -1 before any.
    int loggedTurn = -1;
    // Exchange turn numbers: every packet a peer sends takes the next one, so packets never share a number, and
    // a turn applied while paused is used up without a tick. Both therefore run ahead of currentTurn.
    int sendTurn = 0;
    int receiveTurn = 0;
    // Player id, then exchange turn number; ordered so a turn applies by ascending player id everywhere.
    std::map<int, std::map<int, Turn>> turns;
    // Local orders waiting for the next turn; every producer of orders appends here.
    std::vector<Command> pendingCommands;
    // Players whose connection dropped, whose leaving the host announced, or whose turn stopped coming through a
    // link that others still speak on: the turns they sent before are used while any remain, never awaited, and
    // none that comes after is taken. In a replay or a resumed save, those whose leave the log records.
    std::set<int> leftPlayers;
    // On the host: why a client that refused the start left (its StartRefusal byte), by player, for the feed.
    std::map<int, uint8_t> leaveReasons;
    // On a peer that is not the host: which players' turns came in on which connection (the host or the relay),
    // so a dropped connection tells who is gone.
    std::map<int, std::set<int>> playersByConnection;
    // Memory taken by each player's stored turns.
    std::map<int, size_t> storedBytes;
    // The turn the gate last looked at and the network clock's time when it first did: how long the match has
    // waited on it.
    int waitingTurn = -1;
    uint32_t waitingSinceMs = 0;
    // The network clock's times a whole message last came in, and this peer last sent its turn or told it waits.
    uint32_t heardAtMs = 0;
    uint32_t toldAtMs = 0;
    float pingInterval = 1.0f;
    float pingTimer = 0.0f;
    int pingSentMs = -1;

    // The one road of an order to the queue; inline, so the world's code needs none of the exchange.
    void collectCommand(const Command& cmd) { pendingCommands.push_back(cmd); }
    // The commands of every stored part of the turn being applied, by ascending player id, each part in order,
    // pings left out; the parts are removed.
    std::vector<Command> consumeCurrentTurn();
    // Once no peer is left: the next turn stored but not yet applied, so orders sent before the last peer went
    // still apply, in their order; nothing when none is stored.
    std::optional<std::vector<Command>> consumeLeftoverTurn();
    // One frame of the exchange: ping, receive, send, and at most one applied turn. gated lists the players
    // whose part of each turn must be there.
    void step(float frameSeconds, int nowMs, int localPlayer, const std::vector<int>& gated, NetworkManager& link,
              TurnRunner& runner);

    // One player's part of a turn, while it is stored.
    const Turn* storedTurn(int playerId, int tick) const;

private:
    void receive(int nowMs, int localPlayer, const std::vector<int>& gated, NetworkManager& link, TurnRunner& runner);
    // Why a received turn may not be stored; empty when it may.
    std::string brokenRule(const NetPacket& packet, const Turn& turn, const std::vector<int>& gated,
                           NetworkManager& link);
    // False, with the connection refused or the turn dropped, when the turn breaks a rule.
    bool acceptTurn(const NetPacket& packet, const Turn& turn, const std::vector<int>& gated, NetworkManager& link);
    void onPlayerLeft(NetPacket& packet, int localPlayer, const std::vector<int>& gated, NetworkManager& link,
                      TurnRunner& runner);
    // Gives up, once the match has waited the limit on a turn, whoever has not sent their part of it whole,
    // however many bytes came meanwhile: on the host the client's connection, closed as if it had closed itself;
    // elsewhere the players as players while the link still carries the others' word, and the link itself once
    // nothing whole came on it for the limit. Other peers wait twice as long, so a host that is there announces
    // the leave before they would give a player up.
    void dropSilentPeers(int localPlayer, const std::vector<int>& gated, NetworkManager& link, TurnRunner& runner);
    // While the gate waits: this peer's last turn again, empty, so the others know it waits and is not gone.
    void tellWaiting(int localPlayer, NetworkManager& link);
    // Whether a received turn only tells that its sender waits: no orders, for a turn it has sent already.
    bool isNotice(const Turn& turn) const;
    void onDroppedConnections(int localPlayer, const std::vector<int>& gated, NetworkManager& link,
                              TurnRunner& runner);
    void send(int localPlayer, int nowMs, NetworkManager& link);
    void sendDue(int localPlayer, int nowMs, NetworkManager& link);
    void store(Turn turn);
    void markLeft(int playerId, int localPlayer, const std::vector<int>& gated, TurnRunner& runner);
    // Whether the turn being applied still waits on this player: not gone, and its part not here yet.
    bool awaits(int playerId) const;
    // The players, left ones aside, whose part of the turn being applied has not come.
    std::vector<int> missingPlayers(const std::vector<int>& gated) const;
};

// The live step of a match frame: the global lockstep over the global net, applying to the world, gated by the
// human players of players.
void handle_networking(float frameSeconds, int nowMs);
// A leave read back from a command log, as replay playback and a resumed save's catch-up meet it: a listed player
// is no longer awaited nor standing from this turn on, and the feed says so, as it did live.
void takeRecordedLeave(int playerId);
