// The units catalogue file: defaults, mappings, merging between races and malformed input.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>

#include "projectiles.h"
#include "units.h"

namespace {

namespace fs = std::filesystem;

struct UnitCatalogue : ::testing::Test {
    fs::path dir;

    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("corvale_units_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(dir);
        unitInfo.clear();
    }
    void TearDown() override {
        fs::remove_all(dir);
        unitInfo.clear();
    }

    std::string write(const std::string& name, const std::string& text) {
        fs::path p = dir / name;
        std::ofstream(p) << text;
        return p.string();
    }

    std::string loadCapturingErrors(const std::string& path) {
        testing::internal::CaptureStderr();
        loadUnitInfo(path, "orc");
        return testing::internal::GetCapturedStderr();
    }
};

TEST_F(UnitCatalogue, EmptyEntryTakesEveryDefault) {
    loadUnitInfo(write("units.json", R"({"Blob": {}})"), "orc");
    const UnitInfo* u = getUnitInfo("Blob");
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->type, "Blob");
    EXPECT_EQ(u->hp, 10);
    EXPECT_EQ(u->damage, 1);
    EXPECT_EQ(u->piercing, 0);
    EXPECT_FLOAT_EQ(u->range, 1.0f);
    EXPECT_EQ(u->sight, 5);
    EXPECT_EQ(u->wTiles, 1);
    EXPECT_EQ(u->subtiles, 1);
    EXPECT_FLOAT_EQ(u->movementSpeed, 1.0f);
    EXPECT_TRUE(u->canAttack);
    EXPECT_EQ(u->category, UnitCategory::Ground);
    EXPECT_EQ(u->attackType, AttackType::None);
    EXPECT_EQ(u->walkable, Tile::Grass);
    EXPECT_EQ(u->race, "Unknown");
    EXPECT_TRUE(u->projectile.empty());
    EXPECT_EQ(u->attackTargets, 0);
}

TEST_F(UnitCatalogue, TextsMapToTheirCodes) {
    loadUnitInfo(write("units.json", R"({
        "Boat": {"walkable": "Water", "category": "Naval", "attackType": "Siege", "attackTargets": ["Ground", "Space"]},
        "Ghost": {"walkable": "Any", "category": "Air", "attackType": "Instant"},
        "Mudder": {"walkable": "Mud", "category": "air", "attackType": "melee"},
        "Shorer": {"walkable": "Shore", "buildMenu": ["Farm", "Barracks"], "hp": 12.9, "sight": -7.9}})"),
                 "orc");
    EXPECT_EQ(unitInfo.at("Boat").walkable, Tile::Water);
    EXPECT_EQ(unitInfo.at("Boat").category, UnitCategory::Naval);
    EXPECT_EQ(unitInfo.at("Boat").attackType, AttackType::Siege);
    EXPECT_EQ(unitInfo.at("Boat").attackTargets, 5);
    EXPECT_EQ(unitInfo.at("Ghost").walkable, Tile::Any);
    EXPECT_EQ(unitInfo.at("Ghost").category, UnitCategory::Air);
    EXPECT_EQ(unitInfo.at("Mudder").walkable, Tile::Grass);
    EXPECT_EQ(unitInfo.at("Mudder").category, UnitCategory::Ground);
    EXPECT_EQ(unitInfo.at("Mudder").attackType, AttackType::None);
    EXPECT_EQ(unitInfo.at("Shorer").walkable, Tile::Grass);
    EXPECT_EQ(unitInfo.at("Shorer").hp, 12);
    EXPECT_EQ(unitInfo.at("Shorer").sight, -7);
    EXPECT_EQ(unitInfo.at("Shorer").buildMenu, (std::vector<std::string>{"Farm", "Barracks"}));
    EXPECT_EQ(stringToUnitCategory("Naval"), UnitCategory::Naval);
    EXPECT_EQ(stringToUnitCategory(""), UnitCategory::Ground);
}

TEST_F(UnitCatalogue, UnknownTargetCategoryCountsAsGroundWithOneErrorLine) {
    std::string err = loadCapturingErrors(write("units.json", R"({"Pirate": {"attackTargets": ["Sea"]}})"));
    EXPECT_EQ(err, "Unknown unit category: Sea\n");
    EXPECT_EQ(unitInfo.at("Pirate").attackTargets, 1);
}

TEST_F(UnitCatalogue, LaterRaceReplacesTheWholeRecord) {
    loadUnitInfo(write("a.json", R"({"Grunt": {"hp": 60, "damage": 9, "race": "orc"}})"), "orc");
    loadUnitInfo(write("b.json", R"({"Grunt": {"hp": 70}})"), "human");
    EXPECT_EQ(unitInfo.at("Grunt").hp, 70);
    EXPECT_EQ(unitInfo.at("Grunt").damage, 1);
    EXPECT_EQ(unitInfo.at("Grunt").race, "Unknown");
}

TEST_F(UnitCatalogue, TopLevelArrayRegistersElementsByPosition) {
    loadUnitInfo(write("units.json", R"([{"hp": 3}, {"hp": 4}])"), "orc");
    EXPECT_EQ(unitInfo.at("0").hp, 3);
    EXPECT_EQ(unitInfo.at("1").hp, 4);
    EXPECT_EQ(unitInfo.at("1").type, "1");
}

TEST_F(UnitCatalogue, EmptyOrMissingFilesAreReportedAndSkipped) {
    for (const std::string& text : {std::string("{}"), std::string("[]"), std::string(" \n")}) {
        std::string path = write("units.json", text);
        EXPECT_NE(loadCapturingErrors(path).find("Unit data is empty. Check file: " + path + "\n"), std::string::npos);
    }
    std::string missing = (dir / "absent.json").string();
    EXPECT_NE(loadCapturingErrors(missing).find("Unit data is empty. Check file: " + missing), std::string::npos);
    EXPECT_TRUE(unitInfo.empty());
}

TEST_F(UnitCatalogue, MalformedEntryStopsTheFileButKeepsEarlierRecords) {
    std::string path = write("units.json", R"({"Archer": {"hp": 5}, "Bad": 7, "Catapult": {"hp": 9}})");
    EXPECT_THROW(loadUnitInfo(path, "orc"), nlohmann::json::type_error);
    EXPECT_EQ(unitInfo.count("Archer"), 1u);
    EXPECT_EQ(unitInfo.count("Bad"), 0u);
    EXPECT_EQ(unitInfo.count("Catapult"), 0u);

    EXPECT_THROW(loadUnitInfo(write("b.json", R"({"X": {"canAttack": 1}})"), "orc"), nlohmann::json::type_error);
    EXPECT_THROW(loadUnitInfo(write("c.json", R"({"X": {"race": 3}})"), "orc"), nlohmann::json::type_error);
}

TEST_F(UnitCatalogue, NumbersBeyondTheirFieldAreRejectedRatherThanWrapped) {
    EXPECT_THROW(loadUnitInfo(write("units.json", R"({"Titan": {"hp": 1e20}})"), "orc"), std::exception);
    EXPECT_THROW(loadUnitInfo(write("units.json", R"({"Titan": {"damage": -1e20}})"), "orc"), std::exception);
}

TEST_F(UnitCatalogue, LookupOfAMissingTypeReportsAndAnswersNull) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(getUnitInfo("Nobody"), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[UnitInfo] Unknown unit type: Nobody\n");
}

TEST(BuiltInTables, NameTheSameWords) {
    EXPECT_EQ(unitTypeToString.size(), 15u);
    EXPECT_EQ(unitTypeToString.at(UnitType::Catapult), "Catapult");
    EXPECT_EQ(unitTypeToString.at(UnitType::Peasant), "Peasant");
    EXPECT_EQ(projectileHitInfo.at("Catapult").count, 5);
    EXPECT_FLOAT_EQ(projectileHitInfo.at("Catapult").time, 0.1f);
    EXPECT_EQ(projectileHitInfo.at("DragonFire").count, 16);
}

}  // namespace
