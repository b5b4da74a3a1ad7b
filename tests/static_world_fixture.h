// A small static world: grid, players, units, buildings, map objects and decorations, reset around every test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "map_objects.h"
#include "races.h"
#include "world_fixture.h"

struct StaticWorld : TestWorld {
    void SetUp() override {
        resetStaticWorld();
        setMapSize(20, 20);
    }
    void TearDown() override { resetStaticWorld(); }

    // The shipped catalogue, and the grid of a shipped map with its grids sized to it; its objects are not made.
    static void loadShippedMap(const std::string& name) {
        ::testing::internal::CaptureStderr();
        loadAllRaces("", "", std::string(CORVALE_SOURCE_DIR) + "/core");
        ::testing::internal::GetCapturedStderr();
        mapData = loadMapFromFile(std::string(CORVALE_SOURCE_DIR) + "/maps/" + name + ".map");
        grid = buildGrid();
        sizeWorldGrids();
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
        resetWorld();
        mapObjectInfo.clear();
        mapObjectsSprites.clear();
    }
};
