// The map preview: the map drawn off screen in a simplified isometric view, read back and saved as a bitmap.
#include "map_preview.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "config.h"
#include "decorations.h"
#include "game_state.h"
#include "map_objects.h"
#include "renderer_iso_terrain.h"
#include "sdl_draw.h"
#include "sprites.h"
#include "utils.h"

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

// Encoded in memory, then written as every file for the user is, so a failed save keeps the previous preview.
void writeBitmap(SDL_Surface* surface, const std::string& path) {
    // Room for the largest header a bitmap is written with and four bytes a pixel.
    std::string bytes(1024 + static_cast<std::size_t>(surface->w) * static_cast<std::size_t>(surface->h) * 4, '\0');
    SDL_RWops* memory = SDL_RWFromMem(bytes.data(), static_cast<int>(bytes.size()));
    if (!memory) return;
    const bool encoded = SDL_SaveBMP_RW(surface, memory, 0) == 0;
    bytes.resize(static_cast<std::size_t>(std::max<Sint64>(SDL_RWtell(memory), 0)));
    SDL_RWclose(memory);
    if (encoded) Utils::writeFileAtomically(path, bytes, "map preview");
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

namespace {

// The file header and the smallest information header, the first that states a picture's size.
constexpr std::size_t BITMAP_HEADER_BYTES = 54;
constexpr uint32_t UNCOMPRESSED = 0;
constexpr uint32_t BIT_FIELDS = 3;
constexpr uint16_t PIXEL_DEPTHS[] = {1, 4, 8, 16, 24, 32};

uint16_t littleEndian16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t littleEndian32(const uint8_t* p) { return littleEndian16(p) | static_cast<uint32_t>(littleEndian16(p + 2)) << 16; }

// Why a file of this length with this header cannot be a preview; empty when it can. A compressed picture has no
// length its size fixes, so only plain rows are taken.
std::string previewHeaderFault(const uint8_t* header, int64_t length) {
    if (header[0] != 'B' || header[1] != 'M') return "not a bitmap";
    const int64_t pixelsAt = littleEndian32(header + 10);
    const int64_t infoBytes = littleEndian32(header + 14);
    const int64_t width = static_cast<int32_t>(littleEndian32(header + 18));
    // A negative height stores the rows top down.
    const int64_t height = static_cast<int32_t>(littleEndian32(header + 22));
    const uint16_t depth = littleEndian16(header + 28);
    const uint32_t compression = littleEndian32(header + 30);
    if (infoBytes < 40) return "an information header of " + std::to_string(infoBytes) + " bytes";
    if (width != MAP_PREVIEW_SIZE || std::abs(height) != MAP_PREVIEW_SIZE)
        return "its header says " + std::to_string(width) + " by " + std::to_string(std::abs(height)) +
               " pixels, a preview is " + std::to_string(MAP_PREVIEW_SIZE) + " by " + std::to_string(MAP_PREVIEW_SIZE);
    if (compression != UNCOMPRESSED && compression != BIT_FIELDS) return "compressed pixels";
    if (std::find(std::begin(PIXEL_DEPTHS), std::end(PIXEL_DEPTHS), depth) == std::end(PIXEL_DEPTHS))
        return std::to_string(depth) + " bits a pixel";
    if (pixelsAt < 14 + infoBytes) return "its pixels start inside its header";
    const int64_t rowBytes = (width * depth + 31) / 32 * 4;
    const int64_t needed = pixelsAt + rowBytes * MAP_PREVIEW_SIZE;
    if (length < needed)
        return "the file is " + std::to_string(length) + " bytes, its header needs " + std::to_string(needed);
    return {};
}

// The picture, or null with the fault.
SDL_Surface* readPreview(SDL_RWops* file, std::string& fault) {
    uint8_t header[BITMAP_HEADER_BYTES];
    const Sint64 length = SDL_RWsize(file);
    fault = SDL_RWread(file, header, sizeof header, 1) == 1 ? previewHeaderFault(header, length)
                                                           : "shorter than a bitmap header";
    if (!fault.empty()) return nullptr;
    SDL_Surface* surface = SDL_RWseek(file, 0, RW_SEEK_SET) == 0 ? SDL_LoadBMP_RW(file, 0) : nullptr;
    if (!surface) fault = SDL_GetError();
    return surface;
}

// The file as a stream, when it is a regular one; null otherwise, with the fault unless there is no file.
SDL_RWops* openPreviewFile(const std::string& path, std::string& fault) {
    const Utils::RegularFile regular = Utils::openRegularFile(path, fault);
    if (regular.descriptor < 0) return nullptr;
    std::FILE* stream = ::fdopen(regular.descriptor, "rb");
    if (!stream) {
        fault = std::strerror(errno);
        ::close(regular.descriptor);
        return nullptr;
    }
    SDL_RWops* file = SDL_RWFromFP(stream, SDL_TRUE);
    if (!file) {
        fault = SDL_GetError();
        std::fclose(stream);
    }
    return file;
}

}  // namespace

SDL_Surface* loadMapPreview(const std::string& path) {
    std::string fault;
    SDL_RWops* file = openPreviewFile(path, fault);
    if (!file && fault.empty()) return nullptr;
    SDL_Surface* surface = file ? readPreview(file, fault) : nullptr;
    if (file) SDL_RWclose(file);
    if (!surface) std::cerr << "Map preview not shown: " << path << ": " << fault << "\n";
    return surface;
}
