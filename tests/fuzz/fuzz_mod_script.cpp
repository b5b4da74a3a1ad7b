// Mod scripts from arbitrary bytes, run against the tower defence world for a few ticks so the nine functions reach
// real units, buildings and players: errors are lines, never a crash.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "../../tools/tower_defense_match.h"
#include "config.h"
#include "decorations.h"
#include "game.h"
#include "map.h"
#include "mod_manager.h"
#include "scratch_folder.h"

namespace {

constexpr int TICKS = 3;

bool loadGameOnce() {
    static const bool loaded = [] {
        loadConfig(std::string(CORVALE_SOURCE_DIR) + "/src/config.txt");
        deriveConfigValues();
        basePath = std::string(CORVALE_SOURCE_DIR) + "/";
        return headless::loadContent(basePath + "core");
    }();
    return loaded;
}

// The tower defence match as the runner starts it, the map's world built as a session builds it (the session code
// is not part of this build).
bool startMatch() {
    using namespace headless;
    seatTowerDefense(true, scratchFolder());
    seedSessionGenerators();
    try {
        mapData = loadMapFromFile(mapPath(MAP_FILE));
    } catch (const std::exception&) {
        return false;
    }
    installHooks(HookStage::Headless);
    grid = buildGrid();
    sizeWorldGrids();
    resetMiningOccupancy();
    createObjects(mapData.pendingObjects, grid);
    createDecorations(mapData.pendingDecorations, grid);
    placeDefenders();
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!loadGameOnce()) return 0;
    std::ofstream(scratchFolder() + "tower_defense.lua", std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (startMatch())
        for (int tick = 0; tick < TICKS; ++tick) advanceOneTurn(grid);
    modManager.callLua("onObjectiveComplete", "fuzz");
    headless::endTowerDefense();
    return 0;
}
