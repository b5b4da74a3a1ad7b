// Extraction map files from arbitrary bytes: a record or one line naming the file, never a crash.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "extraction_missions.h"

namespace {

const std::string& mapFile() {
    static const std::string path = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "corvale-fuzz-XXXXXX").string();
        const char* made = mkdtemp(pattern.data());
        return std::string(made ? made : ".") + "/extraction.json";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::ofstream(mapFile(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    loadExtraction(mapFile());
    return 0;
}
