// Units: the answers the reach-square search keeps for a unit that asks again, and what each was found with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "map.h"
#include "units.h"
#include "units_paths_steps.h"

namespace pathsearch {

struct ReachQuery {
    V2i start;
    V2i centre;
    int reach = 0;
    Tile movementClass = Tile::None;
    int mapW = 0;
    int mapH = 0;
    int subMapW = 0;
    int subMapH = 0;
    const Grid* grid = nullptr;  // which grid, though its masks are checked all the same

    bool operator==(const ReachQuery& o) const;
    uint64_t hash() const;
};

// A tile whose steps a search worked out, and the mask it found.
struct WorkedTile {
    uint32_t index = 0;
    uint16_t steps = 0;
};

// One answer and the masks it was found with.
struct KeptReach {
    uint32_t generation = 0;  // kept by that generation of the cache; older ones are empty
    ReachQuery query;
    SubTilePath path;
    std::vector<WorkedTile> worked;
};

// Direct-mapped, one answer per slot: a new answer takes the slot of its query's hash from the one held. Long
// answers, and those found over more tiles than a battle's repeated ones, are not kept: the size stays bounded.
class ReachAnswers {
public:
    KeptReach& slotOf(const ReachQuery& query);
    bool holds(const KeptReach& slot, const ReachQuery& query) const;
    void keep(KeptReach& slot, const ReachQuery& query, const SubTilePath& path, const std::vector<uint32_t>& tiles,
              const TileSteps* known);
    void forgetAll();
    size_t kept() const;

private:
    std::vector<KeptReach> slots;
    uint32_t generation = 1;
};

}  // namespace pathsearch
