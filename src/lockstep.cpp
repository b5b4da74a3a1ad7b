// Lockstep turn exchange: the one manager of the run.
#include "lockstep.h"

LockstepManager lockstep;
