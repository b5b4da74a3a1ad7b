// The player's mouse on the fight map: HUD buttons pressed where the HUD draws them and orders given on the map,
// each followed through the local turn step to what it does to the world, and the presses that must order nothing.
#include "match_mouse.h"

#include "extraction.h"
#include "extraction_items.h"

namespace {

using namespace match_mouse;

// A panel button queues its entry; the cost is paid when it starts and the progress slot takes it back in full.
TEST_F(MouseOrders, APanelButtonTrainsOrResearchesAndItsProgressSlotCancelsWithARefund) {
    const struct {
        const char* what;
        std::function<int(MouseOrders&)> building;
        std::function<const SDL_FRect*()> button;
        int gold;
        int wood;
    } cases[] = {
        {"a worker from the base",
         [](MouseOrders& t) {
             // A civilian of the town to be recruited, and room for one more.
             place(LOCAL, raceToCivilianUnit.at("human"), t.near);
             t.local->recruits = 1;
             t.local->supplyCap = t.local->supplyUsed + 1;
             return t.base();
         },
         []() -> const SDL_FRect* {
             for (const auto& b : hudBuildingUnitsButtons)
                 if (b.unitType == "Scavenger") return &b.rect;
             return nullptr;
         },
         50, 0},
        {"an upgrade at a blacksmith",
         [](MouseOrders& t) {
             return build(LOCAL, "HumanBlacksmith", t.freeTileNear("HumanBlacksmith"), true);
         },
         []() -> const SDL_FRect* {
             for (const auto& b : hudUpgradeButtons)
                 if (b.upgradeId == "HumanWeapons1") return &b.rect;
             return nullptr;
         },
         200, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        local->resources[RESOURCE_GOLD] = local->resources[RESOURCE_WOOD] = 1000;
        const int id = c.building(*this);
        selectBuilding(id);
        drawPanels();
        const SDL_FRect* button = c.button();
        ASSERT_NE(button, nullptr);
        clickOn(*button);
        ASSERT_EQ(queuedTypes().size(), 1u);
        const Building& b = *getBuildingById(id);
        ASSERT_TRUE(playUntil([&] { return !b.productionQueue.empty() && b.productionQueue.front().elapsed > 0; }));
        EXPECT_EQ(local->resources[RESOURCE_GOLD], 1000 - c.gold);
        EXPECT_EQ(local->resources[RESOURCE_WOOD], 1000 - c.wood);

        drawPanels();
        ASSERT_FALSE(hudProgressBarButtons.empty());
        clickOn(hudProgressBarButtons.front().rect);
        playTurns(1);
        EXPECT_TRUE(getBuildingById(id)->productionQueue.empty());
        EXPECT_EQ(local->resources[RESOURCE_GOLD], 1000);
        EXPECT_EQ(local->resources[RESOURCE_WOOD], 1000);
    }
}


// An instant spell is cast from its button; a targeted one waits for the click on the map. Either way the caster
// pays the spell's mana and the spell cools down, and a second cast while it cools down costs nothing.
TEST_F(MouseOrders, ASpellButtonCastsWithManaAndCooldownAndATargetedSpellWaitsForTheMapClick) {
    const struct {
        const char* caster;
        const char* spell;
        bool targeted;
        int manaLeft;
    } cases[] = {{"Marine", "FreezingBullets", false, 200}, {"Medic", "Healing", true, 150}};
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.spell);
        const V2i at{near.x, near.y - 2 + 2 * row++};
        const int caster = place(LOCAL, c.caster, at);
        const int patient = place(LOCAL, "Marine", {at.x + 1, at.y});
        for (int cast = 0; cast < 2; ++cast) {
            select({caster});
            queued().clear();
            drawPanels();
            const HudSpellButton* button = nullptr;
            for (const auto& b : hudSpellButtons)
                if (b.spell == c.spell) button = &b;
            ASSERT_NE(button, nullptr);
            clickOn(button->rect);
            EXPECT_EQ(selectedSpell, c.targeted ? c.spell : "");
            if (c.targeted) {
                EXPECT_TRUE(queuedTypes().empty()) << "the spell waits for its target";
                click(pointOn(patient));
                EXPECT_EQ(selectedSpell, "");
            }
            ASSERT_EQ(queuedTypes(), std::vector<CommandType>{CommandType::CastSpell});
            EXPECT_EQ(queued()[0].player, LOCAL);
            playTurns(3);
            const Unit& u = *getUnitById(caster);
            EXPECT_EQ(u.mana, c.manaLeft) << "cast " << cast;
            EXPECT_GT(getUnitById(caster)->cooldowns[c.spell], 0.0f);
        }
    }
}

// A right press names the target under the pointer; each order is followed to what it starts in the world.
TEST_F(MouseOrders, ARightPressAttacksConstructsMinesAndSetsTheRallyPoint) {
    const int marine = place(LOCAL, "Marine", near);
    const int worker = ownWorkers().front();
    const struct {
        const char* what;
        std::function<int()> target;
        std::function<SDL_FPoint(int)> point;
        std::function<void(int)> selectOrderer;
        CommandType order;
        std::function<bool(int)> started;
    } cases[] = {
        {"an enemy unit", [&] { return place(ENEMY, "Grunt", {near.x + 2, near.y}); },
         [](int target) { return pointOn(target); }, [&](int) { select({marine}); }, CommandType::Attack,
         [&](int target) { return getUnitById(marine)->targetId == target; }},
        {"an enemy building",
         [&] { return build(ENEMY, "OrcBarracks", freeTileNear("OrcBarracks"), true); },
         [](int target) {
             const Building& b = *getBuildingById(target);
             return pointOnTile({b.x + 1, b.y + 1});
         },
         [&](int) { select({marine}); }, CommandType::Attack,
         [&](int target) { return getUnitById(marine)->targetId == target; }},
        {"an own building site",
         [&] { return build(LOCAL, "HumanBarracks", freeTileNear("HumanBarracks"), false); },
         [](int target) {
             const Building& b = *getBuildingById(target);
             return pointOnTile({b.x + 1, b.y + 1});
         },
         [&](int) { select({worker}); }, CommandType::Construct,
         [](int target) { return constructionManager.builderOf(target) != -1; }},
        {"a crystal field",
         [&] { return findClosestResource(local->baseTile, "Crystal", grid).object->id; },
         [](int target) {
             const MapObject& o = *getMapObjectById(target);
             return pointOnTile({o.tileX, o.tileY});
         },
         [&](int) { select({worker}); }, CommandType::Mine,
         [&](int target) {
             const MapObject& o = *getMapObjectById(target);
             return getUnitById(worker)->mineTarget == V2i{o.tileX, o.tileY};
         }},
        {"the ground with the base selected", [&] { return base(); },
         [&](int) { return pointOnTile({near.x, near.y + 3}); }, [&](int target) { selectBuilding(target); },
         CommandType::SetRallyPoint, [](int target) { return getBuildingById(target)->hasRallyPoint; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        queued().clear();
        const int target = c.target();
        c.selectOrderer(target);
        click(c.point(target), SDL_BUTTON_RIGHT);
        ASSERT_EQ(queuedTypes(), std::vector<CommandType>{c.order});
        EXPECT_TRUE(playUntil([&] { return c.started(target); }, 5));
    }
}

// A right press on an own carrier boards the first selected unit that is not the carrier; its button lets the
// cargo off where the ground can take it.
TEST_F(MouseOrders, ARightPressOnAnOwnCarrierBoardsTheSelectionAndItsButtonUnloads) {
    const int carrier = place(LOCAL, "GoblinZeppelin", near);
    const int marine = place(LOCAL, "Marine", {near.x + 1, near.y});
    select({carrier, marine});
    click(pointOn(carrier), SDL_BUTTON_RIGHT);
    ASSERT_EQ(queuedTypes(), std::vector<CommandType>{CommandType::CarrierPickUp});
    EXPECT_EQ(std::get<CarrierPickUpCommand>(queued()[0].payload).unitId, marine);
    ASSERT_TRUE(playUntil([&] { return !getUnitById(marine)->onMap; }, 600));
    EXPECT_EQ(zeppelinCargo[carrier], std::vector<int>{marine});

    select({carrier});
    drawPanels();
    ASSERT_EQ(hudCarrierButtons.size(), 1u);
    clickOn(hudCarrierButtons.front().rect);
    ASSERT_EQ(queuedTypes(), std::vector<CommandType>{CommandType::CarrierDropOff});
    playTurns(1);
    EXPECT_TRUE(getUnitById(marine)->onMap);
    EXPECT_TRUE(zeppelinCargo[carrier].empty());
}

// What the fog hides cannot be targeted, as it cannot be clicked: the press is a walk to that ground.
TEST_F(MouseOrders, ARightPressOnWhatTheFogHidesMovesThereInsteadOfAttacking) {
    const int marine = place(LOCAL, "Marine", near);
    const V2i far{MAP_W / 2, MAP_H / 2};
    const struct {
        const char* what;
        std::function<int()> target;
        std::function<SDL_FPoint(int)> point;
    } cases[] = {
        {"a unit", [&] { return place(ENEMY, "Grunt", far); }, [](int target) { return pointOn(target); }},
        {"a building", [&] { return build(ENEMY, "OrcBarracks", {far.x + 2, far.y - 4}, true); },
         [](int target) {
             const Building& b = *getBuildingById(target);
             return pointOnTile({b.x + 1, b.y + 1});
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int target = c.target();
        for (bool fog : {true, false}) {
            scene::prepareView(fog, far);
            takeSight();
            ASSERT_EQ(fog, FOG && !isTileVisible(far.x, far.y));
            queued().clear();
            select({marine});
            click(c.point(target), SDL_BUTTON_RIGHT);
            ASSERT_EQ(queuedTypes(), std::vector<CommandType>{fog ? CommandType::Move : CommandType::Attack})
                << (fog ? "hidden" : "in sight");
            playTurns(1);
            EXPECT_EQ(getUnitById(marine)->targetId == target, !fog);
        }
    }
}

// The attack-move click orders the selection and keeps it; on a unit it is an attack on that unit.
TEST_F(MouseOrders, AnAttackMoveClickOrdersTheSelectionItKeeps) {
    const int a = place(LOCAL, "Marine", near);
    const int b = place(LOCAL, "Marine", {near.x, near.y + 1});
    const int foe = place(ENEMY, "Grunt", {near.x + 2, near.y - 1});
    const struct {
        const char* what;
        std::function<SDL_FPoint()> at;
        std::vector<CommandType> orders;
    } cases[] = {
        {"open ground", [&] { return pointOnTile({near.x + 2, near.y - 2}); },
         {CommandType::AttackMove, CommandType::AttackMove}},
        {"an enemy unit", [&] { return pointOn(foe); }, {CommandType::Attack, CommandType::Attack}},
        // Right after a click that selected a marine: the armed click is an order, not a double click.
        {"an enemy unit just after a click on a marine",
         [&] {
             click(pointOn(a));
             addToSelection(b);
             clockMs += 100;
             return pointOn(foe);
         },
         {CommandType::Attack, CommandType::Attack}},
        // The clicked marine is not sent to attack itself.
        {"a marine of the selection", [&] { return pointOn(b); }, {CommandType::Attack}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        queued().clear();
        clockMs += 1000;
        select({a, b});
        const SDL_FPoint at = c.at();
        tapKey(SDLK_a);
        click(at);
        EXPECT_EQ(queuedTypes(), c.orders);
        EXPECT_EQ(selectedUnits, (std::vector<int>{a, b}));
        EXPECT_FALSE(eventHandler.attackMoveArmed);
        for (const Command& cmd : queued()) {
            if (cmd.type == CommandType::Attack) {
                EXPECT_NE(std::get<AttackCommand>(cmd.payload).unitId, std::get<AttackCommand>(cmd.payload).targetId);
            }
        }
        playTurns(1);
        if (c.orders[0] == CommandType::AttackMove) {
            EXPECT_EQ(getUnitById(a)->state, UnitState::AttackMoving);
        } else if (c.orders.size() == 2) {
            EXPECT_EQ(getUnitById(a)->targetId, foe);
        }
        EXPECT_NE(getUnitById(b)->targetId, b);
    }
}


// A building remembered under the fog is ground to an armed attack-move: the selection goes there ready to fight.
TEST_F(MouseOrders, AnAttackMoveClickOnABuildingRememberedUnderTheFogAttackMovesThere) {
    const int marine = place(LOCAL, "Marine", near);
    const V2i far{MAP_W / 2, MAP_H / 2};
    const Building& b = *getBuildingById(build(ENEMY, "OrcBarracks", far, true));
    fogOver(b, true);
    ASSERT_FALSE(isTileVisible(b.x, b.y));
    select({marine});
    tapKey(SDLK_a);
    click(pointOnTile({b.x + 1, b.y + 1}));
    EXPECT_EQ(queuedTypes(), std::vector<CommandType>{CommandType::AttackMove});
    EXPECT_EQ(selectedUnits, std::vector<int>{marine});
    EXPECT_FALSE(eventHandler.attackMoveArmed);
    playTurns(1);
    // The order is taken into the marine's queue.
    ASSERT_EQ(getUnitById(marine)->orders.size(), 1u);
    EXPECT_TRUE(std::holds_alternative<AttackMove>(getUnitById(marine)->orders.front().command));
}

// A click on a building selects it alone, or adds it with shift, with the sound its state calls for; a second click
// within 300 ms takes every building of its type in view; an armed attack-move attacks it instead.
TEST_F(MouseOrders, ALeftClickOnABuildingSelectsItWithTheSoundOfItsState) {
    const int marine = place(LOCAL, "Marine", near);
    const int site = build(LOCAL, "HumanBarracks", freeTileNear("HumanBarracks"), false);
    const int barracks = build(LOCAL, "HumanBarracks", freeTileNear("HumanBarracks"), true);
    const int foe = build(ENEMY, "OrcBarracks", freeTileNear("OrcBarracks"), true);
    const std::string baseType = getBuildingById(base())->type;
    const struct {
        const char* what;
        std::function<int()> before;  // the building clicked
        bool shift;
        bool armed;
        std::vector<int> units;
        std::vector<int> buildings;
        std::vector<std::string> sounds;
        std::vector<CommandType> orders;
    } cases[] = {
        {"the own base", [&] { return base(); }, false, false, {}, {base()},
         {sound(SoundCategory::Building, baseType)}, {}},
        {"the own base burning",
         [&] {
             Building& b = *getBuildingById(base());
             b.hp = b.maxHp * 0.59f;
             return base();
         },
         false, false, {}, {base()},
         {sound(SoundCategory::Building, baseType), sound(SoundCategory::BuildingAction, "Burning")}, {}},
        {"the own base just above the burning share",
         [&] {
             Building& b = *getBuildingById(base());
             b.hp = b.maxHp * 0.61f;
             return base();
         },
         false, false, {}, {base()}, {sound(SoundCategory::Building, baseType)}, {}},
        {"an own site", [&] { return site; }, false, false, {}, {site}, {sound(SoundCategory::UnitAction, "Construct")},
         {}},
        {"an enemy building", [&] { return foe; }, false, false, {}, {foe}, {}, {}},
        {"a second building with shift",
         [&] {
             addBuildingToSelection(base());
             return barracks;
         },
         true, false, {marine}, {base(), barracks}, {sound(SoundCategory::Building, "HumanBarracks")}, {}},
        {"the own barracks twice within 300 ms",
         [&] {
             click(pointOnBuilding(barracks));
             clockMs += 299;
             soundsAsked().clear();
             return barracks;
         },
         false, false, {}, {site, barracks}, {sound(SoundCategory::UnitAction, "Construct")}, {}},
        {"the own barracks twice 300 ms apart",
         [&] {
             click(pointOnBuilding(barracks));
             clockMs += 300;
             soundsAsked().clear();
             return barracks;
         },
         false, false, {}, {barracks}, {sound(SoundCategory::Building, "HumanBarracks")}, {}},
        {"an enemy building with an attack-move armed", [&] { return foe; }, false, true, {marine}, {}, {},
         {CommandType::Attack}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        clockMs += 5000;
        select({marine});
        queued().clear();
        getBuildingById(base())->hp = getBuildingById(base())->maxHp;
        recordSounds();
        const SDL_FPoint at = pointOnBuilding(c.before());
        if (c.armed) tapKey(SDLK_a);
        shift = c.shift;
        click(at);
        shift = false;
        std::vector<int> got = selectedBuildings;
        std::sort(got.begin(), got.end());
        std::vector<int> want = c.buildings;
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want);
        EXPECT_EQ(selectedUnits, c.units);
        EXPECT_TRUE(selectMapObjects.empty());
        EXPECT_EQ(soundsAsked(), c.sounds);
        EXPECT_EQ(queuedTypes(), c.orders);
        EXPECT_FALSE(eventHandler.attackMoveArmed);
    }
}

// A unit standing in front of a building covers part of it: a click there takes the unit, not the building.
TEST_F(MouseOrders, AClickOnAUnitStandingOverABuildingTakesTheUnit) {
    const Building& b = *getBuildingById(base());
    const int marine = place(LOCAL, "Marine", {b.x + 1, b.y + b.hTiles});
    const float t = static_cast<float>(TILE_SIZE);
    const auto onBase = [&](SDL_FPoint p) {
        const SDL_FPoint w = eventHandler.screenToWorld(p);
        return w.x >= static_cast<float>(b.x) * t && w.x <= static_cast<float>(b.x + b.wTiles) * t &&
               w.y >= static_cast<float>(b.y) * t && w.y <= static_cast<float>(b.y + b.hTiles) * t;
    };
    const SDL_FPoint over = pointOnlyOn(marine, onBase);
    ASSERT_GE(over.x, 0.0f) << "the marine's sprite covers no point of the base";
    select({});
    click(over);
    EXPECT_EQ(selectedUnits, std::vector<int>{marine});
    EXPECT_TRUE(selectedBuildings.empty());
}

// A right press on an own unit is an order only through what stands behind it: the building under the press is
// built on or attacked, a carrier pressed by itself takes nobody, and open ground behind gives nothing.
TEST_F(MouseOrders, ARightPressOnAnOwnUnitOrdersOnlyForTheBuildingBehindIt) {
    const int worker = ownWorkers().front();
    const struct {
        const char* what;
        std::function<int()> building;  // -1: none behind the unit
        const char* unitType;
        bool unitIsTheSelection;
        std::vector<CommandType> orders;
    } cases[] = {
        {"an own site", [&] { return build(LOCAL, "HumanBarracks", freeTileNear("HumanBarracks"), false); }, "Marine",
         false, {CommandType::Construct}},
        {"an enemy building", [&] { return build(ENEMY, "OrcBarracks", freeTileNear("OrcBarracks"), true); },
         "Marine", false, {CommandType::Attack}},
        {"open ground", [] { return -1; }, "Marine", false, {}},
        {"open ground, the carrier pressed by itself", [] { return -1; }, "GoblinZeppelin", true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int b = c.building();
        const V2i at = b == -1 ? V2i{near.x, near.y + 3}
                               : V2i{getBuildingById(b)->x + 1, getBuildingById(b)->y + getBuildingById(b)->hTiles};
        const int unit = place(LOCAL, c.unitType, at);
        const float t = static_cast<float>(TILE_SIZE);
        const SDL_FPoint press = pointOnlyOn(unit, [&](SDL_FPoint p) {
            const SDL_FPoint w = eventHandler.screenToWorld(p);
            const Building* behind = b == -1 ? nullptr : getBuildingById(b);
            return !behind || (w.x >= static_cast<float>(behind->x) * t &&
                               w.x <= static_cast<float>(behind->x + behind->wTiles) * t &&
                               w.y >= static_cast<float>(behind->y) * t &&
                               w.y <= static_cast<float>(behind->y + behind->hTiles) * t);
        });
        ASSERT_GE(press.x, 0.0f) << "no point of the unit lies over the building";
        select({c.unitIsTheSelection ? unit : worker});
        queued().clear();
        click(press, SDL_BUTTON_RIGHT);
        EXPECT_EQ(queuedTypes(), c.orders);
        getUnitById(unit)->onMap = false;
    }
}

// In a mission a right press on an item on the ground sends the own selection to take it; a corpse is an item only
// when the player lost the unit, and an enemy's corpse is ground to walk to.
TEST_F(MouseOrders, ARightPressOnAnItemInAMissionPicksItUp) {
    mode = GameMode::Extraction;
    const bool podSprite = item_sprites.count("CryoPod") != 0;
    if (!podSprite) item_sprites["CryoPod"].frameWidth = item_sprites["CryoPod"].frameHeight = 32;
    const int marine = place(LOCAL, "Marine", near);
    const struct {
        const char* what;
        const char* type;
        int lostBy;
        CommandType order;
    } cases[] = {{"a cryopod", "CryoPod", -1, CommandType::PickUp},
                 {"the corpse of an own marine", "Corpse", LOCAL, CommandType::PickUp},
                 {"an enemy's corpse", "Corpse", ENEMY, CommandType::Move}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const float t = static_cast<float>(TILE_SIZE);
        const SDL_FPoint w{(static_cast<float>(near.x) + 2.5f) * t, (static_cast<float>(near.y) + 2.5f) * t};
        int grave = -1;
        if (c.lostBy != -1) {
            Unit dead = *getUnitById(marine);
            dead.playerId = c.lostBy;
            graveyard.push_back(dead);
            grave = static_cast<int>(graveyard.size()) - 1;
        }
        items_map[900] = Item{900, c.type, w.x, w.y, true, grave};
        select({marine});
        queued().clear();
        click(inView(worldToScreen(w)), SDL_BUTTON_RIGHT);
        ASSERT_EQ(queuedTypes(), std::vector<CommandType>{c.order});
        if (c.order == CommandType::PickUp) {
            EXPECT_EQ(std::get<PickUpCommand>(queued()[0].payload).itemId, 900);
            EXPECT_EQ(std::get<PickUpCommand>(queued()[0].payload).unitId, marine);
        }
        items_map.erase(900);
    }
    if (!podSprite) item_sprites.erase("CryoPod");
    clearMatchItems();
}

// Under the fog a click picks the building the player remembers, even one destroyed since, never one not yet seen;
// only the player's own remembered building answers with its sound, and shift adds it to the selection.
TEST_F(MouseOrders, AClickOnABuildingRememberedUnderTheFogSelectsWhatWasSeen) {
    const V2i far{MAP_W / 2, MAP_H / 2};
    const int enemy = build(ENEMY, "OrcBarracks", far, true);
    const int marine = place(LOCAL, "Marine", near);
    const struct {
        const char* what;
        bool seen;
        bool destroyed;
        int rememberedOwner;
        bool shift;
        std::vector<int> buildings;
        std::vector<int> units;
        std::vector<std::string> sounds;
    } cases[] = {
        {"a building seen before", true, false, ENEMY, false, {enemy}, {}, {}},
        {"a building seen before, with shift", true, false, ENEMY, true, {enemy}, {marine}, {}},
        {"a building remembered as the player's own", true, false, LOCAL, false, {enemy}, {},
         {sound(SoundCategory::Building, "OrcBarracks")}},
        {"a building never seen", false, false, ENEMY, false, {}, {}, {}},
        {"a building destroyed since it was seen", true, true, ENEMY, false, {enemy}, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fogOver(*getBuildingById(enemy), c.seen);
        if (c.seen) ghostBuildings[{far.x, far.y}].owner = c.rememberedOwner;
        if (c.destroyed) {
            getBuildingById(enemy)->hp = 0.0f;
            ASSERT_TRUE(playUntil([&] { return getBuildingById(enemy) == nullptr; }, 10));
        }
        ASSERT_FALSE(isTileVisible(far.x, far.y));
        select({marine});
        clearMapObjectSelection();
        recordSounds();
        shift = c.shift;
        click(pointOnTile({far.x + 1, far.y + 1}));
        shift = false;
        EXPECT_EQ(selectedBuildings, c.buildings);
        EXPECT_EQ(selectedUnits, c.units);
        EXPECT_EQ(soundsAsked(), c.sounds);
    }
}

// A click on a map object selects it with its sound; shift adds it to what is selected; an exhausted one still shows.
TEST_F(MouseOrders, AClickOnAMapObjectSelectsItWithItsSound) {
    const int marine = place(LOCAL, "Marine", near);
    MapObject& crystal = *findClosestResource(local->baseTile, "Crystal", grid).object;
    const struct {
        const char* what;
        bool shift;
        int amount;
        std::vector<int> units;
    } cases[] = {
        {"a crystal", false, 100, {}},
        {"a crystal with shift", true, 100, {marine}},
        {"an exhausted crystal", false, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        select({marine});
        clearMapObjectSelection();
        crystal.amount = c.amount;
        lookAt({crystal.tileX, crystal.tileY});
        const SDL_FPoint at = pointOnTile({crystal.tileX, crystal.tileY});
        ASSERT_TRUE(std::none_of(units.begin(), units.end(), [&](const Unit& u) { return unitContains(u, at); }));
        recordSounds();
        shift = c.shift;
        click(at);
        shift = false;
        EXPECT_EQ(selectMapObjects, std::vector<int>{crystal.id});
        EXPECT_EQ(selectedUnits, c.units);
        EXPECT_EQ(soundsAsked(), std::vector<std::string>{sound(SoundCategory::MapObject, crystal.type)});
    }
}

// The fog remembers how much a crystal held when last seen: what is mined out of sight later is not in the snapshot.
TEST_F(MouseOrders, ACrystalInSightIsRememberedWithItsAmountThen) {
    MapObject& crystal = *findClosestResource(local->baseTile, "Crystal", grid).object;
    crystal.amount = 240;
    scene::prepareView(true, {crystal.tileX, crystal.tileY});
    takeSight();
    ASSERT_TRUE(isTileVisible(crystal.tileX, crystal.tileY));
    crystal.amount = 40;
    const auto ghost = ghostObjects.find({crystal.tileX, crystal.tileY});
    ASSERT_NE(ghost, ghostObjects.end());
    EXPECT_EQ(ghost->second.amount, 240);
}

// A unit in sight standing over the ground of a building remembered under the fog: the click takes the unit.
TEST_F(MouseOrders, AClickOnAUnitOverARememberedBuildingTakesTheUnit) {
    const int marine = place(LOCAL, "Marine", near);
    scene::prepareView(true, near);
    takeSight();
    ghostBuildings.clear();
    const float t = static_cast<float>(TILE_SIZE);
    const auto tileAt = [&](SDL_FPoint p) {
        const SDL_FPoint w = eventHandler.screenToWorld(p);
        return V2i{static_cast<int>(w.x / t), static_cast<int>(w.y / t)};
    };
    const V2i own = tileAt(worldToScreen(getUnitById(marine)->getWorldPos()));
    const SDL_FPoint over = pointOnlyOn(marine, [&](SDL_FPoint p) {
        const V2i tile = tileAt(p);
        return !(tile.x == own.x && tile.y == own.y) && isValidTile(tile);
    });
    ASSERT_GE(over.x, 0.0f) << "the marine's sprite reaches no other tile";
    // That tile out of sight now, with the enemy building the player saw there.
    const V2i under = tileAt(over);
    visionGrid[static_cast<size_t>(under.x)][static_cast<size_t>(under.y)] = false;
    ASSERT_TRUE(isTileVisible(own.x, own.y));
    remember(9999, under, {1, 1}, ENEMY, "OrcBarracks");
    select({});
    click(over);
    EXPECT_EQ(selectedUnits, std::vector<int>{marine});
    EXPECT_TRUE(selectedBuildings.empty());
}

// A box or a double click takes no unit the fog hides, as a click could not take it.
TEST_F(MouseOrders, ABoxOrADoubleClickTakesNoUnitTheFogHides) {
    const V2i middle{MAP_W / 2, MAP_H / 2};
    const int own = place(LOCAL, "Marine", middle);
    scene::prepareView(true, middle);
    takeSight();
    // An enemy marine in the view but out of sight.
    int hidden = -1;
    for (int dy = -12; dy <= 12 && hidden == -1; ++dy)
        for (int dx = -12; dx <= 12 && hidden == -1; ++dx) {
            const V2i tile{middle.x + dx, middle.y + dy};
            const SDL_FPoint p = worldToScreen(
                {(static_cast<float>(tile.x) + 0.5f) * TILE_SIZE, (static_cast<float>(tile.y) + 0.5f) * TILE_SIZE});
            const bool inView =
                p.x > 60 && p.x < windowSize().x - 60 && p.y > 80 && p.y < windowSize().y - HUD_SIZE - 40;
            const bool open = isValidTile(tile) && grid.walkable(tile.x, tile.y, Tile::Grass);
            if (inView && open && !isTileVisible(tile.x, tile.y)) hidden = place(ENEMY, "Marine", tile);
        }
    const SDL_FPoint enemyAt = worldToScreen(getUnitById(hidden)->getWorldPos());
    const struct {
        const char* what;
        std::function<void()> select;
        std::vector<int> taken;
    } cases[] = {
        {"a box round the hidden marine",
         [&] {
             send(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, {enemyAt.x - 40, enemyAt.y - 60});
             send(SDL_MOUSEMOTION, 0, {enemyAt.x + 40, enemyAt.y + 20});
             send(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, {enemyAt.x + 40, enemyAt.y + 20});
         },
         {}},
        {"a double click on the own marine",
         [&] {
             click(pointOn(own));
             clockMs += 100;
             click(pointOn(own));
         },
         {own}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        clockMs += 5000;
        select({});
        c.select();
        EXPECT_EQ(selectedUnits, c.taken);
    }
}

// A box takes units first; without units the buildings it touches, and those the fog lets the player remember;
// without either the map objects.
TEST_F(MouseOrders, ABoxWithoutUnitsTakesBuildingsThenRememberedOnesThenMapObjects) {
    const V2i far{MAP_W / 2, MAP_H / 2};
    const Building& enemy = *getBuildingById(build(ENEMY, "OrcBarracks", far, true));
    const int crystal = findClosestResource(local->baseTile, "Crystal", grid).object->id;
    const int farCrystal = findClosestResource({MAP_W / 2, MAP_H / 2}, "Crystal", grid).object->id;
    const auto boxAround = [](V2i tile) {
        const SDL_FPoint c = pointOnTile(tile);
        send(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, {c.x - 6, c.y - 6});
        send(SDL_MOUSEMOTION, 0, {c.x + 6, c.y + 6});
        send(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, {c.x + 6, c.y + 6});
    };
    const auto fogOverEnemy = [&](bool seen) { fogOver(enemy, seen); };
    const struct {
        const char* what;
        std::function<void()> boxSomething;
        std::vector<int> buildings;
        std::vector<int> objects;
    } cases[] = {
        {"the corner of the own base", [&] { boxAround(local->baseTile); }, {base()}, {}},
        {"a crystal field",
         [&] {
             const MapObject& o = *getMapObjectById(crystal);
             lookAt({o.tileX, o.tileY});
             boxAround({o.tileX, o.tileY});
         },
         {}, {crystal}},
        {"an enemy building remembered under the fog",
         [&] {
             fogOverEnemy(true);
             boxAround({enemy.x, enemy.y});
         },
         {enemy.id}, {}},
        {"a crystal field remembered under the fog",
         [&] {
             const MapObject& o = *findClosestResource({MAP_W / 2, MAP_H / 2}, "Crystal", grid).object;
             fogOverEnemy(false);
             lookAt({o.tileX, o.tileY});
             memoryGrid[static_cast<size_t>(o.tileX)][static_cast<size_t>(o.tileY)] = true;
             ghostObjects[{o.tileX, o.tileY}] = {o.id,     o.type,   o.tileX, o.tileY, o.wTiles,
                                                 o.hTiles, o.worldX, o.worldY, o.sprite, o.amount};
             ASSERT_FALSE(isTileVisible(o.tileX, o.tileY));
             boxAround({o.tileX, o.tileY});
         },
         {}, {farCrystal}},
        {"an enemy building the fog hides, never seen",
         [&] {
             fogOverEnemy(false);
             boxAround({enemy.x, enemy.y});
         },
         {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        select({});
        clearMapObjectSelection();
        c.boxSomething();
        EXPECT_TRUE(selectedUnits.empty());
        EXPECT_EQ(selectedBuildings, c.buildings);
        EXPECT_EQ(selectMapObjects, c.objects);
    }
}

// What a box says: a worker drilling crystal answers with the drill; of two buildings remembered as the player's own
// under the fog the first answers with its type and the second with the builders' sound.
TEST_F(MouseOrders, ABoxAnswersWithTheDrillOrTheRememberedBuildingsSounds) {
    const int worker = ownWorkers().front();
    const V2i far{MAP_W / 2, MAP_H / 2};
    const auto boxFrom = [](SDL_FPoint a, SDL_FPoint b) {
        send(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, a);
        send(SDL_MOUSEMOTION, 0, b);
        send(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, b);
    };
    const struct {
        const char* what;
        std::function<void()> box;
        std::vector<std::string> sounds;
    } cases[] = {
        {"a worker drilling crystal",
         [&] {
             getUnitById(worker)->harvestKind = ResourceType::Crystal;
             const SDL_FPoint on = pointOn(worker);
             boxFrom({on.x - 6, on.y - 6}, {on.x + 6, on.y + 6});
         },
         {sound(SoundCategory::Unit, getUnitById(worker)->type + ".responses"),
          sound(SoundCategory::UnitAction, "Drill")}},
        {"two own buildings remembered under the fog",
         [&] {
             const Building& first = *getBuildingById(build(ENEMY, "OrcBarracks", far, true));
             fogOver(first, true);
             ghostBuildings[{far.x, far.y}].owner = LOCAL;
             remember(first.id + 1000, {far.x + 4, far.y}, {first.wTiles, first.hTiles}, LOCAL, "HumanFarm");
             memoryGrid[static_cast<size_t>(far.x + 4)][static_cast<size_t>(far.y)] = true;
             ASSERT_FALSE(isTileVisible(far.x, far.y) || isTileVisible(far.x + 4, far.y));
             boxFrom(pointOnTile({far.x, far.y + 1}), pointOnTile({far.x + 5, far.y + 1}));
         },
         {sound(SoundCategory::Building, "OrcBarracks"), sound(SoundCategory::UnitAction, "Construct")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        select({});
        recordSounds();
        c.box();
        EXPECT_EQ(soundsAsked(), c.sounds);
    }
}

// The point lies on the bottom panel, on no button and off the minimap.
void expectEmptyPanelAt(SDL_FPoint p) {
    EXPECT_GE(p.y, windowSize().y - HUD_SIZE);
    const SDL_Point pixel{static_cast<int>(p.x), static_cast<int>(p.y)};
    EXPECT_FALSE(SDL_PointInRect(&pixel, &minimapRect));
    const auto clear = [&](const auto& buttons) {
        for (const auto& b : buttons)
            EXPECT_FALSE(p.x >= b.rect.x && p.x <= b.rect.x + b.rect.w && p.y >= b.rect.y &&
                         p.y <= b.rect.y + b.rect.h);
    };
    clear(hudBuildingButtons);
    clear(hudSpellButtons);
    clear(unitHUDHitboxes);
    clear(hudBuildingUnitsButtons);
}

// The panel hides the world behind it: a press there places nothing, casts nothing, orders no walk and selects
// no unit standing behind it.
TEST_F(MouseOrders, APressOnTheBottomPanelNeverReachesTheWorldBehindIt) {
    const int medic = place(LOCAL, "Medic", near);
    const int worker = ownWorkers().front();
    const struct {
        const char* what;
        std::function<void()> prepare;
        Uint8 button;
        bool unitBehind;
        std::function<void()> stillPending;
    } cases[] = {
        {"a building being placed",
         [&] {
             select({worker});
             drawPanels();
             for (const auto& b : hudBuildingButtons)
                 if (b.buildingType == "HumanBarracks") clickOn(b.rect);
             ASSERT_TRUE(placingBuilding);
         },
         SDL_BUTTON_LEFT, true, [] { EXPECT_TRUE(placingBuilding); }},
        {"a spell waiting for its target",
         [&] {
             select({medic});
             drawPanels();
             for (const auto& b : hudSpellButtons)
                 if (b.spell == "Healing") clickOn(b.rect);
             ASSERT_EQ(selectedSpell, "Healing");
         },
         SDL_BUTTON_LEFT, true, [] { EXPECT_EQ(selectedSpell, "Healing"); }},
        {"a right press", [&] { select({medic}); }, SDL_BUTTON_RIGHT, false, [] {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        drawPanels();
        const std::vector<int> selection = selectedUnits;
        SDL_FPoint at{windowSize().x * 0.62f, windowSize().y - 20.0f};
        int behind = -1;
        if (c.unitBehind) {
            const SDL_FPoint w = eventHandler.screenToWorld(at);
            behind = place(LOCAL, "Marine", {static_cast<int>(w.x) / TILE_SIZE, static_cast<int>(w.y) / TILE_SIZE});
            at = pointOn(behind);
        }
        expectEmptyPanelAt(at);
        queued().clear();
        click(at, c.button);
        EXPECT_TRUE(queuedTypes().empty());
        EXPECT_EQ(selectedUnits, selection);
        c.stillPending();
        if (behind != -1) getUnitById(behind)->onMap = false;
        placingBuilding = false;
        selectedSpell.clear();
    }
}

// Presses that must order nothing: another player's panel, a panel whose unit is gone, and orders without an own
// selection.
TEST_F(MouseOrders, PressesWithoutAnOwnLiveSelectionOrderNothing) {
    const int foe = place(ENEMY, "Grunt", {near.x + 2, near.y});
    const struct {
        const char* what;
        std::function<SDL_FPoint()> prepare;
        Uint8 button;
    } cases[] = {
        {"the training button of an enemy's base shown in god mode",
         [&] {
             GOD_MODE = true;
             selectBuilding(getPlayerById(ENEMY)->buildingIds.front());
             drawPanels();
             EXPECT_FALSE(hudBuildingUnitsButtons.empty());
             const SDL_FRect r = hudBuildingUnitsButtons.empty() ? SDL_FRect{} : hudBuildingUnitsButtons[0].rect;
             return SDL_FPoint{r.x + r.w / 2, r.y + r.h / 2};
         },
         SDL_BUTTON_LEFT},
        {"a spell button of a caster that died this turn",
         [&] {
             const int marine = place(LOCAL, "Marine", near);
             select({marine});
             drawPanels();
             EXPECT_FALSE(hudSpellButtons.empty());
             const SDL_FRect r = hudSpellButtons.empty() ? SDL_FRect{} : hudSpellButtons[0].rect;
             addUnitForRemoval(marine);
             playTurns(1);
             drawPanels();
             return SDL_FPoint{r.x + r.w / 2, r.y + r.h / 2};
         },
         SDL_BUTTON_LEFT},
        {"nothing selected, on an enemy", [&] { select({}); return pointOn(foe); }, SDL_BUTTON_RIGHT},
        {"nothing selected, on open ground", [&] { select({}); return pointOnTile({near.x, near.y + 3}); },
         SDL_BUTTON_RIGHT},
        {"only an enemy selected, on open ground", [&] { select({foe}); return pointOnTile({near.x, near.y + 3}); },
         SDL_BUTTON_RIGHT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const SDL_FPoint at = c.prepare();
        queued().clear();
        click(at, c.button);
        EXPECT_TRUE(queuedTypes().empty());
        EXPECT_EQ(selectedSpell, "");
        GOD_MODE = false;
    }
}

TEST_F(MouseOrders, TheBuildButtonStartsAPlacementThatTheMapPressPutsDownAndPaysFor) {
    const int worker = ownWorkers().front();
    select({worker});
    drawPanels();
    const HudBuildingButton* barracks = nullptr;
    for (const auto& b : hudBuildingButtons)
        if (b.buildingType == "HumanBarracks") barracks = &b;
    ASSERT_NE(barracks, nullptr);
    clickOn(barracks->rect);
    ASSERT_TRUE(placingBuilding);
    EXPECT_EQ(ghostBuildingType, "HumanBarracks");
    const V2i site = freeTileNear("HumanBarracks");
    // The ghost's footprint is centred under the pointer.
    send(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, pointOnTile({site.x + 1, site.y + 1}));
    EXPECT_EQ(ghostTile, site);
    ASSERT_EQ(queuedTypes(), std::vector<CommandType>{CommandType::PlaceBuildingDown});
    playTurns(1);
    EXPECT_FALSE(placingBuilding);
    EXPECT_EQ(local->resources[RESOURCE_GOLD], 1000 - buildingInfo.at("HumanBarracks").goldCost);
    ASSERT_FALSE(buildings.empty());
    EXPECT_EQ(buildings.back().type, "HumanBarracks");
    EXPECT_EQ(constructionManager.builderOf(buildings.back().id), worker);
}

// The worker that was to put the building down died meanwhile: the next press on the map ends the placement and
// orders nothing.
TEST_F(MouseOrders, APlacementWhoseWorkerIsGoneEndsAtTheNextPress) {
    const int worker = startPlacing("HumanBarracks");
    addUnitForRemoval(worker);
    playTurns(1);
    ASSERT_TRUE(selectedUnits.empty());
    queued().clear();
    const V2i site = freeTileNear("HumanBarracks");
    click(pointOnTile({site.x + 1, site.y + 1}));
    EXPECT_FALSE(placingBuilding);
    EXPECT_EQ(ghostBuildingType, "None");
    EXPECT_TRUE(queuedTypes().empty());
}

// The right press that ends a placement gives no order; the next one walks the worker.
TEST_F(MouseOrders, ARightPressEndsAPlacementAndOnlyTheNextOneOrders) {
    startPlacing("HumanBarracks");
    ASSERT_TRUE(placingBuilding);
    const std::vector<CommandType> expected[] = {{}, {CommandType::Move}};
    for (const auto& orders : expected) {
        queued().clear();
        click(pointOnTile({near.x, near.y + 1}), SDL_BUTTON_RIGHT);
        EXPECT_FALSE(placingBuilding);
        EXPECT_EQ(queuedTypes(), orders);
    }
}

TEST_F(MouseOrders, TheSpawnPaletteInGodModeAddsAUnitOfTheButtonsPlayer) {
    GOD_MODE = true;
    select({});
    drawPanels();
    const HudSpawnUnitsButton* own = nullptr;
    for (const auto& b : hudSpawnUnitsButtons)
        if (b.playerId == LOCAL && !own) own = &b;
    ASSERT_NE(own, nullptr);
    const std::string type = own->unitType;
    const size_t before = headless::unitsOf(LOCAL).size();
    clickOn(own->rect);
    ASSERT_EQ(queuedTypes(), std::vector<CommandType>{CommandType::Spawn});
    playTurns(1);
    const std::vector<int> after = headless::unitsOf(LOCAL);
    ASSERT_EQ(after.size(), before + 1);
    EXPECT_EQ(getUnitById(after.back())->type, type);
}

// With several units selected, the panel shows one icon per unit; pressing one makes that unit the selection.
TEST_F(MouseOrders, AnIconOfTheSelectionPanelMakesItsUnitTheWholeSelection) {
    const std::vector<int> workers = ownWorkers();
    ASSERT_GE(workers.size(), 2u);
    select({});
    for (int id : workers) addToSelection(id);
    drawPanels();
    ASSERT_EQ(unitHUDHitboxes.size(), workers.size());
    const UnitHudIcon second = unitHUDHitboxes[1];
    clickOn(second.rect);
    EXPECT_EQ(selectedUnits, std::vector<int>{second.unitId});
    EXPECT_TRUE(queuedTypes().empty());
}

TEST_F(MouseOrders, ASecondClickWithin300MsOnAWorkerSelectsEveryWorkerInView) {
    std::vector<int> workers = ownWorkers();
    std::sort(workers.begin(), workers.end());
    ASSERT_GE(workers.size(), 2u);
    for (uint32_t gap : {300u, 299u}) {
        select({});
        clockMs += 5000;
        click(pointOn(workers[0]));
        clockMs += gap;
        click(pointOn(workers[0]));
        std::vector<int> got = selectedUnits;
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, gap < 300 ? workers : std::vector<int>{workers[0]}) << gap << " ms";
    }
}

// A spell aimed at a unit acts on the unit clicked, never on its caster, and bare ground takes no such spell.
TEST_F(MouseOrders, AUnitSpellActsOnTheUnitClickedAndBareGroundTakesNone) {
    const struct {
        const char* what;
        const char* caster;
        const char* spell;
        int targetOwner;
        bool onGround;
        std::function<void(int caster, int target)> expect;
    } cases[] = {
        {"dressing a wounded marine", "Medic", "Healing", LOCAL, false,
         [](int caster, int target) {
             EXPECT_FLOAT_EQ(getUnitById(target)->hp, 60.0f);
             EXPECT_FLOAT_EQ(getUnitById(caster)->hp, 20.0f);
             EXPECT_EQ(getUnitById(caster)->mana, 150);
         }},
        {"turning an enemy into a sheep", "Psion", "Polymorph", ENEMY, false,
         [](int caster, int target) {
             EXPECT_EQ(getUnitById(target)->type, "Sheep");
             EXPECT_EQ(getUnitById(caster)->type, "Psion");
         }},
        {"dressing bare ground", "Medic", "Healing", LOCAL, true,
         [](int caster, int) {
             EXPECT_FLOAT_EQ(getUnitById(caster)->hp, 20.0f);
             EXPECT_EQ(getUnitById(caster)->mana, 200);
         }},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const V2i at{near.x - 1, near.y - 2 + 2 * row++};
        const int caster = place(LOCAL, c.caster, at);
        const int target = place(c.targetOwner, c.targetOwner == LOCAL ? "Marine" : "Grunt", {at.x + 1, at.y});
        getUnitById(caster)->hp = 20.0f;
        getUnitById(target)->hp = 10.0f;
        select({caster});
        drawPanels();
        for (const auto& b : hudSpellButtons)
            if (b.spell == c.spell) clickOn(b.rect);
        ASSERT_EQ(selectedSpell, c.spell);
        queued().clear();
        click(c.onGround ? pointOnTile({at.x, at.y + 1}) : pointOn(target));
        if (c.onGround) {
            EXPECT_TRUE(queuedTypes().empty());
        } else {
            ASSERT_EQ(queuedTypes(), std::vector<CommandType>{CommandType::CastSpell});
            EXPECT_EQ(std::get<CastSpellCommand>(queued()[0].payload).targetId, target);
        }
        playTurns(3);
        c.expect(caster, target);
    }
}

}  // namespace
