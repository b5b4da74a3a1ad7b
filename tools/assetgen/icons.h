// Flat 2D art: button icons with a symbol per meaning, HUD resource icons, cursors and item pictures.
#pragma once

#include <string>

#include "raster.h"

// 0 amber oil, 1 crystal, 2 supply, 3 eject.
Image hudIcon(int which);

// `words` describe the icon (name, effect, type...); `family` picks the frame colour ("spell", "upgrade", "tech").
Image symbolIcon(const std::string& words, const std::string& family, int size, Rgb raceColor);
// An item picture without a frame, w x h.
Image itemPicture(const std::string& name, int w, int h);
// Pointer image with its tip (or crosshair centre) at the hotspot.
Image cursorImage(int size, float hotX, float hotY, Rgb fill, Rgb trim);
// Background of a unit portrait: a gradient in the race colour; the frame is drawn by portraitFrame.
Image portraitBackground(int size, Rgb color);
void portraitFrame(Image& img, Rgb trim);
