// Terrain transitions: edge, corner and inner-corner pieces chosen from the neighbours, and cliff and slope faces.
#include "renderer_iso_terrain.h"

#include <array>

#include "config.h"
#include "map.h"
#include "sdl.h"
#include "sdl_draw.h"

namespace {

struct Family {
    Tile own;
    bool fillFirst;  // dry grass and mud lay their full image under the pieces; water only when no piece fits
    Sprite *F, *N, *E, *S, *W, *NE, *NW, *SE, *SW, *IN, *IE, *IS, *IW;
};

const Family dryGrassFamily{Tile::Drygrass, true, &drygrass_F, &drygrass_N, &drygrass_E, &drygrass_S,
                            &drygrass_W, &drygrass_NE, &drygrass_NW, &drygrass_SE, &drygrass_SW, &drygrass_IN,
                            &drygrass_IE, &drygrass_IS, &drygrass_IW};
const Family mudFamily{Tile::Mud, true, &mud_F, &mud_N, &mud_E, &mud_S, &mud_W, &mud_NE, &mud_NW,
                       &mud_SE, &mud_SW, &mud_IN, &mud_IE, &mud_IS, &mud_IW};
const Family waterFamily{Tile::Water, false, &water_F, &water_N, &water_E, &water_S, &water_W, &water_NE,
                         &water_NW, &water_SE, &water_SW, &water_IN, &water_IE, &water_IS, &water_IW};

// Neighbours in the order N, E, S, W, NE, SE, SW, NW; off the map a neighbour is of the tile's own type.
std::array<Tile, 8> neighbourTypes(const Grid& grid, int x, int y, Tile own) {
    static constexpr int dx[8] = {0, 1, 0, -1, 1, 1, -1, -1};
    static constexpr int dy[8] = {-1, 0, 1, 0, -1, 1, 1, -1};
    std::array<Tile, 8> out{};
    for (int i = 0; i < 8; ++i) {
        const int nx = x + dx[i];
        const int ny = y + dy[i];
        out[i] = isOnMap(nx, ny) ? grid.at(nx, ny).type : own;
    }
    return out;
}

enum { N, E, S, W, NE, SE, SW, NW };

bool wantsUnderlay(const Family& f, const std::array<Tile, 8>& nb) {
    if (f.own == Tile::Drygrass) {
        for (Tile t : nb)
            if (t == Tile::Grass) return true;
        return false;
    }
    for (Tile t : nb)
        if (t != f.own) return t == Tile::Grass;
    return false;
}

bool isEdge(const Family& f, Tile t) { return f.own == Tile::Drygrass ? t == Tile::Grass : t != f.own; }

// The one edge or corner piece, or the inner corners; answers whether anything was chosen.
bool addEdgePieces(const Family& f, const std::array<Tile, 8>& nb, std::vector<Sprite*>& out) {
    const bool n = isEdge(f, nb[N]), e = isEdge(f, nb[E]), s = isEdge(f, nb[S]), w = isEdge(f, nb[W]);
    if (n || e || s || w) {
        const std::pair<bool, Sprite*> choices[] = {{n && w, f.NW}, {n && e, f.NE}, {s && e, f.SE}, {s && w, f.SW},
                                                    {n && !s, f.N}, {e && !w, f.E}, {s && !n, f.S}, {w && !e, f.W}};
        for (const auto& [applies, piece] : choices)
            if (applies) {
                out.push_back(piece);
                return true;
            }
        return false;
    }
    const std::pair<int, Sprite*> inner[] = {{NW, f.IN}, {NE, f.IE}, {SE, f.IS}, {SW, f.IW}};
    const std::size_t before = out.size();
    for (const auto& [dir, piece] : inner)
        if (nb[dir] != f.own) out.push_back(piece);
    return out.size() != before;
}

std::vector<Sprite*> familyPieces(const Family& f, const Grid& grid, int x, int y) {
    const std::array<Tile, 8> nb = neighbourTypes(grid, x, y, f.own);
    std::vector<Sprite*> out;
    if (f.fillFirst) out.push_back(f.F);
    if (wantsUnderlay(f, nb)) out.push_back(&marsSprite1);
    if (!addEdgePieces(f, nb, out) && !f.fillFirst) out.push_back(f.F);
    return out;
}

const Family* familyOf(Tile type) {
    switch (type) {
        case Tile::Drygrass: return &dryGrassFamily;
        case Tile::Mud: return &mudFamily;
        case Tile::Water: return &waterFamily;
        default: return nullptr;
    }
}

float scaleOf(float zoom, float cameraZoom) { return zoom > 0.0f ? zoom : cameraZoom; }

void drawPiece(Sprite& sprite, SDL_FPoint pos, float z, bool tall) {
    const float t = static_cast<float>(TILE_SIZE) * z;
    sprite.dst = {pos.x - t / 2.0f, pos.y, t, tall ? t : t / 2.0f};
    drawSprite(renderer, sprite, 255);
}

void drawFamily(const Family& f, const Grid& g, SDL_FPoint pos, int x, int y, float zoom) {
    const float z = scaleOf(zoom, camera.zoom);
    for (Sprite* piece : familyPieces(f, g, x, y)) drawPiece(*piece, pos, z, false);
}

}  // namespace

std::vector<Sprite*> transitionPieces(const Grid& g, int x, int y) {
    const Family* f = familyOf(g.at(x, y).type);
    return f ? familyPieces(*f, g, x, y) : std::vector<Sprite*>{};
}

RampPiece rampPiece(const Grid& g, int x, int y) {
    const TileInstance& cell = g.at(x, y);
    const int h = cell.heightLevel;
    // Off the map the ground is level 0 for a cliff, while a slope never runs down off the map.
    const auto lower = [&](int nx, int ny, bool offLower) {
        return isOnMap(nx, ny) ? g.at(nx, ny).heightLevel < h : offLower;
    };
    const auto rampLevel = [&](int nx, int ny) {
        return isOnMap(nx, ny) && g.at(nx, ny).heightLevel == h && g.at(nx, ny).ramp;
    };
    if (cell.ramp) {
        if (lower(x, y + 1, false)) return {rampLevel(x - 1, y) ? &slopeSW_2 : &slopeSW_1, true};
        if (lower(x + 1, y, false)) return {rampLevel(x, y - 1) ? &slopeSE_1 : &slopeSE_2, true};
        return {&slopeSW_1, true};
    }
    if (h == 0) return {};
    const bool n = lower(x, y - 1, true), e = lower(x + 1, y, true), s = lower(x, y + 1, true),
               w = lower(x - 1, y, true);
    if (s && e) return {&cliff_S_V, true};
    if (s) return {&cliff_SW, true};
    if (e) return {&cliff_SE, true};
    if (n && w) return {&cliff_N_V, false};
    if (n) return {&cliff_NE, false};
    if (w) return {&cliff_NW, false};
    return {&cliff_M, false};
}

void drawTransitionTile(const Grid& g, SDL_FPoint pos, int x, int y, float zoom) {
    if (const Family* f = familyOf(g.at(x, y).type)) drawFamily(*f, g, pos, x, y, zoom);
}

void drawRampTile(const Grid& g, SDL_FPoint pos, int x, int y, float zoom) {
    const RampPiece piece = rampPiece(g, x, y);
    if (piece.sprite) drawPiece(*piece.sprite, pos, scaleOf(zoom, camera.zoom), piece.tall);
}

void renderDryGrass(SDL_FPoint pos, int x, int y, float zoom) { drawFamily(dryGrassFamily, grid, pos, x, y, zoom); }
void renderMud(SDL_FPoint pos, int x, int y, float zoom) { drawFamily(mudFamily, grid, pos, x, y, zoom); }
void renderWater(SDL_FPoint pos, int x, int y, float zoom) { drawFamily(waterFamily, grid, pos, x, y, zoom); }
void renderRamps(SDL_FPoint pos, int x, int y, float zoom) { drawRampTile(grid, pos, x, y, zoom); }
