// Extraction campaign state: the open campaign's values and rosters, its save file and the list of saved campaigns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One unit of a campaign roster.
struct UnitSaveData {
    std::string type;  // a key of unitInfo
    std::string nickname;
    int32_t level = 1;
    int32_t xp = 0;  // total ever gained
    int32_t kills = 0;
    bool alive = true;
};

bool operator==(const UnitSaveData& a, const UnitSaveData& b);

// The leading fields of one campaign file, one row of the hub's campaign list.
struct CampaignHeader {
    std::string fileName;  // inside the campaign folder
    std::string name = "Unknown";
    bool hardcore = false;
};

// ---- The open campaign (alive for the whole run) ----

extern std::string extraction_name;
extern std::string extraction_filename;
extern bool hardcore;
extern int global_extraction_level;
extern int global_cryppod_count;
extern int tech_points;
// global_man_power lives in extraction.h, beside the civilians construction draws on.

extern std::vector<UnitSaveData> shipRoster;              // the units aboard
extern std::vector<UnitSaveData> activeDeploymentRoster;  // the units chosen for the next mission

extern std::vector<CampaignHeader> extraction_campaigns;
extern int selected_campaign_index;

// Where campaign files live; tests point it at a folder of their own.
extern std::string extractionSaveFolder;

// ---- The campaign file ----

// Everything one campaign file holds, field by field.
struct CampaignRecord {
    std::string name;
    bool hardcore = false;
    int32_t level = 1;
    int32_t manPower = 0;
    int32_t techPoints = 0;
    int32_t cryopods = 0;
    std::vector<std::string> techIds;  // the unlocked techs
    std::vector<UnitSaveData> roster;
};

// Strings and counts beyond these are taken as a damaged file.
constexpr uint64_t MAX_CAMPAIGN_STRING = 4096;
constexpr uint64_t MAX_CAMPAIGN_COUNT = 100000;
// Levels play knows; others come from a hand edit and are taken as damage. A campaign level below 1 leaves an
// elimination no group size to draw, one far past a million missions overflows the danger of the offers; a unit
// level below 1 makes its first kill climb level after level, and experience stops at 100.
constexpr int32_t MAX_CAMPAIGN_LEVEL = 1000000;
constexpr int32_t MAX_UNIT_LEVEL = 100;

std::string encodeCampaign(const CampaignRecord& record);
// Nothing for a file cut short, with a length or count past what remains or past the maxima, with a campaign or unit
// level outside its range, or with bytes left.
std::optional<CampaignRecord> decodeCampaign(const uint8_t* data, size_t size);

// The open campaign's values with the given roster, written beside the target and renamed over it; the folder is
// made when missing. False, with one error line, for a name that leaves the folder or a failed write.
bool save_roster(const std::string& file, const std::string& name, bool hardcore, int level,
                 const std::vector<UnitSaveData>& roster, int manPower, int techPoints);
// Resets every campaign value, then takes the file's; a missing or damaged file leaves them reset and gives no roster.
std::vector<UnitSaveData> load_roster(const std::string& file);
CampaignHeader peek_campaign_header(const std::string& path, const std::string& fileName);
// The living units of a campaign file's roster, read without opening the campaign; nothing for an unreadable file.
std::optional<int> livingUnitsIn(const std::string& file);

// Rescans the folder (made when missing) into extraction_campaigns; answers the list rows, "[HC] name (file)".
std::vector<std::string> refresh_extraction_campaigns_list();

// ---- Opening and closing ----

// Opens the campaign of the file: its values and its roster; the deployment roster is emptied.
void initExtractionData(const std::string& file);
// Empties both rosters; the campaign values stay.
void resetExtractionData();
// Session tear-down: the strengthening timer, the match's items and the extraction dialog; the campaign stays open.
void reset_extraction();
