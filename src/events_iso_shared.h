// Helpers the match input files share: the own part of the selection, selection sounds and order markers.
#pragma once

#include <vector>

#include <SDL2/SDL.h>

struct Unit;
struct Building;

// The selected units the local player owns, in selection order; orders name only these.
std::vector<int> ownSelectedUnits();
bool isOwnUnit(const Unit& u);
// With the fog on, the player cannot see the tile now.
bool fogHides(int tileX, int tileY);
// With the fog on, the unit stands where the player cannot see now (or off the grid).
bool unitHiddenByFog(const Unit& u);
void playUnitResponse(const Unit& u);
// The type's sound for the local player's finished building, burning below 60% health, or construction.
void playBuildingSelected(const Building& b);
// Units, buildings and map objects.
void clearAllSelections();

constexpr SDL_Color ATTACK_MARK{255, 0, 0, 255};
constexpr SDL_Color MOVE_MARK{0, 200, 50, 255};
void markOrder(SDL_FPoint world, SDL_Color colour);

inline bool isKeyDown(const SDL_Event& e, SDL_Keycode key) { return e.type == SDL_KEYDOWN && e.key.keysym.sym == key; }
