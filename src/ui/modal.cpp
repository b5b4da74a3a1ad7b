// The panel every dialog is built on: it owns its child widgets, draws them clipped to itself and feeds them events.
#include "ui/modal.h"

#include "sdl_draw.h"

void Modal::draw() {
    if (!visible) return;
    ClipScope clip(rect);
    fillRect(rect, bg);
    outlineRect(rect, border);
    for (const auto& child : children)
        if (child && child->visible) child->draw();
}

bool Modal::handleEvent(const SDL_Event& e) {
    if (!visible) return false;
    ++dispatching;
    bool taken = false;
    switch (e.type) {
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEWHEEL:
        taken = dispatchMouse(e);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
    case SDL_TEXTINPUT:
        taken = dispatchKeys(e);
        break;
    default:
        break;
    }
    if (--dispatching == 0) retired.clear();
    return taken;
}

bool Modal::dispatchMouse(const SDL_Event& e) {
    int x = 0;
    int y = 0;
    if (e.type == SDL_MOUSEMOTION) {
        x = e.motion.x;
        y = e.motion.y;
    } else if (e.type == SDL_MOUSEWHEEL) {
        SDL_GetMouseState(&x, &y);
    } else {
        x = e.button.x;
        y = e.button.y;
    }
    if (!pointInRect(rect, static_cast<float>(x), static_cast<float>(y))) {
        // A pointer that left the panel still ends a hover or a drag begun inside it; the game keeps the event.
        if (e.type == SDL_MOUSEMOTION || e.type == SDL_MOUSEBUTTONUP) dispatchToChildren(e);
        return false;
    }
    dispatchToChildren(e);
    return true;
}

void Modal::dispatchToChildren(const SDL_Event& e) {
    // A widget added by a callback during this dispatch waits for the next event.
    const size_t count = children.size();
    const unsigned start = generation;
    for (size_t i = 0; i < count && visible && generation == start; ++i) {
        UIElement* child = children[i].get();
        if (child && child->visible) child->handleEvent(e);
    }
}

// Keys and typed text go only to a focused field; with none they stay with the game.
bool Modal::dispatchKeys(const SDL_Event& e) {
    const size_t count = children.size();
    const unsigned start = generation;
    bool taken = false;
    for (size_t i = 0; i < count && visible && generation == start; ++i) {
        UIElement* child = children[i].get();
        if (!child || !child->visible || !child->hasFocus()) continue;
        taken = true;
        child->handleEvent(e);
    }
    return taken;
}

void Modal::clear() {
    ++generation;
    if (dispatching > 0) {
        for (auto& child : children) retired.push_back(std::move(child));
    }
    children.clear();
    visible = false;
}

void Modal::moveTo(float x, float y) {
    const float dx = x - rect.x;
    const float dy = y - rect.y;
    if (dx == 0.0f && dy == 0.0f) return;
    rect.x = x;
    rect.y = y;
    for (const auto& child : children)
        if (child) child->moveBy(dx, dy);
}

void Modal::centerOnScreen(float dx, float dy) {
    const SDL_FPoint size = windowSize();
    rect.x = (size.x - rect.w) * 0.5f + dx;
    rect.y = (size.y - rect.h) * 0.5f + dy;
}
