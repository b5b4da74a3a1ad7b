// Range, sight and facing; the periodic target scan, attack orders, and the swing with its hit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "motion_world.h"

namespace {

using Targeting = MotionWorld;

// ---- Distances, range, line of sight, facing and height ----

TEST_F(Targeting, AttackRangeIsCountedInSubTilesWithDiagonalsAlike) {
    const int a = place("Footman", LOCAL, {10, 10});
    for (V2i at : {V2i{14, 10}, V2i{14, 14}, V2i{6, 7}}) {
        const int t = place("Footman", ENEMY, at);
        EXPECT_TRUE(isAttackableInRangeTile(unit(a), getUnitById(t))) << at.x << "," << at.y;
    }
    const int far = place("Footman", ENEMY, {15, 12});
    EXPECT_FALSE(isAttackableInRangeTile(unit(a), getUnitById(far)));
    EXPECT_FALSE(isAttackableInRangeTile(unit(a), nullptr));

    // A building is measured to the nearest sub-tile of its footprint; inside it the distance is 0.
    const int hall = placeBuilding("Hall", ENEMY, 4, 2, 2, 2);  // sub-tiles 16..23 x 8..15
    EXPECT_FALSE(isAttackableInRangeTile(unit(a), getBuildingById(hall)));
    unit(a).x = middleOf(12);
    EXPECT_TRUE(isAttackableInRangeTile(unit(a), getBuildingById(hall)));
    unit(a).x = middleOf(18);
    unit(a).range = 0.0f;
    EXPECT_TRUE(isAttackableInRangeTile(unit(a), getBuildingById(hall)));
}

TEST_F(Targeting, RangeInWorldUnitsWidensTheRadiusAndReachesABuildingsEdge) {
    const int t = place("Footman", ENEMY, {10, 10});
    const SDL_FPoint at{unit(t).x, unit(t).y};
    EXPECT_TRUE(isAttackableInRange({at.x + 140.0f, at.y}, getUnitById(t), 100.0f)) << "100 x sqrt 2 reaches 140";
    EXPECT_FALSE(isAttackableInRange({at.x + 142.0f, at.y}, getUnitById(t), 100.0f));
    const int hall = placeBuilding("Hall", ENEMY, 4, 2, 2, 2);
    EXPECT_TRUE(isAttackableInRange({600.0f, 300.0f}, getBuildingById(hall), 0.0f)) << "inside the footprint";
    EXPECT_TRUE(isAttackableInRange({840.0f + 14.0f, 300.0f}, getBuildingById(hall), 10.0f));
    EXPECT_FALSE(isAttackableInRange({840.0f + 15.0f, 300.0f}, getBuildingById(hall), 10.0f));
    EXPECT_FALSE(isAttackableInRange({0.0f, 0.0f}, nullptr, 1e9f));
}

TEST_F(Targeting, OnlyWallsOnTheWayBlockTheLineOfSight) {
    const auto centre = [](int x, int y) { return SDL_FPoint{x * 140.0f + 70.0f, y * 140.0f + 70.0f}; };
    makeWall(5, 5);
    EXPECT_TRUE(hasLineOfSight(centre(5, 5), {5 * 140.0f + 10.0f, 5 * 140.0f + 10.0f}, grid)) << "one tile";
    EXPECT_TRUE(hasLineOfSight(centre(2, 5), centre(5, 5), grid)) << "the target's own wall";
    EXPECT_FALSE(hasLineOfSight(centre(5, 5), centre(8, 5), grid)) << "the viewer's own wall";
    EXPECT_FALSE(hasLineOfSight(centre(2, 5), centre(9, 5), grid));
    grid.at(5, 5).type = Tile::Rock;
    EXPECT_TRUE(hasLineOfSight(centre(2, 5), centre(9, 5), grid)) << "rock does not block";
    // Walls touching at a corner leave the diagonal between them open.
    makeWall(3, 2);
    makeWall(2, 3);
    EXPECT_TRUE(hasLineOfSight(centre(2, 2), centre(3, 3), grid));
    EXPECT_TRUE(hasLineOfSight({-500.0f, 70.0f}, centre(1, 0), grid)) << "off the map nothing blocks";
}

TEST_F(Targeting, FacingRowsFollowTheScreenDirection) {
    const float t = std::tan(22.5f * 3.14159265f / 180.0f);  // 22.5 degrees begins row 1
    const struct { SDL_FPoint dir; int row; bool flip; } cases[] = {
        {{1.0f, 0.0f}, 2, false},  {{-1.0f, 0.0f}, 2, true}, {{0.0f, -1.0f}, 0, false}, {{0.0f, 1.0f}, 4, false},
        {{1.0f, -1.0f}, 1, false}, {{-1.0f, 1.0f}, 3, true}, {{1.0f, -t}, 1, false},     {{NAN, 0.0f}, 4, false}};
    for (const auto& c : cases) {
        bool flip = !c.flip;
        EXPECT_EQ(computeDirection(c.dir, flip), c.row) << c.dir.x << "," << c.dir.y;
        EXPECT_EQ(flip, c.flip) << c.dir.x << "," << c.dir.y;
    }
}

// The facing rule as written: the angle counter-clockwise from screen right in float, by sectors of 45 degrees.
static int writtenDirection(SDL_FPoint v, bool& flip) {
    const struct { float below; int row; bool flip; } sectors[] = {
        {22.5f, 2, false}, {67.5f, 1, false}, {112.5f, 0, false}, {157.5f, 1, true},
        {202.5f, 2, true}, {247.5f, 3, true}, {292.5f, 4, false}, {337.5f, 3, false}};
    float angle = static_cast<float>(static_cast<double>(std::atan2(-v.y, v.x) * 180.0f) / 3.14159265358979323846);
    flip = false;
    if (std::isnan(angle)) return 4;
    if (angle < 0.0f) angle += 360.0f;
    for (const auto& s : sectors)
        if (angle < s.below) {
            flip = s.flip;
            return s.row;
        }
    return 2;
}

TEST_F(Targeting, FacingAgreesWithTheAngleRuleOnAndBesideEverySectorBoundary) {
    std::vector<SDL_FPoint> vectors = {{0.0f, 0.0f}, {-0.0f, 0.0f}, {0.0f, -0.0f}, {-0.0f, -0.0f},
                                       {INFINITY, 1.0f}, {-INFINITY, INFINITY}, {1.0f, NAN}, {1e-30f, -1e-30f},
                                       {3e38f, 3e38f}, {-5.0f, 0.0f}, {-5.0f, -0.0f}, {5.0f, -0.0f}};
    // Each boundary, and the floats a few steps to either side of it, at several lengths.
    for (int b = 0; b < 8; ++b) {
        const double rad = (22.5 + 45.0 * b) * 3.14159265358979323846 / 180.0;
        for (const float length : {1.0f, 37.0f, 4096.5f}) {
            float x = static_cast<float>(std::cos(rad) * length);
            const float y = static_cast<float>(-std::sin(rad) * length);
            for (int step = 0; step < 40; ++step) x = std::nextafter(x, -INFINITY);
            for (int step = 0; step < 80; ++step, x = std::nextafter(x, INFINITY)) vectors.push_back({x, y});
        }
    }
    // And a sweep round the circle, with the integer steps a screen vector of sub-tiles takes.
    for (int i = 0; i < 3600; ++i) {
        const double rad = i * 3.14159265358979323846 / 1800.0;
        vectors.push_back({static_cast<float>(std::cos(rad) * 100.0), static_cast<float>(std::sin(rad) * 100.0)});
    }
    for (int dx = -40; dx <= 40; ++dx)
        for (int dy = -40; dy <= 40; ++dy)
            vectors.push_back({static_cast<float>(dx - dy) * 35.0f, static_cast<float>(dx + dy) * 17.5f});
    for (const SDL_FPoint& v : vectors) {
        bool flip = true;
        bool writtenFlip = false;
        const int row = computeDirection(v, flip);
        EXPECT_EQ(row, writtenDirection(v, writtenFlip)) << v.x << "," << v.y;
        EXPECT_EQ(flip, writtenFlip) << v.x << "," << v.y;
    }
}

TEST_F(Targeting, VisualHeightSlopesAcrossRampsAndTheFlatHalfBesideThem) {
    const int a = place("Footman", LOCAL, {10, 10});
    Unit& u = unit(a);
    grid.at(2, 2).heightLevel = 2;
    u.x = 2 * 140.0f + 70.0f;
    u.y = 2 * 140.0f + 70.0f;
    EXPECT_FLOAT_EQ(getUnitVisualHeight(u), 2.0f);
    grid.at(3, 2).ramp = 1;
    grid.at(3, 2).heightLevel = 3;
    EXPECT_FLOAT_EQ(getUnitVisualHeight(u), 2.0f) << "the middle of the flat tile stays level";
    u.x = 2 * 140.0f + 105.0f;
    EXPECT_FLOAT_EQ(getUnitVisualHeight(u), 2.25f);
    u.x = 3 * 140.0f + 35.0f;  // on the ramp, its left neighbour lower: falls along y
    EXPECT_FLOAT_EQ(getUnitVisualHeight(u), 2.5f + 0.5f * 0.5f);
    u.x = -1000.0f;
    EXPECT_FLOAT_EQ(getUnitVisualHeight(u), 0.0f);
}

TEST_F(Targeting, UnitsInRangeAndOnTilesComeInTheOrderOfUnits) {
    const int a = place("Footman", LOCAL, {10, 10});
    const int b = place("Footman", ENEMY, {14, 10});
    place("Footman", ENEMY, {40, 40});
    const V2i centre{truncToInt(unit(a).x), truncToInt(unit(a).y)};
    std::vector<Unit*> near = getUnitsInRange(centre, 140);
    ASSERT_EQ(near.size(), 2u);
    EXPECT_EQ(near[0]->id, a);
    EXPECT_EQ(near[1]->id, b);
    EXPECT_EQ(getUnitsInRange(centre, 139).size(), 1u);
    EXPECT_EQ(getUnitsInTiles({{2, 2}, {2, 2}}, 0).size(), 2u) << "once per matching entry";
    EXPECT_TRUE(getUnitsInTiles({}, 0).empty());
}

// ---- The scan ----

struct TargetScanWorld : Targeting {
    // A soldier of the local player with its scan due on the next tick.
    int soldier(V2i at, const std::string& type = "Footman") {
        const int id = place(type, LOCAL, at);
        unit(id).scanCounter = unit(id).scanInterval - 1;
        return id;
    }
};

TEST_F(TargetScanWorld, AnIdleSoldierPrefersAnEnemyWorkerToANearerSoldier) {
    const int s = soldier({10, 10});
    place("Footman", ENEMY, {13, 10});
    const int worker = place("Peon", ENEMY, {10, 18});
    tick();
    EXPECT_EQ(unit(s).targetId, worker);
    EXPECT_TRUE(unit(s).isAttacking);
    EXPECT_EQ(unit(s).state, UnitState::Attacking);
    EXPECT_EQ(unit(s).goal, (V2i{10, 18}));
    EXPECT_FALSE(unit(s).waypoints.empty()) << "a path toward the worker";
}

TEST_F(TargetScanWorld, EqualDistancesGoToTheLowerIdAndNothingBeyondSightIsTaken) {
    const int s = soldier({10, 10});
    const int first = place("Footman", ENEMY, {14, 10});
    place("Footman", ENEMY, {6, 10});
    place("Footman", ENEMY, {10, 30});  // exactly sight x 4 sub-tiles away
    tick();
    EXPECT_EQ(unit(s).targetId, first);

    const int blind = soldier({40, 40});
    unit(blind).sight = 0;
    place("Footman", ENEMY, {41, 40});
    tick();
    EXPECT_EQ(unit(blind).targetId, -1);
}

TEST_F(TargetScanWorld, AMeleeUnitIgnoresAUnitBehindAWallButARangedUnitTakesIt) {
    for (int y = 0; y < 20; ++y) makeWall(4, y);
    const int melee = soldier({14, 10});
    const int ranged = soldier({14, 30}, "Archer");
    const int behind = place("Footman", ENEMY, {22, 20});
    tick();
    EXPECT_EQ(unit(melee).targetId, -1);
    EXPECT_EQ(unit(ranged).targetId, behind);
}

TEST_F(TargetScanWorld, BuildingsAreTakenOnlyWhenNoEnemyUnitIsInSight) {
    const int s = soldier({10, 10});
    const int hall = placeBuilding("Hall", ENEMY, 3, 4, 2, 2);
    getBuildingById(hall)->computeNearbyTiles();
    const int far = place("Footman", ENEMY, {10, 29});
    tick();
    EXPECT_EQ(unit(s).targetId, far) << "the unit, though the hall is nearer";

    unit(far).onMap = false;  // gone aboard: no longer a candidate
    unit(s).targetId = -1;
    unit(s).scanCounter = unit(s).scanInterval - 1;
    tick();
    EXPECT_EQ(unit(s).targetId, hall);
    EXPECT_EQ(unit(s).goal, (V2i{11, 15})) << "the ring sub-tile nearest the soldier";
}

TEST_F(TargetScanWorld, AUnitHoldingPositionRecordsItsTargetButDoesNotWalk) {
    const int s = soldier({10, 10});
    unit(s).state = UnitState::HoldPosition;
    const int enemy = place("Footman", ENEMY, {16, 10});
    run(3);
    EXPECT_EQ(unit(s).targetId, enemy);
    EXPECT_EQ(unit(s).state, UnitState::HoldPosition);
    EXPECT_TRUE(unit(s).waypoints.empty());
    EXPECT_EQ(subTileOf(s), (V2i{10, 10}));
}

TEST_F(TargetScanWorld, AnOrderedMoveWalksPastEnemiesAndAnEmptyScanKeepsAnAttackMoveGoing) {
    const int s = soldier({10, 10});
    walkRow(s, 30);
    unit(s).state = UnitState::OrderedMove;
    const int a = soldier({10, 40});
    walkRow(a, 60);
    unit(a).state = UnitState::AttackMoving;
    place("Footman", ENEMY, {12, 12});
    run(3 * 62);
    EXPECT_EQ(unit(s).targetId, -1);
    EXPECT_EQ(unit(s).state, UnitState::OrderedMove);
    EXPECT_EQ(unit(a).state, UnitState::AttackMoving) << "an empty scan is no lost target";
    EXPECT_FALSE(unit(a).waypoints.empty());
}

TEST_F(TargetScanWorld, ATargetOfACategoryTheUnitCannotHitIsDropped) {
    const int s = soldier({10, 10});
    const int flyer = place("Gryphon", ENEMY, {12, 10});
    unit(s).targetId = flyer;
    unit(s).state = UnitState::HoldPosition;
    unit(s).scanCounter = unit(s).scanInterval;
    autoAttack(unit(s), grid);
    EXPECT_EQ(unit(s).targetId, -1);
    EXPECT_EQ(unit(s).state, UnitState::Idle) << "even from holding position";
}

TEST_F(TargetScanWorld, AttackEnemyKeepsTheOrderEvenWhenNoSpotCanBeReached) {
    const int s = place("Footman", LOCAL, {10, 10});
    const int before = unit(s).targetId;
    EXPECT_FALSE(attackEnemy(&unit(s), grid, 999));
    EXPECT_EQ(unit(s).targetId, before);
    EXPECT_EQ(unit(s).state, UnitState::Idle);

    const int island = place("Footman", ENEMY, {70, 70});
    for (int i = 15; i < 20; ++i) makeWall(i, 15), makeWall(15, i);
    EXPECT_FALSE(attackEnemy(&unit(s), grid, island));
    EXPECT_EQ(unit(s).targetId, island);
    EXPECT_EQ(unit(s).state, UnitState::Attacking);
}

// ---- The swing and its hit ----

struct SwingWorld : Targeting {
    void SetUp() override {
        Targeting::SetUp();
        UnitSpriteMeta meta;
        meta.projectileSpawnTick = 3;
        unitSprites["Footman"] = meta;
        unitSprites["Archer"] = meta;
    }
};

TEST_F(SwingWorld, AStrikerInRangeHaltsSwingsAtItsIntervalAndHitsOnTheSpawnTick) {
    const int s = place("Footman", LOCAL, {10, 10});
    const int t = place("Footman", ENEMY, {13, 10});
    unit(t).state = UnitState::HoldPosition;  // it strikes back but does not run
    unit(s).targetId = t;
    unit(s).state = UnitState::Attacking;
    walkRow(s, 12);
    unit(s).attackCounter = unit(s).attackInterval - 1;
    tick();
    EXPECT_TRUE(unit(s).waypoints.empty()) << "in range: halts";
    EXPECT_TRUE(unit(s).isAttacking);
    EXPECT_EQ(unit(s).attackCounter, 0) << "the swing starts";
    const float hp = unit(t).hp;
    run(2);
    EXPECT_FLOAT_EQ(unit(t).hp, hp);
    tick();
    EXPECT_FLOAT_EQ(unit(t).hp, hp - 5.0f) << "the hit lands when the counter reaches the spawn tick";
    run(unit(s).attackInterval - 4);
    EXPECT_FLOAT_EQ(unit(t).hp, hp - 5.0f);
    run(4);  // the next swing begins at the interval and hits 3 ticks later
    EXPECT_FLOAT_EQ(unit(t).hp, hp - 10.0f);
    EXPECT_EQ(unit(s).direction, 3) << "facing its target";
}

TEST_F(SwingWorld, ASpawnTickTheCounterNeverReachesLandsNoHitAndAVanishedTargetFreesTheStriker) {
    unitSprites["Footman"].projectileSpawnTick = 0;
    const int s = place("Footman", LOCAL, {10, 10});
    const int t = place("Footman", ENEMY, {12, 10});
    unit(t).state = UnitState::HoldPosition;
    unit(s).targetId = t;
    const float hp = unit(t).hp;
    run(3 * 62);
    EXPECT_FLOAT_EQ(unit(t).hp, hp);

    const int v = place("Footman", LOCAL, {10, 30});
    unit(v).targetId = 999;
    unit(v).isAttacking = true;
    unit(v).state = UnitState::Attacking;
    tick();
    EXPECT_EQ(unit(v).targetId, -1);
    EXPECT_FALSE(unit(v).isAttacking);
    EXPECT_EQ(unit(v).state, UnitState::Idle);
}

TEST_F(SwingWorld, ARangedSwingLaunchesAProjectileFromJustBehindTheShooter) {
    const int s = place("Archer", LOCAL, {10, 10});
    const int t = place("Footman", ENEMY, {10, 24});
    unit(t).state = UnitState::HoldPosition;
    unit(s).targetId = t;
    unit(s).attackCounter = unit(s).attackInterval - 1;
    run(4);
    ASSERT_EQ(projectiles.size(), 1u);
    const Projectile& p = projectiles[0];
    EXPECT_EQ(p.attackerId, s);
    EXPECT_EQ(p.targetId, t);
    EXPECT_FLOAT_EQ(p.x, unit(s).x);
    EXPECT_FLOAT_EQ(p.y, unit(s).y - 1.0f);
    EXPECT_FLOAT_EQ(p.speed, 140.0f);
}

// Only the listed striker types sound a hit, each with its own sound; a name one letter longer or shorter than a
// listed one, or sharing its length, strikes silently.
TEST_F(SwingWorld, EachListedStrikerSoundsItsOwnHitAndEveryOtherTypeStrikesSilently) {
    const struct {
        const char* type;
        const char* sound;  // "" for a silent strike
        bool positional;
    } cases[] = {{"Grunt", "Sword", true},       {"Peon", "Sword", true},     {"Marine", "Shoot", false},
                 {"Tank", "TankFire", false},    {"Berserker", "Saber", true}, {"TrollAxeThrower", "Axe", true},
                 {"DeathKnight", "TouchOfDarkness", true}, {"Grunts", "", false}, {"Grun", "", false},
                 {"Tanq", "", false},            {"Footman", "", false}};
    const std::vector<std::string> hitSounds = {"Sword", "Shoot", "TankFire", "Saber", "Axe", "TouchOfDarkness",
                                                "CatapultFire", "ShipAttack", "Laser"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        if (!unitInfo.count(c.type)) addType(c.type, AttackType::Melee);
        unitSprites[c.type] = unitSprites["Footman"];
        const int s = place(c.type, LOCAL, {10, 10});
        const int t = place("Footman", ENEMY, {12, 10});
        unit(t).state = UnitState::HoldPosition;
        unit(t).canAttack = false;
        unit(s).targetId = t;
        unit(s).attackCounter = unit(s).attackInterval - 1;
        sounds.clear();
        run(4);
        EXPECT_LT(unit(t).hp, 40.0f) << "the blow lands";
        EXPECT_TRUE(removeUnit(s));
        EXPECT_TRUE(removeUnit(t));
        std::vector<SoundRequest> heard;
        for (const SoundRequest& r : sounds)
            if (std::find(hitSounds.begin(), hitSounds.end(), r.key) != hitSounds.end()) heard.push_back(r);
        if (*c.sound == '\0') {
            EXPECT_TRUE(heard.empty()) << heard.front().key;
            continue;
        }
        ASSERT_EQ(heard.size(), 1u);
        EXPECT_EQ(heard[0].key, c.sound);
        EXPECT_EQ(heard[0].positional, c.positional);
    }
}

TEST_F(SwingWorld, AGruntsFreezingBlowSoundsItsSwordAndSlowsTheStruckUnitsWalk) {
    addType("Grunt", AttackType::Melee);
    unitSprites["Grunt"] = unitSprites["Footman"];
    const int s = place("Grunt", ENEMY, {10, 10});
    const int t = place("Footman", LOCAL, {12, 10});
    unit(t).state = UnitState::HoldPosition;
    unit(s).targetId = t;
    unit(s).freezingBullets = true;
    unit(s).attackCounter = unit(s).attackInterval - 1;
    run(4);
    ASSERT_FALSE(sounds.empty());
    EXPECT_EQ(sounds.back().key, "Sword");
    EXPECT_FLOAT_EQ(unit(t).movementSpeed, 0.5f);
    EXPECT_EQ(unit(t).speedPerTick, 1) << "the walk reads the new speed";
}

}  // namespace
