// Box selection: what lies inside a window box, soldiers before workers before civilians, by screen position.
#include <algorithm>

#include "buildings.h"
#include "config.h"
#include "events_iso.h"
#include "events_iso_shared.h"
#include "fog.h"
#include "input_state.h"
#include "map_objects.h"
#include "player.h"
#include "sdl_draw.h"
#include "sounds.h"
#include "units.h"

namespace {

constexpr float MARKER_HALF_SIDE = 12.0f;

bool overlaps(const SDL_FRect& a, const SDL_FRect& box) {
    return a.x + a.w >= box.x && box.x + box.w >= a.x && a.y + a.h >= box.y && box.y + box.h >= a.y;
}

// The bounding box of a tile footprint's four corners on screen.
SDL_FRect footprintOnScreen(int x, int y, int w, int h) {
    const float t = static_cast<float>(TILE_SIZE);
    const SDL_FPoint corners[] = {
        worldToScreen({static_cast<float>(x) * t, static_cast<float>(y) * t}),
        worldToScreen({static_cast<float>(x + w) * t, static_cast<float>(y) * t}),
        worldToScreen({static_cast<float>(x) * t, static_cast<float>(y + h) * t}),
        worldToScreen({static_cast<float>(x + w) * t, static_cast<float>(y + h) * t}),
    };
    SDL_FRect r{corners[0].x, corners[0].y, 0, 0};
    float right = r.x;
    float bottom = r.y;
    for (const SDL_FPoint& c : corners) {
        r.x = std::min(r.x, c.x);
        r.y = std::min(r.y, c.y);
        right = std::max(right, c.x);
        bottom = std::max(bottom, c.y);
    }
    r.w = right - r.x;
    r.h = bottom - r.y;
    return r;
}

SDL_FRect unitMarker(const Unit& u) {
    const SDL_FPoint s = worldToScreen({u.x, u.y});
    const float half = MARKER_HALF_SIDE * camera.zoom;
    const float lift = static_cast<float>(TILE_SIZE) / 2 * camera.zoom * getUnitVisualHeight(u);
    return SDL_FRect{s.x - half, s.y - lift - half, 2 * half, 2 * half};
}

bool isCivilian(const Unit& u) {
    const auto info = unitInfo.find(u.type);
    return info != unitInfo.end() && info->second.civilian;
}

bool isArmy(const Unit& u) { return !u.worker && !isCivilian(u); }

void clearForBox() {
    clearAllSelections();
    dragging = false;
}

}  // namespace

void IsoEventHandler::dragSelectUnits(SDL_FRect box) {
    clearForBox();
    std::vector<const Unit*> candidates;
    // A unit the fog hides is not taken, as a click could not take it: the selection would reveal it.
    for (const Unit& u : units)
        if (u.onMap && !unitHiddenByFog(u) && (lastClickedUnitType.empty() || u.type == lastClickedUnitType) &&
            overlaps(unitMarker(u), box))
            candidates.push_back(&u);
    const bool anyArmy = std::any_of(candidates.begin(), candidates.end(), [](const Unit* u) { return isArmy(*u); });
    const bool anyWorker =
        std::any_of(candidates.begin(), candidates.end(), [](const Unit* u) { return u->worker; });
    for (const Unit* u : candidates) {
        if (anyArmy ? !isArmy(*u) : anyWorker && isCivilian(*u)) continue;
        if (selectedUnits.empty() && (isOwnUnit(*u) || u->playerId == -1)) playUnitResponse(*u);
        if (u->harvestKind == ResourceType::Crystal)
            playSound(SoundCategory::UnitAction, UnitAction::Drill, true, u->x, u->y, 1);
        addToSelection(u->id);
    }
}

void IsoEventHandler::dragSelectBuildings(SDL_FRect box) {
    clearForBox();
    for (const Building& b : buildings) {
        if (!lastClickedBuildingType.empty() && b.type != lastClickedBuildingType) continue;
        if (!overlaps(footprintOnScreen(b.x, b.y, b.wTiles, b.hTiles), box)) continue;
        if (FOG && !isTileVisible(b.x, b.y)) continue;
        if (selectedBuildings.empty()) playBuildingSelected(b);
        addBuildingToSelection(b.id);
    }
}

// Buildings last seen under the fog, added to what the box took.
void IsoEventHandler::dragSelectRemembered(SDL_FRect box) {
    for (const auto& [key, ghost] : ghostBuildings) {
        if (!overlaps(footprintOnScreen(ghost.x, ghost.y, ghost.width, ghost.height), box)) continue;
        if (isTileVisible(ghost.x, ghost.y) || !isTileExplored(ghost.x, ghost.y)) continue;
        if (!selectedBuildings.empty())
            playSound(SoundCategory::UnitAction, UnitAction::Construct, false, 0, 0, 1);
        else if (ghost.completed && ghost.owner == Player::myStaticId)
            playSound(SoundCategory::Building, ghost.type, false, 0, 0, 1);
        addBuildingToSelection(ghost.id);
    }
}

void IsoEventHandler::dragSelectMapObjects(SDL_FRect box) {
    for (const MapObject& o : mapObjects) {
        if (!overlaps(footprintOnScreen(o.tileX, o.tileY, o.wTiles, o.hTiles), box)) continue;
        if (FOG && !isTileVisible(o.tileX, o.tileY)) continue;
        playSound(SoundCategory::MapObject, o.type, false, 0, 0, 1);
        addMapObjectToSelection(o.id);
    }
    if (!FOG) return;
    for (const auto& [key, ghost] : ghostObjects) {
        if (!overlaps(footprintOnScreen(ghost.x, ghost.y, ghost.width, ghost.height), box)) continue;
        playSound(SoundCategory::MapObject, ghost.type, false, 0, 0, 1);
        addMapObjectToSelection(ghost.id);
    }
}
