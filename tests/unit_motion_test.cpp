// Units in motion: walking waypoints with sub-tile reservations, blocking, side-steps, diverts, chunks, boarding.
#include <gtest/gtest.h>

#include <cstdlib>

#include "game_commands.h"
#include "motion_world.h"

namespace {

using UnitMotion = MotionWorld;

int32_t holderOf(V2i sub) { return reservedTiles[static_cast<size_t>(sub.y) * SUB_MAP_W + sub.x]; }

SDL_FPoint centreOf(V2i sub) { return subTileWaypoint(sub); }

// ---- Walking ----

TEST_F(UnitMotion, WalksAtItsSpeedAndReservesTheNextSubTileBeforeReachingIt) {
    const int a = place("Footman", LOCAL, {10, 10});
    ASSERT_EQ(unit(a).speedPerTick, 3);
    walkRow(a, 13);

    tick();  // the first waypoint is the sub-tile it stands on
    EXPECT_EQ(unit(a).x, centreOf({10, 10}).x);
    tick();
    EXPECT_EQ(unit(a).x, centreOf({10, 10}).x + 3.0f);
    EXPECT_EQ(holderOf({11, 10}), a) << "the reservation moves with the front waypoint";
    EXPECT_EQ(holderOf({10, 10}), 0);
    EXPECT_EQ(unit(a).occupiedSubTile, (V2i{11, 10}));

    // 35 world units take 10 steps of 3 and a snap once closer than WAYPOINT_EPS.
    run(10);
    EXPECT_EQ(unit(a).x, centreOf({11, 10}).x);
    run(22);
    EXPECT_EQ(unit(a).x, centreOf({13, 10}).x);
    EXPECT_TRUE(unit(a).waypoints.empty());
    EXPECT_EQ(unit(a).state, UnitState::Moving) << "arrival is the next tick's";
    tick();
    EXPECT_EQ(unit(a).state, UnitState::Idle);
    EXPECT_EQ(unit(a).direction, 3) << "walking east in the world faces down-right on screen";
    EXPECT_FALSE(unit(a).flip);
}

TEST_F(UnitMotion, CrossingUnitsWaitSideStepTwiceDivertAndBothArrive) {
    const int b = place("Footman", LOCAL, {25, 10});
    const int a = place("Footman", LOCAL, {10, 20});
    walkTo(b, {25, 20});  // comes to rest across a's path
    walkTo(a, {40, 20});

    std::vector<int> expiries;  // ticks on which a's wait ran out
    std::vector<SDL_FPoint> sideSteps;
    int firstBlocked = 0;
    int stillSinceFirstBlock = 0;
    SDL_FPoint blockedAt{};
    int ticks = 0;
    for (ticks = 1; ticks <= 600; ++ticks) {
        const int nudgesBefore = unit(a).nudgeCount;
        const size_t waypointsBefore = unit(a).waypoints.size();
        tick();
        const Unit& ua = unit(a);
        const Unit& ub = unit(b);
        if (ua.waitTicks == 1 && firstBlocked == 0) {
            firstBlocked = ticks;
            blockedAt = {ua.x, ua.y};
        }
        if (firstBlocked && expiries.empty() && ua.x == blockedAt.x && ua.y == blockedAt.y) ++stillSinceFirstBlock;
        if (ua.nudgeCount != nudgesBefore) {
            expiries.push_back(ticks);
            if (ua.nudgeCount > 0) {
                EXPECT_EQ(ua.waypoints.size(), waypointsBefore + 1) << "a side-step is put in front of the path";
                sideSteps.push_back(ua.waypoints.front());
            }
        }
        // No sub-tile is ever held by two units: each holds where it is registered, and the two places differ.
        EXPECT_EQ(holderOf(ua.occupiedSubTile), a) << "tick " << ticks;
        EXPECT_EQ(holderOf(ub.occupiedSubTile), b) << "tick " << ticks;
        EXPECT_NE(ua.occupiedSubTile, ub.occupiedSubTile) << "tick " << ticks;
        if (ua.waypoints.empty() && ub.waypoints.empty() && ua.state == UnitState::Idle) break;
    }

    // a reaches (24, 20) on tick 1 + 14 * 11 and finds b resting on (25, 20).
    EXPECT_EQ(firstBlocked, 156);
    EXPECT_EQ(stillSinceFirstBlock, BLOCK_WAIT_TICKS) << "waits 19 ticks, the last one being the side-step";
    ASSERT_EQ(expiries.size(), 3u);
    EXPECT_EQ(expiries[0], firstBlocked + BLOCK_WAIT_TICKS - 1);
    ASSERT_EQ(sideSteps.size(), 2u);
    EXPECT_EQ(worldToSubTile(sideSteps[0].x, sideSteps[0].y), (V2i{26, 20})) << "the free spot nearest its goal";
    EXPECT_EQ(worldToSubTile(sideSteps[1].x, sideSteps[1].y), (V2i{28, 20}));
    EXPECT_EQ(unit(a).goal, (V2i{40, 19})) << "the third expiry diverts to the free sub-tile nearest the goal";

    EXPECT_LE(ticks, 600);
    EXPECT_EQ(subTileOf(a), (V2i{40, 19}));
    EXPECT_EQ(subTileOf(b), (V2i{25, 20}));
    EXPECT_EQ(unit(a).state, UnitState::Idle);
    EXPECT_EQ(unit(b).state, UnitState::Idle);
}

TEST_F(UnitMotion, AnAttackMoverWhoseDivertFailsWalksOnTowardItsGoalInsteadOfStanding) {
    const int b = place("Footman", LOCAL, {25, 10});
    const int a = place("Footman", LOCAL, {10, 20});
    walkTo(b, {25, 20});
    applyCommand(Command{CommandType::AttackMove, LOCAL, AttackMove{a, 75, 20, false}}, grid, 0, true);
    bool diverted = false;
    for (int t = 0; t < 2000 && (t == 0 || !unit(a).waypoints.empty()); ++t) {
        const int nudges = unit(a).nudgeCount;
        tick();
        // More than 50 steps from its goal, the breadth-first walk round b cannot reach it.
        if (nudges == 2 && unit(a).nudgeCount == 0) {
            diverted = true;
            EXPECT_EQ(unit(a).state, UnitState::AttackMoving);
            EXPECT_FALSE(unit(a).waypoints.empty());
        }
    }
    EXPECT_TRUE(diverted);
    EXPECT_LE(std::abs(subTileOf(a).x - 75) + std::abs(subTileOf(a).y - 20), 2);
    EXPECT_EQ(subTileOf(b), (V2i{25, 20}));
}

TEST_F(UnitMotion, ABlockedUnitWithinFiveOfItsGoalStopsButABuilderWorksItsWayRound) {
    const int b = place("Footman", LOCAL, {14, 10});
    place("Footman", LOCAL, {14, 30});
    const int builder = place("Peon", LOCAL, {10, 10});
    const int a = place("Footman", LOCAL, {10, 30});
    unit(builder).constructing = true;
    walkRow(builder, 16);
    walkRow(a, 16);
    run(1 + 3 * 11);
    ASSERT_EQ(subTileOf(a), (V2i{13, 30}));
    ASSERT_EQ(subTileOf(builder), (V2i{13, 10}));
    tick();
    EXPECT_TRUE(unit(a).waypoints.empty());
    EXPECT_EQ(unit(a).state, UnitState::Idle);
    EXPECT_EQ(unit(a).waitTicks, 0);
    EXPECT_EQ(unit(builder).waitTicks, 1) << "it waits as any blocked unit far from its goal does";
    run(300);
    EXPECT_EQ(subTileOf(builder).x, 16) << "past the unit in its way, beside or on its goal";
    EXPECT_LE(std::abs(subTileOf(builder).y - 10), 1);
    EXPECT_EQ(subTileOf(b), (V2i{14, 10}));
}

TEST_F(UnitMotion, AHarvesterWalksThroughHeldSubTilesWithoutWaiting) {
    const int b = place("Footman", LOCAL, {13, 10});
    const int a = place("Peon", LOCAL, {10, 10});
    walkRow(a, 16);
    unit(a).mining = true;
    for (int t = 0; t < 1 + 6 * 11; ++t) {
        tick();
        EXPECT_EQ(holderOf({13, 10}), b) << "the harvester never takes another unit's sub-tile";
    }
    EXPECT_EQ(subTileOf(a), (V2i{16, 10}));
    EXPECT_TRUE(unit(a).waypoints.empty());
}

TEST_F(UnitMotion, AStepThatWouldLeaveTheMapPutsTheUnitOnTheEdgeAndEndsItsWalk) {
    setMapSize(10, 10);
    Unit* outside = spawnUnit("Footman", ENEMY);  // the computer's side stands at 15.5 tiles, off this map
    ASSERT_NE(outside, nullptr);
    const int id = outside->id;
    walkTo(id, {30, 18});
    tick();
    EXPECT_EQ(unit(id).state, UnitState::Idle);
    EXPECT_TRUE(unit(id).waypoints.empty());
    EXPECT_FLOAT_EQ(unit(id).x, 10.0f * 140.0f - 0.01f);
}

TEST_F(UnitMotion, ANextWaypointOnGroundThatTurnedImpassableEndsTheWalkForGood) {
    const int a = place("Footman", LOCAL, {10, 10});
    walkRow(a, 20);
    run(1 + 11);  // on (11, 10)
    ASSERT_EQ(subTileOf(a), (V2i{11, 10}));
    grid.at(3, 2).walkable = 0;  // a site laid over sub-tiles 12 to 15 of the path
    tick();
    EXPECT_EQ(unit(a).state, UnitState::Idle);
    EXPECT_TRUE(unit(a).waypoints.empty()) << "no retry on every later tick";
    EXPECT_EQ(holderOf({12, 10}), 0) << "the impassable sub-tile is not kept";
    EXPECT_EQ(holderOf({11, 10}), a);
    const SDL_FPoint at{unit(a).x, unit(a).y};
    run(100);
    EXPECT_EQ(unit(a).x, at.x);
    EXPECT_EQ(unit(a).state, UnitState::Idle);
}

// Only ground ahead ends a walk: a unit left on a tile it may not enter (a side-step across a corner, a site laid
// under it) walks off along a path that starts on its own sub-tile.
TEST_F(UnitMotion, AUnitStandingOnImpassableGroundWalksOffIt) {
    const struct {
        V2i start;
        V2i turnedImpassable;
        int toX;
        bool arrives;
    } cases[] = {
        {{11, 10}, {2, 2}, 20, true},   // its own tile, at the edge of the next one
        {{15, 10}, {3, 2}, 25, true},   // its own tile, the other side
        {{11, 10}, {3, 2}, 20, false},  // the tile ahead: the walk ends where it stands
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "from " << c.start.x << " over tile " << c.turnedImpassable.x);
        const int a = place("Footman", LOCAL, c.start);
        grid.at(c.turnedImpassable.x, c.turnedImpassable.y).walkable = 0;
        walkRow(a, c.toX);
        run(200);
        EXPECT_EQ(subTileOf(a), (c.arrives ? V2i{c.toX, c.start.y} : c.start));
        EXPECT_EQ(unit(a).state, UnitState::Idle);
        EXPECT_TRUE(unit(a).waypoints.empty());
        grid.at(c.turnedImpassable.x, c.turnedImpassable.y).walkable = 1;
        removeUnit(a);
    }
}

TEST_F(UnitMotion, ALongRouteIsWalkedInChunksToTheFreeSubTileNearItsEnd) {
    const int a = place("Footman", LOCAL, {2, 2});
    const std::optional<SubTilePath> route = astar(grid, {2, 2}, {70, 2}, Tile::Grass, a, 0);
    ASSERT_TRUE(route);
    Unit& u = unit(a);
    u.route = *route;
    u.routeDestination = {70, 2};
    u.routeChunked = true;
    setUnitPath(u, SubTilePath(route->begin(), route->begin() + 20));
    u.state = UnitState::Moving;

    size_t longest = 0;
    int t = 0;
    for (t = 0; t < 2000 && !(unit(a).waypoints.empty() && !unit(a).routeChunked); ++t) {
        tick();
        longest = std::max(longest, unit(a).waypoints.size());
    }
    EXPECT_LE(longest, 31u) << "a chunk is a depth-limited search of 30 steps";
    EXPECT_FALSE(unit(a).routeChunked);
    EXPECT_EQ(subTileOf(a), (V2i{70, 1}));
}

TEST_F(UnitMotion, AChunkThatCannotBePlannedLeavesTheUnitIdle) {
    const int a = place("Footman", LOCAL, {2, 2});
    Unit& u = unit(a);
    u.route = {{2, 2}, {70, 70}};
    u.routeDestination = {70, 70};
    u.routeChunked = true;
    u.state = UnitState::OrderedMove;
    grid.at(1, 0).walkable = grid.at(0, 1).walkable = grid.at(1, 1).walkable = 0;  // shut in its corner tile
    tick();
    EXPECT_FALSE(unit(a).routeChunked);
    EXPECT_EQ(unit(a).state, UnitState::Idle);
}

// ---- Boarding ----

TEST_F(UnitMotion, AUnitSentAboardWalksToTheCarrierAndBoardsOnTheNextBoardingTest) {
    addType("Zeppelin", AttackType::None, UnitCategory::Air).walkable = Tile::Any;
    const int carrier = place("Zeppelin", ENEMY, {30, 10});
    const int a = place("Footman", ENEMY, {20, 10});
    unit(a).boardCarrierId = carrier;
    const int stranded = place("Footman", LOCAL, {20, 30});
    unit(stranded).boardCarrierId = 999;
    run(BOARD_WAIT_TICKS - 1);
    EXPECT_TRUE(unit(a).waypoints.empty()) << "no test before the wait has run";
    tick();
    EXPECT_FALSE(unit(a).waypoints.empty()) << "not beside it yet: sent toward the carrier";
    EXPECT_EQ(unit(stranded).boardCarrierId, -1) << "an order for a vanished carrier lapses";
    EXPECT_TRUE(unit(stranded).onMap);
    int boardedOnTick = 0;
    V2i lastStand;
    for (int t = BOARD_WAIT_TICKS + 1; t <= 6 * BOARD_WAIT_TICKS && boardedOnTick == 0; ++t) {
        lastStand = subTileOf(a);
        tick();
        if (!unit(a).onMap) boardedOnTick = t;
    }
    EXPECT_GT(boardedOnTick, 0);
    EXPECT_LE(std::max(std::abs(lastStand.x - 30), std::abs(lastStand.y - 10)), 1) << "it boards beside the carrier";
    EXPECT_FALSE(unit(a).onMap);
    EXPECT_EQ(unit(a).boardCarrierId, -1);
    EXPECT_EQ(zeppelinCargo[carrier], std::vector<int>{a});
    EXPECT_EQ(holderOf(lastStand), 0) << "aboard, it holds no ground";
    const SDL_FPoint at{unit(a).x, unit(a).y};
    run(10);
    EXPECT_EQ(unit(a).x, at.x) << "the unit step skips a unit off the map";
}

// ---- The unit step around the walk ----

TEST_F(UnitMotion, AUnitBelowOneHitPointIsRemovedUnlessOffTheMapWhereOnlyItsCooldownsRunDown) {
    const int dying = place("Footman", LOCAL, {10, 10});
    const int standing = place("Footman", LOCAL, {20, 10});
    const int a = place("Footman", LOCAL, {10, 20});
    unit(dying).hp = 0.5f;
    unit(standing).hp = 1.0f;
    walkTo(a, {20, 20});
    unit(a).onMap = false;
    unit(a).hp = 0.5f;
    unit(a).cooldowns["slow"] = 1.0f;
    unit(a).cooldowns["haste"] = -0.5f;
    tick();
    EXPECT_EQ(getUnitById(dying), nullptr);
    EXPECT_NE(getUnitById(standing), nullptr);
    EXPECT_EQ(holderOf({10, 10}), 0);
    ASSERT_NE(getUnitById(a), nullptr) << "no death check off the map";
    EXPECT_EQ(unit(a).x, centreOf({10, 20}).x);
    EXPECT_FLOAT_EQ(unit(a).cooldowns["slow"], 1.0f - TURN_LENGTH);
    EXPECT_FLOAT_EQ(unit(a).cooldowns["haste"], -0.5f) << "a spent cooldown is left alone";
}

TEST_F(UnitMotion, AnIdleUnitArrivesOnEveryTickAndAHeldOneKeepsHoldingPosition) {
    std::vector<int> arrivals;
    unitHooks.unitArriveScript = [&](int id) { arrivals.push_back(id); };
    const int idle = place("Footman", LOCAL, {10, 10});
    const int held = place("Footman", LOCAL, {20, 10});
    unit(held).state = UnitState::HoldPosition;
    run(3);
    EXPECT_EQ(arrivals, (std::vector<int>{idle, held, idle, held, idle, held}));
    EXPECT_EQ(unit(held).state, UnitState::HoldPosition);
}

TEST_F(UnitMotion, APickUpTakesAnItemWithinReachAndACorpseHalvesTheStep) {
    std::vector<int> taken;
    bool onGround = true;
    const SDL_FPoint item = centreOf({11, 10});
    unitHooks.itemOnMap = [&](int id) { return onGround && id == 7 ? std::optional<SDL_FPoint>(item) : std::nullopt; };
    unitHooks.takeItem = [&](int, int id) {
        taken.push_back(id);
        return std::string("Corpse");
    };
    const int a = place("Footman", LOCAL, {10, 10});
    unit(a).speedPerTick = 8;
    unit(a).pickUpPending = true;
    unit(a).pickUpItemId = 7;
    tick();
    EXPECT_EQ(taken, std::vector<int>{7});
    EXPECT_FALSE(unit(a).pickUpPending);
    EXPECT_EQ(unit(a).pickUpItemId, -1);
    EXPECT_EQ(unit(a).speedPerTick, 4);
    unit(a).pickUpPending = true;
    unit(a).pickUpItemId = 7;
    tick();
    EXPECT_EQ(unit(a).speedPerTick, 2) << "two corpses quarter it";

    // An item no longer on the map cancels the pick-up and ends the unit's tick.
    onGround = false;
    walkRow(a, 20);
    unit(a).pickUpPending = true;
    unit(a).pickUpItemId = 7;
    tick();
    EXPECT_FALSE(unit(a).pickUpPending);
    EXPECT_EQ(unit(a).x, centreOf({10, 10}).x);
    EXPECT_EQ(unit(a).waypoints.size(), 11u) << "no step taken that tick";
}

TEST_F(UnitMotion, SlowAndHasteChangeTheStepTheWalkTakes) {
    const int caster = place("Footman", ENEMY, {30, 30});
    const int a = place("Footman", LOCAL, {10, 10});
    effectFunctions.at("slow")(SpellContext{caster, a, {}});
    EXPECT_FLOAT_EQ(unit(a).movementSpeed, 0.5f);
    EXPECT_EQ(unit(a).speedPerTick, 1);
    walkRow(a, 20);
    run(2);
    EXPECT_EQ(unit(a).x, centreOf({10, 10}).x + 1.0f);
    scaleMovementSpeed(unit(a), 0.5f);
    EXPECT_EQ(unit(a).speedPerTick, 1) << "a unit that moves at all keeps creeping";
    effectFunctions.at("haste")(SpellContext{caster, a, {}});
    EXPECT_FLOAT_EQ(unit(a).movementSpeed, 0.375f);
    EXPECT_EQ(unit(a).speedPerTick, 1);
    scaleMovementSpeed(unit(a), 4.0f);
    EXPECT_EQ(unit(a).speedPerTick, 4) << "1.5 x 200 / 62.5, truncated";
}

}  // namespace
