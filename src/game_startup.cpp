// Program start-up in the order its steps depend on, and shutdown in the reverse.
#include "game_startup.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>

#include <SDL2/SDL_ttf.h>
#include <physfs.h>

#include "config.h"
#include "extraction_campaign.h"
#include "fog.h"
#include "game.h"
#include "game_session.h"
#include "game_state.h"
#include "hud_cursor.h"
#include "minimap.h"
#include "network_manager.h"
#include "player.h"
#include "races.h"
#include "sdl.h"
#include "sdl_text.h"
#include "sounds.h"
#include "textures.h"
#include "ui/main_menu.h"
#include "units.h"
#include "utils.h"

namespace {

constexpr int WINDOW_WIDTH = 1280;
constexpr int WINDOW_HEIGHT = 720;

// Diagnostics reach only the error stream and the SDL log; the standard output is switched off for the run.
std::streambuf* standardOutput = nullptr;

// A start-up step that throws ends the program with one line naming the file and the fault, never a core dump.
bool findAssetRoot() {
    try {
        basePath = findAssetPath();
        return true;
    } catch (const std::exception& e) {
        std::cerr << "corvale: assets.cvl or core/ (in . or ..): " << e.what() << "\n";
        return false;
    }
}

bool readConfiguration() {
    const std::string path = basePath + "src/config.txt";
    try {
        loadConfig(path);
        return true;
    } catch (const std::logic_error& e) {
        std::cerr << "corvale: " << path << ": a number is malformed or out of range (" << e.what() << ")\n";
        return false;
    } catch (const std::exception& e) {
        std::cerr << "corvale: " << path << ": " << e.what() << "\n";
        return false;
    }
}

// The drivers without OpenGL (dummy, offscreen) refuse an OpenGL window; the window then goes without it.
SDL_Window* createWindow() {
    const int centred = SDL_WINDOWPOS_CENTERED;
    SDL_Window* made = SDL_CreateWindow("Corvale", centred, centred, WINDOW_WIDTH, WINDOW_HEIGHT,
                                        SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
    if (!made) made = SDL_CreateWindow("Corvale", centred, centred, WINDOW_WIDTH, WINDOW_HEIGHT, SDL_WINDOW_SHOWN);
    return made;
}

// Without an accelerated renderer (no GPU, a headless driver) the software renderer draws.
SDL_Renderer* createRenderer(SDL_Window* target) {
    if (!target) return nullptr;
    SDL_Renderer* made = SDL_CreateRenderer(target, -1, SDL_RENDERER_ACCELERATED);
    if (!made) made = SDL_CreateRenderer(target, -1, SDL_RENDERER_SOFTWARE);
    return made;
}

// Drawn once per run from a generator seeded by the clock, so two peers never share an id.
void drawPlayerIds() {
    if (Player::myStaticId != 0) return;
    rng.seed(static_cast<uint32_t>(std::chrono::system_clock::now().time_since_epoch().count()));
    Player::myStaticId = static_cast<int>(rng() & 0x7FFFFFFFu);
    Player::aiId = static_cast<int>(rng() >> 1);
    Player::environmentId = static_cast<int>(rng() >> 2);
}

void reportMissingWindow() {
    if (!window) std::cerr << "SDL_CreateWindow failed: " << SDL_GetError() << std::endl;
    if (!renderer) std::cerr << "SDL_CreateRenderer failed: " << SDL_GetError() << std::endl;
}

bool initLibraries(const char* programPath) {
    if (!PHYSFS_init(programPath)) {
        std::cerr << "PhysFS error: " << PHYSFS_getErrorByCode(PHYSFS_getLastErrorCode()) << "\n";
        return false;
    }
    // Without the archive the content is read from the folders under the asset root.
    mountAssets(basePath);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::cerr << "SDL_Init Error: " << SDL_GetError() << std::endl;
        return false;
    }
    if (TTF_Init() == -1) {
        std::cerr << "TTF_Init Error: " << SDL_GetError() << std::endl;
        return false;
    }
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 1);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 4);
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    SDL_SetHint(SDL_HINT_RENDER_LINE_METHOD, "3");
    return true;
}

// A step after the libraries came up has written its line; what start-up made so far is released before the
// program ends, so the exit is as clean as a normal one.
bool abandonStartUp() {
    shutDown();
    return false;
}

}  // namespace

bool startUp(const char* programPath) {
    if (!findAssetRoot()) return false;
    standardOutput = std::cout.rdbuf(nullptr);
    if (!initLibraries(programPath)) return false;
    // Menus without their font would be an empty window: initFonts has named the file.
    if (!initFonts()) return abandonStartUp();
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    if (!readConfiguration()) return abandonStartUp();
    // Temporary files of a writer killed before its rename, left in the folders the game writes for the user.
    for (const std::string& folder : {basePath + "saves/", basePath + "maps/", extractionSaveFolder})
        Utils::removeLeftoverTemporaries(folder);
    currentMap = MAP_FILE;
    deriveConfigValues();
    soundEffects = SOUNDS;
    musicActive = MUSIC;
    // Without an audio device the game plays silent.
    openAudio();
    window = createWindow();
    renderer = createRenderer(window);
    initFontCache();
    mainMenu.init();
    if (!loadAllRacesOrReport("", "", basePath + "core")) return abandonStartUp();
    initializeCivilianLookup();
    installHooks(HookStage::StartUp);
    // Discovery listens once for the whole run; a second game on this machine takes the second port.
    if (!net.openUdp(netUdpPorts[0])) net.openUdp(netUdpPorts[1]);
    drawPlayerIds();
    spawnPlayer();
    init_cursor();
    running = true;
    reportMissingWindow();
    if (renderer) SDL_RenderFlush(renderer);
    playRandomMainMenuMusic();
    return true;
}

void shutDown() {
    // A window closed in the middle of a match ends its session as Quit would, so its log names the last turn.
    if (gameState != GameState::Menus) endSession();
    // SDL objects that pages and caches own go before the renderer does.
    mainMenu.clear();
    releaseFogTextures();
    clearMinimap();
    cleanupFonts();
    releaseTextures();
    closeAudio();
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    renderer = nullptr;
    window = nullptr;
    TTF_Quit();
    SDL_Quit();
    PHYSFS_deinit();
    std::cout.rdbuf(standardOutput);
}
