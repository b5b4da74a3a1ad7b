// The map and rules a lobby match starts on: a guest whose copy of the host's map, settings, mod script or content
// is another, garbage or missing says so in one line and plays nothing, and the host's match counts it gone for
// that reason; an equal copy starts.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "config.h"
#include "game_state.h"
#include "lockstep_peers.h"
#include "loopback_lobby.h"
#include "map.h"
#include "mod_manager.h"
#include "races.h"
#include "test_files.h"

namespace {

struct GuestCopy {
    const char* name;
    std::function<void(const TempDir&)> change;
    std::string line;  // empty: the copy is the host's and the guest starts
    StartRefusal reason = StartRefusal::Map;
    // Before the host's start, so both peers of the process have it.
    std::function<void(const TempDir&)> hostSide = [](const TempDir&) {};
};

// Both peers of the process read the maps, the script and the settings of one folder: the host fingerprints its
// copies as it starts, and the guest's are changed before the guest reads the start message.
struct LobbyMap : LoopbackLobby, ::testing::WithParamInterface<GuestCopy> {
    void SetUp() override {
        LoopbackLobby::SetUp();
        for (const std::string map : {"fight", "highlands"})
            folder.write("maps/" + map + ".map",
                         readWholeFile(std::string(CORVALE_SOURCE_DIR) + "/maps/" + map + ".map"));
        folder.write(MOD_FOLDER + MOD_SCRIPT, "-- the host's script\n");
        basePath = folder.str() + "/";
    }
    void TearDown() override {
        basePath = savedBase;
        StartLobbyMatch = savedStart;
        UNIT_SPEED = savedSpeed;
        MODS = savedMods;
        contentFingerprint = savedContent;
        LoopbackLobby::TearDown();
    }
    TempDir folder;
    WorkingDirectory inFolder{folder.path};
    std::string savedBase = basePath;
    decltype(StartLobbyMatch) savedStart = StartLobbyMatch;
    float savedSpeed = UNIT_SPEED;
    bool savedMods = MODS;
    std::string savedContent = contentFingerprint;
};

TEST_P(LobbyMap, AGuestStartsOnlyOnTheHostsCopyElseSaysSoInOneLineAndTheHostSeesItLeaveWithTheReason) {
    std::vector<std::string> guestStarts;
    StartLobbyMatch = [&](bool isHost, const std::string& map) {
        if (!isHost) guestStarts.push_back(map);
    };
    ASSERT_TRUE(joinLobby(guest.peer, Lobby{"Den", 1, "fight", "127.0.0.1", 1, 2}, "secret"));
    ASSERT_TRUE(stepUntil([&] { return guest.state.joined; }));
    GetParam().hostSide(folder);
    startLobbyMatch(host.peer);
    GetParam().change(folder);
    ::testing::internal::CaptureStderr();
    const bool answered = stepUntil([&] { return guest.state.started || !guest.state.joined; });
    const std::string errors = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(answered);
    const std::string& line = GetParam().line;
    if (line.empty()) {
        EXPECT_EQ(errors, "");
        EXPECT_EQ(guestStarts, std::vector<std::string>{"fight"});
        EXPECT_EQ(guest.link.connections.size(), 1u);
        return;
    }
    EXPECT_EQ(errors, line + "\n");
    EXPECT_EQ(guest.state.startRefused, line);
    EXPECT_TRUE(guestStarts.empty());
    EXPECT_TRUE(guest.link.connections.empty());
    EXPECT_EQ(guest.roster.size(), 1u);
    // The host is in its match already, where the guest's leave tells why, quietly, and its connection closing
    // counts it gone.
    LockstepManager match;
    RecordingRunner runner;
    ::testing::internal::CaptureStderr();
    for (int i = 0; i < 200 && runner.left.empty(); ++i) {
        match.step(0.0f, 0, 1, {1, 2}, host.link, runner);
        host.link.waitForTraffic(10);
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(runner.left, std::vector<int>{2});
    EXPECT_EQ(match.leaveReasons, (std::map<int, uint8_t>{{2, static_cast<uint8_t>(GetParam().reason)}}));
}

const std::string notTheHosts = "The match could not start: the map \"fight\" on this computer is not the host's.";
const std::string otherScript = "The match could not start: the mod script on this computer is not the host's.";
void modsOn(const TempDir&) { MODS = true; }

INSTANTIATE_TEST_SUITE_P(
    Copies, LobbyMap,
    ::testing::Values(
        GuestCopy{"Equal", [](const TempDir&) {}, ""},
        GuestCopy{"EqualWithMods", [](const TempDir&) {}, "", StartRefusal::Map, modsOn},
        GuestCopy{"AnotherMap",
                  [](const TempDir& d) { d.write("maps/fight.map", readWholeFile(d / "maps/highlands.map")); },
                  notTheHosts},
        GuestCopy{"Garbage", [](const TempDir& d) { d.write("maps/fight.map", "garbage"); }, notTheHosts},
        GuestCopy{"Missing", [](const TempDir& d) { std::filesystem::remove(d / "maps/fight.map"); },
                  "The match could not start: the map \"fight\" is missing on this computer."},
        GuestCopy{"AnotherUnitSpeed", [](const TempDir&) { UNIT_SPEED += 1.0f; },
                  "The match could not start: the settings on this computer are not the host's.",
                  StartRefusal::Settings},
        GuestCopy{"AnotherModScript", [](const TempDir& d) { d.write(MOD_FOLDER + MOD_SCRIPT, "-- the guest's\n"); },
                  otherScript, StartRefusal::ModScript, modsOn},
        // The host could not read its script and sent an empty fingerprint, which matches nothing, not even the
        // guest's own lack of one.
        GuestCopy{"NoModScriptAnywhere", [](const TempDir&) {}, otherScript, StartRefusal::ModScript,
                  [](const TempDir& d) {
                      MODS = true;
                      std::filesystem::remove(d / (MOD_FOLDER + MOD_SCRIPT));
                  }},
        GuestCopy{"OtherContent", [](const TempDir&) { contentFingerprint = "0123456789abcdef"; },
                  "The match could not start: the game content on this computer is not the host's.",
                  StartRefusal::Content}),
    [](const ::testing::TestParamInfo<GuestCopy>& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// A map name from a peer is shown as one line of a sane length: a newline or a NUL is replaced, a huge name cut.
TEST(LobbyMapText, TheMapOfARefusedStartIsShownCutWithItsControlCharactersReplaced) {
    const struct {
        std::string received;
        std::string shown;
    } rows[] = {
        {"fi\nght", "fi?ght"},
        {std::string("fi\0ght", 6), "fi?ght"},
        {std::string(4u << 20, 'm'), std::string(MAX_SHOWN_NAME_BYTES, 'm')},
    };
    for (const auto& row : rows)
        EXPECT_EQ(lobbyMapRefusal(row.received, "0123456789abcdef"),
                  "The match could not start: the map \"" + row.shown + "\" is missing on this computer.");
}

// The fingerprint reads a map file only up to the size a map may have; a larger one is refused with one line
// before it is read.
TEST(LobbyMapText, AMapFileLargerThanAMapMayBeHasNoFingerprint) {
    TempDir folder;
    const std::string savedBase = basePath;
    basePath = folder.str() + "/";
    const struct {
        std::uintmax_t bytes;
        bool printed;
    } rows[] = {{MAX_MAP_FILE_BYTES, true}, {MAX_MAP_FILE_BYTES + 1, false}};
    for (const auto& row : rows) {
        folder.write("maps/huge.map", std::string(row.bytes, 'G'));
        ::testing::internal::CaptureStderr();
        const std::string print = mapFingerprint("huge");
        const std::string errors = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(print.empty(), !row.printed) << row.bytes;
        const std::string line = "Map file is larger than 16777216 bytes: " + folder.str() + "/maps/huge.map\n";
        EXPECT_EQ(errors, row.printed ? "" : line);
    }
    basePath = savedBase;
}

}  // namespace
