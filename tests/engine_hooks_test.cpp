// The hooks each stage fills: every hook of its own stage and none of another's, and the lobby page's own stage
// without the program's start-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "extraction_rules.h"
#include "fog.h"
#include "game_loop.h"
#include "game_session.h"
#include "mod_manager.h"
#include "network_manager_lobby.h"
#include "player.h"
#include "ui/lobby_view_page.h"
#include "units.h"

namespace {

// Every hook a stage fills: the values before a test, put back after it; a value-initialised one empties them.
struct HookValues {
    void (*lobbyStep)();
    std::function<void(bool, const std::string&)> lobbyStart;
    CombatHooks combat;
    UnitHooks unit;
    void (*extractPanel)(bool, int, int);
    void (*hud)();
    void (*matchResult)(const std::string&);
    void (*objectives)();
    void (*save)();
    void (*load)();
    void (*options)();
    void (*objects)(const std::vector<PendingObj>&, Grid&);
    NeighborsFn neighbours;
    void (*camera)(float);
    void (*zoom)(const SDL_Event&);
    void (*toBase)();
    std::function<void(Grid&)> events;
    // Hooks with a default rather than empty: only put back.
    void (*fog)();
    void (*modStart)(Grid&);
    void (*modUpdate)(float);

    static HookValues current() {
        HookValues v;
        v.lobbyStep = UpdateLobbyNetworking;
        v.lobbyStart = StartLobbyMatch;
        v.combat = combatHooks;
        v.unit = unitHooks;
        v.extractPanel = ShowExtractPanel;
        v.hud = DrawHUD;
        v.matchResult = AnnounceMatchResult;
        v.objectives = showScenarioObjectives;
        v.save = showSaveGame;
        v.load = showLoadGame;
        v.options = showOptions;
        v.objects = CreateObjects;
        v.neighbours = Neighbors;
        v.camera = MoveCamera;
        v.zoom = HandleZoom;
        v.toBase = MoveCameraToTheBase;
        v.events = HandleEvents;
        v.fog = DrawFog;
        v.modStart = InitMod;
        v.modUpdate = UpdateMod;
        return v;
    }
    void restore() const {
        UpdateLobbyNetworking = lobbyStep;
        StartLobbyMatch = lobbyStart;
        combatHooks = combat;
        unitHooks = unit;
        ShowExtractPanel = extractPanel;
        DrawHUD = hud;
        AnnounceMatchResult = matchResult;
        showScenarioObjectives = objectives;
        showSaveGame = save;
        showLoadGame = load;
        showOptions = options;
        CreateObjects = objects;
        Neighbors = neighbours;
        MoveCamera = camera;
        HandleZoom = zoom;
        MoveCameraToTheBase = toBase;
        HandleEvents = events;
        if (fog) DrawFog = fog;
        if (modStart) InitMod = modStart;
        if (modUpdate) UpdateMod = modUpdate;
    }
};

struct HookRow {
    HookStage stage;
    const char* name;
    std::function<bool()> filled;
};

const std::vector<HookRow>& hookRows() {
    static const std::vector<HookRow> rows{
        {HookStage::Menus, "UpdateLobbyNetworking", [] { return UpdateLobbyNetworking != nullptr; }},
        {HookStage::Menus, "StartLobbyMatch", [] { return static_cast<bool>(StartLobbyMatch); }},
        {HookStage::StartUp, "grantUnitExp", [] { return static_cast<bool>(combatHooks.grantUnitExp); }},
        {HookStage::StartUp, "dropItem", [] { return static_cast<bool>(combatHooks.dropItem); }},
        {HookStage::StartUp, "spawnCorpseItemOnUnitLoss",
         [] { return static_cast<bool>(combatHooks.spawnCorpseItemOnUnitLoss); }},
        {HookStage::StartUp, "dropCarriedItems", [] { return static_cast<bool>(combatHooks.dropCarriedItems); }},
        {HookStage::StartUp, "randomNickname", [] { return static_cast<bool>(unitHooks.randomNickname); }},
        {HookStage::StartUp, "itemOnMap", [] { return static_cast<bool>(unitHooks.itemOnMap); }},
        {HookStage::StartUp, "takeItem", [] { return static_cast<bool>(unitHooks.takeItem); }},
        {HookStage::StartUp, "ShowExtractPanel", [] { return ShowExtractPanel != nullptr; }},
        {HookStage::Session, "DrawHUD", [] { return DrawHUD != nullptr; }},
        {HookStage::Session, "AnnounceMatchResult", [] { return AnnounceMatchResult != nullptr; }},
        {HookStage::Session, "showScenarioObjectives", [] { return showScenarioObjectives != nullptr; }},
        {HookStage::Session, "showSaveGame", [] { return showSaveGame != nullptr; }},
        {HookStage::Session, "showLoadGame", [] { return showLoadGame != nullptr; }},
        {HookStage::Session, "showOptions", [] { return showOptions != nullptr; }},
        {HookStage::Session, "CreateObjects", [] { return CreateObjects != nullptr; }},
        {HookStage::Session, "Neighbors", [] { return Neighbors != nullptr; }},
        {HookStage::Session, "MoveCamera", [] { return MoveCamera != nullptr; }},
        {HookStage::Session, "HandleZoom", [] { return HandleZoom != nullptr; }},
        {HookStage::Session, "MoveCameraToTheBase", [] { return MoveCameraToTheBase != nullptr; }},
        {HookStage::Session, "HandleEvents", [] { return static_cast<bool>(HandleEvents); }},
    };
    return rows;
}

struct EngineHooks : ::testing::Test {
    const HookValues saved = HookValues::current();
    void SetUp() override { HookValues{}.restore(); }
    void TearDown() override { saved.restore(); }

    // Hooks of every stage filled or left empty as expected after the given stages ran.
    static void expectFilledOnly(const std::vector<HookStage>& ran) {
        for (const HookRow& row : hookRows()) {
            const bool expected = std::find(ran.begin(), ran.end(), row.stage) != ran.end();
            EXPECT_EQ(row.filled(), expected) << row.name;
        }
    }
};

}  // namespace

TEST_F(EngineHooks, EachStageFillsItsOwnHooksAndNoOther) {
    for (const HookStage stage : {HookStage::Menus, HookStage::StartUp, HookStage::Session}) {
        HookValues{}.restore();
        installHooks(stage);
        expectFilledOnly({stage});
    }
}

TEST_F(EngineHooks, LobbyPageMadeWithoutStartUpHasTheLobbyHooks) {
    const LobbyViewPage page(nullptr);
    expectFilledOnly({HookStage::Menus});
}
