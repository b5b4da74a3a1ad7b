// Every bound the game enforces, at its exact edge: the last value accepted and the first refused.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "config.h"
#include "configuration_snapshot.h"
#include "extraction.h"
#include "extraction_campaign.h"
#include "extraction_roster.h"
#include "game_commands_wire.h"
#include "game_state.h"
#include "lockstep.h"
#include "map.h"
#include "missions.h"
#include "player.h"
#include "races.h"
#include "test_files.h"
#include "world_fixture.h"

namespace {

// ---- Map size ----

struct MapSizeLimit : ::testing::Test {
    TempDir dir;
    const EveryConfigurationValue saved = everyConfigurationValue();
    void TearDown() override { everyConfigurationValue() = saved; }

    std::string loadError(const std::string& text) {
        const std::string path = dir.write("maps/edge.map", text);
        try {
            loadMapFromFile(path);
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "";
    }

    static std::string terrain(int width, int height) {
        std::string text;
        for (int row = 0; row < height; ++row) text += std::string(static_cast<size_t>(width), 'G') + "\n";
        return text;
    }
};

TEST_F(MapSizeLimit, SidesOfAThousandAndTwentyFourTilesLoadAndOneMoreIsRefused) {
    const struct {
        int width;
        int height;
        bool loads;
    } cases[] = {
        {MAX_MAP_SIDE, 1, true},      {MAX_MAP_SIDE + 1, 1, false}, {1, MAX_MAP_SIDE, true},
        {1, MAX_MAP_SIDE + 1, false}, {MAX_MAP_SIDE, MAX_MAP_SIDE, true},
    };
    for (const auto& c : cases) {
        const std::string error = loadError(terrain(c.width, c.height));
        EXPECT_EQ(error.empty(), c.loads) << c.width << " by " << c.height << ": " << error;
        if (!c.loads) {
            EXPECT_EQ(error.rfind("Map is larger than 1024 by 1024 tiles: ", 0), 0u) << error;
        } else {
            EXPECT_EQ(MAP_W, c.width);
            EXPECT_EQ(MAP_H, c.height);
        }
    }
}

TEST_F(MapSizeLimit, AFileOfSixteenMebibytesIsReadAndOneByteMoreIsRefused) {
    const std::string last = "GG\n" + std::string(MAX_MAP_FILE_BYTES - 4, '#') + "\n";
    ASSERT_EQ(last.size(), MAX_MAP_FILE_BYTES);
    EXPECT_EQ(loadError(last), "");
    EXPECT_EQ(loadError(last + "#").rfind("Map file is larger than 16777216 bytes: ", 0), 0u);
}

// ---- Configuration keys ----

// The shipped configuration, then a file of one key: every other key stays in range.
struct ConfigurationLimit : ::testing::Test {
    TempDir dir;
    const EveryConfigurationValue saved = everyConfigurationValue();
    EveryConfigurationValue inRange = saved;

    // The map sets the map size, so the shipped file leaves it out.
    void SetUp() override {
        MAP_W = MAP_H = 64;
        loadConfig(std::string(CORVALE_SOURCE_DIR) + "/src/config.txt");
        inRange = everyConfigurationValue();
    }
    void TearDown() override { everyConfigurationValue() = saved; }

    // A refused value stays in its global, so every load starts again from the shipped values.
    std::string refusal(const std::string& key, const std::string& value) {
        everyConfigurationValue() = inRange;
        try {
            loadConfig(dir.write("src/config.txt", key + "=" + value + "\n"));
        } catch (const ConfigError& e) {
            return e.what();
        }
        return "";
    }
};

TEST_F(ConfigurationLimit, EveryBoundedKeyTakesItsBoundsAndRefusesTheValueJustBeyond) {
    const struct {
        const char* key;
        const char* lowest;
        const char* belowLowest;
        const char* highest;
        const char* aboveHighest;
        const char* range;
    } keys[] = {
        {"MAP_W", "1", "0", "1024", "1025", "1 to 1024"},
        {"MAP_H", "1", "0", "1024", "1025", "1 to 1024"},
        {"TILE_SIZE", "4", "3", "512", "513", "4 to 512"},
        {"SUBDIVISIONS", "4", "3", "4", "5", "4 to 4"},
        {"GAME_SPEED", "1", "0", "16", "17", "1 to 16"},
        {"UNIT_SPEED", "1", "0", "1000", "1001", "1 to 1000"},
        {"CRYSTAL_MINING_TIME", "0", "-1", "600", "601", "0 to 600"},
        {"AMBER_OIL_MINING_TIME", "0", "-1", "600", "601", "0 to 600"},
        {"WAYPOINT_EPS", "0", "-1", "1000", "1001", "0 to 1000"},
        {"CANCEL_BUILDING_PERCENTAGE_LOSS", "0", "-1e-30", "1", "1.0000001", "0 to 1"},
        {"HUD_SIZE", "0", "-1", "4096", "4097", "0 to 4096"},
        {"MINIMAP_SIZE", "0", "-1", "4096", "4097", "0 to 4096"},
        {"UNDER_ATTACK_COOLDOWN", "0", "-1e-30", "3600", "3600.0005", "0 to 3600"},
        {"ANTI_ALIASING", "0", "-1", "16", "17", "0 to 16"},
    };
    for (const auto& k : keys) {
        const std::string key = k.key;
        EXPECT_EQ(refusal(key, k.lowest), "") << key;
        EXPECT_EQ(refusal(key, k.highest), "") << key;
        for (const char* beyond : {k.belowLowest, k.aboveHighest})
            EXPECT_EQ(refusal(key, beyond),
                      "line 1: " + key + " must be " + k.range + ", not " + beyond);
    }
}

// ---- Command log records ----

std::string recordLine(const Command& cmd) { return compactJson(commandToJson(3, cmd)); }

TurnRead readOneLine(const std::string& line, Turn& turn) {
    std::istringstream in(line + "\n");
    ::testing::internal::CaptureStderr();
    const TurnRead read = readNextTurn(in, turn);
    ::testing::internal::GetCapturedStderr();
    return read;
}

TEST(CommandLogLimit, ARecordLineOfTheLongestLengthIsReadAndOneCharacterMoreIsMalformed) {
    const std::string record = recordLine({CommandType::StopConstruction, 2, StopConstructionCommand{9}});
    const std::string longest = record + std::string(MAX_RECORD_LINE - record.size(), ' ');
    ASSERT_EQ(longest.size(), MAX_RECORD_LINE);
    Turn turn;
    ASSERT_EQ(readOneLine(longest, turn), TurnRead::Read);
    EXPECT_EQ(turn.tick, 3);
    ASSERT_EQ(turn.commands.size(), 1u);
    EXPECT_EQ(std::get<StopConstructionCommand>(turn.commands[0].payload).buildingId, 9);
    EXPECT_EQ(readOneLine(longest + " ", turn), TurnRead::Malformed);
}

TEST(CommandLogLimit, AUnitListOfTheLongestLengthIsReadAndOneIdMoreIsRefused) {
    for (const size_t count : {MAX_LOGGED_UNIT_IDS, MAX_LOGGED_UNIT_IDS + 1}) {
        const std::vector<int> ids(count, 5);
        for (const Command& order : {Command{CommandType::Move, 1, MoveCommand{ids, 1, 2, false}},
                                     Command{CommandType::Hold, 1, HoldCommand{ids}},
                                     Command{CommandType::Stop, 1, StopCommand{ids}}}) {
            int tick = 0;
            Command read;
            std::string error;
            const bool accepted = commandFromJson(commandToJson(1, order), tick, read, error);
            EXPECT_EQ(accepted, count == MAX_LOGGED_UNIT_IDS) << count << " ids, type " << int(order.type);
            if (accepted) {
                EXPECT_EQ(compactJson(commandToJson(1, read)), compactJson(commandToJson(1, order)));
            }
        }
    }
}

TEST(WireLimit, AUnitListOfTheLongestLengthTravelsAndOneIdMoreArrivesEmpty) {
    for (const int32_t count : {MAX_WIRE_UNIT_IDS, MAX_WIRE_UNIT_IDS + 1}) {
        const Command sent{CommandType::Move, 1, MoveCommand{std::vector<int>(static_cast<size_t>(count), 5), 1, 2}};
        NetPacket packet(PacketType::TurnCommands);
        writeCommand(packet, sent);
        const Command got = readCommand(packet);
        const size_t expected = count == MAX_WIRE_UNIT_IDS ? static_cast<size_t>(count) : 0u;
        EXPECT_EQ(std::get<MoveCommand>(got.payload).unitIds.size(), expected) << count;
    }
}

// The header's player list: the longest is taken whole, one more refuses the log.
TEST(CommandLogLimit, AHeaderOfTheLongestPlayerListIsReadAndOneMoreIsRefused) {
    const Configuration saved = configurationTuple();
    const int savedTeamIds = teamIds;
    for (const size_t count : {MAX_REPLAY_PLAYERS, MAX_REPLAY_PLAYERS + 1}) {
        players.clear();
        nlohmann::json header = {{"players", nlohmann::json::array()}};
        for (size_t i = 0; i < count; ++i) header["players"].push_back({{"id", i + 1}, {"race", "human"}});
        std::istringstream log(header.dump() + "\n" +
                               recordLine({CommandType::StopConstruction, 1, StopConstructionCommand{9}}) + "\n");
        ::testing::internal::CaptureStderr();
        const bool loaded = loadReplay(log);
        ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(loaded, count == MAX_REPLAY_PLAYERS) << count;
        EXPECT_EQ(players.size(), loaded ? count : 0u) << count;
        restoreConfigurationAfterReplay();
    }
    players.clear();
    replayTurns.clear();
    configurationTuple() = saved;
    teamIds = savedTeamIds;
}

// A replay header's numbers are held to the configuration's bounds, compared as the file's own numbers.
TEST(CommandLogLimit, EveryBoundedHeaderKeyTakesItsBoundsAndRefusesTheNextNumberBeyond) {
    const EveryConfigurationValue saved = everyConfigurationValue();
    const struct {
        const char* key;
        double lowest;
        double highest;
    } keys[] = {
        {"MAP_W", 1, 1024},
        {"MAP_H", 1, 1024},
        {"TILE_SIZE", 4, 512},
        {"GAME_SPEED", 1, 16},
        {"UNIT_SPEED", 1, 1000},
        {"GOLD_MINING_TIME", 0, 600},
        {"WOOD_MINING_TIME", 0, 600},
        {"WAYPOINT_EPS", 0, 1000},
        {"CANCEL_BUILDING_PERCENTAGE_LOSS", 0, 1},
        {"HUD_SIZE", 0, 4096},
        {"MINIMAP_SIZE", 0, 4096},
        {"ANTI_ALIASING", 0, 16},
    };
    const double infinity = std::numeric_limits<double>::infinity();
    for (const auto& k : keys) {
        const std::pair<double, bool> values[] = {{k.lowest, true},
                                                  {std::nextafter(k.lowest, -infinity), false},
                                                  {k.highest, true},
                                                  {std::nextafter(k.highest, infinity), false}};
        for (const auto& [value, loads] : values) {
            std::istringstream log(nlohmann::json{{k.key, value}}.dump() + "\n" +
                                   recordLine({CommandType::StopConstruction, 1, StopConstructionCommand{9}}) + "\n");
            ::testing::internal::CaptureStderr();
            EXPECT_EQ(loadReplay(log), loads) << k.key << " " << value;
            const std::string errors = ::testing::internal::GetCapturedStderr();
            if (!loads) {
                EXPECT_NE(errors.find(std::string("\"") + k.key + "\" is out of range"), std::string::npos) << errors;
            }
            restoreConfigurationAfterReplay();
        }
    }
    players.clear();
    replayTurns.clear();
    everyConfigurationValue() = saved;
}

// ---- Catalogue numbers ----

TEST(CatalogueLimit, NumbersUpToAMillionEitherWayAreReadAndBeyondAreRefused) {
    const struct {
        double value;
        bool read;
    } cases[] = {
        {1000000, true}, {1000000.0625, false}, {-1000000, true}, {-1000000.0625, false},
    };
    for (const auto& c : cases) {
        const nlohmann::json object = {{"cost", c.value}};
        bool intRead = true;
        bool floatRead = true;
        try {
            EXPECT_EQ(jsonInt(object, "cost", 0), static_cast<int>(c.value));
        } catch (const CatalogueError&) {
            intRead = false;
        }
        try {
            EXPECT_FLOAT_EQ(jsonFloat(object, "cost", 0.0f), static_cast<float>(c.value));
        } catch (const CatalogueError&) {
            floatRead = false;
        }
        EXPECT_EQ(intRead, c.read) << c.value;
        EXPECT_EQ(floatRead, c.read) << c.value;
    }
}

// ---- Mission lists ----

// A mission whose objectives and starting units number as given; the refusal, or "" when it is read.
std::string missionRefusal(size_t objectives, size_t startingUnits) {
    nlohmann::json doc = {{"name", "Edge"},       {"map", "fight"},    {"mapWidth", 64},
                          {"mapHeight", 64},      {"description", ""}, {"aiType", "none"},
                          {"objectives", nlohmann::json::array()},     {"startingUnits", nlohmann::json::array()}};
    for (size_t i = 0; i < objectives; ++i)
        doc["objectives"].push_back({{"id", "o"}, {"type", "build"}, {"target", "Farm"}, {"description", ""}});
    for (size_t i = 0; i < startingUnits; ++i)
        doc["startingUnits"].push_back({{"type", "Marine"}, {"owner", "player"}});
    try {
        const Mission mission = parseMission(doc);
        EXPECT_EQ(mission.objectives.size(), objectives);
        EXPECT_EQ(mission.startingUnits.size(), startingUnits);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

TEST(MissionLimit, TheLongestListsAreReadAndOneEntryMoreIsRefused) {
    const GameMode savedMode = mode;
    mode = GameMode::Skirmish;
    EXPECT_EQ(missionRefusal(MAX_MISSION_OBJECTIVES, MAX_MISSION_STARTING_UNITS), "");
    EXPECT_EQ(missionRefusal(MAX_MISSION_OBJECTIVES + 1, 0), "key \"objectives\" lists too many entries");
    EXPECT_EQ(missionRefusal(0, MAX_MISSION_STARTING_UNITS + 1), "key \"startingUnits\" lists too many entries");
    mode = savedMode;
}

// ---- Campaign files ----

bool decodes(const CampaignRecord& record) {
    const std::string bytes = encodeCampaign(record);
    return decodeCampaign(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()).has_value();
}

// Each row changes one field of a small campaign to its longest, then one more.
TEST(CampaignLimit, TheLongestTextAndListsAreReadAndOneMoreIsDamage) {
    const struct {
        const char* field;
        void (*fill)(CampaignRecord&, size_t);
        uint64_t longest;
    } cases[] = {
        {"name", [](CampaignRecord& r, size_t n) { r.name.assign(n, 'n'); }, MAX_CAMPAIGN_STRING},
        {"tech id", [](CampaignRecord& r, size_t n) { r.techIds = {std::string(n, 't')}; }, MAX_CAMPAIGN_STRING},
        {"unit type", [](CampaignRecord& r, size_t n) { r.roster = {{std::string(n, 'u'), "Cody", 1, 0, 0, true}}; },
         MAX_CAMPAIGN_STRING},
        {"techs", [](CampaignRecord& r, size_t n) { r.techIds.assign(n, ""); }, MAX_CAMPAIGN_COUNT},
        {"roster", [](CampaignRecord& r, size_t n) { r.roster.assign(n, UnitSaveData{"M", "", 1, 0, 0, true}); },
         MAX_CAMPAIGN_COUNT},
    };
    for (const auto& c : cases) {
        CampaignRecord record;
        c.fill(record, static_cast<size_t>(c.longest));
        EXPECT_TRUE(decodes(record)) << c.field;
        c.fill(record, static_cast<size_t>(c.longest + 1));
        EXPECT_FALSE(decodes(record)) << c.field;
    }
}

TEST(CampaignLimit, TheListShowsTheLongestNameAndOneCharacterMoreAsUnknown) {
    TempDir dir;
    for (const uint64_t length : {MAX_CAMPAIGN_STRING, MAX_CAMPAIGN_STRING + 1}) {
        CampaignRecord record;
        record.name.assign(static_cast<size_t>(length), 'n');
        record.hardcore = true;
        const std::string path = dir.write("edge.cmp", encodeCampaign(record));
        const CampaignHeader header = peek_campaign_header(path, "edge.cmp");
        EXPECT_EQ(header.name, length == MAX_CAMPAIGN_STRING ? record.name : "Unknown") << length;
        EXPECT_EQ(header.hardcore, length == MAX_CAMPAIGN_STRING) << length;
    }
}

TEST(CampaignLimit, TheLongestNameIsSavedAndOneByteMoreIsRefusedRatherThanWrittenUnreadable) {
    TempDir dir;
    extractionSaveFolder = dir.str() + "/";
    for (const uint64_t length : {MAX_CAMPAIGN_STRING, MAX_CAMPAIGN_STRING + 1}) {
        const std::string name(static_cast<size_t>(length), 'n');
        const std::string file = "edge" + std::to_string(length) + ".bin";
        ::testing::internal::CaptureStderr();
        const bool saved = save_roster(file, name, false, 1, {}, 0, 0);
        const std::string errors = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(saved, length == MAX_CAMPAIGN_STRING) << length;
        load_roster(file);
        EXPECT_EQ(extraction_name, saved ? name : "") << length;
        if (!saved) {
            EXPECT_EQ(errors, "Campaign name is longer than 4096 bytes: " + file + " not saved\n");
        }
    }
    extractionSaveFolder = "./saves/extraction/";
    load_roster("");
}

// ---- Experience levels ----

using LevelLimit = MissionWorld;

// Each row: the unit's level and experience, the mission's experience so far, the grant; whether it is given and
// the level it leaves. Experience of exactly a level's total reaches that level.
TEST_F(LevelLimit, ALevelIsReachedAtExactlyItsExperienceAndTheCapAndBudgetRefuseAtTheirEdges) {
    const struct {
        int level;
        int experience;
        int missionKills;
        int grant;
        bool given;
        int levelAfter;
    } cases[] = {
        {1, 0, 0, 249, true, 1},     {1, 0, 0, 250, true, 2},       {1, 0, 0, 636, true, 2},
        {1, 0, 0, 637, true, 3},     {2, 250, 0, 604, true, 3},     {2, 250, 0, 605, true, 4},
        {99, 0, 0, 1, true, 99},     {100, 0, 0, 1, false, 100},    {1, 0, 999, 1, true, 1},
        {1, 0, 1000, 1, false, 1},
    };
    for (const auto& c : cases) {
        Unit unit;
        unit.level = c.level;
        unit.experience = c.experience;
        unit.maxHp = 100.0f;
        unit.damage = 10;
        extraction_options[0].kills = c.missionKills;
        const std::string row = std::to_string(c.level) + "/" + std::to_string(c.experience) + "+" +
                                std::to_string(c.grant) + " at " + std::to_string(c.missionKills);
        EXPECT_EQ(grantUnitExp(unit, c.grant), c.given) << row;
        EXPECT_EQ(unit.level, c.levelAfter) << row;
        EXPECT_EQ(unit.damage, 10 + 2 * (c.levelAfter - c.level)) << row;
        EXPECT_EQ(extraction_options[0].kills, c.missionKills + (c.given ? c.grant : 0)) << row;
    }
}

}  // namespace
