// The in-game menu behind the MENU button and the dialogs it leads to: objectives, save, load and options; and the
// saved games they write and list.
#include <SDL2/SDL_mixer.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "colors.h"
#include "config.h"
#include "extraction_rules.h"
#include "fog.h"
#include "game_session.h"
#include "game_state.h"
#include "hud.h"
#include "lockstep.h"
#include "sdl.h"
#include "sdl_text.h"
#include "sounds.h"
#include "ui/checkbox.h"
#include "ui/list.h"
#include "ui/slider.h"
#include "ui/text_input.h"
#include "utils.h"

namespace {

namespace fs = std::filesystem;

struct Colours {
    SDL_Color normal, hover, text, hoverText;
};
constexpr SDL_Color HOVER_TEXT{200, 200, 100, 255};
constexpr Colours MENU{{35, 35, 35, 255}, {55, 60, 55, 255}, whiteColor, HOVER_TEXT};
constexpr Colours DANGER{{35, 35, 35, 255}, {90, 25, 25, 255}, whiteColor, HOVER_TEXT};
constexpr Colours BACK{{35, 35, 35, 255}, {50, 50, 50, 255}, whiteColor, HOVER_TEXT};
constexpr Colours DEFAULT{{100, 100, 200, 255}, {60, 60, 60, 255}, whiteColor, HOVER_TEXT};
constexpr Colours RED{{139, 0, 0, 255}, {160, 0, 0, 255}, whiteColor, HOVER_TEXT};

constexpr float BUTTON_W = 200.0f;
constexpr float BUTTON_H = 30.0f;
constexpr int BUTTON_FONT = 16;

// The save chosen in the Load dialog, started by the frame after the session ends.
bool resumeRequested = false;

void paint(Button& b, const Colours& c) {
    b.normal = c.normal;
    b.hover = c.hover;
    b.text = c.text;
    b.hoverText = c.hoverText;
}

// A menu-column button at the given offset below the menu's top.
Button* addButton(const std::string& label, float offset, const Colours& colours, std::function<void()> onClick) {
    Button* b = gameMenu.add<Button>(SDL_FRect{gameMenu.rect.x + 25.0f, gameMenu.rect.y + offset, BUTTON_W, BUTTON_H},
                                     label, std::move(onClick), BUTTON_FONT);
    paint(*b, colours);
    return b;
}

void addBackButton(float offset) {
    addButton("Back", offset, BACK, [] {
        initGameMenu();
        gameMenu.show();
    });
}

void addLabel(const std::string& text, float dx, float dy, int size) {
    gameMenu.add<Label>(text, gameMenu.rect.x + dx, gameMenu.rect.y + dy, size);
}

// The text in lines that fit the menu's width, 20 pixels apart from dy down.
void addWrappedLabel(const std::string& text, float dy, int size) {
    const std::vector<std::string> lines = wrapText(size, text, static_cast<int>(gameMenu.rect.w - 50.0f));
    for (std::size_t i = 0; i < lines.size(); ++i) addLabel(lines[i], 25.0f, dy + 20.0f * static_cast<float>(i), size);
}

constexpr SDL_Color REFUSAL{255, 110, 110, 255};
constexpr int STATUS_FONT = 12;

// Two lines under a dialog's field that say why its action was refused; empty until then.
struct StatusLines {
    Label* lines[2];
    void say(const std::string& text) const {
        // Without the font nothing can be measured: the text then stands on one line.
        std::vector<std::string> wrapped;
        const int width = static_cast<int>(gameMenu.rect.w - 50.0f);
        if (fontCache.count(STATUS_FONT)) wrapped = wrapText(STATUS_FONT, text, width);
        if (wrapped.empty()) wrapped.push_back(text);
        for (std::size_t i = 0; i < 2; ++i) lines[i]->text = i < wrapped.size() ? wrapped[i] : "";
    }
};

StatusLines addStatusLines(float dy) {
    StatusLines status{};
    for (std::size_t i = 0; i < 2; ++i) {
        const float y = gameMenu.rect.y + dy + 16.0f * static_cast<float>(i);
        status.lines[i] = gameMenu.add<Label>("", gameMenu.rect.x + 25.0f, y, STATUS_FONT, REFUSAL);
    }
    return status;
}

// Clears the menu, shows it and puts the dialog's title at the top.
void openDialog(const std::string& title) {
    gameMenu.clear();
    gameMenu.show();
    addLabel(title, 25.0f, 30.0f, 22);
}

// The save name field: a press on it gives it the keys, Return submits and lets them go.
class SaveNameInput : public TextInput {
public:
    using TextInput::TextInput;
    void handleEvent(const SDL_Event& e) override {
        if (isLeftPress(e)) {
            focused = pointInRect(rect, static_cast<float>(e.button.x), static_cast<float>(e.button.y));
            if (focused) SDL_StartTextInput();
            return;
        }
        TextInput::handleEvent(e);
    }
};

std::string leftBehindText(int count) {
    return std::to_string(count) + (count == 1 ? " unit" : " units") + " will be left behind.";
}

// Ending a mission gives up every unit outside the zone for good, so it is asked first, naming how many.
void askBeforeEndingMission() {
    openDialog("END SCENARIO");
    addWrappedLabel(leftBehindText(unitsLeftBehind()), 80.0f, 14);
    addButton("End Scenario", 240.0f, DANGER, endMissionByExtraction);
    addBackButton(280.0f);
}

void endScenario() {
    if (mode == GameMode::Extraction) {
        askBeforeEndingMission();
        return;
    }
    pendingShutdown = true;
}

int mixerToSlider(int volume) { return volume * 100 / MIX_MAX_VOLUME; }
int sliderToMixer(int value) { return value * MIX_MAX_VOLUME / 100; }

// The mixer's volumes exist only while the audio device is open (a silent start never opens it).
int musicVolume() { return audioOpen() ? mixerToSlider(Mix_VolumeMusic(-1)) : 0; }
int effectsVolume() { return audioOpen() ? mixerToSlider(Mix_Volume(-1, -1)) : 0; }
void setMusicVolume(int v) {
    if (audioOpen()) Mix_VolumeMusic(sliderToMixer(v));
}
void setEffectsVolume(int v) {
    if (audioOpen()) Mix_Volume(-1, sliderToMixer(v));
}

}  // namespace

void initMenuButton() {
    menuButton = Button(SDL_FRect{20.0f, 5.0f, 80.0f, 20.0f}, "MENU", [] { gameMenu.show(); }, 14);
    paint(menuButton, RED);
}

bool menuButtonTakes(const SDL_Event& event) {
    menuButton.handleEvent(event);
    // Before a session sets the button up it has no action and no place, so it takes nothing.
    return menuButton.onClick && isLeftPress(event) &&
           pointInRect(menuButton.rect, static_cast<float>(event.button.x), static_cast<float>(event.button.y));
}

void initGameMenu() {
    gameMenu.clear();
    gameMenu.centerOnScreen(0.0f, 0.0f);
    Button* save = addButton("Save Game", 40.0f, MENU, [] {
        SDL_Log("Save Game clicked");
        pendingSaveGame = true;
    });
    // Only a live session has a log to copy. A mission is kept by its campaign: its log cannot place the roster
    // again, so a saved copy would resume as a skirmish without it.
    save->enabled = commandLog.is_open() && mode != GameMode::Extraction;
    Button* load = addButton("Load Game", 80.0f, MENU, [] {
        SDL_Log("Load Game clicked");
        pendingLoadGame = true;
    });
    // The editor's frame serves no Load dialog: a request made there would open it in the next match.
    load->enabled = mode != GameMode::MapEditor;
    addButton("Tips", 120.0f, MENU, [] { SDL_Log("Tips clicked"); });
    addButton("Scenario Objectives", 160.0f, MENU, [] {
        SDL_Log("Objectives clicked");
        pendingShowObjectives = true;
    });
    addButton("End Scenario", 200.0f, DANGER, endScenario);
    addButton("Options", 240.0f, MENU, [] {
        SDL_Log("Options clicked");
        pendingShowOptions = true;
    });
    addButton("Return to Game", 280.0f, MENU, [] { gameMenu.hide(); });
}

void ingame_menu::showScenarioObjectives() {
    gameMenu.clear();
    gameMenu.show();
    addLabel("", 25.0f, 30.0f, 20);
    const int width = static_cast<int>(gameMenu.rect.w - 50.0f);
    const std::vector<std::string> title = wrapText(22, "SCENARIO OBJECTIVES", width);
    for (std::size_t i = 0; i < title.size(); ++i) addLabel(title[i], 25.0f, 30.0f + 26.0f * static_cast<float>(i), 22);
    const std::string goal =
        mode == GameMode::MapEditor ? "Make a good map." : "Destroy all enemy units and buildings.";
    addWrappedLabel(goal, 100.0f, 14);
    addBackButton(280.0f);
}

void ingame_menu::showOptions() {
    openDialog("OPTIONS");
    const float x = gameMenu.rect.x + 25.0f;
    const float y = gameMenu.rect.y;
    addLabel("Fullscreen", 60.0f, 70.0f, 12);
    gameMenu.add<Checkbox>(SDL_FRect{x, y + 70.0f, 22.0f, 22.0f}, isFullscreen, [](bool) {
        toggleDisplayMode(window);
        initFogTextures();
    });
    addLabel("Game Music", 25.0f, 110.0f, 12);
    // Whether music is on: a track stays loaded while it is off, and a silent start loads none.
    gameMenu.add<Checkbox>(SDL_FRect{x, y + 130.0f, 22.0f, 22.0f}, musicActive, [](bool) { toggleBackgroundMusic(); });
    gameMenu.add<Slider>(renderer, SDL_FRect{x, y + 170.0f, 200.0f, 16.0f}, 0, 100, musicVolume(), setMusicVolume);
    addLabel("Sound Effects", 25.0f, 210.0f, 12);
    gameMenu.add<Checkbox>(SDL_FRect{x, y + 230.0f, 22.0f, 22.0f}, soundEffects, [](bool) { toggleSoundEffects(); });
    gameMenu.add<Slider>(renderer, SDL_FRect{x, y + 260.0f, 200.0f, 16.0f}, 0, 100, effectsVolume(), setEffectsVolume);
    addBackButton(300.0f);
}

void ingame_menu::showSaveGame() {
    openDialog("SAVE GAME");
    TextInput* name = gameMenu.add<SaveNameInput>(
        SDL_FRect{gameMenu.rect.x + 25.0f, gameMenu.rect.y + 100.0f, BUTTON_W, BUTTON_H});
    name->showCaret = true;
    // The one field of the dialog takes the keys at once, so the name can be typed without a click first.
    name->focused = true;
    SDL_StartTextInput();
    name->onSubmit = [](const std::string& text) { printf("Entered: %s\n", text.c_str()); };
    const StatusLines status = addStatusLines(145.0f);
    addButton("Save", 240.0f, DEFAULT, [name, status] {
        std::string why;
        if (saveGameAs(name->text, &why))
            gameMenu.hide();
        else
            status.say("Not saved: " + why);
    });
    addBackButton(280.0f);
}

void ingame_menu::showLoadGame() {
    openDialog("LOAD GAME");
    List* saves = gameMenu.add<List>(gameMenu.rect.x + 25.0f, gameMenu.rect.y + 80.0f, 200.0f, 150.0f, 18);
    saves->setItems(listSaveFiles(basePath + "saves/"));
    const StatusLines status = addStatusLines(315.0f);
    addButton("Load", 240.0f, DEFAULT, [saves, status] {
        std::string why;
        if (!requestResume(saves->selectedText(), &why)) status.say("Not loaded: " + why);
    });
    addBackButton(280.0f);
}

std::vector<std::string> listSaveFiles(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return names;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec)) names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool saveGameAs(const std::string& typed, std::string* why) {
    const std::string name = typed.empty() ? "default_replay" : typed;
    std::string reason;
    if (!why) why = &reason;
    if (!Utils::isPlainFileName(name + ".bin")) {
        std::cerr << "Cannot save as \"" << name << "\": a saved game's name stays inside the saves folder\n";
        *why = "a name without / or .. is needed";
        return false;
    }
    std::ifstream source(basePath + "replays/" + replay_file_name, std::ios::binary);
    if (replay_file_name.empty() || !source) {
        std::cerr << "Error opening source file !\n";
        *why = "this match has no log to copy";
        return false;
    }
    // The copy goes on to the turn the match stands at, which may lie well past its last order.
    const std::string bytes =
        std::string{std::istreambuf_iterator<char>(source), std::istreambuf_iterator<char>()} + playReachedRecord();
    std::error_code ignored;
    fs::create_directories(basePath + "saves", ignored);
    if (Utils::writeFileAtomically(basePath + "saves/" + name + ".bin", bytes, "saved game",
                                   "Error opening destination file !"))
        return true;
    *why = "the file could not be written";
    return false;
}

bool requestResume(const std::string& saveName, std::string* why) {
    if (!saveCanResume(saveName, why)) return false;
    load_game_filename = saveName;
    SDL_Log("LOAD %s", load_game_filename.c_str());
    gameMenu.hide();
    resumeRequested = true;
    pendingShutdown = true;
    return true;
}

bool resumeRequestedSave() {
    if (!resumeRequested) return false;
    resumeRequested = false;
    mode = GameMode::ResumedSave;
    return startGame(true, true, currentMap, false);
}
