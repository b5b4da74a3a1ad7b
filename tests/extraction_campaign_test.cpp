// Campaign files: the round trip, damaged files refused, the campaign list and opening a campaign.
#include <gtest/gtest.h>

#include "extraction.h"
#include "extraction_campaign.h"
#include "tech_tree.h"
#include "test_files.h"

struct CampaignFile : ::testing::Test {
    TempDir dir;
    std::string folder = (dir.path / "saves" / "extraction").string() + "/";

    void SetUp() override {
        extractionSaveFolder = folder;
        techTree.clear();
        techTree.push_back(Tech{"dna", "DNA cloning", "", 2, false, 0, 0, nullptr});
        techTree.push_back(Tech{"armor", "Armor", "", 1, false, 0, 0, nullptr});
    }
    void TearDown() override {
        extractionSaveFolder = "./saves/extraction/";
        techTree.clear();
        resetExtractionData();
        load_roster("");
    }

    static std::vector<UnitSaveData> twoUnits() {
        return {{"Marine", "Cody", 3, 700, 12, true}, {"Tank", "The Don", 1, 0, 0, false}};
    }
};

TEST_F(CampaignFile, SavedAndLoadedRoundTripsEveryFieldByteForByte) {
    techTree[1].unlocked = true;
    global_cryppod_count = 2;
    ASSERT_TRUE(save_roster("red_dawn.bin", "Red Dawn", true, 4, twoUnits(), 7, 9));
    const std::string first = readWholeFile(folder + "red_dawn.bin");

    global_cryppod_count = 0;
    initExtractionData("red_dawn.bin");
    EXPECT_EQ(shipRoster, twoUnits());
    EXPECT_EQ(extraction_name, "Red Dawn");
    EXPECT_TRUE(hardcore);
    EXPECT_EQ(global_extraction_level, 4);
    EXPECT_EQ(global_man_power, 7);
    EXPECT_EQ(tech_points, 9);
    EXPECT_EQ(global_cryppod_count, 2);
    EXPECT_FALSE(techTree[0].unlocked);
    EXPECT_TRUE(techTree[1].unlocked);

    ASSERT_TRUE(save_roster("again.bin", extraction_name, hardcore, global_extraction_level, shipRoster,
                            global_man_power, tech_points));
    EXPECT_EQ(readWholeFile(folder + "again.bin"), first);
    EXPECT_FALSE(std::filesystem::exists(folder + "again.bin.tmp"));
}

TEST_F(CampaignFile, AnEmptyCampaignHasTheBareLayout) {
    ASSERT_TRUE(save_roster("e.bin", "abc", false, 1, {}, 0, 0));
    EXPECT_EQ(readWholeFile(folder + "e.bin").size(), 8u + 3 + 1 + 16 + 8 + 8);
}

TEST_F(CampaignFile, AFileCutShortOrWithHugeLengthsIsRefused) {
    const std::string whole = encodeCampaign({"Name", false, 2, 3, 4, 5, {"dna"}, twoUnits()});
    for (size_t cut = 0; cut < whole.size(); ++cut)
        EXPECT_FALSE(decodeCampaign(reinterpret_cast<const uint8_t*>(whole.data()), cut)) << cut;
    EXPECT_FALSE(decodeCampaign(reinterpret_cast<const uint8_t*>((whole + "x").data()), whole.size() + 1));

    // A name length of 2^63 and a unit count of 2^40 with a few bytes behind them.
    std::string hugeName = whole;
    hugeName[7] = '\x80';
    std::string hugeCount = encodeCampaign({"N", false, 1, 0, 0, 0, {}, {}});
    hugeCount[hugeCount.size() - 3] = '\x01';
    for (const std::string& bad : {hugeName, hugeCount})
        EXPECT_FALSE(decodeCampaign(reinterpret_cast<const uint8_t*>(bad.data()), bad.size()));
}

TEST_F(CampaignFile, AMissingOrDamagedFileLendsNoPreviousCampaignValues) {
    ASSERT_TRUE(save_roster("old.bin", "Old", true, 5, twoUnits(), 3, 4));
    dir.write("saves/extraction/cut.bin", readWholeFile(folder + "old.bin").substr(0, 30));
    for (const char* file : {"missing.bin", "cut.bin", "../old.bin"}) {
        initExtractionData("old.bin");
        initExtractionData(file);
        EXPECT_TRUE(shipRoster.empty()) << file;
        EXPECT_EQ(extraction_name, "") << file;
        EXPECT_FALSE(hardcore) << file;
        EXPECT_EQ(global_extraction_level, 1) << file;
        EXPECT_EQ(global_man_power + tech_points + global_cryppod_count, 0) << file;
    }
}

TEST_F(CampaignFile, TheHubListsCampaignFilesAsHardcoreNameAndFile) {
    ASSERT_TRUE(save_roster("red_dawn.bin", "Red Dawn", true, 1, {}, 0, 0));
    ASSERT_TRUE(save_roster("calm.sav", "Calm", false, 1, {}, 0, 0));
    dir.write("saves/extraction/untitled_campaign", "x");
    dir.write("saves/extraction/broken.bin", std::string(8, '\xff'));
    std::vector<std::string> rows = refresh_extraction_campaigns_list();
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<std::string>{"Calm (calm.sav)", "Unknown (broken.bin)", "[HC] Red Dawn (red_dawn.bin)"}));
    EXPECT_EQ(extraction_campaigns.size(), 3u);
}

TEST_F(CampaignFile, TheListMakesItsFolderAndSavesRefuseNamesLeavingIt) {
    EXPECT_TRUE(refresh_extraction_campaigns_list().empty());
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_FALSE(save_roster("../escape.bin", "x", false, 1, {}, 0, 0));
    EXPECT_FALSE(std::filesystem::exists(dir.path / "saves" / "escape.bin"));
}

// A hand edit can leave levels no play reaches; the file is then damaged, while the ends of each range open.
TEST_F(CampaignFile, LevelsOutsideWhatPlayReachesMakeTheFileDamaged) {
    const struct {
        int32_t campaign;
        int32_t unit;
        bool opens;
    } cases[] = {{1, 1, true},
                 {MAX_CAMPAIGN_LEVEL, MAX_UNIT_LEVEL, true},
                 {0, 1, false},
                 {-6, 1, false},
                 {MAX_CAMPAIGN_LEVEL + 1, 1, false},
                 {INT32_MAX, 1, false},
                 {1, 0, false},
                 {1, INT32_MIN, false},
                 {1, MAX_UNIT_LEVEL + 1, false}};
    for (const auto& c : cases) {
        const std::vector<UnitSaveData> roster{{"Marine", "Cody", c.unit, 0, 0, true}, twoUnits()[1]};
        const std::string bytes = encodeCampaign({"Edited", false, c.campaign, 5, 0, 0, {}, roster});
        EXPECT_EQ(decodeCampaign(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()).has_value(), c.opens)
            << "campaign level " << c.campaign << ", unit level " << c.unit;
    }
}
