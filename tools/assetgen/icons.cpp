// Flat 2D art: button icons with a symbol per meaning, HUD resource icons, cursors and item pictures.
#include "icons.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

// Glyphs draw in a square of side s; coordinates below are fractions of s.
using Glyph = void (*)(Image&, float s, Rgb c);

void seg(Image& img, float s, float x0, float y0, float x1, float y1, float r, Rgb c) {
    paint(img, [=](float x, float y) { return sdSegment(x, y, {x0 * s, y0 * s}, {x1 * s, y1 * s}, r * s); }, c);
}
void disc(Image& img, float s, float cx, float cy, float r, Rgb c) {
    paint(img, [=](float x, float y) { return sdCircle(x, y, cx * s, cy * s, r * s); }, c);
}
void poly(Image& img, float s, std::vector<P2> pts, Rgb c) {
    for (P2& p : pts) p = {p.x * s, p.y * s};
    paint(img, [pts](float x, float y) { return sdPolygon(x, y, pts); }, c);
}
void ring(Image& img, float s, float cx, float cy, float r, float w, Rgb c) {
    paint(img, [=](float x, float y) { return std::fabs(sdCircle(x, y, cx * s, cy * s, r * s)) - w * s; }, c);
}

void glyphSnowflake(Image& img, float s, Rgb c) {
    for (int i = 0; i < 3; ++i) {
        float a = i * kPi / 3.0f;
        float dx = std::cos(a) * 0.32f, dy = std::sin(a) * 0.32f;
        seg(img, s, 0.5f - dx, 0.5f - dy, 0.5f + dx, 0.5f + dy, 0.04f, c);
        for (int e = -1; e <= 1; e += 2) {
            float bx = 0.5f + dx * 0.6f * e, by = 0.5f + dy * 0.6f * e;
            float pa = a + kPi / 2.0f;
            seg(img, s, bx, by, bx + std::cos(pa + 0.9f * e) * 0.1f * e, by + std::sin(pa + 0.9f * e) * 0.1f * e, 0.025f, c);
            seg(img, s, bx, by, bx + std::cos(pa - 0.9f * e) * -0.1f * e, by + std::sin(pa - 0.9f * e) * -0.1f * e, 0.025f, c);
        }
    }
}

void glyphFlame(Image& img, float s, Rgb c) {
    poly(img, s, {{0.5f, 0.12f}, {0.64f, 0.36f}, {0.72f, 0.3f}, {0.76f, 0.58f}, {0.68f, 0.8f}, {0.5f, 0.88f}, {0.32f, 0.8f}, {0.24f, 0.58f}, {0.34f, 0.4f}, {0.4f, 0.5f}}, c);
    poly(img, s, {{0.5f, 0.45f}, {0.6f, 0.65f}, {0.56f, 0.8f}, {0.5f, 0.83f}, {0.44f, 0.8f}, {0.4f, 0.65f}}, mix(c, {1, 1, 0.8f}, 0.6f));
}

void glyphCross(Image& img, float s, Rgb c) {
    paint(img, [s](float x, float y) { return std::min(sdBox(x, y, 0.5f * s, 0.5f * s, 0.09f * s, 0.3f * s, 0.03f * s), sdBox(x, y, 0.5f * s, 0.5f * s, 0.3f * s, 0.09f * s, 0.03f * s)); }, c);
}

void glyphChevrons(Image& img, float s, Rgb c) {
    for (int i = 0; i < 3; ++i) {
        float y = 0.3f + i * 0.17f;
        seg(img, s, 0.26f, y + 0.14f, 0.5f, y, 0.045f, c);
        seg(img, s, 0.5f, y, 0.74f, y + 0.14f, 0.045f, c);
    }
}

void glyphHourglass(Image& img, float s, Rgb c) {
    poly(img, s, {{0.28f, 0.18f}, {0.72f, 0.18f}, {0.53f, 0.5f}, {0.72f, 0.82f}, {0.28f, 0.82f}, {0.47f, 0.5f}}, c);
    seg(img, s, 0.24f, 0.17f, 0.76f, 0.17f, 0.035f, c * 0.8f);
    seg(img, s, 0.24f, 0.83f, 0.76f, 0.83f, 0.035f, c * 0.8f);
}

void glyphEye(Image& img, float s, Rgb c) {
    paint(img, [s](float x, float y) { return std::max(sdCircle(x, y, 0.5f * s, 0.15f * s, 0.5f * s), sdCircle(x, y, 0.5f * s, 0.85f * s, 0.5f * s)); }, c);
    disc(img, s, 0.5f, 0.5f, 0.13f, c * 0.25f);
    disc(img, s, 0.46f, 0.46f, 0.04f, {1, 1, 1});
}

void glyphHiddenEye(Image& img, float s, Rgb c) {
    glyphEye(img, s, c * 0.7f);
    seg(img, s, 0.22f, 0.78f, 0.78f, 0.22f, 0.05f, c);
}

void glyphSwirl(Image& img, float s, Rgb c) {
    for (int arm = 0; arm < 3; ++arm)
        for (int i = 0; i < 14; ++i) {
            float t0 = i / 14.0f, t1 = (i + 1) / 14.0f;
            float a0 = arm * 2.094f + t0 * 4.0f, a1 = arm * 2.094f + t1 * 4.0f;
            seg(img, s, 0.5f + std::cos(a0) * 0.33f * t0, 0.5f + std::sin(a0) * 0.33f * t0, 0.5f + std::cos(a1) * 0.33f * t1,
                0.5f + std::sin(a1) * 0.33f * t1, 0.03f + 0.02f * t0, c);
        }
}

void glyphSkull(Image& img, float s, Rgb c) {
    disc(img, s, 0.5f, 0.43f, 0.25f, c);
    paint(img, [s](float x, float y) { return sdBox(x, y, 0.5f * s, 0.68f * s, 0.15f * s, 0.1f * s, 0.03f * s); }, c);
    Rgb hole = c * 0.15f;
    disc(img, s, 0.41f, 0.45f, 0.07f, hole);
    disc(img, s, 0.59f, 0.45f, 0.07f, hole);
    poly(img, s, {{0.5f, 0.55f}, {0.54f, 0.62f}, {0.46f, 0.62f}}, hole);
    for (int i = 0; i < 3; ++i) seg(img, s, 0.43f + i * 0.07f, 0.66f, 0.43f + i * 0.07f, 0.76f, 0.012f, hole);
}

void glyphShield(Image& img, float s, Rgb c) {
    poly(img, s, {{0.5f, 0.14f}, {0.78f, 0.24f}, {0.74f, 0.56f}, {0.5f, 0.86f}, {0.26f, 0.56f}, {0.22f, 0.24f}}, c);
    poly(img, s, {{0.5f, 0.22f}, {0.7f, 0.29f}, {0.67f, 0.54f}, {0.5f, 0.76f}}, c * 0.7f);
}

void glyphSword(Image& img, float s, Rgb c) {
    poly(img, s, {{0.74f, 0.14f}, {0.8f, 0.2f}, {0.42f, 0.62f}, {0.38f, 0.58f}}, c);
    seg(img, s, 0.3f, 0.52f, 0.48f, 0.7f, 0.035f, c * 0.75f);
    seg(img, s, 0.38f, 0.62f, 0.24f, 0.76f, 0.035f, c * 0.6f);
    disc(img, s, 0.22f, 0.78f, 0.045f, c * 0.75f);
}

void glyphBullet(Image& img, float s, Rgb c) {
    for (int i = 0; i < 3; ++i) {
        float x = 0.3f + i * 0.2f;
        paint(img, [=](float px, float py) { return std::min(sdBox(px, py, x * s, 0.6f * s, 0.065f * s, 0.18f * s), sdCircle(px, py, x * s, 0.42f * s, 0.065f * s)); }, i == 1 ? c : c * 0.8f);
        seg(img, s, x - 0.065f, 0.72f, x + 0.065f, 0.72f, 0.02f, c * 0.5f);
    }
}

void glyphBomb(Image& img, float s, Rgb c) {
    disc(img, s, 0.46f, 0.58f, 0.25f, c * 0.35f);
    disc(img, s, 0.4f, 0.52f, 0.07f, c * 0.6f);
    seg(img, s, 0.6f, 0.36f, 0.7f, 0.24f, 0.035f, c * 0.6f);
    for (int i = 0; i < 6; ++i) {
        float a = i * kPi / 3.0f;
        seg(img, s, 0.72f, 0.22f, 0.72f + std::cos(a) * 0.09f, 0.22f + std::sin(a) * 0.09f, 0.018f, {1.0f, 0.85f, 0.3f});
    }
}

void glyphTarget(Image& img, float s, Rgb c) {
    ring(img, s, 0.5f, 0.5f, 0.28f, 0.03f, c);
    ring(img, s, 0.5f, 0.5f, 0.14f, 0.025f, c);
    disc(img, s, 0.5f, 0.5f, 0.04f, c);
    seg(img, s, 0.5f, 0.12f, 0.5f, 0.3f, 0.025f, c);
    seg(img, s, 0.5f, 0.7f, 0.5f, 0.88f, 0.025f, c);
    seg(img, s, 0.12f, 0.5f, 0.3f, 0.5f, 0.025f, c);
    seg(img, s, 0.7f, 0.5f, 0.88f, 0.5f, 0.025f, c);
}

void glyphHelix(Image& img, float s, Rgb c) {
    for (int i = 0; i < 24; ++i) {
        float t0 = i / 24.0f, t1 = (i + 1) / 24.0f;
        float y0 = 0.16f + t0 * 0.68f, y1 = 0.16f + t1 * 0.68f;
        seg(img, s, 0.5f + std::sin(t0 * 9.4f) * 0.2f, y0, 0.5f + std::sin(t1 * 9.4f) * 0.2f, y1, 0.03f, c);
        seg(img, s, 0.5f - std::sin(t0 * 9.4f) * 0.2f, y0, 0.5f - std::sin(t1 * 9.4f) * 0.2f, y1, 0.03f, c * 0.7f);
        if (i % 3 == 0) seg(img, s, 0.5f + std::sin(t0 * 9.4f) * 0.2f, y0, 0.5f - std::sin(t0 * 9.4f) * 0.2f, y0, 0.012f, c * 0.85f);
    }
}

void glyphGear(Image& img, float s, Rgb c) {
    std::vector<P2> teeth = starPoints(0.5f * s, 0.5f * s, 0.34f * s, 0.26f * s, 8, 0.0f);
    paint(img, [=](float x, float y) { return std::max(std::min(sdPolygon(x, y, teeth) - 0.02f * s, sdCircle(x, y, 0.5f * s, 0.5f * s, 0.27f * s)), -sdCircle(x, y, 0.5f * s, 0.5f * s, 0.1f * s)); }, c);
}

void glyphStar(Image& img, float s, Rgb c) {
    std::vector<P2> star = starPoints(0.5f * s, 0.52f * s, 0.36f * s, 0.15f * s, 5, -kPi / 2.0f);
    paint(img, [star](float x, float y) { return sdPolygon(x, y, star); }, c);
}

void glyphBolt(Image& img, float s, Rgb c) {
    poly(img, s, {{0.56f, 0.12f}, {0.3f, 0.54f}, {0.48f, 0.54f}, {0.4f, 0.88f}, {0.72f, 0.42f}, {0.53f, 0.42f}, {0.64f, 0.12f}}, c);
}

void glyphCrystal(Image& img, float s, Rgb c) {
    poly(img, s, {{0.5f, 0.12f}, {0.64f, 0.36f}, {0.6f, 0.8f}, {0.4f, 0.8f}, {0.36f, 0.36f}}, c);
    poly(img, s, {{0.5f, 0.12f}, {0.64f, 0.36f}, {0.6f, 0.8f}, {0.5f, 0.8f}}, c * 0.75f);
    poly(img, s, {{0.28f, 0.42f}, {0.38f, 0.56f}, {0.36f, 0.82f}, {0.22f, 0.82f}, {0.2f, 0.56f}}, c * 0.85f);
    poly(img, s, {{0.74f, 0.46f}, {0.82f, 0.58f}, {0.8f, 0.82f}, {0.66f, 0.82f}, {0.65f, 0.58f}}, c * 0.9f);
}

void glyphDrop(Image& img, float s, Rgb c) {
    paint(img, [s](float x, float y) { return std::min(sdCircle(x, y, 0.5f * s, 0.6f * s, 0.22f * s), sdPolygon(x, y, {{0.5f * s, 0.14f * s}, {0.69f * s, 0.5f * s}, {0.31f * s, 0.5f * s}})); }, c);
    disc(img, s, 0.43f, 0.58f, 0.06f, mix(c, {1, 1, 1}, 0.6f));
}

void glyphHouse(Image& img, float s, Rgb c) {
    poly(img, s, {{0.5f, 0.16f}, {0.84f, 0.46f}, {0.16f, 0.46f}}, c);
    paint(img, [s](float x, float y) { return sdBox(x, y, 0.5f * s, 0.64f * s, 0.26f * s, 0.2f * s); }, c * 0.85f);
    paint(img, [s](float x, float y) { return sdBox(x, y, 0.5f * s, 0.72f * s, 0.07f * s, 0.12f * s); }, c * 0.35f);
}

void glyphEject(Image& img, float s, Rgb c) {
    poly(img, s, {{0.5f, 0.16f}, {0.8f, 0.52f}, {0.2f, 0.52f}}, c);
    paint(img, [s](float x, float y) { return sdBox(x, y, 0.5f * s, 0.7f * s, 0.3f * s, 0.07f * s, 0.02f * s); }, c);
}

void glyphPod(Image& img, float s, Rgb c) {
    paint(img, [s](float x, float y) { return sdBox(x, y, 0.5f * s, 0.5f * s, 0.18f * s, 0.34f * s, 0.16f * s); }, hex(0xB8C4CC));
    paint(img, [s](float x, float y) { return sdBox(x, y, 0.5f * s, 0.45f * s, 0.11f * s, 0.22f * s, 0.1f * s); }, c);
    seg(img, s, 0.46f, 0.3f, 0.46f, 0.55f, 0.015f, {1, 1, 1});
}

void glyphTower(Image& img, float s, Rgb c) {
    paint(img, [s](float x, float y) { return sdBox(x, y, 0.5f * s, 0.56f * s, 0.16f * s, 0.3f * s); }, c);
    for (int i = 0; i < 3; ++i) paint(img, [=](float x, float y) { return sdBox(x, y, (0.36f + i * 0.14f) * s, 0.22f * s, 0.05f * s, 0.07f * s); }, c);
    paint(img, [s](float x, float y) { return sdBox(x, y, 0.5f * s, 0.72f * s, 0.05f * s, 0.12f * s, 0.04f * s); }, c * 0.3f);
}

void glyphTank(Image& img, float s, Rgb c) {
    paint(img, [s](float x, float y) { return sdBox(x, y, 0.5f * s, 0.64f * s, 0.32f * s, 0.1f * s, 0.08f * s); }, c * 0.6f);
    paint(img, [s](float x, float y) { return sdBox(x, y, 0.5f * s, 0.52f * s, 0.3f * s, 0.08f * s, 0.02f * s); }, c);
    paint(img, [s](float x, float y) { return sdBox(x, y, 0.45f * s, 0.4f * s, 0.14f * s, 0.07f * s, 0.05f * s); }, c);
    seg(img, s, 0.55f, 0.38f, 0.86f, 0.32f, 0.025f, c);
    for (int i = 0; i < 4; ++i) disc(img, s, 0.28f + i * 0.147f, 0.64f, 0.045f, c * 0.3f);
}

struct Motif {
    std::initializer_list<const char*> words;
    Glyph glyph;
    uint32_t color;
};

// First match wins, so specific words come before general ones.
const Motif kMotifs[] = {
    {{"freez", "frost", "blizzard", "ice", "cold", "cryo"}, glyphSnowflake, 0x9FE6FF},
    {{"pod"}, glyphPod, 0x7FD8FF},
    {{"invis", "cloak", "stealth", "hide"}, glyphHiddenEye, 0xB8A8FF},
    {{"vision", "sight", "eye", "scout", "reveal"}, glyphEye, 0xFFF0A0},
    {{"bomb", "artillery", "latchedmine", "landmine", "explo", "demoli", "grenade", "mortar", "siege"}, glyphBomb, 0xFFB060},
    {{"tank", "vehicle", "mech", "walker", "armoured"}, glyphTank, 0xC8D8E8},
    {{"fire", "flame", "burn", "seeing", "rage", "lust", "blood", "dragon"}, glyphFlame, 0xFF8A3A},
    {{"heal", "medic", "repair", "regen", "mend", "cure"}, glyphCross, 0x7CFF8A},
    {{"haste", "speed", "swift", "sprint", "boots", "move"}, glyphChevrons, 0x8AFFD8},
    {{"slow", "time", "stasis"}, glyphHourglass, 0xC8B0FF},
    {{"teleport", "whirl", "portal", "abyss", "warp", "vortex", "storm"}, glyphSwirl, 0xC070FF},
    {{"death", "decay", "unholy", "corpse", "kill", "doom", "plague", "dark"}, glyphSkull, 0xD8E8C8},
    {{"armor", "armour", "defen", "shield", "plate", "protect", "carapace"}, glyphShield, 0xC8D4E0},
    {{"pierc", "ammo", "bullet", "round", "shot", "gun", "rifle"}, glyphBullet, 0xFFD070},
    {{"range", "aim", "target", "scope"}, glyphTarget, 0xFF7070},
    {{"dna", "clon", "gene", "bio", "evol", "mutat", "spawn"}, glyphHelix, 0x8AFF6A},
    {{"tier", "rank", "level", "promot", "elite", "veteran", "command", "keep", "fortress", "stronghold"}, glyphStar, 0xFFD84A},
    {{"laser", "energy", "shock", "volt", "power", "charge"}, glyphBolt, 0x9AF0FF},
    {{"crystal", "gold", "mining", "mine"}, glyphCrystal, 0x7FEAFF},
    {{"oil", "amber", "fuel", "wood", "lumber"}, glyphDrop, 0xFFB040},
    {{"food", "supply", "camp", "farm", "house"}, glyphHouse, 0xE8D8A8},
    {{"tower", "wall", "fort", "bunker"}, glyphTower, 0xD0C8B8},
    {{"damage", "attack", "blade", "sword", "weapon", "melee", "claw", "strength"}, glyphSword, 0xE8ECF0},
};

const Motif* motifFor(const std::string& words) {
    std::string w = lower(words);
    for (const Motif& m : kMotifs)
        for (const char* k : m.words)
            if (w.find(k) != std::string::npos) return &m;
    return nullptr;
}

void drawGlyph(Image& img, Glyph g, float s, Rgb c) {
    // Shadow first, one pixel down-right at this scale.
    Image shadow(img.w, img.h);
    g(shadow, s, {0, 0, 0});
    img.draw(shadow, static_cast<int>(std::max(1.0f, s * 0.03f)), static_cast<int>(std::max(1.0f, s * 0.03f)), 0.6f);
    g(img, s, c);
}

Rgb familyColor(const std::string& family, Rgb race) {
    if (family == "spell") return mix(hex(0x3A2A78), race, 0.35f);
    if (family == "upgrade") return mix(hex(0x2E3C50), race, 0.45f);
    if (family == "tech") return mix(hex(0x1E4A4A), race, 0.3f);
    return mix(hex(0x3A3A44), race, 0.4f);
}

}  // namespace

Image symbolIcon(const std::string& words, const std::string& family, int size, Rgb raceColor) {
    const int ss = 3;
    float s = static_cast<float>(size * ss);
    Image img(size * ss, size * ss);
    Rgb bg = familyColor(family, raceColor);
    paintWith(img, [s](float x, float y) { return sdBox(x, y, s * 0.5f, s * 0.5f, s * 0.48f, s * 0.48f, s * 0.12f); },
              [&](float x, float y) {
                  float d = std::hypot(x - s * 0.4f, y - s * 0.35f) / s;
                  return mix(bg * 1.6f, bg * 0.55f, clamp01(d * 1.4f));
              });
    paint(img, [s](float x, float y) { return std::fabs(sdBox(x, y, s * 0.5f, s * 0.5f, s * 0.45f, s * 0.45f, s * 0.1f)) - s * 0.012f; }, mix(bg, {1, 1, 1}, 0.45f), 0.7f);
    const Motif* m = motifFor(words);
    Glyph g = m ? m->glyph : glyphGear;
    Rgb c = m ? hex(m->color) : hex(0xD8DCE4);
    if (!m) {
        // Unknown meanings still differ: the gear takes a hue from the words.
        uint32_t h = hashString(words);
        c = mix(c, Rgb{((h >> 16) & 255) / 255.0f, ((h >> 8) & 255) / 255.0f, (h & 255) / 255.0f}, 0.35f);
    }
    Image glyphLayer(img.w, img.h);
    drawGlyph(glyphLayer, g, s, c);
    img.draw(glyphLayer, 0, 0);
    paint(img, [s](float x, float y) { return std::fabs(sdBox(x, y, s * 0.5f, s * 0.5f, s * 0.48f, s * 0.48f, s * 0.12f)) - s * 0.02f; }, bg * 0.4f);
    return img.downsample(ss);
}

Image hudIcon(int which) {
    const int size = 32, ss = 4;
    float s = static_cast<float>(size * ss);
    Image img(size * ss, size * ss);
    const Glyph glyphs[] = {glyphDrop, glyphCrystal, glyphHouse, glyphEject};
    const uint32_t colors[] = {0xFFA82E, 0x6FE6FF, 0xE8D8A8, 0xE8F0F8};
    drawGlyph(img, glyphs[which], s, hex(colors[which]));
    if (which == 3) {
        // The unload button is shown 50 x 50: give it a plate.
        Image plate(size * ss, size * ss);
        paint(plate, [s](float x, float y) { return sdBox(x, y, s * 0.5f, s * 0.5f, s * 0.46f, s * 0.46f, s * 0.1f); }, hex(0x2E3A48));
        plate.draw(img, 0, 0);
        img = plate;
    }
    Image out = img.downsample(ss);
    out.outline({0.05f, 0.05f, 0.08f}, 0.8f);
    return out;
}

Image itemPicture(const std::string& name, int w, int h) {
    int size = std::max(8, std::min(w, h));
    const int ss = 3;
    Image img(size * ss, size * ss);
    float s = static_cast<float>(size * ss);
    const Motif* m = motifFor(name);
    drawGlyph(img, m ? m->glyph : glyphSkull, s, m ? hex(m->color) : hex(0xE0D8C8));
    Image small = img.downsample(ss);
    small.outline({0.05f, 0.05f, 0.08f}, 0.9f);
    Image out(std::max(1, w), std::max(1, h));
    out.draw(small, (out.w - small.w) / 2, (out.h - small.h) / 2);
    return out;
}

Image cursorImage(int size, float hotX, float hotY, Rgb fill, Rgb trim) {
    const int ss = 4;
    float k = static_cast<float>(ss);
    Image img(size * ss, size * ss);
    float hx = hotX * k, hy = hotY * k, s = size * k;
    bool crosshair = hotX > size * 0.25f && hotY > size * 0.25f;
    if (crosshair) {
        auto cross = [=](float x, float y) {
            float r = std::fabs(sdCircle(x, y, hx, hy, s * 0.3f)) - s * 0.035f;
            float l1 = sdSegment(x, y, {hx, hy - s * 0.46f}, {hx, hy - s * 0.14f}, s * 0.035f);
            float l2 = sdSegment(x, y, {hx, hy + s * 0.14f}, {hx, hy + s * 0.46f}, s * 0.035f);
            float l3 = sdSegment(x, y, {hx - s * 0.46f, hy}, {hx - s * 0.14f, hy}, s * 0.035f);
            float l4 = sdSegment(x, y, {hx + s * 0.14f, hy}, {hx + s * 0.46f, hy}, s * 0.035f);
            float dot = sdCircle(x, y, hx, hy, s * 0.05f);
            return std::min({r, l1, l2, l3, l4, dot});
        };
        paint(img, [&](float x, float y) { return cross(x, y) - s * 0.03f; }, {0.05f, 0.05f, 0.08f});
        paint(img, cross, fill);
        return img.downsample(ss);
    }
    // Arrow whose tip sits on the hotspot, body toward the far corner.
    float len = std::min(s - hx, s - hy) * 0.95f;
    std::vector<P2> arrow = {{hx, hy}, {hx + len * 0.02f, hy + len * 0.95f}, {hx + len * 0.27f, hy + len * 0.7f},
                             {hx + len * 0.47f, hy + len * 0.98f}, {hx + len * 0.6f, hy + len * 0.9f}, {hx + len * 0.41f, hy + len * 0.62f},
                             {hx + len * 0.72f, hy + len * 0.6f}};
    paint(img, [&](float x, float y) { return sdPolygon(x, y, arrow) - s * 0.035f; }, {0.04f, 0.04f, 0.06f});
    paintWith(img, [&](float x, float y) { return sdPolygon(x, y, arrow); },
              [&](float x, float y) { return mix(fill * 1.25f, fill * 0.7f, clamp01((x - hx + y - hy) / (len * 1.2f))); });
    paint(img, [&](float x, float y) { return sdSegment(x, y, {hx + len * 0.06f, hy + len * 0.12f}, {hx + len * 0.06f, hy + len * 0.6f}, s * 0.012f); }, trim, 0.8f);
    return img.downsample(ss);
}

Image portraitBackground(int size, Rgb color) {
    Image img(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float d = std::hypot(x - size * 0.45f, y - size * 0.35f) / size;
            float stripes = 0.94f + 0.06f * std::sin((x + y) * 0.6f);
            img.set(x, y, mix(color * 0.75f, color * 0.18f, clamp01(d * 1.5f)) * stripes, 1.0f);
        }
    return img;
}

void portraitFrame(Image& img, Rgb trim) {
    float s = static_cast<float>(img.w);
    paint(img, [s, &img](float x, float y) { return std::fabs(sdBox(x, y, s * 0.5f, img.h * 0.5f, s * 0.5f - 1.5f, img.h * 0.5f - 1.5f)) - 1.0f; }, trim * 0.85f);
}
