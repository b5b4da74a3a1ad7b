// Sprite records: the drawable sprite, terrain sprites, and the unit, building, cursor and tile sprite catalogues.
#include "sprites.h"

#include "config.h"
#include "races.h"
#include "sdl.h"
#include "sdl_draw.h"
#include "textures.h"
#include "utils.h"

using nlohmann::json;

std::unordered_map<std::string, UnitSpriteMeta> unitSprites;
std::unordered_map<std::string, BuildingSpriteMeta> buildingSprites;

SDL_Rect buildingIconFrame(const std::string& type) {
    const auto meta = buildingSprites.find(type);
    if (meta == buildingSprites.end()) return {};
    const SpriteAnimation& frames = meta->second.animation;
    if (frames.frameWidth <= 0 || frames.frameHeight <= 0) return {};
    return {0, 0, frames.frameWidth, frames.frameHeight};
}
std::unordered_map<std::string, Cursor> cursors;
std::unordered_map<std::string, TilesSpriteMeta> tilesSprites;

Sprite grassSprite, grass2Sprite, rockSprite, marsSprite1, marsSprite2, marsSprite3, marsSprite4;
Sprite cliffSprite1, cliffSprite2, cliffSprite3, cliffSprite4, cliffSprite5, cliffSprite6, cliffSprite7;
Sprite cliffSprite_NW1, cliffSprite_NW2, cliffSprite_NE1, cliffSprite_NE2;
Sprite cliff_SE, cliff_SW, cliff_NE, cliff_NW, cliff_N_V, cliff_S_V, cliff_M, cliff_E_V, cliff_W_V;
Sprite slopeSW_1, slopeSW_2, slopeSE_1, slopeSE_2;
Sprite water_F, water_NW, water_NE, water_SW, water_SE, water_N, water_E, water_S, water_W, water_IN, water_IE,
    water_IW, water_IS;
Sprite mud_F, mud_NW, mud_NE, mud_SW, mud_SE, mud_N, mud_E, mud_S, mud_W, mud_IN, mud_IE, mud_IW, mud_IS;
Sprite drygrass_F, drygrass_NW, drygrass_NE, drygrass_SW, drygrass_SE, drygrass_N, drygrass_E, drygrass_S,
    drygrass_W, drygrass_IN, drygrass_IE, drygrass_IW, drygrass_IS;

SDL_FPoint Sprite::getSize() const {
    int w = 0;
    int h = 0;
    if (texture) SDL_QueryTexture(texture, nullptr, nullptr, &w, &h);
    return SDL_FPoint{static_cast<float>(w), static_cast<float>(h)};
}

void Sprite::setScale(float sx, float sy) {
    scaleX = sx;
    scaleY = sy;
    if (!texture) return;
    const SDL_FPoint size = getSize();
    dst.w = size.x * sx;
    dst.h = size.y * sy;
}

SpriteAnimation readSpriteAnimation(const json& entry) {
    SpriteAnimation animation;
    requireObject(entry);
    const auto it = entry.find("animation");
    if (it == entry.end()) return animation;
    animation.frameCount = jsonInt(*it, "frameCount", 1);
    animation.frameDuration = jsonFloat(*it, "frameDuration", 0.1f);
    animation.frameWidth = jsonInt(*it, "frameWidth", 0);
    animation.frameHeight = jsonInt(*it, "frameHeight", 0);
    animation.offsetX = jsonInt(*it, "offsetX", 0);
    animation.offsetY = animation.offsetX;
    return animation;
}

AnimatedSprite readAnimatedSprite(const json& entry) {
    AnimatedSprite result;
    result.sprite.texture = LoadTexture(jsonString(entry, "sprite", ""));
    static_cast<SpriteAnimation&>(result) = readSpriteAnimation(entry);
    return result;
}

// A list of numbers taken only when it holds exactly two; any other length leaves the point as it was.
static void readPoint(const json& entry, const char* key, SDL_FPoint& point) {
    const auto it = entry.find(key);
    if (it == entry.end()) return;
    if (!it->is_array())
        throw json::type_error::create(302, std::string("type must be array, but is ") + it->type_name(), &*it);
    std::vector<float> values;
    for (const json& value : *it) values.push_back(jsonToFloat(value));
    if (values.size() == 2) point = SDL_FPoint{values[0], values[1]};
}

static UnitSpriteMeta readUnitSprite(const json& entry) {
    UnitSpriteMeta meta;
    meta.portrait = LoadTexture(jsonString(entry, "portrait", ""));
    meta.sprite.texture = LoadTexture(jsonString(entry, "sprite", ""));
    meta.frameWidth = jsonInt(entry, "frameWidth", 32);
    meta.frameHeight = jsonInt(entry, "frameHeight", 32);
    meta.numFrames = jsonInt(entry, "numFrames", 1);
    meta.scaleMultiplier = jsonFloat(entry, "scaleMultiplier", 1.0f);
    meta.hitboxScaleX = jsonFloat(entry, "hitboxScaleX", 1.0f);
    meta.hitboxScaleY = jsonFloat(entry, "hitboxScaleY", 1.0f);
    meta.animate247 = jsonBool(entry, "animate247", false);
    meta.projectileSpawnTick = jsonInt(entry, "projectileSpawnTick", 1);
    meta.attackFrames = jsonInt(entry, "attackFrames", 0);
    meta.attackRowOffset = jsonInt(entry, "attackRowOffset", 0);
    meta.attackFrameHeight = jsonInt(entry, "attackFrameHeight", 0);
    readPoint(entry, "pivot", meta.pivot);
    const auto animations = entry.find("animations");
    if (animations != entry.end() && animations->is_object()) {
        for (const auto& [name, seq] : animations->items())
            meta.animations[name] =
                AnimationSeq{jsonInt(seq, "start", 0), jsonInt(seq, "count", 0), jsonFloat(seq, "duration", 0.0f)};
    }
    return meta;
}

void loadUnitSprites(const std::string& path) {
    const json doc = Utils::loadJsonFile(path);
    for (const auto& [name, entry] : doc.items()) unitSprites[name] = readUnitSprite(entry);
}

void loadBuildingSprites(const std::string& path) {
    const json doc = Utils::loadJsonFile(path);
    for (const auto& [name, entry] : doc.items()) {
        BuildingSpriteMeta meta;
        meta.sprite.texture = LoadTexture(jsonString(entry, "sprite", ""));
        meta.constructionSprite.texture = LoadTexture(jsonString(entry, "constructionSprite", ""));
        meta.animation = readSpriteAnimation(entry);
        buildingSprites[name] = meta;
    }
}

void loadCursorSprites(const std::string& path) {
    const json doc = Utils::loadJsonFile(path);
    for (const auto& [name, entry] : doc.items()) {
        Cursor cursor;
        cursor.texture = LoadTexture(jsonString(entry, "image", ""));
        readPoint(entry, "hotspot", cursor.hotspot);
        cursors[name] = cursor;
    }
}

void loadTilesSprites(const std::string& path) {
    const json doc = Utils::loadJsonFile(path);
    for (const auto& [name, entry] : doc.items()) {
        TilesSpriteMeta meta;
        meta.sprite.texture = LoadTexture(jsonString(entry, "sprite", ""));
        tilesSprites[name] = meta;
    }
}

namespace {

struct TerrainSprite {
    Sprite* sprite;
    SDL_Texture* const* texture;
};

const TerrainSprite terrainSprites[] = {
    {&grassSprite, &texGrass},         {&grass2Sprite, &texGrass2},       {&rockSprite, &texRock},
    {&marsSprite1, &texMars1},         {&marsSprite2, &texMars2},         {&marsSprite3, &texMars3},
    {&marsSprite4, &texMars4},         {&cliffSprite1, &texCliff1},       {&cliffSprite2, &texCliff2},
    {&cliffSprite3, &texCliff3},       {&cliffSprite4, &texCliff4},       {&cliffSprite5, &texCliff5},
    {&cliffSprite6, &texCliff6},       {&cliffSprite7, &texCliff7},       {&cliffSprite_NW1, &texCliff_NW1},
    {&cliffSprite_NW2, &texCliff_NW2}, {&cliffSprite_NE1, &texCliff_NE1}, {&cliffSprite_NE2, &texCliff_NE2},
    {&cliff_SE, &texCliff_SE},         {&cliff_SW, &texCliff_SW},         {&cliff_NE, &texCliff_NE},
    {&cliff_NW, &texCliff_NW},         {&cliff_N_V, &texCliff_N_V},       {&cliff_S_V, &texCliff_S_V},
    {&cliff_M, &texCliff_M},           {&cliff_E_V, &texCliff_E_V},       {&cliff_W_V, &texCliff_W_V},
    {&slopeSW_1, &texSlopeSW_1},       {&slopeSW_2, &texSlopeSW_2},       {&slopeSE_1, &texSlopeSE_1},
    {&slopeSE_2, &texSlopeSE_2},       {&water_F, &texWater_F},           {&water_NW, &texWater_NW},
    {&water_NE, &texWater_NE},         {&water_SW, &texWater_SW},         {&water_SE, &texWater_SE},
    {&water_N, &texWater_N},           {&water_E, &texWater_E},           {&water_S, &texWater_S},
    {&water_W, &texWater_W},           {&water_IN, &texWater_IN},         {&water_IE, &texWater_IE},
    {&water_IW, &texWater_IW},         {&water_IS, &texWater_IS},         {&mud_F, &texMud_F},
    {&mud_NW, &texMud_NW},             {&mud_NE, &texMud_NE},             {&mud_SW, &texMud_SW},
    {&mud_SE, &texMud_SE},             {&mud_N, &texMud_N},               {&mud_E, &texMud_E},
    {&mud_S, &texMud_S},               {&mud_W, &texMud_W},               {&mud_IN, &texMud_IN},
    {&mud_IE, &texMud_IE},             {&mud_IW, &texMud_IW},             {&mud_IS, &texMud_IS},
    {&drygrass_F, &texDrygrass_F},     {&drygrass_NW, &texDrygrass_NW},   {&drygrass_NE, &texDrygrass_NE},
    {&drygrass_SW, &texDrygrass_SW},   {&drygrass_SE, &texDrygrass_SE},   {&drygrass_N, &texDrygrass_N},
    {&drygrass_E, &texDrygrass_E},     {&drygrass_S, &texDrygrass_S},     {&drygrass_W, &texDrygrass_W},
    {&drygrass_IN, &texDrygrass_IN},   {&drygrass_IE, &texDrygrass_IE},   {&drygrass_IW, &texDrygrass_IW},
    {&drygrass_IS, &texDrygrass_IS},
};

}  // namespace

void loadSprites() {
    const float tile = static_cast<float>(TILE_SIZE);
    for (const TerrainSprite& entry : terrainSprites) {
        Sprite& sprite = *entry.sprite;
        sprite.texture = *entry.texture;
        // Without a texture the sprite stays undrawable; no scale is derived from a zero size.
        if (!sprite.texture) continue;
        const SDL_FPoint size = sprite.getSize();
        sprite.setScale(tile / size.x, tile / size.y);
    }
}

void setBackgroundImageSize() {
    if (!renderer || !mainMenuBackgroundTexture) return;
    const SDL_FPoint size = windowSize();
    const SDL_FRect whole{0.0f, 0.0f, size.x, size.y};
    SDL_RenderCopyF(renderer, mainMenuBackgroundTexture, nullptr, &whole);
}
