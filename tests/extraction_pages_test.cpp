// The Extraction pages driven by synthetic events: a new campaign, choosing a mission, deploying, buying a tech.
#include <gtest/gtest.h>

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
