// The units' tick takes the units in ascending id order, whatever order the registry holds them in.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "motion_world.h"

namespace {

using UnitTurns = MotionWorld;

// A footman of the local player standing on the sub-tile and holding it, under the id given.
void standAt(int id, V2i sub) {
    Unit u = newUnitFromInfo(unitInfo.at("Footman"), id, MotionWorld::LOCAL);
    u.x = MotionWorld::middleOf(sub.x);
    u.y = MotionWorld::middleOf(sub.y);
    u.occupiedSubTile = sub;
    addUnit(u);
    reserveTilesForUnit(id, "Footman", sub);
}

// Two walkers head for the sub-tile between them; the one whose turn comes first takes it.
TEST_F(UnitTurns, TheLowerIdTakesAContestedSubTileWhateverTheRegistryOrder) {
    struct Case {
        std::vector<int> registry;  // ids in the order they are added; the first two walk, the rest stand
    };
    const Case cases[] = {{{3, 8}}, {{8, 3}}, {{8, 5, 3}}, {{9, 2, 7, 1}}};
    const V2i contested{10, 5};
    for (const Case& c : cases) {
        TearDown();  // each case starts from an empty world
        SetUp();
        const int west = c.registry[0];
        const int east = c.registry[1];
        standAt(west, {9, 5});
        standAt(east, {11, 5});
        for (size_t i = 2; i < c.registry.size(); ++i) standAt(c.registry[i], {2 + static_cast<int>(i), 30});
        setUnitPath(unit(west), {{9, 5}, contested, {11, 4}});
        setUnitPath(unit(east), {{11, 5}, contested, {9, 6}});
        unit(west).state = unit(east).state = UnitState::Moving;
        SCOPED_TRACE(testing::Message() << "first added " << west);
        run(2);
        const int later = std::max(west, east);
        EXPECT_EQ(isTileReserved(contested), std::min(west, east));
        EXPECT_EQ(unit(std::min(west, east)).occupiedSubTile, contested);
        const V2i laterStart = later == west ? V2i{9, 5} : V2i{11, 5};
        EXPECT_EQ(unit(later).occupiedSubTile, laterStart) << "the later turn found it held";
    }
}

}  // namespace
