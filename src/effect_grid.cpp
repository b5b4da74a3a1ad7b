// Area effects provided by buildings: which effect tags cover each tile.
#include "effect_grid.h"

#include <algorithm>

EffectGrid effectGrid;

EffectGrid::EffectGrid(int w, int h)
    : width(std::max(w, 0)), height(std::max(h, 0)), cells(height, std::vector<TileEffect>(width)) {}

template <typename Visit>
void EffectGrid::forEachCellInDisc(const V2i& center, int radius, Visit visit) {
    if (radius < 0) return;
    // Rows and columns are clipped to the grid first and distances taken in 64 bits,
    // so a huge radius from the catalogue neither overflows nor walks empty space.
    const int64_t cx = center.x, cy = center.y, r = radius;
    const int64_t y0 = std::max<int64_t>(cy - r, 0), y1 = std::min<int64_t>(cy + r, int64_t{height} - 1);
    const int64_t x0 = std::max<int64_t>(cx - r, 0), x1 = std::min<int64_t>(cx + r, int64_t{width} - 1);
    for (int64_t y = y0; y <= y1; ++y)
        for (int64_t x = x0; x <= x1; ++x)
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) visit(cells[y][x]);
}

void EffectGrid::addEffectArea(const std::string& tag, const V2i& center, int radius) {
    forEachCellInDisc(center, radius, [&tag](TileEffect& cell) { cell.tags.insert(tag); });
}

void EffectGrid::removeEffectArea(const std::string& tag, const V2i& center, int radius) {
    forEachCellInDisc(center, radius, [&tag](TileEffect& cell) { cell.tags.erase(tag); });
}

bool EffectGrid::hasTag(const V2i& tile, const std::string& tag) const {
    if (tile.x < 0 || tile.x >= width || tile.y < 0 || tile.y >= height) return false;
    return cells[tile.y][tile.x].tags.count(tag) != 0;
}

void EffectGrid::clear() {
    for (auto& row : cells)
        for (TileEffect& cell : row) cell.tags.clear();
}
