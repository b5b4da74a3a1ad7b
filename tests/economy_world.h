// Economy worlds: a small hand-made world with a tiny catalogue, and the shipped fight map with the shipped
// catalogue; both reset every economy global around each test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "activity.h"
#include "catalogue_support.h"
#include "construction-manager.h"
#include "control_groups.h"
#include "races.h"
#include "sounds.h"
#include "static_world_fixture.h"
#include "tech_tree.h"
#include "trainings.h"
#include "upgrades.h"

struct EconomyWorld : StaticWorld {
    void SetUp() override {
        StaticWorld::SetUp();
        resetEconomy();
        CANCEL_BUILDING_PERCENTAGE_LOSS = 0.75f;
        soundPlayer = [this](SoundCategory, const std::string& key, bool, float, float, int) {
            sounds.push_back(key);
        };
    }
    void TearDown() override {
        soundPlayer = nullptr;
        resetEconomy();
        StaticWorld::TearDown();
    }

    // The keys of the sounds requested, in order.
    std::vector<std::string> sounds;

    static void resetEconomy() {
        catalogue_test::resetCatalogues();
        controlGroupManager.clearAll();
    }

    static UnitInfo& addUnitType(const std::string& type, const std::string& race, int gold, int wood, int food,
                                 float buildTime) {
        UnitInfo& info = unitInfo[type];
        info.type = type;
        info.race = race;
        info.goldCost = gold;
        info.woodCost = wood;
        info.foodCost = food;
        info.buildTime = buildTime;
        return info;
    }

    static BuildingInfo& addBuildingType(const std::string& type, int w, int h, int gold, int wood, float buildTime) {
        BuildingInfo& info = buildingInfo[type];
        info.type = type;
        info.race = "human";
        info.wTiles = w;
        info.hTiles = h;
        info.goldCost = gold;
        info.woodCost = wood;
        info.buildTime = buildTime;
        info.hp = 100.0f;
        return info;
    }

    static UnitUpgrade& addUpgrade(const std::string& id, UpgradeType type, int bonus, int gold, int wood,
                                   const std::string& building) {
        UnitUpgrade& u = upgrades[id];
        u.id = id;
        u.type = type;
        u.bonus = bonus;
        u.goldCost = gold;
        u.woodCost = wood;
        u.time = 10;
        upgradeRequirements[id] = UpgradeRequirement{};
        buildingResearchTree[building].push_back(id);
        return u;
    }

    static void setResources(Player& p, int gold, int wood) {
        p.resources[RESOURCE_GOLD] = gold;
        p.resources[RESOURCE_WOOD] = wood;
    }

    static int gold(const Player& p) { return p.resources[RESOURCE_GOLD]; }
    static int wood(const Player& p) { return p.resources[RESOURCE_WOOD]; }

    // A unit of a catalogue type standing on a sub-tile and holding it, listed with its owner.
    static int addUnitAt(const std::string& type, V2i sub, int playerId = 1) {
        Unit u = newUnitFromInfo(unitInfo.at(type), nextAttackableId++, playerId);
        const SDL_FPoint at = subTileWaypoint(sub);
        u.x = at.x;
        u.y = at.y;
        addUnit(u);
        reserveTilesForUnit(u.id, u.type, sub);
        if (Player* p = getPlayerById(playerId)) p->unitIds.push_back(u.id);
        return u.id;
    }

    // Stands the unit on the last point of its path, as walking it would.
    static void arrive(int unitId) {
        Unit& u = *getUnitById(unitId);
        ASSERT_FALSE(u.waypoints.empty());
        u.x = u.waypoints.back().x;
        u.y = u.waypoints.back().y;
        u.waypoints.clear();
    }

    // Ticks of the lockstep length until an accumulated time passes the seconds.
    static int ticksToPass(float seconds) {
        float elapsed = 0.0f;
        int ticks = 0;
        for (; !(elapsed > seconds); ++ticks) elapsed += TURN_LENGTH;
        return ticks;
    }
};

// The shipped "maps/fight.map" with the shipped catalogue and the map's objects and bases made.
struct FightMapEconomy : EconomyWorld {
    void SetUp() override {
        EconomyWorld::SetUp();
        loadShippedMap("fight");
        TILE_SIZE = 140;
        SUB_TILE_SIZE = 35;
        GAME_SPEED = 1.0f;
        UNIT_SPEED = 200.0f;
        CRYSTAL_MINING_TIME = 2.0f;
        AMBER_OIL_MINING_TIME = 3.0f;
        deriveConfigValues();
    }
    void TearDown() override {
        mapData = MapData{};
        EconomyWorld::TearDown();
    }
};

// A human player owning the base at (6, 6) with its three workers, 1000 gold and 1000 wood.
struct FightMapTown : FightMapEconomy {
    void SetUp() override {
        FightMapEconomy::SetUp();
        human = &addPlayer(1, "human");
        addPlayer(2, "vohmathal");
        Player::myStaticId = 1;
        Player::environmentId = 3;
        createObjects(mapData.pendingObjects, grid);
        initializeCivilianLookup();
        resetMiningOccupancy();
        setResources(*human, 1000, 1000);
        ASSERT_FALSE(human->buildingIds.empty());
        base = human->buildingIds.front();
        worker = human->unitIds.front();
    }

    Player* human = nullptr;
    int base = -1;
    int worker = -1;
};
