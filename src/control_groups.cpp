// The ten control groups of the local player: stored selections of units and buildings.
#include "control_groups.h"

#include <cstddef>

ControlGroupManager controlGroupManager;

static bool isGroupIndex(int n) { return n >= 0 && n < CONTROL_GROUP_COUNT; }

const std::vector<ObjectID>& ControlGroupManager::group(int n) const {
    static const std::vector<ObjectID> none;
    return isGroupIndex(n) ? groups_[static_cast<size_t>(n)] : none;
}

void ControlGroupManager::store(int n, const std::vector<ObjectID>& entries) {
    if (isGroupIndex(n)) groups_[static_cast<size_t>(n)] = entries;
}

void ControlGroupManager::clearAll() {
    for (auto& g : groups_) g.clear();
}
