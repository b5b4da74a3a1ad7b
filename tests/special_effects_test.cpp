// Special effects in play: motion, animation and removal; blood decals and their bound per tile.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "config.h"
#include "map.h"
#include "special_effects.h"

namespace {

struct EffectsWorld : ::testing::Test {
    void SetUp() override {
        MAP_W = 4;
        MAP_H = 4;
        TILE_SIZE = 64;
        grid.tiles.assign(16, TileInstance{Tile::Grass, 0, 0, 1, 0, {}});
        active_special_effects.clear();
        specialEffectsSprites.clear();
        addSprite("Spark", 4, 0.01f, 2);
        for (const char* key : {"BloodDropplet_1", "BloodDropplet_2", "BloodDropplet_3", "BloodDroppletBlue_1",
                                "BloodDroppletBlue_2", "BloodDroppletBlue_3"})
            addSprite(key, 1, 0.1f, 1, 2.0f);
    }
    void TearDown() override {
        MAP_W = MAP_H = TILE_SIZE = 0;
        grid.tiles.clear();
        active_special_effects.clear();
        specialEffectsSprites.clear();
    }

    static void addSprite(const std::string& key, int frames, float duration, int loops, float scale = 1.0f) {
        SpecialEffectSpriteMeta meta;
        meta.frameCount = frames;
        meta.frameDuration = duration;
        meta.loopTimes = loops;
        meta.scale = scale;
        specialEffectsSprites[key] = meta;
    }

    static ActiveSpecialEffect effect(const std::string& key, int x = 0, int y = 0) {
        ActiveSpecialEffect e;
        e.spriteKey = key;
        e.x = x;
        e.y = y;
        return e;
    }

    static const std::vector<TileDecal>& decalsAt(int x, int y) { return grid.at(x, y).decals; }
};

TEST_F(EffectsWorld, EffectMovesByItsVelocityTruncatedAndSlowsDown) {
    ActiveSpecialEffect e = effect("Spark", 10, 10);
    e.vx = 100.0f;
    active_special_effects.push_back(e);
    updateSpecialEffects(0.016f, grid);
    ASSERT_EQ(active_special_effects.size(), 1u);
    EXPECT_EQ(active_special_effects[0].x, 11);
    EXPECT_EQ(active_special_effects[0].y, 10);
    EXPECT_FLOAT_EQ(active_special_effects[0].vx, 92.0f);
}

TEST_F(EffectsWorld, EffectEndsAfterItsLoopCount) {
    active_special_effects.push_back(effect("Spark"));  // 4 frames, 2 loops, a frame step every tick
    for (int step = 1; step < 8; ++step) {
        updateSpecialEffects(0.016f, grid);
        ASSERT_EQ(active_special_effects.size(), 1u) << "step " << step;
    }
    EXPECT_EQ(active_special_effects[0].loops, 1);
    updateSpecialEffects(0.016f, grid);
    EXPECT_TRUE(active_special_effects.empty()) << "removed at its eighth frame step";
}

TEST_F(EffectsWorld, RemovingAnEffectMidListStillAdvancesTheNext) {
    addSprite("Once", 4, 0.01f, 0);  // a loop count of 0 ends in the first tick
    active_special_effects = {effect("Spark", 1), effect("Once", 2), effect("Spark", 3)};
    updateSpecialEffects(0.016f, grid);
    ASSERT_EQ(active_special_effects.size(), 2u);
    EXPECT_EQ(active_special_effects[0].x, 1);
    EXPECT_EQ(active_special_effects[1].x, 3);
    EXPECT_EQ(active_special_effects[1].frame, 1) << "the effect that moved up was updated too";
}

TEST_F(EffectsWorld, EffectWithoutFramesOrSpriteIsDroppedWithoutFault) {
    addSprite("Empty", 0, 0.1f, 3);
    active_special_effects = {effect("Empty"), effect("NoSuchSprite"), effect("Spark")};
    updateSpecialEffects(0.016f, grid);
    ASSERT_EQ(active_special_effects.size(), 1u);
    EXPECT_EQ(active_special_effects[0].spriteKey, "Spark");
}

TEST_F(EffectsWorld, DecalTakesTheTileUnderThePointAndItsSignedOffset) {
    std::srand(7);
    const int variant = std::rand() % 3 + 1;
    const int rotation = std::rand() % 360;
    const int scale = std::rand() % 40;
    std::srand(7);
    add_blood_to_tile(grid, {-5.0f, 10.0f});
    ASSERT_EQ(decalsAt(0, 0).size(), 1u);
    const TileDecal& d = decalsAt(0, 0)[0];
    EXPECT_EQ(d.spriteKey, "BloodDropplet_" + std::to_string(variant));
    EXPECT_FLOAT_EQ(d.offsetX, -5.0f);
    EXPECT_FLOAT_EQ(d.offsetY, 10.0f);
    EXPECT_FLOAT_EQ(d.rotation, static_cast<float>(rotation));
    EXPECT_FLOAT_EQ(d.scale, (static_cast<float>(scale) / 100.0f + 0.8f) * 2.0f) << "variant, rotation, scale";

    add_blue_blood_to_tile(grid, {200.0f, 130.0f});
    ASSERT_EQ(decalsAt(3, 2).size(), 1u);
    EXPECT_EQ(decalsAt(3, 2)[0].spriteKey.rfind("BloodDroppletBlue_", 0), 0u);
    EXPECT_FLOAT_EQ(decalsAt(3, 2)[0].offsetX, 8.0f);
}

TEST_F(EffectsWorld, DecalOffTheMapOrWithoutSpriteDrawsOnlyWhatThePartSays) {
    std::srand(11);
    const int first = std::rand();
    const int second = std::rand();

    std::srand(11);
    add_blood_to_tile(grid, {256.0f, 10.0f});
    add_blood_to_tile(grid, {10.0f, -64.0f});
    EXPECT_EQ(std::rand(), first) << "off the map nothing is drawn";

    specialEffectsSprites.clear();
    std::srand(11);
    add_blood_to_tile(grid, {10.0f, 10.0f});
    EXPECT_EQ(std::rand(), second) << "the variant is drawn even when its sprite is missing";
    for (const TileInstance& tile : grid.tiles) EXPECT_TRUE(tile.decals.empty());
}

TEST_F(EffectsWorld, DecalsPerTileAreBoundedAndKeepTheNewest) {
    for (int i = 0; i < 100; ++i) add_blood_to_tile(grid, {static_cast<float>(i % 60), 5.0f});
    ASSERT_EQ(decalsAt(0, 0).size(), MAX_DECALS_PER_TILE);
    EXPECT_FLOAT_EQ(decalsAt(0, 0).back().offsetX, static_cast<float>(99 % 60));
    EXPECT_TRUE(decalsAt(1, 0).empty());
}

}  // namespace
