// The tile grid of the current map.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class Tile : int32_t {
    None = 0,
    Grass = 1,
    Drygrass = 2,
    Mud = 3,
    Water = 4,
    Wall = 5,
    Rock = 6,
    Shore = 7,
    Any = 8,
};

struct TileDecal {
    std::string spriteKey;
    float offsetX = 0.0f;
    float offsetY = 0.0f;
    float rotation = 0.0f;
    float scale = 1.0f;
};

struct TileInstance {
    Tile type = Tile::None;
    uint8_t variant = 0;
    uint8_t heightLevel = 0;
    uint8_t walkable = 1;
    uint8_t ramp = 0;
    std::vector<TileDecal> decals;
};

// Off-map lookups answer this cell; note its walkable flag is 1, so bounds are tested separately.
extern const TileInstance invalidTile;

struct Grid {
    std::vector<TileInstance> tiles;

    const TileInstance& at(int x, int y) const;
    TileInstance& at(int x, int y);
    // No bounds test: the caller passes a cell on the map.
    void set(int x, int y, Tile type, uint8_t variant, uint8_t height);
    bool walkable(int x, int y, Tile movementClass) const;
};

extern Grid grid;

Tile typeFromString(const std::string& name);
