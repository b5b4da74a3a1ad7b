// The LAN, host, join and lobby pages driven by clicks: hosting alone against the computer, race clicks at the
// pointer, joining a host found by a search over loopback or failing to, leaving a lobby from either side, and the
// host's name and password fields.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ai.h"
#include "draw_fixture.h"
#include "lobby_side.h"
#include "network_manager_lobby.h"
#include "session_fixture.h"
#include "ui/host_page.h"
#include "ui/join_page.h"
#include "ui/lan_page.h"
#include "ui/lobby_view_page.h"
#include "ui/main_page.h"

namespace {

void type(const std::string& text) {
    SDL_Event typed{};
    typed.type = SDL_TEXTINPUT;
    std::snprintf(typed.text.text, sizeof typed.text.text, "%s", text.c_str());
    mainMenu.handleEvent(typed);
}

// The race texts are tested against the pointer the page reads, not against the press's own position.
void pressAtPointer(const SDL_FRect& r) {
    SDL_WarpMouseInWindow(window, static_cast<int>(r.x + r.w / 2), static_cast<int>(r.y + r.h / 2));
    SDL_Event press{};
    press.type = SDL_MOUSEBUTTONDOWN;
    press.button.button = SDL_BUTTON_LEFT;
    mainMenu.handleEvent(press);
}

std::size_t openDescriptors() {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

// A host with its own state and sockets beside the game's, which joins it.
struct LoopbackHost : LobbySide {
    LoopbackHost() : LobbySide(7) { hostDenOnLoopback(*this, net); }

    // Both sides' lobby steps and the menu's update, until done or a bounded number of steps.
    bool stepUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 200 && !done(); ++i) {
            updateLobbyNetworking(peer);
            updateLobbyNetworking();
            mainMenu.update();
            link.waitForTraffic(5);
            net.waitForTraffic(5);
        }
        return done();
    }

    // The host takes a connection in one step and reads what was sent on it, before it was taken, in the next.
    bool settle() {
        if (!stepUntil([&] { return !link.connections.empty(); })) return false;
        updateLobbyNetworking(peer);
        return true;
    }
};

// Main page, LAN, Join Game, Refresh: true once the search has found a lobby.
bool searchFromTheJoinPage(LoopbackHost& host) {
    clickOn(shown<MainPage>().lanButton.rect);
    clickOn(shown<LANPage>().joinGameButton.rect);
    clickOn(shown<JoinPage>().refreshButton.rect);
    return host.stepUntil([] { return !lobbyState.lobbies.empty(); });
}

struct LobbyMenu : SessionTest {
    uint16_t savedTcp = netTcpPort;
    static void SetUpTestSuite() { DrawFixture::SetUpTestSuite(); }
    static void TearDownTestSuite() { DrawFixture::TearDownTestSuite(); }
    void SetUp() override {
        SessionTest::SetUp();
        seatAloneAtTheMenus();
    }
    void TearDown() override {
        leaveMenusAndLobby();
        net.closeUdp();
        netTcpPort = savedTcp;
        netUdpPorts[0] = 54000;
        netUdpPorts[1] = 54001;
        netBroadcastAddress = "255.255.255.255";
        SessionTest::TearDown();
    }
};

TEST_F(LobbyMenu, TwentyMatchesAgainstTheComputerMeetBothStrategiesEachKeptFromAddAIThroughTheStart) {
    std::set<std::string> met;
    for (int match = 0; match < 20; ++match) {
        if (mainMenu.current == MenuPage::MainPage) clickOn(shown<MainPage>().lanButton.rect);
        clickOn(shown<LANPage>().hostGameButton.rect);
        clickOn(shown<HostPage>().startLobbyButton.rect);
        ASSERT_EQ(mainMenu.current, MenuPage::LobbyViewPage) << match;
        ::testing::internal::CaptureStdout();
        clickOn(shown<LobbyViewPage>().addAIButton.rect);
        const std::string announced = ::testing::internal::GetCapturedStdout();
        const BaseAI* added = getPlayerById(Player::aiId)->ai.get();
        ASSERT_NE(added, nullptr);
        const std::string kind = dynamic_cast<const RushAI*>(added) ? "Rush" : "Turtle";
        EXPECT_EQ(announced, kind == "Rush" ? "AI Archetype Initialized: RUSH MODE\n"
                                            : "AI Archetype Initialized: TURTLE MODE\n");
        met.insert(kind);
        clickOn(shown<LobbyViewPage>().startButton.rect);
        ASSERT_EQ(gameState, GameState::Match) << match;
        EXPECT_EQ(getPlayerById(Player::aiId)->ai.get(), added) << "the session start drew again";
        pendingShutdown = true;
        game_loop();
        mainMenu.update();
        mainMenu.handleEvent(SDL_Event{SDL_MOUSEMOTION});
    }
    EXPECT_EQ(met, (std::set<std::string>{"Rush", "Turtle"}));
}

TEST_F(LobbyMenu, HostingAloneWithTheComputerStartsAMatchAfterWhichTheLobbyIsGone) {
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

    pendingShutdown = true;
    game_loop();
    EXPECT_FALSE(lobbyState.isHostLobby);
    EXPECT_FALSE(net.listening());
    mainMenu.update();
    mainMenu.handleEvent(SDL_Event{SDL_MOUSEMOTION});
    ASSERT_EQ(mainMenu.current, MenuPage::LANPage) << "the lobby view of a finished match is left";
    clickOn(shown<LANPage>().hostGameButton.rect);
    clickOn(shown<HostPage>().startLobbyButton.rect);
    EXPECT_TRUE(lobbyState.isHostLobby);
    EXPECT_TRUE(net.listening());
}

// Bases go to the lowest ids, so a seat past the map's bases would start without one and lose on the first frame:
// the computer takes the last base of "fight" (two) and is refused once both are taken.
TEST_F(LobbyMenu, TheComputerGetsASeatOnlyWhileTheMapHasABaseLeftAndEverySeatStartsWithABase) {
    const struct {
        int humans;
        bool computerSeated;
    } lobbies[] = {{1, true}, {2, false}};
    for (const auto& lobby : lobbies) {
        if (mainMenu.current == MenuPage::MainPage) clickOn(shown<MainPage>().lanButton.rect);
        clickOn(shown<LANPage>().hostGameButton.rect);
        clickOn(shown<HostPage>().startLobbyButton.rect);
        ASSERT_EQ(mainMenu.current, MenuPage::LobbyViewPage) << lobby.humans;
        if (lobby.humans == 2) headless::addPlayer(OTHER_ID, "Rival", "human", true);
        ::testing::internal::CaptureStderr();
        clickOn(shown<LobbyViewPage>().addAIButton.rect);
        const std::string errors = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(getPlayerById(Player::aiId) != nullptr, lobby.computerSeated) << lobby.humans;
        EXPECT_EQ(players.size(), 2u) << lobby.humans;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), lobby.computerSeated ? 0 : 1) << errors;
        clickOn(shown<LobbyViewPage>().startButton.rect);
        ASSERT_EQ(gameState, GameState::Match) << lobby.humans;
        for (const auto& p : players) EXPECT_FALSE(p->buildingIds.empty()) << p->name << " has no base";
        game_loop();
        EXPECT_EQ(victoryPlayerId, -1) << "the match was decided at its start with " << lobby.humans << " humans";
        pendingShutdown = true;
        game_loop();
        mainMenu.update();
        mainMenu.handleEvent(SDL_Event{SDL_MOUSEMOTION});
    }
}

// The host's map choice seats every listed player on a base: a map with as many bases as players is taken, one
// base fewer keeps the lobby's map with one line.
TEST_F(LobbyMenu, AMapWithFewerBasesThanTheLobbysPlayersIsNotChosen) {
    std::filesystem::copy_file(std::string(CORVALE_SOURCE_DIR) + "/maps/highlands.map",
                               root.path / "maps/highlands.map");
    clickOn(shown<MainPage>().lanButton.rect);
    clickOn(shown<LANPage>().hostGameButton.rect);
    clickOn(shown<HostPage>().startLobbyButton.rect);
    ASSERT_EQ(mainMenu.current, MenuPage::LobbyViewPage);
    LobbyViewPage& view = shown<LobbyViewPage>();
    const struct {
        int players;
        const char* map;
        bool chosen;
    } choices[] = {
        {1, "highlands", true}, {2, "fight", true},      {2, "highlands", true},
        {3, "fight", false},    {3, "highlands", true},
    };
    for (const auto& c : choices) {
        if (c.players == 2 && !getPlayerById(OTHER_ID)) headless::addPlayer(OTHER_ID, "Rival", "human", true);
        if (c.players == 3 && !getPlayerById(Player::aiId)) clickOn(view.addAIButton.rect);
        ASSERT_EQ(players.size(), static_cast<size_t>(c.players)) << c.map;
        const auto row = std::find(view.mapNames.begin(), view.mapNames.end(), c.map);
        ASSERT_NE(row, view.mapNames.end()) << c.map;
        const std::string before = lobbyState.currentMap;
        ::testing::internal::CaptureStderr();
        view.mapList.onSelect(static_cast<int>(row - view.mapNames.begin()), c.map);
        const std::string errors = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(lobbyState.currentMap, c.chosen ? std::string(c.map) : before) << c.players << " " << c.map;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), c.chosen ? 0 : 1) << errors;
    }
    clickOn(view.startButton.rect);
    ASSERT_EQ(gameState, GameState::Match);
    for (const auto& p : players) EXPECT_FALSE(p->buildingIds.empty()) << p->name << " has no base";
}

// One race cursor for all: each accepted click moves it on and gives the clicked player the race under it.
TEST_F(LobbyMenu, RaceClicksAtThePointerAndAClientChangesOnlyItsOwn) {
    headless::addPlayer(OTHER_ID, "Rival", "human", false);
    mainMenu.current = MenuPage::LobbyViewPage;
    LobbyViewPage& view = shown<LobbyViewPage>();
    ASSERT_GE(raceOrder.size(), 2u);
    const std::string first = raceOrder[0];
    const std::string second = raceOrder[1];
    const struct {
        bool host;
        int clicked;
        std::string local;
        std::string other;
    } clicks[] = {
        {true, LOCAL_ID, second, "human"},
        {false, OTHER_ID, second, "human"},
        {false, LOCAL_ID, first, "human"},
        {true, OTHER_ID, first, second},
    };
    for (const auto& c : clicks) {
        lobbyState.isHostLobby = c.host;
        view.init();
        mainMenu.draw();
        for (const LobbyViewPage::RaceZone& zone : view.raceZones)
            if (zone.playerId == c.clicked) pressAtPointer(zone.rect);
        EXPECT_EQ(getPlayerById(LOCAL_ID)->race, c.local) << c.host << " clicked " << c.clicked;
        EXPECT_EQ(getPlayerById(OTHER_ID)->race, c.other) << c.host << " clicked " << c.clicked;
    }
}

// A host found on loopback by the page's search and asked to join with its password.
TEST_F(LobbyMenu, JoinFindsTheHostAndEntersItsLobbyWithThePassword) {
    LoopbackHost host;
    ASSERT_TRUE(searchFromTheJoinPage(host));
    EXPECT_EQ(JoinPage::rowText(lobbyState.lobbies[0]), "Den [1/2] (fight) 127.0.0.1");
    const float left = windowSize().x * 0.5f - 200.0f;
    clickOn({left, 220.0f, 10.0f, 10.0f});
    ASSERT_EQ(shown<JoinPage>().selectedLobbyName, "Den");
    type("secret");
    EXPECT_EQ(shown<JoinPage>().addressInput.text, "secret") << "typing reaches both fields";
    clickOn(shown<JoinPage>().joinButton.rect);
    ASSERT_TRUE(host.stepUntil([] { return mainMenu.switchPending; }));
    // The next menu frame enters the lobby without waiting for any event.
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    main_loop();
    EXPECT_EQ(mainMenu.current, MenuPage::LobbyViewPage);
    ASSERT_TRUE(host.stepUntil([] { return players.size() == 2; }));
    EXPECT_EQ(players[0]->name, "P7");
}

// Each press on the page, after typing was stopped elsewhere (a Return in another field), and whether the page
// takes typing afterwards.
// An announcement's texts are the sender's: one row stays one line of a bounded width.
TEST(JoinPageRow, ShowsAnAnnouncementsTextsCutWithTheirControlsReplaced) {
    Lobby lobby{std::string("De\nn\0", 5), 0, std::string(4 << 20, 'm'), "127.0.0.1\r", 1, 2};
    EXPECT_EQ(JoinPage::rowText(lobby),
              "De?n? [1/2] (" + std::string(MAX_SHOWN_NAME_BYTES, 'm') + ") 127.0.0.1?");
}

TEST_F(LobbyMenu, TheJoinPageTakesTypingOnEntryAndAgainAfterAFieldClick) {
    SDL_StopTextInput();
    clickOn(shown<MainPage>().lanButton.rect);
    clickOn(shown<LANPage>().joinGameButton.rect);
    ASSERT_EQ(mainMenu.current, MenuPage::JoinPage);
    EXPECT_TRUE(SDL_IsTextInputActive()) << "on entry";
    const SDL_FRect field = shown<JoinPage>().addressInput.rect;
    const SDL_FRect hidden = shown<JoinPage>().passwordInput.rect;
    const struct {
        float x;
        float y;
        bool typing;
    } presses[] = {
        {field.x + field.w / 2, field.y + field.h / 2, true},
        {field.x + field.w, field.y + field.h, true},          // the field's last point
        {field.x + field.w + 1.0f, field.y + field.h, false},  // the first point past it
        {hidden.x + 5.0f, hidden.y + 5.0f, false},             // the password field is not shown without a password
    };
    for (const auto& p : presses) {
        SDL_StopTextInput();
        clickOn({p.x, p.y, 0.0f, 0.0f});
        EXPECT_EQ(static_cast<bool>(SDL_IsTextInputActive()), p.typing) << p.x << "," << p.y;
    }
    SDL_StopTextInput();
}

// A map file that cannot be read: one line, the page stays, no lobby is announced or given that map.
TEST_F(LobbyMenu, AMissingMapAtStartLobbyOrInTheLobbysChoiceGivesOneLineAndThePageStays) {
    const std::filesystem::path fight = root.path / "maps/fight.map";
    std::filesystem::rename(fight, root.path / "maps/fight.keep");
    clickOn(shown<MainPage>().lanButton.rect);
    clickOn(shown<LANPage>().hostGameButton.rect);
    ::testing::internal::CaptureStderr();
    clickOn(shown<HostPage>().startLobbyButton.rect);
    std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_NE(errors.find("fight"), std::string::npos) << errors;
    EXPECT_EQ(mainMenu.current, MenuPage::HostPage);
    EXPECT_FALSE(lobbyState.isHostLobby);
    EXPECT_FALSE(net.listening());

    // With the map back the lobby opens; a listed map that is gone, or is a folder, is not chosen.
    std::filesystem::rename(root.path / "maps/fight.keep", fight);
    std::filesystem::copy_file(fight, root.path / "maps/gone.map");
    std::filesystem::create_directory(root.path / "maps/folder.map");
    clickOn(shown<HostPage>().startLobbyButton.rect);
    ASSERT_EQ(mainMenu.current, MenuPage::LobbyViewPage);
    std::filesystem::remove(root.path / "maps/gone.map");
    LobbyViewPage& view = shown<LobbyViewPage>();
    for (const std::string unusable : {"gone", "folder"}) {
        const auto row = std::find(view.mapNames.begin(), view.mapNames.end(), unusable);
        if (row == view.mapNames.end()) {  // a folder the scan does not list cannot be chosen at all
            EXPECT_EQ(unusable, "folder");
            continue;
        }
        ::testing::internal::CaptureStderr();
        view.mapList.onSelect(static_cast<int>(row - view.mapNames.begin()), unusable);
        errors = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_EQ(lobbyState.currentMap, "fight") << unusable;
        EXPECT_EQ(mainMenu.current, MenuPage::LobbyViewPage);
    }
    EXPECT_TRUE(lobbyState.isHostLobby);
}

// Files named as maps that no match can be played on, each as the map Start Lobby announces and as the lobby's
// choice: one line, the page stays, no lobby is announced on it and the lobby keeps its map.
TEST_F(LobbyMenu, AGarbageMapAtStartLobbyOrInTheLobbysChoiceGivesOneLineAndThePageStays) {
    const std::filesystem::path maps = root.path / "maps";
    const std::string fight = readWholeFile(maps / "fight.map");
    std::string seatsNobody;
    std::istringstream lines(fight);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("StartingBase", 0) != 0) seatsNobody += line + "\n";
    // Every byte value once, in order: rows of 10 and 245 bytes around the one line break.
    std::string binary;
    for (int byte = 0; byte < 256; ++byte) binary += static_cast<char>(byte);
    const auto writing = [](const std::string& bytes) {
        return [bytes](const std::filesystem::path& file) { std::ofstream(file, std::ios::binary) << bytes; };
    };
    const struct {
        const char* name;
        std::function<void(const std::filesystem::path&)> write;
    } garbage[] = {
        {"binary", writing(binary)},
        {"empty", writing("")},
        // Sparse: one line far longer than a map may be, without its bytes on the disk.
        {"huge",
         [](const std::filesystem::path& file) {
             std::ofstream(file, std::ios::binary).close();
             std::filesystem::resize_file(file, 64u << 20);
         }},
        {"nobody", writing(seatsNobody)},
    };
    clickOn(shown<MainPage>().lanButton.rect);
    clickOn(shown<LANPage>().hostGameButton.rect);
    for (const auto& g : garbage) {
        SCOPED_TRACE(g.name);
        g.write(maps / "fight.map");
        ::testing::internal::CaptureStderr();
        clickOn(shown<HostPage>().startLobbyButton.rect);
        const std::string errors = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_NE(errors.find("fight"), std::string::npos) << errors;
        EXPECT_FALSE(lobbyState.isHostLobby);
        EXPECT_FALSE(net.listening());
        EXPECT_EQ(mainMenu.current, MenuPage::HostPage) << errors;
        if (mainMenu.current == MenuPage::LobbyViewPage) {  // announced after all: back, so the next file is tried
            clickOn(shown<LobbyViewPage>().leaveButton.rect);
            clickOn(shown<LANPage>().hostGameButton.rect);
        }
    }

    writing(fight)(maps / "fight.map");
    for (const auto& g : garbage) g.write(maps / (std::string(g.name) + ".map"));
    clickOn(shown<HostPage>().startLobbyButton.rect);
    ASSERT_EQ(mainMenu.current, MenuPage::LobbyViewPage);
    LobbyViewPage& view = shown<LobbyViewPage>();
    for (const auto& g : garbage) {
        SCOPED_TRACE(g.name);
        const auto row = std::find(view.mapNames.begin(), view.mapNames.end(), g.name);
        ASSERT_NE(row, view.mapNames.end());
        ::testing::internal::CaptureStderr();
        view.mapList.onSelect(static_cast<int>(row - view.mapNames.begin()), g.name);
        const std::string errors = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_EQ(lobbyState.currentMap, "fight");
        EXPECT_EQ(lobbyState.baseCount, 2);
        EXPECT_EQ(mainMenu.current, MenuPage::LobbyViewPage);
    }
}

// The refused peer hears the host's lobby messages on its open connection yet is no member; a further Join
// replaces that connection, and the host's leaving later takes the member back to the LAN page.
TEST_F(LobbyMenu, AWrongPasswordIsRefusedAndARetryJoinsWithoutALeakedSocket) {
    LoopbackHost host;
    ASSERT_TRUE(searchFromTheJoinPage(host));
    clickOn({windowSize().x * 0.5f - 200.0f, 220.0f, 10.0f, 10.0f});
    type("wrong");
    clickOn(shown<JoinPage>().joinButton.rect);
    ASSERT_TRUE(host.settle());
    EXPECT_EQ(host.roster.size(), 1u) << "a wrong password is refused";
    chooseLobbyMap(host.peer, "fight", 2);
    NetPacket info(PacketType::LobbyInfo);
    info.writeString("Later");
    host.link.sendPacket(info);
    ASSERT_TRUE(host.stepUntil([] { return lobbyState.lobbies.back().name == "Later"; }));
    EXPECT_EQ(players.size(), 1u) << "the refused peer took the host's player list for its own";
    EXPECT_EQ(mainMenu.current, MenuPage::JoinPage);

    const std::size_t descriptors = openDescriptors();
    SDL_Event backspace{};
    backspace.type = SDL_KEYDOWN;
    backspace.key.keysym.sym = SDLK_BACKSPACE;
    for (int i = 0; i < 5; ++i) mainMenu.handleEvent(backspace);
    type("secret");
    clickOn(shown<JoinPage>().joinButton.rect);
    ASSERT_TRUE(host.stepUntil([&] { return players.size() == 2 && host.link.connections.size() == 1; }));
    EXPECT_EQ(net.connections.size(), 1u);
    EXPECT_EQ(openDescriptors(), descriptors) << "the refused connection is closed on both sides";
    mainMenu.handleEvent(SDL_Event{SDL_MOUSEMOTION});
    ASSERT_EQ(mainMenu.current, MenuPage::LobbyViewPage);

    leaveLobby(host.peer);
    ASSERT_TRUE(host.stepUntil([] { return mainMenu.switchPending; }));
    mainMenu.handleEvent(SDL_Event{SDL_MOUSEMOTION});
    EXPECT_EQ(mainMenu.current, MenuPage::LANPage);
    EXPECT_EQ(players.size(), 1u);
}

}  // namespace

namespace {

// What the host's lobby has become by the time the joiner presses Join.
enum class HostState { Full, Started, Gone };

// Back from the join page to the main page, as a player would go to search again.
void backToTheMainPage() {
    clickOn(shown<JoinPage>().backButton.rect);
    clickOn(shown<LANPage>().backButton.rect);
}

// A lobby listed by the search that is full, has started or is gone by the time of the Join: the page stays,
// nobody is joined, and a failed connection adds two lines to the one that names the address. Going back gives
// the join up, so the host keeps no place for it.
TEST_F(LobbyMenu, AJoinToAFullStartedOrGoneLobbyLeavesThePageAsItWas) {
    const auto savedStart = StartLobbyMatch;
    const struct {
        HostState state;
        bool connected;
        long errorLines;
    } cases[] = {{HostState::Full, true, 1}, {HostState::Started, false, 3}, {HostState::Gone, false, 3}};
    for (const auto& c : cases) {
        const int which = static_cast<int>(c.state);
        LoopbackHost host;
        ASSERT_TRUE(searchFromTheJoinPage(host)) << which;
        clickOn({windowSize().x * 0.5f - 200.0f, 220.0f, 10.0f, 10.0f});
        type("secret");
        StartLobbyMatch = nullptr;
        if (c.state == HostState::Full) host.roster.push_back(std::make_unique<Player>(9, "Third", "human", false));
        if (c.state == HostState::Started) startLobbyMatch(host.peer);
        if (c.state == HostState::Gone) leaveLobby(host.peer);
        StartLobbyMatch = savedStart;
        ::testing::internal::CaptureStderr();
        clickOn(shown<JoinPage>().joinButton.rect);
        EXPECT_FALSE(host.stepUntil([] { return lobbyState.joined; })) << which;
        const std::string errors = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(host.link.connections.size(), c.connected ? 1u : 0u) << which;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), c.errorLines) << which << ": " << errors;
        mainMenu.handleEvent(SDL_Event{SDL_MOUSEMOTION});
        EXPECT_EQ(mainMenu.current, MenuPage::JoinPage) << which;
        EXPECT_EQ(players.size(), 1u) << which;
        EXPECT_EQ(net.connections.size(), c.connected ? 1u : 0u) << which;
        backToTheMainPage();
        EXPECT_TRUE(net.connections.empty()) << which << ": going back gave the join up";
        EXPECT_TRUE(host.stepUntil([&] { return host.link.connections.empty(); })) << which;
    }
}

}  // namespace

namespace {

// The game's own lobby view, hosting or joined, and the other side on loopback.
enum class GameSide { Guest, Host };

// The game enters a lobby through its pages, as the guest of the side beside it or as the host of a guest on
// the ports that side found: true once both list two players.
bool enterLobbyWithTwo(GameSide side, LoopbackHost& other, LobbySide& guest) {
    if (side == GameSide::Guest) {
        if (!searchFromTheJoinPage(other)) return false;
        clickOn({windowSize().x * 0.5f - 200.0f, 220.0f, 10.0f, 10.0f});
        type("secret");
        clickOn(shown<JoinPage>().joinButton.rect);
        return other.stepUntil([&] {
            mainMenu.handleEvent(SDL_Event{SDL_MOUSEMOTION});
            return mainMenu.current == MenuPage::LobbyViewPage && players.size() == 2 && other.roster.size() == 2;
        });
    }
    clickOn(shown<MainPage>().lanButton.rect);
    clickOn(shown<LANPage>().hostGameButton.rect);
    clickOn(shown<HostPage>().startLobbyButton.rect);
    if (!net.listening() || !joinLobby(guest.peer, Lobby{"Unnamed Lobby", 0, "fight", "127.0.0.1", 1, 2}, ""))
        return false;
    return other.stepUntil([&] {
        updateLobbyNetworking(guest.peer);
        guest.link.waitForTraffic(5);
        return guest.state.joined && guest.roster.size() == 2 && players.size() == 2;
    });
}

// Leave on the game's lobby view, hosting or joined: the game is back on the LAN page alone with every lobby
// socket closed, and the other side lists one player and holds no connection to it.
TEST_F(LobbyMenu, LeaveOnTheLobbyViewClosesEverySocketOnBothSides) {
    for (GameSide side : {GameSide::Guest, GameSide::Host}) {
        const bool hosting = side == GameSide::Host;
        LoopbackHost other;
        LobbySide guest{5};
        // When the game hosts, the side beside only found it free ports.
        if (hosting) leaveLobby(other.peer);
        const std::size_t descriptors = openDescriptors();
        ASSERT_TRUE(enterLobbyWithTwo(side, other, guest)) << hosting;
        clickOn(shown<LobbyViewPage>().leaveButton.rect);
        EXPECT_EQ(mainMenu.current, MenuPage::LANPage) << hosting;
        EXPECT_EQ(players.size(), 1u) << hosting;
        EXPECT_FALSE(lobbyState.isHostLobby || lobbyState.joined) << hosting;
        EXPECT_TRUE(net.connections.empty() && !net.listening()) << hosting;
        LobbySide& remaining = hosting ? static_cast<LobbySide&>(guest) : other;
        EXPECT_TRUE(other.stepUntil([&] {
            updateLobbyNetworking(guest.peer);
            return remaining.roster.size() == 1 && remaining.link.connections.empty();
        })) << hosting;
        EXPECT_EQ(openDescriptors(), descriptors) << hosting;
        clickOn(shown<LANPage>().backButton.rect);
    }
}

}  // namespace

namespace {

// Typed in one text event per character, as a keyboard does.
void typeEach(const std::vector<std::string>& characters) {
    for (const std::string& c : characters) type(c);
}

// A joiner sends the lobby's name and password back, and the host takes neither longer than a name: the host
// page's fields keep what fits, in whole characters, and the lobby can be joined with what they show.
TEST_F(LobbyMenu, TheHostPageKeepsANameAndPasswordAJoinerCanSendBack) {
    const std::vector<std::string> fill(MAX_NAME_BYTES - 1, "n");
    const std::string kept(MAX_NAME_BYTES - 1, 'n');
    const struct {
        std::vector<std::string> typed;
        std::string shown;
    } texts[] = {
        {[&] { auto t = fill; t.push_back("n"); return t; }(), kept + "n"},
        {[&] { auto t = fill; t.insert(t.end(), {"n", "n"}); return t; }(), kept + "n"},
        {[&] { auto t = fill; t.push_back("\xC3\xA9"); return t; }(), kept},  // a two-byte character past the end
    };
    for (const auto& t : texts) {
        LoopbackHost ports;
        leaveLobby(ports.peer);  // the game hosts on the ports it found
        LobbySide guest{5};
        if (mainMenu.current == MenuPage::MainPage) clickOn(shown<MainPage>().lanButton.rect);
        clickOn(shown<LANPage>().hostGameButton.rect);
        HostPage& page = shown<HostPage>();
        typeEach(t.typed);
        clickOn(page.passwordInput.rect);
        typeEach(t.typed);
        EXPECT_EQ(page.lobbyNameInput.text, t.shown);
        EXPECT_EQ(page.passwordInput.text, t.shown);
        clickOn(page.startLobbyButton.rect);
        ASSERT_TRUE(joinLobby(guest.peer, Lobby{lobbyState.currentLobbyName, 1, "fight", "127.0.0.1", 1, 2}, t.shown));
        EXPECT_TRUE(ports.stepUntil([&] {
            updateLobbyNetworking(guest.peer);
            guest.link.waitForTraffic(5);
            return guest.state.joined;
        })) << t.typed.size() << " characters typed";
        clickOn(shown<LobbyViewPage>().leaveButton.rect);
        clickOn(shown<LANPage>().backButton.rect);
    }
}

}  // namespace

namespace {

void shootLobbyView(LobbyViewPage& view, const std::string& name) {
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    view.draw();
    DrawFixture::saveScreenshot(name);
}

// A guest whose computer lacks the host's map, cannot read it or holds another map under its name sees the host's
// map named in the lobby, is told before the start when it lacks it, and a start on it leaves the lobby: no match,
// no connection on either side, the reason on the page until Leave takes it to the LAN page.
TEST_F(LobbyMenu, AGuestWithoutTheHostsMapIsToldAndAStartOnItLeavesTheLobbyWithTheReason) {
    const std::filesystem::path fight = root.path / "maps/fight.map";
    std::filesystem::copy_file(fight, root.path / "maps/other.map");
    const std::string hostsCopy = readWholeFile(fight);
    const auto unequalRows = [&] { std::ofstream(fight) << "GGGG\nGG\n"; };
    const struct {
        std::string copy;
        // Changed after the host's start, so the guest's copy alone differs; else both peers of the process read it.
        bool guestsOnly;
        std::function<void()> change;
        std::string before;
        std::string after;
    } cases[] = {
        {"missing", false, [&] { std::filesystem::remove(fight); },
         "This map is missing on this computer: the match cannot start here.",
         "The match could not start: the map \"fight\" is missing on this computer."},
        {"unreadable", false, unequalRows, "",
         "The match could not start: the map \"fight\" is unreadable on this computer."},
        {"other", true, unequalRows, "",
         "The match could not start: the map \"fight\" on this computer is not the host's."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.copy);
        std::ofstream(fight, std::ios::binary) << hostsCopy;
        if (!c.guestsOnly) c.change();
        LoopbackHost host;
        LobbySide unused{5};
        ASSERT_TRUE(enterLobbyWithTwo(GameSide::Guest, host, unused));
        LobbyViewPage& view = shown<LobbyViewPage>();
        EXPECT_EQ(lobbyState.currentMap, "fight");
        EXPECT_EQ(view.mapNotice(), c.before);
        shootLobbyView(view, "lobby_guest_map_" + c.copy);
        const auto savedStart = StartLobbyMatch;
        StartLobbyMatch = nullptr;
        startLobbyMatch(host.peer);
        StartLobbyMatch = savedStart;
        if (c.guestsOnly) c.change();
        ::testing::internal::CaptureStderr();
        EXPECT_TRUE(host.stepUntil([] { return !lobbyState.joined; }));
        const std::string errors = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_EQ(gameState, GameState::Menus);
        EXPECT_TRUE(net.connections.empty());
        EXPECT_TRUE(host.stepUntil([&] {
            host.link.receivePackets();
            return host.link.connections.empty();
        })) << "the host's side of the connection closes too";
        mainMenu.handleEvent(SDL_Event{SDL_MOUSEMOTION});
        ASSERT_EQ(mainMenu.current, MenuPage::LobbyViewPage);
        EXPECT_EQ(view.mapNotice(), c.after);
        shootLobbyView(view, "lobby_start_failed_" + c.copy);
        clickOn(view.leaveButton.rect);
        EXPECT_EQ(mainMenu.current, MenuPage::LANPage);
        EXPECT_EQ(players.size(), 1u);
        clickOn(shown<LANPage>().backButton.rect);
    }
}

}  // namespace
