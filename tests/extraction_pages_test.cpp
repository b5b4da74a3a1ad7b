// The Extraction pages driven by synthetic events: a new campaign, choosing a mission, deploying, buying a tech.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>

#include "draw_fixture.h"
#include "extraction_campaign.h"
#include "extraction_missions.h"
#include "game_state.h"
#include "player.h"
#include "sdl_events.h"
#include "test_files.h"
#include "ui/extraction_pages.h"
#include "ui/extraction_roster_lists.h"

struct ExtractionPages : DrawFixture {
    TempDir dir;
    MainMenu menu;

    void SetUp() override {
        DrawFixture::SetUp();
        extractionSaveFolder = dir.path.string() + "/saves/";
        extractionMapFolder = dir.makeDir("extractions");
        for (const char* name : {"ashen", "cinder", "glass"})
            dir.write(std::string("extractions/") + name + ".json",
                      std::string(R"({"name":")") + name + R"(","map":")" + name + R"(","mapWidth":64,"mapHeight":64})");
        techTree = {Tech{"dna", "DNA cloning", "", 2, false, 100.0f, 100.0f, nullptr}};
    }
    void TearDown() override {
        destroyRosterWidgets();
        resetExtractionData();
        load_roster("");
        extraction_options.clear();
        deploymentSelectedMapId = -1;
        players.clear();
        techTree.clear();
        mode = GameMode::Skirmish;
        extractionSaveFolder = "./saves/extraction/";
        extractionMapFolder = "core/data/extractions";
        DrawFixture::TearDown();
    }

    static SDL_Event pressOn(const Button& b) { return press(b.rect.x + 5, b.rect.y + 5); }

    void startCampaign(const std::string& name) {
        ExtractionNewCampaignPage page(&menu);
        page.init();
        page.nameInput.onChange(name);
        page.handleEvent(pressOn(page.startButton));
    }
};

TEST_F(ExtractionPages, ANewCampaignWritesThreeUnitsAndOpensTheStarMap) {
    startCampaign("Red Dawn!");
    EXPECT_EQ(menu.pending, MenuPage::ExtractionMapPickerPage);
    EXPECT_TRUE(std::filesystem::exists(dir.path / "saves" / "reddawn.bin"));
    EXPECT_EQ(extraction_name, "Red Dawn!");
    EXPECT_EQ(shipRoster.size(), 3u);
    EXPECT_EQ(global_man_power, 5);
    EXPECT_EQ(extraction_options.size(), 3u);

    const std::string savedBase = basePath;
    basePath = dir.makeDir("root") + "/";
    SDL_Surface* preview = SDL_CreateRGBSurfaceWithFormat(0, 8, 8, 32, SDL_PIXELFORMAT_RGBA32);
    SDL_FillRect(preview, nullptr, SDL_MapRGBA(preview->format, 30, 140, 200, 255));
    for (const ExtractionNode& node : extraction_options)
        SDL_SaveBMP(preview, (dir.makeDir("root/maps") + "/" + node.map + ".bmp").c_str());
    SDL_FreeSurface(preview);
    ExtractionMapPickerPage map(&menu);
    map.init();
    basePath = savedBase;
    map.draw();
    saveScreenshot("extraction_star_map");
    EXPECT_TRUE(same(pixel(640, 550), SDL_Color{200, 200, 255, 255})) << "the vessel";
    EXPECT_TRUE(same(pixel(340, 150), SDL_Color{30, 140, 200, 255})) << "the first map's preview";
    const SDL_FRect card = extraction_options[1].card;
    map.handleEvent(press(card.x + card.w / 2, card.y + card.h / 2));
    EXPECT_EQ(deploymentSelectedMapId, 1);
}

TEST_F(ExtractionPages, TheGuideCoversTheHubUntilClosedAndIsRebuiltNotAddedTo) {
    ExtractionPage hub(&menu);
    hub.init();
    hub.handleEvent(pressOn(hub.howToPlayButton));
    ASSERT_TRUE(hub.howToPlay.isVisible());
    EXPECT_EQ(hub.howToPlay.children.size(), 18u);
    hub.handleEvent(pressOn(hub.newButton));
    EXPECT_FALSE(menu.switchPending) << "the guide takes clicks inside it";
    hub.handleEvent(pressOn(static_cast<Button&>(*hub.howToPlay.children.back())));
    EXPECT_FALSE(hub.howToPlay.isVisible());
    hub.handleEvent(pressOn(hub.howToPlayButton));
    EXPECT_EQ(hub.howToPlay.children.size(), 18u);
}

TEST_F(ExtractionPages, DeployNeedsAChosenMissionAndStartsThroughTheLoadingPage) {
    startCampaign("Alpha");
    ExtractionRosterPickerPage roster(&menu);
    roster.init();
    menu.switchPending = false;
    roster.handleEvent(pressOn(roster.deployButton));
    EXPECT_FALSE(menu.switchPending) << "no mission chosen";
    EXPECT_NE(mode, GameMode::Extraction);

    deploymentSelectedMapId = 0;
    shipRosterList->selected = 0;
    roster.handleEvent(pressOn(*shipRosterListButton));
    roster.handleEvent(pressOn(roster.deployButton));
    EXPECT_EQ(menu.pending, MenuPage::LoadingPage);
    EXPECT_EQ(mode, GameMode::Extraction);
    EXPECT_EQ(currentMap, extraction_options[0].map);
    EXPECT_EQ(activeDeploymentRoster.size(), 1u);
    ASSERT_NE(getPlayerById(Player::aiId), nullptr);
}

TEST_F(ExtractionPages, DeployWithAnEmptyDeploymentRosterIsRefusedWithALineOnThePage) {
    startCampaign("Gamma");
    deploymentSelectedMapId = 0;
    ExtractionRosterPickerPage roster(&menu);
    roster.init();
    menu.switchPending = false;
    roster.handleEvent(pressOn(roster.deployButton));
    EXPECT_FALSE(menu.switchPending);
    EXPECT_NE(mode, GameMode::Extraction);
    EXPECT_EQ(getPlayerById(Player::aiId), nullptr) << "nothing of the mission was set up";
    EXPECT_EQ(roster.refusalLine, "Add at least one unit to the deployment roster.");
    roster.draw();
    saveScreenshot("extraction_deploy_refused");
    bool drawn = false;
    for (int y = 560; y < 590 && !drawn; ++y)
        for (int x = 400; x < 880 && !drawn; x += 1) drawn = same(pixel(x, y), SDL_Color{255, 90, 90, 255});
    EXPECT_TRUE(drawn) << "the refusal is drawn above Deploy";

    shipRosterList->selected = 0;
    roster.handleEvent(pressOn(*shipRosterListButton));
    roster.handleEvent(pressOn(roster.deployButton));
    EXPECT_EQ(menu.pending, MenuPage::LoadingPage) << "one unit is enough";
    EXPECT_TRUE(roster.refusalLine.empty());
}

TEST_F(ExtractionPages, ARefusalLineStaysUntilTheDeploymentRosterChanges) {
    startCampaign("Delta");
    ExtractionRosterPickerPage roster(&menu);
    roster.init();
    const auto deployWithMission = [&](int mission) {
        deploymentSelectedMapId = mission;
        ::testing::internal::CaptureStderr();
        roster.handleEvent(pressOn(roster.deployButton));
        ::testing::internal::GetCapturedStderr();
    };
    const struct {
        const char* what;
        std::function<void()> act;
        std::string line;
    } steps[] = {
        {"deploy with nobody", [&] { deployWithMission(0); }, "Add at least one unit to the deployment roster."},
        {"a press on no widget", [&] { roster.handleEvent(press(640, 100)); },
         "Add at least one unit to the deployment roster."},
        {"a unit added",
         [&] {
             shipRosterList->selected = 0;
             roster.handleEvent(pressOn(*shipRosterListButton));
         },
         ""},
        {"deploy with no mission", [&] { deployWithMission(-1); }, "Choose a mission first."},
        {"the unit dismissed",
         [&] {
             deploymentRosterList->selected = 0;
             roster.handleEvent(pressOn(*deploymentRosterListButton));
         },
         ""},
    };
    for (const auto& step : steps) {
        step.act();
        EXPECT_EQ(roster.refusalLine, step.line) << step.what;
    }
    EXPECT_NE(menu.pending, MenuPage::LoadingPage) << "nothing was deployed";
}

TEST_F(ExtractionPages, TheHubSaysWhenTheSelectedCampaignHasNoUnitsLeft) {
    const UnitSaveData dead{"Marine", "Jax", 1, 0, 0, false};
    const UnitSaveData alive{"Marine", "Kim", 1, 0, 0, true};
    struct Case {
        const char* file;
        std::vector<UnitSaveData> roster;
        bool said;
    };
    const Case cases[] = {{"a.bin", {}, true}, {"b.bin", {dead, dead}, true}, {"c.bin", {dead, alive}, false}};
    for (const Case& c : cases) ASSERT_TRUE(save_roster(c.file, c.file, false, 1, c.roster, 0, 0));
    refresh_extraction_campaigns_list();
    ExtractionPage hub(&menu);
    hub.init();
    for (std::size_t row = 0; row < extraction_campaigns.size(); ++row) {
        const List& list = hub.campaignList;
        hub.handleEvent(press(list.rect.x + 10, list.rect.y + static_cast<float>(list.itemHeight) * (row + 0.5f)));
        ASSERT_EQ(selected_campaign_index, static_cast<int>(row));
        // The folder's own order: the row's file names its case.
        const Case& c = *std::find_if(std::begin(cases), std::end(cases), [row](const Case& k) {
            return extraction_campaigns[row].fileName == k.file;
        });
        EXPECT_EQ(hub.noUnitsLine, c.said ? std::string(c.file) + " has no units left to deploy." : "") << c.file;
    }
    hub.handleEvent(press(hub.campaignList.rect.x + 10, hub.campaignList.rect.y + hub.campaignList.itemHeight * 0.5f));
    hub.draw();
    saveScreenshot("extraction_hub_no_units");
}

TEST_F(ExtractionPages, ATechBoughtIsSavedAtOnce) {
    startCampaign("Beta");
    tech_points = 3;
    ExtractionTechTreePage tree(&menu);
    tree.init();
    tree.handleEvent(press(150.0f, 150.0f));
    EXPECT_EQ(tech_points, 1);
    initExtractionData("beta.bin");
    EXPECT_TRUE(techTree[0].unlocked);
    EXPECT_EQ(tech_points, 1);
}
