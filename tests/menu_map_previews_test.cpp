// The preview pictures the build draws beside every shipped map, and the star map that shows them.
#include <filesystem>
#include <string>
#include <vector>

#include "draw_fixture.h"
#include "extraction_missions.h"
#include "game_state.h"
#include "sdl_events.h"
#include "ui/extraction_pages.h"

namespace {

const std::filesystem::path MAPS = std::filesystem::path(CORVALE_SOURCE_DIR) / "maps";
constexpr SDL_Color EMPTY_BOX{20, 20, 24, 255};

std::vector<std::string> shippedMaps() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(MAPS))
        if (entry.path().extension() == ".map") names.push_back(entry.path().stem().string());
    return names;
}

TEST(ShippedMapPreviews, EveryMapHasAFullSizePictureOfItselfBesideItAndNoHalfWrittenFile) {
    const std::vector<std::string> maps = shippedMaps();
    ASSERT_GE(maps.size(), 7u);
    for (const std::string& name : maps) {
        SDL_Surface* picture = SDL_LoadBMP((MAPS / (name + ".bmp")).c_str());
        ASSERT_NE(picture, nullptr) << name << ": " << SDL_GetError();
        EXPECT_EQ(picture->w, 1024) << name;
        EXPECT_EQ(picture->h, 1024) << name;
        SDL_Color centre{};
        SDL_Surface* rgba = SDL_ConvertSurfaceFormat(picture, SDL_PIXELFORMAT_RGBA32, 0);
        const auto* row = static_cast<const uint8_t*>(rgba->pixels) + 512 * rgba->pitch;
        centre = {row[512 * 4], row[512 * 4 + 1], row[512 * 4 + 2], 255};
        EXPECT_FALSE(centre.r == EMPTY_BOX.r && centre.g == EMPTY_BOX.g && centre.b == EMPTY_BOX.b)
            << name << ": the middle of the picture shows the map";
        SDL_FreeSurface(rgba);
        SDL_FreeSurface(picture);
        EXPECT_FALSE(std::filesystem::exists(MAPS / (name + ".bmp.tmp"))) << name;
    }
}

struct StarMap : DrawFixture {
    MainMenu menu;
    std::string savedBase = basePath;
    std::string savedFolder = extractionMapFolder;

    void SetUp() override {
        DrawFixture::SetUp();
        basePath = std::string(CORVALE_SOURCE_DIR) + "/";
        extractionMapFolder = std::string(CORVALE_SOURCE_DIR) + "/core/data/extractions";
        deploymentSelectedMapId = -1;
        generate_mission_options(7);
    }
    void TearDown() override {
        extraction_options.clear();
        deploymentSelectedMapId = -1;
        basePath = savedBase;
        extractionMapFolder = savedFolder;
        DrawFixture::TearDown();
    }

    static float nodeX(std::size_t i) { return W * 0.5f + (static_cast<float>(i) - 1.5f) * 200.0f; }
    // The middle of node i's preview box shows a picture, not the empty box.
    static bool showsPreview(std::size_t i) { return !same(pixel(static_cast<int>(nodeX(i)), 150), EMPTY_BOX); }
};

TEST_F(StarMap, ThreeMissionsShowTheirMapsAndTheHiddenSignalNone) {
    ASSERT_EQ(extraction_options.size(), 4u) << "one offer per shipped Extraction map";
    ExtractionMapPickerPage page(&menu);
    page.init();
    page.draw();
    saveScreenshot("star_map_previews");
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_NE(page.previews.find(extraction_options[i].map), page.previews.end()) << extraction_options[i].map;
        EXPECT_TRUE(showsPreview(i)) << "node " << i << ": " << extraction_options[i].map;
    }
    EXPECT_TRUE(same(pixel(static_cast<int>(nodeX(3)), 150), SDL_Color{40, 20, 20, 255})) << "the unknown signal";

    // Picking: the second node chosen, the pointer over the third; both previews stay.
    const SDL_FRect chosen = extraction_options[1].card;
    page.handleEvent(press(chosen.x + chosen.w / 2, chosen.y + chosen.h / 2));
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.x = static_cast<Sint32>(extraction_options[2].card.x + 2);
    motion.motion.y = static_cast<Sint32>(extraction_options[2].card.y + 2);
    page.handleEvent(motion);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    page.draw();
    saveScreenshot("map_picker_previews");
    EXPECT_EQ(deploymentSelectedMapId, 1);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(showsPreview(i)) << "node " << i;
}

}  // namespace
