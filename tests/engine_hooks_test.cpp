// The hooks each stage fills: every hook of its own stage and none of another's, the fog and HUD each draws with,
// and the lobby page's own stage without the program's start-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "config.h"
#include "extraction_rules.h"
#include "fog.h"
#include "game_loop.h"
#include "game_session.h"
#include "hud.h"
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
    void (*sight)();
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
        std::swap(TakeSight, sight);
        std::swap(InitMod, modStart);
        std::swap(UpdateMod, modUpdate);
    }
};

using Stages = std::vector<HookStage>;
const Stages SESSIONS{HookStage::Match, HookStage::Editor};
const Stages WORLDS{HookStage::Match, HookStage::Editor, HookStage::Headless};

struct HookRow {
    Stages stages;  // those that fill the hook
    const char* name;
    std::function<bool()> filled;
};

const std::vector<HookRow>& hookRows() {
    static const std::vector<HookRow> rows{
        {{HookStage::Menus}, "UpdateLobbyNetworking", [] { return UpdateLobbyNetworking != nullptr; }},
        {{HookStage::Menus}, "StartLobbyMatch", [] { return static_cast<bool>(StartLobbyMatch); }},
        {{HookStage::StartUp}, "grantUnitExp", [] { return static_cast<bool>(combatHooks.grantUnitExp); }},
        {{HookStage::StartUp}, "dropItem", [] { return static_cast<bool>(combatHooks.dropItem); }},
        {{HookStage::StartUp}, "spawnCorpseItemOnUnitLoss",
         [] { return static_cast<bool>(combatHooks.spawnCorpseItemOnUnitLoss); }},
        {{HookStage::StartUp}, "dropCarriedItems", [] { return static_cast<bool>(combatHooks.dropCarriedItems); }},
        {{HookStage::StartUp}, "randomNickname", [] { return static_cast<bool>(unitHooks.randomNickname); }},
        {{HookStage::StartUp}, "itemOnMap", [] { return static_cast<bool>(unitHooks.itemOnMap); }},
        {{HookStage::StartUp}, "takeItem", [] { return static_cast<bool>(unitHooks.takeItem); }},
        {{HookStage::StartUp}, "ShowExtractPanel", [] { return ShowExtractPanel != nullptr; }},
        {SESSIONS, "DrawHUD", [] { return DrawHUD != nullptr; }},
        {SESSIONS, "AnnounceMatchResult", [] { return AnnounceMatchResult != nullptr; }},
        {SESSIONS, "showScenarioObjectives", [] { return showScenarioObjectives != nullptr; }},
        {SESSIONS, "showSaveGame", [] { return showSaveGame != nullptr; }},
        {SESSIONS, "showLoadGame", [] { return showLoadGame != nullptr; }},
        {SESSIONS, "showOptions", [] { return showOptions != nullptr; }},
        {SESSIONS, "MoveCamera", [] { return MoveCamera != nullptr; }},
        {SESSIONS, "HandleZoom", [] { return HandleZoom != nullptr; }},
        {SESSIONS, "HandleEvents", [] { return static_cast<bool>(HandleEvents); }},
        {WORLDS, "CreateObjects", [] { return CreateObjects != nullptr; }},
        {WORLDS, "Neighbors", [] { return Neighbors != nullptr; }},
        {WORLDS, "MoveCameraToTheBase", [] { return MoveCameraToTheBase != nullptr; }},
        {WORLDS, "DrawFog", [] { return DrawFog != nullptr; }},
        {WORLDS, "TakeSight", [] { return TakeSight != nullptr; }},
        {WORLDS, "InitMod", [] { return InitMod != nullptr; }},
        {WORLDS, "UpdateMod", [] { return UpdateMod != nullptr; }},
    };
    return rows;
}

struct EngineHooks : ::testing::Test {
    HookValues saved{};
    bool fogSetting = FOG;
    void SetUp() override { saved.swapWithHooks(); }
    void TearDown() override {
        saved.swapWithHooks();
        FOG = fogSetting;
    }

    // Hooks of every stage filled or left empty as expected after the given stages ran.
    static void expectFilledOnly(const Stages& ran) {
        for (const HookRow& row : hookRows()) {
            const bool expected = std::any_of(row.stages.begin(), row.stages.end(), [&](HookStage s) {
                return std::find(ran.begin(), ran.end(), s) != ran.end();
            });
            EXPECT_EQ(row.filled(), expected) << row.name;
        }
    }
};

}  // namespace

TEST_F(EngineHooks, EachStageFillsItsOwnHooksAndNoOther) {
    for (const HookStage stage :
         {HookStage::Menus, HookStage::StartUp, HookStage::Match, HookStage::Editor, HookStage::Headless}) {
        HookValues{}.swapWithHooks();
        installHooks(stage);
        expectFilledOnly({stage});
    }
}

// Which fog and HUD a stage draws with, by the fog setting: the editor shows the whole map and its own HUD. Only a
// match's turns take the sight; a headless scene takes it when it draws.
TEST_F(EngineHooks, EachStageDrawsTheFogAndHudOfItsOwn) {
    const struct {
        HookStage stage;
        bool fog;
        void (*drawsFog)();
        void (*drawsHud)();
        void (*takesSight)();
    } rows[] = {
        {HookStage::Match, true, drawFog, drawHUD, takeSight},
        {HookStage::Match, false, noopFog, drawHUD, noopSight},
        {HookStage::Editor, true, noopFog, editorHUD, noopSight},
        {HookStage::Editor, false, noopFog, editorHUD, noopSight},
        {HookStage::Headless, true, drawFog, nullptr, noopSight},
        {HookStage::Headless, false, noopFog, nullptr, noopSight},
    };
    for (const auto& row : rows) {
        HookValues{}.swapWithHooks();
        FOG = row.fog;
        installHooks(row.stage);
        EXPECT_EQ(DrawFog, row.drawsFog) << static_cast<int>(row.stage) << " fog " << row.fog;
        EXPECT_EQ(DrawHUD, row.drawsHud) << static_cast<int>(row.stage) << " fog " << row.fog;
        EXPECT_EQ(TakeSight, row.takesSight) << static_cast<int>(row.stage) << " fog " << row.fog;
    }
}

TEST_F(EngineHooks, LobbyPageMadeWithoutStartUpHasTheLobbyHooks) {
    const LobbyViewPage page(nullptr);
    expectFilledOnly({HookStage::Menus});
}
