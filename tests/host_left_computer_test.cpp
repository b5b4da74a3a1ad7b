// A guest whose host leaves a LAN match with a computer player, frame by frame through the real session and the
// lockstep exchange: the computer plays on for the guest, and the guest's replay and saved game reach the worlds
// the guest saw.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "lockstep.h"
#include "lockstep_peers.h"
#include "network_manager.h"
#include "session_fixture.h"

namespace {

constexpr int COMPUTER_ID = 303;
constexpr int HOST_LEAVES = 100;
constexpr int TURNS = 600;

void expectSameChecksums(const ChecksumsByTurn& live, const ChecksumsByTurn& again) {
    ASSERT_GT(again.size(), 1u);
    for (const auto& [turn, sum] : again) {
        ASSERT_TRUE(live.count(turn)) << "turn " << turn;
        EXPECT_EQ(sum, live.at(turn)) << "turn " << turn;
    }
}

// The records of a log the computer player's orders make.
int computerRecords(const std::filesystem::path& log) {
    int n = 0;
    for (const nlohmann::json& record : logRecords(log))
        if (record["player"] == COMPUTER_ID) ++n;
    return n;
}

struct HostLeftComputer : SessionTest {
    int savedAi = Player::aiId;
    LockstepManager hostTurns;
    NetworkManager hostLink;
    RecordingRunner hostRunner;

    void SetUp() override {
        SessionTest::SetUp();
        // A map with a base for each of the three sides.
        std::filesystem::copy_file(std::string(CORVALE_SOURCE_DIR) + "/maps/highlands.map",
                                   root.path / "maps/highlands.map");
        Player::aiId = COMPUTER_ID;
    }
    void TearDown() override {
        hostLink.closeTcp();
        net.closeTcp();
        SessionTest::TearDown();
        Player::aiId = savedAi;
    }

    // The lobby's seats as the guest holds them: the host, the guest, and the host's computer player, whose
    // strategy only the host knows.
    static void seatAsGuest() {
        players.clear();
        headless::addPlayer(OTHER_ID, "Host", "vohmathal", true);
        spawnPlayer();
        players.push_back(std::make_unique<Player>(COMPUTER_ID, "AI", "vohmathal", true));
    }

    // The guest's match joined to a host that sends its turns until the turn given, then closes its connection.
    ChecksumsByTurn playGuestMatch() {
        seatAsGuest();
        mode = GameMode::Skirmish;
        EXPECT_TRUE(startGame(false, false, "highlands", false));
        hostLink.isHost = true;
        hostLink.bindConnection(joinInMemory(hostLink, net), LOCAL_ID);
        return runFrames(TURNS * 3, 16.0, [] { return lockstep.currentTurn >= TURNS; }, [this] {
            if (lockstep.currentTurn >= HOST_LEAVES) return hostLink.closeTcp();
            hostTurns.step(TURN_LENGTH, 0, OTHER_ID, {OTHER_ID, LOCAL_ID}, hostLink, hostRunner);
        });
    }
};

TEST_F(HostLeftComputer, TheComputerPlaysOnForTheGuestWhoseReplayAndSaveReachItsWorlds) {
    const ChecksumsByTurn live = playGuestMatch();
    ASSERT_EQ(lockstep.currentTurn, TURNS);
    EXPECT_TRUE(lockstep.leftPlayers.count(OTHER_ID));
    EXPECT_EQ(victoryPlayerId, -1) << "the computer still stands against the guest";
    ASSERT_TRUE(saveGameAs("guest"));
    pendingShutdown = true;
    game_loop();
    const std::filesystem::path log = onlyFileIn(root.path / "replays");
    EXPECT_GT(computerRecords(log), 0) << "the computer gave orders after its host left";

    // The guest's replay, from the same seat, through the same worlds.
    std::ifstream in(log);
    keepRunSeats();
    ASSERT_TRUE(loadReplay(in));
    mode = GameMode::Replay;
    ASSERT_TRUE(startGame(false, true, MAP_FILE, true));
    expectSameChecksums(live, runFrames(TURNS * 2, 20.0, [] { return false; }));
    std::filesystem::remove(log);

    // The saved game catches up to the world saved, and the computer goes on giving orders after it.
    load_game_filename = "guest.bin";
    mode = GameMode::ResumedSave;
    ASSERT_TRUE(startGame(true, true, "", false));
    ChecksumsByTurn resumed = runFrames(TURNS * 2, 20.0, [] { return mode != GameMode::ResumedSave; });
    EXPECT_EQ(mode, GameMode::Skirmish);
    EXPECT_EQ(resumed.rbegin()->first, TURNS);
    expectSameChecksums(live, resumed);
    const int savedRecords = computerRecords(root.path / "saves/guest.bin");
    runFrames(200, 20.0, [] { return false; });
    pendingShutdown = true;
    game_loop();
    EXPECT_GT(computerRecords(onlyFileIn(root.path / "replays")), savedRecords);
}

}  // namespace
