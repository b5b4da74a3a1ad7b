// Reads the content data and lists every file to generate, with what each one should show.
#include "plan.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "tiles.h"

namespace fs = std::filesystem;
using nlohmann::json;

const char* const kFontPath = "core/assets/global/fonts/JetBrainsMonoNerdFont-Bold.ttf";
const char* const kRootMarkerPath = "core/tiles/dash.png";

namespace {

bool endsWith(const std::string& s, const char* suffix) {
    std::string t(suffix);
    if (s.size() < t.size()) return false;
    return std::equal(t.rbegin(), t.rend(), s.rbegin(), [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

struct Catalogue {
    std::string folder;
    json doc;
};

struct Data {
    std::vector<std::string> folders;  // race folders, sorted, "global" last as the loading chain reads it
    std::map<std::string, std::map<std::string, json>> files;  // folder -> file name -> document
    std::map<std::string, Catalogue> units, buildings;         // type -> record and its folder
    json mapObjects;
};

json readJson(const fs::path& p, Plan& plan) {
    std::ifstream in(p);
    if (!in) return json();
    try {
        return json::parse(in);
    } catch (const std::exception& e) {
        plan.warnings.push_back(p.string() + ": " + e.what());
        return json();
    }
}

const json& member(const json& doc, const char* key) {
    static const json none;
    if (!doc.is_object()) return none;
    auto it = doc.find(key);
    return it == doc.end() ? none : *it;
}

std::string text(const json& doc, const char* key) {
    const json& v = member(doc, key);
    return v.is_string() ? v.get<std::string>() : std::string();
}

Data loadData(const std::string& dataRoot, Plan& plan) {
    Data d;
    fs::path races = fs::path(dataRoot) / "core" / "data" / "races";
    std::error_code ec;
    if (fs::is_directory(races, ec)) {
        for (const auto& e : fs::directory_iterator(races, ec))
            if (e.is_directory()) d.folders.push_back(e.path().filename().string());
    }
    std::sort(d.folders.begin(), d.folders.end(), [](const std::string& a, const std::string& b) {
        if ((a == "global") != (b == "global")) return b == "global";
        return a < b;
    });
    for (const std::string& f : d.folders) {
        for (const auto& e : fs::directory_iterator(races / f, ec)) {
            if (!e.is_regular_file() || e.path().extension() != ".json") continue;
            d.files[f][e.path().filename().string()] = readJson(e.path(), plan);
        }
        const json& units = d.files[f]["units.json"];
        if (units.is_object())
            for (auto it = units.begin(); it != units.end(); ++it) d.units[it.key()] = {f, it.value()};
        const json& buildings = d.files[f]["buildings.json"];
        if (buildings.is_object())
            for (auto it = buildings.begin(); it != buildings.end(); ++it) d.buildings[it.key()] = {f, it.value()};
    }
    d.mapObjects = d.files["global"]["map_objects.json"];
    return d;
}

void claim(Plan& plan, Job job) {
    if (job.path.empty()) return;
    if (!isSafeAssetPath(job.path)) {
        plan.warnings.push_back("unsafe asset path skipped: " + job.path);
        return;
    }
    auto it = plan.jobs.find(job.path);
    if (it != plan.jobs.end()) {
        // A palette tile may name a fixed terrain file; that is the same picture, not a clash.
        bool sharedTile = it->second.kind == AssetKind::Fixed && job.kind == AssetKind::TerrainTile;
        if (it->second.kind != job.kind && !sharedTile)
            plan.warnings.push_back(job.path + " is named for two different uses; the first one is drawn");
        return;
    }
    plan.jobs.emplace(job.path, std::move(job));
}

void claimPath(Plan& plan, const json& value, AssetKind kind, const std::string& race, const std::string& name, json meta) {
    if (!value.is_string()) return;
    claim(plan, {value.get<std::string>(), kind, race, name, std::move(meta)});
}

// A sprite key that is not a unit type but starts with one ("ScavengerGold") is that unit carrying a load.
const Catalogue* unitFor(const Data& d, const std::string& key, bool& carrying) {
    carrying = false;
    auto it = d.units.find(key);
    if (it != d.units.end()) return &it->second;
    const Catalogue* best = nullptr;
    size_t bestLen = 0;
    for (const auto& [name, cat] : d.units)
        if (key.size() > name.size() && key.compare(0, name.size(), name) == 0 && name.size() > bestLen) {
            best = &cat;
            bestLen = name.size();
        }
    carrying = best != nullptr;
    return best;
}

void planUnits(Plan& plan, const Data& d, const std::string& folder, const json& doc) {
    if (!doc.is_object()) return;
    for (auto it = doc.begin(); it != doc.end(); ++it) {
        if (!it->is_object()) continue;
        bool carrying = false;
        const Catalogue* unit = unitFor(d, it.key(), carrying);
        json meta = *it;
        meta["info"] = unit ? unit->doc : json();
        meta["carrying"] = carrying;
        std::string race = unit ? unit->folder : folder;
        claimPath(plan, member(*it, "sprite"), AssetKind::UnitSheet, race, it.key(), meta);
        claimPath(plan, member(*it, "portrait"), AssetKind::Portrait, race, it.key(), meta);
    }
}

void planBuildings(Plan& plan, const Data& d, const std::string& folder, const json& doc) {
    if (!doc.is_object()) return;
    for (auto it = doc.begin(); it != doc.end(); ++it) {
        if (!it->is_object()) continue;
        auto info = d.buildings.find(it.key());
        json meta = *it;
        meta["info"] = info == d.buildings.end() ? json() : info->second.doc;
        std::string race = info == d.buildings.end() ? folder : info->second.folder;
        claimPath(plan, member(*it, "sprite"), AssetKind::BuildingSheet, race, it.key(), meta);
        claimPath(plan, member(*it, "constructionSprite"), AssetKind::BuildingConstruction, race, it.key(), meta);
    }
}

void planProjectiles(Plan& plan, const std::string& folder, const json& doc) {
    if (!doc.is_object()) return;
    for (auto it = doc.begin(); it != doc.end(); ++it) {
        if (!it->is_object()) continue;
        claimPath(plan, member(*it, "texture"), AssetKind::ProjectileFlight, folder, it.key(), *it);
        const json& hit = member(*it, "hit");
        if (hit.is_object()) claimPath(plan, member(hit, "texture"), AssetKind::ProjectileHit, folder, it.key(), hit);
    }
}

void planSpells(Plan& plan, const Data& d, const std::string& folder, const json& doc) {
    if (!doc.is_object()) return;
    for (auto it = doc.begin(); it != doc.end(); ++it) {
        if (!it->is_object()) continue;
        json meta = *it;
        meta["iconFor"] = "spell";
        claimPath(plan, member(*it, "portrait"), AssetKind::Icon, folder, it.key(), meta);
        // The teleport texture is cut with the caster's own frame size.
        std::string caster = text(*it, "caster");
        // Later folders replace earlier records, as the loading chain does ("global" last).
        for (const std::string& f : d.folders) {
            const auto& files = d.files.at(f);
            auto sprites = files.find("sprites.json");
            if (sprites != files.end() && sprites->second.is_object() && sprites->second.contains(caster)) meta["casterSprite"] = sprites->second[caster];
        }
        meta["casterRace"] = d.units.count(caster) ? d.units.at(caster).folder : folder;
        claimPath(plan, member(*it, "texture"), AssetKind::SpellTexture, folder, it.key(), meta);
    }
}

void planListIcons(Plan& plan, const std::string& folder, const json& list, const char* idKey, const char* imageKey, const char* iconFor) {
    if (!list.is_array()) return;
    for (const json& e : list) {
        if (!e.is_object()) continue;
        json meta = e;
        meta["iconFor"] = iconFor;
        claimPath(plan, member(e, imageKey), AssetKind::Icon, folder, text(e, idKey), meta);
    }
}

void planItems(Plan& plan, const std::string& folder, const json& doc) {
    const json& items = member(doc, "items");
    if (!items.is_array()) return;
    for (const json& e : items)
        if (e.is_object()) claimPath(plan, member(e, "sprite"), AssetKind::Item, folder, text(e, "name"), e);
}

void planCursors(Plan& plan, const std::string& folder, const json& doc) {
    if (!doc.is_object()) return;
    for (auto it = doc.begin(); it != doc.end(); ++it)
        if (it->is_object()) claimPath(plan, member(*it, "image"), AssetKind::Cursor, folder, it.key(), *it);
}

void planMusicList(Plan& plan, const std::string& folder, const json& list, const std::string& name) {
    if (!list.is_array()) return;
    int index = 0;
    for (const json& p : list) claimPath(plan, p, AssetKind::Music, folder, name, {{"index", index++}});
}

void planSoundEntry(Plan& plan, const std::string& folder, const std::string& category, const std::string& key, const json& value) {
    auto one = [&](const json& p, int variant) {
        claimPath(plan, p, AssetKind::Sound, folder, key, {{"category", category}, {"variant", variant}});
    };
    if (value.is_string()) one(value, 0);
    if (value.is_array()) {
        int v = 0;
        for (const json& p : value) one(p, v++);
    }
}

void planSounds(Plan& plan, const std::string& folder, const json& doc) {
    if (!doc.is_object()) return;
    for (auto it = doc.begin(); it != doc.end(); ++it) {
        if (it.key() == "Music") {
            planMusicList(plan, folder, *it, "Music");
            continue;
        }
        if (!it->is_object()) continue;
        for (auto e = it->begin(); e != it->end(); ++e) {
            if (e->is_object()) {
                for (auto m = e->begin(); m != e->end(); ++m) planSoundEntry(plan, folder, it.key(), e.key() + "." + m.key(), *m);
            } else {
                planSoundEntry(plan, folder, it.key(), e.key(), *e);
            }
        }
    }
}

void planNamedSprites(Plan& plan, const std::string& folder, const json& doc, AssetKind kind, const json& infoDoc) {
    if (!doc.is_object()) return;
    for (auto it = doc.begin(); it != doc.end(); ++it) {
        if (!it->is_object()) continue;
        json meta = *it;
        meta["info"] = member(infoDoc, it.key().c_str());
        claimPath(plan, member(*it, "sprite"), kind, folder, it.key(), meta);
    }
}

void planGlobal(Plan& plan, const std::string& folder, const std::map<std::string, json>& files, const Data& d) {
    auto file = [&](const char* name) -> const json& {
        static const json none;
        auto it = files.find(name);
        return it == files.end() ? none : it->second;
    };
    const json& global = file("global.json");
    claimPath(plan, member(global, "MainMenuBackground"), AssetKind::MenuBackground, folder, "MainMenuBackground", json::object());
    planMusicList(plan, folder, member(global, "MainMenuMusic"), "MainMenuMusic");
    planNamedSprites(plan, folder, file("tiles_sprites.json"), AssetKind::TerrainTile, json());
    planNamedSprites(plan, folder, file("map_objects_sprites.json"), AssetKind::MapObject, d.mapObjects);
    planNamedSprites(plan, folder, file("decorations_sprites.json"), AssetKind::Decoration, json());
    planNamedSprites(plan, folder, file("effects_sprites.json"), AssetKind::Effect, json());
    planItems(plan, folder, file("items.json"));
}

void planFolder(Plan& plan, const Data& d, const std::string& folder) {
    const auto& files = d.files.at(folder);
    auto file = [&](const char* name) -> const json& {
        static const json none;
        auto it = files.find(name);
        return it == files.end() ? none : it->second;
    };
    planUnits(plan, d, folder, file("sprites.json"));
    planBuildings(plan, d, folder, file("buildings_sprites.json"));
    planProjectiles(plan, folder, file("projectiles.json"));
    planSpells(plan, d, folder, file("spells.json"));
    planListIcons(plan, folder, member(file("upgrades.json"), "upgrades"), "id", "texture", "upgrade");
    planListIcons(plan, folder, member(file("tech.json"), "tech"), "name", "texture", "tech");
    planCursors(plan, folder, file("cursors.json"));
    planSounds(plan, folder, file("sounds.json"));
    planGlobal(plan, folder, files, d);
}

// Anything else that looks like an asset path still gets a file, so nothing the data names is missing.
void sweep(Plan& plan, const json& v, const std::string& folder, const std::string& key) {
    if (v.is_string()) {
        const std::string& s = v.get_ref<const std::string&>();
        if (plan.jobs.count(s)) return;
        if (isImagePath(s)) claim(plan, {s, AssetKind::Icon, folder, key, {{"iconFor", "generic"}}});
        if (isSoundPath(s)) claim(plan, {s, AssetKind::Sound, folder, key, {{"category", "Generic"}, {"variant", 0}}});
        return;
    }
    if (v.is_array())
        for (const json& e : v) sweep(plan, e, folder, key);
    if (v.is_object())
        for (auto it = v.begin(); it != v.end(); ++it) sweep(plan, it.value(), folder, it.key());
}

void sweepAll(Plan& plan, const std::string& dataRoot) {
    fs::path root = fs::path(dataRoot) / "core" / "data";
    std::error_code ec;
    if (!fs::is_directory(root, ec)) return;
    std::vector<fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(root, ec))
        if (e.is_regular_file() && e.path().extension() == ".json") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& p : files) sweep(plan, readJson(p, plan), p.parent_path().filename().string(), p.stem().string());
}

}  // namespace

bool isImagePath(const std::string& p) { return endsWith(p, ".png") || endsWith(p, ".bmp"); }

bool isSoundPath(const std::string& p) { return endsWith(p, ".wav") || endsWith(p, ".ogg"); }

bool isSafeAssetPath(const std::string& p) {
    if (p.empty() || p.size() > 240 || p.front() == '/' || p.find('\\') != std::string::npos || p.find(':') != std::string::npos) return false;
    size_t start = 0;
    while (start <= p.size()) {
        size_t end = p.find('/', start);
        std::string part = p.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return true;
}

Plan buildPlan(const std::string& dataRoot, const std::string& fontSource) {
    Plan plan;
    for (const FixedTexture& f : fixedTextures()) claim(plan, {std::string("core/assets/global/") + f.file, AssetKind::Fixed, "global", f.file, json::object()});
    claim(plan, {kRootMarkerPath, AssetKind::Fixed, "global", "tiles/dash.png", json::object()});
    claim(plan, {kFontPath, AssetKind::Font, "global", "font", {{"source", fontSource}}});
    Data d = loadData(dataRoot, plan);
    for (const std::string& folder : d.folders) planFolder(plan, d, folder);
    sweepAll(plan, dataRoot);
    return plan;
}
