// Checks the shipped content pack (configuration, race catalogues, maps, Extraction files) against the loaders' rules.
#include <gtest/gtest.h>

#include <functional>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "config.h"
#include "configuration_snapshot.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string ROOT = std::string(CORVALE_SOURCE_DIR) + "/";
const std::string RACES = ROOT + "core/data/races/";
const std::vector<std::string> PLAYABLE = {"human", "vohmathal"};
const std::vector<std::string> RACE_FILES = {
    "race.json",        "cursors.json",           "units.json",        "sprites.json",
    "buildings.json",   "buildings_sprites.json", "building_units.json", "unit_requirements.json",
    "upgrades.json",    "hotkeys.json",           "sounds.json",       "spells.json",
    "projectiles.json", "building_requirements.json", "tech.json"};
const std::vector<std::string> GLOBAL_FILES = {"global.json",           "tiles_sprites.json",
                                               "map_objects.json",      "map_objects_sprites.json",
                                               "decorations_sprites.json", "effects_sprites.json",
                                               "items.json"};
const std::set<std::string> EFFECTS = {
    "bloodlust",    "death_and_decay", "unholy_armor", "haste",       "death_coil",   "touch_of_darkness",
    "slow",         "invisibility",    "polymorph",    "blizzard",    "whirlwind",    "flame_shield",
    "healing",      "fire_ball",       "holy_vision",  "eye_of_vorthane", "demolition", "seeing_red",
    "freezing_bullets", "bombing",     "artillery_fire", "latched_mine", "abyssal_teleport"};
const std::vector<std::string> SPELL_DAMAGE_ROWS = {"Blizzard",    "DeathAndDecay", "Whirlwind",  "Bombing",
                                                    "ArtilleryFire", "FlameShield", "OrcDemolish"};
json readJson(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot open " + path);
    return json::parse(in);  // whole-document parse: trailing garbage or comments fail too
}

std::string joinNames(const std::vector<std::string>& v) {
    std::string out;
    for (const auto& s : v) out += (out.empty() ? "" : ", ") + s;
    return out;
}

// ---------------------------------------------------------------- the pack, loaded once

struct Pack {
    std::map<std::string, std::map<std::string, json>> race;  // folder -> file -> document
    std::map<std::string, json> global;
    json units = json::object();        // merged over the race folders, as the loaders merge them
    json sprites = json::object();
    json buildings = json::object();
    json buildingSprites = json::object();
    json spells = json::object();
    json projectiles = json::object();
    std::vector<std::string> loadErrors;

    Pack() {
        for (const auto& r : PLAYABLE) {
            for (const auto& f : RACE_FILES) load(RACES + r + "/" + f, race[r][f]);
            mergeInto(units, race[r]["units.json"]);
            mergeInto(sprites, race[r]["sprites.json"]);
            mergeInto(buildings, race[r]["buildings.json"]);
            mergeInto(buildingSprites, race[r]["buildings_sprites.json"]);
            mergeInto(spells, race[r]["spells.json"]);
            mergeInto(projectiles, race[r]["projectiles.json"]);
        }
        for (const auto& f : GLOBAL_FILES) load(RACES + "global/" + f, global[f]);
    }

    void load(const std::string& path, json& into) {
        try {
            into = readJson(path);
        } catch (const std::exception& e) {
            loadErrors.push_back(path + ": " + e.what());
            into = json::object();
        }
    }

    static void mergeInto(json& all, const json& part) {
        if (part.is_object()) all.update(part);
    }

    std::vector<std::string> upgradeIds() const {
        std::vector<std::string> out;
        for (const auto& r : PLAYABLE)
            for (const auto& u : race.at(r).at("upgrades.json").value("upgrades", json::array()))
                out.push_back(u.at("id").get<std::string>());
        return out;
    }
};

const Pack& pack() {
    static const Pack p;
    return p;
}

bool startsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }
bool endsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// ---------------------------------------------------------------- files and races

TEST(ContentFiles, EveryRaceFolderAndTheSharedFolderParseAsStrictJson) {
    const Pack& p = pack();
    EXPECT_TRUE(p.loadErrors.empty()) << joinNames(p.loadErrors);
    for (const auto& r : PLAYABLE)
        for (const auto& f : RACE_FILES) EXPECT_TRUE(fs::is_regular_file(RACES + r + "/" + f)) << r << "/" << f;
    for (const auto& f : GLOBAL_FILES) EXPECT_TRUE(fs::is_regular_file(RACES + "global/" + f)) << f;
    EXPECT_FALSE(fs::exists(RACES + "global/race.json")) << "the shared folder would become a race";
    for (const auto& entry : fs::directory_iterator(RACES)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "global" || name == "human" || name == "vohmathal") << "unexpected race folder " << name;
    }
}

TEST(RaceCatalogue, RaceRecordsMakeTheComputerPlayersBuildingNamesReal) {
    const Pack& p = pack();
    for (const auto& r : PLAYABLE) {
        const json& race = p.race.at(r).at("race.json");
        ASSERT_TRUE(race.at("name").is_string());
        EXPECT_EQ(race.at("name"), r);
        const std::string display = race.value("displayName", r);
        const json& own = p.race.at(r).at("buildings.json");
        for (const char* suffix : {"Camp", "Command", "Barracks"})
            EXPECT_TRUE(own.contains(display + suffix)) << r << " lacks " << display + suffix;
        EXPECT_TRUE(own.at(display + "Camp").value("supply", false)) << r;
        EXPECT_TRUE(own.at(display + "Command").value("base", false)) << r << ": the start building trains workers";
        const std::string army = r == "human" ? "Marine" : "Berserker";
        const json& trains = p.race.at(r).at("building_units.json");
        EXPECT_NE(std::find(trains.at(display + "Barracks").begin(), trains.at(display + "Barracks").end(), army),
                  trains.at(display + "Barracks").end())
            << r << " barracks must train " << army;
        const auto& cursors = p.race.at(r).at("cursors.json");
        EXPECT_TRUE(cursors.contains(race.value("cursor", "default"))) << r;
        for (const auto& list : {"unitTypes", "buildingTypes"})
            for (const auto& t : race.value(list, json::array())) EXPECT_TRUE(t.is_string());
    }
}

// ---------------------------------------------------------------- buildings, production, research

TEST(UpgradeCatalogue, EveryUpgradeIsOfferedAndResearchable) {
    const Pack& p = pack();
    const std::set<std::string> categories = {"Ground", "Air", "Naval"};
    std::set<std::string> ids;
    for (const auto& r : PLAYABLE) {
        const json& doc = p.race.at(r).at("upgrades.json");
        ASSERT_TRUE(doc.contains("upgradeRequirements"));
        std::set<std::string> rows;
        for (const auto& row : doc.at("upgradeRequirements")) {
            rows.insert(row.at("id").get<std::string>());
            EXPECT_TRUE(row.value("tier", 1) >= 0);
        }
        for (const auto& u : doc.at("upgrades")) {
            const std::string id = u.at("id").get<std::string>();
            EXPECT_TRUE(ids.insert(id).second) << "the first definition of " << id << " would win";
            for (const char* k : {"bonus", "time", "woodCost", "goldCost"}) EXPECT_TRUE(u.at(k).is_number()) << id;
            for (const char* k : {"type", "category", "name", "texture"}) EXPECT_TRUE(u.at(k).is_string()) << id;
            EXPECT_TRUE(categories.count(u.at("category").get<std::string>())) << id;
            EXPECT_TRUE(rows.count(id)) << id << " has no requirement row and can never be researched";
            ASSERT_FALSE(u.at("buildings").empty()) << id;
            for (const auto& b : u.at("buildings")) EXPECT_TRUE(p.buildings.contains(b.get<std::string>())) << id;
            for (const auto& n : u.value("unitNames", json::array())) EXPECT_TRUE(p.units.contains(n.get<std::string>())) << id;
            if (u.at("type") == "Tier") {
                ASSERT_TRUE(u.contains("transformTo")) << id;
                EXPECT_TRUE(p.buildings.contains(u.at("transformTo").get<std::string>())) << id;
                EXPECT_TRUE(p.buildingSprites.contains(id)) << id << " switches the look to its own sprite";
            }
        }
        for (const auto& row : doc.at("upgradeRequirements"))
            for (const auto& need : row.value("requires", json::array()))
                EXPECT_TRUE(ids.count(need.get<std::string>())) << row.at("id") << " requires " << need;
    }
    for (const char* id : {"OrcStronghold", "OrcFortress"}) EXPECT_TRUE(ids.count(id)) << id;
}

TEST(SpellCatalogue, EverySpellBindsOneOfTheTwentyThreeEffectsToACaster) {
    const Pack& p = pack();
    const std::set<std::string> targets = {"Unit", "Point", "Area", "Self"};
    const auto upgrades = p.upgradeIds();
    std::set<std::string> used;
    for (auto it = p.spells.begin(); it != p.spells.end(); ++it) {
        const json& s = it.value();
        ASSERT_TRUE(s.at("id").is_string() && s.at("name").is_string()) << it.key();
        const std::string effect = s.at("effect").get<std::string>();
        EXPECT_TRUE(EFFECTS.count(effect)) << it.key() << " binds the do-nothing fallback";
        used.insert(effect);
        EXPECT_TRUE(targets.count(s.at("targetType").get<std::string>())) << it.key();
        EXPECT_TRUE(s.at("cooldown").is_number_integer()) << it.key() << ": cooldowns are whole seconds";
        EXPECT_TRUE(s.at("range").is_number_integer()) << it.key();
        EXPECT_TRUE(s.at("damage").is_number_integer()) << it.key();
        ASSERT_TRUE(p.units.contains(s.at("caster").get<std::string>())) << it.key();
        EXPECT_TRUE(s.at("portrait").is_string()) << it.key() << " would get no button";
        if (s.value("requiresUpgrade", false)) {
            EXPECT_NE(std::find(upgrades.begin(), upgrades.end(), it.key()), upgrades.end()) << it.key();
        }
    }
    EXPECT_EQ(used, EFFECTS) << "every effect needs a spell";
    for (const char* k : {"SeeingRed", "FreezingBullets"}) EXPECT_EQ(p.spells.at(k).at("targetType"), "Self") << k;
    for (const char* k : {"LatchedMine", "AbyssalTeleport"}) EXPECT_TRUE(p.spells.contains(k)) << k;
    EXPECT_EQ(p.spells.at("AbyssalTeleport").at("caster"), "Abyssal");
    for (const auto& k : SPELL_DAMAGE_ROWS) EXPECT_TRUE(p.spells.contains(k)) << k << " is looked up without fallback";
    for (const char* k : {"Blizzard", "DeathAndDecay", "Whirlwind", "FlameShield", "AbyssalTeleport"})
        EXPECT_TRUE(p.spells.at(k).contains("texture")) << k << " is drawn from its texture";
}

// ---------------------------------------------------------------- shared folder and asset paths

TEST(SharedCatalogue, MapObjectKindsEffectsTilesAndItemsAreComplete) {
    const Pack& p = pack();
    const json& objects = p.global.at("map_objects.json");
    const json& objectSprites = p.global.at("map_objects_sprites.json");
    for (const char* k : {"Crystal", "AmberOil", "Tree", "StartingBase", "ExtractionPoint"})
        EXPECT_TRUE(objects.contains(k)) << k;
    for (auto it = objects.begin(); it != objects.end(); ++it) {
        EXPECT_TRUE(objectSprites.contains(it.key())) << it.key();
        EXPECT_TRUE(it.value().value("harvestable", false) == (it.value().value("maxCapacity", 0) > 0)) << it.key();
    }
    for (auto it = objectSprites.begin(); it != objectSprites.end(); ++it) {
        EXPECT_TRUE(objects.contains(it.key())) << it.key() << " is listed by the editor but cannot be placed";
        EXPECT_GT(it.value().at("animation").at("frameWidth").get<int>(), 0) << it.key();
        EXPECT_GT(it.value().at("animation").at("frameHeight").get<int>(), 0) << it.key();
    }
    EXPECT_TRUE(objects.at("Crystal").value("harvestable", false));
    EXPECT_TRUE(objects.at("AmberOil").value("harvestable", false));

    const std::set<std::string> tileNames = {"Grass", "Drygrass", "Mud", "Water", "Rock", "Wall", "Shore"};
    for (auto it = p.global.at("tiles_sprites.json").begin(); it != p.global.at("tiles_sprites.json").end(); ++it)
        EXPECT_TRUE(tileNames.count(it.key())) << it.key() << " would paint type None";

    std::set<std::string> items;
    for (const auto& item : p.global.at("items.json").at("items")) {
        for (const char* k : {"name", "displayName", "description"}) EXPECT_TRUE(item.at(k).is_string());
        for (const char* k : {"frameWidth", "frameHeight"}) EXPECT_GT(item.at(k).get<int>(), 0);
        items.insert(item.at("name").get<std::string>());
    }
    EXPECT_TRUE(items.count("Corpse"));
    EXPECT_TRUE(items.count("CryoPod"));

    const json& g = p.global.at("global.json");
    EXPECT_FALSE(g.at("MainMenuMusic").empty());
    EXPECT_TRUE(g.at("MainMenuBackground").is_string());
}

TEST(AssetPaths, EveryImageAndSoundLiesUnderTheAssetFolder) {
    const Pack& p = pack();
    int seen = 0;
    std::function<void(const json&, const std::string&)> walk = [&](const json& j, const std::string& where) {
        if (j.is_object()) {
            for (auto it = j.begin(); it != j.end(); ++it) walk(it.value(), where + "." + it.key());
        } else if (j.is_array()) {
            for (const auto& e : j) walk(e, where);
        } else if (j.is_string()) {
            const std::string s = j.get<std::string>();
            if (!endsWith(s, ".png") && !endsWith(s, ".wav") && !endsWith(s, ".ogg")) {
                EXPECT_EQ(s.find('/'), std::string::npos) << where << ": " << s << " looks like a path";
                return;
            }
            ++seen;
            EXPECT_TRUE(startsWith(s, "core/assets/")) << where << ": " << s;
            EXPECT_EQ(s.find(".."), std::string::npos) << where;
        }
    };
    for (const auto& r : PLAYABLE)
        for (const auto& [file, doc] : p.race.at(r)) walk(doc, r + "/" + file);
    for (const auto& [file, doc] : p.global) walk(doc, "global/" + file);
    EXPECT_GT(seen, 0);
}

// The art is generated from these declarations, so one image path must never be cut two ways.
TEST(AssetPaths, EveryImageIsCutOneWay) {
    const Pack& p = pack();
    std::map<std::string, std::string> layouts;
    std::vector<std::string> clashes;
    auto declare = [&](const std::string& path, const std::string& layout) {
        auto [it, fresh] = layouts.emplace(path, layout);
        if (!fresh && it->second != layout) clashes.push_back(path + ": " + it->second + " / " + layout);
    };
    auto frame = [](const json& a, const char* w, const char* h) {
        return std::to_string(a.at(w).get<int>()) + "x" + std::to_string(a.at(h).get<int>());
    };
    for (auto it = p.sprites.begin(); it != p.sprites.end(); ++it) {
        const json& s = it.value();
        const int rows = s.at("numFrames").get<int>() + s.at("attackFrames").get<int>() + 1;
        declare(s.at("sprite"), "unit sheet 5 x " + std::to_string(rows) + " of " + frame(s, "frameWidth", "frameHeight"));
        declare(s.at("portrait"), "whole");
    }
    for (auto it = p.buildingSprites.begin(); it != p.buildingSprites.end(); ++it) {
        const json& a = it.value().at("animation");
        const std::string strip = "row of " + std::to_string(a.at("frameCount").get<int>()) + " x " +
                                  frame(a, "frameWidth", "frameHeight");
        declare(it.value().at("sprite"), strip);
        declare(it.value().at("constructionSprite"), strip);
    }
    for (const char* file : {"map_objects_sprites.json", "effects_sprites.json", "decorations_sprites.json"}) {
        const json& doc = p.global.at(file);
        for (auto it = doc.begin(); it != doc.end(); ++it) {
            const json& a = it.value().at("animation");
            declare(it.value().at("sprite"), "column of " + std::to_string(a.at("frameCount").get<int>()) + " x " +
                                                 frame(a, "frameWidth", "frameHeight"));
        }
    }
    for (auto it = p.projectiles.begin(); it != p.projectiles.end(); ++it) {
        const json& pr = it.value();
        declare(pr.at("texture"), "5 x " + std::to_string(pr.at("totalFrames").get<int>()) + " of " +
                                      frame(pr, "frameWidth", "frameHeight"));
        declare(pr.at("hit").at("texture"), "row of " + std::to_string(pr.at("hit").at("totalFrames").get<int>()) +
                                                " x " + frame(pr.at("hit"), "frameWidth", "frameHeight"));
    }
    EXPECT_TRUE(clashes.empty()) << joinNames(clashes);
    EXPECT_GT(layouts.size(), 0u);
}

// ---------------------------------------------------------------- configuration

// The game's own reader takes the file, so every key is present and within its bounds.
TEST(ShippedConfig, LoadsWithinEveryBoundAndNamesAShippedMap) {
    const std::string path = ROOT + "src/config.txt";
    EXPECT_EQ(readWholeFile(path).find('\r'), std::string::npos) << "a carriage return turns every flag false";
    const auto before = valuesOf(everyConfigurationValue());
    ASSERT_NO_THROW(loadConfig(path));
    EXPECT_EQ(TILE_SIZE, 140);
    EXPECT_TRUE(AI);
    EXPECT_TRUE(FOG);
    EXPECT_GE(HUD_SIZE, 180.0f) << "the Tier research row sits at the panel top + 130";
    EXPECT_FALSE(VERSION.empty());
    EXPECT_TRUE(fs::is_regular_file(ROOT + "maps/" + MAP_FILE + ".map")) << MAP_FILE;
    everyConfigurationValue() = before;
}

// ---------------------------------------------------------------- maps

struct MapObjectLine {
    std::string type;
    int x = 0, y = 0, w = 0, h = 0;
};

struct ShippedMap {
    std::string name;
    std::vector<std::string> terrain, height;
    std::vector<MapObjectLine> objects;
    std::vector<std::vector<std::string>> decorations;
    std::vector<std::string> faults;
    int w() const { return terrain.empty() ? 0 : static_cast<int>(terrain[0].size()); }
    int h() const { return static_cast<int>(terrain.size()); }
    char heightAt(int x, int y) const {
        return y < static_cast<int>(height.size()) && x < static_cast<int>(height[y].size()) ? height[y][x] : '0';
    }
    int level(int x, int y) const {
        const char c = heightAt(x, y);
        return c == 'R' ? 1 : (c >= '0' && c <= '9' ? c - '0' : 0);
    }
    int count(const std::string& type) const {
        int n = 0;
        for (const auto& o : objects) n += o.type == type;
        return n;
    }
};

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream ss(line);
    std::string f;
    while (std::getline(ss, f, ',')) out.push_back(f);
    return out;
}

bool isNumber(const std::string& s) {
    return !s.empty() && s.find_first_not_of("-0123456789") == std::string::npos && s != "-";
}

ShippedMap readShippedMap(const std::string& name) {
    ShippedMap m;
    m.name = name;
    std::ifstream in(ROOT + "maps/" + name + ".map", std::ios::binary);
    std::string line;
    std::string section = "terrain";
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') m.faults.push_back("carriage return");
        if (line.empty() || line[0] == '#') continue;
        if (line == "[Height]" || line == "[Objects]" || line == "[Decorations]") {
            section = line;
            continue;
        }
        if (section == "terrain") {
            m.terrain.push_back(line);
        } else if (section == "[Height]") {
            m.height.push_back(line);
        } else if (section == "[Objects]") {
            auto f = splitFields(line);
            if (f.size() != 5 || !isNumber(f[1]) || !isNumber(f[2]) || !isNumber(f[3]) || !isNumber(f[4])) {
                m.faults.push_back("object line " + line);
                continue;
            }
            m.objects.push_back({f[0], std::stoi(f[1]), std::stoi(f[2]), std::stoi(f[3]), std::stoi(f[4])});
        } else {
            auto f = splitFields(line);
            if (f.size() != 5 || !isNumber(f[1]) || !isNumber(f[2]) || !isNumber(f[3]) || !isNumber(f[4]))
                m.faults.push_back("decoration line " + line);
            else
                m.decorations.push_back(f);
        }
    }
    return m;
}

std::vector<std::string> shippedMapNames() {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(ROOT + "maps"))
        if (e.path().extension() == ".map") out.push_back(e.path().stem().string());
    std::sort(out.begin(), out.end());
    return out;
}

// Tiles a ground unit can reach from a start, by the path search's height rule (same level or a ramp on either side).
std::set<std::pair<int, int>> reachableTiles(const ShippedMap& m, int sx, int sy) {
    std::vector<std::vector<bool>> blocked(m.h(), std::vector<bool>(m.w(), false));
    for (int y = 0; y < m.h(); ++y)
        for (int x = 0; x < m.w(); ++x) blocked[y][x] = m.terrain[y][x] == 'W';
    for (const auto& o : m.objects) {
        if (o.type == "ExtractionPoint") continue;
        for (int y = o.y; y < o.y + o.h && y < m.h(); ++y)
            for (int x = o.x; x < o.x + o.w && x < m.w(); ++x) blocked[y][x] = true;
    }
    std::set<std::pair<int, int>> seen{{sx, sy}};
    std::deque<std::pair<int, int>> queue{{sx, sy}};
    while (!queue.empty()) {
        auto [x, y] = queue.front();
        queue.pop_front();
        const int dirs[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
        for (const auto& d : dirs) {
            const int nx = x + d[0], ny = y + d[1];
            if (nx < 0 || ny < 0 || nx >= m.w() || ny >= m.h() || blocked[ny][nx] || seen.count({nx, ny})) continue;
            const bool crossing = m.level(x, y) == m.level(nx, ny) || m.heightAt(x, y) == 'R' || m.heightAt(nx, ny) == 'R';
            if (!crossing) continue;
            seen.insert({nx, ny});
            queue.push_back({nx, ny});
        }
    }
    return seen;
}

bool ringReached(const std::set<std::pair<int, int>>& seen, const MapObjectLine& o) {
    for (int y = o.y - 1; y <= o.y + o.h; ++y)
        for (int x = o.x - 1; x <= o.x + o.w; ++x)
            if (seen.count({x, y})) return true;
    return false;
}

TEST(ShippedMaps, EveryMapIsWellFormedAndUsesCataloguedNames) {
    const Pack& p = pack();
    const json& objects = p.global.at("map_objects.json");
    const json& objectSprites = p.global.at("map_objects_sprites.json");
    const json& decorations = p.global.at("decorations_sprites.json");
    const auto names = shippedMapNames();
    ASSERT_FALSE(names.empty());
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        const ShippedMap m = readShippedMap(name);
        EXPECT_TRUE(m.faults.empty()) << joinNames(m.faults);
        ASSERT_GT(m.h(), 0);
        EXPECT_NE(m.terrain[0].rfind("\xEF\xBB\xBF", 0), 0u) << "a byte-order mark widens the first row";
        for (size_t y = 0; y < m.terrain.size(); ++y) {
            EXPECT_EQ(static_cast<int>(m.terrain[y].size()), m.w()) << "terrain row " << y + 1;
            EXPECT_EQ(m.terrain[y].find_first_not_of("G.DMRW"), std::string::npos) << "terrain row " << y + 1;
        }
        ASSERT_EQ(m.height.size(), m.terrain.size());
        for (const auto& row : m.height) {
            EXPECT_EQ(static_cast<int>(row.size()), m.w());
            EXPECT_EQ(row.find_first_not_of("0123456789R"), std::string::npos);
        }
        EXPECT_GE(m.count("StartingBase"), 2);
        std::vector<std::vector<int>> owner(m.h(), std::vector<int>(m.w(), -1));
        for (size_t i = 0; i < m.objects.size(); ++i) {
            const auto& o = m.objects[i];
            ASSERT_TRUE(objects.contains(o.type) && objectSprites.contains(o.type)) << o.type << " crashes the load";
            EXPECT_EQ(o.w, objects.at(o.type).value("wTiles", 1)) << o.type;
            EXPECT_EQ(o.h, objects.at(o.type).value("hTiles", 1)) << o.type;
            ASSERT_TRUE(o.x >= 0 && o.y >= 0 && o.x + o.w <= m.w() && o.y + o.h <= m.h()) << o.type << " off the map";
            for (int y = o.y; y < o.y + o.h; ++y)
                for (int x = o.x; x < o.x + o.w; ++x) {
                    EXPECT_NE(m.terrain[y][x], 'W') << o.type << " in water at " << x << "," << y;
                    EXPECT_EQ(owner[y][x], -1) << o.type << " overlaps another object at " << x << "," << y;
                    owner[y][x] = static_cast<int>(i);
                }
        }
        for (const auto& d : m.decorations) {
            EXPECT_TRUE(decorations.contains(d[0])) << d[0];
            const int x = std::stoi(d[1]), y = std::stoi(d[2]);
            EXPECT_TRUE(x >= 0 && y >= 0 && x < m.w() && y < m.h()) << d[0];
        }
    }
}

TEST(ShippedMaps, SkirmishMapsGiveEveryStartResourcesAndAWayToTheOthers) {
    const auto names = shippedMapNames();
    for (const char* required : {"fight", "murky_river"})
        EXPECT_NE(std::find(names.begin(), names.end(), required), names.end()) << required;
    bool large = false;
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        const ShippedMap m = readShippedMap(name);
        large |= m.w() >= 128 && m.h() >= 128;
        std::vector<MapObjectLine> bases;
        for (const auto& o : m.objects)
            if (o.type == "StartingBase") bases.push_back(o);
        ASSERT_FALSE(bases.empty());
        const auto seen = reachableTiles(m, bases[0].x + 1, bases[0].y + bases[0].h);
        for (const auto& o : m.objects)
            if (o.type == "StartingBase" || o.type == "Crystal" || o.type == "AmberOil" || o.type == "ExtractionPoint") {
                EXPECT_TRUE(ringReached(seen, o)) << o.type << " at " << o.x << "," << o.y << " is cut off";
            }
        for (const auto& b : bases) {
            for (const char* kind : {"Crystal", "AmberOil"}) {
                bool near = false;
                for (const auto& o : m.objects)
                    near |= o.type == kind && std::abs(o.x - b.x) <= 12 && std::abs(o.y - b.y) <= 12;
                EXPECT_TRUE(near) << "no " << kind << " near the start at " << b.x << "," << b.y;
            }
            // The start stands flat and its three workers appear on open ground below it.
            for (int y = b.y; y <= b.y + b.h; ++y)
                for (int x = b.x - 1; x <= b.x + b.w; ++x) {
                    ASSERT_TRUE(x >= 0 && y < m.h() && x < m.w());
                    EXPECT_EQ(m.level(x, y), m.level(b.x, b.y)) << "start at " << b.x << "," << b.y;
                    EXPECT_NE(m.terrain[y][x], 'W');
                }
        }
        bool ramp = false;
        for (int y = 0; y < m.h(); ++y)
            for (int x = 0; x < m.w(); ++x) ramp |= m.heightAt(x, y) == 'R';
        EXPECT_TRUE(ramp) << "every map has high ground with a ramp";
    }
    EXPECT_TRUE(large) << "a map of at least 128 by 128 tiles serves benchmarks";
    const ShippedMap fight = readShippedMap("fight");
    EXPECT_GE(fight.w(), 64);
    EXPECT_GE(fight.h(), 64);
    EXPECT_GT(fight.count("Tree"), 0);
    int water = 0;
    for (const auto& row : fight.terrain) water += static_cast<int>(std::count(row.begin(), row.end(), 'W'));
    EXPECT_GT(water, 20) << "fight has a lake";
}

TEST(ExtractionFiles, NameShippedMapsWithExactlyOneExtractionPoint) {
    const std::string dir = ROOT + "core/data/extractions/";
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        EXPECT_EQ(e.path().extension(), ".json") << e.path() << " is skipped by the picker";
        if (e.path().extension() != ".json") continue;
        ++files;
        SCOPED_TRACE(e.path().filename().string());
        const json doc = readJson(e.path().string());
        ASSERT_TRUE(doc.at("name").is_string() && doc.at("map").is_string());
        ASSERT_TRUE(doc.at("mapWidth").is_number() && doc.at("mapHeight").is_number());
        const std::string map = doc.at("map");
        ASSERT_TRUE(fs::is_regular_file(ROOT + "maps/" + map + ".map")) << map;
        const ShippedMap m = readShippedMap(map);
        EXPECT_EQ(doc.at("mapWidth").get<int>(), m.w());
        EXPECT_EQ(doc.at("mapHeight").get<int>(), m.h());
        EXPECT_EQ(m.count("ExtractionPoint"), 1);
        EXPECT_EQ(m.count("StartingBase"), 2) << "one start for the player, one for the computer player";
        EXPECT_GE(std::min(m.w(), m.h()), 45) << "enemies are placed more than 20 tiles from the start";
        for (const auto& o : m.objects)
            if (o.type == "StartingBase") {
                EXPECT_LT(o.y + o.h + 3, m.h()) << "the roster appears 3 rows below";
            }
    }
    EXPECT_GE(files, 4) << "the map picker offers four missions";
}

}  // namespace
