// The main-menu backdrop: a dusk battlefield built from the game's own tiles, buildings and units.
#include "menu.h"

#include <algorithm>
#include <cmath>

#include "art.h"
#include "tiles.h"

using nlohmann::json;

namespace {

const int kTile = 128;

void sky(Image& img) {
    for (int y = 0; y < img.h; ++y) {
        float t = static_cast<float>(y) / img.h;
        Rgb c = t < 0.45f ? mix(hex(0x0B1026), hex(0x3A2450), t / 0.45f) : mix(hex(0x3A2450), hex(0xC8683A), clamp01((t - 0.45f) / 0.2f));
        for (int x = 0; x < img.w; ++x) img.set(x, y, c, 1.0f);
    }
    Rng rng(5);
    for (int i = 0; i < 220; ++i) {
        float x = rng.range(0, static_cast<float>(img.w)), y = rng.range(0, img.h * 0.5f);
        img.blend(static_cast<int>(x), static_cast<int>(y), {1, 1, 1}, rng.range(0.2f, 0.9f) * (1.0f - y / (img.h * 0.5f)));
    }
    glow(img, img.w * 0.78f, img.h * 0.16f, 90.0f, hex(0xB8E0FF), 0.35f);
    paint(img, [&](float x, float y) { return sdCircle(x, y, img.w * 0.78f, img.h * 0.16f, 38.0f); }, hex(0xDCE8F0));
    paint(img, [&](float x, float y) { return sdCircle(x, y, img.w * 0.78f + 14.0f, img.h * 0.16f - 8.0f, 34.0f); }, hex(0x6A5088), 0.55f);
    paint(img, [&](float x, float y) { return sdCircle(x, y, img.w * 0.2f, img.h * 0.1f, 14.0f); }, hex(0xE8B890));
    // Two ranges of mountains.
    for (int layer = 0; layer < 2; ++layer) {
        Rgb c = layer == 0 ? hex(0x2A2040) : hex(0x1A1428);
        float base = img.h * (0.42f + 0.06f * layer);
        for (int x = 0; x < img.w; ++x) {
            float top = base - 110.0f * fbm(x * 0.004f + layer * 7.0f, 0.5f, 31u + static_cast<uint32_t>(layer), 4) + 30.0f * layer;
            for (int y = std::max(0, static_cast<int>(top)); y < img.h; ++y) img.blend(x, y, c, 1.0f);
        }
    }
}

Ground groundFor(int gx, int gy) {
    float n = fbm(gx * 0.35f, gy * 0.35f, 77, 2);
    if (gx + gy > 13 && gx + gy < 16 && gx > 3 && gx < 11) return Ground::Water;
    if (n > 0.62f) return Ground::Drygrass;
    if (n < 0.3f) return Ground::Mud;
    return (gx * 7 + gy * 3) % 11 == 0 ? Ground::GrassFlowers : Ground::Grass;
}

P2 iso(float gx, float gy, P2 origin) { return {origin.x + (gx - gy) * kTile * 0.5f, origin.y + (gx + gy) * kTile * 0.25f}; }

void drawBuilding(Image& img, const char* name, const char* race, int w, P2 at) {
    Job job;
    job.kind = AssetKind::BuildingSheet;
    job.name = name;
    job.race = race;
    job.meta = {{"animation", {{"frameWidth", w * kTile}, {"frameHeight", w * kTile}}}, {"info", {{"wTiles", w}, {"hTiles", w}, {"base", true}}}};
    Image b = drawJob(job);
    img.draw(b, static_cast<int>(at.x - b.w * 0.5f), static_cast<int>(at.y - b.h * 0.5f));
}

void drawUnit(Image& img, const char* name, const char* race, const char* attack, int column, bool attacking, P2 at, float phase) {
    UnitLook look = chooseUnitLook(name, race, json{{"attackType", attack}}, false);
    Pose p;
    p.attacking = attacking;
    p.attack = phase;
    p.moving = !attacking;
    p.walk = phase;
    Image u = renderUnitFrame(look, p, column < 5 ? column : 8 - column, 96, 96);
    if (column >= 5) u = u.flippedH();
    img.draw(u, static_cast<int>(at.x - 48), static_cast<int>(at.y - 96 * 0.8f));
}

void drawObject(Image& img, const char* kind, uint32_t seed, P2 at) {
    Image o = renderObjectFrame(kind, seed, 0, 1, 80, 80);
    img.draw(o, static_cast<int>(at.x - 40), static_cast<int>(at.y - 80 * 0.76f));
}

}  // namespace

Image menuBackground(int w, int h) {
    Image img(w, h);
    sky(img);
    P2 origin{w * 0.5f, h * 0.38f};
    std::vector<Image> tiles;
    for (int g = 0; g <= static_cast<int>(Ground::Shore); ++g) tiles.push_back(groundTile(static_cast<Ground>(g), kTile, 3));
    for (int s = 0; s < 40; ++s)
        for (int gy = 0; gy <= s; ++gy) {
            int gx = s - gy;
            if (gx > 20 || gy > 20) continue;
            P2 p = iso(static_cast<float>(gx) - 6.0f, static_cast<float>(gy) - 6.0f, origin);
            if (p.y > h + 10 || p.x < -kTile || p.x > w + kTile) continue;
            img.draw(tiles[static_cast<size_t>(groundFor(gx, gy))], static_cast<int>(p.x - kTile * 0.5f), static_cast<int>(p.y));
        }
    drawObject(img, "Tree", 3, iso(-4.5f, 1.5f, origin));
    drawObject(img, "Tree", 4, iso(-3.5f, 3.2f, origin));
    drawObject(img, "Crystal", 5, iso(2.0f, -3.5f, origin));
    drawObject(img, "Crystal", 6, iso(8.5f, 2.5f, origin));
    drawObject(img, "AmberOil", 7, iso(-1.5f, 6.5f, origin));
    drawBuilding(img, "HumanCommand", "human", 3, iso(-5.0f, 4.0f, origin));
    drawBuilding(img, "VohmathalHive", "vohmathal", 3, iso(6.0f, -5.0f, origin));
    for (int i = 0; i < 4; ++i) drawUnit(img, "Marine", "human", "Ranged", 1, i % 2 == 0, iso(0.2f + i * 0.7f, 3.4f - i * 0.5f, origin), 0.1f + i * 0.2f);
    for (int i = 0; i < 4; ++i) drawUnit(img, "Berserker", "vohmathal", "Melee", 7, i % 2 == 1, iso(3.0f + i * 0.7f, 0.6f - i * 0.6f, origin), 0.5f + i * 0.15f);
    // Dusk light and a vignette keep the menu text readable.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float dx = (x - w * 0.5f) / (w * 0.5f), dy = (y - h * 0.5f) / (h * 0.5f);
            float v = clamp01(std::sqrt(dx * dx + dy * dy) - 0.45f);
            img.blend(x, y, hex(0x0A0814), v * 0.75f);
            img.blend(x, y, hex(0x40204A), 0.12f);
        }
    return img;
}
