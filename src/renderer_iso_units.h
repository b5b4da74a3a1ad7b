// Which frame of its sheet a unit shows: a pure choice from the unit's flags, counters and its sprite record.
#pragma once

#include <SDL2/SDL.h>

#include "sprites.h"

// What the chooser reads of a unit.
struct UnitPose {
    bool teleporting = false;
    int teleportFrame = 0;
    bool swinging = false;   // the attack animation plays
    bool attacking = false;  // engaged with a target: the swing loops
    bool casting = false;
    bool harvesting = false;
    bool mining = false;
    int miningTicks = 0;
    int attackTicks = 0;
    int attackInterval = 0;
    bool moving = false;
    bool animatesIdle = false;  // an air unit or a record with animate247
};

// Per-unit drawing state kept by the renderer; the simulation never reads it.
struct UnitAnimation {
    int frame = 0;
    float timer = 0.0f;
    // A swing played once has ended at this attack tick; the unit shows its other frames until a new swing.
    bool swingOver = false;
    int swingEndTick = 0;
};

struct UnitFrame {
    bool teleport = false;  // cut from the teleport sheet
    int frame = 0;
    int rowOffset = 0;
    int height = 0;
    SDL_Rect src{0, 0, 0, 0};
};

// Advances the animation by dt and answers the frame and its source rectangle for the unit's direction.
UnitFrame chooseUnitFrame(const UnitSpriteMeta& meta, UnitPose pose, int direction, float dt, UnitAnimation& anim);
