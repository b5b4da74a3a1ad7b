// Shared helpers: JSON file loading.
#include "utils.h"

#include <exception>
#include <fstream>
#include <iostream>

namespace Utils {

nlohmann::json loadJsonFile(const std::string& path) {
    std::ifstream in(path);
    if (!in.is_open()) {
        std::cerr << "[JSON ERROR] Failed to open file: " << path << "\n";
        return nlohmann::json();
    }
    nlohmann::json doc;
    try {
        in >> doc;
    } catch (const std::exception& e) {
        std::cerr << "[JSON ERROR] Failed to parse " << path << ": " << e.what() << "\n";
        return nlohmann::json();
    }
    return doc;
}

}  // namespace Utils
