// Homing projectiles: sprite direction, flight, arrival with damage and hit animation, and the hit animations.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "buildings.h"
#include "player.h"
#include "projectiles.h"
#include "static_world_fixture.h"
#include "units.h"

namespace {

struct ProjectileWorld : StaticWorld {
    void SetUp() override {
        StaticWorld::SetUp();
        resetProjectiles();
        unitInfo["Archer"].type = "Archer";
        unitInfo["Archer"].hp = 40;
        ProjectileInfo bolt;
        bolt.totalFrames = 4;
        bolt.hitTotalFrames = 5;
        bolt.hitFrameDuration = 0.05f;
        projectileInfo["Bolt"] = bolt;
        ProjectileInfo arrow = bolt;
        arrow.totalFrames = 0;  // a sheet without frames
        projectileInfo["Arrow"] = arrow;
    }
    void TearDown() override {
        resetProjectiles();
        StaticWorld::TearDown();
    }
    static void resetProjectiles() {
        projectiles.clear();
        projectileHits.clear();
        projectileInfo.clear();
        unitInfo.clear();
        floatingTexts.clear();
    }

    // A unit busy with a target of its own, so a hit does not send it fleeing.
    static int place(int owner, V2i sub) {
        Unit u = newUnitFromInfo(unitInfo.at("Archer"), nextAttackableId++, owner);
        u.x = static_cast<float>(sub.x) * 35.0f + 17.5f;
        u.y = static_cast<float>(sub.y) * 35.0f + 17.5f;
        u.damage = 3;
        u.piercing = 1;
        u.targetId = 999;
        u.state = UnitState::Attacking;
        addUnit(u);
        return u.id;
    }

    // As a ranged unit shoots: from just behind itself, along the unit vector, at one tile a second.
    static void shoot(int shooter, int target, const std::string& type = "Bolt") {
        const Unit& s = *getUnitById(shooter);
        const SDL_FPoint aim = getAttackableById(target)->getWorldPos();
        const float dx = aim.x - s.x;
        const float dy = aim.y - s.y;
        const float length = std::sqrt(dx * dx + dy * dy);
        const SDL_FPoint u{dx / length, dy / length};
        launchProjectile(type, {s.x - GAME_SPEED * u.x, s.y - GAME_SPEED * u.y}, u,
                         static_cast<float>(TILE_SIZE) * GAME_SPEED, shooter, target);
    }

    // Ticks until no projectile is left, at most limit.
    static int flyOut(int limit) {
        int ticks = 0;
        while (!projectiles.empty() && ticks < limit) {
            updateProjectiles(0.016f, grid);
            ++ticks;
        }
        return ticks;
    }
};

TEST(ProjectileDirection, SectorsGiveTheSpriteColumnAndMirror) {
    EXPECT_EQ(getProjectileDirection({1, 0}), std::make_pair(2, false));
    EXPECT_EQ(getProjectileDirection({-1, 0}), std::make_pair(2, true));
    EXPECT_EQ(getProjectileDirection({0, 1}), std::make_pair(4, false));
    EXPECT_EQ(getProjectileDirection({0, -1}), std::make_pair(0, false));
    EXPECT_EQ(getProjectileDirection({1, 1}), std::make_pair(3, false));
    EXPECT_EQ(getProjectileDirection({-1, 1}), std::make_pair(3, true));
    EXPECT_EQ(getProjectileDirection({-1, -1}), std::make_pair(1, true));
    EXPECT_EQ(getProjectileDirection({1, -1}), std::make_pair(1, false));
    EXPECT_EQ(getProjectileDirection({1, -0.1f}), std::make_pair(2, false)) << "just below 360 degrees";
}

TEST_F(ProjectileWorld, MissileFliesArrivesDamagesAndPlaysItsHit) {
    const int archer = place(2, {4, 4});
    const int target = place(3, {16, 4});  // 420 world units away
    shoot(archer, target);
    ASSERT_EQ(projectiles.size(), 1u);
    EXPECT_EQ(projectiles[0].direction, 2);
    EXPECT_FALSE(projectiles[0].flip);

    for (int tick = 0; tick < 100; ++tick) updateProjectiles(0.016f, grid);
    ASSERT_EQ(projectiles.size(), 1u) << "still in flight at 2.24 units a tick";
    EXPECT_FLOAT_EQ(getUnitById(target)->hp, 40.0f);

    const int ticks = flyOut(200);
    EXPECT_TRUE(projectiles.empty());
    EXPECT_LE(100 + ticks, 190) << "420 units at 2.24 a tick, within reach of the last step";
    EXPECT_FLOAT_EQ(getUnitById(target)->hp, 36.0f) << "damage plus piercing of the shooter";
    ASSERT_EQ(projectileHits.size(), 1u);
    const ProjectileHit& hit = projectileHits[0];
    EXPECT_FLOAT_EQ(hit.x, getUnitById(target)->x);
    EXPECT_EQ(hit.type, "Bolt");
    EXPECT_EQ(hit.totalFrames, 5);

    int frames = 0;
    while (!projectileHits.empty() && frames < 100) {
        updateProjectileHits(0.016f, grid);
        ++frames;
    }
    EXPECT_EQ(frames, 20) << "0.05 s frames advance every fourth tick, five frames";
}

TEST_F(ProjectileWorld, TowerArrowArrivesWithinBoundedTicks) {
    const int tower = placeBuilding("Tower", 2, 2, 2, 1, 1);
    towers.push_back(Tower{tower, 1.0f, 4, 0.0f, 6.0f, -1});
    const int target = place(3, {32, 10});  // six tiles east of the tower's centre, a little south
    const SDL_FPoint from = getBuildingById(tower)->getWorldPos();
    const SDL_FPoint to = getUnitById(target)->getWorldPos();
    // As a tower shoots: the whole displacement as direction, 5 x GAME_SPEED as speed.
    launchProjectile("Arrow", from, {to.x - from.x, to.y - from.y}, 5.0f * GAME_SPEED, tower, target);

    const int ticks = flyOut(1000);
    EXPECT_TRUE(projectiles.empty());
    EXPECT_LE(ticks, 13) << "the displacement's length scales the whole flight: 0.2 s whatever the range";
    EXPECT_FLOAT_EQ(getUnitById(target)->hp, 36.0f) << "the tower's damage";
    ASSERT_EQ(projectileHits.size(), 1u);
    EXPECT_EQ(projectileHits[0].type, "Arrow");
}

TEST_F(ProjectileWorld, FastProjectileDoesNotCircleItsTarget) {
    const int archer = place(2, {4, 4});
    const int target = place(3, {40, 30});
    const SDL_FPoint at = getUnitById(target)->getWorldPos();
    // 80 units a tick from 1000 away: 40 short, then 40 past, never within the 12 units of arrival.
    launchProjectile("Bolt", {at.x - 1000.0f, at.y}, {1.0f, 0.0f}, 5000.0f, archer, target);
    EXPECT_EQ(flyOut(1000), 12);
    EXPECT_FLOAT_EQ(getUnitById(target)->hp, 36.0f);
}

TEST_F(ProjectileWorld, ProjectileInReachHitsInItsFirstTickAfterOneStep) {
    const int archer = place(2, {4, 4});
    const int target = place(3, {4, 4});
    launchProjectile("Bolt", {getUnitById(target)->x + 3.0f, getUnitById(target)->y}, {-1.0f, 0.0f}, 140.0f, archer,
                     target);
    updateProjectiles(0.016f, grid);
    EXPECT_TRUE(projectiles.empty());
    EXPECT_FLOAT_EQ(getUnitById(target)->hp, 36.0f);
}

TEST_F(ProjectileWorld, LostTargetStopsSilentlyAndLostShooterStillShowsTheHit) {
    const int archer = place(2, {4, 4});
    const int target = place(3, {6, 4});
    shoot(archer, target);
    launchProjectile("Bolt", {0.0f, 0.0f}, {1.0f, 0.0f}, 140.0f, archer, 12345);
    removeUnit(archer);
    EXPECT_GT(flyOut(100), 0);
    EXPECT_TRUE(projectiles.empty());
    EXPECT_FLOAT_EQ(getUnitById(target)->hp, 40.0f) << "no shooter, no damage";
    EXPECT_EQ(projectileHits.size(), 1u) << "only the arrival shows a hit";
}

TEST_F(ProjectileWorld, ArrivalInTheMiddleKeepsTheOthersInOrder) {
    const int archer = place(2, {4, 4});
    const int target = place(3, {40, 4});
    const SDL_FPoint at = getUnitById(target)->getWorldPos();
    launchProjectile("Bolt", {0.0f, 0.0f}, {1.0f, 0.0f}, 140.0f, archer, target);
    launchProjectile("Bolt", {at.x - 1.0f, at.y}, {1.0f, 0.0f}, 140.0f, archer, target);
    launchProjectile("Bolt", {0.0f, 10.0f}, {1.0f, 0.0f}, 140.0f, archer, target);
    const int firstId = projectiles[0].id;
    updateProjectiles(0.016f, grid);
    ASSERT_EQ(projectiles.size(), 2u);
    EXPECT_EQ(projectiles[0].id, firstId);
    EXPECT_EQ(projectiles[1].id, firstId + 2);
}

TEST_F(ProjectileWorld, TypeWithoutFramesOrRecordStillFliesAndHits) {
    const int archer = place(2, {4, 4});
    const int target = place(3, {8, 4});
    shoot(archer, target, "Arrow");
    shoot(archer, target, "Unknown");
    flyOut(200);
    EXPECT_FLOAT_EQ(getUnitById(target)->hp, 32.0f);
    ASSERT_EQ(projectileHits.size(), 1u) << "a type missing from the catalogue has no hit animation";
    EXPECT_EQ(projectileHits[0].type, "Arrow");
}

}  // namespace
