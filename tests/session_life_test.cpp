// A session from start to tear-down: the live match, its command log, its replay and its saved copy resumed.
#include <algorithm>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "game_commands.h"
#include "minimap.h"
#include "session_fixture.h"

namespace {

constexpr int TURNS = 200;

void expectSameChecksums(const ChecksumsByTurn& live, const ChecksumsByTurn& again) {
    ASSERT_FALSE(again.empty());
    for (const auto& [turn, sum] : again) {
        ASSERT_TRUE(live.count(turn)) << "turn " << turn;
        EXPECT_EQ(sum, live.at(turn)) << "turn " << turn;
    }
}

using SessionLife = SessionTest;

TEST_F(SessionLife, LiveMatchWritesOneHeaderWithSortedKeysAndFloatsAsFloats) {
    playLiveMatch(TURNS);
    EXPECT_EQ(gameState, GameState::Menus);
    const std::filesystem::path log = onlyFileIn(root.path / "replays");
    EXPECT_TRUE(std::regex_match(log.filename().string(),
                                 std::regex(R"(replay_\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\.bin)")));
    const std::string text = readWholeFile(log);
    const std::string header = text.substr(0, text.find('\n'));
    const nlohmann::ordered_json doc = nlohmann::ordered_json::parse(header);
    std::vector<std::string> keys;
    for (const auto& item : doc.items()) keys.push_back(item.key());
    EXPECT_EQ(keys.size(), 27u);
    EXPECT_EQ(doc.at("MAP_FINGERPRINT"), mapFingerprint("fight")) << "the map played on, to know it again";
    EXPECT_EQ(doc.at("RECORDED_BY"), LOCAL_ID) << "the seat the log is seen from again";
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    for (const char* written : {"\"GAME_SPEED\":1.0,", "\"MAP_FILE\":\"fight\"",
                                "{\"ai\":false,\"id\":101,\"name\":\"Joes\",\"race\":\"human\"}"})
        EXPECT_NE(header.find(written), std::string::npos) << written;
    // One header: every other line is a command record.
    EXPECT_EQ(text.find("{\"AI\"", 1), std::string::npos);
    EXPECT_GT(std::count(text.begin(), text.end(), '\n'), 4);
    EXPECT_EQ(players.size(), 1u);
    EXPECT_EQ(nextAttackableId, FIRST_ATTACKABLE_ID);
}

TEST_F(SessionLife, LogReplaysToTheSameChecksumsAndEndsInTheMenus) {
    const ChecksumsByTurn live = playLiveMatch(TURNS);
    std::ifstream log(onlyFileIn(root.path / "replays"), std::ios::binary);
    ASSERT_TRUE(loadReplay(log));
    const int lastTick = replayTurns.back().tick;
    mode = GameMode::Replay;
    ASSERT_TRUE(startGame(true, false, MAP_FILE, true));
    const ChecksumsByTurn replayed = runFrames(TURNS * 4, 20.0, [] { return false; });
    expectSameChecksums(live, replayed);
    // The first tick due after the last recorded turn ends the replay; the next frame tears it down.
    EXPECT_EQ(gameState, GameState::Menus);
    EXPECT_EQ(replayed.rbegin()->first, lastTick + 1);
    EXPECT_TRUE(units.empty());
}

// The live log of a match played for the given turns, put into saves/ and started as a resumed save.
void startResumedCopy(SessionTest& test, const std::string& saved) {
    std::filesystem::remove_all(test.root.path / "replays");
    test.root.write("saves/resume.bin", saved);
    load_game_filename = "resume.bin";
    mode = GameMode::ResumedSave;
    ASSERT_TRUE(startGame(true, true, "some other map", false));
}

int progressFrames = 0;
void countProgressFrame() { ++progressFrames; }

// Every reading of this clock takes a millisecond, so a catch-up's turns can be counted against its budget.
uint64_t steppingNow = 1;
uint64_t steppingCounter() { return steppingNow += 1000000u; }

TEST_F(SessionLife, SavedCopyCatchesUpDrawingOnlyItsProgressThenGoesLive) {
    const ChecksumsByTurn live = playLiveMatch(TURNS, remineEvery(20));
    const std::string saved = readWholeFile(onlyFileIn(root.path / "replays"));
    startResumedCopy(*this, saved);
    EXPECT_EQ(currentMap, "fight") << "the save's own map";
    const std::size_t savedTurns = replayTurns.size();
    void (*keptProgress)() = DrawLoadProgress;
    DrawLoadProgress = countProgressFrame;
    progressFrames = 0;
    frameClock = FrameClock{steppingCounter, fake_clock::frequency, fake_clock::sleep};
    int framesInResumedMode = 0;
    ChecksumsByTurn resumed = runFrames(TURNS * 2, 20.0, [] { return mode != GameMode::ResumedSave; },
                                        [&] { ++framesInResumedMode; });
    DrawLoadProgress = keptProgress;
    frameClock = FrameClock{fake_clock::counter, fake_clock::frequency, fake_clock::sleep};
    // Several turns a frame, each frame but the one that goes live showing only the progress.
    EXPECT_GT(progressFrames, 1);
    EXPECT_EQ(progressFrames, framesInResumedMode - 1);
    EXPECT_LT(framesInResumedMode, replayTurns.back().tick / 2);
    EXPECT_EQ(mode, GameMode::Skirmish);
    EXPECT_EQ(replayTurnIndex, static_cast<int>(savedTurns));
    // Live again: the session goes on from the re-simulated world, to where the original stopped.
    const ChecksumsByTurn goneOn = runFrames(TURNS, 20.0, [] { return lockstep.currentTurn >= TURNS; });
    resumed.insert(goneOn.begin(), goneOn.end());
    expectSameChecksums(live, resumed);
    EXPECT_EQ(lockstep.currentTurn, TURNS);
    // The new log begins with the save, byte for byte.
    const std::string fresh = readWholeFile(onlyFileIn(root.path / "replays"));
    EXPECT_EQ(fresh.substr(0, saved.size()), saved);
    EXPECT_EQ(readWholeFile(root.path / "saves/resume.bin"), saved);
}

TEST_F(SessionLife, ACatchUpFrameRunsTurnsUntilOneFrameOfTheCapHasPassed) {
    playLiveMatch(TURNS, remineEvery(20));
    startResumedCopy(*this, readWholeFile(onlyFileIn(root.path / "replays")));
    const float keptFps = targetFps;
    frameClock = FrameClock{steppingCounter, fake_clock::frequency, fake_clock::sleep};
    struct Case {
        float fps;
        int turns;
    };
    // 8 ms is reached by the eighth turn exactly; 8.33 ms needs a ninth.
    for (const Case c : {Case{125.0f, 8}, Case{120.0f, 9}, Case{100.0f, 10}, Case{2000.0f, 1}}) {
        targetFps = c.fps;
        const int before = lockstep.currentTurn;
        process_loaded_game();
        EXPECT_EQ(lockstep.currentTurn - before, c.turns) << c.fps;
    }
    targetFps = keptFps;
    ASSERT_EQ(mode, GameMode::ResumedSave);
}

std::vector<std::string> sdlLogLines;
void keepSdlLogLine(void*, int, SDL_LogPriority, const char* message) { sdlLogLines.emplace_back(message); }

// The catch-up says once, in SDL's log, that the session goes on as live play.
TEST_F(SessionLife, TheCatchUpSaysOnceThatItGoesLive) {
    playLiveMatch(TURNS, remineEvery(20));
    startResumedCopy(*this, readWholeFile(onlyFileIn(root.path / "replays")));
    SDL_LogOutputFunction kept = nullptr;
    void* keptData = nullptr;
    SDL_LogGetOutputFunction(&kept, &keptData);
    sdlLogLines.clear();
    SDL_LogSetOutputFunction(keepSdlLogLine, nullptr);
    runFrames(TURNS * 2, 20.0, [] { return mode != GameMode::ResumedSave; });
    runFrames(3, 20.0, [] { return false; });
    SDL_LogSetOutputFunction(kept, keptData);
    EXPECT_EQ(mode, GameMode::Skirmish);
    EXPECT_EQ(std::count(sdlLogLines.begin(), sdlLogLines.end(), "changing to false"), 1);
}

TEST_F(SessionLife, EverySessionNamesItsOwnMapAndItsClocksStartAtZeroAndFollowTheTurnCounter) {
    for (int session = 0; session < 2; ++session) {
        currentMap = "highlands";
        gameTime = gameTimeSeconds = 500.0f;
        seatPlayers();
        ASSERT_TRUE(startGame(true, true, "fight", false));
        EXPECT_EQ(currentMap, "fight") << session;
        EXPECT_EQ(gameTime, 0.0f) << session;
        EXPECT_EQ(gameTimeSeconds, 0.0f) << session;
        int turnAtFrameStart = 0;
        runFrames(60, 20.0, [] { return false; }, [&] { turnAtFrameStart = lockstep.currentTurn; });
        ASSERT_GT(turnAtFrameStart, 40);
        // The clock of a frame is the match time of the turns done when it began, whatever the frames took.
        EXPECT_FLOAT_EQ(gameTimeSeconds, static_cast<float>(turnAtFrameStart) * lockstep.tickSeconds);
        EXPECT_EQ(minimapClockText(gameTimeSeconds).substr(0, 5), "00:0" + std::to_string(turnAtFrameStart * 16 / 1000));
        pendingShutdown = true;
        game_loop();
    }
}

// After a LAN match on highlands with its last ping, every kind of session names its own map and shows no ping.
TEST_F(SessionLife, TheHudOfTheNextSessionNamesItsMapAndForgetsTheLastPing) {
    const struct {
        const char* kind;
        std::function<bool()> start;
    } kinds[] = {
        {"match", [] { return startGame(true, true, "fight", false); }},
        {"map editor", [] { return start_map_editor("fight"); }},
    };
    for (const auto& next : kinds) {
        seatPlayers();
        ASSERT_TRUE(startGame(true, true, "fight", false));
        currentMap = "highlands";
        latencyMs = 47;
        endSession();
        seatPlayers();
        ASSERT_TRUE(next.start()) << next.kind;
        EXPECT_EQ(currentMap, "fight") << next.kind;
        EXPECT_EQ(latencyMs, 0) << next.kind;
        endSession();
    }
}

TEST_F(SessionLife, TwoSessionsInARowLeakNothingAndStartFromTheSameSeeds) {
    SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, 64, 64, 32, SDL_PIXELFORMAT_RGBA32);
    renderer = SDL_CreateSoftwareRenderer(target);
    mountAssets(CORVALE_SOURCE_DIR);
    std::vector<uint64_t> finals;
    std::vector<int> allocations;
    std::vector<int> firstDraws;
    // The first session may make what later ones reuse, whatever ran before: the second and third are compared.
    for (int session = 0; session < 3; ++session) {
        const ChecksumsByTurn sums = playLiveMatch(60);
        finals.push_back(sums.rbegin()->second);
        allocations.push_back(SDL_GetNumAllocations());
        seatPlayers();
        ASSERT_TRUE(startGame(true, true, "fight", false));
        firstDraws.push_back(static_cast<int>(rng() % 100000) * 100000 + std::rand() % 100000);
        pendingShutdown = true;
        game_loop();
    }
    EXPECT_EQ(finals[0], finals[2]);
    EXPECT_EQ(firstDraws[0], firstDraws[2]);
    EXPECT_EQ(allocations[1], allocations[2]);
    EXPECT_NE(texGrass, nullptr);
    releaseTextures();
    SDL_DestroyRenderer(renderer);
    renderer = nullptr;
    SDL_FreeSurface(target);
    PHYSFS_deinit();
}

}  // namespace
