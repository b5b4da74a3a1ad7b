// The unit frame chooser: walking on the frame timer, swings looped or played once, miners, teleports.
#include <gtest/gtest.h>

#include <vector>

#include "renderer_iso_units.h"

namespace {

UnitSpriteMeta sheet(int numFrames, int attackFrames) {
    UnitSpriteMeta m;
    m.frameWidth = 32;
    m.frameHeight = 40;
    m.numFrames = numFrames;
    m.attackFrames = attackFrames;
    return m;
}

std::vector<int> frames(const UnitSpriteMeta& m, UnitPose pose, int count, float dt, UnitAnimation& anim,
                        int tickStep = 0) {
    std::vector<int> out;
    for (int i = 0; i < count; ++i) {
        out.push_back(chooseUnitFrame(m, pose, 0, dt, anim).frame);
        pose.attackTicks += tickStep;
    }
    return out;
}

TEST(UnitFrames, WalkAdvancesOnEveryThirdFrameAtTenthSecondSteps) {
    UnitPose walking;
    walking.moving = true;
    UnitAnimation anim;
    EXPECT_EQ(frames(sheet(4, 0), walking, 7, 0.1f, anim), (std::vector<int>{0, 0, 1, 1, 1, 2, 2}));
    EXPECT_FLOAT_EQ(anim.timer, 0.1f);
}

TEST(UnitFrames, IdleShowsFrameZeroUnlessItAnimatesAllTheTime) {
    UnitAnimation still, flying;
    UnitPose idle;
    EXPECT_EQ(frames(sheet(4, 0), idle, 3, 0.3f, still), (std::vector<int>{0, 0, 0}));
    idle.animatesIdle = true;
    EXPECT_EQ(frames(sheet(4, 0), idle, 3, 0.3f, flying), (std::vector<int>{1, 2, 3}));
}

TEST(UnitFrames, SwingLoopsWhileEngagedAndPlaysOnceAfter) {
    UnitPose swing;
    swing.swinging = true;
    swing.attacking = true;
    swing.attackInterval = 20;
    UnitAnimation anim;
    // Each of 4 frames lasts 5 ticks; the loop wraps after 20.
    EXPECT_EQ(frames(sheet(4, 4), swing, 6, 0.0f, anim, 5), (std::vector<int>{0, 1, 2, 3, 0, 1}));
    swing.attacking = false;
    swing.attackTicks = 10;
    EXPECT_EQ(frames(sheet(4, 4), swing, 4, 0.0f, anim, 5), (std::vector<int>{2, 3, 0, 0}));
    EXPECT_TRUE(anim.swingOver);
    // A move resets the tick counter: the next swing plays again.
    swing.attackTicks = 0;
    EXPECT_EQ(chooseUnitFrame(sheet(4, 4), swing, 0, 0.0f, anim).frame, 0);
    EXPECT_FALSE(anim.swingOver);
}

TEST(UnitFrames, SwingWithoutAttackFramesShowsFrameZero) {
    UnitPose swing;
    swing.swinging = swing.attacking = true;
    swing.attackInterval = 20;
    UnitAnimation anim;
    EXPECT_EQ(frames(sheet(4, 0), swing, 3, 0.0f, anim, 7), (std::vector<int>{0, 0, 0}));
}

TEST(UnitFrames, StandingMinerTakesItsFrameFromItsTickCountInTheAttackRows) {
    UnitSpriteMeta m = sheet(4, 5);
    m.attackRowOffset = -2;  // counts as 0
    m.attackFrameHeight = 48;
    UnitPose miner;
    miner.harvesting = miner.mining = true;
    miner.miningTicks = 37;
    UnitAnimation anim;
    const UnitFrame f = chooseUnitFrame(m, miner, 2, 0.0f, anim);
    EXPECT_EQ(f.frame, 4);
    EXPECT_EQ(f.height, 48);
    EXPECT_EQ(f.src.x, 64);
    EXPECT_EQ(f.src.y, 4 * 48);
}

TEST(UnitFrames, WalkingWorkerCountsAttackFramesAndTeleportOverridesAll) {
    UnitPose worker;
    worker.harvesting = worker.moving = true;
    UnitAnimation anim;
    anim.frame = 2;
    EXPECT_EQ(frames(sheet(8, 3), worker, 1, 0.2f, anim), (std::vector<int>{0}));
    UnitPose teleport = worker;
    teleport.teleporting = true;
    teleport.teleportFrame = 6;
    anim.timer = 0.05f;
    const UnitFrame f = chooseUnitFrame(sheet(8, 3), teleport, 1, 0.2f, anim);
    EXPECT_TRUE(f.teleport);
    EXPECT_EQ(f.src.y, 6 * 40);
    EXPECT_FLOAT_EQ(anim.timer, 0.05f);
}

}  // namespace
