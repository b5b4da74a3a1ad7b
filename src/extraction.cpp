// Extraction campaign: the item catalogue, the extraction point, the free sub-tile search and the mission choice.
#include "extraction.h"

// ---- Item catalogue ----
#include <iostream>

#include "races.h"
#include "textures.h"

using nlohmann::json;

std::unordered_map<std::string, ItemInfo> items_info;
std::unordered_map<std::string, ItemSpriteMeta> item_sprites;

static void loadItem(const json& record) {
    ItemInfo info;
    info.name = requiredString(record, "name");
    info.displayName = requiredString(record, "displayName");
    info.description = requiredString(record, "description");
    items_info[info.name] = info;

    ItemSpriteMeta sprite;
    sprite.texture = LoadTexture(jsonString(record, "sprite", ""));
    sprite.frameWidth = requiredInt(record, "frameWidth");
    sprite.frameHeight = requiredInt(record, "frameHeight");
    item_sprites[info.name] = sprite;
}

void loadItemsFromJson(const std::string& path) {
    json doc;
    if (!readCatalogueFile(path, doc)) {
        std::cerr << "Could not open items file: " << path << "\n";
        return;
    }
    requireObject(doc);
    const auto records = doc.find("items");
    if (records == doc.end() || records->is_null()) return;
    for (const json& record : records->get_ref<const json::array_t&>()) loadItem(record);
}

// ---- Extraction point and free sub-tile search ----
#include "config.h"
#include "map.h"

int extractionsMapObjectId = 0;

bool isClearSubTile(const V2i& p) {
    if (!isValidSubTile(p) || isSubTileReserved(p) != 0) return false;
    return grid.walkable(p.x / SUBDIVISIONS, p.y / SUBDIVISIONS, Tile::Grass);
}

V2i find_nearby_clear_tile(V2i subTile, int radius) {
    for (int r = 0; r <= radius; ++r)
        for (int dy = -r; dy <= r; ++dy)
            for (int dx = -r; dx <= r; ++dx) {
                const V2i p{subTile.x + dx, subTile.y + dy};
                if (isClearSubTile(p)) return p;
            }
    return subTile;
}

// ---- Items on the map ----

std::unordered_map<int, Item> items_map;

// ---- Mission choice ----

std::vector<ExtractionNode> extraction_options;
int deploymentSelectedMapId = -1;

Extraction currentExtraction;

ExtractionNode* chosenExtractionNode() {
    if (deploymentSelectedMapId < 0 || static_cast<size_t>(deploymentSelectedMapId) >= extraction_options.size())
        return nullptr;
    return &extraction_options[static_cast<size_t>(deploymentSelectedMapId)];
}

bool eliminationMissionChosen() {
    const ExtractionNode* node = chosenExtractionNode();
    return node && node->type == static_cast<int32_t>(ExtractionType::ELIMINATION);
}

// ---- Campaign man power and recruitable civilians, drawn on by construction and training ----

int global_man_power = 0;
std::vector<int> neutralCivilianIds;
