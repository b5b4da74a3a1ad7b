// Images and sounds read through PhysFS from a mounted folder or archive: textures, the fixed set, sound sets.
#include <algorithm>

#include <gtest/gtest.h>

#include "catalogue_support.h"
#include "config.h"

using namespace catalogue_test;

namespace {

struct MountedAssets : ::testing::Test {
    TempDir dir;
    void SetUp() override { resetCatalogues(); }
    void TearDown() override { PHYSFS_deinit(); }
};

TEST_F(MountedAssets, WithoutRendererTexturesAreNullAndSilent) {
    writePng(dir / "core/assets/a.png", 4, 4);
    ASSERT_TRUE(mountAssets(dir.str()));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(LoadTexture("core/assets/a.png"), nullptr);
    EXPECT_EQ(LoadTexture("core/assets/missing.png"), nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(MountedAssets, PngInFolderBecomesTextureOfItsSize) {
    SoftwareRenderer video;
    writePng(dir / "core/assets/a.png", 12, 7);
    ASSERT_TRUE(mountAssets(dir.str()));
    SDL_Texture* texture = LoadTexture("core/assets/a.png");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(textureWidth(texture), 12);
    EXPECT_EQ(textureHeight(texture), 7);
}

TEST_F(MountedAssets, UnreadableOrUndecodableImagesReportTheirLine) {
    SoftwareRenderer video;
    writeFile(dir / "core/assets/text.png", "not an image");
    ASSERT_TRUE(mountAssets(dir.str()));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(LoadTexture("core/assets/missing.png"), nullptr);
    EXPECT_EQ(LoadTexture(""), nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "PhysFS failed to open: core/assets/missing.png\nPhysFS failed to open: \n");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(LoadTexture("core/assets/text.png"), nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr().rfind("IMG_Load failed: core/assets/text.png: ", 0), 0u);
}

TEST_F(MountedAssets, ArchiveIsMountedInsteadOfTheFolderWhenPresent) {
    SoftwareRenderer video;
    writePng(dir / "staging/a.png", 5, 3);
    writeZip(dir / "assets.cvl", {{"core/assets/a.png", readWholeFile(dir / "staging/a.png")}});
    writePng(dir / "core/assets/folder_only.png", 2, 2);
    ASSERT_TRUE(mountAssets(dir.str()));
    EXPECT_EQ(textureWidth(LoadTexture("core/assets/a.png")), 5);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(LoadTexture("core/assets/folder_only.png"), nullptr);
    ::testing::internal::GetCapturedStderr();
}

// An archive that will not mount (empty, not an archive, cut short) is named once, and the content is read from
// the folders beside it.
TEST_F(MountedAssets, ArchiveThatWillNotMountIsNamedAndTheFoldersAreReadInstead) {
    SoftwareRenderer video;
    writePng(dir / "staging/a.png", 5, 3);
    writeZip(dir / "staging/whole.cvl", {{"core/assets/a.png", readWholeFile(dir / "staging/a.png")}});
    const std::string whole = readWholeFile(dir / "staging/whole.cvl");
    writePng(dir / "core/assets/folder_only.png", 6, 2);
    for (const std::string& archive : {std::string(), std::string("not an archive"), whole.substr(0, whole.size() / 2)}) {
        SCOPED_TRACE(archive.size());
        writeFile(dir / "assets.cvl", archive);
        ::testing::internal::CaptureStderr();
        EXPECT_TRUE(mountAssets(dir.str()));
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.rfind("PhysFS mount failed: ", 0), 0u) << said;
        EXPECT_NE(said.find(dir / "assets.cvl (reading the content folders instead)\n"), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_EQ(textureWidth(LoadTexture("core/assets/folder_only.png")), 6);
        PHYSFS_deinit();
    }
}

TEST_F(MountedAssets, MissingAssetRootIsReportedAsAFailedMount) {
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(mountAssets(dir / "nowhere/"));
    EXPECT_EQ(::testing::internal::GetCapturedStderr().rfind("PhysFS mount failed: ", 0), 0u);
}

TEST_F(MountedAssets, MissingTextureSetReportsEveryFileInLoadOrder) {
    SoftwareRenderer video;
    ASSERT_TRUE(mountAssets(dir.str()));
    ::testing::internal::CaptureStderr();
    loadTextures();
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 77);
    EXPECT_EQ(log.rfind("PhysFS failed to open: core/assets/global/tiles/grass/grass.png\n", 0), 0u);
    EXPECT_NE(log.find("tiles/grass/mud_IS.png\nPhysFS failed to open: core/assets/global/tiles/grass/drygrass_F.png"),
              std::string::npos);
    EXPECT_EQ(log.substr(log.size() - 15), "tiles/dash.png\n");
    EXPECT_EQ(texGrass, nullptr);
    EXPECT_EQ(texDash, nullptr);
}

TEST_F(MountedAssets, TerrainSpritesAreScaledToOneTile) {
    SoftwareRenderer video;
    TILE_SIZE = 64;
    writePng(dir / "core/assets/global/tiles/grass/grass.png", 64, 32);
    writePng(dir / "core/assets/global/tiles/grass/mud_F.png", 8, 8);
    ASSERT_TRUE(mountAssets(dir.str()));
    ::testing::internal::CaptureStderr();
    loadTextures();
    loadTextures();  // a second session start replaces the set
    ::testing::internal::GetCapturedStderr();
    rockSprite = Sprite{};  // as a fresh program has it
    loadSprites();
    EXPECT_EQ(grassSprite.texture, texGrass);
    EXPECT_FLOAT_EQ(grassSprite.scaleX, 1.0f);
    EXPECT_FLOAT_EQ(grassSprite.scaleY, 2.0f);
    EXPECT_FLOAT_EQ(grassSprite.dst.w, 64.0f);
    EXPECT_FLOAT_EQ(grassSprite.dst.h, 64.0f);
    SDL_BlendMode mode = SDL_BLENDMODE_NONE;
    SDL_GetTextureBlendMode(mud_F.texture, &mode);
    EXPECT_EQ(mode, SDL_BLENDMODE_BLEND);
    EXPECT_EQ(rockSprite.texture, nullptr);
    EXPECT_FLOAT_EQ(rockSprite.dst.w, 0.0f);
}

struct SoundFiles : MountedAssets {
    OpenAudio audio;
    void SetUp() override {
        MountedAssets::SetUp();
        ASSERT_TRUE(audio.opened());
        writeWav(dir / "core/assets/a.wav");
        writeWav(dir / "core/assets/b.wav");
        writeFile(dir / "core/assets/noise.wav", "RIFF junk");
        ASSERT_TRUE(mountAssets(dir.str()));
    }
    size_t variants(SoundCategory category, const std::string& key) {
        const auto it = soundSets.find(SoundKey{category, key});
        return it == soundSets.end() ? 0 : it->second.chunks.size();
    }
};

TEST_F(SoundFiles, SetHoldsOnlyTheFilesThatLoadAndReportsTheOthers) {
    ::testing::internal::CaptureStderr();
    loadSoundSet(SoundCategory::Unit, "Grunt.ready", {"core/assets/a.wav", "core/assets/gone.wav", "core/assets/b.wav"});
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[WARNING] PhysFS failed to load: core/assets/gone.wav\n");
    EXPECT_EQ(variants(SoundCategory::Unit, "Grunt.ready"), 2u);
    ::testing::internal::CaptureStderr();
    loadSoundSet(SoundCategory::Unit, "Grunt.ready", {"core/assets/noise.wav"});
    EXPECT_EQ(::testing::internal::GetCapturedStderr().rfind(
                  "[ERROR] Failed to load sound: core/assets/noise.wav | SDL_mixer: ", 0),
              0u);
    EXPECT_EQ(variants(SoundCategory::Unit, "Grunt.ready"), 0u);
}

TEST_F(SoundFiles, NestedEntriesMakeOneSetPerMember) {
    const std::string path = dir / "sounds.json";
    writeFile(path, R"({"Unit": {"T": {"D": ["core/assets/a.wav", "core/assets/b.wav"], "S": "core/assets/a.wav"}},
                        "Game": {"Victory": ["core/assets/b.wav"]}, "Music": ["m.ogg"]})");
    initAudio(path);
    EXPECT_EQ(variants(SoundCategory::Unit, "T.D"), 2u);
    EXPECT_EQ(variants(SoundCategory::Unit, "T.S"), 1u);
    EXPECT_EQ(variants(SoundCategory::Game, "Victory"), 1u);
    EXPECT_EQ(variants(SoundCategory::Unit, "T"), 0u);
    EXPECT_EQ(musicTracks, (std::vector<std::string>{"m.ogg"}));
}

}  // namespace
