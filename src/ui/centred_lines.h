// Text of the story and the credits laid out as lines centred on the window, wrapped to stay inside it.
#pragma once

#include <string>
#include <vector>

#include "sdl_text.h"
#include "ui/ui_element.h"

namespace centred_lines {

// Kept clear on each side of the window, so a wrapped line never touches its edge.
constexpr int SIDE_MARGIN = 20;

// Appends the text as labels centred on the window width from y down, in as many lines as it needs to fit;
// the y just below the last of them.
inline float add(std::vector<Label>& labels, const std::string& text, int fontSize, float windowWidth, float y) {
    std::vector<std::string> lines = wrapText(fontSize, text, static_cast<int>(windowWidth) - 2 * SIDE_MARGIN);
    // Without the font nothing can be measured: the text then stands as one line.
    if (lines.empty()) lines.push_back(text);
    for (const std::string& line : lines) {
        int tw = 0;
        int th = 0;
        getTextSize(line, fontSize, tw, th);
        labels.emplace_back(line, windowWidth * 0.5f - static_cast<float>(tw) * 0.5f, y, fontSize);
        y += static_cast<float>(th);
    }
    return y;
}

}  // namespace centred_lines
