// The built-in battle of 200 a side played long: every attack-mover arrives, fights or stands, none walks in place.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "session_fixture.h"

namespace {

using BattleArrival = ShippedGame;

constexpr int SETTLED_BY = 10000;     // ticks
constexpr int LONGEST_DETOUR = 2000;  // ticks an attack-mover may go without coming closer to its goal

// How near an attack-mover has come to the goal of its running order, and when it last came nearer.
struct Approach {
    int64_t nearest = INT64_MAX;
    int since = 0;
};

int64_t distanceToOrderGoal(const Unit& u) {
    const AttackMove* move = u.orders.empty() ? nullptr : std::get_if<AttackMove>(&u.orders.front().command);
    if (!move) return -1;
    const V2i at = worldToSubTile(u.x, u.y);
    return std::abs(int64_t{at.x} - move->x) + std::abs(int64_t{at.y} - move->y);
}

TEST_F(BattleArrival, EveryAttackMoverSettlesAndNoneWalksInPlace) {
    ASSERT_TRUE(contentLoaded);
    basePath = std::string(CORVALE_SOURCE_DIR) + "/";
    headless::Script script;
    ASSERT_TRUE(headless::startBattle(200, script));
    std::map<int, Approach> approaches;
    for (int tick = 0; tick < SETTLED_BY; ++tick) {
        applyLiveTurn(script(tick), grid, 0);
        advanceOneTurn(grid);
        for (const Unit& u : units) {
            if (u.state != UnitState::AttackMoving) {
                approaches.erase(u.id);
                continue;
            }
            Approach& a = approaches[u.id];
            const int64_t d = distanceToOrderGoal(u);
            if (d < a.nearest) a = {d, tick};
            ASSERT_LE(tick - a.since, LONGEST_DETOUR) << "unit " << u.id << " has come no closer to its goal";
        }
    }
    for (const Unit& u : units) {
        const bool fights = u.targetId != -1;
        EXPECT_TRUE(fights || u.state == UnitState::Idle) << "unit " << u.id << " state " << static_cast<int>(u.state);
    }
}

}  // namespace
