// An Extraction mission played frame by frame on a shipped map: the roster kills the enemy, walks into the zone and
// is banked through the mission's Extract dialog, which saves the campaign with the tech reward.
#include <algorithm>

#include "activity.h"
#include "../tools/render_scene.h"
#include "draw_fixture.h"
#include "extraction_campaign.h"
#include "extraction_folders.h"
#include "extraction_field.h"
#include "extraction_items.h"
#include "extraction_rules.h"
#include "hud.h"
#include "map_objects.h"
#include "sdl_events.h"
#include "session_fixture.h"
#include "tech_tree.h"
#include "textures.h"
#include "ui/extraction_pages.h"

struct ExtractionPlay : SessionTest {
    SDL_Renderer* previous = renderer;

    // Before the fixture notes the configuration, so its tear-down puts back the scenes' configuration.
    static void SetUpTestSuite() { scene::loadContent(CORVALE_SOURCE_DIR); }

    void SetUp() override {
        if (!scene::loadContent(CORVALE_SOURCE_DIR)) GTEST_SKIP() << "content or art missing";
        SessionTest::SetUp();
        std::filesystem::copy_file(std::string(CORVALE_SOURCE_DIR) + "/maps/ashen_outpost.map",
                                   root.path / "maps/ashen_outpost.map");
        extractionSaveFolder = root.path.string() + "/saves/";
        Player::aiId = OTHER_ID;
        Player::environmentId = 303;
        installHooks(HookStage::StartUp);
    }
    void TearDown() override {
        SessionTest::TearDown();
        forgetDeployedMission();
        mode = GameMode::Skirmish;
        // Later scenes of this run expect the content and art the session tear-down dropped.
        reloadRepositoryContent();
        renderer = previous;
    }

    // Marines of the roster on the shipped outpost against Berserkers, through the real deploy and session start;
    // the campaign is saved under file.
    static void deployAgainstBerserkers(const std::string& file, int marines = 3, int berserkers = 1) {
        const UnitSaveData marine{"Marine", "Jax", 1, 0, 0, true};
        extraction_filename = file;
        shipRoster = {marine};
        activeDeploymentRoster.assign(static_cast<std::size_t>(marines), marine);
        extraction_options.assign(1, ExtractionNode(static_cast<int32_t>(ExtractionType::ELIMINATION)));
        extraction_options[0].path = std::string(CORVALE_SOURCE_DIR) + "/core/data/extractions/ashen_outpost.json";
        extraction_options[0].enemyRace = "vohmathal";
        extraction_options[0].danger = 25 * berserkers;  // a Berserker costs 25
        deploymentSelectedMapId = 0;
        players.clear();
        spawnPlayer();
        ASSERT_TRUE(deployChosenMission());
        ASSERT_TRUE(start_extraction(true, true, currentMap, false));
    }
};

TEST_F(ExtractionPlay, TheRosterKillsWalksIntoTheZoneAndIsBankedWithTheTechReward) {
    ASSERT_NO_FATAL_FAILURE(deployAgainstBerserkers("play.bin"));

    const std::vector<int> squad = getPlayerById(LOCAL_ID)->unitIds;
    const std::vector<int> enemies = getPlayerById(OTHER_ID)->unitIds;
    ASSERT_EQ(enemies.size(), 1u);
    const MapObject point = *getMapObjectById(extractionsMapObjectId);
    game_loop();
    EXPECT_FALSE(extract_modal.isVisible()) << "no unit in the zone yet";
    bool leaving = false;
    const auto order = [&] {
        if (lockstep.currentTurn == 1)
            for (const int id : squad)
                lockstep.pendingCommands.push_back({CommandType::Attack, LOCAL_ID, AttackCommand{id, enemies[0]}});
        if (leaving || getUnitById(enemies[0])) return;
        leaving = true;
        const int x = (point.tileX - 2) * SUBDIVISIONS;
        const int y = (point.tileY + 2) * SUBDIVISIONS;
        lockstep.pendingCommands.push_back({CommandType::Move, LOCAL_ID, MoveCommand{squad, x, y, false}});
    };
    runFrames(30000, 20.0, [] { return units_around_extraction.size() == 3; }, order);
    ASSERT_EQ(units_around_extraction.size(), 3u);
    ASSERT_TRUE(extract_modal.isVisible());
    EXPECT_EQ(extract_modal_units_label->text, "Units: 3 / 3");

    scene::prepareView(true, {point.tileX - 3, point.tileY + 1});
    scene::drawFrame();
    extract_modal.draw();
    DrawFixture::saveScreenshot("extraction_mission");
    const SDL_Point at{static_cast<int>(extract_modal.rect.x) + 24, static_cast<int>(extract_modal.rect.y) + 12};
    EXPECT_TRUE(DrawFixture::same(DrawFixture::pixel(at.x, at.y), {139, 0, 0, 255})) << "the Extract button";

    SDL_Event click{};
    click.type = SDL_MOUSEBUTTONDOWN;
    click.button.button = SDL_BUTTON_LEFT;
    click.button.x = at.x;
    click.button.y = at.y;
    EXPECT_TRUE(extract_modal.handleEvent(click));
    EXPECT_TRUE(pendingShutdown);
    game_loop();
    EXPECT_EQ(gameState, GameState::Menus);
    const std::vector<UnitSaveData> saved = load_roster("play.bin");
    ASSERT_EQ(saved.size(), 4u);
    EXPECT_EQ(saved[1].xp + saved[2].xp + saved[3].xp, 25) << "the Berserker's experience came home";
    EXPECT_EQ(global_extraction_level, 2);
    EXPECT_EQ(tech_points, 1);
}

TEST_F(ExtractionPlay, EndScenarioAsksNamingTheUnitsLeftBehindAndOnlyThenExtracts) {
    const UnitSaveData marine{"Marine", "Jax", 1, 0, 0, true};
    ASSERT_NO_FATAL_FAILURE(deployAgainstBerserkers("end.bin"));
    game_loop();
    ASSERT_EQ(unitsLeftBehind(), 3);

    const auto pressMenu = [](float offset) {
        SDL_Event e{};
        e.type = SDL_MOUSEBUTTONDOWN;
        e.button.button = SDL_BUTTON_LEFT;
        e.button.x = static_cast<int>(gameMenu.rect.x + 125.0f);
        e.button.y = static_cast<int>(gameMenu.rect.y + offset + 15.0f);
        gameMenu.handleEvent(e);
    };
    // The dialog's text, its wrapped lines joined again.
    const auto says = [](const std::string& text) {
        std::string shown;
        for (const auto& child : gameMenu.children)
            if (const auto* label = dynamic_cast<const Label*>(child.get())) shown += label->text + " ";
        return shown.find(text) != std::string::npos;
    };
    // End Scenario, then Back: nothing ends and the menu is back.
    menuButton.onClick();
    pressMenu(200.0f);
    EXPECT_FALSE(pendingShutdown);
    EXPECT_TRUE(says("3 units will be left behind."));
    pressMenu(280.0f);
    EXPECT_FALSE(pendingShutdown);
    EXPECT_FALSE(says("3 units will be left behind."));
    EXPECT_EQ(global_extraction_level, 1);

    pressMenu(200.0f);
    scene::prepareView(true, getPlayerById(LOCAL_ID)->baseTile);
    scene::drawFrame();
    gameMenu.draw();
    DrawFixture::saveScreenshot("extraction_end_scenario_asks");
    pressMenu(240.0f);
    EXPECT_TRUE(pendingShutdown);
    game_loop();
    EXPECT_EQ(gameState, GameState::Menus);
    EXPECT_EQ(load_roster("end.bin"), std::vector<UnitSaveData>{marine}) << "nobody outside the zone came home";
    EXPECT_EQ(global_extraction_level, 2);
}

// The notice comes from the mission as the game starts it, with no hook of a test's own in the way.
TEST_F(ExtractionPlay, KillingTheLastEnemyOfARealMissionPostsTheAllClearNotice) {
    ASSERT_NO_FATAL_FAILURE(deployAgainstBerserkers("notice.bin"));
    const std::vector<int> squad = getPlayerById(LOCAL_ID)->unitIds;
    const std::vector<int> enemies = getPlayerById(OTHER_ID)->unitIds;
    ASSERT_EQ(enemies.size(), 1u);

    const auto attack = [&] {
        if (lockstep.currentTurn != 1) return;
        for (const int id : squad)
            lockstep.pendingCommands.push_back({CommandType::Attack, LOCAL_ID, AttackCommand{id, enemies[0]}});
    };
    runFrames(30000, 20.0, [&] { return getUnitById(enemies[0]) == nullptr; }, attack);
    ASSERT_EQ(getUnitById(enemies[0]), nullptr) << "the squad never killed the Berserker";
    const auto notice = std::find_if(activityQueue.begin(), activityQueue.end(), [](const Activity& a) {
        return a.text == "[System]: All enemies have been neutralized, you can extract safely";
    });
    ASSERT_TRUE(notice != activityQueue.end()) << "no all-clear notice in the feed";
    EXPECT_EQ(notice->icon, texFood);
    EXPECT_FLOAT_EQ(notice->duration, 5.0f);
}

// The fallen lie where they fell: each corpse item shows its unit's corpse frame over a shadow; a corpse whose
// unit has no picture is named on the error stream and left out.
TEST_F(ExtractionPlay, FallenUnitsLieOnTheGroundAsTheirCorpses) {
    ASSERT_NO_FATAL_FAILURE(deployAgainstBerserkers("corpses.bin", 4, 2));
    const std::vector<int> squad = getPlayerById(LOCAL_ID)->unitIds;
    const std::vector<int> enemies = getPlayerById(OTHER_ID)->unitIds;
    ASSERT_EQ(enemies.size(), 2u);
    const auto attack = [&] {
        if (lockstep.currentTurn % 100 != 1) return;
        for (const int target : enemies)
            if (getUnitById(target))
                for (const int id : squad)
                    lockstep.pendingCommands.push_back({CommandType::Attack, LOCAL_ID, AttackCommand{id, target}});
    };
    runFrames(30000, 20.0, [&] { return !getUnitById(enemies[0]) && !getUnitById(enemies[1]); }, attack);
    std::vector<const Item*> corpses;
    for (const auto& [id, item] : items_map)
        if (item.onGround && item.type == "Corpse") corpses.push_back(&item);
    ASSERT_GE(corpses.size(), 2u) << "each fallen Berserker leaves its corpse";

    const Item& first = *corpses.front();
    scene::prepareView(false, {static_cast<int>(first.x / TILE_SIZE), static_cast<int>(first.y / TILE_SIZE)});
    scene::drawFrame();
    DrawFixture::saveScreenshot("extraction_corpses");
    const SDL_FPoint at = worldToScreen({first.x, first.y});
    // The square around the corpse's point, pixel by pixel.
    const auto around = [&] {
        std::vector<uint32_t> square;
        for (int dy = -20; dy <= 20; ++dy)
            for (int dx = -20; dx <= 20; ++dx) {
                const SDL_Color c = DrawFixture::pixel(static_cast<int>(at.x) + dx, static_cast<int>(at.y) + dy);
                square.push_back(static_cast<uint32_t>(c.r) << 16 | static_cast<uint32_t>(c.g) << 8 | c.b);
            }
        return square;
    };
    const std::vector<uint32_t> with = around();

    // The same corpse of a unit type without a picture: one line each frame, and the ground shows through.
    const std::string type = graveyard[static_cast<std::size_t>(first.graveyardIndex)].type;
    graveyard[static_cast<std::size_t>(first.graveyardIndex)].type = "Nameless";
    ::testing::internal::CaptureStderr();
    scene::drawFrame();
    const std::string errors = ::testing::internal::GetCapturedStderr();
    graveyard[static_cast<std::size_t>(first.graveyardIndex)].type = type;
    EXPECT_NE(errors.find("Unknown unit: Nameless\n"), std::string::npos) << errors;
    EXPECT_NE(around(), with) << "the corpse was drawn over the ground";
}

// A civilian met on the field joins the squad that walks up to it, is counted with the player's units but not with
// those in the zone, and comes home as man power rather than as a roster unit.
TEST_F(ExtractionPlay, ARecruitedCivilianExtractedComesHomeAsManPower) {
    ASSERT_NO_FATAL_FAILURE(deployAgainstBerserkers("civilian.bin"));
    const std::vector<int> squad = getPlayerById(LOCAL_ID)->unitIds;
    const Unit& first = *getUnitById(squad.front());
    const V2i at = worldToSubTile(first.x, first.y);
    const int civilian = spawnUnitAt("Civilian", Player::environmentId,
                                     {static_cast<float>(at.x + 8) / SUBDIVISIONS, static_cast<float>(at.y) / SUBDIVISIONS});
    ASSERT_GE(civilian, 0);
    neutralCivilianIds = {civilian};
    const V2i beside = worldToSubTile(getUnitById(civilian)->x, getUnitById(civilian)->y);
    lockstep.pendingCommands.push_back({CommandType::Move, LOCAL_ID, MoveCommand{squad, beside.x - 4, beside.y, false}});
    runFrames(3000, 20.0, [&] { return getUnitById(civilian)->playerId == LOCAL_ID; });
    ASSERT_EQ(getUnitById(civilian)->playerId, LOCAL_ID) << "the civilian never joined";

    std::vector<int> everyone = squad;
    everyone.push_back(civilian);
    standInTheZone(everyone);
    EXPECT_EQ(extract_modal_units_label->text, "Units: 3 / 4");
    const int manPower = global_man_power;
    SDL_Event click = press(extract_modal.rect.x + 24.0f, extract_modal.rect.y + 12.0f);
    ASSERT_TRUE(extract_modal.handleEvent(click));
    game_loop();
    ASSERT_EQ(gameState, GameState::Menus);
    const std::vector<UnitSaveData> saved = load_roster("civilian.bin");
    EXPECT_EQ(saved.size(), 4u) << "the one aboard and the three marines";
    for (const UnitSaveData& unit : saved) EXPECT_EQ(unit.type, "Marine");
    EXPECT_EQ(global_man_power, manPower + 1);
}

// Slain enemies may leave a cryopod once DNA cloning is researched, one kill in fifty; a hardcore campaign's never do,
// so its fallen stay fallen. A normal campaign going a thousand kills without a pod is rarer than one run in 10^8.
TEST_F(ExtractionPlay, KillsOfAHardcoreCampaignNeverDropACryopod) {
    ASSERT_NO_FATAL_FAILURE(deployAgainstBerserkers("pods.bin"));
    for (Tech& tech : techTree)
        if (tech.name == "DNA cloning") tech.unlocked = true;
    Unit& slain = *getUnitById(getPlayerById(OTHER_ID)->unitIds.front());
    for (const bool hardcoreCampaign : {true, false}) {
        hardcore = hardcoreCampaign;
        items_map.clear();
        for (int kill = 0; kill < 1000; ++kill) combatHooks.dropItem(slain);
        const auto pods = std::count_if(items_map.begin(), items_map.end(),
                                        [](const auto& entry) { return entry.second.type == "CryoPod"; });
        EXPECT_EQ(pods > 0, !hardcoreCampaign) << pods << " pods, hardcore " << hardcoreCampaign;
    }
    hardcore = false;
}

// A press on Extract whose save fails leaves the mission running and says so in the feed, instead of doing nothing.
TEST_F(ExtractionPlay, AnExtractionThatCannotBeSavedSaysSoAndTheMissionGoesOn) {
    ASSERT_NO_FATAL_FAILURE(deployAgainstBerserkers("blocked.bin"));
    root.write("blocked", "");
    extractionSaveFolder = (root.path / "blocked").string() + "/";
    standInTheZone(getPlayerById(LOCAL_ID)->unitIds);
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(extract_modal.handleEvent(press(extract_modal.rect.x + 24.0f, extract_modal.rect.y + 12.0f)));
    ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(pendingShutdown);
    game_loop();
    EXPECT_EQ(gameState, GameState::Match);
    const auto notice = std::find_if(activityQueue.begin(), activityQueue.end(), [](const Activity& a) {
        return a.text == "[System]: The campaign could not be saved, the mission goes on";
    });
    EXPECT_TRUE(notice != activityQueue.end());
}
