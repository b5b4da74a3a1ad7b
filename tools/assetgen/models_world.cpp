// Building and map-object models: race styles by building role, resources, trees and markers.
#include <algorithm>
#include <cctype>
#include <cmath>

#include "models.h"

namespace {

struct BMats {
    int wall, roof, trim, dark, glow, metal, window, slab, light;
};

BMats buildingMats(Scene& s, const BuildingLook& k) {
    const Palette& p = k.pal;
    BMats m{};
    if (p.alien) {
        m.wall = s.material({p.primary, 0.0f, 0.45f, Pattern::Carapace, p.glow});
        m.roof = s.material({p.primary * 0.75f, 0.0f, 0.5f, Pattern::Carapace, p.glow});
        m.trim = s.material({p.secondary, 0.0f, 0.3f, Pattern::Mottled, {}});
        m.window = s.material({p.glow, 0.8f, 0.2f, Pattern::Mottled, {}});
    } else {
        m.wall = s.material({hex(0xB8B2A2), 0.0f, 0.05f, Pattern::Windows, hex(0x9BE7FF)});
        m.roof = s.material({p.primary, 0.0f, 0.35f, Pattern::Panels, {}});
        m.trim = s.material({p.trim, 0.0f, 0.3f, Pattern::Plain, {}});
        m.window = s.material({hex(0x9BE7FF), 0.8f, 0.6f, Pattern::Plain, {}});
    }
    m.dark = s.material({p.dark, 0.0f, 0.2f, Pattern::Plain, {}});
    m.glow = s.material({p.glow, 0.9f, 0.0f, Pattern::Plain, {}});
    m.metal = s.material({p.metal, 0.0f, 0.7f, Pattern::Panels, {}});
    m.slab = s.material({p.alien ? hex(0x3A2A40) : hex(0x77736A), 0.0f, 0.05f, p.alien ? Pattern::Mottled : Pattern::Stone, {}});
    m.light = s.material({p.alien ? p.glow : hex(0xFF5040), 1.0f, 0.0f, Pattern::Plain, {}});
    return m;
}

struct Plot {
    float w, h, room;
    V3 c() const { return {w * 0.5f, h * 0.5f, 0.0f}; }
    float small() const { return std::min(w, h); }
};

void slab(Scene& s, const BMats& m, const Plot& p) { s.box({p.w * 0.5f, p.h * 0.5f, 0.03f}, {p.w * 0.5f - 0.05f, p.h * 0.5f - 0.05f, 0.03f}, m.slab); }

void antenna(Scene& s, const BMats& m, V3 base, float height) {
    s.capsule(base, base + V3{0, 0, height}, 0.025f, m.metal);
    s.sphere(base + V3{0, 0, height}, 0.05f, m.light);
}

// Human buildings: concrete blocks with glowing windows, blue metal roofs, yellow trim.
void humanHall(Scene& s, const BMats& m, const Plot& p, int tier) {
    V3 c = p.c();
    float mh = std::min(p.room * 0.42f, 0.9f + 0.1f * tier);
    s.box(c + V3{0, 0, mh * 0.5f}, {p.w * 0.36f, p.h * 0.36f, mh * 0.5f}, m.wall);
    s.box(c + V3{0, 0, mh + 0.04f}, {p.w * 0.38f, p.h * 0.38f, 0.05f}, m.roof);
    float th = std::min(p.room * 0.8f, mh * 1.9f);
    s.box(c + V3{-0.1f, -0.1f, th * 0.5f}, {p.w * 0.16f, p.h * 0.16f, th * 0.5f}, m.wall);
    s.prism(c + V3{-0.1f, -0.1f, th}, c + V3{-0.1f, -0.1f, th + 0.25f}, p.small() * 0.22f, 0.05f, 4, m.roof, kTau / 8.0f);
    antenna(s, m, c + V3{-0.1f, -0.1f, th + 0.2f}, std::min(0.5f, p.room - th - 0.25f));
    s.box({p.w * 0.5f, p.h * 0.86f + 0.02f, 0.22f}, {0.22f, 0.03f, 0.2f}, m.dark);   // door on the front
    s.box({p.w * 0.5f, p.h * 0.88f + 0.02f, 0.46f}, {0.3f, 0.03f, 0.04f}, m.trim);
    for (int i = 0; i < 2; ++i) {
        V3 pad = {p.w * (0.22f + 0.56f * i), p.h * 0.16f, mh + 0.1f};
        s.prism(pad, pad + V3{0, 0, 0.04f}, 0.22f, 0.22f, 8, m.trim);
    }
    if (tier >= 1) {
        for (int i = 0; i < 2; ++i) s.prism({p.w * (0.16f + 0.68f * i), p.h * 0.84f, 0.0f}, {p.w * (0.16f + 0.68f * i), p.h * 0.84f, mh * 1.25f}, 0.16f, 0.13f, 8, m.wall);
    }
}

void humanSupply(Scene& s, const BMats& m, const Plot& p, int) {
    int n = std::max(2, static_cast<int>(p.w * p.h));
    for (int i = 0; i < std::min(n, 4); ++i) {
        float u = p.w * (0.3f + 0.4f * (i % 2)), v = p.h * (0.3f + 0.4f * (i / 2));
        // Quonset hut: half of a lying cylinder.
        float r = std::min(p.w, p.h) * 0.2f;
        s.prism({u - r * 1.3f, v, 0.0f}, {u + r * 1.3f, v, 0.0f}, r, r, 10, i % 2 ? m.roof : m.wall, 0.0f);
        s.box({u + r * 1.3f, v, r * 0.4f}, {0.02f, r * 0.4f, r * 0.4f}, m.dark);
    }
    s.box({p.w * 0.82f, p.h * 0.82f, 0.12f}, {0.12f, 0.12f, 0.12f}, m.trim);
    s.box({p.w * 0.66f, p.h * 0.86f, 0.1f}, {0.1f, 0.1f, 0.1f}, m.metal);
}

void humanBarracks(Scene& s, const BMats& m, const Plot& p, int tier) {
    float wh = std::min(p.room * 0.35f, 0.8f);
    V3 c = p.c();
    s.box(c + V3{0, 0, wh * 0.5f}, {p.w * 0.4f, p.h * 0.32f, wh * 0.5f}, m.wall);
    s.gable(c + V3{0, 0, wh}, p.w * 0.43f, p.h * 0.36f, std::min(p.room * 0.3f, 0.55f), m.roof);
    s.box({p.w * 0.9f + 0.01f, p.h * 0.5f, 0.25f}, {0.03f, 0.22f, 0.25f}, m.dark);
    s.box({p.w * 0.5f, p.h * 0.82f + 0.02f, 0.3f}, {0.35f, 0.03f, 0.06f}, m.trim);
    s.capsule({p.w * 0.12f, p.h * 0.88f, 0.0f}, {p.w * 0.12f, p.h * 0.88f, wh * 1.8f}, 0.02f, m.metal);
    s.box({p.w * 0.12f, p.h * 0.88f + 0.1f, wh * 1.6f}, {0.01f, 0.1f, 0.14f}, m.trim);
    if (tier >= 1) s.box(c + V3{0, 0, wh + 0.45f}, {0.2f, 0.2f, 0.15f}, m.metal);
}

void humanTower(Scene& s, const BMats& m, const Plot& p, int) {
    V3 c = p.c();
    float th = std::min(p.room * 0.85f, 2.4f);
    s.prism(c, c + V3{0, 0, th}, p.small() * 0.28f, p.small() * 0.2f, 8, m.wall);
    s.prism(c + V3{0, 0, th}, c + V3{0, 0, th + 0.12f}, p.small() * 0.34f, p.small() * 0.34f, 8, m.roof);
    s.prism(c + V3{0, 0, th + 0.12f}, c + V3{0, 0, th + 0.3f}, p.small() * 0.16f, p.small() * 0.12f, 8, m.metal);
    s.sphere(c + V3{0.12f, 0.12f, th + 0.22f}, 0.07f, m.window);
    s.box(c + V3{0, p.small() * 0.24f, th * 0.35f}, {0.08f, 0.02f, 0.14f}, m.dark);
}

void humanRefinery(Scene& s, const BMats& m, const Plot& p, int) {
    float r = p.small() * 0.2f;
    float th = std::min(p.room * 0.4f, 0.9f);
    V3 t1{p.w * 0.3f, p.h * 0.3f, 0}, t2{p.w * 0.68f, p.h * 0.62f, 0};
    s.prism(t1, t1 + V3{0, 0, th}, r, r, 12, m.metal);
    s.ellipsoid(t1 + V3{0, 0, th}, {r, r, r * 0.5f}, m.metal);
    s.prism(t2, t2 + V3{0, 0, th * 0.8f}, r * 0.9f, r * 0.9f, 12, m.trim);
    s.ellipsoid(t2 + V3{0, 0, th * 0.8f}, {r * 0.9f, r * 0.9f, r * 0.45f}, m.trim);
    s.capsule(t1 + V3{0, 0, th * 0.6f}, t2 + V3{0, 0, th * 0.6f}, 0.05f, m.dark);
    V3 ch{p.w * 0.75f, p.h * 0.25f, 0};
    s.prism(ch, ch + V3{0, 0, std::min(p.room * 0.8f, th * 1.8f)}, 0.1f, 0.08f, 8, m.wall);
    s.box({p.w * 0.3f, p.h * 0.78f, 0.2f}, {p.w * 0.2f, p.h * 0.12f, 0.2f}, m.wall);
    int amber = s.material({hex(0xFFA82E), 0.7f, 0.6f, Pattern::Plain, {}});
    s.box({p.w * 0.3f, p.h * 0.9f + 0.01f, 0.22f}, {p.w * 0.14f, 0.02f, 0.06f}, amber);
}

void humanDock(Scene& s, const BMats& m, const Plot& p, int) {
    int wood = s.material({hex(0x8A6A48), 0.0f, 0.1f, Pattern::Planks, {}});
    s.box({p.w * 0.5f, p.h * 0.5f, 0.08f}, {p.w * 0.45f, p.h * 0.45f, 0.06f}, wood);
    for (int i = 0; i < 4; ++i) s.prism({p.w * (0.1f + 0.8f * (i % 2)), p.h * (0.1f + 0.8f * (i / 2)), -0.1f}, {p.w * (0.1f + 0.8f * (i % 2)), p.h * (0.1f + 0.8f * (i / 2)), 0.2f}, 0.06f, 0.06f, 8, wood);
    s.box({p.w * 0.3f, p.h * 0.3f, 0.4f}, {p.w * 0.18f, p.h * 0.18f, 0.3f}, m.wall);
    s.box({p.w * 0.3f, p.h * 0.3f, 0.72f}, {p.w * 0.2f, p.h * 0.2f, 0.03f}, m.roof);
    V3 base{p.w * 0.7f, p.h * 0.7f, 0.14f};
    float ch = std::min(p.room * 0.8f, 1.8f);
    s.box(base + V3{0, 0, ch * 0.5f}, {0.05f, 0.05f, ch * 0.5f}, m.trim);
    // The boom reaches out over the water in front.
    V3 tip = base + V3{0.0f, p.h * 0.45f, ch * 0.92f};
    s.capsule(base + V3{0, 0, ch}, tip, 0.035f, m.trim);
    s.capsule(tip, tip - V3{0, 0, ch * 0.5f}, 0.01f, m.dark);
    s.box(tip - V3{0, 0, ch * 0.5f + 0.05f}, {0.06f, 0.06f, 0.05f}, m.metal);
}

void humanWorkshop(Scene& s, const BMats& m, const Plot& p, int tier) {
    V3 c = p.c();
    float wh = std::min(p.room * 0.38f, 0.9f);
    s.box(c + V3{0, 0, wh * 0.5f}, {p.w * 0.38f, p.h * 0.36f, wh * 0.5f}, m.wall);
    s.box(c + V3{0, 0, wh + 0.04f}, {p.w * 0.4f, p.h * 0.38f, 0.04f}, m.roof);
    V3 ch{p.w * 0.25f, p.h * 0.3f, wh};
    s.prism(ch, ch + V3{0, 0, std::min(p.room * 0.85f - wh, 0.7f)}, 0.09f, 0.07f, 8, m.metal);
    s.box({p.w * 0.88f + 0.01f, p.h * 0.5f, 0.3f}, {0.03f, p.h * 0.2f, 0.28f}, m.dark);
    s.box({p.w * 0.5f, p.h * 0.86f + 0.01f, wh * 0.75f}, {p.w * 0.25f, 0.03f, 0.06f}, m.trim);
    s.prism(c + V3{0.15f, 0.1f, wh}, c + V3{0.15f, 0.1f, wh + 0.12f}, 0.18f, 0.18f, 10, m.metal);
    if (tier >= 1) s.sphere(c + V3{0.15f, 0.1f, wh + 0.2f}, 0.1f, m.window);
}

void humanTemple(Scene& s, const BMats& m, const Plot& p, int) {
    V3 c = p.c();
    float wh = std::min(p.room * 0.35f, 0.8f);
    s.prism(c, c + V3{0, 0, wh}, p.small() * 0.4f, p.small() * 0.38f, 8, m.wall, kTau / 16.0f);
    s.ellipsoid(c + V3{0, 0, wh}, {p.small() * 0.36f, p.small() * 0.36f, p.small() * 0.3f}, m.roof);
    float sp = std::min(p.room * 0.9f, wh + p.small() * 0.3f + 0.7f);
    s.prism(c + V3{0, 0, wh + p.small() * 0.25f}, c + V3{0, 0, sp}, 0.06f, 0.0f, 6, m.trim);
    int crystal = s.material({hex(0x9BE7FF), 0.8f, 0.9f, Pattern::Crystal, hex(0xFFFFFF)});
    s.prism(c + V3{0.0f, p.small() * 0.36f, 0.1f}, c + V3{0.0f, p.small() * 0.36f, 0.5f}, 0.08f, 0.0f, 6, crystal);
}

void humanAviary(Scene& s, const BMats& m, const Plot& p, int t) {
    humanWorkshop(s, m, p, t);
    s.box({p.w * 0.5f, p.h * 0.5f, std::min(p.room * 0.6f, 1.3f)}, {p.w * 0.3f, 0.04f, 0.02f}, m.trim);
}

// Vohmathal buildings: grown domes of carapace with glowing sacs and thorns.
void thorns(Scene& s, const BMats& m, V3 c, float r, float z, int n, float len, uint32_t seed) {
    Rng rng(seed);
    for (int i = 0; i < n; ++i) {
        float a = i * kTau / n + rng.range(-0.2f, 0.2f);
        V3 base = c + V3{std::cos(a) * r, std::sin(a) * r, z};
        V3 tip = base + V3{std::cos(a) * len * 0.5f, std::sin(a) * len * 0.5f, len};
        s.prism(base, tip, 0.06f, 0.0f, 5, m.trim);
    }
}

void alienHall(Scene& s, const BMats& m, const Plot& p, int tier) {
    V3 c = p.c() + V3{-p.w * 0.08f, -p.h * 0.08f, 0.0f};
    float dh = std::min(p.room * 0.42f, 0.95f + 0.15f * tier);
    float r = p.small() * 0.34f;
    s.ellipsoid(c, {r, r, dh}, m.wall);
    s.ellipsoid({p.w * 0.8f, p.h * 0.42f, 0.0f}, {p.w * 0.16f, p.h * 0.16f, dh * 0.5f}, m.roof);
    s.ellipsoid({p.w * 0.42f, p.h * 0.8f, 0.0f}, {p.w * 0.16f, p.h * 0.16f, dh * 0.45f}, m.roof);
    // Ribs arch over the dome.
    for (int i = 0; i < 5; ++i) {
        float a = i * kTau / 5.0f + 0.3f;
        V3 prev = c + V3{std::cos(a) * r * 1.04f, std::sin(a) * r * 1.04f, 0.0f};
        for (int k = 1; k <= 4; ++k) {
            float t = k / 4.0f * 1.2f;
            V3 next = c + V3{std::cos(a) * r * 1.04f * std::cos(t), std::sin(a) * r * 1.04f * std::cos(t), dh * 1.04f * std::sin(t)};
            s.capsule(prev, next, 0.05f, m.trim);
            prev = next;
        }
    }
    // A glowing maw on the side that faces the viewer.
    V3 front = c + V3{r * 0.62f, r * 0.62f, dh * 0.25f};
    s.ellipsoid(front, {0.2f, 0.2f, 0.16f}, m.glow);
    float sp = std::min(p.room * 0.95f, dh * 1.9f);
    s.prism(c + V3{0, 0, dh * 0.8f}, c + V3{0, 0, sp}, 0.18f, 0.0f, 7, m.trim);
    s.sphere(c + V3{0, 0, dh * 1.02f}, 0.13f, m.window);
    thorns(s, m, c, r * 0.95f, dh * 0.3f, 6 + 2 * tier, 0.35f, 5);
}

void alienSupply(Scene& s, const BMats& m, const Plot& p, int) {
    Rng rng(7);
    for (int i = 0; i < 5; ++i) {
        V3 at{p.w * rng.range(0.25f, 0.75f), p.h * rng.range(0.25f, 0.75f), 0.0f};
        float r = p.small() * rng.range(0.13f, 0.2f);
        s.ellipsoid(at + V3{0, 0, r * 0.6f}, {r, r, r * 1.3f}, i % 2 ? m.window : m.roof);
    }
    s.ellipsoid(p.c(), {p.w * 0.3f, p.h * 0.3f, 0.12f}, m.wall);
}

void alienBarracks(Scene& s, const BMats& m, const Plot& p, int tier) {
    V3 c = p.c();
    float dh = std::min(p.room * 0.4f, 0.85f);
    s.ellipsoid(c, {p.w * 0.44f, p.h * 0.34f, dh}, m.wall);
    for (int i = 0; i < 4; ++i) {
        float u = p.w * (0.2f + 0.2f * i);
        s.capsule({u, p.h * 0.12f, 0.0f}, {u, p.h * 0.5f, dh * 1.15f}, 0.06f, m.trim);
        s.capsule({u, p.h * 0.5f, dh * 1.15f}, {u, p.h * 0.88f, 0.0f}, 0.06f, m.trim);
    }
    s.ellipsoid({p.w * 0.5f, p.h * 0.84f, 0.22f}, {0.25f, 0.08f, 0.2f}, m.glow);
    if (tier >= 1) thorns(s, m, c, p.small() * 0.3f, dh * 0.6f, 5, 0.35f, 9);
}

void alienTower(Scene& s, const BMats& m, const Plot& p, int) {
    V3 c = p.c();
    float th = std::min(p.room * 0.88f, 2.4f);
    s.prism(c, c + V3{0, 0, th}, p.small() * 0.3f, 0.04f, 7, m.wall, 0.3f);
    s.sphere(c + V3{0, 0, th * 0.7f}, p.small() * 0.16f, m.window);
    thorns(s, m, c, p.small() * 0.22f, th * 0.25f, 5, 0.35f, 11);
    thorns(s, m, c, p.small() * 0.14f, th * 0.55f, 4, 0.25f, 12);
}

void alienRefinery(Scene& s, const BMats& m, const Plot& p, int) {
    V3 c = p.c();
    float dh = std::min(p.room * 0.45f, 0.9f);
    s.ellipsoid(c + V3{-p.w * 0.1f, -p.h * 0.1f, 0}, {p.w * 0.3f, p.h * 0.3f, dh}, m.wall);
    int amber = s.material({hex(0xFFA82E), 0.65f, 0.6f, Pattern::Mottled, {}});
    s.ellipsoid(c + V3{p.w * 0.22f, p.h * 0.2f, 0.25f}, {p.w * 0.16f, p.h * 0.16f, 0.3f}, amber);
    s.capsule(c + V3{0, 0, dh * 0.8f}, c + V3{p.w * 0.22f, p.h * 0.2f, 0.5f}, 0.06f, m.trim);
    thorns(s, m, c, p.small() * 0.3f, dh * 0.4f, 5, 0.3f, 13);
}

void alienGeneric(Scene& s, const BMats& m, const Plot& p, int tier) {
    V3 c = p.c();
    float dh = std::min(p.room * 0.42f, 0.9f + 0.1f * tier);
    s.ellipsoid(c, {p.w * 0.4f, p.h * 0.4f, dh}, m.wall);
    s.prism(c + V3{0, 0, dh * 0.6f}, c + V3{0, 0, std::min(p.room * 0.85f, dh * 1.7f)}, 0.15f, 0.0f, 6, m.trim);
    s.sphere(c + V3{p.w * 0.25f, p.h * 0.25f, dh * 0.4f}, 0.16f, m.window);
    thorns(s, m, c, p.small() * 0.34f, dh * 0.3f, 6, 0.3f, 15);
}

using BuildingFn = void (*)(Scene&, const BMats&, const Plot&, int);

// Indexed by BuildingLook::Kind.
const BuildingFn kHuman[] = {humanHall, humanSupply, humanBarracks, humanTower, humanRefinery, humanDock, humanWorkshop, humanTemple, humanAviary, humanTower};
const BuildingFn kAlien[] = {alienHall, alienSupply, alienBarracks, alienTower, alienRefinery, alienGeneric, alienGeneric, alienGeneric, alienGeneric, alienTower};

struct KindRule {
    std::initializer_list<const char*> words;
    BuildingLook::Kind kind;
};

const KindRule kKindRules[] = {
    {{"tower", "turret", "spire", "bunker"}, BuildingLook::Tower},
    {{"wall", "gate"}, BuildingLook::Wall},
    {{"shipyard", "dock", "harbor", "harbour", "port"}, BuildingLook::Dock},
    {{"command", "townhall", "town hall", "hall", "keep", "castle", "stronghold", "fortress", "hive", "nexus", "core", "citadel"}, BuildingLook::Hall},
    {{"camp", "farm", "house", "depot", "supply", "habitat", "nest", "pod"}, BuildingLook::Supply},
    {{"barrack", "academy", "warren", "den", "pit", "spawning"}, BuildingLook::Barracks},
    {{"refinery", "mill", "derrick", "pump", "extractor", "oil", "amber"}, BuildingLook::Refinery},
    {{"temple", "church", "altar", "mage", "shrine", "sanctum", "chapel"}, BuildingLook::Temple},
    {{"aviary", "roost", "hangar", "airfield", "aerie"}, BuildingLook::Aviary},
};

}  // namespace

BuildingLook chooseBuildingLook(const std::string& name, const std::string& race, const nlohmann::json& info) {
    BuildingLook k;
    k.pal = racePalette(race);
    k.seed = hashString(name);
    std::string n = lower(name);
    auto flag = [&](const char* key) { return info.is_object() && info.contains(key) && info[key].is_boolean() && info[key].get<bool>(); };
    bool matched = false;
    for (const KindRule& r : kKindRules)
        if (has(n, r.words)) {
            k.kind = r.kind;
            matched = true;
            break;
        }
    if (!matched) {
        if (flag("base")) k.kind = BuildingLook::Hall;
        else if (flag("supply")) k.kind = BuildingLook::Supply;
        else if (flag("oilDeposit")) k.kind = BuildingLook::Refinery;
        else if (flag("hasProduction")) k.kind = BuildingLook::Barracks;
    }
    if (info.is_object() && info.contains("walkable") && info["walkable"] == "Water") k.kind = BuildingLook::Dock;
    if (info.is_object() && info.contains("tier") && info["tier"].is_number_integer()) k.tier = std::clamp(info["tier"].get<int>() - 1, 0, 3);
    if (has(n, {"fortress", "castle", "citadel"})) k.tier = std::max(k.tier, 2);
    if (has(n, {"stronghold", "keep"})) k.tier = std::max(k.tier, 1);
    return k;
}

std::vector<int> buildBuilding(Scene& s, const BuildingLook& look, int w, int h, float room) {
    BMats m = buildingMats(s, look);
    Plot p{static_cast<float>(w), static_cast<float>(h), room};
    Xform saved = s.xf;
    slab(s, m, p);
    const BuildingFn* table = look.pal.alien ? kAlien : kHuman;
    table[static_cast<int>(look.kind)](s, m, p, look.tier);
    s.xf = saved;
    return {m.light, m.glow, m.window};
}

void buildScaffold(Scene& s, const BuildingLook& look, int w, int h, float height) {
    Plot p{static_cast<float>(w), static_cast<float>(h), height};
    if (look.pal.alien) {
        // A cocoon of sinew strands over the growing shell.
        int sinew = s.material({look.pal.secondary * 0.8f, 0.0f, 0.3f, Pattern::Mottled, {}});
        int goo = s.material({look.pal.glow, 0.7f, 0.5f, Pattern::Mottled, {}});
        for (int i = 0; i < 8; ++i) {
            float a = i * kTau / 8.0f;
            V3 base = p.c() + V3{std::cos(a) * p.w * 0.42f, std::sin(a) * p.h * 0.42f, 0.0f};
            s.capsule(base, p.c() + V3{0, 0, height}, 0.035f, sinew);
        }
        s.sphere(p.c() + V3{0, 0, height}, 0.12f, goo);
        return;
    }
    int wood = s.material({hex(0xC9A060), 0.0f, 0.1f, Pattern::Planks, {}});
    int pole = s.material({hex(0x8E949C), 0.0f, 0.6f, Pattern::Plain, {}});
    float e = 0.08f;
    V3 corners[4] = {{e, e, 0}, {p.w - e, e, 0}, {p.w - e, p.h - e, 0}, {e, p.h - e, 0}};
    for (V3 c : corners) s.capsule(c, c + V3{0, 0, height}, 0.025f, pole);
    for (int lvl = 1; lvl <= 3; ++lvl) {
        float z = height * lvl / 3.0f;
        for (int i = 0; i < 4; ++i) s.capsule(corners[i] + V3{0, 0, z}, corners[(i + 1) % 4] + V3{0, 0, z}, 0.02f, pole);
        s.box({p.w * 0.5f, p.h - e, z}, {p.w * 0.45f, 0.06f, 0.015f}, wood);
    }
    s.capsule(corners[2] + V3{0, 0, 0}, corners[1] + V3{0, 0, height}, 0.015f, pole);
    s.capsule(corners[2] + V3{0, 0, 0}, corners[3] + V3{0, 0, height}, 0.015f, pole);
    int stripe = s.material({hex(0xF0C23A), 0.0f, 0.2f, Pattern::Stripes, hex(0x222222)});
    s.box({p.w * 0.5f, p.h * 0.5f, 0.07f}, {p.w * 0.45f, p.h * 0.45f, 0.01f}, stripe);
}

namespace {

// Map objects and decorations in object units: about one unit across, base on z = 0.
void crystals(Scene& s, uint32_t seed, int frame, int frames) {
    Rng rng(seed);
    float glint = frames > 1 ? 0.5f + 0.5f * std::sin(frame * kTau / frames) : 0.5f;
    int crystal = s.material({hex(0x3FB8F0), 0.35f + 0.4f * glint, 0.9f, Pattern::Crystal, hex(0xD8FAFF)});
    int rock = s.material({hex(0x4A4650), 0.0f, 0.1f, Pattern::Rock, hex(0x6A6670)});
    s.ellipsoid({0, 0, 0}, {0.42f, 0.38f, 0.1f}, rock);
    for (int i = 0; i < 7; ++i) {
        float a = i * kTau / 7.0f + rng.range(-0.3f, 0.3f);
        float r = i == 0 ? 0.0f : rng.range(0.12f, 0.28f);
        V3 base{std::cos(a) * r, std::sin(a) * r, 0.02f};
        float h = i == 0 ? 0.85f : rng.range(0.3f, 0.6f);
        V3 tip = base + V3{std::cos(a) * r * 0.5f, std::sin(a) * r * 0.5f, h};
        float wdt = i == 0 ? 0.11f : rng.range(0.05f, 0.08f);
        s.prism(base, tip * 0.86f + base * 0.14f, wdt, wdt * 0.9f, 6, crystal, a);
        s.prism(tip * 0.86f + base * 0.14f, tip, wdt * 0.9f, 0.0f, 6, crystal, a);
    }
}

void amberOil(Scene& s, uint32_t seed, int frame, int frames) {
    Rng rng(seed);
    int rock = s.material({hex(0x6A5C4C), 0.0f, 0.1f, Pattern::Rock, hex(0x8A7A62)});
    int oil = s.material({hex(0xE08A1E), 0.45f, 1.0f, Pattern::Mottled, {}});
    int tar = s.material({hex(0x2A1A0E), 0.0f, 0.9f, Pattern::Plain, {}});
    for (int i = 0; i < 8; ++i) {
        float a = i * kTau / 8.0f + rng.range(-0.2f, 0.2f);
        s.ellipsoid({std::cos(a) * 0.36f, std::sin(a) * 0.32f, 0.04f}, {0.1f, 0.09f, rng.range(0.06f, 0.14f)}, rock);
    }
    s.ellipsoid({0, 0, 0.0f}, {0.34f, 0.3f, 0.04f}, tar);
    s.ellipsoid({0, 0, 0.02f}, {0.28f, 0.24f, 0.03f}, oil);
    // Bubbles rise and pop through the animation.
    float t = frames > 1 ? static_cast<float>(frame) / frames : 0.3f;
    for (int i = 0; i < 3; ++i) {
        float ph = std::fmod(t + i * 0.33f, 1.0f);
        s.sphere({-0.1f + i * 0.1f, 0.05f - i * 0.06f, 0.04f + ph * 0.03f}, 0.02f + 0.025f * ph, oil);
    }
    int shard = s.material({hex(0xFFB440), 0.6f, 0.9f, Pattern::Crystal, hex(0xFFE8B0)});
    s.prism({0.22f, -0.18f, 0.02f}, {0.3f, -0.22f, 0.32f}, 0.05f, 0.0f, 5, shard);
    s.prism({-0.26f, 0.12f, 0.02f}, {-0.32f, 0.14f, 0.24f}, 0.045f, 0.0f, 5, shard);
}

void tree(Scene& s, uint32_t seed, int frame, int frames) {
    Rng rng(seed);
    float sway = frames > 1 ? std::sin(frame * kTau / frames) * 0.03f : 0.0f;
    int bark = s.material({hex(0x5A3E28), 0.0f, 0.05f, Pattern::Planks, {}});
    int leaf = s.material({hex(0x2C6A2E), 0.0f, 0.1f, Pattern::Foliage, hex(0x6AAA3A)});
    s.capsule({0, 0, 0}, {sway, 0, 0.5f}, 0.06f, bark);
    bool conifer = (seed & 1) != 0;
    if (conifer) {
        for (int i = 0; i < 3; ++i) s.prism({sway, 0, 0.25f + i * 0.22f}, {sway, 0, 0.6f + i * 0.22f}, 0.34f - i * 0.08f, 0.0f, 9, leaf, i * 0.4f);
        return;
    }
    for (int i = 0; i < 5; ++i) {
        float a = i * kTau / 5.0f + rng.range(-0.3f, 0.3f);
        s.sphere({std::cos(a) * 0.16f + sway, std::sin(a) * 0.16f, 0.62f + rng.range(-0.05f, 0.12f)}, rng.range(0.16f, 0.22f), leaf);
    }
    s.sphere({sway, 0, 0.82f}, 0.2f, leaf);
}

void startMarker(Scene& s, uint32_t, int frame, int frames) {
    int plate = s.material({hex(0xD8D0B0), 0.0f, 0.2f, Pattern::Stone, {}});
    int pole = s.material({hex(0x9AA0A8), 0.0f, 0.7f, Pattern::Plain, {}});
    int flag = s.material({hex(0xE04030), 0.2f, 0.1f, Pattern::Plain, {}});
    s.prism({0, 0, 0}, {0, 0, 0.04f}, 0.4f, 0.38f, 12, plate);
    s.capsule({0, 0, 0}, {0, 0, 0.9f}, 0.02f, pole);
    float wave = frames > 1 ? std::sin(frame * kTau / frames) * 0.04f : 0.0f;
    s.box({0.0f, 0.16f, 0.78f}, {0.01f, 0.15f, 0.1f}, flag, rotX(wave));
}

void extractionPoint(Scene& s, uint32_t, int frame, int frames) {
    int pad = s.material({hex(0x50545C), 0.0f, 0.5f, Pattern::Panels, {}});
    int mark = s.material({hex(0xF0C23A), 0.1f, 0.2f, Pattern::Stripes, hex(0x202020)});
    float blink = frames > 1 ? ((frame % 2) ? 1.0f : 0.25f) : 1.0f;
    int light = s.material({hex(0x6CFF6A), blink, 0.0f, Pattern::Plain, {}});
    s.prism({0, 0, 0}, {0, 0, 0.06f}, 0.46f, 0.44f, 8, pad, kTau / 16.0f);
    s.prism({0, 0, 0.06f}, {0, 0, 0.07f}, 0.34f, 0.34f, 8, mark, kTau / 16.0f);
    s.prism({0, 0, 0.07f}, {0, 0, 0.08f}, 0.24f, 0.24f, 8, pad, kTau / 16.0f);
    for (int i = 0; i < 4; ++i) {
        float a = kTau / 8.0f + i * kTau / 4.0f;
        V3 b{std::cos(a) * 0.42f, std::sin(a) * 0.42f, 0.06f};
        s.capsule(b, b + V3{0, 0, 0.3f}, 0.025f, pad);
        s.sphere(b + V3{0, 0, 0.32f}, 0.05f, light);
    }
}

void rocks(Scene& s, uint32_t seed, int, int) {
    Rng rng(seed);
    int rock = s.material({hex(0x6E6A64), 0.0f, 0.15f, Pattern::Rock, hex(0x8E887E)});
    int moss = s.material({hex(0x4A6A2E), 0.0f, 0.05f, Pattern::Foliage, hex(0x6A8A3A)});
    int n = 2 + rng.below(3);
    for (int i = 0; i < n; ++i) {
        V3 c{rng.range(-0.25f, 0.25f), rng.range(-0.2f, 0.2f), 0.0f};
        float r = rng.range(0.14f, 0.28f);
        s.ellipsoid(c, {r, r * 0.85f, r * rng.range(0.6f, 1.0f)}, rock, rotZ(rng.range(0, kTau)));
        if (i == 0) s.ellipsoid(c + V3{0, 0, r * 0.55f}, {r * 0.7f, r * 0.6f, r * 0.25f}, moss);
    }
}

void bush(Scene& s, uint32_t seed, int, int) {
    Rng rng(seed);
    int leaf = s.material({hex(0x3A7A30), 0.0f, 0.1f, Pattern::Foliage, hex(0x8ABA4A)});
    int berry = s.material({hex(0xD03048), 0.1f, 0.5f, Pattern::Plain, {}});
    for (int i = 0; i < 5; ++i) s.sphere({rng.range(-0.2f, 0.2f), rng.range(-0.15f, 0.15f), rng.range(0.1f, 0.25f)}, rng.range(0.12f, 0.2f), leaf);
    for (int i = 0; i < 4; ++i) s.sphere({rng.range(-0.2f, 0.2f), rng.range(0.05f, 0.2f), rng.range(0.15f, 0.3f)}, 0.03f, berry);
}

void flowers(Scene& s, uint32_t seed, int, int) {
    Rng rng(seed);
    int stem = s.material({hex(0x3A7A30), 0.0f, 0.0f, Pattern::Plain, {}});
    const uint32_t colors[] = {0xF2E47A, 0xE86AA0, 0xE8F0FF, 0xB080F0};
    for (int i = 0; i < 9; ++i) {
        V3 b{rng.range(-0.3f, 0.3f), rng.range(-0.25f, 0.25f), 0.0f};
        float h = rng.range(0.12f, 0.25f);
        s.capsule(b, b + V3{0, 0, h}, 0.012f, stem);
        s.sphere(b + V3{0, 0, h}, 0.04f, s.material({hex(colors[rng.below(4)]), 0.1f, 0.2f, Pattern::Plain, {}}));
    }
}

void bones(Scene& s, uint32_t seed, int, int) {
    Rng rng(seed);
    int bone = s.material({hex(0xE0D8C0), 0.0f, 0.2f, Pattern::Mottled, {}});
    s.ellipsoid({0.05f, 0, 0.08f}, {0.12f, 0.1f, 0.09f}, bone);
    for (int i = 0; i < 5; ++i) {
        V3 a{rng.range(-0.3f, 0.3f), rng.range(-0.25f, 0.25f), 0.03f};
        float ang = rng.range(0, kTau);
        s.capsule(a, a + V3{std::cos(ang) * 0.2f, std::sin(ang) * 0.2f, 0.0f}, 0.025f, bone);
    }
}

void crater(Scene& s, uint32_t seed, int, int) {
    Rng rng(seed);
    int dirt = s.material({hex(0x4A3A2C), 0.0f, 0.05f, Pattern::Mottled, {}});
    int scorch = s.material({hex(0x1E1814), 0.0f, 0.0f, Pattern::Mottled, {}});
    s.ellipsoid({0, 0, 0}, {0.42f, 0.36f, 0.03f}, scorch);
    for (int i = 0; i < 10; ++i) {
        float a = i * kTau / 10.0f;
        s.ellipsoid({std::cos(a) * 0.36f, std::sin(a) * 0.3f, 0.02f}, {0.1f, 0.08f, rng.range(0.04f, 0.08f)}, dirt);
    }
}

void mushrooms(Scene& s, uint32_t seed, int, int) {
    Rng rng(seed);
    int stem = s.material({hex(0xE8E0D0), 0.0f, 0.1f, Pattern::Plain, {}});
    int cap = s.material({hex(0x9A50E0), 0.45f, 0.4f, Pattern::Mottled, {}});
    for (int i = 0; i < 4; ++i) {
        V3 b{rng.range(-0.25f, 0.25f), rng.range(-0.2f, 0.2f), 0};
        float h = rng.range(0.12f, 0.35f);
        s.capsule(b, b + V3{0, 0, h}, 0.03f, stem);
        s.ellipsoid(b + V3{0, 0, h}, {0.1f, 0.1f, 0.05f}, cap);
    }
}

void crates(Scene& s, uint32_t seed, int, int) {
    Rng rng(seed);
    int wood = s.material({hex(0x9A7448), 0.0f, 0.1f, Pattern::Planks, {}});
    int barrel = s.material({hex(0x4A6A8A), 0.0f, 0.5f, Pattern::Panels, {}});
    s.box({-0.1f, 0.0f, 0.12f}, {0.12f, 0.12f, 0.12f}, wood, rotZ(rng.range(0, 1)));
    s.box({-0.08f, 0.02f, 0.34f}, {0.09f, 0.09f, 0.09f}, wood, rotZ(rng.range(0, 1)));
    s.prism({0.2f, 0.1f, 0}, {0.2f, 0.1f, 0.26f}, 0.09f, 0.09f, 10, barrel);
}

void ruin(Scene& s, uint32_t seed, int, int) {
    Rng rng(seed);
    int stone = s.material({hex(0x9A9488), 0.0f, 0.1f, Pattern::Stone, {}});
    s.prism({-0.15f, 0, 0}, {-0.15f, 0, 0.7f}, 0.1f, 0.09f, 8, stone);
    s.prism({0.18f, 0.05f, 0}, {0.18f, 0.05f, 0.35f}, 0.1f, 0.09f, 8, stone);
    s.box({0.1f, -0.15f, 0.05f}, {0.2f, 0.06f, 0.05f}, stone, rotZ(0.4f));
}

void shard(Scene& s, uint32_t seed, int, int) {
    Rng rng(seed);
    int crystal = s.material({hex(0xC070FF), 0.5f, 0.9f, Pattern::Crystal, hex(0xF0D8FF)});
    for (int i = 0; i < 3; ++i) {
        V3 b{rng.range(-0.15f, 0.15f), rng.range(-0.1f, 0.1f), 0};
        s.prism(b, b + V3{rng.range(-0.1f, 0.1f), 0, rng.range(0.25f, 0.5f)}, 0.06f, 0.0f, 5, crystal);
    }
}

using ObjectFn = void (*)(Scene&, uint32_t, int, int);

struct ObjectRule {
    std::initializer_list<const char*> words;
    ObjectFn fn;
};

const ObjectRule kObjectRules[] = {
    {{"startingbase", "start", "spawn"}, startMarker},
    {{"crystal", "gold", "mineral"}, crystals},
    {{"amber", "oil"}, amberOil},
    {{"tree", "pine", "palm", "oak", "forest", "wood"}, tree},
    {{"extraction", "landing", "pad", "beacon"}, extractionPoint},
    {{"bush", "shrub", "hedge", "fern"}, bush},
    {{"flower", "grass", "weed", "tuft"}, flowers},
    {{"bone", "skull", "skeleton", "carcass"}, bones},
    {{"crater", "scorch", "hole"}, crater},
    {{"mushroom", "fung", "shroom", "spore"}, mushrooms},
    {{"crate", "barrel", "box", "cargo", "supply"}, crates},
    {{"ruin", "pillar", "column", "statue"}, ruin},
    {{"shard", "glow", "gem"}, shard},
};

}  // namespace

void buildMapObject(Scene& s, const std::string& kind, uint32_t seed, int frame, int frames) {
    std::string n = lower(kind);
    for (const ObjectRule& r : kObjectRules)
        if (has(n, r.words)) {
            r.fn(s, seed, frame, frames);
            return;
        }
    rocks(s, seed, frame, frames);
}
