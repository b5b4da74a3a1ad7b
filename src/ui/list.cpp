// A scrolling single-selection list of text rows with a scroll bar and a box showing rows too long to fit.
#include "ui/list.h"

#include <algorithm>

Uint32 (*listTicks)() = SDL_GetTicks;

List::List(float x, float y, float w, float h, int fontSize) : rect{x, y, w, h}, fontSize(fontSize) {}

// A shorter list keeps its position only as far as its last page: past that no row would show, and a list that
// now fits takes no wheel to bring them back.
void List::setItems(std::vector<std::string> newItems) {
    items = std::move(newItems);
    selected = 0;
    scrollTo(std::clamp(scrollOffset, 0, std::max(0, static_cast<int>(items.size()) - visibleRows())));
}

// The rows move under a resting pointer: the hover follows to the row now there.
void List::scrollTo(int offset) {
    scrollOffset = offset;
    if (hoveredIndex != -1) hoveredIndex = rowAt(mouseX, mouseY);
}

const std::string& List::selectedText() const {
    static const std::string none;
    return selected >= 0 && selected < static_cast<int>(items.size()) ? items[static_cast<size_t>(selected)] : none;
}

int List::visibleRows() const { return static_cast<int>(rect.h / static_cast<float>(itemHeight)); }

bool List::computeScrollbar(SDL_FRect& track, SDL_FRect& thumb, int& rows) const {
    rows = visibleRows();
    const int count = static_cast<int>(items.size());
    if (count <= rows) return false;
    const float thumbHeight = std::max(static_cast<float>(rows) / static_cast<float>(count) * rect.h, 20.0f);
    const float thumbY = rect.y + static_cast<float>(scrollOffset) / static_cast<float>(count - rows) * (rect.h - thumbHeight);
    track = SDL_FRect{rect.x + rect.w - scrollbarWidth, rect.y, scrollbarWidth, rect.h};
    thumb = SDL_FRect{track.x, thumbY, scrollbarWidth, thumbHeight};
    return true;
}

// Only a row drawn can be taken: the strip below the last whole row shows none.
int List::rowAt(float x, float y) const {
    if (!pointInRect(rect, x, y)) return -1;
    const int shown = static_cast<int>((y - rect.y) / static_cast<float>(itemHeight));
    const int row = shown + scrollOffset;
    return shown < visibleRows() && row >= 0 && row < static_cast<int>(items.size()) ? row : -1;
}

bool isTruncated(const std::string& text, int maxWidth, int fontSize) { return TextWidth(text, fontSize) > maxWidth; }

void List::draw() {
    if (!visible) return;
    fillRect(rect, SDL_Color{35, 35, 35, 230});
    const int rows = visibleRows();
    {
        ClipScope clip(rect);
        for (int i = 0; i < rows && scrollOffset + i < static_cast<int>(items.size()); ++i) {
            const int idx = scrollOffset + i;
            const float rowY = rect.y + static_cast<float>(itemHeight * i);
            if (idx == selected)
                fillRect(SDL_FRect{rect.x, rowY, rect.w, static_cast<float>(itemHeight)}, SDL_Color{139, 0, 0, 255});
            DrawText(items[static_cast<size_t>(idx)], static_cast<int>(rect.x + 6), static_cast<int>(rowY + 4),
                     whiteColor, fontSize, false);
        }
    }
    SDL_FRect track;
    SDL_FRect thumb;
    int barRows = 0;
    if (computeScrollbar(track, thumb, barRows)) {
        fillRect(track, SDL_Color{25, 25, 25, 200});
        fillRect(thumb, SDL_Color{90, 25, 25, 255});
    }
    drawHoverBox();
}

// Drawn outside the list's clip, so the full text may reach past the list.
void List::drawHoverBox() {
    if (hoveredIndex < 0 || hoveredIndex >= static_cast<int>(items.size())) return;
    const std::string& text = items[static_cast<size_t>(hoveredIndex)];
    if (!isTruncated(text, static_cast<int>(rect.w - scrollbarWidth - 12), fontSize)) return;
    int textW = 0;
    int textH = 0;
    getTextSize(text, fontSize, textW, textH);
    SDL_FRect box{mouseX + 12, mouseY + 12, static_cast<float>(textW + 12), static_cast<float>(textH + 12)};
    int outW = 0;
    int outH = 0;
    SDL_GetRendererOutputSize(renderer, &outW, &outH);
    if (box.x + box.w > static_cast<float>(outW)) box.x = mouseX - box.w - 12;
    if (box.y + box.h > static_cast<float>(outH)) box.y = mouseY - box.h - 12;
    fillRect(box, SDL_Color{20, 20, 20, 240});
    outlineRect(box, SDL_Color{200, 200, 200, 255});
    DrawText(text, static_cast<int>(box.x + 6), static_cast<int>(box.y + 6), whiteColor, fontSize,
             false);
}

void List::press(float x, float y) {
    const int row = rowAt(x, y);
    if (row >= 0) {
        selected = row;
        const std::string text = items[static_cast<size_t>(row)];
        if (onSelect) onSelect(row, text);
        const Uint32 now = listTicks();
        if (now - lastClickTicks < DOUBLE_CLICK_MS && onActivate) onActivate(row, text);
        lastClickTicks = now;
    }
    SDL_FRect track;
    SDL_FRect thumb;
    int rows = 0;
    if (computeScrollbar(track, thumb, rows) && x >= track.x && x <= track.x + track.w && y >= thumb.y &&
        y <= thumb.y + thumb.h) {
        draggingThumb = true;
        dragOffset = y - thumb.y;
    }
}

// A row lit by a key is chosen as one clicked is, so the page acts on the row it shows.
void List::key(SDL_Keycode sym) {
    const int count = static_cast<int>(items.size());
    const int before = selected;
    if (sym == SDLK_DOWN) selected = std::min(selected + 1, count - 1);
    else if (sym == SDLK_UP) selected = std::max(selected - 1, 0);
    else if (sym == SDLK_RETURN && onActivate) onActivate(selected, selectedText());
    scrollToSelected();
    if (selected != before && onSelect) onSelect(selected, selectedText());
}

void List::scrollToSelected() {
    if (selected < 0) return;
    const int rows = visibleRows();
    if (scrollOffset > selected) scrollTo(selected);
    if (scrollOffset + rows <= selected) scrollTo(selected - rows + 1);
}

void List::light(const std::string& item) {
    const auto found = std::find(items.begin(), items.end(), item);
    selected = found == items.end() ? -1 : static_cast<int>(found - items.begin());
    scrollToSelected();
}

void List::motion(float x, float y) {
    mouseX = x;
    mouseY = y;
    hoveredIndex = rowAt(x, y);
    SDL_FRect track;
    SDL_FRect thumb;
    int rows = 0;
    if (!draggingThumb || !computeScrollbar(track, thumb, rows)) return;
    const float top = std::clamp(y - dragOffset, rect.y, rect.y + rect.h - thumb.h);
    const int count = static_cast<int>(items.size());
    scrollTo(static_cast<int>((top - rect.y) / (rect.h - thumb.h) * static_cast<float>(count - rows) + 0.5f));
}

void List::handleEvent(const SDL_Event& e) {
    if (!visible || items.empty()) return;
    const int count = static_cast<int>(items.size());
    switch (e.type) {
    case SDL_MOUSEWHEEL:
        if (count > visibleRows()) scrollTo(std::clamp(scrollOffset - e.wheel.y * 3, 0, count - visibleRows()));
        break;
    case SDL_MOUSEBUTTONDOWN:
        if (e.button.button == SDL_BUTTON_LEFT) press(static_cast<float>(e.button.x), static_cast<float>(e.button.y));
        break;
    case SDL_KEYDOWN:
        key(e.key.keysym.sym);
        break;
    case SDL_MOUSEMOTION:
        motion(static_cast<float>(e.motion.x), static_cast<float>(e.motion.y));
        break;
    case SDL_MOUSEBUTTONUP:
        if (e.button.button == SDL_BUTTON_LEFT) draggingThumb = false;
        break;
    default:
        break;
    }
}
