// The ten control groups of the local player: stored selections of units and buildings.
#pragma once

#include <array>
#include <vector>

enum class ObjectKind : int { Unit = 0, Building = 1 };

struct ObjectID {
    int id = -1;
    ObjectKind kind = ObjectKind::Unit;
    bool operator==(const ObjectID& o) const { return id == o.id && kind == o.kind; }
};

constexpr int CONTROL_GROUP_COUNT = 10;

class ControlGroupManager {
public:
    // Group n, bound to the digit key n; an index outside 0-9 reads as an empty group.
    const std::vector<ObjectID>& group(int n) const;
    // Replaces group n with the given entries, in their order; an index outside 0-9 changes nothing.
    void store(int n, const std::vector<ObjectID>& entries);
    void clearAll();

private:
    std::array<std::vector<ObjectID>, CONTROL_GROUP_COUNT> groups_;
};

extern ControlGroupManager controlGroupManager;
