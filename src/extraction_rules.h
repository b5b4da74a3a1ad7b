// Extraction rules of a mission: the per-frame waves, enemy strengthening, civilian recruitment and extraction-zone
// count, and the extraction itself with its tech reward.
#pragma once

#include <vector>

#include <SDL2/SDL.h>

extern float waveInterval;
extern float waveAccumulator;  // carries over into the next mission of the run
extern float units_per_wave;
extern float updateAiUnitsInterval;
extern float updateAiUnitsAccumulator;
extern int current_ai_global_level;  // carries over into the next mission of the run
extern float civilianRecruitmentTimer;
extern std::vector<int> units_around_extraction;

// The HUD's extraction panel: shown with the count of own units in the zone and of all own units, or hidden.
// Filled at start-up; nothing until then.
extern void (*ShowExtractPanel)(bool visible, int unitsInZone, int unitsListed);

// Once per match frame in Extraction, outside the tick: the only world change outside commands, allowed because an
// Extraction mission has no peers.
void update_extraction(float dt);
void spawnWave(float dt);
void make_ai_units_stronger(float dt);
void update_civilian_recruitment_spatial(float dt);
void check_units_around_extraction();

// Whether a world point lies in the square of five tiles around the extraction point; never without one.
bool inExtractionZone(SDL_FPoint p);

// The local player's units outside the extraction zone: those an extraction now would leave behind.
int unitsLeftBehind();

// Banks the own units in the zone (with the corpses and cryopods they carry) into the campaign, raises its level,
// pays the tech reward and saves and reopens the campaign; false outside Extraction or when the save failed, which
// leaves the campaign and the mission as they were.
bool extract();
// What the Extract button and the in-game End Scenario do: the match ends at the next frame with the mission banked,
// or goes on when the save failed. A mission already ending is not banked again.
void endMissionByExtraction();
// Tech points for the chosen mission's experience earned against its danger; answers the points earned.
int finalize_elimination_tech_reward();
