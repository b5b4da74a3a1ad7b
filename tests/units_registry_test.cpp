// The unit registry: spawn values, selection, deferred removal, corpses and floating texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "front_list_script.h"
#include "world_fixture.h"

namespace {

using UnitRegistry = SmallWorld;

Unit withId(int id) {
    Unit u;
    u.id = id;
    u.type = "Footman";
    return u;
}

void expectIndexMatchesVector() {
    ASSERT_EQ(unitIdToIndex.size(), units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        EXPECT_EQ(unitIdToIndex.at(units[i].id), i);
        EXPECT_EQ(getUnitById(units[i].id), &units[i]);
    }
}

TEST_F(UnitRegistry, NewUnitTakesItsStatsAndTickValuesFromTheCatalogue) {
    UnitInfo info;
    info.type = "Grunt";
    info.hp = 60;
    info.armor = 4;
    info.attackSpeed = 0.7f;
    info.worker = true;
    Unit u = newUnitFromInfo(info, 123, 2);
    EXPECT_EQ(u.id, 123);
    EXPECT_EQ(u.playerId, 2);
    EXPECT_EQ(u.type, "Grunt");
    EXPECT_FLOAT_EQ(u.hp, 60.0f);
    EXPECT_FLOAT_EQ(u.maxHp, 60.0f);
    EXPECT_EQ(u.armor, 0) << "catalogue armour is not copied";
    EXPECT_TRUE(u.worker);
    EXPECT_EQ(u.scanInterval, 62);
    EXPECT_EQ(u.attackInterval, 89);
    EXPECT_EQ(u.speedPerTick, 0) << "speed 1 at the 0.016 s tick truncates to 0";
    EXPECT_EQ(u.miningRetryTicks, 0);
    EXPECT_EQ(u.miningPatienceTicks, 73);
    EXPECT_EQ(u.state, UnitState::Idle);
    EXPECT_EQ(u.targetId, -1);
    EXPECT_TRUE(u.onMap);

    info.attackSpeed = 2.0f;
    UNIT_SPEED = 200.0f;
    u = newUnitFromInfo(info, 1, 2);
    EXPECT_EQ(u.attackInterval, 31);
    EXPECT_EQ(u.speedPerTick, 3);

    info.attackSpeed = 0.0f;
    EXPECT_EQ(newUnitFromInfo(info, 1, 2).attackInterval, 2147483520) << "a zero speed saturates";
}

TEST_F(UnitRegistry, CopiedUnitOwnsItsOrderQueue) {
    Unit a = withId(4);
    a.orders.push_back({CommandType::AttackMove, AttackMove{4, 10, 12, false}});
    Unit b = a;
    b.orders.push_back({CommandType::Move, MoveCommand{{4}, 1, 1, true}});
    std::get<AttackMove>(b.orders.front().command).x = 99;
    ASSERT_EQ(a.orders.size(), 1u);
    EXPECT_EQ(std::get<AttackMove>(a.orders.front().command).x, 10);
}

// Every operation the order queue offers, in mixes a unit meets, against a plain list.
TEST(QueuedOrders, AnswerLikeAPlainListThroughPushesTakesCutsClearsAndMoves) {
    struct Case {
        const char* what;
        const char* ops;  // as playFrontListScript reads them
    };
    const Case cases[] = {
        {"orders queued and all taken", "bbbttt"},
        {"orders queued while the front ones are taken", "bbtbtbtbbtt"},
        {"one taken of many, then more queued", "bbbbbtbbtt"},
        {"pushed in front of a half-taken queue", "bbbbttfftt"},
        {"cut to the front after takes", "bbbbbttkbt"},
        {"a clear in the middle", "bbtcbbt"},
        {"moved with a taken front", "bbbtmbtt"},
        {"moved when empty, then used", "mbbtm"},
    };
    const auto order = [](int n) { return UnitCommandAction{CommandType::AttackMove, AttackMove{n, n, -n, false}}; };
    const auto same = [](const UnitCommandAction& a, const UnitCommandAction& b) {
        const AttackMove& x = std::get<AttackMove>(a.command);
        const AttackMove& y = std::get<AttackMove>(b.command);
        return x.unitId == y.unitId && x.x == y.x && x.y == y.y;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        playFrontListScript<QueuedOrders, UnitCommandAction>(c.ops, order, same);
    }
}

// Every operation on the cooldowns, in mixes the spells meet, against an ordered map: the same entries in the same
// (key) order after each.
TEST(SpellCooldowns, AnswerLikeAnOrderedMapThroughWritesLooksAndCountdowns) {
    struct Step {
        const char* key;
        float write;  // NAN: only looked at through operator[], which makes a missing entry at 0
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"keys written in descending order", {{"slow", 1.0f}, {"haste", 2.0f}, {"bloodlust", 3.0f}}},
        {"a key written again", {{"b", 1.0f}, {"a", 2.0f}, {"b", 5.0f}}},
        {"a look at a missing key makes it", {{"m", NAN}, {"a", 1.0f}, {"z", NAN}}},
        {"keys that share a start", {{"Frost", 1.0f}, {"FrostNova", 2.0f}, {"Fro", 3.0f}, {"", 4.0f}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Unit u;
        std::map<std::string, float> plain;
        for (const Step& step : c.steps) {
            if (std::isnan(step.write)) {
                EXPECT_EQ(u.cooldowns[step.key], plain[step.key]);
            } else {
                u.cooldowns[step.key] = step.write;
                plain[step.key] = step.write;
            }
        }
        updateCooldowns(u, 0.5f);
        for (auto& [key, left] : plain)
            if (left > 0.0f) left -= 0.5f;
        using Entries = std::vector<std::pair<std::string, float>>;
        EXPECT_EQ(Entries(u.cooldowns.begin(), u.cooldowns.end()), Entries(plain.begin(), plain.end()))
            << "kept in key order, the order the checksum reads them in";
        for (const auto& [key, left] : plain) {
            ASSERT_EQ(u.cooldowns.count(key), 1u);
            EXPECT_EQ(u.cooldowns.at(key), left);
            EXPECT_EQ(u.cooldowns.find(key)->second, left);
        }
        EXPECT_EQ(u.cooldowns.count("never"), 0u);
        EXPECT_TRUE(u.cooldowns.find("never") == u.cooldowns.end());
        EXPECT_THROW(u.cooldowns.at("never"), std::out_of_range);
    }
}

TEST_F(UnitRegistry, TheChecksumReadsCooldownsByKeyNotByWhenTheyWereWritten) {
    const auto checksumWith = [](const std::vector<std::pair<std::string, float>>& writes) {
        units.clear();
        unitIdToIndex.clear();
        Unit u = withId(5);
        for (const auto& [key, left] : writes) u.cooldowns[key] = left;
        addUnit(u);
        return worldChecksum();
    };
    const uint64_t written = checksumWith({{"slow", 1.0f}, {"haste", 2.0f}});
    EXPECT_EQ(checksumWith({{"haste", 2.0f}, {"slow", 1.0f}}), written);
    EXPECT_NE(checksumWith({{"haste", 2.0f}, {"slow", 1.5f}}), written);
    EXPECT_NE(checksumWith({{"haste", 2.0f}}), written);
}

TEST_F(UnitRegistry, SelectionKeepsOrderAndHoldsEachIdOnce) {
    for (int id : {7, 3, 7, 5}) addToSelection(id);
    EXPECT_EQ(selectedUnits, (std::vector<int>{7, 3, 5}));
    removeFromSelection(3);
    removeFromSelection(9);
    EXPECT_EQ(selectedUnits, (std::vector<int>{7, 5}));
    EXPECT_TRUE(isSelected(5));
    EXPECT_FALSE(isSelected(3));

    EXPECT_EQ(getUnitById(5), nullptr);
    addUnit(withId(5));
    EXPECT_EQ(getFirstSelectedUnit(), nullptr) << "the first selected id has no unit";
    ASSERT_NE(getSelectedUnitById(5), nullptr);
    EXPECT_EQ(getSelectedUnitById(5)->id, 5);
    addUnit(withId(7));
    ASSERT_NE(getFirstSelectedUnit(), nullptr);
    EXPECT_EQ(getFirstSelectedUnit()->id, 7);
    clearUnitSelection();
    EXPECT_EQ(getSelectedUnitById(5), nullptr);
}

TEST_F(UnitRegistry, QueuedRemovalsRunOnceEachInAscendingOrder) {
    for (int id : {9, 4, 9, 7}) addUnitForRemoval(id);
    EXPECT_EQ(drainUnitRemovalQueue(), (std::vector<int>{4, 7, 9}));
    EXPECT_TRUE(unitsToRemove.empty());
}

TEST_F(UnitRegistry, RemovalLeavesEveryOtherIdFindingItsUnit) {
    nextAttackableId = 3;
    for (int i = 0; i < 5; ++i) place("Footman", {i + 1, 2});  // ids 3 to 7
    nextAttackableId = 9;
    place("Footman", {8, 8});
    addToSelection(4);
    selectedUnits.push_back(4);
    for (int id : {9, 4, 9, 7, 42}) addUnitForRemoval(id);
    processUnitRemovals(grid);

    std::vector<int> left;
    for (const Unit& u : units) left.push_back(u.id);
    EXPECT_EQ(left, (std::vector<int>{3, 5, 6}));
    expectIndexMatchesVector();
    EXPECT_EQ(unitIdToIndex.count(4), 0u);
    EXPECT_TRUE(selectedUnits.empty());
    EXPECT_FALSE(isSelected(4));
    EXPECT_EQ(cell(2, 2), 0) << "a removed unit's sub-tile is free";
    EXPECT_EQ(cell(8, 8), 0);
    EXPECT_EQ(cell(3, 2), 5);
    EXPECT_EQ(unitOccupancyRegistry.count(9), 0u);
    EXPECT_TRUE(unitsToRemove.empty());
}

TEST_F(UnitRegistry, RemovalOfAnUnknownTypeIsReportedEvenWithItsOwnerGone) {
    Unit stray = withId(20);
    stray.type = "Dodo";
    stray.playerId = 77;  // no such player
    addUnit(stray);
    addUnitForRemoval(20);
    testing::internal::CaptureStderr();
    processUnitRemovals(grid);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[UnitInfo] Unknown unit type: Dodo\n");
    EXPECT_EQ(getUnitById(20), nullptr);
}

TEST_F(UnitRegistry, RemovingTheMiddleUnitShiftsTheIndexOfTheLaterOnes) {
    for (int id : {10, 11, 12, 13, 14}) addUnit(withId(id));
    EXPECT_TRUE(removeUnit(12));
    EXPECT_FALSE(removeUnit(12));
    EXPECT_EQ(unitIdToIndex.at(13), 2u);
    EXPECT_EQ(unitIdToIndex.at(14), 3u);
    expectIndexMatchesVector();
}

TEST_F(UnitRegistry, ABatchOfRemovalsKeepsTheOrderOfEverythingThatStays) {
    struct Case {
        std::vector<int> leaving;
        std::vector<int> left;
    };
    const Case cases[] = {
        {{3}, {4, 5, 6, 7, 8}},
        {{8}, {3, 4, 5, 6, 7}},
        {{4, 5, 7}, {3, 6, 8}},
        {{3, 4, 5, 6, 7, 8}, {}},
    };
    for (const Case& c : cases) {
        SetUp();
        Player& odd = addPlayer(1);
        Player& even = addPlayer(2);
        for (int id = 3; id <= 8; ++id) addUnit(newUnitFromInfo(unitInfo.at("Footman"), id, id % 2 ? 1 : 2));
        odd.unitIds.push_back(4);  // another's unit listed: only the owner's list lets it go
        for (int id = 8; id >= 3; --id) addToSelection(id);
        for (int id : c.leaving) addUnitForRemoval(id);
        processUnitRemovals(grid);

        std::vector<int> registry, oddList, evenList, selection(c.left.rbegin(), c.left.rend());
        for (const Unit& u : units) registry.push_back(u.id);
        for (int id : c.left) (id % 2 ? oddList : evenList).push_back(id);
        oddList.push_back(4);
        EXPECT_EQ(registry, c.left);
        expectIndexMatchesVector();
        EXPECT_EQ(odd.unitIds, oddList);
        EXPECT_EQ(even.unitIds, evenList);
        EXPECT_EQ(selectedUnits, selection);
        EXPECT_EQ(selectedUnitsSet.size(), c.left.size());
    }
}

// Each unit that a batch moves down keeps everything it held: its names (short, and long enough to live on the
// heap), its walk, its route, its orders, its cooldowns and its numbers.
TEST_F(UnitRegistry, UnitsMovedByABatchOfRemovalsKeepEverythingTheyHeld) {
    const auto nameOf = [](int id) {
        return id % 2 ? "N" + std::to_string(id) : "a nickname long enough for the heap, unit " + std::to_string(id);
    };
    const auto fill = [&](Unit& u) {
        const float f = static_cast<float>(u.id);
        u.nickname = nameOf(u.id);
        u.hp = 100.0f + f;
        u.kills = u.id * 3;
        u.nearbyTiles = {{u.id, 1}, {u.id, 2}};
        u.waypoints.push_back({f, 2.0f * f});
        u.waypoints.push_back({f + 1.0f, 2.0f * f});
        u.waypoints.pop_front();
        u.route = {{u.id, u.id}, {u.id + 1, u.id}};
        u.orders.push_back({CommandType::Move, MoveCommand{{u.id}, u.id, -u.id, false}});
        u.cooldowns["Haste"] = f;
    };
    const std::vector<std::vector<int>> batches = {{3}, {8}, {4, 5, 7}, {3, 8}, {5, 6}, {3, 4, 5, 6, 7}};
    for (const std::vector<int>& leaving : batches) {
        SetUp();
        for (int id = 3; id <= 8; ++id) {
            Unit u = withId(id);
            fill(u);
            addUnit(u);
        }
        for (int id : leaving) addUnitForRemoval(id);
        processUnitRemovals(grid);
        ASSERT_EQ(units.size(), 6u - leaving.size());
        expectIndexMatchesVector();
        for (const Unit& u : units) {
            SCOPED_TRACE(u.id);
            Unit expected = withId(u.id);
            fill(expected);
            EXPECT_EQ(u.type, "Footman");
            EXPECT_EQ(u.nickname, expected.nickname);
            EXPECT_FLOAT_EQ(u.hp, expected.hp);
            EXPECT_EQ(u.kills, expected.kills);
            EXPECT_EQ(u.nearbyTiles, expected.nearbyTiles);
            ASSERT_EQ(u.waypoints.size(), 1u);
            EXPECT_FLOAT_EQ(u.waypoints.front().x, expected.waypoints.front().x);
            EXPECT_FLOAT_EQ(u.waypoints.front().y, expected.waypoints.front().y);
            EXPECT_EQ(u.route, expected.route);
            ASSERT_EQ(u.orders.size(), 1u);
            EXPECT_EQ(std::get<MoveCommand>(u.orders.front().command).y, -u.id);
            EXPECT_FLOAT_EQ(u.cooldowns.at("Haste"), static_cast<float>(u.id));
        }
    }
}

// A hold answers for the last reservation only: one moved, dropped, forgotten with the session, or asked for with a
// type of another footprint is no hold, and freeing and reserving again would change something.
TEST_F(UnitRegistry, FootprintIsHeldOnlyByTheLastReservationOfTheSameSize) {
    struct Case {
        const char* what;
        const char* reservedAs;
        V2i first;
        V2i last;  // (-1, -1): reserved once
        bool dropped;
        bool sessionForgot;
        const char* askedAs;
        V2i askedAt;
        bool held;
    };
    const Case cases[] = {
        {"where it was reserved", "Ogre", {5, 5}, {-1, -1}, false, false, "Ogre", {5, 5}, true},
        {"where it was before it moved", "Ogre", {5, 5}, {6, 5}, false, false, "Ogre", {5, 5}, false},
        {"where it moved to", "Ogre", {5, 5}, {6, 5}, false, false, "Ogre", {6, 5}, true},
        {"after its cells were dropped", "Ogre", {5, 5}, {-1, -1}, true, false, "Ogre", {5, 5}, false},
        {"after the session forgot the reservations", "Footman", {5, 5}, {-1, -1}, false, true, "Footman", {5, 5},
         false},
        {"as a bigger type at the same centre", "Footman", {5, 5}, {-1, -1}, false, false, "Ogre", {5, 5}, false},
        {"as a smaller type at the same centre", "Ogre", {5, 5}, {-1, -1}, false, false, "Footman", {5, 5}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::fill(reservedTiles.begin(), reservedTiles.end(), 0);
        unitOccupancyRegistry.clear();
        reserveTilesForUnit(9, c.reservedAs, c.first);
        if (c.last.x != -1) reserveTilesForUnit(9, c.reservedAs, c.last);
        if (c.dropped) unregisterUnitTiles(9);
        if (c.sessionForgot) unitOccupancyRegistry.clear();  // the cells stay taken: only the list is gone
        EXPECT_EQ(holdsFootprintAt(9, c.askedAs, c.askedAt), c.held);
    }
    // A move releases every cell left behind and lists the new ones in the order reserved, its list reused.
    std::fill(reservedTiles.begin(), reservedTiles.end(), 0);
    unitOccupancyRegistry.clear();
    reserveTilesForUnit(9, "Ogre", {5, 5});
    reserveTilesForUnit(9, "Ogre", {9, 6});
    std::vector<V2i> expected;
    for (int y = 5; y <= 7; ++y)
        for (int x = 8; x <= 10; ++x) expected.push_back({x, y});
    EXPECT_EQ(unitOccupancyRegistry.at(9), expected);
    int taken = 0;
    for (int32_t holder : reservedTiles) taken += holder == 9;
    EXPECT_EQ(taken, 9);
}

TEST_F(UnitRegistry, CooldownsStopOnceRunOut) {
    Unit u;
    u.cooldowns["Slow"] = 0.01f;
    u.cooldowns["Haste"] = 1.0f;
    updateCooldowns(u, 0.016f);
    EXPECT_FLOAT_EQ(u.cooldowns["Slow"], -0.006f);
    updateCooldowns(u, 0.016f);
    EXPECT_FLOAT_EQ(u.cooldowns["Slow"], -0.006f);
    EXPECT_FLOAT_EQ(u.cooldowns["Haste"], 0.968f);
}

TEST_F(UnitRegistry, CorpseIsGoneOnThe626thTick) {
    spawnCorpse({100.7f, -3.9f});
    ASSERT_EQ(deadUnits.size(), 1u);
    EXPECT_EQ(deadUnits[0].x, 100);
    EXPECT_EQ(deadUnits[0].y, -3);
    for (int tick = 1; tick <= 625; ++tick) updateDeadUnits(0.016f);
    EXPECT_EQ(deadUnits.size(), 1u) << "625 steps of 0.016 stay just below 10 s";
    updateDeadUnits(0.016f);
    EXPECT_TRUE(deadUnits.empty());
}

TEST_F(UnitRegistry, DamageTextsOfOneTargetMergeIntoTheirSum) {
    const SDL_Color red{255, 0, 0, 255};
    spawnFloatingText(10, 20, "4", red, false, 4, 17);
    updateFloatingTexts(0.2f);
    spawnFloatingText(11, 21, "5", red, false, 5, 17);
    updateFloatingTexts(0.2f);
    spawnFloatingText(12, 22, "6", red, false, 6, 17);
    ASSERT_EQ(floatingTexts.size(), 1u);
    const FloatingText& t = floatingTexts[0];
    EXPECT_EQ(t.text, "15");
    EXPECT_EQ(t.amount, 15);
    EXPECT_FLOAT_EQ(t.alpha, 1.0f);
    EXPECT_FLOAT_EQ(t.lifetime, 1.5f);
    EXPECT_FLOAT_EQ(t.rise, 0.0f);
    EXPECT_FLOAT_EQ(t.x, 12.0f);

    updateFloatingTexts(1.25f);
    spawnFloatingText(0, 0, "1", red, false, 1, 17);
    EXPECT_EQ(floatingTexts.size(), 2u) << "a text with 0.3 s or less left takes no more";
    spawnFloatingText(0, 0, "x", red, false, 1, 0);
    spawnFloatingText(0, 0, "y", red, false, 1, 0);
    EXPECT_EQ(floatingTexts.size(), 4u) << "key 0 never merges";
}

TEST_F(UnitRegistry, DamageTextMergesIntoTheFreshTextOfItsKeyWhateverHappenedBetween) {
    // A step spawns amount under key, or ages every text by age seconds, or (key -1) empties the list.
    struct Step {
        int key;
        int amount;
        float age;
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
        std::vector<std::pair<int, int>> texts;  // key and amount, in order
    };
    const Case cases[] = {
        {"keys interleaved", {{5, 1, 0}, {6, 2, 0}, {5, 3, 0}, {0, 4, 0}, {6, 5, 0}, {0, 1, 0}},
         {{5, 4}, {6, 7}, {0, 4}, {0, 1}}},
        {"an earlier text expired", {{5, 1, 0}, {0, 0, 1.0f}, {6, 2, 0}, {0, 0, 0.6f}, {6, 3, 0}, {7, 1, 0}},
         {{6, 5}, {7, 1}}},
        {"an expired text, then one without a key",
         {{5, 1, 0}, {0, 0, 1.0f}, {6, 2, 0}, {0, 0, 0.6f}, {0, 4, 0}, {6, 3, 0}},
         {{6, 5}, {0, 4}}},
        {"the list was emptied", {{5, 1, 0}, {-1, 0, 0}, {6, 2, 0}, {5, 3, 0}, {5, 1, 0}}, {{6, 2}, {5, 4}}},
        {"emptied, then grown back to its length by texts without a key",
         {{5, 1, 0}, {6, 2, 0}, {-1, 0, 0}, {0, 1, 0}, {0, 1, 0}, {6, 3, 0}, {5, 4, 0}, {6, 5, 0}},
         {{0, 1}, {0, 1}, {6, 8}, {5, 4}}},
        {"0.31 s left still merges", {{5, 1, 0}, {0, 0, 1.19f}, {5, 2, 0}}, {{5, 3}}},
        {"a spent text stays apart", {{5, 1, 0}, {0, 0, 1.25f}, {5, 2, 0}, {5, 3, 0}}, {{5, 1}, {5, 5}}},
    };
    const SDL_Color red{255, 0, 0, 255};
    for (const Case& c : cases) {
        for (const Step& step : c.steps) {
            if (step.key == -1) floatingTexts.clear();
            else if (step.age > 0.0f) updateFloatingTexts(step.age);
            else spawnFloatingText(0, 0, std::to_string(step.amount), red, false, step.amount, step.key);
        }
        std::vector<std::pair<int, int>> texts;
        for (const FloatingText& t : floatingTexts) texts.push_back({t.key, t.amount});
        EXPECT_EQ(texts, c.texts) << c.what;
        floatingTexts.clear();
    }
}

TEST_F(UnitRegistry, FloatingTextRisesFadesAndExpiresByLifetime) {
    spawnFloatingText(0, 0, "RETREATING!", SDL_Color{255, 255, 0, 255}, false, 0, 0);
    updateFloatingTexts(0.5f);
    EXPECT_FLOAT_EQ(floatingTexts[0].rise, 25.0f);
    updateFloatingTexts(0.5f);
    EXPECT_FLOAT_EQ(floatingTexts[0].alpha, 0.75f);
    updateFloatingTexts(0.49f);
    ASSERT_EQ(floatingTexts.size(), 1u);
    EXPECT_NEAR(floatingTexts[0].alpha, 0.6275f, 1e-5f);
    updateFloatingTexts(0.01f);
    EXPECT_TRUE(floatingTexts.empty());
}

}  // namespace
