// Fog of war: the vision and memory grids, the ghosts of buildings and objects, and the two multiplied fog layers.
#include "fog.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "buildings.h"
#include "config.h"
#include "map.h"
#include "map_objects.h"
#include "player.h"
#include "renderer.h"
#include "renderer_iso_entities.h"
#include "sdl.h"
#include "sdl_draw.h"
#include "units.h"

FogGrid fog;
std::vector<std::vector<bool>> visionGrid;
std::vector<std::vector<bool>> memoryGrid;
std::array<SDL_Texture*, 2> fogLayers{nullptr, nullptr};
SDL_Texture* visionCircle = nullptr;
SDL_Texture* fogView = nullptr;
std::map<TileKey, FogChunk> fogChunks;
std::map<TileKey, BuildingSnapshot> ghostBuildings;
std::map<TileKey, MapObjectSnapshot> ghostObjects;
uint32_t lastFogUpdate = 0;
uint32_t (*fogTicks)() = SDL_GetTicks;
void (*DrawFog)() = noopFog;
void (*TakeSight)() = noopSight;

namespace {

constexpr int BRUSH_SIZE = 600;
// The layers and the explored chunks hold one texel per this many screen pixels (at zoom 1) and are stretched
// with linear filtering onto the window: the brush's soft edge spans about ten texels, so the picture keeps its
// shape and soft rims while a software renderer blends some two hundred times fewer pixels.
constexpr float FOG_TEXEL = 16.0f;
// The explored picture is grey under the seen area and may be blurrier still; it gets one brush per tile and sight.
constexpr float CHUNK_TEXEL = 64.0f;
constexpr int CHUNK_TEXELS = static_cast<int>(FOG_CHUNK_SPAN / CHUNK_TEXEL);

int heightAt(int x, int y) { return isOnMap(x, y) ? grid.at(x, y).heightLevel : 0; }

// The per-tile lists below hold one entry per map tile, row by row.
std::size_t tileCount() {
    return static_cast<std::size_t>(std::max(MAP_W, 0)) * static_cast<std::size_t>(std::max(MAP_H, 0));
}
std::size_t tileIndex(int x, int y) {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(MAP_W) + static_cast<std::size_t>(x);
}

void clearTarget(SDL_Texture* target, uint8_t level) {
    SDL_SetRenderTarget(renderer, target);
    SDL_SetRenderDrawColor(renderer, level, level, level, 255);
    SDL_RenderClear(renderer);
}

SDL_Texture* makeBrush() {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, BRUSH_SIZE, BRUSH_SIZE, 32, SDL_PIXELFORMAT_RGBA32);
    if (!s) return nullptr;
    auto* px = static_cast<uint32_t*>(s->pixels);
    const int half = BRUSH_SIZE / 2;
    for (int j = 0; j < BRUSH_SIZE; ++j)
        for (int i = 0; i < BRUSH_SIZE; ++i) {
            const float d = std::sqrt(static_cast<float>((i - half) * (i - half) + (j - half) * (j - half)));
            const int a = d < 260.0f ? 255 : d < 300.0f ? static_cast<int>((1.0f - (d - 260.0f) / 40.0f) * 255) : 0;
            px[j * (s->pitch / 4) + i] = SDL_MapRGBA(s->format, 255, 255, 255, static_cast<uint8_t>(a));
        }
    SDL_Texture* t = SDL_CreateTextureFromSurface(renderer, s);
    SDL_FreeSurface(s);
    if (t) SDL_SetTextureBlendMode(t, SDL_BLENDMODE_ADD);
    return t;
}

void setGrid(std::vector<std::vector<bool>>& g, int w, int h) {
    g.assign(static_cast<std::size_t>(std::max(w, 0)), std::vector<bool>(static_cast<std::size_t>(std::max(h, 0))));
}

SDL_FPoint isoToScreen(float ix, float iy, SDL_FPoint view) {
    return {(ix - camera.centerX) * camera.zoom + view.x * 0.5f, (iy - camera.centerY) * camera.zoom + view.y * 0.5f};
}

SDL_Point layerTexels(SDL_FPoint view) {
    return {std::max(1, static_cast<int>(std::ceil(view.x / FOG_TEXEL))),
            std::max(1, static_cast<int>(std::ceil(view.y / FOG_TEXEL)))};
}

// A window rectangle in the texels of the coarse layers, which stretch exactly over the window.
SDL_FRect onLayer(SDL_FRect r, SDL_FPoint view) {
    const SDL_Point n = layerTexels(view);
    const float sx = n.x / view.x, sy = n.y / view.y;
    return {r.x * sx, r.y * sy, r.w * sx, r.h * sy};
}

void drawBrush(SDL_Texture* target, SDL_FRect rect) {
    SDL_SetRenderTarget(renderer, target);
    SDL_RenderCopyF(renderer, visionCircle, nullptr, &rect);
}

// The white brush stretched once per size: copying it unscaled costs far less on a software renderer than
// stretching the 600-pixel brush for every source, and gives the same pixels.
std::map<std::pair<int, int>, SDL_Texture*> sizedBrushes;

SDL_Texture* brushOfSize(int w, int h) {
    constexpr int largest = 4096;
    if (w <= 0 || h <= 0 || w > largest || h > largest) return nullptr;
    SDL_Texture*& sized = sizedBrushes[{w, h}];
    if (sized) return sized;
    sized = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA8888, SDL_TEXTUREACCESS_TARGET, w, h);
    if (!sized) return nullptr;
    SDL_Texture* previous = SDL_GetRenderTarget(renderer);
    SDL_SetRenderTarget(renderer, sized);
    SDL_SetTextureBlendMode(visionCircle, SDL_BLENDMODE_NONE);
    SDL_RenderCopy(renderer, visionCircle, nullptr, nullptr);
    SDL_SetTextureBlendMode(visionCircle, SDL_BLENDMODE_ADD);
    SDL_SetRenderTarget(renderer, previous);
    SDL_SetTextureBlendMode(sized, SDL_BLENDMODE_ADD);
    return sized;
}

// A white vision copy; one that misses the target changes nothing and is left out.
void revealBrush(SDL_Texture* target, SDL_FRect rect, SDL_Point targetSize) {
    if (rect.x + rect.w < 0 || rect.y + rect.h < 0 || rect.x > targetSize.x || rect.y > targetSize.y) return;
    SDL_Texture* sized = brushOfSize(static_cast<int>(rect.w), static_cast<int>(rect.h));
    if (!sized) return drawBrush(target, rect);
    SDL_SetRenderTarget(renderer, target);
    SDL_RenderCopyF(renderer, sized, nullptr, &rect);
}

void releaseSizedBrushes() {
    for (auto& [size, texture] : sizedBrushes)
        if (texture) SDL_DestroyTexture(texture);
    sizedBrushes.clear();
}

// Among the even tiles, the one whose isometric point lies nearest the camera centre.
V2i cameraTile() {
    const float t = tileSize();
    V2i best{MAP_W / 2, MAP_H / 2};
    double bestD = 9999999.0;
    for (int y = 0; y < MAP_H; y += 2)
        for (int x = 0; x < MAP_W; x += 2) {
            const double dx = (x - y) * t / 2.0 - camera.centerX;
            const double dy = (x + y) * t / 4.0 - camera.centerY;
            if (dx * dx + dy * dy < bestD) {
                bestD = dx * dx + dy * dy;
                best = {x, y};
            }
        }
    return best;
}

void darkenHighGround(SDL_FPoint view) {
    const float t = tileSize();
    const V2i c = cameraTile();
    SDL_SetTextureColorMod(visionCircle, 0, 0, 0);
    SDL_SetTextureBlendMode(visionCircle, SDL_BLENDMODE_BLEND);
    for (int x = c.x - 25; x < c.x + 25; ++x)
        for (int y = c.y - 25; y < c.y + 25; ++y) {
            if (!isOnMap(x, y) || grid.at(x, y).heightLevel != 1) continue;
            const SDL_FPoint p = isoToScreen((x - y) * t / 2.0f, (x + y) * t / 4.0f - t / 2.0f, view);
            drawBrush(fogLayers[1], onLayer({p.x - t * camera.zoom, p.y - t * camera.zoom / 2.0f,
                                             2.0f * t * camera.zoom, t * camera.zoom},
                                            view));
        }
    SDL_SetTextureBlendMode(visionCircle, SDL_BLENDMODE_ADD);
}

void drawExploredChunks(SDL_FPoint view) {
    const float span = FOG_CHUNK_SPAN * camera.zoom;
    for (auto& [key, chunk] : fogChunks) {
        const float x = (FOG_CHUNK_SPAN * key.first - MAP_W * tileSize() - camera.centerX) * camera.zoom + view.x / 2.0f;
        const float y = (FOG_CHUNK_SPAN * key.second - camera.centerY) * camera.zoom + view.y / 2.0f;
        if (x + span < 0 || x > view.x || y + span < 0 || y > view.y) continue;
        SDL_SetTextureColorMod(chunk.texture, 100, 100, 100);
        const SDL_FRect rect = onLayer({x, y, span, span}, view);
        SDL_RenderCopyF(renderer, chunk.texture, nullptr, &rect);
    }
}

FogChunk& chunkAt(int cx, int cy) {
    FogChunk& chunk = fogChunks[{cx, cy}];
    if (!chunk.texture) {
        chunk.texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA8888, SDL_TEXTUREACCESS_TARGET,
                                          CHUNK_TEXELS, CHUNK_TEXELS);
        SDL_SetTextureBlendMode(chunk.texture, SDL_BLENDMODE_ADD);
        SDL_SetTextureScaleMode(chunk.texture, SDL_ScaleModeLinear);
        clearTarget(chunk.texture, 0);
    }
    return chunk;
}

// The brush painted into the explored chunks it touches, one texel per CHUNK_TEXEL fog-space units.
void rememberArea(float fx, float iy, float r) {
    const int cx0 = static_cast<int>((fx - r) / FOG_CHUNK_SPAN), cx1 = static_cast<int>((fx + r) / FOG_CHUNK_SPAN);
    const int cy0 = static_cast<int>((iy - r / 2) / FOG_CHUNK_SPAN), cy1 = static_cast<int>((iy + r / 2) / FOG_CHUNK_SPAN);
    for (int cx = cx0; cx <= cx1; ++cx)
        for (int cy = cy0; cy <= cy1; ++cy) {
            FogChunk& chunk = chunkAt(cx, cy);
            revealBrush(chunk.texture,
                        {(fx - FOG_CHUNK_SPAN * cx - r) / CHUNK_TEXEL, (iy - FOG_CHUNK_SPAN * cy - r / 2) / CHUNK_TEXEL,
                         2 * r / CHUNK_TEXEL, r / CHUNK_TEXEL},
                        {CHUNK_TEXELS, CHUNK_TEXELS});
        }
}

// A source's brush: its isometric point lowered by the height of the tile it stands on, and its radius.
struct SourceBrush {
    float ix = 0.0f;
    float iy = 0.0f;
    float r = 0.0f;
};

SourceBrush brushOf(float wx, float wy, int liftTileX, int liftTileY, int sight) {
    const float t = tileSize();
    float iy = (wx + wy) * 0.25f;
    if (isOnMap(liftTileX, liftTileY)) iy -= t * 0.5f * grid.at(liftTileX, liftTileY).heightLevel;
    return {(wx - wy) * 0.5f, iy, t * static_cast<float>(sight)};
}

// One vision source on the layers.
void paintSource(float wx, float wy, int liftTileX, int liftTileY, int sight, SDL_FPoint view) {
    const SourceBrush b = brushOf(wx, wy, liftTileX, liftTileY, sight);
    const SDL_FPoint p = isoToScreen(b.ix, b.iy, view);
    const SDL_FRect rect = onLayer(
        {p.x - b.r * camera.zoom, p.y - b.r * camera.zoom / 2.0f, 2.0f * b.r * camera.zoom, b.r * camera.zoom}, view);
    const int tx = static_cast<int>(wx) / TILE_SIZE, ty = static_cast<int>(wy) / TILE_SIZE;
    const SDL_Point layerSize = layerTexels(view);
    revealBrush(fogLayers[0], rect, layerSize);
    if (isOnMap(tx, ty) && grid.at(tx, ty).heightLevel == 1) revealBrush(fogLayers[1], rect, layerSize);
}

// The explored picture is memory too, so it is taken with the sight and only painted when a frame is drawn: per
// tile, the largest sight whose brush was taken there (-1 for none), and the brushes no frame has painted yet. A
// brush from a tile that already gave one as large adds nothing the player would miss by more than that tile.
std::vector<int> stampedSight;
std::vector<SourceBrush> unpaintedBrushes;

void stampSource(float wx, float wy, int liftTileX, int liftTileY, int sight) {
    const int tx = std::clamp(static_cast<int>(wx) / TILE_SIZE, 0, std::max(MAP_W - 1, 0));
    const int ty = std::clamp(static_cast<int>(wy) / TILE_SIZE, 0, std::max(MAP_H - 1, 0));
    const std::size_t cell = tileIndex(tx, ty);
    if (cell >= stampedSight.size() || stampedSight[cell] >= sight) return;
    stampedSight[cell] = sight;
    unpaintedBrushes.push_back(brushOf(wx, wy, liftTileX, liftTileY, sight));
}

void paintExploredBrushes() {
    SDL_SetTextureColorMod(visionCircle, 255, 255, 255);
    for (const SourceBrush& b : unpaintedBrushes) rememberArea(b.ix + MAP_W * tileSize(), b.iy, b.r);
    unpaintedBrushes.clear();
}

void forgetExploredBrushes() {
    stampedSight.assign(tileCount(), -1);
    unpaintedBrushes.clear();
}

// Per texel of the coarse picture, what its stretch covers on the window: all black, all clear, or a mix; a
// texel's block reads only its neighbours, so a block whose neighbourhood agrees is uniform.
enum class FogBlock : uint8_t { Black, Clear, Mixed };
std::vector<FogBlock> fogBlocks;
SDL_Point fogBlockCount{0, 0};

void classifyBlocks(SDL_Point n) {
    std::vector<uint32_t> px(static_cast<std::size_t>(n.x * n.y));
    fogBlocks.clear();
    if (SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGBA8888, px.data(), n.x * 4) != 0) return;
    fogBlockCount = n;
    auto level = [&](int x, int y) {
        x = std::clamp(x, 0, n.x - 1);
        y = std::clamp(y, 0, n.y - 1);
        return px[static_cast<std::size_t>(y * n.x + x)] >> 8;  // the colour without its alpha
    };
    for (int y = 0; y < n.y; ++y)
        for (int x = 0; x < n.x; ++x) {
            bool black = true, clear = true;
            for (int j = -1; j <= 1; ++j)
                for (int i = -1; i <= 1; ++i) {
                    black = black && level(x + i, y + j) == 0;
                    clear = clear && level(x + i, y + j) == 0xffffff;
                }
            fogBlocks.push_back(black ? FogBlock::Black : clear ? FogBlock::Clear : FogBlock::Mixed);
        }
}

// The high-ground layer multiplied into the visibility layer, then stretched once over the window: the frame then
// multiplies a single unscaled picture, and a plain stretch is the software renderer's fast path.
void composeFogView() {
    SDL_SetRenderTarget(renderer, fogLayers[0]);
    SDL_RenderCopy(renderer, fogLayers[1], nullptr, nullptr);
    // The layer's own size, not the window's: the window may have changed size since the layers were made.
    SDL_Point texels{0, 0};
    SDL_QueryTexture(fogLayers[0], nullptr, nullptr, &texels.x, &texels.y);
    classifyBlocks(texels);
    SDL_SetRenderTarget(renderer, fogView);
    SDL_SetTextureBlendMode(fogLayers[0], SDL_BLENDMODE_NONE);
    SDL_RenderCopy(renderer, fogLayers[0], nullptr, nullptr);
    SDL_SetTextureBlendMode(fogLayers[0], SDL_BLENDMODE_MOD);
}

SDL_Texture* windowTarget(SDL_Texture* old, SDL_FPoint view) {
    if (old) SDL_DestroyTexture(old);
    SDL_Texture* t = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA8888, SDL_TEXTUREACCESS_TARGET,
                                       static_cast<int>(view.x), static_cast<int>(view.y));
    SDL_SetTextureBlendMode(t, SDL_BLENDMODE_MOD);
    return t;
}

template <typename Fn>
void forEachOwnSource(Fn&& fn) {
    const float t = tileSize();
    for (const Unit& u : units)
        if (u.playerId == Player::myStaticId) {
            const int tx = static_cast<int>(u.x / t), ty = static_cast<int>(u.y / t);
            fn(u.x, u.y, tx, ty, u.sight);
        }
    for (const Building& b : buildings)
        if (b.playerId == Player::myStaticId)
            fn((b.x + b.wTiles * 0.5f) * t, (b.y + b.hTiles * 0.5f) * t, b.x, b.y, b.sight);
}

bool buildingStandsAt(int x, int y) {
    return std::any_of(buildings.begin(), buildings.end(), [&](const Building& b) { return b.x == x && b.y == y; });
}

// Per tile, whether a map object has it as its own; the object list is read once per sight rather than once per
// remembered object, which a catch-up of thousands of sights could not afford.
std::vector<bool> objectTiles;

void markObjectTiles() {
    objectTiles.assign(tileCount(), false);
    for (const MapObject& o : mapObjects)
        if (isOnMap(o.tileX, o.tileY)) objectTiles[tileIndex(o.tileX, o.tileY)] = true;
}

void forgetSeenGhosts() {
    for (auto it = ghostBuildings.begin(); it != ghostBuildings.end();) {
        const auto [x, y] = it->first;
        const bool gone = isOnMap(x, y) && isTileVisible(x, y) && !buildingStandsAt(x, y);
        it = gone ? ghostBuildings.erase(it) : std::next(it);
    }
    if (ghostObjects.empty()) return;
    markObjectTiles();
    for (auto it = ghostObjects.begin(); it != ghostObjects.end();) {
        const auto [x, y] = it->first;
        const bool gone = isOnMap(x, y) && isTileVisible(x, y) && !objectTiles[tileIndex(x, y)];
        it = gone ? ghostObjects.erase(it) : std::next(it);
    }
}

void snapshotBuildings() {
    for (const Building& b : buildings) {
        if (!isOnMap(b.x, b.y) || !isTileVisible(b.x, b.y)) continue;
        ghostBuildings[{b.x, b.y}] = {b.id, b.x, b.y, b.wTiles, b.hTiles, b.playerId, b.type,
                                      static_cast<int>(b.hp), b.completed,
                                      tileSize() * 0.5f * heightAt(b.x, b.y), buildingPicture(b.type)};
    }
}

// Per tile, the largest sight already walked in this take: sources on one tile see the same cells, so of an army
// packed on a few tiles only the widest sight is walked.
std::vector<int> walkedSight;

// Every map object seen now, wherever the view is: the units that see it may be far from the camera, or there may
// be no camera at all while a save catches up.
void snapshotObjects() {
    for (const MapObject& o : mapObjects) {
        if (!isOnMap(o.tileX, o.tileY) || !isTileVisible(o.tileX, o.tileY)) continue;
        // Remembered at rest: the idle animation plays only in drawn frames, which a catch-up has none of.
        Sprite still = o.sprite;
        still.src.y = 0;
        ghostObjects[{o.tileX, o.tileY}] = {o.id,     o.type,   o.tileX,  o.tileY, o.wTiles,
                                            o.hTiles, o.worldX, o.worldY, still,   o.amount};
    }
}

}  // namespace

void initVisionGrid(int w, int h) {
    setGrid(visionGrid, w, h);
    setGrid(memoryGrid, w, h);
    forgetExploredBrushes();
}

void initFogTextures() {
    if (!FOG || !renderer) return;
    const SDL_FPoint view = windowSize();
    SDL_Texture* previous = SDL_GetRenderTarget(renderer);
    const SDL_Point texels = layerTexels(view);
    for (std::size_t i = 0; i < fogLayers.size(); ++i) {
        if (fogLayers[i]) SDL_DestroyTexture(fogLayers[i]);
        fogLayers[i] = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA8888, SDL_TEXTUREACCESS_TARGET, texels.x,
                                         texels.y);
        SDL_SetTextureBlendMode(fogLayers[i], SDL_BLENDMODE_MOD);
        SDL_SetTextureScaleMode(fogLayers[i], SDL_ScaleModeLinear);
        clearTarget(fogLayers[i], i == 0 ? 0 : 255);
    }
    fogView = windowTarget(fogView, view);
    clearTarget(fogView, 0);
    fogBlocks.clear();
    if (visionCircle) SDL_DestroyTexture(visionCircle);
    releaseSizedBrushes();
    visionCircle = makeBrush();
    SDL_SetRenderTarget(renderer, previous);
}

void releaseFogTextures() {
    for (auto& [key, chunk] : fogChunks)
        if (chunk.texture) SDL_DestroyTexture(chunk.texture);
    fogChunks.clear();
    for (SDL_Texture*& layer : fogLayers)
        if (layer) SDL_DestroyTexture(std::exchange(layer, nullptr));
    if (visionCircle) SDL_DestroyTexture(std::exchange(visionCircle, nullptr));
    if (fogView) SDL_DestroyTexture(std::exchange(fogView, nullptr));
    releaseSizedBrushes();
}

void resetFogOfWar(int w, int h) {
    if (!FOG) return;
    initVisionGrid(w, h);
    for (auto& [key, chunk] : fogChunks)
        if (chunk.texture) SDL_DestroyTexture(chunk.texture);
    fogChunks.clear();
    ghostBuildings.clear();
    ghostObjects.clear();
    if (!renderer) return;
    clearTarget(fogLayers[0], 0);
    clearTarget(fogLayers[1], 255);
    clearTarget(fogView, 0);
    fogBlocks.clear();
    SDL_SetRenderTarget(renderer, nullptr);
}

void revealCells(int tx, int ty, int sight) {
    const int h0 = heightAt(tx, ty);
    const int reach = sight + 2;
    const Grid& ground = grid;
    // Row by row over the disc's own span, clipped to the map: the sight is taken thousands of times in a catch-up.
    for (int dy = -reach; dy <= reach; ++dy) {
        const int y = ty + dy;
        if (y < 0 || y >= MAP_H) continue;
        int span = reach;
        while (span * span + dy * dy > reach * reach) --span;
        for (int x = std::max(tx - span, 0); x <= std::min(tx + span, MAP_W - 1); ++x) {
            const int dx = x - tx;
            if ((std::abs(dx) > 1 || std::abs(dy) > 1) && ground.at(x, y).heightLevel > h0) continue;
            visionGrid[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)] = true;
            memoryGrid[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)] = true;
        }
    }
}

void takeSight() {
    if (!FOG) return;
    if (static_cast<int>(visionGrid.size()) != MAP_W) initVisionGrid(MAP_W, MAP_H);
    for (auto& column : visionGrid) std::fill(column.begin(), column.end(), false);
    walkedSight.assign(tileCount(), -1);
    forEachOwnSource([](float wx, float wy, int lx, int ly, int sight) {
        const int tx = static_cast<int>(wx) / TILE_SIZE, ty = static_cast<int>(wy) / TILE_SIZE;
        stampSource(wx, wy, lx, ly, sight);
        if (isOnMap(tx, ty)) {
            int& walked = walkedSight[tileIndex(tx, ty)];
            if (walked >= sight) return;
            walked = sight;
        }
        revealCells(tx, ty, sight);
    });
    forgetSeenGhosts();
    snapshotBuildings();
    snapshotObjects();
}

std::size_t queuedExploredBrushes() { return unpaintedBrushes.size(); }

void drawFog() {
    if (!FOG) return;
    const uint32_t now = fogTicks();
    if (now - lastFogUpdate <= 29) return;
    lastFogUpdate = now;
    const SDL_FPoint view = windowSize();
    if (!renderer || !visionCircle) return;
    paintExploredBrushes();
    clearTarget(fogLayers[0], 0);
    clearTarget(fogLayers[1], 255);
    darkenHighGround(view);
    SDL_SetRenderTarget(renderer, fogLayers[0]);
    drawExploredChunks(view);
    SDL_SetTextureColorMod(visionCircle, 255, 255, 255);
    forEachOwnSource([&](float wx, float wy, int lx, int ly, int sight) { paintSource(wx, wy, lx, ly, sight, view); });
    composeFogView();
    SDL_SetRenderTarget(renderer, nullptr);
}

void noopFog() {}

void noopSight() {}

void renderFogTexture(SDL_Texture* layer) {
    if (!layer) return;
    SDL_SetTextureColorMod(layer, 255, 255, 255);
    SDL_SetTextureAlphaMod(layer, 255);
    SDL_RenderCopy(renderer, layer, nullptr, nullptr);
}

void drawFogView() {
    const SDL_FPoint view = windowSize();
    const SDL_Point n = fogBlockCount;
    const SDL_Point texels = layerTexels(view);
    if (fogBlocks.size() != static_cast<std::size_t>(n.x * n.y) || texels.x != n.x || texels.y != n.y)
        return renderFogTexture(fogView);
    SDL_SetTextureColorMod(fogView, 255, 255, 255);
    SDL_SetTextureAlphaMod(fogView, 255);
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    const int w = static_cast<int>(view.x), h = static_cast<int>(view.y);
    for (int y = 0; y < n.y; ++y) {
        const int top = y * h / n.y, bottom = (y + 1) * h / n.y;
        for (int x = 0; x < n.x;) {
            const FogBlock kind = fogBlocks[static_cast<std::size_t>(y * n.x + x)];
            int end = x + 1;
            while (end < n.x && fogBlocks[static_cast<std::size_t>(y * n.x + end)] == kind) ++end;
            const SDL_Rect run{x * w / n.x, top, end * w / n.x - x * w / n.x, bottom - top};
            if (kind == FogBlock::Black) SDL_RenderFillRect(renderer, &run);
            if (kind == FogBlock::Mixed) SDL_RenderCopy(renderer, fogView, &run, &run);
            x = end;
        }
    }
}

bool isTileVisible(int x, int y) {
    return isOnMap(x, y) && x < static_cast<int>(visionGrid.size()) &&
           visionGrid[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)];
}

bool isTileExplored(int x, int y) {
    return isOnMap(x, y) && x < static_cast<int>(memoryGrid.size()) &&
           memoryGrid[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)];
}
