// The building panel in each state a player meets on the fight map, drawn in whole frames and pressed: what it
// offers, and the presses the world refuses; the tooltip and the selection box where the pointer crosses the panel.
#include "match_mouse.h"

#include "hud_cursor.h"
#include "upgrades.h"

namespace {

using namespace match_mouse;

struct PanelFlows : MouseOrders {
    void TearDown() override {
        mouseX = mouseY = 0.0f;
        playerUpgrades[LOCAL].clear();
        MouseOrders::TearDown();
    }
    // The panel's buttons of this frame by name: trainable units, then research.
    static std::vector<std::string> offered() {
        std::vector<std::string> names;
        for (const auto& b : hudBuildingUnitsButtons) names.push_back(b.unitType);
        for (const auto& b : hudUpgradeButtons) names.push_back(b.upgradeId);
        return names;
    }
    static const SDL_FRect* buttonOf(const std::string& name) {
        for (const auto& b : hudBuildingUnitsButtons)
            if (b.unitType == name) return &b.rect;
        for (const auto& b : hudUpgradeButtons)
            if (b.upgradeId == name) return &b.rect;
        return nullptr;
    }
    // A civilian to be recruited and the supply to take it in.
    void readyARecruit() {
        place(LOCAL, raceToCivilianUnit.at("human"), near);
        local->recruits = 1;
        local->supplyCap = local->supplyUsed + 4;
    }
    int blacksmith() { return build(LOCAL, "HumanBlacksmith", freeTileNear("HumanBlacksmith"), true); }
    static void queueUnits(Building& b, const std::string& type, int count) {
        for (int i = 0; i < count; ++i)
            b.productionQueue.push_back({TrainingKind::Unit, type, -1, "", 10.0f, i == 0 ? 4.0f : 0.0f, b.id});
    }
    static SDL_Color at(float x, float y) { return pixel(static_cast<int>(x), static_cast<int>(y)); }
};

// What a selected building offers in each state: nothing while it is built, its units and the next tier on the last
// row, research past what was researched and only once its requirement is met, and the entry in progress.
TEST_F(PanelFlows, EachStateOfABuildingOffersWhatItCanDoNext) {
    const float w = windowSize().x;
    const float top = windowSize().y - HUD_SIZE;
    const struct {
        const char* what;
        std::function<int(PanelFlows&)> building;
        std::vector<std::string> offered;
        std::function<void(const Building&)> shows;
    } cases[] = {
        {"a barracks being built",
         [](PanelFlows& t) {
             Building& b = *getBuildingById(build(LOCAL, "HumanBarracks", t.freeTileNear("HumanBarracks"), false));
             b.progress = b.previousProgress = b.displayProgress = b.buildTime / 2;
             return b.id;
         },
         {},
         [&](const Building&) {
             // The construction bar is filled half way: 11 px and half of the remaining 105.
             const float h = windowSize().y;
             EXPECT_TRUE(same(at(414 + 62, h - 69), highlightColor));
             EXPECT_TRUE(same(at(414 + 66, h - 69), SDL_Color{50, 50, 50, 255}));
             EXPECT_TRUE(hudProgressBarButtons.empty());
         }},
        {"a finished barracks",
         [](PanelFlows& t) { return build(LOCAL, "HumanBarracks", t.freeTileNear("HumanBarracks"), true); },
         {"Marine", "Medic", "HumanKeep"},
         [&](const Building&) {
             // The next tier goes to the panel's last row.
             const SDL_FRect keep = *buttonOf("HumanKeep");
             EXPECT_FLOAT_EQ(keep.x, w - 150.0f);
             EXPECT_FLOAT_EQ(keep.y, top + 130.0f);
         }},
        {"a blacksmith before any research", [](PanelFlows& t) { return t.blacksmith(); },
         {"HumanWeapons1", "HumanArmor1", "HumanPiercing", "HumanOptics"}, [](const Building&) {}},
        {"a blacksmith after the first weapons",
         [](PanelFlows& t) {
             playerUpgrades[LOCAL].insert("HumanWeapons1");
             return t.blacksmith();
         },
         {"HumanWeapons2", "HumanArmor1", "HumanPiercing", "HumanOptics"}, [](const Building&) {}},
        {"a blacksmith with its weapons researched to the end",
         [](PanelFlows& t) {
             playerUpgrades[LOCAL].insert({"HumanWeapons1", "HumanWeapons2"});
             return t.blacksmith();
         },
         {"HumanArmor1", "HumanPiercing", "HumanOptics"}, [](const Building&) {}},
        {"a blacksmith researching",
         [](PanelFlows& t) {
             Building& b = *getBuildingById(t.blacksmith());
             addResearch(b, "HumanArmor1");
             b.productionQueue.front().elapsed = 1.0f;
             return b.id;
         },
         {"HumanWeapons1", "HumanArmor1", "HumanPiercing", "HumanOptics"},
         [](const Building&) {
             // The research in progress shows its own icon, with six empty slots beside.
             ASSERT_EQ(hudProgressBarButtons.size(), 7u);
             const SDL_FRect r = hudProgressBarButtons[0].rect;
             EXPECT_FALSE(same(at(r.x + r.w / 2, r.y + r.h / 2), panelColor));
         }},
        {"a base with a full queue",
         [](PanelFlows& t) {
             queueUnits(*getBuildingById(t.base()), "Scavenger", 7);
             return t.base();
         },
         {"Scavenger"},
         [](const Building&) {
             ASSERT_EQ(hudProgressBarButtons.size(), 7u);
             // The last slot holds an entry's icon, not its number.
             const SDL_FRect r = hudProgressBarButtons[6].rect;
             EXPECT_FALSE(same(at(r.x + 4, r.y + 6), SDL_Color{50, 50, 50, 255}));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        playerUpgrades[LOCAL].clear();
        const int id = c.building(*this);
        selectBuilding(id);
        drawPanels();
        EXPECT_EQ(offered(), c.offered);
        c.shows(*getBuildingById(id));
        std::string name = std::string("building_panel_") + c.what;
        std::replace(name.begin(), name.end(), ' ', '_');
        ASSERT_TRUE(scene::savePng(screenshotFolder(), name + ".png"));
    }
}

// Presses the world refuses leave the building, the queue and the purse as they were; the same press once the
// state allows it starts the entry.
TEST_F(PanelFlows, APressTheBuildingCannotTakeChangesNothing) {
    const auto recruitAtBaseWithGold = [](int gold) {
        return [gold](PanelFlows& t) {
            t.readyARecruit();
            t.local->resources[RESOURCE_GOLD] = gold;
            return t.base();
        };
    };
    const struct {
        const char* what;
        std::function<int(PanelFlows&)> prepare;
        const char* button;
        std::size_t queueAfter;
        std::size_t recruitsWalking;
        int goldSpent;
    } cases[] = {
        {"a worker at a base whose queue is full",
         [](PanelFlows& t) {
             t.readyARecruit();
             queueUnits(*getBuildingById(t.base()), "Scavenger", 7);
             return t.base();
         },
         "Scavenger", 7, 0, 0},
        {"a worker without the crystals for it", recruitAtBaseWithGold(49), "Scavenger", 0, 0, 0},
        {"a worker with the crystals to the last one", recruitAtBaseWithGold(50), "Scavenger", 0, 1, 0},
        {"a howitzer without the blacksmith it needs",
         [](PanelFlows& t) {
             t.readyARecruit();
             return build(LOCAL, "HumanFoundry", t.freeTileNear("HumanFoundry"), true);
         },
         "Howitzer", 0, 0, 0},
        {"a howitzer once the blacksmith stands",
         [](PanelFlows& t) {
             t.readyARecruit();
             t.blacksmith();
             return build(LOCAL, "HumanFoundry", t.freeTileNear("HumanFoundry"), true);
         },
         "Howitzer", 0, 1, 0},
        {"research the blacksmith is already doing",
         [](PanelFlows& t) {
             Building& b = *getBuildingById(t.blacksmith());
             addResearch(b, "HumanWeapons1");
             return b.id;
         },
         "HumanWeapons1", 1, 0, 0},
        {"research the purse cannot pay",
         [](PanelFlows& t) {
             t.local->resources[RESOURCE_WOOD] = 99;
             return t.blacksmith();
         },
         "HumanWeapons1", 0, 0, 0},
        {"research the purse pays exactly",
         [](PanelFlows& t) {
             t.local->resources[RESOURCE_WOOD] = 100;
             return t.blacksmith();
         },
         "HumanWeapons1", 1, 0, 200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        local->resources[RESOURCE_GOLD] = local->resources[RESOURCE_WOOD] = 1000;
        // Research left running at an earlier case's blacksmith would refuse the same research at a later one.
        for (Building& b : buildings) {
            b.productionQueue.clear();
            b.researched.clear();
        }
        const int id = c.prepare(*this);
        const int gold = local->resources[RESOURCE_GOLD];
        selectBuilding(id);
        drawPanels();
        const SDL_FRect* button = buttonOf(c.button);
        ASSERT_NE(button, nullptr);
        queued().clear();
        clickOn(*button);
        playTurns(2);
        const Building& b = *getBuildingById(id);
        EXPECT_EQ(b.productionQueue.size(), c.queueAfter);
        EXPECT_EQ(b.queuedUnits.size(), c.recruitsWalking);
        EXPECT_EQ(local->resources[RESOURCE_GOLD], gold - c.goldSpent);
    }
}

// A press on a site being built finds no button where the finished building shows its first one.
TEST_F(PanelFlows, ASiteBeingBuiltTakesNoTrainingPress) {
    readyARecruit();
    const int site = build(LOCAL, "HumanBarracks", freeTileNear("HumanBarracks"), false);
    selectBuilding(site);
    drawPanels();
    ProductionGrid pen;
    clickOn(pen.next());
    EXPECT_TRUE(queuedTypes().empty());
    EXPECT_EQ(selectedBuildings, std::vector<int>{site});
}

// A box dragged from the map and let go over a button of the panel ends there, as one let go over the panel beside
// the button does: it is not left on screen following the pointer.
TEST_F(PanelFlows, ABoxLetGoOverAPanelButtonEnds) {
    select({ownWorkers().front()});
    drawPanels();
    ASSERT_FALSE(hudBuildingButtons.empty());
    const SDL_FRect button = hudBuildingButtons.front().rect;
    const SDL_FPoint over{button.x + button.w / 2, button.y + button.h / 2};
    send(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, inView({button.x, windowSize().y - HUD_SIZE - 60.0f}));
    send(SDL_MOUSEMOTION, 0, over);
    ASSERT_TRUE(dragging);
    send(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, over);
    EXPECT_FALSE(dragging);
    EXPECT_FALSE(isPotentiallyDragging);
    EXPECT_FALSE(placingBuilding) << "letting go is no press on the button";
}

// The tooltip belongs to the button it was shown for: when a key brings another building's button under the resting
// pointer, the old text is not left over it.
TEST_F(PanelFlows, ATooltipDoesNotOutliveTheButtonItWasShownFor) {
    initTooltips();
    const int barracks = build(LOCAL, "HumanBarracks", freeTileNear("HumanBarracks"), true);
    const int smith = blacksmith();
    selectBuilding(barracks);
    const auto shiftKey = [](Uint32 type) {
        SDL_Event e{};
        e.type = type;
        e.key.keysym.sym = SDLK_LSHIFT;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
        eventHandler.handleGameEvents(grid);
    };
    shiftKey(SDL_KEYDOWN);
    tapKey(SDLK_1);
    shiftKey(SDL_KEYUP);
    selectBuilding(smith);
    drawPanels();
    const SDL_FRect* weapons = buttonOf("HumanWeapons1");
    ASSERT_NE(weapons, nullptr);
    send(SDL_MOUSEMOTION, 0, {weapons->x + 25, weapons->y + 25});
    update_cursor();
    drawPanels();
    ASSERT_TRUE(tooltip.visible);
    EXPECT_EQ(tooltip.text, upgradeTooltips.at("HumanWeapons1"));
    tapKey(SDLK_1);
    ASSERT_EQ(selectedBuildings, std::vector<int>{barracks});
    drawPanels();
    const SDL_FRect* marine = buttonOf("Marine");
    ASSERT_NE(marine, nullptr);
    ASSERT_TRUE(hudButtonHit(*marine, mouseX, mouseY)) << "the barracks' button lies under the pointer";
    EXPECT_TRUE(!tooltip.visible || tooltip.text == unitTooltips.at("Marine")) << tooltip.text;
    // The pointer's next move over it shows its own text.
    send(SDL_MOUSEMOTION, 0, {mouseX + 1, mouseY});
    update_cursor();
    drawPanels();
    EXPECT_TRUE(tooltip.visible);
    EXPECT_EQ(tooltip.text, unitTooltips.at("Marine"));
}

// Two enemy buildings seen by a scout that then left, one of them destroyed out of sight since: a box over both
// selects both, and the panel shows each as the player last saw it.
TEST_F(PanelFlows, ABoxOverBuildingsRememberedUnderTheFogShowsEachAsLastSeen) {
    const V2i far{MAP_W / 2, MAP_H / 2};
    const int first = build(ENEMY, "OrcBarracks", far, true);
    const int second = build(ENEMY, "OrcBarracks", {far.x + 4, far.y}, true);
    scene::prepareView(true, {far.x + 3, far.y + 1});
    const int scout = place(LOCAL, "Marine", {far.x + 2, far.y + 4});
    drawPanels();
    ASSERT_TRUE(isTileVisible(far.x, far.y) && isTileVisible(far.x + 4, far.y));
    addUnitForRemoval(scout);
    playTurns(1);
    drawPanels();
    ASSERT_FALSE(isTileVisible(far.x, far.y) || isTileVisible(far.x + 4, far.y));
    getBuildingById(first)->hp = 0.0f;
    ASSERT_TRUE(playUntil([&] { return getBuildingById(first) == nullptr; }, 10));
    const SDL_FPoint from = pointOnTile({far.x, far.y + 1});
    const SDL_FPoint to = pointOnTile({far.x + 5, far.y + 1});
    select({});
    send(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, from);
    send(SDL_MOUSEMOTION, 0, to);
    send(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, to);
    std::vector<int> taken = selectedBuildings;
    std::sort(taken.begin(), taken.end());
    ASSERT_EQ(taken, (std::vector<int>{first, second}));
    // Each icon's square against the same square of the panel drawn with nothing selected.
    const float top = windowSize().y - HUD_SIZE;
    const auto square = [&](int i) {
        std::vector<SDL_Color> seen;
        for (int y = 0; y < 50; y += 2)
            for (int x = 0; x < 50; x += 2) seen.push_back(at(300.0f + 60.0f * i + x, top + 10.0f + y));
        return seen;
    };
    const std::vector<int> kept = selectedBuildings;
    clearBuildingSelection();
    drawPanels();
    const std::vector<SDL_Color> empty[] = {square(0), square(1)};
    for (int id : kept) addBuildingToSelection(id);
    drawPanels();
    ASSERT_TRUE(scene::savePng(screenshotFolder(), "building_panel_two_remembered.png"));
    for (int i = 0; i < 2; ++i) {
        const std::vector<SDL_Color> shown = square(i);
        int changed = 0;
        for (std::size_t k = 0; k < shown.size(); ++k) changed += !same(shown[k], empty[i][k]);
        EXPECT_GT(changed, 100) << "icon " << i;
    }
}

// Resting on a research button shows its text above it; the box of the last button of the row is moved left to end
// at the window's edge, the first one's stands where the button put it.
TEST_F(PanelFlows, AResearchTooltipStandsAboveItsButtonAndInsideTheWindow) {
    initTooltips();
    selectBuilding(blacksmith());
    drawPanels();
    const float w = windowSize().x;
    const struct {
        const char* upgrade;
        bool atTheEdge;
    } cases[] = {{"HumanWeapons1", false}, {"HumanOptics", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.upgrade);
        const SDL_FRect* button = buttonOf(c.upgrade);
        ASSERT_NE(button, nullptr);
        send(SDL_MOUSEMOTION, 0, {button->x + 25, button->y + 25});
        update_cursor();
        drawPanels();
        ASSERT_TRUE(tooltip.visible);
        EXPECT_EQ(tooltip.text, upgradeTooltips.at(c.upgrade));
        EXPECT_FLOAT_EQ(tooltip.box.y, button->y - 80.0f);
        if (c.atTheEdge) {
            EXPECT_FLOAT_EQ(tooltip.box.x + tooltip.box.w, w);
            EXPECT_TRUE(same(at(w - 1, tooltip.box.y + tooltip.box.h / 2), highlightColor));
        } else {
            EXPECT_FLOAT_EQ(tooltip.box.x, button->x);
        }
    }
    ASSERT_TRUE(scene::savePng(screenshotFolder(), "research_tooltip_at_the_edge.png"));
}

// A spell that needs research shows its button only once its owner has it.
TEST_F(PanelFlows, ASpellThatNeedsResearchShowsItsButtonOnceResearched) {
    const struct {
        bool researched;
        std::vector<std::string> spells;
    } cases[] = {{false, {"FreezingBullets"}}, {true, {"FreezingBullets", "SeeingRed"}}};
    const int marine = place(LOCAL, "Marine", near);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.researched);
        playerUpgrades[LOCAL].clear();
        if (c.researched) playerUpgrades[LOCAL].insert("SeeingRed");
        select({marine});
        drawPanels();
        std::vector<std::string> shown;
        for (const auto& b : hudSpellButtons) shown.push_back(b.spell);
        EXPECT_EQ(shown, c.spells);
    }
}

// A dressing ordered from the button without the mana for it is not cast: the wound stays and no mana is spent;
// with the mana to the last point it is.
TEST_F(PanelFlows, ASpellWithoutTheManaForItIsNotCast) {
    const struct {
        int mana;
        bool cast;
    } cases[] = {{49, false}, {50, true}};
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mana);
        const V2i at{near.x, near.y - 3 + 2 * row++};
        const int medic = place(LOCAL, "Medic", at);
        const int patient = place(LOCAL, "Marine", {at.x + 1, at.y});
        getUnitById(patient)->hp = 10.0f;
        getUnitById(medic)->mana = c.mana;
        select({medic});
        drawPanels();
        for (const auto& b : hudSpellButtons)
            if (b.spell == "Healing") clickOn(b.rect);
        ASSERT_EQ(selectedSpell, "Healing");
        click(pointOn(patient));
        playTurns(3);
        const Unit& u = *getUnitById(medic);
        EXPECT_EQ(u.mana, c.cast ? 0 : c.mana);
        EXPECT_EQ(getUnitById(patient)->hp > 10.0f, c.cast);
    }
}
}  // namespace
