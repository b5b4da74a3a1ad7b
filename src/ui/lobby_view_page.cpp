// The lobby view: players drawn with clickable races; the host's map list, computer player and start; Leave.
#include "ui/lobby_view_page.h"

#include <algorithm>
#include <array>
#include <exception>
#include <filesystem>
#include <iostream>

#include "ai.h"
#include "game_loop.h"
#include "game_session.h"
#include "game_state.h"
#include "map.h"
#include "network_manager_lobby.h"
#include "races.h"
#include "utils.h"

namespace {

// Why this peer's match did not start: the host's map is not the one here, or the start itself failed.
const std::string& startFailure() {
    return lobbyState.startRefused.empty() ? lobbyStartFailure : lobbyState.startRefused;
}

}  // namespace

LobbyViewPage::LobbyViewPage(MainMenu* menu) : menu(menu) { installHooks(HookStage::Menus); }

// A member whose host has gone has no lobby left to show; a match that could not start stays told until Leave.
void LobbyViewPage::update() {
    if (!lobbyState.isHostLobby && !lobbyState.joined && startFailure().empty())
        menu->switch_to_page(MenuPage::LANPage);
}

void LobbyViewPage::init() {
    using namespace menu_layout;
    const SDL_FPoint size = windowSize();
    const float cx = size.x * 0.5f;
    const bool host = lobbyState.isHostLobby;
    mapNames = Utils::scanMapDirectory();
    titleLabel = Label("Lobby", cx - static_cast<float>(TextWidth("Lobby", 22) / 2), 170.0f, 22);
    mapLabel = Label("Match Map:", cx + 50.0f, 220.0f, 12);
    // A member's map is the host's, sent with the lobby: replacing it here would show a map the match is not
    // played on.
    std::string& map = lobbyState.currentMap;
    if (host && !mapNames.empty() && !listsMap(map)) map = mapNames[0];
    playersLabel = Label("Players:", cx - 200.0f, 220.0f, 12);
    readyButton = columnButton("Ready", size.y - 200.0f, BACK_COLOUR, {60, 60, 60, 255}, [] {});
    leaveButton = columnButton("Leave", host ? size.y - 140.0f : 480.0f, BACK_COLOUR, {60, 60, 60, 255},
                               [this] { leave(); });
    if (!host) return;
    mapList = List(cx + 50.0f, 245.0f, 200.0f, 200.0f, 18);
    mapList.setItems(mapNames);
    // The row lit is the map the match will be played on.
    mapList.light(map);
    mapList.onSelect = [this](int row, const std::string&) { chooseMap(row); };
    addAIButton = columnButton("Add AI (Computer)", size.y - 80.0f, menu_layout::SECONDARY_COLOUR, menu_layout::SECONDARY_HOVER,
                               [this] { addComputer(); });
    startButton = columnButton("Start Game", size.y - 260.0f, menu_layout::PRIMARY_COLOUR, menu_layout::PRIMARY_HOVER,
                               [this] { startMatch(); });
}

void LobbyViewPage::handleEvent(const SDL_Event& event) {
    if (!startFailure().empty()) return leaveButton.handleEvent(event);
    const bool host = lobbyState.isHostLobby;
    if (host) mapList.handleEvent(event);
    if (isLeftPress(event) && !raceZones.empty()) {
        int mx = 0;
        int my = 0;
        SDL_GetMouseState(&mx, &my);
        clickRace(static_cast<float>(mx), static_cast<float>(my));
    }
    const std::array<Button*, 4> inOrder{&leaveButton, &readyButton, &addAIButton, &startButton};
    for (std::size_t i = 0; i < (host ? inOrder.size() : 2); ++i) inOrder[i]->handleEvent(event);
}

void LobbyViewPage::draw() {
    const float cx = windowSize().x * 0.5f;
    titleLabel.draw();
    if (!startFailure().empty()) {
        menu_layout::drawRefusalLine(startFailure(), 220.0f);
        leaveButton.draw();
        return;
    }
    playersLabel.draw();
    drawPlayers(cx);
    leaveButton.draw();
    readyButton.draw();
    if (!lobbyState.isHostLobby) {
        DrawText("Map Chosen: " + Utils::shownText(lobbyState.currentMap, MAX_SHOWN_NAME_BYTES),
                 static_cast<int>(cx + 50.0f), 245, {180, 180, 180, 255}, 12, false);
        DrawText(mapNotice(), static_cast<int>(cx + 50.0f), 265, menu_layout::REFUSAL_COLOUR, 12, false);
        return;
    }
    addAIButton.draw();
    startButton.draw();
    mapLabel.draw();
    mapList.draw();
}

// A race under the mouse is lit; each drawn race becomes a zone the next clicks are tested against. Names and races
// came from the peers.
void LobbyViewPage::drawPlayers(float cx) {
    int mx = 0;
    int my = 0;
    SDL_GetMouseState(&mx, &my);
    raceZones.clear();
    const int x = static_cast<int>(cx - 200.0f);
    for (std::size_t i = 0; i < players.size(); ++i) {
        Player* player = players[i].get();
        if (!player) continue;
        const int y = static_cast<int>(30.0f * static_cast<float>(i) + 260.0f);
        const std::string name = Utils::shownText(player->name, MAX_SHOWN_NAME_BYTES);
        DrawText(name, x, y, whiteColor, 12, false);
        const std::string race = " [" + Utils::shownText(player->race, MAX_SHOWN_NAME_BYTES) + "]";
        const SDL_FRect zone{static_cast<float>(static_cast<int>(static_cast<float>(TextWidth(name, 12)) +
                                                                 (cx - 200.0f))),
                             static_cast<float>(y), static_cast<float>(TextWidth(race, 12)),
                             static_cast<float>(TextHeight(race, 12))};
        const bool lit = pointInRect(zone, static_cast<float>(mx), static_cast<float>(my));
        DrawText(race, static_cast<int>(zone.x), y, lit ? SDL_Color{200, 200, 100, 255} : whiteColor, 12, false);
        raceZones.push_back({zone, player->id});
    }
}

// One cursor serves every player; a client may change only its own race.
void LobbyViewPage::clickRace(float x, float y) {
    if (raceOrder.empty()) return;
    for (const RaceZone& zone : raceZones) {
        if (!pointInRect(zone.rect, x, y)) continue;
        if (!lobbyState.isHostLobby && zone.playerId != Player::myStaticId) continue;
        raceCursor = (raceCursor + 1) % static_cast<int>(raceOrder.size());
        LobbyPeer peer = globalLobbyPeer();
        changeRace(peer, zone.playerId, raceOrder[static_cast<std::size_t>(raceCursor)]);
        return;
    }
}

// A match holds one computer player at most, so a second press adds nothing.
void LobbyViewPage::addComputer() {
    if (getPlayerById(Player::aiId)) return;
    LobbyPeer peer = globalLobbyPeer();
    if (addComputerPlayer(peer)) players.back()->ai = drawComputerStrategy();
}

void LobbyViewPage::startMatch() {
    LobbyPeer peer = globalLobbyPeer();
    startLobbyMatch(peer);
}

bool LobbyViewPage::listsMap(const std::string& map) const {
    return std::find(mapNames.begin(), mapNames.end(), map) != mapNames.end();
}

std::string LobbyViewPage::mapNotice() const {
    if (!startFailure().empty()) return startFailure();
    if (lobbyState.isHostLobby || lobbyState.currentMap.empty() || listsMap(lobbyState.currentMap)) return "";
    return "This map is missing on this computer: the match cannot start here.";
}

void LobbyViewPage::leave() {
    lobbyStartFailure.clear();
    LobbyPeer peer = globalLobbyPeer();
    leaveLobby(peer);
    menu->switch_to_page(MenuPage::LANPage);
}

bool countLobbyMapBases(const std::string& map, int& bases) {
    const std::string path = basePath + "maps/" + map + ".map";
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(path, ignored)) {
        std::cerr << "Cannot use the map " << map << ": no map file at " << path << "\n";
        return false;
    }
    // Read as the match would read it, so a lobby is never announced on a map its match cannot start on.
    try {
        checkTerrain(readMapFile(path).terrainRows);
        bases = getBasesCountFromMap(path);
    } catch (const std::exception& e) {
        std::cerr << "Cannot use the map " << map << ": " << e.what() << "\n";
        return false;
    }
    if (bases > 0) return true;
    std::cerr << "Cannot use the map " << map << ": it has no starting base, so no player can be seated\n";
    return false;
}

// A map that cannot be read, or cannot seat the players, is not chosen: the lobby keeps the map it had.
void LobbyViewPage::chooseMap(int row) {
    const std::string& map = mapNames[static_cast<std::size_t>(row)];
    int bases = 0;
    if (!countLobbyMapBases(map, bases)) {
        mapList.light(lobbyState.currentMap);
        return;
    }
    LobbyPeer peer = globalLobbyPeer();
    if (!chooseLobbyMap(peer, map, bases)) mapList.light(lobbyState.currentMap);
}
