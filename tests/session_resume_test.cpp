// Saved games against the computer player: a save resumed and played on stays on the straight match, turn for turn.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ai.h"
#include "game_commands.h"
#include "hud.h"
#include "mod_manager.h"
#include "session_fixture.h"
#include "units.h"
#include "spells.h"
#include "projectiles.h"

namespace {

constexpr int COMPUTER_ID = 303;

struct ResumedComputerMatch : SessionTest {
    std::filesystem::path workingFolder = std::filesystem::current_path();

    void SetUp() override {
        SessionTest::SetUp();
        Player::aiId = COMPUTER_ID;
        AI = true;
        // The mod script is found from the working folder, as the game finds it.
        std::filesystem::current_path(CORVALE_SOURCE_DIR);
    }
    void TearDown() override {
        std::filesystem::current_path(workingFolder);
        SessionTest::TearDown();
        selectModHooks(false);
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

    static ChecksumsByTurn catchUp() {
        const ChecksumsByTurn sums = runFrames(100000, 20.0, [] { return mode != GameMode::ResumedSave; });
        EXPECT_EQ(mode, GameMode::Skirmish);
        return sums;
    }

    static ChecksumsByTurn playOn(int lastTurn) {
        return runFrames(lastTurn * 2, 20.0, [lastTurn] { return lockstep.currentTurn >= lastTurn; }, localEconomy());
    }

    static ChecksumsByTurn resumeAndPlayOn(int lastTurn) {
        endSession();
        load_game_filename = "match.bin";
        mode = GameMode::ResumedSave;
        EXPECT_TRUE(startGame(true, true, "", false));
        ChecksumsByTurn sums = catchUp();
        const ChecksumsByTurn playedOn = playOn(lastTurn);
        sums.insert(playedOn.begin(), playedOn.end());
        return sums;
    }

    // The first turn from the given one on where both runs have a checksum and they differ; -1 for none.
    static int firstTurnApart(const ChecksumsByTurn& straight, const ChecksumsByTurn& other, int from) {
        for (const auto& [turn, sum] : other)
            if (turn >= from && straight.count(turn) && straight.at(turn) != sum) return turn;
        return -1;
    }
};

// Saved among mining, building and training, and on a turn the computer thought (its orders given but not yet
// carried out), also with the tower defence script sending its waves: the resumed match reaches the saved world
// and then goes on as the straight one did, whichever strategy the computer player follows.
TEST_F(ResumedComputerMatch, PlaysOnAsTheStraightMatchFromASaveAtAnyTurn) {
    ASSERT_TRUE(contentLoaded);
    struct Case {
        const char* strategy;
        const char* when;
        bool mods;
        std::function<bool(int)> saveHere;
        int lastTurn;
    };
    const Case cases[] = {
        {"rush", "between two thoughts", false, [](int t) { return t >= 1500 && t % COMPUTER_THINK_TURNS == 7; },
         3200},
        {"turtle", "between two thoughts", false, [](int t) { return t >= 1500 && t % COMPUTER_THINK_TURNS == 7; },
         3200},
        {"rush", "on a thought with orders", false,
         [](int t) { return t >= 1500 && t % COMPUTER_THINK_TURNS == 0 && !lockstep.pendingCommands.empty(); }, 3200},
        {"rush", "amid the script's waves", true, [](int t) { return t >= 1500 && t % COMPUTER_THINK_TURNS == 7; },
         3200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.strategy) + ", saved " + c.when);
        MODS = c.mods;
        ASSERT_NO_FATAL_FAILURE(startAgainst(strategyNamed(c.strategy)));
        int savedTurn = -1;
        const ChecksumsByTurn straight = playSavingAt(c.lastTurn, c.saveHere, savedTurn);
        ASSERT_NE(savedTurn, -1);
        const ChecksumsByTurn resumed = resumeAndPlayOn(c.lastTurn);
        ASSERT_TRUE(resumed.count(savedTurn)) << "the catch-up stops where the save was made";
        EXPECT_EQ(resumed.at(savedTurn), straight.at(savedTurn));
        EXPECT_EQ(firstTurnApart(straight, resumed, savedTurn), -1) << "saved on turn " << savedTurn;
        EXPECT_EQ(resumed.rbegin()->first, c.lastTurn);
        const Player* computer = getPlayerById(COMPUTER_ID);
        ASSERT_NE(computer, nullptr);
        EXPECT_EQ(strategyNameOf(computer->ai.get()), c.strategy) << "the computer keeps the strategy it had";
        EXPECT_EQ(modManager.L != nullptr, c.mods) << "the script runs on in the resumed match";
        // The computer trains no Berserker this early; the script's first waves are of them.
        const bool waves = std::any_of(units.begin(), units.end(),
                                       [](const Unit& u) { return u.playerId == COMPUTER_ID && u.type == "Berserker"; });
        EXPECT_EQ(waves, c.mods);
        endSession();
    }
}

// The resumed match saved again under the same name and that save loaded from its in-game menu while it runs: the
// match resumed from the save of a resumed match is still the straight one.
TEST_F(ResumedComputerMatch, ASaveOfAResumedMatchLoadedWhileItRunsGoesOnAsTheStraightMatch) {
    ASSERT_TRUE(contentLoaded);
    ASSERT_NO_FATAL_FAILURE(startAgainst(strategyNamed("rush")));
    int firstSave = -1;
    const ChecksumsByTurn straight =
        playSavingAt(3200, [](int t) { return t >= 800 && t % COMPUTER_THINK_TURNS == 7; }, firstSave);
    ASSERT_NE(firstSave, -1);
    endSession();
    load_game_filename = "match.bin";
    mode = GameMode::ResumedSave;
    ASSERT_TRUE(startGame(true, true, "", false));
    ChecksumsByTurn resumed = catchUp();
    int secondSave = -1;
    const ChecksumsByTurn playedOn =
        playSavingAt(2600, [](int t) { return t >= 2000 && t % COMPUTER_THINK_TURNS == 11; }, secondSave);
    ASSERT_NE(secondSave, -1);
    resumed.insert(playedOn.begin(), playedOn.end());
    EXPECT_EQ(firstTurnApart(straight, resumed, firstSave), -1);

    std::string why;
    ASSERT_TRUE(requestResume("match.bin", &why)) << why;
    game_loop();
    ASSERT_EQ(mode, GameMode::ResumedSave) << "the running match ended and the save catches up";
    ChecksumsByTurn again = catchUp();
    EXPECT_EQ(lockstep.currentTurn, secondSave) << "the later save over the same name is the one loaded";
    const ChecksumsByTurn end = playOn(3200);
    again.insert(end.begin(), end.end());
    EXPECT_EQ(firstTurnApart(straight, again, secondSave), -1);
    EXPECT_EQ(again.rbegin()->first, 3200);
}

// The local player's own units of a type, in id order.
std::vector<int> ownOfType(const std::string& type) {
    std::vector<int> ids;
    for (const Unit& u : units)
        if (u.playerId == LOCAL_ID && u.type == type) ids.push_back(u.id);
    return ids;
}

// A fight given from the turn and the world alone: both sides summon a squad at their bases; one of the local
// player's marines boards its carrier, the others freeze their bullets and its death knight casts at the computer's
// first unit, and the rest of each squad marches on the other's base.
std::vector<Command> fightOrders(int turn) {
    std::vector<Command> cmds;
    if (turn == 2) {
        for (const char* type : {"Marine", "Marine", "Marine", "TrollAxeThrower", "DeathKnight", "GoblinZeppelin"})
            cmds.push_back({CommandType::Spawn, LOCAL_ID, SpawnCommand{type}});
        for (const char* type : {"Grunt", "Grunt", "TrollAxeThrower"})
            cmds.push_back({CommandType::Spawn, COMPUTER_ID, SpawnCommand{type}});
    }
    const std::vector<int> marines = ownOfType("Marine");
    const std::vector<int> carriers = ownOfType("GoblinZeppelin");
    if (turn == 300 && !marines.empty() && !carriers.empty())
        cmds.push_back({CommandType::CarrierPickUp, LOCAL_ID, CarrierPickUpCommand{marines.front(), carriers.front()}});
    const Player* computer = getPlayerById(COMPUTER_ID);
    const auto firstOfComputer =
        std::find_if(units.begin(), units.end(), [](const Unit& u) { return u.playerId == COMPUTER_ID; });
    if (!computer || firstOfComputer == units.end()) return cmds;
    const Unit* target = &*firstOfComputer;
    if (turn % 400 == 350) {
        for (int marine : marines)
            cmds.push_back({CommandType::CastSpell, LOCAL_ID,
                            CastSpellCommand{marine, marine, 0, 0, "FreezingBullets", false}});
        for (int caster : ownOfType("DeathKnight"))
            cmds.push_back({CommandType::CastSpell, LOCAL_ID,
                            CastSpellCommand{caster, target->id, static_cast<int>(target->x), static_cast<int>(target->y),
                                             "DeathCoil", false}});
    }
    if (turn % 600 == 320) {
        std::vector<int> army = ownOfType("TrollAxeThrower");
        // The first marine rides in the carrier.
        if (marines.size() > 1) army.insert(army.end(), marines.begin() + 1, marines.end());
        for (int id : army)
            cmds.push_back({CommandType::AttackMove, LOCAL_ID,
                            AttackMove{id, computer->baseTile.x * SUBDIVISIONS, computer->baseTile.y * SUBDIVISIONS,
                                       false}});
        const Player* local = getPlayerById(LOCAL_ID);
        for (const Unit& u : units)
            if (u.playerId == COMPUTER_ID && !u.worker && u.canAttack && local)
                cmds.push_back({CommandType::AttackMove, COMPUTER_ID,
                                AttackMove{u.id, local->baseTile.x * SUBDIVISIONS, local->baseTile.y * SUBDIVISIONS,
                                           false}});
    }
    return cmds;
}

// Saved with missiles in flight, a spell at work, a soldier aboard the carrier and the fallen dying: the resumed
// match stands where the saved one stood and fights on alike.
TEST_F(ResumedComputerMatch, AFightWithMissilesSpellsCargoAndCorpsesPlaysOnAlike) {
    ASSERT_TRUE(contentLoaded);
    GOD_MODE = true;
    ASSERT_NO_FATAL_FAILURE(startAgainst(strategyNamed("rush")));
    const auto orders = [] {
        return [given = -1]() mutable {
            if (lockstep.currentTurn == given) return;
            given = lockstep.currentTurn;
            for (Command& c : fightOrders(lockstep.currentTurn)) lockstep.pendingCommands.push_back(std::move(c));
        };
    };
    const auto rich = [] {
        return !projectiles.empty() && !activeSpells.empty() && !zeppelinCargo.empty() && !deadUnits.empty();
    };
    int savedTurn = -1;
    std::function<void()> fight = orders();
    const ChecksumsByTurn straight = runFrames(8000, 20.0, [] { return lockstep.currentTurn >= 4000; }, [&] {
        if (savedTurn == -1 && rich()) {
            EXPECT_TRUE(saveGameAs("match"));
            savedTurn = lockstep.currentTurn;
        }
        fight();
    });
    ASSERT_NE(savedTurn, -1) << "missiles, a spell, cargo and the fallen never met on one turn";
    endSession();
    load_game_filename = "match.bin";
    mode = GameMode::ResumedSave;
    ASSERT_TRUE(startGame(true, true, "", false));
    ChecksumsByTurn resumed = catchUp();
    EXPECT_EQ(lockstep.currentTurn, savedTurn);
    EXPECT_TRUE(rich());
    const ChecksumsByTurn playedOn = runFrames(8000, 20.0, [] { return lockstep.currentTurn >= 4000; }, orders());
    resumed.insert(playedOn.begin(), playedOn.end());
    EXPECT_EQ(firstTurnApart(straight, resumed, savedTurn), -1) << "saved on turn " << savedTurn;
    EXPECT_EQ(resumed.rbegin()->first, 4000);
}

}  // namespace
