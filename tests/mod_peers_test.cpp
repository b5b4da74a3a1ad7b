// A mod script in a match of several peers: every peer runs the same script with the same seats, whoever hosts,
// whichever setting each has on its own.
#include <functional>

#include "game_session.h"
#include "loopback_lobby.h"
#include "mod_world.h"

namespace {

using headless::ATTACKER_ID;
using headless::DEFENDER_ID;
// A second human in the match, with no base of its own.
constexpr int WATCHER_ID = 3;

struct ModPeers : ModWorld {
    // The tower defence match as the peer of the given player plays it: the same seats, listed in the same order,
    // on every peer. The world's checksum after the ticks.
    uint64_t playAs(int localId, const std::string& script, int ticks) {
        scripts.write("tower_defense.lua", script);
        MAP_FILE = "fight";
        headless::addPlayer(DEFENDER_ID, "Blue", "human", true);
        headless::addPlayer(ATTACKER_ID, "Red", "vohmathal", false);
        headless::addPlayer(WATCHER_ID, "Green", "human", false);
        Player::myStaticId = localId;
        Player::aiId = ATTACKER_ID;
        selectModHooks(true);
        ::testing::internal::CaptureStderr();
        modManager.start(grid, scripts.path.string() + "/");
        EXPECT_TRUE(headless::buildMapWorld(headless::mapPath(MAP_FILE)));
        headless::placeDefenders();
        ::testing::internal::GetCapturedStderr();
        tick(ticks);
        const uint64_t sum = worldChecksum();
        headless::endTowerDefense();
        return sum;
    }
};

// What the script does for "the local player" lands on the same seat on every peer.
TEST_F(ModPeers, ScriptActsAlikeOnEveryPeer) {
    const std::string shipped = readWholeFile(basePath + MOD_FOLDER + "tower_defense.lua");
    const struct Case {
        const char* what;
        std::string script;
        int ticks;
    } cases[] = {
        {"gold", "function onInit() after(0, function() addPlayerGold(localPlayerId, 25) end) end", 2},
        {"march",
         "function onInit() after(0, function() local id = spawnUnit('Grunt', computerPlayerId, 50, 43) "
         "sendToClosestEnemy(id) end) end",
         300},
        {"shipped waves", shipped, 4000},
    };
    for (const Case& c : cases) {
        const uint64_t onDefendersPeer = playAs(DEFENDER_ID, c.script, c.ticks);
        const uint64_t onWatchersPeer = playAs(WATCHER_ID, c.script, c.ticks);
        EXPECT_EQ(onWatchersPeer, onDefendersPeer) << c.what;
    }
}

// Alone with the computer, the local player is the one the script serves.
TEST_F(ModPeers, AloneTheLocalPlayerIsTheScriptsPlayer) {
    start("");
    EXPECT_EQ(evaluate("localPlayerId"), std::to_string(DEFENDER_ID));
}

// The start message tells each member whether the host plays with mods.
TEST_F(LoopbackLobby, StartCarriesTheHostsModsSetting) {
    const bool before = MODS;
    joinLobby(guest.peer, Lobby{"Den", 1, "fight", "127.0.0.1", 1, 2}, "secret");
    ASSERT_TRUE(stepUntil([&] { return guest.state.joined; }));
    StartLobbyMatch = nullptr;
    for (const bool hostMods : {true, false}) {
        MODS = hostMods;
        guest.state.hostMods = !hostMods;
        guest.state.started = false;
        startLobbyMatch(host.peer);
        ASSERT_TRUE(stepUntil([&] { return guest.state.started; }));
        EXPECT_EQ(guest.state.hostMods, hostMods);
    }
    MODS = before;
}

struct ModLobbyMatch : SessionTest {
    decltype(StartLobbyMatch) savedStart = StartLobbyMatch;
    void TearDown() override {
        StartLobbyMatch = savedStart;
        SessionTest::TearDown();
    }
};

// A member plays with the host's setting, not its own, and has its own back once the match ends.
TEST_F(ModLobbyMatch, MemberPlaysWithTheHostsModsSettingForTheMatch) {
    installHooks(HookStage::Menus);
    for (const bool hostMods : {true, false}) {
        seatPlayers();
        MODS = !hostMods;
        lobbyState.hostMods = hostMods;
        ::testing::internal::CaptureStderr();
        StartLobbyMatch(false, "fight");
        ::testing::internal::GetCapturedStderr();
        ASSERT_EQ(gameState, GameState::Match);
        EXPECT_EQ(MODS, hostMods);
        EXPECT_EQ(modManager.L != nullptr, hostMods);
        endSession();
        EXPECT_EQ(MODS, !hostMods);
        EXPECT_EQ(modManager.L, nullptr);
    }
}

}  // namespace
