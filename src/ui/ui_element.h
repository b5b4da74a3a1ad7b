// The widget base and the two passive widgets, Label and Image, with the helpers every widget shares.
#pragma once

#include <string>

#include <SDL2/SDL.h>

#include "colors.h"
#include "sdl.h"
#include "sdl_text.h"

class UIElement {
public:
    bool visible = true;

    virtual ~UIElement() = default;
    virtual void draw() = 0;
    virtual void handleEvent(const SDL_Event&) {}
    // Shifts the widget on screen, as its dialog moves when the window changes size.
    virtual void moveBy(float dx, float dy) = 0;
    // A widget that takes typed text while it has focus; its dialog passes it keys and text.
    virtual bool hasFocus() const { return false; }
};

// Edges count as inside.
inline bool pointInRect(const SDL_FRect& r, float x, float y) {
    return x >= r.x && x <= r.x + r.w && y >= r.y && y <= r.y + r.h;
}

inline void shiftRect(SDL_FRect& r, float dx, float dy) {
    r.x += dx;
    r.y += dy;
}

inline bool isLeftPress(const SDL_Event& e) {
    return e.type == SDL_MOUSEBUTTONDOWN && e.button.button == SDL_BUTTON_LEFT;
}

inline void fillRect(const SDL_FRect& r, SDL_Color c) {
    SDL_SetRenderDrawColor(renderer, c.r, c.g, c.b, c.a);
    SDL_RenderFillRectF(renderer, &r);
}

inline void outlineRect(const SDL_FRect& r, SDL_Color c) {
    SDL_SetRenderDrawColor(renderer, c.r, c.g, c.b, c.a);
    SDL_RenderDrawRectF(renderer, &r);
}

// Clips drawing to a rectangle for its lifetime and then puts back whatever clip was there before.
class ClipScope {
public:
    explicit ClipScope(const SDL_FRect& r) : hadClip(SDL_RenderIsClipEnabled(renderer)) {
        if (hadClip) SDL_RenderGetClipRect(renderer, &previous);
        const SDL_Rect clip{static_cast<int>(r.x), static_cast<int>(r.y), static_cast<int>(r.w), static_cast<int>(r.h)};
        SDL_RenderSetClipRect(renderer, &clip);
    }
    ~ClipScope() { SDL_RenderSetClipRect(renderer, hadClip ? &previous : nullptr); }
    ClipScope(const ClipScope&) = delete;
    ClipScope& operator=(const ClipScope&) = delete;

private:
    bool hadClip;
    SDL_Rect previous{};
};

class Label : public UIElement {
public:
    std::string text;
    float x = 0.0f;
    float y = 0.0f;
    int fontSize = 18;
    SDL_Color colour{255, 255, 255, 255};

    Label(std::string text, float x, float y, int fontSize, SDL_Color colour = whiteColor)
        : text(std::move(text)), x(x), y(y), fontSize(fontSize), colour(colour) {}
    void draw() override { DrawText(text, static_cast<int>(x), static_cast<int>(y), colour, fontSize, false); }
    void moveBy(float dx, float dy) override {
        x += dx;
        y += dy;
    }
};

// The texture is not owned.
class Image : public UIElement {
public:
    SDL_Texture* texture = nullptr;
    SDL_FRect dest{0, 0, 0, 0};

    Image(SDL_Texture* texture, SDL_FRect dest) : texture(texture), dest(dest) {}
    void draw() override {
        if (texture) SDL_RenderCopyF(renderer, texture, nullptr, &dest);
    }
    void moveBy(float dx, float dy) override { shiftRect(dest, dx, dy); }
};
