// Writes the preview picture of each map named beside it under ROOT/maps: the map's static world built as a
// session builds it, drawn by the map preview writer on a software renderer with the shipped art.
#include <filesystem>
#include <iostream>
#include <string>

#include "map_preview.h"
#include "render_scene.h"

namespace {

// False, with one line, when the map cannot be read or no picture comes out.
bool writePreview(const std::string& name) {
    reset_game_state();
    if (!headless::buildMapWorld(headless::mapPath(name))) return false;
    const std::string picture = basePath + "maps/" + previewFileName(name);
    std::error_code ignored;
    const auto before = std::filesystem::last_write_time(picture, ignored);
    saveMapPreviewHardware(renderer, grid, name);
    std::error_code missing;
    const auto after = std::filesystem::last_write_time(picture, missing);
    if (missing || after == before) {
        std::cerr << "corvale_previews: no preview written for " << name << "\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: corvale_previews ROOT MAP...\n";
        return 2;
    }
    if (!scene::loadContent(argv[1])) {
        std::cerr << "corvale_previews: the content or art under " << argv[1] << " cannot be loaded\n";
        scene::release();
        return 1;
    }
    int failed = 0;
    for (int i = 2; i < argc; ++i)
        if (!writePreview(argv[i])) ++failed;
    reset_game_state();
    scene::release();
    return failed == 0 ? 0 : 1;
}
