// Walk orders, unclumping, destinations and carriers.
#include <gtest/gtest.h>

#include <vector>

#include "front_list_script.h"
#include "path_world.h"

namespace {

struct WalkOrders : PathWorld {
    static Unit& unitWith(int id) { return *getUnitById(id); }

    static std::vector<SDL_FPoint> centres(const std::vector<V2i>& subs) {
        std::vector<SDL_FPoint> points;
        for (V2i s : subs) points.push_back(subTileWaypoint(s));
        return points;
    }

    static void expectWaypoints(const Unit& unit, const std::vector<V2i>& subs) {
        std::vector<SDL_FPoint> expected = centres(subs);
        ASSERT_EQ(unit.waypoints.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_FLOAT_EQ(unit.waypoints[i].x, expected[i].x) << i;
            EXPECT_FLOAT_EQ(unit.waypoints[i].y, expected[i].y) << i;
        }
    }
};

TEST_F(WalkOrders, WaypointsAreSubTileCentresOfTheFixedSize35) {
    TILE_SIZE = 64;
    SDL_FPoint p = subTileWaypoint({3, 2});
    EXPECT_FLOAT_EQ(p.x, 122.5f);
    EXPECT_FLOAT_EQ(p.y, 87.5f);
}

// Every operation the walk uses, in mixes a long walk meets, against a plain list; the front point is kept beside
// the list, so every step checks it.
TEST(Waypoints, AnswerLikeAPlainListThroughTakesPushesInFrontAndCuts) {
    struct Case {
        const char* what;
        const char* ops;  // as playFrontListScript reads them
    };
    const Case cases[] = {
        {"a path walked to its end", "bbbbtttt"},
        {"a side-step in front of a fresh path", "bbbftt"},
        {"side-steps in front of a half-walked path", "bbbbbttftfttt"},
        {"the last point walked, then a new path", "bbttbbbt"},
        {"a new path after the current step", "bbbbtkbbbtt"},
        {"a cut right after a side-step", "bbbtfkbtt"},
        {"a clear in the middle of a walk", "bbbtcbbt"},
        {"moved in the middle of a walk", "bbbtmtbt"},
    };
    const auto point = [](int n) { return SDL_FPoint{static_cast<float>(n), -static_cast<float>(n)}; };
    const auto same = [](const SDL_FPoint& a, const SDL_FPoint& b) { return a.x == b.x && a.y == b.y; };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        playFrontListScript<Waypoints, SDL_FPoint>(c.ops, point, same);
    }
}

TEST_F(WalkOrders, IdleUnitWalksTheBreadthFirstPathFromItsOwnSubTile) {
    int id = place("Footman", {2, 2});
    Unit& u = unitWith(id);
    u.mining = true;
    ASSERT_TRUE(walkToTile(u, {5, 2}, grid));
    expectWaypoints(u, {{2, 2}, {3, 1}, {4, 1}, {5, 2}});
    EXPECT_EQ(u.goal, (V2i{5, 2}));
    EXPECT_TRUE(u.hasGoal);
    EXPECT_FALSE(u.mining);
    EXPECT_EQ(u.state, UnitState::Moving);
}

TEST_F(WalkOrders, MovingUnitFinishesItsCurrentStepFirst) {
    int id = place("Footman", {2, 2});
    Unit& u = unitWith(id);
    u.waypoints = centres({{3, 3}, {4, 4}, {5, 5}});
    ASSERT_TRUE(walkToTile(u, {5, 2}, grid));
    expectWaypoints(u, {{3, 3}, {3, 1}, {4, 1}, {5, 2}});

    // A walk to the own sub-tile keeps only the current step.
    ASSERT_TRUE(walkToTile(u, {2, 2}, grid));
    expectWaypoints(u, {{3, 3}});
    u.waypoints.clear();
    ASSERT_TRUE(walkToTile(u, {2, 2}, grid));
    expectWaypoints(u, {{2, 2}});
}

TEST_F(WalkOrders, NineteenSubTilesAwayIsBreadthFirstTwentyIsAStar) {
    for (V2i goal : {V2i{10, 9}, V2i{11, 9}}) {
        auto bfs = simpleBFS(grid, {0, 0}, goal, Tile::Grass, 99, -1);
        auto best = astar(grid, {0, 0}, goal, Tile::Grass, 99, 0);
        ASSERT_TRUE(bfs && best);
        ASSERT_NE(*bfs, *best) << "the two searches must take different routes here";
    }
    int id = place("Footman", {0, 0});
    ASSERT_TRUE(walkToTile(unitWith(id), {10, 9}, grid));
    expectWaypoints(unitWith(id), *simpleBFS(grid, {0, 0}, {10, 9}, Tile::Grass, id, -1));
    unitWith(id).waypoints.clear();
    ASSERT_TRUE(walkToTile(unitWith(id), {11, 9}, grid));
    expectWaypoints(unitWith(id), *astar(grid, {0, 0}, {11, 9}, Tile::Grass, id, 0));
}

TEST_F(WalkOrders, LandUnitsAreNeverSentOntoWaterAndShipsNeverAshore) {
    makeWater(2, 2);
    int id = place("Footman", {1, 1});
    Unit& u = unitWith(id);
    EXPECT_FALSE(walkToTile(u, {9, 9}, grid));
    EXPECT_TRUE(u.waypoints.empty());
    EXPECT_FALSE(u.hasGoal);
    EXPECT_EQ(u.state, UnitState::Idle);
    u.walkable = Tile::Any;
    EXPECT_TRUE(walkToTile(u, {9, 9}, grid));

    for (int x = 0; x < 4; ++x) makeWater(x, 3);
    makeWater(3, 2);
    Unit& ship = unitWith(place("Footman", {1, 13}));
    ship.walkable = Tile::Water;
    ASSERT_TRUE(walkToTile(ship, {13, 9}, grid));
    ASSERT_FALSE(ship.waypoints.empty());
    for (const SDL_FPoint& p : ship.waypoints) {
        V2i tile = worldToTile(p.x, p.y);
        EXPECT_EQ(grid.at(tile.x, tile.y).type, Tile::Water) << tile.x << "," << tile.y;
    }
    EXPECT_EQ(worldToSubTile(ship.waypoints.back().x, ship.waypoints.back().y), (V2i{13, 9}));
}

TEST_F(WalkOrders, UnreachableGoalSendsTheUnitBesideItButRecordsTheGoal) {
    grid.at(2, 2).walkable = 0;  // a building over sub-tiles 8..11
    int id = place("Footman", {1, 1});
    Unit& u = unitWith(id);
    ASSERT_TRUE(walkToTile(u, {9, 9}, grid));
    EXPECT_EQ(worldToSubTile(u.waypoints.back().x, u.waypoints.back().y), (V2i{9, 7}));
    EXPECT_EQ(u.goal, (V2i{9, 9}));
}

TEST_F(WalkOrders, NoPathAtAllIsRefusedAndChangesNothing) {
    grid.at(1, 0).walkable = 0;
    grid.at(0, 1).walkable = 0;
    grid.at(1, 1).walkable = 0;
    int id = place("Footman", {1, 1});
    Unit& u = unitWith(id);
    u.state = UnitState::HoldPosition;
    u.mining = true;
    EXPECT_FALSE(walkToTile(u, {12, 12}, grid));
    EXPECT_TRUE(u.waypoints.empty());
    EXPECT_EQ(u.state, UnitState::HoldPosition);
    EXPECT_TRUE(u.mining);
    EXPECT_FALSE(walkToTilePure(u, {12, 12}, grid));
    EXPECT_FALSE(moveUnitUnclump(id, {12, 12}, grid)) << "the failed walk is passed on";
    EXPECT_TRUE(u.waypoints.empty());
}

TEST_F(WalkOrders, OrderedAndAttackMovesKeepTheirState) {
    int id = place("Footman", {2, 2});
    Unit& u = unitWith(id);
    u.state = UnitState::OrderedMove;
    ASSERT_TRUE(walkToTile(u, {6, 6}, grid));
    EXPECT_EQ(u.state, UnitState::OrderedMove);
    u.state = UnitState::AttackMoving;
    ASSERT_TRUE(walkToTile(u, {7, 7}, grid));
    EXPECT_EQ(u.state, UnitState::AttackMoving);
    u.state = UnitState::Attacking;
    ASSERT_TRUE(walkToTile(u, {8, 8}, grid));
    EXPECT_EQ(u.state, UnitState::Moving);
}

TEST_F(WalkOrders, PureWalkReplacesThePathAndKeepsOnlyOrderedMove) {
    for (int y = 0; y < 4; ++y) setHeight(1, y, 3);
    int id = place("Footman", {2, 2});
    Unit& u = unitWith(id);
    u.waypoints = centres({{9, 9}, {9, 10}});
    u.state = UnitState::AttackMoving;
    ASSERT_TRUE(walkToTilePure(u, {6, 2}, grid));
    expectWaypoints(u, {{2, 2}, {3, 2}, {4, 2}, {5, 2}, {6, 2}});
    EXPECT_EQ(u.state, UnitState::Moving);
    EXPECT_EQ(u.goal, (V2i{6, 2}));
    u.state = UnitState::OrderedMove;
    ASSERT_TRUE(walkToTilePure(u, {2, 2}, grid));
    EXPECT_EQ(u.state, UnitState::OrderedMove);
}

TEST_F(WalkOrders, UnclumpingSendsUnitsBesideAHeldTarget) {
    EXPECT_FALSE(moveUnitUnclump(999, {5, 5}, grid));
    int holder = place("Footman", {5, 5});
    int mover = place("Footman", {12, 12});
    ASSERT_TRUE(moveUnitUnclump(mover, {5, 5}, grid));
    EXPECT_EQ(unitWith(mover).goal, (V2i{5, 4}));

    ASSERT_TRUE(moveUnitUnclump(holder, {5, 5}, grid)) << "its own sub-tile counts as taken";
    EXPECT_EQ(unitWith(holder).goal, (V2i{5, 4}));

    addType("LatchedMine", 1);
    int mine = place("LatchedMine", {12, 5});
    ASSERT_TRUE(moveUnitUnclump(mine, {5, 5}, grid));
    EXPECT_EQ(unitWith(mine).goal, (V2i{5, 5}));
    EXPECT_EQ(worldToSubTile(unitWith(mine).waypoints.back().x, unitWith(mine).waypoints.back().y), (V2i{5, 5}));
}

TEST_F(WalkOrders, SameDestinationComparesTilesOfTheLastWaypoint) {
    int id = place("Footman", {2, 2});
    Unit& u = unitWith(id);
    EXPECT_FALSE(sameDestination(u, {0, 0}));
    u.waypoints = centres({{2, 2}, {9, 5}});
    EXPECT_TRUE(sameDestination(u, {2, 1}));
    EXPECT_FALSE(sameDestination(u, {0, 0}));
    u.waypoints = centres({{10, 6}});
    EXPECT_TRUE(sameDestination(u, {2, 1}));
}

// ---- Carriers ----

using Carriers = WalkOrders;

TEST_F(Carriers, BoardInOrderAndDropOffUntilTheEntryIsGoneAndNullForAMissingUnit) {
    int zeppelin = place("Footman", {12, 12});
    int a = place("Footman", {2, 2});
    int b = place("Footman", {3, 3});
    for (int id : {a, b}) {
        unitWith(id).boardCarrierId = zeppelin;
        addUnitToZeppelin(unitWith(id));
    }
    EXPECT_EQ(zeppelinCargo.at(zeppelin), (std::vector<int>{a, b}));
    EXPECT_FALSE(unitWith(a).onMap);

    Unit* dropped = removeUnitFromZeppelin(unitWith(zeppelin), a);
    ASSERT_EQ(dropped, &unitWith(a));
    EXPECT_TRUE(dropped->onMap);
    EXPECT_FLOAT_EQ(dropped->x, unitWith(zeppelin).x);
    EXPECT_FLOAT_EQ(dropped->y, unitWith(zeppelin).y);
    EXPECT_EQ(zeppelinCargo.at(zeppelin), (std::vector<int>{b}));
    removeUnitFromZeppelin(unitWith(zeppelin), b);
    EXPECT_EQ(zeppelinCargo.count(zeppelin), 0u);

    int walker = place("Footman", {2, 6});
    unitWith(walker).onMap = false;
    Unit* placed = removeUnitFromZeppelin(unitWith(zeppelin), walker);
    ASSERT_NE(placed, nullptr) << "a unit not aboard is placed all the same";
    EXPECT_TRUE(placed->onMap);
    EXPECT_FLOAT_EQ(placed->x, centreOf(12));
    EXPECT_EQ(zeppelinCargo.count(zeppelin), 0u);
    EXPECT_EQ(removeUnitFromZeppelin(unitWith(zeppelin), 999), nullptr);
}

TEST_F(Carriers, BoardedUnitLeavesTheSelectionAndEveryCellItHeld) {
    int zeppelin = place("Footman", {12, 12});
    int ogre = place("Ogre", {5, 5});
    addToSelection(ogre);
    // The ogre stands a little off the sub-tile its reservation was made for.
    unitWith(ogre).x += 35.0f;
    unitWith(ogre).boardCarrierId = zeppelin;
    addUnitToZeppelin(unitWith(ogre));
    EXPECT_FALSE(isSelected(ogre));
    for (int y = 4; y <= 6; ++y)
        for (int x = 4; x <= 6; ++x) EXPECT_EQ(cell(x, y), FREE_SUB_TILE) << x << "," << y;
}

}  // namespace
