// Speed of one match frame on the highlands with 400 units in view (with fog on, recomputed at its 30 ms pacing,
// so every frame at these speeds), against a bare loop that copies the same textures to the same rectangles; and
// the fog and minimap refreshes (the fog's with the sight it takes at about the same pace).
#include <benchmark/benchmark.h>

#include <vector>

#include "../tools/render_scene.h"
#include "renderer_iso_ground.h"
#include "renderer_iso_terrain.h"

namespace {

struct Copy {
    SDL_Texture* texture;
    SDL_Rect src;
    SDL_FRect dst;
};

bool battleInView(benchmark::State& state, bool fog) {
    if (!scene::loadContent(CORVALE_SOURCE_DIR) || !scene::startBattle(200, 300, fog)) {
        state.SkipWithError("the highlands battle could not be set up");
        return false;
    }
    return true;
}

// What the frame copies: every visible ground tile with its pieces and every queued sprite.
std::vector<Copy> frameCopies() {
    std::vector<Copy> copies;
    const SDL_FPoint view = windowSize();
    const auto [lo, hi] = tilesUnderView(view);
    const float t = static_cast<float>(TILE_SIZE);
    for (int y = std::max(0, lo.y - 2); y <= std::min(MAP_H - 1, hi.y + 2); ++y)
        for (int x = std::max(0, lo.x - 2); x <= std::min(MAP_W - 1, hi.x + 2); ++x) {
            SDL_FPoint p = worldToScreen({x * t, y * t});
            p.y -= tileLift(grid.at(x, y).heightLevel);
            const SDL_FRect dst{p.x - t / 2, p.y, t, t / 2};
            std::vector<Sprite*> pieces = transitionPieces(grid, x, y);
            if (pieces.empty()) pieces.push_back(grid.at(x, y).type == Tile::Rock ? &rockSprite : grassVariant(x, y));
            if (Sprite* ramp = rampPiece(grid, x, y).sprite) pieces.push_back(ramp);
            for (Sprite* s : pieces) copies.push_back({s->texture, {0, 0, 0, 0}, dst});
        }
    for (const RenderEntry& e : renderQueue) copies.push_back({e.texture, e.src, e.dst});
    return copies;
}

void BM_MatchFrame(benchmark::State& state) {
    if (!battleInView(state, state.range(0) != 0)) return;
    scene::drawFrame();
    IsoRenderer iso;
    std::size_t shown = 0;
    for (auto _ : state) {
        iso.render(grid, 0.016f, fog);
        shown = renderQueue.size();
    }
    state.counters["sprites"] = static_cast<double>(shown);
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MatchFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_BareCopies(benchmark::State& state) {
    if (!battleInView(state, false)) return;
    scene::drawFrame();
    const std::vector<Copy> copies = frameCopies();
    for (auto _ : state) {
        SDL_SetRenderDrawColor(renderer, 20, 20, 24, 255);
        SDL_RenderClear(renderer);
        for (const Copy& c : copies) SDL_RenderCopyF(renderer, c.texture, c.src.w > 0 ? &c.src : nullptr, &c.dst);
        SDL_RenderPresent(renderer);
    }
    state.counters["copies"] = static_cast<double>(copies.size());
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BareCopies)->Unit(benchmark::kMillisecond);

void BM_FogRefresh(benchmark::State& state) {
    if (!battleInView(state, true)) return;
    for (auto _ : state) {
        takeSight();
        lastFogUpdate = fogTicks() - 30;
        drawFog();
    }
}
BENCHMARK(BM_FogRefresh)->Unit(benchmark::kMillisecond);

void BM_MinimapRefresh(benchmark::State& state) {
    if (!battleInView(state, true)) return;
    for (auto _ : state) {
        updateMinimap(grid);
        drawMinimap();
        drawMinimapView();
    }
}
BENCHMARK(BM_MinimapRefresh)->Unit(benchmark::kMillisecond);

}  // namespace
