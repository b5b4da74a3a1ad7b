// A LAN match of two peers that one of them leaves, frame by frame through the real session and the lockstep
// exchange: the peer left alone wins, its replay shows the same result at the same turn, and its saved game counts
// the side that left out once the catch-up passes the leave; the leave's record never counts anyone out by any
// other road.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "lockstep.h"
#include "lockstep_peers.h"
#include "network_manager.h"
#include "session_fixture.h"

namespace {

constexpr int SAVED_BEFORE = 40;
constexpr int LEAVES_AT = 60;

// What the session announced: how often, and the winner and turn of the last announcement.
struct Result {
    int times = 0;
    int winner = -1;
    int turn = -1;
};
Result result;

void recordResult(const std::string&) {
    ++result.times;
    result.winner = victoryPlayerId;
    result.turn = lockstep.currentTurn;
}

// The leave records of a log: the player and tick of each.
std::vector<std::pair<int, int>> leaveRecords(const std::filesystem::path& log) {
    std::vector<std::pair<int, int>> leaves;
    for (const nlohmann::json& record : logRecords(log))
        if (record["type"] == static_cast<int>(CommandType::PlayerLeft))
            leaves.emplace_back(record["player"].get<int>(), record["tick"].get<int>());
    return leaves;
}

// The rival's peer: its own exchange on its own end of the link.
struct Rival {
    LockstepManager turns;
    NetworkManager link;
    RecordingRunner runner;
    void step() { turns.step(TURN_LENGTH, 0, OTHER_ID, {LOCAL_ID, OTHER_ID}, link, runner); }
};

struct PeerLeaves : SessionTest {
    std::unique_ptr<Rival> rival = std::make_unique<Rival>();
    void (*savedAnnouncement)(const std::string&) = AnnounceMatchResult;

    void SetUp() override {
        SessionTest::SetUp();
        result = Result{};
    }
    void TearDown() override {
        rival->link.closeTcp();
        net.closeTcp();
        SessionTest::TearDown();
        AnnounceMatchResult = savedAnnouncement;
    }

    // The session of the local player, hosting or joined, with the rival's peer on an in-memory link.
    void startLanMatch(bool hosting) {
        players.clear();
        if (hosting) spawnPlayer();
        headless::addPlayer(OTHER_ID, "Rival", "vohmathal", true);
        if (!hosting) spawnPlayer();
        mode = GameMode::Skirmish;
        ASSERT_TRUE(startGame(hosting, false, "fight", false));
        AnnounceMatchResult = recordResult;
        rival = std::make_unique<Rival>();
        net.isHost = hosting;
        rival->link.isHost = !hosting;
        if (hosting)
            net.bindConnection(joinInMemory(net, rival->link), OTHER_ID);
        else
            rival->link.bindConnection(joinInMemory(rival->link, net), LOCAL_ID);
    }

    // The rival's turn of this frame, or its leaving from the turn given on.
    std::function<void()> rivalUntil(int leavesAt) {
        return [this, leavesAt] {
            if (lockstep.currentTurn >= leavesAt) return rival->link.closeTcp();
            rival->step();
        };
    }

    // A saved game resumed as the load dialog resumes it, announcing to this test.
    static void resume(const std::string& save) {
        load_game_filename = save;
        mode = GameMode::ResumedSave;
        ASSERT_TRUE(startGame(true, true, "", false));
        AnnounceMatchResult = recordResult;
    }

    static void endTheSession() {
        pendingShutdown = true;
        game_loop();
    }
};

TEST_F(PeerLeaves, ThePeerLeftAloneWinsAndItsReplayAndSavedGameEndAlike) {
    const struct {
        const char* what;
        bool hosting;
    } roles[] = {{"joined: the host leaves", false}, {"hosting: the guest leaves", true}};
    for (const auto& role : roles) {
        SCOPED_TRACE(role.what);
        result = Result{};
        ASSERT_NO_FATAL_FAILURE(startLanMatch(role.hosting));
        runFrames(SAVED_BEFORE * 3, 16.0, [] { return lockstep.currentTurn >= SAVED_BEFORE; }, rivalUntil(LEAVES_AT));
        ASSERT_TRUE(saveGameAs("before"));
        runFrames(LEAVES_AT * 3, 16.0, [] { return result.times > 0; }, rivalUntil(LEAVES_AT));
        ASSERT_EQ(result.times, 1) << "the side that left no longer stands";
        EXPECT_EQ(result.winner, LOCAL_ID);
        ASSERT_TRUE(saveGameAs("after"));
        runFrames(30, 16.0, [] { return false; });
        const Result live = result;
        endTheSession();
        const std::filesystem::path log = onlyFileIn(root.path / "replays");
        const std::vector<std::pair<int, int>> leaves = leaveRecords(log);
        ASSERT_EQ(leaves.size(), 1u);
        EXPECT_EQ(leaves[0].first, OTHER_ID);
        EXPECT_GE(leaves[0].second, LEAVES_AT);
        EXPECT_LT(leaves[0].second, live.turn);

        // The replay, from the same seat, decides at the same turn; sought back before the leave it has decided
        // nothing, and played on it decides again.
        result = Result{};
        std::ifstream in(log);
        keepRunSeats();
        ASSERT_TRUE(loadReplay(in));
        mode = GameMode::Replay;
        ASSERT_TRUE(startGame(false, true, MAP_FILE, true));
        AnnounceMatchResult = recordResult;
        runFrames(LEAVES_AT * 3, 16.0, [] { return result.times > 0; });
        EXPECT_EQ(result.winner, live.winner);
        EXPECT_EQ(result.turn, live.turn);
        jump_to_turn(leaves[0].second);
        EXPECT_EQ(victoryPlayerId, -1);
        EXPECT_FALSE(lockstep.leftPlayers.count(OTHER_ID)) << "the leave's tick is not simulated yet";
        replayPaused = false;
        runFrames(LEAVES_AT * 3, 16.0, [] { return false; });
        EXPECT_EQ(gameState, GameState::Menus) << "the replay ends by itself";
        EXPECT_EQ(result.times, 2);
        EXPECT_EQ(result.winner, live.winner);
        std::filesystem::remove(log);

        // Saved after the leave, the game counts the rival out as its catch-up passes the leave.
        result = Result{};
        ASSERT_NO_FATAL_FAILURE(resume("after.bin"));
        runFrames(20, 16.0, [] { return result.times > 0; });
        EXPECT_EQ(result.times, 1);
        EXPECT_EQ(result.winner, LOCAL_ID);
        EXPECT_TRUE(lockstep.leftPlayers.count(OTHER_ID));
        endTheSession();
        EXPECT_EQ(leaveRecords(onlyFileIn(root.path / "replays")).size(), 1u) << "the resumed log keeps the leave";
        std::filesystem::remove_all(root.path / "replays");

        // Saved before the leave, the rival still stands.
        result = Result{};
        ASSERT_NO_FATAL_FAILURE(resume("before.bin"));
        runFrames(200, 16.0, [] { return mode != GameMode::ResumedSave; });
        ASSERT_EQ(mode, GameMode::Skirmish);
        runFrames(LEAVES_AT, 16.0, [] { return false; });
        EXPECT_EQ(result.times, 0);
        EXPECT_TRUE(lockstep.leftPlayers.empty());
        endTheSession();
        std::filesystem::remove_all(root.path / "replays");
        std::filesystem::remove_all(root.path / "saves");
    }
}

// A leave record taken by any road but a replayed log's, as a reader that does not know its code takes it, counts
// nobody out and leaves the world and the log as they were; sent by a peer in its turn, it drops that peer as any
// malformed turn does.
TEST_F(PeerLeaves, ALeaveRecordByAnyOtherRoadCountsNobodyOutAndOnTheWireDropsItsSender) {
    ASSERT_NO_FATAL_FAILURE(startLanMatch(true));
    runFrames(30, 16.0, [] { return lockstep.currentTurn >= 10; }, rivalUntil(1000));
    const std::filesystem::path log = onlyFileIn(root.path / "replays");
    const Command leave{CommandType::PlayerLeft, OTHER_ID, {}};
    int tick = 0;
    Command readBack;
    std::string error;
    ASSERT_TRUE(commandFromJson(commandToJson(3, leave), tick, readBack, error)) << error;
    EXPECT_TRUE(std::holds_alternative<std::monostate>(readBack.payload));
    const struct {
        const char* what;
        const Command& cmd;
        bool replayed;
    } applied[] = {{"read back and applied as replayed", readBack, true}, {"applied as a live order", leave, false}};
    for (const auto& a : applied) {
        SCOPED_TRACE(a.what);
        const uint64_t before = worldChecksum();
        const std::uintmax_t logged = std::filesystem::file_size(log);
        applyCommand(a.cmd, grid, 0, a.replayed);
        EXPECT_TRUE(lockstep.leftPlayers.empty());
        EXPECT_EQ(worldChecksum(), before);
        EXPECT_EQ(std::filesystem::file_size(log), logged);
    }

    // Sent in a turn, it is a code the wire does not know, which makes the turn malformed: the rival is dropped for
    // it with one line and leaves as any dropped peer does, recorded once, at the turn it was dropped.
    rival->turns.collectCommand(leave);
    testing::internal::CaptureStderr();
    runFrames(60, 16.0, [] { return false; }, rivalUntil(1000));
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("a turn with an order of unknown code 23\n"), std::string::npos) << errors;
    EXPECT_EQ(lockstep.leftPlayers, std::set<int>{OTHER_ID});
    EXPECT_EQ(leaveRecords(log).size(), 1u);
    EXPECT_GT(lockstep.currentTurn, 60);
}

// A match ended while paused whose last turn logged records but ran no tick: the rival left during the pause, or
// an order went in the same turn as the pause. Its log still reads whole and plays to that turn.
TEST_F(PeerLeaves, ALogEndedWhilePausedAfterARecordReadsWhole) {
    const struct {
        const char* what;
        bool orderWithThePause;
        bool rivalLeaves;
    } cases[] = {{"the rival leaves during the pause", false, true}, {"an order goes with the pause", true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(startLanMatch(true));
        runFrames(40, 16.0, [] { return lockstep.currentTurn >= 20; }, rivalUntil(1000));
        if (c.orderWithThePause) lockstep.pendingCommands = headless::economyOrders(0, LOCAL_ID);
        lockstep.collectCommand(Command{CommandType::PauseGame, LOCAL_ID, PauseGameCommand{}});
        runFrames(40, 16.0, [] { return paused; }, rivalUntil(1000));
        ASSERT_TRUE(paused);
        if (c.rivalLeaves) rival->link.closeTcp();
        runFrames(20, 16.0, [] { return false; }, rivalUntil(1000));
        const int reached = lockstep.currentTurn;
        endTheSession();
        const std::filesystem::path log = onlyFileIn(root.path / "replays");
        const std::vector<nlohmann::json> records = logRecords(log);
        ASSERT_TRUE(std::any_of(records.begin(), records.end(), [&](const auto& r) { return r["tick"] == reached; }))
            << "the last turn logged records";
        std::ifstream in(log);
        testing::internal::CaptureStderr();
        EXPECT_TRUE(loadReplay(in));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        ASSERT_FALSE(replayTurns.empty());
        EXPECT_EQ(replayTurns.back().tick, reached);
        restoreConfigurationAfterReplay();
        std::filesystem::remove_all(root.path / "replays");
    }
}

}  // namespace
