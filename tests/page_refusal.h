// The red line a menu page draws under its list when a press was refused, as a test counts it.
#pragma once

#include <string>

#include "draw_fixture.h"

// Draws the page alone on black, keeps the picture under the name, and counts the red pixels of the line's band.
template <class Page>
int refusalLinePixels(Page& page, const std::string& screenshot) {
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    page.draw();
    DrawFixture::saveScreenshot(screenshot);
    int red = 0;
    for (int x = 0; x < DrawFixture::W; ++x)
        for (int y = 485; y < 505; ++y) red += DrawFixture::pixel(x, y).r > 200 && DrawFixture::pixel(x, y).g < 150;
    return red;
}
