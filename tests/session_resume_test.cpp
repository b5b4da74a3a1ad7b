// Saved games against the computer player: a save resumed and played on stays on the straight match, turn for turn.
#include <memory>
#include <string>

#include "ai.h"
#include "game_commands.h"
#include "hud.h"
#include "session_fixture.h"

namespace {

constexpr int COMPUTER_ID = 303;

struct ResumedComputerMatch : SessionTest {
    void SetUp() override {
        SessionTest::SetUp();
        Player::aiId = COMPUTER_ID;
        AI = true;
    }

    static void startAgainst(std::unique_ptr<BaseAI> strategy) {
        players.clear();
        spawnPlayer();
        players.push_back(std::make_unique<Player>(COMPUTER_ID, "AI", "vohmathal", true));
        players.back()->ai = std::move(strategy);
        mode = GameMode::Skirmish;
        ASSERT_TRUE(startGame(true, true, "fight", false));
    }

    // The local player's economy, given from the world alone, so the resumed match gives it alike.
    static std::function<void()> localEconomy() {
        return [given = -1]() mutable {
            if (lockstep.currentTurn == given) return;
            given = lockstep.currentTurn;
            for (Command& c : headless::economyOrders(lockstep.currentTurn, LOCAL_ID))
                lockstep.pendingCommands.push_back(std::move(c));
        };
    }

    // The save made at the start of the first frame on a turn that passes the test, the economy given after it.
    static ChecksumsByTurn playSavingAt(int lastTurn, const std::function<bool(int)>& saveHere, int& savedTurn) {
        savedTurn = -1;
        std::function<void()> economy = localEconomy();
        return runFrames(lastTurn * 2, 20.0, [lastTurn] { return lockstep.currentTurn >= lastTurn; }, [&] {
            if (savedTurn == -1 && saveHere(lockstep.currentTurn)) {
                EXPECT_TRUE(saveGameAs("match"));
                savedTurn = lockstep.currentTurn;
            }
            economy();
        });
    }

    static ChecksumsByTurn resumeAndPlayOn(int lastTurn) {
        endSession();
        load_game_filename = "match.bin";
        mode = GameMode::ResumedSave;
        EXPECT_TRUE(startGame(true, true, "", false));
        ChecksumsByTurn sums = runFrames(lastTurn * 2, 20.0, [] { return mode != GameMode::ResumedSave; });
        EXPECT_EQ(mode, GameMode::Skirmish);
        const ChecksumsByTurn playedOn =
            runFrames(lastTurn * 2, 20.0, [lastTurn] { return lockstep.currentTurn >= lastTurn; }, localEconomy());
        sums.insert(playedOn.begin(), playedOn.end());
        return sums;
    }
};

// Saved among mining, building and training, on a turn the computer thought (its orders given but not yet
// carried out), and once its army marched: the resumed match reaches the saved world and then goes on as the
// straight one did, whichever strategy the computer player follows.
TEST_F(ResumedComputerMatch, PlaysOnAsTheStraightMatchFromASaveAtAnyTurn) {
    ASSERT_TRUE(contentLoaded);
    struct Case {
        const char* strategy;
        const char* when;
        std::function<bool(int)> saveHere;
        int lastTurn;
    };
    const Case cases[] = {
        {"rush", "between two thoughts", [](int t) { return t >= 1500 && t % COMPUTER_THINK_TURNS == 7; }, 3200},
        {"turtle", "between two thoughts", [](int t) { return t >= 1500 && t % COMPUTER_THINK_TURNS == 7; }, 3200},
        {"rush", "on a thought with orders",
         [](int t) { return t >= 1500 && t % COMPUTER_THINK_TURNS == 0 && !lockstep.pendingCommands.empty(); }, 3200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.strategy) + ", saved " + c.when);
        ASSERT_NO_FATAL_FAILURE(startAgainst(strategyNamed(c.strategy)));
        int savedTurn = -1;
        const ChecksumsByTurn straight = playSavingAt(c.lastTurn, c.saveHere, savedTurn);
        ASSERT_NE(savedTurn, -1);
        const ChecksumsByTurn resumed = resumeAndPlayOn(c.lastTurn);
        ASSERT_TRUE(resumed.count(savedTurn)) << "the catch-up stops where the save was made";
        EXPECT_EQ(resumed.at(savedTurn), straight.at(savedTurn));
        int firstApart = -1;
        for (const auto& [turn, sum] : resumed)
            if (turn >= savedTurn && straight.count(turn) && straight.at(turn) != sum) {
                firstApart = turn;
                break;
            }
        EXPECT_EQ(firstApart, -1) << "saved on turn " << savedTurn;
        EXPECT_EQ(resumed.rbegin()->first, c.lastTurn);
        const Player* computer = getPlayerById(COMPUTER_ID);
        ASSERT_NE(computer, nullptr);
        EXPECT_EQ(strategyNameOf(computer->ai.get()), c.strategy) << "the computer keeps the strategy it had";
        endSession();
    }
}

}  // namespace
