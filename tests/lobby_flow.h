// The player's road from the menus into a match against the computer, through the real pages.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "ai.h"
#include "network_manager_lobby.h"
#include "session_fixture.h"
#include "ui/host_page.h"
#include "ui/lan_page.h"
#include "ui/lobby_view_page.h"
#include "ui/main_page.h"

// Main page (or wherever the menus stand), LAN, Host Game, Start lobby, Add AI, Start: the match runs. A strategy
// named replaces the one the lobby drew, so the match plays alike every time.
inline void hostAgainstTheComputer(const char* strategy = nullptr) {
    mainMenu.carryOutPendingSwitch();
    if (mainMenu.current == MenuPage::MainPage) clickOn(shown<MainPage>().lanButton.rect);
    ASSERT_EQ(mainMenu.current, MenuPage::LANPage);
    clickOn(shown<LANPage>().hostGameButton.rect);
    clickOn(shown<HostPage>().startLobbyButton.rect);
    ASSERT_EQ(mainMenu.current, MenuPage::LobbyViewPage);
    EXPECT_EQ(shown<LobbyViewPage>().mapList.selectedText(), lobbyState.currentMap) << "the map lit is played";
    clickOn(shown<LobbyViewPage>().addAIButton.rect);
    if (strategy) {
        ASSERT_TRUE(players.back()->isAI);
        players.back()->ai = strategyNamed(strategy);
    }
    clickOn(shown<LobbyViewPage>().startButton.rect);
    ASSERT_EQ(gameState, GameState::Match);
}

// The frames of the menus after a session, as the top-level loop runs them.
inline void menuFrames(int n) {
    for (int i = 0; i < n && gameState == GameState::Menus; ++i) main_loop();
}
