// The target scan through the area index of the units' tick chooses exactly what a sweep of whole lists chooses.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

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
    {
        const TargetIndexPass tick;
        EXPECT_EQ(choices({s}).front(), near);
        unit(far).x = middleOf(41);
        unit(far).y = middleOf(41);
        followUnitMove(unit(far));
        EXPECT_EQ(choices({s}).front(), far) << "moved next to the scanner in its own step";
    }
    unit(near).x = middleOf(40);
    unit(near).y = middleOf(41);
    const TargetIndexPass nextTick;
    EXPECT_EQ(choices({s}).front(), near) << "moved between ticks";
}

}  // namespace
