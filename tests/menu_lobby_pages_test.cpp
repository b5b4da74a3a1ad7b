// The LAN, host and lobby pages driven by clicks: hosting alone, adding the computer player and starting the match.
#include "draw_fixture.h"
#include "network_manager_lobby.h"
#include "session_fixture.h"
#include "ui/host_page.h"
#include "ui/lan_page.h"
#include "ui/lobby_view_page.h"
#include "ui/main_page.h"

namespace {

template <class Page>
Page& shown() {
    return *static_cast<Page*>(mainMenu.page(mainMenu.current));
}

void clickOn(const SDL_FRect& r) {
    SDL_Event e{};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.x = static_cast<int>(r.x + r.w / 2);
    e.button.y = static_cast<int>(r.y + r.h / 2);
    mainMenu.handleEvent(e);
}

struct LobbyMenu : SessionTest {
    uint16_t savedTcp = netTcpPort;
    static void SetUpTestSuite() { DrawFixture::SetUpTestSuite(); }
    static void TearDownTestSuite() { DrawFixture::TearDownTestSuite(); }
    void SetUp() override {
        SessionTest::SetUp();
        netTcpPort = 0;  // any free port: the test hosts alone
        players.clear();
        spawnPlayer();
        mainMenu.init();
    }
    void TearDown() override {
        mainMenu.clear();
        mainMenu.current = mainMenu.pending = MenuPage::MainPage;
        mainMenu.switchPending = false;
        net.closeTcp();
        lobbyState = LobbyState{};
        netTcpPort = savedTcp;
        SessionTest::TearDown();
    }
};

TEST_F(LobbyMenu, HostingAloneWithTheComputerStartsAMatch) {
    clickOn(shown<MainPage>().lanButton.rect);
    clickOn(shown<LANPage>().hostGameButton.rect);
    ASSERT_EQ(mainMenu.current, MenuPage::HostPage);
    clickOn(shown<HostPage>().startLobbyButton.rect);
    ASSERT_EQ(mainMenu.current, MenuPage::LobbyViewPage);
    EXPECT_TRUE(lobbyState.isHostLobby);
    EXPECT_EQ(lobbyState.currentLobbyName, "Unnamed Lobby");
    EXPECT_EQ(lobbyState.currentMap, "fight");
    for (int press = 0; press < 2; ++press) clickOn(shown<LobbyViewPage>().addAIButton.rect);
    ASSERT_EQ(players.size(), 2u) << "one computer player however often it is added";
    EXPECT_TRUE(players.back()->isAI);
    EXPECT_NE(players.back()->ai, nullptr);
    clickOn(shown<LobbyViewPage>().startButton.rect);
    EXPECT_EQ(gameState, GameState::Match);
    const Player* computer = getPlayerById(Player::aiId);
    ASSERT_NE(computer, nullptr);
    EXPECT_TRUE(computer->isAI);
    EXPECT_EQ(computer->race, "vohmathal");
}

}  // namespace
