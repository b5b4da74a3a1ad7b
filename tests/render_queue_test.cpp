// The draw queue: its order is a strict weak ordering in the intended order, and covered units show as silhouettes.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "render_support.h"
#include "renderer.h"

namespace {

RenderEntry entry(int layer, float depth, float x, bool xray = false) {
    RenderEntry e;
    e.layer = layer;
    e.depth = depth;
    e.dst = {x, 0.0f, 10.0f, 10.0f};
    e.xray = xray;
    return e;
}

TEST(RenderQueue, OrderIsAStrictWeakOrderingOnRandomEntries) {
    std::mt19937 gen(3);
    std::uniform_int_distribution<int> layer(0, 1), x(0, 4);
    std::uniform_real_distribution<float> depth(0.0f, 0.05f);
    std::vector<RenderEntry> es;
    for (int i = 0; i < 60; ++i) es.push_back(entry(layer(gen), depth(gen), static_cast<float>(x(gen))));
    const auto before = renderEntryBefore;
    const auto equiv = [&](const RenderEntry& a, const RenderEntry& b) { return !before(a, b) && !before(b, a); };
    for (const auto& a : es) {
        EXPECT_FALSE(before(a, a));
        for (const auto& b : es)
            for (const auto& c : es) {
                if (before(a, b) && before(b, c)) {
                    EXPECT_TRUE(before(a, c));
                }
                if (equiv(a, b) && equiv(b, c)) {
                    EXPECT_TRUE(equiv(a, c));
                }
            }
    }
}

TEST(RenderQueue, SortsByLayerThenDepthThenScreenXKeepingPushOrder) {
    std::vector<RenderEntry> q = {entry(1, 0.0f, 0.0f), entry(0, 5.0f, 50.0f), entry(0, 2.0f, 90.0f),
                                  entry(0, 2.004f, 10.0f), entry(0, 5.0f, 50.0f)};
    q[1].paletteIndex = 1;
    q[4].paletteIndex = 2;
    sortRenderQueue(q);
    // Near-equal depths by x (10 before 90), equal entries in push order, the air layer last whatever its depth.
    EXPECT_FLOAT_EQ(q[0].dst.x, 10.0f);
    EXPECT_FLOAT_EQ(q[1].dst.x, 90.0f);
    EXPECT_EQ(q[2].paletteIndex, 1);
    EXPECT_EQ(q[3].paletteIndex, 2);
    EXPECT_EQ(q[4].layer, 1);
}

struct XrayCase {
    SDL_FRect cover;
    bool coverIsUnit;
    bool silhouette;
};

TEST(RenderQueue, UnitWhollyBehindALaterSpriteIsRedrawnAsASilhouette) {
    const XrayCase cases[] = {
        {{96, 96, 60, 60}, false, true},   // covers all but 4 pixels per side
        {{110, 96, 60, 60}, false, false}, // 10 pixels of the unit stick out
        {{96, 96, 60, 60}, true, false},   // units never silhouette each other
    };
    for (const XrayCase& c : cases) {
        SurfaceRenderer sr;
        SDL_Texture* unit = sr.solid(10, 10, {0, 0, 255, 255});
        SDL_Texture* cover = sr.solid(10, 10, {255, 255, 255, 255});
        RenderEntry u = entry(0, 1.0f, 100.0f, true);
        u.texture = unit;
        u.src = {0, 0, 10, 10};
        u.dst = {100, 100, 50, 50};
        RenderEntry b = entry(0, 2.0f, c.cover.x, c.coverIsUnit);
        b.texture = cover;
        b.src = {0, 0, 10, 10};
        b.dst = c.cover;
        const std::vector<RenderEntry> q = {u, b};
        const auto listed = drawRenderQueue(renderer, q);
        drawXraySilhouettes(renderer, q, listed);
        EXPECT_EQ(listed.size(), c.silhouette ? 1u : 0u);
        // Black at alpha 127 over white leaves grey; without a silhouette the cover stays white.
        EXPECT_NEAR(sr.pixel(125, 125).r, c.silhouette ? 128 : 255, 2);
        SDL_DestroyTexture(unit);
        SDL_DestroyTexture(cover);
    }
}

}  // namespace
