// Map objects, buildings and units become draw-queue entries, with their animations, shadows and selection rings.
#include "renderer_iso_entities.h"

#include <algorithm>
#include <iostream>
#include <random>

#include "config.h"
#include "fog.h"
#include "map.h"
#include "map_objects.h"
#include "player.h"
#include "sdl.h"
#include "sdl_draw.h"
#include "sdl_shadow.h"
#include "textures.h"
#include "units.h"

std::unordered_map<int, BuildingLook> buildingLooks;
std::unordered_map<int, UnitAnimation> unitAnimations;

namespace {

constexpr SDL_Color OWN_RING{0, 139, 0, 255};
constexpr SDL_Color OTHER_RING{139, 0, 0, 255};
constexpr float CULL_MARGIN = 150.0f;

// Idle animations start at random; their own generator keeps drawing out of the simulation's draws.
std::minstd_rand idleStarts{7u};

bool insideView(SDL_FPoint p, SDL_FPoint view) {
    return p.x >= -CULL_MARGIN && p.x <= view.x + CULL_MARGIN && p.y >= -CULL_MARGIN && p.y <= view.y + CULL_MARGIN;
}

RenderEntry entryOf(SDL_Texture* texture, SDL_Rect src, SDL_FRect dst, float depth, SDL_Color c) {
    RenderEntry e;
    e.texture = texture;
    e.src = src;
    e.dst = dst;
    e.depth = depth;
    e.r = c.r;
    e.g = c.g;
    e.b = c.b;
    e.a = c.a;
    return e;
}

void animateMapObject(MapObject& o, const MapObjectSpriteMeta& meta, float dt) {
    if (meta.frameCount <= 1) return;
    if (o.currentFrame == 0 && !o.animating &&
        static_cast<int>(idleStarts() % 5000) < static_cast<int>(dt * 1000.0f))
        o.animating = true;
    if (o.animating) {
        o.frameTimer += dt;
        if (o.frameTimer >= meta.frameDuration) {
            o.frameTimer = 0.0f;
            if (++o.currentFrame >= meta.frameCount) {
                o.currentFrame = 0;
                o.animating = false;
            }
        }
    }
    o.sprite.src.x = o.variant * meta.frameWidth;
    o.sprite.src.y = o.currentFrame * meta.frameHeight;
}

SDL_FRect objectRect(SDL_FPoint p, int w, int h) {
    const float W = w * tileSize() * 0.5f * camera.zoom, H = h * tileSize() * 0.5f * camera.zoom;
    return {p.x - W / 2.0f, p.y, W, H};
}

const BuildingSpriteMeta* buildingMeta(const std::string& type) {
    const auto it = buildingSprites.find(type);
    return it == buildingSprites.end() ? nullptr : &it->second;
}

// The building box on screen from its top-left tile: footprint width, the frame's aspect, the sheet's offset.
SDL_FRect buildingRect(const SpriteAnimation& anim, int x, int y, int w) {
    const float W = w * tileSize() * camera.zoom;
    const float fw = static_cast<float>(std::max(anim.frameWidth, 1));
    const float H = static_cast<float>(anim.frameHeight) / fw * W;
    const SDL_FPoint p = worldToScreen({x * tileSize(), y * tileSize()});
    return {p.x - W / 2.0f + anim.offsetX / fw * W, p.y - H / 2.0f, W, H};
}

void animateBuilding(BuildingLook& look, const SpriteAnimation& anim, float dt) {
    if (look.sprite.src.w == 0) look.sprite.src = {0, 0, anim.frameWidth, anim.frameHeight};
    if (anim.frameCount <= 1) return;
    if (anim.frameDuration <= look.timer + dt) {
        look.timer = 0.0f;
        look.frame = (look.frame + 1) % anim.frameCount;
        look.sprite.src = {look.frame * anim.frameWidth, 0, anim.frameWidth, anim.frameHeight};
    } else {
        look.timer += dt;
    }
}

int paletteOf(int owner) {
    const auto it = playerToTeamPalette.find(owner);
    return it == playerToTeamPalette.end() ? 0 : it->second;
}

const UnitSpriteMeta* unitMeta(const Unit& u) {
    const UnitInfo* info = getUnitInfo(u.type);
    const bool carriesGold = info && info->race == "human" && u.cargoAmount != 0;
    const auto it = unitSprites.find(carriesGold ? "ScavengerGold" : u.type);
    return it == unitSprites.end() ? nullptr : &it->second;
}

UnitPose poseOf(const Unit& u, const UnitSpriteMeta& meta, bool teleportSheet) {
    UnitPose p;
    p.teleporting = u.overrideFrameActive && teleportSheet;
    p.teleportFrame = u.overrideFrame;
    p.swinging = u.attackAnimating;
    p.attacking = u.isAttacking;
    p.casting = u.isChanneling;
    p.harvesting = u.harvestKind != ResourceType::None;
    p.mining = u.mining;
    p.miningTicks = u.harvestTicks;
    p.attackTicks = u.attackAnimTicks;
    p.attackInterval = u.attackInterval;
    p.moving = !u.waypoints.empty();
    p.animatesIdle = u.category == UnitCategory::Air || meta.animate247;
    return p;
}

void ringUnit(const Unit& u, const UnitSpriteMeta& meta, SDL_FPoint p, float lift) {
    const float t = tileSize(), z = camera.zoom;
    const bool abyssal = u.type == "Abyssal";
    const float rx = (abyssal ? 0.11f : 0.2f) * t * meta.scaleMultiplier * z;
    const float cy = p.y - lift + (abyssal ? 0.2f : 0.15f) * t * z;
    DrawSmoothEllipse(renderer, p.x, cy, rx, rx / 2.0f, 32, u.playerId == Player::myStaticId ? OWN_RING : OTHER_RING);
}

void queueUnit(Unit& u, float dt) {
    const UnitSpriteMeta* meta = unitMeta(u);
    if (!meta) {
        std::cerr << "Unknown unit: " << u.type << "\n";
        return;
    }
    const auto teleport = spellTextures.find("AbyssalTeleport");
    const bool teleportSheet = teleport != spellTextures.end() && teleport->second;
    const UnitFrame f = chooseUnitFrame(*meta, poseOf(u, *meta, teleportSheet), u.direction, dt, unitAnimations[u.id]);
    const float t = tileSize(), z = camera.zoom;
    const float W = t * 0.5f * meta->scaleMultiplier * z;
    const float H = W;
    const SDL_FPoint p = worldToScreen({u.x, u.y});
    const float lift = t * 0.5f * z * getUnitVisualHeight(u);
    const SDL_FRect dst{p.x - W / 2.0f + meta->pivot.x * z, p.y - lift - H / 2.0f + meta->pivot.y * z, W, H};
    if (isSelected(u.id)) ringUnit(u, *meta, p, lift);
    if (u.category != UnitCategory::Air) textureShadow(dst.x + W / 2.0f, dst.y, W, H, 1.0f);
    const SDL_Color c = meta->sprite.color;
    RenderEntry e = entryOf(f.teleport ? teleport->second : meta->sprite.texture, f.src, dst, u.x / t + u.y / t,
                            {c.r, c.g, c.b, u.invisible ? uint8_t{120} : c.a});
    e.layer = u.category == UnitCategory::Air ? 1 : 0;
    e.flip = u.flip ? 1 : 0;
    e.xray = true;
    renderQueue.push_back(e);
}

// A block of spatial-grid sectors, both ends included.
struct SectorRange {
    int minX = 0;
    int minY = 0;
    int maxX = -1;
    int maxY = -1;
};

// The map-object sectors under the window plus one on each side.
SectorRange visibleSectors(SDL_FPoint view) {
    const auto [lo, hi] = tilesUnderView(view);
    return {std::max(lo.x / SECTOR_SIZE - 1, 0), std::max(lo.y / SECTOR_SIZE - 1, 0),
            std::min(hi.x / SECTOR_SIZE + 1, gridSectorsX - 1), std::min(hi.y / SECTOR_SIZE + 1, gridSectorsY - 1)};
}

// Forgets the drawing state of units and buildings that are gone.
template <typename Map, typename Alive>
void pruneLooks(Map& looks, std::size_t liveCount, Alive&& alive) {
    if (looks.size() <= liveCount * 2 + 16) return;
    for (auto it = looks.begin(); it != looks.end();) it = alive(it->first) ? std::next(it) : looks.erase(it);
}

}  // namespace

void forgetEntityLooks() {
    buildingLooks.clear();
    unitAnimations.clear();
}

Sprite buildingLook(const Building& b) {
    const auto it = buildingLooks.find(b.id);
    if (it != buildingLooks.end()) return it->second.sprite;
    const BuildingSpriteMeta* meta = buildingMeta(b.type);
    return meta ? meta->sprite : Sprite{};
}

Sprite buildingPicture(const std::string& type) {
    const BuildingSpriteMeta* meta = buildingMeta(type);
    if (!meta) return {};
    Sprite picture = meta->sprite;
    picture.src = buildingIconFrame(type);
    return picture;
}

void queueMapObjects(float dt, SDL_FPoint view) {
    const SectorRange r = visibleSectors(view);
    for (int sy = r.minY; sy <= r.maxY; ++sy)
        for (int sx = r.minX; sx <= r.maxX; ++sx) {
            if (sx >= static_cast<int>(spatialGrid.size()) ||
                sy >= static_cast<int>(spatialGrid[static_cast<std::size_t>(sx)].size()))
                continue;
            for (int id : spatialGrid[static_cast<std::size_t>(sx)][static_cast<std::size_t>(sy)].objectIds) {
                MapObject* o = getMapObjectById(id);
                if (!o) continue;
                if (FOG && isOnMap(o->tileX, o->tileY) && !isTileVisible(o->tileX, o->tileY)) continue;
                const SDL_FPoint p = worldToScreen({o->worldX, o->worldY});
                if (!o->spriteMeta || !o->sprite.texture || !insideView(p, view)) continue;
                SDL_SetTextureColorMod(o->sprite.texture, 255, 255, 255);
                animateMapObject(*o, *o->spriteMeta, dt);
                o->sprite.dst = objectRect(p, o->wTiles, o->hTiles);
                renderQueue.push_back(entryOf(o->sprite.texture, o->sprite.src, o->sprite.dst,
                                              static_cast<float>(o->tileX + o->tileY + o->wTiles + o->hTiles),
                                              {255, 255, 255, 255}));
            }
        }
}

void queueRememberedObjects(SDL_FPoint view) {
    if (!FOG) return;
    const SectorRange r = visibleSectors(view);
    for (const auto& [key, g] : ghostObjects) {
        const int sx = g.x / SECTOR_SIZE, sy = g.y / SECTOR_SIZE;
        if (!isTileExplored(g.x, g.y) || isTileVisible(g.x, g.y) || sx < r.minX || sx > r.maxX || sy < r.minY ||
            sy > r.maxY)
            continue;
        const SDL_FPoint p = worldToScreen({g.worldX, g.worldY});
        renderQueue.push_back(entryOf(g.sprite.texture, g.sprite.src, objectRect(p, g.width, g.height),
                                      static_cast<float>(g.x + g.y + g.width + g.height), {100, 105, 125, 255}));
    }
}

void queueBuildings(float dt) {
    for (const Building& b : buildings) {
        if (FOG && !isTileVisible(b.x, b.y)) continue;
        const BuildingSpriteMeta* meta = buildingMeta(b.type);
        if (!meta) continue;
        BuildingLook& look = buildingLooks[b.id];
        if (look.type != b.type) look = BuildingLook{b.type, meta->sprite};
        animateBuilding(look, meta->animation, dt);
        const float fw = static_cast<float>(std::max(meta->animation.frameWidth, 1));
        const float fh = static_cast<float>(std::max(meta->animation.frameHeight, 1));
        look.sprite.scaleX = b.wTiles * tileSize() * camera.zoom / fw;
        look.sprite.scaleY = b.hTiles * tileSize() * camera.zoom / fh;
        look.sprite.dst = buildingRect(meta->animation, b.x, b.y, b.wTiles);
        RenderEntry e = entryOf(look.sprite.texture, look.sprite.src, look.sprite.dst,
                                b.x + b.wTiles / 2.0f + b.y + b.hTiles / 2.0f, look.sprite.color);
        e.buildingFlag = true;
        e.paletteIndex = paletteOf(b.playerId);
        renderQueue.push_back(e);
    }
    pruneLooks(buildingLooks, buildings.size(), [](int id) { return getBuildingById(id) != nullptr; });
}

void queueRememberedBuildings() {
    if (!FOG) return;
    for (const auto& [key, g] : ghostBuildings) {
        if (!isTileExplored(g.x, g.y) || isTileVisible(g.x, g.y)) continue;
        const BuildingSpriteMeta* meta = buildingMeta(g.type);
        if (!meta) continue;
        RenderEntry e = entryOf(g.sprite.texture, g.sprite.src, buildingRect(meta->animation, g.x, g.y, g.width),
                                g.x + g.width / 2.0f + g.y + g.height / 2.0f, {100, 100, 100, 255});
        e.buildingFlag = true;
        e.paletteIndex = paletteOf(g.owner);
        renderQueue.push_back(e);
    }
}

bool unitShown(const Unit& u) {
    if (!u.onMap) return false;
    if (!FOG) return true;
    const int tx = static_cast<int>(u.x / tileSize()), ty = static_cast<int>(u.y / tileSize());
    if (!isOnMap(tx, ty)) return false;
    return u.playerId == Player::myStaticId || isTileVisible(tx, ty);
}

void queueUnits(float dt) {
    for (Unit& u : units)
        if (unitShown(u)) queueUnit(u, dt);
    pruneLooks(unitAnimations, units.size(), [](int id) { return getUnitById(id) != nullptr; });
}

void drawMapObjectRings() {
    const float t = tileSize(), z = camera.zoom;
    for (int id : selectMapObjects) {
        const MapObject* o = getMapObjectById(id);
        if (!o) continue;
        SDL_FPoint c = worldToScreen({(o->tileX + o->wTiles / 2.0f) * t, (o->tileY + o->hTiles / 2.0f) * t});
        const float rx = o->wTiles * t * z * 0.35f;
        if (o->wTiles >= 2 || o->hTiles >= 2) c.y += t * 0.35f * z;
        DrawSmoothEllipse(renderer, c.x, c.y, rx, rx / 2.0f, 32, OWN_RING);
    }
}

void drawBuildingRings() {
    const float t = tileSize(), z = camera.zoom;
    for (int id : selectedBuildings) {
        const Building* b = getBuildingById(id);
        if (!b) continue;
        const SDL_FPoint c = worldToScreen({(b->x + b->wTiles / 2.0f) * t, (b->y + b->hTiles / 2.0f) * t});
        const float rx = b->wTiles * t * z * 0.45f;
        DrawSmoothEllipse(renderer, c.x, c.y, rx, rx / 2.0f, 50, b->playerId == Player::myStaticId ? OWN_RING : OTHER_RING);
    }
}
