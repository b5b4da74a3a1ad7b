// Ground, ramps, decals, debug diamonds, items, corpse markers, decorations and spell visuals of the world pass.
#include "renderer_iso_ground.h"

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <string>

#include "config.h"
#include "decorations.h"
#include "extraction.h"
#include "extraction_items.h"
#include "map.h"
#include "renderer.h"
#include "renderer_iso_effects.h"
#include "renderer_iso_terrain.h"
#include "sdl.h"
#include "sdl_draw.h"
#include "sdl_shadow.h"
#include "special_effects.h"
#include "spells.h"
#include "textures.h"
#include "units.h"

namespace {

// Every tile of the map back to front: diagonals, then rows along each.
template <typename Fn>
void forEachTileBackToFront(Fn&& fn) {
    for (int s = 0; s <= MAP_W + MAP_H - 2; ++s)
        for (int y = std::max(0, s - MAP_W + 1); y <= std::min(s, MAP_H - 1); ++y) fn(s - y, y);
}

SDL_FPoint liftedCorner(const Grid& grid, int x, int y) {
    SDL_FPoint p = worldToScreen({x * tileSize(), y * tileSize()});
    p.y -= tileLift(grid.at(x, y).heightLevel);
    return p;
}

void drawTile(const Grid& grid, int x, int y) {
    const SDL_FPoint p = liftedCorner(grid, x, y);
    const float z = camera.zoom;
    switch (grid.at(x, y).type) {
        case Tile::Water: renderWater(p, x, y, z); return;
        case Tile::Drygrass: renderDryGrass(p, x, y, z); return;
        case Tile::Mud: renderMud(p, x, y, z); return;
        default: break;
    }
    Sprite* sprite = grid.at(x, y).type == Tile::Rock ? &rockSprite : grassVariant(x, y);
    if (!sprite->texture) return;
    const float t = tileSize() * z;
    sprite->dst = {p.x - t / 2.0f, p.y, t, t / 2.0f};
    drawSprite(renderer, *sprite, 255);
}

// A frame of a strip of frames side by side, centred on a point.
void drawStripFrame(SDL_Texture* texture, int frame, int fw, int fh, float scale, SDL_FPoint centre) {
    const int f = frameInStrip(frame, fw, textureSize(texture).x);
    if (f < 0) return;
    const SDL_Rect src{f * fw, 0, fw, fh};
    const SDL_FRect dst{centre.x - fw * scale / 2.0f, centre.y - fh * scale / 2.0f, fw * scale, fh * scale};
    SDL_RenderCopyF(renderer, texture, &src, &dst);
}

SDL_Texture* spellTexture(const std::string& key) {
    const auto it = spellTextures.find(key);
    return it == spellTextures.end() ? nullptr : it->second;
}

void drawAreaOutline(const ActiveSpell& spell) {
    const SDL_FPoint p = worldToScreen({spell.position.x, spell.position.y});
    const float r = spell.radius * tileSize() * camera.zoom;
    SDL_SetRenderDrawColor(renderer, 255, 0, 0, 255);
    const SDL_FRect rect{p.x - r, p.y - r, 2.0f * r, 2.0f * r};
    SDL_RenderDrawRectF(renderer, &rect);
}

void drawShards(const ActiveSpell& spell, const char* key, int fw, int fh) {
    SDL_Texture* t = spellTexture(key);
    const float scale = t ? tileSize() * 4.0f / std::max(textureSize(t).x, 1) * camera.zoom : 0.0f;
    for (const BlizzardShard& shard : spell.shards) {
        if (t)
            drawStripFrame(t, shard.frame, fw, fh, scale,
                           worldToScreen({shard.position.x, shard.position.y + shard.dropOffset}));
        drawAreaOutline(spell);
    }
}

void drawWhirlwind(const ActiveSpell& spell) {
    if (SDL_Texture* t = spellTexture("Whirlwind"))
        drawStripFrame(t, spell.frame, 63, 63, tileSize() / 63.0f * camera.zoom,
                       worldToScreen({spell.position.x, spell.position.y}));
}

void drawFlameShield(const ActiveSpell& spell) {
    SDL_Texture* t = spellTexture("FlameShield");
    if (!t || spell.frameCount <= 0) return;
    const SDL_Point size = textureSize(t);
    const int fw = std::max(size.x / spell.frameCount, 1);
    for (const V2f& point : spell.offsets)
        drawStripFrame(t, spell.frame, fw, size.y, tileSize() / fw * camera.zoom,
                       worldToScreen({spell.position.x + point.x, spell.position.y + point.y}));
}

}  // namespace

float tileLift(int heightLevel) { return heightLevel * tileSize() * 0.5f * camera.zoom; }

Sprite* grassVariant(int x, int y) {
    const uint32_t u = static_cast<uint32_t>(x + y) * 3027668591u - static_cast<uint32_t>(y) * 257093712u;
    const uint32_t h = (u ^ (u >> 13)) * 1274126177u;
    const uint32_t v = (h ^ (h >> 16)) % 1000u;
    return v < 950 ? &marsSprite1 : v < 966 ? &marsSprite2 : v < 982 ? &marsSprite3 : &marsSprite4;
}

void drawGround(const Grid& grid, SDL_FPoint view) {
    const auto [lo, hi] = tilesUnderView(view);
    const int minX = std::max(0, lo.x - 2), minY = std::max(0, lo.y - 2);
    const int maxX = std::min(MAP_W - 1, hi.x + 2), maxY = std::min(MAP_H - 1, hi.y + 2);
    for (int s = minX + minY; s <= maxX + maxY; ++s)
        for (int y = minY; y <= maxY; ++y) {
            const int x = s - y;
            if (x >= 0 && x < MAP_W) drawTile(grid, x, y);
        }
}

void drawRampsAndCliffs(const Grid& grid) {
    forEachTileBackToFront([&](int x, int y) { renderRamps(liftedCorner(grid, x, y), x, y, camera.zoom); });
}

void drawTileDecals(const Grid& grid) {
    const float z = camera.zoom;
    forEachTileBackToFront([&](int x, int y) {
        const TileInstance& cell = grid.at(x, y);
        for (const TileDecal& d : cell.decals) {
            const auto it = specialEffectsSprites.find(d.spriteKey);
            if (it == specialEffectsSprites.end()) continue;
            const SDL_FPoint p = worldToScreen({x * tileSize() + d.offsetX, y * tileSize() + d.offsetY});
            const float w = it->second.frameWidth * d.scale * z, h = it->second.frameHeight * d.scale * z;
            const SDL_FRect dst{p.x - w / 2.0f, p.y - tileLift(cell.heightLevel) - h / 2.0f, w, h};
            SDL_RenderCopyExF(renderer, it->second.sprite.texture, nullptr, &dst, d.rotation, nullptr, SDL_FLIP_NONE);
        }
    });
}

void drawDebugTiles(const Grid& grid) {
    const float t = tileSize() * camera.zoom;
    forEachTileBackToFront([&](int x, int y) {
        SDL_FPoint q = worldToScreen({(x + 0.5f) * tileSize(), (y + 0.5f) * tileSize()});
        q.y -= tileLift(grid.at(x, y).heightLevel);
        const SDL_FPoint diamond[5] = {
            {q.x, q.y - t / 4}, {q.x + t / 2, q.y}, {q.x, q.y + t / 4}, {q.x - t / 2, q.y}, {q.x, q.y - t / 4}};
        SDL_SetRenderDrawColor(renderer, static_cast<uint8_t>((x * 50) % 255), static_cast<uint8_t>((y * 50) % 255),
                               static_cast<uint8_t>(((x + y) * 25) % 255), 255);
        SDL_RenderDrawLinesF(renderer, diamond, 5);
    });
}

namespace {

// The shadow's size factor under a corpse: the slender and the broad body differ from the rest.
float corpseShadowScale(const std::string& type) {
    if (type == "Abyssal") return 0.55f;
    if (type == "Berserker") return 1.25f;
    return 1.0f;
}

// A corpse shows its unit lying where it fell: the frame after the walk and attack frames, at its direction.
void drawCorpseItem(const Item& item, SDL_FPoint p) {
    if (item.graveyardIndex < 0 || static_cast<std::size_t>(item.graveyardIndex) >= graveyard.size()) return;
    const Unit& dead = graveyard[static_cast<std::size_t>(item.graveyardIndex)];
    const auto meta = unitSprites.find(dead.type);
    if (meta == unitSprites.end()) {
        std::cerr << "Unknown unit: " << dead.type << "\n";
        return;
    }
    const UnitSpriteMeta& m = meta->second;
    const float z = camera.zoom;
    const float side = tileSize() * 0.5f * m.scaleMultiplier * z;
    const SDL_FRect dst{p.x - side / 2.0f + m.pivot.x * z, p.y - side / 2.0f + m.pivot.y * z, side, side};
    const SDL_Rect src{dead.direction * m.frameWidth, (m.numFrames + m.attackFrames) * m.frameHeight, m.frameWidth,
                       m.frameHeight};
    textureShadow(dst.x + side / 2.0f, dst.y, side, side, corpseShadowScale(dead.type));
    if (m.sprite.texture) SDL_RenderCopyF(renderer, m.sprite.texture, &src, &dst);
}

void drawItemPicture(const Item& item, SDL_FPoint p) {
    const auto info = items_info.find(item.type);
    const auto sprite = info == items_info.end() ? item_sprites.end() : item_sprites.find(info->second.name);
    if (sprite == item_sprites.end() || !sprite->second.texture) return;
    const float side = 50.0f * camera.zoom;
    const SDL_Rect src{0, 0, sprite->second.frameWidth, sprite->second.frameHeight};
    const SDL_FRect dst{p.x - side / 2.0f, p.y - side / 2.0f, side, side};
    SDL_RenderCopyF(renderer, sprite->second.texture, &src, &dst);
}

}  // namespace

void drawGroundItems(const Grid& grid) {
    for (const auto& [id, item] : items_map) {
        if (!item.onGround) continue;
        const int tx = static_cast<int>(item.x / tileSize()), ty = static_cast<int>(item.y / tileSize());
        SDL_FPoint p = worldToScreen({item.x, item.y});
        p.y -= tileLift(isOnMap(tx, ty) ? grid.at(tx, ty).heightLevel : 0);
        if (item.type == "Corpse")
            drawCorpseItem(item, p);
        else
            drawItemPicture(item, p);
    }
}

void drawCorpseMarkers() {
    if (!texCorpse) return;
    const SDL_Rect src{67, 0, 67, 46};
    for (const DeadUnit& d : deadUnits) {
        const SDL_FPoint p = worldToScreen({static_cast<float>(d.x), static_cast<float>(d.y)});
        const SDL_FRect dst{p.x, p.y, 67.0f * camera.zoom, 46.0f * camera.zoom};
        SDL_RenderCopyF(renderer, texCorpse, &src, &dst);
    }
}

void drawDecorations(SDL_FPoint view) {
    const float z = camera.zoom;
    for (const Decoration& d : decorations) {
        const SDL_FPoint p = worldToScreen({d.tileX * tileSize(), d.tileY * tileSize()});
        if (p.x < -150 || p.x > view.x + 150 || p.y < -150 || p.y > view.y + 150) continue;
        const auto it = decorationsSprites.find(d.name);
        if (it == decorationsSprites.end()) continue;
        const SDL_FRect dst{p.x - d.width * z, p.y, d.width * z, d.height * z};
        SDL_RenderCopyF(renderer, it->second.sprite.texture, &it->second.sprite.src, &dst);
        if (isDecorationSelected(d.id))
            DrawSmoothEllipse(renderer, dst.x + dst.w / 2.0f, dst.y + dst.h, dst.w / 2.0f, dst.w / 4.0f, 32,
                              {0, 139, 0, 255});
    }
}

void drawActiveSpells() {
    for (const ActiveSpell& spell : activeSpells) {
        if (spell.type == "Blizzard") drawShards(spell, "Blizzard", 30, 33);
        else if (spell.type == "DeathAndDecay") drawShards(spell, "DeathAndDecay", 28, 35);
        else if (spell.type == "ArtilleryFire" || spell.type == "Bombing") drawAreaOutline(spell);
        else if (spell.type == "Whirlwind") drawWhirlwind(spell);
        else if (spell.type == "FlameShield") drawFlameShield(spell);
    }
}
