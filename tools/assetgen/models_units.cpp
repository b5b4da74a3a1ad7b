// Unit models: body plans chosen from the catalogue, posed for walking, attacking and lying dead.
#include <algorithm>
#include <cctype>
#include <cmath>

#include "models.h"

namespace {

V3 elbowIK(V3 s, V3 h, float l1, float l2, V3 pole) {
    V3 d = h - s;
    float dist = std::clamp(length(d), 1e-3f, (l1 + l2) * 0.999f);
    V3 u = normalize(d);
    float a = (l1 * l1 - l2 * l2 + dist * dist) / (2.0f * dist);
    float hgt = std::sqrt(std::max(0.0f, l1 * l1 - a * a));
    V3 perp = normalize(pole - u * dot(pole, u));
    return s + u * a + perp * hgt;
}

V3 reach(V3 s, V3 h, float total) {
    V3 d = h - s;
    float l = length(d);
    return l > total * 0.999f ? s + d * (total * 0.999f / l) : h;
}

struct Mats {
    int primary, secondary, trim, skin, metal, glow, dark, blood, visor, flash, trail;
};

Mats makeMats(Scene& s, const UnitLook& k, bool wreck) {
    float dim = wreck ? 0.55f : 1.0f;
    const Palette& p = k.pal;
    Mats m{};
    Pattern armour = p.alien ? Pattern::Carapace : Pattern::Panels;
    m.primary = s.material({p.primary * dim, 0.0f, 0.35f, armour, p.glow});
    m.secondary = s.material({p.secondary * dim, 0.0f, 0.1f, Pattern::Mottled, {}});
    m.trim = s.material({k.accent * dim, 0.0f, 0.4f, Pattern::Plain, {}});
    m.skin = s.material({p.skin * dim, 0.0f, 0.05f, Pattern::Mottled, {}});
    m.metal = s.material({p.metal * dim, 0.0f, 0.8f, Pattern::Plain, {}});
    m.glow = s.material({p.glow, wreck ? 0.2f : 0.9f, 0.0f, Pattern::Plain, {}});
    m.dark = s.material({p.dark * dim, 0.0f, 0.2f, Pattern::Plain, {}});
    m.blood = s.material({p.blood, 0.1f, 0.6f, Pattern::Plain, {}});
    m.visor = s.material({p.alien ? p.glow : Rgb{0.55f, 0.9f, 1.0f}, wreck ? 0.1f : 0.75f, 0.9f, Pattern::Plain, {}});
    m.flash = s.material({{1.0f, 0.9f, 0.45f}, 1.0f, 0.0f, Pattern::Plain, {}});
    m.trail = s.material({p.alien ? p.glow : Rgb{0.95f, 0.97f, 1.0f}, 0.85f, 0.0f, Pattern::Plain, {}});
    return m;
}

void bloodPool(Scene& s, const Mats& m, float r) { s.ellipsoid({0.0f, 0.0f, 0.0f}, {r, r * 0.85f, 0.02f}, m.blood); }

// Lays a standing model down on its back; the caller builds it afterwards.
void lieDown(Scene& s, float thickness) {
    Xform lying{rotY(-kTau / 4.0f), 1.0f, {0.45f, 0.0f, thickness}};
    s.xf = lying.then(s.xf);
}

void muzzleFlash(Scene& s, const Mats& m, V3 at, float r) {
    s.sphere(at, r * 0.55f, m.flash);
    s.capsule(at - V3{r * 0.2f, 0, 0}, at + V3{r * 1.3f, 0, 0}, r * 0.18f, m.flash);
    s.capsule(at - V3{0, r, 0}, at + V3{0, r, 0}, r * 0.14f, m.flash);
    s.capsule(at - V3{0, 0, r * 0.8f}, at + V3{0, 0, r * 0.8f}, r * 0.14f, m.flash);
}

// The melee swing: hand path from wind-up behind the head through the strike to the follow-through.
V3 swingHand(float t, V3 rest) {
    const V3 windup{-0.08f, 0.2f, 1.05f}, strike{0.48f, 0.04f, 0.42f};
    if (t < 0.35f) return lerp3(rest, windup, smoothstep(0.0f, 0.35f, t));
    if (t < 0.65f) return lerp3(windup, strike, smoothstep(0.35f, 0.65f, t));
    return lerp3(strike, rest, smoothstep(0.65f, 1.0f, t));
}

struct Body {
    float bob = 0.0f;
    float legSwing = 0.0f;
    V3 shoulderL, shoulderR, hip;
};

void legs(Scene& s, const Mats& m, const UnitLook& k, const Pose& p, float bulk, bool digitigrade) {
    float ph = p.walk * kTau;
    for (int side = 0; side < 2; ++side) {
        float sgn = side == 0 ? -1.0f : 1.0f;
        float swing = p.moving ? std::sin(ph + side * kTau / 2.0f) * 0.6f : (p.corpse ? 0.15f * sgn : 0.0f);
        float lift = p.moving ? std::max(0.0f, std::cos(ph + side * kTau / 2.0f)) * 0.5f : 0.05f;
        V3 hip{0.0f, sgn * 0.085f * bulk, 0.46f};
        V3 knee = hip + V3{std::sin(swing) * 0.23f, 0.0f, -std::cos(swing) * 0.23f};
        float shin = swing - lift;
        if (digitigrade) {
            // Reverse-jointed alien legs: knee forward, hock back, then the foot.
            knee = hip + V3{std::sin(swing) * 0.2f + 0.08f, 0.0f, -0.16f};
            V3 hock = knee + V3{std::sin(shin) * 0.12f - 0.1f, 0.0f, -0.16f};
            V3 foot = hock + V3{std::sin(swing) * 0.12f + 0.03f, 0.0f, -0.13f};
            foot.z = std::max(foot.z, 0.03f + (p.moving ? lift * 0.08f : 0.0f));
            s.capsule(hip, knee, 0.055f * bulk, m.primary);
            s.capsule(knee, hock, 0.04f * bulk, m.secondary);
            s.capsule(hock, foot, 0.035f * bulk, m.primary);
            s.ellipsoid(foot + V3{0.05f, 0, -0.01f}, {0.07f, 0.035f * bulk, 0.025f}, m.dark);
            continue;
        }
        V3 ankle = knee + V3{std::sin(shin) * 0.22f, 0.0f, -std::cos(shin) * 0.22f};
        ankle.z = std::max(ankle.z, 0.045f);
        s.capsule(hip, knee, 0.058f * bulk, k.plan == BodyPlan::Civilian ? m.secondary : m.primary);
        s.capsule(knee, ankle, 0.048f * bulk, m.secondary);
        s.ellipsoid(ankle + V3{0.04f, 0.0f, -0.02f}, {0.075f, 0.045f * bulk, 0.035f}, m.dark);
    }
}

// Arm from shoulder to a hand target, elbow pushed down and out.
V3 arm(Scene& s, int sleeve, int hand, V3 shoulder, V3 target, float bulk, float side) {
    V3 h = reach(shoulder, target, 0.37f);
    V3 e = elbowIK(shoulder, h, 0.19f, 0.18f, {-0.3f, side * 0.6f, -1.0f});
    s.capsule(shoulder, e, 0.048f * bulk, sleeve);
    s.capsule(e, h, 0.042f * bulk, sleeve);
    s.sphere(h, 0.045f * bulk, hand);
    return h;
}

void humanoidTorso(Scene& s, const Mats& m, const UnitLook& k, const Body& b, float bulk) {
    bool alien = k.pal.alien;
    float z = b.bob;
    s.ellipsoid({0.0f, 0.0f, 0.5f + z}, {0.1f, 0.13f * bulk, 0.08f}, m.dark);
    if (alien) {
        // Hunched, ribbed torso with a ridge of spines.
        s.ellipsoid({0.02f, 0.0f, 0.64f + z}, {0.13f, 0.15f * bulk, 0.16f}, m.primary, rotY(0.35f));
        for (int i = 0; i < 3; ++i)
            s.prism({-0.1f + i * 0.02f, 0.0f, 0.62f + i * 0.08f + z}, {-0.22f + i * 0.02f, 0.0f, 0.7f + i * 0.1f + z}, 0.03f, 0.0f, 5, m.secondary);
    } else {
        s.ellipsoid({0.0f, 0.0f, 0.64f + z}, {0.12f, 0.16f * bulk, 0.17f}, k.plan == BodyPlan::Civilian ? m.secondary : m.primary);
        if (k.plan != BodyPlan::Civilian) {
            s.ellipsoid({0.06f, 0.0f, 0.66f + z}, {0.08f, 0.13f * bulk, 0.12f}, m.trim);
            // Heavier types wear bigger pauldrons.
            float pad = (k.seed >> 3) % 2 ? 0.085f : 0.065f;
            s.sphere(b.shoulderL + V3{0, 0, 0.02f}, pad * bulk, (k.seed >> 4) % 2 ? m.trim : m.primary);
            s.sphere(b.shoulderR + V3{0, 0, 0.02f}, pad * bulk, (k.seed >> 4) % 2 ? m.trim : m.primary);
        }
    }
}

void humanoidHead(Scene& s, const Mats& m, const UnitLook& k, float z, bool hardHat) {
    if (k.pal.alien) {
        // Elongated skull swept back into a crest, two glowing eyes in front.
        s.ellipsoid({0.05f, 0.0f, 0.88f + z}, {0.11f, 0.08f, 0.08f}, m.primary, rotY(-0.3f));
        s.prism({-0.02f, 0.0f, 0.92f + z}, {-0.2f, 0.0f, 1.02f + z}, 0.05f, 0.0f, 4, m.secondary);
        s.sphere({0.13f, 0.035f, 0.9f + z}, 0.022f, m.visor);
        s.sphere({0.13f, -0.035f, 0.9f + z}, 0.022f, m.visor);
        s.ellipsoid({0.15f, 0.0f, 0.83f + z}, {0.04f, 0.05f, 0.025f}, m.dark);
        return;
    }
    s.sphere({0.01f, 0.0f, 0.87f + z}, 0.085f, m.skin);
    if (hardHat) {
        s.ellipsoid({0.01f, 0.0f, 0.93f + z}, {0.1f, 0.1f, 0.06f}, m.trim);
        s.ellipsoid({0.05f, 0.0f, 0.905f + z}, {0.1f, 0.1f, 0.015f}, m.trim);
        return;
    }
    if (k.plan == BodyPlan::Civilian) {
        s.ellipsoid({-0.01f, 0.0f, 0.92f + z}, {0.09f, 0.09f, 0.05f}, m.dark);
        return;
    }
    // Helmet with a glowing visor that shows where the soldier looks; its crest differs per unit type.
    s.ellipsoid({0.0f, 0.0f, 0.9f + z}, {0.105f, 0.1f, 0.095f}, m.primary);
    s.box({0.085f, 0.0f, 0.885f + z}, {0.03f, 0.075f, 0.022f}, m.visor);
    switch (k.seed % 3) {
        case 0: s.capsule({-0.02f, 0.0f, 0.99f + z}, {-0.1f, 0.0f, 0.96f + z}, 0.02f, m.trim); break;
        case 1: s.capsule({-0.04f, 0.07f, 0.95f + z}, {-0.08f, 0.09f, 1.12f + z}, 0.008f, m.metal); break;
        default: s.ellipsoid({0.0f, 0.0f, 0.955f + z}, {0.06f, 0.105f, 0.03f}, m.trim); break;
    }
}

void humanoid(Scene& s, const UnitLook& k, const Pose& p) {
    Mats m = makeMats(s, k, false);
    bool alien = k.pal.alien;
    float bulk = k.plan == BodyPlan::Brute ? 1.45f : (alien ? 0.9f : 1.0f);
    if (p.corpse) {
        bloodPool(s, m, 0.32f);
        lieDown(s, 0.1f);
    }
    Body b;
    float ph = p.walk * kTau;
    b.bob = p.moving ? std::fabs(std::cos(ph)) * 0.03f : 0.0f;
    b.shoulderL = {0.0f, -0.19f * bulk, 0.74f + b.bob};
    b.shoulderR = {0.0f, 0.19f * bulk, 0.74f + b.bob};
    legs(s, m, k, p, bulk, alien);
    humanoidTorso(s, m, k, b, bulk);
    bool worker = k.plan == BodyPlan::Worker;
    humanoidHead(s, m, k, b.bob, worker && !alien);
    if (worker || k.plan == BodyPlan::Soldier) {
        // Pack on the back: facing reads from behind, too.
        s.box({-0.15f, 0.0f, 0.66f + b.bob}, {0.06f, 0.1f * bulk, 0.11f}, worker ? m.secondary : m.dark);
        if (worker) s.prism({-0.2f, 0.07f, 0.55f + b.bob}, {-0.2f, 0.07f, 0.8f + b.bob}, 0.035f, 0.035f, 8, m.metal);
    }

    float swingArm = p.moving ? std::sin(ph) * 0.16f : 0.0f;
    V3 restL = b.shoulderL + V3{-swingArm, -0.03f, -0.34f};
    V3 restR = b.shoulderR + V3{swingArm, 0.03f, -0.34f};
    int sleeve = k.plan == BodyPlan::Civilian ? m.secondary : m.primary;
    int hand = alien ? m.primary : m.skin;
    Weapon w = k.weapon;
    if (k.carrying) {
        // Both arms hug a glowing load in front of the chest.
        V3 load{0.2f, 0.0f, 0.6f + b.bob};
        arm(s, sleeve, hand, b.shoulderL, load + V3{0, -0.08f, 0}, bulk, -1.0f);
        arm(s, sleeve, hand, b.shoulderR, load + V3{0, 0.08f, 0}, bulk, 1.0f);
        int crystal = s.material({{0.45f, 0.95f, 1.0f}, 0.7f, 0.9f, Pattern::Crystal, {0.85f, 1.0f, 1.0f}});
        s.prism(load - V3{0, 0, 0.08f}, load + V3{0.02f, 0, 0.1f}, 0.08f, 0.02f, 6, crystal);
        s.prism(load + V3{0, 0.06f, -0.04f}, load + V3{0.05f, 0.1f, 0.08f}, 0.05f, 0.0f, 5, crystal);
        return;
    }
    switch (w) {
        case Weapon::Rifle:
        case Weapon::Spitter:
        case Weapon::Cannon: {
            bool firing = p.attacking;
            float recoil = firing && p.attack < 0.3f ? -0.05f : 0.0f;
            float raise = firing ? 0.06f : 0.0f;
            float lenGun = w == Weapon::Cannon ? 0.42f : 0.5f;
            V3 back{0.02f + recoil, 0.07f, 0.62f + b.bob + raise};
            V3 tip{back.x + lenGun, 0.0f, back.z + 0.03f};
            arm(s, sleeve, hand, b.shoulderR, back + V3{0.1f, 0.0f, -0.03f}, bulk, 1.0f);
            arm(s, sleeve, hand, b.shoulderL, lerp3(back, tip, 0.55f) + V3{0.0f, -0.02f, -0.03f}, bulk, -1.0f);
            if (w == Weapon::Spitter) {
                int sac = s.material({k.pal.glow, 0.55f, 0.6f, Pattern::Mottled, {}});
                s.ellipsoid(lerp3(back, tip, 0.4f), {0.2f, 0.06f, 0.06f}, m.secondary);
                s.sphere(lerp3(back, tip, 0.35f) + V3{0, 0, 0.05f}, 0.06f, sac);
                s.prism(lerp3(back, tip, 0.6f), tip, 0.04f, 0.025f, 6, m.primary);
            } else {
                s.box(lerp3(back, tip, 0.3f), {0.14f, 0.03f, 0.045f}, m.dark);
                s.prism(lerp3(back, tip, 0.45f), tip, w == Weapon::Cannon ? 0.05f : 0.022f, w == Weapon::Cannon ? 0.045f : 0.018f, 8, m.metal);
                s.box(lerp3(back, tip, 0.25f) + V3{0, 0, -0.06f}, {0.025f, 0.02f, 0.05f}, m.dark);
            }
            if (firing && p.attack < 0.5f) muzzleFlash(s, m, tip + V3{0.04f, 0, 0}, w == Weapon::Cannon ? 0.14f : 0.1f);
            break;
        }
        case Weapon::Staff: {
            V3 h = p.attacking ? V3{0.22f, 0.2f, 0.95f + b.bob} : restR + V3{0.1f, 0.0f, 0.06f};
            V3 hr = arm(s, sleeve, hand, b.shoulderR, h, bulk, 1.0f);
            arm(s, sleeve, hand, b.shoulderL, restL, bulk, -1.0f);
            s.capsule(hr + V3{0, 0, -0.35f}, hr + V3{0, 0, 0.3f}, 0.018f, m.dark);
            s.sphere(hr + V3{0, 0, 0.34f}, p.attacking ? 0.075f : 0.05f, m.glow);
            break;
        }
        case Weapon::Sword:
        case Weapon::Axe:
        case Weapon::Pick:
        case Weapon::Blades: {
            V3 rest = restR + V3{0.12f, 0.02f, 0.12f};
            V3 target = p.attacking ? swingHand(p.attack, rest) : rest;
            V3 hr = arm(s, sleeve, hand, b.shoulderR, target + V3{0, 0, b.bob}, bulk, 1.0f);
            V3 dir = normalize(hr - b.shoulderR + V3{0.25f, 0.0f, 0.35f});
            if (w == Weapon::Blades) {
                // Bone blades grow from both forearms.
                s.prism(hr, hr + dir * 0.42f, 0.035f, 0.0f, 4, m.secondary);
                V3 tl = p.attacking ? swingHand(std::fmod(p.attack + 0.5f, 1.0f), restL + V3{0.12f, -0.02f, 0.12f}) : restL + V3{0.12f, -0.02f, 0.12f};
                tl.y = -std::fabs(tl.y);
                V3 hl = arm(s, sleeve, hand, b.shoulderL, tl + V3{0, 0, b.bob}, bulk, -1.0f);
                s.prism(hl, hl + normalize(hl - b.shoulderL + V3{0.25f, 0, 0.35f}) * 0.42f, 0.035f, 0.0f, 4, m.secondary);
            } else {
                arm(s, sleeve, hand, b.shoulderL, restL, bulk, -1.0f);
                float len = w == Weapon::Sword ? 0.42f : 0.36f;
                s.capsule(hr - dir * 0.05f, hr + dir * len, w == Weapon::Sword ? 0.022f : 0.016f, w == Weapon::Sword ? m.metal : m.dark);
                V3 headAt = hr + dir * len;
                V3 side = normalize(cross(dir, {0, 1, 0}));
                if (w == Weapon::Axe) s.box(headAt - dir * 0.05f + side * 0.04f, {0.04f, 0.015f, 0.06f}, m.metal);
                if (w == Weapon::Pick) s.capsule(headAt + side * 0.12f, headAt - side * 0.09f, 0.02f, m.metal);
            }
            if (p.attacking && p.attack > 0.4f && p.attack < 0.75f) {
                // A bright arc trails the strike so the swing reads at a glance.
                for (int i = 0; i < 5; ++i) {
                    float t0 = 0.35f + i * 0.06f;
                    V3 a = swingHand(t0, rest) + V3{0.15f, 0.0f, 0.1f};
                    V3 c = swingHand(t0 + 0.06f, rest) + V3{0.15f, 0.0f, 0.1f};
                    s.capsule(a, c, 0.012f, m.trail);
                }
            }
            break;
        }
        case Weapon::None: {
            V3 tl = restL, tr = restR;
            if (p.attacking) tr = swingHand(p.attack, restR + V3{0.1f, 0, 0.1f});
            arm(s, sleeve, hand, b.shoulderL, tl, bulk, -1.0f);
            arm(s, sleeve, hand, b.shoulderR, tr, bulk, 1.0f);
            break;
        }
    }
}

void quadruped(Scene& s, const UnitLook& k, const Pose& p) {
    Mats m = makeMats(s, k, false);
    if (p.corpse) {
        bloodPool(s, m, 0.32f);
        Xform side{rotX(kTau / 4.0f), 1.0f, {0.0f, 0.0f, 0.16f}};
        s.xf = side.then(s.xf);
    }
    bool sheep = k.plan == BodyPlan::Sheep, boar = k.plan == BodyPlan::Boar;
    int body = sheep ? s.material({{0.93f, 0.92f, 0.86f}, 0.0f, 0.0f, Pattern::Fur, {}})
                     : boar ? s.material({{0.42f, 0.3f, 0.22f}, 0.0f, 0.05f, Pattern::Fur, {}}) : m.primary;
    int head = sheep ? m.dark : body;
    float ph = p.walk * kTau;
    float lunge = p.attacking ? std::sin(p.attack * kTau / 2.0f) * 0.12f : 0.0f;
    float bob = p.moving ? std::fabs(std::sin(ph)) * 0.03f : 0.0f;
    float hz = 0.38f + bob;
    s.ellipsoid({lunge, 0.0f, hz}, {0.3f, 0.17f, 0.15f}, body);
    for (int i = 0; i < 4; ++i) {
        float fx = i < 2 ? 0.18f : -0.18f, fy = (i % 2 == 0) ? -0.1f : 0.1f;
        float sw = p.moving ? std::sin(ph + ((i == 0 || i == 3) ? 0.0f : kTau / 2.0f)) * 0.45f : 0.0f;
        V3 top{fx + lunge, fy, hz - 0.05f};
        V3 foot = top + V3{std::sin(sw) * 0.28f, 0.0f, -std::cos(sw) * 0.3f};
        s.capsule(top, foot, 0.04f, sheep ? m.dark : body);
    }
    V3 h{0.34f + lunge * 1.6f, 0.0f, hz + 0.08f - (p.attacking ? lunge : 0.0f)};
    s.ellipsoid(h, {0.13f, 0.08f, 0.08f}, head, rotY(0.3f));
    s.sphere(h + V3{0.08f, 0.045f, 0.03f}, 0.018f, k.pal.alien ? m.visor : m.dark);
    s.sphere(h + V3{0.08f, -0.045f, 0.03f}, 0.018f, k.pal.alien ? m.visor : m.dark);
    if (boar) {
        s.prism(h + V3{0.08f, 0.05f, -0.03f}, h + V3{0.16f, 0.07f, 0.05f}, 0.015f, 0.0f, 5, m.secondary);
        s.prism(h + V3{0.08f, -0.05f, -0.03f}, h + V3{0.16f, -0.07f, 0.05f}, 0.015f, 0.0f, 5, m.secondary);
        s.ellipsoid({0.0f + lunge, 0.0f, hz + 0.14f}, {0.22f, 0.04f, 0.05f}, m.dark);
    }
    if (sheep) {
        s.ellipsoid(h + V3{-0.02f, 0.08f, 0.02f}, {0.05f, 0.03f, 0.02f}, m.dark);
        s.ellipsoid(h + V3{-0.02f, -0.08f, 0.02f}, {0.05f, 0.03f, 0.02f}, m.dark);
    }
    if (!sheep && !boar) {
        // Alien beast: spines along the back and glowing mouth when it strikes.
        for (int i = 0; i < 4; ++i)
            s.prism({-0.18f + i * 0.12f + lunge, 0.0f, hz + 0.12f}, {-0.24f + i * 0.12f + lunge, 0.0f, hz + 0.28f}, 0.035f, 0.0f, 4, m.secondary);
        s.capsule({-0.28f + lunge, 0.0f, hz}, {-0.5f + lunge, 0.0f, hz - 0.05f + bob}, 0.05f, body);
        if (p.attacking) s.sphere(h + V3{0.13f, 0.0f, -0.02f}, 0.05f, m.glow);
    }
}

void insect(Scene& s, const UnitLook& k, const Pose& p) {
    Mats m = makeMats(s, k, false);
    if (p.corpse) {
        bloodPool(s, m, 0.25f);
        Xform flip{rotX(kTau / 2.0f), 1.0f, {0.0f, 0.0f, 0.2f}};
        s.xf = flip.then(s.xf);
    }
    float ph = p.walk * kTau;
    float lunge = p.attacking ? std::sin(p.attack * kTau / 2.0f) * 0.1f : 0.0f;
    float z = 0.22f;
    bool worker = k.plan == BodyPlan::Worker;
    s.ellipsoid({-0.2f, 0.0f, z + 0.04f}, {0.17f, 0.12f, 0.1f}, m.primary);
    if (worker) {
        // Drones haul amber and crystal in a glowing sac on the back.
        int sac = s.material({k.carrying ? Rgb{0.45f, 0.95f, 1.0f} : k.pal.glow * 0.8f, k.carrying ? 0.8f : 0.45f, 0.7f, Pattern::Mottled, {}});
        s.ellipsoid({-0.24f, 0.0f, z + 0.17f}, {0.14f, 0.11f, 0.1f}, sac);
    }
    s.ellipsoid({0.02f + lunge * 0.5f, 0.0f, z}, {0.1f, 0.09f, 0.08f}, m.secondary);
    V3 h{0.16f + lunge, 0.0f, z + 0.01f};
    s.sphere(h, 0.075f, m.primary);
    s.sphere(h + V3{0.05f, 0.04f, 0.03f}, 0.02f, m.visor);
    s.sphere(h + V3{0.05f, -0.04f, 0.03f}, 0.02f, m.visor);
    float open = p.attacking ? 0.06f : 0.02f;
    s.capsule(h + V3{0.04f, 0.03f, -0.03f}, h + V3{0.13f, open, -0.04f}, 0.014f, m.secondary);
    s.capsule(h + V3{0.04f, -0.03f, -0.03f}, h + V3{0.13f, -open, -0.04f}, 0.014f, m.secondary);
    for (int i = 0; i < 6; ++i) {
        float side = (i % 2 == 0) ? -1.0f : 1.0f;
        float fx = 0.08f - (i / 2) * 0.1f;
        float sw = p.moving ? std::sin(ph + (((i / 2) + i) % 2) * kTau / 2.0f) * 0.07f : 0.0f;
        V3 root{fx, side * 0.06f, z};
        V3 knee{fx + sw, side * 0.2f, z + 0.1f};
        V3 foot{fx + sw * 1.5f, side * 0.27f, 0.0f};
        s.capsule(root, knee, 0.018f, m.dark);
        s.capsule(knee, foot, 0.014f, m.dark);
    }
}

void wraith(Scene& s, const UnitLook& k, const Pose& p) {
    Mats m = makeMats(s, k, false);
    if (p.corpse) {
        // A fading puddle of ichor and a torn robe.
        bloodPool(s, m, 0.3f);
        s.ellipsoid({0.0f, 0.0f, 0.03f}, {0.25f, 0.18f, 0.04f}, m.primary);
        s.sphere({0.1f, 0.0f, 0.05f}, 0.04f, m.glow);
        return;
    }
    float hover = 0.18f + 0.04f * std::sin(p.walk * kTau + p.frame * 0.7f);
    s.prism({0.0f, 0.0f, hover}, {0.0f, 0.0f, hover + 0.55f}, 0.2f, 0.07f, 7, m.primary);
    s.sphere({0.02f, 0.0f, hover + 0.62f}, 0.12f, m.primary);
    s.ellipsoid({0.1f, 0.0f, hover + 0.63f}, {0.04f, 0.07f, 0.05f}, m.dark);
    s.sphere({0.13f, 0.0f, hover + 0.64f}, 0.035f, m.visor);
    for (int i = 0; i < 5; ++i) {
        float a = i * kTau / 5.0f;
        float wave = std::sin(p.walk * kTau + i * 1.3f + p.frame) * 0.06f;
        V3 root{std::cos(a) * 0.12f, std::sin(a) * 0.12f, hover + 0.02f};
        V3 mid = root + V3{std::cos(a) * 0.08f + wave, std::sin(a) * 0.08f, -0.1f};
        V3 tip = mid + V3{std::cos(a) * 0.05f - wave, std::sin(a) * 0.05f + wave, -0.08f};
        s.capsule(root, mid, 0.028f, m.secondary);
        s.capsule(mid, tip, 0.018f, m.glow);
    }
    float reachOut = p.attacking ? std::sin(p.attack * kTau / 2.0f) : 0.0f;
    for (int side = -1; side <= 1; side += 2) {
        V3 sh{0.02f, side * 0.15f, hover + 0.48f};
        V3 tip = sh + V3{0.15f + reachOut * 0.25f, side * 0.1f, -0.1f + reachOut * 0.08f};
        s.capsule(sh, tip, 0.03f, m.primary);
        if (p.attacking) s.sphere(tip, 0.05f, m.glow);
    }
}

void tank(Scene& s, const UnitLook& k, const Pose& p) {
    Mats m = makeMats(s, k, p.corpse);
    float roll = p.moving ? std::sin(p.walk * kTau * 2.0f) * 0.008f : 0.0f;
    if (p.corpse) {
        Xform tilt{rotX(0.12f), 1.0f, {0.0f, 0.0f, 0.0f}};
        s.xf = tilt.then(s.xf);
    }
    for (int side = -1; side <= 1; side += 2) {
        s.box({0.0f, side * 0.22f, 0.08f}, {0.36f, 0.08f, 0.08f}, m.dark);
        for (int i = 0; i < 5; ++i) {
            // Road wheels; their hub bolt turns as the tank rolls.
            float x = -0.28f + i * 0.14f;
            float a = p.walk * kTau + i;
            s.prism({x, side * 0.31f, 0.07f}, {x, side * 0.3f, 0.07f}, 0.06f, 0.06f, 10, m.metal);
            s.sphere({x + std::cos(a) * 0.035f, side * 0.315f, 0.07f + std::sin(a) * 0.035f}, 0.014f, m.dark);
        }
    }
    s.box({0.0f, 0.0f, 0.2f + roll}, {0.34f, 0.2f, 0.07f}, m.primary);
    s.box({0.3f, 0.0f, 0.18f + roll}, {0.06f, 0.18f, 0.05f}, m.trim);
    float turn = p.corpse ? 0.7f : 0.0f;
    float recoil = p.attacking && p.attack < 0.35f ? -0.07f : 0.0f;
    Xform turret{rotZ(turn), 1.0f, {-0.03f, 0.0f, 0.3f + roll}};
    Xform saved = s.xf;
    s.xf = turret.then(saved);
    s.prism({0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.11f}, 0.17f, 0.13f, 8, m.primary, 0.39f);
    s.box({0.0f, 0.0f, 0.125f}, {0.06f, 0.05f, 0.02f}, m.visor);
    s.prism({0.12f + recoil, 0.0f, 0.06f}, {0.52f + recoil, 0.0f, 0.07f}, 0.035f, 0.03f, 8, m.metal);
    if (p.attacking && p.attack < 0.45f) muzzleFlash(s, m, {0.58f + recoil, 0.0f, 0.07f}, 0.16f);
    s.xf = saved;
    if (p.corpse) {
        int fire = s.material({{1.0f, 0.55f, 0.15f}, 1.0f, 0.0f, Pattern::Plain, {}});
        s.sphere({0.05f, 0.05f, 0.36f}, 0.07f, fire);
        s.sphere({-0.1f, -0.05f, 0.32f}, 0.05f, fire);
        int smoke = s.material({{0.15f, 0.14f, 0.14f}, 0.0f, 0.0f, Pattern::Mottled, {}});
        s.sphere({0.0f, 0.0f, 0.55f}, 0.1f, smoke);
        s.sphere({-0.05f, 0.03f, 0.72f}, 0.08f, smoke);
    }
}

void artillery(Scene& s, const UnitLook& k, const Pose& p) {
    Mats m = makeMats(s, k, p.corpse);
    if (p.corpse) {
        Xform tilt{rotX(0.35f), 1.0f, {0.0f, 0.0f, 0.04f}};
        s.xf = tilt.then(s.xf);
    }
    for (int side = -1; side <= 1; side += 2) {
        for (int i = 0; i < 2; ++i) {
            float x = i == 0 ? 0.18f : -0.2f;
            s.prism({x, side * 0.24f, 0.13f}, {x, side * 0.2f, 0.13f}, 0.13f, 0.13f, 12, m.dark, p.walk * kTau);
            s.box({x, side * 0.245f, 0.13f}, {0.1f, 0.01f, 0.015f}, m.metal, rotY(p.walk * kTau + i));
        }
    }
    s.box({0.0f, 0.0f, 0.2f}, {0.32f, 0.16f, 0.05f}, m.primary);
    s.box({-0.22f, 0.0f, 0.3f}, {0.1f, 0.14f, 0.08f}, m.trim);
    float recoil = p.attacking && p.attack < 0.35f ? -0.08f : 0.0f;
    V3 breech{-0.05f + recoil, 0.0f, 0.3f}, muzzle{0.5f + recoil, 0.0f, 0.62f};
    s.prism(breech, muzzle, 0.07f, 0.05f, 8, m.metal);
    s.prism(breech - V3{0.04f, 0, 0.02f}, breech + V3{0.08f, 0, 0.05f}, 0.1f, 0.09f, 8, m.primary);
    if (p.attacking && p.attack < 0.45f) muzzleFlash(s, m, muzzle + V3{0.05f, 0, 0.04f}, 0.18f);
}

void aircraft(Scene& s, const UnitLook& k, const Pose& p) {
    Mats m = makeMats(s, k, p.corpse);
    float z = p.corpse ? 0.08f : 0.42f + 0.02f * std::sin(p.walk * kTau);
    if (p.corpse) {
        Xform crash{rotX(0.4f) * rotY(0.15f), 1.0f, {0.0f, 0.0f, 0.0f}};
        s.xf = crash.then(s.xf);
    }
    s.ellipsoid({0.0f, 0.0f, z}, {0.42f, 0.09f, 0.08f}, m.primary);
    s.ellipsoid({0.17f, 0.0f, z + 0.06f}, {0.12f, 0.055f, 0.05f}, m.visor);
    // Swept wings as thin slabs.
    for (int side = -1; side <= 1; side += 2) {
        // Swept-back wings with bright tips.
        s.box({-0.08f, side * 0.22f, z - 0.01f}, {0.13f, 0.2f, 0.015f}, m.primary, rotZ(side * 0.5f));
        s.box({-0.2f, side * 0.4f, z - 0.01f}, {0.06f, 0.035f, 0.02f}, m.trim, rotZ(side * 0.5f));
        s.box({-0.35f, side * 0.1f, z + 0.04f}, {0.06f, 0.08f, 0.012f}, m.primary, rotZ(side * 0.5f));
        if (p.attacking && (p.attack < 0.3f || (p.attack > 0.5f && p.attack < 0.8f)))
            muzzleFlash(s, m, {0.1f, side * 0.3f, z - 0.02f}, 0.08f);
    }
    s.box({-0.34f, 0.0f, z + 0.12f}, {0.07f, 0.012f, 0.09f}, m.primary, rotY(0.4f));
    int flame = s.material({{0.5f, 0.8f, 1.0f}, 1.0f, 0.0f, Pattern::Plain, {}});
    if (!p.corpse) s.ellipsoid({-0.46f - 0.03f * (p.frame % 2), 0.0f, z}, {0.07f + 0.03f * (p.frame % 2), 0.04f, 0.04f}, flame);
}

void airship(Scene& s, const UnitLook& k, const Pose& p) {
    Mats m = makeMats(s, k, p.corpse);
    float z = p.corpse ? 0.12f : 0.62f + 0.02f * std::sin(p.walk * kTau);
    if (p.corpse) {
        Xform sag{rotY(0.25f), 1.0f, {0.0f, 0.0f, 0.0f}};
        s.xf = sag.then(s.xf);
    }
    int envelope = s.material({k.pal.secondary, 0.0f, 0.15f, Pattern::Stripes, k.pal.primary});
    s.ellipsoid({0.0f, 0.0f, z}, {0.45f, 0.2f, 0.18f}, envelope);
    s.box({0.0f, 0.0f, z - 0.25f}, {0.16f, 0.08f, 0.06f}, m.primary);
    s.box({0.12f, 0.0f, z - 0.25f}, {0.03f, 0.06f, 0.03f}, m.visor);
    for (int side = -1; side <= 1; side += 2) s.box({-0.4f, side * 0.12f, z + 0.05f}, {0.07f, 0.08f, 0.01f}, m.trim, rotX(side * 0.5f));
    float spin = p.walk * kTau * 3.0f + p.frame;
    V3 hub{-0.5f, 0.0f, z - 0.05f};
    s.sphere(hub, 0.03f, m.metal);
    for (int i = 0; i < 3; ++i) {
        float a = spin + i * kTau / 3.0f;
        s.capsule(hub, hub + V3{0.0f, std::cos(a) * 0.12f, std::sin(a) * 0.12f}, 0.012f, m.dark);
    }
}

void winged(Scene& s, const UnitLook& k, const Pose& p, bool bird) {
    Mats m = makeMats(s, k, false);
    float sz = bird ? 0.85f : 1.0f;
    float z = p.corpse ? 0.08f : (bird ? 0.5f : 0.45f) + 0.04f * std::sin(p.walk * kTau);
    if (p.corpse) bloodPool(s, m, 0.25f * sz);
    int body = bird ? s.material({{0.88f, 0.88f, 0.84f}, 0.0f, 0.1f, Pattern::Fur, {}}) : m.primary;
    int wing = bird ? s.material({{0.55f, 0.56f, 0.6f}, 0.0f, 0.1f, Pattern::Fur, {}}) : m.secondary;
    s.ellipsoid({0.0f, 0.0f, z}, V3{0.25f, 0.12f, 0.11f} * sz, body);
    V3 neck{0.22f * sz, 0.0f, z + 0.12f * sz};
    if (!bird) s.capsule({0.1f, 0.0f, z + 0.04f}, neck, 0.06f, body);
    V3 head = neck + V3{0.08f, 0.0f, 0.02f} * sz;
    s.ellipsoid(head, V3{0.1f, 0.06f, 0.06f} * sz, body);
    s.sphere(head + V3{0.05f, 0.035f, 0.02f} * sz, 0.018f * sz, bird ? m.dark : m.visor);
    s.sphere(head + V3{0.05f, -0.035f, 0.02f} * sz, 0.018f * sz, bird ? m.dark : m.visor);
    if (bird) s.prism(head + V3{0.07f, 0, 0} * sz, head + V3{0.14f, 0, -0.01f} * sz, 0.02f, 0.0f, 4, s.material({{0.95f, 0.7f, 0.2f}, 0.0f, 0.2f, Pattern::Plain, {}}));
    s.capsule({-0.2f * sz, 0.0f, z}, {-0.45f * sz, 0.0f, z - 0.04f * sz}, 0.05f * sz, body);
    float flap = p.corpse ? -0.1f : std::sin(p.walk * kTau + p.frame * 0.9f) * 0.7f;
    for (int side = -1; side <= 1; side += 2) {
        V3 root{0.0f, side * 0.08f * sz, z + 0.04f * sz};
        V3 tip = root + V3{-0.1f * sz, side * std::cos(flap) * 0.45f * sz, std::sin(flap) * 0.35f * sz};
        s.capsule(root, tip, 0.02f * sz, wing);
        s.ellipsoid(lerp3(root, tip, 0.5f), V3{0.15f * sz, std::fabs(tip.y - root.y) * 0.5f, 0.02f}, wing,
                    rotX(side * std::atan2(tip.z - root.z, std::fabs(tip.y - root.y) + 1e-3f)));
    }
    if (!bird && p.attacking && p.attack < 0.7f) {
        for (int i = 0; i < 4; ++i) s.sphere(head + V3{0.15f + i * 0.1f, 0.0f, -0.05f * i}, 0.05f + i * 0.02f, m.glow);
    }
}

void boat(Scene& s, const UnitLook& k, const Pose& p) {
    Mats m = makeMats(s, k, p.corpse);
    if (p.corpse) {
        Xform sink{rotX(0.5f) * rotY(-0.2f), 1.0f, {0.0f, 0.0f, -0.08f}};
        s.xf = sink.then(s.xf);
    }
    int hull = s.material({k.pal.primary * 0.8f, 0.0f, 0.3f, Pattern::Planks, {}});
    s.box({-0.05f, 0.0f, 0.08f}, {0.32f, 0.17f, 0.08f}, hull);
    s.prism({0.27f, 0.0f, 0.08f}, {0.5f, 0.0f, 0.1f}, 0.17f, 0.01f, 4, hull, 0.785f);
    s.box({-0.05f, 0.0f, 0.17f}, {0.34f, 0.15f, 0.01f}, m.secondary);
    s.box({-0.15f, 0.0f, 0.26f}, {0.1f, 0.09f, 0.08f}, m.trim);
    s.box({-0.08f, 0.0f, 0.3f}, {0.01f, 0.07f, 0.025f}, m.visor);
    float recoil = p.attacking && p.attack < 0.35f ? -0.05f : 0.0f;
    s.prism({0.1f, 0.0f, 0.22f}, {0.1f, 0.0f, 0.28f}, 0.07f, 0.06f, 8, m.metal);
    s.prism({0.12f + recoil, 0.0f, 0.25f}, {0.4f + recoil, 0.0f, 0.27f}, 0.025f, 0.02f, 8, m.metal);
    if (p.attacking && p.attack < 0.45f) muzzleFlash(s, m, {0.45f + recoil, 0.0f, 0.27f}, 0.12f);
    if (p.moving) {
        int foam = s.material({{0.9f, 0.95f, 1.0f}, 0.4f, 0.0f, Pattern::Mottled, {}});
        float f = 0.5f + 0.5f * std::sin(p.walk * kTau);
        s.ellipsoid({0.46f, 0.0f, 0.01f}, {0.07f, 0.16f + 0.03f * f, 0.02f}, foam);
        s.ellipsoid({-0.42f, 0.0f, 0.01f}, {0.12f + 0.04f * f, 0.12f, 0.015f}, foam);
    }
}

void mine(Scene& s, const UnitLook& k, const Pose& p) {
    Mats m = makeMats(s, k, p.corpse);
    if (p.corpse) {
        int scorch = s.material({{0.08f, 0.07f, 0.07f}, 0.0f, 0.0f, Pattern::Mottled, {}});
        s.ellipsoid({0.0f, 0.0f, 0.0f}, {0.28f, 0.25f, 0.02f}, scorch);
        for (int i = 0; i < 5; ++i) s.box({std::cos(i * 1.3f) * 0.15f, std::sin(i * 1.3f) * 0.15f, 0.03f}, {0.04f, 0.02f, 0.02f}, m.metal, rotZ(i * 0.8f));
        return;
    }
    float ph = p.walk * kTau;
    float pulse = p.attacking ? 0.5f + 0.5f * std::sin(p.attack * kTau * 2.0f) : 0.0f;
    float z = 0.24f;
    for (int i = 0; i < 4; ++i) {
        float a = 0.785f + i * kTau / 4.0f;
        float sw = p.moving ? std::sin(ph + i * 1.6f) * 0.08f : 0.0f;
        V3 root{std::cos(a) * 0.12f, std::sin(a) * 0.12f, z};
        V3 foot{std::cos(a) * 0.32f + sw, std::sin(a) * 0.32f, 0.0f};
        s.capsule(root, (root + foot) * 0.5f + V3{0, 0, 0.08f}, 0.018f, m.dark);
        s.capsule((root + foot) * 0.5f + V3{0, 0, 0.08f}, foot, 0.014f, m.dark);
    }
    s.sphere({0.0f, 0.0f, z}, 0.19f + pulse * 0.03f, m.primary);
    for (int i = 0; i < 6; ++i) {
        float a = i * kTau / 6.0f;
        V3 d{std::cos(a), std::sin(a), 0.5f};
        s.prism(V3{0, 0, z} + normalize(d) * 0.16f, V3{0, 0, z} + normalize(d) * 0.3f, 0.035f, 0.0f, 4, m.metal);
    }
    int light = s.material({{1.0f, 0.2f, 0.15f}, (p.frame % 2 == 0 || p.attacking) ? 1.0f : 0.2f, 0.0f, Pattern::Plain, {}});
    s.sphere({0.0f, 0.0f, z + 0.18f}, 0.05f + pulse * 0.04f, light);
}

using PlanBuilder = void (*)(Scene&, const UnitLook&, const Pose&);

void buildWinged(Scene& s, const UnitLook& k, const Pose& p) { winged(s, k, p, false); }
void buildBird(Scene& s, const UnitLook& k, const Pose& p) { winged(s, k, p, true); }

// Indexed by BodyPlan.
const PlanBuilder kPlanBuilders[] = {humanoid, humanoid, humanoid, humanoid, tank,   artillery, aircraft, airship, buildWinged,
                                     buildBird, boat,    quadruped, quadruped, quadruped, insect, wraith,  mine};

struct NameRule {
    std::initializer_list<const char*> words;
    BodyPlan plan;
};

const NameRule kNameRules[] = {
    {{"tank", "walker", "apc"}, BodyPlan::Tank},
    {{"catapult", "artillery", "cannon", "mortar", "howitzer"}, BodyPlan::Artillery},
    {{"jet", "fighter", "plane", "gunship", "bomber", "drone ship"}, BodyPlan::Aircraft},
    {{"zeppelin", "airship", "blimp", "balloon"}, BodyPlan::Airship},
    {{"dragon", "wyrm", "drake", "wyvern"}, BodyPlan::Dragon},
    {{"bird", "crow", "gull", "raven"}, BodyPlan::Bird},
    {{"sheep", "lamb", "goat"}, BodyPlan::Sheep},
    {{"boar", "pig", "hog"}, BodyPlan::Boar},
    {{"ship", "boat", "destroyer", "frigate", "submarine", "juggernaught", "transport"}, BodyPlan::Boat},
    {{"mine"}, BodyPlan::Mine},
    {{"abyssal", "wraith", "ghost", "specter", "spectre", "shade"}, BodyPlan::Wraith},
    {{"zooid", "swarm", "bug", "crawler", "larva", "mite", "tick"}, BodyPlan::Insect},
    {{"ogre", "brute", "behemoth", "juggernaut", "titan", "goliath", "berserker"}, BodyPlan::Brute},
    {{"civilian", "peasant", "villager", "colonist", "refugee"}, BodyPlan::Civilian},
    {{"cera", "hound", "beast", "stalker", "ravager"}, BodyPlan::Beast},
};

BodyPlan planFromInfo(const nlohmann::json& info, bool alien) {
    auto flag = [&](const char* key) { return info.is_object() && info.value(key, false); };
    auto str = [&](const char* key) { return info.is_object() && info.contains(key) && info[key].is_string() ? info[key].get<std::string>() : std::string(); };
    if (flag("worker")) return BodyPlan::Worker;
    if (flag("civilian")) return BodyPlan::Civilian;
    std::string cat = str("category"), atk = str("attackType");
    if (cat == "Air") return alien ? BodyPlan::Dragon : (flag("carrier") ? BodyPlan::Airship : BodyPlan::Aircraft);
    if (cat == "Naval") return BodyPlan::Boat;
    if (atk == "Siege") return alien ? BodyPlan::Beast : BodyPlan::Artillery;
    return BodyPlan::Soldier;
}

Weapon weaponFor(BodyPlan plan, const std::string& n, const nlohmann::json& info, bool alien) {
    if (plan == BodyPlan::Worker) return alien ? Weapon::Blades : Weapon::Pick;
    if (plan == BodyPlan::Civilian) return Weapon::None;
    if (has(n, {"mage", "priest", "shaman", "knight", "caster", "oracle", "seer", "witch"})) return Weapon::Staff;
    if (has(n, {"axe"})) return Weapon::Axe;
    if (plan == BodyPlan::Brute) return alien ? Weapon::Blades : Weapon::Axe;
    std::string atk = info.is_object() && info.contains("attackType") && info["attackType"].is_string() ? info["attackType"].get<std::string>() : "";
    if (atk == "Melee") return alien ? Weapon::Blades : Weapon::Sword;
    if (atk == "Siege") return Weapon::Cannon;
    if (atk == "Ranged" || atk == "Instant") return alien ? Weapon::Spitter : Weapon::Rifle;
    if (atk == "None") return Weapon::None;
    return alien ? Weapon::Blades : Weapon::Rifle;
}

float sizeFromInfo(BodyPlan plan, const nlohmann::json& info) {
    float base = 1.0f;
    switch (plan) {
        case BodyPlan::Brute: base = 1.12f; break;
        case BodyPlan::Worker: base = 0.92f; break;
        case BodyPlan::Civilian: base = 0.9f; break;
        case BodyPlan::Insect: base = 1.0f; break;
        case BodyPlan::Mine: base = 1.1f; break;
        case BodyPlan::Bird: base = 1.0f; break;
        default: break;
    }
    if (info.is_object() && info.contains("hp") && info["hp"].is_number()) {
        float hp = info["hp"].get<float>();
        base *= std::clamp(0.9f + 0.05f * std::log2(std::max(hp, 1.0f) / 60.0f), 0.85f, 1.1f);
    }
    return base;
}

}  // namespace

Palette racePalette(const std::string& race) {
    std::string r = lower(race);
    if (r == "human")
        return {hex(0x2F63B8), hex(0xC8B58C), hex(0xF0C23A), hex(0xE2B48E), hex(0xA4ADB8), hex(0x9BE7FF), hex(0xA01818), hex(0x29303C), false};
    if (r == "global" || r == "neutral" || r.empty())
        return {hex(0x8C6A48), hex(0xCDBB95), hex(0xB84A3A), hex(0xE0B088), hex(0x9A9A9A), hex(0xFFE08A), hex(0xA01818), hex(0x3A2E25), false};
    if (r == "vohmathal")
        return {hex(0x6E2A86), hex(0xD9CFAF), hex(0x7CFF4F), hex(0x8E6FA2), hex(0x6B6A7A), hex(0x8DFF4A), hex(0x1F5BE0), hex(0x24142C), true};
    // Any other race: a hue from its name.
    uint32_t h = hashString(r);
    float hue = static_cast<float>(h % 360) / 360.0f;
    auto hsv = [](float hh, float s, float v) {
        float r6 = hh * 6.0f;
        int i = static_cast<int>(r6) % 6;
        float f = r6 - std::floor(r6);
        float p = v * (1 - s), q = v * (1 - f * s), t = v * (1 - (1 - f) * s);
        const Rgb table[6] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}, {v, p, q}};
        return table[i];
    };
    return {hsv(hue, 0.6f, 0.7f), hex(0xCFC6B0), hsv(std::fmod(hue + 0.5f, 1.0f), 0.7f, 0.95f), hex(0xE0B088), hex(0x9AA0A8),
            hsv(hue, 0.4f, 1.0f), hex(0xA01818), hex(0x2A2A2A), (h & 1) != 0};
}

UnitLook chooseUnitLook(const std::string& name, const std::string& race, const nlohmann::json& info, bool carrying) {
    UnitLook k;
    k.pal = racePalette(race);
    k.seed = hashString(name);
    k.carrying = carrying;
    std::string n = lower(name);
    bool named = false;
    for (const NameRule& rule : kNameRules) {
        if (has(n, rule.words)) {
            k.plan = rule.plan;
            named = true;
            break;
        }
    }
    if (!named || (k.plan == BodyPlan::Civilian && info.is_object() && info.value("worker", false))) k.plan = planFromInfo(info, k.pal.alien);
    if (info.is_object() && info.value("worker", false)) k.plan = BodyPlan::Worker;
    k.weapon = weaponFor(k.plan, n, info, k.pal.alien);
    k.size = sizeFromInfo(k.plan, info);
    std::string cat = info.is_object() && info.contains("category") && info["category"].is_string() ? info["category"].get<std::string>() : "";
    k.flying = cat == "Air" || k.plan == BodyPlan::Aircraft || k.plan == BodyPlan::Airship || k.plan == BodyPlan::Dragon || k.plan == BodyPlan::Bird;
    // Accent: the race trim, nudged per type so two soldiers of one race still differ.
    Rng rng(k.seed);
    const Rgb accents[] = {k.pal.trim, hex(0xE8E8E8), hex(0xD04A3A), hex(0x3AC07A), hex(0xE07A2A), hex(0x46C8E8)};
    k.accent = k.plan == BodyPlan::Soldier || k.plan == BodyPlan::Brute ? accents[rng.below(6)] : k.pal.trim;
    return k;
}

void buildUnit(Scene& s, const UnitLook& look, const Pose& pose) {
    // Alien workers are drones: six-legged haulers rather than soldiers with tools.
    if (look.plan == BodyPlan::Worker && look.pal.alien) {
        insect(s, look, pose);
        return;
    }
    kPlanBuilders[static_cast<int>(look.plan)](s, look, pose);
}
