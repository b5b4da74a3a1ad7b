// The minimap: terrain and dynamic layers in render targets, the view outline, the clock, and its clicks.
#include "minimap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <SDL2/SDL_ttf.h>

#include "buildings.h"
#include "config.h"
#include "fog.h"
#include "game_loop.h"
#include "game_state.h"
#include "lockstep.h"
#include "map.h"
#include "map_objects.h"
#include "player.h"
#include "sdl.h"
#include "sdl_draw.h"
#include "sdl_text.h"
#include "units.h"

SDL_Texture* minimapTerrainTexture = nullptr;
SDL_Texture* minimapTexture = nullptr;
bool minimapInitialized = false;
float minimapScale = 5.0f;
float minimapScaleX = 0.0f;
float minimapScaleY = 0.0f;
SDL_Rect minimapRect{0, 0, 0, 0};
SDL_Texture* timerTextTexture = nullptr;
int timerTextW = 0;
int timerTextH = 0;
int lastDisplayedSecond = -1;
int lastDisplayedMilli = -1;
bool minimapDragging = false;

namespace {

float sinceMinimapRefresh = MINIMAP_REFRESH_SECONDS;

}  // namespace

SDL_FPoint MinimapGeometry::cellAt(float x, float y) const {
    return {mapW / 2.0f + (x - y) * hw, (x + y) * qw + oy};
}

SDL_FPoint MinimapGeometry::tileAt(float tx, float ty) const {
    const float a = (tx - mapW / 2.0f) / cw;
    const float b = (ty - oy) / hw;
    return {b + a, b - a};
}

MinimapGeometry minimapGeometry(int mapW, int mapH) {
    MinimapGeometry g;
    const float s = static_cast<float>(mapW + mapH);
    g.mapW = mapW;
    g.mapH = mapH;
    if (s <= 0.0f) return g;
    g.cw = 2.0f * mapW / s;
    g.hw = g.cw / 2.0f;
    g.qw = g.cw / 4.0f;
    g.oy = (mapH - s * g.qw) / 2.0f;
    return g;
}

namespace {

void fillCell(const MinimapGeometry& g, float x, float y, float w, float h, SDL_Color c) {
    const SDL_FPoint p = g.cellAt(x, y);
    SDL_SetRenderDrawColor(renderer, c.r, c.g, c.b, c.a);
    const SDL_FRect rect{p.x, p.y, w, h};
    SDL_RenderFillRectF(renderer, &rect);
}

SDL_Color entityColour(int owner) { return COLORS_THEME[owner == Player::myStaticId ? 8 : 9]; }

SDL_Color objectColour(const std::string& type) {
    if (type == "Crystal") return COLORS_THEME[11];
    if (type == "Tree") return COLORS_THEME[12];
    return COLORS_THEME[0];
}

void drawFogCells(const MinimapGeometry& g) {
    for (int y = 0; y < MAP_H; ++y)
        for (int x = 0; x < MAP_W; ++x)
            if (!isTileVisible(x, y))
                fillCell(g, x, y, g.cw, g.hw, {0, 0, 0, static_cast<uint8_t>(isTileExplored(x, y) ? 150 : 255)});
}

// The camera's centre on the fractional tile, held to the map.
void centreCameraOn(SDL_FPoint tile) {
    const float gx = std::max(std::min(tile.x, static_cast<float>(MAP_W - 1)), 0.0f);
    const float gy = std::max(std::min(tile.y, static_cast<float>(MAP_H - 1)), 0.0f);
    const SDL_FPoint c = gridToWorld(gx, gy);
    camera.centerX = c.x;
    camera.centerY = c.y;
}

// One Move per selected unit, each from the unit's owner, all to the sub-tile under the point.
void orderSelectedTo(SDL_FPoint tile) {
    if (!isOnMap(static_cast<int>(std::floor(tile.x)), static_cast<int>(std::floor(tile.y)))) return;
    const float perSub = static_cast<float>(TILE_SIZE) / static_cast<float>(TILE_SIZE / 4);
    const int sx = static_cast<int>(tile.x * perSub), sy = static_cast<int>(tile.y * perSub);
    for (int id : selectedUnits) {
        const Unit* u = getSelectedUnitById(id);
        if (!u || u->playerId != Player::myStaticId) continue;
        lockstep.collectCommand({CommandType::Move, u->playerId, MoveCommand{{u->id}, sx, sy, false}});
    }
}

bool inside(SDL_Point m) {
    return m.x >= minimapRect.x && m.x <= minimapRect.x + minimapRect.w && m.y >= minimapRect.y &&
           m.y <= minimapRect.y + minimapRect.h;
}

SDL_FPoint tileUnderMouse(SDL_Point m) {
    const MinimapGeometry g = minimapGeometry(MAP_W, MAP_H);
    const float tx = static_cast<float>(m.x - minimapRect.x) * MAP_W / static_cast<float>(std::max(minimapRect.w, 1));
    const float ty = static_cast<float>(m.y - minimapRect.y) * MAP_H / static_cast<float>(std::max(minimapRect.h, 1));
    return g.tileAt(tx, ty);
}

SDL_Texture* makeLayer() {
    SDL_Texture* t = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA8888, SDL_TEXTUREACCESS_TARGET,
                                       std::max(MAP_W, 1), std::max(MAP_H, 1));
    if (t) SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
    return t;
}

}  // namespace

void initMinimap(Grid&) {
    if (minimapInitialized) clearMinimap();
    minimapTerrainTexture = makeLayer();
    minimapTexture = makeLayer();
    minimapScale = minimapScaleX = minimapScaleY = static_cast<float>(MINIMAP_SIZE) / std::max({MAP_W, MAP_H, 1});
    minimapInitialized = true;
    sinceMinimapRefresh = MINIMAP_REFRESH_SECONDS;
}

void buildMinimapTerrain(Grid& g) {
    if (!minimapInitialized) return;
    SDL_SetRenderTarget(renderer, minimapTerrainTexture);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    const MinimapGeometry geo = minimapGeometry(MAP_W, MAP_H);
    for (int d = 0; d <= MAP_W + MAP_H - 2; ++d)
        for (int j = 0; j <= d; ++j) {
            const int x = d - j, y = j;
            if (!isOnMap(x, y)) continue;
            fillCell(geo, x, y, geo.cw, geo.hw, COLORS_THEME[g.at(x, y).type == Tile::Water ? 6 : 5]);
        }
    SDL_SetRenderTarget(renderer, nullptr);
}

void updateMinimap(Grid&) {
    if (!minimapInitialized) return;
    const MinimapGeometry g = minimapGeometry(MAP_W, MAP_H);
    const float t = static_cast<float>(TILE_SIZE);
    SDL_SetRenderTarget(renderer, minimapTexture);
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 0);
    SDL_RenderClear(renderer);
    if (FOG) drawFogCells(g);
    for (const Unit& u : units) {
        const int tx = static_cast<int>(u.x / t), ty = static_cast<int>(u.y / t);
        if (u.onMap && isOnMap(tx, ty) && isTileVisible(tx, ty))
            fillCell(g, tx, ty, 1.5f * g.cw, 1.5f * g.hw, entityColour(u.playerId));
    }
    for (const Building& b : buildings)
        if (isTileExplored(b.x, b.y)) fillCell(g, b.x, b.y, b.wTiles * g.cw, b.hTiles * g.hw, entityColour(b.playerId));
    for (const MapObject& o : mapObjects)
        if (isTileExplored(o.tileX, o.tileY))
            fillCell(g, o.tileX, o.tileY, o.wTiles * g.cw, o.hTiles * g.hw, objectColour(o.type));
    SDL_SetRenderTarget(renderer, nullptr);
}

void refreshMinimap(Grid& grid, float frameDt) {
    sinceMinimapRefresh += frameDt;
    if (sinceMinimapRefresh < MINIMAP_REFRESH_SECONDS) return;
    sinceMinimapRefresh = 0.0f;
    updateMinimap(grid);
}

void drawMinimap() {
    if (!minimapInitialized) return;
    const float h = windowSize().y;
    const SDL_FRect rect{20.0f, h - MINIMAP_SIZE - 10.0f, static_cast<float>(MINIMAP_SIZE),
                         static_cast<float>(MINIMAP_SIZE)};
    minimapRect = {static_cast<int>(rect.x), static_cast<int>(rect.y), static_cast<int>(rect.w),
                   static_cast<int>(rect.h)};
    DrawRect(renderer, minimapRect, {40, 40, 40, 200}, true);
    drawMinimapView();
    SDL_RenderCopyF(renderer, minimapTerrainTexture, nullptr, &rect);
    SDL_RenderCopyF(renderer, minimapTexture, nullptr, &rect);
    if (!timerTextTexture) return;
    const SDL_Rect clock{static_cast<int>(std::lround(20.0 + MINIMAP_SIZE / 2.0 - timerTextW / 2.0)),
                         static_cast<int>(std::lround(rect.y - timerTextH - 5.0)), timerTextW, timerTextH};
    SDL_RenderCopy(renderer, timerTextTexture, nullptr, &clock);
}

void drawMinimapView() {
    if (!minimapInitialized) return;
    const MinimapGeometry g = minimapGeometry(MAP_W, MAP_H);
    const SDL_FPoint corners[4] = {{camera.x, camera.y},
                                   {camera.x + camera.w, camera.y},
                                   {camera.x + camera.w, camera.y + camera.h},
                                   {camera.x, camera.y + camera.h}};
    SDL_FPoint screen[5];
    for (int i = 0; i < 4; ++i) {
        const SDL_FPoint tile = worldToGrid(corners[i].x, corners[i].y);
        const SDL_FPoint p = g.cellAt(tile.x, tile.y);
        screen[i] = {minimapRect.x + p.x / std::max(MAP_W, 1) * minimapRect.w,
                     minimapRect.y + p.y / std::max(MAP_H, 1) * minimapRect.h};
    }
    screen[4] = screen[0];
    SDL_SetRenderDrawColor(renderer, 255, 255, 255, 255);
    SDL_RenderDrawLinesF(renderer, screen, 5);
}

std::string minimapClockText(float seconds) {
    const int s = static_cast<int>(seconds);
    const int ms = static_cast<int>((seconds - static_cast<float>(s)) * 1000.0f);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d.%03d", s / 60, s % 60, ms);
    return text;
}

// The match time from the turn counter, alike on every peer and in a replay.
void update_timer_text() {
    const int s = static_cast<int>(gameTimeSeconds);
    const int ms = static_cast<int>((gameTimeSeconds - static_cast<float>(s)) * 1000.0f);
    if (s == lastDisplayedSecond && ms == lastDisplayedMilli) return;
    lastDisplayedSecond = s;
    lastDisplayedMilli = ms;
    const auto font = fontCache.find(12);
    if (font == fontCache.end() || !font->second.font || !renderer) return;
    SDL_Surface* surface = TTF_RenderUTF8_Blended(font->second.font, minimapClockText(gameTimeSeconds).c_str(), {255, 255, 255, 255});
    if (!surface) return;
    if (timerTextTexture) SDL_DestroyTexture(timerTextTexture);
    timerTextTexture = SDL_CreateTextureFromSurface(renderer, surface);
    timerTextW = surface->w;
    timerTextH = surface->h;
    SDL_FreeSurface(surface);
}

void clearMinimap() {
    for (SDL_Texture** t : {&minimapTerrainTexture, &minimapTexture, &timerTextTexture})
        if (*t) {
            SDL_DestroyTexture(*t);
            *t = nullptr;
        }
    timerTextW = timerTextH = 0;
    lastDisplayedSecond = lastDisplayedMilli = -1;
    minimapInitialized = false;
    minimapScaleX = minimapScaleY = 0.0f;
    minimapRect = {0, 0, 0, 0};
}

bool handleMinimapClickAt(Grid&, const SDL_Event& event, SDL_Point mouse) {
    if (!minimapInitialized) return false;
    const bool pressed = event.type == SDL_MOUSEBUTTONDOWN;
    if (pressed && event.button.button == SDL_BUTTON_LEFT && inside(mouse)) {
        minimapDragging = true;
        centreCameraOn(tileUnderMouse(mouse));
        return true;
    }
    if (pressed && event.button.button == SDL_BUTTON_RIGHT && inside(mouse)) {
        orderSelectedTo(tileUnderMouse(mouse));
        return true;
    }
    if (event.type == SDL_MOUSEBUTTONUP && event.button.button == SDL_BUTTON_LEFT) {
        minimapDragging = false;
        return false;
    }
    if (!minimapDragging) return false;
    centreCameraOn(tileUnderMouse(mouse));
    return true;
}

bool handleMinimapClick(Grid& grid, SDL_Event event) {
    const PointerView view = readPointerView();
    return handleMinimapClickAt(grid, event, SDL_Point{static_cast<int>(view.mouseX), static_cast<int>(view.mouseY)});
}
