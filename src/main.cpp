// Program entry: start-up, the top-level loop and shutdown.
#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>

#include "config.h"
#include "game_state.h"
#include "utils.h"

namespace {

// A start-up step that throws ends the program with one line naming the file and the fault, never a core dump.
bool findAssetRoot() {
    try {
        basePath = findAssetPath();
        return true;
    } catch (const std::exception& e) {
        std::cerr << "corvale: assets.cvl or core/ (in . or ..): " << e.what() << "\n";
        return false;
    }
}

bool readConfiguration() {
    const std::string path = basePath + "src/config.txt";
    try {
        loadConfig(path);
        return true;
    } catch (const std::logic_error& e) {
        std::cerr << "corvale: " << path << ": a number is malformed or out of range (" << e.what() << ")\n";
        return false;
    } catch (const std::exception& e) {
        std::cerr << "corvale: " << path << ": " << e.what() << "\n";
        return false;
    }
}

}  // namespace

int main(int, char**) {
    if (!findAssetRoot()) return 1;
    if (!readConfiguration()) return 1;
    deriveConfigValues();
    return 0;
}
