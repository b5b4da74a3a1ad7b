// Extraction missions: the map files and the mission offers, and the set-up of a mission (enemies, civilians,
// the wave strategy, the deployed roster).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "extraction.h"

struct Grid;

// Where the Extraction map files are; tests point it at a folder of their own.
extern std::string extractionMapFolder;

// The file's record; nothing, with one error line naming the file, for a file that cannot be read, is not JSON,
// lacks one of its four keys or holds a size beyond int.
std::optional<Extraction> loadExtraction(const std::string& path);

// At most four offers for the campaign level, one per map file at most, in random order; the overload takes the
// seed, the other draws it from the system's random device.
void generate_mission_options();
void generate_mission_options(uint32_t seed);

// After the world is built: enemies and civilians by the chosen mission's type, the wave strategy for survival,
// and an empty extraction dialog in the window's bottom-right corner.
void init_extraction_state();
// Groups of computer-owned enemies more than 20 tiles from start until the chosen mission's danger is spent.
void generate_elimination_extraction_enemies(int level, V2i start);
// In 30 % of missions, up to two groups of neutral civilians more than 20 tiles from start.
void generate_civilians(V2i start);
// A weighted enemy type for the race and level, drawn from rng.
std::string pick_unit_for_level(int level, const std::string& race);

// The Extraction part of a mission start, once the world is built: the mission set-up and its extraction dialog,
// then the deployed roster placed around rosterTile for the local player, then the critters.
void placeExtractionMission(Grid& grid, V2i rosterTile);
