// The map preview: the map drawn off screen in a simplified isometric view, read back and saved as a bitmap.
#include "map_preview.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "config.h"
#include "decorations.h"
#include "game_state.h"
#include "map_objects.h"
#include "renderer_iso_terrain.h"
#include "sdl_draw.h"
#include "sprites.h"

PreviewFit previewFit(int mapW, int mapH, float t) {
    const float xs[4] = {0.0f, (mapW - 1) * t / 2, -(mapH - 1) * t / 2, (mapW - mapH) * t / 2};
    const float ys[4] = {0.0f, (mapW - 1) * t / 4, (mapH - 1) * t / 4, (mapW + mapH - 2) * t / 4};
    const auto [minX, maxX] = std::minmax_element(xs, xs + 4);
    const auto [minY, maxY] = std::minmax_element(ys, ys + 4);
    const float w = *maxX - *minX, h = *maxY - *minY;
    // A one-cell map has an empty box: it is drawn one tile wide.
    const float fitted = 0.9f * MAP_PREVIEW_SIZE;
    const float scale = std::min(w > 0.0f ? fitted / w : fitted / t, h > 0.0f ? fitted / h : fitted / t);
    return {scale, MAP_PREVIEW_SIZE / 2.0f - (*minX + w / 2) * scale, MAP_PREVIEW_SIZE / 2.0f - (*minY + h / 2) * scale};
}

std::string previewFileName(const std::string& mapName) {
    const std::size_t dot = mapName.rfind('.');
    return (dot == std::string::npos ? mapName : mapName.substr(0, dot)) + ".bmp";
}

namespace {

struct PreviewPainter {
    SDL_Renderer* target;
    const Grid& grid;
    PreviewFit fit;
    float t;

    SDL_FPoint cellPoint(int x, int y) const {
        const bool inside = x >= 0 && y >= 0 && x < MAP_W && y < MAP_H;
        const int level = inside ? grid.at(x, y).heightLevel : 0;
        return {fit.offsetX + (x - y) * (t / 2) * fit.scale,
                fit.offsetY + ((x + y) * (t / 4) - level * (t / 2)) * fit.scale};
    }

    template <typename Fn>
    void eachCell(Fn&& fn) const {
        for (int s = 0; s <= MAP_W + MAP_H - 2; ++s)
            for (int y = std::max(0, s - MAP_W + 1); y <= std::min(s, MAP_H - 1); ++y) fn(s - y, y);
    }

    void terrain() const {
        eachCell([&](int x, int y) {
            const SDL_FPoint p = cellPoint(x, y);
            if (grid.at(x, y).type == Tile::Water) {
                drawTransitionTile(grid, p, x, y, fit.scale);
            } else if (marsSprite1.texture) {
                const SDL_FRect dst{p.x - t / 2 * fit.scale, p.y, t * fit.scale, t / 2 * fit.scale};
                SDL_RenderCopyF(target, marsSprite1.texture, nullptr, &dst);
            }
        });
        eachCell([&](int x, int y) { drawRampTile(grid, cellPoint(x, y), x, y, fit.scale); });
    }

    void objects() const {
        for (const MapObject& o : mapObjects) {
            SDL_Texture* texture = o.spriteMeta ? o.spriteMeta->sprite.texture : nullptr;
            if (!texture) continue;
            SDL_SetTextureColorMod(texture, 255, 255, 255);
            const SDL_FPoint p = cellPoint(o.tileX, o.tileY);
            const float dw = o.wTiles * t * 0.5f * fit.scale, dh = o.hTiles * t * 0.5f * fit.scale;
            const SDL_FRect dst{p.x - dw / 2, p.y, dw, dh};
            const bool hasSrc = o.sprite.src.w > 0 && o.sprite.src.h > 0;
            SDL_RenderCopyF(target, texture, hasSrc ? &o.sprite.src : nullptr, &dst);
        }
    }

    void decorationSprites() const {
        for (const Decoration& d : decorations) {
            const auto it = decorationsSprites.find(d.name);
            if (it == decorationsSprites.end() || !it->second.sprite.texture) continue;
            const SDL_FPoint p = cellPoint(d.tileX, d.tileY);
            const SDL_FRect dst{p.x - d.width * fit.scale, p.y, d.width * fit.scale, d.height * fit.scale};
            SDL_RenderCopyF(target, it->second.sprite.texture, &it->second.sprite.src, &dst);
        }
    }
};

// Written through a temporary file, so a failed save keeps the previous preview.
void writeBitmap(SDL_Surface* surface, const std::string& path) {
    const std::string temporary = path + ".tmp";
    std::error_code ignored;
    if (SDL_SaveBMP(surface, temporary.c_str()) == 0) std::filesystem::rename(temporary, path, ignored);
    std::filesystem::remove(temporary, ignored);
}

}  // namespace

void saveMapPreviewHardware(SDL_Renderer* target, Grid const& g, std::string const& name) {
    if (!target) return;
    SDL_Texture* canvas = SDL_CreateTexture(target, SDL_PIXELFORMAT_RGBA8888, SDL_TEXTUREACCESS_TARGET,
                                            MAP_PREVIEW_SIZE, MAP_PREVIEW_SIZE);
    if (!canvas) return;
    SDL_SetTextureBlendMode(canvas, SDL_BLENDMODE_BLEND);
    SDL_Texture* previous = SDL_GetRenderTarget(target);
    SDL_SetRenderTarget(target, canvas);
    SDL_SetRenderDrawColor(target, 20, 20, 24, 255);
    SDL_RenderClear(target);
    const float t = static_cast<float>(TILE_SIZE);
    const PreviewPainter painter{target, g, previewFit(MAP_W, MAP_H, t), t};
    painter.terrain();
    painter.objects();
    painter.decorationSprites();
    if (SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, MAP_PREVIEW_SIZE, MAP_PREVIEW_SIZE, 32,
                                                              SDL_PIXELFORMAT_RGBA8888)) {
        SDL_RenderReadPixels(target, nullptr, SDL_PIXELFORMAT_RGBA8888, surface->pixels, surface->pitch);
        writeBitmap(surface, basePath + "maps/" + previewFileName(name));
        SDL_FreeSurface(surface);
    }
    SDL_SetRenderTarget(target, previous);
    SDL_DestroyTexture(canvas);
}
