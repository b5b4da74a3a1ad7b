// Mission files and their objectives: the shipped mission, refused files, the per-tick check and starting units.
#include <optional>

#include "missions.h"
#include "mod_world.h"

namespace {

const std::string SHIPPED_MISSION = std::string(CORVALE_SOURCE_DIR) + "/core/data/missions/fight.json";

struct Missions : ModWorld {
    void TearDown() override {
        currentMission = Mission{};
        missionActive = false;
        mode = GameMode::Skirmish;
        ModWorld::TearDown();
    }
};

TEST_F(Missions, ShippedMissionForTheFightMapNamesKnownTypes) {
    const std::optional<Mission> m = loadMission(SHIPPED_MISSION);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->map, "fight");
    EXPECT_EQ(m->mapWidth, 64);
    ASSERT_EQ(m->objectives.size(), 3u);
    for (const Objective& o : m->objectives)
        EXPECT_TRUE(o.type == "train" ? unitInfo.count(o.target) : buildingInfo.count(o.target)) << o.target;
    ASSERT_FALSE(m->startingUnits.empty());
    for (const EntitySpawn& s : m->startingUnits) EXPECT_TRUE(unitInfo.count(s.type)) << s.type;
    mode = GameMode::Extraction;
    EXPECT_TRUE(loadMission(SHIPPED_MISSION)->startingUnits.empty());
}

TEST_F(Missions, AMalformedFileIsRefusedWithOneLineNamingTheKey) {
    const nlohmann::json shipped = nlohmann::json::parse(readWholeFile(SHIPPED_MISSION));
    // Without a replacement the key is taken out.
    const std::pair<const char*, std::optional<nlohmann::json>> faults[] = {
        {"/name", {}}, {"/map", {}}, {"/mapWidth", {}}, {"/mapHeight", {}}, {"/description", {}}, {"/aiType", {}},
        {"/objectives/0/id", {}}, {"/objectives/1/type", {}}, {"/objectives/2/target", {}},
        {"/objectives/0/description", {}}, {"/startingUnits/0/type", {}}, {"/startingUnits/1/owner", {}},
        {"/mapWidth", "wide"}, {"/mapHeight", 1e30}, {"/objectives/1/count", nlohmann::json::array()},
        {"/startingUnits/0/x", "left"}, {"/objectives", 5}, {"/name", nullptr}};
    for (const auto& [pointer, replacement] : faults) {
        nlohmann::json doc = shipped;
        const nlohmann::json::json_pointer at(pointer);
        if (replacement)
            doc[at] = *replacement;
        else
            doc[at.parent_pointer()].erase(at.back());
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(loadMission(scripts.write("mission.json", doc.dump()))) << pointer;
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("\"" + at.back() + "\""), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    }
}

TEST_F(Missions, ATrainObjectiveIsDoneOnTheTickTheCountIsReachedAndTellsTheScriptOnce) {
    start("completed = ''\nfunction onObjectiveComplete(id) completed = completed .. (id or '<none>') .. ';' end");
    const int marines = getUnitCount("Marine", headless::DEFENDER_ID);
    currentMission.objectives = {{"more", "", "train", "Marine", marines + 1},
                                 {"", "", "train", "Marine", 0},
                                 {"odd", "", "raze", "Marine", 0}};
    missionActive = true;
    tick(1);
    const Objective& more = currentMission.objectives[0];
    EXPECT_FALSE(more.done);
    EXPECT_EQ(more.current, marines);
    spawnUnitAt("Marine", headless::DEFENDER_ID, {20.5f, 20.5f});
    tick(2);
    EXPECT_TRUE(more.done);
    EXPECT_EQ(more.current, marines + 1);
    EXPECT_FALSE(currentMission.objectives[2].done);
    EXPECT_EQ(evaluate("completed"), "<none>;more;");
}

TEST_F(Missions, BuildAndDestroyLookAtTheRightPlayer) {
    start("");
    Objective built{"b", "", "build", buildings.front().type};
    Objective notBuilt{"b", "", "build", "HumanBarracks"};
    Objective razed{"d", "", "destroy", "OrcCamp"};
    EXPECT_TRUE(isObjectiveDone(built));
    EXPECT_FALSE(isObjectiveDone(notBuilt));
    EXPECT_TRUE(isObjectiveDone(razed));
    Player::aiId = 99;
    EXPECT_FALSE(isObjectiveDone(razed));
}

TEST_F(Missions, StartingUnitsGoToTheirOwnersAndUnplaceableOnesAreSkipped) {
    start("");
    currentMission.startingUnits = {{"Marine", 20, 20, "enemy"}, {"Marine", 22, 20, "Enemy"},
                                    {"Marine", 999, 0, "enemy"}, {"NoSuch", 5, 5, "enemy"}};
    const size_t before = units.size();
    ::testing::internal::CaptureStderr();
    initMissionUnits();
    EXPECT_EQ(units.size() - before, 2u);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(units[before].playerId, headless::ATTACKER_ID);
    EXPECT_EQ(worldToSubTile(units[before].x, units[before].y), (V2i{80, 80}));
    EXPECT_EQ(units[before + 1].playerId, headless::DEFENDER_ID);
    mode = GameMode::Extraction;
    initMissionUnits();
    EXPECT_EQ(units.size(), before + 2);
}

}  // namespace
