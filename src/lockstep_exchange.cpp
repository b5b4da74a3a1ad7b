// The lockstep step: turns are stored as decoded, merged per player and turn, and applied by ascending player id.
#include "lockstep_exchange.h"

#include <algorithm>
#include <iostream>
#include <iterator>
#include <string>
#include <utility>

#include "activity.h"
#include "ai.h"
#include "game.h"
#include "game_commands_wire.h"
#include "lockstep.h"
#include "network_manager.h"
#include "network_manager_lobby.h"
#include "player.h"
#include "utils.h"

namespace {

// Roughly what a stored command holds in memory: the record, and its fields' wire size for what they hold.
size_t footprint(const Command& cmd) {
    NetPacket scratch;
    writeCommand(scratch, cmd);
    return sizeof(Command) + scratch.data.size();
}

size_t footprint(const Turn& turn) {
    size_t bytes = 0;
    for (const Command& cmd : turn.commands) bytes += footprint(cmd);
    return bytes;
}

NetPacket playerLeftPacket(int playerId) {
    NetPacket packet(PacketType::PlayerLeft);
    packet.writeInt(playerId);
    return packet;
}

bool carries(const Turn& turn, CommandType type) {
    for (const Command& cmd : turn.commands)
        if (cmd.type == type) return true;
    return false;
}

// Lobby messages may still come in just after the start; they mean nothing to the match.
bool isLobbyMessage(uint8_t type) {
    for (PacketType lobby : {PacketType::LobbyUpdate, PacketType::StartGame, PacketType::LobbyInfo,
                             PacketType::LobbyQuery, PacketType::JoinLobby, PacketType::ChangeRace,
                             PacketType::JoinAccepted})
        if (type == static_cast<uint8_t>(lobby)) return true;
    return false;
}

// Why a client's turn speaks for someone else; empty when it speaks only for the player it joined as.
std::string forgery(const Turn& turn, int speaker) {
    if (speaker == NetworkManager::NO_PLAYER) return "a turn from a connection that never joined";
    if (turn.player != speaker)
        return "player " + std::to_string(speaker) + " sent a turn of player " + std::to_string(turn.player);
    for (const Command& cmd : turn.commands)
        if (cmd.player != speaker)
            return "player " + std::to_string(speaker) + " sent an order of player " + std::to_string(cmd.player);
    return {};
}

// Why a turn from the network names this peer's own player, which only this peer speaks for; empty when it does not.
std::string ownPlayerNamed(const Turn& turn, int localPlayer) {
    const bool named = turn.player == localPlayer ||
                       std::any_of(turn.commands.begin(), turn.commands.end(),
                                   [localPlayer](const Command& cmd) { return cmd.player == localPlayer; });
    if (!named) return {};
    return "a turn of player " + std::to_string(turn.player) + " naming player " + std::to_string(localPlayer) +
           ", this peer's own, came from the network";
}

// "player 2", or "players 1, 3".
std::string playerList(const std::vector<int>& ids) {
    std::string text = ids.size() == 1 ? "player " : "players ";
    for (size_t i = 0; i < ids.size(); ++i) text += (i ? ", " : "") + std::to_string(ids[i]);
    return text;
}

// A peer's own sender never puts more into a turn than ordersWithinTurnWork lets through, so only a modified
// peer's orders are ever cut here, alike on every peer as all decode the same packets.
void dropWorkBeyondOneTurn(Turn& turn) {
    const size_t kept = ordersWithinTurnWork(turn.commands);
    if (kept == turn.commands.size()) return;
    std::cerr << "turn " << turn.tick << " of player " << turn.player << " sets more units going than one turn may: "
              << turn.commands.size() - kept << " orders dropped\n";
    turn.commands.resize(kept);
}

}  // namespace

std::vector<Command> LockstepManager::consumeCurrentTurn() {
    std::vector<Command> cmds;
    for (auto& [player, byTurn] : turns) {
        const auto found = byTurn.find(receiveTurn);
        if (found == byTurn.end()) continue;
        storedBytes[player] -= std::min(storedBytes[player], footprint(found->second));
        dropWorkBeyondOneTurn(found->second);
        // A ping was answered when it arrived.
        for (Command& cmd : found->second.commands)
            if (cmd.type != CommandType::Ping) cmds.push_back(std::move(cmd));
        byTurn.erase(found);
    }
    return cmds;
}

std::optional<std::vector<Command>> LockstepManager::consumeLeftoverTurn() {
    const bool stored = std::any_of(turns.begin(), turns.end(), [](const auto& byTurn) { return !byTurn.second.empty(); });
    if (!stored) return std::nullopt;
    std::vector<Command> cmds = consumeCurrentTurn();
    ++receiveTurn;
    return cmds;
}

// A later packet of the same player and turn adds to the earlier one, never replaces it; a turn already applied
// can no longer count.
void LockstepManager::store(Turn turn) {
    if (turn.tick < receiveTurn) return;
    storedBytes[turn.player] += footprint(turn);
    auto [slot, fresh] = turns[turn.player].try_emplace(turn.tick, Turn{turn.tick, turn.player, {}});
    for (Command& cmd : turn.commands) slot->second.commands.push_back(std::move(cmd));
}

bool LockstepManager::isNotice(const Turn& turn) const {
    return turn.commands.empty() && (turn.tick < receiveTurn || storedTurn(turn.player, turn.tick));
}

const Turn* LockstepManager::storedTurn(int playerId, int tick) const {
    const auto byTurn = turns.find(playerId);
    if (byTurn == turns.end()) return nullptr;
    const auto found = byTurn->second.find(tick);
    return found == byTurn->second.end() ? nullptr : &found->second;
}

// Only a player the match awaits can leave it: any other id a peer names would only grow the set and the feed.
void LockstepManager::markLeft(int playerId, int localPlayer, const std::vector<int>& gated, TurnRunner& runner) {
    if (playerId == localPlayer || std::find(gated.begin(), gated.end(), playerId) == gated.end()) return;
    if (!leftPlayers.insert(playerId).second) return;
    runner.playerLeft(playerId);
}

// The host holds each client to its own player, to each turn number once and to the window; every peer holds a
// turn to the orders one turn may hold, however many packets carry it; the host's own turns and what it passes on
// were held to them already, so another peer only guards its memory: the players it awaits, the window, the bytes.
std::string LockstepManager::brokenRule(const NetPacket& packet, const Turn& turn, const std::vector<int>& gated,
                                        NetworkManager& link) {
    const int widen = link.isHost ? 1 : 2;
    std::string why;
    if (link.isHost) why = forgery(turn, link.playerOf(packet.source));
    // Turns of a player nobody waits for would be applied wherever they happened to come in time, and on a member
    // each such player would take memory of its own.
    if (why.empty() && std::find(gated.begin(), gated.end(), turn.player) == gated.end())
        why = "player " + std::to_string(turn.player) + ", who is not awaited in the match, sent a turn";
    if (why.empty() && turn.tick >= receiveTurn + widen * TURN_WINDOW)
        why = "turn " + std::to_string(turn.tick) + " lies more than " + std::to_string(widen * TURN_WINDOW) +
              " turns ahead of turn " + std::to_string(receiveTurn);
    const Turn* stored = storedTurn(turn.player, turn.tick);
    // A client sends each turn's orders once, so orders it sends again, or after the host applied the turn, are
    // forged: a member that applied the turn before the second packet came would differ from one that merged it.
    if (why.empty() && link.isHost && !isNotice(turn) && (turn.tick < receiveTurn || stored))
        why = "player " + std::to_string(turn.player) + " sent turn " + std::to_string(turn.tick) +
              (turn.tick < receiveTurn ? " after it was applied" : " twice");
    if (why.empty() && (stored ? stored->commands.size() : 0) + turn.commands.size() >
                           static_cast<size_t>(MAX_TURN_COMMANDS))
        why = "turn " + std::to_string(turn.tick) + " of player " + std::to_string(turn.player) +
              " would hold more than " + std::to_string(MAX_TURN_COMMANDS) + " orders";
    if (why.empty() && storedBytes[turn.player] + footprint(turn) > widen * MAX_STORED_TURN_BYTES)
        why = "the turns of player " + std::to_string(turn.player) + " ahead exceed " +
              std::to_string(widen * MAX_STORED_TURN_BYTES) + " bytes";
    return why;
}

bool LockstepManager::acceptTurn(const NetPacket& packet, const Turn& turn, const std::vector<int>& gated,
                                 NetworkManager& link) {
    const std::string why = brokenRule(packet, turn, gated, link);
    if (why.empty()) return true;
    if (link.isHost)
        link.refuse(packet.source, why);
    else
        std::cerr << "Dropped a turn: " << why << "\n";
    return false;
}

// Only the host announces a leave, and only for a client whose own connection closed; its connection closing then
// announces it. A client that refused the start tells why with its own leave: the host keeps the reason and closes
// the connection without a line. Any other leave a client sends is refused.
void LockstepManager::onPlayerLeft(NetPacket& packet, int localPlayer, const std::vector<int>& gated,
                                   NetworkManager& link, TurnRunner& runner) {
    int32_t playerId = 0;
    if (link.isHost) {
        const int speaker = link.playerOf(packet.source);
        uint8_t reason = 0;
        if (speaker == NetworkManager::NO_PLAYER || !packet.readInt(playerId) || playerId != speaker ||
            !packet.readByte(reason) || startRefusalWords(reason).empty()) {
            link.refuse(packet.source, "only the host announces a leave");
            return;
        }
        leaveReasons[playerId] = reason;
        link.refuse(packet.source, "");
        return;
    }
    if (!packet.readInt(playerId)) {
        link.refuse(packet.source, "a leave without a player id");
        return;
    }
    if (playerId == localPlayer) {
        link.refuse(packet.source, "a leave of player " + std::to_string(playerId) + ", this peer's own, came from "
                                   "the network");
        return;
    }
    markLeft(playerId, localPlayer, gated, runner);
}

// Only a whole turn counts: a peer trickling bytes, or sending anything but its turn, is as silent as one sending
// nothing. A peer that is not the host hears every other player through its one link, the relay's or the host's:
// while anything still comes on it, if only others telling they wait, the players missing are given up and the rest
// go on together; once nothing whole came on it for the limit, everyone behind it is gone; a link quiet for longer
// than a waiting peer ever is, yet not for the limit, is given the time to show which it is.
void LockstepManager::dropSilentPeers(int localPlayer, const std::vector<int>& gated, NetworkManager& link,
                                      TurnRunner& runner) {
    const uint32_t now = link.clockMs();
    if (waitingTurn != receiveTurn) {
        waitingTurn = receiveTurn;
        waitingSinceMs = now;
    }
    const uint32_t limit = link.isHost ? SILENT_PEER_TIMEOUT_MS : 2 * SILENT_PEER_TIMEOUT_MS;
    const uint32_t waited = now - waitingSinceMs;
    if (waited < limit) return;
    std::vector<int> missing = missingPlayers(gated);
    missing.erase(std::remove(missing.begin(), missing.end(), localPlayer), missing.end());
    if (missing.empty()) return;
    const std::string silence = " sent no whole turn for " + std::to_string(waited) + " ms while the match waited";
    std::vector<int> closing;
    if (link.isHost) {
        for (const NetworkManager::Connection& c : link.connections)
            if (std::count(missing.begin(), missing.end(), link.playerOf(c.id))) closing.push_back(c.id);
        for (int id : closing) link.refuse(id, playerList({link.playerOf(id)}) + silence);
        return;
    }
    const uint32_t quiet = std::min(now - heardAtMs, waited);
    if (quiet < SILENT_PEER_TIMEOUT_MS) {
        for (int player : missing) {
            std::cerr << "Dropping " << playerList({player}) << ":" << silence << "\n";
            markLeft(player, localPlayer, gated, runner);
        }
    } else if (quiet >= limit) {
        for (const NetworkManager::Connection& c : link.connections) closing.push_back(c.id);
        for (int id : closing) link.refuse(id, playerList(missing) + silence);
    }
}

void LockstepManager::tellWaiting(int localPlayer, NetworkManager& link) {
    const uint32_t now = link.clockMs();
    if (sendTurn == 0 || now - toldAtMs < WAITING_NOTICE_MS) return;
    toldAtMs = now;
    link.sendPacket(writeTurnPacket(Turn{sendTurn - 1, localPlayer, {}}));
}

// Everything a dropped peer sent before has been relayed, so the others learn of its leaving after they hold all
// its turns, as this peer does. A peer that is not the host hears every other player through its one connection,
// so once none is left all of them are gone, those whose turns never came (a host gone at the start) too.
void LockstepManager::onDroppedConnections(int localPlayer, const std::vector<int>& gated, NetworkManager& link,
                                           TurnRunner& runner) {
    const std::vector<int> droppedNow = link.takeDroppedConnections();
    for (int connection : droppedNow) {
        if (link.isHost) {
            const int playerId = link.playerOf(connection);
            if (playerId == NetworkManager::NO_PLAYER) continue;
            link.sendPacket(playerLeftPacket(playerId));
            markLeft(playerId, localPlayer, gated, runner);
            continue;
        }
        for (int playerId : playersByConnection[connection]) markLeft(playerId, localPlayer, gated, runner);
        playersByConnection.erase(connection);
    }
    if (link.isHost || droppedNow.empty() || !link.connections.empty()) return;
    for (int playerId : gated) markLeft(playerId, localPlayer, gated, runner);
}

void LockstepManager::receive(int nowMs, int localPlayer, const std::vector<int>& gated, NetworkManager& link,
                              TurnRunner& runner) {
    for (NetPacket& packet : link.receivePackets()) {
        if (link.wasRefused(packet.source)) continue;
        heardAtMs = link.clockMs();
        const auto type = static_cast<PacketType>(packet.type);
        if (type == PacketType::TurnCommands) {
            Turn turn;
            std::string fault;
            if (!readTurnPacket(packet, turn, &fault)) {
                link.refuse(packet.source, fault);
                continue;
            }
            if (!link.isHost) fault = ownPlayerNamed(turn, localPlayer);
            if (!fault.empty()) {
                link.refuse(packet.source, fault);
                continue;
            }
            // What a player sent after it was given up would reach some peers before that and others after.
            if (leftPlayers.count(turn.player)) continue;
            if (!acceptTurn(packet, turn, gated, link)) continue;
            // Clients reach each other only through the host; TCP keeps each sender's packets in order. A turn sent
            // again without orders only tells that its sender waits, which only the host needs to know.
            if (link.isHost && !isNotice(turn)) link.relayPacket(packet);
            if (!link.isHost) playersByConnection[packet.source].insert(turn.player);
            if (turn.player != localPlayer && pingSentMs >= 0 && carries(turn, CommandType::Pong)) {
                latencyMs = nowMs - pingSentMs;
                pingSentMs = -1;
            }
            // Answered as it arrives, so the ping is the network's and not the turns still to apply here.
            if (turn.player != localPlayer && carries(turn, CommandType::Ping))
                collectCommand(Command{CommandType::Pong, localPlayer, PongCommand{}});
            store(std::move(turn));
        } else if (type == PacketType::PlayerLeft) {
            onPlayerLeft(packet, localPlayer, gated, link, runner);
        } else if (!isLobbyMessage(packet.type)) {
            link.refuse(packet.source, "unknown message type " + std::to_string(packet.type));
        }
    }
    dropSilentPeers(localPlayer, gated, link, runner);
    onDroppedConnections(localPlayer, gated, link, runner);
}

// Orders beyond what one packet may carry, or beyond the work of one turn, wait for the next turn, in order. A
// ping is timed from when it goes out.
void LockstepManager::send(int localPlayer, int nowMs, NetworkManager& link) {
    const size_t count = std::min(ordersWithinTurnWork(pendingCommands), static_cast<size_t>(MAX_TURN_COMMANDS));
    Turn turn{sendTurn++, localPlayer, {}};
    turn.commands.assign(std::make_move_iterator(pendingCommands.begin()),
                         std::make_move_iterator(pendingCommands.begin() + static_cast<std::ptrdiff_t>(count)));
    pendingCommands.erase(pendingCommands.begin(), pendingCommands.begin() + static_cast<std::ptrdiff_t>(count));
    if (pingSentMs < 0 && carries(turn, CommandType::Ping)) pingSentMs = nowMs;
    NetPacket packet = writeTurnPacket(turn);
    link.sendPacket(packet);
    toldAtMs = link.clockMs();
    // This peer applies what the others decode, not its own originals.
    Turn decoded;
    if (readTurnPacket(packet, decoded)) store(std::move(decoded));
}

// Time that could not go out waits as at most one turn and the part of the next, so a peer that waited sends at
// once, keeps the pace of its frames, and never sends in a burst.
void LockstepManager::sendDue(int localPlayer, int nowMs, NetworkManager& link) {
    while (accumulator >= tickSeconds && sendTurn - receiveTurn < SEND_LEAD) {
        accumulator -= tickSeconds;
        send(localPlayer, nowMs, link);
    }
    accumulator = std::min(accumulator, 2.0f * tickSeconds);
}

bool LockstepManager::awaits(int playerId) const {
    return !leftPlayers.count(playerId) && !storedTurn(playerId, receiveTurn);
}

std::vector<int> LockstepManager::missingPlayers(const std::vector<int>& gated) const {
    std::vector<int> missing;
    std::copy_if(gated.begin(), gated.end(), std::back_inserter(missing), [this](int id) { return awaits(id); });
    return missing;
}

void LockstepManager::step(float frameSeconds, int nowMs, int localPlayer, const std::vector<int>& gated,
                           NetworkManager& link, TurnRunner& runner) {
    pingTimer += frameSeconds;
    if (pingTimer >= pingInterval) {
        pingTimer = 0.0f;
        collectCommand(Command{CommandType::Ping, localPlayer, PingCommand{}});
    }
    receive(nowMs, localPlayer, gated, link, runner);
    accumulator += frameSeconds;
    sendDue(localPlayer, nowMs, link);
    if (std::any_of(gated.begin(), gated.end(), [this](int id) { return awaits(id); })) {
        tellWaiting(localPlayer, link);
        return;
    }
    for (const Command& cmd : consumeCurrentTurn())
        if (!runner.isPaused() || isPauseCommand(cmd)) runner.apply(cmd);
    ++receiveTurn;
    if (!runner.isPaused()) runner.tick();
    // The next turn goes out in the frame that applied this one, with the answer to any ping in it.
    sendDue(localPlayer, nowMs, link);
}

// ---- The live match ----

namespace {

// A player's name came from its peer, so it is shown cut and with its control characters replaced.
void announceLeave(int playerId, const std::string& why = "") {
    const Player* player = getPlayerById(playerId);
    const std::string name =
        player ? Utils::shownText(player->name, MAX_SHOWN_NAME_BYTES) : "Player " + std::to_string(playerId);
    postActivity(name + " left the game" + (why.empty() ? "" : ": " + why), nullptr);
}

// The leave goes into the log at the turn it is taken, so the replay and a resumed save count the player out where
// this peer did; nothing of the simulation reads it, so logs without one keep their worlds.
void logLeave(int playerId) { logAtCurrentTurn(Command{CommandType::PlayerLeft, playerId, {}}); }

class WorldRunner : public TurnRunner {
public:
    explicit WorldRunner(int ms) : nowMs(ms) {}
    bool isPaused() const override { return paused; }
    void apply(const Command& cmd) override { applyCommand(cmd, grid, nowMs, false); }
    // The computer thinks after the tick, so its orders go out with the next turn like any peer's.
    void tick() override {
        advanceOneTurn(grid);
        runComputerPlayers(grid);
    }
    void playerLeft(int playerId) override {
        const auto reason = lockstep.leaveReasons.find(playerId);
        announceLeave(playerId, reason == lockstep.leaveReasons.end() ? "" : startRefusalWords(reason->second));
        logLeave(playerId);
        // The host alone spoke for the computer player; a peer it leaves alone speaks for it from now on, with a
        // strategy of its own drawing (the host's was never sent) that the log records, and its orders are logged
        // like any other.
        if (net.connections.empty()) takeOverComputerPlayer();
    }

private:
    int nowMs;
};

// Computer players send no turns, so only humans are awaited.
std::vector<int> humanPlayers() {
    std::vector<int> ids;
    for (const auto& p : players)
        if (!p->isAI && !p->ai && p->id != Player::environmentId) ids.push_back(p->id);
    return ids;
}

}  // namespace

void handle_networking(float frameSeconds, int nowMs) {
    WorldRunner runner(nowMs);
    lockstep.step(frameSeconds, nowMs, Player::myStaticId, humanPlayers(), net, runner);
}

void takeRecordedLeave(int playerId) {
    if (getPlayerById(playerId) && lockstep.leftPlayers.insert(playerId).second) announceLeave(playerId);
}
