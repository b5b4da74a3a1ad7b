// A headless window with the software renderer drawing into a target that tests read back, and the UI font.
#pragma once

#include <gtest/gtest.h>

#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>
#include <SDL2/SDL_ttf.h>
#include <physfs.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "fog.h"
#include "minimap.h"
#include "screenshot_folder.h"
#include "sdl.h"
#include "sdl_text.h"
#include "textures.h"

struct DrawFixture : ::testing::Test {
    static constexpr int W = 1280;
    static constexpr int H = 720;
    SDL_Texture* target = nullptr;

    static void SetUpTestSuite() {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        ASSERT_EQ(TTF_Init(), 0);
        ASSERT_TRUE(mountAssets(CORVALE_SOURCE_DIR));
        window = SDL_CreateWindow("test", 0, 0, W, H, SDL_WINDOW_HIDDEN);
        renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE | SDL_RENDERER_TARGETTEXTURE);
        ASSERT_NE(renderer, nullptr) << SDL_GetError();
        ASSERT_TRUE(initFonts());
        initFontCache();
    }
    static void TearDownTestSuite() {
        // What a session drew with goes before its renderer, or the next suite's session frees it again.
        releaseFogTextures();
        clearMinimap();
        releaseTextures();
        cleanupFonts();
        SDL_DestroyRenderer(renderer);
        SDL_DestroyWindow(window);
        renderer = nullptr;
        window = nullptr;
        TTF_Quit();
        PHYSFS_deinit();
        SDL_Quit();
    }
    void SetUp() override {
        target = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA32, SDL_TEXTUREACCESS_TARGET, W, H);
        SDL_SetRenderTarget(renderer, target);
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
    }
    void TearDown() override {
        SDL_SetRenderTarget(renderer, nullptr);
        SDL_DestroyTexture(target);
    }

    static SDL_Color pixel(int x, int y) {
        SDL_Color c{};
        const SDL_Rect one{x, y, 1, 1};
        SDL_RenderReadPixels(renderer, &one, SDL_PIXELFORMAT_RGBA32, &c, 4);
        return c;
    }
    static bool same(SDL_Color a, SDL_Color b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

    // Writes the target beside the test binary, under screenshots/, for a person to judge.
    static void saveScreenshot(const std::string& name) {
        const std::filesystem::path dir = screenshotFolder();
        std::filesystem::create_directories(dir);
        SDL_Surface* shot = SDL_CreateRGBSurfaceWithFormat(0, W, H, 32, SDL_PIXELFORMAT_RGBA32);
        SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGBA32, shot->pixels, shot->pitch);
        EXPECT_EQ(IMG_SavePNG(shot, (dir / (name + ".png")).c_str()), 0) << IMG_GetError();
        SDL_FreeSurface(shot);
    }
};
