// Training queues: the per-tick advance of every building's production queue, completion of trained units and
// research, the pruning of recruits who may no longer be trained, and the cancelling of a production slot.
#pragma once

#include "buildings.h"
#include "map.h"

// Per tick, for every building in vector order. Nothing here writes the grid, so the live grid is handed on.
void updateTrainings(float dt, Grid& grid);
void updateTraining(Building& building, float dt, Grid& grid);

// The StopProduction order. Slots below the production queue's length name its tasks: a started unit training is
// refunded with its recruit let out again, a research is refunded and leaves the queue. Slots past it name the
// recruits still walking to the building, in order; they are released without a refund. False for a slot that
// names nothing.
bool cancelProductionSlot(Building& building, int slot);
