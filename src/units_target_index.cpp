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
    bool placesHold() const {
        if (!(layout == currentLayout())) return false;
        for (size_t place = 0; place < units.size(); ++place)
            if (idAtPlace[place] != units[place].id) return false;
        return true;
    }
};

TargetIndex targetIndex;

int areaOf(const TargetAreas& t, const Unit& unit) {
    const V2i sub = worldToSubTile(unit.x, unit.y);
    return sub.y / TARGET_AREA_SPAN * t.columns + sub.x / TARGET_AREA_SPAN;
}

void fill(TargetAreas& t, const Player& player) {
    t.player = &player;
    t.listData = player.unitIds.data();
    t.listSize = player.unitIds.size();
    t.columns = (std::max(SUB_MAP_W, 1) + TARGET_AREA_SPAN - 1) / TARGET_AREA_SPAN;
    t.rows = (std::max(SUB_MAP_H, 1) + TARGET_AREA_SPAN - 1) / TARGET_AREA_SPAN;
    // Emptied rather than freed: the areas are made afresh whenever units die.
    t.areas.resize(static_cast<size_t>(t.columns) * static_cast<size_t>(t.rows));
    for (auto& area : t.areas) area.clear();
    t.areaAtPlace.assign(units.size(), -1);
    for (int id : player.unitIds) {
        const Unit* unit = id == -1 ? nullptr : getUnitById(id);
        if (!unit) continue;
        const size_t place = static_cast<size_t>(unit - units.data());
        if (t.areaAtPlace[place] != -1) continue;  // listed twice
        const int area = areaOf(t, *unit);
        t.areaAtPlace[place] = area;
        t.areas[static_cast<size_t>(area)].push_back({id, place});
    }
}

void moveToArea(TargetAreas& t, size_t place, int area) {
    std::vector<IndexedUnit>& from = t.areas[static_cast<size_t>(t.areaAtPlace[place])];
    const auto entry = std::find_if(from.begin(), from.end(), [&](const IndexedUnit& e) { return e.place == place; });
    const IndexedUnit moved = *entry;
    *entry = from.back();
    from.pop_back();
    t.areas[static_cast<size_t>(area)].push_back(moved);
    t.areaAtPlace[place] = area;
}

void follow(TargetAreas& t, size_t place) {
    if (t.areaAtPlace[place] == -1) return;
    const int area = areaOf(t, units[place]);
    if (area != t.areaAtPlace[place]) moveToArea(t, place, area);
}

bool listUnchanged(const TargetAreas& t) {
    return t.listData == t.player->unitIds.data() && t.listSize == t.player->unitIds.size();
}

bool isPlayer(const Player* p) {
    return std::any_of(players.begin(), players.end(), [&](const auto& q) { return q.get() == p; });
}

}  // namespace

TargetIndexPass::TargetIndexPass() {
    targetIndex.open = true;
    if (!targetIndex.placesHold()) {
        targetIndex.restart();
        return;
    }
    // Between two ticks anything may have moved a unit: every listed unit is put back in its area. The areas of
    // a player whose list has changed are made afresh when first asked for.
    std::vector<TargetAreas> kept;
    for (TargetAreas& t : targetIndex.players) {
        if (!isPlayer(t.player) || !listUnchanged(t)) continue;
        for (size_t place = 0; place < units.size(); ++place) follow(t, place);
        kept.push_back(std::move(t));
    }
    targetIndex.players = std::move(kept);
}

TargetIndexPass::~TargetIndexPass() { targetIndex.open = false; }

void followUnitMove(const Unit& unit) {
    if (!targetIndex.open || !(targetIndex.layout == currentLayout())) return;
    if (&unit < units.data() || &unit >= units.data() + units.size()) return;
    const size_t place = static_cast<size_t>(&unit - units.data());
    for (TargetAreas& t : targetIndex.players) follow(t, place);
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
