// Match mouse: the pointer and the tile under it, HUD buttons, click selection, placement, spells and right-click
// orders; every order is a command for the local player's own units and buildings.
#include <algorithm>
#include <cmath>
#include <iostream>
#include <map>

#include "buildings.h"
#include "config.h"
#include "decorations.h"
#include "effect_grid.h"
#include "events_iso.h"
#include "events_iso_shared.h"
#include "extraction.h"
#include "extraction_items.h"
#include "fog.h"
#include "game_replay.h"
#include "game_state.h"
#include "hud.h"
#include "input_state.h"
#include "lockstep.h"
#include "map.h"
#include "map_objects.h"
#include "minimap.h"
#include "player.h"
#include "sdl_draw.h"
#include "sounds.h"
#include "spells.h"
#include "sprites.h"
#include "units.h"

namespace {

constexpr float DRAG_THRESHOLD_SQUARED = 5.0f;
constexpr uint32_t DOUBLE_CLICK_MS = 300;
constexpr float TOOLTIP_RISE = 80.0f;

// The pointer of the event being handled, in window pixels and in the world.
SDL_FPoint pointer{0, 0};
SDL_FPoint pointerWorld{0, 0};

V2i tileOfWorld(SDL_FPoint w) {
    return V2i{static_cast<int>(std::floor(w.x / tileSize())), static_cast<int>(std::floor(w.y / tileSize()))};
}

// Raised ground is drawn half a tile higher, so it is tried with the pointer shifted down by that much.
V2i hoveredTileAt(const IsoEventHandler& handler, const Grid& grid, SDL_FPoint mouse) {
    const V2i raised = tileOfWorld(handler.screenToWorld({mouse.x, mouse.y + tileSize() / 2 * camera.zoom}));
    if (isValidTile(raised) && grid.at(raised.x, raised.y).heightLevel == 1) return raised;
    const V2i ground = tileOfWorld(handler.screenToWorld(mouse));
    if (isValidTile(ground) && grid.at(ground.x, ground.y).heightLevel == 0) return ground;
    return V2i{-1, -1};
}

void moveGhostUnderPointer() {
    const BuildingInfo& info = buildingInfo.at(ghostBuildingType);
    const float t = tileSize();
    const int x = static_cast<int>((pointerWorld.x - static_cast<float>(info.wTiles) * t / 2) / t);
    const int y = static_cast<int>((pointerWorld.y - static_cast<float>(info.hTiles) * t / 2) / t);
    ghostTile = V2i{std::clamp(x, 0, std::max(MAP_W - 1, 0)), std::clamp(y, 0, std::max(MAP_H - 1, 0))};
}

template <class HudButton>
const HudButton* buttonUnderPointer(const std::vector<HudButton>& buttons) {
    return hudButtonAt(buttons, pointer.x, pointer.y);
}

// True when a button with a tooltip lies under the pointer.
bool showHoverTooltip() {
    if (!selectedBuildings.empty()) {
        if (const auto* b = buttonUnderPointer(hudBuildingUnitsButtons))
            return createTooltip(b->rect.x, b->rect.y - TOOLTIP_RISE, tooltipText(unitTooltips, b->unitType)), true;
        if (const auto* b = buttonUnderPointer(hudUpgradeButtons))
            return createTooltip(b->rect.x, b->rect.y - TOOLTIP_RISE, tooltipText(upgradeTooltips, b->upgradeId)),
                   true;
    }
    const Unit* first = getFirstSelectedUnit();
    if (first && first->worker)
        if (const auto* b = buttonUnderPointer(hudBuildingButtons))
            return createTooltip(b->rect.x, b->rect.y - TOOLTIP_RISE,
                                 tooltipText(buildingToolTips, b->buildingType)),
                   true;
    return false;
}

// Only what the player sees can be targeted, as only that can be clicked: a unit or building under the fog is no
// target, and the press is an order to the ground there.
const Unit* lastUnitUnder(SDL_FPoint press) {
    const Unit* found = nullptr;
    for (const Unit& u : units)
        if (u.onMap && !unitHiddenByFog(u) && unitContains(u, press)) found = &u;
    return found;
}

Command castAt(const Unit& u, const std::string& spell, int x, int y, int targetId) {
    return Command{CommandType::CastSpell, u.playerId, CastSpellCommand{u.id, targetId, x, y, spell, true}};
}

// Instant spells are cast by every own selected unit at once; others wait for a target with the last caster.
void pickSpell(const std::string& spell) {
    selectedSpell = spell;
    const bool instant = spell == "SeeingRed" || spell == "FreezingBullets" || spell == "LatchedMine";
    for (int id : ownSelectedUnits()) {
        const Unit* u = getUnitById(id);
        if (!u) continue;
        if (instant)
            lockstep.collectCommand(castAt(*u, spell, static_cast<int>(u->x), static_cast<int>(u->y), u->id));
        else
            spellCtx.casterId = id;
    }
    if (instant) selectedSpell.clear();
}

// A spell aimed at a unit takes the unit the player sees under the press, and is not cast without one; any other
// spell takes the point.
void castSelectedSpellAt(SDL_FPoint press, SDL_FPoint w) {
    const auto spell = spellInfo.find(selectedSpell);
    const bool atUnit = spell != spellInfo.end() && spell->second.targetType == TargetType::Unit;
    const Unit* target = atUnit ? lastUnitUnder(press) : nullptr;
    if (target) w = target->getWorldPos();
    if (!atUnit || target)
        for (int id : ownSelectedUnits())
            if (const Unit* u = getUnitById(id))
                lockstep.collectCommand(castAt(*u, selectedSpell, static_cast<int>(w.x), static_cast<int>(w.y),
                                               target ? target->id : u->id));
    selectedSpell.clear();
}

// A carrier over ground that cannot take its passengers keeps them; false then.
bool unloadCarrier(Grid& grid, const Unit& carrier) {
    const V2i at{static_cast<int>(carrier.x / tileSize()), static_cast<int>(carrier.y / tileSize())};
    if (!grid.walkable(at.x, at.y, Tile::Grass)) return false;
    const auto cargo = zeppelinCargo.find(carrier.id);
    if (cargo == zeppelinCargo.end()) return true;
    for (int passenger : cargo->second)
        lockstep.collectCommand(
            Command{CommandType::CarrierDropOff, carrier.playerId, CarrierDropOffCommand{passenger, carrier.id}});
    return true;
}

struct PressOutcome {
    bool hit = false;
    bool endCall = false;
};

PressOutcome pressUnitPanel(Grid& grid, Unit& first) {
    if (const auto* icon = buttonUnderPointer(unitHUDHitboxes)) {
        const int id = icon->unitId;
        clearUnitSelection();
        addToSelection(id);
        return {true, false};
    }
    if (!isOwnUnit(first)) return {};
    if (first.worker) {
        if (const auto* b = buttonUnderPointer(hudBuildingButtons)) {
            startPlacingBuilding(ghostBuildingType, ghostSprite, placingBuilding, b->buildingType);
            return {true, false};
        }
    } else if (first.carrier) {
        if (buttonUnderPointer(hudCarrierButtons)) return {true, !unloadCarrier(grid, first)};
    } else if (const auto* s = buttonUnderPointer(hudSpellButtons)) {
        pickSpell(s->spell);
        return {true, false};
    }
    return {};
}

bool pressSpawnButton() {
    if (!GOD_MODE) return false;
    const auto* b = buttonUnderPointer(hudSpawnUnitsButtons);
    if (b) lockstep.collectCommand(Command{CommandType::Spawn, b->playerId, SpawnCommand{b->unitType}});
    return b != nullptr;
}

bool pressBuildingPanel(const Building& b) {
    if (b.playerId != Player::myStaticId) return false;
    if (const auto* button = buttonUnderPointer(hudBuildingUnitsButtons)) {
        lockstep.collectCommand(
            Command{CommandType::TrainUnit, b.playerId, TrainUnitCommand{b.id, button->unitType}});
        return true;
    }
    if (const auto* slot = buttonUnderPointer(hudProgressBarButtons)) {
        if (slot->index < static_cast<int>(b.productionQueue.size()))
            lockstep.collectCommand(
                Command{CommandType::StopProduction, b.playerId, StopProductionCommand{b.id, slot->index}});
        return true;
    }
    if (!b.completed || !buildingHasUpgrades(b.type)) return false;
    const auto* upgrade = buttonUnderPointer(hudUpgradeButtons);
    if (upgrade)
        lockstep.collectCommand(
            Command{CommandType::ResearchUpgrade, b.playerId, ResearchUpgradeCommand{b.id, upgrade->upgradeId}});
    return upgrade != nullptr;
}

// A press on the bar pauses playback and seeks to the turn at that fraction of the replay.
bool seekOnReplayBar(SDL_FPoint press) {
    const SDL_Rect& bar = replay_bar;
    const int px = static_cast<int>(press.x);
    const int py = static_cast<int>(press.y);
    if (bar.w <= 0 || px < bar.x || px >= bar.x + bar.w || py < bar.y || py >= bar.y + bar.h) return false;
    replayPaused = true;
    const float f = std::clamp((press.x - static_cast<float>(bar.x)) / static_cast<float>(bar.w), 0.0f, 1.0f);
    jump_to_turn(static_cast<int>(static_cast<float>(lastReplayTick()) * f));
    return true;
}

void playError() { playSound(SoundCategory::Game, Game::Error, false, 0, 0, 1); }

// False when the building lacks the effect its footprint needs: the whole call then ends.
bool placeGhostBuilding(const Grid& grid) {
    const BuildingInfo& info = buildingInfo.at(ghostBuildingType);
    if (!grid.walkable(ghostTile.x, ghostTile.y, info.walkable) && info.walkable != Tile::Water) {
        playError();
        return true;
    }
    const Unit* worker = getFirstSelectedUnit();
    if (!worker) {
        ghostBuildingType = "None";
        placingBuilding = false;
        return true;
    }
    if (!footprintHasRequiredEffect(info, ghostTile)) {
        playError();
        std::cerr << "Cannot build " << ghostBuildingType << " \xE2\x80\x94 missing effect " << *info.requiresEffect
                  << "\n";
        return false;
    }
    if (!isOwnUnit(*worker)) return true;
    lockstep.collectCommand(Command{CommandType::PlaceBuildingDown, worker->playerId,
                                    PlaceBuildingDownCommand{ghostBuildingType, ghostTile.x, ghostTile.y, worker->id}});
    return true;
}

bool footprintContains(int x, int y, int w, int h, SDL_FPoint p) {
    const float t = tileSize();
    return p.x >= static_cast<float>(x) * t && p.x <= static_cast<float>(x + w) * t &&
           p.y >= static_cast<float>(y) * t && p.y <= static_cast<float>(y + h) * t;
}

// A unit of the selection clicked as the target is not sent to attack itself.
void attackWithSelection(int targetId, SDL_FPoint mark) {
    for (int id : ownSelectedUnits())
        if (const Unit* u = getUnitById(id); u && id != targetId)
            lockstep.collectCommand(Command{CommandType::Attack, u->playerId, AttackCommand{id, targetId}});
    markOrder(mark, ATTACK_MARK);
}

void attackMoveSelectionTo(SDL_FPoint p) {
    const int x = static_cast<int>(p.x / static_cast<float>(SUB_TILE_SIZE));
    const int y = static_cast<int>(p.y / static_cast<float>(SUB_TILE_SIZE));
    for (int id : ownSelectedUnits())
        if (const Unit* u = getUnitById(id))
            lockstep.collectCommand(Command{CommandType::AttackMove, u->playerId, AttackMove{id, x, y, false}});
    markOrder(p, ATTACK_MARK);
}

// The whole view as a window box, for selecting every unit or building of one type in sight.
SDL_FRect wholeView() {
    const SDL_FPoint size = windowSize();
    return SDL_FRect{0, 0, size.x, size.y};
}

bool clickSelectMapObject(SDL_FPoint p) {
    for (const MapObject& o : mapObjects) {
        if (!footprintContains(o.tileX, o.tileY, o.wTiles, o.hTiles, p)) continue;
        playSound(SoundCategory::MapObject, o.type, false, 0, 0, 1);
        if (!shift) clearAllSelections();
        addMapObjectToSelection(o.id);
        return true;
    }
    return false;
}

// The bottom panel is drawn over the whole width of the window and hides the world behind it.
bool onHudPanel(SDL_FPoint p) {
    const SDL_FPoint size = windowSize();
    return p.y >= size.y - HUD_SIZE && p.y <= size.y && p.x >= 0 && p.x <= size.x;
}

// A click meant as an order (a pending spell, an armed attack-move) keeps the units it orders.
void clickOnNothing(SDL_FPoint release, bool ordering) {
    if (onHudPanel(release)) return;
    if (!ordering) clearUnitSelection();
    clearBuildingSelection();
    clearMapObjectSelection();
    clearDecorationSelection();
}

}  // namespace

bool unitContains(const Unit& u, const SDL_FPoint& screen) {
    const auto meta = unitSprites.find(u.type);
    if (meta == unitSprites.end()) return false;
    const UnitSpriteMeta& m = meta->second;
    const SDL_FPoint s = worldToScreen({u.x, u.y});
    const float t = tileSize();
    const float z = camera.zoom;
    const float side = m.scaleMultiplier * t;
    const float boxW = m.hitboxScaleX * side * z;
    const float boxH = m.hitboxScaleY * side * z;
    const float left = s.x - boxW * 0.5f + m.pivot.x * boxW / (static_cast<float>(m.frameWidth) * z);
    const float top = s.y - (t * 0.5f) * getUnitVisualHeight(u) * z - boxH * 0.5f +
                      m.pivot.y * boxH / (static_cast<float>(m.frameHeight) * z);
    return screen.x >= left && screen.x <= left + boxW && screen.y >= top && screen.y <= top + boxH;
}

bool IsoEventHandler::trackPointer(Grid& grid, const SDL_Event& event) {
    const PointerView view = readPointerView();
    pointer = SDL_FPoint{view.mouseX, view.mouseY};
    pointerWorld = screenToWorld(pointer);
    hoveredTile = hoveredTileAt(*this, grid, pointer);
    if (placingBuilding) {
        const bool cancel = (event.type == SDL_MOUSEBUTTONDOWN && event.button.button == SDL_BUTTON_RIGHT) ||
                            (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE);
        if (cancel)
            placingBuilding = false;
        else
            moveGhostUnderPointer();
    }
    // A box begun on the map is let go over a button as anywhere else, or it would stay on screen.
    if (showHoverTooltip() && !isPotentiallyDragging) pointerOverHud = true;
    return handleMinimapClick(grid, event);
}

void IsoEventHandler::armDragAfterMotion(const SDL_Event&) {
    if (!isPotentiallyDragging || dragging) return;
    const float dx = pointer.x - static_cast<float>(dragStartRawScreen.x);
    const float dy = pointer.y - static_cast<float>(dragStartRawScreen.y);
    if (dx * dx + dy * dy > DRAG_THRESHOLD_SQUARED) dragging = true;
}

bool IsoEventHandler::handleLeftPress(Grid& grid, SDL_FPoint press) {
    if (mode == GameMode::Replay && seekOnReplayBar(press)) {
        pointerOverHud = true;
        return true;
    }
    const bool onPanel = onHudPanel(press);
    if (placingBuilding && !onPanel && !placeGhostBuilding(grid)) return false;
    PressOutcome outcome;
    if (Unit* first = getFirstSelectedUnit()) outcome = pressUnitPanel(grid, *first);
    if (outcome.endCall) return false;
    if (pressSpawnButton()) outcome.hit = true;
    if (const Building* b = getFirstSelectedBuilding(); b && pressBuildingPanel(*b)) outcome.hit = true;
    // A press on the panel never reaches the world behind it: no placement, cast or box starts there.
    if (outcome.hit || onPanel) pointerOverHud = true;
    if (pointerOverHud) return true;
    if (!selectedSpell.empty()) castSelectedSpellAt(press, pointerWorld);
    isPotentiallyDragging = true;
    dragStartScreen = screenToWorld(press);
    dragStart = pointerWorld;
    dragStartRawScreen = SDL_Point{static_cast<int>(press.x), static_cast<int>(press.y)};
    return true;
}

void IsoEventHandler::handleLeftRelease(SDL_FPoint release) {
    isPotentiallyDragging = false;
    const SDL_FPoint p = screenToWorld(release);
    if (dragging) return boxSelect(release);
    const uint32_t now = inputTicks();
    const bool unitHit = clickSelectUnit(release, p, now);
    bool hit = unitHit || clickSelectBuilding(p, now);
    // A unit in sight stands in front of what the fog remembers; a remembered building is a hit, so the click does
    // not go on to clear the selection it made.
    if (FOG && !unitHit && clickSelectRemembered(p)) hit = true;
    if (!hit) hit = clickSelectMapObject(p);
    if (!hit) clickOnNothing(release, !selectedSpell.empty() || attackMoveArmed);
    if (attackMoveArmed) attackMoveSelectionTo(p);
    attackMoveArmed = false;
}

bool IsoEventHandler::clickSelectUnit(SDL_FPoint release, SDL_FPoint world, uint32_t now) {
    const auto found = std::find_if(units.begin(), units.end(), [&](const Unit& u) {
        return u.onMap && !unitHiddenByFog(u) && unitContains(u, release);
    });
    if (found == units.end()) return false;
    const Unit x = *found;
    if (selectedUnits.empty() && (isOwnUnit(x) || x.playerId == -1)) playUnitResponse(x);
    // An armed attack-move click is an order, never the second click of a double click.
    if (!attackMoveArmed && now - lastUnitClickTicks < DOUBLE_CLICK_MS) lastClickedUnitType = x.type;
    lastUnitClickTicks = now;
    if (!lastClickedUnitType.empty()) {
        dragSelectUnits(wholeView());
        lastClickedUnitType.clear();
    } else if (attackMoveArmed) {
        attackWithSelection(x.id, world);
        attackMoveArmed = false;
    } else {
        if (!shift) clearAllSelections();
        addToSelection(x.id);
    }
    return true;
}

bool IsoEventHandler::clickSelectBuilding(SDL_FPoint world, uint32_t now) {
    const auto found = std::find_if(buildings.begin(), buildings.end(), [&](const Building& b) {
        return footprintContains(b.x, b.y, b.wTiles, b.hTiles, world) && !fogHides(b.x, b.y);
    });
    if (found == buildings.end()) return false;
    const Building b = *found;
    if (!attackMoveArmed && now - lastBuildingClickTicks < DOUBLE_CLICK_MS) lastClickedBuildingType = b.type;
    lastBuildingClickTicks = now;
    if (!lastClickedBuildingType.empty()) {
        dragSelectBuildings(wholeView());
        lastClickedBuildingType.clear();
    } else if (attackMoveArmed) {
        attackWithSelection(b.id, world);
        attackMoveArmed = false;
    } else {
        if (!shift) clearAllSelections();
        playBuildingSelected(b);
        addBuildingToSelection(b.id);
    }
    return true;
}

// A building last seen under the fog can still be picked, to look at what was there.
bool IsoEventHandler::clickSelectRemembered(SDL_FPoint world) {
    bool picked = false;
    for (const auto& [key, ghost] : ghostBuildings) {
        if (!footprintContains(ghost.x, ghost.y, ghost.width, ghost.height, world)) continue;
        if (!isValidTile({ghost.x, ghost.y}) || isTileVisible(ghost.x, ghost.y) || !isTileExplored(ghost.x, ghost.y))
            continue;
        // The armed attack-move goes to the remembered building's ground, as to any ground out of sight.
        if (attackMoveArmed) continue;
        if (!shift) clearAllSelections();
        if (ghost.owner == Player::myStaticId) playSound(SoundCategory::Building, ghost.type, false, 0, 0, 1);
        addBuildingToSelection(ghost.id);
        picked = true;
    }
    return picked;
}

void IsoEventHandler::boxSelect(SDL_FPoint release) {
    dragEndRawScreen = SDL_Point{static_cast<int>(release.x), static_cast<int>(release.y)};
    dragEndScreen = screenToWorld(release);
    const float x0 = static_cast<float>(dragStartRawScreen.x);
    const float y0 = static_cast<float>(dragStartRawScreen.y);
    const SDL_FRect box{std::min(x0, release.x), std::min(y0, release.y), std::max(std::fabs(release.x - x0), 1.0f),
                        std::max(std::fabs(release.y - y0), 1.0f)};
    dragSelectUnits(box);
    if (!selectedUnits.empty()) return;
    dragSelectBuildings(box);
    if (FOG) dragSelectRemembered(box);
    if (selectedBuildings.empty()) dragSelectMapObjects(box);
}

namespace {

void setRallyPoints(SDL_FPoint w) {
    const int quarter = TILE_SIZE / 4;
    if (quarter <= 0) return;
    for (int id : selectedBuildings) {
        const Building* b = getBuildingById(id);
        if (!b || !b->hasProduction || b->playerId != Player::myStaticId) continue;
        lockstep.collectCommand(Command{CommandType::SetRallyPoint, b->playerId,
                                        SetRallyPointCommand{id, static_cast<int>(w.x / static_cast<float>(quarter)),
                                                             static_cast<int>(w.y / static_cast<float>(quarter))}});
    }
}

// True when the tile's map objects decided the order (harvestable or not).
bool mineHoveredTile() {
    const auto objects = objectGrid.find(hoveredTile);
    if (objects == objectGrid.end()) return false;
    for (int objectId : objects->second) {
        const MapObject* o = getMapObjectById(objectId);
        if (!o) continue;
        const auto info = mapObjectInfo.find(o->type);
        if (info == mapObjectInfo.end() || !info->second.harvestable) continue;
        for (const Unit& u : units)
            if (isSelected(u.id) && isOwnUnit(u) && u.worker)
                lockstep.collectCommand(Command{CommandType::Mine, u.playerId,
                                                MineCommand{u.id, hoveredTile.x, hoveredTile.y, objectId}});
        markOrder(pointerWorld, MOVE_MARK);
        if (const Unit* first = getFirstSelectedUnit()) playUnitResponse(*first);
    }
    return true;
}

const Building* lastBuildingUnder(SDL_FPoint w) {
    const Building* found = nullptr;
    for (const Building& b : buildings)
        if (footprintContains(b.x, b.y, b.wTiles, b.hTiles, w) && !fogHides(b.x, b.y)) found = &b;
    return found;
}

// Items by ascending id; a corpse only when the dead unit was the local player's.
const Item* itemUnder(SDL_FPoint w) {
    if (mode != GameMode::Extraction) return nullptr;
    const std::map<int, const Item*> byId = [] {
        std::map<int, const Item*> sorted;
        for (const auto& [id, item] : items_map) sorted[id] = &item;
        return sorted;
    }();
    for (const auto& [id, item] : byId) {
        if (!itemContains(*item, w)) continue;
        if (item->type != "Corpse") return item;
        const int dead = item->graveyardIndex;
        if (dead >= 0 && dead < static_cast<int>(graveyard.size()) &&
            graveyard[static_cast<size_t>(dead)].playerId == Player::myStaticId)
            return item;
    }
    return nullptr;
}

// False when a unit was sent to board a carrier: the whole call then ends.
bool orderOnUnitOrBuilding(const Unit* x, const Building* b) {
    const std::vector<int> own = ownSelectedUnits();
    for (int id : own) {
        const Unit* u = getUnitById(id);
        if (!u) continue;
        if (x && x->playerId == u->playerId) {
            // A selected carrier cannot board itself: the next selected unit boards instead.
            if (x->carrier && x->id == u->id) continue;
            if (x->carrier) {
                lockstep.collectCommand(
                    Command{CommandType::CarrierPickUp, u->playerId, CarrierPickUpCommand{u->id, x->id}});
                return false;
            }
            if (b && b->playerId == u->playerId)
                lockstep.collectCommand(Command{CommandType::Construct, u->playerId, ConstructCommand{u->id, b->id}});
            else if (b)
                lockstep.collectCommand(Command{CommandType::Attack, u->playerId, AttackCommand{u->id, b->id}});
        } else if (x) {
            lockstep.collectCommand(Command{CommandType::Attack, u->playerId, AttackCommand{u->id, x->id}});
            markOrder(pointerWorld, ATTACK_MARK);
        } else if (b->playerId == u->playerId) {
            lockstep.collectCommand(Command{CommandType::Construct, u->playerId, ConstructCommand{u->id, b->id}});
        } else {
            lockstep.collectCommand(Command{CommandType::Attack, u->playerId, AttackCommand{u->id, b->id}});
            markOrder(pointerWorld, ATTACK_MARK);
        }
    }
    return true;
}

void pickUpItem(const Item& item) {
    for (int id : ownSelectedUnits())
        lockstep.collectCommand(Command{CommandType::PickUp, Player::myStaticId, PickUpCommand{id, item.id}});
}

V2i clampedTile(const Unit& u) {
    const float t = tileSize();
    return V2i{std::clamp(static_cast<int>(u.x / t), 0, std::max(MAP_W - 1, 0)),
               std::clamp(static_cast<int>(u.y / t), 0, std::max(MAP_H - 1, 0))};
}

// One Move for the own selected units that can leave where they stand.
void moveSelectionTo(const Grid& grid, V2i sub) {
    MoveCommand move{{}, sub.x, sub.y, shift};
    for (int id : ownSelectedUnits()) {
        const Unit* u = getUnitById(id);
        if (!u) continue;
        playUnitResponse(*u);
        const V2i here = clampedTile(*u);
        if (!sameDestination(*u, hoveredTile) && !grid.walkable(here.x, here.y, u->walkable)) continue;
        move.unitIds.push_back(id);
    }
    if (move.unitIds.empty()) return;
    lockstep.collectCommand(Command{CommandType::Move, Player::myStaticId, std::move(move)});
    markOrder(pointerWorld, MOVE_MARK);
}

}  // namespace

bool IsoEventHandler::handleRightPress(Grid& grid, SDL_FPoint press) {
    if (onHudPanel(press)) return true;
    if (hoveredTile.x == -1) return false;
    const float k = tileSize() * grid.at(hoveredTile.x, hoveredTile.y).heightLevel / static_cast<float>(SUB_TILE_SIZE);
    const V2i sub{static_cast<int>(pointerWorld.x / static_cast<float>(SUB_TILE_SIZE) + k),
                  static_cast<int>(pointerWorld.y / static_cast<float>(SUB_TILE_SIZE) + k)};
    setRallyPoints(pointerWorld);
    const Unit* x = lastUnitUnder(press);
    const Item* item = itemUnder(pointerWorld);
    const Building* b = lastBuildingUnder(pointerWorld);
    if (mineHoveredTile()) return true;
    if ((x || b) && !selectedUnits.empty()) return orderOnUnitOrBuilding(x, b);
    if (item) return pickUpItem(*item), true;
    if (!selectedUnits.empty()) moveSelectionTo(grid, sub);
    return true;
}
