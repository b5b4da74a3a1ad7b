// Runs a match without a window, from a command log or as a built-in battle or economy game, and prints the
// simulation's ticks per second, the peak memory and the final world checksum.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "computer_match.h"
#include "game_session.h"
#include "game_state.h"
#include "headless_net.h"
#include "headless_replay.h"
#include "headless_session.h"
#include "tower_defense_match.h"

namespace {

struct Run {
    int ticks = 0;
    double seconds = 0.0;
};

Run simulate(int ticks, const headless::Script& script) {
    const auto start = std::chrono::steady_clock::now();
    Run run;
    for (int turn = 0; run.ticks < ticks; ++turn) {
        applyLiveTurn(script(turn), grid, 0);
        if (paused) continue;
        advanceOneTurn(grid);
        ++run.ticks;
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
}

Run replay(int ticks) {
    const auto start = std::chrono::steady_clock::now();
    Run run;
    for (; run.ticks < ticks; ++run.ticks) headless::runReplayTick(grid);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
}

void report(const char* scenario, const Run& run) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double tps = run.seconds > 0.0 ? run.ticks / run.seconds : 0.0;
    std::printf("scenario: %s  map: %s  units: %zu  buildings: %zu\n", scenario, MAP_FILE.c_str(), units.size(),
                buildings.size());
    std::printf("ticks: %d  seconds: %.3f  ticks per second: %.1f  (%.1fx real time)\n", run.ticks, run.seconds, tps,
                tps * TURN_LENGTH);
    std::printf("peak memory: %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    std::printf("checksum: %016" PRIx64 "\n", worldChecksum());
}

int usage() {
    std::cerr << "usage: corvale_run replay LOG [TICKS]\n"
                 "       corvale_run seek LOG TURN...\n"
                 "       corvale_run battle [UNITS_PER_SIDE=200] [TICKS=3000]\n"
                 "       corvale_run economy [TICKS=6000]\n"
                 "       corvale_run computer [MAP=fight] [TICKS=56250] [STRATEGY=menu|rush|turtle] [LOG]\n"
                 "       corvale_run resume SAVE [PLAY_ON_TO_TURN]\n"
                 "       corvale_run towerdefense [MODS=true] [TICKS=18750]\n"
                 "       corvale_run net host|join|solo ...\n";
    return 2;
}

int intArgument(int argc, char** argv, int index, int fallback) {
    return argc > index ? std::max(1, std::atoi(argv[index])) : fallback;
}

bool startReplayFrom(const char* path) {
    std::ifstream log(path, std::ios::binary);
    if (!log.is_open()) {
        std::cerr << path << ": cannot be opened\n";
        return false;
    }
    return headless::startReplay(log);
}

int runReplay(int argc, char** argv) {
    if (argc < 3) return usage();
    if (!startReplayFrom(argv[2])) return 1;
    const int recorded = replayTurns.empty() ? 0 : replayTurns.back().tick + 1;
    report("replay", replay(intArgument(argc, argv, 3, recorded)));
    return 0;
}

// Seeks the replay to each turn in the order given, as a click on the replay bar does, and prints where each seek
// landed, how long it took and the checksum there.
int runSeek(int argc, char** argv) {
    if (argc < 4) return usage();
    if (!startReplayFrom(argv[2])) return 1;
    for (int i = 3; i < argc; ++i) {
        const auto start = std::chrono::steady_clock::now();
        jump_to_turn(std::max(0, std::atoi(argv[i])));
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("turn: %d  seconds: %.3f  checksum: %016" PRIx64 "\n", lockstep.currentTurn, seconds,
                    worldChecksum());
    }
    return 0;
}

int runBattle(int argc, char** argv) {
    headless::Script script;
    if (!headless::startBattle(intArgument(argc, argv, 2, 200), script)) return 1;
    report("battle", simulate(intArgument(argc, argv, 3, 3000), script));
    return 0;
}

int runEconomy(int argc, char** argv) {
    headless::Script script;
    if (!headless::startEconomy(script)) return 1;
    report("economy", simulate(intArgument(argc, argv, 2, 6000), script));
    return 0;
}

// The named strategy, or one drawn as the lobby's Add AI draws it; nothing for an unknown name.
std::unique_ptr<BaseAI> namedStrategy(const std::string& name) {
    if (name == "rush" || name == "turtle") return strategyNamed(name);
    if (name == "menu") return drawComputerStrategy();
    std::cerr << "unknown strategy \"" << name << "\": menu, rush or turtle\n";
    return nullptr;
}

// The computer player against an idle local player; LOG, when given, receives the match's command log.
int runComputer(int argc, char** argv) {
    headless::ComputerMatch match;
    std::unique_ptr<BaseAI> strategy = namedStrategy(argc > 4 ? argv[4] : "menu");
    if (!strategy) return usage();
    if (!match.start(argc > 2 ? argv[2] : "fight", std::move(strategy))) return 1;
    if (argc > 5) headless::openCommandLog(argv[5]);
    report("computer", simulate(intArgument(argc, argv, 3, headless::COMPUTER_MATCH_TICKS), match.script()));
    match.print();
    return 0;
}

// Live turns of a lone match after a catch-up, as fast as they run, until the turn: the computer player thinks and
// its orders make the next turn.
void playOnTo(int target) {
    while (lockstep.currentTurn < target) {
        std::vector<Command> turn;
        turn.swap(lockstep.pendingCommands);
        applyLiveTurn(turn, grid, 0);
        advanceOneTurn(grid);
        runComputerPlayers(grid);
    }
}

// A saved game resumed as the Load dialog resumes it, through the match frames at the real clock, in a scratch
// folder beside the content: how long the catch-up took and the checksum on the turn it went live, and with a turn
// given, the checksum there after playing on. A save the dialog would refuse (its map changed, a race missing) is
// refused with the dialog's line.
int runResume(int argc, char** argv) {
    if (argc < 3) return usage();
    namespace fs = std::filesystem;
    char scratch[] = "/tmp/corvale_resume_XXXXXX";
    if (!mkdtemp(scratch)) {
        std::cerr << "corvale_run: no scratch folder\n";
        return 1;
    }
    const fs::path folder(scratch);
    std::error_code error;
    for (const char* entry : {"core", "maps", "src"})
        fs::create_symlink(fs::absolute(basePath + entry), folder / entry, error);
    fs::create_directories(folder / "saves", error);
    const std::string name = fs::path(argv[2]).filename().string();
    fs::copy_file(argv[2], folder / "saves" / name, error);
    if (error) {
        std::cerr << "corvale_run: " << argv[2] << ": " << error.message() << "\n";
        fs::remove_all(folder, error);
        return 1;
    }
    basePath = folder.string() + "/";
    if (!saveCanResume(name)) {
        fs::remove_all(folder, error);
        return 1;
    }
    load_game_filename = name;
    mode = GameMode::ResumedSave;
    DrawMatchFrame = [](Grid&, float) {};
    const auto start = std::chrono::steady_clock::now();
    int frames = 0;
    if (startGame(true, true, "", false))
        for (; mode == GameMode::ResumedSave && gameState == GameState::Match; ++frames) game_loop();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const bool resumed = gameState == GameState::Match && mode == GameMode::Skirmish;
    if (resumed)
        std::printf("resumed: turn %d  frames %d  seconds %.3f  checksum %016" PRIx64 "\n", lockstep.currentTurn,
                    frames, seconds, worldChecksum());
    if (resumed && argc > 3) {
        playOnTo(std::atoi(argv[3]));
        std::printf("played on: turn %d  checksum %016" PRIx64 "\n", lockstep.currentTurn, worldChecksum());
    }
    closeCommandLog();
    fs::remove_all(folder, error);
    return resumed ? 0 : 1;
}

// The shipped mod script's waves against the fight map's base, or with "false" the same match without the script.
int runTowerDefense(int argc, char** argv) {
    const bool mods = argc < 3 || std::string(argv[2]) != "false";
    if (!headless::startTowerDefense(mods, basePath + MOD_FOLDER)) return 1;
    const headless::Script noOrders = [](int) { return std::vector<Command>{}; };
    report(mods ? "towerdefense" : "towerdefense without mods",
           simulate(intArgument(argc, argv, 3, headless::TOWER_DEFENSE_TICKS), noOrders));
    const Player* defender = getPlayerById(headless::DEFENDER_ID);
    std::printf("defender gold: %d\n", defender ? defender->resources[RESOURCE_GOLD] : 0);
    headless::endTowerDefense();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    try {
        basePath = findAssetPath();
    } catch (const std::exception& e) {
        std::cerr << "corvale_run: " << e.what() << "\n";
        return 1;
    }
    try {
        loadConfig(basePath + "src/config.txt");
    } catch (const ConfigError& e) {
        std::cerr << "corvale_run: " << basePath << "src/config.txt: " << e.what() << "\n";
        return 1;
    }
    deriveConfigValues();
    // Images and sounds need a window and the mounted archive; the simulation reads none of them, so the
    // complaints about them are held back, and the order lines of every unit are not shown either.
    SDL_LogSetPriority(SDL_LOG_CATEGORY_APPLICATION, SDL_LOG_PRIORITY_WARN);
    std::ostringstream held;
    std::streambuf* errors = std::cerr.rdbuf(held.rdbuf());
    const bool content = headless::loadContent(basePath + "core");
    std::cerr.rdbuf(errors);
    if (!content) {
        std::cerr << "corvale_run: the content under " << basePath << "core cannot be loaded\n" << held.str();
        return 1;
    }
    const std::string scenario = argv[1];
    if (scenario == "replay") return runReplay(argc, argv);
    if (scenario == "seek") return runSeek(argc, argv);
    if (scenario == "battle") return runBattle(argc, argv);
    if (scenario == "economy") return runEconomy(argc, argv);
    if (scenario == "computer") return runComputer(argc, argv);
    if (scenario == "resume") return runResume(argc, argv);
    if (scenario == "towerdefense") return runTowerDefense(argc, argv);
    if (scenario == "net") return runNetMatch(argc, argv);
    return usage();
}
