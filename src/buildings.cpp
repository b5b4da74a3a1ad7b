// Buildings: the building catalogue and its requirement tables, the building record and the live buildings.
#include "buildings.h"

#include <iostream>

#include "config.h"
#include "races.h"
#include "utils.h"

using nlohmann::json;

std::unordered_map<std::string, BuildingInfo> buildingInfo;
std::unordered_map<std::string, BuildingRequirement> buildingRequirements;
std::unordered_map<std::string, UnitRequirement> unitRequirements;
std::unordered_map<std::string, std::vector<std::string>> buildingUnits;

static std::vector<FireSpot> readFireSpots(const json& entry) {
    std::vector<FireSpot> spots;
    const auto it = entry.find("fireSpots");
    if (it == entry.end() || it->is_null()) return spots;
    for (const json& pair : it->get_ref<const json::array_t&>()) {
        FireSpot spot;
        spot.x = jsonToInt(pair.at(0));
        spot.y = jsonToInt(pair.at(1));
        spots.push_back(spot);
    }
    return spots;
}

static BuildingInfo readBuildingInfo(const std::string& type, const std::string& race, const json& entry) {
    BuildingInfo info;
    info.type = type;
    info.race = race;
    info.displayName = jsonString(entry, "displayName", type);
    info.wTiles = jsonInt(entry, "wTiles", 1);
    info.hTiles = jsonInt(entry, "hTiles", 1);
    info.sight = jsonInt(entry, "sight", 7);
    info.walkable = jsonString(entry, "walkable", "Grass") == "Water" ? Tile::Water : Tile::Grass;
    info.buildTime = DEBUG_MODE ? 10.0f : jsonFloat(entry, "buildTime", 1.0f);
    info.hp = static_cast<float>(jsonInt(entry, "hp", 100));
    info.goldCost = jsonInt(entry, "goldCost", 0);
    info.woodCost = jsonInt(entry, "woodCost", 0);
    info.hasProduction = jsonBool(entry, "hasProduction", false);
    info.supply = jsonBool(entry, "supply", false);
    info.tier = jsonInt(entry, "tier", 0);
    info.base = jsonBool(entry, "base", false);
    info.oilDeposit = jsonBool(entry, "oilDeposit", false);
    info.fireSpots = readFireSpots(entry);
    if (entry.contains("requiresEffect")) info.requiresEffect = entry.at("requiresEffect").get<std::string>();
    if (entry.contains("providesEffect")) {
        const json& provides = entry.at("providesEffect");
        info.providesEffect = jsonString(provides, "tag", "");
        info.effectRadius = jsonInt(provides, "radius", 0);
    }
    return info;
}

void loadBuildings(const std::string& path, const std::string& race) {
    const json doc = Utils::loadJsonFile(path);
    if (doc.empty()) {
        std::cerr << "Building data is empty. Check file: " << path << "\n";
        return;
    }
    for (const auto& [type, entry] : doc.items()) buildingInfo[type] = readBuildingInfo(type, race, entry);
}

void loadBuildingRequirements(const std::string& path) {
    json doc;
    if (!readCatalogueFile(path, doc)) {
        std::cerr << "Failed to open building requirements JSON: " << path << "\n";
        return;
    }
    for (const auto& [type, entry] : doc.items()) {
        BuildingRequirement requirement;
        requirement.requiredTier = jsonInt(entry, "requiredTier", 1);
        requirement.requiredBuildings = jsonStrings(entry, "requiredBuildings");
        buildingRequirements[type] = requirement;
    }
}

void loadUnitRequirements(const std::string& path) {
    json doc;
    if (!readCatalogueFile(path, doc)) {
        std::cerr << "Could not open unit requirements file: " << path << "\n";
        return;
    }
    for (const auto& [type, entry] : doc.items()) {
        UnitRequirement requirement;
        requirement.requiredBuildings = jsonStrings(entry, "requiredBuildings");
        requirement.requiredTier = requiredInt(entry, "requiredTier");
        unitRequirements[type] = requirement;
    }
}

void loadBuildingUnits(const std::string& path) {
    json doc;
    if (!readCatalogueFile(path, doc)) {
        std::cerr << "Could not open building units file: " << path << "\n";
        return;
    }
    for (const auto& [type, list] : doc.items())
        for (const std::string& unitType : list.get<std::vector<std::string>>()) buildingUnits[type].push_back(unitType);
}

void startPlacingBuilding(std::string& ghostBuildingType, Sprite& ghostSprite, bool& placingBuilding,
                          std::string buildingType) {
    const auto sprite = buildingSprites.find(buildingType);
    const auto info = buildingInfo.find(buildingType);
    if (sprite == buildingSprites.end() || info == buildingInfo.end()) {
        std::cerr << "[startPlacingBuilding] Unknown building type: " << buildingType << "\n";
        return;
    }
    placingBuilding = true;
    ghostBuildingType = buildingType;

    const SpriteAnimation& animation = sprite->second.animation;
    ghostSprite.texture = sprite->second.sprite.texture;
    ghostSprite.src = SDL_Rect{0, 0, animation.frameWidth, animation.frameHeight};
    ghostSprite.color = SDL_Color{255, 255, 255, 150};
    if (!ghostSprite.texture) return;
    SDL_SetTextureColorMod(ghostSprite.texture, 255, 255, 255);
    SDL_SetTextureAlphaMod(ghostSprite.texture, 150);
    const SDL_FPoint size = ghostSprite.getSize();
    if (size.x <= 0.0f || size.y <= 0.0f) return;
    const float tile = static_cast<float>(TILE_SIZE);
    ghostSprite.setScale(static_cast<float>(info->second.wTiles) * tile / size.x,
                         static_cast<float>(info->second.hTiles) * tile / size.y);
}

std::vector<Building> buildings;

void Building::takeDamage(int amount) { hp = hpAfterDamage(hp, maxHp, amount); }

SDL_FPoint Building::getWorldPos() const {
    return {static_cast<float>(x * TILE_SIZE) + static_cast<float>(wTiles * TILE_SIZE) * 0.5f,
            static_cast<float>(y * TILE_SIZE) + static_cast<float>(hTiles * TILE_SIZE) * 0.5f};
}

void Building::computeNearbyTiles() {
    nearbyTiles.clear();
    int bx = x * 4;
    int by = y * 4;
    int w = footprintSubTiles(wTiles, 4);
    int h = footprintSubTiles(hTiles, 4);
    for (int i = bx - 1; i <= bx + w; ++i) nearbyTiles.push_back({i, by - 1});
    for (int i = bx - 1; i <= bx + w; ++i) nearbyTiles.push_back({i, by + h});
    for (int j = by; j < by + h; ++j) nearbyTiles.push_back({bx - 1, j});
    for (int j = by; j < by + h; ++j) nearbyTiles.push_back({bx + w, j});
}

void Building::computeNearbyTiles(float range) {
    nearbyTiles.clear();
    V2i tile = getTile();
    int r = reachInSubTiles(range);
    int x0 = tile.x * SUBDIVISIONS;
    int y0 = tile.y * SUBDIVISIONS;
    int x1 = x0 + footprintSubTiles(wTiles, SUBDIVISIONS) - 1;
    int y1 = y0 + footprintSubTiles(hTiles, SUBDIVISIONS) - 1;
    for (int sx = x0 - r; sx <= x1 + r; ++sx)
        for (int sy = y0 - r; sy <= y1 + r; ++sy)
            if (sx < x0 || sx > x1 || sy < y0 || sy > y1) nearbyTiles.push_back({sx, sy});
}
