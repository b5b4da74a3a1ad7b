// Scenes for drawing without a window: a software renderer on a 1280 by 720 surface, the shipped content and
// art, and the fight map at the start of a match or a battle on the highlands, drawn by the match renderer.
#pragma once

#include <filesystem>
#include <sstream>
#include <string>

#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>
#include <physfs.h>

#include "fog.h"
#include "headless_session.h"
#include "minimap.h"
#include "renderer.h"
#include "renderer_iso_entities.h"
#include "sdl.h"
#include "sdl_draw.h"
#include "sdl_shadow.h"
#include "sdl_text.h"
#include "sprites.h"
#include "textures.h"

namespace scene {

// One surface and renderer for the whole run: catalogue textures loaded on it stay valid across scenes.
struct Canvas {
    SDL_Surface* surface = nullptr;
    SDL_Renderer* drawer = nullptr;
};

inline Canvas& canvas() {
    static Canvas c = [] {
        Canvas made;
        made.surface = SDL_CreateRGBSurfaceWithFormat(0, 1280, 720, 32, SDL_PIXELFORMAT_RGBA8888);
        made.drawer = made.surface ? SDL_CreateSoftwareRenderer(made.surface) : nullptr;
        return made;
    }();
    return c;
}

// The catalogues and their pictures on the canvas; false when the content cannot be read.
inline bool loadCatalogues(const std::string& root) {
    std::ostringstream held;
    std::streambuf* errors = std::cerr.rdbuf(held.rdbuf());
    const bool ok = mountAssets(root) && headless::loadContent(basePath + "core");
    std::cerr.rdbuf(errors);
    loadTextures();
    loadSprites();
    return ok;
}

// The configuration, the content and every texture, loaded once onto the canvas; false when any is missing.
// The configuration is read again, and catalogues and fonts that a test run before let go are loaded again, so
// every scene starts from the shipped configuration and content.
inline bool loadContent(const std::string& root) {
    static const bool loaded = [&] {
        if (!canvas().drawer) return false;
        renderer = canvas().drawer;
        basePath = root + "/";
        loadConfig(basePath + "src/config.txt");
        deriveConfigValues();
        const bool ok = loadCatalogues(root);
        ensureShadowTexture();
        if (TTF_WasInit() || TTF_Init() == 0) initFonts();
        return ok;
    }();
    renderer = canvas().drawer;
    basePath = root + "/";
    loadConfig(basePath + "src/config.txt");
    deriveConfigValues();
    // An earlier test may have let the file system or a catalogue go.
    if (loaded && !PHYSFS_isInit()) mountAssets(root);
    if (loaded && (races.empty() || mapObjectInfo.empty() || unitSprites.empty() || buildingSprites.empty()))
        loadCatalogues(root);
    if (loaded && fontCache.empty() && (TTF_WasInit() || TTF_Init() == 0)) initFonts();
    return loaded;
}

// The session's drawing state for the map just built: fog (the headless hooks installed anew for it), minimap,
// the camera on the local base.
inline void prepareView(bool fog, V2i lookAt) {
    FOG = fog;
    installHooks(HookStage::Headless);
    prepareSessionView();
    camera.zoom = 1.0f;
    const SDL_FPoint centre = gridToWorld(static_cast<float>(lookAt.x), static_cast<float>(lookAt.y));
    const SDL_FPoint view = windowSize();
    camera = {centre.x - view.x / 2, centre.y - view.y / 2, view.x, view.y, centre.x, centre.y, 1.0f};
}

// The fight map at the start of a match, player 1 (human) at home against player 2; false without the map.
inline bool startFight(bool fog) {
    reset_game_state();
    MAP_FILE = "fight";
    headless::addPlayer(1, "Blue", "human", true);
    headless::addPlayer(2, "Red", "vohmathal", true);
    Player::myStaticId = 1;
    if (!headless::buildMapWorld(headless::mapPath(MAP_FILE))) return false;
    headless::listUnitsWithOwners();
    prepareView(fog, getPlayerById(1)->baseTile);
    return true;
}

// Two armies on the highlands, ordered into each other and run for the given ticks; false without the map.
inline bool startBattle(int perSide, int ticks, bool fog) {
    reset_game_state();
    headless::Script script;
    if (!headless::startBattle(perSide, script)) return false;
    Player::myStaticId = 1;
    applyLiveTurn(script(0), grid, 0);
    for (int t = 0; t < ticks; ++t) advanceOneTurn(grid);
    prepareView(fog, {MAP_W / 2, MAP_H * 3 / 8});
    return true;
}

// One whole frame as a match draws it, the sight taken, the fog recomputed and the minimap refreshed first.
inline void drawFrame(float dt = 0.016f) {
    takeSight();
    lastFogUpdate = fogTicks() - 30;
    DrawFog();
    updateMinimap(grid);
    update_timer_text();
    static IsoRenderer iso;
    iso.render(grid, dt, fog);
}

// Frees what the scenes made, before SDL goes: fonts, the shadow, fog and minimap textures, the canvas.
inline void release() {
    Canvas& c = canvas();
    if (!c.drawer) return;
    renderer = c.drawer;
    cleanupFonts();
    if (TTF_WasInit()) TTF_Quit();
    releaseShadowTexture();
    clearMinimap();
    releaseFogTextures();
    SDL_DestroyRenderer(c.drawer);
    SDL_FreeSurface(c.surface);
    c = {};
    renderer = nullptr;
}

inline bool savePng(const std::string& folder, const std::string& name) {
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return IMG_SavePNG(canvas().surface, (folder + "/" + name).c_str()) == 0;
}

}  // namespace scene
