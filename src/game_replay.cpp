// Replay playback: the recorded turns fed at the replay speed, seeking forward and backward, and the progress bar.
#include "game_replay.h"

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ai.h"
#include "config.h"
#include "effect_grid.h"
#include "fog.h"
#include "game.h"
#include "game_commands.h"
#include "game_loop.h"
#include "game_session.h"
#include "game_state.h"
#include "lockstep.h"
#include "minimap.h"
#include "mod_manager.h"
#include "network_manager.h"
#include "player.h"
#include "sdl.h"
#include "sdl_draw.h"
#include "sdl_text.h"

int replaySpeed = 1;
bool replayPaused = false;
SDL_Rect replay_bar{0, 0, 0, 0};

namespace {

bool turnsRemain() { return replayTurnIndex < static_cast<int>(replayTurns.size()); }

// What a player brings to a session before its world is built: the seat of the recorded match.
struct Seat {
    int id;
    std::string name;
    std::string race;
    bool isAI;
    int teamPalette;
    bool spawnsBase;
    std::unique_ptr<BaseAI> ai;
};

std::vector<Seat> takeSeats() {
    std::vector<Seat> seats;
    for (auto& p : players)
        seats.push_back({p->id, p->name, p->race, p->isAI, p->teamPalette, p->spawnsBase, std::move(p->ai)});
    return seats;
}

// Fresh players as the replay's header made them, so the rebuilt world starts where the recorded one did.
void reseat(std::vector<Seat>& seats) {
    for (Seat& s : seats) {
        auto p = std::make_unique<Player>(s.id, s.name, s.race, s.isAI);
        p->teamPalette = s.teamPalette;
        p->spawnsBase = s.spawnsBase;
        p->ai = std::move(s.ai);
        players.push_back(std::move(p));
    }
}

// A replay talks to nobody; the discovery socket stays, since only start-up opens it.
void closeMatchConnections() { net.closeTcp(); }

// The start of a replay session again: the generators, the mod script and the map's world, then the clocks.
void rebuildReplayWorld() {
    reset_replay_to_start();
    seedSessionGenerators();
    InitMod(grid);
    load_map_and_static_world();
    paused = false;
    resetFrameClock();
    gameState = GameState::Match;
}

void fill(const SDL_Rect& rect, SDL_Color colour) {
    SDL_SetRenderDrawColor(renderer, colour.r, colour.g, colour.b, colour.a);
    SDL_RenderFillRect(renderer, &rect);
}

constexpr SDL_Color BAR_TRACK{60, 60, 60, 255};
constexpr SDL_Color BAR_PROGRESS{120, 200, 255, 255};
constexpr SDL_Color BAR_THUMB{255, 255, 255, 255};
constexpr int THUMB_HALF_WIDTH = 5;
constexpr SDL_Color LOAD_TEXT{0, 255, 0, 255};
constexpr int LOAD_BAR_HEIGHT = 16;

}  // namespace

int lastReplayTick() { return replayTurns.empty() ? 0 : replayTurns.back().tick; }

void runReplayTick(Grid& world, int nowMs) {
    if (turnsRemain() && replayTurns[static_cast<size_t>(replayTurnIndex)].tick == lockstep.currentTurn) {
        for (const Command& cmd : replayTurns[static_cast<size_t>(replayTurnIndex)].commands)
            if (cmd.type == CommandType::PlayerLeft)
                takeRecordedLeave(cmd.player);
            else if (cmd.type == CommandType::ComputerTakeover)
                takeRecordedTakeover(cmd);
            else
                applyCommand(cmd, world, nowMs, true);
        ++replayTurnIndex;
    }
    advanceOneTurn(world);
    rehearseComputerPlayer(world, !turnsRemain());
}

void process_replay(float frameDt) {
    lockstep.accumulator += static_cast<float>(replaySpeed) * frameDt;
    while (lockstep.accumulator >= lockstep.tickSeconds) {
        lockstep.accumulator -= lockstep.tickSeconds;
        if (!turnsRemain()) {
            // The replay is over; the session is torn down before the menus show again.
            pendingShutdown = true;
            return;
        }
        runReplayTick(grid, static_cast<int>(totalTime));
    }
}

void fast_forward_to_turn(int target) {
    while (lockstep.currentTurn < target && turnsRemain()) runReplayTick(grid, 0);
}

void jump_to_turn(int target) {
    replayPaused = true;
    if (lockstep.currentTurn > target) rebuildReplayWorld();
    fast_forward_to_turn(target);
    gameTimeSeconds = static_cast<float>(lockstep.currentTurn) * lockstep.tickSeconds;
    update_timer_text();
}

void reset_replay_to_start() {
    std::vector<Seat> seats = takeSeats();
    const std::unordered_map<int, int> palette = playerToTeamPalette;
    std::vector<Turn> turns;
    turns.swap(replayTurns);
    reset_game_state();
    replayTurns.swap(turns);
    playerToTeamPalette = palette;
    reseat(seats);
    resetFogOfWar(MAP_W, MAP_H);
    clearMinimap();
    closeMatchConnections();
    effectGrid.clear();
}

void init_replay_bar() {
    if (mode != GameMode::Replay) return;
    const SDL_FPoint size = windowSize();
    // The minimap's scale, which its own set-up computes later in the session start.
    const float scale = static_cast<float>(MINIMAP_SIZE) / static_cast<float>(std::max({MAP_W, MAP_H, 1}));
    replay_bar = SDL_Rect{20, static_cast<int>(size.y) - MINIMAP_SIZE - 50,
                          static_cast<int>(static_cast<float>(MAP_W) * scale), 10};
}

void draw_replay_bar() {
    if (mode != GameMode::Replay || !renderer) return;
    const float p = replayProgress();
    const SDL_Rect& bar = replay_bar;
    fill(bar, BAR_TRACK);
    fill({bar.x, bar.y, static_cast<int>(static_cast<float>(bar.w) * p), bar.h}, BAR_PROGRESS);
    const float thumbX = static_cast<float>(bar.x) + static_cast<float>(bar.w) * p - THUMB_HALF_WIDTH;
    fill({static_cast<int>(thumbX), bar.y - THUMB_HALF_WIDTH, 2 * THUMB_HALF_WIDTH, bar.h + 2 * THUMB_HALF_WIDTH},
         BAR_THUMB);
}

float replayProgress() {
    const int last = lastReplayTick();
    // Without a last tick to measure against nothing has been done yet.
    return last > 0 ? std::min(static_cast<float>(lockstep.currentTurn) / static_cast<float>(last), 1.0f) : 0.0f;
}

void draw_load_progress() {
    if (!renderer) return;
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    const SDL_FPoint size = windowSize();
    const int percent = static_cast<int>(replayProgress() * 100.0f);
    const std::string line = "LOADING SAVED GAME " + std::to_string(percent) + "%";
    DrawText(line, static_cast<int>(size.x * 0.5f), static_cast<int>(size.y * 0.5f) - 40, LOAD_TEXT, 20, true);
    const SDL_Rect bar{static_cast<int>(size.x * 0.25f), static_cast<int>(size.y * 0.5f), static_cast<int>(size.x * 0.5f),
                       LOAD_BAR_HEIGHT};
    fill(bar, BAR_TRACK);
    fill({bar.x, bar.y, static_cast<int>(static_cast<float>(bar.w) * replayProgress()), bar.h}, BAR_PROGRESS);
    SDL_RenderPresent(renderer);
}
