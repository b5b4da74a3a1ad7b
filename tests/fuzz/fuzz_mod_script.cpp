// Mod scripts from arbitrary bytes: loaded, started and run for a few ticks; errors are lines, never a crash.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "mod_manager.h"

namespace {

// One scratch folder for the whole run; the host reads the script by its fixed name inside it.
const std::string& scriptFolder() {
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "corvale-fuzz-XXXXXX").string();
        const char* made = mkdtemp(pattern.data());
        return std::string(made ? made : ".") + "/";
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::ofstream(scriptFolder() + "tower_defense.lua", std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    modManager.start(grid, scriptFolder());
    for (int tick = 0; tick < 3; ++tick) modManager.update(0.016f);
    modManager.callLua("onObjectiveComplete", "fuzz");
    modManager.shutdown();
    return 0;
}
