// Roster rules: the experience curve and level-ups, enemy experience, the picker texts, moving units between the
// rosters and revival.
#include <gtest/gtest.h>

#include "extraction_roster.h"
#include "tech_tree.h"
#include "test_files.h"
#include "world_fixture.h"

struct Roster : MissionWorld {
    void TearDown() override {
        unitInfo.clear();
        MissionWorld::TearDown();
    }
};

TEST_F(Roster, TheCurveAndEnemyExperienceFollowTheirTables) {
    const std::pair<int, int64_t> curve[] = {{1, 0}, {2, 250}, {3, 637}, {4, 855}, {7, 1821}, {10, 3758}};
    for (const auto& [level, xp] : curve) EXPECT_EQ(get_xp_required_for_level(level), xp) << level;
    EXPECT_GT(get_xp_required_for_level(56), int64_t{INT32_MAX});

    const std::pair<int, int> unknownType[] = {{1, 25}, {2, 28}, {3, 32}, {5, 40}, {10, 58}};
    for (const auto& [level, xp] : unknownType) EXPECT_EQ(calculate_enemy_xp_gain("Nobody", level), xp) << level;
    unitInfo["Marine"].expGain = 40;
    EXPECT_EQ(calculate_enemy_xp_gain("Marine", 1), 40);
}

TEST_F(Roster, SevenHundredExperienceLiftsALevelOneUnitToLevelThree) {
    Unit unit;
    unit.maxHp = 100.0f;
    unit.hp = 30.0f;
    unit.damage = 10;
    ASSERT_TRUE(grantUnitExp(unit, 700));
    EXPECT_EQ(unit.level, 3);
    EXPECT_EQ(unit.experience, 700);
    EXPECT_FLOAT_EQ(unit.maxHp, 120.0f);
    EXPECT_FLOAT_EQ(unit.hp, 120.0f);
    EXPECT_EQ(unit.damage, 14);
    EXPECT_EQ(extraction_options[0].kills, 700);
}

TEST_F(Roster, TheMissionBudgetAndTheLevelCapRefuseExperience) {
    Unit unit;
    extraction_options[0].kills = 999;
    EXPECT_TRUE(grantUnitExp(unit, 10));
    EXPECT_EQ(extraction_options[0].kills, 1009) << "the last grant may overshoot";
    EXPECT_FALSE(grantUnitExp(unit, 10));
    EXPECT_EQ(unit.experience, 10);

    extraction_options[0].kills = 0;
    unit.level = 100;
    EXPECT_FALSE(grantUnitExp(unit, 10));
    deploymentSelectedMapId = -1;
    unit.level = 1;
    EXPECT_FALSE(grantUnitExp(unit, 10)) << "no mission chosen";
}

TEST_F(Roster, TheMapPickerTextsFollowTheirThresholds) {
    EXPECT_EQ(get_difficulty_label(499.9f), "ABANDONED");
    EXPECT_EQ(get_difficulty_label(500.0f), "CAKEWALK");
    EXPECT_EQ(get_difficulty_label(4200.0f), "SUICIDAL");
    EXPECT_EQ(get_map_size_label(100, 100), "LARGE");
    EXPECT_EQ(get_map_size_label(99, 101), "MEDIUM");
    EXPECT_EQ(get_map_size_label(128, 128), "MASSIVE");
    EXPECT_EQ(get_map_size_label(10, 10), "ENCOUNTER");
}

TEST_F(Roster, MovingUnitsKeepsTheDeadAboardAndFixesTheSelection) {
    std::vector<UnitSaveData> ship = {{"A", "a", 1, 0, 0, true}, {"B", "b", 1, 0, 0, false}, {"C", "c", 2, 0, 0, true}};
    std::vector<UnitSaveData> deployed;
    EXPECT_EQ(moveRosterUnit(ship, deployed, 1, false), 1) << "a dead unit stays";
    EXPECT_EQ(moveRosterUnit(ship, deployed, 2, false), 1) << "the last row selects the new last row";
    EXPECT_EQ(moveRosterUnit(ship, deployed, 0, false), 0);
    EXPECT_EQ(moveRosterUnit(deployed, ship, 0, true), 0);
    EXPECT_EQ(rosterRows(ship), (std::vector<std::string>{"b (B) - 1 DEAD", "c (C) - 2 ALIVE"}));
    EXPECT_EQ(moveRosterUnit(deployed, ship, 0, true), -1) << "the emptied list selects nothing";
    EXPECT_EQ(moveRosterUnit(deployed, ship, 0, true), 0) << "an invalid row moves nothing";
}

TEST_F(Roster, ReviveNeedsDnaCloningAndACryopodAndSavesAtOnce) {
    TempDir dir;
    extractionSaveFolder = dir.path.string() + "/";
    extraction_filename = "c.bin";
    shipRoster = {{"Marine", "Cody", 2, 300, 1, false}};
    techTree = {Tech{"dna", "DNA cloning", "", 1, false, 0, 0, nullptr}};
    global_cryppod_count = 1;
    EXPECT_EQ(reviveRosterUnit(0), Revival::Refused);
    techTree[0].unlocked = true;
    EXPECT_EQ(reviveRosterUnit(0), Revival::Revived);
    EXPECT_TRUE(shipRoster[0].alive);
    EXPECT_EQ(global_cryppod_count, 0);
    shipRoster[0].alive = false;
    EXPECT_EQ(reviveRosterUnit(0), Revival::Refused) << "no cryopod left";

    initExtractionData("c.bin");
    ASSERT_EQ(shipRoster.size(), 1u);
    EXPECT_TRUE(shipRoster[0].alive) << "the revival was saved";
    extractionSaveFolder = "./saves/extraction/";
    techTree.clear();
    resetExtractionData();
}

// A file where the campaign folder should be: the save fails, and the revival with it.
TEST_F(Roster, ARevivalTheFileCannotKeepIsNotDone) {
    TempDir dir;
    dir.write("blocked", "");
    extractionSaveFolder = (dir.path / "blocked").string() + "/";
    extraction_filename = "c.bin";
    shipRoster = {{"Marine", "Cody", 2, 300, 1, false}};
    techTree = {Tech{"dna", "DNA cloning", "", 1, true, 0, 0, nullptr}};
    global_cryppod_count = 1;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(reviveRosterUnit(0), Revival::NotSaved);
    ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(shipRoster[0].alive);
    EXPECT_EQ(global_cryppod_count, 1) << "the pod is not spent";
    extractionSaveFolder = "./saves/extraction/";
    techTree.clear();
    resetExtractionData();
}
