// Writes the preview picture of maps under ROOT/maps beside them: the map's static world built as a session builds
// it, drawn by the map preview writer on a software renderer with the shipped art. Given no names it finds the maps
// itself and draws those whose picture is out of date, which is how the build calls it.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "map_preview.h"
#include "render_scene.h"

namespace fs = std::filesystem;

namespace {

std::string previewPath(const std::string& name) { return basePath + "maps/" + previewFileName(name + ".map"); }

// A picture older than its map, the art or this tool shows what they no longer draw.
bool outOfDate(const std::string& name, fs::file_time_type drawnFrom) {
    std::error_code noPicture;
    std::error_code noMap;
    const fs::file_time_type drawn = fs::last_write_time(previewPath(name), noPicture);
    const fs::file_time_type edited = fs::last_write_time(headless::mapPath(name), noMap);
    return noPicture || noMap || drawn < std::max(drawnFrom, edited);
}

// Every map of the maps folder whose picture is missing or out of date.
std::vector<std::string> mapsToDraw(const std::string& root) {
    basePath = root + "/";
    // Either unreadable counts as the oldest time: the maps alone then decide.
    std::error_code error;
    const fs::file_time_type drawnFrom =
        std::max(fs::last_write_time("/proc/self/exe", error), fs::last_write_time(basePath + "assets.cvl", error));
    std::vector<std::string> names;
    for (const std::string& name : Utils::scanMapDirectory())
        if (fs::is_regular_file(headless::mapPath(name), error) && outOfDate(name, drawnFrom)) names.push_back(name);
    return names;
}

// False, with one line, when the map cannot be read or no picture comes out.
bool writePreview(const std::string& name) {
    reset_game_state();
    if (!headless::buildMapWorld(headless::mapPath(name))) return false;
    const std::string picture = previewPath(name);
    std::error_code ignored;
    const auto before = fs::last_write_time(picture, ignored);
    saveMapPreviewHardware(renderer, grid, name + ".map");
    std::error_code missing;
    const auto after = fs::last_write_time(picture, missing);
    if (missing || after == before) {
        std::cerr << "corvale_previews: no preview written for " << name << "\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: corvale_previews ROOT [MAP...]\n";
        return 2;
    }
    const std::vector<std::string> names = argc > 2 ? std::vector<std::string>(argv + 2, argv + argc) : mapsToDraw(argv[1]);
    if (names.empty()) return 0;
    if (!scene::loadContent(argv[1])) {
        std::cerr << "corvale_previews: the content or art under " << argv[1] << " cannot be loaded\n";
        scene::release();
        return 1;
    }
    int failed = 0;
    for (const std::string& name : names)
        if (!writePreview(name)) ++failed;
    reset_game_state();
    scene::release();
    return failed == 0 ? 0 : 1;
}
