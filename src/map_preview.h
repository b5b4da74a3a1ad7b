// The map preview: a 1024 by 1024 bitmap of the whole map written beside a saved map file.
#pragma once

#include <string>

#include <SDL2/SDL.h>

#include "map.h"

constexpr int MAP_PREVIEW_SIZE = 1024;

// Scale and offset that fit the map's isometric box into 90 % of the preview, centred.
struct PreviewFit {
    float scale = 1.0f;
    float offsetX = 0.0f;
    float offsetY = 0.0f;
};
PreviewFit previewFit(int mapW, int mapH, float tileSize);

// The name with everything from its last "." replaced by ".bmp", or ".bmp" appended.
std::string previewFileName(const std::string& mapName);

void saveMapPreviewHardware(SDL_Renderer* renderer, Grid const& grid, std::string const& name);

// The one reader of preview pictures: an uncompressed bitmap of MAP_PREVIEW_SIZE by MAP_PREVIEW_SIZE whose header is
// checked against that size and the file's length before any surface is made. Null when there is no file; null
// with one line on the error stream for a picture that fails, or for anything in its place that is not a regular
// file.
SDL_Surface* loadMapPreview(const std::string& path);
