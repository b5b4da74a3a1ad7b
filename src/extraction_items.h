// Extraction items: the items of the current match, the dead units corpses stand for, the two drops, carrying and
// the hit test for a click on an item.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <SDL2/SDL.h>

#include "extraction.h"
#include "units.h"

// One entry per item created in the current match; ids restart with it, so every item id is below its length.
extern std::vector<int> items;
extern int itemID;
// Unit id to the ids of the items it carries, in pick-up order.
extern std::unordered_map<int, std::vector<int>> unit_items;
// Copies of the units killed in the current match, the dead that corpse items stand for.
extern std::vector<Unit> graveyard;

// A slain enemy may leave a cryopod (2 in 100) once "DNA cloning" is unlocked.
void drop_item(Unit& unit);
// Restarts the drops' own generator from the seed, for a run whose drops must come out alike every time.
void seedItemDrops(std::uint32_t seed);
// The corpse item of a killed unit.
void spawn_corpse_item_on_unit_loss(Unit& unit);
bool itemContains(const Item& item, const SDL_FPoint& point);

// Where an item lies while it is on the ground.
std::optional<SDL_FPoint> itemOnGround(int itemId);
// The unit takes the item off the ground; answers its type, empty when it was not there to take.
std::string takeItem(int unitId, int itemId);
// A carrier's items come to lie where it died or left the map; it carries nothing after.
void dropCarriedItems(const Unit& unit);

// Match tear-down: every item, carried list and dead unit, and the id counter with them.
void clearMatchItems();
