// Terrain transitions: the pieces a tile lays, chosen from its neighbours on small grids.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "renderer_iso_terrain.h"
#include "static_world_fixture.h"

namespace {

struct TerrainCase {
    const char* name;
    std::vector<std::string> rows;  // G grass, D dry grass, M mud, W water, R rock; the tile tested is (1, 1)
    std::vector<Sprite*> pieces;
};

struct Terrain : StaticWorld {
    void paint(const std::vector<std::string>& rows) {
        setMapSize(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
        const std::string letters = "GDMWR";
        const Tile types[] = {Tile::Grass, Tile::Drygrass, Tile::Mud, Tile::Water, Tile::Rock};
        for (int y = 0; y < MAP_H; ++y)
            for (int x = 0; x < MAP_W; ++x) grid.at(x, y).type = types[letters.find(rows[y][x])];
    }
    // Height levels row by row ('0'-'9'), '/' a ramp one level up.
    void raise(const std::vector<std::string>& rows) {
        for (int y = 0; y < MAP_H; ++y)
            for (int x = 0; x < MAP_W; ++x) {
                const char c = rows[y][x];
                grid.at(x, y).ramp = c == '/';
                grid.at(x, y).heightLevel = static_cast<uint8_t>(c == '/' ? 1 : c - '0');
            }
    }
};

TEST_F(Terrain, TransitionTilesLayTheirPiecesInOrder) {
    const TerrainCase cases[] = {
        {"dry grass alone", {"DDD", "DDD", "DDD"}, {&drygrass_F}},
        {"dry grass, grass N and W", {"GGD", "GDD", "DDD"}, {&drygrass_F, &marsSprite1, &drygrass_NW}},
        {"dry grass, grass NE only", {"DDG", "DDD", "DDD"}, {&drygrass_F, &marsSprite1, &drygrass_IE}},
        {"mud, rock N and grass E", {"GRG", "MMG", "MMM"}, {&mud_F, &mud_NE}},
        {"water alone", {"WWW", "WWW", "WWW"}, {&water_F}},
        {"water between grass N and S", {"GGG", "WWW", "GGG"}, {&marsSprite1, &water_F}},
        {"water, grass W", {"GWW", "GWW", "GWW"}, {&marsSprite1, &water_W}},
        {"grass", {"GGG", "GGG", "GGG"}, {}},
    };
    for (const TerrainCase& c : cases) {
        paint(c.rows);
        EXPECT_EQ(transitionPieces(grid, 1, 1), c.pieces) << c.name;
    }
}

struct RampCase {
    const char* name;
    std::vector<std::string> heights;
    V2i tile;
    Sprite* piece;
};

TEST_F(Terrain, CliffsAndSlopesFollowTheLowerNeighbour) {
    const RampCase cases[] = {
        {"flat ground", {"000", "000", "000"}, {1, 1}, nullptr},
        {"plateau middle", {"111", "111", "111"}, {1, 1}, &cliff_M},
        {"S and E lower", {"111", "110", "100"}, {1, 1}, &cliff_S_V},
        {"S lower", {"111", "111", "000"}, {1, 1}, &cliff_SW},
        {"E lower", {"110", "110", "110"}, {1, 1}, &cliff_SE},
        {"N and W lower", {"000", "011", "011"}, {1, 1}, &cliff_N_V},
        {"N lower", {"000", "111", "111"}, {1, 1}, &cliff_NE},
        {"W lower", {"011", "011", "011"}, {1, 1}, &cliff_NW},
        {"west border", {"111", "111", "111"}, {0, 1}, &cliff_NW},
        {"ramp at west border", {"111", "/11", "111"}, {0, 1}, &slopeSW_1},
        {"ramp S and E lower", {"111", "1/0", "100"}, {1, 1}, &slopeSW_1},
        {"ramp S lower beside a ramp W", {"111", "//1", "101"}, {1, 1}, &slopeSW_2},
        {"ramp E lower", {"111", "1/0", "111"}, {1, 1}, &slopeSE_2},
        {"ramp E lower below a ramp N", {"1/1", "1/0", "111"}, {1, 1}, &slopeSE_1},
    };
    for (const RampCase& c : cases) {
        paint({"GGG", "GGG", "GGG"});
        raise(c.heights);
        EXPECT_EQ(rampPiece(grid, c.tile.x, c.tile.y).sprite, c.piece) << c.name;
    }
}

}  // namespace
