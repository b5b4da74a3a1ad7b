// Hotkeys: the per-type key tables read from the race catalogues and the behaviours their actions run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

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
