// A tiny ray caster of solid primitives seen from the game's 2:1 isometric camera.
#include "scene.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

// Orthographic camera 30 degrees above the ground: a ground square becomes a 2:1 diamond.
const V3 kRay{0.0f, -0.8660254f, -0.5f};
const V3 kEyeX{1.0f, 0.0f, 0.0f};
const V3 kEyeY{0.0f, 0.5f, -0.8660254f};
const V3 kToEye{0.0f, 0.8660254f, 0.5f};
const float kFar = 4000.0f;

V3 lightDir() { return normalize({-0.55f, 0.42f, 0.75f}); }

struct Hit {
    float t0 = 0.0f, t1 = 0.0f;
    V3 n;
};

bool hitEllipsoid(const Prim& p, V3 o, V3 d, Hit& h) {
    V3 oo = p.toUnit * (o - p.center), dd = p.toUnit * d;
    float a = dot(dd, dd), b = dot(oo, dd), c = dot(oo, oo) - 1.0f;
    float disc = b * b - a * c;
    if (disc < 0.0f) return false;
    float s = std::sqrt(disc);
    h.t0 = (-b - s) / a;
    h.t1 = (-b + s) / a;
    V3 local = oo + dd * h.t0;
    h.n = normalize(p.toUnit.transposed() * local);
    return true;
}

bool hitSphere(V3 c, float r, V3 o, V3 d, Hit& h) {
    V3 oc = o - c;
    float b = dot(oc, d), cc = dot(oc, oc) - r * r;
    float disc = b * b - cc;
    if (disc < 0.0f) return false;
    float s = std::sqrt(disc);
    h.t0 = -b - s;
    h.t1 = -b + s;
    h.n = normalize(oc + d * h.t0);
    return true;
}

// Capsule = union of two end spheres and the cylinder between them; convex, so the union's interval is
// the earliest entry to the latest exit.
bool hitCapsule(const Prim& p, V3 o, V3 d, Hit& h) {
    bool any = false;
    auto take = [&](const Hit& k) {
        if (!any) {
            h = k;
            any = true;
            return;
        }
        if (k.t0 < h.t0) {
            h.t0 = k.t0;
            h.n = k.n;
        }
        h.t1 = std::max(h.t1, k.t1);
    };
    Hit k;
    if (hitSphere(p.a, p.radius, o, d, k)) take(k);
    if (hitSphere(p.b, p.radius, o, d, k)) take(k);
    V3 ba = p.b - p.a;
    float len = length(ba);
    if (len > 1e-6f) {
        V3 u = ba * (1.0f / len);
        V3 oa = o - p.a;
        V3 dp = d - u * dot(d, u), op = oa - u * dot(oa, u);
        float a = dot(dp, dp), b = dot(op, dp), c = dot(op, op) - p.radius * p.radius;
        float disc = b * b - a * c;
        if (a > 1e-9f && disc >= 0.0f) {
            float s = std::sqrt(disc);
            float c0 = (-b - s) / a, c1 = (-b + s) / a;
            // Slab between the end caps.
            float du = dot(d, u), ou = dot(oa, u);
            float s0 = -1e30f, s1 = 1e30f;
            if (std::fabs(du) > 1e-9f) {
                float ta = -ou / du, tb = (len - ou) / du;
                s0 = std::min(ta, tb);
                s1 = std::max(ta, tb);
            } else if (ou < 0.0f || ou > len) {
                s0 = 1e30f;
            }
            float e0 = std::max(c0, s0), e1 = std::min(c1, s1);
            if (e0 <= e1) {
                k.t0 = e0;
                k.t1 = e1;
                V3 pt = oa + d * e0;
                k.n = normalize(pt - u * dot(pt, u));
                if (e0 == s0) k.n = du > 0.0f ? u * -1.0f : u;
                take(k);
            }
        }
    }
    return any;
}

bool hitConvex(const Prim& p, V3 o, V3 d, Hit& h) {
    float t0 = -1e30f, t1 = 1e30f;
    V3 n;
    for (const Plane& pl : p.planes) {
        float dn = dot(pl.n, d), on = dot(pl.n, o);
        if (std::fabs(dn) < 1e-9f) {
            if (on > pl.d) return false;
            continue;
        }
        float t = (pl.d - on) / dn;
        if (dn < 0.0f) {
            if (t > t0) {
                t0 = t;
                n = pl.n;
            }
        } else {
            t1 = std::min(t1, t);
        }
        if (t0 > t1) return false;
    }
    h.t0 = t0;
    h.t1 = t1;
    h.n = n;
    return true;
}

bool hitPrim(const Prim& p, V3 o, V3 d, Hit& h) {
    switch (p.kind) {
        case Prim::Ellipsoid: return hitEllipsoid(p, o, d, h);
        case Prim::Capsule: return hitCapsule(p, o, d, h);
        case Prim::Convex: return hitConvex(p, o, d, h);
    }
    return false;
}

bool boundMiss(const Prim& p, V3 o, V3 d) {
    V3 oc = o - p.center;
    float b = dot(oc, d), c = dot(oc, oc) - p.bound * p.bound;
    return b * b - c < 0.0f;
}

bool occluded(const Scene& s, V3 from, V3 dir) {
    for (const Prim& p : s.prims) {
        if (boundMiss(p, from, dir)) continue;
        Hit h;
        if (!hitPrim(p, from, dir, h)) continue;
        float top = (s.clipZ - from.z) / std::max(dir.z, 1e-6f);
        float e0 = h.t0, e1 = std::min(h.t1, dir.z > 0.0f ? top : h.t1);
        if (e1 > 0.02f && e0 < e1) return true;
    }
    return false;
}

}  // namespace

float length(V3 a) { return std::sqrt(dot(a, a)); }

V3 normalize(V3 a) {
    float l = length(a);
    return l > 1e-12f ? a * (1.0f / l) : V3{0, 0, 1};
}

V3 lerp3(V3 a, V3 b, float t) { return a + (b - a) * t; }

M3 M3::transposed() const { return {{c0.x, c1.x, c2.x}, {c0.y, c1.y, c2.y}, {c0.z, c1.z, c2.z}}; }

M3 rotX(float a) {
    float c = std::cos(a), s = std::sin(a);
    return {{1, 0, 0}, {0, c, s}, {0, -s, c}};
}
M3 rotY(float a) {
    float c = std::cos(a), s = std::sin(a);
    return {{c, 0, -s}, {0, 1, 0}, {s, 0, c}};
}
M3 rotZ(float a) {
    float c = std::cos(a), s = std::sin(a);
    return {{c, s, 0}, {-s, c, 0}, {0, 0, 1}};
}

Xform Xform::then(const Xform& outer) const {
    Xform r;
    r.rot = outer.rot * rot;
    r.scale = scale * outer.scale;
    r.move = outer.point(move);
    return r;
}

int Scene::material(const Material& m) {
    materials.push_back(m);
    return static_cast<int>(materials.size()) - 1;
}

void Scene::ellipsoid(V3 c, V3 radii, int mat, const M3& rot) {
    Prim p;
    p.kind = Prim::Ellipsoid;
    p.material = mat;
    p.center = xf.point(c);
    M3 r = xf.rot * rot;
    V3 s = radii * xf.scale;
    // toUnit = diag(1/s) * r^T
    M3 rt = r.transposed();
    M3 inv{{rt.c0.x / s.x, rt.c0.y / s.y, rt.c0.z / s.z},
           {rt.c1.x / s.x, rt.c1.y / s.y, rt.c1.z / s.z},
           {rt.c2.x / s.x, rt.c2.y / s.y, rt.c2.z / s.z}};
    p.toUnit = inv;
    p.bound = std::max({s.x, s.y, s.z});
    prims.push_back(p);
}

void Scene::capsule(V3 a, V3 b, float r, int mat) {
    Prim p;
    p.kind = Prim::Capsule;
    p.material = mat;
    p.a = xf.point(a);
    p.b = xf.point(b);
    p.radius = r * xf.scale;
    p.center = (p.a + p.b) * 0.5f;
    p.bound = length(p.b - p.a) * 0.5f + p.radius;
    prims.push_back(p);
}

static Plane planeThrough(V3 n, V3 point) { return {n, dot(n, point)}; }

void Scene::box(V3 c, V3 half, int mat, const M3& rot) {
    Prim p;
    p.kind = Prim::Convex;
    p.material = mat;
    M3 r = xf.rot * rot;
    V3 wc = xf.point(c);
    V3 axes[3] = {r.c0, r.c1, r.c2};
    float hs[3] = {half.x * xf.scale, half.y * xf.scale, half.z * xf.scale};
    for (int i = 0; i < 3; ++i) {
        p.planes.push_back(planeThrough(axes[i], wc + axes[i] * hs[i]));
        p.planes.push_back(planeThrough(axes[i] * -1.0f, wc - axes[i] * hs[i]));
    }
    p.center = wc;
    p.bound = std::sqrt(hs[0] * hs[0] + hs[1] * hs[1] + hs[2] * hs[2]);
    prims.push_back(p);
}

void Scene::prism(V3 a, V3 b, float ra, float rb, int sides, int mat, float twist) {
    Prim p;
    p.kind = Prim::Convex;
    p.material = mat;
    V3 wa = xf.point(a), wb = xf.point(b);
    float wra = ra * xf.scale, wrb = rb * xf.scale;
    V3 axis = wb - wa;
    float len = length(axis);
    if (len < 1e-6f) return;
    V3 u = axis * (1.0f / len);
    V3 e1 = normalize(std::fabs(u.z) < 0.9f ? cross(u, {0, 0, 1}) : cross(u, {1, 0, 0}));
    V3 e2 = cross(u, e1);
    for (int i = 0; i < sides; ++i) {
        float ang = twist + static_cast<float>(i) * 6.2831853f / sides;
        V3 radial = e1 * std::cos(ang) + e2 * std::sin(ang);
        V3 n = normalize(u * (wra - wrb) + radial * len);
        p.planes.push_back(planeThrough(n, wa + radial * wra));
    }
    p.planes.push_back(planeThrough(u * -1.0f, wa));
    p.planes.push_back(planeThrough(u, wb));
    p.center = (wa + wb) * 0.5f;
    p.bound = len * 0.5f + std::max(wra, wrb) * 1.1f;
    prims.push_back(p);
}

void Scene::gable(V3 c, float hx, float hy, float rise, int mat) {
    Prim p;
    p.kind = Prim::Convex;
    p.material = mat;
    auto add = [&](V3 n, V3 point) {
        V3 wn = normalize(xf.dir(n));
        p.planes.push_back(planeThrough(wn, xf.point(point)));
    };
    add({1, 0, 0}, c + V3{hx, 0, 0});
    add({-1, 0, 0}, c - V3{hx, 0, 0});
    add({0, 0, -1}, c);
    add(normalize({0, rise, hy}), c + V3{0, hy, 0});
    add(normalize({0, -rise, hy}), c - V3{0, hy, 0});
    p.center = xf.point(c + V3{0, 0, rise * 0.5f});
    p.bound = std::sqrt(hx * hx + hy * hy + rise * rise) * xf.scale;
    prims.push_back(p);
}

namespace {

float stoneMask(float u, float v) {
    float row = std::floor(v * 2.2f);
    float off = std::fmod(row, 2.0f) * 0.5f;
    float fu = u * 1.4f + off;
    float du = std::fabs(fu - std::round(fu)), dv = std::fabs(v * 2.2f - std::round(v * 2.2f));
    return (du < 0.06f || dv < 0.08f) ? 1.0f : 0.0f;
}

// Horizontal coordinate along a vertical face, so walls pattern the same from any side.
float faceU(V3 q, V3 n) {
    float l = std::hypot(n.x, n.y);
    if (l < 1e-3f) return q.x + q.y;
    return (q.x * -n.y + q.y * n.x) / l;
}

using PatternFn = Rgb (*)(const Material&, V3 q, V3 n, float& glowOut);

Rgb patPlain(const Material& m, V3, V3, float&) { return m.color; }

Rgb patMottled(const Material& m, V3 q, V3, float&) {
    float v = fbm(q.x * 6.0f + q.z * 3.0f, q.y * 6.0f - q.z * 2.0f, 11u, 3);
    return m.color * (0.82f + 0.36f * v);
}

Rgb patStone(const Material& m, V3 q, V3 n, float&) {
    float unused = 0.0f;
    if (std::fabs(n.z) > 0.8f) return patMottled(m, q, n, unused);
    float u = faceU(q, n) * 4.0f, v = q.z * 4.0f;
    float tone = 0.85f + 0.25f * valueNoise(std::floor(u * 1.4f + std::fmod(std::floor(v * 2.2f), 2.0f) * 0.5f), std::floor(v * 2.2f), 5u);
    return stoneMask(u, v) > 0.0f ? m.color * 0.62f : m.color * tone;
}

Rgb patPlanks(const Material& m, V3 q, V3 n, float&) {
    float u = faceU(q, n) * 6.0f;
    float seam = std::fabs(u - std::round(u)) < 0.07f ? 0.7f : 1.0f;
    float grain = 0.9f + 0.15f * valueNoise(std::round(u) * 7.0f, q.z * 30.0f, 3u);
    return m.color * (seam * grain);
}

Rgb patPanels(const Material& m, V3 q, V3 n, float&) {
    float u = faceU(q, n) * 3.0f, v = q.z * 3.0f;
    if (std::fabs(n.z) > 0.8f) {
        u = q.x * 3.0f;
        v = q.y * 3.0f;
    }
    float du = std::fabs(u - std::round(u)), dv = std::fabs(v - std::round(v));
    float k = (du < 0.04f || dv < 0.04f) ? 0.72f : 1.0f;
    return m.color * k * (0.95f + 0.1f * valueNoise(std::floor(u), std::floor(v), 9u));
}

// Distances to the nearest two points of a jittered 3D lattice, and the nearest point's id.
void cells(V3 q, float& f1, float& f2, uint32_t& id) {
    int ix = static_cast<int>(std::floor(q.x)), iy = static_cast<int>(std::floor(q.y)), iz = static_cast<int>(std::floor(q.z));
    f1 = f2 = 1e9f;
    id = 0;
    for (int dz = -1; dz <= 1; ++dz)
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                int cx = ix + dx, cy = iy + dy, cz = iz + dz;
                uint32_t h = hash32(static_cast<uint32_t>(cx) * 73856093u ^ static_cast<uint32_t>(cy) * 19349663u ^ static_cast<uint32_t>(cz) * 83492791u);
                V3 pt{cx + (h & 255) / 255.0f, cy + ((h >> 8) & 255) / 255.0f, cz + ((h >> 16) & 255) / 255.0f};
                V3 d = q - pt;
                float dd = dot(d, d);
                if (dd < f1) {
                    f2 = f1;
                    f1 = dd;
                    id = h;
                } else if (dd < f2) {
                    f2 = dd;
                }
            }
    f1 = std::sqrt(f1);
    f2 = std::sqrt(f2);
}

// Chitin plates with dark seams; a few seams glow.
Rgb patCarapace(const Material& m, V3 q, V3, float& glowOut) {
    float f1, f2;
    uint32_t id;
    cells(q * 5.0f, f1, f2, id);
    float seam = f2 - f1;
    if (seam < 0.09f) {
        if ((id & 7u) == 0u) {
            glowOut = 0.9f;
            return m.accent;
        }
        return m.color * 0.32f;
    }
    float tone = 0.82f + 0.3f * static_cast<float>((id >> 4) & 255u) / 255.0f;
    return m.color * (tone * (1.15f - 0.45f * std::min(f1, 1.0f)));
}

Rgb patWindows(const Material& m, V3 q, V3 n, float& glowOut) {
    if (std::fabs(n.z) > 0.5f) return m.color;
    float u = faceU(q, n) * 2.5f, v = q.z * 2.5f;
    float fu = u - std::floor(u), fv = v - std::floor(v);
    bool win = fu > 0.3f && fu < 0.7f && fv > 0.35f && fv < 0.75f && q.z > 0.12f;
    if (win) {
        glowOut = 1.0f;
        return m.accent;
    }
    return m.color * (0.9f + 0.15f * valueNoise(q.x * 20.0f, q.z * 20.0f, 4u));
}

Rgb patStripes(const Material& m, V3 q, V3 n, float&) {
    float s = (faceU(q, n) + q.z) * 6.0f;
    return (static_cast<int>(std::floor(s)) & 1) ? m.accent : m.color;
}

Rgb patFoliage(const Material& m, V3 q, V3 n, float&) {
    float v = fbm(q.x * 14.0f + n.x, q.y * 14.0f + q.z * 14.0f, 13u, 3);
    float leaf = smoothstep(0.35f, 0.75f, v);
    return mix(m.color * 0.75f, m.accent, leaf * 0.6f) * (0.9f + 0.2f * v);
}

Rgb patRock(const Material& m, V3 q, V3, float&) {
    float strata = 0.5f + 0.5f * std::sin(q.z * 40.0f + fbm(q.x * 5.0f, q.y * 5.0f, 2u, 2) * 6.0f);
    float v = fbm(q.x * 10.0f, q.y * 10.0f + q.z * 10.0f, 19u, 3);
    return mix(m.color, m.accent, 0.25f * strata) * (0.8f + 0.35f * v);
}

Rgb patCrystal(const Material& m, V3 q, V3 n, float& glowOut) {
    float f = 0.5f + 0.5f * std::sin((q.x + q.y) * 30.0f + q.z * 17.0f);
    glowOut = 0.3f + 0.5f * f * f;
    return mix(m.color, m.accent, 0.35f * f + 0.3f * std::fabs(n.z));
}

Rgb patFur(const Material& m, V3 q, V3, float&) {
    float v = valueNoise(q.x * 40.0f, q.y * 40.0f + q.z * 40.0f, 31u);
    return m.color * (0.85f + 0.3f * v);
}

const PatternFn kPatterns[] = {patPlain, patMottled, patStone,  patPlanks, patPanels, patCarapace, patWindows,
                               patStripes, patFoliage, patRock,  patCrystal, patFur};

}  // namespace

GBuffer trace(const Scene& scene, int w, int h, const View& view) {
    GBuffer g;
    g.ss = std::max(1, view.supersample);
    g.w = w * g.ss;
    g.h = h * g.ss;
    size_t n = static_cast<size_t>(g.w) * g.h;
    g.t.assign(n, 1e30f);
    g.n.assign(n, V3{});
    g.p.assign(n, V3{});
    g.mat.assign(n, -1);
    g.lit.assign(n, 1.0f);

    const int bin = 16;
    int bw = (g.w + bin - 1) / bin, bh = (g.h + bin - 1) / bin;
    std::vector<std::vector<int>> bins(static_cast<size_t>(bw) * bh);
    float ss = static_cast<float>(g.ss);
    for (size_t i = 0; i < scene.prims.size(); ++i) {
        const Prim& p = scene.prims[i];
        float sx = (view.originX + p.center.x) * ss, sy = (view.originY + p.center.y * 0.5f - p.center.z * 0.8660254f) * ss;
        float r = p.bound * ss + 1.0f;
        int x0 = std::max(0, static_cast<int>((sx - r) / bin)), x1 = std::min(bw - 1, static_cast<int>((sx + r) / bin));
        int y0 = std::max(0, static_cast<int>((sy - r) / bin)), y1 = std::min(bh - 1, static_cast<int>((sy + r) / bin));
        for (int by = y0; by <= y1; ++by)
            for (int bx = x0; bx <= x1; ++bx) bins[static_cast<size_t>(by) * bw + bx].push_back(static_cast<int>(i));
    }

    V3 L = lightDir();
    for (int py = 0; py < g.h; ++py) {
        for (int px = 0; px < g.w; ++px) {
            float X = (px + 0.5f) / ss - view.originX, Yv = (py + 0.5f) / ss - view.originY;
            V3 q = kEyeX * X + kEyeY * Yv;
            V3 o = q - kRay * kFar;
            float tc = (o.z - scene.clipZ) / 0.5f;  // ray height falls 0.5 per unit of t
            float tg = o.z / 0.5f;                   // ground plane z = 0
            float best = 1e30f;
            V3 bn;
            int bm = -1;
            for (int idx : bins[static_cast<size_t>(py / bin) * bw + px / bin]) {
                const Prim& p = scene.prims[static_cast<size_t>(idx)];
                if (boundMiss(p, o, kRay)) continue;
                Hit hit;
                if (!hitPrim(p, o, kRay, hit)) continue;
                float start = hit.t0;
                V3 nn = hit.n;
                if (tc > start) {
                    start = tc;
                    nn = {0, 0, 1};
                }
                if (start > hit.t1 || start >= best || start < 0.0f) continue;
                if (start > tg + 0.01f) continue;  // under the ground
                best = start;
                bn = nn;
                bm = p.material;
            }
            size_t i = static_cast<size_t>(py) * g.w + px;
            if (bm >= 0) {
                g.t[i] = best;
                g.n[i] = bn;
                g.mat[i] = static_cast<int16_t>(bm);
                g.p[i] = o + kRay * best;
                if (view.shadows && dot(bn, L) > 0.0f && occluded(scene, g.p[i] + bn * 0.3f, L)) g.lit[i] = 0.35f;
            } else if (view.groundShadow) {
                V3 gp = o + kRay * tg;
                if (occluded(scene, gp + V3{0, 0, 0.05f}, L)) {
                    g.mat[i] = -2;
                    g.t[i] = tg;
                    g.lit[i] = 0.0f;
                }
            }
        }
    }
    return g;
}

Image shade(const GBuffer& g, const Scene& scene, const std::vector<float>& emissionScale) {
    Image hi(g.w, g.h);
    V3 L = lightDir();
    V3 H = normalize(L + kToEye);
    float edgeGap = scene.patternScale * 0.07f;
    for (int y = 0; y < g.h; ++y)
        for (int x = 0; x < g.w; ++x) {
            size_t i = static_cast<size_t>(y) * g.w + x;
            int m = g.mat[i];
            if (m == -1) continue;
            if (m == -2) {
                hi.set(x, y, {0.02f, 0.02f, 0.05f}, 0.38f);
                continue;
            }
            const Material& mat = scene.materials[static_cast<size_t>(m)];
            V3 n = g.n[i];
            V3 q = g.p[i] * (1.0f / scene.patternScale);
            float glowAmt = 0.0f;
            Rgb base = kPatterns[static_cast<int>(mat.pattern)](mat, q, n, glowAmt);
            float em = std::min(1.0f, mat.emissive + glowAmt * std::max(mat.emissive, 0.5f));
            if (static_cast<size_t>(m) < emissionScale.size()) em *= emissionScale[static_cast<size_t>(m)];
            float diff = std::max(0.0f, dot(n, L)) * g.lit[i];
            float hemi = 0.55f + 0.45f * n.z;
            float specular = std::pow(std::max(0.0f, dot(n, H)), 24.0f) * mat.shine * g.lit[i];
            float rim = std::pow(1.0f - std::max(0.0f, dot(n, kToEye)), 3.0f) * 0.18f;
            float occl = 0.72f + 0.28f * clamp01(g.p[i].z / (scene.patternScale * 0.25f) + 0.1f);
            Rgb lit = base * ((0.34f * hemi + 0.82f * diff) * occl) + Rgb{0.9f, 0.95f, 1.0f} * (specular + rim);
            Rgb col = mix(lit, base * 1.15f, em);
            // Ink where a nearer surface ends in front of this one.
            float ink = 0.0f;
            const int nx[4] = {1, -1, 0, 0}, ny[4] = {0, 0, 1, -1};
            for (int k = 0; k < 4; ++k) {
                int xx = x + nx[k], yy = y + ny[k];
                if (xx < 0 || yy < 0 || xx >= g.w || yy >= g.h) continue;
                size_t j = static_cast<size_t>(yy) * g.w + xx;
                if (g.mat[j] >= 0 && g.t[j] < g.t[i] - edgeGap) ink = 1.0f;
            }
            if (ink > 0.0f) col = col * 0.45f;
            hi.set(x, y, {clamp01(col.r), clamp01(col.g), clamp01(col.b)}, 1.0f);
        }
    return hi.downsample(g.ss);
}

Image renderScene(const Scene& scene, int w, int h, const View& view) { return shade(trace(scene, w, h, view), scene); }
