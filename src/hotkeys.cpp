// Hotkeys: the per-type key tables read from the race catalogues and the behaviours their actions run.
#include "hotkeys.h"

#include <iostream>

#include "buildings.h"
#include "lockstep.h"
#include "races.h"
#include "spells.h"
#include "units.h"

using nlohmann::json;

std::unordered_map<std::string, HotkeyMapping> buildingHotkeys;
std::unordered_map<std::string, HotkeyMapping> unitHotkeys;

Action trainAction(const std::string& unitType) {
    return Action{"Train " + unitType, [unitType](ActionContext& ctx) {
                      if (!ctx.building) return;
                      lockstep.collectCommand(Command{CommandType::TrainUnit, ctx.building->playerId,
                                                      TrainUnitCommand{ctx.building->id, unitType}});
                  }};
}

Action upgradeAction(const std::string& upgradeId) {
    return Action{"Upgrade " + upgradeId, [upgradeId](ActionContext& ctx) {
                      if (!ctx.building) return;
                      lockstep.collectCommand(Command{CommandType::ResearchUpgrade, ctx.building->playerId,
                                                      ResearchUpgradeCommand{ctx.building->id, upgradeId}});
                  }};
}

Action buildAction(const std::string& buildingType) {
    return Action{"Build " + buildingType, [buildingType](ActionContext& ctx) {
                      if (!ctx.ghostBuildingType || !ctx.ghostSprite || !ctx.placingBuilding) return;
                      startPlacingBuilding(*ctx.ghostBuildingType, *ctx.ghostSprite, *ctx.placingBuilding,
                                           buildingType);
                  }};
}

// Spells the caster casts on itself at once; every other spell waits for a target.
static bool isSelfCast(const std::string& spellKey) {
    return spellKey == "SeeingRed" || spellKey == "FreezingBullets";
}

Action spellAction(const std::string& spellKey) {
    return Action{"Cast " + spellKey, [spellKey](ActionContext& ctx) {
                      selectedSpell = spellKey;
                      if (!ctx.unit) return;
                      if (!isSelfCast(spellKey)) {
                          spellCtx.casterId = ctx.unit->id;
                          return;
                      }
                      const Unit& unit = *ctx.unit;
                      lockstep.collectCommand(
                          Command{CommandType::CastSpell, unit.playerId,
                                  CastSpellCommand{unit.id, unit.id, static_cast<int32_t>(unit.x),
                                                   static_cast<int32_t>(unit.y), spellKey, true}});
                      selectedSpell.clear();
                  }};
}

namespace {

struct ActionKind {
    const char* type;
    Action (*make)(const std::string& target);
};

const ActionKind buildingKinds[] = {{"train", trainAction}, {"upgrade", upgradeAction}};
const ActionKind unitKinds[] = {{"build", buildAction}, {"spell", spellAction}};

template <size_t N>
HotkeyMapping readMapping(const json& keys, const ActionKind (&kinds)[N]) {
    HotkeyMapping mapping;
    for (const auto& [key, entry] : keys.items()) {
        const std::string type = requiredString(entry, "type");
        const std::string target = requiredString(entry, "target");
        for (const ActionKind& kind : kinds)
            if (type == kind.type) mapping.actions[key.empty() ? '\0' : key[0]] = kind.make(target);
    }
    return mapping;
}

template <size_t N>
void loadSection(const json& doc, const char* section, const ActionKind (&kinds)[N],
                 std::unordered_map<std::string, HotkeyMapping>& table) {
    const auto it = doc.find(section);
    if (it == doc.end() || it->is_null()) return;
    requireObject(*it);
    for (const auto& [type, keys] : it->items()) {
        requireObject(keys);
        table[type] = readMapping(keys, kinds);
    }
}

}  // namespace

void loadHotkeys(const std::string& path) {
    json doc;
    if (!readCatalogueFile(path, doc)) {
        std::cerr << "Could not open hotkeys file: " << path << "\n";
        return;
    }
    requireObject(doc);
    loadSection(doc, "buildings", buildingKinds, buildingHotkeys);
    loadSection(doc, "units", unitKinds, unitHotkeys);
}
