// Session life: the engine hooks of every stage, building a session's world from its map, the session starters of every mode,
// the resumed-save road and the tear-down that returns to the menus.
#include "game_session.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "buildings.h"
#include "config.h"
#include "control_groups.h"
#include "decorations.h"
#include "ai.h"
#include "effect_grid.h"
#include "events_iso.h"
#include "extraction_campaign.h"
#include "extraction_items.h"
#include "extraction_missions.h"
#include "extraction_roster.h"
#include "extraction_rules.h"
#include "fog.h"
#include "game.h"
#include "game_loop.h"
#include "game_replay.h"
#include "game_state.h"
#include "hotkeys.h"
#include "hud.h"
#include "lockstep.h"
#include "map.h"
#include "map_objects.h"
#include "minimap.h"
#include "missions.h"
#include "mod_manager.h"
#include "network_manager_lobby.h"
#include "player.h"
#include "races.h"
#include "renderer_iso_entities.h"
#include "sdl.h"
#include "sdl_draw.h"
#include "sounds.h"
#include "sprites.h"
#include "textures.h"
#include "units.h"

void (*DrawHUD)() = nullptr;
void (*CreateObjects)(const std::vector<PendingObj>&, Grid&) = nullptr;
void (*MoveCamera)(float) = nullptr;
void (*HandleZoom)(const SDL_Event&) = nullptr;
void (*MoveCameraToTheBase)() = nullptr;
std::function<void(Grid&)> HandleEvents;
std::string lobbyStartFailure;

void (*PlaceExtractionMission)(Grid&, V2i) = placeExtractionMission;

namespace {

// A saved game is read whole; anything larger is not one of ours.
constexpr std::uintmax_t MAX_SAVE_BYTES = std::uintmax_t{1} << 30;

void resetLockstep() {
    lockstep = LockstepManager{};
    replayTurnIndex = 0;
}

// The session flags and the clock of a session that starts now.
void resetSessionClock(bool host, bool replay) {
    resetLockstep();
    paused = false;
    isHost = host;
    isReplay = replay;
    resetFrameClock();
    // Every clock of a match starts with it, on every peer alike.
    gameTime = 0.0f;
    gameTimeSeconds = 0.0f;
    introZoomTimer = 0.0f;
}

void resetCamera() {
    const SDL_FPoint size = windowSize();
    camera.x = camera.y = 0.0f;
    camera.w = size.x;
    camera.h = size.y;
    camera.centerX = camera.w / 2;
    camera.centerY = camera.h / 2;
}

// The log this start opened, closed and removed again when the session does not start after all.
void discardFreshLog() {
    const bool opened = commandLog.is_open();
    closeCommandLog();
    if (!opened) return;
    std::error_code ignored;
    std::filesystem::remove(basePath + "replays/" + replay_file_name, ignored);
}

// The editor switches fog off for its session; the setting comes back when the session ends, and no tool, prompt
// or palette of the editor outlives it.
std::optional<bool> fogBeforeEditor;

void leaveEditor() {
    if (!fogBeforeEditor) return;
    FOG = *fogBeforeEditor;
    fogBeforeEditor.reset();
    resetEditorInput();
}

// The run's own ids while a recorded header has replaced them.
struct RunSeats {
    int local;
    int computer;
};
std::optional<RunSeats> runSeats;
// A lobby member's own mods setting while it plays with the host's.
std::optional<bool> runMods;

// Gives the run back its own seats and mods setting after a session that borrowed the host's or a header's.
void restoreRunSettings() {
    if (runMods) MODS = *std::exchange(runMods, std::nullopt);
    if (!runSeats) return;
    Player::myStaticId = runSeats->local;
    Player::aiId = runSeats->computer;
    runSeats.reset();
}

// A session's map sets the map size; the next session's log header, written before its own map loads, must name
// what a fresh run names, not the last map's size.
std::optional<V2i> mapSizeBeforeSession;

void keepMapSize() {
    if (!mapSizeBeforeSession) mapSizeBeforeSession = V2i{MAP_W, MAP_H};
}

void restoreMapSize() {
    if (!mapSizeBeforeSession) return;
    MAP_W = mapSizeBeforeSession->x;
    MAP_H = mapSizeBeforeSession->y;
    mapSizeBeforeSession.reset();
}

}  // namespace

void abandonStart() {
    // The script may already run: the next session must not inherit it.
    modManager.shutdown();
    leaveEditor();
    discardFreshLog();
    reset_game_state();
    restoreMapSize();
    restoreConfigurationAfterReplay();
    restoreRunSettings();
    spawnPlayer();
    gameState = GameState::Menus;
}

namespace {

// The world of the session's map, or false with one line naming the map and the fault.
bool buildSessionWorld(const std::string& mapName) {
    keepMapSize();
    try {
        initialize_engine(mapName);
        load_map_and_static_world();
        return true;
    } catch (const std::exception& e) {
        std::cerr << "Cannot start on map \"" << (mapName.empty() ? MAP_FILE : mapName) << "\": " << e.what()
                  << "\n";
        return false;
    }
}

bool readSave(const std::filesystem::path& file, std::string& bytes) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec || size > MAX_SAVE_BYTES) return false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// The bytes of the header line and of the first recordLines non-blank record lines: what a load kept.
std::size_t keptLength(const std::string& bytes, std::size_t recordLines) {
    std::size_t at = bytes.find('\n');
    if (at == std::string::npos) return bytes.size();
    ++at;
    while (recordLines > 0 && at < bytes.size()) {
        std::size_t end = bytes.find('\n', at);
        end = end == std::string::npos ? bytes.size() : end + 1;
        const std::string line = bytes.substr(at, end - at);
        if (line.find_first_not_of(" \t\r\n") != std::string::npos) --recordLines;
        at = end;
    }
    return at;
}

std::size_t recordsIn(const std::vector<Turn>& turns) {
    std::size_t n = 0;
    for (const Turn& t : turns) n += t.commands.size();
    return n;
}

// A fresh log under "replays/" that starts with the given bytes, ending in a line end. When it cannot be opened
// the session goes on without a log.
void openLogWith(const std::string& start) {
    closeCommandLog();
    if (!openFreshCommandLog()) return;
    commandLog << start;
    if (!start.empty() && start.back() != '\n') commandLog << '\n';
    commandLog.flush();
}

// The local player's last-listed building, where an Extraction roster lands.
const Building* localBase() {
    const Player* local = getPlayerById(Player::myStaticId);
    if (!local || local->buildingIds.empty()) return nullptr;
    return getBuildingById(local->buildingIds.back());
}

void installMenuHooks() {
    UpdateLobbyNetworking = updateLobbyNetworking;
    // The host starts as the host, so it alone speaks for the computer player. A start that fails ends the
    // lobby, which the others see as this peer leaving.
    StartLobbyMatch = [](bool host, const std::string& map) {
        mode = GameMode::Skirmish;
        // A member plays against the host's computer player, whose id the host drew; the run's own comes back
        // when the session ends.
        if (!host) {
            keepRunSeats();
            adoptRecordedComputer();
            // Every peer runs the script or none does, or the first thing it does parts the worlds.
            runMods = MODS;
            MODS = lobbyState.hostMods;
        }
        if (startGame(host, players.size() <= 1, map, false)) return;
        lobbyStartFailure = lobbyStartFailureLine(map);
        endLobbyMatch();
    };
}

void installCampaignHooks() {
    combatHooks.grantUnitExp = grantUnitExp;
    combatHooks.dropItem = [](Unit& dead) {
        if (!hardcore) drop_item(dead);
    };
    combatHooks.spawnCorpseItemOnUnitLoss = spawn_corpse_item_on_unit_loss;
    combatHooks.dropCarriedItems = dropCarriedItems;
    unitHooks.randomNickname = [] { return std::string(getRandomNickname()); };
    unitHooks.itemOnMap = itemOnGround;
    unitHooks.takeItem = takeItem;
    ShowExtractPanel = showExtractPanel;
}

// What builds a map's world and steps over its ground, and the camera's move onto the local base.
void installWorldHooks() {
    CreateObjects = createObjects;
    Neighbors = neighbors8;
    MoveCameraToTheBase = moveCameraToTheBaseIso;
}

// What a match and the editor share: the world, the camera, the in-game dialogs and the mods.
void installSessionHooks() {
    installWorldHooks();
    AnnounceMatchResult = announceMatchResult;
    showScenarioObjectives = ingame_menu::showScenarioObjectives;
    showSaveGame = ingame_menu::showSaveGame;
    showLoadGame = ingame_menu::showLoadGame;
    showOptions = ingame_menu::showOptions;
    MoveCamera = moveCameraIso;
    HandleZoom = handleZoomIso;
    selectModHooks(MODS);
}

void installMatchHooks() {
    installSessionHooks();
    DrawFog = FOG ? drawFog : noopFog;
    TakeSight = FOG ? takeSight : noopSight;
    DrawHUD = drawHUD;
    HandleEvents = [](Grid& g) { eventHandler.handleGameEvents(g); };
}

// The editor shows the whole map whatever the fog setting.
void installEditorHooks() {
    installSessionHooks();
    DrawFog = noopFog;
    TakeSight = noopSight;
    DrawHUD = editorHUD;
    HandleEvents = [](Grid& g) { eventHandler.handleEditorEvents(g); };
}

// A world without a window draws only in a scene, with the fog the setting asks for; its turns take no sight, the
// scene takes it when it draws. It runs the mod script when the setting asks for it.
void installHeadlessHooks() {
    installWorldHooks();
    DrawFog = FOG ? drawFog : noopFog;
    TakeSight = noopSight;
    selectModHooks(MODS);
}

}  // namespace

void installHooks(HookStage stage) {
    switch (stage) {
    case HookStage::Menus: return installMenuHooks();
    case HookStage::StartUp: return installCampaignHooks();
    case HookStage::Match: return installMatchHooks();
    case HookStage::Editor: return installEditorHooks();
    case HookStage::Headless: return installHeadlessHooks();
    }
}

void initialize_engine(const std::string& mapName) {
    installHooks(mode == GameMode::MapEditor ? HookStage::Editor : HookStage::Match);
    initHotkeys();
    const std::string name = mapName.empty() ? MAP_FILE : mapName;
    // The name may come from a peer or a saved game: it must stay inside the maps folder.
    if (!Utils::isPlainFileName(name)) throw std::runtime_error("not a plain map name");
    mapData = loadMapFromFile(basePath + "maps/" + name + ".map");
    init_replay_bar();
    initTooltips();
    initMenuButton();
    initGameMenu();
    loadTextures();
    loadSprites();
    InitMod(grid);
    resetCamera();
    playRandomBackgroundMusic();
}

// The local player's view of a new world: vision and memory grids, fog layers, remembered ghosts and the minimap.
void prepareSessionView() {
    initVisionGrid(MAP_W, MAP_H);
    resetFogOfWar(MAP_W, MAP_H);
    ghostBuildings.clear();
    ghostObjects.clear();
    forgetEntityLooks();
    initFogTextures();
    initMinimap(grid);
    buildMinimapTerrain(grid);
}

void buildStaticWorld() {
    grid = buildGrid();
    sizeWorldGrids();
    resetMiningOccupancy();
    CreateObjects(mapData.pendingObjects, grid);
    createDecorations(mapData.pendingDecorations, grid);
}

void load_map_and_static_world() {
    buildStaticWorld();
    prepareSessionView();
    MoveCameraToTheBase();
    restartObjectives(currentMission);
    initMissionUnits();
    // The first frame, drawn before any turn, shows what the starting units see.
    TakeSight();
}

void spawnPlayer() {
    if (!races.empty()) {
        auto local = std::make_unique<Player>(Player::myStaticId, "Joes", "human", false);
        local->teamPalette = teamIds;
        playerToTeamPalette[Player::myStaticId] = teamIds;
        ++teamIds;
        players.push_back(std::move(local));
    }
    playerToTeamPalette.emplace(Player::myStaticId, 0);
}

bool startGame(bool host, bool, const std::string& mapName, bool replay) {
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    seedSessionGenerators();
    std::string map = mapName;
    if (mode == GameMode::Skirmish || mode == GameMode::Extraction) setup_command_log_for_writing(map);
    if (mode == GameMode::ResumedSave) {
        if (!load_replay_into_commands()) {
            abandonStart();
            return false;
        }
        // The saved session's own map, whatever the caller named.
        map = currentMap;
    }
    if (mode == GameMode::ResumedSave || mode == GameMode::Replay) adoptRecordedComputer();
    if (!buildSessionWorld(map)) {
        abandonStart();
        return false;
    }
    currentMap = map;
    // One peer speaks for the computer player, or its orders would travel twice.
    if (host) setUpComputerPlayer();
    resetSessionClock(host, replay);
    gameState = GameState::Match;
    return true;
}

bool start_extraction(bool host, bool, const std::string& mapName, bool replay) {
    seedSessionGenerators();
    setup_command_log_for_writing(mapName);
    if (!buildSessionWorld(mapName)) {
        abandonStart();
        return false;
    }
    currentMap = mapName;
    const Building* base = localBase();
    if (!base) {
        std::cerr << "Cannot start the mission: the map gives the local player no base\n";
        abandonStart();
        return false;
    }
    resetSessionClock(host, replay);
    if (PlaceExtractionMission) PlaceExtractionMission(grid, V2i{base->x + 3, base->y + 3});
    gameState = GameState::Match;
    return true;
}

bool start_map_editor(const std::string& mapName) {
    mode = GameMode::MapEditor;
    fogBeforeEditor = FOG;
    FOG = false;
    seedSessionGenerators();
    if (!buildSessionWorld(mapName)) {
        abandonStart();
        return false;
    }
    currentMap = mapName;
    resetSessionClock(true, false);
    gameState = GameState::MapEditor;
    return true;
}

bool load_replay_into_commands() {
    std::string bytes;
    const bool readable = Utils::isPlainFileName(load_game_filename) &&
                          readSave(basePath + "saves/" + load_game_filename, bytes);
    if (!readable) {
        std::cerr << "Cannot proceed, replay file not loaded!\n";
        return false;
    }
    keepRunSeats();
    // The header alone first: a save whose header is unusable starts nothing.
    std::istringstream header(bytes.substr(0, bytes.find('\n')));
    if (!loadReplay(header)) return false;
    std::istringstream whole(bytes);
    const bool complete = loadReplay(whole);
    // Byte for byte; a save cut short is copied up to its last whole turn, so the resumed play is appended after
    // records a reader can still follow.
    const std::size_t kept = complete ? bytes.size() : keptLength(bytes, recordsIn(replayTurns));
    openLogWith(bytes.substr(0, kept));
    currentMap = MAP_FILE;
    return true;
}

// Why a save cannot be resumed: the line for the error stream and the words for the dialog.
struct Refusal {
    std::string error;
    std::string reason;
};

// Nothing when the map file a save names reads as a map and is the map it was played on. Saves written before the
// fingerprint was recorded, or of a map that could not be read then, carry none and are taken on trust.
static std::optional<Refusal> savedMapRefusal(const std::string& mapName, const std::string& mapPrint) {
    try {
        readMapFile(basePath + "maps/" + mapName + ".map");
    } catch (const std::exception& e) {
        return Refusal{"its map \"" + mapName + "\" cannot be used: " + e.what(), "its map cannot be used"};
    }
    if (!mapPrint.empty() && mapPrint != mapFingerprint(mapName))
        return Refusal{"its map \"" + mapName + "\" has changed since the game was saved",
                       "its map has changed since it was saved"};
    return std::nullopt;
}

// A side whose race is not loaded here would start with no base and no workers, and the match would be decided
// on its first frame.
static std::optional<Refusal> missingRaceRefusal(const std::vector<std::string>& recordedRaces) {
    for (const std::string& race : recordedRaces)
        if (!races.count(race))
            return Refusal{"its race \"" + race + "\" is not among the races loaded",
                           "a race it was played with is missing"};
    return std::nullopt;
}

// The world a header records, as far as this run can build it again: its map, then its players' races.
static std::optional<Refusal> recordedWorldRefusal(const RecordedWorld& recorded) {
    if (auto refusal = savedMapRefusal(recorded.mapName, recorded.mapPrint)) return refusal;
    return missingRaceRefusal(recorded.races);
}

bool saveCanResume(const std::string& name, std::string* why) {
    std::string bytes;
    RecordedWorld recorded;
    std::string error;
    Refusal refusal;
    if (name.empty())
        refusal = {"no saved game is chosen", "no saved game is chosen"};
    else if (!Utils::isPlainFileName(name))
        refusal = {"the name leaves the saves folder", "the name leaves the saves folder"};
    else if (!readSave(basePath + "saves/" + name, bytes))
        refusal = {"the file cannot be read", "the file cannot be read"};
    else if (!replayHeaderUsable(bytes.substr(0, bytes.find('\n')), recorded, error))
        refusal = {"its header is unusable: " + error, "it is not a saved game"};
    else if (const auto worldRefusal = recordedWorldRefusal(recorded))
        refusal = *worldRefusal;
    else
        return true;
    std::cerr << "Cannot load the saved game \"" << name << "\": " << refusal.error << "\n";
    if (why) *why = refusal.reason;
    return false;
}

std::string recordedWorldRefusal(const std::string& headerLine) {
    RecordedWorld recorded;
    std::string unusable;
    if (!replayHeaderUsable(headerLine, recorded, unusable)) return "";
    const auto refusal = recordedWorldRefusal(recorded);
    return refusal ? refusal->error : "";
}

void keepRunSeats() {
    if (!runSeats) runSeats = RunSeats{Player::myStaticId, Player::aiId};
}

void adoptRecordedComputer() {
    const auto computer =
        std::find_if(players.begin(), players.end(), [](const std::unique_ptr<Player>& p) { return p->isAI; });
    if (computer != players.end()) Player::aiId = (*computer)->id;
}


std::string playReachedRecord() {
    // Records of a turn not simulated (paused after its orders or a leave) already take the replay there, and a
    // record of an earlier tick after them would end the reading.
    if (!isLive(mode) || lockstep.currentTurn < 1 || lockstep.loggedTurn >= lockstep.currentTurn) return "";
    std::ostringstream record;
    appendCommandRecord(record, lockstep.currentTurn - 1, Command{CommandType::Ping, Player::myStaticId, PingCommand{}});
    return record.str();
}

void endSession() {
    if (commandLog.is_open()) commandLog << playReachedRecord() << std::flush;
    pendingShutdown = false;
    reset_game_state();
    resetMatchInput();
    restoreMapSize();
    restoreConfigurationAfterReplay();
    restoreRunSettings();
    leaveEditor();
    spawnPlayer();
    // A mission left during its opening zoom would hand the next session a view part way in: the zoom ends where
    // the opening takes it. The player's own zoom carries over.
    if (mode == GameMode::Extraction && introZoomTimer < 1.0f) camera.zoom = 1.0f;
    introZoomTimer = 0.0f;
    controlGroupManager.clearAll();
    modManager.shutdown();
    effectGrid.clear();
    clicks.clear();
    resetHUDSession();
    gameState = GameState::Menus;
    closeCommandLog();
    endLobbyMatch();
}
