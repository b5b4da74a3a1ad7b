// The Extraction pages driven by synthetic events: a new campaign, choosing a mission, deploying, buying a tech.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>

#include "draw_fixture.h"
#include "extraction_campaign.h"
#include "extraction_missions.h"
#include "extraction_roster.h"
#include "game_state.h"
#include "map_preview.h"
#include "player.h"
#include "sdl_events.h"
#include "extraction_folders.h"
#include "test_files.h"
#include "ui/extraction_pages.h"
#include "ui/extraction_roster_lists.h"
#include "units.h"
#include "utils.h"

struct ExtractionPages : DrawFixture {
    TempDir dir;
    MainMenu menu;

    void SetUp() override {
        DrawFixture::SetUp();
        useScratchExtractionFolders(dir);
        techTree = {Tech{"dna", "DNA cloning", "", 2, false, 100.0f, 100.0f, nullptr}};
        for (const char* type : {"Scavenger", "Marine"}) unitInfo[type].type = type;
    }
    void TearDown() override {
        destroyRosterWidgets();
        resetExtractionData();
        load_roster("");
        extraction_options.clear();
        deploymentSelectedMapId = -1;
        players.clear();
        techTree.clear();
        unitInfo.clear();
        mode = GameMode::Skirmish;
        extractionSaveFolder = "./saves/extraction/";
        extractionMapFolder = "core/data/extractions";
        DrawFixture::TearDown();
    }

    static SDL_Event pressOn(const Button& b) { return press(b.rect.x + 5, b.rect.y + 5); }

    // Typed as the player types it: text events of at most 31 bytes each.
    static void typeName(ExtractionNewCampaignPage& page, const std::string& name) {
        for (std::size_t at = 0; at < name.size(); at += 31) page.handleEvent(typed(name.substr(at, 31).c_str()));
    }

    std::vector<std::string> savedFiles() const {
        std::vector<std::string> files;
        std::error_code ignored;
        for (std::filesystem::directory_iterator it(dir.path / "saves", ignored), end; !ignored && it != end;
             it.increment(ignored))
            files.push_back(it->path().filename().string());
        return files;
    }

    static float rowY(const List& list, int slot) {
        return list.rect.y + static_cast<float>(list.itemHeight) * (static_cast<float>(slot) + 0.5f);
    }

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
    SDL_Surface* preview =
        SDL_CreateRGBSurfaceWithFormat(0, MAP_PREVIEW_SIZE, MAP_PREVIEW_SIZE, 32, SDL_PIXELFORMAT_RGBA32);
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

static SDL_Event keyDown(SDL_Keycode sym) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = sym;
    return e;
}

static SDL_Event wheel(int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = y;
    return e;
}

// The box shows on entry the flag of the campaign opened last; what it shows when Start is pressed is what the
// campaign keeps, read from its file alone after the program starts anew.
TEST_F(ExtractionPages, TheHardcoreBoxAsLeftIsTheFlagTheCampaignKeepsAfterARestart) {
    const struct {
        const char* name;
        bool openedLast;
        int clicks;
        bool kept;
    } cases[] = {{"Soft", false, 0, false},   {"Hard", false, 1, true},      {"Undone", false, 2, false},
                 {"Carried", true, 0, true}, {"Unticked", true, 1, false}};
    for (const auto& c : cases) {
        hardcore = c.openedLast;
        ExtractionNewCampaignPage page(&menu);
        page.init();
        typeName(page, c.name);
        const SDL_FRect box = page.hardcoreBox.box;
        for (int i = 0; i < c.clicks; ++i) page.handleEvent(::pressOn(box));
        page.draw();
        const SDL_Color mark = pixel(static_cast<int>(box.x + box.w / 2), static_cast<int>(box.y + box.h / 2));
        EXPECT_EQ(same(mark, SDL_Color{190, 10, 10, 255}), c.kept) << c.name << ": the mark drawn";
        if (c.clicks == 1 && !c.openedLast) saveScreenshot("extraction_new_campaign");
        page.handleEvent(pressOn(page.startButton));

        resetExtractionData();
        load_roster("");
        const std::vector<std::string> rows = refresh_extraction_campaigns_list();
        const std::string file = Utils::sanitizeFilename(c.name);
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const std::string& r) {
            return r.find("(" + file + ")") != std::string::npos;
        });
        ASSERT_NE(row, rows.end()) << c.name;
        EXPECT_EQ(row->rfind("[HC] ", 0) == 0, c.kept) << *row;
        initExtractionData(file);
        EXPECT_EQ(hardcore, c.kept) << c.name;
        EXPECT_EQ(extraction_name, c.name);
    }
}

TEST_F(ExtractionPages, ANameThatCannotBeACampaignFileIsRefusedWithALineAndNoFile) {
    const std::string noLetter = "Type a name with a letter or a digit.";
    const std::string tooLong = "This name is too long for a campaign file.";
    const struct {
        const char* what;
        std::string name;
        std::string line;
    } cases[] = {
        {"nothing typed", "", noLetter},
        {"only punctuation and accents", "!?. -\xC3\xA9", noLetter},
        {"the longest file name", std::string(242, 'a'), ""},
        {"one letter more", std::string(243, 'b'), tooLong},
        {"the longest name kept in a campaign file", "c" + std::string(4095, '!'), ""},
        {"one byte more", "d" + std::string(4096, '!'), tooLong},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(dir.path / "saves");
        menu.switchPending = false;
        ExtractionNewCampaignPage page(&menu);
        page.init();
        typeName(page, c.name);
        ::testing::internal::CaptureStderr();
        page.handleEvent(pressOn(page.startButton));
        ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(page.refusalLine, c.line) << c.what;
        EXPECT_EQ(menu.switchPending, c.line.empty()) << c.what;
        EXPECT_EQ(savedFiles().size(), c.line.empty() ? 1u : 0u) << c.what;
    }

    ExtractionNewCampaignPage page(&menu);
    page.init();
    page.handleEvent(pressOn(page.startButton));
    page.draw();
    saveScreenshot("extraction_new_campaign_refused");
    bool drawn = false;
    for (int y = 395; y < 415 && !drawn; ++y)
        for (int x = 440; x < 840 && !drawn; ++x) drawn = same(pixel(x, y), SDL_Color{255, 90, 90, 255});
    EXPECT_TRUE(drawn) << "the refusal is drawn between the box and Start";
    page.handleEvent(typed("N"));
    EXPECT_EQ(page.refusalLine, "") << "an edit answers the refusal";
}

// The suffix search makes an empty file for the new campaign; a save that then fails takes it away again, leaves
// the campaign of that name as it was and says so.
TEST_F(ExtractionPages, AStartWhoseSaveFailsLeavesNoPlaceholderAndSaysSo) {
    startCampaign("Alpha");
    const std::string kept = readWholeFile(dir.path / "saves" / "alpha.bin");
    // The write cannot open its temporary file beside the placeholder.
    std::filesystem::create_directories(dir.path / "saves" / "alpha_2.bin.tmp");
    menu.switchPending = false;
    ExtractionNewCampaignPage page(&menu);
    page.init();
    typeName(page, "ALPHA!");
    ::testing::internal::CaptureStderr();
    page.handleEvent(pressOn(page.startButton));
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(page.refusalLine, "The campaign could not be saved.");
    EXPECT_FALSE(std::filesystem::exists(dir.path / "saves" / "alpha_2.bin"));
    EXPECT_EQ(readWholeFile(dir.path / "saves" / "alpha.bin"), kept);
    EXPECT_EQ(extraction_filename, "alpha.bin") << "the campaign opened before stays the one saved to";
    EXPECT_FALSE(menu.switchPending);
}

// Keys move the lit row as clicks do, and Continue opens the row that is lit; on entry none is.
TEST_F(ExtractionPages, TheCampaignContinueOpensIsTheRowTheHubLights) {
    for (const char* file : {"a.bin", "b.bin", "c.bin"}) ASSERT_TRUE(save_roster(file, file, false, 1, {}, 0, 0));
    refresh_extraction_campaigns_list();
    ExtractionPage hub(&menu);
    hub.init();
    const List& list = hub.campaignList;
    hub.draw();
    EXPECT_FALSE(same(pixel(static_cast<int>(list.rect.x + 2), static_cast<int>(rowY(list, 0))), {139, 0, 0, 255}))
        << "no row is lit on entry";
    const struct {
        const char* what;
        SDL_Event event;
        int chosen;
    } steps[] = {
        {"Up with no row lit", keyDown(SDLK_UP), 0},
        {"Down", keyDown(SDLK_DOWN), 1},
        {"Down at the last row", keyDown(SDLK_DOWN), 2},
        {"Down again", keyDown(SDLK_DOWN), 2},
        {"a click on the first row", press(list.rect.x + 20, rowY(list, 0)), 0},
        {"a click below the last row", press(list.rect.x + 20, rowY(list, 3)), 0},
        {"Down", keyDown(SDLK_DOWN), 1},
    };
    for (const auto& s : steps) {
        hub.handleEvent(s.event);
        EXPECT_EQ(list.selected, s.chosen) << s.what;
        EXPECT_EQ(selected_campaign_index, s.chosen) << s.what;
    }
    hub.handleEvent(pressOn(hub.continueButton));
    EXPECT_EQ(menu.pending, MenuPage::ExtractionMapPickerPage);
    EXPECT_EQ(extraction_filename, extraction_campaigns[1].fileName);
}

// Twelve rows fit the list: the wheel stops at the last page, and an empty list takes no choice at all.
TEST_F(ExtractionPages, TheHubListStopsAtItsEndsAndAnEmptyOneChoosesNothing) {
    const struct {
        int campaigns;
        int lastOffset;
    } cases[] = {{12, 0}, {13, 1}, {20, 8}, {0, 0}};
    for (const auto& c : cases) {
        std::filesystem::remove_all(dir.path / "saves");
        for (int i = 0; i < c.campaigns; ++i) {
            const std::string file = "c" + std::to_string(100 + i) + ".bin";
            ASSERT_TRUE(save_roster(file, file, false, 1, {}, 0, 0));
        }
        refresh_extraction_campaigns_list();
        ExtractionPage hub(&menu);
        hub.init();
        for (int i = 0; i < 5; ++i) hub.handleEvent(wheel(-1));
        EXPECT_EQ(hub.campaignList.scrollOffset, c.lastOffset) << c.campaigns;
        hub.handleEvent(press(hub.campaignList.rect.x + 20, rowY(hub.campaignList, 11)));
        const int bottomRow = c.campaigns >= 12 ? c.lastOffset + 11 : -1;
        EXPECT_EQ(selected_campaign_index, bottomRow) << c.campaigns;
        for (int i = 0; i < 5; ++i) hub.handleEvent(wheel(1));
        EXPECT_EQ(hub.campaignList.scrollOffset, 0) << c.campaigns;
    }
    // The last case left the folder empty.
    menu.switchPending = false;
    ExtractionPage hub(&menu);
    hub.init();
    hub.handleEvent(keyDown(SDLK_DOWN));
    hub.handleEvent(pressOn(hub.continueButton));
    EXPECT_EQ(selected_campaign_index, -1);
    EXPECT_FALSE(menu.switchPending) << "Continue takes no click without a campaign";
}

// A roster longer than the list, scrolled to its end, keeps its first rows in reach as units leave it.
TEST_F(ExtractionPages, AShipRosterScrolledToItsEndShowsItsFirstRowsAgainOnceUnitsLeave) {
    std::vector<UnitSaveData> units;
    for (int i = 0; i < 14; ++i) units.push_back({"Scavenger", "Unit" + std::to_string(i), 1, 0, 0, true});
    ASSERT_TRUE(save_roster("crowd.bin", "Crowd", false, 1, units, 20, 0));
    extraction_filename = "crowd.bin";
    openCampaignInRosterLists("crowd.bin");
    ExtractionRosterPickerPage roster(&menu);
    roster.init();
    // Clicks a second apart: none of them is a double click that opens a unit's details.
    static Uint32 now = 0;
    const auto savedTicks = listTicks;
    listTicks = [] { return now += 1000; };
    const List& ship = *shipRosterList;
    roster.handleEvent(wheel(-1));
    ASSERT_EQ(ship.scrollOffset, 2);
    for (int left = 13; left >= 12; --left) {
        roster.handleEvent(press(ship.rect.x + 20, rowY(ship, 11)));
        roster.handleEvent(pressOn(*shipRosterListButton));
        ASSERT_EQ(shipRoster.size(), static_cast<std::size_t>(left));
    }
    EXPECT_EQ(ship.scrollOffset, 0) << "twelve rows fit: all of them show";
    roster.handleEvent(press(ship.rect.x + 20, rowY(ship, 0)));
    EXPECT_EQ(ship.selectedText(), rosterRows(shipRoster)[0]) << "the top row is the first unit";
    listTicks = savedTicks;
    EXPECT_FALSE(unit_detail_modal.isVisible());
    roster.draw();
    saveScreenshot("extraction_roster_after_scrolling");
}

// The guide is drawn over the hub, its Close button 230 from the panel's right edge and 60 above its bottom edge;
// a press on the button's own far corner closes it, one pixel past it only lands on the panel.
TEST_F(ExtractionPages, TheGuideIsDrawnOverTheHubAndClosesFromItsCornerButton) {
    ASSERT_TRUE(save_roster("a.bin", "Amber", false, 1, {}, 0, 0));
    refresh_extraction_campaigns_list();
    ExtractionPage hub(&menu);
    hub.init();
    hub.handleEvent(pressOn(hub.howToPlayButton));
    SDL_RenderClear(renderer);
    hub.draw();
    saveScreenshot("extraction_guide");
    const SDL_FRect r = hub.howToPlay.rect;
    EXPECT_EQ(r.x, (W - 850) / 2.0f);
    EXPECT_EQ(r.y, (H - 670) / 2.0f);
    EXPECT_TRUE(same(pixel(static_cast<int>(r.x), static_cast<int>(r.y + 300)), {160, 110, 40, 255}));
    const SDL_Point empty{static_cast<int>(r.x + 600), static_cast<int>(r.y + 600)};
    const SDL_Color panel = pixel(empty.x, empty.y);
    bool title = false;
    for (int y = static_cast<int>(r.y + 30); y < r.y + 55 && !title; ++y)
        for (int x = static_cast<int>(r.x + 30); x < r.x + 400 && !title; ++x)
            title = same(pixel(x, y), {255, 255, 255, 255});
    EXPECT_TRUE(title) << "the guide's title";

    const Button& close = static_cast<const Button&>(*hub.howToPlay.children.back());
    EXPECT_EQ(close.label, "Close");
    const SDL_FRect expected{r.x + r.w - 230.0f, r.y + r.h - 60.0f, 200.0f, 30.0f};
    EXPECT_EQ(std::memcmp(&close.rect, &expected, sizeof expected), 0);
    EXPECT_TRUE(same(pixel(static_cast<int>(expected.x + 3), static_cast<int>(expected.y + 3)), {35, 35, 35, 255}));
    hub.handleEvent(press(expected.x + expected.w + 1, expected.y + expected.h));
    ASSERT_TRUE(hub.howToPlay.isVisible());
    hub.handleEvent(press(expected.x + expected.w, expected.y + expected.h));
    EXPECT_FALSE(hub.howToPlay.isVisible());
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    hub.draw();
    EXPECT_FALSE(same(pixel(empty.x, empty.y), panel)) << "the panel is gone";
}

// The name stays inside its field: a short one from the field's left side, a long one cut at the left so that its
// last letters, where typing goes on, show at the right side.
TEST_F(ExtractionPages, TheCampaignNameStaysInsideItsFieldShowingItsEnd) {
    const struct {
        const char* name;
        bool showsStart;
        bool showsEnd;
    } cases[] = {{"Vega", true, false}, {"The Long March of the Ninth Expeditionary Fleet Beyond Vega", false, true}};
    for (const auto& c : cases) {
        ExtractionNewCampaignPage page(&menu);
        page.init();
        typeName(page, c.name);
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        page.draw();
        const SDL_FRect f = page.nameInput.rect;
        const auto green = [&](float from, float to) {
            for (int y = static_cast<int>(f.y); y < f.y + f.h; ++y)
                for (int x = static_cast<int>(from); x < to; ++x)
                    if (same(pixel(x, y), {0, 255, 0, 255})) return true;
            return false;
        };
        EXPECT_EQ(green(f.x, f.x + 20), c.showsStart || c.showsEnd) << c.name;
        EXPECT_EQ(green(f.x + f.w - 30, f.x + f.w), c.showsEnd) << c.name;
        EXPECT_FALSE(green(f.x + f.w, static_cast<float>(W))) << c.name << ": nothing right of the field";
        if (c.showsEnd) saveScreenshot("extraction_new_campaign_long_name");
    }
}

// A Return in any field stops the window's typing: the page starts it again on entry and at a press on the field,
// so the name can still be typed after a Return, and that Return starts no campaign.
TEST_F(ExtractionPages, TheNameCanStillBeTypedAfterAReturnEndedTyping) {
    SDL_StopTextInput();  // as a Return in the save dialog of the last match leaves it
    ExtractionNewCampaignPage page(&menu);
    page.init();
    const struct {
        const char* what;
        SDL_Event event;
        bool typing;
    } steps[] = {
        {"the page entered", typed("Veg"), true},
        {"Return in the field", keyDown(SDLK_RETURN), false},
        {"a press beside the field", press(page.nameInput.rect.x - 2, page.nameInput.rect.y + 5), false},
        {"a press on the field", press(page.nameInput.rect.x, page.nameInput.rect.y), true},
        {"typing on", typed("a"), true},
    };
    for (const auto& s : steps) {
        page.handleEvent(s.event);
        EXPECT_EQ(SDL_IsTextInputActive() == SDL_TRUE, s.typing) << s.what;
    }
    EXPECT_EQ(page.campaignName, "Vega");
    EXPECT_FALSE(menu.switchPending);
}

// A campaign file damaged by hand, or gone since the hub listed it, is named as unreadable when its row is chosen,
// and Continue leaves the campaign opened before as it was rather than opening an empty one.
TEST_F(ExtractionPages, TheHubSaysACampaignCannotBeReadAndDoesNotOpenIt) {
    const UnitSaveData unit{"Marine", "Jax", 1, 0, 0, true};
    ASSERT_TRUE(save_roster("kept.bin", "Kept", false, 3, {unit}, 0, 0));
    dir.write("saves/edited.bin", encodeCampaign({"Edited", false, -6, 5, 0, 0, {}, {unit}}));
    dir.write("saves/cut.bin", readWholeFile(dir.path / "saves" / "kept.bin").substr(0, 20));
    ASSERT_TRUE(save_roster("gone.bin", "Gone", false, 1, {unit}, 0, 0));
    extraction_filename = "kept.bin";
    initExtractionData("kept.bin");

    ExtractionPage hub(&menu);
    hub.init();
    ASSERT_EQ(extraction_campaigns.size(), 4u);
    std::filesystem::remove(dir.path / "saves" / "gone.bin");
    for (std::size_t row = 0; row < extraction_campaigns.size(); ++row) {
        const std::string file = extraction_campaigns[row].fileName;
        SCOPED_TRACE(file);
        hub.handleEvent(press(hub.campaignList.rect.x + 10, rowY(hub.campaignList, static_cast<int>(row))));
        ASSERT_EQ(selected_campaign_index, static_cast<int>(row));
        if (file == "kept.bin") {
            EXPECT_EQ(hub.noUnitsLine, "");
            continue;
        }
        EXPECT_EQ(hub.noUnitsLine, file + " cannot be read: the campaign file is missing or damaged.");
        hub.handleEvent(pressOn(hub.continueButton));
        EXPECT_FALSE(menu.switchPending);
        EXPECT_EQ(extraction_filename, "kept.bin");
        EXPECT_EQ(shipRoster, std::vector<UnitSaveData>{unit});
        EXPECT_EQ(global_extraction_level, 3);
    }
    const auto edited = std::find_if(extraction_campaigns.begin(), extraction_campaigns.end(),
                                     [](const CampaignHeader& h) { return h.fileName == "edited.bin"; });
    hub.handleEvent(press(hub.campaignList.rect.x + 10,
                          rowY(hub.campaignList, static_cast<int>(edited - extraction_campaigns.begin()))));
    hub.draw();
    saveScreenshot("extraction_hub_unreadable_campaign");
}

// A unit of a type the game no longer knows would never land, and the extraction ending the mission would drop it
// from the campaign: Deploy names it until it is dismissed.
TEST_F(ExtractionPages, DeployRefusesAUnitOfATypeTheGameDoesNotKnow) {
    ASSERT_TRUE(save_roster("old.bin", "Old", false, 1,
                            {{"Scavenger", "Cody", 1, 0, 0, true}, {"Dragon", "Puff", 2, 0, 0, true}}, 0, 0));
    extraction_filename = "old.bin";
    openCampaignInRosterLists("old.bin");
    generate_mission_options();
    deploymentSelectedMapId = 0;
    ExtractionRosterPickerPage roster(&menu);
    roster.init();
    for (int i = 0; i < 2; ++i) {
        shipRosterList->selected = 0;
        roster.handleEvent(pressOn(*shipRosterListButton));
    }
    ASSERT_EQ(activeDeploymentRoster.size(), 2u);
    menu.switchPending = false;
    roster.handleEvent(pressOn(roster.deployButton));
    EXPECT_FALSE(menu.switchPending);
    EXPECT_NE(mode, GameMode::Extraction);
    EXPECT_EQ(roster.refusalLine, "Puff is of a type this game does not know (Dragon): dismiss it.");

    deploymentRosterList->selected = 1;
    roster.handleEvent(pressOn(*deploymentRosterListButton));
    roster.handleEvent(pressOn(roster.deployButton));
    EXPECT_EQ(menu.pending, MenuPage::LoadingPage);
    EXPECT_EQ(activeDeploymentRoster, (std::vector<UnitSaveData>{{"Scavenger", "Cody", 1, 0, 0, true}}));
    EXPECT_EQ(shipRoster, (std::vector<UnitSaveData>{{"Dragon", "Puff", 2, 0, 0, true}}));
}

// The unit dialog left open when the picker is left names a row of the roster as it was, and the roster is reopened
// from its file by Back: the picker comes back without the dialog, so REVIVE never spends a cryopod on another unit.
TEST_F(ExtractionPages, TheRosterPickerComesBackWithoutTheUnitDialogLeftOpen) {
    techTree[0].unlocked = true;
    global_cryppod_count = 1;
    ASSERT_TRUE(save_roster("c.bin", "C", false, 1,
                            {{"Scavenger", "Yan", 1, 0, 0, true},
                             {"Scavenger", "Xu", 1, 0, 0, false},
                             {"Scavenger", "Abe", 1, 0, 0, false}},
                            0, 0));
    extraction_filename = "c.bin";
    openCampaignInRosterLists("c.bin");
    generate_mission_options();
    ExtractionRosterPickerPage roster(&menu);
    roster.init();
    shipRosterList->selected = 0;
    roster.handleEvent(pressOn(*shipRosterListButton));
    ASSERT_EQ(shipRosterList->items[1], "Abe (Scavenger) - 1 DEAD");
    roster.handleEvent(press(shipRosterList->rect.x + 10, rowY(*shipRosterList, 1)));
    roster.handleEvent(keyDown(SDLK_RETURN));
    ASSERT_TRUE(unit_detail_modal.isVisible()) << "Abe's dialog";

    roster.handleEvent(pressOn(roster.backButton));
    ASSERT_EQ(menu.pending, MenuPage::ExtractionMapPickerPage);
    ASSERT_EQ(shipRoster[1].nickname, "Xu") << "Back reopened the roster in its file's order";
    roster.init();
    EXPECT_FALSE(unit_detail_modal.isVisible());
    const SDL_FRect r = unit_detail_modal.rect;
    roster.handleEvent(press(r.x + 30.0f, r.y + r.h - 50.0f));  // where REVIVE stood
    EXPECT_EQ(global_cryppod_count, 1);
    EXPECT_FALSE(shipRoster[1].alive);
}
