// The world pass steps that fill the draw queue: map objects, buildings, units and what the fog remembers of them.
#pragma once

#include <string>
#include <unordered_map>

#include <SDL2/SDL.h>

#include "buildings.h"
#include "renderer.h"
#include "renderer_iso_units.h"
#include "units.h"

// A building's drawing state: its sprite with the current frame, advanced by the renderer only.
struct BuildingLook {
    std::string type;  // the type the look was made for: an upgrade in place changes the building's type
    Sprite sprite;
    int frame = 0;
    float timer = 0.0f;
};
extern std::unordered_map<int, BuildingLook> buildingLooks;
extern std::unordered_map<int, UnitAnimation> unitAnimations;

// The building's sprite as last drawn, or as the catalogue gives it before its first frame.
Sprite buildingLook(const Building& b);
// The type's sheet at its first whole frame: what a remembered building shows, drawn before or not.
Sprite buildingPicture(const std::string& type);
// A new session starts without the last one's drawing state: its ids name other buildings and units.
void forgetEntityLooks();

void queueMapObjects(float dt, SDL_FPoint view);
void queueRememberedObjects(SDL_FPoint view);
void queueBuildings(float dt);
void queueRememberedBuildings();
// Also draws each unit's shadow and selection ring, which lie under every queued sprite.
void queueUnits(float dt);
void drawMapObjectRings();
void drawBuildingRings();
// Whether the local player may see a unit now: own units always, others on seen tiles (every unit without fog).
bool unitShown(const Unit& u);
