// Extraction campaign state: the open campaign's values and rosters, its save file and the list of saved campaigns.
#include "extraction_campaign.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "extraction.h"
#include "extraction_items.h"
#include "extraction_rules.h"
#include "hud.h"
#include "tech_tree.h"
#include "utils.h"

namespace fs = std::filesystem;

bool operator==(const UnitSaveData& a, const UnitSaveData& b) {
    return a.type == b.type && a.nickname == b.nickname && a.level == b.level && a.xp == b.xp &&
           a.kills == b.kills && a.alive == b.alive;
}

std::string extraction_name;
std::string extraction_filename;
bool hardcore = false;
int global_extraction_level = 1;
int global_cryppod_count = 0;
int tech_points = 0;
std::vector<UnitSaveData> shipRoster;
std::vector<UnitSaveData> activeDeploymentRoster;
std::vector<CampaignHeader> extraction_campaigns;
int selected_campaign_index = -1;
std::string extractionSaveFolder = "./saves/extraction/";

// ---- Encoding ----

namespace {

void putBytes(std::string& out, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFFu));
}

void putInt(std::string& out, int32_t value) { putBytes(out, static_cast<uint32_t>(value), 4); }

void putString(std::string& out, const std::string& s) {
    putBytes(out, s.size(), 8);
    out += s;
}

// Every read is checked against what remains; a failed read leaves the reader failed for good.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), left_(size) {}

    bool ok() const { return ok_; }
    size_t left() const { return left_; }

    uint64_t bytes(int width) {
        const uint8_t* start = data_;
        if (!take(static_cast<size_t>(width))) return 0;
        uint64_t value = 0;
        for (int i = 0; i < width; ++i) value |= static_cast<uint64_t>(start[i]) << (8 * i);
        return value;
    }
    int32_t int32() { return static_cast<int32_t>(static_cast<uint32_t>(bytes(4))); }
    bool flag() { return bytes(1) != 0; }

    std::string string() {
        const uint64_t length = bytes(8);
        if (!ok_ || length > MAX_CAMPAIGN_STRING || length > left_) return fail(), std::string();
        const char* start = reinterpret_cast<const char*>(data_);
        take(static_cast<size_t>(length));
        return std::string(start, static_cast<size_t>(length));
    }

    // A count whose items, each at least minItemSize bytes, cannot fit in what remains fails the reader.
    size_t count(size_t minItemSize) {
        const uint64_t n = bytes(8);
        if (!ok_ || n > MAX_CAMPAIGN_COUNT || n > left_ / minItemSize) return fail(), 0;
        return static_cast<size_t>(n);
    }

private:
    bool take(size_t n) {
        if (!ok_ || n > left_) return fail(), false;
        data_ += n;
        left_ -= n;
        return true;
    }
    void fail() {
        ok_ = false;
        left_ = 0;
    }

    const uint8_t* data_;
    size_t left_;
    bool ok_ = true;
};

constexpr size_t MIN_STRING_BYTES = 8;
constexpr size_t MIN_UNIT_BYTES = 8 + 8 + 4 + 4 + 4 + 1;

UnitSaveData readUnit(Reader& in) {
    UnitSaveData unit;
    unit.type = in.string();
    unit.nickname = in.string();
    unit.level = in.int32();
    unit.xp = in.int32();
    unit.kills = in.int32();
    unit.alive = in.flag();
    return unit;
}

}  // namespace

std::string encodeCampaign(const CampaignRecord& record) {
    std::string out;
    putString(out, record.name);
    putBytes(out, record.hardcore ? 1 : 0, 1);
    putInt(out, record.level);
    putInt(out, record.manPower);
    putInt(out, record.techPoints);
    putInt(out, record.cryopods);
    putBytes(out, record.techIds.size(), 8);
    for (const std::string& id : record.techIds) putString(out, id);
    putBytes(out, record.roster.size(), 8);
    for (const UnitSaveData& unit : record.roster) {
        putString(out, unit.type);
        putString(out, unit.nickname);
        putInt(out, unit.level);
        putInt(out, unit.xp);
        putInt(out, unit.kills);
        putBytes(out, unit.alive ? 1 : 0, 1);
    }
    return out;
}

std::optional<CampaignRecord> decodeCampaign(const uint8_t* data, size_t size) {
    Reader in(data, size);
    CampaignRecord record;
    record.name = in.string();
    record.hardcore = in.flag();
    record.level = in.int32();
    record.manPower = in.int32();
    record.techPoints = in.int32();
    record.cryopods = in.int32();
    const size_t techCount = in.count(MIN_STRING_BYTES);
    for (size_t i = 0; i < techCount && in.ok(); ++i) record.techIds.push_back(in.string());
    const size_t unitCount = in.count(MIN_UNIT_BYTES);
    for (size_t i = 0; i < unitCount && in.ok(); ++i) record.roster.push_back(readUnit(in));
    if (!in.ok() || in.left() != 0) return std::nullopt;
    if (record.level < 1 || record.level > MAX_CAMPAIGN_LEVEL) return std::nullopt;
    const auto levelKnown = [](const UnitSaveData& unit) { return unit.level >= 1 && unit.level <= MAX_UNIT_LEVEL; };
    if (!std::all_of(record.roster.begin(), record.roster.end(), levelKnown)) return std::nullopt;
    return record;
}

// ---- Files ----

static std::string readWholeFile(const std::string& path, bool& opened) {
    std::ifstream in(path, std::ios::binary);
    opened = in.is_open();
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool save_roster(const std::string& file, const std::string& name, bool hardcoreFlag, int level,
                 const std::vector<UnitSaveData>& roster, int manPower, int techPoints) {
    if (!Utils::isPlainFileName(file)) {
        std::cerr << "Invalid campaign file name: " << file << "\n";
        return false;
    }
    // A longer name would be written, then read back as damage and the whole campaign lost.
    if (name.size() > MAX_CAMPAIGN_STRING) {
        std::cerr << "Campaign name is longer than " << MAX_CAMPAIGN_STRING << " bytes: " << file << " not saved\n";
        return false;
    }
    CampaignRecord record{name, hardcoreFlag, level, manPower, techPoints, global_cryppod_count, {}, roster};
    for (const Tech& tech : techTree)
        if (tech.unlocked) record.techIds.push_back(tech.id);
    std::error_code ignored;
    fs::create_directories(extractionSaveFolder, ignored);
    return Utils::writeFileAtomically(extractionSaveFolder + file, encodeCampaign(record), "campaign file");
}

static void resetCampaignValues() {
    extraction_name.clear();
    hardcore = false;
    global_extraction_level = 1;
    global_man_power = 0;
    tech_points = 0;
    global_cryppod_count = 0;
    for (Tech& tech : techTree) tech.unlocked = false;
}

static void unlockTech(const std::string& id) {
    for (Tech& tech : techTree)
        if (tech.id == id) {
            tech.unlocked = true;
            return;
        }
}

std::vector<UnitSaveData> load_roster(const std::string& file) {
    resetCampaignValues();
    if (!Utils::isPlainFileName(file)) return {};
    bool opened = false;
    const std::string bytes = readWholeFile(extractionSaveFolder + file, opened);
    if (!opened) return {};
    std::optional<CampaignRecord> record = decodeCampaign(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (!record) {
        std::cerr << "Damaged campaign file: " << file << "\n";
        return {};
    }
    extraction_name = record->name;
    hardcore = record->hardcore;
    global_extraction_level = record->level;
    global_man_power = record->manPower;
    tech_points = record->techPoints;
    global_cryppod_count = record->cryopods;
    for (const std::string& id : record->techIds) unlockTech(id);
    return std::move(record->roster);
}

std::optional<int> livingUnitsIn(const std::string& file) {
    if (!Utils::isPlainFileName(file)) return std::nullopt;
    bool opened = false;
    const std::string bytes = readWholeFile(extractionSaveFolder + file, opened);
    if (!opened) return std::nullopt;
    const std::optional<CampaignRecord> record =
        decodeCampaign(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (!record) return std::nullopt;
    return static_cast<int>(std::count_if(record->roster.begin(), record->roster.end(),
                                          [](const UnitSaveData& u) { return u.alive; }));
}

CampaignHeader peek_campaign_header(const std::string& path, const std::string& fileName) {
    CampaignHeader header{fileName, "Unknown", false};
    std::ifstream in(path, std::ios::binary);
    uint8_t head[8 + MAX_CAMPAIGN_STRING + 1];
    in.read(reinterpret_cast<char*>(head), sizeof head);
    Reader reader(head, static_cast<size_t>(in.gcount()));
    std::string name = reader.string();
    const bool flag = reader.flag();
    if (!reader.ok()) return header;
    header.name = std::move(name);
    header.hardcore = flag;
    return header;
}

static std::string campaignRow(const CampaignHeader& header) {
    return (header.hardcore ? "[HC] " : "") + header.name + " (" + header.fileName + ")";
}

std::vector<std::string> refresh_extraction_campaigns_list() {
    extraction_campaigns.clear();
    std::vector<std::string> rows;
    std::error_code error;
    fs::create_directories(extractionSaveFolder, error);
    for (fs::directory_iterator it(extractionSaveFolder, error), end; !error && it != end; it.increment(error)) {
        const std::string extension = it->path().extension().string();
        if (extension != ".sav" && extension != ".bin") continue;
        const std::string fileName = it->path().filename().string();
        extraction_campaigns.push_back(peek_campaign_header(it->path().string(), fileName));
        rows.push_back(campaignRow(extraction_campaigns.back()));
    }
    if (error) std::cerr << "Could not list campaigns in " << extractionSaveFolder << ": " << error.message() << "\n";
    return rows;
}

// ---- Opening and closing ----

void initExtractionData(const std::string& file) {
    shipRoster = load_roster(file);
    activeDeploymentRoster.clear();
}

void resetExtractionData() {
    shipRoster.clear();
    activeDeploymentRoster.clear();
}

void reset_extraction() {
    updateAiUnitsAccumulator = 0.0f;
    // The next mission's dialog counts its own zone from its first look, not the last mission's.
    units_around_extraction.clear();
    clearMatchItems();
    extract_modal_units_label = nullptr;
    extract_modal.clear();
}
