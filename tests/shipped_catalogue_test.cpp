// The shipped content pack loads through the game's own loaders without a single complaint.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include <physfs.h>

#include "buildings.h"
#include "config.h"
#include "hotkeys.h"
#include "map_objects.h"
#include "catalogue_support.h"
#include "configuration_snapshot.h"
#include "projectiles.h"
#include "races.h"
#include "sounds.h"
#include "special_effects.h"
#include "spells.h"
#include "tech_tree.h"
#include "sprites.h"
#include "textures.h"
#include "units.h"
#include "upgrades.h"

namespace {

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

struct ShippedPack : ::testing::Test {
    static std::string loadLog;
    static std::set<std::pair<SoundCategory, std::string>> soundKeys;
    static void SetUpTestSuite() {
        catalogue_test::resetCatalogues();
        before = everyConfigurationValue();
        loadConfig(std::string(CORVALE_SOURCE_DIR) + "/src/config.txt");
        catalogue_test::SoftwareRenderer renderer;
        catalogue_test::OpenAudio audio;
        mountAssets(CORVALE_SOURCE_DIR);
        testing::internal::CaptureStderr();
        loadAllRaces("", "", std::string(CORVALE_SOURCE_DIR) + "/core");
        loadLog = testing::internal::GetCapturedStderr();
        for (const auto& [key, set] : soundSets)
            if (!set.chunks.empty()) soundKeys.insert({key.category, key.key});
        PHYSFS_deinit();
    }
    static void TearDownTestSuite() { everyConfigurationValue() = before; }
    static EveryConfigurationValue before;
};
std::string ShippedPack::loadLog;
EveryConfigurationValue ShippedPack::before;
std::set<std::pair<SoundCategory, std::string>> ShippedPack::soundKeys;

TEST_F(ShippedPack, LoadsWithoutAnErrorLine) {
    EXPECT_EQ(std::count(loadLog.begin(), loadLog.end(), '\n'), 0) << loadLog.substr(0, 2000);
    EXPECT_EQ(races.count("human"), 1u);
    EXPECT_EQ(races.count("vohmathal"), 1u);
}

TEST_F(ShippedPack, EveryUnitTypeHasSpritesAndAWayToHit) {
    ASSERT_FALSE(unitInfo.empty());
    for (const auto& [type, info] : unitInfo) {
        EXPECT_EQ(unitSprites.count(type), 1u) << type;
        if (info.attackType == AttackType::Ranged) {
            EXPECT_EQ(projectileInfo.count(info.projectile), 1u) << type << " shoots " << info.projectile;
        }
    }
}

TEST_F(ShippedPack, EveryOfferIsGatedByARequirementRow) {
    for (const auto& [building, units] : buildingUnits) {
        ASSERT_EQ(buildingInfo.count(building), 1u) << building;
        EXPECT_TRUE(buildingInfo.at(building).hasProduction) << building;
        for (const std::string& unit : units) {
            EXPECT_EQ(unitRequirements.count(unit), 1u) << unit;
            ASSERT_EQ(unitInfo.count(unit), 1u) << building << " trains " << unit;
            EXPECT_FALSE(unitInfo.at(unit).civilian) << unit;
        }
    }
    for (const auto& [unit, req] : unitRequirements) {
        EXPECT_EQ(unitInfo.count(unit), 1u) << unit;
        for (const auto& b : req.requiredBuildings) EXPECT_EQ(buildingInfo.count(b), 1u) << unit << " needs " << b;
    }
    for (const auto& [building, ids] : buildingResearchTree)
        for (const std::string& id : ids) EXPECT_EQ(upgradeRequirements.count(id), 1u) << id;
    std::set<std::string> reachedByTier;
    for (const auto& [id, upgrade] : upgrades) reachedByTier.insert(upgrade.transformTo);
    for (const auto& [type, info] : buildingInfo)
        if (!info.base && reachedByTier.count(type) == 0) {
            EXPECT_EQ(buildingRequirements.count(type), 1u) << type;
        }
}

TEST_F(ShippedPack, EveryConstructibleTypeHasARequirementRowThatCanBeMet) {
    std::set<std::string> constructible;
    for (const auto& [type, info] : unitInfo) constructible.insert(info.buildMenu.begin(), info.buildMenu.end());
    for (const auto& b : constructible) EXPECT_EQ(buildingRequirements.count(b), 1u) << b << " can never be placed";
    for (const auto& [type, req] : buildingRequirements) {
        ASSERT_EQ(buildingInfo.count(type), 1u) << type;
        for (const auto& need : req.requiredBuildings) EXPECT_EQ(constructible.count(need), 1u) << type << " needs " << need;
        // Some building of the race must reach the tier (built, or grown by a Tier upgrade).
        bool reachable = req.requiredTier <= 0;
        for (const auto& [other, info] : buildingInfo)
            reachable |= info.race == buildingInfo.at(type).race && info.tier >= req.requiredTier;
        EXPECT_TRUE(reachable) << type;
    }
    for (const char* b : {"OrcStronghold", "OrcFortress"}) EXPECT_EQ(constructible.count(b), 0u) << b << " gets no build tooltip";
    EXPECT_EQ(constructible.count("OrcWatchTower"), 1u);
    ASSERT_EQ(constructible.count("OrcShipyard"), 1u);
    EXPECT_EQ(buildingInfo.at("OrcShipyard").walkable, Tile::Water);
}

TEST_F(ShippedPack, EveryEffectTagABuildingNeedsIsProvidedByItsRace) {
    std::set<std::pair<std::string, std::string>> provided;
    for (const auto& [type, info] : buildingInfo)
        if (info.providesEffect) provided.insert({info.race, *info.providesEffect});
    int needing = 0;
    for (const auto& [type, info] : buildingInfo)
        if (info.requiresEffect) {
            ++needing;
            EXPECT_EQ(provided.count({info.race, *info.requiresEffect}), 1u) << type;
        }
    EXPECT_GE(needing, 1);
}

TEST_F(ShippedPack, EverySpellNamesOneOfTheTwentyThreeEffects) {
    EXPECT_EQ(effectFunctions.size(), 23u);
    ASSERT_FALSE(spellInfo.empty());
    for (const auto& [key, spell] : spellInfo) EXPECT_TRUE(spell.effect) << key;
}

TEST_F(ShippedPack, EachRaceHasOneWorkerOneCivilianOneStartBuildingAndDropOffs) {
    for (const char* race : {"human", "vohmathal"}) {
        int workers = 0, civilians = 0, bases = 0, supply = 0, oil = 0;
        for (const auto& [type, info] : unitInfo) {
            workers += info.race == race && info.worker;
            civilians += info.race == race && info.civilian;
        }
        for (const auto& [type, info] : buildingInfo) {
            if (info.race != race) continue;
            bases += info.base;
            supply += info.supply;
            oil += info.base || info.oilDeposit;
        }
        EXPECT_EQ(workers, 1) << race << ": the start and the computer player pick the first worker they meet";
        EXPECT_EQ(civilians, 1) << race;
        EXPECT_EQ(bases, 1) << race << ": the start building is the first base type met";
        EXPECT_GE(supply, 1) << race;
        EXPECT_GE(oil, 2) << race << ": amber oil needs a drop-off besides the start building";
    }
    // Names the code asks for by string.
    for (const char* t : {"Peon", "Marine", "Berserker", "Tank", "Scavenger", "Abyssal", "Cera", "Zooid", "Civilian",
                          "LatchedMine", "EyeOfVorthane", "Sheep", "Boar", "Bird", "Grunt", "Catapult",
                          "TrollDestroyer", "DeathKnight", "TrollAxeThrower", "FighterJet", "GoblinZeppelin"})
        EXPECT_EQ(unitInfo.count(t), 1u) << t;
    for (const char* t : {"OrcWatchTower", "OrcStronghold", "OrcFortress"}) EXPECT_EQ(buildingInfo.count(t), 1u) << t;
    EXPECT_TRUE(unitInfo.at("Peon").worker) << "only a Peon may be sent to an existing site";
    EXPECT_TRUE(unitInfo.at("Civilian").civilian);
    EXPECT_TRUE(unitInfo.at("GoblinZeppelin").carrier);
    EXPECT_EQ(unitInfo.at("Scavenger").race, "human");
    for (const char* t : {"Cera", "Zooid", "Abyssal", "Berserker"}) EXPECT_EQ(unitInfo.at(t).race, "vohmathal") << t;
    for (const auto& [type, info] : unitInfo) {
        EXPECT_TRUE(info.hp > 0 && info.attackSpeed > 0.0f) << type;
        EXPECT_LE(info.buildMenu.size(), 12u) << type;
        EXPECT_TRUE(info.buildMenu.empty() || info.worker) << type << " builds but is no worker";
        for (const auto& b : info.buildMenu) EXPECT_EQ(buildingInfo.count(b), 1u) << type << " builds " << b;
    }
    for (const auto& [type, info] : buildingInfo) EXPECT_GT(info.hp, 0.0f) << type;
    for (const char* a : {"teleport_out", "teleport_in"})
        EXPECT_GT(unitSprites.at("Abyssal").animations.at(a).count, 0) << a;
}

TEST_F(ShippedPack, EveryUnitMovesAndLandsItsAttackWithinItsSwing) {
    const std::string seeingRedCaster = spellInfo.at("SeeingRed").caster;
    int fastest = speedPerTickFor(1.5f);  // a latched mine
    EXPECT_GE(fastest, 1) << "a latched mine would stand still";
    for (const auto& [type, info] : unitInfo) {
        const int speed = speedPerTickFor(info.movementSpeed);
        EXPECT_GE(speed, 1) << type << " would never move";
        fastest = std::max(fastest, type == seeingRedCaster ? static_cast<int>(speed * 1.5f) : speed);
        if (info.category == UnitCategory::Air) {
            EXPECT_EQ(info.walkable, Tile::Any) << type;
        }
        if (!info.canAttack) continue;
        if (type == "LatchedMine") {
            EXPECT_GT(info.range, 0.0f);
        } else {
            EXPECT_NE(info.attackTargets, 0) << type << " could hit nothing";
        }
        const int interval = attackIntervalFor(info.attackSpeed);
        const int spawn = unitSprites.at(type).projectileSpawnTick;
        EXPECT_GE(spawn, 1) << type;
        EXPECT_LT(spawn, type == seeingRedCaster ? interval / 2 : interval) << type << " would never land a hit";
    }
    EXPECT_GE(WAYPOINT_EPS, static_cast<float>(fastest));
    EXPECT_EQ(unitInfo.at("LatchedMine").sight, 0) << "a mine latches by its own search, never by the target scan";
    EXPECT_TRUE(unitInfo.at("LatchedMine").canAttack) << "a mine that cannot attack never walks after its victim";
}

TEST_F(ShippedPack, EverySheetIsCutIntoRealFrames) {
    ASSERT_EQ(unitSprites.count("ScavengerGold"), 1u) << "a human worker carrying a load";
    for (const auto& [type, s] : unitSprites) {
        EXPECT_TRUE(s.frameWidth > 0 && s.frameHeight > 0 && s.numFrames >= 1) << type;
        EXPECT_GE(s.attackFrames, 1) << type << ": a harvesting or polymorphed unit counts modulo it";
        EXPECT_EQ(s.attackRowOffset, s.numFrames) << type;
        EXPECT_EQ(s.attackFrameHeight, s.frameHeight) << type;
    }
    for (const auto& [type, info] : buildingInfo) {
        ASSERT_EQ(buildingSprites.count(type), 1u) << type;
        const SpriteAnimation& a = buildingSprites.at(type).animation;
        EXPECT_TRUE(a.frameWidth > 0 && a.frameHeight > 0 && a.frameCount >= 1) << type;
    }
    for (const char* t : {"Arrow", "DragonFire"}) EXPECT_EQ(projectileInfo.count(t), 1u) << t;
    for (const auto& [name, p] : projectileInfo) {
        EXPECT_TRUE(p.totalFrames >= 1 && p.frameWidth > 0 && p.frameHeight > 0) << name;
        EXPECT_TRUE(p.hitTotalFrames >= 1 && p.hitFrameWidth > 0 && p.hitFrameDuration > 0.0f) << name;
    }
    std::vector<std::string> effects = {"Explosion", "LevelUp"};
    for (const char* stem : {"GunHit_", "BloodSpray_", "BloodDropplet_", "BloodDroppletBlue_"})
        for (int i = 1; i <= 3; ++i) effects.push_back(stem + std::to_string(i));
    for (const auto& e : effects) EXPECT_EQ(specialEffectsSprites.count(e), 1u) << e;
    for (const auto& [name, e] : specialEffectsSprites)
        EXPECT_TRUE(e.frameCount >= 1 && e.frameWidth > 0 && e.loopTimes >= 1) << name;
}

TEST_F(ShippedPack, HotkeysAreFreeLettersBoundToWhatTheTypeOffers) {
    const std::string reserved = "AHMNPS";  // attack-move, hold, music, sound, pause, stop
    auto checkKey = [&](const std::string& owner, char key) {
        EXPECT_TRUE(key >= 'A' && key <= 'Z') << owner << " " << key;
        EXPECT_EQ(reserved.find(key), std::string::npos) << owner << " " << key << " also fires a global action";
    };
    ASSERT_FALSE(buildingHotkeys.empty());
    for (const auto& [building, mapping] : buildingHotkeys)
        for (const auto& [key, action] : mapping.actions) {
            checkKey(building, key);
            const std::string verb = action.label.substr(0, action.label.find(' '));
            const std::string target = action.label.substr(action.label.find(' ') + 1);
            const auto& offers = verb == "Train" ? buildingUnits[building] : buildingResearchTree[building];
            EXPECT_TRUE(contains(offers, target)) << building << " " << action.label;
        }
    ASSERT_FALSE(unitHotkeys.empty());
    for (const auto& [unit, mapping] : unitHotkeys)
        for (const auto& [key, action] : mapping.actions) {
            checkKey(unit, key);
            const std::string verb = action.label.substr(0, action.label.find(' '));
            const std::string target = action.label.substr(action.label.find(' ') + 1);
            if (verb == "Build") {
                EXPECT_TRUE(contains(unitInfo.at(unit).buildMenu, target)) << unit << " " << target;
            } else {
                ASSERT_EQ(spellInfo.count(target), 1u) << target;
                EXPECT_EQ(spellInfo.at(target).caster, unit) << target;
            }
        }
}

TEST_F(ShippedPack, EverySoundTheGamePlaysHasASet) {
    // A sound entry is one set, or an object whose members become "key.member" sets.
    auto has = [](SoundCategory c, const std::string& key) {
        return std::any_of(soundKeys.begin(), soundKeys.end(), [&](const auto& k) {
            return k.first == c && (k.second == key || k.second.rfind(key + ".", 0) == 0);
        });
    };
    for (const auto& [type, info] : unitInfo)
        for (const char* m : {".death", ".ready", ".responses"}) EXPECT_TRUE(has(SoundCategory::Unit, type + m)) << type << m;
    for (const auto& [type, info] : buildingInfo) EXPECT_TRUE(has(SoundCategory::Building, type)) << type;
    for (const auto& [type, info] : mapObjectInfo) EXPECT_TRUE(has(SoundCategory::MapObject, type)) << type;
    for (const std::string race : {"human", "vohmathal"}) {
        EXPECT_TRUE(has(SoundCategory::UnitAction, race + ".UnderAttack")) << race;
        EXPECT_TRUE(has(SoundCategory::UnitAction, race + ".WorkComplete")) << race;
        EXPECT_TRUE(has(SoundCategory::BuildingAction, race + ".UnderAttack")) << race;
    }
    for (const char* k : {"Construct", "Drill", "Sword", "Axe", "BowFire", "CatapultFire", "CatapultHit",
                          "ShipAttack", "TouchOfDarkness", "Shoot", "Laser", "Saber", "TankFire"})
        EXPECT_TRUE(has(SoundCategory::UnitAction, k)) << k;
    for (const char* k : {"Explosion", "Burning"}) EXPECT_TRUE(has(SoundCategory::BuildingAction, k)) << k;
    for (const char* k : {"Victory", "Defeat", "Error"}) EXPECT_TRUE(has(SoundCategory::Game, k)) << k;
    for (const char* k : {"Slow", "Haste", "Bloodlust", "Polymorph", "Invisibility", "UnholyArmor", "Healing",
                          "FlameShield", "FreezingBullets", "SeeingRed", "Blizzard", "DeathAndDecay", "Whirlwind",
                          "Bombing", "OrcDemolish", "ArtilleryFire", "LatchedMine", "AbyssalTeleport", "HolyVision",
                          "EyeOfVorthane"})
        EXPECT_TRUE(has(SoundCategory::Spells, k)) << k;
    EXPECT_FALSE(musicTracks.empty());
}

TEST_F(ShippedPack, OneTechTreeWithDnaCloningTankAndANodePerHumanSpell) {
    std::set<std::string> names, ids;
    for (const Tech& t : techTree) {
        EXPECT_TRUE(ids.insert(t.id).second) << t.id << ": a tree in two folders would repeat";
        names.insert(t.name);
        // A 120-pixel node with two text lines below, inside 1280 x 720, clear of the title band and Back.
        EXPECT_TRUE(t.x >= 0 && t.x + 120 <= 1280) << t.name;
        EXPECT_TRUE(t.y + 165 < 220 || (t.y > 290 && t.y + 165 < 665)) << t.name;
    }
    EXPECT_EQ(names.count("DNA cloning"), 1u);
    EXPECT_EQ(names.count("Tank"), 1u);
    for (const auto& [key, spell] : spellInfo)
        if (unitInfo.at(spell.caster).race == "human") {
            EXPECT_EQ(names.count(key), 1u) << key << " would be hidden in Extraction";
        }
}

}  // namespace
