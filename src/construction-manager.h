// The construction manager: which worker builds which site, builders walking in, construction advancing with
// the builder inside, completion, and the cancelling of a site.
#pragma once

#include <map>

#include "buildings.h"
#include "map.h"

// Builder id of a site that has none.
constexpr int NO_BUILDER = -1;

class ConstructionManager {
public:
    // False, with one error line, when the site already has a living builder; otherwise the builder leaves any
    // other site it was building (which keeps its entry without a builder) and is recorded here.
    bool assign(int builderUnitId, int buildingId);
    // Lets the builder out beside the finished building and forgets the site.
    void finishConstruction(int buildingId, Grid& grid);
    // NO_BUILDER when the site has no entry or no builder; a builder that has died is still named.
    int builderOf(int buildingId) const;
    void forget(int buildingId);
    void reset();
    // Building id -> builder id; ordered by building id so every peer walks the sites alike.
    const std::map<int, int>& entries() const { return builders_; }

private:
    std::map<int, int> builders_;
};

extern ConstructionManager constructionManager;

// Per tick: builders that reached their site go inside, sites with their builder inside advance by dt, and sites
// that pass their build time complete. A builder whose site has vanished is let out again.
void updateConstructionBuildings(float dt, Grid& grid);
void resetConstructionManager();

// The StopConstruction order: lets the builder out, queues the site for removal, frees its footprint and gives
// the owner back the refunded part of the cost. A completed building is not a site: false, nothing changed.
bool cancelConstruction(Building& building, Grid& grid);
