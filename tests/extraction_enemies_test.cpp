// The enemies an elimination mission places: their types by race and campaign level, and their strength by level.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>

#include "extraction_campaign.h"
#include "extraction_missions.h"
#include "world_fixture.h"

namespace {

struct BaseStats {
    int hp;
    int damage;
};

// Distinct base values, so a unit's scaled figures show which type they were scaled from.
const std::map<std::string, BaseStats> ENEMY_TYPES = {
    {"Cera", {60, 6}},      {"Berserker", {90, 9}}, {"Zooid", {120, 12}}, {"Abyssal", {400, 30}},
    {"Scavenger", {45, 5}}, {"Marine", {70, 8}},    {"Tank", {300, 25}},
};

constexpr int BASE_XP = 10;

struct TableCase {
    const char* race;
    int level;
    std::map<std::string, int> weights;  // the table's type and weight
};

const TableCase TABLES[] = {
    {"vohmathal", 1, {{"Cera", 20}, {"Berserker", 40}}},
    {"vohmathal", 4, {{"Cera", 20}, {"Berserker", 40}}},
    {"vohmathal", 5, {{"Cera", 20}, {"Berserker", 40}, {"Zooid", 30}}},
    {"vohmathal", 9, {{"Cera", 20}, {"Berserker", 40}, {"Zooid", 30}}},
    {"vohmathal", 10, {{"Cera", 20}, {"Berserker", 40}, {"Zooid", 30}, {"Abyssal", 10}}},
    {"vohmathal", 300, {{"Cera", 20}, {"Berserker", 40}, {"Zooid", 30}, {"Abyssal", 10}}},
    {"human", 1, {{"Scavenger", 20}, {"Marine", 40}}},
    {"human", 4, {{"Scavenger", 20}, {"Marine", 40}}},
    {"human", 5, {{"Scavenger", 40}, {"Marine", 50}, {"Tank", 10}}},
    {"human", 300, {{"Scavenger", 40}, {"Marine", 50}, {"Tank", 10}}},
    {"Human", 5, {{"Berserker", 1}}},
    {"", 1, {{"Berserker", 1}}},
};

}  // namespace

struct ExtractionEnemies : TestWorld {
    void SetUp() override {
        resetWorld();
        setMapSize(60, 60);
        for (const auto& [type, stats] : ENEMY_TYPES) {
            unitInfo[type].type = type;
            unitInfo[type].hp = stats.hp;
            unitInfo[type].damage = stats.damage;
            unitInfo[type].expGain = BASE_XP;
        }
        addOwners(1, 2, 3);
        getPlayerById(1)->baseTile = {2, 2};
        mode = GameMode::Extraction;
        extraction_options.assign(1, ExtractionNode{});
        extraction_options[0].type = static_cast<int32_t>(ExtractionType::ELIMINATION);
        deploymentSelectedMapId = 0;
    }
    void TearDown() override {
        extraction_options.clear();
        deploymentSelectedMapId = -1;
        global_extraction_level = 1;
        unitInfo.clear();
        resetWorld();
    }

    // Places the elimination mission's enemies for the campaign level; the budget stays small enough for one map.
    static void placeEnemies(const std::string& race, int level, int danger) {
        global_extraction_level = level;
        extraction_options[0].enemyRace = race;
        extraction_options[0].danger = danger;
        generate_elimination_extraction_enemies(level, {2, 2});
    }
};

// Each table's types come up in about their share of the draws, and no other type ever does.
TEST_F(ExtractionEnemies, TheEnemyTypeIsDrawnFromTheTableOfTheRaceAndLevel) {
    constexpr int DRAWS = 6000;
    for (const TableCase& c : TABLES) {
        std::map<std::string, int> counts;
        for (int i = 0; i < DRAWS; ++i) ++counts[pick_unit_for_level(c.level, c.race)];
        int total = 0;
        for (const auto& [type, weight] : c.weights) total += weight;
        for (const auto& [type, count] : counts) {
            const auto entry = c.weights.find(type);
            ASSERT_NE(entry, c.weights.end()) << c.race << " level " << c.level << " drew " << type;
            const double share = static_cast<double>(count) / DRAWS;
            EXPECT_NEAR(share, static_cast<double>(entry->second) / total, 0.03)
                << c.race << " level " << c.level << " " << type;
        }
        EXPECT_EQ(counts.size(), c.weights.size()) << c.race << " level " << c.level;
    }
}

// A campaign level L makes enemies of level L / 3 + 1, at most 100; the level's increments count twice.
TEST_F(ExtractionEnemies, EnemiesCarryTheTableTypesAndTheHitPointsAndDamageOfTheirLevel) {
    const struct {
        const char* race;
        int campaignLevel;
        int enemyLevel;
    } cases[] = {
        {"human", 1, 1},       {"vohmathal", 1, 1},   {"human", 5, 2},       {"vohmathal", 5, 2},
        {"vohmathal", 10, 4},  {"human", 296, 99},    {"human", 297, 100},   {"vohmathal", 300, 100},
    };
    for (const auto& c : cases) {
        SetUp();
        placeEnemies(c.race, c.campaignLevel, 2000);
        const TableCase* table = nullptr;
        for (const TableCase& t : TABLES)
            if (t.race == std::string(c.race) && t.level <= c.campaignLevel &&
                (!table || t.level > table->level))
                table = &t;
        ASSERT_NE(table, nullptr);
        const std::vector<int> ids = getPlayerById(2)->unitIds;
        ASSERT_GT(ids.size(), 10u) << c.race << " level " << c.campaignLevel;
        std::set<std::string> seen;
        const int xp = static_cast<int>(std::floor(BASE_XP * (1.0 + 0.15 * (c.enemyLevel - 1))));
        for (const int id : ids) {
            const Unit& unit = *getUnitById(id);
            seen.insert(unit.type);
            ASSERT_EQ(table->weights.count(unit.type), 1u) << c.race << " level " << c.campaignLevel << " " << unit.type;
            const BaseStats base = ENEMY_TYPES.at(unit.type);
            EXPECT_EQ(unit.level, c.enemyLevel);
            EXPECT_FLOAT_EQ(unit.maxHp, static_cast<float>(base.hp + 20 * (c.enemyLevel - 1)))
                << c.race << " level " << c.campaignLevel << " " << unit.type;
            EXPECT_FLOAT_EQ(unit.hp, unit.maxHp);
            EXPECT_EQ(unit.damage, base.damage + 4 * (c.enemyLevel - 1))
                << c.race << " level " << c.campaignLevel << " " << unit.type;
            EXPECT_EQ(unit.expGain, xp);
        }
        EXPECT_EQ(seen.size(), table->weights.size()) << c.race << " level " << c.campaignLevel;
    }
}

// A type the race catalogues lack is named on the error stream and skipped; the rest of the mission is placed.
TEST_F(ExtractionEnemies, ATypeMissingFromTheCatalogueIsSkippedWithALineAndTheOthersArePlaced) {
    unitInfo.erase("Tank");
    ::testing::internal::CaptureStderr();
    placeEnemies("human", 5, 2000);
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("Unknown unit type: Tank"), std::string::npos);
    std::set<std::string> seen;
    for (const int id : getPlayerById(2)->unitIds) seen.insert(getUnitById(id)->type);
    EXPECT_EQ(seen, (std::set<std::string>{"Scavenger", "Marine"}));
}
