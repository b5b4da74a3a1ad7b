// Opening a lobby: its name and password, then this peer hosts it, announces it and shows the lobby view.
#pragma once

#include <array>
#include <iostream>
#include <string>
#include <vector>

#include "game_state.h"
#include "map.h"
#include "network_manager_lobby.h"
#include "ui/lobby_view_page.h"
#include "ui/menu_layout.h"
#include "ui/text_input.h"

class HostPage : public MenuPageContainer {
public:
    explicit HostPage(MainMenu* menu) : menu(menu) {}

    // The fields come back empty; what was typed before still names the lobby.
    void init() override {
        using namespace menu_layout;
        const float cx = windowSize().x * 0.5f;
        titleLabel = Label("Host Game", cx - static_cast<float>(TextWidth("Host Game", 22) / 2), 170.0f, 22);
        lobbyNameLabel = Label("Lobby Name:", cx - 150.0f, 220.0f, 16);
        lobbyNameInput = TextInput({cx - 150.0f, 250.0f, 300.0f, 35.0f});
        lobbyNameInput.onChange = [this](std::string text) {
            lobbyNameInput.text = lobbyNameText = lobbyState.currentLobbyName = cutToNameLength(text);
        };
        passwordLabel = Label("Password:", cx - 150.0f, 310.0f, 16);
        passwordInput = TextInput({cx - 150.0f, 340.0f, 300.0f, 35.0f});
        passwordInput.onChange = [this](std::string text) {
            passwordInput.text = passwordText = lobbyState.password = cutToNameLength(text);
        };
        for (TextInput* field : {&lobbyNameInput, &passwordInput}) field->showCaret = true;
        startLobbyButton =
            columnButton("Start Lobby", 400.0f, menu_layout::PRIMARY_COLOUR, menu_layout::PRIMARY_HOVER, [this] { startLobby(); });
        backButton = columnButton("Back", 460.0f, BACK_COLOUR, {60, 60, 60, 255}, goTo(menu, MenuPage::LANPage));
        focusedInput = &lobbyNameInput;
        SDL_StartTextInput();
    }

    // Typing reaches only the focused field; a press on a field focuses it.
    void handleEvent(const SDL_Event& event) override {
        if (event.type == SDL_MOUSEBUTTONDOWN) focusAt(static_cast<float>(event.button.x),
                                                       static_cast<float>(event.button.y));
        if (event.type == SDL_TEXTINPUT || event.type == SDL_KEYDOWN) {
            if (focusedInput) focusedInput->handleEvent(event);
            startLobbyButton.handleEvent(event);
            backButton.handleEvent(event);
            return;
        }
        const std::array<UIElement*, 4> inOrder{&lobbyNameInput, &passwordInput, &startLobbyButton, &backButton};
        for (UIElement* w : inOrder) w->handleEvent(event);
    }

    void draw() override {
        const std::array<UIElement*, 7> inOrder{&titleLabel,    &lobbyNameLabel,   &lobbyNameInput, &passwordLabel,
                                                &passwordInput, &startLobbyButton, &backButton};
        for (UIElement* w : inOrder) w->draw();
    }

    // The lobby view is shown even when no socket could listen: the host then plays alone. Without a readable
    // map no lobby is announced and the page stays.
    void startLobby() {
        const std::string& map = mapChoices[static_cast<std::size_t>(mapIndex)];
        int bases = 0;
        if (!countLobbyMapBases(map, bases)) return;
        menu->switch_to_page(MenuPage::LobbyViewPage);
        LobbyPeer peer = globalLobbyPeer();
        if (!hostLobby(peer, lobbyNameText, map, passwordText, bases)) std::cerr << "Failed to start host!\n";
    }

    Button backButton;
    Button startLobbyButton;
    std::string lobbyNameText;
    std::string passwordText;
    Label titleLabel{"Host Game", 0.0f, 0.0f, 22};
    Label lobbyNameLabel{"Lobby Name:", 0.0f, 0.0f, 16};
    TextInput lobbyNameInput{{0.0f, 0.0f, 0.0f, 0.0f}};
    Label passwordLabel{"Password:", 0.0f, 0.0f, 16};
    TextInput passwordInput{{0.0f, 0.0f, 0.0f, 0.0f}};
    int mapIndex = 0;
    TextInput* focusedInput = nullptr;
    std::vector<std::string> mapChoices{"fight"};

private:
    // A joiner sends the lobby's name and the password back, and a host refuses either when longer than a name
    // may be: a field keeps the whole characters that fit.
    static std::string cutToNameLength(const std::string& text) {
        if (text.size() <= MAX_NAME_BYTES) return text;
        size_t cut = MAX_NAME_BYTES;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        return text.substr(0, cut);
    }

    void focusAt(float x, float y) {
        for (TextInput* field : {&lobbyNameInput, &passwordInput})
            if (pointInRect(field->rect, x, y)) {
                focusedInput = field;
                SDL_StartTextInput();
                return;
            }
    }

    MainMenu* menu;
};
