// The behaviour hook (wandering birds and strangers, the Abyssal's teleport request), latched mines, and two seeded
// runs of spells and wandering that agree field by field.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iomanip>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "ai.h"
#include "spell_world.h"

namespace {

struct UnitBehaviour : SpellWorld {
    static void think(int id, int ticks = 1) {
        for (int i = 0; i < ticks; ++i) updateUnitAI(unit(id), TICK, grid);
    }

    static std::vector<int> randSequence(size_t count) {
        seedSessionGenerators();
        std::vector<int> draws(count);
        for (int& d : draws) d = std::rand();
        seedSessionGenerators();
        return draws;
    }
};

TEST_F(UnitBehaviour, ABirdWandersWithTheDrawsInTheirOrder) {
    const std::vector<int> r = randSequence(200);
    const int bird = place("Bird", NATURE, {10, 10}).id;
    const float x = unit(bird).x;
    const float y = unit(bird).y;
    size_t next = 0;
    bool walked = false;
    for (int decision = 0; decision < 20 && !walked; ++decision) {
        think(bird);
        ASSERT_FLOAT_EQ(unit(bird).wanderDelay, static_cast<float>((r[next++] % 400) / 100.0 + 4.0));
        int ticks = 1;
        while (unit(bird).wanderDelay != 0.0f && ticks < 600) {
            think(bird);
            ++ticks;
        }
        ASSERT_NEAR(ticks * TICK, (r[next - 1] % 400) / 100.0 + 4.0, TICK + 1e-4);
        if (r[next++] % 100 >= 31) {
            EXPECT_TRUE(unit(bird).waypoints.empty());
            continue;
        }
        const int r1 = r[next], r2 = r[next + 1], r3 = r[next + 2], r4 = r[next + 3];
        const int tx = static_cast<int>(x) + ((r1 % 2) * 2 - 1) * (r3 % 3 + 2) * 140;
        const int ty = static_cast<int>(y) + ((r2 % 2) * 2 - 1) * (r4 % 3 + 2) * 140;
        EXPECT_EQ(unit(bird).goal, (V2i{tx / 35, ty / 35}));
        EXPECT_FALSE(unit(bird).waypoints.empty());
        EXPECT_EQ(unit(bird).state, UnitState::Moving);
        next += 4;
        walked = true;
    }
    EXPECT_TRUE(walked);
    EXPECT_EQ(std::rand(), r[next]) << "no other draw was made";
    EXPECT_TRUE(lockstep.pendingCommands.empty());
}

TEST_F(UnitBehaviour, FiveLostAttemptsWaitForTheNextDelay) {
    for (TileInstance& cell : grid.tiles) cell.walkable = 0;
    const int walker = place("Footman", ENEMY, {10, 10}).id;
    mode = GameMode::Extraction;
    extraction_options = {ExtractionNode{0}, ExtractionNode{static_cast<int32_t>(ExtractionType::ELIMINATION)}};
    deploymentSelectedMapId = 1;
    const std::vector<int> r = randSequence(400);
    size_t next = 0;
    bool attempted = false;
    for (int decision = 0; decision < 40 && !attempted; ++decision) {
        think(walker);
        ++next;
        int ticks = 1;
        while (unit(walker).wanderDelay != 0.0f && ticks++ < 600) think(walker);
        attempted = r[next++] % 100 < 31;
        if (attempted) next += 20;
    }
    ASSERT_TRUE(attempted);
    EXPECT_TRUE(unit(walker).waypoints.empty()) << "every point lay on a closed tile";
    EXPECT_EQ(std::rand(), r[next]) << "five attempts of four draws, then nothing until the next delay";
}

TEST_F(UnitBehaviour, OnlyStrangersWithoutATargetWanderInAnElimination) {
    const int stranger = place("Footman", ENEMY, {4, 4}).id;
    const int engaged = place("Footman", ENEMY, {6, 4}).id;
    unit(engaged).targetId = stranger;
    const int mine = place("Footman", LOCAL, {8, 4}).id;
    const int civilian = place("Civilian", ENEMY, {10, 4}).id;
    const auto wandered = [](int id) { return unit(id).wanderDelay > 0.0f; };

    think(stranger);
    EXPECT_FALSE(wandered(stranger)) << "not outside Extraction";
    mode = GameMode::Extraction;
    extraction_options = {ExtractionNode{static_cast<int32_t>(ExtractionType::SURVIVAL)}};
    deploymentSelectedMapId = 0;
    think(stranger);
    EXPECT_FALSE(wandered(stranger)) << "not in a survival mission";
    deploymentSelectedMapId = 5;
    think(stranger);
    EXPECT_FALSE(wandered(stranger)) << "no mission chosen";

    extraction_options[0].type = static_cast<int32_t>(ExtractionType::ELIMINATION);
    deploymentSelectedMapId = 0;
    for (int id : {stranger, engaged, mine, civilian}) think(id);
    EXPECT_TRUE(wandered(stranger));
    EXPECT_FALSE(wandered(engaged));
    EXPECT_FALSE(wandered(mine));
    EXPECT_FALSE(wandered(civilian));
}

struct AbyssalTeleport : UnitBehaviour {
    int abyssal = 0;
    int target = 0;

    void SetUp() override {
        UnitBehaviour::SetUp();
        abyssal = place("Abyssal", ENEMY, {5, 5}).id;
        target = placeAt("Footman", LOCAL, centre(5) + 200.3f, centre(5) + 100.7f).id;
        unit(abyssal).targetId = target;
        getPlayerById(ENEMY)->ai = std::make_unique<TurtleAI>();
    }

    static size_t requests() { return lockstep.pendingCommands.size(); }
};

TEST_F(AbyssalTeleport, ATargetAShortWayOffIsAskedForFromWhereItsOwnerThinks) {
    think(abyssal);
    ASSERT_EQ(requests(), 1u);
    const Command& order = lockstep.pendingCommands[0];
    const CastSpellCommand& cast = std::get<CastSpellCommand>(order.payload);
    EXPECT_EQ(cast.unitId, abyssal);
    EXPECT_EQ(cast.targetId, target);
    EXPECT_EQ(cast.spell, "AbyssalTeleport");
    EXPECT_EQ(cast.targetX, static_cast<int>(unit(target).x));
    EXPECT_EQ(cast.targetY, static_cast<int>(unit(target).y));
    EXPECT_EQ(unit(abyssal).cooldowns.count("AbyssalTeleport"), 1u) << "a missing cooldown is stored as 0";

    getPlayerById(ENEMY)->ai.reset();
    think(abyssal);
    EXPECT_EQ(requests(), 1u) << "a remote human's Abyssal is asked for on that human's peer";
    Player::myStaticId = ENEMY;
    mode = GameMode::Replay;
    think(abyssal);
    EXPECT_EQ(requests(), 1u) << "a replay's log holds the request already";
    mode = GameMode::Skirmish;
    think(abyssal);
    EXPECT_EQ(requests(), 2u);
}

TEST_F(AbyssalTeleport, NothingIsAskedForTooNearTooFarOnCooldownOrWhileTeleporting) {
    Unit& t = unit(target);
    t.x = unit(abyssal).x + 64.0f;
    t.y = unit(abyssal).y;
    think(abyssal);
    EXPECT_EQ(requests(), 0u) << "64 world units is too near";
    t.x = unit(abyssal).x + 700.5f;
    think(abyssal);
    EXPECT_EQ(requests(), 0u) << "beyond five tiles";
    t.x = unit(abyssal).x + 700.0f;
    unit(abyssal).cooldowns["AbyssalTeleport"] = 0.5f;
    think(abyssal);
    EXPECT_EQ(requests(), 0u);
    unit(abyssal).cooldowns["AbyssalTeleport"] = 0.0f;
    unit(abyssal).state = UnitState::Teleporting;
    think(abyssal);
    EXPECT_EQ(requests(), 0u);
    unit(abyssal).state = UnitState::Attacking;
    t.onMap = false;
    think(abyssal);
    EXPECT_EQ(requests(), 0u) << "a target aboard a carrier";
    t.onMap = true;
    unit(abyssal).targetId = placeBuilding("Farm", LOCAL, 7, 5, 1, 1);
    think(abyssal);
    EXPECT_EQ(requests(), 0u) << "only units are teleported to";
    unit(abyssal).targetId = target;
    think(abyssal);
    EXPECT_EQ(requests(), 1u) << "exactly five tiles is near enough";
}

struct LatchedMines : UnitBehaviour {
    int mine = 0;

    void SetUp() override {
        UnitBehaviour::SetUp();
        Unit& m = place("LatchedMine", LOCAL, {10, 10});
        m.scanCounter = m.scanInterval;
        mine = m.id;
    }

    static void step(int id) { updateLatchedMine(unit(id), grid); }
};

TEST_F(LatchedMines, AMineLatchesOntoTheFirstStrangerInRange) {
    place("Footman", LOCAL, {10, 11});
    place("Footman", NATURE, {11, 10});
    place("Footman", ENEMY, {13, 10});
    const int flyer = placeAt("Gryphon", ENEMY, centre(11) + 3.7f, centre(9) + 1.2f).id;
    unit(mine).attackCounter = 40;
    step(mine);

    const Unit& m = unit(mine);
    EXPECT_EQ(m.targetId, flyer) << "an Air unit triggers the latch";
    EXPECT_EQ(m.goal, (V2i{static_cast<int>(unit(flyer).x) / 35, static_cast<int>(unit(flyer).y) / 35}));
    EXPECT_EQ(m.attackCounter, 40) << "latching does not reset the fuse";
    ASSERT_EQ(lockstep.pendingCommands.size(), 1u);
    EXPECT_EQ(lockstep.pendingCommands[0].type, CommandType::Move);
}

TEST_F(LatchedMines, AMineHeldBusyOrBetweenScansDoesNotSearch) {
    const int victim = place("Footman", ENEMY, {11, 10}).id;
    Unit& m = unit(mine);
    m.state = UnitState::HoldPosition;
    step(mine);
    m.state = UnitState::Idle;
    m.scanCounter = m.scanInterval - 1;
    step(mine);
    m.scanCounter = m.scanInterval;
    m.targetId = 999;
    step(mine);
    EXPECT_EQ(unit(mine).targetId, 999);
    EXPECT_EQ(unit(mine).goal, (V2i{-1, -1}));
    unit(victim).onMap = false;
    unit(mine).targetId = -1;
    step(mine);
    EXPECT_EQ(unit(mine).targetId, -1) << "a unit aboard a carrier is not there to be chased";
    EXPECT_TRUE(lockstep.pendingCommands.empty());
}

TEST_F(LatchedMines, TheFuseBlowsTheMineAndHurtsEveryOwnersGroundUnitsAround) {
    const int own = place("Footman", LOCAL, {10, 11}).id;
    const int neutral = place("Footman", NATURE, {11, 10}).id;
    const int enemy = place("Footman", ENEMY, {9, 10}).id;
    const int ship = place("Ship", ENEMY, {11, 11}).id;
    const int flyer = place("Gryphon", ENEMY, {10, 9}).id;
    const int distant = place("Footman", ENEMY, {12, 10}).id;
    const int aboard = place("Footman", ENEMY, {9, 9}).id;
    unit(aboard).onMap = false;
    Unit& m = unit(mine);
    m.goal = {1, 1};
    m.targetId = enemy;
    m.attackInterval = 625;
    m.attackCounter = 624;
    step(mine);
    EXPECT_TRUE(unit(mine).onMap) << "not yet";
    unit(mine).attackCounter = 625;
    step(mine);

    EXPECT_FALSE(unit(mine).onMap);
    for (int id : {own, neutral, enemy, ship}) EXPECT_FLOAT_EQ(unit(id).hp, 955.0f) << id;
    for (int id : {flyer, distant, aboard}) EXPECT_FLOAT_EQ(unit(id).hp, 1000.0f) << id;
    ASSERT_EQ(active_special_effects.size(), 1u);
    EXPECT_EQ(active_special_effects[0].x, static_cast<int>(unit(mine).x));
    EXPECT_EQ(unitsToRemove, std::vector<int>{mine}) << "the spent mine leaves the world";

    explodeLatchedMine(unit(mine), grid);
    step(mine);
    EXPECT_FLOAT_EQ(unit(own).hp, 955.0f) << "a mine explodes once";
    processUnitRemovals(grid);
    EXPECT_EQ(getUnitById(mine), nullptr);
}

TEST_F(LatchedMines, AMineKilledByAHitExplodes) {
    const int soldier = place("Footman", ENEMY, {10, 11}).id;
    const int bystander = place("Footman", ENEMY, {11, 10}).id;
    unit(soldier).damage = 30;
    unit(mine).hp = 5.0f;
    applyAttackDamage(getAttackableById(soldier), getAttackableById(mine), grid);
    EXPECT_FALSE(unit(mine).onMap);
    EXPECT_FLOAT_EQ(unit(bystander).hp, 955.0f);
    EXPECT_EQ(std::count(unitsToRemove.begin(), unitsToRemove.end(), mine), 2) << "queued twice, removed once";
}

// ---- Two seeded runs ----

struct SeededRuns : SpellWorld {
    // Everything the spells and the behaviour hook write, floats in hexadecimal so that equal means identical.
    static std::string worldState() {
        std::ostringstream out;
        out << std::hexfloat;
        for (const Unit& u : units) {
            out << "U" << u.id << " " << u.type << " " << u.x << " " << u.y << " " << u.hp << " " << u.mana << " "
                << static_cast<int>(u.state) << " " << u.goal.x << "," << u.goal.y << " " << u.targetId << " "
                << u.onMap << u.isChanneling << " " << u.wanderTimer << " " << u.wanderDelay << " "
                << u.movementSpeed << " " << u.attackInterval << " " << u.speedPerTick << " " << u.overrideFrame;
            for (const SDL_FPoint& w : u.waypoints) out << " w" << w.x << "," << w.y;
            for (const auto& [key, left] : std::map<std::string, float>(u.cooldowns.begin(), u.cooldowns.end()))
                out << " c" << key << "=" << left;
            out << "\n";
        }
        for (const ActiveSpell& s : activeSpells) {
            out << "S" << s.type << " " << s.position.x << "," << s.position.y << " " << s.duration << " "
                << s.pulseTimer << " " << s.spawnTimer << " " << s.frameTimer << " " << s.frame << " " << s.heading
                << " " << s.targetId << " " << s.casterId;
            for (const BlizzardShard& b : s.shards)
                out << " b" << b.position.x << "," << b.position.y << "," << b.dropOffset << "," << b.timer << ","
                    << b.frame << b.landed;
            out << "\n";
        }
        for (const Projectile& p : projectiles) out << "P" << p.id << " " << p.x << "," << p.y << "\n";
        for (int id : unitsToRemove) out << "R" << id << "\n";
        for (int id : mapObjectsToRemove) out << "O" << id << "\n";
        for (const Command& c : lockstep.pendingCommands) out << "C" << static_cast<int>(c.type) << " " << c.player << "\n";
        return out.str();
    }

    // A small match of its own: birds, casters of every drawing spell, an Abyssal chasing, a mine waiting.
    static std::vector<std::string> run(int ticks) {
        resetStaticWorld();  // the catalogue stays
        setMapSize(20, 20);
        addOwners(LOCAL, ENEMY, NATURE);
        nextAttackableId = 10;
        seedSessionGenerators();
        for (int i = 0; i < 3; ++i) place("Bird", NATURE, {3 + 6 * i, 4 + 5 * i});
        const int mage = place("Footman", LOCAL, {2, 2}).id;
        unit(mage).mana = 1000;
        const int abyssal = place("Abyssal", LOCAL, {15, 15}).id;
        const int prey = place("Footman", ENEMY, {12, 13}).id;
        unit(abyssal).targetId = prey;
        cast("blizzard", aim(mage, -1, {centre(8), centre(8)}));
        cast("death_and_decay", aim(mage, -1, {centre(12), centre(6)}));
        cast("whirlwind", aim(mage, -1, {centre(5), centre(14)}));
        cast("latched_mine", aim(mage, -1, {centre(12), centre(12)}));
        std::vector<std::string> states;
        for (int t = 0; t < ticks; ++t) {
            std::vector<int> ids;
            for (const Unit& u : units) ids.push_back(u.id);
            for (int id : ids) {
                Unit* u = getUnitById(id);
                if (!u) continue;
                updateUnitAI(*u, TICK, grid);
                if (u->type == "LatchedMine") {
                    ++u->scanCounter;
                    updateLatchedMine(*u, grid);
                }
            }
            updateSpells(TICK, grid);
            processUnitRemovals(grid);
            states.push_back(worldState());
        }
        return states;
    }
};

TEST_F(SeededRuns, TwoRunsFromTheSameSeedAgreeTickByTick) {
    const std::vector<std::string> first = run(700);
    const std::vector<std::string> second = run(700);
    ASSERT_EQ(first.size(), second.size());
    for (size_t t = 0; t < first.size(); ++t) ASSERT_EQ(first[t], second[t]) << "tick " << t + 1;
    EXPECT_NE(first.front(), first.back());
    EXPECT_NE(first.back().find(" w"), std::string::npos) << "some bird took a walk";
    EXPECT_NE(first.back().find("C9 "), std::string::npos) << "the Abyssal asked to teleport";
}

}  // namespace
