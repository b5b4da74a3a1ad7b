// Turns one planned image into pixels, laid out exactly as the game's renderer cuts it.
#pragma once

#include <nlohmann/json.hpp>

#include "models.h"
#include "plan.h"
#include "raster.h"

Image drawJob(const Job& job);

// Sheet geometry shared by the drawing and the contact sheet.
struct UnitSheetLayout {
    int frameWidth = 32, frameHeight = 32, numFrames = 1, attackFrames = 0, attackRowOffset = 0, attackFrameHeight = 0;
    int attackStep() const { return attackFrameHeight > 0 ? attackFrameHeight : frameHeight; }
    int corpseY() const { return (numFrames + attackFrames) * frameHeight; }
    int sheetHeight() const;
};
UnitSheetLayout unitSheetLayout(const nlohmann::json& meta);

Image renderUnitFrame(const UnitLook& look, const Pose& pose, int column, int fw, int fh);
Image renderObjectFrame(const std::string& kind, uint32_t seed, int frame, int frames, int fw, int fh);

int jsonInt(const nlohmann::json& j, const char* key, int fallback);
std::string jsonText(const nlohmann::json& j, const char* key);
