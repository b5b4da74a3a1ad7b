// Units: distances, range, line of sight, facing and height.
#include "units.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>

#include "buildings.h"
#include "config.h"
#include "construction-manager.h"
#include "extraction.h"
#include "game_state.h"
#include "map_objects.h"
#include "player.h"
#include "projectiles.h"
#include "races.h"
#include "sounds.h"
#include "special_effects.h"
#include "spells.h"
#include "sprites.h"
#include "tech_tree.h"
#include "textures.h"
#include "upgrades.h"

float distance(const V2i& a, const V2i& b) {
    const int64_t dx = int64_t{a.x} - b.x;
    const int64_t dy = int64_t{a.y} - b.y;
    return static_cast<float>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
}

std::vector<Unit*> getUnitsInRange(const V2i& centre, int radius) {
    std::vector<Unit*> found;
    const float reach = static_cast<float>(radius);
    for (Unit& u : units) {
        const int64_t dx = int64_t{truncToInt(u.x)} - centre.x;
        const int64_t dy = int64_t{truncToInt(u.y)} - centre.y;
        if (reach >= static_cast<float>(std::sqrt(static_cast<double>(dx * dx + dy * dy)))) found.push_back(&u);
    }
    return found;
}

std::vector<Unit*> getUnitsInTiles(const std::vector<V2i>& tiles, int) {
    std::vector<Unit*> found;
    const float size = static_cast<float>(TILE_SIZE);
    for (Unit& u : units) {
        const V2i tile{truncToInt(u.x / size), truncToInt(u.y / size)};
        for (const V2i& t : tiles)
            if (t == tile) found.push_back(&u);
    }
    return found;
}

bool isAttackableInRange(const SDL_FPoint& p, const Attackable* target, float radius) {
    if (!target) return false;
    SDL_FPoint q = target->getWorldPos();
    if (target->isBuilding()) {
        const Building& b = static_cast<const Building&>(*target);
        const int64_t t = TILE_SIZE;
        const float left = static_cast<float>(b.x * t);
        const float top = static_cast<float>(b.y * t);
        const float right = static_cast<float>(b.x * t + b.wTiles * t);
        const float bottom = static_cast<float>(b.y * t + b.hTiles * t);
        q = {std::max(left, std::min(right, p.x)), std::max(top, std::min(bottom, p.y))};
    }
    const float reach = radius * 1.4142135f;
    const float dx = q.x - p.x;
    const float dy = q.y - p.y;
    return reach * reach >= dx * dx + dy * dy;
}

bool isAttackableInRangeTile(const Unit& unit, const Attackable* target) {
    if (!target) return false;
    const V2i s = worldToSubTile(unit.x, unit.y);
    V2i t;
    if (target->isBuilding()) {
        const Building& b = static_cast<const Building&>(*target);
        const V2i tile = b.getTile();
        const int left = tile.x * SUBDIVISIONS;
        const int top = tile.y * SUBDIVISIONS;
        const int right = left + footprintSubTiles(b.wTiles, SUBDIVISIONS) - 1;
        const int bottom = top + footprintSubTiles(b.hTiles, SUBDIVISIONS) - 1;
        t = {std::min(right, std::max(left, s.x)), std::min(bottom, std::max(top, s.y))};
    } else {
        const SDL_FPoint p = target->getWorldPos();
        t = worldToSubTile(p.x, p.y);
    }
    const int64_t d = std::max(std::abs(int64_t{t.x} - s.x), std::abs(int64_t{t.y} - s.y));
    return static_cast<float>(SUBDIVISIONS) * unit.range >= static_cast<float>(d);
}

bool hasLineOfSight(const SDL_FPoint& a, const SDL_FPoint& b, const Grid& grid) {
    const float size = static_cast<float>(TILE_SIZE);
    int64_t x = truncToInt(a.x / size);
    int64_t y = truncToInt(a.y / size);
    const int64_t x1 = truncToInt(b.x / size);
    const int64_t y1 = truncToInt(b.y / size);
    if (x == x1 && y == y1) return true;
    const int64_t sx = x < x1 ? 1 : -1;
    const int64_t sy = y < y1 ? 1 : -1;
    const int64_t dx = std::abs(x1 - x);
    const int64_t dy = std::abs(y1 - y);
    int64_t err = dx - dy;
    for (;;) {
        // Off the map the walk reads the sentinel cell, which never blocks.
        if (grid.at(static_cast<int>(x), static_cast<int>(y)).type == Tile::Wall) return false;
        const int64_t e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            x += sx;
        }
        if (e2 < dx) {
            err += dx;
            y += sy;
        }
        if (x == x1 && y == y1) return true;
    }
}

// The row and flip by the angle of the vector, counter-clockwise from screen right; 90 degrees is up the screen.
static int directionByAngle(const SDL_FPoint& v, bool& flip) {
    struct Sector {
        float below;
        int row;
        bool flip;
    };
    static constexpr Sector sectors[] = {{22.5f, 2, false},  {67.5f, 1, false},  {112.5f, 0, false},
                                         {157.5f, 1, true},  {202.5f, 2, true},  {247.5f, 3, true},
                                         {292.5f, 4, false}, {337.5f, 3, false}};
    float angle = static_cast<float>(static_cast<double>(std::atan2(-v.y, v.x) * 180.0f) / 3.14159265358979323846);
    if (std::isnan(angle)) {
        flip = false;
        return 4;
    }
    if (angle < 0.0f) angle += 360.0f;
    for (const Sector& s : sectors) {
        if (angle < s.below) {
            flip = s.flip;
            return s.row;
        }
    }
    flip = false;
    return 2;
}

// The same sectors told apart by comparing the sides against tan 22.5 degrees. The angle above rounds to within
// a millionth of a degree, so a vector clear of every boundary by the margin lands where the angle puts it;
// one nearer a boundary (or zero, or not finite) is measured by its angle.
int computeDirection(const SDL_FPoint& v, bool& flip) {
    constexpr double TAN_22_5 = 0.41421356237309504880;
    constexpr double MARGIN = 1.0e-4;
    const double x = v.x;
    const double y = -static_cast<double>(v.y);
    const double ax = std::fabs(x);
    const double ay = std::fabs(y);
    if (!std::isfinite(ax) || !std::isfinite(ay) || (ax == 0.0 && ay == 0.0)) return directionByAngle(v, flip);
    // Rows of the half-turns right, up-right, up, then down-right and down; the left half mirrors the right.
    if (ay < ax * TAN_22_5 * (1.0 - MARGIN)) {
        flip = x < 0.0;
        return 2;
    }
    if (ax < ay * TAN_22_5 * (1.0 - MARGIN)) {
        flip = false;
        return y > 0.0 ? 0 : 4;
    }
    if (ay > ax * TAN_22_5 * (1.0 + MARGIN) && ax > ay * TAN_22_5 * (1.0 + MARGIN)) {
        flip = x < 0.0;
        return y > 0.0 ? 1 : 3;
    }
    return directionByAngle(v, flip);
}

float getUnitVisualHeight(const Unit& unit) {
    const float size = static_cast<float>(TILE_SIZE);
    const int tx = truncToInt(unit.x / size);
    const int ty = truncToInt(unit.y / size);
    if (tx < 0 || ty < 0 || tx >= MAP_W || ty >= MAP_H) return 0.0f;
    const TileInstance& cell = grid.at(tx, ty);
    const float h = static_cast<float>(cell.heightLevel);
    float fx = std::fmod(unit.x, size) / size;
    float fy = std::fmod(unit.y, size) / size;
    if (fx < 0.0f) fx += 1.0f;
    if (fy < 0.0f) fy += 1.0f;
    if (cell.ramp) {
        const bool risesDown = tx > 0 && grid.at(tx - 1, ty).heightLevel < cell.heightLevel;
        const float t = risesDown ? 1.0f - fy : 1.0f - fx;
        return (h - 0.5f) + t * 0.5f;
    }
    // Up, down, right, left: the flat half next to a higher ramp climbs to meet the ramp's low edge.
    const struct {
        int dx;
        int dy;
        float s;
    } sides[] = {{0, -1, fy}, {0, 1, 1.0f - fy}, {1, 0, 1.0f - fx}, {-1, 0, fx}};
    for (const auto& side : sides) {
        const int nx = tx + side.dx;
        const int ny = ty + side.dy;
        if (nx < 0 || ny < 0 || nx >= MAP_W || ny >= MAP_H) continue;
        const TileInstance& n = grid.at(nx, ny);
        if (n.ramp && n.heightLevel > cell.heightLevel && side.s < 0.5f) return h + (0.5f - side.s);
    }
    return h;
}
