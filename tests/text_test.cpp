// The UI font: size lookup, the bounded text cache, measuring, wrapping and a broken font file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "draw_fixture.h"
#include "test_files.h"

namespace {

// Each test starts from an empty text cache, whatever the one before filled it with.
struct Text : DrawFixture {
    void SetUp() override {
        DrawFixture::SetUp();
        cleanupFonts();
        ASSERT_TRUE(initFonts());
        initFontCache();
    }
};
const SDL_Color gold{255, 215, 0, 255};

TEST_F(Text, UnknownSizeIsRefusedWithItsMessage) {
    EXPECT_NE(getFont(72), nullptr);
    try {
        getFont(13);
        FAIL() << "size 13 was accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Font size not preloaded: 13");
    }
    ::testing::internal::CaptureStderr();
    DrawText("odd size", 10, 10, gold, 13, false);
    DrawText("odd size", 10, 10, gold, 13, false);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Font size not preloaded: 13\n");
}

TEST_F(Text, CacheKeepsColoursApartAndSharesAlphas) {
    const std::size_t before = textCacheSize();
    DrawText("Gold", 10, 10, gold, 18, false);
    DrawText("Gold", 10, 10, SDL_Color{255, 215, 0, 100}, 18, false);
    EXPECT_EQ(textCacheSize(), before + 1);
    DrawText("Gold", 10, 10, SDL_Color{255, 216, 0, 255}, 18, false);
    DrawText("Gold", 10, 10, gold, 20, false);
    EXPECT_EQ(textCacheSize(), before + 3);
    DrawText("", 10, 10, gold, 18, false);
    EXPECT_EQ(textCacheSize(), before + 3);
    EXPECT_GT(pixel(14, 18).r, 100);
}

TEST_F(Text, CacheStaysWithinItsBound) {
    for (int i = 0; i < 3000; ++i) DrawText("n" + std::to_string(i), 0, 0, gold, 12, false);
    EXPECT_EQ(textCacheSize(), TEXT_CACHE_LIMIT);
}

TEST_F(Text, CentredTextIsDrawnAroundItsPoint) {
    int w = 0, h = 0;
    getTextSize("WWWW", 32, w, h);
    DrawText("WWWW", 400, 300, SDL_Color{255, 255, 255, 255}, 32, true);
    int left = -1;
    for (int x = 0; x < 800 && left < 0; ++x)
        for (int y = 300 - h / 2; y < 300 + h / 2 && left < 0; ++y)
            if (pixel(x, y).r > 128) left = x;
    EXPECT_GE(left, 400 - w / 2);
    EXPECT_LT(left, 400 - w / 2 + 8);
}

TEST_F(Text, GlyphTablesHoldDigitsApartFromOtherCharacters) {
    EXPECT_NE(digitTextures[5], nullptr);
    EXPECT_EQ(charTextures['5'], nullptr);
    EXPECT_NE(charTextures['A'], nullptr);
    EXPECT_EQ(charTextures[200], nullptr);
}

TEST_F(Text, WrapsGreedilyAndKeepsEmptyParagraphs) {
    const int limit = TextWidth("aaa bbb", 18);
    EXPECT_EQ(wrapText(18, "aaa bbb ccc", limit), (std::vector<std::string>{"aaa bbb", "ccc"}));
    EXPECT_EQ(wrapText(18, "x\n\ny", 1000), (std::vector<std::string>{"x", "", "y"}));
    EXPECT_EQ(wrapText(18, "a   b", 1000), (std::vector<std::string>{"a b"}));
    EXPECT_EQ(wrapText(18, "unbreakable word", 5), (std::vector<std::string>{"unbreakable", "word"}));
}

TEST_F(Text, SplitsAndMeasuresLines) {
    EXPECT_EQ(splitLines("a\n\nb"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(splitLines("a\n"), (std::vector<std::string>{"a"}));
    EXPECT_TRUE(splitLines("").empty());
    int w = 0, h = 0;
    measureTooltipText(getFont(14), "short\nmuch longer", w, h, 4);
    EXPECT_EQ(w, TextWidth("much longer", 14));
    EXPECT_EQ(h, TextHeight("short", 14) + TextHeight("much longer", 14) + 4);
    measureTooltipText(getFont(14), "", w, h, 4);
    EXPECT_EQ(w + h, 0);
}

TEST(FontFile, MissingOrCorruptFontGivesOneLineNamingItAndTextGoesOn) {
    // Only the folder below is mounted, and no font of an earlier test is loaded.
    cleanupFonts();
    if (PHYSFS_isInit()) PHYSFS_deinit();
    for (const std::string& bytes : {std::string(), std::string("not a font at all")}) {
        TempDir dir;
        if (!bytes.empty()) dir.write(FONT_PATH, bytes);
        ASSERT_TRUE(mountAssets(dir.path.string()));
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(initFonts());
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(FONT_PATH), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        std::vector<std::string> lines = wrapText(18, "no font", 100);
        EXPECT_TRUE(lines.empty());
        cleanupFonts();
        PHYSFS_deinit();
    }
}

}  // namespace
