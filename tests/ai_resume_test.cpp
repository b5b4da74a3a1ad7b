// A match against the computer saved and resumed on other maps and with either race: from the saved turn on, the
// resumed match carries the same world as the uninterrupted one, turn for turn, the computer's plans included.
#include <filesystem>
#include <memory>
#include <string>

#include "ai.h"
#include "hud.h"
#include "session_fixture.h"

namespace {

constexpr int COMPUTER_ID = 404;

struct ComputerSavedAndResumed : SessionTest {
    void SetUp() override {
        SessionTest::SetUp();
        Player::aiId = COMPUTER_ID;
        AI = true;
    }

    static void startOn(const std::string& map, const std::string& race, const std::string& strategy) {
        std::filesystem::copy_file(std::string(CORVALE_SOURCE_DIR) + "/maps/" + map + ".map",
                                   basePath + "maps/" + map + ".map",
                                   std::filesystem::copy_options::overwrite_existing);
        players.clear();
        spawnPlayer();
        players.push_back(std::make_unique<Player>(COMPUTER_ID, "AI", race, true));
        players.back()->ai = strategyNamed(strategy);
        mode = GameMode::Skirmish;
        ASSERT_TRUE(startGame(true, true, map, false));
    }

    static ChecksumsByTurn playTo(int lastTurn, const std::function<void()>& beforeFrame = [] {}) {
        return runFrames(lastTurn * 2, 20.0, [lastTurn] { return lockstep.currentTurn >= lastTurn; }, beforeFrame);
    }
};

TEST_F(ComputerSavedAndResumed, GoesOnAsTheUninterruptedMatchOnEveryMapAndRaceTried) {
    ASSERT_TRUE(contentLoaded);
    struct Case {
        const char* map;
        const char* race;
        const char* strategy;
        int saveTurn;
    };
    // Saved before the first barracks (a worker held back for it) and while soldiers are trained and sent.
    const Case cases[] = {{"highlands", "human", "turtle", 4247},
                          {"murky_river", "vohmathal", "rush", 7719},
                          {"hollow_reach", "human", "rush", 3844}};
    constexpr int TURNS_AFTER_SAVE = 1200;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.map) + " " + c.race + " " + c.strategy);
        ASSERT_NO_FATAL_FAILURE(startOn(c.map, c.race, c.strategy));
        const int lastTurn = c.saveTurn + TURNS_AFTER_SAVE;
        bool saved = false;
        const ChecksumsByTurn straight = playTo(lastTurn, [&] {
            if (!saved && lockstep.currentTurn >= c.saveTurn) saved = saveGameAs("match");
        });
        ASSERT_TRUE(saved);
        endSession();

        load_game_filename = "match.bin";
        mode = GameMode::ResumedSave;
        ASSERT_TRUE(startGame(true, true, "", false));
        ChecksumsByTurn resumed = runFrames(100000, 20.0, [] { return mode != GameMode::ResumedSave; });
        const int from = lockstep.currentTurn;
        EXPECT_GE(from, c.saveTurn);
        const ChecksumsByTurn playedOn = playTo(lastTurn);
        resumed.insert(playedOn.begin(), playedOn.end());
        int apart = -1;
        for (const auto& [turn, sum] : resumed)
            if (turn >= from && straight.count(turn) && straight.at(turn) != sum && apart == -1) apart = turn;
        EXPECT_EQ(apart, -1) << "saved on turn " << from;
        EXPECT_EQ(resumed.rbegin()->first, lastTurn);
        EXPECT_EQ(strategyNameOf(getPlayerById(COMPUTER_ID)->ai.get()), c.strategy);
        endSession();
    }
}

}  // namespace
