// The replays page: a log replays only on the map it was recorded on, and every refused play says why on the page.
#include <filesystem>
#include <string>

#include "game_replay.h"
#include "lockstep.h"
#include "sdl_events.h"
#include "page_refusal.h"
#include "session_fixture.h"
#include "ui/replays_page.h"

namespace {

using ReplayPage = DrawnSessionTest;

// The map file of a recorded match: left alone, edited in place, or left as it was by a log that never named
// its fingerprint.
enum class RecordedMap { Untouched, Edited, UnprintedLog };

TEST_F(ReplayPage, PlaysALogOnlyOnTheMapItWasRecordedOn) {
    const std::filesystem::path maps = std::filesystem::path(CORVALE_SOURCE_DIR) / "maps";
    const struct {
        RecordedMap map;
        bool plays;
    } cases[] = {{RecordedMap::Untouched, true}, {RecordedMap::Edited, false}, {RecordedMap::UnprintedLog, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.map));
        std::filesystem::remove_all(root.path / "replays");
        std::filesystem::copy_file(maps / "fight.map", root.path / "maps/fight.map",
                                   std::filesystem::copy_options::overwrite_existing);
        playLiveMatch(40);
        const std::filesystem::path log = onlyFileIn(root.path / "replays");
        if (c.map == RecordedMap::Edited)
            std::filesystem::copy_file(maps / "highlands.map", root.path / "maps/fight.map",
                                       std::filesystem::copy_options::overwrite_existing);
        if (c.map == RecordedMap::UnprintedLog) {
            const std::string bytes = readWholeFile(log);
            nlohmann::json header = nlohmann::json::parse(bytes.substr(0, bytes.find('\n')));
            header.erase("MAP_FINGERPRINT");
            root.write("replays/" + log.filename().string(), header.dump() + bytes.substr(bytes.find('\n')));
            std::filesystem::copy_file(maps / "highlands.map", root.path / "maps/fight.map",
                                       std::filesystem::copy_options::overwrite_existing);
        }
        ReplaysPage page(&mainMenu);
        page.init();
        page.chosenReplay = log.filename().string();
        ::testing::internal::CaptureStderr();
        const bool played = page.play();
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(played, c.plays) << said;
        EXPECT_EQ(gameState, c.plays ? GameState::Match : GameState::Menus);
        if (!c.plays) {
            EXPECT_NE(said.find("its map \"fight\" has changed since"), std::string::npos) << said;
            EXPECT_EQ(Player::myStaticId, LOCAL_ID) << "the run's own seat stays";
            EXPECT_EQ(page.refusalLine, "This replay cannot be played.");
        }
        if (gameState != GameState::Menus) endSession();
    }
}

// Each refused "Play replay" says so under the list, where the player looks; choosing a row takes the line away.
TEST_F(ReplayPage, ARefusedPlaySaysSoUnderTheList) {
    root.write("replays/notes.txt", "not a log\n");
    root.write("replays/cut.bin", "{\"AI\":tr");
    root.write("replays/gone.bin", "");
    ReplaysPage page(&mainMenu);
    page.init();
    std::filesystem::remove(root.path / "replays/gone.bin");
    const struct {
        std::string chosen;
        const char* line;
    } cases[] = {
        {"", "Choose a replay first."},
        {"notes.txt", "This replay cannot be played."},
        {"cut.bin", "This replay cannot be played."},
        {"gone.bin", "This replay cannot be played."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen);
        page.chosenReplay = c.chosen;
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(page.play());
        ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(page.refusalLine, c.line);
        EXPECT_EQ(gameState, GameState::Menus);
    }
    EXPECT_GT(refusalLinePixels(page, "replays_page_refusal"), 50) << "the line under the list";
    page.replayList.onSelect(0, page.replayFiles[0]);
    EXPECT_EQ(page.refusalLine, "");
}

// A replay chosen on the page, paused with "p", sought back to the middle by a press on the bar, and resumed plays
// through the worlds of the live match and ends back at the menus.
TEST_F(ReplayPage, PausedSoughtBackAndResumedItPlaysTheLiveWorldsToTheMenus) {
    const ChecksumsByTurn live = playLiveMatch(300);
    static PointerView pointer{0, 0, 1280, 720};
    PointerView (*const kept)() = readPointerView;
    readPointerView = [] { return pointer; };
    const auto send = [](SDL_Event e) {
        ASSERT_EQ(SDL_PushEvent(&e), 1);
        game_loop();
    };
    ReplaysPage page(&mainMenu);
    page.init();
    page.chosenReplay = onlyFileIn(root.path / "replays").filename().string();
    ASSERT_TRUE(page.play());
    ChecksumsByTurn replayed = runFrames(500, 20.0, [] { return lockstep.currentTurn >= 200; });
    send(keyEvent(SDLK_p));
    const int pausedAt = lockstep.currentTurn;
    runFrames(10, 20.0, [] { return false; });
    EXPECT_EQ(lockstep.currentTurn, pausedAt) << "paused";
    pointer.mouseX = static_cast<float>(replay_bar.x) + static_cast<float>(replay_bar.w) / 2;
    pointer.mouseY = static_cast<float>(replay_bar.y) + 1;
    send(press(pointer.mouseX, pointer.mouseY));
    EXPECT_LT(lockstep.currentTurn, pausedAt) << "sought back";
    EXPECT_EQ(worldChecksum(), live.at(lockstep.currentTurn));
    EXPECT_TRUE(replayPaused);
    send(keyEvent(SDLK_p));
    const ChecksumsByTurn resumed = runFrames(5000, 20.0, [] { return false; });
    readPointerView = kept;
    EXPECT_EQ(gameState, GameState::Menus);
    replayed.insert(resumed.begin(), resumed.end());
    for (const auto& [turn, sum] : replayed) EXPECT_EQ(sum, live.at(turn)) << turn;
    EXPECT_GE(replayed.rbegin()->first, 299);
}

}  // namespace
