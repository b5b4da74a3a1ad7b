// Temporary folders and files for tests that read or write the file system.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

// A fresh folder under the system's temporary directory, removed with everything in it at scope end.
struct TempDir {
    std::filesystem::path path;

    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "corvale-test-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string str() const { return path.string(); }
    std::string operator/(const std::string& relative) const { return (path / relative).string(); }

    // Writes the bytes exactly (no line-end translation), making parent folders as needed.
    std::string write(const std::string& relative, const std::string& bytes) const {
        const std::filesystem::path file = path / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
        return file.string();
    }
    std::string makeDir(const std::string& relative) const {
        std::filesystem::create_directories(path / relative);
        return (path / relative).string();
    }
};

inline std::string readWholeFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs the test body in another working directory and restores the old one afterwards.
struct WorkingDirectory {
    std::filesystem::path saved = std::filesystem::current_path();
    explicit WorkingDirectory(const std::filesystem::path& dir) { std::filesystem::current_path(dir); }
    ~WorkingDirectory() { std::filesystem::current_path(saved); }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;
};
