// The draw queue: its depth order, the one pass that draws it and the x-ray silhouettes of covered units.
#include "renderer.h"

#include <algorithm>
#include <cmath>

#include "config.h"

std::vector<RenderEntry> renderQueue;

V2i tileAtScreen(float sx, float sy, SDL_FPoint view) {
    const float t = static_cast<float>(TILE_SIZE);
    const float a = ((sx - view.x * 0.5f) / camera.zoom + camera.centerX) / (t * 0.5f);
    const float b = ((sy - view.y * 0.5f) / camera.zoom + camera.centerY) / (t * 0.25f);
    return {static_cast<int>((a + b) * 0.5f), static_cast<int>((b - a) * 0.5f)};
}

TileBounds tilesUnderView(SDL_FPoint view) {
    TileBounds b{{1 << 30, 1 << 30}, {-(1 << 30), -(1 << 30)}};
    for (const SDL_FPoint c : {SDL_FPoint{0, 0}, SDL_FPoint{view.x, 0}, SDL_FPoint{0, view.y}, view}) {
        const V2i t = tileAtScreen(c.x, c.y, view);
        b.lo = {std::min(b.lo.x, t.x), std::min(b.lo.y, t.y)};
        b.hi = {std::max(b.hi.x, t.x), std::max(b.hi.y, t.y)};
    }
    return b;
}

static long depthBand(float depth) { return std::lround(static_cast<double>(depth) / DEPTH_BAND); }

bool renderEntryBefore(const RenderEntry& e1, const RenderEntry& e2) {
    if (e1.layer != e2.layer) return e1.layer < e2.layer;
    const long b1 = depthBand(e1.depth);
    const long b2 = depthBand(e2.depth);
    if (b1 != b2) return b1 < b2;
    return e1.dst.x < e2.dst.x;
}

void sortRenderQueue(std::vector<RenderEntry>& queue) {
    std::stable_sort(queue.begin(), queue.end(), renderEntryBefore);
}

// Whether cover holds the entry's rectangle shrunk by 5 pixels on every side.
static bool covers(const SDL_FRect& cover, const SDL_FRect& d) {
    constexpr float inset = 5.0f;
    return cover.x <= d.x + inset && cover.y <= d.y + inset && d.x + d.w - inset <= cover.x + cover.w &&
           d.y + d.h - inset <= cover.y + cover.h;
}

static bool coveredLater(const std::vector<RenderEntry>& queue, std::size_t i) {
    for (std::size_t j = i + 1; j < queue.size(); ++j)
        if (!queue[j].xray && covers(queue[j].dst, queue[i].dst)) return true;
    return false;
}

static SDL_RendererFlip flipOf(const RenderEntry& e) { return e.flip ? SDL_FLIP_HORIZONTAL : SDL_FLIP_NONE; }

std::vector<std::size_t> drawRenderQueue(SDL_Renderer* target, const std::vector<RenderEntry>& queue) {
    std::vector<std::size_t> listed;
    for (std::size_t i = 0; i < queue.size(); ++i) {
        const RenderEntry& e = queue[i];
        if (!e.texture) continue;
        SDL_SetTextureColorMod(e.texture, e.r, e.g, e.b);
        SDL_SetTextureAlphaMod(e.texture, e.a);
        SDL_RenderCopyExF(target, e.texture, &e.src, &e.dst, 0.0, nullptr, flipOf(e));
        if (e.xray && coveredLater(queue, i)) listed.push_back(i);
    }
    return listed;
}

void drawXraySilhouettes(SDL_Renderer* target, const std::vector<RenderEntry>& queue,
                         const std::vector<std::size_t>& listed) {
    for (std::size_t i : listed) {
        const RenderEntry& e = queue[i];
        SDL_SetTextureColorMod(e.texture, 0, 0, 0);
        SDL_SetTextureAlphaMod(e.texture, 127);
        SDL_RenderCopyExF(target, e.texture, e.src.w >= 1 ? &e.src : nullptr, &e.dst, 0.0, nullptr, flipOf(e));
        SDL_SetTextureColorMod(e.texture, 255, 255, 255);
        SDL_SetTextureAlphaMod(e.texture, 255);
    }
}
