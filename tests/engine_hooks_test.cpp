// The hooks each stage fills: every hook of its own stage and none of another's, and the lobby page's own stage
// without the program's start-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
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

// Every hook a stage fills, with those that have a default; a value-initialised one holds them all empty.
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
    void (*fog)();
    void (*modStart)(Grid&);
    void (*modUpdate)(float);

    // Trades these values with the program's hooks.
    void swapWithHooks() {
        std::swap(UpdateLobbyNetworking, lobbyStep);
        std::swap(StartLobbyMatch, lobbyStart);
        std::swap(combatHooks, combat);
        std::swap(unitHooks, unit);
        std::swap(ShowExtractPanel, extractPanel);
        std::swap(DrawHUD, hud);
        std::swap(AnnounceMatchResult, matchResult);
        std::swap(showScenarioObjectives, objectives);
        std::swap(showSaveGame, save);
        std::swap(showLoadGame, load);
        std::swap(showOptions, options);
        std::swap(CreateObjects, objects);
        std::swap(Neighbors, neighbours);
        std::swap(MoveCamera, camera);
        std::swap(HandleZoom, zoom);
        std::swap(MoveCameraToTheBase, toBase);
        std::swap(HandleEvents, events);
        std::swap(DrawFog, fog);
        std::swap(InitMod, modStart);
        std::swap(UpdateMod, modUpdate);
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
    HookValues saved{};
    void SetUp() override { saved.swapWithHooks(); }
    void TearDown() override { saved.swapWithHooks(); }

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
        HookValues{}.swapWithHooks();
        installHooks(stage);
        expectFilledOnly({stage});
    }
}

TEST_F(EngineHooks, LobbyPageMadeWithoutStartUpHasTheLobbyHooks) {
    const LobbyViewPage page(nullptr);
    expectFilledOnly({HookStage::Menus});
}
