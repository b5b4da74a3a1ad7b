// Units: every player's listed units sorted into square areas, so a target scan visits only the units near it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "player.h"
#include "units.h"

// Sub-tiles along each side of one area.
constexpr int TARGET_AREA_SPAN = 8;

struct IndexedUnit {
    int id;
    bool worker;   // a unit's worker mark is set when it is made and kept for its life
    size_t place;  // where the unit stood in the registry when indexed
};

// One player's listed units by area of the sub-tile grid.
struct TargetAreas {
    const Player* player = nullptr;
    const int* listData = nullptr;  // the list the areas were made from
    size_t listSize = 0;
    int columns = 0;
    int rows = 0;
    std::vector<std::vector<IndexedUnit>> areas;
    std::vector<int32_t> workersIn;  // per area: how many of its entries are workers
    int workers = 0;                 // in all areas
    // One bit per area, set while it holds an entry: most areas a scan passes are empty, and the bits of a
    // neighbourhood share a few cache lines where the areas themselves spread over many.
    std::vector<uint64_t> occupied;
    // Per registry place, side by side as every unit's turn reads both: the area (-1 where the player lists no
    // unit) and the position it was worked out for.
    struct Placed {
        int32_t area = -1;
        SDL_FPoint at{0.0f, 0.0f};
    };
    std::vector<Placed> byPlace;

    size_t indexOf(int ax, int ay) const {
        return static_cast<size_t>(ay) * static_cast<size_t>(columns) + static_cast<size_t>(ax);
    }
};

// The index holds only while the units' tick runs: it follows each unit's own step, while the updates after the
// units' (spells, trainings, scripts) may move units unseen. Scans outside the units' tick sweep whole lists.
class TargetIndexPass {
public:
    // Opens the index for the units' tick. Between two ticks anything may have moved a unit, so every place is put
    // back in its area first; alsoAtEachUnit runs in that same pass over the registry, in order, so the tick's start
    // reads each unit once: a big battle's registry outgrows the core's cache, and every further pass misses again.
    template <class AtEachUnit>
    explicit TargetIndexPass(AtEachUnit&& alsoAtEachUnit) : following(open()) {
        for (size_t place = 0; place < units.size(); ++place) {
            alsoAtEachUnit(units[place]);
            follow(place);
        }
    }
    TargetIndexPass() : TargetIndexPass([](const Unit&) {}) {}
    ~TargetIndexPass();
    TargetIndexPass(const TargetIndexPass&) = delete;
    TargetIndexPass& operator=(const TargetIndexPass&) = delete;

private:
    // False when the index was made afresh: it then holds every place already.
    static bool open();
    void follow(size_t place);

    bool following;
};

// A batch of removals that the areas follow instead of being made afresh: made before the registry and the owners'
// lists change, then told which registry places (ascending) were closed. The lists may lose only the ids of the
// units that left.
class TargetIndexRemovals {
public:
    TargetIndexRemovals();
    void follow(const std::vector<size_t>& places);

private:
    bool held = false;            // the index matched the registry before the batch
    std::vector<bool> listsHeld;  // per player areas: they matched the player's list
};

// The world is reset: its registry and lists may come back at the same addresses with other units in them.
void forgetTargetIndex();

// After a unit's turn: its own step may have carried it into another area.
void followUnitMove(const Unit& unit);

// The areas of the player's listed units, brought up to date; null while the index does not hold.
const TargetAreas* targetAreasOf(const Player& player);
