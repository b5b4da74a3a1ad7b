// Map objects: the map object catalogue and its sprite catalogue.
#include "map_objects.h"

#include <iostream>

#include "races.h"
#include "utils.h"

std::unordered_map<std::string, MapObjectInfo> mapObjectInfo;
std::unordered_map<std::string, MapObjectSpriteMeta> mapObjectsSprites;

void loadMapObjects(const std::string& path) {
    const nlohmann::json doc = Utils::loadJsonFile(path);
    if (doc.empty()) {
        std::cerr << "Map object data is empty. Check file: " << path << "\n";
        return;
    }
    for (const auto& [name, entry] : doc.items()) {
        MapObjectInfo info;
        info.name = name;
        info.displayName = jsonString(entry, "displayName", name);
        info.wTiles = jsonInt(entry, "wTiles", 1);
        info.hTiles = jsonInt(entry, "hTiles", 1);
        info.maxCapacity = jsonInt(entry, "maxCapacity", 0);
        info.harvestable = jsonBool(entry, "harvestable", false);
        mapObjectInfo[name] = info;
    }
}

void loadMapObjectsSprites(const std::string& path) {
    const nlohmann::json doc = Utils::loadJsonFile(path);
    for (const auto& [name, entry] : doc.items()) mapObjectsSprites[name] = MapObjectSpriteMeta{readAnimatedSprite(entry)};
}
