// The contact sheet: one PNG that lays out every unit, building, object, tile and icon for review.
#pragma once

#include <string>

#include "plan.h"

// Reads the generated images back from outRoot; labels use the font at fontPath when it opens.
bool writeContactSheet(const Plan& plan, const std::string& outRoot, const std::string& fontPath, const std::string& pngPath);
