// Spell effects: the price, unit-targeted and self spells, area, channelled and summoning spells.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <string>
#include <variant>

#include "spell_world.h"

namespace {

using SpellEffects = SpellWorld;

TEST_F(SpellEffects, SlowAtFiftyManaLeavesNothingAndAtFortyNineDoesNothing) {
    Unit& caster = place("Footman", LOCAL, {5, 5});
    caster.mana = 50;
    const int casterId = caster.id;
    const int target = place("Footman", ENEMY, {6, 5}).id;
    const float speed = unit(target).movementSpeed;

    effectSlow(aim(casterId, target, {0.0f, 0.0f}));
    EXPECT_EQ(unit(casterId).mana, 0);
    EXPECT_FLOAT_EQ(unit(target).movementSpeed, speed * 0.5f);
    EXPECT_TRUE(unit(target).slowed);
    ASSERT_EQ(activeSpells.size(), 1u);
    const ActiveSpell& record = activeSpells[0];
    EXPECT_EQ(record.type, "Slow");

    unit(casterId).mana = 49;
    EXPECT_FALSE(effectSlow(aim(casterId, target, {0.0f, 0.0f})));
    EXPECT_EQ(unit(casterId).mana, 49);
    EXPECT_FLOAT_EQ(unit(target).movementSpeed, speed * 0.5f);
    EXPECT_EQ(activeSpells.size(), 1u);
}

TEST_F(SpellEffects, BuffsCompoundAndLastForTheUnitsLife) {
    const int caster = place("Footman", LOCAL, {5, 5}).id;
    unit(caster).mana = 1000;
    Unit& target = place("Footman", ENEMY, {6, 5});
    target.movementSpeed = 2.0f;
    target.damage = 7;
    const int id = target.id;
    const SpellContext ctx = aim(caster, id, {0.0f, 0.0f});

    effectHaste(ctx);
    effectHaste(ctx);
    EXPECT_FLOAT_EQ(unit(id).movementSpeed, 4.5f);
    effectSlow(ctx);
    EXPECT_FLOAT_EQ(unit(id).movementSpeed, 2.25f);
    effectBloodlust(ctx);
    EXPECT_EQ(unit(id).damage, 14);
    effectBloodlust(ctx);
    EXPECT_EQ(unit(id).damage, 28);
    EXPECT_TRUE(unit(id).bloodlust);
    effectInvisibility(ctx);
    effectUnholyArmor(ctx);
    effectPolymorph(ctx);
    EXPECT_TRUE(unit(id).invisible);
    EXPECT_TRUE(unit(id).unholyArmor);
    EXPECT_EQ(unit(id).type, "Sheep");
    EXPECT_EQ(unit(caster).mana, 1000 - 8 * 50);

    for (int i = 0; i < 63; ++i) tick();
    EXPECT_TRUE(activeSpells.empty()) << "the records only carry the sound for a second";
    EXPECT_TRUE(unit(id).invisible);
    EXPECT_FLOAT_EQ(unit(id).movementSpeed, 2.25f);
}

TEST_F(SpellEffects, ACastWithoutCasterOrTargetChangesNothing) {
    const int caster = place("Footman", LOCAL, {5, 5}).id;
    const int target = place("Footman", ENEMY, {6, 5}).id;
    const std::pair<int, int> refused[] = {{-1, target}, {caster, -1}, {0, target}, {caster, 0}, {caster, 999}};
    for (const auto& [c, t] : refused) {
        for (const char* key : {"slow", "healing", "flame_shield", "fire_ball", "freezing_bullets", "seeing_red"})
            EXPECT_FALSE(cast(key, aim(c, t, {0.0f, 0.0f}))) << key;
    }
    for (const char* key : {"blizzard", "bombing", "demolition", "artillery_fire", "latched_mine", "holy_vision"})
        EXPECT_FALSE(cast(key, aim(-1, -1, {centre(3), centre(3)}))) << key;
    for (const char* inert : {"death_coil", "touch_of_darkness"}) cast(inert, aim(caster, target, {0.0f, 0.0f}));
    EXPECT_TRUE(activeSpells.empty());
    EXPECT_TRUE(projectiles.empty());
    EXPECT_EQ(unit(caster).mana, 200);
    EXPECT_FALSE(unit(caster).freezingBullets);
}

TEST_F(SpellEffects, SelfSpellsActOnlyOnTheCasterAndCostNothing) {
    Unit& marine = place("Footman", LOCAL, {5, 5});
    marine.attackInterval = 63;
    marine.speedPerTick = 3;
    marine.mana = 0;
    const int id = marine.id;
    const int other = place("Footman", LOCAL, {6, 5}).id;

    EXPECT_FALSE(effectFreezingBullets(aim(id, other, {0.0f, 0.0f})));
    EXPECT_FALSE(effectSeeingRed(aim(id, other, {0.0f, 0.0f})));
    EXPECT_FALSE(unit(id).freezingBullets);
    EXPECT_EQ(unit(id).attackInterval, 63);
    EXPECT_TRUE(activeSpells.empty());

    EXPECT_TRUE(effectFreezingBullets(aim(id, id, {0.0f, 0.0f})));
    EXPECT_TRUE(effectSeeingRed(aim(id, id, {0.0f, 0.0f})));
    EXPECT_TRUE(unit(id).freezingBullets);
    EXPECT_EQ(unit(id).attackInterval, 31);
    EXPECT_EQ(unit(id).speedPerTick, 4);
    ASSERT_EQ(activeSpells.size(), 2u);
    EXPECT_EQ(activeSpells[1].targetId, id);
}

TEST_F(SpellEffects, SeeingRedInTheCampaignWaitsForItsTech) {
    mode = GameMode::Extraction;
    const int id = place("Footman", LOCAL, {5, 5}).id;
    unit(id).attackInterval = 40;
    effectSeeingRed(aim(id, id, {0.0f, 0.0f}));
    EXPECT_EQ(unit(id).attackInterval, 40) << "no tech node at all";

    Tech tech;
    tech.name = "SeeingRed";
    techTree.push_back(tech);
    effectSeeingRed(aim(id, id, {0.0f, 0.0f}));
    EXPECT_EQ(unit(id).attackInterval, 40) << "not bought yet";

    techTree.back().unlocked = true;
    effectSeeingRed(aim(id, id, {0.0f, 0.0f}));
    EXPECT_EQ(unit(id).attackInterval, 20);

    spellInfo.erase("SeeingRed");
    effectSeeingRed(aim(id, id, {0.0f, 0.0f}));
    EXPECT_EQ(unit(id).attackInterval, 20) << "a catalogue without the spell offers nothing to buy";
}

TEST_F(SpellEffects, FireBallFliesFromTheCasterTowardTheAimedPoint) {
    GAME_SPEED = 2.0f;
    const int caster = place("Footman", ENEMY, {5, 5}).id;
    const int target = place("Footman", LOCAL, {8, 9}).id;
    const float x = centre(5);
    const float y = centre(5);
    effectFireBall(aim(caster, target, {x + 300.0f, y + 400.0f}));
    EXPECT_EQ(unit(caster).mana, 150);
    ASSERT_EQ(projectiles.size(), 1u);
    const Projectile& ball = projectiles[0];
    EXPECT_EQ(ball.type, "DragonFire");
    EXPECT_EQ(ball.attackerId, caster);
    EXPECT_EQ(ball.targetId, target);
    EXPECT_FLOAT_EQ(ball.dirX, 0.6f);
    EXPECT_FLOAT_EQ(ball.dirY, 0.8f);
    EXPECT_FLOAT_EQ(ball.x, x - 2.0f * 0.6f);
    EXPECT_FLOAT_EQ(ball.y, y - 2.0f * 0.8f);
    EXPECT_FLOAT_EQ(ball.speed, 2.0f * 140.0f * 2.0f);

    effectFireBall(aim(caster, target, {x, y}));
    ASSERT_EQ(projectiles.size(), 2u);
    EXPECT_FLOAT_EQ(projectiles[1].dirX, 0.0f);
    EXPECT_FLOAT_EQ(projectiles[1].dirY, 0.0f);
    EXPECT_FLOAT_EQ(projectiles[1].x, x);
    EXPECT_FLOAT_EQ(projectiles[1].y, y);
}

TEST_F(SpellEffects, AreaSpellsDrawTwiceAShardAroundThePoint) {
    const int caster = place("Footman", LOCAL, {5, 5}).id;
    const V2f point{1000.0f, 1200.0f};
    std::mt19937 mirror = rng;

    effectBlizzard(aim(caster, -1, point));
    ASSERT_EQ(activeSpells.size(), 1u);
    const ActiveSpell& blizzard = activeSpells[0];
    EXPECT_EQ(blizzard.type, "Blizzard");
    EXPECT_FLOAT_EQ(blizzard.position.x, point.x) << "Blizzard keeps the raw point";
    ASSERT_EQ(blizzard.shards.size(), 5u);
    for (const BlizzardShard& shard : blizzard.shards) {
        const float angle = draw(mirror) * 6.2831855f;
        const float r = draw(mirror) * 280.0f;
        EXPECT_FLOAT_EQ(shard.position.x, point.x + r * std::cos(angle));
        EXPECT_FLOAT_EQ(shard.position.y, point.y + r * std::sin(angle));
    }

    effectDeathAndDecay(aim(caster, -1, point));
    const ActiveSpell& decay = activeSpells.back();
    EXPECT_FLOAT_EQ(decay.position.x, centre(7));
    EXPECT_FLOAT_EQ(decay.position.y, centre(8));
    ASSERT_EQ(decay.shards.size(), 5u);
    for (const BlizzardShard& patch : decay.shards) {
        const float angle = draw(mirror) * 6.2831855f;
        const float r = 280.0f * std::sqrt(draw(mirror)) * 0.95f;
        EXPECT_FLOAT_EQ(patch.position.x, decay.position.x + r * std::cos(angle));
        EXPECT_FLOAT_EQ(patch.position.y, decay.position.y + r * std::sin(angle));
    }

    effectWhirlwind(aim(caster, -1, point));
    EXPECT_FLOAT_EQ(activeSpells.back().heading, draw(mirror) * 6.2831855f);
    EXPECT_EQ(rng(), mirror()) << "ten, ten and one draws, nothing more";
    EXPECT_EQ(unit(caster).mana, 50);
}

TEST_F(SpellEffects, PointsOffTheMapAreClampedToItsBorderTiles) {
    TILE_SIZE = 64;
    const int caster = place("Footman", LOCAL, {5, 5}).id;
    unit(caster).mana = 1000;
    const V2f left{-5.0f, 70.0f};
    effectDeathAndDecay(aim(caster, -1, left));
    effectWhirlwind(aim(caster, -1, left));
    effectDemolition(aim(caster, -1, left));
    for (const ActiveSpell& spell : activeSpells) {
        EXPECT_FLOAT_EQ(spell.position.x, 32.0f) << spell.type;
        EXPECT_FLOAT_EQ(spell.position.y, 96.0f) << spell.type;
    }
    effectArtilleryFire(aim(caster, -1, {5000.0f, -70.0f}));
    EXPECT_EQ(unit(caster).goal, (V2i{19, 0}));
    effectBombing(aim(caster, -1, left));
    EXPECT_FLOAT_EQ(activeSpells.back().position.x, -5.0f) << "Bombing keeps the raw point";
}

TEST_F(SpellEffects, FreeSpellsWorkWithoutMana) {
    Unit& gunner = place("Footman", LOCAL, {5, 5});
    gunner.mana = 0;
    gunner.waypoints = {{1.0f, 1.0f}};
    gunner.isAttacking = true;
    const int id = gunner.id;
    const V2f point{centre(9), centre(9)};

    effectBombing(aim(id, -1, point));
    effectDemolition(aim(id, -1, point));
    effectArtilleryFire(aim(id, -1, point));
    EXPECT_EQ(unit(id).state, UnitState::Attacking);
    EXPECT_TRUE(unit(id).isChanneling);
    EXPECT_EQ(unit(id).goal, (V2i{9, 9}));
    EXPECT_EQ(activeSpells.back().casterId, id);

    effectAbyssalTeleport(aim(id, -1, point));
    EXPECT_EQ(unit(id).state, UnitState::Teleporting);
    EXPECT_FALSE(unit(id).isAttacking);
    EXPECT_TRUE(unit(id).waypoints.empty());
    EXPECT_EQ(activeSpells.size(), 4u);
    EXPECT_EQ(unit(id).mana, 0);
}

TEST_F(SpellEffects, ALatchedMineIsThrownAtThePointAndBindsItsThrower) {
    Unit& thrower = place("Footman", LOCAL, {5, 5});
    thrower.mana = 0;
    const int id = thrower.id;
    const V2f point{centre(8), centre(6)};
    effectLatchedMine(aim(id, -1, point));

    EXPECT_TRUE(unit(id).isChanneling);
    EXPECT_EQ(unit(id).goal, (V2i{8, 6}));
    ASSERT_EQ(activeSpells.size(), 1u);
    EXPECT_EQ(activeSpells[0].type, "LatchedMine");
    EXPECT_EQ(activeSpells[0].casterId, id);
    ASSERT_EQ(units.size(), 2u);
    const Unit& mine = units.back();
    EXPECT_EQ(mine.type, "LatchedMine");
    EXPECT_EQ(mine.playerId, LOCAL);
    EXPECT_FLOAT_EQ(mine.x, point.x);
    EXPECT_FLOAT_EQ(mine.y, point.y - 30.0f);
    EXPECT_EQ(mine.speedPerTick, 0) << "0.4 world units a tick, truncated";

    unitInfo.erase("LatchedMine");
    testing::internal::CaptureStderr();
    effectLatchedMine(aim(id, -1, point));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[UnitInfo] Unknown unit type: LatchedMine\n");
    EXPECT_EQ(units.size(), 2u);
    EXPECT_EQ(activeSpells.size(), 1u);
}

TEST_F(SpellEffects, VisionSpellsPlaceTheirSourceForTheCasterAndCharge) {
    const int caster = place("Footman", LOCAL, {5, 5}).id;
    const V2f point{centre(12), centre(3)};

    effectHolyVision(aim(caster, -1, point));
    ASSERT_EQ(units.size(), 2u);
    const Unit& dummy = units.back();
    EXPECT_EQ(dummy.type, "Peon");
    EXPECT_EQ(dummy.playerId, LOCAL);
    EXPECT_FALSE(dummy.onMap);
    EXPECT_FLOAT_EQ(dummy.x, point.x);
    EXPECT_FLOAT_EQ(dummy.y, point.y);
    ASSERT_EQ(activeSpells.size(), 1u);
    EXPECT_EQ(activeSpells[0].type, "HolyVision");
    EXPECT_EQ(activeSpells[0].targetId, dummy.id);

    effectEyeOfVorthane(aim(caster, -1, point));
    const Unit& eye = units.back();
    EXPECT_EQ(eye.type, "EyeOfVorthane");
    EXPECT_FLOAT_EQ(eye.y, point.y + 30.0f);
    EXPECT_EQ(activeSpells.back().targetId, eye.id);
    EXPECT_EQ(unit(caster).mana, 100);

    unitInfo.erase("EyeOfVorthane");
    testing::internal::CaptureStderr();
    effectEyeOfVorthane(aim(caster, -1, point));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(unit(caster).mana, 100) << "a summon that cannot be made takes no mana";
    EXPECT_EQ(units.size(), 3u);
}

// What the caster's queued cast meets when it starts, and whether the player then pays for it.
struct QueuedCastCase {
    const char* key;
    TargetType targetType;
    int mana;
    enum { Alive, Removed, NoTarget } target;
    int aimTileX;  // the target unit stands on tile x = 6; 10 is one tile beyond the range of 4
    bool casts;
    int manaLeft;
};

TEST_F(SpellEffects, AQueuedCastStartsItsCooldownOnlyWhenItTakesEffect) {
    using C = QueuedCastCase;
    const C cases[] = {
        {"slow", TargetType::Unit, 50, C::Alive, 6, true, 0},
        {"slow", TargetType::Unit, 49, C::Alive, 6, false, 49},
        {"slow", TargetType::Unit, 200, C::Removed, 6, false, 200},
        {"slow", TargetType::Unit, 200, C::NoTarget, 6, false, 200},
        {"slow", TargetType::Unit, 200, C::Alive, 10, false, 200},
        {"healing", TargetType::Unit, 49, C::Alive, 6, false, 49},
        {"fire_ball", TargetType::Unit, 200, C::Removed, 6, false, 200},
        {"blizzard", TargetType::Point, 49, C::NoTarget, 6, false, 49},
        {"blizzard", TargetType::Point, 50, C::NoTarget, 6, true, 0},
        {"bombing", TargetType::Point, 0, C::NoTarget, 6, true, 0},
    };
    for (const C& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " mana " + std::to_string(c.mana) + " aimed at tile " +
                     std::to_string(c.aimTileX) + " target " + std::to_string(c.target));
        SpellInfo& info = spellInfo[c.key];
        info.id = c.key;
        info.range = 4;
        info.cooldown = 5.0f;
        info.targetType = c.targetType;
        info.effect = effectFunctions.at(c.key);
        Unit& caster = place("Footman", LOCAL, {5, 5});
        caster.mana = c.mana;
        const int casterId = caster.id;
        const int targetId = place("Footman", ENEMY, {6, 5}).id;
        if (c.target == C::Removed) removeUnit(targetId);

        CastSpellCommand order;
        order.unitId = casterId;
        order.targetId = c.target == C::NoTarget ? -1 : targetId;
        order.targetX = static_cast<int>(centre(c.aimTileX));
        order.targetY = static_cast<int>(centre(5));
        order.spell = c.key;
        unit(casterId).orders.push_back({CommandType::CastSpell, order});
        updateUnitQueueAction(unit(casterId), grid);

        EXPECT_FLOAT_EQ(unit(casterId).cooldowns[c.key], c.casts ? 5.0f : 0.0f);
        EXPECT_EQ(unit(casterId).mana, c.manaLeft);
        EXPECT_EQ(activeSpells.empty() && projectiles.empty(), !c.casts) << "nothing else happened";
        EXPECT_TRUE(unit(casterId).orders.empty()) << "the idle caster drops the entry either way";
        removeUnit(casterId);
        if (c.target != C::Removed) removeUnit(targetId);
        activeSpells.clear();
        projectiles.clear();
    }
}

}  // namespace
