// The fight map at its start, drawn whole, with helpers to compare a frame against the frame drawn before a thing
// was put on screen, and sheets of coloured cells that say which frame of a strip was drawn.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "hud_scene.h"

namespace world_scene {

// The colour of one cell of a test sheet: its column in red, its row in green, blue tells the cell's left half
// (250) from its right half (120), so a mirrored copy shows.
inline SDL_Color cellColour(int col, int row, bool rightHalf) {
    return {static_cast<uint8_t>(30 + 50 * col), static_cast<uint8_t>(30 + 50 * row),
            static_cast<uint8_t>(rightHalf ? 120 : 250), 255};
}

// A sheet of cols x rows cells of cw x ch pixels on the scene's canvas.
inline SDL_Texture* cellSheet(int cols, int rows, int cw, int ch) {
    const int w = cols * cw, h = rows * ch;
    std::vector<uint32_t> pixels(static_cast<std::size_t>(w * h));
    SDL_PixelFormat* format = SDL_AllocFormat(SDL_PIXELFORMAT_RGBA8888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const SDL_Color c = cellColour(x / cw, y / ch, x % cw >= cw / 2);
            pixels[static_cast<std::size_t>(y * w + x)] = SDL_MapRGBA(format, c.r, c.g, c.b, c.a);
        }
    SDL_FreeFormat(format);
    SDL_Texture* t = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA8888, SDL_TEXTUREACCESS_STATIC, w, h);
    SDL_UpdateTexture(t, nullptr, pixels.data(), w * 4);
    SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
    return t;
}

inline bool near(SDL_Color a, SDL_Color b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

inline SDL_Color pixelOf(SDL_Surface* s, int x, int y) {
    const auto* row = static_cast<const uint8_t*>(s->pixels) + y * s->pitch;
    SDL_Color c;
    SDL_GetRGBA(reinterpret_cast<const uint32_t*>(row)[x], s->format, &c.r, &c.g, &c.b, &c.a);
    return c;
}

// The fight map, player 1 at home, without fog, its base in the middle of the window.
struct WorldScene : hud_scene::SceneTest {
    SDL_Surface* before = nullptr;

    void SetUp() override {
        hud_scene::SceneTest::SetUp();
        if (IsSkipped()) return;
        ASSERT_TRUE(scene::startFight(false));
    }
    void TearDown() override {
        if (before) SDL_FreeSurface(before);
        clicks.clear();
        camera.zoom = 1.0f;
        hud_scene::SceneTest::TearDown();
    }

    static Building& base() { return *getBuildingById(getPlayerById(1)->buildingIds.front()); }
    // The middle of an open grass tile beside the base, in world units.
    static SDL_FPoint openGround(int dx = 0, int dy = 0) {
        const Building& b = base();
        return {(b.x - 2 + dx + 0.5f) * tileSize(), (b.y + b.hTiles + 1 + dy + 0.5f) * tileSize()};
    }
    // Sets the zoom and moves the view so the world point shows at the window point (the middle by default).
    static void zoomTo(float zoom, SDL_FPoint focus, SDL_FPoint at = {640.0f, 360.0f}) {
        camera.zoom = zoom;
        const SDL_FPoint p = worldToScreen(focus);
        camera.centerX += (p.x - at.x) / zoom;
        camera.centerY += (p.y - at.y) / zoom;
        camera.x = camera.centerX - camera.w / 2.0f;
        camera.y = camera.centerY - camera.h / 2.0f;
    }
    // Draws the frame and keeps it as the picture without the thing a test puts on screen next.
    void drawBefore() {
        scene::drawFrame(0.0f);
        if (before) SDL_FreeSurface(before);
        before = SDL_DuplicateSurface(scene::canvas().surface);
    }
    SDL_Color was(int x, int y) const {
        if (x >= 0 && y >= 0 && x < before->w && y < before->h) return pixelOf(before, x, y);
        ADD_FAILURE() << "(" << x << ", " << y << ") is off the window";
        return {3, 2, 1, 0};
    }
    // A point off the window is a fault of the test's geometry, not a colour.
    static SDL_Color now(int x, int y) {
        if (x >= 0 && y >= 0 && x < 1280 && y < 720) return hud_scene::pixel(x, y);
        ADD_FAILURE() << "(" << x << ", " << y << ") is off the window";
        return {1, 2, 3, 0};
    }
    static SDL_Color now(SDL_FPoint p) { return now(static_cast<int>(p.x), static_cast<int>(p.y)); }
    bool unchanged(int x, int y) const { return hud_scene::same(now(x, y), was(x, y)); }
    bool unchanged(SDL_FPoint p) const { return unchanged(static_cast<int>(p.x), static_cast<int>(p.y)); }
    // Whether any pixel of the 3 x 3 square around p shows the colour within the tolerance.
    static bool around(SDL_FPoint p, SDL_Color c, int tolerance = 0) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (near(now(static_cast<int>(p.x) + dx, static_cast<int>(p.y) + dy), c, tolerance)) return true;
        return false;
    }
    // The colours of the 3 x 3 square around p, for a failure's message.
    static std::string describe(SDL_FPoint p) {
        std::string out;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const SDL_Color c = now(static_cast<int>(p.x) + dx, static_cast<int>(p.y) + dy);
                out += " (" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
            }
        return out;
    }
    // How many pixels of the square of the given half side around p differ from before.
    int changedNear(SDL_FPoint p, int half) const {
        int changed = 0;
        for (int dy = -half; dy <= half; ++dy)
            for (int dx = -half; dx <= half; ++dx)
                changed += !unchanged(static_cast<int>(p.x) + dx, static_cast<int>(p.y) + dy);
        return changed;
    }
    bool aroundUnchanged(SDL_FPoint p) const {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (!unchanged(static_cast<int>(p.x) + dx, static_cast<int>(p.y) + dy)) return false;
        return true;
    }
    static void screenshot(const std::string& name) {
        EXPECT_TRUE(scene::savePng(hud_scene::screenshotFolder(), name + ".png"));
    }
};

}  // namespace world_scene
