// Hotkey dispatch: the global actions' table and the lookup that runs the action a letter is bound to.
#include "buildings.h"
#include "game_commands.h"
#include "hotkeys.h"
#include "lockstep.h"
#include "player.h"
#include "sounds.h"
#include "units.h"

std::unordered_map<int, HotkeyMapping> miscHotkeys;

namespace {

// Every miss is quiet: a key nobody bound is simply not an order.
const HotkeyMapping* tableFor(const ActionContext& context) {
    if (context.building) {
        const auto found = buildingHotkeys.find(context.building->type);
        return found == buildingHotkeys.end() ? nullptr : &found->second;
    }
    if (context.unit) {
        const auto found = unitHotkeys.find(context.unit->type);
        return found == unitHotkeys.end() ? nullptr : &found->second;
    }
    const auto found = miscHotkeys.find(context.category);
    return found == miscHotkeys.end() ? nullptr : &found->second;
}

// Pause and resume are orders, so every peer stops on the same turn.
void queuePauseOrResume(ActionContext&) {
    const int turn = lockstep.currentTurn;
    if (paused)
        lockstep.collectCommand(Command{CommandType::ResumeGame, Player::myStaticId, ResumeGameCommand{turn}});
    else
        lockstep.collectCommand(Command{CommandType::PauseGame, Player::myStaticId, PauseGameCommand{turn}});
}

}  // namespace

void handleHotkey(int key, ActionContext context) {
    if (key < 'a' || key > 'z') return;
    const HotkeyMapping* table = tableFor(context);
    if (!table) return;
    const auto action = table->actions.find(static_cast<char>(key - 32));
    if (action == table->actions.end() || !action->second.behavior) return;
    action->second.behavior(context);
}

void initHotkeys() {
    miscHotkeys[MISC_HOTKEYS_GLOBAL].actions = createHotkeysDirect({
        {'M', Action{"Toggle Music", [](ActionContext&) { toggleBackgroundMusic(); }}},
        {'N', Action{"Toggle Sound Effects", [](ActionContext&) { toggleSoundEffects(); }}},
        {'P', Action{"Pause/Resume", queuePauseOrResume}},
    });
}

std::unordered_map<char, Action> createHotkeysDirect(const std::vector<std::pair<char, Action>>& bindings) {
    std::unordered_map<char, Action> keys;
    for (const auto& [letter, action] : bindings) keys[letter] = action;
    return keys;
}
