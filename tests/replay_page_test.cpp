// The replays page on logs whose map has moved on since they were recorded: only the map they were played on
// replays them.
#include <filesystem>
#include <string>

#include "lockstep.h"
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
        }
        if (gameState != GameState::Menus) endSession();
    }
}

}  // namespace
