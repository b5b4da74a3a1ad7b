// Fuzzes the configuration file reader: any bytes load or are refused with ConfigError, never worse.
#include <cstddef>
#include <cstdint>
#include <string>

#include "../test_files.h"
#include "config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const TempDir dir;
    const std::string path = dir.write("config.txt", std::string(reinterpret_cast<const char*>(data), size));
    try {
        loadConfig(path);
        deriveConfigValues();
    } catch (const ConfigError&) {
    }
    return 0;
}
