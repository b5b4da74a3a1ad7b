// The Extraction campaign walked through its pages: a new campaign, a mission chosen and deployed through the
// loading page, a fight with a unit lost, the extraction, the campaign continued from the hub, and again after the
// program is started anew.
#include <algorithm>
#include <filesystem>
#include <functional>

#include "../tools/render_scene.h"
#include "extraction_campaign.h"
#include "extraction_field.h"
#include "extraction_items.h"
#include "extraction_missions.h"
#include "extraction_rules.h"
#include "hud.h"
#include "map_objects.h"
#include "sdl_events.h"
#include "session_fixture.h"
#include "ui/extraction_pages.h"
#include "ui/extraction_roster_lists.h"
#include "ui/main_page.h"

namespace {

// Menu frames, as the top-level loop runs them, until the match starts or the limit.
void menuFramesUntilTheMatch(int limit) {
    for (int i = 0; i < limit && gameState == GameState::Menus; ++i) main_loop();
}

bool sameUnits(const std::vector<UnitSaveData>& a, const std::vector<UnitSaveData>& b) {
    const auto same = [](const UnitSaveData& x, const UnitSaveData& y) {
        return x.type == y.type && x.nickname == y.nickname && x.level == y.level && x.xp == y.xp &&
               x.kills == y.kills && x.alive == y.alive;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), same);
}

struct ExtractionFlow : DrawnSessionTest {
    SDL_Renderer* previous = renderer;

    void SetUp() override {
        DrawnSessionTest::SetUp();
        if (!scene::loadContent(CORVALE_SOURCE_DIR)) GTEST_SKIP() << "content or art missing";
        basePath = root.path.string() + "/";
        std::filesystem::copy_file(std::string(CORVALE_SOURCE_DIR) + "/maps/ashen_outpost.map",
                                   root.path / "maps/ashen_outpost.map");
        std::filesystem::create_directories(root.path / "extractions");
        std::filesystem::copy_file(std::string(CORVALE_SOURCE_DIR) + "/core/data/extractions/ashen_outpost.json",
                                   root.path / "extractions/ashen_outpost.json");
        extractionSaveFolder = root.path.string() + "/saves/extraction/";
        extractionMapFolder = (root.path / "extractions").string();
        Player::aiId = OTHER_ID;
        Player::environmentId = 303;
        installHooks(HookStage::StartUp);
        players.clear();
        spawnPlayer();
        mainMenu.init();
    }
    void TearDown() override {
        closeMenus();
        DrawnSessionTest::TearDown();
        combatHooks = CombatHooks{};
        unitHooks = UnitHooks{};
        ShowExtractPanel = nullptr;
        destroyRosterWidgets();
        resetExtractionData();
        extraction_options.clear();
        deploymentSelectedMapId = -1;
        extractionSaveFolder = "./saves/extraction/";
        extractionMapFolder = "core/data/extractions";
        extraction_filename.clear();
        load_roster("");
        reloadRepositoryContent();
        renderer = previous;
    }

    // Main page, Extraction, New Campaign, the name typed, Start: the star map of the new campaign.
    static void startCampaign(const char* name) {
        clickOn(shown<MainPage>().extractionButton.rect);
        clickOn(shown<ExtractionPage>().newButton.rect);
        ASSERT_EQ(mainMenu.current, MenuPage::ExtractionNewCampaignPage);
        mainMenu.handleEvent(typed(name));
        clickOn(shown<ExtractionNewCampaignPage>().startButton.rect);
        ASSERT_EQ(mainMenu.current, MenuPage::ExtractionMapPickerPage) << name;
    }

    // Main page, Extraction, the campaign's row, Continue: the star map of the campaign.
    static void continueFromTheHub(const std::string& name) {
        clickOn(shown<MainPage>().extractionButton.rect);
        ASSERT_EQ(mainMenu.current, MenuPage::ExtractionPage);
        ExtractionPage& hub = shown<ExtractionPage>();
        const auto row = std::find_if(hub.campaignList.items.begin(), hub.campaignList.items.end(),
                                      [&](const std::string& text) { return text.find(name) != std::string::npos; });
        ASSERT_NE(row, hub.campaignList.items.end()) << name;
        const float rowY = static_cast<float>(row - hub.campaignList.items.begin()) + 0.5f;
        mainMenu.handleEvent(press(hub.campaignList.rect.x + 20, hub.campaignList.rect.y + hub.campaignList.itemHeight * rowY));
        clickOn(hub.continueButton.rect);
        ASSERT_EQ(mainMenu.current, MenuPage::ExtractionMapPickerPage);
    }

    // The program quits and starts again, then opens the campaign from the hub: every value from the file alone.
    static void restartAndContinue(const std::string& name) {
        destroyRosterWidgets();
        resetExtractionData();
        load_roster("");
        mainMenu.clear();
        mainMenu.init();
        mainMenu.current = MenuPage::MainPage;
        ASSERT_NO_FATAL_FAILURE(continueFromTheHub(name));
    }

    // The one offered mission made an elimination of one Berserker; its card chosen, then Select Map.
    static void chooseTheMission() {
        ASSERT_EQ(extraction_options.size(), 1u);
        extraction_options[0].type = static_cast<int32_t>(ExtractionType::ELIMINATION);
        extraction_options[0].danger = 25;  // a Berserker costs 25
        extraction_options[0].enemyRace = "vohmathal";
        mainMenu.draw();  // the cards take their places as they are drawn
        clickOn(extraction_options[0].card);
        ASSERT_EQ(deploymentSelectedMapId, 0);
        clickOn(shown<ExtractionMapPickerPage>().selectButton.rect);
        ASSERT_EQ(mainMenu.current, MenuPage::ExtractionRosterPickerPage);
    }

    // Every living unit of the ship roster added, then Deploy, and the loading page's steps until the mission.
    static void deployEveryone() {
        for (std::size_t n = shipRoster.size(); n > 0; --n) clickOn(shipRosterListButton->rect);
        ASSERT_FALSE(activeDeploymentRoster.empty());
        clickOn(shown<ExtractionRosterPickerPage>().deployButton.rect);
        ASSERT_EQ(mainMenu.current, MenuPage::LoadingPage);
        menuFramesUntilTheMatch(2000);
        ASSERT_EQ(gameState, GameState::Match);
        ASSERT_EQ(mode, GameMode::Extraction);
    }
};

TEST_F(ExtractionFlow, GainsAndLossesOfAMissionAreKeptAcrossTheHubAndANewStartOfTheProgram) {
    ASSERT_NO_FATAL_FAILURE(startCampaign("Long Walk"));
    const std::vector<UnitSaveData> recruits = shipRoster;
    ASSERT_EQ(recruits.size(), 3u);
    ASSERT_NO_FATAL_FAILURE(chooseTheMission());
    ASSERT_NO_FATAL_FAILURE(deployEveryone());

    // A mission is kept by its campaign, not as a saved game.
    menuButton.onClick();
    const auto* save = dynamic_cast<const Button*>(gameMenu.children.front().get());
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->label, "Save Game");
    EXPECT_FALSE(save->enabled);
    gameMenu.hide();

    // The fight: one of the squad falls; the others kill the Berserker and walk into the zone.
    std::vector<int> squad = getPlayerById(LOCAL_ID)->unitIds;
    ASSERT_EQ(squad.size(), 3u);
    const std::string lost = getUnitById(squad.back())->nickname;
    getUnitById(squad.back())->hp = 0.0f;
    squad.pop_back();
    const std::vector<int> enemies = getPlayerById(OTHER_ID)->unitIds;
    ASSERT_EQ(enemies.size(), 1u);
    getUnitById(enemies[0])->hp = 1.0f;
    const MapObject point = *getMapObjectById(extractionsMapObjectId);
    bool leaving = false;
    const auto orders = [&] {
        if (lockstep.currentTurn % 200 == 1 && getUnitById(enemies[0]))
            for (const int id : squad)
                lockstep.pendingCommands.push_back({CommandType::Attack, LOCAL_ID, AttackCommand{id, enemies[0]}});
        if (leaving || getUnitById(enemies[0])) return;
        leaving = true;
        lockstep.pendingCommands.push_back({CommandType::Move, LOCAL_ID,
                                            MoveCommand{squad, (point.tileX - 2) * SUBDIVISIONS,
                                                        (point.tileY + 2) * SUBDIVISIONS, false}});
    };
    runFrames(30000, 20.0, [&] { return units_around_extraction.size() == squad.size(); }, orders);
    ASSERT_EQ(getUnitById(enemies[0]), nullptr) << "the squad never killed the Berserker";
    ASSERT_EQ(units_around_extraction.size(), squad.size());
    int gained = 0;
    for (const int id : squad) gained += getUnitById(id)->experience;
    EXPECT_GT(gained, 0);
    const SDL_FRect r = extract_modal.rect;
    ASSERT_TRUE(extract_modal.handleEvent(press(r.x + 24.0f, r.y + 12.0f)));  // Extract
    game_loop();
    ASSERT_EQ(gameState, GameState::Menus);
    main_loop();
    ASSERT_EQ(mainMenu.current, MenuPage::MainPage);

    ASSERT_NO_FATAL_FAILURE(continueFromTheHub("Long Walk"));
    const std::vector<UnitSaveData> home = shipRoster;
    EXPECT_EQ(home.size(), 2u);
    int xp = 0;
    for (const UnitSaveData& u : home) {
        EXPECT_TRUE(u.alive) << u.nickname;
        EXPECT_NE(u.nickname, lost) << "a unit lost in the mission stays lost";
        xp += u.xp;
    }
    EXPECT_EQ(xp, gained) << "the experience of the mission came home";
    EXPECT_EQ(global_extraction_level, 2);
    const int techPoints = tech_points;
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    mainMenu.draw();
    DrawFixture::saveScreenshot("flow_extraction_star_map_after_a_mission");

    ASSERT_NO_FATAL_FAILURE(restartAndContinue("Long Walk"));
    EXPECT_TRUE(sameUnits(shipRoster, home));
    EXPECT_EQ(global_extraction_level, 2);
    EXPECT_EQ(tech_points, techPoints);
    EXPECT_EQ(extraction_name, "Long Walk");

    // The next mission lands the survivors as they came home, on a field the first mission left nothing on.
    ASSERT_NO_FATAL_FAILURE(chooseTheMission());
    ASSERT_NO_FATAL_FAILURE(deployEveryone());
    const Player& local = *getPlayerById(LOCAL_ID);
    ASSERT_EQ(local.unitIds.size(), home.size());
    int landedXp = 0;
    for (const int id : local.unitIds) landedXp += getUnitById(id)->experience;
    EXPECT_EQ(landedXp, xp);
    ASSERT_NE(extract_modal_units_label, nullptr);
    EXPECT_EQ(extract_modal_units_label->text.rfind("Units: 0 /", 0), 0u) << extract_modal_units_label->text;
    EXPECT_TRUE(graveyard.empty()) << "the first mission's fallen lie on its own field only";
    EXPECT_TRUE(items_map.empty());
}

// A mission left in its middle, a unit of the squad fallen, by closing the program (whose shutdown ends a running
// match) or by loading a saved game: the campaign file hears nothing of it, so the campaign reopened holds the
// squad once, as it was deployed.
TEST_F(ExtractionFlow, AMissionLeftInItsMiddleLeavesTheCampaignAsItWas) {
    const struct {
        const char* name;
        std::function<void(SessionTest&)> leave;
    } ways[] = {
        {"program closed", [](SessionTest&) { endSession(); }},
        {"saved game loaded",
         [](SessionTest& test) {
             test.root.write("saves/skirmish.bin", compactJson(commandLogHeader("fight")) + "\n");
             ASSERT_TRUE(requestResume("skirmish.bin"));
             game_loop();
             ASSERT_EQ(mode, GameMode::ResumedSave);
             endSession();
         }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        ASSERT_NO_FATAL_FAILURE(startCampaign(way.name));
        const std::vector<UnitSaveData> recruits = shipRoster;
        const std::filesystem::path file = extractionSaveFolder + extraction_filename;
        const std::string before = readWholeFile(file);
        ASSERT_NO_FATAL_FAILURE(chooseTheMission());
        ASSERT_NO_FATAL_FAILURE(deployEveryone());
        getUnitById(getPlayerById(LOCAL_ID)->unitIds.back())->hp = 0.0f;
        runFrames(100, 20.0, [] { return false; });
        ASSERT_EQ(gameState, GameState::Match);

        ASSERT_NO_FATAL_FAILURE(way.leave(*this));
        ASSERT_EQ(gameState, GameState::Menus);
        EXPECT_EQ(readWholeFile(file), before);
        ASSERT_NO_FATAL_FAILURE(restartAndContinue(way.name));
        EXPECT_TRUE(sameUnits(shipRoster, recruits));
        EXPECT_TRUE(activeDeploymentRoster.empty());
        EXPECT_EQ(global_extraction_level, 1);
        mainMenu.switch_to_page(MenuPage::MainPage);
        main_loop();
    }
}

// A name typed on an earlier visit and left behind by Back is not the name of a campaign started on the next
// visit, whose field shows nothing.
TEST_F(ExtractionFlow, ANameLeftOnAnEarlierVisitIsNotTheNextCampaignsName) {
    clickOn(shown<MainPage>().extractionButton.rect);
    clickOn(shown<ExtractionPage>().newButton.rect);
    mainMenu.handleEvent(typed("Left Behind"));
    clickOn(shown<ExtractionNewCampaignPage>().backButton.rect);
    clickOn(shown<ExtractionPage>().newButton.rect);
    ASSERT_EQ(mainMenu.current, MenuPage::ExtractionNewCampaignPage);
    EXPECT_TRUE(shown<ExtractionNewCampaignPage>().nameInput.text.empty());
    clickOn(shown<ExtractionNewCampaignPage>().startButton.rect);
    EXPECT_EQ(mainMenu.current, MenuPage::ExtractionNewCampaignPage) << "an empty name makes no campaign";
    EXPECT_EQ(shown<ExtractionNewCampaignPage>().refusalLine, "Type a name with a letter or a digit.");
    EXPECT_FALSE(std::filesystem::exists(extractionSaveFolder + "leftbehind.bin"));
}

// A second campaign under a name that gives the same file name keeps the first campaign's file.
TEST_F(ExtractionFlow, ANewCampaignNeverReplacesTheFileOfAnother) {
    const char* names[] = {"Red Dawn", "red dawn!"};
    for (const char* name : names) {
        ASSERT_NO_FATAL_FAILURE(startCampaign(name));
        mainMenu.switch_to_page(MenuPage::MainPage);
        main_loop();
    }
    clickOn(shown<MainPage>().extractionButton.rect);
    const std::vector<std::string> rows = shown<ExtractionPage>().campaignList.items;
    ASSERT_EQ(rows.size(), 2u);
    for (const char* name : names)
        EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                                [&](const std::string& row) { return row.find(name) != std::string::npos; }),
                  1)
            << name;
}

}  // namespace

// Presses that reach the match in one frame, as a slow frame collects a double click: the squad in the zone and the
// campaign level are banked once, whichever of the two ways to extract the presses take.
TEST_F(ExtractionFlow, TwoExtractPressesInOneFrameBankTheSquadOnce) {
    const auto pressAt = [](float x, float y) {
        for (const Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
            SDL_Event e = press(x, y);
            e.type = type;
            ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
        }
    };
    const auto extractButton = [&] { pressAt(extract_modal.rect.x + 24.0f, extract_modal.rect.y + 12.0f); };
    // The in-game menu's End Scenario, then the button of the question it asks.
    const auto endScenario = [&] {
        menuButton.onClick();
        gameMenu.handleEvent(press(gameMenu.rect.x + 125.0f, gameMenu.rect.y + 215.0f));
        ASSERT_FALSE(pendingShutdown);
        pressAt(gameMenu.rect.x + 125.0f, gameMenu.rect.y + 255.0f);
    };
    const struct {
        const char* name;
        std::function<void()> first;
    } ways[] = {{"Twice", extractButton}, {"Ended", endScenario}};
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        ASSERT_NO_FATAL_FAILURE(startCampaign(way.name));
        ASSERT_NO_FATAL_FAILURE(chooseTheMission());
        ASSERT_NO_FATAL_FAILURE(deployEveryone());
        standInTheZone(getPlayerById(LOCAL_ID)->unitIds);
        ASSERT_TRUE(extract_modal.isVisible());

        ASSERT_NO_FATAL_FAILURE(way.first());
        extractButton();
        game_loop();
        ASSERT_TRUE(pendingShutdown);
        game_loop();
        ASSERT_EQ(gameState, GameState::Menus);
        EXPECT_EQ(load_roster(extraction_filename).size(), 3u) << "the squad came home once";
        EXPECT_EQ(global_extraction_level, 2);
        main_loop();
    }
}

// On the roster picker a double click on a unit opens its dialog with its portrait and facts; Close puts it away.
TEST_F(ExtractionFlow, AUnitsDialogShowsItsPortraitAndClosesFromItsButton) {
    ASSERT_NO_FATAL_FAILURE(startCampaign("Faces"));
    ASSERT_NO_FATAL_FAILURE(chooseTheMission());
    const List& list = *shipRosterList;
    const float rowY = list.rect.y + static_cast<float>(list.itemHeight) * 1.5f;
    for (int i = 0; i < 2; ++i) mainMenu.handleEvent(press(list.rect.x + 20.0f, rowY));
    ASSERT_TRUE(unit_detail_modal.isVisible());
    const auto has = [](const auto& wanted) {
        return std::any_of(unit_detail_modal.children.begin(), unit_detail_modal.children.end(), wanted);
    };
    EXPECT_TRUE(has([](const auto& child) { return dynamic_cast<const Image*>(child.get()) != nullptr; }))
        << "the Scavenger's portrait";
    EXPECT_TRUE(has([](const auto& child) {
        const auto* label = dynamic_cast<const Label*>(child.get());
        return label && label->text == "Nickname: " + shipRoster[1].nickname;
    }));
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    mainMenu.draw();
    DrawFixture::saveScreenshot("flow_extraction_unit_dialog");

    const SDL_FRect r = unit_detail_modal.rect;
    clickOn({r.x + r.w - 225.0f, r.y + r.h - 60.0f, 200.0f, 30.0f});  // Close
    EXPECT_FALSE(unit_detail_modal.isVisible());
    EXPECT_EQ(mainMenu.current, MenuPage::ExtractionRosterPickerPage);
}

// DNA cloning researched on the tech page; in the mission a squad member falls, one comrade carries the corpse and
// another a cryopod into the zone; after a new start of the program the fallen one is listed dead beside the pod,
// and the pod revives it from the roster picker's dialog, which the campaign keeps over another new start.
TEST_F(ExtractionFlow, AFallenUnitCarriedHomeIsRevivedWithTheCryopodCarriedBesideIt) {
    // The kill below rolls for a cryopod drop, 2 in 100 at random; this seed's first forty rolls drop none, so the
    // only pod is the one carried in.
    seedItemDrops(2);
    ASSERT_NO_FATAL_FAILURE(startCampaign("Pods"));
    tech_points = 3;  // earned in earlier missions
    clickOn(shown<ExtractionMapPickerPage>().techButton.rect);
    ASSERT_EQ(mainMenu.current, MenuPage::ExtractionTechTreePage);
    const auto cloning = std::find_if(techTree.begin(), techTree.end(),
                                      [](const Tech& t) { return t.name == "DNA cloning"; });
    ASSERT_NE(cloning, techTree.end());
    clickOn({cloning->x + 10.0f, cloning->y + 10.0f, 1.0f, 1.0f});
    ASSERT_TRUE(cloning->unlocked);
    clickOn(shown<ExtractionTechTreePage>().backButton.rect);
    ASSERT_NO_FATAL_FAILURE(chooseTheMission());
    ASSERT_NO_FATAL_FAILURE(deployEveryone());

    // The last of the squad, wounded, meets the Berserker and falls to it; the Berserker is then gone.
    std::vector<int> squad = getPlayerById(LOCAL_ID)->unitIds;
    ASSERT_EQ(squad.size(), 3u);
    const int enemy = getPlayerById(OTHER_ID)->unitIds.front();
    const int victim = squad.back();
    squad.pop_back();
    const std::string fallen = getUnitById(victim)->nickname;
    const auto standBeside = [](int id, const Unit& other) {
        Unit& unit = *getUnitById(id);
        unit.x = unit.prevX = other.x + 35.0f;
        unit.y = unit.prevY = other.y;
    };
    getUnitById(victim)->hp = 1.0f;
    standBeside(victim, *getUnitById(enemy));
    runFrames(3000, 20.0, [&] { return getUnitById(victim) == nullptr; });
    ASSERT_EQ(items_map.size(), 1u) << "the fallen unit's corpse";
    getUnitById(enemy)->hp = 0.0f;
    const int corpse = items_map.begin()->first;
    const int pod = itemID++;
    items_map[pod] = Item{pod, "CryoPod", items_map[corpse].x, items_map[corpse].y + 35.0f, true, -1};
    items.push_back(pod);
    for (const int id : squad) {
        Unit& unit = *getUnitById(id);
        unit.x = unit.prevX = items_map[corpse].x - 70.0f;
        unit.y = unit.prevY = items_map[corpse].y;
    }
    lockstep.pendingCommands.push_back({CommandType::PickUp, LOCAL_ID, PickUpCommand{squad[0], corpse}});
    lockstep.pendingCommands.push_back({CommandType::PickUp, LOCAL_ID, PickUpCommand{squad[1], pod}});
    runFrames(3000, 20.0, [&] { return !items_map[corpse].onGround && !items_map[pod].onGround; });
    ASSERT_FALSE(items_map[corpse].onGround || items_map[pod].onGround) << "both loads were taken up";

    standInTheZone(squad);
    const SDL_FRect r = extract_modal.rect;
    ASSERT_TRUE(extract_modal.handleEvent(press(r.x + 24.0f, r.y + 12.0f)));  // Extract
    game_loop();
    ASSERT_EQ(gameState, GameState::Menus);
    main_loop();

    ASSERT_NO_FATAL_FAILURE(restartAndContinue("Pods"));
    EXPECT_EQ(global_cryppod_count, 1);
    const auto dead = std::find_if(shipRoster.begin(), shipRoster.end(),
                                   [](const UnitSaveData& u) { return !u.alive; });
    ASSERT_NE(dead, shipRoster.end());
    EXPECT_EQ(dead->nickname, fallen);
    EXPECT_EQ(shipRoster.size(), 3u);
    ASSERT_NO_FATAL_FAILURE(chooseTheMission());
    const int row = static_cast<int>(dead - shipRoster.begin());
    const float rowY = shipRosterList->rect.y + static_cast<float>(shipRosterList->itemHeight) * (row + 0.5f);
    for (int i = 0; i < 2; ++i) mainMenu.handleEvent(press(shipRosterList->rect.x + 20.0f, rowY));
    ASSERT_TRUE(unit_detail_modal.isVisible());
    const SDL_FRect dialog = unit_detail_modal.rect;
    clickOn({dialog.x + 25.0f, dialog.y + dialog.h - 60.0f, 200.0f, 30.0f});  // REVIVE
    EXPECT_EQ(global_cryppod_count, 0);
    EXPECT_FALSE(unit_detail_modal.isVisible());
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    mainMenu.draw();
    DrawFixture::saveScreenshot("flow_extraction_revived");
    EXPECT_EQ(shown<ExtractionRosterPickerPage>().cryopodLine, "Cryopods 0");

    ASSERT_NO_FATAL_FAILURE(restartAndContinue("Pods"));
    EXPECT_EQ(global_cryppod_count, 0);
    EXPECT_TRUE(std::all_of(shipRoster.begin(), shipRoster.end(), [](const UnitSaveData& u) { return u.alive; }));
    EXPECT_TRUE(std::any_of(techTree.begin(), techTree.end(),
                            [](const Tech& t) { return t.name == "DNA cloning" && t.unlocked; }));
}
