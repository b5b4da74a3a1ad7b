// Turn packets and command entries: one field list per order record serves both the writer and the reader.
#include "game_commands_wire.h"

#include <array>
#include <iostream>

namespace {

// Fields of each record in wire order; the carrier orders put the carrier first.
template <class R, class F> void wireFields(R&, F&) {}
template <class F> void wireFields(MoveCommand& c, F& f) { f(c.unitIds), f(c.x), f(c.y), f(c.shiftHeld); }
template <class F> void wireFields(SpawnCommand& c, F& f) { f(c.unitType); }
template <class F> void wireFields(MineCommand& c, F& f) { f(c.unitId), f(c.targetX), f(c.targetY), f(c.mapObjectId); }
template <class F> void wireFields(PlaceBuildingDownCommand& c, F& f) {
    f(c.unitId), f(c.buildingType), f(c.targetX), f(c.targetY);
}
template <class F> void wireFields(TrainUnitCommand& c, F& f) { f(c.unitType), f(c.buildingId); }
template <class F> void wireFields(AttackCommand& c, F& f) { f(c.unitId), f(c.targetId); }
template <class F> void wireFields(SetRallyPointCommand& c, F& f) { f(c.buildingId), f(c.targetX), f(c.targetY); }
template <class F> void wireFields(CarrierPickUpCommand& c, F& f) { f(c.carrierId), f(c.unitId); }
template <class F> void wireFields(CarrierDropOffCommand& c, F& f) { f(c.carrierId), f(c.unitId); }
template <class F> void wireFields(CastSpellCommand& c, F& f) {
    f(c.unitId), f(c.targetId), f(c.targetX), f(c.targetY), f(c.spell), f(c.shiftHeld);
}
template <class F> void wireFields(StopProductionCommand& c, F& f) { f(c.buildingId), f(c.index); }
template <class F> void wireFields(StopConstructionCommand& c, F& f) { f(c.buildingId); }
template <class F> void wireFields(ResearchUpgradeCommand& c, F& f) { f(c.buildingId), f(c.upgradeType); }
template <class F> void wireFields(ChatMessageCommand& c, F& f) { f(c.message); }
template <class F> void wireFields(PauseGameCommand& c, F& f) { f(c.timestamp); }
template <class F> void wireFields(ResumeGameCommand& c, F& f) { f(c.timestamp); }
template <class F> void wireFields(AttackMove& c, F& f) { f(c.unitId), f(c.x), f(c.y), f(c.shiftHeld); }
template <class F> void wireFields(PickUpCommand& c, F& f) { f(c.unitId), f(c.itemId); }
template <class F> void wireFields(HoldCommand& c, F& f) { f(c.unitIds); }
template <class F> void wireFields(StopCommand& c, F& f) { f(c.unitIds); }
template <class F> void wireFields(ConstructCommand& c, F& f) { f(c.unitId), f(c.buildingId); }

struct FieldWriter {
    NetPacket& p;
    void operator()(int v) { p.writeInt(v); }
    void operator()(bool v) { p.writeByte(v ? 1 : 0); }
    void operator()(const std::string& v) { p.writeString(v); }
    void operator()(const std::vector<int>& ids) {
        p.writeInt(static_cast<int32_t>(ids.size()));
        for (int id : ids) p.writeInt(id);
    }
};

struct FieldReader {
    NetPacket& p;
    void operator()(int& v) { p.readInt(v); }
    void operator()(bool& v) {
        uint8_t b = 0;
        if (p.readByte(b)) v = b != 0;
    }
    void operator()(std::string& v) { p.readString(v); }
    // A count over the maximum, or ids that do not fit, leave the list empty and the ids unread.
    void operator()(std::vector<int>& ids) {
        int32_t count = 0;
        if (!p.readInt(count) || count < 0 || count > MAX_WIRE_UNIT_IDS) return;
        if (p.remaining() < static_cast<size_t>(count) * 4) return;
        ids.resize(static_cast<size_t>(count));
        for (int& id : ids) p.readInt(id);
    }
};

template <class Record>
CommandPayload readRecord(NetPacket& p) {
    Record r;
    FieldReader reader{p};
    wireFields(r, reader);
    return r;
}

using RecordReader = CommandPayload (*)(NetPacket&);

template <class... Records>
constexpr auto readersByCode(CommandRecordList<Records...>) {
    return std::array<RecordReader, sizeof...(Records)>{readRecord<Records>...};
}

// Indexed by the type code, not by the record's place in the variant.
constexpr auto recordReaders = readersByCode(RecordsByCommandType{});

}  // namespace

bool isOneChatLine(const std::string& text, size_t maxBytes) {
    return text.size() <= maxBytes && text.find_first_of("\r\n") == std::string::npos;
}

namespace {

// Orders that start no search: talk, pause and resume, pings, and the hold and stop keys, which halt units where
// they stand. Every other order names a unit or a building that may start one.
bool setsUnitsGoing(CommandType type) {
    switch (type) {
        case CommandType::ChatMessage:
        case CommandType::PauseGame:
        case CommandType::ResumeGame:
        case CommandType::Ping:
        case CommandType::Pong:
        case CommandType::Hold:
        case CommandType::Stop:
            return false;
        default:
            return true;
    }
}

int listedUnits(const CommandPayload& payload) {
    if (const auto* move = std::get_if<MoveCommand>(&payload)) return static_cast<int>(move->unitIds.size());
    if (const auto* hold = std::get_if<HoldCommand>(&payload)) return static_cast<int>(hold->unitIds.size());
    if (const auto* stop = std::get_if<StopCommand>(&payload)) return static_cast<int>(stop->unitIds.size());
    return 0;
}

struct OrderWork {
    int unitOrders = 0;
    int listedUnits = 0;
};

OrderWork workOf(const Command& cmd) { return {setsUnitsGoing(cmd.type) ? 1 : 0, listedUnits(cmd.payload)}; }

}  // namespace

size_t ordersWithinTurnWork(const std::vector<Command>& cmds) {
    OrderWork total;
    for (size_t i = 0; i < cmds.size(); ++i) {
        const OrderWork w = workOf(cmds[i]);
        total.unitOrders += w.unitOrders;
        total.listedUnits += w.listedUnits;
        if (i > 0 && (total.unitOrders > MAX_TURN_UNIT_ORDERS || total.listedUnits > MAX_TURN_LISTED_UNITS)) return i;
    }
    return cmds.size();
}

bool isWireCommandType(CommandType type) {
    const auto code = static_cast<int32_t>(type);
    return code >= 0 && code < static_cast<int32_t>(std::size(recordReaders));
}

void writeCommand(NetPacket& packet, const Command& cmd) {
    packet.writeInt(static_cast<int32_t>(cmd.type));
    packet.writeInt(cmd.player);
    FieldWriter writer{packet};
    std::visit([&](const auto& record) { wireFields(const_cast<std::decay_t<decltype(record)>&>(record), writer); },
               cmd.payload);
}

Command readCommand(NetPacket& packet) {
    Command cmd;
    int32_t code = 0;
    packet.readInt(code);
    packet.readInt(cmd.player);
    cmd.type = static_cast<CommandType>(code);
    if (!isWireCommandType(cmd.type)) return cmd;
    cmd.payload = recordReaders[code](packet);
    if (auto* chat = std::get_if<ChatMessageCommand>(&cmd.payload); chat && !isOneChatLine(chat->message)) {
        std::cerr << "Dropped a chat message of " << chat->message.size() << " bytes: more than one line\n";
        chat->message.clear();
    }
    return cmd;
}

NetPacket writeTurnPacket(const Turn& turn) {
    NetPacket packet(PacketType::TurnCommands);
    packet.writeInt(turn.tick);
    packet.writeInt(turn.player);
    packet.writeInt(static_cast<int32_t>(turn.commands.size()));
    for (const Command& cmd : turn.commands) writeCommand(packet, cmd);
    return packet;
}

// The type and player of an entry.
constexpr size_t ENTRY_HEADER = 8;

// An entry of unknown code hides where the next one starts, so nothing after it, and nothing before it either, can
// be taken for what its sender meant.
bool readTurnPacket(NetPacket& packet, Turn& turn, std::string* fault) {
    int32_t tick = 0, player = 0, count = 0;
    const auto refuse = [fault](std::string why) {
        if (fault) *fault = std::move(why);
        return false;
    };
    if (!packet.readInt(tick) || !packet.readInt(player) || !packet.readInt(count) || count < 0 ||
        count > MAX_TURN_COMMANDS)
        return refuse("a turn packet cut short or with a count out of range");
    Turn read{tick, player, {}};
    for (int32_t i = 0; i < count && packet.remaining() >= ENTRY_HEADER; ++i) {
        Command cmd = readCommand(packet);
        if (!isWireCommandType(cmd.type))
            return refuse("a turn with an order of unknown code " + std::to_string(static_cast<int32_t>(cmd.type)));
        read.commands.push_back(std::move(cmd));
    }
    turn = std::move(read);
    return true;
}
