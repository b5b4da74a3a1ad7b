// Extraction roster: the experience curve and level bonuses, call signs, placing the deployed roster, moving units
// between the rosters, revival, and the texts the map picker describes a mission with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "extraction_campaign.h"

struct Grid;
struct Unit;

// Total experience needed to reach the level.
int64_t get_xp_required_for_level(int level);
// One level's bonus: +10 maximum hit points, a full heal, +2 damage.
void applyLevelBonuses(Unit& unit);
// Every level above 1 at once, for a unit built at a higher level.
void applyEveryLevelBonuses(Unit& unit);
// Experience for a kill while the chosen mission's budget lasts, with the level-ups it buys; false when refused.
bool grantUnitExp(Unit& unit, int xp);
// What killing a generated enemy of the type and level is worth.
int calculate_enemy_xp_gain(const std::string& type, int level);

extern const char* const NAMES[100];
const char* getRandomNickname();

// Places activeDeploymentRoster around tile (x, y) for the player.
void spawn_roster(Grid& grid, int x, int y, int owner);

std::string get_difficulty_label(float danger);
std::string get_map_size_label(int width, int height);

// ---- Between the rosters ----

// "nickname (type) - level ALIVE|DEAD"
std::string rosterRowText(const UnitSaveData& unit);
std::vector<std::string> rosterRows(const std::vector<UnitSaveData>& roster);

// Moves the unit at row from one roster to the end of the other (a dead unit only when allowDead) and answers the
// row to select afterwards in the source list: -1 when it is empty, its last row when row is now past the end,
// else 0. An invalid row or a refused unit moves nothing and answers row.
int moveRosterUnit(std::vector<UnitSaveData>& from, std::vector<UnitSaveData>& to, int row, bool allowDead);

enum class Revival { Refused, Revived, NotSaved };
// Revives the dead unit at index of shipRoster for a cryopod when "DNA cloning" is unlocked, and saves the campaign
// at once; a save that failed undoes the revival.
Revival reviveRosterUnit(size_t index);
