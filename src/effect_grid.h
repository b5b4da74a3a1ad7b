// Area effects provided by buildings: which effect tags cover each tile.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "utils.h"

struct TileEffect {
    std::unordered_set<std::string> tags;
};

// Tags are not counted: removing one area erases its tag also where another area overlaps.
struct EffectGrid {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<std::vector<TileEffect>> cells;  // cells[y][x]

    EffectGrid() = default;
    EffectGrid(int w, int h);

    // The disc holds the tiles within radius of center, boundary included, clipped to the grid.
    void addEffectArea(const std::string& tag, const V2i& center, int radius);
    void removeEffectArea(const std::string& tag, const V2i& center, int radius);
    bool hasTag(const V2i& tile, const std::string& tag) const;
    // Empties every cell; the size stays.
    void clear();

  private:
    template <typename Visit>
    void forEachCellInDisc(const V2i& center, int radius, Visit visit);
};

extern EffectGrid effectGrid;
