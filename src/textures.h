// Textures read through PhysFS: the asset mount, LoadTexture, the fixed texture set and the catalogue texture tables.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include <SDL2/SDL.h>

// Mounts "assets.cvl" under the asset root when it exists, else the asset root folder itself, at the root of
// the PhysFS search path, so "core/assets/..." resolves either way. Initialises PhysFS when needed.
// A failure writes "PhysFS mount failed: " and PhysFS's error text; an archive that will not mount is named in
// that line and the folder is mounted in its place. False when nothing could be mounted.
bool mountAssets(const std::string& assetRoot);

// The whole file at a PhysFS path; false when it cannot be opened or read.
bool readAssetFile(const std::string& path, std::vector<uint8_t>& bytes);

// A new texture on the global renderer, or null (no renderer, unreadable file, undecodable image).
SDL_Texture* LoadTexture(const std::string& path);

// The fixed terrain, cliff, slope, transition and HUD textures; releases the previous set first.
void loadTextures();
// Destroys the fixed set and leaves its globals null.
void releaseTextures();

extern SDL_Texture *texGrass, *texGrass2, *texRock, *texRock2, *texRock3, *texMars1, *texMars2, *texMars3, *texMars4;
extern SDL_Texture *texCliff1, *texCliff2, *texCliff3, *texCliff4, *texCliff5, *texCliff6, *texCliff7;
extern SDL_Texture *texCliff_NW1, *texCliff_NW2, *texCliff_NE1, *texCliff_NE2, *texCliff_NE, *texCliff_NW;
extern SDL_Texture *texCliff_SE, *texCliff_SW, *texCliff_S_V, *texCliff_M, *texCliff_E_V, *texCliff_N_V, *texCliff_W_V;
extern SDL_Texture *texSlopeSW_1, *texSlopeSW_2, *texSlopeSE_1, *texSlopeSE_2;
extern SDL_Texture *texWater_F, *texWater_NW, *texWater_NE, *texWater_SW, *texWater_SE, *texWater_N, *texWater_E,
    *texWater_S, *texWater_W, *texWater_IN, *texWater_IE, *texWater_IW, *texWater_IS;
extern SDL_Texture *texMud_F, *texMud_NW, *texMud_NE, *texMud_SW, *texMud_SE, *texMud_N, *texMud_E, *texMud_S,
    *texMud_W, *texMud_IN, *texMud_IE, *texMud_IW, *texMud_IS;
extern SDL_Texture *texDrygrass_F, *texDrygrass_NW, *texDrygrass_NE, *texDrygrass_SW, *texDrygrass_SE, *texDrygrass_N,
    *texDrygrass_E, *texDrygrass_S, *texDrygrass_W, *texDrygrass_IN, *texDrygrass_IE, *texDrygrass_IW, *texDrygrass_IS;
extern SDL_Texture *texLumber, *texGold, *texFood, *texEject, *texDash;
// Declared with the set but never loaded: whatever is drawn with them draws nothing.
extern SDL_Texture *texCorpse, *texFire;

// Filled by the catalogue loaders; never emptied.
extern std::unordered_map<std::string, SDL_Texture*> spellTextures;
extern std::unordered_map<std::string, SDL_Texture*> spellPortraitTextures;
extern std::unordered_map<std::string, SDL_Texture*> upgradeTextures;

// Set from the shared "global.json".
extern SDL_Texture* mainMenuBackgroundTexture;
