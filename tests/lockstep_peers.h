// A lockstep peer's side for tests: a runner that records what each exchange turn applied, an in-memory link, and a
// host with one client on it.
#pragma once

#include <gtest/gtest.h>

#include <string>
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

// A host whose one client joined as player 2, over an in-memory link.
struct HostWithClient {
    LockstepManager manager;
    NetworkManager host, client;
    RecordingRunner runner;
    HostWithClient() {
        host.isHost = true;
        host.bindConnection(joinInMemory(host, client), 2);
    }
    // One host frame without time to send; what it wrote on the error stream.
    std::string hostStep() {
        testing::internal::CaptureStderr();
        manager.step(0.0f, 0, 1, {1, 2}, host, runner);
        return testing::internal::GetCapturedStderr();
    }
};

// How often part occurs in text.
inline size_t countOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

inline NetPacket intsPacket(uint8_t type, const std::vector<int32_t>& ints) {
    NetPacket p;
    p.type = type;
    for (int32_t v : ints) p.writeInt(v);
    return p;
}
