// Matches of the computer player on every shipped map with each race and strategy, and at the edges of its economy
// (no worker, no hall, no supply, no mine, an island, a map short of bases): after every tick no value is below
// zero, and it goes on acting while it can.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "ai_shipped_match.h"

namespace {

using headless::ComputerMatch;
using headless::ComputerWatch;

struct ComputerEdges : ShippedComputerMatch {
    // Plays the match for the ticks, the edge set up after the start; false when the map cannot be built.
    bool play(const std::string& map, const std::string& race, const std::string& strategy, int ticks,
              const std::function<void()>& edge = [] {}) {
        reset_game_state();
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        const bool started = match.start(map, strategyNamed(strategy), race) && headless::openCommandLog(dir / "log");
        if (started) {
            edge();
            match.play(ticks, false, &watch);
        }
        errors = ::testing::internal::GetCapturedStderr();
        ::testing::internal::GetCapturedStdout();
        closeCommandLog();
        return started;
    }

    void expectNothingBelowZero() const { EXPECT_EQ(watch.firstNegativeTick, -1) << watch.negative; }

    static Player& computer() { return *getPlayerById(ComputerMatch::COMPUTER); }

    static void removeUnits(const std::function<bool(const Unit&)>& which) {
        for (const Unit& u : units)
            if (which(u)) addUnitForRemoval(u.id);
        processUnitRemovals(grid);
    }

    static int countOfType(const std::string& type) {
        int n = 0;
        for (int id : computer().unitIds)
            if (const Unit* u = getUnitById(id); u && u->type == type) ++n;
        return n;
    }

    ComputerMatch match;
    ComputerWatch watch;
    std::string errors;
    TempDir dir;
};

// Past the first soldier and the rush's first attack order.
constexpr int EARLY_GAME_TICKS = 9000;

TEST_F(ComputerEdges, EveryShippedMapWithEachRaceAndStrategyBuildsUpWithoutAFault) {
    ASSERT_TRUE(contentLoaded);
    struct Case {
        const char* map;
        const char* race;
        const char* strategy;
    };
    const Case cases[] = {{"fight", "human", "turtle"},         {"highlands", "vohmathal", "rush"},
                          {"murky_river", "human", "rush"},     {"ashen_outpost", "vohmathal", "turtle"},
                          {"cinder_flats", "human", "turtle"},  {"glass_marsh", "vohmathal", "rush"},
                          {"hollow_reach", "human", "rush"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.map) + " " + c.race + " " + c.strategy);
        match = ComputerMatch{};
        watch = ComputerWatch{};
        ASSERT_TRUE(play(c.map, c.race, c.strategy, EARLY_GAME_TICKS));
        expectNothingBelowZero();
        for (headless::Milestone m : {headless::FirstMineOrder, headless::CampPlaced, headless::BarracksPlaced,
                                      headless::FirstSoldierTrained})
            EXPECT_NE(match.reached[m], -1) << headless::milestoneNames[m];
        const bool rush = std::string(c.strategy) == "rush";
        EXPECT_EQ(match.reached[headless::FirstAttackOrder] != -1, rush);
    }
}

TEST_F(ComputerEdges, WithoutAnyWorkerButGoldAndARecruitItTrainsAWorkerAgain) {
    ASSERT_TRUE(contentLoaded);
    ASSERT_TRUE(play("fight", "vohmathal", "rush", 2000, [] {
        removeUnits([](const Unit& u) { return u.playerId == ComputerMatch::COMPUTER && u.worker; });
        const Building& hall = *getBuildingById(computer().buildingIds.front());
        headless::placeUnit(ComputerMatch::COMPUTER, unitInfo.at("Larva"), {hall.x * 4 - 2, hall.y * 4 + 2});
        headless::listUnitsWithOwners();
        computer().recruits = 1;
        computer().resources[RESOURCE_GOLD] = 1000;
    }));
    expectNothingBelowZero();
    EXPECT_EQ(countOfType("Peon"), 1);
    EXPECT_NE(errors.find("[AI] No available worker to build farm."), std::string::npos);
}

TEST_F(ComputerEdges, AtTheEdgesOfItsEconomyNothingGoesBelowZero) {
    ASSERT_TRUE(contentLoaded);
    struct Case {
        const char* what;
        std::function<void()> edge;
    };
    const Case cases[] = {
        {"its hall destroyed",
         [] {
             getBuildingById(computer().buildingIds.front())->hp = 0.0f;
             computer().resources[RESOURCE_GOLD] = 1000;
         }},
        {"supply capped, without a coin and every mine all but exhausted",
         [] {
             computer().supplyUsed = computer().supplyCap;
             computer().resources = {0, 0, 0};
             for (MapObject& o : mapObjects)
                 if (o.type == "Crystal" || o.type == "AmberOil") o.amount = 1;
         }},
        {"no worker, no recruit, gold enough",
         [] {
             removeUnits([](const Unit& u) { return u.playerId == ComputerMatch::COMPUTER && u.worker; });
             computer().resources[RESOURCE_GOLD] = 5000;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        match = ComputerMatch{};
        watch = ComputerWatch{};
        ASSERT_TRUE(play("fight", "vohmathal", "turtle", 3000, c.edge));
        expectNothingBelowZero();
    }
}

// The first camp's builder killed on its way: the computer sends another worker and the camp is finished.
TEST_F(ComputerEdges, ACampWhoseBuilderFellOnTheWayIsFinishedByAnotherWorker) {
    ASSERT_TRUE(contentLoaded);
    int site = -1;
    ASSERT_TRUE(play("fight", "vohmathal", "turtle", 3000, [&] {
        match.play(450, false, &watch);
        for (const auto& [building, builder] : constructionManager.entries()) {
            site = building;
            removeUnits([builder = builder](const Unit& u) { return u.id == builder; });
        }
    }));
    ASSERT_NE(site, -1) << "no camp was begun";
    const Building* camp = getBuildingById(site);
    ASSERT_NE(camp, nullptr);
    EXPECT_TRUE(camp->completed);
    expectNothingBelowZero();
}

// The local base walled off by water two tiles wide: the rush's soldiers are sent and sent again, never refused.
TEST_F(ComputerEdges, ARushAgainstABaseOnAnIslandGivesOrdersTheRulesAccept) {
    ASSERT_TRUE(contentLoaded);
    ASSERT_TRUE(play("fight", "vohmathal", "rush", EARLY_GAME_TICKS, [] {
        for (int x = 0; x < 20; ++x)
            for (int y = 0; y < 20; ++y)
                if (x >= 18 || y >= 18) {
                    grid.at(x, y).type = Tile::Water;
                    grid.at(x, y).walkable = 0;
                }
    }));
    expectNothingBelowZero();
    EXPECT_EQ(watch.refused[CommandType::Attack], 0);
    EXPECT_NE(match.reached[headless::FirstAttackOrder], -1);
    EXPECT_EQ(match.reached[headless::BuildingDestroyed], -1) << "no soldier crossed the water";
}

// A copy of the fight map with one starting base: the local player, first by id, takes it and the computer starts
// with nothing.
TEST_F(ComputerEdges, OnAMapWithOneBaseTheComputerWithoutABaseGivesNoOrderAndDoesNotFail) {
    ASSERT_TRUE(contentLoaded);
    namespace fs = std::filesystem;
    fs::create_directories(dir.path / "maps");
    std::ifstream in(basePath + "maps/fight.map");
    std::ofstream out(dir / "maps/lone.map");
    bool kept = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("StartingBase", 0) == 0 && std::exchange(kept, true)) continue;
        out << line << '\n';
    }
    out.close();
    basePath = dir.str() + "/";
    ASSERT_TRUE(play("lone", "human", "rush", 2000));
    EXPECT_TRUE(computer().buildingIds.empty());
    EXPECT_EQ(watch.ordersGiven, 0);
    expectNothingBelowZero();
}

}  // namespace
