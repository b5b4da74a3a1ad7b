// The built-in battle on "highlands": each army stands whole on free ground of its own half of the map.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <tuple>

#include "session_fixture.h"

namespace {

using BattlePlacement = ShippedGame;

TEST_F(BattlePlacement, EachSideFieldsEveryUnitOnItsOwnHalfUpToTwoThousand) {
    ASSERT_TRUE(contentLoaded);
    basePath = std::string(CORVALE_SOURCE_DIR) + "/";
    for (const int perSide : {1, 200, 1600, 2000}) {
        SCOPED_TRACE(testing::Message() << perSide << " per side");
        reset_game_state();
        headless::Script script;
        ASSERT_TRUE(headless::startBattle(perSide, script));
        const std::vector<Command> orders = script(0);
        EXPECT_EQ(orders.size(), static_cast<size_t>(2 * perSide)) << "one attack-move per unit";
        int counted[3] = {0, 0, 0};
        std::set<std::pair<int, int>> held;
        for (const Unit& u : units) {
            ++counted[u.playerId];
            const V2i tile = u.getTile();
            EXPECT_EQ(tile.x < MAP_W / 2, u.playerId == 1) << "unit " << u.id << " stands on its own half";
            EXPECT_TRUE(grid.walkable(tile.x, tile.y, Tile::Grass));
            EXPECT_EQ(isSubTileReserved(u.occupiedSubTile), u.id);
            EXPECT_TRUE(held.insert({u.occupiedSubTile.x, u.occupiedSubTile.y}).second) << "one unit per sub-tile";
        }
        EXPECT_EQ(counted[1], perSide);
        EXPECT_EQ(counted[2], perSide);
        // Each army stands ring by ring round its centre: no free ground of its half lies nearer the centre than
        // its farthest unit.
        const struct {
            int player;
            const char* type;
            V2i centre;
            int xBegin, xEnd;
        } sides[] = {{1, "Marine", {MAP_W * 3 / 8, MAP_H * 3 / 8}, 0, MAP_W / 2},
                     {2, "Grunt", {MAP_W * 5 / 8, MAP_H * 3 / 8}, MAP_W / 2, MAP_W}};
        for (const auto& side : sides) {
            const auto ring = [&](V2i tile) {
                return std::max(std::abs(tile.x - side.centre.x), std::abs(tile.y - side.centre.y));
            };
            int farthest = 0;
            for (const Unit& u : units)
                if (u.playerId == side.player) farthest = std::max(farthest, ring(u.getTile()));
            int leftFree = 0;
            for (int y = 0; y < MAP_H; ++y)
                for (int x = side.xBegin; x < side.xEnd; ++x)
                    leftFree += ring({x, y}) < farthest && grid.walkable(x, y, Tile::Grass) &&
                                isAreaFree(nextAttackableId, {x * SUBDIVISIONS + 1, y * SUBDIVISIONS + 1}, side.type);
            EXPECT_EQ(leftFree, 0) << "player " << side.player << " out to ring " << farthest;
        }
    }
}

}  // namespace
