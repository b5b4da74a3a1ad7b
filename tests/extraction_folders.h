// Extraction tests: the campaign saves and three star-map extractions in a scratch folder, and the campaign's
// hooks and deploy choices let go after a test.
#pragma once

#include <string>

#include "extraction.h"
#include "extraction_campaign.h"
#include "extraction_missions.h"
#include "extraction_rules.h"
#include "test_files.h"
#include "units.h"

// Points the campaign save folder and the extraction folder into dir, the latter holding "ashen", "cinder" and
// "glass", 64 by 64 each.
inline void useScratchExtractionFolders(TempDir& dir) {
    extractionSaveFolder = dir.path.string() + "/saves/";
    extractionMapFolder = dir.makeDir("extractions");
    for (const char* name : {"ashen", "cinder", "glass"})
        dir.write(std::string("extractions/") + name + ".json",
                  std::string(R"({"name":")") + name + R"(","map":")" + name + R"(","mapWidth":64,"mapHeight":64})");
}

// The start-up hooks of the campaign and the choices of a deployed mission gone, and the campaign saves back in
// the folder the program keeps them in.
inline void forgetDeployedMission() {
    combatHooks = CombatHooks{};
    unitHooks = UnitHooks{};
    ShowExtractPanel = nullptr;
    extraction_options.clear();
    deploymentSelectedMapId = -1;
    extractionSaveFolder = "./saves/extraction/";
    extraction_filename.clear();
    load_roster("");
}
