// Preview pictures from arbitrary bytes: a surface of the preview's size or one line, never a crash and never a
// surface of the size a header claims.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "map_preview.h"
#include "scratch_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::ostringstream sink;
    std::cerr.rdbuf(sink.rdbuf());
    sink.str("");
    const std::string path = scratchFolder() + "preview.bmp";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (SDL_Surface* preview = loadMapPreview(path)) {
        if (preview->w != MAP_PREVIEW_SIZE || preview->h != MAP_PREVIEW_SIZE) __builtin_trap();
        SDL_FreeSurface(preview);
    }
    return 0;
}
