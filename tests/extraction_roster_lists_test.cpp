// The roster lists and the unit detail dialog, driven by synthetic clicks.
#include <gtest/gtest.h>

#include "extraction_campaign.h"
#include "sdl_events.h"
#include "tech_tree.h"
#include "test_files.h"
#include "ui/extraction_roster_lists.h"

struct RosterLists : ::testing::Test {
    TempDir dir;

    void SetUp() override {
        extractionSaveFolder = dir.path.string() + "/";
        techTree = {Tech{"dna", "DNA cloning", "", 1, true, 0, 0, nullptr}};
        global_cryppod_count = 1;
        ASSERT_TRUE(save_roster("c.bin", "C", false, 1, {{"Marine", "Cody", 1, 0, 0, true}, {"Tank", "Rex", 2, 0, 0, false}}, 0, 0));
        extraction_filename = "c.bin";
        openCampaignInRosterLists(extraction_filename);
    }
    void TearDown() override {
        destroyRosterWidgets();
        unit_detail_modal.clear();
        resetExtractionData();
        load_roster("");
        techTree.clear();
        extractionSaveFolder = "./saves/extraction/";
    }

    static Button* dialogButton(const std::string& label) {
        for (const auto& child : unit_detail_modal.children)
            if (auto* b = dynamic_cast<Button*>(child.get()); b && b->label == label) return b;
        return nullptr;
    }
};

TEST_F(RosterLists, ReviveWithTheTechAndACryopodTurnsADeadUnitAliveAndSaves) {
    EXPECT_EQ(shipRosterList->items[1], "Rex (Tank) - 2 DEAD");
    shipRosterList->onActivate(1, shipRosterList->items[1]);
    ASSERT_TRUE(unit_detail_modal.isVisible());
    ASSERT_TRUE(dialogButton("REVIVE"));
    unit_detail_modal.handleEvent(pressOn(dialogButton("REVIVE")->rect));
    EXPECT_FALSE(unit_detail_modal.isVisible());
    EXPECT_EQ(shipRosterList->items[1], "Rex (Tank) - 2 ALIVE");
    openCampaignInRosterLists("c.bin");
    EXPECT_TRUE(shipRoster[1].alive) << "saved at once";
    EXPECT_EQ(global_cryppod_count, 0);
}

TEST_F(RosterLists, AddingAUnitClosesTheDialogSoReviveNeverActsOnAnotherUnit) {
    shipRosterList->onActivate(1, shipRosterList->items[1]);
    shipRosterList->selected = 0;
    shipRosterListButton->handleEvent(pressOn(shipRosterListButton->rect));
    EXPECT_FALSE(unit_detail_modal.isVisible());
    EXPECT_EQ(activeDeploymentRoster.size(), 1u);
    EXPECT_EQ(extractionSelectedUnit, -1);
    EXPECT_EQ(deploymentRosterList->items, std::vector<std::string>{"Cody (Marine) - 1 ALIVE"});
}

// A revival the campaign file cannot keep leaves the unit dead and the pod unspent, and the dialog says why.
TEST_F(RosterLists, ARevivalThatCannotBeSavedIsSaidInTheDialog) {
    dir.write("blocked", "");
    extractionSaveFolder = (dir.path / "blocked").string() + "/";
    shipRosterList->onActivate(1, shipRosterList->items[1]);
    ASSERT_TRUE(dialogButton("REVIVE"));
    ::testing::internal::CaptureStderr();
    for (int press = 0; press < 2; ++press) unit_detail_modal.handleEvent(pressOn(dialogButton("REVIVE")->rect));
    ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(unit_detail_modal.isVisible());
    EXPECT_EQ(shipRosterList->items[1], "Rex (Tank) - 2 DEAD");
    EXPECT_EQ(global_cryppod_count, 1);
    int said = 0;
    for (const auto& child : unit_detail_modal.children)
        if (const auto* label = dynamic_cast<const Label*>(child.get()))
            said += label->text == "The campaign could not be saved." ? 1 : 0;
    EXPECT_EQ(said, 1) << "said once, however often pressed";
}
