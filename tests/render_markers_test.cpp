// Markers over a match frame: a building's health bar, the rally point with its dashed line from the selected
// building, and the order clicks fading out; each where the world puts it, and gone with it.
#include <gtest/gtest.h>

#include <cmath>

#include "buildings.h"
#include "render_world_scene.h"

namespace {

const SDL_Color kGreen{0, 200, 0, 255};
const SDL_Color kBuildingRed{160, 0, 0, 255};
const SDL_Color kUnitRed{150, 0, 0, 255};
const SDL_Color kRally{0, 139, 0, 255};

// A bar's row on screen.
struct BarRow {
    float left, width;
    int y;
};

struct MarkerFrame : world_scene::WorldScene {
    // Ten points along the bar show green up to the share and the background after it; nothing of the bar spills
    // past its ends. A share below 0 asks for no bar at all.
    void expectBar(const BarRow& bar, int greenTenths, SDL_Color back) const {
        int green = 0, red = 0;
        for (int i = 0; i < 10; ++i) {
            const SDL_Color p = now(static_cast<int>(bar.left + bar.width * (i + 0.5f) / 10.0f), bar.y);
            green += hud_scene::same(p, kGreen);
            red += hud_scene::same(p, back);
        }
        if (greenTenths < 0) {
            EXPECT_EQ(green + red, 0);
            return;
        }
        EXPECT_EQ(green, greenTenths);
        EXPECT_EQ(red, 10 - greenTenths);
        EXPECT_TRUE(unchanged(static_cast<int>(bar.left) - 3, bar.y));
        EXPECT_TRUE(unchanged(static_cast<int>(bar.left + bar.width) + 3, bar.y));
    }
};

BarRow barOf(const Building& b) {
    const float w = b.wTiles * tileSize() * camera.zoom;
    const SDL_FPoint c = worldToScreen({(b.x + b.wTiles / 2.0f) * tileSize(), (b.y + b.hTiles / 2.0f) * tileSize()});
    return {c.x - w / 2.0f, w, static_cast<int>(buildingLook(b).dst.y - 15.0f * camera.zoom) + 2};
}

TEST_F(MarkerFrame, BuildingBarShowsTheDisplayedShareOfItsHitPointsInsideItsWidth) {
    const struct {
        const char* name;
        float hp, displayHp;
        bool selected;
        float zoom;
        int greenTenths;  // -1: no bar
    } cases[] = {
        {"whole and not selected", 100, 100, false, 1.0f, -1},
        {"whole and selected", 100, 100, true, 1.0f, 10},
        {"three tenths", 30, 30, false, 1.0f, 3},
        {"three tenths at the closest zoom", 30, 30, false, 2.0f, 3},
        {"three tenths at the farthest zoom", 30, 30, false, 0.5f, 3},
        {"none left", 0, 0, false, 1.0f, 0},
        {"shown hit points still on their way down", 30, 60, false, 1.0f, 6},
        {"below none", -20, -20, false, 1.0f, 0},
        {"over the maximum", 150, 150, false, 1.0f, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Building& b = base();
        b.hp = b.displayHp = b.maxHp = 100;
        clearBuildingSelection();
        // The bar rides on the sprite's top: the view puts it in the upper part of the window.
        zoomTo(c.zoom, buildingCenter(&b));
        scene::drawFrame(0.0f);
        zoomTo(c.zoom, buildingCenter(&b), {640.0f, 360.0f + 150.0f - static_cast<float>(barOf(b).y)});
        drawBefore();
        b.hp = c.hp;
        b.displayHp = c.displayHp;
        if (c.selected) addBuildingToSelection(b.id);
        scene::drawFrame(0.0f);
        if (c.greenTenths == 3) screenshot("match_building_bar_zoom_" + std::to_string(c.zoom).substr(0, 3));
        expectBar(barOf(b), c.greenTenths, kBuildingRed);
    }
}

TEST_F(MarkerFrame, UnitBarShowsItsShareOfHitPointsInsideItsWidth) {
    const struct {
        const char* name;
        float hp;
        bool selected;
        float zoom;
        int greenTenths;  // -1: no bar
    } cases[] = {
        {"whole and not selected", 100, false, 1.0f, -1},
        {"whole and selected", 100, true, 1.0f, 10},
        {"four tenths", 40, false, 1.0f, 4},
        {"four tenths at the closest zoom", 40, false, 2.0f, 4},
        {"four tenths at the farthest zoom", 40, false, 0.5f, 4},
        {"below none", -5, false, 1.0f, 0},
        {"over the maximum", 130, false, 1.0f, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Unit& u = *getUnitById(getPlayerById(1)->unitIds.front());
        u.hp = u.maxHp = 100;
        clearUnitSelection();
        zoomTo(c.zoom, {u.x, u.y});
        drawBefore();
        u.hp = c.hp;
        if (c.selected) addToSelection(u.id);
        scene::drawFrame(0.0f);
        const float w = tileSize() * c.zoom;
        const SDL_FPoint p = worldToScreen({u.x, u.y});
        const float lift = tileSize() * 0.5f * c.zoom * getUnitVisualHeight(u);
        expectBar({p.x - w / 2.0f, w, static_cast<int>(p.y - lift - 40.0f) + 2}, c.greenTenths, kUnitRed);
    }
}

struct RallyFrame : MarkerFrame {
    // The rally sub-tile whose middle lies the given tiles from the base's footprint centre, along the map axes.
    static V2i rallyBeside(float dx, float dy) {
        const SDL_FPoint c = buildingCenter(&base());
        return {static_cast<int>((c.x + dx * tileSize()) / 35.0f), static_cast<int>((c.y + dy * tileSize()) / 35.0f)};
    }
    static SDL_FPoint rallyOnScreen(V2i r) { return worldToScreen({r.x * 35.0f + 17.5f, r.y * 35.0f + 17.5f}); }
    void selectWithRally(V2i r) {
        Building& b = base();
        b.rallyPoint = r;
        b.hasRallyPoint = true;
        addBuildingToSelection(b.id);
    }
    // The share of points between from and to, in steps of a pixel, where the frame differs from before within
    // two pixels across the line.
    double changedShare(SDL_FPoint from, SDL_FPoint to) const {
        const float length = std::hypot(to.x - from.x, to.y - from.y);
        const float nx = -(to.y - from.y) / length, ny = (to.x - from.x) / length;
        int changed = 0, total = 0;
        for (float d = 0.0f; d < length; d += 1.0f, ++total) {
            const float t = d / length;
            const SDL_FPoint p{from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t};
            for (float k = -1.5f; k <= 1.5f; k += 1.0f)
                if (!unchanged(static_cast<int>(p.x + nx * k), static_cast<int>(p.y + ny * k))) {
                    ++changed;
                    break;
                }
        }
        return total ? static_cast<double>(changed) / total : 0.0;
    }
};

// The dashes repeat along the whole line, every quarter of it as dashed as the first, at every zoom.
TEST_F(RallyFrame, DashedLineRunsFromTheBuildingToTheRallyPointMarkedByAGreenDot) {
    const struct {
        const char* name;
        const char* shot;
        float dx, dy;
        float zoom;
    } cases[] = {
        {"to the right", "right", 3.0f, -3.0f, 1.0f},
        {"down to the left", "down_left", -1.0f, 3.0f, 1.0f},
        {"to the right at the closest zoom", "closest", 1.5f, -1.5f, 2.0f},
        {"to the right at the farthest zoom", "farthest", 5.0f, -5.0f, 0.5f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        zoomTo(c.zoom, buildingCenter(&base()));
        clearBuildingSelection();
        addBuildingToSelection(base().id);
        drawBefore();
        const V2i r = rallyBeside(c.dx, c.dy);
        selectWithRally(r);
        for (float dt : {0.0f, 0.05f, 0.07f}) {
            scene::drawFrame(dt);
            if (dt > 0.06f) screenshot(std::string("match_rally_") + c.shot);
            const SDL_FPoint to = rallyOnScreen(r);
            EXPECT_TRUE(hud_scene::same(now(to), kRally));
            EXPECT_TRUE(hud_scene::same(now(to.x + 6.0f * c.zoom - 2.0f, to.y), kRally));
            EXPECT_TRUE(unchanged(static_cast<int>(to.x + 6.0f * c.zoom + 3.0f), static_cast<int>(to.y)));
            const SDL_FPoint from = worldToScreen(buildingCenter(&base()));
            const SDL_FPoint stop{from.x + (to.x - from.x) * 0.9f, from.y + (to.y - from.y) * 0.9f};
            // Quarters of the line up to the dot, each holding dashes and gaps.
            for (int q = 0; q < 4; ++q) {
                const SDL_FPoint a{from.x + (stop.x - from.x) * q / 4.0f, from.y + (stop.y - from.y) * q / 4.0f};
                const SDL_FPoint b{from.x + (stop.x - from.x) * (q + 1) / 4.0f,
                                   from.y + (stop.y - from.y) * (q + 1) / 4.0f};
                const double share = changedShare(a, b);
                EXPECT_GT(share, 0.3) << "quarter " << q << " after dt " << dt;
                EXPECT_LT(share, 0.95) << "quarter " << q << " after dt " << dt;
            }
        }
        base().hasRallyPoint = false;
        scene::drawFrame(0.0f);
        EXPECT_TRUE(unchanged(rallyOnScreen(r)));
    }
}

TEST_F(RallyFrame, RallyPointOnTheBuildingItselfShowsOnlyTheDot) {
    const SDL_FPoint c = buildingCenter(&base());
    const V2i r{static_cast<int>(c.x / 35.0f), static_cast<int>(c.y / 35.0f)};
    addBuildingToSelection(base().id);
    drawBefore();
    selectWithRally(r);
    scene::drawFrame(0.016f);
    const SDL_FPoint dot = rallyOnScreen(r);
    EXPECT_TRUE(hud_scene::same(now(dot), kRally));
    EXPECT_TRUE(unchanged(static_cast<int>(dot.x) + 30, static_cast<int>(dot.y)));
    EXPECT_TRUE(unchanged(static_cast<int>(dot.x) - 30, static_cast<int>(dot.y)));
}

TEST_F(RallyFrame, UnselectedBuildingShowsNoRallyPoint) {
    const V2i r = rallyBeside(3.0f, -3.0f);
    drawBefore();
    base().rallyPoint = r;
    base().hasRallyPoint = true;
    scene::drawFrame(0.016f);
    EXPECT_TRUE(aroundUnchanged(rallyOnScreen(r)));
}

// A click's ring grows from 0.3 of a sub-tile to 1.5 times that while its alpha falls with its life.
TEST_F(MarkerFrame, OrderClickRingWidensAndFadesWithItsLife) {
    const SDL_Color magenta{255, 0, 255, 255};
    const struct {
        const char* name;
        float life;
        float zoom;
    } cases[] = {
        {"fresh", 1.0f, 1.0f},
        {"half gone", 0.5f, 1.0f},
        {"fresh at the closest zoom", 1.0f, 2.0f},
        {"fresh at the farthest zoom", 1.0f, 0.5f},
        {"a quarter left at the closest zoom", 0.25f, 2.0f},
        {"spent", 0.0f, 1.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SDL_FPoint at = openGround();
        zoomTo(c.zoom, at);
        drawBefore();
        clicks = {Click{at.x, at.y, c.life, magenta}};
        scene::drawFrame(0.0f);
        const SDL_FPoint p = worldToScreen(at);
        const float rx = SUB_TILE_SIZE * 0.3f * ((1.0f - c.life) * 0.5f + 1.0f) * c.zoom;
        const float a = static_cast<int>(c.life * 255) / 255.0f;
        const SDL_Color ground = was(static_cast<int>(p.x + rx), static_cast<int>(p.y));
        const auto mix = [a](uint8_t top, uint8_t under) { return static_cast<uint8_t>(top * a + under * (1 - a)); };
        const SDL_Color expected{mix(255, ground.r), mix(0, ground.g), mix(255, ground.b), 255};
        if (c.life > 0.0f) {
            EXPECT_TRUE(around({p.x + rx, p.y}, expected, 3));
            EXPECT_TRUE(around({p.x - rx, p.y}, expected, 3));
            EXPECT_TRUE(around({p.x, p.y + rx / 2.0f}, expected, 3));
        } else {
            EXPECT_TRUE(aroundUnchanged({p.x + rx, p.y}));
        }
        EXPECT_TRUE(unchanged(p)) << describe(p);  // a ring, not a disc
        EXPECT_TRUE(aroundUnchanged({p.x + rx + 4.0f, p.y}));
        clicks.clear();
        scene::drawFrame(0.0f);
        EXPECT_TRUE(aroundUnchanged({p.x + rx, p.y}));
    }
}

}  // namespace
