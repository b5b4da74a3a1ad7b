// The replay browser: the files of the replays folder, and the chosen one played as a replay session.
#pragma once

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "game_session.h"
#include "game_state.h"
#include "lockstep.h"
#include "ui/list.h"
#include "ui/menu_layout.h"
#include "utils.h"

class ReplaysPage : public MenuPageContainer {
public:
    explicit ReplaysPage(MainMenu* menu) : menu(menu) {}

    // The folder is read again on every entry; the chosen replay stays from earlier visits.
    void init() override {
        using namespace menu_layout;
        const float cx = windowSize().x * 0.5f;
        titleLabel = Label("Replays", cx - static_cast<float>(TextWidth("Replays", 22) / 2), 170.0f, 22);
        // The folder appears with the first recorded match: before that there is nothing to report.
        std::error_code ignored;
        const std::string folder = basePath + "replays";
        replayFiles = std::filesystem::exists(folder, ignored) ? Utils::get_replay_files(folder)
                                                               : std::vector<std::string>{};
        replayList = List(cx - 150.0f, 220.0f, 300.0f, 250.0f, 18);
        replayList.setItems(replayFiles);
        // Only a click chooses: no row is lit before one, and the choice of an earlier visit stays lit.
        replayList.light(chosenReplay);
        replayList.onSelect = [this](int index, const std::string&) {
            chosenReplay = replayFiles[index];
            refusalLine.clear();
        };
        refusalLine.clear();
        playButton = columnButton("Play replay", 520.0f, menu_layout::PRIMARY_COLOUR, menu_layout::PRIMARY_HOVER, [this] { play(); });
        backButton = columnButton("Back", 580.0f, BACK_COLOUR, {60, 60, 60, 255}, goTo(menu, MenuPage::MainPage));
    }

    void handleEvent(const SDL_Event& event) override {
        const std::array<UIElement*, 3> inOrder{&replayList, &playButton, &backButton};
        for (UIElement* w : inOrder) w->handleEvent(event);
    }

    void draw() override {
        const std::array<UIElement*, 4> inOrder{&titleLabel, &playButton, &backButton, &replayList};
        for (UIElement* w : inOrder) w->draw();
        menu_layout::drawRefusalLine(refusalLine);
    }

    // Refused, with a line under the list, while no replay is chosen or when the chosen one cannot be played.
    bool play() {
        const bool started = startChosenReplay();
        refusalLine = started ? "" : chosenReplay.empty() ? "Choose a replay first." : "This replay cannot be played.";
        return started;
    }

    Label titleLabel{"Replays", 0.0f, 0.0f, 22};
    Button playButton;
    Button backButton;
    List replayList{0.0f, 0.0f, 0.0f, 0.0f, 18};
    std::vector<std::string> replayFiles;
    std::string chosenReplay;

    // Why the last "Play replay" was refused, until a replay is chosen or the page entered again.
    std::string refusalLine;

private:
    MainMenu* menu;

    // Only a file that opens and reads as a command log starts a session; a log cut short plays up to its last
    // whole turn. Anything else leaves an error line and the page as it was.
    bool startChosenReplay() {
        SDL_Log("Opened replay file %s", chosenReplay.c_str());
        const std::string path = basePath + "replays/" + chosenReplay;
        std::error_code ignored;
        std::ifstream in;
        if (Utils::isPlainFileName(chosenReplay) && std::filesystem::is_regular_file(path, ignored)) in.open(path);
        if (!in.is_open()) {
            SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "Failed to open replay file: %s", chosenReplay.c_str());
            return false;
        }
        // A match replayed on a map edited since, or without a race it was played with, would show another match.
        if (const std::string refusal = recordedWorldRefusal(firstLine(in)); !refusal.empty()) {
            std::cerr << "Cannot play the replay \"" << chosenReplay << "\": " << refusal << "\n";
            return false;
        }
        in.clear();
        in.seekg(0);
        keepRunSeats();
        if (!loadReplay(in) && replayTurns.empty()) {
            abandonStart();
            return false;
        }
        mode = GameMode::Replay;
        // A replay plays alone, on the map its header names: it hosts no lobby.
        return startGame(false, true, MAP_FILE, true);
    }

    // At most one record line's length of it: a longer header is the loader's to refuse.
    static std::string firstLine(std::istream& in) {
        std::string line(MAX_RECORD_LINE, '\0');
        in.getline(line.data(), static_cast<std::streamsize>(line.size()));
        line.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount() - (in.good() ? 1 : 0), 0)));
        return line;
    }
};
