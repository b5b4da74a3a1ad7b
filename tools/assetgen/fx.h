// Effects, blood decals, projectiles in five facings, hit bursts and spell textures.
#pragma once

#include <string>

#include "raster.h"

// Frames stacked downward, frameWidth x frameHeight each.
Image effectStrip(const std::string& name, int fw, int fh, int frames);
// Five facing columns (up, up-right, right, down-right, down) by `frames` rows.
Image projectileSheet(const std::string& name, int fw, int fh, int frames);
// Frames side by side in one row.
Image projectileHitStrip(const std::string& name, int fw, int fh, int frames);
// Spell textures the renderer cuts with fixed frame sizes; `frames` for the others.
Image spellStrip(const std::string& key, int frames);
