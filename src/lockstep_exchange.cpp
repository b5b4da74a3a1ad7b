// The lockstep step: turns are stored as decoded, merged per player and turn, and applied by ascending player id.
#include "lockstep_exchange.h"

#include <utility>

#include "activity.h"
#include "ai.h"
#include "game.h"
#include "game_commands_wire.h"
#include "lockstep.h"
#include "network_manager.h"
#include "player.h"

std::vector<Command> LockstepManager::consumeCurrentTurn() {
    std::vector<Command> cmds;
    for (auto& [player, byTurn] : turns) {
        const auto found = byTurn.find(receiveTurn);
        if (found == byTurn.end()) continue;
        for (Command& cmd : found->second.commands) cmds.push_back(std::move(cmd));
        byTurn.erase(found);
    }
    return cmds;
}

// A later packet of the same player and turn adds to the earlier one, never replaces it; a turn already applied
// can no longer count.
void LockstepManager::store(Turn turn) {
    if (turn.tick < receiveTurn) return;
    auto [slot, fresh] = turns[turn.player].try_emplace(turn.tick, Turn{turn.tick, turn.player, {}});
    for (Command& cmd : turn.commands) slot->second.commands.push_back(std::move(cmd));
}

void LockstepManager::markLeft(int playerId, int localPlayer, TurnRunner& runner) {
    if (playerId == localPlayer || !leftPlayers.insert(playerId).second) return;
    runner.playerLeft(playerId);
}

namespace {

NetPacket playerLeftPacket(int playerId) {
    NetPacket packet(PacketType::PlayerLeft);
    packet.writeInt(playerId);
    return packet;
}

bool carriesPong(const Turn& turn) {
    for (const Command& cmd : turn.commands)
        if (cmd.type == CommandType::Pong) return true;
    return false;
}

}  // namespace

void LockstepManager::receive(int nowMs, int localPlayer, NetworkManager& link, TurnRunner& runner) {
    for (NetPacket& packet : link.receivePackets()) {
        const auto type = static_cast<PacketType>(packet.type);
        if (type == PacketType::TurnCommands) {
            Turn turn;
            if (!readTurnPacket(packet, turn)) continue;
            // Clients reach each other only through the host; TCP keeps each sender's packets in order.
            if (link.isHost) link.relayPacket(packet);
            playersByConnection[packet.source].insert(turn.player);
            if (turn.player != localPlayer && pingSentMs >= 0 && carriesPong(turn)) {
                latencyMs = nowMs - pingSentMs;
                pingSentMs = -1;
            }
            store(std::move(turn));
        } else if (type == PacketType::PlayerLeft) {
            int32_t playerId = 0;
            if (!packet.readInt(playerId)) continue;
            if (link.isHost) link.relayPacket(packet);
            markLeft(playerId, localPlayer, runner);
        }
    }
    // Everything the dropped peer sent before has been relayed above, so the others learn of its leaving after
    // they hold all its turns, as this peer does.
    for (int connection : link.takeDroppedConnections()) {
        for (int playerId : playersByConnection[connection]) {
            if (link.isHost) link.sendPacket(playerLeftPacket(playerId));
            markLeft(playerId, localPlayer, runner);
        }
        playersByConnection.erase(connection);
    }
}

void LockstepManager::send(int localPlayer, NetworkManager& link) {
    Turn turn{sendTurn++, localPlayer, std::exchange(pendingCommands, {})};
    NetPacket packet = writeTurnPacket(turn);
    link.sendPacket(packet);
    // This peer applies what the others decode, not its own originals.
    Turn decoded;
    if (readTurnPacket(packet, decoded)) store(std::move(decoded));
}

bool LockstepManager::turnComplete(const std::vector<int>& gated) const {
    for (int playerId : gated) {
        if (leftPlayers.count(playerId)) continue;
        const auto byTurn = turns.find(playerId);
        if (byTurn == turns.end() || !byTurn->second.count(receiveTurn)) return false;
    }
    return true;
}

void LockstepManager::step(float frameSeconds, int nowMs, int localPlayer, const std::vector<int>& gated,
                           NetworkManager& link, TurnRunner& runner) {
    pingTimer += frameSeconds;
    const bool pinging = pingTimer >= pingInterval;
    if (pinging) {
        pingTimer = 0.0f;
        collectCommand(Command{CommandType::Ping, localPlayer, PingCommand{}});
    }
    receive(nowMs, localPlayer, link, runner);
    // Timed from the oldest ping not yet answered; a pong heard in this frame answers an earlier one.
    if (pinging && pingSentMs < 0) pingSentMs = nowMs;
    accumulator += frameSeconds;
    while (accumulator >= tickSeconds) {
        accumulator -= tickSeconds;
        send(localPlayer, link);
    }
    if (!turnComplete(gated)) return;
    for (const Command& cmd : consumeCurrentTurn())
        if (!runner.isPaused() || isPauseCommand(cmd)) runner.apply(cmd);
    ++receiveTurn;
    if (!runner.isPaused()) runner.tick();
}

// ---- The live match ----

namespace {

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
        const Player* player = getPlayerById(playerId);
        postActivity((player ? player->name : "Player " + std::to_string(playerId)) + " left the game", nullptr);
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
