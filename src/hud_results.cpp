// The game-over dialog that ends a decided match, and what the HUD forgets when a session ends.
#include "game_commands.h"
#include "game_state.h"
#include "hud.h"
#include "player.h"
#include "sdl_draw.h"
#include "sdl_text.h"
#include "sounds.h"

void init_game_over() {
    game_over_modal.clear();
    game_over_modal.centerOnScreen(0.0f, 0.0f);
    game_over_modal.show();
    const SDL_FRect r = game_over_modal.rect;
    const std::string title = victoryPlayerId == Player::myStaticId ? "VICTORY" : "DEFEAT";
    game_over_modal.add<Label>(title, r.x + r.w * 0.5f - static_cast<float>(TextWidth(title, 50)) * 0.5f, r.y + 30.0f,
                               50);
    // Quit tears the session down at the start of the next frame, which then shows the menus.
    Button* quit = game_over_modal.add<Button>(SDL_FRect{r.x + 150.0f - 50.0f, r.y + 120.0f, 100.0f, 30.0f}, "Quit",
                                               [] { pendingShutdown = true; }, 16);
    quit->normal = {139, 0, 0, 255};
    quit->hover = {160, 0, 0, 255};
}

void announceMatchResult(const std::string& gameSound) {
    playSound(SoundCategory::Game, gameSound, false, 0.0f, 0.0f, 1);
    init_game_over();
}

// Each modal draws nothing while hidden.
void drawDialogs() {
    if (victoryPlayerId != -1) game_over_modal.draw();
    if (mode == GameMode::Extraction) extract_modal.draw();
    gameMenu.draw();
}

void keepDialogsInWindow() {
    const SDL_FPoint window = windowSize();
    for (Modal* centred : {&gameMenu, &game_over_modal})
        centred->moveTo((window.x - centred->rect.w) * 0.5f, (window.y - centred->rect.h) * 0.5f);
    if (mode == GameMode::Extraction) {
        const SDL_FPoint corner = extractPanelCorner();
        extract_modal.moveTo(corner.x, corner.y);
    }
}

void resetHUDSession() {
    gameMenu.clear();
    game_over_modal.clear();
    reset_APM();
    // The next session's read-out starts from its own frames.
    fps = 0.0f;
    fpsCounter = FpsCounter{};
    // A session without peers never measures a ping; it must not show the last match's.
    latencyMs = 0;
}
