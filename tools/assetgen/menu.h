// The main-menu backdrop: a dusk battlefield built from the game's own tiles, buildings and units.
#pragma once

#include "raster.h"

Image menuBackground(int w, int h);
