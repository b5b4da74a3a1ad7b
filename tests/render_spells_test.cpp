// The spells' ground drawing in a match frame: the red outline of the area, the shard and patch strips cut frame by
// frame, the whirlwind and the flame shield; odd strips and missing pictures; the tile decals back to front.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "render_world_scene.h"
#include "special_effects.h"
#include "spells.h"

namespace {

using world_scene::cellColour;
using world_scene::cellSheet;

const SDL_Color kOutline{255, 0, 0, 255};

struct SpellFrame : world_scene::WorldScene {
    std::map<std::string, SDL_Texture*> shipped;

    void TearDown() override {
        activeSpells.clear();
        for (const auto& [key, texture] : shipped) {
            SDL_Texture*& slot = spellTextures[key];
            if (slot != texture && slot) SDL_DestroyTexture(slot);
            slot = texture;
            if (!texture) spellTextures.erase(key);
        }
        WorldScene::TearDown();
    }
    // Puts a test strip of frames of fw x fh pixels in place of the spell's picture (none: the picture is missing).
    void replaceTexture(const std::string& key, int frames, int fw, int fh) {
        const auto it = spellTextures.find(key);
        if (!shipped.count(key)) shipped[key] = it == spellTextures.end() ? nullptr : it->second;
        if (it != spellTextures.end() && it->second != shipped[key]) SDL_DestroyTexture(it->second);
        if (frames > 0)
            spellTextures[key] = cellSheet(frames, 1, fw, fh);
        else
            spellTextures.erase(key);
    }
    static ActiveSpell spellAt(const std::string& type, SDL_FPoint at, int radius) {
        ActiveSpell s;
        s.type = type;
        s.position = {at.x, at.y};
        s.radius = radius;
        return s;
    }
    static BlizzardShard shardAt(SDL_FPoint at, int frame, float dropOffset = 0.0f) {
        BlizzardShard shard;
        shard.position = {at.x, at.y};
        shard.frame = frame;
        shard.dropOffset = dropOffset;
        return shard;
    }
    // Red along a good part of each edge of the square (sprites standing on the area hide parts of it), none a few
    // pixels outside it.
    static void expectOutline(SDL_FPoint c, float r) {
        const SDL_FPoint corners[5] = {{c.x - r, c.y - r}, {c.x + r - 1.0f, c.y - r}, {c.x + r - 1.0f, c.y + r - 1.0f},
                                       {c.x - r, c.y + r - 1.0f}, {c.x - r, c.y - r}};
        for (int e = 0; e < 4; ++e) {
            int red = 0, outside = 0, seen = 0;
            for (int i = 1; i < 20; ++i) {
                const float t = i / 20.0f;
                const SDL_FPoint p{corners[e].x + (corners[e + 1].x - corners[e].x) * t,
                                   corners[e].y + (corners[e + 1].y - corners[e].y) * t};
                if (p.x < 5 || p.y < 5 || p.x > 1275 || p.y > 715) continue;
                ++seen;
                red += around(p, kOutline);
                outside += around({p.x + (p.x - c.x) * 4.0f / r, p.y + (p.y - c.y) * 4.0f / r}, kOutline);
            }
            EXPECT_GE(red * 3, seen) << "edge " << e;
            EXPECT_EQ(outside, 0) << "edge " << e;
        }
    }
};

TEST_F(SpellFrame, AreaSpellsShowOnlyTheRedSquareOfTheirRadius) {
    const struct {
        const char* type;
        int radius;
        float zoom;
    } cases[] = {
        {"ArtilleryFire", 2, 1.0f},
        {"Bombing", 1, 1.0f},
        {"Bombing", 1, 2.0f},
        {"ArtilleryFire", 3, 0.5f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " at zoom " + std::to_string(c.zoom));
        const SDL_FPoint at = openGround();
        zoomTo(c.zoom, at);
        drawBefore();
        activeSpells = {spellAt(c.type, at, c.radius)};
        scene::drawFrame(0.0f);
        const SDL_FPoint p = worldToScreen(at);
        expectOutline(p, c.radius * tileSize() * c.zoom);
        EXPECT_TRUE(aroundUnchanged(p));
        activeSpells.clear();
        scene::drawFrame(0.0f);
        EXPECT_TRUE(aroundUnchanged({p.x - c.radius * tileSize() * c.zoom, p.y}));
    }
}

// Blizzard's strip is four frames of 30 x 33 side by side, Death and Decay's nine of 28 x 35; the whole strip spans
// four tiles, so one frame is a tile wide at Blizzard's shipped size.
TEST_F(SpellFrame, ShardsCutTheirFrameFromTheStripAboveTheirFallingPoint) {
    const struct {
        const char* name;
        const char* type;
        int frames, fw, fh;
        int frame;
        float drop;
        float zoom;
        int cell;
    } cases[] = {
        {"blizzard shard falling", "Blizzard", 4, 30, 33, 1, -100.0f, 1.0f, 1},
        {"blizzard shard landed", "Blizzard", 4, 30, 33, 3, 0.0f, 1.0f, 3},
        {"blizzard at the farthest zoom", "Blizzard", 4, 30, 33, 2, 0.0f, 0.5f, 2},
        {"blizzard at the closest zoom", "Blizzard", 4, 30, 33, 0, 0.0f, 2.0f, 0},
        {"decay patch", "DeathAndDecay", 9, 28, 35, 7, 0.0f, 1.0f, 7},
        {"a frame past the strip starts it again", "Blizzard", 4, 30, 33, 5, 0.0f, 1.0f, 1},
        {"a decay frame past the strip", "DeathAndDecay", 9, 28, 35, 9, 0.0f, 1.0f, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        replaceTexture(c.type, c.frames, c.fw, c.fh);
        const SDL_FPoint at = openGround();
        zoomTo(c.zoom, at);
        drawBefore();
        ActiveSpell spell = spellAt(c.type, at, 1);
        spell.shards = {shardAt(at, c.frame, c.drop)};
        activeSpells = {spell};
        scene::drawFrame(0.0f);
        const float s = tileSize() * 4.0f / (c.frames * c.fw) * c.zoom;
        const SDL_FPoint centre = worldToScreen({at.x, at.y + c.drop});
        const float halfW = c.fw * s / 2.0f, halfH = c.fh * s / 2.0f;
        EXPECT_TRUE(hud_scene::same(now(centre.x - halfW / 2.0f, centre.y), cellColour(c.cell, 0, false)));
        const SDL_Color top = now(centre.x + halfW / 2.0f, centre.y - halfH + 2.0f);
        EXPECT_TRUE(hud_scene::same(top, cellColour(c.cell, 0, true)));
        EXPECT_TRUE(unchanged(static_cast<int>(centre.x), static_cast<int>(centre.y - halfH - 3.0f)));
        expectOutline(worldToScreen(at), tileSize() * c.zoom);
        activeSpells.clear();
        scene::drawFrame(0.0f);
        EXPECT_TRUE(unchanged(centre));
    }
}

TEST_F(SpellFrame, ShardsWithoutTheirPictureStillShowTheArea) {
    for (const char* type : {"Blizzard", "DeathAndDecay"}) {
        SCOPED_TRACE(type);
        replaceTexture(type, 0, 0, 0);
        const SDL_FPoint at = openGround();
        activeSpells.clear();
        drawBefore();
        ActiveSpell spell = spellAt(type, at, 1);
        spell.shards = {shardAt(at, 1), shardAt(openGround(0, 1), 2)};
        activeSpells = {spell};
        scene::drawFrame(0.0f);
        expectOutline(worldToScreen(at), tileSize());
        EXPECT_TRUE(aroundUnchanged(worldToScreen(at)));
    }
}

TEST_F(SpellFrame, WhirlwindAndFlameShieldCutTheirStripFrame) {
    const struct {
        const char* name;
        const char* type;
        int frames, fw, fh;  // the test strip; frames 0: no picture
        int frameCount;      // the spell's own count of frames
        int frame;
        int cell;  // -1: nothing drawn
    } cases[] = {
        {"whirlwind", "Whirlwind", 4, 63, 63, 4, 2, 2},
        {"whirlwind past its strip", "Whirlwind", 4, 63, 63, 4, 6, 2},
        {"whirlwind without a picture", "Whirlwind", 0, 0, 0, 4, 1, -1},
        {"flame shield", "FlameShield", 6, 48, 64, 6, 4, 4},
        {"flame shield without frames", "FlameShield", 6, 48, 64, 0, 0, -1},
        {"flame shield without a picture", "FlameShield", 0, 0, 0, 6, 1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        replaceTexture(c.type, c.frames, c.fw, c.fh);
        const SDL_FPoint at = openGround();
        activeSpells.clear();
        drawBefore();
        ActiveSpell spell = spellAt(c.type, at, 1);
        spell.frame = c.frame;
        spell.frameCount = c.frameCount;
        spell.offsets = {{0.0f, 0.0f}};
        activeSpells = {spell};
        scene::drawFrame(0.0f);
        const SDL_FPoint p = worldToScreen(at);
        if (c.cell < 0) {
            EXPECT_TRUE(aroundUnchanged(p)) << describe(p);
            continue;
        }
        // Either picture is a tile wide.
        const float half = tileSize() / 2.0f;
        EXPECT_TRUE(hud_scene::same(now(p.x - half / 2.0f, p.y), cellColour(c.cell, 0, false)));
        EXPECT_TRUE(hud_scene::same(now(p.x + half - 2.0f, p.y), cellColour(c.cell, 0, true)));
        EXPECT_TRUE(unchanged(static_cast<int>(p.x + half + 2.0f), static_cast<int>(p.y)));
    }
}

// The shipped spell pictures over the base's ground, as a person should see them.
TEST_F(SpellFrame, ShippedSpellPicturesAreDrawnOnTheirArea) {
    const SDL_FPoint blizzard = openGround(), decay = openGround(-1, 3);
    zoomTo(1.0f, openGround(1, 1));
    drawBefore();
    ActiveSpell cold = spellAt("Blizzard", blizzard, 1);
    cold.shards = {shardAt(blizzard, 0, -80.0f), shardAt(openGround(1, 0), 2)};
    ActiveSpell rot = spellAt("DeathAndDecay", decay, 1);
    rot.shards = {shardAt(decay, 4)};
    ActiveSpell wind = spellAt("Whirlwind", openGround(3, 2), 1);
    wind.frame = 1;
    activeSpells = {cold, rot, spellAt("Bombing", openGround(3, 0), 1), wind};
    scene::drawFrame(0.0f);
    screenshot("match_spells");
    EXPECT_GT(changedNear(worldToScreen(openGround(1, 0)), 20), 20);
    EXPECT_GT(changedNear(worldToScreen(decay), 20), 20);
    EXPECT_GT(changedNear(worldToScreen(openGround(3, 2)), 20), 20);
}

struct GroundFrame : world_scene::WorldScene {
    void TearDown() override {
        for (const char* key : {"ProbeA", "ProbeB"}) {
            const auto it = specialEffectsSprites.find(key);
            if (it == specialEffectsSprites.end()) continue;
            SDL_DestroyTexture(it->second.sprite.texture);
            specialEffectsSprites.erase(it);
        }
        for (int y = 0; y < MAP_H; ++y)
            for (int x = 0; x < MAP_W; ++x) grid.at(x, y).decals.clear();
        DRAW_DEBUG_TILES = false;
        WorldScene::TearDown();
    }
};

// Tiles are walked back to front, so where two decals overlap the one on the nearer tile lies on top, whichever
// tile was given its decal first.
TEST_F(GroundFrame, DecalOfTheNearerTileLiesOnTop) {
    for (const char* key : {"ProbeA", "ProbeB"}) {
        SpecialEffectSpriteMeta& m = specialEffectsSprites[key];
        m.sprite.texture = cellSheet(1, 1, 100, 100);
        m.frameWidth = m.frameHeight = 100;
    }
    SDL_SetTextureColorMod(specialEffectsSprites["ProbeB"].sprite.texture, 255, 255, 0);
    const Building& b = base();
    const V2i back{b.x - 2, b.y + b.hTiles + 1};
    drawBefore();
    for (const bool backFirst : {true, false}) {
        SCOPED_TRACE(backFirst ? "back tile first" : "front tile first");
        for (int y = 0; y < MAP_H; ++y)
            for (int x = 0; x < MAP_W; ++x) grid.at(x, y).decals.clear();
        const TileDecal far{"ProbeA", 70.0f, 70.0f, 0.0f, 1.0f}, close{"ProbeB", 0.0f, 0.0f, 0.0f, 1.0f};
        if (backFirst) grid.at(back.x, back.y).decals.push_back(far);
        grid.at(back.x, back.y + 1).decals.push_back(close);
        if (!backFirst) grid.at(back.x, back.y).decals.push_back(far);
        scene::drawFrame(0.0f);
        // The two decals' middles lie half a tile apart on the same row; between them they overlap.
        const SDL_FPoint a = worldToScreen({back.x * tileSize() + 70.0f, back.y * tileSize() + 70.0f});
        const SDL_FPoint c = worldToScreen({back.x * tileSize(), (back.y + 1) * tileSize()});
        const SDL_FPoint between{(a.x + c.x) / 2.0f, (a.y + c.y) / 2.0f};
        EXPECT_TRUE(hud_scene::same(now(between), {30, 30, 0, 255})) << describe(between);
    }
}

// Each tile's debug diamond is drawn in its own colour after the tiles behind it, so its two upper edges show that
// colour at every zoom; its lower edges belong to the tiles in front of it. Without the debug switch none shows.
TEST_F(GroundFrame, DebugDiamondsShowTheirTileColourOnTheirUpperEdges) {
    const auto colourOf = [](V2i t) {
        return SDL_Color{static_cast<uint8_t>((t.x * 50) % 255), static_cast<uint8_t>((t.y * 50) % 255),
                         static_cast<uint8_t>(((t.x + t.y) * 25) % 255), 255};
    };
    const Building& b = base();
    const struct {
        bool on;
        float zoom;
    } cases[] = {{true, 0.5f}, {true, 1.0f}, {true, 2.0f}, {false, 1.0f}};
    for (const auto& c : cases)
        for (const V2i tile : {V2i{b.x - 2, b.y + b.hTiles + 1}, V2i{b.x - 3, b.y + b.hTiles + 2}}) {
            SCOPED_TRACE(std::string(c.on ? "on" : "off") + " at zoom " + std::to_string(c.zoom) + ", tile " +
                         std::to_string(tile.x) + "," + std::to_string(tile.y));
            DRAW_DEBUG_TILES = c.on;
            const SDL_FPoint centre{(tile.x + 0.5f) * tileSize(), (tile.y + 0.5f) * tileSize()};
            zoomTo(c.zoom, centre);
            scene::drawFrame(0.0f);
            const float t = tileSize() * c.zoom;
            const SDL_FPoint q = worldToScreen(centre);
            for (const float side : {-1.0f, 1.0f}) {
                const SDL_FPoint edge{q.x + side * t / 4.0f, q.y - t / 8.0f};
                EXPECT_EQ(around(edge, colourOf(tile)), c.on) << describe(edge);
            }
        }
}

}  // namespace
