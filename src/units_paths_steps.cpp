// Units: the neighbours, height borders and step tables that the path searches step by.
#include "units_paths_steps.h"

#include "units_regions.h"

namespace pathsearch {

Neighbours neighboursOf(const Grid& grid, V2i sub, Tile movementClass) {
    Neighbours out;
    if (!usesBuiltInNeighbours()) {
        for (V2i n : Neighbors(grid, sub, movementClass))
            if (out.count < 8) out.at[out.count++] = n;
        return out;
    }
    for (const V2i& d : DIRECTIONS) {
        const V2i n{sub.x + d.x, sub.y + d.y};
        if (n.x < 0 || n.y < 0 || n.x >= MAP_W * 4 || n.y >= MAP_H * 4) continue;
        if (canEnter(grid.at(n.x >> 2, n.y >> 2), movementClass)) out.at[out.count++] = n;
    }
    return out;
}

bool refusedAtOnce(const Grid& grid, V2i start, V2i goal, Tile movementClass) {
    return usesBuiltInNeighbours() && cannotReach(grid, start, goal, movementClass, movementClass != Tile::Any, false);
}

const SubTileSteps& subTileSteps() {
    static const SubTileSteps table = [] {
        SubTileSteps t{};
        for (int place = 0; place < 16; ++place) {
            for (int mask = 0; mask < (1 << (OWN_TILE_BIT + 1)); ++mask) {
                uint8_t steps = 0;
                for (int k = 0; k < 8; ++k) {
                    const int ex = (place & 3) + DIRECTIONS[k].x;
                    const int ey = (place >> 2) + DIRECTIONS[k].y;
                    const V2i over{ex < 0 ? -1 : ex > 3 ? 1 : 0, ey < 0 ? -1 : ey > 3 ? 1 : 0};
                    int bit = OWN_TILE_BIT;
                    for (int j = 0; j < 8 && !(over == V2i{0, 0}); ++j)
                        if (DIRECTIONS[j] == over) bit = j;
                    if (mask >> bit & 1) steps = static_cast<uint8_t>(steps | 1 << k);
                }
                t[static_cast<size_t>(place)][static_cast<size_t>(mask)] = steps;
            }
        }
        return t;
    }();
    return table;
}

}  // namespace pathsearch
