// Textures read through PhysFS: the asset mount, LoadTexture, the fixed texture set and the catalogue texture tables.
#include "textures.h"

#include <filesystem>
#include <iostream>

#include <SDL2/SDL_image.h>
#include <physfs.h>

#include "sdl.h"

SDL_Texture *texGrass, *texGrass2, *texRock, *texRock2, *texRock3, *texMars1, *texMars2, *texMars3, *texMars4;
SDL_Texture *texCliff1, *texCliff2, *texCliff3, *texCliff4, *texCliff5, *texCliff6, *texCliff7;
SDL_Texture *texCliff_NW1, *texCliff_NW2, *texCliff_NE1, *texCliff_NE2, *texCliff_NE, *texCliff_NW;
SDL_Texture *texCliff_SE, *texCliff_SW, *texCliff_S_V, *texCliff_M, *texCliff_E_V, *texCliff_N_V, *texCliff_W_V;
SDL_Texture *texSlopeSW_1, *texSlopeSW_2, *texSlopeSE_1, *texSlopeSE_2;
SDL_Texture *texWater_F, *texWater_NW, *texWater_NE, *texWater_SW, *texWater_SE, *texWater_N, *texWater_E, *texWater_S,
    *texWater_W, *texWater_IN, *texWater_IE, *texWater_IW, *texWater_IS;
SDL_Texture *texMud_F, *texMud_NW, *texMud_NE, *texMud_SW, *texMud_SE, *texMud_N, *texMud_E, *texMud_S, *texMud_W,
    *texMud_IN, *texMud_IE, *texMud_IW, *texMud_IS;
SDL_Texture *texDrygrass_F, *texDrygrass_NW, *texDrygrass_NE, *texDrygrass_SW, *texDrygrass_SE, *texDrygrass_N,
    *texDrygrass_E, *texDrygrass_S, *texDrygrass_W, *texDrygrass_IN, *texDrygrass_IE, *texDrygrass_IW, *texDrygrass_IS;
SDL_Texture *texLumber, *texGold, *texFood, *texEject, *texDash;
SDL_Texture *texCorpse, *texFire;

std::unordered_map<std::string, SDL_Texture*> spellTextures;
std::unordered_map<std::string, SDL_Texture*> spellPortraitTextures;
std::unordered_map<std::string, SDL_Texture*> upgradeTextures;

SDL_Texture* mainMenuBackgroundTexture = nullptr;

// No asset of the game comes near this; a larger length is taken for a broken archive entry.
static constexpr PHYSFS_sint64 MAX_ASSET_BYTES = 256ll * 1024 * 1024;

static const char* physfsError() { return PHYSFS_getErrorByCode(PHYSFS_getLastErrorCode()); }

static bool mountAt(const std::filesystem::path& target) {
    std::error_code ec;
    return PHYSFS_mount(std::filesystem::absolute(target, ec).c_str(), nullptr, 1) != 0;
}

bool mountAssets(const std::string& assetRoot) {
    if (!PHYSFS_isInit() && !PHYSFS_init(nullptr)) {
        std::cerr << "PHYSFS_init failed: " << physfsError() << "\n";
        return false;
    }
    const std::filesystem::path root = assetRoot.empty() ? "." : assetRoot;
    const std::filesystem::path archive = root / "assets.cvl";
    std::error_code ec;
    // A damaged archive leaves the content folders beside it to read from.
    if (std::filesystem::exists(archive, ec)) {
        if (mountAt(archive)) return true;
        std::cerr << "PhysFS mount failed: " << physfsError() << ": " << archive.string()
                  << " (reading the content folders instead)\n";
        return mountAt(root);
    }
    if (mountAt(root)) return true;
    std::cerr << "PhysFS mount failed: " << physfsError() << "\n";
    return false;
}

bool readAssetFile(const std::string& path, std::vector<uint8_t>& bytes) {
    bytes.clear();
    if (path.empty() || !PHYSFS_isInit()) return false;
    PHYSFS_File* file = PHYSFS_openRead(path.c_str());
    if (!file) return false;
    const PHYSFS_sint64 length = PHYSFS_fileLength(file);
    if (length < 0 || length > MAX_ASSET_BYTES) {
        PHYSFS_close(file);
        return false;
    }
    bytes.resize(static_cast<size_t>(length));
    const PHYSFS_sint64 got = length > 0 ? PHYSFS_readBytes(file, bytes.data(), static_cast<PHYSFS_uint64>(length)) : 0;
    PHYSFS_close(file);
    bytes.resize(static_cast<size_t>(got < 0 ? 0 : got));
    return got >= 0;
}

SDL_Texture* LoadTexture(const std::string& path) {
    if (!renderer) return nullptr;
    std::vector<uint8_t> bytes;
    if (!readAssetFile(path, bytes)) {
        std::cerr << "PhysFS failed to open: " << path << "\n";
        return nullptr;
    }
    SDL_RWops* stream = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    SDL_Texture* texture = stream ? IMG_LoadTexture_RW(renderer, stream, 1) : nullptr;
    if (!texture) std::cerr << "IMG_Load failed: " << path << ": " << SDL_GetError() << "\n";
    return texture;
}

namespace {

struct TextureFile {
    SDL_Texture** texture;
    const char* file;
};

// In load order; every path lies under "core/assets/global/".
const TextureFile textureSet[] = {
    {&texGrass, "tiles/grass/grass.png"},
    {&texGrass2, "tiles/grass/grass2.png"},
    {&texRock, "tiles/rock.png"},
    {&texRock2, "tiles/rock2.png"},
    {&texRock3, "tiles/rock3.png"},
    {&texMars1, "tiles/grass/mars1.png"},
    {&texMars2, "tiles/grass/mars2.png"},
    {&texMars3, "tiles/grass/mars3.png"},
    {&texMars4, "tiles/grass/mars4.png"},
    {&texCliff1, "tiles/grass/cliff1.png"},
    {&texCliff2, "tiles/grass/cliff2.png"},
    {&texCliff3, "tiles/grass/cliff3.png"},
    {&texCliff4, "tiles/grass/cliff4.png"},
    {&texCliff5, "tiles/grass/cliff5.png"},
    {&texCliff6, "tiles/grass/cliff6.png"},
    {&texCliff7, "tiles/grass/cliff7.png"},
    {&texCliff_NW1, "tiles/grass/cliffNW1.png"},
    {&texCliff_NW2, "tiles/grass/cliffNW2.png"},
    {&texCliff_NE1, "tiles/grass/cliffNE1.png"},
    {&texCliff_NE2, "tiles/grass/cliffNE2.png"},
    {&texCliff_NE, "tiles/grass/cliffNE.png"},
    {&texCliff_NW, "tiles/grass/cliffNW.png"},
    {&texCliff_SE, "tiles/grass/cliffSE.png"},
    {&texCliff_SW, "tiles/grass/cliffSW.png"},
    {&texCliff_S_V, "tiles/grass/cliffSV.png"},
    {&texCliff_M, "tiles/grass/cliffM.png"},
    {&texCliff_E_V, "tiles/grass/cliffEV.png"},
    {&texCliff_N_V, "tiles/grass/cliffNV.png"},
    {&texCliff_W_V, "tiles/grass/cliffWV.png"},
    {&texSlopeSW_1, "tiles/grass/slopeSW_1.png"},
    {&texSlopeSW_2, "tiles/grass/slopeSW_2.png"},
    {&texSlopeSE_1, "tiles/grass/slopeSE_1.png"},
    {&texSlopeSE_2, "tiles/grass/slopeSE_2.png"},
    {&texWater_F, "tiles/grass/water_F.png"},
    {&texWater_NW, "tiles/grass/water_NW.png"},
    {&texWater_NE, "tiles/grass/water_NE.png"},
    {&texWater_SW, "tiles/grass/water_SW.png"},
    {&texWater_SE, "tiles/grass/water_SE.png"},
    {&texWater_N, "tiles/grass/water_N.png"},
    {&texWater_E, "tiles/grass/water_E.png"},
    {&texWater_S, "tiles/grass/water_S.png"},
    {&texWater_W, "tiles/grass/water_W.png"},
    {&texWater_IN, "tiles/grass/water_IN.png"},
    {&texWater_IE, "tiles/grass/water_IE.png"},
    {&texWater_IW, "tiles/grass/water_IW.png"},
    {&texWater_IS, "tiles/grass/water_IS.png"},
    {&texMud_F, "tiles/grass/mud_F.png"},
    {&texMud_NW, "tiles/grass/mud_NW.png"},
    {&texMud_NE, "tiles/grass/mud_NE.png"},
    {&texMud_SW, "tiles/grass/mud_SW.png"},
    {&texMud_SE, "tiles/grass/mud_SE.png"},
    {&texMud_N, "tiles/grass/mud_N.png"},
    {&texMud_E, "tiles/grass/mud_E.png"},
    {&texMud_S, "tiles/grass/mud_S.png"},
    {&texMud_W, "tiles/grass/mud_W.png"},
    {&texMud_IN, "tiles/grass/mud_IN.png"},
    {&texMud_IE, "tiles/grass/mud_IE.png"},
    {&texMud_IW, "tiles/grass/mud_IW.png"},
    {&texMud_IS, "tiles/grass/mud_IS.png"},
    {&texDrygrass_F, "tiles/grass/drygrass_F.png"},
    {&texDrygrass_NW, "tiles/grass/drygrass_NW.png"},
    {&texDrygrass_NE, "tiles/grass/drygrass_NE.png"},
    {&texDrygrass_SW, "tiles/grass/drygrass_SW.png"},
    {&texDrygrass_SE, "tiles/grass/drygrass_SE.png"},
    {&texDrygrass_N, "tiles/grass/drygrass_N.png"},
    {&texDrygrass_E, "tiles/grass/drygrass_E.png"},
    {&texDrygrass_S, "tiles/grass/drygrass_S.png"},
    {&texDrygrass_W, "tiles/grass/drygrass_W.png"},
    {&texDrygrass_IN, "tiles/grass/drygrass_IN.png"},
    {&texDrygrass_IE, "tiles/grass/drygrass_IE.png"},
    {&texDrygrass_IW, "tiles/grass/drygrass_IW.png"},
    {&texDrygrass_IS, "tiles/grass/drygrass_IS.png"},
    {&texLumber, "hud/lumber.png"},
    {&texGold, "hud/gold.png"},
    {&texFood, "hud/food.png"},
    {&texEject, "hud/eject.png"},
    {&texDash, "tiles/dash.png"},
};

}  // namespace

void releaseTextures() {
    for (const TextureFile& entry : textureSet) {
        if (*entry.texture) SDL_DestroyTexture(*entry.texture);
        *entry.texture = nullptr;
    }
}

void loadTextures() {
    // The previous session's set is released, not leaked.
    releaseTextures();
    for (const TextureFile& entry : textureSet) {
        *entry.texture = LoadTexture(std::string("core/assets/global/") + entry.file);
        if (entry.texture == &texMud_F && texMud_F) SDL_SetTextureBlendMode(texMud_F, SDL_BLENDMODE_BLEND);
    }
}
