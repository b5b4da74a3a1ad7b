// The unit frame chooser: teleport, swing, harvest, walk, mine and idle frames in that order of precedence.
#include "renderer_iso_units.h"

#include <algorithm>

static int wrapFrame(int frame, int count) { return count > 0 ? frame % count : 0; }

// The frame timer's step: advance once 1/numFrames seconds have gathered, dropping the excess.
static int timedFrame(const UnitSpriteMeta& meta, int count, float dt, UnitAnimation& anim) {
    const float t = anim.timer + dt;
    const float period = static_cast<float>(1.0 / static_cast<double>(std::max(meta.numFrames, 1)));
    if (t < period) {
        anim.timer = t;
        return anim.frame;
    }
    anim.timer = 0.0f;
    return wrapFrame(anim.frame + 1, count);
}

// The swing loops while the unit is engaged, else it plays once and then ends.
static int swingFrame(const UnitSpriteMeta& meta, const UnitPose& pose, UnitAnimation& anim) {
    const int k = meta.attackFrames > 0 ? meta.attackFrames : 1;
    const int step = std::max(1, pose.attackInterval / k);
    const int a = pose.attackTicks / step;
    if (pose.attacking) return a % k;
    if (a < k) return a;
    anim.swingOver = true;
    anim.swingEndTick = pose.attackTicks;
    return 0;
}

// A new swing starts when the unit engages again or its tick counter was reset by a move.
static bool swingShows(const UnitPose& pose, UnitAnimation& anim) {
    if (anim.swingOver && (pose.attacking || pose.attackTicks < anim.swingEndTick)) anim.swingOver = false;
    return pose.swinging && !anim.swingOver;
}

UnitFrame chooseUnitFrame(const UnitSpriteMeta& meta, UnitPose pose, int direction, float dt, UnitAnimation& anim) {
    const int k = meta.attackFrames;
    const int n = meta.numFrames;
    const int attackRow = std::max(meta.attackRowOffset, 0);
    const int attackHeight = meta.attackFrameHeight > 0 ? meta.attackFrameHeight : meta.frameHeight;
    UnitFrame out;
    out.height = meta.frameHeight;
    const bool standing = !pose.moving;
    const auto attackRows = [&] {
        out.rowOffset = attackRow;
        out.height = attackHeight;
    };
    if (pose.teleporting) {
        out.teleport = true;
        out.frame = pose.teleportFrame;
    } else if (swingShows(pose, anim) || pose.casting) {
        out.frame = swingFrame(meta, pose, anim);
        if (standing) attackRows();
    } else if (pose.harvesting) {
        if (pose.moving) {
            out.frame = timedFrame(meta, k, dt, anim);
        } else {
            out.frame = wrapFrame(pose.miningTicks / 4, k);
            if (pose.mining) attackRows();
        }
    } else if (pose.moving) {
        out.frame = timedFrame(meta, n, dt, anim);
    } else if (pose.mining) {
        attackRows();
        out.frame = pose.animatesIdle ? timedFrame(meta, k > 0 ? k : n, dt, anim) : 0;
    } else {
        out.frame = pose.animatesIdle ? timedFrame(meta, n, dt, anim) : 0;
    }
    anim.frame = out.frame;
    const bool attackLayout = standing && !out.teleport && (pose.attacking || pose.mining || pose.casting);
    const int y = attackLayout ? out.rowOffset * meta.frameHeight + out.frame * attackHeight
                               : (out.frame + out.rowOffset) * meta.frameHeight;
    out.src = {direction * meta.frameWidth, y, meta.frameWidth, out.height};
    return out;
}
