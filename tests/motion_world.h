// A 20x20-tile grass world with three players and a small catalogue, for units that walk, fight and take orders.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lockstep.h"
#include "projectiles.h"
#include "sounds.h"
#include "special_effects.h"
#include "spells.h"
#include "sprites.h"
#include "static_world_fixture.h"
#include "upgrades.h"

struct MotionWorld : StaticWorld {
    static constexpr int LOCAL = 1;
    static constexpr int ENEMY = 2;
    static constexpr int NATURE = 3;

    struct SoundRequest {
        std::string key;
        bool positional;
    };
    std::vector<SoundRequest> sounds;

    void SetUp() override {
        StaticWorld::SetUp();
        resetMotion();
        UNIT_SPEED = 200.0f;  // 3 world units per tick at movement speed 1
        WAYPOINT_EPS = 6.0f;
        addOwners(LOCAL, ENEMY, NATURE);
        addType("Footman", AttackType::Melee);
        addType("Peon", AttackType::Melee).worker = true;
        UnitInfo& archer = addType("Archer", AttackType::Ranged);
        archer.range = 4.0f;
        archer.projectile = "Arrow";
        addType("Gryphon", AttackType::Melee, UnitCategory::Air).walkable = Tile::Any;
        soundPlayer = [this](SoundCategory, const std::string& key, bool positional, float, float, int) {
            sounds.push_back({key, positional});
        };
    }

    void TearDown() override {
        resetMotion();
        StaticWorld::TearDown();
    }

    static void resetMotion() {
        unitInfo.clear();
        unitSprites.clear();
        spellInfo.clear();
        activeSpells.clear();
        upgrades.clear();
        unitHooks = UnitHooks{};
        combatHooks = CombatHooks{};
        soundPlayer = nullptr;
        WAYPOINT_EPS = 0.0f;
    }

    // A ground type that sees 5 tiles, reaches 1 tile, walks at speed 1, swings once a second and hits ground.
    static UnitInfo& addType(const std::string& type, AttackType attack, UnitCategory category = UnitCategory::Ground) {
        UnitInfo info;
        info.type = type;
        info.attackType = attack;
        info.category = category;
        info.hp = 40;
        info.damage = 5;
        info.piercing = 0;
        info.attackTargets = ATTACK_TARGET_GROUND;
        unitInfo[type] = info;
        return unitInfo[type];
    }

    // A unit standing at the centre of the sub-tile and holding it, made by the spawner.
    static int place(const std::string& type, int owner, V2i sub) {
        return spawnUnitAt(type, owner, {static_cast<float>(sub.x) / 4.0f, static_cast<float>(sub.y) / 4.0f});
    }

    static Unit& unit(int id) {
        Unit* u = getUnitById(id);
        EXPECT_NE(u, nullptr) << "unit " << id;
        return *u;
    }

    // The world coordinate of a sub-tile's centre.
    static float middleOf(int sub) { return static_cast<float>(sub) * 35.0f + 17.5f; }

    static V2i subTileOf(int id) { return worldToSubTile(unit(id).x, unit(id).y); }

    // Puts the unit on a sub-tile's centre, as a step or a move from outside the tick would.
    static void standOn(int id, V2i sub) {
        unit(id).x = middleOf(sub.x);
        unit(id).y = middleOf(sub.y);
    }

    static void walkTo(int id, V2i sub, Grid& g = grid) { ASSERT_TRUE(walkToTile(unit(id), sub, g)); }

    // A walk straight along the unit's row of sub-tiles, its own sub-tile first, as the searches lay one out.
    static void walkRow(int id, int toX) {
        const V2i from = subTileOf(id);
        SubTilePath path;
        for (int x = from.x;; x += toX >= from.x ? 1 : -1) {
            path.push_back({x, from.y});
            if (x == toX) break;
        }
        setUnitPath(unit(id), path);
        unit(id).state = UnitState::Moving;
    }

    // One tick of the units and the removals that end it.
    static void tick() {
        updateUnits(TURN_LENGTH, grid);
        processUnitRemovals(grid);
    }

    static void run(int ticks) {
        for (int i = 0; i < ticks; ++i) tick();
    }

    // Ticks until every unit has stopped walking, at most limit; answers the ticks run.
    static int runUntilStill(int limit) {
        for (int i = 1; i <= limit; ++i) {
            tick();
            bool walking = false;
            for (const Unit& u : units) walking = walking || !u.waypoints.empty();
            if (!walking) return i;
        }
        return limit + 1;
    }

    static void makeWall(int x, int y) {
        grid.at(x, y).type = Tile::Wall;
        grid.at(x, y).walkable = 0;
    }
};
