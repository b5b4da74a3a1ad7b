// A match against the computer played again after every other kind of session of one run: the same worlds, tick
// for tick, and the same log as the first match of a fresh run; its log replays, and no handle piles up.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "buildings.h"
#include "control_groups.h"
#include "extraction_campaign.h"
#include "extraction_folders.h"
#include "hud.h"
#include "input_state.h"
#include "lobby_flow.h"
#include "lockstep_peers.h"
#include "map_objects.h"
#include "match_mouse.h"
#include "mod_manager.h"
#include "ui/extraction_pages.h"
#include "ui/map_editor_page.h"
#include "ui/replays_page.h"

namespace {

constexpr int COMPUTER_ID = 303;
constexpr int MATCH_TURNS = 320;
// The turn on which the player selects a worker by mouse and sends it off with a right click.
constexpr int CLICK_TURN = 30;

using Mouse = match_mouse::MouseOrders;

struct Played {
    ChecksumsByTurn sums;
    std::string logName;
    std::string log;
};

std::size_t openFiles() {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

// What SDL holds, the texts cached for drawing left out: the cache is bounded, and it keeps the names the menus
// showed last (the replay files among them), which differ from round to round.
int allocationsBesideCachedTexts() {
    cleanupFonts();
    initFonts();
    initFontCache();
    return SDL_GetNumAllocations();
}

int firstWorkerOf(int playerId) {
    for (const Unit& u : units)
        if (u.playerId == playerId && u.worker) return u.id;
    return -1;
}

// The local player's orders of the fixed match: mining from the first turn, a worker picked by mouse and sent off,
// a worker asked for, then everyone mining again.
std::function<void()> fixedOrders() {
    return [given = -1]() mutable {
        const int turn = lockstep.currentTurn;
        if (turn == given) return;
        given = turn;
        for (Command& c : headless::economyOrders(turn, LOCAL_ID)) lockstep.pendingCommands.push_back(std::move(c));
        if (turn != CLICK_TURN) return;
        const Player& local = *getPlayerById(LOCAL_ID);
        Mouse::click(Mouse::pointOn(firstWorkerOf(LOCAL_ID)));
        const SDL_FPoint target = Mouse::pointOnTile({local.baseTile.x - 2, local.baseTile.y - 2});
        Mouse::send(SDL_MOUSEMOTION, 0, target);
        Mouse::click(target, SDL_BUTTON_RIGHT);
    };
}

// The in-game menu's Quit, served by the next frame of the match or the editor.
void quitToMenus() {
    pendingShutdown = true;
    if (gameState == GameState::MapEditor)
        map_editor_loop();
    else
        game_loop();
    ASSERT_EQ(gameState, GameState::Menus);
    menuFrames(2);
}

bool turnReached(int turn) { return lockstep.currentTurn >= turn; }

struct Rematch : DrawnSessionTest {
    uint16_t savedTcp = netTcpPort;
    PointerView (*savedPointer)() = readPointerView;
    uint32_t (*savedTicks)() = inputTicks;

    void SetUp() override {
        DrawnSessionTest::SetUp();
        std::filesystem::copy_file(std::string(CORVALE_SOURCE_DIR) + "/maps/ashen_outpost.map",
                                   root.path / "maps/ashen_outpost.map");
        extractionSaveFolder = root.path.string() + "/saves/extraction/";
        Player::aiId = COMPUTER_ID;
        Player::environmentId = 404;
        // The frames here draw nothing, so the fog would never see the player's own units to be clicked.
        FOG = false;
        installHooks(HookStage::StartUp);
        readPointerView = [] { return match_mouse::pointerView; };
        inputTicks = frameClockMs;
        seatAloneAtTheMenus();
    }
    void TearDown() override {
        leaveMenusAndLobby();
        readPointerView = savedPointer;
        inputTicks = savedTicks;
        netTcpPort = savedTcp;
        replaySpeed = 1;
        replayPaused = false;
        MODS = false;
        DrawnSessionTest::TearDown();
        forgetDeployedMission();
        reloadRepositoryContent();
    }

    // The fixed match, from the lobby to the in-game menu's Quit: its checksums and its log.
    Played playFixedMatch() {
        Played played;
        [&] {
            mainMenu.switch_to_page(MenuPage::MainPage);
            ASSERT_NO_FATAL_FAILURE(hostAgainstTheComputer("rush"));
            played.logName = replay_file_name;
            played.sums = runFrames(MATCH_TURNS * 2, 20.0, [] { return turnReached(MATCH_TURNS); }, fixedOrders());
            ASSERT_NO_FATAL_FAILURE(quitToMenus());
            played.log = readWholeFile(root.path / "replays" / played.logName);
        }();
        return played;
    }
};

// ---- The sessions a player may have played before ----

void anotherMapWithOtherRaces() {
    players.clear();
    spawnPlayer();
    players.front()->race = "vohmathal";
    headless::addPlayer(OTHER_ID, "Rival", "human", true);
    mode = GameMode::Skirmish;
    ASSERT_TRUE(startGame(true, true, "ashen_outpost", false));
    SessionTest::runFrames(400, 20.0, [] { return turnReached(200); }, SessionTest::giveEconomyOrders);
    quitToMenus();
}

// A lake in the middle of the fight map: a map of the same size whose ground differs.
void writeLakeMap() {
    std::istringstream in(readWholeFile(std::string(CORVALE_SOURCE_DIR) + "/maps/fight.map"));
    std::ostringstream out;
    std::string line;
    for (int row = 0; std::getline(in, line); ++row) {
        if (row >= 20 && row < 44 && line.size() >= 44 && line[0] != '[') line.replace(20, 24, 24, 'W');
        out << line << "\n";
    }
    std::ofstream(std::filesystem::path(basePath) / "maps/fight_lake.map") << out.str();
}

// Workers sent round the lake to the far corner, so paths and regions are made for that ground.
void matchOnALakeOfTheSameSize() {
    writeLakeMap();
    SessionTest::seatPlayers();
    mode = GameMode::Skirmish;
    ASSERT_TRUE(startGame(true, true, "fight_lake", false));
    ASSERT_EQ(grid.at(32, 32).type, Tile::Water);
    SessionTest::runFrames(400, 20.0, [] { return turnReached(10); });
    for (int id : {LOCAL_ID, OTHER_ID})
        lockstep.collectCommand(Command{CommandType::Move, id, MoveCommand{headless::unitsOf(id), 32 * SUBDIVISIONS,
                                                                          54 * SUBDIVISIONS, false}});
    SessionTest::runFrames(400, 20.0, [] { return turnReached(200); });
    quitToMenus();
}

// A match against the computer until the loser's buildings fall; the result dialog's Quit.
void decidedMatch(int loser) {
    ASSERT_NO_FATAL_FAILURE(hostAgainstTheComputer());
    SessionTest::runFrames(200, 20.0, [] { return turnReached(80); }, fixedOrders());
    for (Building& b : buildings)
        if (b.playerId == loser) b.hp = 0.0f;
    SessionTest::runFrames(20, 20.0, [] { return victoryPlayerId != -1; });
    ASSERT_TRUE(game_over_modal.isVisible());
    const SDL_FRect r = game_over_modal.rect;
    ASSERT_TRUE(game_over_modal.handleEvent(press(r.x + 150.0f, r.y + 135.0f)));  // Quit
    game_loop();
    ASSERT_EQ(gameState, GameState::Menus);
    menuFrames(2);
}

void wonMatch() { decidedMatch(COMPUTER_ID); }
void lostMatch() { decidedMatch(LOCAL_ID); }

// Left between two turns, with orders waiting for the next one.
void leftMidTurn() {
    ASSERT_NO_FATAL_FAILURE(hostAgainstTheComputer());
    SessionTest::runFrames(200, 20.0, [] { return turnReached(45); }, fixedOrders());
    SessionTest::runFrames(1, 7.0, [] { return false; });
    ASSERT_GT(lockstep.accumulator, 0.0f);
    for (Command& c : headless::economyOrders(0, LOCAL_ID)) lockstep.collectCommand(std::move(c));
    ASSERT_FALSE(lockstep.pendingCommands.empty());
    quitToMenus();
}

void leftWhilePaused() {
    ASSERT_NO_FATAL_FAILURE(hostAgainstTheComputer());
    SessionTest::runFrames(200, 20.0, [] { return turnReached(40); }, fixedOrders());
    lockstep.collectCommand(Command{CommandType::PauseGame, LOCAL_ID, PauseGameCommand{lockstep.currentTurn}});
    SessionTest::runFrames(20, 20.0, [] { return paused; });
    ASSERT_TRUE(paused);
    SessionTest::runFrames(5, 20.0, [] { return false; });
    quitToMenus();
}

// What a player may have under way when the match ends: a key held, an order or a building armed, a line typed.
void holdShift() {
    SDL_Event shiftDown = keyEvent(SDLK_LSHIFT);
    SDL_PushEvent(&shiftDown);
    eventHandler.handleGameEvents(grid);
}

void armAttackMove() {
    Mouse::click(Mouse::pointOn(firstWorkerOf(LOCAL_ID)));
    Mouse::tapKey(SDLK_a);
}

void placeABuilding() {
    startPlacingBuilding(ghostBuildingType, ghostSprite, placingBuilding,
                         headless::supplyBuildingOf(getPlayerById(LOCAL_ID)->race));
    ASSERT_TRUE(placingBuilding);
}

void typeIntoTheChatLine() {
    Mouse::tapKey(SDLK_RETURN);
    SDL_Event word = typed("gg");
    SDL_PushEvent(&word);
    eventHandler.handleGameEvents(grid);
    ASSERT_TRUE(chatActive);
}

void storeAGroup() {
    Mouse::click(Mouse::pointOn(firstWorkerOf(LOCAL_ID)));
    holdShift();
    Mouse::tapKey(SDLK_1);
    ASSERT_FALSE(controlGroupManager.group(1).empty());
}

using Step = void (*)();

// A match against the computer left through the in-game menu with the steps' input under way.
void matchLeftWith(std::initializer_list<Step> steps) {
    ASSERT_NO_FATAL_FAILURE(hostAgainstTheComputer());
    SessionTest::runFrames(200, 20.0, [] { return turnReached(20); }, fixedOrders());
    for (Step step : steps) ASSERT_NO_FATAL_FAILURE(step());
    quitToMenus();
}

void leftWithInputUnderWay() { matchLeftWith({storeAGroup, armAttackMove, placeABuilding, typeIntoTheChatLine}); }

// The other peer of a LAN match keeps only its part of the exchange going; it plays no world of its own.
struct PeerWithoutWorld : TurnRunner {
    bool isPaused() const override { return false; }
    void apply(const Command&) override {}
    void tick() override {}
    void playerLeft(int) override {}
};

// A match hosted for another player on the network, who leaves in the middle of it.
void networkMatchTheOtherLeft() {
    NetworkManager other;
    LockstepManager otherTurns;
    PeerWithoutWorld otherWorld;
    SessionTest::seatPlayers();
    net.isHost = true;
    net.bindConnection(joinInMemory(net, other), OTHER_ID);
    mode = GameMode::Skirmish;
    ASSERT_TRUE(startGame(true, true, "fight", false));
    const auto otherFrame = [&] { otherTurns.step(0.02f, 0, OTHER_ID, {LOCAL_ID, OTHER_ID}, other, otherWorld); };
    SessionTest::runFrames(400, 20.0, [] { return turnReached(100); }, otherFrame);
    ASSERT_EQ(lockstep.currentTurn, 100) << "the turns came from both peers";
    other.closeTcp();
    SessionTest::runFrames(40, 20.0, [] { return false; });
    ASSERT_FALSE(lockstep.leftPlayers.empty());
    quitToMenus();
}

void matchWithMods() {
    MODS = true;
    ASSERT_NO_FATAL_FAILURE(hostAgainstTheComputer());
    ASSERT_NE(modManager.L, nullptr);
    SessionTest::runFrames(400, 20.0, [] { return turnReached(200); }, fixedOrders());
    quitToMenus();
    // The player turns mods off again before the next match.
    MODS = false;
}

// Tiles painted and a map object removed in the editor, left without saving.
void editorLeftUnsaved() {
    mainMenu.switch_to_page(MenuPage::MapEditorPage);
    menuFrames(1);
    MapEditorPage& page = shown<MapEditorPage>();
    page.chosenMap = "fight";
    ASSERT_TRUE(page.openChosenMap());
    for (int x = 10; x < 20; ++x) grid.at(x, 10).type = Tile::Water;
    ASSERT_FALSE(mapObjects.empty());
    mapObjectsToRemove.push_back(mapObjects.front().id);
    processMapObjectsRemovals(grid);
    map_editor_loop();
    quitToMenus();
}

// Two Marines deployed against one Berserker on the shipped outpost, through the deploy and the mission start the
// loading page makes.
void deployMission() {
    const UnitSaveData marine{"Marine", "Jax", 1, 0, 0, true};
    extraction_filename = "rematch.bin";
    shipRoster = {marine};
    activeDeploymentRoster.assign(2, marine);
    extraction_options.assign(1, ExtractionNode(static_cast<int32_t>(ExtractionType::ELIMINATION)));
    extraction_options[0].path = std::string(CORVALE_SOURCE_DIR) + "/core/data/extractions/ashen_outpost.json";
    extraction_options[0].enemyRace = "vohmathal";
    extraction_options[0].danger = 25;  // one Berserker
    deploymentSelectedMapId = 0;
    ASSERT_TRUE(deployChosenMission());
    ASSERT_TRUE(start_extraction(true, true, currentMap, false));
    ASSERT_EQ(mode, GameMode::Extraction);
}

// Left in the middle of the fight.
void extractionMission() {
    ASSERT_NO_FATAL_FAILURE(deployMission());
    SessionTest::runFrames(300, 20.0, [] { return turnReached(250); });
    quitToMenus();
}

// The replays page with the named log chosen and played; the viewer's pause, carried over from the last replay,
// taken off.
void playReplay(const std::string& name) {
    mainMenu.switch_to_page(MenuPage::ReplaysPage);
    menuFrames(1);
    ReplaysPage& page = shown<ReplaysPage>();
    page.chosenReplay = name;
    ASSERT_TRUE(page.play());
    if (replayPaused) Mouse::tapKey(SDLK_p);
}

std::filesystem::path firstLog() {
    const std::filesystem::path replays = std::filesystem::path(basePath) / "replays";
    std::vector<std::filesystem::path> logs;
    for (const auto& entry : std::filesystem::directory_iterator(replays))
        if (entry.path().filename().string().rfind("replay_", 0) == 0) logs.push_back(entry.path());
    // Named by the time they were made, the same second's later ones with a suffix after the seconds.
    std::sort(logs.begin(), logs.end());
    return logs.front();
}

// A log played at speed 4 to its middle, paused there.
void replayHalfPlayed() {
    ASSERT_NO_FATAL_FAILURE(playReplay(firstLog().filename().string()));
    replaySpeed = 4;
    SessionTest::runFrames(400, 20.0, [] { return turnReached(MATCH_TURNS / 2); });
    Mouse::tapKey(SDLK_p);
    ASSERT_TRUE(replayPaused);
    quitToMenus();
}

// A log played to its middle, then sought back to its start by a click on the left end of the bar and played on.
void replaySoughtBack() {
    ASSERT_NO_FATAL_FAILURE(playReplay(firstLog().filename().string()));
    SessionTest::runFrames(400, 20.0, [] { return turnReached(MATCH_TURNS / 2); });
    Mouse::click({static_cast<float>(replay_bar.x), static_cast<float>(replay_bar.y + replay_bar.h / 2)});
    ASSERT_EQ(lockstep.currentTurn, 0);
    Mouse::tapKey(SDLK_p);
    SessionTest::runFrames(40, 20.0, [] { return false; });
    quitToMenus();
}

// A log whose header names another speed of play, of units and of mining, with fog and mods on: its replay plays
// under that configuration, which must not outlive it.
void replayUnderAnotherConfiguration() {
    const std::string log = readWholeFile(firstLog());
    nlohmann::json header = nlohmann::json::parse(log.substr(0, log.find('\n')));
    header["GAME_SPEED"] = 2.0;
    header["UNIT_SPEED"] = 120.0;
    header["GOLD_MINING_TIME"] = 1.0;
    header["FOG"] = true;
    header["MODS"] = true;
    std::ofstream(std::filesystem::path(basePath) / "replays/other_configuration.bin")
        << header.dump() << log.substr(log.find('\n'));
    ASSERT_NO_FATAL_FAILURE(playReplay("other_configuration.bin"));
    ASSERT_EQ(GAME_SPEED, 2.0f);
    SessionTest::runFrames(100, 20.0, [] { return false; });
    quitToMenus();
}

// The log of the first fixed match copied under saves/ and resumed, as the load dialog starts it.
void resumeTheFirstMatch() {
    std::filesystem::create_directories(std::filesystem::path(basePath) / "saves");
    std::filesystem::copy_file(firstLog(), std::filesystem::path(basePath) / "saves/rematch.bin",
                               std::filesystem::copy_options::overwrite_existing);
    load_game_filename = "rematch.bin";
    mode = GameMode::ResumedSave;
    ASSERT_TRUE(startGame(true, true, currentMap, false));
}

// Caught up and played on live for a while.
void saveResumed() {
    ASSERT_NO_FATAL_FAILURE(resumeTheFirstMatch());
    SessionTest::runFrames(4000, 20.0, [] { return mode != GameMode::ResumedSave; });
    ASSERT_EQ(mode, GameMode::Skirmish);
    SessionTest::runFrames(60, 20.0, [] { return false; });
    quitToMenus();
}

// Left while it was still catching up.
void saveLeftCatchingUp() {
    ASSERT_NO_FATAL_FAILURE(resumeTheFirstMatch());
    // A frame catches up for as long as the frame cap allows: here no time at all, so one turn.
    const float keptFps = targetFps;
    targetFps = 1.0e10f;
    SessionTest::runFrames(2, 20.0, [] { return false; });
    targetFps = keptFps;
    ASSERT_EQ(mode, GameMode::ResumedSave);
    ASSERT_GT(lockstep.currentTurn, 0);
    quitToMenus();
}

struct PreviousSession {
    const char* name;
    void (*play)();
};

const PreviousSession previousSessions[] = {
    {"a skirmish on another map with other races", anotherMapWithOtherRaces},
    {"a match on another map of the same size", matchOnALakeOfTheSameSize},
    {"a match won", wonMatch},
    {"a match lost", lostMatch},
    {"a match left between two turns", leftMidTurn},
    {"a match left while paused", leftWhilePaused},
    {"a match left with input under way", leftWithInputUnderWay},
    {"a network match the other player left", networkMatchTheOtherLeft},
    {"a match with mods", matchWithMods},
    {"the editor left unsaved", editorLeftUnsaved},
    {"an Extraction mission", extractionMission},
    {"a replay half played at speed 4", replayHalfPlayed},
    {"a replay sought back to its start", replaySoughtBack},
    {"a replay recorded under another configuration", replayUnderAnotherConfiguration},
    {"a saved game resumed", saveResumed},
    {"a saved game left while catching up", saveLeftCatchingUp},
};

void expectSameMatch(const Played& first, const Played& again) {
    ASSERT_EQ(again.sums.size(), first.sums.size());
    for (const auto& [turn, sum] : first.sums) {
        ASSERT_TRUE(again.sums.count(turn)) << "turn " << turn;
        ASSERT_EQ(again.sums.at(turn), sum) << "turn " << turn;
    }
    EXPECT_EQ(again.log, first.log);
}

TEST_F(Rematch, AMatchAgainstTheComputerPlaysAlikeAfterEveryOtherKindOfSession) {
    const Played first = playFixedMatch();
    ASSERT_EQ(first.sums.rbegin()->first, MATCH_TURNS);
    ASSERT_NE(first.log.find("\"type\":0"), std::string::npos) << "the right click's move is in the log";
    const std::size_t files = openFiles();
    // The first round may fill the caches of what the sessions show; the second must find everything there.
    int allocations[2] = {0, 0};
    for (int& afterRound : allocations) {
        for (const PreviousSession& previous : previousSessions) {
            SCOPED_TRACE(previous.name);
            ASSERT_NO_FATAL_FAILURE(previous.play());
            const Played again = playFixedMatch();
            expectSameMatch(first, again);
            EXPECT_EQ(openFiles(), files) << "no file or socket is left open";
        }
        afterRound = allocationsBesideCachedTexts();
    }
    EXPECT_EQ(allocations[1], allocations[0]) << "nothing made for a session outlives it";
}

TEST_F(Rematch, TheLogOfAMatchPlayedAfterAnotherReplaysToItsOwnWorlds) {
    ASSERT_NO_FATAL_FAILURE(wonMatch());
    const Played second = playFixedMatch();
    ASSERT_FALSE(second.log.empty());
    mainMenu.switch_to_page(MenuPage::ReplaysPage);
    menuFrames(1);
    ReplaysPage& page = shown<ReplaysPage>();
    page.chosenReplay = second.logName;
    ASSERT_TRUE(page.play());
    int reached = 0;
    const ChecksumsByTurn replayed =
        runFrames(MATCH_TURNS * 4, 20.0, [] { return false; }, [&] { reached = lockstep.currentTurn; });
    EXPECT_EQ(gameState, GameState::Menus);
    EXPECT_EQ(reached, MATCH_TURNS) << "the replay plays to the match's last turn";
    for (const auto& [turn, sum] : replayed) {
        ASSERT_TRUE(second.sums.count(turn)) << "turn " << turn;
        ASSERT_EQ(sum, second.sums.at(turn)) << "turn " << turn;
    }
}

// The next match's first orders by mouse and key come out as in a fresh run, whatever was under way when the last
// match ended.
TEST_F(Rematch, InputUnderWayWhenAMatchEndsActsNotInTheNext) {
    const struct {
        const char* name;
        Step arm;
    } cases[] = {
        {"Shift held", holdShift},
        {"attack-move armed", armAttackMove},
        {"a building being placed", placeABuilding},
        {"the chat line open", typeIntoTheChatLine},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(matchLeftWith({c.arm}));
        mainMenu.switch_to_page(MenuPage::MainPage);
        ASSERT_NO_FATAL_FAILURE(hostAgainstTheComputer());
        SessionTest::runFrames(20, 20.0, [] { return turnReached(5); });
        const int worker = firstWorkerOf(LOCAL_ID);
        Mouse::click(Mouse::pointOn(worker));
        Mouse::tapKey(SDLK_h);
        const Player& local = *getPlayerById(LOCAL_ID);
        const SDL_FPoint target = Mouse::pointOnTile({local.baseTile.x - 2, local.baseTile.y - 2});
        Mouse::send(SDL_MOUSEMOTION, 0, target);
        Mouse::click(target, SDL_BUTTON_RIGHT);
        EXPECT_EQ(Mouse::queuedTypes(), (std::vector<CommandType>{CommandType::Hold, CommandType::Move}));
        const MoveCommand* move = lockstep.pendingCommands.empty()
                                      ? nullptr
                                      : std::get_if<MoveCommand>(&lockstep.pendingCommands.back().payload);
        EXPECT_TRUE(move && move->unitIds == std::vector<int>{worker} && !move->shiftHeld)
            << "the worker alone moves, not queued behind its order";
        EXPECT_FALSE(chatActive);
        EXPECT_FALSE(placingBuilding);
        quitToMenus();
    }
}

// A mission opens with the view zooming from 1.7 to 1.0 over its first second. Left before that second is out, the
// next match starts where the opening would have ended; the player's own zoom by the wheel carries over.
TEST_F(Rematch, AMissionLeftDuringItsOpeningZoomLeavesTheNextMatchTheZoomTheOpeningEndsOn) {
    const struct {
        const char* name;
        int frames;  // of 20 ms
        int wheelSteps;
        float nextZoom;
    } cases[] = {
        {"a tenth of a second in", 5, 0, 1.0f},
        {"a frame short of the second", 49, 0, 1.0f},
        {"the opening over, zoomed in by the wheel", 60, 1, 1.1f},
        {"a tenth of a second in, zoomed out by the wheel", 5, -1, 1.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(deployMission());
        SessionTest::runFrames(c.frames, 20.0, [] { return false; });
        if (c.wheelSteps != 0) {
            SDL_Event wheel{};
            wheel.type = SDL_MOUSEWHEEL;
            wheel.wheel.y = c.wheelSteps;
            SDL_PushEvent(&wheel);
            game_loop();
        }
        if (c.frames < 50) {
            ASSERT_GT(camera.zoom, 1.0f) << "the opening is under way";
        }
        quitToMenus();
        mainMenu.switch_to_page(MenuPage::MainPage);
        ASSERT_NO_FATAL_FAILURE(hostAgainstTheComputer());
        EXPECT_FLOAT_EQ(camera.zoom, c.nextZoom);
        quitToMenus();
        camera.zoom = 1.0f;
    }
}

}  // namespace
