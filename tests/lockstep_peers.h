// A lockstep peer's side for tests: a runner that records what each exchange turn applied, and an in-memory link.
#pragma once

#include <utility>
#include <vector>

#include "lockstep_exchange.h"
#include "network_manager.h"

// What one peer applied in each exchange turn and whether the world ticked after it.
struct AppliedTurn {
    std::vector<Command> commands;
    bool ticked = false;
};

// Applies nothing to the world: the orders are kept to be played against a world afterwards, one peer at a time.
class RecordingRunner : public TurnRunner {
public:
    std::vector<AppliedTurn> turns{1};
    std::vector<int> left;
    bool paused = false;
    bool isPaused() const override { return paused; }
    void apply(const Command& cmd) override {
        if (cmd.type == CommandType::PauseGame) paused = true;
        if (cmd.type == CommandType::ResumeGame) paused = false;
        turns.back().commands.push_back(cmd);
    }
    void tick() override { turns.back().ticked = true; }
    void playerLeft(int playerId) override { left.push_back(playerId); }
    void endTurn() { turns.emplace_back(); }
};

// Joins two transports by an in-memory stream; the id of the first one's end.
inline int joinInMemory(NetworkManager& first, NetworkManager& second) {
    auto [a, b] = makeMemoryLinkPair();
    second.addConnection(std::move(b));
    return first.addConnection(std::move(a));
}
