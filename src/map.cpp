// The tile grid of the current map.
#include "map.h"

#include "config.h"

const TileInstance invalidTile{};
Grid grid;

static bool onMap(int x, int y) { return x >= 0 && y >= 0 && x < MAP_W && y < MAP_H; }

const TileInstance& Grid::at(int x, int y) const {
    if (!onMap(x, y) || tiles.size() < static_cast<size_t>(MAP_W) * MAP_H) return invalidTile;
    return tiles[static_cast<size_t>(y) * MAP_W + x];
}

TileInstance& Grid::at(int x, int y) {
    // Writers never get the sentinel: an off-map write lands in a scratch cell that is reset each time.
    static TileInstance scratch;
    if (!onMap(x, y) || tiles.size() < static_cast<size_t>(MAP_W) * MAP_H) {
        scratch = invalidTile;
        return scratch;
    }
    return tiles[static_cast<size_t>(y) * MAP_W + x];
}

void Grid::set(int x, int y, Tile type, uint8_t variant, uint8_t height) {
    TileInstance& cell = tiles[static_cast<size_t>(y) * MAP_W + x];
    cell.type = type;
    cell.variant = variant;
    cell.heightLevel = height;
    cell.walkable = 1;
    cell.ramp = 0;
    cell.decals.clear();
}

bool Grid::walkable(int x, int y, Tile movementClass) const {
    if (!onMap(x, y)) return false;
    if (movementClass == Tile::Any) return true;
    return at(x, y).walkable != 0;
}

Tile typeFromString(const std::string& name) {
    static const char* const names[] = {"None", "Grass", "Drygrass", "Mud", "Water", "Wall", "Rock", "Shore", "Any"};
    for (int i = 1; i <= 8; ++i)
        if (name == names[i]) return static_cast<Tile>(i);
    return Tile::None;
}
