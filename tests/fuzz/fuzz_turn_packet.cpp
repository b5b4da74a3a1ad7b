// A received turn packet of arbitrary bytes: decoding it must stay within the bytes, and what it decodes must
// survive being written and read again unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <sstream>

#include "game_commands_wire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::ostringstream sink;
    std::cerr.rdbuf(sink.rdbuf());
    sink.str("");
    NetPacket packet;
    packet.type = static_cast<uint8_t>(PacketType::TurnCommands);
    packet.data.assign(data, data + size);
    Turn turn;
    if (!readTurnPacket(packet, turn)) return 0;
    if (packet.readPos > packet.data.size()) abort();
    NetPacket again = writeTurnPacket(turn);
    Turn back;
    if (!readTurnPacket(again, back) || back.commands.size() != turn.commands.size()) abort();
    if (writeTurnPacket(back).data != again.data) abort();
    return 0;
}
