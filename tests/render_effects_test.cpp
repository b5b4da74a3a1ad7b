// Projectiles in flight and their hits drawn into a match frame: the frame and direction cut from the sheet, the
// size by scale and zoom, the mirror, the odd sheets; and the ground again once they are gone.
#include <gtest/gtest.h>

#include "projectiles.h"
#include "special_effects.h"
#include "render_world_scene.h"

namespace {

using world_scene::cellColour;
using world_scene::cellSheet;

struct ProjectileFrame : world_scene::WorldScene {
    static constexpr int kCell = 32;
    void TearDown() override {
        for (const char* type : {"Probe", "Blank", "Thin"}) {
            const auto it = projectileInfo.find(type);
            if (it == projectileInfo.end()) continue;
            if (it->second.texture) SDL_DestroyTexture(it->second.texture);
            if (it->second.hitTexture) SDL_DestroyTexture(it->second.hitTexture);
            projectileInfo.erase(it);
        }
        WorldScene::TearDown();
    }
    // A type whose flight sheet has 5 directions and 4 frames, and whose hit sheet has 5 frames in a row.
    static void addProbe(float scale) {
        ProjectileInfo& info = projectileInfo["Probe"];
        info.scale = scale;
        if (info.texture) return;
        info.texture = cellSheet(5, 4, kCell, kCell);
        info.frameWidth = info.frameHeight = kCell;
        info.totalFrames = 4;
        info.hitTexture = cellSheet(5, 1, kCell, kCell);
        info.hitFrameWidth = info.hitFrameHeight = kCell;
        info.hitTotalFrames = 5;
    }
    static Projectile shot(const std::string& type, SDL_FPoint at, int direction, int frame, bool flip) {
        Projectile p;
        p.type = type;
        p.x = at.x;
        p.y = at.y;
        p.direction = direction;
        p.frame = frame;
        p.flip = flip;
        return p;
    }
    static ProjectileHit hit(const std::string& type, SDL_FPoint at, int frame) {
        ProjectileHit h;
        h.type = type;
        h.x = at.x;
        h.y = at.y;
        h.frame = frame;
        h.totalFrames = 5;
        return h;
    }
    // The drawn box around the centre holds the cell's colours (left and right halves swapped when mirrored) and
    // ends where the size says: two pixels further out the frame shows what it showed before.
    void expectCell(SDL_FPoint centre, float half, int col, int row, bool mirrored) {
        const int cx = static_cast<int>(centre.x), cy = static_cast<int>(centre.y);
        const int inner = static_cast<int>(half) - 2, quarter = static_cast<int>(half / 2);
        EXPECT_TRUE(hud_scene::same(now(cx - quarter, cy), cellColour(col, row, mirrored)));
        EXPECT_TRUE(hud_scene::same(now(cx + quarter, cy), cellColour(col, row, !mirrored)));
        EXPECT_TRUE(hud_scene::same(now(cx + quarter, cy - inner), cellColour(col, row, !mirrored)));
        EXPECT_TRUE(hud_scene::same(now(cx - inner, cy + inner), cellColour(col, row, mirrored)));
        const int outer = static_cast<int>(half) + 2;
        EXPECT_TRUE(unchanged(cx - outer, cy));
        EXPECT_TRUE(unchanged(cx + outer, cy));
        EXPECT_TRUE(unchanged(cx, cy - outer));
        EXPECT_TRUE(unchanged(cx, cy + outer));
    }
};

struct SheetCase {
    const char* name;
    int direction;
    int frame;
    bool flip;
    float scale;
    float zoom;
    int col;  // the cell expected on screen
    int row;
};

TEST_F(ProjectileFrame, FlightCutsTheFrameAndDirectionCellAtItsScaleCentredOnTheShot) {
    const SheetCase cases[] = {
        {"up, first frame", 0, 0, false, 1.0f, 1.0f, 0, 0},
        {"sideways, third frame", 2, 2, false, 1.0f, 1.0f, 2, 2},
        {"sideways mirrored", 2, 1, true, 1.0f, 1.0f, 2, 1},
        {"down, last frame", 4, 3, false, 1.0f, 1.0f, 4, 3},
        {"twice the scale at the closest zoom", 3, 1, false, 2.0f, 2.0f, 3, 1},
        {"farthest zoom", 1, 2, true, 1.0f, 0.5f, 1, 2},
        {"a frame past the strip starts it again", 2, 5, false, 1.0f, 1.0f, 2, 1},
        {"a frame before the strip counts back from its end", 2, -1, false, 1.0f, 1.0f, 2, 3},
    };
    for (const SheetCase& c : cases) {
        SCOPED_TRACE(c.name);
        addProbe(c.scale);
        const SDL_FPoint at = openGround();
        zoomTo(c.zoom, at);
        drawBefore();
        projectiles = {shot("Probe", at, c.direction, c.frame, c.flip)};
        scene::drawFrame(0.0f);
        expectCell(worldToScreen(at), kCell * c.scale * c.zoom / 2.0f, c.col, c.row, c.flip);
        projectiles.clear();
        scene::drawFrame(0.0f);
        EXPECT_TRUE(unchanged(worldToScreen(at)));
    }
}

TEST_F(ProjectileFrame, HitCutsItsFrameFromOneRowAtTheFlightScale) {
    const SheetCase cases[] = {
        {"first frame", 0, 0, false, 1.0f, 1.0f, 0, 0},
        {"last frame", 0, 4, false, 1.0f, 1.0f, 4, 0},
        {"half the scale at the closest zoom", 0, 3, false, 0.5f, 2.0f, 3, 0},
        {"farthest zoom", 0, 1, false, 1.0f, 0.5f, 1, 0},
        {"a frame past the strip starts it again", 0, 7, false, 1.0f, 1.0f, 2, 0},
    };
    for (const SheetCase& c : cases) {
        SCOPED_TRACE(c.name);
        addProbe(c.scale);
        const SDL_FPoint at = openGround(1, 0);
        zoomTo(c.zoom, at);
        drawBefore();
        projectileHits = {hit("Probe", at, c.frame)};
        scene::drawFrame(0.0f);
        expectCell(worldToScreen(at), kCell * c.scale * c.zoom / 2.0f, c.col, c.row, false);
        projectileHits.clear();
        scene::drawFrame(0.0f);
        EXPECT_TRUE(unchanged(worldToScreen(at)));
    }
}

// Shots and hits the catalogue cannot picture are left out of the frame; the rest of it is drawn as usual.
TEST_F(ProjectileFrame, ShotsWithoutAPictureLeaveTheGroundAsItWas) {
    addProbe(1.0f);
    projectileInfo["Blank"].frameWidth = projectileInfo["Blank"].frameHeight = kCell;
    ProjectileInfo& thin = projectileInfo["Thin"];
    thin.texture = cellSheet(5, 4, kCell, kCell);
    thin.hitTexture = cellSheet(5, 1, kCell, kCell);
    const struct {
        const char* name;
        const char* type;
        bool active;
    } cases[] = {
        {"a type missing from the catalogue", "Nothing", true},
        {"a type without textures", "Blank", true},
        {"a type whose frames have no size", "Thin", true},
        {"an inactive shot of a drawable type", "Probe", false},
    };
    const SDL_FPoint at = openGround(), hitAt = openGround(1, 0);
    const SDL_FPoint shown = openGround(0, 1);
    drawBefore();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        projectiles = {shot(c.type, at, 2, 1, false), shot("Probe", shown, 1, 1, false)};
        projectiles.front().active = c.active;
        projectileHits = {hit(c.type, hitAt, 1)};
        projectileHits.front().active = c.active;
        scene::drawFrame(0.0f);
        EXPECT_TRUE(aroundUnchanged(worldToScreen(at)));
        EXPECT_TRUE(aroundUnchanged(worldToScreen(hitAt)));
        EXPECT_TRUE(hud_scene::same(now(worldToScreen(shown)), cellColour(1, 1, true)));
    }
}

// The shipped shots and hits, as a person should see them over the base's ground.
TEST_F(ProjectileFrame, ShippedShotsAndHitsAreDrawnWhereTheyFly) {
    const char* types[] = {"PsiBolt", "Shell"};
    drawBefore();
    int i = 0;
    for (const char* type : types) {
        ASSERT_TRUE(projectileInfo.count(type)) << type;
        projectiles.push_back(shot(type, openGround(i, 0), 2, 1, i % 2 == 1));
        projectileHits.push_back(hit(type, openGround(i, 1), 2));
        ++i;
    }
    scene::drawFrame(0.0f);
    screenshot("match_projectiles");
    for (const Projectile& p : projectiles) EXPECT_GT(changedNear(worldToScreen({p.x, p.y}), 8), 20) << p.type;
    for (const ProjectileHit& h : projectileHits) EXPECT_GT(changedNear(worldToScreen({h.x, h.y}), 8), 20) << h.type;
}

struct EffectFrame : world_scene::WorldScene {
    void TearDown() override {
        const auto it = specialEffectsSprites.find("ProbeFx");
        if (it != specialEffectsSprites.end()) {
            SDL_DestroyTexture(it->second.sprite.texture);
            specialEffectsSprites.erase(it);
        }
        active_special_effects.clear();
        WorldScene::TearDown();
    }
};

// An effect's strip is one row of frames; a scale of 0 draws it at its own size.
TEST_F(EffectFrame, EffectCutsItsFrameFromOneRowAtItsScale) {
    SpecialEffectSpriteMeta& meta = specialEffectsSprites["ProbeFx"];
    meta.sprite.texture = cellSheet(4, 1, 40, 40);
    meta.frameWidth = meta.frameHeight = 40;
    meta.frameCount = 4;
    const struct {
        const char* name;
        int frame;
        float scale;
        float zoom;
        int cell;
    } cases[] = {
        {"first frame at its own size", 0, 0.0f, 1.0f, 0},
        {"last frame at half size", 3, 0.5f, 1.0f, 3},
        {"closest zoom", 2, 1.0f, 2.0f, 2},
        {"farthest zoom, scaled up", 1, 2.0f, 0.5f, 1},
        {"a frame past the strip starts it again", 6, 1.0f, 1.0f, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        meta.scale = c.scale;
        const SDL_FPoint at = openGround();
        zoomTo(c.zoom, at);
        active_special_effects.clear();
        drawBefore();
        ActiveSpecialEffect e;
        e.x = static_cast<int>(at.x);
        e.y = static_cast<int>(at.y);
        e.spriteKey = "ProbeFx";
        e.frame = c.frame;
        active_special_effects = {e};
        scene::drawFrame(0.0f);
        const SDL_FPoint p = worldToScreen({static_cast<float>(e.x), static_cast<float>(e.y)});
        const float half = 20.0f * (c.scale > 0.0f ? c.scale : 1.0f) * c.zoom;
        EXPECT_TRUE(hud_scene::same(now(SDL_FPoint{p.x - half / 2.0f, p.y}), cellColour(c.cell, 0, false)));
        EXPECT_TRUE(hud_scene::same(now(SDL_FPoint{p.x + half - 2.0f, p.y}), cellColour(c.cell, 0, true)));
        EXPECT_TRUE(unchanged(SDL_FPoint{p.x + half + 2.0f, p.y}));
        EXPECT_TRUE(unchanged(SDL_FPoint{p.x, p.y - half - 2.0f}));
    }
}

}  // namespace
