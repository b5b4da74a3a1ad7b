// Extraction missions: the map files and the mission offers, and the set-up of a mission (enemies, civilians,
// the wave strategy, the deployed roster).
#include "extraction_missions.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <stdexcept>
#include <vector>

#include "ai.h"
#include "config.h"
#include "extraction_campaign.h"
#include "extraction_roster.h"
#include "extraction_rules.h"
#include "game.h"
#include "hud.h"
#include "map.h"
#include "player.h"
#include "sdl_draw.h"
#include "units.h"

namespace fs = std::filesystem;

std::string extractionMapFolder = "core/data/extractions";
namespace {

// A size as a whole number of tiles; a fraction is cut as the int conversion cuts it, anything beyond int refused.
int tileCount(const nlohmann::json& doc, const char* key) {
    const nlohmann::json& value = doc.at(key);
    if (!value.is_number()) return value.get<int>();  // raises the library's type error with its message
    const double number = value.get<double>();
    if (!(number > INT_MIN - 1.0 && number < INT_MAX + 1.0))
        throw std::out_of_range(std::string("\"") + key + "\" is not a size in tiles");
    return static_cast<int>(number);
}

}  // namespace

std::optional<Extraction> loadExtraction(const std::string& path) {
    try {
        const nlohmann::json doc = Utils::loadJsonFile(path);
        // A file that cannot be read was named on the error stream already.
        if (doc.is_null()) return std::nullopt;
        Extraction e{doc.at("name").get<std::string>(), doc.at("map").get<std::string>(), tileCount(doc, "mapWidth"),
                     tileCount(doc, "mapHeight")};
        std::cout << "LOADED EXTRACTION \n";
        return e;
    } catch (const std::exception& error) {
        std::cerr << "Bad Extraction map file " << path << ": " << error.what() << "\n";
        return std::nullopt;
    }
}

// ---- Mission offers ----

static float unitInterval(std::mt19937& gen) {
    for (;;) {
        const float u = static_cast<float>(gen()) * 2.3283064e-10f;
        if (u < 1.0f) return u;
    }
}

static ExtractionNode makeOffer(const std::string& path, const Extraction& map, std::mt19937& gen, float minDanger,
                                float maxDanger) {
    ExtractionNode node;
    node.path = path;
    node.name = map.name;
    node.map = map.map;
    node.mapWidth = map.mapWidth;
    node.mapHeight = map.mapHeight;
    node.type = std::uniform_int_distribution<int>(0, 1)(gen);
    node.danger = static_cast<int>((maxDanger - minDanger) * unitInterval(gen) + minDanger);
    node.enemyRace = std::uniform_int_distribution<int>(1, 100)(gen) > 10 ? "vohmathal" : "human";
    return node;
}

void generate_mission_options(uint32_t seed) {
    extraction_options.clear();
    std::error_code error;
    if (!fs::is_directory(extractionMapFolder, error)) return;
    std::mt19937 gen(seed);
    float maxDanger = static_cast<float>(1000 * global_extraction_level) + 3000.0f;
    float minDanger = std::min(maxDanger - 500.0f, 500.0f);
    if (maxDanger > 5000.0f) {
        maxDanger = 5000.0f;
        minDanger = 500.0f;
    }
    std::vector<ExtractionNode> offers;
    for (fs::directory_iterator it(extractionMapFolder, error), end; !error && it != end; it.increment(error)) {
        if (it->path().extension() != ".json") continue;
        const std::string path = it->path().string();
        if (const std::optional<Extraction> map = loadExtraction(path))
            offers.push_back(makeOffer(path, *map, gen, minDanger, maxDanger));
    }
    std::shuffle(offers.begin(), offers.end(), gen);
    if (offers.size() > 4) offers.resize(4);
    extraction_options = std::move(offers);
}

void generate_mission_options() { generate_mission_options(std::random_device("default")()); }

// ---- Mission set-up ----

struct EnemyWeight {
    const char* type;
    int weight;
};

static std::vector<EnemyWeight> enemyWeights(int level, const std::string& race) {
    if (race == "vohmathal") {
        if (level < 5) return {{"Cera", 20}, {"Berserker", 40}};
        if (level <= 9) return {{"Cera", 20}, {"Berserker", 40}, {"Zooid", 30}};
        return {{"Cera", 20}, {"Berserker", 40}, {"Zooid", 30}, {"Abyssal", 10}};
    }
    if (race == "human") {
        if (level < 5) return {{"Scavenger", 20}, {"Marine", 40}};
        return {{"Scavenger", 40}, {"Marine", 50}, {"Tank", 10}};
    }
    return {};
}

std::string pick_unit_for_level(int level, const std::string& race) {
    const std::vector<EnemyWeight> table = enemyWeights(level, race);
    if (table.empty()) {
        rng();
        return "Berserker";
    }
    int total = 0;
    for (const EnemyWeight& entry : table) total += entry.weight;
    const int r = std::uniform_int_distribution<int>(0, total - 1)(rng);
    int sum = 0;
    for (const EnemyWeight& entry : table) {
        sum += entry.weight;
        if (sum > r) return entry.type;
    }
    return table.back().type;
}

// Free sub-tiles on walkable tiles more than 20 tiles from start, row by row, shuffled with rng.
static std::vector<V2i> spawnCandidates(V2i start) {
    std::vector<V2i> candidates;
    for (int y = 0; y < SUB_MAP_H; ++y)
        for (int x = 0; x < SUB_MAP_W; ++x) {
            const V2i p{x, y};
            if (distance(start, {x / SUBDIVISIONS, y / SUBDIVISIONS}) > 20.0f && isClearSubTile(p))
                candidates.push_back(p);
        }
    if (candidates.empty()) std::cout << "ERROR: No valid spawn points found!\n";
    std::shuffle(candidates.begin(), candidates.end(), rng);
    return candidates;
}

static SDL_FPoint subTilePoint(V2i p) {
    const float s = static_cast<float>(SUBDIVISIONS);
    return {static_cast<float>(p.x) / s, static_cast<float>(p.y) / s};
}

// Sets an enemy's level; its bonuses count twice, as the generated forces always have.
static void raiseEnemy(Unit& unit, int level, int xp) {
    unit.level = level;
    applyEveryLevelBonuses(unit);
    if (level >= 2) {
        unit.maxHp += 10.0f * static_cast<float>(level - 1);
        unit.hp = unit.maxHp;
        unit.damage += 2 * (level - 1);
    }
    unit.expGain = xp;
}

// One member of an enemy group near centre; the experience base it costs the budget, 0 when skipped.
static int placeEnemyMember(int level, const std::string& race, V2i centre, int budget) {
    const std::string type = pick_unit_for_level(level, race);
    const UnitInfo* info = getUnitInfo(type);
    if (!info) {
        std::cerr << "[UnitInfo] Unknown unit type: " << type << "\n";
        return 0;
    }
    const int xpLevel = std::min(global_extraction_level / 3 + 1, 100);
    const int xp = calculate_enemy_xp_gain(type, xpLevel);
    if (xp > budget) return 0;
    const int r1 = std::rand();
    const int r2 = std::rand();
    const V2i p = find_nearby_clear_tile({centre.x + r1 % 25 - 12, centre.y + r2 % 25 - 12}, 10);
    if (Unit* unit = getUnitById(spawnUnitAt(type, Player::aiId, subTilePoint(p)))) {
        const int r3 = std::rand();
        unit->wanderTimer = static_cast<float>(r3 % 600) / 100.0f;
        raiseEnemy(*unit, xpLevel, xp);
    }
    return info->expGain;
}

void generate_elimination_extraction_enemies(int level, V2i start) {
    const ExtractionNode* node = chosenExtractionNode();
    if (!node || node->type != static_cast<int32_t>(ExtractionType::ELIMINATION)) return;
    const std::string race = node->enemyRace;
    int budget = node->danger;
    std::vector<V2i> candidates = spawnCandidates(start);
    if (candidates.empty() || budget < 1) return;
    const int maxGroup = std::min(level / 2 + 3, 8);
    for (;;) {
        const V2i centre = candidates.back();
        const int groupSize = std::rand() % maxGroup + 1;
        for (int i = 0; i < groupSize; ++i) budget -= placeEnemyMember(level, race, centre, budget);
        if (candidates.size() <= 5 || budget <= 0) return;
        candidates.resize(candidates.size() - 6);
        if (candidates.empty()) return;
    }
}

static int civilianGroupSize() {
    const int q = std::rand() % 100;
    return q <= 59 ? 2 : q <= 89 ? 3 : 4;
}

void generate_civilians(V2i start) {
    if (std::rand() % 100 > 29) {
        std::cout << "GENERATE CIVILIANS: Failed 30% spawn roll. Skipping.\n";
        return;
    }
    std::cout << "GENERATE CIVILIANS: Passed 30% roll! Spawning civilians...\n";
    std::vector<V2i> candidates = spawnCandidates(start);
    const size_t groups = std::min<size_t>(candidates.size(), 2);
    // A second group only while candidates remain after the first took its eleven.
    for (size_t g = 0; g < groups && !candidates.empty(); ++g) {
        const V2i centre = candidates.back();
        const int size = civilianGroupSize();
        for (int i = 0; i < size; ++i) {
            const int r2 = std::rand();
            const int r3 = std::rand();
            const V2i p = find_nearby_clear_tile({centre.x + r2 % 13 - 6, centre.y + r3 % 13 - 6}, 5);
            const int id = spawnUnitAt("Civilian", Player::environmentId, subTilePoint(p));
            if (id >= 0) neutralCivilianIds.push_back(id);
        }
        candidates.resize(candidates.size() - std::min<size_t>(candidates.size(), 11));
    }
}

static void placeMissionContent() {
    const ExtractionNode* node = chosenExtractionNode();
    const Player* local = getPlayerById(Player::myStaticId);
    if (!node || !local) return;
    const V2i start = local->baseTile;
    if (node->type == static_cast<int32_t>(ExtractionType::ELIMINATION)) {
        generate_elimination_extraction_enemies(global_extraction_level, start);
        generate_civilians(start);
    } else if (node->type == static_cast<int32_t>(ExtractionType::SURVIVAL)) {
        Player* ai = getPlayerById(Player::aiId);
        if (ai) ai->ai = std::make_unique<WaveAI>();
        units_per_wave = 4.0f;
        generate_civilians(start);
    }
}

void init_extraction_state() {
    placeMissionContent();
    // A fresh, empty extraction dialog in the bottom-right corner, for init_extract_modal to fill.
    const SDL_FPoint corner = extractPanelCorner();
    extract_modal_units_label = nullptr;
    extract_modal = Modal(corner.x, corner.y, 270.0f, 50.0f, {10, 10, 10, 240}, {160, 110, 40, 255});
}

void placeExtractionMission(Grid& world, V2i rosterTile) {
    init_extraction_state();
    init_extract_modal();
    spawn_roster(world, rosterTile.x, rosterTile.y, Player::myStaticId);
    spawnCritters(world);
}
