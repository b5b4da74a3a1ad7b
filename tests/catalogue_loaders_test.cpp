// Each catalogue loader's defaults, conversions and failure rules: which bad files end start-up, which are skipped.
#include <cctype>
#include <regex>

#include <gtest/gtest.h>

#include "catalogue_support.h"
#include "config.h"

using namespace catalogue_test;

namespace {

struct CatalogueFile : ::testing::Test {
    TempDir dir;
    void SetUp() override { resetCatalogues(); }
    // Writes the text to a file of that name and returns its path.
    std::string file(const std::string& name, const std::string& text) {
        const std::string path = dir / name;
        writeFile(path, text);
        return path;
    }
};

TEST_F(CatalogueFile, EmptyBuildingEntryTakesEveryDefault) {
    loadBuildings(file("buildings.json", R"({"Hut": {}})"), "human");
    const BuildingInfo& hut = buildingInfo.at("Hut");
    EXPECT_EQ(hut.displayName, "Hut");
    EXPECT_EQ(hut.race, "human");
    EXPECT_EQ(hut.wTiles * hut.hTiles, 1);
    EXPECT_EQ(hut.walkable, Tile::Grass);
    EXPECT_EQ(hut.sight, 7);
    EXPECT_FLOAT_EQ(hut.buildTime, 1.0f);
    EXPECT_FLOAT_EQ(hut.hp, 100.0f);
    EXPECT_FALSE(hut.hasProduction || hut.supply || hut.base || hut.oilDeposit);
    EXPECT_TRUE(hut.fireSpots.empty());
    EXPECT_FALSE(hut.requiresEffect || hut.providesEffect);
}

TEST_F(CatalogueFile, BuildingValuesFollowTheirConversionRules) {
    loadBuildings(file("buildings.json", R"({
        "Dock": {"walkable": "Water", "hp": 99.9, "fireSpots": [[10, 20], [30, 5]], "requiresEffect": "shore",
                 "providesEffect": {"radius": 3}},
        "Pier": {"walkable": "water", "providesEffect": {}}})"),
                  "orc");
    const BuildingInfo& dock = buildingInfo.at("Dock");
    EXPECT_EQ(dock.walkable, Tile::Water);
    EXPECT_FLOAT_EQ(dock.hp, 99.0f);
    ASSERT_EQ(dock.fireSpots.size(), 2u);
    EXPECT_EQ(dock.fireSpots[1].x, 30);
    EXPECT_EQ(dock.fireSpots[1].y, 5);
    EXPECT_EQ(dock.requiresEffect, "shore");
    EXPECT_EQ(dock.providesEffect, "");
    EXPECT_EQ(dock.effectRadius, 3);
    EXPECT_EQ(buildingInfo.at("Pier").walkable, Tile::Grass);
    EXPECT_EQ(buildingInfo.at("Pier").providesEffect, "");
}

TEST_F(CatalogueFile, DebugModeFixesBuildTimeWithoutReadingIt) {
    DEBUG_MODE = true;
    loadBuildings(file("buildings.json", R"({"Hut": {"buildTime": "slow"}})"), "human");
    DEBUG_MODE = false;
    EXPECT_FLOAT_EQ(buildingInfo.at("Hut").buildTime, 10.0f);
}

TEST_F(CatalogueFile, SpellDefaultsAndIntegerCooldown) {
    loadSpells(file("spells.json", R"({"Zap": {"id": "z", "name": "Zap"},
                                       "Cool": {"id": "c", "name": "C", "cooldown": 2.5, "targetType": "unit"}})"));
    const SpellInfo& zap = spellInfo.at("Zap");
    EXPECT_EQ(zap.manaCost, 0);
    EXPECT_FLOAT_EQ(zap.castTime, 0.0f);
    EXPECT_EQ(zap.targetType, TargetType::None);
    EXPECT_EQ(zap.caster, "None");
    EXPECT_FALSE(zap.requiresUpgrade);
    EXPECT_TRUE(static_cast<bool>(zap.effect));
    EXPECT_FLOAT_EQ(spellInfo.at("Cool").cooldown, 2.0f);
    EXPECT_EQ(spellInfo.at("Cool").targetType, TargetType::None);
    EXPECT_EQ(spellPortraitTextures.count("Zap"), 0u);
    EXPECT_EQ(spellTextures.count("Zap"), 0u);
}

TEST_F(CatalogueFile, SpellEffectBindsByExactName) {
    EXPECT_EQ(effectFunctions.size(), 23u);
    int calls = 0;
    const EffectFunction original = effectFunctions.at("haste");
    effectFunctions["haste"] = [&calls](const SpellContext&) {
        ++calls;
        return true;
    };
    loadSpells(file("spells.json", R"({"Fast": {"id": "f", "name": "F", "effect": "haste"},
                                       "Wrong": {"id": "w", "name": "W", "effect": "Haste"}})"));
    effectFunctions["haste"] = original;
    spellInfo.at("Fast").effect(SpellContext{});
    spellInfo.at("Wrong").effect(SpellContext{});
    EXPECT_EQ(calls, 1);
}

TEST_F(CatalogueFile, UnitSpriteDefaultsAndPivotOfExactlyTwoNumbers) {
    loadUnitSprites(file("sprites.json", R"({
        "Plain": {},
        "Three": {"pivot": [10, 20, 30]},
        "Two": {"pivot": [10, 20], "attackFrameHeight": 47.9, "animations": {"walk": {"start": 2, "count": 4}}},
        "Odd": {"animations": 5}})"));
    const UnitSpriteMeta& plain = unitSprites.at("Plain");
    EXPECT_EQ(plain.frameWidth, 32);
    EXPECT_EQ(plain.numFrames, 1);
    EXPECT_EQ(plain.projectileSpawnTick, 1);
    EXPECT_FLOAT_EQ(plain.hitboxScaleY, 1.0f);
    EXPECT_FLOAT_EQ(unitSprites.at("Three").pivot.x, 0.0f);
    const UnitSpriteMeta& two = unitSprites.at("Two");
    EXPECT_FLOAT_EQ(two.pivot.y, 20.0f);
    EXPECT_EQ(two.attackFrameHeight, 47);
    EXPECT_EQ(two.animations.at("walk").count, 4);
    EXPECT_TRUE(unitSprites.at("Odd").animations.empty());
}

TEST_F(CatalogueFile, BuildingSpriteOffsetFillsBothOffsets) {
    loadBuildingSprites(file("b.json", R"({"Hall": {"animation": {"offsetX": 12}}, "Hut": {}})"));
    EXPECT_EQ(buildingSprites.at("Hall").animation.offsetY, 12);
    EXPECT_FLOAT_EQ(buildingSprites.at("Hall").animation.frameDuration, 0.1f);
    EXPECT_EQ(buildingSprites.at("Hut").animation.frameCount, 1);
}

TEST_F(CatalogueFile, EffectWithoutAnimationHasZeroScale) {
    loadSpecialEffectsSprites(file("e.json", R"({"Plain": {}, "Anim": {"animation": {}}})"));
    EXPECT_FLOAT_EQ(specialEffectsSprites.at("Plain").scale, 0.0f);
    EXPECT_EQ(specialEffectsSprites.at("Plain").loopTimes, 1);
    EXPECT_FLOAT_EQ(specialEffectsSprites.at("Anim").scale, 1.0f);
}

TEST_F(CatalogueFile, MapObjectDefaultsAndNumberFromBoolean) {
    loadMapObjects(file("m.json", R"({"Rock": {}, "Big": {"wTiles": true}})"));
    EXPECT_EQ(mapObjectInfo.at("Rock").maxCapacity, 0);
    EXPECT_FALSE(mapObjectInfo.at("Rock").harvestable);
    EXPECT_EQ(mapObjectInfo.at("Big").wTiles, 1);
}

TEST_F(CatalogueFile, ProjectileHitThatIsNotAnObjectIsIgnored) {
    loadProjectiles(file("p.json", R"({"Plain": {}, "Odd": {"hit": "boom", "frameWidth": 3},
                                       "Hit": {"hit": {"frameDuration": 0.25}}})"));
    EXPECT_FLOAT_EQ(projectileInfo.at("Plain").scale, 1.0f);
    EXPECT_EQ(projectileInfo.at("Odd").hitFrameWidth, 0);
    EXPECT_EQ(projectileInfo.at("Odd").frameWidth, 3);
    EXPECT_FLOAT_EQ(projectileInfo.at("Hit").hitFrameDuration, 0.25f);
    EXPECT_EQ(projectileInfo.at("Hit").hitTexture, nullptr);
}

TEST_F(CatalogueFile, UpgradeTextsOutsideTheirTablesGiveZero) {
    loadUpgradesFromJson(file("u.json", R"({"upgrades": [{"id": "X", "bonus": 2.9, "type": "Armor",
        "category": "Naval", "time": 1, "woodCost": 0, "goldCost": 0, "name": "X", "buildings": ["Hall", "Hall"]}],
        "upgradeRequirements": [{"id": "X", "requires": ["Y"]}, {"id": "Z", "tier": 4}]})"));
    const UnitUpgrade& x = upgrades.at("X");
    EXPECT_EQ(x.type, UpgradeType::None);
    EXPECT_EQ(x.category, UnitCategory::Naval);
    EXPECT_EQ(x.bonus, 2);
    EXPECT_EQ(buildingResearchTree.at("Hall").size(), 2u);
    EXPECT_EQ(upgradeRequirements.at("X").tier, 1);
    EXPECT_EQ(upgradeRequirements.at("X").requires, (std::vector<std::string>{"Y"}));
    EXPECT_TRUE(upgradeRequirements.at("Z").requires.empty());
}

TEST_F(CatalogueFile, GlobalSettingsTakeOneTrackOrAListAndIgnoreOtherKeys) {
    const std::string path = dir / "core/data/races/global/global.json";
    writeFile(path, R"({"MainMenuMusic": null, "mainmenumusic": ["a.ogg"]})");
    loadAllRaces("", "", dir / "core");
    EXPECT_TRUE(mainMenuTracks.empty());
    writeFile(path, R"({"MainMenuMusic": "one.ogg"})");
    loadAllRaces("", "", dir / "core");
    EXPECT_EQ(mainMenuTracks, (std::vector<std::string>{"one.ogg"}));
}

TEST_F(CatalogueFile, NumbersBeyondTheCatalogueBoundAreRejected) {
    EXPECT_THROW(loadMapObjects(file("m.json", R"({"Rock": {"maxCapacity": 1e300}})")), CatalogueError);
    EXPECT_THROW(loadMapObjects(file("m.json", R"({"Rock": {"maxCapacity": -1000001}})")), CatalogueError);
    EXPECT_NO_THROW(loadMapObjects(file("m.json", R"({"Rock": {"maxCapacity": 1000000}})")));
    EXPECT_THROW(jsonToInt(nlohmann::json(4294967296)), std::out_of_range);
    EXPECT_EQ(jsonToInt(nlohmann::json(-7.9)), -7);
    EXPECT_EQ(jsonToInt(nlohmann::json(2147483647)), 2147483647);
}

// Files that are reported and skipped: the line names the file and loading goes on.
TEST_F(CatalogueFile, EmptyOrUnreadableFilesAreReportedAndSkipped) {
    writeFile(dir / "core/data/races/elf/race.json", "{}");
    writeFile(dir / "core/data/races/elf/units.json", "[]");
    writeFile(dir / "core/data/races/elf/buildings.json", "");
    writeFile(dir / "core/data/races/elf/sounds.json", R"({"Spells": {"Bolt": "bolt.wav"}})");
    writeFile(dir / "core/data/races/elf/spells.json", R"({"Bolt": {"id": "b", "name": "Bolt"}})");
    writeFile(dir / "core/data/races/global/map_objects.json", "[]");
    ::testing::internal::CaptureStderr();
    loadAllRaces("", "", dir / "core");
    const std::string log = ::testing::internal::GetCapturedStderr();
    const std::string elf = dir / "core/data/races/elf/";
    EXPECT_NE(log.find("Race data is empty. Check file: " + elf + "race.json\n"), std::string::npos);
    EXPECT_NE(log.find("Unit data is empty. Check file: " + elf + "units.json\n"), std::string::npos);
    EXPECT_NE(log.find("[JSON ERROR] Failed to parse " + elf + "buildings.json"), std::string::npos);
    EXPECT_NE(log.find("Building data is empty. Check file: " + elf + "buildings.json\n"), std::string::npos);
    EXPECT_NE(log.find("Invalid sound format for Bolt\n"), std::string::npos);
    EXPECT_NE(log.find("Map object data is empty. Check file: "), std::string::npos);
    EXPECT_TRUE(races.empty());
    EXPECT_EQ(spellInfo.count("Bolt"), 1u);  // the later files of the race still load
}

TEST_F(CatalogueFile, UnopenableOptionalCataloguesLeaveTheirTables) {
    techTree.push_back(Tech{});
    ::testing::internal::CaptureStderr();
    const std::string missing = dir / "missing.json";
    loadTechFromJson(missing);
    loadItemsFromJson(missing);
    loadUpgradesFromJson(missing);
    loadHotkeys(missing);
    loadUnitRequirements(missing);
    loadBuildingUnits(missing);
    loadBuildingRequirements(missing);
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(techTree.size(), 1u);
    for (const char* line :
         {"Could not open tech file: ", "Could not open items file: ", "Could not open upgrades file: ",
          "Could not open hotkeys file: ", "Could not open unit requirements file: ",
          "Could not open building units file: ", "Failed to open building requirements JSON: "})
        EXPECT_NE(log.find(line + missing + "\n"), std::string::npos) << line;
}

// Files that end start-up: one line naming the file and the fault, and a load that says it failed (start-up then
// ends the program with exit code 1).
struct StoppingFile {
    const char* file;
    const char* text;
    const char* fault;
};

struct StartUpStops : ::testing::TestWithParam<StoppingFile> {};

TEST_P(StartUpStops, WithOneLineNamingTheFile) {
    resetCatalogues();
    TempDir dir;
    writeFile(dir / "core/data/races/human/race.json", R"({"name": "human"})");
    writeFile(dir / "core/data/races/human/units.json", R"({"Peasant": {"race": "human"}})");
    writeFile(dir / "core/data/races/human/buildings.json", R"({"Hall": {"hp": 10}})");
    writeFile(dir / (std::string("core/data/races/") + GetParam().file), GetParam().text);
    const std::string expected = std::string("^Content error: [^\n]*") + GetParam().file + ": [^\n]*" +
                                 GetParam().fault + "[^\n]*\n$";
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(loadAllRacesOrReport("", "", dir / "core"));
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(std::regex_search(said, std::regex(expected))) << said;
}

INSTANTIATE_TEST_SUITE_P(
    BadCatalogueFiles, StartUpStops,
    ::testing::Values(
        StoppingFile{"orc/race.json", R"({"displayName": "x"})", "type must be string, but is null"},
        StoppingFile{"orc/race.json", R"({"name": "x", "unitTypes": [1]})", "type must be string"},
        StoppingFile{"human/spells.json", "", "parse_error"},
        StoppingFile{"human/spells.json", R"({"S": {"name": "x"}})", "type must be string, but is null"},
        StoppingFile{"human/projectiles.json", R"({"A": {"frameWidth": "wide"}})", "type must be number"},
        StoppingFile{"human/sounds.json", R"({"Units": {}})", "Unknown SoundCategory: Units"},
        StoppingFile{"human/sounds.json", R"({"Game": {"Win": ["a.wav", 3]}})", "type must be string"},
        StoppingFile{"human/building_requirements.json", "", "parse_error"},
        StoppingFile{"human/buildings.json", R"({"B": {"fireSpots": [[10]]}})", "out_of_range"},
        StoppingFile{"human/unit_requirements.json", R"({"U": {}})", "type must be number, but is null"},
        StoppingFile{"human/upgrades.json", R"({"upgrades": [{"id": "x"}]})", "type must be number, but is null"},
        StoppingFile{"human/hotkeys.json", R"({"units": {"U": {"B": {"type": "build"}}}})", "but is null"},
        StoppingFile{"human/tech.json", R"({"tech": [{"id": "t"}]})", "type must be string, but is null"},
        StoppingFile{"human/units.json", R"({"U": {"hp": 1e300}})", "\"hp\" 1e\\+300 is beyond the largest"},
        StoppingFile{"human/units.json", R"({"U": {"sight": 2147483647}})", "\"sight\" 2147483647 is beyond"},
        StoppingFile{"human/units.json", "\x93\x07garbage", "not JSON"},
        StoppingFile{"human/buildings.json", "{", "not JSON"},
        StoppingFile{"human/cursors.json", R"({"c": {"hotspot": 4}})", "type must be array"},
        StoppingFile{"global/global.json", "{", "parse_error"},
        StoppingFile{"global/items.json", R"({"items": [{"name": "x"}]})", "but is null"},
        StoppingFile{"global/map_objects.json", R"({"Tree": {"harvestable": 1}})", "type must be boolean"},
        StoppingFile{"global/effects_sprites.json", R"({"E": {"animation": 3}})", "cannot use value\\(\\) with"}),
    [](const ::testing::TestParamInfo<StoppingFile>& info) {
        std::string name = info.param.file;
        for (char& c : name)
            if (!isalnum(static_cast<unsigned char>(c))) c = '_';
        return name + "_" + std::to_string(info.index);
    });

}  // namespace
