// Lockstep turns, the command log that records every applied command, and reading a log back as a replay.
#pragma once

#include <fstream>
#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "game_commands.h"
#include "lockstep_exchange.h"

extern LockstepManager lockstep;

// ---- Command log records ----

// The open command log of the session; applyCommand appends one record per accepted command.
extern std::ofstream commandLog;
extern std::string replay_file_name;

// The record object: "tick", "player", "type" (the command's code) and "data" (its order record, or null).
nlohmann::json commandToJson(int tick, const Command& cmd);
// One line without spaces; text that is not valid UTF-8 is written with replacement characters rather than
// stopping the log.
std::string compactJson(const nlohmann::json& value);
// Writes the record line and flushes it; a stream already in an error state is reported and still written to.
void appendCommandRecord(std::ostream& log, int tick, const Command& cmd);
// The record of a command applied, or a leave taken, at the current turn, into the open command log.
void logAtCurrentTurn(const Command& cmd);

// A record object back into a command; false, with the reason in error, for a record that is not one.
bool commandFromJson(const nlohmann::json& record, int& tick, Command& cmd, std::string& error);

// Longest record line and longest unit list a log may hold; anything longer is malformed.
constexpr std::size_t MAX_RECORD_LINE = 1 << 20;
constexpr std::size_t MAX_LOGGED_UNIT_IDS = 10000;

enum class TurnRead { Read, End, Malformed };

// Reads the consecutive records of the next tick into turn, leaving the stream at the first record of the tick
// after. Empty lines are skipped. A malformed record is reported on the error stream; the turn is then left as
// it was and the stream is left failed, so reading stops there.
TurnRead readNextTurn(std::istream& in, Turn& turn);

// ---- Command log header and replay loading ----

// The header object: the configuration that shapes a session, the session's map and the players in list order.
nlohmann::json commandLogHeader(const std::string& mapName);
// A hash of the header's settings that the tick reads, as they stand now, in hex: peers with equal ones play alike.
std::string settingsFingerprint();
// Opens a fresh, empty log under basePath + "replays/" with a new replay_file_name, creating the folder;
// false, with one line on the error stream, when it cannot be opened.
bool openFreshCommandLog();
// Opens a fresh log under basePath + "replays/" and writes its header line; an open log is kept as it is.
void setup_command_log_for_writing(const std::string& mapName);
void closeCommandLog();

// Turns of the last log loaded, in file order, and the index of the next one to apply.
extern std::vector<Turn> replayTurns;
extern int replayTurnIndex;

// Latest tick a log may hold: a day of play. Later ones would keep playback running for weeks.
constexpr int MAX_REPLAY_TICK = 24 * 60 * 60 * 63;

// Most participants a header may list.
constexpr std::size_t MAX_REPLAY_PLAYERS = 64;

// Reads a whole log: the header replaces the configuration it records (deriving the values that depend on it)
// and the players, then the records become replayTurns. A header that cannot be used changes nothing. Turns
// stop at a malformed record, one whose tick comes before 0, does not come after the previous turn's, or lies
// beyond MAX_REPLAY_TICK. False, with one line on the error stream, for an empty file, a bad header or a bad record.
bool loadReplay(std::istream& in);
// What a header records of the world its session was built from: the map it names, that map's fingerprint (empty
// when none was recorded) and the race of each listed player, in list order.
struct RecordedWorld {
    std::string mapName;
    std::string mapPrint;
    std::vector<std::string> races;
};
// Whether a log's first line is a header loadReplay would use, with what it records of its world, or the reason
// when not; changes nothing.
bool replayHeaderUsable(const std::string& line, RecordedWorld& recorded, std::string& error);

// Puts back the configuration a replay's header replaced; called when the replayed or resumed session ends.
void restoreConfigurationAfterReplay();
