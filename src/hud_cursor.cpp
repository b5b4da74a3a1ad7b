// The software cursor: one image chosen by the local player's race, drawn 32x32 last in every frame.
#include "hud_cursor.h"

#include "map.h"
#include "player.h"
#include "races.h"
#include "sdl.h"
#include "sprites.h"

SDL_Texture* cursorTexture = nullptr;
SDL_Point cursorHotspot{0, 0};
float mouseX = 0.0f;
float mouseY = 0.0f;

namespace {
constexpr float CURSOR_SIDE = 32.0f;
}

void init_cursor() {
    Cursor chosen;
    if (const Player* me = getPlayerById(Player::myStaticId)) {
        const auto race = races.find(me->race);
        if (race != races.end()) {
            const auto found = cursors.find(race->second.cursor);
            if (found != cursors.end()) chosen = found->second;
        }
    }
    cursorTexture = chosen.texture;
    cursorHotspot = SDL_Point{static_cast<int>(chosen.hotspot.x), static_cast<int>(chosen.hotspot.y)};
    // Without its image the player keeps the system's pointer rather than none at all.
    SDL_ShowCursor(cursorTexture ? SDL_DISABLE : SDL_ENABLE);
}

void update_cursor() {
    const PointerView view = readPointerView();
    mouseX = static_cast<float>(static_cast<int>(view.mouseX));
    mouseY = static_cast<float>(static_cast<int>(view.mouseY));
}

void draw_cursor() {
    if (!cursorTexture || !renderer) return;
    int w = 0;
    int h = 0;
    if (SDL_QueryTexture(cursorTexture, nullptr, nullptr, &w, &h) != 0 || w <= 0 || h <= 0) return;
    const SDL_FRect dst{mouseX - CURSOR_SIDE / static_cast<float>(w) * static_cast<float>(cursorHotspot.x),
                        mouseY - CURSOR_SIDE / static_cast<float>(h) * static_cast<float>(cursorHotspot.y),
                        CURSOR_SIDE, CURSOR_SIDE};
    SDL_RenderCopyF(renderer, cursorTexture, nullptr, &dst);
}
