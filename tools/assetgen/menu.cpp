// The main-menu backdrop: a dusk battlefield built from the game's own tiles, buildings and units.
#include "menu.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "art.h"
#include "tiles.h"

using nlohmann::json;

namespace {

const int kTile = 128;

// The battlefield, one character per tile: Grass, Drygrass, Mud, Water.
const char* const kField[] = {
    "GGGGGGDDDGGGGG", "GGGGGDDDDGGGGG", "GGGGGGDDGGGGGG", "WWWGGGGGGGGMMG", "GWWWWGGGGGGMMG", "GGGGWWWGGGGGGG", "GGGGGGWWGGGGGG",
    "GGDDGGGWWWGGGG", "GDDDDGGGGWWWGG", "GGDDGGGGGGGWWW", "GGGGGGGGMMGGGG", "GGGGGGGGMGGGGG", "GGGGGGGGGGGGGG", "GGGGGGGGGGGGGG",
};
const int kSize = 14;

char at(int x, int y, char self) {
    if (x < 0 || y < 0 || x >= kSize || y >= kSize) return self;
    return kField[y][x];
}

void sky(Image& img) {
    for (int y = 0; y < img.h; ++y) {
        float t = static_cast<float>(y) / img.h;
        Rgb c = t < 0.3f ? mix(hex(0x0B1026), hex(0x3A2450), t / 0.3f) : mix(hex(0x3A2450), hex(0xC8683A), clamp01((t - 0.3f) / 0.15f));
        for (int x = 0; x < img.w; ++x) img.set(x, y, c, 1.0f);
    }
    Rng rng(5);
    for (int i = 0; i < 220; ++i) {
        float x = rng.range(0, static_cast<float>(img.w)), y = rng.range(0, img.h * 0.35f);
        img.blend(static_cast<int>(x), static_cast<int>(y), {1, 1, 1}, rng.range(0.2f, 0.9f) * (1.0f - y / (img.h * 0.35f)));
    }
    glow(img, img.w * 0.8f, img.h * 0.1f, 80.0f, hex(0xB8E0FF), 0.35f);
    paint(img, [&](float x, float y) { return sdCircle(x, y, img.w * 0.8f, img.h * 0.1f, 32.0f); }, hex(0xDCE8F0));
    paint(img, [&](float x, float y) { return sdCircle(x, y, img.w * 0.8f + 12.0f, img.h * 0.1f - 7.0f, 29.0f); }, hex(0x6A5088), 0.55f);
    paint(img, [&](float x, float y) { return sdCircle(x, y, img.w * 0.16f, img.h * 0.07f, 12.0f); }, hex(0xE8B890));
    for (int layer = 0; layer < 2; ++layer) {
        Rgb c = layer == 0 ? hex(0x2A2040) : hex(0x1A1428);
        float base = img.h * (0.3f + 0.05f * layer);
        for (int x = 0; x < img.w; ++x) {
            float top = base - 90.0f * fbm(x * 0.004f + layer * 7.0f, 0.5f, 31u + static_cast<uint32_t>(layer), 4) + 25.0f * layer;
            for (int y = std::max(0, static_cast<int>(top)); y < img.h; ++y) img.blend(x, y, c, 1.0f);
        }
    }
}

P2 iso(float gx, float gy, P2 origin) { return {origin.x + (gx - gy) * kTile * 0.5f, origin.y + (gx + gy) * kTile * 0.25f}; }

class Pieces {
public:
    const Image& get(const std::string& file) {
        auto it = cache_.find(file);
        if (it != cache_.end()) return it->second;
        Image full = makeFixed(file);
        Image small(kTile, full.h * kTile / std::max(1, full.w));
        small.drawScaled(full, 0, 0, static_cast<float>(small.w), static_cast<float>(small.h));
        return cache_.emplace(file, small).first->second;
    }

private:
    std::map<std::string, Image> cache_;
};

// The terrain rules the game's renderer uses, so the backdrop shows the transitions as they will look.
void groundTile(Image& img, Pieces& pieces, int x, int y, P2 p) {
    char self = kField[y][x];
    auto draw = [&](const std::string& f) { img.draw(pieces.get("tiles/grass/" + f + ".png"), static_cast<int>(p.x - kTile * 0.5f), static_cast<int>(p.y)); };
    if (self == 'G') {
        draw((x * 7 + y * 3) % 13 == 0 ? "mars2" : ((x * 5 + y) % 17 == 0 ? "mars3" : "mars1"));
        return;
    }
    const std::string stem = self == 'W' ? "water_" : (self == 'M' ? "mud_" : "drygrass_");
    const int nx[8] = {0, 1, 0, -1, 1, 1, -1, -1}, ny[8] = {-1, 0, 1, 0, -1, 1, 1, -1};  // N E S W NE SE SW NW
    char n[8];
    for (int i = 0; i < 8; ++i) n[i] = at(x + nx[i], y + ny[i], self);
    if (self != 'W') draw(stem + "F");
    bool underlay = false;
    if (self == 'D') {
        for (char c : n) underlay = underlay || c == 'G';
    } else {
        for (char c : n)
            if (c != self) {
                underlay = c == 'G';
                break;
            }
    }
    if (underlay) draw("mars1");
    auto edge = [&](int i) { return self == 'D' ? n[i] == 'G' : n[i] != self; };
    bool N = edge(0), E = edge(1), S = edge(2), W = edge(3);
    bool drew = false;
    const char* piece = nullptr;
    if (N && W) piece = "NW";
    else if (N && E) piece = "NE";
    else if (S && E) piece = "SE";
    else if (S && W) piece = "SW";
    else if (N && !S) piece = "N";
    else if (E && !W) piece = "E";
    else if (S && !N) piece = "S";
    else if (W && !E) piece = "W";
    if (piece) {
        draw(stem + piece);
        drew = true;
    } else if (!(N || E || S || W)) {
        const int diag[4] = {7, 4, 5, 6};
        const char* inner[4] = {"IN", "IE", "IS", "IW"};
        for (int i = 0; i < 4; ++i)
            if (n[diag[i]] != self) {
                draw(stem + inner[i]);
                drew = true;
            }
    }
    if (self == 'W' && !drew) draw("water_F");
}

struct Sprite {
    float depth;
    std::function<void()> draw;
};

Image building(const char* name, const char* race, int w) {
    Job job;
    job.kind = AssetKind::BuildingSheet;
    job.name = name;
    job.race = race;
    job.meta = {{"animation", {{"frameWidth", w * kTile}, {"frameHeight", w * kTile}}}, {"info", {{"wTiles", w}, {"hTiles", w}, {"base", true}}}};
    return drawJob(job);
}

}  // namespace

Image menuBackground(int w, int h) {
    Image img(w, h);
    sky(img);
    P2 origin{w * 0.5f, h * 0.2f};
    Pieces pieces;
    for (int s = 0; s < 2 * kSize; ++s)
        for (int y = 0; y <= s; ++y) {
            int x = s - y;
            if (x >= kSize || y >= kSize) continue;
            groundTile(img, pieces, x, y, iso(static_cast<float>(x), static_cast<float>(y), origin));
        }
    std::vector<Sprite> sprites;
    auto object = [&](const char* kind, uint32_t seed, float gx, float gy) {
        sprites.push_back({gx + gy, [&img, kind, seed, gx, gy, origin]() {
                               Image o = renderObjectFrame(kind, seed, 0, 1, 72, 72);
                               P2 p = iso(gx, gy, origin);
                               img.draw(o, static_cast<int>(p.x - 36), static_cast<int>(p.y - 72 * 0.76f));
                           }});
    };
    auto unit = [&](const char* name, const char* race, const char* attack, int column, bool flip, bool attacking, float gx, float gy, float phase) {
        sprites.push_back({gx + gy, [=, &img]() {
                               UnitLook look = chooseUnitLook(name, race, json{{"attackType", attack}}, false);
                               Pose p;
                               p.attacking = attacking;
                               p.attack = phase;
                               p.moving = !attacking;
                               p.walk = phase;
                               Image u = renderUnitFrame(look, p, column, 88, 88);
                               if (flip) u = u.flippedH();
                               P2 at = iso(gx, gy, origin);
                               img.draw(u, static_cast<int>(at.x - 44), static_cast<int>(at.y - 88 * 0.88f));
                           }});
    };
    auto house = [&](const char* name, const char* race, int size, float gx, float gy) {
        sprites.push_back({gx + gy + size, [=, &img]() {
                               Image b = building(name, race, size);
                               P2 at = iso(gx, gy, origin);
                               img.draw(b, static_cast<int>(at.x - b.w * 0.5f), static_cast<int>(at.y - b.h * 0.5f));
                           }});
    };
    house("HumanCommand", "human", 3, 1.0f, 9.0f);
    house("VohmathalHive", "vohmathal", 3, 9.0f, 0.5f);
    house("HumanBarracks", "human", 2, 4.5f, 11.0f);
    object("Crystal", 5, 0.8f, 6.8f);
    object("Crystal", 6, 1.6f, 7.4f);
    object("AmberOil", 7, 5.5f, 12.5f);
    object("Crystal", 8, 12.5f, 1.2f);
    object("Tree", 3, 0.5f, 1.5f);
    object("Tree", 4, 1.2f, 0.6f);
    object("Tree", 9, 13.2f, 6.5f);
    object("Tree", 10, 12.4f, 7.6f);
    for (int i = 0; i < 4; ++i) unit("Marine", "human", "Ranged", 1, false, i % 2 == 0, 5.2f + (i % 2) * 0.7f, 8.6f - i * 0.55f, 0.1f + i * 0.2f);
    for (int i = 0; i < 4; ++i) unit("Berserker", "vohmathal", "Melee", 3, true, i % 2 == 1, 8.2f + (i % 2) * 0.6f, 5.2f - i * 0.5f, 0.5f + i * 0.15f);
    unit("Tank", "human", "Siege", 1, false, true, 3.6f, 9.4f, 0.2f);
    std::stable_sort(sprites.begin(), sprites.end(), [](const Sprite& a, const Sprite& b) { return a.depth < b.depth; });
    for (const Sprite& s : sprites) s.draw();
    // Dusk light and a vignette keep the menu text readable.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float dx = (x - w * 0.5f) / (w * 0.5f), dy = (y - h * 0.5f) / (h * 0.5f);
            float v = clamp01(std::sqrt(dx * dx + dy * dy) - 0.5f);
            img.blend(x, y, hex(0x0A0814), v * 0.8f);
            img.blend(x, y, hex(0x40204A), 0.1f);
        }
    return img;
}
