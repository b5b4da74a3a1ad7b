// The effect grid: discs of tags added and removed by buildings.
#include <gtest/gtest.h>

#include <climits>

#include "effect_grid.h"

namespace {

int tagged(const EffectGrid& g, const std::string& tag) {
    int n = 0;
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x) n += g.hasTag({x, y}, tag) ? 1 : 0;
    return n;
}

TEST(EffectGrid, DiscsIncludeTheirBoundary) {
    for (auto [radius, count] : {std::pair{0, 1}, {1, 5}, {2, 13}}) {
        EffectGrid g(10, 10);
        g.addEffectArea("aura", {5, 5}, radius);
        EXPECT_EQ(tagged(g, "aura"), count) << "radius " << radius;
    }
    EffectGrid g(10, 10);
    g.addEffectArea("aura", {5, 5}, 1);
    EXPECT_FALSE(g.hasTag({6, 6}, "aura"));
    g.addEffectArea("aura", {5, 5}, -1);
    EXPECT_EQ(tagged(g, "aura"), 5);
}

TEST(EffectGrid, DiscAtTheCornerIsClippedToTheGrid) {
    EffectGrid g(10, 10);
    g.addEffectArea("aura", {0, 0}, 2);
    EXPECT_EQ(tagged(g, "aura"), 6);
}

TEST(EffectGrid, RemovingOneOfTwoOverlappingAreasErasesTheSharedTiles) {
    EffectGrid g(12, 5);
    g.addEffectArea("power", {3, 2}, 2);
    g.addEffectArea("power", {6, 2}, 2);
    g.addEffectArea("power", {6, 2}, 2);
    g.removeEffectArea("power", {3, 2}, 2);
    EXPECT_FALSE(g.hasTag({4, 2}, "power")) << "overlap";
    EXPECT_FALSE(g.hasTag({2, 2}, "power")) << "removed building's own part";
    EXPECT_TRUE(g.hasTag({7, 2}, "power"));
    EXPECT_TRUE(g.hasTag({8, 2}, "power"));
    EXPECT_FALSE(g.hasTag({6, 2}, "other"));
}

TEST(EffectGrid, OffGridQueriesAreFalse) {
    EffectGrid g(4, 3);
    g.addEffectArea("aura", {1, 1}, 9);
    EXPECT_FALSE(g.hasTag({-1, 0}, "aura"));
    EXPECT_FALSE(g.hasTag({4, 0}, "aura"));
    EXPECT_FALSE(g.hasTag({0, 3}, "aura"));
    EXPECT_TRUE(g.hasTag({3, 2}, "aura"));
}

TEST(EffectGrid, ClearKeepsTheSize) {
    EffectGrid g(4, 3);
    g.addEffectArea("aura", {1, 1}, 1);
    g.clear();
    EXPECT_EQ(tagged(g, "aura"), 0);
    EXPECT_EQ(g.width, 4);
    EXPECT_EQ(g.cells.size(), 3u);
}

TEST(EffectGrid, HugeRadiiAndBadSizesStayWithinTheGrid) {
    EffectGrid g(6, 4);
    g.addEffectArea("aura", {INT_MAX - 1, INT_MIN + 1}, INT_MAX);
    EXPECT_EQ(tagged(g, "aura"), 0);
    g.addEffectArea("aura", {2, 1}, INT_MAX);
    EXPECT_EQ(tagged(g, "aura"), 24);
    g.removeEffectArea("aura", {2, 2}, INT_MAX);
    EXPECT_EQ(tagged(g, "aura"), 0);

    EffectGrid bad(-5, 3);
    EXPECT_EQ(bad.width, 0);
    bad.addEffectArea("aura", {0, 0}, 3);
    EXPECT_FALSE(bad.hasTag({0, 0}, "aura"));
}

}  // namespace
