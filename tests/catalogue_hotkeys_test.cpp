// Hotkey tables from "hotkeys.json" and the orders or placement state their behaviours produce.
#include <gtest/gtest.h>

#include "catalogue_support.h"
#include "config.h"

using namespace catalogue_test;

namespace {

const char* const hotkeysFile = R"({
    "buildings": {
        "Barracks": {"T": {"type": "train", "target": "Grunt"}, "U": {"type": "upgrade", "target": "Axes"},
                     "B": {"type": "build", "target": "Farm"}}
    },
    "units": {
        "Peon": {"Bx": {"type": "build", "target": "Farm"}, "Q": {"type": "train", "target": "Grunt"}},
        "Shaman": {"F": {"type": "spell", "target": "FreezingBullets"}, "S": {"type": "spell", "target": "Slow"},
                   "G": {"type": "spell", "target": "Slow"}, "Gz": {"type": "spell", "target": "SeeingRed"}}
    }
})";

struct HotkeyActions : ::testing::Test {
    TempDir dir;
    SoftwareRenderer video;
    Building barracks;
    Unit shaman;
    std::string ghostType;
    Sprite ghost;
    bool placing = false;

    void SetUp() override {
        resetCatalogues();
        const std::string path = dir / "hotkeys.json";
        writeFile(path, hotkeysFile);
        loadHotkeys(path);
        barracks.id = 7;
        barracks.playerId = 2;
        barracks.type = "Barracks";
        shaman.id = 11;
        shaman.playerId = 3;
        shaman.x = 100.7f;
        shaman.y = 50.2f;
    }

    void press(HotkeyMapping& mapping, char key, ActionContext ctx) { mapping.actions.at(key).behavior(ctx); }

    ActionContext workerContext() {
        ActionContext ctx;
        ctx.ghostBuildingType = &ghostType;
        ctx.ghostSprite = &ghost;
        ctx.placingBuilding = &placing;
        return ctx;
    }
};

TEST_F(HotkeyActions, OnlyTheKindsOfEachSectionBindTheirFirstCharacter) {
    EXPECT_EQ(buildingHotkeys.at("Barracks").actions.count('B'), 0u);
    const HotkeyMapping& peon = unitHotkeys.at("Peon");
    ASSERT_EQ(peon.actions.size(), 1u);
    EXPECT_EQ(peon.actions.at('B').label, "Build Farm");
    // "Gz" sorts after "G", so its action keeps the letter.
    EXPECT_EQ(unitHotkeys.at("Shaman").actions.at('G').label, "Cast SeeingRed");
}

TEST_F(HotkeyActions, TrainAndUpgradeQueueCommandsForTheBuildingsOwner) {
    ActionContext ctx;
    ctx.building = &barracks;
    press(buildingHotkeys.at("Barracks"), 'T', ctx);
    press(buildingHotkeys.at("Barracks"), 'U', ctx);
    ASSERT_EQ(lockstep.pendingCommands.size(), 2u);
    const Command& train = lockstep.pendingCommands[0];
    EXPECT_EQ(train.type, CommandType::TrainUnit);
    EXPECT_EQ(train.player, 2);
    EXPECT_EQ(std::get<TrainUnitCommand>(train.payload).buildingId, 7);
    EXPECT_EQ(std::get<TrainUnitCommand>(train.payload).unitType, "Grunt");
    const Command& research = lockstep.pendingCommands[1];
    EXPECT_EQ(research.type, CommandType::ResearchUpgrade);
    EXPECT_EQ(research.player, 2);
    EXPECT_EQ(std::get<ResearchUpgradeCommand>(research.payload).upgradeType, "Axes");
}

TEST_F(HotkeyActions, BuildStartsPlacementWithTheTranslucentFootprintSizedGhost) {
    TILE_SIZE = 64;
    writePng(dir / "core/assets/farm.png", 128, 192);
    ASSERT_TRUE(mountAssets(dir.str()));
    buildingSprites["Farm"].sprite.texture = LoadTexture("core/assets/farm.png");
    buildingInfo["Farm"].wTiles = 2;
    press(unitHotkeys.at("Peon"), 'B', workerContext());
    PHYSFS_deinit();
    EXPECT_TRUE(placing);
    EXPECT_EQ(ghostType, "Farm");
    EXPECT_EQ(ghost.texture, buildingSprites.at("Farm").sprite.texture);
    EXPECT_EQ(ghost.color.a, 150);
    EXPECT_FLOAT_EQ(ghost.dst.w, 128.0f);
    EXPECT_FLOAT_EQ(ghost.dst.h, 64.0f);
    Uint8 alpha = 0;
    SDL_GetTextureAlphaMod(ghost.texture, &alpha);
    EXPECT_EQ(alpha, 150);
    EXPECT_TRUE(lockstep.pendingCommands.empty());
}

TEST_F(HotkeyActions, BuildOfAnUnknownTypeOrWithoutPlacementStateChangesNothing) {
    ::testing::internal::CaptureStderr();
    press(unitHotkeys.at("Peon"), 'B', workerContext());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[startPlacingBuilding] Unknown building type: Farm\n");
    EXPECT_FALSE(placing);
    EXPECT_EQ(ghostType, "");
    buildingSprites["Farm"];
    buildingInfo["Farm"];
    press(unitHotkeys.at("Peon"), 'B', ActionContext{});
    EXPECT_FALSE(placing);
}

TEST_F(HotkeyActions, SelfCastSpellQueuesACastAtTheCastersTruncatedPosition) {
    ActionContext ctx;
    ctx.unit = &shaman;
    press(unitHotkeys.at("Shaman"), 'F', ctx);
    ASSERT_EQ(lockstep.pendingCommands.size(), 1u);
    const Command& cast = lockstep.pendingCommands[0];
    EXPECT_EQ(cast.type, CommandType::CastSpell);
    const CastSpellCommand& spell = std::get<CastSpellCommand>(cast.payload);
    EXPECT_EQ(spell.unitId, 11);
    EXPECT_EQ(spell.targetId, 11);
    EXPECT_EQ(spell.targetX, 100);
    EXPECT_EQ(spell.targetY, 50);
    EXPECT_EQ(spell.spell, "FreezingBullets");
    EXPECT_TRUE(spell.shiftHeld);
    EXPECT_EQ(selectedSpell, "");
}

TEST_F(HotkeyActions, SelfCastWithoutUnitOnlySelectsTheSpell) {
    press(unitHotkeys.at("Shaman"), 'F', ActionContext{});
    EXPECT_EQ(selectedSpell, "FreezingBullets");
    EXPECT_TRUE(lockstep.pendingCommands.empty());
}

TEST_F(HotkeyActions, TargetedSpellWaitsWithTheUnitAsCaster) {
    ActionContext ctx;
    ctx.unit = &shaman;
    press(unitHotkeys.at("Shaman"), 'S', ctx);
    EXPECT_EQ(selectedSpell, "Slow");
    EXPECT_EQ(spellCtx.casterId, 11);
    EXPECT_TRUE(lockstep.pendingCommands.empty());
}

TEST_F(HotkeyActions, LaterFolderReplacesATypesWholeMapping) {
    const std::string path = dir / "later.json";
    writeFile(path, R"({"buildings": {"Barracks": {}}, "units": null})");
    loadHotkeys(path);
    EXPECT_TRUE(buildingHotkeys.at("Barracks").actions.empty());
    EXPECT_EQ(unitHotkeys.at("Shaman").actions.size(), 3u);
}

}  // namespace
