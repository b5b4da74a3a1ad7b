// Extraction roster: the experience curve and level bonuses, call signs, placing the deployed roster, moving units
// between the rosters, revival, and the texts the map picker describes a mission with.
#include "extraction_roster.h"

#include <cmath>
#include <cstdlib>
#include <iostream>

#include "config.h"
#include "entity.h"
#include "extraction.h"
#include "map.h"
#include "player.h"
#include "special_effects.h"
#include "tech_tree.h"
#include "units.h"

int64_t get_xp_required_for_level(int level) {
    if (level <= 1) return 0;
    if (level == 2) return 250;
    return static_cast<int64_t>(100.0 * level + 250.0 * std::pow(1.35, level - 2));
}

static void addLevels(Unit& unit, int levels) {
    unit.maxHp += 10.0f * static_cast<float>(levels);
    unit.hp = unit.maxHp;
    unit.damage += 2 * levels;
}

void applyLevelBonuses(Unit& unit) { addLevels(unit, 1); }

void applyEveryLevelBonuses(Unit& unit) {
    if (unit.level <= 1) return;
    std::cout << "levelsGained " << unit.level - 1 << " " << unit.level << "\n";
    addLevels(unit, unit.level - 1);
}

static void showLevelUp(const Unit& unit) {
    ActiveSpecialEffect effect;
    effect.x = static_cast<int>(unit.x);
    effect.y = static_cast<int>(unit.y);
    effect.spriteKey = "LevelUp";
    active_special_effects.push_back(effect);
}

bool grantUnitExp(Unit& unit, int xp) {
    ExtractionNode* node = chosenExtractionNode();
    if (!node) return false;
    std::cout << "grantUnitExp " << node->kills << " " << node->danger << "\n";
    if (node->kills >= node->danger || unit.level > 99) return false;
    unit.experience += xp;
    while (unit.experience >= get_xp_required_for_level(unit.level + 1)) {
        applyLevelBonuses(unit);
        unit.level += 1;
        showLevelUp(unit);
        std::cout << unit.nickname << " LEVELED UP to Level " << unit.level << "!\n";
        if (unit.level > 99) break;
    }
    node->kills += xp;
    return true;
}

int calculate_enemy_xp_gain(const std::string& type, int level) {
    const double factor = 1.0 + 0.15 * (level - 1);
    const UnitInfo* info = getUnitInfo(type);
    return static_cast<int>(std::floor(factor * (info ? info->expGain : 25)));
}

const char* const NAMES[100] = {
    "Cody",    "Dickens",  "Viper",   "Miller", "Soap",    "The Don", "Ghost",          "Stoker", "Reaper",    "Vane",
    "Jax",     "Gunner",   "Jim",     "Rivers", "Zero",    "Sledge",  "Butcher",        "Pooper", "Rocco",     "Zane",
    "Dagger",  "Baron",    "Silas",   "Maverick", "Haze",  "Kilo",    "Bones",          "Grit",   "Pike",      "Tiny",
    "Sarge",   "Blaze",    "Frost",   "Wolf",   "Dutch",   "Rex",     "Talon",          "Hunter", "Spike",     "Raze",
    "Grim",    "Kitty",    "Cyrus",   "Huck",   "Mamba",   "Nash",    "Ryker",          "Torque", "Vulture",   "Wraith",
    "Shadow",  "Duke",     "Flint",   "Luke",   "Smith",   "Irons",   "Kane",           "Stephano", "Mace",    "Nitro",
    "Odin",    "Pharaoh",  "Quake",   "Rider",  "Saber",   "Soprano", "Vortex",         "Wilder", "Xerxes",    "Yeti",
    "Zeus",    "Samurai",  "Blade",   "Eagle",  "Dash",    "Edge",    "Fox",            "Trigger Finger", "Hawk", "Ink",
    "Jack",    "Knuckles", "Link",    "Moss",   "Hulk",    "Orion",   "Pyre",           "Quill",  "Ratchet",   "Steel",
    "Thorn",   "Rock",     "Vermin",  "Gilgamesh", "Goli", "Yankee",  "Flash",          "Thunder", "Cinder",   "Dredd",
};

const char* getRandomNickname() { return NAMES[std::rand() % 100]; }

static void placeRosterUnit(const UnitSaveData& record, const UnitInfo& info, int x, int y, Player& owner) {
    Unit unit = newUnitFromInfo(info, nextAttackableId++, owner.id);
    const int dx = std::rand() % 25 - 12;
    const int dy = std::rand() % 25 - 12;
    const V2i sub = find_nearby_clear_tile({x * SUBDIVISIONS + dx, y * SUBDIVISIONS + dy}, 10);
    unit.x = unit.prevX = static_cast<float>(sub.x) * 35.0f + 17.5f;
    unit.y = unit.prevY = static_cast<float>(sub.y) * 35.0f + 17.5f;
    unit.nickname = record.nickname;
    unit.level = record.level;
    unit.experience = record.xp;
    unit.kills = record.kills;
    unit.expGain = 0;
    applyEveryLevelBonuses(unit);
    addUnit(unit);
    owner.supplyUsed += 1;
}

void spawn_roster(Grid&, int x, int y, int owner) {
    Player* player = getPlayerById(owner);
    if (!player) return;
    if (activeDeploymentRoster.empty()) {
        std::cout << "Roster empty, nothing to spawn.\n";
        return;
    }
    for (const UnitSaveData& record : activeDeploymentRoster) {
        const UnitInfo* info = getUnitInfo(record.type);
        if (!info) {
            std::cerr << "[UnitInfo] Unknown unit type: " << record.type << "\nFailed to find UnitInfo for: "
                      << record.type << std::endl;
            continue;
        }
        placeRosterUnit(record, *info, x, y, *player);
        std::cout << "Spawned " << activeDeploymentRoster.size() << " survivors.\n";
    }
}

// ---- Texts of the map picker ----

template <typename T>
struct Threshold {
    T atLeast;
    const char* text;
};

template <typename T, size_t N>
static std::string labelFor(const Threshold<T> (&table)[N], T value, const char* below) {
    for (const Threshold<T>& row : table)
        if (value >= row.atLeast) return row.text;
    return below;
}

std::string get_difficulty_label(float danger) {
    static const Threshold<float> table[] = {{4200.0f, "SUICIDAL"}, {3300.0f, "SLAUGHTERHOUSE"},
                                             {2500.0f, "EXTREME"},  {1600.0f, "DANGEROUS"},
                                             {1000.0f, "TOUGH"},    {650.0f, "MODERATE"},
                                             {500.0f, "CAKEWALK"}};
    return labelFor(table, danger, "ABANDONED");
}

std::string get_map_size_label(int width, int height) {
    static const Threshold<int> table[] = {{40000, "CONTINENTAL"}, {16384, "MASSIVE"}, {10000, "LARGE"},
                                           {4096, "MEDIUM"},       {2500, "SMALL"},    {1024, "TINY"}};
    return labelFor(table, width * height, "ENCOUNTER");
}

// ---- Between the rosters ----

std::string rosterRowText(const UnitSaveData& unit) {
    return unit.nickname + " (" + unit.type + ")" + " - " + std::to_string(unit.level) + " " +
           (unit.alive ? "ALIVE" : "DEAD");
}

std::vector<std::string> rosterRows(const std::vector<UnitSaveData>& roster) {
    std::vector<std::string> rows;
    for (const UnitSaveData& unit : roster) rows.push_back(rosterRowText(unit));
    return rows;
}

int moveRosterUnit(std::vector<UnitSaveData>& from, std::vector<UnitSaveData>& to, int row, bool allowDead) {
    if (row < 0 || static_cast<size_t>(row) >= from.size()) return row;
    if (!allowDead && !from[static_cast<size_t>(row)].alive) return row;
    to.push_back(from[static_cast<size_t>(row)]);
    from.erase(from.begin() + row);
    if (from.empty()) return -1;
    if (static_cast<size_t>(row) >= from.size()) return static_cast<int>(from.size()) - 1;
    return 0;
}

Revival reviveRosterUnit(size_t index) {
    if (index >= shipRoster.size() || shipRoster[index].alive) return Revival::Refused;
    const bool canRevive = techUnlocked("DNA cloning") && global_cryppod_count >= 1;
    std::cout << "CAN REVIVE " << (canRevive ? 1 : 0) << "\n";
    if (!canRevive) return Revival::Refused;
    std::cout << "REVIVING NINJA " << shipRoster[index].nickname << "\n";
    global_cryppod_count -= 1;
    shipRoster[index].alive = true;
    if (save_roster(extraction_filename, extraction_name, hardcore, global_extraction_level, shipRoster,
                    global_man_power, tech_points))
        return Revival::Revived;
    // Not kept by the file, so not done: the pod and the death stand as the file has them.
    global_cryppod_count += 1;
    shipRoster[index].alive = false;
    return Revival::NotSaved;
}
