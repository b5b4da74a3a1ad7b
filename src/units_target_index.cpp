// Units: every player's listed units sorted into square areas, so a target scan visits only the units near it.
#include "units_target_index.h"

#include <algorithm>

#include "config.h"
#include "map.h"

namespace {

// What the areas were made for; when any of it changes they are made afresh.
struct Layout {
    const Unit* unitData = nullptr;
    size_t unitCount = 0;
    int subW = 0;
    int subH = 0;
    int subSize = 0;
    bool operator==(const Layout& o) const {
        return unitData == o.unitData && unitCount == o.unitCount && subW == o.subW && subH == o.subH &&
               subSize == o.subSize;
    }
};

Layout currentLayout() { return {units.data(), units.size(), SUB_MAP_W, SUB_MAP_H, SUB_TILE_SIZE}; }

struct TargetIndex {
    bool open = false;
    Layout layout;
    std::vector<int> idAtPlace;  // the registry the places refer to
    std::vector<TargetAreas> players;

    void restart() {
        layout = currentLayout();
        idAtPlace.resize(units.size());
        for (size_t place = 0; place < units.size(); ++place) idAtPlace[place] = units[place].id;
        players.clear();
    }
};

TargetIndex targetIndex;

int areaOf(const TargetAreas& t, const Unit& unit) {
    const V2i sub = worldToSubTile(unit.x, unit.y);
    return sub.y / TARGET_AREA_SPAN * t.columns + sub.x / TARGET_AREA_SPAN;
}

// The area's bit set or cleared after its entries have changed.
void markOccupancy(TargetAreas& t, size_t area) {
    const uint64_t bit = uint64_t{1} << (area % 64);
    if (t.areas[area].empty())
        t.occupied[area / 64] &= ~bit;
    else
        t.occupied[area / 64] |= bit;
}

void fill(TargetAreas& t, const Player& player) {
    t.player = &player;
    t.listData = player.unitIds.data();
    t.listSize = player.unitIds.size();
    t.columns = (std::max(SUB_MAP_W, 1) + TARGET_AREA_SPAN - 1) / TARGET_AREA_SPAN;
    t.rows = (std::max(SUB_MAP_H, 1) + TARGET_AREA_SPAN - 1) / TARGET_AREA_SPAN;
    // Emptied rather than freed: the areas are made afresh whenever a list changes.
    t.areas.resize(static_cast<size_t>(t.columns) * static_cast<size_t>(t.rows));
    for (auto& area : t.areas) area.clear();
    t.workersIn.assign(t.areas.size(), 0);
    t.workers = 0;
    t.occupied.assign((t.areas.size() + 63) / 64, 0);
    t.byPlace.assign(units.size(), TargetAreas::Placed{});
    for (int id : player.unitIds) {
        const Unit* unit = id == -1 ? nullptr : getUnitById(id);
        if (!unit) continue;
        const size_t place = static_cast<size_t>(unit - units.data());
        if (t.byPlace[place].area != -1) continue;  // listed twice
        const int area = areaOf(t, *unit);
        t.byPlace[place] = {area, {unit->x, unit->y}};
        t.areas[static_cast<size_t>(area)].push_back({id, unit->worker, place});
        t.workersIn[static_cast<size_t>(area)] += unit->worker;
        t.workers += unit->worker;
        markOccupancy(t, static_cast<size_t>(area));
    }
}

void moveToArea(TargetAreas& t, size_t place, int area) {
    std::vector<IndexedUnit>& from = t.areas[static_cast<size_t>(t.byPlace[place].area)];
    const auto entry = std::find_if(from.begin(), from.end(), [&](const IndexedUnit& e) { return e.place == place; });
    const IndexedUnit moved = *entry;
    *entry = from.back();
    from.pop_back();
    t.areas[static_cast<size_t>(area)].push_back(moved);
    t.workersIn[static_cast<size_t>(t.byPlace[place].area)] -= moved.worker;
    t.workersIn[static_cast<size_t>(area)] += moved.worker;
    markOccupancy(t, static_cast<size_t>(t.byPlace[place].area));
    markOccupancy(t, static_cast<size_t>(area));
    t.byPlace[place].area = area;
}

// The unit at the place into its area in every player's areas that list it. The area is a function of the
// position alone, so a unit still where it was placed keeps it; every player's areas share one grid, so it is
// worked out once. Inline, as every unit's turn asks it.
inline void followPlace(std::vector<TargetAreas>& players, size_t place) {
    const Unit& unit = units[place];
    int area = -1;
    for (TargetAreas& t : players) {
        TargetAreas::Placed& entry = t.byPlace[place];
        const int32_t at = entry.area;
        if (at == -1) continue;
        SDL_FPoint& placed = entry.at;
        if (placed.x == unit.x && placed.y == unit.y) continue;
        if (area == -1) area = areaOf(t, unit);
        placed = {unit.x, unit.y};
        if (area != at) moveToArea(t, place, area);
    }
}

bool listUnchanged(const TargetAreas& t) {
    return t.listData == t.player->unitIds.data() && t.listSize == t.player->unitIds.size();
}

bool isPlayer(const Player* p) {
    return std::any_of(players.begin(), players.end(), [&](const auto& q) { return q.get() == p; });
}

// Where each registry place from the first closed one on goes once the closed places are gone, SIZE_MAX for a
// closed one: made once per batch, as every player's entries after the first gap ask, and a big battle closes
// many places in one tick.
class PlacesAfterRemovals {
public:
    PlacesAfterRemovals(const std::vector<size_t>& closed, size_t count) : first(closed.front()) {
        moved.reserve(count - first);
        size_t next = 0;
        for (size_t place = first; place < count; ++place) {
            if (next < closed.size() && closed[next] == place) {
                moved.push_back(SIZE_MAX);
                ++next;
            } else {
                moved.push_back(place - next);
            }
        }
    }
    size_t operator()(size_t place) const { return place < first ? place : moved[place - first]; }
    size_t firstClosed() const { return first; }

private:
    size_t first;
    std::vector<size_t> moved;
};

// The areas without the units at the closed places, every other entry at its new place; the list lost their ids.
// Only the areas that hold a unit at or after the first closed place can change: they are found through those
// places rather than a sweep of the map.
void followRemovals(TargetAreas& t, const std::vector<size_t>& closed, const PlacesAfterRemovals& after) {
    std::vector<uint8_t> visited(t.areas.size(), 0);
    for (size_t place = after.firstClosed(); place < t.byPlace.size(); ++place) {
        const int32_t area = t.byPlace[place].area;
        if (area == -1 || visited[static_cast<size_t>(area)]) continue;
        visited[static_cast<size_t>(area)] = 1;
        std::vector<IndexedUnit>& entries = t.areas[static_cast<size_t>(area)];
        size_t kept = 0;
        for (const IndexedUnit& e : entries) {
            const size_t moved = after(e.place);
            if (moved != SIZE_MAX) {
                entries[kept++] = {e.id, e.worker, moved};
            } else {
                t.workersIn[static_cast<size_t>(area)] -= e.worker;
                t.workers -= e.worker;
            }
        }
        entries.resize(kept);
        markOccupancy(t, static_cast<size_t>(area));
    }
    closeGaps(t.byPlace, closed);
    t.listData = t.player->unitIds.data();
    t.listSize = t.player->unitIds.size();
}

}  // namespace

TargetIndexRemovals::TargetIndexRemovals() {
    held = targetIndex.layout == currentLayout();
    for (const TargetAreas& t : targetIndex.players) listsHeld.push_back(isPlayer(t.player) && listUnchanged(t));
}

void TargetIndexRemovals::follow(const std::vector<size_t>& places) {
    if (places.empty()) return;
    const size_t before = units.size() + places.size();
    if (!held || targetIndex.idAtPlace.size() != before) return;
    const PlacesAfterRemovals after(places, before);
    std::vector<TargetAreas> kept;
    for (size_t i = 0; i < targetIndex.players.size(); ++i) {
        TargetAreas& t = targetIndex.players[i];
        if (!listsHeld[i] || t.byPlace.size() != before) continue;
        followRemovals(t, places, after);
        kept.push_back(std::move(t));
    }
    targetIndex.players = std::move(kept);
    closeGaps(targetIndex.idAtPlace, places);
    targetIndex.layout = currentLayout();
}

bool TargetIndexPass::open() {
    targetIndex.open = true;
    if (!(targetIndex.layout == currentLayout())) {
        targetIndex.restart();
        return false;
    }
    // The areas of a player whose list has changed are made afresh when first asked for.
    std::vector<TargetAreas> kept;
    for (TargetAreas& t : targetIndex.players)
        if (isPlayer(t.player) && listUnchanged(t)) kept.push_back(std::move(t));
    targetIndex.players = std::move(kept);
    return true;
}

void TargetIndexPass::follow(size_t place) {
    if (!following) return;
    if (targetIndex.idAtPlace[place] != units[place].id) {
        targetIndex.restart();
        following = false;
        return;
    }
    followPlace(targetIndex.players, place);
}

TargetIndexPass::~TargetIndexPass() { targetIndex.open = false; }

void forgetTargetIndex() {
    targetIndex.layout = Layout{};
    targetIndex.idAtPlace.clear();
    targetIndex.players.clear();
}

void followUnitMove(const Unit& unit) {
    if (!targetIndex.open || !(targetIndex.layout == currentLayout())) return;
    if (&unit < units.data() || &unit >= units.data() + units.size()) return;
    followPlace(targetIndex.players, static_cast<size_t>(&unit - units.data()));
}

const TargetAreas* targetAreasOf(const Player& player) {
    if (!targetIndex.open) return nullptr;
    // Units added during the tick move the registry; the places are then taken afresh.
    if (!(targetIndex.layout == currentLayout())) targetIndex.restart();
    auto t = std::find_if(targetIndex.players.begin(), targetIndex.players.end(),
                          [&](const TargetAreas& a) { return a.player == &player; });
    if (t == targetIndex.players.end()) {
        t = targetIndex.players.insert(targetIndex.players.end(), TargetAreas{});
        fill(*t, player);
    } else if (!listUnchanged(*t)) {
        fill(*t, player);
    }
    return &*t;
}
