// The tech tree page driven by synthetic events and read back: node colours, shaded icons, purchases kept on disk,
// and the ways from the tech and roster pages back to the star map.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "draw_fixture.h"
#include "extraction_campaign.h"
#include "extraction_missions.h"
#include "game_state.h"
#include "sdl_events.h"
#include "extraction_folders.h"
#include "test_files.h"
#include "ui/extraction_pages.h"
#include "ui/extraction_roster_lists.h"

namespace {

constexpr float S = ExtractionTechTreePage::NODE_SIZE;
constexpr SDL_Color RESEARCHED{50, 200, 50, 255};
constexpr SDL_Color TOO_DEAR{150, 50, 50, 255};
constexpr SDL_Color AVAILABLE{35, 35, 35, 255};
constexpr SDL_Color HOVERED{255, 255, 100, 255};

}  // namespace

struct ExtractionTechTree : DrawFixture {
    TempDir dir;
    MainMenu menu;
    SDL_Texture* icon = nullptr;

    void SetUp() override {
        DrawFixture::SetUp();
        useScratchExtractionFolders(dir);
        SDL_Surface* white = SDL_CreateRGBSurfaceWithFormat(0, 8, 8, 32, SDL_PIXELFORMAT_RGBA32);
        SDL_FillRect(white, nullptr, SDL_MapRGBA(white->format, 255, 255, 255, 255));
        icon = SDL_CreateTextureFromSurface(renderer, white);
        SDL_FreeSurface(white);
        techTree = {
            Tech{"armor", "Armor", "", 5, false, 100.0f, 360.0f, icon},
            Tech{"reactor", "Reactor", "", 9, false, 300.0f, 360.0f, icon},
            Tech{"optics", "Optics", "", 4, false, 500.0f, 360.0f, icon},
            Tech{"drones", "Drones", "", 1, false, 700.0f, 360.0f, icon},
            Tech{"dna", "DNA cloning", "", 1, false, 900.0f, 360.0f, nullptr},
        };
    }
    void TearDown() override {
        destroyRosterWidgets();
        resetExtractionData();
        load_roster("");
        extraction_options.clear();
        techTree.clear();
        SDL_DestroyTexture(icon);
        SDL_WarpMouseInWindow(window, 0, 0);
        extractionSaveFolder = "./saves/extraction/";
        extractionMapFolder = "core/data/extractions";
        DrawFixture::TearDown();
    }

    // A campaign on disk with the given points and flag, opened as the hub opens one.
    static void openCampaign(int points, bool hardcoreFlag = false) {
        techTree[0].unlocked = true;
        global_cryppod_count = 0;
        const std::vector<UnitSaveData> units{{"Scavenger", "Ash", 1, 1, 0, true}, {"Marine", "Birch", 2, 3, 0, true}};
        ASSERT_TRUE(save_roster("camp.bin", "Camp", hardcoreFlag, 3, units, 5, points));
        extraction_filename = "camp.bin";
        openCampaignInRosterLists(extraction_filename);
        ASSERT_EQ(tech_points, points);
    }

    static bool anyPixelIn(SDL_Rect r, SDL_Color colour) {
        for (int y = r.y; y < r.y + r.h; ++y)
            for (int x = r.x; x < r.x + r.w; ++x)
                if (same(pixel(x, y), colour)) return true;
        return false;
    }

    static SDL_Event pressOn(const Button& b) { return press(b.rect.x + 5, b.rect.y + 5); }
};

// Researched, too dear, available and hovered nodes each take their colour for the outline and the cost line;
// only a researched node shows its icon at full light.
TEST_F(ExtractionTechTree, EachNodeIsDrawnInTheColourOfItsState) {
    openCampaign(4);
    ExtractionTechTreePage tree(&menu);
    tree.init();
    const Tech& drones = techTree[3];
    SDL_WarpMouseInWindow(window, static_cast<int>(drones.x + S), static_cast<int>(drones.y + S));
    tree.draw();
    saveScreenshot("extraction_tech_tree");
    const struct {
        size_t tech;
        SDL_Color state;
        Uint8 iconLight;
    } cases[] = {
        {0, RESEARCHED, 255},
        {1, TOO_DEAR, 100},
        {2, AVAILABLE, 100},
        {3, HOVERED, 100},
    };
    for (const auto& c : cases) {
        const Tech& tech = techTree[c.tech];
        const int x = static_cast<int>(tech.x);
        const int y = static_cast<int>(tech.y);
        EXPECT_TRUE(same(pixel(x, y + 60), c.state)) << tech.name << " outline";
        EXPECT_TRUE(same(pixel(x + 4, y + 4), {20, 20, 20, 255})) << tech.name << " inside";
        EXPECT_TRUE(same(pixel(x + 60, y + 60), {c.iconLight, c.iconLight, c.iconLight, 255})) << tech.name << " icon";
        EXPECT_TRUE(anyPixelIn({x, y + 130, 110, 18}, {255, 255, 255, 255})) << tech.name << " name";
        EXPECT_TRUE(anyPixelIn({x, y + 150, 110, 16}, c.state)) << tech.name << " cost line";
    }
    EXPECT_TRUE(anyPixelIn({520, 220, 300, 24}, {255, 255, 255, 255})) << "the title";
    EXPECT_TRUE(same(pixel(static_cast<int>(tree.backButton.rect.x + 3), 668), {35, 35, 35, 255})) << "Back";
    EXPECT_TRUE(anyPixelIn({900, 490, 110, 18}, {255, 255, 255, 255})) << "DNA cloning shown outside hardcore";
}

// The hover square takes its far edges in and stops one pixel past them.
TEST_F(ExtractionTechTree, HoverLightsAnAffordableNodeUpToItsFarEdges) {
    openCampaign(4);
    ExtractionTechTreePage tree(&menu);
    tree.init();
    const Tech& optics = techTree[2];
    const struct {
        float dx, dy;
        SDL_Color outline;
    } cases[] = {
        {0, 0, HOVERED}, {S, S, HOVERED}, {S + 1, S, AVAILABLE}, {S, S + 1, AVAILABLE}, {-1, 0, AVAILABLE},
    };
    for (const auto& c : cases) {
        SDL_WarpMouseInWindow(window, static_cast<int>(optics.x + c.dx), static_cast<int>(optics.y + c.dy));
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        tree.draw();
        EXPECT_TRUE(same(pixel(static_cast<int>(optics.x), static_cast<int>(optics.y + 60)), c.outline))
            << "mouse at +" << c.dx << ",+" << c.dy;
    }
}

// A click buys a node once, at its exact price and inside its square, and the campaign file keeps the purchase.
TEST_F(ExtractionTechTree, AClickBuysAnAffordableNodeOnceAndTheCampaignKeepsItAfterARestart) {
    const struct {
        const char* what;
        int points;
        bool hardcoreFlag;
        size_t tech;
        float dx, dy;
        Uint8 button;
        bool bought;
    } cases[] = {
        {"price equal to the points", 4, false, 2, 60, 60, SDL_BUTTON_LEFT, true},
        {"price one above the points", 3, false, 2, 60, 60, SDL_BUTTON_LEFT, false},
        {"far corner of the square", 4, false, 2, S, S, SDL_BUTTON_LEFT, true},
        {"one past the square", 4, false, 2, S + 1, S, SDL_BUTTON_LEFT, false},
        {"right button", 4, false, 2, 60, 60, SDL_BUTTON_RIGHT, false},
        {"already researched", 9, false, 0, 60, 60, SDL_BUTTON_LEFT, false},
        {"DNA cloning in a normal campaign", 4, false, 4, 60, 60, SDL_BUTTON_LEFT, true},
        {"DNA cloning in a hardcore campaign", 4, true, 4, 60, 60, SDL_BUTTON_LEFT, false},
    };
    for (const auto& c : cases) {
        for (Tech& tech : techTree) tech.unlocked = false;
        openCampaign(c.points, c.hardcoreFlag);
        ExtractionTechTreePage tree(&menu);
        tree.init();
        const Tech& tech = techTree[c.tech];
        const bool before = tech.unlocked;
        const int spent = c.bought ? tech.cost : 0;
        for (int click = 0; click < 2; ++click)
            tree.handleEvent(press(tech.x + c.dx, tech.y + c.dy, c.button));
        EXPECT_EQ(tech_points, c.points - spent) << c.what;
        EXPECT_EQ(techTree[c.tech].unlocked, before || c.bought) << c.what;

        resetExtractionData();
        for (Tech& t : techTree) t.unlocked = false;
        tech_points = -1;
        initExtractionData("camp.bin");
        EXPECT_EQ(tech_points, c.points - spent) << c.what << " after a restart";
        EXPECT_EQ(techTree[c.tech].unlocked, before || c.bought) << c.what << " after a restart";
        EXPECT_EQ(shipRoster.size(), 2u) << c.what;
    }
}

// Where squares overlap, a researched or too dear node under the click lets the next one be bought.
TEST_F(ExtractionTechTree, AnOverlappedNodeBehindAResearchedOrTooDearOneCanBeBought) {
    techTree[1].x = techTree[0].x + 40.0f;
    techTree[2].x = techTree[0].x + 80.0f;
    openCampaign(4);
    ExtractionTechTreePage tree(&menu);
    tree.init();
    tree.handleEvent(press(techTree[0].x + 100.0f, techTree[0].y + 10.0f));
    EXPECT_TRUE(techTree[2].unlocked);
    EXPECT_FALSE(techTree[1].unlocked);
    EXPECT_EQ(tech_points, 0);
}

// The way back from the tech page and from the roster picker lands on a star map with fresh offers; the roster
// picker's way puts the units chosen for deployment back aboard.
TEST_F(ExtractionTechTree, BackFromTheTechAndRosterPagesOpensTheStarMapWithOffers) {
    openCampaign(4);
    ExtractionMapPickerPage map(&menu);
    map.init();
    map.handleEvent(pressOn(map.techButton));
    EXPECT_EQ(menu.pending, MenuPage::ExtractionTechTreePage);

    ExtractionTechTreePage tree(&menu);
    tree.init();
    extraction_options.clear();
    tree.handleEvent(pressOn(tree.backButton));
    EXPECT_EQ(menu.pending, MenuPage::ExtractionMapPickerPage) << "from the tech page";
    EXPECT_EQ(extraction_options.size(), 3u) << "from the tech page";

    ExtractionRosterPickerPage roster(&menu);
    roster.init();
    activeDeploymentRoster.push_back(shipRoster.back());
    shipRoster.pop_back();
    extraction_options.clear();
    menu.pending = MenuPage::MainPage;
    roster.handleEvent(pressOn(roster.backButton));
    EXPECT_EQ(menu.pending, MenuPage::ExtractionMapPickerPage) << "from the roster picker";
    EXPECT_EQ(extraction_options.size(), 3u) << "from the roster picker";
    EXPECT_EQ(shipRoster.size(), 2u);
    EXPECT_TRUE(activeDeploymentRoster.empty());
}

// A purchase the campaign file cannot keep is not made: the node stays for sale and the points stay unspent.
TEST_F(ExtractionTechTree, APurchaseThatCannotBeSavedIsUndone) {
    openCampaign(4);
    const std::string folder = extractionSaveFolder;
    extractionSaveFolder = dir.write("blocker", "") + "/";
    ExtractionTechTreePage tree(&menu);
    tree.init();
    ::testing::internal::CaptureStderr();
    tree.handleEvent(press(techTree[2].x + 60.0f, techTree[2].y + 60.0f));
    ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(techTree[2].unlocked);
    EXPECT_EQ(tech_points, 4);
    EXPECT_EQ(tree.failureLine, "The campaign could not be saved: nothing was bought.") << "the press says why";
    tree.draw();
    saveScreenshot("extraction_tech_tree_not_saved");

    extractionSaveFolder = folder;
    tree.handleEvent(press(techTree[2].x + 60.0f, techTree[2].y + 60.0f));
    EXPECT_TRUE(techTree[2].unlocked);
    EXPECT_EQ(tree.failureLine, "");
}

// The shipped catalogue fits the page: every node with its icon, name and cost line lies inside the window, clear
// of the title, the points line and the Back button.
TEST_F(ExtractionTechTree, TheShippedCatalogueFitsBetweenTheTitleAndTheBackButton) {
    techTree.clear();
    loadTechFromJson(std::string(CORVALE_SOURCE_DIR) + "/core/data/races/human/tech.json");
    ASSERT_GT(techTree.size(), 10u);
    openCampaign(3);
    ExtractionTechTreePage tree(&menu);
    tree.init();
    SDL_WarpMouseInWindow(window, static_cast<int>(techTree[2].x + 10.0f), static_cast<int>(techTree[2].y + 10.0f));
    tree.draw();
    saveScreenshot("extraction_tech_tree_shipped");
    const SDL_FRect title{520.0f, 220.0f, 300.0f, 70.0f};
    for (const Tech& tech : techTree) {
        EXPECT_NE(tech.texture, nullptr) << tech.name;
        const SDL_FRect node{tech.x, tech.y, S + 100.0f, S + 46.0f};
        EXPECT_GE(node.x, 0.0f) << tech.name;
        EXPECT_LE(tech.x + S, static_cast<float>(W)) << tech.name;
        EXPECT_FALSE(SDL_HasIntersectionF(&node, &title)) << tech.name;
        EXPECT_FALSE(SDL_HasIntersectionF(&node, &tree.backButton.rect)) << tech.name;
    }
    for (Tech& tech : techTree) SDL_DestroyTexture(tech.texture);
}

// A hardcore campaign never shows the cloning node; every other node is drawn as before.
TEST_F(ExtractionTechTree, AHardcoreCampaignDrawsNoCloningNode) {
    const struct {
        bool hardcoreFlag;
        bool cloningShown;
    } cases[] = {{false, true}, {true, false}};
    for (const auto& c : cases) {
        openCampaign(4, c.hardcoreFlag);
        ExtractionTechTreePage tree(&menu);
        tree.init();
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        tree.draw();
        const Tech& dna = techTree[4];
        EXPECT_EQ(same(pixel(static_cast<int>(dna.x + 4), static_cast<int>(dna.y + 4)), {20, 20, 20, 255}),
                  c.cloningShown)
            << "hardcore " << c.hardcoreFlag;
        EXPECT_TRUE(same(pixel(static_cast<int>(techTree[2].x + 4), static_cast<int>(techTree[2].y + 4)),
                         {20, 20, 20, 255}))
            << "hardcore " << c.hardcoreFlag;
    }
}
