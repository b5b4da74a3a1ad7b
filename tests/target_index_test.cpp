// The target scan through the area index of the units' tick chooses exactly what a sweep of whole lists chooses.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "buildings.h"
#include "motion_world.h"
#include "units_target_index.h"

namespace {

using TargetIndex = MotionWorld;

// What each scanner chooses now, one scan each.
std::vector<int> choices(const std::vector<int>& scanners) {
    std::vector<int> chosen;
    for (int id : scanners) {
        Unit& u = *getUnitById(id);
        u.targetId = -1;
        u.state = UnitState::Idle;
        u.scanCounter = u.scanInterval;
        autoAttack(u, grid);
        chosen.push_back(u.targetId);
    }
    return chosen;
}

struct Choice {
    int target;
    V2i goal;
    bool operator==(const Choice& o) const { return target == o.target && goal == o.goal; }
};

// What each scanner chooses, holding its position so that no path is laid: the target and the sub-tile to go for.
std::vector<Choice> choicesInPlace(const std::vector<int>& scanners) {
    std::vector<Choice> chosen;
    for (int id : scanners) {
        Unit& u = *getUnitById(id);
        u.targetId = -1;
        u.goal = {-1, -1};
        u.state = UnitState::HoldPosition;
        u.scanCounter = u.scanInterval;
        autoAttack(u, grid);
        chosen.push_back({u.targetId, u.goal});
    }
    return chosen;
}

TEST_F(TargetIndex, ChoosesWhatTheWholeSweepChoosesInACrowdWithWallsWorkersAndThreePlayers) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> at(0, 79);
    for (int i = 0; i < 12; ++i) makeWall(at(rng) / 4, at(rng) / 4);
    const char* types[] = {"Footman", "Archer", "Peon"};
    std::vector<int> all;
    for (int i = 0; i < 150; ++i)
        all.push_back(place(types[i % 3], 1 + i % 3, {at(rng), at(rng)}));
    const std::vector<int> swept = choices(all);
    const TargetIndexPass tick;
    EXPECT_EQ(choices(all), swept);
    EXPECT_GT(std::count_if(swept.begin(), swept.end(), [](int t) { return t != -1; }), 50);
}

TEST_F(TargetIndex, ChoosesWhatTheWholeSweepChoosesAfterEachBatchOfDeaths) {
    std::mt19937 rng(9);
    std::uniform_int_distribution<int> at(0, 79);
    std::vector<int> all;
    for (int i = 0; i < 90; ++i) all.push_back(place(i % 2 ? "Archer" : "Peon", 1 + i % 3, {at(rng), at(rng)}));
    // Places in the registry at the time of each batch: the first, a run, the last, then scattered ones.
    const std::vector<std::vector<size_t>> batches = {{0}, {20, 21, 22, 23}, {84}, {1, 7, 30, 31, 50, 70, 79}};
    {
        const TargetIndexPass tick;
        choices(all);
    }
    for (const std::vector<size_t>& places : batches) {
        for (size_t place : places) addUnitForRemoval(units[place].id);
        processUnitRemovals(grid);
        all.clear();
        for (const Unit& u : units) all.push_back(u.id);
        const std::vector<int> swept = choices(all);
        const TargetIndexPass tick;
        EXPECT_EQ(choices(all), swept) << "after " << places.size() << " deaths, " << all.size() << " left";
    }
    EXPECT_EQ(all.size(), 90u - 13u);
}

TEST_F(TargetIndex, FollowsAUnitsOwnStepAndAnyMoveBetweenTicks) {
    const int s = place("Footman", LOCAL, {40, 40});
    const int near = place("Footman", ENEMY, {44, 40});
    const int far = place("Footman", ENEMY, {75, 75});
    const int distant = place("Footman", ENEMY, {75, 10});
    {
        const TargetIndexPass tick;
        EXPECT_EQ(choices({s}).front(), near);
        standOn(far, {41, 41});
        followUnitMove(unit(far));
        EXPECT_EQ(choices({s}).front(), far) << "moved next to the scanner in its own step";
    }
    standOn(distant, {40, 41});
    const TargetIndexPass nextTick;
    EXPECT_EQ(choices({s}).front(), distant) << "moved from a far area between ticks";
}

// A unit that dies and one that is made between two scans leave the player's list as long as it was: the scan
// still sees the new one.
TEST_F(TargetIndex, ASweepSeesAUnitThatTookADeadOnesPlaceInAListOfTheSameLength) {
    const int s = place("Footman", LOCAL, {40, 40});
    const int gone = place("Footman", ENEMY, {75, 75});
    place("Footman", ENEMY, {75, 10});
    EXPECT_EQ(choices({s}).front(), -1);
    const std::size_t listed = getPlayerById(ENEMY)->unitIds.size();
    addUnitForRemoval(gone);
    processUnitRemovals(grid);
    const int near = place("Footman", ENEMY, {44, 40});
    ASSERT_EQ(getPlayerById(ENEMY)->unitIds.size(), listed);
    EXPECT_EQ(choices({s}).front(), near);
}

// Random worlds in which every unit scans, once through whole lists and once through the areas of the tick.
struct RandomWorld {
    const char* name;
    unsigned seed;
    int units;
    int workerEvery;  // every n-th unit is a worker; 0 for none
    int owners;       // units are dealt round the first owners
    int side;         // units stand in a square of this many sub-tiles from the map's corner
    int lattice;      // positions are multiples of it, so that many distances are equal
    int walls;
    int halls;        // enemy buildings, chosen only by scanners with no enemy unit in sight
};

TEST_F(TargetIndex, ChoosesWhatTheWholeSweepChoosesOnRandomWorlds) {
    const RandomWorld worlds[] = {
        {"soldiers only", 1, 240, 0, 2, 80, 1, 0, 0},
        {"a worker in ten", 2, 240, 10, 2, 80, 1, 0, 0},
        {"a worker in three, three players", 3, 240, 3, 3, 80, 1, 0, 0},
        {"one worker in all", 4, 240, 240, 2, 80, 1, 0, 0},
        {"walls before melee units", 5, 200, 7, 3, 80, 1, 14, 0},
        {"crowded ties on a lattice", 6, 300, 5, 3, 64, 4, 0, 0},
        {"ties on area corners", 7, 200, 0, 2, 80, 8, 0, 0},
        {"few and far, with halls", 8, 12, 4, 3, 80, 1, 0, 10},
        {"soldiers, walls and halls", 9, 16, 0, 2, 80, 1, 6, 10},
    };
    for (const RandomWorld& w : worlds) {
        TearDown();
        SetUp();
        std::mt19937 rng(w.seed);
        std::uniform_int_distribution<int> at(0, w.side / w.lattice - 1);
        std::uniform_int_distribution<int> tile(0, 18);
        for (int i = 0; i < w.walls; ++i) makeWall(tile(rng), tile(rng));
        for (int i = 0; i < w.halls; ++i) {
            const int hall = placeBuilding("Hall", 1 + (i + 1) % w.owners, tile(rng), tile(rng), 1, 1);
            getBuildingById(hall)->computeNearbyTiles();
        }
        const char* soldierTypes[] = {"Footman", "Archer"};
        std::vector<int> all;
        for (int i = 0; i < w.units; ++i) {
            const bool worker = w.workerEvery != 0 && i % w.workerEvery == w.workerEvery - 1;
            const V2i sub{at(rng) * w.lattice, at(rng) * w.lattice};
            all.push_back(place(worker ? "Peon" : soldierTypes[rng() % 2], 1 + i % w.owners, sub));
        }
        const std::vector<Choice> swept = choicesInPlace(all);
        const TargetIndexPass tick;
        EXPECT_TRUE(choicesInPlace(all) == swept) << w.name;

        const auto chose = [&](auto&& pick) { return std::count_if(swept.begin(), swept.end(), pick); };
        EXPECT_GT(chose([](const Choice& c) { return c.target != -1; }), w.units / 3) << w.name;
        if (w.workerEvery != 0) {
            const auto isWorker = [](const Choice& c) {
                const Unit* u = c.target == -1 ? nullptr : getUnitById(c.target);
                return u && u->worker;
            };
            EXPECT_GT(chose(isWorker), 0) << w.name;
        }
        if (w.halls != 0) {
            EXPECT_GT(chose([](const Choice& c) { return getBuildingById(c.target) != nullptr; }), 0) << w.name;
        }
    }
}

// Hand-made scenes at the edges of the areas and of the passes: each scanner's choice is known from the rules.
struct Placed {
    const char* type;
    int owner;
    V2i sub;
};

struct Scene {
    const char* name;
    V2i scanner;
    std::vector<Placed> enemies;  // made in this order, so ids rise along it
    int chosen;                   // which of them is chosen; -1 for none
};

TEST_F(TargetIndex, ChoosesByTheRulesAtExactDistanceTiesAndPassEdges) {
    // The scanner sees 5 tiles: 20 sub-tiles, 400 squared. Areas are 8 sub-tiles on a side.
    const int E = ENEMY;
    const int N = NATURE;
    const Scene scenes[] = {
        {"a lower id in the next area at the same distance", {43, 40},
         {{"Footman", E, {39, 40}}, {"Footman", E, {43, 44}}}, 0},
        {"a higher id in the next area at the same distance", {43, 40},
         {{"Footman", E, {43, 44}}, {"Footman", E, {39, 40}}}, 0},
        {"a lower id two rings out, on the ring's nearest edge", {40, 40},
         {{"Footman", E, {31, 40}}, {"Footman", E, {40, 49}}}, 0},
        {"one sub-tile past the tie two rings out", {40, 40},
         {{"Footman", E, {30, 40}}, {"Footman", E, {40, 49}}}, 1},
        {"a worker far out behind nearer soldiers", {40, 40},
         {{"Footman", E, {41, 40}}, {"Footman", E, {40, 42}}, {"Peon", E, {59, 46}}}, 2},
        {"a worker on the edge of sight is not taken", {40, 40},
         {{"Footman", E, {41, 40}}, {"Peon", E, {60, 40}}}, 0},
        {"the nearer of two workers in different areas", {40, 40},
         {{"Peon", E, {40, 55}}, {"Footman", E, {40, 41}}, {"Peon", E, {28, 40}}}, 2},
        {"a later player's worker at the same distance and a lower id", {40, 40},
         {{"Peon", N, {40, 50}}, {"Footman", E, {50, 40}}}, 0},
        {"a later player's worker at the same distance and a higher id", {40, 40},
         {{"Footman", E, {50, 40}}, {"Peon", N, {40, 50}}}, 0},
        {"a later player's nearer soldier does not count", {40, 40},
         {{"Footman", E, {50, 40}}, {"Footman", N, {41, 40}}}, 0},
        {"a later player's nearer worker does", {40, 40},
         {{"Footman", E, {50, 40}}, {"Footman", N, {41, 40}}, {"Peon", N, {44, 40}}}, 2},
        {"nothing in sight", {40, 40}, {{"Footman", E, {60, 40}}, {"Peon", N, {40, 20}}}, -1},
        {"units sharing a sub-tile", {12, 12}, {{"Footman", E, {3, 3}}, {"Peon", E, {3, 3}}, {"Peon", E, {3, 3}}}, 1},
        {"on the map's last sub-tile", {79, 79}, {{"Footman", E, {72, 79}}, {"Footman", E, {79, 72}}}, 0},
    };
    for (const Scene& scene : scenes) {
        TearDown();
        SetUp();
        const int s = place("Archer", LOCAL, scene.scanner);
        std::vector<int> ids;
        for (const Placed& p : scene.enemies) ids.push_back(place(p.type, p.owner, p.sub));
        const int expected = scene.chosen == -1 ? -1 : ids[static_cast<size_t>(scene.chosen)];
        EXPECT_EQ(choicesInPlace({s}).front().target, expected) << scene.name << ", whole lists";
        const TargetIndexPass tick;
        EXPECT_EQ(choicesInPlace({s}).front().target, expected) << scene.name << ", areas";
    }
}

TEST_F(TargetIndex, FindsAWorkerAfterItsStepAndOneMadeDuringOrBetweenTicks) {
    const int s = place("Footman", LOCAL, {40, 40});
    place("Footman", ENEMY, {44, 40});
    const int worker = place("Peon", ENEMY, {75, 75});
    {
        const TargetIndexPass tick;
        EXPECT_NE(choices({s}).front(), worker);
        standOn(worker, {50, 50});
        followUnitMove(unit(worker));
        EXPECT_EQ(choices({s}).front(), worker) << "stepped into an area that held no worker";
        standOn(worker, {75, 50});
        followUnitMove(unit(worker));
        EXPECT_NE(choices({s}).front(), worker) << "stepped out of sight again";
        const int trained = place("Peon", ENEMY, {26, 52});
        EXPECT_EQ(choices({s}).front(), trained) << "made during the tick";
    }
    const int later = place("Peon", ENEMY, {52, 30});
    const TargetIndexPass nextTick;
    EXPECT_EQ(choices({s}).front(), later) << "made between ticks, nearer than the first";
}

}  // namespace
