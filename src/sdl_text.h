// The UI font at its preloaded sizes, measuring, wrapping, and single-line text drawn through a bounded cache.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>

struct CachedFont {
    TTF_Font* font = nullptr;
    // SDL_ttf reads the font from these bytes for as long as it is open.
    std::vector<uint8_t> data;
};

extern const char* const FONT_PATH;
// The only sizes text can be drawn at.
extern const std::array<int, 13> FONT_SIZES;
// The least recently used texts are freed beyond this many.
constexpr std::size_t TEXT_CACHE_LIMIT = 1024;

extern std::map<int, CachedFont> fontCache;
// White glyphs at size 12 for floating numbers: digits here, the other printable characters in charTextures.
extern std::array<SDL_Texture*, 10> digitTextures;
extern std::array<SDL_Texture*, 256> charTextures;

// Opens the font file from the asset archive at one size; throws std::runtime_error naming the file on failure.
void preloadFont(int size);
// Every size of FONT_SIZES; a missing or broken font file gives one line naming it, and text then draws nothing.
bool initFonts();
// The glyph textures; needs the renderer.
void initFontCache();
// Frees the cached texts, the glyphs and the fonts; called before the renderer and SDL_ttf go.
void cleanupFonts();

// Throws std::runtime_error "Font size not preloaded: N" for any other size.
TTF_Font* getFont(int size);
// The text measures as DrawText draws it (UTF-8); an unknown size gives 0 x 0 and one message.
void getTextSize(const std::string& text, int size, int& w, int& h);
int TextWidth(const std::string& text, int size);
int TextHeight(const std::string& text, int size);
// The height of one line, what a centred label is laid out by.
int lineSkip(int size);

// One line at (x, y), or centred on it; the alpha of the colour applies at each draw and is not in the cache key.
void DrawText(const std::string& text, int x, int y, SDL_Color colour, int size, bool centred);
std::size_t textCacheSize();

// The pieces between '\n'; a final '\n' adds no empty piece.
std::vector<std::string> splitLines(const std::string& text);
// Widest line and the sum of the line heights plus spacing between lines.
void measureTooltipText(TTF_Font* font, const std::string& text, int& w, int& h, int spacing);
// Each line under the previous one, 2 px apart; not cached.
void DrawMultilineText(const std::string& text, float x, float y, SDL_Color colour, int size);
// Greedy word wrap per paragraph; a word wider than the limit stands alone, an empty paragraph stays an empty line.
std::vector<std::string> wrapText(int size, const std::string& text, int maxWidth);
