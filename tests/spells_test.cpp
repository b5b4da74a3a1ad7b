// Spells in progress: pulses and their reach, shards, blasts, shields and glows, the teleport, end actions and removal.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "spell_world.h"

namespace {

struct SpellsInProgress : SpellWorld {
    // The ticks, counted from 1, in which the unit lost hit points.
    static std::vector<int> ticksHurt(int unitId, int ticks) {
        std::vector<int> hurt;
        for (int t = 1; t <= ticks; ++t) {
            const float before = unit(unitId).hp;
            tick();
            if (unit(unitId).hp < before) hurt.push_back(t);
        }
        return hurt;
    }

    static void addTree(int x, int y) {
        mapObjectInfo["Tree"].name = "Tree";
        mapObjectsSprites["Tree"];
        createObjects({{"Tree", x, y}}, grid);
    }
};

TEST_F(SpellsInProgress, BombingPulsesInTicks63_126And188ThenEnds) {
    const int caster = place("Footman", LOCAL, {2, 2}).id;
    const int victim = place("Footman", ENEMY, {10, 10}).id;
    effectBombing(aim(caster, -1, {centre(10), centre(10)}));
    EXPECT_EQ(ticksHurt(victim, 187), (std::vector<int>{63, 126}));
    ASSERT_EQ(activeSpells.size(), 1u);
    tick();
    EXPECT_FLOAT_EQ(unit(victim).hp, 997.0f) << "the last pulse falls in the ending tick";
    EXPECT_TRUE(activeSpells.empty());
    EXPECT_EQ(spellSounds.size(), 188u) << "the sound is asked for every tick the spell lives";
}

TEST_F(SpellsInProgress, BlizzardPulsesTenTimesAndVolleysEveryPointFourSeconds) {
    const int caster = place("Footman", LOCAL, {2, 2}).id;
    const int victim = place("Footman", ENEMY, {10, 10}).id;
    const V2f point{centre(10), centre(10)};
    effectBlizzard(aim(caster, -1, point));
    std::mt19937 mirror = rng;

    tick();
    const ActiveSpell& blizzard = activeSpells[0];
    ASSERT_EQ(blizzard.shards.size(), 8u) << "the first volley comes in the first tick";
    EXPECT_FLOAT_EQ(blizzard.spawnTimer, 0.4f);
    for (size_t i = 5; i < 8; ++i) {
        const float angle = draw(mirror) * 6.2831855f;
        const float r = draw(mirror) * 280.0f;
        EXPECT_FLOAT_EQ(blizzard.shards[i].position.x, point.x + r * std::cos(angle));
        EXPECT_FLOAT_EQ(blizzard.shards[i].position.y, point.y + r * std::sin(angle));
    }

    const std::vector<int> hurt = ticksHurt(victim, 625);
    EXPECT_TRUE(activeSpells.empty()) << "ten seconds last 626 ticks";
    ASSERT_EQ(hurt.size(), 10u);
    EXPECT_EQ(hurt.front(), 62) << "tick 63 counted from the cast";
    for (size_t i = 1; i < hurt.size(); ++i) EXPECT_NEAR(hurt[i] - hurt[i - 1], 62.5, 0.5);
}

TEST_F(SpellsInProgress, AnAreaReachesTheTilesWithinItsRadiusAndHitsABuildingOncePerPulse) {
    const int caster = place("Footman", LOCAL, {2, 2}).id;
    const int inside = place("Footman", ENEMY, {12, 10}).id;
    const int own = place("Footman", LOCAL, {10, 8}).id;
    const int corner = place("Footman", ENEMY, {12, 11}).id;
    const int flyer = place("Gryphon", ENEMY, {10, 10}).id;
    const int ship = place("Ship", ENEMY, {9, 10}).id;
    Unit& shielded = place("Footman", ENEMY, {10, 11});
    shielded.unholyArmor = true;
    const int armoured = shielded.id;
    Unit& aboard = place("Footman", ENEMY, {11, 10});
    aboard.onMap = false;
    const int passenger = aboard.id;
    const int hall = placeBuilding("Hall", ENEMY, 10, 10, 3, 3);
    const int edge = placeBuilding("Farm", ENEMY, 13, 5, 3, 3);

    effectBombing(aim(caster, -1, {centre(10), centre(10)}));
    activeSpells[0].radius = 2;
    activeSpells[0].pulseTimer = 0.01f;
    tick();
    EXPECT_FLOAT_EQ(unit(inside).hp, 999.0f);
    EXPECT_FLOAT_EQ(unit(own).hp, 999.0f) << "the caster's side is hit too";
    EXPECT_FLOAT_EQ(unit(ship).hp, 999.0f);
    EXPECT_FLOAT_EQ(unit(corner).hp, 1000.0f) << "sqrt(5) is beyond 2";
    EXPECT_FLOAT_EQ(unit(flyer).hp, 1000.0f);
    EXPECT_FLOAT_EQ(unit(armoured).hp, 1000.0f);
    EXPECT_FLOAT_EQ(unit(passenger).hp, 1000.0f);
    EXPECT_FLOAT_EQ(getBuildingById(hall)->hp, 99.0f) << "hit once though six of its tiles lie inside";
    EXPECT_FLOAT_EQ(getBuildingById(edge)->hp, 100.0f);
}

TEST_F(SpellsInProgress, DemolitionStrikesEveryTickOfItsTenthOfASecondAndQueuesATreeOnce) {
    const int caster = place("Footman", LOCAL, {2, 2}).id;
    const int near = place("Footman", ENEMY, {11, 11}).id;
    const int flyer = place("Gryphon", ENEMY, {9, 10}).id;
    const int far = place("Footman", ENEMY, {12, 10}).id;
    const int hut = placeBuilding("Hut", ENEMY, 9, 9, 2, 2);
    addTree(11, 9);
    addTree(14, 14);
    effectDemolition(aim(caster, -1, {centre(10), centre(10)}));

    for (int i = 0; i < 7; ++i) tick();
    EXPECT_TRUE(activeSpells.empty());
    EXPECT_FLOAT_EQ(unit(near).hp, 993.0f);
    EXPECT_FLOAT_EQ(unit(flyer).hp, 993.0f) << "the blast reaches flyers";
    EXPECT_FLOAT_EQ(unit(far).hp, 1000.0f);
    EXPECT_FLOAT_EQ(getBuildingById(hut)->hp, 93.0f) << "once a tick, whatever its tiles in the block";
    EXPECT_EQ(mapObjectsToRemove, std::vector<int>{mapObjects[0].id});
}

TEST_F(SpellsInProgress, AFlameShieldBurnsItsNeighboursButNeverItsUnit) {
    const int caster = place("Footman", LOCAL, {2, 2}).id;
    Unit& knight = place("Footman", LOCAL, {10, 10});
    const int shielded = knight.id;
    const V2i sub = worldToSubTile(knight.x, knight.y);
    const int friendBeside = placeAt("Footman", LOCAL, (sub.x + 4) * 35.0f + 17.5f, sub.y * 35.0f + 17.5f).id;
    const int foeBeside = placeAt("Footman", ENEMY, sub.x * 35.0f + 17.5f, (sub.y - 1) * 35.0f + 17.5f).id;
    const int farther = place("Footman", ENEMY, {12, 10}).id;
    effectFlameShield(aim(caster, shielded, {0.0f, 0.0f}));
    EXPECT_EQ(activeSpells[0].offsets.size(), 4u);

    tick();
    EXPECT_FLOAT_EQ(activeSpells[0].position.x, unit(shielded).x) << "the shield goes with its unit";
    EXPECT_EQ(ticksHurt(friendBeside, 62), std::vector<int>{62});
    EXPECT_FLOAT_EQ(unit(foeBeside).hp, 999.0f);
    EXPECT_FLOAT_EQ(unit(shielded).hp, 1000.0f);
    EXPECT_FLOAT_EQ(unit(farther).hp, 1000.0f);

    activeSpells[0].targetId = -1;
    tick();
    EXPECT_TRUE(activeSpells.empty()) << "a shield without its unit ends at once";
}

TEST_F(SpellsInProgress, HealingFillsUpToMaximumAndGlowsAboveItsUnitFor38Ticks) {
    const int caster = place("Footman", LOCAL, {2, 2}).id;
    const int healed = place("Footman", LOCAL, {6, 6}).id;
    unit(healed).hp -= 20.0f;
    effectHealing(aim(caster, healed, {0.0f, 0.0f}));
    EXPECT_FLOAT_EQ(unit(healed).hp, unit(healed).maxHp);
    EXPECT_EQ(activeSpells[0].targetId, healed);
    unit(healed).x += 10.0f;
    tick();
    EXPECT_FLOAT_EQ(activeSpells[0].position.x, unit(healed).x);
    EXPECT_FLOAT_EQ(activeSpells[0].position.y, unit(healed).y - 56.0f);
    for (int i = 1; i < 37; ++i) tick();
    EXPECT_EQ(activeSpells.size(), 1u);
    tick();
    EXPECT_TRUE(activeSpells.empty());
}

TEST_F(SpellsInProgress, AShardFallsForASecondThenPlaysOutItsLastFrames) {
    ActiveSpell spell;
    spell.type = "Blizzard";
    spell.duration = 10.0f;
    spell.pulseTimer = 100.0f;
    spell.spawnTimer = 100.0f;
    spell.frameDuration = 0.3f;
    BlizzardShard shard;
    shard.dropOffset = -300.0f;
    shard.fallSpeed = 300.0f;
    spell.shards.push_back(shard);
    activeSpells.push_back(spell);

    std::vector<int> frames;
    int lastTick = 0;
    for (int t = 1; t <= 200 && !activeSpells[0].shards.empty(); ++t) {
        tick();
        lastTick = t;
        if (!activeSpells[0].shards.empty()) {
            const int frame = activeSpells[0].shards[0].frame;
            if (frames.empty() || frames.back() != frame) frames.push_back(frame);
        }
    }
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_NEAR(lastTick * TICK, 1.6f, 0.05f);
}

TEST_F(SpellsInProgress, AWhirlwindAtTheLeftEdgeTurnsUntilItStaysOnTheMap) {
    ActiveSpell spell;
    spell.type = "Whirlwind";
    spell.duration = 10.0f;
    spell.pulseTimer = 100.0f;
    spell.position = {0.5f, 700.0f};
    spell.heading = 3.1415927f;
    spell.speed = 120.0f;
    spell.frameDuration = 0.1f;
    spell.frameCount = 4;
    activeSpells.push_back(spell);
    std::mt19937 mirror = rng;
    const bool veers = draw(mirror) < 0.03f;
    ASSERT_FALSE(veers) << "the fixed seed does not veer on the first tick";

    tick();
    const ActiveSpell& wind = activeSpells[0];
    EXPECT_NEAR(wind.heading, 3.1415927f + 2 * 0.7853982f, 1e-5f) << "west and north-west run off the map";
    EXPECT_NEAR(wind.position.x, 0.5f, 1e-3f);
    EXPECT_FLOAT_EQ(wind.position.y, 700.0f - 120.0f * TICK);
}

TEST_F(SpellsInProgress, TheTeleportJumpsAtHalfASecondAndFreesItsUnitAt1_8) {
    const int id = place("Abyssal", ENEMY, {4, 4}).id;  // no sprite metadata: it must still arrive and be freed
    const V2f destination{centre(9), centre(4)};
    effectAbyssalTeleport(aim(id, -1, destination));

    int jumpedAt = 0;
    for (int t = 1; t <= 112; ++t) {
        tick();
        EXPECT_EQ(unit(id).state, UnitState::Teleporting);
        if (!jumpedAt && unit(id).x == destination.x) jumpedAt = t;
    }
    EXPECT_EQ(jumpedAt, 32) << "0.5 s of fading out";
    EXPECT_FLOAT_EQ(unit(id).y, destination.y);
    tick();
    EXPECT_TRUE(activeSpells.empty());
    EXPECT_EQ(unit(id).state, UnitState::Idle);
    EXPECT_FALSE(unit(id).isChanneling);
}

TEST_F(SpellsInProgress, EndsRemoveSummonsRestoreSpeedsAndFreeChannellers) {
    const int caster = place("Footman", LOCAL, {2, 2}).id;
    const V2f point{centre(8), centre(8)};
    effectHolyVision(aim(caster, -1, point));
    const int dummy = activeSpells.back().targetId;
    effectArtilleryFire(aim(caster, -1, point));
    Unit& marine = place("Footman", LOCAL, {3, 3});
    marine.attackSpeed = 2.0f;
    marine.movementSpeed = 200.0f;
    const int marineId = marine.id;
    effectSeeingRed(aim(marineId, marineId, {0.0f, 0.0f}));
    const int thrower = place("Footman", LOCAL, {2, 4}).id;
    effectLatchedMine(aim(thrower, -1, {centre(6), centre(6)}));

    for (int t = 0; t < 188; ++t) tick();
    for (const int freed : {caster, thrower}) {
        EXPECT_FALSE(unit(freed).isChanneling);
        EXPECT_EQ(unit(freed).goal, (V2i{-1, -1}));
    }
    EXPECT_EQ(unit(caster).state, UnitState::Idle);
    EXPECT_EQ(unit(marineId).attackInterval, 31) << "recomputed from the attack speed";
    EXPECT_EQ(unit(marineId).speedPerTick, 3);
    EXPECT_TRUE(unitsToRemove.empty());
    for (int t = 188; t < 313; ++t) tick();
    EXPECT_EQ(unitsToRemove, std::vector<int>{dummy});

    ActiveSpell unbound;
    unbound.type = "EyeOfVorthane";
    activeSpells.push_back(unbound);
    tick();
    EXPECT_EQ(unitsToRemove, std::vector<int>{dummy}) << "a record without a unit removes nothing";
}

TEST_F(SpellsInProgress, RemovingAUnitDropsTheSpellsOnItWithoutTheirEnds) {
    const int caster = place("Footman", LOCAL, {2, 2}).id;
    const int marine = place("Footman", LOCAL, {3, 3}).id;
    unit(marine).attackInterval = 60;
    effectSeeingRed(aim(marine, marine, {0.0f, 0.0f}));
    effectHealing(aim(caster, caster, {0.0f, 0.0f}));
    effectBombing(aim(marine, -1, {centre(9), centre(9)}));

    unitsToRemove.push_back(marine);
    processUnitRemovals(grid);
    ASSERT_EQ(activeSpells.size(), 2u);
    EXPECT_EQ(activeSpells[0].type, "Healing");
    EXPECT_EQ(activeSpells[1].type, "Bombing") << "a spell is dropped with the unit it follows, not its caster";
}

TEST_F(SpellsInProgress, NoSpellSurvivesIntoTheNextMatch) {
    const int caster = place("Footman", LOCAL, {2, 2}).id;
    effectArtilleryFire(aim(caster, -1, {centre(9), centre(9)}));
    clearActiveSpells();
    tick();
    EXPECT_TRUE(spellSounds.empty());
}

}  // namespace
