// Replay loading: the header's configuration and players, the turns, bad files, and the configuration put back.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "config.h"
#include "game_state.h"
#include "lockstep.h"
#include "player.h"
#include "session_fixture.h"

using nlohmann::json;

namespace {

struct ReplayLoading : ::testing::Test {
    void SetUp() override {
        saved = configurationTuple();
        savedLocalId = Player::myStaticId;
        savedTeamIds = teamIds;
        // The running configuration of a match, as start-up leaves it.
        TILE_SIZE = 140;
        GAME_SPEED = 1.0f;
        UNIT_SPEED = 200.0f;
        CRYSTAL_MINING_TIME = 2.0f;
        AMBER_OIL_MINING_TIME = 3.0f;
        MAP_FILE = "fight";
        MUSIC = false;
        SOUNDS = true;
        deriveConfigValues();
        atStart = configurationTuple();
        players.clear();
        players.push_back(std::make_unique<Player>(5, "Joes", "human", false));
        Player::myStaticId = 5;
        playerToTeamPalette.clear();
        replayTurns.clear();
    }
    void TearDown() override {
        restoreConfigurationAfterReplay();
        configurationTuple() = saved;
        Player::myStaticId = savedLocalId;
        teamIds = savedTeamIds;
        players.clear();
        playerToTeamPalette.clear();
        replayTurns.clear();
    }

    static bool load(const std::string& text, std::string* errors = nullptr) {
        std::istringstream in(text);
        ::testing::internal::CaptureStderr();
        const bool ok = loadReplay(in);
        const std::string err = ::testing::internal::GetCapturedStderr();
        if (errors) *errors = err;
        return ok;
    }

    static std::string record(int tick, int unit) {
        return compactJson(commandToJson(tick, Command{CommandType::Attack, 1, AttackCommand{unit, 0}})) + "\n";
    }

    Configuration saved;
    Configuration atStart;
    int savedLocalId = 0;
    int savedTeamIds = 0;
};

TEST_F(ReplayLoading, HeaderOnlyAppliesTheConfigurationAndRebuildsThePlayers) {
    DRAW_DEBUG_TILES = false;
    ASSERT_TRUE(load(R"({"GAME_SPEED":2.0,"MAP_W":80,"DEBUG_MODE":true,"DRAW_DEBUG_TILES":true,"VERSION":"9.9",)"
                     R"("players":[{"id":3,"name":"Ann","race":"vohmathal","ai":true}]})"
                     "\n"));
    EXPECT_FLOAT_EQ(GAME_SPEED, 2.0f);
    EXPECT_EQ(MAP_W, 80);
    EXPECT_FALSE(DRAW_DEBUG_TILES) << "recorded-only keys are not applied";
    ASSERT_EQ(players.size(), 1u);
    EXPECT_EQ(players[0]->name, "Ann");
    EXPECT_TRUE(players[0]->isAI);
    EXPECT_EQ(players[0]->resources[RESOURCE_GOLD], 1000000) << "the header's debug resources";
    EXPECT_EQ(Player::myStaticId, 3);
    EXPECT_TRUE(replayTurns.empty());
}

TEST_F(ReplayLoading, HeaderWithoutPlayersKeepsThePlayersAndAnEmptyListKeepsTheLocalId) {
    ASSERT_TRUE(load(R"({"MAP_FILE":"fight"})"
                     "\n"));
    ASSERT_EQ(players.size(), 1u);
    EXPECT_EQ(players[0]->name, "Joes");
    EXPECT_EQ(Player::myStaticId, 5);
    ASSERT_TRUE(load(R"({"players":[]})"
                     "\n"));
    EXPECT_TRUE(players.empty());
    EXPECT_EQ(Player::myStaticId, 5);
}

TEST_F(ReplayLoading, PlayersKeepTheirOrderShareThePaletteAndTheFirstIsWatched) {
    teamIds = 4;
    ASSERT_TRUE(load(R"({"players":[{"id":7,"name":"A"},{"id":3}]})"
                     "\n"));
    ASSERT_EQ(players.size(), 2u);
    EXPECT_EQ(players[0]->id, 7);
    EXPECT_EQ(players[1]->id, 3);
    EXPECT_EQ(players[1]->name, "Unknown");
    EXPECT_EQ(playerToTeamPalette.at(7), 2);
    EXPECT_EQ(playerToTeamPalette.at(3), 2);
    EXPECT_EQ(players[0]->teamPalette, 4);
    EXPECT_EQ(players[1]->teamPalette, 5);
    EXPECT_EQ(Player::myStaticId, 7);
}

TEST_F(ReplayLoading, DerivedValuesFollowTheHeaderAndEverythingReturnsAfterTheReplay) {
    ASSERT_TRUE(load(R"({"TILE_SIZE":64,"GAME_SPEED":2.0,"GOLD_MINING_TIME":1.0,"WOOD_MINING_TIME":4.0})"
                     "\n"));
    EXPECT_EQ(SUB_TILE_SIZE, 16);
    EXPECT_EQ(CRYSTAL_MINING_TICKS, 31);
    EXPECT_EQ(AMBER_OIL_MINING_TICKS, 125);
    // A second replay in the same session still returns to the configuration before the first.
    ASSERT_TRUE(load(R"({"TILE_SIZE":100})"
                     "\n"));
    restoreConfigurationAfterReplay();
    EXPECT_TRUE(configurationTuple() == atStart);
    EXPECT_EQ(SUB_TILE_SIZE, 35);
}

TEST_F(ReplayLoading, TurnsAreReadInFileOrderAndALoadReplacesThePrevious) {
    const std::string file = "{}\n" + record(0, 1) + record(0, 2) + record(4, 3);
    ASSERT_TRUE(load(file));
    ASSERT_TRUE(load(file));
    ASSERT_EQ(replayTurns.size(), 2u);
    EXPECT_EQ(replayTurns[0].tick, 0);
    EXPECT_EQ(replayTurns[0].commands.size(), 2u);
    EXPECT_EQ(replayTurns[1].tick, 4);
}

// A record read as the header names no key, so every key takes its default.
TEST_F(ReplayLoading, ARecordAsFirstLineIsTakenAsTheHeaderAndNotReplayed) {
    ASSERT_TRUE(load(record(2, 1) + record(3, 2)));
    EXPECT_EQ(MAP_FILE, "default");
    EXPECT_TRUE(MUSIC);
    EXPECT_FALSE(SOUNDS);
    EXPECT_EQ(TILE_SIZE, 64);
    EXPECT_EQ(players.size(), 1u);
    ASSERT_EQ(replayTurns.size(), 1u);
    EXPECT_EQ(replayTurns[0].tick, 3);
}

TEST_F(ReplayLoading, EmptyFileIsReportedAndChangesNothing) {
    std::string errors;
    EXPECT_FALSE(load("", &errors));
    EXPECT_EQ(errors, "Replay file is empty!\n");
    EXPECT_TRUE(configurationTuple() == atStart);
}

TEST_F(ReplayLoading, UnusableHeaderIsReportedAndAppliesNothing) {
    const char* headers[] = {
        R"({"DEBUG_MODE":true,"GAME_SPEED":"fast"})",
        R"({"MAP_W":1e12})",
        R"({"GAME_SPEED":1e300})",
        R"({"MAP_FILE":"../../etc/passwd"})",
        R"({"MAP_FILE":"maps/fight"})",
        R"({"players":{"id":1}})",
        R"({"players":[{"id":"one"}]})",
        R"({"players":[5]})",
        R"({"players":[{"id":3},{"id":3}]})",
        R"({"TILE_SIZE":0})",
        R"({"TILE_SIZE":-1})",
        R"({"GAME_SPEED":0})",
        R"({"MAP_W":5000})",
        R"([1,2])",
        R"(not json)",
    };
    json tooMany = {{"players", json::array()}};
    for (std::size_t i = 0; i <= MAX_REPLAY_PLAYERS; ++i) tooMany["players"].push_back({{"id", i}});
    std::vector<std::string> all(std::begin(headers), std::end(headers));
    all.push_back(tooMany.dump());
    for (const std::string& header : all) {
        std::string errors;
        EXPECT_FALSE(load(header + "\n" + record(1, 1), &errors)) << header;
        EXPECT_EQ(errors.rfind("Failed to parse replay config JSON: ", 0), 0u) << header << ": " << errors;
        EXPECT_TRUE(configurationTuple() == atStart) << header;
        ASSERT_EQ(players.size(), 1u) << header;
        EXPECT_EQ(players[0]->id, 5);
        EXPECT_TRUE(replayTurns.empty());
    }
}

// The tick the bad record belonged to may be the one being read, so only the turns before it are kept.
TEST_F(ReplayLoading, BadRecordsAreReportedAndKeepTheTurnsCompletedBeforeThem) {
    const struct {
        std::string records;
        const char* error;
        std::size_t turnsKept;
    } cases[] = {
        {record(1, 1) + record(2, 2) + R"({"tick":3,"player":1,"type":5,"data":{}})" "\n" + record(4, 4),
         "Malformed command log record", 1},
        {record(5, 1) + record(3, 2) + record(6, 3), "tick 3 after tick 5", 1},
        {record(0, 1) + record(-1, 2), "tick -1 after tick 0", 1},
        {record(1, 1) + record(MAX_REPLAY_TICK + 1, 2), "lies beyond tick", 1},
        {record(INT_MAX, 1), "tick 2147483647 lies beyond tick", 0},
        {record(-1, 1) + record(0, 2), "tick -1 comes before tick 0", 0},
    };
    for (const auto& c : cases) {
        std::string errors;
        EXPECT_FALSE(load("{}\n" + c.records, &errors)) << c.records;
        EXPECT_NE(errors.find(c.error), std::string::npos) << errors;
        EXPECT_EQ(replayTurns.size(), c.turnsKept) << c.records;
    }
    EXPECT_TRUE(load("{}\n" + record(MAX_REPLAY_TICK, 1))) << "a day of play is the last tick kept";
    ASSERT_TRUE(load("{}\n" + record(0, 1) + record(1, 2))) << "tick 0 is the first a session plays";
    EXPECT_EQ(replayTurns.size(), 2u);
}

}  // namespace

// ---- A scripted game, logged and replayed ----

namespace {

// The shipped catalogue and "maps/fight.map" with a human and a vohmathal base, as a session starts them.
struct ScriptedGame : ShippedGame {
    void SetUp() override {
        ShippedGame::SetUp();
        basePath = dir.path.string() + "/";
    }

    static std::string mapFile() { return std::string(CORVALE_SOURCE_DIR) + "/maps/" + MAP_FILE + ".map"; }

    static void startMatch() {
        players.push_back(std::make_unique<Player>(1, "Ann", "human", false));
        players.push_back(std::make_unique<Player>(2, "Bob", "vohmathal", false));
        Player::myStaticId = 1;
        ASSERT_TRUE(headless::buildMapWorld(mapFile()));
        equipPlayers();
    }

    // What both runs add to the map's start so that every order can be carried out: resources, supply, the
    // units listed with their owners, two civilians beside the human base ready to be recruited, and a marine
    // there to cast.
    static void equipPlayers() {
        for (const auto& p : players) {
            p->resources[RESOURCE_GOLD] = p->resources[RESOURCE_WOOD] = 1000;
            p->supplyCap = 10;
        }
        Player& ann = *getPlayerById(1);
        for (const char* type : {"Civilian", "Civilian", "Marine"}) {
            const V2i at = find_nearby_clear_tile({ann.baseTile.x * 4 + 6, ann.baseTile.y * 4 + 16}, 10);
            Unit unit = newUnitFromInfo(*getUnitInfo(type), nextAttackableId++, 1);
            unit.x = at.x * 35.0f + 17.5f;
            unit.y = at.y * 35.0f + 17.5f;
            addUnit(unit);
            reserveTilesForUnit(unit.id, unit.type, at);
        }
        ann.recruits = 2;
        headless::listUnitsWithOwners();
    }

    static std::vector<int> workersOf(int playerId) {
        std::vector<int> ids;
        for (const Unit& u : units)
            if (u.playerId == playerId && u.worker) ids.push_back(u.id);
        return ids;
    }
    static int marineOf(int playerId) {
        for (const Unit& u : units)
            if (u.playerId == playerId && u.type == "Marine") return u.id;
        return -1;
    }
    static int baseOf(int playerId) { return getPlayerById(playerId)->buildingIds.front(); }
    static int siteOf(int playerId) {
        for (const Building& b : buildings)
            if (b.playerId == playerId && !b.completed) return b.id;
        return -1;
    }

    static std::vector<Command> mining(int playerId, const std::vector<int>& workers) {
        std::vector<Command> cmds;
        const ResourceFind crystal = findClosestResource(getPlayerById(playerId)->baseTile, "Crystal", grid);
        if (crystal.object)
            for (int id : workers)
                cmds.push_back({CommandType::Mine, playerId, MineCommand{id, 0, 0, crystal.object->id}});
        return cmds;
    }

    static Command placement(int playerId, const std::string& type, int workerId) {
        const V2i site = findClosestFreeTile(getPlayerById(playerId)->baseTile, type, grid, 5);
        return {CommandType::PlaceBuildingDown, playerId, PlaceBuildingDownCommand{type, site.x, site.y, workerId}};
    }

    // The orders of one live turn, by the loop's turn counter (which keeps counting while the game is paused).
    static std::vector<Command> script(int step) {
        const std::vector<int> ann = workersOf(1);
        const std::vector<int> bob = workersOf(2);
        std::vector<Command> cmds;
        auto order = [&cmds](CommandType type, int player, CommandPayload payload) {
            cmds.push_back(Command{type, player, std::move(payload)});
        };
        if (step % 40 == 0) order(CommandType::Move, 1, MoveCommand{{ann[0]}, 40 + step % 7, 60 + step % 5, false});
        if (step % 40 == 20) order(CommandType::Move, 2, MoveCommand{{bob[2]}, 200 - step % 9, 190, false});
        if (step == 1) cmds = mining(1, {ann[1]});
        if (step == 2) cmds = mining(2, {bob[0], bob[1]});
        if (step == 3) order(CommandType::AttackMove, 2, AttackMove{bob[2], 120, 120, false});
        if (step == 4) order(CommandType::AttackMove, 2, AttackMove{bob[2], 100, 130, true});
        if (step == 5) cmds.push_back(placement(1, "HumanCamp", ann[2]));
        if (step == 10) order(CommandType::SetRallyPoint, 1, SetRallyPointCommand{baseOf(1), 50, 70});
        if (step == 12) order(CommandType::SetRallyPoint, 2, SetRallyPointCommand{baseOf(2), 9999, 70});
        const CastSpellCommand freeze{marineOf(1), marineOf(1), 0, 0, "FreezingBullets", false};
        if (step == 30) order(CommandType::CastSpell, 1, freeze);
        if (step == 31) order(CommandType::CastSpell, 1, freeze);
        if (step == 32) order(CommandType::CastSpell, 1, CastSpellCommand{ann[1], bob[1], 7000, 7000, "Slow", true});
        if (step == 33) order(CommandType::CastSpell, 2, CastSpellCommand{bob[1], -1, 900, 900, "OrcDemolish", false});
        if (step == 50) order(CommandType::ChatMessage, 2, ChatMessageCommand{"gl hf"});
        if (step == 70) order(CommandType::PauseGame, 1, PauseGameCommand{70});
        if (step > 70 && step < 75) order(CommandType::Move, 1, MoveCommand{{ann[0]}, 10, 10, false});
        if (step == 75) {
            order(CommandType::AttackMove, 1, AttackMove{ann[0], 30, 30, false});
            order(CommandType::ResumeGame, 1, ResumeGameCommand{75});
            order(CommandType::AttackMove, 1, AttackMove{ann[0], 31, 31, true});
        }
        if (step == 90) order(CommandType::CarrierPickUp, 1, CarrierPickUpCommand{ann[0], 12345});
        if (step == 91) order(CommandType::Ping, 1, std::monostate{});
        if (step == 100) order(CommandType::StopConstruction, 1, StopConstructionCommand{siteOf(1)});
        if (step == 110) cmds.push_back(placement(1, "HumanCamp", ann[2]));
        if (step == 120) cmds.push_back(placement(2, "OrcCamp", bob[2]));
        if (step == 130 || step == 131) order(CommandType::TrainUnit, 1, TrainUnitCommand{baseOf(1), "Scavenger"});
        if (step == 140) order(CommandType::StopProduction, 1, StopProductionCommand{baseOf(1), 0});
        if (step == 150) order(CommandType::ResearchUpgrade, 1, ResearchUpgradeCommand{baseOf(1), "HumanKeep"});
        return cmds;
    }

    TempDir dir;
};

TEST_F(ScriptedGame, LogReplaysToTheSameChecksumTickByTickAndGainsNoRecord) {
    ASSERT_TRUE(contentLoaded);
    ASSERT_NO_FATAL_FAILURE(startMatch());
    setup_command_log_for_writing(MAP_FILE);
    const std::string logPath = basePath + "replays/" + replay_file_name;

    std::vector<uint64_t> live;
    ::testing::internal::CaptureStderr();
    for (int step = 0; step < 300; ++step) {
        applyLiveTurn(script(step), grid, 0);
        if (paused) continue;
        advanceOneTurn(grid);
        live.push_back(worldChecksum());
    }
    ::testing::internal::GetCapturedStderr();
    closeCommandLog();
    // Five turns were paused: the pause turn and the four after it ran no tick.
    EXPECT_EQ(lockstep.currentTurn, 295);
    EXPECT_NE(live.front(), live.back());

    const std::string written = readWholeFile(logPath);
    std::multiset<int> types;
    std::istringstream lines(written);
    std::string line;
    std::getline(lines, line);  // the header
    while (std::getline(lines, line)) types.insert(nlohmann::json::parse(line).at("type").get<int>());
    // Every kind of order the script gives is carried out at least once; the moves given while paused are
    // dropped; pauses, resumes and pings never reach the log.
    for (CommandType type : {CommandType::Mine, CommandType::PlaceBuildingDown, CommandType::StopConstruction,
                             CommandType::TrainUnit, CommandType::StopProduction, CommandType::CastSpell,
                             CommandType::AttackMove, CommandType::ChatMessage, CommandType::SetRallyPoint})
        EXPECT_GE(types.count(static_cast<int>(type)), 1u) << static_cast<int>(type);
    EXPECT_EQ(types.count(static_cast<int>(CommandType::Move)), 15u);
    for (CommandType type : {CommandType::PauseGame, CommandType::ResumeGame, CommandType::Ping})
        EXPECT_EQ(types.count(static_cast<int>(type)), 0u) << static_cast<int>(type);

    // A resumed save appends to its log: re-simulating the recorded turns must add nothing.
    reset_game_state();
    mode = GameMode::ResumedSave;
    std::ifstream in(logPath, std::ios::binary);
    ASSERT_TRUE(loadReplay(in));
    ASSERT_TRUE(headless::buildMapWorld(mapFile()));
    equipPlayers();
    commandLog.open(logPath, std::ios::app | std::ios::binary);
    ::testing::internal::CaptureStderr();
    for (size_t tick = 0; tick < live.size(); ++tick) {
        headless::runReplayTick(grid);
        if (worldChecksum() != live[tick]) {
            ::testing::internal::GetCapturedStderr();
            FAIL() << "the replay leaves the live game at tick " << tick;
        }
    }
    ::testing::internal::GetCapturedStderr();
    closeCommandLog();
    EXPECT_EQ(readWholeFile(logPath), written);
}

}  // namespace
