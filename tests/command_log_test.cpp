// Command log records: the writer's line form, reading records back, grouping them into turns, and the header.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "config.h"
#include "game_state.h"
#include "lockstep.h"
#include "player.h"
#include "test_files.h"

using nlohmann::json;

namespace {

Command command(CommandType type, int player, CommandPayload payload) {
    return Command{type, player, std::move(payload)};
}

std::string line(int tick, const Command& cmd) { return compactJson(commandToJson(tick, cmd)); }

// One command of every type code, each holding the record its code names.
std::vector<Command> everyOrder() {
    return {
        command(CommandType::Move, 1, MoveCommand{{4, 9, 12}, 30, -2, true}),
        command(CommandType::Spawn, 1, SpawnCommand{"Marine"}),
        command(CommandType::Mine, 1, MineCommand{5, 6, 7, 8}),
        command(CommandType::PlaceBuildingDown, 2, PlaceBuildingDownCommand{"Depot", 11, 12, 13}),
        command(CommandType::TrainUnit, 2, TrainUnitCommand{14, "Peon"}),
        command(CommandType::Attack, 2, AttackCommand{15, 16}),
        command(CommandType::SetRallyPoint, 2, SetRallyPointCommand{17, 18, 19}),
        command(CommandType::CarrierPickUp, 3, CarrierPickUpCommand{20, 21}),
        command(CommandType::CarrierDropOff, 3, CarrierDropOffCommand{22, 23}),
        command(CommandType::CastSpell, 3, CastSpellCommand{24, 25, 2600, 2700, "Slow", true}),
        command(CommandType::StopProduction, 3, StopProductionCommand{28, 2}),
        command(CommandType::StopConstruction, 3, StopConstructionCommand{29}),
        command(CommandType::ResearchUpgrade, 4, ResearchUpgradeCommand{30, "Armor1"}),
        command(CommandType::ChatMessage, 4, ChatMessageCommand{"gl hf \xC3\xA9"}),
        command(CommandType::PauseGame, 4, PauseGameCommand{31}),
        command(CommandType::ResumeGame, 4, ResumeGameCommand{32}),
        command(CommandType::Ping, 4, std::monostate{}),
        command(CommandType::Pong, 4, std::monostate{}),
        command(CommandType::AttackMove, 5, AttackMove{33, 34, 35, true}),
        command(CommandType::PickUp, 5, PickUpCommand{36, 37}),
        command(CommandType::ComputerTakeover, 6, ComputerTakeoverCommand{"turtle"}),
    };
}

Command readBack(const std::string& text) {
    int tick = 0;
    Command cmd;
    std::string error;
    EXPECT_TRUE(commandFromJson(json::parse(text), tick, cmd, error)) << error;
    return cmd;
}

std::string readError(const std::string& text) {
    int tick = 0;
    Command cmd;
    std::string error;
    EXPECT_FALSE(commandFromJson(json::parse(text), tick, cmd, error)) << text;
    return error;
}

TEST(CommandRecord, OrdersWithoutRecordWriteNullData) {
    EXPECT_EQ(line(0, command(CommandType::Ping, 2, std::monostate{})),
              R"({"data":null,"player":2,"tick":0,"type":16})");
}

TEST(CommandRecord, EveryOrderReadsBackAsItWasWritten) {
    for (const Command& original : everyOrder()) {
        const std::string text = line(42, original);
        const Command back = readBack(text);
        EXPECT_EQ(back.type, original.type) << text;
        EXPECT_EQ(back.player, original.player) << text;
        EXPECT_EQ(line(42, back), text);
    }
}

TEST(CommandRecord, TypeCodeChoosesTheRecordCodesWithoutOneReadEmptyAndShiftDefaultsToFalse) {
    const Command plain = readBack(R"({"tick":1,"player":1,"type":0,"data":{"unitIds":[3],"x":1,"y":2}})");
    EXPECT_FALSE(std::get<MoveCommand>(plain.payload).shiftHeld);

    const Command ping = readBack(R"({"tick":1,"player":1,"type":16,"data":{"unitId":4}})");
    EXPECT_EQ(ping.type, CommandType::Ping);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(ping.payload));

    const Command unknown = readBack(R"({"tick":1,"player":1,"type":77,"data":null})");
    EXPECT_EQ(static_cast<int>(unknown.type), 77);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(unknown.payload));
}

TEST(CommandRecord, MissingOrMistypedKeysAreMalformed) {
    EXPECT_NE(readError(R"({"tick":1,"player":1,"type":9,"data":{"unitId":1,"targetId":2,"targetX":3,"targetY":4}})")
                  .find("spell"),
              std::string::npos);
    readError(R"({"tick":1,"player":1,"type":0,"data":{"unitIds":[1],"x":1,"y":2,"shiftHeld":1}})");
    readError(R"({"tick":1,"player":1,"type":0,"data":{"unitIds":[1.5],"x":1,"y":2}})");
    readError(R"({"tick":1,"player":1,"type":5,"data":{"unitId":1,"targetId":4294967296}})");
    readError(R"({"tick":1,"player":1,"type":13,"data":{"message":7}})");
    readError(R"({"tick":1,"player":1,"type":1,"data":null})");
    EXPECT_NE(readError(R"({"tick":1,"player":6,"type":24,"data":null})").find("data"), std::string::npos);
    EXPECT_NE(readError(R"({"tick":1,"player":6,"type":24,"data":{"strategy":1}})").find("strategy"),
              std::string::npos);
    readError(R"({"tick":"1","player":1,"type":16,"data":null})");
    readError(R"({"player":1,"type":16,"data":null})");
    readError(R"([1,2,3])");
    // A unit list longer than any order.
    json record = commandToJson(1, command(CommandType::Move, 1, MoveCommand{}));
    record["data"]["unitIds"] = std::vector<int>(MAX_LOGGED_UNIT_IDS + 1, 5);
    readError(record.dump());
}

TEST(CommandRecord, TextThatIsNotUtf8IsReplacedRatherThanStoppingTheLog) {
    std::ostringstream log;
    appendCommandRecord(log, 3, command(CommandType::ChatMessage, 1, ChatMessageCommand{"bad \xFF byte"}));
    EXPECT_NE(log.str().find("bad \xEF\xBF\xBD byte"), std::string::npos);
    EXPECT_EQ(log.str().back(), '\n');
}

TEST(CommandRecord, EachRecordReachesTheFileBeforeTheStreamCloses) {
    TempDir dir;
    const auto path = dir.path / "log.bin";
    std::ofstream log(path, std::ios::binary);
    appendCommandRecord(log, 5, command(CommandType::StopConstruction, 2, StopConstructionCommand{9}));
    EXPECT_EQ(readWholeFile(path), R"({"data":{"buildingId":9},"player":2,"tick":5,"type":11})"
                                   "\n");
}

// ---- Grouping records into turns ----

std::string records(const std::vector<std::pair<int, int>>& tickAndUnit) {
    std::string text;
    for (const auto& [tick, unit] : tickAndUnit)
        text += line(tick, command(CommandType::Attack, unit, AttackCommand{unit, 0})) + "\n";
    return text;
}

int unitOf(const Command& cmd) { return std::get<AttackCommand>(cmd.payload).unitId; }

TEST(ReadNextTurn, ConsecutiveRecordsOfOneTickFormOneTurn) {
    const std::string first = records({{3, 10}, {3, 11}});
    std::istringstream in(first + records({{5, 12}}));
    Turn turn;
    ASSERT_EQ(readNextTurn(in, turn), TurnRead::Read);
    EXPECT_EQ(turn.tick, 3);
    ASSERT_EQ(turn.commands.size(), 2u);
    EXPECT_EQ(unitOf(turn.commands[0]), 10);
    EXPECT_EQ(unitOf(turn.commands[1]), 11);
    EXPECT_EQ(in.tellg(), static_cast<std::streamoff>(first.size()));

    Turn second;
    ASSERT_EQ(readNextTurn(in, second), TurnRead::Read);
    EXPECT_EQ(second.tick, 5);
    ASSERT_EQ(second.commands.size(), 1u);
    EXPECT_EQ(unitOf(second.commands[0]), 12);

    Turn none;
    none.tick = 99;
    EXPECT_EQ(readNextTurn(in, none), TurnRead::End);
    EXPECT_EQ(none.tick, 99);
}

TEST(ReadNextTurn, EmptyLinesAreSkippedWithoutEndingATurnAndALastLineWithoutEndStillCounts) {
    std::string text = "\n" + records({{4, 1}}) + "\r\n\n" + records({{4, 2}}) + "\n" + records({{8, 1}});
    text.pop_back();
    std::istringstream in(text);
    Turn turn;
    ASSERT_EQ(readNextTurn(in, turn), TurnRead::Read);
    EXPECT_EQ(turn.commands.size(), 2u);
    ASSERT_EQ(readNextTurn(in, turn), TurnRead::Read);
    EXPECT_EQ(turn.tick, 8);
    EXPECT_EQ(readNextTurn(in, turn), TurnRead::End);
}

TEST(ReadNextTurn, MalformedLineIsReportedLeavesTheTurnAndStopsReading) {
    std::istringstream in(records({{2, 1}}) + "{not json\n" + records({{3, 2}}));
    Turn turn;
    turn.tick = -5;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(readNextTurn(in, turn), TurnRead::Malformed);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("Malformed command log record"), std::string::npos);
    EXPECT_EQ(turn.tick, -5);
    EXPECT_NE(readNextTurn(in, turn), TurnRead::Read);

    std::istringstream overlong(std::string(MAX_RECORD_LINE + 10, ' ') + "\n");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(readNextTurn(overlong, turn), TurnRead::Malformed);
    ::testing::internal::GetCapturedStderr();
}

// ---- The header line ----

struct LogHeader : ::testing::Test {
    void SetUp() override {
        saved = {basePath, GAME_SPEED, CANCEL_BUILDING_PERCENTAGE_LOSS};
        players.clear();
    }
    void TearDown() override {
        closeCommandLog();
        std::tie(basePath, GAME_SPEED, CANCEL_BUILDING_PERCENTAGE_LOSS) = saved;
        players.clear();
    }
    std::tuple<std::string, float, float> saved;
};

TEST_F(LogHeader, HoldsTheConfigurationTheMapAndThePlayersInListOrder) {
    GAME_SPEED = 2.0f;
    CANCEL_BUILDING_PERCENTAGE_LOSS = 0.75f;
    players.push_back(std::make_unique<Player>(9, "Joes", "human", false));
    players.push_back(std::make_unique<Player>(4, "AI", "vohmathal", true));
    const json header = commandLogHeader("fight");
    const std::string text = compactJson(header);
    EXPECT_NE(text.find(R"("GAME_SPEED":2.0,)"), std::string::npos);
    EXPECT_NE(text.find(R"("MAP_FILE":"fight",)"), std::string::npos);
    EXPECT_NE(text.find(R"("players":[{"ai":false,"id":9,"name":"Joes","race":"human"},)"
                        R"({"ai":true,"id":4,"name":"AI","race":"vohmathal"}]})"),
              std::string::npos);
    EXPECT_FLOAT_EQ(header.at("CANCEL_BUILDING_PERCENTAGE_LOSS").get<float>(), 0.75f);
    players.clear();
    EXPECT_EQ(commandLogHeader("m").at("players"), json::array());
}

TEST_F(LogHeader, OpeningTwiceWritesOneHeaderAndKeepsTheFirstFile) {
    TempDir dir;
    basePath = dir.path.string() + "/";
    setup_command_log_for_writing("fight");
    const std::string first = replay_file_name;
    ASSERT_TRUE(commandLog.is_open());
    setup_command_log_for_writing("other");
    EXPECT_EQ(replay_file_name, first);
    closeCommandLog();
    const std::string text = readWholeFile(dir.path / "replays" / first);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    EXPECT_NE(text.find(R"("MAP_FILE":"fight")"), std::string::npos);
}

}  // namespace
