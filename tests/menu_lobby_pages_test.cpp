// The LAN, host, join and lobby pages driven by clicks: hosting alone against the computer, and joining a host
// found by a search over loopback.
#include <unistd.h>

#include <cstdio>

#include "draw_fixture.h"
#include "network_manager_lobby.h"
#include "session_fixture.h"
#include "ui/host_page.h"
#include "ui/join_page.h"
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
        net.closeUdp();
        netTcpPort = savedTcp;
        netUdpPorts[0] = 54000;
        netUdpPorts[1] = 54001;
        netBroadcastAddress = "255.255.255.255";
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

// A host with its own state, found on loopback by the page's search and asked to join with its password.
TEST_F(LobbyMenu, JoinFindsTheHostAndEntersItsLobbyWithThePassword) {
    LobbyState state;
    std::vector<std::unique_ptr<Player>> roster;
    roster.push_back(std::make_unique<Player>(7, "Hoster", "human", false));
    int teams = 0;
    std::unordered_map<int, int> palette;
    NetworkManager link;
    LobbyPeer host{state, roster, teams, palette, link, 7};
    netBroadcastAddress = "127.0.0.1";
    uint16_t base = static_cast<uint16_t>(40000 + (getpid() % 3000) * 8);
    while (!link.openUdp(base) || !net.openUdp(base + 1)) {
        link.closeUdp();
        base += 8;
    }
    netUdpPorts[0] = base;
    netUdpPorts[1] = base + 1;
    netTcpPort = base + 2;
    while (!hostLobby(host, "Den", "fight", "secret", 2)) ++netTcpPort;
    const auto stepUntil = [&](const std::function<bool()>& done) {
        for (int i = 0; i < 200 && !done(); ++i) {
            updateLobbyNetworking(host);
            updateLobbyNetworking();
            mainMenu.update();
            link.waitForTraffic(5);
            net.waitForTraffic(5);
        }
        return done();
    };
    clickOn(shown<MainPage>().lanButton.rect);
    clickOn(shown<LANPage>().joinGameButton.rect);
    clickOn(shown<JoinPage>().refreshButton.rect);
    ASSERT_TRUE(stepUntil([] { return !lobbyState.lobbies.empty(); }));
    EXPECT_EQ(JoinPage::rowText(lobbyState.lobbies[0]).rfind("Den [1/2] (fight) ", 0), 0u);
    lobbyState.lobbies[0].hostIp = "127.0.0.1";  // the announcement names this machine's own address
    const float left = windowSize().x * 0.5f - 200.0f;
    clickOn({left, 220.0f, 10.0f, 10.0f});
    ASSERT_EQ(shown<JoinPage>().selectedLobbyName, "Den");
    SDL_Event typed{};
    typed.type = SDL_TEXTINPUT;
    std::snprintf(typed.text.text, sizeof typed.text.text, "secret");
    mainMenu.handleEvent(typed);
    EXPECT_EQ(shown<JoinPage>().addressInput.text, "secret") << "typing reaches both fields";
    clickOn(shown<JoinPage>().joinButton.rect);
    ASSERT_TRUE(stepUntil([] { return mainMenu.switchPending; }));
    mainMenu.handleEvent(SDL_Event{SDL_MOUSEMOTION});
    EXPECT_EQ(mainMenu.current, MenuPage::LobbyViewPage);
    ASSERT_TRUE(stepUntil([] { return players.size() == 2; }));
    EXPECT_EQ(players[0]->name, "Hoster");
    link.closeTcp();
}

}  // namespace
