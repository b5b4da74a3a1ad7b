// A small static world: grid, players, units, buildings, map objects and decorations, reset around every test.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "buildings.h"
#include "config.h"
#include "decorations.h"
#include "effect_grid.h"
#include "entity.h"
#include "extraction.h"
#include "game_state.h"
#include "map.h"
#include "map_objects.h"
#include "player.h"
#include "units.h"

struct StaticWorld : ::testing::Test {
    void SetUp() override {
        resetStaticWorld();
        setMapSize(20, 20);
    }
    void TearDown() override { resetStaticWorld(); }

    static void setMapSize(int w, int h) {
        MAP_W = w;
        MAP_H = h;
        TILE_SIZE = 140;
        SUBDIVISIONS = 4;
        SUB_TILE_SIZE = 35;
        SUB_MAP_W = w * 4;
        SUB_MAP_H = h * 4;
        GAME_SPEED = 1.0f;
        UNIT_SPEED = 1.0f;
        grid.tiles.assign(static_cast<size_t>(w) * h, TileInstance{Tile::Grass, 0, 0, 1, 0, {}});
        reservedTiles.assign(static_cast<size_t>(SUB_MAP_W) * SUB_MAP_H, 0);
        effectGrid = EffectGrid(w, h);
        initSpatialGrid();
    }

    static Player& addPlayer(int id, const std::string& race = "human") {
        players.push_back(std::make_unique<Player>(id, "p" + std::to_string(id), race, false));
        return *players.back();
    }

    // A completed building registered for its owner, as a finished construction leaves it.
    static int placeBuilding(const std::string& type, int playerId, int x, int y, int w, int h) {
        Building b;
        b.id = nextAttackableId++;
        b.type = type;
        b.playerId = playerId;
        b.x = x;
        b.y = y;
        b.wTiles = w;
        b.hTiles = h;
        b.completed = true;
        b.hp = b.maxHp = 100.0f;
        addBuilding(b);
        blockArea(grid, {x, y}, w, h);
        if (Player* p = getPlayerById(playerId)) {
            p->buildingIds.push_back(b.id);
            p->completedBuildings[type] += 1;
        }
        return b.id;
    }

    static void resetStaticWorld() {
        mode = GameMode::Skirmish;
        DEBUG_MODE = false;
        players.clear();
        units.clear();
        unitIdToIndex.clear();
        unitsToRemove.clear();
        unitOccupancyRegistry.clear();
        buildings.clear();
        buildingIdToIndex.clear();
        tileToBuildings.clear();
        clearBuildingSelection();
        buildingsToRemove.clear();
        towers.clear();
        grid.tiles.clear();
        reservedTiles.clear();
        spatialGrid.clear();
        effectGrid = EffectGrid();
        resetAttackableIds();
        mapObjects.clear();
        mapObjectIdToIndex.clear();
        objectGrid.clear();
        tileToMapObjects.clear();
        mapObjectsToRemove.clear();
        clearMapObjectSelection();
        nextMapObjectId = 0;
        extractionsMapObjectId = 0;
        mapObjectInfo.clear();
        mapObjectsSprites.clear();
        decorations.clear();
        clearDecorationSelection();
        MAP_W = MAP_H = TILE_SIZE = SUBDIVISIONS = SUB_TILE_SIZE = SUB_MAP_W = SUB_MAP_H = 0;
        GAME_SPEED = UNIT_SPEED = 0.0f;
    }
};
