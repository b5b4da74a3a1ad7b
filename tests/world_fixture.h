// Test worlds: the common ground (the game's own tear-down, a map at the test scale, owners) and the smallest
// world, 4x4 tiles (16x16 sub-tiles) with a tiny units catalogue.
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
#include "game.h"
#include "game_state.h"
#include "map.h"
#include "player.h"
#include "units.h"

// Every world a test builds starts from and ends in an empty session with no map; catalogues are each world's own.
struct TestWorld : ::testing::Test {
    // 140-unit tiles of 4x4 sub-tiles, everything at speed 1.
    static void useTestScale() {
        TILE_SIZE = 140;
        SUBDIVISIONS = 4;
        SUB_TILE_SIZE = 35;
        GAME_SPEED = 1.0f;
        UNIT_SPEED = 1.0f;
    }

    // An open, flat grass map of w by h tiles at the current scale, its grids empty.
    static void sizeMap(int w, int h) {
        MAP_W = w;
        MAP_H = h;
        SUB_MAP_W = w * SUBDIVISIONS;
        SUB_MAP_H = h * SUBDIVISIONS;
        grid.tiles.assign(static_cast<size_t>(w) * h, TileInstance{Tile::Grass, 0, 0, 1, 0, {}});
        sizeWorldGrids();
    }

    static void setMapSize(int w, int h) {
        useTestScale();
        sizeMap(w, h);
    }

    static void resetWorld() {
        reset_game_state();
        mode = GameMode::Skirmish;
        DEBUG_MODE = false;
        grid.tiles.clear();
        spatialGrid.clear();
        effectGrid = EffectGrid();
        extractionsMapObjectId = 0;
        clearDecorationSelection();
        Player::myStaticId = Player::aiId = Player::environmentId = 0;
        MAP_W = MAP_H = TILE_SIZE = SUBDIVISIONS = SUB_TILE_SIZE = SUB_MAP_W = SUB_MAP_H = 0;
        GAME_SPEED = UNIT_SPEED = 0.0f;
    }

    static Player& addPlayer(int id, const std::string& race = "human") {
        players.push_back(std::make_unique<Player>(id, "p" + std::to_string(id), race, false));
        return *players.back();
    }

    // The local player, the computer and nature, each with its role.
    static void addOwners(int local, int enemy, int nature) {
        addPlayer(local, "human");
        addPlayer(enemy, "vohmathal");
        addPlayer(nature, "neutral");
        Player::myStaticId = local;
        Player::aiId = enemy;
        Player::environmentId = nature;
    }
};

struct SmallWorld : TestWorld {
    void SetUp() override {
        resetSmallWorld();
        setMapSize(4, 4);
        addType("Footman", 1);
        addType("Ogre", 2);  // a 3x3 sub-tile footprint
    }

    void TearDown() override { resetSmallWorld(); }

    static void resetSmallWorld() {
        resetWorld();
        unitInfo.clear();
    }

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
};

// One chosen Extraction mission of danger 1000: kills earn experience up to that budget.
struct MissionWorld : TestWorld {
    void SetUp() override {
        resetWorld();
        extraction_options.assign(1, ExtractionNode{});
        extraction_options[0].danger = 1000;
        deploymentSelectedMapId = 0;
    }
    void TearDown() override {
        extraction_options.clear();
        deploymentSelectedMapId = -1;
        resetWorld();
    }
};
