// Drawing primitives on an SDL renderer and the projections between world, grid, isometric plane and window.
#include "sdl_draw.h"

#include <cmath>

#include "config.h"
#include "sdl.h"
#include "sprites.h"

SDL_FPoint worldToIso(SDL_FPoint world) {
    const float t = static_cast<float>(TILE_SIZE);
    const float a = world.x / t;
    const float b = world.y / t;
    return SDL_FPoint{(a - b) * (t * 0.5f), (a + b) * ((0.5f * t) * 0.5f)};
}

SDL_FPoint windowSize() {
    if (!window) return SDL_FPoint{1280.0f, 720.0f};
    int w = 0;
    int h = 0;
    SDL_GetWindowSize(window, &w, &h);
    return SDL_FPoint{static_cast<float>(w), static_cast<float>(h)};
}

SDL_FPoint worldToScreen(SDL_FPoint world) {
    const SDL_FPoint iso = worldToIso(world);
    const SDL_FPoint size = windowSize();
    return SDL_FPoint{(iso.x - camera.centerX) * camera.zoom + size.x * 0.5f,
                      (iso.y - camera.centerY) * camera.zoom + size.y * 0.5f};
}

SDL_FPoint worldToGrid(float x, float y) {
    const float t = static_cast<float>(TILE_SIZE);
    const float u = x / (t * 0.5f);
    const float v = y / ((t * 0.5f) * 0.5f);
    return SDL_FPoint{(u + v) * 0.5f, (v - u) * 0.5f};
}

SDL_Point textureSize(SDL_Texture* t) {
    SDL_Point size{0, 0};
    if (t && SDL_QueryTexture(t, nullptr, nullptr, &size.x, &size.y) != 0) size = {0, 0};
    return size;
}

void DrawRect(SDL_Renderer* r, const SDL_Rect& rect, SDL_Color colour, bool filled) {
    SDL_SetRenderDrawBlendMode(r, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(r, colour.r, colour.g, colour.b, colour.a);
    if (filled) SDL_RenderFillRect(r, &rect);
    else SDL_RenderDrawRect(r, &rect);
}

void drawSprite(SDL_Renderer* r, Sprite& sprite, uint8_t brightness) {
    if (!sprite.texture) return;
    const auto dim = [brightness](uint8_t c) { return static_cast<uint8_t>(c * brightness / 255); };
    SDL_SetTextureColorMod(sprite.texture, dim(sprite.color.r), dim(sprite.color.g), dim(sprite.color.b));
    SDL_SetTextureAlphaMod(sprite.texture, sprite.color.a);
    SDL_RenderCopyF(r, sprite.texture, nullptr, &sprite.dst);
    // The texture is shared; the next user must not inherit this tint.
    SDL_SetTextureColorMod(sprite.texture, 255, 255, 255);
    SDL_SetTextureAlphaMod(sprite.texture, 255);
}

void drawCircleOutline(SDL_Renderer* r, float cx, float cy, float radius) {
    int x = static_cast<int>(std::lround(radius));
    int y = 0;
    int e = 0;
    while (x >= y) {
        const int px[8] = {x, -x, x, -x, y, -y, y, -y};
        const int py[8] = {y, y, -y, -y, x, x, -x, -x};
        for (int k = 0; k < 8; ++k)
            SDL_RenderDrawPoint(r, static_cast<int>(cx + static_cast<float>(px[k])),
                                static_cast<int>(cy + static_cast<float>(py[k])));
        if (e <= 0) {
            y += 1;
            e += 2 * y + 1;
        }
        if (e > 0) {
            x -= 1;
            e -= 2 * x + 1;
        }
    }
}

void DrawFilledCircle(SDL_Renderer* r, float cx, float cy, float radius) {
    for (int dy = static_cast<int>(-radius); dy <= static_cast<int>(radius); ++dy) {
        const float h = std::sqrt(radius * radius - static_cast<float>(dy * dy));
        const float y = cy + static_cast<float>(dy);
        SDL_RenderDrawLineF(r, cx - h, y, cx + h, y);
    }
}

void smoothEllipseGeometry(float cx, float cy, float rx, float ry, int segments, SDL_Color colour,
                           std::vector<SDL_Vertex>& vertices, std::vector<int>& indices) {
    vertices.clear();
    indices.clear();
    if (segments <= 0) return;
    const double step = 2.0 * M_PI / segments;
    for (int k = 0; k <= segments; ++k) {
        const float angle = static_cast<float>(k * step);
        const float c = std::cos(angle);
        const float s = std::sin(angle);
        vertices.push_back(SDL_Vertex{{cx + (rx + 1.2f) * c, cy + (ry + 0.6f) * s}, colour, {0.0f, 0.0f}});
        vertices.push_back(SDL_Vertex{{cx + (rx - 1.2f) * c, cy + (ry - 0.6f) * s}, colour, {0.0f, 0.0f}});
    }
    for (int k = 0; k < segments; ++k) {
        const int i = 2 * k;
        indices.insert(indices.end(), {i, i + 1, i + 2, i + 1, i + 3, i + 2});
    }
}

void DrawSmoothEllipse(SDL_Renderer* r, float cx, float cy, float rx, float ry, int segments, SDL_Color colour) {
    std::vector<SDL_Vertex> vertices;
    std::vector<int> indices;
    smoothEllipseGeometry(cx, cy, rx, ry, segments, colour, vertices, indices);
    if (indices.empty()) return;
    SDL_SetRenderDrawBlendMode(r, SDL_BLENDMODE_BLEND);
    SDL_RenderGeometry(r, nullptr, vertices.data(), static_cast<int>(vertices.size()), indices.data(),
                       static_cast<int>(indices.size()));
}

void drawDiamond(SDL_Renderer* r, float cx, float cy, float s, SDL_Color colour) {
    SDL_SetRenderDrawColor(r, colour.r, colour.g, colour.b, colour.a);
    const SDL_Vertex vertices[4] = {{{cx, cy - s}, colour, {0.0f, 0.0f}},
                                    {{cx + s, cy}, colour, {0.0f, 0.0f}},
                                    {{cx, cy + s}, colour, {0.0f, 0.0f}},
                                    {{cx - s, cy}, colour, {0.0f, 0.0f}}};
    const int indices[6] = {0, 1, 2, 0, 2, 3};
    SDL_RenderGeometry(r, nullptr, vertices, 4, indices, 6);
}
