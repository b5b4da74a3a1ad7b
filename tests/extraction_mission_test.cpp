// Extraction missions: offers from map files, the set-up of both types, the per-frame rules, extraction with its
// tech reward, and items.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "activity.h"
#include "extraction_items.h"
#include "extraction_missions.h"
#include "extraction_roster.h"
#include "extraction_rules.h"
#include "map_objects.h"
#include "tech_tree.h"
#include "test_files.h"
#include "world_fixture.h"

struct ExtractionMission : TestWorld {
    TempDir dir;

    void SetUp() override {
        resetWorld();
        setMapSize(60, 60);
        for (const auto& [type, xp] : {std::pair{"Berserker", 50}, {"Cera", 50}, {"Marine", 10}}) {
            unitInfo[type].type = type;
            unitInfo[type].expGain = xp;
        }
        addOwners(1, 2, 3);
        getPlayerById(1)->baseTile = {2, 2};
        getPlayerById(2)->baseTile = {50, 50};
        mode = GameMode::Extraction;
        extraction_options.assign(1, ExtractionNode{});
        extraction_options[0].enemyRace = "vohmathal";
        deploymentSelectedMapId = 0;
        current_ai_global_level = 1;
        waveAccumulator = updateAiUnitsAccumulator = civilianRecruitmentTimer = 0.0f;
        global_extraction_level = 1;
        extractionSaveFolder = dir.path.string() + "/";
    }
    void TearDown() override {
        extraction_options.clear();
        deploymentSelectedMapId = -1;
        extractionSaveFolder = "./saves/extraction/";
        extractionMapFolder = "core/data/extractions";
        resetExtractionData();
        load_roster("");
        unitInfo.clear();
        techTree.clear();
        items_info.clear();
        resetWorld();
    }

    static size_t enemies() { return getPlayerById(2)->unitIds.size(); }

    static int placeUnit(const std::string& type, int owner, V2i sub) {
        return spawnUnitAt(type, owner, {sub.x / 4.0f, sub.y / 4.0f});
    }

    static void addExtractionPoint(V2i tile) {
        MapObject point;
        point.id = 7;
        point.type = "ExtractionPoint";
        point.tileX = tile.x;
        point.tileY = tile.y;
        mapObjects.push_back(point);
        extractionsMapObjectId = 7;
    }
};

TEST_F(ExtractionMission, ThreeMapFilesGiveThreeSeededOffersInTheDangerRange) {
    extractionMapFolder = dir.makeDir("extractions");
    for (const char* name : {"a", "b", "c"})
        dir.write(std::string("extractions/") + name + ".json",
                  std::string(R"({"name":")") + name + R"(","map":"m","mapWidth":100,"mapHeight":100})");
    dir.write("extractions/notes.txt", "x");
    dir.write("extractions/broken.json", R"({"name":"x"})");
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        generate_mission_options(seed);
        ASSERT_EQ(extraction_options.size(), 3u);
        for (const ExtractionNode& node : extraction_options) {
            EXPECT_GE(node.danger, 500);
            EXPECT_LT(node.danger, 4000);
            EXPECT_TRUE(node.type == 0 || node.type == 1);
            EXPECT_EQ(node.kills, 0);
        }
    }
    for (const char* name : {"d", "e", "f"})
        dir.write(std::string("extractions/") + name + ".json",
                  R"({"name":"n","map":"m","mapWidth":1,"mapHeight":1})");
    generate_mission_options(3);
    EXPECT_EQ(extraction_options.size(), 4u);
}

TEST_F(ExtractionMission, BadMapFileCostsOneLineNamingItAndOnlyItsOwnOffer) {
    const auto sized = [](const std::string& width) {
        return R"({"name":"n","map":"m","mapWidth":)" + width + R"(,"mapHeight":10})";
    };
    const struct Case {
        std::string text;
        bool accepted;
    } cases[] = {
        {"{\"name\": \"n\", \"map\"", false},
        {"not json at all", false},
        {sized("NaN"), false},
        {sized("1e300"), false},
        {sized("-1e300"), false},
        {sized("2147483647"), true},
        {sized("2147483647.9"), true},
        {sized("2147483648"), false},
        {sized("-2147483648"), true},
        {sized("-2147483649"), false},
        {sized("\"wide\""), false},
        {R"({"name":"n","map":"m","mapWidth":10})", false},
        {"[1, 2]", false},
    };
    extractionMapFolder = dir.makeDir("extractions");
    dir.write("extractions/good.json", sized("10"));
    const std::string bad = extractionMapFolder + "/bad.json";
    for (const Case& c : cases) {
        dir.write("extractions/bad.json", c.text);
        ::testing::internal::CaptureStderr();
        generate_mission_options(1);
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(extraction_options.size(), c.accepted ? 2u : 1u) << c.text;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), c.accepted ? 0 : 1) << c.text << "\n" << said;
        if (!c.accepted) {
            EXPECT_NE(said.find(bad), std::string::npos) << said;
        }
    }
    std::filesystem::remove(bad);
    std::filesystem::create_directory(bad);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(loadExtraction(bad).has_value());
    EXPECT_NE(::testing::internal::GetCapturedStderr().find(bad), std::string::npos);
}

TEST_F(ExtractionMission, EliminationPlacesGroupsFarFromTheStartUntilTheBudgetIsSpent) {
    extraction_options[0].type = 1;
    extraction_options[0].danger = 500;
    init_extraction_state();
    ASSERT_EQ(enemies(), 10u) << "ten enemies worth 50 each";
    for (const int id : getPlayerById(2)->unitIds) {
        const Unit& unit = *getUnitById(id);
        EXPECT_EQ(unit.expGain, 50);
        EXPECT_GT(distance({2, 2}, unit.getTile()), 20.0f - 4.0f) << "a group's centre lies beyond 20 tiles";
    }
}

TEST_F(ExtractionMission, SurvivalWavesComeAfterThirtyAndSixtySecondsAndEnemiesStrengthenAtTwoMinutes) {
    extraction_options[0].type = 0;
    init_extraction_state();
    const auto frames = [](int n) {
        for (int i = 0; i < n; ++i) update_extraction(0.5f);
    };
    frames(59);
    EXPECT_EQ(enemies(), 0u);
    frames(1);
    EXPECT_EQ(enemies(), 4u);
    frames(60);
    EXPECT_EQ(enemies(), 10u);
    EXPECT_TRUE(activityQueue.empty());
    frames(120);
    ASSERT_FALSE(activityQueue.empty());
    EXPECT_EQ(activityQueue.front().text, "[System]: Enemy grows stronger ");
    EXPECT_EQ(current_ai_global_level, 2);
    EXPECT_EQ(getUnitById(getPlayerById(2)->unitIds.front())->level, 2);
}

TEST_F(ExtractionMission, ACivilianNextToAnOwnUnitJoinsItsOwnerWithinAFifthOfASecond) {
    unitInfo["Civilian"].type = "Civilian";
    const int civilian = placeUnit("Civilian", 3, {20, 20});
    neutralCivilianIds = {civilian};
    placeUnit("Marine", 2, {19, 20});
    placeUnit("Marine", 1, {22, 20});
    update_civilian_recruitment_spatial(0.1f);
    EXPECT_EQ(getUnitById(civilian)->playerId, 3);
    update_civilian_recruitment_spatial(0.1f);
    EXPECT_EQ(getUnitById(civilian)->playerId, 1);
    const std::vector<int>& own = getPlayerById(1)->unitIds;
    EXPECT_NE(std::find(own.begin(), own.end(), civilian), own.end());
    EXPECT_TRUE(neutralCivilianIds.empty());
}

// A civilian waits to be recruited whether the map placed it or the player's finished supply building brought it;
// either way it ends listed once with the player who stands beside it.
TEST_F(ExtractionMission, ARecruitedCivilianIsListedOnceWithItsNewOwner) {
    unitInfo["Civilian"].type = "Civilian";
    for (const int placedFor : {3, 1}) {
        const int civilian = placeUnit("Civilian", placedFor, {20, 20});
        neutralCivilianIds = {civilian};
        const int marine = placeUnit("Marine", 1, {22, 20});
        update_civilian_recruitment_spatial(0.2f);
        const std::vector<int>& own = getPlayerById(1)->unitIds;
        EXPECT_EQ(std::count(own.begin(), own.end(), civilian), 1) << "placed for player " << placedFor;
        EXPECT_TRUE(neutralCivilianIds.empty());
        for (const int id : {civilian, marine}) removeUnit(id);
    }
}

TEST_F(ExtractionMission, ExtractingBanksTheZoneUnitsAndCarriedCorpsesAndPaysTheTechReward) {
    items_info["Corpse"] = {"Corpse", "Corpse", ""};
    addExtractionPoint({10, 10});
    extraction_filename = "c.bin";
    shipRoster = {{"Marine", "Aboard", 1, 0, 0, true}};
    extraction_options[0].danger = 1000;
    extraction_options[0].kills = 1000;

    Unit& fallen = *getUnitById(placeUnit("Marine", 1, {80, 80}));
    fallen.nickname = "Fallen";
    spawn_corpse_item_on_unit_loss(fallen);
    placeUnit("Marine", 1, {100, 100});  // outside the zone
    Unit& carrier = *getUnitById(placeUnit("Marine", 1, {60, 60}));
    carrier.nickname = "Carrier";
    carrier.x = carrier.y = 15.0f * 140.0f;  // exactly five tiles from the point's corner
    carrier.level = 4;
    EXPECT_EQ(takeItem(carrier.id, 0), "Corpse");

    check_units_around_extraction();
    EXPECT_EQ(units_around_extraction, std::vector<int>{carrier.id});
    ASSERT_TRUE(extract());
    EXPECT_EQ(shipRoster, (std::vector<UnitSaveData>{{"Marine", "Aboard", 1, 0, 0, true},
                                                     {"Marine", "Fallen", 1, 0, 0, false},
                                                     {"Marine", "Carrier", 4, 0, 0, true}}));
    EXPECT_EQ(global_extraction_level, 2);
    EXPECT_EQ(tech_points, 3);
}

// What a unit carries into the zone comes home whoever carries it: a fallen unit's corpse and a cryopod in a
// civilian's hands as in a soldier's; the soldier is banked too, the civilian joins the man power.
TEST_F(ExtractionMission, CorpsesAndCryopodsComeHomeWhoeverCarriesThem) {
    items_info["Corpse"] = {"Corpse", "Corpse", ""};
    unitInfo["Civilian"].type = "Civilian";
    addExtractionPoint({10, 10});
    extraction_filename = "c.bin";
    const UnitSaveData fallen{"Marine", "Fallen", 1, 0, 0, false};
    const struct {
        const char* bearer;
        std::vector<UnitSaveData> banked;
        int manPower;
    } cases[] = {{"Marine", {fallen, {"Marine", "Bearer", 1, 0, 0, true}}, 0}, {"Civilian", {fallen}, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bearer);
        shipRoster.clear();
        global_man_power = global_cryppod_count = 0;
        Unit& dead = *getUnitById(placeUnit("Marine", 1, {80, 80}));
        dead.nickname = "Fallen";
        spawn_corpse_item_on_unit_loss(dead);
        removeUnit(dead.id);
        items_map[itemID] = Item{itemID, "CryoPod", 0.0f, 0.0f, true, -1};
        const int pod = itemID++;
        Unit& bearer = *getUnitById(placeUnit(c.bearer, 1, {40, 40}));
        bearer.nickname = "Bearer";
        ASSERT_EQ(takeItem(bearer.id, pod - 1), "Corpse");
        ASSERT_EQ(takeItem(bearer.id, pod), "CryoPod");
        ASSERT_TRUE(extract());
        EXPECT_EQ(shipRoster, c.banked);
        EXPECT_EQ(global_cryppod_count, 1);
        EXPECT_EQ(global_man_power, c.manPower);
        removeUnit(bearer.id);
    }
}

// The campaign file kept the squad from before the mission. An extraction whose save fails changes nothing, so the
// next one banks every unit once.
TEST_F(ExtractionMission, AFailedExtractionLeavesTheCampaignAsItWasAndTheNextBanksEachUnitOnce) {
    addExtractionPoint({10, 10});
    extraction_filename = "c.bin";
    extraction_options[0].danger = 1000;
    extraction_options[0].kills = 1000;
    const UnitSaveData aboard{"Marine", "Aboard", 1, 0, 0, true};
    ASSERT_TRUE(save_roster("c.bin", "Walk", false, 1, {aboard, {"Marine", "Carrier", 1, 0, 0, true}}, 5, 0));
    initExtractionData("c.bin");
    shipRoster = {aboard};  // the carrier was deployed
    Unit& carrier = *getUnitById(placeUnit("Marine", 1, {60, 60}));
    carrier.nickname = "Carrier";
    carrier.x = carrier.y = 10.0f * 140.0f;
    dir.write("blocked", "");
    extractionSaveFolder = (dir.path / "blocked").string() + "/";

    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(extract());
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(shipRoster, std::vector<UnitSaveData>{aboard});
    EXPECT_EQ(global_extraction_level, 1);
    EXPECT_EQ(tech_points, 0);
    EXPECT_EQ(global_man_power, 5);

    extractionSaveFolder = dir.path.string() + "/";
    ASSERT_TRUE(extract());
    EXPECT_EQ(shipRoster, (std::vector<UnitSaveData>{aboard, {"Marine", "Carrier", 1, 0, 0, true}}));
    EXPECT_EQ(global_extraction_level, 2);
    EXPECT_EQ(tech_points, 3);
}

TEST_F(ExtractionMission, TheTechRewardFollowsDangerTiersAndTheKillRatio) {
    const int cases[][3] = {{999, 700, 0}, {999, 999, 1}, {2500, 1750, 3}, {2500, 2500, 7}, {1800, 1300, 2}, {0, 0, 0}};
    for (const auto& c : cases) {
        extraction_options[0].danger = c[0];
        extraction_options[0].kills = c[1];
        EXPECT_EQ(finalize_elimination_tech_reward(), c[2]) << c[0] << " " << c[1];
    }
}

TEST_F(ExtractionMission, CryopodsNeedDnaCloningAndItemsAreHitWhereTheyAreDrawn) {
    items_info["CryoPod"] = {"CryoPod", "Cryo Pod", ""};
    item_sprites["CryoPod"].frameWidth = item_sprites["CryoPod"].frameHeight = 20;
    Unit victim;
    victim.x = victim.y = 700.0f;
    for (int i = 0; i < 300; ++i) drop_item(victim);
    EXPECT_TRUE(items_map.empty());
    techTree = {Tech{"dna", "DNA cloning", "", 1, true, 0, 0, nullptr}};
    for (int i = 0; i < 2000 && items_map.empty(); ++i) drop_item(victim);
    ASSERT_EQ(items_map.size(), 1u);
    const Item& pod = items_map.begin()->second;
    EXPECT_TRUE(itemContains(pod, {700.0f, 700.0f}));
    grid.at(5, 5).heightLevel = 2;
    EXPECT_FALSE(itemContains(pod, {700.0f, 700.0f}));
    EXPECT_TRUE(itemContains(pod, {700.0f, 700.0f - 140.0f}));
    EXPECT_EQ(takeItem(1, pod.id), "CryoPod");
    EXPECT_FALSE(itemContains(items_map.begin()->second, {700.0f, 700.0f - 140.0f}));
    item_sprites.clear();
}

// The drops' own generator restarts from the seed: the same seed drops a pod on the same rolls again.
TEST_F(ExtractionMission, CryopodsDropOnTheSameRollsAgainFromTheSameSeed) {
    items_info["CryoPod"] = {"CryoPod", "Cryo Pod", ""};
    techTree = {Tech{"dna", "DNA cloning", "", 1, true, 0, 0, nullptr}};
    Unit victim;
    std::vector<int> dropping[2];
    for (std::vector<int>& rolls : dropping) {
        clearMatchItems();
        seedItemDrops(11);
        for (int roll = 0; roll < 1000; ++roll) {
            const std::size_t before = items_map.size();
            drop_item(victim);
            if (items_map.size() > before) rolls.push_back(roll);
        }
    }
    clearMatchItems();
    EXPECT_FALSE(dropping[0].empty());
    EXPECT_EQ(dropping[0], dropping[1]);
}

// A campaign at the highest level a file keeps stays there, so the file its extraction writes can still be opened.
TEST_F(ExtractionMission, ExtractingAtTheHighestCampaignLevelKeepsTheCampaignReadable) {
    extraction_filename = "c.bin";
    const struct {
        int before;
        int after;
    } cases[] = {{MAX_CAMPAIGN_LEVEL - 1, MAX_CAMPAIGN_LEVEL}, {MAX_CAMPAIGN_LEVEL, MAX_CAMPAIGN_LEVEL}};
    for (const auto& c : cases) {
        global_extraction_level = c.before;
        ASSERT_TRUE(extract());
        EXPECT_EQ(global_extraction_level, c.after) << c.before;
    }
}
