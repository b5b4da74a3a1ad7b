// Extraction campaign: the item catalogue, the extraction point, the free sub-tile search and the mission choice.
#pragma once

// ---- Item catalogue ----
#include <cstdint>
#include <string>
#include <unordered_map>

#include "sprites.h"

struct ItemInfo {
    std::string name;
    std::string displayName;
    std::string description;
};

struct ItemSpriteMeta {
    SDL_Texture* texture = nullptr;
    SpriteAnimation animation{0, 0.0f, 0, 0, 0, 0};
    float scaleX = 1.0f;
    float scaleY = 1.0f;
    int32_t loopCount = -1;
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
};

// Item name to its texts and to its picture; a later record of the same name replaces both.
extern std::unordered_map<std::string, ItemInfo> items_info;
extern std::unordered_map<std::string, ItemSpriteMeta> item_sprites;

void loadItemsFromJson(const std::string& path);

// ---- Extraction point and free sub-tile search ----
#include "utils.h"

// Id of the map's extraction point, set when the map's objects are made; 0 until then.
extern int extractionsMapObjectId;

// An on-map, unreserved sub-tile on a walkable tile.
bool isClearSubTile(const V2i& p);
// The first on-map, unreserved sub-tile on a walkable tile in growing squares (row by row) around subTile,
// up to radius; subTile itself when none is found.
V2i find_nearby_clear_tile(V2i subTile, int radius);

// ---- Items on the map ----
#include <string>
#include <unordered_map>

struct Item {
    int id = -1;
    std::string type;  // a name of items_info
    float x = 0.0f;    // world position while on the ground
    float y = 0.0f;
    bool onGround = false;
    int graveyardIndex = -1;  // a corpse's dead unit; -1 for other items
};

// Every item of the current match by id.
extern std::unordered_map<int, Item> items_map;

// ---- Mission choice ----
#include <vector>

enum class ExtractionType : int32_t { SURVIVAL = 0, ELIMINATION = 1 };

// One Extraction map file.
struct Extraction {
    std::string name;
    std::string map;  // base name of the file in "./maps/"
    int mapWidth = 0;
    int mapHeight = 0;
};

// One mission offer.
struct ExtractionNode {
    int32_t type = 0;                       // an ExtractionType
    SDL_FRect card{0.0f, 0.0f, 0.0f, 0.0f};  // hit box on the map picker
    std::string path;                       // of the Extraction map file
    std::string name;
    std::string map;
    int mapWidth = 0;
    int mapHeight = 0;
    std::string enemyRace;
    int danger = 0;  // the experience budget of the mission
    int kills = 0;   // experience granted to the player's units so far
    bool hovered = false;

    ExtractionNode() = default;
    explicit ExtractionNode(int32_t type) : type(type) {}
};

// The map of the mission being played.
extern Extraction currentExtraction;

// The offered missions, and the index of the chosen one (-1 while none is chosen).
extern std::vector<ExtractionNode> extraction_options;
extern int deploymentSelectedMapId;

// Whether the chosen mission is an elimination; false while no valid mission is chosen.
bool eliminationMissionChosen();
// The chosen offer; null while deploymentSelectedMapId names none.
ExtractionNode* chosenExtractionNode();

// ---- Campaign man power and recruitable civilians, drawn on by construction and training ----

// The campaign's pool of recruitable civilians; a completed supply building takes up to five from it.
extern int global_man_power;
// Ids of civilians available to be recruited; the civilians of a completed supply building are appended.
extern std::vector<int> neutralCivilianIds;
