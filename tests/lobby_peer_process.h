// Game processes for the tests: a game folder on the source tree's content, and a lobby peer process whose
// standard output is read line by line.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "test_files.h"

// A game folder on the source tree's content, so what the game writes (its replays) stays out of the tree.
inline std::string gameFolder(const TempDir& dir, const std::string& name) {
    const std::filesystem::path folder = dir.makeDir(name);
    for (const char* entry : {"assets.cvl", "core", "src", "maps"})
        std::filesystem::create_symlink(std::filesystem::path(CORVALE_SOURCE_DIR) / entry, folder / entry);
    return folder.string();
}

// A lobby peer whose standard output is read line by line.
class Peer {
public:
    Peer(const std::string& folder, const std::string& role, const std::string& port, int ticks = 1000,
         const std::string& ending = "leave", const std::string& seats = "") {
        const std::string command = "'" + std::string(CORVALE_LOBBY_PEER) + "' '" + folder + "' " + role + " " +
                                    port + " secret " + std::to_string(ticks) + " " + ending + " " + seats;
        out = popen(command.c_str(), "r");
    }
    ~Peer() {
        if (out) pclose(out);
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    std::string line() {
        char buffer[512];
        if (!out || !std::fgets(buffer, sizeof buffer, out)) return "";
        std::string text = buffer;
        if (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }
    std::vector<std::string> rest() {
        std::vector<std::string> lines;
        for (std::string text = line(); !text.empty(); text = line()) lines.push_back(text);
        return lines;
    }

private:
    FILE* out = nullptr;
};

