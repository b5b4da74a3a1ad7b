// One scratch folder per fuzz run, for the readers that take a path rather than bytes.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

// The folder's path with a trailing slash, made on the first call.
inline const std::string& scratchFolder() {
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "corvale-fuzz-XXXXXX").string();
        const char* made = mkdtemp(pattern.data());
        return std::string(made ? made : ".") + "/";
    }();
    return folder;
}
