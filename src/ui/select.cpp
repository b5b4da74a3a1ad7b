// A small drop-down: a box showing the chosen option that opens into one row per option.
#include "ui/select.h"

#include "colors.h"
#include "sdl.h"
#include "sdl_draw.h"
#include "sdl_text.h"
#include "ui/ui_element.h"

SDL_Rect Select::row(int i) const {
    return SDL_Rect{static_cast<int>(box.x), static_cast<int>(box.y + static_cast<float>(i + 1) * box.h),
                    static_cast<int>(box.w), static_cast<int>(box.h)};
}

void Select::draw(float x, float y, float w, float h) {
    box = SDL_FRect{x, y, w, h};
    draw();
}

void Select::draw() {
    const SDL_Rect boxRect{static_cast<int>(box.x), static_cast<int>(box.y), static_cast<int>(box.w),
                           static_cast<int>(box.h)};
    DrawRect(renderer, boxRect, SDL_Color{50, 50, 50, 255}, true);
    DrawRect(renderer, boxRect, whiteColor, false);
    if (!options.empty()) DrawText(get_selected(), boxRect.x + 6, boxRect.y + 4, whiteColor, 12, false);
    if (!open) return;
    for (int i = 0; i < static_cast<int>(options.size()); ++i) {
        const SDL_Rect r = row(i);
        DrawRect(renderer, r, i == selected ? SDL_Color{70, 70, 70, 255} : SDL_Color{30, 30, 30, 255}, true);
        DrawRect(renderer, r, whiteColor, false);
        DrawText(options[static_cast<size_t>(i)], r.x + 6, r.y + 4, whiteColor, 12, false);
    }
}

void Select::handle_event(const SDL_Event& e) {
    if (!isLeftPress(e)) return;
    const float x = static_cast<float>(e.button.x);
    const float y = static_cast<float>(e.button.y);
    if (pointInRect(box, x, y)) {
        open = !open;
        return;
    }
    if (!open) return;
    open = false;
    if (x < box.x || x > box.x + box.w) return;
    for (int i = 0; i < static_cast<int>(options.size()); ++i) {
        if (y < box.y + static_cast<float>(i + 1) * box.h || y > box.y + static_cast<float>(i + 2) * box.h) continue;
        selected = i;
        if (onChange) onChange(i);
        return;
    }
}

const std::string& Select::get_selected() const {
    static const std::string none;
    return selected >= 0 && selected < static_cast<int>(options.size()) ? options[static_cast<size_t>(selected)] : none;
}

void Select::set_items(std::vector<std::string> items) {
    options = std::move(items);
    selected = 0;
    open = false;
}
