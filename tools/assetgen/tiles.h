// Terrain art: ground diamonds, transition pieces, cliffs, slopes and the fixed HUD markers.
#pragma once

#include <string>
#include <vector>

#include "raster.h"

// One file of the fixed set the renderer loads by name, relative to "core/assets/global/".
struct FixedTexture {
    std::string file;
    Image (*make)(int arg);
    int arg;
};
const std::vector<FixedTexture>& fixedTextures();
// Draws the fixed file named relative to "core/assets/global/"; an empty image when unknown.
Image makeFixed(const std::string& file);

enum class Ground { Grass, GrassFlowers, GrassPebbles, GrassTufts, Drygrass, Mud, Water, Rock, Wall, Shore };
// A 2:1 ground diamond filling width x width/2.
Image groundTile(Ground g, int width, uint32_t seed);
// A terrain tile for the editor palette, chosen by its tile name ("Grass", "Water", ...).
Image namedTerrainTile(const std::string& name, int width);
