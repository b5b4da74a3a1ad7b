// The built game started on a copy of the shipped content with one piece broken: a piece the game cannot do without
// ends it with one line naming the file and exit code 1; any other piece is one line and a game that runs on and
// ends cleanly when its window is closed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "sdl_text.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;

// The shipped content tree, configuration and maps, hard-linked into a fresh folder; a broken piece replaces its
// link, never the shipped file under it.
struct ContentCopy {
    TempDir dir;

    ContentCopy() {
        for (const char* folder : {"core", "maps"})
            fs::copy(fs::path(CORVALE_SOURCE_DIR) / folder, dir.path / folder,
                     fs::copy_options::recursive | fs::copy_options::create_hard_links);
        dir.write("src/config.txt", readWholeFile(fs::path(CORVALE_SOURCE_DIR) / "src/config.txt"));
    }
    void remove(const std::string& relative) const { ASSERT_TRUE(fs::remove(dir.path / relative)) << relative; }
    void replace(const std::string& relative, const std::string& bytes) const {
        remove(relative);
        dir.write(relative, bytes);
    }
};

struct GameRun {
    int exitCode = -1;  // stays -1 when a signal ended the game
    std::vector<std::string> lines;
};

// Runs the built game in the folder and gathers its error stream. Once a line holding quitAfter appears, the
// game is asked to end as a closed window asks it (SDL turns SIGTERM into the quit event); a game that hangs is
// ended after a minute.
GameRun runGame(const fs::path& folder, const std::string& quitAfter) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeEnds[1], STDERR_FILENO);
        const int nowhere = open("/dev/null", O_WRONLY);
        dup2(nowhere, STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        if (chdir(folder.c_str()) != 0) _exit(127);
        // timeout hands the SIGTERM on to the game and ends with the game's own status.
        execlp("timeout", "timeout", "--preserve-status", "-s", "TERM", "60", CORVALE_PROGRAM,
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    GameRun run;
    FILE* errors = fdopen(pipeEnds[0], "r");
    char buffer[4096];
    while (errors && std::fgets(buffer, sizeof buffer, errors)) {
        std::string line = buffer;
        if (!line.empty() && line.back() == '\n') line.pop_back();
        // Another game on this machine may hold the discovery ports; the game goes on without discovery.
        if (line.rfind("UDP_Open failed: ", 0) == 0) continue;
        run.lines.push_back(line);
        if (!quitAfter.empty() && line.find(quitAfter) != std::string::npos) kill(pid, SIGTERM);
    }
    if (errors) std::fclose(errors);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    return run;
}

const std::string HUMAN = "core/data/races/human/";
const std::string FONT = FONT_PATH;

struct BrokenPiece {
    const char* what;
    std::function<void(const ContentCopy&)> breakIt;
    std::vector<std::string> lines;  // each line begins with its text; the order is the game's
};

void expectLines(const GameRun& run, const BrokenPiece& piece) {
    ASSERT_EQ(run.lines.size(), piece.lines.size()) << ::testing::PrintToString(run.lines);
    for (std::size_t i = 0; i < piece.lines.size(); ++i)
        EXPECT_EQ(run.lines[i].rfind(piece.lines[i], 0), 0u) << run.lines[i];
}

TEST(BrokenContent, APieceTheGameCannotDoWithoutEndsItWithOneLineNamingTheFile) {
    const BrokenPiece pieces[] = {
        {"font missing", [](const ContentCopy& c) { c.remove(FONT); }, {"PhysFS could not open: " + FONT}},
        {"font not a font", [](const ContentCopy& c) { c.replace(FONT, "not a font at all"); },
         {"TTF_OpenFontRW failed: " + FONT}},
        {"units not JSON", [](const ContentCopy& c) { c.replace(HUMAN + "units.json", "{"); },
         {"Content error: ./" + HUMAN + "units.json: not JSON: "}},
        {"units with a text for a number",
         [](const ContentCopy& c) { c.replace(HUMAN + "units.json", R"({"Scavenger": {"hp": "lots"}})"); },
         {"Content error: ./" + HUMAN + "units.json: [json.exception.type_error.302] type must be number"}},
        {"race named by a number", [](const ContentCopy& c) { c.replace(HUMAN + "race.json", R"({"name": 5})"); },
         {"Content error: ./" + HUMAN + "race.json: [json.exception.type_error.302] type must be string"}},
        {"sounds of an unknown kind", [](const ContentCopy& c) { c.replace(HUMAN + "sounds.json", R"({"Noise": {}})"); },
         {"Content error: ./" + HUMAN + "sounds.json: Unknown SoundCategory: Noise"}},
        {"shared settings cut short",
         [](const ContentCopy& c) { c.replace("core/data/races/global/global.json", R"({"MainMenuMusic": [)"); },
         {"Content error: ./core/data/races/global/global.json: "}},
    };
    for (const BrokenPiece& piece : pieces) {
        SCOPED_TRACE(piece.what);
        const ContentCopy content;
        piece.breakIt(content);
        const GameRun run = runGame(content.dir.path, "");
        EXPECT_EQ(run.exitCode, 1);
        expectLines(run, piece);
    }
}

TEST(BrokenContent, AnyOtherPieceIsOneLineAndTheGameRunsOnToACleanEnd) {
    const std::string sounds = "core/assets/sounds/units/";
    const BrokenPiece pieces[] = {
        {"unit sheet missing", [](const ContentCopy& c) { c.remove("core/assets/units/human/Scavenger.png"); },
         {"PhysFS failed to open: core/assets/units/human/Scavenger.png"}},
        // Shorter than any sound header.
        {"sound too short to decode", [&](const ContentCopy& c) { c.replace(sounds + "Scavenger_death.wav", "junk"); },
         {"[ERROR] Failed to load sound: " + sounds + "Scavenger_death.wav | SDL_mixer: "}},
        {"sound that is no sound",
         [&](const ContentCopy& c) { c.replace(sounds + "Scavenger_ready.wav", std::string(4096, 'x')); },
         {"[ERROR] Failed to load sound: " + sounds + "Scavenger_ready.wav | SDL_mixer: "}},
        // A missing file is no fault and says nothing: the background's line that follows it is the only one.
        {"units file missing",
         [](const ContentCopy& c) {
             c.remove(HUMAN + "units.json");
             c.remove("core/assets/global/ui/main_menu_background.png");
         },
         {"PhysFS failed to open: core/assets/global/ui/main_menu_background.png"}},
        {"units file empty", [](const ContentCopy& c) { c.replace(HUMAN + "units.json", ""); },
         {"[JSON ERROR] Failed to parse ./" + HUMAN + "units.json: the file is empty",
          "Unit data is empty. Check file: ./" + HUMAN + "units.json"}},
        {"menu background missing", [](const ContentCopy& c) { c.remove("core/assets/global/ui/main_menu_background.png"); },
         {"PhysFS failed to open: core/assets/global/ui/main_menu_background.png"}},
    };
    for (const BrokenPiece& piece : pieces) {
        SCOPED_TRACE(piece.what);
        const ContentCopy content;
        piece.breakIt(content);
        const GameRun run = runGame(content.dir.path, piece.lines.back());
        EXPECT_EQ(run.exitCode, 0);
        expectLines(run, piece);
    }
}

}  // namespace
