// The Extraction dialog of a mission: the Extract button and the count of own units in the extraction zone.
#include <string>

#include "extraction_rules.h"
#include "game_state.h"
#include "hud.h"
#include "player.h"
#include "sdl_draw.h"
#include "sdl_text.h"

namespace {

constexpr int UNITS_FONT = 14;

std::string unitsText(int inZone, int listed) {
    return "Units: " + std::to_string(inZone) + " / " + std::to_string(listed);
}

int localUnitCount() {
    const Player* local = getPlayerById(Player::myStaticId);
    return local ? static_cast<int>(local->unitIds.size()) : 0;
}

}  // namespace

SDL_FPoint extractPanelCorner() {
    const SDL_FPoint window = windowSize();
    return {window.x - 290.0f, window.y - 250.0f};
}

void init_extract_modal() {
    extract_modal.clear();
    extract_modal.show();
    const SDL_FRect r = extract_modal.rect;
    Button* button = extract_modal.add<Button>(SDL_FRect{r.x + 20.0f, r.y + 10.0f, 100.0f, 30.0f}, "Extract",
                                               endMissionByExtraction, 16);
    button->normal = {139, 0, 0, 255};
    button->hover = {160, 0, 0, 255};
    const std::string text = unitsText(static_cast<int>(units_around_extraction.size()), localUnitCount());
    // Placed once, right-aligned for this text; later texts keep the x.
    const float x = r.x + r.w - static_cast<float>(TextWidth(text, UNITS_FONT)) - 20.0f;
    const float y = r.y + r.h * 0.5f - static_cast<float>(TextHeight(text, UNITS_FONT)) * 0.5f;
    extract_modal_units_label = extract_modal.add<Label>(text, x, y, UNITS_FONT);
}

void showExtractPanel(bool visible, int unitsInZone, int unitsListed) {
    if (!visible) {
        extract_modal.hide();
        return;
    }
    extract_modal.show();
    if (extract_modal_units_label) extract_modal_units_label->text = unitsText(unitsInZone, unitsListed);
}
