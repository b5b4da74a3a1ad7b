// Effects, blood decals, projectiles in five facings, hit bursts and spell textures.
#include "fx.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

// A frame painter: coordinates are in frame pixels, the frame is (fw, fh) and t runs 0..1 over the animation.
struct Frame {
    Image& img;
    float w, h, t;
    uint32_t seed;
    float cx() const { return w * 0.5f; }
    float cy() const { return h * 0.5f; }
    float r() const { return std::min(w, h) * 0.5f; }
};

using FramePainter = void (*)(Frame&);

void puff(Frame& f, float x, float y, float r, Rgb c, float a) {
    paintWith(f.img, [=](float px, float py) { return sdCircle(px, py, x, y, r); },
              [=](float px, float py) { return c * (0.8f + 0.35f * fbm(px * 0.2f, py * 0.2f, 7, 2)) * (1.0f - 0.3f * clamp01((py - y) / r)); }, a);
}

void fxExplosion(Frame& f) {
    Rng rng(f.seed);
    float t = f.t, R = f.r();
    if (t < 0.4f) glow(f.img, f.cx(), f.cy(), R * (0.7f + t * 1.2f), {1.0f, 0.95f, 0.7f}, 1.2f - t * 2.0f);
    for (int i = 0; i < 10; ++i) {
        float a = rng.range(0, 2 * kPi), d = rng.range(0.1f, 0.42f) * R * (0.5f + t);
        float r = R * rng.range(0.24f, 0.38f) * (0.65f + t * 0.6f);
        Rgb fire = mix({1.0f, 0.85f, 0.3f}, {0.85f, 0.25f, 0.05f}, clamp01(t * 1.6f));
        Rgb c = mix(fire, {0.22f, 0.2f, 0.2f}, smoothstep(0.4f, 0.8f, t));
        puff(f, f.cx() + std::cos(a) * d, f.cy() + std::sin(a) * d - t * R * 0.3f, r, c, 1.0f - smoothstep(0.7f, 1.0f, t));
    }
    for (int i = 0; i < 10; ++i) {
        float a = rng.range(0, 2 * kPi), d = R * (0.2f + t * 0.8f);
        P2 p0{f.cx() + std::cos(a) * d * 0.7f, f.cy() + std::sin(a) * d * 0.7f}, p1{f.cx() + std::cos(a) * d, f.cy() + std::sin(a) * d};
        paint(f.img, [=](float x, float y) { return sdSegment(x, y, p0, p1, R * 0.03f); }, {1.0f, 0.8f, 0.3f}, 1.0f - t);
    }
}

void fxSparks(Frame& f) {
    Rng rng(f.seed);
    float R = f.r();
    glow(f.img, f.cx(), f.cy(), R * 0.6f * (1.0f - f.t), {1.0f, 0.9f, 0.5f}, 1.0f - f.t);
    for (int i = 0; i < 8; ++i) {
        float a = rng.range(0, 2 * kPi), len = R * rng.range(0.5f, 0.9f);
        float d0 = len * f.t * 0.6f, d1 = len * (0.25f + f.t * 0.75f);
        P2 p0{f.cx() + std::cos(a) * d0, f.cy() + std::sin(a) * d0}, p1{f.cx() + std::cos(a) * d1, f.cy() + std::sin(a) * d1};
        paint(f.img, [=](float x, float y) { return sdSegment(x, y, p0, p1, R * 0.045f); }, {1.0f, 0.95f, 0.6f}, 1.0f - f.t * 0.8f);
    }
}

Rgb bloodColor(bool blue) { return blue ? Rgb{0.12f, 0.32f, 0.9f} : Rgb{0.62f, 0.04f, 0.05f}; }

void spray(Frame& f, bool blue) {
    Rng rng(f.seed);
    float R = f.r();
    Rgb c = bloodColor(blue);
    for (int i = 0; i < 14; ++i) {
        float a = rng.range(-kPi, 0.0f) + rng.range(-0.4f, 0.4f), v = rng.range(0.4f, 1.0f) * R;
        float x = f.cx() + std::cos(a) * v * f.t, y = f.cy() + std::sin(a) * v * f.t + f.t * f.t * R * 0.9f;
        float r = R * rng.range(0.05f, 0.11f) * (1.0f - f.t * 0.4f);
        paint(f.img, [=](float px, float py) { return sdCircle(px, py, x, y, r); }, c, 1.0f - smoothstep(0.75f, 1.0f, f.t));
    }
}

void fxBloodSpray(Frame& f) { spray(f, false); }
void fxBlueSpray(Frame& f) { spray(f, true); }

void splat(Frame& f, bool blue) {
    Rng rng(f.seed);
    float R = f.r();
    Rgb c = bloodColor(blue);
    float p3 = rng.range(0, 6.3f), p5 = rng.range(0, 6.3f), p7 = rng.range(0, 6.3f);
    float cx = f.cx() + rng.range(-0.08f, 0.08f) * R, cy = f.cy() + rng.range(-0.08f, 0.08f) * R;
    auto blob = [=](float x, float y) {
        float a = std::atan2(y - cy, x - cx);
        float wob = 0.82f + 0.1f * std::sin(a * 3.0f + p3) + 0.07f * std::sin(a * 5.0f + p5) + 0.04f * std::sin(a * 7.0f + p7);
        return std::hypot(x - cx, y - cy) - R * 0.42f * wob;
    };
    paint(f.img, [&](float x, float y) { return blob(x, y) - 1.0f; }, c * 0.5f, 0.9f);
    paint(f.img, blob, c, 0.95f);
    for (int i = 0; i < 7; ++i) {
        float a = rng.range(0, 2 * kPi), d = R * rng.range(0.55f, 0.9f), r = R * rng.range(0.04f, 0.1f);
        float x = cx + std::cos(a) * d, y = cy + std::sin(a) * d;
        paint(f.img, [=](float px, float py) { return sdCircle(px, py, x, y, r); }, c * 0.9f, 0.95f);
    }
    glow(f.img, cx - R * 0.15f, cy - R * 0.15f, R * 0.18f, {1, 1, 1}, 0.35f);
}

void fxBlood(Frame& f) { splat(f, false); }
void fxBlueBlood(Frame& f) { splat(f, true); }

void fxLevelUp(Frame& f) {
    float R = f.r();
    for (int i = 0; i < 3; ++i) {
        float tt = std::fmod(f.t + i / 3.0f, 1.0f);
        float y = f.h * (0.85f - 0.6f * tt), rx = R * (0.5f + 0.2f * tt);
        paint(f.img, [=](float x, float yy) { return std::fabs(sdEllipse(x, yy, f.cx(), y, rx, rx * 0.35f)) - R * 0.035f; }, {1.0f, 0.85f, 0.3f}, 1.0f - tt);
    }
    Rng rng(f.seed);
    for (int i = 0; i < 8; ++i) {
        float x = f.cx() + rng.range(-0.6f, 0.6f) * R, y = f.h * (0.9f - std::fmod(f.t + rng.uniform(), 1.0f) * 0.8f);
        std::vector<P2> star = starPoints(x, y, R * 0.09f, R * 0.035f, 4, 0.0f);
        paint(f.img, [star](float px, float py) { return sdPolygon(px, py, star); }, {1.0f, 0.97f, 0.7f});
    }
    std::vector<P2> arrow = {{f.cx(), f.h * (0.2f - 0.08f * f.t)}, {f.cx() + R * 0.3f, f.h * (0.42f - 0.08f * f.t)}, {f.cx() + R * 0.1f, f.h * (0.42f - 0.08f * f.t)},
                             {f.cx() + R * 0.1f, f.h * (0.62f - 0.08f * f.t)}, {f.cx() - R * 0.1f, f.h * (0.62f - 0.08f * f.t)}, {f.cx() - R * 0.1f, f.h * (0.42f - 0.08f * f.t)},
                             {f.cx() - R * 0.3f, f.h * (0.42f - 0.08f * f.t)}};
    paint(f.img, [arrow](float x, float y) { return sdPolygon(x, y, arrow) - 1.0f; }, {0.4f, 0.25f, 0.0f});
    paint(f.img, [arrow](float x, float y) { return sdPolygon(x, y, arrow); }, {1.0f, 0.85f, 0.2f});
}

void fxHeal(Frame& f) {
    Rng rng(f.seed);
    float R = f.r();
    glow(f.img, f.cx(), f.cy(), R * 0.9f, {0.4f, 1.0f, 0.5f}, 0.5f * (1.0f - f.t));
    for (int i = 0; i < 5; ++i) {
        float x = f.cx() + rng.range(-0.5f, 0.5f) * R, y = f.h * (0.85f - std::fmod(f.t + rng.uniform(), 1.0f) * 0.7f), s = R * 0.12f;
        paint(f.img, [=](float px, float py) { return std::min(sdBox(px, py, x, y, s * 0.35f, s), sdBox(px, py, x, y, s, s * 0.35f)); }, {0.55f, 1.0f, 0.6f});
    }
}

void fxFire(Frame& f) {
    Rng rng(f.seed);
    float R = f.r();
    for (int i = 0; i < 6; ++i) {
        float ph = std::fmod(f.t + i / 6.0f, 1.0f);
        float x = f.cx() + std::sin(ph * 9.0f + i) * R * 0.15f, y = f.h * (0.8f - ph * 0.55f), r = R * (0.35f - ph * 0.25f);
        puff(f, x, y, r, mix({1.0f, 0.9f, 0.4f}, {0.9f, 0.25f, 0.05f}, ph), 1.0f - ph * 0.6f);
    }
}

void fxSmoke(Frame& f) {
    Rng rng(f.seed);
    float R = f.r();
    for (int i = 0; i < 5; ++i) {
        float a = rng.range(0, 2 * kPi), d = R * 0.3f * f.t;
        puff(f, f.cx() + std::cos(a) * d, f.cy() + std::sin(a) * d - f.t * R * 0.3f, R * (0.25f + 0.2f * f.t), {0.45f, 0.43f, 0.42f}, 0.8f * (1.0f - f.t));
    }
}

void fxFrost(Frame& f) {
    Rng rng(f.seed);
    float R = f.r();
    glow(f.img, f.cx(), f.cy(), R, {0.6f, 0.9f, 1.0f}, 0.5f * (1.0f - f.t));
    for (int i = 0; i < 7; ++i) {
        float a = rng.range(0, 2 * kPi), d = R * (0.2f + 0.6f * f.t);
        std::vector<P2> sh = {{f.cx() + std::cos(a) * d, f.cy() + std::sin(a) * d}, {f.cx() + std::cos(a + 0.2f) * d * 0.6f, f.cy() + std::sin(a + 0.2f) * d * 0.6f},
                              {f.cx() + std::cos(a - 0.2f) * d * 0.6f, f.cy() + std::sin(a - 0.2f) * d * 0.6f}};
        paint(f.img, [sh](float x, float y) { return sdPolygon(x, y, sh); }, {0.8f, 0.95f, 1.0f}, 1.0f - f.t * 0.7f);
    }
}

void fxMagic(Frame& f) {
    uint32_t h = f.seed;
    Rgb c{0.5f + ((h >> 16) & 127) / 255.0f, 0.5f + ((h >> 8) & 127) / 255.0f, 0.5f + (h & 127) / 255.0f};
    float R = f.r();
    glow(f.img, f.cx(), f.cy(), R * 0.8f, c, 0.7f * (1.0f - f.t));
    paint(f.img, [&](float x, float y) { return std::fabs(sdCircle(x, y, f.cx(), f.cy(), R * (0.2f + 0.7f * f.t))) - R * 0.05f; }, c, 1.0f - f.t);
    Rng rng(h);
    for (int i = 0; i < 6; ++i) {
        float a = rng.range(0, 2 * kPi) + f.t * 2.0f, d = R * (0.3f + 0.5f * f.t);
        glow(f.img, f.cx() + std::cos(a) * d, f.cy() + std::sin(a) * d, R * 0.15f, {1, 1, 1}, 1.0f - f.t);
    }
}

struct EffectRule {
    std::initializer_list<const char*> words;
    FramePainter paint;
};

const EffectRule kEffects[] = {
    {{"dropplet", "droplet", "splat", "decal", "stain"}, fxBlood},
    {{"bloodspray", "spray", "gore"}, fxBloodSpray},
    {{"explo", "blast", "boom", "demol", "detona"}, fxExplosion},
    {{"gunhit", "spark", "hit", "impact", "ricochet"}, fxSparks},
    {{"level", "promot", "rankup"}, fxLevelUp},
    {{"heal", "mend", "regen"}, fxHeal},
    {{"fire", "flame", "burn"}, fxFire},
    {{"smoke", "dust", "steam"}, fxSmoke},
    {{"frost", "ice", "freez", "cold", "snow"}, fxFrost},
};

FramePainter effectPainter(const std::string& name) {
    std::string n = lower(name);
    bool blue = n.find("blue") != std::string::npos;
    if (has(n, {"spray", "gore"})) return blue ? fxBlueSpray : fxBloodSpray;
    if (blue && has(n, {"blood", "dropplet", "droplet", "splat"})) return fxBlueBlood;
    for (const EffectRule& r : kEffects)
        if (has(n, r.words)) return r.paint;
    return fxMagic;
}

// Projectiles are painted in a frame-local system: u along the flight, v across it.
struct Dart {
    Image& img;
    float cx, cy, ca, sa, L;
    float u(float x, float y) const { return (x - cx) * ca + (y - cy) * sa; }
    float v(float x, float y) const { return -(x - cx) * sa + (y - cy) * ca; }
    P2 at(float uu, float vv) const { return {cx + uu * ca - vv * sa, cy + uu * sa + vv * ca}; }
};

using DartPainter = void (*)(Dart&, float t, int frame);

void dartArrow(Dart& d, float, int) {
    P2 tail = d.at(-d.L * 0.45f, 0), tip = d.at(d.L * 0.3f, 0);
    paint(d.img, [&](float x, float y) { return sdSegment(x, y, tail, tip, d.L * 0.035f); }, hex(0x8A6A40));
    std::vector<P2> head = {d.at(d.L * 0.48f, 0), d.at(d.L * 0.28f, d.L * 0.09f), d.at(d.L * 0.28f, -d.L * 0.09f)};
    paint(d.img, [&](float x, float y) { return sdPolygon(x, y, head); }, hex(0xC8CCD2));
    for (int s = -1; s <= 1; s += 2) {
        std::vector<P2> fl = {d.at(-d.L * 0.45f, 0), d.at(-d.L * 0.32f, 0), d.at(-d.L * 0.5f, s * d.L * 0.1f)};
        paint(d.img, [&](float x, float y) { return sdPolygon(x, y, fl); }, hex(0xE04A3A));
    }
}

void dartAxe(Dart& d, float t, int) {
    // Spins end over end whatever the facing.
    float a = t * 2.0f * kPi;
    Dart s{d.img, d.cx, d.cy, std::cos(a), std::sin(a), d.L};
    P2 b = s.at(-d.L * 0.3f, 0), e = s.at(d.L * 0.25f, 0);
    paint(d.img, [&](float x, float y) { return sdSegment(x, y, b, e, d.L * 0.04f); }, hex(0x7A5A38));
    std::vector<P2> blade = {s.at(d.L * 0.15f, 0), s.at(d.L * 0.3f, d.L * 0.22f), s.at(d.L * 0.38f, 0), s.at(d.L * 0.3f, -d.L * 0.05f)};
    paint(d.img, [&](float x, float y) { return sdPolygon(x, y, blade); }, hex(0xC8CCD2));
}

void dartBoulder(Dart& d, float t, int) {
    float r = d.L * 0.28f;
    paintWith(d.img, [&](float x, float y) { return sdCircle(x, y, d.cx, d.cy, r * (0.9f + 0.1f * std::sin(std::atan2(y - d.cy, x - d.cx) * 5.0f))); },
              [&](float x, float y) {
                  float a = t * 2.0f * kPi;
                  float rx = (x - d.cx) * std::cos(a) - (y - d.cy) * std::sin(a), ry = (x - d.cx) * std::sin(a) + (y - d.cy) * std::cos(a);
                  return hex(0x7A7268) * (0.7f + 0.5f * fbm(rx * 0.3f, ry * 0.3f, 3, 3)) * (1.0f - 0.4f * clamp01((x - d.cx + y - d.cy) / (2 * r)));
              });
}

void dartFire(Dart& d, float t, int frame) {
    Rng rng(static_cast<uint32_t>(frame) + 5u);
    for (int i = 5; i >= 0; --i) {
        float uu = -d.L * (0.08f * i) , vv = std::sin(t * 12.0f + i) * d.L * 0.03f;
        P2 p = d.at(uu, vv);
        glow(d.img, p.x, p.y, d.L * (0.3f - 0.035f * i), mix({1.0f, 0.9f, 0.4f}, {0.9f, 0.2f, 0.05f}, i / 5.0f), 0.9f);
    }
    P2 c = d.at(d.L * 0.1f, 0);
    paint(d.img, [&](float x, float y) { return sdCircle(x, y, c.x, c.y, d.L * 0.12f); }, {1.0f, 0.97f, 0.8f});
}

void dartDark(Dart& d, float t, int) {
    for (int i = 0; i < 4; ++i) {
        P2 p = d.at(-d.L * 0.12f * i, std::sin(t * 8.0f + i * 1.7f) * d.L * 0.06f);
        glow(d.img, p.x, p.y, d.L * (0.28f - 0.04f * i), {0.45f, 0.1f, 0.7f}, 0.85f);
    }
    P2 c = d.at(d.L * 0.08f, 0);
    paint(d.img, [&](float x, float y) { return sdCircle(x, y, c.x, c.y, d.L * 0.12f); }, {0.1f, 0.0f, 0.15f});
    paint(d.img, [&](float x, float y) { return std::fabs(sdCircle(x, y, c.x, c.y, d.L * 0.13f)) - d.L * 0.015f; }, {0.85f, 0.5f, 1.0f});
}

void dartTracer(Dart& d, float t, int) {
    P2 a = d.at(-d.L * 0.4f, 0), b = d.at(d.L * 0.3f, 0);
    glow(d.img, b.x, b.y, d.L * 0.22f, {1.0f, 0.85f, 0.4f}, 0.8f);
    paint(d.img, [&](float x, float y) { return sdSegment(x, y, a, b, d.L * (0.03f + 0.01f * std::sin(t * 6.0f))); }, {1.0f, 0.9f, 0.5f}, 0.9f);
    paint(d.img, [&](float x, float y) { return sdSegment(x, y, d.at(d.L * 0.1f, 0), b, d.L * 0.045f); }, {1.0f, 1.0f, 0.9f});
}

void dartLaser(Dart& d, float t, int) {
    P2 a = d.at(-d.L * 0.45f, 0), b = d.at(d.L * 0.45f, 0);
    paint(d.img, [&](float x, float y) { return sdSegment(x, y, a, b, d.L * 0.09f); }, {0.3f, 0.8f, 1.0f}, 0.45f + 0.1f * std::sin(t * 6.0f));
    paint(d.img, [&](float x, float y) { return sdSegment(x, y, a, b, d.L * 0.035f); }, {0.9f, 1.0f, 1.0f});
}

void dartAcid(Dart& d, float t, int) {
    for (int i = 0; i < 4; ++i) {
        P2 p = d.at(-d.L * 0.14f * i, std::sin(t * 9.0f + i) * d.L * 0.04f);
        paint(d.img, [&](float x, float y) { return sdCircle(x, y, p.x, p.y, d.L * (0.14f - 0.03f * i)); }, {0.45f, 0.95f, 0.2f}, 1.0f - 0.2f * i);
    }
    P2 c = d.at(d.L * 0.02f, -d.L * 0.04f);
    glow(d.img, c.x, c.y, d.L * 0.08f, {1, 1, 1}, 0.7f);
}

void dartOrb(Dart& d, float t, int) {
    P2 c = d.at(d.L * 0.1f, 0);
    for (int i = 0; i < 4; ++i) {
        P2 p = d.at(-d.L * 0.12f * i, 0);
        glow(d.img, p.x, p.y, d.L * (0.22f - 0.04f * i), {0.5f, 0.85f, 1.0f}, 0.7f);
    }
    paint(d.img, [&](float x, float y) { return sdCircle(x, y, c.x, c.y, d.L * (0.1f + 0.015f * std::sin(t * 6.28f))); }, {0.9f, 1.0f, 1.0f});
}

struct DartRule {
    std::initializer_list<const char*> words;
    DartPainter paint;
    FramePainter hit;
};

const DartRule kDarts[] = {
    {{"arrow", "bolt", "spear", "javelin"}, dartArrow, fxSparks},
    {{"axe", "hatchet", "blade"}, dartAxe, fxSparks},
    {{"catapult", "boulder", "rock", "stone"}, dartBoulder, fxExplosion},
    {{"fire", "flame", "dragon", "burn", "napalm"}, dartFire, fxExplosion},
    {{"dark", "touch", "shadow", "void", "death"}, dartDark, fxMagic},
    {{"laser", "plasma", "beam"}, dartLaser, fxSparks},
    {{"acid", "spit", "venom", "bile", "spore", "goo"}, dartAcid, fxBlood},
    {{"bullet", "shell", "round", "gun", "rifle", "cannon", "tank", "missile", "rocket", "shot"}, dartTracer, fxSparks},
};

const DartRule* dartRule(const std::string& name) {
    std::string n = lower(name);
    for (const DartRule& r : kDarts)
        if (has(n, r.words)) return &r;
    return nullptr;
}

void acidHit(Frame& f) {
    Rng rng(f.seed);
    float R = f.r();
    for (int i = 0; i < 10; ++i) {
        float a = rng.range(0, 2 * kPi), d = R * (0.15f + 0.6f * f.t) * rng.range(0.5f, 1.0f);
        float x = f.cx() + std::cos(a) * d, y = f.cy() + std::sin(a) * d;
        paint(f.img, [=](float px, float py) { return sdCircle(px, py, x, y, R * 0.09f * (1.0f - f.t * 0.5f)); }, {0.5f, 1.0f, 0.25f}, 1.0f - f.t);
    }
}

}  // namespace

Image effectStrip(const std::string& name, int fw, int fh, int frames) {
    Image strip(fw, fh * frames);
    FramePainter p = effectPainter(name);
    const int ss = 2;
    for (int i = 0; i < frames; ++i) {
        Image hi(fw * ss, fh * ss);
        Frame f{hi, static_cast<float>(fw * ss), static_cast<float>(fh * ss), frames > 1 ? (i + 0.5f) / frames : 0.4f, hashString(name)};
        p(f);
        strip.draw(hi.downsample(ss), 0, i * fh);
    }
    return strip;
}

Image projectileSheet(const std::string& name, int fw, int fh, int frames) {
    Image sheet(5 * fw, fh * frames);
    const DartRule* rule = dartRule(name);
    DartPainter p = rule ? rule->paint : dartOrb;
    const int ss = 3;
    for (int col = 0; col < 5; ++col) {
        float a = -kPi / 2.0f + col * kPi / 4.0f;
        for (int r = 0; r < frames; ++r) {
            Image hi(fw * ss, fh * ss);
            Dart d{hi, fw * ss * 0.5f, fh * ss * 0.5f, std::cos(a), std::sin(a), static_cast<float>(std::min(fw, fh) * ss)};
            p(d, frames > 1 ? static_cast<float>(r) / frames : 0.0f, r);
            Image lo = hi.downsample(ss);
            lo.outline({0.05f, 0.04f, 0.06f}, 0.5f);
            sheet.draw(lo, col * fw, r * fh);
        }
    }
    return sheet;
}

Image projectileHitStrip(const std::string& name, int fw, int fh, int frames) {
    Image strip(fw * frames, fh);
    const DartRule* rule = dartRule(name);
    std::string n = lower(name);
    FramePainter p = rule ? rule->hit : fxSparks;
    if (rule && rule->paint == dartAcid) p = acidHit;
    const int ss = 2;
    for (int i = 0; i < frames; ++i) {
        Image hi(fw * ss, fh * ss);
        Frame f{hi, static_cast<float>(fw * ss), static_cast<float>(fh * ss), (i + 0.5f) / frames, hashString(n)};
        p(f);
        strip.draw(hi.downsample(ss), i * fw, 0);
    }
    return strip;
}

namespace {

void blizzardFrame(Frame& f, int i) {
    float w = f.w, h = f.h;
    if (i < 2) {
        // A falling shard with a streak above it.
        paint(f.img, [&](float x, float y) { return sdSegment(x, y, {w * 0.5f, 0.0f}, {w * 0.5f, h * 0.5f}, w * 0.06f); }, {0.8f, 0.95f, 1.0f}, 0.35f);
        std::vector<P2> shard = {{w * 0.5f, h * (0.95f - 0.1f * i)}, {w * 0.68f, h * 0.5f}, {w * 0.56f, h * 0.2f}, {w * 0.42f, h * 0.25f}, {w * 0.32f, h * 0.52f}};
        paint(f.img, [&](float x, float y) { return sdPolygon(x, y, shard) - 1.0f; }, {0.1f, 0.25f, 0.4f});
        paintWith(f.img, [&](float x, float y) { return sdPolygon(x, y, shard); }, [&](float x, float) { return mix(Rgb{0.95f, 1.0f, 1.0f}, Rgb{0.45f, 0.75f, 0.95f}, clamp01((x - w * 0.3f) / (w * 0.4f))); });
        return;
    }
    Frame g{f.img, w, h, i == 2 ? 0.3f : 0.75f, 41};
    fxFrost(g);
}

void decayFrame(Frame& f) {
    float w = f.w, h = f.h;
    paintWith(f.img, [&](float x, float y) { return sdEllipse(x, y, w * 0.5f, h * 0.82f, w * 0.48f, h * 0.16f); },
              [&](float x, float y) { return mix(Rgb{0.25f, 0.55f, 0.1f}, Rgb{0.45f, 0.15f, 0.5f}, fbm(x * 0.15f + f.t * 3.0f, y * 0.15f, 8, 2)); }, 0.9f);
    for (int i = 0; i < 3; ++i) {
        float ph = std::fmod(f.t + i / 3.0f, 1.0f);
        float x = w * (0.3f + 0.2f * i), y = h * (0.8f - ph * 0.65f);
        paint(f.img, [=](float px, float py) { return std::fabs(sdCircle(px, py, x, y, w * 0.08f * (0.5f + ph))) - w * 0.02f; }, {0.6f, 1.0f, 0.4f}, 1.0f - ph);
    }
}

void whirlFrame(Frame& f) {
    float w = f.w, h = f.h;
    for (int ring = 0; ring < 7; ++ring) {
        float y = h * (0.9f - ring * 0.12f), rx = w * (0.1f + ring * 0.055f);
        float rot = f.t * 2.0f * kPi + ring * 0.7f;
        for (int k = 0; k < 3; ++k) {
            float a0 = rot + k * 2.1f, a1 = a0 + 1.2f;
            P2 p0{w * 0.5f + std::cos(a0) * rx, y + std::sin(a0) * rx * 0.3f}, p1{w * 0.5f + std::cos(a1) * rx, y + std::sin(a1) * rx * 0.3f};
            paint(f.img, [=](float x, float yy) { return sdSegment(x, yy, p0, p1, w * 0.018f); }, {0.85f, 0.88f, 0.9f}, 0.75f);
        }
    }
}

void flameFrame(Frame& f) { fxFire(f); }

}  // namespace

Image spellStrip(const std::string& key, int frames) {
    struct Cut {
        const char* key;
        int fw, fh, frames;
    };
    // The renderer's fixed cuts: Blizzard 30x33, DeathAndDecay 28x35, Whirlwind 63x63, FlameShield width / count.
    static const Cut cuts[] = {{"Blizzard", 30, 33, 4}, {"DeathAndDecay", 28, 35, 9}, {"Whirlwind", 63, 63, 4}, {"FlameShield", 48, 64, 6}};
    Cut c{"", 64, 64, std::clamp(frames, 1, 16)};
    for (const Cut& k : cuts)
        if (key == k.key) c = k;
    Image strip(c.fw * c.frames, c.fh);
    const int ss = 3;
    for (int i = 0; i < c.frames; ++i) {
        Image hi(c.fw * ss, c.fh * ss);
        Frame f{hi, static_cast<float>(c.fw * ss), static_cast<float>(c.fh * ss), (i + 0.5f) / c.frames, hashString(key)};
        std::string k = c.key;
        if (k == "Blizzard") blizzardFrame(f, i);
        else if (k == "DeathAndDecay") decayFrame(f);
        else if (k == "Whirlwind") whirlFrame(f);
        else if (k == "FlameShield") flameFrame(f);
        else effectPainter(key)(f);
        strip.draw(hi.downsample(ss), i * c.fw, 0);
    }
    return strip;
}
