// The room before a match: the players and their races, the host's map, computer player and start, and Leave.
#pragma once

#include <SDL2/SDL.h>

#include <string>
#include <vector>

#include "ui/list.h"
#include "ui/menu_layout.h"

// The starting bases of a lobby's map under the maps folder; false, with one line on the error stream, for a map
// that cannot be read or that seats no player.
bool countLobbyMapBases(const std::string& map, int& bases);

class LobbyViewPage : public MenuPageContainer {
public:
    // A drawn race text and whose race it is, by id: the lobby step after the draw may rebuild the players.
    struct RaceZone {
        SDL_FRect rect;
        int playerId;
    };

    // Fills the menus' hooks: the menu frame's lobby step and how a lobby match starts, for the host's button and
    // for a client told by its host.
    explicit LobbyViewPage(MainMenu* menu);

    void init() override;
    void handleEvent(const SDL_Event& event) override;
    void draw() override;
    void update() override;

    void addComputer();
    void startMatch();
    void leave();
    void chooseMap(int row);
    // What the page says of the match's map: on a member whose computer lacks it, that the start cannot succeed
    // here; after a start that failed, why. Empty when all is well.
    std::string mapNotice() const;

    Label titleLabel{"Lobby", 0.0f, 0.0f, 22};
    Label playersLabel{"Players:", 0.0f, 0.0f, 12};
    int raceCursor = 0;
    std::vector<RaceZone> raceZones;
    Button leaveButton;
    Button readyButton;
    Button addAIButton;
    Button startButton;
    Label mapLabel{"Match Map:", 0.0f, 0.0f, 12};
    List mapList{0.0f, 0.0f, 0.0f, 0.0f, 18};
    std::vector<std::string> mapNames;

private:
    bool listsMap(const std::string& map) const;
    void drawPlayers(float cx);
    void clickRace(float x, float y);

    MainMenu* menu;
};
