// Sprite records: the drawable sprite, terrain sprites, and the unit, building, cursor and tile sprite catalogues.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include <SDL2/SDL.h>
#include <nlohmann/json.hpp>

struct Sprite {
    SDL_Texture* texture = nullptr;
    SDL_Rect src{0, 0, 0, 0};
    SDL_FRect dst{0.0f, 0.0f, 0.0f, 0.0f};
    float scaleX = 1.0f;
    float scaleY = 1.0f;
    SDL_Color color{255, 255, 255, 255};

    // The texture's pixel size; (0, 0) without a texture.
    SDL_FPoint getSize() const;
    // Without a texture only the scale changes.
    void setScale(float sx, float sy);
};

// One "animation" block of the sprite files; offsetY always repeats offsetX (the files have one offset key).
struct SpriteAnimation {
    int32_t frameCount = 1;
    float frameDuration = 0.1f;
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
    int32_t offsetX = 0;
    int32_t offsetY = 0;
};

// The entry's "animation" object, or the defaults when it has none.
SpriteAnimation readSpriteAnimation(const nlohmann::json& entry);

// The shared shape of the map object, decoration and effect sprite records.
struct AnimatedSprite : SpriteAnimation {
    Sprite sprite;
};

// Loads the entry's "sprite" image, then reads its animation.
AnimatedSprite readAnimatedSprite(const nlohmann::json& entry);

struct AnimationSeq {
    int32_t start = 0;
    int32_t count = 0;
    float duration = 0.0f;
};

struct UnitSpriteMeta {
    Sprite sprite;
    SDL_Texture* portrait = nullptr;
    int32_t frameWidth = 32;
    int32_t frameHeight = 32;
    int32_t numFrames = 1;
    SDL_FPoint pivot{0.0f, 0.0f};
    float scaleMultiplier = 1.0f;
    int32_t attackFrames = 0;
    int32_t attackRowOffset = 0;
    int32_t attackFrameHeight = 0;
    float hitboxScaleX = 1.0f;
    float hitboxScaleY = 1.0f;
    bool animate247 = false;
    int32_t projectileSpawnTick = 1;
    std::unordered_map<std::string, AnimationSeq> animations;
};

struct BuildingSpriteMeta {
    Sprite sprite;
    Sprite constructionSprite;
    SpriteAnimation animation;
};

// The part of a building type's sheet an icon shows: its first frame, or an empty rectangle (the whole texture) when
// the type or its frame size is unknown.
SDL_Rect buildingIconFrame(const std::string& type);

struct Cursor {
    SDL_Texture* texture = nullptr;
    SDL_FPoint hotspot{0.0f, 0.0f};
};

struct TilesSpriteMeta {
    Sprite sprite;
};

extern std::unordered_map<std::string, UnitSpriteMeta> unitSprites;
extern std::unordered_map<std::string, BuildingSpriteMeta> buildingSprites;
extern std::unordered_map<std::string, Cursor> cursors;
extern std::unordered_map<std::string, TilesSpriteMeta> tilesSprites;

void loadUnitSprites(const std::string& path);
void loadBuildingSprites(const std::string& path);
void loadCursorSprites(const std::string& path);
void loadTilesSprites(const std::string& path);

// Terrain sprites, each bound by loadSprites to the texture of the same stem.
extern Sprite grassSprite, grass2Sprite, rockSprite, marsSprite1, marsSprite2, marsSprite3, marsSprite4;
extern Sprite cliffSprite1, cliffSprite2, cliffSprite3, cliffSprite4, cliffSprite5, cliffSprite6, cliffSprite7;
extern Sprite cliffSprite_NW1, cliffSprite_NW2, cliffSprite_NE1, cliffSprite_NE2;
extern Sprite cliff_SE, cliff_SW, cliff_NE, cliff_NW, cliff_N_V, cliff_S_V, cliff_M, cliff_E_V, cliff_W_V;
extern Sprite slopeSW_1, slopeSW_2, slopeSE_1, slopeSE_2;
extern Sprite water_F, water_NW, water_NE, water_SW, water_SE, water_N, water_E, water_S, water_W, water_IN, water_IE,
    water_IW, water_IS;
extern Sprite mud_F, mud_NW, mud_NE, mud_SW, mud_SE, mud_N, mud_E, mud_S, mud_W, mud_IN, mud_IE, mud_IW, mud_IS;
extern Sprite drygrass_F, drygrass_NW, drygrass_NE, drygrass_SW, drygrass_SE, drygrass_N, drygrass_E, drygrass_S,
    drygrass_W, drygrass_IN, drygrass_IE, drygrass_IW, drygrass_IS;

// Rebinds the 70 terrain sprites to the current texture set, each scaled to one tile.
void loadSprites();

// The main-menu background stretched over the whole window; nothing without it.
void setBackgroundImageSize();
