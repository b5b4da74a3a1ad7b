// A lobby's map from arbitrary bytes: the check Start Lobby and the map choice make, reading the map as a match
// would and counting its bases line by line; a count or one line, never a crash.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "game_state.h"
#include "scratch_folder.h"
#include "ui/lobby_view_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::ostringstream sink;
    std::cerr.rdbuf(sink.rdbuf());
    sink.str("");
    std::error_code ignored;
    std::filesystem::create_directories(scratchFolder() + "maps", ignored);
    basePath = scratchFolder();
    std::ofstream(basePath + "maps/lobby.map", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    int bases = -1;
    if (countLobbyMapBases("lobby", bases) && bases < 1) __builtin_trap();
    return 0;
}
