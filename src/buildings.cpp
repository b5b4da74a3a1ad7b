// Buildings: the building record and the live buildings.
#include "buildings.h"

// ---- Building record ----

#include "config.h"

std::vector<Building> buildings;

void Building::takeDamage(int amount) { hp = hpAfterDamage(hp, maxHp, amount); }

SDL_FPoint Building::getWorldPos() const {
    return {static_cast<float>(x * TILE_SIZE) + static_cast<float>(wTiles * TILE_SIZE) * 0.5f,
            static_cast<float>(y * TILE_SIZE) + static_cast<float>(hTiles * TILE_SIZE) * 0.5f};
}

void Building::computeNearbyTiles() {
    nearbyTiles.clear();
    int bx = x * 4;
    int by = y * 4;
    int w = footprintSubTiles(wTiles, 4);
    int h = footprintSubTiles(hTiles, 4);
    for (int i = bx - 1; i <= bx + w; ++i) nearbyTiles.push_back({i, by - 1});
    for (int i = bx - 1; i <= bx + w; ++i) nearbyTiles.push_back({i, by + h});
    for (int j = by; j < by + h; ++j) nearbyTiles.push_back({bx - 1, j});
    for (int j = by; j < by + h; ++j) nearbyTiles.push_back({bx + w, j});
}

void Building::computeNearbyTiles(float range) {
    nearbyTiles.clear();
    V2i tile = getTile();
    int r = reachInSubTiles(range);
    int x0 = tile.x * SUBDIVISIONS;
    int y0 = tile.y * SUBDIVISIONS;
    int x1 = x0 + footprintSubTiles(wTiles, SUBDIVISIONS) - 1;
    int y1 = y0 + footprintSubTiles(hTiles, SUBDIVISIONS) - 1;
    for (int sx = x0 - r; sx <= x1 + r; ++sx)
        for (int sy = y0 - r; sy <= y1 + r; ++sy)
            if (sx < x0 || sx > x1 || sy < y0 || sy > y1) nearbyTiles.push_back({sx, sy});
}
