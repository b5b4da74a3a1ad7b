// The HUD's figures: the top bar with the local player's resources and the MENU button, the status lines (frame
// rate, map name, ping, actions per minute), the frame-rate counter and the activity feed.
#include <algorithm>

#include "activity.h"
#include "game_commands.h"
#include "game_state.h"
#include "colors.h"
#include "hud.h"
#include "player.h"
#include "sdl.h"
#include "sdl_draw.h"
#include "sdl_text.h"
#include "textures.h"

float fps = 0.0f;
FpsCounter fpsCounter;

namespace {

constexpr SDL_Color MAP_NAME{150, 150, 150, 255};
constexpr int STATUS_FONT = 10;

void drawRightAligned(const std::string& text, int y) {
    const int x = static_cast<int>(windowSize().x - static_cast<float>(TextWidth(text, STATUS_FONT)) - 20.0f);
    DrawText(text, x, y, readoutColor, STATUS_FONT, false);
}

// The icon, or the given part of it, scaled to the given width, its height in proportion.
void drawIconCentredOn(SDL_Texture* icon, int x, int centreY, float width, const SDL_Rect& frame = {}) {
    if (!icon) return;
    const bool whole = SDL_RectEmpty(&frame);
    int w = frame.w;
    int h = frame.h;
    if (whole) SDL_QueryTexture(icon, nullptr, nullptr, &w, &h);
    const float height = w > 0 ? static_cast<float>(h) * width / static_cast<float>(w) : width;
    const SDL_FRect dst{static_cast<float>(x), static_cast<float>(centreY) - height * 0.5f, width, height};
    SDL_RenderCopyF(renderer, icon, whole ? nullptr : &frame, &dst);
}

}  // namespace

void topHUD() {
    const float w = windowSize().x;
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(renderer, 50, 50, 50, 200);
    const SDL_FRect bar{0.0f, 0.0f, w, 30.0f};
    SDL_RenderFillRectF(renderer, &bar);
    if (const Player* local = getPlayerById(Player::myStaticId)) {
        const std::string gold = std::to_string(local->resources[RESOURCE_GOLD]);
        const std::string wood = std::to_string(local->resources[RESOURCE_WOOD]);
        const std::string supply = std::to_string(local->supplyUsed) + " / " + std::to_string(local->supplyCap) +
                                   " / " + std::to_string(local->recruits);
        const int xs = static_cast<int>(w - 20.0f) - (TextWidth(supply, 12) + 24);
        const int xw = xs - 25 - (TextWidth(wood, 12) + 24);
        const int xg = xw - 25 - (TextWidth(gold, 12) + 24);
        drawIconAndText(gold, texGold, xg, 0, 12, 14);
        drawIconAndText(wood, texLumber, xw, 0, 12, 14);
        drawIconAndText(supply, texFood, xs, 0, 12, 14);
    }
    menuButton.draw();
}

void drawFPS(float f) { drawRightAligned("FPS: " + std::to_string(static_cast<int>(f)), 40); }

void draw_map_name() { DrawText(currentMap, 20, 40, MAP_NAME, STATUS_FONT, false); }

void drawLatency() { drawRightAligned("Ping: " + std::to_string(latencyMs) + "ms", 80); }

void drawAPM(int apm) { drawRightAligned("APM: " + std::to_string(apm), 60); }

void calculateFps(float frameSeconds) {
    ++fpsCounter.frameCount;
    fpsCounter.fpsTimer += frameSeconds;
    if (fpsCounter.fpsTimer < 0.5f) return;
    fps = static_cast<float>(fpsCounter.frameCount) / fpsCounter.fpsTimer;
    fpsCounter = FpsCounter{};
}

void drawIconAndText(const std::string& text, SDL_Texture* icon, int x, int y, float fontSize, float iconWidth) {
    const int centreY = y + 15;
    drawIconCentredOn(icon, x, centreY, iconWidth);
    const int size = static_cast<int>(fontSize);
    DrawText(text, static_cast<int>(static_cast<float>(x) + iconWidth + 10.0f), centreY - TextHeight(text, size) / 2,
             whiteColor, size, false);
}

void drawActivities() {
    if (activityQueue.empty()) return;
    int top = static_cast<int>(windowSize().y) - 300;
    for (auto it = activityQueue.rbegin(); it != activityQueue.rend(); ++it, top -= 25) {
        const int centreY = top + 15;
        drawIconCentredOn(it->icon, 20, centreY, 20.0f, it->frame);
        DrawText(it->text, 50, centreY - TextHeight(it->text, 20) / 2, whiteColor, 20, false);
    }
}

void drawStatusLines() {
    drawFPS(fps);
    draw_map_name();
    drawLatency();
    drawAPM(static_cast<int>(actionTimes.size()));
}
