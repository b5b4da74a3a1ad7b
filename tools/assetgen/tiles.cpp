// Terrain art: ground diamonds, transition pieces, cliffs, slopes and the fixed HUD markers.
#include "tiles.h"

#include <algorithm>
#include <cmath>

#include "icons.h"

namespace {

const int kTileW = 256;  // flat pieces are 256 x 128, tall pieces 256 x 256

// Grid coordinates of a pixel of a diamond whose top corner is at (w/2, 0) and which is w wide, w/2 high.
void gridOf(float px, float py, int w, float& gx, float& gy) {
    float sx = (px - w * 0.5f) / (w * 0.5f), sy = py / (w * 0.25f);
    gx = (sx + sy) * 0.5f;
    gy = (sy - sx) * 0.5f;
}

// Pixels inside the diamond (plus a small overlap so neighbouring tiles leave no seam).
float diamondCoverage(float px, float py, int w) {
    float hx = w * 0.5f, hy = w * 0.25f;
    float v = 1.0f - (std::fabs(px - hx) / hx + std::fabs(py - hy) / hy);
    float grad = std::sqrt(1.0f / (hx * hx) + 1.0f / (hy * hy));
    return clamp01(v / grad + 1.5f);
}

Rgb grassAt(float gx, float gy, uint32_t seed) {
    float broad = periodicFbm(gx * 3.0f, gy * 3.0f, 3, seed, 3);
    float blades = periodicNoise(gx * 48.0f, gy * 48.0f, 48, seed + 7);
    Rgb c = mix(hex(0x3F6B27), hex(0x6E9A3A), broad);
    return c * (0.88f + 0.22f * blades);
}

Rgb drygrassAt(float gx, float gy, uint32_t seed) {
    float broad = periodicFbm(gx * 3.0f, gy * 3.0f, 3, seed + 40, 3);
    float blades = periodicNoise(gx * 40.0f, gy * 40.0f, 40, seed + 41);
    Rgb c = mix(hex(0x8E7E3E), hex(0xC2AE62), broad);
    return c * (0.86f + 0.24f * blades);
}

Rgb mudAt(float gx, float gy, uint32_t seed) {
    float broad = periodicFbm(gx * 4.0f, gy * 4.0f, 4, seed + 80, 3);
    float fine = periodicNoise(gx * 32.0f, gy * 32.0f, 32, seed + 81);
    Rgb c = mix(hex(0x4A3424), hex(0x6E5238), broad);
    c = c * (0.9f + 0.15f * fine);
    // Shallow puddles catch a little sky.
    float wet = smoothstep(0.6f, 0.78f, periodicFbm(gx * 2.0f, gy * 2.0f, 2, seed + 82, 3));
    return mix(c, hex(0x3A3430) + Rgb{0.08f, 0.09f, 0.12f} * fine, wet * 0.5f);
}

Rgb waterAt(float gx, float gy, uint32_t seed) {
    float depth = periodicFbm(gx * 2.0f, gy * 2.0f, 2, seed + 120, 3);
    Rgb c = mix(hex(0x174A78), hex(0x22709A), depth);
    // Ripples run along the screen's horizontal.
    float rip = std::sin((gx + gy) * 6.2831853f * 6.0f + periodicFbm(gx * 4.0f, gy * 4.0f, 4, seed + 121, 2) * 7.0f);
    float hl = smoothstep(0.82f, 0.98f, rip);
    return mix(c, hex(0x9FD8F0), hl * 0.45f);
}

Rgb rockAt(float gx, float gy, uint32_t seed) {
    float broad = periodicFbm(gx * 3.0f, gy * 3.0f, 3, seed + 160, 4);
    float crack = std::fabs(periodicFbm(gx * 6.0f, gy * 6.0f, 6, seed + 161, 3) - 0.5f);
    Rgb c = mix(hex(0x5E5A55), hex(0x9A948A), broad);
    return crack < 0.025f ? c * 0.55f : c * (0.92f + 0.16f * periodicNoise(gx * 40.0f, gy * 40.0f, 40, seed + 162));
}

Rgb sandAt(float gx, float gy, uint32_t seed) {
    float broad = periodicFbm(gx * 4.0f, gy * 4.0f, 4, seed + 200, 3);
    return mix(hex(0x9C8760), hex(0xC9B487), broad) * (0.92f + 0.12f * periodicNoise(gx * 50.0f, gy * 50.0f, 50, seed + 201));
}

// Small bright details sprinkled on grass variants.
Rgb grassDetail(Ground g, float gx, float gy, uint32_t seed, Rgb c) {
    float cell = periodicNoise(gx * 22.0f, gy * 22.0f, 22, seed + 300);
    if (g == Ground::GrassFlowers && cell > 0.86f) {
        float k = periodicNoise(gx * 22.0f + 50.0f, gy * 22.0f, 22, seed + 301);
        return k > 0.5f ? hex(0xF2E47A) : hex(0xE8F0FF);
    }
    if (g == Ground::GrassPebbles && cell > 0.84f) return mix(hex(0x8A8478), hex(0xB4AEA2), periodicNoise(gx * 60.0f, gy * 60.0f, 60, seed + 302));
    if (g == Ground::GrassTufts && cell > 0.7f) return c * 0.72f;
    return c;
}

Rgb groundAt(Ground g, float gx, float gy, uint32_t seed) {
    switch (g) {
        case Ground::Grass:
        case Ground::GrassFlowers:
        case Ground::GrassPebbles:
        case Ground::GrassTufts: return grassDetail(g, gx, gy, seed, grassAt(gx, gy, 1));
        case Ground::Drygrass: return drygrassAt(gx, gy, 1);
        case Ground::Mud: return mudAt(gx, gy, 1);
        case Ground::Water: return waterAt(gx, gy, 1);
        case Ground::Rock: return rockAt(gx, gy, seed);
        case Ground::Wall: return rockAt(gx, gy, seed) * 0.7f;
        case Ground::Shore: return sandAt(gx, gy, 1);
    }
    return {};
}

// Transition pieces. Edge names are grid directions: N = gy 0 (screen up-right), E = gx 1, S = gy 1, W = gx 0.
enum Edge { N = 1, E = 2, S = 4, W = 8 };
struct Piece {
    const char* suffix;
    int edges;   // open edges (the neighbour differs there)
    int corner;  // inner corner: 0 none, else the single edge pair whose corner is open
};
const Piece kPieces[] = {{"F", 0, 0},     {"NW", N | W, 0}, {"NE", N | E, 0}, {"SW", S | W, 0}, {"SE", S | E, 0},
                         {"N", N, 0},     {"E", E, 0},      {"S", S, 0},      {"W", W, 0},      {"IN", 0, N | W},
                         {"IE", 0, N | E}, {"IW", 0, S | W}, {"IS", 0, S | E}};

// Distance (in grid units, roughened) from the open sides of a piece; large means deep inside.
float pieceDepth(const Piece& p, float gx, float gy, uint32_t seed) {
    float d = 9.0f;
    float wobX = (periodicFbm(gx * 4.0f, 0.5f, 4, seed + 400, 2) - 0.5f) * 0.12f;
    float wobY = (periodicFbm(gy * 4.0f, 0.5f, 4, seed + 401, 2) - 0.5f) * 0.12f;
    if (p.edges & N) d = std::min(d, gy + wobX);
    if (p.edges & S) d = std::min(d, 1.0f - gy + wobX);
    if (p.edges & W) d = std::min(d, gx + wobY);
    if (p.edges & E) d = std::min(d, 1.0f - gx + wobY);
    if (p.corner) {
        float cx = (p.corner & E) ? 1.0f : 0.0f, cy = (p.corner & S) ? 1.0f : 0.0f;
        d = std::min(d, std::hypot(gx - cx, gy - cy) - 0.12f + (wobX + wobY) * 0.5f);
    }
    return d;
}

Image transitionPiece(int family, const Piece& p) {
    Image img(kTileW, kTileW / 2);
    const uint32_t seed = 17u * static_cast<uint32_t>(family + 1);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            float px = x + 0.5f, py = y + 0.5f;
            float cov = diamondCoverage(px, py, img.w);
            if (cov <= 0.0f) continue;
            float gx, gy;
            gridOf(px, py, img.w, gx, gy);
            float d = pieceDepth(p, gx, gy, seed);
            Rgb c;
            float a = 1.0f;
            if (family == 0) {
                // Water: a sandy shore with a line of foam, fading out at the open side.
                Rgb water = waterAt(gx, gy, 1), sand = sandAt(gx, gy, 1);
                float wet = smoothstep(0.2f, 0.3f, d);
                c = mix(sand, water, wet);
                float foam = std::exp(-std::pow((d - 0.21f) / 0.02f, 2.0f));
                c = mix(c, hex(0xE8F4F8), foam * 0.7f);
                a = smoothstep(0.02f, 0.1f, d);
            } else if (family == 1) {
                Rgb mud = mudAt(gx, gy, 1);
                c = mix(mud * 0.75f, mud, smoothstep(0.08f, 0.2f, d));
                a = smoothstep(0.04f, 0.14f, d);
            } else {
                c = drygrassAt(gx, gy, 1);
                a = smoothstep(0.03f, 0.16f, d) * (0.75f + 0.25f * periodicNoise(gx * 30.0f, gy * 30.0f, 30, 77));
                if (d > 0.16f) a = 1.0f;
            }
            img.blend(x, y, c, a * cov);
        }
    return img;
}

const char* const kFamilies[] = {"water", "mud", "drygrass"};

Image makeTransition(int arg) { return transitionPiece(arg / 16, kPieces[arg % 16]); }

// Plateau tint and a lit lip along the given open edges; used by every cliff piece.
void plateauTop(Image& img, int lipEdges, float tint) {
    for (int y = 0; y < kTileW / 2; ++y)
        for (int x = 0; x < kTileW; ++x) {
            float px = x + 0.5f, py = y + 0.5f;
            float cov = diamondCoverage(px, py, kTileW);
            if (cov <= 0.0f) continue;
            float gx, gy;
            gridOf(px, py, kTileW, gx, gy);
            img.blend(x, y, {1.0f, 0.98f, 0.9f}, tint * cov);
            float d = 9.0f;
            if (lipEdges & N) d = std::min(d, gy);
            if (lipEdges & S) d = std::min(d, 1.0f - gy);
            if (lipEdges & W) d = std::min(d, gx);
            if (lipEdges & E) d = std::min(d, 1.0f - gx);
            float lip = 1.0f - smoothstep(0.0f, 0.05f, d);
            img.blend(x, y, hex(0xD8CFA8), lip * 0.55f * cov);
        }
}

// A rock face hanging below one lower edge of the diamond: 'S' side (down-left) or 'E' side (down-right).
void cliffFace(Image& img, bool south, uint32_t seed, float drop) {
    const float hw = kTileW * 0.5f, qh = kTileW * 0.25f;
    P2 a = south ? P2{0.0f, qh} : P2{hw, hw};
    P2 b = south ? P2{hw, hw} : P2{static_cast<float>(kTileW), qh};
    std::vector<P2> face = {a, b, {b.x, b.y + drop}, {a.x, a.y + drop}};
    Rgb base = south ? hex(0x8A7F6E) : hex(0x5E564C);
    paintWith(img, [&](float x, float y) { return sdPolygon(x, y, face); },
              [&](float x, float y) {
                  float t = (x - a.x) / (b.x - a.x);
                  float edgeY = a.y + (b.y - a.y) * t;
                  float v = (y - edgeY) / drop;  // 0 at the lip, 1 at the foot
                  float strata = 0.5f + 0.5f * std::sin(v * 26.0f + fbm(x * 0.05f, y * 0.02f, seed, 2) * 4.0f);
                  float crack = std::fabs(fbm(x * 0.06f, v * 2.0f, seed + 5, 3) - 0.5f) < 0.03f ? 0.6f : 1.0f;
                  float grain = 0.85f + 0.3f * fbm(x * 0.15f, y * 0.15f, seed + 9, 3);
                  Rgb c = base * (grain * crack * (0.9f + 0.12f * strata) * (1.05f - 0.35f * v));
                  if (v < 0.06f) c = mix(hex(0x6E8A3A), c, v / 0.06f);  // grass overhang at the lip
                  return c;
              });
}

Image makeCliff(int arg) {
    // arg bits: 1 = south face, 2 = east face, 4 = tall image, 8 = lip N, 16 = lip W, 32 = lip S, 64 = lip E; high bits seed.
    bool tall = (arg & 4) != 0;
    Image img(kTileW, tall ? kTileW : kTileW / 2);
    int lips = ((arg & 8) ? N : 0) | ((arg & 16) ? W : 0) | ((arg & 32) ? S : 0) | ((arg & 64) ? E : 0);
    plateauTop(img, lips, 0.06f);
    uint32_t seed = static_cast<uint32_t>(arg >> 8) + 3u;
    if (arg & 1) cliffFace(img, true, seed, kTileW * 0.5f);
    if (arg & 2) cliffFace(img, false, seed + 1, kTileW * 0.5f);
    return img;
}

// A ramp that falls one level toward its S side (down-left) or E side (down-right).
Image makeSlope(int arg) {
    bool towardS = (arg & 1) != 0;
    bool joined = (arg & 2) != 0;
    Image img(kTileW, kTileW);
    const float w = kTileW, hw = w * 0.5f, qh = w * 0.25f, drop = w * 0.5f;
    P2 top{hw, 0}, right{w, qh}, bottom{hw, hw}, left{0, qh};
    if (towardS) {
        left.y += drop;
        bottom.y += drop;
    } else {
        right.y += drop;
        bottom.y += drop;
    }
    std::vector<P2> side = towardS ? std::vector<P2>{right, {w, qh + drop}, bottom} : std::vector<P2>{left, {0, qh + drop}, bottom};
    Rgb sideRock = towardS ? hex(0x5E564C) : hex(0x8A7F6E);
    if (!joined)
        paintWith(img, [&](float x, float y) { return sdPolygon(x, y, side); },
                  [&](float x, float y) { return sideRock * (0.8f + 0.3f * fbm(x * 0.06f, y * 0.12f, 61, 3)); });
    std::vector<P2> surface = {top, right, bottom, left};
    paintWith(img, [&](float x, float y) { return sdPolygon(x, y, surface); },
              [&](float x, float y) {
                  // A worn earth track with grass at its edges and faint ledges across the fall.
                  float along = towardS ? (y - x * 0.5f) : (y + x * 0.5f - hw);
                  float ledge = std::fabs(std::fmod(along / 32.0f + fbm(x * 0.03f, y * 0.03f, 64, 2), 1.0f) - 0.5f) < 0.04f ? 0.8f : 1.0f;
                  Rgb earth = mix(hex(0x7A6446), hex(0x9C8458), fbm(x * 0.05f, y * 0.05f, 62, 3));
                  float grass = smoothstep(0.55f, 0.7f, fbm(x * 0.035f, y * 0.035f, 65, 3));
                  Rgb c = mix(earth, hex(0x5A8032) * (0.85f + 0.3f * fbm(x * 0.3f, y * 0.3f, 66, 2)), grass);
                  return c * (ledge * (towardS ? 0.95f : 0.78f) * (0.9f + 0.15f * fbm(x * 0.25f, y * 0.25f, 63, 2)));
              });
    return img;
}

Image makeGround(int arg) { return groundTile(static_cast<Ground>(arg & 15), kTileW, static_cast<uint32_t>(arg >> 4)); }

Image makeDash(int) {
    Image img(16, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 10; ++x) img.set(x, y, {180.0f / 255.0f, 229.0f / 255.0f, 13.0f / 255.0f}, 1.0f);
    return img;
}

Image makeHud(int arg) { return hudIcon(arg); }

std::vector<FixedTexture> buildFixedTable() {
    const std::string grass = "tiles/grass/";
    std::vector<FixedTexture> t = {
        {grass + "grass.png", makeGround, static_cast<int>(Ground::Grass) | (1 << 4)},
        {grass + "grass2.png", makeGround, static_cast<int>(Ground::GrassTufts) | (2 << 4)},
        {"tiles/rock.png", makeGround, static_cast<int>(Ground::Rock) | (3 << 4)},
        {"tiles/rock2.png", makeGround, static_cast<int>(Ground::Rock) | (4 << 4)},
        {"tiles/rock3.png", makeGround, static_cast<int>(Ground::Rock) | (5 << 4)},
        {grass + "mars1.png", makeGround, static_cast<int>(Ground::Grass)},
        {grass + "mars2.png", makeGround, static_cast<int>(Ground::GrassFlowers)},
        {grass + "mars3.png", makeGround, static_cast<int>(Ground::GrassPebbles)},
        {grass + "mars4.png", makeGround, static_cast<int>(Ground::GrassTufts)},
    };
    // Numbered and corner cliffs are loaded but never drawn; they still get plausible pieces.
    for (int i = 1; i <= 7; ++i) t.push_back({grass + "cliff" + std::to_string(i) + ".png", makeCliff, 1 | 2 | 4 | 32 | 64 | ((i + 10) << 8)});
    const struct {
        const char* name;
        int arg;
    } cliffs[] = {{"cliffNW1", 16}, {"cliffNW2", 16 | (20 << 8)}, {"cliffNE1", 8}, {"cliffNE2", 8 | (21 << 8)},
                  {"cliffNE", 8},   {"cliffNW", 16},             {"cliffSE", 2 | 4 | 64}, {"cliffSW", 1 | 4 | 32},
                  {"cliffSV", 1 | 2 | 4 | 32 | 64}, {"cliffM", 0}, {"cliffEV", 2 | 4 | 64 | (22 << 8)}, {"cliffNV", 8 | 16},
                  {"cliffWV", 1 | 4 | 32 | (23 << 8)}};
    for (const auto& c : cliffs) t.push_back({grass + c.name + ".png", makeCliff, c.arg});
    t.push_back({grass + "slopeSW_1.png", makeSlope, 1});
    t.push_back({grass + "slopeSW_2.png", makeSlope, 1 | 2});
    t.push_back({grass + "slopeSE_1.png", makeSlope, 2});
    t.push_back({grass + "slopeSE_2.png", makeSlope, 0});
    for (int f = 0; f < 3; ++f)
        for (int p = 0; p < 13; ++p) t.push_back({grass + kFamilies[f] + "_" + kPieces[p].suffix + ".png", makeTransition, f * 16 + p});
    t.push_back({"hud/lumber.png", makeHud, 0});
    t.push_back({"hud/gold.png", makeHud, 1});
    t.push_back({"hud/food.png", makeHud, 2});
    t.push_back({"hud/eject.png", makeHud, 3});
    t.push_back({"tiles/dash.png", makeDash, 0});
    return t;
}

}  // namespace

const std::vector<FixedTexture>& fixedTextures() {
    static const std::vector<FixedTexture> table = buildFixedTable();
    return table;
}

Image makeFixed(const std::string& file) {
    for (const FixedTexture& f : fixedTextures())
        if (file == f.file) return f.make(f.arg);
    return Image();
}

Image groundTile(Ground g, int width, uint32_t seed) {
    Image img(width, width / 2);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            float px = x + 0.5f, py = y + 0.5f;
            float cov = diamondCoverage(px, py, width);
            if (cov <= 0.0f) continue;
            float gx, gy;
            gridOf(px, py, width, gx, gy);
            img.set(x, y, groundAt(g, gx, gy, seed), cov);
        }
    return img;
}

Image namedTerrainTile(const std::string& name, int width) {
    static const struct {
        const char* name;
        Ground g;
    } table[] = {{"Grass", Ground::Grass},     {"Drygrass", Ground::Drygrass}, {"Mud", Ground::Mud}, {"Water", Ground::Water},
                 {"Rock", Ground::Rock},       {"Wall", Ground::Wall},         {"Shore", Ground::Shore}};
    for (const auto& e : table)
        if (name == e.name) return groundTile(e.g, width, 3);
    return groundTile(Ground::Grass, width, hashString(name));
}
