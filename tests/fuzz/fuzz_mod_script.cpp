// Mod scripts from arbitrary bytes: loaded, started and run for a few ticks; errors are lines, never a crash.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "mod_manager.h"
#include "scratch_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::ofstream(scratchFolder() + "tower_defense.lua", std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    modManager.start(grid, scratchFolder());
    for (int tick = 0; tick < 3; ++tick) modManager.update(0.016f);
    modManager.callLua("onObjectiveComplete", "fuzz");
    modManager.shutdown();
    return 0;
}
