// Path searches on the sub-tile grid: golden paths, depth limits, tie order and the free sub-tile searches.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <queue>
#include <random>
#include <tuple>
#include <vector>

#include "path_world.h"
#include "units_regions.h"

namespace {

using PathSearch = PathWorld;

constexpr int MOVER = 7;
constexpr int OTHER = 5;

bool legalStep(V2i from, V2i to) {
    V2i a{from.x / 4, from.y / 4};
    V2i b{to.x / 4, to.y / 4};
    if (a == b) return true;
    const TileInstance& ta = grid.at(a.x, a.y);
    const TileInstance& tb = grid.at(b.x, b.y);
    return ta.heightLevel == tb.heightLevel || ta.ramp || tb.ramp;
}

// ---- The searches exactly as written: the standard library's priority queue and queue; the bookkeeping is
// kept in arrays by sub-tile, which only answers faster than the hash maps of the game's first searches ----

struct Entry {
    int x, y;
    int64_t f;
    int g;
};

struct ByEstimate {
    bool operator()(const Entry& a, const Entry& b) const { return a.f > b.f; }
};

struct ByEstimateThenPlace {
    bool operator()(const Entry& a, const Entry& b) const {
        return std::tie(a.f, a.g, a.x, a.y) > std::tie(b.f, b.g, b.x, b.y);
    }
};

enum class Rules { Unit, Pure, MultiGoal };

constexpr V2i NOWHERE{-1, -1};

// Where each visited sub-tile was entered from.
struct Trail {
    std::vector<V2i> from = std::vector<V2i>(static_cast<size_t>(SUB_MAP_W * SUB_MAP_H), NOWHERE);
    V2i& operator[](V2i p) { return from[static_cast<size_t>(p.y * SUB_MAP_W + p.x)]; }
    SubTilePath rebuild(V2i end) {
        SubTilePath path{end};
        while ((*this)[path.back()] != NOWHERE) path.push_back((*this)[path.back()]);
        std::reverse(path.begin(), path.end());
        return path;
    }
};

template <typename Order>
std::optional<SubTilePath> writtenAStar(Rules rules, V2i start, const std::vector<V2i>& goals, Tile cls, int unitId,
                                        int maxDepth) {
    std::priority_queue<Entry, std::vector<Entry>, Order> open;
    std::vector<int> g(static_cast<size_t>(SUB_MAP_W * SUB_MAP_H), INT32_MAX);
    auto cost = [&](V2i p) -> int& { return g[static_cast<size_t>(p.y * SUB_MAP_W + p.x)]; };
    Trail from;
    auto h = [&](V2i p) { return int64_t{std::abs(p.x - goals[0].x) + std::abs(p.y - goals[0].y)}; };
    cost(start) = 0;
    open.push({start.x, start.y, h(start), 0});
    while (!open.empty()) {
        Entry e = open.top();
        open.pop();
        V2i cur{e.x, e.y};
        if (std::find(goals.begin(), goals.end(), cur) != goals.end()) return from.rebuild(cur);
        if (rules == Rules::Unit && maxDepth != 0 && e.g >= maxDepth) return from.rebuild(cur);
        std::vector<V2i> candidates;
        if (rules == Rules::MultiGoal) {
            for (const V2i& d : DIRECTIONS) {
                V2i n{cur.x + d.x, cur.y + d.y};
                if (isValidSubTile(n) && grid.walkable(n.x / 4, n.y / 4, cls)) candidates.push_back(n);
            }
        } else {
            candidates = neighbors8(grid, cur, cls);
        }
        for (V2i n : candidates) {
            if (rules == Rules::Unit) {
                if (cls != Tile::Any && !legalStep(cur, n)) continue;
                int r = isSubTileReserved(n);
                if (r >= 1 && r != unitId && n != goals[0]) continue;
            }
            if (rules == Rules::MultiGoal && !legalStep(cur, n)) continue;
            int t = cost(cur) + 1;
            if (cost(n) <= t) continue;
            from[n] = cur;
            cost(n) = t;
            open.push({n.x, n.y, t + h(n), t});
        }
    }
    return std::nullopt;
}

std::optional<SubTilePath> writtenBFS(V2i start, V2i goal, Tile cls, int unitId, int maxDepth) {
    std::queue<std::pair<V2i, int>> open;
    Trail from;
    from[start] = start;  // visited, and the end of the trail back
    open.push({start, 0});
    while (!open.empty()) {
        auto [cur, depth] = open.front();
        open.pop();
        if (maxDepth > 0 && depth >= maxDepth) continue;
        if (cur == goal) {
            from[start] = NOWHERE;
            return from.rebuild(goal);
        }
        for (V2i n : neighbors8(grid, cur, cls)) {
            if (cls != Tile::Any && !legalStep(cur, n)) continue;
            int r = isSubTileReserved(n);
            if (r >= 1 && r != unitId && n != goal) continue;
            if (from[n] != NOWHERE) continue;
            from[n] = cur;
            open.push({n, depth + 1});
        }
    }
    return std::nullopt;
}

// A rough map: blocked tiles, hills with some ramps, and scattered reservations of other units.
void roughen(std::mt19937& rng) {
    std::uniform_int_distribution<int> percent(0, 99);
    for (int y = 0; y < MAP_H; ++y) {
        for (int x = 0; x < MAP_W; ++x) {
            TileInstance& cell = grid.at(x, y);
            cell.walkable = percent(rng) < 15 ? 0 : 1;
            cell.heightLevel = static_cast<uint8_t>(percent(rng) < 25 ? 1 + percent(rng) % 2 : 0);
            cell.ramp = percent(rng) < 15 ? 1 : 0;
        }
    }
    for (int32_t& cell : reservedTiles) cell = percent(rng) < 8 ? 2 + percent(rng) % 9 : 0;
}

TEST_F(PathSearch, AllSearchesFollowTheWrittenRulesAndPopOrderOnRoughMaps) {
    sizeMap(12, 12);
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<int> coord(0, SUB_MAP_W - 1);
    const Tile classes[] = {Tile::Grass, Tile::Any};
    int found = 0;
    for (int map = 0; map < 6; ++map) {
        roughen(rng);
        for (int query = 0; query < 40; ++query) {
            V2i start{coord(rng), coord(rng)};
            std::vector<V2i> goals{{coord(rng), coord(rng)}, {coord(rng), coord(rng)}, {coord(rng), coord(rng)}};
            V2i goal = goals[0];
            Tile cls = classes[query % 2];
            int id = 2 + query % 9;
            SCOPED_TRACE(testing::Message() << "map " << map << " query " << query);

            auto unbounded = astar(grid, start, goal, cls, id, 0);
            EXPECT_EQ(unbounded, (writtenAStar<ByEstimateThenPlace>(Rules::Unit, start, {goal}, cls, id, 0)));
            EXPECT_EQ(astar(grid, start, goal, cls, id, 30),
                      (writtenAStar<ByEstimateThenPlace>(Rules::Unit, start, {goal}, cls, id, 30)));
            EXPECT_EQ(astarPure(grid, start, goal, cls),
                      (writtenAStar<ByEstimate>(Rules::Pure, start, {goal}, cls, 0, 0)));
            EXPECT_EQ(astarMultiGoal(grid, start, goals, cls),
                      (writtenAStar<ByEstimate>(Rules::MultiGoal, start, goals, cls, 0, 0)));
            EXPECT_EQ(simpleBFS(grid, start, goal, cls, id, -1), writtenBFS(start, goal, cls, id, -1));
            EXPECT_EQ(simpleBFS(grid, start, goal, cls, id, 50), writtenBFS(start, goal, cls, id, 50));
            EXPECT_EQ(astar(grid, start, goal, cls, id, 0), unbounded) << "the same query gives the same path";
            found += unbounded.has_value();
        }
    }
    EXPECT_GT(found, 60) << "the maps must leave enough paths to compare";
}

// What a search knows of the ground is never carried into the next one: every query follows the ground as it
// stands, on maps of several shapes, while buildings rise and fall and hills change between queries.
TEST_F(PathSearch, SearchesFollowTheGroundAsItChangesBetweenQueriesOnEveryMapShape) {
    struct Shape {
        int w, h;
    };
    const Shape shapes[] = {{12, 12}, {7, 15}, {15, 7}, {1, 9}, {9, 1}};
    std::mt19937 rng(977);
    int found = 0;
    for (const Shape& shape : shapes) {
        sizeMap(shape.w, shape.h);
        roughen(rng);
        std::uniform_int_distribution<int> x(0, SUB_MAP_W - 1), y(0, SUB_MAP_H - 1), tx(0, MAP_W - 1),
            ty(0, MAP_H - 1), side(1, 3), level(0, 2);
        for (int query = 0; query < 60; ++query) {
            const V2i at{tx(rng), ty(rng)};
            if (query % 4 == 0) blockArea(grid, at, side(rng), side(rng));
            if (query % 4 == 1) unblockArea(grid, at, side(rng), side(rng));
            if (query % 4 == 2) setHeight(at.x, at.y, level(rng), query % 8 == 2);
            const V2i start{x(rng), y(rng)};
            const std::vector<V2i> goals{{x(rng), y(rng)}, {x(rng), y(rng)}};
            const Tile cls = query % 3 == 0 ? Tile::Any : Tile::Grass;
            SCOPED_TRACE(testing::Message() << "map " << shape.w << "x" << shape.h << " query " << query);
            const auto path = astar(grid, start, goals[0], cls, MOVER, 0);
            EXPECT_EQ(path, (writtenAStar<ByEstimateThenPlace>(Rules::Unit, start, {goals[0]}, cls, MOVER, 0)));
            EXPECT_EQ(astar(grid, start, goals[0], cls, MOVER, 30),
                      (writtenAStar<ByEstimateThenPlace>(Rules::Unit, start, {goals[0]}, cls, MOVER, 30)));
            EXPECT_EQ(astarMultiGoal(grid, start, goals, cls),
                      (writtenAStar<ByEstimate>(Rules::MultiGoal, start, goals, cls, 0, 0)));
            EXPECT_EQ(simpleBFS(grid, start, goals[0], cls, MOVER, -1), writtenBFS(start, goals[0], cls, MOVER, -1));
            found += path.has_value();
        }
    }
    EXPECT_GT(found, 80) << "the maps must leave enough paths to compare";
}

// Refusals at once must give the full search's answer while buildings rise and fall and trees are felled.
TEST_F(PathSearch, RegionRefusalsAgreeWithTheFullSearchAsTheMapChanges) {
    sizeMap(12, 12);
    std::mt19937 rng(28);
    std::uniform_int_distribution<int> coord(-2, SUB_MAP_W + 1), tile(0, MAP_W - 1), side(1, 4);
    roughen(rng);
    std::fill(reservedTiles.begin(), reservedTiles.end(), 0);
    int refused = 0;
    for (int change = 0; change < 60; ++change) {
        const V2i at{tile(rng), tile(rng)};
        if (change % 3 == 2) unblockArea(grid, at, 1, 1);  // a tree felled
        else (change % 3 == 0 ? blockArea : unblockArea)(grid, at, side(rng), side(rng));  // a building placed, gone
        for (int query = 0; query < 10; ++query) {
            const V2i start{coord(rng) / 2 + 4, coord(rng) / 2 + 4};
            const std::vector<V2i> goals{{coord(rng), coord(rng)}, {coord(rng), coord(rng)}};
            const Tile cls = query % 3 == 0 ? Tile::Any : Tile::Grass;
            SCOPED_TRACE(testing::Message() << "change " << change << " query " << query);
            // From ground the class may not enter the regions cannot tell; such a search is never refused wrongly.
            const bool decided = canEnter(grid.at(start.x / 4, start.y / 4), cls);
            const bool unreachable = !writtenBFS(start, goals[0], cls, MOVER, -1);
            const bool noneReachable = !writtenAStar<ByEstimate>(Rules::MultiGoal, start, goals, cls, 0, 0);
            const bool refusal = cannotReach(grid, start, goals[0], cls, cls != Tile::Any);
            const bool refusalOfAll = cannotReachAny(grid, start, goals, cls, true);
            EXPECT_TRUE(decided ? refusal == unreachable : !refusal || unreachable);
            EXPECT_TRUE(decided ? refusalOfAll == noneReachable : !refusalOfAll || noneReachable);
            refused += refusal;
        }
    }
    EXPECT_GT(refused, 100) << "the changes must leave goals out of reach";
}

// Two armies face each other, each unit on every other sub-tile of its square, with the ground of the table
// between them; every unit is sent to the enemy's centre and round its neighbours, as orders and detours do.
TEST_F(PathSearch, SearchesOutOfAnArmyFollowTheWrittenRulesAndPopOrderOnEveryGround) {
    const struct {
        const char* ground;
        int blockedPercent;
        int hillPercent;
    } grounds[] = {{"open field", 0, 0}, {"scattered walls", 12, 0}, {"hills with ramps", 0, 30}, {"both", 10, 25}};
    constexpr int SIDE = 14;  // sub-tiles of an army's square
    const V2i corners[] = {{6, 30}, {70, 34}};
    std::mt19937 rng(35035);
    std::uniform_int_distribution<int> percent(0, 99), off(-12, 12);
    int found = 0;
    for (const auto& ground : grounds) {
        sizeMap(24, 24);
        for (TileInstance& t : grid.tiles) {
            t.walkable = percent(rng) < ground.blockedPercent ? 0 : 1;
            t.heightLevel = static_cast<uint8_t>(percent(rng) < ground.hillPercent ? 1 : 0);
            t.ramp = percent(rng) < 20 ? 1 : 0;
        }
        std::vector<std::pair<V2i, int>> units;
        for (const V2i& corner : corners)
            for (int y = corner.y; y < corner.y + SIDE; ++y)
                for (int x = corner.x + y % 2; x < corner.x + SIDE; x += 2) {
                    units.push_back({{x, y}, 20 + static_cast<int>(units.size())});
                    reserveTile({x, y}, units.back().second);
                }
        for (size_t u = 0; u < units.size(); u += 3) {
            const auto [start, id] = units[u];
            const V2i enemy = corners[start.x < SUB_MAP_W / 2 ? 1 : 0];
            const V2i centre{enemy.x + SIDE / 2, enemy.y + SIDE / 2};
            const V2i aside{std::clamp(start.x + off(rng), 0, SUB_MAP_W - 1),
                            std::clamp(start.y + off(rng), 0, SUB_MAP_H - 1)};
            const std::vector<V2i> goals{centre, aside, {centre.x, centre.y + 3}};
            const Tile cls = u % 2 == 0 ? Tile::Grass : Tile::Any;
            SCOPED_TRACE(testing::Message() << ground.ground << ": unit at " << start);
            const auto ordered = astar(grid, start, centre, cls, id, 0);
            EXPECT_EQ(ordered, (writtenAStar<ByEstimateThenPlace>(Rules::Unit, start, {centre}, cls, id, 0)));
            EXPECT_EQ(astar(grid, start, aside, cls, id, 30),
                      (writtenAStar<ByEstimateThenPlace>(Rules::Unit, start, {aside}, cls, id, 30)));
            EXPECT_EQ(simpleBFS(grid, start, aside, cls, id, 50), writtenBFS(start, aside, cls, id, 50));
            EXPECT_EQ(astarPure(grid, start, centre, cls),
                      (writtenAStar<ByEstimate>(Rules::Pure, start, {centre}, cls, 0, 0)));
            EXPECT_EQ(astarMultiGoal(grid, start, goals, cls),
                      (writtenAStar<ByEstimate>(Rules::MultiGoal, start, goals, cls, 0, 0)));
            found += ordered.has_value();
        }
    }
    EXPECT_GT(found, 100) << "the armies must find their way to each other";
}

// A hook may step further than one sub-tile and so lower the estimate below what single steps allow; the paths
// still follow its steps back from the goal, through every search.
TEST_F(PathSearch, LongStepsOfTheNeighbourhoodHookAreFollowedBack) {
    const struct {
        NeighborsFn hook;
        SubTilePath path;
    } cases[] = {
        {[](const Grid&, const V2i& s, Tile) { return std::vector<V2i>{{s.x + 2, s.y}}; },
         {{0, 0}, {2, 0}, {4, 0}, {6, 0}}},
        {[](const Grid&, const V2i& s, Tile) { return std::vector<V2i>{{s.x, s.y + 1}, {s.x + 3, s.y}}; },
         {{0, 0}, {3, 0}, {6, 0}, {9, 0}}},
    };
    for (const auto& c : cases) {
        Neighbors = c.hook;
        const V2i goal = c.path.back();
        SCOPED_TRACE(testing::Message() << "to " << goal);
        EXPECT_EQ(astar(grid, {0, 0}, goal, Tile::Grass, MOVER, 0), c.path);
        EXPECT_EQ(astar(grid, {0, 0}, goal, Tile::Grass, MOVER, 2), SubTilePath(c.path.begin(), c.path.begin() + 3))
            << "the first node popped two steps out";
        EXPECT_EQ(astarPure(grid, {0, 0}, goal, Tile::Grass), c.path);
        EXPECT_EQ(simpleBFS(grid, {0, 0}, goal, Tile::Grass, MOVER, -1), c.path);
    }
}

// ---- Golden paths ----

TEST_F(PathSearch, StartEqualToGoalIsAOneElementPath) {
    EXPECT_EQ(astar(grid, {3, 3}, {3, 3}, Tile::Grass, MOVER, 0), (SubTilePath{{3, 3}}));
    EXPECT_EQ(astarPure(grid, {3, 3}, {3, 3}, Tile::Grass), (SubTilePath{{3, 3}}));
    EXPECT_EQ(simpleBFS(grid, {3, 3}, {3, 3}, Tile::Grass, MOVER, 50), (SubTilePath{{3, 3}}));
}

TEST_F(PathSearch, ReservedSubTileIsPassedOnTheSideWithTheSmallerY) {
    reserveTile({8, 2}, OTHER);
    SubTilePath expected{{4, 2}, {5, 2}, {6, 2}, {7, 2}, {8, 1}, {9, 2}, {10, 2}, {11, 2}, {12, 2}, {13, 2}};
    EXPECT_EQ(astar(grid, {4, 2}, {13, 2}, Tile::Grass, MOVER, 0), expected);
    EXPECT_EQ(astar(grid, {4, 2}, {13, 2}, Tile::Grass, OTHER, 0), row(2, 4, 13)) << "own cells are passable";
}

TEST_F(PathSearch, ReservedGoalIsEnteredAsTheLastStepOnly) {
    reserveTile({13, 2}, OTHER);
    EXPECT_EQ(astar(grid, {4, 2}, {13, 2}, Tile::Grass, MOVER, 0), row(2, 4, 13));
    EXPECT_EQ(simpleBFS(grid, {4, 2}, {13, 2}, Tile::Grass, MOVER, -1)->back(), (V2i{13, 2}));
}

TEST_F(PathSearch, HeightBordersAreCrossedOnlyOverARampUnlessClassIsAny) {
    for (int y = 0; y < 4; ++y) setHeight(2, y, 1);
    EXPECT_FALSE(astar(grid, {4, 2}, {13, 2}, Tile::Grass, MOVER, 0));
    EXPECT_FALSE(simpleBFS(grid, {4, 2}, {13, 2}, Tile::Grass, MOVER, -1));
    EXPECT_FALSE(astarMultiGoal(grid, {4, 2}, {{13, 2}}, Tile::Any)) << "no exemption for Any here";
    EXPECT_EQ(astar(grid, {4, 2}, {13, 2}, Tile::Any, MOVER, 0), row(2, 4, 13));
    EXPECT_EQ(astarPure(grid, {4, 2}, {13, 2}, Tile::Grass), row(2, 4, 13));

    setHeight(2, 3, 1, true);  // a distant ramp makes the only way across
    auto path = astar(grid, {4, 2}, {13, 2}, Tile::Grass, MOVER, 0);
    ASSERT_TRUE(path);
    EXPECT_TRUE(std::any_of(path->begin(), path->end(), [](V2i s) { return s.x / 4 == 2 && s.y / 4 == 3; }));
    for (size_t i = 1; i < path->size(); ++i) EXPECT_TRUE(legalStep((*path)[i - 1], (*path)[i])) << i;
    EXPECT_EQ(path, (writtenAStar<ByEstimateThenPlace>(Rules::Unit, {4, 2}, {{13, 2}}, Tile::Grass, MOVER, 0)));

    setHeight(2, 0, 9, true);  // a ramp on either side lets any height difference be crossed
    EXPECT_EQ(astar(grid, {4, 2}, {13, 2}, Tile::Grass, MOVER, 0), row(2, 4, 13));
    EXPECT_EQ(astarMultiGoal(grid, {4, 2}, {{13, 2}}, Tile::Grass), row(2, 4, 13));
}

TEST_F(PathSearch, DiagonalStepSqueezesBetweenTwoBlockedCorners) {
    grid.at(1, 0).walkable = 0;
    grid.at(0, 1).walkable = 0;
    SubTilePath expected{{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}};
    EXPECT_EQ(astar(grid, {1, 1}, {6, 6}, Tile::Grass, MOVER, 0), expected);
    EXPECT_EQ(simpleBFS(grid, {1, 1}, {6, 6}, Tile::Grass, MOVER, -1), expected);
}

TEST_F(PathSearch, GoalOnABlockedTileHasNoPathExceptForClassAny) {
    grid.at(3, 3).walkable = 0;
    EXPECT_FALSE(astar(grid, {0, 0}, {14, 14}, Tile::Grass, MOVER, 0));
    EXPECT_FALSE(astarPure(grid, {0, 0}, {14, 14}, Tile::Grass));
    EXPECT_TRUE(astar(grid, {0, 0}, {14, 14}, Tile::Any, MOVER, 0));
}

TEST_F(PathSearch, StartOffTheSubGridHasNoPath) {
    EXPECT_FALSE(astar(grid, {-1, 0}, {2, 2}, Tile::Grass, MOVER, 0));
    EXPECT_FALSE(astarPure(grid, {16, 0}, {2, 2}, Tile::Grass));
    EXPECT_FALSE(simpleBFS(grid, {0, 16}, {2, 2}, Tile::Grass, MOVER, -1));
    EXPECT_FALSE(astarMultiGoal(grid, {0, 0}, {}, Tile::Grass));
}

TEST_F(PathSearch, DepthLimitStopsAtTheFirstNodePoppedThirtyStepsOut) {
    sizeMap(16, 4);
    EXPECT_EQ(astar(grid, {0, 2}, {60, 2}, Tile::Grass, MOVER, 30), row(2, 0, 30));
    EXPECT_EQ(astar(grid, {0, 2}, {20, 2}, Tile::Grass, MOVER, 30), row(2, 0, 20)) << "a nearer goal is reached";
    EXPECT_EQ(astar(grid, {0, 2}, {60, 2}, Tile::Grass, MOVER, 0), row(2, 0, 60));
}

TEST_F(PathSearch, MultiGoalSearchStopsAtWhicheverGoalPopsFirstEvenBeyondSubTile511) {
    // Estimated toward the first goal, the search still ends on the second, which lies on its way.
    EXPECT_EQ(astarMultiGoal(grid, {0, 2}, {{12, 2}, {5, 2}}, Tile::Grass), row(2, 0, 5));
    EXPECT_EQ(astarMultiGoal(grid, {0, 2}, {{12, 2}, {3, 14}}, Tile::Grass), row(2, 0, 12));
    sizeMap(130, 2);
    EXPECT_EQ(astarMultiGoal(grid, {500, 3}, {{515, 3}}, Tile::Grass), row(3, 500, 515));
}

// The square a unit strikes from, listed by the unit's own ring of reach, against the same square tested by geometry.
TEST_F(PathSearch, ReachSquareFindsTheSamePathsAndRefusalsAsItsListOnRoughMaps) {
    sizeMap(12, 12);
    std::mt19937 rng(35);
    std::uniform_int_distribution<int> coord(0, SUB_MAP_W - 1), reach(1, 9);
    const Tile classes[] = {Tile::Grass, Tile::Any};
    int found = 0;
    int refused = 0;
    for (int map = 0; map < 6; ++map) {
        roughen(rng);
        for (int query = 0; query < 40; ++query) {
            const V2i start{coord(rng), coord(rng)};
            // Every fourth target stands on the map's edge, so the square runs off the sub-grid.
            const V2i centre = query % 4 == 0 ? V2i{0, coord(rng)} : V2i{coord(rng), coord(rng)};
            const int r = reach(rng);
            const Tile cls = classes[query % 2];
            SCOPED_TRACE(testing::Message() << "map " << map << " query " << query << " reach " << r);
            Unit target;
            target.x = centreOf(centre.x);
            target.y = centreOf(centre.y);
            target.computeNearbyTiles(static_cast<float>(r) / 4.0f);
            const ReachSquare square{centre, r};
            const auto listed = astarMultiGoal(grid, start, target.nearbyTiles, cls);
            EXPECT_EQ(astarToReachSquare(grid, start, square, cls), listed);
            EXPECT_EQ(cannotReachSquare(grid, start, square, cls, true),
                      cannotReachAny(grid, start, target.nearbyTiles, cls, true));
            found += listed.has_value();
            refused += !listed.has_value();
        }
    }
    EXPECT_GT(found, 60) << "the maps must leave enough paths to compare";
    EXPECT_GT(refused, 5) << "and some squares out of reach";
}

TEST_F(PathSearch, ReachSquareHoldsSubTilesUpToTheReachAlongEachAxisButNotItsCentre) {
    const ReachSquare square{{10, 10}, 3};
    const struct {
        V2i at;
        bool inside;
    } cases[] = {
        {{13, 10}, true}, {{14, 10}, false}, {{7, 10}, true},   {{6, 10}, false},  {{10, 13}, true},
        {{10, 14}, false}, {{13, 13}, true}, {{7, 7}, true},    {{6, 7}, false},   {{10, 10}, false},
        {{11, 10}, true},
    };
    for (const auto& c : cases) EXPECT_EQ(square.contains(c.at), c.inside) << c.at;
    EXPECT_FALSE((ReachSquare{{0, 0}, 1}.contains({-2147483647 - 1, 0}))) << "far coordinates do not overflow";
    EXPECT_EQ(astarToReachSquare(grid, {0, 2}, ReachSquare{{9, 2}, 0}, Tile::Grass), std::nullopt)
        << "no reach, no goals";
    const SubTilePath toCorner{{0, 2}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}, {8, 1}};
    EXPECT_EQ(astarToReachSquare(grid, {0, 2}, ReachSquare{{9, 2}, 1}, Tile::Grass), toCorner)
        << "estimated toward the square's first sub-tile, its top-left corner";
}

// A unit already in reach answers its own sub-tile; one step short of it, or on the centre, it must walk a step;
// off the sub-grid it has no path even inside the square.
TEST_F(PathSearch, ReachSquareFromInsideAnswersTheStartAndFromJustOutsideOneStep) {
    const struct {
        const char* name;
        V2i start;
        ReachSquare square;
        size_t steps;  // sub-tiles on the path, 0 for none
    } cases[] = {
        {"on the far edge of reach", {13, 10}, {{10, 10}, 3}, 1},
        {"on the near corner of reach", {7, 7}, {{10, 10}, 3}, 1},
        {"one beyond reach", {14, 10}, {{10, 10}, 3}, 2},
        {"on the centre", {10, 10}, {{10, 10}, 3}, 2},
        {"off the sub-grid inside the square", {-1, 5}, {{0, 5}, 2}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        forgetReachSquarePaths();
        const auto path = astarToReachSquare(grid, c.start, c.square, Tile::Grass);
        ASSERT_EQ(path.has_value(), c.steps > 0);
        if (!path) continue;
        EXPECT_EQ(path->size(), c.steps);
        EXPECT_EQ(path->front(), c.start);
        EXPECT_TRUE(c.square.contains(path->back()));
    }
}

// ---- Repeated reach-square queries: an answer is reused only while the ground it was found on stands ----

// A unit's query asked again after one change of the ground, against the same query with nothing kept. The
// query runs east along tile row 3 through tile (6, 3), the tile most changes touch.
TEST_F(PathSearch, RepeatedReachSquareFollowsEachChangeOfTheGroundItWasFoundOn) {
    const V2i start{2, 14};
    const ReachSquare square{{50, 14}, 2};
    const struct {
        const char* name;
        Tile cls;
        void (*prepare)();
        void (*change)();
        bool moves;  // whether the change gives another answer
    } cases[] = {
        {"a tile on the path blocked", Tile::Grass, [] {}, [] { grid.at(6, 3).walkable = 0; }, true},
        {"a blocked tile opened again", Tile::Grass, [] { grid.at(6, 3).walkable = 0; },
         [] { grid.at(6, 3).walkable = 1; }, true},
        {"a tile on the path raised", Tile::Grass, [] {}, [] { setHeight(6, 3, 1); }, true},
        {"a ramp laid on a raised tile", Tile::Grass, [] { setHeight(6, 3, 1); }, [] { grid.at(6, 3).ramp = 1; },
         true},
        {"a tile beside the start raised", Tile::Grass, [] {}, [] { setHeight(0, 2, 2); }, false},
        {"a tile raised with a ramp of its own", Tile::Grass, [] {}, [] { setHeight(6, 3, 2, true); }, false},
        {"a tile beyond the search blocked", Tile::Grass, [] {}, [] { grid.at(15, 7).walkable = 0; }, false},
        {"a tile on the path blocked, for a class that goes anywhere", Tile::Any, [] {},
         [] { grid.at(6, 3).walkable = 0; }, false},
        {"land on a ship's path", Tile::Water,
         [] {
             for (int y = 0; y < MAP_H; ++y)
                 for (int x = 0; x < MAP_W; ++x) makeWater(x, y);
         },
         [] { grid.at(6, 3).type = Tile::Grass; }, true},
        {"the map a row taller", Tile::Grass, [] {}, [] { sizeMap(16, 9); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sizeMap(16, 8);
        forgetReachSquarePaths();
        c.prepare();
        const auto first = astarToReachSquare(grid, start, square, c.cls);
        ASSERT_TRUE(first);
        EXPECT_EQ(keptReachSquarePaths(), 1u);
        c.change();
        const auto repeated = astarToReachSquare(grid, start, square, c.cls);
        forgetReachSquarePaths();
        const auto fresh = astarToReachSquare(grid, start, square, c.cls);
        EXPECT_EQ(repeated, fresh);
        EXPECT_EQ(fresh != first, c.moves);
    }
}

// The same queries asked again after every change of a rough map, each against itself with nothing kept.
TEST_F(PathSearch, RepeatedReachSquaresAgreeWithFreshSearchesWhileRoughGroundChanges) {
    sizeMap(12, 12);
    std::mt19937 rng(3517);
    roughen(rng);
    std::uniform_int_distribution<int> coord(0, SUB_MAP_W - 1), tile(0, MAP_W - 1), reach(1, 6), kind(0, 3);
    struct Query {
        V2i start;
        ReachSquare square;
        Tile cls;
    };
    std::vector<Query> queries;
    for (int i = 0; i < 12; ++i)
        queries.push_back({{coord(rng), coord(rng)}, {{coord(rng), coord(rng)}, reach(rng)},
                           i % 4 == 3 ? Tile::Any : Tile::Grass});
    forgetReachSquarePaths();
    int found = 0;
    for (int change = 0; change < 80; ++change) {
        TileInstance& t = grid.at(tile(rng), tile(rng));
        const int k = kind(rng);
        if (k == 0) t.walkable = !t.walkable;
        if (k == 1) t.heightLevel = static_cast<uint8_t>((t.heightLevel + 1) % 3);
        if (k == 2) t.ramp = !t.ramp;
        if (k == 3) t.type = t.type == Tile::Water ? Tile::Grass : Tile::Water;
        std::vector<std::optional<SubTilePath>> repeated;
        for (const Query& q : queries) repeated.push_back(astarToReachSquare(grid, q.start, q.square, q.cls));
        forgetReachSquarePaths();
        for (size_t i = 0; i < queries.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "change " << change << " query " << i);
            const Query& q = queries[i];
            const auto fresh = astarToReachSquare(grid, q.start, q.square, q.cls);
            EXPECT_EQ(repeated[i], fresh);
            found += fresh.has_value();
        }
    }
    EXPECT_GT(found, 300) << "the map must leave enough paths to reuse";
}

// Answers kept: one per slot at most, no path longer than the limit, none found over a wide stretch of ground.
TEST_F(PathSearch, RepeatedReachSquaresKeepABoundedNumberOfShortAnswers) {
    const struct {
        const char* name;
        int mapW, mapH;
        V2i start;
        ReachSquare square;
        int wallFrom, wallTo;  // tiles blocked on row 19 between the start and the square, when wallTo >= wallFrom
        size_t steps;          // of the path found, none when 0
        bool kept;
    } cases[] = {
        {"the longest path kept", 80, 1, {0, 1}, {{256, 1}, 1}, 0, -1, REACH_SQUARE_KEPT_STEPS, true},
        {"one step longer", 80, 1, {0, 1}, {{257, 1}, 1}, 0, -1, REACH_SQUARE_KEPT_STEPS + 1, false},
        {"round a short wall", 40, 40, {80, 80}, {{80, 70}, 1}, 17, 23, 0, true},
        {"round a long wall, over a wide stretch of ground", 40, 40, {80, 80}, {{80, 70}, 1}, 2, 37, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sizeMap(c.mapW, c.mapH);
        for (int x = c.wallFrom; x <= c.wallTo; ++x) grid.at(x, 19).walkable = 0;
        forgetReachSquarePaths();
        const auto path = astarToReachSquare(grid, c.start, c.square, Tile::Grass);
        ASSERT_TRUE(path);
        if (c.steps) EXPECT_EQ(path->size(), c.steps);
        else EXPECT_LE(path->size(), REACH_SQUARE_KEPT_STEPS) << "refused for the ground read, not the length";
        EXPECT_EQ(keptReachSquarePaths(), c.kept ? 1u : 0u);
        EXPECT_EQ(astarToReachSquare(grid, c.start, c.square, Tile::Grass), path);
    }

    sizeMap(64, 64);
    forgetReachSquarePaths();
    for (int i = 0; i < static_cast<int>(2 * REACH_SQUARE_SLOTS); ++i) {
        const V2i start{i % 240, i / 240 * 4};
        ASSERT_TRUE(astarToReachSquare(grid, start, {{start.x + 5, start.y + 2}, 1}, Tile::Grass));
    }
    EXPECT_LE(keptReachSquarePaths(), REACH_SQUARE_SLOTS);
    EXPECT_GT(keptReachSquarePaths(), REACH_SQUARE_SLOTS / 2) << "the answers spread over the slots";
    forgetReachSquarePaths();
    EXPECT_EQ(keptReachSquarePaths(), 0u);
}

// A goal walled in by other units' sub-tiles: a pocket of the given radius round the goal, its wall optionally
// broken on the right, the start outside it or inside. Radius 4 holds the largest pocket refused at once, 5 is
// left to the full search.
TEST_F(PathSearch, GoalsInAPocketOfOtherUnitsAreRefusedOnlyWhenTheWallIsWhole) {
    const struct {
        int radius;
        bool gap;
        bool startInside;
        bool reachable;
    } cases[] = {
        {1, false, false, false}, {1, true, false, true},  {3, false, false, false}, {3, false, true, true},
        {4, false, false, false}, {5, false, false, false}, {5, false, true, true},   {9, true, false, true},
    };
    for (const auto& c : cases) {
        sizeMap(12, 12);
        const V2i goal{24, 24};
        for (int y = goal.y - c.radius; y <= goal.y + c.radius; ++y)
            for (int x = goal.x - c.radius; x <= goal.x + c.radius; ++x) {
                const bool onWall = std::max(std::abs(x - goal.x), std::abs(y - goal.y)) == c.radius;
                const bool broken = c.gap && x == goal.x + c.radius && y == goal.y;
                if (onWall && !broken) reserveTile({x, y}, OTHER);
            }
        const V2i start = c.startInside ? V2i{goal.x - c.radius + 1, goal.y} : V2i{2, 3};
        SCOPED_TRACE(testing::Message() << "radius " << c.radius << (c.gap ? " broken" : " whole"));
        const auto unbounded = astar(grid, start, goal, Tile::Grass, MOVER, 0);
        EXPECT_EQ(unbounded, (writtenAStar<ByEstimateThenPlace>(Rules::Unit, start, {goal}, Tile::Grass, MOVER, 0)));
        EXPECT_EQ(unbounded.has_value(), c.reachable);
        EXPECT_EQ(simpleBFS(grid, start, goal, Tile::Grass, MOVER, -1),
                  writtenBFS(start, goal, Tile::Grass, MOVER, -1));
        EXPECT_EQ(simpleBFS(grid, start, goal, Tile::Grass, MOVER, 50),
                  writtenBFS(start, goal, Tile::Grass, MOVER, 50));
    }
}

TEST_F(PathSearch, BreadthFirstTakesTheFirstNeighbourInDirectionOrder) {
    EXPECT_EQ(simpleBFS(grid, {0, 0}, {3, 1}, Tile::Grass, MOVER, -1), (SubTilePath{{0, 0}, {1, 0}, {2, 0}, {3, 1}}));
}

TEST_F(PathSearch, BreadthFirstCapOfFiftyFindsFortyNineStepsAndRefusesFifty) {
    sizeMap(16, 4);
    auto within = simpleBFS(grid, {0, 2}, {49, 2}, Tile::Grass, MOVER, 50);
    ASSERT_TRUE(within);
    EXPECT_EQ(within->size(), 50u);
    EXPECT_EQ(within->back(), (V2i{49, 2}));
    EXPECT_FALSE(simpleBFS(grid, {0, 2}, {50, 2}, Tile::Grass, MOVER, 50));
    auto unlimited = simpleBFS(grid, {0, 2}, {50, 2}, Tile::Grass, MOVER, -1);
    ASSERT_TRUE(unlimited);
    EXPECT_EQ(unlimited->size(), 51u);
}

TEST_F(PathSearch, SearchesFollowTheNeighbourhoodHook) {
    Neighbors = [](const Grid&, const V2i& sub, Tile) { return std::vector<V2i>{{sub.x + 1, sub.y}}; };
    EXPECT_EQ(astar(grid, {0, 0}, {3, 0}, Tile::Grass, MOVER, 0), row(0, 0, 3));
    EXPECT_FALSE(astar(grid, {0, 0}, {3, 1}, Tile::Grass, MOVER, 0));
    EXPECT_FALSE(simpleBFS(grid, {0, 0}, {0, 1}, Tile::Grass, MOVER, -1));
    // Off the sub-grid, one row down and one column left lands on the index of the end of the row above.
    reserveTile({SUB_MAP_W - 1, 0}, OTHER);
    EXPECT_FALSE(simpleBFS(grid, {0, 0}, {-1, 1}, Tile::Grass, MOVER, -1));
    EXPECT_FALSE(astar(grid, {0, 0}, {-1, 1}, Tile::Grass, MOVER, 0));
}

// ---- Free sub-tiles ----

using FreeSubTile = PathWorld;

TEST_F(FreeSubTile, NeverChoosesTheOriginAndTakesOrthogonalNeighboursBeforeDiagonalOnes) {
    EXPECT_EQ(findClosestFreeTile(grid, {5, 5}, {5, 4}, Tile::Grass, MOVER), (V2i{6, 5}));
    reserveTile({5, 5}, OTHER);
    EXPECT_EQ(findClosestFreeTile(grid, {5, 5}, {12, 12}, Tile::Grass, MOVER), (V2i{5, 4}));
    reserveTile({5, 4}, OTHER);
    EXPECT_EQ(findClosestFreeTile(grid, {5, 5}, {12, 12}, Tile::Grass, MOVER), (V2i{6, 5}));
    for (V2i s : {V2i{6, 5}, V2i{5, 6}, V2i{4, 5}}) reserveTile(s, OTHER);
    EXPECT_EQ(findClosestFreeTile(grid, {5, 5}, {12, 12}, Tile::Grass, MOVER), (V2i{6, 4}));
    for (V2i s : {V2i{6, 4}, V2i{6, 6}, V2i{4, 6}, V2i{4, 4}}) reserveTile(s, OTHER);
    EXPECT_EQ(findClosestFreeTile(grid, {5, 5}, {12, 12}, Tile::Grass, MOVER), (V2i{5, 3})) << "second ring";
    reserveTile({5, 3}, MOVER);
    EXPECT_EQ(findClosestFreeTile(grid, {5, 5}, {12, 12}, Tile::Grass, MOVER), (V2i{5, 3})) << "own cell is free";
}

TEST_F(FreeSubTile, KeepsToTheClassOwnTerrainUnlessClassIsAny) {
    grid.at(1, 0).type = Tile::Mud;  // holds (5, 3)
    EXPECT_EQ(findClosestFreeTile(grid, {5, 4}, {12, 12}, Tile::Grass, MOVER), (V2i{6, 4}));
    EXPECT_EQ(findClosestFreeTile(grid, {5, 4}, {12, 12}, Tile::Any, MOVER), (V2i{5, 3}));
}

TEST_F(FreeSubTile, SpreadsUnderABuildingButEndsBesideIt) {
    grid.at(1, 1).walkable = 0;  // sub-tiles 4..7 x 4..7
    EXPECT_EQ(findClosestFreeTile(grid, {5, 5}, {12, 12}, Tile::Grass, MOVER), (V2i{5, 3}));
    EXPECT_EQ(findClosestFreeTile(grid, {5, 5}, {12, 12}, Tile::Any, MOVER), (V2i{5, 4}));
}

TEST_F(FreeSubTile, FallsBackToTheOriginsNeighboursThenToTheOrigin) {
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) grid.at(x, y).type = Tile::Mud;
    grid.at(1, 1).type = Tile::Grass;
    for (int y = 4; y < 8; ++y)
        for (int x = 4; x < 8; ++x) reserveTile({x, y}, OTHER);
    EXPECT_EQ(findClosestFreeTile(grid, {5, 5}, {12, 12}, Tile::Grass, MOVER), (V2i{12, 11}));

    std::fill(reservedTiles.begin(), reservedTiles.end(), OTHER);
    reserveTile({12, 11}, MOVER);  // no effect: the cell is taken
    EXPECT_EQ(findClosestFreeTile(grid, {5, 5}, {12, 12}, Tile::Grass, MOVER), (V2i{12, 12}));
    EXPECT_EQ(findClosestFreeTile(grid, {-1, 5}, {12, 12}, Tile::Grass, MOVER), (V2i{12, 12}));
}

TEST_F(FreeSubTile, AreaTestCoversTheFootprintSquare) {
    EXPECT_TRUE(isAreaFree(MOVER, {0, 0}, "Footman"));
    EXPECT_FALSE(isAreaFree(MOVER, {0, 0}, "Ogre")) << "part of the square is off the grid";
    reserveTile({2, 2}, MOVER);
    EXPECT_TRUE(isAreaFree(MOVER, {1, 1}, "Ogre"));
    reserveTile({0, 2}, OTHER);
    EXPECT_FALSE(isAreaFree(MOVER, {1, 1}, "Ogre"));
    EXPECT_TRUE(isAreaFree(MOVER, {3, 3}, "Footman"));
    EXPECT_THROW(isAreaFree(MOVER, {3, 3}, "Dragon"), std::out_of_range);
}

// ---- Spawn places ----

struct SpawnTile : PathWorld {
    Building barracks;
    Unit recruit;
    void SetUp() override {
        PathWorld::SetUp();
        barracks.x = 1;
        barracks.y = 1;
        barracks.computeNearbyTiles();
        recruit.walkable = Tile::Grass;
    }
};

TEST_F(SpawnTile, FirstWalkableRingSubTileOrTheFirstNearestTheRallyPoint) {
    EXPECT_EQ(findSpawnTile(barracks, grid, recruit), (V2i{3, 3}));
    grid.at(0, 0).walkable = 0;
    EXPECT_EQ(findSpawnTile(barracks, grid, recruit), (V2i{4, 3}));
    barracks.hasRallyPoint = true;
    barracks.rallyPoint = {10, 6};
    EXPECT_EQ(findSpawnTile(barracks, grid, recruit), (V2i{8, 6}));
    barracks.rallyPoint = {5, 5};  // (5, 3) and (3, 5) both lie 2 away
    EXPECT_EQ(findSpawnTile(barracks, grid, recruit), (V2i{5, 3}));
}

TEST_F(SpawnTile, RingOffTheSubGridIsSkippedEvenWhereItsTileRoundsOntoTheMap) {
    barracks.x = 0;
    barracks.y = 0;
    barracks.computeNearbyTiles();
    EXPECT_EQ(findSpawnTile(barracks, grid, recruit), (V2i{0, 4}));
}

TEST_F(SpawnTile, NoWalkableRingGivesTheTopLeftAndNoRingTheCentre) {
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) grid.at(x, y).walkable = 0;
    EXPECT_EQ(findSpawnTile(barracks, grid, recruit), (V2i{4, 4}));
    recruit.walkable = Tile::Any;
    EXPECT_EQ(findSpawnTile(barracks, grid, recruit), (V2i{3, 3}));

    barracks.nearbyTiles.clear();
    barracks.wTiles = 2;
    barracks.hTiles = 3;
    EXPECT_EQ(findSpawnTile(barracks, grid, recruit), (V2i{8, 10}));
}

}  // namespace
