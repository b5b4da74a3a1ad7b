// A shared replay or saved game carrying hostile records: each is read or refused with one line, the replay plays to
// its end and the save catches up and goes live, and a record that must do nothing leaves the recorded world.
#include <algorithm>
#include <climits>
#include <functional>
#include <sstream>
#include <string>

#include "game_commands_wire.h"
#include "session_fixture.h"

namespace {

using nlohmann::json;

constexpr int TURNS = 200;
// The tick the hostile records go in: between recorded turns, every 40th of the match.
constexpr int HOSTILE_TICK = 100;

std::string recordLine(int tick, int player, int type, const json& data) {
    return json{{"tick", tick}, {"player", player}, {"type", type}, {"data", data}}.dump() + "\n";
}

int tickOf(const std::string& line) { return json::parse(line).value("tick", 0); }

// The log with the record put among the records in tick order, after those of its own tick.
std::string withRecord(const std::string& log, const std::string& record) {
    const int tick = tickOf(record);
    std::size_t at = log.find('\n') + 1;
    while (at < log.size()) {
        const std::size_t end = log.find('\n', at) + 1;
        if (tickOf(log.substr(at, end - at)) > tick) break;
        at = end;
    }
    return log.substr(0, at) + record + log.substr(at);
}

std::string withHeaderKey(const std::string& log, const char* key, const json& value) {
    json header = json::parse(log.substr(0, log.find('\n')));
    header[key] = value;
    return header.dump() + log.substr(log.find('\n'));
}

// The first recorded Mine order of the player: a unit of theirs and a map object they mine.
json mineOf(const std::string& log, int player) {
    std::istringstream lines(log);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        const json record = json::parse(line);
        if (record.value("type", -1) == 2 && record.value("player", 0) == player) return record["data"];
    }
    return json::object();
}

// What reading the hostile log must give.
enum class Reading {
    Whole,     // read to the end without a line
    CutShort,  // the turns before the record kept, one line naming it
    CutFirst,  // the first record refused, one line naming it: no turn kept, and the session plays no order
    Refused,   // nothing started, one line naming it
};

struct Row {
    const char* what;
    std::function<std::string(const std::string& log)> hostile;
    Reading reading;
    const char* line;  // what the one error line holds, when there is one
    bool worldAsRecorded;
};

struct HostileLog : SessionTest {
    ChecksumsByTurn live;
    std::string log;

    void SetUp() override {
        SessionTest::SetUp();
        live = playLiveMatch(TURNS, remineEvery(40));
        log = readWholeFile(onlyFileIn(root.path / "replays"));
        std::filesystem::remove_all(root.path / "replays");
    }

    // The turns a run has in common with the live match all carry its world.
    void expectLiveWorld(const ChecksumsByTurn& sums) const {
        for (const auto& [turn, sum] : sums)
            if (live.count(turn)) {
                EXPECT_EQ(sum, live.at(turn)) << "turn " << turn;
            }
    }

    // What reading gives, as the replays page reads: whether it read whole, and the error stream's lines.
    static bool readAsReplay(const std::string& bytes, std::string& errors) {
        std::istringstream in(bytes);
        keepRunSeats();
        ::testing::internal::CaptureStderr();
        const bool whole = loadReplay(in);
        errors = ::testing::internal::GetCapturedStderr();
        return whole;
    }

    void expectReading(const Row& row, bool whole, const std::string& errors) const {
        EXPECT_EQ(whole, row.reading == Reading::Whole);
        if (row.reading == Reading::Whole) {
            EXPECT_EQ(errors, "");
            return;
        }
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_NE(errors.find(row.line), std::string::npos) << errors;
        EXPECT_EQ(replayTurns.empty(), row.reading != Reading::CutShort);
    }

    // Played as the replays page plays it, to its end.
    void playAsReplay(const Row& row, const std::string& bytes) {
        std::string errors;
        const bool whole = readAsReplay(bytes, errors);
        expectReading(row, whole, errors);
        if (row.reading == Reading::Refused) {
            abandonStart();
            return;
        }
        mode = GameMode::Replay;
        ASSERT_TRUE(startGame(false, true, MAP_FILE, true));
        // Right after its last turn; a log that kept no turn ends before its first tick.
        const int end = replayTurns.empty() ? 0 : lastReplayTick() + 1;
        const ChecksumsByTurn sums = runFrames(TURNS * 4, 20.0, [] { return false; });
        EXPECT_EQ(gameState, GameState::Menus) << "the replay ends";
        EXPECT_EQ(sums.rbegin()->first, end);
        if (row.worldAsRecorded) expectLiveWorld(sums);
    }

    // Resumed as the load dialog resumes it, until it goes live.
    void resumeAsSave(const Row& row, const std::string& bytes) {
        root.write("saves/hostile.bin", bytes);
        load_game_filename = "hostile.bin";
        mode = GameMode::ResumedSave;
        ::testing::internal::CaptureStderr();
        const bool started = startGame(true, true, "", false);
        ::testing::internal::GetCapturedStderr();
        ASSERT_EQ(started, row.reading != Reading::Refused);
        if (!started) return;
        const ChecksumsByTurn sums = runFrames(TURNS * 4, 20.0, [] { return mode != GameMode::ResumedSave; });
        EXPECT_EQ(mode, GameMode::Skirmish) << "the save goes live";
        EXPECT_EQ(gameState, GameState::Match);
        if (row.worldAsRecorded) expectLiveWorld(sums);
        endSession();
        std::filesystem::remove_all(root.path / "replays");
    }
};

TEST_F(HostileLog, EveryHostileRecordIsReadOrRefusedAndPlaysToItsEndAsReplayAndAsSave) {
    ASSERT_TRUE(contentLoaded);
    const json ownMine = mineOf(log, LOCAL_ID);
    const json otherMine = mineOf(log, OTHER_ID);
    ASSERT_TRUE(ownMine.contains("unitId") && otherMine.contains("unitId"));
    const int ownUnit = ownMine["unitId"].get<int>();
    const int otherUnit = otherMine["unitId"].get<int>();
    const auto record = [](int type, const json& data, int player = LOCAL_ID, int tick = HOSTILE_TICK) {
        return [=](const std::string& l) { return withRecord(l, recordLine(tick, player, type, data)); };
    };
    const json bigMove = {{"unitIds", json::array({ownUnit})}, {"x", 4294967296LL}, {"y", 10}};
    json tooManyIds = json::array();
    for (std::size_t i = 0; i <= MAX_LOGGED_UNIT_IDS; ++i) tooManyIds.push_back(ownUnit);
    const Row rows[] = {
        {"a coordinate beyond 32 bits", record(0, bigMove), Reading::CutShort, "32-bit", true},
        {"a fractional unit id", record(5, {{"unitId", 1.5}, {"targetId", otherUnit}}), Reading::CutShort, "32-bit",
         true},
        {"a unit list that is a string", record(0, {{"unitIds", "all"}, {"x", 1}, {"y", 1}}), Reading::CutShort,
         "not an array", true},
        {"one unit id more than a list may hold", record(0, {{"unitIds", tooManyIds}, {"x", 1}, {"y", 1}}),
         Reading::CutShort, "too many ids", true},
        {"a tick before the turn read last",
         [&](const std::string& l) { return l + recordLine(HOSTILE_TICK, LOCAL_ID, 13, {{"message", "late"}}); },
         Reading::CutShort, "after tick", true},
        {"a tick beyond the last a log may hold", record(13, {{"message", "late"}}, LOCAL_ID, MAX_REPLAY_TICK + 1),
         Reading::CutShort, "lies beyond", true},
        {"a header tile size below its range",
         [](const std::string& l) { return withHeaderKey(l, "TILE_SIZE", 3); }, Reading::Refused,
         "Failed to parse replay config JSON", false},
        {"a leave of the local player", record(23, nullptr), Reading::Whole, "", true},
        {"a leave of a player the header does not list", record(23, nullptr, 999), Reading::Whole, "", true},
        {"a leave of the other player, twice",
         [&](const std::string& l) {
             return withRecord(withRecord(l, recordLine(HOSTILE_TICK, OTHER_ID, 23, nullptr)),
                               recordLine(HOSTILE_TICK + 1, OTHER_ID, 23, nullptr));
         },
         Reading::Whole, "", true},
        {"a leave and orders before turn 0",
         [&](const std::string& l) {
             const std::size_t body = l.find('\n') + 1;
             return l.substr(0, body) + recordLine(-5, OTHER_ID, 23, nullptr) +
                    recordLine(-5, LOCAL_ID, 1, {{"unitType", "Marine"}}) + l.substr(body);
         },
         Reading::CutFirst, "comes before tick 0", false},
        {"codes no order has", record(INT_MAX, {{"unitIds", json::array({ownUnit})}}), Reading::Whole, "", true},
        {"a negative code", record(-1, nullptr, OTHER_ID), Reading::Whole, "", true},
        {"a move of the other player's unit", record(0, {{"unitIds", json::array({otherUnit})}, {"x", 9}, {"y", 9}}),
         Reading::Whole, "", true},
        {"orders of a player the header does not list",
         record(5, {{"unitId", ownUnit}, {"targetId", otherUnit}}, 999), Reading::Whole, "", true},
        {"a mine of an object beyond every id",
         record(2, {{"unitId", ownUnit}, {"targetX", INT_MAX}, {"targetY", INT_MIN}, {"mapObjectId", INT_MAX}}),
         Reading::Whole, "", true},
        {"a chat line of bytes that are not UTF-8, as the log writes it",
         [](const std::string& l) {
             std::ostringstream written;
             const std::string bytes(MAX_CHAT_BYTES, '\xFF');
             appendCommandRecord(written, HOSTILE_TICK, {CommandType::ChatMessage, LOCAL_ID, ChatMessageCommand{bytes}});
             return withRecord(l, written.str());
         },
         Reading::Whole, "", true},
        {"a chat message as long as a written chat line may be",
         record(13, {{"message", std::string(MAX_LOGGED_CHAT_BYTES, 'x')}}), Reading::Whole, "", true},
        {"a chat message a byte longer than a written chat line may be",
         record(13, {{"message", std::string(MAX_LOGGED_CHAT_BYTES + 1, 'x')}}), Reading::CutShort,
         "not one chat line", true},
        {"a chat message as long as a record may be",
         record(13, {{"message", std::string(MAX_RECORD_LINE - 100, 'x')}}), Reading::CutShort, "not one chat line",
         true},
        {"a chat message of two lines", record(13, {{"message", "gg\nwp"}}), Reading::CutShort, "not one chat line",
         true},
        {"a spawn for a player the header does not list", record(1, {{"unitType", "Marine"}}, 999), Reading::Whole,
         "", false},
        {"a pick-up of an item that does not exist", record(19, {{"unitId", ownUnit}, {"itemId", INT_MIN}}),
         Reading::Whole, "", true},
        {"header keys at their extremes",
         [](const std::string& l) {
             std::string h = withHeaderKey(l, "TILE_SIZE", 512);
             for (const char* key : {"GOLD_MINING_TIME", "WOOD_MINING_TIME", "MINIMAP_SIZE", "HUD_SIZE"})
                 h = withHeaderKey(h, key, 0);
             h = withHeaderKey(h, "GAME_SPEED", 16);
             return withHeaderKey(withHeaderKey(h, "UNIT_SPEED", 1000), "WAYPOINT_EPS", 1000);
         },
         Reading::Whole, "", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string bytes = row.hostile(log);
        ASSERT_NO_FATAL_FAILURE(playAsReplay(row, bytes));
        ASSERT_NO_FATAL_FAILURE(resumeAsSave(row, bytes));
    }
}

}  // namespace
