// Lockstep turns, the command log that records every applied command, and reading a log back as a replay.
#include "lockstep.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <climits>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <optional>
#include <tuple>
#include <type_traits>
#include <variant>

#include <SDL2/SDL.h>

#include "ai.h"
#include "config.h"
#include "game_commands_wire.h"
#include "game_state.h"
#include "map.h"
#include "player.h"
#include "utils.h"

using nlohmann::json;

LockstepManager lockstep;
std::ofstream commandLog;
std::string replay_file_name;
std::vector<Turn> replayTurns;
int replayTurnIndex = 0;

// ---- Writing records ----

namespace {

// One key of an order record and the member it holds.
template <class Record, class T>
struct Field {
    const char* key;
    T Record::*member;
};

template <class Record, class T>
constexpr Field<Record, T> field(const char* key, T Record::*member) {
    return {key, member};
}

// The keys of each order record, in the order a reader checks them; records not listed carry no data.
template <class Record>
constexpr auto recordFields = std::tuple<>{};
template <>
constexpr auto recordFields<MoveCommand> =
    std::make_tuple(field("unitIds", &MoveCommand::unitIds), field("x", &MoveCommand::x), field("y", &MoveCommand::y),
                    field("shiftHeld", &MoveCommand::shiftHeld));
template <>
constexpr auto recordFields<SpawnCommand> = std::make_tuple(field("unitType", &SpawnCommand::unitType));
template <>
constexpr auto recordFields<MineCommand> =
    std::make_tuple(field("unitId", &MineCommand::unitId), field("targetX", &MineCommand::targetX),
                    field("targetY", &MineCommand::targetY), field("mapObjectId", &MineCommand::mapObjectId));
template <>
constexpr auto recordFields<PlaceBuildingDownCommand> =
    std::make_tuple(field("buildingType", &PlaceBuildingDownCommand::buildingType),
                    field("targetX", &PlaceBuildingDownCommand::targetX),
                    field("targetY", &PlaceBuildingDownCommand::targetY),
                    field("unitId", &PlaceBuildingDownCommand::unitId));
template <>
constexpr auto recordFields<TrainUnitCommand> =
    std::make_tuple(field("buildingId", &TrainUnitCommand::buildingId), field("unitType", &TrainUnitCommand::unitType));
template <>
constexpr auto recordFields<AttackCommand> =
    std::make_tuple(field("unitId", &AttackCommand::unitId), field("targetId", &AttackCommand::targetId));
template <>
constexpr auto recordFields<SetRallyPointCommand> =
    std::make_tuple(field("buildingId", &SetRallyPointCommand::buildingId),
                    field("targetX", &SetRallyPointCommand::targetX), field("targetY", &SetRallyPointCommand::targetY));
template <>
constexpr auto recordFields<CarrierPickUpCommand> = std::make_tuple(
    field("unitId", &CarrierPickUpCommand::unitId), field("carrierId", &CarrierPickUpCommand::carrierId));
template <>
constexpr auto recordFields<CarrierDropOffCommand> = std::make_tuple(
    field("unitId", &CarrierDropOffCommand::unitId), field("carrierId", &CarrierDropOffCommand::carrierId));
template <>
constexpr auto recordFields<CastSpellCommand> = std::make_tuple(
    field("unitId", &CastSpellCommand::unitId), field("targetId", &CastSpellCommand::targetId),
    field("targetX", &CastSpellCommand::targetX), field("targetY", &CastSpellCommand::targetY),
    field("spell", &CastSpellCommand::spell), field("shiftHeld", &CastSpellCommand::shiftHeld));
template <>
constexpr auto recordFields<StopProductionCommand> =
    std::make_tuple(field("buildingId", &StopProductionCommand::buildingId),
                    field("index", &StopProductionCommand::index));
template <>
constexpr auto recordFields<StopConstructionCommand> =
    std::make_tuple(field("buildingId", &StopConstructionCommand::buildingId));
template <>
constexpr auto recordFields<ResearchUpgradeCommand> =
    std::make_tuple(field("buildingId", &ResearchUpgradeCommand::buildingId),
                    field("upgradeType", &ResearchUpgradeCommand::upgradeType));
template <>
constexpr auto recordFields<ChatMessageCommand> = std::make_tuple(field("message", &ChatMessageCommand::message));
template <>
constexpr auto recordFields<AttackMove> =
    std::make_tuple(field("unitId", &AttackMove::unitId), field("x", &AttackMove::x), field("y", &AttackMove::y),
                    field("shiftHeld", &AttackMove::shiftHeld));
template <>
constexpr auto recordFields<PickUpCommand> =
    std::make_tuple(field("unitId", &PickUpCommand::unitId), field("itemId", &PickUpCommand::itemId));
template <>
constexpr auto recordFields<PauseGameCommand> = std::make_tuple(field("timestamp", &PauseGameCommand::timestamp));
template <>
constexpr auto recordFields<ResumeGameCommand> = std::make_tuple(field("timestamp", &ResumeGameCommand::timestamp));
template <>
constexpr auto recordFields<HoldCommand> = std::make_tuple(field("unitIds", &HoldCommand::unitIds));
template <>
constexpr auto recordFields<StopCommand> = std::make_tuple(field("unitIds", &StopCommand::unitIds));
template <>
constexpr auto recordFields<ConstructCommand> =
    std::make_tuple(field("unitId", &ConstructCommand::unitId), field("buildingId", &ConstructCommand::buildingId));
template <>
constexpr auto recordFields<ComputerTakeoverCommand> =
    std::make_tuple(field("strategy", &ComputerTakeoverCommand::strategy));

template <class Record>
constexpr bool hasFields = std::tuple_size_v<std::decay_t<decltype(recordFields<Record>)>> != 0;

// A record's data: its fields as an object, or null for a record without any.
struct DataWriter {
    template <class Record>
    json operator()(const Record& c) const {
        if constexpr (!hasFields<Record>) {
            return nullptr;
        } else {
            json data = json::object();
            std::apply([&](const auto&... f) { ((data[f.key] = c.*f.member), ...); }, recordFields<Record>);
            return data;
        }
    }
};

void reportStreamState(const std::ostream& out) {
    if (out.good()) return;
    SDL_Log("Stream not good, failbit: %d, badbit: %d", out.fail() ? 1 : 0, out.bad() ? 1 : 0);
}

}  // namespace

json commandToJson(int tick, const Command& cmd) {
    // nlohmann's objects keep their keys in byte order, so the record reads "data", "player", "tick", "type".
    return {{"tick", tick},
            {"player", cmd.player},
            {"type", static_cast<int32_t>(cmd.type)},
            {"data", std::visit(DataWriter{}, cmd.payload)}};
}

std::string compactJson(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

void appendCommandRecord(std::ostream& log, int tick, const Command& cmd) {
    reportStreamState(log);
    log << compactJson(commandToJson(tick, cmd)) << '\n';
    log.flush();
}

void logAtCurrentTurn(const Command& cmd) {
    if (!commandLog.is_open()) return;
    appendCommandRecord(commandLog, lockstep.currentTurn, cmd);
    lockstep.loggedTurn = lockstep.currentTurn;
}

// ---- Reading records ----

namespace {

bool isInt32(const json& value) {
    if (value.is_number_unsigned()) return value.get<uint64_t>() <= INT32_MAX;
    if (!value.is_number_integer()) return false;
    const int64_t n = value.get<int64_t>();
    return n >= INT32_MIN && n <= INT32_MAX;
}

// Reads the keys of one object, remembering the first fault; later reads then give defaults.
class FieldReader {
public:
    explicit FieldReader(const json& object) : object_(object) {}

    const std::string& error() const { return error_; }

    int integer(const char* key) {
        const json* value = find(key);
        if (!value) return 0;
        if (!isInt32(*value)) return fail(key, "is not a 32-bit integer"), 0;
        return value->get<int>();
    }

    std::string text(const char* key) {
        const json* value = find(key);
        if (!value) return {};
        if (!value->is_string()) return fail(key, "is not a string"), std::string();
        return value->get<std::string>();
    }

    // Optional: absent reads as false.
    bool flag(const char* key) {
        if (!error_.empty() || !object_.contains(key)) return false;
        const json& value = object_.at(key);
        if (!value.is_boolean()) return fail(key, "is not a boolean"), false;
        return value.get<bool>();
    }

    std::vector<int> ids(const char* key) {
        const json* value = find(key);
        if (!value) return {};
        if (!value->is_array()) return fail(key, "is not an array"), std::vector<int>();
        if (value->size() > MAX_LOGGED_UNIT_IDS) return fail(key, "holds too many ids"), std::vector<int>();
        std::vector<int> result;
        result.reserve(value->size());
        for (const json& id : *value) {
            if (!isInt32(id)) return fail(key, "holds a value that is not a 32-bit integer"), std::vector<int>();
            result.push_back(id.get<int>());
        }
        return result;
    }

private:
    const json* find(const char* key) {
        if (!error_.empty()) return nullptr;
        if (!object_.contains(key)) return fail(key, "is missing"), nullptr;
        return &object_.at(key);
    }
    void fail(const char* key, const char* why) { error_ = std::string("\"") + key + "\" " + why; }

    const json& object_;
    std::string error_;
};

void readField(FieldReader& r, const char* key, int& value) { value = r.integer(key); }
void readField(FieldReader& r, const char* key, std::string& value) { value = r.text(key); }
void readField(FieldReader& r, const char* key, bool& value) { value = r.flag(key); }
void readField(FieldReader& r, const char* key, std::vector<int>& value) { value = r.ids(key); }

template <class Record>
CommandPayload readRecord(FieldReader& r) {
    Record c;
    std::apply([&](const auto&... f) { (readField(r, f.key, c.*f.member), ...); }, recordFields<Record>);
    return c;
}

using PayloadReader = CommandPayload (*)(FieldReader&);

// Records without fields (Ping, Pong, the leave) carry no data, so their code has no reader.
template <class Record>
constexpr PayloadReader payloadReaderOf() {
    if constexpr (hasFields<Record>)
        return readRecord<Record>;
    else
        return nullptr;
}

template <class... Records>
constexpr auto payloadReadersByCode(CommandRecordList<Records...>) {
    return std::array<PayloadReader, sizeof...(Records)>{payloadReaderOf<Records>()...};
}

// Indexed by the command's type code.
constexpr auto payloadReaders = payloadReadersByCode(RecordsByLoggedType{});
static_assert(std::size(payloadReaders) == static_cast<size_t>(CommandType::ComputerTakeover) + 1,
              "one reader per logged code");

// Where the next line begins, or nothing when the stream cannot tell.
std::optional<std::streampos> lineStart(std::istream& in) {
    const std::streampos at = in.tellg();
    if (at == std::streampos(-1)) return std::nullopt;
    return at;
}

// A line without its line end; false at the end of the stream. An over-long line is cut and flagged.
bool readLine(std::istream& in, std::string& line, bool& tooLong) {
    line.clear();
    tooLong = false;
    char c;
    bool any = false;
    while (in.get(c)) {
        any = true;
        if (c == '\n') return true;
        if (line.size() >= MAX_RECORD_LINE) {
            tooLong = true;
            continue;
        }
        line.push_back(c);
    }
    return any;
}

bool isBlank(const std::string& line) { return line.find_first_not_of(" \t\r") == std::string::npos; }

TurnRead reportMalformed(std::istream& in, const std::string& why) {
    std::cerr << "Malformed command log record: " << why << "\n";
    in.setstate(std::ios::failbit);
    return TurnRead::Malformed;
}

}  // namespace

bool commandFromJson(const json& record, int& tick, Command& cmd, std::string& error) {
    if (!record.is_object()) {
        error = "the record is not an object";
        return false;
    }
    FieldReader fields(record);
    tick = fields.integer("tick");
    const int player = fields.integer("player");
    const int type = fields.integer("type");
    if (!fields.error().empty()) {
        error = fields.error();
        return false;
    }
    Command result;
    result.type = static_cast<CommandType>(type);
    result.player = player;
    const bool hasRecord = type >= 0 && type < static_cast<int>(std::size(payloadReaders)) && payloadReaders[type];
    if (hasRecord) {
        const auto data = record.find("data");
        if (data == record.end() || !data->is_object()) {
            error = "\"data\" is not an object";
            return false;
        }
        FieldReader dataFields(*data);
        result.payload = payloadReaders[type](dataFields);
        if (!dataFields.error().empty()) {
            error = dataFields.error();
            return false;
        }
        // No chat line is written longer; drawn in the activity feed, a message of a megabyte would make a text
        // image of over a gigabyte.
        const auto* chat = std::get_if<ChatMessageCommand>(&result.payload);
        if (chat && !isOneChatLine(chat->message, MAX_LOGGED_CHAT_BYTES)) {
            error = "\"message\" is not one chat line";
            return false;
        }
    }
    cmd = std::move(result);
    return true;
}

TurnRead readNextTurn(std::istream& in, Turn& turn) {
    Turn group;
    bool grouping = false;
    std::string line;
    bool tooLong = false;
    while (true) {
        const std::optional<std::streampos> start = lineStart(in);
        if (!readLine(in, line, tooLong)) break;
        if (tooLong) return reportMalformed(in, "a line longer than the longest record");
        if (isBlank(line)) continue;
        const json record = json::parse(line, nullptr, false);
        if (record.is_discarded()) return reportMalformed(in, "not JSON: " + line.substr(0, 80));
        int tick = 0;
        Command cmd;
        std::string error;
        if (!commandFromJson(record, tick, cmd, error)) return reportMalformed(in, error);
        if (grouping && tick != group.tick) {
            // The next call starts with this record.
            in.clear();
            if (!start || !in.seekg(*start)) return reportMalformed(in, "the stream cannot go back a record");
            turn = std::move(group);
            return TurnRead::Read;
        }
        group.tick = tick;
        group.player = cmd.player;
        group.commands.push_back(std::move(cmd));
        grouping = true;
    }
    if (!grouping) return TurnRead::End;
    turn = std::move(group);
    return TurnRead::Read;
}

// ---- Header ----

namespace {

using ConfigValue = std::variant<bool, int, float, std::string>;
using ConfigTarget = std::variant<bool*, int*, float*, std::string*>;

struct ReplayConfigKey {
    const char* name;
    ConfigTarget target;
    ConfigValue fallback;
    // The tick reads it, so every peer of a match must hold the same value. The map's size comes with the map, the
    // map and the mods setting have checks of their own, and the computer's flag acts only through its orders.
    bool tickReads = false;
};

// The keys a replay applies, in the order it applies them, with the value an absent key gives.
const ReplayConfigKey replayConfigKeys[] = {
    {"DEBUG_MODE", &DEBUG_MODE, false, true},
    {"GOD_MODE", &GOD_MODE, false, true},
    {"AI", &AI, false},
    {"MODS", &MODS, false},
    {"MAP_W", &MAP_W, 32},
    {"MAP_H", &MAP_H, 32},
    {"TILE_SIZE", &TILE_SIZE, 64, true},
    {"MAP_FILE", &MAP_FILE, std::string("default")},
    {"GAME_SPEED", &GAME_SPEED, 1.0f, true},
    {"UNIT_SPEED", &UNIT_SPEED, 80.0f, true},
    {"GOLD_MINING_TIME", &CRYSTAL_MINING_TIME, 3.0f, true},
    {"WOOD_MINING_TIME", &AMBER_OIL_MINING_TIME, 3.0f, true},
    {"WAYPOINT_EPS", &WAYPOINT_EPS, 2.0f, true},
    {"CANCEL_BUILDING_PERCENTAGE_LOSS", &CANCEL_BUILDING_PERCENTAGE_LOSS, 0.8f, true},
    {"FULLSCREEN", &FULLSCREEN, false},
    {"FOG", &FOG, false},
    {"MUSIC", &MUSIC, true},
    {"SOUNDS", &SOUNDS, false},
    {"HUD_SIZE", &HUD_SIZE, 180.0f},
    {"MINIMAP_SIZE", &MINIMAP_SIZE, 150},
    {"ANTI_ALIASING", &ANTI_ALIASING, 0},
    {"LOGS", &LOGS, false},
};

constexpr std::size_t REPLAY_CONFIG_KEY_COUNT = std::size(replayConfigKeys);

// The written header also names these two, which a replay leaves as the running configuration has them.
const ReplayConfigKey recordedOnlyKeys[] = {
    {"DRAW_DEBUG_TILES", &DRAW_DEBUG_TILES, false},
    {"VERSION", &VERSION, std::string()},
};

struct ReplayPlayer {
    int id = 0;
    std::string name = "Unknown";
    std::string race = "Unknown";
    bool ai = false;
    std::string strategy;  // the computer player's, so a resumed save plays on with the same
};

// The header key of the map's fingerprint (mapFingerprint): a map edited after a save would resume another match.
constexpr const char* MAP_FINGERPRINT_KEY = "MAP_FINGERPRINT";
// The header key of the id of the peer that wrote the log: its replay and its saved game are seen from that seat,
// whatever place the lobby gave it in the list.
constexpr const char* RECORDED_BY_KEY = "RECORDED_BY";

struct ReplayHeader {
    std::vector<ConfigValue> config;  // one value per replayConfigKeys entry
    std::string mapFingerprint;       // empty in logs written before it was recorded
    bool hasPlayers = false;
    std::vector<ReplayPlayer> players;
    int recordedBy = -1;  // -1 in logs written before it was recorded
};

// The configuration a replay header replaced, kept until the replayed session ends.
std::optional<std::vector<ConfigValue>> configurationBeforeReplay;

ConfigValue currentValue(const ConfigTarget& target) {
    return std::visit([](auto* global) { return ConfigValue(*global); }, target);
}

void assign(const ConfigTarget& target, const ConfigValue& value) {
    std::visit([&](auto* global) { *global = std::get<std::decay_t<decltype(*global)>>(value); }, target);
}

json toJson(const ConfigValue& value) {
    return std::visit([](const auto& v) { return json(v); }, value);
}

// Reads one header value of the target's kind; false with a reason when the JSON value is of another type.
bool readConfigValue(const json& value, const ConfigTarget& target, ConfigValue& out, std::string& error) {
    if (std::holds_alternative<bool*>(target)) {
        if (!value.is_boolean()) return error = "is not a boolean", false;
        out = value.get<bool>();
    } else if (std::holds_alternative<int*>(target)) {
        if (!value.is_number()) return error = "is not a number", false;
        const double number = value.get<double>();
        if (!(number >= INT32_MIN && number < 2147483648.0)) return error = "does not fit 32 bits", false;
        if (!configValueInRange(std::get<int*>(target), number)) return error = "is out of range", false;
        out = static_cast<int>(number);
    } else if (std::holds_alternative<float*>(target)) {
        if (!value.is_number()) return error = "is not a number", false;
        const double number = value.get<double>();
        if (!(std::fabs(number) <= FLT_MAX)) return error = "does not fit a float", false;
        if (!configValueInRange(std::get<float*>(target), number)) return error = "is out of range", false;
        out = static_cast<float>(number);
    } else {
        if (!value.is_string()) return error = "is not a string", false;
        out = value.get<std::string>();
    }
    return true;
}

// An absent key leaves the target as it is.
bool readOptionalKey(const json& object, const char* key, const ConfigTarget& target, std::string& error) {
    if (!object.contains(key)) return true;
    ConfigValue value;
    std::string why;
    if (!readConfigValue(object.at(key), target, value, why))
        return error = std::string("\"") + key + "\" " + why, false;
    assign(target, value);
    return true;
}

bool readReplayPlayers(const json& list, std::vector<ReplayPlayer>& out, std::string& error) {
    if (list.is_null()) return true;
    if (!list.is_array()) return error = "\"players\" is not an array", false;
    if (list.size() > MAX_REPLAY_PLAYERS) return error = "\"players\" lists too many players", false;
    for (const json& entry : list) {
        if (!entry.is_object()) return error = "a player entry is not an object", false;
        ReplayPlayer p;
        if (!readOptionalKey(entry, "id", &p.id, error) || !readOptionalKey(entry, "name", &p.name, error) ||
            !readOptionalKey(entry, "race", &p.race, error) || !readOptionalKey(entry, "ai", &p.ai, error) ||
            !readOptionalKey(entry, "strategy", &p.strategy, error))
            return false;
        const bool taken = std::any_of(out.begin(), out.end(), [&](const ReplayPlayer& q) { return q.id == p.id; });
        if (taken) return error = "player id " + std::to_string(p.id) + " is listed twice", false;
        out.push_back(std::move(p));
    }
    return true;
}

bool parseReplayHeader(const std::string& line, ReplayHeader& header, std::string& error) {
    const json doc = json::parse(line, nullptr, false);
    if (doc.is_discarded()) return error = "the header line is not JSON", false;
    if (!doc.is_object()) return error = "the header is not an object", false;
    for (const ReplayConfigKey& key : replayConfigKeys) {
        ConfigValue value = key.fallback;
        std::string why;
        if (doc.contains(key.name) && !readConfigValue(doc.at(key.name), key.target, value, why))
            return error = std::string("\"") + key.name + "\" " + why, false;
        // The map name becomes a path under the maps folder: it must stay inside it.
        const std::string* text = std::get_if<std::string>(&value);
        if (text && !Utils::isPlainFileName(*text))
            return error = std::string("\"") + key.name + "\" is not a plain file name: " + *text, false;
        header.config.push_back(std::move(value));
    }
    if (!readOptionalKey(doc, MAP_FINGERPRINT_KEY, &header.mapFingerprint, error) ||
        !readOptionalKey(doc, RECORDED_BY_KEY, &header.recordedBy, error))
        return false;
    header.hasPlayers = doc.contains("players");
    return !header.hasPlayers || readReplayPlayers(doc.at("players"), header.players, error);
}

std::vector<ConfigValue> runningConfiguration() {
    std::vector<ConfigValue> values;
    for (const ReplayConfigKey& key : replayConfigKeys) values.push_back(currentValue(key.target));
    return values;
}

void applyConfiguration(const std::vector<ConfigValue>& values) {
    for (std::size_t i = 0; i < REPLAY_CONFIG_KEY_COUNT; ++i) assign(replayConfigKeys[i].target, values[i]);
    deriveConfigValues();
}

void applyReplayPlayers(const std::vector<ReplayPlayer>& list, int recordedBy) {
    players.clear();
    for (const ReplayPlayer& entry : list) {
        auto player = std::make_unique<Player>(entry.id, entry.name, entry.race, entry.ai);
        player->teamPalette = teamIds++;
        // A replay's computer plays only its recorded orders; a resumed save's thinks on as it did.
        if (entry.ai && mode == GameMode::ResumedSave) player->ai = strategyNamed(entry.strategy);
        playerToTeamPalette[entry.id] = 2;
        players.push_back(std::move(player));
    }
    // With nobody listed there is no participant to watch as; the local id stays. A log that does not name a
    // listed recorder is seen from the first seat.
    if (players.empty()) return;
    Player::myStaticId = getPlayerById(recordedBy) ? recordedBy : players.front()->id;
}

void applyReplayHeader(const ReplayHeader& header) {
    if (!configurationBeforeReplay) configurationBeforeReplay = runningConfiguration();
    applyConfiguration(header.config);
    // Players are made after the configuration: a new player's starting resources follow DEBUG_MODE.
    if (header.hasPlayers) applyReplayPlayers(header.players, header.recordedBy);
}

}  // namespace

bool replayHeaderUsable(const std::string& line, RecordedWorld& recorded, std::string& error) {
    ReplayHeader header;
    if (!parseReplayHeader(line, header, error)) return false;
    recorded.mapPrint = header.mapFingerprint;
    for (std::size_t i = 0; i < REPLAY_CONFIG_KEY_COUNT; ++i)
        if (const auto* name = std::get_if<std::string>(&header.config[i]);
            name && replayConfigKeys[i].target == ConfigTarget{&MAP_FILE})
            recorded.mapName = *name;
    for (const ReplayPlayer& p : header.players) recorded.races.push_back(p.race);
    return true;
}

std::string settingsFingerprint() {
    uint64_t hash = Utils::FNV_START;
    for (const ReplayConfigKey& key : replayConfigKeys) {
        if (!key.tickReads) continue;
        const std::string entry = std::string(key.name) + "=" + toJson(currentValue(key.target)).dump() + "\n";
        hash = Utils::fnv1a(hash, entry.data(), entry.size());
    }
    return Utils::hexFingerprint(hash);
}

json commandLogHeader(const std::string& mapName) {
    json header = json::object();
    for (const ReplayConfigKey& key : replayConfigKeys) header[key.name] = toJson(currentValue(key.target));
    for (const ReplayConfigKey& key : recordedOnlyKeys) header[key.name] = toJson(currentValue(key.target));
    header["MAP_FILE"] = mapName;
    header[MAP_FINGERPRINT_KEY] = mapFingerprint(mapName);
    header[RECORDED_BY_KEY] = Player::myStaticId;
    json list = json::array();
    for (const auto& p : players) {
        json entry{{"id", p->id}, {"name", p->name}, {"race", p->race}, {"ai", p->isAI}};
        if (p->isAI && p->ai) entry["strategy"] = strategyNameOf(p->ai.get());
        list.push_back(std::move(entry));
    }
    header["players"] = std::move(list);
    return header;
}

bool openFreshCommandLog() {
    const std::filesystem::path folder = basePath + "replays/";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    replay_file_name = Utils::createUniqueFile(folder.string(), Utils::make_replay_filename());
    if (replay_file_name.empty()) return false;
    commandLog.open(folder / replay_file_name, std::ios::out | std::ios::trunc | std::ios::binary);
    if (commandLog.is_open()) return true;
    std::cerr << "Failed to open commands.log\n";
    return false;
}

void setup_command_log_for_writing(const std::string& mapName) {
    if (commandLog.is_open() || !openFreshCommandLog()) return;
    commandLog << compactJson(commandLogHeader(mapName)) << '\n';
    commandLog.flush();
    reportStreamState(commandLog);
}

void closeCommandLog() {
    if (commandLog.is_open()) commandLog.close();
    commandLog.clear();
}

bool loadReplay(std::istream& in) {
    replayTurns.clear();
    std::string line;
    bool tooLong = false;
    if (!readLine(in, line, tooLong)) {
        std::cerr << "Replay file is empty!\n";
        return false;
    }
    ReplayHeader header;
    std::string error = "the header line is too long";
    if (tooLong || !parseReplayHeader(line, header, error)) {
        std::cerr << "Failed to parse replay config JSON: " << error << "\n";
        return false;
    }
    applyReplayHeader(header);

    while (true) {
        Turn turn;
        const TurnRead read = readNextTurn(in, turn);
        if (read == TurnRead::End) return true;
        if (read == TurnRead::Malformed) return false;
        if (turn.tick > MAX_REPLAY_TICK) {
            std::cerr << "Malformed command log record: tick " << turn.tick << " lies beyond tick " << MAX_REPLAY_TICK
                      << "\n";
            return false;
        }
        // Playback matches turns to ticks in list order from tick 0: a tick that does not come later, or comes
        // before 0, would never be reached, and nothing after it either.
        if (!replayTurns.empty() && turn.tick <= replayTurns.back().tick) {
            std::cerr << "Malformed command log record: tick " << turn.tick << " after tick " << replayTurns.back().tick
                      << "\n";
            return false;
        }
        if (turn.tick < 0) {
            std::cerr << "Malformed command log record: tick " << turn.tick << " comes before tick 0\n";
            return false;
        }
        replayTurns.push_back(std::move(turn));
    }
}

void restoreConfigurationAfterReplay() {
    if (!configurationBeforeReplay) return;
    applyConfiguration(*configurationBeforeReplay);
    configurationBeforeReplay.reset();
}
