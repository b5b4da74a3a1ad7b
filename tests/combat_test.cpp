// Attack damage and kills: armour, texts, alarms, flight, hit effects and blood, deaths once, credit; spell damage.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "activity.h"
#include "buildings.h"
#include "game_state.h"
#include "player.h"
#include "sounds.h"
#include "special_effects.h"
#include "spells.h"
#include "sprites.h"
#include "static_world_fixture.h"
#include "units.h"

namespace {

struct SoundRequest {
    std::string key;
    float x;
    float y;
};

constexpr int LOCAL = 2;
constexpr int ENEMY = 3;
constexpr int NATURE = 4;

struct CombatWorld : StaticWorld {
    std::vector<SoundRequest> sounds;
    std::vector<int> scriptDeaths;

    void SetUp() override {
        StaticWorld::SetUp();
        resetCombat();
        addOwners(LOCAL, ENEMY, NATURE);
        UNDER_ATTACK_COOLDOWN = 5.0f;
        gameTime = 50.0f;
        nextAttackableId = 10;
        addType("Footman", "human", true);
        addType("Grunt", "vohmathal", true);
        addType("Gryphon", "human", false, UnitCategory::Air);
        addType("Tank", "human", false).splashRadius = 1;
        addType("Marine", "human", true);
        addType("Berserker", "vohmathal", true);
        soundPlayer = [this](SoundCategory, const std::string& key, bool, float x, float y, int) {
            sounds.push_back({key, x, y});
        };
        combatHooks.unitDeathScript = [this](int id) { scriptDeaths.push_back(id); };
    }

    void TearDown() override {
        resetCombat();
        StaticWorld::TearDown();
    }

    static void resetCombat() {
        soundPlayer = nullptr;
        combatHooks = CombatHooks{};
        unitInfo.clear();
        unitSprites.clear();
        specialEffectsSprites.clear();
        spellInfo.clear();
        UNDER_ATTACK_COOLDOWN = 0.0f;
        gameTime = 0.0f;
    }

    static std::vector<std::string> activities() {
        std::vector<std::string> texts;
        for (const Activity& a : activityQueue) texts.push_back(a.text);
        return texts;
    }

    static UnitInfo& addType(const std::string& type, const std::string& race, bool biological,
                             UnitCategory category = UnitCategory::Ground) {
        UnitInfo& info = unitInfo[type];
        info.type = type;
        info.race = race;
        info.isBiological = biological;
        info.category = category;
        info.hp = 40;
        return info;
    }

    // A unit standing at the centre of a sub-tile, holding it, as a spawner leaves it.
    static Unit& place(const std::string& type, int owner, V2i sub, int damage = 5) {
        Unit u = newUnitFromInfo(unitInfo.at(type), nextAttackableId++, owner);
        u.x = static_cast<float>(sub.x) * 35.0f + 17.5f;
        u.y = static_cast<float>(sub.y) * 35.0f + 17.5f;
        u.damage = damage;
        u.piercing = 0;
        reserveTilesForUnit(u.id, type, sub);
        return addUnit(u);
    }

    // A unit busy with a target of its own: struck, it neither flees nor looks for another.
    static Unit& placeEngaged(const std::string& type, int owner, V2i sub, int damage = 5) {
        Unit& u = place(type, owner, sub, damage);
        u.targetId = 999;
        u.state = UnitState::Attacking;
        return u;
    }

    static Unit& unit(int id) { return *getUnitById(id); }
    static void hit(int attacker, int target) {
        applyAttackDamage(getAttackableById(attacker), getAttackableById(target), grid);
    }

    size_t soundsWithKey(const std::string& key) const {
        return static_cast<size_t>(
            std::count_if(sounds.begin(), sounds.end(), [&](const SoundRequest& s) { return s.key == key; }));
    }
    static std::vector<std::string> texts() {
        std::vector<std::string> all;
        for (const FloatingText& t : floatingTexts) all.push_back(t.text);
        return all;
    }
};

TEST_F(CombatWorld, MeleeUnitKillsInTwoSwingsAndTheDeathIsProcessedOnce) {
    const int attacker = place("Footman", LOCAL, {4, 4}).id;
    Unit& target = placeEngaged("Grunt", ENEMY, {6, 4});
    target.hp = 10.0f;
    const int targetId = target.id;
    unit(attacker).targetId = targetId;
    unit(attacker).isAttacking = true;

    hit(attacker, targetId);
    EXPECT_FLOAT_EQ(unit(targetId).hp, 5.0f);
    EXPECT_TRUE(unitsToRemove.empty());
    hit(attacker, targetId);
    hit(attacker, targetId);  // a later hit in the same tick lowers hp without a second death

    EXPECT_FLOAT_EQ(unit(targetId).hp, -5.0f);
    EXPECT_TRUE(unit(targetId).deathHandled);
    EXPECT_EQ(unitsToRemove, std::vector<int>{targetId});
    EXPECT_EQ(deadUnits.size(), 1u);
    EXPECT_EQ(scriptDeaths, std::vector<int>{targetId});
    EXPECT_EQ(soundsWithKey("Grunt.death"), 1u);
    EXPECT_EQ(isTileReserved({6, 4}), FREE_SUB_TILE) << "the dead unit's ground is freed at once";

    const Unit& a = unit(attacker);
    EXPECT_EQ(a.targetId, -1);
    EXPECT_FALSE(a.isAttacking);
    EXPECT_EQ(a.scanCounter, a.scanInterval) << "it looks for a new target on its next tick";

    const int second = place("Footman", LOCAL, {8, 4}).id;
    hit(second, targetId);
    EXPECT_EQ(unit(attacker).kills, 1);
    EXPECT_EQ(unit(second).kills, 0) << "only the hit that killed gives credit";
}

TEST_F(CombatWorld, ArmourLowersDamageButNeverHeals) {
    const int attacker = place("Footman", LOCAL, {4, 4}, 5).id;
    unit(attacker).piercing = 2;
    const int target = placeEngaged("Grunt", ENEMY, {6, 4}).id;

    hit(attacker, target);
    EXPECT_FLOAT_EQ(unit(target).hp, 33.0f);
    ASSERT_EQ(floatingTexts.size(), 1u);
    EXPECT_EQ(floatingTexts[0].text, "7");

    floatingTexts.clear();
    unit(target).armor = 9;
    hit(attacker, target);
    EXPECT_FLOAT_EQ(unit(target).hp, 33.0f) << "armour 9 against 7 blocks the hit instead of adding 2";
    EXPECT_EQ(texts(), std::vector<std::string>{"0"});
}

TEST_F(CombatWorld, ProtectedOrBoardedUnitsAreNotTouched) {
    const int attacker = place("Footman", LOCAL, {4, 4}).id;
    const int aboard = place("Grunt", ENEMY, {8, 8}).id;
    const int invulnerable = place("Grunt", ENEMY, {12, 8}).id;
    const int armoured = place("Grunt", ENEMY, {16, 8}).id;
    unit(aboard).onMap = false;
    unit(invulnerable).invulnerable = true;
    unit(armoured).unholyArmor = true;
    spellInfo["blast"].damage = 10;
    for (int target : {aboard, invulnerable, armoured}) {
        unit(target).hp = 1.0f;
        hit(attacker, target);
        applySpellAttackDamage("blast", getAttackableById(target), grid);
        EXPECT_FLOAT_EQ(unit(target).hp, 1.0f);
        EXPECT_EQ(unit(target).state, UnitState::Idle) << "no flight either";
    }
    EXPECT_TRUE(floatingTexts.empty());
    EXPECT_TRUE(unitsToRemove.empty());
}

TEST_F(CombatWorld, IdleUnitWithoutTargetRetreatsByTheAngleList) {
    const int attacker = place("Grunt", ENEMY, {20, 40}).id;
    const int target = place("Footman", LOCAL, {30, 40}).id;
    hit(attacker, target);
    const Unit& t = unit(target);
    EXPECT_EQ(t.state, UnitState::OrderedMove);
    EXPECT_EQ(t.goal, worldToSubTile(t.x + 5.0f * 140.0f, t.y)) << "5 tiles straight away";
    EXPECT_EQ(texts(), (std::vector<std::string>{"RETREATING!", "5"}));

    const int westOf = place("Grunt", ENEMY, {20, 60}).id;
    const int other = place("Footman", LOCAL, {30, 60}).id;
    const Unit& o = unit(other);
    const V2i straight = worldToSubTile(o.x + 700.0f, o.y);
    grid.at(straight.x / 4, straight.y / 4).walkable = 0;  // angle 0 blocked, +0.785 comes next
    hit(westOf, other);
    EXPECT_EQ(o.goal, worldToSubTile(o.x + std::cos(0.785f) * 700.0f, o.y + std::sin(0.785f) * 700.0f));
}

TEST_F(CombatWorld, UnitWithEveryDirectionBlockedScramblesOrIsTrapped) {
    for (TileInstance& tile : grid.tiles) tile.walkable = 0;
    const int attacker = place("Grunt", ENEMY, {34, 40}).id;
    const int target = place("Footman", LOCAL, {41, 41}).id;
    grid.at(10, 10).walkable = 1;  // the target's own tile, 16 sub-tiles
    hit(attacker, target);
    EXPECT_EQ(texts()[0], "SCRAMBLE");
    EXPECT_NE(unit(target).goal, (V2i{41, 41}));
    EXPECT_EQ(unit(target).goal.x / 4, 10);

    floatingTexts.clear();
    grid.at(10, 10).walkable = 0;
    unit(target).state = UnitState::Idle;
    hit(attacker, target);
    EXPECT_EQ(texts()[0], "TRAPPED!");
}

TEST_F(CombatWorld, EngagedOrWalkingUnitDoesNotFlee) {
    const int attacker = place("Grunt", ENEMY, {20, 40}).id;
    const int engaged = placeEngaged("Footman", LOCAL, {30, 40}).id;
    const int walking = place("Footman", LOCAL, {30, 50}).id;
    unit(walking).state = UnitState::Moving;
    hit(attacker, engaged);
    hit(attacker, walking);
    EXPECT_EQ(unit(engaged).state, UnitState::Attacking);
    EXPECT_EQ(unit(walking).state, UnitState::Moving);
    for (const std::string& text : texts()) EXPECT_EQ(text, "5");
}

TEST_F(CombatWorld, AlarmsKeepTheirCooldownPerKindAndRestartWithEachMatch) {
    const int attacker = place("Grunt", ENEMY, {4, 4}).id;
    const int mine = placeEngaged("Footman", LOCAL, {6, 4}).id;
    const int theirs = placeEngaged("Grunt", ENEMY, {8, 4}).id;
    const int base = placeBuilding("Hall", LOCAL, 10, 10, 2, 2);

    hit(attacker, mine);
    gameTime = 54.9f;
    hit(attacker, mine);
    hit(attacker, theirs);
    EXPECT_EQ(soundsWithKey("human.UnderAttack"), 1u);

    hit(attacker, base);
    ASSERT_EQ(soundsWithKey("human.UnderAttack"), 2u) << "a unit alarm does not delay a building alarm";

    gameTime = 55.0f;
    hit(attacker, mine);
    EXPECT_EQ(soundsWithKey("human.UnderAttack"), 3u) << "5 s after the first";

    resetUnderAttackAlarms();  // what a session start does
    gameTime += 1.0f;
    hit(attacker, mine);
    hit(attacker, base);
    EXPECT_EQ(soundsWithKey("human.UnderAttack"), 5u) << "the last match's alarms hold nothing back";
}

TEST_F(CombatWorld, TowerDestroyingABuildingClearsItsTargetAndTheRuinIsHeardAtItsCentre) {
    const int tower = placeBuilding("Tower", LOCAL, 2, 2, 1, 1);
    towers.push_back(Tower{tower, 1.0f, 4, 0.0f, 6.0f, -1});
    const int hall = placeBuilding("Hall", ENEMY, 6, 3, 3, 2);
    getBuildingById(hall)->hp = 4.0f;
    towers[0].targetId = hall;

    hit(tower, hall);
    EXPECT_EQ(towers[0].targetId, -1);
    EXPECT_EQ(buildingsToRemove, std::vector<int>{hall});
    EXPECT_TRUE(grid.walkable(8, 4, Tile::Grass)) << "the footprint is walkable again";
    ASSERT_EQ(soundsWithKey("Explosion"), 1u);
    EXPECT_FLOAT_EQ(sounds.back().x, 6 * 140.0f + 210.0f) << "world units, not tile numbers";
    EXPECT_FLOAT_EQ(sounds.back().y, 3 * 140.0f + 140.0f);

    // A spell's kill frees the footprint too and raises no alarm for another player's building.
    spellInfo["blast"].damage = 30;
    const int keep = placeBuilding("Hall", ENEMY, 12, 12, 2, 2);
    getBuildingById(keep)->hp = 20.0f;
    applySpellAttackDamage("blast", getAttackableById(keep), grid);
    EXPECT_EQ(buildingsToRemove, (std::vector<int>{hall, keep}));
    EXPECT_TRUE(grid.walkable(13, 13, Tile::Grass));
    EXPECT_FLOAT_EQ(sounds.back().x, 12 * 140.0f + 140.0f);
    EXPECT_EQ(soundsWithKey("human.UnderAttack"), 0u);
}

TEST_F(CombatWorld, SplashStrikesAnAirTargetAndOnlyTheGroundAroundIt) {
    const int tank = place("Tank", LOCAL, {4, 4}).id;
    const int flyer = place("Gryphon", ENEMY, {20, 20}).id;
    const int nearFlyer = place("Gryphon", ENEMY, {21, 20}).id;
    const int nearGround = place("Grunt", ENEMY, {22, 20}).id;
    const int farGround = place("Grunt", ENEMY, {30, 20}).id;
    for (int id : {flyer, nearFlyer, nearGround, farGround}) {
        unit(id).targetId = tank;
        unit(id).state = UnitState::Attacking;
    }

    applyDirectHit(unit(tank), getAttackableById(flyer), grid);
    EXPECT_FLOAT_EQ(unit(flyer).hp, 35.0f) << "the struck air unit takes the hit";
    EXPECT_FLOAT_EQ(unit(nearFlyer).hp, 40.0f);
    EXPECT_FLOAT_EQ(unit(nearGround).hp, 35.0f);
    EXPECT_FLOAT_EQ(unit(farGround).hp, 40.0f);
    ASSERT_EQ(active_special_effects.size(), 1u);
    EXPECT_EQ(active_special_effects[0].x, truncToInt(unit(flyer).x));

    const int footman = place("Footman", LOCAL, {6, 4}).id;
    applyDirectHit(unit(footman), getAttackableById(nearFlyer), grid);
    EXPECT_FLOAT_EQ(unit(nearFlyer).hp, 35.0f) << "without splash only the target";
    EXPECT_FLOAT_EQ(unit(nearGround).hp, 35.0f);
}

TEST_F(CombatWorld, HitEffectsScatterOverTheSpriteAndDoNotPileUp) {
    UnitSpriteMeta meta;
    meta.frameWidth = 64;
    meta.frameHeight = 64;
    unitSprites["Grunt"] = meta;
    const int marine = place("Marine", LOCAL, {4, 4}).id;
    const int berserker = place("Berserker", ENEMY, {4, 8}).id;
    const int target = placeEngaged("Grunt", ENEMY, {12, 4}).id;
    const Unit& t = unit(target);

    std::srand(3);
    hit(marine, target);
    ASSERT_EQ(active_special_effects.size(), 1u);
    const ActiveSpecialEffect& gun = active_special_effects[0];
    EXPECT_GE(gun.x, truncToInt(t.x) - 24);
    EXPECT_LT(gun.x, truncToInt(t.x) + 25);
    std::srand(3);
    hit(marine, target);
    EXPECT_EQ(active_special_effects.size(), 1u) << "the same effect at the same spot is not added twice";

    hit(berserker, target);
    ASSERT_EQ(active_special_effects.size(), 2u);
    EXPECT_NEAR(active_special_effects[1].rotation, std::atan2(-4.0f * 35.0f, 8.0f * 35.0f) * 57.29578f, 1e-3f);

    unitSprites["Grunt"].scaleMultiplier = 0.0f;  // nothing to scatter over
    unitSprites["Grunt"].frameWidth = 0;
    active_special_effects.clear();
    hit(marine, target);
    ASSERT_EQ(active_special_effects.size(), 1u);
    EXPECT_EQ(active_special_effects[0].x, truncToInt(t.x));
}

// A live effect of the same key closer than 10 world units keeps the new one out; one exactly 10 away, or of
// another key, does not.
TEST_F(CombatWorld, AHitEffectIsLeftOutOnlyBesideALiveEffectOfItsOwnKey) {
    UnitSpriteMeta meta;
    meta.scaleMultiplier = 0.0f;  // nothing to scatter over: the effect lands on the target's position
    unitSprites["Grunt"] = meta;
    const int marine = place("Marine", LOCAL, {4, 4}).id;
    const int target = placeEngaged("Grunt", ENEMY, {12, 4}).id;
    std::srand(3);
    hit(marine, target);
    ASSERT_EQ(active_special_effects.size(), 1u);
    const ActiveSpecialEffect made = active_special_effects[0];
    const struct {
        int dx;
        int dy;
        bool sameKey;
        bool added;
    } cases[] = {{0, 0, true, false},  {9, 0, true, false},  {0, -9, true, false}, {7, 7, true, false},
                 {-9, -4, true, false}, {10, 0, true, true}, {6, -8, true, true},  {0, 10, true, true},
                 {0, 0, false, true},  {3, 3, false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.dx) + "," + std::to_string(c.dy) + (c.sameKey ? " same key" : " other key"));
        active_special_effects.clear();
        ActiveSpecialEffect live = made;
        live.x += c.dx;
        live.y += c.dy;
        if (!c.sameKey) live.spriteKey = "BloodSpray_1";
        active_special_effects.push_back(live);
        unit(target).hp = 40.0f;
        std::srand(3);
        hit(marine, target);
        EXPECT_EQ(active_special_effects.size(), c.added ? 2u : 1u);
    }
}

TEST_F(CombatWorld, StruckBiologicalUnitsBleedTheirRacesColour) {
    for (const char* key : {"BloodDropplet_1", "BloodDropplet_2", "BloodDropplet_3", "BloodDroppletBlue_1",
                            "BloodDroppletBlue_2", "BloodDroppletBlue_3"})
        specialEffectsSprites[key].scale = 1.0f;
    const int attacker = place("Grunt", ENEMY, {4, 4}).id;
    const int human = placeEngaged("Footman", LOCAL, {12, 4}).id;
    const int vohmathal = placeEngaged("Grunt", ENEMY, {4, 12}).id;
    const int machine = placeEngaged("Tank", LOCAL, {12, 12}).id;
    hit(attacker, human);
    hit(attacker, vohmathal);
    hit(attacker, machine);
    ASSERT_EQ(grid.at(3, 1).decals.size(), 1u);
    EXPECT_EQ(grid.at(3, 1).decals[0].spriteKey.rfind("BloodDropplet_", 0), 0u);
    ASSERT_EQ(grid.at(1, 3).decals.size(), 1u);
    EXPECT_EQ(grid.at(1, 3).decals[0].spriteKey.rfind("BloodDroppletBlue_", 0), 0u);
    EXPECT_TRUE(grid.at(3, 3).decals.empty());
}

TEST_F(CombatWorld, TankHittingABuildingShakesItsFootprint) {
    const int tank = place("Tank", LOCAL, {4, 8}).id;
    const int hall = placeBuilding("Hall", ENEMY, 6, 6, 2, 3);
    hit(tank, hall);
    ASSERT_EQ(active_special_effects.size(), 1u);
    const ActiveSpecialEffect& e = active_special_effects[0];
    EXPECT_GE(e.x, 6 * 140);
    EXPECT_LT(e.x, 8 * 140);
    EXPECT_GE(e.y, 6 * 140);
    EXPECT_LT(e.y, 9 * 140);
}

TEST_F(CombatWorld, ExtractionReportsTheEnemiesLeftAndCreditsExperience) {
    mode = GameMode::Extraction;
    Player* enemy = getPlayerById(ENEMY);
    for (int i = 0; i < 9; ++i) enemy->unitIds.push_back(100 + i);  // with the prey, which storing lists: 10
    int granted = 0;
    combatHooks.grantUnitExp = [&](Unit&, int xp) {
        granted += xp;
        return true;
    };
    const int hunter = place("Footman", LOCAL, {4, 4}, 50).id;
    Unit& prey = placeEngaged("Grunt", ENEMY, {6, 4});
    prey.expGain = 25;
    const int preyId = prey.id;

    hit(hunter, preyId);
    EXPECT_EQ(activities(), std::vector<std::string>{"[System]: Enemy units remaining 10"});
    EXPECT_EQ(granted, 25);

    enemy->unitIds.clear();
    hit(hunter, placeEngaged("Grunt", ENEMY, {8, 4}).id);
    EXPECT_EQ(activities().back(), "[System]: All enemies have been neutralized, you can extract safely");
}

TEST_F(CombatWorld, SpellDamageTakesArmourWithoutHealingAndKillsOnce) {
    spellInfo["blast"].damage = 10;
    Unit& target = placeEngaged("Footman", LOCAL, {6, 4});
    target.armor = 3;
    const int id = target.id;
    applySpellAttackDamage("blast", &target, grid);
    EXPECT_FLOAT_EQ(unit(id).hp, 33.0f);
    EXPECT_EQ(soundsWithKey("human.UnderAttack"), 1u);

    unit(id).armor = 12;
    applySpellAttackDamage("blast", getAttackableById(id), grid);
    EXPECT_FLOAT_EQ(unit(id).hp, 33.0f) << "armour 12 blocks a 10 instead of healing 2";

    unit(id).armor = 0;
    unit(id).hp = 0.0f;
    applySpellAttackDamage("blast", getAttackableById(id), grid);
    applySpellAttackDamage("blast", getAttackableById(id), grid);
    EXPECT_EQ(unitsToRemove, std::vector<int>{id});
    EXPECT_EQ(scriptDeaths, std::vector<int>{id});

    applySpellAttackDamage("no such spell", getAttackableById(id), grid);
    applySpellAttackDamage("blast", nullptr, grid);
    EXPECT_FLOAT_EQ(unit(id).hp, -20.0f);
}

}  // namespace
