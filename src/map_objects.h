// Map objects: the map object catalogue and its sprite catalogue.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "sprites.h"

struct MapObjectInfo {
    std::string name;
    std::string displayName;
    int32_t wTiles = 1;
    int32_t hTiles = 1;
    int32_t maxCapacity = 0;
    bool harvestable = false;
};

struct MapObjectSpriteMeta : AnimatedSprite {};

extern std::unordered_map<std::string, MapObjectInfo> mapObjectInfo;
extern std::unordered_map<std::string, MapObjectSpriteMeta> mapObjectsSprites;

void loadMapObjects(const std::string& path);
void loadMapObjectsSprites(const std::string& path);
