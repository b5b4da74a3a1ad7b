// The UI font at its preloaded sizes, measuring, wrapping, and single-line text drawn through a bounded cache.
#include "sdl_text.h"

#include <iostream>
#include <list>
#include <set>
#include <sstream>
#include <stdexcept>
#include <tuple>

#include "sdl.h"
#include "textures.h"

const char* const FONT_PATH = "core/assets/global/fonts/JetBrainsMonoNerdFont-Bold.ttf";
const std::array<int, 13> FONT_SIZES = {10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 32, 50, 72};

std::map<int, CachedFont> fontCache;
std::array<SDL_Texture*, 10> digitTextures{};
std::array<SDL_Texture*, 256> charTextures{};

namespace {

// Size and colour are fields of their own, so no text can alias another's key.
struct TextKey {
    std::string text;
    int size;
    uint8_t r, g, b;
    bool operator<(const TextKey& o) const {
        return std::tie(text, size, r, g, b) < std::tie(o.text, o.size, o.r, o.g, o.b);
    }
};

using TextEntry = std::pair<TextKey, SDL_Texture*>;
// Most recently drawn first.
std::list<TextEntry> textLru;
std::map<TextKey, std::list<TextEntry>::iterator> textIndex;

void destroy(SDL_Texture*& texture) {
    if (texture) SDL_DestroyTexture(texture);
    texture = nullptr;
}

void clearTextCache() {
    for (TextEntry& entry : textLru) destroy(entry.second);
    textLru.clear();
    textIndex.clear();
}

// Null for an unknown size, reported once per size so a bad caller does not flood the log every frame.
TTF_Font* findFont(int size) {
    const auto it = fontCache.find(size);
    if (it != fontCache.end()) return it->second.font;
    static std::set<int> reported;
    if (reported.insert(size).second) std::cerr << "Font size not preloaded: " << size << "\n";
    return nullptr;
}

SDL_Texture* renderText(const std::string& text, int size, SDL_Color colour) {
    TTF_Font* font = findFont(size);
    if (!font || !renderer) return nullptr;
    SDL_Surface* surface = TTF_RenderUTF8_Blended(font, text.c_str(), SDL_Color{colour.r, colour.g, colour.b, 255});
    if (!surface) {
        SDL_Log("TTF_RenderUTF8_Blended failed for '%s': %s", text.c_str(), SDL_GetError());
        return nullptr;
    }
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
    if (!texture) SDL_Log("SDL_CreateTextureFromSurface error: %s", SDL_GetError());
    SDL_FreeSurface(surface);
    return texture;
}

// A failed rendering is kept as null, so it is tried once, not every frame.
SDL_Texture* cachedText(const std::string& text, int size, SDL_Color colour) {
    TextKey key{text, size, colour.r, colour.g, colour.b};
    const auto found = textIndex.find(key);
    if (found != textIndex.end()) {
        textLru.splice(textLru.begin(), textLru, found->second);
        return found->second->second;
    }
    SDL_Texture* texture = renderText(text, size, colour);
    textLru.emplace_front(key, texture);
    textIndex.emplace(std::move(key), textLru.begin());
    while (textLru.size() > TEXT_CACHE_LIMIT) {
        destroy(textLru.back().second);
        textIndex.erase(textLru.back().first);
        textLru.pop_back();
    }
    return texture;
}

SDL_Texture* whiteGlyph(TTF_Font* font, char c) {
    const char text[2] = {c, '\0'};
    SDL_Surface* surface = TTF_RenderText_Blended(font, text, SDL_Color{255, 255, 255, 255});
    if (!surface) return nullptr;
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
    SDL_FreeSurface(surface);
    return texture;
}

}  // namespace

void preloadFont(int size) {
    CachedFont entry;
    if (!readAssetFile(FONT_PATH, entry.data) || entry.data.empty())
        throw std::runtime_error(std::string("PhysFS could not open: ") + FONT_PATH);
    SDL_RWops* stream = SDL_RWFromConstMem(entry.data.data(), static_cast<int>(entry.data.size()));
    entry.font = stream ? TTF_OpenFontRW(stream, 1, size) : nullptr;
    if (!entry.font)
        throw std::runtime_error(std::string("TTF_OpenFontRW failed: ") + FONT_PATH + ": " + TTF_GetError());
    CachedFont& slot = fontCache[size];
    if (slot.font) TTF_CloseFont(slot.font);
    slot = std::move(entry);
}

bool initFonts() {
    try {
        for (int size : FONT_SIZES) preloadFont(size);
        return true;
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return false;
    }
}

void initFontCache() {
    TTF_Font* font = findFont(12);
    if (!font || !renderer) return;
    for (int d = 0; d < 10; ++d) {
        destroy(digitTextures[static_cast<size_t>(d)]);
        digitTextures[static_cast<size_t>(d)] = whiteGlyph(font, static_cast<char>('0' + d));
    }
    for (int c = 32; c <= 126; ++c) {
        if (c >= '0' && c <= '9') continue;
        destroy(charTextures[static_cast<size_t>(c)]);
        charTextures[static_cast<size_t>(c)] = whiteGlyph(font, static_cast<char>(c));
        if (!charTextures[static_cast<size_t>(c)]) {
            std::cerr << "CRITICAL: Failed to render char " << static_cast<char>(c) << ": " << SDL_GetError() << "\n";
            return;
        }
    }
}

void cleanupFonts() {
    clearTextCache();
    for (SDL_Texture*& texture : digitTextures) destroy(texture);
    for (SDL_Texture*& texture : charTextures) destroy(texture);
    for (auto& [size, entry] : fontCache)
        if (entry.font) TTF_CloseFont(entry.font);
    fontCache.clear();
}

TTF_Font* getFont(int size) {
    const auto it = fontCache.find(size);
    if (it == fontCache.end()) throw std::runtime_error("Font size not preloaded: " + std::to_string(size));
    return it->second.font;
}

void getTextSize(const std::string& text, int size, int& w, int& h) {
    w = 0;
    h = 0;
    TTF_Font* font = findFont(size);
    if (font && TTF_SizeUTF8(font, text.c_str(), &w, &h) != 0) {
        SDL_Log("TTF_SizeUTF8 error: %s", TTF_GetError());
        w = 0;
        h = 0;
    }
}

int TextWidth(const std::string& text, int size) {
    int w = 0;
    int h = 0;
    getTextSize(text, size, w, h);
    return w;
}

int TextHeight(const std::string& text, int size) {
    int w = 0;
    int h = 0;
    getTextSize(text, size, w, h);
    return h;
}

int lineSkip(int size) {
    TTF_Font* font = findFont(size);
    return font ? TTF_FontLineSkip(font) : 0;
}

void DrawText(const std::string& text, int x, int y, SDL_Color colour, int size, bool centred) {
    if (!renderer || text.empty()) return;
    SDL_Texture* texture = cachedText(text, size, colour);
    if (!texture) return;
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    SDL_SetTextureAlphaMod(texture, colour.a);
    SDL_Rect dst{x, y, 0, 0};
    SDL_QueryTexture(texture, nullptr, nullptr, &dst.w, &dst.h);
    if (centred) {
        dst.x -= dst.w / 2;
        dst.y -= dst.h / 2;
    }
    SDL_RenderCopy(renderer, texture, nullptr, &dst);
}

std::size_t textCacheSize() { return textLru.size(); }

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line, '\n');) lines.push_back(line);
    return lines;
}

void measureTooltipText(TTF_Font* font, const std::string& text, int& w, int& h, int spacing) {
    w = 0;
    h = 0;
    const std::vector<std::string> lines = splitLines(text);
    for (const std::string& line : lines) {
        int lw = 0;
        int lh = 0;
        if (font) TTF_SizeUTF8(font, line.c_str(), &lw, &lh);
        w = std::max(w, lw);
        h += lh + spacing;
    }
    if (!lines.empty()) h -= spacing;
}

void DrawMultilineText(const std::string& text, float x, float y, SDL_Color colour, int size) {
    TTF_Font* font = findFont(size);
    if (!font || !renderer) return;
    for (const std::string& line : splitLines(text)) {
        // An empty line renders no surface but still takes its height.
        SDL_Surface* surface = line.empty() ? nullptr : TTF_RenderUTF8_Blended(font, line.c_str(), colour);
        if (!surface) {
            y += static_cast<float>(TTF_FontHeight(font) + 2);
            continue;
        }
        SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
        const SDL_FRect dst{x, y, static_cast<float>(surface->w), static_cast<float>(surface->h)};
        if (texture) SDL_RenderCopyF(renderer, texture, nullptr, &dst);
        if (texture) SDL_DestroyTexture(texture);
        y += static_cast<float>(surface->h + 2);
        SDL_FreeSurface(surface);
    }
}

std::vector<std::string> wrapText(int size, const std::string& text, int maxWidth) {
    std::vector<std::string> lines;
    TTF_Font* font = findFont(size);
    if (!font) return lines;
    std::istringstream paragraphs(text);
    for (std::string paragraph; std::getline(paragraphs, paragraph, '\n');) {
        std::istringstream words(paragraph);
        std::string current;
        for (std::string word; words >> word;) {
            const std::string candidate = current.empty() ? word : current + " " + word;
            int w = 0;
            int h = 0;
            TTF_SizeUTF8(font, candidate.c_str(), &w, &h);
            if (w > maxWidth && !current.empty()) {
                lines.push_back(current);
                current = word;
            } else {
                current = candidate;
            }
        }
        // An empty paragraph keeps its empty line.
        if (!current.empty() || paragraph.empty()) lines.push_back(current);
    }
    return lines;
}
