// The panel every dialog is built on: it owns its child widgets, draws them clipped to itself and feeds them events.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "colors.h"
#include "ui/ui_element.h"

class Modal {
public:
    SDL_FRect rect{0, 0, 0, 0};
    std::vector<std::unique_ptr<UIElement>> children;
    SDL_Color bg = modalColor;
    SDL_Color border = modalBorderColor;

    Modal(float x, float y, float w, float h) : rect{x, y, w, h} {}
    Modal(float x, float y, float w, float h, SDL_Color bg, SDL_Color border) : rect{x, y, w, h}, bg(bg), border(border) {}

    void show() { visible = true; }
    void hide() { visible = false; }
    void toggle() { visible = !visible; }
    bool isVisible() const { return visible; }

    // Constructs a child, appends it and returns it; the modal owns it.
    template <class T, class... Args>
    T* add(Args&&... args) {
        auto child = std::make_unique<T>(std::forward<Args>(args)...);
        T* raw = child.get();
        children.push_back(std::move(child));
        return raw;
    }

    void draw();
    // True when the modal took the event: a mouse event inside it, or a key or text for a focused child.
    bool handleEvent(const SDL_Event& e);
    // Destroys the children and hides; a child's callback may call it, the children then live until the dispatch ends.
    void clear();
    // Centres the panel in the window, shifted by (dx, dy); children placed earlier stay where they are.
    void centerOnScreen(float dx, float dy);
    // Puts the panel's top-left corner at (x, y), its children moving with it.
    void moveTo(float x, float y);

private:
    bool visible = false;
    // Counts clears, so a dispatch sees when a callback rebuilt the panel under it.
    unsigned generation = 0;
    int dispatching = 0;
    std::vector<std::unique_ptr<UIElement>> retired;

    bool dispatchMouse(const SDL_Event& e);
    void dispatchToChildren(const SDL_Event& e);
    bool dispatchKeys(const SDL_Event& e);
};
