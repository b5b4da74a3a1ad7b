// A guest whose host leaves a LAN match with a computer player, frame by frame through the real session and the
// lockstep exchange: the computer plays on for the guest, the guest's replay and saved game reach the worlds the
// guest saw, and a save resumed plays the computer on with the strategy and the plans the guest's computer had.
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ai.h"
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

// The host's peer: its own exchange on its own end of the link, sending empty turns.
struct Host {
    LockstepManager turns;
    NetworkManager link;
    RecordingRunner runner;
};

// Seeds of the menus' generator whose next draw gives each strategy: an odd draw a turtle, an even one a rush.
constexpr unsigned TURTLE_SEED = 1;
constexpr unsigned RUSH_SEED = 2;

bool attackStarted(const BaseAI* strategy) {
    const auto* rush = dynamic_cast<const RushAI*>(strategy);
    return rush && rush->attacking;
}

const BaseAI* computerStrategy() {
    const Player* computer = getPlayerById(COMPUTER_ID);
    return computer ? computer->ai.get() : nullptr;
}

// The takeover records of a log: the strategy and tick of each.
std::vector<std::pair<std::string, int>> takeoverRecords(const std::filesystem::path& log) {
    std::vector<std::pair<std::string, int>> takeovers;
    for (const nlohmann::json& record : logRecords(log))
        if (record["type"] == static_cast<int>(CommandType::ComputerTakeover))
            takeovers.emplace_back(record["data"]["strategy"].get<std::string>(), record["tick"].get<int>());
    return takeovers;
}

// The tick of the first leave record of a log; -1 without one.
int leaveTick(const std::filesystem::path& log) {
    for (const nlohmann::json& record : logRecords(log))
        if (record["type"] == static_cast<int>(CommandType::PlayerLeft)) return record["tick"].get<int>();
    return -1;
}

struct HostLeftComputer : SessionTest {
    int savedAi = Player::aiId;
    std::unique_ptr<Host> host = std::make_unique<Host>();

    void SetUp() override {
        SessionTest::SetUp();
        // A map with a base for each of the three sides.
        std::filesystem::copy_file(std::string(CORVALE_SOURCE_DIR) + "/maps/highlands.map",
                                   root.path / "maps/highlands.map");
        Player::aiId = COMPUTER_ID;
    }
    void TearDown() override {
        host->link.closeTcp();
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

    // The guest's match, to the turn given, joined to a host that sends its turns until HOST_LEAVES, then closes its
    // connection; the guest's own doings before each frame.
    ChecksumsByTurn playGuestMatch(int turns = TURNS, const std::function<void()>& guest = [] {}) {
        seatAsGuest();
        mode = GameMode::Skirmish;
        EXPECT_TRUE(startGame(false, false, "highlands", false));
        host = std::make_unique<Host>();
        host->link.isHost = true;
        host->link.bindConnection(joinInMemory(host->link, net), LOCAL_ID);
        return runFrames(turns * 3, 16.0, [turns] { return lockstep.currentTurn >= turns; }, [this, guest] {
            guest();
            if (lockstep.currentTurn >= HOST_LEAVES) return host->link.closeTcp();
            host->turns.step(TURN_LENGTH, 0, OTHER_ID, {OTHER_ID, LOCAL_ID}, host->link, host->runner);
        });
    }

    // The guest saves once the turn given is reached.
    static std::function<void()> saveAt(int turn, const std::string& name, bool& saved) {
        return [turn, name, &saved] {
            if (!saved && lockstep.currentTurn >= turn) saved = saveGameAs(name);
        };
    }

    // A saved game resumed as the load dialog resumes it and caught up to the turn it was saved on.
    static ChecksumsByTurn resumeAndCatchUp(const std::string& save) {
        load_game_filename = save;
        mode = GameMode::ResumedSave;
        EXPECT_TRUE(startGame(true, true, "", false));
        const ChecksumsByTurn sums = runFrames(1000, 20.0, [] { return mode != GameMode::ResumedSave; });
        EXPECT_EQ(mode, GameMode::Skirmish);
        return sums;
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
    EXPECT_EQ(computerStrategy(), nullptr) << "a replay runs no computer";
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

// Saved once the rush has started its attack, and played on while the computer trains and sends more.
constexpr int SAVED_AFTER_LEAVE = 8700;
constexpr int PLAYED_ON = 1500;

TEST_F(HostLeftComputer, AGuestsSaveAfterTheTakeoverPlaysTheComputerOnAsTheGuestDid) {
    const struct {
        const char* strategy;
        unsigned drawnAtTakeover;
        unsigned drawnAtResume;
    } cases[] = {{"rush", RUSH_SEED, TURTLE_SEED}, {"turtle", TURTLE_SEED, RUSH_SEED}};
    constexpr int LAST_TURN = SAVED_AFTER_LEAVE + PLAYED_ON;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.strategy);
        menuRandom().seed(c.drawnAtTakeover);
        bool saved = false;
        bool attackingWhenSaved = false;
        const std::function<void()> save = saveAt(SAVED_AFTER_LEAVE, "guest", saved);
        const ChecksumsByTurn live = playGuestMatch(LAST_TURN, [&] {
            if (!saved) attackingWhenSaved = attackStarted(computerStrategy());
            save();
        });
        ASSERT_TRUE(saved);
        ASSERT_EQ(lockstep.currentTurn, LAST_TURN);
        ASSERT_EQ(strategyNameOf(computerStrategy()), c.strategy);
        EXPECT_EQ(attackingWhenSaved, c.strategy == std::string("rush")) << "the save falls after the rush began";
        const bool liveAttacking = attackStarted(computerStrategy());
        endSession();
        const std::filesystem::path log = onlyFileIn(root.path / "replays");
        const std::vector<std::pair<std::string, int>> takeovers = takeoverRecords(log);
        ASSERT_EQ(takeovers.size(), 1u);
        EXPECT_EQ(takeovers[0].first, c.strategy);
        EXPECT_EQ(takeovers[0].second, leaveTick(log)) << "taken over at the turn the host left";
        std::filesystem::remove_all(root.path / "replays");

        // A strategy drawn afresh at the resume would be the other one.
        menuRandom().seed(c.drawnAtResume);
        ChecksumsByTurn resumed = resumeAndCatchUp("guest.bin");
        const ChecksumsByTurn playedOn =
            runFrames(PLAYED_ON * 3, 20.0, [] { return lockstep.currentTurn >= LAST_TURN; });
        resumed.insert(playedOn.begin(), playedOn.end());
        EXPECT_EQ(resumed.rbegin()->first, LAST_TURN);
        expectSameChecksums(live, resumed);
        EXPECT_EQ(strategyNameOf(computerStrategy()), c.strategy);
        EXPECT_EQ(attackStarted(computerStrategy()), liveAttacking);
        endSession();
        std::filesystem::remove_all(root.path / "replays");
    }
}

TEST_F(HostLeftComputer, AGuestsSaveFromBeforeTheLeaveStillResumesToTheWorldsItSaved) {
    constexpr int SAVED_BEFORE_LEAVE = 80;
    bool saved = false;
    const std::function<void()> save = saveAt(SAVED_BEFORE_LEAVE, "early", saved);
    const ChecksumsByTurn live = playGuestMatch(HOST_LEAVES + 100, [&] {
        // The guest's workers are sent mining again and again, so the save holds records up to near its turn.
        if (lockstep.currentTurn % 10 == 0 && lockstep.pendingCommands.empty())
            lockstep.pendingCommands = headless::economyOrders(0, LOCAL_ID);
        save();
    });
    ASSERT_TRUE(saved);
    endSession();
    ASSERT_TRUE(takeoverRecords(root.path / "saves/early.bin").empty());
    std::filesystem::remove_all(root.path / "replays");

    const ChecksumsByTurn resumed = resumeAndCatchUp("early.bin");
    EXPECT_GE(resumed.rbegin()->first, SAVED_BEFORE_LEAVE - 10);
    expectSameChecksums(live, resumed);
    EXPECT_NE(computerStrategy(), nullptr) << "the computer the save does not name draws one, as it always has";
}

}  // namespace
