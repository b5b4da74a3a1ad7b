// Training queues: the per-tick advance of every building's production queue, completion of trained units and
// research, the pruning of recruits who may no longer be trained, and the cancelling of a production slot.
#pragma once

#include "buildings.h"
#include "map.h"

struct Unit;

// A recruit no longer wanted for a training is free to be claimed for another job.
void releaseRecruit(Unit& recruit);

// Sends a recruit whose walk ended short of the building on toward a free spot beside it, as the Train order
// would; false when no such spot can be reached.
bool resumeWalkToTraining(const Building& b, Unit& recruit);

// Per tick, for every building in vector order. Nothing here writes the grid, so the live grid is handed on.
void updateTrainings(float dt, Grid& grid);
void updateTraining(Building& building, float dt, Grid& grid);

// A building that is going: its recruits, inside or on their way, are let go and its queue stops.
void letOccupantsOut(Building& building);

// The StopProduction order. Slots below the production queue's length name its tasks: a started unit training is
// refunded with its recruit let out again, a research is refunded and leaves the queue. Slots past it name the
// recruits still walking to the building, in order; they are released without a refund. False for a slot that
// names nothing.
bool cancelProductionSlot(Building& building, int slot);
