// Fuzzes the map reader and the grid built from what it accepts.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "../test_files.h"
#include "config.h"
#include "map.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const TempDir dir;
    const std::string path = dir.write("fuzz.map", std::string(reinterpret_cast<const char*>(data), size));
    SUBDIVISIONS = 4;
    TILE_SIZE = 64;
    try {
        const MapData map = loadMapFromFile(path);
        buildGrid(map.terrainRows, map.heightRows);
    } catch (const std::logic_error&) {
    } catch (const std::runtime_error&) {
    }
    return 0;
}
