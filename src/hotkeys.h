// Hotkeys: the per-type key tables read from the race catalogues and the behaviours their actions run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

struct Building;
struct Unit;
struct Sprite;

struct ActionContext {
    Building* building = nullptr;
    Unit* unit = nullptr;
    std::string* ghostBuildingType = nullptr;
    Sprite* ghostSprite = nullptr;
    bool* placingBuilding = nullptr;
    int32_t category = 0;
};

struct Action {
    std::string label;
    std::function<void(ActionContext&)> behavior;
};

struct HotkeyMapping {
    std::unordered_map<char, Action> actions;
};

// Building or unit type to its keys; a later race folder's mapping of a type replaces the earlier one whole.
extern std::unordered_map<std::string, HotkeyMapping> buildingHotkeys;
extern std::unordered_map<std::string, HotkeyMapping> unitHotkeys;

void loadHotkeys(const std::string& path);

// The four behaviours, each holding its entry's target. A context without the object a behaviour acts on
// (no building, no unit, no placement pointers) leaves everything unchanged.
Action trainAction(const std::string& unitType);
Action upgradeAction(const std::string& upgradeId);
Action buildAction(const std::string& buildingType);
Action spellAction(const std::string& spellKey);

// ---- Dispatch: the miscellaneous table and the lookup of a pressed key ----

// Category -> keys; only category 6, the global actions (music, sound effects, pause), exists.
constexpr int32_t MISC_HOTKEYS_GLOBAL = 6;
extern std::unordered_map<int, HotkeyMapping> miscHotkeys;

// Offers a key code to the table the context names (building, else unit, else the miscellaneous category) and
// runs the action bound to its upper-case letter; anything but 'a'-'z' or an unbound key does nothing.
void handleHotkey(int key, ActionContext context);
// (Re)builds the miscellaneous table: M music, N sound effects, P pause or resume.
void initHotkeys();
// One binding per pair; a later pair of the same letter replaces the earlier one.
std::unordered_map<char, Action> createHotkeysDirect(const std::vector<std::pair<char, Action>>& bindings);
