// The shipped content pack loads through the game's own loaders without a single complaint.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include <physfs.h>

#include "buildings.h"
#include "catalogue_support.h"
#include "projectiles.h"
#include "races.h"
#include "spells.h"
#include "sprites.h"
#include "textures.h"
#include "units.h"
#include "upgrades.h"

namespace {

struct ShippedPack : ::testing::Test {
    static std::string loadLog;
    static void SetUpTestSuite() {
        catalogue_test::SoftwareRenderer renderer;
        catalogue_test::OpenAudio audio;
        mountAssets(CORVALE_SOURCE_DIR);
        testing::internal::CaptureStderr();
        loadAllRaces("", "", std::string(CORVALE_SOURCE_DIR) + "/core");
        loadLog = testing::internal::GetCapturedStderr();
        PHYSFS_deinit();
    }
};
std::string ShippedPack::loadLog;

TEST_F(ShippedPack, LoadsWithoutAnErrorLine) {
    EXPECT_EQ(std::count(loadLog.begin(), loadLog.end(), '\n'), 0) << loadLog.substr(0, 2000);
    EXPECT_EQ(races.count("human"), 1u);
    EXPECT_EQ(races.count("vohmathal"), 1u);
}

TEST_F(ShippedPack, EveryUnitTypeHasSpritesAndAWayToHit) {
    ASSERT_FALSE(unitInfo.empty());
    for (const auto& [type, info] : unitInfo) {
        EXPECT_EQ(unitSprites.count(type), 1u) << type;
        if (info.attackType == AttackType::Ranged) {
            EXPECT_EQ(projectileInfo.count(info.projectile), 1u) << type << " shoots " << info.projectile;
        }
    }
}

TEST_F(ShippedPack, EveryOfferIsGatedByARequirementRow) {
    for (const auto& [building, units] : buildingUnits)
        for (const std::string& unit : units) EXPECT_EQ(unitRequirements.count(unit), 1u) << unit;
    for (const auto& [building, ids] : buildingResearchTree)
        for (const std::string& id : ids) EXPECT_EQ(upgradeRequirements.count(id), 1u) << id;
    std::set<std::string> reachedByTier;
    for (const auto& [id, upgrade] : upgrades) reachedByTier.insert(upgrade.transformTo);
    for (const auto& [type, info] : buildingInfo)
        if (!info.base && reachedByTier.count(type) == 0) {
            EXPECT_EQ(buildingRequirements.count(type), 1u) << type;
        }
}

TEST_F(ShippedPack, EverySpellNamesOneOfTheTwentyThreeEffects) {
    EXPECT_EQ(effectFunctions.size(), 23u);
    ASSERT_FALSE(spellInfo.empty());
    for (const auto& [key, spell] : spellInfo) EXPECT_TRUE(spell.effect) << key;
}

}  // namespace
