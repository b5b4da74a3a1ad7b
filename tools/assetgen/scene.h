// A tiny ray caster of solid primitives seen from the game's 2:1 isometric camera.
#pragma once

#include <cstdint>
#include <vector>

#include "raster.h"

struct V3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};
inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float length(V3 a);
V3 normalize(V3 a);
V3 lerp3(V3 a, V3 b, float t);

struct M3 {
    V3 c0{1, 0, 0}, c1{0, 1, 0}, c2{0, 0, 1};  // columns
    V3 operator*(V3 v) const { return c0 * v.x + c1 * v.y + c2 * v.z; }
    M3 operator*(const M3& o) const { return {(*this) * o.c0, (*this) * o.c1, (*this) * o.c2}; }
    M3 transposed() const;
};
M3 rotX(float a);
M3 rotY(float a);
M3 rotZ(float a);

// p -> rot * (p * scale) + move
struct Xform {
    M3 rot;
    float scale = 1.0f;
    V3 move;
    V3 point(V3 p) const { return rot * (p * scale) + move; }
    V3 dir(V3 d) const { return rot * d; }
    Xform then(const Xform& outer) const;  // apply this, then outer
};

// World frame: x to screen right, y toward the viewer (screen down on the ground), z up.
// Model frame used by the builders: x forward, y to the right side, z up.

enum class Pattern : uint8_t { Plain, Mottled, Stone, Planks, Panels, Carapace, Windows, Stripes, Foliage, Rock, Crystal, Fur };

struct Material {
    Rgb color;
    float emissive = 0.0f;  // 0..1 share of the colour that glows regardless of light
    float shine = 0.0f;
    Pattern pattern = Pattern::Plain;
    Rgb accent{0.0f, 0.0f, 0.0f};  // second colour used by some patterns
};

struct Plane {
    V3 n;
    float d = 0.0f;  // inside where dot(n, p) <= d
};

struct Prim {
    enum Kind : uint8_t { Ellipsoid, Capsule, Convex } kind = Ellipsoid;
    int material = 0;
    V3 center;      // ellipsoid centre / bounding-sphere centre
    float bound = 0.0f;
    M3 toUnit;      // ellipsoid: world offset -> unit sphere
    V3 a, b;        // capsule ends
    float radius = 0.0f;
    std::vector<Plane> planes;
};

class Scene {
public:
    std::vector<Prim> prims;
    std::vector<Material> materials;
    Xform xf;                 // applied to everything added
    float clipZ = 1e9f;       // world height above which solids are cut away (construction look)
    float patternScale = 1.0f;

    int material(const Material& m);
    void ellipsoid(V3 c, V3 radii, int mat, const M3& rot = M3{});
    void sphere(V3 c, float r, int mat) { ellipsoid(c, {r, r, r}, mat); }
    void capsule(V3 a, V3 b, float r, int mat);
    void box(V3 c, V3 half, int mat, const M3& rot = M3{});
    // A straight n-sided solid from a to b with radius ra at a and rb at b (cylinder, frustum, cone).
    void prism(V3 a, V3 b, float ra, float rb, int sides, int mat, float twist = 0.0f);
    // A gable roof over the box [-hx,hx]x[-hy,hy] at height z0 with ridge along x at height z0+rise.
    void gable(V3 c, float hx, float hy, float rise, int mat);
};

struct View {
    float originX = 0.0f, originY = 0.0f;  // output pixel where the world origin lands
    int supersample = 2;
    bool shadows = false;
    bool edgeLines = true;
    bool groundShadow = false;  // catch shadows on the plane z = 0 (buildings on their plot)
};

// Per-sample hit data, so animated frames can be re-shaded without tracing again.
struct GBuffer {
    int w = 0, h = 0, ss = 1;
    std::vector<float> t;
    std::vector<V3> n, p;
    std::vector<int16_t> mat;  // -1 background, -2 ground shadow only
    std::vector<float> lit;    // 1 in light, lower in shadow
};

GBuffer trace(const Scene& scene, int w, int h, const View& view);
// Emission multipliers per material (empty = as authored) let a frame blink lights.
Image shade(const GBuffer& g, const Scene& scene, const std::vector<float>& emissionScale = {});
Image renderScene(const Scene& scene, int w, int h, const View& view);
