// Pixel buffers, colours, noise and anti-aliased 2D shape painting for the asset generator.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

struct Rgb {
    float r = 0.0f, g = 0.0f, b = 0.0f;
};

constexpr float kPi = 3.14159265f;
constexpr float kTau = 6.2831853f;

std::string lower(std::string s);
// True when any of the words occurs in the text.
bool has(const std::string& hay, std::initializer_list<const char*> words);

inline Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Rgb operator-(Rgb a, Rgb b) { return {a.r - b.r, a.g - b.g, a.b - b.b}; }
inline Rgb operator*(Rgb a, float s) { return {a.r * s, a.g * s, a.b * s}; }
inline Rgb operator*(Rgb a, Rgb b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
inline Rgb mix(Rgb a, Rgb b, float t) { return a + (b - a) * t; }
Rgb hex(uint32_t rgb);
float clamp01(float v);
float smoothstep(float e0, float e1, float x);
inline float lerp(float a, float b, float t) { return a + (b - a) * t; }

const long long kMaxImagePixels = 48ll * 1024 * 1024;

// Premultiplied RGBA floats; the straight-colour calls convert on the way in.
struct Image {
    int w = 0;
    int h = 0;
    std::vector<float> px;

    Image() = default;
    Image(int width, int height);  // throws std::length_error past kMaxImagePixels

    float* at(int x, int y) { return &px[(static_cast<size_t>(y) * w + x) * 4]; }
    const float* at(int x, int y) const { return &px[(static_cast<size_t>(y) * w + x) * 4]; }
    float alpha(int x, int y) const { return at(x, y)[3]; }
    Rgb color(int x, int y) const;  // straight colour

    void blend(int x, int y, Rgb c, float a);  // source-over with straight colour
    void set(int x, int y, Rgb c, float a);
    void draw(const Image& src, int dx, int dy, float opacity = 1.0f);
    void drawScaled(const Image& src, float dx, float dy, float dw, float dh, float opacity = 1.0f);
    Image downsample(int factor) const;
    Image flippedH() const;
    // Dark rim one pixel outside the opaque shape, so small sprites read against any ground.
    void outline(Rgb c, float strength);
    std::vector<uint8_t> rgba8() const;
};

bool savePng(const Image& img, const std::string& path);

// Deterministic randomness: every picture and sound seeds from its own path.
uint32_t hashString(const std::string& s);
uint32_t hash32(uint32_t x);

struct Rng {
    uint64_t s;
    explicit Rng(uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
    uint32_t next();
    float uniform() { return static_cast<float>(next() >> 8) / 16777216.0f; }
    float range(float a, float b) { return a + (b - a) * uniform(); }
    int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
};

float valueNoise(float x, float y, uint32_t seed);
// Wraps every `period` units, so tiles built from it join without seams.
float periodicNoise(float x, float y, int period, uint32_t seed);
float fbm(float x, float y, uint32_t seed, int octaves);
float periodicFbm(float x, float y, int period, uint32_t seed, int octaves);

// Signed distance shapes in pixel space (negative inside).
struct P2 {
    float x = 0.0f, y = 0.0f;
};
using Sdf = std::function<float(float, float)>;

float sdCircle(float x, float y, float cx, float cy, float r);
float sdEllipse(float x, float y, float cx, float cy, float rx, float ry);
float sdBox(float x, float y, float cx, float cy, float hw, float hh, float round = 0.0f);
float sdSegment(float x, float y, P2 a, P2 b, float r);
float sdPolygon(float x, float y, const std::vector<P2>& poly);
std::vector<P2> starPoints(float cx, float cy, float outer, float inner, int points, float rot);

// Paints coverage of the shape with one colour (pixels inside the optional bounding box only).
void paint(Image& img, const Sdf& d, Rgb c, float alpha = 1.0f);
// Paints with a colour and alpha chosen per pixel; alpha is multiplied by shape coverage.
void paintWith(Image& img, const Sdf& d, const std::function<Rgb(float, float)>& col, float alpha = 1.0f);
// Soft glow: alpha falls from `alpha` at the centre to 0 at radius r.
void glow(Image& img, float cx, float cy, float r, Rgb c, float alpha);
