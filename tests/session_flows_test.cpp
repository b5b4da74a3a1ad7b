// Whole flows a player walks through the real pages: a match against the computer from the LAN pages to its
// result and back, a second match after it, a save resumed from the next match, and the replay of a match.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ai.h"
#include "buildings.h"
#include "hud.h"
#include "network_manager_lobby.h"
#include "sdl_events.h"
#include "lobby_flow.h"
#include "session_fixture.h"
#include "ui/host_page.h"
#include "ui/lan_page.h"
#include "ui/list.h"
#include "ui/lobby_view_page.h"
#include "input_state.h"
#include "ui/main_page.h"
#include "ui/map_editor_page.h"
#include "ui/replays_page.h"

namespace {

constexpr int COMPUTER_ID = 303;

// Presses the in-game menu's column button at that offset below the menu's top.
void pressMenuButton(float offset) {
    gameMenu.handleEvent(press(gameMenu.rect.x + 125.0f, gameMenu.rect.y + offset + 15.0f));
}

template <class Widget>
Widget* firstInGameMenu() {
    for (const auto& child : gameMenu.children)
        if (auto* w = dynamic_cast<Widget*>(child.get())) return w;
    return nullptr;
}

bool resultTitled(const std::string& title) {
    for (const auto& child : game_over_modal.children)
        if (const auto* label = dynamic_cast<const Label*>(child.get()); label && label->text == title) return true;
    return false;
}

// The local player's workers sent mining on the first turn, and nothing after: the rest of the match is idle.
void mineOnTheFirstTurn() {
    if (lockstep.currentTurn != 0 || !lockstep.pendingCommands.empty()) return;
    for (Command& c : headless::economyOrders(0, LOCAL_ID)) lockstep.pendingCommands.push_back(std::move(c));
}

// Records of the log at path issued by that player.
int recordsOf(const std::filesystem::path& path, int player) {
    const std::string log = readWholeFile(path);
    const std::string key = "\"player\":" + std::to_string(player) + ",";
    int n = 0;
    for (std::size_t at = log.find(key); at != std::string::npos; at = log.find(key, at + 1)) ++n;
    return n;
}

struct PlayerFlow : DrawnSessionTest {
    uint16_t savedTcp = netTcpPort;
    int savedAi = Player::aiId;

    void SetUp() override {
        DrawnSessionTest::SetUp();
        // A map listed before the lobby's own choice.
        std::filesystem::copy_file(std::string(CORVALE_SOURCE_DIR) + "/maps/ashen_outpost.map",
                                   root.path / "maps/ashen_outpost.map");
        Player::aiId = COMPUTER_ID;
        seatAloneAtTheMenus();
    }
    void TearDown() override {
        leaveMenusAndLobby();
        SDL_SetWindowSize(window, DrawFixture::W, DrawFixture::H);
        netTcpPort = savedTcp;
        victoryPlayerId = -1;
        DrawnSessionTest::TearDown();
        Player::aiId = savedAi;
    }

    // MENU, then a menu button whose dialog the next frame builds.
    static void openDialog(float offset) {
        menuButton.onClick();
        pressMenuButton(offset);
        game_loop();
    }

    // MENU shows the last dialog again until its Back rebuilds the menu's column.
    static void endScenario() {
        menuButton.onClick();
        Button* first = firstInGameMenu<Button>();
        if (first && first->label != "Save Game") {
            Button* back = nullptr;
            for (const auto& child : gameMenu.children)
                if (auto* b = dynamic_cast<Button*>(child.get())) back = b;
            gameMenu.handleEvent(press(back->rect.x + 5.0f, back->rect.y + 5.0f));
        }
        pressMenuButton(200.0f);
        game_loop();
        ASSERT_EQ(gameState, GameState::Menus);
    }
};

TEST_F(PlayerFlow, AMatchWonAgainstTheComputerQuitsToTheMenusAndTheNextMatchStartsAsTheFirstDid) {
    struct Outcome {
        const char* title;
        int loser;  // whose buildings fall
        int winner;
    };
    const Outcome outcomes[] = {{"VICTORY", COMPUTER_ID, LOCAL_ID}, {"DEFEAT", LOCAL_ID, COMPUTER_ID}};
    uint64_t firstStart = 0;
    int match = 0;
    for (const Outcome& o : outcomes) {
        SCOPED_TRACE(o.title);
        ASSERT_NO_FATAL_FAILURE(hostAgainstTheComputer());
        EXPECT_EQ(players.size(), 2u);
        EXPECT_EQ(victoryPlayerId, -1);
        EXPECT_FALSE(game_over_modal.isVisible());
        EXPECT_FALSE(gameMenu.isVisible());
        EXPECT_EQ(lockstep.currentTurn, 0);
        if (match++ == 0) firstStart = worldChecksum();
        EXPECT_EQ(worldChecksum(), firstStart) << "the second match starts on the world of the first";
        runFrames(200, 20.0, [] { return lockstep.currentTurn >= 100; }, mineOnTheFirstTurn);
        ASSERT_NE(getPlayerById(COMPUTER_ID), nullptr);
        EXPECT_NE(getPlayerById(COMPUTER_ID)->ai, nullptr) << "the computer player thinks";
        for (Building& b : buildings)
            if (b.playerId == o.loser) b.hp = 0.0f;
        runFrames(20, 20.0, [] { return victoryPlayerId != -1; });
        ASSERT_EQ(victoryPlayerId, o.winner);
        ASSERT_TRUE(game_over_modal.isVisible());
        EXPECT_TRUE(resultTitled(o.title));
        SDL_SetRenderDrawColor(renderer, 20, 40, 20, 255);
        SDL_RenderClear(renderer);
        drawDialogs();
        DrawFixture::saveScreenshot(std::string("flow_result_") + o.title);
        const SDL_FRect r = game_over_modal.rect;
        EXPECT_TRUE(game_over_modal.handleEvent(press(r.x + 150.0f, r.y + 135.0f)));  // Quit
        game_loop();
        ASSERT_EQ(gameState, GameState::Menus);
        menuFrames(2);
        EXPECT_EQ(mainMenu.current, MenuPage::LANPage);
        EXPECT_EQ(victoryPlayerId, -1);
        EXPECT_FALSE(game_over_modal.isVisible());
        ASSERT_EQ(players.size(), 1u) << "the computer player of the match is gone";
    }
    DrawFixture::saveScreenshot("flow_menus_after_two_matches");
    std::vector<std::filesystem::path> logs{std::filesystem::directory_iterator(root.path / "replays"), {}};
    ASSERT_EQ(logs.size(), 2u);
    for (const auto& log : logs) {
        EXPECT_GT(recordsOf(log, LOCAL_ID), 0) << log;
        EXPECT_GT(recordsOf(log, COMPUTER_ID), 0) << log;
    }
}

// A save made in the middle of a match against the computer, the match quit, the next match started from the
// menus and the save loaded from its in-game menu: the resumed match stands where the saved one stood, and the
// computer player goes on thinking. In a later run of the program every player id is drawn anew. A match saved
// while paused, long after its last order, resumes on the turn it paused at.
TEST_F(PlayerFlow, ASaveLoadedFromTheNextMatchResumesWhereItWasAndTheComputerPlaysOn) {
    struct Run {
        const char* name;
        int localId;
        int computerId;
        bool paused;
    };
    const Run runs[] = {{"the same run", LOCAL_ID, COMPUTER_ID, false},
                        {"a later run", LOCAL_ID + 1000, COMPUTER_ID + 1000, false},
                        {"paused", LOCAL_ID, COMPUTER_ID, true}};
    for (const Run& later : runs) {
        SCOPED_TRACE(later.name);
        Player::myStaticId = LOCAL_ID;
        Player::aiId = COMPUTER_ID;
        players.clear();
        spawnPlayer();
        ASSERT_NO_FATAL_FAILURE(hostAgainstTheComputer());
        // Saved between two of the computer player's turns of thought, long after the last order of the player.
        runFrames(2000, 20.0, [] { return lockstep.currentTurn >= 615; }, mineOnTheFirstTurn);
        ASSERT_NE(lockstep.currentTurn % COMPUTER_THINK_TURNS, 0);
        if (later.paused) {
            lockstep.collectCommand(Command{CommandType::PauseGame, LOCAL_ID, PauseGameCommand{lockstep.currentTurn}});
            runFrames(20, 20.0, [] { return paused; });
            ASSERT_TRUE(paused);
            runFrames(5, 20.0, [] { return false; });
        }
        openDialog(40.0f);  // Save Game
        ASSERT_NE(firstInGameMenu<TextInput>(), nullptr);
        gameMenu.handleEvent(typed(later.name));
        const int savedTurn = lockstep.currentTurn;
        const uint64_t savedSum = worldChecksum();
        pressMenuButton(240.0f);  // Save
        ASSERT_TRUE(std::filesystem::exists(root.path / "saves" / (std::string(later.name) + ".bin")));
        ASSERT_NO_FATAL_FAILURE(endScenario());
        menuFrames(2);

        Player::myStaticId = later.localId;
        Player::aiId = later.computerId;
        players.clear();
        spawnPlayer();
        ASSERT_NO_FATAL_FAILURE(hostAgainstTheComputer());
        runFrames(10, 20.0, [] { return false; });
        openDialog(80.0f);  // Load Game
        List* saves = firstInGameMenu<List>();
        ASSERT_NE(saves, nullptr);
        const auto row = std::find(saves->items.begin(), saves->items.end(), std::string(later.name) + ".bin");
        ASSERT_NE(row, saves->items.end());
        saves->selected = static_cast<int>(row - saves->items.begin());
        pressMenuButton(240.0f);  // Load
        game_loop();
        ASSERT_EQ(mode, GameMode::ResumedSave);
        runFrames(4000, 20.0, [] { return mode != GameMode::ResumedSave; });
        ASSERT_EQ(mode, GameMode::Skirmish);
        EXPECT_EQ(lockstep.currentTurn, savedTurn) << "the resumed match stands where it was saved";
        EXPECT_EQ(worldChecksum(), savedSum);
        const Player* computer = getPlayerById(Player::aiId);
        ASSERT_NE(computer, nullptr) << "the saved computer player is the computer player";
        EXPECT_EQ(computer->id, COMPUTER_ID);
        EXPECT_NE(computer->ai, nullptr) << "the computer player plays on";
        ASSERT_NO_FATAL_FAILURE(endScenario());
        EXPECT_EQ(Player::myStaticId, later.localId) << "the run's own ids come back after the resumed match";
        EXPECT_EQ(Player::aiId, later.computerId);
        menuFrames(2);
    }
}

// A match quit long after its last order: its replay, chosen on the replays page, plays to the turn the match
// ended on, through the same worlds.
TEST_F(PlayerFlow, TheReplayOfAQuitMatchPlaysToItsLastTurn) {
    ASSERT_NO_FATAL_FAILURE(hostAgainstTheComputer());
    const ChecksumsByTurn live =
        runFrames(2000, 20.0, [] { return lockstep.currentTurn >= 700; }, mineOnTheFirstTurn);
    const int lastTurn = lockstep.currentTurn;
    ASSERT_NO_FATAL_FAILURE(endScenario());
    menuFrames(2);
    mainMenu.switch_to_page(MenuPage::ReplaysPage);  // the main page's Replays button is disabled
    menuFrames(1);
    ReplaysPage& page = shown<ReplaysPage>();
    ASSERT_EQ(page.replayFiles.size(), 1u);
    EXPECT_EQ(page.replayList.selected, -1) << "no replay is lit before one is chosen";
    mainMenu.handleEvent(press(page.replayList.rect.x + 20, page.replayList.rect.y + page.replayList.itemHeight / 2));
    mainMenu.handleEvent(SDL_Event{SDL_MOUSEBUTTONUP});
    clickOn(page.playButton.rect);
    ASSERT_EQ(mode, GameMode::Replay);
    int reached = 0;
    const ChecksumsByTurn replayed = runFrames(5000, 20.0, [] { return false; }, [&] { reached = lockstep.currentTurn; });
    EXPECT_EQ(gameState, GameState::Menus);
    EXPECT_EQ(reached, lastTurn) << "the replay plays to the match's last turn";
    for (const auto& [turn, sum] : replayed) EXPECT_EQ(sum, live.at(turn)) << turn;
}

// The last button of the in-game menu's content: the column's "Return to Game", or a dialog's "Back".
Button* lastMenuButton() {
    Button* last = nullptr;
    for (const auto& child : gameMenu.children)
        if (auto* b = dynamic_cast<Button*>(child.get())) last = b;
    return last;
}

bool insideWindow(const SDL_FRect& r) {
    const SDL_FPoint size = windowSize();
    return r.x >= 0.0f && r.y >= 0.0f && r.x + r.w <= size.x && r.y + r.h <= size.y;
}

// A window made smaller or larger in the middle of a match: the in-game menu, a dialog open across the change and
// the result dialog stand centred in the new window, and their buttons answer where they are drawn.
TEST_F(PlayerFlow, AWindowResizedInAMatchKeepsItsDialogsCentredAndTheirButtonsAnswer) {
    ASSERT_NO_FATAL_FAILURE(hostAgainstTheComputer());
    const SDL_Point sizes[] = {{800, 600}, {1920, 1080}, {640, 480}};
    for (const SDL_Point size : sizes) {
        SCOPED_TRACE(std::to_string(size.x) + "x" + std::to_string(size.y));
        SDL_SetWindowSize(window, size.x, size.y);
        menuButton.onClick();
        game_loop();
        EXPECT_FLOAT_EQ(gameMenu.rect.x, (static_cast<float>(size.x) - gameMenu.rect.w) * 0.5f);
        EXPECT_FLOAT_EQ(gameMenu.rect.y, (static_cast<float>(size.y) - gameMenu.rect.h) * 0.5f);
        Button* back = lastMenuButton();
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->label, "Return to Game");
        EXPECT_TRUE(insideWindow(back->rect));
        gameMenu.handleEvent(press(back->rect.x + back->rect.w / 2, back->rect.y + back->rect.h / 2));
        EXPECT_FALSE(gameMenu.isVisible());
    }
    openDialog(240.0f);  // Options, then the window grows under it
    SDL_SetWindowSize(window, 1600, 900);
    game_loop();
    Button* back = lastMenuButton();
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->label, "Back");
    EXPECT_TRUE(pointInRect(gameMenu.rect, back->rect.x + 1.0f, back->rect.y + 1.0f)) << "the dialog's button moved with it";
    gameMenu.handleEvent(press(back->rect.x + back->rect.w / 2, back->rect.y + back->rect.h / 2));
    ASSERT_NE(firstInGameMenu<Button>(), nullptr);
    EXPECT_EQ(firstInGameMenu<Button>()->label, "Save Game") << "Back rebuilt the menu's column";
    gameMenu.hide();

    for (Building& b : buildings)
        if (b.playerId == COMPUTER_ID) b.hp = 0.0f;
    runFrames(20, 20.0, [] { return victoryPlayerId != -1; });
    ASSERT_TRUE(game_over_modal.isVisible());
    SDL_SetWindowSize(window, 700, 500);
    game_loop();
    const SDL_FRect r = game_over_modal.rect;
    EXPECT_FLOAT_EQ(r.x, 200.0f);
    EXPECT_FLOAT_EQ(r.y, 160.0f);
    EXPECT_TRUE(game_over_modal.handleEvent(press(r.x + 150.0f, r.y + 135.0f)));  // Quit
    game_loop();
    EXPECT_EQ(gameState, GameState::Menus);
}

SDL_Point editorPointer{0, 0};
PointerView pointerAtEditorPointer() {
    return {static_cast<float>(editorPointer.x), static_cast<float>(editorPointer.y), 1280.0f, 720.0f};
}

// A map made in the editor from the menus and saved under a new name is listed by the editor page and the lobby,
// and a match is played on it.
TEST_F(PlayerFlow, AMapSavedInTheEditorIsListedAndPlayed) {
    clickOn(shown<MainPage>().mapEditorButton.rect);
    ASSERT_EQ(mainMenu.current, MenuPage::MapEditorPage);
    MapEditorPage& editorPage = shown<MapEditorPage>();
    EXPECT_EQ(editorPage.mapList.selected, -1) << "no map is lit before one is chosen";
    const auto fight = std::find(editorPage.mapNames.begin(), editorPage.mapNames.end(), "fight");
    ASSERT_NE(fight, editorPage.mapNames.end());
    const float row = static_cast<float>(fight - editorPage.mapNames.begin()) + 0.5f;
    mainMenu.handleEvent(press(editorPage.mapList.rect.x + 20, editorPage.mapList.rect.y + editorPage.mapList.itemHeight * row));
    clickOn(editorPage.openButton.rect);
    ASSERT_EQ(gameState, GameState::MapEditor);
    DrawHUD();  // a drawn frame places the tool buttons
    editorPointer = {static_cast<int>(saveButton.rect.x + 5), static_cast<int>(saveButton.rect.y + 5)};
    readPointerView = pointerAtEditorPointer;
    SDL_Event e = press(saveButton.rect.x + 5, saveButton.rect.y + 5);
    SDL_PushEvent(&e);
    map_editor_loop();
    readPointerView = readSdlPointerView;
    ASSERT_TRUE(typingFilename);
    const auto pressKey = [](SDL_Keycode key) {
        SDL_Event down{};
        down.type = SDL_KEYDOWN;
        down.key.keysym.sym = key;
        SDL_PushEvent(&down);
    };
    e = typed("made_here/");
    SDL_PushEvent(&e);
    pressKey(SDLK_RETURN);
    map_editor_loop();
    EXPECT_TRUE(typingFilename) << "a refused name keeps the prompt open";
    EXPECT_EQ(filenameRefusal, "Not saved: a name without / or .. is needed");
    EXPECT_EQ(filenameInput, "made_here/");
    EXPECT_EQ(currentMap, "fight");
    pressKey(SDLK_BACKSPACE);
    pressKey(SDLK_RETURN);
    map_editor_loop();
    ASSERT_TRUE(std::filesystem::exists(root.path / "maps/made_here.map"));
    EXPECT_FALSE(typingFilename);
    EXPECT_EQ(filenameRefusal, "");
    EXPECT_EQ(currentMap, "made_here") << "the editor names the map it saved";
    pendingShutdown = true;
    map_editor_loop();
    ASSERT_EQ(gameState, GameState::Menus);
    menuFrames(2);
    ASSERT_EQ(mainMenu.current, MenuPage::MapEditorPage);
    const std::vector<std::string>& shownAfter = shown<MapEditorPage>().mapNames;
    EXPECT_NE(std::find(shownAfter.begin(), shownAfter.end(), "made_here"), shownAfter.end())
        << "back from the editor, the page lists the map saved there";

    mainMenu.switch_to_page(MenuPage::MapEditorPage);
    menuFrames(1);
    const std::vector<std::string>& edited = shown<MapEditorPage>().mapNames;
    EXPECT_NE(std::find(edited.begin(), edited.end(), "made_here"), edited.end());
    EXPECT_EQ(shown<MapEditorPage>().mapList.selectedText(), "fight") << "the choice of the last visit stays lit";
    clickOn(shown<MapEditorPage>().backButton.rect);
    clickOn(shown<MainPage>().lanButton.rect);
    clickOn(shown<LANPage>().hostGameButton.rect);
    clickOn(shown<HostPage>().startLobbyButton.rect);
    LobbyViewPage& lobby = shown<LobbyViewPage>();
    const auto made = std::find(lobby.mapNames.begin(), lobby.mapNames.end(), "made_here");
    ASSERT_NE(made, lobby.mapNames.end());
    const float madeRow = static_cast<float>(made - lobby.mapNames.begin()) + 0.5f;
    mainMenu.handleEvent(press(lobby.mapList.rect.x + 20, lobby.mapList.rect.y + lobby.mapList.itemHeight * madeRow));
    EXPECT_EQ(lobbyState.currentMap, "made_here");
    clickOn(lobby.addAIButton.rect);
    clickOn(lobby.startButton.rect);
    ASSERT_EQ(gameState, GameState::Match);
    EXPECT_EQ(currentMap, "made_here");
    runFrames(20, 20.0, [] { return false; });
    EXPECT_EQ(gameState, GameState::Match);
    EXPECT_FALSE(getPlayerById(LOCAL_ID)->buildingIds.empty());
    EXPECT_FALSE(getPlayerById(COMPUTER_ID)->buildingIds.empty());
}

// A log of another run whose header reads but whose first record does not: the replay is refused, and the menus
// keep this run's players and ids rather than the log's.
TEST_F(PlayerFlow, AReplayRefusedAfterItsHeaderLeavesTheMenusAsTheyWere) {
    ASSERT_NO_FATAL_FAILURE(hostAgainstTheComputer());
    runFrames(20, 20.0, [] { return false; }, mineOnTheFirstTurn);
    ASSERT_NO_FATAL_FAILURE(endScenario());
    menuFrames(2);
    const std::filesystem::path log = onlyFileIn(root.path / "replays");
    const std::string bytes = readWholeFile(log);
    nlohmann::json header = nlohmann::json::parse(bytes.substr(0, bytes.find('\n')));
    header["players"][0]["id"] = 7;
    header["players"][1]["id"] = 8;
    std::filesystem::remove(log);
    root.write("replays/broken.bin", header.dump() + "\nnot a record\n");
    mainMenu.switch_to_page(MenuPage::ReplaysPage);
    menuFrames(1);
    ReplaysPage& page = shown<ReplaysPage>();
    ASSERT_EQ(page.replayFiles, std::vector<std::string>{"broken.bin"});
    mainMenu.handleEvent(press(page.replayList.rect.x + 20, page.replayList.rect.y + page.replayList.itemHeight / 2));
    ::testing::internal::CaptureStderr();
    clickOn(page.playButton.rect);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(gameState, GameState::Menus);
    EXPECT_EQ(Player::myStaticId, LOCAL_ID);
    EXPECT_EQ(Player::aiId, COMPUTER_ID);
    ASSERT_EQ(players.size(), 1u) << "the log's players sit in the menus";
    EXPECT_EQ(players[0]->id, LOCAL_ID);
}

}  // namespace
