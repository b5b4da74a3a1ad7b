// Where tests write the pictures a person should judge: screenshots/ beside the test binary.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <string>

inline std::string screenshotFolder() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    const std::filesystem::path exe(std::string(path, n > 0 ? static_cast<std::size_t>(n) : 0));
    return (exe.parent_path() / "screenshots").string();
}
