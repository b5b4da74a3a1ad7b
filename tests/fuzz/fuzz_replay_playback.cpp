// A command log of arbitrary bytes played back as a replay, seeked back, and resumed as a saved game that catches up
// and goes live: none of it may crash, hang or grow without bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include <SDL2/SDL.h>

#include "../../tools/headless_session.h"
#include "buildings.h"
#include "config.h"
#include "game_loop.h"
#include "game_replay.h"
#include "game_session.h"
#include "game_state.h"
#include "hud.h"
#include "lockstep.h"
#include "map_objects.h"
#include "player.h"
#include "scratch_folder.h"
#include "units.h"

namespace {

// Frames of each session: a replay frame runs at most three ticks, a catch-up frame a few.
constexpr int REPLAY_FRAMES = 100;
constexpr int RESUMED_FRAMES = 60;
constexpr int LOCAL_ID = 101;

// A clock that moves 4 ms at every reading and by every wait, so a catch-up frame runs a few turns, not all.
uint64_t fakeNow = 1;
uint64_t fakeCounter() { return fakeNow += 4000000u; }
uint64_t fakeFrequency() { return 1000000000u; }
void fakeSleep(uint64_t ns) { fakeNow += ns; }

// The shipped configuration and content, and an asset root of our own holding the one map a log may name.
void prepareRun() {
    SDL_LogSetPriority(SDL_LOG_CATEGORY_APPLICATION, SDL_LOG_PRIORITY_CRITICAL);
    const std::string source = CORVALE_SOURCE_DIR;
    loadConfig(source + "/src/config.txt");
    deriveConfigValues();
    if (!headless::loadContent(source + "/core")) abort();
    namespace fs = std::filesystem;
    const fs::path root = scratchFolder();
    std::error_code ignored;
    for (const char* entry : {"core", "src"}) fs::create_symlink(source + "/" + entry, root / entry, ignored);
    fs::create_directories(root / "maps");
    fs::create_directories(root / "saves");
    fs::copy_file(source + "/maps/fight.map", root / "maps/fight.map", fs::copy_options::overwrite_existing);
    basePath = scratchFolder();
    frameClock = FrameClock{fakeCounter, fakeFrequency, fakeSleep};
    DrawMatchFrame = [](Grid&, float) {};
    DrawLoadProgress = [] {};
    Player::myStaticId = LOCAL_ID;
    players.clear();
    spawnPlayer();
    mode = GameMode::Skirmish;
    gameState = GameState::Menus;
    running = true;
}

void runFrames(int frames) {
    for (int i = 0; i < frames && gameState == GameState::Match; ++i) game_loop();
}

// The session over as a player leaves it, and the log a resumed save wrote gone. The world it leaves behind is
// empty and only the local player is seated, or many sessions of a run would pile up what each left.
void leaveSession() {
    if (gameState == GameState::Match) endSession();
    std::error_code ignored;
    std::filesystem::remove_all(basePath + "replays", ignored);
    if (!units.empty() || !buildings.empty() || !mapObjects.empty() || players.size() != 1) abort();
}

// As the replays page starts a chosen replay, then played, seeked back to its middle and played on.
void playAsReplay(const std::string& bytes) {
    if (!recordedWorldRefusal(bytes.substr(0, bytes.find('\n'))).empty()) return;
    std::istringstream in(bytes);
    keepRunSeats();
    if (!loadReplay(in) && replayTurns.empty()) {
        abandonStart();
        return;
    }
    mode = GameMode::Replay;
    replayPaused = false;
    replaySpeed = 1;
    if (!startGame(false, true, MAP_FILE, true)) return;
    runFrames(REPLAY_FRAMES);
    if (gameState == GameState::Match && !pendingShutdown) {
        jump_to_turn(lockstep.currentTurn / 2);
        replayPaused = false;
        runFrames(REPLAY_FRAMES / 4);
    }
    leaveSession();
}

// As the load dialog resumes a save: the catch-up, then live turns.
void resumeAsSave(const std::string& bytes) {
    std::ofstream(basePath + "saves/fuzz.bin", std::ios::binary | std::ios::trunc) << bytes;
    if (!requestResume("fuzz.bin")) return;
    pendingShutdown = false;
    if (resumeRequestedSave()) runFrames(RESUMED_FRAMES);
    leaveSession();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::ostringstream sink;
    std::cerr.rdbuf(sink.rdbuf());
    static const bool prepared = (prepareRun(), true);
    (void)prepared;
    sink.str("");
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    playAsReplay(bytes);
    resumeAsSave(bytes);
    mode = GameMode::Skirmish;
    return 0;
}
