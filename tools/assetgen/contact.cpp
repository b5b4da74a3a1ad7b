// The contact sheet: one PNG that lays out every unit, building, object, tile and icon for review.
#include "contact.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include <algorithm>

#include "raster.h"

namespace {

const int kSheetWidth = 2400;
const int kPad = 8;

Image fromSurface(SDL_Surface* s) {
    Image img;
    if (!s) return img;
    SDL_Surface* rgba = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_RGBA32, 0);
    if (!rgba) return img;
    img = Image(rgba->w, rgba->h);
    for (int y = 0; y < rgba->h; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(rgba->pixels) + y * rgba->pitch;
        for (int x = 0; x < rgba->w; ++x)
            img.set(x, y, {row[x * 4] / 255.0f, row[x * 4 + 1] / 255.0f, row[x * 4 + 2] / 255.0f}, row[x * 4 + 3] / 255.0f);
    }
    SDL_FreeSurface(rgba);
    return img;
}

struct Cell {
    Image img;
    std::string label;
};

struct Shelf {
    int x = kPad, y = kPad, rowH = 0;
    std::vector<std::pair<Cell, P2>> placed;
    int height = 0;

    void newRow() {
        y += rowH + kPad + 16;
        x = kPad;
        rowH = 0;
    }
    void place(Cell c) {
        if (x + c.img.w > kSheetWidth - kPad) newRow();
        placed.push_back({c, {static_cast<float>(x), static_cast<float>(y)}});
        x += std::max(c.img.w, 90) + kPad;
        rowH = std::max(rowH, c.img.h);
        height = y + rowH + 16 + kPad;
    }
};

Image scaleToFit(const Image& img, int maxW, int maxH) {
    float k = std::min({1.0f, static_cast<float>(maxW) / img.w, static_cast<float>(maxH) / img.h});
    if (k >= 1.0f) return img;
    Image out(std::max(1, static_cast<int>(img.w * k)), std::max(1, static_cast<int>(img.h * k)));
    out.drawScaled(img, 0, 0, static_cast<float>(out.w), static_cast<float>(out.h));
    return out;
}

int sectionOf(AssetKind k) {
    switch (k) {
        case AssetKind::UnitSheet: return 0;
        case AssetKind::BuildingSheet:
        case AssetKind::BuildingConstruction: return 1;
        case AssetKind::MapObject:
        case AssetKind::Decoration: return 2;
        case AssetKind::Fixed:
        case AssetKind::TerrainTile: return 3;
        case AssetKind::Portrait:
        case AssetKind::Icon:
        case AssetKind::Item:
        case AssetKind::Cursor: return 4;
        case AssetKind::Effect:
        case AssetKind::ProjectileFlight:
        case AssetKind::ProjectileHit:
        case AssetKind::SpellTexture: return 5;
        default: return -1;
    }
}

}  // namespace

bool writeContactSheet(const Plan& plan, const std::string& outRoot, const std::string& fontPath, const std::string& pngPath) {
    bool ttf = TTF_Init() == 0;
    TTF_Font* font = ttf ? TTF_OpenFont(fontPath.c_str(), 13) : nullptr;
    Shelf shelf;
    for (int section = 0; section <= 5; ++section) {
        for (const auto& [path, job] : plan.jobs) {
            if (sectionOf(job.kind) != section) continue;
            SDL_Surface* s = IMG_Load((outRoot + "/" + path).c_str());
            Image img = fromSurface(s);
            if (s) SDL_FreeSurface(s);
            if (img.w == 0) continue;
            int limit = section == 0 ? 420 : (section == 3 ? 128 : 300);
            std::string name = path.substr(path.find_last_of('/') + 1);
            shelf.place({scaleToFit(img, limit, section == 0 ? 900 : 300), name});
        }
        shelf.newRow();
    }
    Image sheet(kSheetWidth, std::max(shelf.height, 64));
    for (int y = 0; y < sheet.h; ++y)
        for (int x = 0; x < sheet.w; ++x) sheet.set(x, y, ((x / 16 + y / 16) % 2) ? hex(0x3A3F46) : hex(0x32363C), 1.0f);
    for (auto& [cell, at] : shelf.placed) {
        sheet.draw(cell.img, static_cast<int>(at.x), static_cast<int>(at.y));
        if (!font) continue;
        SDL_Color white{235, 235, 235, 255};
        SDL_Surface* t = TTF_RenderUTF8_Blended(font, cell.label.c_str(), white);
        Image label = fromSurface(t);
        if (t) SDL_FreeSurface(t);
        sheet.draw(label, static_cast<int>(at.x), static_cast<int>(at.y) + cell.img.h + 1);
    }
    if (font) TTF_CloseFont(font);
    if (ttf) TTF_Quit();
    return savePng(sheet, pngPath);
}
