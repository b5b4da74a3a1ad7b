// Pixel buffers, colours, noise and anti-aliased 2D shape painting for the asset generator.
#include "raster.h"

#include <cctype>

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <stdexcept>

Rgb hex(uint32_t rgb) {
    return {static_cast<float>((rgb >> 16) & 255) / 255.0f, static_cast<float>((rgb >> 8) & 255) / 255.0f,
            static_cast<float>(rgb & 255) / 255.0f};
}

float clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

float smoothstep(float e0, float e1, float x) {
    float t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}

Image::Image(int width, int height) : w(width), h(height) {
    // Sizes come from content data: refuse absurd ones before allocating.
    if (width < 0 || height < 0 || static_cast<long long>(width) * height > kMaxImagePixels) throw std::length_error("image too large");
    px.assign(static_cast<size_t>(width) * height * 4, 0.0f);
}

Rgb Image::color(int x, int y) const {
    const float* p = at(x, y);
    if (p[3] <= 0.0f) return {0, 0, 0};
    return {p[0] / p[3], p[1] / p[3], p[2] / p[3]};
}

void Image::blend(int x, int y, Rgb c, float a) {
    if (x < 0 || y < 0 || x >= w || y >= h || a <= 0.0f) return;
    a = std::min(a, 1.0f);
    float* p = at(x, y);
    float k = 1.0f - a;
    p[0] = c.r * a + p[0] * k;
    p[1] = c.g * a + p[1] * k;
    p[2] = c.b * a + p[2] * k;
    p[3] = a + p[3] * k;
}

void Image::set(int x, int y, Rgb c, float a) {
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    float* p = at(x, y);
    p[0] = c.r * a;
    p[1] = c.g * a;
    p[2] = c.b * a;
    p[3] = a;
}

void Image::draw(const Image& src, int dx, int dy, float opacity) {
    for (int y = 0; y < src.h; ++y) {
        int ty = y + dy;
        if (ty < 0 || ty >= h) continue;
        for (int x = 0; x < src.w; ++x) {
            int tx = x + dx;
            if (tx < 0 || tx >= w) continue;
            const float* s = src.at(x, y);
            float a = s[3] * opacity;
            if (a <= 0.0f) continue;
            float* p = at(tx, ty);
            float k = 1.0f - a;
            p[0] = s[0] * opacity + p[0] * k;
            p[1] = s[1] * opacity + p[1] * k;
            p[2] = s[2] * opacity + p[2] * k;
            p[3] = a + p[3] * k;
        }
    }
}

void Image::drawScaled(const Image& src, float dx, float dy, float dw, float dh, float opacity) {
    if (dw <= 0.0f || dh <= 0.0f || src.w == 0 || src.h == 0) return;
    int x0 = std::max(0, static_cast<int>(std::floor(dx)));
    int y0 = std::max(0, static_cast<int>(std::floor(dy)));
    int x1 = std::min(w, static_cast<int>(std::ceil(dx + dw)));
    int y1 = std::min(h, static_cast<int>(std::ceil(dy + dh)));
    float sx = src.w / dw, sy = src.h / dh;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            // Box filter over the source footprint of this destination pixel.
            float fx0 = (x - dx) * sx, fx1 = (x + 1 - dx) * sx;
            float fy0 = (y - dy) * sy, fy1 = (y + 1 - dy) * sy;
            int ix0 = std::max(0, static_cast<int>(fx0)), ix1 = std::min(src.w, std::max(ix0 + 1, static_cast<int>(std::ceil(fx1))));
            int iy0 = std::max(0, static_cast<int>(fy0)), iy1 = std::min(src.h, std::max(iy0 + 1, static_cast<int>(std::ceil(fy1))));
            float acc[4] = {0, 0, 0, 0};
            int n = 0;
            for (int yy = iy0; yy < iy1; ++yy)
                for (int xx = ix0; xx < ix1; ++xx, ++n) {
                    const float* s = src.at(xx, yy);
                    for (int c = 0; c < 4; ++c) acc[c] += s[c];
                }
            if (n == 0) continue;
            float a = acc[3] / n * opacity;
            if (a <= 0.0f) continue;
            float* p = at(x, y);
            float k = 1.0f - a;
            for (int c = 0; c < 3; ++c) p[c] = acc[c] / n * opacity + p[c] * k;
            p[3] = a + p[3] * k;
        }
    }
}

Image Image::downsample(int f) const {
    Image out(w / f, h / f);
    float inv = 1.0f / static_cast<float>(f * f);
    for (int y = 0; y < out.h; ++y)
        for (int x = 0; x < out.w; ++x) {
            float* o = out.at(x, y);
            for (int yy = 0; yy < f; ++yy)
                for (int xx = 0; xx < f; ++xx) {
                    const float* s = at(x * f + xx, y * f + yy);
                    for (int c = 0; c < 4; ++c) o[c] += s[c];
                }
            for (int c = 0; c < 4; ++c) o[c] *= inv;
        }
    return out;
}

Image Image::flippedH() const {
    Image out(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float* s = at(w - 1 - x, y);
            std::copy(s, s + 4, out.at(x, y));
        }
    return out;
}

void Image::outline(Rgb c, float strength) {
    std::vector<float> rim(static_cast<size_t>(w) * h, 0.0f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float m = 0.0f;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                    m = std::max(m, alpha(nx, ny) * ((dx == 0 || dy == 0) ? 1.0f : 0.6f));
                }
            rim[static_cast<size_t>(y) * w + x] = std::max(0.0f, m - alpha(x, y));
        }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float r = rim[static_cast<size_t>(y) * w + x] * strength;
            if (r <= 0.0f) continue;
            // Drawn behind the existing pixel.
            float* p = at(x, y);
            float k = 1.0f - p[3];
            p[0] += c.r * r * k;
            p[1] += c.g * r * k;
            p[2] += c.b * r * k;
            p[3] += r * k;
        }
}

std::vector<uint8_t> Image::rgba8() const {
    std::vector<uint8_t> out(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
        float a = clamp01(px[i * 4 + 3]);
        for (int c = 0; c < 3; ++c) {
            float v = a > 0.0f ? px[i * 4 + c] / a : 0.0f;
            out[i * 4 + c] = static_cast<uint8_t>(std::lround(clamp01(v) * 255.0f));
        }
        out[i * 4 + 3] = static_cast<uint8_t>(std::lround(a * 255.0f));
    }
    return out;
}

bool savePng(const Image& img, const std::string& path) {
    std::vector<uint8_t> bytes = img.rgba8();
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(bytes.data(), img.w, img.h, 32, img.w * 4, SDL_PIXELFORMAT_RGBA32);
    if (!s) return false;
    bool ok = IMG_SavePNG(s, path.c_str()) == 0;
    SDL_FreeSurface(s);
    return ok;
}

uint32_t hashString(const std::string& s) {
    uint32_t h = 2166136261u;
    for (unsigned char c : s) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

uint32_t hash32(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

uint32_t Rng::next() {
    s += 0x9E3779B97F4A7C15ull;
    uint64_t z = s;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
}

static float lattice(int x, int y, uint32_t seed) {
    uint32_t h = hash32(static_cast<uint32_t>(x) * 0x8da6b343u ^ static_cast<uint32_t>(y) * 0xd8163841u ^ seed * 0xcb1ab31fu);
    return static_cast<float>(h >> 8) / 16777216.0f;
}

static float fade(float t) { return t * t * (3.0f - 2.0f * t); }

static int wrap(int v, int p) { return ((v % p) + p) % p; }

float valueNoise(float x, float y, uint32_t seed) {
    int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    float fx = fade(x - ix), fy = fade(y - iy);
    float a = lattice(ix, iy, seed), b = lattice(ix + 1, iy, seed);
    float c = lattice(ix, iy + 1, seed), d = lattice(ix + 1, iy + 1, seed);
    return lerp(lerp(a, b, fx), lerp(c, d, fx), fy);
}

float periodicNoise(float x, float y, int period, uint32_t seed) {
    int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    float fx = fade(x - ix), fy = fade(y - iy);
    int x0 = wrap(ix, period), x1 = wrap(ix + 1, period), y0 = wrap(iy, period), y1 = wrap(iy + 1, period);
    float a = lattice(x0, y0, seed), b = lattice(x1, y0, seed);
    float c = lattice(x0, y1, seed), d = lattice(x1, y1, seed);
    return lerp(lerp(a, b, fx), lerp(c, d, fx), fy);
}

float fbm(float x, float y, uint32_t seed, int octaves) {
    float sum = 0.0f, amp = 0.5f, norm = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        sum += valueNoise(x, y, seed + static_cast<uint32_t>(i) * 101u) * amp;
        norm += amp;
        x *= 2.0f;
        y *= 2.0f;
        amp *= 0.5f;
    }
    return sum / norm;
}

float periodicFbm(float x, float y, int period, uint32_t seed, int octaves) {
    float sum = 0.0f, amp = 0.5f, norm = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        sum += periodicNoise(x, y, period, seed + static_cast<uint32_t>(i) * 101u) * amp;
        norm += amp;
        x *= 2.0f;
        y *= 2.0f;
        period *= 2;
        amp *= 0.5f;
    }
    return sum / norm;
}

float sdCircle(float x, float y, float cx, float cy, float r) { return std::hypot(x - cx, y - cy) - r; }

float sdEllipse(float x, float y, float cx, float cy, float rx, float ry) {
    // Scaled circle distance: exact enough for painting at these sizes.
    float dx = (x - cx) / rx, dy = (y - cy) / ry;
    float k = std::hypot(dx, dy);
    return (k - 1.0f) * std::min(rx, ry);
}

float sdBox(float x, float y, float cx, float cy, float hw, float hh, float round) {
    float qx = std::fabs(x - cx) - hw + round, qy = std::fabs(y - cy) - hh + round;
    float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
    return std::hypot(ox, oy) + std::min(std::max(qx, qy), 0.0f) - round;
}

float sdSegment(float x, float y, P2 a, P2 b, float r) {
    float px = x - a.x, py = y - a.y, bx = b.x - a.x, by = b.y - a.y;
    float bb = bx * bx + by * by;
    float t = bb > 0.0f ? clamp01((px * bx + py * by) / bb) : 0.0f;
    return std::hypot(px - bx * t, py - by * t) - r;
}

float sdPolygon(float x, float y, const std::vector<P2>& v) {
    size_t n = v.size();
    if (n < 3) return 1e9f;
    float d = (x - v[0].x) * (x - v[0].x) + (y - v[0].y) * (y - v[0].y);
    float s = 1.0f;
    for (size_t i = 0, j = n - 1; i < n; j = i, ++i) {
        float ex = v[j].x - v[i].x, ey = v[j].y - v[i].y;
        float wx = x - v[i].x, wy = y - v[i].y;
        float t = clamp01((wx * ex + wy * ey) / std::max(1e-9f, ex * ex + ey * ey));
        float bx = wx - ex * t, by = wy - ey * t;
        d = std::min(d, bx * bx + by * by);
        bool c1 = y >= v[i].y, c2 = y < v[j].y, c3 = ex * wy > ey * wx;
        if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) s = -s;
    }
    return s * std::sqrt(d);
}

std::vector<P2> starPoints(float cx, float cy, float outer, float inner, int points, float rot) {
    std::vector<P2> v;
    for (int i = 0; i < points * 2; ++i) {
        float a = rot + static_cast<float>(i) * 3.14159265f / points;
        float r = (i % 2 == 0) ? outer : inner;
        v.push_back({cx + std::cos(a) * r, cy + std::sin(a) * r});
    }
    return v;
}

void paintWith(Image& img, const Sdf& d, const std::function<Rgb(float, float)>& col, float alpha) {
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            float cx = x + 0.5f, cy = y + 0.5f;
            float dist = d(cx, cy);
            if (dist >= 0.5f) continue;
            float cov = clamp01(0.5f - dist);
            img.blend(x, y, col(cx, cy), cov * alpha);
        }
}

void paint(Image& img, const Sdf& d, Rgb c, float alpha) {
    paintWith(img, d, [c](float, float) { return c; }, alpha);
}

void glow(Image& img, float cx, float cy, float r, Rgb c, float alpha) {
    int x0 = std::max(0, static_cast<int>(cx - r)), x1 = std::min(img.w, static_cast<int>(cx + r) + 1);
    int y0 = std::max(0, static_cast<int>(cy - r)), y1 = std::min(img.h, static_cast<int>(cy + r) + 1);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy) / r;
            if (d >= 1.0f) continue;
            float t = 1.0f - d;
            img.blend(x, y, c, alpha * t * t);
        }
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool has(const std::string& hay, std::initializer_list<const char*> words) {
    for (const char* w : words)
        if (hay.find(w) != std::string::npos) return true;
    return false;
}
