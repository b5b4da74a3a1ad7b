// The match HUD's shared state: the per-frame button records the input handler hit-tests, and the tooltip.
#pragma once

#include <algorithm>
#include <chrono>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include <SDL2/SDL.h>

#include "hud_overlay.h"
#include "ui/button.h"
#include "ui/modal.h"

class Label;

struct Tooltip {
    bool visible = false;
    float x = 0, y = 0;
    std::string text;
    SDL_FRect box{0, 0, 0, 0};
};

struct UnitHudIcon {
    SDL_FRect rect;
    int unitId;
};
struct HudSpellButton {
    std::string spell;
    SDL_Texture* icon;
    SDL_FRect rect;
};
struct HudCarrierButton {
    SDL_Texture* icon;
    SDL_FRect rect;
};
struct HudSpawnUnitsButton {
    std::string unitType;
    SDL_Texture* icon;
    SDL_FRect rect;
    int playerId;
};
struct HudBuildingButton {
    std::string buildingType;
    SDL_Texture* icon;
    SDL_FRect rect;
};
struct HudBuildingUnitsButton {
    std::string unitType;
    SDL_Texture* icon;
    SDL_FRect rect;
};
struct HudUpgradeButtons {
    std::string upgradeId;
    SDL_Texture* icon;
    SDL_FRect rect;
};
struct HudProgressBarButton {
    int index; // 0 = the entry in progress, 1-6 = the waiting slots
    SDL_FRect rect;
};
struct HudTileButton {
    std::string name;
    SDL_Texture* texture;
    SDL_FRect rect;
};
struct HudMapObjectButton {
    std::string name;
    SDL_Texture* texture;
    SDL_FRect rect;
};
struct HudDecorationsButton {
    std::string name;
    SDL_Texture* texture;
    SDL_FRect rect;
};

extern Tooltip tooltip;
extern std::unordered_map<std::string, std::string> unitTooltips, buildingToolTips, upgradeTooltips;

// Hit lists: each panel clears its list when it starts drawing and appends one record per button it draws, so
// between two frames they hold exactly what is on screen.
extern std::vector<UnitHudIcon> unitHUDHitboxes;
extern std::vector<HudCarrierButton> hudCarrierButtons;
extern std::vector<HudSpawnUnitsButton> hudSpawnUnitsButtons;
extern std::vector<HudSpellButton> hudSpellButtons;
extern std::vector<HudBuildingButton> hudBuildingButtons;
extern std::vector<HudBuildingUnitsButton> hudBuildingUnitsButtons;
extern std::vector<HudProgressBarButton> hudProgressBarButtons;
extern std::vector<HudUpgradeButtons> hudUpgradeButtons;
extern std::vector<HudTileButton> hudTileButtons;
extern std::vector<HudMapObjectButton> hudMapObjectButtons;
extern std::vector<HudDecorationsButton> hudDecorationButtons;

extern Button menuButton;
extern Modal gameMenu;
extern Modal game_over_modal;
extern Modal extract_modal;
extern Label* extract_modal_units_label;
extern Button saveButton, heightLevel0, heightLevel1, paintingRampButton;
extern bool paintingRamp;
// The Extraction dialog, built at a mission's start: the Extract button and the count of own units in the zone.
void init_extract_modal();
// Where the Extraction dialog's top-left corner stands in the current window: near its bottom-right corner.
SDL_FPoint extractPanelCorner();
// The per-frame rules' report: shown with the count of own units in the zone and of all own units, or hidden.
void showExtractPanel(bool visible, int unitsInZone, int unitsListed);

// Both edges count: x <= px <= x + w, y <= py <= y + h.
inline bool hudButtonHit(const SDL_FRect& r, float px, float py) {
    return px >= r.x && px <= r.x + r.w && py >= r.y && py <= r.y + r.h;
}

// The first of this frame's buttons under the point, or null.
template <class HudButton>
const HudButton* hudButtonAt(const std::vector<HudButton>& buttons, float px, float py) {
    for (const HudButton& b : buttons)
        if (hudButtonHit(b.rect, px, py)) return &b;
    return nullptr;
}

void createTooltip(float x, float y, std::string text);
void hideTooltip();
// The table's text for the key; empty for a key it lacks.
inline std::string tooltipText(const std::unordered_map<std::string, std::string>& table, const std::string& key) {
    const auto found = table.find(key);
    return found == table.end() ? std::string() : found->second;
}

// One entry per counted input action, oldest first; its size is the APM shown.
extern std::deque<std::chrono::steady_clock::time_point> actionTimes;
// Key-downs (repeats included) and mouse presses count as actions.
void captureAPM(const SDL_Event& event);
// Drops actions more than a minute old; one exactly a minute old stays. The clock is a parameter for tests.
void calculateAPM(std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());
void reset_APM();

// The map editor's bottom panel: the tile, map-object and decoration palettes and the tool buttons, rebuilt and
// drawn every frame.
void editorHUD();

// ---- The match HUD: frame, panels, read-outs, tooltips ----

struct Unit;
struct Building;

// The whole match HUD of one frame; installed as the DrawHUD hook.
void drawHUD();
// The icon stretched into the button; nothing without one.
void drawHudIcon(SDL_Texture* icon, const SDL_FRect& rect);
// A rounded bar: frame and fill in the highlight colour over a dark trough; a started bar shows at least 11 px.
void drawProgressBar(float x, float y, float w, float h, float border, float padding, float value, float max);
// A filled box with rounded corners between two corners, coordinates truncated to whole pixels.
void drawRoundedBox(float x1, float y1, float x2, float y2, float radius, SDL_Color c);
// The tooltip's box for this window: at its position, moved left and up to end inside the output.
SDL_FRect tooltipBox(int outputW, int outputH);

// The production grid shared by spells, unload, trainable units, research and the build menu: 50 px buttons from
// (W - 270, top + 10), four to a row, 60 px apart.
struct ProductionGrid {
    float x;
    float y;
    int placed = 0;
    ProductionGrid();
    SDL_FRect next();
};

// Panels list catalogue entries by key, never in hash order.
template <class Map>
std::vector<std::string> sortedKeys(const Map& catalogue) {
    std::vector<std::string> keys;
    keys.reserve(catalogue.size());
    for (const auto& entry : catalogue) keys.push_back(entry.first);
    std::sort(keys.begin(), keys.end());
    return keys;
}

// Unit panels.
void unitHUD(Unit* unit);
void spellsHUD(Unit& unit);
void carrierHUD();
void spawnUnitsHUD();

// Building panels.
void drawBuildingHUD();
void unitTrainingHUD(Building& building);
void researchHUD();
void buildingsHUD(Unit& worker);

// Read-outs: the top bar with resources and the MENU button, the four status lines, the frame and action counters.
extern float fps;
// Frames and seconds since the last measurement; the shown rate changes every half second.
struct FpsCounter {
    int frameCount = 0;
    float fpsTimer = 0.0f;
};
extern FpsCounter fpsCounter;
void topHUD();
void drawFPS(float fps);
void draw_map_name();
void drawLatency();
void drawAPM(int apm);
void calculateFps(float dt);
// One icon-and-text row of the activity feed's layout, anywhere.
void drawIconAndText(const std::string& text, SDL_Texture* icon, int x, int y, float fontSize, float iconWidth);

// Train, build and upgrade texts from the catalogues; called by every session set-up.
void initTooltips();

// ---- In-game menu, dialogs and results ----

void initMenuButton();
// Gives the event to the MENU button; true for a left press on it, which is the button's and no click on the map.
bool menuButtonTakes(const SDL_Event& event);
void initGameMenu();
// The four dialog builders; the session installs them as the frame loop's showOptions, showScenarioObjectives,
// showSaveGame and showLoadGame, which the pending flags call.
namespace ingame_menu {
void showOptions();
void showScenarioObjectives();
void showSaveGame();
void showLoadGame();
}  // namespace ingame_menu
// Regular files of the folder (links to them included), byte-sorted; empty when the folder is missing.
std::vector<std::string> listSaveFiles(const std::string& folder);
// The live command log copied to basePath + "saves/" + name + ".bin" (with "_2", "_3", ... when taken) through a
// temporary file, so no earlier save is ever replaced. An empty name saves as "default_replay"; a name that would
// leave the folder is refused.
// The reason of a refusal or failure, in words for the player, goes to why when given.
bool saveGameAs(const std::string& name, std::string* why = nullptr);
// Asks for the save to be resumed: the session ends at the start of the next frame and the save starts in its place.
// A save that could not be resumed leaves the match running and the dialog open, with one line on the error stream;
// false then, with the reason in why when given.
bool requestResume(const std::string& saveName, std::string* why = nullptr);
// Called after a frame's tear-down: starts the requested save in the resumed mode; false when none was asked for
// or it could not start.
bool resumeRequestedSave();
// The game-over dialog: "VICTORY" or "DEFEAT" centred, and Quit, which ends the session.
void init_game_over();
// Installed as the match's result announcement: the sound, then the game-over dialog.
void announceMatchResult(const std::string& gameSound);
// Session end: the dialogs emptied and the action record cleared.
void resetHUDSession();
// Once per frame: a window that changed size keeps the dialogs where they belong (the menus and the result
// centred, the Extraction dialog in its corner), so none is left outside it.
void keepDialogsInWindow();
