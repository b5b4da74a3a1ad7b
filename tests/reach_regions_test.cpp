// Refusals of a reach square at once: the square's tiles are asked in place, the first in the start's region ends.
#include <gtest/gtest.h>

#include <vector>

#include "path_world.h"
#include "units_regions.h"

namespace {

using ReachRegions = PathWorld;

// A 16 by 16 tile map cut in two by a blocked column at tile x = 8; the square about (44, 20) of reach 6 spans
// tiles 9 to 12 across and 3 to 6 down.
TEST_F(ReachRegions, RefusesASquareOnlyWhenNoneOfItsEnterableTilesSharesTheStartsRegion) {
    struct Case {
        const char* name;
        std::vector<V2i> blocked;  // tiles of the square blocked besides the wall
        V2i start;
        bool refused;
    };
    std::vector<V2i> allButLast;
    for (int ty = 3; ty <= 6; ++ty)
        for (int tx = 9; tx <= 12; ++tx)
            if (!(tx == 12 && ty == 6)) allButLast.push_back({tx, ty});
    std::vector<V2i> all = allButLast;
    all.push_back({12, 6});
    const Case cases[] = {
        {"open square, start beside it", {}, {60, 20}, false},
        {"open square, start behind the wall", {}, {4, 20}, true},
        {"only the last tile asked is open", allButLast, {60, 60}, false},
        {"only the last tile asked is open, start behind the wall", allButLast, {4, 20}, true},
        {"every tile blocked", all, {60, 60}, true},
    };
    for (const Case& c : cases) {
        sizeMap(16, 16);
        for (int y = 0; y < MAP_H; ++y) grid.at(8, y).walkable = 0;
        for (const V2i& t : c.blocked) grid.at(t.x, t.y).walkable = 0;
        SCOPED_TRACE(c.name);
        const ReachSquare square{{44, 20}, 6};
        Unit target;
        target.x = 44 * 35.0f + 17.5f;
        target.y = 20 * 35.0f + 17.5f;
        target.computeNearbyTiles(6.0f / 4.0f);
        EXPECT_EQ(cannotReachSquare(grid, c.start, square, Tile::Grass, true, false), c.refused);
        EXPECT_EQ(cannotReachSquare(grid, c.start, square, Tile::Grass, true), c.refused);
        EXPECT_EQ(cannotReachAny(grid, c.start, target.nearbyTiles, Tile::Grass, true), c.refused);
        EXPECT_EQ(astarToReachSquare(grid, c.start, square, Tile::Grass).has_value(), !c.refused);
    }
}

// A wall raised after the labels were made splits the map: the lagging check may answer with a full search for a
// while, never with a wrong refusal, and refuses within a full sweep of the map; a wall taken down is never refused.
TEST_F(ReachRegions, LaggingRefusalsFollowAWallWithinOneSweepAndNeverRefuseWrongly) {
    const ReachSquare square{{44, 20}, 6};
    const V2i start{4, 20};
    constexpr int SWEEP_CALLS = 1024;
    struct Case {
        const char* name;
        bool wallBefore;
        bool wallAfter;
        bool refusedInTheEnd;
    };
    const Case cases[] = {
        {"wall raised", false, true, true},
        {"wall taken down", true, false, false},
        {"wall kept", true, true, true},
        {"open all along", false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sizeMap(16, 16);
        const auto setWall = [](bool up) {
            for (int y = 0; y < MAP_H; ++y) grid.at(8, y).walkable = up ? 0 : 1;
        };
        setWall(c.wallBefore);
        EXPECT_EQ(cannotReachSquare(grid, start, square, Tile::Grass, true), c.wallBefore);
        setWall(c.wallAfter);
        int firstRefusal = -1;
        bool wrongRefusal = false;
        for (int call = 1; call <= SWEEP_CALLS; ++call) {
            const bool refused = cannotReachSquare(grid, start, square, Tile::Grass, true, false);
            wrongRefusal = wrongRefusal || (refused && !c.wallAfter);
            if (refused && firstRefusal == -1) firstRefusal = call;
        }
        EXPECT_FALSE(wrongRefusal);
        EXPECT_EQ(firstRefusal != -1, c.refusedInTheEnd);
        EXPECT_EQ(cannotReachSquare(grid, start, square, Tile::Grass, true), c.wallAfter);
    }
}

}  // namespace
