// The objectives panel over the HUD, read back pixel by pixel.
#include "draw_fixture.h"
#include "missions.h"

namespace {

using MissionPanel = DrawFixture;

// Whether any pixel of the row band has the colour.
bool bandShows(int y0, int y1, SDL_Color colour) {
    for (int y = y0; y < y1; ++y)
        for (int x = 20; x < 200; ++x)
            if (DrawFixture::same(DrawFixture::pixel(x, y), colour)) return true;
    return false;
}

TEST_F(MissionPanel, ShowsTheTitleInGoldAndDoneObjectivesInGreen) {
    SDL_SetRenderDrawColor(renderer, 255, 255, 255, 255);
    SDL_RenderClear(renderer);
    currentMission.objectives = {{"a", "Train Marines", "train", "Marine", 5, 5, true},
                                 {"b", "Build a barracks", "build", "HumanBarracks", 0, 0, false}};
    renderMissionUI();
    saveScreenshot("mission_objectives_panel");
    currentMission = Mission{};
    // Black at alpha 160 over white.
    EXPECT_NEAR(pixel(205, 205).r, 95, 2);
    EXPECT_EQ(pixel(215, 205).r, 255);
    EXPECT_TRUE(bandShows(80, 100, {255, 215, 0, 255}));
    EXPECT_TRUE(bandShows(110, 130, {0, 255, 0, 255}));
    EXPECT_FALSE(bandShows(134, 154, {0, 255, 0, 255}));
    EXPECT_TRUE(bandShows(134, 154, {255, 255, 255, 255}));
}

}  // namespace
