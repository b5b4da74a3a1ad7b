// The wire: command entries and turn packets, the frame cutter, and the choice of the local address.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "game_commands_wire.h"
#include "lockstep.h"

namespace {

struct EntryCase {
    Command cmd;
    size_t payloadBytes;  // after the 8-byte entry header
};

// Every order record once; the byte counts follow the layout, with the shift flag as one byte at the end.
const std::vector<EntryCase> entryCases = {
    {{CommandType::Move, 3, MoveCommand{{4, 5, 6}, 70, -80, true}}, 4 + 12 + 8 + 1},
    {{CommandType::Spawn, 3, SpawnCommand{"Marine"}}, 4 + 6},
    {{CommandType::Mine, 3, MineCommand{4, 11, 12, 99}}, 16},
    {{CommandType::PlaceBuildingDown, 3, PlaceBuildingDownCommand{"Farm", 7, 8, 9}}, 4 + 8 + 8},
    {{CommandType::TrainUnit, 3, TrainUnitCommand{12, "Peon"}}, 8 + 4},
    {{CommandType::Attack, 3, AttackCommand{4, 5}}, 8},
    {{CommandType::SetRallyPoint, 3, SetRallyPointCommand{1, 2, 3}}, 12},
    {{CommandType::CarrierPickUp, 3, CarrierPickUpCommand{9, 7}}, 8},
    {{CommandType::CarrierDropOff, 3, CarrierDropOffCommand{9, 7}}, 8},
    {{CommandType::CastSpell, 3, CastSpellCommand{1, 2, 3, 4, "abc", true}}, 16 + 4 + 3 + 1},
    {{CommandType::StopProduction, 3, StopProductionCommand{5, 2}}, 8},
    {{CommandType::StopConstruction, 3, StopConstructionCommand{5}}, 4},
    {{CommandType::ResearchUpgrade, 3, ResearchUpgradeCommand{5, "Armor"}}, 4 + 4 + 5},
    {{CommandType::ChatMessage, 3, ChatMessageCommand{"gg"}}, 4 + 2},
    {{CommandType::PauseGame, 3, PauseGameCommand{1234}}, 4},
    {{CommandType::ResumeGame, 3, ResumeGameCommand{1235}}, 4},
    {{CommandType::Ping, 3, PingCommand{}}, 0},
    {{CommandType::Pong, 3, PongCommand{}}, 0},
    {{CommandType::AttackMove, 3, AttackMove{4, 5, 6, true}}, 13},
    {{CommandType::PickUp, 3, PickUpCommand{4, 77}}, 8},
    {{CommandType::Hold, 3, HoldCommand{{1, 2}}}, 4 + 8},
    {{CommandType::Stop, 3, StopCommand{{1}}}, 4 + 4},
};

std::string asJson(const Command& cmd) { return compactJson(commandToJson(0, cmd)); }

NetPacket packetOf(std::vector<int32_t> ints) {
    NetPacket p;
    for (int32_t v : ints) p.writeInt(v);
    return p;
}

TEST(WireCodec, EveryOrderRoundTripsWithItsLayoutSize) {
    for (const EntryCase& c : entryCases) {
        NetPacket p;
        writeCommand(p, c.cmd);
        EXPECT_EQ(p.data.size(), 8 + c.payloadBytes) << asJson(c.cmd);
        const Command back = readCommand(p);
        EXPECT_EQ(asJson(back), asJson(c.cmd));
        EXPECT_EQ(back.payload.index(), c.cmd.payload.index());
        EXPECT_EQ(p.remaining(), 0u);
    }
    NetPacket carrier = packetOf({8, 1, 7, 9});
    const auto dropOff = std::get<CarrierDropOffCommand>(readCommand(carrier).payload);
    EXPECT_EQ(dropOff.carrierId, 7) << "the carrier travels first";
    EXPECT_EQ(dropOff.unitId, 9);
}

TEST(WireCodec, CutPayloadsReadSafelyAsZeroedFields) {
    for (const EntryCase& c : entryCases) {
        NetPacket whole;
        writeCommand(whole, c.cmd);
        for (size_t keep = 0; keep < whole.data.size(); ++keep) {
            NetPacket cut;
            cut.data.assign(whole.data.begin(), whole.data.begin() + static_cast<std::ptrdiff_t>(keep));
            readCommand(cut);
            EXPECT_LE(cut.readPos, keep);
        }
    }
    NetPacket shortMove = packetOf({0, 1, 2, 5});
    const auto move = std::get<MoveCommand>(readCommand(shortMove).payload);
    EXPECT_TRUE(move.unitIds.empty());
    EXPECT_EQ(move.x, 5) << "x and y follow the count when the ids do not fit";
    EXPECT_EQ(move.y, 0);
}

TEST(WireCodec, OverlongUnitListTravelsEmpty) {
    NetPacket p = packetOf({0, 1, 10001, 33, 44});
    const auto move = std::get<MoveCommand>(readCommand(p).payload);
    EXPECT_TRUE(move.unitIds.empty());
    EXPECT_EQ(move.x, 33);
    EXPECT_EQ(move.y, 44);
}

TEST(TurnPacket, ShortHeaderOrCountOutOfRangeIsRefused) {
    NetPacket empty = writeTurnPacket(Turn{1, 2, {}});
    EXPECT_EQ(empty.data.size(), 12u);
    Turn decoded;
    NetPacket shortHeader = packetOf({1, 2});
    EXPECT_FALSE(readTurnPacket(shortHeader, decoded));
    const struct {
        int32_t count;
        bool read;
    } counts[] = {{0, true}, {MAX_TURN_COMMANDS, true}, {MAX_TURN_COMMANDS + 1, false}, {-1, false},
                  {2000000000, false}};
    for (const auto& c : counts) {
        NetPacket header = packetOf({1, 2, c.count});
        EXPECT_EQ(readTurnPacket(header, decoded), c.read) << c.count;
    }
}

// An entry of a code the wire does not know hides where the next one starts: the whole packet is refused, the
// orders before it too. What only a command log holds, a peer's leave and the computer's takeover, is such a code
// on the wire; the hold and stop orders that came after the original codes are not.
TEST(TurnPacket, AnEntryOfUnknownCodeRefusesTheWholePacket) {
    const struct {
        Command cmd;
        const char* fault;  // empty: the packet reads whole
    } cases[] = {
        {{CommandType::Hold, 2, HoldCommand{{1}}}, ""},
        {{CommandType::Stop, 2, StopCommand{{1}}}, ""},
        {{CommandType::Construct, 2, ConstructCommand{4, 5}}, ""},
        {{CommandType::PlayerLeft, 2, std::monostate{}}, "a turn with an order of unknown code 23"},
        {{CommandType::ComputerTakeover, 2, ComputerTakeoverCommand{"rush"}}, "a turn with an order of unknown code 24"},
        {{static_cast<CommandType>(999), 2, {}}, "a turn with an order of unknown code 999"},
        {{static_cast<CommandType>(-1), 2, {}}, "a turn with an order of unknown code -1"},
    };
    for (const auto& c : cases) {
        const int code = static_cast<int>(c.cmd.type);
        NetPacket p = writeTurnPacket(Turn{5, 2, {entryCases[5].cmd, c.cmd, entryCases[5].cmd}});
        Turn decoded{7, 7, {}};
        std::string fault;
        testing::internal::CaptureStderr();
        EXPECT_EQ(readTurnPacket(p, decoded, &fault), !*c.fault) << code;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << code;
        EXPECT_EQ(fault, c.fault);
        EXPECT_EQ(decoded.commands.size(), *c.fault ? 0u : 3u) << code;
        EXPECT_EQ(decoded.tick, *c.fault ? 7 : 5) << "a refused packet leaves the turn as it was";
    }
}

TEST(TurnPacket, ChatOfOneLineTravelsAndAnyOtherArrivesEmpty) {
    const struct {
        std::string message;
        bool kept;
    } cases[] = {{std::string(MAX_CHAT_BYTES, 'a'), true}, {std::string(MAX_CHAT_BYTES + 1, 'a'), false},
                 {"two\nlines", false}, {"cr\r", false}, {"", true}};
    for (const auto& c : cases) {
        NetPacket p = writeTurnPacket(Turn{1, 2, {{CommandType::ChatMessage, 2, ChatMessageCommand{c.message}}}});
        Turn decoded;
        testing::internal::CaptureStderr();
        ASSERT_TRUE(readTurnPacket(p, decoded));
        const std::string errors = testing::internal::GetCapturedStderr();
        ASSERT_EQ(decoded.commands.size(), 1u);
        EXPECT_EQ(std::get<ChatMessageCommand>(decoded.commands[0].payload).message, c.kept ? c.message : "");
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), c.kept ? 0 : 1) << errors;
    }
}

std::vector<uint8_t> bytesOf(const NetPacket& p) { return framePacket(p); }

TEST(Framing, FramesAreLengthTypeAndPayload) {
    NetPacket p;
    p.type = 7;
    p.data = {1, 2, 3, 4, 5};
    EXPECT_EQ(bytesOf(p), (std::vector<uint8_t>{0, 0, 0, 6, 7, 1, 2, 3, 4, 5}));
    NetPacket e;
    e.type = 9;
    EXPECT_EQ(bytesOf(e), (std::vector<uint8_t>{0, 0, 0, 1, 9}));
}

TEST(Framing, CutterJoinsSplitFramesAndSplitsJoinedOnes) {
    NetPacket a(PacketType::StartGame), b(PacketType::ChangeRace);
    a.writeString("lobby");
    b.writeInt(42);
    std::vector<uint8_t> stream = framePacket(a);
    const std::vector<uint8_t> second = framePacket(b);
    stream.insert(stream.end(), second.begin(), second.end());

    std::vector<uint8_t> buffer(stream.begin(), stream.end());
    std::vector<NetPacket> out;
    uint32_t bad = 0;
    ASSERT_TRUE(cutFrames(buffer, out, bad));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].data, a.data);
    EXPECT_EQ(out[1].type, b.type);
    EXPECT_TRUE(buffer.empty());

    const std::vector<uint8_t> frame = framePacket(a);
    const size_t cuts[] = {0, 3, 7, frame.size()};
    out.clear();
    buffer.clear();
    for (int part = 0; part < 3; ++part) {
        buffer.insert(buffer.end(), frame.begin() + static_cast<std::ptrdiff_t>(cuts[part]),
                      frame.begin() + static_cast<std::ptrdiff_t>(cuts[part + 1]));
        ASSERT_TRUE(cutFrames(buffer, out, bad));
        EXPECT_EQ(out.size(), part == 2 ? 1u : 0u);
    }
}

TEST(Framing, ConnectionThatHasNotJoinedMaySendOnlySmallFrames) {
    const struct {
        uint32_t length;
        bool cut;
    } cases[] = {{MAX_JOIN_FRAME_LENGTH, true}, {MAX_JOIN_FRAME_LENGTH + 1, false}};
    for (const auto& c : cases) {
        std::vector<uint8_t> buffer = {static_cast<uint8_t>(c.length >> 24), static_cast<uint8_t>(c.length >> 16),
                                       static_cast<uint8_t>(c.length >> 8), static_cast<uint8_t>(c.length)};
        buffer.resize(FRAME_HEADER + c.length, 0);
        std::vector<NetPacket> out;
        uint32_t bad = 0;
        EXPECT_EQ(cutFrames(buffer, out, bad, MAX_JOIN_FRAME_LENGTH), c.cut) << c.length;
        EXPECT_EQ(out.size(), c.cut ? 1u : 0u);
        EXPECT_TRUE(buffer.empty());
    }
}

TEST(Framing, LengthLimitIsFourMebibytes) {
    std::vector<uint8_t> buffer = {0x00, 0x40, 0x00, 0x00};
    std::vector<NetPacket> out;
    uint32_t bad = 0;
    EXPECT_TRUE(cutFrames(buffer, out, bad)) << "4194304 waits for its bytes";
    EXPECT_EQ(buffer.size(), 4u);
    for (const std::vector<uint8_t>& header : {std::vector<uint8_t>{0x00, 0x40, 0x00, 0x01}, {0, 0, 0, 0}}) {
        buffer = header;
        EXPECT_FALSE(cutFrames(buffer, out, bad));
        EXPECT_TRUE(buffer.empty());
    }
    EXPECT_EQ(bad, 0u);
    NetPacket big;
    big.data.resize(MAX_FRAME_LENGTH - 1);
    buffer = framePacket(big);
    ASSERT_TRUE(cutFrames(buffer, out, bad));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].data.size(), MAX_FRAME_LENGTH - 1);
}

TEST(LocalAddress, PrefersPrivateThenAnyButLoopback) {
    const struct {
        std::vector<IPv4Octets> found;
        const char* chosen;
    } cases[] = {
        {{{127, 0, 0, 1}, {100, 64, 1, 2}, {192, 168, 1, 20}}, "192.168.1.20"},
        {{{127, 0, 0, 1}, {100, 64, 1, 2}}, "100.64.1.2"},
        {{{172, 32, 0, 5}, {172, 20, 0, 5}}, "172.20.0.5"},
        {{{127, 0, 0, 1}, {127, 1, 2, 3}}, "127.0.0.1"},
        {{}, "127.0.0.1"},
        {{{8, 8, 8, 8}, {10, 0, 0, 7}}, "10.0.0.7"},
    };
    for (const auto& c : cases) EXPECT_EQ(chooseLocalAddress(c.found), c.chosen);
}

}  // namespace
