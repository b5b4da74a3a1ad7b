// Finding and joining a lobby: the announced lobbies as rows, Refresh to search again, Join to ask the host.
#pragma once

#include <SDL2/SDL.h>

#include <array>
#include <iostream>
#include <string>

#include "network_manager_lobby.h"
#include "ui/menu_layout.h"
#include "ui/text_input.h"
#include "utils.h"

class JoinPage : public MenuPageContainer {
public:
    explicit JoinPage(MainMenu* menu) : menu(menu) {}

    // The chosen lobby and the rows found earlier stay until Refresh.
    void init() override {
        const float cx = windowSize().x * 0.5f;
        addressInput = TextInput({cx - 150.0f, listTop + 230.0f, 300.0f, 35.0f});
        passwordInput = TextInput({cx - 150.0f, listTop + 300.0f, 300.0f, 35.0f});
        for (TextInput* field : {&addressInput, &passwordInput}) field->showCaret = true;
        titleLabel = Label("Join Game", cx - static_cast<float>(TextWidth("Join Game", 22) / 2), listTop - 50.0f, 22);
        joinButton = button("Join", 310.0f, menu_layout::PRIMARY_COLOUR, menu_layout::PRIMARY_HOVER, [this] { join(); });
        refreshButton = button("Refresh Lobbies", 370.0f, menu_layout::SECONDARY_COLOUR, menu_layout::SECONDARY_HOVER, [] {
            LobbyPeer peer = globalLobbyPeer();
            searchLobbies(peer);
        });
        backButton = button("Back", 430.0f, menu_layout::BACK_COLOUR, menu_layout::BACK_HOVER, [this] {
            abandonJoin();
            menu->switch_to_page(MenuPage::LANPage);
        });
        // A Return typed elsewhere earlier stopped text input; the fields here must take typing again.
        SDL_StartTextInput();
    }

    // The host's acceptance arrives through the lobby networking of the frame.
    void update() override {
        if (!awaitingAnswer || !lobbyState.joined) return;
        awaitingAnswer = false;
        menu->switch_to_page(MenuPage::LobbyViewPage);
    }

    void handleEvent(const SDL_Event& event) override {
        for (Button* b : {&joinButton, &refreshButton, &backButton}) b->handleEvent(event);
        addressInput.handleEvent(event);
        if (chosen.passwordFlag) passwordInput.handleEvent(event);
        if (!isLeftPress(event)) return;
        const float x = static_cast<float>(event.button.x), y = static_cast<float>(event.button.y);
        if (pointInRect(addressInput.rect, x, y) || (chosen.passwordFlag && pointInRect(passwordInput.rect, x, y)))
            SDL_StartTextInput();
        const float cx = windowSize().x * 0.5f;
        for (std::size_t i = 0; i < lobbyState.lobbies.size(); ++i)
            if (pointInRect(rowBox(i, cx), x, y)) {
                choose(lobbyState.lobbies[i]);
                return;
            }
    }

    void draw() override {
        const float cx = windowSize().x * 0.5f;
        int mx = 0;
        int my = 0;
        SDL_GetMouseState(&mx, &my);
        for (std::size_t i = 0; i < lobbyState.lobbies.size(); ++i) {
            const SDL_FRect box = rowBox(i, cx);
            const bool lit = pointInRect(box, static_cast<float>(mx), static_cast<float>(my));
            DrawText(rowText(lobbyState.lobbies[i]), static_cast<int>(box.x), static_cast<int>(box.y),
                     lit ? SDL_Color{200, 200, 100, 255} : whiteColor, 12, false);
        }
        DrawText("Host IP Address:", static_cast<int>(cx - 200.0f), static_cast<int>(listTop + 200.0f), whiteColor, 14,
                 false);
        addressInput.draw();
        if (chosen.passwordFlag) {
            DrawText("Password:", static_cast<int>(cx - 200.0f), static_cast<int>(listTop + 270.0f), whiteColor, 14,
                     false);
            passwordInput.draw();
        }
        const std::array<UIElement*, 4> rest{&titleLabel, &joinButton, &refreshButton, &backButton};
        for (UIElement* w : rest) w->draw();
    }

    // The map is known from the announcement before any join.
    void choose(const Lobby& lobby) {
        chosen = lobby;
        selectedLobbyName = lobby.name;
        hostAddress = lobby.hostIp;
        lobbyState.currentMap = lobby.map;
    }

    // A join a host refuses gets no answer: the page stays, and a further Join connects anew. Through the relay
    // the open relay connection serves.
    void join() {
        passwordText = passwordInput.text;
        SDL_Log("Connecting to IP: %s", hostAddress.c_str());
        LobbyPeer peer = globalLobbyPeer();
        if (!lobbyState.useRelayer) peer.link.closeTcp();
        Lobby target = chosen;
        target.name = selectedLobbyName;
        target.hostIp = hostAddress;
        lobbyState.joined = false;
        awaitingAnswer = joinLobby(peer, target, passwordText);
        if (!awaitingAnswer) std::cerr << "Failed to connect to host!\n";
    }

    // Going back gives the join up: a connection the host never answered would hold one of the few places it
    // keeps for players still to join, and a late acceptance would make this peer a member away from the lobby.
    void abandonJoin() {
        awaitingAnswer = false;
        LobbyPeer peer = globalLobbyPeer();
        if (lobbyState.joined)
            leaveLobby(peer);
        else if (!lobbyState.useRelayer)
            peer.link.closeTcp();
    }

    // Every text of a row came from the network.
    static std::string rowText(const Lobby& l) {
        const auto shown = [](const std::string& text) { return Utils::shownText(text, MAX_SHOWN_NAME_BYTES); };
        return shown(l.name) + " [" + std::to_string(l.playerCount) + "/" + std::to_string(l.maxPlayers) + "] (" +
               shown(l.map) + ") " + shown(l.hostIp);
    }

    float rowPitch = 35.0f;
    float listTop = 220.0f;
    Label titleLabel{"Join Game", 0.0f, 0.0f, 22};
    Button joinButton;
    Button refreshButton;
    Button backButton;
    TextInput addressInput{{0.0f, 0.0f, 0.0f, 0.0f}};
    TextInput passwordInput{{0.0f, 0.0f, 0.0f, 0.0f}};
    std::string passwordText;
    std::string hostAddress;
    std::string selectedLobbyName;
    Lobby chosen;  // its password flag shows the password field
    bool awaitingAnswer = false;

private:
    SDL_FRect rowBox(std::size_t i, float cx) const {
        const std::string text = rowText(lobbyState.lobbies[i]);
        return {static_cast<float>(static_cast<int>(cx - 200.0f)),
                static_cast<float>(static_cast<int>(static_cast<float>(i) * rowPitch + listTop)),
                static_cast<float>(TextWidth(text, 12)), static_cast<float>(TextHeight(text, 12))};
    }

    // 200 wide, centred, 250 plus the offset below the first row.
    Button button(const char* text, float offset, SDL_Color fill, SDL_Color hover, std::function<void()> click) {
        const float cx = windowSize().x * 0.5f;
        Button b(SDL_FRect{cx - 100.0f, listTop + offset, 200.0f, 45.0f}, text, std::move(click), 20);
        b.normal = fill;
        b.hover = hover;
        return b;
    }

    MainMenu* menu;
};
