// Lockstep turn exchange.
#include "lockstep.h"

LockstepManager lockstep;
