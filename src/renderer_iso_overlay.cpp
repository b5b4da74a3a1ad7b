// The overlay pass in its order, the placement ghost's rectangle and the spell range circle.
#include "renderer_iso_overlay.h"

#include <algorithm>
#include <cmath>

#include "buildings.h"
#include "config.h"
#include "extraction.h"
#include "fog.h"
#include "game_commands.h"
#include "game_replay.h"
#include "game_session.h"
#include "hud_cursor.h"
#include "hud_overlay.h"
#include "input_state.h"
#include "map.h"
#include "map_objects.h"
#include "minimap.h"
#include "missions.h"
#include "renderer_iso_effects.h"
#include "renderer_iso_entities.h"
#include "sdl.h"
#include "sdl_draw.h"
#include "sdl_text.h"
#include "spells.h"
#include "textures.h"
#include "units.h"

namespace {

float rallyOffset = 0.0f;

void fillRect(SDL_FRect r, SDL_Color c) {
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(renderer, c.r, c.g, c.b, c.a);
    SDL_RenderFillRectF(renderer, &r);
}

void outlineRect(SDL_FRect r, SDL_Color c) {
    SDL_SetRenderDrawColor(renderer, c.r, c.g, c.b, c.a);
    SDL_RenderDrawRectF(renderer, &r);
}

void drawBar(float x, float y, float w, float ratio, SDL_Color back) {
    fillRect({x, y, w, 5.0f}, back);
    fillRect({x, y, w * std::clamp(ratio, 0.0f, 1.0f), 5.0f}, {0, 200, 0, 255});
}

void drawUnitBars() {
    const float w = tileSize() * camera.zoom;
    for (const Unit& u : units) {
        if (!unitShown(u) || (u.hp == u.maxHp && !isSelected(u.id))) continue;
        const SDL_FPoint p = worldToScreen({u.x, u.y});
        const float lift = tileSize() * 0.5f * camera.zoom * getUnitVisualHeight(u);
        drawBar(p.x - w / 2.0f, p.y - lift - 40.0f, w, u.hp / std::max(u.maxHp, 1.0f), {150, 0, 0, 255});
    }
}

void drawBuildingBars() {
    for (const Building& b : buildings) {
        if ((FOG && !isTileVisible(b.x, b.y)) || (b.hp == b.maxHp && !isBuildingSelected(b.id))) continue;
        const float w = b.wTiles * tileSize() * camera.zoom;
        const SDL_FPoint p =
            worldToScreen({(b.x + b.wTiles / 2.0f) * tileSize(), (b.y + b.hTiles / 2.0f) * tileSize()});
        const float top = buildingLook(b).dst.y - 15.0f * camera.zoom;
        drawBar(p.x - w / 2.0f, top, w, b.displayHp / std::max(b.maxHp, 1.0f), {160, 0, 0, 255});
    }
}

void drawFloatingTexts() {
    for (const FloatingText& f : floatingTexts) {
        const int tx = static_cast<int>(f.x / tileSize()), ty = static_cast<int>(f.y / tileSize());
        if (tx < 0 || ty < 0 || tx >= MAP_W || ty >= MAP_H || (FOG && !isTileVisible(tx, ty))) continue;
        const SDL_FPoint p = worldToScreen({f.x, f.y});
        const SDL_Color c{f.color.r, f.color.g, f.color.b, static_cast<uint8_t>(std::clamp(f.alpha, 0.0f, 1.0f) * 255)};
        DrawText(f.text, static_cast<int>(p.x - TextWidth(f.text, 12) / 2.0f), static_cast<int>(p.y - 50.0f - f.rise),
                 c, 12, false);
    }
}

// The dash texture repeated along the line, its pattern starting rallyOffset pixels in; every piece turns about the
// line's start, so the pieces join. One copy of a line longer than the texture would stretch a single dash over it.
void drawDashedLine(SDL_FPoint q, int length, double angle, int dashW) {
    SDL_SetTextureBlendMode(texDash, SDL_BLENDMODE_BLEND);
    SDL_SetTextureColorMod(texDash, 0, 139, 0);
    SDL_SetTextureAlphaMod(texDash, 255);
    for (int d = 0; d < length;) {
        const int from = (static_cast<int>(rallyOffset) + d) % dashW;
        const int piece = std::min(dashW - from, length - d);
        const SDL_Rect src{from, 0, piece, 2};
        const SDL_FRect dst{q.x + d, q.y - 1.0f, static_cast<float>(piece), 2.0f * camera.zoom};
        const SDL_FPoint pivot{-static_cast<float>(d), 1.0f};
        SDL_RenderCopyExF(renderer, texDash, &src, &dst, angle, &pivot, SDL_FLIP_NONE);
        d += piece;
    }
}

void drawRallyPoints(float dt) {
    const int dashW = textureSize(texDash).x;
    rallyOffset += dt * 100.0f;
    if (rallyOffset > dashW) rallyOffset = 0.0f;
    for (int id : selectedBuildings) {
        const Building* b = getBuildingById(id);
        if (!b || !b->hasRallyPoint) continue;
        const SDL_FPoint r = worldToScreen({b->rallyPoint.x * 35.0f + 17.5f, b->rallyPoint.y * 35.0f + 17.5f});
        SDL_SetRenderDrawColor(renderer, 0, 139, 0, 255);
        DrawFilledCircle(renderer, r.x, r.y, 6.0f * camera.zoom);
        const SDL_FPoint q = worldToScreen(buildingCenter(b));
        const float length = std::hypot(r.x - q.x, r.y - q.y);
        const double angle = std::atan2(r.y - q.y, r.x - q.x) * 180.0 / M_PI;
        if (texDash) drawDashedLine(q, static_cast<int>(length), angle, dashW);
    }
}

void drawPlacementGhost() {
    if (!(placingBuilding || placingObject || placingTile || placingDecoration) || !ghostSprite.texture) return;
    SDL_SetTextureAlphaMod(ghostSprite.texture, 160);
    SDL_RenderCopyF(renderer, ghostSprite.texture, &ghostSprite.src, &ghostSprite.dst);
    SDL_SetTextureAlphaMod(ghostSprite.texture, 255);
}

void drawExtractionZone() {
    const MapObject* o = getMapObjectById(extractionsMapObjectId);
    if (!o) return;
    const float t = tileSize();
    const auto corner = [&](int dx, int dy) { return worldToScreen({(o->tileX + dx) * t, (o->tileY + dy) * t}); };
    const SDL_FPoint ring[5] = {corner(-5, -5), corner(5, -5), corner(5, 5), corner(-5, 5), corner(-5, -5)};
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(renderer, 0, 255, 0, 100);
    SDL_RenderDrawLinesF(renderer, ring, 5);
}

void drawOrderClicks() {
    for (const Click& c : clicks) {
        const SDL_FPoint p = worldToScreen({c.x, c.y});
        const float rx = SUB_TILE_SIZE * 0.3f * ((1.0f - c.life) * 0.5f + 1.0f) * camera.zoom;
        const SDL_Color colour{c.color.r, c.color.g, c.color.b,
                               static_cast<uint8_t>(std::clamp(c.life, 0.0f, 1.0f) * 255)};
        DrawSmoothEllipse(renderer, p.x, p.y, rx, rx / 2.0f, 32, colour);
    }
}

void drawChatLine(SDL_FPoint view) {
    if (!chatActive) return;
    fillRect({20.0f, view.y - 220.0f, 400.0f, 30.0f}, {0, 0, 0, 150});
    DrawText(chatInput + "_", 30, static_cast<int>(view.y - 218.0f), {255, 255, 255, 255}, 12, false);
}

void drawPauseVeil(SDL_FPoint view) {
    if (!paused) return;
    fillRect({0.0f, 0.0f, view.x, view.y}, {0, 0, 0, 120});
    const std::string text = "PAUSED";
    DrawText(text, static_cast<int>(view.x) / 2 - TextWidth(text, 20) / 2,
             static_cast<int>(view.y) / 2 - TextHeight(text, 20) / 2, {255, 255, 255, 255}, 20, false);
}

void drawDragBox(SDL_Point mouse) {
    if (!dragging) return;
    const SDL_FRect box{static_cast<float>(std::min(dragStartRawScreen.x, mouse.x)),
                        static_cast<float>(std::min(dragStartRawScreen.y, mouse.y)),
                        static_cast<float>(std::abs(mouse.x - dragStartRawScreen.x)),
                        static_cast<float>(std::abs(mouse.y - dragStartRawScreen.y))};
    fillRect(box, {0, 120, 255, 102});
    outlineRect(box, {0, 150, 255, 255});
}

// The ghost's size on screen and its sideways shift, by the kind of placement.
bool ghostSize(float& w, float& h, float& dx) {
    const float t = tileSize(), z = camera.zoom;
    dx = 0.0f;
    if (placingBuilding) {
        const SpriteAnimation& a = buildingSprites.at(ghostBuildingType).animation;
        const float fw = static_cast<float>(std::max(a.frameWidth, 1));
        w = buildingInfo.at(ghostBuildingType).wTiles * t * z;
        h = w * a.frameHeight / fw;
        dx = w * a.offsetX / fw;
    } else if (placingObject) {
        const MapObjectSpriteMeta& m = mapObjectsSprites.at(ghostObjectType);
        w = mapObjectInfo.at(ghostObjectType).wTiles * t * 0.5f * z;
        h = w * m.frameHeight / static_cast<float>(std::max(m.frameWidth, 1));
    } else if (placingTile) {
        w = h = t * z;
    } else if (placingDecoration) {
        w = t * 0.5f * z;
        h = w * ghostSprite.src.h / static_cast<float>(std::max(ghostSprite.src.w, 1));
    } else {
        return false;
    }
    return true;
}

}  // namespace

void updateGhostBuildingDstRect() {
    float w = 0.0f, h = 0.0f, dx = 0.0f;
    if (!ghostSize(w, h, dx)) return;
    const SDL_FPoint s = worldToScreen({(ghostTile.x + 0.5f) * tileSize(), (ghostTile.y + 0.5f) * tileSize()});
    ghostSprite.dst = {s.x - w / 2.0f + dx, s.y - h / 2.0f, w, h};
}

void drawSpellRange() {
    const Unit* caster = getFirstSelectedUnit();
    if (!caster || selectedSpell.empty()) return;
    const auto spell = spellInfo.find(selectedSpell);
    if (spell == spellInfo.end()) return;
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(renderer, 0, 255, 0, 120);
    const SDL_FPoint c = worldToScreen({caster->x, caster->y});
    drawCircleOutline(renderer, c.x, c.y, spell->second.range * tileSize() * camera.zoom);
}

void drawSavePromptBox() {
    if (!typingFilename) return;
    // A refusal gets a line of its own inside the box, so it reads over any ground.
    const SDL_FRect box{100.0f, 100.0f, 400.0f, filenameRefusal.empty() ? 60.0f : 85.0f};
    fillRect(box, {50, 50, 50, 220});
    outlineRect(box, {255, 255, 255, 255});
    DrawText("Enter filename and press Enter:", 110, 110, {255, 255, 255, 255}, 12, false);
    DrawText(filenameInput + "_", 110, 135, {0, 255, 0, 255}, 12, false);
    if (!filenameRefusal.empty()) DrawText(filenameRefusal, 110, 160, {255, 80, 80, 255}, 12, false);
}

void drawOverlay(Renderer& self, float dt, SDL_Point mouse) {
    const SDL_FPoint view = windowSize();
    drawUnitBars();
    drawBuildingBars();
    drawFloatingTexts();
    drawRallyPoints(dt);
    drawPlacementGhost();
    drawExtractionZone();
    DrawFog();
    // Layers left from a session with fog stay off the picture when this one has none.
    if (FOG) {
        drawFogView();
    }
    drawOrderClicks();
    drawProjectiles();
    drawProjectileHits();
    drawSpecialEffects(renderer);
    drawSpellRange();
    self.drawSavePrompt();
    drawChatLine(view);
    drawActivities();
    if (DrawHUD) DrawHUD();
    if (missionActive) renderMissionUI();
    drawStatusLines();
    drawMinimap();
    drawMinimapView();
    draw_replay_bar();
    drawDialogs();
    drawPauseVeil(view);
    drawDragBox(mouse);
    draw_cursor();
}
