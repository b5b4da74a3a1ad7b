// A resizable open grass map for the path searches, walk orders and nearest-place searches.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "world_fixture.h"

inline std::ostream& operator<<(std::ostream& os, const V2i& v) { return os << "(" << v.x << ", " << v.y << ")"; }

struct PathWorld : SmallWorld {
    void SetUp() override {
        SmallWorld::SetUp();
        Neighbors = neighbors8;
    }

    void TearDown() override {
        Neighbors = nullptr;
        SmallWorld::TearDown();
    }

    static void setHeight(int x, int y, int level, bool ramp = false) {
        grid.at(x, y).heightLevel = static_cast<uint8_t>(level);
        grid.at(x, y).ramp = ramp ? 1 : 0;
    }

    static void makeWater(int x, int y) {
        grid.at(x, y).type = Tile::Water;
        grid.at(x, y).walkable = 0;
    }

    static std::vector<V2i> row(int y, int fromX, int toX) {
        std::vector<V2i> line;
        for (int x = fromX; x <= toX; ++x) line.push_back({x, y});
        return line;
    }
};
