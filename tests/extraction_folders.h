// Extraction tests: the campaign saves and three star-map extractions in a scratch folder.
#pragma once

#include <string>

#include "extraction_campaign.h"
#include "extraction_missions.h"
#include "test_files.h"

// Points the campaign save folder and the extraction folder into dir, the latter holding "ashen", "cinder" and
// "glass", 64 by 64 each.
inline void useScratchExtractionFolders(TempDir& dir) {
    extractionSaveFolder = dir.path.string() + "/saves/";
    extractionMapFolder = dir.makeDir("extractions");
    for (const char* name : {"ashen", "cinder", "glass"})
        dir.write(std::string("extractions/") + name + ".json",
                  std::string(R"({"name":")") + name + R"(","map":")" + name + R"(","mapWidth":64,"mapHeight":64})");
}
