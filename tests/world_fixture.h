// A 4x4-tile world (16x16 sub-tiles) with a tiny units catalogue, reset around every test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "buildings.h"
#include "config.h"
#include "effect_grid.h"
#include "entity.h"
#include "map.h"
#include "units.h"

struct SmallWorld : ::testing::Test {
    void SetUp() override {
        resetWorld();
        MAP_W = 4;
        MAP_H = 4;
        TILE_SIZE = 140;
        SUBDIVISIONS = 4;
        SUB_TILE_SIZE = 35;
        SUB_MAP_W = 16;
        SUB_MAP_H = 16;
        GAME_SPEED = 1.0f;
        UNIT_SPEED = 1.0f;
        grid.tiles.assign(16, TileInstance{Tile::Grass, 0, 0, 1, 0, {}});
        reservedTiles.assign(256, 0);
        addType("Footman", 1);
        addType("Ogre", 2);  // a 3x3 sub-tile footprint
    }

    void TearDown() override { resetWorld(); }

    static void addType(const std::string& type, int subtiles) {
        UnitInfo info;
        info.type = type;
        info.subtiles = subtiles;
        unitInfo[type] = info;
    }

    static float centreOf(int sub) { return static_cast<float>(sub) * 35.0f + 17.5f; }

    // A new unit standing on a sub-tile, stored and holding its footprint, as a spawner leaves it.
    static int place(const std::string& type, V2i sub) {
        Unit u = newUnitFromInfo(unitInfo.at(type), nextAttackableId++, 1);
        u.x = centreOf(sub.x);
        u.y = centreOf(sub.y);
        addUnit(u);
        reserveTilesForUnit(u.id, type, sub);
        return u.id;
    }

    static int32_t cell(int x, int y) { return reservedTiles[static_cast<size_t>(y) * SUB_MAP_W + x]; }

    static void resetWorld() {
        MAP_W = MAP_H = TILE_SIZE = SUBDIVISIONS = SUB_TILE_SIZE = SUB_MAP_W = SUB_MAP_H = 0;
        GAME_SPEED = UNIT_SPEED = 0.0f;
        grid.tiles.clear();
        reservedTiles.clear();
        unitOccupancyRegistry.clear();
        units.clear();
        unitIdToIndex.clear();
        clearUnitSelection();
        unitsToRemove.clear();
        deadUnits.clear();
        floatingTexts.clear();
        buildings.clear();
        unitInfo.clear();
        resetAttackableIds();
    }
};
