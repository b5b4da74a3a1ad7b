// The race loading chain over a fixture content tree: two races, a mod overriding one file, the shared folder.
#include <gtest/gtest.h>

#include "catalogue_support.h"

using namespace catalogue_test;

namespace {

const char* const humanFiles[][2] = {
    {"race.json", R"({"name": "human", "displayName": "Humans", "unitTypes": ["Peasant"], "cursor": "knight"})"},
    {"cursors.json", R"({"knight": {"image": "core/assets/cursor.png", "hotspot": [3, 4]}})"},
    {"units.json", R"({"Peasant": {"race": "human", "worker": true, "hp": 30},
                       "Mercenary": {"race": "human", "hp": 50}})"},
    {"sprites.json", R"({"Peasant": {"sprite": "core/assets/unit.png", "frameWidth": 16}})"},
    {"buildings.json", R"({"TownHall": {"hp": 1000, "base": true}, "Tavern": {"goldCost": 100}})"},
    {"buildings_sprites.json", R"({"Tavern": {"animation": {"frameCount": 4}}})"},
    {"building_units.json", R"({"TownHall": ["Peasant"], "Tavern": ["Mercenary"]})"},
    {"unit_requirements.json", R"({"Mercenary": {"requiredBuildings": ["Tavern"], "requiredTier": 1}})"},
    {"upgrades.json", R"({"upgrades": [{"id": "Steel", "bonus": 1, "type": "Piercing", "category": "Ground",
                           "time": 30, "woodCost": 0, "goldCost": 100, "name": "Steel", "unitNames": ["Peasant"],
                           "texture": "core/assets/steel_human.png", "buildings": ["TownHall"]}],
                         "upgradeRequirements": [{"id": "Steel"}]})"},
    {"hotkeys.json", R"({"buildings": {"TownHall": {"P": {"type": "train", "target": "Peasant"},
                                                     "S": {"type": "upgrade", "target": "Steel"}},
                                        "Tavern": {"M": {"type": "train", "target": "Mercenary"}}}})"},
    {"sounds.json", R"({"Music": ["core/assets/human.ogg"], "Unit": {"Peasant": {"ready": "core/assets/ready.wav"}},
                        "Game": {"Victory": ["core/assets/ready.wav"]}})"},
    {"spells.json", R"({"Heal": {"id": "Heal", "name": "Heal", "manaCost": 10, "effect": "healing"}})"},
    {"projectiles.json", R"({"Bolt": {"frameWidth": 4}, "Arrow": {"frameWidth": 8}})"},
    {"building_requirements.json", R"({"Tavern": {"requiredBuildings": ["TownHall"]}})"},
    {"tech.json", R"({"tech": [{"id": "t1", "name": "One", "description": "d", "cost": 1, "x": 10.7, "y": 0}]})"},
};

const char* const orcFiles[][2] = {
    {"race.json", R"({"name": "orc"})"},
    {"units.json", R"({"Peon": {"race": "orc", "worker": true, "hp": 1}})"},
    {"buildings.json", R"({"Tavern": {"woodCost": 50}})"},
    {"building_units.json", R"({"Tavern": ["Mercenary", "Grunt"], "GreatHall": []})"},
    {"unit_requirements.json", R"({"Mercenary": {"requiredTier": 2}})"},
    {"upgrades.json", R"({"upgrades": [{"id": "Steel", "bonus": 5, "type": "Defense", "category": "Air",
                           "time": 1, "woodCost": 1, "goldCost": 200, "name": "Orc steel", "unitNames": ["Peon"],
                           "texture": "core/assets/steel_orc.png", "buildings": ["TownHall", "GreatHall"]}]})"},
    {"hotkeys.json", R"({"buildings": {"Tavern": {}}})"},
    {"sounds.json", R"({"Music": ["core/assets/orc.ogg"],
                        "Unit": {"Peasant": {"ready": ["core/assets/ready.wav", "core/assets/ready.wav"]}}})"},
    {"spells.json", R"({"Heal": {"id": "OrcHeal", "name": "Orc heal"}})"},
    {"projectiles.json", R"({"Arrow": {"frameWidth": 9}})"},
    {"building_requirements.json", R"({"Tavern": {"requiredTier": 3}})"},
    {"tech.json", R"({"tech": [{"id": "t1", "name": "Again", "description": "d", "cost": 2, "x": 0, "y": 0}]})"},
};

const char* const sharedFiles[][2] = {
    {"global.json", R"({"MainMenuMusic": ["core/assets/menu.ogg"], "MainMenuBackground": "core/assets/menu.png"})"},
    {"tiles_sprites.json", R"({"Grass": {"sprite": "core/assets/tile.png", "animation": {"frameCount": 3}}})"},
    {"map_objects.json", R"({"Crystal": {"maxCapacity": 500, "harvestable": true}, "Tree": {}})"},
    {"map_objects_sprites.json", R"({"Crystal": {"animation": {"frameCount": 2.7, "offsetX": 12}}})"},
    {"decorations_sprites.json", R"({"Rock": {"sprite": "core/assets/deco.png"},
                                     "Bush": {"animation": {"frameWidth": 64, "frameHeight": 32, "offsetX": 5}}})"},
    {"effects_sprites.json", R"({"Blood": {}, "Boom": {"animation": {"frameCount": 3}}})"},
    {"items.json", R"({"items": [{"name": "Medkit", "displayName": "Old", "description": "x", "frameWidth": 8,
                                  "frameHeight": 8},
                                 {"name": "Medkit", "displayName": "New", "description": "y", "frameWidth": 31.9,
                                  "frameHeight": 16, "sprite": "core/assets/item.png"}]})"},
};

// The mod replaces the orc units file only; every other orc file comes from the base folder.
const char* const modOrcUnits = R"({"Peon": {"race": "orc", "worker": true, "hp": 99},
                                    "Grunt": {"race": "orc"}, "Mercenary": {"race": "orc", "hp": 80}})";

struct TwoRaceContent : ::testing::Test {
    TempDir dir;
    SoftwareRenderer video;
    OpenAudio audio;
    std::string log;

    std::string base() const { return dir / "core"; }
    std::string mods() const { return dir / "mods"; }
    std::string raceFile(const std::string& rel) const { return dir / ("core/data/races/" + rel); }

    void SetUp() override {
        resetCatalogues();
        for (const auto& file : humanFiles) writeFile(raceFile(std::string("human/") + file[0]), file[1]);
        for (const auto& file : orcFiles) writeFile(raceFile(std::string("orc/") + file[0]), file[1]);
        for (const auto& file : sharedFiles) writeFile(raceFile(std::string("global/") + file[0]), file[1]);
        writeFile(dir / "mods/testmod/data/races/orc/units.json", modOrcUnits);
        writeFile(raceFile("README.txt"), "not a race folder");
        writePng(dir / "core/assets/cursor.png", 9, 9);
        writePng(dir / "core/assets/unit.png", 32, 16);
        writePng(dir / "core/assets/steel_human.png", 5, 5);
        writePng(dir / "core/assets/steel_orc.png", 6, 6);
        writePng(dir / "core/assets/menu.png", 40, 30);
        writePng(dir / "core/assets/deco.png", 24, 12);
        writePng(dir / "core/assets/item.png", 3, 3);
        writeWav(dir / "core/assets/ready.wav");
        ASSERT_TRUE(mountAssets(dir.str()));
        ASSERT_TRUE(audio.opened());
        ::testing::internal::CaptureStderr();
        loadAllRaces(mods(), "testmod", base());
        log = ::testing::internal::GetCapturedStderr();
    }

    void TearDown() override {
        freeSoundSets();
        PHYSFS_deinit();
    }
};

TEST_F(TwoRaceContent, RacesAreVisitedInNameOrderAndTakeTheirDefaults) {
    EXPECT_EQ(raceOrder, (std::vector<std::string>{"human", "orc"}));
    ASSERT_EQ(races.size(), 2u);  // "global" holds no race.json, so it adds no race
    EXPECT_EQ(races.at("human").displayName, "Humans");
    EXPECT_EQ(races.at("human").cursor, "knight");
    EXPECT_EQ(races.at("orc").displayName, "orc");
    EXPECT_EQ(races.at("orc").cursor, "default");
    EXPECT_EQ(races.at("orc").uiTheme, "default");
}

TEST_F(TwoRaceContent, ModCopyReplacesOnlyItsOwnFile) {
    EXPECT_EQ(unitInfo.at("Peon").hp, 99);
    EXPECT_EQ(unitInfo.count("Grunt"), 1u);
    // The orc files the mod lacks still come from the base folder.
    EXPECT_EQ(buildingInfo.at("Tavern").race, "orc");
    EXPECT_EQ(spellInfo.at("Heal").id, "OrcHeal");
}

TEST_F(TwoRaceContent, LaterRaceReplacesWholeRecords) {
    EXPECT_EQ(unitInfo.at("Mercenary").hp, 80);
    const BuildingInfo& tavern = buildingInfo.at("Tavern");
    EXPECT_EQ(tavern.woodCost, 50);
    EXPECT_EQ(tavern.goldCost, 0);
    EXPECT_FLOAT_EQ(buildingInfo.at("TownHall").hp, 1000.0f);
    EXPECT_EQ(unitRequirements.at("Mercenary").requiredTier, 2);
    EXPECT_TRUE(unitRequirements.at("Mercenary").requiredBuildings.empty());
    EXPECT_EQ(buildingRequirements.at("Tavern").requiredTier, 3);
    EXPECT_TRUE(buildingRequirements.at("Tavern").requiredBuildings.empty());
    EXPECT_EQ(spellInfo.at("Heal").manaCost, 0);
    EXPECT_EQ(projectileInfo.at("Arrow").frameWidth, 9);
    EXPECT_EQ(projectileInfo.begin()->first, "Arrow");  // ordered by name, not by file
    EXPECT_TRUE(buildingHotkeys.at("Tavern").actions.empty());
    EXPECT_EQ(buildingHotkeys.at("TownHall").actions.size(), 2u);
}

TEST_F(TwoRaceContent, ListsGrowAcrossRacesInRaceOrder) {
    EXPECT_EQ(buildingUnits.at("Tavern"), (std::vector<std::string>{"Mercenary", "Mercenary", "Grunt"}));
    EXPECT_EQ(buildingUnits.count("GreatHall"), 0u);
    EXPECT_EQ(musicTracks, (std::vector<std::string>{"core/assets/human.ogg", "core/assets/orc.ogg"}));
    ASSERT_EQ(techTree.size(), 2u);
    EXPECT_EQ(techTree[0].name, "One");
    EXPECT_FLOAT_EQ(techTree[0].x, 10.0f);
    EXPECT_EQ(techTree[1].name, "Again");
    EXPECT_FALSE(techTree[1].unlocked);
}

TEST_F(TwoRaceContent, FirstUpgradeDefinitionWinsWhileIconAndResearchListsFollowEveryFile) {
    const UnitUpgrade& steel = upgrades.at("Steel");
    EXPECT_EQ(steel.goldCost, 100);
    EXPECT_EQ(steel.type, UpgradeType::Piercing);
    EXPECT_EQ(steel.unitNames, (std::vector<std::string>{"Peasant"}));
    EXPECT_EQ(textureWidth(upgradeTextures.at("Steel")), 6);
    EXPECT_EQ(buildingResearchTree.at("TownHall"), (std::vector<std::string>{"Steel", "Steel"}));
    EXPECT_EQ(buildingResearchTree.at("GreatHall"), (std::vector<std::string>{"Steel"}));
    EXPECT_NE(log.find("No 'upgradeRequirements' section found in " + raceFile("orc/upgrades.json") + "\n"),
              std::string::npos);
    EXPECT_EQ(upgradeRequirements.at("Steel").tier, 1);
}

TEST_F(TwoRaceContent, LaterSoundSetReplacesVariants) {
    EXPECT_EQ(soundSets.at(SoundKey{SoundCategory::Unit, "Peasant.ready"}).chunks.size(), 2u);
    EXPECT_EQ(soundSets.at(SoundKey{SoundCategory::Game, "Victory"}).chunks.size(), 1u);
}

TEST_F(TwoRaceContent, ImagesBecomeTexturesOfTheirSize) {
    EXPECT_EQ(textureWidth(cursors.at("knight").texture), 9);
    EXPECT_FLOAT_EQ(cursors.at("knight").hotspot.y, 4.0f);
    EXPECT_EQ(textureHeight(unitSprites.at("Peasant").sprite.texture), 16);
    EXPECT_EQ(unitSprites.at("Peasant").portrait, nullptr);
    EXPECT_EQ(textureWidth(mainMenuBackgroundTexture), 40);
}

TEST_F(TwoRaceContent, SharedFolderFillsItsCataloguesAfterTheRaces) {
    EXPECT_EQ(mainMenuTracks, (std::vector<std::string>{"core/assets/menu.ogg"}));
    EXPECT_EQ(tilesSprites.count("Grass"), 1u);
    EXPECT_TRUE(mapObjectInfo.at("Crystal").harvestable);
    EXPECT_EQ(mapObjectInfo.at("Tree").displayName, "Tree");
    const MapObjectSpriteMeta& crystal = mapObjectsSprites.at("Crystal");
    EXPECT_EQ(crystal.frameCount, 2);
    EXPECT_EQ(crystal.offsetY, 12);
    const SDL_Rect rock = decorationsSprites.at("Rock").sprite.src;
    EXPECT_EQ(rock.w, 24);
    EXPECT_EQ(rock.h, 12);
    const SDL_Rect bush = decorationsSprites.at("Bush").sprite.src;
    EXPECT_EQ(bush.x, 5);
    EXPECT_EQ(bush.w, 64);
    EXPECT_FLOAT_EQ(specialEffectsSprites.at("Blood").scale, 0.0f);
    EXPECT_FLOAT_EQ(specialEffectsSprites.at("Boom").scale, 1.0f);
    EXPECT_EQ(items_info.at("Medkit").displayName, "New");
    EXPECT_EQ(item_sprites.at("Medkit").frameWidth, 31);
    EXPECT_EQ(item_sprites.at("Medkit").loopCount, -1);
    EXPECT_EQ(textureWidth(item_sprites.at("Medkit").texture), 3);
}

TEST_F(TwoRaceContent, SecondLoadEmptiesTheSevenCataloguesButAppendsRaceOrder) {
    loadAllRaces(mods(), "testmod", base());
    EXPECT_EQ(raceOrder.size(), 4u);
    EXPECT_EQ(races.size(), 2u);
    EXPECT_EQ(buildingUnits.at("Tavern").size(), 6u);  // never emptied
    EXPECT_EQ(techTree.size(), 4u);
    // The research lists hold ids, which still name the reloaded upgrade.
    for (const std::string& id : buildingResearchTree.at("TownHall")) EXPECT_EQ(upgrades.at(id).goldCost, 100);
}

TEST(RaceChain, RecordsLoadWithNullTexturesWithoutRenderer) {
    resetCatalogues();
    TempDir dir;
    writeFile(dir / "core/data/races/human/cursors.json", R"({"knight": {"image": "core/assets/cursor.png"}})");
    writeFile(dir / "core/data/races/human/buildings_sprites.json", R"({"Hall": {"sprite": "core/assets/h.png"}})");
    writePng(dir / "core/assets/cursor.png", 9, 9);
    ASSERT_TRUE(mountAssets(dir.str()));
    ::testing::internal::CaptureStderr();
    loadAllRaces("", "", dir / "core");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    PHYSFS_deinit();
    ASSERT_EQ(cursors.count("knight"), 1u);
    EXPECT_EQ(cursors.at("knight").texture, nullptr);
    EXPECT_EQ(buildingSprites.at("Hall").sprite.texture, nullptr);
}

TEST(RaceChain, MissingRaceFoldersLoadNothingAndReportNothing) {
    resetCatalogues();
    unitInfo["Stale"] = UnitInfo{};
    TempDir dir;
    ::testing::internal::CaptureStderr();
    loadAllRaces("", "", dir / "core");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(unitInfo.empty());
    EXPECT_TRUE(raceOrder.empty());
}

// A missing file is no fault: its loader is not run, the race's other files load and nothing is said.
TEST(RaceChain, ARaceWithoutItsUnitsOrBuildingsFileStillLoadsAndNothingIsWritten) {
    const struct {
        bool units, buildings;
    } cases[] = {{true, true}, {false, true}, {true, false}, {false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "units " << c.units << " buildings " << c.buildings);
        resetCatalogues();
        TempDir dir;
        const std::string elf = dir / "core/data/races/elf/";
        writeFile(elf + "race.json", R"({"name": "elf"})");
        if (c.units) writeFile(elf + "units.json", R"({"Archer": {"race": "elf", "hp": 5}})");
        if (c.buildings) writeFile(elf + "buildings.json", R"({"Hall": {"hp": 10}})");
        writeFile(elf + "spells.json", R"({"Bolt": {"id": "b", "name": "Bolt"}})");
        ::testing::internal::CaptureStderr();
        loadAllRaces("", "", dir / "core");
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(races.count("elf"), 1u);
        EXPECT_EQ(unitInfo.count("Archer"), c.units ? 1u : 0u);
        EXPECT_EQ(buildingInfo.count("Hall"), c.buildings ? 1u : 0u);
        EXPECT_EQ(spellInfo.count("Bolt"), 1u) << "the race's other files load";
    }
}

TEST(RaceChain, GlobalFolderWithRaceFileIsARaceToo) {
    resetCatalogues();
    TempDir dir;
    writeFile(dir / "core/data/races/global/race.json", R"({"name": "ancients"})");
    writeFile(dir / "core/data/races/zulu/race.json", R"({"name": "ancients"})");
    loadAllRaces("", "", dir / "core");
    EXPECT_EQ(raceOrder, (std::vector<std::string>{"ancients", "ancients"}));
    EXPECT_EQ(races.size(), 1u);
}

TEST(RaceChain, WorkerAndCivilianTypesDoNotDependOnHashOrder) {
    resetCatalogues();
    for (const char* type : {"Zed", "Bee", "Mid", "Ant"}) {
        UnitInfo info;
        info.race = std::string(type) == "Ant" ? "orc" : "human";
        info.worker = true;
        info.civilian = std::string(type) != "Bee";
        unitInfo[type] = info;
    }
    EXPECT_EQ(workerTypeOfRace("human"), "Bee");
    EXPECT_EQ(workerTypeOfRace("orc"), "Ant");
    EXPECT_EQ(workerTypeOfRace("elf"), "");
}

}  // namespace
