// The divert's bounded breadth-first path, found from the goal's side: the same answer as the plain flood.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "path_world.h"

namespace {

using DivertPath = PathWorld;

constexpr int MOVER = 7;
constexpr int OTHER = 5;

// The plain breadth-first flood under the same rules: taken through a neighbourhood hook that applies the built-in
// rule, which leaves the search from the goal's side and the early refusals out.
std::optional<SubTilePath> flood(V2i start, V2i goal, Tile cls, int maxDepth) {
    const NeighborsFn builtIn = Neighbors;
    Neighbors = [](const Grid& g, const V2i& sub, Tile c) { return neighbors8(g, sub, c); };
    auto path = simpleBFS(grid, start, goal, cls, MOVER, maxDepth);
    Neighbors = builtIn;
    return path;
}

// Hills with some ramps, blocked tiles, and the ground held by other units and by the mover itself.
void crowd(std::mt19937& rng, int blockedPercent, int heldPercent) {
    std::uniform_int_distribution<int> percent(0, 99);
    for (int y = 0; y < MAP_H; ++y) {
        for (int x = 0; x < MAP_W; ++x) {
            TileInstance& cell = grid.at(x, y);
            cell.walkable = percent(rng) < blockedPercent ? 0 : 1;
            cell.heightLevel = static_cast<uint8_t>(percent(rng) < 20 ? 1 : 0);
            cell.ramp = percent(rng) < 15 ? 1 : 0;
        }
    }
    for (int32_t& cell : reservedTiles) {
        const int draw = percent(rng);
        cell = draw < heldPercent ? OTHER + draw % 4 : draw < heldPercent + 2 ? MOVER : 0;
    }
}

TEST_F(DivertPath, MatchesTheBoundedBreadthFirstSearchOnCrowdedMaps) {
    struct Case {
        int blocked, held, maxDepth;
    };
    const Case cases[] = {{0, 30, 50}, {5, 45, 50}, {10, 55, 50}, {0, 65, 50}, {15, 20, 12}, {0, 40, 1}, {0, 10, 2}};
    std::mt19937 rng(35);
    int found = 0;
    int refused = 0;
    for (const Case& c : cases) {
        sizeMap(16, 16);
        for (int map = 0; map < 4; ++map) {
            crowd(rng, c.blocked, c.held);
            std::uniform_int_distribution<int> coord(0, SUB_MAP_W - 1), near(-12, 12);
            for (int query = 0; query < 60; ++query) {
                const V2i start{coord(rng), coord(rng)};
                const V2i goal = query % 3 == 0 ? V2i{coord(rng), coord(rng)}
                                                : V2i{start.x + near(rng), start.y + near(rng)};
                const Tile cls = query % 4 == 0 ? Tile::Any : Tile::Grass;
                SCOPED_TRACE(testing::Message() << "held " << c.held << " map " << map << " query " << query);
                const auto expected = flood(start, goal, cls, c.maxDepth);
                EXPECT_EQ(simpleBFS(grid, start, goal, cls, MOVER, c.maxDepth), expected);
                found += expected.has_value();
                refused += !expected.has_value();
            }
        }
    }
    EXPECT_GT(found, 400) << "the maps must leave enough paths to compare";
    EXPECT_GT(refused, 400) << "the crowds must wall enough goals off";
}

// The last goal the depth reaches and the first it does not, straight and round a wall of units.
TEST_F(DivertPath, FindsGoalsOneStepShortOfTheDepthOnly) {
    sizeMap(16, 16);
    struct Case {
        V2i goal;
        bool walled;
        bool reached;
    };
    const Case cases[] = {{{49, 2}, false, true}, {{50, 2}, false, false}, {{48, 2}, true, true},
                          {{49, 2}, true, false}};
    for (const Case& c : cases) {
        std::fill(reservedTiles.begin(), reservedTiles.end(), 0);
        // Other units hold the column x = 10 from y = 0 to y = 12: the way round is 11 steps down to (10, 13),
        // then as many as the goal lies beyond x = 10.
        if (c.walled)
            for (int y = 0; y <= 12; ++y) reservedTiles[static_cast<size_t>(y) * SUB_MAP_W + 10] = OTHER;
        SCOPED_TRACE(testing::Message() << "goal " << c.goal << (c.walled ? " walled" : ""));
        const auto expected = flood({0, 2}, c.goal, Tile::Grass, 50);
        const auto path = simpleBFS(grid, {0, 2}, c.goal, Tile::Grass, MOVER, 50);
        EXPECT_EQ(path.has_value(), c.reached);
        EXPECT_EQ(path, expected);
    }
}

// A mover hemmed in by other units, a goal held by another unit, a start on ground it may not enter.
TEST_F(DivertPath, AnswersTheEdgesOfTheWalkAsTheBreadthFirstSearchDoes) {
    sizeMap(16, 16);
    struct Case {
        const char* name;
        V2i start, goal;
        bool ringAroundStart;
        bool goalHeld;
        bool startTileBlocked;
    };
    const Case cases[] = {
        {"hemmed in", {20, 20}, {30, 20}, true, false, false},
        {"goal held by another", {20, 20}, {30, 25}, false, true, false},
        {"start on blocked ground", {21, 21}, {33, 21}, false, false, true},
        {"start is the goal", {20, 20}, {20, 20}, true, false, false},
        {"start off the grid", {-1, 20}, {5, 20}, false, false, false},
        {"goal off the grid", {20, 20}, {20, 64}, false, false, false},
    };
    for (const Case& c : cases) {
        std::fill(reservedTiles.begin(), reservedTiles.end(), 0);
        for (TileInstance& t : grid.tiles) t.walkable = 1;
        if (c.ringAroundStart)
            for (const V2i& d : DIRECTIONS)
                reservedTiles[static_cast<size_t>(c.start.y + d.y) * SUB_MAP_W + c.start.x + d.x] = OTHER;
        if (c.goalHeld) reservedTiles[static_cast<size_t>(c.goal.y) * SUB_MAP_W + c.goal.x] = OTHER;
        if (c.startTileBlocked) grid.at(c.start.x / 4, c.start.y / 4).walkable = 0;
        SCOPED_TRACE(c.name);
        EXPECT_EQ(simpleBFS(grid, c.start, c.goal, Tile::Grass, MOVER, 50), flood(c.start, c.goal, Tile::Grass, 50));
    }
}

}  // namespace
