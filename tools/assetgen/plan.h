// Reads the content data and lists every file to generate, with what each one should show.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

enum class AssetKind {
    UnitSheet,
    Portrait,
    BuildingSheet,
    BuildingConstruction,
    MapObject,
    Decoration,
    Effect,
    ProjectileFlight,
    ProjectileHit,
    SpellTexture,
    Icon,
    TerrainTile,
    Item,
    Cursor,
    MenuBackground,
    Fixed,
    Sound,
    Music,
    Font,
};

struct Job {
    std::string path;  // relative to the asset root, '/' separated
    AssetKind kind = AssetKind::Icon;
    std::string race;  // race folder the record came from ("global" for the shared folder)
    std::string name;  // type or key the record is filed under
    nlohmann::json meta;  // the record, plus "info" (catalogue record) where one exists
};

struct Plan {
    std::map<std::string, Job> jobs;  // ordered by path, so runs are repeatable
    std::vector<std::string> warnings;
};

// dataRoot holds "core/data/races/...". fontSource is copied to the font path the renderer opens.
Plan buildPlan(const std::string& dataRoot, const std::string& fontSource);

bool isImagePath(const std::string& p);
bool isSoundPath(const std::string& p);
// A relative path inside the asset tree, without "..", absolute roots or backslashes.
bool isSafeAssetPath(const std::string& p);

extern const char* const kFontPath;
extern const char* const kRootMarkerPath;
