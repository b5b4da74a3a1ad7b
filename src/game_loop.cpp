// The frame driver: the top-level loop, one frame of the menus, of a match and of the map editor, the frame clock
// with its pacing, and the ways a match advances (live turns, replay playback, a resumed save's re-simulation).
#include "game_loop.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <optional>
#include <utility>

#include "ai.h"
#include "buildings.h"
#include "events_iso.h"
#include "extraction_rules.h"
#include "fog.h"
#include "game.h"
#include "game_commands.h"
#include "game_replay.h"
#include "game_session.h"
#include "game_state.h"
#include "hud.h"
#include "hud_cursor.h"
#include "lockstep.h"
#include "lockstep_exchange.h"
#include "minimap.h"
#include "network_manager.h"
#include "player.h"
#include "renderer.h"
#include "renderer_iso_overlay.h"
#include "sdl.h"
#include "sounds.h"
#include "sprites.h"
#include "ui/main_menu.h"
#include "units.h"

uint64_t NOW = 0;
uint64_t LAST = 0;
double deltaTime = 0.0;
double totalTime = 0.0;
float dt = 0.0f;
uint32_t frameStart = 0;
uint32_t frameTime = 0;
float gameTimeSeconds = 0.0f;
float targetFps = 120.0f;
float introZoomTimer = 0.0f;

namespace {

uint64_t sdlCounter() { return SDL_GetPerformanceCounter(); }
uint64_t sdlFrequency() { return SDL_GetPerformanceFrequency(); }

// An interrupted sleep goes on with the time that remains.
void sleepNanoseconds(uint64_t ns) {
    timespec want{static_cast<time_t>(ns / 1000000000u), static_cast<long>(ns % 1000000000u)};
    timespec left{};
    while (nanosleep(&want, &left) == -1 && errno == EINTR) want = left;
}

// The isometric view of the match: fog first (it paces itself), the minimap every half second, then the world.
void drawIsoMatchFrame(Grid& world, float frameDt) {
    if (!renderer) return;
    static IsoRenderer iso;
    DrawFog();
    refreshMinimap(world, frameDt);
    update_timer_text();
    iso.render(world, frameDt, fog);
}

constexpr uint64_t NS_PER_MS = 1000000u;

// The counter reading at the end of the last capped frame; 0 before the first.
uint64_t lastCappedFrame = 0;

// The dialogs a frame serves, in this order, each only when asked for.
struct DialogRequest {
    bool* flag;
    void (**show)();
};

const DialogRequest dialogRequests[] = {
    {&pendingShowObjectives, &showScenarioObjectives},
    {&pendingSaveGame, &showSaveGame},
    {&pendingLoadGame, &showLoadGame},
    {&pendingShowOptions, &showOptions},
};

void serveDialogRequests(const DialogRequest* first, const DialogRequest* last) {
    for (const DialogRequest* r = first; r != last; ++r) {
        if (!*r->flag) continue;
        if (*r->show) (*r->show)();
        *r->flag = false;
    }
}

void updateMatchClock() { gameTimeSeconds = static_cast<float>(lockstep.currentTurn) * lockstep.tickSeconds; }

void runReplayFrame(float frameDt) {
    if (!replayPaused) {
        update_delta_time();
        updateMatchClock();
        process_replay(frameDt);
    }
    run_core_game_logic();
}

// The frame's time up to the end of drawing, then the minimum length of a frame.
void endFrame() {
    frameTime = frameClockMs() - frameStart;
    holdMinimumFrame();
}

// What the bars show between ticks: progress moved on by the part of the turn gone, hit points inside their range.
void updateBuildingDisplayValues() {
    const float alpha = std::clamp(lockstep.accumulator / lockstep.tickSeconds, 0.0f, 1.0f);
    for (Building& b : buildings) {
        b.displayHp = std::max(0.0f, std::min(b.maxHp, b.hp));
        b.displayProgress = b.progress == b.previousProgress
                                ? b.progress
                                : b.previousProgress + (b.progress - b.previousProgress) * alpha;
    }
}

using FrameFunction = void (*)();

FrameFunction frameFor(GameState state) {
    switch (state) {
        case GameState::Match:
            return game_loop;
        case GameState::MapEditor:
            return map_editor_loop;
        case GameState::Menus:
            break;
    }
    return main_loop;
}

}  // namespace

FrameClock frameClock = sdlFrameClock();

bool isLive(GameMode m) { return m == GameMode::Skirmish || m == GameMode::Extraction; }

FrameClock sdlFrameClock() { return FrameClock{sdlCounter, sdlFrequency, sleepNanoseconds}; }

uint32_t frameClockMs() {
    return static_cast<uint32_t>(frameClock.counter() * 1000u / std::max<uint64_t>(frameClock.frequency(), 1));
}

void (*DrawMatchFrame)(Grid&, float) = drawIsoMatchFrame;
void (*DrawLoadProgress)() = draw_load_progress;
void (*UpdateLobbyNetworking)() = nullptr;
void (*showScenarioObjectives)() = nullptr;
void (*showSaveGame)() = nullptr;
void (*showLoadGame)() = nullptr;
void (*showOptions)() = nullptr;

void update_delta_time() {
    LAST = NOW;
    NOW = frameClock.counter();
    deltaTime = static_cast<double>(NOW - LAST) * 1000.0 / static_cast<double>(frameClock.frequency());
    totalTime += deltaTime;
    dt = std::min(static_cast<float>(deltaTime / 1000.0), MAX_FRAME_SECONDS);
}

void resetFrameClock() {
    NOW = LAST = frameClock.counter();
    deltaTime = 0.0;
    totalTime = 0.0;
    dt = 0.0f;
}

void holdMinimumFrame() {
    if (frameTime == 0) frameClock.sleepNs(NS_PER_MS);
}

void capFps() {
    const double frameSeconds = 1.0 / static_cast<double>(targetFps);
    const uint64_t now = frameClock.counter();
    if (lastCappedFrame == 0 || now < lastCappedFrame) lastCappedFrame = now;
    const double elapsed = static_cast<double>(now - lastCappedFrame) / static_cast<double>(frameClock.frequency());
    if (frameSeconds > elapsed) frameClock.sleepNs(static_cast<uint64_t>((frameSeconds - elapsed) * 1e9));
    lastCappedFrame = frameClock.counter();
}

// ---- Advancing the world ----

void run_core_game_logic() {
    gameTime += dt;
    calculateAPM();
    updateFloatingTexts(dt);
    updateBuildingDisplayValues();
    if (mode == GameMode::Extraction && introZoomTimer < 1.0f) {
        introZoomTimer += dt;
        camera.zoom = 1.7f + (1.0f - 1.7f) * std::min(introZoomTimer, 1.0f);
    }
    MoveCamera(dt);
    for (Building& b : buildings) updateFireAnimation(b, dt);
    updateSounds();
    updateGhostBuildingDstRect();
    update_cursor();
    update_extraction(dt);
    updateClicks();
    checkVictoryPlayer();
}

void run_regular_mode(float frameDt) {
    update_delta_time();
    if (paused && isLive(mode)) {
        // Turns keep falling due while paused, so a resume order can arrive.
        runLocalTurnStep();
        return;
    }
    updateMatchClock();
    run_core_game_logic();
    advance_session(frameDt);
}

void advance_session(float frameDt) {
    switch (mode) {
        case GameMode::Skirmish:
        case GameMode::Extraction:
            runLocalTurnStep();
            break;
        case GameMode::Replay:
            process_replay(frameDt);
            break;
        case GameMode::ResumedSave:
            process_loaded_game();
            break;
        case GameMode::MapEditor:
            break;
    }
}

// A match with peers exchanges its turns with them; alone, the pending orders make the turn at once.
void runLocalTurnStep() {
    if (!net.connections.empty()) {
        handle_networking(dt, static_cast<int>(totalTime));
        return;
    }
    bool due = false;
    for (lockstep.accumulator += dt; lockstep.accumulator >= lockstep.tickSeconds; due = true)
        lockstep.accumulator -= lockstep.tickSeconds;
    if (!due) return;
    // Turns sent before the last peer left go first, one per tick; new orders wait behind them.
    std::vector<Command> turn;
    if (std::optional<std::vector<Command>> leftover = lockstep.consumeLeftoverTurn()) turn = std::move(*leftover);
    else turn.swap(lockstep.pendingCommands);
    applyLiveTurn(turn, grid, static_cast<int>(totalTime));
    if (paused) return;
    advanceOneTurn(grid);
    runComputerPlayers(grid);
}

void process_loaded_game() {
    const uint64_t start = frameClock.counter();
    const auto budget = static_cast<uint64_t>(static_cast<double>(frameClock.frequency()) /
                                              static_cast<double>(std::max(targetFps, 1.0f)));
    do {
        if (replayTurnIndex >= static_cast<int>(replayTurns.size())) {
            SDL_Log("changing to false");
            mode = GameMode::Skirmish;
            lockstep.accumulator = 0.0f;
            return;
        }
        runReplayTick(grid, static_cast<int>(totalTime));
    } while (frameClock.counter() - start < budget);
}

// ---- Frames ----

// A switch asked for outside the menus (a session that ended) or by the last frame's update shows at once.
void main_loop() {
    mainMenu.carryOutPendingSwitch();
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) running = false;
        mainMenu.handleEvent(event);
    }
    if (renderer) {
        SDL_SetRenderDrawColor(renderer, 20, 20, 20, 255);
        SDL_RenderClear(renderer);
        // The pages' translucent panels blend alike whether or not a match frame set blending before.
        SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
    }
    setBackgroundImageSize();
    mainMenu.draw();
    draw_cursor();
    if (renderer) SDL_RenderPresent(renderer);
    mainMenu.update();
    if (UpdateLobbyNetworking) UpdateLobbyNetworking();
    if (gameState == GameState::Menus) mainMenu.carryOutPendingSwitch();
    capFps();
}

void game_loop() {
    if (pendingShutdown) {
        endSession();
        resumeRequestedSave();
        return;
    }
    frameStart = frameClockMs();
    keepDialogsInWindow();
    if (mode == GameMode::ResumedSave)
        eventHandler.handleCatchUpEvents();
    else
        HandleEvents(grid);
    serveDialogRequests(std::begin(dialogRequests), std::end(dialogRequests));
    // The world steps take the frame time measured by the previous frame.
    const float frameDt = dt;
    if (mode == GameMode::Replay)
        runReplayFrame(frameDt);
    else
        run_regular_mode(frameDt);
    // A save still catching up shows only how far it has come.
    if (mode == GameMode::ResumedSave)
        DrawLoadProgress();
    else
        DrawMatchFrame(grid, dt);
    endFrame();
    capFps();
    calculateFps(dt);
}

void map_editor_loop() {
    // Served before the frame's input: a request raised by this frame's input is served by the next one.
    serveDialogRequests(std::begin(dialogRequests), std::begin(dialogRequests) + 1);
    serveDialogRequests(std::end(dialogRequests) - 1, std::end(dialogRequests));
    if (pendingShutdown) {
        endSession();
        return;
    }
    frameStart = frameClockMs();
    keepDialogsInWindow();
    HandleEvents(grid);
    if (mode == GameMode::MapEditor) run_regular_mode(dt);
    DrawMatchFrame(grid, dt);
    endFrame();
    capFps();
    // The editor shows the frame-rate read-out too: it counts its own frames, not the last match's.
    calculateFps(dt);
}

void runTopLevelFrame() {
    // Sampled before the frame so a paused match still moves the pointer.
    update_cursor();
    frameFor(gameState)();
}

void runTopLevelLoop() {
    while (running) runTopLevelFrame();
}
