// The wire form of orders: one command entry, and the turn packet that carries one player's orders for a turn.
#pragma once

#include <string>

#include "game_commands.h"
#include "lockstep.h"
#include "network_manager.h"

// Longest unit list an entry may carry; a longer count travels with an empty list.
constexpr int32_t MAX_WIRE_UNIT_IDS = 10000;
// Most orders one turn packet carries; the sender keeps the rest for its next turn.
constexpr int32_t MAX_TURN_COMMANDS = 4096;
// A chat message is one line of at most this many bytes; a longer one, or one with a line break, travels empty.
constexpr size_t MAX_CHAT_BYTES = 256;
// A chat line as the command log writes it: each byte that is not UTF-8 becomes the three bytes of U+FFFD.
constexpr size_t MAX_LOGGED_CHAT_BYTES = 3 * MAX_CHAT_BYTES;

bool isOneChatLine(const std::string& text, size_t maxBytes = MAX_CHAT_BYTES);

// The work one player's orders may set going in one turn, so that no peer's orders can stall the match: orders
// that may each start a path search (a move counts once, however many units it lists), and the units the move,
// hold and stop orders list. One input of a player orders each selected unit at most once, so a turn of a few
// inputs stays well inside both.
constexpr int MAX_TURN_UNIT_ORDERS = 512;
constexpr int MAX_TURN_LISTED_UNITS = 4096;

// How many of the orders, from the first, fit the work of one turn. The first always fits, so any order that
// can be sent gets through.
size_t ordersWithinTurnWork(const std::vector<Command>& cmds);

// Whether an entry of this code has a known layout; after any other code the rest of a packet cannot be read.
bool isWireCommandType(CommandType type);

// Appends the entry: type, issuing player, then the fields of the order record it holds.
void writeCommand(NetPacket& packet, const Command& cmd);
// Reads one entry at the read position. Fields cut short stay zero; an unknown type comes back with an empty record
// and nothing of its payload consumed; a chat message that is not one line is reported and comes back empty.
Command readCommand(NetPacket& packet);

NetPacket writeTurnPacket(const Turn& turn);
// The header, then the entries until the count is reached or the bytes run out. False, with the turn untouched and
// the reason in fault when one is given, when the header itself is cut short, its count is negative or above
// MAX_TURN_COMMANDS, or an entry has a code the wire does not know: such a packet is malformed as a whole.
bool readTurnPacket(NetPacket& packet, Turn& turn, std::string* fault = nullptr);
