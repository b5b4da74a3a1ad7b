// Extraction map files from arbitrary bytes: a record or one line naming the file, never a crash.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "extraction_missions.h"
#include "scratch_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = scratchFolder() + "extraction.json";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    loadExtraction(path);
    return 0;
}
