// A received turn packet of arbitrary bytes: decoding it must stay within the bytes, and what it decodes must
// survive being written and read again unchanged; a host's exchange fed them by a client must keep to its rules,
// and apply no more of a turn than the work of one turn.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <vector>

#include "game_commands_wire.h"
#include "lockstep_exchange.h"

namespace {

void decodeAndEncode(const uint8_t* data, size_t size) {
    NetPacket packet;
    packet.type = static_cast<uint8_t>(PacketType::TurnCommands);
    packet.data.assign(data, data + size);
    Turn turn;
    if (!readTurnPacket(packet, turn)) return;
    if (packet.readPos > packet.data.size()) abort();
    NetPacket again = writeTurnPacket(turn);
    Turn back;
    if (!readTurnPacket(again, back) || back.commands.size() != turn.commands.size()) abort();
    if (writeTurnPacket(back).data != again.data) abort();
}

// Keeps the client's applied orders of each turn.
class Keep : public TurnRunner {
public:
    std::vector<std::vector<Command>> turns{1};
    bool isPaused() const override { return false; }
    void apply(const Command& cmd) override {
        if (cmd.player == 2) turns.back().push_back(cmd);
    }
    void tick() override { turns.emplace_back(); }
    void playerLeft(int) override {}
};

// The host stores turns only of its own player and of the client's, and no turn holds more than one packet may.
void feedHost(const std::vector<uint8_t>& stream) {
    LockstepManager manager;
    NetworkManager host, client;
    host.isHost = true;
    auto [ours, theirs] = makeMemoryLinkPair();
    client.addConnection(std::move(theirs));
    host.bindConnection(host.addConnection(std::move(ours)), 2);
    client.connections.front().link->send(stream);
    Keep runner;
    for (int frame = 0; frame < 3; ++frame) manager.step(TURN_LENGTH, 0, 1, {1, 2}, host, runner);
    for (const std::vector<Command>& applied : runner.turns)
        if (ordersWithinTurnWork(applied) != applied.size()) abort();
    for (const auto& [player, byTurn] : manager.turns) {
        if (player != 1 && player != 2) abort();
        for (const auto& [tick, turn] : byTurn)
            if (turn.commands.size() > static_cast<size_t>(MAX_TURN_COMMANDS)) abort();
    }
}

}  // namespace

// The first byte chooses: decoding alone, the host fed one framed turn packet, or the host fed raw stream bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::ostringstream sink;
    std::cerr.rdbuf(sink.rdbuf());
    sink.str("");
    if (size == 0 || data[0] % 3 == 0) {
        decodeAndEncode(data, size);
        return 0;
    }
    NetPacket packet(PacketType::TurnCommands);
    packet.data.assign(data + 1, data + size);
    feedHost(data[0] % 3 == 1 ? framePacket(packet) : packet.data);
    return 0;
}
