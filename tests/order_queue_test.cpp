// The unit order queue: casts re-checked for range and cooldown, walks into range, attack-moves, summons mid-tick.
#include <gtest/gtest.h>

#include "motion_world.h"

namespace {

struct OrderQueue : MotionWorld {
    std::vector<SpellContext> casts;

    void SetUp() override {
        MotionWorld::SetUp();
        addSpell("slow", 2, TargetType::Unit);
        addSpell("shield", 2, TargetType::Self);
    }

    void addSpell(const std::string& key, int range, TargetType target) {
        SpellInfo info;
        info.id = key;
        info.range = range;
        info.cooldown = 1.0f;
        info.targetType = target;
        info.effect = [this](const SpellContext& ctx) {
            casts.push_back(ctx);
            return true;
        };
        spellInfo[key] = info;
    }

    static void queueCast(int caster, const std::string& spell, V2i targetTile, int targetId = -1) {
        CastSpellCommand cast;
        cast.unitId = caster;
        cast.targetId = targetId;
        cast.targetX = targetTile.x * 140 + 70;
        cast.targetY = targetTile.y * 140 + 70;
        cast.spell = spell;
        unit(caster).orders.push_back({CommandType::CastSpell, cast});
    }

    static void queueAttackMove(int id, V2i to) {
        AttackMove move;
        move.unitId = id;
        move.x = to.x;
        move.y = to.y;
        unit(id).orders.push_back({CommandType::AttackMove, move});
    }
};

TEST_F(OrderQueue, ACastOneTileBeyondTheSpellsRangeIsNotCast) {
    const int caster = place("Footman", LOCAL, {10, 10});  // tile (2, 2)
    queueCast(caster, "slow", {5, 2});
    tick();
    EXPECT_TRUE(casts.empty());
    EXPECT_TRUE(unit(caster).orders.empty()) << "an idle caster drops the refused entry at once";
    EXPECT_FALSE(unit(caster).orderRunning);

    queueCast(caster, "slow", {4, 2}, 77);
    tick();
    ASSERT_EQ(casts.size(), 1u);
    EXPECT_EQ(casts[0].casterId, caster);
    EXPECT_EQ(casts[0].targetId, 77);
    EXPECT_EQ(casts[0].targetPos, (V2f{4 * 140 + 70, 2 * 140 + 70}));
}

TEST_F(OrderQueue, ASelfSpellIsCastWhateverTheDistance) {
    const int caster = place("Footman", LOCAL, {10, 10});
    queueCast(caster, "shield", {19, 19});
    tick();
    EXPECT_EQ(casts.size(), 1u);
}

TEST_F(OrderQueue, ASecondCastWaitsForTheCooldownToRunOut) {
    const int caster = place("Footman", LOCAL, {10, 10});
    queueCast(caster, "slow", {3, 2});
    queueCast(caster, "slow", {3, 2});
    tick();
    ASSERT_EQ(casts.size(), 1u);
    EXPECT_FLOAT_EQ(unit(caster).cooldowns["slow"], 1.0f - TURN_LENGTH) << "set to the spell's, then counted";
    tick();
    EXPECT_EQ(casts.size(), 1u) << "refused while the cooldown runs";
    EXPECT_FLOAT_EQ(unit(caster).cooldowns["slow"], 1.0f - 2 * TURN_LENGTH) << "a refusal leaves it running";
    EXPECT_TRUE(unit(caster).orders.empty());

    // 1 / 0.016 = 62.5: the 63rd countdown takes it below 0.
    run(60);
    queueCast(caster, "slow", {3, 2});
    tick();
    EXPECT_EQ(casts.size(), 1u);
    queueCast(caster, "slow", {3, 2});
    tick();
    EXPECT_EQ(casts.size(), 2u);
}

TEST_F(OrderQueue, AMoveQueuedBeforeACastWalksTheCasterIntoRangeFirst) {
    const int caster = place("Footman", LOCAL, {10, 10});
    MoveCommand move;
    move.unitIds = {caster};
    move.x = 15;
    move.y = 2;
    unit(caster).orders.push_back({CommandType::Move, move});
    queueCast(caster, "slow", {17, 2}, 77);
    tick();
    EXPECT_EQ(unit(caster).state, UnitState::OrderedMove) << "walks without stopping for enemies";
    EXPECT_EQ(unit(caster).orders.size(), 2u);
    runUntilStill(2000);
    ASSERT_TRUE(casts.empty());
    EXPECT_EQ(worldToTile(unit(caster).x, unit(caster).y), (V2i{15, 2}));
    run(2);  // the caster arrives, Idle; the next queue step drops the Move entry
    EXPECT_TRUE(casts.empty());
    tick();  // and the cast starts in the tick after
    ASSERT_EQ(casts.size(), 1u);
    EXPECT_EQ(casts[0].targetId, 77);
    EXPECT_TRUE(unit(caster).orders.empty());
}

TEST_F(OrderQueue, TwoAttackMovesRunOneAfterTheOther) {
    const int id = place("Footman", LOCAL, {10, 10});
    queueAttackMove(id, {20, 10});
    queueAttackMove(id, {20, 20});
    tick();
    EXPECT_EQ(unit(id).state, UnitState::AttackMoving);
    EXPECT_TRUE(unit(id).orderRunning);
    int t = 1;
    while (unit(id).state != UnitState::Idle && t < 1000) {
        tick();
        ++t;
    }
    ASSERT_EQ(unit(id).orders.size(), 2u) << "the first entry stays until the next queue step";
    tick();
    EXPECT_EQ(unit(id).orders.size(), 1u);
    EXPECT_FALSE(unit(id).orderRunning);
    EXPECT_EQ(unit(id).state, UnitState::Idle);
    tick();
    EXPECT_TRUE(unit(id).orderRunning) << "the second starts in the tick after";
    EXPECT_EQ(unit(id).state, UnitState::AttackMoving);
    EXPECT_EQ(unit(id).goal, (V2i{20, 20}));
}

TEST_F(OrderQueue, AnAttackEntryStaysInFrontUntilTheUnitIsIdle) {
    const int id = place("Footman", LOCAL, {10, 10});
    unit(id).state = UnitState::HoldPosition;
    unit(id).orders.push_back({CommandType::Attack, AttackCommand{id, 5}});
    queueCast(id, "shield", {2, 2});
    run(3);
    EXPECT_EQ(unit(id).orders.size(), 2u);
    EXPECT_TRUE(casts.empty()) << "entries behind a running one wait";
    unit(id).state = UnitState::Idle;
    run(2);
    EXPECT_EQ(casts.size(), 1u);
}

TEST_F(OrderQueue, AMineEntryAimsTheWorkerAtTheResourcePosition) {
    const int id = place("Peon", LOCAL, {10, 10});
    unit(id).orders.push_back({CommandType::Mine, MineCommand{id, 6, 7, 424242}});
    tick();
    EXPECT_EQ(unit(id).mineTarget, (V2i{6, 7}));
    EXPECT_TRUE(unit(id).orders.empty()) << "no such resource: the idle worker drops it";
}

TEST_F(OrderQueue, UnitsSummonedDuringTheTickLeaveNoDanglingReferenceAndWaitForTheNextTick) {
    const int caster = place("Footman", LOCAL, {10, 10});
    const int later = place("Footman", LOCAL, {30, 30});
    std::vector<int> summoned;
    SpellInfo summon = spellInfo["shield"];
    summon.effect = [&](const SpellContext&) {
        units.shrink_to_fit();  // the next addition must move every unit
        for (int i = 0; i < 40; ++i) summoned.push_back(place("Footman", LOCAL, {40 + i, 50}));
        return true;
    };
    spellInfo["summon"] = summon;
    queueCast(caster, "summon", {2, 2});
    tick();
    ASSERT_EQ(summoned.size(), 40u);
    EXPECT_FLOAT_EQ(unit(caster).cooldowns["summon"], 1.0f - TURN_LENGTH) << "written on the caster where it now is";
    EXPECT_EQ(unit(caster).scanCounter, 1);
    EXPECT_EQ(unit(later).scanCounter, 1) << "units after the caster still run this tick";
    for (int id : summoned) EXPECT_EQ(unit(id).scanCounter, 0) << "first updated on the next tick";
    tick();
    for (int id : summoned) EXPECT_EQ(unit(id).scanCounter, 1);
}

}  // namespace
