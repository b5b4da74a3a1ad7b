// Recruits on the ground: a civilian sent to a building walks there tick by tick, gets round units in its way and
// is let go, freeing its production slot, when the building can no longer be reached.
#include <gtest/gtest.h>

#include <vector>

#include "economy_world.h"

namespace {

constexpr V2i RECRUIT_START{20, 34};
constexpr V2i NEAREST_DOOR{31, 34};  // the ring sub-tile west of the barracks on the recruit's row

// A 20x20 grass world with a completed 2x2 barracks at tile (8, 8); its civilians walk 3 world units a tick.
struct RecruitWalk : EconomyWorld {
    void SetUp() override {
        EconomyWorld::SetUp();
        UNIT_SPEED = 200.0f;
        WAYPOINT_EPS = 6.0f;
        addBuildingType("Barracks", 2, 2, 0, 0, 10.0f);
        addUnitType("Marine", "human", 100, 10, 1, 1.0f);
        addUnitType("Civilian", "human", 0, 0, 0, 1.0f).civilian = true;
        unitInfo["Civilian"].movementSpeed = 1.0f;
        unitRequirements["Marine"] = UnitRequirement{};
        buildingUnits["Barracks"] = {"Marine"};
        initializeCivilianLookup();
        owner = &addPlayer(1);
        setResources(*owner, 1000, 1000);
        owner->supplyCap = 10;
        owner->recruits = 5;
        barracks = placeBuilding("Barracks", 1, 8, 8, 2, 2);
        getBuildingById(barracks)->computeNearbyTiles();
    }
    void TearDown() override {
        WAYPOINT_EPS = 0.0f;
        EconomyWorld::TearDown();
    }

    Building& b() { return *getBuildingById(barracks); }

    // The world steps a recruit goes through, in the order of a tick.
    void tick() {
        updateUnits(TURN_LENGTH, grid);
        updateBuildings(TURN_LENGTH, grid);
        updateTrainings(TURN_LENGTH, grid);
    }

    // Ticks until the recruit has gone in or its entry is gone, at most limit.
    void runUntilSettled(int limit) {
        for (int i = 0; i < limit && b().productionQueue.empty() && !b().queuedUnits.empty(); ++i) tick();
    }

    // Grass tiles round the barracks at one tile's distance turned to wall.
    static void wallOffBarracks() {
        for (int x = 6; x <= 11; ++x)
            for (int y = 6; y <= 11; ++y)
                if (x == 6 || x == 11 || y == 6 || y == 11) grid.at(x, y) = TileInstance{Tile::Wall, 0, 0, 0, 0, {}};
    }

    Player* owner = nullptr;
    int barracks = -1;
};

// The recruit walks east along its row to the door; a unit that steps onto the way stops it: five sub-tiles or
// nearer to the door it gives the walk up at once, farther out it waits, steps aside and goes round.
TEST_F(RecruitWalk, ARecruitStoppedShortGetsRoundAndTrainsButOneWalledOffIsLetGo) {
    struct Case {
        const char* what;
        std::vector<V2i> standing;  // units that step in after the recruit has set out
        bool walled;
        bool trains;
    };
    const Case cases[] = {
        {"nothing in the way", {}, false, true},
        {"a unit where the recruit waits for it", {{NEAREST_DOOR.x - 5, NEAREST_DOOR.y}}, false, true},
        {"a unit where the recruit gives up at once", {{NEAREST_DOOR.x - 4, NEAREST_DOOR.y}}, false, true},
        {"a unit beside the door", {{NEAREST_DOOR.x - 1, NEAREST_DOOR.y}}, false, true},
        {"a unit on the door it heads for", {NEAREST_DOOR}, false, true},
        {"units on the door and round it", {NEAREST_DOOR, {31, 33}, {31, 35}, {30, 34}}, false, true},
        {"a wall round the building", {}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        owner->recruits = 5;
        const int recruit = addUnitAt("Civilian", RECRUIT_START);
        ASSERT_TRUE(trainUnit("Marine", &b()));
        const SDL_FPoint heading = getUnitById(recruit)->waypoints.back();
        ASSERT_EQ(worldToSubTile(heading.x, heading.y), NEAREST_DOOR);
        std::vector<int> standing;
        for (const V2i& at : c.standing) standing.push_back(addUnitAt("Marine", at));
        const Grid open = grid;
        if (c.walled) wallOffBarracks();

        runUntilSettled(2000);
        const Unit& walked = *getUnitById(recruit);
        EXPECT_EQ(b().productionQueue.size(), c.trains ? 1u : 0u);
        EXPECT_EQ(walked.onMap, !c.trains) << "a trained recruit has gone inside";
        EXPECT_EQ(walked.assigned, c.trains) << "one that cannot get there is free for another job";
        EXPECT_EQ(b().queuedUnits.empty(), !c.trains) << "and no longer holds a production slot";

        grid = open;
        letOccupantsOut(b());
        for (int id : standing) removeUnit(id);
        removeUnit(recruit);
    }
}

TEST_F(RecruitWalk, ARecruitStillOnItsWayIsNeitherSentAgainNorLetGo) {
    const int recruit = addUnitAt("Civilian", RECRUIT_START);
    ASSERT_TRUE(trainUnit("Marine", &b()));
    addUnitAt("Marine", {NEAREST_DOOR.x - 5, NEAREST_DOOR.y});
    const Unit& walking = *getUnitById(recruit);
    for (int i = 0; i < 400 && walking.waitTicks == 0; ++i) tick();
    ASSERT_GT(walking.waitTicks, 0) << "six sub-tiles from its door, a recruit waits for the unit in its way";
    const Waypoints before = walking.waypoints;
    tick();
    EXPECT_EQ(walking.waypoints.size(), before.size()) << "its walk is left as it was";
    EXPECT_EQ(b().queuedUnits.size(), 1u);
    EXPECT_TRUE(walking.assigned);
}

}  // namespace
