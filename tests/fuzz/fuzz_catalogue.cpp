// Fuzzes the catalogue loaders: the first byte picks the file the rest of the input becomes.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <stdexcept>
#include <string>

#include "../test_files.h"
#include "races.h"
#include "sounds.h"

namespace {

const char* const catalogueFiles[] = {
    "human/race.json",         "human/units.json",        "human/buildings.json",     "human/building_units.json",
    "human/unit_requirements.json", "human/upgrades.json", "human/hotkeys.json",      "human/spells.json",
    "human/projectiles.json",  "human/building_requirements.json", "human/tech.json",   "global/map_objects.json",
    "global/items.json",       "human/sounds.json",       "global/global.json",       "human/sprites.json",
    "human/buildings_sprites.json", "human/cursors.json", "global/tiles_sprites.json",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const TempDir dir;
    std::filesystem::remove_all(dir.path / "data");
    const std::string file = catalogueFiles[data[0] % std::size(catalogueFiles)];
    dir.write("data/races/" + file, std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    try {
        loadAllRaces("", "", dir.path.string());
    } catch (const std::exception&) {
    }
    // Track lists are appended to on every load; one input's tracks must not pile up under the next.
    mainMenuTracks.clear();
    musicTracks.clear();
    return 0;
}
