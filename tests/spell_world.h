// A 20x20-tile world with three owners, a small units catalogue and the spells' damage records, reset around every test.
#pragma once

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "game.h"
#include "lockstep.h"
#include "projectiles.h"
#include "sounds.h"
#include "special_effects.h"
#include "spells.h"
#include "sprites.h"
#include "static_world_fixture.h"
#include "tech_tree.h"

struct SpellWorld : StaticWorld {
    static constexpr int LOCAL = 2;
    static constexpr int ENEMY = 3;
    static constexpr int NATURE = 4;
    static constexpr float TICK = TURN_LENGTH;

    std::vector<std::string> spellSounds;

    void SetUp() override {
        StaticWorld::SetUp();
        resetSpellWorld();
        addOwners(LOCAL, ENEMY, NATURE);
        nextAttackableId = 10;
        addType("Footman").hp = 1000;
        addType("Gryphon", UnitCategory::Air).hp = 1000;
        addType("Ship", UnitCategory::Naval).hp = 1000;
        addType("Peon");
        addType("Abyssal").hp = 1000;
        addType("Civilian").civilian = true;
        addType("Sheep");
        UnitInfo& bird = addType("Bird", UnitCategory::Air);
        bird.walkable = Tile::Any;
        bird.canAttack = false;
        UnitInfo& eye = addType("EyeOfVorthane", UnitCategory::Air);
        eye.walkable = Tile::Any;
        UnitInfo& mine = addType("LatchedMine");
        mine.range = 1.5f;
        mine.damage = 45;
        mine.movementSpeed = 0.4f;
        for (const char* spell : {"Blizzard", "DeathAndDecay", "Whirlwind", "Bombing", "ArtilleryFire", "FlameShield",
                                  "OrcDemolish", "SeeingRed"}) {
            SpellInfo& info = spellInfo[spell];
            info.id = spell;
            info.damage = 1;
        }
        seedSessionGenerators();
        soundPlayer = [this](SoundCategory category, const std::string& key, bool, float, float, int limit) {
            if (category == SoundCategory::Spells && limit == 1) spellSounds.push_back(key);
        };
    }

    void TearDown() override {
        resetSpellWorld();
        StaticWorld::TearDown();
    }

    static void resetSpellWorld() {
        spellInfo.clear();
        unitInfo.clear();
        unitSprites.clear();
        techTree.clear();
        extraction_options.clear();
        deploymentSelectedMapId = -1;
        combatHooks = CombatHooks{};
        soundPlayer = nullptr;
    }

    static UnitInfo& addType(const std::string& type, UnitCategory category = UnitCategory::Ground) {
        UnitInfo& info = unitInfo[type];
        info.type = type;
        info.category = category;
        info.walkable = Tile::Grass;
        return info;
    }

    static float centre(int tile) { return (static_cast<float>(tile) + 0.5f) * 140.0f; }

    // A unit at a world point, holding its sub-tile as a spawner leaves it.
    static Unit& placeAt(const std::string& type, int owner, float x, float y) {
        Unit u = newUnitFromInfo(unitInfo.at(type), nextAttackableId++, owner);
        u.x = x;
        u.y = y;
        reserveTilesForUnit(u.id, type, worldToSubTile(x, y));
        return addUnit(u);
    }

    // A unit in the middle of a tile.
    static Unit& place(const std::string& type, int owner, V2i tile) {
        return placeAt(type, owner, centre(tile.x), centre(tile.y));
    }

    static Unit& unit(int id) { return *getUnitById(id); }

    static SpellContext aim(int casterId, int targetId, V2f point) {
        SpellContext ctx;
        ctx.casterId = casterId;
        ctx.targetId = targetId;
        ctx.targetPos = point;
        return ctx;
    }

    static bool cast(const std::string& key, const SpellContext& ctx) { return effectFunctions.at(key)(ctx); }

    static void tick() { updateSpells(TICK, grid); }

    // The canonical draw as the spells define it, from a copy of the generator.
    static float draw(std::mt19937& generator) {
        float u = 1.0f;
        while (u >= 1.0f) u = static_cast<float>(generator()) / 4294967296.0f;
        return u;
    }
};
